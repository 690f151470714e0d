#include "viewer/cviewframe.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include "viewer/cimageview.h"

namespace {

constexpr int kPaneCount = 6;
constexpr int kIconSize = 16;

} // namespace

CViewFrame::CViewFrame(ViewerHost& host, CCommandTarget* appTarget, QWidget* parent)
    : CFrameWindow(parent), m_commands(appTarget)
{
    m_view = new CImageView(host, &m_commands, this);
    setCentralWidget(m_view);
    m_actions = new CCommandActions(this, &m_view->commandTarget());
    buildMenus();
    buildStatusBar();
    connect(m_view, &CImageView::stateChanged, this, &CViewFrame::refreshTitleAndStatus);
    connect(m_view, &CImageView::contextMenuRequested, this, &CViewFrame::popUpMenu);
    refreshTitleAndStatus();
}

void CViewFrame::buildMenus()
{
    m_actions->fill(menuBar()->addMenu(tr("&File")), {cmd::kFileOpen, 0, cmd::kFilePrint, cmd::kFilePrintPreview,
                                                      cmd::kFilePrintSetup, 0, cmd::kAppExit});
    m_actions->fill(menuBar()->addMenu(tr("&Image")),
                    {cmd::kRotateLeft, cmd::kRotateRight, cmd::kTurnAround, cmd::kMirror, cmd::kFlipVertical});
    QMenu* view = menuBar()->addMenu(tr("&View"));
    m_actions->fill(view, {cmd::kZoomIn, cmd::kZoomOut, cmd::kActualSize, 0, cmd::kFitWindowToImage,
                           cmd::kFitImageToWindow, cmd::kBestFit, cmd::kZoomLock, 0, cmd::kViewerRefresh, 0});
    m_actions->fill(view->addMenu(tr("Set as &Wallpaper")),
                    {cmd::kWallpaperCenter, cmd::kWallpaperTile, cmd::kWallpaperStretch, 0, cmd::kWallpaperRestore});
    m_actions->fill(view, {0, cmd::kBrowser});
    m_actions->fill(menuBar()->addMenu(tr("&Go")), {cmd::kNextImage, cmd::kPreviousImage, cmd::kFirstImage,
                                                    cmd::kLastImage, cmd::kRandomImage, 0, cmd::kSlideShow});
    m_actions->fill(menuBar()->addMenu(tr("&Help")), {cmd::kHelpContents, cmd::kHelpKeyboard, 0, cmd::kAppAbout});

    m_cropMenu = new QMenu(this);
    m_actions->fill(m_cropMenu, {cmd::kZoomTo, cmd::kSaveCropAs});
    m_viewMenu = new QMenu(this);
    m_actions->fill(m_viewMenu,
                    {cmd::kNextImage, cmd::kPreviousImage, 0, cmd::kZoomIn, cmd::kZoomOut, cmd::kActualSize, 0,
                     cmd::kFitWindowToImage, cmd::kFitImageToWindow, cmd::kBestFit, cmd::kZoomLock, 0, cmd::kRotateLeft,
                     cmd::kRotateRight, 0, cmd::kSlideShow, cmd::kFilePrint, 0, cmd::kBrowser});
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
    setWindowTitle(m_view->title());
    const QStringList texts = m_view->statusTexts();
    for (int i = 0; i < kPaneCount; ++i) {
        QLabel* pane = m_panes.at(i);
        pane->setText(texts.value(i));
        pane->setHidden(i > 0 && i >= texts.size());
    }
    m_nameIcon->parentWidget()->setHidden(texts.size() < 2);
    // Zoom steps and slides refresh the panes too; the icon is asked for only when the file changes.
    const QString path = m_view->folder() + m_view->fileName();
    if (texts.size() >= 2 && path != m_iconPath) {
        m_iconPath = path;
        const QFileIconProvider provider;
        m_nameIcon->setPixmap(provider.icon(QFileInfo(path)).pixmap(kIconSize, kIconSize));
    }
    m_actions->update();
    // The file is read before the event loop runs again: show "Loading" now.
    if (m_view->loading())
        statusBar()->repaint();
}

void CViewFrame::popUpMenu(const QPoint& globalPos, bool onSelection)
{
    QMenu* menu = onSelection ? m_cropMenu : m_viewMenu;
    m_actions->update();
    menu->popup(globalPos);
}
