// The PNG codec through the handle interface. Inputs are written with libpng directly, in every
// colour type and depth; what our writer produces is read back by Qt's own PNG reader.
#include <vector>

#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <png.h>
#include <zlib.h>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

constexpr int kWidth = 37; // odd, so sub-byte rows end inside a byte
constexpr int kHeight = 23;

struct PngInput {
    int colourType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    bool interlaced = false;
    bool transparentColour = false; // a tRNS chunk
};

int channelCount(int colourType)
{
    switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    default:
        return 1;
    }
}

// Sample c of pixel (x, y), within 0 .. 2^depth - 1; palette files index a palette of the
// same function's first three channels.
int sampleAt(int x, int y, int c, int depth)
{
    const int top = (1 << depth) - 1;
    return int((qint64(x * 97 + y * 61 + c * 1013) * 7919) % (top + 1));
}

// Up to 16 entries, fewer where the depth cannot index that many.
int paletteSize(int depth)
{
    return qMin(16, 1 << depth);
}

QRgb paletteColour(int index)
{
    return qRgb(sampleAt(index, 0, 0, 8), sampleAt(index, 0, 1, 8), sampleAt(index, 0, 2, 8));
}

int paletteAlpha(int index)
{
    return index * 17;
}

// The pixel the decoder must give, unpremultiplied.
QRgb expectedPixel(const PngInput& input, int x, int y)
{
    const int top = (1 << input.depth) - 1;
    auto to8 = [&](int value) { return (value * 255 + top / 2) / top; };
    switch (input.colourType) {
    case PNG_COLOR_TYPE_PALETTE: {
        const int index = sampleAt(x, y, 0, input.depth) % paletteSize(input.depth);
        return (paletteColour(index) & 0xFFFFFF) | uint(input.transparentColour ? paletteAlpha(index) : 255) << 24;
    }
    case PNG_COLOR_TYPE_GRAY: {
        const int grey = sampleAt(x, y, 0, input.depth);
        // The transparent colour is the grey level of pixel (0, 0).
        const bool clear = input.transparentColour && grey == sampleAt(0, 0, 0, input.depth);
        return qRgba(to8(grey), to8(grey), to8(grey), clear ? 0 : 255);
    }
    case PNG_COLOR_TYPE_GRAY_ALPHA: {
        const int grey = to8(sampleAt(x, y, 0, input.depth));
        return qRgba(grey, grey, grey, to8(sampleAt(x, y, 1, input.depth)));
    }
    default: {
        const int alpha = input.colourType == PNG_COLOR_TYPE_RGB_ALPHA ? to8(sampleAt(x, y, 3, input.depth)) : 255;
        return qRgba(to8(sampleAt(x, y, 0, input.depth)), to8(sampleAt(x, y, 1, input.depth)),
                     to8(sampleAt(x, y, 2, input.depth)), alpha);
    }
    }
}

void appendBytes(png_structp png, png_bytep data, size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), qsizetype(length));
}

void flushNothing(png_structp) {}

QByteArray encodePng(const PngInput& input)
{
    QByteArray bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &bytes, appendBytes, flushNothing);
    png_set_IHDR(png, info, kWidth, kHeight, input.depth, input.colourType,
                 input.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (input.colourType == PNG_COLOR_TYPE_PALETTE) {
        const int entries = paletteSize(input.depth);
        png_color palette[16];
        png_byte alphas[16];
        for (int i = 0; i < entries; ++i) {
            const QRgb colour = paletteColour(i);
            palette[i] = {png_byte(qRed(colour)), png_byte(qGreen(colour)), png_byte(qBlue(colour))};
            alphas[i] = png_byte(paletteAlpha(i));
        }
        png_set_PLTE(png, info, palette, entries);
        if (input.transparentColour)
            png_set_tRNS(png, info, alphas, entries, nullptr);
    } else if (input.transparentColour) {
        png_color_16 clear{};
        clear.gray = png_uint_16(sampleAt(0, 0, 0, input.depth));
        png_set_tRNS(png, info, nullptr, 0, &clear);
    }
    png_write_info(png, info);
    if (input.depth == 16)
        png_set_swap(png); // the rows below hold native little-endian words
    const int channels = channelCount(input.colourType);
    std::vector<std::vector<png_byte>> rows(kHeight);
    std::vector<png_bytep> pointers;
    for (int y = 0; y < kHeight; ++y) {
        std::vector<png_byte>& row = rows[size_t(y)];
        row.assign(size_t(kWidth * channels * 2), 0);
        for (int x = 0; x < kWidth; ++x) {
            for (int c = 0; c < channels; ++c) {
                int value = sampleAt(x, y, c, input.depth);
                if (input.colourType == PNG_COLOR_TYPE_PALETTE)
                    value %= paletteSize(input.depth);
                const int i = x * channels + c;
                if (input.depth == 16) {
                    row[size_t(2 * i)] = png_byte(value & 0xFF);
                    row[size_t(2 * i + 1)] = png_byte(value >> 8);
                } else if (input.depth == 8) {
                    row[size_t(i)] = png_byte(value);
                } else {
                    const int perByte = 8 / input.depth;
                    row[size_t(i / perByte)] |= png_byte(value << (8 - input.depth * (i % perByte + 1)));
                }
            }
        }
        pointers.push_back(row.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

void appendChunk(QByteArray& file, const char* type, const QByteArray& data)
{
    QByteArray chunk(type, 4);
    chunk += data;
    imagetest::append32(file, quint32(data.size()), QSysInfo::BigEndian);
    file += chunk;
    const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size())));
    imagetest::append32(file, crc, QSysInfo::BigEndian);
}

// A PNG whose IHDR says what it likes, with a little image data after it.
QByteArray handMadePng(quint32 width, quint32 height, int depth, int colourType)
{
    QByteArray file("\x89PNG\r\n\x1A\n", 8);
    QByteArray header;
    imagetest::append32(header, width, QSysInfo::BigEndian);
    imagetest::append32(header, height, QSysInfo::BigEndian);
    header.append(char(depth)).append(char(colourType)).append(3, '\0');
    appendChunk(file, "IHDR", header);
    appendChunk(file, "IDAT", QByteArray("\x78\x9C\x63\x00\x00\x00\x01\x00\x01", 9));
    appendChunk(file, "IEND", {});
    return file;
}

} // namespace

Q_DECLARE_METATYPE(PngInput)

class TestPng : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void roundTrip_data();
    void roundTrip();
    void hostile_data();
    void hostile();
    void cancel();
    void independentReader_data();
    void independentReader();

private:
    QString m_good;
    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestPng::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
    m_good = imagetest::writeFile(m_dir, QStringLiteral("good.png"), encodePng({}));
}

void TestPng::roundTrip_data()
{
    QTest::addColumn<PngInput>("input");
    QTest::addColumn<int>("bitsPerPixel");
    QTest::addColumn<bool>("alpha");
    using S = PngInput;
    QTest::newRow("grey 1") << S{PNG_COLOR_TYPE_GRAY, 1} << 1 << false;
    QTest::newRow("grey 2") << S{PNG_COLOR_TYPE_GRAY, 2} << 2 << false;
    QTest::newRow("grey 4, interlaced") << S{PNG_COLOR_TYPE_GRAY, 4, true} << 4 << false;
    QTest::newRow("grey 8") << S{PNG_COLOR_TYPE_GRAY, 8} << 8 << false;
    QTest::newRow("grey 8, transparent colour") << S{PNG_COLOR_TYPE_GRAY, 8, false, true} << 8 << true;
    QTest::newRow("grey 16") << S{PNG_COLOR_TYPE_GRAY, 16} << 16 << false;
    QTest::newRow("grey and alpha 8") << S{PNG_COLOR_TYPE_GRAY_ALPHA, 8} << 16 << true;
    QTest::newRow("grey and alpha 16") << S{PNG_COLOR_TYPE_GRAY_ALPHA, 16} << 32 << true;
    QTest::newRow("palette 1") << S{PNG_COLOR_TYPE_PALETTE, 1} << 1 << false;
    QTest::newRow("palette 4, transparent") << S{PNG_COLOR_TYPE_PALETTE, 4, false, true} << 4 << true;
    QTest::newRow("palette 8") << S{PNG_COLOR_TYPE_PALETTE, 8} << 8 << false;
    QTest::newRow("palette 8, interlaced") << S{PNG_COLOR_TYPE_PALETTE, 8, true} << 8 << false;
    QTest::newRow("RGB 8") << S{PNG_COLOR_TYPE_RGB, 8} << 24 << false;
    QTest::newRow("RGB 8, interlaced") << S{PNG_COLOR_TYPE_RGB, 8, true} << 24 << false;
    QTest::newRow("RGB 16") << S{PNG_COLOR_TYPE_RGB, 16} << 48 << false;
    QTest::newRow("RGBA 8") << S{PNG_COLOR_TYPE_RGB_ALPHA, 8} << 32 << true;
    QTest::newRow("RGBA 8, interlaced") << S{PNG_COLOR_TYPE_RGB_ALPHA, 8, true} << 32 << true;
    QTest::newRow("RGBA 16") << S{PNG_COLOR_TYPE_RGB_ALPHA, 16} << 64 << true;
}

void TestPng::roundTrip()
{
    QFETCH(PngInput, input);
    QFETCH(int, bitsPerPixel);
    QFETCH(bool, alpha);
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("in.png"), encodePng(input));
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info), 0);
    QCOMPARE(info.format, int(kFlmPng));
    QCOMPARE(QSize(info.width, info.height), QSize(kWidth, kHeight));
    QCOMPARE(info.bitsPerPixel, bitsPerPixel);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    const QImage decoded = imagetest::currentSlide(m_handle);
    QCOMPARE(decoded.size(), QSize(kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const QRgb expected = qPremultiply(expectedPixel(input, x, y));
            QVERIFY2(decoded.pixel(x, y) == expected, qPrintable(QStringLiteral("(%1, %2): %3 instead of %4")
                                                                     .arg(x)
                                                                     .arg(y)
                                                                     .arg(decoded.pixel(x, y), 8, 16)
                                                                     .arg(expected, 8, 16)));
        }
    }

    const QString saved = imagetest::save(m_handle, m_dir, QStringLiteral("saved.png"), kFlmPng);
    QVERIFY(!saved.isEmpty());
    QCOMPARE(flmGetFileInfo(m_handle, saved, &info), 0);
    QCOMPARE(info.bitsPerPixel, alpha ? 32 : 24);
    // Qt's own reader sees what we wrote: alpha values kept, colours unpremultiplied.
    const QImage independent = QImage(saved).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(independent, decoded);
    QCOMPARE(flmLoadFromFile(m_handle, saved), 0);
    QCOMPARE(imagetest::currentSlide(m_handle), decoded);
}

void TestPng::hostile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("headerReadable");
    QTest::addColumn<bool>("loads");
    const QByteArray good = encodePng({});
    const qsizetype data = good.indexOf("IDAT") - 4;
    const qsizetype end = good.indexOf("IEND") - 4;
    QTest::newRow("65536 x 65536") << handMadePng(65536, 65536, 8, PNG_COLOR_TYPE_RGB) << true << false;
    QTest::newRow("30000 x 30000, too many pixels")
        << handMadePng(30000, 30000, 8, PNG_COLOR_TYPE_RGB_ALPHA) << true << false;
    QTest::newRow("zero width") << handMadePng(0, 10, 8, PNG_COLOR_TYPE_RGB) << false << false;
    QTest::newRow("width past 2^31") << handMadePng(0x80000000u, 1, 8, PNG_COLOR_TYPE_RGB) << false << false;
    QTest::newRow("RGB of depth 4") << handMadePng(10, 10, 4, PNG_COLOR_TYPE_RGB) << false << false;
    QTest::newRow("colour type 5") << handMadePng(10, 10, 8, 5) << false << false;
    QTest::newRow("1 x 1, too little data") << handMadePng(1, 2, 8, PNG_COLOR_TYPE_RGB) << true << false;
    QByteArray badCrc = handMadePng(1, 1, 8, PNG_COLOR_TYPE_GRAY);
    badCrc[8 + 8 + 13] = char(badCrc[8 + 8 + 13] ^ 1);
    QTest::newRow("IHDR CRC wrong") << badCrc << true << false;
    QTest::newRow("zero length") << QByteArray() << false << false;
    QTest::newRow("signature only") << good.first(8) << false << false;
    QTest::newRow("cut inside IHDR") << good.first(20) << false << false;
    QTest::newRow("cut before image data") << good.first(data) << true << false;
    QTest::newRow("cut inside image data") << good.first(data + (end - data) / 2) << true << false;
    QTest::newRow("no end chunk") << good.first(end) << true << true;
}

void TestPng::hostile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, headerReadable);
    QFETCH(bool, loads);
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("hostile.png"), bytes);
    QCOMPARE(flmLoadFromFile(m_handle, m_good), 0);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info) == 0, headerReadable);
    QCOMPARE(flmLoadFromFile(m_handle, path) == 0, loads);
    // Failed loads keep the picture the handle had, and the handle goes on working.
    QCOMPARE(imagetest::slideSize(m_handle), QSize(kWidth, kHeight));
    QCOMPARE(flmLoadFromFile(m_handle, m_good), 0);
}

void TestPng::cancel()
{
    QCOMPARE(flmSetCallback(m_handle, imagetest::cancelAtProgress, nullptr), 0);
    QVERIFY(flmLoadFromFile(m_handle, m_good) != 0);
    QVERIFY(imagetest::isEmpty(m_handle));
    QCOMPARE(flmSetCallback(m_handle, nullptr, nullptr), 0);
    QCOMPARE(flmLoadFromFile(m_handle, m_good), 0);
}

void TestPng::independentReader_data()
{
    QTest::addColumn<PngInput>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("16-bit RGB written as 8-bit RGB")
        << PngInput{PNG_COLOR_TYPE_RGB, 16} << QStringLiteral("PNG 37 23 false 8");
    QTest::newRow("interlaced RGBA written as RGBA")
        << PngInput{PNG_COLOR_TYPE_RGB_ALPHA, 8, true} << QStringLiteral("PNG 37 23 true 8");
}

void TestPng::independentReader()
{
    QFETCH(PngInput, input);
    QFETCH(QString, expected);
    const QString gm = QStandardPaths::findExecutable(QStringLiteral("gm"));
    if (gm.isEmpty())
        QSKIP("GraphicsMagick (gm) is not installed");
    QCOMPARE(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, QStringLiteral("in.png"), encodePng(input))), 0);
    const QString path = imagetest::save(m_handle, m_dir, QStringLiteral("written.png"), kFlmPng);
    QVERIFY(!path.isEmpty());
    QCOMPARE(imagetest::identify(gm, QStringLiteral("%m %w %h %A %q"), path), expected);
}

QTEST_GUILESS_MAIN(TestPng)
#include "tst_png.moc"
