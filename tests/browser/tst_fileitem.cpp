#include <QTest>

#include "browser/fileitem.h"

namespace {

FileItem withOptional(const QString& name, std::optional<QString> properties, std::optional<QString> description)
{
    FileItem item;
    item.name = name;
    item.imageProperties = std::move(properties);
    item.description = std::move(description);
    return item;
}

} // namespace

class TestFileItem : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sizeText_data();
    void sizeText();
    void dateText();
    void extensionKey_data();
    void extensionKey();
    void admission_data();
    void admission();
    void optionalTexts_data();
    void optionalTexts();
    void datesCompareByTime();
    void namesOrderAsQtCompares_data();
    void namesOrderAsQtCompares();
};

void TestFileItem::sizeText_data()
{
    QTest::addColumn<quint64>("size");
    QTest::addColumn<QString>("spaced");
    QTest::addColumn<QString>("compact");
    const quint64 gb = quint64(1) << 30;
    QTest::newRow("empty") << quint64(0) << "0 b"
                           << "0b";
    QTest::newRow("1023") << quint64(1023) << "1023 b"
                          << "1023b";
    QTest::newRow("1024") << quint64(1024) << "1 Kb"
                          << "1Kb";
    QTest::newRow("1048575") << quint64(1048575) << "1023 Kb"
                             << "1023Kb";
    QTest::newRow("1048576") << quint64(1048576) << "1 Mb"
                             << "1Mb";
    QTest::newRow("1 Gb - 1") << gb - 1 << "1023 Mb"
                              << "1023Mb";
    QTest::newRow("1073741824") << gb << "1 Gb"
                                << "1Gb";
    QTest::newRow("5 GB, past 32 bits") << 5 * gb << "5 Gb"
                                        << "5Gb";
    QTest::newRow("4 GB + 1023, low bits small") << 4 * gb + 1023 << "4 Gb"
                                                 << "4Gb";
    QTest::newRow("1 TB stays in Gb") << 1024 * gb << "1024 Gb"
                                      << "1024Gb";
}

void TestFileItem::sizeText()
{
    QFETCH(quint64, size);
    QFETCH(QString, spaced);
    QFETCH(QString, compact);
    QCOMPARE(fileitem::sizeText(size), spaced);
    QCOMPARE(fileitem::sizeText(size, true), compact);
    FileItem file;
    file.size = size;
    QCOMPARE(fileitem::sizeTextOf(file), spaced);
    file.isFolder = true;
    QCOMPARE(fileitem::sizeTextOf(file), QString());
}

void TestFileItem::dateText()
{
    const qint64 time = QDateTime(QDate(2003, 3, 15), QTime(14, 2, 11)).toMSecsSinceEpoch();
    QCOMPARE(fileitem::dateText(time), QStringLiteral("03/15/03 14:02:11"));
    QCOMPARE(fileitem::dateText(0), QString());
    FileItem item;
    item.modified = time;
    item.dateOverride = QStringLiteral("set by hand");
    QCOMPARE(fileitem::dateTextOf(item), QStringLiteral("set by hand"));
    item.isParent = true;
    QCOMPARE(fileitem::dateTextOf(item), QString());
}

void TestFileItem::extensionKey_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::newRow("plain") << "a.jpg"
                           << ".jpg";
    QTest::newRow("last dot") << "archive.tar.gz"
                              << ".gz";
    QTest::newRow("no dot: whole name") << "README"
                                        << "README";
    QTest::newRow("dot file") << ".profile"
                              << ".profile";
    QTest::newRow("trailing dot") << "name."
                                  << ".";
}

void TestFileItem::extensionKey()
{
    QFETCH(QString, name);
    QFETCH(QString, key);
    QCOMPARE(fileitem::extensionKey(name).toString(), key);
}

void TestFileItem::admission_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<bool>("passesImageTest");
    QTest::addColumn<bool>("showHidden");
    QTest::addColumn<bool>("showNonImages");
    QTest::addColumn<bool>("admitted");
    QTest::newRow("picture, all shown") << "a.jpg" << false << true << true << true << true;
    QTest::newRow("picture, non-images hidden") << "a.jpg" << false << true << true << false << true;
    QTest::newRow("text, non-images hidden") << "a.txt" << false << false << true << false << false;
    QTest::newRow("text, non-images shown") << "a.txt" << false << false << false << true << true;
    QTest::newRow("folder, non-images hidden") << "Trips" << true << false << false << false << true;
    QTest::newRow("dot folder, hidden off") << ".cache" << true << false << false << true << false;
    QTest::newRow("dot folder, hidden shown") << ".cache" << true << false << true << true << true;
    QTest::newRow("dot picture, hidden off") << ".a.jpg" << false << true << false << true << false;
    QTest::newRow("description file, hidden off") << "descript.ion" << false << false << false << true << false;
    QTest::newRow("description file in capitals") << "DESCRIPT.ION" << false << false << false << true << false;
    QTest::newRow("description file, hidden shown") << "descript.ion" << false << false << true << true << true;
    QTest::newRow("dot inside a name is no mark") << "a.b" << false << false << false << true << true;
}

void TestFileItem::admission()
{
    QFETCH(QString, name);
    QFETCH(bool, isFolder);
    QFETCH(bool, passesImageTest);
    QFETCH(bool, showHidden);
    QFETCH(bool, showNonImages);
    QFETCH(bool, admitted);
    QCOMPARE(fileitem::admits(name, isFolder, passesImageTest, {showHidden, showNonImages}), admitted);
}

void TestFileItem::optionalTexts_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<std::optional<QString>>("a");
    QTest::addColumn<std::optional<QString>>("b");
    QTest::addColumn<bool>("aFirst");
    QTest::addColumn<bool>("bFirst");
    const std::optional<QString> none;
    const int props = fileitem::kByImageProperties;
    const int desc = fileitem::kByDescription;
    QTest::newRow("properties: none first going forward")
        << props << true << none << std::optional<QString>("1x1") << true << false;
    QTest::newRow("properties: none last going back")
        << props << false << none << std::optional<QString>("1x1") << false << true;
    QTest::newRow("properties: both none") << props << true << none << none << false << false;
    // Forward ignores case ("a" < "B"); back compares the bytes ("a" > "B").
    QTest::newRow("properties forward, no case")
        << props << true << std::optional<QString>("a") << std::optional<QString>("B") << true << false;
    QTest::newRow("properties back, bytes")
        << props << false << std::optional<QString>("a") << std::optional<QString>("B") << true << false;
    QTest::newRow("description: none first going forward")
        << desc << true << none << std::optional<QString>("x") << true << false;
    QTest::newRow("description: none last going back")
        << desc << false << none << std::optional<QString>("x") << false << true;
    QTest::newRow("description back, no case")
        << desc << false << std::optional<QString>("a") << std::optional<QString>("B") << false << true;
    QTest::newRow("unknown key never orders")
        << 9 << true << std::optional<QString>("a") << std::optional<QString>("b") << false << false;
}

void TestFileItem::optionalTexts()
{
    QFETCH(int, key);
    QFETCH(bool, ascending);
    QFETCH(std::optional<QString>, a);
    QFETCH(std::optional<QString>, b);
    QFETCH(bool, aFirst);
    QFETCH(bool, bFirst);
    const FileItem itemA = withOptional(QStringLiteral("a"), key == fileitem::kByImageProperties ? a : std::nullopt,
                                        key == fileitem::kByDescription ? a : std::nullopt);
    const FileItem itemB = withOptional(QStringLiteral("b"), key == fileitem::kByImageProperties ? b : std::nullopt,
                                        key == fileitem::kByDescription ? b : std::nullopt);
    QCOMPARE(fileitem::comesBefore(itemA, itemB, key, ascending), aFirst);
    QCOMPARE(fileitem::comesBefore(itemB, itemA, key, ascending), bFirst);
}

void TestFileItem::datesCompareByTime()
{
    FileItem december;
    december.modified = QDateTime(QDate(2002, 12, 31), QTime(23, 0)).toMSecsSinceEpoch();
    FileItem january;
    january.modified = QDateTime(QDate(2003, 1, 2), QTime(1, 0)).toMSecsSinceEpoch();
    // The texts would order them the other way round.
    QVERIFY(fileitem::dateTextOf(december) > fileitem::dateTextOf(january));
    QVERIFY(fileitem::comesBefore(december, january, fileitem::kByDate, true));
    QVERIFY(!fileitem::comesBefore(january, december, fileitem::kByDate, true));
    QVERIFY(fileitem::comesBefore(january, december, fileitem::kByDate, false));
}

void TestFileItem::namesOrderAsQtCompares_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::newRow("case only") << "IMG_0001.JPG" << "img_0001.jpg";
    QTest::newRow("letters around the capitals") << "Zebra" << "apple";
    QTest::newRow("underscore between the cases") << "a_b" << "aBb";
    QTest::newRow("prefix") << "photo" << "Photo1";
    QTest::newRow("accent after a common prefix") << "caf\u00e9.jpg" << "CAFE.jpg";
    QTest::newRow("accented capitals") << "\u00c9t\u00e9" << "\u00e9T\u00c9";
    QTest::newRow("sharp s") << "stra\u00dfe" << "STRASSE";
    QTest::newRow("beyond the basic plane") << "x\U0001F600" << "X\U0001F601";
    QTest::newRow("empty") << "" << "a";
}

void TestFileItem::namesOrderAsQtCompares()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    // The name order's ASCII walk must agree with Qt's case-insensitive comparison everywhere.
    const int expected = QString::compare(a, b, Qt::CaseInsensitive);
    FileItem itemA;
    itemA.name = a;
    FileItem itemB;
    itemB.name = b;
    QCOMPARE(fileitem::comesBefore(itemA, itemB, fileitem::kByName, true), expected < 0);
    QCOMPARE(fileitem::comesBefore(itemB, itemA, fileitem::kByName, true), expected > 0);
}

QTEST_GUILESS_MAIN(TestFileItem)
#include "tst_fileitem.moc"
