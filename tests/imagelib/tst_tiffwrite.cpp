// The TIFF writer through the handle interface: pictures go in as PNG, JPEG (grey) or multi-page
// TIFF files, come out through flmSaveToFile with every compression and are read back by our
// reader; tiffinfo, where installed, reports how each page is stored.
#include <vector>

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <tiffio.h>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

enum class Source { Colour, Alpha, Grey };
enum class Expect { Exact, Near, Bilevel };

constexpr int kWidth = 53; // odd, so that bilevel rows end inside a byte and chroma is padded
constexpr int kHeight = 37;

// Smooth ramps and waves: JPEG keeps them well, and every exact comparison still sees each
// channel change.
QImage colourPicture(int width, int height, int salt = 0)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb(x * 255 / qMax(1, width - 1), y * 255 / qMax(1, height - 1),
                                int(128 + 100 * qSin((x + y) / 6.0 + salt))));
    }
    return image;
}

// Alpha from clear to opaque across the picture, in steps that unpremultiply exactly.
QImage alphaPicture()
{
    QImage image = colourPicture(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x)
            image.setPixel(x, y, (image.pixel(x, y) & 0xFFFFFF) | uint(x * 255 / (kWidth - 1)) << 24);
    }
    return image;
}

// Saves the source picture in a format our readers decode to the slide format under test:
// PNG for colour and alpha, JPEG for 8-bit grey.
QString sourceFile(const QTemporaryDir& dir, Source source)
{
    switch (source) {
    case Source::Grey: {
        const QString path = dir.filePath(QStringLiteral("in.jpg"));
        return colourPicture(kWidth, kHeight).convertToFormat(QImage::Format_Grayscale8).save(path, "JPEG", 100)
                   ? path
                   : QString();
    }
    case Source::Alpha: {
        const QString path = dir.filePath(QStringLiteral("in.png"));
        return alphaPicture().save(path) ? path : QString();
    }
    case Source::Colour:
        break;
    }
    const QString path = dir.filePath(QStringLiteral("in.png"));
    return colourPicture(kWidth, kHeight).save(path) ? path : QString();
}

// Pages of different sizes written as RGB with libtiff.
QString multiPageFile(const QTemporaryDir& dir, const QList<QImage>& pages)
{
    const QString path = dir.filePath(QStringLiteral("pages.tif"));
    TIFF* tiff = TIFFOpen(QFile::encodeName(path).constData(), "w");
    bool ok = tiff != nullptr;
    for (const QImage& page : pages) {
        ok = ok && TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(page.width())) &&
             TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(page.height())) &&
             TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8) && TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 3) &&
             TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
             TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        const QImage rgb = page.convertToFormat(QImage::Format_RGB888);
        for (int y = 0; ok && y < rgb.height(); ++y)
            ok = TIFFWriteScanline(tiff, const_cast<uchar*>(rgb.constScanLine(y)), uint32_t(y), 0) == 1;
        ok = ok && TIFFWriteDirectory(tiff);
    }
    if (tiff)
        TIFFClose(tiff);
    return ok ? path : QString();
}

// The picture in black and white as the CCITT schemes store it: laid on white, luminance cut
// at mid-grey.
QImage thresholded(const QImage& premultiplied)
{
    QImage image(premultiplied.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = premultiplied.pixel(x, y);
            const int white = 255 - qAlpha(p);
            const int luma =
                ((qRed(p) + white) * 299 + (qGreen(p) + white) * 587 + (qBlue(p) + white) * 114 + 500) / 1000;
            image.setPixel(x, y, luma < 128 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    }
    return image;
}

QString tiffinfo(const QString& path)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("tiffinfo"));
    if (program.isEmpty())
        return {};
    QProcess process;
    process.start(program, {path});
    return process.waitForFinished(30000) && process.exitCode() == 0
               ? QString::fromUtf8(process.readAllStandardOutput())
               : QString();
}

QList<QImage> everySlide(FLMHANDLE handle)
{
    QList<QImage> slides;
    flmFirst(handle);
    for (int i = 0; i < imagetest::slideCount(handle); ++i, flmNext(handle))
        slides << imagetest::currentSlide(handle);
    return slides;
}

} // namespace

Q_DECLARE_METATYPE(Source)
Q_DECLARE_METATYPE(Expect)

class TestTiffWrite : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void compression_data();
    void compression();
    void pages_data();
    void pages();
    void jpegQuality_data();
    void jpegQuality();

private:
    QString save(const QString& name, int compression, int quality = 0);

    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestTiffWrite::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

QString TestTiffWrite::save(const QString& name, int compression, int quality)
{
    FlmSaveOptions options;
    options.field[FlmSaveOptions::kFormat] = kFlmTiff;
    options.field[FlmSaveOptions::kQuality] = quality;
    options.field[FlmSaveOptions::kTiffCompression] = compression;
    options.field[FlmSaveOptions::kTiffFlag] = 1;
    const QString path = m_dir.filePath(name);
    return flmSaveToFile(m_handle, &options, path) == 0 ? path : QString();
}

void TestTiffWrite::compression_data()
{
    QTest::addColumn<Source>("source");
    QTest::addColumn<int>("compression");
    QTest::addColumn<Expect>("expect");
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QString>("layout"); // what tiffinfo says of photometric, depth and samples

    const QString rgb = QStringLiteral("RGB color|8|3");
    const QString rgba = QStringLiteral("RGB color|8|4");
    const QString grey = QStringLiteral("min-is-black|8|1");
    const QString bilevel = QStringLiteral("min-is-white|1|1");
    const QString ycbcr = QStringLiteral("YCbCr|8|3");
    QTest::newRow("none") << Source::Colour << 1 << Expect::Exact << "None" << rgb;
    QTest::newRow("0 means none") << Source::Colour << 0 << Expect::Exact << "None" << rgb;
    QTest::newRow("unknown means none") << Source::Colour << 6 << Expect::Exact << "None" << rgb;
    QTest::newRow("none, alpha") << Source::Alpha << 1 << Expect::Exact << "None" << rgba;
    QTest::newRow("none, grey") << Source::Grey << 1 << Expect::Exact << "None" << grey;
    QTest::newRow("LZW") << Source::Colour << 5 << Expect::Exact << "LZW" << rgb;
    QTest::newRow("LZW, alpha") << Source::Alpha << 5 << Expect::Exact << "LZW" << rgba;
    QTest::newRow("LZW, grey") << Source::Grey << 5 << Expect::Exact << "LZW" << grey;
    QTest::newRow("PackBits") << Source::Colour << 32773 << Expect::Exact << "PackBits" << rgb;
    QTest::newRow("PackBits, alpha") << Source::Alpha << 32773 << Expect::Exact << "PackBits" << rgba;
    QTest::newRow("JPEG") << Source::Colour << 7 << Expect::Near << "JPEG" << ycbcr;
    QTest::newRow("JPEG drops alpha") << Source::Alpha << 7 << Expect::Near << "JPEG" << ycbcr;
    QTest::newRow("JPEG, grey") << Source::Grey << 7 << Expect::Near << "JPEG" << grey;
    QTest::newRow("CCITT RLE") << Source::Colour << 2 << Expect::Bilevel << "CCITT RLE" << bilevel;
    QTest::newRow("CCITT group 3") << Source::Colour << 3 << Expect::Bilevel << "CCITT Group 3" << bilevel;
    QTest::newRow("CCITT group 3, alpha") << Source::Alpha << 3 << Expect::Bilevel << "CCITT Group 3" << bilevel;
    QTest::newRow("CCITT group 4") << Source::Colour << 4 << Expect::Bilevel << "CCITT Group 4" << bilevel;
    QTest::newRow("CCITT group 4, grey") << Source::Grey << 4 << Expect::Bilevel << "CCITT Group 4" << bilevel;
}

void TestTiffWrite::compression()
{
    QFETCH(Source, source);
    QFETCH(int, compression);
    QFETCH(Expect, expect);
    QFETCH(QString, scheme);
    QFETCH(QString, layout);
    const QString input = sourceFile(m_dir, source);
    QVERIFY(!input.isEmpty());
    QCOMPARE(flmLoadFromFile(m_handle, input), 0);
    const QImage original = imagetest::currentSlide(m_handle);
    const QString path = save(QStringLiteral("out.tif"), compression);
    QVERIFY(!path.isEmpty());
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideCount(m_handle), 1);
    const QImage decoded = imagetest::currentSlide(m_handle);
    QCOMPARE(decoded.size(), original.size());
    switch (expect) {
    case Expect::Exact:
        QCOMPARE(decoded, original);
        break;
    case Expect::Near: {
        // JPEG keeps the colours of a picture with alpha and drops the alpha.
        const QImage opaque = original.convertToFormat(QImage::Format_RGB32).convertToFormat(original.format());
        const double difference = imagetest::meanDifference(decoded, opaque);
        QVERIFY2(difference < 6, qPrintable(QString::number(difference)));
        break;
    }
    case Expect::Bilevel:
        QCOMPARE(decoded, thresholded(original));
        break;
    }

    const QString info = tiffinfo(path);
    if (info.isEmpty())
        QSKIP("tiffinfo (libtiff-tools) is not installed");
    QVERIFY2(info.contains(QStringLiteral("Compression Scheme: %1\n").arg(scheme)), qPrintable(info));
    const QStringList parts = layout.split(QLatin1Char('|'));
    QVERIFY2(info.contains(QStringLiteral("Photometric Interpretation: %1\n").arg(parts[0])) &&
                 info.contains(QStringLiteral("Bits/Sample: %1\n").arg(parts[1])) &&
                 info.contains(QStringLiteral("Samples/Pixel: %1\n").arg(parts[2])),
             qPrintable(info));
    QCOMPARE(info.contains(QStringLiteral("Extra Samples: 1<unassoc-alpha>")), parts[2] == QLatin1String("4"));
    QCOMPARE(info.contains(QStringLiteral("Predictor: horizontal differencing")),
             compression == 5 && parts[1] == QLatin1String("8"));
}

void TestTiffWrite::pages_data()
{
    QTest::addColumn<int>("compression");
    QTest::addColumn<Expect>("expect");
    QTest::addColumn<QString>("scheme");
    QTest::newRow("none") << 1 << Expect::Exact << "None";
    QTest::newRow("LZW") << 5 << Expect::Exact << "LZW";
    QTest::newRow("JPEG") << 7 << Expect::Near << "JPEG";
    QTest::newRow("CCITT group 4") << 4 << Expect::Bilevel << "CCITT Group 4";
}

void TestTiffWrite::pages()
{
    QFETCH(int, compression);
    QFETCH(Expect, expect);
    QFETCH(QString, scheme);
    const QString input =
        multiPageFile(m_dir, {colourPicture(40, 30, 0), colourPicture(17, 61, 1), colourPicture(1, 1, 2)});
    QVERIFY(!input.isEmpty());
    QCOMPARE(flmLoadFromFile(m_handle, input), 0);
    const QList<QImage> original = everySlide(m_handle);
    QCOMPARE(original.size(), 3);
    QCOMPARE(flmFirst(m_handle), 0);
    QCOMPARE(flmNext(m_handle), 0); // the current page does not limit what is written
    const QString path = save(QStringLiteral("pages.tif"), compression);
    QVERIFY(!path.isEmpty());
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    const QList<QImage> decoded = everySlide(m_handle);
    QCOMPARE(decoded.size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(decoded[i].size(), original[i].size());
        if (expect == Expect::Exact)
            QCOMPARE(decoded[i], original[i]);
        else if (expect == Expect::Bilevel)
            QCOMPARE(decoded[i], thresholded(original[i]));
        else
            QVERIFY(imagetest::meanDifference(decoded[i], original[i]) < 12);
    }

    const QString info = tiffinfo(path);
    if (info.isEmpty())
        QSKIP("tiffinfo (libtiff-tools) is not installed");
    QCOMPARE(info.count(QStringLiteral("Compression Scheme: %1\n").arg(scheme)), 3);
    QVERIFY2(info.contains(QStringLiteral("Page Number: 2-3")), qPrintable(info));
}

void TestTiffWrite::jpegQuality_data()
{
    QTest::addColumn<int>("quality");
    QTest::addColumn<int>("sameAs");
    QTest::newRow("0 means 75") << 0 << 75;
    QTest::newRow("101 means 75") << 101 << 75;
    QTest::newRow("-1 means 75") << -1 << 75;
    QTest::newRow("30 is itself") << 30 << 30;
}

void TestTiffWrite::jpegQuality()
{
    QFETCH(int, quality);
    QFETCH(int, sameAs);
    QCOMPARE(flmLoadFromFile(m_handle, sourceFile(m_dir, Source::Colour)), 0);
    const QImage original = imagetest::currentSlide(m_handle);
    const QString path = save(QStringLiteral("asked.tif"), 7, quality);
    const QString reference = save(QStringLiteral("reference.tif"), 7, sameAs);
    const QString best = save(QStringLiteral("best.tif"), 7, 100);
    QVERIFY(!path.isEmpty() && !reference.isEmpty() && !best.isEmpty());
    QCOMPARE(imagetest::readFile(path), imagetest::readFile(reference));
    // Higher quality costs bytes and buys fidelity.
    QVERIFY(QFileInfo(best).size() > QFileInfo(path).size());
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    const double asked = imagetest::meanDifference(imagetest::currentSlide(m_handle), original);
    QCOMPARE(flmLoadFromFile(m_handle, best), 0);
    QVERIFY(imagetest::meanDifference(imagetest::currentSlide(m_handle), original) < asked);
}

QTEST_GUILESS_MAIN(TestTiffWrite)
#include "tst_tiffwrite.moc"
