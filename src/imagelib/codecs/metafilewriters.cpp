// Writers of Windows metafiles (plain and with the Aldus placeable header) and enhanced
// metafiles, each holding the current slide as one 24-bit device-independent bitmap stretched
// over the whole picture, so that any program that plays metafiles shows it.
#include "imagelib/codecs/codec.h"

#include <QIODevice>

#include "imagelib/codecs/writerutil.h"
#include "imagelib/flm.h"

namespace imagelib {
namespace {

using writerutil::appendLittle;

constexpr quint32 kBitmapInfoSize = 40;
constexpr quint32 kPixelsPerMetre = 3780; // 96 dots per inch
constexpr quint32 kSourceCopy = 0x00cc0020;
constexpr quint16 kRgbColours = 0;
constexpr int kScreenDpi = 96;

qint64 dibStride(const QImage& image)
{
    return (qint64(image.width()) * 3 + 3) / 4 * 4;
}

qint64 dibBytes(const QImage& image)
{
    return kBitmapInfoSize + dibStride(image) * image.height();
}

// The bitmap info header of a bottom-up 24-bit DIB without palette.
QByteArray bitmapInfo(const QImage& image)
{
    QByteArray info;
    appendLittle(info, kBitmapInfoSize);
    appendLittle(info, qint32(image.width()));
    appendLittle(info, qint32(image.height()));
    appendLittle<quint16>(info, 1);  // planes
    appendLittle<quint16>(info, 24); // bits per pixel
    appendLittle<quint32>(info, 0);  // uncompressed
    appendLittle(info, quint32(dibStride(image) * image.height()));
    appendLittle(info, kPixelsPerMetre);
    appendLittle(info, kPixelsPerMetre);
    appendLittle<quint32>(info, 0); // colours used
    appendLittle<quint32>(info, 0); // colours important
    return info;
}

// The DIB's pixel rows, bottom row first, each padded to four bytes.
bool writeDibRows(const QImage& image, QIODevice& out)
{
    QByteArray row(dibStride(image), '\0');
    for (int y = image.height() - 1; y >= 0; --y) {
        writerutil::toBgr(image, y, false, row.data());
        if (out.write(row) != row.size())
            return false;
    }
    return true;
}

// ---- Windows metafile, plain and placeable ----

constexpr quint16 kMetaSetWindowOrg = 0x020b;
constexpr quint16 kMetaSetWindowExt = 0x020c;
constexpr quint16 kMetaStretchDib = 0x0f43;
constexpr quint16 kMetaEof = 0x0000;
constexpr quint32 kPlaceableKey = 0x9ac6cdd7;
constexpr qint64 kMetaHeaderWords = 9;
constexpr qint64 kWindowRecordWords = 5;
constexpr qint64 kStretchDibFixedBytes = 28; // record size and function, then ten parameter words
constexpr qint64 kEofWords = 3;
constexpr int kMaxLogicalCoordinate = 0x7fff;

void appendRecordStart(QByteArray& bytes, qint64 words, quint16 function)
{
    appendLittle(bytes, quint32(words));
    appendLittle(bytes, function);
}

// The Aldus header: a bounding box of the picture's pixels at 96 units per inch shows the
// picture at its own size on a 96-dpi screen. The checksum is the XOR of the ten words before it.
QByteArray placeableHeader(const QImage& image)
{
    QByteArray header;
    appendLittle(header, kPlaceableKey);
    appendLittle<quint16>(header, 0); // metafile handle, filled in by the reader
    appendLittle<qint16>(header, 0);
    appendLittle<qint16>(header, 0);
    appendLittle(header, qint16(image.width()));
    appendLittle(header, qint16(image.height()));
    appendLittle(header, quint16(kScreenDpi));
    appendLittle<quint32>(header, 0);
    quint16 checksum = 0;
    for (qsizetype i = 0; i < header.size(); i += 2)
        checksum ^= qFromLittleEndian<quint16>(header.constData() + i);
    appendLittle(header, checksum);
    return header;
}

class WmfWriter final : public Writer {
public:
    explicit WmfWriter(bool placeable) : m_placeable(placeable) {}
    int format() const override { return m_placeable ? kFlmApm : kFlmWmf; }

    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        const QImage image = request.image().convertToFormat(QImage::Format_RGB32);
        // Coordinates are signed 16-bit words.
        if (!writerutil::writable(request, image, kMaxLogicalCoordinate, "a metafile"))
            return false;
        const qint16 width = qint16(image.width());
        const qint16 height = qint16(image.height());
        const qint64 stretchWords = (kStretchDibFixedBytes + dibBytes(image)) / 2;
        const qint64 totalWords = kMetaHeaderWords + 2 * kWindowRecordWords + stretchWords + kEofWords;
        if (totalWords > 0xffffffffLL)
            return request.fail(writerutil::tooLargeFor("a metafile", QStringLiteral("8 GiB")));

        QByteArray head = m_placeable ? placeableHeader(image) : QByteArray();
        appendLittle<quint16>(head, 1); // in memory, as opposed to on disk
        appendLittle(head, quint16(kMetaHeaderWords));
        appendLittle<quint16>(head, 0x0300); // version 3
        appendLittle(head, quint32(totalWords));
        appendLittle<quint16>(head, 0); // objects
        appendLittle(head, quint32(stretchWords));
        appendLittle<quint16>(head, 0);

        // Window records take y before x.
        appendRecordStart(head, kWindowRecordWords, kMetaSetWindowOrg);
        appendLittle<qint16>(head, 0);
        appendLittle<qint16>(head, 0);
        appendRecordStart(head, kWindowRecordWords, kMetaSetWindowExt);
        appendLittle(head, height);
        appendLittle(head, width);

        appendRecordStart(head, stretchWords, kMetaStretchDib);
        appendLittle(head, kSourceCopy);
        appendLittle(head, kRgbColours);
        for (qint16 value : {height, width, qint16(0), qint16(0), height, width, qint16(0), qint16(0)})
            appendLittle(head, value); // source height, width, y, x; destination height, width, y, x
        head += bitmapInfo(image);
        if (out.write(head) != head.size() || !writeDibRows(image, out))
            return false;

        QByteArray tail;
        appendRecordStart(tail, kEofWords, kMetaEof);
        return out.write(tail) == tail.size();
    }

private:
    bool m_placeable;
};

// ---- Enhanced metafile ----

constexpr quint32 kEmrHeader = 1;
constexpr quint32 kEmrStretchDibits = 81;
constexpr quint32 kEmrEof = 14;
constexpr quint32 kEmfSignature = 0x464d4520; // " EMF"
constexpr quint32 kEmfVersion = 0x10000;
constexpr quint32 kEmrHeaderBytes = 108; // with the pixel-format and micrometre extensions
constexpr quint32 kStretchDibitsFixedBytes = 80;
constexpr quint32 kEmrEofBytes = 20;
// The reference device: a 96-dpi screen of 1920 x 1440 pixels, 508 x 381 millimetres.
constexpr qint32 kDeviceWidth = 1920;
constexpr qint32 kDeviceHeight = 1440;
constexpr qint32 kDeviceWidthMm = 508;
constexpr qint32 kDeviceHeightMm = 381;

// Rectangles of this format include their right and bottom edges.
void appendRect(QByteArray& bytes, qint64 right, qint64 bottom)
{
    appendLittle<qint32>(bytes, 0);
    appendLittle<qint32>(bytes, 0);
    appendLittle(bytes, qint32(right));
    appendLittle(bytes, qint32(bottom));
}

// Hundredths of a millimetre covered by `pixels` at 96 dpi.
qint64 hundredthsOfMm(int pixels)
{
    return (qint64(pixels) * 2540 + kScreenDpi / 2) / kScreenDpi;
}

// Bounds are the picture's pixels, the frame its size at 96 dpi in hundredths of a millimetre.
class EmfWriter final : public Writer {
public:
    int format() const override { return kFlmEmf; }

    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        const QImage image = request.image().convertToFormat(QImage::Format_RGB32);
        if (!writerutil::converted(request, image))
            return false;
        const qint64 stretchBytes = kStretchDibitsFixedBytes + dibBytes(image);
        const qint64 totalBytes = kEmrHeaderBytes + stretchBytes + kEmrEofBytes;
        if (totalBytes > 0xffffffffLL)
            return request.fail(writerutil::tooLargeFor("an enhanced metafile", QStringLiteral("4 GiB")));
        const int width = image.width();
        const int height = image.height();

        QByteArray head;
        appendLittle(head, kEmrHeader);
        appendLittle(head, kEmrHeaderBytes);
        appendRect(head, width - 1, height - 1);
        appendRect(head, hundredthsOfMm(width) - 1, hundredthsOfMm(height) - 1);
        appendLittle(head, kEmfSignature);
        appendLittle(head, kEmfVersion);
        appendLittle(head, quint32(totalBytes));
        appendLittle<quint32>(head, 3); // records
        appendLittle<quint16>(head, 1); // handles: entry 0 is reserved
        appendLittle<quint16>(head, 0);
        appendLittle<quint32>(head, 0); // description length and offset
        appendLittle<quint32>(head, 0);
        appendLittle<quint32>(head, 0); // palette entries
        appendLittle(head, kDeviceWidth);
        appendLittle(head, kDeviceHeight);
        appendLittle(head, kDeviceWidthMm);
        appendLittle(head, kDeviceHeightMm);
        appendLittle<quint32>(head, 0); // pixel format size and offset, no OpenGL
        appendLittle<quint32>(head, 0);
        appendLittle<quint32>(head, 0);
        appendLittle(head, kDeviceWidthMm * 1000);
        appendLittle(head, kDeviceHeightMm * 1000);

        appendLittle(head, kEmrStretchDibits);
        appendLittle(head, quint32(stretchBytes));
        appendRect(head, width - 1, height - 1);
        for (qint32 value : {0, 0, 0, 0, width, height}) // destination x, y; source x, y, width, height
            appendLittle(head, value);
        appendLittle(head, kStretchDibitsFixedBytes);
        appendLittle(head, kBitmapInfoSize);
        appendLittle(head, kStretchDibitsFixedBytes + kBitmapInfoSize);
        appendLittle(head, quint32(dibBytes(image) - kBitmapInfoSize));
        appendLittle<quint32>(head, kRgbColours);
        appendLittle(head, kSourceCopy);
        appendLittle(head, qint32(width));
        appendLittle(head, qint32(height));
        head += bitmapInfo(image);
        if (out.write(head) != head.size() || !writeDibRows(image, out))
            return false;

        QByteArray tail;
        appendLittle(tail, kEmrEof);
        appendLittle(tail, kEmrEofBytes);
        appendLittle<quint32>(tail, 0);  // palette entries
        appendLittle<quint32>(tail, 16); // where they would start
        appendLittle(tail, kEmrEofBytes);
        return out.write(tail) == tail.size();
    }
};

} // namespace

const Writer* wmfWriter()
{
    static const WmfWriter writer(false);
    return &writer;
}

const Writer* apmWriter()
{
    static const WmfWriter writer(true);
    return &writer;
}

const Writer* emfWriter()
{
    static const EmfWriter writer;
    return &writer;
}

} // namespace imagelib
