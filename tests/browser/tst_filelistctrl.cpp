#include <array>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "browser/cfilelistctrl.h"
#include "browser/thumbnailcell.h"
#include "core/messages.h"
#include "postedevents.h"
#include "settings/cappsettings.h"
#include "settings/csettingsstore.h"
#include "ui/codheaderctrl.h"

using storedstate::ColumnStates;
Q_DECLARE_METATYPE(storedstate::ColumnStates)

namespace {

constexpr int kWait = 20000;

void writeFile(const QString& path, qint64 size)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(QByteArray(size, 'x')) == size);
}

void writePicture(const QString& path, const QColor& colour)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(colour);
    QVERIFY(picture.save(path));
}

QStringList rowNames(const CFileListCtrl& list)
{
    QStringList names;
    for (int row = 0; row < list.rows().entryCount(); ++row)
        names << list.rows().entryAt(row)->name;
    return names;
}

FolderListing listingOf(const QStringList& names)
{
    FolderListing listing;
    listing.ok = true;
    for (const QString& name : names) {
        FileItem item;
        item.name = name;
        item.isFolder = !name.contains(u'.');
        item.size = quint64(name.size());
        listing.rows.push_back(item);
    }
    return listing;
}

// A list showing a folder read by its own workers.
void showFolder(CFileListCtrl& list, const QString& folder)
{
    QSignalSpy over(&list, &CFileListCtrl::populationOver);
    list.SetFolder(folder, true);
    QVERIFY(over.wait(kWait));
}

QAction* actionOf(const QMenu* menu, int id)
{
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == id)
            return action;
    }
    return nullptr;
}

// The menu a right click on the row of `name` opens, once the list has read the file; the
// caller owns it (it is not shown any more).
QMenu* rowMenuOf(CFileListCtrl& list, const QString& name)
{
    QMenu* menu = nullptr;
    const QMetaObject::Connection shown =
        QObject::connect(&list, &CFileListCtrl::menuShown, [&menu](QMenu* opened) { menu = opened; });
    list.showRowMenu(list.rows().findByName(name), QPoint(0, 0));
    const bool opened = QTest::qWaitFor([&menu] { return menu != nullptr; }, kWait);
    QObject::disconnect(shown);
    if (!opened)
        return nullptr;
    menu->setAttribute(Qt::WA_DeleteOnClose, false);
    menu->hide();
    return menu;
}

} // namespace

class TestFileListCtrl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void columnPersistence_data();
    void columnPersistence();
    void sortCommandsAndHeader();
    void labelShortening_data();
    void labelShortening();
    void thumbnailCell_data();
    void thumbnailCell();
    void thumbnailsModeDrawsRows();
    void populationAndHeaderScan();
    void refreshAfterOutsideChanges();
    void refreshInThumbnailsModeDecodesNothingHere_data();
    void refreshInThumbnailsModeDecodesNothingHere();
    void autoRefreshFollowsTheFolder();
    void folderChangeWhileReading();
    void thumbnailsReusedUntilFolderChanges();
    void menus();
    void keysAndOpening();
    void newFolderAndSelection();
    void optionsWrittenBack();
};

void TestFileListCtrl::init()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, "Zelt", "Zelt Pixoria").clear();
    CSettingsStore::WriteProfileInt(settingskeys::kDontScanHeaders, 0);
}

void TestFileListCtrl::columnPersistence_data()
{
    QTest::addColumn<QStringList>("stored"); // "Column_0" ...; shorter lists store fewer
    QTest::addColumn<ColumnStates>("expected");
    // At a width of 700 the defaults are 233, 70, 140, 140, 100, 140.
    QTest::newRow("nothing stored")
        << QStringList{} << ColumnStates{{{233, true}, {70, true}, {140, true}, {140, true}, {100, true}, {140, true}}};
    QTest::newRow("every value, Type hidden")
        << QStringList{"200,1", "50,1", "80,0", "120,1", "90,1", "300,1"}
        << ColumnStates{{{200, true}, {50, true}, {140, false}, {120, true}, {90, true}, {300, true}}};
    QTest::newRow("0,0 at index 3 ends the reading")
        << QStringList{"200,1", "50,1", "80,1", "0,0", "90,0", "300,1"}
        << ColumnStates{{{200, true}, {50, true}, {80, true}, {140, true}, {100, true}, {140, true}}};
}

void TestFileListCtrl::columnPersistence()
{
    QFETCH(QStringList, stored);
    QFETCH(ColumnStates, expected);
    for (int index = 0; index < stored.size(); ++index)
        CSettingsStore::WriteProfileString("Browser", QStringLiteral("Column_%1").arg(index), stored[index]);
    ColumnStates written;
    {
        CFileListCtrl list;
        list.resize(700, 400);
        list.createColumns();
        QCOMPARE(list.columnStates(), expected);
        QCOMPARE(list.reportView()->isColumnHidden(2), !expected[2].shown);
        // Hiding keeps the width for the next showing; the following columns move left.
        QVERIFY(list.commands().execute(cmd::kColumnDate));
        QVERIFY(!list.isColumnShown(3));
        QCOMPARE(list.columnStates()[3], (storedstate::ColumnState{expected[3].width, false}));
        QVERIFY(list.commands().isCheckable(cmd::kColumnDate) && !list.commands().isChecked(cmd::kColumnDate));
        list.header()->resizeSection(1, 77);
        written = list.columnStates();
        storedstate::writeColumns(written);
    }
    // A hidden column's width is not read back: it comes back at its default.
    const std::array<int, 6> defaults{233, 70, 140, 140, 100, 140};
    ColumnStates readBack = written;
    for (size_t key = 1; key < readBack.size(); ++key) {
        if (!readBack[key].shown)
            readBack[key].width = defaults[key];
    }
    CFileListCtrl again;
    again.resize(700, 400);
    again.createColumns();
    QCOMPARE(again.columnStates(), readBack);
    QCOMPARE(again.header()->sectionSize(1), 77);
    QVERIFY(again.commands().execute(cmd::kColumnDate));
    QCOMPARE(again.columnStates()[3], (storedstate::ColumnState{defaults[3], true}));
    QCOMPARE(again.header()->sectionSize(3), defaults[3]);
}

void TestFileListCtrl::sortCommandsAndHeader()
{
    CFileListCtrl list;
    list.resize(700, 400);
    list.createColumns();
    list.rows().setFolder("/nowhere/");
    list.rows().resetRows(listingOf({"zz", "aa", "bbb.gif", "a.jpg", "cccc.png"}));
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));

    // Folders tie on size and keep their order.
    QVERIFY(list.commands().execute(cmd::kSortBySize));
    QCOMPARE(rowNames(list), (QStringList{"zz", "aa", "a.jpg", "bbb.gif", "cccc.png"}));
    QCOMPARE(list.header()->sortColumn(), 1);
    QVERIFY(list.commands().isChecked(cmd::kSortBySize) && list.commands().isChecked(cmd::kSortForward));

    // A click on the sort column turns the direction round.
    const QPoint sizeHeader(list.header()->sectionViewportPosition(1) + 10, list.header()->height() / 2);
    QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {}, sizeHeader);
    QCOMPARE(rowNames(list), (QStringList{"zz", "aa", "cccc.png", "bbb.gif", "a.jpg"}));
    QVERIFY(!list.header()->sortAscending());
    QVERIFY(list.commands().isChecked(cmd::kSortReverse));
    // Another column keeps it.
    const QPoint nameHeader(list.header()->sectionViewportPosition(0) + 10, list.header()->height() / 2);
    QTest::mouseClick(list.header()->viewport(), Qt::LeftButton, {}, nameHeader);
    QCOMPARE(rowNames(list), (QStringList{"zz", "aa", "cccc.png", "bbb.gif", "a.jpg"}));
    QCOMPARE(list.header()->sortColumn(), 0);

    // By Extension shows the arrow on Name.
    QVERIFY(list.commands().execute(cmd::kSortForward));
    QVERIFY(list.commands().execute(cmd::kSortByExtension));
    QCOMPARE(rowNames(list), (QStringList{"aa", "zz", "bbb.gif", "a.jpg", "cccc.png"}));
    QCOMPARE(list.header()->sortColumn(), 0);
    QVERIFY(list.header()->sortAscending());
}

void TestFileListCtrl::labelShortening_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("shortened");
    const QFontMetrics metrics(QApplication::font());
    QTest::newRow("short name") << "a.jpg" << 96 << false;
    QTest::newRow("long name") << "A very long picture name that does not fit.png" << 96 << true;
    const QString exact = QStringLiteral("IMG_0001.JPG");
    QTest::newRow("exactly as wide as the cell") << exact << metrics.horizontalAdvance(' ' + exact + ' ') << true;
    QTest::newRow("one pixel narrower than the cell")
        << exact << metrics.horizontalAdvance(' ' + exact + ' ') + 1 << false;
}

void TestFileListCtrl::labelShortening()
{
    QFETCH(QString, name);
    QFETCH(int, width);
    QFETCH(bool, shortened);
    const QFontMetrics metrics(QApplication::font());
    const QString full = ' ' + name + ' ';
    const QString label = thumbnailcell::label(name, metrics, width);
    if (!shortened) {
        QCOMPARE(label, full);
        return;
    }
    QVERIFY(label.endsWith("..."));
    // Cut where the text last fitted, then three characters more.
    const QString kept = label.chopped(3);
    QVERIFY(full.startsWith(kept));
    const QString fitted = full.left(kept.size() + 3);
    QVERIFY(metrics.horizontalAdvance(fitted) <= width);
    QVERIFY(fitted.size() == full.size() || metrics.horizontalAdvance(full.left(fitted.size() + 1)) > width);
}

void TestFileListCtrl::thumbnailCell_data()
{
    QTest::addColumn<QColor>("typeColour");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QColor>("fill");
    QTest::newRow("jpeg colour") << QColor(237, 235, 195) << false << QColor(237, 235, 195);
    QTest::newRow("no colour of its type") << QColor() << false << QColor(237, 237, 202);
    // Light yellow, inverted.
    QTest::newRow("selected") << QColor(237, 235, 195) << true << QColor(0, 0, 127);
}

void TestFileListCtrl::thumbnailCell()
{
    QFETCH(QColor, typeColour);
    QFETCH(bool, selected);
    QFETCH(QColor, fill);
    const QColor face(212, 208, 200);
    QImage image(120, 130, QImage::Format_RGB32);
    image.fill(face);
    QPainter painter(&image);
    painter.setFont(QApplication::font());
    const thumbnailcell::Cells cells = thumbnailcell::layout(
        QRect(QPoint(0, 0), thumbnailcell::itemSize(painter.fontMetrics())), painter.fontMetrics());
    QRect pictureCell;
    thumbnailcell::Row row;
    row.name = QStringLiteral("x");
    row.labelColour = typeColour;
    row.selected = selected;
    row.drawPicture = [&](QPainter* p, const QRect& cell) {
        pictureCell = cell;
        p->fillRect(QRect(thumbnailcell::centred(cell, thumbnailcell::kThumbnailSize), QSize(76, 76)), Qt::red);
    };
    thumbnailcell::draw(&painter, cells, row);
    painter.end();

    QCOMPARE(pictureCell, cells.icon);
    const QPoint picture = thumbnailcell::centred(cells.icon, thumbnailcell::kThumbnailSize);
    QCOMPARE(picture, QPoint(cells.icon.left() + (cells.icon.width() - 76) / 2,
                             cells.icon.top() + (cells.icon.height() - 76) / 2));
    QCOMPARE(image.pixelColor(picture), QColor(Qt::red));
    const QRect label(cells.icon.left(), cells.label.top(), cells.icon.width(), cells.label.height());
    const int right = label.left() + label.width() - 1;
    const int bottom = label.top() + label.height() - 1;
    QCOMPARE(image.pixelColor(label.left() + 4, label.top()), QColor(128, 128, 128));
    QCOMPARE(image.pixelColor(label.left(), label.top() + 4), QColor(128, 128, 128));
    QCOMPARE(image.pixelColor(right, label.top() + 4), QColor(Qt::white));
    QCOMPARE(image.pixelColor(label.left() + 4, bottom), QColor(Qt::white));
    QCOMPARE(image.pixelColor(label.left() + 3, label.top() + 3), fill);
    QCOMPARE(image.pixelColor(right - 3, bottom - 3), fill);
    QCOMPARE(image.pixelColor(label.left() + 4, bottom + 2), face);
}

void TestFileListCtrl::thumbnailsModeDrawsRows()
{
    CFileListCtrl list;
    list.resize(600, 400);
    list.rows().setFolder("/nowhere/");
    list.rows().resetRows(listingOf({"Sub", "sunset at the seaside in the evening.jpg"}));
    list.setViewMode(CFileListCtrl::kThumbnails);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QVERIFY(list.commands().isChecked(cmd::kViewThumbnails));
    QListView* view = list.listView();
    const QImage shot = view->viewport()->grab().toImage();
    const QRect item = view->visualRect(list.rows().index(1, 0));
    QCOMPARE(item.size(), thumbnailcell::itemSize(view->fontMetrics()));
    const thumbnailcell::Cells cells = thumbnailcell::layout(item, view->fontMetrics());
    QCOMPARE(shot.pixelColor(cells.icon.left() + 3, cells.label.top()), QColor(128, 128, 128));
    QCOMPARE(shot.pixelColor(cells.icon.left() + 2, cells.label.top() + 2), QColor(237, 235, 195));
    // The name is too long for the cell: it ends in "...", drawn in the label's right half.
    const QString label = thumbnailcell::label(list.rows().entryAt(1)->name, view->fontMetrics(), cells.icon.width());
    QVERIFY(label.endsWith("..."));
    QCOMPARE(shot.pixelColor(view->viewport()->width() - 2, 2), list.palette().color(QPalette::Button));

    // Large icons: the view draws the rows again, on the window colour.
    list.setViewMode(CFileListCtrl::kLargeIcons);
    QTRY_VERIFY(view->visualRect(list.rows().index(1, 0)).height() < thumbnailcell::kThumbnailSize);
    QCOMPARE(view->viewport()->grab().toImage().pixelColor(view->viewport()->width() - 2, 2),
             list.palette().color(QPalette::Base));

    // Other modes colour the rows by type and leave the rest to the view.
    list.setViewMode(CFileListCtrl::kDetails);
    QVERIFY(list.commands().isChecked(cmd::kViewDetails) && !list.commands().isChecked(cmd::kViewThumbnails));
    QCOMPARE(list.currentView(), static_cast<QAbstractItemView*>(list.reportView()));
    // The view lays its rows out once the event loop runs.
    const auto typeCellColour = [&list] {
        const QRect row = list.reportView()->visualRect(list.rows().index(1, CFileListModel::kType));
        return list.reportView()->viewport()->grab().toImage().pixelColor(row.right() - 2, row.center().y());
    };
    QTRY_COMPARE(typeCellColour(), QColor(237, 235, 195));
}

void TestFileListCtrl::populationAndHeaderScan()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("Trips"));
    writePicture(dir.filePath("red.bmp"), Qt::red);
    writeFile(dir.filePath("notes.txt"), 10);
    writeFile(dir.filePath(".hidden.bmp"), 10);
    QFile descriptions(dir.filePath("descript.ion"));
    QVERIFY(descriptions.open(QIODevice::WriteOnly));
    descriptions.write("\"red.bmp\" A red card\r\n");
    descriptions.close();

    CAppSettings settings;
    settings.LoadSettings();
    settings.ShowHidden = 0;
    settings.DontScanHeaders = 0;
    CFileListCtrl list;
    list.applyOptions(settings);
    list.sortBy(fileitem::kByName);
    QSignalSpy scanned(&list, &CFileListCtrl::headerScanFinished);
    showFolder(list, dir.path());
    QCOMPARE(rowNames(list), (QStringList{"..", "Trips", "notes.txt", "red.bmp"}));
    QCOMPARE(list.rows().entryAt(0)->typeText, QStringLiteral("Parent folder"));
    QCOMPARE(list.focusedIndex(true), 0);
    QVERIFY(scanned.wait(kWait));
    const int red = list.rows().findByName("red.bmp");
    QCOMPARE(list.rows().itemText(red, CFileListModel::kImageProperties), QStringLiteral("40x30x24bit BMP"));
    QCOMPARE(list.rows().itemText(red, CFileListModel::kDescription), QStringLiteral("A red card"));
    QCOMPARE(list.rows().imageCount(), 1);
    QCOMPARE(list.rows().totalSize(), quint64(10 + QFileInfo(dir.filePath("red.bmp")).size()));

    // Show Hidden Files reads the folder again; the description file shows with the hidden ones.
    QSignalSpy over(&list, &CFileListCtrl::populationOver);
    QVERIFY(list.commands().execute(cmd::kShowHiddenFiles));
    QVERIFY(over.wait(kWait));
    QCOMPARE(rowNames(list), (QStringList{"..", "Trips", ".hidden.bmp", "descript.ion", "notes.txt", "red.bmp"}));
    QVERIFY(list.commands().execute(cmd::kShowNonImages));
    QVERIFY(over.wait(kWait));
    QCOMPARE(rowNames(list), (QStringList{"..", "Trips", ".hidden.bmp", "red.bmp"}));
}

void TestFileListCtrl::refreshAfterOutsideChanges()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString& name : QStringList{"a.txt", "b.txt", "c.txt", "d.txt"})
        writeFile(dir.filePath(name), 100);
    CFileListCtrl list;
    list.sortBy(fileitem::kByName);
    showFolder(list, dir.path());
    QCOMPARE(list.rows().totalSize(), quint64(400));
    list.selectRow(list.rows().findByName("d.txt"));
    const int focused = list.focusedIndex(false);

    writeFile(dir.filePath("b.txt"), 250);
    QVERIFY(QFile::remove(dir.filePath("d.txt")));
    writeFile(dir.filePath("e.txt"), 7);
    QVERIFY(QDir(dir.path()).mkdir("New"));
    QSignalSpy refreshed(&list, &CFileListCtrl::refreshed);
    appmsg::send(&list, appmsg::kRefreshFolder);
    QVERIFY(refreshed.wait(kWait));

    QCOMPARE(rowNames(list), (QStringList{"..", "New", "a.txt", "b.txt", "c.txt", "e.txt"}));
    QCOMPARE(list.rows().fileCount(), 4);
    QCOMPARE(list.rows().folderCount(), 2);
    QCOMPARE(list.rows().totalSize(), quint64(100 + 250 + 100 + 7));
    // The removed row's number keeps the focus, whatever row holds it now (the new folder moved
    // the files down one).
    QCOMPARE(list.focusedIndex(true), focused);
    QCOMPARE(list.rows().entryAt(focused)->name, QStringLiteral("c.txt"));

    // The last row deleted: the focus goes to the new last row.
    list.selectRow(list.rows().findByName("e.txt"));
    QVERIFY(QFile::remove(dir.filePath("e.txt")));
    list.refresh();
    QVERIFY(refreshed.wait(kWait));
    QCOMPARE(list.focusedIndex(true), list.rows().entryCount() - 1);
    QCOMPARE(list.rows().totalSize(), quint64(450));
}

void TestFileListCtrl::refreshInThumbnailsModeDecodesNothingHere_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("content"); // "picture", "broken" (a picture's first bytes) or "text"
    QTest::addColumn<bool>("stays");
    QTest::addColumn<bool>("thumbnail");
    QTest::newRow("picture: thumbnail from the worker") << "new.png" << "picture" << true << true;
    QTest::newRow("broken picture: leaves again") << "bad.png" << "broken" << false << false;
    QTest::newRow("other file: stays, no thumbnail") << "notes.txt" << "text" << true << false;
}

void TestFileListCtrl::refreshInThumbnailsModeDecodesNothingHere()
{
    QFETCH(QString, name);
    QFETCH(QString, content);
    QFETCH(bool, stays);
    QFETCH(bool, thumbnail);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writePicture(dir.filePath("old.png"), Qt::red);
    CFileListCtrl list;
    list.setViewMode(CFileListCtrl::kThumbnails);
    QSignalSpy finished(&list, &CFileListCtrl::thumbnailsFinished);
    showFolder(list, dir.path());
    QVERIFY(finished.count() == 1 || finished.wait(kWait));

    const QString path = dir.filePath(name);
    if (content == QLatin1String("text")) {
        writeFile(path, 20);
    } else {
        writePicture(path, Qt::green);
        if (content == QLatin1String("broken"))
            QVERIFY(QFile::resize(path, 60));
    }
    QSignalSpy refreshed(&list, &CFileListCtrl::refreshed);
    list.refresh();
    QVERIFY(refreshed.wait(kWait));
    // Listed at once, its picture not made on this thread.
    const int row = list.rows().findByName(name);
    QVERIFY(row >= 0);
    QCOMPARE(list.rows().entryAt(row)->thumbnailIndex, -1);
    if (content != QLatin1String("text"))
        QVERIFY(finished.wait(kWait));
    deliverPostedEvents();
    const int after = list.rows().findByName(name);
    QCOMPARE(after >= 0, stays);
    if (stays)
        QCOMPARE(list.rows().entryAt(after)->thumbnailIndex >= 0, thumbnail);
    // The earlier thumbnail was kept, not made again.
    QCOMPARE(list.thumbnails().count(), thumbnail ? 2 : 1);
}

void TestFileListCtrl::autoRefreshFollowsTheFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFile(dir.filePath("a.txt"), 1);
    CFileListCtrl list;
    QVERIFY(list.commands().isChecked(cmd::kAutoRefresh));
    showFolder(list, dir.path());
    QSignalSpy refreshed(&list, &CFileListCtrl::refreshed);
    // A burst of changes is folded in by one refresh.
    for (const QString& name : QStringList{"b.txt", "c.txt", "d.txt"})
        writeFile(dir.filePath(name), 2);
    QVERIFY(refreshed.wait(kWait));
    QCOMPARE(list.rows().fileCount(), 4);
    QCOMPARE(list.rows().totalSize(), quint64(7));

    // Switched off, the folder is left alone.
    QVERIFY(list.commands().execute(cmd::kAutoRefresh));
    refreshed.clear();
    writeFile(dir.filePath("e.txt"), 2);
    QVERIFY(!refreshed.wait(1000));
    QCOMPARE(list.rows().fileCount(), 4);
}

void TestFileListCtrl::folderChangeWhileReading()
{
    QTemporaryDir big;
    QTemporaryDir small;
    QVERIFY(big.isValid() && small.isValid());
    for (int i = 0; i < 3000; ++i)
        writeFile(big.filePath(QStringLiteral("f%1.jpg").arg(i)), 1);
    writeFile(small.filePath("only.txt"), 3);

    CFileListCtrl list;
    QSignalSpy over(&list, &CFileListCtrl::populationOver);
    for (int round = 0; round < 5; ++round) {
        list.SetFolder(big.path(), true);
        list.SetFolder(small.path(), true);
    }
    QVERIFY(over.wait(kWait));
    deliverPostedEvents();
    QCOMPARE(over.count(), 1);
    QCOMPARE(rowNames(list), (QStringList{"..", "only.txt"}));
    QCOMPARE(list.rows().totalSize(), quint64(3));
}

void TestFileListCtrl::thumbnailsReusedUntilFolderChanges()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writePicture(dir.filePath("one.png"), Qt::red);
    writePicture(dir.filePath("two.bmp"), Qt::green);
    writeFile(dir.filePath("broken.jpg"), 20);
    writeFile(dir.filePath("text.txt"), 20);

    CFileListCtrl list;
    list.setViewMode(CFileListCtrl::kThumbnails);
    QSignalSpy finished(&list, &CFileListCtrl::thumbnailsFinished);
    showFolder(list, dir.path());
    QVERIFY(finished.count() == 1 || finished.wait(kWait));
    QCOMPARE(list.thumbnails().count(), 2);
    QVERIFY(list.thumbnailsMade());
    const int one = list.rows().findByName("one.png");
    QVERIFY(list.rows().entryAt(one)->thumbnailIndex >= 0);
    QCOMPARE(list.rows().entryAt(list.rows().findByName("broken.jpg"))->thumbnailIndex, -1);

    // Leaving and coming back keeps them and starts nothing.
    list.setViewMode(CFileListCtrl::kDetails);
    list.setViewMode(CFileListCtrl::kThumbnails);
    deliverPostedEvents();
    QCOMPARE(finished.count(), 1);
    QCOMPARE(list.thumbnails().count(), 2);
    QVERIFY(list.thumbnailsMade());

    // A file added in thumbnails mode gets its thumbnail from the worker; one that does not load
    // leaves the list again.
    QSignalSpy added(&list, &CFileListCtrl::fileAdded);
    writePicture(dir.filePath("three.png"), Qt::blue);
    list.addFile("three.png");
    QVERIFY(added.wait(kWait));
    QCOMPARE(added.last().at(0).toString(), QStringLiteral("three.png"));
    const int three = added.last().at(1).toInt();
    QVERIFY(three >= 0);
    QVERIFY(finished.wait(kWait));
    QCOMPARE(list.rows().entryAt(three)->thumbnailIndex, 2);
    QFile truncated(dir.filePath("three.png"));
    QVERIFY(truncated.open(QIODevice::ReadOnly));
    const QByteArray head = truncated.read(60);
    truncated.close();
    QFile bad(dir.filePath("bad.png"));
    QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write(head) == head.size());
    bad.close();
    list.addFile("bad.png");
    QVERIFY(added.wait(kWait));
    QVERIFY(added.last().at(1).toInt() >= 0);
    // The worker reports the failure before the end of its pass.
    QVERIFY(finished.wait(kWait));
    QCOMPARE(list.rows().findByName("bad.png"), -1);

    // A folder change makes them again.
    const int passes = finished.count();
    showFolder(list, dir.path());
    QVERIFY(finished.count() > passes || finished.wait(kWait));
    QCOMPARE(list.thumbnails().count(), 3);
}

void TestFileListCtrl::menus()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writePicture(dir.filePath("pic.png"), Qt::red);
    writeFile(dir.filePath("notes.txt"), 5);
    QVERIFY(QDir(dir.path()).mkdir("Sub"));
    CFileListCtrl list;
    showFolder(list, dir.path());
    list.setViewMode(CFileListCtrl::kList);
    list.sortBy(fileitem::kByExtension);

    const std::unique_ptr<QMenu> background(list.backgroundMenu());
    const QList<QAction*> top = background->actions();
    const QList<QAction*> modes = top.at(0)->menu()->actions();
    QCOMPARE(modes.size(), 5);
    for (int mode = 0; mode < 5; ++mode)
        QCOMPARE(modes.at(mode)->isChecked(), mode == CFileListCtrl::kList);
    const QList<QAction*> arrange = top.at(1)->menu()->actions();
    QVERIFY(arrange.at(0)->isChecked()); // key 6 at position 0
    for (int key = 0; key < 6; ++key)
        QVERIFY(!arrange.at(key + 1)->isChecked());
    QVERIFY(actionOf(top.at(1)->menu(), cmd::kSortForward)->isChecked());
    QVERIFY(!actionOf(background.get(), cmd::kPaste)->isEnabled());
    QVERIFY(actionOf(background.get(), cmd::kRefresh)->isEnabled());

    list.selectRow(list.rows().findByName("pic.png"));
    const std::unique_ptr<QMenu> picture(rowMenuOf(list, "pic.png"));
    QCOMPARE(picture->defaultAction()->data().toInt(), int(cmd::kListView));
    QVERIFY(!picture->defaultAction()->isEnabled()); // opening a picture is the browser view's
    QVERIFY(!actionOf(picture.get(), cmd::kListProperties)->isEnabled());
    QVERIFY(!actionOf(picture.get(), cmd::kListEncryptDecrypt)->isEnabled());

    // A command the next link handles lights up and goes there.
    CCommandTarget frame;
    int properties = 0;
    frame.on(cmd::kProperties, [&] { ++properties; });
    list.commands().setNext(&frame);
    list.selectRow(list.rows().findByName("notes.txt"));
    const std::unique_ptr<QMenu> text(rowMenuOf(list, "notes.txt"));
    QCOMPARE(text->defaultAction()->data().toInt(), int(cmd::kListOpen));
    QAction* forwarded = actionOf(text.get(), cmd::kListProperties);
    QVERIFY(forwarded->isEnabled());
    forwarded->trigger();
    QCOMPARE(properties, 1);

    list.selectRow(list.rows().findByName("Sub"));
    const std::unique_ptr<QMenu> folder(rowMenuOf(list, "Sub"));
    QVERIFY(folder->defaultAction()->isEnabled());
    QVERIFY(!actionOf(folder.get(), cmd::kListEncryptDecrypt)->isEnabled());

    const std::unique_ptr<QMenu> columns(list.columnsMenu());
    QCOMPARE(columns->actions().size(), 5);
    list.showColumn(fileitem::kByType, false);
    const std::unique_ptr<QMenu> fewer(list.columnsMenu());
    QVERIFY(fewer->actions().at(0)->isChecked() && !fewer->actions().at(1)->isChecked());
}

void TestFileListCtrl::keysAndOpening()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath("Sub/Deeper"));
    CFileListCtrl list;
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    showFolder(list, dir.filePath("Sub"));
    QCOMPARE(rowNames(list), (QStringList{"..", "Deeper"}));

    QSignalSpy over(&list, &CFileListCtrl::populationOver);
    list.selectRow(1);
    QTest::keyClick(list.currentView(), Qt::Key_Return);
    QVERIFY(over.wait(kWait));
    QCOMPARE(list.currentFolder(), dir.filePath("Sub/Deeper/"));
    QTest::keyClick(list.currentView(), Qt::Key_Backspace);
    QVERIFY(over.wait(kWait));
    QCOMPARE(list.currentFolder(), dir.filePath("Sub/"));
    QVERIFY(list.openRow(0));
    QVERIFY(over.wait(kWait));
    QCOMPARE(list.currentFolder(), dir.path() + '/');

    // From the viewer: kind 2 names a file, whose folder is shown.
    appmsg::send(&list, appmsg::kSelectFolder, dir.filePath("Sub/picture.jpg"), appmsg::kFolderOfFile);
    QVERIFY(over.wait(kWait));
    QCOMPARE(list.currentFolder(), dir.filePath("Sub/"));
}

void TestFileListCtrl::newFolderAndSelection()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir("New Folder"));
    writeFile(dir.filePath("b.txt"), 3000);
    CFileListCtrl list;
    CCommandTarget view;
    int renames = 0;
    view.on(cmd::kRename, [&] { ++renames; });
    list.commands().setNext(&view);
    list.sortBy(fileitem::kByName);
    showFolder(list, dir.path());

    const int row = list.createFolder("New Folder");
    QCOMPARE(row, 2);
    QCOMPARE(list.rows().entryAt(row)->name, QStringLiteral("New Folder(1)"));
    QCOMPARE(list.focusedIndex(true), row);
    QCOMPARE(renames, 1);

    list.selectionModel()->select(list.rows().index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list.selectionModel()->select(list.rows().index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QStringList names{"stale"};
    QCOMPARE(list.selectedNames(names), 2);
    QCOMPARE(names, (QStringList{"New Folder(1)", "b.txt"}));
    QCOMPARE(list.focusedIndex(false), 0);

    list.selectRow(3);
    QString summary;
    // Read in the background the first time it is asked for.
    QSignalSpy summaryRead(&list, &CFileListCtrl::summaryChanged);
    QVERIFY(!list.fileSummary(&summary, nullptr));
    QVERIFY(summaryRead.wait(kWait));
    QVERIFY(list.fileSummary(&summary, nullptr));
    QVERIFY(summary.startsWith("2KB,  "));
    list.selectionModel()->clearSelection();
    QCOMPARE(list.focusedIndex(true), -1);
    QVERIFY(!list.fileSummary(&summary, nullptr));
}

void TestFileListCtrl::optionsWrittenBack()
{
    CAppSettings settings;
    settings.LoadSettings();
    settings.ShowNonImages = 1;
    settings.ShowHidden = 0;
    settings.AutoRefresh = 1;
    settings.SaveSettings();
    {
        CFileListCtrl list;
        list.applyOptions(settings);
        QVERIFY(list.commands().execute(cmd::kShowNonImages));
        QVERIFY(list.commands().execute(cmd::kShowHiddenFiles));
        QVERIFY(list.commands().execute(cmd::kAutoRefresh));
        QVERIFY(!list.commands().isChecked(cmd::kAutoRefresh));
        // Another program changes a field meanwhile; it survives.
        CSettingsStore::WriteProfileInt(settingskeys::kFullRow, 0);
        // The program ends.
        list.saveOptions(settings);
    }
    QCOMPARE(settings.ShowNonImages, 0);
    CAppSettings after;
    after.LoadSettings();
    QCOMPARE(after.ShowNonImages, 0);
    QCOMPARE(after.ShowHidden, 1);
    QCOMPARE(after.AutoRefresh, 0);
    QCOMPARE(after.FullRow, 0);
}

QTEST_MAIN(TestFileListCtrl)
#include "tst_filelistctrl.moc"
