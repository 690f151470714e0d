#pragma once
// CMainFrame: the browser's top-level window. Created hidden at start-up and kept for the whole
// run; shown whenever the browser is in front. It hosts the browser view (which owns the file
// list), the toolbar, the address box and the status bar with the selection totals. It takes its
// placement from the store before it first shows; when the program ends, saveBrowserState()
// stores the placement (with SavePosition), the list's columns, mode, sort, folder and toggles,
// and the bars' layout. It relays
// "SelectFolder" and "Refresh tree", reloads its textured bars and the preview bar on "Set
// background texture" and handles the frame's commands; commands of later parts have no handler
// here and stay disabled. UI thread only.

#include <optional>

#include <QStringList>

#include "core/cframewindow.h"
#include "core/commands.h"

class CAppSettings;
class CBrowserView;
class CFileListCtrl;
class CDirTreeBar;
class CPreviewBar;
class CMyRebar;
class CTexturedToolBar;
class MyDlgBar;
class QLabel;
class ViewerHost;

class CMainFrame : public CFrameWindow {
    Q_OBJECT
public:
    // `host` gives the view the current image and the switch to the viewer; `options` are the
    // program's; `appTarget` receives the commands no window of the browser handles. All three
    // must outlive the frame.
    CMainFrame(ViewerHost& host, CAppSettings& options, CCommandTarget* appTarget, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // What the frame owns goes to the store (the program ends).
    void saveBrowserState() const;
    // Shows the frame on `folder` instead of the last folder (a folder named on the command line).
    void showOnFolder(const QString& folder);
    // Moves the frame a step down and right of where it was placed (a New Window).
    void cascade();

    // The window that receives the browser's messages ("SelectFolder" from the viewer).
    QWidget* activeView() const;
    CBrowserView* browserView() const { return m_view; }
    CFileListCtrl* fileList() const;
    CPreviewBar* previewBar() const { return m_previewBar; }
    CDirTreeBar* treeBar() const { return m_treeBar; }
    CCommandActions& commands() { return *m_actions; }

    // After the Options dialog's Browser page saved the record: in thumbnails mode the preview
    // bar hides or shows as "Hide preview in thumbnails mode" now says. (The file list takes
    // its options from the saved record by itself.)
    void ApplyBrowserOptions();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void registerCommands();
    void buildMenus();
    void buildToolBars();
    void buildSizingBars();
    void buildStatusBar();
    // The folder a path typed into the address box names ("~" and relative paths read as a
    // shell reads them); nothing, after a message, when it names none.
    std::optional<QString> typedFolder(const QString& typed);
    void openOptions();
    void restorePlacement();
    void savePlacement() const;
    void openNewWindow();
    void updateStatusTotals();
    void sendMail();
    void newFolder();
    void openSearch();
    void changeBackground();

    ViewerHost& m_host;
    CAppSettings& m_options;
    CCommandTarget m_commands;
    CBrowserView* m_view;
    QString m_startFolder;
    CCommandActions* m_actions;
    CMyRebar* m_rebar = nullptr;
    MyDlgBar* m_addressBar = nullptr;
    CPreviewBar* m_previewBar = nullptr;
    CDirTreeBar* m_treeBar = nullptr;
    // Status panes: totals, selection or summary, the first name with its icon, its image
    // properties, the detail.
    QList<QLabel*> m_panes;
    QLabel* m_nameIcon = nullptr;
    QWidget* m_namePane = nullptr;
};
