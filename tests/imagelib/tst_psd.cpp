// Photoshop composites through the handle interface: documents built here in every colour mode,
// depth and compression we read, hostile headers and sections, and files ImageMagick writes.
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

constexpr auto kBig = QSysInfo::BigEndian;

enum Mode : quint16 {
    kBitmap = 0,
    kGrey = 1,
    kIndexed = 2,
    kRgb = 3,
    kCmyk = 4,
    kMultichannel = 7,
    kDuotone = 8,
    kLab = 9
};

struct PsdLayout {
    int version = 1;
    quint16 mode = kRgb;
    quint16 depth = 8;
    int width = 3;
    int height = 2;
    QList<QList<int>> channels = {}; // samples of each channel, top row first
    bool packBits = false;
    QByteArray colourData = {};
    QByteArray layers = {}; // content of the layer and mask section
};

// The stored rows of one channel.
QList<QByteArray> rowsOf(const QList<int>& samples, int depth, int width)
{
    QList<QByteArray> rows;
    for (qsizetype start = 0; start < samples.size(); start += width) {
        QByteArray row;
        for (int x = 0; x < width; ++x) {
            const int sample = samples[start + x];
            if (depth == 1) {
                if (x % 8 == 0)
                    row.append('\0');
                row.back() = char(row.back() | (sample ? 0x80 >> (x % 8) : 0));
            } else if (depth == 16) {
                imagetest::append16(row, quint16(sample), kBig);
            } else {
                row.append(char(sample));
            }
        }
        rows << row;
    }
    return rows;
}

// Runs of two or more equal bytes as repeats, everything else as literals.
QByteArray packBits(const QByteArray& row)
{
    QByteArray packed;
    for (qsizetype i = 0; i < row.size();) {
        qsizetype run = 1;
        while (i + run < row.size() && run < 128 && row[i + run] == row[i])
            ++run;
        if (run >= 2) {
            packed.append(char(1 - run)).append(row[i]);
            i += run;
            continue;
        }
        qsizetype literal = 1;
        while (i + literal < row.size() && literal < 128 &&
               (i + literal + 1 >= row.size() || row[i + literal] != row[i + literal + 1]))
            ++literal;
        packed.append(char(literal - 1)).append(row.mid(i, literal));
        i += literal;
    }
    return packed;
}

QByteArray section(const QByteArray& content, bool wide = false)
{
    QByteArray bytes;
    if (wide)
        imagetest::append32(bytes, 0, kBig);
    imagetest::append32(bytes, quint32(content.size()), kBig);
    return bytes + content;
}

QByteArray buildPsd(const PsdLayout& layout)
{
    QByteArray file("8BPS");
    imagetest::append16(file, quint16(layout.version), kBig);
    file.append(6, '\0');
    imagetest::append16(file, quint16(layout.channels.size()), kBig);
    imagetest::append32(file, quint32(layout.height), kBig);
    imagetest::append32(file, quint32(layout.width), kBig);
    imagetest::append16(file, layout.depth, kBig);
    imagetest::append16(file, layout.mode, kBig);
    file += section(layout.colourData) + section({}) + section(layout.layers, layout.version == 2);
    imagetest::append16(file, layout.packBits ? 1 : 0, kBig);
    QByteArray counts;
    QByteArray rows;
    for (const QList<int>& channel : layout.channels) {
        for (const QByteArray& row : rowsOf(channel, layout.depth, layout.width)) {
            const QByteArray stored = layout.packBits ? packBits(row) : row;
            if (layout.version == 2)
                imagetest::append32(counts, quint32(stored.size()), kBig);
            else
                imagetest::append16(counts, quint16(stored.size()), kBig);
            rows += stored;
        }
    }
    return file + (layout.packBits ? counts : QByteArray()) + rows;
}

// The same file with other dimensions in its header.
QByteArray resized(QByteArray file, quint32 width, quint32 height)
{
    QByteArray size;
    imagetest::append32(size, height, kBig);
    imagetest::append32(size, width, kBig);
    return file.replace(14, 8, size);
}

// Layer info of a composite whose first extra channel is its transparency.
const QByteArray kMergedAlpha("\0\0\0\x02\xff\xff", 6);

// A tagged block of the layer and mask section: signature and key, then its content.
QByteArray block(const char* tag, const QByteArray& content, bool wide = false)
{
    return QByteArray(tag, 8) + section(content, wide);
}

// Layer and mask content: empty layer info, the global layer mask, then tagged blocks.
QByteArray afterLayers(const QByteArray& blocks, bool wide = false, const QByteArray& globalMask = {})
{
    return section({}, wide) + section(globalMask) + blocks;
}

QImage pixelsOf(int width, const QList<QRgb>& pixels)
{
    QImage image(width, int(pixels.size()) / width, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < pixels.size(); ++i)
        image.setPixel(i % width, i / width, qPremultiply(pixels[i]));
    return image;
}

// An opaque red, (200, 100, 0) at half coverage, a clear pixel and a damaged one darker than its
// coverage allows, stored blended with white.
const QList<QList<int>> kMatted = {{255, 227, 255, 0}, {0, 177, 255, 255}, {0, 127, 255, 127}, {255, 128, 0, 128}};
const QImage kUnmatted = pixelsOf(4, {qRgb(255, 0, 0), qRgba(200, 100, 0, 128), 0, qRgba(0, 255, 0, 128)});
const QImage kStillMatted = pixelsOf(4, {qRgb(255, 0, 0), qRgb(227, 177, 127), qRgb(255, 255, 255), qRgb(0, 255, 127)});

QByteArray palette()
{
    QByteArray planes(768, '\0');
    for (int i = 0; i < 256; ++i) {
        planes[i] = char(i);
        planes[256 + i] = char(255 - i);
        planes[512 + i] = char(i / 2);
    }
    return planes;
}

const QList<int> kRed = {255, 0, 10, 255, 128, 0};
const QList<int> kGreen = {0, 255, 20, 255, 128, 0};
const QList<int> kBlue = {0, 0, 30, 255, 128, 255};
const QImage kRgbPixels = pixelsOf(
    3, {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(10, 20, 30), qRgb(255, 255, 255), qRgb(128, 128, 128), qRgb(0, 0, 255)});

QList<int> times257(const QList<int>& samples)
{
    QList<int> wide;
    for (int sample : samples)
        wide << sample * 257;
    return wide;
}

} // namespace

class TestPsd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void decodesComposite_data();
    void decodesComposite();
    void readsHeader_data();
    void readsHeader();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void truncatedFilesFail_data();
    void truncatedFilesFail();
    void readsImageMagickFiles_data();
    void readsImageMagickFiles();

private:
    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestPsd::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

void TestPsd::decodesComposite_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QImage>("expected");
    QTest::addColumn<int>("tolerance");

    QTest::newRow("RGB raw") << buildPsd({.channels = {kRed, kGreen, kBlue}}) << kRgbPixels << 0;
    QTest::newRow("RGB PackBits") << buildPsd({.channels = {kRed, kGreen, kBlue}, .packBits = true}) << kRgbPixels << 0;
    QTest::newRow("large document, PackBits")
        << buildPsd({.version = 2, .channels = {kRed, kGreen, kBlue}, .packBits = true}) << kRgbPixels << 0;
    QTest::newRow("RGB 16-bit") << buildPsd({.depth = 16,
                                             .channels = {times257(kRed), times257(kGreen), times257(kBlue)},
                                             .packBits = true})
                                << kRgbPixels << 0;
    QTest::newRow("RGB, extra channel without merged alpha")
        << buildPsd({.channels = {kRed, kGreen, kBlue, {0, 0, 0, 0, 0, 0}}}) << kRgbPixels << 0;
    QTest::newRow("RGB with merged alpha")
        << buildPsd(
               {.width = 2, .height = 1, .channels = {{255, 0}, {0, 0}, {0, 255}, {255, 0x40}}, .layers = kMergedAlpha})
        << pixelsOf(2, {qRgb(255, 0, 0), qRgba(0, 0, 255, 0x40)}) << 0;
    QTest::newRow("RGB, Mtrn: blended with white")
        << buildPsd({.width = 4, .height = 1, .channels = kMatted, .layers = afterLayers(block("8BIMMtrn", {}))})
        << kUnmatted << 1;
    QTest::newRow("RGB, Mtrn after a padded block and a global mask")
        << buildPsd({.width = 4,
                     .height = 1,
                     .channels = kMatted,
                     .packBits = true,
                     .layers = afterLayers(block("8BIMPatt", "abc") + QByteArray(1, '\0') + block("8BIMMtrn", "xy"),
                                           false, "mask")})
        << kUnmatted << 1;
    QTest::newRow("large document: narrow and wide lengths before Mt16")
        << buildPsd(
               {.version = 2,
                .width = 4,
                .height = 1,
                .channels = kMatted,
                .packBits = true,
                .layers = afterLayers(
                    block("8BIMPatt", "abcd") + block("8BIMLr16", "abcd", true) + block("8B64Mt16", {}, true), true)})
        << kUnmatted << 1;
    QTest::newRow("grey, Mt32") << buildPsd({.mode = kGrey,
                                             .width = 2,
                                             .height = 1,
                                             .channels = {{30, 211}, {255, 64}},
                                             .layers = afterLayers(block("8BIMMt32", {}))})
                                << pixelsOf(2, {qRgb(30, 30, 30), qRgba(80, 80, 80, 64)}) << 1;
    QTest::newRow("Mtrn longer than its section: no transparency")
        << buildPsd({.width = 4,
                     .height = 1,
                     .channels = kMatted,
                     .layers = afterLayers(QByteArray("8BIMMtrn\x7f\xff\xff\xff", 12))})
        << kStillMatted << 0;
    QTest::newRow("Mtrn cut short: no transparency")
        << buildPsd(
               {.width = 4, .height = 1, .channels = kMatted, .layers = afterLayers(QByteArray("8BIMMtrn\0\0", 10))})
        << kStillMatted << 0;
    QTest::newRow("Mtrn after a block of another signature: no transparency")
        << buildPsd({.width = 4,
                     .height = 1,
                     .channels = kMatted,
                     .layers = afterLayers(block("MeSaPatt", {}) + block("8BIMMtrn", {}))})
        << kStillMatted << 0;
    QTest::newRow("grey") << buildPsd({.mode = kGrey, .channels = {{0, 50, 100, 150, 200, 255}}, .packBits = true})
                          << pixelsOf(3, {qRgb(0, 0, 0), qRgb(50, 50, 50), qRgb(100, 100, 100), qRgb(150, 150, 150),
                                          qRgb(200, 200, 200), qRgb(255, 255, 255)})
                          << 0;
    QTest::newRow("grey 16-bit, rounded")
        << buildPsd({.mode = kGrey, .depth = 16, .width = 2, .height = 1, .channels = {{0x1234, 0xfe7f}}})
        << pixelsOf(2, {qRgb(18, 18, 18), qRgb(254, 254, 254)}) << 0;
    QTest::newRow("duotone as grey") << buildPsd({.mode = kDuotone, .width = 1, .height = 1, .channels = {{77}}})
                                     << pixelsOf(1, {qRgb(77, 77, 77)}) << 0;
    QTest::newRow("bitmap: set bits are black")
        << buildPsd(
               {.mode = kBitmap, .depth = 1, .width = 10, .height = 1, .channels = {{1, 0, 1, 1, 0, 0, 0, 0, 0, 1}}})
        << pixelsOf(10, {0xff000000, 0xffffffff, 0xff000000, 0xff000000, 0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff,
                         0xffffffff, 0xff000000})
        << 0;
    QTest::newRow("indexed") << buildPsd({.mode = kIndexed,
                                          .width = 2,
                                          .height = 1,
                                          .channels = {{0, 200}},
                                          .packBits = true,
                                          .colourData = palette()})
                             << pixelsOf(2, {qRgb(0, 255, 0), qRgb(200, 55, 100)}) << 0;
    // Stored inverted: 255 is no ink.
    QTest::newRow("CMYK")
        << buildPsd({.mode = kCmyk,
                     .width = 4,
                     .height = 1,
                     .channels = {{255, 0, 255, 255}, {255, 255, 255, 0}, {255, 255, 0, 255}, {255, 255, 255, 128}}})
        << pixelsOf(4, {qRgb(255, 255, 255), qRgb(0, 255, 255), qRgb(255, 255, 0), qRgb(128, 0, 128)}) << 0;
    // White, black, mid grey (L* 50) and sRGB red, as D50 Lab.
    QTest::newRow("Lab") << buildPsd({.mode = kLab,
                                      .width = 4,
                                      .height = 1,
                                      .channels = {{255, 0, 128, 138}, {128, 128, 128, 209}, {128, 128, 128, 198}}})
                         << pixelsOf(4, {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(119, 119, 119), qRgb(255, 0, 0)})
                         << 8;
}

void TestPsd::decodesComposite()
{
    QFETCH(QByteArray, file);
    QFETCH(QImage, expected);
    QFETCH(int, tolerance);
    QCOMPARE(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, QStringLiteral("case.psd"), file)), 0);
    const QImage decoded = imagetest::currentSlide(m_handle);
    QCOMPARE(decoded.size(), expected.size());
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            if (!imagetest::near(decoded.pixel(x, y), expected.pixel(x, y), tolerance))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is %3, not %4")
                                     .arg(x)
                                     .arg(y)
                                     .arg(decoded.pixel(x, y), 8, 16)
                                     .arg(expected.pixel(x, y), 8, 16)));
        }
    }
}

void TestPsd::readsHeader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bits");

    QTest::newRow("RGB 16-bit") << resized(buildPsd({.depth = 16, .channels = {kRed, kGreen, kBlue}}), 300, 20)
                                << QSize(300, 20) << 48;
    QTest::newRow("bitmap") << resized(buildPsd({.mode = kBitmap, .depth = 1, .channels = {kRed}}), 7, 9) << QSize(7, 9)
                            << 1;
    QTest::newRow("CMYK") << buildPsd({.mode = kCmyk, .channels = {kRed, kGreen, kBlue, kRed}}) << QSize(3, 2) << 32;
}

void TestPsd::readsHeader()
{
    QFETCH(QByteArray, file);
    QFETCH(QSize, size);
    QFETCH(int, bits);
    // Header fields only: the channels hold too few rows for the size.
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, imagetest::writeFile(m_dir, QStringLiteral("header.psd"), file), &info), 0);
    QCOMPARE(info.format, int(kFlmPsd));
    QCOMPARE(QSize(info.width, info.height), size);
    QCOMPARE(info.bitsPerPixel, bits);
}

void TestPsd::refusesHostileFiles_data()
{
    QTest::addColumn<QByteArray>("file");

    const PsdLayout rgb = {.channels = {kRed, kGreen, kBlue}, .packBits = true};
    QTest::newRow("huge") << resized(buildPsd(rgb), 300000, 300000);
    QTest::newRow("too many pixels") << resized(buildPsd(rgb), 65535, 65535);
    QTest::newRow("no channels") << buildPsd({.channels = {}});
    QTest::newRow("fewer channels than colours") << buildPsd({.channels = {kRed, kGreen}});
    QTest::newRow("32-bit") << buildPsd({.depth = 32, .channels = {kRed, kGreen, kBlue}});
    QTest::newRow("multichannel") << buildPsd({.mode = kMultichannel, .channels = {kRed, kGreen}});
    QTest::newRow("indexed without a palette") << buildPsd({.mode = kIndexed, .channels = {kRed}});
    QByteArray file = buildPsd(rgb);
    file[26] = char(0x7f); // colour mode data of 2 GiB
    QTest::newRow("colour mode data past the end") << file;
    file = buildPsd(rgb);
    file[34] = char(0x7f); // layer section of 2 GiB
    QTest::newRow("layer section past the end") << file;
    file = buildPsd(rgb);
    file[39] = 2;
    QTest::newRow("ZIP compression") << file;
    file = buildPsd(rgb);
    file[40] = char(0x7f); // the first row's byte count
    QTest::newRow("row counts past the data") << file;
    file = buildPsd({.width = 1, .height = 1, .channels = {{1}, {2}, {3}}, .packBits = true});
    file[46] = 0x05; // a literal of six bytes where the row holds two
    QTest::newRow("row that packs too little") << file;
    QTest::newRow("raw rows missing") << buildPsd({.channels = {kRed, kGreen, kBlue}}).chopped(1);
}

void TestPsd::refusesHostileFiles()
{
    QFETCH(QByteArray, file);
    QVERIFY(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, QStringLiteral("hostile.psd"), file)) != 0);
    QVERIFY(imagetest::isEmpty(m_handle));
}

void TestPsd::truncatedFilesFail_data()
{
    QTest::addColumn<QByteArray>("layers");

    QTest::newRow("negative layer count") << kMergedAlpha;
    QTest::newRow("Mtrn") << afterLayers(block("8BIMPatt", "abcd") + block("8BIMMtrn", {}));
}

void TestPsd::truncatedFilesFail()
{
    QFETCH(QByteArray, layers);
    const QByteArray file = buildPsd({.width = 2,
                                      .height = 1,
                                      .channels = {{255, 0}, {0, 0}, {0, 255}, {255, 0x40}},
                                      .packBits = true,
                                      .layers = layers});
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("whole.psd"), file);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    for (qsizetype length = 0; length < file.size(); ++length) {
        QVERIFY(m_handle.reopen());
        const QString cut = imagetest::writeFile(m_dir, QStringLiteral("cut.psd"), file.left(length));
        QVERIFY2(flmLoadFromFile(m_handle, cut) != 0, qPrintable(QString::number(length)));
    }
}

void TestPsd::readsImageMagickFiles_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("alpha");

    QTest::newRow("RGB, PackBits") << QStringList() << false;
    QTest::newRow("RGB, raw") << QStringList({QStringLiteral("-compress"), QStringLiteral("None")}) << false;
    QTest::newRow("RGB 16-bit") << QStringList({QStringLiteral("-depth"), QStringLiteral("16")}) << false;
    QTest::newRow("grey") << QStringList({QStringLiteral("-colorspace"), QStringLiteral("Gray")}) << false;
    QTest::newRow("RGBA") << QStringList() << true;
}

void TestPsd::readsImageMagickFiles()
{
    QFETCH(QStringList, options);
    QFETCH(bool, alpha);
    const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
    if (convert.isEmpty())
        QSKIP("ImageMagick (convert) is not installed");
    QImage source(17, 5, QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, qRgba(x * 15, y * 60, (x * y * 7) % 256, alpha ? 40 + x * 12 : 255));
    }
    if (options.contains(QStringLiteral("Gray")))
        source = source.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_ARGB32);
    const QString input = m_dir.filePath(QStringLiteral("source.png"));
    QVERIFY(source.save(input));
    const QString output = m_dir.filePath(QStringLiteral("written.psd"));
    QCOMPARE(QProcess::execute(convert, QStringList{input} + options + QStringList{output}), 0);
    QCOMPARE(flmLoadFromFile(m_handle, output), 0);
    const QImage decoded = imagetest::currentSlide(m_handle);
    QCOMPARE(decoded.size(), source.size());
    const QImage expected = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x)
            QVERIFY(imagetest::near(decoded.pixel(x, y), expected.pixel(x, y), 1));
    }
}

QTEST_GUILESS_MAIN(TestPsd)
#include "tst_psd.moc"
