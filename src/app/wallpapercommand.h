#pragma once
// The viewer's "Set as wallpaper" and "Restore": the picture is read again from its file (so
// transforms made in the viewer and not saved are left out), written as a 24-bit BMP named
// "Zelt Wallpaper.bmp" in the user's data folder and handed to the desktop with the style. The
// desktop's wallpaper before the first change is remembered in the settings store for Restore.
// Without a supported desktop the file is still written and the result says nothing was set.
// UI thread; each call waits for the desktop's tool.

#include <QString>

#include "platform/wallpaper.h"

namespace wallpapercommand {

// "<user's data folder>/Zelt Wallpaper.bmp".
QString wallpaperFilePath();

// Fails without touching the desktop when the path is empty or the picture cannot be read or
// written.
wallpaper::Result setAsWallpaper(const QString& imagePath, wallpaper::Style style);

// Puts back the remembered wallpaper and forgets it; fails when nothing is remembered.
wallpaper::Result restoreWallpaper();

} // namespace wallpapercommand
