#pragma once
// The peer of the file list's folder reading: one `find DIR -maxdepth 1 -printf FORMAT` run to
// /dev/null, timed from outside with its CPU time, for the benches that compare with it.

#include <optional>

#include <QString>

namespace bench {

struct FindRun {
    double seconds = 0;
    double cpuSeconds = 0; // user + system of find; the shell counts in hundredths of a second
};

// Nothing when find could not be run or failed. The shell's own start-up is in the wall time,
// a millisecond or so.
std::optional<FindRun> timeFind(const QString& dir, const char* printfFormat);

} // namespace bench
