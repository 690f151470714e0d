#pragma once
// What the benches that compare against a peer tool share: timing a shell script (its wall time
// and its children's CPU time), and their "--make DIR N" command.

#include <functional>
#include <optional>

#include <QString>
#include <QStringList>

struct PeerTiming {
    double seconds = 0;
    double cpuSeconds = 0; // user + system of the script's children
};

// Runs `sh -c SCRIPT sh ARGS...` and times it; the script's own output is discarded by the
// script (redirect it), as the shell's `times` is appended to it. Nothing when it failed.
std::optional<PeerTiming> timeShellScript(const QString& script, const QStringList& args);

// One `find DIR -maxdepth 1 -printf FORMAT` run to /dev/null: the peer of the file list's folder
// reading. Nothing when find could not be run or failed.
std::optional<PeerTiming> timeFind(const QString& dir, const char* printfFormat);

// For the arguments "--make DIR N": calls make(DIR, N) and gives 0 when it made the files, 1 when
// it failed, and 2 (a usage error) for N outside 1 to maxCount. Nothing for any other arguments.
std::optional<int> runMake(const QStringList& args, int maxCount, const std::function<bool(const QString&, int)>& make);
