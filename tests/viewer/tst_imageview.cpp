// The image view in its frame, offscreen, on real pictures in a temporary folder: the zoom steps
// and fit modes through the view's commands, the frame sizes, moving through its own list of the
// folder with keys, commands and the slide show, transforms, the crop after a zoom, printing to a
// PDF through the Print command, the status texts and the hand-back to the browser.

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gif_lib.h>

#include "core/messages.h"
#include "imagelib/cbmpex.h"
#include "imagelib/flm.h"
#include "parkpointer.h"
#include "pictureshown.h"
#include "recordinghost.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "viewer/cimageview.h"
#include "viewer/cviewframe.h"

namespace {

// A picture in four coloured quarters, so that a cut shows which part it took.
QString writeQuarters(const QTemporaryDir& dir, const QString& name, QSize size, const char* format = "PNG")
{
    QImage image(size, QImage::Format_RGB32);
    const int halfWidth = size.width() / 2;
    const int halfHeight = size.height() / 2;
    QPainter painter(&image);
    painter.fillRect(0, 0, halfWidth, halfHeight, Qt::red);
    painter.fillRect(halfWidth, 0, size.width() - halfWidth, halfHeight, Qt::green);
    painter.fillRect(0, halfHeight, halfWidth, size.height() - halfHeight, Qt::blue);
    painter.fillRect(halfWidth, halfHeight, size.width() - halfWidth, size.height() - halfHeight, Qt::yellow);
    painter.end();
    const QString path = dir.filePath(name);
    return image.save(path, format) ? path : QString();
}

int appendToFile(GifFileType* gif, const GifByteType* data, int length)
{
    return int(static_cast<QFile*>(gif->UserData)->write(reinterpret_cast<const char*>(data), length));
}

// An animated GIF of `frames` slides of 16 x 16, each one colour, each shown for 20 ms.
QString writeAnimation(const QTemporaryDir& dir, int frames)
{
    const QString path = dir.filePath(QStringLiteral("spin.gif"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    int error = 0;
    GifFileType* gif = EGifOpen(&file, appendToFile, &error);
    if (!gif)
        return {};
    EGifSetGifVersion(gif, true);
    GifColorType colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    bool ok = EGifPutScreenDesc(gif, 16, 16, 2, 0, map) == GIF_OK;
    for (int i = 0; i < frames; ++i) {
        const GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 2, NO_TRANSPARENT_COLOR};
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_OK &&
             EGifPutImageDesc(gif, 0, 0, 16, 16, false, nullptr) == GIF_OK;
        QByteArray row(16, char(i % 4));
        for (int y = 0; y < 16; ++y)
            ok = ok && EGifPutLine(gif, reinterpret_cast<GifPixelType*>(row.data()), 16) == GIF_OK;
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok ? path : QString();
}

int currentSlide(CBmpEx& picture)
{
    return picture.currentSlide();
}

int countPdfPages(const QString& pdf)
{
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return int(QString::fromLatin1(file.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
}

QRect workAreaOf(const QWidget& widget)
{
    return widget.screen()->availableGeometry();
}

} // namespace

class TestImageView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void zoomSteps_data();
    void zoomSteps();
    void bestFitEnlargesASmallPicture();
    void fitWindowGivesTheSmallestFrame();
    void ownListScan();
    void statusAndTitle();
    void noImages();
    void moving_data();
    void moving();
    void randomWithOnePicture();
    void loadingShowsWhileTheFileIsRead();
    void slideShowStopsOnTheLast();
    void rotationIsGoneAfterNextAndBack();
    void cropAfterZoomUsesPicturePixels();
    void failedCropRestoresThePicture();
    void arrowsPushThePicture();
    void printCommand_data();
    void printCommand();
    void enterHandsBack();
    void keypadShortcuts_data();
    void keypadShortcuts();
    void zoomKeys_data();
    void zoomKeys();
    void animationRestartsAfterZoom();
    void dragPansALargePicture();
    void clickInsideTheSelectionZoomsToIt();

private:
    // Opens `path` as if from the command line, in a frame of the given outer size.
    void open(const QString& path, QSize frameSize = QSize(900, 700));
    void waitForList(int rows);
    CImageView* view() const { return m_frame->imageView(); }
    bool run(int command) { return view()->commandTarget().execute(command) && pictureShown(view()->controller()); }

    QTemporaryDir* m_dir = nullptr;
    BrowserStandIn m_browser;
    RecordingHost* m_host = nullptr;
    CViewFrame* m_frame = nullptr;
};

void TestImageView::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    CSettingsStore::WriteProfileInt(settingskeys::kViewMode, 0);
    m_host = new RecordingHost;
    m_host->browser = &m_browser;
    m_frame = new CViewFrame(*m_host, m_host->options, nullptr);
    parkPointerOffScreen();
}

void TestImageView::cleanup()
{
    delete m_frame;
    delete m_host;
    delete m_dir;
}

void TestImageView::open(const QString& path, QSize frameSize)
{
    QVERIFY(!path.isEmpty());
    QVERIFY(m_host->image.Load(path));
    m_host->pending = path;
    m_host->opened = true;
    m_frame->resize(frameSize);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);
}

void TestImageView::waitForList(int rows)
{
    QTRY_COMPARE(view()->controller().pictureList().rowCount(), rows);
}

void TestImageView::zoomSteps_data()
{
    QTest::addColumn<int>("fitCommand");
    QTest::addColumn<int>("command");
    QTest::addColumn<QList<double>>("zooms");

    QTest::newRow("in from 1.0") << 0 << int(cmd::kZoomIn) << QList<double>{1.5, 2.0, 3.0, 5.0, 5.0};
    QTest::newRow("out from 1.0") << 0 << int(cmd::kZoomOut) << QList<double>{0.7, 0.5, 0.3, 0.2, 0.1, 0.1};
    QTest::newRow("in from a fit") << int(cmd::kFitImageToWindow) << int(cmd::kZoomIn) << QList<double>{0.5, 0.7};
    QTest::newRow("out from a fit") << int(cmd::kFitImageToWindow) << int(cmd::kZoomOut) << QList<double>{0.3, 0.2};
}

void TestImageView::zoomSteps()
{
    QFETCH(int, fitCommand);
    QFETCH(int, command);
    QFETCH(QList<double>, zooms);

    // Fitted into a client of about 900 x 600, this picture gets a zoom of about 0.42.
    const QSize picture(2100, 1050);
    open(writeQuarters(*m_dir, QStringLiteral("wide.png"), picture));
    QCOMPARE(view()->controller().zoom().zoom, 1.0);
    if (fitCommand) {
        QVERIFY(run(fitCommand));
        QVERIFY(view()->commandTarget().isChecked(fitCommand));
        const double fitted = view()->controller().zoom().zoom;
        QVERIFY2(fitted > 0.3 && fitted < 0.5, qPrintable(QString::number(fitted)));
    }
    for (double expected : zooms) {
        QVERIFY(run(command));
        QCOMPARE(view()->controller().zoom().zoom, expected);
        QCOMPARE(view()->contentSize(), QSize(int(picture.width() * expected), int(picture.height() * expected)));
    }
    // Actual Size goes back to the picture's own size.
    QVERIFY(run(cmd::kActualSize));
    QCOMPARE(view()->contentSize(), picture);
}

void TestImageView::bestFitEnlargesASmallPicture()
{
    // The view takes its mode from the options when it comes.
    delete m_frame;
    m_host->options.ViewMode = int(viewgeometry::FitMode::BestFit);
    m_frame = new CViewFrame(*m_host, m_host->options, nullptr);
    open(writeQuarters(*m_dir, QStringLiteral("tiny.png"), QSize(10, 10)), QSize(500, 400));
    const QRect work = workAreaOf(*m_frame);
    const double zoom = view()->controller().zoom().zoom;
    QVERIFY2(zoom > 10, qPrintable(QString::number(zoom)));
    // The frame fills the work area's height, and the client holds the whole display.
    QVERIFY(m_frame->frameGeometry().height() >= work.height() - 8);
    QVERIFY(m_frame->frameGeometry().height() <= work.height() + 2);
    QVERIFY(view()->viewport()->width() >= view()->contentSize().width());
    QVERIFY(view()->viewport()->height() >= view()->contentSize().height());
}

void TestImageView::fitWindowGivesTheSmallestFrame()
{
    open(writeQuarters(*m_dir, QStringLiteral("small.png"), QSize(50, 50)));
    const QRect work = workAreaOf(*m_frame);
    QCOMPARE(m_frame->frameGeometry().width(), 400);
    QCOMPARE(m_frame->frameGeometry().x(), (work.x() + work.width() - 400) / 2);
    QCOMPARE(view()->contentSize(), QSize(50, 50));
}

void TestImageView::ownListScan()
{
    // A picture with a wrong extension comes first, the hidden picture never.
    writeQuarters(*m_dir, QStringLiteral("a.png"), QSize(20, 20));
    writeQuarters(*m_dir, QStringLiteral("b.jpg"), QSize(20, 20), "JPEG");
    writeQuarters(*m_dir, QStringLiteral(".hidden.png"), QSize(20, 20));
    const QString odd = writeQuarters(*m_dir, QStringLiteral("odd.dat"), QSize(30, 20));
    open(odd);
    waitForList(3);
    const PictureList& list = view()->controller().pictureList();
    QCOMPARE(list.rowName(0), QStringLiteral("odd.dat"));
    QStringList others{list.rowName(1), list.rowName(2)};
    others.sort();
    QCOMPARE(others, (QStringList{QStringLiteral("a.png"), QStringLiteral("b.jpg")}));

    // A second file of the same folder keeps the list: no new scan.
    const QString second = m_dir->filePath(list.rowName(2));
    QVERIFY(m_host->image.Load(second));
    m_host->pending = second;
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);
    QCOMPARE(view()->fileName(), list.rowName(2));
    QCOMPARE(view()->controller().statusTexts().value(0), QStringLiteral("3/3"));
    QVERIFY(m_host->pending.isEmpty());
}

void TestImageView::statusAndTitle()
{
    const QString path = writeQuarters(*m_dir, QStringLiteral("harbour.png"), QSize(64, 48));
    open(path);
    waitForList(1);
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("harbour.png - Zelt Pixoria"));
    QTRY_COMPARE(view()->controller().statusTexts().value(0), QStringLiteral("1/1"));
    const QStringList texts = view()->controller().statusTexts();
    QCOMPARE(texts.size(), 5);
    QCOMPARE(texts.at(1), QStringLiteral("harbour.png"));
    QCOMPARE(texts.at(2), viewgeometry::fileSizeText(QFileInfo(path).size()));
    QVERIFY2(texts.at(3).startsWith(QStringLiteral("64x48x")), qPrintable(texts.at(3)));
    QCOMPARE(texts.at(4), QStringLiteral("100%"));
    QVERIFY(m_frame->statusText().contains(QStringLiteral("harbour.png")));
}

void TestImageView::noImages()
{
    m_frame->show();
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);
    QVERIFY(view()->noImages());
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("Zelt Pixoria"));
    QCOMPARE(m_frame->statusText(), QStringLiteral("No images"));
    QVERIFY(m_host->opened);
    // Nothing to zoom, move or print.
    QVERIFY(!run(cmd::kZoomIn));
    QVERIFY(!run(cmd::kFirstImage));
    QVERIFY(!run(cmd::kFilePrint));
    QVERIFY(!view()->commandTarget().isEnabled(cmd::kBestFit));
    // The hand-back sends no picture.
    QTest::keyClick(view(), Qt::Key_Escape);
    QCOMPARE(m_host->switches, QList<int>{appmsg::kSwitchShow});
    QVERIFY(m_browser.selected.isEmpty());
}

void TestImageView::moving_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("from"); // row of the own list
    QTest::addColumn<int>("to");

    QTest::newRow("Next command on the last wraps") << "next" << 2 << 0;
    QTest::newRow("Space on the last wraps") << "space" << 2 << 0;
    QTest::newRow("Page Down on the last stays") << "pagedown" << 2 << 2;
    QTest::newRow("Page Down in the middle") << "pagedown" << 1 << 2;
    QTest::newRow("Page Up on the first stays") << "pageup" << 0 << 0;
    QTest::newRow("Backspace on the first wraps") << "backspace" << 0 << 2;
    QTest::newRow("wheel towards the user") << "wheeldown" << 0 << 1;
    QTest::newRow("wheel away wraps") << "wheelup" << 0 << 2;
    QTest::newRow("Home") << "home" << 2 << 0;
    QTest::newRow("End") << "end" << 0 << 2;
}

void TestImageView::moving()
{
    QFETCH(QString, how);
    QFETCH(int, from);
    QFETCH(int, to);

    for (const char* name : {"one.png", "two.png", "three.png"})
        writeQuarters(*m_dir, QString::fromLatin1(name), QSize(40, 30));
    open(m_dir->filePath(QStringLiteral("one.png")));
    waitForList(3);
    const PictureList& list = view()->controller().pictureList();
    const QString start = m_dir->filePath(list.rowName(from));
    QVERIFY(m_host->image.Load(start));
    m_host->pending = start;
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);
    QCOMPARE(list.firstSelectedRow(), from);

    if (how == QLatin1String("next"))
        run(cmd::kNextImage);
    else if (how == QLatin1String("wheeldown") || how == QLatin1String("wheelup")) {
        const QPoint centre = view()->viewport()->rect().center();
        QWheelEvent wheel(centre, view()->viewport()->mapToGlobal(centre), QPoint(),
                          QPoint(0, how == QLatin1String("wheeldown") ? -120 : 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view()->viewport(), &wheel);
    } else {
        const QHash<QString, Qt::Key> keys{
            {QStringLiteral("space"), Qt::Key_Space},   {QStringLiteral("pagedown"), Qt::Key_PageDown},
            {QStringLiteral("pageup"), Qt::Key_PageUp}, {QStringLiteral("backspace"), Qt::Key_Backspace},
            {QStringLiteral("home"), Qt::Key_Home},     {QStringLiteral("end"), Qt::Key_End}};
        QTest::keyClick(view(), keys.value(how));
    }
    QVERIFY(pictureShown(view()->controller()));
    QCOMPARE(list.firstSelectedRow(), to);
    QCOMPARE(view()->fileName(), list.rowName(to));
    QCOMPARE(m_host->image.path(), m_dir->filePath(list.rowName(to)));
    QCOMPARE(m_frame->windowTitle(), list.rowName(to) + QStringLiteral(" - Zelt Pixoria"));
}

void TestImageView::randomWithOnePicture()
{
    open(writeQuarters(*m_dir, QStringLiteral("only.png"), QSize(40, 30)));
    waitForList(1);
    QVERIFY(run(cmd::kRandomImage));
    QCOMPARE(view()->fileName(), QStringLiteral("only.png"));
    QCOMPARE(view()->controller().pictureSize(), QSize(40, 30));
    // Next and Previous have nowhere to go.
    QVERIFY(run(cmd::kNextImage));
    QCOMPARE(view()->fileName(), QStringLiteral("only.png"));
}

void TestImageView::loadingShowsWhileTheFileIsRead()
{
    for (const char* name : {"l1.png", "l2.png"})
        writeQuarters(*m_dir, QString::fromLatin1(name), QSize(40, 30));
    open(m_dir->filePath(QStringLiteral("l1.png")));
    waitForList(2);
    // No look-ahead: the move reads the file while the status bar says so.
    view()->controller().lookahead().setBudgetBytes(0);
    view()->controller().lookahead().clear();
    QStringList firstPanes;
    connect(&view()->controller(), &CViewerController::stateChanged, this,
            [&] { firstPanes << view()->controller().statusTexts().value(0); });
    QVERIFY(run(cmd::kNextImage));
    QVERIFY(firstPanes.size() >= 2);
    QCOMPARE(firstPanes.first(), QStringLiteral("Loading"));
    QCOMPARE(view()->controller().statusTexts().value(0),
             QStringLiteral("%1/2").arg(view()->controller().pictureList().firstSelectedRow() + 1));
    QVERIFY(!view()->controller().loading());
}

void TestImageView::slideShowStopsOnTheLast()
{
    m_host->options.Timer = QStringLiteral("10");
    m_host->options.Select = 0;
    m_host->options.Around = 0;
    for (const char* name : {"s1.png", "s2.png", "s3.png", "s4.png"})
        writeQuarters(*m_dir, QString::fromLatin1(name), QSize(40, 30));
    open(m_dir->filePath(QStringLiteral("s1.png")));
    waitForList(4);
    const PictureList& list = view()->controller().pictureList();
    const QString first = m_dir->filePath(list.rowName(0));
    QVERIFY(m_host->image.Load(first));
    m_host->pending = first;
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);

    appmsg::post(view(), appmsg::kSwitchOnSlideShow);
    QTRY_VERIFY(view()->controller().slideShowRunning());
    QVERIFY(view()->commandTarget().isChecked(cmd::kSlideShow));
    QTRY_VERIFY_WITH_TIMEOUT(!view()->controller().slideShowRunning(), 10000);
    QVERIFY(pictureShown(view()->controller()));
    QCOMPARE(view()->fileName(), list.rowName(3));
    QCOMPARE(m_host->image.path(), m_dir->filePath(list.rowName(3)));
}

void TestImageView::rotationIsGoneAfterNextAndBack()
{
    writeQuarters(*m_dir, QStringLiteral("p1.png"), QSize(640, 480));
    writeQuarters(*m_dir, QStringLiteral("p2.png"), QSize(100, 80));
    open(m_dir->filePath(QStringLiteral("p1.png")));
    waitForList(2);
    QVERIFY(run(cmd::kRotateRight));
    QCOMPARE(view()->controller().pictureSize(), QSize(480, 640));
    QCOMPARE(view()->contentSize(), QSize(480, 640));
    QVERIFY(run(cmd::kNextImage));
    QCOMPARE(view()->controller().pictureSize(), QSize(100, 80));
    QVERIFY(run(cmd::kPreviousImage));
    QCOMPARE(view()->fileName(), QStringLiteral("p1.png"));
    QCOMPARE(view()->controller().pictureSize(), QSize(640, 480));
}

void TestImageView::cropAfterZoomUsesPicturePixels()
{
    // At zoom 2 a drag over 2 x 2 client pixels covers one picture pixel.
    const QString path = writeQuarters(*m_dir, QStringLiteral("quarters.png"), QSize(200, 100));
    open(path, QSize(900, 700));
    waitForList(1);
    QVERIFY(run(cmd::kZoomIn));
    QVERIFY(run(cmd::kZoomIn));
    QCOMPARE(view()->controller().zoom().zoom, 2.0);
    const QSize client = view()->viewport()->size();
    const QPoint origin((client.width() - 400) / 2, (client.height() - 200) / 2);
    QWidget* viewport = view()->viewport();
    const QPoint from = origin + QPoint(220, 20); // picture (110, 10)
    const QPoint to = origin + QPoint(300, 120);  // picture (150, 60)
    QTest::mouseMove(viewport, from);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(viewport, to);
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, to);
    QVERIFY(view()->controller().selection().has_value());
    QCOMPARE(*view()->controller().selection(), QRectF(110, 10, 40, 50));
    QVERIFY(view()->commandTarget().isEnabled(cmd::kZoomTo));
    QVERIFY(view()->commandTarget().isEnabled(cmd::kSaveCropAs));

    const QString target = m_dir->filePath(QStringLiteral("cut.png"));
    FlmSaveOptions options{};
    options.field[FlmSaveOptions::kFormat] = kFlmPng;
    QVERIFY(view()->controller().CutToSelection());
    QVERIFY(m_host->image.Save(target, &options));
    const QImage cut(target);
    QCOMPARE(cut.size(), QSize(40, 50));
    // Green above the middle, yellow below: the right half of the picture.
    QCOMPARE(cut.pixelColor(5, 5), QColor(Qt::green));
    QCOMPARE(cut.pixelColor(5, 45), QColor(Qt::yellow));
    QVERIFY(!view()->controller().selection().has_value());

    // Save As then lists the new file and shows it from disk.
    view()->controller().AfterSave(QStringLiteral("cut.png"), true);
    QCOMPARE(view()->controller().pictureList().rowCount(), 2);
    QCOMPARE(view()->fileName(), QStringLiteral("cut.png"));
    QCOMPARE(view()->controller().pictureSize(), QSize(40, 50));
    QCOMPARE(view()->controller().statusTexts().value(0), QStringLiteral("2/2"));
}

void TestImageView::failedCropRestoresThePicture()
{
    const QString path = writeQuarters(*m_dir, QStringLiteral("quarters.png"), QSize(200, 100));
    open(path);
    QWidget* viewport = view()->viewport();
    const QSize client = viewport->size();
    const QPoint origin((client.width() - 200) / 2, (client.height() - 100) / 2);
    QTest::mouseMove(viewport, origin + QPoint(150, 60));
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, origin + QPoint(150, 60));
    QTest::mouseMove(viewport, origin + QPoint(190, 90));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, origin + QPoint(190, 90));
    QVERIFY(view()->controller().selection().has_value());
    // The picture in memory shrank behind the view's back: the cut now leaves it.
    const QString small = writeQuarters(*m_dir, QStringLiteral("small.png"), QSize(20, 20));
    CBmpEx smaller;
    QVERIFY(smaller.Load(small));
    m_host->image.swapPicture(smaller);
    QVERIFY(!view()->controller().CutToSelection());
    QCOMPARE(m_host->image.GetSize(), QSize(200, 100));
    QCOMPARE(view()->controller().pictureSize(), QSize(200, 100));
}

void TestImageView::arrowsPushThePicture()
{
    // Wider and taller than the window at zoom 1: a page is a tenth of the display.
    open(writeQuarters(*m_dir, QStringLiteral("big.png"), QSize(3000, 2000)));
    QScrollBar* across = view()->horizontalScrollBar();
    QScrollBar* down = view()->verticalScrollBar();
    QCOMPARE(across->value(), 0);
    QTest::keyClick(view(), Qt::Key_Left);
    QCOMPARE(across->value(), 300);
    QTest::keyClick(view(), Qt::Key_Down);
    QCOMPARE(down->value(), 200);
    QTest::keyClick(view(), Qt::Key_Right);
    QCOMPARE(across->value(), 0);
    QCOMPARE(across->singleStep(), 30);

    // A picture that fits does not move.
    QVERIFY(run(cmd::kFitImageToWindow));
    QTest::keyClick(view(), Qt::Key_Left);
    QCOMPARE(across->value(), 0);
}

void TestImageView::printCommand_data()
{
    QTest::addColumn<double>("pageWidths");
    QTest::addColumn<int>("pages");

    QTest::newRow("two and a half page widths") << 2.5 << 3;
    QTest::newRow("half a page width") << 0.5 << 1;
}

void TestImageView::printCommand()
{
    QFETCH(double, pageWidths);
    QFETCH(int, pages);

    QPrinter& printer = view()->printer().printer();
    const QString pdf = m_dir->filePath(QStringLiteral("out.pdf"));
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    const double sx = printer.logicalDpiX() / m_frame->screen()->logicalDotsPerInchX();
    const int width = int(pageWidths * printer.width() / sx);
    open(writeQuarters(*m_dir, QStringLiteral("wide.png"), QSize(width, 120)));
    // The zoom does not matter to the print.
    QVERIFY(run(cmd::kZoomOut));

    bool dialogSeen = false;
    QTimer::singleShot(0, this, [&dialogSeen] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        dialogSeen = dialog != nullptr;
        if (dialog) {
            QCOMPARE(dialog->maxPage(), dialog->toPage());
            dialog->accept();
        }
    });
    QVERIFY(run(cmd::kFilePrint));
    QVERIFY(dialogSeen);
    QCOMPARE(countPdfPages(pdf), pages);
}

void TestImageView::enterHandsBack()
{
    const QString path = writeQuarters(*m_dir, QStringLiteral("last.png"), QSize(40, 30));
    open(path);
    waitForList(1);
    QVERIFY(run(cmd::kZoomIn));
    QTest::keyClick(view(), Qt::Key_Return);
    QCOMPARE(m_host->switches, QList<int>{appmsg::kSwitchShow});
    QCOMPARE(m_browser.selected, QStringList{path});
    // Opened on a file: the browser is to open its folder.
    QCOMPARE(m_host->pending, path);
    QVERIFY(!m_host->opened);
    QCOMPARE(view()->controller().zoom().zoom, 1.0);
}

void TestImageView::keypadShortcuts_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QKeySequence>("keys");

    // The portable texts of the table must come out as keys of the numeric keypad.
    QTest::newRow("Zoom In") << int(cmd::kZoomIn) << QKeySequence(Qt::KeypadModifier | Qt::Key_Plus);
    QTest::newRow("Zoom Out") << int(cmd::kZoomOut) << QKeySequence(Qt::KeypadModifier | Qt::Key_Minus);
    QTest::newRow("Fit window to Image") << int(cmd::kFitWindowToImage)
                                         << QKeySequence(Qt::KeypadModifier | Qt::Key_Slash);
    QTest::newRow("Fit Image to Window") << int(cmd::kFitImageToWindow)
                                         << QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Asterisk);
    QTest::newRow("Best fit") << int(cmd::kBestFit) << QKeySequence(Qt::KeypadModifier | Qt::Key_Asterisk);
    QTest::newRow("Zoom Lock") << int(cmd::kZoomLock)
                               << QKeySequence(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Slash);
}

void TestImageView::keypadShortcuts()
{
    QFETCH(int, command);
    QFETCH(QKeySequence, keys);
    QCOMPARE(m_frame->commands().action(command)->shortcuts(), QList<QKeySequence>{keys});
}

// The keys the menus show, on the keypad and on the main keyboard, reach the commands whether or
// not the window system hands them to the shortcuts.
void TestImageView::zoomKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<double>("zoom"); // from 1.0; 0: a fit mode instead
    QTest::addColumn<int>("mode");    // the fit mode the key chooses; -1: none

    using FitMode = viewgeometry::FitMode;
    const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
    const Qt::KeyboardModifiers control = Qt::ControlModifier;
    QTest::newRow("keypad +") << int(Qt::Key_Plus) << keypad << 1.5 << -1;
    QTest::newRow("keypad -") << int(Qt::Key_Minus) << keypad << 0.7 << -1;
    QTest::newRow("+ as Shift+=") << int(Qt::Key_Plus) << Qt::KeyboardModifiers(Qt::ShiftModifier) << 1.5 << -1;
    QTest::newRow("-") << int(Qt::Key_Minus) << Qt::KeyboardModifiers() << 0.7 << -1;
    QTest::newRow("Ctrl++") << int(Qt::Key_Plus) << (control | Qt::ShiftModifier) << 1.5 << -1;
    QTest::newRow("Ctrl+=") << int(Qt::Key_Equal) << control << 1.5 << -1;
    QTest::newRow("Ctrl+-") << int(Qt::Key_Minus) << control << 0.7 << -1;
    QTest::newRow("keypad *") << int(Qt::Key_Asterisk) << keypad << 0.0 << int(FitMode::BestFit);
    QTest::newRow("Ctrl+keypad *") << int(Qt::Key_Asterisk) << (control | keypad) << 0.0
                                   << int(FitMode::FitImageToWindow);
    QTest::newRow("Ctrl+keypad /") << int(Qt::Key_Slash) << (control | keypad) << 0.0 << int(FitMode::ZoomLock);
    // Alt is no key of the view's.
    QTest::newRow("Alt+-") << int(Qt::Key_Minus) << Qt::KeyboardModifiers(Qt::AltModifier) << 1.0 << -1;
}

void TestImageView::zoomKeys()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(double, zoom);
    QFETCH(int, mode);

    open(writeQuarters(*m_dir, QStringLiteral("keys.png"), QSize(200, 100)));
    QCOMPARE(view()->controller().zoom().zoom, 1.0);
    QTest::keyClick(view(), Qt::Key(key), modifiers);
    if (mode >= 0)
        QCOMPARE(int(view()->controller().fitMode()), mode);
    else
        QCOMPARE(view()->controller().zoom().zoom, zoom);
}

void TestImageView::animationRestartsAfterZoom()
{
    open(writeAnimation(*m_dir, 3));
    QCOMPARE(view()->controller().pictureSize(), QSize(16, 16));
    QTRY_VERIFY(currentSlide(m_host->image) > 0);
    QVERIFY(run(cmd::kZoomIn));
    QCOMPARE(currentSlide(m_host->image), 0);
    // Magnified, it goes on from there.
    QTRY_VERIFY(currentSlide(m_host->image) > 0);
}

void TestImageView::dragPansALargePicture()
{
    open(writeQuarters(*m_dir, QStringLiteral("big.png"), QSize(3000, 2000)));
    QWidget* viewport = view()->viewport();
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    QTest::mouseMove(viewport, QPoint(200, 250));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(200, 250));
    QCOMPARE(view()->scrollPosition(), QPoint(100, 50));
    QVERIFY(!view()->controller().selection().has_value());
}

void TestImageView::clickInsideTheSelectionZoomsToIt()
{
    open(writeQuarters(*m_dir, QStringLiteral("quarters.png"), QSize(200, 100)));
    QWidget* viewport = view()->viewport();
    const QSize client = viewport->size();
    const QPoint origin((client.width() - 200) / 2, (client.height() - 100) / 2);
    QTest::mouseMove(viewport, origin + QPoint(20, 20));
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, origin + QPoint(20, 20));
    QTest::mouseMove(viewport, origin + QPoint(60, 40));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, origin + QPoint(60, 40));
    QCOMPARE(*view()->controller().selection(), QRectF(20, 20, 40, 20));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, origin + QPoint(40, 30));
    QVERIFY(!view()->controller().selection().has_value());
    const double expected = std::min(client.width() / 40.0, client.height() / 20.0);
    QCOMPARE(view()->controller().zoom().zoom, expected);
    // The frame keeps its size for a zoom to a selection.
    QCOMPARE(view()->viewport()->size(), client);
}

QTEST_MAIN(TestImageView)
#include "tst_imageview.moc"
