#include "app/browserpicturelist.h"

#include <QItemSelectionModel>

#include "browser/cfilelistctrl.h"

int BrowserPictureList::rowCount() const
{
    return m_list.rows().entryCount();
}

QString BrowserPictureList::rowName(int row) const
{
    const FileItem* item = m_list.rows().entryAt(row);
    return item ? item->name : QString();
}

int BrowserPictureList::firstSelectedRow() const
{
    return m_list.focusedIndex(false);
}

void BrowserPictureList::selectRow(int row)
{
    m_list.selectRow(row);
}

void BrowserPictureList::clearRowSelection(int row)
{
    if (m_list.selectionModel() && m_list.rows().entryAt(row))
        m_list.selectionModel()->select(m_list.rows().index(row, 0),
                                        QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

bool BrowserPictureList::isKnownPicture(int row) const
{
    return m_list.rows().isImage(row);
}

int BrowserPictureList::pictureCount() const
{
    return m_list.rows().imageCount();
}

QString BrowserPictureList::folder() const
{
    return m_list.currentFolder();
}

int BrowserPictureList::addRow(const QString& name)
{
    const int row = m_list.rows().findByName(name);
    // The file is read in the background; its row comes selected once it was read.
    if (row < 0)
        m_list.addFile(name, true);
    return row;
}

void BrowserPictureList::removeRow(int row)
{
    m_list.rows().removeEntry(row);
}

void BrowserPictureList::renameRow(int row, const QString& name)
{
    m_list.rows().setEntryField(row, CFileListModel::kFieldName, name);
}
