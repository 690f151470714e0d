#pragma once
// What the viewer's benchmarks share: wall-clock timing, the median and 90th percentile of a set
// of times, the corpus's 12-megapixel JPEGs and the timing of a peer program run as a process.

#include <chrono>
#include <vector>

#include <QString>
#include <QStringList>

namespace viewertiming {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start);

struct Spread {
    double median = 0;
    double p90 = 0;
};
Spread spreadOf(std::vector<double> times);
// One line: what was timed, its median and 90th percentile and the number of runs.
void printLine(const char* what, const std::vector<double>& times);

// The JPEGs of `folder` whose header says about 12 megapixels (11.5 to 12.5 million pixels), in
// name order; at most `count` of them when `count` is positive.
QStringList twelveMegapixelJpegs(const QString& folder, int count = 0);

// Wall time in milliseconds of one run of `program` to its end, with no input or output;
// negative when it did not start, failed, or ran past `timeoutMs`. djpeg's "decoded with a
// warning" status (2) counts as done: it finishes a truncated file with grey, as we do.
double timeProcess(const QString& program, const QStringList& arguments, int timeoutMs);

} // namespace viewertiming
