#pragma once
// CMainFrame: the browser's top-level window. Created hidden at start-up and kept for the
// whole run; shown whenever the browser is in front. For now its view is the file list itself:
// the list is set up from the stored state when the frame first shows, and the frame stores
// the list's columns, mode, sort and folder when it is destroyed.

#include "app/core/cframewindow.h"
#include "app/core/commands.h"

class CFileListCtrl;

class CMainFrame : public CFrameWindow {
    Q_OBJECT
public:
    // `appTarget` receives the commands no window of the browser handles.
    explicit CMainFrame(CCommandTarget* appTarget, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The window that receives the browser's messages ("SelectFolder" from the viewer).
    QWidget* activeView() const;
    CFileListCtrl* fileList() const { return m_list; }
    CCommandActions& commands() { return *m_actions; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildMenus();
    void firstUpdate();
    void saveBrowserState() const;

    CCommandTarget m_commands;
    CFileListCtrl* m_list;
    CCommandActions* m_actions;
    bool m_listSetUp = false;
};
