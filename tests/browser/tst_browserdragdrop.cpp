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
    QTest::addColumn<Qt::DropActions>("offered"); // by the drag's source
    QTest::addColumn<bool>("copied");
    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    QTest::newRow("below the rows: moved into the shown folder") << false << Qt::KeyboardModifiers() << both << false;
    QTest::newRow("on a folder row: moved into it") << true << Qt::KeyboardModifiers() << both << false;
    QTest::newRow("Ctrl on a folder row: copied into it") << true << ctrl << both << true;
    QTest::newRow("Ctrl below the rows: copied") << false << ctrl << both << true;
    QTest::newRow("a source that offers no move: copied") << true << Qt::KeyboardModifiers()
                                                           << Qt::DropActions(Qt::CopyAction) << true;
}

void TestBrowserDragDrop::dropGoesWhereItIsAimed()
{
    QFETCH(bool, onFolderRow);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(Qt::DropActions, offered);
    QFETCH(bool, copied);
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
    QVERIFY(dropFiles(report->viewport(), at, {source.filePath("a.png")}, modifiers, offered));
    QVERIFY(over.wait(kWait));
    const QDir target(onFolderRow ? shown.filePath("sub") : shown.path());
    QVERIFY(target.exists("a.png"));
    QCOMPARE(QFileInfo::exists(source.filePath("a.png")), copied);
    if (!onFolderRow)
        QTRY_VERIFY_WITH_TIMEOUT(rowNames(fixture.list).contains("a.png"), kWait);
}

QTEST_MAIN(TestBrowserDragDrop)
#include "tst_browserdragdrop.moc"
