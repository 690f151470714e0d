// The shared thumbnail cache as the file list reads and writes it: on real files, in the test's
// own XDG_CACHE_HOME, with GIO as the independent reader of what we write.

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "browser/cfilelistctrl.h"
#include "browser/thumbnailstore.h"
#include "browser/thumbnailworker.h"
#include "imagelib/cbmpex.h"
#include "platform/thumbnailcache.h"
#include "requiredtool.h"
#include "settings/cappsettings.h"

#include <sys/stat.h>

namespace {

constexpr int kWait = 20000;

QString writePicture(const QTemporaryDir& dir, const QString& name, const QColor& colour, QSize size = QSize(40, 30))
{
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(colour);
    const QString path = dir.filePath(name);
    return picture.save(path) ? path : QString();
}

QImage filled(const QColor& colour)
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(colour);
    return picture;
}

QColor centreOf(const QImage& picture)
{
    return picture.pixelColor(picture.width() / 2, picture.height() / 2);
}

// Every file under `root`, as paths relative to it.
QStringList filesUnder(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(root).relativeFilePath(it.next());
    files.sort();
    return files;
}

// The name every freedesktop reader gives a file's entry.
QString entryName(const QString& path)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(QUrl::fromLocalFile(path).toEncoded(), QCryptographicHash::Md5).toHex() + ".png");
}

int modeOf(const QString& path)
{
    struct stat status {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
}

bool setModified(const QString& path, const QDateTime& time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime);
}

// What GIO says of the file's thumbnail: "TRUE", "FALSE", or "none" without an entry.
QString gioValidity(const QString& path)
{
    QProcess gio;
    gio.start(QStringLiteral("gio"), {QStringLiteral("info"), QStringLiteral("-a"),
                                      QStringLiteral("thumbnail::path,thumbnail::is-valid"), path});
    if (!gio.waitForFinished(kWait) || gio.exitCode() != 0)
        return QStringLiteral("gio failed");
    const QByteArray out = gio.readAllStandardOutput();
    const qsizetype at = out.indexOf("thumbnail::is-valid: ");
    return at < 0 ? QStringLiteral("none")
                  : QString::fromLatin1(out.mid(at + 21).split('\n').value(0)).trimmed();
}

// The colour in the middle of a thumbnail the list keeps for `name`; invalid without one.
QColor listedColour(const CFileListCtrl& list, const QString& name)
{
    const int index = list.rows().entryAt(list.rows().findByName(name))->thumbnailIndex;
    QImage cell(CThumbnailStore::kCellSize, CThumbnailStore::kCellSize, QImage::Format_RGB32);
    cell.fill(Qt::black);
    QPainter painter(&cell);
    return list.thumbnails().draw(&painter, QPoint(0, 0), index) ? centreOf(cell) : QColor();
}

// Shows `folder` in thumbnails mode with the cache option as given; true once every thumbnail
// was served.
bool showThumbnails(CFileListCtrl& list, const QString& folder, bool keep)
{
    CAppSettings options;
    options.KeepThumbnails = keep ? 1 : 0;
    list.applyDisplayOptions(options);
    list.setViewMode(CFileListCtrl::kThumbnails);
    QSignalSpy finished(&list, &CFileListCtrl::thumbnailsFinished);
    list.SetFolder(folder, true);
    return finished.wait(kWait);
}

} // namespace

class TestThumbnailCache : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void thumbnailServesOnlyItsFileAsItIs_data();
    void thumbnailServesOnlyItsFileAsItIs();
    void failEntryHoldsUntilTheFileChanges_data();
    void failEntryHoldsUntilTheFileChanges();
    void entriesArePrivate();
    void nothingKeptOfTheCacheItself_data();
    void nothingKeptOfTheCacheItself();
    void listFollowsTheOption_data();
    void listFollowsTheOption();
    void gioAcceptsWhatTheListKept();

private:
    QString m_root;
    QTemporaryDir m_dir;
};

void TestThumbnailCache::init()
{
    m_root = ThumbnailCache::standardRoot();
    QVERIFY(m_root.startsWith(qEnvironmentVariable("XDG_CACHE_HOME")) && !qEnvironmentVariableIsEmpty("XDG_CACHE_HOME"));
    QVERIFY(m_dir.isValid());
}

void TestThumbnailCache::cleanup()
{
    QDir(m_root).removeRecursively();
    for (const QString& name : QDir(m_dir.path()).entryList(QDir::Files))
        QFile::remove(m_dir.filePath(name));
}

void TestThumbnailCache::thumbnailServesOnlyItsFileAsItIs_data()
{
    QTest::addColumn<QString>("change"); // what happens to the file or its entry after it was kept
    QTest::addColumn<bool>("served");    // the kept (red) thumbnail stands for the (blue) file
    QTest::newRow("unchanged") << QString() << true;
    QTest::newRow("modified since") << QStringLiteral("touch") << false;
    QTest::newRow("entry of another file") << QStringLiteral("other") << false;
    // A chunk that claims more bytes than the file holds, before the keys.
    QTest::newRow("damaged entry") << QStringLiteral("damage") << false;
}

void TestThumbnailCache::thumbnailServesOnlyItsFileAsItIs()
{
    QFETCH(QString, change);
    QFETCH(bool, served);
    const QString path = writePicture(m_dir, QStringLiteral("blue.png"), Qt::blue);
    const QString other = writePicture(m_dir, QStringLiteral("other.png"), Qt::green);
    const ThumbnailCache cache(m_root);
    const ThumbnailCache::Entry entry = cache.find(change == QLatin1String("other") ? other : path);
    QCOMPARE(entry.state, ThumbnailCache::Entry::Missing);
    QVERIFY(cache.keep(entry, filled(Qt::red), QSize(40, 30)));
    if (change == QLatin1String("touch"))
        QVERIFY(setModified(path, QFileInfo(path).lastModified().addSecs(10)));
    if (change == QLatin1String("other"))
        QVERIFY(QFile::rename(m_root + "/normal/" + entryName(other), m_root + "/normal/" + entryName(path)));
    if (change == QLatin1String("damage")) {
        QFile entryFile(m_root + "/normal/" + entryName(path));
        QVERIFY(entryFile.open(QIODevice::ReadWrite));
        QVERIFY(entryFile.seek(8) && entryFile.write("\x7f\xff\xff\xf0", 4) == 4);
    }

    CBmpEx picture;
    const QImage made = CThumbnailWorker::makeThumbnail(picture, path, &cache);
    QCOMPARE(centreOf(made), served ? QColor(Qt::red) : QColor(Qt::blue));
    // A thumbnail that no longer serves was replaced by the file's own.
    const ThumbnailCache::Entry after = cache.find(path);
    QCOMPARE(after.state, ThumbnailCache::Entry::Kept);
    QCOMPARE(centreOf(after.picture), served ? QColor(Qt::red) : QColor(Qt::blue));
}

void TestThumbnailCache::failEntryHoldsUntilTheFileChanges_data()
{
    QTest::addColumn<int>("laterSeconds"); // the repaired file's time after the failed one's
    QTest::newRow("repaired, same size and time: not tried again") << 0;
    QTest::newRow("repaired, modified later: tried again") << 10;
}

void TestThumbnailCache::failEntryHoldsUntilTheFileChanges()
{
    QFETCH(int, laterSeconds);
    const QString path = writePicture(m_dir, QStringLiteral("picture.png"), Qt::blue);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    file.close();
    QByteArray damaged = good;
    damaged[1] = 'X'; // no PNG signature: no reader knows it
    const QDateTime time = QFileInfo(path).lastModified();
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
    file.close();
    QVERIFY(setModified(path, time));

    const ThumbnailCache cache(m_root);
    CBmpEx picture;
    QVERIFY(CThumbnailWorker::makeThumbnail(picture, path, &cache).isNull());
    const QString failEntry = QStringLiteral("fail/zelt-pixoria-3.0/") + entryName(path);
    QCOMPARE(filesUnder(m_root), QStringList{failEntry});

    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(good) == good.size());
    file.close();
    QVERIFY(setModified(path, time.addSecs(laterSeconds)));
    const QImage made = CThumbnailWorker::makeThumbnail(picture, path, &cache);
    QCOMPARE(made.isNull(), laterSeconds == 0);
    QCOMPARE(filesUnder(m_root),
             laterSeconds == 0 ? QStringList{failEntry} : QStringList{QStringLiteral("normal/") + entryName(path)});
}

void TestThumbnailCache::entriesArePrivate()
{
    const QString good = writePicture(m_dir, QStringLiteral("good.png"), Qt::blue);
    const QString bad = m_dir.filePath(QStringLiteral("bad.png"));
    QFile file(bad);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a picture") > 0);
    file.close();
    const ThumbnailCache cache(m_root);
    CBmpEx picture;
    QVERIFY(!CThumbnailWorker::makeThumbnail(picture, good, &cache).isNull());
    QVERIFY(CThumbnailWorker::makeThumbnail(picture, bad, &cache).isNull());

    QCOMPARE(filesUnder(m_root).size(), 2);
    QStringList folders{m_root};
    QDirIterator it(m_root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (QFileInfo(path).isDir())
            folders << path;
        else
            QVERIFY2(modeOf(path) == 0600, qPrintable(path));
    }
    QCOMPARE(folders.size(), 4); // thumbnails, normal, fail and ours in it
    for (const QString& folder : folders)
        QVERIFY2(modeOf(folder) == 0700, qPrintable(folder));
}

void TestThumbnailCache::nothingKeptOfTheCacheItself_data()
{
    QTest::addColumn<QString>("folder"); // within the cache
    QTest::newRow("its top folder") << QString();
    QTest::newRow("the normal size") << QStringLiteral("/normal");
    QTest::newRow("a fail folder") << QStringLiteral("/fail/zelt-pixoria-3.0");
}

void TestThumbnailCache::nothingKeptOfTheCacheItself()
{
    QFETCH(QString, folder);
    QVERIFY(QDir().mkpath(m_root + folder));
    const QString path = m_root + folder + QStringLiteral("/cached.png");
    QVERIFY(filled(Qt::blue).save(path));
    const QStringList before = filesUnder(m_root);
    const ThumbnailCache cache(m_root);
    CBmpEx picture;
    QCOMPARE(centreOf(CThumbnailWorker::makeThumbnail(picture, path, &cache)), QColor(Qt::blue));
    QCOMPARE(filesUnder(m_root), before);
}

void TestThumbnailCache::listFollowsTheOption_data()
{
    QTest::addColumn<bool>("keep");
    QTest::newRow("on: reads and writes") << true;
    QTest::newRow("off: reads and writes nothing") << false;
}

void TestThumbnailCache::listFollowsTheOption()
{
    QFETCH(bool, keep);
    const QString seeded = writePicture(m_dir, QStringLiteral("seeded.png"), Qt::blue);
    const QString fresh = writePicture(m_dir, QStringLiteral("fresh.bmp"), Qt::green);
    QFile broken(m_dir.filePath(QStringLiteral("broken.jpg")));
    QVERIFY(broken.open(QIODevice::WriteOnly) && broken.write("not a picture") > 0);
    broken.close();
    const ThumbnailCache cache(m_root);
    QVERIFY(cache.keep(cache.find(seeded), filled(Qt::red), QSize(40, 30)));
    const QStringList before = filesUnder(m_root);

    CFileListCtrl list;
    QVERIFY(showThumbnails(list, m_dir.path(), keep));
    QCOMPARE(listedColour(list, QStringLiteral("seeded.png")), keep ? QColor(Qt::red) : QColor(Qt::blue));
    QCOMPARE(listedColour(list, QStringLiteral("fresh.bmp")), QColor(Qt::green));
    const QStringList expected =
        keep ? QStringList{QStringLiteral("fail/zelt-pixoria-3.0/") + entryName(broken.fileName()),
                           QStringLiteral("normal/") + entryName(fresh), QStringLiteral("normal/") + entryName(seeded)}
             : before;
    QStringList sortedExpected = expected;
    sortedExpected.sort();
    QCOMPARE(filesUnder(m_root), sortedExpected);
}

void TestThumbnailCache::gioAcceptsWhatTheListKept()
{
    QVERIFY2(hasTool("gio"), missingTool("gio", "libglib2.0-bin"));
    // The large JPEG is decoded reduced, yet its entry gives the picture's own size.
    const QStringList paths{writePicture(m_dir, QStringLiteral("a.png"), Qt::blue),
                            writePicture(m_dir, QStringLiteral("b.bmp"), Qt::green),
                            writePicture(m_dir, QStringLiteral("c with space.jpg"), Qt::red, QSize(1200, 700))};
    CFileListCtrl list;
    QVERIFY(showThumbnails(list, m_dir.path(), true));
    for (const QString& path : paths) {
        QVERIFY2(gioValidity(path) == QLatin1String("TRUE"), qPrintable(path));
        const QImage entry(m_root + QStringLiteral("/normal/") + entryName(path));
        const QSize original = QImage(path).size();
        QCOMPARE(entry.text(QStringLiteral("Thumb::Image::Width")), QString::number(original.width()));
        QCOMPARE(entry.text(QStringLiteral("Thumb::Image::Height")), QString::number(original.height()));
    }

    // A file changed since is stale for GIO too, until a list showed it again.
    const QString& changed = paths.front();
    QVERIFY(setModified(changed, QFileInfo(changed).lastModified().addSecs(10)));
    QCOMPARE(gioValidity(changed), QStringLiteral("FALSE"));
    CFileListCtrl again;
    QVERIFY(showThumbnails(again, m_dir.path(), true));
    for (const QString& path : paths)
        QVERIFY2(gioValidity(path) == QLatin1String("TRUE"), qPrintable(path));
}

QTEST_MAIN(TestThumbnailCache)
#include "tst_thumbnailcache.moc"
