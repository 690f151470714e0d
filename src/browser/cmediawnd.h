#pragma once
// CMediaWnd: the preview bar's clip player. A QMediaPlayer plays the clip through the default
// audio output and, when the clip has a picture, a video widget above a control strip of our
// own (play/pause, position, "m:ss / m:ss"). open() starts playback at once; whatever goes wrong
// later (no backend, unreadable or invalid media) is reported once by failed(), after which the
// owner destroys the window. Destroying it stops playback. UI thread only.

#include <QFrame>
#include <QRect>
#include <QSize>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QSlider;
class QToolButton;
class QVideoWidget;

class CMediaWnd : public QFrame {
    Q_OBJECT
public:
    explicit CMediaWnd(QWidget* parent = nullptr);
    ~CMediaWnd() override;

    // Opens `path` and starts playing; false for an empty path or a file that does not exist.
    bool open(const QString& path);

    // True once the clip is known to have a picture of a known size.
    bool hasVideo() const { return m_hasVideo; }
    // The picture with the control strip under it, without the frame.
    QSize naturalSize() const { return m_naturalSize; }
    int stripHeight() const;
    QMediaPlayer* player() const { return m_player; }

    // Places the window in a bar of client size `barSize` (see fitRect).
    void FitToParent(QSize barSize);
    // Without a picture: x 5, centred vertically at `ownHeight`, 10 narrower than the bar. With
    // one: natural size plus the 4-pixel frame, centred, when that fits strictly; else the
    // picture part is scaled by the smaller ratio, the strip and frame added back, and centred.
    static QRect fitRect(QSize barSize, bool hasVideo, QSize natural, int strip, int ownHeight);
    // "m:ss" of a time in milliseconds.
    static QString timeText(qint64 milliseconds);

Q_SIGNALS:
    void failed();

private:
    void reportFailure();
    void takeVideoSize(QSize size);
    void updateTimes();

    QMediaPlayer* m_player;
    QAudioOutput* m_audio;
    QVideoWidget* m_video;
    QWidget* m_strip;
    QToolButton* m_playButton;
    QSlider* m_position;
    QLabel* m_time;
    bool m_sawVideo = false;
    bool m_hasVideo = false;
    bool m_failed = false;
    QSize m_naturalSize;
};
