// refreshlatency: how long the UI thread is held while pictures land in a folder the file list
// shows in thumbnails mode with auto refresh on.
//
//   refreshlatency [DIR] [--count N]
//       Shows an empty temporary folder in a thumbnails-mode list that watches it, then copies N
//       (default 200) of DIR's JPEGs into it from another thread, as a file manager would. A 5 ms
//       timer on the UI thread records how late each tick fires; the largest lateness is how long
//       the window could not repaint or take input. It ends when every copied picture has its
//       thumbnail and prints the largest and the 99th-percentile lateness and the time to the last
//       thumbnail. Without DIR, N camera-like JPEGs are made by the corpus generator first.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include "browser/cfilelistctrl.h"
#include "corpus.h"
#include "settings/cappsettings.h"

namespace {

constexpr int kTickMs = 5;
constexpr int kDefaultCount = 200;
constexpr int kTimeoutMs = 600'000;

using Clock = std::chrono::steady_clock;

double millisecondsBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

int thumbnailRows(const CFileListCtrl& list)
{
    int made = 0;
    for (int row = 0; row < list.rows().entryCount(); ++row)
        made += list.rows().entryAt(row)->thumbnailIndex >= 0 ? 1 : 0;
    return made;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QString source;
    int count = kDefaultCount;
    const QStringList arguments = app.arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--count") && i + 1 < arguments.size()) {
            count = arguments[++i].toInt();
        } else if (!arguments[i].startsWith(u'-') && source.isEmpty()) {
            source = arguments[i];
        } else {
            std::fprintf(stderr, "usage: refreshlatency [DIR] [--count N]\n");
            return 2;
        }
    }
    if (count < 1) {
        std::fprintf(stderr, "refreshlatency: --count must be positive\n");
        return 2;
    }
    QTemporaryDir made;
    if (source.isEmpty()) {
        source = made.path();
        if (!bench::makeCorpus(source, count)) {
            std::fprintf(stderr, "refreshlatency: cannot make the corpus\n");
            return 1;
        }
    }
    QStringList pictures =
        QDir(source).entryList({QStringLiteral("*.jpg"), QStringLiteral("*.JPG")}, QDir::Files, QDir::Name);
    if (pictures.size() < count) {
        std::fprintf(stderr, "refreshlatency: %s holds %lld JPEGs, fewer than %d\n", qPrintable(source),
                     static_cast<long long>(pictures.size()), count);
        return 1;
    }
    pictures = pictures.mid(0, count);
    QTemporaryDir watched;

    CFileListCtrl list;
    CAppSettings options;
    options.LoadSettings();
    options.AutoRefresh = 1;
    options.ShowNonImages = 1;
    list.applyOptions(options);
    list.setViewMode(CFileListCtrl::kThumbnails);
    list.resize(1000, 700);
    list.show();
    QEventLoop populated;
    QObject::connect(&list, &CFileListCtrl::populationOver, &populated, &QEventLoop::quit);
    list.SetFolder(watched.path(), false);
    populated.exec();

    std::vector<double> lateness;
    Clock::time_point lastTick = Clock::now();
    QTimer ticks;
    ticks.setTimerType(Qt::PreciseTimer);
    ticks.setInterval(kTickMs);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        lateness.push_back(std::max(0.0, millisecondsBetween(lastTick, now) - kTickMs));
        lastTick = now;
    });

    QEventLoop done;
    const auto checkDone = [&] {
        if (thumbnailRows(list) >= count)
            done.quit();
    };
    QObject::connect(&list, &CFileListCtrl::thumbnailsFinished, &done, checkDone);
    QObject::connect(&list, &CFileListCtrl::refreshed, &done, checkDone);
    QTimer::singleShot(kTimeoutMs, &done, &QEventLoop::quit);

    const Clock::time_point start = Clock::now();
    lastTick = start;
    ticks.start();
    std::thread copier([&] {
        for (const QString& name : std::as_const(pictures))
            QFile::copy(QDir(source).filePath(name), QDir(watched.path()).filePath(name));
    });
    done.exec();
    const Clock::time_point end = Clock::now();
    ticks.stop();
    // A hold at the very end is over before another tick could tell it.
    lateness.push_back(std::max(0.0, millisecondsBetween(lastTick, end) - kTickMs));
    copier.join();

    const int thumbnails = thumbnailRows(list);
    std::sort(lateness.begin(), lateness.end());
    const double largest = lateness.empty() ? 0 : lateness.back();
    const double p99 = lateness.empty() ? 0 : lateness[std::min(lateness.size() - 1, lateness.size() * 99 / 100)];
    std::printf("%d JPEGs copied into a watched folder in thumbnails mode: %d thumbnails in %.1f s\n", count,
                thumbnails, millisecondsBetween(start, end) / 1000);
    std::printf("UI thread lateness of a %d ms timer: largest %.1f ms, 99th percentile %.1f ms, %zu ticks\n", kTickMs,
                largest, p99, lateness.size());
    return thumbnails >= count ? 0 : 1;
}
