#pragma once
// What the hand-written writers share: words in either byte order, and the rows of a 24-bit
// picture in the blue-green-red order of Windows bitmaps and Targa files.

#include <QByteArray>
#include <QImage>
#include <QtEndian>

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

} // namespace imagelib::writerutil
