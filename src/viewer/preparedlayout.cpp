#include "viewer/preparedlayout.h"

#include <QPainter>

#include "imagelib/cbmpex.h"
#include "imagelib/limits.h"

LayoutRequest LayoutRequest::of(viewgeometry::FitMode mode, const viewgeometry::FitInputs& inputs)
{
    using viewgeometry::FitMode;
    LayoutRequest request{mode, {}};
    viewgeometry::FitInputs& kept = request.inputs;
    switch (mode) {
    case FitMode::FitImageToWindow:
        kept.client = inputs.client;
        break;
    case FitMode::BestFit:
        kept.fullScreen = inputs.fullScreen;
        if (inputs.fullScreen) {
            kept.client = inputs.client;
        } else {
            kept.workArea = inputs.workArea;
            kept.chrome = inputs.chrome;
        }
        break;
    case FitMode::ZoomLock:
        kept.lockedZoom = inputs.lockedZoom;
        break;
    case FitMode::FitWindowToImage:
        break;
    }
    return request;
}

QImage renderDisplay(const CBmpEx& picture, QSize display)
{
    if (display.isEmpty())
        return {};
    QImage rendered = imagelib::allocateImage(display.width(), display.height(), QImage::Format_RGB32);
    if (rendered.isNull())
        return {};
    // Transparent parts show the view's black.
    rendered.fill(Qt::black);
    QPainter painter(&rendered);
    const bool drawn = picture.drawScaled(&painter, QRect(QPoint(0, 0), display));
    painter.end();
    return drawn ? rendered : QImage();
}

PreparedLayout prepareLayout(const CBmpEx& picture, const LayoutRequest& request)
{
    PreparedLayout layout{request, {}};
    const viewgeometry::Zoom zoom =
        viewgeometry::fitPicture(request.mode, picture.GetSize().expandedTo(QSize(0, 0)), request.inputs);
    if (zoom.zoom < 1.0)
        layout.rendered = renderDisplay(picture, QSize(int(zoom.display.width()), int(zoom.display.height())));
    return layout;
}
