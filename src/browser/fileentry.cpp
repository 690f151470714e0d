#include "browser/fileentry.h"

#include <QDateTime>
#include <QFileInfo>

#include "browser/cshelllist.h"
#include "fileops/cfileinfo.h"
#include "fileops/descriptionfile.h"
#include "imagelib/cbmpex.h"

namespace fileentry {

namespace {

qint64 lastWriteTime(const QFileInfo& info)
{
    return info.lastModified().toMSecsSinceEpoch();
}

std::optional<QString> headerProperties(const QString& path)
{
    CFileInfo::Info header;
    if (!CFileInfo::ReadHeaderInfo(path, header))
        return std::nullopt;
    return fileitem::propertiesText(header);
}

} // namespace

bool libraryReads(const QString& path)
{
    CBmpEx picture;
    return picture.canOpen(path).has_value();
}

std::optional<FileItem> readRecord(const QString& folder, const QString& name)
{
    const QString path = folder + name;
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    FileItem item;
    item.name = name;
    item.isFolder = info.isDir();
    item.ownIcon = CShellList::ownIconName(folder, name, item.isFolder);
    item.modified = lastWriteTime(info);
    if (item.isFolder) {
        item.typeText = QStringLiteral("File folder");
    } else {
        item.size = quint64(info.size());
        item.compactSizeText = true;
        // The one test of what is a picture, as for the rows read with the folder: a row added
        // later must count as the same file counted at the folder's first reading.
        item.imageFlag = CFileInfo::IsImageByExtension(name) ? 1 : 0;
        if (item.imageFlag != 0)
            item.imageProperties = headerProperties(path);
    }
    // A row without image properties is scanned at once, as the header scan would.
    if (!item.imageProperties) {
        const RowScan scan = scanRow(folder, name, 0, item.isFolder);
        item.imageProperties = scan.header.imageProperties;
        if (scan.header.description && !scan.header.description->isEmpty())
            item.description = scan.header.description;
    }
    return item;
}

RowScan scanRow(const QString& folder, const QString& name, quint64 id, bool isFolder)
{
    RowScan scan;
    scan.header.id = id;
    const QString path = folder + name;
    const QFileInfo info(path);
    if (!info.exists())
        return scan;
    scan.exists = true;
    scan.size = isFolder ? 0 : quint64(info.size());
    scan.modified = lastWriteTime(info);
    if (!isFolder && CFileInfo::IsImageByExtension(name)) {
        scan.header.imageProperties = headerProperties(path);
        scan.header.imageFlag = scan.header.imageProperties ? 1 : 0;
    }
    scan.header.description = DescriptionFile::lookUp(name, folder);
    return scan;
}

std::optional<Summary> summary(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    Summary found;
    const quint64 size = quint64(info.size());
    if (size != 0)
        found.text = QStringLiteral("%1KB, ").arg(size / 1024);
    // The file's time as stored, not turned into local time.
    found.text += info.lastModified().toUTC().toString(QStringLiteral(" dd.MM.yyyy HH:mm"));
    const CFileInfo reader;
    CFileInfo::Info detail;
    if (reader.GetInfo(path, detail))
        found.detail = fileitem::propertiesText(detail);
    return found;
}

} // namespace fileentry
