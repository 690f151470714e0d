#pragma once
// The picture as the view draws it below zoom 1: scaled smoothly to its display size once, then
// only copied. The look-ahead and the loader make it on the executor, for the window and fit mode
// the picture is about to be shown in, so that the UI thread finds it ready; the view scales the
// picture itself when none was made or the window changed since.
//
// Callable from any thread, for a picture no other thread uses meanwhile.

#include <QImage>
#include <QSize>

#include "viewer/viewgeometry.h"

class CBmpEx;

// What a newly shown picture is fitted to: the fit mode and the window as measured.
struct LayoutRequest {
    viewgeometry::FitMode mode = viewgeometry::FitMode::FitWindowToImage;
    viewgeometry::FitInputs inputs;
    bool operator==(const LayoutRequest&) const = default;

    // The request with only what `mode` fits by: a change of anything else (the client in
    // zoom lock, say) leaves a prepared layout as good as it was.
    static LayoutRequest of(viewgeometry::FitMode mode, const viewgeometry::FitInputs& inputs);
};

// A picture laid out for one request: `rendered` is the picture at its display size, null when
// the fit does not shrink it (the view then draws it straight from the library).
struct PreparedLayout {
    LayoutRequest request;
    QImage rendered;
};

// The current slide scaled smoothly into a black image of `display`; null for an empty display,
// when the memory is refused, or when the picture cannot be drawn.
QImage renderDisplay(const CBmpEx& picture, QSize display);

// The layout of `picture` for `request`.
PreparedLayout prepareLayout(const CBmpEx& picture, const LayoutRequest& request);
