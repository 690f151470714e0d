#pragma once
// CCopyMoveDlg: where to copy or move the selected files. It shows the source folder, a
// destination edit and the recently used destinations ("LUF0" ... "LUF14" of "Settings"), with
// "Browse...", "Remove" and "Remove all". OK accepts an existing folder, or one the user agrees to
// create, and writes the history; the destination then ends with exactly one "/". UI thread only.

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class CCopyMoveDlg : public QDialog {
    Q_OBJECT
public:
    // `title` is "Copy" or "Move".
    CCopyMoveDlg(const QString& title, const QString& sourceFolder, QWidget* parent = nullptr);

    // The destination chosen, after OK.
    QString destination() const { return m_destination; }

    QLineEdit* destinationEdit() const { return m_edit; }
    QListWidget* history() const { return m_history; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* removeAllButton() const { return m_removeAll; }
    QPushButton* browseButton() const { return m_browse; }

    void accept() override;

private:
    void browse();
    void removeSelected();
    void removeAll();
    void updateButtons();

    QLineEdit* m_edit;
    QListWidget* m_history;
    QPushButton* m_browse;
    QPushButton* m_remove;
    QPushButton* m_removeAll;
    QString m_destination;
};
