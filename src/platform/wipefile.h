#pragma once
// The file-system calls of erasing a file beyond recovery: a file opened so that every write
// reaches the disk before the call returns (writing one pattern over another in the page cache
// would only ever put the last one on the disk), and how the file system stores the file's data,
// which decides whether writing through the file reaches the blocks that held it. Any thread; no
// shared state. This is the POSIX implementation (wipefile_posix.cpp); a Windows build supplies
// its own behind this header.

#include <QString>

namespace platform {

// How a file's data lies on its disk, as far as the system tells.
struct DataLayout {
    // Writing through the file may land in new blocks and leave the old ones as they were: the
    // data is compressed or otherwise encoded, shares blocks with another file or a snapshot, or
    // lives inside the file system's own records.
    bool relocates = false;
    // Fewer blocks are allocated than the size needs: what once filled the holes went back to
    // the free space.
    bool sparse = false;
};

class WipeFile {
public:
    WipeFile() = default;
    ~WipeFile();
    WipeFile(WipeFile&& other) noexcept;
    WipeFile& operator=(WipeFile&& other) noexcept;
    WipeFile(const WipeFile&) = delete;
    WipeFile& operator=(const WipeFile&) = delete;

    // Opens the existing regular file `path` (a link is refused, never followed) for writing
    // through, without truncating it. On failure the result is not open and error() says why.
    static WipeFile openExisting(const QString& path);
    // Makes a file without a name in `folder`, writing through: nothing can open it, and its
    // blocks go back to the free space when it is closed or the process ends, killed or not.
    static WipeFile createUnnamed(const QString& folder);

    bool isOpen() const { return m_fd >= 0; }
    // The system's reason for the last failure, e.g. "Permission denied".
    const QString& error() const { return m_error; }

    // Writes `bytes` bytes of `data` at `offset`; true once all of them are on the disk. A full
    // disk or any other failure gives false (some of the bytes may have been written).
    bool writeAt(qint64 offset, const char* data, qint64 bytes);
    DataLayout layout() const;
    // Closes the file; the destructor does it otherwise.
    void close();

private:
    int m_fd = -1;
    QString m_error;
};

} // namespace platform
