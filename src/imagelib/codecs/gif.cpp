// GIF reader and writer. The reader composites every frame onto the logical screen, so each
// slide is the whole picture as it is shown at that moment of the animation; the writer
// reduces colours to one palette and stores every slide (see the notes where the writer begins).
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include <QIODevice>
#include <QRect>
#include <QtEndian>

#include <gif_lib.h>

#include "imagelib/codecs/quantise.h"
#include "imagelib/codecs/writerutil.h"
#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

constexpr qsizetype kScreenHeaderBytes = 13; // signature and logical screen descriptor
constexpr qsizetype kPackedAt = 10;          // the descriptor's byte of flags and table size
constexpr int kProgressRows = 64;
// LZW expands up to about 2700:1, so frames drawn mostly off the screen could keep a small
// file decoding for hours; no real animation decodes more than its slides hold.
qint64 maxFramePixels()
{
    return 4 * limits().maxPixels;
}

struct MemoryReader {
    const uchar* data = nullptr;
    qsizetype size = 0;
    qsizetype position = 0;

    int percent() const { return int(position * 100 / size); }
};

int readFromMemory(GifFileType* gif, GifByteType* buffer, int length)
{
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const qsizetype count = std::clamp<qsizetype>(reader->size - reader->position, 0, length);
    std::memcpy(buffer, reader->data + reader->position, size_t(count));
    reader->position += count;
    return int(count);
}

struct GifCloser {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using GifPointer = std::unique_ptr<GifFileType, GifCloser>;

// The graphics control extension applies to the image that follows it, and only to that one.
struct FrameControl {
    int disposal = DISPOSAL_UNSPECIFIED;
    int delayMs = 0;
    int transparent = NO_TRANSPARENT_COLOR;
};

enum class FrameResult { Drawn, Corrupt, Cancelled };

// The rows of an image in the order the file stores them. Interlaced images store four passes:
// every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
std::vector<int> storedRows(int height, bool interlaced)
{
    static constexpr int kStart[] = {0, 4, 2, 1};
    static constexpr int kStep[] = {8, 8, 4, 2};
    std::vector<int> rows;
    rows.reserve(size_t(height));
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass) {
        for (int y = interlaced ? kStart[pass] : 0; y < height; y += interlaced ? kStep[pass] : 1)
            rows.push_back(y);
    }
    return rows;
}

// giflib's error code as the reason of a failed read.
Failure failureOf(int error)
{
    switch (error) {
    case D_GIF_ERR_READ_FAILED:
    case D_GIF_ERR_EOF_TOO_SOON:
        return Failure::truncated();
    case D_GIF_ERR_NOT_ENOUGH_MEM:
        return Failure::outOfMemory();
    default:
        return Failure::damaged();
    }
}

// Bytes of the signature, the screen descriptor and the global colour table.
qsizetype screenBytes(QByteArrayView head)
{
    const auto packed = uchar(head[kPackedAt]);
    return kScreenHeaderBytes + ((packed & 0x80) ? 3 << ((packed & 7) + 1) : 0);
}

// The width and height of the logical screen descriptor, which `head` holds as far as them.
QSize screenSize(QByteArrayView head)
{
    return QSize(qFromLittleEndian<quint16>(head.data() + 6), qFromLittleEndian<quint16>(head.data() + 8));
}

// The depth of the global colour table when there is one. Without one each frame brings a table
// of up to 256 colours. The colour resolution is no count of colours (most writers put 8 bits
// there over a table of two), so it is never read. Every reader of a GIF's depth asks here.
int screenBitsPerPixel(QByteArrayView head)
{
    const auto packed = uchar(head[kPackedAt]);
    return (packed & 0x80) ? (packed & 7) + 1 : 8;
}

// A frame without any colour map is read as grey levels rather than refused.
std::array<QRgb, 256> colourTable(const ColorMapObject* map)
{
    std::array<QRgb, 256> table;
    if (!map) {
        for (int i = 0; i < 256; ++i)
            table[size_t(i)] = qRgb(i, i, i);
        return table;
    }
    table.fill(qRgb(0, 0, 0));
    const int count = std::min(map->ColorCount, 256);
    for (int i = 0; i < count; ++i) {
        const GifColorType& colour = map->Colors[i];
        table[size_t(i)] = qRgb(colour.Red, colour.Green, colour.Blue);
    }
    return table;
}

bool readExtension(GifFileType* gif, FrameControl& control)
{
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
        return false;
    GraphicsControlBlock gcb;
    // A malformed control block is ignored: the frame still shows, without its timing.
    if (code == GRAPHICS_EXT_FUNC_CODE && block && DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK) {
        control.disposal = gcb.DisposalMode;
        control.delayMs = gcb.DelayTime * 10;
        control.transparent = gcb.TransparentColor;
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            return false;
    }
    return true;
}

// An image of no area still carries its compressed data, which must be read past.
bool skipImageData(GifFileType* gif)
{
    int codeSize = 0;
    GifByteType* block = nullptr;
    if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR)
        return false;
    while (block) {
        if (DGifGetCodeNext(gif, &block) == GIF_ERROR)
            return false;
    }
    return true;
}

// Reads the pixels of the image just described and paints the opaque ones onto the canvas.
FrameResult drawFrame(GifFileType* gif, QImage& canvas, int transparent, const MemoryReader& reader,
                      const DecodeContext& context)
{
    const GifImageDesc& frame = gif->Image;
    if (frame.Width <= 0 || frame.Height <= 0)
        return skipImageData(gif) ? FrameResult::Drawn : FrameResult::Corrupt;
    if (!context.allowSize(frame.Width, frame.Height))
        return FrameResult::Corrupt;
    const std::array<QRgb, 256> table = colourTable(frame.ColorMap ? frame.ColorMap : gif->SColorMap);
    const QRect visible = QRect(frame.Left, frame.Top, frame.Width, frame.Height).intersected(canvas.rect());
    std::vector<GifPixelType> line(size_t(frame.Width));
    int rowsRead = 0;
    for (const int y : storedRows(frame.Height, frame.Interlace)) {
        if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) {
            context.fail(failureOf(gif->Error));
            return FrameResult::Corrupt;
        }
        const int canvasY = frame.Top + y;
        if (canvasY >= visible.top() && canvasY <= visible.bottom()) {
            auto* target = reinterpret_cast<QRgb*>(canvas.scanLine(canvasY));
            for (int x = visible.left(); x <= visible.right(); ++x) {
                const GifPixelType index = line[size_t(x - frame.Left)];
                if (index != transparent)
                    target[x] = table[index];
            }
        }
        if (++rowsRead % kProgressRows == 0 && !context.progress(reader.percent()))
            return FrameResult::Cancelled;
    }
    return FrameResult::Drawn;
}

// Applies the disposal method of the frame shown before the next one is drawn.
void dispose(QImage& canvas, int disposal, const QRect& area, const QImage& beforeFrame)
{
    if (disposal == DISPOSE_PREVIOUS) {
        canvas = beforeFrame;
    } else if (disposal == DISPOSE_BACKGROUND) {
        // The background is transparent: the page behind the animation shows through.
        for (int y = area.top(); y <= area.bottom(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(canvas.scanLine(y));
            std::fill(row + area.left(), row + area.right() + 1, QRgb(0));
        }
    }
}

// The writer. One global palette serves every slide of an animation: the still parts of the
// picture then keep the same indices from frame to frame, which is what lets an optimised file
// store only what changed, and the colour table is stored once.
//
// Optimisation (option [10]) never changes what the file decodes to, only how it is stored:
// - the colour table holds as many entries as the colours need (rounded up to a power of two)
//   rather than the number asked for in option [8]; fewer entries mean shorter LZW codes.
//   Reordering the table would gain nothing: LZW codes depend on which pixels repeat, not on
//   their index values;
// - each frame stores only the rectangle that differs from what the frames before left on the
//   screen (for the first frame, the rectangle around its pixels that are not transparent), and
//   inside it the pixels that did not change become transparent where that makes the frame's
//   LZW code stream shorter (both ways are counted). Without it every frame covers the whole
//   screen and stores every pixel.
// Either way a frame is left in place for the next one ("do not dispose"), unless the next one
// makes some of its pixels transparent: then it is cleared to the background (transparent) and
// covers at least those pixels.

constexpr int kMaxScreenSide = 65535;
constexpr int kMaxDelay = 65535; // hundredths of a second
constexpr int kCleared = -1;     // a screen pixel no frame has drawn, or one cleared again

struct GifWriteOptions {
    int colours = 256;
    bool interlaced = false;
    bool optimise = false;
};

GifWriteOptions optionsOf(const FlmSaveOptions& record)
{
    GifWriteOptions options;
    const int colours = record.field[FlmSaveOptions::kColours];
    options.colours = colours >= 2 && colours <= 256 ? colours : 256;
    options.interlaced = record.field[FlmSaveOptions::kInterlaced] != 0;
    options.optimise = record.field[FlmSaveOptions::kOptimise] != 0;
    return options;
}

// Bits a table of `entries` colours needs (GIF tables hold 2 to 256 entries, a power of two).
int tableBits(int entries)
{
    int bits = 1;
    while ((1 << bits) < entries)
        ++bits;
    return bits;
}

int writeToDevice(GifFileType* gif, const GifByteType* data, int length)
{
    return int(static_cast<QIODevice*>(gif->UserData)->write(reinterpret_cast<const char*>(data), length));
}

struct EncoderCloser {
    void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};
using EncoderPointer = std::unique_ptr<GifFileType, EncoderCloser>;

struct MapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};
using MapPointer = std::unique_ptr<ColorMapObject, MapFreer>;

MapPointer colourMap(const IndexedPalette& palette, int bits)
{
    std::vector<GifColorType> entries(size_t(1) << bits, GifColorType{0, 0, 0});
    for (size_t i = 0; i < palette.colours.size(); ++i) {
        const QRgb colour = palette.colours[i];
        entries[i] = {GifByteType(qRed(colour)), GifByteType(qGreen(colour)), GifByteType(qBlue(colour))};
    }
    return MapPointer(GifMakeMapObject(1 << bits, entries.data()));
}

// The slide as unpremultiplied ARGB (RGB32 is taken as it is) on a screen of the given size, at
// its top left corner; the rest of the screen is transparent. A null image when memory runs out.
QImage screenImage(const QImage& slide, QSize screen)
{
    const bool direct = slide.format() == QImage::Format_RGB32 || slide.format() == QImage::Format_ARGB32;
    const QImage argb = direct ? slide : slide.convertToFormat(QImage::Format_ARGB32);
    if (argb.size() == screen || argb.isNull())
        return argb;
    QImage padded = allocateImage(screen.width(), screen.height(), QImage::Format_ARGB32);
    if (padded.isNull())
        return padded;
    padded.fill(0);
    for (int y = 0; y < argb.height(); ++y)
        std::memcpy(padded.scanLine(y), argb.constScanLine(y), size_t(argb.width()) * 4);
    return padded;
}

// Bits of the LZW code stream that GIF stores for these indices, with the dictionary built and
// reset as encoders do; used only to compare two ways of storing one frame.
qint64 lzwBits(const std::vector<GifPixelType>& pixels, int tableBits)
{
    constexpr int kMaxCode = 4095;
    constexpr int kSlotBits = 13; // twice the dictionary, so probing stays short
    constexpr size_t kSlots = size_t(1) << kSlotBits;
    const int rootBits = std::max(tableBits, 2);
    const int firstCode = (1 << rootBits) + 2; // after the clear and end codes
    std::vector<qint32> keys(kSlots, -1);
    std::vector<qint16> codes(kSlots);
    int width = rootBits + 1;
    int nextCode = firstCode;
    qint64 bits = width; // the opening clear code
    int prefix = pixels[0];
    for (size_t i = 1; i < pixels.size(); ++i) {
        const qint32 key = prefix << 8 | pixels[i];
        size_t slot = (quint32(key) * 2654435761u) >> (32 - kSlotBits);
        while (keys[slot] != -1 && keys[slot] != key)
            slot = (slot + 1) & (kSlots - 1);
        if (keys[slot] == key) {
            prefix = codes[slot];
            continue;
        }
        bits += width;
        if (nextCode <= kMaxCode) {
            keys[slot] = key;
            codes[slot] = qint16(nextCode);
            if (nextCode == (1 << width) && width < 12)
                ++width;
            ++nextCode;
        } else {
            bits += width; // a clear code, and the dictionary starts again
            std::fill(keys.begin(), keys.end(), -1);
            width = rootBits + 1;
            nextCode = firstCode;
        }
        prefix = pixels[i];
    }
    return bits + 2 * qint64(width); // the last string and the end code
}

struct Frame {
    QRect rect;
    int disposal = DISPOSE_DO_NOT;
    std::vector<GifPixelType> pixels; // the rectangle's indices, rows top to bottom
};

// Smallest rectangle holding every point added.
class Bounds {
public:
    void add(int left, int right, int y) { m_rect |= QRect(QPoint(left, y), QPoint(right, y)); }
    QRect rect() const { return m_rect; }

private:
    QRect m_rect;
};

// The screen a decoder builds up, as palette indices, and the frames that take it from one
// slide to the next.
class Screen {
public:
    Screen(QSize size, int transparent)
        : m_size(size), m_transparent(transparent),
          m_shown(size_t(size.width()) * size_t(size.height()), qint16(kCleared))
    {
    }

    // The frame that makes the screen show `target`, followed by `next` (nullptr: none).
    Frame plan(const std::vector<quint8>& target, const std::vector<quint8>* next, bool optimise, int bits)
    {
        const int width = m_size.width();
        Bounds changed;
        Bounds cleared;
        for (int y = 0; y < m_size.height(); ++y) {
            int first = -1;
            int last = -1;
            int firstCleared = -1;
            int lastCleared = -1;
            for (int x = 0; x < width; ++x) {
                const size_t i = size_t(y) * size_t(width) + size_t(x);
                const int value = valueOf(target[i]);
                if (value != m_shown[i]) {
                    first = first < 0 ? x : first;
                    last = x;
                }
                if (next && value != kCleared && valueOf((*next)[i]) == kCleared) {
                    firstCleared = firstCleared < 0 ? x : firstCleared;
                    lastCleared = x;
                }
            }
            if (first >= 0)
                changed.add(first, last, y);
            if (firstCleared >= 0)
                cleared.add(firstCleared, lastCleared, y);
        }

        Frame frame;
        frame.rect = optimise ? changed.rect() : QRect(QPoint(0, 0), m_size);
        if (!cleared.rect().isEmpty()) {
            frame.disposal = DISPOSE_BACKGROUND;
            frame.rect |= cleared.rect();
        }
        if (frame.rect.isEmpty())
            frame.rect = QRect(0, 0, 1, 1); // the slide still needs a frame to carry its delay
        frame.pixels = cut(target, frame.rect, false);
        if (optimise && m_transparent >= 0) {
            std::vector<GifPixelType> holes = cut(target, frame.rect, true);
            if (holes != frame.pixels && lzwBits(holes, bits) < lzwBits(frame.pixels, bits))
                frame.pixels = std::move(holes);
        }

        for (size_t i = 0; i < m_shown.size(); ++i)
            m_shown[i] = qint16(valueOf(target[i]));
        if (frame.disposal == DISPOSE_BACKGROUND) {
            for (int y = frame.rect.top(); y <= frame.rect.bottom(); ++y) {
                auto row = m_shown.begin() + qsizetype(y) * width;
                std::fill(row + frame.rect.left(), row + frame.rect.right() + 1, qint16(kCleared));
            }
        }
        return frame;
    }

private:
    QSize m_size;
    int m_transparent;
    std::vector<qint16> m_shown; // kCleared or a palette index

    int valueOf(quint8 index) const { return index == m_transparent ? kCleared : index; }

    // The target's indices inside `rect`; with `holes`, pixels the screen already shows as they
    // should be are left transparent.
    std::vector<GifPixelType> cut(const std::vector<quint8>& target, const QRect& rect, bool holes) const
    {
        std::vector<GifPixelType> pixels;
        pixels.reserve(size_t(rect.width()) * size_t(rect.height()));
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const size_t i = size_t(y) * size_t(m_size.width()) + size_t(x);
                const bool still = holes && m_shown[i] == valueOf(target[i]);
                pixels.push_back(still ? GifPixelType(m_transparent) : target[i]);
            }
        }
        return pixels;
    }
};

// The application extension that makes an animation loop for ever.
bool putLoop(GifFileType* gif)
{
    static constexpr char kApplication[] = "NETSCAPE2.0";
    static constexpr GifByteType kForever[] = {1, 0, 0}; // sub-block 1, loop count 0
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, 11, kApplication) == GIF_OK &&
           EGifPutExtensionBlock(gif, sizeof kForever, kForever) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
}

bool putFrame(GifFileType* gif, Frame& frame, const GraphicsControlBlock* control, bool interlaced)
{
    if (control) {
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(control, extension);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(length), extension) == GIF_ERROR)
            return false;
    }
    const QRect& r = frame.rect;
    if (EGifPutImageDesc(gif, r.x(), r.y(), r.width(), r.height(), interlaced, nullptr) == GIF_ERROR)
        return false;
    for (const int y : storedRows(r.height(), interlaced)) {
        if (EGifPutLine(gif, frame.pixels.data() + qsizetype(y) * r.width(), r.width()) == GIF_ERROR)
            return false;
    }
    return true;
}

bool writeGif(const std::vector<const Slide*>& slides, const SaveRequest& request, QIODevice& out)
{
    const GifWriteOptions options = optionsOf(request.options);
    QSize screen(0, 0);
    for (const Slide* slide : slides)
        screen = screen.expandedTo(slide->image.size());
    if (screen.width() > kMaxScreenSide || screen.height() > kMaxScreenSide)
        return request.fail(
            writerutil::tooLargeFor("GIF", QStringLiteral("%1 pixels a side").arg(countText(kMaxScreenSide))));
    if (screen.isEmpty())
        return request.fail(Failure::invalid(QStringLiteral("no picture")));
    const bool animated = slides.size() > 1;
    ColourHistogram histogram;
    for (const Slide* slide : slides) {
        const QImage image = screenImage(slide->image, screen);
        if (image.isNull())
            return request.fail(Failure::outOfMemory());
        histogram.add(image);
    }
    // Animations keep a transparent entry for optimised frames whether or not they are
    // optimised, so that the option never changes the colours.
    const IndexedPalette palette = histogram.palette(options.colours, animated);
    const int bits = tableBits(options.optimise ? palette.entries() : options.colours);
    const MapPointer map = colourMap(palette, bits);
    int error = 0;
    EncoderPointer gif(EGifOpen(&out, writeToDevice, &error));
    if (!map || !gif)
        return request.fail(Failure::outOfMemory());
    EGifSetGifVersion(gif.get(), animated || palette.transparent >= 0);
    if (EGifPutScreenDesc(gif.get(), screen.width(), screen.height(), bits, 0, map.get()) == GIF_ERROR ||
        (animated && !putLoop(gif.get())))
        return false;

    SlideMapper mapper(palette, screen);
    auto mapSlide = [&](size_t index, std::vector<quint8>& indices) {
        const QImage image = screenImage(slides[index]->image, screen);
        if (image.isNull())
            return request.fail(Failure::outOfMemory());
        indices = mapper.map(image);
        return true;
    };
    Screen shown(screen, palette.transparent);
    // Each frame depends on the slide after it (which pixels it clears), so mapping runs one ahead.
    std::vector<quint8> target;
    std::vector<quint8> next;
    if (!mapSlide(0, target))
        return false;
    for (size_t k = 0; k < slides.size(); ++k) {
        const bool last = k + 1 == slides.size();
        if (!last && !mapSlide(k + 1, next))
            return false;
        Frame frame = shown.plan(target, last ? nullptr : &next, options.optimise, bits);
        const GraphicsControlBlock control{frame.disposal, false,
                                           std::clamp((slides[k]->delayMs + 5) / 10, 0, kMaxDelay),
                                           palette.transparent >= 0 ? palette.transparent : NO_TRANSPARENT_COLOR};
        const bool needsControl = animated || palette.transparent >= 0;
        if (!putFrame(gif.get(), frame, needsControl ? &control : nullptr, options.interlaced))
            return false;
        target.swap(next);
    }
    return EGifCloseFile(gif.release(), &error) == GIF_OK;
}

class GifCodec final : public Codec, public Writer {
public:
    int format() const override { return kFlmGif; }
    QString description() const override { return QStringLiteral("Compuserve GIF"); }
    QStringList extensions() const override { return {QStringLiteral("gif")}; }

    bool sniff(QByteArrayView head) const override { return head.startsWith("GIF87a") || head.startsWith("GIF89a"); }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        const QByteArrayView head = file.head(kScreenHeaderBytes);
        if (head.size() < kScreenHeaderBytes || !sniff(head))
            return false;
        const QSize size = screenSize(head);
        if (size.isEmpty())
            return false;
        info.format = kFlmGif;
        info.width = size.width();
        info.height = size.height();
        info.bitsPerPixel = screenBitsPerPixel(head);
        return true;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* data = file.all();
        if (!data)
            return false;
        if (data->size() < kScreenHeaderBytes || !sniff(*data))
            return context.fail(Failure::truncated());
        MemoryReader reader{reinterpret_cast<const uchar*>(data->constData()), data->size()};
        int error = 0;
        const GifPointer gif(DGifOpen(&reader, readFromMemory, &error));
        if (!gif)
            return context.fail(data->size() < screenBytes(*data) ? Failure::truncated() : failureOf(error));
        if (!context.allowSize(gif->SWidth, gif->SHeight))
            return false;
        // Made at the first frame, so that a header claiming a huge screen with no image behind
        // it costs no canvas.
        QImage canvas;

        picture.format = kFlmGif;
        picture.bitsPerPixel = screenBitsPerPixel(*data);
        picture.slides.clear();
        DecodeBudget budget;
        FrameControl control;
        int previousDisposal = DISPOSAL_UNSPECIFIED;
        QRect previousArea;
        QImage beforePrevious;
        qint64 framePixels = 0;
        // Any fault ends the animation; the frames completed before it are kept.
        for (;;) {
            if (!context.progress(reader.percent()))
                return false;
            GifRecordType type = UNDEFINED_RECORD_TYPE;
            if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
                context.fail(failureOf(gif->Error));
                break;
            }
            if (type == TERMINATE_RECORD_TYPE)
                break;
            if (type == EXTENSION_RECORD_TYPE) {
                if (!readExtension(gif.get(), control)) {
                    context.fail(failureOf(gif->Error));
                    break;
                }
                continue;
            }
            if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.get()) == GIF_ERROR) {
                context.fail(failureOf(gif->Error));
                break;
            }
            const GifImageDesc& frame = gif->Image;
            framePixels += qint64(frame.Width) * frame.Height;
            if (framePixels > maxFramePixels()) {
                context.fail(Failure::tooLarge(
                    QStringLiteral("frames of more than %1 pixels").arg(countText(maxFramePixels()))));
                break;
            }
            if (canvas.isNull()) {
                // Transparent from the start, so that only the screen's rows the frames draw on
                // are ever touched.
                canvas =
                    context.allocate(gif->SWidth, gif->SHeight, QImage::Format_ARGB32_Premultiplied, Contents::Clear);
                if (canvas.isNull())
                    return false;
            }
            dispose(canvas, previousDisposal, previousArea, beforePrevious);
            if (control.disposal == DISPOSE_PREVIOUS)
                beforePrevious = canvas; // shared until the frame is drawn
            const FrameResult result = drawFrame(gif.get(), canvas, control.transparent, reader, context);
            if (result == FrameResult::Cancelled)
                return false;
            if (result == FrameResult::Corrupt)
                break;
            if (!budget.take(canvas)) {
                context.fail(budget.refusal());
                break;
            }
            picture.slides.push_back({canvas, control.delayMs});
            previousDisposal = control.disposal;
            previousArea = QRect(frame.Left, frame.Top, frame.Width, frame.Height).intersected(canvas.rect());
            control = FrameControl();
        }
        return !picture.slides.empty() || context.fail(Failure::damaged());
    }

    // Pictures of several slides are written whole as an animation; others as their one slide.
    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        std::vector<const Slide*> slides;
        if (request.picture.slides.size() > 1) {
            for (const Slide& slide : request.picture.slides)
                slides.push_back(&slide);
        } else {
            slides.push_back(&request.picture.slides[size_t(request.current)]);
        }
        return writeGif(slides, request, out);
    }
};

const GifCodec& theGifCodec()
{
    static const GifCodec codec;
    return codec;
}

} // namespace

// The file list reads the same depth as the library's own header: a 2-colour picture must not
// be "256" in the list and "Monochrome" in the viewer.
bool gifQuickHeader(QByteArrayView head, HeaderInfo& info)
{
    if (head.size() <= kPackedAt)
        return false;
    const QSize size = screenSize(head);
    info.width = size.width();
    info.height = size.height();
    info.bitsPerPixel = screenBitsPerPixel(head);
    return true;
}

const Codec* gifCodec()
{
    return &theGifCodec();
}

const Writer* gifWriter()
{
    return &theGifCodec();
}

} // namespace imagelib
