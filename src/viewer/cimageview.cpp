#include "viewer/cimageview.h"

#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "app/core/messages.h"
#include "imagelib/cbmpex.h"
#include "viewer/viewerhost.h"

CImageView::CImageView(ViewerHost& host, CCommandTarget* frameTarget, QWidget* parent)
    : QWidget(parent), m_host(host), m_commands(frameTarget)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    m_commands.on(cmd::kBrowser, [this] { OnBrowser(); });
}

bool CImageView::event(QEvent* event)
{
    if (appmsg::as(event, appmsg::kLoadViewerBeforeBrowser)) {
        showPendingPath();
        return true;
    }
    if (appmsg::as(event, appmsg::kLoadPictureToMemory)) {
        showBrowserPicture();
        return true;
    }
    if (const appmsg::Message* command = appmsg::as(event, appmsg::kCommand)) {
        m_commands.execute(command->kind);
        return true;
    }
    return QWidget::event(event);
}

void CImageView::showPendingPath()
{
    const QString pending = m_host.pendingImagePath();
    if (pending.isEmpty()) {
        enterNoImages();
        return;
    }
    takeLocation(pending);
    m_host.setPendingImagePath({});
    showCurrentImage();
}

// The browser loaded the picture into the current image before it asked for the switch.
void CImageView::showBrowserPicture()
{
    const CBmpEx& picture = m_host.currentImage();
    if (!picture.loaded() || picture.path().isEmpty()) {
        enterNoImages();
        return;
    }
    takeLocation(picture.path());
    m_host.setOpenedFromFile(false);
    showCurrentImage();
}

void CImageView::takeLocation(const QString& path)
{
    const QFileInfo file(path);
    m_folder = file.absolutePath();
    if (!m_folder.endsWith(QLatin1Char('/')))
        m_folder += QLatin1Char('/');
    m_fileName = file.fileName();
    m_noImages = false;
}

void CImageView::showCurrentImage()
{
    if (m_noImages) {
        enterNoImages();
        return;
    }
    QWidget* frame = window();
    if (frame->isHidden()) {
        // Where no window manager maximises, the screen's work area is the same thing.
        if (const QScreen* screen = frame->screen())
            frame->setGeometry(screen->availableGeometry());
        frame->showMaximized();
    }
    layoutPicture();
    Q_EMIT stateChanged();
}

void CImageView::enterNoImages()
{
    m_host.setOpenedFromFile(true);
    m_fileName.clear();
    m_noImages = true;
    m_rendered = QImage();
    QWidget* frame = window();
    if (frame->isHidden())
        frame->show();
    update();
    Q_EMIT stateChanged();
}

void CImageView::layoutPicture()
{
    m_rendered = QImage();
    const QSize picture = m_host.currentImage().GetSize();
    if (m_noImages || picture.width() <= 0 || picture.height() <= 0 || width() <= 0 || height() <= 0) {
        update();
        return;
    }
    const QSize fitted = picture.width() <= width() && picture.height() <= height()
        ? picture
        : picture.scaled(size(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    m_rendered = QImage(fitted, QImage::Format_ARGB32_Premultiplied);
    m_rendered.fill(Qt::black);
    QPainter painter(&m_rendered);
    const FlmRect dest{0, 0, fitted.width(), fitted.height()};
    flmStretchPlay(m_host.currentImage().handle(), &painter, &dest, nullptr);
    update();
}

void CImageView::OnBrowser()
{
    if (m_host.openedFromFile()) {
        m_host.setPendingImagePath(m_fileName.isEmpty() ? QString() : m_folder + m_fileName);
        m_host.setOpenedFromFile(false);
    }
    m_host.requestSwitch(appmsg::kSwitchShow);
}

void CImageView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!m_rendered.isNull()) {
        const QPoint origin((width() - m_rendered.width()) / 2, (height() - m_rendered.height()) / 2);
        painter.drawImage(origin, m_rendered);
    }
}

void CImageView::resizeEvent(QResizeEvent*)
{
    if (!m_noImages)
        layoutPicture();
}

void CImageView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        OnBrowser();
}
