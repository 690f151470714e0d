// listthumbnails: the file list's thumbnail worker end to end, as the list runs it.
//
//   listthumbnails [DIR] [--repeat N] [--memory N]
//       Serves the image rows of DIR (the files the list shows as pictures, in name order) with
//       the worker's full pool, keeping every picture in a thumbnail store, and prints thumbnails
//       per second; then the same for DIR's JPEGs that carry no EXIF thumbnail alone (the reduced
//       decode path); then the resident size of the process after thumbnails of N pictures
//       (default 10,000): symbolic links under distinct names to DIR's image files, taken round
//       robin, so that every link is decoded in full as a file of its own.
//       --repeat runs each rate N times and reports the fastest run. Without DIR a folder of 60
//       camera-like JPEGs is made by the corpus generator in a temporary folder.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>

#include "browser/thumbnailstore.h"
#include "browser/thumbnailworker.h"
#include "corpus.h"
#include "fileops/cfileinfo.h"
#include "procstatus.h"

namespace {

constexpr int kMaxRepeat = 100;
constexpr int kMaxMemoryRows = 1000000;
constexpr int kDefaultMemoryRows = 10000;
constexpr int kMadeCorpus = 60;
// An EXIF block lives in the first marker segments; 64 KiB holds the largest one.
constexpr qint64 kExifScan = 65536;

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

bool parseArguments(const QStringList& arguments, Options& options)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        bool ok = true;
        if (argument == QLatin1String("--repeat") && hasValue) {
            options.repeat = arguments[++i].toInt(&ok);
            ok = ok && options.repeat >= 1 && options.repeat <= kMaxRepeat;
        } else if (argument == QLatin1String("--memory") && hasValue) {
            options.memoryRows = arguments[++i].toInt(&ok);
            ok = ok && options.memoryRows >= 0 && options.memoryRows <= kMaxMemoryRows;
        } else if (!argument.startsWith(QLatin1Char('-')) && options.dir.isEmpty()) {
            options.dir = argument;
        } else {
            ok = false;
        }
        if (!ok)
            return false;
    }
    return true;
}

// True when a JPEG's APP1 EXIF segment embeds a JPEG (its IFD1 thumbnail).
bool hasExifThumbnail(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(kExifScan);
    qsizetype at = 2;
    while (at + 4 <= head.size() && uchar(head[at]) == 0xFF) {
        const uchar marker = uchar(head[at + 1]);
        const qsizetype length = (uchar(head[at + 2]) << 8) | uchar(head[at + 3]);
        if (marker == 0xDA || length < 2)
            return false;
        const QByteArray segment = head.mid(at + 4, length - 2);
        if (marker == 0xE1 && segment.startsWith(QByteArrayLiteral("Exif\0\0")))
            return segment.indexOf(QByteArrayLiteral("\xFF\xD8\xFF")) >= 0;
        at += 2 + length;
    }
    return false;
}

bool isJpeg(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(3) == QByteArrayLiteral("\xFF\xD8\xFF");
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
Pass serve(const QString& dir, const QStringList& names, CThumbnailStore& store)
{
    std::vector<ThumbnailJob> jobs;
    jobs.reserve(std::size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i)
        jobs.push_back({quint64(i + 1), names[i]});
    CThumbnailWorker worker;
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
    std::printf("%s: %lld rows, %d thumbnails, %d failed, %.3f s (CPU %.3f s), %.1f thumbnails/s\n", what,
                static_cast<long long>(names.size()), best.made, best.failed, best.seconds, best.cpuSeconds,
                best.seconds > 0 ? best.made / best.seconds : 0.0);
    std::fflush(stdout);
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
    if (!parseArguments(QGuiApplication::arguments(), options)) {
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
    QStringList plainJpegs; // no EXIF thumbnail: the reduced decode serves them
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files, QDir::Name)) {
        if (!CFileInfo::IsImageByExtension(entry.fileName()))
            continue;
        rows.append(entry.fileName());
        paths.append(entry.filePath());
        if (isJpeg(entry.filePath()) && !hasExifThumbnail(entry.filePath()))
            plainJpegs.append(entry.fileName());
    }
    warmUp(paths);
    std::printf("folder: %s, %lld image rows, %lld of them JPEGs without an EXIF thumbnail; pool of %d threads\n",
                qPrintable(dir.absolutePath()), static_cast<long long>(rows.size()),
                static_cast<long long>(plainJpegs.size()), std::max(1, QThread::idealThreadCount()));
    measureRate("list worker, all image rows", dir.path(), rows, options.repeat);
    measureRate("list worker, JPEGs without EXIF thumbnails", dir.path(), plainJpegs, options.repeat);
    if (options.memoryRows > 0 && !measureMemory(dir.path(), rows, options.memoryRows))
        return 1;
    return rows.isEmpty() ? 1 : 0;
}
