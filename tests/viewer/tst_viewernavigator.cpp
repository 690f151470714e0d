#include <set>

#include <QSignalSpy>
#include <QTest>

#include "fileops/cfileinfo.h"
#include "settings/cappsettings.h"
#include "viewer/ownpicturelist.h"
#include "viewer/picturelist.h"
#include "viewer/viewernavigator.h"

namespace {

// Rows as the browser's list has them, written as text: ".." is the parent entry and a name
// ending in "/" a folder (neither loads); a file with a picture extension is a known picture;
// "bad-" files are known pictures that fail to load, ".txt" files fail, ".dat" files are
// pictures with a wrong extension (they load, but are not known until they did).
class RowTable : public PictureList {
public:
    RowTable(const QStringList& rows, int selected)
    {
        for (const QString& row : rows) {
            const bool folder = row == QLatin1String("..") || row.endsWith(u'/');
            m_names << (row.endsWith(u'/') ? row.chopped(1) : row);
            m_folders << folder;
            m_known << (!folder && CFileInfo::IsImageByExtension(row));
        }
        m_selected.assign(size_t(rows.size()), false);
        if (selected >= 0)
            m_selected[size_t(selected)] = true;
        m_current = selected;
    }

    bool loads(const QString& name) const
    {
        const int row = int(m_names.indexOf(name));
        return row >= 0 && !m_folders.at(row) && !name.startsWith(QLatin1String("bad-")) &&
               !name.endsWith(QLatin1String(".txt"));
    }
    int selectedCount() const { return int(std::count(m_selected.begin(), m_selected.end(), true)); }
    int current() const { return m_current; }

    int rowCount() const override { return int(m_names.size()); }
    QString rowName(int row) const override { return valid(row) ? m_names.at(row) : QString(); }
    int firstSelectedRow() const override
    {
        const auto first = std::find(m_selected.begin(), m_selected.end(), true);
        return first == m_selected.end() ? -1 : int(first - m_selected.begin());
    }
    void selectRow(int row) override
    {
        if (!valid(row))
            return;
        m_selected[size_t(row)] = true;
        m_current = row;
    }
    void clearRowSelection(int row) override
    {
        if (valid(row))
            m_selected[size_t(row)] = false;
    }
    bool isKnownPicture(int row) const override { return valid(row) && m_known.at(row); }
    void setKnownPicture(int row) override
    {
        if (valid(row))
            m_known[row] = true;
    }
    int pictureCount() const override { return int(m_known.count(true)); }
    QString folder() const override { return QStringLiteral("/pictures/"); }
    // Moving never adds rows.
    int addRow(const QString&) override { return -1; }

private:
    bool valid(int row) const { return row >= 0 && row < rowCount(); }

    QStringList m_names;
    QList<bool> m_folders;
    QList<bool> m_known;
    std::vector<bool> m_selected;
    int m_current = -1;
};

enum class Move { Next, Previous, First, Last, Random };

// A navigator over a list whose loads are counted and fail as the list says.
struct Walk {
    explicit Walk(PictureList& list, const std::function<bool(const QString&)>& loads)
        : navigator([this, loads](const QString& path) {
              QString name = path.mid(path.lastIndexOf(u'/') + 1);
              tried << name;
              return loads(name);
          }),
          ends(&navigator, &ViewerNavigator::endReached)
    {
        navigator.setList(&list);
    }

    QStringList tried;
    ViewerNavigator navigator;
    QSignalSpy ends;
};

void setSlideShowOptions(CAppSettings& options, const QString& timer, int select, int around)
{
    options.Timer = timer;
    options.Select = select;
    options.Around = around;
}

} // namespace

Q_DECLARE_METATYPE(Move)
Q_DECLARE_METATYPE(ViewerNavigator::Trigger)

class TestViewerNavigator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void move_data();
    void move();
    void randomChoosesKnownPictures();
    void positionText_data();
    void positionText();
    void ownList();
    void slideShow_data();
    void slideShow();
    void slideShowNeedsADelay();
};

void TestViewerNavigator::move_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<Move>("move");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<ViewerNavigator::Trigger>("trigger");
    QTest::addColumn<bool>("moved");
    QTest::addColumn<int>("expected");
    QTest::addColumn<QStringList>("tried");
    QTest::addColumn<int>("ends");

    const auto command = ViewerNavigator::Trigger::Command;
    const auto show = ViewerNavigator::Trigger::SlideShow;
    const QStringList browser{"..", "alpha/", "beta/", "p1.jpg", "notes.txt", "p2.png"};

    QTest::newRow("Space on the last picture: parent and folders skipped")
        << browser << 5 << Move::Next << true << command << true << 3 << QStringList{"..", "alpha", "beta", "p1.jpg"}
        << 0;
    QTest::newRow("Page Down on the last picture does nothing")
        << browser << 5 << Move::Next << false << command << false << 5 << QStringList{} << 1;
    QTest::newRow("Page Down over a file that fails")
        << browser << 3 << Move::Next << false << command << true << 5 << QStringList{"notes.txt", "p2.png"} << 0;
    QTest::newRow("Page Up on the first picture does nothing")
        << browser << 3 << Move::Previous << false << command << false << 3 << QStringList{} << 1;
    QTest::newRow("Backspace on the first picture comes round to the last")
        << browser << 3 << Move::Previous << true << command << true << 5
        << QStringList{"beta", "alpha", "..", "p2.png"} << 0;
    QTest::newRow("Page Down over broken pictures")
        << QStringList{"p1.jpg", "bad-2.jpg", "bad-3.jpg", "p4.jpg"} << 0 << Move::Next << false << command << true << 3
        << QStringList{"bad-2.jpg", "bad-3.jpg", "p4.jpg"} << 0;
    QTest::newRow("stale count: the walk turns back to the start")
        << QStringList{"p1.jpg", "p2.jpg", "bad-3.jpg"} << 1 << Move::Next << false << command << true << 1
        << QStringList{"bad-3.jpg", "p2.jpg"} << 0;
    QTest::newRow("nothing loads, wrap: one round")
        << QStringList{"..", "alpha/", "bad-1.jpg", "bad-2.jpg"} << 2 << Move::Next << true << show << false << 2
        << QStringList{"bad-2.jpg", "..", "alpha", "bad-1.jpg"} << 1;
    QTest::newRow("nothing loads, no wrap: back to the start and done")
        << QStringList{"..", "bad-1.jpg", "bad-2.jpg"} << 1 << Move::Next << false << show << false << 1
        << QStringList{"bad-2.jpg", "bad-1.jpg"} << 1;
    QTest::newRow("nothing loads backwards")
        << QStringList{"bad-1.jpg", "bad-2.jpg", "notes.txt"} << 1 << Move::Previous << true << show << false << 1
        << QStringList{"bad-1.jpg", "notes.txt", "bad-2.jpg"} << 1;
    QTest::newRow("one known picture: the command does nothing")
        << QStringList{"..", "only.jpg", "shot.dat"} << 1 << Move::Next << true << command << false << 1
        << QStringList{} << 0;
    QTest::newRow("one known picture: the slide show walks on")
        << QStringList{"..", "only.jpg", "shot.dat"} << 1 << Move::Next << true << show << true << 2
        << QStringList{"shot.dat"} << 0;
    QTest::newRow("a single row ends the slide show")
        << QStringList{"only.jpg"} << 0 << Move::Next << true << show << false << 0 << QStringList{} << 1;
    QTest::newRow("no selected row") << browser << -1 << Move::Next << true << command << false << -1 << QStringList{}
                                     << 0;
    QTest::newRow("First when the only picture is last")
        << QStringList{"..", "sub/", "notes.txt", "only.jpg"} << 2 << Move::First << false << command << true << 3
        << QStringList{"only.jpg"} << 0;
    QTest::newRow("First passes a folder named like a picture and a broken one")
        << QStringList{"..", "trip.jpg/", "bad-1.jpg", "p2.jpg", "p3.jpg"} << 4 << Move::First << false << command
        << true << 3 << QStringList{"trip.jpg", "bad-1.jpg", "p2.jpg"} << 0;
    QTest::newRow("Last passes a broken picture")
        << QStringList{"p1.jpg", "p2.jpg", "bad-3.jpg", "notes.txt"} << 0 << Move::Last << false << command << true << 1
        << QStringList{"bad-3.jpg", "p2.jpg"} << 0;
    QTest::newRow("First with no picture keeps the selection")
        << QStringList{"..", "sub/", "notes.txt"} << 2 << Move::First << false << command << false << 2 << QStringList{}
        << 0;
    QTest::newRow("Random with one picture shows it again")
        << QStringList{"..", "sub/", "only.jpg", "notes.txt"} << 2 << Move::Random << false << command << true << 2
        << QStringList{"only.jpg"} << 0;
    QTest::newRow("Random without a known picture")
        << QStringList{"..", "sub/", "notes.txt", "shot.dat"} << 2 << Move::Random << false << command << false << 2
        << QStringList{} << 0;
    QTest::newRow("Random whose picture fails moves nothing")
        << QStringList{"..", "bad-1.jpg", "notes.txt"} << 2 << Move::Random << false << command << false << 2
        << QStringList{"bad-1.jpg"} << 0;
}

void TestViewerNavigator::move()
{
    QFETCH(QStringList, rows);
    QFETCH(int, selected);
    QFETCH(Move, move);
    QFETCH(bool, wrap);
    QFETCH(ViewerNavigator::Trigger, trigger);
    QFETCH(bool, moved);
    QFETCH(int, expected);
    QFETCH(QStringList, tried);
    QFETCH(int, ends);

    RowTable list(rows, selected);
    const int countBefore = list.pictureCount();
    Walk walk(list, [&](const QString& name) { return list.loads(name); });
    bool result = false;
    switch (move) {
    case Move::Next:
        result = walk.navigator.Next(wrap, trigger);
        break;
    case Move::Previous:
        result = walk.navigator.Previous(wrap, trigger);
        break;
    case Move::First:
        result = walk.navigator.First();
        break;
    case Move::Last:
        result = walk.navigator.Last();
        break;
    case Move::Random:
        result = walk.navigator.Random();
        break;
    }
    QCOMPARE(result, moved);
    QCOMPARE(walk.tried, tried);
    QCOMPARE(walk.ends.count(), ends);
    QCOMPARE(list.firstSelectedRow(), expected);
    QCOMPARE(list.selectedCount(), expected < 0 ? 0 : 1);
    if (expected >= 0)
        QCOMPARE(list.current(), expected);
    if (moved) {
        // The row shown is a known picture from now on, counted once.
        QVERIFY(list.isKnownPicture(expected));
        QCOMPARE(list.pictureCount(), countBefore + (rows.at(expected).endsWith(QLatin1String(".dat")) ? 1 : 0));
        QCOMPARE(walk.navigator.currentPath(), QStringLiteral("/pictures/") + list.rowName(expected));
    } else {
        QCOMPARE(list.pictureCount(), countBefore);
    }
}

void TestViewerNavigator::randomChoosesKnownPictures()
{
    const QStringList rows{"..", "sub/", "p1.jpg", "notes.txt", "p2.png", "bad-3.jpg", "shot.dat"};
    RowTable list(rows, 2);
    Walk walk(list, [&](const QString& name) { return list.loads(name); });
    std::set<QString> chosen;
    for (int round = 0; round < 300; ++round) {
        const int before = list.firstSelectedRow();
        const bool moved = walk.navigator.Random();
        const QString name = walk.tried.constLast();
        chosen.insert(name);
        QVERIFY2(list.isKnownPicture(int(rows.indexOf(name))), qPrintable(name));
        QCOMPARE(moved, name != QLatin1String("bad-3.jpg"));
        QCOMPARE(list.firstSelectedRow(), moved ? int(rows.indexOf(name)) : before);
        QCOMPARE(list.selectedCount(), 1);
    }
    // Each of the three known rows had a chance; missing one in 300 draws would take (2/3)^300.
    QCOMPARE(chosen, (std::set<QString>{"p1.jpg", "p2.png", "bad-3.jpg"}));
}

void TestViewerNavigator::positionText_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("text");

    const QStringList browser{"..", "alpha/", "p1.jpg", "notes.txt", "p2.png", "p3.gif"};
    QTest::newRow("first picture") << browser << 2 << "1/3";
    QTest::newRow("last picture") << browser << 5 << "3/3";
    QTest::newRow("a text file counts the pictures before it") << browser << 3 << "2/3";
    QTest::newRow("the parent entry") << browser << 0 << "1/3";
    QTest::newRow("no selection") << browser << -1 << "";
}

void TestViewerNavigator::positionText()
{
    QFETCH(QStringList, rows);
    QFETCH(int, selected);
    QFETCH(QString, text);

    RowTable list(rows, selected);
    ViewerNavigator navigator([](const QString&) { return true; });
    navigator.setList(&list);
    QCOMPARE(navigator.positionText(), text);
}

// The own list walked by the same code: every row a picture, the current one found by name.
void TestViewerNavigator::ownList()
{
    OwnPictureList list;
    list.setFolder(QStringLiteral("/shots"));
    list.setCurrentName(QStringLiteral("b.jpg"));
    QCOMPARE(list.firstSelectedRow(), -1); // the scan has not delivered yet
    list.setNames({"wrong.dat", "a.jpg", "b.jpg"});
    QCOMPARE(list.firstSelectedRow(), 2);
    QStringList loaded;
    ViewerNavigator navigator([&](const QString& path) {
        loaded << path;
        return !path.endsWith(QLatin1String("a.jpg"));
    });
    navigator.setList(&list);
    QSignalSpy ends(&navigator, &ViewerNavigator::endReached);

    QCOMPARE(navigator.positionText(), QStringLiteral("3/3"));
    QVERIFY(!navigator.Next(false));
    QCOMPARE(ends.count(), 1);
    QVERIFY(navigator.Next(true));
    QCOMPARE(list.currentName(), QStringLiteral("wrong.dat"));
    QVERIFY(navigator.Next(true)); // a.jpg fails
    QCOMPARE(list.currentName(), QStringLiteral("b.jpg"));
    QCOMPARE(loaded, (QStringList{"/shots/wrong.dat", "/shots/a.jpg", "/shots/b.jpg"}));
    QVERIFY(navigator.First());
    QCOMPARE(navigator.currentPath(), QStringLiteral("/shots/wrong.dat"));
    QCOMPARE(navigator.positionText(), QStringLiteral("1/3"));
    // A later scan's list keeps the current name.
    list.setNames({"c.jpg", "wrong.dat"});
    QCOMPARE(list.firstSelectedRow(), 1);
}

void TestViewerNavigator::slideShow_data()
{
    QTest::addColumn<int>("select");
    QTest::addColumn<int>("around");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QList<int>>("rowsAfterEachTick"); // -1: the show stopped on that tick

    // Rows: "..", "sub/", "p1.jpg", "notes.txt", "p2.jpg", "p3.jpg".
    QTest::newRow("forward without wrap stops on the last picture") << 0 << 0 << 2 << QList<int>{4, 5, -1};
    QTest::newRow("forward with wrap comes round") << 0 << 1 << 4 << QList<int>{5, 2, 4, 5};
    QTest::newRow("reverse without wrap stops on the first picture") << 1 << 0 << 5 << QList<int>{4, 2, -1};
    QTest::newRow("reverse with wrap") << 1 << 1 << 2 << QList<int>{5, 4};
    QTest::newRow("an unknown order runs forward") << 7 << 0 << 4 << QList<int>{5, -1};
}

void TestViewerNavigator::slideShow()
{
    QFETCH(int, select);
    QFETCH(int, around);
    QFETCH(int, selected);
    QFETCH(QList<int>, rowsAfterEachTick);

    CAppSettings options;
    setSlideShowOptions(options, QStringLiteral("60000"), select, around);
    RowTable list({"..", "sub/", "p1.jpg", "notes.txt", "p2.jpg", "p3.jpg"}, selected);
    Walk walk(list, [&](const QString& name) { return list.loads(name); });
    SlideShow show(walk.navigator, options);
    QSignalSpy shown(&show, &SlideShow::shown);
    QSignalSpy running(&show, &SlideShow::runningChanged);

    QVERIFY(show.start());
    QVERIFY(show.isRunning());
    int showings = 0;
    int row = selected;
    for (const int expected : rowsAfterEachTick) {
        show.step();
        if (expected < 0) {
            QVERIFY(!show.isRunning());
            QCOMPARE(list.firstSelectedRow(), row); // the last picture stays shown
        } else {
            QVERIFY(show.isRunning());
            row = expected;
            QCOMPARE(list.firstSelectedRow(), row);
            ++showings;
        }
    }
    QCOMPARE(shown.count(), showings);
    show.stop();
    QCOMPARE(running.count(), 2);
    QCOMPARE(running.at(0).at(0).toBool(), true);
    QCOMPARE(running.at(1).at(0).toBool(), false);
}

void TestViewerNavigator::slideShowNeedsADelay()
{
    RowTable list({"p1.jpg", "p2.jpg"}, 0);
    Walk walk(list, [](const QString&) { return true; });
    CAppSettings options;
    SlideShow show(walk.navigator, options);
    QSignalSpy running(&show, &SlideShow::runningChanged);
    for (const QString& timer : {QStringLiteral("0"), QStringLiteral("soon"), QStringLiteral("-300")}) {
        setSlideShowOptions(options, timer, 0, 1);
        QVERIFY2(!show.start(), qPrintable(timer));
        QVERIFY(!show.isRunning());
    }
    QCOMPARE(running.count(), 0);
    // The delay is read at the start only: a change while running does not stop the show.
    setSlideShowOptions(options, QStringLiteral("500"), 0, 1);
    QVERIFY(show.start());
    setSlideShowOptions(options, QStringLiteral("0"), 0, 1);
    show.step();
    QVERIFY(show.isRunning());
    QCOMPARE(list.firstSelectedRow(), 1);
}

QTEST_GUILESS_MAIN(TestViewerNavigator)
#include "tst_viewernavigator.moc"
