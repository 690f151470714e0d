#pragma once
// CPreviewBar: the dockable "Preview" bar of the browser. It shows the selected file: a picture
// loaded into the application's current image (the one the viewer shows, so a double click
// hands it over without loading it again) and drawn by its CPreviewArea, or a clip played by a
// CMediaWnd. While the bar is resized around a picture the area stretches its old render; the
// sharp one follows "RepaintArea", posted when the left mouse button is released (or after a
// short quiet spell when the window manager resized a floating bar). The client's background is
// the texture when there is one. UI thread only.

#include <QPointer>
#include <QTimer>

#include "ui/csizingcontrolbar.h"
#include "ui/ctexture.h"

class CMediaWnd;
class CPreviewArea;
class QMainWindow;
class AppHost;
class QLabel;
class CAppSettings;

class CPreviewBar : public CSizingControlBar {
    Q_OBJECT
public:
    enum Kind : int { kPicture = 1, kClip = 2 };

    // `host` owns the current image; `options` are the program's. Both must outlive the bar.
    CPreviewBar(QMainWindow* frame, AppHost& host, const CAppSettings& options);
    ~CPreviewBar() override;

    // Kind 1: a picture, dropped while the previous one is not painted yet; one that does not
    // load clears the preview and says why ("Cannot read a.jpg: truncated file"). Kind 2: a clip, only when "ShowVideo" is set (otherwise what is
    // shown stays); one that cannot be played leaves the bar empty.
    void PreviewFile(const QString& path, int kind);
    // Stops the animation, frees the render, hides the area and closes the clip.
    void ClearPreview();
    bool showingImage() const { return m_showingImage; }
    // Why the last picture asked for is not shown; empty while none failed since the last clear.
    QString failureText() const;
    // True while a resize made without our mouse waits for its quiet spell before the sharp
    // render; a resize with the button held renders on the release instead.
    bool quietRenderPending() const { return m_quietTimer.isActive(); }

    CPreviewArea* area() const { return m_area; }
    CMediaWnd* mediaWnd() const;
    // The bar's client: the parent of the area and the clip window.
    QWidget* client() const { return m_client; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void clientResized();
    void closeMedia();
    void mediaFailed();
    void repaintArea();
    void watchRelease(bool watch);

    AppHost& m_host;
    const CAppSettings& m_options;
    QWidget* m_client;
    QLabel* m_failure; // in place of a picture that does not load
    CPreviewArea* m_area;
    QPointer<CMediaWnd> m_media;
    bool m_showingImage = false;
    bool m_videoEnabled = false;
    bool m_watchingRelease = false;
    QTimer m_quietTimer;
    // Tiled behind the client; "Set background texture" reloads it.
    CTexture m_texture;
};
