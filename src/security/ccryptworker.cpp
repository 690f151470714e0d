#include "security/ccryptworker.h"

#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QThread>

#include "platform/filecopy.h"
#include "security/cryptpipeline.h"
#include "security/cstoragefile.h"

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("CCryptWorker", text);
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

// The folder part of a path, with its final "/"; and the name after it.
QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// An encrypted name leaves a plain name when ".pxf" (or the "pxf" of it) goes.
bool isEncryptedName(const QString& name)
{
    return name.endsWith(QLatin1String("pxf")) && name.size() > 4;
}

bool contentEquals(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll() == content;
}

} // namespace

CCryptWorker::CCryptWorker(CryptRequest request, Notify notify)
    : m_request(std::move(request)), m_notify(std::move(notify))
{
}

void CCryptWorker::run()
{
    if (m_request.encrypt)
        encryptRun();
    else
        decryptRun();
}

void CCryptWorker::encryptRun()
{
    for (const QString& name : std::as_const(m_request.names)) {
        if (m_request.cancel->load())
            break;
        CryptFile(m_request.sourceFolder + name);
        if (!m_lastTarget.isEmpty())
            m_toPack.append({m_lastTarget, name + QStringLiteral(".pxf")});
        QThread::yieldCurrentThread();
    }
    if (m_request.severalItems)
        packContainer();
}

void CCryptWorker::decryptRun()
{
    for (const QString& name : std::as_const(m_request.names)) {
        const QString path = m_request.sourceFolder + name;
        if (extensionOf(name) != QLatin1String("mpxf"))
            CryptFile(path);
        else
            unpackContainer(path);
        QThread::yieldCurrentThread();
    }
}

int CCryptWorker::CryptFile(const QString& path)
{
    m_lastTarget.clear();
    if (inSystemFolder(path)) {
        tell(CryptNotice::Warning, tr("Warning"), tr("This program does not encrypt files in the Windows Directory!"));
        return 0;
    }
    return m_request.encrypt ? encryptOne(path) : decryptOne(path);
}

int CCryptWorker::encryptOne(const QString& path)
{
    const QString target = encryptedName(path, m_request.destination);
    const cryptpipeline::Outcome outcome =
        m_written.contains(target) ? cryptpipeline::Outcome{cryptpipeline::Failure::File, sameTargetReason(target)}
                                   : cryptpipeline::encryptFile(path, target, m_request.password);
    if (!outcome.ok()) {
        tell(CryptNotice::Error, tr("Error"),
             tr("Cannot encrypt %1: %2\nThe file was kept.").arg(shown(path), outcome.reason));
        return 0;
    }
    takeOver(path, target);
    return 0;
}

int CCryptWorker::decryptOne(const QString& path)
{
    if (!isEncryptedName(nameOf(path))) {
        tell(CryptNotice::Error, tr("Error Input"),
             tr("This program is unable to Decrypt a file that is not encrypted!\n\n") + shown(path));
        return 0;
    }
    const QString target = decryptedName(path);
    const cryptpipeline::Outcome outcome =
        m_written.contains(target) ? cryptpipeline::Outcome{cryptpipeline::Failure::File, sameTargetReason(target)}
                                   : cryptpipeline::decryptFile(path, target, m_request.password);
    if (outcome.failure == cryptpipeline::Failure::BadData)
        tell(CryptNotice::Error, tr("Error"), tr("Wrong password!"));
    else if (!outcome.ok())
        tell(CryptNotice::Error, tr("Error"),
             tr("Cannot decrypt %1: %2\nThe file was kept.").arg(shown(path), outcome.reason));
    if (!outcome.ok())
        return -1;
    takeOver(path, target);
    return 0;
}

QString CCryptWorker::sameTargetReason(const QString& target)
{
    return tr("another selected file was just written to %1").arg(shown(target));
}

void CCryptWorker::takeOver(const QString& source, const QString& target)
{
    m_written.insert(target);
    m_lastTarget = target;
    // The result carries its source's permission bits: a read-only file stays read-only. (The
    // "user" bits say what this process may do, not what the file allows.)
    const QFile::Permissions userBits = QFile::ReadUser | QFile::WriteUser | QFile::ExeUser;
    QFile::setPermissions(target, QFile::permissions(source) & ~userBits);
    QFile file(source);
    if (!file.remove())
        tell(CryptNotice::Warning, tr("Warning"),
             tr("%1 was written, but %2 cannot be deleted: %3").arg(shown(target), shown(source), file.errorString()));
}

void CCryptWorker::packContainer()
{
    const QString folder = m_request.destination.isEmpty() ? m_request.sourceFolder : m_request.destination;
    const QString container = folder + m_request.containerName;
    QList<std::pair<QString, QString>> packed;
    QStringList tooLong;
    for (const auto& [file, stream] : std::as_const(m_toPack)) {
        if (CStorageFile::fitsStreamName(stream))
            packed.append({file, stream});
        else
            tooLong << shown(file);
    }
    if (!tooLong.isEmpty()) {
        tell(CryptNotice::Warning, tr("Warning"),
             tr("These files were not packed into %1: their names are longer than the %2 characters a container "
                "allows. They stay beside it as separate encrypted files:\n%3")
                 .arg(shown(container))
                 .arg(CStorageFile::kMaxStreamName)
                 .arg(tooLong.join(u'\n')));
    }
    if (packed.isEmpty())
        return;

    // The container is written under a temporary name and takes its own only once every stream
    // reads back as its file: until then the encrypted files are the only copies. The temporary
    // file is made as any new file is, so the container gets the permissions the user's umask
    // gives (the container writer keeps those of the file it replaces).
    QFile temp;
    QString error;
    for (int attempt = 0; attempt < 100 && !temp.isOpen(); ++attempt) {
        temp.setFileName(folder + QStringLiteral(".pixoria-pack-%1")
                                      .arg(QRandomGenerator::global()->generate64(), 0, 36));
        temp.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    }
    bool done = temp.isOpen();
    // Only a file this run made is removed.
    auto removeTemp = qScopeGuard([&temp, made = done] {
        if (made)
            temp.remove();
    });
    if (!done)
        error = temp.errorString();
    temp.close();
    {
        CStorageFile storage;
        done = done && storage.Create(temp.fileName(), &error);
        for (const auto& [file, stream] : std::as_const(packed))
            done = done && storage.AddFile(file, stream, &error);
        done = storage.Close(&error) && done;
    }
    CStorageFile check;
    done = done && check.Open(temp.fileName(), &error);
    for (const auto& [file, stream] : std::as_const(packed)) {
        QByteArray content;
        done = done && check.ReadStream(stream, &content, &error);
        if (done && !contentEquals(file, content)) {
            error = tr("the stream %1 does not read back as written").arg(stream);
            done = false;
        }
    }
    check.Close();
    if (done) {
        const platform::RenameOutcome renamed = platform::renameEntry(temp.fileName(), container, true);
        done = renamed.end == platform::RenameEnd::Done;
        error = renamed.error;
    }
    if (!done) {
        tell(CryptNotice::Error, tr("Error"),
             tr("Cannot write the container %1: %2\nThe encrypted files stay beside it as separate files.")
                 .arg(shown(container), error));
        return;
    }
    removeTemp.dismiss();
    for (const auto& entry : std::as_const(packed))
        QFile::remove(entry.first);
}

void CCryptWorker::unpackContainer(const QString& path)
{
    CStorageFile storage;
    QStringList extracted;
    QString error;
    if (!CStorageFile::IsStorageFile(path)) {
        tell(CryptNotice::Error, tr("Error Input"),
             tr("This program is unable to Decrypt a file that is not encrypted!\n\n") + shown(path));
        return;
    }
    if (!storage.Open(path, &error) || !storage.ExtractAll(folderOf(path), &extracted, &error)) {
        for (const QString& file : std::as_const(extracted))
            QFile::remove(file);
        tell(CryptNotice::Error, tr("Error"), tr("Cannot read the container %1: %2").arg(shown(path), error));
        return;
    }
    // After the first file that fails, the rest are not tried: the container stays whole.
    bool failed = false;
    for (const QString& file : std::as_const(extracted)) {
        if (!failed && CryptFile(file) == -1)
            failed = true;
        if (failed)
            QFile::remove(file);
    }
    storage.Close();
    if (!failed)
        QFile::remove(path);
}

void CCryptWorker::tell(CryptNotice::Kind kind, const QString& caption, const QString& text) const
{
    if (m_notify)
        m_notify({kind, caption, text});
}

QString CCryptWorker::encryptedName(const QString& path, const QString& destination)
{
    return (destination.isEmpty() ? folderOf(path) : destination) + nameOf(path).toLower() + QStringLiteral(".pxf");
}

QString CCryptWorker::decryptedName(const QString& path)
{
    const QString name = nameOf(path).toLower();
    return folderOf(path) + name.left(name.size() - 4);
}

bool CCryptWorker::hasEncryptedExtension(const QString& name)
{
    const QString extension = extensionOf(name);
    return extension == QLatin1String("pxf") || extension == QLatin1String("mpxf");
}

bool CCryptWorker::inSystemFolder(const QString& path)
{
    static const QStringList system = {QStringLiteral("/bin"),   QStringLiteral("/boot"), QStringLiteral("/dev"),
                                       QStringLiteral("/etc"),   QStringLiteral("/lib"),  QStringLiteral("/lib32"),
                                       QStringLiteral("/lib64"), QStringLiteral("/proc"), QStringLiteral("/sbin"),
                                       QStringLiteral("/sys"),   QStringLiteral("/usr"),  QStringLiteral("/var")};
    // Through links too: on merged systems /lib leads into /usr.
    for (const QString& candidate : {QDir::cleanPath(path), QFileInfo(path).canonicalFilePath()}) {
        for (const QString& folder : system) {
            if (candidate == folder || candidate.startsWith(folder + u'/'))
                return true;
        }
    }
    return false;
}
