#include "settings/settingskeys.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace settingskeys {

QString folderPath(const QString& path)
{
    if (path.isEmpty())
        return path;
    qsizetype end = path.size();
    while (end > 0 && path.at(end - 1) == QLatin1Char('/'))
        --end;
    return path.left(end) + QLatin1Char('/');
}

QString defaultLastFolder()
{
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!pictures.isEmpty() && QFileInfo(pictures).isDir())
        return folderPath(pictures);
    return folderPath(QDir::homePath());
}

} // namespace settingskeys
