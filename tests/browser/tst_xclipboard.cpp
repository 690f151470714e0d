// The files on the X clipboard as another program sees them: xclip reads what we put there and
// writes what we paste. Runs on an X server of its own (xvfb-run, -platform xcb).

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include "browserfixture.h"
#include "core/commands.h"
#include "platform/cclipboardview.h"
#include "requiredtool.h"

namespace {

// xclip's output for the clipboard's target `type`, read while our event loop serves it.
QByteArray xclipOut(const QString& type)
{
    QProcess xclip;
    QSignalSpy finished(&xclip, &QProcess::finished);
    xclip.start("xclip", {"-o", "-selection", "clipboard", "-t", type});
    if (!finished.wait(kWait))
        return "xclip did not finish";
    return xclip.readAllStandardOutput();
}

} // namespace

class TestXClipboard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    // xclip, left serving what it wrote, quits once the clipboard is taken from it.
    void cleanup() { QGuiApplication::clipboard()->clear(); }
    void othersReadWhatWePut_data();
    void othersReadWhatWePut();
    void wePasteWhatOthersPut_data();
    void wePasteWhatOthersPut();
};

void TestXClipboard::initTestCase()
{
    if (!hasTool("xclip"))
        QFAIL(missingTool("xclip", "xclip"));
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
}

void TestXClipboard::othersReadWhatWePut_data()
{
    QTest::addColumn<filemime::DropEffect>("effect");
    QTest::addColumn<QByteArray>("firstLine");
    QTest::newRow("copy") << filemime::DropEffect::Copy << QByteArray("copy");
    QTest::newRow("cut") << filemime::DropEffect::Move << QByteArray("cut");
}

void TestXClipboard::othersReadWhatWePut()
{
    QFETCH(filemime::DropEffect, effect);
    QFETCH(QByteArray, firstLine);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList paths{dir.filePath("a.png"), dir.filePath("b c#1.txt")};
    const QByteArray urls = QUrl::fromLocalFile(paths[0]).toEncoded() + '\n' + QUrl::fromLocalFile(paths[1]).toEncoded();
    CClipboardView clipboard;
    QVERIFY(clipboard.PutFiles(paths, effect));
    QCOMPARE(xclipOut("x-special/gnome-copied-files"), firstLine + '\n' + urls);
    QCOMPARE(xclipOut("text/uri-list").replace("\r\n", "\n").trimmed(), urls);
}

void TestXClipboard::wePasteWhatOthersPut_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("firstLine"); // before the URL; none for the URL list
    QTest::addColumn<bool>("pasted");
    QTest::addColumn<bool>("moved");
    QTest::newRow("cut") << "x-special/gnome-copied-files" << QByteArray("cut\n") << true << true;
    QTest::newRow("copy") << "x-special/gnome-copied-files" << QByteArray("copy\n") << true << false;
    QTest::newRow("no effect: not pasted") << "text/uri-list" << QByteArray() << false << false;
}

void TestXClipboard::wePasteWhatOthersPut()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, firstLine);
    QFETCH(bool, pasted);
    QFETCH(bool, moved);
    QTemporaryDir source;
    QTemporaryDir target;
    QVERIFY(source.isValid() && target.isValid());
    writePicture(source.filePath("a b.png"));
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, target.path()));

    CClipboardView clipboard;
    QProcess xclip;
    xclip.start("xclip", {"-i", "-selection", "clipboard", "-t", type});
    xclip.write(firstLine + QUrl::fromLocalFile(source.filePath("a b.png")).toEncoded());
    xclip.closeWriteChannel();
    // Every view of the clipboard learns of the change at once.
    QTRY_COMPARE_WITH_TIMEOUT(clipboard.files(), QStringList{source.filePath("a b.png")}, kWait);

    CCommandTarget& commands = fixture.view->chainHead();
    QCOMPARE(commands.isEnabled(cmd::kPaste), pasted);
    if (!pasted)
        return;
    QVERIFY(pasteShows(fixture, "a b.png"));
    QCOMPARE(QFileInfo::exists(source.filePath("a b.png")), !moved);
    QTRY_COMPARE_WITH_TIMEOUT(clipboard.files().isEmpty(), moved, kWait);
}

QTEST_MAIN(TestXClipboard)
#include "tst_xclipboard.moc"
