// headerscan: how fast the file list's header scan fills image properties and descriptions.
//
//   headerscan DIR [--repeat N]
//       Reads every file of DIR once (a warm cache), then times, N times each (default 3), our
//       header-scan worker end to end on every file of DIR (header, properties text, description
//       look-up, batches delivered to the UI thread) against a plain loop that opens each file,
//       reads 100 bytes and closes it (the floor), and `gm identify -ping` on the same files
//       when GraphicsMagick is installed. Prints the fastest rates in files per second and the
//       ratios.
//   headerscan --make DIR N [--describe]
//       Writes N small pictures into DIR, BMP, GIF, JPEG and PNG in turn (sizes from 16 x 12 to
//       160 x 120). --describe adds a descript.ion with a description of every picture.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include "browser/folderworkers.h"
#include "imagelib/cbmpex.h"
#include "imagelib/flm.h"

namespace {

constexpr int kMaxFiles = 1000000;
constexpr int kMaxRepeat = 100;
constexpr qint64 kFloorBytes = 100;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Template {
    const char* extension;
    int format;
    QByteArray bytes;
};

// One picture per format, written once through Qt (BMP, PNG) or the image library (GIF, JPEG).
bool makeTemplate(const QString& dir, int index, Template& out)
{
    const int side = 16 + 48 * index;
    QImage image(side, side * 3 / 4, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 255 / side, y * 255 / side, 128));
    }
    const QString bmp = dir + QStringLiteral("/template.bmp");
    const QString target = dir + QStringLiteral("/template.") + QLatin1String(out.extension);
    if (!image.save(bmp, "BMP"))
        return false;
    bool made = true;
    if (out.format == kFlmPng) {
        made = image.save(target, "PNG");
    } else if (out.format != kFlmBmp) {
        CBmpEx picture;
        FlmSaveOptions options;
        options.field[FlmSaveOptions::kFormat] = out.format;
        options.field[FlmSaveOptions::kColours] = 256;
        made = picture.LoadAndSave(bmp, target, &options);
    }
    QFile file(out.format == kFlmBmp ? bmp : target);
    made = made && file.open(QIODevice::ReadOnly);
    out.bytes = made ? file.readAll() : QByteArray();
    file.close();
    QFile::remove(bmp);
    QFile::remove(target);
    return !out.bytes.isEmpty();
}

bool makeFolder(const QString& dir, int count, bool describe)
{
    Template templates[] = {{"bmp", kFlmBmp, {}}, {"gif", kFlmGif, {}}, {"jpg", kFlmJpeg, {}}, {"png", kFlmPng, {}}};
    if (!QDir().mkpath(dir))
        return false;
    for (int i = 0; i < int(std::size(templates)); ++i) {
        if (!makeTemplate(dir, i, templates[i])) {
            std::fprintf(stderr, "headerscan: cannot make a %s picture\n", templates[i].extension);
            return false;
        }
    }
    QByteArray descriptions;
    for (int i = 0; i < count; ++i) {
        const Template& picture = templates[i % std::size(templates)];
        const QString name =
            QStringLiteral("pic_%1.%2").arg(i, 6, 10, QLatin1Char('0')).arg(QLatin1String(picture.extension));
        QFile file(dir + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(picture.bytes) != picture.bytes.size()) {
            std::fprintf(stderr, "headerscan: cannot write %s\n", qPrintable(file.fileName()));
            return false;
        }
        descriptions += name.toUtf8() + " picture number " + QByteArray::number(i) + "\r\n";
    }
    if (!describe)
        return true;
    QFile file(dir + QStringLiteral("/descript.ion"));
    return file.open(QIODevice::WriteOnly) && file.write(descriptions) == descriptions.size();
}

struct ScanRun {
    double seconds = 0;
    int read = 0; // files whose header was read
    int described = 0;
};

ScanRun timeOurs(CHeaderScanWorker& worker, const QString& folder, const std::vector<HeaderScanJob>& jobs)
{
    ScanRun run;
    QEventLoop loop;
    const auto scanned = QObject::connect(&worker, &CHeaderScanWorker::scanned, &loop,
                                          [&run](quint64, const std::vector<HeaderScanResult>& batch) {
                                              for (const HeaderScanResult& result : batch) {
                                                  run.read += result.imageFlag;
                                                  run.described += result.description ? 1 : 0;
                                              }
                                          });
    const auto finished = QObject::connect(&worker, &CHeaderScanWorker::scanFinished, &loop, &QEventLoop::quit);
    const auto start = Clock::now();
    worker.start(folder, jobs, 1);
    loop.exec();
    run.seconds = secondsSince(start);
    QObject::disconnect(scanned);
    QObject::disconnect(finished);
    return run;
}

// The floor: open, read 100 bytes, close, with the C library unbuffered so that one read call
// reaches the system per file.
double timeFloor(const QStringList& paths)
{
    char buffer[kFloorBytes];
    const auto start = Clock::now();
    for (const QString& path : paths) {
        std::FILE* file = std::fopen(QFile::encodeName(path).constData(), "rb");
        if (file == nullptr)
            continue;
        std::setvbuf(file, nullptr, _IONBF, 0);
        if (std::fread(buffer, 1, sizeof buffer, file) == 0)
            std::fprintf(stderr, "headerscan: nothing read from %s\n", qPrintable(path));
        std::fclose(file);
    }
    return secondsSince(start);
}

// One `gm identify -ping` process over every file; negative when it failed.
double timeGm(const QString& gm, const QStringList& paths)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const auto start = Clock::now();
    process.start(gm, QStringList{QStringLiteral("identify"), QStringLiteral("-ping")} + paths);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return secondsSince(start);
}

int usage()
{
    std::fprintf(stderr, "usage: headerscan DIR [--repeat N]\n"
                         "       headerscan --make DIR N [--describe]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.at(0) == QLatin1String("--make")) {
        const bool describe = args.removeAll(QStringLiteral("--describe")) > 0;
        bool ok = false;
        const int count = args.value(2).toInt(&ok);
        if (args.size() != 3 || !ok || count < 1 || count > kMaxFiles)
            return usage();
        return makeFolder(args.at(1), count, describe) ? 0 : 1;
    }
    if (args.size() != 1 && args.size() != 3)
        return usage();
    const QDir dir(args.at(0));
    int repeat = 3;
    if (args.size() == 3) {
        bool ok = false;
        repeat = args.at(2).toInt(&ok);
        if (args.at(1) != QLatin1String("--repeat") || !ok || repeat < 1 || repeat > kMaxRepeat)
            return usage();
    }

    // Every file of the folder, as the list shows them with non-images: the scan gets them all.
    const QStringList names = dir.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    if (names.isEmpty()) {
        std::fprintf(stderr, "headerscan: no files in %s\n", qPrintable(dir.path()));
        return 1;
    }
    const QString folder = dir.absolutePath() + QLatin1Char('/');
    std::vector<HeaderScanJob> jobs;
    QStringList paths;
    for (const QString& name : names) {
        jobs.push_back({quint64(jobs.size() + 1), name});
        paths << folder + name;
    }
    const QString gm = QStandardPaths::findExecutable(QStringLiteral("gm"));

    CHeaderScanWorker worker;
    // Warm the cache for every contestant.
    const ScanRun first = timeOurs(worker, folder, jobs);
    timeFloor(paths);

    double ours = std::numeric_limits<double>::max();
    double floor = ours;
    double peer = ours;
    for (int i = 0; i < repeat; ++i) {
        ours = std::min(ours, timeOurs(worker, folder, jobs).seconds);
        floor = std::min(floor, timeFloor(paths));
        if (!gm.isEmpty()) {
            const double seconds = timeGm(gm, paths);
            if (seconds > 0)
                peer = std::min(peer, seconds);
        }
    }
    const double files = double(jobs.size());
    std::printf("folder %s: %d files, %d headers read, %d described, best of %d\n", qPrintable(folder),
                int(jobs.size()), first.read, first.described, repeat);
    std::printf("ours (header-scan worker)  %10.0f files/s\n", files / ours);
    std::printf("floor (open, read 100, close) %7.0f files/s   ours is %.2fx\n", files / floor, floor / ours);
    if (peer == std::numeric_limits<double>::max())
        std::printf("gm identify -ping: not available\n");
    else
        std::printf("gm identify -ping          %10.0f files/s   ours is %.2fx\n", files / peer, peer / ours);
    return 0;
}
