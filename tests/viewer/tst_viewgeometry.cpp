// The image view's geometry: zoom steps, fit modes, frame sizing, scrolling and the rectangles
// of a magnified repaint, with the exact truncations.

#include <QRandomGenerator>
#include <QTest>

#include "viewer/viewgeometry.h"

using namespace viewgeometry;

namespace {

Zoom fitted(QSize picture, double zoom)
{
    return {kActualSizeIndex, zoom, QSizeF(int(picture.width() * zoom), int(picture.height() * zoom))};
}

// A chrome whose parts all differ, so that a part counted twice or swapped shows.
FrameChrome testChrome()
{
    return {3, 4, 30, 20, 22, 19};
}

} // namespace

class TestViewGeometry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void zoomSteps_data();
    void zoomSteps();
    void fitPicture_data();
    void fitPicture();
    void frameRect_data();
    void frameRect();
    void scrollAfterZoom_data();
    void scrollAfterZoom();
    void zoomToSelection_data();
    void zoomToSelection();
    void pictureOrigin_data();
    void pictureOrigin();
    void magnifiedRects_data();
    void magnifiedRects();
    void magnifiedRectsCoverEveryRepaint();
    void bandToSelection_data();
    void bandToSelection();
    void fileSizeText_data();
    void fileSizeText();
    void zoomText_data();
    void zoomText();
    void statusTexts();
};

void TestViewGeometry::zoomSteps_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<Zoom>("start");
    QTest::addColumn<bool>("in");
    QTest::addColumn<QList<double>>("steps"); // every step taken until the command does nothing

    const QSize picture(640, 480);
    const Zoom one = actualSize(picture);
    QTest::newRow("in from 1.0") << picture << one << true << QList<double>{1.5, 2.0, 3.0, 5.0};
    QTest::newRow("out from 1.0") << picture << one << false << QList<double>{0.7, 0.5, 0.3, 0.2, 0.1};
    QTest::newRow("in from fitted 0.42") << picture << fitted(picture, 0.42) << true
                                         << QList<double>{0.5, 0.7, 1.0, 1.5, 2.0, 3.0, 5.0};
    QTest::newRow("out from fitted 0.42") << picture << fitted(picture, 0.42) << false << QList<double>{0.3, 0.2, 0.1};
    // A tall display is measured along its height: 600 of 900 lies between 0.5 and 0.7.
    const QSize tall(300, 900);
    QTest::newRow("in, tall, between steps")
        << tall << fitted(tall, 600.0 / 900) << true << QList<double>{0.7, 1.0, 1.5, 2.0, 3.0, 5.0};
    QTest::newRow("out, tall, between steps")
        << tall << fitted(tall, 600.0 / 900) << false << QList<double>{0.5, 0.3, 0.2, 0.1};
    // After a zoom to a selection beyond the table, zoom out lands on its last step.
    const QSize square(100, 100);
    QTest::newRow("out from 8x") << square << Zoom{5, 8.0, QSizeF(800, 800)} << false
                                 << QList<double>{5.0, 3.0, 2.0, 1.5, 1.0, 0.7, 0.5, 0.3, 0.2, 0.1};
    QTest::newRow("in beyond 5x width, 5x height")
        << square << Zoom{5, 6.0, QSizeF(600, 500)} << true << QList<double>{};
    // Both sides must pass 5x to stop; otherwise the display is "between steps" above the table.
    QTest::newRow("in beyond 5x width only") << square << Zoom{5, 6.0, QSizeF(600, 499)} << true << QList<double>{5.0};
    QTest::newRow("out below two tenths") << square << Zoom{5, 0.15, QSizeF(15, 15)} << false << QList<double>{};
    QTest::newRow("out, narrow but tall enough")
        << square << Zoom{5, 0.15, QSizeF(15, 20)} << false << QList<double>{0.2, 0.1};
    QTest::newRow("in, empty picture") << QSize(0, 0) << Zoom{} << true << QList<double>{};
    QTest::newRow("out, empty picture") << QSize(0, 10) << Zoom{} << false << QList<double>{};
}

void TestViewGeometry::zoomSteps()
{
    QFETCH(QSize, picture);
    QFETCH(Zoom, start);
    QFETCH(bool, in);
    QFETCH(QList<double>, steps);

    Zoom zoom = start;
    for (const double expected : steps) {
        const std::optional<Zoom> next = in ? zoomIn(zoom, picture) : zoomOut(zoom, picture);
        QVERIFY2(next.has_value(), qPrintable(QStringLiteral("stopped before %1").arg(expected)));
        QCOMPARE(next->zoom, expected);
        QCOMPARE(kZoomTable[std::size_t(next->index)], expected);
        QCOMPARE(next->display, QSizeF(picture.width() * expected, picture.height() * expected));
        zoom = *next;
    }
    const std::optional<Zoom> beyond = in ? zoomIn(zoom, picture) : zoomOut(zoom, picture);
    QVERIFY2(!beyond.has_value(), qPrintable(QStringLiteral("went on to %1").arg(beyond ? beyond->zoom : 0)));
}

void TestViewGeometry::fitPicture_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<bool>("fullScreen");
    QTest::addColumn<double>("lockedZoom");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QSizeF>("display");

    // Client 800 x 600; work area 1920 x 1040 whose largest client is
    // (1920 - 4 x 3) x (1040 - 4 x 4 - 30 - 20 - 22 - 19 - 1) = 1908 x 932.
    QTest::newRow("window to image") << 0 << QSize(1000, 500) << false << 1.0 << 1.0 << QSizeF(1000, 500);
    QTest::newRow("image to window, shrinks") << 1 << QSize(1000, 500) << false << 1.0 << 0.8 << QSizeF(800, 400);
    QTest::newRow("image to window, truncates") << 1 << QSize(1600, 1199) << false << 1.0 << 0.5 << QSizeF(800, 599);
    QTest::newRow("image to window, enlarges") << 1 << QSize(100, 50) << false << 1.0 << 8.0 << QSizeF(800, 400);
    QTest::newRow("best fit enlarges 10 x 10") << 2 << QSize(10, 10) << false << 1.0 << 93.2 << QSizeF(932, 932);
    QTest::newRow("best fit, wide") << 2 << QSize(3816, 100) << false << 1.0 << 0.5 << QSizeF(1908, 50);
    QTest::newRow("best fit in full screen uses the client")
        << 2 << QSize(10, 10) << true << 1.0 << 60.0 << QSizeF(600, 600);
    QTest::newRow("zoom lock") << 3 << QSize(333, 101) << false << 0.5 << 166.0 / 333 << QSizeF(166, 50);
    QTest::newRow("zoom lock, whole") << 3 << QSize(200, 100) << false << 1.5 << 1.5 << QSizeF(300, 150);
    QTest::newRow("empty picture") << 1 << QSize(0, 0) << false << 1.0 << 1.0 << QSizeF(0, 0);
    QTest::newRow("empty picture, lock") << 3 << QSize(0, 5) << false << 2.0 << 1.0 << QSizeF(0, 5);
}

void TestViewGeometry::fitPicture()
{
    QFETCH(int, mode);
    QFETCH(QSize, picture);
    QFETCH(bool, fullScreen);
    QFETCH(double, lockedZoom);
    QFETCH(double, zoom);
    QFETCH(QSizeF, display);

    const FitInputs inputs{QSize(800, 600), fullScreen, QRect(0, 0, 1920, 1040), testChrome(), lockedZoom};
    const Zoom result = viewgeometry::fitPicture(FitMode(mode), picture, inputs);
    QCOMPARE(result.index, kActualSizeIndex);
    QCOMPARE(result.zoom, zoom);
    QCOMPARE(result.display, display);
}

void TestViewGeometry::frameRect_data()
{
    QTest::addColumn<QSizeF>("display");
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QRect>("frame");

    // The chrome adds 4 x 4 = 16 across and 4 x 3 + 30 + 20 + 22 + 19 = 103 down.
    const QRect screen(0, 0, 1920, 1040);
    QTest::newRow("50 x 50: minimum frame") << QSizeF(50, 50) << screen << QRect(760, 420, 400, 200);
    QTest::newRow("narrow, medium") << QSizeF(50, 300) << screen << QRect(760, 318, 400, 405);
    QTest::newRow("narrow, tall") << QSizeF(50.9, 1000) << screen << QRect(760, 1, 400, 1039);
    QTest::newRow("medium, low") << QSizeF(800, 50) << screen << QRect(552, 420, 816, 200);
    QTest::newRow("medium, medium") << QSizeF(800, 600) << screen << QRect(552, 168, 816, 705);
    QTest::newRow("medium, tall") << QSizeF(800, 2000) << screen << QRect(552, 0, 816, 1040);
    QTest::newRow("wide, low") << QSizeF(3000, 50) << screen << QRect(1, 420, 1919, 200);
    QTest::newRow("wide, medium") << QSizeF(3000, 600) << screen << QRect(1, 168, 1921, 703);
    QTest::newRow("wide, tall") << QSizeF(3000, 3000) << screen << QRect(1, 1, 1919, 1039);
    QTest::newRow("W exactly 400, tall") << QSizeF(384.7, 1000) << screen << QRect(760, 0, 400, 1040);
    QTest::newRow("H exactly 200") << QSizeF(50, 97) << screen << QRect(760, 420, 400, 202);
    QTest::newRow("W exactly R") << QSizeF(1904, 600) << screen << QRect(1, 168, 1921, 703);
    QTest::newRow("H exactly B") << QSizeF(800, 937) << screen << QRect(552, 0, 816, 1040);
    // The table places the frame by the work area's right and bottom edges, not its size.
    QTest::newRow("work area off the origin")
        << QSizeF(50, 50) << QRect(100, 50, 1000, 700) << QRect(350, 275, 400, 200);
}

void TestViewGeometry::frameRect()
{
    QFETCH(QSizeF, display);
    QFETCH(QRect, workArea);
    QFETCH(QRect, frame);
    QCOMPARE(viewgeometry::frameRect(display, testChrome(), workArea), frame);
}

void TestViewGeometry::scrollAfterZoom_data()
{
    QTest::addColumn<QPoint>("oldScroll");
    QTest::addColumn<QSizeF>("oldDisplay");
    QTest::addColumn<QSizeF>("newDisplay");
    QTest::addColumn<QPoint>("scroll");

    // Client 400 x 300 throughout.
    QTest::newRow("zoom in keeps the centre")
        << QPoint(100, 50) << QSizeF(1000, 800) << QSizeF(1500, 1200) << QPoint(250, 150);
    QTest::newRow("truncated") << QPoint(33, 50) << QSizeF(1000, 800) << QSizeF(1500, 1200) << QPoint(149, 150);
    QTest::newRow("zoom out below 0") << QPoint(0, 0) << QSizeF(1000, 800) << QSizeF(700, 560) << QPoint(0, 0);
    QTest::newRow("new display fits") << QPoint(300, 200) << QSizeF(1000, 800) << QSizeF(300, 240) << QPoint(0, 0);
    QTest::newRow("display equal to client")
        << QPoint(300, 200) << QSizeF(1000, 800) << QSizeF(400, 300) << QPoint(0, 0);
    // One ratio, from the heights, serves both directions.
    QTest::newRow("fits in one direction")
        << QPoint(100, 0) << QSizeF(1000, 200) << QSizeF(1500, 250) << QPoint(175, 0);
    QTest::newRow("old display empty") << QPoint(10, 10) << QSizeF(0, 0) << QSizeF(1500, 1200) << QPoint(0, 0);
}

void TestViewGeometry::scrollAfterZoom()
{
    QFETCH(QPoint, oldScroll);
    QFETCH(QSizeF, oldDisplay);
    QFETCH(QSizeF, newDisplay);
    QFETCH(QPoint, scroll);
    QCOMPARE(viewgeometry::scrollAfterZoom(oldScroll, oldDisplay, newDisplay, QSize(400, 300)), scroll);
}

void TestViewGeometry::zoomToSelection_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRectF>("selection");
    QTest::addColumn<bool>("applies");
    QTest::addColumn<Zoom>("zoom");
    QTest::addColumn<QPoint>("scroll");

    // Client 400 x 300; the view starts at zoom 1.0.
    QTest::newRow("centred") << QSize(1000, 800) << QRectF(100, 200, 200, 100) << true
                             << Zoom{5, 2.0, QSizeF(2000, 1600)} << QPoint(200, 350);
    QTest::newRow("fractional selection") << QSize(1000, 800) << QRectF(10.5, 20.25, 40, 40) << true
                                          << Zoom{5, 7.5, QSizeF(7500, 6000)} << QPoint(28, 151);
    QTest::newRow("display narrower than the client")
        << QSize(100, 1000) << QRectF(10, 100, 50, 100) << true << Zoom{5, 3.0, QSizeF(300, 3000)} << QPoint(0, 300);
    QTest::newRow("centring below 0") << QSize(1000, 800) << QRectF(0, 0, 200, 100) << true
                                      << Zoom{5, 2.0, QSizeF(2000, 1600)} << QPoint(0, 0);
    QTest::newRow("32500 refused") << QSize(325, 100) << QRectF(0, 0, 4, 3) << true << Zoom{5, 1.0, QSizeF(325, 100)}
                                   << QPoint(0, 0);
    QTest::newRow("just below 32500") << QSize(324, 100) << QRectF(0, 0, 4, 3) << true
                                      << Zoom{5, 100.0, QSizeF(32400, 10000)} << QPoint(0, 0);
    QTest::newRow("far too large") << QSize(10000, 100) << QRectF(5000, 50, 10, 10) << true
                                   << Zoom{5, 1.0, QSizeF(10000, 100)} << QPoint(4805, 0);
    QTest::newRow("empty selection") << QSize(1000, 800) << QRectF(10, 10, 0, 5) << false << Zoom{} << QPoint();
    QTest::newRow("empty picture") << QSize(0, 0) << QRectF(10, 10, 5, 5) << false << Zoom{} << QPoint();
}

void TestViewGeometry::zoomToSelection()
{
    QFETCH(QSize, picture);
    QFETCH(QRectF, selection);
    QFETCH(bool, applies);
    QFETCH(Zoom, zoom);
    QFETCH(QPoint, scroll);

    const auto result = viewgeometry::zoomToSelection(actualSize(picture), picture, selection, QSize(400, 300));
    QCOMPARE(result.has_value(), applies);
    if (!applies)
        return;
    QCOMPARE(result->zoom.index, zoom.index);
    QCOMPARE(result->zoom.zoom, zoom.zoom);
    QCOMPARE(result->zoom.display, zoom.display);
    QCOMPARE(result->scroll, scroll);
}

void TestViewGeometry::pictureOrigin_data()
{
    QTest::addColumn<QSizeF>("display");
    QTest::addColumn<QPoint>("scroll");
    QTest::addColumn<QPoint>("origin");

    // Client 800 x 600.
    QTest::newRow("centred") << QSizeF(400, 300) << QPoint(0, 0) << QPoint(200, 150);
    QTest::newRow("truncated, odd margin") << QSizeF(399.9, 301) << QPoint(0, 0) << QPoint(200, 149);
    QTest::newRow("scrolled across") << QSizeF(1000, 300) << QPoint(120, 0) << QPoint(-120, 150);
    QTest::newRow("equal to the client") << QSizeF(800, 600) << QPoint(0, 0) << QPoint(0, 0);
    QTest::newRow("scrolled both") << QSizeF(2000, 1500) << QPoint(7, 9) << QPoint(-7, -9);
}

void TestViewGeometry::pictureOrigin()
{
    QFETCH(QSizeF, display);
    QFETCH(QPoint, scroll);
    QFETCH(QPoint, origin);
    QCOMPARE(viewgeometry::pictureOrigin(QSize(800, 600), display, scroll), origin);
}

void TestViewGeometry::magnifiedRects_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QPoint>("scroll");
    QTest::addColumn<QRect>("repaint");
    QTest::addColumn<bool>("draws");
    QTest::addColumn<QRect>("source");
    QTest::addColumn<QRect>("dest");

    const QSize square(100, 100);
    QTest::newRow("fits, centred") << square << 2.0 << QSize(400, 400) << QPoint() << QRect(150, 150, 10, 10) << true
                                   << QRect(0, 0, 100, 100) << QRect(100, 100, 200, 200);
    QTest::newRow("scrolled, whole client")
        << square << 5.0 << QSize(200, 200) << QPoint(50, 100) << QRect(0, 0, 200, 200) << true << QRect(10, 20, 41, 41)
        << QRect(0, 0, 205, 205);
    QTest::newRow("scrolled, part") << square << 5.0 << QSize(200, 200) << QPoint(50, 100) << QRect(13, 7, 20, 30)
                                    << true << QRect(12, 21, 5, 7) << QRect(10, 5, 25, 35);
    QTest::newRow("zoom 1.5") << square << 1.5 << QSize(100, 100) << QPoint(25, 0) << QRect(0, 0, 100, 100) << true
                              << QRect(16, 0, 68, 67) << QRect(-1, 0, 102, 100);
    QTest::newRow("right and bottom edge")
        << square << 2.0 << QSize(150, 150) << QPoint(50, 50) << QRect(0, 0, 150, 150) << true << QRect(25, 25, 75, 75)
        << QRect(0, 0, 150, 150);
    QTest::newRow("fits down only") << QSize(100, 50) << 3.0 << QSize(200, 400) << QPoint(40, 0)
                                    << QRect(0, 0, 200, 400) << true << QRect(13, 0, 68, 50)
                                    << QRect(-1, 125, 204, 150);
    QTest::newRow("margin only") << square << 2.0 << QSize(400, 400) << QPoint() << QRect(0, 0, 50, 50) << false
                                 << QRect() << QRect();
    QTest::newRow("zoom 0") << square << 0.0 << QSize(400, 400) << QPoint() << QRect(0, 0, 400, 400) << false << QRect()
                            << QRect();
}

void TestViewGeometry::magnifiedRects()
{
    QFETCH(QSize, picture);
    QFETCH(double, zoom);
    QFETCH(QSize, client);
    QFETCH(QPoint, scroll);
    QFETCH(QRect, repaint);
    QFETCH(bool, draws);
    QFETCH(QRect, source);
    QFETCH(QRect, dest);

    const Zoom state{kActualSizeIndex, zoom, QSizeF(picture.width() * zoom, picture.height() * zoom)};
    const auto rects = viewgeometry::magnifiedRects(repaint, client, state, picture, scroll);
    QCOMPARE(rects.has_value(), draws);
    if (!draws)
        return;
    QCOMPARE(rects->source, source);
    QCOMPARE(rects->dest, dest);
}

// Whatever part is repainted, the drawn rectangle covers all of the picture within it, stays
// inside the picture, and puts picture pixel i at origin + i x zoom so that parts line up.
void TestViewGeometry::magnifiedRectsCoverEveryRepaint()
{
    QRandomGenerator random(20261207);
    const QSize picture(97, 61);
    const QSize client(300, 200);
    for (int round = 0; round < 2000; ++round) {
        const int index = 6 + int(random.bounded(4));
        const Zoom zoom{index, kZoomTable[std::size_t(index)],
                        QSizeF(picture.width() * kZoomTable[std::size_t(index)],
                               picture.height() * kZoomTable[std::size_t(index)])};
        const int maxX = std::max(0, int(zoom.display.width()) - client.width());
        const int maxY = std::max(0, int(zoom.display.height()) - client.height());
        const QPoint scroll(int(random.bounded(maxX + 1)), int(random.bounded(maxY + 1)));
        const QRect repaint(int(random.bounded(client.width())), int(random.bounded(client.height())),
                            1 + int(random.bounded(client.width())), 1 + int(random.bounded(client.height())));

        const QPoint origin = viewgeometry::pictureOrigin(client, zoom.display, scroll);
        const QRect shown(origin, QSize(int(zoom.display.width()), int(zoom.display.height())));
        const QRect wanted = repaint & shown & QRect(QPoint(0, 0), client);
        const auto rects = viewgeometry::magnifiedRects(repaint, client, zoom, picture, scroll);
        QCOMPARE(rects.has_value(), !(repaint & shown).isEmpty());
        if (!rects)
            continue;
        const QString context = QStringLiteral("zoom %1 scroll %2,%3 repaint %4,%5 %6x%7")
                                    .arg(zoom.zoom)
                                    .arg(scroll.x())
                                    .arg(scroll.y())
                                    .arg(repaint.x())
                                    .arg(repaint.y())
                                    .arg(repaint.width())
                                    .arg(repaint.height());
        QVERIFY2(rects->dest.contains(wanted), qPrintable(context));
        QVERIFY2(QRect(QPoint(0, 0), picture).contains(rects->source), qPrintable(context));
        if (int(zoom.display.width()) > client.width())
            QVERIFY2(rects->dest.left() == origin.x() + int(rects->source.left() * zoom.zoom), qPrintable(context));
        if (int(zoom.display.height()) > client.height())
            QVERIFY2(rects->dest.top() == origin.y() + int(rects->source.top() * zoom.zoom), qPrintable(context));
    }
}

void TestViewGeometry::bandToSelection_data()
{
    QTest::addColumn<QRect>("band");
    QTest::addColumn<double>("zoom");
    QTest::addColumn<bool>("selects");
    QTest::addColumn<QRectF>("selection");
    QTest::addColumn<QRect>("outline");

    // The picture sits at (100, 100) in the client, its display 400 x 300.
    QTest::newRow("inside, zoom 2") << QRect(105, 105, 100, 50) << 2.0 << true << QRectF(2.5, 2.5, 50, 25)
                                    << QRect(105, 105, 100, 50);
    QTest::newRow("dragged up and left") << rubberBand(QPoint(205, 155), QPoint(105, 105)) << 2.0 << true
                                         << QRectF(2.5, 2.5, 50, 25) << QRect(105, 105, 100, 50);
    QTest::newRow("clipped to the picture")
        << QRect(50, 50, 100, 100) << 0.5 << true << QRectF(0, 0, 100, 100) << QRect(100, 100, 50, 50);
    QTest::newRow("clipped right and bottom")
        << QRect(450, 350, 100, 100) << 1.0 << true << QRectF(350, 250, 50, 50) << QRect(450, 350, 50, 50);
    QTest::newRow("outside the picture") << QRect(0, 0, 50, 50) << 1.0 << false << QRectF() << QRect();
    QTest::newRow("one picture pixel") << QRect(120, 130, 5, 5) << 5.0 << true << QRectF(4, 6, 1, 1)
                                       << QRect(120, 130, 5, 5);
    QTest::newRow("click without a drag")
        << rubberBand(QPoint(150, 150), QPoint(150, 150)) << 1.0 << false << QRectF() << QRect();
    QTest::newRow("less than one picture pixel") << QRect(120, 130, 4, 50) << 5.0 << false << QRectF() << QRect();
    QTest::newRow("zoom 0") << QRect(120, 130, 40, 50) << 0.0 << false << QRectF() << QRect();
}

void TestViewGeometry::bandToSelection()
{
    QFETCH(QRect, band);
    QFETCH(double, zoom);
    QFETCH(bool, selects);
    QFETCH(QRectF, selection);
    QFETCH(QRect, outline);

    const QPoint origin(100, 100);
    const auto result = viewgeometry::bandToSelection(band, origin, QSizeF(400, 300), zoom);
    QCOMPARE(result.has_value(), selects);
    if (!selects)
        return;
    QCOMPARE(*result, selection);
    QCOMPARE(selectionOutline(*result, origin, zoom), outline);
}

void TestViewGeometry::fileSizeText_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("0") << qint64(0) << QStringLiteral("0Bytes");
    QTest::newRow("1023") << qint64(1023) << QStringLiteral("1023Bytes");
    QTest::newRow("1024") << qint64(1024) << QStringLiteral(" 1.0KB");
    QTest::newRow("1536") << qint64(1536) << QStringLiteral(" 1.5KB");
    QTest::newRow("1048575 rounds up in KB") << qint64(1048575) << QStringLiteral("1024.0KB");
    QTest::newRow("1048576") << qint64(1048576) << QStringLiteral(" 1.0MB");
    QTest::newRow("123456789") << qint64(123456789) << QStringLiteral("117.7MB");
    QTest::newRow("5 GB") << qint64(5) * 1024 * 1048576 << QStringLiteral("5120.0MB");
    QTest::newRow("negative") << qint64(-5) << QStringLiteral("0Bytes");
}

void TestViewGeometry::fileSizeText()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(viewgeometry::fileSizeText(bytes), text);
}

void TestViewGeometry::zoomText_data()
{
    QTest::addColumn<QSizeF>("display");
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QString>("text");

    QTest::newRow("100%") << QSizeF(640, 480) << QSize(640, 480) << QStringLiteral("100%");
    QTest::newRow("fitted 0.42") << QSizeF(268, 201) << QSize(640, 480) << QStringLiteral(" 42%");
    QTest::newRow("5x") << QSizeF(3200, 2400) << QSize(640, 480) << QStringLiteral("500%");
    QTest::newRow("tenth") << QSizeF(64, 48) << QSize(640, 480) << QStringLiteral(" 10%");
    QTest::newRow("best fit 93.2x") << QSizeF(932, 932) << QSize(10, 10) << QStringLiteral("9320%");
    QTest::newRow("empty picture") << QSizeF(0, 0) << QSize(0, 0) << QString();
}

void TestViewGeometry::zoomText()
{
    QFETCH(QSizeF, display);
    QFETCH(QSize, picture);
    QFETCH(QString, text);
    QCOMPARE(viewgeometry::zoomText(display, picture), text);
}

void TestViewGeometry::statusTexts()
{
    QCOMPARE(positionText(3, 12), QStringLiteral("3/12"));
    QCOMPARE(pictureText(640, 480, QStringLiteral("24"), QStringLiteral("JPEG")), QStringLiteral("640x480x24 JPEG"));
    QCOMPARE(pictureText(16, 16, QStringLiteral("8%"), QStringLiteral("%1")), QStringLiteral("16x16x8% %1"));
}

QTEST_GUILESS_MAIN(TestViewGeometry)
#include "tst_viewgeometry.moc"
