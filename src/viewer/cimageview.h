#pragma once
// CImageView: the viewer's picture area, the widget of a CViewerController that it owns. It
// draws the controller's picture at the controller's zoom (centred on black when smaller than the
// window, scrollable when larger), animates pictures of several slides, pans, and lets the user
// drag a rubber band that becomes the controller's selection, outlined in dots. Keys, the wheel
// and the mouse become command ids (one path with the menus and toolbar): the view's own link of
// the chain scrolls and prints, the controller's link does the rest. It measures the window for
// the controller, and asks the frame for a client of the display's size ("fit window to image").
// The application's messages to the viewer are addressed to this widget and passed on.
//
// Drawing costs: below zoom 1 the picture is scaled smoothly once per layout and then copied
// (a picture the look-ahead or the loader laid out for this window comes scaled already); at
// zoom 1 and above only the repainted part is drawn straight from the library, pixels sharp.
// While a picture is read, its preview is drawn scaled to the picture's display size.
// UI thread only.

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "core/commands.h"
#include "ui/cimagescrollview.h"
#include "viewer/cviewercontroller.h"
#include "viewer/cviewprinter.h"

class CAppSettings;
class ViewerHost;

class CImageView : public CImageScrollView {
    Q_OBJECT
public:
    // `frameTarget` receives the commands neither the view nor its controller handles.
    CImageView(ViewerHost& host, CAppSettings& options, CCommandTarget* frameTarget, QWidget* parent = nullptr);

    CViewerController& controller() { return m_controller; }
    const CViewerController& controller() const { return m_controller; }
    // The view's link of the command chain, ahead of the controller's.
    CCommandTarget& commandTarget() { return m_commands; }
    CViewPrinter& printer() { return m_printer; }
    // What the application asks of the shown picture.
    bool noImages() const { return m_controller.noImages(); }
    QString fileName() const { return m_controller.fileName(); }

    // The window around the view as it is now: the client, the frame's parts around it (none
    // when the view is a window of its own), the screen's work area and the window's state.
    ViewerWindowMetrics windowMetrics() const;
    // The picture as copied to the screen below zoom 1; null at zoom 1 and above.
    const QImage& renderedPicture() const { return m_rendered; }

Q_SIGNALS:
    // A right click: over the active selection (the crop menu) or elsewhere (the view's menu).
    void contextMenuRequested(const QPoint& globalPos, bool onSelection);
    // "Fit window to image": the frame is to give the view a client of this size.
    void frameSizeWanted(QSizeF client);
    // Local files (full paths) were dropped on the view; they were taken as a copy, so that the
    // drag's source keeps its files.
    void filesDropped(const QStringList& paths);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    bool panningAllowed() const override;
    QSize lineStep(QSize size) const override;
    QSize pageStep(QSize size) const override;

private:
    void registerCommands();

    // What the controller's signals ask of the widget.
    void pictureChanged();
    void layoutPicture(CViewerController::ScrollRule rule, QPoint scroll, bool sizeFrame);
    void selectionChanged();
    void left();

    void renderOffscreen();
    viewgeometry::FrameChrome frameChrome() const;
    QRect workArea() const;
    QSize clientSize() const;
    QSize displaySize() const;
    QPoint origin() const;
    // Scrolls a page one way; `direction` is a unit step across or down.
    void push(QPoint direction);

    // Animation and selection.
    void scheduleAnimation();
    void stopAnimation();
    void nextSlide();
    QRect outlineRect() const;
    bool overSelection(QPoint pos) const;
    void updateCursor(QPoint pos);

    // Declared ahead of the controller, so destroyed after it: a change of state the controller
    // reports while it goes still finds the whole command chain.
    CCommandTarget m_commands;
    CViewerController m_controller;
    QImage m_rendered; // the picture at display size, below zoom 1
    QTimer m_animationTimer;

    // The selection's outline and the rubber band.
    bool m_outlinePhase = false;
    QTimer m_outlineTimer;
    bool m_bandShown = false;
    QRect m_band;
    QPoint m_anchor;
    bool m_leftDown = false;

    CViewPrinter m_printer;
};
