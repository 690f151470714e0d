#pragma once
// CRenameDlg ("Rename file"): one edit holding the current name; OK is enabled only for a new
// name that is not empty once trimmed, differs from the current one and holds none of the
// characters a name may not carry here. UI thread only.

#include <QDialog>

class QLineEdit;
class QPushButton;

class CRenameDlg : public QDialog {
    Q_OBJECT
public:
    CRenameDlg(const QString& currentName, QWidget* parent = nullptr);

    // The edit's text as typed.
    QString newName() const;
    QLineEdit* edit() const { return m_edit; }
    QPushButton* okButton() const { return m_ok; }

    // Whether `name` holds a character refused in new names: ` + \ | ' / * ? < > :
    static bool hasForbiddenCharacter(const QString& name);
    // Whether `name`, trimmed, may be offered as a new name at all.
    static bool isUsableName(const QString& name);

private:
    QString m_current;
    QLineEdit* m_edit;
    QPushButton* m_ok;
};
