#pragma once
// Opening documents and addresses, and mailing files, with the desktop's own programs.

#include <QString>
#include <QStringList>

namespace platform {

// A file the program ships (help pages, the texture folder): beside the program, or under
// share/zelt-pixoria for an installed one. The path beside the program when neither exists.
QString programFile(const QString& name);

// Opens a local file with the program the desktop associates with it; false when none could be
// started.
bool openDocument(const QString& path);

// The arguments of xdg-email for a message with these attachments (full paths) and this body.
QStringList mailArguments(const QStringList& paths, const QString& note);
// Opens the desktop's mail program on a new message with the files attached and the program's
// note as body. False when there is no mail program to ask.
bool sendFilesByMail(const QStringList& paths);

}  // namespace platform
