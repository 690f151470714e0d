#include "browser/thumbnailcell.h"

#include <QFontMetrics>
#include <QPainter>

namespace thumbnailcell {

namespace {

constexpr int kMargin = 2;
constexpr int kLabelPadding = 4;
// Room left and right of the thumbnail, so that neighbouring labels do not touch.
constexpr int kSideRoom = 20;

const QString kEllipsis = QStringLiteral("...");

} // namespace

QSize itemSize(const QFontMetrics& metrics)
{
    return QSize(kThumbnailSize + kSideRoom + 2 * kMargin,
                 kThumbnailSize + 3 * kMargin + metrics.height() + kLabelPadding + 2 * kMargin);
}

Cells layout(const QRect& itemRect, const QFontMetrics& metrics)
{
    const QRect icon(itemRect.left() + kMargin, itemRect.top() + kMargin, itemRect.width() - 2 * kMargin,
                     kThumbnailSize + kMargin);
    const QRect label(icon.left(), icon.bottom() + 1 + kMargin, icon.width(), metrics.height() + kLabelPadding);
    return {icon, label};
}

QPoint centred(const QRect& cell, int side)
{
    // The cell's right and bottom edges lie just outside it, as the drawing measures them.
    return QPoint((cell.left() + cell.left() + cell.width() - side) / 2,
                  (cell.top() + cell.top() + cell.height() - side) / 2);
}

QString label(const QString& name, const QFontMetrics& metrics, int width)
{
    QString text = u' ' + name + u' ';
    if (metrics.horizontalAdvance(text) < width)
        return text;
    while (!text.isEmpty() && metrics.horizontalAdvance(text) > width)
        text.chop(1);
    text.chop(3);
    return text + kEllipsis;
}

void draw(QPainter* painter, const Cells& cells, const Row& row)
{
    if (row.drawPicture)
        row.drawPicture(painter, cells.icon);

    QRect rect(cells.icon.left(), cells.label.top(), cells.icon.width(), cells.label.height());
    const int right = rect.left() + rect.width() - 1;
    const int bottom = rect.top() + rect.height() - 1;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(kFrameShadow);
    painter->drawLine(rect.left(), rect.top(), right, rect.top());
    painter->drawLine(rect.left(), rect.top(), rect.left(), bottom);
    painter->setPen(kFrameLight);
    painter->drawLine(right, rect.top(), right, bottom);
    painter->drawLine(rect.left(), bottom, right, bottom);
    painter->restore();
    rect.adjust(1, 1, -1, -1);

    const QColor fill = row.selected                ? kSelectedLabelColour
                        : row.labelColour.isValid() ? row.labelColour
                                                    : kDefaultLabelColour;
    painter->fillRect(rect, fill);
    const QString text = label(row.name, painter->fontMetrics(), cells.icon.width());
    painter->drawText(rect, int(Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine), text);

    if (row.selected) {
        painter->save();
        painter->setCompositionMode(QPainter::RasterOp_NotDestination);
        painter->fillRect(rect, Qt::black);
        // The focus mark: a dotted line that inverts what it crosses.
        painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter->setPen(QPen(Qt::white, 0, Qt::DotLine));
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
}

} // namespace thumbnailcell
