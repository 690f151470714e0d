#include "browser/cshelllist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeType>
#include <QPainter>
#include <QRect>
#include <QStringList>
#include <QVarLengthArray>

#include "core/textorder.h"

namespace {

constexpr int kSmallIconSize = 16;
constexpr int kLargeIconSize = 32;
// Where a cache key is made: on the stack, or a string for a name beyond ASCII.
struct KeyBuffer {
    QVarLengthArray<char16_t, 32> chars;
    QString made;
};

// Desktop entries and .directory files are a few lines; a bigger one is not worth reading.
constexpr qint64 kMaxDesktopEntryBytes = 64 * 1024;

const QString kParentName = QStringLiteral("..");
const QString kParentKey = QStringLiteral("..");
const QString kDesktopKey = QStringLiteral("desktop");
const QString kFolderMimeType = QStringLiteral("inode/directory");

// Files of these types carry an icon of their own, so one file's answer says nothing about the next.
bool isPerFileKey(QStringView key)
{
    static const QStringList keys{"exe", "dll", "lnk", "ocx", "pif", "desktop"};
    return keys.contains(key);
}

// The extension of the name, lower-cased: a dot in a folder name must not count. A name without
// a dot is its own key, led by a "/" (which no name or extension holds) so that a file called
// "jpg" cannot take the entry of the "*.jpg" files. It is asked for every row, so it is made in
// `buffer`, without a string of its own, unless the name goes beyond ASCII.
QStringView cacheKey(QStringView name, bool isFolder, KeyBuffer& buffer)
{
    if (isFolder || name == kParentName)
        return kParentKey;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QStringView part = dot < 0 ? name : name.sliced(dot + 1);
    buffer.chars.clear();
    if (dot < 0)
        buffer.chars.append(u'/');
    for (const QChar c : part) {
        if (c.unicode() >= 0x80) {
            buffer.made = (dot < 0 ? QStringLiteral("/") : QString()) + part.toString().toLower();
            return buffer.made;
        }
        buffer.chars.append(textorder::foldAscii(c.unicode()));
    }
    return QStringView(buffer.chars.constData(), buffer.chars.size());
}

// The Icon= value of the [Desktop Entry] group of a desktop entry or .directory file; empty when
// the file is missing, no regular file, unreadable, too big or has none.
QString desktopEntryIcon(const QString& filePath)
{
    // Only regular files: opening a pipe would wait for a writer.
    if (!QFileInfo(filePath).isFile())
        return {};
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxDesktopEntryBytes)
        return {};
    const QString text = QString::fromUtf8(file.read(kMaxDesktopEntryBytes));
    bool inMainGroup = false;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (inMainGroup && equals > 0 && line.left(equals).trimmed() == u"Icon")
            return line.mid(equals + 1).trimmed().toString();
    }
    return {};
}

}  // namespace

QString CShellList::ownIconName(const QString& folder, const QString& name, bool isFolder)
{
    if (name == kParentName)
        return {};
    if (isFolder)
        return desktopEntryIcon(folder + name + QStringLiteral("/.directory"));
    if (name.endsWith(QLatin1String(".desktop"), Qt::CaseInsensitive))
        return desktopEntryIcon(folder + name);
    return {};
}

int CShellList::iconIndexAndType(const QString& folder, const QString& name, QString& typeText, bool isFolder,
                                 const QString& ownIcon)
{
    // Asked for every row shown, and for every row before a sort by type: one string is made
    // here, the cache's key; the full path only when the shell is asked.
    if (name.isEmpty() && !isFolder) {
        typeText.clear();
        return -1;
    }
    KeyBuffer buffer;
    const QStringView key = cacheKey(name, isFolder, buffer);
    const EntryKind kind = entryKind(name, key, isFolder);

    // A folder may carry an icon of its own, so folders are asked every time.
    const bool cacheable = kind != EntryKind::Folder && !isPerFileKey(key);
    if (cacheable) {
        const auto cached = m_typeCache.find(key);
        if (cached != m_typeCache.end()) {
            typeText = cached->second.typeName;
            return cached->second.iconIndex;
        }
    }
    const ShellAnswer answer = askShell(folder + name, kind, ownIcon);
    const int index = imageListIndex(answer.icon);
    if (cacheable)
        m_typeCache.emplace(key.toString(), TypeEntry{index, answer.typeName});
    typeText = answer.typeName;
    return index;
}

void CShellList::attachLargeIcons(bool large)
{
    m_iconSize = large ? kLargeIconSize : kSmallIconSize;
    m_attached = true;
}

void CShellList::detach()
{
    m_attached = false;
}

bool CShellList::drawIcon(QPainter* painter, int index, int x, int y, DrawStyle style) const
{
    if (!painter || !m_attached || index < 0 || index >= int(m_icons.size()))
        return false;
    const QIcon::Mode mode = style == DrawStyle::Selected ? QIcon::Selected : QIcon::Normal;
    m_icons[size_t(index)].paint(painter, QRect(x, y, m_iconSize, m_iconSize), Qt::AlignCenter, mode);
    return true;
}

QIcon CShellList::iconOfPath(const QString& path, bool small)
{
    const QString name = path.mid(path.lastIndexOf(u'/') + 1);
    const bool isFolder = name != kParentName && QFileInfo(path).isDir();
    const int side = small ? kSmallIconSize : kLargeIconSize;
    const QString folder = path.left(path.size() - name.size());
    KeyBuffer buffer;
    return QIcon(askShell(path, entryKind(name, cacheKey(name, isFolder, buffer), isFolder),
                          ownIconName(folder, name, isFolder))
                     .icon.icon.pixmap(side, side));
}

QIcon CShellList::icon(int index) const
{
    if (index < 0 || index >= int(m_icons.size()))
        return {};
    return m_icons[size_t(index)];
}

CShellList::EntryKind CShellList::entryKind(QStringView name, QStringView key, bool isFolder)
{
    if (name == kParentName)
        return EntryKind::Parent;
    if (isFolder)
        return EntryKind::Folder;
    return key == kDesktopKey ? EntryKind::DesktopEntry : EntryKind::File;
}

CShellList::ShellAnswer CShellList::askShell(const QString& path, EntryKind kind, const QString& ownIcon)
{
    ++m_shellQueries;
    // The parent entry is answered from the folder type alone: its path may not be readable.
    if (kind == EntryKind::Parent || kind == EntryKind::Folder) {
        const QMimeType mime = m_mimeDatabase.mimeTypeForName(kFolderMimeType);
        return {resolveIcon(kind == EntryKind::Folder ? ownIcon : QString(), mime, QFileIconProvider::Folder),
                mime.comment()};
    }
    // By name only: the answer is cached by extension, so it must not depend on one file's bytes,
    // and a folder on a slow share is not read once per new extension.
    const QMimeType mime = m_mimeDatabase.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return {resolveIcon(kind == EntryKind::DesktopEntry ? ownIcon : QString(), mime, QFileIconProvider::File),
            mime.comment()};
}

CShellList::NamedIcon CShellList::resolveIcon(const QString& ownIcon, const QMimeType& mime,
                                              QFileIconProvider::IconType fallback) const
{
    if (QDir::isAbsolutePath(ownIcon) && QFileInfo(ownIcon).isFile())
        return {ownIcon, QIcon(ownIcon)};
    for (const QString& name : {ownIcon, mime.iconName(), mime.genericIconName()}) {
        if (!name.isEmpty() && QIcon::hasThemeIcon(name))
            return {name, QIcon::fromTheme(name)};
    }
    // Names that no theme icon or absolute path can have.
    return {fallback == QFileIconProvider::Folder ? QStringLiteral(":folder") : QStringLiteral(":file"),
            m_iconProvider.icon(fallback)};
}

int CShellList::imageListIndex(const NamedIcon& icon)
{
    const auto known = m_iconIndexByName.constFind(icon.name);
    if (known != m_iconIndexByName.cend())
        return *known;
    const int index = int(m_icons.size());
    m_icons.push_back(icon.icon);
    m_iconIndexByName.insert(icon.name, index);
    return index;
}
