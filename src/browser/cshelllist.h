#pragma once
// File rows get their icon and type name here. The MIME database and the icon theme are asked
// once per file type, not once per file: answers are cached by the lower-cased extension of the
// name, and every distinct icon gets one index in the component's own image list. Folders, which
// may carry an icon of their own, and the types whose every file does (exe, dll, lnk, ocx, pif,
// desktop) are asked every time.
//
// Only the UI thread may use a CShellList: icons and pixmaps belong to that thread. Nothing is
// ever removed from the cache or the image list, so an index stays valid for the object's life.

#include <map>
#include <vector>

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>

class QPainter;

class CShellList {
public:
    enum class DrawStyle { Normal, Selected };

    // Icon index of the entry `name` of `folder` (ending with "/") and its type name (the MIME
    // comment, e.g. "JPEG image"), set into typeText. `ownIcon` is what ownIconName() found for
    // the entry, read beforehand off this thread, so that nothing here touches the disk but an
    // icon file named by its full path. Returns -1, with typeText cleared, only for a file
    // without a name.
    int iconIndexAndType(const QString& folder, const QString& name, QString& typeText, bool isFolder,
                         const QString& ownIcon);

    // The icon a folder (its ".directory" file) or a desktop entry names for itself: the Icon=
    // value of its [Desktop Entry] group, a theme name or a full path; empty for other files
    // (without touching the disk, so that reading a folder of files costs nothing more) and when
    // the file is missing, no regular file, unreadable or too big. Any thread.
    static QString ownIconName(const QString& folder, const QString& name, bool isFolder);

    // Chooses the size that drawIcon paints at: 32 x 32 when large, else 16 x 16.
    void attachLargeIcons(bool large);
    void detach();

    // Paints an icon of the image list with its top-left corner at (x, y); false, painting
    // nothing, when no size is attached or the index is not in the list.
    bool drawIcon(QPainter* painter, int index, int x, int y, DrawStyle style) const;

    // The icon of a path at 16 x 16 when small, else 32 x 32; asked afresh on every call, outside
    // the cache and the image list.
    QIcon iconOfPath(const QString& path, bool small);

    // The icon behind an index that iconIndexAndType returned; a null icon for any other index.
    QIcon icon(int index) const;

    // How many times the MIME database and the icon theme were asked: the expensive step that
    // the cache saves.
    int shellQueryCount() const { return m_shellQueries; }

private:
    enum class EntryKind { File, DesktopEntry, Folder, Parent };

    struct NamedIcon {
        QString name;
        QIcon icon;
    };

    struct ShellAnswer {
        NamedIcon icon;
        QString typeName;
    };

    struct TypeEntry {
        int iconIndex;
        QString typeName;
    };

    // `key` is the name's cacheKey.
    static EntryKind entryKind(QStringView name, QStringView key, bool isFolder);
    ShellAnswer askShell(const QString& path, EntryKind kind, const QString& ownIcon);
    NamedIcon resolveIcon(const QString& ownIcon, const QMimeType& mime, QFileIconProvider::IconType fallback) const;
    int imageListIndex(const NamedIcon& icon);

    // Found by a key made on the stack (std::less<> compares a string with a view).
    std::map<QString, TypeEntry, std::less<>> m_typeCache;
    std::vector<QIcon> m_icons;
    QHash<QString, int> m_iconIndexByName;
    QMimeDatabase m_mimeDatabase;
    QFileIconProvider m_iconProvider;
    int m_iconSize = 16;
    bool m_attached = false;
    int m_shellQueries = 0;
};
