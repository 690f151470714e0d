// TIFF reader: every directory is a page and every page a slide, read through libtiff's RGBA
// interface so that any photometric interpretation and bit depth it knows comes out as 8-bit
// colour.
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>

#include <tiffio.h>

#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

// Most files keep their first directory near the start; the whole file is read only when not.
constexpr qsizetype kHeaderProbeBytes = 64 * 1024;
// No single buffer libtiff makes may pass 256 MiB: a hostile strip size cannot make it reserve
// gigabytes. A page kept whole in one compressed strip larger than that is refused.
constexpr tmsize_t kMaxSingleAlloc = tmsize_t(256) * 1024 * 1024;
// Rows decoded between two progress reports (rounded to whole strips or tiles).
constexpr uint32_t kBandRows = 256;

struct MemoryStream {
    const char* data = nullptr;
    qsizetype size = 0;
    qsizetype position = 0;
};

tmsize_t readStream(thandle_t handle, void* buffer, tmsize_t length)
{
    auto* stream = static_cast<MemoryStream*>(handle);
    const qsizetype count = std::clamp<qsizetype>(stream->size - stream->position, 0, length);
    std::memcpy(buffer, stream->data + stream->position, size_t(count));
    stream->position += count;
    return count;
}

tmsize_t writeStream(thandle_t, void*, tmsize_t)
{
    return -1;
}

toff_t seekStream(thandle_t handle, toff_t offset, int whence)
{
    auto* stream = static_cast<MemoryStream*>(handle);
    const qint64 base = whence == SEEK_CUR ? stream->position : whence == SEEK_END ? stream->size : 0;
    if (offset > toff_t(kMaxFileBytes) || base + qint64(offset) > kMaxFileBytes)
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

TiffPointer openTiff(MemoryStream& stream)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options)
        return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, silence, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, silence, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxSingleAlloc);
    TiffPointer tiff(TIFFClientOpenExt("memory", "r", &stream, readStream, writeStream, seekStream, closeStream,
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

// libtiff packs red in the lowest byte; QImage wants 0xAARRGGBB.
void toArgb(QImage& image, int firstRow, int rows)
{
    for (int y = firstRow; y < firstRow + rows; ++y) {
        auto* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const uint32_t abgr = line[x];
            line[x] = qRgba(int(TIFFGetR(abgr)), int(TIFFGetG(abgr)), int(TIFFGetB(abgr)), int(TIFFGetA(abgr)));
        }
    }
}

enum class PageResult { Decoded, Failed, Cancelled };

// Decodes the current directory in bands, so that a cancel does not wait for a whole page.
// `done` and `pages` place the page's progress within the file's.
PageResult readPage(TIFF* tiff, const DecodeContext& context, int done, int pages, QImage& image)
{
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tiff, message))
        return PageResult::Failed;
    RgbaImage rgba(tiff);
    if (!rgba.begun())
        return PageResult::Failed;
    TIFFRGBAImage& source = rgba.get();
    source.req_orientation = ORIENTATION_TOPLEFT;
    // The RGBA interface hands out associated alpha whatever the file stores.
    image = allocateImage(source.width, source.height,
                          source.alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
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
        if (!TIFFRGBAImageGet(&source, reinterpret_cast<uint32_t*>(image.scanLine(target)), source.width, rows))
            return PageResult::Failed;
        toArgb(image, target, int(rows));
    }
    return PageResult::Decoded;
}

class TiffCodec final : public Codec {
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
        if (!data || !sniff(*data))
            return false;
        MemoryStream stream{data->constData(), data->size()};
        const TiffPointer tiff = openTiff(stream);
        if (!tiff)
            return false;
        picture.format = kFlmTiff;
        picture.bitsPerPixel = bitsPerPixel(tiff.get());
        picture.slides.clear();
        const int pages = std::max<int>(1, std::min<int>(TIFFNumberOfDirectories(tiff.get()), kMaxSlides));
        DecodeBudget budget;
        // A damaged page ends the file; the pages before it are kept.
        do {
            QImage image;
            const int done = int(picture.slides.size());
            const PageResult result = readPage(tiff.get(), context, std::min(done, pages - 1), pages, image);
            if (result == PageResult::Cancelled)
                return false;
            if (result == PageResult::Failed || !budget.take(image))
                break;
            picture.slides.push_back({image, 0});
        } while (TIFFReadDirectory(tiff.get()));
        return !picture.slides.empty();
    }

private:
    static int bitsPerPixel(TIFF* tiff)
    {
        uint16_t bits = 0;
        uint16_t samples = 0;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
        return bits * samples;
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

} // namespace

const Codec* tiffCodec()
{
    static const TiffCodec codec;
    return &codec;
}

} // namespace imagelib

namespace imagelib {
const Writer* tiffWriter() { return absentWriter(); }
}  // namespace imagelib
