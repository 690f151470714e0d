#include "browser/filelistdragdrop.h"

#include <utility>
#include <vector>

#include <QAbstractItemView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QListView>
#include <QPainter>
#include <QPixmap>

#include "browser/browserfileops.h"
#include "browser/cfilelistctrl.h"

FileListDragDrop::FileListDragDrop(CFileListCtrl* list, QAbstractItemView* view, BrowserFileOps* ops, QWidget* owner)
    : CDragDrop(view->viewport(), owner), m_list(list), m_view(view), m_ops(ops)
{
}

QStringList FileListDragDrop::dragPaths(QPoint pos)
{
    const int pressed = m_view->indexAt(pos).row();
    const FileItem* item = m_list->rows().entryAt(pressed);
    if (!item || item->isParent)
        return {};
    // A press on a row outside the selection selects that row alone.
    QStringList names;
    if (!m_view->selectionModel()->isRowSelected(pressed) || m_list->selectedNames(names) == 0)
        names = QStringList{item->name};
    for (QString& name : names)
        name.prepend(m_list->currentFolder());
    return names;
}

QPixmap FileListDragDrop::dragImage(QPoint)
{
    // The icons of the selected rows where they lie, within their bounding rectangle.
    const QSize iconSize = m_view->iconSize().isValid() ? m_view->iconSize() : QSize(16, 16);
    const auto* listView = qobject_cast<const QListView*>(m_view);
    const bool centred = listView && listView->viewMode() == QListView::IconMode;
    std::vector<std::pair<QRect, QIcon>> icons;
    QRect bounds;
    for (const QModelIndex& row : m_view->selectionModel()->selectedRows()) {
        const QRect cell = m_view->visualRect(row);
        const int x = centred ? cell.center().x() - iconSize.width() / 2 : cell.left() + 2;
        const QRect place(QPoint(x, cell.top() + 2), iconSize);
        if (!m_view->viewport()->rect().intersects(place))
            continue;
        icons.emplace_back(place, qvariant_cast<QIcon>(row.data(Qt::DecorationRole)));
        bounds |= place;
    }
    if (bounds.isEmpty())
        return {};
    QPixmap image(bounds.size());
    image.fill(Qt::transparent);
    QPainter painter(&image);
    for (const auto& [place, icon] : icons)
        icon.paint(&painter, place.translated(-bounds.topLeft()));
    return image;
}

int FileListDragDrop::folderRowAt(QPoint pos) const
{
    const int row = m_view->indexAt(pos).row();
    const FileItem* item = m_list->rows().entryAt(row);
    return item && item->isFolder && !item->isParent ? row : -1;
}

QString FileListDragDrop::folderAt(QPoint pos)
{
    const int row = folderRowAt(pos);
    return row < 0 ? m_list->currentFolder() : m_list->rows().pathOf(row) + u'/';
}

void FileListDragDrop::highlight(QPoint pos, bool on)
{
    m_list->setDropHighlight(on ? folderRowAt(pos) : -1);
}

void FileListDragDrop::afterDrop(const QStringList& folders)
{
    m_ops->updateListIfShowing(folders);
}
