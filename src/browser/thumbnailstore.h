#pragma once
// CThumbnailStore: the file list's thumbnail image list. A cell keeps only its picture, already
// shrunk by the thumbnail worker to the size thumbnailcell::DrawThumbnail gives it in a 76 x 76 cell
// (at most 66 x 66, 3 bytes a pixel when opaque); the frame, the button face and the picture's
// border are drawn at paint time: 10,000 camera pictures take about 100 MB, whole 24-bit cells
// would take 175.
// Indexes stay valid until clear(). UI thread only.

#include <vector>

#include <QImage>
#include <QPoint>

#include "browser/thumbnailcell.h"

class QPainter;

class CThumbnailStore {
public:
    static constexpr int kCellSize = 76;
    // The largest picture a cell shows: the cell less its margins.
    static constexpr int kPictureArea = kCellSize - 10;

    // Keeps a picture as CThumbnailWorker makes it and returns its index; -1, keeping nothing,
    // for a null picture or one larger than kPictureArea in either direction.
    int add(const QImage& picture);
    // Draws cell `index` with its top-left corner at `topLeft`: the pixels DrawThumbnail draws
    // into a 76 x 76 cell for the same picture. False, drawing nothing, for an unknown index.
    bool draw(QPainter* painter, const QPoint& topLeft, int index) const;
    void clear();

    int count() const { return int(m_pictures.size()); }
    // Bytes the kept pixels take.
    qint64 byteSize() const { return m_bytes; }

    thumbnailcell::ThumbnailColours colours;

private:
    std::vector<QImage> m_pictures;
    qint64 m_bytes = 0;
};
