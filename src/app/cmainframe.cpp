#include "app/cmainframe.h"

#include <utility>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include "app/cmycmdlineinfo.h"
#include "app/coptionsmaindlg.h"
#include "app/cstatustotals.h"
#include "browser/cbrowserview.h"
#include "browser/cdirtreebar.h"
#include "browser/cfilelistctrl.h"
#include "browser/cfilesearchdlg.h"
#include "browser/cpreviewbar.h"
#include "core/messages.h"
#include "fileops/cassociationdlg.h"
#include "platform/desktopservices.h"
#include "settings/cappsettings.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "settings/storedstate.h"
#include "ui/chistorybox.h"
#include "ui/cmyrebar.h"
#include "ui/cmytoolbar.h"
#include "ui/cpreviewfiledialog.h"
#include "ui/ctexture.h"
#include "ui/mydlgbar.h"
#include "viewer/viewerhost.h"

namespace {

// Narrower frames are widened to this while the user sizes them.
constexpr int kMinimumWidth = 251;
constexpr int kBarStateVersion = 1;
const QString kBarStateValue = QStringLiteral("Browser");


}  // namespace

CMainFrame::CMainFrame(ViewerHost& host, CAppSettings& options, CCommandTarget* appTarget, QWidget* parent)
    : CFrameWindow(parent),
      m_host(host),
      m_options(options),
      m_commands(appTarget),
      m_view(new CBrowserView(&host, options, this)),
      m_rebar(new CMyRebar(tr("Toolbar"), this)),
      m_addressBar(new MyDlgBar(this, this))
{
    setWindowTitle(QStringLiteral("Zelt Pixoria"));
    setMinimumWidth(kMinimumWidth);
    resize(900, 600);
    setCentralWidget(m_view);
    m_view->commands().setNext(&m_commands);
    m_actions = new CCommandActions(this, &m_view->chainHead());
    buildSizingBars();
    registerCommands();
    buildMenus();
    buildToolBars();
    buildStatusBar();
    // The bars' own sizes first: restoring the layout docks them, which applies those sizes.
    CSizingControlBar::loadAll();
    restoreState(CSettingsStore::GetProfileBinary(settingskeys::kBarState, kBarStateValue), kBarStateVersion);
    restorePlacement();

    connect(&fileList()->rows(), &CFileListModel::totalsChanged, this, &CMainFrame::updateStatusTotals);
    connect(fileList(), &CFileListCtrl::summaryChanged, this, &CMainFrame::updateStatusTotals);
    connect(fileList()->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CMainFrame::updateStatusTotals);
    // Toolbar buttons and shortcuts follow the selection (Describe, Info, Rename ...), not only
    // the menus, which refresh themselves when they open.
    connect(fileList()->selectionModel(), &QItemSelectionModel::selectionChanged, m_actions,
            &CCommandActions::update);
    connect(fileList()->selectionModel(), &QItemSelectionModel::currentChanged, m_actions,
            &CCommandActions::update);
    connect(&fileList()->rows(), &CFileListModel::totalsChanged, m_actions, &CCommandActions::update);
    // Paste and its Ctrl+V follow the clipboard, once the clipboard's readers have read it.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, m_actions, &CCommandActions::update,
            Qt::QueuedConnection);
    m_actions->update();
}

CMainFrame::~CMainFrame()
{
    // Closing the frame hides the bars after the command chain they would refresh is gone.
    for (CSizingControlBar* bar : std::initializer_list<CSizingControlBar*>{m_previewBar, m_treeBar})
        disconnect(bar, nullptr, m_actions, nullptr);
}

QWidget* CMainFrame::activeView() const
{
    return m_view;
}

CFileListCtrl* CMainFrame::fileList() const
{
    return m_view->fileList();
}

void CMainFrame::openSearch()
{
    // Window-modal without a nested loop: a double-clicked result reaches this frame at once.
    auto* dialog = new CFileSearchDlg(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

void CMainFrame::registerCommands()
{
    m_commands.on(cmd::kNewWindow, [this] { openNewWindow(); });
    m_commands.on(cmd::kOpen, [this] { m_view->openFocusedRow(); });
    // The folder tree takes "Refresh tree" once it exists; until then the view re-reads.
    m_commands.on(cmd::kFrameRefresh, [this] { m_actions->execute(cmd::kRefresh); });
    const auto toggle = [this](int id, QWidget* bar) {
        m_commands.on(
            id, [bar] { bar->setVisible(bar->isHidden()); }, {}, [bar] { return !bar->isHidden(); });
    };
    toggle(cmd::kToolbar, m_rebar);
    toggle(cmd::kPathHistory, m_addressBar);
    toggle(cmd::kStatusBar, statusBar());
    toggle(cmd::kPreviewBar, m_previewBar);
    toggle(cmd::kFoldersTree, m_treeBar);
    // Properties is the view's Info under the toolbar's id.
    m_commands.on(
        cmd::kProperties, [this] { m_actions->execute(cmd::kInfo); },
        [this] { return m_view->chainHead().isEnabled(cmd::kInfo); });
    // The list's Encrypt/Decrypt under the menu bar's and toolbar's id.
    m_commands.on(
        cmd::kEncryptDecrypt, [this] { m_actions->execute(cmd::kListEncryptDecrypt); },
        [this] { return m_view->chainHead().isEnabled(cmd::kListEncryptDecrypt); });
    m_commands.on(cmd::kSendMail, [this] { sendMail(); });
    m_commands.on(cmd::kNewFolder, [this] { newFolder(); });
    m_commands.on(cmd::kFindImages, [this] { openSearch(); });
    m_commands.on(cmd::kChangeBackground, [this] { changeBackground(); });
    m_commands.on(cmd::kOptions, [this] { openOptions(); });
    m_commands.on(cmd::kFileAssociation, [this] { CAssociationDlg(this).exec(); });
}

void CMainFrame::buildMenus()
{
    m_actions->fill(menuBar()->addMenu(tr("&File")),
                    {cmd::kFileOpen, cmd::kOpen, cmd::kNewWindow, cmd::kNewFolder, 0, cmd::kSaveAs, 0,
                     cmd::kListPrintSetup, cmd::kFilePrint, 0, cmd::kSendMail, 0, cmd::kProperties, cmd::kInfo,
                     cmd::kDescribe, 0, cmd::kAppExit});
    m_actions->fill(menuBar()->addMenu(tr("&Edit")),
                    {cmd::kCut, cmd::kCopy, cmd::kPaste, cmd::kCopyImage, 0, cmd::kDelete, cmd::kRename,
                     cmd::kCopyTo, cmd::kMoveTo, 0, cmd::kSelectAll, 0, cmd::kEncryptDecrypt,
                     cmd::kEraseForGood});

    QMenu* view = menuBar()->addMenu(tr("&View"));
    m_actions->fill(view, {cmd::kToolbar, cmd::kPathHistory, cmd::kStatusBar, cmd::kPreviewBar,
                           cmd::kFoldersTree, 0, cmd::kViewThumbnails, cmd::kViewLargeIcons,
                           cmd::kViewSmallIcons, cmd::kViewList, cmd::kViewDetails, 0});
    m_actions->group({cmd::kViewThumbnails, cmd::kViewLargeIcons, cmd::kViewSmallIcons, cmd::kViewList, cmd::kViewDetails});
    m_actions->group({cmd::kSortByName, cmd::kSortByExtension, cmd::kSortBySize, cmd::kSortByType, cmd::kSortByDate,
                      cmd::kSortByImageProperties, cmd::kSortByDescription});
    m_actions->group({cmd::kSortForward, cmd::kSortReverse});
    m_actions->fill(view->addMenu(tr("Arrange &Icons")),
                    {cmd::kSortByExtension, cmd::kSortByName, cmd::kSortBySize, cmd::kSortByType, cmd::kSortByDate,
                     cmd::kSortByImageProperties, cmd::kSortByDescription, 0, cmd::kSortForward, cmd::kSortReverse});
    m_actions->fill(view, {0, cmd::kShowNonImages, cmd::kShowHiddenFiles, 0, cmd::kFrameRefresh, cmd::kAutoRefresh, 0,
                           cmd::kSlideShow});
    // F5 belongs to the frame's Refresh, which chooses between the folder tree and the view.
    m_actions->action(cmd::kRefresh)->setShortcuts({});

    QMenu* tools = menuBar()->addMenu(tr("&Tools"));
    m_actions->fill(tools, {cmd::kFindImages, 0, cmd::kFileAssociation, cmd::kChangeBackground, 0});
    m_actions->fill(tools->addMenu(tr("Set as &Wallpaper")),
                    {cmd::kWallpaperCenter, cmd::kWallpaperTile, cmd::kWallpaperStretch, 0, cmd::kWallpaperRestore});
    m_actions->fill(tools, {0, cmd::kOptions});

    m_actions->fill(menuBar()->addMenu(tr("&Help")), {cmd::kHelpContents, cmd::kHelpKeyboard, 0, cmd::kWebPage,
                                                      cmd::kSupport, cmd::kUpdates, 0, cmd::kAppAbout});
}

void CMainFrame::buildSizingBars()
{
    m_treeBar = new CDirTreeBar(this);
    m_previewBar = new CPreviewBar(this, m_host, m_options);
    // The tree above the preview, both at the left of the list.
    for (CSizingControlBar* bar : std::initializer_list<CSizingControlBar*>{m_treeBar, m_previewBar}) {
        addDockWidget(Qt::LeftDockWidgetArea, bar);
        // The bar's close button changes what the View menu and the toolbar show as checked.
        connect(bar, &QDockWidget::visibilityChanged, m_actions, &CCommandActions::update);
    }
    // Until a stored layout says otherwise the two share the column evenly (the preview's
    // content alone would ask for next to nothing).
    resizeDocks({m_treeBar, m_previewBar}, {height() / 2, height() / 2}, Qt::Vertical);
    connect(m_view, &CBrowserView::previewRequested, this, [this](const QString& path, int kind) {
        if (kind == CBrowserView::kPreviewNone)
            m_previewBar->ClearPreview();
        else
            m_previewBar->PreviewFile(path, kind);
    });
    const auto folderChanged = [this](const QString& parentFolder) {
        if (fileList()->currentFolder() == parentFolder)
            fileList()->refresh();
    };
    connect(m_treeBar, &CDirTreeBar::folderRenamed, this, folderChanged);
    connect(m_treeBar, &CDirTreeBar::folderDeleted, this, folderChanged);
    connect(m_treeBar, &CDirTreeBar::foldersChanged, this, [folderChanged](const QStringList& folders) {
        for (const QString& folder : folders)
            folderChanged(folder);
    });
    connect(m_treeBar, &CDirTreeBar::commandRequested, this, [this](int id) { m_actions->execute(id); });
    connect(fileList(), &CFileListCtrl::thumbnailsModeEntered, this, [this] {
        if (m_options.HidePreview)
            m_previewBar->hide();
    });
}

void CMainFrame::buildToolBars()
{
    // The strip takes the name the toolbar had in the stored bar layouts: restoring one must not
    // pull the toolbar out of its band.
    m_rebar->setObjectName(QStringLiteral("BrowserToolBar"));
    auto* toolBar = new CMyToolBar(CMyToolBar::kBrowser, *m_actions);
    toolBar->setObjectName(QStringLiteral("BrowserButtons"));
    m_rebar->addBand(toolBar);
    addToolBar(Qt::TopToolBarArea, m_rebar);

    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, m_addressBar);
}

std::optional<QString> CMainFrame::typedFolder(const QString& typed)
{
    QString path = typed.trimmed();
    // As a shell reads it: "~" is the home folder, and a relative path starts from the folder shown.
    if (path == u'~' || path.startsWith(QLatin1String("~/")))
        path.replace(0, 1, QDir::homePath());
    const QFileInfo folder(QDir(fileList()->currentFolder()).absoluteFilePath(path));
    if (!path.isEmpty() && folder.isDir())
        return folder.absoluteFilePath();
    QMessageBox::warning(this, QStringLiteral("Zelt Pixoria"),
                         folder.exists() && !path.isEmpty()
                             ? tr("%1 is not a folder.").arg(QDir::toNativeSeparators(path))
                             : tr("The folder %1 does not exist.").arg(QDir::toNativeSeparators(path)));
    // The list stays where it was, and so does the address it shows.
    m_addressBar->historyBox()->setAddress(fileList()->currentFolder());
    return std::nullopt;
}

void CMainFrame::openOptions()
{
    COptionsMainDlg dialog(m_options, [this] { ApplyBrowserOptions(); }, this);
    dialog.exec();
    // Whichever way it closed, full-row selection and grid lines are as stored now, also when
    // another window of the program stored them meanwhile.
    CSettingsStore::reload();
    m_options.LoadSettings();
    fileList()->applyDisplayOptions(m_options);
}

void CMainFrame::ApplyBrowserOptions()
{
    if (fileList()->viewMode() != CFileListCtrl::kThumbnails)
        return;
    if (m_options.HidePreview)
        m_previewBar->hide();
    else if (m_previewBar->isHidden())
        m_previewBar->show();
}

void CMainFrame::buildStatusBar()
{
    // The panes are one item of the bar: the bar hides that item while it shows a prompt, and
    // the panes showing or hiding with the selection cannot come up over the prompt.
    QStatusBar* bar = statusBar();
    auto* panes = new QWidget(bar);
    auto* row = new QHBoxLayout(panes);
    row->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(panes);
        label->setObjectName(QStringLiteral("statusPane%1").arg(i));
        m_panes << label;
    }
    m_namePane = new QWidget(panes);
    auto* name = new QHBoxLayout(m_namePane);
    name->setContentsMargins(0, 0, 0, 0);
    m_nameIcon = new QLabel(m_namePane);
    name->addWidget(m_nameIcon);
    name->addWidget(m_panes[2], 1);
    row->addWidget(m_panes[0]);
    row->addWidget(m_panes[1], 1);
    row->addWidget(m_namePane, 1);
    row->addWidget(m_panes[3], 1);
    row->addWidget(m_panes[4], 1);
    bar->addWidget(panes, 1);
}

void CMainFrame::restorePlacement()
{
    if (!m_options.SavePosition)
        return;
    const int icon = style()->pixelMetric(QStyle::PM_LargeIconSize);
    if (const std::optional<QRect> placement = storedstate::readFramePlacement(QSize(icon, icon)))
        setGeometry(*placement);
    if (storedstate::readFrameMaximized())
        setWindowState(windowState() | Qt::WindowMaximized);
}

void CMainFrame::savePlacement() const
{
    if (!m_options.SavePosition)
        return;
    storedstate::writeFramePlacement(isMaximized() || isFullScreen() ? normalGeometry() : geometry());
    storedstate::writeFrameMaximized(isMaximized());
}

void CMainFrame::cascade()
{
    // As window managers cascade: a title bar's height down and right, back to the corner of the
    // screen when that would leave it.
    const int step = style()->pixelMetric(QStyle::PM_TitleBarHeight) + style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    QRect placed = geometry().translated(step, step);
    if (const QScreen* shown = screen(); shown && !shown->availableGeometry().contains(placed))
        placed.moveTopLeft(shown->availableGeometry().topLeft());
    setGeometry(placed);
}

void CMainFrame::openNewWindow()
{
    // The new window starts from this one's placement.
    {
        const CSettingsStore::Batch batch;
        savePlacement();
    }
    QProcess::startDetached(QCoreApplication::applicationFilePath(),
                            {QLatin1String("--") + CMyCmdLineInfo::kNewWindowFlag});
}

void CMainFrame::showOnFolder(const QString& folder)
{
    m_startFolder = folder;
    show();
}

void CMainFrame::showEvent(QShowEvent* event)
{
    CFrameWindow::showEvent(event);
    if (m_view->firstUpdateDone())
        return;
    // The viewer handing a picture back, or the command line, names the folder to show: the last
    // one is not read.
    m_view->firstUpdate(m_host.openedFromFile() || !m_host.pendingImagePath().isEmpty() || !m_startFolder.isEmpty());
    if (!m_startFolder.isEmpty())
        appmsg::send(this, appmsg::kSelectFolder, std::exchange(m_startFolder, {}), appmsg::kFolderTyped);
    updateStatusTotals();
    m_actions->update();
}

bool CMainFrame::event(QEvent* event)
{
    if (const appmsg::Message* message = appmsg::as(event, appmsg::kSelectFolder)) {
        setWindowTitle(QStringLiteral("Zelt Pixoria"));
        // The list reporting the folder it shows: the folder tree and the address box follow it.
        // Every other kind asks the view to go there, and what was previewed goes.
        if (message->kind == appmsg::kFolderShownByList) {
            m_addressBar->historyBox()->setAddress(message->path);
            appmsg::send(m_treeBar, appmsg::kSelectFolder, message->path, message->kind);
        } else {
            // A path typed or chosen in the address box may name no folder (the tree's, of the
            // same kind, always does); the viewer hands back the path of a file it showed.
            const std::optional<QString> folder =
                message->kind == appmsg::kFolderTyped || message->kind == appmsg::kFolderFromTree
                    ? typedFolder(message->path)
                    : message->path;
            if (!folder)
                return true;
            m_previewBar->ClearPreview();
            appmsg::send(m_view, appmsg::kSelectFolder, *folder, message->kind);
            // The list reports only the folders it chose itself; this one was asked for.
            m_addressBar->historyBox()->setAddress(fileList()->currentFolder());
        }
        updateStatusTotals();
        return true;
    }
    if (const appmsg::Message* message = appmsg::as(event, appmsg::kRefreshTree)) {
        setWindowTitle(QStringLiteral("Zelt Pixoria"));
        appmsg::send(m_treeBar, appmsg::kRefreshTree, message->path);
        updateStatusTotals();
        return true;
    }
    if (const appmsg::Message* message = appmsg::as(event, appmsg::kSelectPicture)) {
        // The viewer hands back the picture it showed last; the list keeps the focus.
        m_previewBar->PreviewFile(message->path, CPreviewBar::kPicture);
        fileList()->currentView()->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (appmsg::as(event, appmsg::kSetBackgroundTexture)) {
        m_rebar->reloadTexture();
        m_addressBar->reloadTexture();
        appmsg::send(m_previewBar, appmsg::kSetBackgroundTexture);
        return true;
    }
    return CFrameWindow::event(event);
}

void CMainFrame::updateStatusTotals()
{
    CFileListCtrl* list = fileList();
    CFileListModel& rows = list->rows();
    statustotals::Selection selection;
    const int row = list->focusedIndex(false);
    QIcon icon;
    if (row >= 0) {
        QStringList names;
        selection.any = true;
        selection.selectedCount = list->selectedNames(names);
        selection.firstName = rows.itemText(row, CFileListModel::kName);
        selection.imageProperties = rows.itemText(row, CFileListModel::kImageProperties);
        if (selection.selectedCount < 2)
            list->fileSummary(&selection.summary, &selection.detail);
        icon = rows.data(rows.index(row, CFileListModel::kName), Qt::DecorationRole).value<QIcon>();
    }
    const QStringList texts = statustotals::paneTexts(rows.fileCount(), rows.totalSize(), selection);
    for (int i = 0; i < m_panes.size(); ++i)
        m_panes[i]->setText(texts.value(i));
    // The totals pane is as wide as its text; the others share the rest.
    m_panes[0]->setFixedWidth(m_panes[0]->fontMetrics().horizontalAdvance(texts[0]) + 8);
    const int iconSize = style()->pixelMetric(QStyle::PM_SmallIconSize);
    m_nameIcon->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(iconSize, iconSize));
    const bool fiveParts = texts.size() > 1;
    for (QWidget* pane : {static_cast<QWidget*>(m_panes[1]), m_namePane, static_cast<QWidget*>(m_panes[3]),
                          static_cast<QWidget*>(m_panes[4])})
        pane->setVisible(fiveParts);
}

void CMainFrame::sendMail()
{
    QStringList names;
    fileList()->selectedNames(names);
    for (QString& name : names)
        name.prepend(fileList()->currentFolder());
    platform::sendFilesByMail(names);
}

void CMainFrame::newFolder()
{
    fileList()->createFolder(tr("New Folder"));
}

void CMainFrame::changeBackground()
{
    const std::optional<QString> chosen = CPreviewFileDialog::getTextureFile(this);
    // Cancel, or a copy that failed and left the old texture, changes nothing on screen.
    if (!chosen || !(chosen->isEmpty() ? removeTexture() : installTexture(*chosen)))
        return;
    // Both frames (the viewer's passes it to its toolbar) and, through this one, the preview bar.
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (qobject_cast<CFrameWindow*>(window))
            appmsg::send(window, appmsg::kSetBackgroundTexture);
    }
}

void CMainFrame::saveBrowserState() const
{
    const CSettingsStore::Batch batch;
    CSizingControlBar::saveAll();
    CSettingsStore::WriteProfileBinary(settingskeys::kBarState, kBarStateValue, saveState(kBarStateVersion));
    savePlacement();
    if (!m_view->firstUpdateDone())
        return;
    const CFileListCtrl* list = fileList();
    list->saveOptions(m_options);
    storedstate::writeColumns(list->columnStates());
    storedstate::writeBrowserStartState(
        {list->viewMode(), list->rows().sortKey(), list->rows().ascending() ? 1 : 0, list->currentFolder()});
}
