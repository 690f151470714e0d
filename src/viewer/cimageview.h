#pragma once
// CImageView: the viewer's picture area. It shows the application's current image fitted to
// the window (shrunk to fit, never enlarged), on black, rendered once per layout; or the
// "No images" state. It takes pictures over through the "LoadViewerBeforBrouser" and
// "LoadPictureToMemory" messages.

#include <QImage>
#include <QString>
#include <QWidget>

#include "app/core/commands.h"

class ViewerHost;

class CImageView : public QWidget {
    Q_OBJECT
public:
    CImageView(ViewerHost& host, CCommandTarget* frameTarget, QWidget* parent = nullptr);

    bool noImages() const { return m_noImages; }
    QString folder() const { return m_folder; }
    QString fileName() const { return m_fileName; }
    CCommandTarget& commandTarget() { return m_commands; }

    // Back to the browser: the shown file becomes the pending path when the viewer was opened on
    // a file, then the switch is posted.
    void OnBrowser();

Q_SIGNALS:
    // The title and status text changed (the frame shows them).
    void stateChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void showPendingPath();
    void showBrowserPicture();
    void takeLocation(const QString& path);
    void showCurrentImage();
    void enterNoImages();
    void layoutPicture();

    ViewerHost& m_host;
    CCommandTarget m_commands;
    QString m_folder;
    QString m_fileName;
    bool m_noImages = true;
    QImage m_rendered;  // the picture scaled for the current window size
};
