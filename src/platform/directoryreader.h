#pragma once
// Reading the entries of one folder as fast as the system allows: on Linux opendir/readdir with
// one fstatat per entry on the open folder, elsewhere QDirIterator. Any thread; no shared state.

#include <atomic>
#include <functional>

#include <QString>

namespace platform {

struct DirectoryEntry {
    QString name;          // decoded with Qt's file-name codec
    quint64 size = 0;      // bytes; 0 for folders
    qint64 modified = 0;   // last-write time, milliseconds since the epoch (UTC)
    bool isFolder = false; // a link to a folder counts as a folder, as a file manager shows it
    bool isHidden = false; // the name begins with "."
};

// Lends threads to a call: runs `job` on the calling thread and on up to `helpers` more at once
// and returns once every call that began has returned (the executor's fanOut).
using FanOut = std::function<void(int helpers, const std::function<void()>& job)>;

enum class DirectoryResult {
    Done,    // every entry was visited
    Stopped, // the stop flag was seen; entries visited before it (if any) are all there is
    Failed,  // the folder could not be opened
};

// Calls `visit` for every entry of `folder` except "." and "..", in the order the file system
// gives them, always on the calling thread (a big folder's entries may be stat'ed on the threads
// `fanOut` lends first; without it the calling thread does all). `stop` (may be null) is read
// before every entry. An entry that vanishes between its listing and its stat is skipped; a
// dangling link is listed as a file of size 0. A folder that fails to read half-way fails as a
// whole.
DirectoryResult readDirectory(const QString& folder, const std::atomic<bool>* stop,
                              const std::function<void(DirectoryEntry&&)>& visit, const FanOut& fanOut = {});

// What a walk by name needs to know of an entry without a stat of its own.
enum class NameKind {
    File,   // a regular file, or a link to one
    Folder, // a real folder; a link to a folder is Other, so that a walk never loops
    Other,  // anything else (devices, sockets, dangling links, links to folders)
};

// One entry of listNames, valid during the visit only.
class ListedName {
public:
    QString name;
    NameKind kind = NameKind::Other;
    // Size in bytes and last-write time (milliseconds since the epoch) of the entry, following
    // links, asked of the folder being listed; false when it cannot be stat'ed (it vanished).
    bool sizeAndTime(quint64& size, qint64& modified) const;

private:
    friend DirectoryResult listNames(const QString&, const std::atomic<bool>*,
                                     const std::function<void(const ListedName&)>&);
    int m_folderFd = -1;              // the open folder, where the system has one
    const char* m_rawName = nullptr;  // the name as the folder holds it
    QString m_path;                   // the full path, elsewhere
};

// Calls `visit` for every entry of `folder` except "." and "..", in the order the file system
// gives them, with its kind as the listing tells it; only entries the listing leaves open (links,
// file systems without types) are stat'ed, and those whose size the visitor asks for. `stop`
// (may be null) is read before every entry.
DirectoryResult listNames(const QString& folder, const std::atomic<bool>* stop,
                          const std::function<void(const ListedName&)>& visit);

} // namespace platform
