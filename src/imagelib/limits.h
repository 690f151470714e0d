#pragma once
// Limits every decoder checks before it allocates: hostile headers never make us allocate
// gigabytes or loop for ever.

#include <QImage>

namespace imagelib {

// The codecs' reason of a failure (codecs/failure.h, the library's own).
struct Failure;

// The program's limits, as the README's Limits section states them.
constexpr qint64 kMaxPixels = qint64(1) << 28; // per slide
constexpr int kMaxSide = 65535;
constexpr qint64 kMaxDecodedBytes = qint64(1) << 30; // all slides of one picture together
constexpr int kMaxSlides = 10000;
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

// The limits in force. The program keeps the defaults; fuzz targets and tests lower them, as the
// codec libraries' own fuzzers do, so that a hostile header within them costs little. The limits
// of the libraries underneath follow them: libtiff's largest buffer (a quarter of the decoded
// bytes), a metafile's drawing (a sixteenth of the pixels), a HEIF coded image's side (the side of
// the largest square slide) and GraphicsMagick's resources.
struct Limits {
    qint64 maxPixels = kMaxPixels;
    int maxSide = kMaxSide;
    qint64 maxDecodedBytes = kMaxDecodedBytes;
    int maxSlides = kMaxSlides;
    qint64 maxFileBytes = kMaxFileBytes;
};

const Limits& limits();
// Puts other limits in force. Only before any thread decodes: decoders read them without a lock,
// and GraphicsMagick takes its own from them once, when it is first used.
void setLimits(const Limits& limits);

// True when a slide of this size is allowed at all.
bool sizeAllowed(qint64 width, qint64 height);

// What a new image holds: whatever its memory held, or zero in every byte (transparent black)
// without that being written: the system then hands over untouched pages, so that only the rows
// a decoder draws on cost memory and time.
enum class Contents { Undefined, Clear };

// Allocates a slide image after checking the size limits; a null image when the size is not
// allowed or memory ran out.
QImage allocateImage(qint64 width, qint64 height, QImage::Format format, Contents contents = Contents::Undefined);

// "too large: more than 10,000 slides"
Failure tooManySlides();

// Keeps the decoded bytes of one picture and the number of its slides within the limits.
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
