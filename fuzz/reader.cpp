// One reader of the image library under libFuzzer: recognise, readHeader and decode of the format
// PIXORIA_FUZZ_FORMAT, the input posing as "fuzz.PIXORIA_FUZZ_EXTENSION". Compiled once per
// format; a format whose reader has not landed yet returns at once. PIXORIA_FUZZ_REDUCED adds a
// thumbnail-sized decode of every input.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <QByteArray>
#include <QSize>
#include <QString>

#include "imagelib/codecs/codec.h"
#include "imagelib/limits.h"
#include "support.h"

using namespace imagelib;

namespace {

constexpr int kFormat = PIXORIA_FUZZ_FORMAT;
// Thumbnail-sized requests take other paths in readers that decode smaller pictures.
constexpr QSize kThumbnail(66, 66);

bool allowedSlideFormat(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied ||
           format == QImage::Format_Grayscale8;
}

void decode(const Codec& codec, const QByteArray& input, QSize targetSize)
{
    SourceFile file(input, QStringLiteral("fuzz." PIXORIA_FUZZ_EXTENSION));
    fuzz::ProgressRule rule(input);
    DecodeContext context;
    context.targetSize = targetSize;
    context.onProgress = [&rule](int percent) { return rule.report(percent); };
    Picture picture;
    if (!codec.decode(file, context, picture))
        return;
    fuzz::require(picture.format == kFormat, "decoded picture reports another format");
    fuzz::require(picture.slides.size() <= size_t(limits().maxSlides), "more slides than the limit");
    for (const Slide& slide : picture.slides) {
        if (slide.image.isNull())
            continue; // the caller refuses the picture; not a fault of the codec's own
        fuzz::require(allowedSlideFormat(slide.image.format()), "slide of another QImage format");
        fuzz::require(sizeAllowed(slide.image.width(), slide.image.height()), "slide over the size limits");
    }
}

} // namespace

// scripts/fuzz.sh looks for this line and does not spend its time on such a target.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::lowerLimits();
    if (!codecForFormat(kFormat))
        std::fprintf(stderr, "pixoria-fuzz: no reader for format %d\n", kFormat);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const Codec* const codec = codecForFormat(kFormat);
    if (!codec)
        return 0;
    const QByteArray input = fuzz::bytesOf(data, size).toByteArray();
    {
        SourceFile file(input, QStringLiteral("fuzz." PIXORIA_FUZZ_EXTENSION));
        codec->recognise(file.head(kSniffBytes), QStringLiteral(PIXORIA_FUZZ_EXTENSION));
        HeaderInfo info;
        if (codec->readHeader(file, info))
            fuzz::require(info.format == kFormat, "header reports another format");
    }
    decode(*codec, input, QSize());
    if constexpr (PIXORIA_FUZZ_REDUCED)
        decode(*codec, input, kThumbnail);
    return 0;
}
