// HEIF and AVIF files through libheif 1.15: the primary image, turned and mirrored as the file
// asks, alpha kept. The brands of the file type box tell the two apart; a format whose decoder this
// libheif lacks is not offered at all.
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include <QStringList>
#include <QtEndian>

#include <libheif/heif.h>

#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

// Size, type, major brand and minor version come before the compatible brands.
constexpr qsizetype kFileTypeHeaderBytes = 16;

// Brands of pictures coded with HEVC, and with AV1; each codec reads the files of one family.
constexpr const char* kHevcBrands[] = {"heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs"};
constexpr const char* kAv1Brands[] = {"avif", "avis"};

// The coding a brand stands for; heif_compression_undefined for brands of neither family.
heif_compression_format familyOfBrand(QByteArrayView brand)
{
    const auto named = [brand](const char* candidate) { return brand == QByteArrayView(candidate, 4); };
    if (std::any_of(std::begin(kHevcBrands), std::end(kHevcBrands), named))
        return heif_compression_HEVC;
    if (std::any_of(std::begin(kAv1Brands), std::end(kAv1Brands), named))
        return heif_compression_AV1;
    return heif_compression_undefined;
}

// The family the file type box that opens the file names: by the major brand, or for the generic
// image brand by the first compatible brand of either family.
heif_compression_format familyOf(QByteArrayView head)
{
    if (head.size() < kFileTypeHeaderBytes || head.sliced(4, 4) != "ftyp")
        return heif_compression_undefined;
    const qsizetype boxSize = qFromBigEndian<quint32>(head.data());
    if (boxSize < kFileTypeHeaderBytes)
        return heif_compression_undefined;
    const QByteArrayView major = head.sliced(8, 4);
    if (major != "mif1")
        return familyOfBrand(major);
    const qsizetype end = std::min(boxSize, head.size());
    for (qsizetype at = kFileTypeHeaderBytes; at + 4 <= end; at += 4) {
        const heif_compression_format family = familyOfBrand(head.sliced(at, 4));
        if (family != heif_compression_undefined)
            return family;
    }
    return heif_compression_undefined;
}

// Whether a top-level box of the file runs past its end: libheif reads the boxes that are whole
// and then misses what the cut one held, which is the cut's doing rather than damage.
bool boxPastEnd(QByteArrayView data)
{
    qint64 at = 0;
    while (at + 8 <= data.size()) {
        quint64 size = qFromBigEndian<quint32>(data.data() + at);
        if (size == 1) { // a 64-bit size follows the type
            if (at + 16 > data.size())
                return true;
            size = qFromBigEndian<quint64>(data.data() + at + 8);
        } else if (size == 0) { // the box runs to the end of the file
            return false;
        }
        if (size < 8 || size > quint64(data.size() - at))
            return size >= 8;
        at += qint64(size);
    }
    return at < data.size();
}

bool hasDecoder(heif_compression_format family)
{
    // Initialising loads libheif's plugins; it stays initialised for the life of the process.
    static const bool initialised = heif_init(nullptr).code == heif_error_Ok;
    return initialised && heif_have_decoder_for_format(family) != 0;
}

// Frees a libheif object through its release function.
template <auto release> struct Releaser {
    template <typename Object> void operator()(Object* object) const { release(object); }
};
using HandlePointer = std::unique_ptr<heif_image_handle, Releaser<heif_image_handle_release>>;

// libheif refuses stored sizes past this before it allocates anything for them. Its limit applies
// to every coded image (grid tiles and hidden images too) and to each side alone, so it is the
// side of the largest square picture we accept (16,384): a primary image within our limits can
// then never hide a coded image that needs gigabytes of planes.
int maxCodedSide()
{
    return int(std::sqrt(double(limits().maxPixels)));
}

// libheif's error as the reason of a failed read.
Failure failureOf(const heif_error& error)
{
    if (error.subcode == heif_suberror_Security_limit_exceeded)
        return Failure::tooLarge(QStringLiteral("coded image over %1 pixels a side").arg(countText(maxCodedSide())));
    switch (error.code) {
    case heif_error_Ok:
        return {};
    case heif_error_Invalid_input:
        return error.subcode == heif_suberror_End_of_data ? Failure::truncated() : Failure::damaged();
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
        return Failure::unsupported(QStringLiteral("HEIF: ") + QString::fromUtf8(error.message));
    case heif_error_Memory_allocation_error:
        return Failure::outOfMemory();
    default:
        return Failure::damaged();
    }
}

// The primary image of the file in `data`, which must outlive the handle (the handle keeps the
// parsed container alive); null with the reason when libheif refuses the container. The reason is
// taken while the context lives: libheif's message is the context's own.
HandlePointer openPrimary(const QByteArray& data, Failure& failure)
{
    const std::unique_ptr<heif_context, Releaser<heif_context_free>> context(heif_context_alloc());
    failure = Failure::outOfMemory();
    if (!context)
        return nullptr;
    heif_context_set_maximum_image_size_limit(context.get(), maxCodedSide());
    heif_image_handle* handle = nullptr;
    heif_error error =
        heif_context_read_from_memory_without_copy(context.get(), data.constData(), size_t(data.size()), nullptr);
    if (error.code == heif_error_Ok)
        error = heif_context_get_primary_image_handle(context.get(), &handle);
    failure = failureOf(error);
    return HandlePointer(error.code == heif_error_Ok ? handle : nullptr);
}

int bitsPerPixelOf(const heif_image_handle* handle)
{
    const int luma = heif_image_handle_get_luma_bits_per_pixel(handle);
    return (luma > 0 ? luma : 8) * (heif_image_handle_has_alpha_channel(handle) ? 4 : 3);
}

// Copies libheif's interleaved 8-bit RGB or RGBA rows into a slide.
QImage slideOf(const heif_image* image, bool alpha, bool premultiplied, const DecodeContext& context)
{
    const int width = heif_image_get_width(image, heif_channel_interleaved);
    const int height = heif_image_get_height(image, heif_channel_interleaved);
    const int channels = alpha ? 4 : 3;
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    if (!plane || heif_image_get_bits_per_pixel(image, heif_channel_interleaved) != 8 * channels ||
        stride < width * channels) {
        context.fail(Failure::damaged());
        return {};
    }
    QImage slide = context.allocate(width, height, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (slide.isNull())
        return {};
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = plane + qsizetype(y) * stride;
        auto* out = reinterpret_cast<QRgb*>(slide.scanLine(y));
        for (int x = 0; x < width; ++x, in += channels) {
            const QRgb pixel = qRgba(in[0], in[1], in[2], alpha ? in[3] : 255);
            out[x] = alpha && !premultiplied ? qPremultiply(pixel) : pixel;
        }
    }
    return slide;
}

class HeifFamilyCodec final : public Codec {
public:
    HeifFamilyCodec(int format, QString description, QStringList extensions, heif_compression_format family)
        : m_format(format), m_description(std::move(description)), m_extensions(std::move(extensions)), m_family(family)
    {
    }

    bool offered() const { return hasDecoder(m_family); }

    int format() const override { return m_format; }
    QString description() const override { return m_description; }
    QStringList extensions() const override { return m_extensions; }
    bool sniff(QByteArrayView head) const override { return familyOf(head) == m_family; }

    // libheif describes the primary image from the container alone, but it wants the whole file to
    // check that every item's data lies inside it.
    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        const QByteArray* data = file.all();
        if (!data || !sniff(*data))
            return false;
        Failure failure;
        const HandlePointer handle = openPrimary(*data, failure);
        if (!handle)
            return false;
        info.format = m_format;
        info.width = heif_image_handle_get_width(handle.get());
        info.height = heif_image_handle_get_height(handle.get());
        info.bitsPerPixel = bitsPerPixelOf(handle.get());
        return info.width > 0 && info.height > 0;
    }

    // libheif 1.15 cannot be stopped inside a decode: a cancel takes effect once it returns.
    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* data = file.all();
        if (!data)
            return false;
        if (!sniff(*data))
            return context.fail(Failure::truncated());
        Failure failure;
        const HandlePointer handle = openPrimary(*data, failure);
        if (!handle)
            return context.fail(boxPastEnd(*data) ? Failure::truncated() : failure);
        if (!context.progress(0))
            return false;
        // The decoder sizes its planes by the stored size: that is what is checked before it runs.
        const int width = heif_image_handle_get_width(handle.get());
        const int height = heif_image_handle_get_height(handle.get());
        if (!context.allowSize(width, height))
            return false;
        const std::unique_ptr<heif_decoding_options, Releaser<heif_decoding_options_free>> options(
            heif_decoding_options_alloc());
        if (!options)
            return context.fail(Failure::outOfMemory());
        options->convert_hdr_to_8bit = 1;
        const bool alpha = heif_image_handle_has_alpha_channel(handle.get());
        heif_image* decoded = nullptr;
        const heif_error error =
            heif_decode_image(handle.get(), &decoded, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
        if (error.code != heif_error_Ok)
            return context.fail(failureOf(error));
        const std::unique_ptr<heif_image, Releaser<heif_image_release>> image(decoded);
        if (!context.progress(90))
            return false;
        QImage slide = slideOf(image.get(), alpha, heif_image_handle_is_premultiplied_alpha(handle.get()), context);
        if (slide.isNull())
            return false;
        picture.slides.clear();
        picture.slides.push_back({std::move(slide), 0});
        picture.format = m_format;
        picture.bitsPerPixel = bitsPerPixelOf(handle.get());
        return true;
    }

private:
    int m_format;
    QString m_description;
    QStringList m_extensions;
    heif_compression_format m_family;
};

const Codec* offeredOrAbsent(const HeifFamilyCodec& codec)
{
    return codec.offered() ? &codec : absentCodec();
}

} // namespace

const Codec* heifCodec()
{
    static const HeifFamilyCodec codec(kFlmHeif, QStringLiteral("HEIF Image"),
                                       {QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("hif")},
                                       heif_compression_HEVC);
    return offeredOrAbsent(codec);
}

const Codec* avifCodec()
{
    static const HeifFamilyCodec codec(kFlmAvif, QStringLiteral("AVIF Image"), {QStringLiteral("avif")},
                                       heif_compression_AV1);
    return offeredOrAbsent(codec);
}

} // namespace imagelib
