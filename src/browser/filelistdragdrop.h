#pragma once
// FileListDragDrop: drag and drop on one of the file list's views. A drag started on a selected
// row takes every selected row (".." never), one started on another row that row, under a
// picture of their icons; files dropped on a folder row go into that folder, anywhere else into
// the shown folder. Afterwards the list follows the disk. UI thread only.

#include "browser/cdragdrop.h"

class BrowserFileOps;
class CFileListCtrl;
class QAbstractItemView;

class FileListDragDrop : public CDragDrop {
    Q_OBJECT
public:
    // `view` is one of `list`'s; `list` and `ops` outlive this object, which `owner` owns.
    FileListDragDrop(CFileListCtrl* list, QAbstractItemView* view, BrowserFileOps* ops, QWidget* owner);

protected:
    QStringList dragPaths(QPoint pos) override;
    QPixmap dragImage(QPoint pos) override;
    QString folderAt(QPoint pos) override;
    void highlight(QPoint pos, bool on) override;
    void afterDrop(const QStringList& folders) override;

private:
    // The folder row under `pos` (not ".."), or -1.
    int folderRowAt(QPoint pos) const;

    CFileListCtrl* m_list;
    QAbstractItemView* m_view;
    BrowserFileOps* m_ops;
};
