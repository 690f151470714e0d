#pragma once
// CDirTree: the browser's folder tree. To CShellTree it adds the commands of its context menu
// ("Tree Context Menu": Open, Rename, Delete, Copy, Cut, Paste) with a right click choosing the
// item they act on without moving the selection, the in-place rename of a folder, the folder
// on the clipboard (for any program to paste) and the clipboard's files pasted into it, the keys
// (F2, Shift+S, Ctrl+C/X/V, Delete) and the rebuild that keeps the picture still.
// UI thread only.

#include <QString>

#include "browser/cshelltree.h"
#include "core/commands.h"
#include "platform/cclipboardview.h"

class QMenu;

class CDirTree : public CShellTree {
    Q_OBJECT
public:
    explicit CDirTree(QWidget* parent = nullptr);

    CCommandTarget& commands() { return m_commands; }
    CCommandActions& actions() { return *m_actions; }

    // Starts editing the name of the selected folder; nothing for a top-level place.
    void startRename();
    // What the end of the editing does: a name that differs only in letter case (or not at all)
    // changes nothing; else the folder is renamed on disk and, on success, the item and every
    // made item below or twin of it follow and folderRenamed() is emitted. A failure is told in
    // a message box and leaves the item as it was. True when the folder was renamed.
    bool renameFolder(QTreeWidgetItem* item, const QString& newName);
    // Moves the folder of a made item to the trash once the user confirms; the tree is built
    // again, and when the list showed that folder (or one inside it) it shows the parent now.
    // True when the folder went.
    bool deleteFolder(QTreeWidgetItem* item);
    // Builds the tree again with its drawing stopped and selects `path` (the selected folder when
    // empty), or its nearest parent that still exists.
    void refresh(const QString& path);
    // Files came into or left `folders` (each ending with "/") by a paste or a drop: the tree is
    // built again, keeping its selection, and foldersChanged() tells the list.
    void followChange(const QStringList& folders);
    // The item files dragged over the tree would go into, drawn highlighted; null for none.
    void setDropHighlight(QTreeWidgetItem* item);

Q_SIGNALS:
    // `parentFolder` ends with "/".
    void folderRenamed(const QString& parentFolder, const QString& oldName, const QString& newName);
    // A folder in `parentFolder` (ending with "/") went to the trash.
    void folderDeleted(const QString& parentFolder);
    // Files were pasted into or moved out of `folders` (each ending with "/").
    void foldersChanged(const QStringList& folders);
    // A command for the frame to carry out (Slide Show).
    void commandRequested(int id);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The tree command of a key, or 0; Slide Show for Shift+S.
    static int commandOfKey(const QKeyEvent* event);
    void registerCommands();
    // Copy and Cut: the item's folder on the clipboard for `effect`.
    void putFolder(QTreeWidgetItem* item, filemime::DropEffect effect);
    // Paste: the clipboard's files into the item's folder; then the tree is built again.
    void pasteInto(QTreeWidgetItem* item);
    // The item of the open context menu, else the selected one.
    QTreeWidgetItem* target() const;

    CCommandTarget m_commands;
    CClipboardView m_clipboard;
    CCommandActions* m_actions;
    QMenu* m_menu;
    QTreeWidgetItem* m_target = nullptr;
    QTreeWidgetItem* m_dropItem = nullptr;
};
