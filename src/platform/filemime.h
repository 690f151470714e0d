#pragma once
// Files as the desktop's file managers exchange them through the clipboard and by drag and drop:
// one QMimeData with the URL list (text/uri-list), the GNOME list whose first line says "copy"
// or "cut" (x-special/gnome-copied-files) and the KDE cut flag (application/x-kde-cutselection,
// "1" for a cut). Writing all three lets any of them paste what we copy; reading either flag lets
// us paste what they copy. Any thread (the data objects are plain values).

#include <utility>
#include <vector>

#include <QString>
#include <QStringList>

class QMimeData;

namespace filemime {

// What the files are offered for. None: a program that gave no effect, whose files are not pasted.
enum class DropEffect : int { None = 0, Copy = 1, Move = 2 };

// A new data object (the caller owns it) with the full paths `paths` and `effect`.
QMimeData* makeFileData(const QStringList& paths, DropEffect effect);
// The local files of `data` in order: from its URL list, else from the GNOME list. Empty for null.
QStringList filesOf(const QMimeData* data);
// The effect the data asks for: the GNOME first line, else the KDE flag; None without either.
DropEffect effectOf(const QMimeData* data);

// The folder holding `path`, ending with "/".
QString folderOf(const QString& path);
// `paths` grouped by the folder that holds them (ending with "/"), folders and names in the
// order given: one copy or move per source folder.
std::vector<std::pair<QString, QStringList>> byFolder(const QStringList& paths);

} // namespace filemime
