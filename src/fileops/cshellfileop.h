#pragma once
// CShellFileOp: the file operation engine. For now it renames one file or folder in place.
// UI thread (it may release and reload the program's current image).

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
};
