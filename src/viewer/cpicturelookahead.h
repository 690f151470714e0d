#pragma once
// CPictureLookahead: decodes the picture the viewer is likely to show next while the current one
// is on screen, and lays it out as it will be drawn (scaled to the window in the fit mode it will
// be shown in), so that moving to it finds the pixels ready to be copied.
//
// UI thread API. Each prefetch is a run of its own on the executor that decodes into a CBmpEx of
// its own (its own library handle, the run's stop flag as cancel flag), then lays it out for the
// latest layout request. A new request (the window resized, another fit mode) makes the held
// layout stale: a run of its own lays the held picture out again. The UI thread never waits
// for a run, except in take() for exactly the picture it asks for (see there). At most one
// decoded picture is held; a newer prefetch() cancels the decode of an older one and drops what
// it left. Deleting the object cancels a running decode and waits for it.

#include <memory>
#include <optional>

#include <QObject>
#include <QString>

#include "core/workerrun.h"
#include "viewer/preparedlayout.h"

class CBmpEx;

class CPictureLookahead : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kDefaultBudgetBytes = qint64(512) << 20;

    explicit CPictureLookahead(QObject* parent = nullptr);
    ~CPictureLookahead() override;
    CPictureLookahead(const CPictureLookahead&) = delete;
    CPictureLookahead& operator=(const CPictureLookahead&) = delete;

    // Starts decoding `path` in the background and laying it out for `request`. Asking again for
    // the picture being decoded or already held (and unchanged on disk) costs nothing but the
    // layout when the request changed (see setLayoutRequest()).
    void prefetch(const QString& path, const LayoutRequest& request = {});
    // The window or the fit mode changed: the picture held is laid out again for `request` in the
    // background, and one being decoded is laid out for it once decoded.
    void setLayoutRequest(const LayoutRequest& request);
    // True when the picture of exactly `path` was decoded and the file still has the size and
    // modification time it had when decoding started: the picture then moves into `current`
    // (whose picture is freed off this thread), its layout into `layout` (when given), and is no
    // longer held. The layout may be one for an older request: the caller checks that it fits.
    // False otherwise, and the caller loads the file itself; a held picture of a changed file is
    // dropped.
    // When `path` is being decoded or laid out right now, this waits for that run to end (one not
    // begun yet runs here): the rest of a decode never takes longer than a fresh one by the caller.
    bool take(const QString& path, CBmpEx& current, std::optional<PreparedLayout>* layout = nullptr);
    // Cancels the running decode and drops the held picture (the viewer leaves).
    void clear();
    // True while `path` is being decoded or laid out: prefetched() tells when that ended, and
    // take() then takes it without waiting.
    bool isDecoding(const QString& path) const
    {
        return m_outcome && m_outcome->path == path && !m_outcome->collected;
    }

    // Pictures whose decoded pixels (width x height x 4 for every slide) pass this many bytes are
    // not prefetched. Applies to the following prefetches.
    void setBudgetBytes(qint64 bytes);
    qint64 budgetBytes() const { return m_budgetBytes; }

Q_SIGNALS:
    // A prefetch or a new layout of the held picture ended, on the UI thread, for the latest run
    // only: `held` tells whether its picture is ready for take() (false: not a picture, over the
    // budget, or vanished).
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
        std::optional<PreparedLayout> layout;
    };
    // The layout of the picture held, for tests and benchmarks; none without one.
    const PreparedLayout* heldLayout() const { return m_held && m_held->layout ? &*m_held->layout : nullptr; }

private:
    // What one run leaves for the UI thread once its task has ended. A run that lays out again
    // starts with the held picture in `decoded`.
    struct Outcome {
        QString path;
        LayoutRequest request;
        std::optional<Decoded> decoded;
        bool collected = false; // moved into m_held already
    };

    // Runs `outcome` on the executor: decodes unless it holds its picture already, lays it out.
    void startRun(std::shared_ptr<Outcome> outcome);
    // Moves the outcome of the current run into m_held, once.
    void collect();
    // Lays the held picture out again when its layout is not for the latest request.
    void layOutAgainIfStale();
    void dropHeld();
    // Frees a picture off this thread.
    static void dropLater(std::optional<Decoded>& decoded);

    WorkerRun m_run;
    std::shared_ptr<Outcome> m_outcome; // of the current run; null without one
    std::optional<Decoded> m_held;
    LayoutRequest m_request;
    qint64 m_budgetBytes = kDefaultBudgetBytes;
};
