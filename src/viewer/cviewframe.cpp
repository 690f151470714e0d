#include "viewer/cviewframe.h"

#include <QClipboard>
#include <QCursor>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QWindow>

#include "core/messages.h"
#include "fileops/cassociationdlg.h"
#include "fileops/cfileinfodlg.h"
#include "platform/desktopservices.h"
#include "ui/cmyrebar.h"
#include "ui/cmytoolbar.h"
#include "viewer/cimageview.h"
#include "viewer/viewerclipboard.h"
#include "viewer/viewerfilecommands.h"

namespace {

constexpr int kPaneCount = 6;
constexpr int kIconSize = 16;


// The commands that may move the frame under the pointer ("fit window to image" sizes it anew).
constexpr int kFrameMovingCommands[] = {cmd::kZoomIn, cmd::kZoomOut, cmd::kActualSize, cmd::kRotateLeft,
                                        cmd::kRotateRight};

} // namespace

CViewFrame::CViewFrame(ViewerHost& host, CAppSettings& options, CCommandTarget* appTarget, QWidget* parent)
    : CFrameWindow(parent), m_commands(appTarget)
{
    m_view = new CImageView(host, options, &m_commands, this);
    setCentralWidget(m_view);
    m_chainHead.setNext(&m_view->commandTarget());
    // Before the actions exist: an action is checkable when its handler says so.
    registerCommands();
    m_actions = new CCommandActions(this, &m_chainHead);
    // Paste and its Ctrl+V follow the clipboard, once the clipboard's readers have read it.
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, m_actions, &CCommandActions::update,
            Qt::QueuedConnection);
    buildMenus();
    buildToolBar();
    buildStatusBar();
    connect(&m_view->controller(), &CViewerController::stateChanged, this, &CViewFrame::refreshTitleAndStatus);
    connect(&m_view->controller(), &CViewerController::showWanted, this, &CViewFrame::showForPicture);
    connect(m_view, &CImageView::frameSizeWanted, this, &CViewFrame::fitToClient);
    connect(m_view, &CImageView::contextMenuRequested, this, &CViewFrame::popUpMenu);
    // A menu prompt hid the panes; they come back with the picture's status of now.
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message.isEmpty())
            refreshPanes();
    });
    m_refitWindow.setSingleShot(true);
    m_refitWindow.setInterval(1000);
    refreshTitleAndStatus();
}

void CViewFrame::registerCommands()
{
    for (int id : kFrameMovingCommands) {
        m_chainHead.on(
            id, [this, id] { keepPointerOnToolBar(id); }, [this, id] { return m_view->commandTarget().isEnabled(id); });
    }
    // Leaving is always possible, also when the last picture went while in full screen.
    m_commands.on(
        cmd::kFullScreen, [this] { setFullScreen(!m_beforeFullScreen); },
        [this] { return m_beforeFullScreen || showsPicture(); }, [this] { return m_beforeFullScreen.has_value(); });
    m_commands.on(
        cmd::kViewerToolbar, [this] { m_rebar->setVisible(m_rebar->isHidden()); }, {},
        [this] { return !m_rebar->isHidden(); });
    const auto shown = [this] { return showsPicture(); };
    m_commands.on(
        cmd::kInfo, [this] { showFileInfo(); }, shown);
    m_commands.on(
        cmd::kProperties, [this] { showFileInfo(); }, shown);
    m_commands.on(
        cmd::kSendMail, [this] { sendMail(); }, shown);
    m_commands.on(cmd::kFileAssociation, [this] { CAssociationDlg(this).exec(); });
    auto* fileCommands = new ViewerFileCommands(m_view->controller(), this, m_commands);
    new ViewerClipboard(m_view->controller(), this, m_commands);
    // After the drop has ended: the engine may ask questions, which a drag source must not wait for.
    connect(m_view, &CImageView::filesDropped, fileCommands, &ViewerFileCommands::dropFiles, Qt::QueuedConnection);
    relay(cmd::kMenuOpen, cmd::kFileOpen);
    // The crop menu's "Save Crop As" is this relay too: Save As cuts to the selection.
    relay(cmd::kSaveCropAs, cmd::kSaveAs);
    relay(cmd::kMenuExport, cmd::kExport);
    relay(cmd::kMenuExit, cmd::kAppExit);
}

// The view's menu sends some commands on under the frame's ids; they are available exactly when
// their targets are.
void CViewFrame::relay(int id, int target)
{
    m_commands.on(
        id, [this, target] { m_actions->execute(target); }, [this, target] { return m_chainHead.isEnabled(target); });
}

void CViewFrame::buildMenus()
{
    m_actions->fill(menuBar()->addMenu(tr("&File")),
                    {cmd::kFileOpen, cmd::kSaveAs, cmd::kExport, 0, cmd::kFilePrint, cmd::kFilePrintPreview,
                     cmd::kFilePrintSetup, 0, cmd::kSendMail, 0, cmd::kProperties, cmd::kInfo, 0, cmd::kAppExit});
    m_actions->fill(menuBar()->addMenu(tr("&Edit")),
                    {cmd::kCutFile, cmd::kViewerCopyImage, cmd::kViewerPaste, 0, cmd::kViewerCopyTo, cmd::kViewerMoveTo,
                     cmd::kViewerDelete, cmd::kViewerRename, cmd::kViewerDescribe, 0, cmd::kSelectNone});
    // Save As takes Ctrl+S here only: the browser's Save As has no key.
    m_actions->action(cmd::kSaveAs)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    // The wallpaper submenu stays in the third menu.
    QMenu* view = menuBar()->addMenu(tr("&View"));
    m_actions->fill(view, {cmd::kViewerToolbar, cmd::kFullScreen, 0, cmd::kZoomIn, cmd::kZoomOut, cmd::kActualSize, 0,
                           cmd::kFitWindowToImage, cmd::kFitImageToWindow, cmd::kBestFit, cmd::kZoomLock, 0,
                           cmd::kViewerRefresh, 0});
    m_actions->group({cmd::kFitWindowToImage, cmd::kFitImageToWindow, cmd::kBestFit, cmd::kZoomLock});
    m_actions->fill(view->addMenu(tr("Set as &Wallpaper")),
                    {cmd::kWallpaperCenter, cmd::kWallpaperTile, cmd::kWallpaperStretch, 0, cmd::kWallpaperRestore});
    m_actions->fill(view, {0, cmd::kBrowser});
    m_actions->fill(menuBar()->addMenu(tr("&Image")),
                    {cmd::kRotateLeft, cmd::kRotateRight, cmd::kTurnAround, cmd::kMirror, cmd::kFlipVertical});
    m_actions->fill(menuBar()->addMenu(tr("&Go")), {cmd::kNextImage, cmd::kPreviousImage, cmd::kFirstImage,
                                                    cmd::kLastImage, cmd::kRandomImage, 0, cmd::kSlideShow});
    m_actions->fill(menuBar()->addMenu(tr("&Tools")), {cmd::kOptions, cmd::kFileAssociation});
    m_actions->fill(menuBar()->addMenu(tr("&Help")), {cmd::kHelpContents, cmd::kHelpKeyboard, 0, cmd::kWebPage,
                                                      cmd::kSupport, cmd::kUpdates, 0, cmd::kAppAbout});

    m_cropMenu = new QMenu(this);
    m_actions->fill(m_cropMenu, {cmd::kZoomTo, cmd::kSaveCropAs});
    m_viewMenu = new QMenu(this);
    m_actions->fill(m_viewMenu, {cmd::kMenuOpen,
                                 cmd::kSaveCropAs,
                                 cmd::kMenuExport,
                                 0,
                                 cmd::kNextImage,
                                 cmd::kPreviousImage,
                                 0,
                                 cmd::kZoomIn,
                                 cmd::kZoomOut,
                                 cmd::kActualSize,
                                 0,
                                 cmd::kFitWindowToImage,
                                 cmd::kFitImageToWindow,
                                 cmd::kBestFit,
                                 cmd::kZoomLock,
                                 0,
                                 cmd::kFullScreen,
                                 0,
                                 cmd::kRotateLeft,
                                 cmd::kRotateRight,
                                 0,
                                 cmd::kSlideShow,
                                 cmd::kFilePrint,
                                 0,
                                 cmd::kBrowser,
                                 cmd::kMenuExit});
    // A popup menu sends the prompts of its items to itself: the frame's status bar shows them.
    for (QMenu* menu : {m_cropMenu, m_viewMenu})
        menu->installEventFilter(this);
}

void CViewFrame::buildToolBar()
{
    m_rebar = new CMyRebar(tr("Toolbar"), this);
    m_rebar->setObjectName(QStringLiteral("ViewerRebar"));
    auto* toolBar = new CMyToolBar(CMyToolBar::kViewer, *m_actions);
    toolBar->setObjectName(QStringLiteral("ViewerToolBar"));
    m_rebar->addBand(toolBar);
    addToolBar(Qt::TopToolBarArea, m_rebar);
}

void CViewFrame::buildStatusBar()
{
    for (int i = 0; i < kPaneCount; ++i) {
        auto* pane = new QLabel(this);
        pane->setObjectName(QStringLiteral("viewerPane%1").arg(i));
        // Long texts are cut rather than widening the smallest frame of "fit window to image".
        pane->setMinimumWidth(1);
        m_panes << pane;
        if (i != 1) {
            statusBar()->addWidget(pane, i == kPaneCount - 1 ? 1 : 0);
            continue;
        }
        // The name pane carries the file's icon before the text.
        auto* box = new QWidget(this);
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(4);
        m_nameIcon = new QLabel(box);
        layout->addWidget(m_nameIcon);
        layout->addWidget(pane);
        statusBar()->addWidget(box);
    }
}

QString CViewFrame::statusText() const
{
    QStringList texts;
    for (const QLabel* pane : m_panes) {
        if (!pane->isHidden() && !pane->text().isEmpty())
            texts << pane->text();
    }
    return texts.join(QStringLiteral("  "));
}

void CViewFrame::refreshTitleAndStatus()
{
    setWindowTitle(m_view->controller().title());
    m_actions->update();
    // Showing a pane now would put it over the prompt of a highlighted menu item.
    if (statusBar()->currentMessage().isEmpty())
        refreshPanes();
}

void CViewFrame::refreshPanes()
{
    const CViewerController& viewer = m_view->controller();
    const QStringList texts = viewer.statusTexts();
    for (int i = 0; i < kPaneCount; ++i) {
        QLabel* pane = m_panes.at(i);
        pane->setText(texts.value(i));
        pane->setHidden(i > 0 && i >= texts.size());
    }
    m_nameIcon->parentWidget()->setHidden(texts.size() < 2);
    // Zoom steps and slides refresh the panes too; the icon is asked for only when the file changes.
    const QString path = viewer.folder() + viewer.fileName();
    if (texts.size() >= 2 && path != m_iconPath) {
        m_iconPath = path;
        const QFileIconProvider provider;
        m_nameIcon->setPixmap(provider.icon(QFileInfo(path)).pixmap(kIconSize, kIconSize));
    }
    // The file is read before the event loop runs again: show "Loading" now.
    if (viewer.loading())
        statusBar()->repaint();
}

void CViewFrame::popUpMenu(const QPoint& globalPos, bool onSelection)
{
    QMenu* menu = onSelection ? m_cropMenu : m_viewMenu;
    m_actions->update();
    // One command, two menus: over a selection it saves the cut.
    m_actions->action(cmd::kSaveCropAs)->setText(onSelection ? tr("&Save Crop As...") : tr("&Save As..."));
    menu->popup(globalPos);
}

bool CViewFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::StatusTip && (watched == m_cropMenu || watched == m_viewMenu)) {
        statusBar()->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return CFrameWindow::eventFilter(watched, event);
}

bool CViewFrame::event(QEvent* event)
{
    if (appmsg::as(event, appmsg::kSetBackgroundTexture)) {
        m_rebar->reloadTexture();
        return true;
    }
    return CFrameWindow::event(event);
}

// ---- Size and placement -----------------------------------------------------------------------------

// "Fit window to image": the frame round a client of that size, placed on the work area.
void CViewFrame::fitToClient(QSizeF client)
{
    const ViewerWindowMetrics window = m_view->windowMetrics();
    const QRect outer = viewgeometry::frameRect(client, window.chrome, window.workArea);
    const QSize decoration = frameGeometry().size() - size();
    resize(outer.size() - decoration);
    move(outer.topLeft());
}

// A hidden frame comes with a picture maximised, and as it was for "No images". Where no window
// manager maximises, the screen's work area is the same thing.
void CViewFrame::showForPicture(bool maximised)
{
    if (!isHidden())
        return;
    if (!maximised) {
        show();
        return;
    }
    if (const QScreen* screen = this->screen())
        setGeometry(screen->availableGeometry());
    showMaximized();
    // The picture was fitted to the work area; a window manager takes its borders off that
    // only once the frame is mapped, and the fit must follow or the picture overflows the view.
    m_refitTarget = QRect();
    refitOnReports();
}

// ---- Full screen ---------------------------------------------------------------------------------

void CViewFrame::setFullScreen(bool on)
{
    if (on == m_beforeFullScreen.has_value() || (on && !isVisible()))
        return;
    if (on) {
        m_beforeFullScreen = Placement{isMaximized() ? normalGeometry() : geometry(), isMaximized(),
                                       !menuBar()->isHidden(), !m_rebar->isHidden(), !statusBar()->isHidden()};
        menuBar()->hide();
        m_rebar->hide();
        statusBar()->hide();
        // Where no window manager places full-screen windows, the screen is the same thing. Not
        // for a maximised frame: it would take the screen as its normal geometry.
        const QScreen* screen = this->screen();
        if (screen && !isMaximized())
            setGeometry(screen->geometry());
        setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowFullScreen);
        m_refitTarget = screen ? screen->geometry() : QRect();
    } else {
        const Placement before = *m_beforeFullScreen;
        m_beforeFullScreen.reset();
        menuBar()->setVisible(before.menuBar);
        m_rebar->setVisible(before.toolBar);
        statusBar()->setVisible(before.statusBar);
        if (before.maximized) {
            // Straight back: a normal geometry on the way would reach the window system after
            // the maximised one. The frame kept its normal geometry for later.
            setWindowState((windowState() & ~Qt::WindowFullScreen) | Qt::WindowMaximized);
            m_refitTarget = QRect();
        } else {
            // The state first: a window still in full screen would not take the geometry.
            setWindowState(windowState() & ~Qt::WindowFullScreen);
            setGeometry(before.normalGeometry);
            m_refitTarget = before.normalGeometry;
        }
    }
    m_actions->update();
    refitOnReports();
}

// The fit needs the new client size and the frame's borders, which the window system reports
// after a change of state (even where the size itself is taken at once), maybe in several steps:
// the fit is made at each report until the frame has the geometry asked for (or, where the window
// system chooses it, until the window of a second closes).
void CViewFrame::refitOnReports()
{
    m_refitWindow.stop();
    if (QWindow* window = windowHandle(); window && isVisible()) {
        m_refitWindow.start();
        for (auto changed : {&QWindow::xChanged, &QWindow::yChanged, &QWindow::widthChanged, &QWindow::heightChanged})
            connect(window, changed, this, &CViewFrame::windowGeometryReported, Qt::UniqueConnection);
    }
}

void CViewFrame::windowGeometryReported()
{
    if (!m_refitWindow.isActive())
        return;
    if (!m_refitTarget.isNull() && geometry() == m_refitTarget)
        m_refitWindow.stop();
    refitPicture();
}

// The view's "show the picture again": the fit mode meets the new client size.
void CViewFrame::refitPicture()
{
    showPictureAgain();
    // Scroll bars of the former size were still there: they go when the event loop runs next,
    // and the fit is made once more for the whole client.
    if (isVisible() && m_view->viewport()->size() != m_view->size())
        QMetaObject::invokeMethod(this, &CViewFrame::showPictureAgain, Qt::QueuedConnection);
}

// A hidden frame is left alone: showing a picture would show it.
void CViewFrame::showPictureAgain()
{
    if (isVisible())
        m_view->commandTarget().execute(cmd::kViewerRefresh);
}

// Back to the browser in full screen: the frame is put back as it was, hidden, so that it shows
// in its usual state next time.
void CViewFrame::hideEvent(QHideEvent* event)
{
    CFrameWindow::hideEvent(event);
    if (!event->spontaneous())
        setFullScreen(false);
}

// ---- Commands on the shown file --------------------------------------------------------------------

bool CViewFrame::showsPicture() const
{
    return m_view->controller().showsFile();
}

void CViewFrame::keepPointerOnToolBar(int id)
{
    const QPoint global = QCursor::pos();
    const QPoint local = m_rebar->mapFromGlobal(global);
    const bool overToolBar = m_rebar->isVisible() && m_rebar->rect().contains(local);
    m_view->commandTarget().execute(id);
    if (!overToolBar)
        return;
    const QPoint after = m_rebar->mapToGlobal(local);
    if (after != global)
        QCursor::setPos(after);
}

void CViewFrame::showFileInfo()
{
    CFileInfoDlg dialog(m_view->controller().fileName(), m_view->controller().folder(), this);
    if (dialog.load())
        dialog.exec();
}

// The file on disk, as the browser mails its selection; turns made in the viewer are not in it.
void CViewFrame::sendMail()
{
    platform::sendFilesByMail({m_view->controller().folder() + m_view->controller().fileName()});
}
