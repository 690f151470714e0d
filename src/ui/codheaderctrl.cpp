#include "ui/codheaderctrl.h"

#include <algorithm>

#include <QPainter>
#include <QStyleOptionHeader>

CODHeaderCtrl::CODHeaderCtrl(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSortIndicatorShown(false);
    setSectionsClickable(true);
    setHighlightSections(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

int CODHeaderCtrl::SetSortImage(int column, bool ascending)
{
    const int previous = m_sortColumn;
    m_sortColumn = column;
    m_sortAscending = ascending;
    viewport()->update();
    return previous;
}

int CODHeaderCtrl::spaceWidth() const
{
    return fontMetrics().horizontalAdvance(QLatin1Char(' '));
}

QSize CODHeaderCtrl::sectionSizeFromContents(int logicalIndex) const
{
    // The arrow keeps 2 spaces clear above and below; leave it as much height as it is wide.
    QSize size = QHeaderView::sectionSizeFromContents(logicalIndex);
    size.setHeight(std::max(size.height(), 6 * spaceWidth() + 1));
    return size;
}

void CODHeaderCtrl::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!rect.isValid())
        return;
    QStyleOptionHeader option;
    initStyleOptionForIndex(&option, logicalIndex);

    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->fillRect(rect, palette().button());

    // A raised edge keeps neighbouring sections apart; a pressed one looks pushed in.
    const bool pressed = option.state & QStyle::State_Sunken;
    const QColor topLeft = pressed ? palette().dark().color() : palette().light().color();
    const QColor bottomRight = pressed ? palette().light().color() : palette().dark().color();
    painter->setPen(topLeft);
    painter->drawLine(rect.topLeft(), rect.topRight());
    painter->drawLine(rect.topLeft(), rect.bottomLeft());
    painter->setPen(bottomRight);
    painter->drawLine(rect.bottomLeft(), rect.bottomRight());
    painter->drawLine(rect.topRight(), rect.bottomRight());

    const int w = spaceWidth();
    const bool sorted = logicalIndex == m_sortColumn;
    QRect textRect = rect.adjusted(2 * w, 0, -2 * w - (sorted ? 6 * w : 0), 0);
    if (pressed)
        textRect.translate(1, 2);
    if (textRect.width() > 0) {
        // Only the horizontal part of the column's alignment applies: the text is always centred
        // vertically on one line, and '&' is shown as it stands.
        const Qt::Alignment horizontal = option.textAlignment & Qt::AlignHorizontal_Mask;
        const QString text = fontMetrics().elidedText(option.text, Qt::ElideRight, textRect.width());
        painter->setPen(palette().buttonText().color());
        painter->drawText(textRect, int(horizontal | Qt::AlignVCenter | Qt::TextSingleLine), text);
    }
    if (sorted)
        drawSortArrow(painter, rect);
    painter->restore();
}

void CODHeaderCtrl::drawSortArrow(QPainter* painter, const QRect& rect) const
{
    const int w = spaceWidth();
    const int right = rect.x() + rect.width();
    const int top = rect.y() + 2 * w;
    const int bottom = rect.y() + rect.height() - 2 * w;
    if (bottom <= top)
        return;
    const int tipX = right - 4 * w;
    const int nearX = right - 3 * w;
    const int farX = right - 5 * w - 2;
    const QPen highlight(palette().light().color(), 0);
    const QPen shadow(palette().dark().color(), 0);

    // Engraved: the edges facing up and left lie in shadow, those facing down and right catch the
    // light.
    if (m_sortAscending) {
        painter->setPen(shadow);
        painter->drawLine(farX, bottom, tipX, top);
        painter->setPen(highlight);
        painter->drawLine(tipX, top, nearX, bottom);
        painter->drawLine(nearX, bottom, farX, bottom);
    } else {
        painter->setPen(shadow);
        painter->drawLine(nearX, top, farX, top);
        painter->drawLine(farX, top, tipX, bottom);
        painter->setPen(highlight);
        painter->drawLine(tipX, bottom, nearX, top);
    }
}
