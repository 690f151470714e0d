#pragma once
// Timing a peer tool for the benches that compare against one: a shell script run once, its wall
// time and its children's CPU time.

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
