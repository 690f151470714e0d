#pragma once
// ThumbnailCache: the desktop's shared thumbnail cache ($XDG_CACHE_HOME/thumbnails), read and
// written as every freedesktop program does, so that thumbnails other programs made serve us and
// ours serve them and our next visit of a folder.
//
// A file's entry is named by the MD5 of its file URI and holds a PNG of at most 128 x 128 (the
// "normal" size) whose text keys Thumb::URI and Thumb::MTime must match the file; anything else
// is stale and made again. Files that cannot be read get an entry under
// fail/zelt-pixoria-<version>/ and are not tried again until their modification time changes.
// Entries are written through a temporary file in the same folder and a rename, as 0600 files in
// 0700 folders; files inside the cache itself are never thumbnailed into it.
//
// The object is immutable after construction: any thread may call it at any time. Failures to
// read or write the cache are not errors of the caller: a lookup then finds nothing and a write
// leaves nothing behind.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

class ThumbnailCache {
public:
    // The largest side of a "normal" thumbnail.
    static constexpr int kNormalSize = 128;

    // What the cache says of one file; find() fills it, keep() and keepFailure() take it back.
    struct Entry {
        enum State {
            Excluded, // not the cache's business: inside the cache, gone, or not a file
            Missing,  // no valid thumbnail and no valid fail entry: make one and keep it
            Kept,     // `picture` is a valid thumbnail
            Failed,   // another attempt failed on the file as it is now
        };
        State state = Excluded;
        QImage picture;
        // The file as it was looked up, which the written entry records.
        QByteArray uri;
        qint64 mtime = 0;
        qint64 size = 0;
    };

    // A cache whose thumbnails folder is `root` (standardRoot() for the desktop's own).
    explicit ThumbnailCache(const QString& root);
    // $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails.
    static QString standardRoot();

    // Looks up the file at the absolute `path`: reads the entry's text keys and decodes its
    // picture only when they match the file.
    Entry find(const QString& path) const;
    // Writes `picture` (at most kNormalSize on either side) as the thumbnail of a Missing entry
    // of a picture of `original` size, which the entry records when valid; false, writing
    // nothing, for another state or when the cache cannot be written.
    bool keep(const Entry& entry, const QImage& picture, QSize original) const;
    // Records that a Missing entry's file could not be read; false as for keep().
    bool keepFailure(const Entry& entry) const;
    // The entry files of the file at `path` that exist, in every size other programs write too
    // and in our fail folder: what shows the file's content or name once it is gone.
    QStringList entriesOf(const QString& path) const;

private:
    QString m_root; // absolute, without a trailing '/'
    QString m_normal;
    QString m_fail;
};
