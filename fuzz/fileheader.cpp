// The file list's quick header reader over arbitrary bytes: whatever the first bytes claim, it
// answers without reading past what it needs, and a size it reports is a real one.

#include <cstddef>
#include <cstdint>

#include <QBuffer>
#include <QByteArray>

#include "fileops/cfileinfo.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QByteArray bytes = fuzz::bytesOf(data, size).toByteArray();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CFileInfo::Info info;
    if (CFileInfo::ReadHeaderInfo(buffer, info)) {
        fuzz::require(info.width >= 0 && info.height >= 0, "negative size");
        fuzz::require(!info.format.isEmpty() && !info.colours.isEmpty(), "a header without type or colour text");
    }
    return 0;
}
