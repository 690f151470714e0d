// GIF reader: every frame is composited onto the logical screen, so each slide is the whole
// picture as it is shown at that moment of the animation.
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include <QRect>
#include <QtEndian>

#include <gif_lib.h>

#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

constexpr qsizetype kScreenHeaderBytes = 13; // signature and logical screen descriptor
constexpr int kProgressRows = 64;
// LZW expands up to about 2700:1, so frames drawn mostly off the screen could keep a small
// file decoding for hours; no real animation decodes more than its slides hold.
constexpr qint64 kMaxFramePixels = 4 * kMaxPixels;

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

// Size of the global colour table when there is one, else the colour resolution.
int screenBitsPerPixel(QByteArrayView head)
{
    const auto packed = uchar(head[10]);
    return (packed & 0x80) ? (packed & 7) + 1 : ((packed >> 4) & 7) + 1;
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
    if (!sizeAllowed(frame.Width, frame.Height))
        return FrameResult::Corrupt;
    const std::array<QRgb, 256> table = colourTable(frame.ColorMap ? frame.ColorMap : gif->SColorMap);
    const QRect visible = QRect(frame.Left, frame.Top, frame.Width, frame.Height).intersected(canvas.rect());
    std::vector<GifPixelType> line(size_t(frame.Width));

    // Interlaced rows arrive in four passes: every 8th from 0, every 8th from 4, every 4th
    // from 2, every 2nd from 1.
    static constexpr int kInterlacedStart[] = {0, 4, 2, 1};
    static constexpr int kInterlacedStep[] = {8, 8, 4, 2};
    static constexpr int kPlainStart[] = {0};
    static constexpr int kPlainStep[] = {1};
    const int passes = frame.Interlace ? 4 : 1;
    const int* start = frame.Interlace ? kInterlacedStart : kPlainStart;
    const int* step = frame.Interlace ? kInterlacedStep : kPlainStep;

    int rowsRead = 0;
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = start[pass]; y < frame.Height; y += step[pass]) {
            if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR)
                return FrameResult::Corrupt;
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

class GifCodec final : public Codec {
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
        const int width = qFromLittleEndian<quint16>(head.data() + 6);
        const int height = qFromLittleEndian<quint16>(head.data() + 8);
        if (width == 0 || height == 0)
            return false;
        info.format = kFlmGif;
        info.width = width;
        info.height = height;
        info.bitsPerPixel = screenBitsPerPixel(head);
        return true;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* data = file.all();
        if (!data || data->size() < kScreenHeaderBytes || !sniff(*data))
            return false;
        MemoryReader reader{reinterpret_cast<const uchar*>(data->constData()), data->size()};
        int error = 0;
        const GifPointer gif(DGifOpen(&reader, readFromMemory, &error));
        if (!gif)
            return false;
        QImage canvas = allocateImage(gif->SWidth, gif->SHeight, QImage::Format_ARGB32_Premultiplied);
        if (canvas.isNull())
            return false;
        canvas.fill(Qt::transparent);

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
            if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE)
                break;
            if (type == EXTENSION_RECORD_TYPE) {
                if (!readExtension(gif.get(), control))
                    break;
                continue;
            }
            if (type != IMAGE_DESC_RECORD_TYPE || DGifGetImageDesc(gif.get()) == GIF_ERROR)
                break;
            const GifImageDesc& frame = gif->Image;
            framePixels += qint64(frame.Width) * frame.Height;
            if (framePixels > kMaxFramePixels)
                break;
            dispose(canvas, previousDisposal, previousArea, beforePrevious);
            if (control.disposal == DISPOSE_PREVIOUS)
                beforePrevious = canvas; // shared until the frame is drawn
            const FrameResult result = drawFrame(gif.get(), canvas, control.transparent, reader, context);
            if (result == FrameResult::Cancelled)
                return false;
            if (result == FrameResult::Corrupt || !budget.take(canvas))
                break;
            picture.slides.push_back({canvas, control.delayMs});
            previousDisposal = control.disposal;
            previousArea = QRect(frame.Left, frame.Top, frame.Width, frame.Height).intersected(canvas.rect());
            control = FrameControl();
        }
        return !picture.slides.empty();
    }
};

} // namespace

const Codec* gifCodec()
{
    static const GifCodec codec;
    return &codec;
}

} // namespace imagelib

namespace imagelib {
const Writer* gifWriter() { return absentWriter(); }
}  // namespace imagelib
