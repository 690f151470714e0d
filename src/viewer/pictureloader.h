#pragma once
// PictureLoader: reads the picture a move of the viewer shows into the current image without
// holding up the UI thread: at once when the look-ahead decoded that very picture already, else
// on the executor, into a spare picture that is swapped in only once it was read, so that a
// failed load leaves the shown picture whole. Either way the picture comes laid out for the
// window (takeLayout()). A JPEG read from the file gives a quick preview first (its EXIF
// thumbnail or a 1/8-scale decode, on a thread of its own), shown until the picture is read.
// After each move the owner starts the look-ahead on the picture the user is likely to ask for
// next.
//
// UI thread API. One load at a time: a new load() drops the one in flight, whose result never
// arrives. The result comes as loaded(), on the UI thread, before load() returns when the
// look-ahead held the picture, else later from the event loop; the owner merges the moves asked
// for meanwhile (see CViewerController). clear() and the destructor cancel the load in flight
// and wait for its thread.

#include <optional>
#include <utility>

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>

#include "core/workerrun.h"
#include "imagelib/cbmpex.h"
#include "viewer/cpicturelookahead.h"

class PictureList;

class PictureLoader : public QObject {
    Q_OBJECT
public:
    explicit PictureLoader(QObject* parent = nullptr);
    ~PictureLoader() override;
    PictureLoader(const PictureLoader&) = delete;
    PictureLoader& operator=(const PictureLoader&) = delete;

    // Puts the picture of `path` into `current` (which must outlive the load), laid out for
    // `request`, or tells why it cannot: loaded() follows either way.
    void load(const QString& path, CBmpEx& current, const LayoutRequest& request);
    // The layout of the picture the last loaded() put into the current image; none after a
    // failure. Taken once.
    std::optional<PreparedLayout> takeLayout() { return std::exchange(m_layout, std::nullopt); }
    // True from a load() that did not end at once until its loaded().
    bool loading() const { return m_current != nullptr; }

    // Prefetches the first row after the selected one of `list` in `direction` (1 or -1, going
    // round) that the list counts as a picture, laid out for `request`; nothing without a
    // selected row or with fewer than two rows.
    void prefetchFrom(const PictureList& list, int direction, const LayoutRequest& request);
    // Cancels the load in flight and the look-ahead, and drops what it holds (the viewer leaves).
    void clear();
    CPictureLookahead& lookahead() { return m_lookahead; }

    // Why the picture of `path` could not be read into `picture`, in the user's words: "Cannot
    // read a.jpg: truncated file", or that the file does not exist.
    static QString failureText(const QString& path, const CBmpEx& picture);

Q_SIGNALS:
    // A load found nothing decoded and reads the file now: "Loading" is to be shown.
    void readingFile();
    // The file `path` being read is a picture of `size` (upright): `preview` stands for it until
    // loaded(). Comes at most once per load, and never after its loaded().
    void previewReady(const QString& path, const QImage& preview, QSize size);
    // The load of `path` ended: the picture is in the current image, or `failure` says why not
    // (the current image then is as it was).
    void loaded(const QString& path, const QString& failure);

private:
    // Reads the file on the executor.
    void read(const QString& path);
    // Decodes the preview on the executor, beside the read.
    void readPreview(const QString& path);
    // The look-ahead's decode of the path asked for ended.
    void prefetched(const QString& path);
    void finish(const QString& failure);

    CBmpEx m_spare; // the picture shown before a move, its pixels reused by the next load
    CPictureLookahead m_lookahead;
    WorkerRun m_run;
    WorkerRun m_previewRun;
    LayoutRequest m_request;     // of the load in flight
    std::optional<PreparedLayout> m_layout;
    QString m_path;              // the load in flight
    CBmpEx* m_current = nullptr; // where it goes; null without a load in flight
    bool m_awaitingLookahead = false;
};
