#pragma once
// CPictureLookahead: decodes the picture the viewer is likely to show next while the current one
// is on screen, so that moving to it finds the pixels ready.
//
// UI thread API. Each prefetch is a run of its own on the executor that decodes into a CBmpEx of
// its own (its own library handle, the run's stop flag as cancel flag). The UI thread never waits
// for it, except in take() for a decode of exactly the picture it asks for (see there). At most
// one decoded picture is held; a newer prefetch() cancels the decode of an older one and drops
// what it left. Deleting the object cancels a running decode and waits for it.

#include <memory>
#include <optional>

#include <QObject>
#include <QString>

#include "core/workerrun.h"

class CBmpEx;

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
    // (whose picture is freed off this thread) and is no longer held. False otherwise, and the
    // caller loads the file itself; a held picture of a changed file is dropped.
    // When `path` is being decoded right now, this waits for that decode to end (one not begun
    // yet runs here): the rest of a decode never takes longer than a fresh one by the caller.
    bool take(const QString& path, CBmpEx& current);
    // Cancels the running decode and drops the held picture (the viewer leaves).
    void clear();
    // True while `path` is being decoded: prefetched() tells when it ended, and take() then
    // takes it without waiting.
    bool isDecoding(const QString& path) const
    {
        return m_outcome && m_outcome->path == path && !m_outcome->collected;
    }

    // Pictures whose decoded pixels (width x height x 4 for every slide) pass this many bytes are
    // not prefetched. Applies to the following prefetches.
    void setBudgetBytes(qint64 bytes);
    qint64 budgetBytes() const { return m_budgetBytes; }

Q_SIGNALS:
    // A prefetch ended, on the UI thread, for the latest prefetch only: `held` tells whether its
    // picture is ready for take() (false: not a picture, over the budget, or vanished).
    void prefetched(const QString& path, bool held);

public:
    // What identifies one version of a file: a rewrite changes its size or time.
    struct FileStamp {
        qint64 size = -1;
        qint64 modified = 0;
        bool operator==(const FileStamp&) const = default;
    };
    // A decoded picture with the version of the file it came from.
    struct Decoded {
        QString path;
        FileStamp stamp;
        std::unique_ptr<CBmpEx> picture;
    };

private:
    // What one prefetch run leaves for the UI thread once its task has ended.
    struct Outcome {
        QString path;
        std::optional<Decoded> decoded;
        bool collected = false; // moved into m_held already
    };

    // Moves the outcome of the current run into m_held, once.
    void collect();
    void dropHeld();

    WorkerRun m_run;
    std::shared_ptr<Outcome> m_outcome; // of the current run; null without one
    std::optional<Decoded> m_held;
    qint64 m_budgetBytes = kDefaultBudgetBytes;
};
