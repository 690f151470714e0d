#pragma once
// What the hand-written writers share: words in either byte order, the rows of a 24-bit picture
// in the blue-green-red order of Windows bitmaps and Targa files, and the reasons a picture
// cannot be written in a format.

#include <QByteArray>
#include <QImage>
#include <QtEndian>

#include "imagelib/codecs/codec.h"

namespace imagelib::writerutil {

template <typename Word> void appendLittle(QByteArray& bytes, Word value)
{
    char stored[sizeof(Word)];
    qToLittleEndian(value, stored);
    bytes.append(stored, sizeof stored);
}

template <typename Word> void appendBig(QByteArray& bytes, Word value)
{
    char stored[sizeof(Word)];
    qToBigEndian(value, stored);
    bytes.append(stored, sizeof stored);
}

// Overwrites row `y` of an RGB32 or ARGB32 image into `target` as blue, green, red (and alpha
// when `withAlpha`); `target` holds at least width * (3 or 4) bytes.
inline void toBgr(const QImage& image, int y, bool withAlpha, char* target)
{
    const auto* source = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
        *target++ = char(qBlue(source[x]));
        *target++ = char(qGreen(source[x]));
        *target++ = char(qRed(source[x]));
        if (withAlpha)
            *target++ = char(qAlpha(source[x]));
    }
}

// "too large: over 65,535 pixels a side for Targa"
inline Failure tooLargeFor(const char* format, const QString& limit)
{
    return Failure::tooLarge(QStringLiteral("over %1 for %2").arg(limit, QLatin1String(format)));
}

// Whether `image`, the picture converted for a format, was made: a conversion gives a null image
// when memory runs out, which is then the reason of the failure.
inline bool converted(const SaveRequest& request, const QImage& image)
{
    return !image.isNull() || request.fail(Failure::outOfMemory());
}

// Whether `image`, the picture converted for a format whose sides stop at `maxSide`, can be
// written; if not, the reason goes to the request.
inline bool writable(const SaveRequest& request, const QImage& image, qint64 maxSide, const char* format)
{
    if (!converted(request, image))
        return false;
    if (image.width() > maxSide || image.height() > maxSide)
        return request.fail(tooLargeFor(format, QStringLiteral("%1 pixels a side").arg(countText(maxSide))));
    return true;
}

} // namespace imagelib::writerutil
