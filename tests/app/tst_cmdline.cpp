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

    QTest::newRow("nothing") << QStringList() << false << 0 << QString();
    QTest::newRow("-v") << QStringList{"-v"} << true << 100 << QString();
    QTest::newRow("-V") << QStringList{"-V"} << true << 100 << QString();
    QTest::newRow("/v") << QStringList{"/v"} << true << 100 << QString();
    QTest::newRow("/V") << QStringList{"/V"} << true << 100 << QString();
    QTest::newRow("--v") << QStringList{"--v"} << true << 100 << QString();
    QTest::newRow("other flag still puts the viewer first") << QStringList{"-x"} << true << 0 << QString();
    QTest::newRow("absolute path is no flag") << QStringList{"/v.jpg"} << true << 0 << QString("/v.jpg");
    QTest::newRow("path") << QStringList{"/home/a/photo.jpg"} << true << 0 << QString("/home/a/photo.jpg");
    QTest::newRow("path with flag") << QStringList{"-v", "/home/a/photo.jpg"} << true << 100
                                    << QString("/home/a/photo.jpg");
    QTest::newRow("unquoted blanks joined") << QStringList{"/home/a/my", "holiday", "photo.jpg"} << true << 0
                                            << QString("/home/a/my holiday photo.jpg");
    QTest::newRow("flag between parts") << QStringList{"/home/a/my", "-v", "photo.jpg"} << true << 100
                                        << QString("/home/a/my photo.jpg");
    QTest::newRow("surrounding blanks trimmed") << QStringList{"  /tmp/a b.png  "} << true << 0
                                                << QString("/tmp/a b.png");
    QTest::newRow("quotes kept") << QStringList{"\"/tmp/x.png\""} << true << 0 << QString("\"/tmp/x.png\"");
    QTest::newRow("relative path") << QStringList{"pictures/cat.gif"} << true << 0 << QString("pictures/cat.gif");
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, viewerFirst);
    QFETCH(int, mode);
    QFETCH(QString, path);

    const CMyCmdLineInfo info = CMyCmdLineInfo::parse(arguments);
    QCOMPARE(info.viewerFirst(), viewerFirst);
    QCOMPARE(info.mode, mode);
    QCOMPARE(info.path, path);
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_cmdline.moc"
