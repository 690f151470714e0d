#include "settings/csettingsstore.h"

#include "settings/logging.h"

#include <limits>

#include <QSettings>
#include <QStringList>

namespace {

// The one QSettings of the program, whatever the application object's names are set to; it
// keeps what it read, so a read costs no file access.
QSettings& store()
{
    static QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Zelt"),
                              QStringLiteral("Zelt Pixoria"));
    return settings;
}

// How many Batch objects are open: while one is, writes are saved when the outermost ends.
int& batchDepth()
{
    static int depth = 0;
    return depth;
}

QString key(const QString& section, const QString& name)
{
    return section + QLatin1Char('/') + name;
}

QVariant read(const QString& section, const QString& name)
{
    return store().value(key(section, name));
}

bool save(QSettings& settings)
{
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    qCWarning(lcSettings) << "cannot save the settings to" << settings.fileName();
    return false;
}

// An invalid value removes the key.
bool write(const QString& section, const QString& name, const QVariant& value)
{
    QSettings& settings = store();
    if (value.isValid())
        settings.setValue(key(section, name), value);
    else
        settings.remove(key(section, name));
    if (batchDepth() > 0)
        return true;
    return save(settings);
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

void CSettingsStore::reload()
{
    store().sync();
}

CSettingsStore::Batch::Batch()
{
    ++batchDepth();
}

CSettingsStore::Batch::~Batch()
{
    if (--batchDepth() == 0)
        save(store());
}
