#include <QTest>

#include "app/cmycmdlineinfo.h"

class TestCommandLine : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("viewerFirst");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("newWindow");

    QTest::newRow("nothing") << QStringList() << false << 0 << QString() << false;
    QTest::newRow("-v") << QStringList{"-v"} << true << 100 << QString() << false;
    QTest::newRow("-V") << QStringList{"-V"} << true << 100 << QString() << false;
    QTest::newRow("/v") << QStringList{"/v"} << true << 100 << QString() << false;
    QTest::newRow("/V") << QStringList{"/V"} << true << 100 << QString() << false;
    QTest::newRow("--v") << QStringList{"--v"} << true << 100 << QString() << false;
    QTest::newRow("other flag still puts the viewer first") << QStringList{"-x"} << true << 0 << QString() << false;
    QTest::newRow("absolute path is no flag") << QStringList{"/v.jpg"} << true << 0 << QString("/v.jpg") << false;
    QTest::newRow("path") << QStringList{"/home/a/photo.jpg"} << true << 0 << QString("/home/a/photo.jpg") << false;
    QTest::newRow("path with flag") << QStringList{"-v", "/home/a/photo.jpg"} << true << 100
                                    << QString("/home/a/photo.jpg") << false;
    QTest::newRow("unquoted blanks joined") << QStringList{"/home/a/my", "holiday", "photo.jpg"} << true << 0
                                            << QString("/home/a/my holiday photo.jpg") << false;
    QTest::newRow("flag between parts") << QStringList{"/home/a/my", "-v", "photo.jpg"} << true << 100
                                        << QString("/home/a/my photo.jpg") << false;
    QTest::newRow("surrounding blanks trimmed") << QStringList{"  /tmp/a b.png  "} << true << 0
                                                << QString("/tmp/a b.png") << false;
    QTest::newRow("quotes kept") << QStringList{"\"/tmp/x.png\""} << true << 0 << QString("\"/tmp/x.png\"") << false;
    QTest::newRow("relative path") << QStringList{"pictures/cat.gif"} << true << 0 << QString("pictures/cat.gif") << false;
    QTest::newRow("a new window is no viewer") << QStringList{"--new-window"} << false << 0 << QString() << true;
    QTest::newRow("a new window on a folder") << QStringList{"--new-window", "/home/a"} << true << 0 << QString("/home/a")
                                              << true;
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, viewerFirst);
    QFETCH(int, mode);
    QFETCH(QString, path);
    QFETCH(bool, newWindow);

    const CMyCmdLineInfo info = CMyCmdLineInfo::parse(arguments);
    QCOMPARE(info.viewerFirst(), viewerFirst);
    QCOMPARE(info.mode, mode);
    QCOMPARE(info.path, path);
    QCOMPARE(info.newWindow, newWindow);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_cmdline.moc"
