// The legacy formats read through GraphicsMagick: samples written by `gm convert` at test time
// (metafiles and WordPerfect graphics, which it cannot write, built here byte by byte), hostile
// headers, scripts in disguise and cut files.
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

enum class Pattern { Colour, Grey, Bilevel, Transparent, Translucent, PhotoCd };

// None of them has a colour name: gm writes X11 names into pixmaps and reads some back differently.
constexpr QRgb kColours[] = {0xffe01010, 0xff10e010, 0xff1010e0, 0xffe0e010, 0xff10e0e0, 0xffe010e0,
                             0xff101010, 0xfff0f0f0, 0xff804020, 0xff208040, 0xff402080, 0xff818181};
constexpr int kWidth = 23;
// The bytes the library sniffs a file by.
constexpr int kSniffBytes = 512;
constexpr int kHeight = 17;

// Small pictures with a few distinct colours, so that every format keeps them exactly.
QImage pattern(Pattern kind)
{
    if (kind == Pattern::PhotoCd) {
        // Photo CD holds 768 by 512 in YCC with halved chroma: large blocks keep their colour.
        QImage image(768, 512, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, kColours[(x / 192 + y / 256 * 4) % 6]);
        }
        return image;
    }
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            QRgb pixel = kColours[(x / 3 + y / 2 * 5) % 12];
            if (kind == Pattern::Grey)
                pixel = qRgb((x * 11 + y * 5) % 256, (x * 11 + y * 5) % 256, (x * 11 + y * 5) % 256);
            else if (kind == Pattern::Bilevel)
                pixel = (x + y) % 3 == 0 || x == y ? 0xff000000 : 0xffffffff;
            else if (kind == Pattern::Transparent && (x + y) % 4 == 0)
                pixel = 0;
            else if (kind == Pattern::Translucent)
                pixel = qRgba(qRed(pixel), qGreen(pixel), qBlue(pixel), (x * 37 + y * 11) % 256);
            image.setPixel(x, y, pixel);
        }
    }
    // Opaque patterns are saved without alpha, which gm would otherwise keep as a fourth channel.
    const bool alpha = kind == Pattern::Transparent || kind == Pattern::Translucent;
    return image.convertToFormat(kind == Pattern::Grey ? QImage::Format_Grayscale8
                                 : alpha               ? QImage::Format_ARGB32
                                                       : QImage::Format_RGB32);
}

QImage expected(Pattern kind)
{
    return pattern(kind).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Where two pictures first differ, for failure messages; empty when they are equal.
QByteArray difference(const QImage& actual, const QImage& expected)
{
    if (actual.size() != expected.size())
        return "sizes differ";
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            if (actual.pixel(x, y) != expected.pixel(x, y))
                return QByteArray::number(x) + "," + QByteArray::number(y) + ": " +
                       QByteArray::number(actual.pixel(x, y), 16) + " instead of " +
                       QByteArray::number(expected.pixel(x, y), 16);
        }
    }
    return {};
}

QImage mirroredPattern()
{
    return pattern(Pattern::Colour).mirrored(true, false);
}

// Windows metafile records: size in 16-bit words, function, parameters.
QByteArray record(quint16 function, const QList<quint16>& parameters, const QByteArray& tail = {})
{
    QByteArray bytes;
    imagetest::append32(bytes, quint32(3 + parameters.size() + (tail.size() + 1) / 2));
    imagetest::append16(bytes, function);
    for (quint16 parameter : parameters)
        imagetest::append16(bytes, parameter);
    bytes += tail;
    if (tail.size() % 2)
        bytes += '\0';
    return bytes;
}

QByteArray colourRef(QRgb colour)
{
    QByteArray bytes;
    imagetest::append32(bytes, quint32(qRed(colour) | qGreen(colour) << 8 | qBlue(colour) << 16));
    return bytes;
}

// A white window of width by height units whose top-left quarter is red, then `extra`.
QByteArray metafile(int width, int height, int unitsPerInch, const QByteArray& extra = {})
{
    QByteArray records = record(0x020b, {0, 0}) + record(0x020c, {quint16(height), quint16(width)});
    records += record(0x02fa, {5, 0, 0, 0, 0}); // null pen
    records += record(0x012d, {0});
    records += record(0x02fc, {0}, colourRef(0xffffffff) + QByteArray(2, '\0'));
    records += record(0x012d, {1});
    records += record(0x041b, {quint16(height), quint16(width), 0, 0});
    records += record(0x02fc, {0}, colourRef(0xffff0000) + QByteArray(2, '\0'));
    records += record(0x012d, {2});
    records += record(0x041b, {quint16(height / 2), quint16(width / 2), 0, 0});
    records += extra + record(0, {});
    quint32 largest = 0;
    for (qsizetype at = 0; at < records.size(); at += 2 * qFromLittleEndian<quint32>(records.constData() + at))
        largest = qMax(largest, qFromLittleEndian<quint32>(records.constData() + at));
    QByteArray file;
    if (unitsPerInch > 0) {
        QByteArray placeable;
        imagetest::append32(placeable, 0x9ac6cdd7);
        for (quint16 word : {0, 0, 0, width, height, unitsPerInch, 0, 0})
            imagetest::append16(placeable, quint16(word));
        quint16 checksum = 0;
        for (int i = 0; i < 20; i += 2)
            checksum ^= qFromLittleEndian<quint16>(placeable.constData() + i);
        imagetest::append16(placeable, checksum);
        file = placeable;
    }
    imagetest::append16(file, 1);
    imagetest::append16(file, 9);
    imagetest::append16(file, 0x0300);
    imagetest::append32(file, quint32((18 + records.size()) / 2));
    imagetest::append16(file, 3);
    imagetest::append32(file, largest);
    imagetest::append16(file, 0);
    return file + records;
}

// META_STRETCHDIB over the whole window, carrying `dib`.
QByteArray stretchDib(int width, int height, const QByteArray& dib)
{
    return record(0x0f43, {0x0020, 0x00cc, 0, 2, 2, 0, 0, quint16(height), quint16(width), 0, 0}, dib);
}

// 2 by 2, 24 bits, rows bottom-up: red, green over blue, white.
QByteArray quarterDib()
{
    QByteArray dib;
    for (quint32 value : {40u, 2u, 2u})
        imagetest::append32(dib, value);
    imagetest::append16(dib, 1);
    imagetest::append16(dib, 24);
    for (quint32 value : {0u, 16u, 2835u, 2835u, 0u, 0u})
        imagetest::append32(dib, value);
    return dib + QByteArray("\xff\0\0\xff\xff\xff\0\0", 8) + QByteArray("\0\0\xff\0\xff\0\0\0", 8);
}

// A WordPerfect record length: one byte, or 0xff and 16 bits.
QByteArray wpgLength(qsizetype length)
{
    QByteArray bytes;
    if (length < 0xff) {
        bytes += char(length);
    } else {
        bytes += '\xff';
        imagetest::append16(bytes, quint16(length));
    }
    return bytes;
}

QByteArray wpgRecord(int level, int type, const QByteArray& data)
{
    const QByteArray start = level == 1 ? QByteArray(1, char(type)) : QByteArray("\x01", 1) + char(type) + '\0';
    return start + wpgLength(data.size()) + data;
}

// WordPerfect graphics of `level`, with a palette of the first four colours and one 8-bit
// bitmap of 5 by 3 whose pixel (x, y) is colour (x + y) % 4; `extra` goes before the bitmap.
QByteArray wpg(int level, int extraType = -1, const QByteArray& extra = {})
{
    const int width = 5;
    const int height = 3;
    QByteArray palette;
    imagetest::append16(palette, 0);
    imagetest::append16(palette, 4);
    for (int i = 0; i < 4; ++i) {
        palette += char(qRed(kColours[i]));
        palette += char(qGreen(kColours[i]));
        palette += char(qBlue(kColours[i]));
        if (level == 2)
            palette += '\0';
    }
    QByteArray bitmap;
    imagetest::append16(bitmap, quint16(width));
    imagetest::append16(bitmap, quint16(height));
    if (level == 1) {
        for (quint16 word : {8, 75, 75})
            imagetest::append16(bitmap, word);
    } else {
        bitmap += QByteArray("\x04\x00", 2); // 8 bits, uncompressed
    }
    for (int y = 0; y < height; ++y) {
        if (level == 1)
            bitmap += char(width); // a literal run of the whole row
        for (int x = 0; x < width; ++x)
            bitmap += char((x + y) % 4);
    }
    QByteArray file("\xff\x57\x50\x43\x10\0\0\0\x01\x16", 10);
    file += char(level);
    file += QByteArray(5, '\0');
    QByteArray start;
    if (level == 1) {
        start = QByteArray("\x01\0", 2);
        imagetest::append16(start, quint16(width * 100));
        imagetest::append16(start, quint16(height * 100));
    } else {
        for (quint16 word : {1200, 1200})
            imagetest::append16(start, word);
        start += QByteArray(9, '\0');
    }
    file += wpgRecord(level, level == 1 ? 0x0f : 0x01, start);
    file += wpgRecord(level, level == 1 ? 0x0e : 0x0c, palette);
    if (extraType >= 0)
        file += wpgRecord(level, extraType, extra);
    file += wpgRecord(level, level == 1 ? 0x0b : 0x0e, bitmap);
    return file + wpgRecord(level, level == 1 ? 0x10 : 0x02, {});
}

QImage wpgPixels()
{
    QImage image(5, 3, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x)
            image.setPixel(x, y, kColours[(x + y) % 4]);
    }
    return image;
}

// `size` zero bytes but for the given (offset, byte) pairs.
QByteArray bytesAt(int size, std::initializer_list<std::pair<int, int>> bytes)
{
    QByteArray header(size, '\0');
    for (const auto& [offset, value] : bytes)
        header[offset] = char(value);
    return header;
}

QByteArray bigEndianWords(std::initializer_list<quint32> words)
{
    QByteArray bytes;
    for (quint32 word : words)
        imagetest::append32(bytes, word, QSysInfo::BigEndian);
    return bytes;
}

QByteArray pcxHeader(int width, int height, int bits = 8, int planes = 1)
{
    QByteArray header = bytesAt(128, {{0, 0x0a}, {1, 5}, {2, 1}, {3, bits}, {65, planes}});
    qToLittleEndian(quint16(width - 1), header.data() + 8);
    qToLittleEndian(quint16(height - 1), header.data() + 10);
    qToLittleEndian(quint16((width * bits + 7) / 8), header.data() + 66);
    return header;
}

// 2 by 1, 8-bit palette: colours 1 and 2, stored as literal bytes.
QByteArray tinyPcx()
{
    QByteArray palette(768, '\0');
    for (int i = 1; i <= 2; ++i) {
        palette[3 * i] = char(qRed(kColours[i - 1]));
        palette[3 * i + 1] = char(qGreen(kColours[i - 1]));
        palette[3 * i + 2] = char(qBlue(kColours[i - 1]));
    }
    return pcxHeader(2, 1) + QByteArray("\x01\x02") + '\x0c' + palette;
}

QImage tinyPcxPixels()
{
    QImage image(2, 1, QImage::Format_ARGB32_Premultiplied);
    image.setPixel(0, 0, kColours[0]);
    image.setPixel(1, 0, kColours[1]);
    return image;
}

QByteArray tgaHeader(int width, int height)
{
    QByteArray header = bytesAt(18, {{2, 2}, {16, 24}});
    qToLittleEndian(quint16(width), header.data() + 12);
    qToLittleEndian(quint16(height), header.data() + 14);
    return header;
}

QByteArray sgiHeader(int width, int height)
{
    QByteArray header(512, '\0');
    qToBigEndian(quint16(474), header.data());
    header[3] = 1;
    qToBigEndian(quint16(3), header.data() + 4);
    qToBigEndian(quint16(width), header.data() + 6);
    qToBigEndian(quint16(height), header.data() + 8);
    qToBigEndian(quint16(3), header.data() + 10);
    return header;
}

} // namespace

class TestLegacy : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void decodesOnSeveralThreadsFromTheStart();
    void decodesSamples_data();
    void decodesSamples();
    void truncatedSamplesFailCleanly_data();
    void truncatedSamplesFailCleanly();
    void rendersMetafiles_data();
    void rendersMetafiles();
    void decodesWordPerfectBitmaps_data();
    void decodesWordPerfectBitmaps();
    void recognisesByContent_data();
    void recognisesByContent();
    void refusesBombs_data();
    void refusesBombs();
    void refusesScriptsInDisguise_data();
    void refusesScriptsInDisguise();
    void pathIsNeverACoderName_data();
    void pathIsNeverACoderName();
    void cancelStopsLoading_data();
    void cancelStopsLoading();
    void namesEveryFormat();
    void neverWritesTemporaryFiles();

private:
    QString sample(const QString& name, Pattern kind, const QStringList& options);
    QString write(const QString& name, const QByteArray& bytes) { return imagetest::writeFile(m_dir, name, bytes); }

    QTemporaryDir m_dir;
    QString m_gm;
    QString m_gmTemporary;
    QFileSystemWatcher m_watcher;
    std::unique_ptr<QSignalSpy> m_temporaryFiles;
    imagetest::Handle m_handle;
};

void TestLegacy::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Before the library first starts GraphicsMagick: whatever temporary file it made would
    // appear in this watched folder.
    m_gmTemporary = m_dir.filePath(QStringLiteral("gm-temporary"));
    QVERIFY(QDir().mkpath(m_gmTemporary));
    qputenv("MAGICK_TMPDIR", QFile::encodeName(m_gmTemporary));
    QVERIFY(m_watcher.addPath(m_gmTemporary));
    m_temporaryFiles = std::make_unique<QSignalSpy>(&m_watcher, &QFileSystemWatcher::directoryChanged);
    m_gm = QStandardPaths::findExecutable(QStringLiteral("gm"));
}

void TestLegacy::init()
{
    QVERIFY(m_handle.reopen());
}

// First of all, so that GraphicsMagick starts up under several threads at once.
void TestLegacy::decodesOnSeveralThreadsFromTheStart()
{
    const QStringList paths = {write(QStringLiteral("thread.pcx"), tinyPcx()),
                               write(QStringLiteral("thread.wpg"), wpg(2))};
    const QList<QImage> expected = {tinyPcxPixels(), wpgPixels()};
    std::atomic<int> failures = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            imagetest::Handle handle;
            for (int i = 0; i < 20; ++i) {
                const int which = (t + i) % 2;
                if (flmLoadFromFile(handle, paths[which]) != 0 || imagetest::currentSlide(handle) != expected[which])
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    QCOMPARE(failures.load(), 0);
}

// Writes the pattern as PNG and has gm convert it to `name` with `options`.
QString TestLegacy::sample(const QString& name, Pattern kind, const QStringList& options)
{
    const QString source = m_dir.filePath(name + QStringLiteral(".source.png"));
    const QString second = m_dir.filePath(name + QStringLiteral(".second.png"));
    const QString target = m_dir.filePath(name);
    if (!pattern(kind).save(source, "PNG") || !mirroredPattern().save(second, "PNG"))
        return {};
    QStringList arguments = {QStringLiteral("convert"), source};
    for (const QString& option : options)
        arguments << (option == QLatin1String("@second") ? second : option);
    arguments << target;
    QProcess gm;
    gm.start(m_gm, arguments);
    return gm.waitForFinished(60000) && gm.exitStatus() == QProcess::NormalExit && gm.exitCode() == 0 ? target
                                                                                                      : QString();
}

void TestLegacy::decodesSamples_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("tolerance");

    const auto row = [](const char* label, const char* name, Pattern kind, QStringList options, int format, int bits,
                        int tolerance = 0) {
        QTest::newRow(label) << QString::fromLatin1(name) << int(kind) << options << format << bits << tolerance;
    };
    row("pcx 24-bit", "a.pcx", Pattern::Colour, {}, kFlmPcx, 24);
    row("pcx palette", "b.pcx", Pattern::Colour, {"-type", "Palette"}, kFlmPcx, 8);
    row("pcx bilevel", "c.pcx", Pattern::Bilevel, {"-monochrome"}, kFlmPcx, 1);
    row("dcx two pages", "a.dcx", Pattern::Colour, {"@second"}, kFlmDcx, 24);
    row("pbm plain", "a.pbm", Pattern::Bilevel, {"-quality", "0"}, kFlmPbm, 1);
    row("pbm raw", "b.pbm", Pattern::Bilevel, {}, kFlmPbm, 1);
    row("pgm plain", "a.pgm", Pattern::Grey, {"-quality", "0"}, kFlmPgm, 8);
    row("pgm raw", "b.pgm", Pattern::Grey, {}, kFlmPgm, 8);
    row("ppm plain", "a.ppm", Pattern::Colour, {"-quality", "0"}, kFlmPpm, 24);
    row("ppm raw", "b.ppm", Pattern::Colour, {}, kFlmPpm, 24);
    row("tga 24-bit", "a.tga", Pattern::Colour, {}, kFlmTga, 24);
    row("tga palette", "b.tga", Pattern::Colour, {"-type", "Palette"}, kFlmTga, 8);
    row("tga grey", "c.tga", Pattern::Grey, {}, kFlmTga, 8);
    row("tga alpha", "d.tga", Pattern::Translucent, {}, kFlmTga, 32);
    row("sgi run-length", "a.sgi", Pattern::Colour, {}, kFlmSgi, 24);
    row("sgi verbatim", "b.sgi", Pattern::Colour, {"-compress", "None"}, kFlmSgi, 24);
    row("sun 24-bit", "a.ras", Pattern::Colour, {}, kFlmSun, 24);
    row("sun palette", "b.ras", Pattern::Colour, {"-type", "Palette"}, kFlmSun, 8);
    row("xbm", "a.xbm", Pattern::Bilevel, {}, kFlmXbm, 1);
    row("xpm", "a.xpm", Pattern::Colour, {}, kFlmXpm, 4);
    row("xpm transparent", "b.xpm", Pattern::Transparent, {}, kFlmXpm, 4);
    row("wbmp", "a.wbmp", Pattern::Bilevel, {}, kFlmWbmp, 1);
    row("photo cd", "a.pcd", Pattern::PhotoCd, {}, kFlmPhotoCd, 24, 16);
}

void TestLegacy::decodesSamples()
{
    QFETCH(QString, name);
    QFETCH(int, kind);
    QFETCH(QStringList, options);
    QFETCH(int, format);
    QFETCH(int, bits);
    QFETCH(int, tolerance);
    if (m_gm.isEmpty())
        QSKIP("GraphicsMagick (gm) is not installed");
    const QString path = sample(name, Pattern(kind), options);
    QVERIFY(!path.isEmpty());
    const QImage want = expected(Pattern(kind));

    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info), 0);
    QCOMPARE(info.format, format);
    QCOMPARE(QSize(info.width, info.height), want.size());
    QCOMPARE(info.bitsPerPixel, bits);
    QCOMPARE(imagetest::identify(m_gm, QStringLiteral("%w %h\\n"), path).section(QLatin1Char('\n'), 0, 0),
             QStringLiteral("%1 %2").arg(want.width()).arg(want.height()));

    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    const bool pages = format == kFlmDcx;
    QCOMPARE(imagetest::slideCount(m_handle), pages ? 2 : 1);
    const QImage decoded = imagetest::currentSlide(m_handle);
    if (tolerance == 0) {
        const QByteArray differs = difference(decoded, want);
        QVERIFY2(differs.isEmpty(), differs.constData());
    } else {
        const double mean = imagetest::meanDifference(decoded, want);
        QVERIFY2(mean < tolerance / 2.0, QByteArray::number(mean).constData());
        for (int y = 128; y < want.height(); y += 256) {
            for (int x = 96; x < want.width(); x += 192)
                QVERIFY(imagetest::near(decoded.pixel(x, y), want.pixel(x, y), tolerance));
        }
    }
    if (pages) {
        QCOMPARE(flmNext(m_handle), 0);
        QCOMPARE(imagetest::currentSlide(m_handle),
                 mirroredPattern().convertToFormat(QImage::Format_ARGB32_Premultiplied));
    }
}

void TestLegacy::truncatedSamplesFailCleanly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    const std::pair<const char*, Pattern> samples[] = {
        {"pcx", Pattern::Colour},  {"dcx", Pattern::Colour}, {"pbm", Pattern::Bilevel},  {"pgm", Pattern::Grey},
        {"ppm", Pattern::Colour},  {"tga", Pattern::Colour}, {"sgi", Pattern::Colour},   {"sun", Pattern::Colour},
        {"xbm", Pattern::Bilevel}, {"xpm", Pattern::Colour}, {"wbmp", Pattern::Bilevel}, {"pcd", Pattern::PhotoCd},
    };
    for (const auto& [name, kind] : samples)
        QTest::newRow(name) << QStringLiteral("cut.") + QLatin1String(name) << int(kind);
}

void TestLegacy::truncatedSamplesFailCleanly()
{
    QFETCH(QString, name);
    QFETCH(int, kind);
    if (m_gm.isEmpty())
        QSKIP("GraphicsMagick (gm) is not installed");
    const QString path = sample(name, Pattern(kind), {});
    QVERIFY(!path.isEmpty());
    const QByteArray whole = imagetest::readFile(path);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    const QSize size = imagetest::slideSize(m_handle);
    QList<qsizetype> cuts = {1, 2, 3, 4, 8, 17, 18, 31, 32, 127, 128, 129, 511, 512, 513};
    for (int step = 1; step < 40; ++step)
        cuts << whole.size() * step / 40;
    cuts << whole.size() - 1;
    for (qsizetype cut : cuts) {
        if (cut >= whole.size())
            continue;
        const QString cutPath = write(name, whole.left(cut));
        imagetest::Handle handle;
        if (flmLoadFromFile(handle, cutPath) == 0)
            QCOMPARE(imagetest::slideSize(handle), size);
    }
}

void TestLegacy::rendersMetafiles_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QList<QRgb>>("quarters"); // top-left, top-right, bottom-left, bottom-right
    QTest::addColumn<int>("tolerance");

    const QList<QRgb> redCorner = {0xffff0000, 0xffffffff, 0xffffffff, 0xffffffff};
    const QByteArray text = record(0x0521, {6}, QByteArray("Hello!") + QByteArray("\x20\0\x10\0", 4)) +
                            record(0x0a32, {0x40, 0x10, 6, 0}, "Hello!");
    QTest::newRow("placeable, 1440 per inch")
        << metafile(1440, 720, 1440) << "a.wmf" << int(kFlmWmf) << QSize(96, 48) << redCorner << 8;
    QTest::newRow("placeable named apm") << metafile(1440, 720, 1440) << "a.apm" << int(kFlmApm) << QSize(96, 48)
                                         << redCorner << 8;
    QTest::newRow("placeable, odd units rounded up")
        << metafile(4000, 3000, 2540) << "b.wmf" << int(kFlmWmf) << QSize(152, 114) << redCorner << 8;
    QTest::newRow("standard, sized by its drawing")
        << metafile(200, 100, 0) << "c.wmf" << int(kFlmWmf) << QSize() << redCorner << 8;
    QTest::newRow("standard named apm") << metafile(200, 100, 0) << "c.apm" << int(kFlmWmf) << QSize() << redCorner
                                        << 8;
    QTest::newRow("text drawn without its captions")
        << metafile(400, 200, 100, text) << "d.wmf" << int(kFlmWmf) << QSize(384, 192) << redCorner << 8;
    QTest::newRow("bitmap record") << metafile(400, 200, 100, stretchDib(400, 200, quarterDib())) << "e.wmf"
                                   << int(kFlmWmf) << QSize(384, 192)
                                   << QList<QRgb>{0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff}
                                   << 40; // two pixels stretched smoothly over the window
}

void TestLegacy::rendersMetafiles()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(int, format);
    QFETCH(QSize, size);
    QFETCH(QList<QRgb>, quarters);
    QFETCH(int, tolerance);
    const QString path = write(name, file);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info), 0);
    QCOMPARE(info.format, format);
    QCOMPARE(info.bitsPerPixel, 24);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    const QImage image = imagetest::currentSlide(m_handle);
    // Standard metafiles: the header read must agree with what is drawn.
    QCOMPARE(image.size(), size.isValid() ? size : QSize(info.width, info.height));
    QCOMPARE(QSize(info.width, info.height), image.size());
    QVERIFY(image.width() > 8 && image.height() > 8);
    for (int i = 0; i < 4; ++i) {
        const QPoint centre(image.width() * (1 + 2 * (i % 2)) / 4, image.height() * (1 + 2 * (i / 2)) / 4);
        QVERIFY2(imagetest::near(image.pixel(centre), quarters[i], tolerance),
                 QByteArray::number(i) + ": " + QByteArray::number(image.pixel(centre), 16));
    }
}

void TestLegacy::decodesWordPerfectBitmaps_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("decodes");
    QTest::newRow("level 1") << wpg(1) << true;
    QTest::newRow("level 2") << wpg(2) << true;
    QTest::newRow("level 1 with a vector record first") << wpg(1, 0x05, QByteArray(10, '\0')) << true;
    // PostScript records would go to a temporary file and a PostScript interpreter.
    const QByteArray postScript = QByteArray(8, '\0') + "%!PS-Adobe-3.0\nshowpage\n";
    QTest::newRow("level 1 PostScript") << wpg(1, 0x11, postScript) << false;
    QTest::newRow("level 1 PostScript, second kind") << wpg(1, 0x1b, QByteArray(0x3c, '\0') + postScript) << false;
    QTest::newRow("level 2 PostScript") << wpg(2, 0x12, QByteArray(2, '\0') + postScript) << false;
}

void TestLegacy::decodesWordPerfectBitmaps()
{
    QFETCH(QByteArray, file);
    QFETCH(bool, decodes);
    const QString path = write(QStringLiteral("a.wpg"), file);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info) == 0, decodes);
    QCOMPARE(flmLoadFromFile(m_handle, path) == 0, decodes);
    if (!decodes)
        return;
    QCOMPARE(info.format, int(kFlmWpg));
    QCOMPARE(QSize(info.width, info.height), QSize(5, 3));
    QCOMPARE(info.bitsPerPixel, 8);
    QCOMPARE(imagetest::currentSlide(m_handle), wpgPixels());
}

void TestLegacy::recognisesByContent_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format");

    const QByteArray text = "A note about nothing in particular, long enough to look like a header.\n";
    QByteArray pcx = pcxHeader(4, 2) + QByteArray(16, '\0');
    QTest::newRow("pcx named tga") << pcx << "pcx.tga" << int(kFlmPcx);
    QTest::newRow("text named tga") << text << "text.tga" << -1;
    QTest::newRow("text named wbmp") << text << "text.wbmp" << -1;
    QTest::newRow("tga header named dat") << tgaHeader(2, 2) + QByteArray(12, '\0') << "tga.dat" << -1;
    QTest::newRow("tga header named vda") << tgaHeader(2, 2) + QByteArray(12, '\0') << "tga.vda" << int(kFlmTga);
    QByteArray badVersion = pcx;
    badVersion[1] = 1;
    QTest::newRow("pcx, unknown version") << badVersion << "v.pcx" << -1;
    QByteArray badBits = pcx;
    badBits[3] = 3;
    QTest::newRow("pcx, three bits") << badBits << "b.pcx" << -1;
    QTest::newRow("pgm magic, bitmap file") << QByteArray("P5\n2 2\n255\n\0\0\0\0", 15) << "a.pbm" << int(kFlmPgm);
    QTest::newRow("netpbm without size") << QByteArray("P6 and then some words") << "a.ppm" << -1;
    QTest::newRow("wbmp") << QByteArray("\0\0\x08\x02\xaa\x55", 6) << "a.wbmp" << int(kFlmWbmp);
    QTest::newRow("wbmp named wbm") << QByteArray("\0\0\x08\x02\xaa\x55", 6) << "c.wbm" << int(kFlmWbmp);
    QTest::newRow("wbmp missing rows") << QByteArray("\0\0\x08\x02\xaa", 5) << "b.wbmp" << -1;
    QTest::newRow("sun, unknown depth") << bigEndianWords({0x59a66a95, 2, 2, 7, 0, 1, 0, 0}) << "a.ras" << -1;
    QTest::newRow("sgi, four dimensions") << [] {
        QByteArray header = sgiHeader(2, 2);
        header[5] = 4;
        return header;
    }() << "a.sgi" << -1;
    QTest::newRow("xbm") << QByteArray("#define a_width 2\n#define a_height 1\nstatic char a_bits[] = {0x01};\n")
                         << "a.xbm" << int(kFlmXbm);
    QTest::newRow("define without bits") << QByteArray("#define a_width 2\n#define a_height 1\n") << "b.xbm" << -1;
    QTest::newRow("xpm") << QByteArray("/* XPM */\nstatic char *a[] = {\n\"1 1 1 1\",\n\"a c #ff0000\",\n\"a\"};\n")
                         << "a.xpm" << int(kFlmXpm);
    QTest::newRow("xpm comment, no values") << QByteArray("/* XPM */ but nothing else") << "b.xpm" << -1;
    QTest::newRow("wpg, encrypted") << [] {
        QByteArray file = wpg(1);
        file[12] = 1;
        return file;
    }() << "a.wpg" << -1;
    QTest::newRow("photo cd by extension") << QByteArray(kSniffBytes, '\xff') << "a.pcd" << int(kFlmPhotoCd);
    QTest::newRow("short file named pcd") << QByteArray(100, '\xff') << "b.pcd" << -1;
}

void TestLegacy::recognisesByContent()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(int, format);
    int found = -1;
    QCOMPARE(flmCanOpen(m_handle, write(name, file), &found) != 0, format >= 0);
    QCOMPARE(found, format);
}

void TestLegacy::refusesBombs_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");

    QTest::newRow("pcx 65535 square") << pcxHeader(65535, 65535) + QByteArray(64, '\xc1') << "a.pcx";
    QTest::newRow("pcx allowed size, no data") << pcxHeader(16000, 16000) + QByteArray(64, '\xc1') << "b.pcx";
    QTest::newRow("dcx page 65535 square") << [] {
        QByteArray file;
        imagetest::append32(file, 0x3ade68b1);
        imagetest::append32(file, 12);
        imagetest::append32(file, 0);
        return file + pcxHeader(65535, 65535) + QByteArray(64, '\xc1');
    }() << "a.dcx";
    QTest::newRow("sun million wide") << bigEndianWords({0x59a66a95, 1000000, 1, 24, 0, 1, 0, 0}) + QByteArray(64, '\0')
                                      << "a.ras";
    QTest::newRow("sun allowed size, no data")
        << bigEndianWords({0x59a66a95, 16000, 16000, 24, 0, 2, 0, 0}) + QByteArray(64, '\0') << "b.ras";
    QTest::newRow("sgi 65535 square") << sgiHeader(65535, 65535) + QByteArray(64, '\0') << "a.sgi";
    QTest::newRow("sgi allowed size, no data") << sgiHeader(16000, 16000) + QByteArray(64, '\0') << "b.sgi";
    QTest::newRow("tga 65535 square") << tgaHeader(65535, 65535) + QByteArray(64, '\0') << "a.tga";
    QTest::newRow("tga allowed size, no data") << tgaHeader(16000, 16000) + QByteArray(64, '\0') << "b.tga";
    QTest::newRow("ppm million wide") << QByteArray("P6\n1000000 1\n255\n") + QByteArray(64, '\0') << "a.ppm";
    QTest::newRow("ppm allowed size, no data")
        << QByteArray("P6\n16000 16000\n255\n") + QByteArray(64, '\0') << "b.ppm";
    QTest::newRow("xpm allowed size, no data")
        << QByteArray("/* XPM */\nstatic char *a[] = {\n\"16000 16000 1 1\",\n\"a c #ff0000\",\n\"a\"};\n") << "a.xpm";
    QTest::newRow("wbmp 65535 square") << QByteArray("\0\0\x83\xff\x7f\x83\xff\x7f", 8) + QByteArray(64, '\0')
                                       << "a.wbmp";
    QTest::newRow("placeable metafile a mile wide") << metafile(32000, 100, 1) << "a.wmf";
    QTest::newRow("wpg bitmap 65535 square") << wpg(1, 0x0b, [] {
        QByteArray bitmap;
        for (quint16 word : {65535, 65535, 8, 75, 75})
            imagetest::append16(bitmap, word);
        return bitmap;
    }()) << "a.wpg";
}

void TestLegacy::refusesBombs()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    const QString path = write(name, file);
    QVERIFY(flmLoadFromFile(m_handle, path) != 0);
    QVERIFY(imagetest::isEmpty(m_handle));
}

void TestLegacy::refusesScriptsInDisguise_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("output"); // a file the script would write if it ever ran

    const QString written = m_dir.filePath(QStringLiteral("written-by-script.png"));
    const QByteArray msl =
        "<?xml version=\"1.0\"?>\n<image size=\"4x4\">\n<read filename=\"xc:red\"/>\n<write filename=\"" +
        QFile::encodeName(written) + "\"/>\n</image>\n";
    const QByteArray mvg =
        "push graphic-context\nviewbox 0 0 20 20\nfill red\nrectangle 0 0 10 10\npop graphic-context\n";
    const QByteArray svg = "<?xml version=\"1.0\"?>\n<svg width=\"20\" height=\"20\" "
                           "xmlns=\"http://www.w3.org/2000/svg\"><rect width=\"10\" height=\"10\"/></svg>\n";
    QTest::newRow("msl named pcx") << msl << "script.pcx" << written;
    QTest::newRow("msl named xpm") << msl << "script.xpm" << written;
    QTest::newRow("mvg named pcx") << mvg << "drawing.pcx" << QString();
    QTest::newRow("svg named xpm") << svg << "drawing.xpm" << QString();
    QTest::newRow("text named tga") << QByteArray("Just some words.\n") << "words.tga" << QString();
    QTest::newRow("svg in a metafile's bitmap")
        << metafile(400, 200, 100, stretchDib(400, 200, svg)) << "nested.wmf" << QString();
}

void TestLegacy::refusesScriptsInDisguise()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(QString, output);
    const QString path = write(name, file);
    if (!output.isEmpty() && !m_gm.isEmpty()) {
        // The script is real: gm itself runs it and writes the file.
        QProcess gm;
        gm.start(m_gm, {QStringLiteral("conjure"), path});
        QVERIFY(gm.waitForFinished(60000));
        QVERIFY(QFile::remove(output));
    }
    QVERIFY(flmLoadFromFile(m_handle, path) != 0);
    if (!output.isEmpty())
        QVERIFY(!QFile::exists(output));
}

void TestLegacy::pathIsNeverACoderName_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("coder prefix") << "MSL:picture.pcx";
    QTest::newRow("frame selector") << "picture.pcx[1]";
    QTest::newRow("both") << "SVG:picture[0].pcx";
}

void TestLegacy::pathIsNeverACoderName()
{
    QFETCH(QString, name);
    QCOMPARE(flmLoadFromFile(m_handle, write(name, tinyPcx())), 0);
    QCOMPARE(imagetest::currentSlide(m_handle), tinyPcxPixels());
}

void TestLegacy::cancelStopsLoading_data()
{
    QTest::addColumn<bool>("insideDecoder");
    QTest::newRow("before decoding") << false;
    QTest::newRow("while GraphicsMagick decodes") << true;
}

void TestLegacy::cancelStopsLoading()
{
    QFETCH(bool, insideDecoder);
    if (m_gm.isEmpty())
        QSKIP("GraphicsMagick (gm) is not installed");
    const QString path = sample(QStringLiteral("cancel.ppm"), Pattern::PhotoCd, {});
    QVERIFY(!path.isEmpty());
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    // The decoder's own reports lie between the first and the copying of the pixels.
    const FlmCallback cancel = [](const FlmCallbackRecord* record) {
        return record->event == kFlmProgress && record->percent > 0 && record->percent < 80 ? 0 : 1;
    };
    flmSetCallback(m_handle, insideDecoder ? cancel : imagetest::cancelAtProgress, nullptr);
    QVERIFY(flmLoadFromFile(m_handle, path) != 0);
}

void TestLegacy::namesEveryFormat()
{
    // The program hands the library a buffer of 2048 bytes for the open dialog's filter.
    QByteArray buffer(2048, '\0');
    QCOMPARE(flmGetOpenDialogString(m_handle, buffer.data(), int(buffer.size()), 0), 0);
    const QList<QByteArray> texts = buffer.split('\0');
    const QList<std::pair<QByteArray, QByteArray>> pairs = {
        {"ZSoft Paintbrush", "*.pcx"},     {"ZSoft Paintbrush", "*.dcx"},
        {"Portable Bitmap", "*.pbm"},      {"Portable Graymap", "*.pgm"},
        {"Portable Pixelmap", "*.ppm"},    {"Truevision Targa", "*.tga;*.vda;*.icb;*.vst"},
        {"Kodak Photo CD", "*.pcd"},       {"Wireless Mono Bitmap", "*.wbm;*.wbmp"},
        {"SUN Raster File", "*.ras"},      {"Silicon Graphics Image", "*.sgi"},
        {"X11 bitmap", "*.xbm"},           {"X11 pixmap", "*.xpm"},
        {"Windows Metafile", "*.wmf"},     {"Aldus Metafile", "*.apm"},
        {"WordPerfect Graphics", "*.wpg"},
    };
    for (const auto& [description, patterns] : pairs) {
        bool found = false;
        for (qsizetype i = 0; i + 1 < texts.size() && !found; i += 2)
            found = texts[i] == description && texts[i + 1] == patterns;
        QVERIFY2(found, description.constData());
    }
}

void TestLegacy::neverWritesTemporaryFiles()
{
    // Runs last: every hostile file above has been through the library by now.
    QCoreApplication::processEvents();
    QCOMPARE(m_temporaryFiles->count(), 0);
    // The watch itself works: a file made there is seen.
    write(QStringLiteral("gm-temporary/probe"), "x");
    QVERIFY(m_temporaryFiles->wait(10000));
}

QTEST_GUILESS_MAIN(TestLegacy)
#include "tst_legacy.moc"
