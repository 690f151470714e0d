#include "fileops/cfileinfo.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include <QByteArray>
#include <QFile>
#include <QIODevice>
#include <QLatin1String>
#include <QtEndian>

#include "imagelib/cbmpex.h"

namespace {

void defaultFatal()
{
    std::fputs("GP Error: Read Info Error\n", stderr);
    std::exit(-1);
}

CFileInfo::FatalHandler g_fatal = defaultFatal;

// ---- The complete way's tables ----------------------------------------------------------------

struct FormatName {
    int format;
    const char* name;
};

// Every format code that is a picture; any other code is "No Image" (or "Unknown Format").
constexpr FormatName kFormatNames[] = {
    {kFlmBmp, "Windows Bitmap"},
    {kFlmGif, "Compuserve GIF"},
    {kFlmJpeg, "JPEG File"},
    {kFlmCursor, "Windows Cursor"},
    {kFlmCursorAlt, "Windows Cursor"},
    {kFlmIcon, "Windows Icon"},
    {kFlmPcx, "ZSoft Paintbrush"},
    {kFlmDcx, "ZSoft Paintbrush"},
    {kFlmPbm, "Portable Bitmap"},
    {kFlmPgm, "Portable Graymap"},
    {kFlmPpm, "Portable Pixelmap"},
    {kFlmTga, "Truevision Targa"},
    {kFlmTiff, "Tagged Image File"},
    {kFlmPhotoCd, "Kodak Photo CD"},
    {kFlmPng, "Portable Network Graphic"},
    {kFlmWbmp, "Wireless Mono Bitmap"},
    {kFlmGem, "GEM Bit image"},
    {kFlmIff, "Amiga Interchange File"},
    {kFlmSun, "SUN Raster File"},
    {kFlmSgi, "Silicon Graphics Image"},
    {kFlmXbm, "X11 bitmap"},
    {kFlmXpm, "X11 pixmap"},
    {kFlmPsd, "Adobe Photoshop"},
    {kFlmWmf, "Windows Metafile"},
    {kFlmApm, "Aldus Metafile"},
    {kFlmEmf, "Enhanced Metafile"},
    {kFlmWpg, "WordPerfect Graphics"},
    // The library reads these too; without names of their own the pictures the program shows
    // would be called "No Image".
    {kFlmWebP, "WebP Image"},
    {kFlmHeif, "HEIF Image"},
    {kFlmAvif, "AVIF Image"},
};

QString colourText(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return QStringLiteral("Monochrome");
    case 2:
        return QStringLiteral("4");
    case 4:
        return QStringLiteral("16");
    case 8:
        return QStringLiteral("256");
    case 15:
        return QStringLiteral("15b");
    case 16:
        return QStringLiteral("16b");
    case 24:
        return QStringLiteral("24b");
    case 32:
        return QStringLiteral("32b");
    default:
        break;
    }
    // Depths the classic table lacks (5-bit GIF palettes, 48- and 64-bit PNG and TIFF) would all
    // read "2": name them in the table's own two styles instead.
    if (bitsPerPixel > 2 && bitsPerPixel < 8)
        return QString::number(1 << bitsPerPixel);
    if (bitsPerPixel > 32 && bitsPerPixel <= 64)
        return QString::number(bitsPerPixel) + QLatin1Char('b');
    return QStringLiteral("2");
}

// ---- Extensions -------------------------------------------------------------------------------

constexpr const char* kImageExtensions[] = {
    "ani", "bmp", "cur", "dcx", "dib", "xpm", "emf", "gif", "ico", "iff", "img", "jfif", "jif", "jpe", "jpeg", "jpg",
    "pbm", "pcd", "pcx", "pgm", "png", "ppm", "psd", "ras", "sgi", "tga", "tif", "tiff", "wbm", "wmf", "wpg", "xbm",
    // Formats of today the library reads.
    "webp", "heic", "heif", "avif"};

constexpr const char* kHeaderExtensions[] = {"jpeg", "jfif", "jpg", "bmp", "jpe", "gif", "cur", "ico",
                                             "dib",  "emf",  "wmf", "pcx", "dcx", "pbm", "pgm", "ppm",
                                             "tif",  "png",  "psd", "apm", "tga", "wbm"};

// Names typed by hand often end in blanks; a name without a dot has no extension at all.
template <std::size_t N> bool hasExtension(const QString& path, const char* const (&list)[N])
{
    qsizetype end = path.size();
    while (end > 0 && path.at(end - 1).isSpace())
        --end;
    const QStringView trimmed = QStringView(path).left(end);
    const qsizetype dot = trimmed.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QString extension = trimmed.mid(dot + 1).toString().toLower();
    return std::any_of(std::begin(list), std::end(list),
                       [&](const char* entry) { return extension == QLatin1String(entry); });
}

// ---- The quick way ----------------------------------------------------------------------------

constexpr qint64 kHeadBytes = 100;
// The JPEG walk gives up after this many segments or beyond this offset: a frame header lies
// in the first few segments of any real file, and a hostile one must not make us read it all.
constexpr int kMaxJpegSegments = 64;
constexpr qint64 kMaxJpegOffset = qint64(1) << 20;

enum class Signature { None, Bmp, Wmf, Emf, Gif, Cursor, Icon, Jpeg };

// The byte at `offset`, or -1 past the end, so that short heads simply match nothing.
int byteAt(const QByteArray& head, qsizetype offset)
{
    return offset < head.size() ? int(uchar(head.at(offset))) : -1;
}

quint16 le16(const QByteArray& bytes, qsizetype offset)
{
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

quint16 be16(const QByteArray& bytes, qsizetype offset)
{
    return qFromBigEndian<quint16>(bytes.constData() + offset);
}

Signature signatureOf(const QByteArray& head)
{
    if (head.startsWith("BM"))
        return Signature::Bmp;
    if (head.startsWith("\xD7\xCD\xC6\x9A"))
        return Signature::Wmf;
    // The enhanced-metafile signature " EMF" starts at byte 40, in the header record.
    if (head.mid(41, 3) == "EMF")
        return Signature::Emf;
    if (head.startsWith("GIF8"))
        return Signature::Gif;
    if (byteAt(head, 0) == 0 && byteAt(head, 1) == 0 && byteAt(head, 3) == 0) {
        if (byteAt(head, 2) == 2)
            return Signature::Cursor;
        if (byteAt(head, 2) == 1)
            return Signature::Icon;
    }
    if (byteAt(head, 0) == 0xFF && byteAt(head, 1) == 0xD8)
        return Signature::Jpeg;
    return Signature::None;
}

// Up to `count` bytes at `offset`; fewer (or none) at the end of the device.
QByteArray readAt(QIODevice& device, qint64 offset, qint64 count)
{
    if (offset >= device.size() || !device.seek(offset))
        return {};
    return device.read(count);
}

bool readBmp(const QByteArray& head, CFileInfo::Info& info)
{
    info.format = QStringLiteral("BMP");
    if (head.size() < 26)
        return false;
    const quint32 headerSize = qFromLittleEndian<quint32>(head.constData() + 14);
    qint64 width = 0;
    qint64 height = 0;
    int bits = 0;
    if (headerSize == 12) {
        // The OS/2 core header keeps 16-bit sizes and the bit count right behind them.
        width = le16(head, 18);
        height = le16(head, 20);
        bits = le16(head, 24);
    } else {
        // Every later header (OS/2 2.x from 16 bytes, Windows from 40 up to 124) keeps 32-bit
        // sizes; a negative height marks a top-down bitmap.
        if (headerSize < 16 || headerSize > 124 || head.size() < 30)
            return false;
        width = qFromLittleEndian<qint32>(head.constData() + 18);
        height = qFromLittleEndian<qint32>(head.constData() + 22);
        bits = le16(head, 28);
        height = height < 0 ? -height : height;
    }
    constexpr int kDepths[] = {1, 2, 4, 8, 16, 24, 32};
    if (width <= 0 || height <= 0 || width > INT_MAX || height > INT_MAX ||
        std::find(std::begin(kDepths), std::end(kDepths), bits) == std::end(kDepths))
        return false;
    info.width = int(width);
    info.height = int(height);
    info.bitsPerPixel = bits;
    info.colours = bits > 8 ? QStringLiteral("24bit") : QString::number(1 << bits);
    return true;
}

bool readGif(const QByteArray& head, CFileInfo::Info& info)
{
    struct Depth {
        int descriptor;
        int bits;
    };
    // The screen descriptor's packed byte as the usual writers set it; anything else counts as
    // a full palette.
    constexpr Depth kDepths[] = {{0x80, 1}, {0xA1, 2}, {0xA2, 3}, {0xB3, 4}, {0xC4, 5}, {0xD5, 6}, {0xE6, 7}};
    info.format = QStringLiteral("GIF");
    if (head.size() < 11)
        return false;
    info.width = le16(head, 6);
    info.height = le16(head, 8);
    const int descriptor = byteAt(head, 10);
    const auto depth = std::find_if(std::begin(kDepths), std::end(kDepths),
                                    [descriptor](const Depth& d) { return d.descriptor == descriptor; });
    info.bitsPerPixel = depth == std::end(kDepths) ? 8 : depth->bits;
    info.colours = QString::number(1 << info.bitsPerPixel);
    return true;
}

// Icons and cursors share the directory layout; the first entry gives the size.
bool readIconDirectory(const QByteArray& head, CFileInfo::Info& info)
{
    // A directory without entries is no icon: an uncompressed Targa file starts with the same
    // four bytes as a cursor, and its next two are zero.
    if (head.size() < 8 || le16(head, 4) == 0)
        return false;
    // A width or height byte of 0 stands for 256 pixels.
    info.width = byteAt(head, 6) == 0 ? 256 : byteAt(head, 6);
    info.height = byteAt(head, 7) == 0 ? 256 : byteAt(head, 7);
    return true;
}

bool isStartOfFrame(int marker)
{
    // C4 (Huffman tables), C8 (reserved) and CC (arithmetic conditioning) share the range.
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the marker segments of the main stream, skipping each by its length, so that the frame
// header of a thumbnail inside an APP segment never counts, whatever its size.
bool readJpegFrame(QIODevice& device, CFileInfo::Info& info)
{
    qint64 offset = 2;
    for (int step = 0; step < kMaxJpegSegments && offset <= kMaxJpegOffset; ++step) {
        const QByteArray segment = readAt(device, offset, 9);
        if (byteAt(segment, 0) != 0xFF)
            return false;
        const int marker = byteAt(segment, 1);
        if (marker == 0xFF) { // a fill byte before the marker
            offset += 1;
            continue;
        }
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) { // no length
            offset += 2;
            continue;
        }
        if (marker < 0 || marker == 0x00 || marker == 0xD9 || marker == 0xDA || segment.size() < 4)
            return false; // the scan or the end came first, or the stream is broken
        const int length = be16(segment, 2);
        if (length < 2)
            return false;
        if (isStartOfFrame(marker)) {
            if (length < 8 || segment.size() < 9)
                return false;
            const int height = be16(segment, 5);
            const int width = be16(segment, 7);
            // A height of 0 is given later by a DNL segment: the quick way does not know it.
            if (width == 0 || height == 0)
                return false;
            info.width = width;
            info.height = height;
            return true;
        }
        offset += 2 + length;
    }
    return false;
}

} // namespace

void CFileInfo::setFatalHandler(FatalHandler handler)
{
    g_fatal = handler ? handler : defaultFatal;
}

CFileInfo::CFileInfo() : m_handle(CBmpEx::openHandle(g_fatal)) {}

CFileInfo::~CFileInfo()
{
    flmCloseHandle(m_handle);
}

bool CFileInfo::GetInfo(const QString& path, Info& info) const
{
    info = Info{QStringLiteral("No Image"), 0, 0, QStringLiteral("0"), 1};
    FlmFileInfo record;
    // The library's allocations may throw; a file it cannot describe is simply no picture.
    try {
        int format = -1;
        if (flmCanOpen(m_handle, path, &format) == 0 || flmGetFileInfo(m_handle, path, &record) != 0)
            return false;
    } catch (...) {
        return false;
    }
    info.width = record.width;
    info.height = record.height;
    info.bitsPerPixel = record.bitsPerPixel;
    info.colours = colourText(record.bitsPerPixel);
    const auto known = std::find_if(std::begin(kFormatNames), std::end(kFormatNames),
                                    [&record](const FormatName& entry) { return entry.format == record.format; });
    if (known == std::end(kFormatNames)) {
        if (record.format == kFlmUnknown)
            info.format = QStringLiteral("Unknown Format");
        return false;
    }
    info.format = QString::fromLatin1(known->name);
    return true;
}

bool CFileInfo::ReadHeaderInfo(const QString& path, Info& info)
{
    // A file that does not open leaves the device unreadable, which the reader refuses.
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return ReadHeaderInfo(file, info);
}

bool CFileInfo::ReadHeaderInfo(QIODevice& device, Info& info)
{
    info = Info{QStringLiteral("Image"), 0, 0, QStringLiteral("0"), 1};
    if (!device.isReadable() || device.isSequential())
        return false;
    const QByteArray head = readAt(device, 0, kHeadBytes);
    const Signature signature = signatureOf(head);
    switch (signature) {
    case Signature::Bmp:
        return readBmp(head, info);
    case Signature::Wmf:
    case Signature::Emf:
        // A metafile's size needs its records; the quick way leaves it at 0 x 0.
        info.format = signature == Signature::Wmf ? QStringLiteral("WMF") : QStringLiteral("EMF");
        info.colours = QStringLiteral("24bit");
        info.bitsPerPixel = 24;
        return true;
    case Signature::Gif:
        return readGif(head, info);
    case Signature::Cursor:
        info.format = QStringLiteral("CUR");
        info.colours = QStringLiteral("2");
        info.bitsPerPixel = 2;
        return readIconDirectory(head, info);
    case Signature::Icon:
        info.format = QStringLiteral("ICO");
        info.colours = QStringLiteral("16");
        info.bitsPerPixel = 8;
        return readIconDirectory(head, info);
    case Signature::Jpeg:
        info.format = QStringLiteral("JPEG");
        info.colours = QStringLiteral("24bit");
        info.bitsPerPixel = 24;
        return readJpegFrame(device, info);
    case Signature::None:
        break;
    }
    return false;
}

bool CFileInfo::IsImageBySignature(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && signatureOf(file.read(kHeadBytes)) != Signature::None;
}

bool CFileInfo::IsImageByExtension(const QString& path)
{
    return hasExtension(path, kImageExtensions);
}

bool CFileInfo::IsHeaderExtension(const QString& path)
{
    return hasExtension(path, kHeaderExtensions);
}
