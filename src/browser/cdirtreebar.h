#pragma once
// CDirTreeBar: the "Folders tree" sizing bar of the browser frame. It holds a CDirTreeView,
// builds the tree with the stored last folder selected and answers the frame's "SelectFolder"
// (selects the folder the list shows) and "Refresh tree" (rebuilds, then selects the message's
// folder or the one selected before). The tree sends "SelectFolder" kind 1 to `frame` when the
// user picks a folder. The frame owns the bar (Qt parent); UI thread only.

#include "ui/csizingcontrolbar.h"

class CDirTree;
class CDirTreeView;
class QMainWindow;

class CDirTreeBar : public CSizingControlBar {
    Q_OBJECT
public:
    explicit CDirTreeBar(QMainWindow* frame);

    CDirTree* tree() const;
    // F2 while the tree has the focus.
    void startRename();

Q_SIGNALS:
    // A folder was renamed from the tree; `parentFolder` ends with "/". The frame updates the
    // list when it shows parentFolder.
    void folderRenamed(const QString& parentFolder, const QString& oldName, const QString& newName);
    // A folder in `parentFolder` went to the trash from the tree.
    void folderDeleted(const QString& parentFolder);
    // Files were pasted into or moved out of `folders` from the tree.
    void foldersChanged(const QStringList& folders);
    // Shift+S in the tree: Slide Show for the frame to carry out.
    void commandRequested(int id);

protected:
    bool event(QEvent* event) override;

private:
    CDirTreeView* m_view;
};
