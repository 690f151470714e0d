#include <algorithm>
#include <optional>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "browser/folderworkers.h"
#include "imagelib/cbmpex.h"
#include "imagelib/flm.h"
#include "postedevents.h"

namespace {

constexpr int kBigFolderFiles = 20000;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), qPrintable(path));
}

QString folderOf(const QTemporaryDir& dir)
{
    return dir.path() + u'/';
}

FolderRequest requestFor(const QString& folder, quint64 generation = 1)
{
    FolderRequest request;
    request.folder = folder;
    request.generation = generation;
    return request;
}

// Starts the read and waits for its listing; null when none came.
FolderListingPtr listingOf(const FolderRequest& request, bool refresh = false)
{
    CPopulationWorker worker;
    FolderListingPtr listing;
    const auto take = [&listing](const FolderListingPtr& delivered) { listing = delivered; };
    QObject::connect(&worker, &CPopulationWorker::populationOver, take);
    QObject::connect(&worker, &CPopulationWorker::refreshListed, take);
    if (refresh)
        worker.startRefresh(request);
    else
        worker.start(request);
    return QTest::qWaitFor([&listing] { return listing != nullptr; }, 20000) ? listing : nullptr;
}

QStringList namesOf(const FolderListing& listing)
{
    QStringList names;
    for (const FileItem& row : listing.rows)
        names << row.name;
    return names;
}

const FileItem* rowNamed(const FolderListing& listing, const QString& name)
{
    const auto row = std::find_if(listing.rows.cbegin(), listing.rows.cend(),
                                  [&name](const FileItem& item) { return item.name == name; });
    return row == listing.rows.cend() ? nullptr : &*row;
}

// A picture the quick header reader knows, written by Qt (BMP, PNG) or through the image library
// (JPEG, GIF) from the same pixels.
bool writePicture(const QString& path, QSize size, int format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(qRgb(40, 120, 200));
    if (format == kFlmBmp || format == kFlmPng)
        return image.save(path, format == kFlmBmp ? "BMP" : "PNG");
    const QString bmp = path + QStringLiteral(".source.bmp");
    CBmpEx picture;
    FlmSaveOptions options;
    options.field[FlmSaveOptions::kFormat] = format;
    options.field[FlmSaveOptions::kColours] = 256;
    const bool saved = image.save(bmp, "BMP") && picture.LoadAndSave(bmp, path, &options);
    QFile::remove(bmp);
    return saved;
}

} // namespace

class TestFolderWorkers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void admission_data();
    void admission();
    void parentEntry_data();
    void parentEntry();
    void sortOrder_data();
    void sortOrder();
    void unreadableFolder_data();
    void unreadableFolder();
    void changeFolderWhileReading_data();
    void changeFolderWhileReading();
    void stoppedReadDeliversNothing_data();
    void stoppedReadDeliversNothing();
    void destroyWhileReading();
    void headerScan_data();
    void headerScan();
    void headerScanBatches();
    void headerScanStops();
    void watcherFoldsBurst();
    void watcherRefreshesBusyFolder();
    void watcherFollowsFolder();

private:
    QTemporaryDir m_big;      // kBigFolderFiles empty "IMG_nnnnn.jpg" files
    QTemporaryDir m_mixed;    // the admission folder
    QTemporaryDir m_pictures; // the header-scan folder
};

void TestFolderWorkers::initTestCase()
{
    QVERIFY(m_big.isValid() && m_mixed.isValid() && m_pictures.isValid());
    for (int i = 0; i < kBigFolderFiles; ++i)
        writeFile(m_big.filePath(QStringLiteral("IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'))), {});

    const QDir mixed(m_mixed.path());
    for (const char* name : {"a.jpg", "b.txt", ".hidden.png", "descript.ion", "c.tiff", "d.apm", "e"})
        writeFile(mixed.filePath(name), QByteArray(100, 'x'));
    QVERIFY(mixed.mkdir("sub") && mixed.mkdir(".hiddenfolder"));
    QVERIFY(QFile::link(mixed.filePath("sub"), mixed.filePath("linkdir")));
    QVERIFY(QFile::link(mixed.filePath("nowhere"), mixed.filePath("dangling.jpg")));
}

void TestFolderWorkers::admission_data()
{
    QTest::addColumn<bool>("refresh");
    QTest::addColumn<bool>("showHidden");
    QTest::addColumn<bool>("showNonImages");
    QTest::addColumn<QStringList>("expected"); // every row but the parent entry, sorted

    const QStringList all{".hidden.png",  ".hiddenfolder", "a.jpg", "b.txt",   "c.tiff", "d.apm",
                          "dangling.jpg", "descript.ion",  "e",     "linkdir", "sub"};
    QTest::newRow("everything") << false << true << true << all;
    QTest::newRow("no hidden: dot names and descript.ion go")
        << false << false << true
        << QStringList{"a.jpg", "b.txt", "c.tiff", "d.apm", "dangling.jpg", "e", "linkdir", "sub"};
    QTest::newRow("no non-images: folders and picture extensions stay")
        << false << true << false
        << QStringList{".hidden.png", ".hiddenfolder", "a.jpg", "c.tiff", "d.apm", "dangling.jpg", "linkdir", "sub"};
    QTest::newRow("neither") << false << false << false
                             << QStringList{"a.jpg", "c.tiff", "d.apm", "dangling.jpg", "linkdir", "sub"};
    // A refresh takes the same pictures as the first reading: the counts must not change.
    QTest::newRow("refresh, no non-images")
        << true << false << false << QStringList{"a.jpg", "c.tiff", "d.apm", "dangling.jpg", "linkdir", "sub"};
    QTest::newRow("refresh, everything") << true << true << true << all;
}

void TestFolderWorkers::admission()
{
    QFETCH(bool, refresh);
    QFETCH(bool, showHidden);
    QFETCH(bool, showNonImages);
    QFETCH(QStringList, expected);

    FolderRequest request = requestFor(folderOf(m_mixed), 7);
    request.showHidden = showHidden;
    request.showNonImages = showNonImages;
    const FolderListingPtr listing = listingOf(request, refresh);
    QVERIFY(listing);
    QVERIFY(listing->ok);
    QCOMPARE(listing->generation, quint64(7));

    QStringList names = namesOf(*listing);
    QCOMPARE(names.removeAll(QStringLiteral("..")), refresh ? 0 : 1);
    names.sort();
    QCOMPARE(names, expected);

    // Counts and total agree with the rows; folders lead.
    int folders = 0;
    int images = 0;
    quint64 total = 0;
    for (const FileItem& row : listing->rows) {
        QCOMPARE(row.id, quint64(0));
        folders += row.isFolder ? 1 : 0;
        images += row.imageFlag != 0 ? 1 : 0;
        total += row.size;
    }
    QCOMPARE(listing->folderCount, folders);
    QCOMPARE(listing->fileCount, int(listing->rows.size()) - folders);
    QCOMPARE(listing->imageCount, images);
    QCOMPARE(listing->totalSize, total);
    for (int i = 0; i < int(listing->rows.size()); ++i)
        QCOMPARE(listing->rows[i].isFolder, i < folders);

    // A link to a folder is a folder row; a dangling link a file of size 0.
    const FileItem* link = rowNamed(*listing, "linkdir");
    QVERIFY(link && link->isFolder && link->typeText == QLatin1String("File folder") && fileitem::extensionKeyOf(*link).isEmpty());
    if (const FileItem* dangling = rowNamed(*listing, "dangling.jpg"))
        QVERIFY(!dangling->isFolder && dangling->size == 0);
    const FileItem* picture = rowNamed(*listing, "a.jpg");
    QVERIFY(picture);
    QCOMPARE(picture->size, quint64(100));
    QCOMPARE(fileitem::extensionKeyOf(*picture).toString(), QStringLiteral(".jpg"));
    QCOMPARE(picture->imageFlag, 1);
    QVERIFY(picture->modified > 0);
    if (const FileItem* tiff = rowNamed(*listing, "c.tiff"))
        QCOMPARE(tiff->imageFlag, 1);
    if (const FileItem* apm = rowNamed(*listing, "d.apm"))
        QCOMPARE(apm->imageFlag, 1);
    if (const FileItem* bare = rowNamed(*listing, "e"))
        QCOMPARE(fileitem::extensionKeyOf(*bare).toString(), QStringLiteral("e"));
}

void TestFolderWorkers::parentEntry_data()
{
    QTest::addColumn<bool>("root");
    QTest::newRow("root has none") << true;
    QTest::newRow("one level down") << false;
}

void TestFolderWorkers::parentEntry()
{
    QFETCH(bool, root);
    const FolderListingPtr listing = listingOf(requestFor(root ? QStringLiteral("/") : folderOf(m_mixed)));
    QVERIFY(listing && listing->ok);
    QVERIFY(!listing->rows.empty());
    const auto parents = std::count_if(listing->rows.cbegin(), listing->rows.cend(),
                                       [](const FileItem& row) { return row.isParent || row.name == ".."; });
    QCOMPARE(parents, root ? 0 : 1);
    if (root)
        return;
    const FileItem& parent = listing->rows.front();
    QCOMPARE(parent.name, QStringLiteral(".."));
    QCOMPARE(parent.typeText, QStringLiteral("Parent folder"));
    QVERIFY(parent.isFolder && parent.isParent);
    QCOMPARE(parent.size, quint64(0));
}

void TestFolderWorkers::sortOrder_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("expected");

    // Sizes: x.jpg 300, Y.png 100, z.gif 200. Times: Y.png December 2002, x.jpg January 2003,
    // z.gif 2004.
    QTest::newRow("size reverse: folders by name reverse, files largest first")
        << int(fileitem::kBySize) << false << QStringList{"..", "Gamma", "Beta", "alpha", "x.jpg", "z.gif", "Y.png"};
    QTest::newRow("size forward") << int(fileitem::kBySize) << true
                                  << QStringList{"..", "alpha", "Beta", "Gamma", "Y.png", "z.gif", "x.jpg"};
    QTest::newRow("name reverse") << int(fileitem::kByName) << false
                                  << QStringList{"..", "Gamma", "Beta", "alpha", "z.gif", "Y.png", "x.jpg"};
    QTest::newRow("name forward, no case")
        << int(fileitem::kByName) << true << QStringList{"..", "alpha", "Beta", "Gamma", "x.jpg", "Y.png", "z.gif"};
    QTest::newRow("extension forward") << int(fileitem::kByExtension) << true
                                       << QStringList{"..", "alpha", "Beta", "Gamma", "z.gif", "x.jpg", "Y.png"};
    QTest::newRow("date forward: December 2002 first")
        << int(fileitem::kByDate) << true << QStringList{"..", "alpha", "Beta", "Gamma", "Y.png", "x.jpg", "z.gif"};
}

void TestFolderWorkers::sortOrder()
{
    QFETCH(int, key);
    QFETCH(bool, ascending);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* folder : {"Beta", "alpha", "Gamma"})
        QVERIFY(QDir(dir.path()).mkdir(folder));
    const struct {
        const char* name;
        int size;
        QDate date;
    } files[] = {
        {"x.jpg", 300, QDate(2003, 1, 10)}, {"Y.png", 100, QDate(2002, 12, 20)}, {"z.gif", 200, QDate(2004, 6, 1)}};
    for (const auto& file : files) {
        QFile out(dir.filePath(file.name));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(QByteArray(file.size, 'x')) == file.size);
        // Written out first: a later flush would set the time again.
        QVERIFY(out.flush());
        QVERIFY(out.setFileTime(QDateTime(file.date, QTime(12, 0)), QFileDevice::FileModificationTime));
    }

    FolderRequest request = requestFor(folderOf(dir));
    request.sortKey = key;
    request.ascending = ascending;
    const FolderListingPtr listing = listingOf(request);
    QVERIFY(listing && listing->ok);
    QCOMPARE(namesOf(*listing), expected);
    QCOMPARE(listing->folderCount, 4);
    QCOMPARE(listing->fileCount, 3);
    QCOMPARE(listing->totalSize, quint64(600));
}

void TestFolderWorkers::unreadableFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << QStringLiteral("missing/");
    QTest::newRow("a file") << QStringLiteral("a.jpg/");
}

void TestFolderWorkers::unreadableFolder()
{
    QFETCH(QString, name);
    for (bool refresh : {false, true}) {
        const FolderListingPtr listing = listingOf(requestFor(m_mixed.filePath(name), 3), refresh);
        QVERIFY(listing);
        QVERIFY(!listing->ok);
        QCOMPARE(listing->generation, quint64(3));
        QVERIFY(listing->rows.empty());
        QCOMPARE(listing->folderCount + listing->fileCount + listing->imageCount, 0);
    }
}

void TestFolderWorkers::changeFolderWhileReading_data()
{
    QTest::addColumn<int>("switches");
    QTest::newRow("one change") << 1;
    QTest::newRow("ten changes in a row") << 10;
}

void TestFolderWorkers::changeFolderWhileReading()
{
    QFETCH(int, switches);
    CPopulationWorker worker;
    std::vector<quint64> delivered;
    connect(&worker, &CPopulationWorker::populationOver,
            [&delivered](const FolderListingPtr& listing) { delivered.push_back(listing->generation); });

    // No events are served between the starts: any listing of an earlier read that arrives would
    // be a stale one.
    quint64 generation = 0;
    for (int i = 0; i < switches; ++i)
        worker.start(requestFor(folderOf(m_big), ++generation));
    worker.start(requestFor(folderOf(m_mixed), ++generation));
    QTRY_COMPARE_WITH_TIMEOUT(delivered.size(), std::size_t(1), 20000);
    deliverPostedEvents();
    QCOMPARE(delivered, std::vector<quint64>{generation});

    // And the other way round: the big folder is read whole after the small one.
    FolderListingPtr last;
    connect(&worker, &CPopulationWorker::populationOver, [&last](const FolderListingPtr& listing) { last = listing; });
    worker.start(requestFor(folderOf(m_mixed), ++generation));
    worker.start(requestFor(folderOf(m_big), ++generation));
    QTRY_VERIFY_WITH_TIMEOUT(last != nullptr, 20000);
    QCOMPARE(last->generation, generation);
    QCOMPARE(last->fileCount, kBigFolderFiles);
    QCOMPARE(last->imageCount, kBigFolderFiles);
}

void TestFolderWorkers::stoppedReadDeliversNothing_data()
{
    QTest::addColumn<int>("delayMsecs");
    // Stopped at once, part-way, and after the read had surely ended and queued its listing.
    QTest::newRow("at once") << 0;
    QTest::newRow("part-way") << 5;
    QTest::newRow("after the end") << 1500;
}

void TestFolderWorkers::stoppedReadDeliversNothing()
{
    QFETCH(int, delayMsecs);
    CPopulationWorker worker;
    int delivered = 0;
    connect(&worker, &CPopulationWorker::populationOver, [&delivered] { ++delivered; });
    worker.start(requestFor(folderOf(m_big)));
    // A sleep, not a wait: no event may be served before stop().
    QThread::msleep(ulong(delayMsecs));
    worker.stop();
    QVERIFY(!worker.isRunning());
    deliverPostedEvents();
    QCOMPARE(delivered, 0);
}

void TestFolderWorkers::destroyWhileReading()
{
    int delivered = 0;
    {
        CPopulationWorker worker;
        connect(&worker, &CPopulationWorker::populationOver, [&delivered] { ++delivered; });
        worker.start(requestFor(folderOf(m_big)));
        QThread::msleep(2);
    }
    deliverPostedEvents();
    QCOMPARE(delivered, 0);
}

void TestFolderWorkers::headerScan_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("format"); // the picture written, -1 for the bytes "not a picture"
    QTest::addColumn<int>("imageFlag");
    QTest::addColumn<QString>("properties");  // empty: none
    QTest::addColumn<QString>("description"); // empty: none

    QTest::newRow("bmp") << "small.bmp" << int(kFlmBmp) << 1 << "12x7x24bit BMP"
                         << "";
    QTest::newRow("gif with description") << "anim.GIF" << int(kFlmGif) << 1 << "9x4x256 GIF"
                                          << "a described picture";
    QTest::newRow("jpeg") << "photo.jpg" << int(kFlmJpeg) << 1 << "20x10x24bit JPEG"
                          << "";
    // The quick reader does not know PNG: no properties, the image flag cleared.
    QTest::newRow("png") << "shot.png" << int(kFlmPng) << 0 << ""
                         << "";
    QTest::newRow("broken jpeg") << "broken.jpg" << -1 << 0 << ""
                                 << "";
    QTest::newRow("not a picture extension") << "bitmap.txt" << int(kFlmBmp) << 0 << ""
                                             << "notes";
    QTest::newRow("folder with description") << "Holidays" << -2 << 0 << ""
                                             << "the summer";
}

void TestFolderWorkers::headerScan()
{
    QFETCH(QString, name);
    QFETCH(int, format);
    QFETCH(int, imageFlag);
    QFETCH(QString, properties);
    QFETCH(QString, description);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QSize sizes[] = {{12, 7}, {9, 4}, {20, 10}};
    if (format == -2)
        QVERIFY(QDir(dir.path()).mkdir(name));
    else if (format == -1)
        writeFile(dir.filePath(name), "not a picture at all");
    else
        QVERIFY(writePicture(dir.filePath(name),
                             format == kFlmGif    ? sizes[1]
                             : format == kFlmJpeg ? sizes[2]
                                                  : sizes[0],
                             format));
    writeFile(dir.filePath("descript.ion"),
              "\"anim.gif\" a described picture\r\nbitmap.txt notes\r\nHolidays the summer\r\n");

    CHeaderScanWorker worker;
    std::vector<HeaderScanResult> results;
    bool finished = false;
    connect(&worker, &CHeaderScanWorker::scanned, [&](quint64 generation, const std::vector<HeaderScanResult>& batch) {
        QCOMPARE(generation, quint64(5));
        results.insert(results.end(), batch.cbegin(), batch.cend());
    });
    connect(&worker, &CHeaderScanWorker::scanFinished, [&](quint64 generation) {
        QCOMPARE(generation, quint64(5));
        finished = true;
    });
    worker.start(folderOf(dir), {{42, name}}, 5);
    QTRY_VERIFY(finished);
    QCOMPARE(results.size(), std::size_t(1));
    const HeaderScanResult& result = results.front();
    QCOMPARE(result.id, quint64(42));
    QCOMPARE(result.imageFlag, imageFlag);
    QCOMPARE(result.imageProperties.value_or(QString()), properties);
    QCOMPARE(result.imageProperties.has_value(), !properties.isEmpty());
    QCOMPARE(result.description.value_or(QString()), description);
}

void TestFolderWorkers::headerScanBatches()
{
    constexpr int kJobs = 600;
    std::vector<HeaderScanJob> jobs;
    for (int i = 0; i < kJobs; ++i)
        jobs.push_back({quint64(i + 1), QStringLiteral("IMG_%1.jpg").arg(i * 7, 5, 10, QLatin1Char('0'))});

    CHeaderScanWorker worker;
    std::vector<std::size_t> batchSizes;
    std::vector<quint64> ids;
    int finished = 0;
    connect(&worker, &CHeaderScanWorker::scanned, [&](quint64, const std::vector<HeaderScanResult>& batch) {
        QCOMPARE(finished, 0);
        batchSizes.push_back(batch.size());
        for (const HeaderScanResult& result : batch) {
            ids.push_back(result.id);
            QCOMPARE(result.imageFlag, 0); // the files are empty
        }
    });
    connect(&worker, &CHeaderScanWorker::scanFinished, [&finished] { ++finished; });
    worker.start(folderOf(m_big), jobs, 9);
    QTRY_COMPARE_WITH_TIMEOUT(finished, 1, 20000);

    // Every job once, in job order, in batches of at most 256.
    QCOMPARE(ids.size(), std::size_t(kJobs));
    for (int i = 0; i < kJobs; ++i)
        QCOMPARE(ids[std::size_t(i)], quint64(i + 1));
    QVERIFY(batchSizes.size() >= 3);
    QVERIFY(
        std::all_of(batchSizes.cbegin(), batchSizes.cend(), [](std::size_t size) { return size >= 1 && size <= 256; }));
}

void TestFolderWorkers::headerScanStops()
{
    std::vector<HeaderScanJob> jobs;
    for (int i = 0; i < kBigFolderFiles; ++i)
        jobs.push_back({quint64(i + 1), QStringLiteral("IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'))});

    CHeaderScanWorker worker;
    int emitted = 0;
    connect(&worker, &CHeaderScanWorker::scanned, [&emitted] { ++emitted; });
    connect(&worker, &CHeaderScanWorker::scanFinished, [&emitted] { ++emitted; });
    worker.start(folderOf(m_big), jobs, 1);
    QThread::msleep(20);
    worker.stop();
    QVERIFY(!worker.isRunning());
    deliverPostedEvents();
    QCOMPARE(emitted, 0);

    // A new scan after the stop runs to its end.
    bool finished = false;
    connect(&worker, &CHeaderScanWorker::scanFinished, [&finished](quint64 generation) { finished = generation == 2; });
    worker.start(folderOf(m_big), {jobs.begin(), jobs.begin() + 10}, 2);
    QTRY_VERIFY(finished);
}

void TestFolderWorkers::watcherFoldsBurst()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    CFolderWatcher watcher;
    QSignalSpy changed(&watcher, &CFolderWatcher::changed);
    watcher.watch(folderOf(dir));
    for (int i = 0; i < 100; ++i)
        writeFile(dir.filePath(QStringLiteral("new%1.jpg").arg(i)), "x");
    QTRY_COMPARE(changed.count(), 1);
    // The burst was read at once: nothing of it waits for a second refresh.
    QVERIFY(!watcher.isPending());

    // The next burst is a refresh of its own.
    QVERIFY(QFile::remove(dir.filePath("new0.jpg")));
    QTRY_COMPARE(changed.count(), 2);
}

void TestFolderWorkers::watcherRefreshesBusyFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    CFolderWatcher watcher;
    QSignalSpy changed(&watcher, &CFolderWatcher::changed);
    watcher.watch(folderOf(dir));
    // A change every 100 ms never leaves the folder quiet long enough; it is refreshed anyway.
    for (int i = 0; i < 40 && changed.count() == 0; ++i) {
        writeFile(dir.filePath(QStringLiteral("busy%1").arg(i)), "x");
        QTest::qWait(100);
    }
    QCOMPARE(changed.count(), 1);
}

void TestFolderWorkers::watcherFollowsFolder()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    CFolderWatcher watcher;
    QSignalSpy changed(&watcher, &CFolderWatcher::changed);
    watcher.watch(folderOf(first));
    watcher.watch(folderOf(second));
    QCOMPARE(watcher.watchedFolders(), QStringList{folderOf(second)});
    writeFile(second.filePath("seen"), "x");
    QTRY_COMPARE(changed.count(), 1);

    // Auto refresh off: nothing is watched.
    watcher.watch(QString());
    QVERIFY(watcher.watchedFolders().isEmpty());
}

QTEST_MAIN(TestFolderWorkers)
#include "tst_folderworkers.moc"
