#include "browser/thumbnailcell.h"

#include <algorithm>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include "imagelib/cbmpex.h"

namespace thumbnailcell {

namespace {

constexpr int kMargin = 2;
// Between a thumbnail's edge and its picture.
constexpr int kThumbnailMargin = 5;
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

QRect thumbnailPlace(QSize picture, QSize cell)
{
    const int areaWidth = cell.width() - 2 * kThumbnailMargin;
    const int areaHeight = cell.height() - 2 * kThumbnailMargin;
    int drawnWidth = picture.width();
    int drawnHeight = picture.height();
    if (!(picture.width() < areaWidth && picture.height() < areaHeight)) {
        const double scale = std::min(double(areaWidth) / picture.width(), double(areaHeight) / picture.height());
        drawnWidth = int(picture.width() * scale);
        drawnHeight = int(picture.height() * scale);
    }
    return {(areaWidth - drawnWidth) / 2 + kThumbnailMargin, (areaHeight - drawnHeight) / 2 + kThumbnailMargin,
            drawnWidth, drawnHeight};
}

void drawThumbnailFrame(QPainter* painter, const QRect& cell, const QRect& place, const ThumbnailColours& colours)
{
    const int x = place.x(), y = place.y(), drawnWidth = place.width(), drawnHeight = place.height();
    painter->save();
    painter->translate(cell.topLeft());
    painter->fillRect(QRect(0, 0, cell.width(), cell.height()), QGuiApplication::palette().color(QPalette::Button));
    painter->fillRect(0, 0, kThumbnailSize, 1, colours.light);
    painter->fillRect(0, 0, 1, kThumbnailSize, colours.light);
    painter->fillRect(kThumbnailSize - 1, 0, 1, kThumbnailSize, colours.dark);
    painter->fillRect(0, kThumbnailSize - 1, kThumbnailSize, 1, colours.dark);
    painter->fillRect(x, y - 1, drawnWidth, 1, colours.border);
    painter->fillRect(x - 1, y - 1, 1, drawnHeight + 1, colours.border);
    painter->fillRect(x + drawnWidth, y - 1, 1, drawnHeight + 1, colours.light);
    painter->fillRect(x - 1, y + drawnHeight, drawnWidth + 2, 1, colours.light);
    painter->restore();
}

bool DrawThumbnail(QPainter* painter, const QRect& cell, const CBmpEx& picture, const ThumbnailColours& colours)
{
    if (!painter || picture.isEmpty())
        return false;
    const QRect place = thumbnailPlace(picture.GetSize(), cell.size());
    drawThumbnailFrame(painter, cell, place, colours);
    return place.isEmpty() || picture.drawScaled(painter, place.translated(cell.topLeft()));
}

} // namespace thumbnailcell
