#include "fileops/itemtransfer.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include "core/runprogress.h"
#include "platform/filecopy.h"

namespace {

constexpr qint64 kCheckBlock = qint64(1) << 20;
// How long a moved file's source may wait for the flush that lets it go: long enough for one flush
// to serve many small files, short enough that a source is not kept (and changed meanwhile) for
// the length of a long run.
constexpr qint64 kSettleAfterMs = 1000;

QString tr(const char* text)
{
    return QCoreApplication::translate("ItemTransfer", text);
}

using platform::EntryKind;

QString childPath(const QString& folder, const QString& name)
{
    return folder + u'/' + name;
}

// Hidden, and short whatever the target's name, so that it fits every file system.
QString temporaryBeside(const QString& target)
{
    return QFileInfo(target).path() +
           QStringLiteral("/.pixoria-%1.part").arg(QRandomGenerator::global()->generate64(), 16, 16, QChar(u'0'));
}

void removeTemporary(const QString& path)
{
    if (platform::entryAt(path).kind == EntryKind::Folder)
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

// Why `source` (of kind `from`) may not go to `target` (of kind `there`) at all, or nothing.
QString refusal(const QString& source, EntryKind from, const QString& target, EntryKind there)
{
    if (there != EntryKind::None && platform::sameFile(source, target))
        return tr("it would replace itself");
    if (from != EntryKind::Folder)
        return {};
    const QString inside = QFileInfo(source).canonicalFilePath() + u'/';
    const QString place = QFileInfo(QFileInfo(target).path()).canonicalFilePath() + u'/';
    return place.startsWith(inside) ? tr("a folder cannot go into itself") : QString();
}

} // namespace

bool ItemTransfer::measure(const QString& source, Tree* tree)
{
    m_error.clear();
    return measureInto(source, tree);
}

bool ItemTransfer::measureInto(const QString& path, Tree* tree)
{
    const platform::Entry entry = platform::entryAt(path);
    tree->name = path.sliced(path.lastIndexOf(u'/') + 1);
    tree->kind = entry.kind;
    if (entry.kind == EntryKind::None) {
        fail(path, tr("it is no longer there"));
        return false;
    }
    tree->size = entry.size;
    m_progress.addTotal(entry.size);
    if (entry.kind != EntryKind::Folder)
        return true;
    if (const QFileInfo info(path); !info.isReadable() || !info.isExecutable()) {
        fail(path, tr("the folder cannot be read"));
        return false;
    }
    const QStringList names =
        QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    tree->children.resize(size_t(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (!measureInto(childPath(path, names[i]), &tree->children[size_t(i)]))
            return false;
    }
    return true;
}

ItemTransfer::Outcome ItemTransfer::copy(const QString& source, const Tree& tree, const QString& target, bool replace)
{
    start(false, target);
    const EntryKind there = platform::entryAt(target).kind;
    if (const QString reason = refusal(source, tree.kind, target, there); !reason.isEmpty())
        return fail(source, reason);
    return place(source, tree, target, there, replace, false);
}

ItemTransfer::Outcome ItemTransfer::move(const QString& source, const Tree* tree, const QString& target, bool replace)
{
    start(true, target);
    const EntryKind from = platform::entryAt(source).kind;
    const EntryKind there = platform::entryAt(target).kind;
    if (const QString reason = refusal(source, from, target, there); !reason.isEmpty())
        return fail(source, reason);
    return moveEntry(source, from, tree, target, there, replace);
}

void ItemTransfer::start(bool moving, const QString& target)
{
    m_moving = moving;
    m_target = target;
    m_error.clear();
}

ItemTransfer::Outcome ItemTransfer::moveEntry(const QString& source, EntryKind from, const Tree* tree,
                                              const QString& target, EntryKind there, bool replace)
{
    if (m_progress.cancelled())
        return Outcome::Cancelled;
    if (from == EntryKind::None)
        return fail(source, tr("it is no longer there"));
    if (from == EntryKind::Folder && there == EntryKind::Folder) {
        if (platform::onFileSystemOf(source, target)) {
            // Merging into a folder of that name: each entry by a rename of its own.
            const QStringList names = QDir(source).entryList(
                QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
            for (const QString& name : names) {
                const QString entry = childPath(source, name);
                const QString into = childPath(target, name);
                if (const Outcome outcome = moveEntry(entry, platform::entryAt(entry).kind, nullptr, into,
                                                      platform::entryAt(into).kind, true);
                    outcome != Outcome::Done)
                    return outcome;
            }
            QDir().rmdir(source);
            return Outcome::Done;
        }
    } else {
        if (const Outcome outcome = checkWay(source, from == EntryKind::Folder, target, there, replace);
            outcome != Outcome::Done)
            return outcome;
        // The rename itself tells whether both lie on one file system: no look beforehand.
        const platform::RenameOutcome renamed = platform::renameEntry(source, target, there != EntryKind::None);
        if (renamed.end == platform::RenameEnd::Done)
            return Outcome::Done;
        if (renamed.end == platform::RenameEnd::TargetExists)
            return taken(target);
        if (renamed.end == platform::RenameEnd::Failed)
            return fail(source, renamed.error);
        // Another drive, or a mount point under the source folder: copied like any other drive.
    }
    Tree measured;
    if (!tree) {
        if (!measureInto(source, &measured))
            return Outcome::Failed;
        tree = &measured;
    }
    return place(source, *tree, target, there, replace, true);
}

// Whether a new item may take the place `target`: an existing entry there is in the way unless
// it is a file that `replace` lets go.
ItemTransfer::Outcome ItemTransfer::checkWay(const QString& source, bool folder, const QString& target, EntryKind there,
                                             bool replace)
{
    if (there == EntryKind::None)
        return Outcome::Done;
    if (folder || there == EntryKind::Folder)
        return fail(source, tr("%1 is in the way").arg(QDir::toNativeSeparators(target)));
    return replace ? Outcome::Done : taken(target);
}

ItemTransfer::Outcome ItemTransfer::place(const QString& source, const Tree& tree, const QString& target,
                                          EntryKind there, bool replace, bool moving)
{
    if (m_progress.cancelled())
        return Outcome::Cancelled;
    const bool folder = tree.kind == EntryKind::Folder;
    if (folder && there == EntryKind::Folder)
        return merge(source, tree, target, moving);
    if (const Outcome outcome = checkWay(source, folder, target, there, replace); outcome != Outcome::Done)
        return outcome;
    if (!moving && tree.kind == EntryKind::File && there == EntryKind::None) {
        // A new file needs no temporary name: it is written without one and linked in when whole.
        m_progress.setItem(source);
        const platform::CopyOutcome copied = platform::copyNewFile(source, target, pieceCounter());
        if (copied.end != platform::CopyEnd::NotOffered)
            return ended(source, target, copied);
    }
    const QString temporary = temporaryBeside(target);
    Outcome outcome = build(source, tree, temporary);
    if (outcome == Outcome::Done && moving)
        outcome = check(source, tree, temporary);
    if (outcome == Outcome::Done)
        outcome = renameInto(temporary, target, there != EntryKind::None);
    if (outcome != Outcome::Done) {
        removeTemporary(temporary);
        return outcome;
    }
    // The source goes only once its copy is on the disk: settle() flushes the drive once for all
    // that arrived, where a flush per file would write out the whole drive for each.
    if (moving)
        arrived({source, tree, target, m_target});
    return Outcome::Done;
}

void ItemTransfer::arrived(Arrival arrival)
{
    if (m_arrivals.empty())
        m_waiting.start();
    m_arrivals.push_back(std::move(arrival));
}

bool ItemTransfer::settleDue() const
{
    return !m_arrivals.empty() && m_waiting.hasExpired(kSettleAfterMs);
}

QStringList ItemTransfer::settle(QStringList* stayed)
{
    QStringList failures;
    std::vector<std::pair<QString, bool>> flushed; // a folder of each drive, and whether it flushed
    for (const Arrival& arrival : std::exchange(m_arrivals, {})) {
        const QString folder = QFileInfo(arrival.target).path();
        auto drive = std::find_if(flushed.begin(), flushed.end(),
                                  [&](const auto& done) { return platform::onFileSystemOf(folder, done.first); });
        if (drive == flushed.end())
            drive = flushed.insert(drive, {folder, platform::flushFileSystem(folder)});
        if (drive->second) {
            removeMeasured(arrival.source, arrival.tree, &failures);
        } else if (arrival.target == arrival.itemTarget) {
            // One sentence per item: a merged folder's own arrival comes after its files'.
            failures << sentence(true, arrival.target, arrival.itemTarget,
                                 tr("the copy could not be written to the disk"));
            *stayed << arrival.itemTarget;
        }
    }
    return failures;
}

ItemTransfer::Outcome ItemTransfer::merge(const QString& source, const Tree& tree, const QString& target, bool moving)
{
    for (const Tree& child : tree.children) {
        const QString to = childPath(target, child.name);
        if (const Outcome outcome =
                place(childPath(source, child.name), child, to, platform::entryAt(to).kind, true, moving);
            outcome != Outcome::Done)
            return outcome;
    }
    // The folder itself goes once settle() has removed what it held.
    if (moving)
        arrived({source, Tree{tree.name, EntryKind::Folder, 0, {}}, target, m_target});
    return Outcome::Done;
}

ItemTransfer::Outcome ItemTransfer::build(const QString& source, const Tree& tree, const QString& target)
{
    if (m_progress.cancelled())
        return Outcome::Cancelled;
    platform::CopyOutcome outcome;
    switch (tree.kind) {
    case EntryKind::File:
        m_progress.setItem(source);
        outcome = platform::copyFile(source, target, pieceCounter());
        break;
    case EntryKind::Link:
        outcome = platform::copyLink(source, target);
        break;
    case EntryKind::Folder:
        if (outcome = platform::makeFolder(target); outcome.end != platform::CopyEnd::Done)
            return fail(source, outcome.error);
        for (const Tree& child : tree.children) {
            if (const Outcome built = build(childPath(source, child.name), child, childPath(target, child.name));
                built != Outcome::Done)
                return built;
        }
        return Outcome::Done;
    case EntryKind::None:
    case EntryKind::Other:
        return fail(source, tr("it is not a file, a folder or a link"));
    }
    return ended(source, target, outcome);
}

platform::CopyProgress ItemTransfer::pieceCounter()
{
    return [this](qint64 bytes) {
        m_progress.addDone(bytes);
        return !m_progress.cancelled();
    };
}

ItemTransfer::Outcome ItemTransfer::ended(const QString& source, const QString& target,
                                          const platform::CopyOutcome& outcome)
{
    switch (outcome.end) {
    case platform::CopyEnd::Done:
        return Outcome::Done;
    case platform::CopyEnd::Cancelled:
        return Outcome::Cancelled;
    case platform::CopyEnd::TargetExists:
        return taken(target);
    case platform::CopyEnd::Failed:
    case platform::CopyEnd::NotOffered:
        break;
    }
    return fail(source, outcome.error);
}

// Reads the copy back against its source: what arrived must be the bytes that left.
ItemTransfer::Outcome ItemTransfer::check(const QString& source, const Tree& tree, const QString& copy)
{
    if (tree.kind == EntryKind::Folder) {
        for (const Tree& child : tree.children) {
            if (const Outcome outcome = check(childPath(source, child.name), child, childPath(copy, child.name));
                outcome != Outcome::Done)
                return outcome;
        }
        return Outcome::Done;
    }
    if (tree.kind != EntryKind::File)
        return Outcome::Done;
    QFile original(source);
    QFile copied(copy);
    if (!original.open(QIODevice::ReadOnly) || !copied.open(QIODevice::ReadOnly) || original.size() != copied.size())
        return fail(source, tr("the copy differs from the original"));
    while (!original.atEnd()) {
        if (m_progress.cancelled())
            return Outcome::Cancelled;
        const QByteArray block = original.read(kCheckBlock);
        if (block.isEmpty() || copied.read(kCheckBlock) != block)
            return fail(source, tr("the copy differs from the original"));
    }
    return Outcome::Done;
}

ItemTransfer::Outcome ItemTransfer::renameInto(const QString& source, const QString& target, bool replace)
{
    const platform::RenameOutcome renamed = platform::renameEntry(source, target, replace);
    if (renamed.end == platform::RenameEnd::TargetExists)
        return taken(target);
    if (renamed.end != platform::RenameEnd::Done)
        return fail(target, renamed.error);
    return Outcome::Done;
}

// Removes what was measured and copied, nothing that came into a folder since.
void ItemTransfer::removeMeasured(const QString& source, const Tree& tree, QStringList* failures)
{
    if (tree.kind == EntryKind::Folder) {
        for (const Tree& child : tree.children)
            removeMeasured(childPath(source, child.name), child, failures);
        QDir().rmdir(source);
        return;
    }
    QFile file(source);
    if (!file.remove())
        *failures << tr("%1 was moved, but the original could not be removed: %2")
                         .arg(QDir::toNativeSeparators(source), file.errorString());
}

ItemTransfer::Outcome ItemTransfer::taken(const QString& target)
{
    m_error = (m_moving ? tr("Cannot move to %1: an item of that name already exists.")
                        : tr("Cannot copy to %1: an item of that name already exists."))
                  .arg(QDir::toNativeSeparators(target));
    return Outcome::Taken;
}

ItemTransfer::Outcome ItemTransfer::fail(const QString& path, const QString& reason)
{
    m_error = sentence(m_moving, path, m_target, reason);
    return Outcome::Failed;
}

QString ItemTransfer::sentence(bool moving, const QString& path, const QString& itemTarget, const QString& reason)
{
    return (moving ? tr("Cannot move %1 to %2: %3.") : tr("Cannot copy %1 to %2: %3."))
        .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(QFileInfo(itemTarget).path()), reason);
}
