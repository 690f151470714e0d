#pragma once
// The desktop's wallpaper: which desktop runs (XDG_CURRENT_DESKTOP, with its tool installed),
// setting a picture file with a style, and reading the wallpaper now set as text that restore()
// puts back. GNOME-family desktops go through `gsettings` (org.gnome.desktop.background), KDE
// Plasma through `plasma-apply-wallpaperimage`, Xfce through `xfconf-query`; elsewhere nothing
// is changed and the result says so. Each call runs the desktop's tool and waits for it.

#include <QString>

namespace wallpaper {

// The styles of "Set as wallpaper", numbered as the viewer's commands pass them.
enum Style : int { kCenter = 0, kStretch = 1, kTile = 2 };

enum class Desktop { None, Gnome, Kde, Xfce };

struct Result {
    bool ok = false;
    QString message; // what was done, or why nothing was
};

Desktop detectDesktop();

// The wallpaper set now, in a form only restore() reads; empty when there is no supported
// desktop or its settings cannot be read.
QString current();
// Sets the picture file at `path` as the wallpaper with the style.
Result set(const QString& path, Style style);
// Puts back what current() returned, on the desktop it came from.
Result restore(const QString& saved);

} // namespace wallpaper
