#pragma once
// FolderScanWorker: builds the viewer's own list of a folder in the background. The list holds
// the names of the folder's files that have a picture extension, sorted by name as the browser's
// list sorts them (textorder::compareText); hidden entries and folders are left out. The shown
// file is always in it: first when its name lacks a picture extension (a picture with a wrong
// extension that the library still reads) or when it is hidden, else in its place by name. A folder that cannot
// be read gives the shown file alone.
//
// The object lives on the UI thread. start() copies its inputs and reads the folder on the
// executor; the task never waits for the UI thread. The result comes back as scanned() on
// the UI thread, followed by "UpdateStatusBarMsg" posted to the receiver, and only for the
// current run: once stop() or the next start() returned, nothing more arrives from an earlier
// run. stop() sets the run's stop flag and waits for its task; the destructor stops.

#include <atomic>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "core/workerrun.h"

class FolderScanWorker : public QObject {
    Q_OBJECT
public:
    // `receiver` (may be null) gets "UpdateStatusBarMsg" after every completed scan.
    explicit FolderScanWorker(QObject* receiver, QObject* parent = nullptr);
    ~FolderScanWorker() override;
    FolderScanWorker(const FolderScanWorker&) = delete;
    FolderScanWorker& operator=(const FolderScanWorker&) = delete;

    // Stops a running scan, then scans `folder` (ending with "/") for the viewer showing
    // `shownName` in it. The generation of the new run is returned and travels with its result.
    quint64 start(const QString& folder, const QString& shownName);
    void stop();
    // True from start() until the scan has ended (whether or not its result was delivered).
    bool isRunning() const { return m_run.isRunning(); }

    // The scan itself, on the calling thread; `stop` (may be null) is read before every entry,
    // and once it is set no further entry is added.
    static QStringList scanFolder(const QString& folder, const QString& shownName, const std::atomic<bool>* stop);

Q_SIGNALS:
    void scanned(quint64 generation, const QStringList& names);

private:
    QPointer<QObject> m_receiver;
    WorkerRun m_run;
};
