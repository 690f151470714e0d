#pragma once
// A stand-in program for tests of what the program starts: `recorder NAME FILE` appends the line
// "NAME FILE" to started.log beside itself, the proof of which program started on which file.

#include <QDir>
#include <QFile>
#include <QString>

// Writes the recorder into `folder` and returns its path; empty when it could not be written.
inline QString writeRecorder(const QString& folder)
{
    const QString path = QDir(folder).filePath(QStringLiteral("recorder.sh"));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    script.write("#!/bin/sh\nprintf '%s %s\\n' \"$1\" \"$2\" >> \"$(dirname \"$0\")/started.log\"\n");
    script.close();
    return script.setPermissions(script.permissions() | QFile::ExeOwner) ? path : QString();
}
