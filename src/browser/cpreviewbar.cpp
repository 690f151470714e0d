#include "browser/cpreviewbar.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>

#include "browser/cmediawnd.h"
#include "browser/cpreviewarea.h"
#include "browser/logging.h"
#include "core/apphost.h"
#include "core/messages.h"
#include "imagelib/cbmpex.h"
#include "settings/cappsettings.h"
#include "settings/settingskeys.h"

namespace {


constexpr QSize kDefaultSize{200, 100};
// A resize with no button down (the window manager resizing a floating bar) is over when no
// other one follows within this time.
constexpr int kQuietResizeMs = 200;

} // namespace

CPreviewBar::CPreviewBar(QMainWindow* frame, AppHost& host, const CAppSettings& options)
    : CSizingControlBar(tr("Preview"), frame, kDefaultSize, settingskeys::kPreviewBarId), m_host(host), m_options(options),
      m_client(new QWidget(this)), m_failure(new QLabel(m_client)), m_area(new CPreviewArea(host, m_client))
{
    setWidget(m_client);
    m_area->hide();
    m_failure->setAlignment(Qt::AlignCenter);
    m_failure->setWordWrap(true);
    m_failure->setMargin(8);
    m_failure->hide();
    m_client->installEventFilter(this);
    m_quietTimer.setSingleShot(true);
    m_quietTimer.setInterval(kQuietResizeMs);
    connect(&m_quietTimer, &QTimer::timeout, this, &CPreviewBar::repaintArea);
}

CPreviewBar::~CPreviewBar()
{
    watchRelease(false);
    closeMedia();
}

CMediaWnd* CPreviewBar::mediaWnd() const
{
    return m_media;
}

void CPreviewBar::PreviewFile(const QString& path, int kind)
{
    if (kind == kPicture) {
        if (!m_area->ready())
            return;
        m_area->setReady(false);
        if (!m_host.currentImage().Load(path)) {
            ClearPreview();
            m_failure->setText(m_host.currentImage().failureText());
            m_failure->setGeometry(m_client->rect());
            m_failure->show();
            return;
        }
        closeMedia();
        m_failure->hide();
        m_showingImage = true;
        m_area->show();
        m_area->Refresh(true);
        // A bar that is not on screen paints nothing; it must not hold back the next picture.
        if (!m_area->isVisible())
            m_area->setReady(true);
        return;
    }
    if (kind != kClip)
        return;
    m_videoEnabled = m_options.ShowVideo != 0;
    if (!m_videoEnabled)
        return;
    ClearPreview();
    auto* media = new CMediaWnd(m_client);
    m_media = media;
    connect(media, &CMediaWnd::failed, this, &CPreviewBar::mediaFailed);
    if (media->open(path))
        media->FitToParent(m_client->size());
    else if (m_media) // not yet reported by failed()
        mediaFailed();
}

QString CPreviewBar::failureText() const
{
    return m_failure->isHidden() ? QString() : m_failure->text();
}

void CPreviewBar::ClearPreview()
{
    m_failure->hide();
    m_area->release();
    m_area->hide();
    // Nothing is left to paint, so the next picture is not held back.
    m_area->setReady(true);
    closeMedia();
    m_showingImage = false;
}

bool CPreviewBar::event(QEvent* event)
{
    if (appmsg::as(event, appmsg::kSetBackgroundTexture)) {
        m_texture.Reload(m_client);
        return true;
    }
    return CSizingControlBar::event(event);
}

bool CPreviewBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_client && event->type() == QEvent::Resize) {
        clientResized();
    } else if (watched == m_client && event->type() == QEvent::Paint) {
        // Without a texture the client keeps the bar's own background.
        QPainter painter(m_client);
        m_texture.setWindow(m_client);
        m_texture.Fill(&painter, m_client->rect());
    } else if (m_watchingRelease && event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        watchRelease(false);
        repaintArea();
    }
    return CSizingControlBar::eventFilter(watched, event);
}

void CPreviewBar::clientResized()
{
    m_failure->setGeometry(m_client->rect());
    if (m_showingImage) {
        m_area->markStale();
        // The frame's dock separators and the window manager's frame are not ours: watch for
        // the release anywhere, or for the end of a resize made without our mouse.
        if (QApplication::mouseButtons() & Qt::LeftButton)
            watchRelease(true);
        else
            m_quietTimer.start();
    } else if (m_media && m_videoEnabled) {
        m_media->FitToParent(m_client->size());
    }
}

void CPreviewBar::closeMedia()
{
    if (!m_media)
        return;
    // A failed clip reports from inside the player's signals: delete it once they return.
    m_media->hide();
    m_media->deleteLater();
    m_media = nullptr;
}

void CPreviewBar::mediaFailed()
{
    qCDebug(lcBrowser) << "MCICreate error!";
    closeMedia();
}

void CPreviewBar::repaintArea()
{
    m_quietTimer.stop();
    appmsg::post(m_area, appmsg::kRepaintArea);
}

void CPreviewBar::watchRelease(bool watch)
{
    if (watch == m_watchingRelease)
        return;
    m_watchingRelease = watch;
    if (watch)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}
