#pragma once
// CStorageFile: one ".mpxf" container, a compound (structured storage) file written and read with
// libgsf: one stream per encrypted file, directly under the root, named after that file. Other
// tools read it as any compound file (`gsf list`, Python's olefile).
//
// An object holds at most one open container, for writing (Create) or for reading (Open); Close
// (or the destructor) finishes it. A container being written appears under its name only once
// closed. Any thread, one object per thread.

#include <QByteArray>
#include <QString>
#include <QStringList>

struct _GsfInfile;
struct _GsfOutfile;

class CStorageFile {
public:
    // A compound file cannot name a stream with more than 31 characters; libgsf would cut a
    // longer name, so that two of them could meet under one name.
    static constexpr int kMaxStreamName = 31;
    static bool fitsStreamName(const QString& name) { return name.size() <= kMaxStreamName; }

    CStorageFile() = default;
    ~CStorageFile();
    CStorageFile(const CStorageFile&) = delete;
    CStorageFile& operator=(const CStorageFile&) = delete;

    // Each returns false with the reason in `*error` when it fails.
    // Starts a new container at `path` (replacing one there once closed); fails while one is open.
    bool Create(const QString& path, QString* error);
    // Opens the container `path` for reading.
    bool Open(const QString& path, QString* error);
    // Adds the whole file `file` as the stream `streamName` (which must fit) of a created container.
    bool AddFile(const QString& file, const QString& streamName, QString* error);
    // The names of the streams of an opened container, in the order of the storage.
    QStringList StreamNames() const;
    // The content of one stream of an opened container; false when it is missing or unreadable.
    bool ReadStream(const QString& streamName, QByteArray* content, QString* error) const;
    // Writes every stream of an opened container, in the order of the storage, to `folder` (ending
    // with "/") + the stream's name; `*written` gets the paths in that order. A stream whose name
    // is not a plain file name is left out; one whose file exists already is a failure, so that
    // no file is written over. On a failure the files written so far stay listed in `*written`.
    bool ExtractAll(const QString& folder, QStringList* written, QString* error) const;
    // Finishes a created container (then it is complete under its name) or releases an opened one.
    bool Close(QString* error = nullptr);

    // Whether `path` begins like a compound file.
    static bool IsStorageFile(const QString& path);

private:
    // False, with the reason, while a container is open.
    bool mayOpen(QString* error) const;

    _GsfOutfile* m_out = nullptr;
    _GsfInfile* m_in = nullptr;
};
