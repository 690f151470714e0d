// Amiga IFF pictures: ILBM (interleaved bit planes) and PBM (one byte a pixel), raw or ByteRun1
// packed. Planar images have 1 to 8 planes through the CMAP palette (extra-half-brite and HAM6/
// HAM8 as CAMG says) or 24 planes of true colour. A mask plane or a transparent colour gives
// alpha; a lasso mask is only an outline for paint programs and is ignored.
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

constexpr qsizetype kFormHeaderBytes = 12;
constexpr qsizetype kBmhdBytes = 20;
constexpr int kTrueColourPlanes = 24;
constexpr int kProgressRows = 64;
constexpr quint32 kExtraHalfBrite = 0x80;
constexpr quint32 kHoldAndModify = 0x800;

enum Masking : int { kNoMask = 0, kMaskPlane = 1, kTransparentColour = 2 };
enum Compression : int { kUncompressed = 0, kByteRun1 = 1 };

struct Form {
    bool chunky = false; // PBM: a byte a pixel
    qint64 width = 0;
    qint64 height = 0;
    int planes = 0;
    int masking = kNoMask;
    int compression = kUncompressed;
    int transparent = 0;
    quint32 viewModes = 0;
    QByteArrayView colours;
    QByteArrayView body;
    bool hasHeader = false;
};

bool plausible(QByteArrayView head)
{
    return head.size() >= kFormHeaderBytes && head.startsWith("FORM") &&
           (head.sliced(8, 4) == "ILBM" || head.sliced(8, 4) == "PBM ");
}

// Why a picture with this header is not decoded, apart from its size; none when it is.
Failure refusalOf(const Form& form)
{
    const bool planesKnown =
        form.chunky ? form.planes == 8 : (form.planes >= 1 && form.planes <= 8) || form.planes == kTrueColourPlanes;
    if (!planesKnown)
        return Failure::unsupported(QStringLiteral("%1 with %2 planes")
                                        .arg(form.chunky ? QLatin1String("PBM") : QLatin1String("ILBM"))
                                        .arg(form.planes));
    if (form.compression != kUncompressed && form.compression != kByteRun1)
        return Failure::unsupported(QStringLiteral("IFF compression %1").arg(form.compression));
    return {};
}

bool describesPicture(const Form& form)
{
    return form.hasHeader && form.width > 0 && form.height > 0;
}

// Walks the chunks of the FORM that `data` holds (it may be the first bytes only, or a file cut
// short); false without a BMHD of a picture with an area, or, when `needBody`, without a BODY.
bool parseForm(QByteArrayView data, bool needBody, Form& form)
{
    if (!plausible(data))
        return false;
    form.chunky = data.sliced(8, 4) == "PBM ";
    const qint64 end = std::min<qint64>(data.size(), qint64(readBe32(data, 4)) + 8);
    qint64 position = kFormHeaderBytes;
    while (position + 8 <= end) {
        const QByteArrayView id = data.sliced(position, 4);
        const qint64 size = readBe32(data, position + 4);
        const qint64 start = position + 8;
        // A chunk cut short by the end of the file keeps what is there; the body then runs out.
        const QByteArrayView chunk = data.sliced(start, std::min(size, end - start));
        if (id == "BMHD" && chunk.size() >= kBmhdBytes) {
            form.width = readBe16(chunk, 0);
            form.height = readBe16(chunk, 2);
            form.planes = uchar(chunk[8]);
            form.masking = uchar(chunk[9]);
            form.compression = uchar(chunk[10]);
            form.transparent = readBe16(chunk, 12);
            form.hasHeader = true;
        } else if (id == "CMAP") {
            form.colours = chunk;
        } else if (id == "CAMG" && chunk.size() >= 4) {
            form.viewModes = readBe32(chunk, 0);
        } else if (id == "BODY") {
            form.body = chunk;
            break;
        }
        position = start + size + (size & 1);
    }
    return describesPicture(form) && (!needBody || !form.body.isNull());
}

// The CMAP as 256 colours. Palettes of early writers hold four bits a channel in the high
// nibble; those are widened to the full range.
std::array<QRgb, 256> paletteOf(const Form& form)
{
    std::array<QRgb, 256> palette = {};
    const int count = int(std::min<qsizetype>(256, form.colours.size() / 3));
    if (count == 0 && form.planes <= 8) {
        const int colours = 1 << form.planes;
        for (int i = 0; i < colours; ++i) {
            const int grey = colours > 1 ? i * 255 / (colours - 1) : 0;
            palette[size_t(i)] = qRgb(grey, grey, grey);
        }
        return palette;
    }
    const auto* bytes = reinterpret_cast<const uchar*>(form.colours.data());
    const bool fourBits = std::all_of(bytes, bytes + 3 * count, [](uchar value) { return (value & 0x0f) == 0; });
    for (int i = 0; i < count; ++i) {
        const auto level = [&](int channel) {
            const uchar value = bytes[3 * i + channel];
            return fourBits ? value | value >> 4 : value;
        };
        palette[size_t(i)] = qRgb(level(0), level(1), level(2));
    }
    if ((form.viewModes & kExtraHalfBrite) && form.planes == 6) {
        for (int i = 0; i < 32; ++i) {
            const QRgb bright = palette[size_t(i)];
            palette[size_t(32 + i)] = qRgb(qRed(bright) / 2, qGreen(bright) / 2, qBlue(bright) / 2);
        }
    }
    return palette;
}

// Hold-and-modify: the top two bits of a pixel say whether its low bits pick a palette colour
// or replace the blue, red or green of the pixel to its left.
class HoldAndModify {
public:
    HoldAndModify(int planes, const std::array<QRgb, 256>& palette) : m_valueBits(planes - 2), m_palette(palette) {}

    void startRow() { m_colour = m_palette[0]; }

    QRgb next(int index)
    {
        const int value = index & ((1 << m_valueBits) - 1);
        // Widen the value to 8 bits by repeating its bits.
        const int level = (value << (8 - m_valueBits) | value >> (2 * m_valueBits - 8)) & 0xff;
        switch (index >> m_valueBits) {
        case 0:
            m_colour = m_palette[size_t(value)];
            break;
        case 1:
            m_colour = qRgb(qRed(m_colour), qGreen(m_colour), level);
            break;
        case 2:
            m_colour = qRgb(level, qGreen(m_colour), qBlue(m_colour));
            break;
        default:
            m_colour = qRgb(qRed(m_colour), level, qBlue(m_colour));
            break;
        }
        return m_colour;
    }

private:
    int m_valueBits;
    const std::array<QRgb, 256>& m_palette;
    QRgb m_colour = 0;
};

// Whether the body is long enough for rows of `rowBytes`, before a picture is made for them: a
// ByteRun1 run of two bytes makes at most 128, and no run crosses a row.
bool bodyCanHold(const Form& form, qint64 rowBytes, const DecodeContext& context)
{
    constexpr qint64 kLongestRun = 128;
    const qint64 least = form.compression == kByteRun1 ? 2 * ((rowBytes + kLongestRun - 1) / kLongestRun) : rowBytes;
    return least * form.height <= form.body.size() || context.fail(Failure::truncated());
}

bool isHam(const Form& form)
{
    return !form.chunky && (form.viewModes & kHoldAndModify) && (form.planes == 6 || form.planes == 8);
}

class IffCodec final : public Codec {
public:
    int format() const override { return kFlmIff; }
    QString description() const override { return QStringLiteral("Amiga Interchange File"); }
    QStringList extensions() const override
    {
        return {QStringLiteral("iff"), QStringLiteral("ilbm"), QStringLiteral("lbm")};
    }
    bool sniff(QByteArrayView head) const override { return plausible(head); }

    // Writers put BMHD first, well inside the first bytes.
    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        Form form;
        if (!parseForm(file.head(kSniffBytes), false, form))
            return false;
        info.format = kFlmIff;
        info.width = int(form.width);
        info.height = int(form.height);
        info.bitsPerPixel = form.planes;
        return true;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* bytes = file.all();
        if (!bytes)
            return false;
        Form form;
        // A BODY is the last chunk of a picture: a file without one was cut before it.
        if (!parseForm(*bytes, true, form))
            return context.fail(describesPicture(form) ? Failure::truncated() : Failure::damaged());
        if (const Failure refusal = refusalOf(form); refusal.failed())
            return context.fail(refusal);
        const bool maskPlane = form.masking == kMaskPlane && !form.chunky;
        const bool transparentColour =
            form.masking == kTransparentColour && form.planes <= 8 && !isHam(form) && form.transparent < 256;
        const bool alpha = maskPlane || transparentColour;
        // Each row holds every plane in turn (then the mask), each padded to 16 bits; a PBM
        // row is its pixels padded to an even count.
        const qsizetype planeBytes = form.chunky ? (form.width + 1) / 2 * 2 : (form.width + 15) / 16 * 2;
        const int storedPlanes = form.chunky ? 1 : form.planes + (maskPlane ? 1 : 0);
        if (!context.allowSize(form.width, form.height) || !bodyCanHold(form, planeBytes * storedPlanes, context))
            return false;
        QImage image = context.allocate(form.width, form.height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (image.isNull())
            return false;
        const std::array<QRgb, 256> palette = paletteOf(form);
        HoldAndModify ham(form.planes, palette);
        std::vector<uchar> row(size_t(planeBytes * storedPlanes));
        std::vector<quint32> values(size_t(form.width));
        qsizetype position = 0;
        for (qint64 y = 0; y < form.height; ++y) {
            if (y % kProgressRows == 0 && !context.progress(int(y * 100 / form.height)))
                return false;
            if (form.compression == kByteRun1) {
                if (!unpackBits(form.body, position, row.data(), qsizetype(row.size())))
                    return context.fail(Failure::truncated());
            } else {
                if (!fits(form.body, position, qsizetype(row.size())))
                    return context.fail(Failure::truncated());
                std::memcpy(row.data(), form.body.data() + position, row.size());
                position += qsizetype(row.size());
            }
            if (form.chunky) {
                std::copy(row.begin(), row.begin() + form.width, values.begin());
            } else {
                std::fill(values.begin(), values.end(), 0);
                for (int plane = 0; plane < form.planes; ++plane) {
                    const uchar* bits = row.data() + plane * planeBytes;
                    for (qint64 x = 0; x < form.width; ++x)
                        values[size_t(x)] |= quint32((bits[x / 8] >> (7 - x % 8)) & 1) << plane;
                }
            }
            const uchar* mask = row.data() + form.planes * planeBytes;
            auto* target = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
            ham.startRow();
            for (qint64 x = 0; x < form.width; ++x) {
                const quint32 value = values[size_t(x)];
                QRgb colour = form.planes == kTrueColourPlanes ? qRgb(value & 0xff, value >> 8 & 0xff, value >> 16)
                              : isHam(form)                    ? ham.next(int(value))
                                                               : palette[value];
                if ((maskPlane && !(mask[x / 8] & (0x80 >> (x % 8)))) ||
                    (transparentColour && value == quint32(form.transparent)))
                    colour &= 0x00ffffff;
                target[x] = colour;
            }
        }
        if (alpha)
            image.convertTo(QImage::Format_ARGB32_Premultiplied);
        picture.slides.clear();
        picture.slides.push_back({std::move(image), 0});
        picture.format = kFlmIff;
        picture.bitsPerPixel = form.planes;
        return true;
    }
};

} // namespace

const Codec* iffCodec()
{
    static const IffCodec codec;
    return &codec;
}

} // namespace imagelib
