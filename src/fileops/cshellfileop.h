#pragma once
// CShellFileOp: the file operation engine: it renames one file or folder in place and makes new
// folders. UI thread (it may release and reload the program's current image).

#include <optional>

#include <QString>

class CBmpEx;

class CShellFileOp {
public:
    // Renames the file or folder `oldPath` to `newName` in the same folder. Refuses an empty
    // name, ".", "..", a name with "/", and a name taken by another entry: nothing is ever
    // overwritten. A rename that changes only the letter case works on case-insensitive file
    // systems too. When `currentImage` holds `oldPath`, it is released first and afterwards
    // loaded again from the new path, or from the old one when the rename failed. On failure
    // `*error` (when given) gets a sentence for the user.
    static bool RenameItem(const QString& oldPath, const QString& newName, CBmpEx* currentImage = nullptr,
                           QString* error = nullptr);

    // A folder made by CreateFolder: its plain name and its time of birth (or, where the file
    // system keeps none, of its last write), milliseconds since the epoch.
    struct MadeFolder {
        QString name;
        qint64 born = 0;
    };
    // Makes the folder `base` in `folder` (ending with "/"), or "base(1)", "base(2)" ... while the
    // name is taken; nothing for an empty base, one with "/", or any failure other than a taken
    // name.
    static std::optional<MadeFolder> CreateFolder(const QString& folder, const QString& base);
};
