#include "imagelib/limits.h"

#include <cstdlib>

#include "imagelib/codecs/failure.h"

namespace imagelib {
namespace {

Limits g_limits;

} // namespace

const Limits& limits()
{
    return g_limits;
}

void setLimits(const Limits& limits)
{
    g_limits = limits;
}

bool sizeAllowed(qint64 width, qint64 height)
{
    return width > 0 && height > 0 && width <= g_limits.maxSide && height <= g_limits.maxSide &&
           width * height <= g_limits.maxPixels;
}

QImage allocateImage(qint64 width, qint64 height, QImage::Format format, Contents contents)
{
    if (!sizeAllowed(width, height))
        return {};
    // Rows of whole 32-bit words, as QImage lays out its own.
    const qint64 stride = (width * QImage::toPixelFormat(format).bitsPerPixel() + 31) / 32 * 4;
    if (stride * height > g_limits.maxDecodedBytes)
        return {};
    if (contents == Contents::Undefined)
        return QImage(int(width), int(height), format);
    void* pixels = std::calloc(size_t(stride * height), 1);
    if (!pixels)
        return {};
    return QImage(static_cast<uchar*>(pixels), int(width), int(height), qsizetype(stride), format, std::free, pixels);
}

bool DecodeBudget::take(const QImage& slide)
{
    if (m_slides >= g_limits.maxSlides || m_bytes + slide.sizeInBytes() > g_limits.maxDecodedBytes)
        return false;
    ++m_slides;
    m_bytes += slide.sizeInBytes();
    return true;
}

Failure tooManySlides()
{
    return Failure::tooLarge(QStringLiteral("more than %1 slides").arg(countText(g_limits.maxSlides)));
}

Failure DecodeBudget::refusal() const
{
    return m_slides >= g_limits.maxSlides
               ? tooManySlides()
               : Failure::tooLarge(QStringLiteral("more than %1 of pixels").arg(bytesText(g_limits.maxDecodedBytes)));
}

} // namespace imagelib
