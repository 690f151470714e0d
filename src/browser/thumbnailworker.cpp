#include "browser/thumbnailworker.h"

#include <algorithm>
#include <unordered_map>

#include <QPainter>
#include <QThread>

#include "browser/thumbnailstore.h"
#include "imagelib/cbmpex.h"
#include "imagelib/flm.h"

namespace {

// Opaque pictures are kept at 3 bytes a pixel; the few with transparency stay premultiplied so
// that drawing them over the button face blends as DrawThumbnail's own drawing does.
QImage compact(const QImage& picture)
{
    for (int y = 0; y < picture.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        if (!std::all_of(line, line + picture.width(), [](QRgb pixel) { return qAlpha(pixel) == 255; }))
            return picture;
    }
    return picture.convertToFormat(QImage::Format_RGB888);
}

} // namespace

// One pass over a folder's rows. The schedule (taken, priority, next) is guarded by the
// worker's mutex; everything else is fixed before the pool starts.
struct CThumbnailWorker::Pass {
    QString prefix; // the folder with one trailing '/'
    std::vector<ThumbnailJob> jobs;
    std::unordered_map<quint64, std::size_t> rowOfId;
    quint64 generation = 0;
    quint64 serial = 0;
    std::vector<bool> taken;
    std::vector<std::size_t> priority; // rows on screen not taken yet, in row order
    std::size_t next = 0;              // no row before it is left untaken
    std::atomic<int> running{0};

    // The row to serve next, or jobs.size() when every row is taken. Caller holds the mutex.
    std::size_t take()
    {
        std::size_t row = jobs.size();
        if (!priority.empty()) {
            row = priority.front();
            priority.erase(priority.begin());
        } else {
            while (next < jobs.size() && taken[next])
                ++next;
            row = next;
        }
        if (row < jobs.size())
            taken[row] = true;
        return row;
    }
};

CThumbnailWorker::CThumbnailWorker(QObject* parent) : QObject(parent) {}

CThumbnailWorker::~CThumbnailWorker()
{
    stop();
}

void CThumbnailWorker::setThreadCount(int count)
{
    m_threadCount = std::clamp(count, 1, std::max(1, QThread::idealThreadCount()));
}

void CThumbnailWorker::start(const QString& folder, std::vector<ThumbnailJob> jobs, quint64 generation)
{
    stop();
    auto pass = std::make_unique<Pass>();
    pass->prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    pass->rowOfId.reserve(jobs.size());
    for (std::size_t row = 0; row < jobs.size(); ++row)
        pass->rowOfId.emplace(jobs[row].id, row);
    pass->taken.assign(jobs.size(), false);
    pass->jobs = std::move(jobs);
    pass->generation = generation;
    pass->serial = ++m_serial;
    // Unlike the run's own schedule, m_pass itself changes only here and in stop(), both on the
    // owner's thread, while setPriority may read it from another: hence the lock.
    {
        const std::lock_guard lock(m_mutex);
        m_pass = std::move(pass);
    }
    m_activeSerial = m_serial;
    if (m_pass->jobs.empty()) {
        QMetaObject::invokeMethod(
            this, [this, serial = m_serial] { deliverFinished(serial); }, Qt::QueuedConnection);
        return;
    }
    const int poolSize = m_threadCount > 0 ? m_threadCount : std::max(1, QThread::idealThreadCount());
    const int threads = int(std::min<std::size_t>(std::size_t(poolSize), m_pass->jobs.size()));
    m_pass->running = threads;
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back(&CThumbnailWorker::work, this, m_pass.get());
}

void CThumbnailWorker::stop()
{
    m_activeSerial = 0;
    if (m_threads.empty())
        return;
    m_stop = true;
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    m_stop = false;
}

void CThumbnailWorker::setPriority(const std::vector<quint64>& ids)
{
    const std::lock_guard lock(m_mutex);
    if (!m_pass)
        return;
    std::vector<std::size_t>& priority = m_pass->priority;
    priority.clear();
    for (const quint64 id : ids) {
        const auto found = m_pass->rowOfId.find(id);
        if (found != m_pass->rowOfId.end() && !m_pass->taken[found->second])
            priority.push_back(found->second);
    }
    std::sort(priority.begin(), priority.end());
    priority.erase(std::unique(priority.begin(), priority.end()), priority.end());
}

QImage CThumbnailWorker::makeThumbnail(CBmpEx& picture, const QString& path)
{
    flmSetLoadSizeHint(picture.handle(), CThumbnailStore::kPictureArea, CThumbnailStore::kPictureArea);
    if (!picture.Load(path))
        return {};
    const QRect place =
        CBmpEx::thumbnailPlace(picture.GetSize(), QSize(CThumbnailStore::kCellSize, CThumbnailStore::kCellSize));
    // A sliver too thin to survive the shrinking keeps one pixel, so that the cell holds a picture.
    QImage shrunk(place.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    shrunk.fill(Qt::transparent);
    QPainter painter(&shrunk);
    const FlmRect dest{0, 0, shrunk.width(), shrunk.height()};
    const bool drawn = flmStretchPlay(picture.handle(), &painter, &dest, nullptr) == 0;
    painter.end();
    // The decoded picture may be large; it is of no further use.
    picture.Clear();
    return drawn ? compact(shrunk) : QImage();
}

void CThumbnailWorker::work(Pass* pass)
{
    CBmpEx picture;
    picture.setCancelFlag(&m_stop);
    for (;;) {
        std::size_t row = 0;
        {
            const std::lock_guard lock(m_mutex);
            row = pass->take();
        }
        if (row >= pass->jobs.size() || m_stop)
            break;
        const ThumbnailJob& job = pass->jobs[row];
        const QImage made = makeThumbnail(picture, pass->prefix + job.name);
        if (m_stop)
            break;
        QMetaObject::invokeMethod(
            this, [this, serial = pass->serial, id = job.id, made] { deliver(serial, id, made); },
            Qt::QueuedConnection);
    }
    // The last thread out reports the end; a stopped pass reports nothing.
    if (--pass->running == 0 && !m_stop)
        QMetaObject::invokeMethod(
            this, [this, serial = pass->serial] { deliverFinished(serial); }, Qt::QueuedConnection);
}

void CThumbnailWorker::deliver(quint64 serial, quint64 id, const QImage& picture)
{
    if (serial != m_activeSerial)
        return;
    if (!picture.isNull())
        Q_EMIT thumbnailReady(m_pass->generation, id, picture);
    else
        Q_EMIT failed(m_pass->generation, id);
}

void CThumbnailWorker::deliverFinished(quint64 serial)
{
    if (serial != m_activeSerial)
        return;
    m_activeSerial = 0;
    // Every pool thread is past its last row: joining only waits for it to return.
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    Q_EMIT finished(m_pass->generation);
}
