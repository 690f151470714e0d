#pragma once
// Shared by the settings tests: the store's file, a reader of it by path, and stored runs of
// values ("LUF0", "LUF1", ...).

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace settingstest {

// Marks a value a test leaves unstored, or finds missing.
inline const QString kMissing = QStringLiteral("<missing>");

inline QString storeFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Zelt/Zelt Pixoria.conf");
}

inline QSettings fileReader()
{
    return QSettings(storeFile(), QSettings::IniFormat);
}

inline void clearStore()
{
    fileReader().clear();
}

// Replaces the file as a user editing it would; the old date makes every reader notice.
inline bool writeStoreFileText(const QByteArray& text)
{
    QFile file(storeFile());
    return QDir().mkpath(QFileInfo(file).absolutePath()) && file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(text) == text.size() && file.flush() &&
           file.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)), QFileDevice::FileModificationTime);
}

inline QString runKey(const QString& section, const QString& prefix, qsizetype index)
{
    return section + QLatin1Char('/') + prefix + QString::number(index);
}

// Stores values 0, 1, ... of a run, skipping those that are kMissing.
inline void storeRun(const QString& section, const QString& prefix, const QStringList& values)
{
    QSettings settings = fileReader();
    for (qsizetype index = 0; index < values.size(); ++index) {
        if (values.at(index) != kMissing)
            settings.setValue(runKey(section, prefix, index), values.at(index));
    }
}

// Values 0 .. count - 1 of a run as the file holds them.
inline QStringList storedRun(const QString& section, const QString& prefix, int count)
{
    const QSettings settings = fileReader();
    QStringList values;
    for (int index = 0; index < count; ++index)
        values << settings.value(runKey(section, prefix, index), kMissing).toString();
    return values;
}

} // namespace settingstest
