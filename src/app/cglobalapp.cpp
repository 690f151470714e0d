#include "app/cglobalapp.h"

#include <cstdlib>
#include <utility>

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/browserpicturelist.h"
#include "app/caboutdlg.h"
#include "app/cmainframe.h"
#include "app/logging.h"
#include "app/cmycmdlineinfo.h"
#include "app/coptionsmaindlg.h"
#include "app/wallpapercommand.h"
#include "app/webaddresses.h"
#include "browser/cbrowserview.h"
#include "browser/cfilelistctrl.h"
#include "core/messages.h"
#include "fileops/cfileinfo.h"
#include "platform/desktopservices.h"
#include "settings/csettingsstore.h"
#include "ui/chyperlink.h"
#include "viewer/cimageview.h"
#include "viewer/cviewframe.h"

namespace {

// The image library refuses a handle only when memory ran out; nothing can go on after that.
[[noreturn]] void showGpError(const QString& text)
{
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QMessageBox::critical(nullptr, QStringLiteral("GP Error"), text);
    std::exit(-1);
}

// Both must be in place before the current image, or any file information reader, is built.
bool installFatalHandlers()
{
    CBmpEx::setFatalHandler([] { showGpError(QObject::tr("The image library could not give a picture handle.")); });
    CFileInfo::setFatalHandler([] { showGpError(QStringLiteral("Read Info Error")); });
    return true;
}

}  // namespace


CGlobalApp::CGlobalApp() : m_fatalHandlersInstalled(installFatalHandlers())
{
    registerCommands();
}

CGlobalApp::~CGlobalApp()
{
    // The program ends: the frames' windows write nothing as they go, the browser's state is
    // stored here (the viewer stored its fit mode when it changed).
    if (m_browser)
        m_browser->saveBrowserState();
    // The viewer walks the browser's list until it is gone.
    delete m_viewer;
    m_browserList.reset();
    delete m_browser;
}

void CGlobalApp::registerCommands()
{
    m_commands.on(cmd::kAppAbout, [this] { OnAppAbout(); });
    m_commands.on(cmd::kFileOpen, [this] { OnFileOpen(); });
    m_commands.on(cmd::kFilePrintSetup, [this] { OnFilePrintSetup(); });
    m_commands.on(cmd::kHelpContents, [this] { openProgramDocument(QStringLiteral("ZeltHelp.htm")); });
    m_commands.on(cmd::kHelpKeyboard, [this] { openProgramDocument(QStringLiteral("keyboard.htm")); });
    m_commands.on(cmd::kWebPage, [this] { CHyperLink::openOrReport(QString::fromLatin1(web::kHomePage), dialogParent()); });
    m_commands.on(cmd::kSupport, [this] { CHyperLink::openOrReport(QString::fromLatin1(web::kSupport), dialogParent()); });
    m_commands.on(cmd::kUpdates, [this] { CHyperLink::openOrReport(QString::fromLatin1(web::kDownloads), dialogParent()); });
    // The viewer's Options; the browser's frame opens its own, which then re-applies what the
    // file list shows at once.
    m_commands.on(cmd::kOptions, [this] {
        COptionsMainDlg dialog(m_settings, [this] { m_browser->ApplyBrowserOptions(); }, dialogParent());
        dialog.exec();
    });
    m_commands.on(cmd::kAppExit, [this] {
        if (QWidget* window = mainWindow())
            window->close();
    });
    // The viewer's toolbar menu chooses the texture through the browser, which owns the choice.
    m_commands.on(cmd::kChangeBackground, [this] { m_browser->commands().execute(cmd::kChangeBackground); });
    // The viewer's wallpaper submenu: the shown picture as read from its file. What the desktop
    // made of it is not reported.
    const auto viewerShowsPicture = [this] {
        return m_viewer && m_viewer->isVisible() && !m_viewer->imageView()->noImages();
    };
    const std::pair<int, wallpaper::Style> styles[] = {{cmd::kWallpaperCenter, wallpaper::kCenter},
                                                       {cmd::kWallpaperTile, wallpaper::kTile},
                                                       {cmd::kWallpaperStretch, wallpaper::kStretch}};
    for (const auto& [id, style] : styles) {
        m_commands.on(
            id, [this, style] { wallpapercommand::setAsWallpaper(m_currentImage.path(), style); }, viewerShowsPicture);
    }
    m_commands.on(
        cmd::kWallpaperRestore, [] { wallpapercommand::restoreWallpaper(); }, viewerShowsPicture);
}

bool CGlobalApp::InitInstance(const QStringList& arguments)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Zelt"));
    QCoreApplication::setApplicationName(QStringLiteral("Zelt Pixoria"));
    cmd::useIconTheme();
    if (auto* gui = qobject_cast<QApplication*>(QCoreApplication::instance()))
        gui->setQuitOnLastWindowClosed(false);
    // The frames read the options as they are made.
    m_settings.LoadSettings();
    createFrames();
    shellCommand(CMyCmdLineInfo::parse(arguments));
    CSettingsStore::WriteProfileString(settingskeys::kSettings, settingskeys::kAppPath,
                                       QCoreApplication::applicationFilePath());
    return true;
}

void CGlobalApp::createFrames()
{
    m_browser = new CMainFrame(*this, m_settings, &m_commands);
    m_browserList = std::make_unique<BrowserPictureList>(*m_browser->fileList());
    m_viewer = new CViewFrame(*this, m_settings, &m_commands);
    connect(m_viewer, &CFrameWindow::shown, this, [this] {
        if (!std::exchange(m_browserHandingOver, false))
            return;
        m_browser->hide();
        m_mainWindow = m_viewer;
    });
    for (CFrameWindow* frame : {static_cast<CFrameWindow*>(m_browser), static_cast<CFrameWindow*>(m_viewer)}) {
        connect(frame, &CFrameWindow::activated, this, [this, frame] { m_mainWindow = frame; });
        connect(frame, &CFrameWindow::closing, this, [this, frame] {
            if (frame == mainWindow())
                QCoreApplication::quit();
        });
    }
}

void CGlobalApp::shellCommand(const CMyCmdLineInfo& info)
{
    if (info.newWindow)
        m_browser->cascade();
    // A folder is browsed, whatever else the command line asked for.
    if (const QFileInfo folder(info.path); !info.path.isEmpty() && folder.isDir()) {
        m_viewer->hide();
        m_browser->showOnFolder(folder.absoluteFilePath());
        m_mainWindow = m_browser;
        return;
    }
    if (!info.viewerFirst()) {
        m_viewer->hide();
        m_browser->show();
        m_mainWindow = m_browser;
        return;
    }
    m_openedFromFile = true;
    m_browser->hide();
    // The viewer reads the file itself, showing a preview of a large picture first; a file that
    // does not load is still the viewer's to show: it tells why.
    m_pendingImagePath = info.path;
    m_mainWindow = m_viewer;
    appmsg::post(m_viewer->imageView(), appmsg::kLoadViewerBeforeBrowser);
}

QWidget* CGlobalApp::mainWindow() const
{
    return m_mainWindow;
}

void CGlobalApp::requestSwitch(appmsg::SwitchRequest request)
{
    appmsg::post(this, appmsg::kSwitchFrames, {}, request);
}

PictureList* CGlobalApp::browserList()
{
    return m_browserList.get();
}

QObject* CGlobalApp::browserWindow()
{
    return m_browser;
}

bool CGlobalApp::event(QEvent* event)
{
    if (const appmsg::Message* message = appmsg::as(event, appmsg::kSwitchFrames)) {
        switchFrames(appmsg::SwitchRequest(message->kind));
        return true;
    }
    return QObject::event(event);
}

void CGlobalApp::switchFrames(appmsg::SwitchRequest request)
{
    if (m_browser->isVisible()) {
        // The viewer shows itself once it has the picture, or a preview of it, or the reason it
        // cannot read it; the browser stays until then, so that the screen is never left empty.
        m_browserHandingOver = true;
        appmsg::send(m_viewer->imageView(), appmsg::kLoadPictureToMemory, m_browser->browserView()->takePictureToRead(),
                     0, m_browser->activeView());
        if (m_browser->browserView()->slideShowRequested()) {
            m_browser->browserView()->clearSlideShowRequest();
            appmsg::post(m_viewer->imageView(), appmsg::kSwitchOnSlideShow);
        }
        if (request == appmsg::kSwitchPrint)
            appmsg::post(m_viewer->imageView(), appmsg::kCommand, {}, cmd::kFilePrint);
        else if (request == appmsg::kSwitchPrintSetup)
            OnFilePrintSetup();
    } else if (m_viewer->isVisible()) {
        m_browserHandingOver = false;
        m_viewer->hide();
        // Shown first: its first update (after a start on a picture) lays out the list at its
        // real width and, with a picture to hand back, leaves out the last folder.
        m_browser->show();
        if (!m_pendingImagePath.isEmpty()) {
            appmsg::send(m_browser->activeView(), appmsg::kSelectFolder, m_pendingImagePath, appmsg::kFolderOfFile);
            m_pendingImagePath.clear();
        }
        m_mainWindow = m_browser;
    }
}

bool CGlobalApp::openFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    const bool loaded = m_currentImage.Load(path);
    if (!loaded)
        qCDebug(lcApp) << "File Open: cannot read" << path;
    // The viewer shows a file that does not load too, saying why, in place of the picture
    // before it.
    if (!loaded && !m_viewer->isVisible())
        return false;
    m_pendingImagePath = path;
    if (m_viewer->isVisible()) {
        m_openedFromFile = true;
        appmsg::post(m_viewer->imageView(), appmsg::kLoadViewerBeforeBrowser);
    }
    return loaded;
}

QWidget* CGlobalApp::dialogParent() const
{
    return mainWindow();
}

void CGlobalApp::OnFileOpen()
{
    // Where the user is: the folder of the picture the viewer shows, else the browser's folder.
    const QString shown = m_viewer->isVisible() ? m_currentImage.path() : QString();
    const QString folder = shown.isEmpty() ? m_browser->fileList()->currentFolder() : QFileInfo(shown).absolutePath();
    const QString path = QFileDialog::getOpenFileName(dialogParent(), tr("Open"), folder, CBmpEx::openDialogFilter());
    openFile(path);
}

// One printer for the run: the viewer's, so that the choices made here print its pictures.
void CGlobalApp::OnFilePrintSetup()
{
    m_viewer->imageView()->printer().PrintSetup();
}

void CGlobalApp::OnAppAbout()
{
    CAboutDlg dialog(dialogParent());
    dialog.exec();
}

void CGlobalApp::openProgramDocument(const QString& name)
{
    CHyperLink::openOrReport(platform::programFile(name), dialogParent());
}
