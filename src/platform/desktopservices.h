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

// The results of opening an address or starting a program, numbered as the messages of a link
// that fails to open number them: above 32 means a program was started.
namespace opencode {
enum : int {
    kOutOfResources = 0,  // the opener crashed or was killed
    kFileNotFound = 2,
    kPathNotFound = 3,
    kAccessDenied = 5,
    kBadProgram = 11,              // the program file exists but does not run
    kAssociationIncomplete = 27,   // a program was found for it but failed
    kNoAssociation = 31,           // no program opens it
    kStarted = 33,
};
}  // namespace opencode

// Opens a web address, a mail address or a local file (a path or a file URL) with the program the
// desktop associates with it. Returns at once: kStarted when the desktop's opener started, else
// the failure's code. The opener may find no program only later: then `failed` gets the code on
// the calling thread, unless `owner` is gone by then.
int openAddress(const QString& address, QObject* owner, std::function<void(int)> failed);

// Opens a local file with the program the desktop associates with it; false when the file is not
// there or nothing could be started. The desktop's opener may find no program only later: then
// `noProgram` runs on the calling thread, unless `owner` is gone by then.
bool openDocument(const QString& path, QObject* owner, std::function<void()> noProgram);

// The command line (a desktop entry's Exec= line, field codes and all) of the program the desktop
// opens this file's type with by default; empty when there is none.
QString defaultCommandLine(const QString& path);
// The same for a MIME type ("text/html").
QString defaultCommandLineOfType(const QString& mimeType);

// Starts a desktop entry's Exec= line on an address: the line is cut before its first file or
// address field code and the address follows as one argument of its own, whatever blanks or
// quotes it holds. kStarted, or the failure's code when the program is not there or does not run.
int startCommandLine(const QString& commandLine, const QString& address);

// The arguments of xdg-email for a message with these attachments (full paths) and this body.
QStringList mailArguments(const QStringList& paths, const QString& note);
// Opens the desktop's mail program on a new message with the files attached and the program's
// note as body. False when there is no mail program to ask.
bool sendFilesByMail(const QStringList& paths);

}  // namespace platform
