#include "viewertiming.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "imagelib/cbmpex.h"
#include "imagelib/flm.h"

namespace viewertiming {

namespace {

constexpr qint64 kLeastPixels = 11'500'000;
constexpr qint64 kMostPixels = 12'500'000;
constexpr int kExitWarning = 2;

} // namespace

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

Spread spreadOf(std::vector<double> times)
{
    if (times.empty())
        return {};
    std::sort(times.begin(), times.end());
    const auto at = [&](double fraction) { return times[std::size_t(fraction * double(times.size() - 1) + 0.5)]; };
    return {at(0.5), at(0.9)};
}

void printLine(const char* what, const std::vector<double>& times)
{
    const Spread spread = spreadOf(times);
    std::printf("%-44s median %9.3f ms   p90 %9.3f ms   (%zu runs)\n", what, spread.median, spread.p90, times.size());
}

QStringList twelveMegapixelJpegs(const QString& folder, int count)
{
    QStringList pictures;
    CBmpEx probe;
    for (const QFileInfo& entry : QDir(folder).entryInfoList(QDir::Files, QDir::Name)) {
        const std::optional<CBmpEx::FileInfo> info = probe.fileInfo(entry.filePath());
        if (!info || info->format != kFlmJpeg)
            continue;
        const qint64 pixels = qint64(info->size.width()) * info->size.height();
        if (pixels >= kLeastPixels && pixels <= kMostPixels)
            pictures.append(entry.filePath());
        if (count > 0 && pictures.size() == count)
            break;
    }
    return pictures;
}

double timeProcess(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const Clock::time_point start = Clock::now();
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        (process.exitCode() != 0 && process.exitCode() != kExitWarning))
        return -1;
    return millisecondsSince(start);
}

} // namespace viewertiming
