#include "imagelib/codecs/exif.h"

#include <QTransform>

namespace imagelib {
namespace {

constexpr char kExifSignature[] = {'E', 'x', 'i', 'f', '\0', '\0'};
constexpr quint16 kTiffMagic = 42;
constexpr quint16 kTagOrientation = 0x0112;
constexpr quint16 kTagThumbnailOffset = 0x0201;
constexpr quint16 kTagThumbnailLength = 0x0202;
constexpr quint16 kTypeShort = 3;
constexpr quint16 kTypeLong = 4;
constexpr qint64 kEntryBytes = 12;
// The TIFF header itself: nothing can start inside it.
constexpr quint32 kHeaderBytes = 8;

// Reads numbers of the TIFF block in its byte order; every read is checked against its end.
class TiffBlock {
public:
    explicit TiffBlock(QByteArrayView data) : m_data(data) {}

    QByteArrayView data() const { return m_data; }
    qint64 size() const { return m_data.size(); }
    void setBigEndian(bool bigEndian) { m_bigEndian = bigEndian; }

    bool read16(qint64 offset, quint16& value) const
    {
        if (offset < 0 || offset + 2 > size())
            return false;
        const uchar a = byte(offset);
        const uchar b = byte(offset + 1);
        value = m_bigEndian ? quint16(a << 8 | b) : quint16(b << 8 | a);
        return true;
    }

    bool read32(qint64 offset, quint32& value) const
    {
        quint16 first = 0;
        quint16 second = 0;
        if (!read16(offset, first) || !read16(offset + 2, second))
            return false;
        value = m_bigEndian ? quint32(first) << 16 | second : quint32(second) << 16 | first;
        return true;
    }

private:
    uchar byte(qint64 offset) const { return uchar(m_data[qsizetype(offset)]); }

    QByteArrayView m_data;
    bool m_bigEndian = false;
};

// Calls visit(tag, value) for each entry of the IFD at `offset` that holds one SHORT or LONG,
// the only shapes of the tags we read. Returns the offset of the next IFD, 0 when there is none
// or the IFD runs past the block (its readable entries are still visited).
template <typename Visit> quint32 walkIfd(const TiffBlock& tiff, quint32 offset, Visit visit)
{
    quint16 count = 0;
    if (offset < kHeaderBytes || !tiff.read16(offset, count))
        return 0;
    const qint64 first = qint64(offset) + 2;
    const qint64 fitting = (tiff.size() - first) / kEntryBytes;
    const qint64 entries = qMin<qint64>(count, fitting);
    for (qint64 i = 0; i < entries; ++i) {
        const qint64 at = first + i * kEntryBytes;
        quint16 tag = 0;
        quint16 type = 0;
        quint32 values = 0;
        tiff.read16(at, tag);
        tiff.read16(at + 2, type);
        tiff.read32(at + 4, values);
        if (values != 1)
            continue;
        if (type == kTypeShort) {
            quint16 value = 0;
            tiff.read16(at + 8, value);
            visit(tag, quint32(value));
        } else if (type == kTypeLong) {
            quint32 value = 0;
            tiff.read32(at + 8, value);
            visit(tag, value);
        }
    }
    quint32 next = 0;
    if (entries == count)
        tiff.read32(first + entries * kEntryBytes, next);
    return next;
}

QImage rotated(const QImage& image, int degrees)
{
    return image.transformed(QTransform().rotate(degrees));
}

} // namespace

bool readExif(QByteArrayView app1, ExifInfo& info)
{
    if (!app1.startsWith(QByteArrayView(kExifSignature, sizeof kExifSignature)))
        return false;
    TiffBlock tiff(app1.sliced(sizeof kExifSignature));
    const QByteArrayView order = tiff.data().first(qMin<qsizetype>(2, tiff.size()));
    if (order == "MM")
        tiff.setBigEndian(true);
    else if (order != "II")
        return false;
    quint16 magic = 0;
    quint32 ifd0 = 0;
    if (!tiff.read16(2, magic) || magic != kTiffMagic || !tiff.read32(4, ifd0))
        return false;

    ExifInfo result;
    const quint32 ifd1 = walkIfd(tiff, ifd0, [&result](quint16 tag, quint32 value) {
        if (tag == kTagOrientation && value >= 1 && value <= 8)
            result.orientation = int(value);
    });
    quint32 thumbnailOffset = 0;
    quint32 thumbnailLength = 0;
    // Only IFD0 and IFD1 are visited, so a chain of IFDs pointing back at itself cannot loop.
    if (ifd1 != ifd0) {
        walkIfd(tiff, ifd1, [&](quint16 tag, quint32 value) {
            if (tag == kTagThumbnailOffset)
                thumbnailOffset = value;
            else if (tag == kTagThumbnailLength)
                thumbnailLength = value;
        });
    }
    if (thumbnailLength > 0 && thumbnailOffset >= kHeaderBytes && thumbnailOffset < tiff.size() &&
        thumbnailLength <= tiff.size() - thumbnailOffset)
        result.thumbnail = tiff.data().sliced(thumbnailOffset, thumbnailLength);
    info = result;
    return true;
}

bool orientationSwapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

QImage orientImage(QImage image, int orientation)
{
    switch (orientation) {
    case 2:
        return std::move(image).mirrored(true, false);
    case 3:
        return std::move(image).mirrored(true, true);
    case 4:
        return std::move(image).mirrored(false, true);
    case 5: // transposed: a quarter turn, then mirrored left-right
        return rotated(image, 90).mirrored(true, false);
    case 6:
        return rotated(image, 90);
    case 7: // transversed: a quarter turn, then flipped top-bottom
        return rotated(image, 90).mirrored(false, true);
    case 8:
        return rotated(image, 270);
    default:
        return image;
    }
}

} // namespace imagelib
