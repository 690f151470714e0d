#include "platform/trash.h"

#include <cerrno>
#include <optional>

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::optional<struct stat> statusOf(const QString& path, bool followLink)
{
    struct stat status {};
    const QByteArray name = QFile::encodeName(path);
    if ((followLink ? ::stat(name.constData(), &status) : ::lstat(name.constData(), &status)) != 0)
        return std::nullopt;
    return status;
}

// A folder of ours for trash: made when missing, refused when it is a link or someone else's, as
// the Trash rules demand for the folders that others may have made.
bool usableFolder(const QString& path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST)
        return false;
    const auto status = statusOf(path, false);
    return status && S_ISDIR(status->st_mode) && status->st_uid == ::getuid();
}

struct TrashPlace {
    QString folder;  // holds files/ and info/
    QString topdir;  // the paths in info/ are relative to it; empty for the home trash
};

// The mount point of the file system holding the folder `path`.
QString mountPointOf(const QString& path)
{
    QString top = QFileInfo(path).canonicalFilePath();
    const auto own = statusOf(top, true);
    while (own && top != QLatin1String("/")) {
        const QString parent = QFileInfo(top).path();
        const auto status = statusOf(parent, true);
        if (!status || status->st_dev != own->st_dev)
            break;
        top = parent;
    }
    return top;
}

std::optional<TrashPlace> trashFor(const QString& parentFolder, QString* error)
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    QDir().mkpath(dataHome);
    const auto home = statusOf(dataHome, true);
    const auto place = statusOf(parentFolder, true);
    if (!place) {
        *error = qt_error_string(errno);
        return std::nullopt;
    }
    if (home && home->st_dev == place->st_dev) {
        const QString folder = dataHome + QLatin1String("/Trash");
        if (usableFolder(folder))
            return TrashPlace{folder, {}};
        *error = QStringLiteral("the trash folder %1 cannot be used").arg(folder);
        return std::nullopt;
    }
    const QString topdir = mountPointOf(parentFolder);
    const QString uid = QString::number(::getuid());
    // An administrator's shared .Trash counts only with its sticky bit and when it is no link.
    const QString shared = topdir + QLatin1String("/.Trash");
    if (const auto status = statusOf(shared, false);
        status && S_ISDIR(status->st_mode) && (status->st_mode & S_ISVTX) && usableFolder(shared + u'/' + uid))
        return TrashPlace{shared + u'/' + uid, topdir};
    const QString own = topdir + QLatin1String("/.Trash-") + uid;
    if (usableFolder(own))
        return TrashPlace{own, topdir};
    *error = QStringLiteral("the drive at %1 has no trash folder that can be used").arg(topdir);
    return std::nullopt;
}

QByteArray trashInfo(const QString& originalPath)
{
    return "[Trash Info]\nPath=" + QUrl::toPercentEncoding(originalPath, "/") +
           "\nDeletionDate=" + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")).toLatin1() + '\n';
}

// Claims a name in the trash by making its info file exclusively, so that two programs trashing
// at once never share one; the info file is written whole before the item moves.
std::optional<QString> claimName(const TrashPlace& trash, const QString& name, const QByteArray& info,
                                 QString* error)
{
    for (int n = 1; n < 10000; ++n) {
        const QString candidate = n == 1 ? name : QStringLiteral("%1.%2").arg(name).arg(n);
        if (statusOf(trash.folder + QLatin1String("/files/") + candidate, false))
            continue;
        const QByteArray infoPath =
            QFile::encodeName(trash.folder + QLatin1String("/info/") + candidate + QLatin1String(".trashinfo"));
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0) {
            *error = qt_error_string(errno);
            return std::nullopt;
        }
        const bool written = ::write(fd, info.constData(), size_t(info.size())) == info.size();
        if (::close(fd) == 0 && written)
            return candidate;
        *error = qt_error_string(errno);
        ::unlink(infoPath.constData());
        return std::nullopt;
    }
    *error = QStringLiteral("too many items of that name in the trash");
    return std::nullopt;
}

} // namespace

TrashOutcome moveToTrash(const QString& path)
{
    const QFileInfo item(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (!statusOf(item.filePath(), false))
        return {{}, qt_error_string(errno)};
    QString error;
    const auto trash = trashFor(item.path(), &error);
    if (!trash || !usableFolder(trash->folder + QLatin1String("/files")) ||
        !usableFolder(trash->folder + QLatin1String("/info")))
        return {{}, error.isEmpty() ? qt_error_string(errno) : error};
    // Another drive's trash records the path from its mount point, so it still holds when the
    // drive is mounted elsewhere.
    const QString original = trash->topdir.isEmpty()
                                 ? item.filePath()
                                 : QDir(trash->topdir).relativeFilePath(
                                       QFileInfo(item.path()).canonicalFilePath() + u'/' + item.fileName());
    const auto name = claimName(*trash, item.fileName(), trashInfo(original), &error);
    if (!name)
        return {{}, error};
    const QString target = trash->folder + QLatin1String("/files/") + *name;
    if (::rename(QFile::encodeName(item.filePath()).constData(), QFile::encodeName(target).constData()) != 0) {
        error = qt_error_string(errno);
        QFile::remove(trash->folder + QLatin1String("/info/") + *name + QLatin1String(".trashinfo"));
        return {{}, error};
    }
    return {target, {}};
}

} // namespace platform
