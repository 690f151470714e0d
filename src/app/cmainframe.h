#pragma once
// CMainFrame: the browser's top-level window. Created hidden at start-up and kept for the
// whole run; shown whenever the browser is in front.

#include "app/core/cframewindow.h"
#include "app/core/commands.h"

class CMainFrame : public CFrameWindow {
    Q_OBJECT
public:
    // `appTarget` receives the commands no window of the browser handles.
    explicit CMainFrame(CCommandTarget* appTarget, QWidget* parent = nullptr);

    // The window that receives the browser's messages ("SelectFolder" from the viewer).
    QWidget* activeView() const { return centralWidget(); }
    CCommandActions& commands() { return *m_actions; }

private:
    CCommandTarget m_commands;
    CCommandActions* m_actions;
};
