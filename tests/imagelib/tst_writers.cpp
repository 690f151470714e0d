#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <tiffio.h>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

// Pictures the writers get. 33 x 17: odd, and no multiple of 8, so every format pads its rows.
enum class Source {
    Colours, // more than 256 colours, smooth enough for JPEG
    Few,     // eight colours
    Grey,    // a grey ramp with levels on both sides of 128
    Bilevel, // black and white
    Alpha,   // colours with opaque, clear and partly transparent pixels
    Wide,    // 300 x 3 grey: runs longer than PCX and PackBits take, a width of two WBMP bytes
};

// How a reloaded picture must match the saved one.
enum class Match {
    Exact,
    Near,     // every channel within the tolerance
    Mean,     // mean difference within the tolerance
    Threshold // black where the source was darker than 128, else white
};

constexpr int kWidth = 33;
constexpr int kHeight = 17;

struct SaveFormat {
    int code;
    const char* suffix;
};

// Every save format, in the save dialog's order.
constexpr SaveFormat kSaveFormats[] = {{kFlmBmp, "bmp"},  {kFlmGif, "gif"}, {kFlmJpeg, "jpg"}, {kFlmPcx, "pcx"},
                                       {kFlmDcx, "dcx"},  {kFlmPbm, "pbm"}, {kFlmPgm, "pgm"},  {kFlmPpm, "ppm"},
                                       {kFlmTiff, "tif"}, {kFlmPng, "png"}, {kFlmPsd, "psd"},  {kFlmWmf, "wmf"},
                                       {kFlmApm, "apm"},  {kFlmEmf, "emf"}, {kFlmTga, "tga"},  {kFlmWbmp, "wbm"}};

QString suffixOf(int format)
{
    for (const SaveFormat& entry : kSaveFormats) {
        if (entry.code == format)
            return QString::fromLatin1(entry.suffix);
    }
    return {};
}

// The record the save dialog hands over for `format`, then `overrides` as index, value pairs.
FlmSaveOptions dialogOptions(int format, const QList<int>& overrides = {})
{
    FlmSaveOptions options;
    auto& field = options.field;
    field[FlmSaveOptions::kFormat] = format;
    switch (format) {
    case kFlmGif:
        field[FlmSaveOptions::kColours] = 256;
        break;
    case kFlmJpeg:
        field[FlmSaveOptions::kQuality] = 75;
        break;
    case kFlmPbm:
    case kFlmPgm:
    case kFlmPpm:
        field[FlmSaveOptions::kAnyMapFlag] = 1;
        break;
    case kFlmTiff:
        field[FlmSaveOptions::kQuality] = 75;
        field[FlmSaveOptions::kTiffCompression] = 1;
        field[FlmSaveOptions::kTiffFlag] = 1;
        break;
    case kFlmPsd:
        field[FlmSaveOptions::kPsdFlag] = 1;
        break;
    default:
        break;
    }
    for (qsizetype i = 0; i + 1 < overrides.size(); i += 2)
        field[overrides[i]] = overrides[i + 1];
    return options;
}

QImage sourceImage(Source source)
{
    if (source == Source::Wide) {
        QImage image(300, 3, QImage::Format_Grayscale8);
        for (int x = 0; x < image.width(); ++x) {
            image.scanLine(0)[x] = 0;
            image.scanLine(1)[x] = x < 200 ? 255 : uchar(x);
            image.scanLine(2)[x] = uchar(x * 7);
        }
        return image;
    }
    static constexpr QRgb kFew[] = {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffff00,
                                    0xff00ffff, 0xffff00ff, 0xffffffff, 0xff000000};
    static constexpr int kAlphas[] = {255, 0, 128, 37};
    const bool grey = source == Source::Grey || source == Source::Bilevel;
    QImage image(kWidth, kHeight,
                 grey                      ? QImage::Format_Grayscale8
                 : source == Source::Alpha ? QImage::Format_ARGB32
                                           : QImage::Format_RGB32);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const int red = x * 255 / (kWidth - 1);
            const int green = y * 255 / (kHeight - 1);
            const int blue = (x + y) * 255 / (kWidth + kHeight - 2);
            switch (source) {
            case Source::Colours:
                image.setPixel(x, y, qRgb(red, green, blue));
                break;
            case Source::Few:
                image.setPixel(x, y, kFew[(x / 4 + y / 3) % 8]);
                break;
            case Source::Grey: // 127 at (14, 5), 128 at (16, 0)
                image.scanLine(y)[x] = uchar(x * 8 + y * 3);
                break;
            case Source::Bilevel:
                image.scanLine(y)[x] = (x / 3 + y / 2) % 2 ? 255 : 0;
                break;
            case Source::Alpha:
                image.setPixel(x, y, qRgba(red, green, blue, kAlphas[(x + y) % 4]));
                break;
            case Source::Wide:
                break;
            }
        }
    }
    return image;
}

// Grey pages with the same ramp shifted, so that no two match even after a threshold.
QList<QImage> greyPages(int count)
{
    QList<QImage> pages;
    for (int k = 0; k < count; ++k) {
        QImage page(kWidth, kHeight, QImage::Format_Grayscale8);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x)
                page.scanLine(y)[x] = uchar(x * 255 / (kWidth - 1) + y * 2 + k * 85);
        }
        pages << page;
    }
    return pages;
}

bool writeTiffPages(const QString& path, const QList<QImage>& pages)
{
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tiff)
        return false;
    bool written = true;
    for (const QImage& page : pages) {
        const QImage rgb = page.convertToFormat(QImage::Format_RGB888);
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(rgb.width()));
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(rgb.height()));
        TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(rgb.height()));
        for (int y = 0; y < rgb.height() && written; ++y)
            written = TIFFWriteScanline(tiff, const_cast<uchar*>(rgb.constScanLine(y)), uint32_t(y), 0) >= 0;
        written = written && TIFFWriteDirectory(tiff);
    }
    TIFFClose(tiff);
    return written;
}

// Empty when `actual` matches `expected`, else where and how it does not.
QString mismatch(const QImage& actual, const QImage& expected, Match match, int tolerance)
{
    if (actual.size() != expected.size())
        return QStringLiteral("size %1 x %2").arg(actual.width()).arg(actual.height());
    if (match == Match::Mean) {
        const double difference = imagetest::meanDifference(actual, expected);
        return difference <= tolerance ? QString() : QStringLiteral("mean difference %1").arg(difference);
    }
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            QRgb want = expected.pixel(x, y);
            if (match == Match::Threshold)
                want = qGray(want) < 128 ? 0xff000000 : 0xffffffff;
            const QRgb got = actual.pixel(x, y);
            if (!imagetest::near(got, want, match == Match::Near ? tolerance : 0))
                return QStringLiteral("pixel (%1, %2) is %3, not %4").arg(x).arg(y).arg(got, 8, 16).arg(want, 8, 16);
        }
    }
    return {};
}

// The slides of the picture in the handle, first to last.
QList<QImage> slidesOf(FLMHANDLE handle)
{
    QList<QImage> slides;
    if (flmFirst(handle) != 0)
        return slides;
    do
        slides << imagetest::currentSlide(handle);
    while (flmNext(handle) == 0);
    return slides;
}

} // namespace

Q_DECLARE_METATYPE(Source)
Q_DECLARE_METATYPE(Match)

class TestWriters : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void roundTrip_data();
    void roundTrip();
    void writesHeaders_data();
    void writesHeaders();
    void othersReadSavedFiles_data();
    void othersReadSavedFiles();
    void currentOrAllSlides_data();
    void currentOrAllSlides();
    void failedSaveLeavesTargetAlone_data();
    void failedSaveLeavesTargetAlone();

private:
    // Loads the source picture into the handle through a PNG file; returns it as loaded.
    QImage loadSource(Source source);
    // Saves the handle's picture as `name`; the path, or a null string when the save failed.
    QString save(int format, const QString& name, const QList<int>& overrides = {});

    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestWriters::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

QImage TestWriters::loadSource(Source source)
{
    const QString path = m_dir.filePath(QStringLiteral("source.png"));
    if (!sourceImage(source).save(path, "PNG") || flmLoadFromFile(m_handle, path) != 0)
        return {};
    return imagetest::currentSlide(m_handle);
}

QString TestWriters::save(int format, const QString& name, const QList<int>& overrides)
{
    const FlmSaveOptions options = dialogOptions(format, overrides);
    const QString path = m_dir.filePath(name);
    return flmSaveToFile(m_handle, &options, path) == 0 ? path : QString();
}

void TestWriters::roundTrip_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QList<int>>("overrides");
    QTest::addColumn<Source>("source");
    QTest::addColumn<Match>("match");
    QTest::addColumn<int>("tolerance");

    const QList<int> plain = {FlmSaveOptions::kAnyMapFlag, 0};
    QTest::newRow("bmp") << int(kFlmBmp) << QList<int>() << Source::Colours << Match::Exact << 0;
    QTest::newRow("gif, 8 colours") << int(kFlmGif) << QList<int>() << Source::Few << Match::Exact << 0;
    QTest::newRow("gif, 561 colours") << int(kFlmGif) << QList<int>() << Source::Colours << Match::Mean << 8;
    QTest::newRow("jpg") << int(kFlmJpeg) << QList<int>() << Source::Colours << Match::Mean << 6;
    QTest::newRow("pcx, indexed") << int(kFlmPcx) << QList<int>() << Source::Few << Match::Exact << 0;
    QTest::newRow("pcx, three planes") << int(kFlmPcx) << QList<int>() << Source::Colours << Match::Exact << 0;
    QTest::newRow("pcx, long runs") << int(kFlmPcx) << QList<int>() << Source::Wide << Match::Exact << 0;
    QTest::newRow("dcx") << int(kFlmDcx) << QList<int>() << Source::Colours << Match::Exact << 0;
    QTest::newRow("pbm, raw") << int(kFlmPbm) << QList<int>() << Source::Bilevel << Match::Threshold << 0;
    QTest::newRow("pbm, raw, grey") << int(kFlmPbm) << QList<int>() << Source::Wide << Match::Threshold << 0;
    QTest::newRow("pbm, plain, grey") << int(kFlmPbm) << plain << Source::Grey << Match::Threshold << 0;
    QTest::newRow("pgm, raw") << int(kFlmPgm) << QList<int>() << Source::Grey << Match::Exact << 0;
    QTest::newRow("pgm, plain") << int(kFlmPgm) << plain << Source::Grey << Match::Exact << 0;
    QTest::newRow("ppm, raw") << int(kFlmPpm) << QList<int>() << Source::Colours << Match::Exact << 0;
    QTest::newRow("ppm, plain") << int(kFlmPpm) << plain << Source::Colours << Match::Exact << 0;
    QTest::newRow("tif") << int(kFlmTiff) << QList<int>() << Source::Colours << Match::Exact << 0;
    QTest::newRow("tif, alpha") << int(kFlmTiff) << QList<int>() << Source::Alpha << Match::Exact << 0;
    QTest::newRow("png") << int(kFlmPng) << QList<int>() << Source::Colours << Match::Exact << 0;
    QTest::newRow("png, alpha") << int(kFlmPng) << QList<int>() << Source::Alpha << Match::Exact << 0;
    QTest::newRow("psd, packed") << int(kFlmPsd) << QList<int>() << Source::Colours << Match::Exact << 0;
    QTest::newRow("psd, packed runs") << int(kFlmPsd) << QList<int>() << Source::Wide << Match::Exact << 0;
    QTest::newRow("psd, raw") << int(kFlmPsd) << QList<int>{FlmSaveOptions::kPsdFlag, 0} << Source::Colours
                              << Match::Exact << 0;
    // Blended with white in the file; a reader that takes the blend out gets the pixels back.
    QTest::newRow("psd, alpha") << int(kFlmPsd) << QList<int>() << Source::Alpha << Match::Near << 1;
    QTest::newRow("wmf") << int(kFlmWmf) << QList<int>() << Source::Colours << Match::Exact << 0;
    // Readers draw metafiles, and libwmf resamples a bitmap at any resolution other than 72 dpi.
    QTest::newRow("apm") << int(kFlmApm) << QList<int>() << Source::Colours << Match::Mean << 2;
    QTest::newRow("emf") << int(kFlmEmf) << QList<int>() << Source::Colours << Match::Exact << 0;
    QTest::newRow("tga") << int(kFlmTga) << QList<int>() << Source::Colours << Match::Exact << 0;
    QTest::newRow("tga, alpha") << int(kFlmTga) << QList<int>() << Source::Alpha << Match::Exact << 0;
    QTest::newRow("wbm") << int(kFlmWbmp) << QList<int>() << Source::Grey << Match::Threshold << 0;
    QTest::newRow("wbm, two-byte width") << int(kFlmWbmp) << QList<int>() << Source::Wide << Match::Threshold << 0;
}

void TestWriters::roundTrip()
{
    QFETCH(int, format);
    QFETCH(QList<int>, overrides);
    QFETCH(Source, source);
    QFETCH(Match, match);
    QFETCH(int, tolerance);

    const QImage original = loadSource(source);
    QVERIFY(!original.isNull());
    const QString path = save(format, QStringLiteral("saved.") + suffixOf(format), overrides);
    QVERIFY(!path.isEmpty());

    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info), 0);
    QCOMPARE(info.format, format);
    QCOMPARE(QSize(info.width, info.height), original.size());

    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideCount(m_handle), 1);
    const QString difference = mismatch(imagetest::currentSlide(m_handle), original, match, tolerance);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));

    const QByteArray bytes = imagetest::readFile(path);
    if (bytes.startsWith("P1") || bytes.startsWith("P2") || bytes.startsWith("P3")) {
        for (const QByteArray& line : bytes.split('\n'))
            QVERIFY2(line.size() <= 70, line.constData());
    }
}

void TestWriters::writesHeaders_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QList<int>>("overrides");
    QTest::addColumn<Source>("source");
    QTest::addColumn<int>("offset"); // negative: from the end
    QTest::addColumn<QByteArray>("expected");

    auto row = [](const char* name, int format, Source source, int offset, const QByteArray& expected,
                  const QList<int>& overrides = {}) {
        QTest::newRow(name) << format << overrides << source << offset << expected;
    };
    // Version 5, run-length encoded, 8 bits; 33 x 17; 1 or 3 planes of 34 bytes (even).
    row("pcx, start", kFlmPcx, Source::Few, 0, QByteArray::fromHex("0a050108 0000 0000 2000 1000 6000 6000"));
    row("pcx, indexed lines", kFlmPcx, Source::Few, 65, QByteArray::fromHex("012200"));
    row("pcx, palette mark", kFlmPcx, Source::Few, -769, QByteArray::fromHex("0cff0000"));
    row("pcx, planar lines", kFlmPcx, Source::Colours, 65, QByteArray::fromHex("032200"));
    row("dcx, table", kFlmDcx, Source::Colours, 0, QByteArray::fromHex("b168de3a0410000000000000"));
    row("dcx, first page", kFlmDcx, Source::Colours, 4100, QByteArray::fromHex("0a050108"));
    row("pbm, raw", kFlmPbm, Source::Bilevel, 0, "P4\n33 17\n");
    row("pbm, plain", kFlmPbm, Source::Bilevel, 0, "P1\n33 17\n1 1 1 0 0 0 1 1 1", {FlmSaveOptions::kAnyMapFlag, 0});
    row("pgm, raw", kFlmPgm, Source::Grey, 0, QByteArray("P5\n33 17\n255\n\x00\x08\x10", 16));
    row("ppm, plain", kFlmPpm, Source::Colours, 0, "P3\n33 17\n255\n0 0 0 7 0 5 15 0 10",
        {FlmSaveOptions::kAnyMapFlag, 0});
    // Version 1, 3 channels, height 17, width 33, 8 bits, RGB; empty sections; PackBits or raw.
    row("psd, start", kFlmPsd, Source::Colours, 0,
        QByteArray::fromHex(
            "38425053 0001 000000000000 0003 00000011 00000021 0008 0003 00000000 00000000 00000000 0001"));
    row("psd, raw", kFlmPsd, Source::Colours, 38, QByteArray::fromHex("0000"), {FlmSaveOptions::kPsdFlag, 0});
    row("psd, transparency", kFlmPsd, Source::Alpha, 12, QByteArray::fromHex("0004"));
    row("psd, merged transparency flag", kFlmPsd, Source::Alpha, 34,
        QByteArray::fromHex("00000014 00000000 00000000 3842494d 4d74726e 00000000 0001"));
    row("tga, header", kFlmTga, Source::Colours, 0, QByteArray::fromHex("000002000000000000000000210011001800"));
    row("tga, first pixel is bottom left", kFlmTga, Source::Colours, 18, QByteArray::fromHex("55ff00"));
    row("tga, alpha", kFlmTga, Source::Alpha, 16, QByteArray::fromHex("2008"));
    row("tga, footer", kFlmTga, Source::Colours, -18, QByteArray("TRUEVISION-XFILE.\0", 18));
    row("wbm", kFlmWbmp, Source::Grey, 0, QByteArray::fromHex("00002111"));
    row("wbm, two-byte width", kFlmWbmp, Source::Wide, 0, QByteArray::fromHex("0000822c0300"));
    // In memory, 9 words, version 3, 906 words; window origin 0, 0 and extent 33 x 17 (y first).
    row("wmf, start", kFlmWmf, Source::Colours, 0,
        QByteArray::fromHex(
            "0100 0900 0003 8a030000 0000 74030000 0000 05000000 0b02 0000 0000 05000000 0c02 1100 2100"));
    row("wmf, stretched bitmap", kFlmWmf, Source::Colours, 38,
        QByteArray::fromHex("74030000 430f 2000cc00 0000 1100 2100 0000 0000 1100 2100 0000 0000 28000000 21000000 "
                            "11000000 0100 1800"));
    row("wmf, end", kFlmWmf, Source::Colours, -6, QByteArray::fromHex("030000000000"));
    // Key, box 0, 0, 33, 17 at 96 per inch, checksum 0x5741: the XOR of the ten words before it.
    row("apm", kFlmApm, Source::Colours, 0,
        QByteArray::fromHex("d7cdc69a 0000 0000 0000 2100 1100 6000 00000000 4157 01000900"));
    row("emf, header", kFlmEmf, Source::Colours, 0,
        QByteArray::fromHex("010000006c000000 00000000000000002000000010000000 000000000000000068030000c1010000"
                            "20454d4600000100 9c070000 03000000 0100 0000"));
    row("emf, reference device", kFlmEmf, Source::Colours, 72,
        QByteArray::fromHex("80070000 a0050000 fc010000 7d010000 00000000 00000000 00000000 60c00700 48d00500"));
    row("emf, stretched bitmap", kFlmEmf, Source::Colours, 108,
        QByteArray::fromHex("51000000 1c070000 00000000 00000000 20000000 10000000 00000000 00000000 00000000"
                            "00000000 21000000 11000000 50000000 28000000 78000000 a4060000 00000000 2000cc00"
                            "21000000 11000000 28000000"));
    row("emf, end", kFlmEmf, Source::Colours, -20, QByteArray::fromHex("0e000000 14000000 00000000 10000000 14000000"));
}

void TestWriters::writesHeaders()
{
    QFETCH(int, format);
    QFETCH(QList<int>, overrides);
    QFETCH(Source, source);
    QFETCH(int, offset);
    QFETCH(QByteArray, expected);

    QVERIFY(!loadSource(source).isNull());
    const QString path = save(format, QStringLiteral("saved.") + suffixOf(format), overrides);
    QVERIFY(!path.isEmpty());
    const QByteArray bytes = imagetest::readFile(path);
    const qsizetype start = offset < 0 ? bytes.size() + offset : offset;
    QVERIFY(start >= 0);
    QCOMPARE(bytes.mid(start, expected.size()).toHex(' '), expected.toHex(' '));
}

void TestWriters::othersReadSavedFiles_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<Source>("source");
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("arguments"); // %1 stands for the file
    QTest::addColumn<QString>("expected");      // format, width, height, alpha

    const QString gm = QStringLiteral("gm");
    const QString magick = QStringLiteral("identify");
    const QStringList file = {QStringLiteral("%1")};
    QTest::newRow("bmp") << int(kFlmBmp) << Source::Colours << gm << file << "BMP 33 17 false";
    QTest::newRow("gif") << int(kFlmGif) << Source::Few << gm << file << "GIF 33 17 false";
    QTest::newRow("jpg") << int(kFlmJpeg) << Source::Colours << gm << file << "JPEG 33 17 false";
    QTest::newRow("pcx, indexed") << int(kFlmPcx) << Source::Few << gm << file << "PCX 33 17 false";
    QTest::newRow("pcx, three planes") << int(kFlmPcx) << Source::Colours << gm << file << "PCX 33 17 false";
    QTest::newRow("dcx") << int(kFlmDcx) << Source::Colours << gm << file << "DCX 33 17 false";
    QTest::newRow("pbm") << int(kFlmPbm) << Source::Bilevel << gm << file << "PBM 33 17 false";
    QTest::newRow("pgm") << int(kFlmPgm) << Source::Grey << gm << file << "PGM 33 17 false";
    QTest::newRow("ppm") << int(kFlmPpm) << Source::Colours << gm << file << "PPM 33 17 false";
    QTest::newRow("tif") << int(kFlmTiff) << Source::Colours << gm << file << "TIFF 33 17 false";
    QTest::newRow("png") << int(kFlmPng) << Source::Colours << gm << file << "PNG 33 17 false";
    QTest::newRow("psd") << int(kFlmPsd) << Source::Colours << magick << file << "PSD 33 17 False";
    QTest::newRow("psd, alpha") << int(kFlmPsd) << Source::Alpha << magick << file << "PSD 33 17 True";
    // A plain metafile's units are taken for points, so GraphicsMagick's 72 dpi shows its pixels.
    QTest::newRow("wmf") << int(kFlmWmf) << Source::Colours << gm << file << "WMF 33 17 false";
    QTest::newRow("apm at 96 dpi") << int(kFlmApm) << Source::Colours << gm
                                   << QStringList{QStringLiteral("-density"), QStringLiteral("96"),
                                                  QStringLiteral("%1")}
                                   << "WMF 33 17 false";
    QTest::newRow("emf") << int(kFlmEmf) << Source::Colours << QString() << file << QString();
    QTest::newRow("tga") << int(kFlmTga) << Source::Colours << gm << file << "TGA 33 17 false";
    QTest::newRow("tga, alpha") << int(kFlmTga) << Source::Alpha << gm << file << "TGA 33 17 true";
    // Without a signature the type must be named.
    QTest::newRow("wbm") << int(kFlmWbmp) << Source::Grey << gm << QStringList{QStringLiteral("wbmp:%1")}
                         << "WBMP 33 17 false";
}

void TestWriters::othersReadSavedFiles()
{
    QFETCH(int, format);
    QFETCH(Source, source);
    QFETCH(QString, tool);
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);

    if (tool.isEmpty())
        QSKIP("no reader of enhanced metafiles here: GraphicsMagick and ImageMagick read them only on Windows");
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        QSKIP(qPrintable(tool + QStringLiteral(" is not installed")));
    QVERIFY(!loadSource(source).isNull());
    const QString path = save(format, QStringLiteral("saved.") + suffixOf(format));
    QVERIFY(!path.isEmpty());
    for (QString& argument : arguments)
        argument.replace(QStringLiteral("%1"), path);
    arguments.prepend(QStringLiteral("%m %w %h %A\n"));
    arguments.prepend(QStringLiteral("-format"));
    if (tool == QStringLiteral("gm"))
        arguments.prepend(QStringLiteral("identify"));
    QProcess process;
    process.start(program, arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).trimmed(), expected);
}

void TestWriters::currentOrAllSlides_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<bool>("allSlides");
    QTest::addColumn<Match>("match");
    QTest::addColumn<int>("tolerance");

    for (const SaveFormat& entry : kSaveFormats) {
        const bool all = entry.code == kFlmGif || entry.code == kFlmTiff || entry.code == kFlmDcx;
        const bool bilevel = entry.code == kFlmPbm || entry.code == kFlmWbmp;
        const bool lossy = entry.code == kFlmJpeg || entry.code == kFlmApm;
        const Match match = lossy ? Match::Mean : bilevel ? Match::Threshold : Match::Exact;
        QTest::newRow(entry.suffix) << entry.code << all << match << (lossy ? 8 : 0);
    }
}

void TestWriters::currentOrAllSlides()
{
    QFETCH(int, format);
    QFETCH(bool, allSlides);
    QFETCH(Match, match);
    QFETCH(int, tolerance);

    const QString source = m_dir.filePath(QStringLiteral("pages.tif"));
    QVERIFY(writeTiffPages(source, greyPages(3)));
    QCOMPARE(flmLoadFromFile(m_handle, source), 0);
    const QList<QImage> originals = slidesOf(m_handle);
    QCOMPARE(originals.size(), 3);
    QCOMPARE(flmFirst(m_handle), 0);
    QCOMPARE(flmNext(m_handle), 0);

    const QString path = save(format, QStringLiteral("slides.") + suffixOf(format));
    QVERIFY(!path.isEmpty());
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    const QList<QImage> saved = slidesOf(m_handle);
    const QList<QImage> expected = allSlides ? originals : QList<QImage>{originals[1]};
    QCOMPARE(saved.size(), expected.size());
    for (qsizetype i = 0; i < saved.size(); ++i) {
        const QString difference = mismatch(saved[i], expected[i], match, tolerance);
        QVERIFY2(difference.isEmpty(), qPrintable(QStringLiteral("slide %1: ").arg(i) + difference));
    }
}

void TestWriters::failedSaveLeavesTargetAlone_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("slides");
    QTest::addColumn<bool>("missingFolder");

    for (const SaveFormat& entry : kSaveFormats) {
        QTest::addRow("%s into a missing folder", entry.suffix) << entry.code << QSize(kWidth, kHeight) << 1 << true;
    }
    QTest::newRow("psd wider than 30000") << int(kFlmPsd) << QSize(30001, 1) << 1 << false;
    QTest::newRow("wmf wider than 32767") << int(kFlmWmf) << QSize(32768, 1) << 1 << false;
    QTest::newRow("apm taller than 32767") << int(kFlmApm) << QSize(1, 32768) << 1 << false;
    QTest::newRow("pcx line over 65535 bytes") << int(kFlmPcx) << QSize(65535, 1) << 1 << false;
    QTest::newRow("dcx over 1023 pages") << int(kFlmDcx) << QSize(1, 1) << 1024 << false;
}

void TestWriters::failedSaveLeavesTargetAlone()
{
    QFETCH(int, format);
    QFETCH(QSize, size);
    QFETCH(int, slides);
    QFETCH(bool, missingFolder);

    QString source;
    if (slides > 1) {
        source = m_dir.filePath(QStringLiteral("source.tif"));
        QImage page(size, QImage::Format_Grayscale8);
        page.fill(0x80);
        QVERIFY(writeTiffPages(source, QList<QImage>(slides, page)));
    } else {
        source = m_dir.filePath(QStringLiteral("source.png"));
        QImage image(size, QImage::Format_RGB32);
        image.fill(0xff336699);
        QVERIFY(image.save(source, "PNG"));
    }
    QCOMPARE(flmLoadFromFile(m_handle, source), 0);
    QCOMPARE(imagetest::slideCount(m_handle), slides);

    const QString folder = missingFolder ? m_dir.filePath(QStringLiteral("missing")) : m_dir.path();
    const QString target = folder + QStringLiteral("/target.") + suffixOf(format);
    const QByteArray kept("an earlier file");
    if (!missingFolder)
        imagetest::writeFile(m_dir, QFileInfo(target).fileName(), kept);
    const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    const FlmSaveOptions options = dialogOptions(format);
    QVERIFY(flmSaveToFile(m_handle, &options, target) != 0);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    if (!missingFolder)
        QCOMPARE(imagetest::readFile(target), kept);
}

QTEST_GUILESS_MAIN(TestWriters)
#include "tst_writers.moc"
