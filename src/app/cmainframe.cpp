#include "app/cmainframe.h"

#include <QMenuBar>
#include <QStatusBar>

CMainFrame::CMainFrame(CCommandTarget* appTarget, QWidget* parent) : CFrameWindow(parent), m_commands(appTarget)
{
    setWindowTitle(QStringLiteral("Zelt Pixoria"));
    resize(900, 600);
    setCentralWidget(new QWidget(this));
    m_actions = new CCommandActions(this, &m_commands);
    m_actions->fill(menuBar()->addMenu(tr("&File")), {cmd::kAppExit});
    m_actions->fill(menuBar()->addMenu(tr("&Help")), {cmd::kHelpContents, cmd::kHelpKeyboard, 0, cmd::kAppAbout});
    statusBar();
}
