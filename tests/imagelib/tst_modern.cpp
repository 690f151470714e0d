#include <algorithm>
#include <memory>

#include <QRect>
#include <QTemporaryDir>
#include <QTest>
#include <QTransform>

#include <libheif/heif.h>
#include <webp/encode.h>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"
#include "imagelib/limits.h"

namespace {

template <auto release> struct Releaser {
    template <typename Object> void operator()(Object* object) const { release(object); }
};

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kGreen = qRgb(0, 255, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);

// Red, green, blue and white quarters in reading order; with alpha the green one is half
// transparent and the blue one fully transparent. Unpremultiplied, as encoders take it.
QImage quarters(int width, int height, bool alpha)
{
    const QRgb colours[] = {kRed, alpha ? qRgba(0, 255, 0, 128) : kGreen, alpha ? qRgba(0, 0, 255, 0) : kBlue, kWhite};
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, colours[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)]);
    }
    return image;
}

// Largest channel difference of two pictures, premultiplied, leaving out the pixels within
// `margin` of the lines between the quarters, where lossy coding smears the colours; 256 when the
// sizes differ.
int worstDifference(const QImage& actual, const QImage& expected, int margin)
{
    if (actual.size() != expected.size())
        return 256;
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (qAbs(2 * x + 1 - a.width()) < 2 * margin || qAbs(2 * y + 1 - a.height()) < 2 * margin)
                continue;
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            worst = std::max({worst, qAbs(qRed(p) - qRed(q)), qAbs(qGreen(p) - qGreen(q)), qAbs(qBlue(p) - qBlue(q)),
                              qAbs(qAlpha(p) - qAlpha(q))});
        }
    }
    return worst;
}

// quality < 0: lossless.
QByteArray encodeWebP(const QImage& picture, int quality)
{
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    uint8_t* output = nullptr;
    const size_t size = quality < 0 ? WebPEncodeLosslessRGBA(rgba.constBits(), rgba.width(), rgba.height(),
                                                             int(rgba.bytesPerLine()), &output)
                                    : WebPEncodeRGBA(rgba.constBits(), rgba.width(), rgba.height(),
                                                     int(rgba.bytesPerLine()), float(quality), &output);
    const QByteArray bytes(reinterpret_cast<const char*>(output), qsizetype(size));
    WebPFree(output);
    return bytes;
}

void append24(QByteArray& bytes, quint32 value)
{
    for (int shift = 0; shift < 24; shift += 8)
        bytes += char(value >> shift);
}

QByteArray chunk(const char* fourcc, const QByteArray& payload)
{
    QByteArray bytes(fourcc, 4);
    imagetest::append32(bytes, quint32(payload.size()));
    bytes += payload;
    if (payload.size() % 2)
        bytes += '\0';
    return bytes;
}

QByteArray riff(const QByteArray& chunks)
{
    QByteArray bytes("RIFF");
    imagetest::append32(bytes, quint32(4 + chunks.size()));
    return bytes + "WEBP" + chunks;
}

struct AnimationFrame {
    QRect rect; // x and y even, as the format stores them halved
    QRgb colour;
    int durationMs = 100;
    bool disposeToBackground = false;
    int keptBytes = -1; // of the frame's coded pixels, -1 all
};

QByteArray buildAnimation(QSize canvas, const QList<AnimationFrame>& frames)
{
    QByteArray header(4, '\0');
    header[0] = 0x12; // animation, alpha
    append24(header, quint32(canvas.width() - 1));
    append24(header, quint32(canvas.height() - 1));
    QByteArray chunks = chunk("VP8X", header) + chunk("ANIM", QByteArray(6, '\0'));
    for (const AnimationFrame& frame : frames) {
        QByteArray payload;
        append24(payload, quint32(frame.rect.x() / 2));
        append24(payload, quint32(frame.rect.y() / 2));
        append24(payload, quint32(frame.rect.width() - 1));
        append24(payload, quint32(frame.rect.height() - 1));
        append24(payload, quint32(frame.durationMs));
        payload += char(frame.disposeToBackground ? 1 : 0);
        QImage image(frame.rect.size(), QImage::Format_ARGB32);
        image.fill(frame.colour);
        // The frame's lossless data, without the headers of the file and of its chunk.
        const QByteArray coded = encodeWebP(image, -1).mid(20);
        payload += chunk("VP8L", frame.keptBytes < 0 ? coded : coded.left(frame.keptBytes));
        chunks += chunk("ANMF", payload);
    }
    return riff(chunks);
}

// A red canvas, a green square in its lower right corner that is cleared after it is shown, then
// a blue square in the upper left corner, of which `bluesKept` bytes of coded pixels are left.
QByteArray threeFrames(int bluesKept = -1)
{
    return buildAnimation({4, 4}, {{QRect(0, 0, 4, 4), kRed, 100},
                                   {QRect(2, 2, 2, 2), kGreen, 250, true},
                                   {QRect(0, 0, 2, 2), kBlue, 40, false, bluesKept}});
}

// Expected slides written as letters: r g b w, '.' transparent.
QImage lettered(int width, const QByteArray& pixels)
{
    QImage image(width, int(pixels.size()) / width, QImage::Format_ARGB32_Premultiplied);
    const QRgb colours[] = {kRed, kGreen, kBlue, kWhite, 0};
    for (int i = 0; i < pixels.size(); ++i)
        image.setPixel(i % width, i / width, colours[QByteArrayView("rgbw.").indexOf(pixels[i])]);
    return image;
}

heif_error appendToArray(heif_context*, const void* data, size_t size, void* array)
{
    static_cast<QByteArray*>(array)->append(static_cast<const char*>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

constexpr const char* kNoHeif = "libheif here cannot write this coding, or cannot read it";

// The picture coded by libheif, shown turned as the EXIF-numbered orientation says; empty when
// this libheif cannot write it or cannot read it back.
QByteArray encodeHeif(const QImage& picture, heif_compression_format compression, int orientation = 1, int depth = 8)
{
    const std::unique_ptr<heif_context, Releaser<heif_context_free>> context(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    if (!heif_have_decoder_for_format(compression) ||
        heif_context_get_encoder_for_format(context.get(), compression, &rawEncoder).code != heif_error_Ok)
        return {};
    const std::unique_ptr<heif_encoder, Releaser<heif_encoder_release>> encoder(rawEncoder);
    heif_encoder_set_lossy_quality(encoder.get(), 90);
    if (compression == heif_compression_AV1)
        heif_encoder_set_parameter_integer(encoder.get(), "speed", 8);

    const bool alpha = picture.hasAlphaChannel();
    const heif_chroma chroma = depth == 8
                                   ? (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB)
                                   : (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE);
    heif_image* rawImage = nullptr;
    if (heif_image_create(picture.width(), picture.height(), heif_colorspace_RGB, chroma, &rawImage).code !=
        heif_error_Ok)
        return {};
    const std::unique_ptr<heif_image, Releaser<heif_image_release>> image(rawImage);
    if (heif_image_add_plane(image.get(), heif_channel_interleaved, picture.width(), picture.height(), depth).code !=
        heif_error_Ok)
        return {};
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    const int maximum = (1 << depth) - 1;
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < picture.height(); ++y) {
        uint8_t* out = plane + y * stride;
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            const int values[] = {qRed(pixel), qGreen(pixel), qBlue(pixel), qAlpha(pixel)};
            for (int channel = 0; channel < channels; ++channel) {
                const int value = (values[channel] * maximum + 127) / 255;
                *out++ = uint8_t(value);
                if (depth > 8)
                    *out++ = uint8_t(value >> 8); // little-endian samples
            }
        }
    }
    const std::unique_ptr<heif_encoding_options, Releaser<heif_encoding_options_free>> options(
        heif_encoding_options_alloc());
    options->image_orientation = heif_orientation(orientation);
    QByteArray bytes;
    heif_writer writer{1, appendToArray};
    if (heif_context_encode_image(context.get(), image.get(), encoder.get(), options.get(), nullptr).code !=
            heif_error_Ok ||
        heif_context_write(context.get(), &writer, &bytes).code != heif_error_Ok)
        return {};
    return bytes;
}

// The stored picture as a viewer shows it under an EXIF-numbered orientation.
QImage oriented(const QImage& stored, int orientation)
{
    switch (orientation) {
    case 2:
        return stored.mirrored(true, false);
    case 6:
        return stored.transformed(QTransform().rotate(90));
    case 7:
        return stored.transformed(QTransform().rotate(90)).mirrored(false, true);
    default:
        return stored;
    }
}

// Writes a new width and height into every stored-size property.
QByteArray withStoredSize(QByteArray heif, quint32 width, quint32 height)
{
    for (qsizetype at = heif.indexOf("ispe"); at >= 0; at = heif.indexOf("ispe", at + 4)) {
        QByteArray size;
        imagetest::append32(size, width, QSysInfo::BigEndian);
        imagetest::append32(size, height, QSysInfo::BigEndian);
        heif.replace(at + 8, 8, size);
    }
    return heif;
}

QByteArray fileType(const QByteArray& major, const QList<QByteArray>& compatible, int declaredSize = -1)
{
    QByteArray brands = major + QByteArray(4, '\0');
    for (const QByteArray& brand : compatible)
        brands += brand;
    QByteArray box;
    imagetest::append32(box, quint32(declaredSize < 0 ? 8 + brands.size() : declaredSize), QSysInfo::BigEndian);
    return box + "ftyp" + brands;
}

// Pictures whose coded pixels fill most of the file.
void addSampleRows()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: libheif cannot write or read the format
    QTest::newRow("lossy WebP") << encodeWebP(imagetest::noise(48, 40), 80);
    QTest::newRow("lossless WebP with alpha") << encodeWebP(quarters(24, 20, true), -1);
    QTest::newRow("animated WebP") << threeFrames();
    QTest::newRow("HEIC") << encodeHeif(imagetest::noise(64, 48), heif_compression_HEVC);
    QTest::newRow("AVIF") << encodeHeif(imagetest::noise(64, 48), heif_compression_AV1);
}

} // namespace

class TestModern : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void webpStill_data();
    void webpStill();
    void webpAnimation_data();
    void webpAnimation();
    void webpSlidesCapped();
    void hostile_data();
    void hostile();
    void heif_data();
    void heif();
    void brands_data();
    void brands();
    void truncation_data();
    void truncation();
    void cancel_data();
    void cancel();

private:
    QString writeFile(const QByteArray& bytes) const;
    void checkHeader(const QString& path, int format, QSize size, int bits);

    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestModern::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

// No extension: the content alone must tell the format.
QString TestModern::writeFile(const QByteArray& bytes) const
{
    return imagetest::writeFile(m_dir, QStringLiteral("case"), bytes);
}

void TestModern::checkHeader(const QString& path, int format, QSize size, int bits)
{
    int sniffed = -1;
    QVERIFY(flmCanOpen(m_handle, path, &sniffed) != 0);
    QCOMPARE(sniffed, format);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info), 0);
    QCOMPARE(info.format, format);
    QCOMPARE(QSize(info.width, info.height), size);
    QCOMPARE(info.bitsPerPixel, bits);
}

void TestModern::webpStill_data()
{
    QTest::addColumn<int>("quality"); // < 0: lossless
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<int>("margin");

    QTest::newRow("lossless") << -1 << false << 0 << 0;
    QTest::newRow("lossless with alpha") << -1 << true << 0 << 0;
    QTest::newRow("lossy") << 90 << false << 4 << 4;
    QTest::newRow("lossy with alpha") << 90 << true << 4 << 4;
}

void TestModern::webpStill()
{
    QFETCH(int, quality);
    QFETCH(bool, alpha);
    QFETCH(int, tolerance);
    QFETCH(int, margin);
    const QImage picture = quarters(48, 40, alpha);
    const QString path = writeFile(encodeWebP(picture, quality));
    checkHeader(path, kFlmWebP, picture.size(), alpha ? 32 : 24);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideCount(m_handle), 1);
    const int worst = worstDifference(imagetest::currentSlide(m_handle), picture, margin);
    QVERIFY2(worst <= tolerance, qPrintable(QString::number(worst)));
}

void TestModern::webpAnimation_data()
{
    QTest::addColumn<QByteArray>("webp");
    QTest::addColumn<QList<QByteArray>>("slides");
    QTest::addColumn<QList<int>>("delays");

    const QList<QByteArray> slides = {"rrrrrrrrrrrrrrrr", "rrrrrrrrrrggrrgg", "bbrrbbrrrr..rr.."};
    QTest::newRow("three frames") << threeFrames() << slides << QList<int>{100, 250, 40};
    QTest::newRow("last frame's pixels cut short") << threeFrames(6) << slides.first(2) << QList<int>{100, 250};
}

void TestModern::webpAnimation()
{
    QFETCH(QByteArray, webp);
    QFETCH(QList<QByteArray>, slides);
    QFETCH(QList<int>, delays);
    const QString path = writeFile(webp);
    checkHeader(path, kFlmWebP, QSize(4, 4), 32);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideCount(m_handle), int(slides.size()));
    for (int i = 0; i < slides.size(); ++i) {
        int delay = -1;
        QCOMPARE(flmGetDelay(m_handle, i, &delay), 0);
        QCOMPARE(delay, delays[i]);
        QCOMPARE(imagetest::currentSlide(m_handle), lettered(4, slides[i]));
        flmNext(m_handle);
    }
}

void TestModern::webpSlidesCapped()
{
    const QList<AnimationFrame> frames(imagelib::kMaxSlides + 1, {QRect(0, 0, 1, 1), kGreen, 10});
    QCOMPARE(flmLoadFromFile(m_handle, writeFile(buildAnimation({1, 1}, frames))), 0);
    QCOMPARE(imagetest::slideCount(m_handle), imagelib::kMaxSlides);
}

void TestModern::hostile_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: libheif cannot write or read the format

    const AnimationFrame corner{QRect(0, 0, 2, 2), kRed};
    QTest::newRow("header only") << riff({});
    QTest::newRow("animation without frames") << buildAnimation({4, 4}, {});
    QTest::newRow("frame outside the canvas") << buildAnimation({4, 4}, {{QRect(4, 4, 2, 2), kRed}});
    QTest::newRow("canvas past the pixel limit") << buildAnimation({20000, 20000}, {corner});
    QTest::newRow("canvas past the side limit") << buildAnimation({70000, 16}, {corner});
    QTest::newRow("canvas past what three canvases may take") << buildAnimation({16383, 16383}, {corner});

    // The lossless header after its signature byte: width - 1 and height - 1 in 14 bits each.
    QByteArray claimsMore = encodeWebP(imagetest::noise(4, 4), -1);
    QByteArray size;
    imagetest::append32(size, 16383 | 16383 << 14);
    claimsMore.replace(21, 4, size);
    QTest::newRow("still claiming 16384 x 16384 over 4 x 4 pixels") << claimsMore;
    QByteArray extended = encodeWebP(quarters(4, 4, true), 50);
    const qsizetype canvas = extended.indexOf("VP8X") + 12;
    extended.replace(canvas, 6, QByteArray("\x07\0\0\x07\0\0", 6));
    QTest::newRow("extended header larger than the still") << extended;

    for (const heif_compression_format compression : {heif_compression_HEVC, heif_compression_AV1}) {
        const QByteArray heif = encodeHeif(quarters(64, 48, false), compression);
        const QByteArray name(compression == heif_compression_HEVC ? "HEIC" : "AVIF");
        QTest::newRow(name + ", stored size past the pixel limit") << withStoredSize(heif, 20000, 20000);
        QTest::newRow(name + ", stored size past the side limit") << withStoredSize(heif, 70000, 16);
        QTest::newRow(name + ", file type box only") << heif.left(heif.indexOf("meta") - 4);
    }
}

void TestModern::hostile()
{
    QFETCH(QByteArray, bytes);
    if (bytes.isEmpty())
        QSKIP(kNoHeif);
    QVERIFY(flmLoadFromFile(m_handle, writeFile(bytes)) != 0);
    QVERIFY(imagetest::isEmpty(m_handle));
}

void TestModern::heif_data()
{
    QTest::addColumn<int>("compression");
    QTest::addColumn<bool>("alpha");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("depth");

    QTest::newRow("HEIC") << int(heif_compression_HEVC) << false << 1 << 8;
    QTest::newRow("HEIC with alpha") << int(heif_compression_HEVC) << true << 1 << 8;
    QTest::newRow("HEIC turned a quarter") << int(heif_compression_HEVC) << false << 6 << 8;
    QTest::newRow("HEIC turned and flipped") << int(heif_compression_HEVC) << true << 7 << 8;
    QTest::newRow("HEIC 10 bits") << int(heif_compression_HEVC) << false << 1 << 10;
    QTest::newRow("AVIF") << int(heif_compression_AV1) << false << 1 << 8;
    QTest::newRow("AVIF with alpha") << int(heif_compression_AV1) << true << 1 << 8;
    QTest::newRow("AVIF mirrored") << int(heif_compression_AV1) << false << 2 << 8;
}

void TestModern::heif()
{
    QFETCH(int, compression);
    QFETCH(bool, alpha);
    QFETCH(int, orientation);
    QFETCH(int, depth);
    const auto format = heif_compression_format(compression);
    const QImage stored = quarters(64, 48, alpha);
    const QByteArray bytes = encodeHeif(stored, format, orientation, depth);
    if (bytes.isEmpty())
        QSKIP(kNoHeif);
    const QImage shown = oriented(stored, orientation);
    const QString path = writeFile(bytes);
    checkHeader(path, format == heif_compression_HEVC ? kFlmHeif : kFlmAvif, shown.size(), depth * (alpha ? 4 : 3));
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideCount(m_handle), 1);
    const int worst = worstDifference(imagetest::currentSlide(m_handle), shown, 6);
    QVERIFY2(worst <= 6, qPrintable(QString::number(worst)));
}

void TestModern::brands_data()
{
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<int>("format"); // -1: not ours

    QTest::newRow("heic") << fileType("heic", {"mif1", "heic"}) << int(kFlmHeif);
    QTest::newRow("heix") << fileType("heix", {}) << int(kFlmHeif);
    QTest::newRow("hevc sequence") << fileType("hevc", {"msf1"}) << int(kFlmHeif);
    QTest::newRow("mif1 naming heic") << fileType("mif1", {"mif1", "heic"}) << int(kFlmHeif);
    QTest::newRow("avif") << fileType("avif", {"avif", "mif1", "miaf"}) << int(kFlmAvif);
    QTest::newRow("avis") << fileType("avis", {"msf1"}) << int(kFlmAvif);
    QTest::newRow("mif1 naming avif") << fileType("mif1", {"miaf", "avif"}) << int(kFlmAvif);
    QTest::newRow("mif1 naming neither") << fileType("mif1", {"mif1", "miaf"}) << -1;
    QTest::newRow("video brand naming heic") << fileType("mp42", {"heic"}) << -1;
    QTest::newRow("brand past the box's end") << fileType("mif1", {"heic"}, 16) << -1;
    QTest::newRow("box shorter than its header") << fileType("heic", {}, 12) << -1;
}

void TestModern::brands()
{
    QFETCH(QByteArray, box);
    QFETCH(int, format);
    if (format >= 0 && !heif_have_decoder_for_format(format == kFlmHeif ? heif_compression_HEVC : heif_compression_AV1))
        QSKIP("libheif here cannot read the brand's coding");
    // Some bytes of a following box, as a real file has them.
    const QString path = writeFile(box + QByteArray("\0\0\0\x10metaheic", 12) + QByteArray(4, '\0'));
    int sniffed = -1;
    QCOMPARE(flmCanOpen(m_handle, path, &sniffed) != 0, format >= 0);
    QCOMPARE(sniffed, format);
}

void TestModern::truncation_data()
{
    addSampleRows();
}

void TestModern::truncation()
{
    QFETCH(QByteArray, bytes);
    if (bytes.isEmpty())
        QSKIP(kNoHeif);
    QCOMPARE(flmLoadFromFile(m_handle, writeFile(bytes)), 0);
    const QSize size = imagetest::slideSize(m_handle);
    const int step = std::max<int>(1, int(bytes.size() / 400));
    for (qsizetype kept = 0; kept < bytes.size(); kept += step) {
        const QString path = writeFile(bytes.left(kept));
        FlmFileInfo info;
        if (flmGetFileInfo(m_handle, path, &info) == 0)
            QCOMPARE(QSize(info.width, info.height), size);
        // A cut file either fails or keeps its geometry; above all it never crashes or hangs.
        if (flmLoadFromFile(m_handle, path) == 0)
            QCOMPARE(imagetest::slideSize(m_handle), size);
    }
}

void TestModern::cancel_data()
{
    addSampleRows();
}

void TestModern::cancel()
{
    QFETCH(QByteArray, bytes);
    if (bytes.isEmpty())
        QSKIP(kNoHeif);
    const QString path = writeFile(bytes);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QVERIFY(m_handle.reopen());
    flmSetCallback(m_handle, imagetest::cancelAtProgress, nullptr);
    QVERIFY(flmLoadFromFile(m_handle, path) != 0);
    QVERIFY(imagetest::isEmpty(m_handle));
}

QTEST_GUILESS_MAIN(TestModern)
#include "tst_modern.moc"
