// The viewer's commands on the shown file, through its frame, on real files in temporary
// folders, the dialogs answered as a user would.

#include <memory>

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "dialoganswers.h"
#include "exporttype.h"
#include "fileops/ccopymovedlg.h"
#include "fileops/cdescribedlg.h"
#include "fileops/cprogressdialog.h"
#include "fileops/crenamedlg.h"
#include "imagelib/imagetest.h"
#include "pictureshown.h"
#include "platform/cclipboardview.h"
#include "recordinghost.h"
#include "requiredtool.h"
#include "viewer/cimageview.h"
#include "viewer/cviewframe.h"

namespace {

// `width` x 40, the left half red and the right half blue: the size tells the pictures apart.
QString writePicture(const QString& folder, const QString& name, int width)
{
    QImage image(width, 40, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, width / 2, 40, Qt::red);
    const QString path = QDir(folder).filePath(name);
    return image.save(path, "PNG") ? path : QString();
}

QStringList namesOf(const PictureList& list)
{
    QStringList names;
    for (int row = 0; row < list.rowCount(); ++row)
        names << list.rowName(row);
    return names;
}

struct Fixture {
    QTemporaryDir dir;
    QTemporaryDir other;
    RecordingHost host;
    CCommandTarget app;
    CViewFrame frame{host, host.options, &app};
};

} // namespace

class TestViewerFileCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { m_f = std::make_unique<Fixture>(); }
    void cleanup() { m_f.reset(); }
    void fileLeaves_data();
    void fileLeaves();
    void rename_data();
    void rename();
    void describe();
    void save_data();
    void save();
    void drop_data();
    void drop();
    void clipboard_data();
    void clipboard();
    void pasteACut();

private:
    // Writes `count` pictures, waits for the viewer's list of them and shows its `row`th; the
    // list, in its order.
    QStringList showRow(int count, int row);
    void open(const QString& path);
    CViewerController& viewer() const { return m_f->frame.imageView()->controller(); }
    QString inDir(const QString& name) const { return m_f->dir.filePath(name); }

    std::unique_ptr<Fixture> m_f;
};

void TestViewerFileCommands::open(const QString& path)
{
    QVERIFY(m_f->host.image.Load(path));
    m_f->host.pending = path;
    m_f->host.opened = true;
    m_f->frame.show();
    appmsg::send(m_f->frame.imageView(), appmsg::kLoadViewerBeforeBrowser);
    QVERIFY(viewer().hasPicture());
}

QStringList TestViewerFileCommands::showRow(int count, int row)
{
    for (int i = 0; i < count; ++i)
        writePicture(m_f->dir.path(), QStringLiteral("p%1.png").arg(i), 20 + 10 * i);
    open(inDir(QStringLiteral("p0.png")));
    [&] { QTRY_COMPARE(viewer().pictureList().rowCount(), count); }();
    const QStringList listed = namesOf(viewer().pictureList());
    open(inDir(listed.value(row)));
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
    QTest::newRow("copy: nothing leaves") << int(cmd::kViewerCopyTo) << 2 << 1 << true;
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
    const QString destination = m_f->other.path();
    DialogAnswers answers({command != cmd::kViewerDelete ? DialogAnswers::Answer([destination, agreed](QDialog* dialog) {
                               qobject_cast<CCopyMoveDlg*>(dialog)->destinationEdit()->setText(destination);
                               agreed ? dialog->accept() : dialog->reject();
                           })
                                : DialogAnswers::click(agreed ? QMessageBox::Yes : QMessageBox::No)});
    m_f->frame.commands().update();
    QVERIFY(m_f->frame.commands().execute(command));
    QVERIFY(answers.allGiven());
    if (command == cmd::kViewerCopyTo)
        QTRY_VERIFY(QFileInfo::exists(QDir(destination).filePath(name)));
    if (!agreed || command == cmd::kViewerCopyTo) {
        QTRY_VERIFY(m_f->frame.findChildren<CProgressDialog*>().isEmpty());
        QCOMPARE(viewer().fileName(), name);
        QCOMPARE(namesOf(viewer().pictureList()), listed);
        QVERIFY(QFileInfo::exists(inDir(name)));
        return;
    }
    // A move ends in the background, and its progress window with it.
    QTRY_COMPARE(viewer().pictureList().rowCount(), count - 1);
    QTRY_VERIFY(m_f->frame.findChildren<CProgressDialog*>().isEmpty());
    QVERIFY(!QFileInfo::exists(inDir(name)));
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files";
    QVERIFY(QFileInfo::exists(QDir(move ? destination : trash).filePath(name)));
    QStringList left = listed;
    left.removeAt(row);
    QCOMPARE(namesOf(viewer().pictureList()), left);
    QVERIFY(pictureShown(viewer()));
    QCOMPARE(viewer().noImages(), count == 1);
    if (count > 1) {
        QCOMPARE(viewer().fileName(), listed.at((row + 1) % count));
        QCOMPARE(viewer().pictureSize(), QImage(inDir(viewer().fileName())).size());
    }
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

    QStringList listed = showRow(3, 1);
    const QString old = listed.at(1);
    if (typed.isEmpty())
        typed = listed.at(0);
    DialogAnswers answers({[typed](QDialog* dialog) {
                               auto* rename = qobject_cast<CRenameDlg*>(dialog);
                               rename->edit()->setText(typed);
                               rename->okButton()->click();
                           },
                           DialogAnswers::click(QMessageBox::Ok)});
    QVERIFY(m_f->frame.commands().execute(cmd::kViewerRename));
    QCOMPARE(answers.shown.size(), expected.isEmpty() ? 2 : 1);
    QVERIFY(answers.shown.value(1).contains(QStringLiteral("already exists")) == expected.isEmpty());
    if (!expected.isEmpty())
        listed[1] = expected;
    QCOMPARE(QFileInfo::exists(inDir(old)), expected.isEmpty());
    QCOMPARE(namesOf(viewer().pictureList()), listed);
    QCOMPARE(viewer().fileName(), listed.at(1));
    QVERIFY(viewer().hasPicture());
    QCOMPARE(m_f->frame.windowTitle(), listed.at(1) + QStringLiteral(" - Zelt Pixoria"));
}

void TestViewerFileCommands::describe()
{
    const QStringList listed = showRow(2, 1);
    DialogAnswers answers({[](QDialog* dialog) {
        QVERIFY(qobject_cast<CDescribeDlg*>(dialog));
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral(" the pier "));
        dialog->accept();
    }});
    QVERIFY(m_f->frame.commands().execute(cmd::kViewerDescribe));
    QVERIFY(answers.allGiven());
    QCOMPARE(DescriptionFile::lookUp(listed.at(1), m_f->dir.path() + u'/').value_or(QString()),
             QStringLiteral("the pier"));
    QVERIFY(!DescriptionFile::lookUp(listed.at(0), m_f->dir.path() + u'/'));
}

void TestViewerFileCommands::save_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("otherFolder");
    QTest::addColumn<int>("type"); // the dialog's type number
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("identified"); // format and size by gm
    QTest::addColumn<bool>("turned");        // the red half on top

    // A 40 x 40 picture turned right: Save As keeps the turn (and cuts to a selection of the top
    // half), Export converts the file.
    QTest::newRow("Save As, JPEG") << int(cmd::kSaveAs) << false << 3 << "s.jpg" << "JPEG 40x40" << true;
    QTest::newRow("Save As, other folder") << int(cmd::kSaveAs) << true << 1 << "s.bmp" << "BMP 40x40" << true;
    QTest::newRow("Save Crop As") << int(cmd::kSaveCropAs) << false << 10 << "cut.png" << "PNG 40x20" << true;
    QTest::newRow("Export, TIFF") << int(cmd::kExport) << false << 9 << "e.tif" << "TIFF 40x40" << false;
    QTest::newRow("Export of the view's menu, other folder") << int(cmd::kMenuExport) << true << 2 << "e.gif"
                                                             << "GIF 40x40" << false;
}

void TestViewerFileCommands::save()
{
    QFETCH(int, command);
    QFETCH(bool, otherFolder);
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(QString, identified);
    QFETCH(bool, turned);
    if (!hasTool("gm"))
        QFAIL(missingTool("gm", "graphicsmagick"));

    open(writePicture(m_f->dir.path(), QStringLiteral("square.png"), 40));
    QTRY_COMPARE(viewer().pictureList().rowCount(), 1);
    QVERIFY(m_f->frame.commands().execute(cmd::kRotateRight));
    if (command == cmd::kSaveCropAs)
        viewer().endBand(QRectF(0, 0, 40, 20));
    const QString folder = otherFolder ? m_f->other.path() : m_f->dir.path();
    const QString target = QDir(folder).filePath(name);
    DialogAnswers answers({[type, target](QDialog* dialog) {
        auto* save = qobject_cast<CExportDialog*>(dialog);
        QCOMPARE(save->fileName(), QStringLiteral("square.png"));
        pickType(*save, type);
        save->selectFile(target);
        dialog->accept(); // through QDialog: the file dialog's own accept() is protected
    }});
    m_f->frame.commands().update();
    QVERIFY(m_f->frame.commands().execute(command));
    QCOMPARE(answers.shown, QStringList{"Save as "});

    QCOMPARE(imagetest::identify(QStandardPaths::findExecutable("gm"), QStringLiteral("%m %wx%h"), target), identified);
    CBmpEx read;
    QVERIFY(read.Load(target));
    const QImage written = read.slideImage();
    const QRgb probe = written.pixel(turned ? QPoint(written.width() - 2, 2) : QPoint(2, written.height() - 2));
    QVERIFY(qRed(probe) > 200 && qBlue(probe) < 60);
    // The file written is shown; in the same folder it joins the list.
    QVERIFY(pictureShown(viewer()));
    QCOMPARE(viewer().folder() + viewer().fileName(), QDir(folder).filePath(name));
    QCOMPARE(viewer().pictureSize(), written.size());
    const QStringList expected = otherFolder ? QStringList{name} : QStringList{"square.png", name};
    QTRY_COMPARE(namesOf(viewer().pictureList()), expected);
}

void TestViewerFileCommands::drop_data()
{
    QTest::addColumn<bool>("fromOtherFolder");
    QTest::addColumn<QStringList>("dropped"); // a name without ".png" is no picture
    QTest::addColumn<QStringList>("added");   // to the list, in order; the first is shown

    QTest::newRow("two pictures from another folder") << true << QStringList{"x.png", "y.png"}
                                                      << QStringList{"x.png", "y.png"};
    QTest::newRow("no picture among them is left") << true << QStringList{"notes.txt", "y.png"} << QStringList{"y.png"};
    QTest::newRow("from the shown folder: shown") << false << QStringList{"p1.png"} << QStringList{};
}

void TestViewerFileCommands::drop()
{
    QFETCH(bool, fromOtherFolder);
    QFETCH(QStringList, dropped);
    QFETCH(QStringList, added);

    const QStringList listed = showRow(2, 0);
    open(inDir(QStringLiteral("p0.png")));
    const QDir from(fromOtherFolder ? m_f->other.path() : m_f->dir.path());
    QList<QUrl> urls;
    for (const QString& name : dropped) {
        if (!from.exists(name))
            QVERIFY(name.endsWith(".png") ? !writePicture(from.path(), name, 70).isEmpty()
                                          : QFile(from.filePath(name)).open(QIODevice::WriteOnly));
        urls << QUrl::fromLocalFile(from.filePath(name));
    }
    QMimeData data;
    data.setUrls(urls);
    // The drop goes where the drag entered and was taken.
    QWidget* viewport = m_f->frame.imageView()->viewport();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QDropEvent event(QPointF(10, 10), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &event);
    QVERIFY(event.isAccepted());
    QCOMPARE(event.dropAction(), Qt::CopyAction); // the source keeps its files

    QTRY_COMPARE(viewer().fileName(), added.value(0, dropped.first()));
    QVERIFY(pictureShown(viewer()));
    QVERIFY(viewer().hasPicture());
    QCOMPARE(namesOf(viewer().pictureList()), listed + added);
    for (const QString& name : dropped)
        QVERIFY(from.exists(name));
    QVERIFY(!QFileInfo::exists(inDir(QStringLiteral("notes.txt"))));
}

void TestViewerFileCommands::clipboard_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("row");

    QTest::newRow("cut the first of two: the next is shown") << int(cmd::kCutFile) << 2 << 0;
    QTest::newRow("cut the only one: no images") << int(cmd::kCutFile) << 1 << 0;
    QTest::newRow("copy image: it stays") << int(cmd::kViewerCopyImage) << 2 << 1;
}

void TestViewerFileCommands::clipboard()
{
    QFETCH(int, command);
    QFETCH(int, count);
    QFETCH(int, row);

    const QStringList listed = showRow(count, row);
    const QString name = listed.at(row);
    const bool cut = command == cmd::kCutFile;
    m_f->frame.commands().update();
    QVERIFY(m_f->frame.commands().execute(command));

    // The file stays on disk until it is pasted; the clipboard offers it for a move or a copy.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(filemime::filesOf(data), QStringList{inDir(name)});
    QCOMPARE(filemime::effectOf(data), cut ? filemime::DropEffect::Move : filemime::DropEffect::Copy);
    QCOMPARE(data->hasImage(), !cut);
    if (!cut)
        QCOMPARE(qvariant_cast<QImage>(data->imageData()).size(), QImage(inDir(name)).size());
    QVERIFY(QFileInfo::exists(inDir(name)));
    QStringList left = listed;
    if (cut)
        left.removeAt(row);
    QCOMPARE(namesOf(viewer().pictureList()), left);
    QVERIFY(pictureShown(viewer()));
    QCOMPARE(viewer().noImages(), left.isEmpty());
    if (!left.isEmpty())
        QCOMPARE(viewer().fileName(), cut ? listed.at((row + 1) % count) : name);
}

void TestViewerFileCommands::pasteACut()
{
    const QString cut = writePicture(m_f->other.path(), QStringLiteral("x.png"), 70);
    QVERIFY(CClipboardView().PutFiles({cut}, filemime::DropEffect::Move));
    const QStringList listed = showRow(1, 0);
    m_f->frame.commands().update();
    QVERIFY(m_f->frame.commands().execute(cmd::kViewerPaste));

    // The file moved into the shown folder joins the list and is shown; the cut is used up.
    QTRY_COMPARE(viewer().fileName(), QStringLiteral("x.png"));
    QVERIFY(pictureShown(viewer()));
    QCOMPARE(namesOf(viewer().pictureList()), listed + QStringList{"x.png"});
    QVERIFY(QFileInfo::exists(inDir(QStringLiteral("x.png"))));
    QVERIFY(!QFileInfo::exists(cut));
    QVERIFY(filemime::filesOf(QGuiApplication::clipboard()->mimeData()).isEmpty());
    m_f->frame.commands().update();
    QVERIFY(!m_f->frame.commands().action(cmd::kViewerPaste)->isEnabled());
}

QTEST_MAIN(TestViewerFileCommands)
#include "tst_viewerfilecommands.moc"
