#pragma once
// Small pieces our own readers share: byte-order reads from a file held in memory and the
// PackBits run-length scheme (Photoshop rows, ILBM ByteRun1). Callers check the bounds of a
// read before they make it; the run-length expander checks its own.

#include <cstring>

#include <QByteArrayView>
#include <QtEndian>

namespace imagelib {

inline quint16 readBe16(QByteArrayView data, qsizetype offset)
{
    return qFromBigEndian<quint16>(data.data() + offset);
}

inline quint32 readBe32(QByteArrayView data, qsizetype offset)
{
    return qFromBigEndian<quint32>(data.data() + offset);
}

inline quint16 readLe16(QByteArrayView data, qsizetype offset)
{
    return qFromLittleEndian<quint16>(data.data() + offset);
}

inline quint32 readLe32(QByteArrayView data, qsizetype offset)
{
    return qFromLittleEndian<quint32>(data.data() + offset);
}

// True when `count` bytes from `offset` lie inside `data`; safe against overflowing sums.
inline bool fits(QByteArrayView data, qint64 offset, qint64 count)
{
    return offset >= 0 && count >= 0 && offset <= data.size() && count <= data.size() - offset;
}

// Expands PackBits data from in[position] until `size` bytes of `out` are filled and moves
// `position` past what it used. A run reaching past the end of `out` is cut there, as writers
// that pack several rows in one stream expect. False when the data ends before `out` is full.
inline bool unpackBits(QByteArrayView in, qsizetype& position, uchar* out, qsizetype size)
{
    qsizetype filled = 0;
    while (filled < size) {
        if (position >= in.size())
            return false;
        const int control = qint8(in[position++]);
        if (control >= 0) {
            const qsizetype count = control + 1;
            if (count > in.size() - position)
                return false;
            const qsizetype used = qMin(count, size - filled);
            std::memcpy(out + filled, in.data() + position, size_t(used));
            position += count;
            filled += used;
        } else if (control != -128) { // -128 is a no-op some writers emit
            if (position >= in.size())
                return false;
            const qsizetype used = qMin<qsizetype>(1 - control, size - filled);
            std::memset(out + filled, uchar(in[position++]), size_t(used));
            filled += used;
        }
    }
    return true;
}

} // namespace imagelib
