#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "browser/cfilesearchdlg.h"
#include "settings/settingskeys.h"

namespace {

// Writes a file of `size` bytes (sparse: the sizes are what counts).
void makeFile(const QString& path, qint64 size = 0)
{
    QVERIFY(QDir().mkpath(path.left(path.lastIndexOf(u'/'))));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
}

// The index of the first type after "All Images" whose pattern list holds `pattern`; -1 when none does.
int typeIndexWith(const QComboBox* types, const QString& pattern)
{
    for (int index = 1; index < types->count(); ++index) {
        if (types->itemData(index).toString().split(u';').contains(pattern))
            return index;
    }
    return -1;
}

// Runs one search through the dialog's own controls; false when it did not end.
bool search(CFileSearchDlg& dialog, const QString& name, const QString& lookIn, int typeIndex = 0)
{
    dialog.findChild<QLineEdit*>(QStringLiteral("nameEdit"))->setText(name);
    dialog.findChild<QLineEdit*>(QStringLiteral("lookInEdit"))->setText(lookIn);
    dialog.findChild<QComboBox*>()->setCurrentIndex(typeIndex);
    QSignalSpy finished(&dialog.finder(), &CFileFinder::finished);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("searchButton")), Qt::LeftButton);
    return finished.count() > 0 || finished.wait(20000);
}

// Column `column` of every row, sorted.
QStringList columnTexts(const CFileSearchDlg& dialog, int column)
{
    const auto* results = dialog.findChild<QTreeWidget*>();
    QStringList texts;
    for (int row = 0; row < results->topLevelItemCount(); ++row)
        texts << results->topLevelItem(row)->text(column);
    texts.sort();
    return texts;
}

} // namespace

class TestFileSearchDlg : public QObject {
    Q_OBJECT
private slots:
    void options_data();
    void options();
    void searches_data();
    void searches();
    void sizes_data();
    void sizes();
    void stopping_data();
    void stopping();
};

void TestFileSearchDlg::options_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typePattern");
    QTest::addColumn<QString>("lookIn");
    QTest::addColumn<QString>("folder"); // empty: the default folder
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QStringList>("extensions");
    QTest::newRow("name without dot") << "photo" << "*" << "/tmp" << "/tmp/" << "photo*.*" << QStringList();
    QTest::newRow("name with dot") << "a.jpg" << "*" << "/tmp//" << "/tmp/" << "a.jpg" << QStringList();
    QTest::newRow("type patterns") << "" << "*.jpg;*.JPEG" << "  /tmp" << "/tmp/" << "*.*"
                                   << QStringList{"jpg", "jpeg"};
    QTest::newRow("one type pattern") << "" << "*.pcx" << "/tmp" << "/tmp/" << "*.pcx" << QStringList();
    QTest::newRow("name within a type") << "photo" << "*.png;*.gif" << "" << "" << "photo*.*"
                                        << QStringList{"png", "gif"};
    QTest::newRow("typed pattern list") << "*.tif; *.TIFF" << "*.png;*.gif" << "" << "" << "*.*"
                                        << QStringList{"tif", "tiff"};
}

void TestFileSearchDlg::options()
{
    QFETCH(QString, name);
    QFETCH(QString, typePattern);
    QFETCH(QString, lookIn);
    const CFileFinder::Options options = CFileSearchDlg::searchOptions(name, typePattern, lookIn);
    QFETCH(QString, folder);
    QCOMPARE(options.folder, folder.isEmpty() ? settingskeys::defaultLastFolder() : folder);
    QTEST(options.mask, "mask");
    QTEST(options.extensions, "extensions");
}

void TestFileSearchDlg::searches_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("typePattern"); // the type whose list holds it; empty: the first type
    QTest::addColumn<bool>("defaultFolder");  // an empty "Look in:"
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("photo") << "photo" << "" << false << QStringList{"photo.jpg", "photo2.png", "photos.gif"};
    QTest::newRow("default folder") << "photo" << "" << true << QStringList{"photo.jpg", "photo2.png", "photos.gif"};
    QTest::newRow("jpeg type") << "" << "*.jpg" << false << QStringList{"SHOT.JPG", "myphoto.jpeg", "photo.jpg"};
    QTest::newRow("png type") << "" << "*.png" << false << QStringList{"photo2.png"};
    QTest::newRow("photo within png") << "photo" << "*.png" << false << QStringList{"photo2.png"};
}

void TestFileSearchDlg::searches()
{
    QFETCH(bool, defaultFolder);
    QTemporaryDir temp;
    const QString root = defaultFolder ? settingskeys::defaultLastFolder() + QStringLiteral("found")
                                       : temp.path();
    for (const char* name : {"photo.jpg", "sub/photo2.png", "sub/deep/photos.gif", "photo.txt", "myphoto.jpeg",
                             "sub/SHOT.JPG", "notes.doc"})
        makeFile(root + u'/' + QLatin1String(name));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/photo.d")));

    CFileSearchDlg dialog;
    QFETCH(QString, typePattern);
    const int type = typePattern.isEmpty() ? 0 : typeIndexWith(dialog.findChild<QComboBox*>(), typePattern);
    QVERIFY(type >= 0);
    QFETCH(QString, name);
    QVERIFY(search(dialog, name, defaultFolder ? QString() : root, type));
    QTEST(columnTexts(dialog, 0), "expected");
    QFETCH(QStringList, expected);
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("countLine"))->text(),
             QStringLiteral("Found (%1) items").arg(expected.size()));
    QVERIFY(QDir(root).removeRecursively() || !defaultFolder);
}

void TestFileSearchDlg::sizes_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("text");
    QTest::newRow("1023") << qint64(1023) << "1023 b";
    QTest::newRow("1024") << qint64(1024) << "1 Kb";
    QTest::newRow("1048575") << qint64(1048575) << "1023 Kb";
    QTest::newRow("1048576") << qint64(1048576) << "1 Mb";
    QTest::newRow("1073741823") << qint64(1073741823) << "1023 Mb";
    QTest::newRow("1073741824") << qint64(1073741824) << "1 Gb";
    QTest::newRow("5 GB") << qint64(5) * 1073741824 << "5 Gb";
}

void TestFileSearchDlg::sizes()
{
    QTemporaryDir temp;
    QFETCH(qint64, size);
    makeFile(temp.filePath(QStringLiteral("sized.jpg")), size);
    CFileSearchDlg dialog;
    QVERIFY(search(dialog, QStringLiteral("sized"), temp.path()));
    QFETCH(QString, text);
    QCOMPARE(columnTexts(dialog, 1), QStringList{text});
}

void TestFileSearchDlg::stopping_data()
{
    QTest::addColumn<bool>("byExit");
    QTest::newRow("Stop button") << false;
    QTest::newRow("Exit button") << true;
}

void TestFileSearchDlg::stopping()
{
    QTemporaryDir temp;
    for (int folder = 0; folder < 30; ++folder) {
        for (int file = 0; file < 200; ++file)
            makeFile(temp.filePath(QStringLiteral("f%1/d/p%2.jpg").arg(folder).arg(file)));
    }
    CFileSearchDlg dialog;
    dialog.show();
    auto* searchButton = dialog.findChild<QPushButton*>(QStringLiteral("searchButton"));
    QCOMPARE(searchButton->text(), QStringLiteral("Search"));
    dialog.findChild<QLineEdit*>(QStringLiteral("lookInEdit"))->setText(temp.path());
    QFETCH(bool, byExit);
    auto* stopper = byExit ? dialog.findChild<QPushButton*>(QStringLiteral("exitButton")) : searchButton;
    // Clicked as the first finds arrive: the search is surely under way then, however fast the
    // walk is.
    QString textWhenClicked;
    connect(&dialog.finder(), &CFileFinder::filesFound, &dialog, [&] {
        if (textWhenClicked.isEmpty()) {
            textWhenClicked = searchButton->text();
            QTest::mouseClick(stopper, Qt::LeftButton);
        }
    });
    QTest::mouseClick(searchButton, Qt::LeftButton);
    QTRY_VERIFY(!textWhenClicked.isEmpty());
    QCOMPARE(textWhenClicked, QStringLiteral("Stop"));
    QVERIFY(!dialog.finder().isSearching());
    QCOMPARE(searchButton->text(), QStringLiteral("Search"));
    QCOMPARE(dialog.isVisible(), !byExit);
    // The rows are what was found before the stop.
    QCOMPARE(dialog.findChild<QTreeWidget*>()->topLevelItemCount(), dialog.finder().GetFindCount());
}

QTEST_MAIN(TestFileSearchDlg)
#include "tst_filesearchdlg.moc"
