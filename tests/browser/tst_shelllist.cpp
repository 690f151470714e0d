#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLocale>
#include <QMimeDatabase>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "browser/cshelllist.h"

namespace {

// One solid colour per icon of the test theme, so a painted pixel tells which icon it is.
const QHash<QString, QColor> kThemeIcons{{"image-jpeg", Qt::red},
                                         {"image-x-generic", Qt::green},
                                         {"folder", Qt::blue},
                                         {"pix-app", Qt::yellow},
                                         {"pix-folder", Qt::cyan}};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// What the file list does for a row: the entry's own icon is read first (by its workers), then
// the list is asked.
int lookUp(CShellList& list, const QString& path, QString& type, bool isFolder)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    return list.iconIndexAndType(folder, name, type, isFolder, CShellList::ownIconName(folder, name, isFolder));
}

}  // namespace

class TestShellList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void lookups_data();
    void lookups();
    void typeNames_data();
    void typeNames();
    void drawIcon_data();
    void drawIcon();
    void iconOfPath_data();
    void iconOfPath();

private:
    QString path(const QString& name) const { return name.startsWith(u'/') ? name : m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestShellList::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString theme = m_dir.filePath("icons/pixtest/");
    for (int side : {16, 32}) {
        QVERIFY(QDir().mkpath(theme + QString::number(side)));
        for (auto it = kThemeIcons.cbegin(); it != kThemeIcons.cend(); ++it) {
            QImage image(side, side, QImage::Format_ARGB32);
            image.fill(it.value());
            QVERIFY(image.save(QString("%1%2/%3.png").arg(theme).arg(side).arg(it.key())));
        }
    }
    writeFile(theme + "index.theme", "[Icon Theme]\nName=pixtest\nDirectories=16,32\n"
                                     "[16]\nSize=16\nType=Fixed\n[32]\nSize=32\nType=Fixed\n");
    QIcon::setThemeSearchPaths({m_dir.filePath("icons")});
    QIcon::setThemeName("pixtest");

    for (const char* folder : {"own/plain", "own/marked", "own/pictured", "locked/inner"})
        QVERIFY(QDir(m_dir.path()).mkpath(folder));
    QImage magenta(16, 16, QImage::Format_ARGB32);
    magenta.fill(Qt::magenta);
    QVERIFY(magenta.save(m_dir.filePath("magenta.png")));
    writeFile(m_dir.filePath("own/pictured/.directory"), "[Desktop Entry]\nIcon=" + path("magenta.png").toUtf8());
    writeFile(m_dir.filePath("own/marked/.directory"), "[Desktop Entry]\nIcon = pix-folder\n");
    writeFile(m_dir.filePath("own/app.desktop"), "[Desktop Action x]\nIcon=folder\n[Desktop Entry]\nIcon=pix-app\n");
    writeFile(m_dir.filePath("own/bare.desktop"), "[Desktop Entry]\nName=bare\n");
    writeFile(m_dir.filePath("own/photo.jpg"), "not really a JPEG");
    // Opening a pipe for reading would wait for a writer that never comes.
    for (const char* pipe : {"own/pipe.desktop", "own/plain/.directory"})
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath(pipe)).constData(), 0600), 0);
    QVERIFY(QFile::setPermissions(m_dir.filePath("locked"), QFileDevice::Permissions()));
}

void TestShellList::cleanupTestCase()
{
    QFile::setPermissions(m_dir.filePath("locked"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestShellList::lookups_data()
{
    // Entries are "f:<path>" for a file row and "d:<path>" for a folder row; an empty icon name
    // is not checked (the fallback icons carry none).
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QList<int>>("indexes");
    QTest::addColumn<QStringList>("iconNames");
    QTest::addColumn<int>("queries");
    QTest::newRow("JPG and jpg share") << QStringList{"f:/t/a.JPG", "f:/t/b.jpg", "f:/u/c.Jpg"} << QList{0, 0, 0}
                                       << QStringList{"image-jpeg", "", ""} << 1;
    QTest::newRow("one query per extension, one index per icon")
        << QStringList{"f:/t/a.jpg", "f:/t/b.jpeg", "f:/t/c.png", "f:/t/d.PNG"} << QList{0, 0, 1, 1}
        << QStringList{"image-jpeg", "image-jpeg", "image-x-generic", ""} << 3;
    for (const char* type : {"exe", "dll", "lnk", "ocx", "pif", "EXE"}) {
        QTest::addRow("every .%s file", type)
            << QStringList(2, QString("f:/t/a.%1").arg(type)) << QList{0, 0} << QStringList(2) << 2;
    }
    QTest::newRow("desktop entries") << QStringList{"f:own/app.desktop", "f:own/app.desktop", "f:own/bare.desktop",
                                                    "f:own/pipe.desktop"}
                                     << QList{0, 0, 1, 1} << QStringList{"pix-app", "pix-app", "", ""} << 4;
    QTest::newRow("folders every time, never from the parent entry")
        << QStringList{"d:own/..", "d:own/marked", "d:own/marked", "d:own/plain"} << QList{0, 1, 1, 0}
        << QStringList{"folder", "pix-folder", "", "folder"} << 4;
    QTest::newRow("parent cached, disk untouched")
        << QStringList{"d:own/plain", "f:/no/such/..", "d:locked/inner/..", "d:own/.."} << QList{0, 0, 0, 0}
        << QStringList(4) << 2;
    QTest::newRow("last dot of the name")
        << QStringList{"f:/t/a.tar.gz", "f:/t/b.gz", "f:/t/a.v/README", "f:/t/b.w/README"} << QList{0, 0, 0, 0}
        << QStringList(4) << 2;
    QTest::newRow("no name, no dot") << QStringList{"f:/t/", "f:/t/a.jpg", "f:/t/JPG"} << QList{-1, 0, 1}
                                     << QStringList{"", "image-jpeg", ""} << 2;
    // Keys of ASCII names are made without a string of their own, the others by the full
    // lower-casing: either way one case and the other share a query.
    QTest::newRow("case folded beyond ASCII too")
        << QStringList{"f:/t/a.\u00c4BC", "f:/t/b.\u00e4bc", "f:/t/\u00dcber", "f:/t/\u00fcber", "f:/t/README",
                       "f:/t/readme"}
        << QList{0, 0, 0, 0, 0, 0} << QStringList(6) << 3;
}

void TestShellList::lookups()
{
    QFETCH(QStringList, entries);
    QFETCH(QList<int>, indexes);
    QFETCH(QStringList, iconNames);
    QFETCH(int, queries);
    CShellList list;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        QString type = "stale";
        const int index = lookUp(list, path(entries[i].mid(2)), type, entries[i][0] == u'd');
        QCOMPARE(index, indexes[i]);
        QCOMPARE(type.isEmpty(), index < 0);
        if (!iconNames[i].isEmpty())
            QCOMPARE(list.icon(index).name(), iconNames[i]);
    }
    QCOMPARE(list.shellQueryCount(), queries);
}

void TestShellList::typeNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isFolder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("jpg") << "own/photo.jpg" << false << "JPEG image";
    QTest::newRow("upper-case PNG") << "own/SHOT.PNG" << false << "PNG image";
    QTest::newRow("folder") << "own/plain" << true << "folder";
    QTest::newRow("parent of a missing folder") << "/no/such/.." << false << "folder";
}

void TestShellList::typeNames()
{
    QFETCH(QString, name);
    QFETCH(bool, isFolder);
    QFETCH(QString, expected);
    if (QMimeDatabase().mimeTypeForName("image/jpeg").comment() != "JPEG image")
        QSKIP("the shared MIME info of this machine lacks the English type names");
    CShellList list;
    QString type;
    QVERIFY(lookUp(list, path(name), type, isFolder) >= 0);
    QCOMPARE(type, expected);
}

void TestShellList::drawIcon_data()
{
    QTest::addColumn<int>("attach"); // -1 detached, 0 small, 1 large
    QTest::addColumn<int>("index");
    QTest::addColumn<CShellList::DrawStyle>("style");
    QTest::addColumn<QRect>("painted"); // drawn at (7, 2)
    QTest::newRow("small") << 0 << 0 << CShellList::DrawStyle::Normal << QRect(7, 2, 16, 16);
    QTest::newRow("large selected") << 1 << 0 << CShellList::DrawStyle::Selected << QRect(7, 2, 32, 32);
    QTest::newRow("detached") << -1 << 0 << CShellList::DrawStyle::Normal << QRect();
    QTest::newRow("index past the list") << 1 << 1 << CShellList::DrawStyle::Normal << QRect();
}

void TestShellList::drawIcon()
{
    QFETCH(int, attach);
    QFETCH(int, index);
    QFETCH(CShellList::DrawStyle, style);
    QFETCH(QRect, painted);
    CShellList list;
    QString type;
    QCOMPARE(lookUp(list, "/t/a.jpg", type, false), 0);
    list.attachLargeIcons(attach != 1);
    if (attach < 0)
        list.detach();
    else
        list.attachLargeIcons(attach == 1);

    QImage image(48, 48, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QCOMPARE(list.drawIcon(&painter, index, 7, 2, style), !painted.isNull());
    painter.end();
    QRect found;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            found |= qAlpha(image.pixel(x, y)) ? QRect(x, y, 1, 1) : QRect();
    QCOMPARE(found, painted);
    if (!painted.isNull())
        QCOMPARE(image.pixelColor(painted.center()) == QColor(Qt::red), style == CShellList::DrawStyle::Normal);
}

void TestShellList::iconOfPath_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("small");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("parent of a missing folder") << "/no/such/.." << true << QColor(Qt::blue);
    QTest::newRow("folder with a picture file") << "own/pictured" << true << QColor(Qt::magenta);
    QTest::newRow("file") << "own/photo.jpg" << false << QColor(Qt::red);
}

void TestShellList::iconOfPath()
{
    QFETCH(QString, name);
    QFETCH(bool, small);
    QFETCH(QColor, colour);
    CShellList list;
    const QIcon icon = list.iconOfPath(path(name), small);
    const int side = small ? 16 : 32;
    QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(side, side)});
    QCOMPARE(icon.pixmap(side, side).toImage().pixelColor(side / 2, side / 2), colour);
}

QTEST_MAIN(TestShellList)
#include "tst_shelllist.moc"
