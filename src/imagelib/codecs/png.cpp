// PNG files through libpng 1.6. Every colour type and depth decodes to 32-bit pixels: RGB32 for
// opaque files, premultiplied ARGB32 when the file has alpha or a transparent colour.
#include "imagelib/codecs/codec.h"

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include <QIODevice>
#include <QStringList>

#include <png.h>

#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

constexpr uchar kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Signature, chunk length and type, then the 13 bytes of IHDR.
constexpr qsizetype kIhdrEnd = 8 + 8 + 13;
// Bounds for what ancillary chunks may make libpng keep: text, profiles, unknown chunks.
constexpr png_uint_32 kMaxCachedChunks = 256;
constexpr png_alloc_size_t kMaxChunkBytes = 16 * 1024 * 1024;

quint32 bigEndian32(const uchar* bytes)
{
    return quint32(bytes[0]) << 24 | quint32(bytes[1]) << 16 | quint32(bytes[2]) << 8 | bytes[3];
}

// Channels of a colour type, 0 when the depth is not allowed for it.
int channelsOf(int colourType, int depth)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16 ? 1 : 0;
    case PNG_COLOR_TYPE_PALETTE:
        return depth == 1 || depth == 2 || depth == 4 || depth == 8 ? 1 : 0;
    case PNG_COLOR_TYPE_RGB:
        return depth == 8 || depth == 16 ? 3 : 0;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return depth == 8 || depth == 16 ? 2 : 0;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return depth == 8 || depth == 16 ? 4 : 0;
    default:
        return 0;
    }
}

[[noreturn]] void jumpOnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void dropWarning(png_structp, png_const_charp) {}

// Runs steps() with libpng's error jump armed; a libpng error inside makes it return false.
// steps keeps every object with a destructor outside its own frame, so the jump skips none.
template <typename Steps> bool guarded(png_structp png, Steps steps)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    return steps();
}

// libpng's own buffers (rows, chunks, decompressed text) never need this much; its chunk limits
// alone let an over-long compressed text chunk through as a mere warning.
constexpr png_alloc_size_t kMaxLibraryAllocation = 64 * 1024 * 1024;

png_voidp boundedMalloc(png_structp, png_alloc_size_t size)
{
    return size <= kMaxLibraryAllocation ? std::malloc(size) : nullptr;
}

void freeMemory(png_structp, png_voidp pointer)
{
    std::free(pointer);
}

struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    QByteArrayView data;
    qsizetype position = 0;
    const DecodeContext* context = nullptr;
    QImage image;
    int bitsPerPixel = 0;
    bool endOfData = false; // libpng asked for bytes past the end of the file

    Reader(QByteArrayView bytes, const DecodeContext& decodeContext) : data(bytes), context(&decodeContext)
    {
        png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, this, jumpOnError, dropWarning, nullptr, boundedMalloc,
                                       freeMemory);
        if (png)
            info = png_create_info_struct(png);
    }
    ~Reader() { png_destroy_read_struct(&png, &info, nullptr); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
};

void readBytes(png_structp png, png_bytep out, size_t count)
{
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    if (count > size_t(reader->data.size() - reader->position)) {
        reader->endOfData = true;
        png_error(png, "file ends early");
    }
    std::memcpy(out, reader->data.data() + reader->position, count);
    reader->position += qsizetype(count);
}

bool readSteps(Reader& r)
{
    png_set_user_limits(r.png, png_uint_32(limits().maxSide), png_uint_32(limits().maxSide));
    png_set_chunk_cache_max(r.png, kMaxCachedChunks);
    png_set_chunk_malloc_max(r.png, kMaxChunkBytes);
    png_set_read_fn(r.png, &r, readBytes);
    png_read_info(r.png, r.info);
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int depth = 0;
    int colourType = 0;
    png_get_IHDR(r.png, r.info, &width, &height, &depth, &colourType, nullptr, nullptr, nullptr);
    r.bitsPerPixel = depth * channelsOf(colourType, depth);

    const bool alpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(r.png, r.info, PNG_INFO_tRNS);
    png_set_expand(r.png); // palettes and small grey depths to 8 bits, tRNS to alpha
    png_set_scale_16(r.png);
    if (!(colourType & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(r.png);
        // Lay the channels out as QImage's 32-bit formats hold them in memory (0xAARRGGBB words).
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    png_set_bgr(r.png);
    if (!alpha)
        png_set_filler(r.png, 0xFF, PNG_FILLER_AFTER);
#else
    if (alpha)
        png_set_swap_alpha(r.png);
    else
        png_set_filler(r.png, 0xFF, PNG_FILLER_BEFORE);
#endif
    const int passes = png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    if (png_get_rowbytes(r.png, r.info) != size_t(width) * 4)
        return false;

    r.image = r.context->allocate(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (r.image.isNull())
        return false;
    uchar* const bits = r.image.bits();
    const qsizetype stride = r.image.bytesPerLine();
    const qint64 totalRows = qint64(passes) * height;
    int reported = -1;
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < height; ++y) {
            // Each pass of an interlaced file adds its own pixels to rows the earlier passes began.
            png_read_row(r.png, bits + qsizetype(y) * stride, nullptr);
            const int percent = int((qint64(pass) * height + y + 1) * 100 / totalRows);
            if (percent > reported) {
                reported = percent;
                if (!r.context->progress(percent))
                    return false;
            }
        }
    }
    return true;
}

struct PngWriter {
    png_structp png = nullptr;
    png_infop info = nullptr;
    QIODevice* device = nullptr;

    explicit PngWriter(QIODevice& out) : device(&out)
    {
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, jumpOnError, dropWarning);
        if (png)
            info = png_create_info_struct(png);
    }
    ~PngWriter() { png_destroy_write_struct(&png, &info); }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;
};

void writeBytes(png_structp png, png_bytep bytes, size_t count)
{
    auto* writer = static_cast<PngWriter*>(png_get_io_ptr(png));
    if (writer->device->write(reinterpret_cast<const char*>(bytes), qint64(count)) != qint64(count))
        png_error(png, "write failed");
}

void flushNothing(png_structp) {}

// `image` is Grayscale8, RGB32 or (unpremultiplied) ARGB32.
bool writeSteps(PngWriter& w, const QImage& image)
{
    png_set_write_fn(w.png, &w, writeBytes, flushNothing);
    const QImage::Format format = image.format();
    const int colourType = format == QImage::Format_Grayscale8 ? PNG_COLOR_TYPE_GRAY
                           : format == QImage::Format_ARGB32   ? PNG_COLOR_TYPE_RGB_ALPHA
                                                               : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(w.png, w.info, png_uint_32(image.width()), png_uint_32(image.height()), 8, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(w.png, w.info);
    if (colourType != PNG_COLOR_TYPE_GRAY) {
        // The pixels go out straight from QImage's words; libpng reorders and drops the filler.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        png_set_bgr(w.png);
        if (colourType == PNG_COLOR_TYPE_RGB)
            png_set_filler(w.png, 0, PNG_FILLER_AFTER);
#else
        if (colourType == PNG_COLOR_TYPE_RGB)
            png_set_filler(w.png, 0, PNG_FILLER_BEFORE);
        else
            png_set_swap_alpha(w.png);
#endif
    }
    for (int y = 0; y < image.height(); ++y)
        png_write_row(w.png, image.constScanLine(y));
    png_write_end(w.png, nullptr);
    return true;
}

class PngCodec final : public Codec, public Writer {
public:
    int format() const override { return kFlmPng; }
    QString description() const override { return QStringLiteral("Portable Network Graphic"); }
    QStringList extensions() const override { return {QStringLiteral("png")}; }

    bool sniff(QByteArrayView head) const override
    {
        return head.startsWith(QByteArrayView(kSignature, sizeof kSignature));
    }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override { return headerOf(file.head(kIhdrEnd), info); }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* data = file.all();
        if (!data)
            return false;
        // libpng would refuse a size past its own limits in words of its own.
        HeaderInfo header;
        if (headerOf(*data, header) && !context.allowSize(header.width, header.height))
            return false;
        Reader reader(*data, context);
        if (!reader.info)
            return context.fail(Failure::outOfMemory());
        if (!guarded(reader.png, [&] { return readSteps(reader); }))
            return context.fail(reader.endOfData ? Failure::truncated() : Failure::damaged());
        if (reader.image.hasAlphaChannel())
            reader.image.convertTo(QImage::Format_ARGB32_Premultiplied);
        picture.slides.push_back({std::move(reader.image), 0});
        picture.format = kFlmPng;
        picture.bitsPerPixel = reader.bitsPerPixel;
        return true;
    }

    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        QImage image = request.image();
        if (image.hasAlphaChannel())
            image = image.convertToFormat(QImage::Format_ARGB32);
        else if (image.format() != QImage::Format_Grayscale8 && image.format() != QImage::Format_RGB32)
            image = image.convertToFormat(QImage::Format_RGB32);
        PngWriter writer(out);
        return writer.info && guarded(writer.png, [&] { return writeSteps(writer, image); });
    }

private:
    // The signature and the IHDR chunk at the start of `head`.
    bool headerOf(QByteArrayView head, HeaderInfo& info) const
    {
        if (head.size() < kIhdrEnd || !sniff(head))
            return false;
        const auto* ihdr = reinterpret_cast<const uchar*>(head.data()) + 8;
        if (bigEndian32(ihdr) != 13 || std::memcmp(ihdr + 4, "IHDR", 4) != 0)
            return false;
        const quint32 width = bigEndian32(ihdr + 8);
        const quint32 height = bigEndian32(ihdr + 12);
        const int depth = ihdr[16];
        const int channels = channelsOf(ihdr[17], depth);
        if (width == 0 || height == 0 || width > PNG_UINT_31_MAX || height > PNG_UINT_31_MAX || channels == 0)
            return false;
        info.format = kFlmPng;
        info.width = int(width);
        info.height = int(height);
        info.bitsPerPixel = depth * channels;
        return true;
    }
};

const PngCodec& thePngCodec()
{
    static const PngCodec codec;
    return codec;
}

} // namespace

const Codec* pngCodec()
{
    return &thePngCodec();
}

const Writer* pngWriter()
{
    return &thePngCodec();
}

} // namespace imagelib
