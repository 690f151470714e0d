#include "fileops/cfileinfo.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <optional>

#include <QFile>
#include <QIODevice>
#include <QLatin1String>

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
    "ani", "apm", "bmp", "cur", "dcx", "dib", "xpm", "emf", "gif", "ico", "iff", "img", "jfif", "jif", "jpe", "jpeg",
    "jpg", "pbm", "pcd", "pcx", "pgm", "png", "ppm", "psd", "ras", "sgi", "tga", "tif", "tiff", "wbm", "wmf", "wpg",
    "xbm",
    // Formats of today the library reads.
    "webp", "heic", "heif", "avif"};

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
    // Compared in place: this runs for every entry of a folder that is read.
    const QStringView extension = trimmed.sliced(dot + 1);
    return std::any_of(std::begin(list), std::end(list), [&](const char* entry) {
        return extension.compare(QLatin1String(entry), Qt::CaseInsensitive) == 0;
    });
}

// ---- The quick way ----------------------------------------------------------------------------

// What the quick way shows of each format it knows: the type text and, for the types whose
// depth it does not read, the colour text and depth it shows for them all. It reads no size of
// a metafile: 0 x 0 stands for it.
struct QuickType {
    int format;
    const char* name;
    const char* colours; // nullptr: from the header's depth
    int bitsPerPixel;
    bool sized;
};

constexpr QuickType kQuickTypes[] = {
    {kFlmBmp, "BMP", nullptr, 0, true},    {kFlmWmf, "WMF", "24bit", 24, false}, {kFlmEmf, "EMF", "24bit", 24, false},
    {kFlmGif, "GIF", nullptr, 0, true},    {kFlmCursor, "CUR", "2", 2, true},    {kFlmIcon, "ICO", "16", 8, true},
    {kFlmJpeg, "JPEG", "24bit", 24, true},
};

} // namespace

void CFileInfo::setFatalHandler(FatalHandler handler)
{
    g_fatal = handler ? handler : defaultFatal;
}

CFileInfo::CFileInfo() : m_picture(g_fatal) {}

bool CFileInfo::GetInfo(const QString& path, Info& info) const
{
    info = Info{QStringLiteral("No Image"), 0, 0, QStringLiteral("0"), 1};
    const std::optional<CBmpEx::FileInfo> header = m_picture.fileInfo(path);
    if (!header)
        return false;
    info.width = header->size.width();
    info.height = header->size.height();
    info.bitsPerPixel = header->bitsPerPixel;
    info.colours = colourText(header->bitsPerPixel);
    const auto known = std::find_if(std::begin(kFormatNames), std::end(kFormatNames),
                                    [&header](const FormatName& entry) { return entry.format == header->format; });
    if (known == std::end(kFormatNames)) {
        if (header->format == kFlmUnknown)
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
    const CBmpEx::FileInfo header = CBmpEx::readQuickHeader(device);
    const auto type = std::find_if(std::begin(kQuickTypes), std::end(kQuickTypes),
                                   [&header](const QuickType& entry) { return entry.format == header.format; });
    if (type == std::end(kQuickTypes))
        return false;
    info.format = QString::fromLatin1(type->name);
    if (type->colours) {
        info.colours = QString::fromLatin1(type->colours);
        info.bitsPerPixel = type->bitsPerPixel;
    }
    if (!type->sized)
        return true;
    if (!header.size.isValid())
        return false;
    info.width = header.size.width();
    info.height = header.size.height();
    if (!type->colours) {
        info.bitsPerPixel = header.bitsPerPixel;
        info.colours = header.bitsPerPixel > 8 ? QStringLiteral("24bit") : QString::number(1 << header.bitsPerPixel);
    }
    return true;
}

bool CFileInfo::IsImageBySignature(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && CBmpEx::readQuickHeader(file).format != kFlmUnknown;
}

bool CFileInfo::IsImageByExtension(const QString& path)
{
    return hasExtension(path, kImageExtensions);
}

