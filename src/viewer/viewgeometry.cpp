#include "viewer/viewgeometry.h"

#include <algorithm>
#include <cstdlib>

namespace viewgeometry {

namespace {

Zoom tableStep(int index, QSize picture)
{
    const double zoom = kZoomTable[std::size_t(index)];
    return {index, zoom, QSizeF(picture.width() * zoom, picture.height() * zoom)};
}

// After a fit or a zoom to a selection the display is usually not one of the table's steps.
bool betweenSteps(const Zoom& current, QSize picture)
{
    if (current.index < 0 || current.index > kLastZoomIndex)
        return true;
    return int(current.display.width() - kZoomTable[std::size_t(current.index)] * picture.width()) != 0;
}

// The first step larger than the display, measured along the display's longer side.
int firstStepAbove(QSizeF display, QSize picture)
{
    const bool wide = display.width() > display.height();
    const double shown = wide ? display.width() : display.height();
    const int side = wide ? picture.width() : picture.height();
    for (int i = 0; i < kLastZoomIndex; ++i) {
        if (kZoomTable[std::size_t(i)] * side > shown)
            return i;
    }
    return kLastZoomIndex;
}

// One direction of the scroll position after a zoom step.
int keepCentre(int oldScroll, int client, double newDisplay, double ratio)
{
    if (int(newDisplay) <= client)
        return 0;
    return std::max(0, int(((oldScroll * 2.0 + client) * ratio - client) / 2.0));
}

// One direction of the scroll position that centres a selection.
int centreSelection(double start, double extent, double zoom, double display, int client)
{
    if (int(display) < client)
        return 0;
    return std::max(0, int(zoom * start) - (client - int(extent * zoom)) / 2);
}

int originAlong(int client, double display, int scroll)
{
    const int shown = int(display);
    return client > shown ? (client - shown) / 2 : -scroll;
}

// One direction of a magnified repaint: the span [first, end) of client pixels to repaint becomes
// whole picture pixels. Where the display fits the client the whole picture side is drawn at
// the centred origin.
struct Span {
    int sourceStart;
    int sourceEnd;
    int destStart;
    int destEnd;
};

Span magnifiedSpan(int first, int end, int origin, int client, double display, double zoom, int side)
{
    const int shown = int(display);
    if (shown <= client)
        return {0, side, origin, origin + shown};
    const int sourceStart = int((first - origin) / zoom);
    const int sourceEnd = std::min(side, int((end - origin) / zoom) + 1);
    return {sourceStart, sourceEnd, origin + int(sourceStart * zoom), origin + int(sourceEnd * zoom)};
}

} // namespace

std::optional<Zoom> zoomIn(const Zoom& current, QSize picture)
{
    if (picture.isEmpty())
        return std::nullopt;
    const int shownWidth = int(current.display.width());
    const int shownHeight = int(current.display.height());
    if (shownWidth > 5 * picture.width() && shownHeight >= 5 * picture.height())
        return std::nullopt;
    if (current.index >= kLastZoomIndex)
        return std::nullopt;
    const int next = betweenSteps(current, picture) ? firstStepAbove(current.display, picture) : current.index + 1;
    return tableStep(next, picture);
}

std::optional<Zoom> zoomOut(const Zoom& current, QSize picture)
{
    if (picture.isEmpty())
        return std::nullopt;
    const int shownWidth = int(current.display.width());
    const int shownHeight = int(current.display.height());
    if (shownWidth < 2 * (picture.width() / 10) && shownHeight < 2 * (picture.height() / 10))
        return std::nullopt;
    if (current.index <= 0)
        return std::nullopt;
    int next = current.index - 1;
    if (betweenSteps(current, picture)) {
        const int above = firstStepAbove(current.display, picture);
        const bool withinTable = kZoomTable[kLastZoomIndex] * picture.width() >= current.display.width();
        next = std::max(0, withinTable ? above - 1 : above);
    }
    return tableStep(next, picture);
}

Zoom actualSize(QSize picture)
{
    return tableStep(kActualSizeIndex, picture.expandedTo(QSize(0, 0)));
}

Zoom fitImageToWindow(QSize picture, QSize client)
{
    if (picture.isEmpty())
        return actualSize(picture);
    const double zoom = std::min(double(client.width()) / picture.width(), double(client.height()) / picture.height());
    return {kActualSizeIndex, zoom, QSizeF(int(picture.width() * zoom), int(picture.height() * zoom))};
}

QSize bestFitClient(const QRect& workArea, const FrameChrome& chrome)
{
    const int right = workArea.x() + workArea.width();
    const int bottom = workArea.y() + workArea.height();
    const int width = right - 4 * chrome.borderX;
    const int height = bottom - 4 * chrome.borderY - chrome.toolbarHeight - chrome.statusBarHeight -
                       chrome.captionHeight - chrome.menuHeight - 1;
    return QSize(std::max(0, width), std::max(0, height));
}

Zoom zoomLock(QSize picture, double lockedZoom)
{
    if (picture.isEmpty())
        return actualSize(picture);
    const QSizeF display(int(picture.width() * lockedZoom), int(picture.height() * lockedZoom));
    return {kActualSizeIndex, display.width() / picture.width(), display};
}

Zoom fitPicture(FitMode mode, QSize picture, const FitInputs& inputs)
{
    switch (mode) {
    case FitMode::FitImageToWindow:
        return fitImageToWindow(picture, inputs.client);
    case FitMode::BestFit:
        return fitImageToWindow(picture,
                                inputs.fullScreen ? inputs.client : bestFitClient(inputs.workArea, inputs.chrome));
    case FitMode::ZoomLock:
        return zoomLock(picture, inputs.lockedZoom);
    case FitMode::FitWindowToImage:
        break;
    }
    return actualSize(picture);
}

bool frameSizingApplies(FitMode mode, bool maximised, bool fullScreen, bool sizingAllowed)
{
    return mode != FitMode::FitImageToWindow && !maximised && !fullScreen && sizingAllowed;
}

QRect frameRect(QSizeF display, const FrameChrome& chrome, const QRect& workArea)
{
    const int w = int(display.width()) + 4 * chrome.borderY;
    const int h = int(display.height()) + 4 * chrome.borderX + chrome.toolbarHeight + chrome.statusBarHeight +
                  chrome.captionHeight + chrome.menuHeight;
    const int l = workArea.x();
    const int t = workArea.y();
    const int r = workArea.x() + workArea.width();
    const int b = workArea.y() + workArea.height();

    // The nine rows of the sizing table, by the frame's width (narrower than the minimum, within
    // the work area, wider) and height (the same three bands).
    const int low = (b - kMinFrameHeight) / 2;
    const int mid = (b - h) / 2;
    if (w < kMinFrameWidth) {
        const int x = (r - kMinFrameWidth) / 2;
        if (h < kMinFrameHeight)
            return QRect(x, low, kMinFrameWidth, kMinFrameHeight);
        if (h < b)
            return QRect(x, mid, kMinFrameWidth, h + 2);
        return QRect(x, t + 1, kMinFrameWidth, b - 1);
    }
    if (w < r) {
        const int x = (r - w) / 2;
        if (h < kMinFrameHeight)
            return QRect(x, low, w, kMinFrameHeight);
        if (h < b)
            return QRect(x, mid, w, h + 2);
        return QRect(x, t, w, b);
    }
    if (h < kMinFrameHeight)
        return QRect(l + 1, low, r - 1, kMinFrameHeight);
    if (h < b)
        return QRect(l + 1, mid, r + 1, h);
    return QRect(l + 1, t + 1, r - 1, b - 1);
}

QPoint scrollAfterZoom(QPoint oldScroll, QSizeF oldDisplay, QSizeF newDisplay, QSize client)
{
    if (oldDisplay.height() <= 0)
        return QPoint(0, 0);
    const double ratio = newDisplay.height() / oldDisplay.height();
    return QPoint(keepCentre(oldScroll.x(), client.width(), newDisplay.width(), ratio),
                  keepCentre(oldScroll.y(), client.height(), newDisplay.height(), ratio));
}

std::optional<SelectionZoom> zoomToSelection(const Zoom& current, QSize picture, const QRectF& selection, QSize client)
{
    if (picture.isEmpty() || client.isEmpty() || selection.width() <= 0 || selection.height() <= 0)
        return std::nullopt;
    const double ratio = std::min(client.height() / selection.height(), client.width() / selection.width());
    SelectionZoom result{current, QPoint()};
    const QSizeF display(picture.width() * ratio, picture.height() * ratio);
    if (display.width() < kMaxSelectionDisplay && display.height() < kMaxSelectionDisplay) {
        result.zoom.display = display;
        result.zoom.zoom = ratio;
    }
    const Zoom& zoom = result.zoom;
    result.scroll =
        QPoint(centreSelection(selection.left(), selection.width(), zoom.zoom, zoom.display.width(), client.width()),
               centreSelection(selection.top(), selection.height(), zoom.zoom, zoom.display.height(), client.height()));
    return result;
}

QPoint pictureOrigin(QSize client, QSizeF display, QPoint scroll)
{
    return QPoint(originAlong(client.width(), display.width(), scroll.x()),
                  originAlong(client.height(), display.height(), scroll.y()));
}

bool isMagnified(QSizeF display, QSize picture)
{
    return display.width() > picture.width() && display.height() > picture.height();
}

std::optional<StretchRects> magnifiedRects(const QRect& repaint, QSize client, const Zoom& zoom, QSize picture,
                                           QPoint scroll)
{
    if (picture.isEmpty() || zoom.zoom <= 0)
        return std::nullopt;
    const QPoint origin = pictureOrigin(client, zoom.display, scroll);
    const QRect shown(origin, QSize(int(zoom.display.width()), int(zoom.display.height())));
    const QRect area = repaint & shown;
    if (area.isEmpty())
        return std::nullopt;
    const Span across = magnifiedSpan(area.left(), area.left() + area.width(), origin.x(), client.width(),
                                      zoom.display.width(), zoom.zoom, picture.width());
    const Span down = magnifiedSpan(area.top(), area.top() + area.height(), origin.y(), client.height(),
                                    zoom.display.height(), zoom.zoom, picture.height());
    if (across.sourceEnd <= across.sourceStart || down.sourceEnd <= down.sourceStart)
        return std::nullopt;
    return StretchRects{
        QRect(QPoint(across.sourceStart, down.sourceStart), QPoint(across.sourceEnd - 1, down.sourceEnd - 1)),
        QRect(QPoint(across.destStart, down.destStart), QPoint(across.destEnd - 1, down.destEnd - 1))};
}

QRect rubberBand(QPoint anchor, QPoint pointer)
{
    const QPoint topLeft(std::min(anchor.x(), pointer.x()), std::min(anchor.y(), pointer.y()));
    return QRect(topLeft, QSize(std::abs(pointer.x() - anchor.x()), std::abs(pointer.y() - anchor.y())));
}

std::optional<QRectF> bandToSelection(const QRect& band, QPoint origin, QSizeF display, double zoom)
{
    if (zoom <= 0)
        return std::nullopt;
    const QRect shown(origin, QSize(int(display.width()), int(display.height())));
    const QRect clipped = band & shown;
    if (clipped.isEmpty())
        return std::nullopt;
    const QRectF selection((clipped.x() - origin.x()) / zoom, (clipped.y() - origin.y()) / zoom, clipped.width() / zoom,
                           clipped.height() / zoom);
    if (selection.width() < 1 || selection.height() < 1)
        return std::nullopt;
    return selection;
}

QRect selectionOutline(const QRectF& selection, QPoint origin, double zoom)
{
    const QPoint topLeft(int(selection.left() * zoom), int(selection.top() * zoom));
    const QPoint bottomRight(int(selection.right() * zoom), int(selection.bottom() * zoom));
    return QRect(topLeft + origin, bottomRight + origin - QPoint(1, 1));
}

QString positionText(int position, int count)
{
    return QString::asprintf("%d/%d", position, count);
}

QString fileSizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QString::asprintf("%uBytes", unsigned(std::max<qint64>(0, bytes)));
    if (bytes <= 1048575)
        return QString::asprintf("%4.1fKB", double(bytes) / 1024.0);
    return QString::asprintf("%4.1fMB", double(bytes) / 1048576.0);
}

QString pictureText(int width, int height, const QString& depthText, const QString& formatName)
{
    return QStringLiteral("%1x%2x%3 %4").arg(width).arg(height).arg(depthText, formatName);
}

QString zoomText(QSizeF display, QSize picture)
{
    if (picture.width() <= 0)
        return QString();
    return QString::asprintf("%3.0f%%", display.width() * 10 / picture.width() * 10);
}

} // namespace viewgeometry
