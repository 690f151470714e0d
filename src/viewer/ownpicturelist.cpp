#include "viewer/ownpicturelist.h"

void OwnPictureList::setFolder(const QString& folder)
{
    m_folder = folder;
    if (!m_folder.isEmpty() && !m_folder.endsWith(QLatin1Char('/')))
        m_folder += QLatin1Char('/');
}

void OwnPictureList::setNames(const QStringList& names)
{
    m_names = names;
}

int OwnPictureList::findByName(const QString& name) const
{
    return name.isEmpty() ? -1 : int(m_names.indexOf(name));
}

QString OwnPictureList::rowName(int row) const
{
    return row >= 0 && row < rowCount() ? m_names.at(row) : QString();
}

void OwnPictureList::selectRow(int row)
{
    if (row >= 0 && row < rowCount())
        m_current = m_names.at(row);
}

void OwnPictureList::clearRowSelection(int row)
{
    if (row >= 0 && row < rowCount() && m_names.at(row) == m_current)
        m_current.clear();
}

int OwnPictureList::addRow(const QString& name)
{
    const int row = findByName(name);
    if (row >= 0)
        return row;
    m_names << name;
    return int(m_names.size()) - 1;
}

void OwnPictureList::removeRow(int row)
{
    if (row >= 0 && row < rowCount())
        m_names.removeAt(row);
}

void OwnPictureList::renameRow(int row, const QString& name)
{
    if (row < 0 || row >= rowCount())
        return;
    if (m_names.at(row) == m_current)
        m_current = name;
    m_names[row] = name;
}
