#include "platform/desktopservices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "platform/logging.h"

namespace platform {

QString programFile(const QString& name)
{
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    if (QFileInfo::exists(beside))
        return beside;
    const QString shared =
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zelt-pixoria/") + name);
    return QFileInfo::exists(shared) ? shared : beside;
}

bool openDocument(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        qCDebug(lcPlatform) << "nothing to open at" << path;
        return false;
    }
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        return true;
    qCWarning(lcPlatform) << "no program opened" << path;
    return false;
}

QStringList mailArguments(const QStringList& paths, const QString& note)
{
    QStringList arguments;
    for (const QString& path : paths)
        arguments << QStringLiteral("--attach") << path;
    if (!note.isEmpty())
        arguments << QStringLiteral("--body") << note;
    return arguments;
}

bool sendFilesByMail(const QStringList& paths)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (program.isEmpty()) {
        qCWarning(lcPlatform) << "xdg-email is not installed: there is nothing to send mail with";
        return false;
    }
    const QString note = QCoreApplication::translate("platform", "Pictures sent from Zelt Pixoria.");
    return QProcess::startDetached(program, mailArguments(paths, note));
}

}  // namespace platform
