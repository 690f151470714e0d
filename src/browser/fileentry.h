#pragma once
// Reading one entry of the shown folder from the disk: the record the add-file operation makes,
// the scan of one row, the summary of a file and the image library's verdict on it. The file
// list runs these on the executor, never on the UI thread; any thread, no shared state.

#include <optional>

#include <QString>

#include "browser/fileitem.h"
#include "browser/folderworkers.h"

namespace fileentry {

// The record of the entry `name` of `folder` (ending with "/"): name, is-folder, size (shown
// compact) and extension key, last-write time, the image flag by CFileInfo::IsImageByExtension
// (as every row of the list), and for a picture the quick header reader's image properties. An
// entry that got no properties so is scanned as the header scan would (the description).
// Nothing when the entry is missing. The id is the model's.
std::optional<FileItem> readRecord(const QString& folder, const QString& name);

// A row scanned again at once (the header scan is off, or the row was added): its size and time
// as they are now, and what the header scan would find.
struct RowScan {
    HeaderScanResult header;
    bool exists = false;
    quint64 size = 0;
    qint64 modified = 0;
};
RowScan scanRow(const QString& folder, const QString& name, quint64 id, bool isFolder);

// "12KB, " (when the size is not 0) + " dd.MM.yyyy HH:mm" of the file's last-write time in UTC,
// and the file information reader's detail; nothing when the file is missing.
struct Summary {
    QString text;
    QString detail;
};
std::optional<Summary> summary(const QString& path);

// Whether the image library reads the file, by its content.
bool libraryReads(const QString& path);

} // namespace fileentry
