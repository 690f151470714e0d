#include "viewer/pictureloader.h"

#include <QFileInfo>

#include "viewer/logging.h"
#include "viewer/picturelist.h"

PictureLoader::PictureLoader(QObject* parent) : QObject(parent), m_run(this, executor::Priority::Interactive)
{
    connect(&m_lookahead, &CPictureLookahead::prefetched, this, &PictureLoader::prefetched);
}

PictureLoader::~PictureLoader()
{
    m_run.stop();
}

void PictureLoader::load(const QString& path, CBmpEx& current)
{
    m_run.stop();
    m_path = path;
    m_current = &current;
    m_awaitingLookahead = false;
    // Being decoded for the look-ahead already: its end is awaited, not a second decode begun.
    if (m_lookahead.isDecoding(path)) {
        m_awaitingLookahead = true;
        Q_EMIT readingFile();
        return;
    }
    if (m_lookahead.take(path, current)) {
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
    if (m_lookahead.take(path, *m_current))
        finish({});
    else
        read(path);
}

void PictureLoader::read(const QString& path)
{
    Q_EMIT readingFile();
    m_run.start(m_run.generation() + 1, [this, path](const RunToken& token) {
        // The spare is this task's alone until it delivers: the UI thread touches it only then.
        m_spare.setCancelFlag(token.stopFlag());
        const bool read = m_spare.Load(path);
        m_spare.setCancelFlag(nullptr);
        QString failure = read ? QString() : failureText(path, m_spare);
        token.deliver([this, failure = std::move(failure)] {
            // The spare keeps the picture shown before: the next load of the same size decodes
            // into its pixels instead of asking the system for fresh ones.
            if (failure.isEmpty())
                m_current->swapPicture(m_spare);
            else
                qCDebug(lcViewer) << failure;
            finish(failure);
        });
    });
}

void PictureLoader::finish(const QString& failure)
{
    m_current = nullptr;
    Q_EMIT loaded(m_path, failure);
}

void PictureLoader::clear()
{
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

void PictureLoader::prefetchFrom(const PictureList& list, int direction)
{
    const int count = list.rowCount();
    const int start = list.firstSelectedRow();
    if (start < 0 || count < 2)
        return;
    for (int step = 1; step < count; ++step) {
        const int row = ((start + direction * step) % count + count) % count;
        if (list.isKnownPicture(row)) {
            m_lookahead.prefetch(list.folder() + list.rowName(row));
            return;
        }
    }
}
