#include "fileops/cfilefinder.h"

#include <QElapsedTimer>

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
        if (m < mask.size() && (mask[m] == u'?' || QChar::toCaseFolded(mask[m].unicode()) ==
                                                       QChar::toCaseFolded(name[n].unicode()))) {
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

class Walker {
public:
    Walker(const CFileFinder::Options& options, const std::atomic<bool>* stop, const CFileFinder::Sink& sink)
        : m_options(options), m_stop(stop), m_sink(sink)
    {
    }

    void walkFolder(const QString& folder)
    {
        QStringList subFolders;
        std::vector<CFileFinder::Found> files;
        // One listing serves both steps: the sub-folders first, then the files of the mask. A
        // file's size is read now, while its folder is open; one removed since is not found.
        platform::listNames(folder, m_stop, [&](const platform::ListedName& entry) {
            if (entry.kind == platform::NameKind::Folder) {
                subFolders << entry.name;
            } else if (entry.kind == platform::NameKind::File && CFileFinder::matchesMask(entry.name, m_options.mask) &&
                       hasWantedExtension(entry.name, m_options.extensions)) {
                CFileFinder::Found found;
                if (entry.sizeAndTime(found.size, found.modified)) {
                    found.path = folder + entry.name;
                    files.push_back(std::move(found));
                }
            }
        });
        if (m_options.recurse) {
            for (const QString& name : std::as_const(subFolders)) {
                if (stopped())
                    return;
                walkFolder(folder + name + u'/');
            }
        }
        if (stopped())
            return;
        m_sink.searching(folder);
        for (CFileFinder::Found& found : files) {
            if (stopped())
                return;
            m_sink.found(std::move(found));
        }
    }

private:
    bool stopped() const { return m_stop != nullptr && m_stop->load(std::memory_order_relaxed); }

    const CFileFinder::Options& m_options;
    const std::atomic<bool>* m_stop;
    const CFileFinder::Sink& m_sink;
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
    Walker(options, stop, sink).walkFolder(normalisedFolder(options.folder));
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
