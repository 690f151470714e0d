// million: the file list on a folder of a million entries, in Details mode.
//
//   million DIR [--repeat N]
//       Shows DIR in a Details-mode file list (1280 x 800, offscreen unless QT_QPA_PLATFORM says) and
//       measures, the fastest of N runs each (default 3), CPU time beside the wall time:
//       - reading and sorting by name: from SetFolder() to the rows in the model, against
//         `find DIR -maxdepth 1 -printf '%f %s %T@\n' > /dev/null` (goal: at least as fast);
//       - the resident memory the list added, in all and per entry, after the first reading
//         (goal: under 500 MB), and the peak;
//       - sorting by size, date and type from the name order (goal: each under 1 s); the slowest
//         run is shown too, the first sort by type asks the type of every row;
//       - scrolling: page steps from the top, jumps across the whole list and to both ends, one
//         every 10 ms while the header scan fills the rows, with a 5 ms timer on the UI thread
//         whose largest lateness is the longest stall (goal: at most 16 ms), and the UI thread's
//         largest CPU time between two ticks, which other work on the machine does not stretch.
//   million --make DIR N
//       Makes DIR with N hard links (names of mixed case and extensions, in no order) to 97 small
//       JPEGs of different sizes and times kept in DIR.sources, so that sorting by size, date and
//       type has work to do.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <optional>
#include <vector>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include "browser/cfilelistctrl.h"
#include "peertiming.h"
#include "procstatus.h"
#include "settings/cappsettings.h"

namespace {

constexpr int kMaxEntries = 10'000'000;
constexpr int kMaxRepeat = 100;
constexpr int kSources = 97;
constexpr const char* kFindFormat = "%f %s %T@\\n";
constexpr int kTickMs = 5;
constexpr int kStepMs = 10;
constexpr int kPageSteps = 300;
constexpr int kJumps = 300;

using Clock = std::chrono::steady_clock;

// A small generator of our own, so that the same N always gives the same folder.
quint32 nextRandom(quint32& state)
{
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// The sources: one small JPEG with 0 to some thousand bytes after its end (readers stop at its
// end marker), each with a time of its own.
bool makeSources(const QString& dir)
{
    if (!QDir().mkpath(dir))
        return false;
    QImage picture(16, 12, QImage::Format_RGB32);
    picture.fill(QColor(200, 120, 40));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "JPG"))
        return false;
    for (int i = 0; i < kSources; ++i) {
        QFile file(QStringLiteral("%1/%2.jpg").arg(dir).arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(jpeg) != jpeg.size() ||
            file.write(QByteArray(i * 37, '\0')) != i * 37)
            return false;
        file.close();
        const timespec times[2] = {{1'500'000'000 + i * 86'400, 0}, {1'500'000'000 + (i * 7919 % kSources) * 86'400, 0}};
        if (utimensat(AT_FDCWD, QFile::encodeName(file.fileName()).constData(), times, 0) != 0)
            return false;
    }
    return true;
}

bool makeFolder(const QString& dir, int count)
{
    const QString sources = dir + QStringLiteral(".sources");
    if (!makeSources(sources) || !QDir().mkpath(dir)) {
        std::fprintf(stderr, "million: cannot make %s\n", qPrintable(dir));
        return false;
    }
    static const char* const kExtensions[] = {"jpg", "JPG", "png", "gif", "bmp", "tif", "txt", "mp4", "pdf", "html"};
    static const char* const kStems[] = {"IMG_", "img", "Photo ", "scan-", "DSC", "holiday_", "Zebra", "_notes"};
    quint32 state = 4242;
    for (int i = 0; i < count; ++i) {
        const quint32 r = nextRandom(state);
        // The number scrambled, so that the folder does not list in name order.
        const quint32 number = quint32((quint64(i) * 2654435761u) % quint64(count));
        const QByteArray name = QStringLiteral("%1/%2%3.%4")
                                    .arg(dir, QLatin1String(kStems[r % std::size(kStems)]))
                                    .arg(number, 7, 10, QLatin1Char('0'))
                                    .arg(QLatin1String(kExtensions[(r >> 4) % std::size(kExtensions)]))
                                    .toLocal8Bit();
        const QByteArray source = QFile::encodeName(QStringLiteral("%1/%2.jpg").arg(sources).arg((r >> 8) % kSources));
        if (link(source.constData(), name.constData()) != 0) {
            std::fprintf(stderr, "million: cannot link %s\n", name.constData());
            return false;
        }
    }
    return true;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

struct Timing {
    double seconds = std::numeric_limits<double>::max();
    double cpu = std::numeric_limits<double>::max();
    double worst = 0;    // the slowest run's wall time
    double worstCpu = 0; // the most CPU time of a run

    void add(double wall, double cpuTime)
    {
        seconds = std::min(seconds, wall);
        cpu = std::min(cpu, cpuTime);
        worst = std::max(worst, wall);
        worstCpu = std::max(worstCpu, cpuTime);
    }
};

// Times `work` (which returns once it is done) in wall and CPU time.
template <typename Work> void timeInto(Timing& timing, Work work)
{
    const double cpuStart = cpuSeconds();
    const Clock::time_point start = Clock::now();
    work();
    timing.add(std::chrono::duration<double>(Clock::now() - start).count(), cpuSeconds() - cpuStart);
}

void showFolder(CFileListCtrl& list, const QString& dir)
{
    QEventLoop populated;
    const auto connection = QObject::connect(&list, &CFileListCtrl::populationOver, &populated, &QEventLoop::quit);
    list.SetFolder(dir, false);
    populated.exec();
    QObject::disconnect(connection);
}

// Counts the paints of the list's rows, so that the scroll is known to have drawn them.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

struct ScrollResult {
    double largest = 0;
    double p99 = 0;
    double busiest = 0; // the UI thread's largest CPU time between two ticks
    int steps = 0;
    int paints = 0;
    int described = 0; // rows the header scan filled meanwhile
};

// The scroll positions: page steps from the top, jumps spread over the list, then both ends.
std::vector<int> scrollPositions(const QScrollBar& bar)
{
    std::vector<int> positions;
    for (int i = 1; i <= kPageSteps; ++i)
        positions.push_back(std::min(bar.maximum(), i * bar.pageStep()));
    quint32 state = 7;
    for (int i = 0; i < kJumps; ++i)
        positions.push_back(int(quint64(nextRandom(state)) * quint64(bar.maximum()) / (1u << 24)));
    positions.push_back(bar.maximum());
    positions.push_back(0);
    return positions;
}

int describedRows(const CFileListModel& rows)
{
    int described = 0;
    for (int row = 0; row < rows.entryCount(); ++row)
        described += rows.entryAt(row)->imageProperties ? 1 : 0;
    return described;
}

ScrollResult scroll(CFileListCtrl& list)
{
    QTableView* view = list.reportView();
    QScrollBar* bar = view->verticalScrollBar();
    PaintCounter counter;
    view->viewport()->installEventFilter(&counter);

    // Lateness in wall time, and the UI thread's own CPU time between two ticks: what a stall
    // costs apart from other work on the machine.
    std::vector<double> lateness;
    double busiest = 0;
    Clock::time_point lastTick = Clock::now();
    double lastCpu = threadCpuMs();
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(kTickMs);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        const double cpu = threadCpuMs();
        lateness.push_back(std::max(0.0, std::chrono::duration<double, std::milli>(now - lastTick).count() - kTickMs));
        busiest = std::max(busiest, cpu - lastCpu);
        lastTick = now;
        lastCpu = cpu;
    });
    lastTick = Clock::now();
    lastCpu = threadCpuMs();
    ticks.start();
    // The view lays the new rows out after the event loop took over: the scroll range comes then,
    // for rows more than the view shows.
    const bool scrolls = view->model()->rowCount() * view->verticalHeader()->defaultSectionSize() > view->viewport()->height();
    if (scrolls && bar->maximum() == 0) {
        QEventLoop laidOut;
        QObject::connect(bar, &QScrollBar::rangeChanged, &laidOut, &QEventLoop::quit);
        laidOut.exec();
    }
    const std::vector<int> positions = scrollPositions(*bar);
    QEventLoop done;
    std::size_t next = 0;
    QTimer steps;
    steps.setTimerType(Qt::PreciseTimer);
    steps.setInterval(kStepMs);
    QObject::connect(&steps, &QTimer::timeout, [&] {
        if (next == positions.size()) {
            done.quit();
            return;
        }
        bar->setValue(positions[next++]);
    });
    steps.start();
    done.exec();
    ticks.stop();
    view->viewport()->removeEventFilter(&counter);

    ScrollResult result;
    std::sort(lateness.begin(), lateness.end());
    result.largest = lateness.empty() ? 0 : lateness.back();
    result.p99 = lateness.empty() ? 0 : lateness[std::min(lateness.size() - 1, lateness.size() * 99 / 100)];
    result.busiest = busiest;
    result.steps = int(positions.size());
    result.paints = counter.paints;
    result.described = describedRows(list.rows());
    return result;
}

int usage()
{
    std::fprintf(stderr, "usage: million DIR [--repeat N]\n"
                         "       million --make DIR N\n");
    return 2;
}

void printTiming(const char* tag, const Timing& timing, int entries, const char* what)
{
    std::printf("%-5s %10.0f entries/s %9.1f ms %9.1f ms CPU %6.0f ns CPU/entry   (%s)\n", tag, entries / timing.seconds,
                timing.seconds * 1000, timing.cpu * 1000, timing.cpu * 1e9 / entries, what);
}

} // namespace

int main(int argc, char** argv)
{
    // The list needs no screen: offscreen unless another platform was asked for.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.size() == 3 && args.at(0) == QLatin1String("--make")) {
        bool ok = false;
        const int count = args.at(2).toInt(&ok);
        if (!ok || count < 1 || count > kMaxEntries)
            return usage();
        return makeFolder(QDir(args.at(1)).absolutePath(), count) ? 0 : 1;
    }
    if (args.isEmpty())
        return usage();
    const QString dir = QDir(args.takeFirst()).absolutePath();
    int repeat = 3;
    if (args.size() == 2 && args.at(0) == QLatin1String("--repeat")) {
        repeat = args.at(1).toInt();
        args.clear();
    }
    if (!args.isEmpty() || repeat < 1 || repeat > kMaxRepeat)
        return usage();

    QTemporaryDir empty;
    CFileListCtrl list;
    CAppSettings options;
    options.LoadSettings();
    options.ShowNonImages = 1;
    options.ShowHidden = 1;
    options.AutoRefresh = 0;
    // The readings alone first; the header scan runs during the scroll.
    options.DontScanHeaders = 1;
    list.applyOptions(options);
    list.setViewMode(CFileListCtrl::kDetails);
    list.resize(1280, 800);
    list.show();
    showFolder(list, empty.path());

    // The first reading warms the cache and tells what the rows cost in memory.
    const double rssBefore = bench::residentMegabytes("VmRSS");
    showFolder(list, dir);
    const double rssAfter = bench::residentMegabytes("VmRSS");
    const double rssPeak = bench::residentMegabytes("VmHWM");
    const int entries = list.rows().entryCount();
    if (entries < 2) {
        std::fprintf(stderr, "million: %s holds no entries\n", qPrintable(dir));
        return 1;
    }
    const bool findRuns = timeFind(dir, kFindFormat).has_value();

    Timing ours;
    Timing find;
    for (int i = 0; i < repeat; ++i) {
        showFolder(list, empty.path());
        timeInto(ours, [&] { showFolder(list, dir); });
        if (const std::optional<PeerTiming> run = findRuns ? timeFind(dir, kFindFormat) : std::nullopt)
            find.add(run->seconds, run->cpuSeconds);
    }

    struct KeyTiming {
        int key;
        const char* name;
        Timing timing;
    };
    KeyTiming keys[] = {{fileitem::kBySize, "size", {}}, {fileitem::kByDate, "date", {}}, {fileitem::kByType, "type", {}}};
    Timing byName;
    for (int i = 0; i < repeat; ++i) {
        for (KeyTiming& key : keys) {
            timeInto(byName, [&] { list.sortBy(fileitem::kByName); });
            timeInto(key.timing, [&] { list.sortBy(key.key); });
        }
    }
    list.sortBy(fileitem::kByName);

    std::printf("folder %s: %d rows, best of %d\n", qPrintable(dir), entries, repeat);
    printTiming("ours", ours, entries, "read and sorted by name, the rows in the list");
    if (findRuns) {
        printTiming("find", find, entries, "find -maxdepth 1 -printf '%f %s %T@\\n' > /dev/null");
        std::printf("ratio %.2f ours/find   (CPU time: %.2f)   goal: at least 1\n", find.seconds / ours.seconds,
                    ours.cpu > 0 ? find.cpu / ours.cpu : 0.0);
    } else {
        std::printf("find: not available\n");
    }
    std::printf("memory: %.1f MB VmRSS for the rows, %.0f bytes per entry, peak VmHWM %.1f MB   goal: under 500 MB\n",
                rssAfter - rssBefore, (rssAfter - rssBefore) * 1024 * 1024 / entries, rssPeak);
    for (const KeyTiming& key : keys) {
        std::printf("sort by %-5s %9.1f ms %9.1f ms CPU (slowest run %.1f ms, %.1f ms CPU)   goal: under 1000 ms\n",
                    key.name, key.timing.seconds * 1000, key.timing.cpu * 1000, key.timing.worst * 1000,
                    key.timing.worstCpu * 1000);
    }
    std::printf("sort by name again %9.1f ms %9.1f ms CPU\n", byName.seconds * 1000, byName.cpu * 1000);

    // The scroll, with the header scan filling rows meanwhile as it does for the user.
    options.DontScanHeaders = 0;
    list.applyDisplayOptions(options);
    showFolder(list, dir);
    const ScrollResult scrolled = scroll(list);
    std::printf("scroll: %d steps, %d paints, %d rows described meanwhile; UI thread lateness of a %d ms timer: "
                "largest %.1f ms, 99th percentile %.1f ms; its largest CPU time between two ticks %.1f ms   goal: at "
                "most 16 ms\n",
                scrolled.steps, scrolled.paints, scrolled.described, kTickMs, scrolled.largest, scrolled.p99,
                scrolled.busiest);
    return 0;
}
