#pragma once
// COpenWithDlg: the desktop's applications by name and icon; OK starts the chosen one on the file,
// "Other..." starts a program file chosen on disk. With "Always use this program to open these
// files" checked, the program started becomes the user's default for the file's type (a program
// file chosen on disk gets a hidden desktop entry of its own for that). Row k of the list and command k belong
// together: an application without a name or a command is left out of both.

#include <QDialog>
#include <QString>
#include <QStringList>

class QCheckBox;
class QListWidget;

class COpenWithDlg : public QDialog {
    Q_OBJECT
public:
    COpenWithDlg(const QString& title, const QString& text, const QString& path, QWidget* parent = nullptr);

    QListWidget* list() const { return m_list; }
    // The command line (a desktop entry's Exec= line) of each row, in row order.
    const QStringList& commands() const { return m_commands; }

    void accept() override;

private:
    void fill();
    void chooseOther();
    // Starts `commandLine` on the file; false when it could not be started.
    bool start(const QString& commandLine);
    bool wantsRemembering() const;
    // Makes the desktop entry `entryId` the default program of the file's type; says so when that
    // fails (the program has started all the same). Called only when the user asked for it.
    void rememberForType(const QString& entryId);

    QString m_path;
    QListWidget* m_list;
    QCheckBox* m_always;
    QStringList m_commands;
    QStringList m_ids; // the desktop entry of each row
};
