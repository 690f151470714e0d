#include "viewer/shownpictureinfo.h"

#include <QFileInfo>

#include "imagelib/cbmpex.h"
#include "viewer/viewgeometry.h"

void ShownPictureInfo::read(const QString& path, const CBmpEx& picture)
{
    if (!m_fileInfo.GetInfo(path, m_info)) {
        const QSize size = picture.GetSize();
        m_info.width = size.width();
        m_info.height = size.height();
    }
    m_fileSizeText = viewgeometry::fileSizeText(QFileInfo(path).size());
    const int slides = picture.slideCount();
    // Icons hold sizes of one picture, not frames of an animation.
    m_slides = slides <= 0 || picture.sourceFormat() == kFlmIcon ? 1 : slides;
}

QString ShownPictureInfo::pictureText() const
{
    return viewgeometry::pictureText(m_info.width, m_info.height, m_info.colours, m_info.format);
}
