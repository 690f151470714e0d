// viewernext: the viewer's Next command on 12-megapixel JPEGs, from the command to the new picture
// painted, in an image view of 1280 x 800 (offscreen unless a platform is chosen).
//
//   viewernext DIR [--count N] [--repeat N] [--djpeg PROGRAM]
//       Copies the first N (default 12) JPEGs of DIR whose header says about 12 megapixels into a
//       folder of its own, opens the first in the view and steps through them with Next, N x
//       repeat moves per way, timing each from the command to the end of a synchronous repaint:
//         look-ahead     the view's own look-ahead had decoded the picture before the move;
//         no look-ahead  the look-ahead's budget is 0, so every move reads the file;
//       each at zoom 1 ("fit window to image" with a window that is not resized) and fitted
//       into the window ("fit image to window": one smooth downscale per move). Next to them:
//       `djpeg -outfile /dev/null FILE` as a process, and the smooth downscale alone.
//       Prints the median and the 90th percentile of each and the ratio of the move without
//       look-ahead to djpeg.

#include <cstdio>
#include <vector>

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
constexpr QSize kViewSize{1280, 800};

bool waitUntil(const std::function<bool()>& done)
{
    const Clock::time_point start = Clock::now();
    while (!done()) {
        if (millisecondsSince(start) > kWaitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// The path the view's look-ahead works on after a move: the next row of its list.
QString nextPath(CImageView& view)
{
    const PictureList& list = view.controller().pictureList();
    const int row = list.firstSelectedRow();
    return list.folder() + list.rowName((row + 1) % list.rowCount());
}

// Steps with Next `moves` times, timing each move to the end of its repaint. With `lookahead`,
// each move waits first until the look-ahead holds the next picture, as when the user looks at a
// picture for a moment before moving on. Empty on a failure.
std::vector<double> timeMoves(CImageView& view, int moves, bool lookahead)
{
    std::vector<double> times;
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
        const Clock::time_point start = Clock::now();
        // The picture is read on the executor and shown from the event loop.
        view.commandTarget().execute(cmd::kNextImage);
        const bool shown = waitUntil([&] { return !view.controller().loading(); });
        view.viewport()->repaint();
        times.push_back(millisecondsSince(start));
        if (!shown || view.controller().folder() + view.controller().fileName() != next) {
            std::printf("Next did not show %s\n", qPrintable(next));
            times.clear();
            break;
        }
    }
    QObject::disconnect(connection);
    return times;
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
        std::vector<double> times;
    };
    std::vector<Way> ways{{"next, look-ahead, zoom 1", cmd::kFitWindowToImage, true, {}},
                          {"next, no look-ahead, zoom 1", cmd::kFitWindowToImage, false, {}},
                          {"next, look-ahead, fitted to the window", cmd::kFitImageToWindow, true, {}},
                          {"next, no look-ahead, fitted to the window", cmd::kFitImageToWindow, false, {}}};
    for (Way& way : ways) {
        view.commandTarget().execute(way.fitCommand);
        view.controller().lookahead().setBudgetBytes(way.lookahead ? CPictureLookahead::kDefaultBudgetBytes : 0);
        // A move first, so that the look-ahead starts from a picture shown under these rules.
        view.commandTarget().execute(cmd::kNextImage);
        if (!waitUntil([&] { return !view.controller().loading(); }))
            return 1;
        way.times = timeMoves(view, moves, way.lookahead);
        if (way.times.empty())
            return 1;
    }

    // The parts of a fitted move: the smooth downscale alone, and the peer's full decode.
    std::vector<double> downscale, djpeg;
    const QSize fitted = CImageScrollView::fitInside(host.image.GetSize(), kViewSize);
    const QString djpegProgram =
        parser.isSet(djpegOption) ? parser.value(djpegOption) : QStandardPaths::findExecutable(QStringLiteral("djpeg"));
    for (int run = 0; run < repeat; ++run) {
        for (const QString& path : pictures) {
            QImage target(fitted, QImage::Format_RGB32);
            QPainter painter(&target);
            const Clock::time_point start = Clock::now();
            if (!host.image.drawScaled(&painter, QRect(QPoint(0, 0), fitted)))
                std::fprintf(stderr, "viewernext: cannot draw %s\n", qPrintable(path));
            downscale.push_back(millisecondsSince(start));
            if (djpegProgram.isEmpty())
                continue;
            const double ms =
                timeProcess(djpegProgram, {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), path}, kWaitMs);
            if (ms <= 0) {
                std::printf("djpeg failed on %s\n", qPrintable(path));
                return 1;
            }
            djpeg.push_back(ms);
        }
    }

    for (const Way& way : ways)
        printLine(way.name, way.times);
    printLine("smooth downscale to the window alone", downscale);
    if (djpeg.empty()) {
        std::printf("%-44s not found\n", "djpeg -outfile /dev/null:");
        return 0;
    }
    printLine("djpeg -outfile /dev/null, as a process", djpeg);
    const double peer = spreadOf(djpeg).median;
    std::printf("ratio to djpeg, no look-ahead: zoom 1 %.2f, fitted %.2f (goal at most 1.3)\n",
                spreadOf(ways[1].times).median / peer, spreadOf(ways[3].times).median / peer);
    std::printf("look-ahead: zoom 1 %.1f ms, fitted %.1f ms (goal under 25 ms)\n", spreadOf(ways[0].times).median,
                spreadOf(ways[2].times).median);
    return 0;
}
