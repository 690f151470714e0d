#pragma once
// CViewFrame: the viewer's top-level window. Created hidden at start-up and kept for the whole
// run; the image view shows it when it has a picture (maximised the first time) or enters the
// "No images" state.

#include "app/core/cframewindow.h"
#include "app/core/commands.h"

class CImageView;
class QLabel;
class ViewerHost;

class CViewFrame : public CFrameWindow {
    Q_OBJECT
public:
    // `appTarget` receives the commands no window of the viewer handles.
    CViewFrame(ViewerHost& host, CCommandTarget* appTarget, QWidget* parent = nullptr);

    CImageView* imageView() const { return m_view; }
    CCommandActions& commands() { return *m_actions; }
    QString statusText() const;

private:
    void buildMenus();
    void refreshTitleAndStatus();

    CCommandTarget m_commands;
    CImageView* m_view;
    CCommandActions* m_actions;
    QLabel* m_status;
};
