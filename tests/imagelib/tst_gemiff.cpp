// GEM bit images and Amiga ILBM/PBM pictures through the handle interface: files built here run
// by run, hostile headers, truncation, and files netpbm's writers produce.
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

constexpr auto kBig = QSysInfo::BigEndian;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kWhite = 0xffffffff;

QImage pixelsOf(int width, const QList<QRgb>& pixels)
{
    QImage image(width, int(pixels.size()) / width, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < pixels.size(); ++i)
        image.setPixel(i % width, i / width, qPremultiply(pixels[i]));
    return image;
}

// Bits of a monochrome row, most significant first: "#" is a set bit.
QList<QRgb> bits(const QString& row, QRgb set = kBlack, QRgb clear = kWhite)
{
    QList<QRgb> pixels;
    for (QChar c : row)
        pixels << (c == QLatin1Char('#') ? set : clear);
    return pixels;
}

QByteArray words(const QList<quint16>& values)
{
    QByteArray bytes;
    for (quint16 value : values)
        imagetest::append16(bytes, value, kBig);
    return bytes;
}

// A GEM header, with an XIMG palette (thousandths, in pen order) when `pens` are given.
QByteArray gem(int planes, int width, int height, const QByteArray& data, const QList<quint16>& pens = {},
               int patternBytes = 2)
{
    const QByteArray ximg = pens.isEmpty() ? QByteArray() : QByteArray("XIMG") + words({0}) + words(pens);
    return words({1, quint16(8 + ximg.size() / 2), quint16(planes), quint16(patternBytes), 85, 85, quint16(width),
                  quint16(height)}) +
           ximg + data;
}

// Pen v of the test palette: thousandths that come out as whole 8-bit levels.
QRgb penColour(int pen)
{
    return qRgb(pen % 6 * 51, pen / 6 % 6 * 51, 255 - pen % 6 * 51);
}

QList<quint16> penThousandths(int count)
{
    QList<quint16> pens;
    for (int pen = 0; pen < count; ++pen)
        pens << quint16(pen % 6 * 200) << quint16(pen / 6 % 6 * 200) << quint16(1000 - pen % 6 * 200);
    return pens;
}

QByteArray rgb(QRgb colour)
{
    QByteArray bytes;
    bytes.append(char(qRed(colour))).append(char(qGreen(colour))).append(char(qBlue(colour)));
    return bytes;
}

QByteArray chunk(const char* id, const QByteArray& data)
{
    QByteArray bytes(id, 4);
    imagetest::append32(bytes, quint32(data.size()), kBig);
    return bytes + data + (data.size() % 2 ? QByteArray(1, '\0') : QByteArray());
}

struct Ilbm {
    QByteArray type = "ILBM";
    int width = 0;
    int height = 1;
    int planes = 1;
    int masking = 0;
    int compression = 0;
    int transparent = 0;
    QList<QRgb> palette = {kBlack, kWhite};
    quint32 viewModes = 0;
    QByteArray body = {};
};

QByteArray ilbm(const Ilbm& picture)
{
    QByteArray header = words({quint16(picture.width), quint16(picture.height), 0, 0});
    header += char(picture.planes);
    header += char(picture.masking);
    header += char(picture.compression);
    header += '\0';
    header += words({quint16(picture.transparent)}) + QByteArray("\x0a\x0b", 2) +
              words({quint16(picture.width), quint16(picture.height)});
    QByteArray colours;
    for (QRgb colour : picture.palette)
        colours += rgb(colour);
    QByteArray form = picture.type + chunk("BMHD", header);
    if (!colours.isEmpty())
        form += chunk("CMAP", colours);
    if (picture.viewModes) {
        QByteArray modes;
        imagetest::append32(modes, picture.viewModes, kBig);
        form += chunk("CAMG", modes);
    }
    form += chunk("BODY", picture.body);
    QByteArray file("FORM");
    imagetest::append32(file, quint32(form.size()), kBig);
    return file + form;
}

// Interleaved planes of 16-pixel rows: each row lists its planes' (and mask's) two bytes.
QByteArray planes(const QList<quint16>& planeWords)
{
    return words(planeWords);
}

} // namespace

class TestGemIff : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void decodesPictures_data();
    void decodesPictures();
    void gemNeedsItsExtension_data();
    void gemNeedsItsExtension();
    void readsHeaders_data();
    void readsHeaders();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void truncatedFilesFailCleanly_data();
    void truncatedFilesFailCleanly();
    void readsNetpbmFiles_data();
    void readsNetpbmFiles();

private:
    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestGemIff::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

void TestGemIff::decodesPictures_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QImage>("expected");

    // A solid black byte then a bit string; a pattern run replicated down two lines; a white run.
    QTest::newRow("GEM monochrome, every kind of run")
        << gem(1, 16, 4,
               QByteArray("\x81\x80\x01\xf0"
                          "\0\0\xff\x02\0\x01\xaa\x55"
                          "\x02",
                          13))
        << QStringLiteral("runs.img")
        << pixelsOf(16, bits(QStringLiteral("############....") + QStringLiteral("#.#.#.#..#.#.#.#") +
                             QStringLiteral("#.#.#.#..#.#.#.#") + QStringLiteral("................")));
    // Hardware registers 0, 1, 15 and 5 are pens 0, 2, 1 and 7.
    QTest::newRow("GEM four planes, XIMG palette")
        << gem(4, 4, 1, QByteArray("\x80\x04\x70\x20\x30\x20", 6), penThousandths(16)) << QStringLiteral("ximg.img")
        << pixelsOf(4, {penColour(0), penColour(2), penColour(1), penColour(7)});
    QTest::newRow("GEM two planes, default colours")
        << gem(2, 4, 1, QByteArray("\x80\x02\x50\x30", 4)) << QStringLiteral("st.img")
        << pixelsOf(4, {kWhite, qRgb(255, 0, 0), qRgb(0, 255, 0), kBlack});

    const QList<QRgb> eight = {kBlack,          kWhite,        qRgb(255, 0, 0), qRgb(0, 255, 0),
                               qRgb(0, 0, 255), qRgb(1, 2, 3), qRgb(4, 5, 6),   qRgb(7, 8, 9)};
    QTest::newRow("ILBM one plane, raw") << ilbm({.width = 3, .height = 2, .body = planes({0xa000, 0x4000})})
                                         << QStringLiteral("raw.iff")
                                         << pixelsOf(3, {kWhite, kBlack, kWhite, kBlack, kWhite, kBlack});
    // A repeat of two bytes, a no-op, then a literal of two.
    QTest::newRow("ILBM ByteRun1")
        << ilbm({.width = 16, .height = 2, .compression = 1, .body = QByteArray("\xff\xff\x80\x01\x0f\xf0", 6)})
        << QStringLiteral("packed.ilbm")
        << pixelsOf(16, bits(QStringLiteral("################....########...."), kWhite, kBlack));
    QTest::newRow("ILBM three planes")
        << ilbm({.width = 4, .planes = 3, .palette = eight, .body = planes({0x5000, 0x3000, 0xf000})})
        << QStringLiteral("three.lbm") << pixelsOf(4, {eight[4], eight[5], eight[6], eight[7]});
    QList<QRgb> bright(32, kBlack);
    bright[1] = qRgb(200, 100, 50);
    QTest::newRow("ILBM extra half-brite") << ilbm({.width = 1,
                                                    .planes = 6,
                                                    .palette = bright,
                                                    .viewModes = 0x80,
                                                    .body = planes({0x8000, 0, 0, 0, 0, 0x8000})})
                                           << QStringLiteral("ehb.iff") << pixelsOf(1, {qRgb(100, 50, 25)});
    // Palette colour 1, then red, blue and green replaced in turn.
    QTest::newRow("ILBM HAM6") << ilbm({.width = 4,
                                        .planes = 6,
                                        .palette = {kBlack, qRgb(17, 34, 51)},
                                        .viewModes = 0x800,
                                        .body = planes({0xc000, 0x4000, 0x5000, 0x6000, 0x3000, 0x5000})})
                               << QStringLiteral("ham6.iff")
                               << pixelsOf(4, {qRgb(17, 34, 51), qRgb(255, 34, 51), qRgb(255, 34, 0x88),
                                               qRgb(255, 0x44, 0x88)});
    QTest::newRow("ILBM HAM8") << ilbm({.width = 2,
                                        .planes = 8,
                                        .viewModes = 0x800,
                                        .body =
                                            planes({0x8000, 0x8000, 0x8000, 0x8000, 0x8000, 0xc000, 0x4000, 0xc000})})
                               << QStringLiteral("ham8.iff") << pixelsOf(2, {qRgb(255, 0, 0), qRgb(255, 0x82, 0)});
    QTest::newRow("ILBM 24 planes") << ilbm({.width = 1,
                                             .planes = 24,
                                             .palette = {},
                                             .body = planes({0, 0x8000, 0,      0, 0x8000, 0,      0,      0,
                                                             0, 0,      0x8000, 0, 0x8000, 0x8000, 0,      0,
                                                             0, 0x8000, 0x8000, 0, 0x8000, 0,      0x8000, 0})})
                                    << QStringLiteral("deep.iff") << pixelsOf(1, {qRgb(0x12, 0x34, 0x56)});
    QTest::newRow("ILBM mask plane") << ilbm({.width = 2, .masking = 1, .body = planes({0x4000, 0x8000})})
                                     << QStringLiteral("mask.iff") << pixelsOf(2, {kBlack, 0});
    QTest::newRow("ILBM transparent colour")
        << ilbm({.width = 2, .masking = 2, .transparent = 1, .body = planes({0x4000})}) << QStringLiteral("clear.iff")
        << pixelsOf(2, {kBlack, 0});
    QTest::newRow("PBM chunky")
        << ilbm({.type = "PBM ", .width = 3, .planes = 8, .palette = eight, .body = QByteArray("\x02\x00\x07\x00", 4)})
        << QStringLiteral("chunky.lbm") << pixelsOf(3, {eight[2], eight[0], eight[7]});
    QTest::newRow("ILBM four-bit palette widened")
        << ilbm({.width = 1, .palette = {qRgb(0xf0, 0x70, 0x00)}, .body = planes({0})}) << QStringLiteral("old.iff")
        << pixelsOf(1, {qRgb(0xff, 0x77, 0x00)});
    QTest::newRow("ILBM without CMAP: greys") << ilbm({.width = 2, .palette = {}, .body = planes({0x4000})})
                                              << QStringLiteral("grey.iff") << pixelsOf(2, {kBlack, kWhite});
}

void TestGemIff::decodesPictures()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(QImage, expected);
    QCOMPARE(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, name, file)), 0);
    QCOMPARE(imagetest::currentSlide(m_handle), expected);
}

void TestGemIff::gemNeedsItsExtension_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");

    const QByteArray valid = gem(1, 8, 1, QByteArray("\x81", 1));
    QTest::newRow("valid, img") << valid << QStringLiteral("a.IMG") << int(kFlmGem);
    QTest::newRow("valid, other extension") << valid << QStringLiteral("a.dat") << -1;
    QTest::newRow("nine planes") << gem(9, 8, 1, QByteArray("\x81", 1)) << QStringLiteral("b.img") << -1;
    QTest::newRow("version 3") << QByteArray(valid).replace(1, 1, "\x03") << QStringLiteral("c.img") << -1;
    QTest::newRow("no pattern length") << gem(1, 8, 1, QByteArray("\x81", 1), {}, 0) << QStringLiteral("d.img") << -1;
    QTest::newRow("ILBM by content") << ilbm({.width = 1, .body = planes({0})}) << QStringLiteral("e.img")
                                     << int(kFlmIff);
}

void TestGemIff::gemNeedsItsExtension()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(int, format);
    int found = -1;
    flmCanOpen(m_handle, imagetest::writeFile(m_dir, name, file), &found);
    QCOMPARE(found, format);
}

void TestGemIff::readsHeaders_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bits");

    QTest::newRow("GEM") << gem(4, 640, 400, {}) << QStringLiteral("h.img") << int(kFlmGem) << QSize(640, 400) << 4;
    QTest::newRow("ILBM") << ilbm({.width = 320, .height = 256, .planes = 5}) << QStringLiteral("h.iff") << int(kFlmIff)
                          << QSize(320, 256) << 5;
    QTest::newRow("PBM") << ilbm({.type = "PBM ", .width = 7, .height = 3, .planes = 8}) << QStringLiteral("h.lbm")
                         << int(kFlmIff) << QSize(7, 3) << 8;
}

void TestGemIff::readsHeaders()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(int, format);
    QFETCH(QSize, size);
    QFETCH(int, bits);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, imagetest::writeFile(m_dir, name, file), &info), 0);
    QCOMPARE(info.format, format);
    QCOMPARE(QSize(info.width, info.height), size);
    QCOMPARE(info.bitsPerPixel, bits);
}

void TestGemIff::refusesHostileFiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");

    QTest::newRow("GEM too many pixels") << gem(1, 65535, 65535, QByteArray(64, '\x81')) << QStringLiteral("a.img");
    QTest::newRow("GEM zero width") << gem(1, 0, 5, QByteArray(64, '\x81')) << QStringLiteral("b.img");
    QTest::newRow("GEM header longer than the file")
        << QByteArray(gem(1, 8, 1, QByteArray("\x81", 1))).replace(2, 2, QByteArray("\x01\x00", 2))
        << QStringLiteral("c.img");
    QTest::newRow("GEM replication inside a line")
        << gem(1, 16, 2, QByteArray("\x81\0\0\xff\x02\x81", 6)) << QStringLiteral("d.img");
    QTest::newRow("GEM bit string past the end")
        << gem(1, 16, 1, QByteArray("\x80\x20\xff", 3)) << QStringLiteral("e.img");
    QTest::newRow("GEM lines missing") << gem(1, 8, 1000, QByteArray(10, '\x81')) << QStringLiteral("f.img");
    QTest::newRow("ILBM too many pixels")
        << ilbm({.width = 65535, .height = 65535, .body = QByteArray(64, '\0')}) << QStringLiteral("g.iff");
    QTest::newRow("ILBM nine planes") << ilbm({.width = 1, .planes = 9, .body = QByteArray(64, '\0')})
                                      << QStringLiteral("h.iff");
    QTest::newRow("ILBM unknown compression")
        << ilbm({.width = 1, .compression = 2, .body = QByteArray(64, '\0')}) << QStringLiteral("i.iff");
    QTest::newRow("ILBM without BODY") << ilbm({.width = 1, .body = planes({0})}).replace("BODY", "BOXY")
                                       << QStringLiteral("j.iff");
    QTest::newRow("ILBM without BMHD") << ilbm({.width = 1, .body = planes({0})}).replace("BMHD", "XXXX")
                                       << QStringLiteral("k.iff");
    QTest::newRow("ILBM rows missing") << ilbm({.width = 16, .height = 1000, .body = QByteArray(64, '\0')})
                                       << QStringLiteral("l.iff");
    QTest::newRow("ILBM packed rows missing")
        << ilbm({.width = 16, .height = 1000, .compression = 1, .body = QByteArray(64, '\x81')})
        << QStringLiteral("m.iff");
    QByteArray hugeChunk = ilbm({.width = 1, .body = planes({0})});
    hugeChunk.replace(12, 8, QByteArray("ANNO\x7f\xff\xff\xff", 8));
    QTest::newRow("ILBM chunk of 2 GiB") << hugeChunk << QStringLiteral("n.iff");
}

void TestGemIff::refusesHostileFiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QVERIFY(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, name, file)) != 0);
    QVERIFY(imagetest::isEmpty(m_handle));
}

void TestGemIff::truncatedFilesFailCleanly_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");

    QTest::newRow("GEM") << gem(4, 16, 3,
                                QByteArray("\0\0\xff\x02\x84\x80\x02\x12\x34\0\x02\xaa\x55\x02"
                                           "\x81\x01\x80\x06\x01\x02\x03\x04\x05\x06",
                                           24),
                                penThousandths(16))
                         << QStringLiteral("cut.img");
    QTest::newRow("ILBM") << ilbm({.width = 20,
                                   .height = 2,
                                   .planes = 2,
                                   .compression = 1,
                                   .palette = {kBlack, kWhite, kBlack, kWhite},
                                   .body = QByteArray("\xfd\x11\x03\x01\x02\x03\x04\xf9\x80\xff\x00", 11)})
                          << QStringLiteral("cut.iff");
}

void TestGemIff::truncatedFilesFailCleanly()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QCOMPARE(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, name, file)), 0);
    const QImage whole = imagetest::currentSlide(m_handle);
    for (qsizetype length = 0; length < file.size(); ++length) {
        QVERIFY(m_handle.reopen());
        // A cut that only loses padding still holds the whole picture; any other fails.
        if (flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, name, file.left(length))) == 0)
            QCOMPARE(imagetest::currentSlide(m_handle), whole);
    }
}

void TestGemIff::readsNetpbmFiles_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("colour");

    QTest::newRow("pbmtogem") << QStringLiteral("pbmtogem") << QStringList() << QStringLiteral("netpbm.img") << false;
    QTest::newRow("ppmtoilbm, packed") << QStringLiteral("ppmtoilbm") << QStringList() << QStringLiteral("netpbm.iff")
                                       << true;
    QTest::newRow("ppmtoilbm, 24 planes raw")
        << QStringLiteral("ppmtoilbm") << QStringList({QStringLiteral("-24force"), QStringLiteral("-nocompress")})
        << QStringLiteral("deep.iff") << true;
}

void TestGemIff::readsNetpbmFiles()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, options);
    QFETCH(QString, name);
    QFETCH(bool, colour);
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        QSKIP("netpbm is not installed");
    // Runs of equal pixels and noise, in a width that ends inside a byte.
    QImage source(37, 11, QImage::Format_RGB32);
    QByteArray netpbm = (colour ? QByteArray("P6\n37 11\n255\n") : QByteArray("P4\n37 11\n"));
    const QList<QRgb> colours = {kBlack, kWhite, qRgb(200, 30, 90), qRgb(10, 180, 250), qRgb(90, 90, 0)};
    for (int y = 0; y < source.height(); ++y) {
        QByteArray row((source.width() + 7) / 8, '\0');
        for (int x = 0; x < source.width(); ++x) {
            const int pick = x < 12 ? y % 2 : int(QRandomGenerator::global()->bounded(colour ? 5 : 2));
            source.setPixel(x, y, colours[pick]);
            if (colour)
                netpbm += rgb(colours[pick]);
            else if (pick == 0)
                row[x / 8] = char(row[x / 8] | 0x80 >> (x % 8));
        }
        if (!colour)
            netpbm += row;
    }
    QProcess process;
    process.setStandardInputFile(imagetest::writeFile(m_dir, QStringLiteral("source.pnm"), netpbm));
    process.setStandardOutputFile(m_dir.filePath(name));
    process.start(program, options);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(flmLoadFromFile(m_handle, m_dir.filePath(name)), 0);
    QCOMPARE(imagetest::currentSlide(m_handle), source.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

QTEST_GUILESS_MAIN(TestGemIff)
#include "tst_gemiff.moc"
