// The GIF writer through the handle interface: pictures go in as PNG files (one slide) or GIF
// animations made with giflib here, come out through flmSaveToFile and are read back by our
// reader; gifsicle, where installed, reports the colour table, interlacing, loop and delays.
#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gif_lib.h>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

using Slides = QList<QImage>;

// Colour i of a set of n, spread over the cube so that neighbours differ clearly.
QRgb spread(int i, int salt = 0)
{
    return qRgb((i * 53 + salt) % 256, (i * 97 + 3 * salt) % 256, (i * 191 + 7 * salt) % 256);
}

QImage fewColours(int width, int height, int colours, int salt = 0)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, spread((x / 3 + y / 2 * 5) % colours, salt));
    }
    return image;
}

// A sky over a hill in evening light: smooth shading of a few hues with a little grain, as in a
// photograph; thousands of colours.
QImage photo(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double horizon = height * 0.6 + height * 0.08 * qSin(x / 17.0);
            const int grain = (x * 7 + y * 13 + x * y % 11) % 13 - 6;
            QRgb colour;
            if (y < horizon) {
                const double t = y / horizon;
                colour = qRgb(int(30 + 220 * t) + grain, int(60 + 130 * t) + grain, int(150 - 10 * t) + grain);
            } else {
                const double light = 1 - qMin(1.0, qHypot(x - width * 0.7, y - horizon) / width);
                colour = qRgb(int(40 + 80 * light) + grain, int(70 + 90 * light) + grain, int(25 + 40 * light) + grain);
            }
            image.setPixel(x, y, colour);
        }
    }
    return image;
}

// Full-range ramps of red and green with a ripple through red and blue: colours fill much of the
// cube, the hardest case for 256 colours.
QImage ramps(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int ripple = int(20 * qSin((x + y) / 9.0));
            image.setPixel(x, y,
                           qRgb(qBound(0, x * 255 / (width - 1) + ripple, 255), y * 255 / (height - 1),
                                qBound(0, 128 + ripple * 3 - x / 4, 255)));
        }
    }
    return image;
}

// A clear disc in the middle of the picture.
QImage withHole(QImage image)
{
    const QPoint centre(image.width() / 2, image.height() / 2);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((QPoint(x, y) - centre).manhattanLength() < image.height() / 3)
                image.setPixel(x, y, 0);
        }
    }
    return image;
}

// A busy background of few colours with a small square at `at`.
QImage withSquare(const QImage& background, QPoint at)
{
    QImage image = background;
    for (int y = at.y(); y < at.y() + 8; ++y) {
        for (int x = at.x(); x < at.x() + 8; ++x)
            image.setPixel(x, y, qRgb(255, 255, 255));
    }
    return image;
}

int appendToBuffer(GifFileType* gif, const GifByteType* data, int length)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

// An animation of whole frames, each with its own table of at most 255 colours and entry 255
// for transparent pixels; every frame is cleared after it is shown, so each slide decodes to
// exactly its image.
QByteArray buildAnimation(const Slides& slides, const QList<int>& delaysCs)
{
    QByteArray bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, appendToBuffer, &error);
    EGifSetGifVersion(gif, true);
    const QSize size = slides.first().size();
    bool ok = EGifPutScreenDesc(gif, size.width(), size.height(), 8, 0, nullptr) == GIF_OK;
    for (qsizetype k = 0; k < slides.size(); ++k) {
        std::vector<GifColorType> colours;
        QByteArray indices;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb pixel = slides[k].pixel(x, y);
                const GifColorType colour{GifByteType(qRed(pixel)), GifByteType(qGreen(pixel)),
                                          GifByteType(qBlue(pixel))};
                auto known = std::find_if(colours.begin(), colours.end(), [&](const GifColorType& c) {
                    return c.Red == colour.Red && c.Green == colour.Green && c.Blue == colour.Blue;
                });
                if (qAlpha(pixel) == 0) {
                    indices.append(char(255));
                    continue;
                }
                if (known == colours.end())
                    known = colours.insert(colours.end(), colour);
                indices.append(char(known - colours.begin()));
            }
        }
        colours.resize(256, GifColorType{0, 0, 0});
        const std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(256, colours.data()));
        const GraphicsControlBlock control{DISPOSE_BACKGROUND, false, delaysCs[k], 255};
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, size.width(), size.height(), false, map.get()) == GIF_OK;
        for (int y = 0; y < size.height(); ++y)
            ok = ok && EGifPutLine(gif, reinterpret_cast<GifPixelType*>(indices.data()) + y * size.width(),
                                   size.width()) == GIF_OK;
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    return ok ? bytes : QByteArray();
}

// The picture's colours; transparent pixels count as one.
int colourCount(const QImage& image)
{
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    }
    return int(colours.size());
}

// True when the pictures are transparent (alpha 0) at the same pixels and opaque elsewhere.
bool sameTransparency(const QImage& a, const QImage& b)
{
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if ((qAlpha(a.pixel(x, y)) == 0) != (qAlpha(b.pixel(x, y)) == 0))
                return false;
        }
    }
    return true;
}

struct Loaded {
    Slides slides;
    QList<int> delaysMs;
};

Loaded everySlide(FLMHANDLE handle)
{
    Loaded loaded;
    flmFirst(handle);
    for (int i = 0; i < imagetest::slideCount(handle); ++i, flmNext(handle)) {
        int delay = -1;
        flmGetDelay(handle, i, &delay);
        loaded.slides << imagetest::currentSlide(handle);
        loaded.delaysMs << delay;
    }
    return loaded;
}

QString gifsicleInfo(const QString& path)
{
    const QString gifsicle = QStandardPaths::findExecutable(QStringLiteral("gifsicle"));
    if (gifsicle.isEmpty())
        return {};
    QProcess process;
    process.start(gifsicle, {QStringLiteral("--info"), path});
    return process.waitForFinished(30000) && process.exitCode() == 0
               ? QString::fromUtf8(process.readAllStandardOutput())
               : QString();
}

} // namespace

class TestGifWrite : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void stillPicture_data();
    void stillPicture();
    void animation_data();
    void animation();

private:
    QString save(const QString& name, int colours, bool interlaced, bool optimise);

    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestGifWrite::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

QString TestGifWrite::save(const QString& name, int colours, bool interlaced, bool optimise)
{
    FlmSaveOptions options;
    options.field[FlmSaveOptions::kFormat] = kFlmGif;
    options.field[FlmSaveOptions::kColours] = colours;
    options.field[FlmSaveOptions::kInterlaced] = interlaced ? 1 : 0;
    options.field[FlmSaveOptions::kOptimise] = optimise ? 1 : 0;
    const QString path = m_dir.filePath(name);
    return flmSaveToFile(m_handle, &options, path) == 0 ? path : QString();
}

void TestGifWrite::stillPicture_data()
{
    QTest::addColumn<QImage>("source");
    QTest::addColumn<int>("colours");
    QTest::addColumn<bool>("interlaced");
    QTest::addColumn<bool>("optimise");
    QTest::addColumn<double>("tolerance"); // 0: the picture comes back exactly
    QTest::addColumn<int>("table");
    const QImage few = fewColours(61, 47, 40);
    const QImage picture = photo(160, 120);
    QTest::newRow("40 colours") << few << 256 << false << false << 0.0 << 256;
    QTest::newRow("40 colours, optimised table") << few << 256 << false << true << 0.0 << 64;
    QTest::newRow("40 colours, interlaced") << few << 256 << true << true << 0.0 << 64;
    QTest::newRow("40 colours, 0 asked means 256") << few << 0 << false << false << 0.0 << 256;
    QTest::newRow("40 colours, 300 asked means 256") << few << 300 << false << false << 0.0 << 256;
    QTest::newRow("40 colours in 16") << few << 16 << false << false << 40.0 << 16;
    QTest::newRow("40 colours and transparency") << withHole(few) << 256 << true << true << 0.0 << 64;
    QTest::newRow("black and white in 2") << fewColours(33, 17, 2, 255) << 2 << false << false << 0.0 << 2;
    QTest::newRow("photo") << picture << 256 << false << false << 2.0 << 256;
    QTest::newRow("photo, interlaced") << picture << 256 << true << true << 2.0 << 256;
    QTest::newRow("photo in 16") << picture << 16 << false << true << 6.0 << 16;
    QTest::newRow("photo and transparency") << withHole(picture) << 256 << false << false << 2.0 << 256;
    QTest::newRow("full-range ramps") << ramps(160, 120) << 256 << false << true << 8.0 << 256;
}

void TestGifWrite::stillPicture()
{
    QFETCH(QImage, source);
    QFETCH(int, colours);
    QFETCH(bool, interlaced);
    QFETCH(bool, optimise);
    QFETCH(double, tolerance);
    QFETCH(int, table);
    const QString input = m_dir.filePath(QStringLiteral("in.png"));
    QVERIFY(source.save(input));
    QCOMPARE(flmLoadFromFile(m_handle, input), 0);
    const QImage original = imagetest::currentSlide(m_handle);

    const QString path = save(QStringLiteral("out.gif"), colours, interlaced, optimise);
    QVERIFY(!path.isEmpty());
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::slideCount(m_handle), 1);
    const QImage decoded = imagetest::currentSlide(m_handle);
    QCOMPARE(decoded.size(), original.size());
    if (tolerance == 0) {
        QCOMPARE(decoded, original);
    } else {
        QVERIFY(sameTransparency(decoded, original));
        const double difference = imagetest::meanDifference(decoded, original);
        QVERIFY2(difference < tolerance, qPrintable(QString::number(difference)));
        QVERIFY(colourCount(decoded) <= qBound(2, colours, 256));
    }

    const QString info = gifsicleInfo(path);
    if (info.isEmpty())
        QSKIP("gifsicle is not installed");
    QVERIFY2(info.contains(QStringLiteral("global color table [%1]").arg(table)), qPrintable(info));
    QCOMPARE(info.contains(QStringLiteral(" interlaced")), interlaced);
    QVERIFY(!info.contains(QStringLiteral("loop")));
}

void TestGifWrite::animation_data()
{
    QTest::addColumn<Slides>("slides");
    QTest::addColumn<bool>("exact");
    QTest::addColumn<bool>("interlaced");
    const QImage background = fewColours(96, 64, 30);
    const Slides moving{withSquare(background, {4, 4}), withSquare(background, {10, 6}),
                        withSquare(background, {16, 8})};
    QTest::newRow("a square moves") << moving << true << false;
    QTest::newRow("a square moves, interlaced") << moving << true << true;
    QTest::newRow("pixels turn transparent and back")
        << Slides{background, withHole(withSquare(background, {40, 30})), withSquare(background, {40, 30})} << true
        << false;
    // 600 colours in all: the slides share one reduced palette.
    QTest::newRow("many colours in all") << Slides{fewColours(64, 48, 200, 0), fewColours(64, 48, 200, 1),
                                                   withSquare(fewColours(64, 48, 200, 1), {5, 5})}
                                         << false << false;
}

void TestGifWrite::animation()
{
    QFETCH(Slides, slides);
    QFETCH(bool, exact);
    QFETCH(bool, interlaced);
    const QList<int> delaysCs{10, 25, 4};
    const QString input = imagetest::writeFile(m_dir, QStringLiteral("in.gif"), buildAnimation(slides, delaysCs));
    QCOMPARE(flmLoadFromFile(m_handle, input), 0);
    const Loaded original = everySlide(m_handle);
    QCOMPARE(original.slides.size(), 3);
    QCOMPARE(original.delaysMs, (QList<int>{100, 250, 40}));

    QList<Loaded> results;
    QList<qint64> sizes;
    for (const bool optimise : {false, true}) {
        QCOMPARE(flmLoadFromFile(m_handle, input), 0);
        QCOMPARE(flmNext(m_handle), 0); // the current slide does not limit what is written
        const QString path = save(QStringLiteral("out%1.gif").arg(optimise), 256, interlaced, optimise);
        QVERIFY(!path.isEmpty());
        QCOMPARE(flmLoadFromFile(m_handle, path), 0);
        const Loaded written = everySlide(m_handle);
        QCOMPARE(written.delaysMs, original.delaysMs);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(sameTransparency(written.slides[i], original.slides[i]));
            if (exact)
                QCOMPARE(written.slides[i], original.slides[i]);
            else
                QVERIFY(imagetest::meanDifference(written.slides[i], original.slides[i]) < 12);
        }
        results << written;
        sizes << QFileInfo(path).size();

        const QString info = gifsicleInfo(path);
        if (!info.isEmpty()) {
            QVERIFY2(info.contains(QStringLiteral("3 images")) && info.contains(QStringLiteral("loop forever")) &&
                         info.contains(QStringLiteral("delay 0.25s")),
                     qPrintable(info));
            QCOMPARE(info.count(QStringLiteral(" interlaced")), interlaced ? 3 : 0);
        }
    }
    // Optimising changes how the frames are stored, never what they show.
    QCOMPARE(results[1].slides, results[0].slides);
    QVERIFY2(sizes[1] < sizes[0], qPrintable(QStringLiteral("%1 >= %2").arg(sizes[1]).arg(sizes[0])));
}

QTEST_GUILESS_MAIN(TestGifWrite)
#include "tst_gifwrite.moc"
