#pragma once
// Opening documents and addresses, and mailing files, with the desktop's own programs.

#include <functional>

#include <QString>
#include <QStringList>

class QObject;

namespace platform {

// A file the program ships (help pages, the texture folder): beside the program, or under
// share/zelt-pixoria for an installed one. The path beside the program when neither exists.
QString programFile(const QString& name);

// Opens a local file with the program the desktop associates with it; false when the file is not
// there or nothing could be started. The desktop's opener may find no program only later: then
// `noProgram` runs on the calling thread, unless `owner` is gone by then.
bool openDocument(const QString& path, QObject* owner, std::function<void()> noProgram);

// The command line (a desktop entry's Exec= line, field codes and all) of the program the desktop
// opens this file's type with by default; empty when there is none.
QString defaultCommandLine(const QString& path);

// The arguments of xdg-email for a message with these attachments (full paths) and this body.
QStringList mailArguments(const QStringList& paths, const QString& note);
// Opens the desktop's mail program on a new message with the files attached and the program's
// note as body. False when there is no mail program to ask.
bool sendFilesByMail(const QStringList& paths);

}  // namespace platform
