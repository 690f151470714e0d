#pragma once
// The settings store: every option and remembered value of the program, in QSettings under
// organisation "Zelt", application "Zelt Pixoria" (a section is a group, a value a key); the
// sections, names and defaults are in settingskeys.h.
// Four operations carry every read and write, with a binary pair for the toolbar and dock states.
// A value that is missing or cannot be read gives its default, silently; a failed write returns
// false and callers may ignore it. One QSettings serves the whole run: the file is read once and
// every write is saved to it at once, except that writes made while a Batch lives are saved
// together when it ends. Used from the UI thread.

#include <QByteArray>
#include <QString>

#include "settings/settingskeys.h"

class CSettingsStore {
public:
    static int GetProfileInt(const QString& section, const QString& name, int defaultValue);
    static QString GetProfileString(const QString& section, const QString& name, const QString& defaultValue = {});
    static bool WriteProfileInt(const QString& section, const QString& name, int value);
    static bool WriteProfileString(const QString& section, const QString& name, const QString& value);

    static int GetProfileInt(const settingskeys::IntValue& value);
    static bool WriteProfileInt(const settingskeys::IntValue& value, int data);

    // An empty array when the value is missing or is not binary.
    static QByteArray GetProfileBinary(const QString& section, const QString& name);
    static bool WriteProfileBinary(const QString& section, const QString& name, const QByteArray& data);

    // Removing a value that does not exist succeeds.
    static bool RemoveProfileValue(const QString& section, const QString& name);

    // Takes in what another program wrote to the file since it was read (the program's own
    // writes are saved already).
    static void reload();

    // Saving the file costs a flush to disk per write; while a Batch lives, writes are kept in
    // memory (every read sees them at once) and the file is saved once, when the outermost Batch
    // ends. Writes inside a Batch report success; a failed save is ignored like any failed write.
    class Batch {
    public:
        Batch();
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
    };
};
