#include "support.h"

#include <cstdio>
#include <cstdlib>

namespace fuzz {

void require(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "contract broken: %s\n", what);
    std::abort();
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
