#pragma once
// Every section, value name, type and default that the program keeps in its settings store.
// Nothing else names a key: readers and writers take them from here, so a default changes in
// one place. Sections are QSettings groups, value names are keys.

#include <QLatin1StringView>
#include <QString>

namespace settingskeys {

// An integer value with its default.
struct IntValue {
    QLatin1StringView section;
    QLatin1StringView name;
    int defaultValue;
};

// A string value with its default.
struct StringValue {
    QLatin1StringView section;
    QLatin1StringView name;
    QLatin1StringView defaultValue;
};

// A run of string values named by a prefix and an index counted from 0 ("LUF0", "LUF1", ...).
struct IndexedStringValue {
    QLatin1StringView section;
    QLatin1StringView prefix;
    int count; // indexes 0 .. count - 1 exist in the layout
    QLatin1StringView defaultValue;

    QString name(int index) const { return QString(prefix) + QString::number(index); }
};

// Sections.
inline constexpr QLatin1StringView kSettings{"Settings"};
inline constexpr QLatin1StringView kBrowser{"Browser"};
inline constexpr QLatin1StringView kSlideShow{"SlideShow"};
inline constexpr QLatin1StringView kViewer{"Viewer"};
inline constexpr QLatin1StringView kFrame{"Frame"};
inline constexpr QLatin1StringView kHistory{"History"};
inline constexpr QLatin1StringView kBarState{"BarState"};
inline constexpr QLatin1StringView kToolBarState{"ToolBarState"};

// "Settings": the program file (string, no default), and the browser's state at the last close.
inline constexpr QLatin1StringView kAppPath{"AppPath"};
// String; its default is defaultLastFolder().
inline constexpr QLatin1StringView kLastFolder{"LastFolder"};
// 0 Thumbnails, 1 Large Icons, 2 Small Icons, 3 List, 4 Details.
inline constexpr IntValue kListViewMode{kSettings, QLatin1StringView("ListViewMode"), 4};
inline constexpr IntValue kSortedCol{kSettings, QLatin1StringView("SortedCol"), 0};
inline constexpr IntValue kAscending{kSettings, QLatin1StringView("Ascending"), 0};
// Copy/move destinations, most recent first: indexes 0..15 are written, 0..14 read.
inline constexpr IndexedStringValue kDestinationHistory{kSettings, QLatin1StringView("LUF"), 16, QLatin1StringView("")};
inline constexpr int kDestinationHistoryReadCount = 15;

// "SlideShow". Timer is the delay in milliseconds as decimal text; on reading, its default is
// the record's current text, which starts as the default given here.
inline constexpr StringValue kTimer{kSlideShow, QLatin1StringView("Timer"), QLatin1StringView("1000")};
inline constexpr IntValue kSelect{kSlideShow, QLatin1StringView("Select"), 0}; // 0 forward, 1 reverse, 2 random
inline constexpr IntValue kAround{kSlideShow, QLatin1StringView("Around"), 1};

// "Browser": the options of the file list and the preview bar (0/1, any non-zero is set).
inline constexpr IntValue kDontScanHeaders{kBrowser, QLatin1StringView("DontScanHeaders"), 1};
inline constexpr IntValue kDoubleClick{kBrowser, QLatin1StringView("DoubleClick"), 1};
inline constexpr IntValue kFullRow{kBrowser, QLatin1StringView("FullRow"), 1};
inline constexpr IntValue kGridLines{kBrowser, QLatin1StringView("GridLines"), 1};
inline constexpr IntValue kHidePreview{kBrowser, QLatin1StringView("HidePreview"), 0};
inline constexpr IntValue kShowVideo{kBrowser, QLatin1StringView("ShowVideo"), 1};
inline constexpr IntValue kSingleClick{kBrowser, QLatin1StringView("SingleClick"), 1};
inline constexpr IntValue kSavePosition{kBrowser, QLatin1StringView("SavePosition"), 1};
inline constexpr IntValue kShowHidden{kBrowser, QLatin1StringView("ShowHidden"), 0};
inline constexpr IntValue kShowNonImages{kBrowser, QLatin1StringView("ShowNonImages"), 1};
inline constexpr IntValue kAutoRefresh{kBrowser, QLatin1StringView("AutoRefresh"), 1};
// Our own: the file list reads and writes the desktop's shared thumbnail cache.
inline constexpr IntValue kKeepThumbnails{kBrowser, QLatin1StringView("KeepThumbnails"), 1};
// File-list columns Name, Size, Type, Date, Image Properties, Description as "width,shown".
inline constexpr IndexedStringValue kColumns{kBrowser, QLatin1StringView("Column_"), 6, QLatin1StringView("0,0")};

// "Viewer": 0 fit window to image, 1 fit image to window, 2 best fit, 3 zoom lock.
inline constexpr IntValue kViewMode{kViewer, QLatin1StringView("ViewMode"), 0};

// "Frame": the main window's normal rectangle in global coordinates; -1 means not stored.
inline constexpr IntValue kFrameTop{kFrame, QLatin1StringView("Top"), -1};
inline constexpr IntValue kFrameLeft{kFrame, QLatin1StringView("Left"), -1};
inline constexpr IntValue kFrameBottom{kFrame, QLatin1StringView("Bottom"), -1};
inline constexpr IntValue kFrameRight{kFrame, QLatin1StringView("Right"), -1};
inline constexpr IntValue kFrameMaximized{kFrame, QLatin1StringView("Maximized"), 0};

// "History": the address box's drop-down list.
inline constexpr IndexedStringValue kAddressHistory{kHistory, QLatin1StringView("URL"), 260, QLatin1StringView("")};

// "BarState": the dock layout of the main frame, QMainWindow::saveState() bytes (binary, no default).
inline constexpr QLatin1StringView kDockState{"State"};

// The sizing bars keep six sizes each in "BarState-SCBar-<control id>"; the default of each is
// the bar's current size.
inline constexpr int kPreviewBarId = 59425;     // "Preview"
inline constexpr int kFoldersTreeBarId = 59426; // "Folders tree"
inline QString sizingBarSection(int barId)
{
    return QString(kBarState) + QLatin1StringView("-SCBar-") + QString::number(barId);
}
inline constexpr QLatin1StringView kSizeHorzCX{"sizeHorzCX"};
inline constexpr QLatin1StringView kSizeHorzCY{"sizeHorzCY"};
inline constexpr QLatin1StringView kSizeVertCX{"sizeVertCX"};
inline constexpr QLatin1StringView kSizeVertCY{"sizeVertCY"};
inline constexpr QLatin1StringView kSizeFloatCX{"sizeFloatCX"};
inline constexpr QLatin1StringView kSizeFloatCY{"sizeFloatCY"};

// "ToolBarState": each frame's toolbar arrangement (binary, no default).
inline constexpr QLatin1StringView kBrowserToolBar{"Browser"};
inline constexpr QLatin1StringView kViewerToolBar{"Viewer"};

// "Viewer": the desktop's wallpaper before the program first changed it, as the platform's
// wallpaper backend reads it (string, empty when nothing is remembered); Restore puts it back.
inline constexpr StringValue kSavedWallpaper{kViewer, QLatin1StringView("SavedWallpaper"), QLatin1StringView("")};

// Folder values (LastFolder) are kept as the program keeps every folder path: ending with exactly
// one "/". An empty path stays empty.
QString folderPath(const QString& path);

// LastFolder's default: the user's Pictures folder when it exists, else the home folder.
QString defaultLastFolder();

} // namespace settingskeys
