// thumbnails: how fast the file list's thumbnails are made.
//
//   thumbnails DIR [--threads N]... [--repeat N] [--save OUTDIR]
//       Reads every file of DIR once (a warm cache), then makes the 76 x 76 thumbnail cell of each
//       file the image library reads, as the file list draws it, with 1 and then 2 threads (or the
//       --threads counts given) and prints thumbnails per second and how many files failed.
//       --repeat runs each count N times and reports the fastest run, which the other work of a
//       busy machine disturbs least. --save writes the cells as PNG files afterwards, to look at.
//   thumbnails --make-corpus DIR N
//       Writes N camera-like JPEGs into DIR (see corpus.h).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>

#include "browser/thumbnailcell.h"
#include "corpus.h"
#include "imagelib/cbmpex.h"

namespace {

constexpr int kCell = 76;
// The picture area of a cell: the cell less its 5-pixel margins.
constexpr int kPictureArea = 66;
constexpr int kMaxThreads = 64;
constexpr int kMaxRepeat = 100;
constexpr int kMaxCorpus = 100000;
constexpr int kFailuresListed = 20;

struct Options {
    QString dir;
    std::vector<int> threadCounts;
    QString saveDir;
    int repeat = 1;
    int corpusCount = 0; // non-zero: make a corpus instead of measuring
};

struct RunResult {
    int made = 0;
    int failed = 0;
    double seconds = 0;
    double cpuSeconds = 0; // of the whole process: what other work on the machine does not inflate
};

// One thread's thumbnail maker: its own library handle, asking for a picture just big enough for
// the cell so the library may decode at a reduced size or use an embedded thumbnail.
class ThumbnailMaker {
public:
    ThumbnailMaker() : m_cell(kCell, kCell, QImage::Format_RGB32)
    {
        m_picture.setLoadSizeHint(QSize(kPictureArea, kPictureArea));
    }

    // False when the library cannot read the file or draw it.
    bool make(const QString& path)
    {
        if (!m_picture.Load(path))
            return false;
        QPainter painter(&m_cell);
        return thumbnailcell::DrawThumbnail(&painter, QRect(0, 0, kCell, kCell), m_picture);
    }

    const QImage& cell() const { return m_cell; }

private:
    CBmpEx m_picture;
    QImage m_cell;
};

void printUsage()
{
    std::fputs("usage: thumbnails DIR [--threads N]... [--repeat N] [--save OUTDIR]\n"
               "       thumbnails --make-corpus DIR N\n",
               stderr);
}

// A count argument in 1..maximum; 0 when it is not one.
int parseCount(const QString& text, int maximum)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 1 && value <= maximum ? value : 0;
}

bool parseArguments(const QStringList& arguments, Options& options)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (argument == QLatin1String("--make-corpus")) {
            if (i + 2 >= arguments.size() || !options.dir.isEmpty())
                return false;
            options.dir = arguments[++i];
            options.corpusCount = parseCount(arguments[++i], kMaxCorpus);
            if (options.corpusCount == 0)
                return false;
        } else if (argument == QLatin1String("--threads") && hasValue) {
            const int count = parseCount(arguments[++i], kMaxThreads);
            if (count == 0)
                return false;
            options.threadCounts.push_back(count);
        } else if (argument == QLatin1String("--repeat") && hasValue) {
            options.repeat = parseCount(arguments[++i], kMaxRepeat);
            if (options.repeat == 0)
                return false;
        } else if (argument == QLatin1String("--save") && hasValue) {
            options.saveDir = arguments[++i];
        } else if (!argument.startsWith(QLatin1Char('-')) && options.dir.isEmpty()) {
            options.dir = argument;
        } else {
            return false;
        }
    }
    if (options.corpusCount != 0)
        return options.threadCounts.empty() && options.saveDir.isEmpty() && options.repeat == 1;
    if (options.threadCounts.empty())
        options.threadCounts = {1, 2};
    return !options.dir.isEmpty();
}

// Reads every file through once so the timed runs find them in the page cache; returns the bytes
// read.
qint64 warmUp(const QStringList& files)
{
    std::vector<char> buffer(std::size_t(1) << 20);
    qint64 total = 0;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (qint64 got; (got = file.read(buffer.data(), qint64(buffer.size()))) > 0;)
            total += got;
    }
    return total;
}

// Files are dealt out by an atomic index, so a slow file holds up only its own thread.
RunResult run(const QStringList& files, int threads, std::vector<char>& failed)
{
    std::atomic<qsizetype> next{0};
    std::atomic<int> made{0};
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    {
        std::vector<std::jthread> workers;
        for (int i = 0; i < threads; ++i) {
            workers.emplace_back([&] {
                ThumbnailMaker maker;
                int mine = 0;
                for (qsizetype index = next++; index < files.size(); index = next++) {
                    const bool ok = maker.make(files[index]);
                    failed[std::size_t(index)] = !ok;
                    mine += ok;
                }
                made += mine;
            });
        }
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return {made, int(files.size()) - made, elapsed.count(), double(std::clock() - cpuStart) / CLOCKS_PER_SEC};
}

bool saveThumbnails(const QStringList& files, const QString& outDir)
{
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "thumbnails: cannot make the folder %s\n", qPrintable(outDir));
        return false;
    }
    ThumbnailMaker maker;
    for (const QString& path : files) {
        const QString target = QDir(outDir).filePath(QFileInfo(path).fileName() + QStringLiteral(".png"));
        if (maker.make(path) && !maker.cell().save(target)) {
            std::fprintf(stderr, "thumbnails: cannot write %s\n", qPrintable(target));
            return false;
        }
    }
    return true;
}

void printFailures(const QStringList& files, const std::vector<char>& failed)
{
    int listed = 0;
    for (qsizetype i = 0; i < files.size() && listed < kFailuresListed; ++i) {
        if (failed[std::size_t(i)]) {
            std::printf("%s %s", listed == 0 ? "failed:" : ",", qPrintable(QFileInfo(files[i]).fileName()));
            ++listed;
        }
    }
    const auto total = std::count(failed.begin(), failed.end(), char(1));
    if (total > listed)
        std::printf(" and %lld more", static_cast<long long>(total - listed));
    if (listed > 0)
        std::printf("\n");
}

int measure(const Options& options)
{
    const QDir dir(options.dir);
    if (!dir.exists()) {
        std::fprintf(stderr, "thumbnails: no folder %s\n", qPrintable(options.dir));
        return 1;
    }
    QStringList files;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files, QDir::Name))
        files.append(entry.filePath());
    const qint64 bytes = warmUp(files);
    std::printf("folder: %s, %lld files, %.1f MB", qPrintable(dir.absolutePath()), static_cast<long long>(files.size()),
                double(bytes) / 1e6);
    if (options.repeat > 1)
        std::printf("; the fastest of %d runs each", options.repeat);
    std::printf("\n");

    std::vector<char> failed(std::size_t(files.size()), 0);
    bool anyMade = false;
    for (std::size_t i = 0; i < options.threadCounts.size(); ++i) {
        const int threads = options.threadCounts[i];
        RunResult result = run(files, threads, failed);
        for (int again = 1; again < options.repeat; ++again) {
            const RunResult next = run(files, threads, failed);
            if (next.seconds < result.seconds)
                result = next;
        }
        std::printf("threads %d: %d thumbnails, %d failed, %.3f s (CPU %.3f s), %.1f thumbnails/s\n", threads,
                    result.made, result.failed, result.seconds, result.cpuSeconds,
                    result.seconds > 0 ? result.made / result.seconds : 0.0);
        std::fflush(stdout);
        if (i == 0)
            printFailures(files, failed);
        anyMade = anyMade || result.made > 0;
    }
    if (!options.saveDir.isEmpty() && !saveThumbnails(files, options.saveDir))
        return 1;
    return anyMade ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Options options;
    if (!parseArguments(QGuiApplication::arguments(), options)) {
        printUsage();
        return 2;
    }
    if (options.corpusCount != 0) {
        const auto start = std::chrono::steady_clock::now();
        if (!bench::makeCorpus(options.dir, options.corpusCount))
            return 1;
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        std::printf("make-corpus: %d pictures in %s (%.1f s)\n", options.corpusCount, qPrintable(options.dir),
                    elapsed.count());
        return 0;
    }
    return measure(options);
}
