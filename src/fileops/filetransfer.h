#pragma once
// FileTransfer: one copy or move run, in the background on the program's executor so that the
// windows stay usable meanwhile. The owner (UI thread) makes it, starts it once and gets
// finished() once, always through the event loop (also for a move onto its own folder, which
// does nothing and finishes with code 1), so connecting after start() is safe. Name collisions
// are put to the FileOpQuestions on the UI thread while the worker waits for nothing: the run
// goes on with the answer. Failures are told to the questions object before finished().
// cancel() (any thread) is seen between items and within a large file; the item under way leaves
// no part of itself, the destination's descriptions are still written. Destroying a running
// transfer cancels it and waits for its worker; it then finishes no more.

#include <memory>

#include <QObject>

#include "core/workerrun.h"
#include "fileops/transferjob.h"
#include "core/runprogress.h"

class FileTransfer : public QObject {
    Q_OBJECT
public:
    explicit FileTransfer(std::shared_ptr<FileOpQuestions> questions, QObject* parent = nullptr);
    ~FileTransfer() override;

    void start(const TransferRequest& request);
    void cancel() { m_progress.cancel(); }
    RunProgress::Snapshot progress() const { return m_progress.snapshot(); }
    // For the progress window, which reads and cancels it.
    RunProgress& runProgress() { return m_progress; }

Q_SIGNALS:
    void finished(const TransferResult& result);

private:
    void runJob();
    void ask();
    void end();

    std::shared_ptr<FileOpQuestions> m_questions;
    RunProgress m_progress;
    std::unique_ptr<TransferJob> m_job;
    WorkerRun m_run;
};
