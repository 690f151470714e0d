#pragma once
// CViewFrame: the viewer's top-level window. Created hidden at start-up and kept for the whole
// run; the image view shows it when it has a picture (maximised the first time) or enters the
// "No images" state. It carries the viewer's menus, the view's two context menus (the crop menu
// over a selection, the view's menu elsewhere), the title and the six-pane status bar.
// UI thread only.

#include <QList>
#include <QStringList>

#include "app/core/cframewindow.h"
#include "app/core/commands.h"

class CImageView;
class QLabel;
class QMenu;
class ViewerHost;

class CViewFrame : public CFrameWindow {
    Q_OBJECT
public:
    // `appTarget` receives the commands no window of the viewer handles.
    CViewFrame(ViewerHost& host, CCommandTarget* appTarget, QWidget* parent = nullptr);

    CImageView* imageView() const { return m_view; }
    CCommandActions& commands() { return *m_actions; }
    // The texts of the status panes that are shown, left to right, joined by two spaces.
    QString statusText() const;
    // The menus a right click opens (built once, kept for the run).
    QMenu* cropMenu() const { return m_cropMenu; }
    QMenu* viewMenu() const { return m_viewMenu; }

private:
    void buildMenus();
    void buildStatusBar();
    void refreshTitleAndStatus();
    void popUpMenu(const QPoint& globalPos, bool onSelection);

    CCommandTarget m_commands;
    CImageView* m_view;
    CCommandActions* m_actions;
    QMenu* m_cropMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    // Position, name (with the file's icon), file size, size and format, zoom, and the rest.
    QList<QLabel*> m_panes;
    QLabel* m_nameIcon = nullptr;
    QString m_iconPath; // the file whose icon the name pane shows
};
