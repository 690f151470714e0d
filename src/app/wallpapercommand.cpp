#include "app/wallpapercommand.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "imagelib/cbmpex.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"

namespace wallpapercommand {
namespace {

constexpr const settingskeys::StringValue& kSaved = settingskeys::kSavedWallpaper;

QString savedWallpaper()
{
    return CSettingsStore::GetProfileString(kSaved.section, kSaved.name, kSaved.defaultValue);
}

} // namespace

QString wallpaperFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Zelt Wallpaper.bmp");
}

wallpaper::Result setAsWallpaper(const QString& imagePath, wallpaper::Style style)
{
    if (imagePath.isEmpty())
        return {false, QStringLiteral("No picture is shown")};
    const QString target = wallpaperFilePath();
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return {false, QStringLiteral("Cannot create the folder of %1").arg(target)};
    // Its own image object: the shown picture keeps its transforms, the file gets none of them.
    CBmpEx picture;
    FlmSaveOptions options; // zeroed: a 24-bit Windows bitmap
    if (!picture.LoadAndSave(imagePath, target, &options))
        return {false, QStringLiteral("Cannot write %1").arg(target)};
    if (savedWallpaper().isEmpty()) {
        const QString before = wallpaper::current();
        if (!before.isEmpty())
            CSettingsStore::WriteProfileString(kSaved.section, kSaved.name, before);
    }
    return wallpaper::set(target, style);
}

wallpaper::Result restoreWallpaper()
{
    const QString saved = savedWallpaper();
    if (saved.isEmpty())
        return {false, QStringLiteral("No wallpaper was remembered")};
    wallpaper::Result result = wallpaper::restore(saved);
    if (result.ok)
        CSettingsStore::RemoveProfileValue(kSaved.section, kSaved.name);
    return result;
}

} // namespace wallpapercommand
