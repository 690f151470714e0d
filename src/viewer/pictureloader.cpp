#include "viewer/pictureloader.h"

#include <QFileInfo>

#include "viewer/logging.h"
#include "viewer/picturelist.h"

namespace {

// The smallest picture a JPEG gives cheaply is asked for: its EXIF thumbnail, which is read
// from the file's head alone, else a 1/8-scale decode. Either is sharp enough for the moments
// it shows.
constexpr QSize kPreviewHint(1, 1);
// Below this a JPEG decodes whole in about the time its 1/8-scale decode takes, since most of the
// time goes to reading its entropy-coded data, which both do.
constexpr qint64 kPreviewLeastPixels = 2'000'000;

} // namespace

PictureLoader::PictureLoader(QObject* parent)
    : QObject(parent), m_run(this, executor::Priority::Interactive), m_previewRun(this, executor::Priority::Interactive)
{
    connect(&m_lookahead, &CPictureLookahead::prefetched, this, &PictureLoader::prefetched);
}

PictureLoader::~PictureLoader()
{
    m_previewRun.stop();
    m_run.stop();
}

void PictureLoader::load(const QString& path, CBmpEx& current, const LayoutRequest& request)
{
    m_previewRun.stop();
    m_run.stop();
    m_path = path;
    m_current = &current;
    m_request = request;
    m_layout.reset();
    m_awaitingLookahead = false;
    // Being decoded for the look-ahead already: its end is awaited, not a second decode begun.
    if (m_lookahead.isDecoding(path)) {
        m_awaitingLookahead = true;
        Q_EMIT readingFile();
        return;
    }
    if (m_lookahead.take(path, current, &m_layout)) {
        finish({});
        return;
    }
    // A decode of another picture would only slow this one down.
    m_lookahead.clear();
    read(path);
}

void PictureLoader::prefetched(const QString& path)
{
    if (!m_awaitingLookahead || path != m_path)
        return;
    m_awaitingLookahead = false;
    // Not held: not a picture, too large for the look-ahead, or changed on disk; reading it here
    // says which.
    if (m_lookahead.take(path, *m_current, &m_layout))
        finish({});
    else
        read(path);
}

void PictureLoader::read(const QString& path)
{
    Q_EMIT readingFile();
    readPreview(path);
    m_run.start(m_run.generation() + 1, [this, path, request = m_request](const RunToken& token) {
        // The spare is this task's alone until it delivers: the UI thread touches it only then.
        m_spare.setCancelFlag(token.stopFlag());
        const bool read = m_spare.Load(path);
        m_spare.setCancelFlag(nullptr);
        QString failure = read ? QString() : failureText(path, m_spare);
        std::optional<PreparedLayout> layout;
        if (read && !token.stopRequested())
            layout = prepareLayout(m_spare, request);
        token.deliver([this, failure = std::move(failure), layout = std::move(layout)]() mutable {
            // The spare keeps the picture shown before: the next load of the same size decodes
            // into its pixels instead of asking the system for fresh ones.
            if (failure.isEmpty())
                m_current->swapPicture(m_spare);
            else
                qCDebug(lcViewer) << failure;
            m_layout = std::move(layout);
            finish(failure);
        });
    });
}

// Only JPEG has a preview much cheaper than the picture; for other files it would be a second
// full decode beside the read.
void PictureLoader::readPreview(const QString& path)
{
    m_previewRun.start(m_previewRun.generation() + 1, [this, path](const RunToken& token) {
        CBmpEx preview;
        const std::optional<CBmpEx::FileInfo> info = preview.fileInfo(path);
        if (!info || info->format != kFlmJpeg ||
            qint64(info->size.width()) * info->size.height() < kPreviewLeastPixels)
            return;
        preview.setLoadSizeHint(kPreviewHint);
        preview.setCancelFlag(token.stopFlag());
        const bool read = preview.Load(path);
        preview.setCancelFlag(nullptr);
        if (!read)
            return;
        token.deliver([this, path, image = preview.slideImage(), size = info->size] {
            if (m_current && path == m_path)
                Q_EMIT previewReady(path, image, size);
        });
    });
}

void PictureLoader::finish(const QString& failure)
{
    // A preview still to come would stand for the picture now shown.
    m_previewRun.stop();
    m_current = nullptr;
    Q_EMIT loaded(m_path, failure);
}

void PictureLoader::clear()
{
    m_previewRun.stop();
    m_run.stop();
    m_current = nullptr;
    m_awaitingLookahead = false;
    m_lookahead.clear();
}

QString PictureLoader::failureText(const QString& path, const CBmpEx& picture)
{
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("Cannot read %1: file does not exist").arg(file.fileName());
    const QString text = picture.failureText();
    return text.isEmpty() ? QStringLiteral("Cannot read %1").arg(file.fileName()) : text;
}

void PictureLoader::prefetchFrom(const PictureList& list, int direction, const LayoutRequest& request)
{
    const int count = list.rowCount();
    const int start = list.firstSelectedRow();
    if (start < 0 || count < 2)
        return;
    for (int step = 1; step < count; ++step) {
        const int row = ((start + direction * step) % count + count) % count;
        if (list.isKnownPicture(row)) {
            m_lookahead.prefetch(list.folder() + list.rowName(row), request);
            return;
        }
    }
}
