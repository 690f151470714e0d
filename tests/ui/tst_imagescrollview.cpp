// The scrolling base of the image views: the fit rule, the scroll ranges and their clamping
// when the view shrinks or grows, and panning with the hand cursors.

#include <QScrollBar>
#include <QTest>

#include "ui/cimagescrollview.h"

namespace {

class PannableView : public CImageScrollView {
public:
    bool allowed = true;

protected:
    bool panningAllowed() const override { return allowed; }
};

void showView(PannableView& view, QSize size)
{
    view.setFrameStyle(QFrame::NoFrame);
    // Scroll bars would take their share of the viewport; the sizes below are the viewport's.
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.resize(size);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
}

} // namespace

class TestImageScrollView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fitInside_data();
    void fitInside();
    void rangesFollowContentAndViewport();
    void scrollBarsOnlyWhereNeeded_data();
    void scrollBarsOnlyWhereNeeded();
    void panning_data();
    void panning();
};

void TestImageScrollView::fitInside_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("bounds");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("wide meets the width") << QSize(1004, 504) << QSize(300, 200) << QSize(300, 150);
    QTest::newRow("tall meets the height") << QSize(204, 1004) << QSize(300, 200) << QSize(40, 200);
    QTest::newRow("same proportions meet both") << QSize(200, 100) << QSize(300, 150) << QSize(300, 150);
    QTest::newRow("small grows") << QSize(10, 5) << QSize(300, 200) << QSize(300, 150);
    QTest::newRow("truncated, never rounded") << QSize(3, 2) << QSize(100, 100) << QSize(100, 66);
    QTest::newRow("empty stays") << QSize(0, 0) << QSize(300, 200) << QSize(0, 0);
    QTest::newRow("no room") << QSize(100, 80) << QSize(0, 0) << QSize(0, 0);
}

void TestImageScrollView::fitInside()
{
    QFETCH(QSize, size);
    QFETCH(QSize, bounds);
    QFETCH(QSize, expected);
    QCOMPARE(CImageScrollView::fitInside(size, bounds), expected);
}

void TestImageScrollView::rangesFollowContentAndViewport()
{
    PannableView view;
    showView(view, {200, 150});
    view.setContentSize({500, 400});
    QCOMPARE(view.horizontalScrollBar()->maximum(), 300);
    QCOMPARE(view.verticalScrollBar()->maximum(), 250);
    QCOMPARE(view.horizontalScrollBar()->pageStep(), 200);
    QCOMPARE(view.verticalScrollBar()->pageStep(), 150);

    view.setScrollPosition({1000, -5});
    QCOMPARE(view.scrollPosition(), QPoint(300, 0));
    view.setScrollPosition({250, 200});
    // Growing the view shrinks the range: the position is pulled back to the new maximum.
    view.resize(400, 300);
    QTRY_COMPARE(view.viewport()->size(), QSize(400, 300));
    QCOMPARE(view.scrollPosition(), QPoint(100, 100));
    // Content that fits has nothing to scroll.
    view.setContentSize({100, 100});
    QCOMPARE(view.scrollPosition(), QPoint(0, 0));
    QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
}

void TestImageScrollView::scrollBarsOnlyWhereNeeded_data()
{
    // The view is 300 x 200. Each row starts from a content of 1000 x 1000, which shows both bars.
    QTest::addColumn<QSize>("content");
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<bool>("vertical");
    QTest::newRow("fills the whole view") << QSize(300, 200) << false << false;
    QTest::newRow("smaller") << QSize(120, 80) << false << false;
    QTest::newRow("wider only") << QSize(400, 150) << true << false;
    QTest::newRow("wider, and too tall beside the bar") << QSize(400, 199) << true << true;
    QTest::newRow("taller only") << QSize(250, 500) << false << true;
    QTest::newRow("taller, and too wide beside the bar") << QSize(299, 500) << true << true;
    QTest::newRow("both larger") << QSize(301, 201) << true << true;
}

// Content that fits the view without scroll bars loses the bars a larger one had put there.
void TestImageScrollView::scrollBarsOnlyWhereNeeded()
{
    QFETCH(QSize, content);
    QFETCH(bool, horizontal);
    QFETCH(bool, vertical);
    PannableView view;
    view.setFrameStyle(QFrame::NoFrame);
    view.resize(300, 200);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    view.setContentSize({1000, 1000});
    QTRY_VERIFY(view.horizontalScrollBar()->isVisible() && view.verticalScrollBar()->isVisible());

    view.setContentSize(content);
    QTRY_COMPARE(view.horizontalScrollBar()->isVisible(), horizontal);
    QTRY_COMPARE(view.verticalScrollBar()->isVisible(), vertical);
    const QSize viewport = view.viewport()->size();
    QCOMPARE(view.horizontalScrollBar()->maximum(), std::max(0, content.width() - viewport.width()));
    QCOMPARE(view.verticalScrollBar()->maximum(), std::max(0, content.height() - viewport.height()));
}

void TestImageScrollView::panning_data()
{
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<QSize>("content");
    QTest::addColumn<bool>("pans");
    QTest::newRow("larger both ways") << true << QSize(500, 400) << true;
    QTest::newRow("wider only") << true << QSize(500, 100) << true;
    QTest::newRow("taller only") << true << QSize(100, 400) << true;
    QTest::newRow("fits") << true << QSize(200, 150) << false;
    QTest::newRow("not allowed") << false << QSize(500, 400) << false;
}

void TestImageScrollView::panning()
{
    QFETCH(bool, allowed);
    QFETCH(QSize, content);
    QFETCH(bool, pans);
    PannableView view;
    view.allowed = allowed;
    showView(view, {200, 150});
    view.setContentSize(content);
    view.setScrollPosition({50, 50});
    const QPoint start = view.scrollPosition();
    QWidget* viewport = view.viewport();
    QCOMPARE(viewport->testAttribute(Qt::WA_SetCursor), pans);
    if (pans)
        QCOMPARE(viewport->cursor().shape(), Qt::OpenHandCursor);

    QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(100, 100));
    QCOMPARE(view.panning(), pans);
    if (pans)
        QCOMPARE(viewport->cursor().shape(), Qt::ClosedHandCursor);
    QTest::mouseMove(viewport, QPoint(80, 90));
    QTest::mouseMove(viewport, QPoint(70, 60));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(70, 60));
    QVERIFY(!view.panning());
    // Dragging the picture left and up shows more of its right and bottom, within the range.
    const QPoint expected = pans ? QPoint(std::min(start.x() + 30, view.horizontalScrollBar()->maximum()),
                                          std::min(start.y() + 40, view.verticalScrollBar()->maximum()))
                                 : start;
    QCOMPARE(view.scrollPosition(), expected);
    if (pans)
        QCOMPARE(viewport->cursor().shape(), Qt::OpenHandCursor);
}

QTEST_MAIN(TestImageScrollView)
#include "tst_imagescrollview.moc"
