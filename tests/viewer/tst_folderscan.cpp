#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "core/messages.h"
#include "viewer/folderscanworker.h"

namespace {

constexpr int kWait = 20000;

// Makes the entries of a table row: a name ending in "/" is a folder, any other an empty file.
void makeEntries(const QString& folder, const QStringList& entries)
{
    const QDir dir(folder);
    for (const QString& entry : entries) {
        if (entry.endsWith(u'/')) {
            QVERIFY(dir.mkdir(entry.chopped(1)));
        } else {
            QFile file(dir.filePath(entry));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }
}

// Records the order in which the scan's result and its status message arrive.
class Receiver : public QObject {
public:
    QStringList arrivals;

protected:
    bool event(QEvent* event) override
    {
        if (appmsg::as(event, appmsg::kUpdateStatusBar)) {
            arrivals << QStringLiteral("status");
            return true;
        }
        return QObject::event(event);
    }
};

} // namespace

class TestFolderScan : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void scanFolder_data();
    void scanFolder();
    void unreadableFolder_data();
    void unreadableFolder();
    void stoppedBeforeTheFirstEntry();
    void workerReportsThenPostsStatus();
    void stopMidway();
    void restartDropsTheEarlierScan();
    void destroyedWhileScanning();

private:
    QTemporaryDir m_big; // enough entries that a scan is still running when stopped
};

void TestFolderScan::initTestCase()
{
    QVERIFY(m_big.isValid());
    for (int index = 0; index < 4000; ++index) {
        QFile file(m_big.filePath(QStringLiteral("picture%1.jpg").arg(index)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
}

void TestFolderScan::scanFolder_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("first");      // empty: nothing goes first
    QTest::addColumn<QStringList>("others"); // the rest, in this order

    QTest::newRow("hidden files excluded")
        << QStringList{"a.jpg", ".hidden.jpg", "b.png", ".thumbs/", "notes.txt"} << "a.jpg"
        << "" << QStringList{"a.jpg", "b.png"};
    QTest::newRow("the wrong-extension picture first")
        << QStringList{"a.jpg", "b.png", "shot.dat", "c.gif"} << "shot.dat"
        << "shot.dat" << QStringList{"a.jpg", "b.png", "c.gif"};
    QTest::newRow("a name without a dot goes first") << QStringList{"a.jpg", "README"} << "README"
                                                     << "README" << QStringList{"a.jpg"};
    QTest::newRow("folders skipped, even named like pictures")
        << QStringList{"a.jpg", "trip.jpg/", "sub/", "z.tif"} << "z.tif"
        << "" << QStringList{"a.jpg", "z.tif"};
    QTest::newRow("extensions in any case") << QStringList{"A.JPG", "b.Png", "c.TIFF", "d.jpeg.bak"} << "A.JPG"
                                            << "" << QStringList{"A.JPG", "b.Png", "c.TIFF"};
    QTest::newRow("a hidden shown picture stays findable") << QStringList{".secret.jpg", "a.jpg"} << ".secret.jpg"
                                                           << ".secret.jpg" << QStringList{"a.jpg"};
    QTest::newRow("no shown file") << QStringList{"a.jpg", "b.bmp", "x.txt"} << ""
                                   << "" << QStringList{"a.jpg", "b.bmp"};
    QTest::newRow("an empty folder with a shown name lacking an extension") << QStringList{} << "gone.raw"
                                                                            << "gone.raw" << QStringList{};
    // Written out of order, so that the disk's order is not the names' by chance.
    QTest::newRow("by name without case, as the browser sorts")
        << QStringList{"IMG_0101.JPG", "b.png", "img_0100.jpg", "A.jpg", "IMG_0028.JPG"} << "img_0100.jpg"
        << "" << QStringList{"A.jpg", "b.png", "IMG_0028.JPG", "img_0100.jpg", "IMG_0101.JPG"};
    QTest::newRow("blanks and accents")
        << QStringList{"zèbre.png", "Été 2.jpg", "a b.jpg", "ab.jpg", "été 1.jpg"} << "ab.jpg"
        << "" << QStringList{"a b.jpg", "ab.jpg", "zèbre.png", "été 1.jpg", "Été 2.jpg"};
    QTest::newRow("the wrong-extension picture stays first")
        << QStringList{"c.jpg", "a.jpg", "shot.dat", "b.jpg"} << "shot.dat"
        << "shot.dat" << QStringList{"a.jpg", "b.jpg", "c.jpg"};
}

void TestFolderScan::scanFolder()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, shown);
    QFETCH(QString, first);
    QFETCH(QStringList, others);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    makeEntries(dir.path(), entries);
    const QStringList names = FolderScanWorker::scanFolder(dir.path() + u'/', shown, nullptr);

    QCOMPARE(names, (first.isEmpty() ? QStringList() : QStringList{first}) + others);
}

void TestFolderScan::unreadableFolder_data()
{
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("picture") << "a.jpg" << QStringList{"a.jpg"};
    QTest::newRow("wrong extension") << "shot.dat" << QStringList{"shot.dat"};
    QTest::newRow("no shown file") << "" << QStringList{};
}

void TestFolderScan::unreadableFolder()
{
    QFETCH(QString, shown);
    QFETCH(QStringList, names);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(FolderScanWorker::scanFolder(dir.filePath(QStringLiteral("missing/")), shown, nullptr), names);
    // A file where the folder should be.
    QFile file(dir.filePath(QStringLiteral("plain")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(FolderScanWorker::scanFolder(file.fileName() + u'/', shown, nullptr), names);
}

void TestFolderScan::stoppedBeforeTheFirstEntry()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    makeEntries(dir.path(), {"a.jpg", "b.jpg"});
    const std::atomic<bool> stop{true};
    QCOMPARE(FolderScanWorker::scanFolder(dir.path() + u'/', QStringLiteral("a.jpg"), &stop), QStringList{});
    QCOMPARE(FolderScanWorker::scanFolder(dir.path() + u'/', QStringLiteral("shot.dat"), &stop),
             QStringList{QStringLiteral("shot.dat")});
}

void TestFolderScan::workerReportsThenPostsStatus()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    makeEntries(dir.path(), {"a.jpg", "shot.dat", ".b.jpg"});
    Receiver receiver;
    FolderScanWorker worker(&receiver);
    QSignalSpy scanned(&worker, &FolderScanWorker::scanned);
    connect(&worker, &FolderScanWorker::scanned, &receiver,
            [&receiver](quint64, const QStringList&) { receiver.arrivals << QStringLiteral("names"); });

    const quint64 generation = worker.start(dir.path() + u'/', QStringLiteral("shot.dat"));
    QVERIFY(scanned.wait(kWait));
    QCOMPARE(scanned.count(), 1);
    QCOMPARE(scanned.at(0).at(0).value<quint64>(), generation);
    QCOMPARE(scanned.at(0).at(1).toStringList(), (QStringList{"shot.dat", "a.jpg"}));
    QTRY_COMPARE_WITH_TIMEOUT(receiver.arrivals, (QStringList{"names", "status"}), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!worker.isRunning(), kWait);
}

void TestFolderScan::stopMidway()
{
    Receiver receiver;
    FolderScanWorker worker(&receiver);
    QSignalSpy scanned(&worker, &FolderScanWorker::scanned);
    worker.start(m_big.path() + u'/', QStringLiteral("picture7.jpg"));
    worker.stop();
    // stop() waited for the thread: whatever it had queued is posted by now, and must be dropped.
    QVERIFY(!worker.isRunning());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(scanned.count(), 0);
    QCOMPARE(receiver.arrivals, QStringList{});
}

void TestFolderScan::restartDropsTheEarlierScan()
{
    QTemporaryDir small;
    QVERIFY(small.isValid());
    makeEntries(small.path(), {"only.png"});
    FolderScanWorker worker(nullptr);
    QSignalSpy scanned(&worker, &FolderScanWorker::scanned);
    const quint64 first = worker.start(m_big.path() + u'/', QStringLiteral("picture1.jpg"));
    const quint64 second = worker.start(small.path() + u'/', QStringLiteral("only.png"));
    QVERIFY(second != first);
    QVERIFY(scanned.wait(kWait));
    QCoreApplication::processEvents();
    QCOMPARE(scanned.count(), 1);
    QCOMPARE(scanned.at(0).at(0).value<quint64>(), second);
    QCOMPARE(scanned.at(0).at(1).toStringList(), QStringList{QStringLiteral("only.png")});
}

void TestFolderScan::destroyedWhileScanning()
{
    Receiver receiver;
    {
        FolderScanWorker worker(&receiver);
        worker.start(m_big.path() + u'/', QString());
    }
    // The results of a destroyed worker die with it; the receiver hears nothing.
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(receiver.arrivals, QStringList{});
}

QTEST_GUILESS_MAIN(TestFolderScan)
#include "tst_folderscan.moc"
