#include "settings/csettingsstore.h"

#include <limits>
#include <memory>

#include <QSettings>
#include <QStringList>

namespace {

// One store for the whole program, whatever the application object's names are set to.
std::unique_ptr<QSettings> openStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Zelt"),
                                       QStringLiteral("Zelt Pixoria"));
}

QString key(const QString& section, const QString& name)
{
    return section + QLatin1Char('/') + name;
}

// The settings of the Batch in progress, if any, and how many Batch objects are open.
struct OpenBatch {
    int depth = 0;
    std::unique_ptr<QSettings> settings;
};

OpenBatch& openBatch()
{
    static OpenBatch batch;
    return batch;
}

QVariant read(const QString& section, const QString& name)
{
    if (const OpenBatch& batch = openBatch(); batch.settings)
        return batch.settings->value(key(section, name));
    return openStore()->value(key(section, name));
}

// An invalid value removes the key.
void put(QSettings& settings, const QString& section, const QString& name, const QVariant& value)
{
    if (value.isValid())
        settings.setValue(key(section, name), value);
    else
        settings.remove(key(section, name));
}

bool write(const QString& section, const QString& name, const QVariant& value)
{
    if (const OpenBatch& batch = openBatch(); batch.settings) {
        put(*batch.settings, section, name, value);
        return true;
    }
    const std::unique_ptr<QSettings> settings = openStore();
    put(*settings, section, name, value);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

} // namespace

int CSettingsStore::GetProfileInt(const QString& section, const QString& name, int defaultValue)
{
    // QVariant's own toInt() wraps a stored "99999999999" instead of failing.
    bool ok = false;
    const qlonglong result = read(section, name).toLongLong(&ok);
    const bool fits = ok && result >= std::numeric_limits<int>::min() && result <= std::numeric_limits<int>::max();
    return fits ? int(result) : defaultValue;
}

QString CSettingsStore::GetProfileString(const QString& section, const QString& name, const QString& defaultValue)
{
    const QVariant value = read(section, name);
    // The file format splits an unquoted value at its commas (a hand-edited "120,1"); give the
    // text back as it was typed.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.isValid() && value.canConvert<QString>() ? value.toString() : defaultValue;
}

bool CSettingsStore::WriteProfileInt(const QString& section, const QString& name, int value)
{
    return write(section, name, value);
}

bool CSettingsStore::WriteProfileString(const QString& section, const QString& name, const QString& value)
{
    return write(section, name, value);
}

int CSettingsStore::GetProfileInt(const settingskeys::IntValue& value)
{
    return GetProfileInt(value.section, value.name, value.defaultValue);
}

bool CSettingsStore::WriteProfileInt(const settingskeys::IntValue& value, int data)
{
    return WriteProfileInt(value.section, value.name, data);
}

QByteArray CSettingsStore::GetProfileBinary(const QString& section, const QString& name)
{
    const QVariant value = read(section, name);
    return value.typeId() == QMetaType::QByteArray ? value.toByteArray() : QByteArray();
}

bool CSettingsStore::WriteProfileBinary(const QString& section, const QString& name, const QByteArray& data)
{
    return write(section, name, data);
}

bool CSettingsStore::RemoveProfileValue(const QString& section, const QString& name)
{
    return write(section, name, QVariant());
}

CSettingsStore::Batch::Batch()
{
    OpenBatch& batch = openBatch();
    if (batch.depth++ == 0)
        batch.settings = openStore();
}

CSettingsStore::Batch::~Batch()
{
    OpenBatch& batch = openBatch();
    if (--batch.depth == 0)
        batch.settings.reset(); // QSettings saves its changes when it goes
}
