#include "core/cframewindow.h"

#include <QCloseEvent>
#include <QShowEvent>
#include <QStatusBar>

void CFrameWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // A frame restored from an icon is shown by the system again; only the program's showing tells.
    if (!event->spontaneous())
        Q_EMIT shown();
}

void CFrameWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        // A dialog opened from a toolbar button or a menu took the pointer away before it could
        // leave the button: the button's prompt would stay over the panes until the pointer moves.
        if (auto* bar = findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly))
            bar->clearMessage();
        Q_EMIT activated();
    }
    QMainWindow::changeEvent(event);
}

void CFrameWindow::closeEvent(QCloseEvent* event)
{
    Q_EMIT closing();
    event->accept();
}
