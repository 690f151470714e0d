#pragma once
// The programs the desktop knows: the desktop entries of the applications folders (the user's
// data folder first, then each system data folder) and the per-user table of default programs
// by MIME type ($XDG_CONFIG_HOME/mimeapps.list), which file managers and xdg-mime read too.

#include <QList>
#include <QString>

namespace platform {

// One application entry as the desktop shows it. Name and command may be empty when the entry
// has none; the caller decides whether such an entry is offered.
struct DesktopApplication {
    QString id;       // the file name, "Pixoria.Image.desktop"
    QString name;     // Name=
    QString command;  // Exec=, field codes and all
    QString icon;     // Icon=: a theme name or a full path
};

// Every application entry of the applications folders, except those marked NoDisplay or Hidden
// and those that are not of type Application. An id found in several folders counts once, from
// the first folder. Ordered by id, ignoring case.
QList<DesktopApplication> desktopApplications();

// The entry id of the default program for `mimeType` in the user's mimeapps.list; empty when the
// list names none.
QString defaultApplication(const QString& mimeType);
// Makes `entryId` the user's default program for `mimeType` (other defaults follow it) and
// associates it with the type. False when the list could not be written.
bool setDefaultApplication(const QString& mimeType, const QString& entryId);
// Takes `entryId` out of the defaults and associations of `mimeType`; other programs named there
// stay. False when the list could not be written.
bool removeDefaultApplication(const QString& mimeType, const QString& entryId);

// This program's own entry, "Pixoria.Image.desktop": written into the user's applications folder
// (starting this very program file, declaring no types of its own) unless an applications folder
// has it already. False when it
// could not be written.
bool ensureOwnDesktopEntry();
QString ownDesktopEntryId();

// An entry of the user's applications folder that starts the program file `program` on a file,
// hidden from application lists, as a program chosen outside of them is remembered for a type:
// "userapp-NAME.desktop". Returns its id; empty when it could not be written.
QString writeProgramEntry(const QString& program);

}  // namespace platform
