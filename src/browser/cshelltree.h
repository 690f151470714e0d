#pragma once
// CShellTree: a tree of the file system's folders. The top level holds the home folder, Desktop,
// Documents and Pictures (when they exist apart from home), the root "/" and the mounted volumes;
// every item stands for one folder, and a folder's children are read on its first expansion. An
// item shows an expand button when its folder has a subfolder; a folder that cannot be read gets
// no children and no message.
//
// Showing a folder sends "SelectFolder" (kind 1) to the frame: at once on a left click, 300 ms
// after the last key release while moving with the keyboard, never for the folder shown last.
// selectPath() answers the other direction: it selects what the list already shows and sends
// nothing. UI thread only.

#include <QIcon>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QTreeWidget>

class CShellTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit CShellTree(QWidget* parent = nullptr);

    // The receiver of "SelectFolder"; none by default, so nothing is sent.
    void setFrame(QObject* frame);

    // Deletes every item and makes the top level again; nothing is selected afterwards.
    void buildTree();
    // Expands the tree down to the folder `path` and selects it, in the most specific top-level
    // branch holding it; names match regardless of letter case when no exact one exists. False,
    // changing nothing, when `path` names no existing folder.
    bool selectPath(const QString& path);
    // The folder of an item (no trailing "/", except for the root); empty for null.
    static QString pathOfItem(const QTreeWidgetItem* item);
    // The folder of the selected item, empty without one.
    QString currentPath() const;

    // Sends the item's folder to the frame unless it is the folder shown last (or `evenIfShown`);
    // stops a pending keyboard delay.
    void showItem(QTreeWidgetItem* item, bool evenIfShown = false);
    // Reads the item's subfolders when that was never done.
    void makeChildren(QTreeWidgetItem* item);
    // True while a keyboard move waits for its quiet spell; without it nothing is shown before
    // the next click or key.
    bool showPending() const { return m_showTimer.isActive(); }

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    // Gives every made item under the renamed folder `oldPath` (its twins under other top-level
    // branches included) its new path, and the renamed ones their new name.
    void followRename(const QString& oldPath, const QString& newPath);

private:
    QTreeWidgetItem* makeItem(const QString& path, const QString& text, const QIcon& icon, bool editable);
    QTreeWidgetItem* findPath(const QString& path);

    QPointer<QObject> m_frame;
    QTimer m_showTimer;
    QString m_shownPath;
    QIcon m_folderIcon;
};
