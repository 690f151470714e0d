// The viewer walking the browser's real file list: the application with both frames, a folder
// with the parent entry, a sub-folder, a file that is no picture and pictures, the real switch
// between the faces and the hand-back that leaves the last picture selected and previewed.

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/cglobalapp.h"
#include "app/cmainframe.h"
#include "app/wallpapercommand.h"
#include "browser/cbrowserview.h"
#include "browser/cfilelistctrl.h"
#include "browser/cpreviewarea.h"
#include "browser/cpreviewbar.h"
#include "core/commands.h"
#include "core/messages.h"
#include "pictureshown.h"
#include "settings/csettingsstore.h"
#include "viewer/cimageview.h"
#include "viewer/cviewframe.h"
#include "viewer/picturelist.h"
#include "postedevents.h"
#include "requiredtool.h"

namespace {

void writePicture(const QString& path, QColor colour)
{
    QImage picture(48, 32, QImage::Format_RGB32);
    picture.fill(colour);
    QVERIFY(picture.save(path));
}

void writeText(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a picture\n");
}

} // namespace

class TestViewerRoundTrip : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void moves_data();
    void moves();
    void firstWhenTheOnlyPictureIsLast();
    void theTypicalRequest();
    void standaloneStartReturnsToItsFolder_data();
    void standaloneStartReturnsToItsFolder();
    void previewDoubleClickOpensTheViewer();
    void printingFromTheBrowser_data();
    void printingFromTheBrowser();
    void closingTheFrontFrameEndsTheProgram_data();
    void closingTheFrontFrameEndsTheProgram();
    void slideShowRequestIsTakenOnce();
    void wallpaperFromTheViewerOnly();

private:
    // Starts the application on the folder (unless it runs) and opens `name` in the viewer from
    // the browser.
    void openInViewer(const QString& name, int pictures);
    int rowOf(const QString& name) const;
    // `names` in the order of the browser's rows, once the header scan marked them all.
    QStringList inListOrder(const QStringList& names);
    CImageView* view() const { return m_app->viewerFrame()->imageView(); }
    void clickRow(const QString& name, bool doubleClick);
    // The browser shows `folder` with only `name` selected and previewed.
    void verifyBrowserShows(const QString& folder, const QString& name);

    QTemporaryDir* m_dir = nullptr;
    CGlobalApp* m_app = nullptr;
};

void TestViewerRoundTrip::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
    QVERIFY(CSettingsStore::WriteProfileString(QStringLiteral("Settings"), QStringLiteral("LastFolder"),
                                               m_dir->path() + QLatin1Char('/')));
    m_app = new CGlobalApp;
}

void TestViewerRoundTrip::cleanup()
{
    delete m_app;
    delete m_dir;
}

QStringList TestViewerRoundTrip::inListOrder(const QStringList& names)
{
    if (!m_app->browserFrame() && !m_app->InitInstance({}))
        return {};
    PictureList* list = m_app->browserList();
    if (!QTest::qWaitFor([&] { return list->pictureCount() == names.size(); }))
        return {};
    QStringList ordered;
    for (int row = 0; row < list->rowCount(); ++row) {
        if (names.contains(list->rowName(row)))
            ordered << list->rowName(row);
    }
    return ordered;
}

int TestViewerRoundTrip::rowOf(const QString& name) const
{
    return m_app->browserFrame()->fileList()->rows().findByName(name);
}

void TestViewerRoundTrip::openInViewer(const QString& name, int pictures)
{
    if (!m_app->browserFrame())
        QVERIFY(m_app->InitInstance({}));
    PictureList* list = m_app->browserList();
    QVERIFY(list);
    // The header scan marks the pictures; the viewer counts them.
    QTRY_COMPARE(list->pictureCount(), pictures);
    QVERIFY(rowOf(QStringLiteral("..")) >= 0);
    m_app->browserFrame()->fileList()->selectRow(rowOf(name));
    QVERIFY(m_app->browserFrame()->browserView()->openFocusedRow());
    // The browser stays in front until the viewer has something to show, then leaves.
    QVERIFY(m_app->browserFrame()->isVisible());
    QTRY_VERIFY(m_app->viewerFrame()->isVisible());
    QVERIFY(!m_app->browserFrame()->isVisible());
    QCOMPARE(view()->fileName(), name);
}

void TestViewerRoundTrip::moves_data()
{
    QTest::addColumn<int>("from"); // the picture's place among the list's pictures
    QTest::addColumn<int>("key");  // 0: the Next command
    QTest::addColumn<int>("to");

    // Whatever the sort, the list holds "..", "sub" and notes.txt besides the three pictures.
    QTest::newRow("Next on the last wraps past the rows that are no pictures") << 2 << 0 << 0;
    QTest::newRow("Space on the last wraps") << 2 << int(Qt::Key_Space) << 0;
    QTest::newRow("Page Down on the last stays") << 2 << int(Qt::Key_PageDown) << 2;
    QTest::newRow("Page Down in the middle") << 1 << int(Qt::Key_PageDown) << 2;
    QTest::newRow("Backspace on the first wraps") << 0 << int(Qt::Key_Backspace) << 2;
    QTest::newRow("Page Up on the first stays") << 0 << int(Qt::Key_PageUp) << 0;
    QTest::newRow("End") << 0 << int(Qt::Key_End) << 2;
    QTest::newRow("Home") << 2 << int(Qt::Key_Home) << 0;
}

void TestViewerRoundTrip::moves()
{
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, to);

    const QStringList names{QStringLiteral("a.png"), QStringLiteral("b.png"), QStringLiteral("c.png")};
    for (const QString& name : names)
        writePicture(m_dir->filePath(name), Qt::red);
    writeText(m_dir->filePath(QStringLiteral("notes.txt")));
    const QStringList pictures = inListOrder(names);
    QCOMPARE(pictures.size(), 3);
    openInViewer(pictures.at(from), 3);

    if (key == 0)
        QVERIFY(view()->commandTarget().execute(cmd::kNextImage));
    else
        QTest::keyClick(view(), Qt::Key(key));
    QVERIFY(pictureShown(view()->controller()));
    QCOMPARE(view()->fileName(), pictures.at(to));
    QCOMPARE(m_app->currentImage().path(), m_dir->filePath(pictures.at(to)));
    // The browser's selection follows, alone.
    QStringList selected;
    QCOMPARE(m_app->browserFrame()->fileList()->selectedNames(selected), 1);
    QCOMPARE(selected, QStringList{pictures.at(to)});
    QCOMPARE(view()->controller().statusTexts().value(0), QStringLiteral("%1/3").arg(to + 1));
}

void TestViewerRoundTrip::firstWhenTheOnlyPictureIsLast()
{
    writeText(m_dir->filePath(QStringLiteral("notes.txt")));
    writePicture(m_dir->filePath(QStringLiteral("zz.png")), Qt::red);
    openInViewer(QStringLiteral("zz.png"), 1);
    QVERIFY(view()->commandTarget().execute(cmd::kFirstImage));
    QVERIFY(pictureShown(view()->controller()));
    QCOMPARE(view()->fileName(), QStringLiteral("zz.png"));
    QCOMPARE(m_app->browserFrame()->fileList()->focusedIndex(false), rowOf(QStringLiteral("zz.png")));
    // With one picture Random shows it again, and Next has nowhere to go.
    QVERIFY(view()->commandTarget().execute(cmd::kRandomImage));
    QVERIFY(pictureShown(view()->controller()));
    QCOMPARE(view()->fileName(), QStringLiteral("zz.png"));
    QTest::keyClick(view(), Qt::Key_Space);
    QVERIFY(pictureShown(view()->controller()));
    QCOMPARE(view()->fileName(), QStringLiteral("zz.png"));
}

void TestViewerRoundTrip::clickRow(const QString& name, bool doubleClick)
{
    CFileListCtrl* list = m_app->browserFrame()->fileList();
    QAbstractItemView* rows = list->currentView();
    const QPoint centre = rows->visualRect(list->rows().index(rowOf(name), 0)).center();
    // As the system delivers a double click: the first click selects the row.
    QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, centre);
    if (doubleClick)
        QTest::mouseDClick(rows->viewport(), Qt::LeftButton, {}, centre);
}

void TestViewerRoundTrip::verifyBrowserShows(const QString& folder, const QString& name)
{
    QTRY_VERIFY(m_app->browserFrame()->isVisible());
    QVERIFY(m_app->viewerFrame()->isHidden());
    CFileListCtrl* list = m_app->browserFrame()->fileList();
    QTRY_COMPARE(QDir(list->currentFolder()), QDir(folder));
    QTRY_VERIFY(rowOf(name) >= 0);
    QTRY_COMPARE(list->focusedIndex(false), rowOf(name));
    QStringList selected;
    QCOMPARE(list->selectedNames(selected), 1);
    QCOMPARE(selected, QStringList{name});
    QVERIFY(m_app->browserFrame()->previewBar()->showingImage());
    QCOMPARE(m_app->currentImage().path(), QDir(folder).filePath(name));
    // The columns were laid out for the list as shown, not for a list never on screen.
    QVERIFY(list->reportView()->horizontalHeader()->sectionSize(0) >= list->reportView()->width() / 4);
}

// A double click in the list, Page Down in the viewer, Enter back: the browser stays on its
// folder and previews the picture last seen, its row selected.
void TestViewerRoundTrip::theTypicalRequest()
{
    const QStringList names{QStringLiteral("a.png"), QStringLiteral("b.png")};
    for (const QString& name : names)
        writePicture(m_dir->filePath(name), Qt::red);
    writeText(m_dir->filePath(QStringLiteral("notes.txt")));
    const QStringList pictures = inListOrder(names);
    QCOMPARE(pictures.size(), 2);

    clickRow(pictures.at(0), true);
    QTRY_VERIFY(m_app->viewerFrame()->isVisible());
    QVERIFY(m_app->browserFrame()->isHidden());
    QCOMPARE(view()->fileName(), pictures.at(0));
    QCOMPARE(m_app->mainWindow(), m_app->viewerFrame());

    QTest::keyClick(view(), Qt::Key_PageDown);
    QVERIFY(pictureShown(view()->controller()));
    QCOMPARE(view()->fileName(), pictures.at(1));
    QTest::keyClick(view(), Qt::Key_Return);
    verifyBrowserShows(m_dir->path(), pictures.at(1));
    QCOMPARE(m_app->mainWindow(), m_app->browserFrame());
}

void TestViewerRoundTrip::standaloneStartReturnsToItsFolder_data()
{
    QTest::addColumn<int>("pageDowns");
    QTest::addColumn<QString>("expected");
    QTest::newRow("enter at once") << 0 << "c.png";
    QTest::newRow("after page down") << 1 << "d.png";
}

// Started on one picture of another folder than the browser's last one: the way back opens the
// picture's folder with the picture last seen selected and previewed.
void TestViewerRoundTrip::standaloneStartReturnsToItsFolder()
{
    QFETCH(int, pageDowns);
    QFETCH(QString, expected);
    const QString trip = m_dir->filePath(QStringLiteral("sub"));
    writePicture(trip + QStringLiteral("/c.png"), Qt::red);
    writePicture(trip + QStringLiteral("/d.png"), Qt::blue);
    writePicture(m_dir->filePath(QStringLiteral("elsewhere.png")), Qt::green);
    QVERIFY(m_app->InitInstance({trip + QStringLiteral("/c.png")}));
    QTRY_VERIFY(m_app->viewerFrame()->isVisible());
    QCOMPARE(view()->fileName(), QStringLiteral("c.png"));
    // The folder scan lists the pictures of the folder in the background.
    QTRY_VERIFY(view()->controller().statusTexts().value(0).endsWith(QStringLiteral("/2")));
    for (int i = 0; i < pageDowns; ++i)
        QTest::keyClick(view(), Qt::Key_PageDown);
    QVERIFY(pictureShown(view()->controller()));
    QCOMPARE(view()->fileName(), expected);

    QTest::keyClick(view(), Qt::Key_Return);
    verifyBrowserShows(trip, expected);
}

void TestViewerRoundTrip::previewDoubleClickOpensTheViewer()
{
    writePicture(m_dir->filePath(QStringLiteral("a.png")), Qt::red);
    QVERIFY(m_app->InitInstance({}));
    QTRY_COMPARE(m_app->browserList()->pictureCount(), 1);
    clickRow(QStringLiteral("a.png"), false);
    CPreviewBar* preview = m_app->browserFrame()->previewBar();
    QTRY_VERIFY(preview->showingImage());

    QTest::mouseDClick(preview->area()->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    QTRY_VERIFY(m_app->viewerFrame()->isVisible());
    QVERIFY(m_app->browserFrame()->isHidden());
    QCOMPARE(view()->fileName(), QStringLiteral("a.png"));
}

void TestViewerRoundTrip::printingFromTheBrowser_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("dialog");
    QTest::newRow("Print") << int(cmd::kFilePrint) << QByteArray("QPrintDialog");
    QTest::newRow("Print Setup") << int(cmd::kListPrintSetup) << QByteArray("QPageSetupDialog");
}

// Print and Print Setup in the browser: the viewer comes to the front with the focused picture,
// then the print or page set-up dialog opens over it. A row that is no picture cannot be printed.
void TestViewerRoundTrip::printingFromTheBrowser()
{
    QFETCH(int, command);
    QFETCH(QByteArray, dialog);
    writePicture(m_dir->filePath(QStringLiteral("a.png")), Qt::red);
    writeText(m_dir->filePath(QStringLiteral("notes.txt")));
    QVERIFY(m_app->InitInstance({}));
    QTRY_COMPARE(m_app->browserList()->pictureCount(), 1);
    CCommandActions& browser = m_app->browserFrame()->commands();
    m_app->browserFrame()->fileList()->selectRow(rowOf(QStringLiteral("notes.txt")));
    browser.update();
    QVERIFY(!browser.action(command)->isEnabled());
    m_app->browserFrame()->fileList()->selectRow(rowOf(QStringLiteral("a.png")));
    browser.update();
    QVERIFY(browser.action(command)->isEnabled());

    QByteArray dialogSeen;
    bool viewerInFront = false;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialogSeen = modal->metaObject()->className();
            viewerInFront = m_app->viewerFrame()->isVisible();
            modal->reject();
        }
    });
    closer.start(20);
    QVERIFY(browser.execute(command));
    QTRY_VERIFY(!dialogSeen.isEmpty());
    QCOMPARE(dialogSeen, dialog);
    QVERIFY(viewerInFront);
    QCOMPARE(view()->fileName(), QStringLiteral("a.png"));
}

void TestViewerRoundTrip::closingTheFrontFrameEndsTheProgram_data()
{
    QTest::addColumn<bool>("viewerInFront");
    QTest::addColumn<bool>("byExitCommand");
    QTest::newRow("browser, closed") << false << false;
    QTest::newRow("viewer, closed") << true << false;
    QTest::newRow("viewer, Exit") << true << true;
}

void TestViewerRoundTrip::closingTheFrontFrameEndsTheProgram()
{
    QFETCH(bool, viewerInFront);
    QFETCH(bool, byExitCommand);
    writePicture(m_dir->filePath(QStringLiteral("a.png")), Qt::red);
    if (viewerInFront)
        openInViewer(QStringLiteral("a.png"), 1);
    else
        QVERIFY(m_app->InitInstance({}));
    CFrameWindow* front = viewerInFront ? static_cast<CFrameWindow*>(m_app->viewerFrame())
                                        : static_cast<CFrameWindow*>(m_app->browserFrame());
    QCOMPARE(m_app->mainWindow(), front);

    QTimer::singleShot(0, front, [&] {
        if (byExitCommand)
            m_app->viewerFrame()->commands().execute(cmd::kAppExit);
        else
            front->close();
    });
    // A program that does not end fails the test instead of hanging it.
    QTimer giveUp;
    giveUp.setSingleShot(true);
    connect(&giveUp, &QTimer::timeout, this, [] { QCoreApplication::exit(1); });
    giveUp.start(10000);
    QCOMPARE(QCoreApplication::exec(), 0);
}

void TestViewerRoundTrip::slideShowRequestIsTakenOnce()
{
    writePicture(m_dir->filePath(QStringLiteral("a.png")), Qt::red);
    writePicture(m_dir->filePath(QStringLiteral("b.png")), Qt::blue);
    QVERIFY(m_app->InitInstance({}));
    QTRY_COMPARE(m_app->browserList()->pictureCount(), 2);
    CFileListCtrl* list = m_app->browserFrame()->fileList();
    list->selectRow(rowOf(QStringLiteral("a.png")));
    QTest::keyClick(list->currentView(), Qt::Key_S, Qt::ShiftModifier);
    QTRY_VERIFY(m_app->viewerFrame()->isVisible());
    QTRY_VERIFY(view()->controller().slideShowRunning());

    // Back in the browser, the next switch (Enter here, Print from the browser too) shows the
    // picture without starting the slide show again.
    QTest::keyClick(view(), Qt::Key_Return);
    QTRY_VERIFY(m_app->browserFrame()->isVisible());
    QVERIFY(!view()->controller().slideShowRunning());
    m_app->requestSwitch(appmsg::kSwitchShow);
    QTRY_VERIFY(m_app->viewerFrame()->isVisible());
    // The switch posts the slide show's start after it showed the frame, if it asks for one.
    deliverPostedEvents();
    QVERIFY(!view()->controller().slideShowRunning());
}

void TestViewerRoundTrip::wallpaperFromTheViewerOnly()
{
    QVERIFY2(hasTool("gsettings"), missingTool("gsettings", "libglib2.0-bin"));
    // A GNOME desktop whose settings live in this test's own configuration folder.
    qputenv("GSETTINGS_BACKEND", "keyfile");
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    writePicture(m_dir->filePath(QStringLiteral("wall.png")), Qt::green);
    QVERIFY(m_app->InitInstance({}));
    CCommandActions& browser = m_app->browserFrame()->commands();
    browser.update();
    QVERIFY(!browser.action(cmd::kWallpaperTile)->isEnabled());
    openInViewer(QStringLiteral("wall.png"), 1);
    CCommandActions& viewer = m_app->viewerFrame()->commands();
    viewer.update();
    QVERIFY(viewer.action(cmd::kWallpaperTile)->isEnabled());
    QVERIFY(viewer.execute(cmd::kWallpaperTile));

    const auto get = [](const char* key) {
        QProcess gsettings;
        gsettings.start(QStringLiteral("gsettings"),
                        {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.background"), QLatin1String(key)});
        return gsettings.waitForFinished() ? QString::fromUtf8(gsettings.readAllStandardOutput()).trimmed() : QString();
    };
    QCOMPARE(get("picture-options"), QStringLiteral("'wallpaper'"));
    QVERIFY(get("picture-uri").contains(QStringLiteral("Zelt%20Wallpaper.bmp")));
    QVERIFY(QFileInfo::exists(wallpapercommand::wallpaperFilePath()));
}

QTEST_MAIN(TestViewerRoundTrip)
#include "tst_viewerroundtrip.moc"
