#include <limits>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "settings/csettingsstore.h"
#include "settings/settingstestutil.h"
#include "settings/storedstate.h"

using namespace settingstest;
using storedstate::ColumnStates;

namespace {

QStringList numbered(const QString& prefix, int count)
{
    QStringList values;
    for (int index = 0; index < count; ++index)
        values << prefix + QString::number(index);
    return values;
}

QStringList padded(QStringList values, int count)
{
    while (values.size() < count)
        values << kMissing;
    return values;
}

} // namespace

class TestStoredState : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { clearStore(); }

    void columns_data();
    void columns();
    void writeColumns();
    void framePlacement_data();
    void framePlacement();
    void framePlacementRoundTrip();
    void framePlacementOnScreen();
    void destinationHistoryRead_data();
    void destinationHistoryRead();
    void destinationHistoryWrite_data();
    void destinationHistoryWrite();
    void addressHistory_data();
    void addressHistory();
    void sizingBarSizes();
    void browserStartState();
};

void TestStoredState::columns_data()
{
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QList<int>>("widths");
    QTest::addColumn<QList<bool>>("shown");
    const QList<bool> all{true, true, true, true, true, true};
    const QList<bool> noSize{true, false, true, true, true, true};

    QTest::newRow("nothing stored") << 700 << QStringList() << QList<int>{233, 70, 140, 140, 100, 140} << all;
    QTest::newRow("all stored") << 700 << QStringList{"300,1", "90,1", "80,0", "150,1", "60,1", "200,7"}
                                << QList<int>{300, 90, 140, 150, 60, 200}
                                << QList<bool>{true, true, false, true, true, true};
    QTest::newRow("0,0 at Type ends reading") << 700 << QStringList{"250,1", "90,1", "0,0", "300,1", "5,0", "10,1"}
                                              << QList<int>{250, 90, 140, 140, 100, 140} << all;
    QTest::newRow("missing Date ends reading") << 700 << QStringList{"250,1", "90,1", "91,1", kMissing, "5,0"}
                                               << QList<int>{250, 90, 91, 140, 100, 140} << all;
    QTest::newRow("hidden Size keeps its width")
        << 700 << QStringList{"250,1", "120,0"} << QList<int>{250, 70, 140, 140, 100, 140} << noSize;
    // Malformed: the width is ignored, a digit flag still counts, and reading goes on.
    QTest::newRow("no comma") << 700 << QStringList{"250,1", "120", "95,1", "121"}
                              << QList<int>{250, 70, 95, 140, 100, 140} << noSize;
    QTest::newRow("bad widths") << 700 << QStringList{"wide,1", "-40,1", "0,1", "99999999999,1", "", "33,1"}
                                << QList<int>{233, 70, 140, 140, 100, 33} << all;
    QTest::newRow("flag not a digit") << 700 << QStringList{"250,1", "120,x", "95,1"}
                                      << QList<int>{250, 70, 95, 140, 100, 140} << all;
}

void TestStoredState::columns()
{
    QFETCH(int, clientWidth);
    QFETCH(QStringList, stored);
    QFETCH(QList<int>, widths);
    QFETCH(QList<bool>, shown);
    storeRun(QStringLiteral("Browser"), QStringLiteral("Column_"), stored);
    const ColumnStates columns = storedstate::readColumns(clientWidth);
    for (int index = 0; index < storedstate::kColumnCount; ++index) {
        QCOMPARE(columns[index].width, widths.at(index));
        QCOMPARE(columns[index].shown, shown.at(index));
    }
}

void TestStoredState::writeColumns()
{
    // The Name column cannot be hidden, and a hidden column of width 0 must not end the reading.
    storedstate::writeColumns({{{200, false}, {80, true}, {0, false}, {0, true}, {120, false}, {60, true}}});
    QCOMPARE(storedRun(QStringLiteral("Browser"), QStringLiteral("Column_"), 6),
             (QStringList{"200,1", "80,1", "1,0", "0,1", "120,0", "60,1"}));
    const ColumnStates expected{{{200, true}, {80, true}, {140, false}, {140, true}, {100, false}, {60, true}}};
    QVERIFY(storedstate::readColumns(700) == expected);
}

void TestStoredState::framePlacement_data()
{
    QTest::addColumn<QList<int>>("topLeftBottomRight"); // -1: not stored
    QTest::addColumn<QRect>("available");
    QTest::addColumn<std::optional<QRect>>("expected");
    const QRect screen(0, 0, 1280, 800);
    const QRect second(1280, 30, 1024, 738);
    constexpr int kMin = std::numeric_limits<int>::min() + 1;
    constexpr int kMax = std::numeric_limits<int>::max();
    const std::optional<QRect> none;

    QTest::newRow("Right missing") << QList<int>{50, 100, 650, -1} << screen << none;
    QTest::newRow("Top missing") << QList<int>{-1, 100, 650, 900} << screen << none;
    QTest::newRow("on screen") << QList<int>{50, 100, 650, 900} << screen << std::optional(QRect(100, 50, 800, 600));
    QTest::newRow("left beyond") << QList<int>{50, 2000, 650, 2800} << screen
                                 << std::optional(QRect(1248, 50, 800, 600));
    QTest::newRow("top beyond") << QList<int>{5000, 100, 5600, 900} << screen
                                << std::optional(QRect(100, 768, 800, 600));
    QTest::newRow("above and left") << QList<int>{-300, -500, 300, 300} << screen
                                    << std::optional(QRect(0, 0, 800, 600));
    QTest::newRow("too large") << QList<int>{0, 0, 1000, 3000} << screen << std::optional(screen);
    QTest::newRow("second screen") << QList<int>{10, 1300, 410, 1900} << second
                                   << std::optional(QRect(1300, 30, 600, 400));
    QTest::newRow("past second") << QList<int>{100, 3000, 400, 3500} << second
                                 << std::optional(QRect(2272, 100, 500, 300));
    QTest::newRow("empty width") << QList<int>{50, 100, 650, 100} << screen << none;
    QTest::newRow("negative height") << QList<int>{650, 100, 50, 900} << screen << none;
    QTest::newRow("extreme values") << QList<int>{kMin, kMin, kMax, kMax} << screen << std::optional(screen);
    QTest::newRow("no available area") << QList<int>{50, 100, 650, 900} << QRect() << none;
}

void TestStoredState::framePlacement()
{
    QFETCH(QList<int>, topLeftBottomRight);
    QFETCH(QRect, available);
    QFETCH(std::optional<QRect>, expected);
    const QStringList names{"Top", "Left", "Bottom", "Right"};
    for (qsizetype index = 0; index < names.size(); ++index) {
        if (topLeftBottomRight.at(index) != -1)
            CSettingsStore::WriteProfileInt(QStringLiteral("Frame"), names.at(index), topLeftBottomRight.at(index));
    }
    QCOMPARE(storedstate::readFramePlacement(available, QSize(32, 32)), expected);
}

void TestStoredState::framePlacementRoundTrip()
{
    const QRect window(100, 50, 800, 600);
    storedstate::writeFramePlacement(window);
    const QSettings file = fileReader();
    QCOMPARE((QList<int>{file.value("Frame/Top").toInt(), file.value("Frame/Left").toInt(),
                         file.value("Frame/Bottom").toInt(), file.value("Frame/Right").toInt()}),
             (QList<int>{50, 100, 650, 900}));
    QCOMPARE(storedstate::readFramePlacement(QRect(0, 0, 1920, 1080), QSize(32, 32)), std::optional<QRect>(window));
}

void TestStoredState::framePlacementOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        QSKIP("the platform has no screen");
    const QRect available = screen->availableGeometry();
    storedstate::writeFramePlacement(QRect(available.x() + 100000, available.y() + 10, 200, 100));
    QCOMPARE(storedstate::readFramePlacement(QSize(32, 32)),
             std::optional(QRect(available.x() + available.width() - 32, available.y() + 10, 200, 100)));
}

void TestStoredState::destinationHistoryRead_data()
{
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("stops at the first empty") << QStringList{"/a/", "/b/", "", "/c/"} << QStringList{"/a/", "/b/"};
    QTest::newRow("stops at the first missing") << QStringList{"/a/", kMissing, "/c/"} << QStringList{"/a/"};
    QTest::newRow("empty first") << QStringList{"", "/b/"} << QStringList();
    QTest::newRow("at most 15") << numbered("/d", 17) << numbered("/d", 15);
    QTest::newRow("duplicates dropped") << QStringList{"/a/", "/b/", "/a/", "/c/", "/b/"}
                                        << QStringList{"/a/", "/b/", "/c/"};
    QTest::newRow("case counts") << QStringList{"/Pics/", "/pics/"} << QStringList{"/Pics/", "/pics/"};
}

void TestStoredState::destinationHistoryRead()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, expected);
    storeRun(QStringLiteral("Settings"), QStringLiteral("LUF"), stored);
    QCOMPARE(storedstate::readDestinationHistory(), expected);
}

void TestStoredState::destinationHistoryWrite_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("after"); // LUF0 .. LUF17
    const QStringList old = numbered("/old", 18);
    const auto over = [&](const QStringList& head) { return head + old.mid(head.size()); };

    QTest::newRow("destination then list") << old << "/d/" << QStringList{"/d/", "/a/"} << over({"/d/", "/d/", "/a/"});
    QTest::newRow("no destination") << old << "" << QStringList{"/a/", "/b/"} << over({"/old0", "/a/", "/b/"});
    QTest::newRow("list stops at empty") << old << "/d/" << QStringList{"/a/", "", "/c/"} << over({"/d/", "/a/"});
    QTest::newRow("at most 15 listed") << old << "/d/" << numbered("/n", 20)
                                       << over(QStringList{"/d/"} + numbered("/n", 15));
    QTest::newRow("fresh store") << QStringList() << "/d/" << QStringList{"/a/"} << padded({"/d/", "/a/"}, 18);
}

void TestStoredState::destinationHistoryWrite()
{
    QFETCH(QStringList, before);
    QFETCH(QString, destination);
    QFETCH(QStringList, list);
    QFETCH(QStringList, after);
    storeRun(QStringLiteral("Settings"), QStringLiteral("LUF"), before);
    storedstate::writeDestinationHistory(destination, list);
    QCOMPARE(storedRun(QStringLiteral("Settings"), QStringLiteral("LUF"), 18), after);
}

void TestStoredState::addressHistory_data()
{
    QTest::addColumn<QStringList>("first");
    QTest::addColumn<QStringList>("second");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("round trip") << QStringList() << QStringList{"/a/", "/b b/", "/c,d;e/"}
                                << QStringList{"/a/", "/b b/", "/c,d;e/"};
    QTest::newRow("shorter replaces longer")
        << numbered("/u", 5) << QStringList{"/x/", "/y/"} << QStringList{"/x/", "/y/"};
    QTest::newRow("empty list clears") << numbered("/u", 5) << QStringList() << QStringList();
    QTest::newRow("stops at an empty entry") << QStringList() << QStringList{"/x/", "", "/z/"} << QStringList{"/x/"};
    QTest::newRow("at most 260") << QStringList() << numbered("/u", 300) << numbered("/u", 260);
}

void TestStoredState::addressHistory()
{
    QFETCH(QStringList, first);
    QFETCH(QStringList, second);
    QFETCH(QStringList, expected);
    storedstate::writeAddressHistory(first);
    storedstate::writeAddressHistory(second);
    QCOMPARE(storedstate::readAddressHistory(), expected);
}

void TestStoredState::sizingBarSizes()
{
    using storedstate::SizingBarSizes;
    const SizingBarSizes current{QSize(300, 120), QSize(40, 400), QSize(250, 250)};
    const QSize minimum(50, 60);
    // Nothing stored: the current sizes, raised to the minimum.
    QCOMPARE(storedstate::loadSizingBarSizes(settingskeys::kPreviewBarId, current, minimum),
             (SizingBarSizes{QSize(300, 120), QSize(50, 400), QSize(250, 250)}));

    // Stored values below the minimum are raised; unreadable ones give the current size.
    fileReader().setValue("BarState-SCBar-59425/sizeHorzCX", "10");
    fileReader().setValue("BarState-SCBar-59425/sizeHorzCY", "700");
    fileReader().setValue("BarState-SCBar-59425/sizeFloatCX", "wide");
    fileReader().setValue("BarState-SCBar-59425/sizeFloatCY", "-4");
    const SizingBarSizes loaded = storedstate::loadSizingBarSizes(settingskeys::kPreviewBarId, current, minimum);
    QCOMPARE(loaded, (SizingBarSizes{QSize(50, 700), QSize(50, 400), QSize(250, 60)}));

    // Saving writes all six in the bar's own section.
    storedstate::saveSizingBarSizes(settingskeys::kFoldersTreeBarId, {QSize(1, 2), QSize(3, 4), QSize(5, 6)});
    QSettings file = fileReader();
    file.beginGroup(QStringLiteral("BarState-SCBar-59426"));
    QCOMPARE(file.childKeys().size(), 6);
    QCOMPARE((QList<int>{file.value("sizeHorzCX").toInt(), file.value("sizeHorzCY").toInt(),
                         file.value("sizeVertCX").toInt(), file.value("sizeVertCY").toInt(),
                         file.value("sizeFloatCX").toInt(), file.value("sizeFloatCY").toInt()}),
             (QList<int>{1, 2, 3, 4, 5, 6}));
    QCOMPARE(storedstate::loadSizingBarSizes(settingskeys::kPreviewBarId, current, minimum), loaded);
}

void TestStoredState::browserStartState()
{
    using storedstate::BrowserStartState;
    // A fresh account: Details view, key 0, flag 0, the home folder while there is no Pictures.
    const QString home = QDir::homePath() + QLatin1Char('/');
    QVERIFY(!QDir(home + QStringLiteral("Pictures")).exists());
    QCOMPARE(storedstate::readBrowserStartState(), (BrowserStartState{4, 0, 0, home}));
    QVERIFY(QDir(home).mkdir(QStringLiteral("Pictures")));
    QCOMPARE(storedstate::readBrowserStartState().lastFolder, home + QStringLiteral("Pictures/"));

    // The mode keeps its low 8 bits; the folder ends with one "/".
    storedstate::writeBrowserStartState({0x1203, 2, 1, QStringLiteral("/srv/photos//")});
    QCOMPARE(fileReader().value("Settings/LastFolder").toString(), QStringLiteral("/srv/photos/"));
    QCOMPARE(storedstate::readBrowserStartState(), (BrowserStartState{3, 2, 1, QStringLiteral("/srv/photos/")}));

    // A folder stored by hand without its "/", or empty, still gives a usable folder.
    const QList<QPair<QString, QString>> folders{{"/", "/"}, {"/srv", "/srv/"}, {"", home + "Pictures/"}};
    for (const auto& [stored, expected] : folders) {
        fileReader().setValue("Settings/LastFolder", stored);
        QCOMPARE(storedstate::readBrowserStartState().lastFolder, expected);
    }
}

QTEST_MAIN(TestStoredState)
#include "tst_storedstate.moc"
