// Windows icons and cursors. Every image of the file becomes a slide of its own size, in
// directory order; icons are never animated. An entry is a DIB (colour rows, then a 1-bit AND
// mask that marks transparent pixels) or a whole PNG file. Entries that point outside the file,
// into the directory or into an earlier entry are skipped, as are entries that do not decode;
// the file needs one good image.
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <vector>

#include "imagelib/codecs/bytes.h"
#include "imagelib/codecs/dib.h"
#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

constexpr qsizetype kDirectoryStart = 6;
constexpr qsizetype kEntrySize = 16;
// Neither an info header nor a PNG file fits in fewer bytes.
constexpr qint64 kMinEntryBytes = 40;
// The largest info header with its bit-field masks and a 256-colour palette.
constexpr qint64 kEntryHeaderBytes = 124 + 16 + 256 * 4;
constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";

enum ResourceType : quint16 { kIcon = 1, kCursor = 2 };

struct Entry {
    qint64 area = 0; // from the directory, where 0 stands for 256
    int bits = 0;    // icons only; 0 when the directory does not say
    qint64 offset = 0;
    qint64 size = 0;
};

qint64 directoryEnd(int count)
{
    return kDirectoryStart + count * kEntrySize;
}

// The reserved word, the type and a count that is not zero; every entry of the directory that
// `head` holds must lie after the directory and be large enough for an image.
bool plausible(QByteArrayView head, ResourceType type)
{
    if (head.size() < kDirectoryStart + kEntrySize || readLe16(head, 0) != 0 || readLe16(head, 2) != type)
        return false;
    const int count = readLe16(head, 4);
    if (count == 0)
        return false;
    for (qsizetype at = kDirectoryStart; at < directoryEnd(count) && at + kEntrySize <= head.size(); at += kEntrySize) {
        if (readLe32(head, at + 8) < kMinEntryBytes || readLe32(head, at + 12) < directoryEnd(count))
            return false;
    }
    return true;
}

// The size a directory entry at `at` gives, where a byte of 0 stands for 256 pixels.
QSize entrySize(QByteArrayView data, qsizetype at)
{
    const auto side = [&](qsizetype offset) { return uchar(data[offset]) ? int(uchar(data[offset])) : 256; };
    return QSize(side(at), side(at + 1));
}

// The whole directory; false when `data` is shorter than it.
bool readDirectory(QByteArrayView data, ResourceType type, std::vector<Entry>& entries)
{
    if (!plausible(data, type))
        return false;
    const int count = readLe16(data, 4);
    if (data.size() < directoryEnd(count))
        return false;
    entries.resize(size_t(count));
    for (int i = 0; i < count; ++i) {
        const qsizetype at = kDirectoryStart + i * kEntrySize;
        const QSize size = entrySize(data, at);
        const int colours = uchar(data[at + 2]);
        Entry& entry = entries[size_t(i)];
        entry.area = qint64(size.width()) * size.height();
        // A cursor keeps its hot spot where an icon keeps planes and depth.
        if (type == kIcon)
            entry.bits = readLe16(data, at + 6) ? readLe16(data, at + 6)
                         : colours              ? std::bit_width(uint(colours - 1))
                                                : 0;
        entry.size = readLe32(data, at + 8);
        entry.offset = readLe32(data, at + 12);
    }
    return true;
}

bool isPng(QByteArrayView entry)
{
    return entry.startsWith(QByteArrayView(kPngSignature, sizeof kPngSignature - 1));
}

// An embedded PNG is a whole file of its own.
SourceFile pngSource(QByteArrayView entry)
{
    return SourceFile(entry.toByteArray(), QStringLiteral("entry.png"));
}

// Pixels whose AND-mask bit is set are transparent; a mask without set bits leaves the
// image opaque.
bool applyMask(QImage& image, QByteArrayView mask)
{
    const qsizetype stride = (qsizetype(image.width()) + 31) / 32 * 4;
    if (mask.size() < stride * image.height())
        return false;
    for (int y = 0; y < image.height(); ++y) {
        const auto* bits = reinterpret_cast<const uchar*>(mask.data()) + (image.height() - 1 - y) * stride;
        for (int x = 0; x < image.width(); ++x) {
            if (!(bits[x / 8] & (0x80 >> (x % 8))))
                continue;
            if (!image.hasAlphaChannel())
                image.convertTo(QImage::Format_ARGB32_Premultiplied);
            reinterpret_cast<QRgb*>(image.scanLine(y))[x] = 0;
        }
    }
    return true;
}

// Size and depth from the entry's own header.
bool readEntryHeader(QByteArrayView entry, HeaderInfo& info)
{
    if (isPng(entry)) {
        SourceFile png = pngSource(entry);
        return pngCodec()->readHeader(png, info);
    }
    DibLayout layout;
    if (!readDibLayout(entry, DibKind::Icon, layout))
        return false;
    info.width = layout.width;
    info.height = layout.height;
    info.bitsPerPixel = layout.bits;
    return true;
}

bool decodeEntry(QByteArrayView entry, const DecodeContext& context, Slide& slide, int& bits)
{
    if (isPng(entry)) {
        SourceFile png = pngSource(entry);
        Picture picture;
        if (!pngCodec()->decode(png, context, picture) || picture.slides.size() != 1)
            return false;
        slide = picture.slides.front();
        bits = picture.bitsPerPixel;
        return true;
    }
    DibLayout layout;
    if (!readDibLayout(entry, DibKind::Icon, layout) || layout.colourBytes > entry.size())
        return false;
    const QByteArrayView pixels = entry.sliced(layout.colourBytes);
    if (!decodeDib(entry.first(layout.colourBytes), pixels, DibKind::Icon, context, slide.image))
        return false;
    bits = layout.bits;
    // 32-bit pixels with alpha make the mask redundant, and writers do not always keep it.
    return slide.image.hasAlphaChannel() ||
           (fits(pixels, layout.pixelBytes, 0) && applyMask(slide.image, pixels.sliced(layout.pixelBytes)));
}

// Marks the entries whose bytes lie inside the file, after the directory, and do not overlap an
// entry before them: a few hundred bytes must not decode to thousands of copies of one image.
std::vector<bool> usableEntries(const std::vector<Entry>& entries, QByteArrayView data)
{
    std::vector<size_t> byOffset(entries.size());
    std::iota(byOffset.begin(), byOffset.end(), size_t(0));
    std::stable_sort(byOffset.begin(), byOffset.end(),
                     [&](size_t a, size_t b) { return entries[a].offset < entries[b].offset; });
    std::vector<bool> usable(entries.size(), false);
    qint64 taken = directoryEnd(int(entries.size()));
    for (size_t index : byOffset) {
        const Entry& entry = entries[index];
        if (entry.offset >= taken && fits(data, entry.offset, entry.size)) {
            usable[index] = true;
            taken = entry.offset + entry.size;
        }
    }
    return usable;
}

class IconCodec final : public Codec {
public:
    IconCodec(ResourceType type, int format, QString description, QString extension)
        : m_type(type), m_format(format), m_description(std::move(description)), m_extension(std::move(extension))
    {
    }

    int format() const override { return m_format; }
    QString description() const override { return m_description; }
    QStringList extensions() const override { return {m_extension}; }
    bool sniff(QByteArrayView head) const override { return plausible(head, m_type); }

    // The largest entry of the directory (the deepest of equals) whose own header reads: the
    // directory cannot say more than 256 pixels and often leaves the depth out.
    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        const QByteArrayView head = file.head(kSniffBytes);
        const int count = plausible(head, m_type) ? readLe16(head, 4) : 0;
        std::vector<Entry> entries;
        if (count == 0 || !readDirectory(file.head(directoryEnd(count)), m_type, entries))
            return false;
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return a.area != b.area ? a.area > b.area : a.bits > b.bits;
        });
        for (const Entry& entry : entries) {
            // Past the first bytes the whole file is read, not a prefix as long as the offset
            // claims: a hostile offset must not make us reserve a gigabyte.
            QByteArrayView data = file.head(kSniffBytes);
            if (entry.offset + std::min(entry.size, kEntryHeaderBytes) > data.size()) {
                const QByteArray* bytes = file.all();
                if (!bytes)
                    return false;
                data = *bytes;
            }
            if (entry.offset < data.size() &&
                readEntryHeader(data.sliced(entry.offset, std::min(data.size() - entry.offset, entry.size)), info)) {
                info.format = m_format;
                return true;
            }
        }
        return false;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* bytes = file.all();
        if (!bytes)
            return false;
        std::vector<Entry> entries;
        if (!readDirectory(*bytes, m_type, entries))
            return context.fail(plausible(*bytes, m_type) ? Failure::truncated() : Failure::damaged());
        const QByteArrayView data(*bytes);
        const std::vector<bool> usable = usableEntries(entries, data);
        // Why no entry gave a slide, if none does: one cut off by the end of the file, else the
        // fault of the last one that did not decode.
        const bool entryPastEnd = std::any_of(entries.cbegin(), entries.cend(), [&](const Entry& entry) {
            return !fits(data, entry.offset, entry.size);
        });
        Failure entryFailure = entryPastEnd ? Failure::truncated() : Failure::damaged();
        picture.slides.clear();
        picture.format = m_format;
        picture.bitsPerPixel = 0;
        DecodeBudget budget;
        qint64 largestArea = 0;
        bool cancelled = false;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (!usable[i])
                continue;
            // Each entry reports its share of the whole; a refusal there cancels the whole file.
            DecodeContext part;
            part.onProgress = [&](int percent) {
                cancelled = cancelled || !context.progress(int((qint64(i) * 100 + percent) / qint64(entries.size())));
                return !cancelled;
            };
            Slide slide;
            int bits = 0;
            const bool decoded = decodeEntry(data.sliced(entries[i].offset, entries[i].size), part, slide, bits);
            if (cancelled)
                return false;
            if (!decoded) {
                if (!entryPastEnd && part.failure().failed())
                    entryFailure = part.failure();
                continue;
            }
            if (!budget.take(slide.image))
                return context.fail(budget.refusal());
            const qint64 area = qint64(slide.image.width()) * slide.image.height();
            if (area > largestArea || (area == largestArea && bits > picture.bitsPerPixel)) {
                largestArea = area;
                picture.bitsPerPixel = bits;
            }
            picture.slides.push_back(std::move(slide));
        }
        return !picture.slides.empty() || context.fail(entryFailure);
    }

private:
    ResourceType m_type;
    int m_format;
    QString m_description;
    QString m_extension;
};

} // namespace

// The file list's quick scan takes the first entry's size from the directory alone. A directory
// without entries is no icon: an uncompressed Targa file starts with the same four bytes as a
// cursor, and its next two are zero.
bool iconQuickHeader(QByteArrayView head, HeaderInfo& info)
{
    if (head.size() < kDirectoryStart + 2 || readLe16(head, 4) == 0)
        return false;
    const QSize size = entrySize(head, kDirectoryStart);
    info.width = size.width();
    info.height = size.height();
    return true;
}

const Codec* icoCodec()
{
    static const IconCodec codec(kIcon, kFlmIcon, QStringLiteral("Windows Icon"), QStringLiteral("ico"));
    return &codec;
}

const Codec* curCodec()
{
    static const IconCodec codec(kCursor, kFlmCursor, QStringLiteral("Windows Cursor"), QStringLiteral("cur"));
    return &codec;
}

} // namespace imagelib
