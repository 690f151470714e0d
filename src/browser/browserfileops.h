#pragma once
// BrowserFileOps: the browser's commands that change files, on the operation engine: Copy To and
// Move To of the selection (the destination asked for, the transfer in the background while the
// browser stays usable), Delete of the selection to the trash and Save As of the focused picture. Once an operation is over the
// list is brought up to date with the disk: new names listed, rows of items that went removed,
// the folder tree rebuilt when folders came or went. UI thread only.

#include <QObject>

class AppHost;
class CCommandTarget;
class CFileListCtrl;
class QWidget;

class BrowserFileOps : public QObject {
    Q_OBJECT
public:
    // `host` (may be null) gives the current image, released before its file moves or goes;
    // `owner` parents the dialogs and the progress window. Both and `list` outlive this.
    BrowserFileOps(CFileListCtrl* list, AppHost* host, QWidget* owner);

    // Copy To, Move To and Delete, enabled while rows other than ".." are selected; Save As
    // while the focused row is a picture.
    void registerOn(CCommandTarget& commands);

    void transferSelection(bool move);
    void deleteSelection();
    void saveFocusedAs();
    // After an operation that touched `folders` (each ending with "/"): the list follows the
    // disk when it shows one of them; operationOver() follows.
    void updateListIfShowing(const QStringList& folders);

Q_SIGNALS:
    // An operation is over (a transfer finished, the trash took the items or the user declined)
    // and the list, when it shows the folder concerned, was asked to follow the disk.
    void operationOver();

private:
    CFileListCtrl* m_list;
    AppHost* m_host;
    QWidget* m_owner;
};
