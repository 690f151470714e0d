// search: how fast the file search walks nested folders, against `find -name` on the same tree.
//
//   search DIR [--pattern MASK] [--repeat N]
//       Walks DIR once (a warm cache), then times a whole search by CFileFinder (the walk on its
//       worker, the finds delivered to this thread in batches) and `find DIR -name MASK >
//       /dev/null`, N times each (default 3), and prints the fastest times, both counts and the
//       ratio find time / our time (1.0: as fast as find). MASK defaults to "photo*".
//   search --make DIR N
//       Makes N empty files in nested folders: 10 folders of 10 folders of 10 holding an even
//       share each, named photo..., IMG_... and scan... with a few extensions, all lower case so
//       that find's case-sensitive -name and our case-blind mask find the same files.

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
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "fileops/cfilefinder.h"
#include "peertiming.h"

namespace {

constexpr int kMaxFiles = 10000000;
constexpr int kMaxRepeat = 100;
constexpr int kFanOut = 10; // sub-folders per folder, three levels deep

bool makeTree(const QString& dir, int count)
{
    static const char* const kStems[] = {"photo", "img_", "scan"};
    static const char* const kExtensions[] = {"jpg", "png", "gif", "txt"};
    const int leaves = kFanOut * kFanOut * kFanOut;
    for (int leaf = 0; leaf < leaves; ++leaf) {
        const QString folder = QStringLiteral("%1/d%2/d%3/d%4")
                                   .arg(dir)
                                   .arg(leaf / (kFanOut * kFanOut))
                                   .arg(leaf / kFanOut % kFanOut)
                                   .arg(leaf % kFanOut);
        if (!QDir().mkpath(folder)) {
            std::fprintf(stderr, "search: cannot make %s\n", qPrintable(folder));
            return false;
        }
        for (int i = leaf; i < count; i += leaves) {
            QFile file(QStringLiteral("%1/%2%3.%4")
                           .arg(folder, QLatin1String(kStems[i % std::size(kStems)]))
                           .arg(i, 6, 10, QLatin1Char('0'))
                           .arg(QLatin1String(kExtensions[i / 3 % std::size(kExtensions)])));
            if (!file.open(QIODevice::WriteOnly)) {
                std::fprintf(stderr, "search: cannot write %s\n", qPrintable(file.fileName()));
                return false;
            }
        }
    }
    return true;
}

struct Run {
    double seconds = std::numeric_limits<double>::max();
    double cpuSeconds = std::numeric_limits<double>::max(); // user + system, every thread
    int found = 0;
};

// One whole search, from FindFiles to the finished signal on this thread.
Run timeOurs(CFileFinder& finder, const CFileFinder::Options& options)
{
    QEventLoop loop;
    const auto connection = QObject::connect(&finder, &CFileFinder::finished, &loop, &QEventLoop::quit);
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    finder.FindFiles(options);
    loop.exec();
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    run.found = finder.GetFindCount();
    QObject::disconnect(connection);
    return run;
}

int usage()
{
    std::fprintf(stderr, "usage: search DIR [--pattern MASK] [--repeat N]\n"
                         "       search --make DIR N\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (const std::optional<int> made = runMake(args, kMaxFiles, makeTree))
        return *made == 2 ? usage() : *made;
    if (args.isEmpty())
        return usage();
    const QString dir = QDir(args.takeFirst()).absolutePath();
    QString pattern = QStringLiteral("photo*");
    int repeat = 3;
    while (args.size() >= 2) {
        const QString option = args.takeFirst();
        const QString value = args.takeFirst();
        bool ok = false;
        if (option == QLatin1String("--pattern") && !value.isEmpty()) {
            pattern = value;
        } else if (option == QLatin1String("--repeat")) {
            repeat = value.toInt(&ok);
            if (!ok || repeat < 1 || repeat > kMaxRepeat)
                return usage();
        } else {
            return usage();
        }
    }
    if (!args.isEmpty())
        return usage();

    CFileFinder::Options options;
    options.folder = dir;
    options.mask = pattern;
    CFileFinder finder;
    const QString findScript = QStringLiteral("find \"$1\" -name \"$2\" > /dev/null");
    const bool haveFind = !QStandardPaths::findExecutable(QStringLiteral("find")).isEmpty();

    // Warm the cache for both.
    const int found = timeOurs(finder, options).found;
    const bool findRuns = haveFind && timeShellScript(findScript, {dir, pattern}).has_value();
    // The count find prints, to show both found the same.
    int findCount = -1;
    if (findRuns) {
        QProcess counter;
        counter.start(QStringLiteral("find"), {dir, QStringLiteral("-name"), pattern});
        counter.waitForFinished(-1);
        findCount = int(counter.readAllStandardOutput().count('\n'));
    }

    // The fastest run counts: other work on the machine only ever slows a run down.
    Run ours;
    PeerTiming peer{std::numeric_limits<double>::max(), std::numeric_limits<double>::max()};
    for (int i = 0; i < repeat; ++i) {
        const Run run = timeOurs(finder, options);
        ours.seconds = std::min(ours.seconds, run.seconds);
        ours.cpuSeconds = std::min(ours.cpuSeconds, run.cpuSeconds);
        if (const std::optional<PeerTiming> find =
                findRuns ? timeShellScript(findScript, {dir, pattern}) : std::nullopt) {
            peer.seconds = std::min(peer.seconds, find->seconds);
            peer.cpuSeconds = std::min(peer.cpuSeconds, find->cpuSeconds);
        }
    }
    std::printf("tree %s, mask %s, best of %d\n", qPrintable(dir), qPrintable(pattern), repeat);
    std::printf("ours (CFileFinder)  %8.1f ms  %8.1f ms CPU  %d found\n", ours.seconds * 1000, ours.cpuSeconds * 1000,
                found);
    if (!findRuns) {
        std::printf("find: not available\n");
        return 0;
    }
    std::printf("find -name          %8.1f ms  %8.1f ms CPU  %d found\n", peer.seconds * 1000, peer.cpuSeconds * 1000,
                findCount);
    // CPU time shows the work apart from what else the machine does; the shell counts find's in
    // hundredths of a second.
    std::printf("ratio find/ours     %8.2f", peer.seconds / ours.seconds);
    if (peer.cpuSeconds > 0 && ours.cpuSeconds > 0)
        std::printf("   (CPU time: %.2f)", peer.cpuSeconds / ours.cpuSeconds);
    std::printf("\n");
    return 0;
}
