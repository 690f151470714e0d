#include "imagelib/limits.h"

namespace imagelib {

bool sizeAllowed(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

QImage allocateImage(qint64 width, qint64 height, QImage::Format format)
{
    if (!sizeAllowed(width, height))
        return {};
    QImage image(int(width), int(height), format);
    if (image.isNull() || image.sizeInBytes() > kMaxDecodedBytes)
        return {};
    return image;
}

bool DecodeBudget::take(const QImage& slide)
{
    if (m_slides >= kMaxSlides || m_bytes + slide.sizeInBytes() > kMaxDecodedBytes)
        return false;
    ++m_slides;
    m_bytes += slide.sizeInBytes();
    return true;
}

Failure tooManySlides()
{
    return Failure::tooLarge(QStringLiteral("more than %1 slides").arg(countText(kMaxSlides)));
}

Failure DecodeBudget::refusal() const
{
    return m_slides >= kMaxSlides
               ? tooManySlides()
               : Failure::tooLarge(QStringLiteral("more than %1 of pixels").arg(bytesText(kMaxDecodedBytes)));
}

} // namespace imagelib
