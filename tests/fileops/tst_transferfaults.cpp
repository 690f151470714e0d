// The file operation engine when the disk says no: a full file system, a write cut short at a
// chosen byte, a read-only destination, another drive's trash. The test runs in a mount namespace
// of its own (made before any thread starts), where it mounts small tmpfs file systems that go
// with the process; that needs root, as CI and the development machines have.

#include <csignal>
#include <cstring>

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include "fileops/cshellfileop.h"
#include "platform/filecopy.h"
#include "requiredtool.h"
#include "transfertest.h"

using Kind = TransferRequest::Kind;
Q_DECLARE_METATYPE(Kind)

namespace {

bool g_namespace = false;

constexpr qint64 kMiB = qint64(1) << 20;

// Content that differs from that of any other file here in every MiB: one random MiB per file,
// each repeat stamped with its number.
QByteArray contentOf(int index, qint64 size)
{
    QByteArray block(qMin(size, kMiB), Qt::Uninitialized);
    quint32 state = 2166136261u ^ quint32(index);
    for (char& byte : block) {
        state = state * 1664525u + 1013904223u;
        byte = char(state >> 24);
    }
    QByteArray data;
    data.reserve(size);
    for (qint64 at = 0; at < size; at += block.size()) {
        const qint64 stamp = at / kMiB;
        memcpy(block.data(), &stamp, qMin<qsizetype>(sizeof stamp, block.size()));
        data.append(block.constData(), qMin<qint64>(block.size(), size - at));
    }
    return data;
}

void writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

// Cuts every file this process writes at `bytes` (writes past it fail with "File too large")
// until it goes out of scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        const rlimit limit{rlim_t(bytes), m_old.rlim_max};
        m_set = bytes >= 0 && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_set)
            ::setrlimit(RLIMIT_FSIZE, &m_old);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    bool m_set = false;
};

QStringList temporariesUnder(const QString& folder)
{
    QStringList found;
    QDirIterator it(folder, {".pixoria-*"}, QDir::AllEntries | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next();
    return found;
}

} // namespace

class TestTransferFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void fullDisk_data();
    void fullDisk();
    void crossDeviceMove_data();
    void crossDeviceMove();
    void crossDeviceSelection_data();
    void crossDeviceSelection();
    void sameDriveMove_data();
    void sameDriveMove();
    void unwritableDestination_data();
    void unwritableDestination();
    void trashOnAnotherDrive();

private:
    QString mount(const QString& name, qint64 kib, bool readOnly = false);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_src;
    QStringList m_mounts;
};

void TestTransferFaults::initTestCase()
{
    if (!g_namespace)
        QSKIP("mounting the test's small file systems needs root (a mount namespace of its own)");
    // A write past a file size limit must fail with EFBIG, not end the process.
    std::signal(SIGXFSZ, SIG_IGN);
}

void TestTransferFaults::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_src = m_dir->filePath("src/");
    QVERIFY(QDir().mkpath(m_src));
}

void TestTransferFaults::cleanup()
{
    for (const QString& point : std::as_const(m_mounts))
        ::umount2(QFile::encodeName(point).constData(), MNT_DETACH);
    m_mounts.clear();
    m_dir.reset();
}

QString TestTransferFaults::mount(const QString& name, qint64 kib, bool readOnly)
{
    const QString point = m_dir->filePath(name);
    QDir().mkpath(point);
    const QByteArray options = "size=" + QByteArray::number(kib) + "k";
    if (::mount("tmpfs", QFile::encodeName(point).constData(), "tmpfs", readOnly ? MS_RDONLY : 0,
                options.constData()) != 0)
        return {};
    m_mounts << point;
    return point + u'/';
}

void TestTransferFaults::fullDisk_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<bool>("oneFolder"); // the files in one folder item, or each an item

    QTest::newRow("copy of many files") << Kind::Copy << false;
    QTest::newRow("move of many files") << Kind::Move << false;
    QTest::newRow("copy of a folder") << Kind::Copy << true;
    QTest::newRow("move of a folder") << Kind::Move << true;
}

// 200 files of 16 KiB onto 1 MiB: what arrives is whole and named in the new names, no source is
// lost, nothing half written stays, and the failures say "No space left on device" with the file.
void TestTransferFaults::fullDisk()
{
    QFETCH(Kind, kind);
    QFETCH(bool, oneFolder);
    const QString dst = mount("small", 1024);
    QVERIFY(!dst.isEmpty());
    const QString from = oneFolder ? m_src + "album/" : m_src;
    QDir().mkpath(from);
    QStringList names;
    for (int i = 0; i < 1000; ++i) {
        names << QStringLiteral("IMG_%1.JPG").arg(i, 4, 10, QChar('0'));
        writeFile(from + names.last(), contentOf(i, 16 * 1024));
    }
    auto questions = std::make_shared<ScriptedQuestions>();

    const TransferResult result =
        runTransfer({kind, oneFolder ? QStringList{"album"} : names, m_src, dst}, questions);

    QVERIFY(!result.failures.isEmpty());
    QVERIFY2(result.failures.first().contains("No space left on device") &&
                 result.failures.first().contains(from + "IMG_"),
             qPrintable(result.failures.first()));
    QVERIFY(temporariesUnder(dst).isEmpty());
    if (oneFolder) {
        // The folder did not fit: it did not arrive, and it is all still where it was.
        QVERIFY(result.newNames.isEmpty());
        QVERIFY(!QFileInfo::exists(dst + "album"));
    } else {
        QVERIFY(!result.newNames.isEmpty());
        QVERIFY(result.newNames.size() < names.size());
    }
    const QString to = oneFolder ? dst + "album/" : dst;
    int arrived = 0;
    for (int i = 0; i < names.size(); ++i) {
        const bool there = QFileInfo::exists(to + names[i]);
        arrived += there;
        if (there)
            QCOMPARE(readAll(to + names[i]), contentOf(i, 16 * 1024));
        QCOMPARE(there, result.newNames.contains(names[i]));
        // A moved file left its source only once it had arrived.
        const bool sourceStays = kind == Kind::Copy || !there;
        QCOMPARE(QFileInfo::exists(from + names[i]), sourceStays);
        if (sourceStays)
            QCOMPARE(readAll(from + names[i]), contentOf(i, 16 * 1024));
    }
    QCOMPARE(arrived, result.newNames.size());
}

void TestTransferFaults::crossDeviceMove_data()
{
    QTest::addColumn<QList<qint64>>("sizes"); // one file, or the files of one folder
    QTest::addColumn<qint64>("limit");        // file size limit; -1 none; -2 Cancel once bytes flow

    const QList<qint64> big{40 * kMiB};
    QTest::newRow("cut at the first byte") << big << qint64(0);
    QTest::newRow("cut within the first piece") << big << kMiB;
    QTest::newRow("cut after the first piece") << big << 17 * kMiB;
    QTest::newRow("cut one byte short") << big << 40 * kMiB - 1;
    QTest::newRow("whole") << big << qint64(-1);
    QTest::newRow("folder, one file cut") << QList<qint64>{kMiB, 30 * kMiB, kMiB} << 10 * kMiB;
    QTest::newRow("folder, whole") << QList<qint64>{kMiB, 30 * kMiB, kMiB} << qint64(-1);
    QTest::newRow("cancelled while copying") << QList<qint64>{400 * kMiB} << qint64(-2);
}

// A move to another file system removes its source only when the target is whole: cut short or
// cancelled anywhere, the source is as it was and no part of a target is left.
void TestTransferFaults::crossDeviceMove()
{
    QFETCH(QList<qint64>, sizes);
    QFETCH(qint64, limit);
    const QString dst = mount("other", 512 * 1024);
    QVERIFY(!dst.isEmpty());
    const bool folder = sizes.size() > 1;
    const QString name = folder ? QStringLiteral("album") : QStringLiteral("movie.mov");
    QStringList files;
    for (int i = 0; i < sizes.size(); ++i) {
        files << (folder ? name + QStringLiteral("/clip%1.mov").arg(i) : name);
        QDir().mkpath(QFileInfo(m_src + files.last()).path());
        writeFile(m_src + files.last(), contentOf(i, sizes[i]));
    }
    auto questions = std::make_shared<ScriptedQuestions>();
    FileTransfer transfer(questions);
    TransferResult result;
    if (limit == -2) {
        std::optional<TransferResult> ended;
        connect(&transfer, &FileTransfer::finished, this, [&](const TransferResult& r) { ended = r; });
        transfer.start({Kind::Move, {name}, m_src, dst});
        QTRY_VERIFY_WITH_TIMEOUT(transfer.progress().done > 0 || ended, 30000);
        transfer.cancel();
        QTRY_VERIFY_WITH_TIMEOUT(ended.has_value(), 30000);
        result = *ended;
    } else {
        const FileSizeLimit cut(limit);
        result = runTransfer(transfer, {Kind::Move, {name}, m_src, dst});
    }

    const bool arrived = result.newNames == QStringList{name};
    QCOMPARE(arrived, limit == -1 || (limit == -2 && !result.cancelled));
    QVERIFY(temporariesUnder(dst).isEmpty());
    QCOMPARE(QFileInfo::exists(dst + name), arrived);
    QCOMPARE(QFileInfo::exists(m_src + name), !arrived);
    for (int i = 0; i < files.size(); ++i)
        QCOMPARE(readAll((arrived ? dst : m_src) + files[i]), contentOf(i, sizes[i]));
    if (limit >= 0)
        QVERIFY2(!result.failures.isEmpty() && result.failures.first().contains("File too large") &&
                     result.failures.first().contains(m_src + name),
                 qPrintable(result.failures.join('\n')));
}

void TestTransferFaults::crossDeviceSelection_data()
{
    QTest::addColumn<QStringList>("source");
    QTest::addColumn<QStringList>("destination"); // entries waiting on the other drive
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sourceWhenAsked"); // the answer is Skip
    QTest::addColumn<QStringList>("sourceAfter");
    QTest::addColumn<QStringList>("destinationAfter");

    QTest::newRow("three files") << QStringList{"a=1", "b=2", "c=3"} << QStringList{} << QStringList{"a", "b", "c"}
                                 << QStringList{} << QStringList{} << QStringList{"a=1", "b=2", "c=3"};
    QTest::newRow("folder merged into one of its name")
        << QStringList{"d/", "d/x=new", "d/y=y"} << QStringList{"d/", "d/x=old", "d/z=z"} << QStringList{"d"}
        << QStringList{} << QStringList{} << QStringList{"d/", "d/x=new", "d/y=y", "d/z=z"};
    QTest::newRow("a question on the way")
        << QStringList{"a=1", "b=new", "c=3"} << QStringList{"b=old"} << QStringList{"a", "b", "c"}
        << QStringList{"b=new", "c=3"} << QStringList{"b=new"} << QStringList{"a=1", "b=old", "c=3"};
}

// A move of several items to another drive flushes it once, yet every source goes once its item
// has arrived: before a question about a later item, and at the end.
void TestTransferFaults::crossDeviceSelection()
{
    QFETCH(QStringList, source);
    QFETCH(QStringList, destination);
    QFETCH(QStringList, names);
    const QString dst = mount("other", 1024);
    QVERIFY(!dst.isEmpty());
    makeEntries(m_src, source);
    makeEntries(dst, destination);
    struct WatchingQuestions : ScriptedQuestions {
        QString folder;
        QStringList seen;
        ReplaceAnswer askReplace(const QString& target, const QString& item) override
        {
            seen = entriesOf(folder);
            ScriptedQuestions::askReplace(target, item);
            return {ReplaceChoice::Skip, {}};
        }
    };
    auto questions = std::make_shared<WatchingQuestions>();
    questions->folder = m_src;

    const TransferResult result = runTransfer({Kind::Move, names, m_src, dst}, questions);

    QVERIFY2(result.failures.isEmpty(), qPrintable(result.failures.join(u'\n')));
    QTEST(questions->seen, "sourceWhenAsked");
    QTEST(entriesOf(m_src), "sourceAfter");
    QTEST(entriesOf(dst), "destinationAfter");
    QVERIFY(temporariesUnder(dst).isEmpty());
}

void TestTransferFaults::sameDriveMove_data()
{
    QTest::addColumn<QString>("item"); // "f" a file, "d" a folder holding the file f
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("merged"); // a folder of the item's name waits in the destination

    QTest::newRow("small file") << "f" << qint64(10) << false;
    QTest::newRow("file of 8 GiB") << "f" << 8192 * kMiB << false;
    QTest::newRow("folder with a file of 8 GiB") << "d" << 8192 * kMiB << false;
    QTest::newRow("folder merged into one of its name") << "d" << 8192 * kMiB << true;
}

// A move within one file system is a rename whatever the size: the very file arrives, and not a
// byte is counted as carried.
void TestTransferFaults::sameDriveMove()
{
    QFETCH(QString, item);
    QFETCH(qint64, size);
    QFETCH(bool, merged);
    const QString file = item == QLatin1String("f") ? item : item + QStringLiteral("/f");
    QVERIFY(QDir().mkpath(QFileInfo(m_src + file).path()));
    {
        QFile sparse(m_src + file);
        QVERIFY(sparse.open(QIODevice::WriteOnly));
        QVERIFY(sparse.resize(size));
    }
    // A second name of the file, outside the move, tells whether what arrives is that file.
    const QString keep = m_dir->filePath("keep");
    QCOMPARE(::link(QFile::encodeName(m_src + file).constData(), QFile::encodeName(keep).constData()), 0);
    const QString dst = m_dir->filePath("dst/");
    QVERIFY(QDir().mkpath(merged ? dst + item : dst));
    FileTransfer transfer(std::make_shared<ScriptedQuestions>());

    const TransferResult result = runTransfer(transfer, {Kind::Move, {item}, m_src, dst});

    QVERIFY2(result.failures.isEmpty(), qPrintable(result.failures.join(u'\n')));
    QCOMPARE(result.newNames, merged ? QStringList{} : QStringList{item});
    QVERIFY(platform::sameFile(dst + file, keep));
    QVERIFY(!QFileInfo::exists(m_src + item));
    QCOMPARE(transfer.progress().total, 0);
    QCOMPARE(transfer.progress().done, 0);
}

void TestTransferFaults::unwritableDestination_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("item");

    QTest::newRow("copy of a file") << Kind::Copy << "a.jpg";
    QTest::newRow("move of a file") << Kind::Move << "a.jpg";
    QTest::newRow("copy of a folder") << Kind::Copy << "d";
    QTest::newRow("move of a folder") << Kind::Move << "d";
}

void TestTransferFaults::unwritableDestination()
{
    QFETCH(Kind, kind);
    QFETCH(QString, item);
    const QString dst = mount("readonly", 64, true);
    QVERIFY(!dst.isEmpty());
    makeEntries(m_src, {"a.jpg", "d/", "d/x.jpg"});
    auto questions = std::make_shared<ScriptedQuestions>();

    const TransferResult result = runTransfer({kind, {item}, m_src, dst}, questions);

    QVERIFY(result.newNames.isEmpty());
    QCOMPARE(entriesOf(m_src), (QStringList{"a.jpg=a.jpg", "d/", "d/x.jpg=d/x.jpg"}));
    QVERIFY(entriesOf(dst).isEmpty());
    // The item, then the description file: each named with the reason.
    QCOMPARE(result.failures.size(), 2);
    QVERIFY2(result.failures.first().contains(m_src + item) &&
                 result.failures.first().contains("Read-only file system"),
             qPrintable(result.failures.first()));
    QCOMPARE(questions->failures, result.failures);
}

// An item on another drive goes to that drive's own trash, recorded from the drive's top.
void TestTransferFaults::trashOnAnotherDrive()
{
    const QString drive = mount("drive", 1024);
    QVERIFY(!drive.isEmpty());
    makeEntries(drive, {"sub/", "sub/a.jpg=picture"});
    auto questions = std::make_shared<ScriptedQuestions>();
    CShellFileOp op(nullptr, questions);

    QCOMPARE(op.DeleteItems({drive + "sub/a.jpg"}), 0);

    const QString trash = drive + QStringLiteral(".Trash-%1/").arg(::getuid());
    QVERIFY(!QFileInfo::exists(drive + "sub/a.jpg"));
    QCOMPARE(readAll(trash + "files/a.jpg"), QByteArray("picture"));
    const QByteArray info = readAll(trash + "info/a.jpg.trashinfo");
    QVERIFY2(info.startsWith("[Trash Info]\nPath=sub/a.jpg\nDeletionDate="), info.constData());
    QCOMPARE(QFileInfo(trash).permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

int main(int argc, char** argv)
{
    // Before any thread: a namespace can only be left to a process that is still single-threaded.
    g_namespace = ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    QApplication app(argc, argv);
    TestTransferFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_transferfaults.moc"
