#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "browser/cfilelistmodel.h"
#include "browser/fileentry.h"
#include "fileops/cshellfileop.h"

namespace {

qint64 at(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(12, 0)).toMSecsSinceEpoch();
}

FileItem folderRow(const QString& name)
{
    FileItem item;
    item.name = name;
    item.typeText = QStringLiteral("File folder");
    item.isFolder = true;
    item.modified = at(2001, 1, 1);
    return item;
}

FileItem fileRow(const QString& name, quint64 size, const QString& type, qint64 modified,
                 std::optional<QString> properties = {}, std::optional<QString> description = {})
{
    FileItem item;
    item.name = name;
    item.typeText = type;
    item.size = size;
    item.modified = modified;
    item.imageProperties = std::move(properties);
    item.description = std::move(description);
    item.imageFlag = properties ? 1 : 0;
    return item;
}

FolderListing listingOf(std::vector<FileItem> rows)
{
    FolderListing listing;
    listing.ok = true;
    listing.rows = std::move(rows);
    return listing;
}

// A folder of the sort tests: the parent entry, three folders in name order, five files whose
// keys never tie.
FolderListing sortFixture()
{
    FileItem parent = folderRow(QStringLiteral(".."));
    parent.isParent = true;
    return listingOf({parent, folderRow("A"), folderRow("b"), folderRow("c"),
                      fileRow("a.jpg", 300, "JPEG image", at(2003, 1, 5), "640x480x24bit JPEG", "sea"),
                      fileRow("b.gif", 100, "gif image", at(2002, 12, 20), std::nullopt, "Dog"),
                      fileRow("C.png", 200, "PNG image", at(2003, 2, 1), "a", std::nullopt),
                      fileRow("d", 5000000000ULL, "Document", at(1999, 6, 1), "Zz", "ant"),
                      fileRow("e.txt", 0, "Text", at(2003, 1, 1), "B", "cat")});
}

QStringList names(const CFileListModel& model)
{
    QStringList result;
    for (int row = 0; row < model.entryCount(); ++row)
        result << model.entryAt(row)->name;
    return result;
}

void writeFile(const QString& path, qint64 size)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
}

// What the list does for an entry an operation made: its record read from the disk, then listed.
int addFile(CFileListModel& model, const QString& name, const fileitem::Admission& admission = {})
{
    const std::optional<FileItem> record = fileentry::readRecord(model.folder(), name);
    return record ? model.insertEntry(*record, admission) : -1;
}

} // namespace

class TestFileListModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sortKeys_data();
    void sortKeys();
    void sortKeepsRowsFoundById();
    void sortTies_data();
    void sortTies();
    void countsFollowAddAndRemove_data();
    void countsFollowAddAndRemove();
    void bigFileTotal();
    void createFolderNumbering_data();
    void createFolderNumbering();
    void refreshApplication();
    void toolTip_data();
    void toolTip();
    void entryFields();
    void headerScanJobsSkipParentAndKnown();
    void fileSummary();
};

void TestFileListModel::sortKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("order");
    const QStringList up{"..", "A", "b", "c"};
    const QStringList down{"..", "c", "b", "A"};
    // Folders tie on every key but the name and keep the name order they came in.
    QTest::newRow("name forward") << 0 << true << up + QStringList{"a.jpg", "b.gif", "C.png", "d", "e.txt"};
    QTest::newRow("name reverse") << 0 << false << down + QStringList{"e.txt", "d", "C.png", "b.gif", "a.jpg"};
    QTest::newRow("size forward, 5 GB last") << 1 << true << up + QStringList{"e.txt", "b.gif", "C.png", "a.jpg", "d"};
    QTest::newRow("size reverse") << 1 << false << up + QStringList{"d", "a.jpg", "C.png", "b.gif", "e.txt"};
    QTest::newRow("type forward, no case") << 2 << true << up + QStringList{"d", "b.gif", "a.jpg", "C.png", "e.txt"};
    QTest::newRow("type reverse") << 2 << false << up + QStringList{"e.txt", "C.png", "a.jpg", "b.gif", "d"};
    // December 2002 before January 2003: the time decides, not the month-first text.
    QTest::newRow("date forward over the year")
        << 3 << true << up + QStringList{"d", "b.gif", "e.txt", "a.jpg", "C.png"};
    QTest::newRow("date reverse") << 3 << false << up + QStringList{"C.png", "a.jpg", "e.txt", "b.gif", "d"};
    // Forward without case: 640.. < a < B < Zz; back by bytes: a > Zz > B > 640..
    QTest::newRow("properties forward, none first")
        << 4 << true << up + QStringList{"b.gif", "a.jpg", "C.png", "e.txt", "d"};
    QTest::newRow("properties reverse, bytes, none last")
        << 4 << false << up + QStringList{"C.png", "d", "e.txt", "a.jpg", "b.gif"};
    QTest::newRow("description forward, none first")
        << 5 << true << up + QStringList{"C.png", "d", "e.txt", "b.gif", "a.jpg"};
    QTest::newRow("description reverse, none last")
        << 5 << false << up + QStringList{"a.jpg", "b.gif", "e.txt", "d", "C.png"};
    // b.gif before a.jpg; "d" sorts by its whole name, after every ".ext".
    QTest::newRow("extension forward") << 6 << true << up + QStringList{"b.gif", "a.jpg", "C.png", "e.txt", "d"};
    QTest::newRow("extension reverse") << 6 << false << up + QStringList{"d", "e.txt", "C.png", "a.jpg", "b.gif"};
}

void TestFileListModel::sortKeys()
{
    QFETCH(int, key);
    QFETCH(bool, ascending);
    QFETCH(QStringList, order);
    CFileListModel model(nullptr);
    model.setFolder(QStringLiteral("/pictures/"));
    model.resetRows(sortFixture());
    QSignalSpy sorted(&model, &CFileListModel::sorted);
    model.setDirection(ascending);
    model.sortBy(key);
    QCOMPARE(names(model), order);
    QCOMPARE(sorted.last().at(0).toInt(), key);
    QCOMPARE(sorted.last().at(1).toBool(), ascending);
    QCOMPARE(model.folderCount(), 4);
}

// Files that tie on the key (a type or an extension alike but for case, equal sizes) keep the
// order they had, in both directions; names alike in their first 16 characters, and names of
// other than ASCII characters, go by the whole name (the long s folds to "s", "Ä" after "z").
void TestFileListModel::sortTies_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("order");
    const QString b = QStringLiteral("photo-2024-holiday-b.jpg");
    const QString a = QStringLiteral("Photo-2024-holiday-a.jpg");
    const QString umlaut = QStringLiteral("\u00c4rger.png");
    const QString zebra = QStringLiteral("zebra.PNG");
    const QString longS = QStringLiteral("\u017fb.txt");
    QTest::newRow("name forward") << 0 << true << QStringList{a, b, longS, zebra, umlaut};
    QTest::newRow("name reverse") << 0 << false << QStringList{umlaut, zebra, longS, b, a};
    QTest::newRow("size forward") << 1 << true << QStringList{umlaut, zebra, longS, b, a};
    QTest::newRow("size reverse") << 1 << false << QStringList{b, a, longS, umlaut, zebra};
    QTest::newRow("type forward") << 2 << true << QStringList{b, a, umlaut, zebra, longS};
    QTest::newRow("type reverse") << 2 << false << QStringList{longS, umlaut, zebra, b, a};
    QTest::newRow("extension forward") << 6 << true << QStringList{b, a, umlaut, zebra, longS};
    QTest::newRow("extension reverse") << 6 << false << QStringList{longS, umlaut, zebra, b, a};
}

void TestFileListModel::sortTies()
{
    QFETCH(int, key);
    QFETCH(bool, ascending);
    QFETCH(QStringList, order);
    CFileListModel model(nullptr);
    model.setFolder(QStringLiteral("/"));
    model.resetRows(listingOf({fileRow(QStringLiteral("photo-2024-holiday-b.jpg"), 10, "JPEG image", at(2003, 1, 5)),
                               fileRow(QStringLiteral("Photo-2024-holiday-a.jpg"), 10, "jpeg image", at(2003, 1, 5)),
                               fileRow(QStringLiteral("\u00c4rger.png"), 5, "PNG image", at(2002, 1, 5)),
                               fileRow(QStringLiteral("zebra.PNG"), 5, "PNG image", at(2002, 1, 5)),
                               fileRow(QStringLiteral("\u017fb.txt"), 7, "Text", at(2001, 1, 5))}));
    model.setDirection(ascending);
    model.sortBy(key);
    QCOMPARE(names(model), order);
}

void TestFileListModel::sortKeepsRowsFoundById()
{
    CFileListModel model(nullptr);
    model.setFolder(QStringLiteral("/"));
    FolderListing listing = sortFixture();
    listing.rows.erase(listing.rows.begin()); // no parent entry at the root
    model.resetRows(std::move(listing));
    const quint64 id = model.entryAt(model.findByName("d"))->id;
    const QPersistentModelIndex tracked = model.index(model.findByName("a.jpg"), 0);
    model.setDirection(false);
    model.sortBy(fileitem::kBySize);
    QCOMPARE(model.entryAt(0)->name, QStringLiteral("A")); // at the root the folders start at row 0
    QCOMPARE(model.findByName("d"), model.folderCount());
    QCOMPARE(model.rowOfId(id), model.folderCount());
    QCOMPARE(model.entryAt(tracked.row())->name, QStringLiteral("a.jpg"));
    QVERIFY(model.applyHeaderResult({id, 1, QStringLiteral("1x1x2 BMP"), QStringLiteral("moved")}));
    QCOMPARE(model.itemText(model.folderCount(), CFileListModel::kDescription), QStringLiteral("moved"));
    model.removeEntry(model.folderCount());
    QVERIFY(!model.applyHeaderResult({id, 1, QStringLiteral("1x1x2 BMP"), std::nullopt}));
    QCOMPARE(model.findByName("d"), -1);
}

void TestFileListModel::countsFollowAddAndRemove_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("showHidden");
    QTest::addColumn<bool>("showNonImages");
    QTest::addColumn<int>("row"); // -1: refused
    QTest::addColumn<QString>("sizeText");
    // The folder holds "..", "Old" and "x.bin" before each add.
    QTest::newRow("file at the end") << "notes.txt" << true << true << 3 << "1Kb";
    QTest::newRow("folder after the last folder") << "Trips" << true << true << 2 << "";
    QTest::newRow("picture with non-images hidden") << "p.bmp" << true << false << 3 << "102b";
    QTest::newRow("text with non-images hidden") << "notes.txt" << true << false << -1 << "";
    QTest::newRow("hidden file") << ".secret" << false << true << -1 << "";
    QTest::newRow("description file is hidden") << "descript.ion" << false << true << -1 << "";
    QTest::newRow("missing file") << "gone.jpg" << true << true << -1 << "";
    QTest::newRow("parent name") << ".." << true << true << -1 << "";
}

void TestFileListModel::countsFollowAddAndRemove()
{
    QFETCH(QString, name);
    QFETCH(bool, showHidden);
    QFETCH(bool, showNonImages);
    QFETCH(int, row);
    QFETCH(QString, sizeText);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("Trips"));
    writeFile(dir.filePath("notes.txt"), 1500);
    writeFile(dir.filePath(".secret"), 10);
    writeFile(dir.filePath("descript.ion"), 10);
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(dir.filePath("p.bmp")));

    CFileListModel model(nullptr);
    model.setFolder(dir.path());
    FileItem parent = folderRow("..");
    parent.isParent = true;
    model.resetRows(listingOf({parent, folderRow("Old"), fileRow("x.bin", 1000, "Data", at(2001, 1, 1))}));
    QCOMPARE(model.totalSize(), quint64(1000));

    const int added = addFile(model, name, {showHidden, showNonImages});
    QCOMPARE(added, row);
    if (row < 0) {
        QCOMPARE(model.entryCount(), 3);
        return;
    }
    const FileItem* item = model.entryAt(row);
    QCOMPARE(item->name, name);
    QCOMPARE(model.itemText(row, CFileListModel::kSize), QString::number(item->size));
    QCOMPARE(model.data(model.index(row, CFileListModel::kSize), Qt::DisplayRole).toString(), sizeText);
    QCOMPARE(model.entryCount(), 4);
    QCOMPARE(model.folderCount() + model.fileCount(), model.entryCount());
    QCOMPARE(model.totalSize(), 1000 + item->size);
    QCOMPARE(model.imageCount(), item->imageFlag ? 1 : 0);
    // The library's verdict and the header come with the row.
    QCOMPARE(item->imageFlag != 0, name == "p.bmp");
    QCOMPARE(model.itemText(row, CFileListModel::kImageProperties), name == "p.bmp" ? "4x4x24bit BMP" : "");
    QCOMPARE(model.findByName(name), row);

    model.removeEntry(row);
    QCOMPARE(model.entryCount(), 3);
    QCOMPARE(model.folderCount(), 2);
    QCOMPARE(model.fileCount(), 1);
    QCOMPARE(model.imageCount(), 0);
    QCOMPARE(model.totalSize(), quint64(1000));
    model.removeEntry(7); // out of range: nothing
    QCOMPARE(model.entryCount(), 3);
}

void TestFileListModel::bigFileTotal()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const qint64 fiveGb = qint64(5) << 30;
    QFile big(dir.filePath("big.raw"));
    QVERIFY(big.open(QIODevice::WriteOnly));
    if (!big.resize(fiveGb))
        QSKIP("the temporary folder cannot hold a sparse 5 GB file");
    big.close();
    CFileListModel model(nullptr);
    model.setFolder(dir.path());
    model.resetRows(listingOf({fileRow("small", 3ULL << 30, "Data", at(2001, 1, 1))}));
    const int row = addFile(model, "big.raw");
    QCOMPARE(row, 1);
    QCOMPARE(model.data(model.index(row, CFileListModel::kSize), Qt::DisplayRole).toString(), QStringLiteral("5Gb"));
    QCOMPARE(model.totalSize(), quint64(8) << 30);
}

void TestFileListModel::createFolderNumbering_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("made");
    QTest::newRow("free name") << QStringList{} << "New Folder";
    QTest::newRow("taken once") << QStringList{"New Folder"} << "New Folder(1)";
    QTest::newRow("taken twice") << QStringList{"New Folder", "New Folder(1)"} << "New Folder(2)";
    QTest::newRow("a file takes the name too") << QStringList{"file:New Folder"} << "New Folder(1)";
    QTest::newRow("a gap is not filled") << QStringList{"New Folder", "New Folder(2)"} << "New Folder(1)";
}

void TestFileListModel::createFolderNumbering()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, made);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString& name : existing) {
        if (name.startsWith("file:"))
            writeFile(dir.filePath(name.mid(5)), 1);
        else
            QVERIFY(QDir(dir.path()).mkdir(name));
    }
    CFileListModel model(nullptr);
    model.setFolder(dir.path());
    FileItem parent = folderRow("..");
    parent.isParent = true;
    model.resetRows(listingOf({parent, folderRow("Old"), fileRow("x.bin", 10, "Data", at(2001, 1, 1))}));
    const std::optional<CShellFileOp::MadeFolder> folder = CShellFileOp::CreateFolder(model.folder(), "New Folder");
    QVERIFY(folder);
    const int row = addFile(model, folder->name);
    QCOMPARE(row, 2);
    QCOMPARE(model.entryAt(row)->name, made);
    QVERIFY(model.entryAt(row)->isFolder);
    QVERIFY(QFileInfo(dir.filePath(made)).isDir());
    QCOMPARE(model.folderCount(), 3);
    QCOMPARE(model.entryCount(), 4);
}

void TestFileListModel::refreshApplication()
{
    CFileListModel model(nullptr);
    model.setFolder(QStringLiteral("/pictures"));
    FileItem parent = folderRow("..");
    parent.isParent = true;
    model.resetRows(listingOf({parent, folderRow("Keep"), folderRow("Gone"),
                               fileRow("same.jpg", 100, "JPEG", at(2003, 1, 1), "1x1x24bit JPEG"),
                               fileRow("grown.jpg", 100, "JPEG", at(2003, 1, 1), "1x1x24bit JPEG"),
                               fileRow("deleted.jpg", 50, "JPEG", at(2003, 1, 1), "1x1x24bit JPEG")}));
    QCOMPARE(model.totalSize(), quint64(250));
    QCOMPARE(model.imageCount(), 3);

    // The disk now: "Gone" and deleted.jpg vanished, grown.jpg changed, a folder and a file are new.
    FileItem added = fileRow("new.jpg", 30, "", at(2004, 1, 1));
    added.imageFlag = 1;
    model.setEntryField(model.findByName("grown.jpg"), CFileListModel::kFieldDate, QStringLiteral("typed date"));
    const CFileListModel::RefreshOutcome outcome =
        model.applyRefresh(listingOf({fileRow("grown.jpg", 400, "", at(2004, 2, 2)), folderRow("Keep"),
                                      fileRow("same.jpg", 100, "", at(2003, 1, 1)), folderRow("Fresh"), added}),
                           false);
    QVERIFY(outcome.folderAdded);
    QVERIFY(outcome.folderRemoved);
    QVERIFY(outcome.rowRemoved);
    QCOMPARE(names(model), (QStringList{"..", "Keep", "Fresh", "same.jpg", "grown.jpg", "new.jpg"}));
    QCOMPARE(model.folderCount(), 3);
    QCOMPARE(model.fileCount(), 3);
    QCOMPARE(model.imageCount(), 3);
    QCOMPARE(model.totalSize(), quint64(530));
    const FileItem* grown = model.entryAt(model.findByName("grown.jpg"));
    QCOMPARE(grown->size, quint64(400));
    QCOMPARE(fileitem::dateTextOf(*grown), fileitem::dateText(at(2004, 2, 2)));
    QVERIFY(grown->imageProperties); // known rows keep what the scan found

    // Nothing changed on disk: nothing moves.
    const CFileListModel::RefreshOutcome again = model.applyRefresh(
        listingOf({folderRow("Keep"), folderRow("Fresh"), fileRow("same.jpg", 100, "", at(2003, 1, 1)),
                   fileRow("grown.jpg", 400, "", at(2004, 2, 2)), added}),
        false);
    QVERIFY(!again.folderAdded && !again.folderRemoved && !again.rowRemoved);
    QCOMPARE(model.entryCount(), 6);

    // In thumbnails mode a new picture leaves again when its thumbnail cannot be made (the list
    // does that once the worker tried); other new rows stay whatever happens.
    FileItem broken = fileRow("broken.jpg", 10, "", at(2004, 1, 1));
    broken.imageFlag = 1;
    model.applyRefresh(listingOf({folderRow("Keep"), folderRow("Fresh"), fileRow("same.jpg", 100, "", at(2003, 1, 1)),
                                  fileRow("grown.jpg", 400, "", at(2004, 2, 2)), added, broken, fileRow("a.txt", 1, "", 1)}),
                       true);
    QVERIFY(model.entryAt(model.findByName("broken.jpg"))->dropWithoutThumbnail);
    QVERIFY(!model.entryAt(model.findByName("a.txt"))->dropWithoutThumbnail);
    QVERIFY(!model.entryAt(model.findByName("new.jpg"))->dropWithoutThumbnail);
}

void TestFileListModel::toolTip_data()
{
    QTest::addColumn<QString>("description"); // "-": none
    QTest::addColumn<QString>("properties");  // "-": none
    QTest::addColumn<QString>("tail");
    const QString eighty(80, u'd');
    const QString long81 = QString(77, u'x') + QStringLiteral("yyyy");
    QTest::newRow("plain") << "-"
                           << "-"
                           << "";
    QTest::newRow("properties") << "-"
                                << "640x480x24bit JPEG"
                                << "";
    QTest::newRow("80 characters stay") << eighty << "-"
                                        << " \n" + eighty;
    QTest::newRow("81 characters are cut to 77") << long81 << "-"
                                                 << " \n" + QString(77, u'x') + "...";
}

void TestFileListModel::toolTip()
{
    QFETCH(QString, description);
    QFETCH(QString, properties);
    QFETCH(QString, tail);
    FileItem item = fileRow("sun.jpg", 2048, "JPEG", at(2003, 3, 15));
    if (description != "-")
        item.description = description;
    if (properties != "-")
        item.imageProperties = properties;
    QString expected = " sun.jpg \n 2 Kb \n";
    if (properties != "-")
        expected += ' ' + properties + " \n";
    expected += ' ' + fileitem::dateText(at(2003, 3, 15)) + tail;
    QCOMPARE(CFileListModel::toolTipText(item), expected);
    FileItem parent = folderRow("..");
    parent.isParent = true;
    QCOMPARE(CFileListModel::toolTipText(parent), QString());
}

void TestFileListModel::entryFields()
{
    CFileListModel model(nullptr);
    model.setFolder(QStringLiteral("/p/"));
    model.resetRows(listingOf({fileRow("a.jpg", 100, "JPEG", at(2003, 1, 1))}));
    QSignalSpy changed(&model, &CFileListModel::dataChanged);
    model.setEntryField(0, CFileListModel::kFieldName, "b.gif");
    model.setEntryField(0, CFileListModel::kFieldSize, "4096");
    model.setEntryField(0, CFileListModel::kFieldType, "GIF");
    model.setEntryField(0, CFileListModel::kFieldDate, "01/01/99 00:00:00");
    model.setEntryField(0, CFileListModel::kFieldImageProperties, "1x1x2 GIF");
    model.setEntryField(0, CFileListModel::kFieldDescription, "a dog");
    model.setEntryField(3, CFileListModel::kFieldName, "nothing");
    QCOMPARE(changed.count(), 6);
    const QStringList texts{"b.gif", "4096", "GIF", "01/01/99 00:00:00", "1x1x2 GIF", "a dog"};
    for (int column = 0; column < CFileListModel::kColumnCount; ++column)
        QCOMPARE(model.itemText(0, column), texts[column]);
    QCOMPARE(model.findByName("b.gif"), 0);
    QCOMPARE(model.findByName("a.jpg"), -1);
    QCOMPARE(fileitem::extensionKeyOf(*model.entryAt(0)).toString(), QStringLiteral(".gif"));
    QCOMPARE(model.totalSize(), quint64(4096));
    QCOMPARE(model.itemText(-1, 0), QString());
}

void TestFileListModel::headerScanJobsSkipParentAndKnown()
{
    CFileListModel model(nullptr);
    model.setFolder(QStringLiteral("/p/"));
    FileItem parent = folderRow("..");
    parent.isParent = true;
    model.resetRows(listingOf(
        {parent, folderRow("Sub"), fileRow("known.gif", 1, "", 1, "1x1x2 GIF"), fileRow("new.jpg", 1, "", 1)}));
    QStringList jobs;
    for (const HeaderScanJob& job : model.headerScanJobs()) {
        QCOMPARE(model.rowOfId(job.id), model.findByName(job.name));
        jobs << job.name;
    }
    QCOMPARE(jobs, (QStringList{"Sub", "new.jpg"}));
    // A failed read keeps the extension test's verdict; a read raises it once.
    const quint64 id = model.entryAt(3)->id;
    QVERIFY(model.applyHeaderResult({id, 0, std::nullopt, std::nullopt}));
    QCOMPARE(model.imageCount(), 1);
    QVERIFY(model.applyHeaderResult({id, 1, QStringLiteral("2x2x24bit JPEG"), std::nullopt}));
    QVERIFY(model.applyHeaderResult({id, 1, QStringLiteral("2x2x24bit JPEG"), std::nullopt}));
    QCOMPARE(model.imageCount(), 2);

    // At "/" there is no parent entry: the first row is a folder and is scanned like the others.
    CFileListModel root(nullptr);
    root.setFolder(QStringLiteral("/"));
    root.resetRows(listingOf({folderRow("home"), fileRow("new.jpg", 1, "", 1)}));
    QStringList rootJobs;
    for (const HeaderScanJob& job : root.headerScanJobs())
        rootJobs << job.name;
    QCOMPARE(rootJobs, (QStringList{"home", "new.jpg"}));
}

void TestFileListModel::fileSummary()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDateTime written(QDate(2003, 3, 15), QTime(14, 2, 11), Qt::UTC);
    for (const auto& [name, size] : {std::pair<QString, qint64>{"full.bin", 5000}, {"empty.bin", 0}}) {
        writeFile(dir.filePath(name), size);
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(written, QFileDevice::FileModificationTime));
    }
    CFileListModel model(nullptr);
    model.setFolder(dir.path());
    model.resetRows(listingOf(
        {fileRow("full.bin", 5000, "", 1), fileRow("empty.bin", 0, "", 1), fileRow("vanished.bin", 0, "", 1)}));
    const auto summaryOf = [&model](int row) { return fileentry::summary(model.pathOf(row)); };
    const std::optional<fileentry::Summary> full = summaryOf(0);
    QVERIFY(full);
    QCOMPARE(full->text, QStringLiteral("4KB,  15.03.2003 14:02"));
    QCOMPARE(full->detail, QString());
    const std::optional<fileentry::Summary> empty = summaryOf(1);
    QVERIFY(empty);
    QCOMPARE(empty->text, QStringLiteral(" 15.03.2003 14:02"));
    QVERIFY(!summaryOf(2));
}

QTEST_MAIN(TestFileListModel)
#include "tst_filelistmodel.moc"
