// The viewer frame, offscreen, on real pictures in a temporary folder: its toolbar (layout,
// labels, tooltips, prompts, the texture on "Set background texture", the pointer kept on it
// while the frame moves), full screen in and out with the exact placement and bars put back and
// the fit mode applied again, the middle button and the double click, the menu prompt giving
// way to the panes again, Select None, Info, and the relays of the view's menu, which reach a
// recording application.

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSet>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "core/messages.h"
#include "fileops/cfileinfodlg.h"
#include "parkpointer.h"
#include "pictureshown.h"
#include "postedevents.h"
#include "recordinghost.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "ui/ctexture.h"
#include "viewer/cimageview.h"
#include "viewer/cviewframe.h"

namespace {

QString writePicture(const QTemporaryDir& dir, const QString& name, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QPainter painter(&image);
    painter.fillRect(QRect(QPoint(0, 0), size / 2), Qt::yellow);
    painter.end();
    const QString path = dir.filePath(name);
    return image.save(path, "PNG") ? path : QString();
}

QString writeFlat(const QTemporaryDir& dir, const QString& name, const QColor& colour)
{
    QImage image(64, 64, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = dir.filePath(name);
    return image.save(path, "PNG") ? path : QString();
}

// The share of a widget's pixels that have exactly this colour.
double shareOf(QWidget* widget, const QColor& colour)
{
    const QImage shot = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    qint64 same = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x)
            same += shot.pixel(x, y) == colour.rgb() ? 1 : 0;
    }
    return shot.isNull() ? 0.0 : double(same) / (double(shot.width()) * shot.height());
}

} // namespace

class TestViewFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void toolBarLayout_data();
    void toolBarLayout();
    void fileCommandKeysAndState_data();
    void fileCommandKeysAndState();
    void noKeyServesTwoCommands();
    void toolbarCommandShowsAndHides();
    void textureFollowsTheMessage();
    void fullScreenRoundTrip_data();
    void fullScreenRoundTrip();
    void middleButtonAndDoubleClick();
    void fullScreenSurvivesMovesAndEndsWithTheHandBack();
    void frameMovedAfterLeavingStaysWhereItIs();
    void firstPictureFitsTheClientItFinallyHas();
    void viewMenuShowsFullScreenAndTheRelays();
    void relays_data();
    void relays();
    void selectNone();
    void infoAndProperties_data();
    void infoAndProperties();
    void promptThenPanes_data();
    void promptThenPanes();
    void pointerStaysOnTheToolBar_data();
    void pointerStaysOnTheToolBar();

private:
    void open(const QString& path, QRect geometry = QRect(60, 50, 640, 480));
    CImageView* view() const { return m_frame->imageView(); }
    QAction* action(int id) const { return m_frame->commands().action(id); }
    bool run(int id) { return m_frame->commands().execute(id) && pictureShown(view()->controller()); }
    QToolBar* toolBar() const { return m_frame->findChild<QToolBar*>(QStringLiteral("ViewerToolBar")); }
    // The strip that holds the toolbar: it shows, hides and paints the texture.
    QToolBar* rebar() const { return m_frame->findChild<QToolBar*>(QStringLiteral("ViewerRebar")); }
    QWidget* button(int id) const { return toolBar()->widgetForAction(action(id)); }

    QTemporaryDir* m_dir = nullptr;
    RecordingHost* m_host = nullptr;
    // Stands for the application: records what reaches it.
    CCommandTarget* m_app = nullptr;
    QList<int> m_reached;
    CViewFrame* m_frame = nullptr;
};

void TestViewFrame::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    CSettingsStore::WriteProfileInt(settingskeys::kViewMode, 0);
    m_host = new RecordingHost;
    m_reached.clear();
    m_app = new CCommandTarget;
    // What the application handles for every window.
    for (int id : {int(cmd::kFileOpen), int(cmd::kAppExit), int(cmd::kHelpContents)})
        m_app->on(id, [this, id] { m_reached << id; });
    m_frame = new CViewFrame(*m_host, m_host->options, m_app);
    parkPointerOffScreen();
}

void TestViewFrame::cleanup()
{
    delete m_frame;
    delete m_app;
    delete m_host;
    delete m_dir;
}

void TestViewFrame::open(const QString& path, QRect geometry)
{
    QVERIFY(!path.isEmpty());
    QVERIFY(m_host->image.Load(path));
    m_host->pending = path;
    m_host->opened = true;
    m_frame->setGeometry(geometry);
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);
    QVERIFY(!view()->controller().noImages());
}

void TestViewFrame::toolBarLayout_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("command"); // 0: a separator
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("toolTip"); // empty: not a text of its own

    struct Entry {
        int command;
        const char* label;
        const char* toolTip;
    };
    const Entry entries[] = {
        {32829, "Browse", "Browse"},
        {0, "", ""},
        {32817, "Previous", "Previous"},
        {32818, "Next", "Next"},
        {0, "", ""},
        {32828, "Slide Show", "Slide Show"},
        {0, "", ""},
        {32820, "Zoom Out", "Zoom Out"},
        {32822, "Actual Size", "Actual Size"},
        {32819, "Zoom In", "Zoom In"},
        {0, "", ""},
        {32823, "Full Screen", "Full Screen"},
        {0, "", ""},
        {57607, "Print File", "Print"},
        {32899, "Delete File", "Delete"},
        {32843, "Options", "Options"},
        {0, "", ""},
        {32825, "Flip", "Flip"},
        {32824, "Mirror", "Mirror"},
        {32827, "Rotate Left", "Rotate left"},
        {32826, "Rotate Right", "Rotate right"},
        {32879, "First image", "First"},
        {32880, "Last image", "Last"},
        {32881, "Random image", "Random View"},
        {32854, "Refresh", "Refresh"},
        {32895, "Copy to", "Copy To"},
        {32896, "Move to", "Move To"},
        {32897, "Cut", "Cut"},
        {32857, "Save", "Save As"},
        {32801, "Properties", "Properties"},
        {57665, "Exit", "Exit"},
        {32842, "Help", ""},
    };
    int index = 0;
    for (const Entry& entry : entries) {
        QTest::addRow("%d %s", index + 1, entry.command ? entry.label : "separator")
            << index << entry.command << QString::fromLatin1(entry.label) << QString::fromLatin1(entry.toolTip);
        ++index;
    }
}

void TestViewFrame::toolBarLayout()
{
    QFETCH(int, index);
    QFETCH(int, command);
    QFETCH(QString, label);
    QFETCH(QString, toolTip);

    QToolBar* bar = toolBar();
    QVERIFY(bar);
    const QList<QAction*> entries = bar->actions();
    QCOMPARE(entries.size(), 32);
    QAction* entry = entries.at(index);
    if (command == 0) {
        QVERIFY(entry->isSeparator());
        return;
    }
    QCOMPARE(entry, action(command));
    auto* widget = qobject_cast<QToolButton*>(bar->widgetForAction(entry));
    QVERIFY(widget);
    QCOMPARE(widget->text(), label);
    QCOMPARE(widget->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    QCOMPARE(bar->iconSize(), QSize(32, 32));
    if (!toolTip.isEmpty())
        QCOMPARE(widget->toolTip(), toolTip);
    // The menus keep the command's own text.
    QVERIFY(entry->text() != label || QString::fromUtf8(cmd::info(command)->menuText) == label);
}

void TestViewFrame::fileCommandKeysAndState_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<bool>("handled"); // else there and disabled, for a later part

    QTest::newRow("Save As") << int(cmd::kSaveAs) << QKeySequence(Qt::CTRL | Qt::Key_S) << true;
    QTest::newRow("Export") << int(cmd::kExport) << QKeySequence() << true;
    QTest::newRow("Copy To") << int(cmd::kViewerCopyTo) << QKeySequence(Qt::ALT | Qt::Key_C) << true;
    QTest::newRow("Move To") << int(cmd::kViewerMoveTo) << QKeySequence(Qt::ALT | Qt::Key_M) << true;
    QTest::newRow("Cut File") << int(cmd::kCutFile) << QKeySequence(Qt::CTRL | Qt::Key_X) << true;
    QTest::newRow("Copy Image") << int(cmd::kViewerCopyImage) << QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)
                                << true;
    QTest::newRow("Paste, no files on the clipboard") << int(cmd::kViewerPaste) << QKeySequence(Qt::CTRL | Qt::Key_V)
                                                      << false;
    QTest::newRow("Delete") << int(cmd::kViewerDelete) << QKeySequence(Qt::Key_Delete) << true;
    QTest::newRow("Rename") << int(cmd::kViewerRename) << QKeySequence(Qt::Key_F2) << true;
    QTest::newRow("Describe") << int(cmd::kViewerDescribe) << QKeySequence(Qt::CTRL | Qt::Key_D) << true;
    QTest::newRow("Options") << int(cmd::kOptions) << QKeySequence(Qt::CTRL | Qt::Key_O) << false;
    // The view menu's relays of those follow them.
    QTest::newRow("Save As of the view's menu") << int(cmd::kSaveCropAs) << QKeySequence() << true;
    QTest::newRow("Export of the view's menu") << int(cmd::kMenuExport) << QKeySequence() << true;
}

void TestViewFrame::fileCommandKeysAndState()
{
    QFETCH(int, command);
    QFETCH(QKeySequence, keys);
    QFETCH(bool, handled);

    // Nothing to act on in the "No images" state.
    m_frame->show();
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);
    m_frame->commands().update();
    QVERIFY(!action(command)->isEnabled());

    open(writePicture(*m_dir, QStringLiteral("shown.png"), QSize(120, 90)));
    m_frame->commands().update();
    QCOMPARE(action(command)->isEnabled(), handled);
    if (!handled)
        QVERIFY(!run(command));
    QCOMPARE(action(command)->shortcut(), keys);
    // Listed in a menu of the menu bar or the view's menu.
    bool listed = m_frame->viewMenu()->actions().contains(action(command));
    for (QAction* menu : m_frame->menuBar()->actions())
        listed = listed || menu->menu()->actions().contains(action(command));
    QVERIFY(listed);
}

void TestViewFrame::noKeyServesTwoCommands()
{
    QHash<QKeySequence, QString> owners;
    for (QAction* candidate : m_frame->actions()) {
        for (const QKeySequence& keys : candidate->shortcuts()) {
            QVERIFY2(!owners.contains(keys), qPrintable(keys.toString() + QStringLiteral(": ") + owners.value(keys) +
                                                        QStringLiteral(" and ") + candidate->text()));
            owners.insert(keys, candidate->text());
        }
    }
    // The keys the table gives the frame's own commands.
    QCOMPARE(owners.value(QKeySequence(Qt::CTRL | Qt::Key_F)), action(cmd::kFullScreen)->text());
    QCOMPARE(owners.value(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_T)), action(cmd::kViewerToolbar)->text());
    QCOMPARE(owners.value(QKeySequence(Qt::ALT | Qt::Key_Return)), action(cmd::kInfo)->text());
    QCOMPARE(owners.value(QKeySequence(Qt::Key_F5)), action(cmd::kViewerRefresh)->text());
}

void TestViewFrame::toolbarCommandShowsAndHides()
{
    open(writePicture(*m_dir, QStringLiteral("bar.png"), QSize(120, 90)));
    QVERIFY(rebar()->isVisible());
    QVERIFY(action(cmd::kViewerToolbar)->isChecked());
    const int clientHeight = view()->height();
    QVERIFY(run(cmd::kViewerToolbar));
    QVERIFY(rebar()->isHidden());
    QVERIFY(!action(cmd::kViewerToolbar)->isChecked());
    // The view takes the room.
    QTRY_VERIFY(view()->height() > clientHeight);
    QVERIFY(run(cmd::kViewerToolbar));
    QVERIFY(rebar()->isVisible());
    QVERIFY(action(cmd::kViewerToolbar)->isChecked());
}

void TestViewFrame::textureFollowsTheMessage()
{
    QVERIFY(installTexture(writeFlat(*m_dir, QStringLiteral("red.png"), QColor(255, 0, 0))));
    open(writePicture(*m_dir, QStringLiteral("t.png"), QSize(120, 90)));
    const double red = shareOf(rebar(), QColor(255, 0, 0));
    QVERIFY2(red > 0.3, qPrintable(QString::number(red)));

    // A new texture file alone changes nothing: the bar keeps the tile it made.
    QVERIFY(installTexture(writeFlat(*m_dir, QStringLiteral("blue.png"), QColor(0, 0, 255))));
    QVERIFY(shareOf(rebar(), QColor(0, 0, 255)) < 0.01);
    QVERIFY(appmsg::send(m_frame, appmsg::kSetBackgroundTexture));
    const double blue = shareOf(rebar(), QColor(0, 0, 255));
    QVERIFY2(blue > 0.3, qPrintable(QString::number(blue)));
    QVERIFY(shareOf(rebar(), QColor(255, 0, 0)) < 0.01);
}

void TestViewFrame::fullScreenRoundTrip_data()
{
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<int>("fitCommand");
    QTest::addColumn<bool>("toolBarShown");
    QTest::addColumn<bool>("statusBarShown");

    QTest::newRow("normal, fit image to window") << false << int(cmd::kFitImageToWindow) << true << true;
    QTest::newRow("normal, toolbar hidden") << false << int(cmd::kFitImageToWindow) << false << true;
    QTest::newRow("normal, status bar hidden") << false << int(cmd::kFitImageToWindow) << true << false;
    QTest::newRow("normal, fit window to image") << false << int(cmd::kFitWindowToImage) << true << true;
    QTest::newRow("normal, best fit") << false << int(cmd::kBestFit) << true << true;
    QTest::newRow("maximised, fit image to window") << true << int(cmd::kFitImageToWindow) << true << true;
    QTest::newRow("maximised, bars hidden, best fit") << true << int(cmd::kBestFit) << false << false;
}

void TestViewFrame::fullScreenRoundTrip()
{
    QFETCH(bool, maximised);
    QFETCH(int, fitCommand);
    QFETCH(bool, toolBarShown);
    QFETCH(bool, statusBarShown);

    const QSize picture(1600, 1000);
    open(writePicture(*m_dir, QStringLiteral("wide.png"), picture), QRect(70, 40, 600, 450));
    run(fitCommand);
    rebar()->setVisible(toolBarShown);
    m_frame->statusBar()->setVisible(statusBarShown);
    if (maximised) {
        m_frame->showMaximized();
        QTRY_COMPARE(m_frame->frameGeometry(), m_frame->screen()->availableGeometry());
    }
    // Scroll bars of a former zoom go with the next pass of the event loop; the fit is then
    // made for the whole client.
    QVERIFY(run(cmd::kViewerRefresh));
    QCoreApplication::processEvents();
    QVERIFY(run(cmd::kViewerRefresh));
    QCOMPARE(m_frame->isMaximized(), maximised);
    const QRect geometry = m_frame->geometry();
    const QRect normal = m_frame->normalGeometry();
    const double zoom = view()->controller().zoom().zoom;

    QVERIFY(run(cmd::kFullScreen));
    QVERIFY(m_frame->isFullScreen());
    QVERIFY(action(cmd::kFullScreen)->isChecked());
    const QRect screen = m_frame->screen()->geometry();
    QTRY_COMPARE(m_frame->geometry(), screen);
    QVERIFY(m_frame->menuBar()->isHidden());
    QVERIFY(rebar()->isHidden());
    QVERIFY(m_frame->statusBar()->isHidden());
    QCOMPARE(view()->size(), screen.size());
    // Applied again to the whole screen: "fit window to image" shows the picture as it is.
    const double fitted =
        std::min(double(screen.width()) / picture.width(), double(screen.height()) / picture.height());
    QTRY_COMPARE(view()->controller().zoom().zoom, fitCommand == cmd::kFitWindowToImage ? 1.0 : fitted);
    if (fitCommand != cmd::kFitWindowToImage)
        QCOMPARE(view()->viewport()->size(), screen.size());
    if (fitCommand != cmd::kFitWindowToImage)
        QVERIFY(view()->controller().zoom().zoom > zoom);

    QVERIFY(run(cmd::kFullScreen));
    QVERIFY(!m_frame->isFullScreen());
    QVERIFY(!action(cmd::kFullScreen)->isChecked());
    QCOMPARE(m_frame->isMaximized(), maximised);
    QVERIFY(!m_frame->menuBar()->isHidden());
    QCOMPARE(!rebar()->isHidden(), toolBarShown);
    QCOMPARE(!m_frame->statusBar()->isHidden(), statusBarShown);
    // The window system may place a maximised frame after the event loop ran.
    QTRY_COMPARE(m_frame->geometry(), geometry);
    QCOMPARE(m_frame->normalGeometry(), normal);
    QTRY_COMPARE(view()->controller().zoom().zoom, zoom);
    QCOMPARE(m_frame->geometry(), geometry);
}

void TestViewFrame::middleButtonAndDoubleClick()
{
    open(writePicture(*m_dir, QStringLiteral("m.png"), QSize(300, 200)));
    QWidget* viewport = view()->viewport();
    QTest::mouseClick(viewport, Qt::MiddleButton, Qt::NoModifier, QPoint(20, 20));
    QVERIFY(m_frame->isFullScreen());
    QTest::mouseClick(viewport, Qt::MiddleButton, Qt::NoModifier, QPoint(20, 20));
    QVERIFY(!m_frame->isFullScreen());
    QTest::mouseClick(viewport, Qt::MiddleButton, Qt::NoModifier, QPoint(20, 20));
    QVERIFY(m_frame->isFullScreen());

    // In full screen a double click only leaves it.
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    QVERIFY(!m_frame->isFullScreen());
    QVERIFY(m_host->switches.isEmpty());
    QVERIFY(m_frame->isVisible());
    // Outside it, back to the browser.
    QTest::mouseDClick(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    QCOMPARE(m_host->switches, QList<int>{appmsg::kSwitchShow});
    QVERIFY(!m_frame->isFullScreen());
}

void TestViewFrame::fullScreenSurvivesMovesAndEndsWithTheHandBack()
{
    writePicture(*m_dir, QStringLiteral("a.png"), QSize(300, 200));
    writePicture(*m_dir, QStringLiteral("b.png"), QSize(200, 300));
    const QRect placement(80, 60, 500, 400);
    open(m_dir->filePath(QStringLiteral("a.png")), placement);
    QTRY_COMPARE(view()->controller().pictureList().rowCount(), 2);
    const QRect geometry = m_frame->geometry();
    QVERIFY(run(cmd::kFullScreen));
    for (int id : {int(cmd::kNextImage), int(cmd::kZoomIn), int(cmd::kRotateLeft), int(cmd::kBestFit),
                   int(cmd::kFitWindowToImage), int(cmd::kSlideShow), int(cmd::kSlideShow)}) {
        QVERIFY(run(id));
        QVERIFY(m_frame->isFullScreen());
        QCOMPARE(m_frame->geometry(), m_frame->screen()->geometry());
    }

    // The hand-back hides the frame; it is put back as it was, out of full screen.
    QTest::keyClick(view(), Qt::Key_Escape);
    QCOMPARE(m_host->switches, QList<int>{appmsg::kSwitchShow});
    m_frame->hide();
    QVERIFY(!m_frame->isFullScreen());
    QVERIFY(!action(cmd::kFullScreen)->isChecked());
    QVERIFY(!m_frame->menuBar()->isHidden());
    QVERIFY(!rebar()->isHidden());
    QVERIFY(!m_frame->statusBar()->isHidden());
    QCOMPARE(m_frame->geometry(), geometry);

    // Shown again by the next picture, with its bars.
    const QString next = m_dir->filePath(QStringLiteral("b.png"));
    QVERIFY(m_host->image.Load(next));
    m_host->pending = next;
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);
    QVERIFY(m_frame->isVisible());
    QVERIFY(!m_frame->isFullScreen());
    QVERIFY(rebar()->isVisible());
    QVERIFY(m_frame->menuBar()->isVisible());
}

// Another picture in full screen: "fit window to image" places the frame anew on the way out,
// away from where it was. Moved by the user afterwards, it stays where it was put.
void TestViewFrame::frameMovedAfterLeavingStaysWhereItIs()
{
    writePicture(*m_dir, QStringLiteral("a.png"), QSize(300, 200));
    writePicture(*m_dir, QStringLiteral("b.png"), QSize(200, 300));
    open(m_dir->filePath(QStringLiteral("a.png")), QRect(80, 60, 500, 400));
    QVERIFY(run(cmd::kFitWindowToImage));
    QTRY_COMPARE(view()->controller().pictureList().rowCount(), 2);
    QVERIFY(run(cmd::kFullScreen));
    QVERIFY(run(cmd::kNextImage));
    QVERIFY(run(cmd::kFullScreen));
    QTRY_VERIFY(!m_frame->isFullScreen());
    // Once the window system has settled the frame and the last fit it asked for was made.
    QTRY_VERIFY(!m_frame->refitPending());
    deliverPostedEvents();
    const QPoint moved = m_frame->pos() + QPoint(37, 23);
    m_frame->move(moved);
    QTRY_COMPARE(m_frame->pos(), moved);
    // Nothing is left to place the frame again.
    deliverPostedEvents();
    QVERIFY(!m_frame->refitPending());
    QCOMPARE(m_frame->pos(), moved);
}

// The frame comes maximised with its first picture, fitted to the work area; a window manager
// takes its borders off that only once the frame is mapped. The picture follows, fitted as the
// next ones are: whole in the client, with no scroll bar.
void TestViewFrame::firstPictureFitsTheClientItFinallyHas()
{
    delete m_frame;
    m_host->options.ViewMode = int(viewgeometry::FitMode::FitImageToWindow);
    m_frame = new CViewFrame(*m_host, m_host->options, m_app);
    const QString path = writePicture(*m_dir, QStringLiteral("camera.png"), QSize(1600, 1200));
    QVERIFY(m_host->image.Load(path));
    m_host->pending = path;
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);
    QVERIFY(m_frame->isVisible());
    // What the window manager does with its borders and caption.
    const QRect work = m_frame->screen()->availableGeometry();
    m_frame->setGeometry(work.adjusted(4, 24, -4, -4));
    QTRY_COMPARE(m_frame->geometry(), work.adjusted(4, 24, -4, -4));
    QTRY_VERIFY(!m_frame->refitPending());
    deliverPostedEvents();

    const QSize client = view()->viewport()->size();
    QCOMPARE(client, view()->size());
    const QSize display = view()->contentSize();
    QVERIFY2(display.width() <= client.width() && display.height() <= client.height(),
             qPrintable(QStringLiteral("%1x%2 in %3x%4")
                            .arg(display.width())
                            .arg(display.height())
                            .arg(client.width())
                            .arg(client.height())));
    QVERIFY(display.width() >= client.width() - 1 || display.height() >= client.height() - 1);
    QCOMPARE(view()->scrollPosition(), QPoint(0, 0));
}

void TestViewFrame::viewMenuShowsFullScreenAndTheRelays()
{
    open(writePicture(*m_dir, QStringLiteral("menu.png"), QSize(300, 200)));
    QVERIFY(run(cmd::kFullScreen));
    const QPoint at = view()->mapToGlobal(QPoint(40, 40));
    Q_EMIT view()->contextMenuRequested(at, false);
    QMenu* menu = m_frame->viewMenu();
    QVERIFY(menu->isVisible());
    QVERIFY(action(cmd::kFullScreen)->isChecked());
    const QList<QAction*> items = menu->actions();
    for (int id : {int(cmd::kFullScreen), int(cmd::kMenuOpen), int(cmd::kSaveCropAs), int(cmd::kMenuExport),
                   int(cmd::kMenuExit)})
        QVERIFY2(items.contains(action(id)), qPrintable(QString::number(id)));
    QCOMPARE(action(cmd::kSaveCropAs)->text(), QStringLiteral("&Save As..."));
    menu->hide();
    // Over a selection the same command saves the cut.
    Q_EMIT view()->contextMenuRequested(at, true);
    QVERIFY(m_frame->cropMenu()->isVisible());
    QCOMPARE(action(cmd::kSaveCropAs)->text(), QStringLiteral("&Save Crop As..."));
    m_frame->cropMenu()->hide();
}

void TestViewFrame::relays_data()
{
    QTest::addColumn<int>("relay");
    QTest::addColumn<int>("target");
    QTest::addColumn<bool>("targetHandled"); // by the application of this issue

    // Save As and Export are the frame's own: the tests of the file commands run their relays.
    QTest::newRow("Open") << int(cmd::kMenuOpen) << int(cmd::kFileOpen) << true;
    QTest::newRow("Exit") << int(cmd::kMenuExit) << int(cmd::kAppExit) << true;
}

void TestViewFrame::relays()
{
    QFETCH(int, relay);
    QFETCH(int, target);
    QFETCH(bool, targetHandled);

    open(writePicture(*m_dir, QStringLiteral("relay.png"), QSize(120, 90)));
    m_frame->commands().update();
    QCOMPARE(action(relay)->isEnabled(), targetHandled);
    QCOMPARE(run(relay), targetHandled);
    QCOMPARE(m_reached, targetHandled ? QList<int>{target} : QList<int>{});

    // Once something handles the target, the relay reaches it.
    m_reached.clear();
    m_app->on(target, [this, target] { m_reached << target; });
    m_frame->commands().update();
    QVERIFY(action(relay)->isEnabled());
    action(relay)->trigger();
    QCOMPARE(m_reached, QList<int>{target});
}

void TestViewFrame::selectNone()
{
    open(writePicture(*m_dir, QStringLiteral("sel.png"), QSize(200, 100)));
    m_frame->commands().update();
    QVERIFY(!action(cmd::kSelectNone)->isEnabled());
    QWidget* viewport = view()->viewport();
    const QSize client = viewport->size();
    const QPoint origin((client.width() - 200) / 2, (client.height() - 100) / 2);
    // A move with no button down readies the band.
    QMouseEvent hover(QEvent::MouseMove, origin + QPoint(10, 10), viewport->mapToGlobal(origin + QPoint(10, 10)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &hover);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, origin + QPoint(10, 10));
    QTest::mouseMove(viewport, origin + QPoint(60, 50));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, origin + QPoint(60, 50));
    QVERIFY(view()->controller().selection().has_value());
    QVERIFY(action(cmd::kSelectNone)->isEnabled());
    QVERIFY(run(cmd::kSelectNone));
    QVERIFY(!view()->controller().selection().has_value());
    QVERIFY(!action(cmd::kSelectNone)->isEnabled());
    QVERIFY(!view()->commandTarget().isEnabled(cmd::kZoomTo));
}

void TestViewFrame::infoAndProperties_data()
{
    QTest::addColumn<int>("command");
    QTest::newRow("Info") << int(cmd::kInfo);
    QTest::newRow("Properties") << int(cmd::kProperties);
}

void TestViewFrame::infoAndProperties()
{
    QFETCH(int, command);

    // Nothing to describe in the "No images" state.
    m_frame->show();
    appmsg::send(view(), appmsg::kLoadViewerBeforeBrowser);
    QVERIFY(view()->controller().noImages());
    QVERIFY(!run(command));

    const QString path = writePicture(*m_dir, QStringLiteral("info.png"), QSize(120, 90));
    open(path);
    QString shownFor;
    QTimer::singleShot(0, this, [&shownFor] {
        auto* dialog = qobject_cast<CFileInfoDlg*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            if (label->text().contains(QStringLiteral("info.png")))
                shownFor = label->text();
        }
        dialog->reject();
    });
    QVERIFY(run(command));
    QVERIFY2(shownFor.endsWith(QStringLiteral("/info.png")), qPrintable(shownFor));
}

void TestViewFrame::promptThenPanes_data()
{
    QTest::addColumn<QString>("where");
    QTest::newRow("menu bar") << "menu bar";
    QTest::newRow("view's menu") << "view's menu";
    QTest::newRow("toolbar button") << "toolbar button";
}

void TestViewFrame::promptThenPanes()
{
    QFETCH(QString, where);

    open(writePicture(*m_dir, QStringLiteral("prompt.png"), QSize(120, 90)));
    QTRY_COMPARE(view()->controller().statusTexts().value(0), QStringLiteral("1/1"));
    QStatusBar* bar = m_frame->statusBar();
    QLabel* position = m_frame->findChild<QLabel*>(QStringLiteral("viewerPane0"));
    QLabel* zoom = m_frame->findChild<QLabel*>(QStringLiteral("viewerPane4"));
    QLabel* rest = m_frame->findChild<QLabel*>(QStringLiteral("viewerPane5"));
    QVERIFY(position->isVisible() && zoom->isVisible() && rest->isHidden());
    QCOMPARE(zoom->text(), QStringLiteral("100%"));

    // The first item of the View menu is Toolbar, of the view's menu Open.
    QMenu* menu = nullptr;
    int command = cmd::kPreviousImage;
    if (where == QLatin1String("menu bar")) {
        menu = m_frame->menuBar()->actions().at(2)->menu();
        m_frame->menuBar()->setActiveAction(menu->menuAction());
        command = cmd::kViewerToolbar;
    } else if (where == QLatin1String("view's menu")) {
        menu = m_frame->viewMenu();
        Q_EMIT view()->contextMenuRequested(view()->mapToGlobal(QPoint(30, 30)), false);
        command = cmd::kMenuOpen;
    }
    if (menu) {
        QVERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(menu->activeAction(), action(command));
    } else {
        QTest::mouseMove(button(command), QPoint(10, 10));
    }
    QTRY_COMPARE(bar->currentMessage(), QString::fromUtf8(cmd::info(command)->prompt));
    QVERIFY(!position->isVisible() && !zoom->isVisible());

    // The picture changes behind the prompt: it stays on top.
    QVERIFY(view()->commandTarget().execute(cmd::kZoomIn));
    QVERIFY(!position->isVisible() && !zoom->isVisible());

    if (menu)
        QTest::keyClick(menu, Qt::Key_Escape);
    else
        QTest::mouseMove(view()->viewport(), QPoint(20, 20));
    QTRY_VERIFY(bar->currentMessage().isEmpty());
    QVERIFY(position->isVisible() && zoom->isVisible() && rest->isHidden());
    QCOMPARE(zoom->text(), QStringLiteral("150%"));
    QCOMPARE(m_frame->statusText(), view()->controller().statusTexts().join(QStringLiteral("  ")));
}

void TestViewFrame::pointerStaysOnTheToolBar_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("overToolBar");

    QTest::newRow("Zoom Out") << int(cmd::kZoomOut) << true;
    QTest::newRow("Zoom In") << int(cmd::kZoomIn) << true;
    QTest::newRow("Rotate Right") << int(cmd::kRotateRight) << true;
    QTest::newRow("Rotate Left") << int(cmd::kRotateLeft) << true;
    QTest::newRow("Zoom Out, pointer on the picture") << int(cmd::kZoomOut) << false;
}

void TestViewFrame::pointerStaysOnTheToolBar()
{
    QFETCH(int, command);
    QFETCH(bool, overToolBar);

    // "Fit window to image": every step sizes the frame and centres it in the work area.
    open(writePicture(*m_dir, QStringLiteral("p.png"), QSize(600, 340)));
    const QRect before = m_frame->geometry();
    QWidget* target = overToolBar ? button(cmd::kZoomOut) : view()->viewport();
    QVERIFY(target && target->isVisible());
    const QPoint start = target->mapToGlobal(QPoint(10, 12));
    QCursor::setPos(start);
    if (QCursor::pos() != start)
        QSKIP("The platform does not move the pointer");
    const QPoint onToolBar = rebar()->mapFromGlobal(start);

    QVERIFY(run(command));
    QVERIFY(m_frame->geometry().topLeft() != before.topLeft());
    if (overToolBar)
        QCOMPARE(rebar()->mapFromGlobal(QCursor::pos()), onToolBar);
    else
        QCOMPARE(QCursor::pos(), start);
}

QTEST_MAIN(TestViewFrame)
#include "tst_viewframe.moc"
