#include "ui/cimagescrollview.h"

#include <algorithm>

#include <QMouseEvent>
#include <QScrollBar>

CImageScrollView::CImageScrollView(QWidget* parent) : QAbstractScrollArea(parent) {}

QSize CImageScrollView::fitInside(QSize size, QSize bounds)
{
    if (size.isEmpty())
        return size;
    // Integer arithmetic, so that the side that is met is met exactly.
    const qint64 width = size.width();
    const qint64 height = size.height();
    if (bounds.width() * height <= bounds.height() * width)
        return {bounds.width(), int(height * bounds.width() / width)};
    return {int(width * bounds.height() / height), bounds.height()};
}

void CImageScrollView::setContentSize(QSize size)
{
    m_contentSize = size.expandedTo(QSize(0, 0));
    updateScrollBars();
}

QPoint CImageScrollView::scrollPosition() const
{
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

void CImageScrollView::setScrollPosition(QPoint position)
{
    // The scroll bars clamp the values to their ranges.
    horizontalScrollBar()->setValue(position.x());
    verticalScrollBar()->setValue(position.y());
}

bool CImageScrollView::canPan() const
{
    const QSize viewportSize = viewport()->size();
    return panningAllowed() &&
           (m_contentSize.width() > viewportSize.width() || m_contentSize.height() > viewportSize.height());
}

QSize CImageScrollView::lineStep(QSize size) const
{
    return {std::max(1, size.width() / 100), std::max(1, size.height() / 100)};
}

QSize CImageScrollView::pageStep(QSize) const
{
    return viewport()->size();
}

void CImageScrollView::updatePanCursor()
{
    if (m_panning)
        viewport()->setCursor(Qt::ClosedHandCursor);
    else if (canPan())
        viewport()->setCursor(Qt::OpenHandCursor);
    else
        viewport()->unsetCursor();
}

bool CImageScrollView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Resize)
        updateScrollBars();
    return QAbstractScrollArea::viewportEvent(event);
}

void CImageScrollView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !canPan()) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    // The press grabs the mouse implicitly until the release.
    m_panning = true;
    m_lastPanPosition = event->position().toPoint();
    updatePanCursor();
}

void CImageScrollView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_panning) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QPoint position = event->position().toPoint();
    setScrollPosition(scrollPosition() - (position - m_lastPanPosition));
    m_lastPanPosition = position;
}

void CImageScrollView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_panning) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    stopPanning();
}

void CImageScrollView::stopPanning()
{
    m_panning = false;
    updatePanCursor();
    viewport()->update();
}

// The viewport the content will have once the scroll bars it needs are there, and only those:
// measured against the viewport of the moment, content that fits the whole area would keep the
// bars a larger content had put there.
QSize CImageScrollView::viewportForContent() const
{
    const QSize whole = maximumViewportSize();
    const bool horizontalAllowed = horizontalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    const bool verticalAllowed = verticalScrollBarPolicy() != Qt::ScrollBarAlwaysOff;
    const int barHeight = horizontalAllowed ? horizontalScrollBar()->sizeHint().height() : 0;
    const int barWidth = verticalAllowed ? verticalScrollBar()->sizeHint().width() : 0;
    bool horizontal = horizontalAllowed && m_contentSize.width() > whole.width();
    bool vertical = verticalAllowed && m_contentSize.height() > whole.height();
    // One bar takes room from the other direction.
    if (horizontal && !vertical)
        vertical = verticalAllowed && m_contentSize.height() > whole.height() - barHeight;
    if (vertical && !horizontal)
        horizontal = horizontalAllowed && m_contentSize.width() > whole.width() - barWidth;
    return {whole.width() - (vertical ? barWidth : 0), whole.height() - (horizontal ? barHeight : 0)};
}

void CImageScrollView::updateScrollBars()
{
    const QSize viewportSize = viewportForContent();
    const QSize line = lineStep(m_contentSize);
    const QSize page = pageStep(m_contentSize);
    QScrollBar* horizontal = horizontalScrollBar();
    horizontal->setRange(0, std::max(0, m_contentSize.width() - viewportSize.width()));
    horizontal->setPageStep(page.width());
    horizontal->setSingleStep(line.width());
    QScrollBar* vertical = verticalScrollBar();
    vertical->setRange(0, std::max(0, m_contentSize.height() - viewportSize.height()));
    vertical->setPageStep(page.height());
    vertical->setSingleStep(line.height());
    updatePanCursor();
}
