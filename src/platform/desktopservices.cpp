#include "platform/desktopservices.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
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

namespace {

// xdg-open's exit status: 1 bad arguments, 2 no such file, 3 no program for it, 4 the program it
// chose failed, 5 the file may not be read.
int codeOfOpenerStatus(int status, QProcess::ExitStatus how)
{
    if (how != QProcess::NormalExit)
        return opencode::kOutOfResources;
    switch (status) {
    case 2:
        return opencode::kFileNotFound;
    case 3:
        return opencode::kNoAssociation;
    case 5:
        return opencode::kAccessDenied;
    default:
        return opencode::kAssociationIncomplete;
    }
}

// Why a local file cannot be opened; kStarted when it can.
int checkLocalFile(const QString& path)
{
    const QFileInfo file(path);
    if (!file.dir().exists())
        return opencode::kPathNotFound;
    if (!file.exists())
        return opencode::kFileNotFound;
    return file.isReadable() ? opencode::kStarted : opencode::kAccessDenied;
}

bool isFieldCode(const QString& argument)
{
    return argument.size() == 2 && argument.front() == u'%' && argument.back() != u'%';
}

}  // namespace

int openAddress(const QString& address, QObject* owner, std::function<void(int)> failed)
{
    const QUrl url = QUrl::fromUserInput(address, QDir::currentPath(), QUrl::AssumeLocalFile);
    if (address.trimmed().isEmpty() || !url.isValid())
        return opencode::kFileNotFound;
    // A local file goes by its absolute path, so that no name is taken for one of the opener's
    // options.
    const QString target = url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
    if (url.isLocalFile()) {
        if (const int code = checkLocalFile(target); code != opencode::kStarted) {
            qCDebug(lcPlatform) << "nothing to open at" << target;
            return code;
        }
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
        return QDesktopServices::openUrl(url) ? opencode::kStarted : opencode::kNoAssociation;
    // Started detached, the opener could not say that it found no program for the address: it
    // says so with its exit status, at once when there is none, and it may wait for the program
    // it started (whose life does not hang on this process: a kill of the opener leaves it
    // running).
    auto* process = new QProcess(owner);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process,
                     [process, target, failed = std::move(failed)](int status, QProcess::ExitStatus how) {
                         process->deleteLater();
                         if (how == QProcess::NormalExit && status == 0)
                             return;
                         qCWarning(lcPlatform) << "no program opened" << target << "exit status" << status;
                         if (failed)
                             failed(codeOfOpenerStatus(status, how));
                     });
    process->start(opener, {target});
    if (process->waitForStarted())
        return opencode::kStarted;
    qCWarning(lcPlatform) << "the opener did not start for" << target;
    delete process;
    return opencode::kNoAssociation;
}

bool openDocument(const QString& path, QObject* owner, std::function<void()> noProgram)
{
    return openAddress(QFileInfo(path).absoluteFilePath(), owner, [noProgram = std::move(noProgram)](int) {
               if (noProgram)
                   noProgram();
           }) == opencode::kStarted;
}

QString defaultCommandLine(const QString& path)
{
    return defaultCommandLineOfType(QMimeDatabase().mimeTypeForFile(path).name());
}

QString defaultCommandLineOfType(const QString& mimeType)
{
    const QString mime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (mime.isEmpty())
        return {};
    QProcess query;
    query.start(mime, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
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

int startCommandLine(const QString& commandLine, const QString& address)
{
    static const QRegularExpression fileOrAddress(QStringLiteral("%[fFuU]"));
    QStringList arguments = QProcess::splitCommand(commandLine);
    const auto cut = std::find_if(arguments.begin(), arguments.end(),
                                  [](const QString& argument) { return argument.contains(fileOrAddress); });
    arguments.erase(cut, arguments.end());
    // The other field codes (icon, name, entry file) have nothing to stand for here.
    arguments.removeIf(isFieldCode);
    for (QString& argument : arguments)
        argument.replace(QLatin1String("%%"), QLatin1String("%"));
    if (arguments.isEmpty())
        return opencode::kFileNotFound;
    // The program may have gone since the desktop named it.
    const QString program = QStandardPaths::findExecutable(arguments.takeFirst());
    if (program.isEmpty())
        return opencode::kFileNotFound;
    arguments << address;
    if (QProcess::startDetached(program, arguments))
        return opencode::kStarted;
    qCWarning(lcPlatform) << "cannot start" << commandLine;
    return opencode::kBadProgram;
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
