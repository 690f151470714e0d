#include "viewer/picturesource.h"

#include <QFileInfo>

PictureSource::PictureSource(QObject* statusReceiver, QObject* parent) : QObject(parent), m_scan(statusReceiver)
{
    connect(&m_scan, &FolderScanWorker::scanned, this, [this](quint64, const QStringList& names) {
        m_ownList.setNames(names);
        Q_EMIT listChanged();
    });
}

QString PictureSource::folderOf(const QString& path)
{
    const QString folder = QFileInfo(path).path();
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

PictureList& PictureSource::list()
{
    return m_browserList ? *m_browserList : static_cast<PictureList&>(m_ownList);
}

const PictureList& PictureSource::list() const
{
    return m_browserList ? *m_browserList : static_cast<const PictureList&>(m_ownList);
}

void PictureSource::takeBrowserSelection(const QString& fallbackName)
{
    const int row = m_browserList->firstSelectedRow();
    m_fileName = row >= 0 ? m_browserList->rowName(row) : fallbackName;
    m_folder = m_browserList->folder();
}

void PictureSource::startOwnList(const QString& folder, const QString& name)
{
    stopScan();
    m_browserList = nullptr;
    m_folder = folder;
    m_fileName = name;
    m_ownList.setFolder(folder);
    m_ownList.setNames({});
    m_ownList.setCurrentName(name);
}

void PictureSource::scan()
{
    m_scan.start(m_folder, m_fileName);
}

void PictureSource::showName(const QString& name)
{
    m_fileName = name;
    if (m_browserList)
        selectBrowserRow(name);
    else
        m_ownList.setCurrentName(name);
}

void PictureSource::followSelection()
{
    const PictureList& walked = list();
    const int row = walked.firstSelectedRow();
    if (row >= 0)
        m_fileName = walked.rowName(row);
}

void PictureSource::showSaved(const QString& name, bool listed)
{
    if (listed && list().addRow(name) >= 0 && m_browserList)
        selectBrowserRow(name);
    m_fileName = name;
    if (!m_browserList)
        m_ownList.setCurrentName(name);
}

void PictureSource::leave()
{
    stopScan();
    if (m_browserList)
        return;
    m_ownList.setNames({});
    m_folder.clear();
}

int PictureSource::rowOf(const QString& name) const
{
    const PictureList& walked = list();
    for (int row = 0, count = walked.rowCount(); row < count; ++row) {
        if (walked.rowName(row) == name)
            return row;
    }
    return -1;
}

void PictureSource::renameFile(const QString& oldName, const QString& newName)
{
    if (const int row = rowOf(oldName); row >= 0)
        list().renameRow(row, newName);
    if (m_fileName == oldName)
        showName(newName);
}

void PictureSource::selectBrowserRow(const QString& name)
{
    const int row = rowOf(name);
    if (row < 0)
        return;
    const int selected = m_browserList->firstSelectedRow();
    if (selected >= 0 && selected != row)
        m_browserList->clearRowSelection(selected);
    m_browserList->selectRow(row);
}
