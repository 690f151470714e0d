#include "browser/dirtreedragdrop.h"

#include <QDir>
#include <QPixmap>

#include "browser/cdirtree.h"
#include "settings/settingskeys.h"

DirTreeDragDrop::DirTreeDragDrop(CDirTree* tree) : CDragDrop(tree->viewport(), tree), m_tree(tree)
{
}

QStringList DirTreeDragDrop::dragPaths(QPoint pos)
{
    const QTreeWidgetItem* item = m_tree->itemAt(pos);
    // The top-level places (home, the root) stay where they are.
    if (!item || !(item->flags() & Qt::ItemIsEditable))
        return {};
    return {QDir::cleanPath(CShellTree::pathOfItem(item))};
}

QPixmap DirTreeDragDrop::dragImage(QPoint pos)
{
    const QTreeWidgetItem* item = m_tree->itemAt(pos);
    return item ? m_tree->viewport()->grab(m_tree->visualItemRect(item)) : QPixmap();
}

QString DirTreeDragDrop::folderAt(QPoint pos)
{
    return settingskeys::folderPath(CShellTree::pathOfItem(m_tree->itemAt(pos)));
}

void DirTreeDragDrop::highlight(QPoint pos, bool on)
{
    m_tree->setDropHighlight(on ? m_tree->itemAt(pos) : nullptr);
}

void DirTreeDragDrop::afterDrop(const QStringList& folders)
{
    m_tree->followChange(folders);
}
