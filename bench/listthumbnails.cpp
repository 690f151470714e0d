// listthumbnails: the file list's thumbnail worker end to end, as the list runs it.
//
//   listthumbnails [DIR] [--repeat N] [--memory N]
//       First the resident size of the process after thumbnails of N pictures (default 10,000):
//       symbolic links under distinct names to DIR's image files, taken round robin, so that every
//       link is decoded in full as a file of its own. Then serves the image rows of DIR (the files
//       the list shows as pictures, in name order) with the worker's full pool, keeping every
//       picture in a thumbnail store, and prints thumbnails per second with the CPU time per
//       thumbnail; then the same for DIR's JPEGs (the files the floor program decodes), and for
//       each kind of row alone: JPEGs with an EXIF thumbnail, JPEGs without one (the reduced
//       decode path) and the other pictures. Last the shared thumbnail cache, in a cache folder of
//       its own: the first visit of DIR's image rows, which writes it, and the second, which
//       reads it.
//       --repeat runs each rate N times and reports the fastest run. Without DIR a folder of 60
//       camera-like JPEGs is made by the corpus generator in a temporary folder.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>

#include "arguments.h"
#include "browser/thumbnailstore.h"
#include "browser/thumbnailworker.h"
#include "corpus.h"
#include "exifthumbnail.h"
#include "fileops/cfileinfo.h"
#include "platform/thumbnailcache.h"
#include "procstatus.h"

namespace {

constexpr int kMaxRepeat = 100;
constexpr int kMaxMemoryRows = 1000000;
constexpr int kDefaultMemoryRows = 10000;
constexpr int kMadeCorpus = 60;

struct Options {
    QString dir;
    int repeat = 1;
    int memoryRows = kDefaultMemoryRows;
};

struct Pass {
    int made = 0;
    int failed = 0;
    double seconds = 0;
    double cpuSeconds = 0; // of the whole process: what other work on the machine does not inflate
    qint64 storeBytes = 0;
};

// The first bytes of a file, where a JPEG keeps its EXIF thumbnail.
QByteArray headOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(bench::kExifScanBytes) : QByteArray();
}

void warmUp(const QStringList& paths)
{
    for (const QString& path : paths) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            while (!file.read(1 << 20).isEmpty()) {
            }
    }
}

// One pass of the worker over `names` of `dir`, the results kept in `store` as the list keeps them.
Pass serve(const QString& dir, const QStringList& names, CThumbnailStore& store,
           std::shared_ptr<const ThumbnailCache> cache = nullptr)
{
    std::vector<ThumbnailJob> jobs;
    jobs.reserve(std::size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i)
        jobs.push_back({quint64(i + 1), names[i]});
    CThumbnailWorker worker;
    worker.setCache(std::move(cache));
    Pass pass;
    QObject::connect(&worker, &CThumbnailWorker::thumbnailReady,
                     [&](quint64, quint64, const QImage& picture) { pass.made += store.add(picture) >= 0; });
    QObject::connect(&worker, &CThumbnailWorker::failed, [&] { ++pass.failed; });
    QEventLoop loop;
    QObject::connect(&worker, &CThumbnailWorker::finished, &loop, &QEventLoop::quit);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    worker.start(dir, std::move(jobs), 1);
    loop.exec();
    pass.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    pass.cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    pass.storeBytes = store.byteSize();
    return pass;
}

void printPass(const char* what, const QStringList& names, const Pass& best)
{
    std::printf("%s: %lld rows, %d thumbnails, %d failed, %.3f s (CPU %.3f s, %.2f ms per thumbnail), "
                "%.1f thumbnails/s\n",
                what, static_cast<long long>(names.size()), best.made, best.failed, best.seconds, best.cpuSeconds,
                best.made > 0 ? 1000 * best.cpuSeconds / best.made : 0.0,
                best.seconds > 0 ? best.made / best.seconds : 0.0);
    std::fflush(stdout);
}

void measureRate(const char* what, const QString& dir, const QStringList& names, int repeat)
{
    if (names.isEmpty()) {
        std::printf("%s: no rows\n", what);
        return;
    }
    Pass best;
    for (int run = 0; run < repeat; ++run) {
        CThumbnailStore store;
        const Pass pass = serve(dir, names, store);
        if (run == 0 || pass.seconds < best.seconds)
            best = pass;
    }
    printPass(what, names, best);
}

// The first visit with an empty cache, then the second visit, each the fastest of `repeat` runs.
// XDG_CACHE_HOME points to a folder of its own, so that the user's cache plays no part.
void measureCache(const QString& dir, const QStringList& names, int repeat)
{
    QTemporaryDir home;
    if (names.isEmpty() || !home.isValid())
        return;
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path()));
    const QString root = ThumbnailCache::standardRoot();
    const auto cache = std::make_shared<const ThumbnailCache>(root);
    Pass first;
    Pass second;
    for (int run = 0; run < repeat; ++run) {
        QDir(root).removeRecursively();
        for (Pass* best : {&first, &second}) {
            CThumbnailStore store;
            const Pass pass = serve(dir, names, store, cache);
            if (run == 0 || pass.seconds < best->seconds)
                *best = pass;
        }
    }
    printPass("cache, first visit (written)", names, first);
    printPass("cache, second visit (read)", names, second);
}

bool measureMemory(const QString& dir, const QStringList& names, int rows)
{
    QTemporaryDir links;
    if (!links.isValid() || names.isEmpty())
        return false;
    QStringList linkNames;
    for (int i = 0; i < rows; ++i) {
        const QString& name = names[i % names.size()];
        const QString linkName = QStringLiteral("%1-%2").arg(i, 6, 10, QLatin1Char('0')).arg(name);
        if (!QFile::link(QDir(dir).filePath(name), links.filePath(linkName))) {
            std::fprintf(stderr, "listthumbnails: cannot make links in %s\n", qPrintable(links.path()));
            return false;
        }
        linkNames.append(linkName);
    }
    const double before = bench::residentMegabytes("VmRSS");
    CThumbnailStore store;
    const Pass pass = serve(links.path(), linkNames, store);
    std::printf("memory: %d rows (links to %lld files), %d thumbnails, %d failed, %.1f s; store %.1f MB; "
                "VmRSS %.1f MB before, %.1f MB after (peak %.1f MB)\n",
                rows, static_cast<long long>(names.size()), pass.made, pass.failed, pass.seconds,
                double(pass.storeBytes) / 1e6, before, bench::residentMegabytes("VmRSS"), bench::residentMegabytes("VmHWM"));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Options options;
    if (!bench::parseArguments(
            QGuiApplication::arguments(), options.dir,
            {{"--repeat", &options.repeat, 1, kMaxRepeat}, {"--memory", &options.memoryRows, 0, kMaxMemoryRows}})) {
        std::fputs("usage: listthumbnails [DIR] [--repeat N] [--memory N]\n", stderr);
        return 2;
    }
    QTemporaryDir made;
    if (options.dir.isEmpty()) {
        if (!made.isValid() || !bench::makeCorpus(made.path(), kMadeCorpus))
            return 1;
        options.dir = made.path();
    }
    const QDir dir(options.dir);
    if (!dir.exists()) {
        std::fprintf(stderr, "listthumbnails: no folder %s\n", qPrintable(options.dir));
        return 1;
    }

    QStringList rows;
    QStringList paths;
    // The rows by kind of file, each timed on its own for its CPU time per thumbnail; the JPEGs
    // together are the files the floor program decodes.
    QStringList jpegs;
    QStringList exifJpegs;
    QStringList plainJpegs; // no EXIF thumbnail: the reduced decode serves them
    QStringList others;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files, QDir::Name)) {
        if (!CFileInfo::IsImageByExtension(entry.fileName()))
            continue;
        rows.append(entry.fileName());
        paths.append(entry.filePath());
        const QByteArray head = headOf(entry.filePath());
        if (!bench::isJpeg(head))
            others.append(entry.fileName());
        else
            (bench::exifThumbnail(head).isEmpty() ? plainJpegs : exifJpegs).append(entry.fileName());
    }
    jpegs = exifJpegs + plainJpegs;
    jpegs.sort();
    warmUp(paths);
    std::printf("folder: %s, %lld image rows: %lld JPEGs with an EXIF thumbnail, %lld without, %lld others; "
                "pool of %d threads\n",
                qPrintable(dir.absolutePath()), static_cast<long long>(rows.size()),
                static_cast<long long>(exifJpegs.size()), static_cast<long long>(plainJpegs.size()),
                static_cast<long long>(others.size()), std::max(1, QThread::idealThreadCount()));
    // The memory pass comes first: what the allocator keeps of the later passes' pictures would
    // count as the list's otherwise.
    if (options.memoryRows > 0 && !measureMemory(dir.path(), rows, options.memoryRows))
        return 1;
    measureRate("list worker, all image rows", dir.path(), rows, options.repeat);
    measureRate("list worker, all JPEGs", dir.path(), jpegs, options.repeat);
    measureRate("list worker, JPEGs with EXIF thumbnails", dir.path(), exifJpegs, options.repeat);
    measureRate("list worker, JPEGs without EXIF thumbnails", dir.path(), plainJpegs, options.repeat);
    measureRate("list worker, other pictures", dir.path(), others, options.repeat);
    measureCache(dir.path(), rows, options.repeat);
    return rows.isEmpty() ? 1 : 0;
}
