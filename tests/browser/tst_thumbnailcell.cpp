// The thumbnail of a picture as the file list draws it: where the picture goes in the 76 x 76
// cell, the frame and border around it, and an empty picture drawing nothing.

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QTemporaryDir>
#include <QTest>

#include "browser/thumbnailcell.h"
#include "imagelib/cbmpex.h"

class TestThumbnailCell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void drawThumbnailGeometry_data();
    void drawThumbnailGeometry();
    void drawThumbnailOfEmptyPictureDrawsNothing();

private:
    QString writePicture(QSize size, QColor colour);
    QTemporaryDir m_dir;
};

QString TestThumbnailCell::writePicture(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = m_dir.filePath(QStringLiteral("%1x%2.png").arg(size.width()).arg(size.height()));
    return image.save(path, "PNG") ? path : QString();
}

void TestThumbnailCell::drawThumbnailGeometry_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("drawn"); // where the picture lands in the 76 x 76 cell

    QTest::newRow("exactly the area: scaled by 1") << QSize(66, 66) << QRect(5, 5, 66, 66);
    QTest::newRow("one pixel smaller: unscaled") << QSize(65, 65) << QRect(5, 5, 65, 65);
    QTest::newRow("small: centred") << QSize(10, 20) << QRect(33, 28, 10, 20);
    QTest::newRow("very wide: width ratio, centred vertically") << QSize(200, 20) << QRect(5, 35, 66, 6);
    QTest::newRow("very tall") << QSize(10, 300) << QRect(37, 5, 2, 66);
    QTest::newRow("one side equal to the area") << QSize(66, 30) << QRect(5, 23, 66, 30);
    QTest::newRow("camera 4:3") << QSize(400, 300) << QRect(5, 13, 66, 49);
}

void TestThumbnailCell::drawThumbnailGeometry()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, drawn);
    const QColor red(220, 20, 20);
    const QString path = writePicture(picture, red);
    CBmpEx bmp;
    QVERIFY(bmp.Load(path));

    QImage cell(76, 76, QImage::Format_RGB32);
    cell.fill(Qt::magenta);
    QPainter painter(&cell);
    QVERIFY(thumbnailcell::DrawThumbnail(&painter, QRect(0, 0, 76, 76), bmp));
    painter.end();

    const QRgb face = QGuiApplication::palette().color(QPalette::Button).rgb();
    const QRgb light = qRgb(255, 255, 255), dark = qRgb(0, 0, 0), border = qRgb(128, 128, 128);
    // The cell frame.
    QCOMPARE(cell.pixel(0, 0), light);
    QCOMPARE(cell.pixel(40, 0), light);
    QCOMPARE(cell.pixel(0, 40), light);
    QCOMPARE(cell.pixel(75, 0), dark);
    QCOMPARE(cell.pixel(75, 40), dark);
    QCOMPARE(cell.pixel(40, 75), dark);
    QCOMPARE(cell.pixel(0, 75), dark);
    // The picture fills exactly its rectangle.
    const int x = drawn.x(), y = drawn.y(), w = drawn.width(), h = drawn.height();
    for (const QPoint corner : {drawn.topLeft(), drawn.topRight(), drawn.bottomLeft(), drawn.bottomRight()})
        QCOMPARE(QColor(cell.pixel(corner)), red);
    // Its one-pixel border: grey top and left, light right and bottom.
    QCOMPARE(cell.pixel(x, y - 1), border);
    QCOMPARE(cell.pixel(x + w - 1, y - 1), border);
    QCOMPARE(cell.pixel(x - 1, y - 1), border);
    QCOMPARE(cell.pixel(x - 1, y + h - 1), border);
    QCOMPARE(cell.pixel(x + w, y - 1), light);
    QCOMPARE(cell.pixel(x + w, y + h - 1), light);
    QCOMPARE(cell.pixel(x - 1, y + h), light);
    QCOMPARE(cell.pixel(x + w, y + h), light);
    // Button face around it, where neither frame nor border is.
    if (x > 3)
        QCOMPARE(cell.pixel(2, 38), face);
    if (y > 3)
        QCOMPARE(cell.pixel(38, 2), face);
    QCOMPARE(cell.pixel(73, 73), face);
}

void TestThumbnailCell::drawThumbnailOfEmptyPictureDrawsNothing()
{
    CBmpEx bmp;
    QImage cell(76, 76, QImage::Format_RGB32);
    cell.fill(Qt::magenta);
    QPainter painter(&cell);
    QVERIFY(!thumbnailcell::DrawThumbnail(&painter, QRect(0, 0, 76, 76), bmp));
    painter.end();
    QCOMPARE(cell.pixel(0, 0), QColor(Qt::magenta).rgb());
}

QTEST_MAIN(TestThumbnailCell)
#include "tst_thumbnailcell.moc"
