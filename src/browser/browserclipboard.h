#pragma once
// BrowserClipboard: Cut, Copy and Paste of files in the browser's list. Cut and Copy put the
// selected rows on the clipboard for any program to paste, Cut marking them (dimmed icons) until
// the list shows or refreshes a folder. Paste copies or moves the clipboard's files into the
// shown folder, as the program that put them there asked (files offered for neither are not
// pasted); after a move the clipboard is emptied. UI thread only.

#include <QObject>
#include <QString>

#include "platform/cclipboardview.h"

class AppHost;
class BrowserFileOps;
class CCommandTarget;
class CFileListCtrl;
class QWidget;

class BrowserClipboard : public QObject {
    Q_OBJECT
public:
    // `host` (may be null) gives the current image, released before its file moves; `ops`
    // brings the list up to date after a paste. `list`, `host` and `ops` outlive this; `owner`
    // owns it and parents the progress windows.
    BrowserClipboard(CFileListCtrl* list, AppHost* host, BrowserFileOps* ops, QWidget* owner);

    // Cut and Copy while rows other than ".." are selected, Paste while the clipboard holds files
    // offered for a copy or a move.
    void registerOn(CCommandTarget& commands);

private:
    void putSelection(filemime::DropEffect effect);
    // Pastes into the shown folder; the list follows the disk once the files are there.
    void paste();

    CFileListCtrl* m_list;
    AppHost* m_host;
    BrowserFileOps* m_ops;
    QWidget* m_owner;
    CClipboardView m_clipboard;
};
