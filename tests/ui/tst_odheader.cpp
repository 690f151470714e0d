#include <QApplication>
#include <QImage>
#include <QStandardItemModel>
#include <QTest>

#include "ui/codheaderctrl.h"

namespace {

// Distinct colours make every pixel tell what drew it.
const QColor kFace(255, 255, 255);
const QColor kText(0, 0, 0);
const QColor kLight(255, 0, 0);
const QColor kDark(0, 0, 255);

bool isArrow(QRgb pixel)
{
    return pixel == kLight.rgb() || pixel == kDark.rgb();
}

// Anti-aliased text is grey: dark and without tint.
bool isText(QRgb pixel)
{
    return qMax(qRed(pixel), qMax(qGreen(pixel), qBlue(pixel))) < 200 &&
           qMax(qRed(pixel), qMax(qGreen(pixel), qBlue(pixel))) - qMin(qRed(pixel), qMin(qGreen(pixel), qBlue(pixel))) <
               40;
}

// The bounding box of the pixels of `area` that pass `test`.
QRect pixelBounds(const QImage& image, const QRect& area, bool (*test)(QRgb))
{
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (test(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

} // namespace

class TestODHeader : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void setSortImageReturnsPreviousColumn();
    void arrowOnSortColumnOnly_data();
    void arrowOnSortColumnOnly();
    void longTitleIsCutBeforeArrow_data();
    void longTitleIsCutBeforeArrow();
    void pressedSectionShiftsText();

private:
    QImage grab();
    QRect section(int column) const;
    QRect inside(int column) const;
    int space() const { return m_header->fontMetrics().horizontalAdvance(QLatin1Char(' ')); }

    QStandardItemModel* m_model = nullptr;
    CODHeaderCtrl* m_header = nullptr;
};

void TestODHeader::init()
{
    m_model = new QStandardItemModel(0, 3);
    m_model->setHorizontalHeaderLabels({"Name", "Size", "Type"});
    m_header = new CODHeaderCtrl;
    QPalette palette = m_header->palette();
    palette.setColor(QPalette::Button, kFace);
    palette.setColor(QPalette::ButtonText, kText);
    palette.setColor(QPalette::Light, kLight);
    palette.setColor(QPalette::Dark, kDark);
    m_header->setPalette(palette);
    m_header->setModel(m_model);
    for (int column = 0; column < 3; ++column)
        m_header->resizeSection(column, 120);
    m_header->resize(400, m_header->sizeHint().height());
    m_header->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_header));
}

void TestODHeader::cleanup()
{
    delete m_header;
    delete m_model;
}

QImage TestODHeader::grab()
{
    return m_header->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRect TestODHeader::section(int column) const
{
    return QRect(m_header->sectionViewportPosition(column), 0, m_header->sectionSize(column), m_header->height());
}

QRect TestODHeader::inside(int column) const
{
    return section(column).adjusted(1, 1, -1, -1); // the raised edge is drawn in the same colours
}

void TestODHeader::setSortImageReturnsPreviousColumn()
{
    QCOMPARE(m_header->SetSortImage(2, true), -1);
    QCOMPARE(m_header->SetSortImage(0, false), 2);
    QCOMPARE(m_header->SetSortImage(0, true), 0);
    QCOMPARE(m_header->SetSortImage(-1, true), 0);
    QCOMPARE(m_header->SetSortImage(1, true), -1);
}

void TestODHeader::arrowOnSortColumnOnly_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("ascending");
    QTest::newRow("first, up") << 0 << true;
    QTest::newRow("first, down") << 0 << false;
    QTest::newRow("last, up") << 2 << true;
    QTest::newRow("last, down") << 2 << false;
}

void TestODHeader::arrowOnSortColumnOnly()
{
    QFETCH(int, column);
    QFETCH(bool, ascending);
    m_header->SetSortImage(column, ascending);
    const QImage image = grab();
    const int w = space();
    for (int other = 0; other < 3; ++other) {
        if (other != column)
            QVERIFY2(pixelBounds(image, inside(other), isArrow).isNull(), qPrintable(QString::number(other)));
    }
    const QRect rect = section(column);
    const int right = rect.x() + rect.width();
    const int top = 2 * w;
    const int bottom = rect.height() - 2 * w;
    QCOMPARE(pixelBounds(image, inside(column), isArrow),
             QRect(QPoint(right - 5 * w - 2, top), QPoint(right - 3 * w, bottom)));

    // The flat side is a full line; the tip is one pixel at 4w from the right edge.
    const int baseY = ascending ? bottom : top;
    const int tipY = ascending ? top : bottom;
    for (int x = right - 5 * w - 2; x <= right - 3 * w; ++x)
        QVERIFY(isArrow(image.pixel(x, baseY)));
    QCOMPARE(pixelBounds(image, QRect(rect.left() + 1, tipY, rect.width() - 2, 1), isArrow),
             QRect(right - 4 * w, tipY, 1, 1));
    // Engraved: the left side in shadow, the right side in the light.
    const int midY = (top + bottom) / 2;
    const QRect leftHalf(right - 5 * w - 2, midY, w + 2, 1);
    const QRect rightHalf(right - 4 * w + 1, midY, w, 1);
    QCOMPARE(QColor(image.pixel(pixelBounds(image, leftHalf, isArrow).topLeft())), kDark);
    QCOMPARE(QColor(image.pixel(pixelBounds(image, rightHalf, isArrow).topLeft())), kLight);
}

void TestODHeader::longTitleIsCutBeforeArrow_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("sorted");
    for (const auto& [name, alignment] :
         {std::pair{"left", Qt::AlignLeft}, {"centre", Qt::AlignHCenter}, {"right", Qt::AlignRight}}) {
        QTest::addRow("%s, sorted", name) << int(alignment) << true;
        QTest::addRow("%s, unsorted", name) << int(alignment) << false;
    }
}

void TestODHeader::longTitleIsCutBeforeArrow()
{
    QFETCH(int, alignment);
    QFETCH(bool, sorted);
    m_model->setHeaderData(1, Qt::Horizontal, "Image Properties of a very long kind", Qt::DisplayRole);
    m_model->setHeaderData(1, Qt::Horizontal, alignment, Qt::TextAlignmentRole);
    m_header->SetSortImage(sorted ? 1 : -1, true);
    const QImage image = grab();
    const QRect rect = section(1);
    const int w = space();
    const QRect text = pixelBounds(image, inside(1), isText);
    QVERIFY(!text.isNull());
    QVERIFY(text.left() >= rect.left() + 2 * w);
    QVERIFY2(text.right() < rect.x() + rect.width() - 2 * w - (sorted ? 6 * w : 0),
             qPrintable(QString::number(text.right())));
    if (sorted)
        QVERIFY(text.right() < pixelBounds(image, inside(1), isArrow).left());
    // Cut, not dropped: the text fills the room it has up to the ellipsis.
    QVERIFY(text.width() > rect.width() - (sorted ? 10 : 4) * w - 2 * w);
}

void TestODHeader::pressedSectionShiftsText()
{
    const QRect rect = section(1);
    const QRect before = pixelBounds(grab(), inside(1), isText);
    QTest::mousePress(m_header->viewport(), Qt::LeftButton, {}, rect.center());
    const QRect pressed = pixelBounds(grab(), inside(1), isText);
    QTest::mouseRelease(m_header->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(pressed.topLeft(), before.topLeft() + QPoint(1, 2));
    QCOMPARE(pixelBounds(grab(), inside(1), isText), before);
}

QTEST_MAIN(TestODHeader)
#include "tst_odheader.moc"
