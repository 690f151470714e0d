#include "exifthumbnail.h"

namespace bench {

bool isJpeg(QByteArrayView head)
{
    return head.startsWith(QByteArrayView("\xFF\xD8\xFF"));
}

QByteArrayView exifThumbnail(QByteArrayView head)
{
    if (!isJpeg(head))
        return {};
    qsizetype at = 2;
    while (at + 4 <= head.size() && uchar(head[at]) == 0xFF) {
        const uchar marker = uchar(head[at + 1]);
        const qsizetype length = (uchar(head[at + 2]) << 8) | uchar(head[at + 3]);
        if (marker == 0xDA || length < 2 || at + 2 + length > head.size())
            return {};
        const QByteArrayView segment = head.sliced(at + 4, length - 2);
        if (marker == 0xE1 && segment.startsWith(QByteArrayView("Exif\0\0", 6))) {
            const qsizetype start = segment.indexOf(QByteArrayView("\xFF\xD8\xFF"));
            return start < 0 ? QByteArrayView() : segment.sliced(start);
        }
        at += 2 + length;
    }
    return {};
}

} // namespace bench
