#pragma once
// How the file list draws one row in thumbnails mode: the picture (a thumbnail, else the row's
// icon) centred in the icon cell, and under it the name in a framed label coloured by file type.
// Pure drawing, no state: the list supplies the picture through a callback. UI thread only (it
// paints with the widget's font).

#include <functional>

#include <QColor>
#include <QRect>
#include <QString>

class CBmpEx;
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

// The colours of a thumbnail: the light and dark edges of its 76 x 76 frame and the border drawn
// around the picture (grey top and left; the light colour right and bottom).
struct ThumbnailColours {
    QColor light{255, 255, 255};
    QColor dark{0, 0, 0};
    QColor border{128, 128, 128};
};

// Where a picture of `picture` size goes in a thumbnail of `cell` size, relative to the cell's
// corner: within a margin of 5, unscaled when strictly smaller than that area, else shrunk to fit
// (sizes truncated), centred. Shrinking a picture to this size first and asking again gives the
// same rectangle.
QRect thumbnailPlace(QSize picture, QSize cell);
// Everything of a thumbnail but the picture: the button face over `cell`, the 76 x 76 frame at
// its corner and the border around `place` (relative to the cell's corner).
void drawThumbnailFrame(QPainter* painter, const QRect& cell, const QRect& place, const ThumbnailColours& colours);
// The picture centred in a thumbnail with its frame and border (the file list's cell is
// 76 x 76). False, drawing nothing, when `picture` is empty.
bool DrawThumbnail(QPainter* painter, const QRect& cell, const CBmpEx& picture, const ThumbnailColours& colours = {});

} // namespace thumbnailcell
