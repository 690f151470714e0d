#pragma once
// The file-system calls of copying and moving, done the fastest safe way the system offers: file
// contents through copy_file_range (a reflink where the file system shares blocks), links copied
// as links, renames that can refuse to replace. Any thread; no shared state. This is the POSIX
// implementation (filecopy_posix.cpp); a Windows build supplies its own behind this header.

#include <functional>

#include <QString>

namespace platform {

// TargetExists and NotOffered come from copyNewFile only.
enum class CopyEnd { Done, Cancelled, Failed, TargetExists, NotOffered };

struct CopyOutcome {
    CopyEnd end = CopyEnd::Done;
    QString error; // the system's reason when Failed, e.g. "No space left on device"
};

// Called after every piece of a file's contents with the bytes it moved; false cancels the copy.
using CopyProgress = std::function<bool(qint64 bytes)>;

// Copies the regular file `source` (a link is refused, never followed) to `target`, which it
// creates and which must not exist, with the source's permission bits and last-write time. A copy
// that fails or is cancelled removes what it wrote: no part of a target is ever left.
CopyOutcome copyFile(const QString& source, const QString& target, const CopyProgress& progress);
// Copies like copyFile to a `target` that appears only once whole and never replaces anything: the
// contents go to a file without a name in the target's folder, linked in as `target` at the end,
// which saves the rename of a temporary name. TargetExists when something took the name meanwhile;
// NotOffered, with nothing written, where the system cannot make or link in a file without a name.
CopyOutcome copyNewFile(const QString& source, const QString& target, const CopyProgress& progress);
// Makes `target` (which must not exist) a symbolic link with the text of the link `source`.
CopyOutcome copyLink(const QString& source, const QString& target);

// Makes the folder `path`, which must not exist.
CopyOutcome makeFolder(const QString& path);

enum class RenameEnd { Done, TargetExists, CrossDevice, Failed };

struct RenameOutcome {
    RenameEnd end = RenameEnd::Done;
    QString error;
};

// Renames `from` to `to` on one file system. With `replace` an existing file at `to` is replaced
// in one step; without it an existing `to` is left alone and TargetExists comes back. Never copies:
// two file systems give CrossDevice.
RenameOutcome renameEntry(const QString& from, const QString& to, bool replace);

// What a path names, the path not followed when it is a link. One call to the system: a transfer
// asks it of every item and every target, so it must cost no more than that.
enum class EntryKind { None, File, Folder, Link, Other };

struct Entry {
    EntryKind kind = EntryKind::None; // None also when it cannot be looked at
    qint64 size = 0;                  // bytes of a file
};

Entry entryAt(const QString& path);

// True when both paths name one file: the same entry, or one a link to the other, or hard links.
bool sameFile(const QString& a, const QString& b);
// True when `path` (not followed when a link) lies on the file system of the folder `folder`.
bool onFileSystemOf(const QString& path, const QString& folder);
// Writes what the file system holding `path` keeps in memory to its disk; false on an I/O error.
bool flushFileSystem(const QString& path);

} // namespace platform
