// population: how fast the file list reads a folder, against `find` on the same folder.
//
//   population DIR [--repeat N] [--sort KEY]
//       Reads DIR once (a warm cache), then times our population worker end to end (listing,
//       records, sorting, delivery to the UI thread) and `find DIR -maxdepth 1 -printf
//       '%s %T@ %p\n' > /dev/null` in the same run, N times each (default 3), and prints the
//       fastest rates in entries per second and their ratio. KEY is the files' sort key
//       (0 Name, the default; 1 Size ... 6 Extension; -1 as read).
//   population --make DIR N
//       Makes a folder of N files (a few in a hundred are folders) with names of mixed case and
//       extensions and sizes from 0 to some megabytes (files are sparse: no data is written).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>

#include "browser/folderworkers.h"
#include "peertiming.h"

namespace {

constexpr int kMaxFiles = 10000000;
constexpr int kMaxRepeat = 100;
constexpr const char* kFindFormat = "%s %T@ %p\\n";

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A small generator of our own, so that the same N always gives the same folder.
quint32 nextRandom(quint32& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

bool makeFolder(const QString& dir, int count)
{
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "population: cannot make %s\n", qPrintable(dir));
        return false;
    }
    static const char* const kExtensions[] = {"jpg", "JPG", "png", "gif", "bmp", "tif", "txt", "mp4"};
    static const char* const kStems[] = {"IMG_", "img", "Photo ", "scan-", "DSC", "holiday_"};
    quint32 state = 12345;
    for (int i = 0; i < count; ++i) {
        const quint32 r = nextRandom(state);
        const QString stem = QLatin1String(kStems[r % std::size(kStems)]);
        const QString name = QStringLiteral("%1%2").arg(stem).arg(i, 6, 10, QLatin1Char('0'));
        if (r % 100 == 0) {
            if (!QDir(dir).mkdir(name))
                return false;
            continue;
        }
        QFile file(dir + QLatin1Char('/') + name + QLatin1Char('.') +
                   QLatin1String(kExtensions[(r >> 8) % std::size(kExtensions)]));
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(nextRandom(state) % (8u << 20)))) {
            std::fprintf(stderr, "population: cannot write %s\n", qPrintable(file.fileName()));
            return false;
        }
    }
    return true;
}

struct Run {
    double seconds = 0;
    double cpuSeconds = 0; // user + system, every thread
    int rows = 0;
};

// One read by the worker, from start() to the rows in our hands on this (the UI) thread. The rows
// are kept, as the list keeps them, and freed after the clock stopped.
Run timeOurs(CPopulationWorker& worker, const FolderRequest& request)
{
    Run run;
    QEventLoop loop;
    std::vector<FileItem> rows;
    const auto connection =
        QObject::connect(&worker, &CPopulationWorker::populationOver, &loop, [&](const FolderListingPtr& listing) {
            run.rows = listing->ok ? int(listing->rows.size()) : -1;
            rows = std::move(listing->rows);
            loop.quit();
        });
    const std::clock_t cpuStart = std::clock();
    const auto start = Clock::now();
    worker.start(request);
    loop.exec();
    run.seconds = secondsSince(start);
    run.cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    QObject::disconnect(connection);
    return run;
}

int usage()
{
    std::fprintf(stderr, "usage: population DIR [--repeat N] [--sort KEY]\n"
                         "       population --make DIR N\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (const std::optional<int> made = runMake(args, kMaxFiles, makeFolder))
        return *made == 2 ? usage() : *made;
    if (args.isEmpty())
        return usage();
    QString dir = QDir(args.takeFirst()).absolutePath();
    int repeat = 3;
    int sortKey = fileitem::kByName;
    while (args.size() >= 2) {
        const QString option = args.takeFirst();
        bool ok = false;
        const int value = args.takeFirst().toInt(&ok);
        if (!ok)
            return usage();
        if (option == QLatin1String("--repeat") && value >= 1 && value <= kMaxRepeat)
            repeat = value;
        else if (option == QLatin1String("--sort") && value >= -1 && value <= fileitem::kByExtension)
            sortKey = value;
        else
            return usage();
    }
    if (!args.isEmpty())
        return usage();

    FolderRequest request;
    request.folder = dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
    request.sortKey = sortKey;
    CPopulationWorker worker;
    const bool haveFind = !QStandardPaths::findExecutable(QStringLiteral("find")).isEmpty();

    // Warm the cache for both.
    const Run first = timeOurs(worker, request);
    if (first.rows < 0) {
        std::fprintf(stderr, "population: cannot read %s\n", qPrintable(dir));
        return 1;
    }
    const bool findRuns = haveFind && timeFind(dir, kFindFormat).has_value();

    // The fastest run counts: other work on the machine only ever slows a run down.
    Run ours{std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), first.rows};
    Run peer = ours;
    for (int i = 0; i < repeat; ++i) {
        const Run run = timeOurs(worker, request);
        ours.seconds = std::min(ours.seconds, run.seconds);
        ours.cpuSeconds = std::min(ours.cpuSeconds, run.cpuSeconds);
        if (const std::optional<PeerTiming> find = findRuns ? timeFind(dir, kFindFormat) : std::nullopt) {
            peer.seconds = std::min(peer.seconds, find->seconds);
            peer.cpuSeconds = std::min(peer.cpuSeconds, find->cpuSeconds);
        }
    }
    // Our rows hold the parent entry where find prints the folder itself: the same count.
    const int entries = first.rows;
    std::printf("folder %s: %d rows, sort key %d, best of %d\n", qPrintable(dir), entries, sortKey, repeat);
    std::printf("ours (population worker) %10.0f entries/s  %8.1f ms  %8.1f ms CPU\n", entries / ours.seconds,
                ours.seconds * 1000, ours.cpuSeconds * 1000);
    if (peer.seconds == std::numeric_limits<double>::max()) {
        std::printf("find: not available\n");
        return 0;
    }
    std::printf("find -printf             %10.0f entries/s  %8.1f ms  %8.1f ms CPU\n", entries / peer.seconds,
                peer.seconds * 1000, peer.cpuSeconds * 1000);
    // CPU time shows the work apart from what else the machine does (ours may use two cores);
    // the shell counts it in hundredths of a second, too coarse for a small folder.
    std::printf("ratio ours/find          %10.2f", peer.seconds / ours.seconds);
    if (peer.cpuSeconds > 0 && ours.cpuSeconds > 0)
        std::printf("   (CPU time: %.2f)", peer.cpuSeconds / ours.cpuSeconds);
    std::printf("\n");
    return 0;
}
