#include "security/secureerase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include "platform/filecopy.h"
#include "platform/thumbnailcache.h"
#include "security/csecuredelete.h"

namespace {

// One run per object: its results are never stale.
constexpr quint64 kGeneration = 1;

SecureEraseResult erase(const QStringList& paths, RunProgress& progress)
{
    // The window counts the bytes covered, each of them written nine times.
    constexpr int kWrites = CSecureDelete::kWritesPerByte;
    qint64 written = 0;
    CSecureDelete eraser;
    eraser.setWriteObserver([&progress, &written](qint64, qint64 bytes) {
        const qint64 covered = written / kWrites;
        written += bytes;
        progress.addDone(written / kWrites - covered);
    });
    eraser.setStopCheck([&progress] { return progress.cancelled(); });
    for (const QString& path : paths)
        progress.addTotal(CSecureDelete::bytesWrittenFor(platform::entryAt(path).size) / kWrites);
    SecureEraseResult result;
    const ThumbnailCache thumbnails(ThumbnailCache::standardRoot());
    for (const QString& path : paths) {
        if (progress.cancelled())
            break;
        progress.setItem(path);
        eraser.SecureDelete(path);
        // The desktop's thumbnails of an erased file would still show what it held.
        if (platform::entryAt(path).kind != platform::EntryKind::None)
            continue;
        for (const QString& thumbnail : thumbnails.entriesOf(path)) {
            progress.addTotal(CSecureDelete::bytesWrittenFor(platform::entryAt(thumbnail).size) / kWrites);
            eraser.SecureDelete(thumbnail);
        }
    }
    for (const QString& path : eraser.foldersToClean()) {
        if (progress.cancelled())
            break;
        const QString folder = QFileInfo(path).absolutePath();
        progress.setItem(QCoreApplication::translate("SecureErase", "Cleaning the free space of %1")
                             .arg(QDir::toNativeSeparators(folder)));
        progress.addTotal(QStorageInfo(folder).bytesFree());
        eraser.CleanFreeSpace(path);
    }
    result.failures = eraser.failures();
    result.oldCopies = eraser.oldCopiesKept();
    result.cancelled = progress.cancelled();
    return result;
}

} // namespace

SecureErase::SecureErase(QObject* parent) : QObject(parent), m_run(this, executor::Priority::Interactive) {}

SecureErase::~SecureErase()
{
    m_progress.cancel();
    m_run.stop();
}

void SecureErase::start(const QStringList& paths)
{
    m_run.add(kGeneration, [this, paths](const RunToken& token) {
        SecureEraseResult result = erase(paths, m_progress);
        token.deliver([this, result = std::move(result)] { Q_EMIT finished(result); });
    });
}
