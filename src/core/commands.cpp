#include "core/commands.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QStandardPaths>
#include <QStyle>
#include <QWidget>

namespace cmd {

const QList<CommandInfo>& table()
{
    using K = QKeySequence;
    static const QList<CommandInfo> commands = {
        {kBrowser, "&Browser", K::UnknownKey, "Return; Enter; Esc", "system-file-manager", "Browse",
         "Return to the file browser"},
        {kHelpKeyboard, "&Keyboard", K::UnknownKey, "", "input-keyboard", "Keyboard",
         "Show the keys of the program"},
        {kHelpContents, "&Contents", K::HelpContents, "", "help-contents", "Contents",
         "Show the help contents"},
        {kFileOpen, "&Open...", K::UnknownKey, "Ins", "document-open", "Open",
         "Open a picture"},
        {kFilePrintSetup, "P&rint Setup...", K::UnknownKey, "", "preferences-devices-printer", "Print Setup",
         "Change the printer and printing options"},
        {kFilePrint, "&Print...", K::Print, "", "document-print", "Print", "Print the picture"},
        {kListPrintSetup, "P&rint Setup...", K::UnknownKey, "", "preferences-devices-printer", "Print Setup",
         "Show the picture and change the printer and printing options"},
        {kAppAbout, "&About", K::UnknownKey, "", "help-about", "About",
         "Show the program's name and version"},
        {kAppExit, "E&xit", K::UnknownKey, "Alt+F4", "application-exit", "Exit",
         "Quit the program"},
        {kViewThumbnails, "T&humbnails", K::UnknownKey, "", "view-preview", "Thumbnails",
         "Show a thumbnail of every picture"},
        {kViewLargeIcons, "Lar&ge Icons", K::UnknownKey, "", "view-list-icons", "Large Icons",
         "Show the entries with large icons"},
        {kViewSmallIcons, "S&mall Icons", K::UnknownKey, "", "view-grid", "Small Icons",
         "Show the entries with small icons"},
        {kViewList, "&List", K::UnknownKey, "", "view-list-text", "List", "Show the entries in a list"},
        {kViewDetails, "&Details", K::UnknownKey, "", "view-list-details", "Details View",
         "Show the details of every entry"},
        {kShowNonImages, "Show &Non-images", K::UnknownKey, "", "", "Show Non-images",
         "Show the files that are not pictures"},
        {kShowHiddenFiles, "Show H&idden Files", K::UnknownKey, "", "", "Show Hidden Files",
         "Show hidden files and folders"},
        {kRefresh, "&Refresh", K::UnknownKey, "F5", "view-refresh", "Refresh",
         "Read the folder again"},
        {kAutoRefresh, "&Auto Refresh", K::UnknownKey, "", "", "Auto Refresh",
         "Follow the changes made to the folder by other programs"},
        {kColumnSize, "&Size", K::UnknownKey, "", "", "Size", "Show or hide the Size column"},
        {kColumnType, "&Type", K::UnknownKey, "", "", "Type", "Show or hide the Type column"},
        {kColumnDate, "&Date", K::UnknownKey, "", "", "Date", "Show or hide the Date column"},
        {kColumnImageProperties, "&Image Properties", K::UnknownKey, "", "", "Image Properties",
         "Show or hide the Image Properties column"},
        {kColumnDescription, "D&escription", K::UnknownKey, "", "", "Description",
         "Show or hide the Description column"},
        {kSortByName, "by &Name", K::UnknownKey, "", "", "by Name", "Sort the entries by name"},
        {kSortByExtension, "by E&xtension", K::UnknownKey, "", "", "by Extension",
         "Sort the entries by extension"},
        {kSortBySize, "by &Size", K::UnknownKey, "", "", "by Size", "Sort the entries by size"},
        {kSortByType, "by &Type", K::UnknownKey, "", "", "by Type", "Sort the entries by type"},
        {kSortByDate, "by &Date", K::UnknownKey, "", "", "by Date", "Sort the entries by date"},
        {kSortByImageProperties, "by &Image Properties", K::UnknownKey, "", "", "by Image Properties",
         "Sort the entries by image properties"},
        {kSortByDescription, "by D&escription", K::UnknownKey, "", "", "by Description",
         "Sort the entries by description"},
        {kSortForward, "&Forward", K::UnknownKey, "", "", "Forward", "Sort in rising order"},
        {kSortReverse, "&Reverse", K::UnknownKey, "", "", "Reverse",
         "Sort in falling order"},
        {kListView, "&View", K::UnknownKey, "", "document-open", "View", "Open the entry"},
        {kListOpen, "&Open", K::UnknownKey, "", "document-open", "Open", "Open the entry"},
        {kListShellOpen, "Open with Associated &Program", K::UnknownKey, "", "system-run", "Shell Open",
         "Open the file with the program associated with its type"},
        {kListEditWith, "&Edit with...", K::UnknownKey, "", "applications-graphics", "Edit with",
         "Open the file with a program of your choice"},
        {kListCopy, "&Copy", K::UnknownKey, "", "edit-copy", "Copy", "Copy the selection to the clipboard"},
        {kListCut, "Cu&t", K::UnknownKey, "", "edit-cut", "Cut", "Cut the selection to the clipboard"},
        {kListPaste, "&Paste", K::UnknownKey, "", "edit-paste", "Paste", "Paste the files of the clipboard"},
        {kListDelete, "&Delete", K::UnknownKey, "", "edit-delete", "Delete", "Delete the selection"},
        {kListCopyTo, "Copy T&o...", K::UnknownKey, "", "document-multiple", "Copy To", "Copy the selection to a folder"},
        {kListMoveTo, "Mo&ve To...", K::UnknownKey, "", "go-jump", "Move To", "Move the selection to a folder"},
        {kListNewFolder, "&New Folder", K::UnknownKey, "", "folder-new", "New Folder",
         "Make a new folder here"},
        {kListDescribe, "Descri&be", K::UnknownKey, "", "document-edit", "Describe", "Edit the description of the file"},
        {kListProperties, "P&roperties", K::UnknownKey, "", "document-properties", "Properties",
         "Show the properties of the file"},
        {kListExport, "E&xport...", K::UnknownKey, "", "document-save-as", "Export",
         "Save the picture in another format"},
        {kListEraseForGood, "Erase for &Good", K::UnknownKey, "", "edit-delete-shred", "Erase for good",
         "Erase the selection beyond recovery"},
        {kListEncryptDecrypt, "Encr&ypt/Decrypt", K::UnknownKey, "", "document-encrypt", "Encrypt/Decrypt",
         "Encrypt or decrypt the selection"},
        {kRename, "Rena&me", K::UnknownKey, "F2", "edit-rename", "Rename", "Rename the entry"},
        {kPaste, "&Paste", K::UnknownKey, "", "edit-paste", "Paste", "Paste the files of the clipboard"},
        {kSelectAll, "Select &All", K::SelectAll, "", "edit-select-all", "Select All", "Select every entry"},
        {kSlideShow, "&Slide Show", K::UnknownKey, "", "media-playback-start", "Slide Show",
         "Show the pictures one after the other"},
        {kWallpaperCenter, "&Centered", K::UnknownKey, "", "preferences-desktop-wallpaper", "Wallpaper, centred",
         "Set the picture as the desktop wallpaper, centred"},
        {kWallpaperTile, "&Tiled", K::UnknownKey, "", "preferences-desktop-wallpaper", "Wallpaper, tiled",
         "Set the picture as the desktop wallpaper, tiled"},
        {kWallpaperRestore, "&Restore", K::UnknownKey, "", "document-revert", "Restore wallpaper",
         "Put back the wallpaper of the desktop settings"},
        {kWallpaperStretch, "&Stretched", K::UnknownKey, "", "preferences-desktop-wallpaper", "Wallpaper, stretched",
         "Set the picture as the desktop wallpaper, stretched"},
        {kCopy, "&Copy", K::UnknownKey, "", "edit-copy", "Copy Image", "Copy the selection to the clipboard"},
        {kCut, "Cu&t", K::UnknownKey, "", "edit-cut", "Cut", "Cut the selection to the clipboard"},
        {kDelete, "&Delete", K::UnknownKey, "", "edit-delete", "Delete File", "Delete the selection"},
        {kCopyTo, "Copy T&o...", K::UnknownKey, "", "document-multiple", "Copy to...", "Copy the selection to a folder"},
        {kMoveTo, "Mo&ve To...", K::UnknownKey, "", "go-jump", "Move to...", "Move the selection to a folder"},
        {kNewFolder, "&New Folder", K::UnknownKey, "", "folder-new", "New Folder", "Make a new folder here"},
        {kDescribe, "Descri&be...", K::UnknownKey, "", "document-edit", "Describe",
         "Edit the description of the file"},
        {kProperties, "P&roperties", K::UnknownKey, "", "document-properties", "Properties",
         "Show the properties of the file"},
        {kSaveAs, "Save &As...", K::UnknownKey, "", "document-save-as", "Save As",
         "Save the picture under another name or format"},
        {kNewWindow, "New &Window", K::UnknownKey, "Ctrl+N", "window-new", "New window",
         "Start another browser window"},
        {kOpen, "&Open", K::UnknownKey, "", "document-open", "Open", "Open the entry"},
        {kPreviewBar, "&Preview Bar", K::UnknownKey, "Ctrl+Shift+P", "", "Preview Bar",
         "Show or hide the preview bar"},
        {kFoldersTree, "Fol&ders Tree", K::UnknownKey, "Ctrl+Shift+D", "", "Folders Tree",
         "Show or hide the folders tree"},
        {kToolbar, "&Toolbar", K::UnknownKey, "Ctrl+Shift+T", "", "Toolbar", "Show or hide the toolbar"},
        {kPathHistory, "Path &History", K::UnknownKey, "Ctrl+Shift+H", "", "Path History",
         "Show or hide the address bar"},
        {kStatusBar, "&Status Bar", K::UnknownKey, "", "", "Status Bar", "Show or hide the status bar"},
        {kOptions, "&Options...", K::UnknownKey, "Ctrl+O", "preferences-system", "Options",
         "Change the program's options"},
        {kChangeBackground, "&Change Background...", K::UnknownKey, "", "format-fill-color", "Change Background",
         "Choose the background texture of the bars"},
        {kFrameRefresh, "&Refresh", K::UnknownKey, "F5", "view-refresh", "Refresh",
         "Read the folder again"},
        {kSendMail, "Sen&d via e-mail...", K::UnknownKey, "", "mail-send", "Send e-mail",
         "Attach the files to a new e-mail"},
        {kInfo, "&Info", K::UnknownKey, "Alt+Return; Alt+Enter", "dialog-information", "Info",
         "Show the properties of the picture"},
        {kFileAssociation, "File &Association...", K::UnknownKey, "", "preferences-desktop-filetype-association", "File Association",
         "Choose the file types this program opens"},
        {kFindImages, "&Find Images...", K::UnknownKey, "", "edit-find", "Find Images",
         "Search for pictures"},
        {kWebPage, "&Web Page", K::UnknownKey, "", "internet-web-browser", "Web Page",
         "Open the program's web page"},
        {kSupport, "&Support", K::UnknownKey, "", "mail-message-new", "Support",
         "Write to the program's support"},
        {kUpdates, "&Updates", K::UnknownKey, "", "system-software-update", "Updates",
         "Open the page where new versions of the program are"},
        {kCopyImage, "Copy &Image", K::UnknownKey, "", "edit-copy", "Copy Image",
         "Copy the picture to the clipboard"},
        {kEncryptDecrypt, "Encr&ypt/Decrypt...", K::UnknownKey, "", "document-encrypt", "Encrypt/Decrypt",
         "Encrypt or decrypt the selection"},
        {kEraseForGood, "Erase for &Good...", K::UnknownKey, "", "edit-delete-shred", "Erase for good",
         "Erase the selection beyond recovery"},
        {kTreeOpen, "&Open", K::UnknownKey, "", "document-open", "Open", "Show the folder in the list"},
        {kTreeRename, "&Rename", K::UnknownKey, "", "edit-rename", "Rename", "Rename the folder"},
        {kTreeDelete, "&Delete", K::UnknownKey, "", "edit-delete", "Delete", "Delete the folder"},
        {kTreeCopy, "&Copy", K::UnknownKey, "", "edit-copy", "Copy", "Copy the folder to the clipboard"},
        {kTreePaste, "&Paste", K::UnknownKey, "", "edit-paste", "Paste",
         "Paste the files of the clipboard into the folder"},
        {kTreeCut, "Cu&t", K::UnknownKey, "", "edit-cut", "Cut", "Cut the folder to the clipboard"},
        {kZoomIn, "Zoom &In", K::UnknownKey, "Num++", "zoom-in", "Zoom In", "Show the picture larger"},
        {kZoomOut, "Zoom &Out", K::UnknownKey, "Num+-", "zoom-out", "Zoom Out", "Show the picture smaller"},
        {kActualSize, "Zoom &Actual Size", K::UnknownKey, "", "zoom-original", "Actual Size",
         "Show the picture at its own size"},
        {kFitWindowToImage, "Fit &window to Image", K::UnknownKey, "Num+/", "", "Fit window to Image",
         "Size the window to the picture"},
        {kFitImageToWindow, "Fit &Image to Window", K::UnknownKey, "Ctrl+Num+*", "",
         "Fit Image to Window", "Size the picture to the window"},
        {kBestFit, "&Best fit", K::UnknownKey, "Num+*", "", "Best fit",
         "Show the picture as large as the screen allows"},
        {kZoomLock, "Zoom &Lock", K::UnknownKey, "Ctrl+Num+/", "", "Zoom Lock",
         "Keep the zoom for the following pictures"},
        {kZoomTo, "&Zoom To", K::UnknownKey, "", "zoom-fit-best", "Zoom To", "Fill the window with the selection"},
        {kPreviousImage, "&Previous Image\tPageUp", K::UnknownKey, "", "go-previous", "Previous",
         "Show the previous picture of the folder"},
        {kNextImage, "&Next Image\tPageDn", K::UnknownKey, "", "go-next", "Next",
         "Show the next picture of the folder"},
        {kFirstImage, "&First Image in Directory", K::UnknownKey, "Home", "go-first", "First",
         "Show the first picture of the folder"},
        {kLastImage, "&Last Image In Directory", K::UnknownKey, "End", "go-last", "Last",
         "Show the last picture of the folder"},
        {kRandomImage, "&Random Image In Directory", K::UnknownKey, "", "media-playlist-shuffle", "Random View",
         "Show a picture of the folder chosen at random"},
        {kTurnAround, "&Turn Around", K::UnknownKey, "", "transform-rotate", "Turn Around", "Turn the picture by 180 degrees"},
        {kMirror, "&Mirror", K::UnknownKey, "", "object-flip-horizontal", "Mirror",
         "Mirror the picture left to right"},
        {kFlipVertical, "&Flip Vertical", K::UnknownKey, "", "object-flip-vertical", "Flip",
         "Turn the picture upside down"},
        {kRotateRight, "Rotate &Right", K::UnknownKey, "", "object-rotate-right", "Rotate right",
         "Turn the picture clockwise"},
        {kRotateLeft, "Rotate &Left", K::UnknownKey, "", "object-rotate-left", "Rotate left",
         "Turn the picture counter-clockwise"},
        {kSaveCropAs, "&Save Crop As...", K::UnknownKey, "", "document-save-as", "Save Crop As",
         "Save the selected part of the picture"},
        {kViewerRefresh, "&Refresh", K::UnknownKey, "F5", "view-refresh", "Refresh", "Show the picture again"},
        {kFilePrintPreview, "Print Pre&view", K::UnknownKey, "", "document-print-preview", "Print Preview",
         "Show the pages as they will be printed"},
        {kFullScreen, "F&ull Screen", K::UnknownKey, "Ctrl+F", "view-fullscreen", "Full Screen",
         "Show the picture on the whole screen, without menu, toolbar and status bar"},
        {kViewerToolbar, "&Toolbar", K::UnknownKey, "Ctrl+Shift+T", "", "Toolbar", "Show or hide the toolbar"},
        {kExport, "E&xport...", K::UnknownKey, "", "document-export", "Export",
         "Save the picture in another format"},
        {kViewerCopyTo, "Copy T&o...", K::UnknownKey, "Alt+C", "document-multiple", "Copy To", "Copy the file to a folder"},
        {kViewerMoveTo, "Mo&ve To...", K::UnknownKey, "Alt+M", "go-jump", "Move To", "Move the file to a folder"},
        {kCutFile, "Cu&t File", K::UnknownKey, "Ctrl+X", "edit-cut", "Cut",
         "Cut the file to the clipboard and go on to the next picture"},
        {kViewerCopyImage, "&Copy Image", K::UnknownKey, "Ctrl+Shift+C", "edit-copy", "Copy Image",
         "Copy the file and the picture as shown to the clipboard"},
        {kViewerDelete, "&Delete", K::UnknownKey, "Del", "edit-delete", "Delete", "Delete the file"},
        {kViewerRename, "Rena&me...", K::UnknownKey, "F2", "edit-rename", "Rename", "Rename the file"},
        {kViewerDescribe, "Descri&be...", K::UnknownKey, "Ctrl+D", "document-edit", "Describe",
         "Edit the description of the file"},
        {kViewerPaste, "&Paste", K::UnknownKey, "Ctrl+V", "edit-paste", "Paste",
         "Paste the files of the clipboard into the shown folder"},
        {kSelectNone, "Select &None", K::UnknownKey, "", "edit-select-none", "Select None",
         "Clear the selection"},
        {kMenuOpen, "&Open...", K::UnknownKey, "", "document-open", "Open", "Open a picture"},
        {kMenuExit, "E&xit", K::UnknownKey, "", "application-exit", "Exit", "Quit the program"},
        {kMenuExport, "E&xport...", K::UnknownKey, "", "document-export", "Export",
         "Save the picture in another format"},
    };
    return commands;
}

const CommandInfo* info(int id)
{
    for (const CommandInfo& command : table()) {
        if (command.id == id)
            return &command;
    }
    return nullptr;
}

}  // namespace cmd

namespace {

// The icon theme (the desktop's, then ours as its fallback); the widget style's own icons only
// when the theme is not installed.
QIcon commandIcon(const char* name)
{
    if (!*name)
        return {};
    const QString themeName = QString::fromLatin1(name);
    if (const QIcon icon = QIcon::fromTheme(themeName); !icon.isNull())
        return icon;
    static const QHash<QString, QStyle::StandardPixmap> standard = {
        {QStringLiteral("document-open"), QStyle::SP_DialogOpenButton},
        {QStringLiteral("help-contents"), QStyle::SP_DialogHelpButton},
        {QStringLiteral("help-about"), QStyle::SP_MessageBoxInformation},
        {QStringLiteral("application-exit"), QStyle::SP_DialogCloseButton},
        {QStringLiteral("view-list-icons"), QStyle::SP_FileDialogListView},
    };
    const auto it = standard.constFind(themeName);
    return it == standard.constEnd() ? QIcon() : QApplication::style()->standardIcon(it.value());
}

}  // namespace

namespace cmd {

QIcon icon(int id)
{
    const CommandInfo* command = info(id);
    return command ? commandIcon(command->iconName) : QIcon();
}

void useIconTheme()
{
    const QString theme = QString::fromLatin1(kIconTheme);
    QIcon::setFallbackThemeName(theme);
    // Without a desktop (a bare X server, a kiosk) Qt names no theme, or only the base one, and
    // may not even look in the data folders where themes are installed.
    if (!QIcon::themeName().isEmpty() && QIcon::themeName() != QLatin1String("hicolor"))
        return;
    QStringList paths = QIcon::themeSearchPaths();
    for (const QString& folder :
         QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory)) {
        if (!paths.contains(folder))
            paths << folder;
    }
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName(theme);
}

}  // namespace cmd

void CCommandTarget::on(int id, std::function<void()> handler, std::function<bool()> enabled,
                        std::function<bool()> checked)
{
    m_handlers.insert(id, Handler{std::move(handler), std::move(enabled), std::move(checked)});
}

const CCommandTarget::Handler* CCommandTarget::find(int id) const
{
    for (const CCommandTarget* target = this; target; target = target->m_next) {
        const auto it = target->m_handlers.constFind(id);
        if (it != target->m_handlers.constEnd())
            return &it.value();
    }
    return nullptr;
}

bool CCommandTarget::handles(int id) const
{
    return find(id) != nullptr;
}

bool CCommandTarget::isEnabled(int id) const
{
    const Handler* handler = find(id);
    return handler && (!handler->enabled || handler->enabled());
}

bool CCommandTarget::isCheckable(int id) const
{
    const Handler* handler = find(id);
    return handler && handler->checked;
}

bool CCommandTarget::isChecked(int id) const
{
    const Handler* handler = find(id);
    return handler && handler->checked && handler->checked();
}

bool CCommandTarget::execute(int id)
{
    const Handler* handler = find(id);
    if (!handler || (handler->enabled && !handler->enabled()))
        return false;
    // Copy: the handler may replace the table it lives in.
    const std::function<void()> run = handler->run;
    run();
    return true;
}

CCommandActions::CCommandActions(QWidget* window, CCommandTarget* target)
    : QObject(window), m_window(window), m_target(target)
{
}

QAction* CCommandActions::action(int id)
{
    if (QAction* existing = m_actions.value(id))
        return existing;
    const cmd::CommandInfo* info = cmd::info(id);
    Q_ASSERT_X(info, "CCommandActions::action", "command missing from the command table");
    auto* action = new QAction(QString::fromUtf8(info->menuText), m_window);
    if (info->standardKey != QKeySequence::UnknownKey)
        action->setShortcuts(info->standardKey);
    else if (*info->shortcut)
        action->setShortcuts(QKeySequence::listFromString(QString::fromLatin1(info->shortcut)));
    action->setIcon(cmd::icon(id));
    action->setToolTip(QString::fromUtf8(info->toolTip));
    action->setStatusTip(QString::fromUtf8(info->prompt));
    action->setCheckable(m_target->isCheckable(id));
    connect(action, &QAction::triggered, this, [this, id] { execute(id); });
    m_window->addAction(action);
    m_actions.insert(id, action);
    return action;
}

void CCommandActions::fill(QMenu* menu, std::initializer_list<int> ids)
{
    for (int id : ids) {
        if (id == 0)
            menu->addSeparator();
        else
            menu->addAction(action(id));
    }
    connect(menu, &QMenu::aboutToShow, this, &CCommandActions::update, Qt::UniqueConnection);
}

void CCommandActions::group(std::initializer_list<int> ids)
{
    auto* group = new QActionGroup(this);
    for (int id : ids)
        group->addAction(action(id));
}

void CCommandActions::update()
{
    for (auto it = m_actions.cbegin(); it != m_actions.cend(); ++it) {
        it.value()->setEnabled(m_target->isEnabled(it.key()));
        if (it.value()->isCheckable())
            it.value()->setChecked(m_target->isChecked(it.key()));
    }
}

bool CCommandActions::execute(int id)
{
    const bool done = m_target->execute(id);
    update();
    return done;
}
