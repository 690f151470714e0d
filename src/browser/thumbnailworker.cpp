#include "browser/thumbnailworker.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>
#include <utility>

#include "browser/thumbnailcell.h"
#include "browser/thumbnailstore.h"
#include "core/executor.h"
#include "imagelib/cbmpex.h"
#include "platform/thumbnailcache.h"

namespace {

// Opaque pictures are kept at 3 bytes a pixel; the few with transparency stay premultiplied so
// that drawing them over the button face blends as DrawThumbnail's own drawing does.
QImage compact(const QImage& picture)
{
    if (!picture.hasAlphaChannel())
        return picture.convertToFormat(QImage::Format_RGB888);
    const QImage premultiplied = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < premultiplied.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(premultiplied.constScanLine(y));
        if (!std::all_of(line, line + premultiplied.width(), [](QRgb pixel) { return qAlpha(pixel) == 255; }))
            return premultiplied;
    }
    return premultiplied.convertToFormat(QImage::Format_RGB888);
}

// `picture` shrunk smoothly (area-averaged, as drawScaled would) to `size`, or kept as it is when
// it has that size; a sliver too thin to survive the shrinking keeps one pixel.
QImage shrunkTo(const QImage& picture, QSize size)
{
    size = size.expandedTo(QSize(1, 1));
    return picture.size() == size ? picture : picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// A failed load worth a fail entry in the cache: the file's content is at fault, so trying it
// again before it changes cannot succeed. A cancelled load or a full memory says nothing of it.
bool failsForGood(const CBmpEx& picture)
{
    switch (picture.lastError().code) {
    case kFlmErrorNotPicture:
    case kFlmErrorTruncated:
    case kFlmErrorDamaged:
    case kFlmErrorUnsupported:
    case kFlmErrorTooLarge:
        return true;
    default:
        return false;
    }
}

} // namespace

// One pass over a folder's rows. The schedule (taken, priority, next, serving, finishing) is
// guarded by the worker's mutex; everything else is fixed before the first task begins.
struct CThumbnailWorker::Pass {
    QString prefix; // the folder with one trailing '/'
    std::shared_ptr<const ThumbnailCache> cache;
    std::vector<ThumbnailJob> jobs;
    std::unordered_map<quint64, std::size_t> rowOfId;
    std::vector<bool> taken;
    std::vector<std::size_t> priority; // rows on screen not taken yet, in row order
    std::size_t next = 0;              // no row before it is left untaken
    int serving = 0;                   // rows taken whose result is not sent yet
    bool finishing = false;            // the end of the pass was sent

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
        if (row < jobs.size()) {
            taken[row] = true;
            ++serving;
        }
        return row;
    }
};

namespace {

// A task serves rows for about this long before it makes way for other workers' tasks.
constexpr auto kStepTime = std::chrono::milliseconds(50);

} // namespace

CThumbnailWorker::CThumbnailWorker(QObject* parent) : QObject(parent), m_run(this, executor::Priority::Bulk) {}

CThumbnailWorker::~CThumbnailWorker()
{
    stop();
}

void CThumbnailWorker::setThreadCount(int count)
{
    m_threadCount = std::clamp(count, 1, executor::cores());
}

void CThumbnailWorker::setCache(std::shared_ptr<const ThumbnailCache> cache)
{
    m_cache = std::move(cache);
}

void CThumbnailWorker::start(const QString& folder, std::vector<ThumbnailJob> jobs, quint64 generation)
{
    stop();
    auto pass = std::make_shared<Pass>();
    pass->prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    pass->cache = m_cache;
    pass->rowOfId.reserve(jobs.size());
    for (std::size_t row = 0; row < jobs.size(); ++row)
        pass->rowOfId.emplace(jobs[row].id, row);
    pass->taken.assign(jobs.size(), false);
    pass->jobs = std::move(jobs);
    // The tasks of the run read m_pass only through their own pointer; setPriority reads it from
    // any thread: hence the lock.
    {
        const std::lock_guard lock(m_mutex);
        m_pass = pass;
    }
    m_passRunning = true;
    const int tasks = m_threadCount > 0 ? m_threadCount : executor::cores();
    // An empty pass has one task too: it finds no row and sends the end.
    const int count = int(std::clamp<std::size_t>(pass->jobs.size(), 1, std::size_t(tasks)));
    m_run.startSteps(
        generation, [this, pass](const RunToken& token) { return serveRows(*pass, token); }, count);
}

void CThumbnailWorker::stop()
{
    m_run.stop();
    m_passRunning = false;
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

QImage CThumbnailWorker::makeThumbnail(CBmpEx& picture, const QString& path, const ThumbnailCache* cache)
{
    using Entry = ThumbnailCache::Entry;
    const Entry entry = cache ? cache->find(path) : Entry();
    // The place in the cell never magnifies.
    const auto forCell = [](const QImage& loaded) {
        const QSize cell(CThumbnailStore::kCellSize, CThumbnailStore::kCellSize);
        return compact(shrunkTo(loaded, thumbnailcell::thumbnailPlace(loaded.size(), cell).size()));
    };
    if (entry.state == Entry::Kept)
        return forCell(entry.picture);
    if (entry.state == Entry::Failed)
        return {};
    // A thumbnail for the cache needs the larger size; the reduced decodes reach it at little cost.
    const int loadSize = entry.state == Entry::Missing ? ThumbnailCache::kNormalSize : CThumbnailStore::kPictureArea;
    picture.setLoadSizeHint(QSize(loadSize, loadSize));
    if (!picture.Load(path)) {
        if (entry.state == Entry::Missing && failsForGood(picture))
            cache->keepFailure(entry);
        return {};
    }
    const QImage loaded = picture.slideImage();
    const QSize original = picture.sourceSize();
    // The decoded picture may be large; it is of no further use.
    picture.Clear();
    if (entry.state == Entry::Missing) {
        QSize size = loaded.size();
        if (size.width() > ThumbnailCache::kNormalSize || size.height() > ThumbnailCache::kNormalSize)
            size.scale(ThumbnailCache::kNormalSize, ThumbnailCache::kNormalSize, Qt::KeepAspectRatio);
        cache->keep(entry, compact(shrunkTo(loaded, size)), original);
    }
    return forCell(loaded);
}

bool CThumbnailWorker::serveRows(Pass& pass, const RunToken& token)
{
    CBmpEx picture;
    picture.setCancelFlag(token.stopFlag());
    const auto stepEnd = std::chrono::steady_clock::now() + kStepTime;
    const quint64 generation = token.generation();
    for (;;) {
        std::size_t row = 0;
        {
            const std::lock_guard lock(m_mutex);
            row = pass.take();
            // The last task out sends the end, after every row's result.
            if (row >= pass.jobs.size()) {
                if (pass.serving == 0 && !std::exchange(pass.finishing, true)) {
                    token.deliver([this, generation] {
                        m_passRunning = false;
                        Q_EMIT finished(generation);
                    });
                }
                return false;
            }
        }
        const ThumbnailJob& job = pass.jobs[row];
        const QImage made = makeThumbnail(picture, pass.prefix + job.name, pass.cache.get());
        if (token.stopRequested())
            return false;
        token.deliver([this, generation, id = job.id, made] {
            if (!made.isNull())
                Q_EMIT thumbnailReady(generation, id, made);
            else
                Q_EMIT failed(generation, id);
        });
        {
            const std::lock_guard lock(m_mutex);
            --pass.serving;
        }
        if (std::chrono::steady_clock::now() >= stepEnd)
            return true;
    }
}
