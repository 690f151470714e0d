// Enhanced metafiles: the bitmaps they carry, drawn onto a white canvas the size of the header's
// bounds. Vector drawing (lines, shapes, text, EMF+ comments) is not rendered; the records that
// move the coordinate system (mapping mode, window and viewport, world transform, saved states)
// are followed so that each bitmap lands where the picture places it. Raster operations other
// than copying are drawn as a copy. A file cut short shows the bitmaps of its whole records.
#include "imagelib/codecs/codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <QPainter>
#include <QTransform>

#include "imagelib/codecs/bytes.h"
#include "imagelib/codecs/dib.h"
#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

constexpr qsizetype kHeaderBytes = 88;
constexpr quint32 kSignature = 0x464D4520; // " EMF"
constexpr int kMaxSavedStates = 256;
constexpr double kDefaultPixelsPerMm = 96 / 25.4;
// How far from the canvas a bitmap's corners and source rectangles may lie; beyond, the record is
// broken rather than drawn.
constexpr qint64 kMaxCoordinate = 1 << 20;

enum RecordType : quint32 {
    kHeader = 1,
    kEof = 14,
    kSetWindowExt = 9,
    kSetWindowOrg = 10,
    kSetViewportExt = 11,
    kSetViewportOrg = 12,
    kSetMapMode = 17,
    kSaveDc = 33,
    kRestoreDc = 34,
    kSetWorldTransform = 35,
    kModifyWorldTransform = 36,
    kBitBlt = 76,
    kStretchBlt = 77,
    kSetDiBitsToDevice = 80,
    kStretchDiBits = 81,
};

enum MapMode : quint32 {
    kText = 1,
    kLoMetric = 2,
    kHiMetric = 3,
    kLoEnglish = 4,
    kHiEnglish = 5,
    kTwips = 6,
    kIsotropic = 7,
    kAnisotropic = 8,
};

enum WorldTransformMode : quint32 { kIdentity = 1, kLeftMultiply = 2, kRightMultiply = 3, kSet = 4 };

qint32 readInt(QByteArrayView data, qsizetype offset)
{
    return qint32(readLe32(data, offset));
}

float readFloat(QByteArrayView data, qsizetype offset)
{
    const quint32 bits = readLe32(data, offset);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool plausible(QByteArrayView head)
{
    return head.size() >= kHeaderBytes && readLe32(head, 0) == kHeader && readLe32(head, 4) >= kHeaderBytes &&
           readLe32(head, 40) == kSignature;
}

struct Canvas {
    QRect rect;         // in device pixels
    QSizeF pixelsPerMm; // of the reference device
};

// The bounds in device pixels (inclusive edges); a picture whose bounds are empty falls back to
// its frame, kept in hundredths of a millimetre. The size is not checked against the limits.
bool readCanvas(QByteArrayView head, Canvas& canvas)
{
    if (!plausible(head))
        return false;
    const qint64 deviceX = readInt(head, 72);
    const qint64 deviceY = readInt(head, 76);
    const qint64 mmX = readInt(head, 80);
    const qint64 mmY = readInt(head, 84);
    canvas.pixelsPerMm = deviceX > 0 && deviceY > 0 && mmX > 0 && mmY > 0
                             ? QSizeF(double(deviceX) / mmX, double(deviceY) / mmY)
                             : QSizeF(kDefaultPixelsPerMm, kDefaultPixelsPerMm);
    qint64 left = readInt(head, 8);
    qint64 top = readInt(head, 12);
    qint64 right = readInt(head, 16);
    qint64 bottom = readInt(head, 20);
    if (right < left || bottom < top) {
        const qint64 frameLeft = readInt(head, 24);
        const qint64 frameTop = readInt(head, 28);
        const qint64 frameRight = readInt(head, 32);
        const qint64 frameBottom = readInt(head, 36);
        if (frameRight <= frameLeft || frameBottom <= frameTop)
            return false;
        const auto pixels = [](qint64 hundredths, double perMm) {
            return qint64(std::floor(hundredths * perMm / 100));
        };
        left = pixels(frameLeft, canvas.pixelsPerMm.width());
        top = pixels(frameTop, canvas.pixelsPerMm.height());
        right = pixels(frameRight, canvas.pixelsPerMm.width());
        bottom = pixels(frameBottom, canvas.pixelsPerMm.height());
    }
    // QRect keeps both corners as ints and gives the size as an int: all must fit.
    const auto fitsInt = [](qint64 value) {
        return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
    };
    if (!fitsInt(left) || !fitsInt(top) || !fitsInt(right) || !fitsInt(bottom) || !fitsInt(right - left + 1) ||
        !fitsInt(bottom - top + 1))
        return false;
    canvas.rect = QRect(QPoint(int(left), int(top)), QPoint(int(right), int(bottom)));
    return true;
}

// What the device context holds that moves logical coordinates to device pixels.
struct Mapping {
    quint32 mode = kText;
    QPointF windowOrigin;
    QPointF viewportOrigin;
    QSizeF windowExtent{1, 1};
    QSizeF viewportExtent{1, 1};
    QTransform world;

    QTransform page(const QSizeF& pixelsPerMm) const
    {
        // Millimetres per logical unit of the fixed modes; their y axis points up.
        double mm = 0;
        switch (mode) {
        case kLoMetric:
            mm = 0.1;
            break;
        case kHiMetric:
            mm = 0.01;
            break;
        case kLoEnglish:
            mm = 0.254;
            break;
        case kHiEnglish:
            mm = 0.0254;
            break;
        case kTwips:
            mm = 25.4 / 1440;
            break;
        default:
            break;
        }
        double scaleX = 1;
        double scaleY = 1;
        if (mm > 0) {
            scaleX = mm * pixelsPerMm.width();
            scaleY = -mm * pixelsPerMm.height();
        } else if ((mode == kIsotropic || mode == kAnisotropic) && windowExtent.width() != 0 &&
                   windowExtent.height() != 0) {
            scaleX = viewportExtent.width() / windowExtent.width();
            scaleY = viewportExtent.height() / windowExtent.height();
            if (mode == kIsotropic) {
                const double common = std::min(std::abs(scaleX), std::abs(scaleY));
                scaleX = std::copysign(common, scaleX);
                scaleY = std::copysign(common, scaleY);
            }
        }
        return QTransform::fromTranslate(-windowOrigin.x(), -windowOrigin.y()) * QTransform::fromScale(scaleX, scaleY) *
               QTransform::fromTranslate(viewportOrigin.x(), viewportOrigin.y());
    }
};

// A bitmap record's source bitmap and where it goes, in its own record's terms.
struct Blit {
    QRectF target; // logical units; a negative width or height mirrors
    QRect source;  // pixels of the bitmap, top-left origin
    bool bottomLeftSource = false;
    qsizetype infoAt = 0;
    qsizetype infoBytes = 0;
    qsizetype bitsAt = 0;
    qsizetype bitsBytes = 0;
    quint32 usage = 0;
};

constexpr quint32 kRgbColours = 0; // palettes hold colours, not indices into a logical palette

// A rectangle of a record's integers; empty when they lie further out than any picture reaches.
QRect rectOf(qint64 x, qint64 y, qint64 width, qint64 height)
{
    const auto sane = [](qint64 value) { return std::abs(value) <= kMaxCoordinate; };
    return sane(x) && sane(y) && sane(width) && sane(height) ? QRect(int(x), int(y), int(width), int(height)) : QRect();
}

bool finite(const QTransform& transform)
{
    const qreal values[] = {transform.m11(), transform.m12(), transform.m13(), transform.m21(), transform.m22(),
                            transform.m23(), transform.m31(), transform.m32(), transform.m33()};
    return std::all_of(std::begin(values), std::end(values), [](qreal value) { return std::isfinite(value); });
}

// Field offsets of the four bitmap records; false for other records and records too short.
bool readBlit(QByteArrayView record, quint32 type, Blit& blit)
{
    const auto rect = [&](qsizetype at) {
        return QRectF(readInt(record, at), readInt(record, at + 4), readInt(record, at + 8), readInt(record, at + 12));
    };
    switch (type) {
    case kBitBlt:
    case kStretchBlt: {
        const bool stretch = type == kStretchBlt;
        if (record.size() < (stretch ? 108 : 100))
            return false;
        blit.target = rect(24);
        blit.source =
            rectOf(readInt(record, 44), readInt(record, 48), stretch ? readInt(record, 100) : readInt(record, 32),
                   stretch ? readInt(record, 104) : readInt(record, 36));
        blit.usage = readLe32(record, 80);
        blit.infoAt = readLe32(record, 84);
        blit.infoBytes = readLe32(record, 88);
        blit.bitsAt = readLe32(record, 92);
        blit.bitsBytes = readLe32(record, 96);
        return true;
    }
    case kSetDiBitsToDevice:
    case kStretchDiBits: {
        const bool stretch = type == kStretchDiBits;
        if (record.size() < (stretch ? 80 : 76))
            return false;
        blit.source = rectOf(readInt(record, 32), readInt(record, 36), readInt(record, 40), readInt(record, 44));
        blit.target = QRectF(readInt(record, 24), readInt(record, 28), readInt(record, stretch ? 72 : 40),
                             readInt(record, stretch ? 76 : 44));
        blit.bottomLeftSource = true;
        blit.infoAt = readLe32(record, 48);
        blit.infoBytes = readLe32(record, 52);
        blit.bitsAt = readLe32(record, 56);
        blit.bitsBytes = readLe32(record, 60);
        blit.usage = readLe32(record, 64);
        return true;
    }
    default:
        return false;
    }
}

// Draws one bitmap record while `work` stays under its limit; records without a bitmap (pattern
// fills) or with one that does not decode draw nothing.
void drawBlit(QPainter& painter, const QRect& canvas, QByteArrayView record, const Blit& blit,
              const QTransform& toCanvas, const DecodeContext& context, qint64& work)
{
    DibLayout layout;
    if (blit.infoBytes == 0 || blit.usage != kRgbColours || blit.source.isEmpty() || blit.target.width() == 0 ||
        blit.target.height() == 0 || !fits(record, blit.infoAt, blit.infoBytes) ||
        !fits(record, blit.bitsAt, blit.bitsBytes))
        return;
    const QByteArrayView info = record.sliced(blit.infoAt, blit.infoBytes);
    if (!readDibLayout(info, DibKind::Bitmap, layout))
        return;
    const QTransform transform =
        QTransform::fromScale(blit.target.width() / blit.source.width(), blit.target.height() / blit.source.height()) *
        QTransform::fromTranslate(blit.target.x(), blit.target.y()) * toCanvas;
    const QRectF reach = transform.mapRect(QRectF(QPointF(0, 0), blit.source.size()));
    const QRectF limit = QRectF(canvas).adjusted(-kMaxCoordinate, -kMaxCoordinate, kMaxCoordinate, kMaxCoordinate);
    if (!finite(transform) || !transform.isInvertible() || !limit.contains(reach))
        return;
    const QRectF covered = reach.intersected(QRectF(canvas));
    work += qint64(layout.width) * layout.height + qint64(covered.width() * covered.height());
    QImage bitmap;
    // Bitmap pixels decoded plus canvas pixels drawn over, for the whole file: records that
    // stretch tiny (or run-length) bitmaps over a large canvas again and again must not keep us
    // busy for hours.
    if (work > limits().maxPixels ||
        !decodeDib(info, record.sliced(blit.bitsAt, blit.bitsBytes), DibKind::Bitmap, context, bitmap))
        return;
    // The device-independent calls count the source rows of a bottom-up bitmap from its bottom.
    QRect wanted = blit.source;
    const bool topDown = readLe32(info, 0) >= 40 && readInt(info, 8) < 0;
    if (blit.bottomLeftSource && !topDown)
        wanted.moveTop(bitmap.height() - wanted.bottom() - 1);
    const QRect visible = wanted.intersected(bitmap.rect());
    if (!visible.isEmpty()) {
        painter.setTransform(transform);
        painter.drawImage(visible.topLeft() - wanted.topLeft(), bitmap, visible);
    }
}

class EmfCodec final : public Codec {
public:
    int format() const override { return kFlmEmf; }
    QString description() const override { return QStringLiteral("Enhanced Metafile"); }
    QStringList extensions() const override { return {QStringLiteral("emf")}; }
    bool sniff(QByteArrayView head) const override { return plausible(head); }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        Canvas canvas;
        if (!readCanvas(file.head(kHeaderBytes), canvas))
            return false;
        info.format = kFlmEmf;
        info.width = canvas.rect.width();
        info.height = canvas.rect.height();
        info.bitsPerPixel = 24;
        return true;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        const QByteArray* bytes = file.all();
        if (!bytes)
            return false;
        Canvas canvas;
        if (!readCanvas(*bytes, canvas))
            return context.fail(bytes->size() < kHeaderBytes ? Failure::truncated() : Failure::damaged());
        if (!context.allowSize(canvas.rect.width(), canvas.rect.height()))
            return false;
        const QByteArrayView data(*bytes);
        // A metafile draws as well at any scale: thumbnails get a canvas just large enough.
        double scale = 1;
        if (!context.targetSize.isEmpty()) {
            scale = std::min({1.0, double(context.targetSize.width()) / canvas.rect.width(),
                              double(context.targetSize.height()) / canvas.rect.height()});
        }
        QImage image = context.allocate(qint64(std::ceil(canvas.rect.width() * scale)),
                                        qint64(std::ceil(canvas.rect.height() * scale)), QImage::Format_RGB32);
        if (image.isNull())
            return false;
        image.fill(Qt::white);
        const QTransform deviceToCanvas =
            QTransform::fromTranslate(-canvas.rect.left(), -canvas.rect.top()) * QTransform::fromScale(scale, scale);

        QPainter painter(&image);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, scale < 1);
        Mapping mapping;
        std::vector<Mapping> saved;
        qint64 work = 0;
        int percent = -1;
        bool cancelled = false;
        // Bitmaps report through the record they are in; a refusal there cancels the whole file.
        DecodeContext part;
        part.onProgress = [&](int) {
            cancelled = cancelled || !context.progress(percent);
            return !cancelled;
        };
        qsizetype position = readLe32(data, 4);
        while (fits(data, position, 8)) {
            const int reached = int(position * 100 / data.size());
            if (reached != percent) {
                percent = reached;
                if (!part.progress(percent))
                    return false;
            }
            const quint32 type = readLe32(data, position);
            const quint32 size = readLe32(data, position + 4);
            if (size < 8 || size % 4 != 0 || !fits(data, position, size) || type == kEof)
                break;
            const QByteArrayView record = data.sliced(position, size);
            position += size;
            Blit blit;
            if (readBlit(record, type, blit)) {
                drawBlit(painter, image.rect(), record, blit,
                         mapping.world * mapping.page(canvas.pixelsPerMm) * deviceToCanvas, part, work);
                if (cancelled)
                    return false;
            } else {
                follow(record, type, mapping, saved);
            }
        }
        painter.end();
        picture.slides.clear();
        picture.slides.push_back({std::move(image), 0});
        picture.format = kFlmEmf;
        picture.bitsPerPixel = 24;
        picture.sourceSize = canvas.rect.size();
        return true;
    }

private:
    static qsizetype minimumSize(quint32 type)
    {
        switch (type) {
        case kSaveDc:
            return 8;
        case kSetMapMode:
        case kRestoreDc:
            return 12;
        case kSetWorldTransform:
            return 32;
        case kModifyWorldTransform:
            return 36;
        default:
            return 16;
        }
    }

    // Applies a record that changes the mapping; any other record changes nothing we draw.
    static void follow(QByteArrayView record, quint32 type, Mapping& mapping, std::vector<Mapping>& saved)
    {
        const auto point = [&] { return QPointF(readInt(record, 8), readInt(record, 12)); };
        const auto size = [&] { return QSizeF(readInt(record, 8), readInt(record, 12)); };
        const auto transform = [&] {
            return QTransform(readFloat(record, 8), readFloat(record, 12), readFloat(record, 16), readFloat(record, 20),
                              readFloat(record, 24), readFloat(record, 28));
        };
        if (record.size() < minimumSize(type))
            return;
        switch (type) {
        case kSetWindowExt:
            mapping.windowExtent = size();
            break;
        case kSetWindowOrg:
            mapping.windowOrigin = point();
            break;
        case kSetViewportExt:
            mapping.viewportExtent = size();
            break;
        case kSetViewportOrg:
            mapping.viewportOrigin = point();
            break;
        case kSetMapMode:
            mapping.mode = readLe32(record, 8);
            break;
        case kSaveDc:
            if (saved.size() < kMaxSavedStates)
                saved.push_back(mapping);
            break;
        case kRestoreDc: {
            // Counted back from the latest saved state.
            const qint64 back = -qint64(readInt(record, 8));
            if (back >= 1 && back <= qint64(saved.size())) {
                mapping = saved[saved.size() - size_t(back)];
                saved.resize(saved.size() - size_t(back));
            }
            break;
        }
        case kSetWorldTransform:
            mapping.world = transform();
            break;
        case kModifyWorldTransform:
            switch (readLe32(record, 32)) {
            case kIdentity:
                mapping.world.reset();
                break;
            case kLeftMultiply:
                mapping.world = transform() * mapping.world;
                break;
            case kRightMultiply:
                mapping.world = mapping.world * transform();
                break;
            case kSet:
                mapping.world = transform();
                break;
            default:
                break;
            }
            break;
        default:
            break;
        }
    }
};

} // namespace

const Codec* emfCodec()
{
    static const EmfCodec codec;
    return &codec;
}

} // namespace imagelib
