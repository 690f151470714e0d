#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "imagelib/cbmpex.h"
#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

const QRgb kMarker = qRgb(255, 255, 0);

// A slide of one colour with a marked top-left pixel, so that where that corner went shows.
QImage markedSlide(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.setPixel(0, 0, kMarker);
    return image;
}

// An icon whose entries are these pictures as PNG files: every entry a slide of its own size.
QByteArray iconOf(const QList<QImage>& slides)
{
    QByteArray directory("\0\0\1\0", 4);
    imagetest::append16(directory, quint16(slides.size()));
    QByteArray data;
    for (const QImage& slide : slides) {
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        slide.save(&png, "PNG");
        directory += QByteArray(1, char(slide.width())) + char(slide.height()) + QByteArray("\0\0\1\0\x20\0", 6);
        imagetest::append32(directory, quint32(png.data().size()));
        imagetest::append32(directory, quint32(6 + 16 * slides.size() + data.size()));
        data += png.data();
    }
    return directory + data;
}

} // namespace

class TestCBmpEx : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void loadFailureClearsPathAndFlag();
    void clearKeepsPathAndFlag();
    void loadAndSaveOfUnreadableSourceLeavesTarget();
    void saveNeedsPictureAndOptions();
    void saveWritesZeroedRecordAsBitmap();
    void cancelFlagStopsLoad();
    void swapPictureExchangesPicturesAndPaths();
    void swapPictureLeavesFlagsWithTheirObjects();
    void secondLoadOfTheSameSizeShowsOnlyItself_data();
    void secondLoadOfTheSameSizeShowsOnlyItself();
    void failureTextNamesFileAndReason_data();
    void failureTextNamesFileAndReason();
    void changesTurnEverySlide_data();
    void changesTurnEverySlide();
    void failedCropLeavesPictureWhole_data();
    void failedCropLeavesPictureWhole();
    void drawScaledTakesSourceInPicturePixels_data();
    void drawScaledTakesSourceInPicturePixels();

private:
    QString picture(QSize size, QColor colour);
    QString twoSlides();
    QTemporaryDir m_dir;
};

void TestCBmpEx::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestCBmpEx::picture(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = m_dir.filePath(QStringLiteral("%1x%2.png").arg(size.width()).arg(size.height()));
    return image.save(path, "PNG") ? path : QString();
}

// An icon of a 4 x 2 red and a 6 x 3 green slide, each with a marked top-left pixel.
QString TestCBmpEx::twoSlides()
{
    return imagetest::writeFile(
        m_dir, QStringLiteral("two.ico"),
        iconOf({markedSlide(QSize(4, 2), qRgb(255, 0, 0)), markedSlide(QSize(6, 3), qRgb(0, 255, 0))}));
}

void TestCBmpEx::loadFailureClearsPathAndFlag()
{
    const QString good = picture(QSize(8, 8), Qt::blue);
    const QString bad = imagetest::writeFile(m_dir, "bad.png", "\x89PNG\r\n\x1a\ntruncated");

    CBmpEx bmp;
    QVERIFY(bmp.Load(good));
    QVERIFY(bmp.loaded());
    QCOMPARE(bmp.path(), good);
    QVERIFY(!bmp.Load(bad));
    QVERIFY(!bmp.loaded());
    QVERIFY(bmp.path().isEmpty());
    QVERIFY(!bmp.busy());
    QVERIFY(bmp.Load(good));
    QCOMPARE(bmp.GetSize(), QSize(8, 8));
}

void TestCBmpEx::clearKeepsPathAndFlag()
{
    const QString good = picture(QSize(9, 9), Qt::green);
    CBmpEx bmp;
    QVERIFY(bmp.Load(good));
    bmp.Clear();
    QCOMPARE(bmp.GetSize(), QSize(-1, -1));
    QVERIFY(bmp.loaded());
    QCOMPARE(bmp.path(), good);
}

void TestCBmpEx::loadAndSaveOfUnreadableSourceLeavesTarget()
{
    const QString target = imagetest::writeFile(m_dir, "target.bmp", "old contents");

    CBmpEx bmp;
    FlmSaveOptions options;
    QVERIFY(!bmp.LoadAndSave(m_dir.filePath("missing.png"), target, &options));
    QCOMPARE(imagetest::readFile(target), QByteArray("old contents"));
}

void TestCBmpEx::saveNeedsPictureAndOptions()
{
    CBmpEx bmp;
    FlmSaveOptions options;
    QVERIFY(!bmp.Save(m_dir.filePath("nothing.bmp"), &options));
    QVERIFY(bmp.Load(picture(QSize(5, 5), Qt::yellow)));
    QVERIFY(!bmp.Save(m_dir.filePath("nothing.bmp"), nullptr));
    QVERIFY(!QFile::exists(m_dir.filePath("nothing.bmp")));
}

void TestCBmpEx::saveWritesZeroedRecordAsBitmap()
{
    const QString source = picture(QSize(7, 3), QColor(10, 200, 30));
    const QString target = m_dir.filePath("converted.bmp");
    CBmpEx bmp;
    FlmSaveOptions options;
    QVERIFY(bmp.LoadAndSave(source, target, &options));
    QCOMPARE(options.field[FlmSaveOptions::kBitsPerPixel], 24);
    QCOMPARE(options.field[FlmSaveOptions::kSlides], 1);
    QVERIFY(bmp.path().isEmpty()); // LoadAndSave leaves the path field alone
    QCOMPARE(imagetest::readFile(target).left(2), QByteArray("BM"));
    QImage written(target, "BMP");
    QCOMPARE(written.size(), QSize(7, 3));
    QCOMPARE(QColor(written.pixel(3, 1)), QColor(10, 200, 30));
}

void TestCBmpEx::cancelFlagStopsLoad()
{
    const QString path = picture(QSize(300, 300), Qt::cyan);
    std::atomic<bool> cancel{true};
    CBmpEx bmp;
    bmp.setCancelFlag(&cancel);
    QVERIFY(!bmp.Load(path));
    QVERIFY(!bmp.busy());
    cancel = false;
    QVERIFY(bmp.Load(path));
}

void TestCBmpEx::swapPictureExchangesPicturesAndPaths()
{
    const QString red = picture(QSize(8, 6), QColor(250, 0, 0));
    CBmpEx shown;
    CBmpEx decoded;
    QVERIFY(decoded.Load(red));
    QVERIFY(!shown.Load(m_dir.filePath("missing.png")));

    shown.swapPicture(decoded);
    QVERIFY(shown.loaded());
    QCOMPARE(shown.path(), red);
    QCOMPARE(shown.GetSize(), QSize(8, 6));
    QVERIFY(!decoded.loaded());
    QVERIFY(decoded.path().isEmpty());
    QCOMPARE(decoded.GetSize(), QSize(-1, -1));

    // The pixels are the decoded ones, drawn through the handle that changed hands.
    QImage drawn(8, 6, QImage::Format_RGB32);
    drawn.fill(Qt::black);
    QPainter painter(&drawn);
    const FlmRect origin{0, 0, 8, 6};
    QCOMPARE(flmPlay(shown.handle(), &painter, &origin, 0), 0);
    painter.end();
    QCOMPARE(QColor(drawn.pixel(7, 5)), QColor(250, 0, 0));

    shown.swapPicture(shown);
    QCOMPARE(shown.path(), red);
}

void TestCBmpEx::swapPictureLeavesFlagsWithTheirObjects()
{
    const QString path = picture(QSize(200, 200), Qt::magenta);
    std::atomic<bool> cancel{true};
    CBmpEx current;
    current.setCancelFlag(&cancel);
    {
        CBmpEx worker;
        QVERIFY(worker.Load(path));
        current.swapPicture(worker);
        // The worker's object goes away first: the handle it gave up must not report to it.
    }
    // The handle now in `current` reports to `current`, whose cancel flag is set.
    QVERIFY(!current.Load(path));
    QVERIFY(!current.busy());
    cancel = false;
    QVERIFY(current.Load(path));
    QVERIFY(!current.busy());

    CBmpEx other;
    current.swapPicture(other);
    cancel = true;
    QVERIFY(other.Load(path)); // no cancel flag of its own, whatever its handle's past
    QVERIFY(!current.Load(path));
}

// A load into a handle that holds a picture of the same size writes over the old pixels; every
// pixel must come from the new file, a truncated one's missing rows grey, and a file that fails
// must never leave a picture behind that mixes the two.
void TestCBmpEx::secondLoadOfTheSameSizeShowsOnlyItself_data()
{
    QTest::addColumn<int>("keptBytes"); // of the second file; 0: all of it
    QTest::addColumn<bool>("loads");
    QTest::newRow("whole file") << 0 << true;
    QTest::newRow("cut half-way: the rest grey") << -2 << true;
    QTest::newRow("cut in the header: fails") << 200 << false;
}

void TestCBmpEx::secondLoadOfTheSameSizeShowsOnlyItself()
{
    QFETCH(int, keptBytes);
    QFETCH(bool, loads);
    const QSize size(256, 192);
    // Red, then a noisy blue whose data outweighs its header, so that half the file is half the
    // picture.
    QImage red(size, QImage::Format_RGB32);
    red.fill(QColor(250, 10, 10));
    QImage blue(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            blue.setPixel(x, y, qRgb(10, 10, 100 + (x * 7 + y * 13) * 31 % 156));
    }
    const QString first = m_dir.filePath(QStringLiteral("first.jpg"));
    const QString second = m_dir.filePath(QStringLiteral("second.jpg"));
    QVERIFY(red.save(first, "JPEG", 95));
    QVERIFY(blue.save(second, "JPEG", 95));
    if (keptBytes != 0) {
        QFile file(second);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(keptBytes > 0 ? keptBytes : file.size() / -keptBytes));
    }

    CBmpEx picture;
    QVERIFY(picture.Load(first));
    QCOMPARE(picture.Load(second), loads);
    QImage drawn(size, QImage::Format_RGB32);
    drawn.fill(Qt::white);
    {
        QPainter painter(&drawn);
        const FlmRect rect{0, 0, size.width(), size.height()};
        flmPlay(picture.handle(), &painter, &rect, 0);
    }
    // Loaded: nothing of the red picture is left. Failed: whatever the handle holds is one
    // picture, not a mix (the old one whole, or nothing).
    int redPixels = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            redPixels += qRed(drawn.pixel(x, y)) > 160 && qBlue(drawn.pixel(x, y)) < 60 ? 1 : 0;
    }
    if (loads) {
        QCOMPARE(redPixels, 0);
        QCOMPARE(picture.GetSize(), size);
    } else {
        QVERIFY(redPixels == 0 || redPixels == size.width() * size.height());
    }
}

void TestCBmpEx::failureTextNamesFileAndReason_data()
{
    QTest::addColumn<QString>("source"); // read by Load, or by LoadAndSave when there is a target
    QTest::addColumn<QString>("target"); // empty: Load alone
    QTest::addColumn<QString>("text");

    QTest::newRow("loaded") << "8x8.png"
                            << ""
                            << "";
    QTest::newRow("missing file") << "missing.png"
                                  << ""
                                  << "Cannot read missing.png: file not found";
    QTest::newRow("truncated file") << "cut.png"
                                    << ""
                                    << "Cannot read cut.png: truncated file";
    QTest::newRow("saved") << "8x8.png"
                           << "copy.bmp"
                           << "";
    QTest::newRow("source of a save missing") << "missing.png"
                                              << "copy.bmp"
                                              << "Cannot read missing.png: file not found";
    QTest::newRow("target folder missing") << "8x8.png"
                                           << "nowhere/copy.bmp"
                                           << "Cannot write copy.bmp: folder not found";
}

void TestCBmpEx::failureTextNamesFileAndReason()
{
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(QString, text);
    const QByteArray good = imagetest::readFile(picture(QSize(8, 8), Qt::red));
    imagetest::writeFile(m_dir, QStringLiteral("cut.png"), good.left(good.size() - 20));

    CBmpEx bmp;
    QVERIFY(!bmp.Load(m_dir.filePath(QStringLiteral("missing.png")))); // a reason left from before
    FlmSaveOptions options;
    const bool done = target.isEmpty() ? bmp.Load(m_dir.filePath(source))
                                       : bmp.LoadAndSave(m_dir.filePath(source), m_dir.filePath(target), &options);
    QCOMPARE(done, text.isEmpty());
    QCOMPARE(bmp.failureText(), text);
    QCOMPARE(bmp.lastError().failed(), !text.isEmpty());
}

void TestCBmpEx::changesTurnEverySlide_data()
{
    QTest::addColumn<int>("degrees");   // 0: a mirror instead
    QTest::addColumn<int>("axes");      // of the mirror
    QTest::addColumn<bool>("turned");   // width and height swap
    QTest::addColumn<QPoint>("corner"); // where the top-left pixel went: 0 left or top, 1 right or bottom

    QTest::newRow("rotate right") << 90 << 0 << true << QPoint(1, 0);
    QTest::newRow("rotate left") << -90 << 0 << true << QPoint(0, 1);
    QTest::newRow("turn around") << 180 << 0 << false << QPoint(1, 1);
    QTest::newRow("mirror") << 0 << int(Qt::Horizontal) << false << QPoint(1, 0);
    QTest::newRow("flip") << 0 << int(Qt::Vertical) << false << QPoint(0, 1);
    QTest::newRow("mirror and flip") << 0 << int(Qt::Horizontal | Qt::Vertical) << false << QPoint(1, 1);
}

void TestCBmpEx::changesTurnEverySlide()
{
    QFETCH(int, degrees);
    QFETCH(int, axes);
    QFETCH(bool, turned);
    QFETCH(QPoint, corner);
    CBmpEx bmp;
    QVERIFY(bmp.Load(twoSlides()));
    QVERIFY(bmp.nextSlide()); // a change keeps the slide shown
    QVERIFY(degrees ? bmp.rotate(degrees) : bmp.mirror(Qt::Orientations(axes)));
    QCOMPARE(bmp.currentSlide(), 1);

    QVERIFY(bmp.firstSlide());
    const QList<QSize> sizes = {QSize(4, 2), QSize(6, 3)};
    for (int slide = 0; slide < 2; ++slide) {
        const QSize size = turned ? sizes[slide].transposed() : sizes[slide];
        QCOMPARE(bmp.currentSlide(), slide);
        QCOMPARE(bmp.slideSize(slide), size);
        const QImage image = bmp.slideImage();
        QCOMPARE(image.size(), size);
        QCOMPARE(image.pixel(corner.x() * (size.width() - 1), corner.y() * (size.height() - 1)), kMarker);
        QCOMPARE(bmp.nextSlide(), slide == 0);
    }
    QCOMPARE(bmp.currentSlide(), 1);
}

void TestCBmpEx::failedCropLeavesPictureWhole_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<bool>("cropped");

    QTest::newRow("inside every slide") << QRect(1, 0, 3, 2) << true;
    QTest::newRow("inside the larger slide only") << QRect(0, 0, 6, 3) << false;
    QTest::newRow("empty") << QRect(1, 1, 0, 1) << false;
    QTest::newRow("left of the picture") << QRect(-1, 0, 2, 2) << false;
}

void TestCBmpEx::failedCropLeavesPictureWhole()
{
    QFETCH(QRect, rect);
    QFETCH(bool, cropped);
    const QString path = twoSlides();
    CBmpEx bmp;
    QVERIFY(bmp.Load(path));
    QCOMPARE(bmp.crop(rect), cropped);
    QCOMPARE(bmp.slideCount(), 2);
    QCOMPARE(bmp.slideSize(0), cropped ? rect.size() : QSize(4, 2));
    QCOMPARE(bmp.slideSize(1), cropped ? rect.size() : QSize(6, 3));
    QCOMPARE(bmp.failureText(),
             cropped ? QString() : QStringLiteral("Cannot change two.ico: rectangle outside the picture"));
}

void TestCBmpEx::drawScaledTakesSourceInPicturePixels_data()
{
    QTest::addColumn<QRect>("target");
    QTest::addColumn<QRect>("source"); // invalid: the whole picture
    QTest::addColumn<QPoint>("probe"); // a pixel of the drawing
    QTest::addColumn<QPoint>("from");  // the picture's pixel that must be there

    QTest::newRow("one pixel over the whole target")
        << QRect(0, 0, 8, 8) << QRect(2, 1, 1, 1) << QPoint(7, 7) << QPoint(2, 1);
    QTest::newRow("the right column, doubled")
        << QRect(0, 0, 2, 4) << QRect(2, 0, 1, 2) << QPoint(1, 3) << QPoint(2, 1);
    QTest::newRow("whole picture, doubled, moved") << QRect(2, 2, 6, 4) << QRect() << QPoint(7, 5) << QPoint(2, 1);
    QTest::newRow("whole picture at its size") << QRect(1, 1, 3, 2) << QRect() << QPoint(1, 1) << QPoint(0, 0);
}

void TestCBmpEx::drawScaledTakesSourceInPicturePixels()
{
    QFETCH(QRect, target);
    QFETCH(QRect, source);
    QFETCH(QPoint, probe);
    QFETCH(QPoint, from);
    // Every pixel of the 3 x 2 picture its own colour.
    QImage pattern(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            pattern.setPixel(x, y, qRgb(40 + 80 * x, 60 + 120 * y, 90));
    const QString path = m_dir.filePath(QStringLiteral("pattern.png"));
    QVERIFY(pattern.save(path, "PNG"));
    CBmpEx bmp;
    QVERIFY(bmp.Load(path));

    QImage drawn(8, 8, QImage::Format_RGB32);
    drawn.fill(Qt::black);
    QPainter painter(&drawn);
    QVERIFY(bmp.drawScaled(&painter, target, source));
    QVERIFY(bmp.draw(&painter, QPoint(0, 6))); // unscaled, below
    painter.end();
    QCOMPARE(drawn.pixel(probe), pattern.pixel(from));
    QCOMPARE(drawn.pixel(2, 7), pattern.pixel(2, 1));
}

QTEST_MAIN(TestCBmpEx)
#include "tst_cbmpex.moc"
