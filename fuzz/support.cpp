#include "support.h"

#include <cstdio>
#include <cstdlib>

#include "imagelib/limits.h"

namespace fuzz {

void require(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "contract broken: %s\n", what);
    std::abort();
}

void lowerLimits()
{
    imagelib::Limits limits;
    limits.maxPixels = qint64(1) << 20;
    limits.maxSide = 16384;
    limits.maxDecodedBytes = qint64(1) << 26;
    limits.maxSlides = 256;
    limits.maxFileBytes = qint64(1) << 20;
    imagelib::setLimits(limits);
}

ProgressRule::ProgressRule(QByteArrayView input)
{
    const int last = input.isEmpty() ? 0 : static_cast<unsigned char>(input.back());
    if ((last & 0x0F) == 0x0F)
        m_stopAt = last >> 4;
}

bool ProgressRule::report(int percent)
{
    require(percent >= 0 && percent <= 100, "progress outside 0..100");
    // Once cancelled, stays cancelled, as a caller's stop flag does.
    return m_stopAt < 0 || m_reports++ < m_stopAt;
}

} // namespace fuzz
