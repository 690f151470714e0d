// WebP files through libwebp 1.2. A still is decoded straight into its slide, the data fed to the
// decoder piece by piece so that a cancel stops it; an animation goes through the demuxer's
// animation decoder, which composites every frame onto the canvas for us.
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <memory>

#include <QStringList>

#include <webp/decode.h>
#include <webp/demux.h>

#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

// The RIFF header and the first chunk's start: the size of every kind of WebP is in there.
constexpr qsizetype kHeaderBytes = 64;
// A still is fed to its decoder in about this many pieces, none smaller than kMinFeedBytes.
constexpr size_t kFeedSteps = 32;
constexpr size_t kMinFeedBytes = 64 * 1024;
// The animation decoder keeps two canvases of its own besides every slide we copy out of it.
constexpr qint64 kAnimationCanvases = 3;

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr WEBP_CSP_MODE kOpaqueMode = MODE_BGRA;
constexpr WEBP_CSP_MODE kAlphaMode = MODE_bgrA;
constexpr WEBP_CSP_MODE kAnimationMode = MODE_bgrA;
constexpr QImage::Format kAnimationLayout = QImage::Format_ARGB32_Premultiplied;
#else
constexpr WEBP_CSP_MODE kOpaqueMode = MODE_ARGB;
constexpr WEBP_CSP_MODE kAlphaMode = MODE_Argb;
// The animation decoder writes bytes in RGBA order only; the slides are converted after the copy.
constexpr WEBP_CSP_MODE kAnimationMode = MODE_rgbA;
constexpr QImage::Format kAnimationLayout = QImage::Format_RGBA8888_Premultiplied;
#endif

const uint8_t* bytesOf(QByteArrayView data)
{
    return reinterpret_cast<const uint8_t*>(data.data());
}

// libwebp's status as the reason of a failed read.
Failure failureOf(VP8StatusCode status)
{
    switch (status) {
    case VP8_STATUS_NOT_ENOUGH_DATA:
    case VP8_STATUS_SUSPENDED:
        return Failure::truncated();
    case VP8_STATUS_OUT_OF_MEMORY:
        return Failure::outOfMemory();
    case VP8_STATUS_UNSUPPORTED_FEATURE:
        return Failure::unsupported(QStringLiteral("WebP feature"));
    default:
        return Failure::damaged();
    }
}

// For an animation the size is its canvas's, from the extended header.
VP8StatusCode readFeatures(QByteArrayView data, WebPBitstreamFeatures& features)
{
    const VP8StatusCode status = WebPGetFeatures(bytesOf(data), size_t(data.size()), &features);
    return status != VP8_STATUS_OK || (features.width > 0 && features.height > 0) ? status : VP8_STATUS_BITSTREAM_ERROR;
}

int bitsPerPixelOf(const WebPBitstreamFeatures& features)
{
    return features.has_alpha ? 32 : 24;
}

struct IncrementalDeleter {
    void operator()(WebPIDecoder* decoder) const { WebPIDelete(decoder); }
};

struct AnimationDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

bool decodeStill(QByteArrayView data, const WebPBitstreamFeatures& features, const DecodeContext& context,
                 Picture& picture)
{
    QImage slide = context.allocate(features.width, features.height,
                                    features.has_alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    WebPDecoderConfig config;
    if (slide.isNull())
        return false;
    if (!WebPInitDecoderConfig(&config))
        return context.fail(Failure::damaged());
    config.output.colorspace = features.has_alpha ? kAlphaMode : kOpaqueMode;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = slide.bits();
    config.output.u.RGBA.stride = int(slide.bytesPerLine());
    config.output.u.RGBA.size = size_t(slide.sizeInBytes());
    // The decoder writes into `config.output`, which therefore outlives it.
    const std::unique_ptr<WebPIDecoder, IncrementalDeleter> decoder(WebPIDecode(nullptr, 0, &config));
    if (!decoder)
        return context.fail(Failure::outOfMemory());
    const size_t total = size_t(data.size());
    const size_t step = std::max(kMinFeedBytes, total / kFeedSteps);
    for (size_t fed = 0; fed < total;) {
        if (!context.progress(int(fed * 100 / total)))
            return false;
        fed = std::min(fed + step, total);
        const VP8StatusCode status = WebPIUpdate(decoder.get(), bytesOf(data), fed);
        if (status == VP8_STATUS_OK) {
            picture.slides.push_back({std::move(slide), 0});
            return true;
        }
        if (status != VP8_STATUS_SUSPENDED)
            return context.fail(failureOf(status));
    }
    return context.fail(Failure::truncated()); // still waiting for data when the file ended
}

bool decodeAnimation(QByteArrayView data, const WebPBitstreamFeatures& features, const DecodeContext& context,
                     Picture& picture)
{
    // The decoder allocates its canvases as soon as it is made: the header's size is checked first.
    const int width = features.width;
    const int height = features.height;
    if (!context.allowSize(width, height))
        return false;
    if (kAnimationCanvases * width * height * 4 > limits().maxDecodedBytes)
        return context.fail(Failure::tooLarge(width, height));
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return context.fail(Failure::damaged());
    options.color_mode = kAnimationMode;
    options.use_threads = 0; // callers already decode several pictures at once
    const WebPData whole{bytesOf(data), size_t(data.size())};
    const std::unique_ptr<WebPAnimDecoder, AnimationDeleter> decoder(WebPAnimDecoderNew(&whole, &options));
    WebPAnimInfo info;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info) || info.canvas_width != uint32_t(width) ||
        info.canvas_height != uint32_t(height))
        return context.fail(Failure::damaged());

    DecodeBudget budget;
    int shownUntil = 0;
    const qsizetype frames = std::max<qsizetype>(info.frame_count, 1);
    // A damaged frame ends the animation; the frames before it are kept.
    while (WebPAnimDecoderHasMoreFrames(decoder.get())) {
        uint8_t* canvas = nullptr;
        int timestamp = 0;
        if (!WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp)) {
            context.fail(Failure::damaged());
            break;
        }
        // The canvas belongs to the decoder and changes with the next frame: the slide is a copy.
        const QImage frame(canvas, width, height, width * 4, kAnimationLayout);
        if (!budget.take(frame)) {
            context.fail(budget.refusal());
            break;
        }
        QImage slide = frame.copy();
        if (slide.isNull())
            return context.fail(Failure::outOfMemory());
        slide.convertTo(QImage::Format_ARGB32_Premultiplied);
        picture.slides.push_back({std::move(slide), timestamp - shownUntil});
        shownUntil = timestamp;
        if (!context.progress(int(qsizetype(picture.slides.size()) * 100 / frames)))
            return false;
    }
    return !picture.slides.empty() || context.fail(Failure::damaged());
}

class WebPCodec final : public Codec {
public:
    int format() const override { return kFlmWebP; }
    QString description() const override { return QStringLiteral("WebP Image"); }
    QStringList extensions() const override { return {QStringLiteral("webp")}; }

    bool sniff(QByteArrayView head) const override
    {
        return head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == "WEBP";
    }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        const QByteArrayView head = file.head(kHeaderBytes);
        WebPBitstreamFeatures features;
        if (!sniff(head) || readFeatures(head, features) != VP8_STATUS_OK)
            return false;
        info.format = kFlmWebP;
        info.width = features.width;
        info.height = features.height;
        info.bitsPerPixel = bitsPerPixelOf(features);
        return true;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* data = file.all();
        if (!data)
            return false;
        WebPBitstreamFeatures features;
        if (const VP8StatusCode status = readFeatures(*data, features); status != VP8_STATUS_OK)
            return context.fail(failureOf(status));
        picture.format = kFlmWebP;
        picture.bitsPerPixel = bitsPerPixelOf(features);
        picture.slides.clear();
        return features.has_animation ? decodeAnimation(*data, features, context, picture)
                                      : decodeStill(*data, features, context, picture);
    }
};

} // namespace

const Codec* webpCodec()
{
    static const WebPCodec codec;
    return &codec;
}

} // namespace imagelib
