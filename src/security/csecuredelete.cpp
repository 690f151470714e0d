#include "security/csecuredelete.h"

#include <array>
#include <cstdio>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStorageInfo>

#include "platform/filecopy.h"
#include "platform/wipefile.h"

namespace {

constexpr qint64 kPatternSize = 65536;
constexpr int kPasses = 3;
constexpr int kPatternCount = 3;
constexpr int kNames = 26;
// The free-space fill starts with pieces of this many blocks.
constexpr qint64 kFillBlocks = 128;

QString tr(const char* text)
{
    return QCoreApplication::translate("CSecureDelete", text);
}

// 0x00, 0xFF and random bytes, made once for the whole process: every overwrite uses the same.
const std::array<std::vector<char>, kPatternCount>& patterns()
{
    static const std::array<std::vector<char>, kPatternCount> buffers = [] {
        std::array<std::vector<char>, kPatternCount> made{std::vector<char>(kPatternSize, char(0x00)),
                                                          std::vector<char>(kPatternSize, char(0xFF)),
                                                          std::vector<char>(kPatternSize)};
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(made[2].data()),
                                              qsizetype(kPatternSize / sizeof(quint32)));
        return made;
    }();
    return buffers;
}

QByteArray typeOf(const QString& path)
{
    return QStorageInfo(QFileInfo(path).absolutePath()).fileSystemType();
}

// File systems that write changed data to new blocks and may keep the old ones (copy-on-write,
// log-structured): an overwrite through the file never reaches the blocks it means.
bool keepsOldBlocks(const QByteArray& type)
{
    static const QList<QByteArray> types = {"btrfs", "zfs", "bcachefs", "nilfs2", "f2fs"};
    return types.contains(type);
}

// File systems of another machine: their free space is not ours to fill.
bool isNetworkFileSystem(const QByteArray& type)
{
    static const QList<QByteArray> types = {"nfs",         "nfs4",  "cifs",      "smb3",           "smbfs",
                                            "9p",          "afs",   "ceph",      "ncpfs",          "fuse.sshfs",
                                            "fuse.davfs2", "davfs", "glusterfs", "fuse.glusterfs", "lustre"};
    return types.contains(type);
}

QString nativeName(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

qint64 CSecureDelete::bytesWrittenFor(qint64 size)
{
    // The last byte first, then the whole file, each written nine times.
    static_assert(kPasses * kPatternCount == kWritesPerByte);
    return size == 0 ? 0 : (size + 1) * kWritesPerByte;
}

void CSecureDelete::SecureDelete(const QString& path)
{
    const platform::Entry entry = platform::entryAt(path);
    switch (entry.kind) {
    case platform::EntryKind::File:
        OverwriteFile(path, entry.size);
        return;
    case platform::EntryKind::Folder:
        m_failures << tr("%1 is a folder: folders are not erased, it was left as it is.").arg(nativeName(path));
        return;
    case platform::EntryKind::None:
        m_failures << tr("Cannot erase %1: it is no longer there.").arg(nativeName(path));
        return;
    default:
        // A link's target may be any file anywhere: it is never followed into.
        m_failures << tr("%1 is not a plain file and was left as it is.").arg(nativeName(path));
        return;
    }
}

bool CSecureDelete::OverwriteRegion(platform::WipeFile& file, qint64 offset, qint64 bytes)
{
    for (int pass = 0; pass < kPasses; ++pass) {
        for (const std::vector<char>& pattern : patterns()) {
            if (!writeThrough(file, offset, bytes, pattern.data()))
                return false;
        }
    }
    return true;
}

bool CSecureDelete::writeThrough(platform::WipeFile& file, qint64 offset, qint64 bytes, const char* pattern)
{
    for (qint64 done = 0; done < bytes;) {
        const qint64 piece = std::min(kPatternSize, bytes - done);
        if (!file.writeAt(offset + done, pattern, piece))
            return false;
        if (m_written)
            m_written(offset + done, piece);
        done += piece;
    }
    return true;
}

void CSecureDelete::OverwriteFile(const QString& path, qint64 size)
{
    platform::WipeFile file = platform::WipeFile::openExisting(path);
    if (!file.isOpen()) {
        m_failures << tr("Cannot erase %1: %2.").arg(nativeName(path), file.error());
        return;
    }
    const platform::DataLayout layout = file.layout();
    const bool oldCopies = layout.relocates || keepsOldBlocks(typeOf(path));
    // The last byte first: a file that cannot be written to its end fails before anything of it
    // is lost.
    bool written = size == 0 || OverwriteRegion(file, size - 1, 1);
    for (qint64 offset = 0; written && offset < size; offset += kPatternSize)
        written = OverwriteRegion(file, offset, std::min(kPatternSize, size - offset));
    if (!written) {
        m_failures
            << tr("Cannot erase %1: %2. It keeps its name, partly overwritten.").arg(nativeName(path), file.error());
        return;
    }
    file.close();

    QFile scrambled(ScrambleName(path));
    if (!scrambled.remove()) {
        platform::renameEntry(scrambled.fileName(), path, false);
        m_failures << tr("Cannot erase %1: %2.").arg(nativeName(path), scrambled.errorString());
        return;
    }
    if (oldCopies)
        m_oldCopies << path;
    if (oldCopies || layout.sparse)
        needsCleaning(path);
}

QString CSecureDelete::ScrambleName(const QString& path)
{
    const QFileInfo info(path);
    const QString folder = path.left(path.size() - info.fileName().size());
    QString current = path;
    for (int i = 0; i < kNames; ++i) {
        QString name = info.fileName();
        for (QChar& c : name) {
            if (c != u'.')
                c = QChar(u'A' + i);
        }
        if (platform::renameEntry(current, folder + name, false).end != platform::RenameEnd::Done)
            break;
        current = folder + name;
    }
    return current;
}

bool CSecureDelete::CleanFreeSpace(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QStorageInfo storage(folder);
    if (isNetworkFileSystem(storage.fileSystemType())) {
        std::fputs("Cannot clean free space for UNC drive\n\n", stdout);
        std::fflush(stdout);
        return false;
    }
    if (!storage.isValid()) {
        m_failures
            << tr("The free space of %1 could not be cleaned: its file system cannot be read.").arg(nativeName(folder));
        return false;
    }
    const qint64 block = std::max(1, storage.blockSize());
    // Both files give their blocks back when they close, here or when the process ends.
    platform::WipeFile pieces = platform::WipeFile::createUnnamed(folder);
    if (!pieces.isOpen()) {
        m_failures << tr("The free space of %1 could not be cleaned: %2.").arg(nativeName(folder), pieces.error());
        return false;
    }
    // Whole blocks until not even one more fits, then the last bytes a block at a time smaller.
    const qint64 left = fill(pieces, block * kFillBlocks, block, block);
    platform::WipeFile rest = platform::WipeFile::createUnnamed(folder);
    if (rest.isOpen())
        fill(rest, left, 1, 0);
    return true;
}

qint64 CSecureDelete::fill(platform::WipeFile& file, qint64 chunk, qint64 shrink, qint64 floor)
{
    qint64 end = 0;
    while (chunk > floor && !(m_stop && m_stop())) {
        if (OverwriteRegion(file, end, chunk))
            end += chunk;
        else
            chunk -= shrink;
    }
    return chunk;
}

void CSecureDelete::needsCleaning(const QString& path)
{
    const QByteArray device = QStorageInfo(QFileInfo(path).absolutePath()).device();
    if (m_devicesToClean.contains(device))
        return;
    m_devicesToClean << device;
    m_toClean << path;
}
