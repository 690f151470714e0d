// The viewer's controller alone, without a widget or even a GUI application: real pictures in a
// temporary folder, the application's messages sent to it, its commands fired by id, and a
// window whose measurements the test makes up. Covers the choice of the list it walks, moves and
// their wrapping, the transforms, the crop written by Save As, the status texts, the requests to
// the frame and the hand-back to the browser.

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "core/messages.h"
#include "imagelib/flm.h"
#include "pictureshown.h"
#include "recordinghost.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "viewer/cviewercontroller.h"

namespace {

using viewgeometry::FitMode;

// The application with a browser whose list is an own list of a folder, and a stand-in for the
// browser's frame that records the pictures handed back.
class Host : public RecordingHost {
public:
    PictureList* browserList() override { return list; }
    PictureList* list = nullptr;
};

// Eats the folder scan's "UpdateStatusBarMsg": the status must follow the scan's end without it.
class StatusMessageEater : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override { return appmsg::as(event, appmsg::kUpdateStatusBar); }
};

// A picture in four coloured quarters, so that a turn or a cut shows which part went where.
QString writeQuarters(const QTemporaryDir& dir, const QString& name, QSize size = QSize(40, 30))
{
    QImage image(size, QImage::Format_RGB32);
    const int halfWidth = size.width() / 2;
    const int halfHeight = size.height() / 2;
    image.fill(Qt::yellow);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (x < halfWidth || y < halfHeight)
                image.setPixelColor(x, y, x < halfWidth ? (y < halfHeight ? Qt::red : Qt::blue) : Qt::green);
        }
    }
    const QString path = dir.filePath(name);
    return image.save(path, "PNG") ? path : QString();
}

// The picture in memory as a file would hold it.
QImage pixelsOf(CBmpEx& picture, const QTemporaryDir& dir)
{
    const QString path = dir.filePath(QStringLiteral("pixels.png"));
    FlmSaveOptions options{};
    options.field[FlmSaveOptions::kFormat] = kFlmPng;
    return picture.Save(path, &options) ? QImage(path) : QImage();
}

} // namespace

class TestViewerController : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void pendingPath_data();
    void pendingPath();
    void fromTheBrowser_data();
    void fromTheBrowser();
    void moves_data();
    void moves();
    void unreadableFilesKeepTheirPlace_data();
    void unreadableFilesKeepTheirPlace();
    void movesWhileReadingMerge_data();
    void movesWhileReadingMerge();
    void transforms_data();
    void transforms();
    void cropSave_data();
    void cropSave();
    void statusTexts_data();
    void statusTexts();
    void scanEndRefreshesTheStatus();
    void frameSizing_data();
    void frameSizing();
    void handBack_data();
    void handBack();

private:
    // Opens `path` as if from the command line; empty: with no picture at all.
    void open(const QString& path);
    // Opens the first of `names`, written into the folder, once its own list holds them all.
    void openFolder(const QStringList& names);
    bool run(int command) { return m_controller->commandTarget().execute(command) && pictureShown(*m_controller); }
    QString rowPath(int row) const { return m_dir->filePath(m_controller->pictureList().rowName(row)); }

    QTemporaryDir* m_dir = nullptr;
    Host* m_host = nullptr;
    BrowserStandIn m_browser;
    ViewerWindowMetrics m_window;
    CViewerController* m_controller = nullptr;
};

void TestViewerController::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    CSettingsStore::WriteProfileInt(settingskeys::kViewMode, int(FitMode::FitWindowToImage));
    m_host = new Host;
    m_host->browser = &m_browser;
    m_browser.selected.clear();
    m_window = ViewerWindowMetrics{QSize(800, 600), QRect(0, 0, 1280, 800), {}, false, false};
    m_controller = new CViewerController(*m_host, m_host->options, nullptr);
    m_controller->setMeasure([this] { return m_window; });
}

void TestViewerController::cleanup()
{
    delete m_controller;
    delete m_host;
    delete m_dir;
}

void TestViewerController::open(const QString& path)
{
    QVERIFY(path.isEmpty() || m_host->image.Load(path));
    m_host->pending = path;
    m_host->opened = true;
    appmsg::send(m_controller, appmsg::kLoadViewerBeforeBrowser);
}

void TestViewerController::openFolder(const QStringList& names)
{
    for (const QString& name : names)
        QVERIFY(!writeQuarters(*m_dir, name).isEmpty());
    open(m_dir->filePath(names.first()));
    QTRY_COMPARE(m_controller->pictureList().rowCount(), names.size());
}

void TestViewerController::pendingPath_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<bool>("sameFolderAgain");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("maximised"); // how the frame is asked to show itself

    QTest::newRow("no picture") << false << false << "Zelt Pixoria" << false;
    QTest::newRow("a picture: its folder is scanned") << true << false << "b.png - Zelt Pixoria" << true;
    QTest::newRow("another of the same folder: its list stays") << true << true << "a.png - Zelt Pixoria" << true;
}

void TestViewerController::pendingPath()
{
    QFETCH(bool, picture);
    QFETCH(bool, sameFolderAgain);
    QFETCH(QString, title);
    QFETCH(bool, maximised);

    QSignalSpy shows(m_controller, &CViewerController::showWanted);
    if (!picture) {
        open({});
    } else {
        openFolder({QStringLiteral("b.png"), QStringLiteral("a.png")});
        if (sameFolderAgain) {
            open(m_dir->filePath(QStringLiteral("a.png")));
            // Known at once: nothing to wait for.
            QCOMPARE(m_controller->pictureList().firstSelectedRow(),
                     m_controller->pictureList().rowName(0) == QLatin1String("a.png") ? 0 : 1);
        }
    }
    QCOMPARE(m_controller->noImages(), !picture);
    QCOMPARE(m_controller->title(), title);
    QVERIFY(m_host->pending.isEmpty());
    QVERIFY(m_host->opened);
    QVERIFY(!shows.isEmpty());
    QCOMPARE(shows.last().at(0).toBool(), maximised);
    // Nothing to zoom or move without a picture.
    QCOMPARE(m_controller->commandTarget().isEnabled(cmd::kZoomIn), picture);
    QCOMPARE(m_controller->commandTarget().isEnabled(cmd::kNextImage), picture);
}

void TestViewerController::fromTheBrowser_data()
{
    QTest::addColumn<bool>("openedFromFile");
    QTest::addColumn<bool>("walksBrowser");
    QTest::addColumn<bool>("readable");

    QTest::newRow("from the browser: its list") << false << true << true;
    // The browser's list is not there to be walked: the picture's own folder is scanned.
    QTest::newRow("opened from a file: an own list") << true << false << true;
    // The browser hands over a picture it could not read: the viewer names it and says why.
    QTest::newRow("unreadable, from the browser") << false << true << false;
    QTest::newRow("unreadable, opened from a file") << true << false << false;
}

void TestViewerController::fromTheBrowser()
{
    QFETCH(bool, openedFromFile);
    QFETCH(bool, walksBrowser);
    QFETCH(bool, readable);

    const QStringList names{QStringLiteral("one.png"), QStringLiteral("two.png"), QStringLiteral("three.png")};
    for (const QString& name : names)
        QVERIFY(!writeQuarters(*m_dir, name).isEmpty());
    // The viewer showed a picture before.
    QVERIFY(m_host->image.Load(m_dir->filePath(QStringLiteral("one.png"))));
    if (!readable) {
        QFile two(m_dir->filePath(QStringLiteral("two.png")));
        QVERIFY(two.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QVERIFY(two.write("no picture here") > 0);
    }
    OwnPictureList browser;
    browser.setFolder(m_dir->path());
    browser.setNames(names);
    browser.setCurrentName(QStringLiteral("two.png"));
    m_host->list = &browser;
    m_host->opened = openedFromFile;
    QCOMPARE(m_host->image.Load(m_dir->filePath(QStringLiteral("two.png"))), readable);

    appmsg::send(m_controller, appmsg::kLoadPictureToMemory, {}, 0, &m_browser);
    QCOMPARE(&m_controller->pictureList() == &browser, walksBrowser);
    QCOMPARE(m_controller->fileName(), QStringLiteral("two.png"));
    if (!readable)
        QCOMPARE(m_controller->statusTexts().value(1), QStringLiteral("Cannot read two.png: not a picture"));
    QCOMPARE(m_controller->folder(), m_dir->path() + QLatin1Char('/'));
    QTRY_COMPARE(m_controller->pictureList().rowCount(), 3);
    // The move goes through the list walked: the browser's selection follows only when it is.
    QVERIFY(run(cmd::kLastImage));
    QCOMPARE(browser.currentName(), walksBrowser ? QStringLiteral("three.png") : QStringLiteral("two.png"));
}

void TestViewerController::moves_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("from"); // row of the own list
    QTest::addColumn<int>("to");

    QTest::newRow("Next on the last wraps") << int(cmd::kNextImage) << 2 << 0;
    QTest::newRow("Next without wrap on the last stays") << int(cmd::kNextImageNoWrap) << 2 << 2;
    QTest::newRow("Next without wrap in the middle") << int(cmd::kNextImageNoWrap) << 1 << 2;
    QTest::newRow("Previous on the first wraps") << int(cmd::kPreviousImage) << 0 << 2;
    QTest::newRow("Previous without wrap on the first stays") << int(cmd::kPreviousImageNoWrap) << 0 << 0;
    QTest::newRow("First") << int(cmd::kFirstImage) << 2 << 0;
    QTest::newRow("Last") << int(cmd::kLastImage) << 0 << 2;
}

void TestViewerController::moves()
{
    QFETCH(int, command);
    QFETCH(int, from);
    QFETCH(int, to);

    openFolder({QStringLiteral("one.png"), QStringLiteral("two.png"), QStringLiteral("three.png")});
    const QString start = rowPath(from);
    open(start);
    QCOMPARE(m_controller->pictureList().firstSelectedRow(), from);
    QSignalSpy layouts(m_controller, &CViewerController::zoomChanged);

    QVERIFY(run(command));
    QCOMPARE(m_controller->pictureList().firstSelectedRow(), to);
    QCOMPARE(m_controller->fileName(), m_controller->pictureList().rowName(to));
    QCOMPARE(m_host->image.path(), rowPath(to));
    QCOMPARE(m_controller->statusTexts().value(0), QStringLiteral("%1/3").arg(to + 1));
    // A new picture is laid out anew; staying put asks for nothing.
    QCOMPARE(layouts.size(), from == to ? 0 : 1);
}

// Files named as pictures that do not load are walked and counted like the others: the viewer
// stops on each, says why, and moves on from there.
void TestViewerController::unreadableFilesKeepTheirPlace_data()
{
    QTest::addColumn<QList<int>>("moves"); // from a.png
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("failure");

    const int next = cmd::kNextImage;
    const int previous = cmd::kPreviousImage;
    QTest::newRow("onto text named as a picture") << QList<int>{next} << "b.jpg"
                                                  << "2/4" << "Cannot read b.jpg: not a picture";
    QTest::newRow("on from it to a cut picture") << QList<int>{next, next} << "c.png"
                                                 << "3/4" << "Cannot read c.png: truncated file";
    QTest::newRow("past both to a picture") << QList<int>{next, next, next} << "d.png" << "4/4" << "";
    QTest::newRow("back from a broken file") << QList<int>{next, next, previous} << "b.jpg"
                                             << "2/4" << "Cannot read b.jpg: not a picture";
    QTest::newRow("Last, then back onto a broken file") << QList<int>{int(cmd::kLastImage), previous} << "c.png"
                                                        << "3/4" << "Cannot read c.png: truncated file";
}

void TestViewerController::unreadableFilesKeepTheirPlace()
{
    QFETCH(QList<int>, moves);
    QFETCH(QString, shown);
    QFETCH(QString, position);
    QFETCH(QString, failure);

    for (const char* picture : {"a.png", "d.png"})
        QVERIFY(!writeQuarters(*m_dir, QString::fromLatin1(picture)).isEmpty());
    for (const auto& [name, bytes] : {std::pair{"b.jpg", QByteArray("just some notes\n")},
                                      std::pair{"c.png", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0", 18)}}) {
        QFile file(m_dir->filePath(QString::fromLatin1(name)));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    open(m_dir->filePath(QStringLiteral("a.png")));
    QTRY_COMPARE(m_controller->pictureList().pictureCount(), 4);
    for (int move : moves)
        QVERIFY(run(move));

    QCOMPARE(m_controller->fileName(), shown);
    QCOMPARE(m_controller->failure(), failure);
    QCOMPARE(m_controller->hasPicture(), failure.isEmpty());
    if (!failure.isEmpty())
        QCOMPARE(m_controller->statusTexts(), (QStringList{position, failure}));
    QCOMPARE(m_controller->statusTexts().value(0), position);
    QCOMPARE(m_controller->pictureList().pictureCount(), 4);
    // Nothing to zoom on a file that could not be read; moving goes on from it.
    QCOMPARE(m_controller->commandTarget().isEnabled(cmd::kZoomIn), failure.isEmpty());
    QVERIFY(m_controller->commandTarget().isEnabled(cmd::kNextImage));
}

// Key repeats come faster than pictures are read: every move asked for before the picture in
// reading is shown is merged into one, the last, made once it is shown.
void TestViewerController::movesWhileReadingMerge_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<QList<int>>("commands"); // all fired before the first picture is shown
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("shown");           // pictures shown meanwhile

    const int next = cmd::kNextImage;
    QTest::newRow("one move") << 0 << QList<int>{next} << 1 << 1;
    QTest::newRow("ten Nexts: one picture more, not nine")
        << 0 << QList<int>(10, next) << 2 << 2;
    QTest::newRow("the last move asked for wins")
        << 1 << QList<int>{next, next, next, int(cmd::kPreviousImage)} << 1 << 2;
    QTest::newRow("Page Downs at the end: nothing more")
        << 3 << QList<int>(5, int(cmd::kNextImageNoWrap)) << 4 << 1;
}

void TestViewerController::movesWhileReadingMerge()
{
    QFETCH(int, from);
    QFETCH(QList<int>, commands);
    QFETCH(int, to);
    QFETCH(int, shown);

    openFolder({QStringLiteral("p1.png"), QStringLiteral("p2.png"), QStringLiteral("p3.png"), QStringLiteral("p4.png"),
                QStringLiteral("p5.png")});
    // Nothing decoded ahead: every move reads its picture on the executor.
    m_controller->lookahead().setBudgetBytes(0);
    if (from > 0) {
        open(rowPath(from));
        QCOMPARE(m_controller->pictureList().firstSelectedRow(), from);
    }
    QSignalSpy pictures(m_controller, &CViewerController::pictureChanged);
    // The result of a read arrives through the event loop, which does not run before the last
    // command: all of them come while the first picture is read.
    for (int command : commands)
        QVERIFY(m_controller->commandTarget().execute(command));
    QVERIFY(m_controller->loading());
    QVERIFY(pictureShown(*m_controller));
    QCOMPARE(pictures.size(), shown);
    QCOMPARE(m_controller->pictureList().firstSelectedRow(), to);
    QCOMPARE(m_host->image.path(), rowPath(to));
    QCOMPARE(m_controller->statusTexts().value(0), QStringLiteral("%1/5").arg(to + 1));
}

void TestViewerController::transforms_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("topLeft"); // red, green / blue, yellow before

    QTest::newRow("Rotate Right") << int(cmd::kRotateRight) << QSize(30, 40) << QColor(Qt::blue);
    QTest::newRow("Rotate Left") << int(cmd::kRotateLeft) << QSize(30, 40) << QColor(Qt::green);
    QTest::newRow("Turn Around") << int(cmd::kTurnAround) << QSize(40, 30) << QColor(Qt::yellow);
    QTest::newRow("Mirror") << int(cmd::kMirror) << QSize(40, 30) << QColor(Qt::green);
    QTest::newRow("Flip") << int(cmd::kFlipVertical) << QSize(40, 30) << QColor(Qt::blue);
}

void TestViewerController::transforms()
{
    QFETCH(int, command);
    QFETCH(QSize, size);
    QFETCH(QColor, topLeft);

    openFolder({QStringLiteral("turn.png")});
    QVERIFY(run(command));
    QCOMPARE(m_controller->pictureSize(), size);
    QCOMPARE(m_controller->zoom().display, QSizeF(size));
    const QImage pixels = pixelsOf(m_host->image, *m_dir);
    QCOMPARE(pixels.size(), size);
    QCOMPARE(pixels.pixelColor(2, 2), topLeft);
    // Only in memory: the file is as it was.
    QCOMPARE(QImage(m_dir->filePath(QStringLiteral("turn.png"))).size(), QSize(40, 30));
}

void TestViewerController::cropSave_data()
{
    QTest::addColumn<QRectF>("selection"); // null: none
    QTest::addColumn<bool>("shrunkBehindItsBack");
    QTest::addColumn<QSize>("written"); // empty: nothing written
    QTest::addColumn<QColor>("topLeft");

    QTest::newRow("the right half of the top")
        << QRectF(110, 10, 40, 30) << false << QSize(40, 30) << QColor(Qt::green);
    QTest::newRow("the lower left quarter") << QRectF(0, 50, 100, 50) << false << QSize(100, 50) << QColor(Qt::blue);
    QTest::newRow("no selection: the whole picture") << QRectF() << false << QSize(200, 100) << QColor(Qt::red);
    // The cut leaves the picture: nothing is written and the picture comes back from its file.
    QTest::newRow("a crop that fails") << QRectF(150, 60, 40, 30) << true << QSize() << QColor();
}

void TestViewerController::cropSave()
{
    QFETCH(QRectF, selection);
    QFETCH(bool, shrunkBehindItsBack);
    QFETCH(QSize, written);
    QFETCH(QColor, topLeft);

    open(writeQuarters(*m_dir, QStringLiteral("quarters.png"), QSize(200, 100)));
    QTRY_COMPARE(m_controller->pictureList().rowCount(), 1);
    if (!selection.isNull()) {
        m_controller->endBand(selection);
        QCOMPARE(m_controller->selection(), std::optional<QRectF>(selection));
        QVERIFY(m_controller->commandTarget().isEnabled(cmd::kZoomTo));
    }
    if (shrunkBehindItsBack) {
        CBmpEx smaller;
        QVERIFY(smaller.Load(writeQuarters(*m_dir, QStringLiteral("small.png"), QSize(20, 20))));
        m_host->image.swapPicture(smaller);
    }
    const QString target = m_dir->filePath(QStringLiteral("cut.png"));
    FlmSaveOptions options{};
    options.field[FlmSaveOptions::kFormat] = kFlmPng;
    QCOMPARE(m_controller->CutToSelection() && m_host->image.Save(target, &options), !written.isEmpty());
    QVERIFY(!m_controller->selection());
    QCOMPARE(m_controller->pictureSize(), written.isEmpty() ? QSize(200, 100) : written);
    if (written.isEmpty()) {
        QVERIFY(!QFileInfo::exists(target));
        return;
    }
    const QImage cut(target);
    QCOMPARE(cut.size(), written);
    QCOMPARE(cut.pixelColor(1, 1), topLeft);

    // Save As then lists the new file and shows it as read from disk.
    m_controller->AfterSave(QStringLiteral("cut.png"), true);
    QCOMPARE(m_controller->fileName(), QStringLiteral("cut.png"));
    QCOMPARE(m_controller->pictureSize(), written);
    QCOMPARE(m_controller->pictureList().rowCount(), 2);
    QCOMPARE(m_controller->statusTexts().value(0), QStringLiteral("2/2"));
}

void TestViewerController::statusTexts_data()
{
    QTest::addColumn<bool>("picture");
    QTest::addColumn<int>("fitCommand");    // 0: none
    QTest::addColumn<QStringList>("texts"); // the file size is checked against the file

    QTest::newRow("no images") << false << 0 << QStringList{QStringLiteral("No images")};
    QTest::newRow("a picture") << true << 0
                               << QStringList{QStringLiteral("1/1"), QStringLiteral("harbour.png"), QString(),
                                              QStringLiteral("40x30x"), QStringLiteral("100%")};
    // Fitted into the client the window reported (800 x 600) for a picture of 40 x 30.
    QTest::newRow("fitted to the window") << true << int(cmd::kFitImageToWindow)
                                          << QStringList{QStringLiteral("1/1"), QStringLiteral("harbour.png"),
                                                         QString(), QStringLiteral("40x30x"), QStringLiteral("2000%")};
}

void TestViewerController::statusTexts()
{
    QFETCH(bool, picture);
    QFETCH(int, fitCommand);
    QFETCH(QStringList, texts);

    const QString path = picture ? writeQuarters(*m_dir, QStringLiteral("harbour.png")) : QString();
    open(path);
    if (picture)
        QTRY_COMPARE(m_controller->pictureList().rowCount(), 1);
    if (fitCommand)
        QVERIFY(run(fitCommand));
    const QStringList shown = m_controller->statusTexts();
    QCOMPARE(shown.size(), texts.size());
    for (int i = 0; i < texts.size(); ++i) {
        if (i == 2)
            QCOMPARE(shown.at(i), viewgeometry::fileSizeText(QFileInfo(path).size()));
        else if (i == 3)
            QVERIFY2(shown.at(i).startsWith(texts.at(i)), qPrintable(shown.at(i)));
        else
            QCOMPARE(shown.at(i), texts.at(i));
    }
}

// The position among the own list's pictures is known only once the scan is over: the status
// bar hears of it then, with or without the scan's message.
void TestViewerController::scanEndRefreshesTheStatus()
{
    writeQuarters(*m_dir, QStringLiteral("first.png"));
    writeQuarters(*m_dir, QStringLiteral("second.png"));
    StatusMessageEater eater;
    m_controller->installEventFilter(&eater);
    QStringList positions;
    connect(m_controller, &CViewerController::stateChanged, this,
            [&] { positions << m_controller->statusTexts().value(0); });
    open(m_dir->filePath(QStringLiteral("first.png")));
    QTRY_VERIFY(!positions.isEmpty() && positions.last().endsWith(QStringLiteral("/2")));
}

void TestViewerController::frameSizing_data()
{
    QTest::addColumn<int>("fitCommand");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<bool>("fullScreen");
    QTest::addColumn<bool>("zoomToSelection");
    QTest::addColumn<bool>("sizeFrame");

    QTest::newRow("fit window to image") << int(cmd::kFitWindowToImage) << false << false << false << true;
    QTest::newRow("best fit") << int(cmd::kBestFit) << false << false << false << true;
    QTest::newRow("fit image to window") << int(cmd::kFitImageToWindow) << false << false << false << false;
    QTest::newRow("maximised") << int(cmd::kFitWindowToImage) << true << false << false << false;
    QTest::newRow("full screen") << int(cmd::kFitWindowToImage) << false << true << false << false;
    // The frame keeps its size for a zoom to a selection.
    QTest::newRow("zoom to a selection") << int(cmd::kFitWindowToImage) << false << false << true << false;
}

void TestViewerController::frameSizing()
{
    QFETCH(int, fitCommand);
    QFETCH(bool, maximised);
    QFETCH(bool, fullScreen);
    QFETCH(bool, zoomToSelection);
    QFETCH(bool, sizeFrame);

    open(writeQuarters(*m_dir, QStringLiteral("frame.png"), QSize(200, 100)));
    run(fitCommand);
    m_window.maximised = maximised;
    m_window.fullScreen = fullScreen;
    QSignalSpy layouts(m_controller, &CViewerController::zoomChanged);
    if (zoomToSelection) {
        m_controller->endBand(QRectF(20, 20, 40, 20));
        QVERIFY(run(cmd::kZoomTo));
        QCOMPARE(m_controller->zoom().zoom, 20.0); // 800 / 40 and 600 / 20, the smaller
    } else {
        // Best fit reaches past the last step up; there is always one down.
        QVERIFY(run(cmd::kZoomOut));
    }
    QCOMPARE(layouts.size(), 1);
    QCOMPARE(layouts.first().at(2).toBool(), sizeFrame);
    // The next layout may size the frame again.
    if (zoomToSelection) {
        QVERIFY(run(cmd::kActualSize));
        QCOMPARE(layouts.last().at(2).toBool(), true);
    }
}

void TestViewerController::handBack_data()
{
    QTest::addColumn<QString>("source"); // "file", "browser" or "nothing"
    QTest::addColumn<bool>("pendingIsThePicture");

    QTest::newRow("opened on a file: the browser opens its folder") << "file" << true;
    QTest::newRow("from the browser: it stays where it is") << "browser" << false;
    QTest::newRow("no images: nothing to select") << "nothing" << false;
}

void TestViewerController::handBack()
{
    QFETCH(QString, source);
    QFETCH(bool, pendingIsThePicture);

    const QString path = writeQuarters(*m_dir, QStringLiteral("last.png"));
    OwnPictureList browser;
    if (source == QLatin1String("browser")) {
        browser.setFolder(m_dir->path());
        browser.setNames({QStringLiteral("last.png")});
        browser.setCurrentName(QStringLiteral("last.png"));
        m_host->list = &browser;
        QVERIFY(m_host->image.Load(path));
        appmsg::send(m_controller, appmsg::kLoadPictureToMemory, {}, 0, &m_browser);
    } else {
        open(source == QLatin1String("file") ? path : QString());
    }
    // Zoomed, so that the way back is seen to reset it.
    QVERIFY(run(cmd::kZoomIn) == (source != QLatin1String("nothing")));
    QSignalSpy left(m_controller, &CViewerController::left);

    QVERIFY(run(cmd::kBrowser));
    QCOMPARE(left.size(), 1);
    QCOMPARE(m_host->switches, QList<int>{appmsg::kSwitchShow});
    QCOMPARE(m_browser.selected, source == QLatin1String("nothing") ? QStringList{} : QStringList{path});
    QCOMPARE(m_host->pending, pendingIsThePicture ? path : QString());
    QVERIFY(!m_host->opened);
    QCOMPARE(m_controller->zoom().zoom, 1.0);
    QVERIFY(!m_controller->noImages());
}

QTEST_GUILESS_MAIN(TestViewerController)
#include "tst_viewercontroller.moc"
