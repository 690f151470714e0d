// GEM bit images: a header of big-endian words, then scan lines of one to eight bit planes
// packed with pattern runs, solid runs, bit strings and vertical replication. The format has no
// signature, so a file needs the "img" extension and a header whose every field is sane.
// Colour images take their palette from the XIMG extension of the header when it is there;
// GEM programs write it in VDI pen order while the planes hold hardware colour registers, so
// the pens are mapped as the Atari VDI maps them. Without it, the Atari ST default colours
// serve two and four planes, a grey ramp the deeper images.
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imagelib/codecs/bytes.h"
#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

constexpr qsizetype kHeaderBytes = 16;
constexpr int kMaxPlanes = 8;
constexpr int kMaxPatternBytes = 8;
constexpr int kXimgWords = 3; // "XIMG" and the colour model
constexpr int kMaxHeaderWords = 8 + kXimgWords + 3 * 256;
constexpr int kProgressRows = 64;

struct GemHeader {
    int headerWords = 0;
    int planes = 0;
    int patternBytes = 0;
    qint64 width = 0;
    qint64 height = 0;
};

bool parseHeader(QByteArrayView head, GemHeader& header)
{
    if (head.size() < kHeaderBytes)
        return false;
    const int version = readBe16(head, 0);
    header.headerWords = readBe16(head, 2);
    header.planes = readBe16(head, 4);
    header.patternBytes = readBe16(head, 6);
    header.width = readBe16(head, 12);
    header.height = readBe16(head, 14);
    return (version == 1 || version == 2) && header.headerWords >= kHeaderBytes / 2 &&
           header.headerWords <= kMaxHeaderWords && header.planes >= 1 && header.planes <= kMaxPlanes &&
           header.patternBytes >= 1 && header.patternBytes <= kMaxPatternBytes && header.width > 0 && header.height > 0;
}

// XIMG pens as hardware registers, for each depth the VDI has a mapping for.
int hardwareOfPen(int pen, int planes)
{
    static constexpr int kFourColours[] = {0, 3, 1, 2};
    static constexpr int kSixteenColours[] = {0, 15, 1, 2, 4, 6, 3, 5, 7, 8, 9, 10, 12, 14, 11, 13};
    switch (planes) {
    case 2:
        return kFourColours[pen];
    case 4:
        return kSixteenColours[pen];
    case 8:
        return pen < 16 ? (pen == 1 ? 255 : kSixteenColours[pen]) : pen == 255 ? 15 : pen;
    default:
        return pen;
    }
}

// Colours of the Atari ST's default palette, in hardware order, three bits a channel.
QRgb stColour(int index)
{
    static constexpr quint16 kColours[] = {0x777, 0x700, 0x070, 0x770, 0x007, 0x707, 0x077, 0x555,
                                           0x333, 0x733, 0x373, 0x773, 0x337, 0x737, 0x377, 0x000};
    const quint16 colour = kColours[index];
    return qRgb((colour >> 8) * 255 / 7, (colour >> 4 & 7) * 255 / 7, (colour & 7) * 255 / 7);
}

std::array<QRgb, 256> paletteOf(QByteArrayView data, const GemHeader& header)
{
    std::array<QRgb, 256> palette = {};
    const int colours = 1 << header.planes;
    const bool ximg = header.headerWords >= 8 + kXimgWords + 3 * colours && data.size() >= header.headerWords * 2 &&
                      data.sliced(kHeaderBytes).startsWith("XIMG") && readBe16(data, kHeaderBytes + 4) == 0;
    for (int i = 0; i < colours; ++i) {
        if (ximg) {
            // Thousandths of full intensity.
            const qsizetype at = kHeaderBytes + 2 * kXimgWords + 6 * i;
            const auto level = [&](int channel) {
                return std::min(1000, int(readBe16(data, at + 2 * channel))) * 255 / 1000;
            };
            palette[size_t(hardwareOfPen(i, header.planes))] = qRgb(level(0), level(1), level(2));
        } else if (header.planes == 2) {
            palette[size_t(i)] = stColour(i == 3 ? 15 : i);
        } else if (header.planes <= 4 && header.planes > 1) {
            palette[size_t(i)] = stColour(i);
        } else {
            const int grey = 255 - i * 255 / (colours - 1);
            palette[size_t(i)] = qRgb(grey, grey, grey);
        }
    }
    return palette;
}

// Expands one scan line, all its planes, from data[position]; fails when the data ends or holds
// something that is not one of the four kinds of run. Runs past the end of the line are cut.
Failure expandLine(QByteArrayView data, qsizetype& position, int patternBytes, std::vector<uchar>& line)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data.data());
    const qsizetype size = qsizetype(line.size());
    qsizetype filled = 0;
    while (filled < size) {
        if (position >= data.size())
            return Failure::truncated();
        const uchar code = bytes[position];
        if (code == 0x00 || code == 0x80) {
            if (!fits(data, position, 2))
                return Failure::truncated();
            const int count = bytes[position + 1];
            // Pattern runs have a count; "00 00" starts a vertical replication, which only a line may begin with.
            const qsizetype length = code == 0x80 ? count : patternBytes;
            if (count == 0 && code == 0x00)
                return Failure::damaged();
            if (!fits(data, position + 2, length))
                return Failure::truncated();
            const int repeats = code == 0x80 ? 1 : count;
            for (int i = 0; i < repeats && filled < size; ++i) {
                const qsizetype used = std::min(length, size - filled);
                std::memcpy(line.data() + filled, bytes + position + 2, size_t(used));
                filled += used;
            }
            position += 2 + length;
        } else {
            const qsizetype used = std::min<qsizetype>(code & 0x7f, size - filled);
            std::memset(line.data() + filled, code & 0x80 ? 0xff : 0x00, size_t(used));
            filled += used;
            ++position;
        }
    }
    return {};
}

class GemCodec final : public Codec {
public:
    int format() const override { return kFlmGem; }
    QString description() const override { return QStringLiteral("GEM Bit image"); }
    QStringList extensions() const override { return {QStringLiteral("img")}; }

    bool sniff(QByteArrayView head) const override
    {
        GemHeader header;
        return parseHeader(head, header);
    }

    bool recognise(QByteArrayView head, QStringView suffix) const override
    {
        return suffix == QLatin1String("img") && sniff(head);
    }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        GemHeader header;
        if (!parseHeader(file.head(kHeaderBytes), header))
            return false;
        info.format = kFlmGem;
        info.width = int(header.width);
        info.height = int(header.height);
        info.bitsPerPixel = header.planes;
        return true;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* bytes = file.all();
        GemHeader header;
        if (!bytes)
            return false;
        if (!parseHeader(*bytes, header))
            return context.fail(Failure::damaged());
        const QByteArrayView data(*bytes);
        const std::array<QRgb, 256> palette = paletteOf(data, header);
        const bool grey = std::all_of(palette.begin(), palette.begin() + (1 << header.planes), qIsGray);
        QImage image =
            context.allocate(header.width, header.height, grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
        if (image.isNull())
            return false;
        const qsizetype planeBytes = (header.width + 7) / 8;
        std::vector<uchar> line(size_t(planeBytes * header.planes));
        std::vector<uchar> indices(size_t(header.width));
        qsizetype position = qsizetype(header.headerWords) * 2;
        qint64 y = 0;
        while (y < header.height) {
            if (y % kProgressRows == 0 && !context.progress(int(y * 100 / header.height)))
                return false;
            int copies = 1;
            if (fits(data, position, 4) && data[position] == 0 && data[position + 1] == 0 &&
                uchar(data[position + 2]) == 0xff) {
                copies = std::max(1, int(uchar(data[position + 3])));
                position += 4;
            }
            if (const Failure failure = expandLine(data, position, header.patternBytes, line); failure.failed())
                return context.fail(failure);
            std::fill(indices.begin(), indices.end(), uchar(0));
            for (int plane = 0; plane < header.planes; ++plane) {
                const uchar* bits = line.data() + plane * planeBytes;
                for (qint64 x = 0; x < header.width; ++x)
                    indices[size_t(x)] |= ((bits[x / 8] >> (7 - x % 8)) & 1) << plane;
            }
            for (; copies > 0 && y < header.height; --copies, ++y) {
                uchar* target = image.scanLine(int(y));
                for (qint64 x = 0; x < header.width; ++x) {
                    const QRgb colour = palette[indices[size_t(x)]];
                    if (grey)
                        target[x] = uchar(qRed(colour));
                    else
                        reinterpret_cast<QRgb*>(target)[x] = colour;
                }
            }
        }
        picture.slides.clear();
        picture.slides.push_back({std::move(image), 0});
        picture.format = kFlmGem;
        picture.bitsPerPixel = header.planes;
        return true;
    }
};

} // namespace

const Codec* gemCodec()
{
    static const GemCodec codec;
    return &codec;
}

} // namespace imagelib
