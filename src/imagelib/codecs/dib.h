#pragma once
// Device-independent bitmaps as icons and metafiles carry them: an info header with its colour
// masks and palette, then the pixel rows, without the file header of a .bmp. The BMP reader
// decodes them, so every variant it knows (1 to 32 bits, bit fields, RLE4/8) works here too.

#include <QByteArrayView>
#include <QImage>

namespace imagelib {

class DecodeContext;

enum class DibKind {
    Bitmap,
    // The header's height counts the rows of the AND mask after the colour rows too, and the
    // fourth byte of 32-bit pixels is alpha (unless it is zero everywhere).
    Icon,
};

struct DibLayout {
    int width = 0;
    int height = 0; // colour rows only, for icons as well
    int bits = 0;
    qsizetype colourBytes = 0; // info header, masks and whole palette: where pixels that follow start
    qsizetype pixelBytes = 0;  // padded colour rows; 0 for run-length data, whose size varies
};

// Reads the info header at the start of `info`; false when it is not one we decode or `info` is
// shorter than the header and its masks. The palette is not checked: decodeDib accepts a short
// one, so a caller that looks for pixels after it checks colourBytes against what it has.
bool readDibLayout(QByteArrayView info, DibKind kind, DibLayout& layout);

// Decodes `pixels` as the rows `info` describes into a Format_RGB32 or (with alpha)
// Format_ARGB32_Premultiplied image. A short palette leaves the missing entries black; pixels
// that do not reach the last row are a fault. Fails when the context's progress cancels.
bool decodeDib(QByteArrayView info, QByteArrayView pixels, DibKind kind, const DecodeContext& context, QImage& out);

} // namespace imagelib
