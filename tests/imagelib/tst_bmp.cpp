#include <limits>

#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

struct BmpLayout {
    quint32 infoSize = 40;
    qint32 width = 0;
    qint32 height = 0;
    quint16 bits = 24;
    quint32 compression = 0;
    QList<QRgb> palette = {};
    quint32 coloursUsed = 0;
    QList<quint32> masks = {}; // after a 40-byte header, inside a larger one
    QByteArray pixels = {};    // rows as stored, padding included
};

QByteArray buildBmp(const BmpLayout& layout)
{
    QByteArray info;
    imagetest::append32(info, layout.infoSize);
    if (layout.infoSize == 12) {
        imagetest::append16(info, quint16(layout.width));
        imagetest::append16(info, quint16(layout.height));
        imagetest::append16(info, 1);
        imagetest::append16(info, layout.bits);
    } else {
        imagetest::append32(info, quint32(layout.width));
        imagetest::append32(info, quint32(layout.height));
        imagetest::append16(info, 1);
        imagetest::append16(info, layout.bits);
        imagetest::append32(info, layout.compression);
        imagetest::append32(info, quint32(layout.pixels.size()));
        imagetest::append32(info, 2835);
        imagetest::append32(info, 2835);
        imagetest::append32(info, layout.coloursUsed);
        imagetest::append32(info, 0);
        for (quint32 mask : layout.masks)
            imagetest::append32(info, mask);
        if (layout.infoSize > 40)
            info.append(QByteArray(qMax<qsizetype>(0, layout.infoSize - info.size()), '\0'));
    }
    for (QRgb colour : layout.palette) {
        info.append(char(qBlue(colour)));
        info.append(char(qGreen(colour)));
        info.append(char(qRed(colour)));
        if (layout.infoSize != 12)
            info.append('\0');
    }
    QByteArray file("BM");
    imagetest::append32(file, quint32(14 + info.size() + layout.pixels.size()));
    imagetest::append32(file, 0);
    imagetest::append32(file, quint32(14 + info.size()));
    return file + info + layout.pixels;
}

constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kGreen = 0xff00ff00;
constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kWhite = 0xffffffff;
constexpr QRgb kBlack = 0xff000000;

// Expected pixels, top row first.
QImage pixelsOf(int width, const QList<QRgb>& pixels)
{
    QImage image(width, int(pixels.size()) / width, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < pixels.size(); ++i)
        image.setPixel(i % width, i / width, qPremultiply(pixels[i]));
    return image;
}

} // namespace

class TestBmp : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void decodesPixels_data();
    void decodesPixels();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void sniffsContent_data();
    void sniffsContent();
    void readsHeader_data();
    void readsHeader();
    void cancelStopsLoading();
    void saveThenReload_data();
    void saveThenReload();
    void savedFileReadsElsewhere();

private:
    QImage load(const QString& path);

    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestBmp::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

QImage TestBmp::load(const QString& path)
{
    if (flmLoadFromFile(m_handle, path) != 0)
        return {};
    return imagetest::currentSlide(m_handle);
}

void TestBmp::decodesPixels_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QImage>("expected");

    const QList<QRgb> twoColours = {kRed, kBlue};
    // Stored bottom row first; the expected pixels are top row first.
    QTest::newRow("1-bit") << buildBmp({.width = 3,
                                        .height = 2,
                                        .bits = 1,
                                        .palette = twoColours,
                                        .pixels = QByteArray("\xc0\0\0\0\x40\0\0\0", 8)})
                           << pixelsOf(3, {kRed, kBlue, kRed, kBlue, kBlue, kRed});
    QTest::newRow("1-bit, last row without padding")
        << buildBmp(
               {.width = 3, .height = 2, .bits = 1, .palette = twoColours, .pixels = QByteArray("\xc0\0\0\0\x40", 5)})
        << pixelsOf(3, {kRed, kBlue, kRed, kBlue, kBlue, kRed});
    QTest::newRow("4-bit, index past the palette is black")
        << buildBmp({.width = 3,
                     .height = 2,
                     .bits = 4,
                     .palette = {kRed, kGreen, kBlue},
                     .coloursUsed = 3,
                     .pixels = QByteArray("\x22\x50\0\0\x01\x20\0\0", 8)})
        << pixelsOf(3, {kRed, kGreen, kBlue, kBlue, kBlue, kBlack});
    QTest::newRow("8-bit") << buildBmp({.width = 2,
                                        .height = 2,
                                        .bits = 8,
                                        .palette = {kRed, kGreen, kBlue, kWhite},
                                        .coloursUsed = 4,
                                        .pixels = QByteArray("\x03\x02\0\0\x00\x01\0\0", 8)})
                           << pixelsOf(2, {kRed, kGreen, kWhite, kBlue});
    QTest::newRow("16-bit 555")
        << buildBmp({.width = 2, .height = 2, .bits = 16, .pixels = QByteArray("\xff\x7f\x00\x00\x00\x7c\xe0\x03", 8)})
        << pixelsOf(2, {kRed, kGreen, kWhite, kBlack});
    QTest::newRow("16-bit 565 bit fields") << buildBmp({.width = 2,
                                                        .height = 2,
                                                        .bits = 16,
                                                        .compression = 3,
                                                        .masks = {0xf800, 0x07e0, 0x001f},
                                                        .pixels = QByteArray("\x1f\x00\x00\x04\x00\xf8\xe0\x07", 8)})
                                           << pixelsOf(2, {kRed, kGreen, kBlue, qRgb(0, 130, 0)});
    QTest::newRow("24-bit") << buildBmp({.width = 3,
                                         .height = 2,
                                         .pixels = QByteArray("\xff\0\0\0\0\0\xff\xff\xff\0\0\0"
                                                              "\0\0\xff\0\xff\0\x10\x20\x30\0\0\0",
                                                              24)})
                            << pixelsOf(3, {kRed, kGreen, qRgb(0x30, 0x20, 0x10), kBlue, kBlack, kWhite});
    QTest::newRow("24-bit top-down") << buildBmp(
                                            {.width = 1, .height = -2, .pixels = QByteArray("\0\0\xff\0\xff\0\0\0", 8)})
                                     << pixelsOf(1, {kRed, kBlue});
    QTest::newRow("32-bit, unused alpha byte")
        << buildBmp({.width = 2, .height = 1, .bits = 32, .pixels = QByteArray("\xff\0\0\0\0\xff\0\0", 8)})
        << pixelsOf(2, {kBlue, kGreen});
    QTest::newRow("32-bit V5 with alpha")
        << buildBmp({.infoSize = 124,
                     .width = 3,
                     .height = 1,
                     .bits = 32,
                     .compression = 3,
                     .masks = {0xff0000, 0xff00, 0xff, 0xff000000},
                     .pixels = QByteArray("\0\0\xff\xff\xff\xff\xff\0\0\0\xff\x80", 12)})
        << pixelsOf(3, {kRed, 0, qRgba(255, 0, 0, 0x80)});
    QTest::newRow("32-bit V4 alpha all zero is opaque") << buildBmp({.infoSize = 108,
                                                                     .width = 1,
                                                                     .height = 1,
                                                                     .bits = 32,
                                                                     .compression = 3,
                                                                     .masks = {0xff0000, 0xff00, 0xff, 0xff000000},
                                                                     .pixels = QByteArray("\x10\x20\x30\0", 4)})
                                                        << pixelsOf(1, {qRgb(0x30, 0x20, 0x10)});
    QTest::newRow("32-bit alpha bit fields after a 40-byte header")
        << buildBmp({.width = 1,
                     .height = 1,
                     .bits = 32,
                     .compression = 6,
                     .masks = {0xff, 0xff00, 0xff0000, 0xff000000},
                     .pixels = QByteArray("\xff\0\0\xff", 4)})
        << pixelsOf(1, {kRed});
    // Three-byte palette entries, fewer of them than the depth allows.
    QTest::newRow("OS/2 core header") << buildBmp({.infoSize = 12,
                                                   .width = 2,
                                                   .height = 1,
                                                   .bits = 8,
                                                   .palette = {kBlack, kRed, kGreen, kBlue},
                                                   .pixels = QByteArray("\x01\x03\0\0", 4)})
                                      << pixelsOf(2, {kRed, kBlue});
    // RLE8 rows: a run, an absolute run of three padded to four bytes, a delta then a run cut at
    // the right edge; the skipped pixels keep palette entry 0.
    QTest::newRow("RLE8") << buildBmp({.width = 4,
                                       .height = 3,
                                       .bits = 8,
                                       .compression = 1,
                                       .palette = {kBlack, kRed, kGreen, kBlue},
                                       .coloursUsed = 4,
                                       .pixels = QByteArray("\x03\x01\x00\x00"
                                                            "\x00\x03\x02\x01\x02\x00\x00\x00"
                                                            "\x00\x02\x02\x00\x09\x03\x00\x01",
                                                            20)})
                          << pixelsOf(4, {kBlack, kBlack, kBlue, kBlue, kGreen, kRed, kGreen, kBlack, kRed, kRed, kRed,
                                          kBlack});
    // RLE4 rows: a run of alternating nibbles, then an absolute run of five, ended by the end of
    // the bitmap.
    QTest::newRow("RLE4") << buildBmp({.width = 5,
                                       .height = 2,
                                       .bits = 4,
                                       .compression = 2,
                                       .palette = {kBlack, kRed, kGreen, kBlue},
                                       .coloursUsed = 4,
                                       .pixels = QByteArray("\x05\x12\x00\x00"
                                                            "\x00\x05\x30\x21\x30\x00\x00\x01",
                                                            12)})
                          << pixelsOf(5, {kBlue, kBlack, kGreen, kRed, kBlue, kRed, kGreen, kRed, kGreen, kRed});
}

void TestBmp::decodesPixels()
{
    QFETCH(QByteArray, file);
    QFETCH(QImage, expected);
    const QImage decoded = load(imagetest::writeFile(m_dir, QStringLiteral("case.bmp"), file));
    QVERIFY(!decoded.isNull());
    QCOMPARE(decoded, expected);
}

void TestBmp::refusesHostileFiles_data()
{
    QTest::addColumn<QByteArray>("file");

    const QList<QRgb> palette = {kBlack, kRed};
    QTest::newRow("huge width") << buildBmp({.width = 100000, .height = 100000, .pixels = QByteArray(16, 'x')});
    QTest::newRow("too many pixels") << buildBmp({.width = 65535, .height = 65535, .pixels = QByteArray(16, 'x')});
    QTest::newRow("negative width") << buildBmp({.width = -4, .height = 1, .pixels = QByteArray(16, 'x')});
    QTest::newRow("zero height") << buildBmp({.width = 4, .height = 0, .pixels = QByteArray(16, 'x')});
    QTest::newRow("most negative height")
        << buildBmp({.width = 1, .height = std::numeric_limits<qint32>::min(), .pixels = QByteArray(16, 'x')});
    QTest::newRow("palette count beyond the file") << buildBmp({.width = 1,
                                                                .height = 1,
                                                                .bits = 8,
                                                                .palette = QList<QRgb>(256, kRed),
                                                                .coloursUsed = 256,
                                                                .pixels = QByteArray(4, '\0')})
                                                          .left(14 + 40 + 20);
    QTest::newRow("truncated pixels") << buildBmp({.width = 4, .height = 4, .pixels = QByteArray(40, 'x')});
    QTest::newRow("unknown depth") << buildBmp({.width = 1, .height = 1, .bits = 7, .pixels = QByteArray(4, 'x')});
    QTest::newRow("bit fields at 24 bits") << buildBmp(
        {.width = 1, .height = 1, .compression = 3, .masks = {0xff, 0xff00, 0xff0000}, .pixels = QByteArray(4, 'x')});
    QTest::newRow("empty colour mask") << buildBmp({.width = 1,
                                                    .height = 1,
                                                    .bits = 32,
                                                    .compression = 3,
                                                    .masks = {0xff, 0, 0xff0000},
                                                    .pixels = QByteArray(4, 'x')});
    QTest::newRow("RLE4 at 8 bits") << buildBmp({.width = 2,
                                                 .height = 1,
                                                 .bits = 8,
                                                 .compression = 2,
                                                 .palette = palette,
                                                 .pixels = QByteArray("\x02\x11\x00\x01", 4)});
    QByteArray offsetPastEnd = buildBmp({.width = 1, .height = 1, .pixels = QByteArray(4, 'x')});
    offsetPastEnd[10] = '\x7f';
    QTest::newRow("pixel offset past the end") << offsetPastEnd;
    QTest::newRow("RLE writes below the last row")
        << buildBmp({.width = 2,
                     .height = 1,
                     .bits = 8,
                     .compression = 1,
                     .palette = palette,
                     .pixels = QByteArray("\x02\x01\x00\x00\x02\x01\x00\x01", 8)});
    QTest::newRow("RLE delta below the last row") << buildBmp({.width = 2,
                                                               .height = 1,
                                                               .bits = 8,
                                                               .compression = 1,
                                                               .palette = palette,
                                                               .pixels = QByteArray("\x00\x02\x00\x05\x00\x01", 6)});
    QTest::newRow("RLE absolute run past the data") << buildBmp({.width = 8,
                                                                 .height = 1,
                                                                 .bits = 4,
                                                                 .compression = 2,
                                                                 .palette = palette,
                                                                 .pixels = QByteArray("\x00\x08\x11", 3)});
    QTest::newRow("RLE stream ends before the last row") << buildBmp({.width = 2,
                                                                      .height = 3,
                                                                      .bits = 8,
                                                                      .compression = 1,
                                                                      .palette = palette,
                                                                      .pixels = QByteArray("\x02\x01\x00\x00", 4)});
}

void TestBmp::refusesHostileFiles()
{
    QFETCH(QByteArray, file);
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("hostile.bmp"), file);
    QVERIFY(flmLoadFromFile(m_handle, path) != 0);
    QVERIFY(imagetest::isEmpty(m_handle));
}

void TestBmp::sniffsContent_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("bitmap");

    const QByteArray valid = buildBmp({.width = 1, .height = 1, .pixels = QByteArray(4, '\0')});
    QTest::newRow("bitmap") << valid << true;
    QTest::newRow("text starting with BM")
        << QByteArray("BM is how this note begins, and it goes on for a while.") << false;
    QByteArray unknownSize = valid;
    unknownSize[14] = 41;
    QTest::newRow("unknown info size") << unknownSize << false;
    QByteArray twoPlanes = valid;
    twoPlanes[26] = 2;
    QTest::newRow("two planes") << twoPlanes << false;
}

void TestBmp::sniffsContent()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, bitmap);
    int format = -1;
    QCOMPARE(flmCanOpen(m_handle, imagetest::writeFile(m_dir, QStringLiteral("sniff.dat"), file), &format) != 0,
             bitmap);
    QCOMPARE(format, bitmap ? int(kFlmBmp) : -1);
}

void TestBmp::readsHeader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bits");

    QTest::newRow("core header") << buildBmp({.infoSize = 12, .width = 300, .height = 20, .bits = 4}) << QSize(300, 20)
                                 << 4;
    QTest::newRow("top-down V5") << buildBmp({.infoSize = 124, .width = 7, .height = -9, .bits = 32}) << QSize(7, 9)
                                 << 32;
}

void TestBmp::readsHeader()
{
    QFETCH(QByteArray, file);
    QFETCH(QSize, size);
    QFETCH(int, bits);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, imagetest::writeFile(m_dir, QStringLiteral("header.bmp"), file), &info), 0);
    QCOMPARE(info.format, int(kFlmBmp));
    QCOMPARE(QSize(info.width, info.height), size);
    QCOMPARE(info.bitsPerPixel, bits);
}

void TestBmp::cancelStopsLoading()
{
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("cancel.bmp"),
                                              buildBmp({.width = 1, .height = 1, .pixels = QByteArray(4, '\0')}));
    QVERIFY(!load(path).isNull());
    flmSetCallback(m_handle, imagetest::cancelAtProgress, nullptr);
    QVERIFY(flmLoadFromFile(m_handle, path) != 0);
}

void TestBmp::saveThenReload_data()
{
    QTest::addColumn<QByteArray>("file");

    // Odd widths make every row need padding.
    QByteArray noise(7 * 4 * 5, '\0');
    for (char& byte : noise)
        byte = char(QRandomGenerator::global()->bounded(256));
    QTest::newRow("32-bit noise, alpha unused") << buildBmp({.width = 7, .height = 5, .bits = 32, .pixels = noise});
    QTest::newRow("palette") << buildBmp({.width = 3,
                                          .height = 2,
                                          .bits = 1,
                                          .palette = {kRed, kBlue},
                                          .pixels = QByteArray("\xc0\0\0\0\x40\0\0\0", 8)});
}

void TestBmp::saveThenReload()
{
    QFETCH(QByteArray, file);
    const QImage original = load(imagetest::writeFile(m_dir, QStringLiteral("original.bmp"), file));
    QVERIFY(!original.isNull());
    const QString saved = imagetest::save(m_handle, m_dir, QStringLiteral("saved.bmp"), kFlmBmp);
    QVERIFY(!saved.isEmpty());
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, saved, &info), 0);
    QCOMPARE(info.bitsPerPixel, 24);
    QCOMPARE(load(saved), original);
}

void TestBmp::savedFileReadsElsewhere()
{
    const QString gm = QStandardPaths::findExecutable(QStringLiteral("gm"));
    if (gm.isEmpty())
        QSKIP("GraphicsMagick (gm) is not installed");
    // A picture with transparency: the alpha is dropped, the size kept.
    QVERIFY(!load(imagetest::writeFile(m_dir, QStringLiteral("alpha.bmp"),
                                       buildBmp({.infoSize = 124,
                                                 .width = 5,
                                                 .height = 3,
                                                 .bits = 32,
                                                 .compression = 3,
                                                 .masks = {0xff0000, 0xff00, 0xff, 0xff000000},
                                                 .pixels = QByteArray(60, '\x80')})))
                 .isNull());
    const QString saved = imagetest::save(m_handle, m_dir, QStringLiteral("elsewhere.bmp"), kFlmBmp);
    QVERIFY(!saved.isEmpty());
    QCOMPARE(imagetest::identify(gm, QStringLiteral("%m %w %h %q"), saved), QStringLiteral("BMP 5 3 8"));
}

QTEST_GUILESS_MAIN(TestBmp)
#include "tst_bmp.moc"
