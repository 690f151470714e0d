#include "browser/cmediawnd.h"

#include <algorithm>
#include <climits>

#include <QAudioOutput>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaMetaData>
#include <QMediaPlayer>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QVideoSink>
#include <QVideoWidget>

#include "ui/cimagescrollview.h"

namespace {

// The sunken frame of a window showing a picture: two pixels on each side.
constexpr int kFrameWidth = 2;
constexpr int kFrameExtent = 2 * kFrameWidth;
// A window without a picture keeps this distance from the bar's left and right sides.
constexpr int kSideMargin = 5;

} // namespace

CMediaWnd::CMediaWnd(QWidget* parent)
    : QFrame(parent), m_player(new QMediaPlayer(this)), m_audio(new QAudioOutput(this)),
      m_video(new QVideoWidget(this)), m_strip(new QWidget(this)), m_playButton(new QToolButton(m_strip)),
      m_position(new QSlider(Qt::Horizontal, m_strip)), m_time(new QLabel(m_strip))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_video, 1);
    layout->addWidget(m_strip);
    auto* stripLayout = new QHBoxLayout(m_strip);
    stripLayout->setContentsMargins(2, 2, 4, 2);
    stripLayout->setSpacing(4);
    stripLayout->addWidget(m_playButton);
    stripLayout->addWidget(m_position, 1);
    stripLayout->addWidget(m_time);
    m_video->hide();
    m_playButton->setAutoRaise(true);
    m_playButton->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    m_position->setRange(0, 0);
    updateTimes();

    m_player->setAudioOutput(m_audio);
    m_player->setVideoOutput(m_video);
    connect(m_playButton, &QToolButton::clicked, this, [this] {
        if (m_player->playbackState() == QMediaPlayer::PlayingState)
            m_player->pause();
        else
            m_player->play();
    });
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, [this](QMediaPlayer::PlaybackState state) {
        m_playButton->setIcon(
            style()->standardIcon(state == QMediaPlayer::PlayingState ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    });
    connect(m_position, &QSlider::sliderMoved, m_player, &QMediaPlayer::setPosition);
    connect(m_player, &QMediaPlayer::durationChanged, this, [this](qint64 duration) {
        m_position->setRange(0, int(std::min<qint64>(duration, INT_MAX)));
        updateTimes();
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        // A slider the user holds follows the mouse, not the clip.
        if (!m_position->isSliderDown())
            m_position->setValue(int(std::min<qint64>(position, INT_MAX)));
        updateTimes();
    });
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error) {
        if (error != QMediaPlayer::NoError)
            reportFailure();
    });
    // Backends tell the picture's size in different ways: by the media's metadata once it is
    // loaded, or by the first frame that reaches the video sink.
    connect(m_player, &QMediaPlayer::hasVideoChanged, this, [this](bool video) {
        m_sawVideo = video;
        takeVideoSize(m_player->metaData().value(QMediaMetaData::Resolution).toSize());
    });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus status) {
        if (status == QMediaPlayer::InvalidMedia)
            reportFailure();
        else if (status == QMediaPlayer::LoadedMedia || status == QMediaPlayer::BufferedMedia)
            takeVideoSize(m_player->metaData().value(QMediaMetaData::Resolution).toSize());
    });
    // Queued: the GStreamer backend signals while it holds the sink's lock, which videoSize()
    // takes again; asking at once would hang the program.
    connect(
        m_video->videoSink(), &QVideoSink::videoSizeChanged, this,
        [this] { takeVideoSize(m_video->videoSink()->videoSize()); }, Qt::QueuedConnection);
    resize(width(), m_strip->sizeHint().height());
}

CMediaWnd::~CMediaWnd()
{
    m_player->stop();
}

bool CMediaWnd::open(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    m_player->setSource(QUrl::fromLocalFile(path));
    if (m_failed)
        return false;
    show();
    m_player->play();
    return true;
}

int CMediaWnd::stripHeight() const
{
    return m_strip->sizeHint().height();
}

void CMediaWnd::FitToParent(QSize barSize)
{
    setGeometry(fitRect(barSize, m_hasVideo, m_naturalSize, stripHeight(), height()));
}

QRect CMediaWnd::fitRect(QSize barSize, bool hasVideo, QSize natural, int strip, int ownHeight)
{
    const int width = barSize.width();
    const int height = barSize.height();
    if (!hasVideo)
        return {kSideMargin, (height - ownHeight) / 2, width - 2 * kSideMargin, ownHeight};
    QSize size = natural + QSize(kFrameExtent, kFrameExtent);
    const int pictureWidth = natural.width() - kFrameExtent;
    const int pictureHeight = natural.height() - strip - kFrameExtent;
    if ((size.width() >= width || size.height() >= height) && pictureWidth > 0 && pictureHeight > 0) {
        const QSize room(width - kFrameExtent, height - strip - kFrameExtent);
        size = CImageScrollView::fitInside({pictureWidth, pictureHeight}, room.expandedTo({0, 0})) +
               QSize(kFrameExtent, strip + kFrameExtent);
    }
    return {QPoint((width - size.width()) / 2, (height - size.height()) / 2), size};
}

QString CMediaWnd::timeText(qint64 milliseconds)
{
    const qint64 seconds = std::max<qint64>(0, milliseconds) / 1000;
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void CMediaWnd::reportFailure()
{
    if (m_failed)
        return;
    m_failed = true;
    m_player->stop();
    Q_EMIT failed();
}

void CMediaWnd::takeVideoSize(QSize size)
{
    if (m_hasVideo || !m_sawVideo || size.isEmpty())
        return;
    m_hasVideo = true;
    m_video->show();
    m_naturalSize = QSize(size.width(), size.height() + stripHeight());
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kFrameWidth);
    if (parentWidget())
        FitToParent(parentWidget()->size());
}

void CMediaWnd::updateTimes()
{
    m_time->setText(timeText(m_player->position()) + QStringLiteral(" / ") + timeText(m_player->duration()));
}
