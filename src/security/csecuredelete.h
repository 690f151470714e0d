#pragma once
// CSecureDelete: erases files beyond recovery, as far as their file system lets a program reach
// the blocks that held them. Each file's data is written over nine times (0x00, 0xFF, random,
// three times over), every write on the disk before the next; the file then takes 26 names in
// turn, which hides its own, and goes. A file whose file system may keep old copies of its
// blocks (copy-on-write, compression, shared or inline data) or that has holes takes the same
// way, and its file system is named in foldersToClean(): filling that free space and giving it
// back (CleanFreeSpace) reaches what the overwrite could not.
//
// One object per command, used by one thread at a time. What goes wrong ends the item it concerns
// and is kept as a sentence for the user (failures()); a file that could not be erased keeps its
// own name and is never reported as erased.

#include <functional>

#include <QString>
#include <QStringList>

namespace platform {
class WipeFile;
}

class CSecureDelete {
public:
    // Each write that reached the disk: where in its file and how many bytes.
    using WriteObserver = std::function<void(qint64 offset, qint64 bytes)>;

    CSecureDelete() = default;
    virtual ~CSecureDelete() = default;

    void setWriteObserver(WriteObserver observer) { m_written = std::move(observer); }
    // Polled while free space is filled: true ends the filling early (the space goes back).
    void setStopCheck(std::function<bool()> stop) { m_stop = std::move(stop); }

    // Erases the file `path` (a full path). A folder, a link and anything else that is not a
    // plain file are left as they are.
    void SecureDelete(const QString& path);
    // Writes the nine patterns over `bytes` bytes of `file` from `offset`, in writes of at most
    // 64 KiB; false at the first write that fails.
    bool OverwriteRegion(platform::WipeFile& file, qint64 offset, qint64 bytes);
    // Overwrites the file `path` of `size` bytes through the file, renames it and deletes it. A
    // file that cannot be opened for writing stays unchanged; one whose overwrite fails stays
    // under its own name, partly overwritten.
    void OverwriteFile(const QString& path, qint64 size);
    // Renames the file 26 times, every character of its name but the dots becoming 'A', then
    // 'B', up to 'Z'; stops at the first rename that fails. Returns the name reached.
    static QString ScrambleName(const QString& path);
    // Fills the free space of the file system that holds `path` through files without a name in
    // its folder, each piece written over like a file's data, then gives the space back. A
    // network file system is left alone. False when no filling took place.
    bool CleanFreeSpace(const QString& path);

    // How often each byte is written over.
    static constexpr int kWritesPerByte = 9;
    // The bytes SecureDelete writes over a file of `size` bytes.
    static qint64 bytesWrittenFor(qint64 size);

    // Set once an erased file left blocks the overwrite may not have reached.
    bool freeSpaceNeeded() const { return !m_toClean.isEmpty(); }
    // One erased file's path per file system whose free space is to be cleaned.
    const QStringList& foldersToClean() const { return m_toClean; }
    // The erased files whose file system may still keep old copies of their data.
    const QStringList& oldCopiesKept() const { return m_oldCopies; }
    // What went wrong, one sentence per item.
    const QStringList& failures() const { return m_failures; }

private:
    bool writeThrough(platform::WipeFile& file, qint64 offset, qint64 bytes, const char* pattern);
    void needsCleaning(const QString& path);
    // Writes pieces of `chunk` bytes at the end of `file` until one fails, then `shrink` bytes
    // fewer each time down to `floor`; returns the piece size reached.
    qint64 fill(platform::WipeFile& file, qint64 chunk, qint64 shrink, qint64 floor);

    WriteObserver m_written;
    std::function<bool()> m_stop;
    QStringList m_toClean;
    // The devices of m_toClean, so each file asks the mount table once.
    QList<QByteArray> m_devicesToClean;
    QStringList m_oldCopies;
    QStringList m_failures;
};
