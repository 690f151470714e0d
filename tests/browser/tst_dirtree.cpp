#include <functional>

#include <QAction>
#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "browser/cdirtree.h"
#include "browser/cdirtreebar.h"
#include "core/commands.h"
#include "core/messages.h"
#include "dropfiles.h"
#include "postedevents.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "whenopen.h"

namespace {

// Stands for the browser frame: records the folders the tree asks it to show.
class FrameStandIn : public QMainWindow {
public:
    QStringList shown;

protected:
    bool event(QEvent* event) override
    {
        if (const appmsg::Message* message = appmsg::as(event, appmsg::kSelectFolder)) {
            if (message->kind == 1)
                shown << message->path;
            return true;
        }
        return QMainWindow::event(event);
    }
};

// A frame with the bar docked and on screen.
struct Fixture {
    Fixture()
    {
        bar = new CDirTreeBar(&frame);
        frame.addDockWidget(Qt::LeftDockWidgetArea, bar);
        frame.resize(400, 600);
        frame.show();
        tree = bar->tree();
    }
    FrameStandIn frame;
    CDirTreeBar* bar = nullptr;
    CDirTree* tree = nullptr;
};

// Makes the folders (relative to `base`) and returns `base`.
QString makeFolders(const QString& base, const QStringList& folders)
{
    for (const QString& folder : folders) {
        if (!QDir().mkpath(base + u'/' + folder))
            return {};
    }
    return QDir().mkpath(base) ? base : QString();
}

// The item itself or its ancestor of that path; the top-level ancestor for an empty path.
QTreeWidgetItem* ancestorOf(QTreeWidgetItem* item, const QString& path = {})
{
    while (item && item->parent() && CShellTree::pathOfItem(item) != path)
        item = item->parent();
    return item;
}

QStringList childNames(QTreeWidgetItem* item)
{
    QStringList names;
    for (int i = 0; item && i < item->childCount(); ++i)
        names << item->child(i)->text(0);
    return names;
}

QTreeWidgetItem* childNamed(QTreeWidgetItem* item, const QString& name)
{
    for (int i = 0; item && i < item->childCount(); ++i) {
        if (item->child(i)->text(0) == name)
            return item->child(i);
    }
    return nullptr;
}

} // namespace

class TestDirTree : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void topLevelHoldsThePlaces();
    void childrenAreSortedNaturallyWithHiddenOnes();
    void expandButtonsOnlyWithSubfolders_data();
    void expandButtonsOnlyWithSubfolders();
    void unreadableFolderGetsNoChildren();
    void keyboardMovesShowOnceAfterTheDelay();
    void clickShowsAtOnceAndNeverTwice();
    void selectPath_data();
    void selectPath();
    void barSelectsTheLastFolderAndAnswersTheList();
    void refreshFollowsOutsideChanges_data();
    void refreshFollowsOutsideChanges();
    void rename_data();
    void rename();
    void renameInPlace_data();
    void renameInPlace();
    void rightClickMenuOpensItsItem();
    void deleteFolder_data();
    void deleteFolder();
    void keys_data();
    void keys();
    void filesArrive_data();
    void filesArrive();

private:
    // A fresh folder inside Documents for the running test (and data row).
    QString testFolder() const;

    QTemporaryDir m_root;
    QString m_home;
    QString m_documents;
};

void TestDirTree::initTestCase()
{
    QVERIFY(m_root.isValid());
    m_home = m_root.filePath(QStringLiteral("home"));
    for (const char* place : {"Desktop", "Documents", "Pictures"})
        QVERIFY(QDir().mkpath(m_home + u'/' + QLatin1String(place)));
    qputenv("HOME", QFile::encodeName(m_home));
    m_documents = m_home + QStringLiteral("/Documents");
    QCOMPARE(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), m_documents);
}

QString TestDirTree::testFolder() const
{
    QString name = QString::fromLatin1(QTest::currentTestFunction());
    if (QTest::currentDataTag())
        name += u'-' + QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'_');
    return m_documents + u'/' + name;
}

void TestDirTree::topLevelHoldsThePlaces()
{
    CDirTree tree;
    tree.buildTree();
    QStringList paths;
    for (int i = 0; i < tree.topLevelItemCount(); ++i)
        paths << CShellTree::pathOfItem(tree.topLevelItem(i));
    QCOMPARE(paths.mid(0, 5), (QStringList{m_home, m_home + QStringLiteral("/Desktop"), m_documents,
                                           m_home + QStringLiteral("/Pictures"), QStringLiteral("/")}));
    QCOMPARE(tree.topLevelItem(2)->text(0), QStringLiteral("Documents"));
    for (const QString& path : paths) {
        QCOMPARE(paths.count(path), 1);
        for (const char* system : {"/proc", "/sys", "/dev", "/run/user"})
            QVERIFY2(!path.startsWith(QLatin1String(system)), qPrintable(path));
    }
    // Home holds the special folders: it has an expand button before it was ever expanded.
    QCOMPARE(tree.topLevelItem(0)->childCount(), 0);
    QCOMPARE(tree.topLevelItem(0)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

void TestDirTree::childrenAreSortedNaturallyWithHiddenOnes()
{
    const QString base =
        makeFolders(testFolder(), {"img10", "Img3", "img2", ".hidden", "beta", "Alpha", "file-like.d"});
    QVERIFY(!base.isEmpty());
    QFile file(base + QStringLiteral("/a-file"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    CDirTree tree;
    tree.buildTree();
    QVERIFY(tree.selectPath(base));
    QCOMPARE(childNames(tree.currentItem()),
             (QStringList{".hidden", "Alpha", "beta", "file-like.d", "img2", "Img3", "img10"}));
}

void TestDirTree::expandButtonsOnlyWithSubfolders_data()
{
    QTest::addColumn<QStringList>("inside");
    QTest::addColumn<bool>("button");
    QTest::newRow("subfolder") << QStringList{"sub"} << true;
    QTest::newRow("hidden subfolder only") << QStringList{".sub"} << true;
    QTest::newRow("files only") << QStringList{"file1", "file2"} << false;
    QTest::newRow("empty") << QStringList{} << false;
}

void TestDirTree::expandButtonsOnlyWithSubfolders()
{
    QFETCH(QStringList, inside);
    QFETCH(bool, button);
    const QString folder = makeFolders(testFolder() + QStringLiteral("/probed"), {});
    QVERIFY(!folder.isEmpty());
    for (const QString& name : std::as_const(inside)) {
        if (name.startsWith(QLatin1String("file"))) {
            QFile file(folder + u'/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else {
            QVERIFY(QDir().mkpath(folder + u'/' + name));
        }
    }
    CDirTree tree;
    tree.buildTree();
    QVERIFY(tree.selectPath(testFolder()));
    QTreeWidgetItem* probed = childNamed(tree.currentItem(), QStringLiteral("probed"));
    QVERIFY(probed);
    // Probed, not read: its children come with the first expansion.
    QCOMPARE(probed->childCount(), 0);
    QCOMPARE(probed->childIndicatorPolicy(),
             button ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicator);
    probed->setExpanded(true);
    QCOMPARE(probed->childCount(), inside.filter(QStringLiteral("sub")).size());
}

void TestDirTree::unreadableFolderGetsNoChildren()
{
    const QString base = makeFolders(testFolder(), {"locked/inner", "open/inner"});
    QVERIFY(!base.isEmpty());
    const QString locked = base + QStringLiteral("/locked");
    QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
    const auto restore = qScopeGuard([&locked] {
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    });
    if (QDirIterator(locked, QDir::Dirs | QDir::NoDotAndDotDot).hasNext())
        QSKIP("running as root: root reads a folder without permissions anyway");
    CDirTree tree;
    tree.buildTree();
    QVERIFY(tree.selectPath(base));
    QTreeWidgetItem* lockedItem = childNamed(tree.currentItem(), QStringLiteral("locked"));
    QTreeWidgetItem* openItem = childNamed(tree.currentItem(), QStringLiteral("open"));
    QVERIFY(lockedItem && openItem);
    QCOMPARE(lockedItem->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    QCOMPARE(openItem->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    lockedItem->setExpanded(true);
    QCOMPARE(lockedItem->childCount(), 0);
    // Showing it reads it once more, quietly.
    tree.showItem(lockedItem);
    QCOMPARE(lockedItem->childCount(), 0);
}

void TestDirTree::keyboardMovesShowOnceAfterTheDelay()
{
    const QString base = makeFolders(testFolder(), {"a", "b", "c", "d"});
    QVERIFY(!base.isEmpty());
    Fixture fixture;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.frame));
    QVERIFY(fixture.tree->selectPath(base));
    for (int step = 0; step < 3; ++step)
        QTest::keyClick(fixture.tree, Qt::Key_Down);
    QCOMPARE(fixture.tree->currentPath(), base + QStringLiteral("/c"));
    // Nothing yet: the folder is shown once the keyboard has been quiet for a while.
    QVERIFY(fixture.frame.shown.isEmpty());
    QTRY_COMPARE(fixture.frame.shown, QStringList{base + QStringLiteral("/c/")});
    QVERIFY(!fixture.tree->showPending());
}

void TestDirTree::clickShowsAtOnceAndNeverTwice()
{
    const QString base = makeFolders(testFolder(), {"a", "b"});
    QVERIFY(!base.isEmpty());
    Fixture fixture;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.frame));
    QVERIFY(fixture.tree->selectPath(base));
    QTreeWidgetItem* a = childNamed(fixture.tree->currentItem(), QStringLiteral("a"));
    QTreeWidgetItem* b = childNamed(fixture.tree->currentItem(), QStringLiteral("b"));
    QVERIFY(a && b);
    const auto click = [&fixture](QTreeWidgetItem* item) {
        QTest::mouseClick(fixture.tree->viewport(), Qt::LeftButton, {}, fixture.tree->visualItemRect(item).center());
    };
    click(a);
    QCOMPARE(fixture.frame.shown, QStringList{base + QStringLiteral("/a/")});
    click(a);
    QCOMPARE(fixture.frame.shown.size(), 1);
    click(b);
    QCOMPARE(fixture.frame.shown.last(), base + QStringLiteral("/b/"));
    // Away and back before the delay is over: the folder shown is the one already shown.
    QTest::keyClick(fixture.tree, Qt::Key_Up);
    QTest::keyClick(fixture.tree, Qt::Key_Down);
    QVERIFY(fixture.tree->showPending());
    QTRY_VERIFY(!fixture.tree->showPending());
    QCOMPARE(fixture.frame.shown.size(), 2);
}

void TestDirTree::selectPath_data()
{
    // "~/" stands for home. `expected` is empty when nothing is selected; `branch` is the
    // top-level item that holds the selection.
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("branch");
    // clang-format off
    QTest::newRow("exact") << "~/Documents/selectPath/a/B" << "~/Documents/selectPath/a/B" << "~/Documents";
    QTest::newRow("other case") << "~/documents/SELECTPATH/A/b" << "~/Documents/selectPath/a/B" << "~/Documents";
    QTest::newRow("exact case among two") << "~/Documents/selectPath/x/dup" << "~/Documents/selectPath/x/dup"
                                          << "~/Documents";
    QTest::newRow("trailing slash") << "~/Documents/selectPath/a/" << "~/Documents/selectPath/a" << "~/Documents";
    QTest::newRow("Documents itself") << "~/Documents" << "~/Documents" << "~/Documents";
    QTest::newRow("home itself") << "~/" << "~/" << "~/";
    QTest::newRow("the root") << "/" << "/" << "/";
    QTest::newRow("missing") << "~/Documents/selectPath/a/zzz" << "" << "";
    QTest::newRow("a file") << "~/Documents/selectPath/a/file.txt" << "" << "";
    QTest::newRow("relative") << "Documents/selectPath/a" << "" << "";
    QTest::newRow("empty") << "" << "" << "";
    // clang-format on
}

void TestDirTree::selectPath()
{
    QFETCH(QString, asked);
    QFETCH(QString, expected);
    QFETCH(QString, branch);
    const QString base = makeFolders(m_documents + QStringLiteral("/selectPath"), {"a/B", "x/dup", "x/Dup"});
    QVERIFY(!base.isEmpty());
    QFile file(base + QStringLiteral("/a/file.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const auto resolve = [this](const QString& path) {
        return path.startsWith(QLatin1String("~/")) ? QDir::cleanPath(m_home + path.mid(1)) : path;
    };

    Fixture fixture;
    const QString before = fixture.tree->currentPath();
    QCOMPARE(fixture.tree->selectPath(resolve(asked)), !expected.isEmpty());
    if (expected.isEmpty()) {
        QCOMPARE(fixture.tree->currentPath(), before);
    } else {
        QCOMPARE(fixture.tree->currentPath(), resolve(expected));
        QCOMPARE(CShellTree::pathOfItem(ancestorOf(fixture.tree->currentItem())), resolve(branch));
        QVERIFY(fixture.tree->currentItem()->isExpanded());
    }
    QVERIFY(fixture.frame.shown.isEmpty());
}

void TestDirTree::barSelectsTheLastFolderAndAnswersTheList()
{
    const QString base = makeFolders(testFolder(), {"stored/deep", "other"});
    QVERIFY(!base.isEmpty());
    QVERIFY(CSettingsStore::WriteProfileString(settingskeys::kSettings, settingskeys::kLastFolder,
                                               base + QStringLiteral("/stored/deep/")));
    Fixture fixture;
    QCOMPARE(fixture.tree->currentPath(), base + QStringLiteral("/stored/deep"));
    QVERIFY(appmsg::send(fixture.bar, appmsg::kSelectFolder, base + QStringLiteral("/other/"), appmsg::kFolderShownByList));
    QCOMPARE(fixture.tree->currentPath(), base + QStringLiteral("/other"));
    QVERIFY(fixture.tree->updatesEnabled());
    // The list shows that folder already: clicking it does not show it again.
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.frame));
    QTest::mouseClick(fixture.tree->viewport(), Qt::LeftButton, {},
                      fixture.tree->visualItemRect(fixture.tree->currentItem()).center());
    QVERIFY(fixture.frame.shown.isEmpty());
    QVERIFY(CSettingsStore::RemoveProfileValue(settingskeys::kSettings, settingskeys::kLastFolder));
}

void TestDirTree::refreshFollowsOutsideChanges_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("messagePath");
    QTest::addColumn<QString>("expected");
    QTest::newRow("selection stays") << "keep" << QString() << "keep";
    QTest::newRow("the message's folder") << "keep" << QStringLiteral("created") << "created";
    QTest::newRow("selected folder deleted") << "gone/inner" << QString() << "";
}

void TestDirTree::refreshFollowsOutsideChanges()
{
    QFETCH(QString, selected);
    QFETCH(QString, messagePath);
    QFETCH(QString, expected);
    const QString base = makeFolders(testFolder(), {"keep", "gone/inner"});
    QVERIFY(!base.isEmpty());
    const auto pathOf = [&base](const QString& relative) { return QDir::cleanPath(base + u'/' + relative); };
    Fixture fixture;
    QVERIFY(fixture.tree->selectPath(pathOf(selected)));
    QCOMPARE(childNames(ancestorOf(fixture.tree->currentItem(), base)), (QStringList{"gone", "keep"}));

    QVERIFY(QDir(base).mkdir(QStringLiteral("created")));
    QVERIFY(QDir(pathOf(QStringLiteral("gone"))).removeRecursively());
    QVERIFY(
        appmsg::send(fixture.bar, appmsg::kRefreshTree, messagePath.isNull() ? QString() : pathOf(messagePath) + u'/'));
    QVERIFY(fixture.tree->updatesEnabled());
    QCOMPARE(fixture.tree->currentPath(), pathOf(expected));
    QCOMPARE(childNames(ancestorOf(fixture.tree->currentItem(), base)), (QStringList{"created", "keep"}));
    QVERIFY(fixture.frame.shown.isEmpty());
}

void TestDirTree::rename_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<bool>("renamed");
    QTest::addColumn<bool>("message");
    QTest::newRow("same name") << "Alpha" << false << false;
    QTest::newRow("same name other case") << "ALPHA" << false << false;
    QTest::newRow("existing name") << "Beta" << false << true;
    QTest::newRow("bad name") << "a/b" << false << true;
    QTest::newRow("new name") << "Gamma" << true << false;
}

void TestDirTree::rename()
{
    QFETCH(QString, newName);
    QFETCH(bool, renamed);
    QFETCH(bool, message);
    const QString base = makeFolders(testFolder(), {"Alpha/inner/deeper", "Beta"});
    QVERIFY(!base.isEmpty());
    Fixture fixture;
    CDirTree* tree = fixture.tree;
    // The folder made under Documents and its twin under home, both with their children made.
    QVERIFY(tree->selectPath(base + QStringLiteral("/Alpha/inner")));
    QTreeWidgetItem* item = tree->currentItem()->parent();
    QTreeWidgetItem* twin = tree->topLevelItem(0);
    const QString relative = base.mid(m_home.size() + 1) + QStringLiteral("/Alpha/inner");
    for (const QString& name : relative.split(u'/')) {
        tree->makeChildren(twin);
        twin = childNamed(twin, name);
        QVERIFY2(twin, qPrintable(name));
    }
    tree->makeChildren(twin);
    twin = twin->parent();
    QVERIFY(item != twin);

    QSignalSpy renames(fixture.bar, &CDirTreeBar::folderRenamed);
    QString shown;
    if (message) {
        whenOpen(&QApplication::activeModalWidget, [&shown](QWidget* modal) {
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                shown = box->text();
            modal->close();
        });
    }
    QCOMPARE(tree->renameFolder(item, newName), renamed);
    QCOMPARE(!shown.isEmpty(), message);
    const QString finalName = renamed ? newName : QStringLiteral("Alpha");
    QVERIFY(QFileInfo(base + u'/' + finalName + QStringLiteral("/inner")).isDir());
    QStringList onDisk = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    onDisk.sort();
    QStringList expectedOnDisk{finalName, "Beta"};
    expectedOnDisk.sort();
    QCOMPARE(onDisk, expectedOnDisk);
    for (QTreeWidgetItem* renamedItem : {item, twin}) {
        QCOMPARE(renamedItem->text(0), finalName);
        QCOMPARE(CShellTree::pathOfItem(renamedItem), base + u'/' + finalName);
        QCOMPARE(CShellTree::pathOfItem(renamedItem->child(0)->child(0)),
                 base + u'/' + finalName + QStringLiteral("/inner/deeper"));
    }
    QCOMPARE(renames.size(), renamed ? 1 : 0);
    if (renamed) {
        QCOMPARE(renames.at(0).at(0).toString(), base + u'/');
        QCOMPARE(renames.at(0).at(1).toString(), QStringLiteral("Alpha"));
        QCOMPARE(renames.at(0).at(2).toString(), newName);
        // Selecting the new path finds the renamed item.
        QVERIFY(tree->selectPath(base + u'/' + newName + QStringLiteral("/inner/deeper")));
        QCOMPARE(tree->currentItem()->parent()->parent(), item);
    }
}

void TestDirTree::renameInPlace_data()
{
    QTest::addColumn<int>("endKey");
    QTest::addColumn<QString>("finalName");
    QTest::newRow("Enter ends") << int(Qt::Key_Return) << "Renamed";
    QTest::newRow("Escape cancels") << int(Qt::Key_Escape) << "Original";
}

void TestDirTree::renameInPlace()
{
    QFETCH(int, endKey);
    QFETCH(QString, finalName);
    const QString base = makeFolders(testFolder(), {"Original"});
    QVERIFY(!base.isEmpty());
    Fixture fixture;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.frame));
    QVERIFY(fixture.tree->selectPath(base + QStringLiteral("/Original")));
    QTreeWidgetItem* item = fixture.tree->currentItem();
    QSignalSpy renames(fixture.bar, &CDirTreeBar::folderRenamed);
    QTest::keyClick(fixture.tree, Qt::Key_F2);
    auto* editor = fixture.tree->findChild<QLineEdit*>();
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("Original"));
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("Renamed"));
    QTest::keyClick(editor, Qt::Key(endKey));
    QTRY_COMPARE(item->text(0), finalName);
    deliverPostedEvents();
    QCOMPARE(item->text(0), finalName);
    QVERIFY(QFileInfo(base + u'/' + finalName).isDir());
    QCOMPARE(renames.size(), finalName == QLatin1String("Renamed") ? 1 : 0);
}

void TestDirTree::rightClickMenuOpensItsItem()
{
    const QString base = makeFolders(testFolder(), {"a", "b"});
    QVERIFY(!base.isEmpty());
    Fixture fixture;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.frame));
    QVERIFY(fixture.tree->selectPath(base + QStringLiteral("/a")));
    QTreeWidgetItem* b = childNamed(fixture.tree->currentItem()->parent(), QStringLiteral("b"));
    QVERIFY(b);
    const QPoint at = fixture.tree->visualItemRect(b).center();
    QTest::mousePress(fixture.tree->viewport(), Qt::RightButton, {}, at);
    QTest::mouseRelease(fixture.tree->viewport(), Qt::RightButton, {}, at);
    QCOMPARE(fixture.tree->currentPath(), base + QStringLiteral("/a"));

    QApplication::clipboard()->clear();
    QStringList entries;
    whenOpen(&QApplication::activePopupWidget, [&entries](QWidget* popup) {
        auto* menu = qobject_cast<QMenu*>(popup);
        if (!menu)
            return;
        QAction* open = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            entries << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
            if (action->text() == QLatin1String("&Open"))
                open = action;
        }
        if (open)
            open->trigger();
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, fixture.tree->viewport()->mapToGlobal(at));
    QApplication::sendEvent(fixture.tree->viewport(), &event);
    // Paste waits for files on the clipboard.
    QCOMPARE(entries, (QStringList{"&Open", "&Rename", "&Delete", "Cu&t", "&Copy", "&Paste (off)"}));
    QCOMPARE(fixture.tree->currentPath(), base + QStringLiteral("/b"));
    QCOMPARE(fixture.frame.shown, QStringList{base + QStringLiteral("/b/")});
}

void TestDirTree::deleteFolder_data()
{
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<QString>("selectedAfter");
    QTest::addColumn<QStringList>("shownAfter"); // folders the frame was asked to show
    QTest::newRow("the shown folder") << "a" << "" << QStringList{""};
    QTest::newRow("the parent of the shown folder") << "a" << "" << QStringList{""};
    QTest::newRow("another folder") << "b" << "a/inner" << QStringList{};
}

void TestDirTree::deleteFolder()
{
    QFETCH(QString, deleted);
    QFETCH(QString, selectedAfter);
    QFETCH(QStringList, shownAfter);
    const QString base = makeFolders(testFolder(), {"a/inner", "b"});
    QVERIFY(!base.isEmpty());
    const QString selected = QString::fromLatin1(QTest::currentDataTag()).startsWith("the shown") ? "/a" : "/a/inner";
    Fixture fixture;
    QVERIFY(fixture.tree->selectPath(base + selected));
    fixture.frame.shown.clear();
    QTreeWidgetItem* item = childNamed(ancestorOf(fixture.tree->currentItem(), base), deleted);
    QVERIFY(item);
    QSignalSpy deletions(fixture.bar, &CDirTreeBar::folderDeleted);
    whenModal([](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Yes)->click(); });
    QVERIFY(fixture.tree->deleteFolder(item));
    QVERIFY(!QFileInfo::exists(base + u'/' + deleted));
    QCOMPARE(deletions.size(), 1);
    QCOMPARE(deletions.at(0).at(0).toString(), base + u'/');
    const auto under = [&base](QString relative) { return relative.isEmpty() ? base : base + u'/' + relative; };
    QCOMPARE(fixture.tree->currentPath(), under(selectedAfter));
    for (QString& folder : shownAfter)
        folder = under(folder) + u'/';
    QCOMPARE(fixture.frame.shown, shownAfter);
}

void TestDirTree::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("slideShow");
    QTest::addColumn<filemime::DropEffect>("clipped"); // the folder on the clipboard for that
    const auto none = filemime::DropEffect::None;
    QTest::newRow("Shift+S") << int(Qt::Key_S) << int(Qt::ShiftModifier) << true << none;
    QTest::newRow("Ctrl+C") << int(Qt::Key_C) << int(Qt::ControlModifier) << false << filemime::DropEffect::Copy;
    QTest::newRow("Ctrl+X") << int(Qt::Key_X) << int(Qt::ControlModifier) << false << filemime::DropEffect::Move;
    QTest::newRow("Ctrl+V, no files") << int(Qt::Key_V) << int(Qt::ControlModifier) << false << none;
    QTest::newRow("Delete, declined") << int(Qt::Key_Delete) << int(Qt::NoModifier) << false << none;
}

void TestDirTree::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, slideShow);
    QFETCH(filemime::DropEffect, clipped);
    // Names that the tree's type-ahead search would jump to.
    const QString base = makeFolders(testFolder(), {"a", "c-folder", "s-folder", "v-folder", "x-folder"});
    QVERIFY(!base.isEmpty());
    Fixture fixture;
    QVERIFY(fixture.tree->selectPath(base + QStringLiteral("/a")));
    QApplication::clipboard()->setText(QStringLiteral("before"));
    QSignalSpy commands(fixture.bar, &CDirTreeBar::commandRequested);
    bool asked = false;
    if (key == Qt::Key_Delete)
        whenModal([&asked](QWidget* modal) {
            asked = true;
            qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No)->click();
        });
    QTest::keyClick(fixture.tree, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(asked, key == Qt::Key_Delete);
    QCOMPARE(commands.size(), slideShow ? 1 : 0);
    if (slideShow)
        QCOMPARE(commands.at(0).at(0).toInt(), int(cmd::kSlideShow));
    QCOMPARE(fixture.tree->currentPath(), base + QStringLiteral("/a"));
    QVERIFY(QFileInfo(base + QStringLiteral("/a")).isDir());
    const QMimeData* data = QApplication::clipboard()->mimeData();
    QCOMPARE(filemime::effectOf(data), clipped);
    if (clipped == filemime::DropEffect::None)
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
    else
        QCOMPARE(filemime::filesOf(data), QStringList{base + QStringLiteral("/a")});
}

void TestDirTree::filesArrive_data()
{
    QTest::addColumn<QString>("how");       // "cut", "copy": then pasted on b; "drop", "ctrl drop": on b
    QTest::addColumn<QString>("onto");      // the folder it goes to
    QTest::addColumn<bool>("sourceStays");
    QTest::addColumn<bool>("arrives");
    QTest::newRow("cut a, paste on b: moved") << "cut" << "b" << false << true;
    QTest::newRow("copy a, paste on b: copied") << "copy" << "b" << true << true;
    QTest::newRow("drop a on b: moved") << "drop" << "b" << false << true;
    QTest::newRow("drop a on b with Ctrl: copied") << "ctrl drop" << "b" << true << true;
    QTest::newRow("drop a on itself: nothing") << "drop" << "a" << true << false;
    QTest::newRow("drop a on its own child: nothing") << "drop" << "a/inner" << true << false;
}

void TestDirTree::filesArrive()
{
    QFETCH(QString, how);
    QFETCH(QString, onto);
    QFETCH(bool, sourceStays);
    QFETCH(bool, arrives);
    const QString base = makeFolders(testFolder(), {"a/inner", "b"});
    QVERIFY(!base.isEmpty());
    Fixture fixture;
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.frame));
    QVERIFY(fixture.tree->selectPath(base + u'/' + onto));
    QTreeWidgetItem* target = fixture.tree->currentItem();
    QSignalSpy changed(fixture.bar, &CDirTreeBar::foldersChanged);
    if (how.endsWith("drop")) {
        const QPoint at = fixture.tree->visualItemRect(target).center();
        const auto modifiers = how == "ctrl drop" ? Qt::ControlModifier : Qt::NoModifier;
        QCOMPARE(dropFiles(fixture.tree->viewport(), at, {base + "/a"}, modifiers), arrives);
    } else {
        QVERIFY(fixture.tree->selectPath(base + "/a"));
        QVERIFY(fixture.tree->commands().execute(how == "cut" ? cmd::kTreeCut : cmd::kTreeCopy));
        QVERIFY(fixture.tree->selectPath(base + u'/' + onto));
        QVERIFY(fixture.tree->commands().execute(cmd::kTreePaste));
    }
    if (arrives) {
        QVERIFY(changed.wait(20000));
        QVERIFY(changed.at(0).at(0).toStringList().contains(base + u'/' + onto + u'/'));
    }
    QCOMPARE(QFileInfo(base + u'/' + onto + "/a/inner").isDir(), arrives);
    QCOMPARE(QFileInfo(base + "/a/inner").isDir(), sourceStays);
    // The tree was built again: the moved or copied folder shows under its new parent.
    if (arrives)
        QVERIFY(fixture.tree->selectPath(base + u'/' + onto + "/a"));
}

QTEST_MAIN(TestDirTree)
#include "tst_dirtree.moc"
