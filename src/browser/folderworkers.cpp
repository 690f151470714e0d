#include "browser/folderworkers.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <utility>

#include <QMetaObject>

#include "browser/cshelllist.h"
#include "browser/rowsort.h"
#include "core/executor.h"
#include "fileops/cfileinfo.h"
#include "fileops/descriptionfile.h"
#include "platform/directoryreader.h"

namespace {

void registerTypes()
{
    static const bool once = [] {
        qRegisterMetaType<FolderListingPtr>("FolderListingPtr");
        qRegisterMetaType<std::vector<HeaderScanResult>>("std::vector<HeaderScanResult>");
        return true;
    }();
    Q_UNUSED(once);
}

bool isRoot(const QString& folder)
{
    return folder == QLatin1String("/");
}

FileItem parentEntry()
{
    FileItem parent;
    parent.name = QStringLiteral("..");
    parent.typeText = QStringLiteral("Parent folder");
    parent.isFolder = true;
    parent.isParent = true;
    return parent;
}

FileItem makeRecord(const QString& folder, platform::DirectoryEntry&& entry, bool isImage)
{
    FileItem item;
    item.isFolder = entry.isFolder;
    item.modified = entry.modified;
    if (entry.isFolder) {
        item.typeText = QStringLiteral("File folder");
    } else {
        item.size = entry.size;
        item.imageFlag = isImage ? 1 : 0;
    }
    item.name = std::move(entry.name);
    // Read here, off the UI thread, which draws the row's icon.
    item.ownIcon = CShellList::ownIconName(folder, item.name, item.isFolder);
    return item;
}

enum class ListingKind { Population, Refresh };

// Reads the folder of `request` into a listing; nothing when the stop flag ended the read.
FolderListingPtr readFolder(const FolderRequest& request, ListingKind kind, const std::atomic<bool>* stop)
{
    auto listing = std::make_shared<FolderListing>();
    listing->generation = request.generation;
    // Folders and files are collected apart: folders come first whatever the sort.
    std::vector<FileItem> folders;
    std::vector<FileItem>& files = listing->rows;
    const fileitem::Admission admission{request.showHidden, request.showNonImages};
    const platform::DirectoryResult result =
        platform::readDirectory(
            request.folder, stop,
            [&](platform::DirectoryEntry&& entry) {
                // The name test covers dot names; this covers a platform's own hidden mark as well.
                if (entry.isHidden && !request.showHidden)
                    return;
                const bool isImage = !entry.isFolder && CFileInfo::IsImageByExtension(entry.name);
                if (!fileitem::admits(entry.name, entry.isFolder, isImage, admission))
                    return;
                (entry.isFolder ? folders : files).push_back(makeRecord(request.folder, std::move(entry), isImage));
            },
            executor::fanOut);
    if (result == platform::DirectoryResult::Stopped)
        return {};
    if (result == platform::DirectoryResult::Failed)
        return listing;

    listing->ok = true;
    for (const FileItem& file : files) {
        listing->totalSize += file.size;
        listing->imageCount += file.imageFlag != 0 ? 1 : 0;
    }
    const bool withParent = kind == ListingKind::Population && !isRoot(request.folder);
    listing->folderCount = int(folders.size()) + (withParent ? 1 : 0);
    listing->fileCount = int(files.size());
    // The files were collected in the listing's own rows, not to be moved to another list; the
    // parent entry and the folders go before them.
    if (withParent)
        folders.insert(folders.begin(), parentEntry());
    std::vector<FileItem>& rows = listing->rows;
    rows.insert(rows.begin(), std::make_move_iterator(folders.begin()), std::make_move_iterator(folders.end()));
    if (kind == ListingKind::Population) {
        // Folders always go by name; files by the list's key, or as read when it has none.
        const std::size_t firstFolder = withParent ? 1 : 0;
        const std::size_t firstFile = folders.size();
        rowsort::sortRows(rows, firstFolder, firstFile, fileitem::kByName, request.ascending);
        rowsort::sortRows(rows, firstFile, rows.size(), request.sortKey, request.ascending);
    }
    return listing;
}

HeaderScanResult scanRow(const QString& folder, const HeaderScanJob& job, const DescriptionText& descriptions)
{
    HeaderScanResult result;
    result.id = job.id;
    if (CFileInfo::IsImageByExtension(job.name)) {
        CFileInfo::Info info;
        if (CFileInfo::ReadHeaderInfo(folder + job.name, info)) {
            result.imageFlag = 1;
            result.imageProperties = fileitem::propertiesText(info);
        }
    }
    result.description = descriptions.find(job.name);
    return result;
}

constexpr std::size_t kBatchRows = 256;
constexpr auto kBatchTime = std::chrono::milliseconds(30);

} // namespace

// ---- CPopulationWorker ------------------------------------------------------------------------

CPopulationWorker::CPopulationWorker(QObject* parent) : QObject(parent), m_run(this)
{
    registerTypes();
}

CPopulationWorker::~CPopulationWorker()
{
    stop();
}

void CPopulationWorker::start(const FolderRequest& request)
{
    m_run.start(request.generation, [this, request](const RunToken& token) {
        if (FolderListingPtr listing = readFolder(request, ListingKind::Population, token.stopFlag()))
            token.deliver([this, listing] { emit populationOver(listing); });
    });
}

void CPopulationWorker::startRefresh(const FolderRequest& request)
{
    m_run.start(request.generation, [this, request](const RunToken& token) {
        if (FolderListingPtr listing = readFolder(request, ListingKind::Refresh, token.stopFlag()))
            token.deliver([this, listing] { emit refreshListed(listing); });
    });
}

void CPopulationWorker::stop()
{
    m_run.stop();
}

// ---- CHeaderScanWorker ------------------------------------------------------------------------

CHeaderScanWorker::CHeaderScanWorker(QObject* parent) : QObject(parent), m_run(this)
{
    registerTypes();
}

CHeaderScanWorker::~CHeaderScanWorker()
{
    stop();
}

void CHeaderScanWorker::start(const QString& folder, std::vector<HeaderScanJob> jobs, quint64 generation)
{
    m_run.start(generation, [this, folder, jobs = std::move(jobs)](const RunToken& token) {
        const quint64 generation = token.generation();
        // The description file is read once for the whole folder; one that cannot be read gives
        // no descriptions (its text stays empty).
        DescriptionFile descriptions;
        if (!jobs.empty())
            descriptions.load(folder);

        std::vector<HeaderScanResult> batch;
        auto sendBatch = [&] {
            if (batch.empty())
                return;
            token.deliver([this, generation, rows = std::move(batch)] { emit scanned(generation, rows); });
            batch = {};
        };
        auto batchStart = std::chrono::steady_clock::now();
        for (const HeaderScanJob& job : jobs) {
            if (token.stopRequested())
                return;
            batch.push_back(scanRow(folder, job, descriptions.text()));
            if (batch.size() >= kBatchRows || std::chrono::steady_clock::now() - batchStart >= kBatchTime) {
                sendBatch();
                batchStart = std::chrono::steady_clock::now();
            }
        }
        sendBatch();
        token.deliver([this, generation] { emit scanFinished(generation); });
    });
}

void CHeaderScanWorker::stop()
{
    m_run.stop();
}

// ---- CFolderWatcher ---------------------------------------------------------------------------

namespace {
constexpr int kQuietMsecs = 250;
constexpr int kLongestMsecs = 2000;
} // namespace

CFolderWatcher::CFolderWatcher(QObject* parent) : QObject(parent)
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMsecs);
    m_longest.setSingleShot(true);
    m_longest.setInterval(kLongestMsecs);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &CFolderWatcher::noteChange);
    connect(&m_quiet, &QTimer::timeout, this, &CFolderWatcher::fire);
    connect(&m_longest, &QTimer::timeout, this, &CFolderWatcher::fire);
}

void CFolderWatcher::watch(const QString& folder)
{
    m_quiet.stop();
    m_longest.stop();
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_folder = folder;
    // A folder that was removed and made again must be watched anew, so the same folder is added
    // again too.
    if (!m_folder.isEmpty())
        m_watcher.addPath(m_folder);
}

void CFolderWatcher::noteChange()
{
    m_quiet.start();
    if (!m_longest.isActive())
        m_longest.start();
}

void CFolderWatcher::fire()
{
    m_quiet.stop();
    m_longest.stop();
    emit changed();
}
