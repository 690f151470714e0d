// filecopy: how fast the file operation engine copies and moves, against `cp -r` and `mv` on the
// same files.
//
//   filecopy DIR [--repeat N]
//       Copies DIR/large (camera-size files) and DIR/small (many small files in one folder) with
//       `cp -r` and with the engine (the folder as one item, and the files as one item each, as a
//       selection of the list is copied), and moves each set's files as items within the file
//       system with `mv` and with the engine, N times each (default 3) into fresh folders under
//       DIR, the cache warm, and prints the fastest times and the ratio peer time / our time (1.0:
//       as fast as cp or mv; goal at least 0.9).
//   filecopy --make DIR [--large N] [--large-mib M] [--small N]
//       Makes DIR/large with N files of M MiB (default 8 of 24) and DIR/small with N files of 1 to
//       16 KiB (default 10,000), of content that no file system can compress or share.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iterator>
#include <limits>
#include <optional>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include "fileops/filetransfer.h"

namespace {

constexpr int kMaxCount = 1000000;
constexpr int kMaxRepeat = 100;
constexpr int kMaxMib = 4096;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The bench never collides: a question would be a fault.
class NoQuestions : public FileOpQuestions {
public:
    ReplaceAnswer askReplace(const QString&, const QString&) override { return {}; }
    bool confirmDelete(const QStringList&) override { return false; }
    void reportFailures(const QStringList& messages) override
    {
        for (const QString& message : messages)
            std::fprintf(stderr, "filecopy: %s\n", qPrintable(message));
    }
};

QByteArray randomBytes(quint32& state, qint64 size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i) {
        state = state * 1664525u + 1013904223u;
        data[i] = char(state >> 24);
    }
    return data;
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool make(const QString& dir, int large, int largeMib, int small)
{
    if (!QDir().mkpath(dir + "/large") || !QDir().mkpath(dir + "/small"))
        return false;
    quint32 state = 7;
    // One random block repeated would be shared or compressed by some file systems: each file
    // gets bytes of its own, made from a block and the file's number.
    const QByteArray block = randomBytes(state, qint64(1) << 20);
    for (int i = 0; i < large; ++i) {
        QFile file(QStringLiteral("%1/large/IMG_%2.CR2").arg(dir).arg(i, 4, 10, QChar('0')));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        for (int m = 0; m < largeMib; ++m) {
            QByteArray piece = block;
            piece[0] = char(i);
            piece[1] = char(m);
            if (file.write(piece) != piece.size())
                return false;
        }
    }
    for (int i = 0; i < small; ++i) {
        const qint64 size = 1024 + qint64(state % (15 * 1024));
        if (!writeFile(QStringLiteral("%1/small/img%2.jpg").arg(dir).arg(i, 5, 10, QChar('0')), randomBytes(state, size)))
            return false;
    }
    return true;
}

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

qint64 bytesUnder(const QString& folder, int* files)
{
    qint64 bytes = 0;
    *files = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        bytes += it.fileInfo().size();
        ++*files;
    }
    return bytes;
}

void warm(const QString& folder)
{
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            while (!file.read(1 << 20).isEmpty()) {
            }
    }
}

// One way of transferring a set: the set's folder as one item, or its files as one item each.
struct Way {
    const char* label;
    bool whole;
    bool moving;
};

constexpr Way kWays[] = {
    {"as one folder", true, false},
    {"as %1 items", false, false},
    {"moved as %1 items", false, true},
};

std::optional<double> timePeer(const Way& way, const QStringList& sources, const QString& target)
{
    QProcess peer;
    const Clock::time_point start = Clock::now();
    peer.start(way.moving ? "mv" : "cp",
               (way.moving ? QStringList() : QStringList{"-r"}) + sources + QStringList{target});
    if (!peer.waitForFinished(-1) || peer.exitCode() != 0)
        return std::nullopt;
    return secondsSince(start);
}

std::optional<double> timeOurs(const Way& way, const QString& sourceFolder, const QStringList& names,
                               const QString& target)
{
    FileTransfer transfer(std::make_shared<NoQuestions>());
    QEventLoop loop;
    bool whole = false;
    QObject::connect(&transfer, &FileTransfer::finished, &loop, [&](const TransferResult& result) {
        whole = result.failures.isEmpty() && result.newNames.size() == names.size();
        loop.quit();
    });
    const Clock::time_point start = Clock::now();
    transfer.start(
        {way.moving ? TransferRequest::Kind::Move : TransferRequest::Kind::Copy, names, sourceFolder, target});
    loop.exec();
    const double seconds = secondsSince(start);
    return whole ? std::optional<double>(seconds) : std::nullopt;
}

// One run of one way by cp/mv or by us, from `source` (the set's folder) into the new folder `out`.
// A move takes its own copy of the set first, untimed, in `out`'s parent.
std::optional<double> timeRun(const Way& way, bool ours, const QString& source, const QString& out)
{
    QDir().mkpath(out);
    QString from = source;
    if (way.moving) {
        from = out + QStringLiteral("-moved");
        if (QProcess::execute("cp", {"-r", source, from}) != 0)
            return std::nullopt;
    }
    const QStringList names = way.whole ? QStringList{QFileInfo(from).fileName()} : namesIn(from);
    const QString folder = (way.whole ? QFileInfo(from).path() : from) + u'/';
    QStringList sources;
    for (const QString& name : names)
        sources << folder + name;
    // The disk starts each run quiet.
    QProcess::execute("sync", {});
    return ours ? timeOurs(way, folder, names, out) : timePeer(way, sources, out);
}

// Fastest of `repeat` runs of each way; false when a transfer failed. Every run writes a folder of
// its own, removed only at the end: ext4 hands out the inodes of files deleted moments ago slowly,
// which would make each run pay for the one before.
bool compare(const QString& dir, const QString& set, int repeat)
{
    const QString source = dir + u'/' + set;
    const QString outs = QStringLiteral("%1/out-%2").arg(dir, set);
    int files = 0;
    const qint64 bytes = bytesUnder(source, &files);
    warm(source);
    QDir(outs).removeRecursively();
    constexpr size_t kWayCount = std::size(kWays);
    double peer[kWayCount];
    double ours[kWayCount];
    std::fill(std::begin(peer), std::end(peer), std::numeric_limits<double>::max());
    std::fill(std::begin(ours), std::end(ours), std::numeric_limits<double>::max());
    bool whole = true;
    for (int r = 0; r < repeat && whole; ++r) {
        for (size_t w = 0; w < kWayCount && whole; ++w) {
            for (const bool byUs : {false, true}) {
                const QString out = QStringLiteral("%1/%2-%3-%4").arg(outs).arg(w).arg(byUs ? "ours" : "peer").arg(r);
                const std::optional<double> seconds = timeRun(kWays[w], byUs, source, out);
                whole = whole && seconds;
                double& best = byUs ? ours[w] : peer[w];
                best = std::min(best, seconds.value_or(best));
            }
        }
    }
    QDir(outs).removeRecursively();
    if (!whole) {
        std::fprintf(stderr, "filecopy: a transfer of %s failed\n", qPrintable(source));
        return false;
    }
    std::printf("%s: %d files, %.1f MiB\n", qPrintable(set), files, double(bytes) / (1 << 20));
    for (size_t w = 0; w < kWayCount; ++w) {
        const QString label =
            QString::fromLatin1(kWays[w].label).replace(QLatin1String("%1"), QString::number(namesIn(source).size()));
        std::printf("  %s: %s %.3f s, ours %.3f s, ratio %.2f\n", qPrintable(label), kWays[w].moving ? "mv" : "cp -r",
                    peer[w], ours[w], peer[w] / ours[w]);
    }
    return true;
}

std::optional<int> numberAfter(const QStringList& args, const QString& flag, int fallback, int most)
{
    const qsizetype at = args.indexOf(flag);
    if (at < 0)
        return fallback;
    bool ok = false;
    const int value = at + 1 < args.size() ? args[at + 1].toInt(&ok) : 0;
    if (!ok || value < 1 || value > most)
        return std::nullopt;
    return value;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--make") && args.size() >= 2) {
        const auto large = numberAfter(args, "--large", 8, kMaxCount);
        const auto largeMib = numberAfter(args, "--large-mib", 24, kMaxMib);
        const auto small = numberAfter(args, "--small", 10000, kMaxCount);
        if (!large || !largeMib || !small || !make(args[1], *large, *largeMib, *small)) {
            std::fprintf(stderr, "filecopy: cannot make %s\n", qPrintable(args[1]));
            return 1;
        }
        return 0;
    }
    const auto repeat = numberAfter(args, "--repeat", 3, kMaxRepeat);
    if (args.isEmpty() || args[0].startsWith("--") || !repeat) {
        std::fprintf(stderr, "usage: filecopy DIR [--repeat N] | filecopy --make DIR [--large N] [--large-mib M] "
                             "[--small N]\n");
        return 2;
    }
    const QString dir = QDir(args[0]).absolutePath();
    return compare(dir, "large", *repeat) && compare(dir, "small", *repeat) ? 0 : 1;
}
