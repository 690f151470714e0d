#pragma once
// The command table and command routing. Every command has one numeric id; menus and toolbars
// are built from the table, and handlers are looked up by id along a chain of targets
// (view, then frame, then application), so a test can fire any command by its number.

#include <functional>
#include <initializer_list>

#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QString>

class QAction;
class QIcon;
class QMenu;
class QWidget;

namespace cmd {

enum Id : int {
    // The file list: view modes, options, columns, sort keys (menu 128 and the list's menus).
    kViewThumbnails = 32772,
    kViewLargeIcons = 32773,
    kViewSmallIcons = 32774,
    kViewList = 32775,
    kViewDetails = 32776,
    kShowNonImages = 32860,
    kShowHiddenFiles = 32861,
    kRefresh = 32862,
    kAutoRefresh = 32863,
    kColumnSize = 32864,
    kColumnType = 32865,
    kColumnDate = 32866,
    kColumnImageProperties = 32867,
    kColumnDescription = 32868,
    kSortByName = 32869,
    kSortByExtension = 32870,
    kSortBySize = 32871,
    kSortByType = 32872,
    kSortByDate = 32873,
    kSortByImageProperties = 32874,
    kSortByDescription = 32875,
    kSortForward = 32876,
    kSortReverse = 32877,
    // The file list's row and background menus.
    kListView = 32780,
    kListOpen = 32893,
    kListShellOpen = 32891,
    kListEditWith = 32808,
    kListCopy = 57634,
    kListCut = 57635,
    kListPaste = 57637,
    kListDelete = 32894,
    kListCopyTo = 32907,
    kListMoveTo = 32908,
    kListNewFolder = 32918,
    kListDescribe = 32888,
    kListProperties = 32889,
    kListExport = 32906,
    kListEraseForGood = 32941,
    kListEncryptDecrypt = 32942,
    kRename = 32813,
    kListPrintSetup = 32923,
    kPaste = 32834,
    kSelectAll = 32835,
    kSlideShow = 32828,
    kWallpaperCenter = 424,
    kWallpaperTile = 425,
    kWallpaperRestore = 426,
    kWallpaperStretch = 427,
    // What the list's menu entries are sent on as (browser view and frame).
    kCopy = 32811,
    kCut = 32810,
    kDelete = 32796,
    kCopyTo = 32798,
    kMoveTo = 32797,
    kNewFolder = 32795,
    kDescribe = 32793,
    kProperties = 32801,
    kSaveAs = 32857,
    kBrowser = 32829,
    kHelpKeyboard = 32841,
    kHelpContents = 32842,
    kWebPage = 32838,
    kUpdates = 32839,
    kSupport = 32840,
    kFileOpen = 57601,
    kFilePrintSetup = 57606,
    kFilePrint = 57607,
    kAppAbout = 57664,
    kAppExit = 57665,
    // The browser frame's own commands.
    kNewWindow = 32794,
    kOpen = 32925,
    kPreviewBar = 32777,
    kFoldersTree = 32778,
    kToolbar = 32886,
    kPathHistory = 32887,
    kStatusBar = 59393,
    kOptions = 32843,
    kChangeBackground = 32912,
    kFrameRefresh = 32914,
    kSendMail = 57612,
    kInfo = 32836,
    kFileAssociation = 32892,
    kFindImages = 32845,
    kCopyImage = 32833,
    kEncryptDecrypt = 32986,
    kEraseForGood = 32987,
    // The folder tree's context menu.
    kTreeOpen = 32929,
    kTreeRename = 32930,
    kTreeDelete = 32931,
    kTreeCopy = 32932,
    kTreePaste = 32933,
    kTreeCut = 32934,
    // The viewer: zoom and fit modes, moving between pictures, transforms, printing.
    kZoomIn = 32819,
    kZoomOut = 32820,
    kActualSize = 32822,
    kFitWindowToImage = 38881,
    kFitImageToWindow = 38882,
    kBestFit = 38883,
    kZoomLock = 38884,
    kZoomTo = 32939,
    kPreviousImage = 32817,
    kNextImage = 32818,
    kFirstImage = 32879,
    kLastImage = 32880,
    kRandomImage = 32881,
    kTurnAround = 32821,
    kMirror = 32824,
    kFlipVertical = 32825,
    kRotateRight = 32826,
    kRotateLeft = 32827,
    kSaveCropAs = 32920,
    kViewerRefresh = 32854,
    kFilePrintPreview = 57609,
    // The viewer frame: its bars and full screen, the file commands on the shown picture, and
    // what the view's menu relays to the frame (Open, Export and Exit; Save As is kSaveCropAs).
    kFullScreen = 32823,
    kViewerToolbar = 59392,
    kExport = 32937,
    kViewerCopyTo = 32895,
    kViewerMoveTo = 32896,
    kCutFile = 32897,
    kViewerCopyImage = 32898,
    kViewerDelete = 32899,
    kViewerRename = 32900,
    kViewerDescribe = 32901,
    kViewerPaste = 32902,
    kSelectNone = 32903,
    kMenuOpen = 32919,
    kMenuExit = 32921,
    kMenuExport = 32938,
    // Keys of the image view that no menu carries: Page Down and Page Up stop at the ends where
    // Next and Previous wrap, and the arrows push the picture by a tenth of its size.
    kNextImageNoWrap = 33101,
    kPreviousImageNoWrap = 33102,
    kPushLeft = 33103,
    kPushRight = 33104,
    kPushUp = 33105,
    kPushDown = 33106,
};

struct CommandInfo {
    int id;
    const char* menuText;  // with the & of the mnemonic
    QKeySequence::StandardKey standardKey;
    const char* shortcut;  // portable text ("A; B" for several), used when standardKey is UnknownKey
    const char* iconName;  // freedesktop icon name
    const char* toolTip;
    const char* prompt;    // shown in the status bar while the item is highlighted
};

// The entry of an id, or nullptr for an unknown id.
const CommandInfo* info(int id);
const QList<CommandInfo>& table();
// The icon of an id: the desktop's icon theme, else the widget style's; a null icon when neither
// has one or the id is unknown.
QIcon icon(int id);

// The icon theme that has every command's icon in one style, at menu and toolbar sizes; the
// program installs it with its dependencies.
inline constexpr char kIconTheme[] = "oxygen";
// Makes kIconTheme the fallback of the desktop's theme, and the theme itself where the platform
// names none. Call before the first icon is made.
void useIconTheme();

}  // namespace cmd

// One link of the routing chain: handlers by id, and the next target to ask.
class CCommandTarget {
public:
    explicit CCommandTarget(CCommandTarget* next = nullptr) : m_next(next) {}
    void setNext(CCommandTarget* next) { m_next = next; }

    // `enabled` may be empty (always enabled); `checked` may be empty (not checkable).
    void on(int id, std::function<void()> handler, std::function<bool()> enabled = {},
            std::function<bool()> checked = {});

    // True when a target of the chain has a handler for the id.
    bool handles(int id) const;
    bool isEnabled(int id) const;
    bool isCheckable(int id) const;
    bool isChecked(int id) const;
    // Runs the first handler of the chain; false when no target handles the id or it is disabled.
    bool execute(int id);

private:
    struct Handler {
        std::function<void()> run;
        std::function<bool()> enabled;
        std::function<bool()> checked;
    };
    const Handler* find(int id) const;

    QHash<int, Handler> m_handlers;
    CCommandTarget* m_next;
};

// The QActions of one window, made from the command table and wired to a routing chain.
// Their enabled and checked states are refreshed before a menu opens and on update().
class CCommandActions : public QObject {
    Q_OBJECT
public:
    CCommandActions(QWidget* window, CCommandTarget* target);

    QAction* action(int id);
    // Fills a menu with the ids given; 0 stands for a separator.
    void fill(QMenu* menu, std::initializer_list<int> ids);
    // Makes the ids one choice: their menu items show radio marks, one of them checked.
    void group(std::initializer_list<int> ids);
    void update();
    bool execute(int id);

private:
    QWidget* m_window;
    CCommandTarget* m_target;
    QHash<int, QAction*> m_actions;
};
