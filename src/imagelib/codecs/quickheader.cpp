// The file list's quick header scan: seven formats known by their first bytes alone, each header
// read by its own reader's code with the list's rules (see the *QuickHeader functions).
#include "imagelib/codecs/codec.h"

#include "imagelib/flm.h"

namespace imagelib {
namespace {

// The bytes the signatures need: the enhanced metafile's lies at 40.
constexpr qsizetype kSignatureBytes = 100;

// The byte at `offset`, or -1 past the end, so that short heads simply match nothing.
int byteAt(QByteArrayView head, qsizetype offset)
{
    return offset < head.size() ? int(uchar(head[offset])) : -1;
}

// By the first bytes alone, more loosely than the readers sniff: the list shows a file's type
// even when its header then gives no size.
int formatOf(QByteArrayView head)
{
    if (head.startsWith("BM"))
        return kFlmBmp;
    if (head.startsWith("\xD7\xCD\xC6\x9A")) // the key of the placeable header
        return kFlmWmf;
    // " EMF" stands at 40, in the header record.
    if (head.size() >= 44 && head.sliced(41, 3) == "EMF")
        return kFlmEmf;
    if (head.startsWith("GIF8"))
        return kFlmGif;
    if (byteAt(head, 0) == 0 && byteAt(head, 1) == 0 && byteAt(head, 3) == 0) {
        if (byteAt(head, 2) == 2)
            return kFlmCursor;
        if (byteAt(head, 2) == 1)
            return kFlmIcon;
    }
    if (byteAt(head, 0) == 0xFF && byteAt(head, 1) == 0xD8)
        return kFlmJpeg;
    return kFlmUnknown;
}

} // namespace

bool readQuickHeader(SourceFile& file, HeaderInfo& info)
{
    const QByteArrayView head = file.head(kSignatureBytes);
    info.format = formatOf(head);
    switch (info.format) {
    case kFlmBmp:
        return bmpQuickHeader(head, info);
    case kFlmGif:
        return gifQuickHeader(head, info);
    case kFlmCursor:
    case kFlmIcon:
        return iconQuickHeader(head, info);
    case kFlmJpeg:
        return jpegQuickHeader(file, info);
    default:
        return false; // a metafile's size needs its records
    }
}

} // namespace imagelib
