// CFileInfo: the quick header reader on hand-made headers (exact, hostile and truncated bytes),
// the signature and extension tests, and the complete way on files written by Qt, by our own
// writers, by GraphicsMagick and by exiftool.
#include <algorithm>

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "fileops/cfileinfo.h"
#include "imagelib/imagetest.h"

using imagetest::append16;
using imagetest::append32;

namespace {

QByteArray bmp(quint32 headerSize, qint32 width, qint32 height, int bits)
{
    QByteArray bytes("BM");
    append32(bytes, 14 + headerSize + 64);
    append32(bytes, 0);
    append32(bytes, 14 + headerSize);
    append32(bytes, headerSize);
    if (headerSize == 12) {
        append16(bytes, quint16(width));
        append16(bytes, quint16(height));
    } else {
        append32(bytes, quint32(width));
        append32(bytes, quint32(height));
    }
    append16(bytes, 1);
    append16(bytes, quint16(bits));
    return bytes + QByteArray(headerSize == 12 ? 64 : headerSize + 48, '\x55');
}

QByteArray gif(int width, int height, int packed)
{
    QByteArray bytes("GIF89a");
    append16(bytes, quint16(width));
    append16(bytes, quint16(height));
    return bytes + char(packed) + QByteArray(30, '\0');
}

// A cursor (type 2) or icon (type 1) directory whose first entry is width x height bytes.
QByteArray icon(int type, int count, int width, int height)
{
    return QByteArray("\0\0", 2) + char(type) + '\0' + char(count) + '\0' + char(width) + char(height) +
           QByteArray(40, '\0');
}

QByteArray metafile(bool enhanced, int size)
{
    QByteArray bytes =
        (enhanced ? QByteArray("\x01\0\0\0", 4) : QByteArray("\xD7\xCD\xC6\x9A", 4)) + QByteArray(100, 0);
    return (enhanced ? bytes.replace(40, 4, " EMF") : bytes).left(size);
}

QByteArray segment(int marker, const QByteArray& payload)
{
    QByteArray bytes = QByteArray("\xFF", 1) + char(marker);
    append16(bytes, quint16(payload.size() + 2), QSysInfo::BigEndian);
    return bytes + payload;
}

QByteArray frame(int marker, int width, int height, int components = 3)
{
    QByteArray payload(1, 8);
    append16(payload, quint16(height), QSysInfo::BigEndian);
    append16(payload, quint16(width), QSysInfo::BigEndian);
    payload.append(char(components));
    for (int c = 1; c <= components; ++c)
        payload.append(char(c)).append('\x11').append('\0');
    return segment(marker, payload);
}

const QByteArray kSoi("\xFF\xD8", 2);
const QByteArray kJfif = segment(0xE0, QByteArray("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
const QByteArray kScanAndEnd = segment(0xDA, QByteArray("\x01\x01\x00\x00\x3F\x00", 6)) + "\x12\x34\xFF\xD9";

QByteArray jpeg(const QByteArray& frameSegment)
{
    return kSoi + kJfif + frameSegment + kScanAndEnd;
}

// An EXIF segment of `size` payload bytes carrying a whole thumbnail stream.
QByteArray exif(const QByteArray& thumbnail, int size)
{
    const QByteArray payload = QByteArray("Exif\0\0MM\0\x2A", 10) + thumbnail;
    return segment(0xE1, payload + QByteArray(size - payload.size(), '\0'));
}

QString gmPath()
{
    return QStandardPaths::findExecutable(QStringLiteral("gm"));
}

// Writes `picture` with Qt's writer of the format, or with GraphicsMagick's for "gm:" + format.
void writePicture(const QImage& picture, const QByteArray& writer, const QString& path)
{
    if (!writer.startsWith("gm:")) {
        QVERIFY(picture.save(path, writer.constData()));
        return;
    }
    QVERIFY(picture.save(path + ".png", "PNG"));
    QCOMPARE(QProcess::execute(gmPath(), {QStringLiteral("convert"), path + ".png", writer.mid(3) + ':' + path}), 0);
}

} // namespace

class TestFileInfo : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void readHeaderInfo_data();
    void readHeaderInfo();
    void headerNeedsEveryByte_data();
    void headerNeedsEveryByte();
    void signature_data();
    void signature();
    void extension_data();
    void extension();
    void getInfo_data();
    void getInfo();
    void depthsAgree_data();
    void depthsAgree();
    void jpegThumbnailFromExiftool_data();
    void jpegThumbnailFromExiftool();

private:
    QTemporaryDir m_dir;
};

void TestFileInfo::readHeaderInfo_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QSize>("size"); // invalid: the result is false
    QTest::addColumn<QString>("colours");
    QTest::addColumn<int>("bits");
    const auto row = [](const char* tag, const QByteArray& bytes, const char* type, QSize size, const char* colours,
                        int bits) { QTest::newRow(tag) << bytes << QString(type) << size << QString(colours) << bits; };
    const auto none = [&](const char* tag, const QByteArray& bytes) { row(tag, bytes, "Image", {}, "0", 1); };
    const auto bmpRow = [&](const char* tag, const QByteArray& bytes, QSize size, const char* colours, int bits) {
        row(tag, bytes, "BMP", size, size.isValid() ? colours : "0", size.isValid() ? bits : 1);
    };
    const auto jpegRow = [&](const char* tag, const QByteArray& bytes, QSize size = {}) {
        row(tag, bytes, "JPEG", size, "24bit", 24);
    };

    none("empty", {});
    none("text", "hello, world\n");
    none("PNG, unknown here", QByteArray("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR", 16));
    none("other zero first byte", QByteArray("\0\x01\x02\x03", 4));
    none("G but no GIF8", QByteArray("GIF7a\0\0\0\0\0\0\0", 12));
    none("EMF cut before its signature", metafile(true, 43));

    bmpRow("BMP 24-bit", bmp(40, 300, 200, 24), {300, 200}, "24bit", 24);
    bmpRow("BMP 32-bit", bmp(40, 3, 2, 32), {3, 2}, "24bit", 32);
    bmpRow("BMP 8-bit", bmp(40, 3, 2, 8), {3, 2}, "256", 8);
    bmpRow("BMP 1-bit", bmp(40, 3, 2, 1), {3, 2}, "2", 1);
    bmpRow("BMP top-down", bmp(40, 300, -200, 24), {300, 200}, "24bit", 24);
    bmpRow("BMP wider than 16 bits", bmp(40, 70000, 3, 8), {70000, 3}, "256", 8);
    bmpRow("BMP version 5 header", bmp(124, 64, 48, 32), {64, 48}, "24bit", 32);
    bmpRow("BMP OS/2 core header", bmp(12, 300, 200, 8), {300, 200}, "256", 8);
    bmpRow("BMP zero width", bmp(40, 0, 2, 8), {}, "", 0);
    bmpRow("BMP negative width", bmp(40, -5, 2, 8), {}, "", 0);
    bmpRow("BMP zero height", bmp(40, 5, 0, 8), {}, "", 0);
    bmpRow("BMP most negative height", bmp(40, 5, INT_MIN, 8), {}, "", 0);
    bmpRow("BMP 3 bits", bmp(40, 5, 5, 3), {}, "", 0);
    bmpRow("BMP 0 bits", bmp(40, 5, 5, 0), {}, "", 0);
    bmpRow("BMP header size 7", bmp(40, 5, 5, 8).replace(14, 1, "\x07"), {}, "", 0);
    bmpRow("BMP header size 4000", bmp(40, 5, 5, 8).replace(14, 2, "\xA0\x0F"), {}, "", 0);

    row("WMF", metafile(false, 40), "WMF", {0, 0}, "24bit", 24);
    row("EMF", metafile(true, 100), "EMF", {0, 0}, "24bit", 24);

    const struct {
        int packed;
        const char* colours;
        int bits;
    } gifDepths[] = {{0x80, "2", 1},  {0xA1, "4", 2},   {0xA2, "8", 3},   {0xB3, "16", 4},  {0xC4, "32", 5},
                     {0xD5, "64", 6}, {0xE6, "128", 7}, {0xF7, "256", 8}, {0x00, "256", 8}, {0x91, "4", 2},
                     {0xF0, "2", 1},  {0x70, "256", 8}};
    for (const auto& depth : gifDepths) {
        const QByteArray tag = "GIF descriptor " + QByteArray::number(depth.packed, 16);
        row(tag.constData(), gif(320, 240, depth.packed), "GIF", {320, 240}, depth.colours, depth.bits);
    }
    row("GIF87a", gif(7, 9, 0xF7).replace(4, 1, "7"), "GIF", {7, 9}, "256", 8);

    row("cursor", icon(2, 1, 32, 32), "CUR", {32, 32}, "2", 2);
    row("cursor 256", icon(2, 1, 0, 0), "CUR", {256, 256}, "2", 2);
    row("icon", icon(1, 3, 16, 16), "ICO", {16, 16}, "16", 8);
    row("icon 48 x 256", icon(1, 1, 48, 0), "ICO", {48, 256}, "16", 8);
    row("icon without entries", icon(1, 0, 16, 16), "ICO", {}, "16", 8);
    row("Targa, like a cursor without entries",
        QByteArray("\0\0\x02\0\0\0\0\0\0\0\0\0\x40\0\x30\0\x18\0", 18) + QByteArray(64, '\x7F'), "CUR", {}, "2", 2);

    jpegRow("JPEG baseline", jpeg(frame(0xC0, 640, 480)), {640, 480});
    jpegRow("JPEG extended sequential", jpeg(frame(0xC1, 640, 480)), {640, 480});
    jpegRow("JPEG progressive", jpeg(frame(0xC2, 500, 20)), {500, 20});
    jpegRow("JPEG lossless", jpeg(frame(0xC3, 3, 4)), {3, 4});
    jpegRow("JPEG grayscale", jpeg(frame(0xC0, 640, 480, 1)), {640, 480});
    // Table markers share the frame markers' range, and their payload may look like a frame header.
    const QByteArray lookalike = QByteArray("\x00\xFF\xC0\x00\x11\x08\x00\x10\x00\x20", 10) + QByteArray(20, 2);
    jpegRow("JPEG tables before the frame",
            kSoi + segment(0xDB, QByteArray(65, 1)) + segment(0xC4, lookalike) + segment(0xCC, "\x10\x10") +
                frame(0xC0, 1000, 750) + kScanAndEnd,
            {1000, 750});
    const QByteArray thumbnail = jpeg(frame(0xC0, 160, 120));
    jpegRow("JPEG with thumbnail", kSoi + exif(thumbnail, 8000) + frame(0xC0, 4000, 3000) + kScanAndEnd, {4000, 3000});
    jpegRow("JPEG grayscale, colour thumbnail", kSoi + exif(thumbnail, 900) + frame(0xC0, 300, 200, 1) + kScanAndEnd,
            {300, 200});
    jpegRow("JPEG progressive thumbnail",
            kSoi + exif(jpeg(frame(0xC2, 16, 12)), 900) + frame(0xC0, 30, 20) + kScanAndEnd, {30, 20});
    jpegRow("JPEG frame beyond 32 KiB",
            kSoi + exif(thumbnail, 65000) + segment(0xE2, QByteArray(30000, '\xC0')) + frame(0xC2, 5000, 4000) +
                kScanAndEnd,
            {5000, 4000});
    jpegRow("JPEG fill bytes", kSoi + kJfif + "\xFF\xFF\xFF" + frame(0xC0, 9, 8) + kScanAndEnd, {9, 8});
    // The list shows the stored size, as the classic list did, where the viewer turns the picture.
    const QByteArray turned = segment(0xE1, QByteArray("Exif\0\0MM\0\x2A\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06"
                                                       "\0\0\0\0\0\0",
                                                       32));
    jpegRow("JPEG turned by its EXIF orientation", kSoi + turned + frame(0xC0, 640, 480) + kScanAndEnd, {640, 480});
    jpegRow("JPEG 40 comments", kSoi + segment(0xFE, "hi").repeated(40) + frame(0xC0, 9, 8) + kScanAndEnd, {9, 8});
    jpegRow("JPEG 100 comments", kSoi + segment(0xFE, "hi").repeated(100) + frame(0xC0, 9, 8) + kScanAndEnd);
    const QByteArray big = segment(0xE3, QByteArray(65533, '\0'));
    jpegRow("JPEG frame within 1 MiB", kSoi + big.repeated(15) + frame(0xC0, 9, 8) + kScanAndEnd, {9, 8});
    jpegRow("JPEG frame beyond 1 MiB", kSoi + big.repeated(17) + frame(0xC0, 9, 8) + kScanAndEnd);
    jpegRow("JPEG without frame header", kSoi + kJfif + kScanAndEnd + frame(0xC0, 9, 8));
    jpegRow("JPEG ending before its frame", kSoi + kJfif + "\xFF\xD9");
    jpegRow("JPEG cut inside a segment", kSoi + kJfif.left(9));
    jpegRow("JPEG segment length 0", kSoi + QByteArray("\xFF\xE0\0\0", 4) + frame(0xC0, 9, 8));
    jpegRow("JPEG segment longer than the file", kSoi + QByteArray("\xFF\xE1\xFF\xFF", 4) + "Exif");
    jpegRow("JPEG garbage between segments", kSoi + kJfif + "\x12\x34" + frame(0xC0, 9, 8));
    jpegRow("JPEG frame header too short", kSoi + segment(0xC0, QByteArray(4, 1)));
    jpegRow("JPEG height from a DNL segment", jpeg(frame(0xC0, 640, 0)));
    jpegRow("JPEG only fill bytes", kSoi + QByteArray(200000, '\xFF'));
}

void TestFileInfo::readHeaderInfo()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, type);
    QFETCH(QSize, size);
    QFETCH(QString, colours);
    QFETCH(int, bits);

    CFileInfo::Info info;
    QCOMPARE(CFileInfo::ReadHeaderInfo(imagetest::writeFile(m_dir, QStringLiteral("header"), bytes), info),
             size.isValid());
    QCOMPARE(info.format, type);
    QCOMPARE(QSize(info.width, info.height), size.isValid() ? size : QSize(0, 0));
    QCOMPARE(info.colours, colours);
    QCOMPARE(info.bitsPerPixel, bits);

    QBuffer buffer(&bytes); // a buffer gives what the file gave
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    CFileInfo::Info fromBuffer;
    QCOMPARE(CFileInfo::ReadHeaderInfo(buffer, fromBuffer), size.isValid());
    QCOMPARE(QSize(fromBuffer.width, fromBuffer.height), QSize(info.width, info.height));
}

void TestFileInfo::headerNeedsEveryByte_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("needed"); // the shortest prefix whose size is found

    QTest::newRow("BMP") << bmp(40, 5, 6, 8) << 30;
    QTest::newRow("OS/2 BMP") << bmp(12, 5, 6, 8) << 26;
    QTest::newRow("GIF") << gif(5, 6, 0x80) << 11;
    QTest::newRow("icon") << icon(1, 1, 5, 6) << 8;
    QTest::newRow("EMF") << metafile(true, 100) << 44;
    const QByteArray head = kSoi + exif(jpeg(frame(0xC0, 16, 12)), 300);
    QTest::newRow("JPEG with thumbnail") << head + frame(0xC0, 5, 6) + kScanAndEnd << int(head.size() + 9);
}

void TestFileInfo::headerNeedsEveryByte()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, needed);
    for (int size = 0; size <= bytes.size(); ++size) {
        QByteArray prefix = bytes.left(size);
        QBuffer buffer(&prefix);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        CFileInfo::Info info;
        QVERIFY2(CFileInfo::ReadHeaderInfo(buffer, info) == (size >= needed), qPrintable(QString::number(size)));
    }
}

void TestFileInfo::signature_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("image");

    QTest::newRow("JPEG") << QByteArray("\xFF\xD8\xFF\xE0", 4) << true;
    QTest::newRow("BMP") << QByteArray("BMxxxx") << true;
    QTest::newRow("GIF") << QByteArray("GIF87a") << true;
    QTest::newRow("placeable WMF") << metafile(false, 30) << true;
    QTest::newRow("EMF") << metafile(true, 60) << true;
    QTest::newRow("icon") << icon(1, 1, 1, 1) << true;
    QTest::newRow("cursor") << icon(2, 1, 1, 1) << true;
    QTest::newRow("PNG") << QByteArray("\x89PNG\r\n\x1A\n", 8) << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("GIF7") << QByteArray("GIF7") << false;
    QTest::newRow("EMF one byte early") << metafile(true, 60).remove(0, 1) << false;
    QTest::newRow("third byte 3") << icon(3, 1, 1, 1) << false;
    QTest::newRow("fourth byte not 0") << icon(1, 1, 1, 1).replace(3, 1, "\x01") << false;
}

void TestFileInfo::signature()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, image);
    QCOMPARE(CFileInfo::IsImageBySignature(imagetest::writeFile(m_dir, QStringLiteral("signature"), bytes)), image);
    QVERIFY(!CFileInfo::IsImageBySignature(m_dir.filePath(QStringLiteral("missing.jpg"))));
}

void TestFileInfo::extension_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("image");

    QTest::newRow("capitals and a trailing blank") << "/pics/a.JPEG " << true;
    QTest::newRow("trailing tab and newline") << "a.png\t\n" << true;
    QTest::newRow("no dot") << "/pics/README" << false;
    QTest::newRow("dot only in the folder") << "/pics.jpg/README" << false;
    QTest::newRow("empty extension") << "a." << false;
    QTest::newRow("two extensions") << "a.jpg.txt" << false;
    QTest::newRow("a letter more") << "a.jpegx" << false;
    QTest::newRow("tiff") << "a.Tiff" << true;
    // The library reads it, so the list, its thumbnails and the viewer count it alike.
    QTest::newRow("Aldus metafile") << "a.apm" << true;
    for (const char* today : {"a.webp", "a.HEIC", "a.heif", "a.avif"})
        QTest::newRow(today) << today << true;
}

void TestFileInfo::extension()
{
    QFETCH(QString, path);
    QFETCH(bool, image);
    QCOMPARE(CFileInfo::IsImageByExtension(path), image);
}

void TestFileInfo::getInfo_data()
{
    QTest::addColumn<QByteArray>("writer"); // Qt's format, "gm:" and its format, or "text"
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("colours");
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("quick"); // the quick way knows the format too

    QImage colour(40, 30, QImage::Format_RGB32);
    colour.fill(QColor(200, 120, 40));
    QImage alpha = colour.convertToFormat(QImage::Format_ARGB32);
    alpha.setPixel(0, 0, qRgba(1, 2, 3, 4));
    const QImage grey = colour.convertToFormat(QImage::Format_Grayscale8);
    // Qt writes a palette of up to 16 colours with 4 bits a pixel; 30 greys need 8.
    QImage indexed(40, 30, QImage::Format_Indexed8);
    for (int y = 0; y < 30; ++y) {
        indexed.setColor(y, qRgb(y * 8, y * 8, y * 8));
        std::fill_n(indexed.scanLine(y), 40, uchar(y));
    }
    QImage many(40, 30, QImage::Format_RGB32); // 1200 colours: a GIF writer needs its full 8 bits
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x)
            many.setPixel(x, y, qRgb(x * 6, y * 8, (x + y) * 3));
    const QString bitmap("Windows Bitmap"), png("Portable Network Graphic");
    QTest::newRow("BMP 24-bit") << QByteArray("BMP") << colour << bitmap << "24b" << 24 << true;
    QTest::newRow("BMP 8-bit") << QByteArray("BMP") << indexed << bitmap << "256" << 8 << true;
    QTest::newRow("BMP 1-bit") << QByteArray("BMP") << colour.convertToFormat(QImage::Format_Mono) << bitmap
                               << "Monochrome" << 1 << true;
    QTest::newRow("PNG colour") << QByteArray("PNG") << colour << png << "24b" << 24 << false;
    QTest::newRow("PNG alpha") << QByteArray("PNG") << alpha << png << "32b" << 32 << false;
    QTest::newRow("PNG grey") << QByteArray("PNG") << grey << png << "256" << 8 << false;
    QTest::newRow("PNG 16-bit channels") << QByteArray("PNG") << colour.convertToFormat(QImage::Format_RGBX64)
                                         << png << "48b" << 48 << false;
    QTest::newRow("JPEG colour") << QByteArray("JPEG") << colour << "JPEG File"
                                 << "24b" << 24 << true;
    QTest::newRow("JPEG grey") << QByteArray("JPEG") << grey << "JPEG File"
                               << "256" << 8 << true;
    QTest::newRow("GIF") << QByteArray("gm:gif") << many << "Compuserve GIF"
                         << "256" << 8 << true;
    QTest::newRow("WebP") << QByteArray("gm:webp") << colour << "WebP Image"
                          << "24b" << 24 << false;
    QTest::newRow("text") << QByteArray("text") << QImage() << "No Image"
                          << "0" << 1 << false;
}

void TestFileInfo::getInfo()
{
    QFETCH(QByteArray, writer);
    QFETCH(QImage, picture);
    QFETCH(QString, format);
    QFETCH(QString, colours);
    QFETCH(int, bits);
    QFETCH(bool, quick);

    // No extensions: both ways go by the content.
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    if (writer == "text") {
        imagetest::writeFile(m_dir, QFileInfo(path).fileName(), "Just some words.\n");
    } else {
        if (writer.startsWith("gm:") && gmPath().isEmpty())
            QSKIP("GraphicsMagick (gm) is not installed");
        writePicture(picture, writer, path);
    }

    CFileInfo reader;
    CFileInfo::Info info;
    QCOMPARE(reader.GetInfo(path, info), !picture.isNull());
    QCOMPARE(info.format, format);
    QCOMPARE(info.colours, colours);
    QCOMPARE(info.bitsPerPixel, bits);
    QCOMPARE(QSize(info.width, info.height), picture.isNull() ? QSize(0, 0) : QSize(40, 30));

    CFileInfo::Info header;
    QCOMPARE(CFileInfo::ReadHeaderInfo(path, header), quick);
    QCOMPARE(QSize(header.width, header.height), quick ? QSize(40, 30) : QSize(0, 0));
    QCOMPARE(CFileInfo::IsImageBySignature(path), quick);

    QVERIFY(!reader.GetInfo(m_dir.filePath(QStringLiteral("missing")), info));
    QCOMPARE(info.format, QStringLiteral("No Image"));
}

// The file list's quick reader and the complete one (the viewer's status bar) read one depth
// from the same file, as the usual writers set their headers.
void TestFileInfo::depthsAgree_data()
{
    QTest::addColumn<QByteArray>("writer"); // "gm:" + the format, or Qt's format
    QTest::addColumn<int>("colours");       // distinct colours in the picture
    QTest::addColumn<QImage::Format>("layout");
    QTest::addColumn<int>("bits");

    QTest::newRow("GIF of 2 colours") << QByteArray("gm:gif") << 2 << QImage::Format_RGB32 << 1;
    QTest::newRow("GIF of 4 colours") << QByteArray("gm:gif") << 4 << QImage::Format_RGB32 << 2;
    QTest::newRow("GIF of 16 colours") << QByteArray("gm:gif") << 16 << QImage::Format_RGB32 << 4;
    QTest::newRow("GIF of 200 colours") << QByteArray("gm:gif") << 200 << QImage::Format_RGB32 << 8;
    QTest::newRow("BMP 1-bit") << QByteArray("BMP") << 2 << QImage::Format_Mono << 1;
    QTest::newRow("BMP 8-bit") << QByteArray("BMP") << 30 << QImage::Format_Indexed8 << 8;
    QTest::newRow("BMP 24-bit") << QByteArray("BMP") << 200 << QImage::Format_RGB32 << 24;
}

void TestFileInfo::depthsAgree()
{
    QFETCH(QByteArray, writer);
    QFETCH(int, colours);
    QFETCH(QImage::Format, layout);
    QFETCH(int, bits);

    // One colour a row, so that the picture has exactly that many.
    QImage picture(40, colours, QImage::Format_RGB32);
    for (int y = 0; y < colours; ++y)
        std::fill_n(reinterpret_cast<QRgb*>(picture.scanLine(y)), 40, qRgb(y, 255 - y, (y * 7) % 256));
    picture = picture.convertToFormat(layout, Qt::ThresholdDither);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
    if (writer.startsWith("gm:") && gmPath().isEmpty())
        QSKIP("GraphicsMagick (gm) is not installed");
    writePicture(picture, writer, path);

    CFileInfo::Info quick;
    QVERIFY(CFileInfo::ReadHeaderInfo(path, quick));
    CFileInfo::Info complete;
    QVERIFY(CFileInfo().GetInfo(path, complete));
    QCOMPARE(complete.bitsPerPixel, bits);
    QCOMPARE(quick.bitsPerPixel, bits);
}

void TestFileInfo::jpegThumbnailFromExiftool_data()
{
    QTest::addColumn<QImage>("picture");
    QTest::addColumn<bool>("progressive");

    QImage colour(640, 400, QImage::Format_RGB32);
    colour.fill(QColor(20, 120, 240));
    QTest::newRow("baseline") << colour << false;
    QTest::newRow("progressive") << colour << true;
    QTest::newRow("grayscale") << colour.convertToFormat(QImage::Format_Grayscale8) << false;
    QTest::newRow("portrait") << colour.transformed(QTransform().rotate(90)) << false;
}

void TestFileInfo::jpegThumbnailFromExiftool()
{
    QFETCH(QImage, picture);
    QFETCH(bool, progressive);
    const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
    if (exiftool.isEmpty())
        QSKIP("exiftool is not installed");

    // The thumbnail's sides differ from the picture's, so that a wrong or swapped frame shows.
    const QString thumbnail = m_dir.filePath(QStringLiteral("thumb.jpg"));
    QImage small(160, 500, QImage::Format_RGB32);
    small.fill(Qt::red);
    QVERIFY(small.save(thumbnail, "JPEG"));
    const QString path = m_dir.filePath(QStringLiteral("camera-%1.jpg").arg(QTest::currentDataTag()));
    QImageWriter writer(path, "JPEG");
    writer.setProgressiveScanWrite(progressive);
    QVERIFY(writer.write(picture));
    QCOMPARE(QProcess::execute(exiftool, {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                                          "-ThumbnailImage<=" + thumbnail, path}),
             0);
    const QByteArray bytes = imagetest::readFile(path);
    QVERIFY2(bytes.indexOf("\xFF\xD8\xFF", 2) > 0, "exiftool wrote no thumbnail");
    QCOMPARE(bytes.contains("\xFF\xC2"), progressive);

    CFileInfo::Info info;
    QVERIFY(CFileInfo::ReadHeaderInfo(path, info));
    QCOMPARE(QSize(info.width, info.height), picture.size());
}

QTEST_GUILESS_MAIN(TestFileInfo)
#include "tst_fileinfo.moc"
