#pragma once
// Limits every decoder checks before it allocates: hostile headers never make us allocate
// gigabytes or loop for ever.

#include <QImage>

#include "imagelib/codecs/failure.h"

namespace imagelib {

constexpr qint64 kMaxPixels = qint64(1) << 28; // per slide
constexpr int kMaxSide = 65535;
constexpr qint64 kMaxDecodedBytes = qint64(1) << 30; // all slides of one picture together
constexpr int kMaxSlides = 10000;
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

// True when a slide of this size is allowed at all.
bool sizeAllowed(qint64 width, qint64 height);

// Allocates a slide image after checking the size limits; a null image when the size is not
// allowed or memory ran out.
QImage allocateImage(qint64 width, qint64 height, QImage::Format format);

// "too large: more than 10,000 slides"
Failure tooManySlides();

// Keeps the decoded bytes of one picture under kMaxDecodedBytes and its slides under kMaxSlides.
class DecodeBudget {
public:
    // False when one more slide of this image would pass a limit.
    bool take(const QImage& slide);
    // Which limit the last refused slide would have passed.
    Failure refusal() const;

private:
    qint64 m_bytes = 0;
    int m_slides = 0;
};

} // namespace imagelib
