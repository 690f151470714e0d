// The "File Properties" dialog: its line texts made without widgets (path shortening, sizes, web
// times, uncompressed size and ratio, dates), and the dialog itself on real files.
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "fileops/cfileinfodlg.h"
#include "imagelib/imagetest.h"

namespace {

FilePropertiesText describe(const QString& folder, const QString& name, qint64 size, QSize pixels = {1, 1},
                            int bits = 24, const QDateTime& created = {}, const QDateTime& modified = {})
{
    const CFileInfo::Info info{QStringLiteral("JPEG File"), pixels.width(), pixels.height(), QStringLiteral("24b"),
                               bits};
    return FilePropertiesText::describe(folder, name, size, created, modified, info);
}

} // namespace

class TestFileInfoDlg : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void pathLine_data();
    void pathLine();
    void sizeLines_data();
    void sizeLines();
    void dates();
    void loadRefusesWhatIsNoPicture_data();
    void loadRefusesWhatIsNoPicture();
    void showsPictureAndCloses_data();
    void showsPictureAndCloses();

private:
    QTemporaryDir m_dir;
};

void TestFileInfoDlg::pathLine_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("line");

    const QString name40("0123456789abcdefghijklmnopqrstuvwxyz.jpg");
    const QString name61("IMG_20240307_101500_a_long_name_from_a_phone_camera_0001.jpeg");
    QTest::newRow("short") << "/home/u/"
                           << "a.jpg"
                           << "/home/u/a.jpg";
    QTest::newRow("exactly 50") << "/home/user/" << name40.left(39) << "/home/user/" + name40.left(39);
    QTest::newRow("51") << "/home/user/" << name40 << "/.../" + name40;
    QTest::newRow("long folder") << "/home/user/Pictures/2024/holidays/by the sea/day one/"
                                 << "a.jpg"
                                 << "/.../a.jpg";
    QTest::newRow("long name: its last 45") << "/p/" << name61 << "/.../" + name61.right(45);
    QTest::newRow("network path") << "//server/share/photos/2024/" << name61 << "//ser.../" + name61.right(41);
    QTest::newRow("drive") << "C:/Users/someone/Pictures/" << name61 << "C:/.../" + name61.right(43);
}

void TestFileInfoDlg::pathLine()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, line);
    const QString path = describe(folder, name, 1).path;
    QCOMPARE(path, QDir::toNativeSeparators(line));
    QVERIFY(path.size() <= 50);
}

void TestFileInfoDlg::sizeLines_data()
{
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<QStringList>("lines"); // file size, 3 web times, uncompressed size, ratio

    QTest::newRow("0") << qint64(0) << QSize(10, 10) << 24
                       << QStringList{"0 Bytes", "1 sec", "1 sec", "1 sec", "300 Bytes", "  0.0"};
    QTest::newRow("1024") << qint64(1024) << QSize(32, 32) << 8
                          << QStringList{"1024 Bytes", "1 sec", "1 sec", "1 sec", "1024 Bytes", "  1.0"};
    QTest::newRow("1025") << qint64(1025) << QSize(16, 16) << 1
                          << QStringList{" 1.0 KB", "1 sec", "1 sec", "1 sec", "32 Bytes", "  0.0"};
    QTest::newRow("3599") << qint64(3599) << QSize(1, 1) << 8
                          << QStringList{" 3.5 KB", "1 sec", "1 sec", "1 sec", "1 Bytes", "  0.0"};
    QTest::newRow("3600") << qint64(3600) << QSize(1, 1) << 8
                          << QStringList{" 3.5 KB", "2 sec", "1 sec", "1 sec", "1 Bytes", "  0.0"};
    QTest::newRow("14400") << qint64(14400) << QSize(640, 480) << 24
                           << QStringList{"14.1 KB", "5 sec", "3 sec", "2 sec", "900.0 KB", " 64.0"};
    QTest::newRow("1048576") << qint64(1048576) << QSize(1024, 1024) << 8
                             << QStringList{"1024.0 KB", "292 sec", "146 sec", "73 sec", "1024.0 KB", "  1.0"};
    QTest::newRow("1048577") << qint64(1048577) << QSize(1025, 1024) << 8
                             << QStringList{" 1.00 MB", "292 sec", "146 sec", "73 sec", "  1.0 MB", "  1.0"};
    // 30000 x 20000 x 32 bits is 19.2 billion bits, far beyond 32 bits.
    QTest::newRow("large picture") << qint64(50000000) << QSize(30000, 20000) << 32
                                   << QStringList{"47.68 MB", "13889 sec", "6945 sec",
                                                  "3473 sec", "2288.8 MB", " 48.0"};
    QTest::newRow("5 GiB") << qint64(5) * 1024 * 1024 * 1024 << QSize(2, 2) << 8
                           << QStringList{"5120.00 MB", "1491309 sec", "745655 sec", "372828 sec", "4 Bytes", "  0.0"};
}

void TestFileInfoDlg::sizeLines()
{
    QFETCH(qint64, size);
    QFETCH(QSize, pixels);
    QFETCH(int, bits);
    QFETCH(QStringList, lines);
    const FilePropertiesText text = describe(QStringLiteral("/p/"), QStringLiteral("a.jpg"), size, pixels, bits);
    QCOMPARE((QStringList{text.fileSize, text.web28k, text.web56k, text.web128k, text.uncompressedSize,
                          text.compressionRatio}),
             lines);
    QCOMPARE((QStringList{text.frames, text.format, text.colours, text.width, text.height}),
             (QStringList{"1", "JPEG File", "24b", QString::number(pixels.width()), QString::number(pixels.height())}));
}

void TestFileInfoDlg::dates()
{
    const QDateTime utc(QDate(2020, 6, 15), QTime(12, 0), Qt::UTC);
    const FilePropertiesText text = describe(QStringLiteral("/p/"), QStringLiteral("a.jpg"), 1, {1, 1}, 24,
                                             QDateTime(QDate(2024, 3, 7), QTime(23, 59)), utc);
    QCOMPARE(text.created, QStringLiteral("03.07.2024")); // month first, two digits
    QCOMPARE(text.modified, utc.toLocalTime().toString(QStringLiteral("MM.dd.yyyy")));
    QCOMPARE(describe("/p/", "a", 1, {1, 1}, 24, QDateTime(QDate(1999, 12, 25), QTime())).created,
             QStringLiteral("12.25.1999"));
}

void TestFileInfoDlg::loadRefusesWhatIsNoPicture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // null: the file is not made

    QTest::newRow("missing file") << "missing.jpg" << QByteArray();
    QTest::newRow("text file") << "notes.txt" << QByteArray("Not a picture at all.\n");
    QTest::newRow("empty file") << "empty.jpg" << QByteArray("");
    QTest::newRow("JPEG cut after its start") << "cut.jpg" << QByteArray("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10);
}

void TestFileInfoDlg::loadRefusesWhatIsNoPicture()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    if (!bytes.isNull())
        imagetest::writeFile(m_dir, name, bytes);
    CFileInfoDlg dialog(name, m_dir.path() + u'/');
    QVERIFY(!dialog.load());
}

void TestFileInfoDlg::showsPictureAndCloses_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("result");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << int(QDialog::Rejected);
    QTest::newRow("Enter") << int(Qt::Key_Return) << int(QDialog::Accepted);
}

void TestFileInfoDlg::showsPictureAndCloses()
{
    QFETCH(int, key);
    QFETCH(int, result);
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    const QString name("a picture with a name long enough to be shortened in the line.jpg");
    QVERIFY(image.save(m_dir.filePath(name), "JPEG"));

    CFileInfoDlg dialog(name, m_dir.path() + u'/');
    QVERIFY(dialog.load());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("File Properties"));
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    QStringList titles;
    for (const QGroupBox* box : dialog.findChildren<QGroupBox*>())
        titles << box->title();
    QCOMPARE(titles, (QStringList{"File", "Web info (loading speed)", "Image"}));
    // The ratio is shown without the padding of its fixed-width format.
    const QString ratio = QString::asprintf("%.1f", 192000.0 / double(QFileInfo(m_dir.filePath(name)).size()));
    for (const QString& expected : {"/.../" + name.right(45), QString("56 Kb (Standart Modem)"), QString("JPEG File"),
                                    QString("24b"), QString("320 px"), QString("200 px"), QString("187.5 KB"), ratio})
        QVERIFY2(texts.contains(expected), qPrintable(expected));

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key(key));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), result);
}

QTEST_MAIN(TestFileInfoDlg)
#include "tst_fileinfodlg.moc"
