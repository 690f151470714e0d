#include "viewer/pictureloader.h"

#include "fileops/cfileinfo.h"
#include "viewer/logging.h"
#include "viewer/picturelist.h"

PictureLoader::PictureLoader(QObject* parent) : QObject(parent) {}

bool PictureLoader::load(const QString& path, CBmpEx& current)
{
    if (m_lookahead.take(path, current))
        return true;
    m_loading = true;
    Q_EMIT readingFile();
    const bool loaded = m_spare.Load(path);
    m_loading = false;
    if (!loaded) {
        qCDebug(lcViewer) << "passed over" << path << "(it does not load)";
        return false;
    }
    // The spare keeps the picture shown before: the next load of the same size decodes into its
    // pixels instead of asking the system for fresh ones.
    current.swapPicture(m_spare);
    return true;
}

void PictureLoader::prefetchFrom(const PictureList& list, int direction)
{
    const int count = list.rowCount();
    const int start = list.firstSelectedRow();
    if (start < 0 || count < 2)
        return;
    for (int step = 1; step < count; ++step) {
        const int row = ((start + direction * step) % count + count) % count;
        const QString name = list.rowName(row);
        if (list.isKnownPicture(row) || CFileInfo::IsImageByExtension(name)) {
            m_lookahead.prefetch(list.folder() + name);
            return;
        }
    }
}
