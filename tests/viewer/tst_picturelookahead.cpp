#include <memory>

#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "imagelib/cbmpex.h"
#include "postedevents.h"
#include "viewer/cpicturelookahead.h"

namespace {

// Two 1 x 1 frames: the header tells 4 bytes of pixels, the decoded picture holds 8.
const QByteArray kTwoFrameGif = QByteArray::fromHex("474946383961010001008000"
                                                    "00ffffff000000"
                                                    "21f90400000000002c0000000001000100000202440100"
                                                    "21f90400000000002c0000000001000100000202440100"
                                                    "3b");

// The colour of the picture's top-left pixel as the library draws it.
QColor shownColour(const CBmpEx& bmp)
{
    QImage drawn(1, 1, QImage::Format_RGB32);
    drawn.fill(Qt::black);
    QPainter painter(&drawn);
    if (!bmp.draw(&painter, QPoint(0, 0)))
        return {};
    painter.end();
    return drawn.pixelColor(0, 0);
}

} // namespace

class TestPictureLookahead : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void takeGivesThePictureDecodedBefore();
    void takeRefusesChangedFile_data();
    void takeRefusesChangedFile();
    void takeOfAnotherPathRefuses();
    void newerPrefetchSupersedesOlder();
    void takeWaitsForTheRunningDecode();
    void handedOverHandleDecodesAtFullSize();
    void budget_data();
    void budget();
    void fileThatDoesNotDecode_data();
    void fileThatDoesNotDecode();
    void clearDropsThePicture();
    void destroyWhileDecoding_data();
    void destroyWhileDecoding();

private:
    // A solid BMP: same size in pixels, same size in bytes, whatever the colour.
    QString writeBmp(const QString& name, QSize size, QColor colour);
    // Waits for the end of the latest prefetch; its `held` result.
    static bool waitForPrefetch(QSignalSpy& spy, const QString& path);

    QTemporaryDir m_dir;
    QString m_large; // a noisy 3000 x 2000 JPEG, slow enough to decode that a test can meet it
};

void TestPictureLookahead::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QImage noise(3000, 2000, QImage::Format_RGB32);
    auto* random = QRandomGenerator::global();
    for (int y = 0; y < noise.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            line[x] = 0xff000000u | random->bounded(0x1000000u);
    }
    m_large = m_dir.filePath(QStringLiteral("large.jpg"));
    QVERIFY(noise.save(m_large, "JPEG", 95));
}

QString TestPictureLookahead::writeBmp(const QString& name, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = m_dir.filePath(name);
    return image.save(path, "BMP") ? path : QString();
}

bool TestPictureLookahead::waitForPrefetch(QSignalSpy& spy, const QString& path)
{
    if (spy.isEmpty() && !spy.wait(20000))
        return false;
    const QList<QVariant> arguments = spy.takeFirst();
    return arguments.at(0).toString() == path && arguments.at(1).toBool();
}

void TestPictureLookahead::takeGivesThePictureDecodedBefore()
{
    const QString path = writeBmp(QStringLiteral("next.bmp"), QSize(40, 30), Qt::red);
    const QString shown = writeBmp(QStringLiteral("shown.bmp"), QSize(5, 5), Qt::green);
    CBmpEx current;
    QVERIFY(current.Load(shown));

    CPictureLookahead lookahead;
    QSignalSpy spy(&lookahead, &CPictureLookahead::prefetched);
    lookahead.prefetch(path);
    QVERIFY(waitForPrefetch(spy, path));
    lookahead.prefetch(path); // held and unchanged: nothing to do

    // Other pixels under the same size and time: only a second decode would see them.
    const QDateTime modified = QFileInfo(path).lastModified();
    QCOMPARE(writeBmp(QStringLiteral("next.bmp"), QSize(40, 30), Qt::blue), path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
    file.close();

    QVERIFY(lookahead.take(path, current));
    QCOMPARE(current.path(), path);
    QVERIFY(current.loaded());
    QCOMPARE(current.GetSize(), QSize(40, 30));
    QCOMPARE(shownColour(current), QColor(Qt::red));
    QVERIFY(!lookahead.take(path, current)); // handed over: held no more
    QCOMPARE(current.path(), path);
    QVERIFY(spy.isEmpty());
}

void TestPictureLookahead::takeRefusesChangedFile_data()
{
    QTest::addColumn<QSize>("rewritten"); // an empty size removes the file
    QTest::addColumn<int>("secondsLater");

    QTest::newRow("rewritten with another size") << QSize(41, 30) << 0;
    QTest::newRow("same size, later time") << QSize(40, 30) << 5;
    QTest::newRow("vanished") << QSize() << 0;
}

void TestPictureLookahead::takeRefusesChangedFile()
{
    QFETCH(QSize, rewritten);
    QFETCH(int, secondsLater);
    const QString path = writeBmp(QStringLiteral("changing.bmp"), QSize(40, 30), Qt::red);
    const QDateTime modified = QFileInfo(path).lastModified();
    CPictureLookahead lookahead;
    QSignalSpy spy(&lookahead, &CPictureLookahead::prefetched);
    lookahead.prefetch(path);
    QVERIFY(waitForPrefetch(spy, path));

    if (rewritten.isEmpty()) {
        QVERIFY(QFile::remove(path));
    } else {
        QCOMPARE(writeBmp(QStringLiteral("changing.bmp"), rewritten, Qt::blue), path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(modified.addSecs(secondsLater), QFileDevice::FileModificationTime));
    }
    CBmpEx current;
    QVERIFY(!lookahead.take(path, current));
    QVERIFY(!current.loaded());
    QCOMPARE(current.GetSize(), QSize(-1, -1));
    if (rewritten.isEmpty())
        return;

    // The stale picture is gone; asking again reads the file as it is now.
    lookahead.prefetch(path);
    QVERIFY(waitForPrefetch(spy, path));
    QVERIFY(lookahead.take(path, current));
    QCOMPARE(current.GetSize(), rewritten);
    QCOMPARE(shownColour(current), QColor(Qt::blue));
}

void TestPictureLookahead::takeOfAnotherPathRefuses()
{
    const QString path = writeBmp(QStringLiteral("wanted.bmp"), QSize(12, 12), Qt::yellow);
    const QString other = writeBmp(QStringLiteral("other.bmp"), QSize(13, 13), Qt::cyan);
    CPictureLookahead lookahead;
    QSignalSpy spy(&lookahead, &CPictureLookahead::prefetched);
    lookahead.prefetch(path);
    QVERIFY(waitForPrefetch(spy, path));

    CBmpEx current;
    QVERIFY(current.Load(other));
    QVERIFY(!lookahead.take(other, current));
    QVERIFY(!lookahead.take(path + QStringLiteral(".bmp"), current));
    QCOMPARE(current.path(), other);
    QCOMPARE(current.GetSize(), QSize(13, 13));
    QVERIFY(lookahead.take(path, current)); // still held after the refusals
    QCOMPARE(current.GetSize(), QSize(12, 12));
}

void TestPictureLookahead::newerPrefetchSupersedesOlder()
{
    const QString small = writeBmp(QStringLiteral("newer.bmp"), QSize(20, 10), Qt::magenta);
    CPictureLookahead lookahead;
    QSignalSpy spy(&lookahead, &CPictureLookahead::prefetched);
    lookahead.prefetch(m_large);
    lookahead.prefetch(small);
    QVERIFY(waitForPrefetch(spy, small));
    deliverPostedEvents();
    QVERIFY(spy.isEmpty()); // nothing ever arrives for the older one

    CBmpEx current;
    QVERIFY(!lookahead.take(m_large, current));
    QVERIFY(!current.loaded());
    QVERIFY(lookahead.take(small, current));
    QCOMPARE(current.GetSize(), QSize(20, 10));

    // And back: the newer request wins after a finished one too.
    lookahead.prefetch(small);
    lookahead.prefetch(m_large);
    QVERIFY(waitForPrefetch(spy, m_large));
    QVERIFY(!lookahead.take(small, current));
    QVERIFY(lookahead.take(m_large, current));
    QCOMPARE(current.GetSize(), QSize(3000, 2000));
}

void TestPictureLookahead::takeWaitsForTheRunningDecode()
{
    CPictureLookahead lookahead;
    CBmpEx current;
    lookahead.prefetch(m_large);
    QVERIFY(lookahead.take(m_large, current));
    QCOMPARE(current.path(), m_large);
    QCOMPARE(current.GetSize(), QSize(3000, 2000));
}

void TestPictureLookahead::handedOverHandleDecodesAtFullSize()
{
    const QString small = writeBmp(QStringLiteral("first.bmp"), QSize(6, 4), Qt::red);
    CBmpEx current;
    // A handle that drew thumbnails asks for small pictures; after take() it is the worker's.
    current.setLoadSizeHint(QSize(16, 16));
    CPictureLookahead lookahead;
    lookahead.prefetch(small);
    QVERIFY(lookahead.take(small, current));
    lookahead.prefetch(m_large);
    QVERIFY(lookahead.take(m_large, current));
    QCOMPARE(current.GetSize(), QSize(3000, 2000));
}

void TestPictureLookahead::budget_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("budget");
    QTest::addColumn<bool>("held");

    const qint64 bmpBytes = 64 * 48 * 4;
    QTest::newRow("exactly the budget") << QStringLiteral("budget.bmp") << bmpBytes << true;
    QTest::newRow("one byte over") << QStringLiteral("budget.bmp") << bmpBytes - 1 << false;
    QTest::newRow("no budget") << QStringLiteral("budget.bmp") << qint64(0) << false;
    // The header tells one frame; the frames together decide.
    QTest::newRow("one frame fits, the picture not") << QStringLiteral("frames.gif") << qint64(4) << false;
    QTest::newRow("every frame fits") << QStringLiteral("frames.gif") << qint64(8) << true;
}

void TestPictureLookahead::budget()
{
    QFETCH(QString, name);
    QFETCH(qint64, budget);
    QFETCH(bool, held);
    QString path = m_dir.filePath(name);
    if (name.endsWith(QStringLiteral(".gif"))) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(kTwoFrameGif), kTwoFrameGif.size());
    } else {
        path = writeBmp(name, QSize(64, 48), Qt::darkGreen);
    }
    CPictureLookahead lookahead;
    lookahead.setBudgetBytes(budget);
    QSignalSpy spy(&lookahead, &CPictureLookahead::prefetched);
    lookahead.prefetch(path);
    QVERIFY(spy.wait(20000));
    QCOMPARE(spy.first().at(0).toString(), path);
    QCOMPARE(spy.first().at(1).toBool(), held);
    CBmpEx current;
    QCOMPARE(lookahead.take(path, current), held);
    QCOMPARE(current.loaded(), held);
}

void TestPictureLookahead::fileThatDoesNotDecode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: no file at all

    QTest::newRow("text") << QStringLiteral("notes.jpg") << QByteArray("just some words, no picture");
    QTest::newRow("zero bytes") << QStringLiteral("empty.png") << QByteArray("", 0);
    QTest::newRow("truncated PNG") << QStringLiteral("cut.png") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    QTest::newRow("JPEG header only") << QStringLiteral("cut.jpg") << QByteArray("\xff\xd8\xff\xe0\0\x10JFIF\0", 11);
    QTest::newRow("missing") << QStringLiteral("missing.bmp") << QByteArray();
}

void TestPictureLookahead::fileThatDoesNotDecode()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString path = m_dir.filePath(name);
    if (!content.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }
    const QString shown = writeBmp(QStringLiteral("before.bmp"), QSize(7, 7), Qt::gray);
    CBmpEx current;
    QVERIFY(current.Load(shown));
    CPictureLookahead lookahead;
    QSignalSpy spy(&lookahead, &CPictureLookahead::prefetched);
    lookahead.prefetch(path);
    QVERIFY(spy.wait(20000));
    QCOMPARE(spy.first().at(1).toBool(), false);
    QVERIFY(!lookahead.take(path, current));
    QCOMPARE(current.path(), shown);
    QCOMPARE(current.GetSize(), QSize(7, 7));
}

void TestPictureLookahead::clearDropsThePicture()
{
    const QString path = writeBmp(QStringLiteral("cleared.bmp"), QSize(9, 9), Qt::darkBlue);
    CPictureLookahead lookahead;
    QSignalSpy spy(&lookahead, &CPictureLookahead::prefetched);
    lookahead.prefetch(path);
    QVERIFY(waitForPrefetch(spy, path));
    lookahead.clear();
    CBmpEx current;
    QVERIFY(!lookahead.take(path, current));

    // A decode under way is dropped too, and its end is not reported.
    lookahead.prefetch(m_large);
    lookahead.clear();
    QVERIFY(!lookahead.take(m_large, current));
    deliverPostedEvents();
    QVERIFY(spy.isEmpty());
    QVERIFY(!current.loaded());
}

void TestPictureLookahead::destroyWhileDecoding_data()
{
    QTest::addColumn<int>("delayMs"); // how long the decode runs before the object goes

    QTest::newRow("at once") << 0;
    QTest::newRow("early") << 5;
    QTest::newRow("half-way") << 40;
    QTest::newRow("after a switch") << -1;
}

void TestPictureLookahead::destroyWhileDecoding()
{
    QFETCH(int, delayMs);
    auto lookahead = std::make_unique<CPictureLookahead>();
    lookahead->prefetch(m_large);
    if (delayMs < 0) {
        // A newer request cancels the running decode while the object goes away.
        lookahead->prefetch(writeBmp(QStringLiteral("switch.bmp"), QSize(3, 3), Qt::white));
        lookahead->prefetch(m_large);
    } else {
        // A sleep, not a wait: what the decode posts meanwhile stays queued.
        QThread::msleep(ulong(delayMs));
    }
    lookahead.reset();
    // Nothing of the worker may arrive after the object has gone.
    deliverPostedEvents();
}

QTEST_GUILESS_MAIN(TestPictureLookahead)
#include "tst_picturelookahead.moc"
