#include "browser/cdirtree.h"

#include <functional>
#include <utility>

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

#include "browser/dirtreedragdrop.h"
#include "fileops/cshellfileop.h"
#include "fileops/filehandover.h"
#include "settings/settingskeys.h"

namespace {

// Hands the edited name over instead of writing it into the item: the item changes only when
// the folder on disk did.
class RenameDelegate : public QStyledItemDelegate {
public:
    using Commit = std::function<void(const QModelIndex&, const QString&)>;
    RenameDelegate(Commit commit, QObject* parent) : QStyledItemDelegate(parent), m_commit(std::move(commit)) {}

    void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override
    {
        if (const auto* line = qobject_cast<const QLineEdit*>(editor))
            m_commit(index, line->text());
    }

private:
    Commit m_commit;
};

} // namespace

CDirTree::CDirTree(QWidget* parent)
    : CShellTree(parent), m_actions(new CCommandActions(this, &m_commands)),
      m_menu(new QMenu(tr("Tree Context Menu"), this))
{
    // The rename runs once the editor has closed: its message box must not open inside the commit.
    setItemDelegate(new RenameDelegate(
        [this](const QModelIndex& index, const QString& name) {
            const QPersistentModelIndex edited(index);
            QMetaObject::invokeMethod(
                this,
                [this, edited, name] {
                    if (QTreeWidgetItem* item = itemFromIndex(edited))
                        renameFolder(item, name);
                },
                Qt::QueuedConnection);
        },
        this));
    registerCommands();
    new DirTreeDragDrop(this);
    m_actions->fill(m_menu, {cmd::kTreeOpen, 0, cmd::kTreeRename, cmd::kTreeDelete, 0, cmd::kTreeCut, cmd::kTreeCopy,
                             cmd::kTreePaste});
    m_menu->setDefaultAction(m_actions->action(cmd::kTreeOpen));
}

void CDirTree::registerCommands()
{
    m_commands.on(
        cmd::kTreeOpen,
        [this] {
            QTreeWidgetItem* item = target();
            setCurrentItem(item);
            showItem(item);
        },
        [this] { return target() != nullptr; });
    m_commands.on(
        cmd::kTreeRename, [this] { editItem(target()); },
        [this] { return target() && (target()->flags() & Qt::ItemIsEditable); });
    m_commands.on(
        cmd::kTreeDelete, [this] { deleteFolder(target()); },
        [this] { return target() && (target()->flags() & Qt::ItemIsEditable); });
    // A top-level place (the home folder, the root) may be copied but not cut.
    m_commands.on(
        cmd::kTreeCopy, [this] { putFolder(target(), filemime::DropEffect::Copy); },
        [this] { return target() && !pathOfItem(target()).isEmpty(); });
    m_commands.on(
        cmd::kTreeCut, [this] { putFolder(target(), filemime::DropEffect::Move); },
        [this] { return target() && (target()->flags() & Qt::ItemIsEditable); });
    m_commands.on(
        cmd::kTreePaste, [this] { pasteInto(target()); },
        [this] { return target() && !pathOfItem(target()).isEmpty() && m_clipboard.canPaste(); });
}

void CDirTree::putFolder(QTreeWidgetItem* item, filemime::DropEffect effect)
{
    if (item)
        m_clipboard.PutFiles({QDir::cleanPath(pathOfItem(item))}, effect);
}

void CDirTree::pasteInto(QTreeWidgetItem* item)
{
    if (!item)
        return;
    FileHandover* handover = FileHandover::paste(m_clipboard, settingskeys::folderPath(pathOfItem(item)), this);
    if (handover)
        connect(handover, &FileHandover::finished, this,
                [this](const QStringList&, const QStringList& folders) { followChange(folders); });
}

void CDirTree::followChange(const QStringList& folders)
{
    // New folders show under the target; the selection stays with the folder the list shows.
    refresh({});
    Q_EMIT foldersChanged(folders);
}

void CDirTree::setDropHighlight(QTreeWidgetItem* item)
{
    if (item == m_dropItem)
        return;
    if (m_dropItem)
        m_dropItem->setBackground(0, {});
    m_dropItem = item;
    if (item)
        item->setBackground(0, palette().color(QPalette::Highlight).lighter(170));
}

QTreeWidgetItem* CDirTree::target() const
{
    return m_target ? m_target : currentItem();
}

void CDirTree::startRename()
{
    m_actions->execute(cmd::kTreeRename);
}

bool CDirTree::renameFolder(QTreeWidgetItem* item, const QString& newName)
{
    if (!item || !item->parent())
        return false;
    const QString oldPath = pathOfItem(item);
    const QString oldName = QFileInfo(oldPath).fileName();
    if (newName.compare(oldName, Qt::CaseInsensitive) == 0)
        return false;
    QString error;
    if (!CShellFileOp::RenameItem(oldPath, newName, nullptr, &error)) {
        QMessageBox::warning(this, tr("Rename"), error);
        return false;
    }
    const QString parentFolder = QFileInfo(oldPath).path();
    followRename(oldPath, QDir::cleanPath(parentFolder + u'/' + newName));
    Q_EMIT folderRenamed(settingskeys::folderPath(parentFolder), oldName, newName);
    return true;
}

bool CDirTree::deleteFolder(QTreeWidgetItem* item)
{
    if (!item || !item->parent() || !(item->flags() & Qt::ItemIsEditable))
        return false;
    const QString path = pathOfItem(item);
    const QString shown = currentPath();
    const bool wasShown = shown == path || shown.startsWith(path + u'/');
    if (CShellFileOp(this).DeleteItems({path}) != 0)
        return false;
    const QString parentFolder = QFileInfo(path).path();
    refresh(wasShown ? parentFolder : shown);
    // The list showed the folder that went (or one inside it): it shows what took its place.
    if (wasShown)
        showItem(currentItem(), true);
    Q_EMIT folderDeleted(settingskeys::folderPath(parentFolder));
    return true;
}

void CDirTree::refresh(const QString& path)
{
    QString wanted = QDir::cleanPath(path.isEmpty() ? currentPath() : path);
    m_target = nullptr;
    m_dropItem = nullptr;
    setUpdatesEnabled(false);
    buildTree();
    while (!wanted.isEmpty() && !selectPath(wanted)) {
        const QString parent = QFileInfo(wanted).path();
        wanted = parent == wanted ? QString() : parent;
    }
    setUpdatesEnabled(true);
}

int CDirTree::commandOfKey(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (modifiers == Qt::NoModifier && event->key() == Qt::Key_F2)
        return cmd::kTreeRename;
    if (modifiers == Qt::NoModifier && event->key() == Qt::Key_Delete)
        return cmd::kTreeDelete;
    if (modifiers == Qt::ControlModifier && event->key() == Qt::Key_C)
        return cmd::kTreeCopy;
    if (modifiers == Qt::ControlModifier && event->key() == Qt::Key_X)
        return cmd::kTreeCut;
    if (modifiers == Qt::ControlModifier && event->key() == Qt::Key_V)
        return cmd::kTreePaste;
    if (modifiers == Qt::ShiftModifier && event->key() == Qt::Key_S)
        return cmd::kSlideShow;
    return 0;
}

bool CDirTree::event(QEvent* event)
{
    // The frame's shortcuts (F2, Ctrl+C, Delete ...) act on the file list; while the tree has
    // the focus its own commands take these keys.
    if (event->type() == QEvent::ShortcutOverride && state() != EditingState &&
        commandOfKey(static_cast<QKeyEvent*>(event)) != 0) {
        event->accept();
        return true;
    }
    return CShellTree::event(event);
}

void CDirTree::keyPressEvent(QKeyEvent* event)
{
    const int id = state() == EditingState ? 0 : commandOfKey(event);
    if (id == cmd::kSlideShow)
        Q_EMIT commandRequested(id);
    else if (id != 0)
        m_actions->execute(id);
    else
        CShellTree::keyPressEvent(event);
}

void CDirTree::mousePressEvent(QMouseEvent* event)
{
    // A right click picks the menu's item; the list keeps showing the selected folder.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    CShellTree::mousePressEvent(event);
}

void CDirTree::contextMenuEvent(QContextMenuEvent* event)
{
    QTreeWidgetItem* item = currentItem();
    QPoint at = visualItemRect(item).center();
    if (event->reason() == QContextMenuEvent::Mouse) {
        item = itemAt(event->pos());
        at = event->pos();
    }
    if (!item)
        return;
    m_target = item;
    m_menu->exec(viewport()->mapToGlobal(at));
    m_target = nullptr;
}
