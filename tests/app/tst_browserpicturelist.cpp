#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/browserpicturelist.h"
#include "browser/cfilelistctrl.h"
#include "viewer/viewernavigator.h"

// The browser's file list walked by the viewer's navigator, both real: a folder on disk read by
// the list's own workers, pictures read by the image library.
class TestBrowserPictureList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void walk_data();
    void walk();
    void walkAndCountAgree();
    void rowsFollowTheViewersChanges_data();
    void rowsFollowTheViewersChanges();
    void firstWhenOnlyPictureIsLast();
    void savedFileIsListedOnce();

private:
    void showFolder(CFileListCtrl& list, const QString& folder);
    int rowOf(const CFileListCtrl& list, const QString& name) const;

    QTemporaryDir m_dir;
    QTemporaryDir m_lastOnly;
};

namespace {

constexpr int kWait = 20000;

void writePicture(const QString& path)
{
    QImage picture(24, 16, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QVERIFY(picture.save(path, "PNG"));
}

void writeText(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write("not a picture\n") > 0);
}

QStringList selectedNames(const CFileListCtrl& list)
{
    QStringList names;
    for (const QModelIndex& index : list.selectionModel()->selectedRows())
        names << list.rows().entryAt(index.row())->name;
    return names;
}

} // namespace

void TestBrowserPictureList::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QDir dir(m_dir.path());
    QVERIFY(dir.mkdir(QStringLiteral("alpha")));
    QVERIFY(dir.mkdir(QStringLiteral("beta.png"))); // a folder that only looks like a picture
    writePicture(dir.filePath(QStringLiteral("a.png")));
    writeText(dir.filePath(QStringLiteral("b.txt")));
    writePicture(dir.filePath(QStringLiteral("c.png")));
    writePicture(dir.filePath(QStringLiteral("disguised.dat")));

    QVERIFY(m_lastOnly.isValid());
    const QDir lastOnly(m_lastOnly.path());
    QVERIFY(lastOnly.mkdir(QStringLiteral("sub")));
    writeText(lastOnly.filePath(QStringLiteral("notes.txt")));
    writePicture(lastOnly.filePath(QStringLiteral("zz.png")));
}

void TestBrowserPictureList::showFolder(CFileListCtrl& list, const QString& folder)
{
    QSignalSpy over(&list, &CFileListCtrl::populationOver);
    list.SetFolder(folder, false);
    QVERIFY(over.wait(kWait));
    // Name order, ascending, whatever the stored sort options say.
    list.rows().sortBy(fileitem::kByName);
    list.rows().setDirection(true);
}

int TestBrowserPictureList::rowOf(const CFileListCtrl& list, const QString& name) const
{
    return list.rows().findByName(name);
}

void TestBrowserPictureList::walk_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("forward");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("moved");

    // Rows: "..", "alpha", "beta.png", "a.png", "b.txt", "c.png", "disguised.dat"; the known
    // pictures are a.png and c.png.
    QTest::newRow("last picture, no wrap") << "c.png" << true << false << "c.png" << false;
    QTest::newRow("last picture, wrap: round past the picture the list does not count")
        << "c.png" << true << true << "a.png" << true;
    QTest::newRow("past the text file") << "a.png" << true << false << "c.png" << true;
    QTest::newRow("first picture back, no wrap") << "a.png" << false << false << "a.png" << false;
    QTest::newRow("first picture back, wrap: parent and folders skipped")
        << "a.png" << false << true << "c.png" << true;
    QTest::newRow("back over the text file") << "c.png" << false << false << "a.png" << true;
}

void TestBrowserPictureList::walk()
{
    QFETCH(QString, start);
    QFETCH(bool, forward);
    QFETCH(bool, wrap);
    QFETCH(QString, expected);
    QFETCH(bool, moved);

    CFileListCtrl list;
    showFolder(list, m_dir.path());
    QCOMPARE(list.rows().entryAt(0)->name, QStringLiteral(".."));
    QCOMPARE(list.rows().imageCount(), 2);
    BrowserPictureList pictures(list);
    ViewerNavigator navigator;
    navigator.setList(&pictures);

    list.selectRow(rowOf(list, start));
    QCOMPARE(pictures.firstSelectedRow(), rowOf(list, start));
    const bool result = forward ? navigator.Next(wrap) : navigator.Previous(wrap);
    QCOMPARE(result, moved);
    QCOMPARE(selectedNames(list), QStringList{expected});
    QCOMPARE(list.selectionModel()->currentIndex().row(), rowOf(list, expected));
    QCOMPARE(navigator.currentPath(), list.currentFolder() + expected);
}

// Every row walked is counted and every row counted is walked: a picture under a wrong
// extension, which the list does not count, is neither, and walking changes no count.
void TestBrowserPictureList::walkAndCountAgree()
{
    CFileListCtrl list;
    showFolder(list, m_dir.path());
    BrowserPictureList pictures(list);
    ViewerNavigator navigator;
    navigator.setList(&pictures);

    const int disguised = rowOf(list, QStringLiteral("disguised.dat"));
    QVERIFY(!pictures.isKnownPicture(disguised));
    list.selectRow(rowOf(list, QStringLiteral("a.png")));
    QStringList walked;
    QStringList positions;
    for (int step = 0; step < 3; ++step) {
        QVERIFY(navigator.Next(true));
        walked << QFileInfo(navigator.currentPath()).fileName();
        positions << navigator.positionText();
    }
    QCOMPARE(walked, (QStringList{"c.png", "a.png", "c.png"}));
    QCOMPARE(positions, (QStringList{"2/2", "1/2", "2/2"}));
    QCOMPARE(list.rows().imageCount(), 2);
    QVERIFY(!pictures.isKnownPicture(disguised));
}

void TestBrowserPictureList::rowsFollowTheViewersChanges_data()
{
    QTest::addColumn<QString>("newName"); // empty: the file left the folder
    QTest::addColumn<int>("pictures");    // the count of pictures afterwards
    QTest::newRow("moved or deleted") << "" << 1;
    QTest::newRow("renamed") << "b renamed.png" << 2;
}

void TestBrowserPictureList::rowsFollowTheViewersChanges()
{
    QFETCH(QString, newName);
    QFETCH(int, pictures);
    CFileListCtrl list;
    showFolder(list, m_dir.path());
    BrowserPictureList rows(list);
    const int before = rows.rowCount();
    const int row = rowOf(list, QStringLiteral("a.png"));
    if (newName.isEmpty())
        rows.removeRow(row);
    else
        rows.renameRow(row, newName);
    QCOMPARE(rows.rowCount(), before - (newName.isEmpty() ? 1 : 0));
    QCOMPARE(rows.pictureCount(), pictures);
    QCOMPARE(list.rows().imageCount(), pictures);
    QCOMPARE(rowOf(list, QStringLiteral("a.png")), -1);
    if (!newName.isEmpty())
        QCOMPARE(rows.rowName(row), newName);
}

void TestBrowserPictureList::firstWhenOnlyPictureIsLast()
{
    CFileListCtrl list;
    showFolder(list, m_lastOnly.path());
    BrowserPictureList pictures(list);
    QCOMPARE(pictures.rowCount(), 4);
    ViewerNavigator navigator;
    navigator.setList(&pictures);

    list.selectRow(rowOf(list, QStringLiteral("notes.txt")));
    QVERIFY(navigator.First());
    QCOMPARE(selectedNames(list), QStringList{QStringLiteral("zz.png")});
    QVERIFY(navigator.Last());
    QCOMPARE(selectedNames(list), QStringList{QStringLiteral("zz.png")});
    QCOMPARE(navigator.currentPath(), list.currentFolder() + QStringLiteral("zz.png"));
}

// A picture saved into the shown folder is listed once the list read it (without reading the
// folder again), selected, and only once.
void TestBrowserPictureList::savedFileIsListedOnce()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writePicture(dir.filePath(QStringLiteral("old.png")));
    CFileListCtrl list;
    showFolder(list, dir.path());
    BrowserPictureList pictures(list);
    const int rows = pictures.rowCount();

    writePicture(dir.filePath(QStringLiteral("saved.png")));
    QSignalSpy added(&list, &CFileListCtrl::fileAdded);
    QCOMPARE(pictures.addRow(QStringLiteral("saved.png")), -1);
    QCOMPARE(pictures.addRow(QStringLiteral("saved.png")), -1); // asked twice before it came
    QVERIFY(added.wait(20000));
    QTRY_COMPARE(added.size(), 2);
    const int row = rowOf(list, QStringLiteral("saved.png"));
    QVERIFY(row >= 0);
    QCOMPARE(pictures.rowName(row), QStringLiteral("saved.png"));
    QCOMPARE(pictures.firstSelectedRow(), row);
    QCOMPARE(pictures.rowCount(), rows + 1);
    QCOMPARE(pictures.addRow(QStringLiteral("saved.png")), row);
    QCOMPARE(pictures.addRow(QStringLiteral("old.png")), rowOf(list, QStringLiteral("old.png")));
    QCOMPARE(pictures.rowCount(), rows + 1);
}

QTEST_MAIN(TestBrowserPictureList)
#include "tst_browserpicturelist.moc"
