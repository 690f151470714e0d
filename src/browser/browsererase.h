#pragma once
// BrowserErase: the browser's "Erase for good" of the selection. It asks first (nothing of an
// erased file can be brought back), erases in the background with a progress window while the
// browser stays usable, then tells what could not be erased and where the file system may keep
// old copies, and brings the list up to date with the disk through the file operations' refresh.
// UI thread only.

#include <QObject>

class BrowserFileOps;
class CCommandTarget;
class CFileListCtrl;
class QWidget;
struct SecureEraseResult;

class BrowserErase : public QObject {
    Q_OBJECT
public:
    // `owner` parents the questions and the progress window; it, `list` and `ops` outlive this.
    BrowserErase(CFileListCtrl* list, BrowserFileOps* ops, QWidget* owner);

    // "Erase for good", enabled while rows other than ".." are selected.
    void registerOn(CCommandTarget& commands);
    void eraseSelection();

private:
    void report(const SecureEraseResult& result);

    CFileListCtrl* m_list;
    BrowserFileOps* m_ops;
    QWidget* m_owner;
};
