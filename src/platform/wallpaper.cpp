#include "platform/wallpaper.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QUrl>

#include "platform/logging.h"

namespace wallpaper {
namespace {

// A desktop tool that does not answer within this time is taken as failed.
constexpr int kToolTimeoutMs = 10000;

const QString kGsettings = QStringLiteral("gsettings");
const QString kPlasmaTool = QStringLiteral("plasma-apply-wallpaperimage");
const QString kXfconf = QStringLiteral("xfconf-query");
const QString kGnomeSchema = QStringLiteral("org.gnome.desktop.background");
const QString kXfceChannel = QStringLiteral("xfce4-desktop");

// Saved text: the desktop's name on the first line, then one "key=value" line per setting.
const QString kGnomeName = QStringLiteral("GNOME");
const QString kKdeName = QStringLiteral("KDE");
const QString kXfceName = QStringLiteral("XFCE");

// Runs a tool; its standard output, trimmed, goes to `output`. False unless it ran and exited 0.
bool runTool(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) {
        qCDebug(lcPlatform) << program << "is not installed";
        return false;
    }
    QProcess process;
    process.start(path, arguments);
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        qCWarning(lcPlatform) << program << "did not answer within" << kToolTimeoutMs << "ms";
        return false;
    }
    if (output)
        *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    qCWarning(lcPlatform) << program << arguments << "failed:" << process.readAllStandardError().trimmed();
    return false;
}

bool hasTool(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QString desktopName(Desktop desktop)
{
    switch (desktop) {
    case Desktop::Gnome:
        return kGnomeName;
    case Desktop::Kde:
        return kKdeName;
    case Desktop::Xfce:
        return kXfceName;
    case Desktop::None:
        break;
    }
    return {};
}

QString savedText(Desktop desktop, const QStringList& values)
{
    return (QStringList{desktopName(desktop)} + values).join(QLatin1Char('\n'));
}

// GVariant text of a string, as `gsettings set` parses it.
QString gvariantString(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// --- GNOME family -------------------------------------------------------------------------------

// The picture keys this desktop has: picture-uri-dark came with the dark style.
QStringList gnomeKeys()
{
    QString keys;
    if (!runTool(kGsettings, {QStringLiteral("list-keys"), kGnomeSchema}, &keys))
        return {};
    QStringList wanted;
    for (const QString& key :
         {QStringLiteral("picture-uri"), QStringLiteral("picture-uri-dark"), QStringLiteral("picture-options")}) {
        if (keys.split(QLatin1Char('\n')).contains(key))
            wanted << key;
    }
    return wanted;
}

QString gnomeCurrent()
{
    QStringList values;
    for (const QString& key : gnomeKeys()) {
        QString value;
        if (!runTool(kGsettings, {QStringLiteral("get"), kGnomeSchema, key}, &value))
            return {};
        values << key + QLatin1Char('=') + value;
    }
    return values.isEmpty() ? QString() : savedText(Desktop::Gnome, values);
}

Result gnomeSet(const QString& path, Style style)
{
    const QStringList keys = gnomeKeys();
    if (!keys.contains(QStringLiteral("picture-uri")))
        return {false, QStringLiteral("The desktop has no %1 settings").arg(kGnomeSchema)};
    const QString uri = gvariantString(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    const QString options = style == kTile      ? QStringLiteral("wallpaper")
                            : style == kStretch ? QStringLiteral("stretched")
                                                : QStringLiteral("centered");
    for (const QString& key : keys) {
        const QString value = key == QLatin1String("picture-options") ? gvariantString(options) : uri;
        if (!runTool(kGsettings, {QStringLiteral("set"), kGnomeSchema, key, value}))
            return {false, QStringLiteral("gsettings could not set %1").arg(key)};
    }
    return {true, QStringLiteral("Wallpaper set through gsettings")};
}

Result gnomeRestore(const QStringList& values)
{
    for (const QString& line : values) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        if (!runTool(kGsettings, {QStringLiteral("set"), kGnomeSchema, line.left(equals), line.mid(equals + 1)}))
            return {false, QStringLiteral("gsettings could not restore %1").arg(line.left(equals))};
    }
    return {true, QStringLiteral("Wallpaper restored through gsettings")};
}

// --- KDE Plasma ---------------------------------------------------------------------------------

// Plasma keeps each desktop's wallpaper in its applets file under
// [Containments][<n>][Wallpaper][org.kde.image][General]; the first such image is the one to keep.
QString kdeCurrent()
{
    const QString file = QStandardPaths::locate(QStandardPaths::GenericConfigLocation,
                                                QStringLiteral("plasma-org.kde.plasma.desktop-appletsrc"));
    QFile in(file);
    if (file.isEmpty() || !in.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inImageGroup = false;
    while (!in.atEnd()) {
        const QString line = QString::fromUtf8(in.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inImageGroup = line.startsWith(QLatin1String("[Containments]")) &&
                           line.endsWith(QLatin1String("[Wallpaper][org.kde.image][General]"));
        } else if (inImageGroup && line.startsWith(QLatin1String("Image="))) {
            return savedText(Desktop::Kde, {line});
        }
    }
    return {};
}

Result kdeApply(const QString& image)
{
    if (!runTool(kPlasmaTool, {image}))
        return {false, QStringLiteral("plasma-apply-wallpaperimage failed")};
    return {true, QStringLiteral("Wallpaper set through plasma-apply-wallpaperimage")};
}

// --- Xfce ---------------------------------------------------------------------------------------

// Every monitor and workspace has its own backdrop, named by its "last-image" property.
QStringList xfceImageProperties()
{
    QString listing;
    if (!runTool(kXfconf, {QStringLiteral("-c"), kXfceChannel, QStringLiteral("-l")}, &listing))
        return {};
    QStringList properties;
    for (const QString& property : listing.split(QLatin1Char('\n'))) {
        if (property.endsWith(QLatin1String("/last-image")))
            properties << property;
    }
    return properties;
}

QString xfceStyleProperty(const QString& imageProperty)
{
    return imageProperty.left(imageProperty.lastIndexOf(QLatin1Char('/'))) + QStringLiteral("/image-style");
}

bool xfceWrite(const QString& property, const QString& type, const QString& value)
{
    return runTool(kXfconf, {QStringLiteral("-c"), kXfceChannel, QStringLiteral("-p"), property, QStringLiteral("-n"),
                             QStringLiteral("-t"), type, QStringLiteral("-s"), value});
}

QString xfceCurrent()
{
    QStringList values;
    for (const QString& property : xfceImageProperties()) {
        for (const QString& read : {property, xfceStyleProperty(property)}) {
            QString value;
            if (runTool(kXfconf, {QStringLiteral("-c"), kXfceChannel, QStringLiteral("-p"), read}, &value))
                values << read + QLatin1Char('=') + value;
        }
    }
    return values.isEmpty() ? QString() : savedText(Desktop::Xfce, values);
}

Result xfceSet(const QString& path, Style style)
{
    const QStringList properties = xfceImageProperties();
    if (properties.isEmpty())
        return {false, QStringLiteral("xfconf-query lists no backdrop")};
    // image-style: 1 centred, 2 tiled, 3 stretched.
    const QString imageStyle = QString::number(style == kTile ? 2 : style == kStretch ? 3 : 1);
    for (const QString& property : properties) {
        if (!xfceWrite(property, QStringLiteral("string"), path) ||
            !xfceWrite(xfceStyleProperty(property), QStringLiteral("int"), imageStyle))
            return {false, QStringLiteral("xfconf-query could not set %1").arg(property)};
    }
    return {true, QStringLiteral("Wallpaper set through xfconf-query")};
}

Result xfceRestore(const QStringList& values)
{
    for (const QString& line : values) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0)
            continue;
        const QString property = line.left(equals);
        const bool isStyle = property.endsWith(QLatin1String("/image-style"));
        if (!xfceWrite(property, isStyle ? QStringLiteral("int") : QStringLiteral("string"), line.mid(equals + 1)))
            return {false, QStringLiteral("xfconf-query could not restore %1").arg(property)};
    }
    return {true, QStringLiteral("Wallpaper restored through xfconf-query")};
}

Result noDesktop()
{
    return {false, QStringLiteral("No supported desktop: the wallpaper was not changed")};
}

} // namespace

Desktop detectDesktop()
{
    const QStringList names =
        qEnvironmentVariable("XDG_CURRENT_DESKTOP").toUpper().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& name : names) {
        // Desktops built on GNOME's shell settings share its background keys.
        if ((name == QLatin1String("GNOME") || name == QLatin1String("UNITY") || name == QLatin1String("BUDGIE") ||
             name == QLatin1String("PANTHEON")) &&
            hasTool(kGsettings))
            return Desktop::Gnome;
        if (name == QLatin1String("KDE") && hasTool(kPlasmaTool))
            return Desktop::Kde;
        if (name == QLatin1String("XFCE") && hasTool(kXfconf))
            return Desktop::Xfce;
    }
    return Desktop::None;
}

QString current()
{
    switch (detectDesktop()) {
    case Desktop::Gnome:
        return gnomeCurrent();
    case Desktop::Kde:
        return kdeCurrent();
    case Desktop::Xfce:
        return xfceCurrent();
    case Desktop::None:
        break;
    }
    return {};
}

Result set(const QString& path, Style style)
{
    switch (detectDesktop()) {
    case Desktop::Gnome:
        return gnomeSet(path, style);
    case Desktop::Kde:
        // Plasma's tool takes the picture only; it keeps the desktop's own fill mode.
        return kdeApply(path);
    case Desktop::Xfce:
        return xfceSet(path, style);
    case Desktop::None:
        break;
    }
    return noDesktop();
}

Result restore(const QString& saved)
{
    const Desktop desktop = detectDesktop();
    if (desktop == Desktop::None)
        return noDesktop();
    QStringList values = saved.split(QLatin1Char('\n'));
    if (values.size() < 2 || values.takeFirst() != desktopName(desktop))
        return {false, QStringLiteral("No wallpaper of this desktop to restore")};
    switch (desktop) {
    case Desktop::Gnome:
        return gnomeRestore(values);
    case Desktop::Kde: {
        // Plasma writes the image as a file URL or as a plain path.
        const QString image = values.first().section(QLatin1Char('='), 1);
        return kdeApply(image.startsWith(QLatin1String("file:")) ? QUrl(image).toLocalFile() : image);
    }
    case Desktop::Xfce:
        return xfceRestore(values);
    case Desktop::None:
        break;
    }
    return noDesktop();
}

} // namespace wallpaper
