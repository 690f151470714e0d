#pragma once
// The desktop's trash: an item moved there can be restored by any file manager. On Linux the
// freedesktop Trash: the home trash ($XDG_DATA_HOME/Trash) for items on its file system,
// $topdir/.Trash/$uid or $topdir/.Trash-$uid for items on other mounts. Any thread.

#include <QString>

namespace platform {

struct TrashOutcome {
    QString trashedPath; // where the item lies now; empty when it was not moved
    QString error;       // why not, e.g. "Permission denied"
};

// Moves the file, link or folder `path` into the trash of its own file system, with the record
// of where it came from. Never copies: an item whose file system has no usable trash stays where
// it is, with the reason.
TrashOutcome moveToTrash(const QString& path);

} // namespace platform
