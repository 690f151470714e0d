// Writers of the classic raster formats that no library here writes: PCX and DCX, the portable
// any-maps, Photoshop, Targa and WBMP. Each writes the current slide; DCX writes every slide.
#include "imagelib/codecs/codec.h"

#include <QHash>
#include <QIODevice>
#include <QList>

#include "imagelib/codecs/writerutil.h"
#include "imagelib/flm.h"

namespace imagelib {
namespace {

using writerutil::appendBig;
using writerutil::appendLittle;

// Rec. 601 weights; a grey pixel keeps its level exactly.
int luminance(QRgb pixel)
{
    return (299 * qRed(pixel) + 587 * qGreen(pixel) + 114 * qBlue(pixel) + 500) / 1000;
}

bool isBlack(QRgb pixel)
{
    return luminance(pixel) < 128;
}

// One bit per pixel, the first pixel in the high bit, rows padded to whole bytes; a set bit is
// black, or white when `whiteIsOne`.
QByteArray packBilevel(const QImage& image, int y, bool whiteIsOne)
{
    QByteArray packed((image.width() + 7) / 8, '\0');
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
        if (isBlack(line[x]) != whiteIsOne)
            packed[x / 8] = char(packed[x / 8] | (0x80 >> (x % 8)));
    }
    return packed;
}

// ---- PCX and DCX ----

constexpr int kPcxMaxRun = 63;
constexpr qint64 kPcxMaxLineBytes = 0xffff;
constexpr int kPcxPaletteSize = 256;
constexpr char kPcxPaletteMark = 0x0c;
constexpr quint32 kDcxMagic = 0x3ade68b1;
constexpr int kDcxMaxPages = 1023;
// Magic and the full table of 1024 offsets, the last always zero, as the format's readers expect.
constexpr qint64 kDcxTableBytes = 4 + 4 * (kDcxMaxPages + 1);

// Where a PCX picture goes: a device, or nowhere when only its length is wanted (the DCX table
// says where each page starts before any page is written).
class PageOutput {
public:
    explicit PageOutput(QIODevice* device) : m_device(device) {}
    bool put(const QByteArray& bytes)
    {
        m_length += bytes.size();
        return !m_device || m_device->write(bytes) == bytes.size();
    }
    qint64 length() const { return m_length; }

private:
    QIODevice* m_device;
    qint64 m_length = 0;
};

// Runs of up to 63 equal bytes; a single byte with both high bits set needs a run of one.
void appendPcxRuns(QByteArray& encoded, const QByteArray& line)
{
    const auto* bytes = reinterpret_cast<const uchar*>(line.constData());
    for (qsizetype i = 0; i < line.size();) {
        qsizetype run = 1;
        while (i + run < line.size() && run < kPcxMaxRun && bytes[i + run] == bytes[i])
            ++run;
        if (run > 1 || bytes[i] >= 0xc0)
            encoded.append(char(0xc0 | run));
        encoded.append(char(bytes[i]));
        i += run;
    }
}

// One PCX picture, version 5, run-length encoded. A slide of at most 256 colours is written as
// colour indices with the 256-colour palette at the end (a third of the size, and what every
// reader of the format knows); any other as three planes of red, green and blue.
class PcxPage {
public:
    explicit PcxPage(const QImage& slide)
        : m_image(slide.convertToFormat(QImage::Format_RGB32)), m_bytesPerLine((qint64(m_image.width()) + 1) / 2 * 2)
    {
        collectPalette();
    }

    // Rows of even byte counts in 16 bits, and the last row's number in 16 bits too.
    bool valid(const SaveRequest& request) const
    {
        return writerutil::writable(request, m_image, kPcxMaxLineBytes - 1, "PCX");
    }

    bool write(PageOutput& out) const
    {
        const bool indexed = !m_palette.isEmpty();
        const int planes = indexed ? 1 : 3;
        QByteArray header;
        header.append(char(0x0a)); // maker
        header.append(char(5));    // version
        header.append(char(1));    // run-length encoding
        header.append(char(8));    // bits per pixel and plane
        appendLittle<quint16>(header, 0);
        appendLittle<quint16>(header, 0);
        appendLittle<quint16>(header, quint16(m_image.width() - 1));
        appendLittle<quint16>(header, quint16(m_image.height() - 1));
        appendLittle<quint16>(header, 96); // dots per inch
        appendLittle<quint16>(header, 96);
        header.append(48, '\0'); // the 16-colour palette, unused at 8 bits
        header.append('\0');
        header.append(char(planes));
        appendLittle<quint16>(header, quint16(m_bytesPerLine));
        appendLittle<quint16>(header, 1); // colour palette, not grey
        header.append(58, '\0');          // screen size and filler up to 128 bytes
        if (!out.put(header))
            return false;

        // Each plane of a row is encoded on its own so that no run crosses a plane; the padding
        // byte of odd widths stays zero.
        QByteArray plane(m_bytesPerLine, '\0');
        QByteArray encoded;
        for (int y = 0; y < m_image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
            encoded.clear();
            for (int p = 0; p < planes; ++p) {
                for (int x = 0; x < m_image.width(); ++x)
                    plane[x] = char(indexed ? m_index.value(line[x] & RGB_MASK) : line[x] >> (16 - 8 * p));
                appendPcxRuns(encoded, plane);
            }
            if (!out.put(encoded))
                return false;
        }
        return !indexed || out.put(paletteBlock());
    }

private:
    void collectPalette()
    {
        for (int y = 0; y < m_image.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(m_image.constScanLine(y));
            for (int x = 0; x < m_image.width(); ++x) {
                const QRgb colour = line[x] & RGB_MASK;
                if (m_index.contains(colour))
                    continue;
                if (m_palette.size() == kPcxPaletteSize) {
                    m_palette.clear();
                    m_index.clear();
                    return;
                }
                m_index.insert(colour, uchar(m_palette.size()));
                m_palette.append(colour);
            }
        }
    }

    QByteArray paletteBlock() const
    {
        QByteArray block(1 + 3 * kPcxPaletteSize, '\0');
        block[0] = kPcxPaletteMark;
        for (qsizetype i = 0; i < m_palette.size(); ++i) {
            block[1 + 3 * i] = char(qRed(m_palette[i]));
            block[2 + 3 * i] = char(qGreen(m_palette[i]));
            block[3 + 3 * i] = char(qBlue(m_palette[i]));
        }
        return block;
    }

    QImage m_image;
    qint64 m_bytesPerLine;
    QList<QRgb> m_palette; // empty: three planes
    QHash<QRgb, uchar> m_index;
};

class PcxWriter final : public Writer {
public:
    int format() const override { return kFlmPcx; }
    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        const PcxPage page(request.image());
        PageOutput output(&out);
        return page.valid(request) && page.write(output);
    }
};

class DcxWriter final : public Writer {
public:
    int format() const override { return kFlmDcx; }
    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        const std::vector<Slide>& slides = request.picture.slides;
        if (slides.size() > size_t(kDcxMaxPages))
            return request.fail(writerutil::tooLargeFor("DCX", QStringLiteral("%1 pages").arg(kDcxMaxPages)));
        // Pages are encoded twice, once to learn where each starts, rather than held in memory.
        QByteArray table;
        appendLittle(table, kDcxMagic);
        qint64 offset = kDcxTableBytes;
        for (const Slide& slide : slides) {
            const PcxPage page(slide.image);
            PageOutput counter(nullptr);
            if (offset > 0xffffffffLL)
                return request.fail(writerutil::tooLargeFor("DCX", QStringLiteral("4 GiB")));
            if (!page.valid(request) || !page.write(counter))
                return false;
            appendLittle(table, quint32(offset));
            offset += counter.length();
        }
        table.append(kDcxTableBytes - table.size(), '\0');
        if (out.write(table) != table.size())
            return false;
        PageOutput output(&out);
        for (const Slide& slide : slides) {
            if (!PcxPage(slide.image).write(output))
                return false;
        }
        return true;
    }
};

// ---- Portable any-maps ----

enum class AnyMap { Bitmap = 1, Graymap = 2, Pixmap = 3 };

constexpr qsizetype kPlainLineLength = 70;

// The samples of one row, one byte each: the bit of a bitmap (1 = black), the grey level, or
// red, green and blue.
void samplesOf(const QImage& image, int y, AnyMap kind, QByteArray& samples)
{
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    samples.clear();
    for (int x = 0; x < image.width(); ++x) {
        switch (kind) {
        case AnyMap::Bitmap:
            samples.append(char(isBlack(line[x])));
            break;
        case AnyMap::Graymap:
            samples.append(char(luminance(line[x])));
            break;
        case AnyMap::Pixmap:
            samples.append(char(qRed(line[x])));
            samples.append(char(qGreen(line[x])));
            samples.append(char(qBlue(line[x])));
            break;
        }
    }
}

// Decimal samples separated by spaces; each row starts a new line and no line passes 70
// characters, the plain format's limit.
void appendPlain(QByteArray& text, const QByteArray& samples)
{
    qsizetype lineStart = text.size();
    for (char sample : samples) {
        const QByteArray token = QByteArray::number(uchar(sample));
        if (text.size() > lineStart) {
            if (text.size() - lineStart + 1 + token.size() > kPlainLineLength) {
                text.append('\n');
                lineStart = text.size();
            } else {
                text.append(' ');
            }
        }
        text.append(token);
    }
    text.append('\n');
}

// Option [11] = 1 (what the save dialog sets) writes the raw forms P4 to P6; anything else the
// plain text forms P1 to P3.
class PnmWriter final : public Writer {
public:
    PnmWriter(int format, AnyMap kind) : m_format(format), m_kind(kind) {}
    int format() const override { return m_format; }

    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        const QImage image = request.image().convertToFormat(QImage::Format_RGB32);
        if (!writerutil::converted(request, image))
            return false;
        const bool raw = request.options.field[FlmSaveOptions::kAnyMapFlag] == 1;
        QByteArray header = "P" + QByteArray::number(int(m_kind) + (raw ? 3 : 0)) + '\n' +
                            QByteArray::number(image.width()) + ' ' + QByteArray::number(image.height()) + '\n';
        if (m_kind != AnyMap::Bitmap)
            header += "255\n";
        if (out.write(header) != header.size())
            return false;
        QByteArray samples;
        QByteArray text;
        for (int y = 0; y < image.height(); ++y) {
            const QByteArray* row = &samples;
            if (raw && m_kind == AnyMap::Bitmap) {
                text = packBilevel(image, y, false);
                row = &text;
            } else {
                samplesOf(image, y, m_kind, samples);
                if (!raw) {
                    text.clear();
                    appendPlain(text, samples);
                    row = &text;
                }
            }
            if (out.write(*row) != row->size())
                return false;
        }
        return true;
    }

private:
    int m_format;
    AnyMap m_kind;
};

// ---- Photoshop ----

constexpr int kPsdMaxSide = 30000;
constexpr quint16 kPsdRgbMode = 3;
constexpr int kPackBitsMaxRun = 128;

// PackBits: runs of 2 to 128 equal bytes as (1 - count, byte), everything else as literal
// stretches of up to 128 bytes as (count - 1, bytes). Runs of two inside a literal stay literal.
void appendPackBits(QByteArray& encoded, const QByteArray& row)
{
    const auto* bytes = reinterpret_cast<const uchar*>(row.constData());
    const qsizetype length = row.size();
    auto runAt = [&](qsizetype i) {
        qsizetype run = 1;
        while (i + run < length && run < kPackBitsMaxRun && bytes[i + run] == bytes[i])
            ++run;
        return run;
    };
    for (qsizetype i = 0; i < length;) {
        const qsizetype run = runAt(i);
        if (run >= 3 || run == length - i) {
            encoded.append(char(1 - run));
            encoded.append(char(bytes[i]));
            i += run;
            continue;
        }
        const qsizetype start = i;
        while (i < length && i - start < kPackBitsMaxRun && runAt(i) < 3)
            ++i;
        encoded.append(char(i - start - 1));
        encoded.append(row.constData() + start, i - start);
    }
}

// The merged picture of a document with transparency is stored blended with white, which from
// premultiplied pixels is the colour plus the missing coverage; opaque pixels stay as they are.
void channelRow(const QImage& premultiplied, int y, int channel, QByteArray& row)
{
    const auto* line = reinterpret_cast<const QRgb*>(premultiplied.constScanLine(y));
    for (int x = 0; x < premultiplied.width(); ++x) {
        const int alpha = qAlpha(line[x]);
        const int colour = channel == 0 ? qRed(line[x]) : channel == 1 ? qGreen(line[x]) : qBlue(line[x]);
        row[x] = char(channel == 3 ? alpha : colour + 255 - alpha);
    }
}

// Version 1, 8-bit RGB, no layers. Transparency goes into a fourth channel that the empty layer
// section's "Mtrn" block declares to be the merged picture's transparency. Option [12] = 1
// (what the save dialog sets) compresses the channels with PackBits; anything else stores them raw.
class PsdWriter final : public Writer {
public:
    int format() const override { return kFlmPsd; }

    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        const bool alpha = request.image().hasAlphaChannel();
        const QImage image = request.image().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (!writerutil::writable(request, image, kPsdMaxSide, "Photoshop"))
            return false;
        const int channels = alpha ? 4 : 3;
        const bool packed = request.options.field[FlmSaveOptions::kPsdFlag] == 1;

        QByteArray head("8BPS");
        appendBig<quint16>(head, 1);
        head.append(6, '\0');
        appendBig<quint16>(head, quint16(channels));
        appendBig<quint32>(head, quint32(image.height()));
        appendBig<quint32>(head, quint32(image.width()));
        appendBig<quint16>(head, 8);
        appendBig<quint16>(head, kPsdRgbMode);
        appendBig<quint32>(head, 0); // colour mode data
        appendBig<quint32>(head, 0); // image resources
        if (alpha) {
            appendBig<quint32>(head, 20);
            appendBig<quint32>(head, 0); // layer info
            appendBig<quint32>(head, 0); // global layer mask
            head.append("8BIMMtrn");
            appendBig<quint32>(head, 0);
        } else {
            appendBig<quint32>(head, 0);
        }
        appendBig<quint16>(head, packed ? 1 : 0);

        // The byte counts of all packed rows come first; rows are packed twice rather than held.
        QByteArray row(image.width(), '\0');
        QByteArray encoded;
        auto rowBytes = [&](int channel, int y) -> const QByteArray& {
            channelRow(image, y, channel, row);
            if (!packed)
                return row;
            encoded.clear();
            appendPackBits(encoded, row);
            return encoded;
        };
        if (packed) {
            for (int channel = 0; channel < channels; ++channel) {
                for (int y = 0; y < image.height(); ++y)
                    appendBig<quint16>(head, quint16(rowBytes(channel, y).size()));
            }
        }
        if (out.write(head) != head.size())
            return false;
        for (int channel = 0; channel < channels; ++channel) {
            for (int y = 0; y < image.height(); ++y) {
                const QByteArray& bytes = rowBytes(channel, y);
                if (out.write(bytes) != bytes.size())
                    return false;
            }
        }
        return true;
    }
};

// ---- Targa ----

constexpr char kTgaTrueColour = 2;
constexpr char kTgaAlphaBits = 8;
constexpr char kTgaFooter[] = "TRUEVISION-XFILE.";

// Uncompressed true colour (type 2), 24-bit or 32-bit with straight alpha, rows stored bottom
// up with the origin flags saying so: the oldest and most widely read variant. The version 2
// footer without extension areas lets readers tell the file from other headerless data.
class TgaWriter final : public Writer {
public:
    int format() const override { return kFlmTga; }

    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        const bool alpha = request.image().hasAlphaChannel();
        const QImage image = request.image().convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (!writerutil::writable(request, image, 0xffff, "Targa"))
            return false;
        const int bytesPerPixel = alpha ? 4 : 3;
        QByteArray header;
        header.append('\0'); // no image id
        header.append('\0'); // no colour map
        header.append(kTgaTrueColour);
        header.append(5, '\0'); // colour map start, length and entry size
        appendLittle<quint16>(header, 0);
        appendLittle<quint16>(header, 0);
        appendLittle<quint16>(header, quint16(image.width()));
        appendLittle<quint16>(header, quint16(image.height()));
        header.append(char(8 * bytesPerPixel));
        header.append(alpha ? kTgaAlphaBits : '\0'); // origin bits clear: bottom left
        if (out.write(header) != header.size())
            return false;
        QByteArray row(qsizetype(image.width()) * bytesPerPixel, '\0');
        for (int y = image.height() - 1; y >= 0; --y) {
            writerutil::toBgr(image, y, alpha, row.data());
            if (out.write(row) != row.size())
                return false;
        }
        QByteArray footer(8, '\0'); // no extension area, no developer directory
        footer.append(kTgaFooter, sizeof kTgaFooter);
        return out.write(footer) == footer.size();
    }
};

// ---- WBMP ----

// Seven bits per byte, most significant group first, the high bit marking that more follow.
void appendMultiByte(QByteArray& bytes, quint32 value)
{
    char groups[5];
    int count = 0;
    do {
        groups[count++] = char(value & 0x7f);
        value >>= 7;
    } while (value);
    while (count > 1)
        bytes.append(char(groups[--count] | 0x80));
    bytes.append(groups[0]);
}

// Type 0: one bit per pixel, white = 1, split at mid luminance.
class WbmpWriter final : public Writer {
public:
    int format() const override { return kFlmWbmp; }

    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        const QImage image = request.image().convertToFormat(QImage::Format_RGB32);
        if (!writerutil::converted(request, image))
            return false;
        QByteArray header(2, '\0'); // type 0, no extension headers
        appendMultiByte(header, quint32(image.width()));
        appendMultiByte(header, quint32(image.height()));
        if (out.write(header) != header.size())
            return false;
        for (int y = 0; y < image.height(); ++y) {
            const QByteArray row = packBilevel(image, y, true);
            if (out.write(row) != row.size())
                return false;
        }
        return true;
    }
};

} // namespace

const Writer* pcxWriter()
{
    static const PcxWriter writer;
    return &writer;
}

const Writer* dcxWriter()
{
    static const DcxWriter writer;
    return &writer;
}

const Writer* pbmWriter()
{
    static const PnmWriter writer(kFlmPbm, AnyMap::Bitmap);
    return &writer;
}

const Writer* pgmWriter()
{
    static const PnmWriter writer(kFlmPgm, AnyMap::Graymap);
    return &writer;
}

const Writer* ppmWriter()
{
    static const PnmWriter writer(kFlmPpm, AnyMap::Pixmap);
    return &writer;
}

const Writer* psdWriter()
{
    static const PsdWriter writer;
    return &writer;
}

const Writer* tgaWriter()
{
    static const TgaWriter writer;
    return &writer;
}

const Writer* wbmpWriter()
{
    static const WbmpWriter writer;
    return &writer;
}

} // namespace imagelib
