#include "app/core/csettingsstore.h"

#include <QSettings>

namespace {

// One store for the whole program, whatever the application object's names are set to.
QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Zelt"),
                     QStringLiteral("Zelt Pixoria"));
}

QString key(const QString& section, const QString& name)
{
    return section + QLatin1Char('/') + name;
}

bool write(const QString& section, const QString& name, const QVariant& value)
{
    QSettings settings = store();
    settings.setValue(key(section, name), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace

int CSettingsStore::GetProfileInt(const QString& section, const QString& name, int defaultValue)
{
    const QVariant value = store().value(key(section, name));
    bool ok = false;
    const int result = value.toInt(&ok);
    return ok ? result : defaultValue;
}

QString CSettingsStore::GetProfileString(const QString& section, const QString& name, const QString& defaultValue)
{
    const QVariant value = store().value(key(section, name));
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
