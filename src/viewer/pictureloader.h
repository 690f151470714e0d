#pragma once
// PictureLoader: reads the picture a move of the viewer shows into the current image, as fast as
// it can: from the look-ahead when it decoded that very picture already, else from the file into
// a spare picture that is swapped in only once it was read, so that a failed load leaves the
// shown picture whole. After each move it starts the look-ahead on the picture the user is
// likely to ask for next.
//
// UI thread only; the look-ahead decodes on a thread of its own (see CPictureLookahead).

#include <QObject>
#include <QString>

#include "imagelib/cbmpex.h"
#include "viewer/cpicturelookahead.h"

class PictureList;

class PictureLoader : public QObject {
    Q_OBJECT
public:
    explicit PictureLoader(QObject* parent = nullptr);

    // Puts the picture of `path` into `current`; false, and `current` unchanged, when it cannot
    // be read. Emits readingFile() first when the file itself has to be read.
    bool load(const QString& path, CBmpEx& current);
    // True while load() reads a file.
    bool loading() const { return m_loading; }

    // Prefetches the first row after the selected one of `list` in `direction` (1 or -1, going
    // round) that is a known picture or has a picture extension; nothing without a selected row
    // or with fewer than two rows.
    void prefetchFrom(const PictureList& list, int direction);
    // Cancels the look-ahead and drops what it holds (the viewer leaves).
    void clear() { m_lookahead.clear(); }
    CPictureLookahead& lookahead() { return m_lookahead; }

Q_SIGNALS:
    // A load found nothing prefetched and reads the file now, before the event loop runs again.
    void readingFile();

private:
    CBmpEx m_spare; // the picture shown before a move, its pixels reused by the next load
    bool m_loading = false;
    CPictureLookahead m_lookahead;
};
