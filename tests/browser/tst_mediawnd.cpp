// The clip window: opening (empty and missing paths, a sound with its duration, a clip with a
// picture and its size, a file that is no clip), the placing rules and the time text.
// Offscreen, the GStreamer backend's video sink stalls the event loop once a clip with a picture
// plays, so this test asks for the FFmpeg backend unless one is chosen; the preview bar's test
// plays sound through the default backend.

#include <QApplication>
#include <QMediaPlayer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "browser/cliptestdata.h"
#include "browser/cmediawnd.h"
#include "postedevents.h"

using namespace cliptest;

class TestMediaWnd : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void openRefusesEmptyAndMissingPaths();
    void soundOpensWithItsDuration();
    void clipWithPictureTakesItsSize();
    void fileThatIsNoClipFails();
    void fitRect_data();
    void fitRect();
    void timeText_data();
    void timeText();

private:
    QTemporaryDir m_dir;
    QWidget m_bar;
};

void TestMediaWnd::init()
{
    QVERIFY(m_dir.isValid());
    m_bar.resize(300, 200);
    m_bar.show();
    QVERIFY(QTest::qWaitForWindowExposed(&m_bar));
}

void TestMediaWnd::openRefusesEmptyAndMissingPaths()
{
    CMediaWnd media(&m_bar);
    QVERIFY(!media.open({}));
    QVERIFY(!media.open(m_dir.filePath(QStringLiteral("missing.wav"))));
    QVERIFY(!media.open(m_dir.path()));
    QVERIFY(media.isHidden());
}

void TestMediaWnd::soundOpensWithItsDuration()
{
    CMediaWnd media(&m_bar);
    if (!media.player()->isAvailable())
        QSKIP("Qt Multimedia has no working backend here");
    QVERIFY(media.open(writeFile(m_dir, QStringLiteral("tone.wav"), wavBytes(2))));
    QVERIFY(media.isVisible());
    QTRY_COMPARE(media.player()->duration(), qint64(2000));
    QVERIFY(!media.hasVideo());
    media.FitToParent(m_bar.size());
    QCOMPARE(media.geometry(), QRect(5, (200 - media.height()) / 2, 290, media.height()));
}

void TestMediaWnd::clipWithPictureTakesItsSize()
{
    CMediaWnd media(&m_bar);
    if (!media.player()->isAvailable())
        QSKIP("Qt Multimedia has no working backend here");
    QSignalSpy failed(&media, &CMediaWnd::failed);
    QVERIFY(media.open(writeFile(m_dir, QStringLiteral("clip.avi"), aviBytes({160, 120}, 20))));
    QTRY_VERIFY(media.hasVideo());
    QCOMPARE(failed.count(), 0);
    const int strip = media.stripHeight();
    QCOMPARE(media.naturalSize(), QSize(160, 120 + strip));
    // It placed itself in its parent when the picture became known: natural size and frame.
    QCOMPARE(media.geometry(), QRect((300 - 164) / 2, (200 - (124 + strip)) / 2, 164, 124 + strip));
    QCOMPARE(media.frameWidth(), 2);
}

void TestMediaWnd::fileThatIsNoClipFails()
{
    CMediaWnd media(&m_bar);
    if (!media.player()->isAvailable())
        QSKIP("Qt Multimedia has no working backend here");
    QSignalSpy failed(&media, &CMediaWnd::failed);
    QByteArray noise(4096, '\0');
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) % 251);
    // The open succeeds; the player finds out later.
    if (media.open(writeFile(m_dir, QStringLiteral("noise.avi"), noise)))
        QTRY_COMPARE(failed.count(), 1);
    else
        QCOMPARE(failed.count(), 1);
    deliverPostedEvents();
    QCOMPARE(failed.count(), 1);
}

void TestMediaWnd::fitRect_data()
{
    QTest::addColumn<QSize>("bar");
    QTest::addColumn<bool>("hasVideo");
    QTest::addColumn<QSize>("natural");
    QTest::addColumn<int>("strip");
    QTest::addColumn<int>("ownHeight");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("sound: strip 10 narrower, centred")
        << QSize(300, 200) << false << QSize() << 30 << 30 << QRect(5, 85, 290, 30);
    QTest::newRow("sound: odd height") << QSize(201, 101) << false << QSize() << 30 << 30 << QRect(5, 35, 191, 30);
    QTest::newRow("picture fits with its frame")
        << QSize(300, 200) << true << QSize(160, 150) << 30 << 0 << QRect(68, 23, 164, 154);
    // Picture part 396 x 296 in room 296 x 166: the height decides, 166 / 296.
    QTest::newRow("picture too tall: scaled by the height")
        << QSize(300, 200) << true << QSize(400, 330) << 30 << 0 << QRect(37, 0, 226, 200);
    // Picture part 596 x 196 in room 296 x 166: the width decides, 296 / 596.
    QTest::newRow("picture too wide: scaled by the width")
        << QSize(300, 200) << true << QSize(600, 230) << 30 << 0 << QRect(0, 34, 300, 131);
    QTest::newRow("frame reaches the side: scaled")
        << QSize(300, 200) << true << QSize(296, 100) << 30 << 0 << QRect(0, 50, 300, 100);
}

void TestMediaWnd::fitRect()
{
    QFETCH(QSize, bar);
    QFETCH(bool, hasVideo);
    QFETCH(QSize, natural);
    QFETCH(int, strip);
    QFETCH(int, ownHeight);
    QFETCH(QRect, expected);
    QCOMPARE(CMediaWnd::fitRect(bar, hasVideo, natural, strip, ownHeight), expected);
}

void TestMediaWnd::timeText_data()
{
    QTest::addColumn<qint64>("milliseconds");
    QTest::addColumn<QString>("expected");
    QTest::newRow("zero") << qint64(0) << QStringLiteral("0:00");
    QTest::newRow("part of a second") << qint64(999) << QStringLiteral("0:00");
    QTest::newRow("a minute and one") << qint64(61000) << QStringLiteral("1:01");
    QTest::newRow("an hour in minutes") << qint64(3600000) << QStringLiteral("60:00");
    QTest::newRow("unknown") << qint64(-1) << QStringLiteral("0:00");
}

void TestMediaWnd::timeText()
{
    QFETCH(qint64, milliseconds);
    QFETCH(QString, expected);
    QCOMPARE(CMediaWnd::timeText(milliseconds), expected);
}

QTEST_MAIN(TestMediaWnd)

#include "tst_mediawnd.moc"
