#pragma once
// Tests that check our files with an outside reader, or drive a desktop tool, need that tool:
// scripts/install-deps.sh installs every one of them, so a missing tool fails the test (naming
// the package) rather than letting it pass untried.

#include <QByteArray>
#include <QStandardPaths>
#include <QString>

// The message for a tool that is not there.
inline QByteArray missingTool(const char* program, const char* package)
{
    return QByteArray(program) + " is not installed: scripts/install-deps.sh installs it (Debian package " + package +
           ")";
}

// Whether `program` is on the PATH.
inline bool hasTool(const char* program)
{
    return !QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty();
}
