#pragma once
// The file list's background work on one folder: reading it (population), re-reading it for a
// refresh, scanning the headers and descriptions of its rows, and watching it for changes.
//
// Every worker object lives on the UI thread and is driven from there: start() copies its inputs
// and runs them as a task on the executor, stop() sets the run's stop flag and waits for the task
// (which never waits for the UI thread, so this cannot deadlock). Results come back
// as signals emitted on the UI thread, and only for the run that is current: once stop() or the
// next start() returned, nothing more arrives from the earlier run, even if it had already
// queued its result. Signals still carry the caller's generation so that the receiver can check
// it against its own. The destructor stops.

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include <QFileSystemWatcher>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include "browser/fileitem.h"
#include "core/workerrun.h"

// What to read, copied by the worker at start. `folder` ends with "/"; "/" has no parent entry.
struct FolderRequest {
    QString folder;
    bool showHidden = true;
    bool showNonImages = true;
    int sortKey = -1; // fileitem::SortKey, or -1: files stay in the order they were read
    bool ascending = true;
    quint64 generation = 0;
};

// A folder as read. Population: the parent entry (unless the folder is "/"), then the folders in
// name order of the request's direction, then the files in the request's sort order. Refresh:
// no parent entry, the folders, then the files, each in the order they were read. Records have id 0 (the model
// numbers them), no image properties and no description. `ok` is false when the folder could not
// be opened; the rows are then empty.
struct FolderListing {
    quint64 generation = 0;
    bool ok = false;
    std::vector<FileItem> rows;
    int folderCount = 0; // the parent entry included
    int fileCount = 0;
    int imageCount = 0;
    quint64 totalSize = 0;
};
// Listings of 100,000 rows travel by pointer: the receiver may move the rows out.
using FolderListingPtr = std::shared_ptr<FolderListing>;

// Reads a folder in the background and builds its rows (folder reading: the extension image
// test of CFileInfo; a refresh: the header-extension test).
class CPopulationWorker : public QObject {
    Q_OBJECT
public:
    explicit CPopulationWorker(QObject* parent = nullptr);
    ~CPopulationWorker() override;

    // Stops a running read, then reads the folder, sorts the rows and emits populationOver.
    void start(const FolderRequest& request);
    // The same read for a refresh: the rows unsorted, emitted as refreshListed.
    void startRefresh(const FolderRequest& request);
    void stop();
    bool isRunning() const { return m_run.isRunning(); }

signals:
    // Also when the folder could not be read (listing->ok false); never for a stopped read.
    void populationOver(FolderListingPtr listing);
    void refreshListed(FolderListingPtr listing);

private:
    WorkerRun m_run;
};

struct HeaderScanJob {
    quint64 id = 0;
    QString name; // plain name in the scanned folder
};

struct HeaderScanResult {
    quint64 id = 0;
    int imageFlag = 0;                      // 1 when the quick header reader read the file, else 0
    std::optional<QString> imageProperties; // "%dx%dx%s %s"
    std::optional<QString> description;     // from the folder's descript.ion
};

// Fills image properties and descriptions of rows in the background. One result per job, in job
// order, sent in batches (every 256 rows or 30 ms, whichever comes first).
class CHeaderScanWorker : public QObject {
    Q_OBJECT
public:
    explicit CHeaderScanWorker(QObject* parent = nullptr);
    ~CHeaderScanWorker() override;

    // Stops a running scan, then scans `jobs` (the rows after the first that have no image
    // properties yet, in row order) of `folder` (ending with "/").
    void start(const QString& folder, std::vector<HeaderScanJob> jobs, quint64 generation);
    void stop();
    bool isRunning() const { return m_run.isRunning(); }

signals:
    void scanned(quint64 generation, const std::vector<HeaderScanResult>& batch);
    // After the last batch; not for a stopped scan.
    void scanFinished(quint64 generation);

private:
    WorkerRun m_run;
};

// Watches the shown folder while auto refresh is on. A burst of changes gives one changed(),
// 250 ms after the last change of the burst, or at the latest 2 s after its first change, so that
// a folder that never rests is still refreshed. UI thread only.
class CFolderWatcher : public QObject {
    Q_OBJECT
public:
    explicit CFolderWatcher(QObject* parent = nullptr);

    // Watches `folder` instead of the previous one; an empty folder watches nothing. Changes
    // pending for the previous folder are dropped.
    void watch(const QString& folder);
    QString folder() const { return m_folder; }
    // What the system watches for us: the folder last given to watch(), or nothing.
    QStringList watchedFolders() const { return m_watcher.directories(); }
    // True while changes wait for their changed(); without it no changed() comes before the
    // next change.
    bool isPending() const { return m_quiet.isActive() || m_longest.isActive(); }

signals:
    void changed();

private:
    void noteChange();
    void fire();

    QFileSystemWatcher m_watcher;
    QTimer m_quiet;   // restarted by every change
    QTimer m_longest; // started by the first change of a burst
    QString m_folder;
};

Q_DECLARE_METATYPE(FolderListingPtr)
Q_DECLARE_METATYPE(std::vector<HeaderScanResult>)
