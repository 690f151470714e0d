#include "viewer/cviewercontroller.h"

#include <utility>

#include <QFileInfo>

#include "core/messages.h"
#include "fileops/cfileinfo.h"
#include "imagelib/cbmpex.h"
#include "settings/cappsettings.h"
#include "viewer/logging.h"
#include "viewer/viewerhost.h"

namespace {

const QString kTitle = QStringLiteral("Zelt Pixoria");

using viewgeometry::FitMode;

FitMode fitModeOf(int value)
{
    return value >= 0 && value <= 3 ? FitMode(value) : FitMode::FitWindowToImage;
}

} // namespace

CViewerController::CViewerController(ViewerHost& host, CAppSettings& options, CCommandTarget* next, QObject* parent)
    : QObject(parent), m_host(host), m_options(options), m_commands(next), m_source(this),
      m_slideShow(m_navigator, options)
{
    m_navigator.setList(&m_source.list());
    // The position "n/m" is known only once the scan is over.
    connect(&m_source, &PictureSource::listChanged, this, &CViewerController::stateChanged);
    // "Loading" is to be shown, and what needs the picture waits for it.
    connect(&m_loader, &PictureLoader::readingFile, this, &CViewerController::stateChanged);
    connect(&m_loader, &PictureLoader::loaded, this, &CViewerController::pictureLoaded);
    connect(&m_loader, &PictureLoader::previewReady, this, &CViewerController::showPreview);
    connect(&m_slideShow, &SlideShow::shown, this,
            [this] { afterMove(true, m_slideShow.order() == SlideShow::kReverse ? -1 : 1); });
    connect(&m_slideShow, &SlideShow::runningChanged, this, &CViewerController::stateChanged);
    m_fitMode = fitModeOf(m_options.ViewMode);
    registerCommands();
}

CViewerController::~CViewerController()
{
    m_source.stopScan();
    m_slideShow.stop();
}

CBmpEx& CViewerController::picture()
{
    return m_host.currentImage();
}

ViewerWindowMetrics CViewerController::measure() const
{
    return m_measure ? m_measure() : ViewerWindowMetrics{};
}

bool CViewerController::event(QEvent* event)
{
    return handleMessage(event) || QObject::event(event);
}

void CViewerController::registerCommands()
{
    const auto shown = [this] { return hasPicture(); };
    // Moving goes on from a picture that could not be read, and while one is read.
    const auto placed = [this] { return !m_noImages; };
    m_commands.on(cmd::kBrowser, [this] { OnBrowser(); });
    m_commands.on(
        cmd::kZoomIn, [this] { zoomStep(true); }, shown);
    m_commands.on(
        cmd::kZoomOut, [this] { zoomStep(false); }, shown);
    m_commands.on(
        cmd::kActualSize, [this] { actualSize(); }, shown);
    const std::pair<int, FitMode> modes[] = {{cmd::kFitWindowToImage, FitMode::FitWindowToImage},
                                             {cmd::kFitImageToWindow, FitMode::FitImageToWindow},
                                             {cmd::kBestFit, FitMode::BestFit},
                                             {cmd::kZoomLock, FitMode::ZoomLock}};
    for (const auto& [id, mode] : modes) {
        m_commands.on(
            id, [this, mode] { setFitMode(mode); }, shown, [this, mode] { return m_fitMode == mode; });
    }
    const auto selected = [this] { return m_selection.has_value(); };
    m_commands.on(
        cmd::kZoomTo, [this] { zoomToSelection(); }, selected);
    m_commands.on(
        cmd::kSelectNone,
        [this] {
            clearSelection();
            Q_EMIT stateChanged();
        },
        selected);

    const std::pair<int, std::function<bool()>> moves[] = {
        {cmd::kNextImage, [this] { return m_navigator.Next(true); }},
        {cmd::kPreviousImage, [this] { return m_navigator.Previous(true); }},
        {cmd::kNextImageNoWrap, [this] { return m_navigator.Next(false); }},
        {cmd::kPreviousImageNoWrap, [this] { return m_navigator.Previous(false); }},
        {cmd::kFirstImage, [this] { return m_navigator.First(); }},
        {cmd::kLastImage, [this] { return m_navigator.Last(); }},
        {cmd::kRandomImage, [this] { return m_navigator.Random(); }},
    };
    for (const auto& [id, move] : moves) {
        const int direction = id == cmd::kPreviousImage || id == cmd::kPreviousImageNoWrap || id == cmd::kLastImage ? -1 : 1;
        m_commands.on(
            id, [this, id, move, direction] { requestMove(id, move, direction); }, placed);
    }
    m_commands.on(
        cmd::kSlideShow,
        [this] {
            if (m_slideShow.isRunning())
                m_slideShow.stop();
            else
                m_slideShow.start();
        },
        placed, [this] { return m_slideShow.isRunning(); });

    for (int id : {cmd::kRotateLeft, cmd::kRotateRight, cmd::kTurnAround, cmd::kMirror, cmd::kFlipVertical})
        m_commands.on(
            id, [this, id] { transform(id); }, shown);
    m_commands.on(
        cmd::kViewerRefresh, [this] { showPicture(); }, shown);
}

// ---- The picture source ------------------------------------------------------------------------

bool CViewerController::handleMessage(QEvent* event)
{
    if (appmsg::as(event, appmsg::kLoadViewerBeforeBrowser)) {
        showPendingPath();
        return true;
    }
    if (const appmsg::Message* message = appmsg::as(event, appmsg::kLoadPictureToMemory)) {
        showBrowserPicture(message->object != nullptr, message->path);
        return true;
    }
    if (appmsg::as(event, appmsg::kSwitchOnSlideShow)) {
        if (!m_slideShow.isRunning())
            m_slideShow.start();
        return true;
    }
    if (appmsg::as(event, appmsg::kUpdateStatusBar)) {
        Q_EMIT stateChanged();
        return true;
    }
    return false;
}

void CViewerController::showPendingPath()
{
    const QString pending = m_host.pendingImagePath();
    if (pending.isEmpty()) {
        enterNoImages();
        return;
    }
    const QFileInfo file(pending);
    const QString folder = PictureSource::folderOf(pending);
    const QString name = file.fileName();
    m_host.setPendingImagePath({});
    m_noImages = false;
    cancelLoad();
    m_failure.clear();
    // The current image holds the file when the application read it already; otherwise (at
    // start-up) the loader reads it, showing its preview first. A file that does not load still
    // takes its place in the folder, and says why.
    const bool read = picture().loaded() && picture().path() == pending;
    const auto show = [this, read] {
        if (read)
            showPicture();
        else
            loadShown(1);
    };
    if (m_source.isShownFolder(folder)) {
        // The same folder: its list is there already.
        m_host.setOpenedFromFile(!m_source.walksBrowser());
        m_source.showName(name);
        show();
        return;
    }
    startOwnList(folder, name);
    show();
    m_source.scan();
}

void CViewerController::startOwnList(const QString& folder, const QString& name)
{
    m_source.startOwnList(folder, name);
    m_navigator.setList(&m_source.list());
}

// The browser opens a picture by naming it, `toRead`, and the loader reads it, showing a preview
// of a large one first. Otherwise the current image holds the picture already (the browser loaded
// it to print, its preview handed it over, or a view that moved or turned the picture re-shows it).
void CViewerController::showBrowserPicture(bool fromBrowser, const QString& toRead)
{
    if (m_noImages) {
        enterNoImages();
        return;
    }
    cancelLoad();
    QString path = toRead;
    m_failure.clear();
    if (path.isEmpty()) {
        // A picture the browser could not read comes all the same: the image names the file it
        // failed on, and the view tells why in its place.
        const bool read = picture().loaded();
        path = read ? picture().path() : picture().lastError().file;
        if (!read && !path.isEmpty())
            m_failure = PictureLoader::failureText(path, picture());
    }
    if (fromBrowser)
        m_source.setBrowserList(m_host.browserList());
    if (m_host.openedFromFile())
        m_source.setBrowserList(nullptr);
    const QFileInfo file(path);
    if (m_source.walksBrowser()) {
        m_navigator.setList(&m_source.list());
        m_source.takeBrowserSelection(file.fileName());
    } else if (fromBrowser) {
        // A browser that is not there to be walked: the picture's own folder serves.
        startOwnList(PictureSource::folderOf(path), file.fileName());
        m_source.scan();
    }
    if (!toRead.isEmpty()) {
        // The look-ahead follows the load.
        loadShown(1);
        return;
    }
    showPicture();
    if (fromBrowser)
        m_loader.prefetchFrom(m_source.list(), 1, layoutRequest());
}

void CViewerController::enterNoImages()
{
    cancelLoad();
    m_failure.clear();
    m_host.setOpenedFromFile(true);
    m_source.clearFileName();
    m_noImages = true;
    m_picture = QSize(0, 0);
    m_zoom = viewgeometry::actualSize(m_picture);
    clearSelection();
    Q_EMIT showWanted(false);
    Q_EMIT pictureChanged();
    Q_EMIT stateChanged();
}

void CViewerController::OnBrowser()
{
    cancelLoad();
    m_failure.clear();
    const bool hadPicture = !m_noImages;
    const QString shown = fileName().isEmpty() ? QString() : folder() + fileName();
    m_noImages = false;
    m_source.leave();
    if (m_host.openedFromFile()) {
        m_host.setPendingImagePath(shown);
        m_host.setOpenedFromFile(false);
    }
    m_slideShow.stop();
    clearSelection();
    Q_EMIT left();
    m_zoom = viewgeometry::actualSize(m_picture);
    m_host.requestSwitch(appmsg::kSwitchShow);
    if (hadPicture && m_host.browserWindow())
        appmsg::send(m_host.browserWindow(), appmsg::kSelectPicture, shown);
}

// ---- Showing a picture -------------------------------------------------------------------------

void CViewerController::showPicture()
{
    if (m_noImages) {
        enterNoImages();
        return;
    }
    // A file that could not be read has no picture of its own to show: the view tells why.
    if (!m_failure.isEmpty()) {
        m_picture = QSize(0, 0);
        m_zoom = viewgeometry::actualSize(m_picture);
        clearSelection();
        Q_EMIT pictureChanged();
        Q_EMIT showWanted(true);
        layout(ScrollRule::Origin);
        return;
    }
    m_info.read(folder() + fileName(), picture());
    Q_EMIT pictureChanged();
    m_picture = picture().GetSize().expandedTo(QSize(0, 0));
    clearSelection();
    Q_EMIT showWanted(true);
    applyFitMode();
}

viewgeometry::FitInputs CViewerController::fitInputs() const
{
    const ViewerWindowMetrics window = measure();
    viewgeometry::FitInputs inputs;
    inputs.client = window.client;
    inputs.fullScreen = window.fullScreen;
    inputs.workArea = window.workArea;
    inputs.chrome = window.chrome;
    inputs.lockedZoom = m_zoom.zoom;
    return inputs;
}

LayoutRequest CViewerController::layoutRequest() const
{
    return LayoutRequest::of(m_fitMode, fitInputs());
}

void CViewerController::applyFitMode()
{
    m_zoom = viewgeometry::fitPicture(m_fitMode, m_picture, fitInputs());
    layout(ScrollRule::Origin);
}

QImage CViewerController::preparedRendering(QSize display) const
{
    return m_prepared && m_prepared->rendered.size() == display ? m_prepared->rendered : QImage();
}

void CViewerController::windowResized()
{
    if (!m_noImages)
        m_loader.lookahead().setLayoutRequest(layoutRequest());
}

void CViewerController::setFitMode(FitMode mode)
{
    if (mode == m_fitMode)
        return;
    m_fitMode = mode;
    m_options.ViewMode = int(mode);
    m_options.SaveFields({&CAppSettings::ViewMode});
    showPicture();
}

void CViewerController::layout(ScrollRule rule, QPoint scroll)
{
    const ViewerWindowMetrics window = measure();
    const bool sizeFrame =
        viewgeometry::frameSizingApplies(m_fitMode, window.maximised, window.fullScreen, m_frameSizingAllowed);
    m_frameSizingAllowed = true;
    Q_EMIT zoomChanged(rule, scroll, sizeFrame);
    if (!m_selectionReady)
        clearSelection();
    // A new fit mode, or the zoom that zoom lock keeps: the next picture is to be laid out anew.
    m_loader.lookahead().setLayoutRequest(layoutRequest());
    Q_EMIT stateChanged();
}

void CViewerController::zoomStep(bool in)
{
    const auto next = in ? viewgeometry::zoomIn(m_zoom, m_picture) : viewgeometry::zoomOut(m_zoom, m_picture);
    if (!next)
        return;
    m_zoom = *next;
    layout(ScrollRule::KeepCentre);
}

void CViewerController::actualSize()
{
    m_zoom = viewgeometry::actualSize(m_picture);
    layout(ScrollRule::Origin);
}

void CViewerController::zoomToSelection()
{
    if (!m_selection)
        return;
    const auto target = viewgeometry::zoomToSelection(m_zoom, m_picture, *m_selection, measure().client);
    clearSelection();
    if (!target)
        return;
    m_zoom = target->zoom;
    m_frameSizingAllowed = false;
    layout(ScrollRule::Explicit, target->scroll);
}

// ---- Selection --------------------------------------------------------------------------------------

void CViewerController::endBand(std::optional<QRectF> picked)
{
    if (picked) {
        m_selection = picked;
        Q_EMIT selectionChanged();
    }
    Q_EMIT stateChanged();
}

void CViewerController::clearSelection()
{
    if (!m_selection)
        return;
    m_selection.reset();
    Q_EMIT selectionChanged();
}

// ---- Moving between pictures --------------------------------------------------------------------

// Keys repeat faster than camera pictures decode: a move asked for while a picture is read waits
// for it, and of all the moves asked for meanwhile only the last is made. So the viewer is at
// most one picture behind the keys, and stops within one picture of the last one.
void CViewerController::requestMove(int id, const std::function<bool()>& move, int direction)
{
    if (m_loader.loading()) {
        m_pendingMove = id;
        return;
    }
    afterMove(move(), direction);
}

void CViewerController::afterMove(bool moved, int direction)
{
    if (!moved)
        return;
    m_source.followSelection();
    loadShown(direction);
}

void CViewerController::loadShown(int direction)
{
    m_direction = direction;
    m_loader.load(folder() + fileName(), picture(), layoutRequest());
    if (m_loader.loading())
        Q_EMIT stateChanged();
}

void CViewerController::pictureLoaded(const QString&, const QString& failure)
{
    m_failure = failure;
    m_preview.reset();
    m_prepared = m_loader.takeLayout();
    showPicture();
    m_prepared.reset();
    m_loader.prefetchFrom(m_source.list(), m_direction, layoutRequest());
    if (const std::optional<int> next = std::exchange(m_pendingMove, std::nullopt))
        m_commands.execute(*next);
}

// Laid out as the picture will be, so that the picture takes its place without a jump.
void CViewerController::showPreview(const QString&, const QImage& image, QSize size)
{
    m_failure.clear();
    m_preview = Preview{image, size, viewgeometry::fitPicture(m_fitMode, size, fitInputs())};
    clearSelection();
    Q_EMIT pictureChanged();
    Q_EMIT showWanted(true);
    layout(ScrollRule::Origin);
}

void CViewerController::cancelLoad()
{
    m_loader.clear();
    m_preview.reset();
    m_pendingMove.reset();
}

// ---- Transforms, crop and save ---------------------------------------------------------------------

void CViewerController::transform(int command)
{
    CBmpEx& shown = picture();
    bool turned = false;
    switch (command) {
    case cmd::kRotateLeft:
        turned = shown.rotate(-90);
        break;
    case cmd::kRotateRight:
        turned = shown.rotate(90);
        break;
    case cmd::kTurnAround:
        turned = shown.mirror(Qt::Horizontal | Qt::Vertical);
        break;
    case cmd::kMirror:
        turned = shown.mirror(Qt::Horizontal);
        break;
    case cmd::kFlipVertical:
        turned = shown.mirror(Qt::Vertical);
        break;
    default:
        return;
    }
    if (turned)
        showPicture();
}

bool CViewerController::CutToSelection()
{
    // The click that closed the dialog is no start of a band.
    m_selectionReady = false;
    if (!m_selection)
        return true;
    const QRectF cut = *m_selection;
    if (cut.top() == cut.bottom() || cut.left() == cut.right())
        return false;
    CBmpEx& current = picture();
    // The fractions of a pixel are dropped.
    const QRect pixels(int(cut.left()), int(cut.top()), int(cut.right() - cut.left()), int(cut.bottom() - cut.top()));
    const bool cropped = current.crop(pixels);
    if (!cropped && !current.Load(folder() + fileName()))
        qCDebug(lcViewer) << current.failureText();
    // The picture in memory changed size either way.
    showPicture();
    return cropped;
}

void CViewerController::AfterSave(const QString& name, bool listed)
{
    m_source.showSaved(name, listed);
    const QString path = folder() + name;
    m_failure = picture().Load(path) ? QString() : PictureLoader::failureText(path, picture());
    showPicture();
}

void CViewerController::ShowFile(const QString& path)
{
    if (!picture().Load(path))
        qCDebug(lcViewer) << picture().failureText();
    m_host.setPendingImagePath(path);
    // As opened on the file: back in the browser, its folder is shown (the same folder keeps the
    // list it has).
    m_host.setOpenedFromFile(true);
    showPendingPath();
}

void CViewerController::FilesAdded(const QString& folder, const QStringList& names, bool showFirst)
{
    if (names.isEmpty() || !m_source.isShownFolder(folder))
        return;
    // The own list holds what its scan would have found; the browser's list admits by itself.
    const auto listed = [this](const QString& name) {
        return m_source.walksBrowser() || CFileInfo::IsImageByExtension(name);
    };
    for (const QString& name : names) {
        if (listed(name))
            pictureList().addRow(name);
    }
    if (showFirst) {
        cancelLoad();
        m_noImages = false;
        AfterSave(names.first(), listed(names.first()));
    } else {
        Q_EMIT stateChanged();
    }
}

void CViewerController::FileRemoved(const QString& folder, const QString& name)
{
    if (!m_source.isShownFolder(folder))
        return;
    PictureList& list = pictureList();
    const int row = m_source.rowOf(name);
    if (m_noImages || name != fileName()) {
        if (row >= 0)
            list.removeRow(row);
        Q_EMIT stateChanged();
        return;
    }
    cancelLoad();
    const bool known = row >= 0 && list.isKnownPicture(row);
    if (list.pictureCount() - (known ? 1 : 0) <= 0) {
        if (row >= 0)
            list.removeRow(row);
        enterNoImages();
        return;
    }
    // On from the row that goes, then without it: the next picture, or the first after the last.
    const bool moved = m_navigator.Next(true);
    list.removeRow(m_source.rowOf(name));
    if (moved)
        afterMove(true, 1);
    else
        enterNoImages();
}

void CViewerController::FileRenamed(const QString& folder, const QString& oldName, const QString& newName)
{
    if (!m_source.isShownFolder(folder))
        return;
    const bool shown = !m_noImages && oldName == fileName();
    m_source.renameFile(oldName, newName);
    if (shown)
        showPicture();
    else
        Q_EMIT stateChanged();
}

// ---- Status ------------------------------------------------------------------------------------------

QStringList CViewerController::statusTexts() const
{
    if (m_noImages)
        return {QStringLiteral("No images")};
    if (loading())
        return {QStringLiteral("Loading")};
    if (!m_failure.isEmpty())
        return {m_navigator.positionText(), m_failure};
    if (pictureList().pictureCount() == 0)
        return {QString()};
    return {m_navigator.positionText(), fileName(), m_info.fileSizeText(), m_info.pictureText(),
            viewgeometry::zoomText(m_zoom.display, m_picture)};
}

QString CViewerController::title() const
{
    if (m_noImages || fileName().isEmpty())
        return kTitle;
    return fileName() + QStringLiteral(" - ") + kTitle;
}
