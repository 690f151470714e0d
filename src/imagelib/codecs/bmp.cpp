// Windows and OS/2 bitmaps: reader for the uncompressed, bit-field and run-length variants,
// writer of plain 24-bit files.
#include "imagelib/codecs/codec.h"
#include "imagelib/codecs/dib.h"

#include <algorithm>
#include <array>
#include <bit>
#include <iterator>
#include <limits>
#include <vector>

#include <QIODevice>
#include <QtEndian>
#include <QtNumeric>

#include "imagelib/codecs/bytes.h"
#include "imagelib/codecs/writerutil.h"
#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

constexpr qsizetype kFileHeaderSize = 14;
constexpr qsizetype kCoreHeaderSize = 12;
constexpr qsizetype kInfoHeaderSize = 40;
constexpr qsizetype kOs2HeaderSize = 64;
constexpr int kProgressRows = 64;
constexpr quint32 kPixelsPerMetre = 2835; // 72 dots per inch

enum Compression : quint32 {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kAlphaBitFields = 6,
};

bool knownInfoSize(quint32 size)
{
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 64 || size == 108 || size == 124;
}

// "BM", a known info-header size and one plane: enough that a text starting with "BM" is not
// taken for a bitmap.
bool plausible(QByteArrayView head)
{
    if (head.size() < kFileHeaderSize + kCoreHeaderSize || !head.startsWith("BM"))
        return false;
    const quint32 infoSize = readLe32(head, kFileHeaderSize);
    if (!knownInfoSize(infoSize))
        return false;
    const qsizetype planesAt = infoSize == kCoreHeaderSize ? kFileHeaderSize + 8 : kFileHeaderSize + 12;
    return head.size() >= planesAt + 2 && readLe16(head, planesAt) == 1;
}

// One colour channel of a 16- or 32-bit pixel, scaled to 8 bits.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    quint32 maximum = 0;

    explicit Channel(quint32 bits = 0) : mask(bits)
    {
        if (mask) {
            shift = std::countr_zero(mask);
            maximum = mask >> shift;
        }
    }
    int value(quint32 pixel) const { return int((quint64((pixel & mask) >> shift) * 255 + maximum / 2) / maximum); }
};

struct BmpHeader {
    qint64 width = 0;
    qint64 height = 0; // always positive; topDown says how rows are stored
    bool topDown = false;
    int bits = 0;
    quint32 compression = kRgb;
    quint32 infoSize = 0;
    quint32 dataOffset = 0;            // from the start of a .bmp file
    std::array<quint32, 4> masks = {}; // red, green, blue, alpha
    qsizetype paletteOffset = 0;       // from the start of the info header
    int paletteEntrySize = 4;
    int paletteCount = 0;
};

// Of a header that validDepth refuses, the variant of the format as the user knows it; empty
// when the header is merely inconsistent (a run-length code with the wrong depth).
QString unsupportedVariant(const BmpHeader& header)
{
    switch (header.compression) {
    case kRgb:
        return QStringLiteral("%1-bit BMP").arg(header.bits);
    case kRle8:
    case kRle4:
        return {};
    case kBitFields:
    case kAlphaBitFields:
        return header.infoSize == kOs2HeaderSize ? QStringLiteral("compressed OS/2 bitmap") : QString();
    case 4:
        return QStringLiteral("JPEG inside a BMP");
    case 5:
        return QStringLiteral("PNG inside a BMP");
    default:
        return QStringLiteral("BMP compression %1").arg(header.compression);
    }
}

bool validDepth(const BmpHeader& header)
{
    switch (header.compression) {
    case kRgb:
        return header.bits == 1 || header.bits == 4 || header.bits == 8 || header.bits == 16 || header.bits == 24 ||
               header.bits == 32;
    case kRle8:
        return header.bits == 8;
    case kRle4:
        return header.bits == 4;
    case kBitFields:
    case kAlphaBitFields:
        // OS/2 2.x uses these codes for its own Huffman and 24-bit run-length schemes.
        return (header.bits == 16 || header.bits == 32) && header.infoSize != kOs2HeaderSize;
    default:
        return false;
    }
}

// The size and depth fields of an info header of header.infoSize bytes, which `info` holds as far
// as the depth (the 12 bytes of the OS/2 core header, 16 of the others), and the compression where
// the header has one.
void readSizeAndDepth(QByteArrayView info, BmpHeader& header)
{
    qint64 height = 0;
    if (header.infoSize == kCoreHeaderSize) {
        header.width = readLe16(info, 4);
        height = readLe16(info, 6);
        header.bits = readLe16(info, 10);
        header.paletteEntrySize = 3;
    } else {
        header.width = qint32(readLe32(info, 4));
        height = qint32(readLe32(info, 8));
        header.bits = readLe16(info, 14);
        if (header.infoSize >= 20 && info.size() >= 20)
            header.compression = readLe32(info, 16);
    }
    header.topDown = height < 0;
    header.height = height < 0 ? -height : height;
}

// A height of -2^31 has no positive twin in 32 bits.
bool hasArea(const BmpHeader& header)
{
    return header.width > 0 && header.height > 0 && header.height <= std::numeric_limits<qint32>::max();
}

// Reads an info header and its colour masks: everything the pixels need but the palette itself.
// `info` starts at the header and may end anywhere after the masks. The size is not checked
// against the limits: decodePixels does that.
bool parseInfo(QByteArrayView info, DibKind kind, BmpHeader& header, Failure& failure)
{
    failure = Failure::damaged();
    if (info.size() < 4)
        return false;
    header.infoSize = readLe32(info, 0);
    if (!knownInfoSize(header.infoSize))
        return false;
    if (info.size() < header.infoSize) {
        failure = Failure::truncated();
        return false;
    }
    readSizeAndDepth(info, header);
    if (kind == DibKind::Icon) {
        // The AND mask follows the colour rows, so both must be whole uncompressed bottom-up rows.
        if (header.topDown || header.compression == kRle8 || header.compression == kRle4)
            return false;
        header.height /= 2;
    }
    if (!hasArea(header))
        return false;
    if (!validDepth(header)) {
        const QString variant = unsupportedVariant(header);
        failure = variant.isEmpty() ? Failure::damaged() : Failure::unsupported(variant);
        return false;
    }

    // Masks follow the 40-byte header where later headers hold them, so one offset serves both.
    qsizetype masksEnd = header.infoSize;
    if (header.infoSize == kInfoHeaderSize && header.compression == kBitFields)
        masksEnd += 12;
    else if (header.infoSize == kInfoHeaderSize && header.compression == kAlphaBitFields)
        masksEnd += 16;
    header.paletteOffset = masksEnd;
    if (info.size() < masksEnd) {
        failure = Failure::truncated();
        return false;
    }
    if (header.bits == 16 || header.bits == 32) {
        if (header.compression == kRgb) {
            header.masks = header.bits == 16 ? std::array<quint32, 4>{0x7c00, 0x03e0, 0x001f, 0}
                                             : std::array<quint32, 4>{0xff0000, 0xff00, 0xff, 0};
            if (kind == DibKind::Icon && header.bits == 32)
                header.masks[3] = 0xff000000;
        } else {
            for (qsizetype i = 0; i < 3; ++i)
                header.masks[size_t(i)] = readLe32(info, kInfoHeaderSize + 4 * i);
        }
        if (masksEnd >= kInfoHeaderSize + 16 && header.infoSize != kOs2HeaderSize)
            header.masks[3] = readLe32(info, kInfoHeaderSize + 12);
        if (header.bits == 16) {
            for (quint32& mask : header.masks)
                mask &= 0xffff;
        }
        if (!header.masks[0] || !header.masks[1] || !header.masks[2])
            return false;
    }

    if (header.bits <= 8) {
        const quint32 colours = header.infoSize == kCoreHeaderSize ? 0 : readLe32(info, 32);
        const int maximum = 1 << header.bits;
        header.paletteCount = colours == 0 || colours > quint32(maximum) ? maximum : int(colours);
    }
    return true;
}

// The file header and the info header of a .bmp file; `data` may be the first bytes only.
bool parseHeader(QByteArrayView data, BmpHeader& header, Failure& failure)
{
    failure = Failure::damaged();
    if (!plausible(data) || !parseInfo(data.sliced(kFileHeaderSize), DibKind::Bitmap, header, failure))
        return false;
    header.dataOffset = readLe32(data, 10);
    return true;
}

// A palette of 256 entries: indices the file's palette does not cover come out black.
std::array<QRgb, 256> readPalette(QByteArrayView data, const BmpHeader& header)
{
    std::array<QRgb, 256> palette;
    palette.fill(qRgb(0, 0, 0));
    for (int i = 0; i < header.paletteCount; ++i) {
        const char* entry = data.data() + header.paletteOffset + qsizetype(i) * header.paletteEntrySize;
        palette[size_t(i)] = qRgb(uchar(entry[2]), uchar(entry[1]), uchar(entry[0]));
    }
    return palette;
}

class RowDecoder {
public:
    RowDecoder(const BmpHeader& header, const std::array<QRgb, 256>& palette)
        : m_bits(header.bits), m_palette(palette), m_red(header.masks[0]), m_green(header.masks[1]),
          m_blue(header.masks[2]), m_alpha(header.masks[3])
    {
    }

    void decode(const uchar* source, QRgb* target, qint64 width) const
    {
        for (qint64 x = 0; x < width; ++x)
            target[x] = pixel(source, x);
    }

private:
    QRgb pixel(const uchar* source, qint64 x) const
    {
        switch (m_bits) {
        case 1:
            return m_palette[(source[x / 8] >> (7 - x % 8)) & 1];
        case 4:
            return m_palette[(source[x / 2] >> (x % 2 ? 0 : 4)) & 15];
        case 8:
            return m_palette[source[x]];
        case 16:
            return fromMasks(qFromLittleEndian<quint16>(source + 2 * x));
        case 24:
            return qRgb(source[3 * x + 2], source[3 * x + 1], source[3 * x]);
        default:
            return fromMasks(qFromLittleEndian<quint32>(source + 4 * x));
        }
    }

    QRgb fromMasks(quint32 value) const
    {
        return qRgba(m_red.value(value), m_green.value(value), m_blue.value(value),
                     m_alpha.mask ? m_alpha.value(value) : 255);
    }

    int m_bits;
    const std::array<QRgb, 256>& m_palette;
    Channel m_red;
    Channel m_green;
    Channel m_blue;
    Channel m_alpha;
};

int imageRow(const BmpHeader& header, qint64 storedRow)
{
    return int(header.topDown ? storedRow : header.height - 1 - storedRow);
}

bool reportRow(const DecodeContext& context, qint64 row, qint64 height)
{
    return row % kProgressRows != 0 || context.progress(int(row * 100 / height));
}

qint64 strideOf(const BmpHeader& header)
{
    return (header.width * header.bits + 31) / 32 * 4;
}

// Whether `data` holds every row of an uncompressed bitmap. Some writers leave out the padding of
// the last row; its pixels must be there.
bool rowsPresent(QByteArrayView data, const BmpHeader& header, const DecodeContext& context)
{
    const qint64 needed = strideOf(header) * (header.height - 1) + (header.width * header.bits + 7) / 8;
    return needed <= data.size() || context.fail(Failure::truncated());
}

// The rows, which rowsPresent found in `data`.
bool decodeUncompressed(QByteArrayView data, const BmpHeader& header, const RowDecoder& rows, QImage& image,
                        const DecodeContext& context)
{
    const qint64 stride = strideOf(header);
    const auto* pixels = reinterpret_cast<const uchar*>(data.data());
    for (qint64 row = 0; row < header.height; ++row) {
        if (!reportRow(context, row, header.height))
            return false;
        rows.decode(pixels + row * stride, reinterpret_cast<QRgb*>(image.scanLine(imageRow(header, row))),
                    header.width);
    }
    return true;
}

// Run-length data: pixels the stream skips keep palette entry 0. A run past the right edge is
// cut there; anything that would write below the last row, or a stream that ends before the
// last row is finished, is a fault.
bool decodeRunLength(QByteArrayView data, const BmpHeader& header, const std::array<QRgb, 256>& palette, QImage& image,
                     const DecodeContext& context)
{
    image.fill(palette[0]);
    const bool nibbles = header.compression == kRle4;
    const auto* bytes = reinterpret_cast<const uchar*>(data.data());
    qsizetype position = 0;
    const qsizetype end = data.size();
    qint64 x = 0;
    qint64 row = 0;
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(imageRow(header, 0)));

    auto put = [&](int index) {
        if (x < header.width)
            line[x++] = palette[size_t(index)];
    };
    auto moveTo = [&](qint64 newX, qint64 newRow) {
        const bool newLine = newRow != row;
        x = std::min(newX, header.width);
        row = newRow;
        if (newLine && row < header.height) {
            line = reinterpret_cast<QRgb*>(image.scanLine(imageRow(header, row)));
            if (!reportRow(context, row, header.height))
                return false;
        }
        return row <= header.height || context.fail(Failure::damaged());
    };

    while (position + 2 <= end) {
        const int count = bytes[position];
        const int value = bytes[position + 1];
        position += 2;
        if (count > 0) {
            if (row >= header.height)
                return context.fail(Failure::damaged());
            for (int i = 0; i < count; ++i)
                put(nibbles ? (i % 2 ? value & 15 : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            if (!moveTo(0, row + 1))
                return false;
            break;
        case 1: // end of bitmap
            return true;
        case 2: // delta
            if (position + 2 > end || !moveTo(x + bytes[position], row + bytes[position + 1]))
                return false;
            position += 2;
            break;
        default: { // absolute run, padded to a whole number of 16-bit words
            const qsizetype length = nibbles ? (value + 1) / 2 : value;
            if (row >= header.height)
                return context.fail(Failure::damaged());
            if (position + length > end)
                return context.fail(Failure::truncated());
            for (int i = 0; i < value; ++i)
                put(nibbles ? (i % 2 ? bytes[position + i / 2] & 15 : bytes[position + i / 2] >> 4)
                            : bytes[position + i]);
            position += length + length % 2;
        }
        }
    }
    return row >= header.height || context.fail(Failure::truncated());
}

// Alpha that is zero everywhere is a writer's unused byte, not a transparent picture.
void finishAlpha(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        if (std::any_of(line, line + image.width(), [](QRgb pixel) { return qAlpha(pixel) != 0; })) {
            image.convertTo(QImage::Format_ARGB32_Premultiplied);
            return;
        }
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::for_each(line, line + image.width(), [](QRgb& pixel) { pixel |= 0xff000000; });
    }
    image.reinterpretAsFormat(QImage::Format_RGB32);
}

// `colours` starts at the info header and holds the masks and palette; `pixels` are the rows.
bool decodePixels(QByteArrayView colours, QByteArrayView pixels, BmpHeader header, const DecodeContext& context,
                  QImage& out)
{
    // Writers of short palettes do not always say so in the colour count.
    header.paletteCount =
        int(std::min<qint64>(header.paletteCount, (colours.size() - header.paletteOffset) / header.paletteEntrySize));
    if (!context.progress(0))
        return false;
    // Stored rows must all be there before a picture is made for them, so that a header claiming
    // a large picture over a few bytes costs nothing; run-length data has no such bound.
    const bool runLength = header.compression == kRle8 || header.compression == kRle4;
    if (!context.allowSize(header.width, header.height) || (!runLength && !rowsPresent(pixels, header, context)))
        return false;
    const std::array<QRgb, 256> palette = readPalette(colours, header);
    const bool alpha = header.masks[3] != 0;
    QImage image = context.allocate(header.width, header.height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return false;
    const bool decoded = runLength ? decodeRunLength(pixels, header, palette, image, context)
                                   : decodeUncompressed(pixels, header, RowDecoder(header, palette), image, context);
    if (!decoded)
        return false;
    if (alpha)
        finishAlpha(image);
    out = std::move(image);
    return true;
}

void put16(QByteArray& bytes, quint16 value)
{
    writerutil::appendLittle(bytes, value);
}

void put32(QByteArray& bytes, quint32 value)
{
    writerutil::appendLittle(bytes, value);
}

class BmpCodec final : public Codec, public Writer {
public:
    int format() const override { return kFlmBmp; }
    QString description() const override { return QStringLiteral("Windows Bitmap"); }
    QStringList extensions() const override { return {QStringLiteral("bmp"), QStringLiteral("dib")}; }
    bool sniff(QByteArrayView head) const override { return plausible(head); }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        BmpHeader header;
        Failure failure;
        if (!parseHeader(file.head(kSniffBytes), header, failure))
            return false;
        info.format = kFlmBmp;
        info.width = int(header.width);
        info.height = int(header.height);
        info.bitsPerPixel = header.bits;
        return true;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* bytes = file.all();
        if (!bytes)
            return false;
        const QByteArrayView data(*bytes);
        BmpHeader header;
        Failure failure;
        if (!parseHeader(data, header, failure))
            return context.fail(failure);
        if (header.dataOffset > data.size())
            return context.fail(Failure::truncated());
        if (header.dataOffset < kFileHeaderSize + header.paletteOffset)
            return context.fail(Failure::damaged());
        QImage image;
        if (!decodePixels(data.sliced(kFileHeaderSize, header.dataOffset - kFileHeaderSize),
                          data.sliced(header.dataOffset), header, context, image))
            return false;
        picture.format = kFlmBmp;
        picture.bitsPerPixel = header.bits;
        picture.slides.clear();
        picture.slides.push_back({image, 0});
        return true;
    }

    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        const QImage image = request.image().convertToFormat(QImage::Format_RGB32);
        if (!writerutil::converted(request, image))
            return false;
        const qint64 stride = (qint64(image.width()) * 3 + 3) / 4 * 4;
        const qint64 pixelBytes = stride * image.height();
        const qint64 offset = kFileHeaderSize + kInfoHeaderSize;
        if (offset + pixelBytes > 0xffffffffLL)
            return request.fail(writerutil::tooLargeFor("BMP", QStringLiteral("4 GiB")));

        QByteArray headers;
        headers.reserve(offset);
        headers.append("BM", 2);
        put32(headers, quint32(offset + pixelBytes));
        put32(headers, 0);
        put32(headers, quint32(offset));
        put32(headers, quint32(kInfoHeaderSize));
        put32(headers, quint32(image.width()));
        put32(headers, quint32(image.height())); // positive: rows stored bottom-up
        put16(headers, 1);
        put16(headers, 24);
        put32(headers, kRgb);
        put32(headers, quint32(pixelBytes));
        put32(headers, kPixelsPerMetre);
        put32(headers, kPixelsPerMetre);
        put32(headers, 0);
        put32(headers, 0);
        if (out.write(headers) != headers.size())
            return false;

        QByteArray row(stride, '\0');
        for (int y = image.height() - 1; y >= 0; --y) {
            writerutil::toBgr(image, y, false, row.data());
            if (out.write(row) != row.size())
                return false;
        }
        return true;
    }
};

const BmpCodec& theBmpCodec()
{
    static const BmpCodec codec;
    return codec;
}

} // namespace

bool readDibLayout(QByteArrayView info, DibKind kind, DibLayout& layout)
{
    BmpHeader header;
    Failure failure;
    if (!parseInfo(info, kind, header, failure))
        return false;
    layout.width = int(header.width);
    layout.height = int(header.height);
    layout.bits = header.bits;
    layout.colourBytes = header.paletteOffset + qsizetype(header.paletteCount) * header.paletteEntrySize;
    const bool runLength = header.compression == kRle8 || header.compression == kRle4;
    // A header's sizes are the file's word: their product may not fit any integer.
    qint64 pixelBytes = 0;
    if (!runLength && (qMulOverflow(strideOf(header), header.height, &pixelBytes) ||
                       pixelBytes > std::numeric_limits<qsizetype>::max()))
        return false;
    layout.pixelBytes = qsizetype(pixelBytes);
    return true;
}

bool decodeDib(QByteArrayView info, QByteArrayView pixels, DibKind kind, const DecodeContext& context, QImage& out)
{
    BmpHeader header;
    Failure failure;
    if (!parseInfo(info, kind, header, failure))
        return context.fail(failure);
    return decodePixels(info, pixels, header, context, out);
}

// The file list's quick scan shows what the header says: it takes every info header from the
// OS/2 core header's 12 bytes to the largest Windows one and every depth a bitmap may have,
// whatever the compression.
bool bmpQuickHeader(QByteArrayView head, HeaderInfo& info)
{
    constexpr qsizetype kLongestInfoHeader = 124;
    constexpr qsizetype kShortestLaterHeader = 16;
    constexpr int kDepths[] = {1, 2, 4, 8, 16, 24, 32};
    if (head.size() < kFileHeaderSize + kCoreHeaderSize)
        return false;
    BmpHeader header;
    header.infoSize = readLe32(head, kFileHeaderSize);
    if (header.infoSize != kCoreHeaderSize &&
        (header.infoSize < kShortestLaterHeader || header.infoSize > kLongestInfoHeader ||
         head.size() < kFileHeaderSize + kShortestLaterHeader))
        return false;
    readSizeAndDepth(head.sliced(kFileHeaderSize), header);
    if (!hasArea(header) || std::find(std::begin(kDepths), std::end(kDepths), header.bits) == std::end(kDepths))
        return false;
    info.width = int(header.width);
    info.height = int(header.height);
    info.bitsPerPixel = header.bits;
    return true;
}

const Codec* bmpCodec()
{
    return &theBmpCodec();
}

const Writer* bmpWriter()
{
    return &theBmpCodec();
}

} // namespace imagelib
