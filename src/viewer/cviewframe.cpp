#include "viewer/cviewframe.h"

#include <QLabel>
#include <QMenuBar>
#include <QStatusBar>

#include "viewer/cimageview.h"

namespace {
const QString kTitle = QStringLiteral("Zelt Pixoria");
}

CViewFrame::CViewFrame(ViewerHost& host, CCommandTarget* appTarget, QWidget* parent)
    : CFrameWindow(parent), m_commands(appTarget)
{
    setWindowTitle(kTitle);
    setMinimumSize(400, 200);
    m_view = new CImageView(host, &m_commands, this);
    setCentralWidget(m_view);
    m_actions = new CCommandActions(this, &m_view->commandTarget());
    m_status = new QLabel(this);
    statusBar()->addWidget(m_status, 1);
    buildMenus();
    connect(m_view, &CImageView::stateChanged, this, &CViewFrame::refreshTitleAndStatus);
    refreshTitleAndStatus();
}

void CViewFrame::buildMenus()
{
    m_actions->fill(menuBar()->addMenu(tr("&File")), {cmd::kFileOpen, cmd::kFilePrintSetup, 0, cmd::kAppExit});
    m_actions->fill(menuBar()->addMenu(tr("&View")), {cmd::kBrowser});
    m_actions->fill(menuBar()->addMenu(tr("&Help")),
                    {cmd::kHelpContents, cmd::kHelpKeyboard, 0, cmd::kAppAbout});
}

QString CViewFrame::statusText() const
{
    return m_status->text();
}

void CViewFrame::refreshTitleAndStatus()
{
    if (m_view->noImages()) {
        setWindowTitle(kTitle);
        m_status->setText(tr("No images"));
        return;
    }
    setWindowTitle(m_view->fileName() + QStringLiteral(" - ") + kTitle);
    m_status->setText(m_view->fileName());
}
