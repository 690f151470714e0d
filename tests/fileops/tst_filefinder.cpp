#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "fileops/cfilefinder.h"

namespace {

// Makes every path of `paths` under `root`: a name ending in "/" a folder, any other an empty file.
void makeTree(const QString& root, const QStringList& paths)
{
    for (const QString& path : paths) {
        const QString full = root + u'/' + path;
        if (path.endsWith(u'/')) {
            QVERIFY(QDir().mkpath(full));
            continue;
        }
        QVERIFY(QDir().mkpath(full.left(full.lastIndexOf(u'/'))));
        QFile file(full);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

// The paths a whole walk finds, relative to `root`, in the order found.
QStringList walkFound(const QString& root, CFileFinder::Options options)
{
    options.folder = root;
    QStringList found;
    CFileFinder::Sink sink;
    sink.searching = [](const QString&) {};
    sink.found = [&](CFileFinder::Found&& file) { found << file.path.mid(root.size() + 1); };
    CFileFinder::walk(options, nullptr, sink);
    return found;
}

} // namespace

class TestFileFinder : public QObject {
    Q_OBJECT
private slots:
    void masks_data();
    void masks();
    void walk_data();
    void walk();
    void stopEndsTheSearch();
};

void TestFileFinder::masks_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<bool>("matches");
    QTest::newRow("everything") << "a.jpg" << "*.*" << true;
    QTest::newRow("no dot, any extension") << "README" << "*.*" << true;
    QTest::newRow("photo prefix") << "photo12.png" << "photo*.*" << true;
    QTest::newRow("photo alone") << "photo" << "photo*.*" << true;
    QTest::newRow("photo in the middle") << "myphoto.jpg" << "photo*.*" << false;
    QTest::newRow("case ignored") << "IMG_0001.JPG" << "*.jpg" << true;
    QTest::newRow("other extension") << "a.jpeg" << "*.jpg" << false;
    QTest::newRow("question mark") << "a1.gif" << "a?.gif" << true;
    QTest::newRow("question mark needs one") << "a.gif" << "a?.gif" << false;
    QTest::newRow("several stars") << "x-2024-y.tif" << "*-*-*.tif" << true;
}

void TestFileFinder::masks()
{
    QFETCH(QString, name);
    QFETCH(QString, mask);
    QTEST(CFileFinder::matchesMask(name, mask), "matches");
}

void TestFileFinder::walk_data()
{
    QTest::addColumn<QStringList>("tree");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("extensions");
    QTest::addColumn<bool>("recurse");
    QTest::addColumn<QStringList>("expected");
    const QStringList tree{"top.jpg", "a/one.jpg", "a/deep/two.jpg", "a/notes.txt", "photo.d/", "b/three.PNG"};
    // Depth first: a folder's sub-folders before its own files; folders never match.
    QTest::newRow("sub-folders first")
        << tree << "*.*" << QStringList() << true
        << QStringList{"a/deep/two.jpg", "a/notes.txt", "a/one.jpg", "b/three.PNG", "top.jpg"};
    QTest::newRow("extensions") << tree << "*.*" << QStringList{"png", "txt"} << true
                                << QStringList{"a/notes.txt", "b/three.PNG"};
    QTest::newRow("folder names never match") << tree << "photo*.*" << QStringList() << true << QStringList();
    QTest::newRow("no recursion") << tree << "*.jpg" << QStringList() << false << QStringList{"top.jpg"};
}

void TestFileFinder::walk()
{
    QFETCH(QStringList, tree);
    QTemporaryDir root;
    makeTree(root.path(), tree);
    CFileFinder::Options options;
    QFETCH(QString, mask);
    QFETCH(QStringList, extensions);
    QFETCH(bool, recurse);
    options.mask = mask;
    options.extensions = extensions;
    options.recurse = recurse;
    const QStringList found = walkFound(root.path(), options);
    // Within one folder the order is the file system's; across folders a folder's own files
    // come after every file below it.
    const auto folderOf = [](const QString& path) { return path.left(path.lastIndexOf(u'/') + 1); };
    for (qsizetype later = 0; later < found.size(); ++later) {
        for (qsizetype earlier = 0; earlier < later; ++earlier) {
            const QString above = folderOf(found[earlier]);
            const QString below = folderOf(found[later]);
            QVERIFY2(below == above || !below.startsWith(above), qPrintable(found.join(u' ')));
        }
    }
    QStringList sorted = found;
    sorted.sort();
    QFETCH(QStringList, expected);
    QCOMPARE(sorted, expected);
}

void TestFileFinder::stopEndsTheSearch()
{
    QTemporaryDir root;
    QStringList tree;
    for (int folder = 0; folder < 40; ++folder) {
        for (int file = 0; file < 100; ++file)
            tree << QStringLiteral("f%1/deep/p%2.jpg").arg(folder).arg(file);
    }
    makeTree(root.path(), tree);
    CFileFinder finder;
    QSignalSpy finished(&finder, &CFileFinder::finished);
    // Stopped as the first finds arrive, while the search is surely under way.
    int countAtStop = -1;
    connect(&finder, &CFileFinder::filesFound, this, [&] {
        if (countAtStop < 0) {
            countAtStop = finder.GetFindCount();
            finder.StopSearch();
        }
    });
    CFileFinder::Options options;
    options.folder = root.path();
    finder.FindFiles(options);
    QTRY_VERIFY(countAtStop >= 0);
    QCOMPARE(finished.count(), 1);
    QVERIFY(!finder.isSearching());
    QVERIFY(countAtStop < tree.size());
    // Nothing of the stopped search arrives later, even what it had queued.
    QCoreApplication::processEvents();
    QCOMPARE(finder.GetFindCount(), countAtStop);
    QCOMPARE(finished.count(), 1);
    // A new search starts afresh and finds everything.
    finder.FindFiles(options);
    QVERIFY(finished.wait());
    QCOMPARE(finder.GetFindCount(), tree.size());
}

QTEST_GUILESS_MAIN(TestFileFinder)
#include "tst_filefinder.moc"
