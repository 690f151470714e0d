#include "viewer/cpicturelookahead.h"

#include <algorithm>

#include <QDateTime>
#include <QFileInfo>
#include <QMetaObject>

#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace {

// Every slide is held as 32-bit pixels, whatever the file's depth.
constexpr qint64 kBytesPerPixel = 4;

// The bytes of one slide's pixels; -1 for a size no decoder would make, as a hostile header
// may claim.
qint64 slideBytes(qint64 width, qint64 height)
{
    if (width <= 0 || height <= 0 || width > imagelib::kMaxSide || height > imagelib::kMaxSide)
        return -1;
    return width * height * kBytesPerPixel;
}

} // namespace

CPictureLookahead::CPictureLookahead(QObject* parent) : QObject(parent)
{
    m_decoder.setCancelFlag(&m_cancel);
    m_thread = std::thread(&CPictureLookahead::run, this);
}

CPictureLookahead::~CPictureLookahead()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_cancel = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void CPictureLookahead::prefetch(const QString& path)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_pending) {
            if (m_pending->path == path)
                return;
        } else if (m_running && m_running->generation == m_generation) {
            if (m_running->path == path)
                return;
        } else if (!m_running && m_held == Held::Picture && m_heldPath == path) {
            // take() checks the file anyway; decoding it again now would only cost time.
            return;
        }
        ++m_generation;
        m_pending = Job{path, m_generation};
        if (m_running)
            m_cancel = true;
    }
    m_wake.notify_one();
}

bool CPictureLookahead::take(const QString& path, CBmpEx& current)
{
    std::unique_lock lock(m_mutex);
    // The worker never waits for this thread, so the decode under way ends by itself, done or
    // failed, and this wait with it; a decode that is no longer current is not waited for.
    m_finished.wait(lock, [&] {
        const bool queued = m_pending && m_pending->path == path;
        const bool decoding = m_running && m_running->path == path && m_running->generation == m_generation;
        return !queued && !decoding;
    });
    if (m_held != Held::Picture || m_heldPath != path)
        return false;
    if (stampOf(path) != std::optional(m_heldStamp)) {
        discardHeldLocked();
        return false;
    }
    current.swapPicture(m_decoder);
    // The picture that was current is now the worker's to free, off this thread.
    discardHeldLocked();
    return true;
}

void CPictureLookahead::clear()
{
    std::lock_guard lock(m_mutex);
    ++m_generation;
    m_pending.reset();
    if (m_running)
        m_cancel = true;
    if (m_held == Held::Picture)
        discardHeldLocked();
}

void CPictureLookahead::setBudgetBytes(qint64 bytes)
{
    m_budgetBytes = std::max<qint64>(bytes, 0);
}

void CPictureLookahead::discardHeldLocked()
{
    m_held = Held::Discarded;
    m_wake.notify_one();
}

std::optional<CPictureLookahead::FileStamp> CPictureLookahead::stampOf(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return std::nullopt;
    return FileStamp{info.size(), info.lastModified().toMSecsSinceEpoch()};
}

bool CPictureLookahead::withinBudget(qint64 bytes) const
{
    return bytes >= 0 && bytes <= m_budgetBytes.load();
}

void CPictureLookahead::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || m_pending || m_held == Held::Discarded; });
        if (m_quit)
            return;
        if (!m_pending) {
            m_held = Held::Nothing;
            lock.unlock();
            m_decoder.Clear();
            lock.lock();
            continue;
        }
        const Job job = std::move(*m_pending);
        m_pending.reset();
        const bool holdsSamePath = m_held == Held::Picture && m_heldPath == job.path;
        const FileStamp heldStamp = m_heldStamp;
        m_held = Held::Nothing;
        m_running = job;
        m_cancel = false;
        lock.unlock();

        const std::optional<FileStamp> stamp = decode(job, holdsSamePath, heldStamp);

        lock.lock();
        m_running.reset();
        const bool current = job.generation == m_generation;
        if (stamp && current) {
            m_held = Held::Picture;
            m_heldPath = job.path;
            m_heldStamp = *stamp;
        } else if (stamp) {
            m_held = Held::Discarded;
        }
        m_finished.notify_all();
        if (current) {
            QMetaObject::invokeMethod(
                this,
                [this, path = job.path, held = stamp.has_value(), generation = job.generation] {
                    {
                        std::lock_guard guard(m_mutex);
                        if (generation != m_generation)
                            return;
                    }
                    Q_EMIT prefetched(path, held);
                },
                Qt::QueuedConnection);
        }
    }
}

std::optional<CPictureLookahead::FileStamp> CPictureLookahead::decode(const Job& job, bool holdsSamePath,
                                                                      const FileStamp& heldStamp)
{
    // Taken before reading: a file rewritten while it is decoded no longer matches at take().
    const std::optional<FileStamp> stamp = stampOf(job.path);
    if (stamp && holdsSamePath && *stamp == heldStamp)
        return stamp;
    m_decoder.Clear();
    if (!stamp)
        return std::nullopt;
    // The header tells the size without decoding; formats whose header says nothing are
    // measured once decoded.
    FlmFileInfo info;
    if (flmGetFileInfo(m_decoder.handle(), job.path, &info) == 0 && !withinBudget(slideBytes(info.width, info.height)))
        return std::nullopt;
    // Handles change owners in take(): one that served a thumbnail may carry a size hint.
    flmSetLoadSizeHint(m_decoder.handle(), 0, 0);
    if (!m_decoder.Load(job.path)) {
        m_decoder.Clear();
        return std::nullopt;
    }
    int slides = 0;
    flmGetSlidesNumber(m_decoder.handle(), &slides);
    qint64 bytes = 0;
    for (int slide = 0; slide < slides && bytes >= 0; ++slide) {
        int size[2] = {0, 0};
        const qint64 slideSize = flmGetSize(m_decoder.handle(), slide, size) == 0 ? slideBytes(size[0], size[1]) : -1;
        bytes = slideSize < 0 ? -1 : bytes + slideSize;
    }
    if (!withinBudget(bytes)) {
        m_decoder.Clear();
        return std::nullopt;
    }
    return stamp;
}
