#include "core/cframewindow.h"

#include <QCloseEvent>

void CFrameWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Q_EMIT activated();
    QMainWindow::changeEvent(event);
}

void CFrameWindow::closeEvent(QCloseEvent* event)
{
    Q_EMIT closing();
    event->accept();
}
