#pragma once
// CFileFinder: the walk of a file search. A search runs on the executor (core/workerrun.h) and
// reports to the owner's thread in batches, so the dialog showing it stays responsive and a stop
// takes effect before the next entry is read. The walk is depth first: the sub-folders of a
// folder are searched before its own files. A file is found when its name matches the mask and,
// given a list of extensions, its extension is one of them; folders are never found. Only
// regular files (and links to them) count. UI thread only, except walk().

#include <atomic>
#include <functional>
#include <vector>

#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringView>

#include "core/workerrun.h"

class CFileFinder : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString folder;             // ends with one "/" (see normalisedFolder)
        QString mask = QStringLiteral("*.*");
        QStringList extensions;     // lower case, without the dot; empty: any
        bool recurse = true;
    };

    struct Found {
        QString path;
        quint64 size = 0;
        qint64 modified = 0; // milliseconds since the epoch
    };

    // What a walk tells as it goes: the folder whose files it lists next, and each file found.
    struct Sink {
        std::function<void(const QString& folder)> searching;
        std::function<void(Found&& found)> found;
    };

    explicit CFileFinder(QObject* parent = nullptr);
    ~CFileFinder() override;

    // Stops a search under way and starts a new one; the found list empties.
    void FindFiles(const Options& options);
    // Stops the search under way, if any: nothing more of it arrives, and finished() is emitted.
    void StopSearch();
    bool isSearching() const { return m_searching; }

    int GetFindCount() const { return int(m_found.size()); }
    QString GetSearchingFolder() const { return m_searchingFolder; }
    const Found& GetFilePath(int index) const { return m_found.at(std::size_t(index)); }

    // The whole walk, returning when it is done; `sink` is called in the walk's order, one call at
    // a time, but not always on the calling thread: the root's sub-folders are walked on the
    // executor's threads too. `stop` (may be null) is read before every entry.
    static void walk(const Options& options, const std::atomic<bool>* stop, const Sink& sink);

    // True when `name` matches `mask` ("*" any run, "?" one character, case ignored); as on the
    // systems these masks come from, a final ".*" also matches a name without a dot.
    static bool matchesMask(QStringView name, QStringView mask);
    // `folder` with exactly one "/" at its end.
    static QString normalisedFolder(const QString& folder);

signals:
    // Files [first, first + count) of the found list arrived.
    void filesFound(int first, int count);
    // The walk moved on to the files of another folder.
    void searchingFolderChanged(const QString& folder);
    // The search ended: complete, or stopped.
    void finished();

private:
    void applyBatch(std::vector<Found>& batch, const QString& folder);

    WorkerRun m_run;
    quint64 m_generation = 0;
    bool m_searching = false;
    std::vector<Found> m_found;
    QString m_searchingFolder;
};
