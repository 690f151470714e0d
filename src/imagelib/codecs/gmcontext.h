#pragma once
// GraphicsMagick as the pixel decoder of the legacy formats. It is set up once per process, on
// first use from any thread: resource limits, one worker thread per calling thread, no pixel
// cache on disk, every file, program and URL access of its own refused, and every coder but the
// few our readers name unregistered, so no content, not even a picture nested in a metafile, can
// reach a script-like coder. Both calls may be made from several threads at once; a failure
// returns false and leaves nothing allocated.

#include <vector>

#include <QByteArrayView>
#include <QSize>

#include "imagelib/codecs/codec.h"

namespace imagelib {

// The bytes of a whole file and the coder that reads them, always named: the content is never
// used to pick one.
struct GmSource {
    const char* coder = nullptr;
    QByteArrayView data;
    // Rendering resolution of vector formats in dots per inch; 0 keeps the coder's own.
    int dotsPerInch = 0;
    // First frame and number of frames to read; for Photo CD the first is the resolution index.
    // Both 0: every frame.
    unsigned long subimage = 0;
    unsigned long subrange = 0;
};

// Decodes every frame into `slides` (RGB32, ARGB32_Premultiplied for frames with alpha) within
// the slide and memory limits, reporting progress; false on any fault or when cancelled, with
// the reason recorded in `context`.
bool gmDecode(const GmSource& source, const DecodeContext& context, std::vector<Slide>& slides);

// The size of the first frame, from the coder's header pass without decoding pixels; false with
// the reason when there is none. The size is not checked against the limits.
bool gmPing(const GmSource& source, QSize& size, Failure& failure);

} // namespace imagelib
