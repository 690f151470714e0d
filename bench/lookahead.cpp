// lookahead: the two halves of moving to the next picture in the viewer, on a folder's
// 12-megapixel JPEGs.
//
//   lookahead DIR [--repeat N] [--djpeg PROGRAM]
//       Takes the JPEGs of DIR whose header says about 12 megapixels (11.5 to 12.5 million
//       pixels), loads each once untimed (a warm cache), then times per picture, N times each:
//         load      CBmpEx::Load into the current image (the move without look-ahead);
//         djpeg     `djpeg -outfile /dev/null FILE` as a process, the peer's full decode, next to
//                   the time of starting a process that does nothing;
//         hit       CPictureLookahead::take() after a prefetch() that had time to finish;
//         miss      take() right after prefetch(): it waits for the decode under way.
//       Every way runs on each picture in turn. Prints the median and the 90th percentile of
//       each, and the ratio of load to djpeg.
//       djpeg is looked up on PATH unless --djpeg names it; without it that line says so.

#include <cstdio>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTimer>

#include "imagelib/cbmpex.h"
#include "viewer/cpicturelookahead.h"
#include "viewertiming.h"

namespace {

using namespace viewertiming;

constexpr int kMaxRepeat = 100;
constexpr int kPrefetchTimeoutMs = 60'000;

// Waits until the prefetch of `path` ended; true when its picture is held.
bool waitForPrefetch(CPictureLookahead& lookahead, const QString& path)
{
    QEventLoop loop;
    bool held = false;
    QObject::connect(&lookahead, &CPictureLookahead::prefetched, &loop, [&](const QString& done, bool ok) {
        if (done == path) {
            held = ok;
            loop.quit();
        }
    });
    QTimer::singleShot(kPrefetchTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return held;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("folder of pictures"));
    const QCommandLineOption repeatOption(QStringLiteral("repeat"), QStringLiteral("runs per picture"),
                                          QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption djpegOption(QStringLiteral("djpeg"), QStringLiteral("the djpeg program"),
                                         QStringLiteral("PROGRAM"));
    parser.addOption(repeatOption);
    parser.addOption(djpegOption);
    parser.process(app);
    bool repeatOk = false;
    const int repeat = parser.value(repeatOption).toInt(&repeatOk);
    if (parser.positionalArguments().size() != 1 || !repeatOk || repeat < 1 || repeat > kMaxRepeat) {
        std::fputs("usage: lookahead DIR [--repeat N] [--djpeg PROGRAM]\n", stderr);
        return 2;
    }
    const QString folder = parser.positionalArguments().constFirst();
    const QStringList pictures = twelveMegapixelJpegs(folder);
    std::printf("folder: %s, %lld 12-megapixel JPEGs, %d runs each\n", qPrintable(QDir(folder).absolutePath()),
                static_cast<long long>(pictures.size()), repeat);
    if (pictures.isEmpty())
        return 1;

    CBmpEx current;
    int failed = 0;
    for (const QString& path : pictures)
        failed += !current.Load(path);
    if (failed > 0) {
        std::printf("%d pictures failed to load\n", failed);
        return 1;
    }

    const QString djpegProgram =
        parser.isSet(djpegOption) ? parser.value(djpegOption) : QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    const QString nothing = QStandardPaths::findExecutable(QStringLiteral("true"));
    // Every way is timed on each picture in turn, so that other work on the machine weighs on
    // all of them alike; the per-picture ratio to djpeg cancels what remains.
    std::vector<double> loads, djpeg, processStart, ratios, hits, misses;
    CPictureLookahead lookahead;
    for (int run = 0; run < repeat; ++run) {
        for (const QString& path : pictures) {
            Clock::time_point start = Clock::now();
            if (!current.Load(path))
                std::fprintf(stderr, "lookahead: cannot read %s\n", qPrintable(path));
            loads.push_back(millisecondsSince(start));

            if (!djpegProgram.isEmpty()) {
                const double ms =
                    timeProcess(djpegProgram, {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), path}, kPrefetchTimeoutMs);
                if (ms <= 0) {
                    std::printf("djpeg failed on %s\n", qPrintable(path));
                    return 1;
                }
                djpeg.push_back(ms);
                ratios.push_back(loads.back() / ms);
                if (!nothing.isEmpty())
                    processStart.push_back(timeProcess(nothing, {}, kPrefetchTimeoutMs));
            }

            lookahead.prefetch(path);
            if (!waitForPrefetch(lookahead, path)) {
                std::printf("the look-ahead did not decode %s\n", qPrintable(path));
                return 1;
            }
            start = Clock::now();
            const bool hit = lookahead.take(path, current);
            hits.push_back(millisecondsSince(start));

            lookahead.prefetch(path);
            start = Clock::now();
            const bool waited = lookahead.take(path, current);
            misses.push_back(millisecondsSince(start));
            if (!hit || !waited) {
                std::printf("take() refused %s\n", qPrintable(path));
                return 1;
            }
        }
    }

    printLine("load: CBmpEx::Load", loads);
    if (djpeg.empty()) {
        std::printf("%-40s not found\n", "djpeg -outfile /dev/null:");
    } else {
        printLine("djpeg -outfile /dev/null, as a process", djpeg);
        if (!processStart.empty())
            printLine("  of which starting a process (true)", processStart);
    }
    printLine("hit: take() after a finished prefetch", hits);
    printLine("miss: take() right after prefetch()", misses);
    if (!ratios.empty())
        std::printf("ratio load / djpeg: median %.2f per picture, %.2f of the medians (goal without look-ahead: "
                    "at most 1.3)\n",
                    spreadOf(ratios).median, spreadOf(loads).median / spreadOf(djpeg).median);
    return 0;
}
