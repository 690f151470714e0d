#pragma once
// The settings store: every option and remembered value of the program, in QSettings under
// organisation "Zelt", application "Zelt Pixoria" (a section is a group, a value a key).
// Four operations carry every read and write; a value that is missing or cannot be read gives
// its default, silently. Nothing is cached here. Used from the UI thread.

#include <QString>

class CSettingsStore {
public:
    static int GetProfileInt(const QString& section, const QString& name, int defaultValue);
    static QString GetProfileString(const QString& section, const QString& name, const QString& defaultValue = {});
    static bool WriteProfileInt(const QString& section, const QString& name, int value);
    static bool WriteProfileString(const QString& section, const QString& name, const QString& value);
};

namespace settingskeys {
inline const QString kSettings = QStringLiteral("Settings");
inline const QString kAppPath = QStringLiteral("AppPath");
}  // namespace settingskeys
