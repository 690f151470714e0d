// The picture after a move, offscreen in the viewer's frame, on real JPEGs in a temporary folder:
// after a look-ahead hit it comes scaled for the window by a worker and is copied as it is, also
// after the window or the fit mode changed; a picture read from the file shows its preview first,
// upright and laid out as the picture will be, and zoom waits for the picture itself.

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include "core/messages.h"
#include "parkpointer.h"
#include "pictureshown.h"
#include "recordinghost.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "viewer/cimageview.h"
#include "viewer/cviewframe.h"

namespace {

// A camera-like JPEG of `size` (as stored) with a little noise, so that decoding it takes a while;
// with an EXIF orientation when `orientation` is not 0.
QString writeJpeg(const QTemporaryDir& dir, const QString& name, QSize size, int orientation = 0)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator noise(7);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int grain = int(noise.bounded(24));
            row[x] = qRgb(x * 200 / size.width() + grain, y * 200 / size.height() + grain, 100 + grain);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "JPG", 90))
        return {};
    if (orientation) {
        // An APP1 right after the start marker: "Exif", a little-endian TIFF header and IFD0 with
        // the one Orientation entry.
        QByteArray exif("Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 24);
        exif += char(orientation);
        exif += QByteArray(3 + 4, '\0');
        const quint16 length = quint16(exif.size() + 2);
        bytes.insert(2, QByteArray("\xFF\xE1") + char(length >> 8) + char(length & 0xFF) + exif);
    }
    const QString path = dir.filePath(name);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// The window as it is now, zoom lock keeping the zoom shown.
viewgeometry::FitInputs fitInputs(const CImageView& view)
{
    const ViewerWindowMetrics window = view.windowMetrics();
    return {window.client, window.fullScreen, window.workArea, window.chrome, view.controller().zoom().zoom};
}

// True once the look-ahead holds `path` laid out for the window and fit mode as they are now.
bool laidOutForNow(CImageView& view, const QString& path)
{
    CPictureLookahead& lookahead = view.controller().lookahead();
    const PreparedLayout* layout = lookahead.heldLayout();
    return !lookahead.isDecoding(path) && layout &&
           layout->request == LayoutRequest::of(view.controller().fitMode(), fitInputs(view));
}

enum class Change { None, Resize, FitMode };

} // namespace

Q_DECLARE_METATYPE(Change)

class TestPreparedPicture : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void layoutAfterAHit_data();
    void layoutAfterAHit();
    void previewUntilThePicture_data();
    void previewUntilThePicture();

private:
    void open(const QString& path);
    CImageView* view() const { return m_frame->imageView(); }
    CPictureLookahead& lookahead() const { return view()->controller().lookahead(); }

    QTemporaryDir* m_dir = nullptr;
    RecordingHost* m_host = nullptr;
    CViewFrame* m_frame = nullptr;
};

void TestPreparedPicture::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    CSettingsStore::WriteProfileInt(settingskeys::kViewMode, int(viewgeometry::FitMode::FitImageToWindow));
    m_host = new RecordingHost;
    m_frame = new CViewFrame(*m_host, m_host->options, nullptr);
    parkPointerOffScreen();
}

void TestPreparedPicture::cleanup()
{
    delete m_frame;
    delete m_host;
    delete m_dir;
}

void TestPreparedPicture::open(const QString& path)
{
    QVERIFY(!path.isEmpty());
    QVERIFY(m_host->image.Load(path));
    m_host->pending = path;
    m_host->opened = true;
    m_frame->resize(900, 700);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);
}

void TestPreparedPicture::layoutAfterAHit_data()
{
    QTest::addColumn<int>("fitCommand");
    QTest::addColumn<Change>("change");
    // Whether the worker had laid the picture out again before the move.
    QTest::addColumn<bool>("laidOutAgain");

    QTest::newRow("fit image to window") << int(cmd::kFitImageToWindow) << Change::None << true;
    QTest::newRow("best fit") << int(cmd::kBestFit) << Change::None << true;
    QTest::newRow("zoom lock") << int(cmd::kZoomLock) << Change::None << true;
    QTest::newRow("fit window to image, nothing to scale") << int(cmd::kFitWindowToImage) << Change::None << true;
    QTest::newRow("resized, laid out again") << int(cmd::kFitImageToWindow) << Change::Resize << true;
    QTest::newRow("resized just before the move") << int(cmd::kFitImageToWindow) << Change::Resize << false;
    QTest::newRow("other fit mode, laid out again") << int(cmd::kBestFit) << Change::FitMode << true;
    QTest::newRow("other fit mode just before the move") << int(cmd::kBestFit) << Change::FitMode << false;
}

void TestPreparedPicture::layoutAfterAHit()
{
    QFETCH(int, fitCommand);
    QFETCH(Change, change);
    QFETCH(bool, laidOutAgain);

    const QSize size(1600, 1200);
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        QVERIFY(!writeJpeg(*m_dir, QString::fromLatin1(name), size).isEmpty());
    open(m_dir->filePath(QStringLiteral("a.jpg")));
    QTRY_COMPARE(view()->controller().pictureList().rowCount(), 3);
    CViewerController& controller = view()->controller();
    QVERIFY(controller.hasPicture());
    // Zoom lock keeps the zoom of the fit before it.
    view()->commandTarget().execute(cmd::kFitImageToWindow);
    view()->commandTarget().execute(fitCommand);
    // A move first, so that the look-ahead works for a picture shown under these rules.
    QVERIFY(view()->commandTarget().execute(cmd::kNextImage) && pictureShown(controller));
    const QString next = m_dir->filePath(QStringLiteral("c.jpg"));
    QTRY_VERIFY(laidOutForNow(*view(), next));

    const QSize client = view()->windowMetrics().client;
    if (change == Change::Resize) {
        m_frame->resize(700, 520);
        QTRY_VERIFY(view()->windowMetrics().client != client);
        // The frame lays its bars out again once the resize arrived.
        QCoreApplication::sendPostedEvents();
    } else if (change == Change::FitMode) {
        view()->commandTarget().execute(cmd::kFitImageToWindow);
    }
    if (laidOutAgain)
        QTRY_VERIFY(laidOutForNow(*view(), next));
    const QImage prepared = laidOutAgain ? lookahead().heldLayout()->rendered : QImage();
    const double lockedZoom = controller.zoom().zoom;

    QVERIFY(view()->commandTarget().execute(cmd::kNextImage) && pictureShown(controller));
    QCOMPARE(controller.fileName(), QStringLiteral("c.jpg"));
    // Fitted to the window it was shown in.
    viewgeometry::FitInputs inputs = fitInputs(*view());
    inputs.lockedZoom = lockedZoom;
    const QSizeF fitted = viewgeometry::fitPicture(controller.fitMode(), size, inputs).display;
    const QSize display(int(fitted.width()), int(fitted.height()));
    QCOMPARE(controller.zoom().display.toSize(), display);
    const bool shrunk = display.width() < size.width();
    QCOMPARE(view()->renderedPicture().size(), shrunk ? display : QSize(0, 0));
    if (laidOutAgain) {
        // Copied as the worker left it, not scaled again.
        QCOMPARE(prepared.isNull(), !shrunk);
        QCOMPARE(view()->renderedPicture().cacheKey(), prepared.cacheKey());
    }
}

void TestPreparedPicture::previewUntilThePicture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("stored");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QSize>("upright");
    QTest::addColumn<bool>("previewed");
    QTest::addColumn<bool>("fromBrowser"); // opened in the browser, else a move of the viewer

    QTest::newRow("jpeg") << QStringLiteral("b.jpg") << QSize(3200, 2400) << 0 << QSize(3200, 2400) << true << false;
    QTest::newRow("jpeg lying on its side")
        << QStringLiteral("b.jpg") << QSize(3200, 2400) << 6 << QSize(2400, 3200) << true << false;
    QTest::newRow("png, read whole") << QStringLiteral("b.png") << QSize(1600, 1200) << 0 << QSize(1600, 1200) << false
                                     << false;
    QTest::newRow("jpeg opened in the browser")
        << QStringLiteral("b.jpg") << QSize(3200, 2400) << 0 << QSize(3200, 2400) << true << true;
}

void TestPreparedPicture::previewUntilThePicture()
{
    QFETCH(QString, name);
    QFETCH(QSize, stored);
    QFETCH(int, orientation);
    QFETCH(QSize, upright);
    QFETCH(bool, previewed);
    QFETCH(bool, fromBrowser);

    QVERIFY(!writeJpeg(*m_dir, QStringLiteral("a.jpg"), QSize(400, 300)).isEmpty());
    if (name.endsWith(QLatin1String(".png"))) {
        QImage png(stored, QImage::Format_RGB32);
        png.fill(Qt::darkCyan);
        QVERIFY(png.save(m_dir->filePath(name)));
    }
    else
        QVERIFY(!writeJpeg(*m_dir, name, stored, orientation).isEmpty());
    open(m_dir->filePath(QStringLiteral("a.jpg")));
    QTRY_COMPARE(view()->controller().pictureList().rowCount(), 2);
    CViewerController& controller = view()->controller();
    // Nothing decoded ahead: the move reads the file.
    lookahead().setBudgetBytes(0);
    lookahead().clear();

    struct Shown {
        bool preview;
        QSize picture;
        QSize display;
        bool previewUpright;
        bool zoomAllowed;
    };
    QList<Shown> shown;
    connect(&controller, &CViewerController::zoomChanged, this, [&] {
        const QImage* preview = controller.preview();
        const bool standing = preview && (preview->width() > preview->height()) == (upright.width() > upright.height());
        shown << Shown{preview != nullptr, controller.pictureSize(), controller.zoom().display.toSize(), standing,
                       view()->commandTarget().isEnabled(cmd::kZoomIn)};
        // Zoom asked for meanwhile waits for the picture.
        if (preview)
            view()->commandTarget().execute(cmd::kZoomIn);
    });
    // The browser names the picture and leaves the reading to the viewer.
    if (fromBrowser)
        appmsg::send(view(), appmsg::kLoadPictureToMemory, m_dir->filePath(name), 0, this);
    else
        QVERIFY(view()->commandTarget().execute(cmd::kNextImage));
    QVERIFY(pictureShown(controller));
    QCOMPARE(controller.fileName(), name);
    QVERIFY(!controller.preview());
    QVERIFY(!shown.isEmpty());
    const Shown& last = shown.last();
    QVERIFY(!last.preview);
    QCOMPARE(last.picture, upright);
    QVERIFY(last.zoomAllowed);
    QCOMPARE(shown.size(), previewed ? 2 : 1);
    if (previewed) {
        const Shown& first = shown.first();
        QVERIFY(first.preview);
        QVERIFY(first.previewUpright);
        QVERIFY(!first.zoomAllowed);
        // Laid out as the picture, which then takes its place without a jump.
        QCOMPARE(first.picture, last.picture);
        QCOMPARE(first.display, last.display);
    }
}

QTEST_MAIN(TestPreparedPicture)
#include "tst_preparedpicture.moc"
