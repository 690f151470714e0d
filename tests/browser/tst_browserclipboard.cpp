// Cut, Copy and Paste of files in the browser's list, on real folders, with the clipboard as
// another program fills it.

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include "browserfixture.h"
#include "core/commands.h"
#include "platform/filemime.h"

namespace {

// What puts a.png of the source folder on the clipboard.
enum class Putter { Cut, Copy, GnomeCut, KdeCopy, NoEffect };

void put(Fixture& fixture, Putter putter, const QString& path)
{
    if (putter == Putter::Cut || putter == Putter::Copy) {
        fixture.list->selectRow(int(rowNames(fixture.list).indexOf("a.png")));
        QVERIFY(fixture.view->chainHead().execute(putter == Putter::Cut ? cmd::kCut : cmd::kCopy));
        return;
    }
    // As other file managers write it: GNOME's list alone, KDE's URLs and flag, or bare URLs.
    auto* data = new QMimeData;
    const QByteArray url = QUrl::fromLocalFile(path).toEncoded();
    if (putter == Putter::GnomeCut)
        data->setData("x-special/gnome-copied-files", "cut\n" + url);
    else
        data->setUrls({QUrl::fromLocalFile(path)});
    if (putter == Putter::KdeCopy)
        data->setData("application/x-kde-cutselection", "0");
    QGuiApplication::clipboard()->setMimeData(data);
}

} // namespace

class TestBrowserClipboard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pasteFollowsTheEffect_data();
    void pasteFollowsTheEffect();
    void cutMarksLastUntilTheFolderChanges();
};

void TestBrowserClipboard::pasteFollowsTheEffect_data()
{
    QTest::addColumn<Putter>("putter");
    QTest::addColumn<bool>("pasted");
    QTest::addColumn<bool>("moved");
    QTest::newRow("cut here") << Putter::Cut << true << true;
    QTest::newRow("copied here") << Putter::Copy << true << false;
    QTest::newRow("cut by GNOME Files") << Putter::GnomeCut << true << true;
    QTest::newRow("copied by a KDE program") << Putter::KdeCopy << true << false;
    QTest::newRow("no effect given: not pasted") << Putter::NoEffect << false << false;
}

void TestBrowserClipboard::pasteFollowsTheEffect()
{
    QFETCH(Putter, putter);
    QFETCH(bool, pasted);
    QFETCH(bool, moved);
    QTemporaryDir source;
    QTemporaryDir target;
    QVERIFY(source.isValid() && target.isValid());
    writePicture(source.filePath("a.png"));
    writeFile(source.filePath("b.txt"), "text");
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, source.path()));
    put(fixture, putter, source.filePath("a.png"));
    QVERIFY(showFolder(fixture.list, target.path()));

    CCommandTarget& commands = fixture.view->chainHead();
    QCOMPARE(commands.isEnabled(cmd::kPaste), pasted);
    if (!pasted)
        return;
    QVERIFY(pasteShows(fixture, "a.png"));
    QCOMPARE(QFileInfo::exists(source.filePath("a.png")), !moved);
    QVERIFY(QFileInfo::exists(source.filePath("b.txt")));
    // A move empties the clipboard: the files are no longer where it says. A copy may go again.
    QCOMPARE(filemime::filesOf(QGuiApplication::clipboard()->mimeData()).isEmpty(), moved);
    QCOMPARE(commands.isEnabled(cmd::kPaste), !moved);
    if (moved)
        QVERIFY(!commands.execute(cmd::kPaste));
}

void TestBrowserClipboard::cutMarksLastUntilTheFolderChanges()
{
    QTemporaryDir source;
    QVERIFY(source.isValid());
    writePicture(source.filePath("a.png"));
    writeFile(source.filePath("b.txt"), "text");
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, source.path()));
    put(fixture, Putter::Cut, source.filePath("a.png"));
    const auto marked = [&fixture] {
        QStringList names;
        for (int row = 0; row < fixture.list->rows().entryCount(); ++row) {
            if (fixture.list->rows().entryAt(row)->cut)
                names << fixture.list->rows().entryAt(row)->name;
        }
        return names;
    };
    QCOMPARE(marked(), QStringList{"a.png"});
    // Copy takes the marks away; a refresh does too.
    fixture.list->selectRow(int(rowNames(fixture.list).indexOf("b.txt")));
    QVERIFY(fixture.view->chainHead().execute(cmd::kCopy));
    QCOMPARE(marked(), QStringList{});
    put(fixture, Putter::Cut, source.filePath("a.png"));
    QSignalSpy refreshed(fixture.list, &CFileListCtrl::refreshed);
    fixture.list->refresh();
    QVERIFY(refreshed.wait(kWait));
    QCOMPARE(marked(), QStringList{});
}

QTEST_MAIN(TestBrowserClipboard)
#include "tst_browserclipboard.moc"
