// The preview bar: placing the area, the zoom modes and their menu, animation with each frame's
// own delay, the dropped request, a picture that does not load, the stale stretch while the bar
// is resized and the sharp render after it, and the clip requests that ShowVideo governs.

#include <QBuffer>
#include <QDataStream>
#include <QImage>
#include <QLoggingCategory>
#include <QMainWindow>
#include <QMediaPlayer>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include "browser/cliptestdata.h"
#include "browser/cmediawnd.h"
#include "browser/cpreviewarea.h"
#include "browser/cpreviewbar.h"
#include "imagelib/cbmpex.h"
#include "postedevents.h"
#include "recordinghost.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"

namespace {

QString writePicture(const QTemporaryDir& dir, const QString& name, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString path = dir.filePath(name);
    return image.save(path, "PNG") ? path : QString();
}

// A GIF of 2 x 2 frames in four colours, one colour per frame, with the given delays in
// hundredths of a second. The pixel codes are stored uncompressed: a clear code after every two
// keeps the code size at three bits.
QString writeAnimatedGif(const QTemporaryDir& dir, const QList<int>& delays)
{
    QByteArray gif("GIF89a");
    auto u16 = [&gif](int value) {
        gif.append(char(value & 0xff));
        gif.append(char((value >> 8) & 0xff));
    };
    u16(2);
    u16(2);
    gif.append("\xf1\x00\x00", 3); // a global table of four colours
    gif.append("\xff\x00\x00\x00\xff\x00\x00\x00\xff\xff\xff\xff", 12);
    gif.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (int frame = 0; frame < delays.size(); ++frame) {
        gif.append("\x21\xf9\x04\x00", 4);
        u16(delays[frame]);
        gif.append("\x00\x00", 2);
        gif.append(',');
        u16(0);
        u16(0);
        u16(2);
        u16(2);
        gif.append('\x00');
        gif.append('\x02'); // minimum code size
        const int colour = frame % 4;
        const QList<int> codes{4, colour, colour, 4, colour, colour, 5};
        QByteArray data;
        int bits = 0;
        int count = 0;
        for (int code : codes) {
            bits |= code << count;
            count += 3;
            while (count >= 8) {
                data.append(char(bits & 0xff));
                bits >>= 8;
                count -= 8;
            }
        }
        if (count > 0)
            data.append(char(bits & 0xff));
        gif.append(char(data.size()));
        gif.append(data);
        gif.append('\x00');
    }
    gif.append(';');
    return cliptest::writeFile(dir, QStringLiteral("anim.gif"), gif);
}

// An icon holding a 16 x 16 and a 32 x 32 picture, each stored as PNG.
QString writeTwoImageIcon(const QTemporaryDir& dir)
{
    QList<QByteArray> pngs;
    for (int side : {16, 32}) {
        QImage image(side, side, QImage::Format_ARGB32);
        image.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        pngs << png;
    }
    QByteArray ico;
    QDataStream out(&ico, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(pngs.size());
    quint32 offset = 6 + 16 * quint32(pngs.size());
    for (int i = 0; i < pngs.size(); ++i) {
        const int side = i == 0 ? 16 : 32;
        out << quint8(side) << quint8(side) << quint8(0) << quint8(0) << quint16(1) << quint16(32)
            << quint32(pngs[i].size()) << offset;
        offset += quint32(pngs[i].size());
    }
    for (const QByteArray& png : pngs)
        out.writeRawData(png.constData(), int(png.size()));
    return cliptest::writeFile(dir, QStringLiteral("two.ico"), ico);
}

QString writeWav(const QTemporaryDir& dir)
{
    return cliptest::writeFile(dir, QStringLiteral("tone.wav"), cliptest::wavBytes(2));
}

int currentSlide(const RecordingHost& host)
{
    return host.image.currentSlide();
}

// A frame with the bar floating at a client size of exactly `client`.
struct Fixture {
    explicit Fixture(QSize client) : bar(&frame, host, host.options)
    {
        frame.addDockWidget(Qt::LeftDockWidgetArea, &bar);
        frame.resize(640, 480);
        frame.show();
        bar.setFloating(true);
        bar.show();
        resizeClient(client);
    }
    void resizeClient(QSize client)
    {
        bar.resize(bar.size() + client - bar.client()->size());
        QTRY_COMPARE(bar.client()->size(), client);
    }
    // Shows `path` as a picture and waits for its first paint.
    bool showPicture(const QString& path)
    {
        bar.PreviewFile(path, CPreviewBar::kPicture);
        return QTest::qWaitFor([this] { return bar.area()->ready(); }) && bar.showingImage();
    }

    RecordingHost host;
    QMainWindow frame;
    CPreviewBar bar;
};

} // namespace

class TestPreviewBar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void placeRect_data();
    void placeRect();
    void placesAreaInBar_data();
    void placesAreaInBar();
    void zoomModeRendersTargetAndRepeatIsNothing();
    void animatedGifAdvancesWithItsDelays();
    void multiImageIconIsNotAnimated();
    void requestBeforePaintIsDropped();
    void pictureThatDoesNotLoadClears();
    void staleStretchThenSharpRenderAfterRelease();
    void staleWithoutButtonRendersAfterQuiet();
    void doubleClickSwitchesToViewer();
    void clipWithShowVideoOffLeavesPreview();
    void clipPlaysInStripNarrowerThanBar();
    void clipThatCannotOpenLeavesBarEmpty();

private:
    QTemporaryDir m_dir;
};

void TestPreviewBar::init()
{
    QVERIFY(m_dir.isValid());
    CSettingsStore::WriteProfileInt(settingskeys::kShowVideo, 1);
}

void TestPreviewBar::placeRect_data()
{
    QTest::addColumn<QSize>("target");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<QRect>("expected");
    QTest::newRow("fits: centred with its frame") << QSize(100, 80) << QSize(300, 200) << QRect(98, 58, 104, 84);
    QTest::newRow("wide: spans the width") << QSize(1000, 500) << QSize(300, 200) << QRect(0, 25, 300, 150);
    QTest::newRow("tall: spans the height") << QSize(200, 1000) << QSize(300, 200) << QRect(130, 0, 40, 200);
    QTest::newRow("frame reaches the side") << QSize(296, 80) << QSize(300, 200) << QRect(0, 58, 300, 84);
    QTest::newRow("one pixel short fits") << QSize(295, 80) << QSize(300, 200) << QRect(0, 58, 299, 84);
    QTest::newRow("no picture") << QSize(0, 0) << QSize(300, 200) << QRect(148, 98, 4, 4);
    QTest::newRow("collapsed bar") << QSize(100, 80) << QSize(0, 0) << QRect(0, 0, 0, 0);
}

void TestPreviewBar::placeRect()
{
    QFETCH(QSize, target);
    QFETCH(QSize, client);
    QFETCH(QRect, expected);
    QCOMPARE(CPreviewArea::placeRect(target, client), expected);
}

void TestPreviewBar::placesAreaInBar_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QSize>("render");
    QTest::newRow("100 x 80 unscaled") << QSize(100, 80) << QRect(98, 58, 104, 84) << QSize(100, 80);
    // The render fills the area inside its frame.
    QTest::newRow("1000 x 500 spans the width") << QSize(1000, 500) << QRect(0, 25, 300, 150) << QSize(296, 146);
}

void TestPreviewBar::placesAreaInBar()
{
    QFETCH(QSize, picture);
    QFETCH(QRect, area);
    QFETCH(QSize, render);
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writePicture(m_dir, QStringLiteral("p.png"), picture)));
    CPreviewArea* previewArea = fixture.bar.area();
    QVERIFY(previewArea->isVisible());
    QCOMPARE(previewArea->zoomMode(), int(CPreviewArea::kAutoSize));
    QCOMPARE(previewArea->geometry(), area);
    QCOMPARE(previewArea->renderImage().size(), render);
    QCOMPARE(previewArea->viewport()->size(), render);
}

void TestPreviewBar::zoomModeRendersTargetAndRepeatIsNothing()
{
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writePicture(m_dir, QStringLiteral("big.png"), {1000, 600})));
    CPreviewArea* area = fixture.bar.area();
    const QList<QAction*> entries = area->zoomMenu()->actions();
    QCOMPARE(entries.size(), 5);
    QCOMPARE(entries[3]->text(), QStringLiteral("1/4 Size"));

    entries[3]->trigger();
    QCOMPARE(area->zoomMode(), int(CPreviewArea::kQuarterSize));
    QCOMPARE(area->targetSize(), QSize(250, 150));
    QCOMPARE(area->renderImage().size(), QSize(250, 150));
    QVERIFY(entries[3]->isChecked());
    const qint64 rendered = area->renderImage().cacheKey();
    entries[3]->trigger();
    QCOMPARE(area->renderImage().cacheKey(), rendered);

    // Another mode renders again, at its own divisor, and may be panned when it does not fit.
    entries[2]->trigger();
    QVERIFY(area->renderImage().cacheKey() != rendered);
    QCOMPARE(area->renderImage().size(), QSize(500, 300));
    QCOMPARE(area->geometry(), QRect(0, 10, 300, 180));
    QVERIFY(area->canPan());
    QCOMPARE(area->viewport()->cursor().shape(), Qt::OpenHandCursor);
    entries[0]->trigger();
    QVERIFY(!area->canPan());
}

void TestPreviewBar::animatedGifAdvancesWithItsDelays()
{
    // Delays far apart from each other and long enough for every frame to be seen.
    const QList<int> delays{20, 30, 40};
    const QList<QColor> frameColours{Qt::red, Qt::green, Qt::blue};
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writeAnimatedGif(m_dir, delays)));
    CPreviewArea* area = fixture.bar.area();
    QVERIFY(area->animated());
    for (int slide : {0, 1, 2, 0}) {
        QTRY_COMPARE(currentSlide(fixture.host), slide);
        QTRY_COMPARE(area->frameDelay(), delays[slide] * 10);
        QCOMPARE(area->renderImage().pixelColor(0, 0), frameColours[slide]);
    }
}

void TestPreviewBar::multiImageIconIsNotAnimated()
{
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writeTwoImageIcon(m_dir)));
    QCOMPARE(fixture.host.image.slideCount(), 2);
    QVERIFY(!fixture.bar.area()->animated());
    QCOMPARE(fixture.bar.area()->frameDelay(), -1);
}

void TestPreviewBar::requestBeforePaintIsDropped()
{
    Fixture fixture({300, 200});
    const QString first = writePicture(m_dir, QStringLiteral("first.png"), {100, 80});
    const QString second = writePicture(m_dir, QStringLiteral("second.png"), {60, 40});
    fixture.bar.PreviewFile(first, CPreviewBar::kPicture);
    fixture.bar.PreviewFile(second, CPreviewBar::kPicture);
    QCOMPARE(fixture.host.image.path(), first);
    QTRY_VERIFY(fixture.bar.area()->ready());
    QCOMPARE(fixture.bar.area()->renderImage().size(), QSize(100, 80));
    QVERIFY(fixture.showPicture(second));
    QCOMPARE(fixture.host.image.path(), second);
    QCOMPARE(fixture.bar.area()->renderImage().size(), QSize(60, 40));
}

void TestPreviewBar::pictureThatDoesNotLoadClears()
{
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writePicture(m_dir, QStringLiteral("good.png"), {100, 80})));
    const QString broken =
        cliptest::writeFile(m_dir, QStringLiteral("broken.png"), QByteArray("\x89PNG\r\n\x1a\n truncated"));

    fixture.bar.PreviewFile(broken, CPreviewBar::kPicture);
    QVERIFY(!fixture.bar.showingImage());
    QVERIFY(fixture.bar.area()->isHidden());
    QVERIFY(fixture.bar.area()->renderImage().isNull());
    // Why, in place of the picture.
    QCOMPARE(fixture.bar.failureText(), QStringLiteral("Cannot read broken.png: truncated file"));
    // The cleared bar takes the next picture at once.
    QVERIFY(fixture.showPicture(writePicture(m_dir, QStringLiteral("next.png"), {50, 50})));
    QVERIFY(fixture.bar.failureText().isEmpty());
}

void TestPreviewBar::staleStretchThenSharpRenderAfterRelease()
{
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writePicture(m_dir, QStringLiteral("wide.png"), {1000, 500})));
    CPreviewArea* area = fixture.bar.area();
    QCOMPARE(area->renderImage().size(), QSize(296, 146));

    // The user holds the button on a separator of the frame while dragging it.
    QTest::mousePress(&fixture.frame, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(QApplication::mouseButtons() & Qt::LeftButton);
    fixture.resizeClient({400, 300});
    QVERIFY(area->stale());
    QCOMPARE(area->geometry(), QRect(0, 50, 400, 200));
    QCOMPARE(area->renderImage().size(), QSize(296, 146));
    // Nothing but the release renders now: no quiet spell is awaited, and nothing is queued.
    QVERIFY(!fixture.bar.quietRenderPending());
    deliverPostedEvents();
    QVERIFY(area->stale());
    QCOMPARE(area->renderImage().size(), QSize(296, 146));

    QTest::mouseRelease(&fixture.frame, Qt::LeftButton, {}, QPoint(5, 5));
    QTRY_VERIFY(!area->stale());
    QCOMPARE(area->renderImage().size(), QSize(396, 196));
}

void TestPreviewBar::staleWithoutButtonRendersAfterQuiet()
{
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writePicture(m_dir, QStringLiteral("wide.png"), {1000, 500})));
    CPreviewArea* area = fixture.bar.area();
    fixture.resizeClient({200, 300});
    QVERIFY(area->stale());
    QCOMPARE(area->renderImage().size(), QSize(296, 146));
    QTRY_VERIFY(!area->stale());
    QCOMPARE(area->geometry(), QRect(0, 100, 200, 100));
    QCOMPARE(area->renderImage().size(), QSize(196, 96));
}

void TestPreviewBar::doubleClickSwitchesToViewer()
{
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writePicture(m_dir, QStringLiteral("p.png"), {100, 80})));
    QTest::mouseDClick(fixture.bar.area()->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(fixture.host.switches, QList<int>{0});
    QVERIFY(fixture.bar.area()->renderImage().isNull());
    // The viewer gets the image as loaded.
    QCOMPARE(fixture.host.image.GetSize(), QSize(100, 80));
}

void TestPreviewBar::clipWithShowVideoOffLeavesPreview()
{
    QVERIFY(CSettingsStore::WriteProfileInt(settingskeys::kShowVideo, 0));
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writePicture(m_dir, QStringLiteral("p.png"), {100, 80})));
    fixture.bar.PreviewFile(writeWav(m_dir), CPreviewBar::kClip);
    QVERIFY(fixture.bar.showingImage());
    QVERIFY(fixture.bar.area()->isVisible());
    QVERIFY(!fixture.bar.mediaWnd());
}

void TestPreviewBar::clipPlaysInStripNarrowerThanBar()
{
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writePicture(m_dir, QStringLiteral("p.png"), {100, 80})));
    fixture.bar.PreviewFile(writeWav(m_dir), CPreviewBar::kClip);
    QVERIFY(!fixture.bar.showingImage());
    QVERIFY(fixture.bar.area()->isHidden());
    CMediaWnd* media = fixture.bar.mediaWnd();
    QVERIFY(media);
    if (!media->player()->isAvailable())
        QSKIP("Qt Multimedia has no working backend here");
    QVERIFY(media->isVisible());
    const QRect strip = media->geometry();
    QCOMPARE(strip.left(), 5);
    QCOMPARE(strip.width(), 290);
    QCOMPARE(strip.top(), (200 - strip.height()) / 2);
    // A resize of the bar places the strip again.
    fixture.resizeClient({260, 120});
    QCOMPARE(media->geometry().width(), 250);
    QCOMPARE(media->geometry().top(), (120 - strip.height()) / 2);
}

void TestPreviewBar::clipThatCannotOpenLeavesBarEmpty()
{
    QLoggingCategory::setFilterRules(QStringLiteral("pixoria.browser.debug=true"));
    Fixture fixture({300, 200});
    QVERIFY(fixture.showPicture(writePicture(m_dir, QStringLiteral("p.png"), {100, 80})));
    QTest::ignoreMessage(QtDebugMsg, "MCICreate error!");
    fixture.bar.PreviewFile(m_dir.filePath(QStringLiteral("missing.wav")), CPreviewBar::kClip);
    QVERIFY(!fixture.bar.mediaWnd());
    QVERIFY(!fixture.bar.showingImage());
    QVERIFY(fixture.bar.area()->isHidden());
    QLoggingCategory::setFilterRules({});
}

QTEST_MAIN(TestPreviewBar)
#include "tst_previewbar.moc"
