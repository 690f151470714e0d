#include <QMainWindow>
#include <QTest>

#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "ui/csizingcontrolbar.h"

namespace {

QString section(int barId)
{
    return settingskeys::sizingBarSection(barId);
}

// The layout hands out whole pixels after its separators and margins: a few pixels either way.
void verifyNear(int actual, int expected)
{
    QVERIFY2(qAbs(actual - expected) <= 4, qPrintable(QStringLiteral("%1 vs %2").arg(actual).arg(expected)));
}

}  // namespace

class TestSizingControlBar : public QObject {
    Q_OBJECT
private slots:
    void init();
    void loadRaisesToMinimum_data();
    void loadRaisesToMinimum();
    void roundTripBothBars();
    void eachPlacementKeepsItsSize();
};

void TestSizingControlBar::init()
{
    for (int id : {settingskeys::kPreviewBarId, settingskeys::kFoldersTreeBarId}) {
        for (const char* name : {"sizeHorzCX", "sizeHorzCY", "sizeVertCX", "sizeVertCY", "sizeFloatCX", "sizeFloatCY"})
            QVERIFY(CSettingsStore::RemoveProfileValue(section(id), QString::fromLatin1(name)));
    }
}

void TestSizingControlBar::loadRaisesToMinimum_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QSize>("horz");
    QTest::addColumn<QSize>("vert");
    QTest::addColumn<QSize>("floating");
    const QSize start(200, 100);
    QTest::newRow("vertical width 10") << "sizeVertCX" << 10 << start << QSize(33, 100) << start;
    QTest::newRow("horizontal height 0") << "sizeHorzCY" << 0 << QSize(200, 32) << start << start;
    QTest::newRow("floating width negative") << "sizeFloatCX" << -5 << start << start << QSize(33, 100);
    QTest::newRow("floating height kept") << "sizeFloatCY" << 32 << start << start << QSize(200, 32);
    QTest::newRow("vertical width kept") << "sizeVertCX" << 250 << start << QSize(250, 100) << start;
}

void TestSizingControlBar::loadRaisesToMinimum()
{
    QFETCH(QString, name);
    QFETCH(int, stored);
    QMainWindow frame;
    CSizingControlBar bar(QStringLiteral("Preview"), &frame, QSize(200, 100), settingskeys::kPreviewBarId);
    QVERIFY(CSettingsStore::WriteProfileInt(section(settingskeys::kPreviewBarId), name, stored));
    CSizingControlBar::loadAll();
    QTEST(bar.sizes().sizeHorz, "horz");
    QTEST(bar.sizes().sizeVert, "vert");
    QTEST(bar.sizes().sizeFloat, "floating");
}

void TestSizingControlBar::roundTripBothBars()
{
    const storedstate::SizingBarSizes preview{QSize(301, 45), QSize(120, 400), QSize(250, 260)};
    const storedstate::SizingBarSizes tree{QSize(500, 80), QSize(90, 333), QSize(150, 151)};
    {
        QMainWindow frame;
        CSizingControlBar first(QStringLiteral("Preview"), &frame, {}, settingskeys::kPreviewBarId);
        CSizingControlBar second(QStringLiteral("Folders tree"), &frame, {}, settingskeys::kFoldersTreeBarId);
        storedstate::saveSizingBarSizes(settingskeys::kPreviewBarId, preview);
        storedstate::saveSizingBarSizes(settingskeys::kFoldersTreeBarId, tree);
        CSizingControlBar::loadAll();
        QCOMPARE(first.sizes(), preview);
        QCOMPARE(second.sizes(), tree);
        // Overwrite what is stored so that only saveAll can bring the sizes back.
        init();
        CSizingControlBar::saveAll();
    }
    QMainWindow frame;
    CSizingControlBar first(QStringLiteral("Preview"), &frame, QSize(200, 100), settingskeys::kPreviewBarId);
    CSizingControlBar second(QStringLiteral("Folders tree"), &frame, QSize(200, 100), settingskeys::kFoldersTreeBarId);
    CSizingControlBar::loadAll();
    QCOMPARE(first.sizes(), preview);
    QCOMPARE(second.sizes(), tree);
}

void TestSizingControlBar::eachPlacementKeepsItsSize()
{
    QMainWindow frame;
    frame.setCentralWidget(new QWidget(&frame));
    frame.resize(900, 700);
    CSizingControlBar bar(QStringLiteral("Preview"), &frame, QSize(200, 100), settingskeys::kPreviewBarId);
    bar.setWidget(new QWidget(&bar));
    const storedstate::SizingBarSizes stored{QSize(400, 150), QSize(260, 300), QSize(320, 240)};
    storedstate::saveSizingBarSizes(settingskeys::kPreviewBarId, stored);
    CSizingControlBar::loadAll();
    frame.addDockWidget(Qt::LeftDockWidgetArea, &bar);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));

    QTRY_VERIFY(qAbs(bar.width() - stored.sizeVert.width()) <= 4);
    verifyNear(bar.sizes().sizeVert.width(), stored.sizeVert.width());

    frame.addDockWidget(Qt::TopDockWidgetArea, &bar);
    QTRY_VERIFY(qAbs(bar.height() - stored.sizeHorz.height()) <= 4);
    verifyNear(bar.sizes().sizeHorz.height(), stored.sizeHorz.height());
    // Leaving the left side did not overwrite the left side's size.
    verifyNear(bar.sizes().sizeVert.width(), stored.sizeVert.width());

    bar.setFloating(true);
    QTRY_COMPARE(bar.size(), stored.sizeFloat);
    QCOMPARE(bar.sizes().sizeFloat, stored.sizeFloat);

    // The user's resizing while floating is what the bar remembers for floating.
    bar.resize(280, 200);
    QTRY_COMPARE(bar.sizes().sizeFloat, QSize(280, 200));
    verifyNear(bar.sizes().sizeHorz.height(), stored.sizeHorz.height());
}

QTEST_MAIN(TestSizingControlBar)
#include "tst_sizingcontrolbar.moc"
