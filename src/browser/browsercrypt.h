#pragma once
// BrowserCrypt: the browser's Encrypt/Decrypt command. The focused row decides the mode: a
// ".pxf" or ".mpxf" file decrypts the whole selection, any other file encrypts it. The password
// dialog comes first, then the run behind the modal wait window; once that has closed the list
// follows the disk. UI thread only.

#include <QObject>

class CCommandTarget;
class CFileListCtrl;
class QWidget;

class BrowserCrypt : public QObject {
    Q_OBJECT
public:
    // `owner` parents the dialogs and the wait window; it and `list` outlive this.
    BrowserCrypt(CFileListCtrl* list, QWidget* owner);

    // Encrypt/Decrypt of the list's menus, enabled while the focused row is a file.
    void registerOn(CCommandTarget& commands);

    // The mode by the focused row, as the command does.
    void encryptOrDecrypt();
    // Decrypts the selection (an encrypted file was opened).
    void decryptSelection();

Q_SIGNALS:
    // A run is over (or the user cancelled its dialog) and the list was asked to follow the disk.
    void runOver();

private:
    void run(bool encrypt);

    CFileListCtrl* m_list;
    QWidget* m_owner;
};
