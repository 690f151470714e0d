// The JPEG codec through the handle interface: inputs are written with libjpeg directly, so
// the reader is not checked against its own writer.
#include <cstdio>
#include <cstdlib>
#include <span>

#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <jpeglib.h>

#include "imagelib/cbmpex.h"
#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

// Pixels as libjpeg takes them: `components` samples per pixel, rows packed.
struct RawPicture {
    int width = 0;
    int height = 0;
    int components = 3;
    J_COLOR_SPACE space = JCS_RGB;
    QByteArray samples;
};

struct EncodeOptions {
    int quality = 95;
    bool progressive = false;
    std::span<const jpeg_scan_info> scans;   // a progressive scan order of its own
    bool fullChroma = false;                 // 4:4:4 rather than libjpeg's 4:2:0
    J_COLOR_SPACE storedSpace = JCS_UNKNOWN; // unknown: libjpeg's default for the input
    QByteArray app1;
};

QByteArray encodeJpeg(const RawPicture& picture, const EncodeOptions& options = {})
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr error{};
    cinfo.err = jpeg_std_error(&error);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(picture.width);
    cinfo.image_height = JDIMENSION(picture.height);
    cinfo.input_components = picture.components;
    cinfo.in_color_space = picture.space;
    jpeg_set_defaults(&cinfo);
    if (options.storedSpace != JCS_UNKNOWN)
        jpeg_set_colorspace(&cinfo, options.storedSpace);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.fullChroma)
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 1;
    if (options.progressive)
        jpeg_simple_progression(&cinfo);
    if (!options.scans.empty()) {
        cinfo.scan_info = options.scans.data();
        cinfo.num_scans = int(options.scans.size());
    }
    jpeg_start_compress(&cinfo, TRUE);
    if (!options.app1.isEmpty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(options.app1.constData()),
                          unsigned(options.app1.size()));
    const int stride = picture.width * picture.components;
    while (cinfo.next_scanline < cinfo.image_height) {
        auto* row = reinterpret_cast<JSAMPLE*>(const_cast<char*>(picture.samples.constData())) +
                    qsizetype(cinfo.next_scanline) * stride;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const QByteArray bytes(reinterpret_cast<const char*>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

RawPicture rawOf(const QImage& image)
{
    const bool grey = image.format() == QImage::Format_Grayscale8;
    const QImage packed = grey ? image : image.convertToFormat(QImage::Format_RGB888);
    RawPicture raw{packed.width(), packed.height(), grey ? 1 : 3, grey ? JCS_GRAYSCALE : JCS_RGB, {}};
    for (int y = 0; y < packed.height(); ++y)
        raw.samples.append(reinterpret_cast<const char*>(packed.constScanLine(y)), packed.width() * raw.components);
    return raw;
}

// Smooth ramps with a little texture, so that quality changes the file size.
QImage testPattern(int width, int height, bool grey = false)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int texture = ((x * 7) ^ (y * 13)) & 15;
            image.setPixel(x, y, qRgb(x * 200 / width + texture, y * 200 / height + texture, 128 + texture));
        }
    }
    return grey ? image.convertToFormat(QImage::Format_Grayscale8) : image;
}

QImage flatImage(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

void appendEntry(QByteArray& bytes, quint16 tag, quint16 type, quint32 value,
                 QSysInfo::Endian order = QSysInfo::LittleEndian)
{
    imagetest::append16(bytes, tag, order);
    imagetest::append16(bytes, type, order);
    imagetest::append32(bytes, 1, order);
    if (type == 3) {
        imagetest::append16(bytes, quint16(value), order);
        imagetest::append16(bytes, 0, order);
    } else {
        imagetest::append32(bytes, value, order);
    }
}

// An APP1 payload as cameras write it: IFD0 with the orientation (none when 0), IFD1 pointing
// at the thumbnail (none when empty).
QByteArray exifBlock(int orientation, const QByteArray& thumbnail = {}, QSysInfo::Endian order = QSysInfo::LittleEndian)
{
    QByteArray tiff = order == QSysInfo::BigEndian ? QByteArray("MM\0*", 4) : QByteArray("II*\0", 4);
    imagetest::append32(tiff, 8, order);
    const quint16 entries = orientation > 0 ? 1 : 0;
    imagetest::append16(tiff, entries, order);
    if (entries)
        appendEntry(tiff, 0x0112, 3, quint32(orientation), order);
    const quint32 ifd1 = quint32(tiff.size()) + 4;
    imagetest::append32(tiff, thumbnail.isEmpty() ? 0 : ifd1, order);
    if (!thumbnail.isEmpty()) {
        imagetest::append16(tiff, 2, order);
        const quint32 data = ifd1 + 2 + 2 * 12 + 4;
        appendEntry(tiff, 0x0201, 4, data, order);
        appendEntry(tiff, 0x0202, 4, quint32(thumbnail.size()), order);
        imagetest::append32(tiff, 0, order);
        tiff += thumbnail;
    }
    return QByteArray("Exif\0\0", 6) + tiff;
}

// Offset of the first marker `code` (FF code) in a JPEG written by libjpeg.
qsizetype markerOffset(const QByteArray& jpeg, uchar code)
{
    return jpeg.indexOf(QByteArray("\xFF") + char(code));
}

// Offset of the entropy-coded data after the scan header at `scan`.
qsizetype scanData(const QByteArray& jpeg, qsizetype scan)
{
    return scan + 2 + (uchar(jpeg[scan + 2]) << 8 | uchar(jpeg[scan + 3]));
}

// Offset of the spectral selection start (Ss) in the scan header at `scan`; Se follows it.
qsizetype spectrumStart(const QByteArray& jpeg, qsizetype scan)
{
    return scan + 5 + 2 * uchar(jpeg[scan + 4]);
}

// Offset of the header of the first scan that carries AC coefficients; -1 when there is none.
qsizetype firstAcScan(const QByteArray& jpeg)
{
    for (qsizetype scan = markerOffset(jpeg, 0xDA); scan >= 0; scan = jpeg.indexOf("\xFF\xDA", scan + 2)) {
        if (jpeg[spectrumStart(jpeg, scan)] != 0)
            return scan;
    }
    return -1;
}

// The DC coefficients of each colour component in a scan of their own, then the AC ones.
constexpr jpeg_scan_info kDcScanPerComponent[] = {
    {1, {0}, 0, 0, 0, 0},  {1, {1}, 0, 0, 0, 0},  {1, {2}, 0, 0, 0, 0},
    {1, {0}, 1, 63, 0, 0}, {1, {1}, 1, 63, 0, 0}, {1, {2}, 1, 63, 0, 0},
};

// How far a colour after JPEG compression may drift from a flat area's colour.
constexpr int kColourTolerance = 24;

QString hex(QRgb colour)
{
    return QString::number(colour & 0xFFFFFF, 16);
}

// Bytes this process has read from files so far (the kernel's count), -1 when it is not known.
qint64 bytesReadSoFar()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

// What reading /proc/self/io itself adds to the count.
constexpr qint64 kCountingBytes = 4096;

} // namespace

class TestJpeg : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void roundTrip_data();
    void roundTrip();
    void qualityAffectsSize();
    void reducedDecode_data();
    void reducedDecode();
    void exifThumbnail_data();
    void exifThumbnail();
    void loadReadsEachByteOnce_data();
    void loadReadsEachByteOnce();
    void orientation_data();
    void orientation();
    void hostileExif_data();
    void hostileExif();
    void truncated_data();
    void truncated();
    void garbage_data();
    void garbage();
    void cmyk_data();
    void cmyk();
    void progressiveReduced_data();
    void progressiveReduced();
    void cancel_data();
    void cancel();
    void independentReader_data();
    void independentReader();

private:
    QString m_good;
    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestJpeg::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
    m_good = imagetest::writeFile(m_dir, QStringLiteral("good.jpg"), encodeJpeg(rawOf(testPattern(48, 40))));
}

void TestJpeg::roundTrip_data()
{
    QTest::addColumn<bool>("grey");
    QTest::addColumn<int>("quality");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("colour q30") << false << 30 << 6.0;
    QTest::newRow("colour q75") << false << 75 << 4.5;
    QTest::newRow("colour q95") << false << 95 << 1.5;
    QTest::newRow("colour default quality") << false << 0 << 4.5;
    QTest::newRow("grey q50") << true << 50 << 5.0;
    QTest::newRow("grey q95") << true << 95 << 1.0;
}

void TestJpeg::roundTrip()
{
    QFETCH(bool, grey);
    QFETCH(int, quality);
    QFETCH(double, tolerance);
    const QString source =
        imagetest::writeFile(m_dir, QStringLiteral("source.jpg"), encodeJpeg(rawOf(testPattern(160, 120, grey))));
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, source, &info), 0);
    QCOMPARE(info.format, int(kFlmJpeg));
    QCOMPARE(QSize(info.width, info.height), QSize(160, 120));
    QCOMPARE(info.bitsPerPixel, grey ? 8 : 24);
    QCOMPARE(flmLoadFromFile(m_handle, source), 0);
    const QImage decoded = imagetest::currentSlide(m_handle);
    QVERIFY(imagetest::meanDifference(decoded, testPattern(160, 120, grey).convertToFormat(decoded.format())) < 2.0);

    const QString saved = imagetest::save(m_handle, m_dir, QStringLiteral("saved.jpg"), kFlmJpeg, quality);
    QVERIFY(!saved.isEmpty());
    QCOMPARE(flmGetFileInfo(m_handle, saved, &info), 0);
    QCOMPARE(info.bitsPerPixel, grey ? 8 : 24);
    QCOMPARE(flmLoadFromFile(m_handle, saved), 0);
    const double difference = imagetest::meanDifference(imagetest::currentSlide(m_handle), decoded);
    QVERIFY2(difference <= tolerance, qPrintable(QString::number(difference)));
}

void TestJpeg::qualityAffectsSize()
{
    QCOMPARE(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, QStringLiteral("in.jpg"),
                                                            encodeJpeg(rawOf(testPattern(200, 150))))),
             0);
    auto savedBytes = [this](int quality) {
        return imagetest::readFile(
            imagetest::save(m_handle, m_dir, QStringLiteral("q%1.jpg").arg(quality), kFlmJpeg, quality));
    };
    const QByteArray low = savedBytes(10);
    const QByteArray middle = savedBytes(50);
    const QByteArray high = savedBytes(95);
    QVERIFY(!low.isEmpty());
    QVERIFY(low.size() < middle.size());
    QVERIFY(middle.size() < high.size());
    // Out-of-range qualities fall back to the default of 75.
    const QByteArray standard = savedBytes(75);
    QCOMPARE(savedBytes(0), standard);
    QCOMPARE(savedBytes(101), standard);
    QVERIFY(standard != middle);
}

void TestJpeg::reducedDecode_data()
{
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("hint");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("no hint") << QSize(800, 600) << 1 << QSize(0, 0) << QSize(800, 600);
    QTest::newRow("eighth") << QSize(800, 600) << 1 << QSize(100, 100) << QSize(100, 75);
    QTest::newRow("eighth, height decides") << QSize(800, 600) << 1 << QSize(101, 75) << QSize(100, 75);
    QTest::newRow("quarter") << QSize(800, 600) << 1 << QSize(200, 200) << QSize(200, 150);
    QTest::newRow("wide cell") << QSize(800, 600) << 1 << QSize(300, 100) << QSize(200, 150);
    QTest::newRow("five eighths") << QSize(800, 600) << 1 << QSize(500, 500) << QSize(500, 375);
    QTest::newRow("just below full") << QSize(800, 600) << 1 << QSize(799, 599) << QSize(800, 600);
    QTest::newRow("larger than picture") << QSize(800, 600) << 1 << QSize(2000, 2000) << QSize(800, 600);
    QTest::newRow("odd size rounds up") << QSize(801, 601) << 1 << QSize(100, 100) << QSize(101, 76);
    QTest::newRow("on its side") << QSize(800, 600) << 6 << QSize(100, 200) << QSize(150, 200);
}

void TestJpeg::reducedDecode()
{
    QFETCH(QSize, stored);
    QFETCH(int, orientation);
    QFETCH(QSize, hint);
    QFETCH(QSize, expected);
    EncodeOptions options;
    options.app1 = exifBlock(orientation);
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("big.jpg"),
                                              encodeJpeg(rawOf(testPattern(stored.width(), stored.height())), options));
    QCOMPARE(flmSetLoadSizeHint(m_handle, hint.width(), hint.height()), 0);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideSize(m_handle), expected);
}

void TestJpeg::exifThumbnail_data()
{
    QTest::addColumn<QSize>("thumbnail");
    QTest::addColumn<QSize>("hint");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("cutThumbnail");
    QTest::addColumn<bool>("cutMainData");
    QTest::addColumn<bool>("fromThumbnail");
    QTest::addColumn<QSize>("expected");
    // The picture is 640 x 480 and red; its thumbnail is blue.
    QTest::newRow("thumbnail, reduced") << QSize(160, 120) << QSize(100, 100) << 1 << false << false << true
                                        << QSize(100, 75);
    QTest::newRow("thumbnail, just large enough")
        << QSize(160, 120) << QSize(160, 160) << 1 << false << false << true << QSize(160, 120);
    QTest::newRow("thumbnail too small") << QSize(160, 120) << QSize(200, 200) << 1 << false << false << false
                                         << QSize(240, 180);
    QTest::newRow("thumbnail with bars") << QSize(160, 90) << QSize(100, 100) << 1 << false << false << false
                                         << QSize(160, 120);
    QTest::newRow("aspect within 2%") << QSize(162, 120) << QSize(100, 100) << 1 << false << false << true
                                      << QSize(102, 75);
    QTest::newRow("aspect off by 5%") << QSize(168, 120) << QSize(100, 100) << 1 << false << false << false
                                      << QSize(160, 120);
    QTest::newRow("thumbnail cut short") << QSize(160, 120) << QSize(100, 100) << 1 << true << false << false
                                         << QSize(160, 120);
    QTest::newRow("full size asked") << QSize(160, 120) << QSize(0, 0) << 1 << false << false << false
                                     << QSize(640, 480);
    QTest::newRow("thumbnail turned upright")
        << QSize(160, 120) << QSize(100, 100) << 6 << false << false << true << QSize(75, 100);
    // With the picture's data cut away only the thumbnail can give a picture: proof that the
    // rest of the file was not needed.
    QTest::newRow("main data missing") << QSize(160, 120) << QSize(100, 100) << 1 << false << true << true
                                       << QSize(100, 75);
    QTest::newRow("main data missing, too small")
        << QSize(160, 120) << QSize(300, 300) << 1 << false << true << false << QSize();
}

void TestJpeg::exifThumbnail()
{
    QFETCH(QSize, thumbnail);
    QFETCH(QSize, hint);
    QFETCH(int, orientation);
    QFETCH(bool, cutThumbnail);
    QFETCH(bool, cutMainData);
    QFETCH(bool, fromThumbnail);
    QFETCH(QSize, expected);
    const QRgb red = qRgb(220, 30, 30);
    const QRgb blue = qRgb(30, 30, 220);
    QByteArray small = encodeJpeg(rawOf(flatImage(thumbnail.width(), thumbnail.height(), blue)));
    if (cutThumbnail) {
        const qsizetype data = scanData(small, markerOffset(small, 0xDA));
        small.truncate(data + (small.size() - data) / 2);
    }
    EncodeOptions options;
    options.app1 = exifBlock(orientation, small);
    QByteArray file = encodeJpeg(rawOf(flatImage(640, 480, red)), options);
    if (cutMainData)
        file.truncate(scanData(file, file.lastIndexOf("\xFF\xDA")));
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("camera.jpg"), file);
    QCOMPARE(flmSetLoadSizeHint(m_handle, hint.width(), hint.height()), 0);
    if (expected.isEmpty()) {
        QVERIFY(flmLoadFromFile(m_handle, path) != 0);
        return;
    }
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideSize(m_handle), expected);
    // However reduced, the picture knows the size it has in the file, upright.
    int source[2] = {};
    QCOMPARE(flmGetSourceSize(m_handle, source), 0);
    QCOMPARE(QSize(source[0], source[1]), orientation >= 5 ? QSize(480, 640) : QSize(640, 480));
    const QImage image = imagetest::currentSlide(m_handle);
    const QRgb centre = image.pixel(image.width() / 2, image.height() / 2);
    QVERIFY2(imagetest::near(centre, fromThumbnail ? blue : red, kColourTolerance), qPrintable(hex(centre)));
}

void TestJpeg::loadReadsEachByteOnce_data()
{
    QTest::addColumn<QSize>("thumbnail"); // empty: none
    QTest::addColumn<QSize>("hint");
    QTest::addColumn<bool>("headOnly"); // the EXIF thumbnail serves: the picture's data is never read

    QTest::newRow("thumbnail serves a list cell") << QSize(160, 120) << QSize(66, 66) << true;
    QTest::newRow("thumbnail with bars, reduced decode") << QSize(160, 90) << QSize(66, 66) << false;
    QTest::newRow("no thumbnail, reduced decode") << QSize() << QSize(66, 66) << false;
    QTest::newRow("full size") << QSize(160, 120) << QSize() << false;
}

// A load opens the file once and reads on from where it stopped: no byte is read twice, and a
// thumbnail that serves leaves the rest of a camera file unread.
void TestJpeg::loadReadsEachByteOnce()
{
    QFETCH(QSize, thumbnail);
    QFETCH(QSize, hint);
    QFETCH(bool, headOnly);
    EncodeOptions options;
    options.app1 = exifBlock(
        1, thumbnail.isEmpty() ? QByteArray() : encodeJpeg(rawOf(testPattern(thumbnail.width(), thumbnail.height()))));
    // Noise keeps the picture's data far larger than the marker segments before it.
    const QByteArray file = encodeJpeg(rawOf(imagetest::noise(800, 600)), options);
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("camera.jpg"), file);
    CBmpEx picture;
    picture.setLoadSizeHint(hint);
    const qint64 before = bytesReadSoFar();
    QVERIFY(before >= 0);
    QVERIFY(picture.Load(path));
    const qint64 read = bytesReadSoFar() - before;
    QVERIFY2(read <= file.size() + kCountingBytes,
             qPrintable(QStringLiteral("%1 of %2 bytes").arg(read).arg(file.size())));
    QVERIFY2(headOnly ? read < file.size() / 2 : read >= file.size(),
             qPrintable(QStringLiteral("%1 of %2 bytes").arg(read).arg(file.size())));
}

void TestJpeg::orientation_data()
{
    QTest::addColumn<int>("orientation");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<QList<QRgb>>("corners"); // top left, top right, bottom left, bottom right
    // The stored picture has red, green, blue and white quarters, in that reading order.
    const QRgb r = qRgb(255, 0, 0);
    const QRgb g = qRgb(0, 255, 0);
    const QRgb b = qRgb(0, 0, 255);
    const QRgb w = qRgb(255, 255, 255);
    QTest::newRow("1 upright") << 1 << false << QList<QRgb>{r, g, b, w};
    QTest::newRow("2 mirrored") << 2 << false << QList<QRgb>{g, r, w, b};
    QTest::newRow("3 half turn") << 3 << false << QList<QRgb>{w, b, g, r};
    QTest::newRow("4 flipped") << 4 << false << QList<QRgb>{b, w, r, g};
    QTest::newRow("5 transposed") << 5 << false << QList<QRgb>{r, b, g, w};
    QTest::newRow("6 quarter turn") << 6 << false << QList<QRgb>{b, r, w, g};
    QTest::newRow("6 quarter turn, big-endian EXIF") << 6 << true << QList<QRgb>{b, r, w, g};
    QTest::newRow("7 transversed") << 7 << false << QList<QRgb>{w, g, b, r};
    QTest::newRow("8 three quarters") << 8 << false << QList<QRgb>{g, w, r, b};
}

void TestJpeg::orientation()
{
    QFETCH(int, orientation);
    QFETCH(bool, bigEndian);
    QFETCH(QList<QRgb>, corners);
    QImage quarters(64, 32, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x)
            quarters.setPixel(x, y, colours[(y / 16) * 2 + x / 32]);
    }
    EncodeOptions options;
    options.app1 = exifBlock(orientation, {}, bigEndian ? QSysInfo::BigEndian : QSysInfo::LittleEndian);
    const QString path =
        imagetest::writeFile(m_dir, QStringLiteral("turned.jpg"), encodeJpeg(rawOf(quarters), options));
    const QSize upright = orientation >= 5 ? QSize(32, 64) : QSize(64, 32);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info), 0);
    QCOMPARE(QSize(info.width, info.height), upright);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideSize(m_handle), upright);
    const QImage image = imagetest::currentSlide(m_handle);
    const int right = image.width() - 3;
    const int bottom = image.height() - 3;
    const QPoint points[] = {{2, 2}, {right, 2}, {2, bottom}, {right, bottom}};
    for (int i = 0; i < 4; ++i) {
        const QRgb actual = image.pixel(points[i]);
        QVERIFY2(imagetest::near(actual, corners[i], kColourTolerance),
                 qPrintable(QStringLiteral("corner %1: %2").arg(i).arg(hex(actual))));
    }
}

void TestJpeg::hostileExif_data()
{
    QTest::addColumn<QByteArray>("app1");
    QTest::addColumn<QSize>("expected");
    const QByteArray header("Exif\0\0II*\0", 10);
    QByteArray loop = header;
    imagetest::append32(loop, 8);
    imagetest::append16(loop, 1);
    appendEntry(loop, 0x0112, 3, 6);
    imagetest::append32(loop, 8); // IFD1 is IFD0 again
    QByteArray manyEntries = header;
    imagetest::append32(manyEntries, 8);
    imagetest::append16(manyEntries, 0xFFFF);
    appendEntry(manyEntries, 0x0112, 3, 8);
    QByteArray longOrientation = header;
    imagetest::append32(longOrientation, 8);
    imagetest::append16(longOrientation, 1);
    appendEntry(longOrientation, 0x0112, 4, 6);
    imagetest::append32(longOrientation, 0);
    QByteArray thumbnailOutside = exifBlock(1, QByteArray(64, '\xFF'));
    thumbnailOutside.truncate(thumbnailOutside.size() - 32);
    QByteArray ifdOutside = header;
    imagetest::append32(ifdOutside, 0xFFFFFFF0);

    QTest::newRow("IFD1 loops to IFD0") << loop << QSize(40, 48);
    QTest::newRow("entry count past the end") << manyEntries << QSize(40, 48);
    QTest::newRow("orientation 9") << exifBlock(9) << QSize(48, 40);
    QTest::newRow("orientation as LONG") << longOrientation << QSize(40, 48);
    QTest::newRow("thumbnail past the end") << thumbnailOutside << QSize(48, 40);
    QTest::newRow("thumbnail not a JPEG") << exifBlock(1, QByteArray(300, 'x')) << QSize(48, 40);
    QTest::newRow("IFD0 far outside") << ifdOutside << QSize(48, 40);
    QTest::newRow("header only") << QByteArray("Exif\0\0MM", 8) << QSize(48, 40);
    QTest::newRow("bad byte order") << QByteArray("Exif\0\0XX*\0\x08\0\0\0", 14) << QSize(48, 40);
}

void TestJpeg::hostileExif()
{
    QFETCH(QByteArray, app1);
    QFETCH(QSize, expected);
    EncodeOptions options;
    options.app1 = app1;
    const QString path =
        imagetest::writeFile(m_dir, QStringLiteral("exif.jpg"), encodeJpeg(rawOf(testPattern(48, 40)), options));
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info), 0);
    QCOMPARE(QSize(info.width, info.height), expected);
    QCOMPARE(flmSetLoadSizeHint(m_handle, 6, 6), 0);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideSize(m_handle), QSize((expected.width() + 7) / 8, (expected.height() + 7) / 8));
}

enum class Cut {
    Empty,
    Soi,
    Signature,
    InsideFrame,
    BeforeScan,
    InsideScanHeader,
    AfterScanHeader,
    MiddleOfData,
    NoEndMarker
};

void TestJpeg::truncated_data()
{
    QTest::addColumn<int>("cut");
    QTest::addColumn<bool>("progressive");
    QTest::addColumn<bool>("headerReadable");
    QTest::addColumn<bool>("loads");
    QTest::newRow("zero length") << int(Cut::Empty) << false << false << false;
    QTest::newRow("start marker only") << int(Cut::Soi) << false << false << false;
    QTest::newRow("signature only") << int(Cut::Signature) << false << false << false;
    QTest::newRow("inside frame header") << int(Cut::InsideFrame) << false << false << false;
    QTest::newRow("before the scan") << int(Cut::BeforeScan) << false << false << false;
    QTest::newRow("inside scan header") << int(Cut::InsideScanHeader) << false << true << false;
    QTest::newRow("no scan data") << int(Cut::AfterScanHeader) << false << true << false;
    QTest::newRow("half the data") << int(Cut::MiddleOfData) << false << true << true;
    QTest::newRow("no end marker") << int(Cut::NoEndMarker) << false << true << true;
    QTest::newRow("progressive, no scan data") << int(Cut::AfterScanHeader) << true << true << false;
    QTest::newRow("progressive, half the data") << int(Cut::MiddleOfData) << true << true << true;
}

void TestJpeg::truncated()
{
    QFETCH(int, cut);
    QFETCH(bool, progressive);
    QFETCH(bool, headerReadable);
    QFETCH(bool, loads);
    const QImage pattern = testPattern(96, 64);
    EncodeOptions options;
    options.progressive = progressive;
    const QByteArray whole = encodeJpeg(rawOf(pattern), options);
    const qsizetype frame = markerOffset(whole, 0xC0) >= 0 ? markerOffset(whole, 0xC0) : markerOffset(whole, 0xC2);
    const qsizetype scan = markerOffset(whole, 0xDA);
    const qsizetype data = scanData(whole, scan);
    const qsizetype lengths[] = {
        0, 2, 3, frame + 6, scan, scan + 4, data, data + (whole.size() - data) / 2, whole.size() - 2};
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("cut.jpg"), whole.first(lengths[cut]));

    // The handle holds a picture before; a failed load must leave it there.
    QCOMPARE(flmLoadFromFile(m_handle, m_good), 0);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info) == 0, headerReadable);
    if (headerReadable)
        QCOMPARE(QSize(info.width, info.height), pattern.size());
    QCOMPARE(flmLoadFromFile(m_handle, path) == 0, loads);
    if (loads) {
        QCOMPARE(imagetest::slideSize(m_handle), pattern.size());
        // The rows before the cut are the picture's own.
        const QImage top = imagetest::currentSlide(m_handle).copy(0, 0, 96, 16);
        QVERIFY(imagetest::meanDifference(top, pattern.copy(0, 0, 96, 16).convertToFormat(top.format())) < 12);
    } else {
        QCOMPARE(imagetest::slideSize(m_handle), QSize(48, 40));
    }
    QCOMPARE(flmLoadFromFile(m_handle, m_good), 0);
    QCOMPARE(imagetest::slideSize(m_handle), QSize(48, 40));
}

void TestJpeg::garbage_data()
{
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<int>("noise");
    QTest::addColumn<quint32>("seed");
    const QByteArray good = encodeJpeg(rawOf(testPattern(48, 40)));
    const QByteArray header = good.first(markerOffset(good, 0xDA) + 14);
    QByteArray huge = good;
    const qsizetype frame = markerOffset(huge, 0xC0);
    huge[frame + 5] = huge[frame + 7] = char(0xFD); // about 65000 x 65000 pixels
    for (quint32 seed = 1; seed <= 4; ++seed) {
        QTest::addRow("signature and noise %u", seed) << QByteArray("\xFF\xD8\xFF") << int(seed * seed * 3000) << seed;
        QTest::addRow("header and noise %u", seed) << header << int(seed * 4000) << seed;
    }
    QTest::newRow("segment longer than the file") << QByteArray("\xFF\xD8\xFF\xE1\xFF\xFF"
                                                                "Exif\0\0",
                                                                12)
                                                  << 100 << 7u;
    QTest::newRow("picture too large") << huge << 0 << 0u;
}

void TestJpeg::garbage()
{
    QFETCH(QByteArray, prefix);
    QFETCH(int, noise);
    QFETCH(quint32, seed);
    QByteArray bytes = prefix;
    QRandomGenerator random(seed);
    for (int i = 0; i < noise; ++i)
        bytes.append(char(random.bounded(256)));
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("noise.jpg"), bytes);
    // Anything may come of noise but a crash or a hang; the handle must stay usable.
    FlmFileInfo info;
    flmGetFileInfo(m_handle, path, &info);
    if (flmLoadFromFile(m_handle, path) == 0)
        QVERIFY(!imagetest::slideSize(m_handle).isEmpty());
    QCOMPARE(flmSetLoadSizeHint(m_handle, 16, 16), 0);
    flmLoadFromFile(m_handle, path);
    QCOMPARE(flmSetLoadSizeHint(m_handle, 0, 0), 0);
    QCOMPARE(flmLoadFromFile(m_handle, m_good), 0);
    QCOMPARE(imagetest::slideSize(m_handle), QSize(48, 40));
}

void TestJpeg::cmyk_data()
{
    QTest::addColumn<int>("storedSpace");
    QTest::addColumn<QRgb>("colour");     // the colour printed by the inks below
    QTest::addColumn<QByteArray>("inks"); // C, M, Y, K amounts, 255 = full ink
    QTest::newRow("cyan") << int(JCS_CMYK) << qRgb(0, 255, 255) << QByteArray("\xFF\0\0\0", 4);
    QTest::newRow("red") << int(JCS_CMYK) << qRgb(255, 0, 0) << QByteArray("\0\xFF\xFF\0", 4);
    QTest::newRow("half black") << int(JCS_CMYK) << qRgb(128, 128, 128) << QByteArray("\0\0\0\x7F", 4);
    QTest::newRow("YCCK yellow") << int(JCS_YCCK) << qRgb(255, 255, 0) << QByteArray("\0\0\xFF\0", 4);
}

void TestJpeg::cmyk()
{
    QFETCH(int, storedSpace);
    QFETCH(QRgb, colour);
    QFETCH(QByteArray, inks);
    // Files with an Adobe marker (libjpeg writes one for CMYK) hold the inks inverted.
    RawPicture raw{32, 16, 4, JCS_CMYK, {}};
    for (int i = 0; i < raw.width * raw.height; ++i) {
        for (char ink : inks)
            raw.samples.append(char(255 - uchar(ink)));
    }
    EncodeOptions options;
    options.storedSpace = J_COLOR_SPACE(storedSpace);
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("cmyk.jpg"), encodeJpeg(raw, options));
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info), 0);
    QCOMPARE(info.bitsPerPixel, 24);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    const QRgb actual = imagetest::currentSlide(m_handle).pixel(16, 8);
    QVERIFY2(imagetest::near(actual, colour, 6), qPrintable(hex(actual)));
}

enum class Layout { Colour420, Colour444, Grey, DcScanPerComponent };
enum class Damage { None, CutAfterDcScans, AcScanBroken, CutBeforeFirstScanData, CutInsideFirstScan };

void TestJpeg::progressiveReduced_data()
{
    QTest::addColumn<int>("layout");
    QTest::addColumn<int>("damage");
    QTest::addColumn<QSize>("hint");
    QTest::addColumn<QSize>("expected"); // empty: the load fails
    QTest::addColumn<double>("tolerance");
    // The picture is 512 x 384; a hint of 64 takes 1/8 scale, 128 takes 2/8.
    const QSize eighth(64, 64);
    const QSize none(0, 0);
    const int colour = int(Layout::Colour420);
    QTest::newRow("4:2:0") << colour << int(Damage::None) << eighth << QSize(64, 48) << 2.0;
    QTest::newRow("4:4:4") << int(Layout::Colour444) << int(Damage::None) << eighth << QSize(64, 48) << 2.0;
    QTest::newRow("grey") << int(Layout::Grey) << int(Damage::None) << eighth << QSize(64, 48) << 2.0;
    QTest::newRow("DC scan per component")
        << int(Layout::DcScanPerComponent) << int(Damage::None) << eighth << QSize(64, 48) << 2.0;
    QTest::newRow("quarter scale") << colour << int(Damage::None) << QSize(128, 128) << QSize(128, 96) << 2.0;
    // Past the DC scans nothing is read at 1/8 scale: only a full decode meets the damage.
    QTest::newRow("cut after the DC scans") << colour << int(Damage::CutAfterDcScans) << eighth << QSize(64, 48) << 2.0;
    QTest::newRow("cut after the DC scans, full size")
        << colour << int(Damage::CutAfterDcScans) << none << QSize(512, 384) << 6.0;
    QTest::newRow("cut after the DC scans of each component")
        << int(Layout::DcScanPerComponent) << int(Damage::CutAfterDcScans) << eighth << QSize(64, 48) << 2.0;
    QTest::newRow("AC scan broken") << colour << int(Damage::AcScanBroken) << eighth << QSize(64, 48) << 2.0;
    QTest::newRow("AC scan broken, full size") << colour << int(Damage::AcScanBroken) << none << QSize() << 0.0;
    QTest::newRow("AC scan broken, quarter scale")
        << colour << int(Damage::AcScanBroken) << QSize(128, 128) << QSize() << 0.0;
    QTest::newRow("no scan data") << colour << int(Damage::CutBeforeFirstScanData) << eighth << QSize() << 0.0;
    QTest::newRow("cut inside the first scan") << colour << int(Damage::CutInsideFirstScan) << eighth << QSize() << 0.0;
}

void TestJpeg::progressiveReduced()
{
    QFETCH(int, layout);
    QFETCH(int, damage);
    QFETCH(QSize, hint);
    QFETCH(QSize, expected);
    QFETCH(double, tolerance);
    EncodeOptions options;
    options.progressive = true;
    options.fullChroma = Layout(layout) == Layout::Colour444;
    if (Layout(layout) == Layout::DcScanPerComponent)
        options.scans = kDcScanPerComponent;
    const QByteArray whole = encodeJpeg(rawOf(testPattern(512, 384, Layout(layout) == Layout::Grey)), options);
    QCOMPARE(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, QStringLiteral("whole.jpg"), whole)), 0);
    const QImage full = imagetest::currentSlide(m_handle);

    QByteArray damaged = whole;
    const qsizetype acScan = firstAcScan(whole);
    const qsizetype firstData = scanData(whole, markerOffset(whole, 0xDA));
    QVERIFY(acScan > firstData);
    switch (Damage(damage)) {
    case Damage::None:
        break;
    case Damage::CutAfterDcScans:
        damaged.truncate(acScan);
        break;
    case Damage::AcScanBroken:
        damaged[spectrumStart(whole, acScan) + 1] = char(64); // Se past the last coefficient
        break;
    case Damage::CutBeforeFirstScanData:
        damaged.truncate(firstData);
        break;
    case Damage::CutInsideFirstScan:
        damaged.truncate(firstData + 4);
        break;
    }
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("progressive.jpg"), damaged);
    QCOMPARE(flmSetLoadSizeHint(m_handle, hint.width(), hint.height()), 0);
    if (expected.isEmpty()) {
        QVERIFY(flmLoadFromFile(m_handle, path) != 0);
        // The old picture whole, or nothing when the failed decode had taken its pixels.
        const QSize left = imagetest::slideSize(m_handle);
        QVERIFY(left == full.size() || left.isEmpty());
        if (!left.isEmpty())
            QCOMPARE(imagetest::currentSlide(m_handle), full);
        return;
    }
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideSize(m_handle), expected);
    const double difference = imagetest::meanDifference(
        imagetest::currentSlide(m_handle), full.scaled(expected, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QVERIFY2(difference <= tolerance, qPrintable(QString::number(difference)));
}

void TestJpeg::cancel_data()
{
    QTest::addColumn<bool>("progressive");
    QTest::addColumn<QSize>("hint");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("baseline") << false << QSize(0, 0) << QSize(400, 300);
    QTest::newRow("progressive") << true << QSize(0, 0) << QSize(400, 300);
    QTest::newRow("progressive, DC scans only") << true << QSize(50, 50) << QSize(50, 38);
}

void TestJpeg::cancel()
{
    QFETCH(bool, progressive);
    QFETCH(QSize, hint);
    QFETCH(QSize, expected);
    EncodeOptions options;
    options.progressive = progressive;
    const QString path =
        imagetest::writeFile(m_dir, QStringLiteral("large.jpg"), encodeJpeg(rawOf(testPattern(400, 300)), options));
    QCOMPARE(flmLoadFromFile(m_handle, m_good), 0);
    QCOMPARE(flmSetLoadSizeHint(m_handle, hint.width(), hint.height()), 0);
    QCOMPARE(flmSetCallback(m_handle, imagetest::cancelAtProgress, nullptr), 0);
    QVERIFY(flmLoadFromFile(m_handle, path) != 0);
    QCOMPARE(imagetest::slideSize(m_handle), QSize(48, 40));
    QCOMPARE(flmSetCallback(m_handle, nullptr, nullptr), 0);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideSize(m_handle), expected);
}

void TestJpeg::independentReader_data()
{
    QTest::addColumn<bool>("grey");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("colour JPEG") << false << int(kFlmJpeg) << QStringLiteral("JPEG 120 80 TrueColor 2x2,1x1,1x1 85");
    QTest::newRow("grey JPEG") << true << int(kFlmJpeg) << QStringLiteral("JPEG 120 80 Grayscale 1x1 85");
    QTest::newRow("grey PNG") << true << int(kFlmPng) << QStringLiteral("PNG 120 80 Grayscale");
}

void TestJpeg::independentReader()
{
    QFETCH(bool, grey);
    QFETCH(int, format);
    QFETCH(QString, expected);
    const QString gm = QStandardPaths::findExecutable(QStringLiteral("gm"));
    if (gm.isEmpty())
        QSKIP("GraphicsMagick (gm) is not installed");
    QCOMPARE(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, QStringLiteral("in.jpg"),
                                                            encodeJpeg(rawOf(testPattern(120, 80, grey))))),
             0);
    const QString path = imagetest::save(m_handle, m_dir, QStringLiteral("written"), format, 85);
    QVERIFY(!path.isEmpty());
    const QString fields = format == kFlmJpeg ? QStringLiteral("%m %w %h %r %[JPEG-Sampling-factors] %[JPEG-Quality]")
                                              : QStringLiteral("%m %w %h %r");
    QCOMPARE(imagetest::identify(gm, fields, path), expected);
}

QTEST_GUILESS_MAIN(TestJpeg)
#include "tst_jpeg.moc"
