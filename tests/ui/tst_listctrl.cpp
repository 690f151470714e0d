#include <QApplication>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QUrl>

#include "ui/clistctrlex.h"

using Style = CListCtrlEx::ViewStyle;
Q_DECLARE_METATYPE(CListCtrlEx::ViewStyle)

namespace {

struct Drop {
    int item;
    QString path;
    int subItem;
    bool operator==(const Drop&) const = default;
};

const QColor kMarked(250, 10, 200);   // row 3 is drawn by the list itself
const QColor kCellDrawn(10, 200, 20); // so is cell (4, 2)
const QColor kRowBack(200, 150, 100); // background answer for row 1

// A list that answers some hooks and records what the others were asked.
class TestList : public CListCtrlEx {
public:
    QList<Drop> drops;
    bool refuseDrops = false;
    QHash<QPair<int, int>, QStyle::State> painted; // (row, column) -> state, after the default drawing

protected:
    QColor bkColorForItem(int item, QStyle::State) override { return item == 1 ? kRowBack : QColor(); }
    bool onDrawItem(QPainter* painter, int item, const QRect& rect, QStyle::State) override
    {
        if (item != 3)
            return false;
        painter->fillRect(rect, kMarked);
        return true;
    }
    bool onDrawSubItem(QPainter* painter, int item, int subItem, const QRect& rect, QStyle::State) override
    {
        if (item != 4 || subItem != 2)
            return false;
        painter->fillRect(rect, kCellDrawn);
        return true;
    }
    void onPostDrawSubItem(QPainter*, int item, int subItem, const QRect&, QStyle::State state) override
    {
        painted.insert({item, subItem}, state);
    }
    bool acceptsDrop(const QMimeData*, int, int) override { return !refuseDrops; }
    void OnDropFile(int item, const QString& path, int subItem) override { drops.append({item, path, subItem}); }
};

} // namespace

class TestListCtrl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void customDrawAnswers_data();
    void customDrawAnswers();
    void fullRowSelectRepaintsSelectedRows_data();
    void fullRowSelectRepaintsSelectedRows();
    void dropCallsHookPerFile_data();
    void dropCallsHookPerFile();
    void hitTestWithSubItem_data();
    void hitTestWithSubItem();
    void labelEditorHolds255Characters_data();
    void labelEditorHolds255Characters();
    void styleSwitchKeepsSelection_data();
    void styleSwitchKeepsSelection();
    void pageKeysMoveAPage_data();
    void pageKeysMoveAPage();
    void homeAndEndReachTheEnds_data();
    void homeAndEndReachTheEnds();
    void horizontalScrollFocusesList();

private:
    void show(Style style, int rows);
    QPoint cellCentre(int row, int column) const;
    QColor pixelAt(int row, int column, QPoint offset = {}) const;

    QStandardItemModel* m_model = nullptr;
    TestList* m_list = nullptr;
};

void TestListCtrl::init()
{
    m_model = new QStandardItemModel;
    m_list = new TestList;
}

void TestListCtrl::cleanup()
{
    delete m_list;
    delete m_model;
}

void TestListCtrl::show(Style style, int rows)
{
    m_model->setColumnCount(3);
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < 3; ++column)
            m_model->setItem(row, column, new QStandardItem(QStringLiteral("r%1c%2").arg(row).arg(column)));
    }
    m_list->setModel(m_model);
    m_list->setViewStyle(style);
    m_list->reportView()->setColumnWidth(0, 50);
    m_list->reportView()->setColumnWidth(1, 70);
    m_list->reportView()->setColumnWidth(2, 90);
    m_list->resize(320, 240);
    m_list->window()->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_list->window()));
}

QPoint TestListCtrl::cellCentre(int row, int column) const
{
    return m_list->currentView()->visualRect(m_model->index(row, column)).center();
}

QColor TestListCtrl::pixelAt(int row, int column, QPoint offset) const
{
    const QImage image = m_list->currentView()->viewport()->grab().toImage();
    return image.pixelColor(cellCentre(row, column) + offset);
}

void TestListCtrl::customDrawAnswers_data()
{
    QTest::addColumn<Style>("style");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("report: row drawn by the list, first cell") << Style::Report << 3 << 0 << kMarked;
    QTest::newRow("report: row drawn by the list, last cell") << Style::Report << 3 << 2 << kMarked;
    QTest::newRow("report: cell drawn by the list") << Style::Report << 4 << 2 << kCellDrawn;
    QTest::newRow("report: row background, other cell") << Style::Report << 1 << 1 << kRowBack;
    QTest::newRow("list: row drawn by the list") << Style::List << 3 << 0 << kMarked;
    QTest::newRow("icon: row drawn by the list") << Style::Icon << 3 << 0 << kMarked;
}

void TestListCtrl::customDrawAnswers()
{
    QFETCH(Style, style);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QColor, colour);
    show(style, 6);
    // Just right of the text, where the background shows.
    const QPoint offset(style == Style::Report ? 22 : 0, style == Style::Icon ? 0 : 4);
    QCOMPARE(pixelAt(row, column, offset), colour);
    if (style == Style::Report) {
        QVERIFY(!m_list->painted.contains({3, column}));
        QVERIFY(!m_list->painted.contains({4, 2}));
        QVERIFY(m_list->painted.contains({4, 1}));
    }
}

void TestListCtrl::fullRowSelectRepaintsSelectedRows_data()
{
    QTest::addColumn<bool>("on");
    QTest::newRow("switched on") << true;
    QTest::newRow("switched off") << false;
}

void TestListCtrl::fullRowSelectRepaintsSelectedRows()
{
    QFETCH(bool, on);
    m_list->setFullRowSelect(!on);
    show(Style::Report, 8);
    // Rows 3 and 4 are drawn by the list itself and have no post-paint: stay above them.
    m_list->painted.clear();
    for (int row : {0, 2})
        m_list->selectionModel()->select(m_model->index(row, 0),
                                         QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTRY_VERIFY(m_list->painted.contains({2, 2})); // the selection's own repaint is over
    const QColor highlight = m_list->reportView()->palette().color(QPalette::Highlight);
    QCOMPARE(pixelAt(2, 2, {40, 0}) == highlight, !on);

    m_list->painted.clear();
    m_list->setFullRowSelect(on);
    // Repainted without anyone asking: every cell from the first to the last selected row.
    QTRY_VERIFY(m_list->painted.contains({2, 2}));
    for (int row = 0; row <= 2; ++row) {
        const bool selected = row != 1;
        QCOMPARE(bool(m_list->painted.value({row, 0}) & QStyle::State_Selected), selected);
        for (int column = 1; column < 3; ++column) {
            QVERIFY(m_list->painted.contains({row, column}));
            QCOMPARE(bool(m_list->painted.value({row, column}) & QStyle::State_Selected), on && selected);
        }
    }
    QCOMPARE(pixelAt(2, 2, {40, 0}) == highlight, on);
}

void TestListCtrl::dropCallsHookPerFile_data()
{
    QTest::addColumn<Style>("style");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("refuse");
    QTest::newRow("report, name") << Style::Report << 1 << 0 << false;
    QTest::newRow("report, third column") << Style::Report << 3 << 2 << false;
    QTest::newRow("report, refused") << Style::Report << 3 << 2 << true;
    QTest::newRow("icon") << Style::Icon << 2 << 0 << false;
    QTest::newRow("list") << Style::List << 4 << 0 << false;
}

void TestListCtrl::dropCallsHookPerFile()
{
    QFETCH(Style, style);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, refuse);
    show(style, 6);
    m_list->refuseDrops = refuse;
    const QStringList paths{"/tmp/one.jpg", "/tmp/two words.png", "/tmp/three.gif"};
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(paths[0]), QUrl("https://example.invalid/not-a-file.jpg"),
                  QUrl::fromLocalFile(paths[1]), QUrl::fromLocalFile(paths[2])});
    // As a drag would: Qt hands the drop to the widget that accepted the drag's entry.
    QWidget* viewport = m_list->currentView()->viewport();
    QDragEnterEvent enter(cellCentre(row, column), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QCOMPARE(enter.isAccepted(), !refuse);
    QDropEvent drop(cellCentre(row, column), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &drop);
    QList<Drop> expected;
    if (!refuse) {
        for (const QString& path : paths)
            expected.append({row, path, column});
    }
    QCOMPARE(m_list->drops, expected);
}

void TestListCtrl::hitTestWithSubItem_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("scrollRows");
    QTest::addColumn<int>("scrollX");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("rowInView"); // -1: over the header
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("subItem");
    // Columns 50, 70 and 90 px wide; the narrow list scrolls sideways.
    QTest::newRow("first cell") << 320 << 0 << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("last pixel of column 0") << 320 << 0 << 0 << 49 << 2 << 2 << 0;
    QTest::newRow("first pixel of column 1") << 320 << 0 << 0 << 50 << 2 << 2 << 1;
    QTest::newRow("last pixel of column 2") << 320 << 0 << 0 << 209 << 4 << 4 << 2;
    QTest::newRow("right of the columns") << 320 << 0 << 0 << 210 << 4 << 4 << -1;
    QTest::newRow("scrolled down") << 320 << 10 << 0 << 60 << 1 << 11 << 1;
    QTest::newRow("over the header, scrolled down") << 320 << 10 << 0 << 60 << -1 << -1 << -1;
    QTest::newRow("scrolled sideways") << 150 << 0 << 30 << 25 << 1 << 1 << 1;
    QTest::newRow("scrolled sideways, column 2") << 150 << 0 << 30 << 90 << 3 << 3 << 2;
}

void TestListCtrl::hitTestWithSubItem()
{
    QFETCH(int, width);
    QFETCH(int, scrollRows);
    QFETCH(int, scrollX);
    QFETCH(int, x);
    QFETCH(int, rowInView);
    QFETCH(int, item);
    QFETCH(int, subItem);
    show(Style::Report, 40);
    m_list->resize(width, 240);
    QTableView* view = m_list->reportView();
    QTRY_VERIFY(view->horizontalScrollBar()->maximum() >= scrollX);
    view->verticalScrollBar()->setValue(scrollRows);
    view->horizontalScrollBar()->setValue(scrollX);
    const QPoint inView(x, rowInView * view->rowHeight(0) + 3);
    int column = -7;
    QCOMPARE(m_list->hitTestEx(view->viewport()->mapTo(m_list, inView), &column), item);
    QCOMPARE(column, subItem);
}

void TestListCtrl::labelEditorHolds255Characters_data()
{
    QTest::addColumn<Style>("style");
    QTest::newRow("report") << Style::Report;
    QTest::newRow("icon") << Style::Icon;
    QTest::newRow("list") << Style::List;
}

void TestListCtrl::labelEditorHolds255Characters()
{
    QFETCH(Style, style);
    show(style, 4);
    m_list->editLabel(2);
    auto* editor = m_list->currentView()->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClicks(editor, QString(300, QLatin1Char('n')));
    QCOMPARE(editor->text().size(), 255);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_COMPARE(m_model->item(2, 0)->text(), QString(255, QLatin1Char('n')));
}

void TestListCtrl::styleSwitchKeepsSelection_data()
{
    QTest::addColumn<Style>("from");
    QTest::addColumn<Style>("to");
    QTest::newRow("report to icon") << Style::Report << Style::Icon;
    QTest::newRow("icon to list") << Style::Icon << Style::List;
    QTest::newRow("list to small icon") << Style::List << Style::SmallIcon;
    QTest::newRow("small icon to report") << Style::SmallIcon << Style::Report;
}

void TestListCtrl::styleSwitchKeepsSelection()
{
    QFETCH(Style, from);
    QFETCH(Style, to);
    show(from, 8);
    QAbstractItemView* before = m_list->currentView();
    before->setFocus();
    // A click on the third column of row 5, then Ctrl+click on row 2.
    const int column = from == Style::Report ? 2 : 0;
    QTest::mouseClick(before->viewport(), Qt::LeftButton, {}, cellCentre(5, column));
    QTest::mouseClick(before->viewport(), Qt::LeftButton, Qt::ControlModifier, cellCentre(2, column));
    m_list->setViewStyle(to);
    QAbstractItemView* after = m_list->currentView();
    QVERIFY(after->isVisible());
    QCOMPARE(after->currentIndex(), m_model->index(2, 0));
    QModelIndexList rows = after->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QCOMPARE(rows, (QModelIndexList{m_model->index(2, 0), m_model->index(5, 0)}));
}

void TestListCtrl::pageKeysMoveAPage_data()
{
    QTest::addColumn<Style>("style");
    QTest::newRow("report") << Style::Report;
    QTest::newRow("icon") << Style::Icon;
    QTest::newRow("small icon") << Style::SmallIcon;
    QTest::newRow("list") << Style::List;
}

void TestListCtrl::pageKeysMoveAPage()
{
    QFETCH(Style, style);
    show(style, 400);
    QAbstractItemView* view = m_list->currentView();
    view->setCurrentIndex(m_model->index(0, 0));
    QTest::keyClick(view, Qt::Key_PageDown);
    const int first = view->currentIndex().row();
    QTest::keyClick(view, Qt::Key_PageDown);
    const int second = view->currentIndex().row();
    QVERIFY2(first > 1 && second > first, qPrintable(QStringLiteral("%1 %2").arg(first).arg(second)));
    QVERIFY(view->verticalScrollBar()->value() > 0 || view->horizontalScrollBar()->value() > 0);
    QTest::keyClick(view, Qt::Key_PageUp);
    QVERIFY(view->currentIndex().row() < second);
}

void TestListCtrl::homeAndEndReachTheEnds_data()
{
    QTest::addColumn<Style>("style");
    QTest::newRow("report") << Style::Report;
    QTest::newRow("icon") << Style::Icon;
    QTest::newRow("list") << Style::List;
}

void TestListCtrl::homeAndEndReachTheEnds()
{
    QFETCH(Style, style);
    show(style, 60);
    QAbstractItemView* view = m_list->currentView();
    view->setCurrentIndex(m_model->index(20, 0));
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(view->currentIndex().row(), 59);
    QTest::keyClick(view, Qt::Key_Home);
    QCOMPARE(view->currentIndex().row(), 0);
    // Shift extends the selection from the anchor to the far end.
    QTest::keyClick(view, Qt::Key_End, Qt::ShiftModifier);
    QCOMPARE(view->currentIndex().row(), 59);
    QCOMPARE(m_list->selectionModel()->selectedRows().size(), 60);
}

void TestListCtrl::horizontalScrollFocusesList()
{
    QWidget window;
    auto* other = new QLineEdit(&window);
    m_list->setParent(&window);
    show(Style::Report, 4);
    m_list->resize(120, 200);
    other->setFocus();
    QScrollBar* bar = m_list->reportView()->horizontalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(window.focusWidget(), m_list->reportView());
    // The sideways keys scroll the report.
    const int scrolled = bar->value();
    QTest::keyClick(m_list->reportView(), Qt::Key_Right);
    QVERIFY(bar->value() > scrolled);
    m_list->setParent(nullptr);
}

QTEST_MAIN(TestListCtrl)
#include "tst_listctrl.moc"
