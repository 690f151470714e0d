// Legacy formats read through GraphicsMagick. Our own parsers decide what a file is, how large
// it is and whether its header is sane, and refuse bombs before any decoder runs; GraphicsMagick
// only turns the bytes into pixels, with its coder always named (see gmcontext.h).
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include <QStringList>

#include "imagelib/codecs/bytes.h"
#include "imagelib/codecs/dib.h"
#include "imagelib/codecs/gmcontext.h"
#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

// What a header says: the picture's size and depth, and the fewest bytes a file with that header
// can have, so that a tiny file claiming a large picture is refused before it is decoded.
struct Layout {
    qint64 width = 0;
    qint64 height = 0;
    int bits = 0;
    qint64 minimumBytes = 0;
};

// Bytes needed for `bytes` of data that a run-length scheme packs at best `ratio` to one.
qint64 packed(qint64 bytes, qint64 ratio)
{
    return (bytes + ratio - 1) / ratio;
}

bool oneOf(qint64 value, std::initializer_list<qint64> allowed)
{
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

// Sides no picture has: a header stating one is damaged rather than too large, and the byte
// counts worked out from sizes within it stay far from overflowing.
constexpr qint64 kMaxStatedSide = qint64(1) << 24;

// A size with an area that no arithmetic on it overflows; the limits are checked when decoding.
bool sane(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= kMaxStatedSide && height <= kMaxStatedSide;
}

// Headers written as text (Netpbm, X bitmaps and pixmaps).
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

qsizetype skipSpace(QByteArrayView text, qsizetype position)
{
    while (position < text.size() && isSpace(text[position]))
        ++position;
    return position;
}

// A decimal number of at most ten digits at `position`, which moves past it; false when there
// is no digit. Ten digits cannot overflow, and any longer number breaks the limits anyway.
bool decimal(QByteArrayView text, qsizetype& position, qint64& value)
{
    const qsizetype first = position;
    value = 0;
    while (position < text.size() && text[position] >= '0' && text[position] <= '9' && position - first < 10)
        value = value * 10 + (text[position++] - '0');
    return position > first;
}

// ZSoft Paintbrush: a 128-byte header, then rows run-length coded plane by plane.
constexpr qsizetype kPcxHeader = 128;

bool parsePcx(QByteArrayView head, Layout& layout)
{
    if (head.size() < kPcxHeader || uchar(head[0]) != 0x0a)
        return false;
    const int version = uchar(head[1]);
    // Encoding 1 is run-length; some writers store 0 and still pack the rows.
    const int encoding = uchar(head[2]);
    const int bits = uchar(head[3]);
    const int planes = uchar(head[65]);
    const qint64 left = readLe16(head, 4);
    const qint64 top = readLe16(head, 6);
    const qint64 right = readLe16(head, 8);
    const qint64 bottom = readLe16(head, 10);
    const qint64 bytesPerLine = readLe16(head, 66);
    if (!oneOf(version, {0, 2, 3, 4, 5}) || encoding > 1 || !oneOf(bits, {1, 2, 4, 8}) || planes < 1 || planes > 4 ||
        right < left || bottom < top)
        return false;
    layout.width = right - left + 1;
    layout.height = bottom - top + 1;
    layout.bits = bits * planes;
    if (bytesPerLine < (layout.width * bits + 7) / 8)
        return false;
    // A two-byte run expands to at most 63 bytes.
    layout.minimumBytes = kPcxHeader + 2 * packed(layout.height * planes * bytesPerLine, 63);
    return true;
}

// Multi-page Paintbrush: a magic number, a table of page offsets, then one PCX file per page.
constexpr quint32 kDcxMagic = 0x3ade68b1;
constexpr int kDcxMaxPages = 1023;

bool dcxStart(QByteArrayView head, qint64& firstPage)
{
    if (head.size() < 8 || readLe32(head, 0) != kDcxMagic)
        return false;
    firstPage = readLe32(head, 4);
    return firstPage >= 8 && firstPage <= 4 * (kDcxMaxPages + 2);
}

bool sniffDcx(QByteArrayView head)
{
    qint64 firstPage = 0;
    Layout page;
    // The table usually fills the whole head; when the first page is in view, it must be a PCX.
    return dcxStart(head, firstPage) &&
           (firstPage + kPcxHeader > head.size() || parsePcx(head.sliced(firstPage), page));
}

bool dcxLayout(SourceFile& file, Layout& layout)
{
    qint64 firstPage = 0;
    if (!dcxStart(file.head(8), firstPage))
        return false;
    const QByteArrayView head = file.head(firstPage + kPcxHeader);
    if (!fits(head, firstPage, kPcxHeader) || !parsePcx(head.sliced(firstPage), layout))
        return false;
    layout.minimumBytes += firstPage;
    return true;
}

// Netpbm: "P1".."P6", then width, height and (but for bitmaps) the largest sample value as
// decimal text with comments, one white-space byte, then the samples.
enum class Pnm { Bitmap, Graymap, Pixmap };

// The next decimal number from `position`, skipping white space and comments; false when the
// head ends first or the number is out of range.
bool pnmNumber(QByteArrayView head, qsizetype& position, qint64& value)
{
    while (position < head.size() && (isSpace(head[position]) || head[position] == '#')) {
        if (head[position] == '#') {
            while (position < head.size() && head[position] != '\n' && head[position] != '\r')
                ++position;
        } else {
            ++position;
        }
    }
    return decimal(head, position, value) && position < head.size() &&
           (isSpace(head[position]) || head[position] == '#');
}

bool parsePnm(QByteArrayView head, Pnm kind, Layout& layout)
{
    const char plain = "123"[int(kind)];
    const char raw = "456"[int(kind)];
    if (head.size() < 3 || head[0] != 'P' || (head[1] != plain && head[1] != raw) || !isSpace(head[2]))
        return false;
    qsizetype position = 2;
    qint64 maximum = 1;
    if (!pnmNumber(head, position, layout.width) || !pnmNumber(head, position, layout.height) ||
        (kind != Pnm::Bitmap && !pnmNumber(head, position, maximum)))
        return false;
    if (!sane(layout.width, layout.height) || maximum < 1 || maximum > 65535 || !isSpace(head[position]))
        return false;
    const int channels = kind == Pnm::Pixmap ? 3 : 1;
    const int sampleBytes = maximum > 255 ? 2 : 1;
    layout.bits = kind == Pnm::Bitmap ? 1 : channels * 8 * sampleBytes;
    const qint64 samples = layout.width * layout.height * channels;
    qint64 data = samples; // plain files: at least one character a sample
    if (head[1] == raw)
        data = kind == Pnm::Bitmap ? (layout.width + 7) / 8 * layout.height : samples * sampleBytes;
    layout.minimumBytes = position + 1 + data;
    return true;
}

bool parsePbm(QByteArrayView head, Layout& layout)
{
    return parsePnm(head, Pnm::Bitmap, layout);
}

bool parsePgm(QByteArrayView head, Layout& layout)
{
    return parsePnm(head, Pnm::Graymap, layout);
}

bool parsePpm(QByteArrayView head, Layout& layout)
{
    return parsePnm(head, Pnm::Pixmap, layout);
}

// Truevision Targa has no signature: the 18-byte header must hold together.
constexpr qsizetype kTgaHeader = 18;

bool parseTga(QByteArrayView head, Layout& layout)
{
    if (head.size() < kTgaHeader)
        return false;
    const int idLength = uchar(head[0]);
    const int mapType = uchar(head[1]);
    const int type = uchar(head[2]);
    const qint64 mapLength = readLe16(head, 5);
    const int mapEntryBits = uchar(head[7]);
    const int depth = uchar(head[16]);
    const int descriptor = uchar(head[17]);
    layout.width = readLe16(head, 12);
    layout.height = readLe16(head, 14);
    const bool mapped = type == 1 || type == 9;
    const bool grey = type == 3 || type == 11;
    if (mapType > 1 || !oneOf(type, {1, 2, 3, 9, 10, 11}) || !oneOf(depth, {8, 15, 16, 24, 32}))
        return false;
    if (mapped && (mapType != 1 || mapLength == 0 || (depth != 8 && depth != 16)))
        return false;
    if (mapType == 1 && !oneOf(mapEntryBits, {15, 16, 24, 32}))
        return false;
    if ((grey && depth != 8 && depth != 16) || (!mapped && !grey && depth == 8))
        return false;
    // Interleaved rows are obsolete and no writer we know makes them.
    if ((descriptor & 0xc0) != 0 || !sane(layout.width, layout.height))
        return false;
    layout.bits = depth;
    const qint64 pixelBytes = (depth + 7) / 8;
    const qint64 pixels = layout.width * layout.height;
    // A run-length packet holds up to 128 pixels after its count byte.
    const qint64 data = type > 8 ? packed(pixels, 128) * (1 + pixelBytes) : pixels * pixelBytes;
    layout.minimumBytes = kTgaHeader + idLength + (mapType == 1 ? mapLength * ((mapEntryBits + 7) / 8) : 0) + data;
    return true;
}

// Wireless bitmap type 0: type and header bytes of 0, width and height as multi-byte numbers,
// then the rows, one bit a pixel. No signature either.
bool wbmpNumber(QByteArrayView head, qsizetype& position, qint64& value)
{
    value = 0;
    // Four groups of seven bits cover every allowed side; a leading empty group is malformed.
    if (position < head.size() && uchar(head[position]) == 0x80)
        return false;
    for (int i = 0; i < 4 && position < head.size(); ++i) {
        const uchar byte = uchar(head[position++]);
        value = value << 7 | (byte & 0x7f);
        if (!(byte & 0x80))
            return true;
    }
    return false;
}

bool parseWbmp(QByteArrayView head, Layout& layout)
{
    if (head.size() < 4 || head[0] != 0 || head[1] != 0)
        return false;
    qsizetype position = 2;
    if (!wbmpNumber(head, position, layout.width) || !wbmpNumber(head, position, layout.height) ||
        !sane(layout.width, layout.height))
        return false;
    layout.bits = 1;
    layout.minimumBytes = position + (layout.width + 7) / 8 * layout.height;
    // A head shorter than asked for is the whole file: its rows must all be there.
    return head.size() == kSniffBytes || head.size() >= layout.minimumBytes;
}

// Sun raster: eight big-endian words, a colour map, then rows padded to 16 bits.
constexpr quint32 kSunMagic = 0x59a66a95;
constexpr qsizetype kSunHeader = 32;

bool parseSun(QByteArrayView head, Layout& layout)
{
    if (head.size() < kSunHeader || readBe32(head, 0) != kSunMagic)
        return false;
    layout.width = readBe32(head, 4);
    layout.height = readBe32(head, 8);
    layout.bits = int(readBe32(head, 12));
    const quint32 type = readBe32(head, 20);
    const quint32 mapType = readBe32(head, 24);
    const qint64 mapLength = readBe32(head, 28);
    // Types: old, standard, run-length, RGB order; maps: none, RGB planes, raw.
    if (!oneOf(layout.bits, {1, 8, 24, 32}) || type > 3 || mapType > 2 || !sane(layout.width, layout.height))
        return false;
    if ((mapType == 0 && mapLength != 0) || (mapType == 1 && (mapLength > 3 * 256 || mapLength % 3 != 0)) ||
        mapLength > limits().maxFileBytes)
        return false;
    const qint64 data = (layout.width * layout.bits + 15) / 16 * 2 * layout.height;
    // Three run-length bytes make at most 256.
    layout.minimumBytes = kSunHeader + mapLength + (type == 2 ? 3 * packed(data, 256) : data);
    return true;
}

// Silicon Graphics image: a 512-byte big-endian header; run-length files then hold a table of
// row offsets and lengths, 8 bytes a row and channel.
constexpr quint16 kSgiMagic = 474;
constexpr qsizetype kSgiHeader = 512;

bool parseSgi(QByteArrayView head, Layout& layout)
{
    if (head.size() < kSgiHeader || readBe16(head, 0) != kSgiMagic)
        return false;
    const int storage = uchar(head[2]);
    const int sampleBytes = uchar(head[3]);
    const int dimension = readBe16(head, 4);
    const quint32 colourMap = readBe32(head, 104);
    if (storage > 1 || (sampleBytes != 1 && sampleBytes != 2) || dimension < 1 || dimension > 3 || colourMap != 0)
        return false;
    layout.width = readBe16(head, 6);
    layout.height = dimension == 1 ? 1 : readBe16(head, 8);
    const qint64 channels = dimension == 3 ? readBe16(head, 10) : 1;
    if (channels < 1 || channels > 4 || !sane(layout.width, layout.height))
        return false;
    layout.bits = int(channels) * 8 * sampleBytes;
    const qint64 rows = layout.height * channels;
    layout.minimumBytes = kSgiHeader + (storage == 1 ? 8 * rows : rows * layout.width * sampleBytes);
    return true;
}

// X bitmaps and pixmaps are C source; their headers are read from the head, as text.

// The number after `name` where `name` ends an identifier of a "#define" line; -1 when absent.
qint64 xbmDefine(QByteArrayView head, QByteArrayView suffix)
{
    qsizetype position = 0;
    while ((position = head.indexOf(QByteArrayView("#define"), position)) >= 0) {
        position = skipSpace(head, position + 7);
        const qsizetype nameStart = position;
        while (position < head.size() && !isSpace(head[position]))
            ++position;
        if (head.sliced(nameStart, position - nameStart).endsWith(suffix)) {
            position = skipSpace(head, position);
            qint64 value = 0;
            return decimal(head, position, value) && position < head.size() && isSpace(head[position]) ? value : -1;
        }
    }
    return -1;
}

bool parseXbm(QByteArrayView head, Layout& layout)
{
    if (!head.sliced(skipSpace(head, 0)).startsWith("#define"))
        return false;
    layout.width = xbmDefine(head, "_width");
    layout.height = xbmDefine(head, "_height");
    const qsizetype bits = head.indexOf(QByteArrayView("_bits"));
    if (bits < 0 || head.indexOf(QByteArrayView("static")) < 0 || !sane(layout.width, layout.height))
        return false;
    layout.bits = 1;
    // Every byte of pixels is written as a number and a separator at least.
    layout.minimumBytes = bits + 2 * ((layout.width + 7) / 8 * layout.height);
    return true;
}

bool parseXpm(QByteArrayView head, Layout& layout)
{
    if (!head.sliced(skipSpace(head, 0)).startsWith("/* XPM */"))
        return false;
    // The first string of the array: "width height colours characters-per-pixel ...".
    const qsizetype brace = head.indexOf('{');
    const qsizetype open = brace < 0 ? -1 : head.indexOf('"', brace);
    const qsizetype close = open < 0 ? -1 : head.indexOf('"', open + 1);
    if (close < 0)
        return false;
    const QByteArrayView values = head.sliced(open + 1, close - open - 1);
    qint64 numbers[4] = {};
    qsizetype position = 0;
    for (qint64& number : numbers) {
        position = skipSpace(values, position);
        if (!decimal(values, position, number) || (position < values.size() && !isSpace(values[position])))
            return false;
    }
    const auto [width, height, colours, charsPerPixel] = numbers;
    if (!sane(width, height) || colours < 1 || charsPerPixel < 1 || charsPerPixel > 8)
        return false;
    layout.width = width;
    layout.height = height;
    layout.bits = colours <= 2 ? 1 : colours <= 16 ? 4 : colours <= 256 ? 8 : 24;
    layout.minimumBytes = close + (colours + width * height) * charsPerPixel;
    return true;
}

// Kodak Photo CD image pacs: the image information packet at 0x800 and the orientation of the
// base picture at 0xe02. The base picture (768 by 512, or 512 by 768 when turned) is what we
// decode; the larger resolutions would take seconds and a great deal of memory for a viewer.
constexpr qsizetype kPcdSignatureAt = 0x800;
constexpr qsizetype kPcdOrientationAt = 0xe02;
constexpr unsigned long kPcdBaseResolution = 3;

bool sniffPcd(QByteArrayView head)
{
    return head.size() >= kPcdSignatureAt + 8 && head.sliced(kPcdSignatureAt, 7) == QByteArrayView("PCD_IPI");
}

bool parsePcd(QByteArrayView head, Layout& layout)
{
    if (!sniffPcd(head) || head.size() <= kPcdOrientationAt)
        return false;
    const bool turned = uchar(head[kPcdOrientationAt]) & 1;
    layout.width = turned ? 512 : 768;
    layout.height = turned ? 768 : 512;
    layout.bits = 24;
    return true;
}

// Windows metafiles: the standard 18-byte header, after a 22-byte placeable header whose
// bounding box and units per inch give the picture's size. Placeable files render at 96 dots
// per inch, the screen resolution they were drawn for; standard ones, whose units are the
// drawing device's pixels, at GraphicsMagick's own 72, where it takes one unit for one pixel.
constexpr quint32 kPlaceableKey = 0x9ac6cdd7;
constexpr qsizetype kPlaceableHeader = 22;
constexpr qsizetype kMetaHeader = 18;
constexpr int kMetafileDpi = 96;
// A metafile is drawn, not decoded: a canvas of hundreds of megapixels takes GraphicsMagick many
// seconds to fill from a file of a hundred bytes, and no drawing needs more than a sixteenth of
// the largest slide (16 megapixels).
qint64 maxMetafilePixels()
{
    return limits().maxPixels / 16;
}

bool metaHeader(QByteArrayView data, qsizetype at)
{
    if (!fits(data, at, kMetaHeader))
        return false;
    const int type = readLe16(data, at);
    const int headerWords = readLe16(data, at + 2);
    const int version = readLe16(data, at + 4);
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

bool placeable(QByteArrayView head)
{
    return head.size() >= 4 && readLe32(head, 0) == kPlaceableKey && metaHeader(head, kPlaceableHeader);
}

bool sniffMetafile(QByteArrayView head)
{
    return placeable(head) || metaHeader(head, 0);
}

// Pixels of a bounding-box side at 96 dpi, rounded up as GraphicsMagick sizes its canvas.
qint64 metafileSide(qint64 units, qint64 unitsPerInch)
{
    return (std::abs(units) * kMetafileDpi + unitsPerInch - 1) / unitsPerInch;
}

// A standard metafile's size is only known once its drawing is scanned: width and height 0.
bool parseMetafile(QByteArrayView head, Layout& layout)
{
    layout.bits = 24;
    if (!placeable(head))
        return metaHeader(head, 0);
    const qint64 unitsPerInch = readLe16(head, 14);
    if (unitsPerInch == 0)
        return false;
    layout.width = metafileSide(qint64(qint16(readLe16(head, 10))) - qint16(readLe16(head, 6)), unitsPerInch);
    layout.height = metafileSide(qint64(qint16(readLe16(head, 12))) - qint16(readLe16(head, 8)), unitsPerInch);
    layout.minimumBytes = kPlaceableHeader + kMetaHeader;
    return layout.width > 0 && layout.height > 0;
}

// The size of a drawing within the limits and maxMetafilePixels(); otherwise the reason.
bool drawingAllowed(qint64 width, qint64 height, Failure& failure)
{
    if (sizeAllowed(width, height) && width * height <= maxMetafilePixels())
        return true;
    failure = Failure::tooLarge(width, height);
    return false;
}

// Text records draw through GraphicsMagick's font machinery, which on this system finds no font
// files, goes looking for a font program and can end the process on a failed assertion. They
// become text-alignment records, harmless with no text left to align: the drawing shows
// without its captions.
constexpr quint16 kMetaTextOut = 0x0521;
constexpr quint16 kMetaExtTextOut = 0x0a32;
constexpr quint16 kMetaSetTextAlign = 0x012e;
constexpr qsizetype kMetaRecordHeader = 6;

// Where a record's device-independent bitmap starts after the record header; -1 without one.
qsizetype bitmapAt(quint16 function, QByteArrayView record)
{
    const qint64 words = record.size() / 2;
    switch (function) {
    case 0x0940: // DIBBITBLT; at this size, a pattern fill without a bitmap
        return words == 12 ? -1 : 16;
    case 0x0b41: // DIBSTRETCHBLT, likewise
        return words == 14 ? -1 : 20;
    case 0x0f43: // STRETCHDIB
        return 22;
    case 0x0d33: // SETDIBTODEV
        return 18;
    case 0x0142: // DIBCREATEPATTERNBRUSH; its BS_PATTERN style holds another kind of bitmap
        return fits(record, kMetaRecordHeader, 2) && readLe16(record, kMetaRecordHeader) == 3 ? -1 : 4;
    default:
        return -1;
    }
}

// GraphicsMagick hands a bitmap record's bytes to whichever coder their content suggests, so each
// must be a whole bitmap of the kind the record promises, and one within the limits. Its bitmap
// reader also trusts two fields ours works out for itself: the pixel bytes and the colours used,
// refusing more than a palette holds; a bitmap it refuses costs a leak inside its metafile coder.
bool wholeBitmap(QByteArrayView record, qsizetype at)
{
    constexpr qsizetype kSizeImageAt = 20;
    constexpr qsizetype kColoursUsedAt = 32;
    constexpr quint32 kMostColours = 256;
    DibLayout layout;
    const qsizetype start = kMetaRecordHeader + at;
    if (start >= record.size() || !readDibLayout(record.sliced(start), DibKind::Bitmap, layout) ||
        !sizeAllowed(layout.width, layout.height))
        return false;
    const qsizetype room = record.size() - start;
    const bool statesCounts = fits(record, start + kColoursUsedAt, 4) && readLe32(record, start) >= 40;
    return layout.colourBytes + layout.pixelBytes <= room &&
           (!statesCounts || (readLe32(record, start + kColoursUsedAt) <= kMostColours &&
                              readLe32(record, start + kSizeImageAt) <= quint64(room - layout.colourBytes)));
}

// Walks the records up to the end record: false when one does not fit in the file or carries a
// bitmap that is not one. Text records are changed in `copy`, made on the first of them.
bool readyForDrawing(QByteArrayView data, QByteArray& copy)
{
    qsizetype position = (placeable(data) ? kPlaceableHeader : 0) + kMetaHeader;
    while (fits(data, position, kMetaRecordHeader)) {
        const qint64 bytes = 2 * qint64(readLe32(data, position));
        const quint16 function = readLe16(data, position + 4);
        if (bytes < kMetaRecordHeader || !fits(data, position, bytes))
            return false;
        if (function == 0)
            return true;
        const QByteArrayView record = data.sliced(position, bytes);
        const qsizetype bitmap = bitmapAt(function, record);
        if (bitmap >= 0 && !wholeBitmap(record, bitmap))
            return false;
        if (function == kMetaTextOut || function == kMetaExtTextOut) {
            if (copy.isEmpty())
                copy = data.toByteArray();
            qToLittleEndian(kMetaSetTextAlign, copy.data() + position + 4);
        }
        position += bytes;
    }
    return false;
}

// WordPerfect graphics: a 16-byte header, then records; level 1 and level 2 frame them
// differently. Records that embed PostScript are refused outright: GraphicsMagick would copy them
// to a temporary file and hand them to whichever coder their content names.
constexpr quint32 kWpgMagic = 0x435057ff;
constexpr qsizetype kWpgHeader = 16;
constexpr qsizetype kWpgHeadBytes = 64 * 1024;

bool sniffWpg(QByteArrayView head)
{
    // Product 1, file type 0x16, level 1 or 2 with minor version 0, not encrypted.
    return head.size() >= kWpgHeader && readLe32(head, 0) == kWpgMagic && readLe32(head, 4) >= kWpgHeader &&
           uchar(head[9]) == 0x16 && (head[10] == 1 || head[10] == 2) && head[11] == 0 && readLe16(head, 12) == 0;
}

// A record length: one byte, or 0xff and 16 bits, whose top bit announces 15 more high bits.
bool wpgLength(QByteArrayView data, qsizetype& position, qint64& length)
{
    if (!fits(data, position, 1))
        return false;
    length = uchar(data[position++]);
    if (length < 0xff)
        return true;
    if (!fits(data, position, 2))
        return false;
    length = readLe16(data, position);
    position += 2;
    if (length < 0x8000)
        return true;
    if (!fits(data, position, 2))
        return false;
    length = (length & 0x7fff) << 16 | readLe16(data, position);
    position += 2;
    return true;
}

struct WpgScan {
    Layout first; // the first bitmap; width 0 until one is seen
    bool complete = false;
    Failure failure; // why the scan refused the file
};

// Bits a pixel of a level-2 bitmap's depth code.
int wpg2Bits(int code)
{
    switch (code) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 3:
        return 4;
    case 4:
        return 8;
    case 8:
        return 24;
    default:
        return 0;
    }
}

// Walks the records of `data`: false, with the reason, on embedded PostScript or a bitmap without
// area. With `firstOnly` it stops at the first bitmap; otherwise it checks them all, and that
// they are within the limits. The scan is complete once it reached the end record or the end of
// the data.
bool scanWpg(QByteArrayView data, bool firstOnly, WpgScan& scan)
{
    scan.failure = Failure::damaged();
    if (!sniffWpg(data))
        return false;
    const bool level2 = data[10] == 2;
    qsizetype position = readLe32(data, 4);
    while (fits(data, position, level2 ? 2 : 1)) {
        const int type = uchar(data[position + (level2 ? 1 : 0)]);
        position += level2 ? 2 : 1;
        qint64 length = 0;
        if (level2 && !wpgLength(data, position, length)) // the extension length goes unused
            break;
        if (!wpgLength(data, position, length))
            break;
        if (level2 ? type == 0x12 : (type == 0x11 || type == 0x1b)) {
            scan.failure = Failure::unsupported(QStringLiteral("WordPerfect graphics with PostScript"));
            return false;
        }
        if ((level2 && type == 0x02) || (!level2 && type == 0x10)) {
            scan.complete = true;
            return true;
        }
        Layout bitmap;
        const qsizetype sizeAt = level2 || type == 0x0b ? position : position + 10;
        if (level2 && type == 0x0e && fits(data, sizeAt, 5)) {
            bitmap.bits = wpg2Bits(uchar(data[sizeAt + 4]));
        } else if (!level2 && (type == 0x0b || type == 0x14) && fits(data, sizeAt, 6)) {
            bitmap.bits = readLe16(data, sizeAt + 4);
        } else {
            if (!fits(data, position, length))
                break;
            position += length;
            continue;
        }
        bitmap.width = readLe16(data, sizeAt);
        bitmap.height = readLe16(data, sizeAt + 2);
        if (bitmap.width == 0 || bitmap.height == 0)
            return false;
        if (!firstOnly && !sizeAllowed(bitmap.width, bitmap.height)) {
            scan.failure = Failure::tooLarge(bitmap.width, bitmap.height);
            return false;
        }
        if (scan.first.width == 0)
            scan.first = bitmap;
        if (firstOnly)
            return true;
        if (!fits(data, position, length))
            break;
        position += length;
    }
    scan.complete = position >= data.size();
    return true;
}

QStringList names(std::initializer_list<const char*> extensions)
{
    QStringList list;
    for (const char* extension : extensions)
        list << QString::fromLatin1(extension);
    return list;
}

// A legacy reader: our header parsing, GraphicsMagick's pixels.
class LegacyCodec : public Codec {
public:
    LegacyCodec(int format, const char* description, QStringList extensions, const char* coder)
        : m_format(format), m_description(QString::fromLatin1(description)), m_extensions(std::move(extensions)),
          m_coder(coder)
    {
    }

    int format() const override { return m_format; }
    QString description() const override { return m_description; }
    QStringList extensions() const override { return m_extensions; }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        Layout layout;
        Failure failure;
        if (!this->layout(file, layout, failure))
            return false;
        info.format = m_format;
        info.width = int(layout.width);
        info.height = int(layout.height);
        info.bitsPerPixel = layout.bits;
        return true;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        // The header first: a bomb is refused before the whole file is even read. A metafile
        // may state no size: its drawing tells it (see prepare).
        Layout layout;
        Failure failure = Failure::damaged();
        if (!this->layout(file, layout, failure))
            return context.fail(failure);
        if (layout.width > 0 && !context.allowSize(layout.width, layout.height))
            return false;
        const QByteArray* data = file.all();
        if (!data)
            return false;
        if (data->size() < layout.minimumBytes)
            return context.fail(Failure::truncated());
        GmSource source = gmSource();
        QByteArray storage;
        if (!prepare(*data, layout, source, storage, failure))
            return context.fail(failure);
        std::vector<Slide> slides;
        if (!gmDecode(source, context, slides))
            return false;
        picture.format = m_format;
        picture.bitsPerPixel = layout.bits;
        picture.slides = std::move(slides);
        return true;
    }

protected:
    // The header's layout, reading only what it needs of the file; false when the file is not
    // in this format or its header is damaged (`failure` then says why where the header tells
    // more than that). The size is not checked against the limits.
    virtual bool layout(SourceFile& file, Layout& layout, Failure& failure) const = 0;

    virtual GmSource gmSource() const
    {
        GmSource source;
        source.coder = m_coder;
        return source;
    }

    // The bytes GraphicsMagick gets, in `source.data`: the file itself unless a reader must
    // check or change it first (`storage` then holds a changed copy). False with the reason when
    // the file is not to be decoded.
    virtual bool prepare(QByteArrayView data, const Layout& layout, GmSource& source, QByteArray& storage,
                         Failure& failure) const
    {
        Q_UNUSED(layout);
        Q_UNUSED(storage);
        Q_UNUSED(failure);
        source.data = data;
        return true;
    }

    bool hasExtension(QStringView suffix) const { return m_extensions.contains(suffix); }

private:
    int m_format;
    QString m_description;
    QStringList m_extensions;
    const char* m_coder;
};

// A format whose header sits in the first bytes: sniffing and the layout share one parser.
class HeadCodec : public LegacyCodec {
public:
    using Parser = bool (*)(QByteArrayView head, Layout& layout);

    HeadCodec(int format, const char* description, QStringList extensions, const char* coder, Parser parser,
              qsizetype headBytes = kSniffBytes)
        : LegacyCodec(format, description, std::move(extensions), coder), m_parser(parser), m_headBytes(headBytes)
    {
    }

    bool sniff(QByteArrayView head) const override
    {
        Layout layout;
        return m_parser(head, layout);
    }

protected:
    bool layout(SourceFile& file, Layout& layout, Failure&) const override
    {
        return m_parser(file.head(m_headBytes), layout);
    }

private:
    Parser m_parser;
    qsizetype m_headBytes;
};

// Targa and wireless bitmaps carry no signature: their extension must agree as well.
class ExtensionCodec final : public HeadCodec {
public:
    using HeadCodec::HeadCodec;

    bool recognise(QByteArrayView head, QStringView suffix) const override
    {
        return hasExtension(suffix) && sniff(head);
    }
};

class DcxCodec final : public LegacyCodec {
public:
    DcxCodec() : LegacyCodec(kFlmDcx, "ZSoft Paintbrush", names({"dcx"}), "DCX") {}
    bool sniff(QByteArrayView head) const override { return sniffDcx(head); }

protected:
    bool layout(SourceFile& file, Layout& layout, Failure&) const override { return dcxLayout(file, layout); }
};

// The Photo CD signature lies past the bytes the library sniffs (kSniffBytes). A longer head is
// judged by content; the usual one, by the extension, and reading its header confirms it.
class PcdCodec final : public HeadCodec {
public:
    PcdCodec() : HeadCodec(kFlmPhotoCd, "Kodak Photo CD", names({"pcd"}), "PCD", parsePcd, kPcdOrientationAt + 1) {}

    bool sniff(QByteArrayView head) const override { return sniffPcd(head); }

    bool recognise(QByteArrayView head, QStringView suffix) const override
    {
        if (head.size() >= kPcdSignatureAt + 8)
            return sniff(head);
        return hasExtension(suffix) && head.size() >= kSniffBytes;
    }

protected:
    GmSource gmSource() const override
    {
        GmSource source = HeadCodec::gmSource();
        source.subimage = kPcdBaseResolution;
        source.subrange = 1;
        return source;
    }
};

// Windows and Aldus (placeable) metafiles share the coder; a placeable file is reported as
// Aldus when its extension says so.
class MetafileCodec final : public HeadCodec {
public:
    explicit MetafileCodec(bool aldus)
        : HeadCodec(aldus ? kFlmApm : kFlmWmf, aldus ? "Aldus Metafile" : "Windows Metafile",
                    names({aldus ? "apm" : "wmf"}), "WMF", parseMetafile),
          m_aldus(aldus)
    {
    }

    bool sniff(QByteArrayView head) const override { return m_aldus ? placeable(head) : sniffMetafile(head); }

    bool recognise(QByteArrayView head, QStringView suffix) const override
    {
        const bool aldusFile = placeable(head) && suffix == QLatin1String("apm");
        return sniff(head) && aldusFile == m_aldus;
    }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        if (!HeadCodec::readHeader(file, info))
            return false;
        if (info.width > 0)
            return true;
        // Without a bounding box, the size comes from GraphicsMagick's scan of the drawing.
        const QByteArray* data = file.all();
        GmSource source = gmSource();
        QByteArray storage;
        QSize size;
        Failure failure;
        if (!data || !prepareDrawing(*data, source, storage, failure) || !gmPing(source, size, failure))
            return false;
        info.width = size.width();
        info.height = size.height();
        return true;
    }

protected:
    // A placeable header states the drawing's size; the others tell it only by GraphicsMagick's
    // scan of their records.
    bool prepare(QByteArrayView data, const Layout& layout, GmSource& source, QByteArray& storage,
                 Failure& failure) const override
    {
        QSize size(int(layout.width), int(layout.height));
        return prepareDrawing(data, source, storage, failure) && (layout.width > 0 || gmPing(source, size, failure)) &&
               drawingAllowed(size.width(), size.height(), failure);
    }

private:
    // The bytes to draw; false with the reason when the records are not to be drawn.
    static bool prepareDrawing(QByteArrayView data, GmSource& source, QByteArray& storage, Failure& failure)
    {
        if (!readyForDrawing(data, storage)) {
            failure = Failure::damaged();
            return false;
        }
        source.data = storage.isEmpty() ? data : QByteArrayView(storage);
        source.dotsPerInch = placeable(data) ? kMetafileDpi : 0;
        return true;
    }

    bool m_aldus;
};

class WpgCodec final : public LegacyCodec {
public:
    WpgCodec() : LegacyCodec(kFlmWpg, "WordPerfect Graphics", names({"wpg"}), "WPG") {}
    bool sniff(QByteArrayView head) const override { return sniffWpg(head); }

protected:
    // The first bitmap's record is usually near the start; only a file whose head does not
    // reach it is read whole.
    bool layout(SourceFile& file, Layout& layout, Failure& failure) const override
    {
        WpgScan scan;
        bool scanned = scanWpg(file.head(kWpgHeadBytes), true, scan);
        if (scanned && scan.first.width == 0 && !scan.complete) {
            const QByteArray* data = file.all();
            scanned = data && scanWpg(*data, true, scan);
        }
        failure = scan.failure;
        layout = scan.first;
        return scanned && layout.width > 0;
    }

    bool prepare(QByteArrayView data, const Layout& layout, GmSource& source, QByteArray& storage,
                 Failure& failure) const override
    {
        WpgScan scan;
        if (!scanWpg(data, false, scan)) {
            failure = scan.failure;
            return false;
        }
        return LegacyCodec::prepare(data, layout, source, storage, failure);
    }
};

} // namespace

const Codec* pcxCodec()
{
    static const HeadCodec codec(kFlmPcx, "ZSoft Paintbrush", names({"pcx"}), "PCX", parsePcx);
    return &codec;
}

const Codec* dcxCodec()
{
    static const DcxCodec codec;
    return &codec;
}

const Codec* pbmCodec()
{
    static const HeadCodec codec(kFlmPbm, "Portable Bitmap", names({"pbm"}), "PNM", parsePbm);
    return &codec;
}

const Codec* pgmCodec()
{
    static const HeadCodec codec(kFlmPgm, "Portable Graymap", names({"pgm"}), "PNM", parsePgm);
    return &codec;
}

const Codec* ppmCodec()
{
    static const HeadCodec codec(kFlmPpm, "Portable Pixelmap", names({"ppm"}), "PNM", parsePpm);
    return &codec;
}

const Codec* tgaCodec()
{
    static const ExtensionCodec codec(kFlmTga, "Truevision Targa", names({"tga", "vda", "icb", "vst"}), "TGA",
                                      parseTga);
    return &codec;
}

const Codec* pcdCodec()
{
    static const PcdCodec codec;
    return &codec;
}

const Codec* wbmpCodec()
{
    static const ExtensionCodec codec(kFlmWbmp, "Wireless Mono Bitmap", names({"wbm", "wbmp"}), "WBMP", parseWbmp);
    return &codec;
}

const Codec* sunCodec()
{
    static const HeadCodec codec(kFlmSun, "SUN Raster File", names({"ras"}), "SUN", parseSun);
    return &codec;
}

const Codec* sgiCodec()
{
    static const HeadCodec codec(kFlmSgi, "Silicon Graphics Image", names({"sgi"}), "SGI", parseSgi);
    return &codec;
}

const Codec* xbmCodec()
{
    static const HeadCodec codec(kFlmXbm, "X11 bitmap", names({"xbm"}), "XBM", parseXbm);
    return &codec;
}

const Codec* xpmCodec()
{
    static const HeadCodec codec(kFlmXpm, "X11 pixmap", names({"xpm"}), "XPM", parseXpm);
    return &codec;
}

const Codec* wmfCodec()
{
    static const MetafileCodec codec(false);
    return &codec;
}

const Codec* apmCodec()
{
    static const MetafileCodec codec(true);
    return &codec;
}

const Codec* wpgCodec()
{
    static const WpgCodec codec;
    return &codec;
}

} // namespace imagelib
