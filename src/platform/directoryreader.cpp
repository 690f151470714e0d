#include "platform/directoryreader.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX)
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#else
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#endif

namespace platform {

#if defined(Q_OS_LINUX)

namespace {

// Folders smaller than this are stat'ed by the calling thread alone.
constexpr std::size_t kParallelEntries = 4096;
constexpr std::size_t kChunkEntries = 512;
constexpr unsigned kMaxThreads = 4;

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

qint64 msecsOf(const timespec& time)
{
    return qint64(time.tv_sec) * 1000 + time.tv_nsec / 1000000;
}

// The names of a folder, read in one pass before any of them is stat'ed.
struct NameList {
    QByteArray bytes;                 // every name followed by its '\0'
    std::vector<qsizetype> offsets;   // where each name starts in `bytes`
    std::vector<unsigned char> types; // d_type of each

    const char* name(std::size_t index) const { return bytes.constData() + offsets[index]; }
};

// Fills size, time and kind of one entry; false when it vanished since it was listed.
bool statEntry(int folderFd, const char* name, unsigned char type, DirectoryEntry& out)
{
    struct stat info;
    // Following links makes a link to a folder a folder row, as a file manager shows it.
    if (fstatat(folderFd, name, &info, 0) == 0) {
        out.isFolder = S_ISDIR(info.st_mode);
        out.size = out.isFolder ? 0 : quint64(info.st_size);
        out.modified = msecsOf(info.st_mtim);
        return true;
    }
    // A dangling link is still an entry: the link itself, a file of size 0.
    if (fstatat(folderFd, name, &info, AT_SYMLINK_NOFOLLOW) == 0) {
        out.modified = msecsOf(info.st_mtim);
        return true;
    }
    if (errno == ENOENT)
        return false;
    // A folder we may list but not search: the names are all we can know.
    out.isFolder = type == DT_DIR;
    return true;
}

// Stats the entries of `names` in chunks taken from `next` until none is left or the stop flag
// is seen. An entry that vanished keeps a null name.
void statChunks(int folderFd, const NameList& names, std::vector<DirectoryEntry>& entries,
                std::atomic<std::size_t>& next, const std::atomic<bool>* stop)
{
    for (;;) {
        const std::size_t first = next.fetch_add(kChunkEntries, std::memory_order_relaxed);
        if (first >= entries.size())
            return;
        const std::size_t last = std::min(entries.size(), first + kChunkEntries);
        for (std::size_t i = first; i < last; ++i) {
            if (stop != nullptr && stop->load(std::memory_order_relaxed))
                return;
            const char* name = names.name(i);
            DirectoryEntry& out = entries[i];
            if (!statEntry(folderFd, name, names.types[i], out))
                continue;
            // Qt's file-name codec on Unix is the local 8-bit one; the view spares a copy per name.
            out.name = QString::fromLocal8Bit(QByteArrayView(name, qsizetype(std::strlen(name))));
            out.isHidden = name[0] == '.';
        }
    }
}

// Reads every name of the folder. A folder that fails half-way fails: a refresh must not take a
// part of a folder for all of it.
DirectoryResult readNames(DIR* dir, NameList& names, const std::atomic<bool>* stop)
{
    for (;;) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed))
            return DirectoryResult::Stopped;
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr)
            return errno == 0 ? DirectoryResult::Done : DirectoryResult::Failed;
        if (isDotOrDotDot(entry->d_name))
            continue;
        names.offsets.push_back(names.bytes.size());
        names.types.push_back(entry->d_type);
        names.bytes.append(entry->d_name, qsizetype(std::strlen(entry->d_name) + 1));
    }
}

} // namespace

DirectoryResult readDirectory(const QString& folder, const std::atomic<bool>* stop,
                              const std::function<void(DirectoryEntry&&)>& visit, const FanOut& fanOut)
{
    DIR* dir = opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr)
        return DirectoryResult::Failed;
    // Names first, then sizes and times: the stats of a big folder can then go to several cores,
    // as the kernel serves them in parallel.
    NameList names;
    DirectoryResult result = readNames(dir, names, stop);
    if (result == DirectoryResult::Done) {
        std::vector<DirectoryEntry> entries(names.offsets.size());
        std::atomic<std::size_t> next{0};
        const int folderFd = dirfd(dir);
        const auto statAll = [&] { statChunks(folderFd, names, entries, next, stop); };
        if (fanOut && entries.size() >= kParallelEntries) {
            const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads));
            fanOut(threads - 1, statAll);
        } else {
            statAll();
        }
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            result = DirectoryResult::Stopped;
        } else {
            for (DirectoryEntry& entry : entries) {
                if (!entry.name.isNull())
                    visit(std::move(entry));
            }
        }
    }
    closedir(dir);
    return result;
}

namespace {

NameKind kindOfStat(const struct stat& info)
{
    if (S_ISREG(info.st_mode))
        return NameKind::File;
    return NameKind::Other;
}

NameKind kindOf(int folderFd, const dirent* entry)
{
    switch (entry->d_type) {
    case DT_REG:
        return NameKind::File;
    case DT_DIR:
        return NameKind::Folder;
    case DT_LNK: {
        struct stat info;
        return fstatat(folderFd, entry->d_name, &info, 0) == 0 ? kindOfStat(info) : NameKind::Other;
    }
    case DT_UNKNOWN: {
        struct stat info;
        if (fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return NameKind::Other;
        if (S_ISDIR(info.st_mode))
            return NameKind::Folder;
        if (S_ISLNK(info.st_mode))
            return fstatat(folderFd, entry->d_name, &info, 0) == 0 ? kindOfStat(info) : NameKind::Other;
        return kindOfStat(info);
    }
    default:
        return NameKind::Other;
    }
}

} // namespace

DirectoryResult listNames(const QString& folder, const std::atomic<bool>* stop,
                          const std::function<void(const ListedName&)>& visit)
{
    DIR* dir = opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr)
        return DirectoryResult::Failed;
    ListedName listed;
    listed.m_folderFd = dirfd(dir);
    DirectoryResult result = DirectoryResult::Done;
    for (;;) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed)) {
            result = DirectoryResult::Stopped;
            break;
        }
        errno = 0;
        const dirent* entry = readdir(dir);
        if (entry == nullptr) {
            result = errno == 0 ? DirectoryResult::Done : DirectoryResult::Failed;
            break;
        }
        if (isDotOrDotDot(entry->d_name))
            continue;
        listed.m_rawName = entry->d_name;
        listed.name = QString::fromLocal8Bit(QByteArrayView(entry->d_name, qsizetype(std::strlen(entry->d_name))));
        listed.kind = kindOf(listed.m_folderFd, entry);
        visit(listed);
    }
    closedir(dir);
    return result;
}

bool ListedName::sizeAndTime(quint64& size, qint64& modified) const
{
    struct stat info;
    // Relative to the open folder: no walk down the whole path for every file.
    if (fstatat(m_folderFd, m_rawName, &info, 0) != 0)
        return false;
    size = quint64(info.st_size);
    modified = msecsOf(info.st_mtim);
    return true;
}

#else

DirectoryResult readDirectory(const QString& folder, const std::atomic<bool>* stop,
                              const std::function<void(DirectoryEntry&&)>& visit, const FanOut&)
{
    const QDir dir(folder);
    if (!dir.exists() || !dir.isReadable())
        return DirectoryResult::Failed;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed))
            return DirectoryResult::Stopped;
        it.next();
        const QFileInfo info = it.fileInfo();
        DirectoryEntry out;
        out.name = info.fileName();
        out.isFolder = info.isDir();
        out.size = out.isFolder ? 0 : quint64(info.size());
        const QDateTime modified = info.lastModified();
        out.modified = modified.isValid() ? modified.toMSecsSinceEpoch() : 0;
        // Windows has a hidden attribute besides the dot names.
        out.isHidden = out.name.startsWith(u'.') || info.isHidden();
        visit(std::move(out));
    }
    return DirectoryResult::Done;
}

DirectoryResult listNames(const QString& folder, const std::atomic<bool>* stop,
                          const std::function<void(const ListedName&)>& visit)
{
    const QDir dir(folder);
    if (!dir.exists() || !dir.isReadable())
        return DirectoryResult::Failed;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    ListedName listed;
    while (it.hasNext()) {
        if (stop != nullptr && stop->load(std::memory_order_relaxed))
            return DirectoryResult::Stopped;
        it.next();
        const QFileInfo info = it.fileInfo();
        listed.name = info.fileName();
        listed.kind = info.isSymLink() && info.isDir() ? NameKind::Other
                      : info.isDir()                   ? NameKind::Folder
                      : info.isFile()                  ? NameKind::File
                                                       : NameKind::Other;
        listed.m_path = info.filePath();
        visit(listed);
    }
    return DirectoryResult::Done;
}

bool ListedName::sizeAndTime(quint64& size, qint64& modified) const
{
    const QFileInfo info(m_path);
    if (!info.exists())
        return false;
    size = quint64(info.size());
    const QDateTime time = info.lastModified();
    modified = time.isValid() ? time.toMSecsSinceEpoch() : 0;
    return true;
}

#endif

} // namespace platform
