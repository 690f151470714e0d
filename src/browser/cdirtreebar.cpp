#include "browser/cdirtreebar.h"

#include <QMainWindow>

#include "browser/cdirtree.h"
#include "browser/cdirtreeview.h"
#include "core/messages.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"

CDirTreeBar::CDirTreeBar(QMainWindow* frame)
    : CSizingControlBar(tr("Folders tree"), frame, QSize(200, 100), settingskeys::kFoldersTreeBarId),
      m_view(new CDirTreeView(this))
{
    setWidget(m_view);
    CDirTree* folders = tree();
    folders->setFrame(frame);
    connect(folders, &CDirTree::folderRenamed, this, &CDirTreeBar::folderRenamed);
    connect(folders, &CDirTree::folderDeleted, this, &CDirTreeBar::folderDeleted);
    connect(folders, &CDirTree::foldersChanged, this, &CDirTreeBar::foldersChanged);
    connect(folders, &CDirTree::commandRequested, this, &CDirTreeBar::commandRequested);
    folders->buildTree();
    folders->selectPath(CSettingsStore::GetProfileString(settingskeys::kSettings, settingskeys::kLastFolder,
                                                         settingskeys::defaultLastFolder()));
}

CDirTree* CDirTreeBar::tree() const
{
    return m_view->tree();
}

void CDirTreeBar::startRename()
{
    tree()->startRename();
}

bool CDirTreeBar::event(QEvent* event)
{
    if (const appmsg::Message* message = appmsg::as(event, appmsg::kSelectFolder)) {
        tree()->setUpdatesEnabled(false);
        tree()->selectPath(message->path);
        tree()->setUpdatesEnabled(true);
        return true;
    }
    if (const appmsg::Message* message = appmsg::as(event, appmsg::kRefreshTree)) {
        tree()->refresh(message->path);
        return true;
    }
    return CSizingControlBar::event(event);
}
