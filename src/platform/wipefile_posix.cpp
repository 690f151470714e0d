#include "platform/wipefile.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Extents whose data a write through the file does not replace where it lies.
constexpr quint32 kRelocatingExtent = FIEMAP_EXTENT_ENCODED | FIEMAP_EXTENT_DATA_INLINE | FIEMAP_EXTENT_DATA_TAIL |
                                      FIEMAP_EXTENT_NOT_ALIGNED | FIEMAP_EXTENT_SHARED;
constexpr quint32 kExtentsPerCall = 64;

// A file system that cannot make a file without a name says so with one of these.
bool unnamedNotOffered(int error)
{
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL || error == ENOENT;
}

// Whether any extent of the open file `fd` carries one of the relocating flags. A file system
// that cannot map its files (tmpfs, network file systems) answers false: nothing more is known.
bool hasRelocatingExtent(int fd)
{
    std::vector<char> buffer(sizeof(fiemap) + kExtentsPerCall * sizeof(fiemap_extent));
    auto* map = reinterpret_cast<fiemap*>(buffer.data());
    quint64 start = 0;
    for (;;) {
        *map = fiemap{};
        map->fm_start = start;
        map->fm_length = FIEMAP_MAX_OFFSET - start;
        // Data still in memory has no place yet: it is written first, so that its extents count.
        map->fm_flags = FIEMAP_FLAG_SYNC;
        map->fm_extent_count = kExtentsPerCall;
        if (::ioctl(fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0)
            return false;
        for (quint32 i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent& extent = map->fm_extents[i];
            if (extent.fe_flags & kRelocatingExtent)
                return true;
            if (extent.fe_flags & FIEMAP_EXTENT_LAST)
                return false;
            start = extent.fe_logical + extent.fe_length;
        }
    }
}

} // namespace

WipeFile::~WipeFile()
{
    close();
}

WipeFile::WipeFile(WipeFile&& other) noexcept : m_fd(other.m_fd), m_error(std::move(other.m_error))
{
    other.m_fd = -1;
}

WipeFile& WipeFile::operator=(WipeFile&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_error = std::move(other.m_error);
        other.m_fd = -1;
    }
    return *this;
}

WipeFile WipeFile::openExisting(const QString& path)
{
    WipeFile file;
    file.m_fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_DSYNC | O_NOFOLLOW | O_CLOEXEC);
    struct stat status {};
    if (file.m_fd < 0 || ::fstat(file.m_fd, &status) != 0) {
        file.m_error = qt_error_string(errno);
        file.close();
    } else if (!S_ISREG(status.st_mode)) {
        file.m_error = qt_error_string(EINVAL);
        file.close();
    }
    return file;
}

WipeFile WipeFile::createUnnamed(const QString& folder)
{
    WipeFile file;
    const QByteArray name = QFile::encodeName(folder);
    file.m_fd = ::open(name.constData(), O_TMPFILE | O_WRONLY | O_DSYNC | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (file.m_fd < 0 && unnamedNotOffered(errno)) {
        // The name is taken away at once: from then on it is a file without a name all the same.
        QByteArray pattern = name + (name.endsWith('/') ? "" : "/") + ".pixoria-fill-XXXXXX";
        file.m_fd = ::mkostemp(pattern.data(), O_DSYNC | O_CLOEXEC);
        if (file.m_fd >= 0)
            ::unlink(pattern.constData());
    }
    if (file.m_fd < 0)
        file.m_error = qt_error_string(errno);
    return file;
}

bool WipeFile::writeAt(qint64 offset, const char* data, qint64 bytes)
{
    while (bytes > 0) {
        const ssize_t written = ::pwrite(m_fd, data, size_t(bytes), offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_error = qt_error_string(written < 0 ? errno : ENOSPC);
            return false;
        }
        data += written;
        offset += written;
        bytes -= written;
    }
    return true;
}

DataLayout WipeFile::layout() const
{
    struct stat status {};
    DataLayout layout;
    if (::fstat(m_fd, &status) == 0)
        layout.sparse = qint64(status.st_blocks) * 512 < qint64(status.st_size);
    layout.relocates = hasRelocatingExtent(m_fd);
    return layout;
}

void WipeFile::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace platform
