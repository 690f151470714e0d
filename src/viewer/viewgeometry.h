#pragma once
// The image view's geometry as plain functions: zoom steps, the fit modes, the frame size for
// "fit window to image", scroll positions, the picture origin, the rectangles of a magnified
// repaint and the status-bar texts. No widget is touched; the view measures the window, the
// frame's chrome and the screen and passes them in. Callable from any thread.
//
// Rectangles of the work area are taken as Qt gives them (QScreen::availableGeometry()); inside,
// right and bottom are one past the last pixel (x + width, y + height), which is what the
// frame-sizing table is written against.

#include <array>
#include <optional>

#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QSizeF>
#include <QString>

namespace viewgeometry {

inline constexpr std::array<double, 10> kZoomTable{0.1, 0.2, 0.3, 0.5, 0.7, 1.0, 1.5, 2.0, 3.0, 5.0};
inline constexpr int kActualSizeIndex = 5;
inline constexpr int kLastZoomIndex = 9;
// Zoom to a selection is refused when the display would reach this many pixels on a side.
inline constexpr double kMaxSelectionDisplay = 32500.0;
// The smallest frame "fit window to image" makes.
inline constexpr int kMinFrameWidth = 400;
inline constexpr int kMinFrameHeight = 200;

enum class FitMode { FitWindowToImage = 0, FitImageToWindow = 1, BestFit = 2, ZoomLock = 3 };

// How the picture is drawn: the index into kZoomTable (5 after every new picture), the zoom and
// the display size (picture size x zoom, not always a whole number of pixels).
struct Zoom {
    int index = kActualSizeIndex;
    double zoom = 1.0;
    QSizeF display;
};

// The frame's parts around the view's client area, in pixels, as the frame measures them:
// the dialog-frame border across and down, the toolbar's and status bar's client heights,
// the caption and the menu bar.
struct FrameChrome {
    int borderX = 0;
    int borderY = 0;
    int toolbarHeight = 0;
    int statusBarHeight = 0;
    int captionHeight = 0;
    int menuHeight = 0;
    bool operator==(const FrameChrome&) const = default;
};

// One step up or down the zoom table from `current`. A display between two steps (after a fit)
// goes to the neighbouring step in that direction. nullopt: no change (a limit is reached, or
// the picture is empty).
std::optional<Zoom> zoomIn(const Zoom& current, QSize picture);
std::optional<Zoom> zoomOut(const Zoom& current, QSize picture);

// Zoom 1.0 at index 5.
Zoom actualSize(QSize picture);
// min(client / picture) of both directions, display truncated. An empty picture gets
// actualSize().
Zoom fitImageToWindow(QSize picture, QSize client);
// The largest client area the frame can have on this work area.
QSize bestFitClient(const QRect& workArea, const FrameChrome& chrome);
// The zoom of the previous picture kept; recomputed from the truncated display width.
// An empty picture gets actualSize().
Zoom zoomLock(QSize picture, double lockedZoom);

// The zoom a newly shown picture gets in `mode`. `client` is the view's client size (used by
// fit image to window, and by best fit in full screen), `lockedZoom` the previous picture's zoom.
struct FitInputs {
    QSize client;
    bool fullScreen = false;
    QRect workArea;
    FrameChrome chrome;
    double lockedZoom = 1.0;
    bool operator==(const FitInputs&) const = default;
};
Zoom fitPicture(FitMode mode, QSize picture, const FitInputs& inputs);

// True when a layout sizes the frame to the picture.
bool frameSizingApplies(FitMode mode, bool maximised, bool fullScreen, bool sizingAllowed);
// The frame's outer geometry (caption and borders included) for a display of this size, at
// least 400 x 200, placed on the work area.
QRect frameRect(QSizeF display, const FrameChrome& chrome, const QRect& workArea);

// The scroll position that keeps the picture point at the client's centre there after a zoom
// step from `oldDisplay` to `newDisplay`; 0 in a direction where the new display fits.
QPoint scrollAfterZoom(QPoint oldScroll, QSizeF oldDisplay, QSizeF newDisplay, QSize client);

// Zoom to a selection given in picture pixels: the new zoom (the display unchanged when it would
// reach 32500 pixels) and the scroll position centring the selection. nullopt for an empty
// selection, picture or client.
struct SelectionZoom {
    Zoom zoom;
    QPoint scroll;
};
std::optional<SelectionZoom> zoomToSelection(const Zoom& current, QSize picture, const QRectF& selection, QSize client);

// Top-left of the picture in the client: centred where the display is smaller than the client,
// otherwise minus the scroll position.
QPoint pictureOrigin(QSize client, QSizeF display, QPoint scroll);

// True when the display is larger than the picture in both directions: such a picture is drawn
// straight from the library, only for the part being repainted.
bool isMagnified(QSizeF display, QSize picture);

// What to draw of a magnified picture for a repaint rectangle (client coordinates): `source` in
// picture pixels, `dest` in client coordinates. Picture pixel i lands at origin + i x zoom, so
// repaints of neighbouring parts line up. nullopt when nothing of the picture is repainted.
struct StretchRects {
    QRect source;
    QRect dest;
};
std::optional<StretchRects> magnifiedRects(const QRect& repaint, QSize client, const Zoom& zoom, QSize picture,
                                           QPoint scroll);

// The rubber band dragged from `anchor` to `pointer`, normalised; the pointer's own column and
// row are not part of it, so a click without a drag gives an empty band.
QRect rubberBand(QPoint anchor, QPoint pointer);
// A rubber band (client coordinates) made a selection in picture pixels: clipped to the picture's
// place in the client, less the origin, divided by the zoom. nullopt when the band misses the
// picture or covers less than one picture pixel either way.
std::optional<QRectF> bandToSelection(const QRect& band, QPoint origin, QSizeF display, double zoom);
// Where a selection's outline goes in the client: picture coordinates x zoom + origin.
QRect selectionOutline(const QRectF& selection, QPoint origin, double zoom);

// Status-bar texts.
QString positionText(int position, int count); // "3/12"
QString fileSizeText(qint64 bytes);            // "512Bytes", " 2.0KB", " 1.5MB"
QString pictureText(int width, int height, const QString& depthText, const QString& formatName);
QString zoomText(QSizeF display, QSize picture); // "100%", " 42%"; empty for an empty picture

} // namespace viewgeometry
