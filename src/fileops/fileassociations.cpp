#include "fileops/fileassociations.h"

#include <QHash>
#include <QMimeDatabase>
#include <QSet>

#include "platform/desktopentries.h"

namespace fileassociations {

namespace {

// Extensions the shared MIME database may not know (the program installs globs for them).
QString typeOfUnknown(const QString& extension)
{
    static const QHash<QString, QString> types{
        {QStringLiteral(".jfif"), QStringLiteral("image/jpeg")},
        {QStringLiteral(".apm"), QStringLiteral("image/wmf")},
        {QStringLiteral(".dcx"), QStringLiteral("image/x-dcx")},
        {QStringLiteral(".wbm"), QStringLiteral("image/vnd.wap.wbmp")},
        {QStringLiteral(".img"), QStringLiteral("image/x-gem")},
    };
    return types.value(extension);
}

}  // namespace

const QList<Box>& boxes()
{
    static const QList<Box> table{
        {"BMP", {QStringLiteral(".bmp")}},
        {"DIB", {QStringLiteral(".dib")}},
        {"EMF", {QStringLiteral(".emf")}},
        {"GIF", {QStringLiteral(".gif")}},
        {"ICO", {QStringLiteral(".ico")}},
        {"Jpeg", {QStringLiteral(".jpg"), QStringLiteral(".jpeg"), QStringLiteral(".jpe"), QStringLiteral(".jfif")}},
        {"WMF", {QStringLiteral(".wmf")}},
        {"APM", {QStringLiteral(".apm")}},
        {"DCX", {QStringLiteral(".dcx")}},
        {"IFF", {QStringLiteral(".iff")}},
        {"IMG", {QStringLiteral(".img")}},
        {"PBM", {QStringLiteral(".pbm")}},
        {"PCD", {QStringLiteral(".pcd")}},
        {"PCX", {QStringLiteral(".pcx")}},
        {"PGM", {QStringLiteral(".pgm")}},
        {"PNG", {QStringLiteral(".png")}},
        {"PPM", {QStringLiteral(".ppm")}},
        {"PSD", {QStringLiteral(".psd")}},
        {"RAS", {QStringLiteral(".ras")}},
        {"SGI", {QStringLiteral(".sgi")}},
        {"TGA", {QStringLiteral(".tga")}},
        {"TIFF", {QStringLiteral(".tif")}},
        {"WBM", {QStringLiteral(".wbm")}},
        {"WPG", {QStringLiteral(".wpg")}},
        {"XBM", {QStringLiteral(".xbm")}},
        {"XPM", {QStringLiteral(".xpm")}},
    };
    return table;
}

QStringList extensionsInOrder()
{
    // The first extension of every box, with the other JPEG names right after .wmf.
    QStringList order;
    QStringList later;
    for (const Box& box : boxes()) {
        order << box.extensions.constFirst();
        later << box.extensions.mid(1);
        if (order.constLast() == u".wmf")
            order << later;
    }
    return order;
}

QString mimeTypeOf(const QString& extension)
{
    if (const QString known = typeOfUnknown(extension); !known.isEmpty())
        return known;
    return QMimeDatabase().mimeTypeForFile(QStringLiteral("x") + extension, QMimeDatabase::MatchExtension).name();
}

bool isOwned(const QString& extension)
{
    return platform::defaultApplication(mimeTypeOf(extension)) == platform::ownDesktopEntryId();
}

bool apply(const QList<bool>& on)
{
    // A type is wanted when any box over one of its extensions is on: .bmp and .dib cannot be
    // owned apart.
    QSet<QString> wanted;
    for (qsizetype i = 0; i < boxes().size() && i < on.size(); ++i) {
        for (const QString& extension : boxes()[i].extensions) {
            if (on[i])
                wanted.insert(mimeTypeOf(extension));
        }
    }
    bool written = wanted.isEmpty() || platform::ensureOwnDesktopEntry();
    const QString own = platform::ownDesktopEntryId();
    for (const QString& extension : extensionsInOrder()) {
        const QString type = mimeTypeOf(extension);
        if (wanted.contains(type))
            written = platform::setDefaultApplication(type, own) && written;
        else if (isOwned(extension))
            written = platform::removeDefaultApplication(type, own) && written;
    }
    return written;
}

}  // namespace fileassociations
