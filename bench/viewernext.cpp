// viewernext: the viewer's Next command on 12-megapixel JPEGs, from the command to the new picture
// painted, in an image view of 1280 x 800 (offscreen unless a platform is chosen).
//
//   viewernext DIR [--count N] [--repeat N] [--djpeg PROGRAM]
//       Copies the first N (default 12) JPEGs of DIR whose header says about 12 megapixels into a
//       folder of its own, opens the first in the view and steps through them with Next, N x
//       repeat moves per way, timing each from the command to the end of a synchronous repaint:
//         look-ahead     the view's own look-ahead had decoded and laid out the picture before
//                        the move, in each of the four fit modes ("fit window to image" at zoom
//                        1 with a window that is not resized, "fit image to window", "best fit"
//                        and "zoom lock" keeping the fitted zoom);
//         no look-ahead  the look-ahead's budget is 0, so every move reads the file: at zoom 1,
//                        and fitted into the window, where the preview (EXIF thumbnail or
//                        1/8-scale decode) is painted first and timed on its own.
//       Next to them: `djpeg -outfile /dev/null FILE` and `djpeg -scale 1/8 -outfile /dev/null
//       FILE` as processes, the smooth downscale alone and the preview's decode alone. Prints
//       the median and the 90th percentile of each with the processor time (user + system) per
//       move, of the UI thread and of all threads (the child's for a peer), the ratio of the
//       move without look-ahead to djpeg, the slowest fit mode after a look-ahead hit (goal
//       under 8 ms) and the preview against djpeg -scale 1/8 (goal under 40 ms).

#include <algorithm>
#include <cstdio>
#include <vector>

#include <sys/resource.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#include "core/commands.h"
#include "core/messages.h"
#include "imagelib/cbmpex.h"
#include "recordinghost.h"
#include "viewer/cimageview.h"
#include "viewertiming.h"

namespace {

using namespace viewertiming;

constexpr int kMaxRepeat = 100;
constexpr int kWaitMs = 60'000;
constexpr int kWakeMs = 100;
constexpr QSize kViewSize{1280, 800};

// Sleeps between events rather than polling, so that the UI thread's processor time is that of
// its work; the timer wakes it to check the time limit.
bool waitUntil(const std::function<bool()>& done)
{
    const Clock::time_point start = Clock::now();
    QTimer wake;
    wake.start(kWakeMs);
    while (!done()) {
        if (millisecondsSince(start) > kWaitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Processor time in milliseconds, user and system: of this process (all its threads), of the
// calling thread, or of the children that ended.
double cpuMilliseconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

// The path the view's look-ahead works on after a move: the next row of its list.
QString nextPath(CImageView& view)
{
    const PictureList& list = view.controller().pictureList();
    const int row = list.firstSelectedRow();
    return list.folder() + list.rowName((row + 1) % list.rowCount());
}

struct Moves {
    std::vector<double> times;
    std::vector<double> previews; // command to the preview painted, for the moves that had one
    double cpuPerMove = 0;        // of the thread that timed it (or of the child processes)
    double cpuAllThreads = 0;     // of the whole process, workers included; negative: not taken
};

// Steps with Next `moves` times, timing each move to the end of its repaint. With `lookahead`,
// each move waits first until the look-ahead holds the next picture, as when the user looks at a
// picture for a moment before moving on. Empty on a failure.
Moves timeMoves(CImageView& view, int moves, bool lookahead)
{
    Moves result;
    std::vector<double>& times = result.times;
    QString ready;
    const QMetaObject::Connection connection =
        QObject::connect(&view.controller().lookahead(), &CPictureLookahead::prefetched, &view,
                         [&ready](const QString& path, bool held) {
                             if (held)
                                 ready = path;
                         });
    for (int i = 0; i < moves; ++i) {
        const QString next = nextPath(view);
        if (lookahead && !waitUntil([&] { return ready == next; })) {
            std::printf("the look-ahead did not decode %s\n", qPrintable(next));
            times.clear();
            break;
        }
        const double cpuStart = cpuMilliseconds(RUSAGE_THREAD);
        const double cpuAllStart = cpuMilliseconds(RUSAGE_SELF);
        const Clock::time_point start = Clock::now();
        // The picture is read on the executor and shown from the event loop.
        view.commandTarget().execute(cmd::kNextImage);
        bool previewed = false;
        const bool shown = waitUntil([&] {
            if (!previewed && view.controller().loading() && view.controller().preview()) {
                previewed = true;
                view.viewport()->repaint();
                result.previews.push_back(millisecondsSince(start));
            }
            return !view.controller().loading();
        });
        view.viewport()->repaint();
        times.push_back(millisecondsSince(start));
        result.cpuPerMove += cpuMilliseconds(RUSAGE_THREAD) - cpuStart;
        result.cpuAllThreads += cpuMilliseconds(RUSAGE_SELF) - cpuAllStart;
        if (!shown || view.controller().folder() + view.controller().fileName() != next) {
            std::printf("Next did not show %s\n", qPrintable(next));
            times.clear();
            break;
        }
    }
    QObject::disconnect(connection);
    if (!times.empty()) {
        result.cpuPerMove /= double(times.size());
        result.cpuAllThreads /= double(times.size());
    }
    return result;
}

// One way's line with its processor time per move: of the UI thread (or the peer process), and
// of all threads, which counts the look-ahead's work on the following picture too.
void printWay(const char* what, const Moves& moves)
{
    printLine(what, moves.times);
    if (moves.cpuAllThreads < 0)
        std::printf("%-44s cpu %9.3f ms per run\n", "", moves.cpuPerMove);
    else
        std::printf("%-44s cpu %9.3f ms per move on its thread, %.3f ms in all threads\n", "", moves.cpuPerMove,
                    moves.cpuAllThreads);
}

// Each of `paths` `repeat` times through `program arguments... path` as a process; the wall times
// and the child's processor time per run. Empty when a run failed.
Moves timePeer(const QString& program, const QStringList& arguments, const QStringList& paths, int repeat)
{
    Moves result;
    result.cpuAllThreads = -1;
    const double cpuStart = cpuMilliseconds(RUSAGE_CHILDREN);
    for (int run = 0; run < repeat; ++run) {
        for (const QString& path : paths) {
            const double ms = timeProcess(program, arguments + QStringList{path}, kWaitMs);
            if (ms <= 0) {
                std::printf("%s failed on %s\n", qPrintable(program), qPrintable(path));
                return {};
            }
            result.times.push_back(ms);
        }
    }
    result.cpuPerMove = (cpuMilliseconds(RUSAGE_CHILDREN) - cpuStart) / double(result.times.size());
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The fit mode the bench chooses is stored; keep it out of the user's settings.
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("folder of pictures"));
    const QCommandLineOption countOption(QStringLiteral("count"), QStringLiteral("pictures to step through"),
                                         QStringLiteral("N"), QStringLiteral("12"));
    const QCommandLineOption repeatOption(QStringLiteral("repeat"), QStringLiteral("rounds through them"),
                                          QStringLiteral("N"), QStringLiteral("2"));
    const QCommandLineOption djpegOption(QStringLiteral("djpeg"), QStringLiteral("the djpeg program"),
                                         QStringLiteral("PROGRAM"));
    parser.addOption(countOption);
    parser.addOption(repeatOption);
    parser.addOption(djpegOption);
    parser.process(app);
    bool countOk = false;
    bool repeatOk = false;
    const int count = parser.value(countOption).toInt(&countOk);
    const int repeat = parser.value(repeatOption).toInt(&repeatOk);
    if (parser.positionalArguments().size() != 1 || !countOk || count < 2 || !repeatOk || repeat < 1 ||
        repeat > kMaxRepeat) {
        std::fputs("usage: viewernext DIR [--count N] [--repeat N] [--djpeg PROGRAM]\n", stderr);
        return 2;
    }
    const QStringList sources = twelveMegapixelJpegs(parser.positionalArguments().constFirst(), count);
    std::printf("%lld 12-megapixel JPEGs, a view of %d x %d, %d rounds\n", static_cast<long long>(sources.size()),
                kViewSize.width(), kViewSize.height(), repeat);
    if (sources.size() < 2)
        return 1;

    // A folder of these pictures alone, so that the view's own list holds nothing else.
    QTemporaryDir folder;
    QStringList pictures;
    for (const QString& source : sources) {
        const QString copy = folder.filePath(QFileInfo(source).fileName());
        if (!QFile::copy(source, copy)) {
            std::printf("cannot copy %s\n", qPrintable(source));
            return 1;
        }
        pictures << copy;
    }

    RecordingHost host;
    CImageView view(host, host.options, nullptr);
    view.resize(kViewSize);
    view.show();
    if (!host.image.Load(pictures.constFirst()))
        return 1;
    host.pending = pictures.constFirst();
    host.opened = true;
    appmsg::send(&view, appmsg::kLoadViewerBeforeBrowser);
    if (!waitUntil([&] { return view.controller().pictureList().rowCount() == pictures.size(); })) {
        std::puts("the folder scan did not finish");
        return 1;
    }

    const int moves = int(pictures.size()) * repeat;
    struct Way {
        const char* name;
        int fitCommand;
        bool lookahead;
        Moves moves;
    };
    // Zoom lock follows the fit to the window, whose zoom it keeps.
    std::vector<Way> ways{{"next, look-ahead, zoom 1", cmd::kFitWindowToImage, true, {}},
                          {"next, no look-ahead, zoom 1", cmd::kFitWindowToImage, false, {}},
                          {"next, look-ahead, fitted to the window", cmd::kFitImageToWindow, true, {}},
                          {"next, no look-ahead, fitted to the window", cmd::kFitImageToWindow, false, {}},
                          {"next, look-ahead, zoom lock", cmd::kZoomLock, true, {}},
                          {"next, look-ahead, best fit", cmd::kBestFit, true, {}}};
    for (Way& way : ways) {
        view.commandTarget().execute(way.fitCommand);
        view.controller().lookahead().setBudgetBytes(way.lookahead ? CPictureLookahead::kDefaultBudgetBytes : 0);
        // A move first, so that the look-ahead starts from a picture shown under these rules.
        view.commandTarget().execute(cmd::kNextImage);
        if (!waitUntil([&] { return !view.controller().loading(); }))
            return 1;
        way.moves = timeMoves(view, moves, way.lookahead);
        if (way.moves.times.empty())
            return 1;
    }

    // The parts of a fitted move: the smooth downscale alone, the preview's decode alone (the
    // smallest picture the file gives, as the loader asks for it), and the peer's decodes.
    std::vector<double> downscale;
    Moves previewDecode;
    previewDecode.cpuAllThreads = -1;
    const QSize fitted = CImageScrollView::fitInside(host.image.GetSize(), kViewSize);
    for (int run = 0; run < repeat; ++run) {
        for (const QString& path : pictures) {
            QImage target(fitted, QImage::Format_RGB32);
            QPainter painter(&target);
            const Clock::time_point start = Clock::now();
            if (!host.image.drawScaled(&painter, QRect(QPoint(0, 0), fitted)))
                std::fprintf(stderr, "viewernext: cannot draw %s\n", qPrintable(path));
            downscale.push_back(millisecondsSince(start));
            CBmpEx preview;
            preview.setLoadSizeHint(QSize(1, 1));
            const double cpuStart = cpuMilliseconds(RUSAGE_THREAD);
            const Clock::time_point decodeStart = Clock::now();
            if (!preview.Load(path))
                std::fprintf(stderr, "viewernext: cannot read a preview of %s\n", qPrintable(path));
            previewDecode.times.push_back(millisecondsSince(decodeStart));
            previewDecode.cpuPerMove += cpuMilliseconds(RUSAGE_THREAD) - cpuStart;
        }
    }
    previewDecode.cpuPerMove /= double(previewDecode.times.size());

    for (const Way& way : ways)
        printWay(way.name, way.moves);
    const Moves& previewed = ways[3].moves;
    printLine("preview painted, no look-ahead, fitted", previewed.previews);
    printLine("smooth downscale to the window alone", downscale);
    printWay("preview decode alone", previewDecode);
    const Way* slowest = nullptr;
    for (const Way& way : ways) {
        if (way.lookahead && (!slowest || spreadOf(way.moves.times).median > spreadOf(slowest->moves.times).median))
            slowest = &way;
    }
    std::printf("look-ahead hit, slowest fit mode: %.1f ms (goal under 8 ms), cpu %.1f ms on the UI thread\n",
                spreadOf(slowest->moves.times).median, slowest->moves.cpuPerMove);

    const QString djpegProgram =
        parser.isSet(djpegOption) ? parser.value(djpegOption) : QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    if (djpegProgram.isEmpty()) {
        std::printf("%-44s not found\n", "djpeg -outfile /dev/null:");
        return 0;
    }
    const QStringList toNull{QStringLiteral("-outfile"), QStringLiteral("/dev/null")};
    const Moves djpeg = timePeer(djpegProgram, toNull, pictures, repeat);
    const Moves djpegEighth =
        timePeer(djpegProgram, QStringList{QStringLiteral("-scale"), QStringLiteral("1/8")} + toNull, pictures, repeat);
    if (djpeg.times.empty() || djpegEighth.times.empty())
        return 1;
    printWay("djpeg -outfile /dev/null, as a process", djpeg);
    printWay("djpeg -scale 1/8, as a process", djpegEighth);
    const double peer = spreadOf(djpeg.times).median;
    std::printf("ratio to djpeg, no look-ahead: zoom 1 %.2f, fitted %.2f (goal at most 1.3)\n",
                spreadOf(ways[1].moves.times).median / peer, spreadOf(ways[3].moves.times).median / peer);
    std::printf("look-ahead: zoom 1 %.1f ms, fitted %.1f ms (goal under 25 ms)\n",
                spreadOf(ways[0].moves.times).median, spreadOf(ways[2].moves.times).median);
    const double preview = previewed.previews.empty() ? -1 : spreadOf(previewed.previews).median;
    std::printf("preview: %.1f ms, djpeg -scale 1/8 %.1f ms (goal under 40 ms), cpu %.1f ms, djpeg %.1f ms\n", preview,
                spreadOf(djpegEighth.times).median, previewDecode.cpuPerMove, djpegEighth.cpuPerMove);
    return 0;
}
