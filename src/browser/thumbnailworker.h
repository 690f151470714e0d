#pragma once
// CThumbnailWorker: makes the thumbnails of the file list's image rows in the background.
//
// start() copies the folder and the rows (id and name, in row order) and serves them with up to
// as many tasks on the executor as there are cores, each with a CBmpEx of its own that asks the
// library for a picture just big enough for the cell (an embedded EXIF thumbnail or a
// reduced-size decode). Rows on screen (setPriority) are served first, the others in row order.
// The tasks run as bulk work and make way for other workers' tasks every few rows. With a
// thumbnail cache (setCache), a row whose cached thumbnail is valid is drawn from it without
// decoding the file, and the others leave theirs (or their fail entry) in the cache.
//
// Results reach the owner's thread as signals carrying the generation given to start():
// thumbnailReady with the picture for CThumbnailStore::add, failed for a file that cannot be
// loaded (it keeps its icon), and finished once every row was served. Once stop() or a new
// start() returned, no signal of the earlier run is emitted any more, even one already queued.
//
// start(), stop(), setThreadCount() and the destructor belong to the thread that owns the
// object (the UI thread); setPriority() may be called from any thread at any time.

#include <memory>
#include <mutex>
#include <vector>

#include <QImage>
#include <QObject>
#include <QString>

#include "core/workerrun.h"

class CBmpEx;
class ThumbnailCache;

struct ThumbnailJob {
    quint64 id = 0;
    QString name; // within the folder given to start()
};

class CThumbnailWorker : public QObject {
    Q_OBJECT
public:
    explicit CThumbnailWorker(QObject* parent = nullptr);
    ~CThumbnailWorker() override;

    // Stops a running pass, then serves `jobs` of `folder`. An empty job list finishes at once.
    void start(const QString& folder, std::vector<ThumbnailJob> jobs, quint64 generation);
    // Sets the stop flag, which also cancels the decodes under way, and waits for the tasks.
    void stop();
    // True from start() until finished is emitted or stop() is called.
    bool isRunning() const { return m_passRunning; }

    // The rows now on screen: those not served yet go next, in row order. Replaces the previous
    // list; ids that are not rows of the running pass are ignored.
    void setPriority(const std::vector<quint64>& ids);
    // Tasks at once of the following start() calls, limited to 1 .. the number of cores (the
    // default).
    void setThreadCount(int count);
    // The cache the following start() calls read and write; none (the default) for neither.
    void setCache(std::shared_ptr<const ThumbnailCache> cache);

    // One thumbnail picture made at once on the calling thread (the refresh adds rows this way):
    // loads `path` into `picture`, whose load size hint it sets for thumbnails, and returns the
    // shrunk picture for CThumbnailStore::add; a null image when the file cannot be loaded. With
    // a `cache` it takes a valid cached thumbnail instead of loading, and keeps what it makes.
    static QImage makeThumbnail(CBmpEx& picture, const QString& path, const ThumbnailCache* cache = nullptr);

Q_SIGNALS:
    void thumbnailReady(quint64 generation, quint64 id, QImage picture);
    void failed(quint64 generation, quint64 id);
    void finished(quint64 generation);

private:
    struct Pass;
    // Serves rows of `pass` for a while; true when rows are left for a later step.
    bool serveRows(Pass& pass, const RunToken& token);

    std::mutex m_mutex; // guards the schedule of m_pass against setPriority and the other tasks
    std::shared_ptr<Pass> m_pass;
    WorkerRun m_run;
    bool m_passRunning = false; // from start() until finished or stop()
    int m_threadCount = 0;
    std::shared_ptr<const ThumbnailCache> m_cache;
};
