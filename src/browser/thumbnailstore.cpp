#include "browser/thumbnailstore.h"

#include <QPainter>
#include <QRect>

int CThumbnailStore::add(const QImage& picture)
{
    if (picture.isNull() || picture.width() > kPictureArea || picture.height() > kPictureArea)
        return -1;
    m_pictures.push_back(picture);
    m_bytes += picture.sizeInBytes();
    return count() - 1;
}

bool CThumbnailStore::draw(QPainter* painter, const QPoint& topLeft, int index) const
{
    if (!painter || index < 0 || index >= count())
        return false;
    const QImage& picture = m_pictures[std::size_t(index)];
    const QRect cell(topLeft, QSize(kCellSize, kCellSize));
    // A picture the worker shrank already sits where DrawThumbnail would put its original.
    const QRect place = thumbnailcell::thumbnailPlace(picture.size(), cell.size());
    thumbnailcell::drawThumbnailFrame(painter, cell, place, colours);
    painter->drawImage(place.topLeft() + topLeft, picture);
    return true;
}

void CThumbnailStore::clear()
{
    m_pictures.clear();
    m_pictures.shrink_to_fit();
    m_bytes = 0;
}
