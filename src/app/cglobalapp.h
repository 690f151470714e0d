#pragma once
// CGlobalApp: the application object. It owns the two frames (browser and viewer, both created
// hidden at start-up and kept for the whole run, exactly one in front), the current image the
// viewer draws, the pending image path and the opened-from-file flag. It runs start-up, the
// switch between the two faces and the application-level commands. UI thread only.

#include <memory>

#include <QObject>
#include <QPointer>
#include <QString>

#include "core/commands.h"
#include "imagelib/cbmpex.h"
#include "settings/cappsettings.h"
#include "viewer/viewerhost.h"

class BrowserPictureList;
class CMainFrame;
class CViewFrame;
class QWidget;

class CGlobalApp : public QObject, public ViewerHost {
    Q_OBJECT
public:
    CGlobalApp();
    ~CGlobalApp() override;

    // Start-up: parses the arguments that follow the program name, creates both frames and
    // shows one. False when start-up failed.
    bool InitInstance(const QStringList& arguments);

    CMainFrame* browserFrame() const { return m_browser; }
    CViewFrame* viewerFrame() const { return m_viewer; }
    // The frame that last took the focus; closing it ends the program.
    QWidget* mainWindow() const;
    CCommandTarget& commandTarget() { return m_commands; }
    // The options, loaded at start-up and passed to every window that reads one.
    CAppSettings& settings() { return m_settings; }

    // File Open after the dialog: loads the file into the current image and, with the viewer in
    // front, shows it there; a file that does not load the viewer shows too, saying why. True
    // when the file loaded.
    bool openFile(const QString& path);

    // ViewerHost
    CBmpEx& currentImage() override { return m_currentImage; }
    QString pendingImagePath() const override { return m_pendingImagePath; }
    void setPendingImagePath(const QString& path) override { m_pendingImagePath = path; }
    bool openedFromFile() const override { return m_openedFromFile; }
    void setOpenedFromFile(bool opened) override { m_openedFromFile = opened; }
    void requestSwitch(appmsg::SwitchRequest request) override;
    PictureList* browserList() override;
    QObject* browserWindow() override;

protected:
    bool event(QEvent* event) override;

private:
    void registerCommands();
    void createFrames();
    void shellCommand(const class CMyCmdLineInfo& info);
    void switchFrames(appmsg::SwitchRequest request);
    void OnFileOpen();
    void OnFilePrintSetup();
    void OnAppAbout();
    void openProgramDocument(const QString& name);
    QWidget* dialogParent() const;

    CCommandTarget m_commands;
    CAppSettings m_settings;
    bool m_fatalHandlersInstalled;  // before the current image, which may need them
    CBmpEx m_currentImage;
    QString m_pendingImagePath;
    bool m_openedFromFile = false;
    // The viewer was asked to show a picture from the browser and has not shown itself yet.
    bool m_browserHandingOver = false;
    CMainFrame* m_browser = nullptr;
    CViewFrame* m_viewer = nullptr;
    QPointer<QWidget> m_mainWindow;
    std::unique_ptr<BrowserPictureList> m_browserList;
};
