#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTreeWidgetItem>

#include "app/cmainframe.h"
#include "app/cstatustotals.h"
#include "browser/cbrowserview.h"
#include "browser/cdirtree.h"
#include "browser/cdirtreebar.h"
#include "browser/cfilelistctrl.h"
#include "browser/cpreviewarea.h"
#include "browser/cpreviewbar.h"
#include "core/messages.h"
#include "imagelib/cbmpex.h"
#include "platform/desktopservices.h"
#include "platform/filemime.h"
#include "recordinghost.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "settings/storedstate.h"

namespace {

bool writeBytes(const QString& path, qint64 size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size;
}

// The texts of the status panes that are shown, left to right.
QStringList shownPanes(const CMainFrame& frame)
{
    QStringList texts;
    for (int i = 0; i < 5; ++i) {
        const auto* pane = frame.findChild<QLabel*>(QStringLiteral("statusPane%1").arg(i));
        if (pane && !pane->isHidden() && !pane->parentWidget()->isHidden())
            texts << pane->text();
    }
    return texts;
}

void writePicture(const QString& path)
{
    QImage picture(60, 40, QImage::Format_RGB32);
    picture.fill(Qt::darkYellow);
    QVERIFY(picture.save(path));
}

// A key pressed and released on the list, as a user moving to the next row.
void pressDown(CMainFrame& frame)
{
    QWidget* view = frame.fileList()->currentView();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(view, &release);
}

bool waitForFolder(CMainFrame& frame, const QString& folder)
{
    CFileListCtrl* list = frame.fileList();
    QSignalSpy over(list, &CFileListCtrl::populationOver);
    if (list->currentFolder() != folder)
        list->SetFolder(folder, true);
    return list->rows().entryCount() > 0 || over.wait(5000);
}

}  // namespace

class TestMainFrame : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    // These two run first and in this order: the second reads what the first stored.
    void firstStartOpensPicturesInDetailsByName();
    void secondStartRestoresTheFirst();
    void totalText_data();
    void totalText();
    void paneTexts_data();
    void paneTexts();
    void statusBarShowsTotals_data();
    void statusBarShowsTotals();
    void statusBarFivePartsWithSelection();
    void selectFolderIsRelayedToTheView();
    void newFolderIsMadeOnDisk();
    void f5ReadsTheFolderAgain();
    void mailArguments_data();
    void mailArguments();
    void commandsFollowTheSelection();
    void pasteFollowsTheClipboard();
    void withoutSavePositionTheFrameValuesStay();
    void barTogglesFollowTheBars_data();
    void barTogglesFollowTheBars();
    void secondStartRestoresBarVisibility();
    void treeAndListFollowEachOther();
    void previewFollowsTheListSelection();
    void selectPictureShowsItInThePreview();
    void hidePreviewInThumbnails_data();
    void hidePreviewInThumbnails();
    void treeTakesItsKeysFromTheFrame();
    void folderRenamedInTheTreeIsRenamedInTheList();

private:
    RecordingHost m_host;
    CCommandTarget m_app;
    QString m_pictures;
    int m_sortKeyLeft = -1;
    QTemporaryDir m_dir;
};

void TestMainFrame::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    QVERIFY(QDir().mkpath(m_pictures + QStringLiteral("/sub")));
    QVERIFY(writeBytes(m_pictures + QStringLiteral("/b.jpg"), 10));
    QVERIFY(writeBytes(m_pictures + QStringLiteral("/a.jpg"), 20));
}

void TestMainFrame::firstStartOpensPicturesInDetailsByName()
{
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(waitForFolder(frame, frame.fileList()->currentFolder()));
    const CFileListCtrl* list = frame.fileList();
    QCOMPARE(list->currentFolder(), m_pictures + u'/');
    QCOMPARE(list->viewMode(), int(CFileListCtrl::kDetails));
    QCOMPARE(list->rows().sortKey(), 0);
    QCOMPARE(frame.windowTitle(), QStringLiteral("Zelt Pixoria"));
    QCOMPARE(frame.minimumWidth(), 251);

    // What the second start must find again.
    QVERIFY(frame.commands().execute(cmd::kViewList));
    QVERIFY(frame.commands().execute(cmd::kSortBySize));
    QVERIFY(frame.commands().execute(cmd::kSortReverse));
    m_sortKeyLeft = frame.fileList()->rows().sortKey();
    QVERIFY(m_sortKeyLeft != 0);
    QVERIFY(waitForFolder(frame, m_pictures + QStringLiteral("/sub/")));
    frame.setGeometry(QRect(40, 30, 520, 380));
    // The program ends.
    frame.saveBrowserState();
}

void TestMainFrame::secondStartRestoresTheFirst()
{
    const storedstate::ColumnStates stored = storedstate::readColumns(800);
    CMainFrame frame(m_host, m_host.options, &m_app);
    QCOMPARE(frame.geometry(), QRect(40, 30, 520, 380));
    frame.show();
    const CFileListCtrl* list = frame.fileList();
    QCOMPARE(list->currentFolder(), m_pictures + QStringLiteral("/sub/"));
    QCOMPARE(list->viewMode(), int(CFileListCtrl::kList));
    QCOMPARE(list->rows().sortKey(), m_sortKeyLeft);
    QCOMPARE(list->rows().ascending(), false);
    QCOMPARE(list->columnStates(), stored);
    QVERIFY(frame.commands().action(cmd::kViewList)->isChecked());
}

void TestMainFrame::totalText_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << 0 << quint64(0) << "Total 0 files (0 Bytes)";
    QTest::newRow("1023 bytes") << 3 << quint64(1023) << "Total 3 files (1023 Bytes)";
    QTest::newRow("1024 bytes") << 3 << quint64(1024) << "Total 3 files (   1.0 KB)";
    QTest::newRow("just below a megabyte") << 1 << quint64(1048575) << "Total 1 files (1024.0 KB)";
    QTest::newRow("1048576 bytes") << 7 << quint64(1048576) << "Total 7 files (   1.0 MB)";
    QTest::newRow("beyond 4 GiB") << 2 << (quint64(5) << 32) << "Total 2 files (20480.0 MB)";
}

void TestMainFrame::totalText()
{
    QFETCH(int, files);
    QFETCH(quint64, bytes);
    QFETCH(QString, expected);
    QCOMPARE(statustotals::totalText(files, bytes), expected);
}

void TestMainFrame::paneTexts_data()
{
    QTest::addColumn<bool>("any");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QStringList>("expected");
    const QString total = QStringLiteral("Total 4 files (   2.0 KB)");
    QTest::newRow("no selection") << false << 0 << "" << QStringList{total};
    QTest::newRow("one file with detail")
        << true << 1 << "JPEG, 8 bits" << QStringList{total, "2KB,  01.02.2024 10:00", "a.jpg", "64x48x24", "JPEG, 8 bits"};
    QTest::newRow("one file without detail")
        << true << 1 << "" << QStringList{total, "2KB,  01.02.2024 10:00", "a.jpg", "64x48x24", "64x48x24"};
    QTest::newRow("two files") << true << 2 << "JPEG, 8 bits"
                               << QStringList{total, "Selected 2 files", "a.jpg", "64x48x24", "64x48x24"};
}

void TestMainFrame::paneTexts()
{
    QFETCH(bool, any);
    QFETCH(int, count);
    QFETCH(QString, detail);
    QFETCH(QStringList, expected);
    statustotals::Selection selection;
    selection.any = any;
    selection.selectedCount = count;
    selection.firstName = QStringLiteral("a.jpg");
    selection.imageProperties = QStringLiteral("64x48x24");
    selection.summary = QStringLiteral("2KB,  01.02.2024 10:00");
    selection.detail = detail;
    QCOMPARE(statustotals::paneTexts(4, 2048, selection), expected);
}

void TestMainFrame::statusBarShowsTotals_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("expected");
    QTest::newRow("1023") << qint64(1023) << "Total 2 files (1023 Bytes)";
    QTest::newRow("1024") << qint64(1024) << "Total 2 files (   1.0 KB)";
    QTest::newRow("1048576") << qint64(1048576) << "Total 2 files (   1.0 MB)";
}

void TestMainFrame::statusBarShowsTotals()
{
    QFETCH(qint64, size);
    QFETCH(QString, expected);
    // Two files whose sizes add up to `size`; the folder's own entries count for nothing.
    const QString folder = m_dir.path() + QStringLiteral("/totals-%1/").arg(size);
    QVERIFY(QDir().mkpath(folder + QStringLiteral("inner")));
    QVERIFY(writeBytes(folder + QStringLiteral("one.jpg"), 1));
    QVERIFY(writeBytes(folder + QStringLiteral("two.png"), size - 1));

    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(waitForFolder(frame, folder));
    frame.fileList()->selectionModel()->clearSelection();
    QCOMPARE(shownPanes(frame), QStringList{expected});
}

void TestMainFrame::statusBarFivePartsWithSelection()
{
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(waitForFolder(frame, m_pictures + u'/'));
    CFileListCtrl* list = frame.fileList();
    const int row = list->rows().findByName(QStringLiteral("a.jpg"));
    QVERIFY(row > 0);
    QVERIFY(!frame.commands().action(cmd::kDescribe)->isEnabled());
    list->selectRow(row);
    // The toolbar's file commands follow the selection without a menu being opened.
    QVERIFY(frame.commands().action(cmd::kDescribe)->isEnabled());
    QStringList panes = shownPanes(frame);
    QCOMPARE(panes.size(), 5);
    QCOMPARE(panes[0], QStringLiteral("Total 2 files (30 Bytes)"));
    QCOMPARE(panes[2], QStringLiteral("a.jpg"));

    QVERIFY(frame.commands().execute(cmd::kSelectAll));
    panes = shownPanes(frame);
    QCOMPARE(panes.size(), 5);
    QCOMPARE(panes[1], QStringLiteral("Selected 3 files"));
}

void TestMainFrame::selectFolderIsRelayedToTheView()
{
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(waitForFolder(frame, m_pictures + u'/'));
    frame.setWindowTitle(QStringLiteral("other"));
    QSignalSpy over(frame.fileList(), &CFileListCtrl::populationOver);
    // Kind 4 is the address box's Enter: the view goes there and the list reports it back.
    QVERIFY(appmsg::send(&frame, appmsg::kSelectFolder, m_pictures + QStringLiteral("/sub"), appmsg::kFolderTyped));
    QVERIFY(over.wait(5000));
    QCOMPARE(frame.fileList()->currentFolder(), m_pictures + QStringLiteral("/sub/"));
    QCOMPARE(frame.windowTitle(), QStringLiteral("Zelt Pixoria"));
    QCOMPARE(frame.findChild<QLineEdit*>()->text(), m_pictures + QStringLiteral("/sub/"));
    QCOMPARE(shownPanes(frame).value(0), QStringLiteral("Total 0 files (0 Bytes)"));
}

void TestMainFrame::newFolderIsMadeOnDisk()
{
    const QString folder = m_dir.path() + QStringLiteral("/made/");
    QVERIFY(QDir().mkpath(folder + QStringLiteral("New Folder")));
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(waitForFolder(frame, folder));
    QVERIFY(frame.commands().execute(cmd::kNewFolder));
    // The name is taken, so the next free one is used.
    QVERIFY(QFileInfo(folder + QStringLiteral("New Folder(1)")).isDir());
    QVERIFY(frame.fileList()->rows().findByName(QStringLiteral("New Folder(1)")) > 0);
    // Its name is open for typing, and a re-read of the folder (the new folder's own
    // notification) leaves it so.
    QVERIFY(frame.fileList()->isEditingLabel());
    QSignalSpy refreshed(frame.fileList(), &CFileListCtrl::refreshed);
    frame.fileList()->refresh();
    QVERIFY(refreshed.wait(5000));
    QVERIFY(frame.fileList()->isEditingLabel());
}

void TestMainFrame::f5ReadsTheFolderAgain()
{
    const QString folder = m_dir.path() + QStringLiteral("/refresh/");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeBytes(folder + QStringLiteral("first.jpg"), 5));
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QApplication::setActiveWindow(&frame);
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QVERIFY(waitForFolder(frame, folder));
    QVERIFY(writeBytes(folder + QStringLiteral("second.jpg"), 5));
    QSignalSpy refreshed(frame.fileList(), &CFileListCtrl::refreshed);
    QTest::keyClick(frame.fileList()->reportView(), Qt::Key_F5);
    QVERIFY(refreshed.wait(5000));
    QVERIFY(frame.fileList()->rows().findByName(QStringLiteral("second.jpg")) > 0);
}

void TestMainFrame::mailArguments_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("none, no note") << QStringList{} << "" << QStringList{};
    QTest::newRow("none, note") << QStringList{} << "Hi" << QStringList{"--body", "Hi"};
    QTest::newRow("two files")
        << QStringList{"a b.jpg", "-c.png"} << "Note"
        << QStringList{"--attach", "/p/a b.jpg", "--attach", "/p/-c.png", "--body", "Note"};
}

void TestMainFrame::mailArguments()
{
    QFETCH(QStringList, names);
    QFETCH(QString, note);
    QFETCH(QStringList, expected);
    for (QString& name : names)
        name.prepend(QStringLiteral("/p/"));
    QCOMPARE(platform::mailArguments(names, note), expected);
}

void TestMainFrame::commandsFollowTheSelection()
{
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(waitForFolder(frame, m_pictures + u'/'));
    frame.fileList()->selectRow(1);
    for (int id : {cmd::kFindImages, cmd::kDelete, cmd::kCopyTo, cmd::kMoveTo, cmd::kEraseForGood,
                   cmd::kFileAssociation})
        QVERIFY2(frame.commands().action(id)->isEnabled(), qPrintable(QString::number(id)));
    // Encrypt/Decrypt takes a focused file: row 1 is the folder "sub", row 2 a picture.
    QVERIFY(!frame.commands().action(cmd::kEncryptDecrypt)->isEnabled());
    frame.fileList()->selectRow(2);
    QVERIFY(frame.commands().action(cmd::kEncryptDecrypt)->isEnabled());
    // The bar toggles carry their checks.
    QVERIFY(frame.commands().action(cmd::kToolbar)->isChecked());
    QVERIFY(frame.commands().execute(cmd::kToolbar));
    QVERIFY(!frame.commands().action(cmd::kToolbar)->isChecked());
    QVERIFY(frame.commands().execute(cmd::kStatusBar));
    QVERIFY(!frame.commands().action(cmd::kStatusBar)->isChecked());
}

void TestMainFrame::pasteFollowsTheClipboard()
{
    QApplication::clipboard()->clear();
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(waitForFolder(frame, m_pictures + u'/'));
    QAction* paste = frame.commands().action(cmd::kPaste);
    QVERIFY(!paste->isEnabled());
    // Another program copies a file: Paste, its button and Ctrl+V are there without a menu opened.
    QApplication::clipboard()->setMimeData(
        filemime::makeFileData({m_dir.path() + QStringLiteral("/a.jpg")}, filemime::DropEffect::Copy));
    QTRY_VERIFY(paste->isEnabled());
    QApplication::clipboard()->clear();
    QTRY_VERIFY(!paste->isEnabled());
}

void TestMainFrame::withoutSavePositionTheFrameValuesStay()
{
    const QRect stored(60, 50, 400, 300);
    storedstate::writeFramePlacement(stored);
    m_host.options.SavePosition = 0;
    {
        CMainFrame frame(m_host, m_host.options, &m_app);
        // Not taken from the store either.
        QVERIFY(frame.geometry() != stored);
        frame.show();
        frame.setGeometry(QRect(10, 10, 600, 450));
        frame.saveBrowserState();
    }
    m_host.options.SavePosition = 1;
    QCOMPARE(storedstate::readFramePlacement(QRect(0, 0, 4000, 3000), QSize(32, 32)), std::optional<QRect>(stored));
}

void TestMainFrame::barTogglesFollowTheBars_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("barId");
    QTest::newRow("preview") << int(cmd::kPreviewBar) << settingskeys::kPreviewBarId;
    QTest::newRow("folders tree") << int(cmd::kFoldersTree) << settingskeys::kFoldersTreeBarId;
}

void TestMainFrame::barTogglesFollowTheBars()
{
    QFETCH(int, command);
    QFETCH(int, barId);
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    auto* bar = frame.findChild<QDockWidget*>(QStringLiteral("SCBar-%1").arg(barId));
    QVERIFY(bar);
    QCOMPARE(frame.dockWidgetArea(bar), Qt::LeftDockWidgetArea);
    bar->show();
    QAction* toggle = frame.commands().action(command);
    QVERIFY(toggle->isEnabled());
    QVERIFY(toggle->isChecked());

    QVERIFY(frame.commands().execute(command));
    QVERIFY(bar->isHidden());
    QVERIFY(!toggle->isChecked());
    QVERIFY(frame.commands().execute(command));
    QVERIFY(bar->isVisible());
    QVERIFY(toggle->isChecked());

    auto* close = bar->findChild<QAbstractButton*>(QStringLiteral("qt_dockwidget_closebutton"));
    QVERIFY(close);
    close->click();
    QVERIFY(bar->isHidden());
    QVERIFY(!toggle->isChecked());
    bar->show();
}

void TestMainFrame::secondStartRestoresBarVisibility()
{
    {
        CMainFrame frame(m_host, m_host.options, &m_app);
        frame.show();
        QVERIFY(QTest::qWaitForWindowExposed(&frame));
        QVERIFY(!frame.commands().action(cmd::kPreviewBar)->isChecked() ||
                frame.commands().execute(cmd::kPreviewBar));
        QVERIFY(frame.commands().action(cmd::kFoldersTree)->isChecked() ||
                frame.commands().execute(cmd::kFoldersTree));
        QVERIFY(!frame.commands().action(cmd::kPreviewBar)->isChecked());
        QVERIFY(frame.commands().action(cmd::kFoldersTree)->isChecked());
        frame.saveBrowserState();
    }
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(frame.findChild<QDockWidget*>(QStringLiteral("SCBar-%1").arg(settingskeys::kPreviewBarId))->isHidden());
    QVERIFY(frame.findChild<QDockWidget*>(QStringLiteral("SCBar-%1").arg(settingskeys::kFoldersTreeBarId))->isVisible());
    QVERIFY(!frame.commands().action(cmd::kPreviewBar)->isChecked());
    QVERIFY(frame.commands().action(cmd::kFoldersTree)->isChecked());
}

void TestMainFrame::treeAndListFollowEachOther()
{
    const QString sub = m_dir.filePath(QStringLiteral("tree/inner"));
    QVERIFY(QDir().mkpath(sub));
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    CDirTree* tree = frame.treeBar()->tree();

    // The list reports the folder it shows; the tree selects it.
    QVERIFY(waitForFolder(frame, m_dir.filePath(QStringLiteral("tree")) + u'/'));
    QCOMPARE(tree->currentPath(), m_dir.filePath(QStringLiteral("tree")));

    // The user picks a folder in the tree; the list goes there.
    QSignalSpy over(frame.fileList(), &CFileListCtrl::populationOver);
    QVERIFY(tree->selectPath(sub));
    QTreeWidgetItem* inner = tree->currentItem();
    QVERIFY(tree->selectPath(m_dir.filePath(QStringLiteral("tree"))));
    tree->showItem(inner);
    QVERIFY(over.wait(5000));
    QCOMPARE(frame.fileList()->currentFolder(), sub + u'/');
}

void TestMainFrame::previewFollowsTheListSelection()
{
    const QString folder = m_dir.filePath(QStringLiteral("preview"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/0 folder")));
    writePicture(folder + QStringLiteral("/1.png"));
    QVERIFY(writeBytes(folder + QStringLiteral("/2.txt"), 5));
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    CFileListCtrl* list = frame.fileList();
    list->sortBy(fileitem::kByName);
    list->setDirection(true);
    QVERIFY(waitForFolder(frame, folder + u'/'));
    QCOMPARE(list->rows().entryCount(), 4);
    CPreviewBar* preview = frame.previewBar();

    list->selectRow(1);
    pressDown(frame);
    QVERIFY(preview->showingImage());
    QCOMPARE(m_host.currentImage().path(), folder + QStringLiteral("/1.png"));
    QCOMPARE(m_host.currentImage().GetSize(), QSize(60, 40));

    // A file that is neither picture nor clip clears the preview.
    QTRY_VERIFY(preview->area()->ready());
    pressDown(frame);
    QVERIFY(!preview->showingImage());

    // Showing another folder clears it too.
    list->selectRow(1);
    pressDown(frame);
    QVERIFY(preview->showingImage());
    appmsg::send(&frame, appmsg::kSelectFolder, m_dir.path(), appmsg::kFolderFromTree);
    QVERIFY(!preview->showingImage());
}

void TestMainFrame::selectPictureShowsItInThePreview()
{
    const QString picture = m_dir.filePath(QStringLiteral("back.png"));
    writePicture(picture);
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(waitForFolder(frame, m_dir.path() + u'/'));
    appmsg::send(&frame, appmsg::kSelectPicture, picture);
    QVERIFY(frame.previewBar()->showingImage());
    QCOMPARE(m_host.currentImage().path(), picture);
}

void TestMainFrame::hidePreviewInThumbnails_data()
{
    QTest::addColumn<int>("hidePreview");
    QTest::newRow("kept") << 0;
    QTest::newRow("hidden") << 1;
}

void TestMainFrame::hidePreviewInThumbnails()
{
    QFETCH(int, hidePreview);
    m_host.options.HidePreview = hidePreview;
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.previewBar()->show();
    QVERIFY(frame.commands().execute(cmd::kViewThumbnails));
    QCOMPARE(frame.previewBar()->isHidden(), hidePreview != 0);
    QCOMPARE(frame.commands().action(cmd::kPreviewBar)->isChecked(), hidePreview == 0);
    m_host.options.HidePreview = 0;
    QVERIFY(frame.commands().execute(cmd::kViewDetails));
    frame.previewBar()->show();
}

void TestMainFrame::treeTakesItsKeysFromTheFrame()
{
    const QString folder = m_dir.filePath(QStringLiteral("keys/renamed in tree"));
    QVERIFY(QDir().mkpath(folder));
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QApplication::setActiveWindow(&frame);
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    CDirTree* tree = frame.treeBar()->tree();
    QVERIFY(tree->selectPath(folder));
    tree->setFocus();
    QVERIFY(tree->hasFocus());
    // F2 is also the list's Rename shortcut; with the focus in the tree the tree's item is edited.
    QTest::keyClick(tree, Qt::Key_F2);
    QVERIFY(tree->findChild<QLineEdit*>());
    QVERIFY(!frame.fileList()->findChild<QLineEdit*>());
}

void TestMainFrame::folderRenamedInTheTreeIsRenamedInTheList()
{
    const QString parent = m_dir.filePath(QStringLiteral("renames"));
    QVERIFY(QDir().mkpath(parent + QStringLiteral("/before")));
    CMainFrame frame(m_host, m_host.options, &m_app);
    frame.show();
    QVERIFY(waitForFolder(frame, parent + u'/'));
    CFileListModel& rows = frame.fileList()->rows();
    QCOMPARE(rows.itemText(1, CFileListModel::kName), QStringLiteral("before"));
    CDirTree* tree = frame.treeBar()->tree();
    QVERIFY(tree->selectPath(parent + QStringLiteral("/before")));
    QSignalSpy refreshed(frame.fileList(), &CFileListCtrl::refreshed);
    QVERIFY(tree->renameFolder(tree->currentItem(), QStringLiteral("after")));
    QVERIFY(refreshed.count() > 0 || refreshed.wait(5000));
    QCOMPARE(rows.entryCount(), 2);
    QCOMPARE(rows.itemText(1, CFileListModel::kName), QStringLiteral("after"));
}

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
