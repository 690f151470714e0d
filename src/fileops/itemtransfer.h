#pragma once
// ItemTransfer: copies or moves one item of a transfer (a file, a symbolic link or a whole folder)
// to a full target path, on the calling worker thread; TransferJob drives it item by item.
//
// Nothing is ever left half made: a file or a new folder is built under a temporary name beside
// its target and renamed into place only when whole (a new file of a copy is built without any
// name and linked in), so a failure or a Cancel removes the temporary and leaves the target as it
// was. A folder that exists at the target is merged into,
// each file arriving whole. Links are copied as links, never followed. A move is a rename on one
// file system whatever the size; across file systems the copy is compared with its source and
// flushed to the disk before the source goes (by settle(), one flush for all that arrived), so a
// failure at any point leaves the source whole.

#include <vector>

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include "platform/filecopy.h"

class RunProgress;

class ItemTransfer {
public:
    // Taken: the target's name was taken and replacing was not allowed.
    enum class Outcome { Done, Cancelled, Failed, Taken };

    // What a copy will carry: an item and, for a folder, everything in it, as found when measured.
    struct Tree {
        QString name;
        platform::EntryKind kind = platform::EntryKind::Other;
        qint64 size = 0; // bytes of a file
        std::vector<Tree> children;
    };

    explicit ItemTransfer(RunProgress& progress) : m_progress(progress) {}

    // Reads the item at `source` (not following a link) and adds its bytes to the progress total.
    // False when it is not there, with the reason.
    bool measure(const QString& source, Tree* tree);

    // Copies the measured item to `target`. `replace` lets an existing file there be replaced.
    Outcome copy(const QString& source, const Tree& tree, const QString& target, bool replace);
    // Moves the item: a rename on one file system, else a copy checked against the source, whose
    // source is removed by the next settle(). `tree` is the item as measured, or null when it was
    // not (it is then measured only when the move turns out to need a copy).
    Outcome move(const QString& source, const Tree* tree, const QString& target, bool replace);
    // Ends the moves that arrived by a copy since the last call: their drive is flushed to the
    // disk once, then their sources are removed. Where the flush fails, the sources stay and
    // `stayed` gets the targets of those items. Returns a sentence for each failure.
    QStringList settle(QStringList* stayed);
    // True when a source has waited for settle() for a second.
    bool settleDue() const;

    // The reason of the last failure: a sentence naming the file. Empty after a Cancel.
    const QString& error() const { return m_error; }

private:
    // Each entry is looked at once: `from` and `there` are what the source and the target were
    // when the item began.
    using Kind = platform::EntryKind;
    void start(bool moving, const QString& target);
    bool measureInto(const QString& path, Tree* tree);
    Outcome moveEntry(const QString& source, Kind from, const Tree* tree, const QString& target, Kind there,
                      bool replace);
    Outcome checkWay(const QString& source, bool folder, const QString& target, Kind there, bool replace);
    Outcome place(const QString& source, const Tree& tree, const QString& target, Kind there, bool replace,
                  bool moving);
    Outcome merge(const QString& source, const Tree& tree, const QString& target, bool moving);
    Outcome build(const QString& source, const Tree& tree, const QString& target);
    // Counts each piece of a file's copy into the progress and says whether to go on.
    platform::CopyProgress pieceCounter();
    // The outcome of one call that writes `target` from `source`.
    Outcome ended(const QString& source, const QString& target, const platform::CopyOutcome& outcome);
    Outcome check(const QString& source, const Tree& tree, const QString& copy);
    Outcome renameInto(const QString& source, const QString& target, bool replace);
    void removeMeasured(const QString& source, const Tree& tree, QStringList* failures);
    Outcome taken(const QString& target);
    Outcome fail(const QString& path, const QString& reason);
    static QString sentence(bool moving, const QString& path, const QString& itemTarget, const QString& reason);

    // A copy of a move that is in place, its source waiting for settle().
    struct Arrival {
        QString source;
        Tree tree;
        QString target;
        QString itemTarget; // the target of the item it belongs to
    };

    void arrived(Arrival arrival);

    RunProgress& m_progress;
    bool m_moving = false;
    QString m_target; // the item's target, named by the messages
    QString m_error;
    std::vector<Arrival> m_arrivals;
    QElapsedTimer m_waiting; // since the first of m_arrivals
};
