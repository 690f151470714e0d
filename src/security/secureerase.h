#pragma once
// SecureErase: one "Erase for good" run in the background on the program's executor, so that the
// windows stay usable while files are written over nine times and free space is filled. The
// owner (UI thread) makes it, starts it once and gets finished() once, through the event loop.
// Cancel (progress().cancel(), any thread) is seen between items and while free space is filled:
// a file is never left half erased by it, and filled space is always given back. Destroying a
// running erase cancels it and waits for its worker; it then finishes no more.

#include <QObject>
#include <QStringList>

#include "core/runprogress.h"
#include "core/workerrun.h"

struct SecureEraseResult {
    QStringList failures;   // one sentence per item that stayed or space that was not cleaned
    QStringList oldCopies;  // erased files whose file system may keep old copies of their data
    bool cancelled = false; // items after the cancel were left as they were
};

class SecureErase : public QObject {
    Q_OBJECT
public:
    explicit SecureErase(QObject* parent = nullptr);
    ~SecureErase() override;

    // Erases `paths` (full paths) in turn, then cleans the free space they call for.
    void start(const QStringList& paths);
    RunProgress& progress() { return m_progress; }

Q_SIGNALS:
    void finished(const SecureEraseResult& result);

private:
    RunProgress m_progress;
    WorkerRun m_run;
};
