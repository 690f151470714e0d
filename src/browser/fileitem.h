#pragma once
// FileItem: the record of one row of the file list, and the texts and orders made from it.
// Records are plain values owned by the list model on the UI thread; workers make new records
// or send results keyed by `id`, never touch the model's.

#include <optional>

#include <QDateTime>
#include <QString>

#include "fileops/cfileinfo.h"

struct FileItem {
    // Unique within one list for the run: results of workers find their row by it, whatever
    // sorting or removals happened meanwhile.
    quint64 id = 0;
    QString name;                // ".." for the parent entry
    QString typeText;            // "Parent folder", "File folder", then the shell's type name
    std::optional<QString> imageProperties;  // "%dx%dx%s %s", once the header was read
    std::optional<QString> description;
    std::optional<QString> dateOverride;     // a date text set through the set-entry-field code 3
    QString ownIcon;             // the icon a folder or desktop entry names for itself (CShellList)
    quint64 size = 0;            // bytes; 0 for folders
    qint64 modified = 0;         // last-write time, milliseconds since the epoch (UTC); 0 none
    bool isFolder = false;       // folders and the parent entry
    bool isParent = false;
    bool compactSizeText = false;  // rows made by the add-file operation show "12Kb", not "12 Kb"
    bool seen = true;
    bool cut = false;            // marked by Cut until the next paste or folder change
    int imageFlag = 0;
    int iconIndex = -1;          // index in the list's CShellList image list; -1 until asked
    int thumbnailIndex = -1;     // index in the list's thumbnail store; -1 while none
    bool thumbnailFailed = false; // its picture could not be loaded for a thumbnail
    // Added to a list in thumbnails mode (a refresh, the add-file operation): the row leaves the
    // list again when its picture cannot be loaded for the thumbnail.
    bool dropWithoutThumbnail = false;
};

namespace fileitem {

// Sort keys, in the numbering the settings store and the menus use.
enum SortKey : int {
    kByName = 0,
    kBySize = 1,
    kByType = 2,
    kByDate = 3,
    kByImageProperties = 4,
    kByDescription = 5,
    kByExtension = 6,
};

// "1023 b", "1 Kb", "1023 Kb", "1 Mb", "1 Gb" (integer division); compact: "1023b", "1Kb" ...
// Sizes are 64-bit: a 5 GB file shows "5 Gb".
QString sizeText(quint64 size, bool compact = false);
// The Date column's text of a last-write time: local time as "MM/dd/yy HH:mm:ss"; empty for 0.
QString dateText(qint64 modifiedMsecs);
// The Size and Date texts of a record as the list shows them (folders: no size text; the parent
// entry: no date text).
QString sizeTextOf(const FileItem& item);
QString dateTextOf(const FileItem& item);
// The Image Properties text of what a header reader found: "%dx%dx%s %s" of width, height,
// colour text and format name.
QString propertiesText(const CFileInfo::Info& info);
// The "by Extension" key of a name: from the last "." (dot included); the whole name without one.
QStringView extensionKey(QStringView name);
// A row's key: its name's, empty for folders (they keep their name order). Made when compared,
// not kept: a million rows would hold a million copies of a few extensions.
QStringView extensionKeyOf(const FileItem& item);

// Names the list hides while "Show Hidden Files" is off: a leading "." (the platform's hidden
// mark) and the folder's description file, which the descriptions keep to themselves.
bool isHiddenName(const QString& name);

// The list's two admission options.
struct Admission {
    bool showHidden = true;
    bool showNonImages = true;
};
// Whether an entry becomes a row: a hidden entry only while hidden ones are shown; then every
// folder; a file while non-images are shown, else only when it passed the image test of the
// operation that reads it (`passesImageTest`). "." and ".." are the caller's business.
bool admits(const QString& name, bool isFolder, bool passesImageTest, const Admission& admission);

// The strict comes-before test of the list's sorts for one key and direction. Folders and the
// parent entry are ordered by the caller (they never mix with files). Dates compare by time.
bool comesBefore(const FileItem& a, const FileItem& b, int key, bool ascending);

}  // namespace fileitem
