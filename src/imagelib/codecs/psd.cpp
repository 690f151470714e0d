// Photoshop documents (PSD, and PSB with its wider lengths): the flattened composite stored after
// the layers, raw or PackBits-compressed, at 1, 8 or 16 bits a channel in the bitmap, grey,
// duotone (shown as its grey), indexed, RGB, CMYK and Lab modes. Layers themselves are not read.
// The first channel after the colour channels is the composite's alpha only when the document says
// so: by a negative layer count (colours stored as they are), or by a "Mtrn" block after the layers,
// as Photoshop and our own writer do (colours stored blended with white). Elsewhere extra channels
// are saved selections or spot colours and are left out.
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imagelib/codecs/bytes.h"
#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

constexpr qsizetype kHeaderBytes = 26;
constexpr int kMaxChannels = 56;
constexpr int kPaletteBytes = 768;
constexpr int kProgressRows = 64;

enum Mode : int {
    kBitmap = 0,
    kGrey = 1,
    kIndexed = 2,
    kRgb = 3,
    kCmyk = 4,
    kMultichannel = 7,
    kDuotone = 8,
    kLab = 9
};
enum Compression : int { kRaw = 0, kPackBits = 1 };

struct PsdHeader {
    int version = 1; // 2: a large document, with 64-bit section lengths and 32-bit row counts
    int channels = 0;
    qint64 width = 0;
    qint64 height = 0;
    int depth = 0;
    int mode = kRgb;
};

int colourChannels(int mode)
{
    switch (mode) {
    case kRgb:
    case kLab:
        return 3;
    case kCmyk:
        return 4;
    default:
        return 1;
    }
}

bool knownMode(int mode, int depth)
{
    switch (mode) {
    case kBitmap:
        return depth == 1;
    case kIndexed:
        return depth == 8;
    case kGrey:
    case kRgb:
    case kCmyk:
    case kDuotone:
    case kLab:
        return depth == 8 || depth == 16;
    default:
        return false;
    }
}

QString modeName(int mode)
{
    switch (mode) {
    case kBitmap:
        return QStringLiteral("bitmap");
    case kGrey:
        return QStringLiteral("grey");
    case kIndexed:
        return QStringLiteral("indexed");
    case kRgb:
        return QStringLiteral("RGB");
    case kCmyk:
        return QStringLiteral("CMYK");
    case kDuotone:
        return QStringLiteral("duotone");
    case kLab:
        return QStringLiteral("Lab");
    case kMultichannel:
        return QStringLiteral("multichannel");
    default:
        return QStringLiteral("mode %1").arg(mode);
    }
}

// The header's fields; false when `data` holds no Photoshop header of a version we know or the
// picture it describes has no area.
bool parseHeader(QByteArrayView data, PsdHeader& header)
{
    if (data.size() < kHeaderBytes || !data.startsWith("8BPS"))
        return false;
    header.version = readBe16(data, 4);
    header.channels = readBe16(data, 12);
    header.height = readBe32(data, 14);
    header.width = readBe32(data, 18);
    header.depth = readBe16(data, 22);
    header.mode = readBe16(data, 24);
    return (header.version == 1 || header.version == 2) && header.width > 0 && header.height > 0;
}

// Why a document with this header is not decoded, apart from its size; none when it is.
Failure refusalOf(const PsdHeader& header)
{
    if (!knownMode(header.mode, header.depth))
        return Failure::unsupported(QStringLiteral("%1-bit %2 Photoshop").arg(header.depth).arg(modeName(header.mode)));
    if (header.channels < colourChannels(header.mode) || header.channels > kMaxChannels)
        return Failure::damaged();
    return {};
}

int lengthBytes(bool wide)
{
    return wide ? 8 : 4;
}

// A section length: 4 bytes, or 8 in the sections of large documents that are `wide`. The
// caller has checked that the bytes are there.
quint64 lengthAt(QByteArrayView data, qint64 position, bool wide)
{
    return wide ? quint64(readBe32(data, position)) << 32 | readBe32(data, position + 4) : readBe32(data, position);
}

// Moves `position` past a section that starts with its length; false when it leaves the file.
bool skipSection(QByteArrayView data, qint64& position, bool wide)
{
    if (!fits(data, position, lengthBytes(wide)))
        return false;
    const quint64 length = lengthAt(data, position, wide);
    position += lengthBytes(wide);
    if (length > quint64(data.size() - position))
        return false;
    position += qint64(length);
    return true;
}

enum class MergedAlpha { None, Plain, Matted };

// Blocks whose lengths take 8 bytes in large documents.
bool wideBlock(QByteArrayView key)
{
    static constexpr std::array<const char*, 13> kKeys = {"LMsk", "Lr16", "Lr32", "Layr", "Mt16", "Mt32", "Mtrn",
                                                          "Alph", "FMsk", "lnk2", "FEid", "FXid", "PxSD"};
    return std::any_of(kKeys.begin(), kKeys.end(), [&](const char* wide) { return key == QByteArrayView(wide, 4); });
}

// Whether a tagged block declaring the composite's transparency follows the layer info and the
// global layer mask. Only whole blocks inside `section` count; the walk stops at anything else.
bool hasTransparencyBlock(QByteArrayView section, bool wide)
{
    qint64 position = 0;
    if (!skipSection(section, position, wide) || !skipSection(section, position, false))
        return false;
    while (fits(section, position, 8)) {
        const QByteArrayView signature = section.sliced(position, 4);
        const QByteArrayView key = section.sliced(position + 4, 4);
        if (signature != "8BIM" && signature != "8B64")
            return false;
        position += 8;
        if (!skipSection(section, position, wide && wideBlock(key)))
            return false;
        if (key == "Mtrn" || key == "Mt16" || key == "Mt32")
            return true;
        // Writers pad blocks to 2 or 4 bytes, some outside the length; a signature never starts with 0.
        for (int padding = 0; padding < 3 && fits(section, position, 1) && section[position] == '\0'; ++padding)
            ++position;
    }
    return false;
}

// `section` is where the layer and mask section's length stands, and the caller has checked that
// all of it is in the file. The layer count opens its layer info.
MergedAlpha mergedAlphaOf(QByteArrayView data, qint64 section, bool wide)
{
    const qint64 info = section + lengthBytes(wide);
    const QByteArrayView content = data.sliced(info, qint64(lengthAt(data, section, wide)));
    if (hasTransparencyBlock(content, wide))
        return MergedAlpha::Matted;
    const qint64 countAt = lengthBytes(wide);
    return fits(content, countAt, 2) && lengthAt(content, 0, wide) >= 2 && qint16(readBe16(content, countAt)) < 0
               ? MergedAlpha::Plain
               : MergedAlpha::None;
}

// Serves any row of any channel of the composite as stored bytes, whichever the compression.
class ChannelRows {
public:
    // Rows of the first `channels` channels of those the header counts.
    ChannelRows(QByteArrayView data, const PsdHeader& header, int channels)
        : m_data(data), m_height(header.height), m_rowBytes((header.width * header.depth + 7) / 8),
          m_channels(channels), m_storedChannels(header.channels), m_countBytes(header.version == 2 ? 4 : 2)
    {
    }

    // `position` is where the compression word stands; false with the reason recorded.
    bool open(qint64 position, const DecodeContext& context)
    {
        if (!fits(m_data, position, 2))
            return context.fail(Failure::truncated());
        m_compression = readBe16(m_data, position);
        position += 2;
        if (m_compression == kRaw) {
            m_start = position;
            return fits(m_data, position, m_rowBytes * m_height * m_channels) || context.fail(Failure::truncated());
        }
        if (m_compression != kPackBits)
            return context.fail(
                Failure::unsupported(m_compression == 2 || m_compression == 3
                                         ? QStringLiteral("ZIP-compressed Photoshop")
                                         : QStringLiteral("Photoshop compression %1").arg(m_compression)));
        // A byte count for every row of every channel, then the rows in the same order.
        const qint64 tableBytes = m_height * m_storedChannels * m_countBytes;
        if (!fits(m_data, position, tableBytes))
            return context.fail(Failure::truncated());
        m_rowStarts.reserve(size_t(m_height * m_channels + 1));
        m_rowStarts.assign(1, position + tableBytes);
        for (qint64 row = 0; row < m_height * m_channels; ++row) {
            const qint64 entry = position + row * m_countBytes;
            m_rowStarts.push_back(m_rowStarts.back() +
                                  (m_countBytes == 4 ? readBe32(m_data, entry) : readBe16(m_data, entry)));
        }
        return m_rowStarts.back() <= m_data.size() || context.fail(Failure::truncated());
    }

    qint64 rowBytes() const { return m_rowBytes; }

    bool read(int channel, qint64 y, uchar* out) const
    {
        const qint64 index = channel * m_height + y;
        if (m_compression == kRaw) {
            std::memcpy(out, m_data.data() + m_start + index * m_rowBytes, size_t(m_rowBytes));
            return true;
        }
        const qint64 start = m_rowStarts[size_t(index)];
        qsizetype position = 0;
        return unpackBits(m_data.sliced(start, m_rowStarts[size_t(index) + 1] - start), position, out, m_rowBytes);
    }

private:
    QByteArrayView m_data;
    qint64 m_height;
    qint64 m_rowBytes;
    int m_channels;
    int m_storedChannels;
    int m_countBytes;
    int m_compression = kRaw;
    qint64 m_start = 0;
    std::vector<qint64> m_rowStarts;
};

// One stored row as 8-bit samples. Bitmap mode stores ink, so a set bit is black.
void toEightBits(const uchar* row, int depth, qint64 width, uchar* out)
{
    for (qint64 x = 0; x < width; ++x) {
        if (depth == 1)
            out[x] = row[x / 8] & (0x80 >> (x % 8)) ? 0 : 255;
        else if (depth == 8)
            out[x] = row[x];
        else
            out[x] = uchar(((quint32(row[2 * x]) << 8 | row[2 * x + 1]) * 255 + 32767) / 65535);
    }
}

double linearToSrgb(double value)
{
    const double c = std::clamp(value, 0.0, 1.0);
    return c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
}

// CIE Lab under D50, as Photoshop stores it (L scaled to 0..255, a and b offset by 128), to sRGB.
QRgb labToRgb(int l, int a, int b)
{
    const auto inverse = [](double t) {
        return t > 6.0 / 29 ? t * t * t : 3 * (6.0 / 29) * (6.0 / 29) * (t - 4.0 / 29);
    };
    const double fy = (l * 100.0 / 255 + 16) / 116;
    const double x = 0.9642 * inverse(fy + (a - 128) / 500.0);
    const double y = inverse(fy);
    const double z = 0.8249 * inverse(fy - (b - 128) / 200.0);
    const auto channel = [](double linear) { return int(std::lround(linearToSrgb(linear) * 255)); };
    return qRgb(channel(3.1338561 * x - 1.6168667 * y - 0.4906146 * z),
                channel(-0.9787684 * x + 1.9161415 * y + 0.0334540 * z),
                channel(0.0719453 * x - 0.2289914 * y + 1.4052427 * z));
}

QRgb colourOf(int mode, const std::vector<std::vector<uchar>>& samples, qint64 x, const std::array<QRgb, 256>& palette)
{
    switch (mode) {
    case kIndexed:
        return palette[samples[0][size_t(x)]];
    case kRgb:
        return qRgb(samples[0][size_t(x)], samples[1][size_t(x)], samples[2][size_t(x)]);
    case kCmyk: {
        // Stored inverted: 255 is no ink.
        const int k = samples[3][size_t(x)];
        return qRgb(samples[0][size_t(x)] * k / 255, samples[1][size_t(x)] * k / 255, samples[2][size_t(x)] * k / 255);
    }
    case kLab:
        return labToRgb(samples[0][size_t(x)], samples[1][size_t(x)], samples[2][size_t(x)]);
    default:
        return qRgb(samples[0][size_t(x)], samples[0][size_t(x)], samples[0][size_t(x)]);
    }
}

// Takes the blend with white out of one row's colour samples, leaving straight colour. White is
// the middle of Lab's a and b; an index cannot be blended. Clamped: a sample darker than the blend
// allows is damage, not colour.
void unmatte(int mode, std::vector<std::vector<uchar>>& samples)
{
    if (mode == kIndexed)
        return;
    const int colours = colourChannels(mode);
    const std::vector<uchar>& alpha = samples[size_t(colours)];
    for (int channel = 0; channel < colours; ++channel) {
        const int white = mode == kLab && channel > 0 ? 128 : 255;
        std::vector<uchar>& row = samples[size_t(channel)];
        for (size_t x = 0; x < row.size(); ++x) {
            const int coverage = alpha[x];
            if (coverage != 0)
                row[x] = uchar(std::clamp((255 * row[x] - white * (255 - coverage) + coverage / 2) / coverage, 0, 255));
        }
    }
}

struct Layout {
    PsdHeader header;
    std::array<QRgb, 256> palette = {};
    MergedAlpha alpha = MergedAlpha::None;
    qint64 imageData = 0; // where the composite's compression word stands
};

// The header, the palette and where the composite starts; false with the reason recorded.
bool readLayout(QByteArrayView data, Layout& layout, const DecodeContext& context)
{
    PsdHeader& header = layout.header;
    if (!parseHeader(data, header))
        return context.fail(Failure::damaged());
    if (const Failure refusal = refusalOf(header); refusal.failed())
        return context.fail(refusal);
    if (!context.allowSize(header.width, header.height))
        return false;
    const bool wide = header.version == 2;
    qint64 position = kHeaderBytes;
    if (header.mode == kIndexed) {
        if (!fits(data, position, 4) || readBe32(data, position) < quint32(kPaletteBytes))
            return context.fail(Failure::damaged());
        if (!fits(data, position + 4, kPaletteBytes))
            return context.fail(Failure::truncated());
        // Planar: all reds, then all greens, then all blues.
        const auto* colours = reinterpret_cast<const uchar*>(data.data()) + position + 4;
        for (int i = 0; i < 256; ++i)
            layout.palette[size_t(i)] = qRgb(colours[i], colours[256 + i], colours[512 + i]);
    }
    if (!skipSection(data, position, false) || !skipSection(data, position, false))
        return context.fail(Failure::truncated());
    const qint64 layers = position;
    if (!skipSection(data, position, wide))
        return context.fail(Failure::truncated());
    if (header.channels > colourChannels(header.mode))
        layout.alpha = mergedAlphaOf(data, layers, wide);
    layout.imageData = position;
    return true;
}

class PsdCodec final : public Codec {
public:
    int format() const override { return kFlmPsd; }
    QString description() const override { return QStringLiteral("Adobe Photoshop"); }
    QStringList extensions() const override { return {QStringLiteral("psd"), QStringLiteral("psb")}; }

    bool sniff(QByteArrayView head) const override
    {
        PsdHeader header;
        return parseHeader(head, header);
    }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        PsdHeader header;
        if (!parseHeader(file.head(kHeaderBytes), header))
            return false;
        info.format = kFlmPsd;
        info.width = int(header.width);
        info.height = int(header.height);
        info.bitsPerPixel = bitsOf(header);
        return true;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* bytes = file.all();
        Layout layout;
        if (!bytes || !readLayout(*bytes, layout, context))
            return false;
        const PsdHeader& header = layout.header;
        const int colours = colourChannels(header.mode);
        const bool alpha = layout.alpha != MergedAlpha::None;
        const int used = colours + (alpha ? 1 : 0);
        ChannelRows rows(*bytes, header, used);
        if (!rows.open(layout.imageData, context))
            return false;
        const bool grey = colours == 1 && header.mode != kIndexed && !alpha;
        QImage image = context.allocate(header.width, header.height,
                                        grey    ? QImage::Format_Grayscale8
                                        : alpha ? QImage::Format_ARGB32
                                                : QImage::Format_RGB32);
        if (image.isNull())
            return false;

        std::vector<uchar> stored(size_t(rows.rowBytes()));
        std::vector<std::vector<uchar>> samples(size_t(used), std::vector<uchar>(size_t(header.width)));
        for (qint64 y = 0; y < header.height; ++y) {
            if (y % kProgressRows == 0 && !context.progress(int(y * 100 / header.height)))
                return false;
            for (int channel = 0; channel < used; ++channel) {
                if (!rows.read(channel, y, stored.data()))
                    return context.fail(Failure::damaged());
                toEightBits(stored.data(), header.depth, header.width, samples[size_t(channel)].data());
            }
            if (layout.alpha == MergedAlpha::Matted)
                unmatte(header.mode, samples);
            uchar* line = image.scanLine(int(y));
            if (grey) {
                std::memcpy(line, samples[0].data(), size_t(header.width));
                continue;
            }
            auto* pixels = reinterpret_cast<QRgb*>(line);
            for (qint64 x = 0; x < header.width; ++x) {
                const QRgb colour = colourOf(header.mode, samples, x, layout.palette);
                pixels[x] =
                    alpha ? qRgba(qRed(colour), qGreen(colour), qBlue(colour), samples[size_t(colours)][size_t(x)])
                          : colour;
            }
        }
        if (alpha)
            image.convertTo(QImage::Format_ARGB32_Premultiplied);
        picture.slides.clear();
        picture.slides.push_back({std::move(image), 0});
        picture.format = kFlmPsd;
        picture.bitsPerPixel = bitsOf(header);
        return true;
    }

private:
    // The colour channels' depth: whether there is alpha is known only past the image resources.
    static int bitsOf(const PsdHeader& header) { return header.depth * colourChannels(header.mode); }
};

} // namespace

const Codec* psdCodec()
{
    static const PsdCodec codec;
    return &codec;
}

} // namespace imagelib
