#include "viewer/cimageview.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>

#include "core/messages.h"
#include "imagelib/cbmpex.h"
#include "ui/localfiles.h"
#include "viewer/preparedlayout.h"

namespace {

constexpr int kOutlineIntervalMs = 100;
// A slide that asks for no delay at all would keep the processor busy.
constexpr int kLeastSlideDelayMs = 20;

using ScrollRule = CViewerController::ScrollRule;

// The keys of the view: each runs a command, so that keys, menus and toolbar share one path.
// Shift and the keypad do not matter ("+" is Shift+= on many keyboards, and the keypad's
// keys must work as the menus show them: the window system's key map drops the keypad from
// the keys a shortcut is looked up by, so those shortcuts never fire); Ctrl does.
struct KeyCommand {
    int key;
    bool control;
    int command;
};
constexpr KeyCommand kKeyCommands[] = {
    {Qt::Key_Return, false, cmd::kBrowser},
    {Qt::Key_Enter, false, cmd::kBrowser},
    {Qt::Key_Escape, false, cmd::kBrowser},
    {Qt::Key_Space, false, cmd::kNextImage},
    {Qt::Key_Backspace, false, cmd::kPreviousImage},
    {Qt::Key_PageDown, false, cmd::kNextImageNoWrap},
    {Qt::Key_PageUp, false, cmd::kPreviousImageNoWrap},
    {Qt::Key_Home, false, cmd::kFirstImage},
    {Qt::Key_End, false, cmd::kLastImage},
    {Qt::Key_Left, false, cmd::kPushLeft},
    {Qt::Key_Right, false, cmd::kPushRight},
    {Qt::Key_Up, false, cmd::kPushUp},
    {Qt::Key_Down, false, cmd::kPushDown},
    {Qt::Key_Plus, false, cmd::kZoomIn},
    {Qt::Key_Plus, true, cmd::kZoomIn},
    {Qt::Key_Equal, true, cmd::kZoomIn},
    {Qt::Key_Minus, false, cmd::kZoomOut},
    {Qt::Key_Minus, true, cmd::kZoomOut},
    {Qt::Key_Slash, false, cmd::kFitWindowToImage},
    {Qt::Key_Slash, true, cmd::kZoomLock},
    {Qt::Key_Asterisk, false, cmd::kBestFit},
    {Qt::Key_Asterisk, true, cmd::kFitImageToWindow},
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

CImageView::CImageView(ViewerHost& host, CAppSettings& options, CCommandTarget* frameTarget, QWidget* parent)
    : CImageScrollView(parent), m_controller(host, options, frameTarget), m_printer(this)
{
    m_commands.setNext(&m_controller.commandTarget());
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    m_animationTimer.setSingleShot(true);
    connect(&m_animationTimer, &QTimer::timeout, this, &CImageView::nextSlide);
    m_outlineTimer.setInterval(kOutlineIntervalMs);
    connect(&m_outlineTimer, &QTimer::timeout, this, [this] {
        m_outlinePhase = !m_outlinePhase;
        viewport()->update(outlineRect().adjusted(-1, -1, 1, 1));
    });
    m_controller.setMeasure([this] { return windowMetrics(); });
    connect(&m_controller, &CViewerController::pictureChanged, this, &CImageView::pictureChanged);
    connect(&m_controller, &CViewerController::zoomChanged, this, &CImageView::layoutPicture);
    connect(&m_controller, &CViewerController::selectionChanged, this, &CImageView::selectionChanged);
    connect(&m_controller, &CViewerController::left, this, &CImageView::left);
    registerCommands();
}

void CImageView::registerCommands()
{
    const auto shown = [this] { return m_controller.hasPicture(); };
    // The arrows push the picture: Right shows more of its left side.
    const std::pair<int, QPoint> pushes[] = {
        {cmd::kPushLeft, {1, 0}}, {cmd::kPushRight, {-1, 0}}, {cmd::kPushUp, {0, -1}}, {cmd::kPushDown, {0, 1}}};
    for (const auto& [id, direction] : pushes)
        m_commands.on(
            id, [this, direction] { push(direction); }, shown);
    m_commands.on(
        cmd::kFilePrint, [this] { m_printer.Print(m_controller.picture()); }, shown);
    m_commands.on(cmd::kFilePrintSetup, [this] { m_printer.PrintSetup(); });
    m_commands.on(
        cmd::kFilePrintPreview, [this] { m_printer.PrintPreview(m_controller.picture()); }, shown);
}

// The application addresses the viewer's messages to this widget.
bool CImageView::event(QEvent* event)
{
    if (const appmsg::Message* command = appmsg::as(event, appmsg::kCommand)) {
        m_commands.execute(command->kind);
        return true;
    }
    return m_controller.handleMessage(event) || CImageScrollView::event(event);
}

// ---- What the controller asks for ---------------------------------------------------------------

void CImageView::pictureChanged()
{
    stopAnimation();
    if (!m_controller.noImages() && m_controller.failure().isEmpty())
        return;
    m_rendered = QImage();
    setContentSize(QSize(0, 0));
    viewport()->update();
}

void CImageView::layoutPicture(ScrollRule rule, QPoint scroll, bool sizeFrame)
{
    const QSize oldDisplay = contentSize();
    const QPoint oldScroll = scrollPosition();
    setUpdatesEnabled(false);
    renderOffscreen();
    // The frame first: the scroll position is placed in the client it leaves.
    if (sizeFrame)
        Q_EMIT frameSizeWanted(m_controller.zoom().display);
    setContentSize(displaySize());
    switch (rule) {
    case ScrollRule::Origin:
        setScrollPosition(QPoint(0, 0));
        break;
    case ScrollRule::KeepCentre:
        setScrollPosition(
            viewgeometry::scrollAfterZoom(oldScroll, QSizeF(oldDisplay), m_controller.zoom().display, clientSize()));
        break;
    case ScrollRule::Explicit:
        setScrollPosition(scroll);
        break;
    }
    if (m_controller.slides() > 1 && m_controller.picture().firstSlide())
        stopAnimation();
    setUpdatesEnabled(true);
    updatePanCursor();
    viewport()->update();
}

void CImageView::selectionChanged()
{
    if (!m_controller.selection()) {
        m_outlineTimer.stop();
        viewport()->update();
        return;
    }
    m_outlineTimer.start();
    viewport()->update(outlineRect().adjusted(-1, -1, 1, 1));
}

void CImageView::left()
{
    m_rendered = QImage();
    stopAnimation();
}

// Below zoom 1 the picture is scaled once here, unless a worker did so for this size already; at
// zoom 1 and above it is drawn straight from the library, so no copy of the whole picture is made
// at all. A preview is drawn as it is.
void CImageView::renderOffscreen()
{
    m_rendered = QImage();
    const QSize display = displaySize();
    if (m_controller.noImages() || m_controller.preview() || m_controller.zoom().zoom >= 1.0 || display.isEmpty())
        return;
    m_rendered = m_controller.preparedRendering(display);
    // A picture that cannot be drawn leaves the black.
    if (m_rendered.isNull())
        m_rendered = renderDisplay(m_controller.picture(), display);
}

// ---- Measuring the window --------------------------------------------------------------------------

ViewerWindowMetrics CImageView::windowMetrics() const
{
    const QWidget* frame = window();
    ViewerWindowMetrics metrics;
    metrics.client = clientSize();
    metrics.workArea = workArea();
    metrics.chrome = frameChrome();
    metrics.maximised = frame->isMaximized();
    metrics.fullScreen = frame->isFullScreen();
    return metrics;
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

QSize CImageView::clientSize() const
{
    return viewport()->size();
}

QSize CImageView::displaySize() const
{
    const QSizeF display = m_controller.zoom().display;
    return QSize(int(display.width()), int(display.height()));
}

QPoint CImageView::origin() const
{
    return viewgeometry::pictureOrigin(clientSize(), m_controller.zoom().display, scrollPosition());
}

// ---- Drawing --------------------------------------------------------------------------------------

void CImageView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QRect repaint = event->rect();
    painter.fillRect(repaint, Qt::black);
    if (!m_controller.failure().isEmpty()) {
        // In place of the picture, where the user looks for it.
        painter.setPen(Qt::white);
        painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
                         m_controller.failure());
        return;
    }
    const QSize display = displaySize();
    const QSize picture = m_controller.pictureSize();
    if (m_controller.noImages() || picture.isEmpty() || display.isEmpty())
        return;
    if (const QImage* preview = m_controller.preview()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(origin(), display), *preview);
        return;
    }
    const viewgeometry::Zoom& zoom = m_controller.zoom();
    if (zoom.zoom >= 1.0) {
        const auto rects = viewgeometry::magnifiedRects(repaint, clientSize(), zoom, picture, scrollPosition());
        // A picture that cannot be drawn leaves the black.
        if (rects && !m_controller.picture().drawScaled(&painter, rects->dest, rects->source))
            return;
    } else if (!m_rendered.isNull()) {
        painter.drawImage(origin(), m_rendered);
    }
    if (m_controller.selection()) {
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
    if (m_controller.slides() > 1)
        scheduleAnimation();
}

// The next picture is fitted to the window as it is now.
void CImageView::resizeEvent(QResizeEvent* event)
{
    CImageScrollView::resizeEvent(event);
    m_controller.windowResized();
}

// ---- Animation ------------------------------------------------------------------------------------

void CImageView::scheduleAnimation()
{
    if (m_animationTimer.isActive() || panning() || m_bandShown)
        return;
    const CBmpEx& picture = m_controller.picture();
    if (const int delay = picture.slideDelay(picture.currentSlide()); delay >= 0)
        m_animationTimer.start(std::max(delay, kLeastSlideDelayMs));
}

void CImageView::stopAnimation()
{
    m_animationTimer.stop();
}

void CImageView::nextSlide()
{
    CBmpEx& picture = m_controller.picture();
    if (!picture.nextSlide() && !picture.firstSlide())
        return;
    if (m_controller.zoom().zoom < 1.0)
        renderOffscreen();
    viewport()->update();
}

// ---- Selection, panning, cursors ------------------------------------------------------------------

QRect CImageView::outlineRect() const
{
    const std::optional<QRectF> selection = m_controller.selection();
    return selection ? viewgeometry::selectionOutline(*selection, origin(), m_controller.zoom().zoom) : QRect();
}

bool CImageView::overSelection(QPoint pos) const
{
    return m_controller.selection() && outlineRect().contains(pos);
}

// A preview waits for its picture: what it shows is not the picture's pixels.
bool CImageView::panningAllowed() const
{
    return !m_controller.noImages() && !m_controller.preview() &&
           !(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
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
    if (event->button() != Qt::LeftButton || m_controller.noImages()) {
        CImageScrollView::mousePressEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (m_controller.selection()) {
        if (overSelection(pos)) {
            m_commands.execute(cmd::kZoomTo);
            return;
        }
        const QSize display = displaySize();
        const QSize client = clientSize();
        if ((display.width() <= client.width() && display.height() <= client.height()) || shift)
            m_controller.clearSelection();
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
        m_controller.setSelectionReady();
        updateCursor(pos);
        return;
    }
    if (!m_leftDown || !m_controller.selectionReady() || m_controller.noImages())
        return;
    if (!m_bandShown) {
        stopAnimation();
        m_controller.clearSelection();
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
    m_controller.setSelectionReady();
    if (m_bandShown) {
        m_bandShown = false;
        viewport()->update(m_band.adjusted(-1, -1, 1, 1));
        const viewgeometry::Zoom& zoom = m_controller.zoom();
        const auto picked = viewgeometry::bandToSelection(m_band, origin(), zoom.display, zoom.zoom);
        m_band = QRect();
        m_controller.endBand(picked);
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

// Files are always taken as a copy: a move would let the drag's source delete them before the
// viewer copied them.
void CImageView::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void CImageView::dragMoveEvent(QDragMoveEvent* event)
{
    if (localFiles(event->mimeData()).isEmpty())
        return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void CImageView::dropEvent(QDropEvent* event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Q_EMIT filesDropped(paths);
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
    const Qt::KeyboardModifiers others = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    for (const KeyCommand& entry : kKeyCommands) {
        if (entry.key == event->key() && others == (entry.control ? Qt::ControlModifier : Qt::NoModifier)) {
            event->setAccepted(m_commands.execute(entry.command));
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
