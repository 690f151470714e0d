#include "viewer/pictureops.h"

#include "core/commands.h"
#include "imagelib/cbmpex.h"
#include "imagelib/flm.h"

namespace pictureops {

namespace {

FlmRect toFlmRect(const QRect& rect)
{
    return FlmRect{rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

} // namespace

bool transform(CBmpEx& picture, int command)
{
    FLMHANDLE handle = picture.handle();
    switch (command) {
    case cmd::kRotateLeft:
        flmRotate(handle, -90.0, 0, 0, -1);
        return true;
    case cmd::kRotateRight:
        flmRotate(handle, 90.0, 0, 0, -1);
        return true;
    case cmd::kTurnAround:
        flmMirror(handle, 1, 1, 0, -1);
        return true;
    case cmd::kMirror:
        flmMirror(handle, 0, 1, 0, -1);
        return true;
    case cmd::kFlipVertical:
        flmMirror(handle, 1, 0, 0, -1);
        return true;
    default:
        return false;
    }
}

bool crop(CBmpEx& picture, const QRectF& cut, int slides)
{
    return flmCrop(picture.handle(), int(cut.left()), int(cut.top()), int(cut.right() - cut.left()),
                   int(cut.bottom() - cut.top()), 0, slides) == 0;
}

int slideCount(const CBmpEx& picture)
{
    int slides = 0;
    flmGetSlidesNumber(picture.handle(), &slides);
    return slides;
}

std::optional<int> currentSlideDelay(const CBmpEx& picture)
{
    FLMHANDLE handle = picture.handle();
    int slide = 0;
    int delay = 0;
    if (flmGetCurrentSlide(handle, &slide) != 0 || flmGetDelay(handle, slide, &delay) != 0)
        return std::nullopt;
    return delay;
}

void nextSlide(CBmpEx& picture)
{
    if (flmNext(picture.handle()) != 0)
        flmFirst(picture.handle());
}

void firstSlide(CBmpEx& picture)
{
    flmFirst(picture.handle());
}

void draw(const CBmpEx& picture, QPainter& painter, const QRect& dest, const QRect* source)
{
    const FlmRect to = toFlmRect(dest);
    if (!source) {
        flmStretchPlay(picture.handle(), &painter, &to, nullptr);
        return;
    }
    const FlmRect from = toFlmRect(*source);
    flmStretchPlay(picture.handle(), &painter, &to, &from);
}

} // namespace pictureops
