// Files dropped onto the browser's list, on real folders.

#include <QTableView>
#include <QTemporaryDir>

#include "browser/browserfileops.h"
#include "browserfixture.h"
#include "dropfiles.h"

class TestBrowserDragDrop : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void dropGoesWhereItIsAimed_data();
    void dropGoesWhereItIsAimed();
};

void TestBrowserDragDrop::dropGoesWhereItIsAimed_data()
{
    QTest::addColumn<bool>("onFolderRow");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("below the rows: moved into the shown folder") << false << Qt::KeyboardModifiers();
    QTest::newRow("on a folder row: moved into it") << true << Qt::KeyboardModifiers();
    QTest::newRow("Ctrl on a folder row: copied into it") << true << Qt::KeyboardModifiers(Qt::ControlModifier);
    QTest::newRow("Ctrl below the rows: copied") << false << Qt::KeyboardModifiers(Qt::ControlModifier);
}

void TestBrowserDragDrop::dropGoesWhereItIsAimed()
{
    QFETCH(bool, onFolderRow);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QTemporaryDir source;
    QTemporaryDir shown;
    QVERIFY(source.isValid() && shown.isValid());
    writePicture(source.filePath("a.png"));
    QVERIFY(QDir(shown.path()).mkdir("sub"));
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, shown.path()));
    QTableView* report = fixture.list->reportView();
    const QRect subRow = report->visualRect(fixture.list->rows().index(int(rowNames(fixture.list).indexOf("sub")), 0));
    const QPoint at = onFolderRow ? subRow.center() : QPoint(subRow.center().x(), report->viewport()->height() - 5);

    QSignalSpy over(fixture.view->fileOps(), &BrowserFileOps::operationOver);
    QVERIFY(dropFiles(report->viewport(), at, {source.filePath("a.png")}, modifiers));
    QVERIFY(over.wait(kWait));
    const QDir target(onFolderRow ? shown.filePath("sub") : shown.path());
    QVERIFY(target.exists("a.png"));
    QCOMPARE(QFileInfo::exists(source.filePath("a.png")), modifiers == Qt::ControlModifier);
    if (!onFolderRow)
        QTRY_VERIFY_WITH_TIMEOUT(rowNames(fixture.list).contains("a.png"), kWait);
}

QTEST_MAIN(TestBrowserDragDrop)
#include "tst_browserdragdrop.moc"
