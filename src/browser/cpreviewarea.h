#pragma once
// CPreviewArea: the preview bar's image view. It draws the application's current image (the
// host's CBmpEx, loaded by the bar) into a render image of the zoom mode's size and paints that
// 1:1 at the scroll position; multi-frame pictures play with each frame's own delay. The bar
// places the area in itself with place(); a 2-pixel sunken frame surrounds the view.
// While the bar is being resized the area is `stale`: in Auto Size it stretches the old render
// over the view until "RepaintArea" asks for a sharp one. A double click hands the image to the
// viewer. UI thread only.

#include <QBasicTimer>
#include <QImage>
#include <QRect>
#include <QSize>

#include "ui/cimagescrollview.h"

class QMenu;
class AppHost;

class CPreviewArea : public CImageScrollView {
    Q_OBJECT
public:
    enum ZoomMode : int { kAutoSize = 0, kFullSize, kHalfSize, kQuarterSize, kEighthSize, kZoomModeCount };

    // `host` owns the image shown and must outlive the area.
    CPreviewArea(AppHost& host, QWidget* parent = nullptr);
    ~CPreviewArea() override;

    // The rectangle of an area showing a picture of `target` size in a bar client of `client`
    // size: target plus the 4-pixel frame, centred when it fits strictly, else scaled to touch
    // two opposite sides and centred.
    static QRect placeRect(QSize target, QSize client);
    // The picture size divided by the mode's divisor (1, 1, 2, 4, 8).
    static QSize targetSizeFor(QSize picture, int zoomMode);

    // Stops the timer, then renders the current image and lays it out; scrolls to the top left
    // when `scrollHome`.
    void Refresh(bool scrollHome);
    // Places the area in its parent for the current target size.
    void place();
    // The bar was resized: keep the old render stretched and place again.
    void markStale();
    // Stops the frame timer and frees the render image.
    void release();

    int zoomMode() const { return m_zoomMode; }
    // Sets the mode and, only when it changed, refreshes with scrolling home.
    void setZoomMode(int mode);
    QMenu* zoomMenu() const { return m_menu; }

    bool ready() const { return m_ready; }
    void setReady(bool ready) { m_ready = ready; }
    bool stale() const { return m_stale; }
    bool animated() const { return m_animated; }
    QSize targetSize() const { return m_targetSize; }
    const QImage& renderImage() const { return m_render; }
    // The delay the frame timer was set with, -1 while it is not set.
    int frameDelay() const { return m_frameTimer.isActive() ? m_frameDelay : -1; }

protected:
    bool panningAllowed() const override;
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void render();
    void drawFrame();
    void startFrameTimer();
    void stopFrameTimer();

    AppHost& m_host;
    QMenu* m_menu;
    QImage m_render;
    QSize m_targetSize{0, 0};
    int m_zoomMode = kAutoSize;
    bool m_ready = true;
    bool m_stale = false;
    bool m_animated = false;
    QBasicTimer m_frameTimer;
    int m_frameDelay = -1;
};
