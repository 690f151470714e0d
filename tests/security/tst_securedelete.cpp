#include <csignal>

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ordinaryuser.h"
#include "platform/thumbnailcache.h"
#include "requiredtool.h"
#include "security/csecuredelete.h"
#include "security/secureerase.h"

namespace {

constexpr QDir::Filters kEverything = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

// One write as the eraser reported it, with how often it came in a row.
struct WriteRun {
    qint64 offset;
    qint64 bytes;
    int times;
    bool operator==(const WriteRun&) const = default;
};

char* toString(const WriteRun& run)
{
    return qstrdup(QByteArray::number(run.times) + " x " + QByteArray::number(run.bytes) + " bytes at " +
                   QByteArray::number(run.offset));
}

bool write(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The free blocks of the file system holding `path`, as the system counts them.
qint64 freeBlocks(const QString& path)
{
    struct statvfs status {};
    return ::statvfs(QFile::encodeName(path).constData(), &status) == 0 ? qint64(status.f_bfree) : -1;
}

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return program + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAllStandardError()).trimmed() +
               process.errorString();
    return {};
}

// A small file system of its own for a test, so that its raw device can be read afterwards and
// its free space filled without touching anyone else's: an ext4 image mounted through a loop
// device, or a tmpfs. Both need root; mounted() gives the reason when it is not there.
class TestVolume {
public:
    TestVolume(const QString& folder, const QString& kind, const QString& ext4Features) : m_folder(folder)
    {
        const QString point = mountPoint();
        QDir().mkpath(point);
        if (geteuid() != 0) {
            m_reason = QStringLiteral("mounting a test file system needs root");
            return;
        }
        if (kind == u"tmpfs") {
            if (::mount("tmpfs", QFile::encodeName(point).constData(), "tmpfs", 0, "size=4m") != 0)
                m_reason = QStringLiteral("cannot mount a tmpfs: ") + qt_error_string(errno);
            return;
        }
        QFile image(imagePath());
        if (!image.open(QIODevice::WriteOnly) || !image.resize(kImageSize)) {
            m_reason = image.errorString();
            return;
        }
        image.close();
        // 1 KiB blocks keep the image small; no journal, whose copies of the directory blocks
        // would hold every name until it wraps round (README, what erasing cannot promise).
        m_reason = run(QStringLiteral("mkfs.ext4"),
                       {QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("-b"), QStringLiteral("1024"),
                        QStringLiteral("-O"), QStringLiteral("^has_journal") + ext4Features, imagePath()});
        if (m_reason.isEmpty())
            m_reason = run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("loop"), imagePath(), point});
    }
    ~TestVolume() { unmount(); }

    bool mounted() const { return m_reason.isEmpty(); }
    QString reason() const { return QStringLiteral("no test file system: ") + m_reason; }
    QString mountPoint() const { return m_folder + QStringLiteral("/volume/"); }
    // Unmounts (everything reaches the image) and returns the image's bytes.
    QByteArray rawDevice()
    {
        unmount();
        return contents(imagePath());
    }

private:
    static constexpr qint64 kImageSize = 12 << 20;
    QString imagePath() const { return m_folder + QStringLiteral("/volume.img"); }
    void unmount()
    {
        if (mounted() && !m_unmounted)
            ::umount(QFile::encodeName(mountPoint()).constData());
        m_unmounted = true;
    }

    QString m_folder;
    QString m_reason;
    bool m_unmounted = false;
};

} // namespace

class TestSecureDelete : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void noTraceOnTheDevice_data();
    void noTraceOnTheDevice();
    void writesOverEveryByte_data();
    void writesOverEveryByte();
    void scrambledNames_data();
    void scrambledNames();
    void leftAsItWas_data();
    void leftAsItWas();
    void freeSpaceGivenBack_data();
    void freeSpaceGivenBack();
    void backgroundRun_data();
    void backgroundRun();

private:
    QString folder(const char* name)
    {
        const QString path = m_dir.path() + u'/' + QLatin1String(name) + u'-' +
                             QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-') + u'/';
        QDir().mkpath(path);
        return path;
    }

    // The test run's temporary folder is closed to other users; as root the folders go to /tmp.
    QTemporaryDir m_dir{geteuid() == 0 ? QStringLiteral("/tmp/tst_securedelete-XXXXXX")
                                       : QDir::tempPath() + QStringLiteral("/tst_securedelete-XXXXXX")};
};

void TestSecureDelete::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Lets "nobody" reach the folders of the permission cases.
    QCOMPARE(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);
}

void TestSecureDelete::noTraceOnTheDevice_data()
{
    QTest::addColumn<QString>("features");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("oldCopies");
    QTest::newRow("file in blocks of its own") << QString() << 300000 << false;
    QTest::newRow("one partly filled block") << QString() << 700 << false;
    // Its data lives inside the file system's own record: the overwrite is the ordinary one, and
    // the user hears that copies may be kept.
    QTest::newRow("data inside the inode") << QStringLiteral(",inline_data") << 48 << true;
}

void TestSecureDelete::noTraceOnTheDevice()
{
    QFETCH(QString, features);
    QFETCH(int, size);
    QFETCH(bool, oldCopies);
    if (geteuid() == 0 && !hasTool("mkfs.ext4"))
        QFAIL(missingTool("mkfs.ext4", "e2fsprogs"));
    TestVolume volume(folder("device"), QStringLiteral("ext4"), features);
    if (!volume.mounted())
        QSKIP(qPrintable(volume.reason()));
    const QByteArray marker("Zq7-marker-");
    const QByteArray name("qzvsecretname.jpg");
    const QString path = volume.mountPoint() + QString::fromLatin1(name);
    QVERIFY(write(path, marker.repeated(size / marker.size() + 1).left(size)));
    ::sync();

    CSecureDelete eraser;
    eraser.SecureDelete(path);
    for (const QString& erased : eraser.foldersToClean())
        QVERIFY(eraser.CleanFreeSpace(erased));
    QCOMPARE(eraser.failures(), QStringList());
    QCOMPARE(eraser.oldCopiesKept(), oldCopies ? QStringList{path} : QStringList());
    QCOMPARE(QDir(volume.mountPoint()).entryList(kEverything), QStringList{QStringLiteral("lost+found")});

    const QByteArray device = volume.rawDevice();
    QVERIFY(!device.isEmpty());
    QVERIFY2(!device.contains(marker), "the file's data is still on the device");
    QVERIFY2(!device.contains(name.left(13)), "the file's name is still on the device");
}

void TestSecureDelete::writesOverEveryByte_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<WriteRun>>("expected");
    QTest::newRow("empty: renamed and deleted only") << 0 << QList<WriteRun>{};
    // Its last byte is its first: eighteen writes in a row over the same byte.
    QTest::newRow("one byte") << 1 << QList<WriteRun>{{0, 1, 18}};
    QTest::newRow("100000 bytes") << 100000 << QList<WriteRun>{{99999, 1, 9}, {0, 65536, 9}, {65536, 34464, 9}};
    QTest::newRow("exactly 64 KiB") << 65536 << QList<WriteRun>{{65535, 1, 9}, {0, 65536, 9}};
    QTest::newRow("three steps") << 140000
                                 << QList<WriteRun>{
                                        {139999, 1, 9}, {0, 65536, 9}, {65536, 65536, 9}, {131072, 8928, 9}};
}

// Every write is seen as it reaches the file: where, how large, and what the file holds there
// right after it (zeros, ones, random, three times).
void TestSecureDelete::writesOverEveryByte()
{
    QFETCH(int, size);
    QFETCH(QList<WriteRun>, expected);
    const QString dir = folder("writes");
    const QString path = dir + QStringLiteral("picture.jpg");
    QVERIFY(write(path, QByteArray(size, 'p')));
    QFile reader(path);
    QVERIFY(reader.open(QIODevice::ReadOnly));

    QList<WriteRun> seen;
    QStringList wrongPatterns;
    int writes = 0;
    CSecureDelete eraser;
    eraser.setWriteObserver([&](qint64 offset, qint64 bytes) {
        if (!seen.isEmpty() && seen.last().offset == offset && seen.last().bytes == bytes)
            ++seen.last().times;
        else
            seen.append({offset, bytes, 1});
        reader.seek(offset);
        const QByteArray now = reader.read(bytes);
        const int pattern = writes++ % 3;
        const bool right = pattern == 0 ? now == QByteArray(bytes, '\0')
                           : pattern == 1
                               ? now == QByteArray(bytes, '\xff')
                               : bytes < 16 || (now.count('\0') < bytes / 2 && now.count('\xff') < bytes / 2);
        if (!right)
            wrongPatterns << QStringLiteral("write %1 at %2").arg(writes).arg(offset);
    });
    eraser.SecureDelete(path);
    QCOMPARE(seen, expected);
    QCOMPARE(wrongPatterns, QStringList());
    QCOMPARE(eraser.failures(), QStringList());
    QCOMPARE(QDir(dir).entryList(kEverything), QStringList());
    QVERIFY(!eraser.freeSpaceNeeded());
}

void TestSecureDelete::scrambledNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("inTheWay");
    QTest::addColumn<QString>("reached");
    QTest::newRow("x.y.z") << "x.y.z" << QString() << "Z.Z.Z";
    QTest::newRow("a1.jpg") << "a1.jpg" << QString() << "ZZ.ZZZ";
    QTest::newRow("hidden file") << ".notes" << QString() << ".ZZZZZ";
    QTest::newRow("no extension") << "Scan 01" << QString() << "ZZZZZZZ";
    // A name taken by another file ends the renames at the letter before it: they go from A up.
    QTest::newRow("M.M.M in the way") << "x.y.z"
                                      << "M.M.M"
                                      << "L.L.L";
    QTest::newRow("A.A.A in the way") << "x.y.z"
                                      << "A.A.A"
                                      << "x.y.z";
}

void TestSecureDelete::scrambledNames()
{
    QFETCH(QString, name);
    QFETCH(QString, inTheWay);
    QFETCH(QString, reached);
    const QString dir = folder("names");
    QVERIFY(write(dir + name, "data"));
    if (!inTheWay.isEmpty())
        QVERIFY(write(dir + inTheWay, "other"));
    QCOMPARE(CSecureDelete::ScrambleName(dir + name), dir + reached);
    QCOMPARE(contents(dir + reached), QByteArray("data"));
    if (!inTheWay.isEmpty())
        QCOMPARE(contents(dir + inTheWay), QByteArray("other"));
}

void TestSecureDelete::leftAsItWas_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("told");
    QTest::newRow("read-only file") << "read-only"
                                    << "Cannot erase %1: Permission denied.";
    QTest::newRow("folder with its content") << "folder"
                                             << "%1 is a folder: folders are not erased, it was left as it is.";
    QTest::newRow("link to a file elsewhere") << "link"
                                              << "%1 is not a plain file and was left as it is.";
}

void TestSecureDelete::leftAsItWas()
{
    QFETCH(QString, kind);
    QFETCH(QString, told);
    const QString dir = folder("unchanged");
    const QString outside = folder("outside") + QStringLiteral("target.jpg");
    const QString item = dir + QStringLiteral("item");
    QVERIFY(write(outside, "the target's data"));
    if (kind == u"folder") {
        QVERIFY(QDir().mkdir(item));
        QVERIFY(write(item + QStringLiteral("/inside.jpg"), "inside"));
    } else if (kind == u"link") {
        QVERIFY(QFile::link(outside, item));
    } else {
        QVERIFY(write(item, "read-only data"));
        QVERIFY(QFile::setPermissions(item, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    }
    const auto listing = [&] {
        QStringList entries;
        for (const QFileInfo& entry : QDir(dir).entryInfoList(kEverything))
            entries << entry.fileName() + u' ' + QString::number(entry.lastModified().toMSecsSinceEpoch());
        return entries;
    };
    const QStringList before = listing();

    CSecureDelete eraser;
    {
        // Root may write to any file: the file is read-only to an ordinary user.
        AsOrdinaryUser user(dir);
        QVERIFY(user.ok());
        eraser.SecureDelete(item);
    }
    QCOMPARE(eraser.failures(), QStringList{told.arg(item)});
    QCOMPARE(listing(), before);
    QCOMPARE(contents(outside), QByteArray("the target's data"));
    if (kind == u"folder")
        QCOMPARE(contents(item + QStringLiteral("/inside.jpg")), QByteArray("inside"));
    else if (kind == u"read-only")
        QCOMPARE(contents(item), QByteArray("read-only data"));
}

void TestSecureDelete::freeSpaceGivenBack_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("killed");
    QTest::newRow("ext4 image") << "ext4" << false;
    QTest::newRow("tmpfs") << "tmpfs" << false;
    // A process killed while it fills holds only files without a name: the system frees them.
    QTest::newRow("ext4 image, killed while filling") << "ext4" << true;
}

void TestSecureDelete::freeSpaceGivenBack()
{
    QFETCH(QString, kind);
    QFETCH(bool, killed);
    if (kind == u"ext4" && geteuid() == 0 && !hasTool("mkfs.ext4"))
        QFAIL(missingTool("mkfs.ext4", "e2fsprogs"));
    TestVolume volume(folder("free"), kind, QString());
    if (!volume.mounted())
        QSKIP(qPrintable(volume.reason()));
    const QString path = volume.mountPoint() + QStringLiteral("erased.jpg");
    const qint64 before = freeBlocks(volume.mountPoint());
    QVERIFY(before > 0);

    if (killed) {
        const pid_t child = ::fork();
        if (child == 0) {
            CSecureDelete().CleanFreeSpace(path);
            ::_exit(0);
        }
        QVERIFY(child > 0);
        auto reap = qScopeGuard([child] { ::kill(child, SIGKILL), ::waitpid(child, nullptr, 0); });
        QTRY_VERIFY_WITH_TIMEOUT(freeBlocks(volume.mountPoint()) < before / 2, 60000);
        reap.dismiss();
        QCOMPARE(::kill(child, SIGKILL), 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
    } else {
        CSecureDelete eraser;
        qint64 fewest = before;
        // Asked before every piece: the lowest count is what the filling left free.
        eraser.setStopCheck([&] {
            fewest = std::min(fewest, freeBlocks(volume.mountPoint()));
            return false;
        });
        QVERIFY(eraser.CleanFreeSpace(path));
        QCOMPARE(eraser.failures(), QStringList());
        // Filled until the system would give no more: ext4 keeps a small share (2 %) back for its
        // own records, which no file gets.
        QVERIFY2(fewest * 20 < before, qPrintable(QStringLiteral("%1 of %2 blocks left").arg(fewest).arg(before)));
    }
    QCOMPARE(freeBlocks(volume.mountPoint()), before);
    QCOMPARE(QDir(volume.mountPoint()).entryList(kEverything),
             kind == u"ext4" ? QStringList{QStringLiteral("lost+found")} : QStringList());
}

void TestSecureDelete::backgroundRun_data()
{
    QTest::addColumn<bool>("cancelFirst");
    QTest::newRow("to the end") << false;
    // Cancel is seen before the first item: everything stays as it was.
    QTest::newRow("cancelled") << true;
}

void TestSecureDelete::backgroundRun()
{
    QFETCH(bool, cancelFirst);
    const QString dir = folder("run");
    QVERIFY(write(dir + QStringLiteral("a.jpg"), QByteArray(200000, 'a')));
    QVERIFY(write(dir + QStringLiteral("b.jpg"), QByteArray(10, 'b')));
    QVERIFY(QDir().mkdir(dir + QStringLiteral("Sub")));
    const QStringList items{dir + QStringLiteral("a.jpg"), dir + QStringLiteral("Sub"), dir + QStringLiteral("b.jpg")};

    // A thumbnail of a.jpg that the desktop's cache keeps goes with it.
    const ThumbnailCache thumbnails(ThumbnailCache::standardRoot());
    QImage thumbnail(40, 30, QImage::Format_RGB32);
    thumbnail.fill(Qt::blue);
    QVERIFY(thumbnails.keep(thumbnails.find(items.front()), thumbnail, QSize()));
    QCOMPARE(thumbnails.entriesOf(items.front()).size(), 1);

    SecureErase run;
    QSignalSpy finished(&run, &SecureErase::finished);
    if (cancelFirst)
        run.progress().cancel();
    run.start(items);
    QVERIFY(finished.wait(60000));
    const auto result = finished.takeFirst().at(0).value<SecureEraseResult>();
    QCOMPARE(result.cancelled, cancelFirst);
    QCOMPARE(QDir(dir).entryList(kEverything),
             cancelFirst ? QStringList({"a.jpg", "b.jpg", "Sub"}) : QStringList{QStringLiteral("Sub")});
    QCOMPARE(result.failures.size(), cancelFirst ? 0 : 1);
    QVERIFY(result.oldCopies.isEmpty());
    QCOMPARE(thumbnails.entriesOf(items.front()).size(), cancelFirst ? 1 : 0);
    QCOMPARE(QDir(ThumbnailCache::standardRoot() + QStringLiteral("/normal")).entryList(kEverything).size(),
             cancelFirst ? 1 : 0);
    // The progress window's bar ends full: what was planned is what was written.
    const RunProgress::Snapshot progress = run.progress().snapshot();
    QCOMPARE(progress.done, cancelFirst ? 0 : progress.total);
    QVERIFY(progress.total > 0);
}

QTEST_GUILESS_MAIN(TestSecureDelete)
#include "tst_securedelete.moc"
