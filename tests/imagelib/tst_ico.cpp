// Icons and cursors through the handle interface: files built here entry by entry (DIBs with
// their AND masks, embedded PNGs), hostile directories, and icons written by ImageMagick.
#include <QBuffer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kClear = 0;

struct DibEntry {
    int width = 0;
    int height = 0;
    int bits = 0;
    QList<QRgb> palette = {};
    QByteArray pixels = {}; // colour rows as stored: bottom row first, each padded to 32 bits
    QByteArray mask = {};   // AND rows the same way
};

QByteArray dib(const DibEntry& entry)
{
    QByteArray bytes;
    imagetest::append32(bytes, 40);
    imagetest::append32(bytes, quint32(entry.width));
    imagetest::append32(bytes, quint32(entry.height * 2)); // colour rows and mask rows
    imagetest::append16(bytes, 1);
    imagetest::append16(bytes, quint16(entry.bits));
    bytes.append(24, '\0');
    // Icons keep the whole palette of their depth.
    for (qsizetype i = 0; entry.bits <= 8 && i < (1 << entry.bits); ++i)
        imagetest::append32(bytes, entry.palette.value(i) & 0xffffff);
    return bytes + entry.pixels + entry.mask;
}

QByteArray png(const QImage& image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

struct DirectoryEntry {
    QByteArray data;
    int width = 0; // as the directory says it; 256 is written as 0
    int height = 0;
    int bits = 0;
    qint64 offset = -1; // -1: where the data is placed
};

QByteArray iconFile(const QList<DirectoryEntry>& entries, quint16 type = 1)
{
    QByteArray bytes;
    imagetest::append16(bytes, 0);
    imagetest::append16(bytes, type);
    imagetest::append16(bytes, quint16(entries.size()));
    QByteArray data;
    const qint64 start = 6 + 16 * entries.size();
    for (const DirectoryEntry& entry : entries) {
        bytes.append(char(entry.width & 0xff));
        bytes.append(char(entry.height & 0xff));
        bytes.append(2, '\0');
        imagetest::append16(bytes, 1);
        imagetest::append16(bytes, quint16(entry.bits));
        imagetest::append32(bytes, quint32(entry.data.size()));
        imagetest::append32(bytes, quint32(entry.offset >= 0 ? entry.offset : start + data.size()));
        data += entry.data;
    }
    return bytes + data;
}

// Expected pixels, top row first.
QImage pixelsOf(int width, const QList<QRgb>& pixels)
{
    QImage image(width, int(pixels.size()) / width, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < pixels.size(); ++i)
        image.setPixel(i % width, i / width, qPremultiply(pixels[i]));
    return image;
}

// A 3x2 1-bit icon of red and blue pixels, its top-right and bottom-left ones masked out.
const DibEntry kMasked = {.width = 3,
                          .height = 2,
                          .bits = 1,
                          .palette = {kRed, kBlue},
                          .pixels = QByteArray("\x40\0\0\0\xa0\0\0\0", 8),
                          .mask = QByteArray("\x80\0\0\0\x20\0\0\0", 8)};
const QImage kMaskedPixels = pixelsOf(3, {kBlue, kRed, kClear, kClear, kBlue, kRed});

QImage filled(int width, int height, QImage::Format format, QRgb colour)
{
    QImage image(width, height, format);
    image.fill(colour);
    return image;
}

} // namespace

class TestIco : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void decodesEntry_data();
    void decodesEntry();
    void everyImageIsASlide();
    void readsHeader_data();
    void readsHeader();
    void refusesHostileDirectories_data();
    void refusesHostileDirectories();
    void truncatedFilesFailCleanly();
    void readsImageMagickIcons();

private:
    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestIco::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

void TestIco::decodesEntry_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<QImage>("expected");

    QTest::newRow("1-bit, AND mask") << dib(kMasked) << kMaskedPixels;
    QTest::newRow("4-bit, mask without set bits is opaque") << dib({.width = 2,
                                                                    .height = 1,
                                                                    .bits = 4,
                                                                    .palette = {kWhite, kRed, kBlue},
                                                                    .pixels = QByteArray("\x21\0\0\0", 4),
                                                                    .mask = QByteArray(4, '\0')})
                                                            << pixelsOf(2, {kBlue, kRed});
    QTest::newRow("8-bit") << dib({.width = 1,
                                   .height = 2,
                                   .bits = 8,
                                   .palette = {kWhite, kRed},
                                   .pixels = QByteArray("\x01\0\0\0\x00\0\0\0", 8),
                                   .mask = QByteArray(8, '\0')})
                           << pixelsOf(1, {kWhite, kRed});
    QTest::newRow("24-bit") << dib({.width = 1,
                                    .height = 1,
                                    .bits = 24,
                                    .pixels = QByteArray("\x30\x20\x10\0", 4),
                                    .mask = QByteArray("\0\0\0\0", 4)})
                            << pixelsOf(1, {qRgb(0x10, 0x20, 0x30)});
    // Alpha decides; the mask, which would clear the first pixel, is ignored.
    QTest::newRow("32-bit alpha") << dib({.width = 2,
                                          .height = 1,
                                          .bits = 32,
                                          .pixels = QByteArray("\0\0\xff\x80\xff\0\0\xff", 8),
                                          .mask = QByteArray("\x80\0\0\0", 4)})
                                  << pixelsOf(2, {qRgba(255, 0, 0, 0x80), kBlue});
    QTest::newRow("32-bit, alpha all zero: the mask decides") << dib({.width = 2,
                                                                      .height = 1,
                                                                      .bits = 32,
                                                                      .pixels = QByteArray("\0\0\xff\0\xff\0\0\0", 8),
                                                                      .mask = QByteArray("\x80\0\0\0", 4)})
                                                              << pixelsOf(2, {kClear, kBlue});
    QImage picture = pixelsOf(2, {kRed, qRgba(0, 0, 255, 0x40)});
    QTest::newRow("PNG") << png(picture.convertToFormat(QImage::Format_ARGB32)) << picture;
}

void TestIco::decodesEntry()
{
    QFETCH(QByteArray, entry);
    QFETCH(QImage, expected);
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("entry.ico"), iconFile({{.data = entry}}));
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideCount(m_handle), 1);
    QCOMPARE(imagetest::currentSlide(m_handle), expected);
}

void TestIco::everyImageIsASlide()
{
    const QList<DirectoryEntry> entries = {
        {.data = dib(kMasked), .width = 3, .height = 2},
        {.data = png(filled(300, 20, QImage::Format_RGB32, kBlue)), .width = 0, .height = 20},
        {.data = dib({.width = 1, .height = 1, .bits = 24, .pixels = QByteArray(4, '\0'), .mask = QByteArray(4, '\0')}),
         .width = 1,
         .height = 1}};
    for (quint16 type : {1, 2}) {
        const QString path = imagetest::writeFile(m_dir, QStringLiteral("several.ico"), iconFile(entries, type));
        int format = -1;
        QVERIFY(flmCanOpen(m_handle, path, &format));
        QCOMPARE(format, type == 1 ? int(kFlmIcon) : int(kFlmCursor));
        QCOMPARE(flmLoadFromFile(m_handle, path), 0);
        QCOMPARE(imagetest::slideCount(m_handle), 3);
        const QList<QSize> sizes = {QSize(3, 2), QSize(300, 20), QSize(1, 1)};
        for (int slide = 0; slide < 3; ++slide) {
            int size[2] = {};
            int delay = -1;
            QCOMPARE(flmGetSize(m_handle, slide, size), 0);
            QCOMPARE(QSize(size[0], size[1]), sizes[slide]);
            QCOMPARE(flmGetDelay(m_handle, slide, &delay), 0);
            QCOMPARE(delay, 0);
        }
        QCOMPARE(imagetest::currentSlide(m_handle), kMaskedPixels);
    }
}

void TestIco::readsHeader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bits");

    const QByteArray small = dib({.width = 16, .height = 16, .bits = 4, .palette = QList<QRgb>(16, kRed)});
    const QByteArray deep = dib({.width = 32, .height = 32, .bits = 32});
    QTest::newRow("largest DIB") << iconFile({{.data = small, .width = 16, .height = 16, .bits = 4},
                                              {.data = deep, .width = 32, .height = 32, .bits = 32}})
                                 << int(kFlmIcon) << QSize(32, 32) << 32;
    QTest::newRow("largest entry out of reach: the next")
        << iconFile({{.data = deep, .width = 32, .height = 32, .bits = 32, .offset = 0x3fffff00},
                     {.data = small, .width = 16, .height = 16, .bits = 4}})
        << int(kFlmIcon) << QSize(16, 16) << 4;
    // The directory says 256 for a PNG of 300 pixels; its own header tells.
    QTest::newRow("PNG larger than the directory can say")
        << iconFile({{.data = small, .width = 16, .height = 16},
                     {.data = png(filled(300, 300, QImage::Format_ARGB32, kClear)), .width = 0, .height = 0}},
                    2)
        << int(kFlmCursor) << QSize(300, 300) << 32;
}

void TestIco::readsHeader()
{
    QFETCH(QByteArray, file);
    QFETCH(int, format);
    QFETCH(QSize, size);
    QFETCH(int, bits);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, imagetest::writeFile(m_dir, QStringLiteral("header.ico"), file), &info), 0);
    QCOMPARE(info.format, format);
    QCOMPARE(QSize(info.width, info.height), size);
    QCOMPARE(info.bitsPerPixel, bits);
}

void TestIco::refusesHostileDirectories_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("slides"); // 0: the load fails

    const QByteArray good = dib(kMasked);
    QByteArray noEntries = iconFile({{.data = good}});
    noEntries[4] = 0;
    QTest::newRow("count 0") << noEntries << 0;
    QByteArray moreEntriesThanBytes = iconFile({{.data = good}});
    moreEntriesThanBytes[4] = char(0xff);
    moreEntriesThanBytes[5] = char(0xff);
    QTest::newRow("65535 entries, one there") << moreEntriesThanBytes << 0;
    // The header comes from the good entry when the largest one is out of reach.
    QTest::newRow("offset past the end, one good")
        << iconFile({{.data = good, .offset = 0x3fffff00}, {.data = good}}) << 1;
    QTest::newRow("only offset past the end") << iconFile({{.data = good, .offset = 0xfffffff0}}) << 0;
    QTest::newRow("entry overlapping the directory") << iconFile({{.data = good, .offset = 6}}) << 0;
    QTest::newRow("entries sharing their bytes") << iconFile({{.data = good}, {.data = good, .offset = 6 + 32}}) << 1;
    QTest::newRow("huge DIB") << iconFile({{.data = dib({.width = 100000, .height = 100000, .bits = 24}) +
                                                    QByteArray(64, '\0')}})
                              << 0;
    QTest::newRow("DIB rows missing") << iconFile({{.data = dib({.width = 64, .height = 64, .bits = 24})}}) << 0;
    QTest::newRow("mask missing")
        << iconFile(
               {{.data = dib(
                     {.width = 3, .height = 2, .bits = 1, .palette = {kRed, kBlue}, .pixels = QByteArray(8, '\0')})}})
        << 0;
    QTest::newRow("broken PNG, one good")
        << iconFile({{.data = png(filled(4, 4, QImage::Format_RGB32, kRed)).left(60)}, {.data = good}}) << 1;
}

void TestIco::refusesHostileDirectories()
{
    QFETCH(QByteArray, file);
    QFETCH(int, slides);
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("hostile.ico"), file);
    QCOMPARE(flmLoadFromFile(m_handle, path) == 0, slides > 0);
    QCOMPARE(imagetest::slideCount(m_handle), slides);
    FlmFileInfo info;
    flmGetFileInfo(m_handle, path, &info); // any answer but a crash
}

void TestIco::truncatedFilesFailCleanly()
{
    const QByteArray file = iconFile({{.data = dib(kMasked)}, {.data = png(filled(5, 5, QImage::Format_RGB32, kRed))}});
    for (qsizetype length = 0; length < file.size(); ++length) {
        const QString path = imagetest::writeFile(m_dir, QStringLiteral("cut.ico"), file.left(length));
        QVERIFY(m_handle.reopen());
        // The first entry ends at byte 6 + 32 + 64: from there on it is a slide.
        const bool first = length >= 6 + 32 + 64;
        QCOMPARE(flmLoadFromFile(m_handle, path) == 0, first);
        QCOMPARE(imagetest::slideCount(m_handle), first ? 1 : 0);
    }
}

void TestIco::readsImageMagickIcons()
{
    const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
    if (convert.isEmpty())
        QSKIP("ImageMagick (convert) is not installed");
    QImage source(48, 48, QImage::Format_ARGB32);
    source.fill(qRgba(40, 160, 80, 255));
    const QString input = m_dir.filePath(QStringLiteral("source.png"));
    QVERIFY(source.save(input));
    const QString output = m_dir.filePath(QStringLiteral("written.ico"));
    QCOMPARE(QProcess::execute(convert,
                               {input, QStringLiteral("-define"), QStringLiteral("icon:auto-resize=32,16"), output}),
             0);
    QCOMPARE(flmLoadFromFile(m_handle, output), 0);
    QCOMPARE(imagetest::slideCount(m_handle), 2);
    QList<int> sides;
    do {
        const QImage slide = imagetest::currentSlide(m_handle);
        sides << slide.width();
        QCOMPARE(slide.height(), slide.width());
        QVERIFY(imagetest::near(slide.pixel(slide.width() / 2, slide.height() / 2), qRgb(40, 160, 80), 2));
    } while (flmNext(m_handle) == 0);
    std::sort(sides.begin(), sides.end());
    QCOMPARE(sides, QList<int>({16, 32}));
}

QTEST_GUILESS_MAIN(TestIco)
#include "tst_ico.moc"
