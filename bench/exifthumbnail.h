#pragma once
// Where a camera JPEG keeps its EXIF thumbnail, found the simple way the benchmarks need: the
// embedded JPEG that the APP1 EXIF segment holds. Independent of the image library, so that the
// benches can sort and time files without asking the code they measure.

#include <QByteArrayView>

namespace bench {

// The first 64 KiB of a file hold every marker segment before the first scan of a camera JPEG.
constexpr qsizetype kExifScanBytes = 65536;

// True when `head` starts like a JPEG file.
bool isJpeg(QByteArrayView head);

// The embedded JPEG of the APP1 EXIF segment in `head` (the file's first bytes), from its start
// of image to the segment's end; empty when there is none.
QByteArrayView exifThumbnail(QByteArrayView head);

} // namespace bench
