#include "ui/csizingcontrolbar.h"

#include <QList>
#include <QMainWindow>
#include <QResizeEvent>

namespace {

QList<CSizingControlBar*>& allBars()
{
    static QList<CSizingControlBar*> bars;
    return bars;
}

}  // namespace

CSizingControlBar::CSizingControlBar(const QString& title, QMainWindow* frame, const QSize& size, int controlId)
    : QDockWidget(title, frame),
      m_frame(frame),
      m_controlId(controlId),
      m_sizes{size, size, size},
      m_placement(Placement::Floating)
{
    setObjectName(QStringLiteral("SCBar-%1").arg(controlId));
    setAllowedAreas(Qt::AllDockWidgetAreas);
    setFeatures(DockWidgetClosable | DockWidgetMovable | DockWidgetFloatable);
    connect(this, &QDockWidget::dockLocationChanged, this, &CSizingControlBar::applyRememberedSize);
    connect(this, &QDockWidget::topLevelChanged, this, &CSizingControlBar::applyRememberedSize);
    allBars().append(this);
}

CSizingControlBar::~CSizingControlBar()
{
    allBars().removeOne(this);
}

void CSizingControlBar::loadAll()
{
    for (CSizingControlBar* bar : allBars())
        bar->m_sizes = storedstate::loadSizingBarSizes(bar->m_controlId, bar->m_sizes, kMinimumSize);
}

void CSizingControlBar::saveAll()
{
    for (const CSizingControlBar* bar : allBars())
        storedstate::saveSizingBarSizes(bar->m_controlId, bar->m_sizes);
}

void CSizingControlBar::resizeEvent(QResizeEvent* event)
{
    QDockWidget::resizeEvent(event);
    if (!isVisible() || currentPlacement() != m_placement)
        return;
    remembered(m_placement) = event->size().expandedTo(kMinimumSize);
}

CSizingControlBar::Placement CSizingControlBar::currentPlacement()
{
    if (isFloating())
        return Placement::Floating;
    switch (m_frame->dockWidgetArea(this)) {
    case Qt::TopDockWidgetArea:
    case Qt::BottomDockWidgetArea:
        return Placement::Horizontal;
    case Qt::LeftDockWidgetArea:
    case Qt::RightDockWidgetArea:
        return Placement::Vertical;
    default:
        return Placement::Floating;
    }
}

QSize& CSizingControlBar::remembered(Placement placement)
{
    switch (placement) {
    case Placement::Horizontal:
        return m_sizes.sizeHorz;
    case Placement::Vertical:
        return m_sizes.sizeVert;
    case Placement::Floating:
        break;
    }
    return m_sizes.sizeFloat;
}

void CSizingControlBar::applyRememberedSize()
{
    m_placement = currentPlacement();
    const QSize size = remembered(m_placement);
    // A docked bar only chooses its thickness; the row or column decides its length.
    switch (m_placement) {
    case Placement::Horizontal:
        m_frame->resizeDocks({this}, {size.height()}, Qt::Vertical);
        break;
    case Placement::Vertical:
        m_frame->resizeDocks({this}, {size.width()}, Qt::Horizontal);
        break;
    case Placement::Floating:
        resize(size);
        break;
    }
}
