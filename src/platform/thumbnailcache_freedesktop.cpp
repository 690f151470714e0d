#include "platform/thumbnailcache.h"

#include <cerrno>

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QStandardPaths>
#include <QUrl>
#include <QtEndian>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace {

constexpr QByteArrayView kPngSignature("\x89PNG\r\n\x1a\n", 8);
// The signature and the IHDR chunk, which every PNG begins with; our text chunks follow it.
constexpr qsizetype kPngHeadLength = 8 + 12 + 13;
constexpr QByteArrayView kUriKey("Thumb::URI");
constexpr QByteArrayView kMTimeKey("Thumb::MTime");
constexpr QByteArrayView kSizeKey("Thumb::Size");
constexpr QByteArrayView kWidthKey("Thumb::Image::Width");
constexpr QByteArrayView kHeightKey("Thumb::Image::Height");
// Qt's PNG quality maps 0..100 onto zlib levels 9..0: this is level 1. Thumbnails are written
// while the list waits for them, and the cache's size matters far less than that time.
constexpr int kPngQuality = 80;

void appendBigEndian32(QByteArray& bytes, quint32 value)
{
    const quint32 big = qToBigEndian(value);
    bytes.append(reinterpret_cast<const char*>(&big), sizeof big);
}

// True when the uncompressed text chunks before the pixels of `png` name `entry`'s file as it is
// now: same URI, same modification time, and the same size where the writer recorded one (GIO
// checks it too). Other writers' chunks are skipped; a damaged chunk ends the search unmatched.
bool describes(const QByteArray& png, const ThumbnailCache::Entry& entry)
{
    if (!png.startsWith(kPngSignature))
        return false;
    bool uri = false;
    bool mtime = false;
    bool size = true;
    qsizetype at = kPngSignature.size();
    while (png.size() - at >= 12) {
        const quint32 length = qFromBigEndian<quint32>(png.constData() + at);
        if (length > quint32(png.size() - at - 12))
            return false;
        const QByteArrayView type(png.constData() + at + 4, 4);
        if (type == "IDAT" || type == "IEND")
            break;
        if (type == "tEXt") {
            const QByteArrayView data(png.constData() + at + 8, length);
            const qsizetype end = data.indexOf('\0');
            const QByteArrayView key = data.first(qMax<qsizetype>(end, 0));
            const QByteArrayView value = end < 0 ? QByteArrayView() : data.sliced(end + 1);
            if (key == kUriKey)
                uri = value == entry.uri;
            else if (key == kMTimeKey)
                mtime = value.toLongLong() == entry.mtime;
            else if (key == kSizeKey)
                size = value.toLongLong() == entry.size;
        }
        at += 12 + qsizetype(length);
    }
    return uri && mtime && size;
}

QByteArray textChunk(QByteArrayView key, QByteArrayView value)
{
    QByteArray body("tEXt");
    body.append(key).append('\0').append(value);
    QByteArray chunk;
    appendBigEndian32(chunk, quint32(body.size() - 4));
    chunk += body;
    appendBigEndian32(chunk, quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))));
    return chunk;
}

// `picture` as a PNG carrying the keys that tie it to `entry`'s file, and the size of the
// picture it stands for when known. The keys go in as plain tEXt chunks of our own: Qt compresses
// long values into zTXt, which GIO does not read.
QByteArray encode(const QImage& picture, const ThumbnailCache::Entry& entry, QSize original = QSize())
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(kPngQuality);
    if (!writer.write(picture) || png.size() < kPngHeadLength)
        return {};
    QByteArray keys = textChunk(kUriKey, entry.uri) + textChunk(kMTimeKey, QByteArray::number(entry.mtime)) +
                      textChunk(kSizeKey, QByteArray::number(entry.size)) +
                      textChunk("Software", "Zelt Pixoria " PIXORIA_VERSION);
    if (!original.isEmpty())
        keys += textChunk(kWidthKey, QByteArray::number(original.width())) +
                textChunk(kHeightKey, QByteArray::number(original.height()));
    return png.insert(kPngHeadLength, keys);
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes `folder` and any missing parent private to the user, as the cache's folders must be.
bool makeFolder(const QString& folder)
{
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) == 0 || errno == EEXIST)
        return true;
    const QString parent = QFileInfo(folder).path();
    return errno == ENOENT && parent != folder && makeFolder(parent) &&
           (::mkdir(name.constData(), 0700) == 0 || errno == EEXIST);
}

// Writes `bytes` as `folder`/`name` through a temporary file beside it, so that a reader never
// sees half an entry; mkstemp makes the file 0600.
bool writeEntry(const QString& folder, const QString& name, const QByteArray& bytes)
{
    if (bytes.isEmpty() || !makeFolder(folder))
        return false;
    const QByteArray target = QFile::encodeName(folder + QLatin1Char('/') + name);
    QByteArray temporary = target + ".XXXXXX";
    const int descriptor = ::mkstemp(temporary.data());
    if (descriptor < 0)
        return false;
    QFile file;
    bool written = file.open(descriptor, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle) &&
                   file.write(bytes) == bytes.size() && file.flush();
    file.close();
    written = written && ::rename(temporary.constData(), target.constData()) == 0;
    if (!written)
        ::unlink(temporary.constData());
    return written;
}

QString entryName(const QByteArray& uri)
{
    return QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex() + ".png");
}

QString absoluteOf(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

ThumbnailCache::ThumbnailCache(const QString& root)
    : m_root(QDir::cleanPath(QDir(root).absolutePath())), m_normal(m_root + QLatin1String("/normal")),
      m_fail(m_root + QLatin1String("/fail/zelt-pixoria-" PIXORIA_VERSION))
{
}

QString ThumbnailCache::standardRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QLatin1String("/thumbnails");
}

ThumbnailCache::Entry ThumbnailCache::find(const QString& path) const
{
    Entry entry;
    const QString absolute = absoluteOf(path);
    struct stat status {};
    if (absolute.startsWith(m_root + QLatin1Char('/')) ||
        ::stat(QFile::encodeName(absolute).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return entry;
    entry.uri = QUrl::fromLocalFile(absolute).toEncoded();
    entry.mtime = status.st_mtime;
    entry.size = status.st_size;
    const QString name = entryName(entry.uri);
    const QByteArray kept = readAll(m_normal + QLatin1Char('/') + name);
    if (describes(kept, entry) && entry.picture.loadFromData(kept, "PNG")) {
        entry.state = Entry::Kept;
        return entry;
    }
    entry.state = describes(readAll(m_fail + QLatin1Char('/') + name), entry) ? Entry::Failed : Entry::Missing;
    return entry;
}

bool ThumbnailCache::keep(const Entry& entry, const QImage& picture, QSize original) const
{
    if (entry.state != Entry::Missing || picture.isNull() || picture.width() > kNormalSize ||
        picture.height() > kNormalSize)
        return false;
    const QString name = entryName(entry.uri);
    if (!writeEntry(m_normal, name, encode(picture, entry, original)))
        return false;
    // The file reads now: an old fail entry of it is stale.
    QFile::remove(m_fail + QLatin1Char('/') + name);
    return true;
}

QStringList ThumbnailCache::entriesOf(const QString& path) const
{
    const QString name = entryName(QUrl::fromLocalFile(absoluteOf(path)).toEncoded());
    QStringList entries;
    for (const QString& folder : {m_normal, m_root + QLatin1String("/large"), m_root + QLatin1String("/x-large"),
                                  m_root + QLatin1String("/xx-large"), m_fail}) {
        const QString entry = folder + QLatin1Char('/') + name;
        if (QFileInfo::exists(entry))
            entries << entry;
    }
    return entries;
}

bool ThumbnailCache::keepFailure(const Entry& entry) const
{
    if (entry.state != Entry::Missing)
        return false;
    QImage empty(1, 1, QImage::Format_ARGB32);
    empty.fill(Qt::transparent);
    return writeEntry(m_fail, entryName(entry.uri), encode(empty, entry));
}
