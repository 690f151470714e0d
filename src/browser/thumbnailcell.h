#pragma once
// How the file list draws one row in thumbnails mode: the picture (a thumbnail, else the row's
// icon) centred in the icon cell, and under it the name in a framed label coloured by file type.
// Pure drawing, no state: the list supplies the picture through a callback. UI thread only (it
// paints with the widget's font).

#include <functional>

#include <QColor>
#include <QRect>
#include <QString>

class QFontMetrics;
class QPainter;

namespace thumbnailcell {

inline constexpr int kThumbnailSize = 76;
inline constexpr int kIconSize = 32;
// The label of a row whose type has no colour of its own.
inline const QColor kDefaultLabelColour(237, 237, 202);
inline const QColor kSelectedLabelColour(255, 255, 128);
inline const QColor kFrameShadow(128, 128, 128);
inline const QColor kFrameLight(255, 255, 255);

struct Cells {
    QRect icon;
    QRect label;
};
// The icon cell (a thumbnail and a margin) at the top of a row's rectangle and the label cell of
// one text line below it.
Cells layout(const QRect& itemRect, const QFontMetrics& metrics);
// The size a row takes in thumbnails mode.
QSize itemSize(const QFontMetrics& metrics);

// The label text: the name with a blank before and after; when that is at least `width` wide,
// characters come off its end until it fits, three more go, and "..." is appended.
QString label(const QString& name, const QFontMetrics& metrics, int width);

struct Row {
    QString name;
    QColor labelColour; // invalid: kDefaultLabelColour
    bool selected = false;
    // Paints the thumbnail (76 x 76, centred in the icon cell) or the icon (32 x 32) of the row;
    // gets the icon cell.
    std::function<void(QPainter*, const QRect&)> drawPicture;
};

// Draws the row into `cells` with the painter's font and pen colour for the text.
void draw(QPainter* painter, const Cells& cells, const Row& row);

// Where a square picture of `side` pixels goes in a cell: centred, rounding down.
QPoint centred(const QRect& cell, int side);

} // namespace thumbnailcell
