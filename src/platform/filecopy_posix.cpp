#include "platform/filecopy.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Large enough that a big file moves at the disk's speed, small enough that Cancel is seen within
// a fraction of a second.
constexpr size_t kPiece = size_t(16) << 20;
constexpr size_t kBufferSize = size_t(1) << 20;

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    void reset(int fd)
    {
        close();
        m_fd = fd;
    }
    // Closes now; false when the close reported a late write error (network file systems do).
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

CopyOutcome failure(int error)
{
    return {CopyEnd::Failed, qt_error_string(error)};
}

// A call the kernel or the file system does not offer for this pair of files: the next way is tried.
bool notOffered(int error)
{
    return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

enum class Step { Copied, End, NotOffered, Error };

// One piece through copy_file_range, sendfile or read/write (way 0, 1, 2).
Step copyPiece(int way, int in, int out, std::vector<char>& buffer, ssize_t* moved)
{
    if (way == 0)
        *moved = ::copy_file_range(in, nullptr, out, nullptr, kPiece, 0);
    else if (way == 1)
        *moved = ::sendfile(out, in, nullptr, kPiece);
    else {
        buffer.resize(kBufferSize);
        *moved = ::read(in, buffer.data(), buffer.size());
        for (ssize_t written = 0; *moved > 0 && written < *moved;) {
            const ssize_t n = ::write(out, buffer.data() + written, size_t(*moved - written));
            if (n < 0 && errno != EINTR)
                return Step::Error;
            written += std::max<ssize_t>(n, 0);
        }
    }
    if (*moved > 0)
        return Step::Copied;
    if (*moved == 0)
        return Step::End;
    return notOffered(errno) && way < 2 ? Step::NotOffered : Step::Error;
}

CopyOutcome copyContents(int in, int out, const CopyProgress& progress)
{
    std::vector<char> buffer;
    qint64 copied = 0;
    for (int way = 0;;) {
        ssize_t moved = 0;
        switch (copyPiece(way, in, out, buffer, &moved)) {
        case Step::Copied:
            copied += moved;
            if (!progress(moved))
                return {CopyEnd::Cancelled, {}};
            break;
        case Step::End:
            return {};
        case Step::NotOffered:
            // Only before the first byte: a later refusal would leave the offsets unknown.
            if (copied > 0)
                return failure(errno);
            ++way;
            break;
        case Step::Error:
            if (errno != EINTR)
                return failure(errno);
            break;
        }
    }
}

// The file a copy reads: a regular file (a link is refused, never followed), open, with its status.
struct Source {
    Descriptor fd{-1};
    struct stat status {};

    CopyOutcome open(const QString& path)
    {
        fd.reset(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
        if (!fd.valid() || ::fstat(fd.get(), &status) != 0)
            return failure(errno);
        return S_ISREG(status.st_mode) ? CopyOutcome{} : failure(EINVAL);
    }
};

// The copy's mode while it is written: the source's, and writable by us whatever it is.
mode_t writableMode(const struct stat& status)
{
    return (status.st_mode & 07777) | S_IWUSR;
}

// Writes the contents of `in` into `out`, then gives `out` the permission bits and last-write
// time of `status`, the source's.
CopyOutcome fill(int in, const struct stat& status, int out, const CopyProgress& progress)
{
    CopyOutcome outcome = copyContents(in, out, progress);
    if (outcome.end != CopyEnd::Done)
        return outcome;
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (::fchmod(out, status.st_mode & 07777) != 0 || ::futimens(out, times) != 0)
        return failure(errno);
    return outcome;
}

// A kernel or file system without O_TMPFILE: EISDIR from kernels that read it as O_DIRECTORY.
bool noNamelessFiles(int error)
{
    return error == EOPNOTSUPP || error == ENOTSUP || error == EISDIR || error == EINVAL;
}

} // namespace

CopyOutcome copyFile(const QString& source, const QString& target, const CopyProgress& progress)
{
    Source in;
    if (CopyOutcome opened = in.open(source); opened.end != CopyEnd::Done)
        return opened;
    const QByteArray to = QFile::encodeName(target);
    Descriptor out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, writableMode(in.status)));
    if (!out.valid())
        return failure(errno);
    CopyOutcome outcome = fill(in.fd.get(), in.status, out.get(), progress);
    if (!out.close() && outcome.end == CopyEnd::Done)
        outcome = failure(errno);
    if (outcome.end != CopyEnd::Done)
        ::unlink(to.constData());
    return outcome;
}

CopyOutcome copyNewFile(const QString& source, const QString& target, const CopyProgress& progress)
{
    Source in;
    if (CopyOutcome opened = in.open(source); opened.end != CopyEnd::Done)
        return opened;
    const QByteArray to = QFile::encodeName(target);
    // The file is linked in through its entry under /proc, which a container may lack.
    static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
    if (!linkable)
        return {CopyEnd::NotOffered, {}};
    const QByteArray folder = QFile::encodeName(QFileInfo(target).path());
    Descriptor out(::open(folder.constData(), O_WRONLY | O_TMPFILE | O_CLOEXEC, writableMode(in.status)));
    if (!out.valid())
        return noNamelessFiles(errno) ? CopyOutcome{CopyEnd::NotOffered, {}} : failure(errno);
    // Whatever ends the copy early, the file has no name and goes with its descriptor.
    if (CopyOutcome outcome = fill(in.fd.get(), in.status, out.get(), progress); outcome.end != CopyEnd::Done)
        return outcome;
    // The descriptor's own entry names the file; linking it refuses an existing target.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(out.get());
    if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, to.constData(), AT_SYMLINK_FOLLOW) != 0) {
        if (errno == EEXIST)
            return {CopyEnd::TargetExists, qt_error_string(EEXIST)};
        return failure(errno);
    }
    if (!out.close()) {
        const int error = errno;
        ::unlink(to.constData());
        return failure(error);
    }
    return {};
}

CopyOutcome copyLink(const QString& source, const QString& target)
{
    std::vector<char> text(256);
    for (;;) {
        const ssize_t length = ::readlink(QFile::encodeName(source).constData(), text.data(), text.size());
        if (length < 0)
            return failure(errno);
        if (size_t(length) < text.size()) {
            text[size_t(length)] = '\0';
            break;
        }
        text.resize(text.size() * 2);
    }
    if (::symlink(text.data(), QFile::encodeName(target).constData()) != 0)
        return failure(errno);
    return {};
}

CopyOutcome makeFolder(const QString& path)
{
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0)
        return failure(errno);
    return {};
}

RenameOutcome renameEntry(const QString& from, const QString& to, bool replace)
{
    const QByteArray oldName = QFile::encodeName(from);
    const QByteArray newName = QFile::encodeName(to);
    int result = 0;
    if (replace) {
        result = ::rename(oldName.constData(), newName.constData());
    } else {
        result = ::renameat2(AT_FDCWD, oldName.constData(), AT_FDCWD, newName.constData(), RENAME_NOREPLACE);
        // A file system without the flag: look first, which leaves a moment's race.
        if (result != 0 && notOffered(errno) && errno != EXDEV) {
            struct stat status {};
            if (::lstat(newName.constData(), &status) == 0)
                return {RenameEnd::TargetExists, qt_error_string(EEXIST)};
            result = ::rename(oldName.constData(), newName.constData());
        }
    }
    if (result == 0)
        return {};
    const int error = errno;
    if (error == EXDEV)
        return {RenameEnd::CrossDevice, qt_error_string(error)};
    if (error == EEXIST)
        return {RenameEnd::TargetExists, qt_error_string(error)};
    return {RenameEnd::Failed, qt_error_string(error)};
}

Entry entryAt(const QString& path)
{
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return {};
    if (S_ISREG(status.st_mode))
        return {EntryKind::File, qint64(status.st_size)};
    if (S_ISDIR(status.st_mode))
        return {EntryKind::Folder, 0};
    return {S_ISLNK(status.st_mode) ? EntryKind::Link : EntryKind::Other, 0};
}

bool sameFile(const QString& a, const QString& b)
{
    const QByteArray first = QFile::encodeName(a);
    const QByteArray second = QFile::encodeName(b);
    struct stat one {};
    struct stat two {};
    const auto same = [&] { return one.st_dev == two.st_dev && one.st_ino == two.st_ino; };
    if (::lstat(first.constData(), &one) == 0 && ::lstat(second.constData(), &two) == 0 && same())
        return true;
    return ::stat(first.constData(), &one) == 0 && ::stat(second.constData(), &two) == 0 && same();
}

bool onFileSystemOf(const QString& path, const QString& folder)
{
    struct stat item {};
    struct stat place {};
    return ::lstat(QFile::encodeName(path).constData(), &item) == 0 &&
           ::stat(QFile::encodeName(folder).constData(), &place) == 0 && item.st_dev == place.st_dev;
}

bool flushFileSystem(const QString& path)
{
    Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    return fd.valid() && ::syncfs(fd.get()) == 0;
}

} // namespace platform
