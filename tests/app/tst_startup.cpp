#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "app/cglobalapp.h"
#include "app/cmainframe.h"
#include "browser/cbrowserview.h"
#include "browser/cfilelistctrl.h"
#include "core/messages.h"
#include "settings/csettingsstore.h"
#include "settings/storedstate.h"
#include "viewer/cimageview.h"
#include "viewer/cviewframe.h"

#include "parkpointer.h"
#include "pictureshown.h"

namespace {

// Records the messages of one name that reach a window.
class MessageRecorder : public QObject {
public:
    MessageRecorder(QObject* target, const char* name) : m_name(name) { target->installEventFilter(this); }
    QList<appmsg::Message> seen;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (const appmsg::Message* message = appmsg::as(event, m_name))
            seen << appmsg::Message(m_name, message->path, message->kind, message->object);
        return false;
    }

private:
    const char* m_name;
};

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void noArgumentsShowsBrowser();
    void folderShowsBrowserOnIt_data();
    void folderShowsBrowserOnIt();
    void startUpLoadsTheOptions();
    void pictureShowsViewer();
    void startWithoutAPicture_data();
    void startWithoutAPicture();
    void returnToBrowserHandsOverTheFolder();
    void flagOnlyReturnOpensTheLastFolder();
    void viewerOnlyRunKeepsTheBrowserState();
    void switchToViewerAndPrintRequest();
    void fileOpenShowsPictureInViewer();
    void browserHandsItsPictureToTheViewer();
    void messageTypesAreRegisteredOncePerName();

private:
    QString writePicture(const QString& name, QSize size = QSize(64, 48));
    QTemporaryDir m_dir;
};

void TestStartup::init()
{
    QVERIFY(m_dir.isValid());
    parkPointerOffScreen();
}

QString TestStartup::writePicture(const QString& name, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(30, 120, 200));
    const QString path = m_dir.filePath(name);
    if (!image.save(path, "PNG"))
        return {};
    return path;
}

void TestStartup::noArgumentsShowsBrowser()
{
    CGlobalApp app;
    QVERIFY(app.InitInstance({}));
    QCoreApplication::processEvents();
    QVERIFY(app.browserFrame()->isVisible());
    QVERIFY(app.viewerFrame()->isHidden());
    QCOMPARE(app.mainWindow(), app.browserFrame());
    QCOMPARE(app.browserFrame()->windowTitle(), QStringLiteral("Zelt Pixoria"));
    QCOMPARE(CSettingsStore::GetProfileString("Settings", "AppPath"), QCoreApplication::applicationFilePath());
}

void TestStartup::folderShowsBrowserOnIt_data()
{
    QTest::addColumn<QStringList>("arguments"); // "%1" stands for the temporary folder
    QTest::newRow("absolute") << QStringList{"%1/Holiday"};
    QTest::newRow("with a slash") << QStringList{"%1/Holiday/"};
    QTest::newRow("relative") << QStringList{"Holiday"};
    QTest::newRow("asking for the viewer") << QStringList{"-v", "%1/Holiday"};
    QTest::newRow("blanks in its name") << QStringList{"%1/My", "Photos"};
}

void TestStartup::folderShowsBrowserOnIt()
{
    QFETCH(QStringList, arguments);
    QVERIFY(CSettingsStore::WriteProfileString("Settings", "LastFolder", m_dir.path() + '/'));
    const QString folder = m_dir.filePath(arguments.join(' ').contains("My") ? "My Photos" : "Holiday");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(!writePicture(QDir(folder).dirName() + "/beach.png").isEmpty());
    arguments.replaceInStrings("%1", m_dir.path());
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dir.path()));
    CGlobalApp app;
    QVERIFY(app.InitInstance(arguments));
    QVERIFY(QDir::setCurrent(before));
    QVERIFY(app.browserFrame()->isVisible());
    QVERIFY(app.viewerFrame()->isHidden());
    QCOMPARE(app.mainWindow(), app.browserFrame());
    QCOMPARE(app.browserFrame()->fileList()->currentFolder(), folder + '/');
    QTRY_COMPARE(app.browserFrame()->fileList()->rows().entryCount(), 2);
    QCOMPARE(app.browserFrame()->fileList()->rows().entryAt(1)->name, QStringLiteral("beach.png"));
}

void TestStartup::startUpLoadsTheOptions()
{
    // A value another run saved comes in; the rest take their defaults.
    QVERIFY(CSettingsStore::WriteProfileInt("Browser", "GridLines", 0));
    QVERIFY(CSettingsStore::WriteProfileString("SlideShow", "Timer", "2500"));
    CGlobalApp app;
    QVERIFY(app.InitInstance({}));
    QCOMPARE(app.settings().GridLines, 0);
    QCOMPARE(app.settings().Timer, QStringLiteral("2500"));
    QCOMPARE(app.settings().FullRow, 1);
    QCOMPARE(app.settings().Around, 1);
}

void TestStartup::pictureShowsViewer()
{
    const QString path = writePicture("sky.png");
    QVERIFY(!path.isEmpty());
    CGlobalApp app;
    QVERIFY(app.InitInstance({path}));
    QTRY_VERIFY(app.viewerFrame()->isVisible());
    QVERIFY(app.browserFrame()->isHidden());
    QVERIFY(app.viewerFrame()->isMaximized());
    QCOMPARE(app.viewerFrame()->windowTitle(), QStringLiteral("sky.png - Zelt Pixoria"));
    QVERIFY(!app.viewerFrame()->imageView()->noImages());
    QVERIFY(app.pendingImagePath().isEmpty());
    QVERIFY(app.openedFromFile());
    QCOMPARE(app.currentImage().GetSize(), QSize(64, 48));
    QCOMPARE(app.currentImage().path(), path);
}

void TestStartup::startWithoutAPicture_data()
{
    QTest::addColumn<QStringList>("arguments"); // "@" stands for a folder of its own
    QTest::addColumn<QByteArray>("content");    // written to the path first unless null
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("afterNext");     // the file shown after Next; empty: no move

    QTest::newRow("flag only") << QStringList{"-v"} << QByteArray() << "No images" << "";
    QTest::newRow("missing file") << QStringList{"@/missing.png"} << QByteArray()
                                  << "Cannot read missing.png: file does not exist" << "";
    // A file that does not load keeps its place among the folder's pictures.
    QTest::newRow("text named as picture") << QStringList{"@/notes.jpg"} << QByteArray("just some notes\n")
                                           << "2/2  Cannot read notes.jpg: not a picture" << "good.png";
    QTest::newRow("empty file") << QStringList{"@/empty.png"} << QByteArray("")
                                << "1/2  Cannot read empty.png: not a picture" << "good.png";
    QTest::newRow("truncated PNG") << QStringList{"@/cut.png"} << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0")
                                   << "1/2  Cannot read cut.png: truncated file" << "good.png";
}

void TestStartup::startWithoutAPicture()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, content);
    QFETCH(QString, status);
    QFETCH(QString, afterNext);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QImage good(8, 8, QImage::Format_RGB32);
    good.fill(Qt::green);
    QVERIFY(good.save(dir.filePath("good.png")));
    for (QString& argument : arguments) {
        if (!argument.startsWith('@'))
            continue;
        argument = dir.path() + argument.mid(1);
        if (!content.isNull()) {
            QFile file(argument);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
    }
    CGlobalApp app;
    QVERIFY(app.InitInstance(arguments));
    QTRY_VERIFY(app.viewerFrame()->isVisible());
    QVERIFY(app.browserFrame()->isHidden());
    CImageView* view = app.viewerFrame()->imageView();
    QCOMPARE(view->noImages(), arguments == QStringList{"-v"});
    QVERIFY(!view->controller().hasPicture());
    // Why there is nothing to show, and where in the folder, once the folder was read.
    QTRY_COMPARE(app.viewerFrame()->statusText(), status);
    QVERIFY(app.pendingImagePath().isEmpty());
    QCOMPARE(view->commandTarget().isEnabled(cmd::kNextImage), !view->noImages());
    if (afterNext.isEmpty())
        return;
    QVERIFY(view->commandTarget().execute(cmd::kNextImage));
    QVERIFY(pictureShown(view->controller()));
    QCOMPARE(view->fileName(), afterNext);
    QVERIFY(view->controller().hasPicture());
    QCOMPARE(app.viewerFrame()->windowTitle(), afterNext + QStringLiteral(" - Zelt Pixoria"));
}

void TestStartup::returnToBrowserHandsOverTheFolder()
{
    const QString path = writePicture("tree.png");
    CGlobalApp app;
    QVERIFY(app.InitInstance({path}));
    QTRY_VERIFY(app.viewerFrame()->isVisible());
    MessageRecorder folders(app.browserFrame()->activeView(), appmsg::kSelectFolder);

    QVERIFY(app.viewerFrame()->commands().execute(32829));  // Browser
    QTRY_VERIFY(app.browserFrame()->isVisible());
    QVERIFY(app.viewerFrame()->isHidden());
    QCOMPARE(folders.seen.size(), 1);
    QCOMPARE(folders.seen.first().path, path);
    QCOMPARE(folders.seen.first().kind, 2);
    QVERIFY(app.pendingImagePath().isEmpty());
    QVERIFY(!app.openedFromFile());

    // Back again with nothing pending: the browser keeps its folder.
    app.requestSwitch(appmsg::kSwitchShow);
    QTRY_VERIFY(app.viewerFrame()->isVisible());
    app.viewerFrame()->commands().execute(32829);
    QTRY_VERIFY(app.browserFrame()->isVisible());
    QCOMPARE(folders.seen.size(), 1);
}

// Started on no picture, the browser comes back on the folder of the last run, not empty.
void TestStartup::flagOnlyReturnOpensTheLastFolder()
{
    QVERIFY(CSettingsStore::WriteProfileString("Settings", "LastFolder", m_dir.path() + '/'));
    CGlobalApp app;
    QVERIFY(app.InitInstance({"-v"}));
    QTRY_VERIFY(app.viewerFrame()->isVisible());
    QVERIFY(app.viewerFrame()->commands().execute(32829));  // Browser
    QTRY_VERIFY(app.browserFrame()->isVisible());
    QTRY_COMPARE(app.browserFrame()->fileList()->currentFolder(), m_dir.path() + '/');
}

// A run spent in the viewer writes back the browser's view mode, sort and folder unchanged.
void TestStartup::viewerOnlyRunKeepsTheBrowserState()
{
    const storedstate::BrowserStartState before{CFileListCtrl::kList, 1, 1, m_dir.path() + '/'};
    storedstate::writeBrowserStartState(before);
    // The list's toggles too: a list never shown has nothing of its own to store.
    for (const settingskeys::IntValue& toggle :
         {settingskeys::kShowHidden, settingskeys::kShowNonImages, settingskeys::kAutoRefresh})
        QVERIFY(CSettingsStore::WriteProfileInt(toggle, 0));
    QVERIFY(QDir(m_dir.path()).mkdir("away"));
    const QString path = writePicture("away/far.png");
    {
        CGlobalApp app;
        QVERIFY(app.InitInstance({path}));
        QTRY_VERIFY(app.viewerFrame()->isVisible());
    }
    QCOMPARE(storedstate::readBrowserStartState(), before);
    for (const settingskeys::IntValue& toggle :
         {settingskeys::kShowHidden, settingskeys::kShowNonImages, settingskeys::kAutoRefresh})
        QCOMPARE(CSettingsStore::GetProfileInt(toggle), 0);
}

void TestStartup::switchToViewerAndPrintRequest()
{
    CGlobalApp app;
    QVERIFY(app.InitInstance({}));
    MessageRecorder commands(app.viewerFrame()->imageView(), appmsg::kCommand);
    MessageRecorder loads(app.viewerFrame()->imageView(), appmsg::kLoadPictureToMemory);

    app.requestSwitch(appmsg::kSwitchPrint);
    QVERIFY(app.browserFrame()->isVisible());  // the switch runs after the caller returns
    QTRY_VERIFY(app.viewerFrame()->isVisible());
    QVERIFY(app.browserFrame()->isHidden());
    QCOMPARE(loads.seen.size(), 1);
    QTRY_COMPARE(commands.seen.size(), 1);
    QCOMPARE(commands.seen.first().kind, 57607);
}

void TestStartup::fileOpenShowsPictureInViewer()
{
    const QString first = writePicture("first.png");
    const QString second = writePicture("second.png", QSize(20, 10));
    const QString bogus = m_dir.filePath("bogus.png");
    QFile file(bogus);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\x89PNG\r\n\x1a\n and nothing else");
    file.close();

    CGlobalApp app;
    QVERIFY(app.InitInstance({first}));
    QTRY_VERIFY(app.viewerFrame()->isVisible());

    // Not read, and the viewer says so in place of the picture before.
    QVERIFY(!app.openFile(bogus));
    QTRY_VERIFY(app.viewerFrame()->statusText().contains(QStringLiteral("Cannot read bogus.png: ")));
    QVERIFY(!app.viewerFrame()->imageView()->controller().hasPicture());

    QVERIFY(app.openFile(second));
    QTRY_COMPARE(app.viewerFrame()->windowTitle(), QStringLiteral("second.png - Zelt Pixoria"));
    QCOMPARE(app.currentImage().GetSize(), QSize(20, 10));
}

void TestStartup::browserHandsItsPictureToTheViewer()
{
    const QString path = writePicture("harbour.png");
    QVERIFY(!path.isEmpty());
    QVERIFY(CSettingsStore::WriteProfileString("Settings", "LastFolder", m_dir.path() + '/'));
    CGlobalApp app;
    QVERIFY(app.InitInstance({}));
    CFileListCtrl* list = app.browserFrame()->fileList();
    QTRY_VERIFY(list->rows().findByName("harbour.png") >= 0);
    list->selectRow(list->rows().findByName("harbour.png"));
    QVERIFY(app.browserFrame()->browserView()->openFocusedRow());
    QTRY_VERIFY(app.viewerFrame()->isVisible());
    QVERIFY(app.browserFrame()->isHidden());
    // The viewer shows the picture the browser loaded, not its empty state.
    QVERIFY(!app.viewerFrame()->imageView()->noImages());
    QCOMPARE(app.viewerFrame()->imageView()->fileName(), QStringLiteral("harbour.png"));
    QVERIFY(!app.openedFromFile());
}

void TestStartup::messageTypesAreRegisteredOncePerName()
{
    QSet<int> types;
    for (const char* name : appmsg::allNames()) {
        const QEvent::Type type = appmsg::type(name);
        QVERIFY(type >= QEvent::User);
        QCOMPARE(appmsg::type(name), type);
        types.insert(type);
    }
    QCOMPARE(types.size(), appmsg::allNames().size());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
