#pragma once
// The texts of the browser's status bar: the totals of the shown folder and, with a selection,
// four more panes about it. Made without widgets so that the frame and its tests share them.

#include <QString>
#include <QStringList>

namespace statustotals {

// "Total %d files (%u Bytes)" below 1024 bytes, "(%6.1f KB)" below 1048576, "(%6.1f MB)" above.
QString totalText(int fileCount, quint64 totalBytes);

// What the panes show about the selection; `selectedCount` counts the selected names.
struct Selection {
    bool any = false;          // a row is selected (the parent entry counts)
    int selectedCount = 0;
    QString firstName;         // the first selected row
    QString imageProperties;   // its Image Properties text
    QString summary;           // with one name: the list's information text of the file
    QString detail;            // with one name: the reader's detail of the file
};

// One text without a selection; otherwise five: totals, the selection or the file's summary,
// the first name (shown with its icon), its image properties, and the detail or else the image
// properties again.
QStringList paneTexts(int fileCount, quint64 totalBytes, const Selection& selection);

}  // namespace statustotals
