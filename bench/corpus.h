#pragma once
// The thumbnail benchmark's picture folder: camera-like JPEGs written with libjpeg-turbo.
//
// makeCorpus writes IMG_0001.JPG .. IMG_<count>.JPG into dir (made when missing): 4000 x 3000,
// quality 90, 4:2:0, smooth colour fields with hard-edged shapes and sensor noise, about 3 MB
// each. Every file starts with an EXIF block (Orientation 1); the even-numbered ones also carry a
// 160 x 120 JPEG thumbnail in IFD1, as cameras write it. The same count gives byte-identical files
// with the same libjpeg-turbo and C library. Each file appears under its name only once it is
// complete. Returns false, with a message on the standard error, when a file cannot be written.

#include <QString>

namespace bench {

constexpr int kCorpusWidth = 4000;
constexpr int kCorpusHeight = 3000;
constexpr int kCorpusThumbnailWidth = 160;
constexpr int kCorpusThumbnailHeight = 120;

// The file name of picture `index` (1-based).
QString corpusFileName(int index);

bool makeCorpus(const QString& dir, int count);

} // namespace bench
