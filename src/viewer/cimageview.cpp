#include "viewer/cimageview.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include "core/messages.h"
#include "imagelib/limits.h"
#include "settings/csettingsstore.h"
#include "settings/settingskeys.h"
#include "viewer/pictureops.h"
#include "viewer/viewerhost.h"

namespace {

const QString kTitle = QStringLiteral("Zelt Pixoria");
constexpr int kOutlineIntervalMs = 100;
// A slide that asks for no delay at all would keep the processor busy.
constexpr int kLeastSlideDelayMs = 20;

using viewgeometry::FitMode;

FitMode fitModeOf(int value)
{
    return value >= 0 && value <= 3 ? FitMode(value) : FitMode::FitWindowToImage;
}

// The keys of the view: each runs a command, so that keys, menus and toolbar share one path.
constexpr std::pair<int, int> kKeyCommands[] = {
    {Qt::Key_Return, cmd::kBrowser},
    {Qt::Key_Enter, cmd::kBrowser},
    {Qt::Key_Escape, cmd::kBrowser},
    {Qt::Key_Space, cmd::kNextImage},
    {Qt::Key_Backspace, cmd::kPreviousImage},
    {Qt::Key_PageDown, cmd::kNextImageNoWrap},
    {Qt::Key_PageUp, cmd::kPreviousImageNoWrap},
    {Qt::Key_Home, cmd::kFirstImage},
    {Qt::Key_End, cmd::kLastImage},
    {Qt::Key_Left, cmd::kPushLeft},
    {Qt::Key_Right, cmd::kPushRight},
    {Qt::Key_Up, cmd::kPushUp},
    {Qt::Key_Down, cmd::kPushDown},
};

// The magnifier shown over an active selection, which a click zooms to.
QCursor magnifierCursor()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const auto& [colour, width] : {std::pair{QColor(Qt::white), 5.0}, std::pair{QColor(Qt::black), 2.5}}) {
        painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
        painter.drawEllipse(QRectF(3, 3, 17, 17));
        painter.drawLine(QPointF(18, 18), QPointF(28, 28));
    }
    painter.end();
    return QCursor(pixmap, 11, 11);
}

} // namespace

CImageView::CImageView(ViewerHost& host, CCommandTarget* frameTarget, QWidget* parent)
    : CImageScrollView(parent), m_host(host), m_commands(frameTarget), m_source(this),
      m_navigator([this](const QString& path) { return m_loader.load(path, m_host.currentImage()); }),
      m_slideShow(m_navigator), m_printer(this)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    m_navigator.setList(&m_source.list());
    m_animationTimer.setSingleShot(true);
    connect(&m_animationTimer, &QTimer::timeout, this, &CImageView::nextSlide);
    m_outlineTimer.setInterval(kOutlineIntervalMs);
    connect(&m_outlineTimer, &QTimer::timeout, this, [this] {
        m_outlinePhase = !m_outlinePhase;
        viewport()->update(outlineRect().adjusted(-1, -1, 1, 1));
    });
    // The position "n/m" is known only once the scan is over.
    connect(&m_source, &PictureSource::listChanged, this, &CImageView::stateChanged);
    // The file is read before the event loop runs again: "Loading" is to be shown now.
    connect(&m_loader, &PictureLoader::readingFile, this, &CImageView::stateChanged);
    connect(&m_slideShow, &SlideShow::shown, this,
            [this] { afterMove(true, SlideShowSettings::readOrder() == SlideShowSettings::kReverse ? -1 : 1); });
    connect(&m_slideShow, &SlideShow::runningChanged, this, &CImageView::stateChanged);
    m_fitMode = fitModeOf(CSettingsStore::GetProfileInt(settingskeys::kViewMode));
    registerCommands();
}

CImageView::~CImageView()
{
    m_source.stopScan();
    m_slideShow.stop();
    stopAnimation();
    CSettingsStore::WriteProfileInt(settingskeys::kViewMode, int(m_fitMode));
}

void CImageView::registerCommands()
{
    const auto shown = [this] { return hasPicture(); };
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
    m_commands.on(
        cmd::kZoomTo, [this] { zoomToSelection(); }, [this] { return m_selectionActive; });
    m_commands.on(
        cmd::kSelectNone,
        [this] {
            clearSelection();
            Q_EMIT stateChanged();
        },
        [this] { return m_selectionActive; });

    m_commands.on(
        cmd::kNextImage, [this] { afterMove(m_navigator.Next(true), 1); }, shown);
    m_commands.on(
        cmd::kPreviousImage, [this] { afterMove(m_navigator.Previous(true), -1); }, shown);
    m_commands.on(
        cmd::kNextImageNoWrap, [this] { afterMove(m_navigator.Next(false), 1); }, shown);
    m_commands.on(
        cmd::kPreviousImageNoWrap, [this] { afterMove(m_navigator.Previous(false), -1); }, shown);
    m_commands.on(
        cmd::kFirstImage, [this] { afterMove(m_navigator.First(), 1); }, shown);
    m_commands.on(
        cmd::kLastImage, [this] { afterMove(m_navigator.Last(), -1); }, shown);
    m_commands.on(
        cmd::kRandomImage, [this] { afterMove(m_navigator.Random(), 1); }, shown);
    m_commands.on(
        cmd::kSlideShow,
        [this] {
            if (m_slideShow.isRunning())
                m_slideShow.stop();
            else
                m_slideShow.start();
        },
        shown, [this] { return m_slideShow.isRunning(); });

    for (int id : {cmd::kRotateLeft, cmd::kRotateRight, cmd::kTurnAround, cmd::kMirror, cmd::kFlipVertical})
        m_commands.on(
            id, [this, id] { transform(id); }, shown);
    m_commands.on(
        cmd::kViewerRefresh, [this] { showPicture(); }, shown);
    // The arrows push the picture: Right shows more of its left side.
    const std::pair<int, QPoint> pushes[] = {
        {cmd::kPushLeft, {1, 0}}, {cmd::kPushRight, {-1, 0}}, {cmd::kPushUp, {0, -1}}, {cmd::kPushDown, {0, 1}}};
    for (const auto& [id, direction] : pushes)
        m_commands.on(
            id, [this, direction] { push(direction); }, shown);

    m_commands.on(
        cmd::kFilePrint, [this] { m_printer.Print(m_host.currentImage()); }, shown);
    m_commands.on(cmd::kFilePrintSetup, [this] { m_printer.PrintSetup(); });
    m_commands.on(
        cmd::kFilePrintPreview, [this] { m_printer.PrintPreview(m_host.currentImage()); }, shown);
}

// ---- The picture source ------------------------------------------------------------------------

bool CImageView::event(QEvent* event)
{
    if (appmsg::as(event, appmsg::kLoadViewerBeforeBrowser)) {
        showPendingPath();
        return true;
    }
    if (const appmsg::Message* message = appmsg::as(event, appmsg::kLoadPictureToMemory)) {
        showBrowserPicture(message->object != nullptr);
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
    if (const appmsg::Message* command = appmsg::as(event, appmsg::kCommand)) {
        m_commands.execute(command->kind);
        return true;
    }
    return CImageScrollView::event(event);
}

void CImageView::showPendingPath()
{
    const QString pending = m_host.pendingImagePath();
    if (pending.isEmpty()) {
        enterNoImages();
        return;
    }
    const QFileInfo file(pending);
    const QString folder = file.path() + (file.path().endsWith(u'/') ? QString() : QStringLiteral("/"));
    const QString name = file.fileName();
    m_host.setPendingImagePath({});
    m_noImages = false;
    if (m_source.isShownFolder(folder)) {
        // The same folder: its list is there already.
        m_host.setOpenedFromFile(!m_source.walksBrowser());
        m_source.showName(name);
        showPicture();
        return;
    }
    startOwnList(folder, name);
    showPicture();
    m_source.scan();
}

void CImageView::startOwnList(const QString& folder, const QString& name)
{
    m_source.startOwnList(folder, name);
    m_navigator.setList(&m_source.list());
}

// The browser loaded the picture into the current image before it asked for the switch; a view
// that moved or turned the picture re-shows it the same way.
void CImageView::showBrowserPicture(bool fromBrowser)
{
    if (m_noImages) {
        enterNoImages();
        return;
    }
    if (fromBrowser)
        m_source.setBrowserList(m_host.browserList());
    if (m_host.openedFromFile())
        m_source.setBrowserList(nullptr);
    const QFileInfo file(m_host.currentImage().path());
    if (m_source.walksBrowser()) {
        m_navigator.setList(&m_source.list());
        m_source.takeBrowserSelection(file.fileName());
    } else if (fromBrowser) {
        // A browser that is not there to be walked: the picture's own folder serves.
        startOwnList(file.path() + QStringLiteral("/"), file.fileName());
        m_source.scan();
    }
    showPicture();
    if (fromBrowser)
        m_loader.prefetchFrom(pictureList(), 1);
}

void CImageView::enterNoImages()
{
    m_host.setOpenedFromFile(true);
    m_rendered = QImage();
    m_source.clearFileName();
    m_noImages = true;
    m_picture = QSize(0, 0);
    m_zoom = viewgeometry::actualSize(m_picture);
    stopAnimation();
    clearSelection();
    QWidget* frame = window();
    if (frame->isHidden())
        frame->show();
    setContentSize(QSize(0, 0));
    viewport()->update();
    Q_EMIT stateChanged();
}

void CImageView::OnBrowser()
{
    m_rendered = QImage();
    m_loader.clear();
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
    stopAnimation();
    m_zoom = viewgeometry::actualSize(m_picture);
    m_host.requestSwitch(appmsg::kSwitchShow);
    if (hadPicture && m_host.browserWindow())
        appmsg::send(m_host.browserWindow(), appmsg::kSelectPicture, shown);
}

// ---- Showing a picture -------------------------------------------------------------------------

void CImageView::showPicture()
{
    if (m_noImages) {
        enterNoImages();
        return;
    }
    m_info.read(folder() + fileName(), m_host.currentImage());
    stopAnimation();
    m_picture = m_host.currentImage().GetSize().expandedTo(QSize(0, 0));
    clearSelection();
    QWidget* frame = window();
    if (frame->isHidden()) {
        // Where no window manager maximises, the screen's work area is the same thing.
        if (const QScreen* screen = frame->screen())
            frame->setGeometry(screen->availableGeometry());
        frame->showMaximized();
    }
    applyFitMode();
}

void CImageView::applyFitMode()
{
    viewgeometry::FitInputs inputs;
    inputs.client = clientSize();
    inputs.fullScreen = window()->isFullScreen();
    inputs.workArea = workArea();
    inputs.chrome = frameChrome();
    inputs.lockedZoom = m_zoom.zoom;
    m_zoom = viewgeometry::fitPicture(m_fitMode, m_picture, inputs);
    layoutPicture(ScrollRule::Origin);
}

void CImageView::setFitMode(FitMode mode)
{
    if (mode == m_fitMode)
        return;
    m_fitMode = mode;
    CSettingsStore::WriteProfileInt(settingskeys::kViewMode, int(mode));
    showPicture();
}

void CImageView::layoutPicture(ScrollRule rule, QPoint scroll)
{
    const QSize oldDisplay = contentSize();
    const QPoint oldScroll = scrollPosition();
    setUpdatesEnabled(false);
    renderOffscreen();
    QWidget* frame = window();
    if (frame != this &&
        viewgeometry::frameSizingApplies(m_fitMode, frame->isMaximized(), frame->isFullScreen(), m_frameSizingAllowed))
        sizeFrame();
    if (frame->isHidden())
        frame->showMaximized();
    m_frameSizingAllowed = true;
    setContentSize(displaySize());
    switch (rule) {
    case ScrollRule::Origin:
        setScrollPosition(QPoint(0, 0));
        break;
    case ScrollRule::KeepCentre:
        setScrollPosition(viewgeometry::scrollAfterZoom(oldScroll, QSizeF(oldDisplay), m_zoom.display, clientSize()));
        break;
    case ScrollRule::Explicit:
        setScrollPosition(scroll);
        break;
    }
    if (m_info.slides() > 1) {
        pictureops::firstSlide(m_host.currentImage());
        stopAnimation();
    }
    if (!m_selectionReady)
        clearSelection();
    setUpdatesEnabled(true);
    updatePanCursor();
    viewport()->update();
    Q_EMIT stateChanged();
}

// Below zoom 1 the picture is scaled once here; at zoom 1 and above it is drawn straight from the
// library, so no copy of the whole picture is made at all.
void CImageView::renderOffscreen()
{
    m_rendered = QImage();
    const QSize display = displaySize();
    if (m_noImages || m_zoom.zoom >= 1.0 || display.isEmpty())
        return;
    m_rendered = imagelib::allocateImage(display.width(), display.height(), QImage::Format_RGB32);
    if (m_rendered.isNull())
        return;
    m_rendered.fill(Qt::black);
    QPainter painter(&m_rendered);
    pictureops::draw(m_host.currentImage(), painter, QRect(QPoint(0, 0), display));
}

// The frame's parts around the client, measured: whatever lies across goes to the four borders
// (rounded up, so that the client never ends up narrower than the picture), the rest down to the
// caption.
viewgeometry::FrameChrome CImageView::frameChrome() const
{
    const QWidget* frame = window();
    viewgeometry::FrameChrome chrome;
    if (frame == this)
        return chrome;
    const int across = frame->frameGeometry().width() - width();
    const int down = frame->frameGeometry().height() - height();
    chrome.borderX = (std::max(0, across) + 3) / 4;
    chrome.borderY = chrome.borderX;
    chrome.captionHeight = down - 4 * chrome.borderX;
    return chrome;
}

QRect CImageView::workArea() const
{
    const QScreen* screen = window()->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void CImageView::sizeFrame()
{
    QWidget* frame = window();
    const QRect outer = viewgeometry::frameRect(m_zoom.display, frameChrome(), workArea());
    const QSize decoration = frame->frameGeometry().size() - frame->size();
    frame->resize(outer.size() - decoration);
    frame->move(outer.topLeft());
}

QSize CImageView::clientSize() const
{
    return viewport()->size();
}

QSize CImageView::displaySize() const
{
    return QSize(int(m_zoom.display.width()), int(m_zoom.display.height()));
}

QPoint CImageView::origin() const
{
    return viewgeometry::pictureOrigin(clientSize(), m_zoom.display, scrollPosition());
}

// ---- Zoom ---------------------------------------------------------------------------------------

void CImageView::zoomStep(bool in)
{
    const auto next = in ? viewgeometry::zoomIn(m_zoom, m_picture) : viewgeometry::zoomOut(m_zoom, m_picture);
    if (!next)
        return;
    m_zoom = *next;
    layoutPicture(ScrollRule::KeepCentre);
}

void CImageView::actualSize()
{
    m_zoom = viewgeometry::actualSize(m_picture);
    layoutPicture(ScrollRule::Origin);
}

void CImageView::zoomToSelection()
{
    if (!m_selectionActive)
        return;
    const auto target = viewgeometry::zoomToSelection(m_zoom, m_picture, m_selection, clientSize());
    clearSelection();
    if (!target)
        return;
    m_zoom = target->zoom;
    m_frameSizingAllowed = false;
    layoutPicture(ScrollRule::Explicit, target->scroll);
}

// ---- Moving between pictures --------------------------------------------------------------------

void CImageView::afterMove(bool moved, int direction)
{
    if (!moved)
        return;
    m_source.followSelection();
    showPicture();
    m_loader.prefetchFrom(pictureList(), direction);
}

// ---- Transforms and crop -------------------------------------------------------------------------

void CImageView::transform(int command)
{
    if (pictureops::transform(m_host.currentImage(), command))
        showPicture();
}

bool CImageView::SaveWithCrop(const QString& target, FlmSaveOptions* options)
{
    CBmpEx& current = m_host.currentImage();
    if (!m_selectionActive) {
        const bool saved = current.Save(target, options);
        if (!saved)
            m_selectionReady = false;
        return saved;
    }
    const QRectF cut = m_selection;
    if (cut.top() == cut.bottom() || cut.left() == cut.right())
        return false;
    bool saved = false;
    if (pictureops::crop(current, cut, m_info.slides()))
        saved = current.Save(target, options);
    else
        current.Load(folder() + fileName());
    m_selectionReady = false;
    // The picture in memory changed size either way.
    showPicture();
    return saved;
}

void CImageView::AfterSave(const QString& name, bool listed)
{
    m_source.showSaved(name, listed);
    m_host.currentImage().Load(folder() + name);
    showPicture();
}

// ---- Drawing --------------------------------------------------------------------------------------

void CImageView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect repaint = event->rect();
    painter.fillRect(repaint, Qt::black);
    const QSize display = displaySize();
    if (m_noImages || m_picture.isEmpty() || display.isEmpty())
        return;
    const QPoint at = origin();
    if (m_zoom.zoom >= 1.0) {
        const auto rects = viewgeometry::magnifiedRects(repaint, clientSize(), m_zoom, m_picture, scrollPosition());
        if (rects)
            pictureops::draw(m_host.currentImage(), painter, rects->dest, &rects->source);
    } else if (!m_rendered.isNull()) {
        painter.drawImage(at, m_rendered);
    }
    if (m_selectionActive) {
        // Black and white dots in turn, so that the outline shows on any picture.
        painter.setPen(QPen(m_outlinePhase ? Qt::white : Qt::black, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(outlineRect());
    }
    if (m_bandShown) {
        painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.drawRect(m_band.adjusted(0, 0, -1, -1));
    }
    if (m_info.slides() > 1)
        scheduleAnimation();
}

// ---- Animation ------------------------------------------------------------------------------------

void CImageView::scheduleAnimation()
{
    if (m_animationTimer.isActive() || panning() || m_bandShown)
        return;
    if (const std::optional<int> delay = pictureops::currentSlideDelay(m_host.currentImage()))
        m_animationTimer.start(std::max(*delay, kLeastSlideDelayMs));
}

void CImageView::stopAnimation()
{
    m_animationTimer.stop();
}

void CImageView::nextSlide()
{
    pictureops::nextSlide(m_host.currentImage());
    if (m_zoom.zoom < 1.0)
        renderOffscreen();
    viewport()->update();
}

// ---- Selection, panning, cursors ------------------------------------------------------------------

std::optional<QRectF> CImageView::selection() const
{
    if (!m_selectionActive)
        return std::nullopt;
    return m_selection;
}

QRect CImageView::outlineRect() const
{
    return viewgeometry::selectionOutline(m_selection, origin(), m_zoom.zoom);
}

bool CImageView::overSelection(QPoint pos) const
{
    return m_selectionActive && outlineRect().contains(pos);
}

void CImageView::clearSelection()
{
    m_outlineTimer.stop();
    if (m_selectionActive)
        viewport()->update(outlineRect().adjusted(-1, -1, 1, 1));
    m_selectionActive = false;
    m_selection = QRectF();
}

bool CImageView::panningAllowed() const
{
    return !m_noImages && !(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
}

void CImageView::updateCursor(QPoint pos)
{
    if (panning())
        viewport()->setCursor(Qt::ClosedHandCursor);
    else if (m_bandShown)
        viewport()->setCursor(Qt::CrossCursor);
    else if (overSelection(pos))
        viewport()->setCursor(magnifierCursor());
    else
        updatePanCursor();
}

void CImageView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        m_commands.execute(cmd::kFullScreen);
        return;
    }
    if (event->button() != Qt::LeftButton || m_noImages) {
        CImageScrollView::mousePressEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (m_selectionActive) {
        if (overSelection(pos)) {
            zoomToSelection();
            return;
        }
        const QSize display = displaySize();
        const QSize client = clientSize();
        if ((display.width() <= client.width() && display.height() <= client.height()) || shift)
            clearSelection();
    }
    m_anchor = pos;
    m_leftDown = true;
    if (canPan() && !shift) {
        stopAnimation();
        CImageScrollView::mousePressEvent(event);
    }
    updateCursor(pos);
}

void CImageView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (panning()) {
        CImageScrollView::mouseMoveEvent(event);
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        m_selectionReady = true;
        updateCursor(pos);
        return;
    }
    if (!m_leftDown || !m_selectionReady || m_noImages)
        return;
    if (!m_bandShown) {
        stopAnimation();
        clearSelection();
        m_bandShown = true;
    }
    const QRect old = m_band;
    m_band = viewgeometry::rubberBand(m_anchor, pos);
    viewport()->update(old.united(m_band).adjusted(-1, -1, 1, 1));
    updateCursor(pos);
}

void CImageView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CImageScrollView::mouseReleaseEvent(event);
        return;
    }
    m_leftDown = false;
    if (panning())
        CImageScrollView::mouseReleaseEvent(event);
    m_selectionReady = true;
    if (m_bandShown) {
        m_bandShown = false;
        viewport()->update(m_band.adjusted(-1, -1, 1, 1));
        const auto picked = viewgeometry::bandToSelection(m_band, origin(), m_zoom.display, m_zoom.zoom);
        m_band = QRect();
        if (picked) {
            m_selection = *picked;
            m_selectionActive = true;
            m_outlineTimer.start();
            viewport()->update(outlineRect().adjusted(-1, -1, 1, 1));
        }
        Q_EMIT stateChanged();
    }
    updateCursor(event->position().toPoint());
    viewport()->update();
}

// A double click leaves full screen; only outside it does it return to the browser.
void CImageView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_commands.execute(window()->isFullScreen() ? cmd::kFullScreen : cmd::kBrowser);
}

void CImageView::contextMenuEvent(QContextMenuEvent* event)
{
    // The scroll area hands the viewport's event on with the viewport's coordinates.
    Q_EMIT contextMenuRequested(event->globalPos(), overSelection(event->pos()));
}

// ---- Keys and wheel --------------------------------------------------------------------------------

void CImageView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Shift) {
        if (panning())
            stopPanning();
        viewport()->setCursor(Qt::CrossCursor);
        return;
    }
    for (const auto& [key, id] : kKeyCommands) {
        if (key == event->key()) {
            event->setAccepted(m_commands.execute(id));
            return;
        }
    }
    event->ignore();
}

// A page in the direction's axis, where the display is larger than the client that way.
void CImageView::push(QPoint direction)
{
    const QSize display = displaySize();
    const QSize client = clientSize();
    const QSize page = pageStep(display);
    if ((direction.x() && display.width() > client.width()) || (direction.y() && display.height() > client.height()))
        setScrollPosition(scrollPosition() + QPoint(direction.x() * page.width(), direction.y() * page.height()));
}

void CImageView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Shift) {
        updateCursor(viewport()->mapFromGlobal(QCursor::pos()));
        return;
    }
    CImageScrollView::keyReleaseEvent(event);
}

void CImageView::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    int id = delta < 0 ? cmd::kNextImage : cmd::kPreviousImage;
    if (event->modifiers() & Qt::ControlModifier)
        id = delta > 0 ? cmd::kZoomIn : cmd::kZoomOut;
    event->setAccepted(m_commands.execute(id));
}

QSize CImageView::pageStep(QSize size) const
{
    return QSize(std::max(1, size.width() / 10), std::max(1, size.height() / 10));
}

QSize CImageView::lineStep(QSize size) const
{
    const QSize page = pageStep(size);
    return QSize(std::max(1, page.width() / 10), std::max(1, page.height() / 10));
}

// ---- Status ------------------------------------------------------------------------------------------

QStringList CImageView::statusTexts() const
{
    if (m_noImages)
        return {QStringLiteral("No images")};
    if (loading())
        return {QStringLiteral("Loading")};
    if (pictureList().pictureCount() == 0)
        return {QString()};
    return {m_navigator.positionText(), fileName(), m_info.fileSizeText(), m_info.pictureText(),
            viewgeometry::zoomText(m_zoom.display, m_picture)};
}

QString CImageView::title() const
{
    if (m_noImages || fileName().isEmpty())
        return kTitle;
    return fileName() + QStringLiteral(" - ") + kTitle;
}
