#pragma once
// CPictureLookahead: decodes the picture the viewer is likely to show next while the current one
// is on screen, so that moving to it finds the pixels ready.
//
// UI thread API. One worker thread of the object's own decodes into a CBmpEx of its own (its own
// library handle, a cancel flag of its own). The UI thread never waits for the worker, except in
// take() for a decode of exactly the picture it asks for (see there). At most one decoded picture
// is held; a newer prefetch() cancels the decode of an older one and drops what it left.
// Deleting the object cancels a running decode and waits for the thread.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include <QObject>
#include <QString>

#include "imagelib/cbmpex.h"

class CPictureLookahead : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kDefaultBudgetBytes = qint64(512) << 20;

    explicit CPictureLookahead(QObject* parent = nullptr);
    ~CPictureLookahead() override;
    CPictureLookahead(const CPictureLookahead&) = delete;
    CPictureLookahead& operator=(const CPictureLookahead&) = delete;

    // Starts decoding `path` in the background. Asking again for the picture being decoded or
    // already held (and unchanged on disk) costs nothing.
    void prefetch(const QString& path);
    // True when the picture of exactly `path` was decoded and the file still has the size and
    // modification time it had when decoding started: the picture then moves into `current`
    // (whose picture is dropped by the worker) and is no longer held. False otherwise, and the
    // caller loads the file itself; a held picture of a changed file is dropped.
    // When `path` is being decoded right now, this waits for that decode to end: the rest of a
    // decode under way never takes longer than a fresh one by the caller would.
    bool take(const QString& path, CBmpEx& current);
    // Cancels the running decode and drops the held picture (the viewer leaves).
    void clear();

    // Pictures whose decoded pixels (width x height x 4 for every slide) pass this many bytes are
    // not prefetched. Applies to the following prefetches.
    void setBudgetBytes(qint64 bytes);
    qint64 budgetBytes() const { return m_budgetBytes.load(); }

Q_SIGNALS:
    // A prefetch ended, on the UI thread, for the latest prefetch only: `held` tells whether its
    // picture is ready for take() (false: not a picture, over the budget, or vanished).
    void prefetched(const QString& path, bool held);

private:
    // What identifies one version of a file: a rewrite changes its size or time.
    struct FileStamp {
        qint64 size = -1;
        qint64 modified = 0;
        bool operator==(const FileStamp&) const = default;
    };
    struct Job {
        QString path;
        quint64 generation = 0;
    };
    enum class Held { Nothing, Picture, Discarded };

    static std::optional<FileStamp> stampOf(const QString& path);
    void run();
    // Decodes `job` into m_decoder (or keeps the picture it holds already); the stamp of the file
    // as decoding started, nothing when no picture is held afterwards.
    std::optional<FileStamp> decode(const Job& job, bool holdsSamePath, const FileStamp& heldStamp);
    bool withinBudget(qint64 bytes) const;
    // Lets the worker drop the held picture; the lock must be held.
    void discardHeldLocked();

    CBmpEx m_decoder; // the worker's, except while Held::Picture, when take() may swap it
    std::atomic<bool> m_cancel{false};
    std::atomic<qint64> m_budgetBytes{kDefaultBudgetBytes};

    std::mutex m_mutex;
    std::condition_variable m_wake;     // the worker waits for work
    std::condition_variable m_finished; // take() waits for the decode of its picture
    std::optional<Job> m_pending;
    std::optional<Job> m_running;
    Held m_held = Held::Nothing;
    QString m_heldPath;
    FileStamp m_heldStamp;
    quint64 m_generation = 0;
    bool m_quit = false;

    std::thread m_thread;
};
