#include "browser/cshelltree.h"

#include <algorithm>
#include <vector>

#include <QCollator>
#include <QDir>
#include <QDirIterator>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QStandardPaths>
#include <QStorageInfo>

#include "core/messages.h"
#include "platform/directoryreader.h"
#include "settings/settingskeys.h"

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kChildrenMadeRole = Qt::UserRole + 1;
constexpr int kShowDelayMs = 300;

struct TopFolder {
    QString path;
    QString text;
    QString iconName;
};

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString childPath(const QString& parent, const QString& name)
{
    return parent.endsWith(u'/') ? parent + name : parent + u'/' + name;
}

// `prefix` is `path` or one of its parent folders.
bool isInside(const QString& prefix, const QString& path, Qt::CaseSensitivity cs)
{
    if (prefix == QLatin1String("/"))
        return path.startsWith(u'/');
    return path.startsWith(prefix, cs) && (path.size() == prefix.size() || path.at(prefix.size()) == u'/');
}

// The child of that name; in other letter case when no child has it exactly.
QTreeWidgetItem* childNamed(const QTreeWidgetItem* parent, const QString& name)
{
    QTreeWidgetItem* otherCase = nullptr;
    for (int i = 0; i < parent->childCount(); ++i) {
        QTreeWidgetItem* child = parent->child(i);
        const QString childName = fileNameOf(CShellTree::pathOfItem(child));
        if (childName == name)
            return child;
        if (!otherCase && childName.compare(name, Qt::CaseInsensitive) == 0)
            otherCase = child;
    }
    return otherCase;
}

// Folder names in the order a person reads them: "img2" before "IMG10".
bool naturalLess(const QString& a, const QString& b)
{
    static const QCollator collator = [] {
        // The C locale compares code points, numbers included; English collation knows them.
        const QLocale system = QLocale::system();
        QCollator c(system.language() == QLocale::C ? QLocale(QLocale::English) : system);
        c.setNumericMode(true);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const int order = collator.compare(a, b);
    return order != 0 ? order < 0 : a < b;
}

// Only the first subfolder is looked for: a folder of thousands of files costs a few entries.
bool hasSubfolder(const QString& path)
{
    QDirIterator it(path, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    return it.hasNext();
}

// Pseudo and system file systems, and what containers and snaps mount, are no places for pictures.
bool isUserVolume(const QStorageInfo& storage)
{
    static const QList<QByteArray> skippedTypes = {
        "proc",    "sysfs",     "cgroup",  "cgroup2",     "tmpfs",      "devtmpfs", "overlay",  "squashfs",
        "devpts",  "mqueue",    "debugfs", "tracefs",     "securityfs", "pstore",   "bpf",      "configfs",
        "fusectl", "hugetlbfs", "autofs",  "binfmt_misc", "ramfs",      "nsfs",     "efivarfs", "rpc_pipefs"};
    if (!storage.isValid() || !storage.isReady() || skippedTypes.contains(storage.fileSystemType()))
        return false;
    const QString root = storage.rootPath();
    if (root == QLatin1String("/") || !QFileInfo(root).isDir())
        return false;
    if (isInside(QStringLiteral("/run/media"), root, Qt::CaseSensitive))
        return true;
    for (const char* system : {"/proc", "/sys", "/dev", "/run"}) {
        if (isInside(QLatin1String(system), root, Qt::CaseSensitive))
            return false;
    }
    return true;
}

QList<TopFolder> topFolders()
{
    QList<TopFolder> folders;
    const auto add = [&folders](const QString& path, const QString& text, const QString& iconName) {
        const bool taken =
            std::any_of(folders.cbegin(), folders.cend(), [&path](const TopFolder& f) { return f.path == path; });
        if (!taken)
            folders.append({path, text, iconName});
    };
    const QString home = QDir::cleanPath(QDir::homePath());
    add(home, fileNameOf(home).isEmpty() ? home : fileNameOf(home), QStringLiteral("user-home"));
    const std::pair<QStandardPaths::StandardLocation, const char*> specials[] = {
        {QStandardPaths::DesktopLocation, "user-desktop"},
        {QStandardPaths::DocumentsLocation, "folder-documents"},
        {QStandardPaths::PicturesLocation, "folder-pictures"}};
    for (const auto& [location, iconName] : specials) {
        const QString path = QDir::cleanPath(QStandardPaths::writableLocation(location));
        if (!path.isEmpty() && path != home && QFileInfo(path).isDir())
            add(path, fileNameOf(path), QLatin1String(iconName));
    }
    add(QStringLiteral("/"), CShellTree::tr("File System"), QStringLiteral("drive-harddisk"));

    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(),
              [](const QStorageInfo& a, const QStorageInfo& b) { return a.rootPath() < b.rootPath(); });
    for (const QStorageInfo& volume : volumes) {
        if (!isUserVolume(volume))
            continue;
        const QString root = QDir::cleanPath(volume.rootPath());
        const bool removable = isInside(QStringLiteral("/media"), root, Qt::CaseSensitive) ||
                               isInside(QStringLiteral("/run/media"), root, Qt::CaseSensitive);
        add(root, volume.name().isEmpty() ? fileNameOf(root) : volume.name(),
            removable ? QStringLiteral("drive-removable-media") : QStringLiteral("drive-harddisk"));
    }
    return folders;
}

// The folder icon, with the open folder for the selected look when the theme has one.
QIcon makeFolderIcon()
{
    const QIcon closed =
        QIcon::fromTheme(QStringLiteral("folder"), QFileIconProvider().icon(QFileIconProvider::Folder));
    const QIcon open = QIcon::fromTheme(QStringLiteral("folder-open"), closed);
    QIcon icon;
    for (int side : {16, 22, 24, 32}) {
        icon.addPixmap(closed.pixmap(side), QIcon::Normal);
        icon.addPixmap(open.pixmap(side), QIcon::Selected);
    }
    return icon;
}

} // namespace

CShellTree::CShellTree(QWidget* parent) : QTreeWidget(parent), m_folderIcon(makeFolderIcon())
{
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    m_showTimer.setSingleShot(true);
    m_showTimer.setInterval(kShowDelayMs);
    connect(&m_showTimer, &QTimer::timeout, this, [this] { showItem(currentItem()); });
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { showItem(item); });
    connect(this, &QTreeWidget::itemExpanded, this, &CShellTree::makeChildren);
}

void CShellTree::setFrame(QObject* frame)
{
    m_frame = frame;
}

QTreeWidgetItem* CShellTree::makeItem(const QString& path, const QString& text, const QIcon& icon, bool editable)
{
    auto* item = new QTreeWidgetItem(QStringList(text));
    item->setData(0, kPathRole, path);
    item->setIcon(0, icon);
    item->setToolTip(0, path);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (editable)
        flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    item->setChildIndicatorPolicy(hasSubfolder(path) ? QTreeWidgetItem::ShowIndicator
                                                     : QTreeWidgetItem::DontShowIndicator);
    return item;
}

void CShellTree::buildTree()
{
    clear();
    for (const TopFolder& folder : topFolders()) {
        const QIcon icon = QIcon::fromTheme(folder.iconName, m_folderIcon);
        // The top level stands for places, not for folders one renames from here.
        addTopLevelItem(makeItem(folder.path, folder.text, icon, false));
    }
}

void CShellTree::makeChildren(QTreeWidgetItem* item)
{
    if (!item || item->data(0, kChildrenMadeRole).toBool())
        return;
    item->setData(0, kChildrenMadeRole, true);
    const QString path = pathOfItem(item);
    QStringList names;
    const platform::DirectoryResult result =
        platform::readDirectory(path, nullptr, [&names](platform::DirectoryEntry&& entry) {
            if (entry.isFolder)
                names.append(std::move(entry.name));
        });
    if (result != platform::DirectoryResult::Done)
        names.clear();
    std::sort(names.begin(), names.end(), naturalLess);
    QList<QTreeWidgetItem*> children;
    children.reserve(names.size());
    for (const QString& name : std::as_const(names))
        children.append(makeItem(childPath(path, name), name, m_folderIcon, true));
    item->addChildren(children);
    item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

QString CShellTree::pathOfItem(const QTreeWidgetItem* item)
{
    return item ? item->data(0, kPathRole).toString() : QString();
}

QString CShellTree::currentPath() const
{
    return pathOfItem(currentItem());
}

QTreeWidgetItem* CShellTree::findPath(const QString& path)
{
    const QString target = QDir::cleanPath(path);
    if (!QDir::isAbsolutePath(target))
        return nullptr;
    // The most specific branch first (Documents before home before "/"), an exact spelling before
    // one in other letter case; a branch where the walk fails leaves the next one its chance.
    struct Branch {
        QTreeWidgetItem* item;
        qsizetype length;
        bool exactCase;
    };
    std::vector<Branch> branches;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        QTreeWidgetItem* top = topLevelItem(i);
        const QString prefix = pathOfItem(top);
        if (isInside(prefix, target, Qt::CaseInsensitive))
            branches.push_back({top, prefix.size(), isInside(prefix, target, Qt::CaseSensitive)});
    }
    std::stable_sort(branches.begin(), branches.end(), [](const Branch& a, const Branch& b) {
        return a.length != b.length ? a.length > b.length : a.exactCase && !b.exactCase;
    });
    for (const Branch& branch : branches) {
        const QStringList names = target.mid(branch.length).split(u'/', Qt::SkipEmptyParts);
        QTreeWidgetItem* item = branch.item;
        for (const QString& name : names) {
            makeChildren(item);
            item = childNamed(item, name);
            if (!item)
                break;
        }
        // Children made earlier may name a folder deleted since.
        if (item && QFileInfo(pathOfItem(item)).isDir())
            return item;
    }
    return nullptr;
}

bool CShellTree::selectPath(const QString& path)
{
    QTreeWidgetItem* item = findPath(path);
    if (!item)
        return false;
    for (QTreeWidgetItem* up = item->parent(); up; up = up->parent())
        up->setExpanded(true);
    setCurrentItem(item);
    item->setExpanded(true);
    scrollToItem(item);
    // The list shows this folder already: showing it again would read it twice.
    m_shownPath = pathOfItem(item);
    return true;
}

void CShellTree::showItem(QTreeWidgetItem* item, bool evenIfShown)
{
    m_showTimer.stop();
    const QString path = pathOfItem(item);
    if (path.isEmpty() || (path == m_shownPath && !evenIfShown))
        return;
    m_shownPath = path;
    makeChildren(item);
    appmsg::send(m_frame, appmsg::kSelectFolder, settingskeys::folderPath(path), appmsg::kFolderFromTree);
}

void CShellTree::keyReleaseEvent(QKeyEvent* event)
{
    // Moving through the tree shows the folder it stops on, not every one it passes.
    if (!m_showTimer.isActive())
        m_showTimer.start();
    QTreeWidget::keyReleaseEvent(event);
}

void CShellTree::followRename(const QString& oldPath, const QString& newPath)
{
    const QString oldName = fileNameOf(oldPath);
    const QString newName = fileNameOf(newPath);
    const auto moved = [&](const QString& path) { return newPath + path.mid(oldPath.size()); };
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        QTreeWidgetItem* item = *it;
        const QString path = pathOfItem(item);
        if (!isInside(oldPath, path, Qt::CaseSensitive))
            continue;
        item->setData(0, kPathRole, moved(path));
        item->setToolTip(0, moved(path));
        // A top-level place keeps a text of its own ("File System", a volume's label).
        if (path == oldPath && item->text(0) == oldName)
            item->setText(0, newName);
    }
    if (isInside(oldPath, m_shownPath, Qt::CaseSensitive))
        m_shownPath = moved(m_shownPath);
}
