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
#include "imagelib/cbmpex.h"
#include "viewer/viewernavigator.h"

// The browser's file list walked by the viewer's navigator, both real: a folder on disk read by
// the list's own workers, pictures read by the image library.
class TestBrowserPictureList : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void walk_data();
    void walk();
    void loadedPictureIsCounted();
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
    QTest::newRow("last picture, wrap: into the unknown row that loads")
        << "c.png" << true << true << "disguised.dat" << true;
    QTest::newRow("past the text file") << "a.png" << true << false << "c.png" << true;
    QTest::newRow("first picture back, no wrap") << "a.png" << false << false << "a.png" << false;
    QTest::newRow("first picture back, wrap: parent and folders skipped")
        << "a.png" << false << true << "disguised.dat" << true;
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
    CBmpEx current;
    QStringList loads;
    ViewerNavigator navigator([&](const QString& path) {
        loads << QFileInfo(path).fileName();
        return current.Load(path);
    });
    navigator.setList(&pictures);

    list.selectRow(rowOf(list, start));
    QCOMPARE(pictures.firstSelectedRow(), rowOf(list, start));
    const bool result = forward ? navigator.Next(wrap) : navigator.Previous(wrap);
    QCOMPARE(result, moved);
    QCOMPARE(selectedNames(list), QStringList{expected});
    QCOMPARE(list.selectionModel()->currentIndex().row(), rowOf(list, expected));
    if (moved) {
        QCOMPARE(current.path(), QDir(m_dir.path()).filePath(expected));
        QCOMPARE(loads.last(), expected);
        QCOMPARE(navigator.currentPath(), list.currentFolder() + expected);
    } else {
        QVERIFY(loads.isEmpty());
    }
}

void TestBrowserPictureList::loadedPictureIsCounted()
{
    CFileListCtrl list;
    showFolder(list, m_dir.path());
    BrowserPictureList pictures(list);
    CBmpEx current;
    ViewerNavigator navigator([&](const QString& path) { return current.Load(path); });
    navigator.setList(&pictures);

    const int disguised = rowOf(list, QStringLiteral("disguised.dat"));
    QVERIFY(!pictures.isKnownPicture(disguised));
    list.selectRow(rowOf(list, QStringLiteral("c.png")));
    QCOMPARE(navigator.positionText(), QStringLiteral("2/2"));
    QVERIFY(navigator.Next(true));
    QVERIFY(pictures.isKnownPicture(disguised));
    QCOMPARE(list.rows().imageCount(), 3);
    QCOMPARE(navigator.positionText(), QStringLiteral("3/3"));
    // Marking a known row again counts nothing.
    pictures.setKnownPicture(disguised);
    QCOMPARE(pictures.pictureCount(), 3);
    // Now the last known picture: without wrap it stays, with wrap the walk comes round.
    QVERIFY(!navigator.Next(false));
    QVERIFY(navigator.Next(true));
    QCOMPARE(navigator.currentPath(), list.currentFolder() + QStringLiteral("a.png"));
    QCOMPARE(navigator.positionText(), QStringLiteral("1/3"));
}

void TestBrowserPictureList::firstWhenOnlyPictureIsLast()
{
    CFileListCtrl list;
    showFolder(list, m_lastOnly.path());
    BrowserPictureList pictures(list);
    QCOMPARE(pictures.rowCount(), 4);
    CBmpEx current;
    ViewerNavigator navigator([&](const QString& path) { return current.Load(path); });
    navigator.setList(&pictures);

    list.selectRow(rowOf(list, QStringLiteral("notes.txt")));
    QVERIFY(navigator.First());
    QCOMPARE(selectedNames(list), QStringList{QStringLiteral("zz.png")});
    QVERIFY(navigator.Last());
    QCOMPARE(selectedNames(list), QStringList{QStringLiteral("zz.png")});
    QCOMPARE(current.path(), QDir(m_lastOnly.path()).filePath(QStringLiteral("zz.png")));
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
