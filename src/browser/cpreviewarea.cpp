#include "browser/cpreviewarea.h"

#include <algorithm>
#include <array>

#include <QActionGroup>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QTimerEvent>

#include "core/apphost.h"
#include "core/messages.h"
#include "imagelib/cbmpex.h"
#include "imagelib/flm.h"

namespace {

// The frame the area draws around the picture: two pixels on each side.
constexpr int kFrameWidth = 2;
constexpr int kFrameExtent = 2 * kFrameWidth;
// A frame whose display time is unknown or zero is shown this long.
constexpr int kDefaultFrameDelay = 100;

constexpr std::array<int, CPreviewArea::kZoomModeCount> kDivisors{1, 1, 2, 4, 8};
constexpr std::array<const char*, CPreviewArea::kZoomModeCount> kModeTexts{
    QT_TRANSLATE_NOOP("CPreviewArea", "Auto Size"), QT_TRANSLATE_NOOP("CPreviewArea", "Full Size"),
    QT_TRANSLATE_NOOP("CPreviewArea", "1/2 Size"), QT_TRANSLATE_NOOP("CPreviewArea", "1/4 Size"),
    QT_TRANSLATE_NOOP("CPreviewArea", "1/8 Size")};

} // namespace

CPreviewArea::CPreviewArea(AppHost& host, QWidget* parent)
    : CImageScrollView(parent), m_host(host), m_menu(new QMenu(tr("Preview"), this))
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kFrameWidth);
    // The render covers the view; what it leaves free is filled in paintEvent.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    auto* group = new QActionGroup(m_menu);
    for (int mode = 0; mode < kZoomModeCount; ++mode) {
        QAction* action = m_menu->addAction(tr(kModeTexts[size_t(mode)]));
        action->setCheckable(true);
        action->setChecked(mode == m_zoomMode);
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, mode] { setZoomMode(mode); });
    }
}

CPreviewArea::~CPreviewArea() = default;

QRect CPreviewArea::placeRect(QSize target, QSize client)
{
    const int a = target.width() + kFrameExtent;
    const int b = target.height() + kFrameExtent;
    const int width = client.width();
    const int height = client.height();
    QSize size(a, b);
    if (a >= width || b >= height)
        size = fitInside(size, client);
    return {QPoint((width - size.width()) / 2, (height - size.height()) / 2), size};
}

QSize CPreviewArea::targetSizeFor(QSize picture, int zoomMode)
{
    const int divisor = kDivisors[size_t(std::clamp(zoomMode, 0, kZoomModeCount - 1))];
    return {std::max(0, picture.width()) / divisor, std::max(0, picture.height()) / divisor};
}

void CPreviewArea::Refresh(bool scrollHome)
{
    stopFrameTimer();
    CBmpEx& image = m_host.currentImage();
    // The images of an icon are its sizes, not the frames of an animation.
    if (image.slideCount() > 1 && image.sourceFormat() != kFlmIcon && image.firstSlide())
        m_animated = true;
    m_targetSize = targetSizeFor(image.GetSize(), m_zoomMode);

    setUpdatesEnabled(false);
    // Auto Size always fits its render to the view: scroll bars would only take room from it.
    const Qt::ScrollBarPolicy policy = m_zoomMode == kAutoSize ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    setHorizontalScrollBarPolicy(policy);
    setVerticalScrollBarPolicy(policy);
    place();
    render();
    setContentSize(m_render.size());
    if (scrollHome)
        setScrollPosition({0, 0});
    setUpdatesEnabled(true);
    m_stale = false;
    viewport()->update();
}

void CPreviewArea::place()
{
    QWidget* bar = parentWidget();
    if (!bar)
        return;
    setGeometry(placeRect(m_targetSize, bar->size()));
    bar->update();
}

void CPreviewArea::markStale()
{
    m_stale = true;
    place();
}

void CPreviewArea::release()
{
    stopFrameTimer();
    m_render = QImage();
    setContentSize({0, 0});
}

void CPreviewArea::setZoomMode(int mode)
{
    if (mode < 0 || mode >= kZoomModeCount || mode == m_zoomMode)
        return;
    m_zoomMode = mode;
    m_menu->actions().at(mode)->setChecked(true);
    // A hidden area shows no image; the next one shown is refreshed in the new mode.
    if (!isHidden())
        Refresh(true);
    updatePanCursor();
}

bool CPreviewArea::panningAllowed() const
{
    return m_zoomMode != kAutoSize;
}

bool CPreviewArea::event(QEvent* event)
{
    if (appmsg::as(event, appmsg::kRepaintArea)) {
        // The bar shows the area exactly while it shows an image.
        if (!isHidden())
            Refresh(false);
        return true;
    }
    return CImageScrollView::event(event);
}

void CPreviewArea::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QRect view = viewport()->rect();
    QRect covered;
    if (m_zoomMode == kAutoSize && m_stale) {
        // The old render stands in while the bar is being resized; frames wait meanwhile.
        m_frameTimer.stop();
        painter.drawImage(view, m_render);
        covered = m_render.isNull() ? QRect() : view;
    } else {
        covered = QRect(-scrollPosition(), m_render.size());
        painter.drawImage(covered.topLeft(), m_render);
    }
    for (const QRect& rest : QRegion(view) - covered)
        painter.fillRect(rest, palette().window());
    if (m_animated)
        startFrameTimer();
    m_ready = true;
}

void CPreviewArea::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_frameTimer.timerId()) {
        CImageScrollView::timerEvent(event);
        return;
    }
    CBmpEx& image = m_host.currentImage();
    if (!image.nextSlide() && !image.firstSlide())
        return;
    drawFrame();
    // The next paint sets the timer again with the new frame's delay.
    m_frameTimer.stop();
    viewport()->update();
}

void CPreviewArea::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        m_menu->popup(event->globalPosition().toPoint());
        return;
    }
    CImageScrollView::mouseReleaseEvent(event);
}

void CPreviewArea::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        CImageScrollView::mouseDoubleClickEvent(event);
        return;
    }
    // The viewer takes over the image as it is loaded; the preview lets go of its copy.
    release();
    m_host.requestSwitch(appmsg::kSwitchShow);
}

void CPreviewArea::render()
{
    m_render = QImage();
    QSize size = m_targetSize;
    const QSize client = contentsRect().size();
    if (m_zoomMode == kAutoSize && (size.width() > client.width() || size.height() > client.height()))
        size = client;
    if (size.isEmpty())
        return;
    m_render = QImage(size, QImage::Format_RGB32);
    // A refused allocation leaves a null image: the area then shows its background.
    if (!m_render.isNull())
        drawFrame();
}

void CPreviewArea::drawFrame()
{
    if (m_render.isNull())
        return;
    m_render.fill(palette().color(QPalette::Window));
    QPainter painter(&m_render);
    // A picture that cannot be drawn leaves the background.
    if (!m_host.currentImage().drawScaled(&painter, m_render.rect()))
        return;
}

void CPreviewArea::startFrameTimer()
{
    if (m_frameTimer.isActive())
        return;
    const CBmpEx& image = m_host.currentImage();
    int delay = image.slideDelay(image.currentSlide());
    if (delay <= 0)
        delay = kDefaultFrameDelay;
    m_frameDelay = delay;
    m_frameTimer.start(delay, this);
}

void CPreviewArea::stopFrameTimer()
{
    m_frameTimer.stop();
    m_animated = false;
}
