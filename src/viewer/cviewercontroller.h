#pragma once
// CViewerController: the viewer without its widgets. It takes pictures over from the application
// ("LoadViewerBeforBrouser" for a file, "LoadPictureToMemory" from the browser), chooses the list
// it walks (PictureSource), moves through it with the navigator and the slide show, loads with
// the look-ahead (PictureLoader), turns, crops and saves the current image, keeps the zoom and
// fit mode and the selection in picture pixels, and tells the status bar's texts and the title.
// It hands back to the browser with the switch and "SelectPicture" (OnBrowser).
//
// It draws nothing and measures nothing: what the window gives (client size, frame chrome, work
// area, maximised or full screen) is asked of the measuring function the view installs, at the
// moment a fit needs it, so that it is that of the frame just shown or resized. What the widgets are to do comes out as
// signals: the view lays the picture out again on zoomChanged() (and has the frame fit it), the frame shows itself on
// showWanted(), and both refresh on stateChanged().
//
// The current image and the options are the host's; the lists, scan, look-ahead and spare
// picture are owned here. UI thread only; the folder scan and the look-ahead run on the
// executor. The fit mode is the options' "ViewMode", written to the store when it changes.

#include <functional>
#include <optional>

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

#include "core/commands.h"
#include "viewer/pictureloader.h"
#include "viewer/preparedlayout.h"
#include "viewer/picturesource.h"
#include "viewer/shownpictureinfo.h"
#include "viewer/viewernavigator.h"
#include "viewer/viewgeometry.h"

class CAppSettings;
class CBmpEx;
class ViewerHost;

// The window around the picture, as the view measures it.
struct ViewerWindowMetrics {
    QSize client;
    QRect workArea;
    viewgeometry::FrameChrome chrome;
    bool maximised = false;
    bool fullScreen = false;
};

class CViewerController : public QObject {
    Q_OBJECT
public:
    // How the view places the scroll position after a new zoom: at the top-left, keeping the
    // client's centre on the same picture point, or at the position given.
    enum class ScrollRule { Origin, KeepCentre, Explicit };

    // `next` receives the commands the controller does not handle (the frame's, then the
    // application's).
    CViewerController(ViewerHost& host, CAppSettings& options, CCommandTarget* next, QObject* parent = nullptr);
    ~CViewerController() override;

    // Without a measuring function the window is taken as empty.
    void setMeasure(std::function<ViewerWindowMetrics()> measure) { m_measure = std::move(measure); }
    // Zoom, fit modes, moves, slide show, transforms, refresh, selection and Browser.
    CCommandTarget& commandTarget() { return m_commands; }
    // Acts on the messages the application sends the viewer; false for any other event.
    bool handleMessage(QEvent* event);

    CBmpEx& picture();
    bool noImages() const { return m_noImages; }
    // Why the file shown could not be read ("Cannot read a.jpg: truncated file"); empty when it
    // was. The view tells it in place of the picture.
    const QString& failure() const { return m_failure; }
    // A picture is shown and may be acted on: not "No images", not a file that could not be read,
    // and not while the next one is read.
    bool hasPicture() const { return !m_noImages && m_failure.isEmpty() && !loading(); }
    // A file is shown, read or not: not "No images".
    bool showsFile() const { return !m_noImages && !fileName().isEmpty(); }
    QString folder() const { return m_source.folder(); }
    QString fileName() const { return m_source.fileName(); }
    // The list the viewer walks: the browser's, or its own list of the shown folder.
    PictureList& pictureList() { return m_source.list(); }
    const PictureList& pictureList() const { return m_source.list(); }
    CPictureLookahead& lookahead() { return m_loader.lookahead(); }
    bool slideShowRunning() const { return m_slideShow.isRunning(); }
    // The slides of the shown picture (1 for a still one).
    int slides() const { return m_info.slides(); }

    viewgeometry::FitMode fitMode() const { return m_fitMode; }
    // The zoom and size of what is drawn: the picture's, or those of the picture the preview
    // stands for.
    const viewgeometry::Zoom& zoom() const { return m_preview ? m_preview->zoom : m_zoom; }
    QSize pictureSize() const { return m_preview ? m_preview->picture : m_picture; }
    // While a picture that was not decoded ahead is read: a small picture that stands for it, to
    // be drawn scaled to the display size. Zoom and panning wait for the picture itself.
    const QImage* preview() const { return m_preview ? &m_preview->image : nullptr; }
    // The picture just loaded, already rendered at `display` on a worker, for the one layout that
    // shows it; null when none was made for that size (the window changed meanwhile, or the
    // picture is not shrunk).
    QImage preparedRendering(QSize display) const;
    // The window around the view changed size: the next picture is laid out for the new one.
    void windowResized();

    // The active selection in picture pixels.
    std::optional<QRectF> selection() const { return m_selection; }
    // A band the user dragged ended: `picked` (picture pixels) becomes the selection when there
    // is one; the state changes either way.
    void endBand(std::optional<QRectF> picked);
    // Drops the selection without a change of state (a new band or click is starting).
    void clearSelection();
    // Whether a new band may start: not after a save until the pointer moved (setSelectionReady).
    bool selectionReady() const { return m_selectionReady; }
    void setSelectionReady() { m_selectionReady = true; }

    // The status bar's texts: "No images" alone in that state; "Loading" alone while a move
    // reads a picture; the position and why the file shown could not be read ("Cannot read
    // a.jpg: truncated file"); one empty text when the list holds no picture; otherwise
    // position, file name, file size, size with depth and format, zoom.
    QStringList statusTexts() const;
    // True while a move reads a picture (the look-ahead did not have it ready).
    bool loading() const { return m_loader.loading(); }
    // The frame's title: "name - Zelt Pixoria", or "Zelt Pixoria" without a picture.
    QString title() const;

    // What Save As calls once the user chose the target, before it writes the current image:
    // cuts the picture to the active selection, when there is one, and shows what is left. A
    // crop that fails restores the picture from its file; an empty selection cuts nothing. False
    // when nothing is to be written. A new band waits for the pointer to move after that.
    bool CutToSelection();
    // What Save As calls once it wrote `name` into the shown folder: with `listed` the name joins
    // the own list, or its row of the browser's list is selected; then the file is shown as read
    // from disk.
    void AfterSave(const QString& name, bool listed);
    // Shows the file `path`, of any folder, as when the viewer is opened on it.
    void ShowFile(const QString& path);
    // Files just put into the shown folder `folder` (copied or dropped there): the names join
    // the list (the own list takes those with a picture extension, the browser's list those it
    // admits); with `showFirst` the first of them is shown as read from disk. Nothing when the
    // viewer shows another folder by now.
    void FilesAdded(const QString& folder, const QStringList& names, bool showFirst);
    // The file `name` left the folder `folder` (moved away or deleted): its row goes from the
    // list, and when it was the picture shown the viewer moves on to the next picture, coming
    // round at the end, or shows "No images" when it was the only one. Nothing when the viewer
    // shows another folder by now.
    void FileRemoved(const QString& folder, const QString& name);
    // The file `oldName` of the folder `folder` is now `newName`: its row carries the new name,
    // and the picture shown stays shown (under its new name).
    void FileRenamed(const QString& folder, const QString& oldName, const QString& newName);
    // Back to the browser with the switch and "SelectPicture" naming the picture shown, if any;
    // opened on a file, the browser is to open that file's folder (the pending path).
    void OnBrowser();

Q_SIGNALS:
    // The title, the status texts or what the commands allow may have changed.
    void stateChanged();
    // Another picture (or none) is about to be shown: its animation starts anew.
    void pictureChanged();
    // The zoom or the picture changed: the view lays out zoom().display, placing the scroll
    // position by `rule` (`scroll` for ScrollRule::Explicit); with `sizeFrame` ("fit window to
    // image" in a frame neither maximised nor in full screen) it has the frame fit the display
    // first.
    void zoomChanged(CViewerController::ScrollRule rule, QPoint scroll, bool sizeFrame);
    // The selection came or went.
    void selectionChanged();
    // A picture (`maximised`) or the "No images" state is shown: a hidden frame shows itself.
    void showWanted(bool maximised);
    // The viewer handed back to the browser.
    void left();

protected:
    // The messages posted to the controller itself (the folder scan's "UpdateStatusBarMsg").
    bool event(QEvent* event) override;

private:
    void registerCommands();
    ViewerWindowMetrics measure() const;

    void showPendingPath();
    void showBrowserPicture(bool fromBrowser, const QString& toRead);
    void startOwnList(const QString& folder, const QString& name);
    void enterNoImages();

    void showPicture();
    void applyFitMode();
    void setFitMode(viewgeometry::FitMode mode);
    void layout(ScrollRule rule, QPoint scroll = {});
    void zoomStep(bool in);
    void actualSize();
    void zoomToSelection();

    viewgeometry::FitInputs fitInputs() const;
    LayoutRequest layoutRequest() const;

    void requestMove(int id, const std::function<bool()>& move, int direction);
    void afterMove(bool moved, int direction);
    // Reads the file now shown into the current image; `direction` is where the look-ahead goes
    // next.
    void loadShown(int direction);
    void pictureLoaded(const QString& path, const QString& failure);
    void showPreview(const QString& path, const QImage& image, QSize size);
    // Drops the load in flight and the moves waiting for it.
    void cancelLoad();
    void transform(int command);

    ViewerHost& m_host;
    CAppSettings& m_options;
    CCommandTarget m_commands;
    std::function<ViewerWindowMetrics()> m_measure;

    PictureSource m_source;
    PictureLoader m_loader;
    ViewerNavigator m_navigator;
    SlideShow m_slideShow;
    ShownPictureInfo m_info;
    bool m_noImages = false;
    QString m_failure;               // why the file shown could not be read
    std::optional<int> m_pendingMove; // the last move asked for while a picture is read
    int m_direction = 1;              // of the last move, for the look-ahead

    viewgeometry::FitMode m_fitMode = viewgeometry::FitMode::FitWindowToImage;
    viewgeometry::Zoom m_zoom;
    QSize m_picture{0, 0};
    // What stands for the picture being read, laid out as the picture will be.
    struct Preview {
        QImage image;
        QSize picture;
        viewgeometry::Zoom zoom;
    };
    std::optional<Preview> m_preview;
    // Set only while the picture it was made for is laid out.
    std::optional<PreparedLayout> m_prepared;
    // Off for the one layout after a zoom to a selection: the frame keeps its size.
    bool m_frameSizingAllowed = true;

    std::optional<QRectF> m_selection;
    bool m_selectionReady = false;
};
