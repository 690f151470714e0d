#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

// 3 x 2 with a distinct colour at every pixel: red grows along x, green along y.
QImage pattern()
{
    QImage image(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            image.setPixel(x, y, qRgb(40 + 80 * x, 60 + 120 * y, 90));
    return image;
}

}  // namespace

class TestFlm : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void emptyHandleRefusesWork();
    void canOpenDecidesByContent_data();
    void canOpenDecidesByContent();
    void failedLoadKeepsHandleUsable();
    void transforms_data();
    void transforms();
    void badTransformsChangeNothing_data();
    void badTransformsChangeNothing();
    void stretchPlayShrinksSmoothAndMagnifiesSharp();
    void stretchPlaySourceRectangle();
    void openFilterString();
    void filterStringInTooSmallBuffer();
    void saveFilterListsWritersInDialogOrder();
    void saveReplacesTargetOnlyWhenWritten();

private:
    QTemporaryDir m_dir;
    QString m_pattern;
};

void TestFlm::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_pattern = m_dir.filePath("pattern.png");
    QVERIFY(pattern().save(m_pattern, "PNG"));
}

void TestFlm::emptyHandleRefusesWork()
{
    imagetest::Handle handle;
    QVERIFY(imagetest::isEmpty(handle));
    int size[2] = {-1, -1};
    QVERIFY(flmGetSize(handle, -1, size) != 0);
    QVERIFY(flmRotate(handle, 90.0, 0, 0, -1) != 0);
    QVERIFY(flmCrop(handle, 0, 0, 1, 1, 0, 1) != 0);
    FlmSaveOptions options;
    QVERIFY(flmSaveToFile(handle, &options, m_dir.filePath("never.bmp")) != 0);
    QVERIFY(!QFile::exists(m_dir.filePath("never.bmp")));
}

void TestFlm::canOpenDecidesByContent_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");  // "@pattern" copies the PNG picture
    QTest::addColumn<bool>("readable");
    QTest::addColumn<int>("format");

    QTest::newRow("picture") << "a.png" << QByteArray("@pattern") << true << int(kFlmPng);
    QTest::newRow("picture with a wrong extension") << "a.txt" << QByteArray("@pattern") << true << int(kFlmPng);
    QTest::newRow("text named as a picture") << "b.jpg" << QByteArray("hello, world\n") << false << -1;
    QTest::newRow("empty") << "c.png" << QByteArray() << false << -1;
    QTest::newRow("one byte") << "d.gif" << QByteArray("G") << false << -1;
    QTest::newRow("BM text is no bitmap") << "e.bmp" << QByteArray("BM is a nice name for a text\n") << false << -1;
    QTest::newRow("missing") << "" << QByteArray() << false << -1;
}

void TestFlm::canOpenDecidesByContent()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, readable);
    QFETCH(int, format);

    QString path = m_dir.filePath(QStringLiteral("does-not-exist.png"));
    if (!name.isEmpty()) {
        if (content == "@pattern") {
            content = imagetest::readFile(m_pattern);
            QVERIFY(!content.isEmpty());
        }
        path = imagetest::writeFile(m_dir, name, content);
    }
    imagetest::Handle handle;
    int found = -1;
    QCOMPARE(flmCanOpen(handle, path, &found) != 0, readable);
    QCOMPARE(found, format);
    QCOMPARE(flmLoadFromFile(handle, path) == 0, readable);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(handle, path, &info) == 0, readable);
    if (readable) {
        QCOMPARE(info.format, format);
        QCOMPARE(QSize(info.width, info.height), QSize(3, 2));
    }
}

void TestFlm::failedLoadKeepsHandleUsable()
{
    const QByteArray png = imagetest::readFile(m_pattern);
    QVERIFY(!png.isEmpty());
    const QString truncated = imagetest::writeFile(m_dir, "truncated.png", png.left(png.size() / 2));

    imagetest::Handle handle;
    QCOMPARE(flmLoadFromFile(handle, m_pattern), 0);
    QVERIFY(flmLoadFromFile(handle, truncated) != 0);
    QVERIFY(flmLoadFromFile(handle, m_dir.filePath("missing.png")) != 0);
    QCOMPARE(imagetest::slideSize(handle), QSize(3, 2));
    QCOMPARE(imagetest::currentSlide(handle).pixel(2, 1), pattern().pixel(2, 1));
    QCOMPARE(flmLoadFromFile(handle, m_pattern), 0);
}

void TestFlm::transforms_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QSize>("size");
    // Where the old pixel (0, 0), top left, and (2, 0), top right, end up.
    QTest::addColumn<QPoint>("topLeftGoesTo");
    QTest::addColumn<QPoint>("topRightGoesTo");

    QTest::newRow("rotate right") << "rotate 90" << QSize(2, 3) << QPoint(1, 0) << QPoint(1, 2);
    QTest::newRow("rotate left") << "rotate -90" << QSize(2, 3) << QPoint(0, 2) << QPoint(0, 0);
    QTest::newRow("rotate 180") << "rotate 180" << QSize(3, 2) << QPoint(2, 1) << QPoint(0, 1);
    QTest::newRow("mirror") << "mirror 0 1" << QSize(3, 2) << QPoint(2, 0) << QPoint(0, 0);
    QTest::newRow("flip") << "mirror 1 0" << QSize(3, 2) << QPoint(0, 1) << QPoint(2, 1);
    QTest::newRow("mirror both") << "mirror 1 1" << QSize(3, 2) << QPoint(2, 1) << QPoint(0, 1);
    QTest::newRow("crop right part") << "crop 1 0 2 2" << QSize(2, 2) << QPoint(-1, -1) << QPoint(1, 0);
    QTest::newRow("crop one pixel") << "crop 0 0 1 1" << QSize(1, 1) << QPoint(0, 0) << QPoint(-1, -1);
}

void TestFlm::transforms()
{
    QFETCH(QString, operation);
    QFETCH(QSize, size);
    QFETCH(QPoint, topLeftGoesTo);
    QFETCH(QPoint, topRightGoesTo);

    imagetest::Handle handle;
    QCOMPARE(flmLoadFromFile(handle, m_pattern), 0);
    const QStringList words = operation.split(' ');
    int result = -1;
    if (words[0] == "rotate")
        result = flmRotate(handle, words[1].toDouble(), 0, 0, -1);
    else if (words[0] == "mirror")
        result = flmMirror(handle, words[1].toInt(), words[2].toInt(), 0, -1);
    else
        result = flmCrop(handle, words[1].toInt(), words[2].toInt(), words[3].toInt(), words[4].toInt(), 0, 1);
    QCOMPARE(result, 0);
    QCOMPARE(imagetest::slideSize(handle), size);
    const QImage image = imagetest::currentSlide(handle);
    if (topLeftGoesTo.x() >= 0)
        QCOMPARE(QColor(image.pixel(topLeftGoesTo)), QColor(pattern().pixel(0, 0)));
    if (topRightGoesTo.x() >= 0)
        QCOMPARE(QColor(image.pixel(topRightGoesTo)), QColor(pattern().pixel(2, 0)));
}

void TestFlm::badTransformsChangeNothing_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("rotate 45") << "rotate 45";
    QTest::newRow("crop past the right edge") << "crop 2 0 2 1";
    QTest::newRow("crop past the bottom") << "crop 0 1 1 2";
    QTest::newRow("crop empty") << "crop 0 0 0 1";
    QTest::newRow("crop negative origin") << "crop -1 0 1 1";
}

void TestFlm::badTransformsChangeNothing()
{
    QFETCH(QString, operation);
    imagetest::Handle handle;
    QCOMPARE(flmLoadFromFile(handle, m_pattern), 0);
    const QStringList words = operation.split(' ');
    const int result = words[0] == "rotate"
        ? flmRotate(handle, words[1].toDouble(), 0, 0, -1)
        : flmCrop(handle, words[1].toInt(), words[2].toInt(), words[3].toInt(), words[4].toInt(), 0, 1);
    QVERIFY(result != 0);
    QCOMPARE(imagetest::currentSlide(handle), pattern().convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

void TestFlm::stretchPlayShrinksSmoothAndMagnifiesSharp()
{
    // Black and white columns: shrinking by 2 averages them to grey, magnifying keeps them.
    QImage stripes(4, 4, QImage::Format_RGB32);
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y)
            stripes.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QString path = m_dir.filePath("stripes.png");
    QVERIFY(stripes.save(path, "PNG"));
    imagetest::Handle handle;
    QCOMPARE(flmLoadFromFile(handle, path), 0);

    QImage small(2, 2, QImage::Format_RGB32);
    small.fill(Qt::red);
    {
        QPainter painter(&small);
        const FlmRect dest{0, 0, 2, 2};
        QCOMPARE(flmStretchPlay(handle, &painter, &dest, nullptr), 0);
    }
    QVERIFY(qAbs(qRed(small.pixel(0, 0)) - 128) < 20);

    QImage large(40, 40, QImage::Format_RGB32);
    large.fill(Qt::red);
    {
        QPainter painter(&large);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);  // must not blur magnified pixels
        const FlmRect dest{0, 0, 40, 40};
        QCOMPARE(flmStretchPlay(handle, &painter, &dest, nullptr), 0);
    }
    QCOMPARE(large.pixel(9, 20), qRgb(0, 0, 0));
    QCOMPARE(large.pixel(10, 20), qRgb(255, 255, 255));
}

void TestFlm::stretchPlaySourceRectangle()
{
    imagetest::Handle handle;
    QCOMPARE(flmLoadFromFile(handle, m_pattern), 0);
    QImage target(4, 4, QImage::Format_RGB32);
    target.fill(Qt::black);
    QPainter painter(&target);
    const FlmRect dest{0, 0, 4, 4};
    const FlmRect source{2, 1, 3, 2};  // the bottom-right pixel only
    QCOMPARE(flmStretchPlay(handle, &painter, &dest, &source), 0);
    painter.end();
    for (const QPoint point : {QPoint(0, 0), QPoint(3, 3)})
        QCOMPARE(target.pixel(point), pattern().pixel(2, 1));
}

void TestFlm::openFilterString()
{
    imagetest::Handle handle;
    char buffer[2048];
    QCOMPARE(flmGetOpenDialogString(handle, buffer, sizeof buffer, 0), 0);
    QCOMPARE(QByteArray(buffer), QByteArray("All Images"));
    const QString filter = flmFilterToQt(buffer, sizeof buffer);
    const QStringList entries = filter.split(";;");
    QVERIFY(entries.first().startsWith("All Images ("));
    for (const char* pattern : {"*.jpg", "*.png", "*.gif", "*.bmp", "*.tif"})
        QVERIFY2(entries.first().contains(QLatin1String(pattern)), pattern);
    QCOMPARE(entries.last(), QStringLiteral("All Files (*)"));
}

void TestFlm::filterStringInTooSmallBuffer()
{
    imagetest::Handle handle;
    char buffer[40];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    QVERIFY(flmGetOpenDialogString(handle, buffer, sizeof buffer, 0) != 0);
    QCOMPARE(buffer[0], '\0');
    QVERIFY(flmFilterToQt(buffer, sizeof buffer).isEmpty());
}

void TestFlm::saveFilterListsWritersInDialogOrder()
{
    imagetest::Handle handle;
    char buffer[1024];
    QCOMPARE(flmGetSaveDialogString(handle, buffer, sizeof buffer), 0);
    QCOMPARE(flmFilterToQt(buffer, sizeof buffer).split(";;"),
             QStringList({"Windows Bitmap (*.bmp)", "Compuserve GIF (*.gif)", "JPEG File (*.jpg)",
                          "ZSoft Paintbrush (*.pcx)", "ZSoft Paintbrush (*.dcx)", "Portable Bitmap (*.pbm)",
                          "Portable Graymap (*.pgm)", "Portable Pixelmap (*.ppm)", "Tagged Image File (*.tif)",
                          "Portable Network Graphic (*.png)", "Adobe Photoshop (*.psd)", "Windows Metafile (*.wmf)",
                          "Aldus Metafile (*.apm)", "Enhanced Metafile (*.emf)", "Truevision Targa (*.tga)",
                          "Wireless Mono Bitmap (*.wbm)"}));
}

void TestFlm::saveReplacesTargetOnlyWhenWritten()
{
    const QString target = imagetest::writeFile(m_dir, "keep.bmp", "precious");
    imagetest::Handle handle;
    QCOMPARE(flmLoadFromFile(handle, m_pattern), 0);
    FlmSaveOptions options;
    options.field[FlmSaveOptions::kFormat] = 99;  // no such writer
    QVERIFY(flmSaveToFile(handle, &options, target) != 0);
    QCOMPARE(imagetest::readFile(target), QByteArray("precious"));
    QVERIFY(flmSaveToFile(handle, &options, m_dir.filePath("no/such/folder/x.bmp")) != 0);
}

QTEST_MAIN(TestFlm)
#include "tst_flm.moc"
