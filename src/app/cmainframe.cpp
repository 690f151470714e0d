#include "app/cmainframe.h"

#include <QActionGroup>
#include <QMenuBar>
#include <QStatusBar>

#include "app/settings/cappsettings.h"
#include "app/settings/storedstate.h"
#include "browser/cfilelistctrl.h"

CMainFrame::CMainFrame(CCommandTarget* appTarget, QWidget* parent)
    : CFrameWindow(parent), m_commands(appTarget), m_list(new CFileListCtrl(this))
{
    setWindowTitle(QStringLiteral("Zelt Pixoria"));
    resize(900, 600);
    setCentralWidget(m_list);
    // The list handles its commands first; the rest go on to the frame and the application.
    m_list->commands().setNext(&m_commands);
    m_actions = new CCommandActions(this, &m_list->commands());
    buildMenus();
    statusBar();
}

CMainFrame::~CMainFrame()
{
    saveBrowserState();
}

QWidget* CMainFrame::activeView() const
{
    return m_list;
}

void CMainFrame::buildMenus()
{
    m_actions->fill(menuBar()->addMenu(tr("&File")), {cmd::kAppExit});

    QMenu* view = menuBar()->addMenu(tr("&View"));
    m_actions->fill(
        view, {cmd::kViewThumbnails, cmd::kViewLargeIcons, cmd::kViewSmallIcons, cmd::kViewList, cmd::kViewDetails, 0});
    auto* modes = new QActionGroup(this);
    for (int id : {cmd::kViewThumbnails, cmd::kViewLargeIcons, cmd::kViewSmallIcons, cmd::kViewList, cmd::kViewDetails})
        modes->addAction(m_actions->action(id));
    m_actions->fill(view->addMenu(tr("Arrange &Icons")),
                    {cmd::kSortByExtension, cmd::kSortByName, cmd::kSortBySize, cmd::kSortByType, cmd::kSortByDate,
                     cmd::kSortByImageProperties, cmd::kSortByDescription, 0, cmd::kSortForward, cmd::kSortReverse});
    m_actions->fill(view, {0, cmd::kShowNonImages, cmd::kShowHiddenFiles, 0, cmd::kRefresh, cmd::kAutoRefresh});

    m_actions->fill(menuBar()->addMenu(tr("&Help")), {cmd::kHelpContents, cmd::kHelpKeyboard, 0, cmd::kAppAbout});
    m_actions->update();
}

void CMainFrame::showEvent(QShowEvent* event)
{
    CFrameWindow::showEvent(event);
    if (!m_listSetUp)
        firstUpdate();
}

void CMainFrame::firstUpdate()
{
    m_listSetUp = true;
    CAppSettings settings;
    settings.LoadSettings();
    m_list->createColumns();
    m_list->applyOptions(settings);
    const storedstate::BrowserStartState state = storedstate::readBrowserStartState();
    if (state.listViewMode >= CFileListCtrl::kThumbnails && state.listViewMode <= CFileListCtrl::kDetails)
        m_actions->execute(cmd::kViewThumbnails + state.listViewMode);
    m_list->sortBy(state.sortedCol);
    m_list->setDirection(state.ascending != 0);
    // A folder shown already came from the viewer, which was in front first.
    if (m_list->generation() == 0)
        m_list->SetFolder(state.lastFolder, true);
    m_actions->update();
}

void CMainFrame::saveBrowserState() const
{
    if (!m_listSetUp)
        return;
    storedstate::writeColumns(m_list->columnStates());
    storedstate::writeBrowserStartState(
        {m_list->viewMode(), m_list->rows().sortKey(), m_list->rows().ascending() ? 1 : 0, m_list->currentFolder()});
}
