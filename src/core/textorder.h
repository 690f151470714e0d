#pragma once
// The order of names in every list of the program: QString::compare's, case-insensitive unless
// asked otherwise, so that the browser's list and the viewer's own list of a folder walk the
// same names in the same order. Any thread.
//
// Inline: sorting 100,000 names calls it millions of times from other libraries, where a call
// it could not inline would cost a good part of reading a big folder.

#include <algorithm>

#include <QString>
#include <QStringView>

namespace textorder {

inline char16_t foldAscii(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

// Negative, 0 or positive as `a` sorts before, with or after `b`. Names are mostly ASCII: the
// case-insensitive walk over them is done here, and QString takes over at the first other
// character.
inline int compareText(QStringView a, QStringView b, Qt::CaseSensitivity cs = Qt::CaseInsensitive)
{
    if (cs == Qt::CaseSensitive)
        return a.compare(b, cs);
    const qsizetype common = std::min(a.size(), b.size());
    const char16_t* left = a.utf16();
    const char16_t* right = b.utf16();
    for (qsizetype i = 0; i < common; ++i) {
        if (left[i] >= 0x80 || right[i] >= 0x80)
            return a.sliced(i).compare(b.sliced(i), Qt::CaseInsensitive);
        const char16_t x = foldAscii(left[i]);
        const char16_t y = foldAscii(right[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace textorder
