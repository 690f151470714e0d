#pragma once
// DirTreeDragDrop: drag and drop on the folder tree. A folder below the top-level places is
// dragged with its row's picture; files dropped on a folder go into it. Afterwards the tree is
// built again and the list follows. UI thread only.

#include "browser/cdragdrop.h"

class CDirTree;
class QTreeWidgetItem;

class DirTreeDragDrop : public CDragDrop {
    Q_OBJECT
public:
    // Owned by `tree`.
    explicit DirTreeDragDrop(CDirTree* tree);

protected:
    QStringList dragPaths(QPoint pos) override;
    QPixmap dragImage(QPoint pos) override;
    QString folderAt(QPoint pos) override;
    void highlight(QPoint pos, bool on) override;
    void afterDrop(const QStringList& folders) override;

private:
    CDirTree* m_tree;
};
