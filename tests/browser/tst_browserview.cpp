#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "browser/browserfileops.h"
#include "browser/cbrowserview.h"
#include "browser/cfilelistctrl.h"
#include "core/commands.h"
#include "core/messages.h"
#include "fileops/ccopymovedlg.h"
#include "fileops/cdescribedlg.h"
#include "fileops/cprogressdialog.h"
#include "fileops/descriptionfile.h"
#include "imagelib/cbmpex.h"
#include "dialoganswers.h"
#include "export/cexportdialog.h"
#include "exporttype.h"
#include "imagelib/imagetest.h"
#include "recordinghost.h"
#include "requiredtool.h"
#include "settings/csettingsstore.h"
#include "settings/storedstate.h"
#include "browserfixture.h"
#include "whenopen.h"

namespace {

QPoint cellCentre(CFileListCtrl* list, int row, int column)
{
    return list->reportView()->visualRect(list->rows().index(row, column)).center();
}

// A double click as the system delivers it: the first click selects the row.
void doubleClick(CFileListCtrl* list, int row, int column)
{
    QWidget* viewport = list->reportView()->viewport();
    const QPoint centre = cellCentre(list, row, column);
    QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre);
}

void sendKey(QWidget* target, QEvent::Type type, Qt::Key key, bool autoRepeat)
{
    QKeyEvent event(type, key, Qt::NoModifier, QString(), autoRepeat);
    QApplication::sendEvent(target, &event);
}

} // namespace

class TestBrowserView : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void firstUpdate_data();
    void firstUpdate();
    void enterOnParent_data();
    void enterOnParent();
    void enterOpensUnreadablePicturesInTheViewer_data();
    void enterOpensUnreadablePicturesInTheViewer();
    void selectAllLeavesParentOut();
    void doubleClickOpens_data();
    void doubleClickOpens();
    void doubleClickOnDescriptionDescribes();
    void heldArrowKeyPreviewsOnce();
    void previewKindOfRow_data();
    void previewKindOfRow();
    void slideShowKeyOpensInViewer();
    void copyImagePutsPictureOnClipboard();
    void renameInPlace_data();
    void renameInPlace();
    void renameRefusesExistingName();
    void renameFolderRefreshesTree();
    void fileCommandsFollowTheDisk_data();
    void fileCommandsFollowTheDisk();
    void saveAsWritesTheFocusedPicture_data();
    void saveAsWritesTheFocusedPicture();
    void selectFolderKinds_data();
    void selectFolderKinds();
};

void TestBrowserView::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Zelt", "Zelt Pixoria").clear();
    CSettingsStore::WriteProfileInt(settingskeys::kDontScanHeaders, 0);
}

void TestBrowserView::firstUpdate_data()
{
    QTest::addColumn<bool>("startedOnFile");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("sortKey");
    QTest::addColumn<bool>("ascending");
    QTest::newRow("thumbnails by size, descending") << false << 0 << int(fileitem::kBySize) << false;
    QTest::newRow("list by date, ascending") << false << 3 << int(fileitem::kByDate) << true;
    QTest::newRow("started on a file") << true << 1 << int(fileitem::kByType) << true;
}

void TestBrowserView::firstUpdate()
{
    QFETCH(bool, startedOnFile);
    QFETCH(int, mode);
    QFETCH(int, sortKey);
    QFETCH(bool, ascending);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    storedstate::writeBrowserStartState({mode, sortKey, ascending ? 1 : 0, dir.path() + '/'});

    RecordingHost host;
    CBrowserView view(&host, host.options);
    view.resize(600, 400);
    view.show();
    QSignalSpy over(view.fileList(), &CFileListCtrl::populationOver);
    view.firstUpdate(startedOnFile);
    QVERIFY(view.firstUpdateDone());
    // Mode and sort apply either way: the program writes them back when it ends.
    QCOMPARE(view.fileList()->viewMode(), mode);
    QCOMPARE(view.fileList()->rows().sortKey(), sortKey);
    QCOMPARE(view.fileList()->rows().ascending(), ascending);
    if (startedOnFile) {
        // The viewer is in front; the browser shows a folder only when it comes back.
        QCOMPARE(view.fileList()->generation(), quint64(0));
        return;
    }
    QVERIFY(over.wait(kWait));
    QCOMPARE(view.fileList()->currentFolder(), dir.path() + '/');
    QVERIFY(view.chainHead().isChecked(cmd::kViewThumbnails + mode));

    // Options saved as a whole later (the Options dialog) reach the list at once.
    const bool grid = view.fileList()->reportView()->showGrid();
    host.options.GridLines = grid ? 0 : 1;
    host.options.SaveSettings();
    QCOMPARE(view.fileList()->reportView()->showGrid(), !grid);
}

void TestBrowserView::enterOnParent_data()
{
    QTest::addColumn<bool>("belowRoot");
    QTest::newRow("one level below the root") << true;
    QTest::newRow("deeper") << false;
}

void TestBrowserView::enterOnParent()
{
    QFETCH(bool, belowRoot);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("Sub/Deeper"));
    // The first component of the temporary folder's path is a folder right below "/".
    const QString top = '/' + dir.path().section(u'/', 1, 1) + '/';
    const QString start = belowRoot ? top : dir.filePath("Sub/Deeper/");
    const QString expected = belowRoot ? QStringLiteral("/") : dir.filePath("Sub/");

    Fixture fixture;
    QVERIFY(showFolder(fixture.list, start));
    QCOMPARE(fixture.list->rows().entryAt(0)->name, QStringLiteral(".."));
    fixture.list->selectRow(0);
    QSignalSpy over(fixture.list, &CFileListCtrl::populationOver);
    QTest::keyClick(fixture.list->currentView(), Qt::Key_Return);
    QVERIFY(over.wait(kWait));
    QCOMPARE(fixture.list->currentFolder(), expected);
    QVERIFY(fixture.host.switches.isEmpty());
}

void TestBrowserView::enterOpensUnreadablePicturesInTheViewer_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // empty: a whole picture
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage picture(200, 150, QImage::Format_RGB32);
        picture.fill(Qt::darkCyan);
        picture.save(&buffer, "PNG");
    }
    QTest::newRow("whole picture") << "a.png" << QByteArray();
    QTest::newRow("truncated PNG") << "a.png" << png.left(png.size() / 3);
    QTest::newRow("random bytes under .jpg") << "a.jpg" << QByteArray("\x13\x99\xfe\x01random bytes", 16).repeated(40);
    QTest::newRow("text under .png") << "a.png" << QByteArray("not a picture at all\n");
}

void TestBrowserView::enterOpensUnreadablePicturesInTheViewer()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (content.isEmpty())
        writePicture(dir.filePath(name));
    else
        writeFile(dir.filePath(name), content);
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    fixture.list->selectRow(1);
    // Whether the library reads it or not, the viewer takes it (and tells what went wrong). The
    // browser decodes nothing: the viewer reads the file.
    QTest::keyClick(fixture.list->currentView(), Qt::Key_Return);
    QCOMPARE(fixture.host.switches, QList<int>{appmsg::kSwitchShow});
    QCOMPARE(fixture.view->takePictureToRead(), dir.filePath(name));
    QVERIFY(fixture.host.image.isEmpty());
}

void TestBrowserView::selectAllLeavesParentOut()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("Sub/Inner"));
    writeFile(dir.filePath("Sub/a.txt"), "a");
    writePicture(dir.filePath("Sub/b.png"));
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.filePath("Sub")));
    QCOMPARE(rowNames(fixture.list), (QStringList{"..", "Inner", "a.txt", "b.png"}));

    QVERIFY(fixture.view->chainHead().execute(cmd::kSelectAll));
    QStringList names;
    QCOMPARE(fixture.list->selectedNames(names), 3);
    QCOMPARE(names, (QStringList{"Inner", "a.txt", "b.png"}));
    QItemSelectionModel* selection = fixture.list->selectionModel();
    QVERIFY(!selection->isRowSelected(0, {}));
    QCOMPARE(selection->currentIndex().row(), 1);

    // The keys of the view's own select-all do the same.
    fixture.list->selectRow(0);
    QTest::keySequence(fixture.list->currentView(), QKeySequence::SelectAll);
    QCOMPARE(fixture.list->selectedNames(names), 3);
    QVERIFY(!selection->isRowSelected(0, {}));
}

void TestBrowserView::doubleClickOpens_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("folder"); // relative to the temporary folder
    QTest::addColumn<bool>("toViewer");
    // Rows: "..", "Inner", "a.txt", "b.png".
    QTest::newRow("picture") << 3 << "Sub/" << true;
    QTest::newRow("folder") << 1 << "Sub/Inner/" << false;
    QTest::newRow("parent entry") << 0 << "" << false;
}

void TestBrowserView::doubleClickOpens()
{
    QFETCH(int, row);
    QFETCH(QString, folder);
    QFETCH(bool, toViewer);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("Sub/Inner"));
    writeFile(dir.filePath("Sub/a.txt"), "text");
    writePicture(dir.filePath("Sub/b.png"));
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.filePath("Sub")));
    QCOMPARE(rowNames(fixture.list), (QStringList{"..", "Inner", "a.txt", "b.png"}));

    // Selected before: its first click starts the delayed name editing, which the double click ends.
    fixture.list->selectRow(row);
    QSignalSpy over(fixture.list, &CFileListCtrl::populationOver);
    doubleClick(fixture.list, row, CFileListModel::kName);
    if (!toViewer)
        QVERIFY(over.wait(kWait));
    else
        QTRY_VERIFY(!fixture.host.switches.isEmpty());
    QCOMPARE(fixture.list->currentFolder(), dir.path() + '/' + folder);
    QCOMPARE(fixture.host.switches, toViewer ? QList<int>{appmsg::kSwitchShow} : QList<int>{});
    QCOMPARE(fixture.view->takePictureToRead(), toViewer ? dir.filePath("Sub/b.png") : QString());
    // No name editor opens after the double click. The editing a click starts opens within the
    // double-click interval; a timer started now with twice that expires after it.
    bool later = false;
    QTimer::singleShot(QApplication::doubleClickInterval() * 2, [&later] { later = true; });
    QTRY_VERIFY(later);
    QVERIFY(!fixture.list->currentView()->findChild<QLineEdit*>());
}

void TestBrowserView::doubleClickOnDescriptionDescribes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writePicture(dir.filePath("b.png"));
    CSettingsStore::WriteProfileInt(settingskeys::kDoubleClick, 1);
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    QCOMPARE(rowNames(fixture.list), (QStringList{"..", "b.png"}));

    bool described = false;
    whenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<CDescribeDlg*>(modal);
        described = dialog != nullptr;
        if (!dialog) {
            modal->close();
            return;
        }
        dialog->findChild<QLineEdit*>()->setText(QStringLiteral("  a harbour at dusk "));
        dialog->accept();
    });
    doubleClick(fixture.list, 1, CFileListModel::kDescription);
    QTRY_VERIFY(described);
    QVERIFY(fixture.host.switches.isEmpty());
    QCOMPARE(fixture.list->rows().itemText(1, CFileListModel::kDescription), QStringLiteral("a harbour at dusk"));
    QCOMPARE(DescriptionFile::lookUp("b.png", dir.path() + '/').value_or(QString()),
             QStringLiteral("a harbour at dusk"));
}

void TestBrowserView::heldArrowKeyPreviewsOnce()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (int i = 0; i < 6; ++i)
        writePicture(dir.filePath(QStringLiteral("p%1.png").arg(i)));
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    QCOMPARE(fixture.list->rows().entryCount(), 7);
    fixture.list->selectRow(1);
    QWidget* view = fixture.list->currentView();
    QSignalSpy previews(fixture.view, &CBrowserView::previewRequested);

    // Held: the first press, then repeats with their releases, then the real release.
    sendKey(view, QEvent::KeyPress, Qt::Key_Down, false);
    for (int i = 0; i < 3; ++i) {
        sendKey(view, QEvent::KeyRelease, Qt::Key_Down, true);
        sendKey(view, QEvent::KeyPress, Qt::Key_Down, true);
    }
    QCOMPARE(fixture.list->focusedIndex(true), 5);
    QCOMPARE(previews.count(), 0);
    sendKey(view, QEvent::KeyRelease, Qt::Key_Down, false);
    QCOMPARE(previews.count(), 1);
    QCOMPARE(previews.at(0).at(0).toString(), dir.filePath("p4.png"));
    QCOMPARE(previews.at(0).at(1).toInt(), int(CBrowserView::kPreviewPicture));

    // After a release a single press previews at once, and its release adds nothing.
    sendKey(view, QEvent::KeyPress, Qt::Key_Up, false);
    QCOMPARE(previews.count(), 2);
    QCOMPARE(previews.at(1).at(0).toString(), dir.filePath("p3.png"));
    sendKey(view, QEvent::KeyRelease, Qt::Key_Up, false);
    QCOMPARE(previews.count(), 2);
}

void TestBrowserView::previewKindOfRow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind");
    QTest::newRow("picture") << "a.png" << int(CBrowserView::kPreviewPicture);
    QTest::newRow("sound") << "song.mp3" << int(CBrowserView::kPreviewMedia);
    QTest::newRow("video") << "clip.avi" << int(CBrowserView::kPreviewMedia);
    // Clip extensions are compared as written.
    QTest::newRow("sound in capitals") << "SONG.MP3" << int(CBrowserView::kPreviewNone);
    QTest::newRow("other file") << "notes.txt" << int(CBrowserView::kPreviewNone);
    QTest::newRow("folder") << "sub.wav" << int(CBrowserView::kPreviewNone);
}

void TestBrowserView::previewKindOfRow()
{
    QFETCH(QString, name);
    QFETCH(int, kind);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // A folder first in the list, so that the row of interest is reached by one key.
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("0")));
    if (name.startsWith(QLatin1String("sub")))
        QVERIFY(QDir(dir.path()).mkdir(name));
    else if (name == QLatin1String("a.png"))
        writePicture(dir.filePath(name));
    else
        writeFile(dir.filePath(name), QByteArray("not a picture"));
    CSettingsStore::WriteProfileInt(settingskeys::kShowNonImages, 1);
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    QCOMPARE(fixture.list->rows().entryCount(), 3);
    fixture.list->selectRow(1);
    QSignalSpy previews(fixture.view, &CBrowserView::previewRequested);
    sendKey(fixture.list->currentView(), QEvent::KeyPress, Qt::Key_Down, false);
    sendKey(fixture.list->currentView(), QEvent::KeyRelease, Qt::Key_Down, false);
    QCOMPARE(previews.count(), 1);
    QCOMPARE(previews.at(0).at(1).toInt(), kind);
    QCOMPARE(previews.at(0).at(0).toString(), kind == CBrowserView::kPreviewNone ? QString() : dir.filePath(name));
}

void TestBrowserView::slideShowKeyOpensInViewer()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writePicture(dir.filePath("b.png"));
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    fixture.list->selectRow(1);
    QTest::keyClick(fixture.list->currentView(), Qt::Key_S, Qt::ShiftModifier);
    QVERIFY(fixture.view->slideShowRequested());
    QCOMPARE(fixture.host.switches, QList<int>{appmsg::kSwitchShow});
    QCOMPARE(fixture.view->takePictureToRead(), dir.filePath("b.png"));

    // Enter hands the same picture over without the slide show.
    QTest::keyClick(fixture.list->currentView(), Qt::Key_Return);
    QVERIFY(!fixture.view->slideShowRequested());
    QCOMPARE(fixture.host.switches, (QList<int>{appmsg::kSwitchShow, appmsg::kSwitchShow}));

    // On ".." the slide show opens the parent folder, and the viewer is not asked for.
    fixture.list->selectRow(0);
    QSignalSpy over(fixture.list, &CFileListCtrl::populationOver);
    QVERIFY(fixture.view->chainHead().execute(cmd::kSlideShow));
    QVERIFY(over.wait(kWait));
    QCOMPARE(fixture.list->currentFolder(), QFileInfo(dir.path()).path() + '/');
    QCOMPARE(fixture.host.switches.size(), 2);
}

void TestBrowserView::copyImagePutsPictureOnClipboard()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writePicture(dir.filePath("b.png"));
    writeFile(dir.filePath("c.txt"), "not a picture");
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    QCOMPARE(rowNames(fixture.list), (QStringList{"..", "b.png", "c.txt"}));
    QApplication::clipboard()->clear();

    fixture.list->selectRow(2);
    QVERIFY(fixture.view->chainHead().execute(cmd::kCopyImage));
    QVERIFY(QApplication::clipboard()->image().isNull());

    fixture.list->selectRow(1);
    QVERIFY(fixture.view->chainHead().execute(cmd::kCopyImage));
    const QImage copied = QApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(40, 30));
    QCOMPARE(copied.pixelColor(0, 0), QColor(Qt::darkCyan));
    QCOMPARE(copied.pixelColor(39, 29), QColor(Qt::darkCyan));
}

void TestBrowserView::renameInPlace_data()
{
    QTest::addColumn<QString>("oldName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("newName");
    QTest::newRow("new name") << "p.png"
                              << "harbour.png" << int(Qt::Key_Return) << "harbour.png";
    QTest::newRow("keypad Enter") << "p.png"
                                  << "harbour.png" << int(Qt::Key_Enter) << "harbour.png";
    QTest::newRow("letter case only") << "p.png"
                                      << "P.PNG" << int(Qt::Key_Return) << "P.PNG";
    QTest::newRow("cancelled") << "p.png"
                               << "harbour.png" << int(Qt::Key_Escape) << "p.png";
    QTest::newRow("refused") << "p.png"
                             << "bad/name.png" << int(Qt::Key_Return) << "p.png";
}

void TestBrowserView::renameInPlace()
{
    QFETCH(QString, oldName);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(QString, newName);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writePicture(dir.filePath(oldName));
    const QByteArray content = contentOf(dir.filePath(oldName));
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    fixture.list->selectRow(1);
    // The viewer holds the picture: it follows the file to its new name.
    QVERIFY(fixture.host.image.Load(dir.filePath(oldName)));
    QSignalSpy previews(fixture.view, &CBrowserView::previewRequested);
    const bool refusal = typed.contains(u'/');
    bool refused = false;
    if (refusal) {
        whenModal([&refused](QWidget* modal) {
            refused = true;
            modal->close();
        });
    }

    QVERIFY(fixture.view->chainHead().execute(cmd::kRename));
    auto* editor = fixture.list->currentView()->findChild<QLineEdit*>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), oldName);
    editor->setText(typed);
    QTest::keyClick(editor, Qt::Key(key), key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
    // The editor closes once the edit was committed or cancelled (and any refusal answered).
    QTRY_VERIFY(!fixture.list->currentView()->findChild<QLineEdit*>() ||
                !fixture.list->currentView()->findChild<QLineEdit*>()->isVisible());
    QTRY_COMPARE(fixture.list->rows().entryAt(1)->name, newName);
    if (refusal)
        QTRY_VERIFY(refused);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{newName});
    QCOMPARE(contentOf(dir.filePath(newName)), content);
    QCOMPARE(fixture.host.image.path(), dir.filePath(newName));
    QVERIFY(fixture.host.image.loaded());
    QVERIFY(fixture.frame.treeRefreshes.isEmpty());
    // The key that ended the edit opened nothing; a renamed file is previewed under its new name.
    QCOMPARE(fixture.host.switches, QList<int>{});
    if (newName != oldName)
        QTRY_COMPARE(previews.value(previews.count() - 1).value(0).toString(), dir.filePath(newName));
}

void TestBrowserView::renameRefusesExistingName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFile(dir.filePath("a.txt"), "first");
    writeFile(dir.filePath("b.txt"), "second");
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    QCOMPARE(rowNames(fixture.list), (QStringList{"..", "a.txt", "b.txt"}));

    QString shown;
    whenModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            shown = box->text();
        modal->close();
    });
    QVERIFY(!fixture.view->renameRow(1, QStringLiteral("b.txt")));
    QVERIFY(shown.contains(QStringLiteral("already exists")));
    QCOMPARE(rowNames(fixture.list), (QStringList{"..", "a.txt", "b.txt"}));
    QCOMPARE(contentOf(dir.filePath("a.txt")), QByteArray("first"));
    QCOMPARE(contentOf(dir.filePath("b.txt")), QByteArray("second"));
}

void TestBrowserView::renameFolderRefreshesTree()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("Old"));
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    QCOMPARE(rowNames(fixture.list), (QStringList{"..", "Old"}));
    QVERIFY(fixture.view->renameRow(1, QStringLiteral("New")));
    QCOMPARE(rowNames(fixture.list), (QStringList{"..", "New"}));
    QVERIFY(QFileInfo(dir.filePath("New")).isDir());
    QCOMPARE(fixture.frame.treeRefreshes, QStringList{dir.path() + '/'});
    // The parent entry has no name of its own.
    QVERIFY(!fixture.view->renameRow(0, QStringLiteral("x")));
}

void TestBrowserView::fileCommandsFollowTheDisk_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("destination"); // "here": the shown folder, "other": another one
    QTest::addColumn<bool>("confirm");        // the answer to the trash's or the erase's question
    QTest::addColumn<QStringList>("rows");    // the list once the operation is over, ".." left out
    QTest::addColumn<QStringList>("other");   // what the other folder holds then
    QTest::addColumn<bool>("trashed");
    // A transfer writes the destination's (hidden) description file, also when it is empty.
    const QStringList both{"a.png", "b.txt"};
    const QStringList arrived{"a.png", "descript.ion"};
    QTest::newRow("copy here: a duplicate") << int(cmd::kCopyTo) << "here" << false
                                            << QStringList{"Copy of a.png", "a.png", "b.txt", "descript.ion"}
                                            << QStringList{} << false;
    QTest::newRow("copy elsewhere") << int(cmd::kCopyTo) << "other" << false << both << arrived << false;
    QTest::newRow("move elsewhere") << int(cmd::kMoveTo) << "other" << false << QStringList{"b.txt"} << arrived
                                    << false;
    QTest::newRow("move here: nothing") << int(cmd::kMoveTo) << "here" << false << both << QStringList{} << false;
    QTest::newRow("delete") << int(cmd::kDelete) << "" << true << QStringList{"b.txt"} << QStringList{} << true;
    QTest::newRow("delete declined") << int(cmd::kDelete) << "" << false << both << QStringList{} << false;
    QTest::newRow("erase for good") << int(cmd::kEraseForGood) << "" << true << QStringList{"b.txt"} << QStringList{}
                                    << false;
    QTest::newRow("erase declined") << int(cmd::kEraseForGood) << "" << false << both << QStringList{} << false;
}

void TestBrowserView::fileCommandsFollowTheDisk()
{
    QFETCH(int, command);
    QFETCH(QString, destination);
    QFETCH(bool, confirm);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, other);
    QFETCH(bool, trashed);
    QTemporaryDir dir;
    QTemporaryDir otherDir;
    QVERIFY(dir.isValid() && otherDir.isValid());
    writePicture(dir.filePath("a.png"));
    writeFile(dir.filePath("b.txt"), "text");
    const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
    QDir(trash).removeRecursively();
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    fixture.list->selectRow(int(rowNames(fixture.list).indexOf("a.png")));

    whenModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->button(confirm ? QMessageBox::Yes : QMessageBox::No)->click();
        } else if (auto* dialog = qobject_cast<CCopyMoveDlg*>(modal)) {
            dialog->destinationEdit()->setText(destination == "here" ? dir.path() : otherDir.path());
            dialog->accept();
        }
    });
    // Everything that may change the shown folder ends with the list following the disk.
    const bool changesList = rows != QStringList{"a.png", "b.txt"} || command == cmd::kMoveTo;
    QSignalSpy over(fixture.view->fileOps(), &BrowserFileOps::operationOver);
    QSignalSpy refreshed(fixture.list, &CFileListCtrl::refreshed);
    QVERIFY(fixture.view->chainHead().isEnabled(command));
    fixture.view->chainHead().execute(command);
    QVERIFY(!over.isEmpty() || over.wait(kWait));
    if (changesList)
        QVERIFY(!refreshed.isEmpty() || refreshed.wait(kWait));
    QStringList listed = rowNames(fixture.list).mid(1);
    listed.sort();
    QCOMPARE(listed, rows);
    QCOMPARE(QDir(otherDir.path()).entryList(QDir::Files), other);
    QCOMPARE(QFileInfo::exists(trash + "/files/a.png"), trashed);
    QCOMPARE(QFileInfo::exists(dir.filePath("a.png")), rows.contains("a.png"));
    // The progress window went with the run.
    for (const QWidget* window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible() || !qobject_cast<const CProgressDialog*>(window), "the progress stayed");
}

void TestBrowserView::saveAsWritesTheFocusedPicture_data()
{
    QTest::addColumn<QString>("source");     // a name ending in "bad.png" holds no picture
    QTest::addColumn<bool>("otherFolder");
    QTest::addColumn<int>("type");           // the dialog's type number
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("identified"); // by gm; empty: nothing written
    QTest::newRow("beside it, BMP") << "a.png" << false << 1 << "a.bmp" << "BMP 40x30";
    QTest::newRow("elsewhere, GIF") << "a.png" << true << 2 << "a.gif" << "GIF 40x30";
    QTest::newRow("no picture inside") << "bad.png" << false << 1 << "bad.bmp" << "";
}

void TestBrowserView::saveAsWritesTheFocusedPicture()
{
    QFETCH(QString, source);
    QFETCH(bool, otherFolder);
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(QString, identified);
    if (!hasTool("gm"))
        QFAIL(missingTool("gm", "graphicsmagick"));
    QTemporaryDir dir;
    QTemporaryDir otherDir;
    QVERIFY(dir.isValid() && otherDir.isValid());
    if (source.endsWith("bad.png"))
        writeFile(dir.filePath(source), "no picture");
    else
        writePicture(dir.filePath(source));
    Fixture fixture;
    QVERIFY(showFolder(fixture.list, dir.path()));
    fixture.list->selectRow(1);
    const QString target = QDir(otherFolder ? otherDir.path() : dir.path()).filePath(name);
    const DialogAnswers::Answer save = [type, target](QDialog* dialog) {
        auto* exportDialog = qobject_cast<CExportDialog*>(dialog);
        QVERIFY(exportDialog);
        pickType(*exportDialog, type);
        exportDialog->selectFile(target);
        dialog->accept();
    };
    DialogAnswers answers({identified.isEmpty() ? DialogAnswers::click(QMessageBox::Ok) : save});
    QSignalSpy over(fixture.view->fileOps(), &BrowserFileOps::operationOver);
    QSignalSpy added(fixture.list, &CFileListCtrl::fileAdded);
    QSignalSpy previews(fixture.view, &CBrowserView::previewRequested);
    QVERIFY(fixture.view->chainHead().execute(cmd::kSaveAs));
    QVERIFY(!over.isEmpty() || over.wait(kWait));
    QCOMPARE(QFileInfo::exists(target), !identified.isEmpty());
    if (identified.isEmpty()) {
        // The library's reason is told before any dialog, and nothing was written.
        QCOMPARE(answers.shown.size(), 1);
        QVERIFY(answers.shown.first().contains(source));
        return;
    }
    QCOMPARE(imagetest::identify(QStandardPaths::findExecutable("gm"), "%m %wx%h", target), identified);
    // Written beside the others, it is one more row, the selected one, and previewed.
    if (!otherFolder) {
        QVERIFY(!added.isEmpty() || added.wait(kWait));
        QCOMPARE(fixture.list->focusedIndex(true), rowNames(fixture.list).indexOf(name));
        QCOMPARE(previews.size(), 1);
        QCOMPARE(previews.first().first().toString(), target);
    }
    QCOMPARE(rowNames(fixture.list).contains(name), !otherFolder);
}

void TestBrowserView::selectFolderKinds_data()
{
    QTest::addColumn<QString>("relative"); // to the temporary folder
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("expected");
    QTest::newRow("kind 2: a file's folder") << "Sub/picture.png" << 2 << "Sub/";
    QTest::newRow("kind 3: a folder") << "Sub" << 3 << "Sub/";
    QTest::newRow("kind 4: a folder") << "Sub/" << 4 << "Sub/";
}

void TestBrowserView::selectFolderKinds()
{
    QFETCH(QString, relative);
    QFETCH(int, kind);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("Sub"));
    Fixture fixture;
    QSignalSpy over(fixture.list, &CFileListCtrl::populationOver);
    appmsg::send(fixture.view, appmsg::kSelectFolder, dir.filePath(relative), kind);
    QVERIFY(over.wait(kWait));
    QCOMPARE(fixture.list->currentFolder(), dir.filePath(expected));
}

QTEST_MAIN(TestBrowserView)
#include "tst_browserview.moc"
