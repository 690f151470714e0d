#pragma once
// A bounds-checked reader of the few EXIF fields the library uses: the orientation of the
// picture and the place of the JPEG thumbnail a camera embeds. It reads untrusted bytes and
// never reads outside the block it is given; hostile offsets and counts only make it find less.
// Stateless: any thread may call it.

#include <QByteArrayView>
#include <QImage>

namespace imagelib {

struct ExifInfo {
    // The orientation tag (1..8); 1 (upright) when it is missing or out of range.
    int orientation = 1;
    // The bytes of the IFD1 JPEG thumbnail inside the block that was read; empty when there is
    // none or it does not lie wholly inside the block.
    QByteArrayView thumbnail;
};

// Reads an APP1 payload: "Exif\0\0" followed by a TIFF structure. False when the block is not
// one; `info` then keeps its defaults.
bool readExif(QByteArrayView app1, ExifInfo& info);

// True for the orientations that turn the stored picture by a quarter (5..8), which swaps its
// width and height on screen.
bool orientationSwapsSides(int orientation);

// The stored picture turned so that it shows upright for this orientation.
QImage orientImage(QImage image, int orientation);

} // namespace imagelib
