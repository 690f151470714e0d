// The viewer's commands on the shown file, offscreen, through its frame, on real files in a
// temporary folder: Move To and Delete take the file out of the folder and the viewer on to the
// next picture (or "No images"), Rename carries the new name, Save As and Export write files
// that GraphicsMagick reads, and files dropped on the picture are copied in and shown. The
// dialogs are answered as a user would.

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "dialoganswers.h"
#include "exporttype.h"
#include "fileops/ccopymovedlg.h"
#include "fileops/cprogressdialog.h"
#include "fileops/crenamedlg.h"
#include "imagelib/imagetest.h"
#include "parkpointer.h"
#include "pictureshown.h"
#include "recordinghost.h"
#include "requiredtool.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "viewer/cimageview.h"
#include "viewer/cviewframe.h"

namespace {

// A picture whose size tells it apart: `width` x 40, red left half, blue right half.
QString writePicture(const QString& folder, const QString& name, int width)
{
    QImage image(width, 40, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < width / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    }
    const QString path = QDir(folder).filePath(name);
    return image.save(path, "PNG") ? path : QString();
}

QString trashed(const QString& name)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Trash/files/") +
           name;
}

QStringList namesOf(const PictureList& list)
{
    QStringList names;
    for (int row = 0; row < list.rowCount(); ++row)
        names << list.rowName(row);
    return names;
}

} // namespace

class TestViewerFileCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void fileLeaves_data();
    void fileLeaves();
    void rename_data();
    void rename();
    void save_data();
    void save();
    void drop_data();
    void drop();

private:
    // Shows the `row`th picture of the folder's scanned list of `count`; the list, in its order.
    QStringList showRow(int count, int row);
    void open(const QString& path);
    CViewerController& viewer() const { return m_frame->imageView()->controller(); }
    bool run(int id) { return m_frame->commands().execute(id); }

    QTemporaryDir* m_dir = nullptr;
    QTemporaryDir* m_other = nullptr;
    RecordingHost* m_host = nullptr;
    CCommandTarget* m_app = nullptr;
    CViewFrame* m_frame = nullptr;
};

void TestViewerFileCommands::init()
{
    m_dir = new QTemporaryDir;
    m_other = new QTemporaryDir;
    QVERIFY(m_dir->isValid() && m_other->isValid());
    CSettingsStore::WriteProfileInt(settingskeys::kViewMode, 0);
    m_host = new RecordingHost;
    m_app = new CCommandTarget;
    m_frame = new CViewFrame(*m_host, m_host->options, m_app);
    parkPointerOffScreen();
}

void TestViewerFileCommands::cleanup()
{
    delete m_frame;
    delete m_app;
    delete m_host;
    delete m_other;
    delete m_dir;
}

void TestViewerFileCommands::open(const QString& path)
{
    QVERIFY(m_host->image.Load(path));
    m_host->pending = path;
    m_host->opened = true;
    if (!m_frame->isVisible()) {
        m_frame->setGeometry(60, 50, 640, 480);
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    }
    appmsg::send(m_frame->imageView(), appmsg::kLoadViewerBeforeBrowser);
    QVERIFY(viewer().hasPicture());
}

QStringList TestViewerFileCommands::showRow(int count, int row)
{
    for (int i = 0; i < count; ++i)
        writePicture(m_dir->path(), QStringLiteral("p%1.png").arg(i), 20 + 10 * i);
    open(m_dir->filePath(QStringLiteral("p0.png")));
    [&] { QTRY_COMPARE(viewer().pictureList().rowCount(), count); }();
    const QStringList listed = namesOf(viewer().pictureList());
    // The same folder again: its list stays.
    open(m_dir->filePath(listed.value(row)));
    return listed;
}

void TestViewerFileCommands::fileLeaves_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("agreed");

    QTest::newRow("move the first of three") << int(cmd::kViewerMoveTo) << 3 << 0 << true;
    QTest::newRow("move the last: round to the first") << int(cmd::kViewerMoveTo) << 3 << 2 << true;
    QTest::newRow("move the only one") << int(cmd::kViewerMoveTo) << 1 << 0 << true;
    QTest::newRow("move cancelled") << int(cmd::kViewerMoveTo) << 2 << 0 << false;
    QTest::newRow("delete the second of three") << int(cmd::kViewerDelete) << 3 << 1 << true;
    QTest::newRow("delete the only one") << int(cmd::kViewerDelete) << 1 << 0 << true;
    QTest::newRow("delete declined") << int(cmd::kViewerDelete) << 2 << 1 << false;
}

void TestViewerFileCommands::fileLeaves()
{
    QFETCH(int, command);
    QFETCH(int, count);
    QFETCH(int, row);
    QFETCH(bool, agreed);

    const QStringList listed = showRow(count, row);
    const QString name = listed.at(row);
    const bool move = command == cmd::kViewerMoveTo;
    DialogAnswers::Answer answer = DialogAnswers::click(agreed ? QMessageBox::Yes : QMessageBox::No);
    if (move) {
        answer = [this, agreed](QDialog* dialog) {
            auto* destination = qobject_cast<CCopyMoveDlg*>(dialog);
            QVERIFY(destination);
            destination->destinationEdit()->setText(m_other->path());
            agreed ? destination->accept() : destination->reject();
        };
    }
    DialogAnswers answers({answer});
    m_frame->commands().update();
    QVERIFY(run(command));
    QVERIFY(answers.allGiven());

    if (!agreed) {
        QCOMPARE(viewer().fileName(), name);
        QCOMPARE(namesOf(viewer().pictureList()), listed);
        QVERIFY(QFileInfo::exists(m_dir->filePath(name)));
        return;
    }
    // A move ends in the background.
    QTRY_COMPARE(viewer().pictureList().rowCount(), count - 1);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(name)));
    QVERIFY(QFileInfo::exists(move ? QDir(m_other->path()).filePath(name) : trashed(name)));
    // The move's progress window went with it.
    QTRY_VERIFY(m_frame->findChildren<CProgressDialog*>().isEmpty());
    QStringList left = listed;
    left.removeAt(row);
    QCOMPARE(namesOf(viewer().pictureList()), left);
    QVERIFY(pictureShown(viewer()));
    if (count == 1) {
        QVERIFY(viewer().noImages());
        QCOMPARE(viewer().statusTexts(), QStringList{"No images"});
        return;
    }
    const QString next = listed.at((row + 1) % count);
    QCOMPARE(viewer().fileName(), next);
    QVERIFY(viewer().hasPicture());
    QCOMPARE(viewer().pictureSize(), QImage(m_dir->filePath(next)).size());
}

void TestViewerFileCommands::rename_data()
{
    QTest::addColumn<QString>("typed");    // empty: the name of another file of the folder
    QTest::addColumn<QString>("expected"); // empty: refused, with a message

    QTest::newRow("a new name") << "renamed.png" << "renamed.png";
    QTest::newRow("blanks around it") << " spaced.png " << "spaced.png";
    QTest::newRow("the name of another file") << "" << "";
}

void TestViewerFileCommands::rename()
{
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    const QStringList listed = showRow(3, 1);
    const QString name = listed.at(1);
    if (typed.isEmpty())
        typed = listed.at(0);
    QList<DialogAnswers::Answer> steps{[typed](QDialog* dialog) {
        auto* rename = qobject_cast<CRenameDlg*>(dialog);
        QVERIFY(rename);
        rename->edit()->setText(typed);
        rename->okButton()->click();
    }};
    if (expected.isEmpty())
        steps << DialogAnswers::click(QMessageBox::Ok);
    DialogAnswers answers(steps);
    QVERIFY(run(cmd::kViewerRename));
    QVERIFY(answers.allGiven());

    QStringList after = listed;
    if (expected.isEmpty()) {
        QVERIFY2(answers.shown.value(1).contains(QStringLiteral("already exists")), qPrintable(answers.shown.join('|')));
    } else {
        after[1] = expected;
        QVERIFY(!QFileInfo::exists(m_dir->filePath(name)));
    }
    const QString shown = after.at(1);
    QCOMPARE(namesOf(viewer().pictureList()), after);
    QCOMPARE(viewer().fileName(), shown);
    QVERIFY(QFileInfo::exists(m_dir->filePath(shown)));
    QVERIFY(viewer().hasPicture());
    QCOMPARE(m_frame->windowTitle(), shown + QStringLiteral(" - Zelt Pixoria"));
}

void TestViewerFileCommands::save_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("otherFolder");
    QTest::addColumn<int>("type");       // the dialog's type number
    QTest::addColumn<QString>("name");   // as given the type's extension
    QTest::addColumn<QString>("identified"); // by gm: format and size

    // The picture is 40 x 40 and turned right before the save: Save As keeps the turn (and cuts
    // to the selection of its left half, 20 x 40, when there is one), Export does not.
    QTest::newRow("Save As, same folder, JPEG") << int(cmd::kSaveAs) << false << 3 << "saved.jpg" << "JPEG 40x40 red-top";
    QTest::newRow("Save As, other folder, BMP") << int(cmd::kSaveAs) << true << 1 << "saved.bmp" << "BMP 40x40 red-top";
    QTest::newRow("Save Crop As, PNG") << int(cmd::kSaveCropAs) << false << 10 << "cut.png" << "PNG 40x20 red-top";
    QTest::newRow("Export, same folder, TIFF") << int(cmd::kExport) << false << 9 << "exported.tif" << "TIFF 40x40 red-left";
    QTest::newRow("Export of the view's menu, other folder, GIF") << int(cmd::kMenuExport) << true << 2 << "exported.gif" << "GIF 40x40 red-left";
}

void TestViewerFileCommands::save()
{
    QFETCH(int, command);
    QFETCH(bool, otherFolder);
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(QString, identified);
    if (!hasTool("gm"))
        QFAIL(missingTool("gm", "graphicsmagick"));

    // Turned right, the red half is on top.
    open(writePicture(m_dir->path(), QStringLiteral("square.png"), 40));
    QTRY_COMPARE(viewer().pictureList().rowCount(), 1);
    QVERIFY(run(cmd::kRotateRight));
    if (command == cmd::kSaveCropAs)
        viewer().endBand(QRectF(0, 0, 40, 20));
    const QString folder = otherFolder ? m_other->path() : m_dir->path();
    const QString target = QDir(folder).filePath(name);
    DialogAnswers answers({[type, target](QDialog* dialog) {
        auto* save = qobject_cast<CExportDialog*>(dialog);
        QVERIFY(save);
        QCOMPARE(save->windowTitle(), QStringLiteral("Save as "));
        QCOMPARE(save->fileName(), QStringLiteral("square.png"));
        pickType(*save, type);
        save->selectFile(target);
        dialog->accept(); // through QDialog: the file dialog's own accept() is protected
    }});
    m_frame->commands().update();
    QVERIFY(run(command));
    QVERIFY(answers.allGiven());

    QVERIFY(QFileInfo::exists(target));
    const QString format = identified.section(u' ', 0, 1);
    QCOMPARE(imagetest::identify(QStandardPaths::findExecutable("gm"), QStringLiteral("%m %wx%h"), target), format);
    CBmpEx read;
    QVERIFY(read.Load(target));
    const QImage written = read.slideImage();
    const bool redOnTop = identified.endsWith(QStringLiteral("red-top"));
    const QPoint probe = redOnTop ? QPoint(written.width() - 2, 2) : QPoint(2, written.height() - 2);
    QVERIFY(qRed(written.pixel(probe)) > 200 && qBlue(written.pixel(probe)) < 60);

    // The file written is shown; in the same folder it joins the list.
    QVERIFY(pictureShown(viewer()));
    QCOMPARE(viewer().fileName(), name);
    QCOMPARE(viewer().folder(), folder + u'/');
    QCOMPARE(viewer().pictureSize(), written.size());
    if (!otherFolder)
        QCOMPARE(namesOf(viewer().pictureList()), (QStringList{"square.png", name}));
    else
        QTRY_COMPARE(namesOf(viewer().pictureList()), QStringList{name});
}

void TestViewerFileCommands::drop_data()
{
    QTest::addColumn<bool>("fromOtherFolder");
    QTest::addColumn<QStringList>("dropped"); // a name without ".png" is no picture
    QTest::addColumn<QStringList>("added");   // to the list, in order; the first is shown

    QTest::newRow("two pictures from another folder") << true << QStringList{"x.png", "y.png"}
                                                      << QStringList{"x.png", "y.png"};
    QTest::newRow("no picture among them is left") << true << QStringList{"notes.txt", "y.png"}
                                                   << QStringList{"y.png"};
    QTest::newRow("from the shown folder: shown") << false << QStringList{"p1.png"} << QStringList{};
}

void TestViewerFileCommands::drop()
{
    QFETCH(bool, fromOtherFolder);
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, added);

    const QStringList listed = showRow(2, 0);
    open(m_dir->filePath(QStringLiteral("p0.png")));
    const QString from = fromOtherFolder ? m_other->path() : m_dir->path();
    QList<QUrl> urls;
    for (const QString& name : dropped) {
        const QString path = QDir(from).filePath(name);
        if (name.endsWith(QStringLiteral(".png")) && !QFileInfo::exists(path))
            writePicture(from, name, 70);
        else if (!name.endsWith(QStringLiteral(".png")))
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        urls << QUrl::fromLocalFile(path);
    }
    QMimeData data;
    data.setUrls(urls);
    QWidget* viewport = m_frame->imageView()->viewport();
    // The drop goes where the drag entered and was taken.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent event(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
    QVERIFY(event.isAccepted());
    // The source keeps its files.
    QCOMPARE(event.dropAction(), Qt::CopyAction);

    const QString first = added.isEmpty() ? dropped.first() : added.first();
    QTRY_COMPARE(viewer().fileName(), first);
    QVERIFY(pictureShown(viewer()));
    QVERIFY(viewer().hasPicture());
    QCOMPARE(namesOf(viewer().pictureList()), listed + added);
    for (const QString& name : dropped)
        QVERIFY(QFileInfo::exists(QDir(from).filePath(name)));
    for (const QString& name : added)
        QVERIFY(QFileInfo::exists(m_dir->filePath(name)));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("notes.txt"))));
}

QTEST_MAIN(TestViewerFileCommands)
#include "tst_viewerfilecommands.moc"
