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
// ending in "/" a folder; a file with a picture extension is a known picture, whether it loads
// ("bad-" files stand for those that do not) or not; ".txt" files and ".dat" files (pictures
// with a wrong extension) are not.
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
    int pictureCount() const override { return int(m_known.count(true)); }
    QString folder() const override { return QStringLiteral("/pictures/"); }
    // Moving never adds rows.
    int addRow(const QString&) override { return -1; }
    void removeRow(int) override {}
    void renameRow(int, const QString&) override {}

private:
    bool valid(int row) const { return row >= 0 && row < rowCount(); }

    QStringList m_names;
    QList<bool> m_folders;
    QList<bool> m_known;
    std::vector<bool> m_selected;
    int m_current = -1;
};

enum class Move { Next, Previous, First, Last, Random };

// A navigator over a list, with the ends it reports.
struct Walk {
    explicit Walk(PictureList& list) : ends(&navigator, &ViewerNavigator::endReached) { navigator.setList(&list); }

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
    QTest::addColumn<int>("ends");

    const auto command = ViewerNavigator::Trigger::Command;
    const auto show = ViewerNavigator::Trigger::SlideShow;
    const QStringList browser{"..", "alpha/", "beta/", "p1.jpg", "notes.txt", "p2.png"};

    QTest::newRow("Space on the last picture: parent and folders skipped")
        << browser << 5 << Move::Next << true << command << true << 3 << 0;
    QTest::newRow("Page Down on the last picture does nothing")
        << browser << 5 << Move::Next << false << command << false << 5 << 1;
    QTest::newRow("Page Down passes a text file") << browser << 3 << Move::Next << false << command << true << 5 << 0;
    QTest::newRow("Page Up on the first picture does nothing")
        << browser << 3 << Move::Previous << false << command << false << 3 << 1;
    QTest::newRow("Backspace on the first picture comes round to the last")
        << browser << 3 << Move::Previous << true << command << true << 5 << 0;
    QTest::newRow("Space from a text file to the next picture")
        << browser << 4 << Move::Next << true << command << true << 5 << 0;
    // A picture that does not load keeps its place: the viewer stops there and tells why.
    QTest::newRow("Page Down stops at a broken picture")
        << QStringList{"p1.jpg", "bad-2.jpg", "bad-3.jpg", "p4.jpg"} << 0 << Move::Next << false << command << true << 1
        << 0;
    QTest::newRow("Page Down onto a broken last picture")
        << QStringList{"p1.jpg", "p2.jpg", "bad-3.jpg"} << 1 << Move::Next << false << command << true << 2 << 0;
    QTest::newRow("the slide show walks broken pictures, wrapping")
        << QStringList{"..", "alpha/", "bad-1.jpg", "bad-2.jpg"} << 3 << Move::Next << true << show << true << 2 << 0;
    QTest::newRow("the slide show ends on the last picture, broken or not")
        << QStringList{"..", "bad-1.jpg", "bad-2.jpg"} << 2 << Move::Next << false << show << false << 2 << 1;
    QTest::newRow("backwards over a broken picture")
        << QStringList{"bad-1.jpg", "bad-2.jpg", "notes.txt"} << 1 << Move::Previous << true << show << true << 0 << 0;
    // What the list does not count is not walked: the position and the walk agree.
    QTest::newRow("a picture with a wrong extension is passed")
        << QStringList{"a.jpg", "shot.dat", "b.jpg"} << 0 << Move::Next << false << command << true << 2 << 0;
    QTest::newRow("one known picture: the command does nothing")
        << QStringList{"..", "only.jpg", "shot.dat"} << 1 << Move::Next << true << command << false << 1 << 0;
    QTest::newRow("one known picture ends the slide show")
        << QStringList{"..", "only.jpg", "shot.dat"} << 1 << Move::Next << true << show << false << 1 << 1;
    QTest::newRow("a single row ends the slide show")
        << QStringList{"only.jpg"} << 0 << Move::Next << true << show << false << 0 << 1;
    QTest::newRow("no selected row") << browser << -1 << Move::Next << true << command << false << -1 << 0;
    QTest::newRow("First when the only picture is last")
        << QStringList{"..", "sub/", "notes.txt", "only.jpg"} << 2 << Move::First << false << command << true << 3 << 0;
    QTest::newRow("First passes a folder named like a picture, not a broken picture")
        << QStringList{"..", "trip.jpg/", "bad-1.jpg", "p2.jpg", "p3.jpg"} << 4 << Move::First << false << command
        << true << 2 << 0;
    QTest::newRow("Last stops at a broken picture")
        << QStringList{"p1.jpg", "p2.jpg", "bad-3.jpg", "notes.txt"} << 0 << Move::Last << false << command << true << 2
        << 0;
    QTest::newRow("First with no picture keeps the selection")
        << QStringList{"..", "sub/", "notes.txt"} << 2 << Move::First << false << command << false << 2 << 0;
    QTest::newRow("Random with one picture shows it again")
        << QStringList{"..", "sub/", "only.jpg", "notes.txt"} << 2 << Move::Random << false << command << true << 2 << 0;
    QTest::newRow("Random without a known picture")
        << QStringList{"..", "sub/", "notes.txt", "shot.dat"} << 2 << Move::Random << false << command << false << 2
        << 0;
    QTest::newRow("Random may choose a broken picture")
        << QStringList{"..", "bad-1.jpg", "notes.txt"} << 2 << Move::Random << false << command << true << 1 << 0;
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
    QFETCH(int, ends);

    RowTable list(rows, selected);
    const int countBefore = list.pictureCount();
    Walk walk(list);
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
    QCOMPARE(walk.ends.count(), ends);
    QCOMPARE(list.firstSelectedRow(), expected);
    QCOMPARE(list.selectedCount(), expected < 0 ? 0 : 1);
    // Walking never changes what the list counts.
    QCOMPARE(list.pictureCount(), countBefore);
    if (expected >= 0)
        QCOMPARE(list.current(), expected);
    if (moved) {
        QVERIFY(list.isKnownPicture(expected));
        QCOMPARE(walk.navigator.currentPath(), QStringLiteral("/pictures/") + list.rowName(expected));
    }
}

void TestViewerNavigator::randomChoosesKnownPictures()
{
    const QStringList rows{"..", "sub/", "p1.jpg", "notes.txt", "p2.png", "bad-3.jpg", "shot.dat"};
    RowTable list(rows, 2);
    Walk walk(list);
    std::set<QString> chosen;
    for (int round = 0; round < 300; ++round) {
        QVERIFY(walk.navigator.Random());
        const QString name = list.rowName(list.firstSelectedRow());
        chosen.insert(name);
        QVERIFY2(list.isKnownPicture(int(rows.indexOf(name))), qPrintable(name));
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
    QTest::newRow("a picture after a text file") << browser << 4 << "2/3";
    QTest::newRow("last picture") << browser << 5 << "3/3";
    // Rows the list does not count have no place among the pictures.
    QTest::newRow("a text file") << browser << 3 << "";
    QTest::newRow("the parent entry") << browser << 0 << "";
    QTest::newRow("no selection") << browser << -1 << "";
}

void TestViewerNavigator::positionText()
{
    QFETCH(QStringList, rows);
    QFETCH(int, selected);
    QFETCH(QString, text);

    RowTable list(rows, selected);
    ViewerNavigator navigator;
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
    ViewerNavigator navigator;
    navigator.setList(&list);
    QSignalSpy ends(&navigator, &ViewerNavigator::endReached);

    // The file opened under a wrong extension is one of the pictures here.
    QCOMPARE(navigator.positionText(), QStringLiteral("3/3"));
    QVERIFY(!navigator.Next(false));
    QCOMPARE(ends.count(), 1);
    QVERIFY(navigator.Next(true));
    QCOMPARE(list.currentName(), QStringLiteral("wrong.dat"));
    QVERIFY(navigator.Next(true));
    QCOMPARE(list.currentName(), QStringLiteral("a.jpg"));
    QCOMPARE(navigator.positionText(), QStringLiteral("2/3"));
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
    Walk walk(list);
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
    Walk walk(list);
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
