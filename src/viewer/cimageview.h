#pragma once
// CImageView: the viewer's picture area. It draws the application's current image at a zoom
// (centred on black when smaller than the window, scrollable when larger), in one of four fit
// modes, with panning, a rubber-band selection in picture pixels, animation of multi-slide
// pictures, moving through the pictures of the browser's list or of its own list of the folder
// (with a slide show and a look-ahead decode of the likely next picture), the in-memory
// transforms and the crop, and printing. It takes pictures over through "LoadViewerBeforBrouser"
// and "LoadPictureToMemory" and hands back to the browser with the switch and "SelectPicture".
//
// Drawing costs: below zoom 1 the picture is scaled smoothly once per layout and then copied;
// at zoom 1 and above only the repainted part is drawn straight from the library, pixels sharp.
// UI thread only; the folder scan and the look-ahead run on threads of their own.

#include <optional>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "core/commands.h"
#include "imagelib/cbmpex.h"
#include "ui/cimagescrollview.h"
#include "viewer/cviewprinter.h"
#include "viewer/pictureloader.h"
#include "viewer/picturesource.h"
#include "viewer/shownpictureinfo.h"
#include "viewer/viewernavigator.h"
#include "viewer/viewgeometry.h"

struct FlmSaveOptions;
class ViewerHost;

class CImageView : public CImageScrollView {
    Q_OBJECT
public:
    CImageView(ViewerHost& host, CCommandTarget* frameTarget, QWidget* parent = nullptr);
    ~CImageView() override;

    bool noImages() const { return m_noImages; }
    QString folder() const { return m_source.folder(); }
    QString fileName() const { return m_source.fileName(); }
    CCommandTarget& commandTarget() { return m_commands; }

    viewgeometry::FitMode fitMode() const { return m_fitMode; }
    const viewgeometry::Zoom& zoom() const { return m_zoom; }
    // The current image's size as last shown.
    QSize pictureSize() const { return m_picture; }
    // The active selection in picture pixels.
    std::optional<QRectF> selection() const;
    bool slideShowRunning() const { return m_slideShow.isRunning(); }
    // The list the viewer walks: the browser's, or its own list of the shown folder.
    PictureList& pictureList() { return m_source.list(); }
    const PictureList& pictureList() const { return m_source.list(); }
    CViewPrinter& printer() { return m_printer; }
    CPictureLookahead& lookahead() { return m_loader.lookahead(); }

    // The status bar's texts: "No images" alone in that state; one empty text when the list holds
    // no picture; otherwise position, file name, file size, size with depth and format, zoom.
    QStringList statusTexts() const;
    // True while a move reads a picture from its file (the look-ahead did not have it); the status
    // bar then reads "Loading" alone.
    bool loading() const { return m_loader.loading(); }
    // The frame's title: "name - Zelt Pixoria", or "Zelt Pixoria" without a picture.
    QString title() const;

    // What Save As calls: writes the current image to `target`, cut to the active selection when
    // there is one. A crop that fails restores the picture from its file; an empty selection
    // writes nothing. True when the file was written.
    bool SaveWithCrop(const QString& target, FlmSaveOptions* options);
    // What Save As calls once it wrote `name` into the shown folder: with `listed` the name joins
    // the own list, or its row of the browser's list is selected; then the file is shown as read
    // from disk.
    void AfterSave(const QString& name, bool listed);

    // Back to the browser with the switch and "SelectPicture" (Enter, Escape, a double click
    // outside full screen, the Browser command). The middle button toggles full screen, which
    // the frame handles (command 32823).
    void OnBrowser();

Q_SIGNALS:
    // The title and status texts may have changed.
    void stateChanged();
    // A right click: over the active selection (the crop menu) or elsewhere (the view's menu).
    void contextMenuRequested(const QPoint& globalPos, bool onSelection);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

    bool panningAllowed() const override;
    QSize lineStep(QSize size) const override;
    QSize pageStep(QSize size) const override;

private:
    // How a layout places the scroll position.
    enum class ScrollRule { Origin, KeepCentre, Explicit };

    void registerCommands();
    bool hasPicture() const { return !m_noImages; }

    // The picture source.
    void showPendingPath();
    void showBrowserPicture(bool fromBrowser);
    void startOwnList(const QString& folder, const QString& name);
    void enterNoImages();

    // Showing: information, fit, layout.
    void showPicture();
    void applyFitMode();
    void setFitMode(viewgeometry::FitMode mode);
    void layoutPicture(ScrollRule rule, QPoint scroll = {});
    void renderOffscreen();
    void sizeFrame();
    viewgeometry::FrameChrome frameChrome() const;
    QRect workArea() const;
    QSize clientSize() const;
    QSize displaySize() const;
    QPoint origin() const;

    // Zoom.
    void zoomStep(bool in);
    void actualSize();
    void zoomToSelection();

    // Moving between pictures.
    void afterMove(bool moved, int direction);

    // Transforms.
    void transform(int command);
    // Scrolls a page one way; `direction` is a unit step across or down.
    void push(QPoint direction);

    // Animation and selection.
    void scheduleAnimation();
    void stopAnimation();
    void nextSlide();
    void clearSelection();
    QRect outlineRect() const;
    bool overSelection(QPoint pos) const;
    void updateCursor(QPoint pos);

    ViewerHost& m_host;
    CCommandTarget m_commands;

    PictureSource m_source;
    bool m_noImages = false;
    ShownPictureInfo m_info;

    // Geometry.
    viewgeometry::FitMode m_fitMode = viewgeometry::FitMode::FitWindowToImage;
    viewgeometry::Zoom m_zoom;
    QSize m_picture{0, 0};
    bool m_frameSizingAllowed = true;
    QImage m_rendered; // the picture at display size, below zoom 1

    // Moving.
    PictureLoader m_loader;
    ViewerNavigator m_navigator;
    SlideShow m_slideShow;

    // Animation.
    QTimer m_animationTimer;

    // Selection.
    bool m_selectionReady = false;
    bool m_selectionActive = false;
    QRectF m_selection;
    bool m_outlinePhase = false;
    QTimer m_outlineTimer;
    bool m_bandShown = false;
    QRect m_band;
    QPoint m_anchor;
    bool m_leftDown = false;

    CViewPrinter m_printer;
};
