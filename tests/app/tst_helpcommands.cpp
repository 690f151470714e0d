#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/cglobalapp.h"
#include "app/cmainframe.h"
#include "core/commands.h"
#include "viewer/cviewframe.h"

#include "parkpointer.h"

// The help and web commands of both faces hand their page to the desktop's opener: here a
// stand-in on the PATH that writes down what it was given.
class TestHelpCommands : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void opensItsPage_data();
    void opensItsPage();

private:
    QTemporaryDir m_tools;
};

void TestHelpCommands::initTestCase()
{
    QVERIFY(m_tools.isValid());
    QFile opener(m_tools.filePath(QStringLiteral("xdg-open")));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.part\" && mv \"$0.part\" \"$0.args\"\n");
    opener.close();
    QVERIFY(opener.setPermissions(opener.permissions() | QFile::ExeOwner));
    qputenv("PATH", (m_tools.path() + u':').toLocal8Bit() + qgetenv("PATH"));
    parkPointerOffScreen();
}

void TestHelpCommands::opensItsPage_data()
{
    QTest::addColumn<bool>("fromViewer");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("page");
    // The help pages are the ones the build puts beside the program.
    const QString beside = QCoreApplication::applicationDirPath() + u'/';
    QTest::newRow("Contents") << false << int(cmd::kHelpContents) << beside + "ZeltHelp.htm";
    QTest::newRow("Keyboard") << false << int(cmd::kHelpKeyboard) << beside + "keyboard.htm";
    QTest::newRow("Web Page") << false << int(cmd::kWebPage) << "https://zelt.example/pixoria/";
    QTest::newRow("Support") << false << int(cmd::kSupport) << "mailto:support@zelt.example?subject=Zelt%20Pixoria";
    QTest::newRow("Updates") << false << int(cmd::kUpdates) << "https://zelt.example/pixoria/download/";
    QTest::newRow("Contents in the viewer") << true << int(cmd::kHelpContents) << beside + "ZeltHelp.htm";
    QTest::newRow("Web Page in the viewer") << true << int(cmd::kWebPage) << "https://zelt.example/pixoria/";
}

void TestHelpCommands::opensItsPage()
{
    QFETCH(bool, fromViewer);
    QFETCH(int, command);
    QFETCH(QString, page);
    const QString record = m_tools.filePath(QStringLiteral("xdg-open.args"));
    QFile::remove(record);
    QVERIFY(QFile::exists(page) || !page.startsWith(u'/'));

    CGlobalApp app;
    QVERIFY(app.InitInstance({}));
    CCommandActions& commands = fromViewer ? app.viewerFrame()->commands() : app.browserFrame()->commands();
    QVERIFY(commands.execute(command));
    QTRY_VERIFY(QFile::exists(record));
    QFile got(record);
    QVERIFY(got.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(got.readAll()), page + u'\n');
}

QTEST_MAIN(TestHelpCommands)
#include "tst_helpcommands.moc"
