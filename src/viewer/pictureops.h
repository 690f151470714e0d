#pragma once
// The image-library calls the viewer makes on the picture it shows, in one place until CBmpEx
// offers them: the five transforms, the crop, the slides of an animation and drawing. Each takes
// the picture's handle as it is; one that fails leaves the picture as it was. Whoever uses the
// picture calls them (the viewer: the UI thread).

#include <optional>

#include <QRect>
#include <QRectF>

class CBmpEx;
class QPainter;

namespace pictureops {

// Turns the picture for one of the transform commands (rotate left or right, turn around,
// mirror, flip); false for any other command id, which leaves it alone.
bool transform(CBmpEx& picture, int command);
// Cuts `slides` slides to `cut` (picture pixels, the fractions dropped); false when the library
// refused, for instance because the cut leaves the picture.
bool crop(CBmpEx& picture, const QRectF& cut, int slides);

// The number of slides; 0 when the library cannot tell.
int slideCount(const CBmpEx& picture);
// How long the current slide is to be shown, in milliseconds; nullopt when unknown.
std::optional<int> currentSlideDelay(const CBmpEx& picture);
// The following slide, the first one after the last.
void nextSlide(CBmpEx& picture);
void firstSlide(CBmpEx& picture);

// Draws the current slide's `source` (picture pixels; the whole slide when null) into `dest`.
void draw(const CBmpEx& picture, QPainter& painter, const QRect& dest, const QRect* source = nullptr);

} // namespace pictureops
