#pragma once
// CViewFrame: the viewer's top-level window, owning the image view (which owns the viewer's
// controller). Created hidden at start-up and kept for the whole run; it shows itself when the
// controller shows a picture (maximised when it was hidden) or enters the "No images" state, and
// in "fit window to image" takes the size and place round the client the view asks for. It
// carries the viewer's menus and toolbar (named "ViewerToolBar", with the user's background
// texture), the view's two context menus (the crop menu over a selection, the view's menu
// elsewhere), the title and the six-pane status bar, which gives way to the prompt of the
// highlighted menu item or toolbar button. It handles full screen, the file commands on the shown
// picture whose parts exist, and relays the view menu's Open, Save As, Export and Exit; commands
// of later parts have no handler and stay disabled. UI thread only.

#include <optional>

#include <QList>
#include <QRect>
#include <QSizeF>
#include <QStringList>
#include <QTimer>

#include "core/cframewindow.h"
#include "core/commands.h"

class CAppSettings;
class CImageView;
class CMyRebar;
class QLabel;
class QMenu;
class ViewerHost;

class CViewFrame : public CFrameWindow {
    Q_OBJECT
public:
    // `appTarget` receives the commands no window of the viewer handles.
    // `options` must outlive the frame.
    CViewFrame(ViewerHost& host, CAppSettings& options, CCommandTarget* appTarget, QWidget* parent = nullptr);

    CImageView* imageView() const { return m_view; }
    CCommandActions& commands() { return *m_actions; }
    // The texts of the status panes that are shown, left to right, joined by two spaces.
    QString statusText() const;
    // The menus a right click opens (built once, kept for the run).
    QMenu* cropMenu() const { return m_cropMenu; }
    QMenu* viewMenu() const { return m_viewMenu; }

    // Full screen (32823): entering remembers the placement and the bars and hides the bars;
    // leaving puts back the bars, then the normal or maximised state and the exact geometry.
    // Both re-apply the view's fit mode once the window system reports the new geometry.
    // Entering needs a visible frame; hiding the frame (the return to the browser) leaves it.
    void setFullScreen(bool on);
    // True from a change in or out of full screen, or from showing itself maximised, until the
    // picture was fitted to the geometry the window system reported (or a second passed): a
    // geometry change meanwhile fits it again.
    bool refitPending() const { return m_refitWindow.isActive(); }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // What full screen takes away and gives back.
    struct Placement {
        QRect normalGeometry;
        bool maximized = false;
        bool menuBar = true;
        bool toolBar = true;
        bool statusBar = true;
    };

    void registerCommands();
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    void refreshTitleAndStatus();
    void refreshPanes();
    void popUpMenu(const QPoint& globalPos, bool onSelection);
    void fitToClient(QSizeF client);
    void showForPicture(bool maximised);
    void relay(int id, int target);
    void keepPointerOnToolBar(int id);
    void refitOnReports();
    void windowGeometryReported();
    void refitPicture();
    void showPictureAgain();
    bool showsPicture() const;
    void showFileInfo();
    void sendMail();

    CCommandTarget m_commands;
    // Ahead of the view in the chain: the zoom and turn commands run through it so that the
    // pointer stays on its toolbar button while the frame moves.
    CCommandTarget m_chainHead;
    CImageView* m_view;
    CCommandActions* m_actions;
    CMyRebar* m_rebar = nullptr;
    QMenu* m_cropMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    // Position, name (with the file's icon), file size, size and format, zoom, and the rest.
    QList<QLabel*> m_panes;
    QLabel* m_nameIcon = nullptr;
    QString m_iconPath; // the file whose icon the name pane shows
    std::optional<Placement> m_beforeFullScreen;
    // Runs from a change in or out of full screen until the window system reported the geometry
    // asked for, or for a second at most: a frame that "fit window to image" placed elsewhere
    // (after a move in full screen) never reaches the target, and the user moving it later must
    // not refit the picture.
    QTimer m_refitWindow;
    QRect m_refitTarget; // the frame's geometry asked for; null when the window system chooses
};
