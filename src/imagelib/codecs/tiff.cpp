// TIFF reader and writer. The reader takes every directory as a page and every page as a
// slide, read through libtiff's RGBA interface so that any photometric interpretation and bit
// depth it knows comes out as 8-bit colour; the writer stores every slide as a page.
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <limits>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <vector>

#include <QIODevice>
#include <QtEndian>

#include <tiffio.h>

#include "imagelib/codecs/bytes.h"
#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

// Most files keep their first directory near the start; the whole file is read only when not.
constexpr qsizetype kHeaderProbeBytes = 64 * 1024;
// No single buffer libtiff makes may pass a quarter of the decoded bytes (256 MiB): a hostile
// strip size cannot make it reserve gigabytes. A page kept whole in one compressed strip larger
// than that is refused.
tmsize_t largestBuffer()
{
    return tmsize_t(limits().maxDecodedBytes / 4);
}
// Rows decoded between two progress reports (rounded to whole strips or tiles).
constexpr uint32_t kBandRows = 256;

// A file in memory: read in place when decoding, built up when writing. libtiff reads back what
// it wrote while it links pages together, which a file being saved (write only) cannot give,
// so a written file is built here and handed to the device whole.
struct MemoryStream {
    const char* data = nullptr;
    qsizetype size = 0;
    qsizetype position = 0;
    QByteArray* written = nullptr; // when writing; data and size follow it
};

tmsize_t readStream(thandle_t handle, void* buffer, tmsize_t length)
{
    auto* stream = static_cast<MemoryStream*>(handle);
    const qsizetype count = std::clamp<qsizetype>(stream->size - stream->position, 0, length);
    std::memcpy(buffer, stream->data + stream->position, size_t(count));
    stream->position += count;
    return count;
}

tmsize_t writeStream(thandle_t handle, void* buffer, tmsize_t length)
{
    auto* stream = static_cast<MemoryStream*>(handle);
    if (!stream->written || length > limits().maxFileBytes - stream->position)
        return -1;
    const qsizetype end = stream->position + length;
    if (end > stream->written->size())
        stream->written->resize(end, '\0');
    std::memcpy(stream->written->data() + stream->position, buffer, size_t(length));
    stream->data = stream->written->constData();
    stream->size = stream->written->size();
    stream->position = end;
    return length;
}

toff_t seekStream(thandle_t handle, toff_t offset, int whence)
{
    auto* stream = static_cast<MemoryStream*>(handle);
    const qint64 base = whence == SEEK_CUR ? stream->position : whence == SEEK_END ? stream->size : 0;
    if (offset > toff_t(limits().maxFileBytes) || base + qint64(offset) > limits().maxFileBytes)
        return toff_t(-1);
    stream->position = base + qint64(offset);
    return toff_t(stream->position);
}

int closeStream(thandle_t)
{
    return 0;
}

toff_t streamSize(thandle_t handle)
{
    return toff_t(static_cast<MemoryStream*>(handle)->size);
}

// The bytes are in memory already: libtiff reads strips from them in place.
int mapStream(thandle_t handle, void** base, toff_t* size)
{
    auto* stream = static_cast<MemoryStream*>(handle);
    *base = const_cast<char*>(stream->data);
    *size = toff_t(stream->size);
    return 1;
}

void unmapStream(thandle_t, void*, toff_t) {}

// Damaged files are routine for a browser; the failed result says enough.
int silence(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
using TiffPointer = std::unique_ptr<TIFF, TiffCloser>;

// Opens the stream for reading ("r") or writing ("w").
TiffPointer openTiff(MemoryStream& stream, const char* mode = "r")
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, silence, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, silence, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, largestBuffer());
    TiffPointer tiff(TIFFClientOpenExt("memory", mode, &stream, readStream, writeStream, seekStream, closeStream,
                                       streamSize, mapStream, unmapStream, options));
    TIFFOpenOptionsFree(options);
    return tiff;
}

class RgbaImage {
public:
    explicit RgbaImage(TIFF* tiff) { m_begun = TIFFRGBAImageBegin(&m_image, tiff, 1, m_message) != 0; }
    ~RgbaImage()
    {
        if (m_begun)
            TIFFRGBAImageEnd(&m_image);
    }
    RgbaImage(const RgbaImage&) = delete;
    RgbaImage& operator=(const RgbaImage&) = delete;

    bool begun() const { return m_begun; }
    TIFFRGBAImage& get() { return m_image; }

private:
    TIFFRGBAImage m_image = {};
    char m_message[1024] = {};
    bool m_begun = false;
};

// Strips or tiles are decoded whole; a band of rows ends on one of their boundaries.
uint32_t bandRows(TIFF* tiff, uint32_t height)
{
    uint32_t unit = 0;
    if (TIFFIsTiled(tiff))
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &unit);
    unit = std::clamp<uint32_t>(unit, 1, height);
    return std::min(height, std::max(unit, kBandRows / unit * unit));
}

// Rows stored from the bottom come out of each band upside down relative to the file order.
bool storedBottomUp(uint16_t orientation)
{
    return orientation == ORIENTATION_BOTLEFT || orientation == ORIENTATION_BOTRIGHT ||
           orientation == ORIENTATION_LEFTBOT || orientation == ORIENTATION_RIGHTBOT;
}

// libtiff's raster words hold red in their lowest byte, which is where QImage's RGBA8888 formats
// keep it on little-endian machines; big-endian ones see the words as 32-bit ARGB with red and
// blue swapped. The RGBA interface hands out associated alpha whatever the file stores.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr QImage::Format kOpaqueRaster = QImage::Format_RGBX8888;
constexpr QImage::Format kAlphaRaster = QImage::Format_RGBA8888_Premultiplied;
#else
constexpr QImage::Format kOpaqueRaster = QImage::Format_RGB32;
constexpr QImage::Format kAlphaRaster = QImage::Format_ARGB32_Premultiplied;
#endif

// A decoded raster as a slide, converted where it lies.
void toSlide(QImage& raster)
{
#if Q_BYTE_ORDER == Q_BIG_ENDIAN
    raster.rgbSwap();
#endif
    raster.convertTo(raster.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

// Whether the file ends before its first directory does: cut short rather than damaged.
bool directoryPastEnd(QByteArrayView data)
{
    const bool little = data.startsWith("II");
    const bool big = data.size() >= 4 && (little ? data[2] : data[3]) == '+';
    const qsizetype headerBytes = big ? 16 : 8;
    if (data.size() < headerBytes)
        return true;
    const quint64 offset =
        big ? (little ? qFromLittleEndian<quint64>(data.data() + 8) : qFromBigEndian<quint64>(data.data() + 8))
            : (little ? readLe32(data, 4) : readBe32(data, 4));
    // The directory's entry count, at least, must be there.
    return offset > quint64(data.size()) - (big ? 8 : 2);
}

enum class PageResult { Decoded, Failed, Cancelled };

// Whether every strip or tile of the current page lies inside the file's `size` bytes.
bool dataInside(TIFF* tiff, qint64 size)
{
    const uint32_t count = TIFFIsTiled(tiff) ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    for (uint32_t strile = 0; strile < count; ++strile) {
        int error = 0;
        const uint64_t offset = TIFFGetStrileOffsetWithErr(tiff, strile, &error);
        const uint64_t bytes = TIFFGetStrileByteCountWithErr(tiff, strile, &error);
        if (error || offset > uint64_t(size) || bytes > uint64_t(size) - offset)
            return false;
    }
    return true;
}

// Why the current page is not decoded apart from its size and data: a compression this libtiff
// lacks, or a layout its RGBA interface cannot turn into colour (its message names it); none when
// it is decoded.
Failure refusalOf(TIFF* tiff)
{
    uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFIsCODECConfigured(compression))
        return Failure::unsupported(QStringLiteral("TIFF compression %1").arg(compression));
    char message[1024] = {};
    if (TIFFRGBAImageOK(tiff, message))
        return {};
    static constexpr QLatin1String kCannotHandle("Sorry, can not handle ");
    const QString text = QString::fromLatin1(message);
    if (text.startsWith(kCannotHandle))
        return Failure::unsupported(QStringLiteral("TIFF ") + text.mid(kCannotHandle.size()));
    return Failure::damaged();
}

// Whether the size the current page states is within the limits; otherwise "too large" is recorded.
bool pageSizeAllowed(TIFF* tiff, const DecodeContext& context)
{
    uint32_t width = 0;
    uint32_t height = 0;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    return context.allowSize(width, height);
}

// Decodes the current directory in bands, so that a cancel does not wait for a whole page.
// `done` and `pages` place the page's progress within the file's. `size` is the file's: a page
// whose data lies past its end is refused before its pixels are made.
PageResult readPage(TIFF* tiff, qint64 size, const DecodeContext& context, int done, int pages, QImage& image)
{
    if (const Failure refusal = refusalOf(tiff); refusal.failed()) {
        context.fail(refusal);
        return PageResult::Failed;
    }
    if (!pageSizeAllowed(tiff, context))
        return PageResult::Failed;
    if (!dataInside(tiff, size)) {
        context.fail(Failure::truncated());
        return PageResult::Failed;
    }
    RgbaImage rgba(tiff);
    if (!rgba.begun()) {
        context.fail(Failure::damaged());
        return PageResult::Failed;
    }
    TIFFRGBAImage& source = rgba.get();
    source.req_orientation = ORIENTATION_TOPLEFT;
    image = context.allocate(source.width, source.height, source.alpha ? kAlphaRaster : kOpaqueRaster);
    if (image.isNull())
        return PageResult::Failed;
    const uint32_t height = source.height;
    const uint32_t band = bandRows(tiff, height);
    const bool flipped = storedBottomUp(source.orientation);
    for (uint32_t row = 0; row < height; row += band) {
        if (!context.progress(int((qint64(done) * height + row) * 100 / (qint64(pages) * height))))
            return PageResult::Cancelled;
        const uint32_t rows = std::min(band, height - row);
        const int target = int(flipped ? height - row - rows : row);
        source.row_offset = int(row);
        // 32-bit rows are never padded, so the band's rows form one raster.
        if (!TIFFRGBAImageGet(&source, reinterpret_cast<uint32_t*>(image.scanLine(target)), source.width, rows)) {
            context.fail(Failure::damaged());
            return PageResult::Failed;
        }
    }
    toSlide(image);
    return PageResult::Decoded;
}

// The writer. Every slide becomes a page, all with the compression asked for (option [14] holds
// the TIFF compression code itself; 0 and codes we do not write mean none). The three CCITT
// schemes store black and white only: a slide is laid on white paper and each pixel's
// luminance is cut at mid-grey. A threshold rather than a dither keeps text and line art, the
// pictures these schemes are for, crisp, and keeps the long runs their codes compress.

constexpr int kDefaultJpegQuality = 75;
constexpr int kMidGrey = 128;

enum class Layout { Bilevel, Grey, Rgb, Rgba };

struct TiffWriteOptions {
    uint16_t compression = COMPRESSION_NONE;
    int quality = kDefaultJpegQuality;
};

TiffWriteOptions optionsOf(const FlmSaveOptions& record)
{
    TiffWriteOptions options;
    const int compression = record.field[FlmSaveOptions::kTiffCompression];
    switch (compression) {
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
    case COMPRESSION_LZW:
    case COMPRESSION_JPEG:
    case COMPRESSION_PACKBITS:
        options.compression = uint16_t(compression);
        break;
    default:
        break;
    }
    const int quality = record.field[FlmSaveOptions::kQuality];
    options.quality = quality >= 1 && quality <= 100 ? quality : kDefaultJpegQuality;
    return options;
}

bool bilevelScheme(uint16_t compression)
{
    return compression == COMPRESSION_CCITTRLE || compression == COMPRESSION_CCITTFAX3 ||
           compression == COMPRESSION_CCITTFAX4;
}

// Slides with an alpha channel that is opaque everywhere (every GIF slide, say) are written
// without it.
bool hasTransparency(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return false;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (std::any_of(line, line + image.width(), [](QRgb pixel) { return qAlpha(pixel) != 255; }))
            return true;
    }
    return false;
}

// `image` is Grayscale8, RGB32 or ARGB32_Premultiplied. JPEG keeps the colours of pixels and
// drops their alpha, as the JPEG writer does.
Layout layoutOf(const QImage& image, uint16_t compression)
{
    if (bilevelScheme(compression))
        return Layout::Bilevel;
    if (image.format() == QImage::Format_Grayscale8)
        return Layout::Grey;
    return compression != COMPRESSION_JPEG && hasTransparency(image) ? Layout::Rgba : Layout::Rgb;
}

// Rec. 601 luminance of a premultiplied pixel laid on white.
int lumaOnWhite(QRgb pixel)
{
    const int white = 255 - qAlpha(pixel);
    return ((qRed(pixel) + white) * 299 + (qGreen(pixel) + white) * 587 + (qBlue(pixel) + white) * 114 + 500) / 1000;
}

// One row of `image` as the page stores it; bilevel rows are min-is-white, 1 for black.
void packRow(const QImage& image, int y, Layout layout, uchar* out)
{
    const int width = image.width();
    const uchar* grey = image.constScanLine(y);
    const auto* pixels = reinterpret_cast<const QRgb*>(grey);
    switch (layout) {
    case Layout::Grey:
        std::memcpy(out, grey, size_t(width));
        return;
    case Layout::Bilevel: {
        const bool fromGrey = image.format() == QImage::Format_Grayscale8;
        std::memset(out, 0, size_t(width + 7) / 8);
        for (int x = 0; x < width; ++x) {
            if ((fromGrey ? grey[x] : lumaOnWhite(pixels[x])) < kMidGrey)
                out[x / 8] |= uchar(0x80 >> (x % 8));
        }
        return;
    }
    case Layout::Rgb:
    case Layout::Rgba: {
        const int samples = layout == Layout::Rgba ? 4 : 3;
        for (int x = 0; x < width; ++x, out += samples) {
            const QRgb pixel = qUnpremultiply(pixels[x]);
            out[0] = uchar(qRed(pixel));
            out[1] = uchar(qGreen(pixel));
            out[2] = uchar(qBlue(pixel));
            if (layout == Layout::Rgba)
                out[3] = uchar(qAlpha(pixel));
        }
        return;
    }
    }
}

uint16_t photometricOf(Layout layout, uint16_t compression)
{
    switch (layout) {
    case Layout::Bilevel:
        return PHOTOMETRIC_MINISWHITE;
    case Layout::Grey:
        return PHOTOMETRIC_MINISBLACK;
    default:
        return compression == COMPRESSION_JPEG ? PHOTOMETRIC_YCBCR : PHOTOMETRIC_RGB;
    }
}

bool writePage(TIFF* tiff, QImage image, const TiffWriteOptions& options, int page, int pages)
{
    if (image.format() != QImage::Format_Grayscale8 && image.format() != QImage::Format_RGB32 &&
        image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(QImage::Format_ARGB32_Premultiplied);
    const Layout layout = layoutOf(image, options.compression);
    const uint16_t samples = layout == Layout::Rgb ? 3 : layout == Layout::Rgba ? 4 : 1;
    const uint16_t photometric = photometricOf(layout, options.compression);
    bool ok = TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(image.width())) &&
              TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(image.height())) &&
              TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(layout == Layout::Bilevel ? 1 : 8)) &&
              TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples) &&
              TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
              TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
              TIFFSetField(tiff, TIFFTAG_COMPRESSION, options.compression) &&
              TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    if (pages > 1) {
        ok = ok && TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE) &&
             TIFFSetField(tiff, TIFFTAG_PAGENUMBER, uint16_t(page), uint16_t(pages));
    }
    if (layout == Layout::Rgba) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        ok = ok && TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (options.compression == COMPRESSION_LZW && layout != Layout::Bilevel)
        ok = ok && TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (options.compression == COMPRESSION_JPEG) {
        ok = ok && TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, options.quality);
        // libjpeg converts RGB rows to YCbCr with 2 x 2 chroma subsampling.
        if (photometric == PHOTOMETRIC_YCBCR) {
            ok = ok && TIFFSetField(tiff, TIFFTAG_YCBCRSUBSAMPLING, 2, 2) &&
                 TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        }
    }
    ok = ok && TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
    std::vector<uchar> row(size_t(image.width()) * samples);
    for (int y = 0; ok && y < image.height(); ++y) {
        packRow(image, y, layout, row.data());
        ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) == 1;
    }
    return ok && TIFFWriteDirectory(tiff);
}

class TiffCodec final : public Codec, public Writer {
public:
    int format() const override { return kFlmTiff; }
    QString description() const override { return QStringLiteral("Tagged Image File"); }
    QStringList extensions() const override { return {QStringLiteral("tif"), QStringLiteral("tiff")}; }

    bool sniff(QByteArrayView head) const override
    {
        return head.startsWith(QByteArrayView("II*\0", 4)) || head.startsWith(QByteArrayView("MM\0*", 4)) ||
               head.startsWith(QByteArrayView("II+\0", 4)) || head.startsWith(QByteArrayView("MM\0+", 4));
    }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        const QByteArrayView head = file.head(kHeaderProbeBytes);
        if (!sniff(head))
            return false;
        if (headerFrom(head, info))
            return true;
        const QByteArray* data = head.size() < kHeaderProbeBytes ? nullptr : file.all();
        return data && headerFrom(*data, info);
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* data = file.all();
        if (!data)
            return false;
        MemoryStream stream{data->constData(), data->size()};
        const TiffPointer tiff = openTiff(stream);
        if (!tiff)
            return context.fail(directoryPastEnd(*data) ? Failure::truncated() : Failure::damaged());
        picture.format = kFlmTiff;
        picture.bitsPerPixel = bitsPerPixel(tiff.get());
        picture.slides.clear();
        const int pages = std::max<int>(1, std::min<int>(TIFFNumberOfDirectories(tiff.get()), limits().maxSlides));
        DecodeBudget budget;
        // A damaged page ends the file; the pages before it are kept.
        do {
            QImage image;
            const int done = int(picture.slides.size());
            const PageResult result =
                readPage(tiff.get(), data->size(), context, std::min(done, pages - 1), pages, image);
            if (result == PageResult::Cancelled)
                return false;
            if (result == PageResult::Failed)
                break;
            if (!budget.take(image)) {
                context.fail(budget.refusal());
                break;
            }
            picture.slides.push_back({image, 0});
        } while (TIFFReadDirectory(tiff.get()));
        return !picture.slides.empty() || context.fail(Failure::damaged());
    }

    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        const TiffWriteOptions options = optionsOf(request.options);
        QByteArray file;
        MemoryStream stream;
        stream.written = &file;
        {
            const TiffPointer tiff = openTiff(stream, "w");
            if (!tiff)
                return false;
            const std::vector<Slide>& slides = request.picture.slides;
            const int pages = int(slides.size());
            for (int page = 0; page < pages; ++page) {
                if (!writePage(tiff.get(), slides[size_t(page)].image, options, page, pages))
                    return false;
            }
            if (TIFFFlush(tiff.get()) != 1)
                return false;
        }
        return out.write(file) == file.size();
    }

private:
    static int bitsPerPixel(TIFF* tiff)
    {
        uint16_t bits = 0;
        uint16_t samples = 0;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
        // Both are the file's word, each up to 65,535: their product may not fit an int.
        return int(std::min<qint64>(qint64(bits) * samples, std::numeric_limits<int>::max()));
    }

    static bool headerFrom(QByteArrayView data, HeaderInfo& info)
    {
        MemoryStream stream{data.data(), data.size()};
        const TiffPointer tiff = openTiff(stream);
        uint32_t width = 0;
        uint32_t height = 0;
        if (!tiff || !TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width) ||
            !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height) || !sizeAllowed(width, height))
            return false;
        info.format = kFlmTiff;
        info.width = int(width);
        info.height = int(height);
        info.bitsPerPixel = bitsPerPixel(tiff.get());
        return true;
    }
};

const TiffCodec& theTiffCodec()
{
    static const TiffCodec codec;
    return codec;
}

} // namespace

const Codec* tiffCodec()
{
    return &theTiffCodec();
}

const Writer* tiffWriter()
{
    return &theTiffCodec();
}

} // namespace imagelib
