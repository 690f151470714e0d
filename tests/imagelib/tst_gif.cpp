#include <cstring>
#include <memory>
#include <vector>

#include <QRect>
#include <QTemporaryDir>
#include <QTest>

#include <gif_lib.h>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

struct Frame {
    QRect rect;
    QByteArray indices; // one per pixel, top row first
    int disposal = DISPOSAL_UNSPECIFIED;
    int delayCs = 0;
    int transparent = NO_TRANSPARENT_COLOR;
    bool interlaced = false;
    QList<QRgb> localColours = {};
};

int appendToBuffer(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using MapPointer = std::unique_ptr<ColorMapObject, MapDeleter>;

MapPointer makeMap(const QList<QRgb>& colours)
{
    if (colours.isEmpty())
        return nullptr;
    int size = 2;
    while (size < colours.size())
        size *= 2;
    std::vector<GifColorType> entries(size_t(size), GifColorType{0, 0, 0});
    for (qsizetype i = 0; i < colours.size(); ++i)
        entries[size_t(i)] = {GifByteType(qRed(colours[i])), GifByteType(qGreen(colours[i])),
                              GifByteType(qBlue(colours[i]))};
    return MapPointer(GifMakeMapObject(size, entries.data()));
}

// Rows in the order an interlaced image stores them.
QList<int> storedRows(int height, bool interlaced)
{
    QList<int> rows;
    if (!interlaced) {
        for (int y = 0; y < height; ++y)
            rows << y;
        return rows;
    }
    const int starts[] = {0, 4, 2, 1};
    const int steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = starts[pass]; y < height; y += steps[pass])
            rows << y;
    }
    return rows;
}

QByteArray buildGif(QSize screen, const QList<QRgb>& globalColours, const QList<Frame>& frames)
{
    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, appendToBuffer, &error);
    if (!gif)
        return {};
    EGifSetGifVersion(gif, true);
    const MapPointer global = makeMap(globalColours);
    bool ok = EGifPutScreenDesc(gif, screen.width(), screen.height(), 8, 0, global.get()) == GIF_OK;
    for (const Frame& frame : frames) {
        const GraphicsControlBlock control{frame.disposal, false, frame.delayCs, frame.transparent};
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        const MapPointer local = makeMap(frame.localColours);
        const QRect& r = frame.rect;
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK &&
             EGifPutImageDesc(gif, r.x(), r.y(), r.width(), r.height(), frame.interlaced, local.get()) == GIF_OK;
        QByteArray pixels = frame.indices;
        for (int y : storedRows(r.height(), frame.interlaced)) {
            ok = ok && pixels.size() >= (y + 1) * r.width() &&
                 EGifPutLine(gif, reinterpret_cast<GifPixelType*>(pixels.data() + y * r.width()), r.width()) == GIF_OK;
        }
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    return ok ? bytes : QByteArray();
}

// giflib writes no image without a colour map: the table is taken out afterwards.
QByteArray withoutGlobalMap(QByteArray gif)
{
    const int entries = 1 << ((gif[10] & 7) + 1);
    gif[10] = char(gif[10] & 0x7f);
    return gif.remove(13, 3 * entries);
}

QByteArray filled(const QRect& rect, char index)
{
    return QByteArray(rect.width() * rect.height(), index);
}

const QList<QRgb> kColours = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
constexpr char kRed = 0;
constexpr char kGreen = 1;
constexpr char kBlue = 2;

// Expected pixels written as letters (r g b w, '.' transparent) or grey-level digits.
QImage picture(int width, const char* pixels)
{
    const int count = int(std::strlen(pixels));
    QImage image(width, count / width, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < count; ++i) {
        const char c = pixels[i];
        QRgb colour = 0;
        if (c == 'r' || c == 'g' || c == 'b' || c == 'w')
            colour = kColours[QByteArrayView("rgbw").indexOf(c)];
        else if (c >= '0' && c <= '9')
            colour = qRgb(c - '0', c - '0', c - '0');
        image.setPixel(i % width, i / width, colour);
    }
    return image;
}

// A red screen, a green 2 x 2 frame in its middle with the given disposal, then a blue corner.
QByteArray disposalGif(int disposal, const QRect& middle = QRect(1, 1, 2, 2))
{
    const QRect screen(0, 0, 4, 4);
    const QRect corner(0, 0, 1, 1);
    return buildGif(screen.size(), kColours,
                    {{.rect = screen, .indices = filled(screen, kRed), .disposal = DISPOSE_DO_NOT},
                     {.rect = middle, .indices = filled(middle, kGreen), .disposal = disposal},
                     {.rect = corner, .indices = filled(corner, kBlue)}});
}

} // namespace

class TestGif : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void composites_data();
    void composites();
    void walksSlides_data();
    void walksSlides();
    void keepsFramesBeforeDamage_data();
    void keepsFramesBeforeDamage();
    void refusesHostileFiles_data();
    void refusesHostileFiles();
    void readsHeader_data();
    void readsHeader();
    void cancelStopsLoading();
    void transformsApplyToEverySlide();

private:
    QString writeFile(const QByteArray& bytes) const;

    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestGif::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

QString TestGif::writeFile(const QByteArray& bytes) const
{
    return imagetest::writeFile(m_dir, QStringLiteral("case.gif"), bytes);
}

void TestGif::composites_data()
{
    QTest::addColumn<QByteArray>("gif");
    QTest::addColumn<int>("slide");
    QTest::addColumn<QImage>("expected");

    QTest::newRow("frame drawn over the one before") << disposalGif(DISPOSE_DO_NOT) << 1
                                                     << picture(4, "rrrr"
                                                                   "rggr"
                                                                   "rggr"
                                                                   "rrrr");
    QTest::newRow("unspecified disposal keeps the frame") << disposalGif(DISPOSAL_UNSPECIFIED) << 2
                                                          << picture(4, "brrr"
                                                                        "rggr"
                                                                        "rggr"
                                                                        "rrrr");
    QTest::newRow("disposal 1 keeps the frame") << disposalGif(DISPOSE_DO_NOT) << 2
                                                << picture(4, "brrr"
                                                              "rggr"
                                                              "rggr"
                                                              "rrrr");
    QTest::newRow("disposal 2 clears the frame's rectangle") << disposalGif(DISPOSE_BACKGROUND) << 2
                                                             << picture(4, "brrr"
                                                                           "r..r"
                                                                           "r..r"
                                                                           "rrrr");
    QTest::newRow("disposal 3 restores what was there") << disposalGif(DISPOSE_PREVIOUS) << 2
                                                        << picture(4, "brrr"
                                                                      "rrrr"
                                                                      "rrrr"
                                                                      "rrrr");
    QTest::newRow("clipped frame") << disposalGif(DISPOSE_BACKGROUND, QRect(3, 3, 4, 4)) << 1
                                   << picture(4, "rrrr"
                                                 "rrrr"
                                                 "rrrr"
                                                 "rrrg");
    QTest::newRow("disposal 2 of a clipped frame") << disposalGif(DISPOSE_BACKGROUND, QRect(3, 3, 4, 4)) << 2
                                                   << picture(4, "brrr"
                                                                 "rrrr"
                                                                 "rrrr"
                                                                 "rrr.");
    QTest::newRow("frame outside the screen") << disposalGif(DISPOSE_DO_NOT, QRect(10, 10, 2, 2)) << 1
                                              << picture(4, "rrrr"
                                                            "rrrr"
                                                            "rrrr"
                                                            "rrrr");

    const QRect topLeft(0, 0, 2, 2);
    const QRect bottomRight(2, 2, 2, 2);
    QTest::newRow("disposal 3 of the first frame restores the empty screen")
        << buildGif({4, 4}, kColours,
                    {{.rect = topLeft, .indices = filled(topLeft, kRed), .disposal = DISPOSE_PREVIOUS},
                     {.rect = bottomRight, .indices = filled(bottomRight, kGreen)}})
        << 1
        << picture(4, "...."
                      "...."
                      "..gg"
                      "..gg");

    const QRect row(0, 0, 4, 1);
    QTest::newRow("transparent index keeps the pixel below")
        << buildGif({4, 1}, kColours,
                    {{.rect = row, .indices = filled(row, kRed)},
                     {.rect = row, .indices = QByteArray("\x03\x01\x03\x02", 4), .transparent = 3}})
        << 1 << picture(4, "rgrb");
    QTest::newRow("transparent index in the first frame")
        << buildGif({4, 1}, kColours, {{.rect = row, .indices = QByteArray("\x03\x01\x03\x02", 4), .transparent = 3}})
        << 0 << picture(4, ".g.b");
    QTest::newRow("local colour map") << buildGif({4, 1}, kColours,
                                                  {{.rect = row,
                                                    .indices = QByteArray("\x00\x01\x01\x00", 4),
                                                    .localColours = {kColours[3], kColours[2]}}})
                                      << 0 << picture(4, "wbbw");
    QTest::newRow("no colour map reads grey")
        << withoutGlobalMap(buildGif({4, 1}, kColours, {{.rect = row, .indices = QByteArray("\x00\x01\x02\x03", 4)}}))
        << 0 << picture(4, "0123");

    const QRect column(0, 0, 1, 10);
    const QByteArray stripes("\x00\x01\x02\x03\x00\x01\x02\x03\x00\x01", 10);
    QTest::newRow("interlaced") << buildGif({1, 10}, kColours,
                                            {{.rect = column, .indices = stripes, .interlaced = true}})
                                << 0 << picture(1, "rgbwrgbwrg");
    QTest::newRow("interlaced, taller than the screen")
        << buildGif({1, 6}, kColours, {{.rect = column, .indices = stripes, .interlaced = true}}) << 0
        << picture(1, "rgbwrg");
}

void TestGif::composites()
{
    QFETCH(QByteArray, gif);
    QFETCH(int, slide);
    QFETCH(QImage, expected);
    QVERIFY(!gif.isEmpty());
    QCOMPARE(flmLoadFromFile(m_handle, writeFile(gif)), 0);
    for (int i = 0; i < slide; ++i)
        QCOMPARE(flmNext(m_handle), 0);
    const QImage decoded = imagetest::currentSlide(m_handle);
    QCOMPARE(decoded, expected);
}

void TestGif::walksSlides_data()
{
    QTest::addColumn<QList<int>>("delaysCs");

    QTest::newRow("one frame without delay") << QList<int>{0};
    QTest::newRow("three frames") << QList<int>{10, 250, 3};
    QTest::newRow("long delay") << QList<int>{65535, 1};
}

void TestGif::walksSlides()
{
    QFETCH(QList<int>, delaysCs);
    const QRect screen(0, 0, 3, 2);
    QList<Frame> frames;
    for (int delay : delaysCs)
        frames.append({.rect = screen, .indices = filled(screen, char(frames.size() % 4)), .delayCs = delay});
    QCOMPARE(flmLoadFromFile(m_handle, writeFile(buildGif(screen.size(), kColours, frames))), 0);

    const int slides = imagetest::slideCount(m_handle);
    QCOMPARE(slides, int(delaysCs.size()));
    for (int i = 0; i < slides; ++i) {
        int delay = -1;
        QCOMPARE(flmGetDelay(m_handle, i, &delay), 0);
        QCOMPARE(delay, delaysCs[i] * 10);
        int current = -1;
        QCOMPARE(flmGetCurrentSlide(m_handle, &current), 0);
        QCOMPARE(current, i);
        QCOMPARE(imagetest::currentSlide(m_handle).pixel(0, 0), kColours[i % 4]);
        QCOMPARE(flmNext(m_handle) != 0, i == slides - 1);
    }
    QCOMPARE(flmFirst(m_handle), 0);
    int current = -1;
    QCOMPARE(flmGetCurrentSlide(m_handle, &current), 0);
    QCOMPARE(current, 0);
}

void TestGif::keepsFramesBeforeDamage_data()
{
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("cutFromEnd");
    QTest::addColumn<int>("slides"); // 0: the load fails

    // The last three bytes are the final data byte, the block terminator and the trailer.
    QTest::newRow("no trailer") << 3 << 1 << 3;
    QTest::newRow("third frame's data cut") << 3 << 3 << 2;
    QTest::newRow("only frame's data cut") << 1 << 3 << 0;
}

void TestGif::keepsFramesBeforeDamage()
{
    QFETCH(int, frames);
    QFETCH(int, cutFromEnd);
    QFETCH(int, slides);
    const QRect screen(0, 0, 8, 8);
    QByteArray noise(64, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7 + i / 3) % 4);
    QList<Frame> list;
    for (int i = 0; i < frames; ++i)
        list.append({.rect = screen, .indices = noise, .delayCs = 5});
    const QByteArray gif = buildGif(screen.size(), kColours, list);
    QVERIFY(!gif.isEmpty());
    const QString path = writeFile(gif.chopped(cutFromEnd));
    QCOMPARE(flmLoadFromFile(m_handle, path) == 0, slides > 0);
    QCOMPARE(imagetest::slideCount(m_handle), slides);
}

void TestGif::refusesHostileFiles_data()
{
    QTest::addColumn<QByteArray>("gif");

    const QRect screen(0, 0, 2, 2);
    QTest::newRow("signature only") << QByteArray("GIF89a");
    QTest::newRow("no image") << buildGif(screen.size(), kColours, {});
    QTest::newRow("zero-sized screen") << buildGif({0, 0}, kColours, {{.rect = screen, .indices = filled(screen, 0)}});
    QByteArray huge = buildGif(screen.size(), kColours, {{.rect = screen, .indices = filled(screen, 0)}});
    // Image descriptor after the header, the 4-entry map and the control extension: width and
    // height become 65535 with the little data of a 2 x 2 frame behind them.
    const qsizetype descriptor = 13 + 12 + 8;
    QVERIFY(huge[descriptor] == ',');
    huge.replace(descriptor + 5, 4, QByteArray(4, '\xff'));
    QTest::newRow("frame past the pixel limit") << huge;
}

void TestGif::refusesHostileFiles()
{
    QFETCH(QByteArray, gif);
    QVERIFY(flmLoadFromFile(m_handle, writeFile(gif)) != 0);
    QVERIFY(imagetest::isEmpty(m_handle));
}

void TestGif::readsHeader_data()
{
    QTest::addColumn<QByteArray>("gif");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("bits");

    const QRect frame(0, 0, 1, 1);
    QTest::newRow("4-colour table") << buildGif({5, 3}, kColours, {{.rect = frame, .indices = filled(frame, 0)}})
                                    << QSize(5, 3) << 2;
    QTest::newRow("8-colour table") << buildGif({300, 2}, kColours + kColours,
                                                {{.rect = frame, .indices = filled(frame, 0)}})
                                    << QSize(300, 2) << 3;
    QTest::newRow("no global table") << withoutGlobalMap(
                                            buildGif({7, 7}, kColours, {{.rect = frame, .indices = filled(frame, 0)}}))
                                     << QSize(7, 7) << 8;
}

void TestGif::readsHeader()
{
    QFETCH(QByteArray, gif);
    QFETCH(QSize, size);
    QFETCH(int, bits);
    const QString path = writeFile(gif);
    int format = -1;
    QVERIFY(flmCanOpen(m_handle, path, &format) != 0);
    QCOMPARE(format, int(kFlmGif));
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, path, &info), 0);
    QCOMPARE(info.format, int(kFlmGif));
    QCOMPARE(QSize(info.width, info.height), size);
    QCOMPARE(info.bitsPerPixel, bits);
}

void TestGif::cancelStopsLoading()
{
    const QRect screen(0, 0, 2, 2);
    const QString path = writeFile(buildGif(screen.size(), kColours, {{.rect = screen, .indices = filled(screen, 0)}}));
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    flmSetCallback(m_handle, imagetest::cancelAtProgress, nullptr);
    QVERIFY(flmLoadFromFile(m_handle, path) != 0);
}

void TestGif::transformsApplyToEverySlide()
{
    QCOMPARE(flmLoadFromFile(m_handle, writeFile(disposalGif(DISPOSE_DO_NOT))), 0);
    QCOMPARE(flmCrop(m_handle, 0, 0, 3, 2, 0, 3), 0);
    QCOMPARE(flmRotate(m_handle, 90.0, 0, 0, -1), 0);
    // The 3 x 2 top-left corner of each slide, turned clockwise.
    const char* expected[] = {"rrrrrr", "rrgrgr", "rbgrgr"};
    QCOMPARE(flmFirst(m_handle), 0);
    for (const char* slide : expected) {
        QCOMPARE(imagetest::currentSlide(m_handle), picture(2, slide));
        flmNext(m_handle);
    }
}

QTEST_GUILESS_MAIN(TestGif)
#include "tst_gif.moc"
