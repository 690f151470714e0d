#include "fileops/cfilefinder.h"

#include <algorithm>
#include <mutex>

#include <QElapsedTimer>

#include "core/executor.h"
#include "platform/directoryreader.h"

namespace {

// A batch goes to the dialog after this many files or this many milliseconds, whichever first:
// often enough to watch, rarely enough that a big result does not flood the UI thread.
constexpr std::size_t kBatchFiles = 2000;
constexpr qint64 kBatchMsecs = 100;

bool hasWantedExtension(QStringView name, const QStringList& extensions)
{
    if (extensions.isEmpty())
        return true;
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QStringView extension = name.mid(dot + 1);
    for (const QString& wanted : extensions) {
        if (extension.compare(wanted, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool matchesFrom(QStringView name, QStringView mask)
{
    // Backtracking over the last "*" only: linear enough for names and masks a user types.
    qsizetype n = 0;
    qsizetype m = 0;
    qsizetype starMask = -1;
    qsizetype starName = 0;
    while (n < name.size()) {
        if (m < mask.size() &&
            (mask[m] == u'?' || QChar::toCaseFolded(mask[m].unicode()) == QChar::toCaseFolded(name[n].unicode()))) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == u'*') {
            starMask = m++;
            starName = n;
        } else if (starMask >= 0) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

// The finds of one folder: reported as "searching the folder", then its files.
struct FolderFinds {
    QString folder;
    std::vector<CFileFinder::Found> files;
};

using FolderSink = std::function<void(FolderFinds&&)>;

class Walker {
public:
    Walker(const CFileFinder::Options& options, const std::atomic<bool>* stop) : m_options(options), m_stop(stop) {}

    // The whole tree below `root`, reported to `sink` in depth-first order. The sub-trees of the
    // root are walked on several threads at once, each into a buffer of its own, and the buffers
    // are reported in order as they complete: the walk keeps its order but not its pace.
    void walkTree(const QString& root, const CFileFinder::Sink& sink)
    {
        const FolderSink report = [&](FolderFinds&& finds) {
            sink.searching(finds.folder);
            for (CFileFinder::Found& found : finds.files) {
                if (stopped())
                    return;
                sink.found(std::move(found));
            }
        };
        QStringList subFolders;
        FolderFinds rootFinds = listFolder(root, subFolders);
        if (!m_options.recurse)
            subFolders.clear();
        struct SubTree {
            std::vector<FolderFinds> finds;
            bool done = false;
        };
        std::vector<SubTree> subTrees(std::size_t(subFolders.size()));
        std::atomic<std::size_t> next{0};
        std::mutex lock;
        std::size_t reported = 0;
        const auto job = [&] {
            for (;;) {
                const std::size_t index = next.fetch_add(1);
                if (index >= subTrees.size() || stopped())
                    return;
                std::vector<FolderFinds> finds;
                walkFolder(root + subFolders.at(qsizetype(index)) + u'/',
                           [&finds](FolderFinds&& folder) { finds.push_back(std::move(folder)); });
                // Whoever completes the next sub-tree in order reports it and every completed one
                // after it; the lock keeps the reports in order and on one thread at a time.
                const std::lock_guard<std::mutex> guard(lock);
                subTrees[index].finds = std::move(finds);
                subTrees[index].done = true;
                while (reported < subTrees.size() && subTrees[reported].done && !stopped()) {
                    for (FolderFinds& folder : subTrees[reported].finds)
                        report(std::move(folder));
                    subTrees[reported++].finds.clear();
                }
            }
        };
        if (subTrees.size() > 1)
            executor::fanOut(std::min(executor::cores(), int(subTrees.size())) - 1, job);
        else
            job();
        if (!stopped())
            report(std::move(rootFinds));
    }

private:
    // Lists `folder`: its sub-folders into `subFolders`, its files of the mask with their sizes
    // (read while the folder is open; a file removed since is not found).
    FolderFinds listFolder(const QString& folder, QStringList& subFolders) const
    {
        FolderFinds finds{folder, {}};
        platform::listNames(folder, m_stop, [&](const platform::ListedName& entry) {
            if (entry.kind == platform::NameKind::Folder) {
                subFolders << entry.name;
            } else if (entry.kind == platform::NameKind::File && CFileFinder::matchesMask(entry.name, m_options.mask) &&
                       hasWantedExtension(entry.name, m_options.extensions)) {
                CFileFinder::Found found;
                if (entry.sizeAndTime(found.size, found.modified)) {
                    found.path = folder + entry.name;
                    finds.files.push_back(std::move(found));
                }
            }
        });
        return finds;
    }

    // One listing serves both steps of a folder: its sub-folders are walked first, then its own
    // files are reported.
    void walkFolder(const QString& folder, const FolderSink& sink) const
    {
        QStringList subFolders;
        FolderFinds finds = listFolder(folder, subFolders);
        if (m_options.recurse) {
            for (const QString& name : std::as_const(subFolders)) {
                if (stopped())
                    return;
                walkFolder(folder + name + u'/', sink);
            }
        }
        if (!stopped())
            sink(std::move(finds));
    }

    bool stopped() const { return m_stop != nullptr && m_stop->load(std::memory_order_relaxed); }

    const CFileFinder::Options& m_options;
    const std::atomic<bool>* m_stop;
};

} // namespace

CFileFinder::CFileFinder(QObject* parent) : QObject(parent), m_run(this) {}

CFileFinder::~CFileFinder()
{
    m_run.stop();
}

void CFileFinder::FindFiles(const Options& options)
{
    m_run.stop();
    m_found.clear();
    m_searchingFolder.clear();
    m_searching = true;
    m_run.start(++m_generation, [this, options](const RunToken& token) {
        std::vector<Found> batch;
        QString folder;
        QElapsedTimer sinceBatch;
        sinceBatch.start();
        const auto deliver = [&] {
            token.deliver([this, files = std::move(batch), folder]() mutable { applyBatch(files, folder); });
            batch = {};
            sinceBatch.restart();
        };
        Sink sink;
        sink.searching = [&](const QString& searching) {
            folder = searching;
            if (sinceBatch.elapsed() >= kBatchMsecs)
                deliver();
        };
        sink.found = [&](Found&& found) {
            batch.push_back(std::move(found));
            if (batch.size() >= kBatchFiles || sinceBatch.elapsed() >= kBatchMsecs)
                deliver();
        };
        walk(options, token.stopFlag(), sink);
        if (token.stopRequested())
            return;
        deliver();
        token.deliver([this] {
            m_searching = false;
            emit finished();
        });
    });
}

void CFileFinder::StopSearch()
{
    if (!m_searching)
        return;
    m_run.stop();
    m_searching = false;
    emit finished();
}

void CFileFinder::applyBatch(std::vector<Found>& batch, const QString& folder)
{
    if (!folder.isEmpty() && folder != m_searchingFolder) {
        m_searchingFolder = folder;
        emit searchingFolderChanged(folder);
    }
    if (batch.empty())
        return;
    const int first = GetFindCount();
    m_found.insert(m_found.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    emit filesFound(first, int(batch.size()));
}

void CFileFinder::walk(const Options& options, const std::atomic<bool>* stop, const Sink& sink)
{
    Walker(options, stop).walkTree(normalisedFolder(options.folder), sink);
}

bool CFileFinder::matchesMask(QStringView name, QStringView mask)
{
    if (matchesFrom(name, mask))
        return true;
    // "photo*.*" also finds "photo" and "photos": the final ".*" stands for "any extension or none".
    return mask.endsWith(u".*") && !name.contains(u'.') && matchesFrom(name, mask.chopped(2));
}

QString CFileFinder::normalisedFolder(const QString& folder)
{
    qsizetype end = folder.size();
    while (end > 0 && folder.at(end - 1) == u'/')
        --end;
    return folder.left(end) + u'/';
}
