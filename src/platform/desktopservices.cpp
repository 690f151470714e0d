#include "platform/desktopservices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

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
    if (!QFileInfo::exists(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
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
    if (program.isEmpty())
        return false;
    const QString note = QCoreApplication::translate("platform", "Pictures sent from Zelt Pixoria.");
    return QProcess::startDetached(program, mailArguments(paths, note));
}

}  // namespace platform
