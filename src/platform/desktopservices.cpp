#include "platform/desktopservices.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
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

bool openDocument(const QString& path, QObject* owner, std::function<void()> noProgram)
{
    if (!QFileInfo::exists(path)) {
        qCDebug(lcPlatform) << "nothing to open at" << path;
        return false;
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            return true;
        qCWarning(lcPlatform) << "no program opened" << path;
        return false;
    }
    // Started detached, the opener could not say that it found no program for the file: it says
    // so with its exit status, at once when there is none, and it may wait for the program it
    // started (whose life does not hang on this process: a kill of the opener leaves it running).
    auto* process = new QProcess(owner);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, path, noProgram = std::move(noProgram)](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status == QProcess::NormalExit && code == 0)
                             return;
                         qCWarning(lcPlatform) << "no program opened" << path << "exit status" << code;
                         if (noProgram)
                             noProgram();
                     });
    process->start(opener, {path});
    if (process->waitForStarted())
        return true;
    qCWarning(lcPlatform) << "the opener did not start for" << path;
    delete process;
    return false;
}

QString defaultCommandLine(const QString& path)
{
    const QString mime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (mime.isEmpty())
        return {};
    QProcess query;
    query.start(mime, {QStringLiteral("query"), QStringLiteral("default"), QMimeDatabase().mimeTypeForFile(path).name()});
    if (!query.waitForFinished() || query.exitCode() != 0)
        return {};
    const QString entry = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    const QString file = entry.isEmpty() ? QString() : QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
    QFile desktop(file);
    if (file.isEmpty() || !desktop.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inEntry = false;
    while (!desktop.atEnd()) {
        const QString line = QString::fromUtf8(desktop.readLine()).trimmed();
        if (line.startsWith(u'['))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec=")))
            return line.mid(5);
    }
    return {};
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
