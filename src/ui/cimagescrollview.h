#pragma once
// CImageScrollView: a scrolling view over content of a given size in pixels. The scroll range
// is the content size less the viewport; a page is what pageStep() says (the viewport's extent
// unless a subclass says otherwise) and a line what lineStep() says. The position is always
// inside the range: a resize that shrinks the range pulls a position beyond it back to the new
// maximum.
// A subclass that allows panning (panningAllowed) gets the hand cursors and left-button drags
// that scroll by the mouse movement whenever the content is larger than the viewport in some
// direction. It paints the viewport itself. UI thread only.

#include <QAbstractScrollArea>
#include <QPoint>
#include <QSize>

class CImageScrollView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit CImageScrollView(QWidget* parent = nullptr);

    // `size` scaled by the smaller of the two ratios bounds / size, so that it meets two opposite
    // sides of `bounds` exactly; the other side is truncated. An empty size stays as it is.
    static QSize fitInside(QSize size, QSize bounds);

    QSize contentSize() const { return m_contentSize; }
    // Sets the scroll ranges for content of `size`; the position stays where it is if it can.
    void setContentSize(QSize size);

    QPoint scrollPosition() const;
    // Scrolls to `position`, clamped to the range.
    void setScrollPosition(QPoint position);

    // True while a pan drag is in progress.
    bool panning() const { return m_panning; }
    // True when panning is allowed and the content is larger than the viewport in some direction.
    bool canPan() const;

protected:
    // Whether the content may be dragged with the mouse; the default is no.
    virtual bool panningAllowed() const { return false; }
    // The line step in each direction for content of `size`; the default is a hundredth of it.
    virtual QSize lineStep(QSize size) const;
    // The page step in each direction for content of `size`; the default is the viewport's extent.
    virtual QSize pageStep(QSize size) const;
    // Sets the cursor for the current state; call it when panningAllowed() changes.
    void updatePanCursor();
    // Ends a pan drag before its button is released.
    void stopPanning();

    // The viewport changes size with the area and when a scroll bar comes or goes.
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QSize viewportForContent() const;
    void updateScrollBars();

    QSize m_contentSize{0, 0};
    bool m_panning = false;
    QPoint m_lastPanPosition;
};
