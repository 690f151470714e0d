// JPEG files through libjpeg-turbo. Thumbnails and previews take the cheap paths: the camera's
// embedded EXIF thumbnail when it is large enough, otherwise a DCT-scaled decode.
#include "imagelib/codecs/codec.h"

#include <array>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <limits>

#include <QIODevice>
#include <QStringList>

#include <jpeglib.h>
// jerror.h needs jpeglib.h first.
#include <jerror.h>

#include "imagelib/codecs/exif.h"
#include "imagelib/codecs/writerutil.h"
#include "imagelib/flm.h"
#include "imagelib/limits.h"

namespace imagelib {
namespace {

// Each progressive scan is a pass over the whole picture: a file with thousands only burns time.
constexpr int kMaxScans = 100;
constexpr int kRowsPerCall = 16;
constexpr int kDefaultQuality = 75;
// A thumbnail whose shape differs more than this carries bars and cannot stand in for the picture.
constexpr double kAspectTolerance = 0.02;

// libjpeg's 32-bit layout that matches QImage::Format_RGB32 in memory (0xffRRGGBB as a word);
// the alpha variant guarantees the fourth byte is 0xff.
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kRgb32Space = JCS_EXT_BGRA;
#else
constexpr J_COLOR_SPACE kRgb32Space = JCS_EXT_ARGB;
#endif

enum : uchar {
    kMarkerTem = 0x01,
    kMarkerRst0 = 0xD0,
    kMarkerRst7 = 0xD7,
    kMarkerSoi = 0xD8,
    kMarkerEoi = 0xD9,
    kMarkerSos = 0xDA,
    kMarkerApp1 = 0xE1,
};

// What the markers before the first scan tell.
struct JpegLayout {
    int width = 0;
    int height = 0;
    int components = 0;
    int precision = 8;     // bits a sample
    uchar frameMarker = 0; // the coding process: baseline, progressive, lossless...
    ExifInfo exif;
};

enum class Scan { Complete, NeedMore, Invalid };

// Marker, length, precision, height and width: the frame header as far as its size.
constexpr qsizetype kFrameSizeBytes = 9;

// How far a walk of the markers goes and what it forgives. The decoder's walk reads every segment
// up to the first scan, skipping stray bytes between them as libjpeg does. The file list's quick
// walk stops at the frame header's size, refuses stray bytes, and gives up after as many markers
// or beyond an offset as no real file's frame header lies, so that a hostile file is never read
// through.
struct Walk {
    bool toFirstScan;
    bool skipStrayBytes;
    int maxMarkers;
    qsizetype maxOffset;
    qsizetype firstRead; // bytes of the file read before the walk asks for more
};
// Camera thumbnails and the frame header sit well inside the decoder's first read.
constexpr Walk kDecoderWalk{true, true, std::numeric_limits<int>::max(), std::numeric_limits<qsizetype>::max() / 2,
                            64 * 1024};
constexpr Walk kQuickWalk{false, false, 64, qsizetype(1) << 20, 16 * 1024};

// The coding processes libjpeg-turbo does not decode, as the user knows them; empty for those it
// does.
QString unsupportedVariant(const JpegLayout& layout)
{
    if (layout.precision != 8)
        return QStringLiteral("%1-bit JPEG").arg(layout.precision);
    switch (layout.frameMarker) {
    case 0xC3:
    case 0xC7:
    case 0xCB:
    case 0xCF:
        return QStringLiteral("lossless JPEG");
    case 0xC5:
    case 0xC6:
    case 0xCD:
    case 0xCE:
        return QStringLiteral("hierarchical JPEG");
    default:
        return {};
    }
}

bool isStartOfFrame(uchar marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The size fields of the frame header at `pos`: all the file list's quick walk reads of it.
Scan readFrameSize(QByteArrayView data, qsizetype pos, qsizetype length, JpegLayout& layout, qsizetype& needed)
{
    if (length < 8)
        return Scan::Invalid;
    if (pos + kFrameSizeBytes > data.size()) {
        needed = pos + kFrameSizeBytes;
        return Scan::NeedMore;
    }
    const auto* bytes = reinterpret_cast<const uchar*>(data.data()) + pos;
    layout.height = bytes[5] << 8 | bytes[6];
    layout.width = bytes[7] << 8 | bytes[8];
    // A height of 0 defers it to a DNL marker, which neither walk follows.
    return layout.width == 0 || layout.height == 0 ? Scan::Invalid : Scan::Complete;
}

// Walks the markers, up to the first scan or the frame header's size as `walk` says. On NeedMore,
// `needed` is how many bytes the walk needs to go on.
Scan scanMarkers(QByteArrayView data, const Walk& walk, JpegLayout& layout, qsizetype& needed)
{
    const auto* bytes = reinterpret_cast<const uchar*>(data.data());
    const qsizetype size = data.size();
    if (size < 2 || bytes[0] != 0xFF || bytes[1] != kMarkerSoi)
        return Scan::Invalid;
    bool exifSeen = false;
    qsizetype pos = 2;
    for (int markers = 1;; ++markers) {
        while (walk.skipStrayBytes && pos < size && bytes[pos] != 0xFF)
            ++pos;
        while (pos + 1 < size && bytes[pos] == 0xFF && bytes[pos + 1] == 0xFF)
            ++pos; // a fill byte before the marker
        if (markers > walk.maxMarkers || pos > walk.maxOffset)
            return Scan::Invalid;
        if (pos + 4 > size) {
            needed = pos + 4;
            return Scan::NeedMore;
        }
        const uchar marker = bytes[pos + 1];
        if (bytes[pos] != 0xFF || marker == kMarkerEoi || marker == 0x00)
            return Scan::Invalid;
        // Markers without a length; a second start of image among them is a writer's slip.
        if (marker == kMarkerTem || marker == kMarkerSoi || (marker >= kMarkerRst0 && marker <= kMarkerRst7)) {
            pos += 2;
            continue;
        }
        if (marker == kMarkerSos)
            return walk.toFirstScan && layout.components > 0 ? Scan::Complete : Scan::Invalid;
        const qsizetype length = bytes[pos + 2] << 8 | bytes[pos + 3];
        if (length < 2)
            return Scan::Invalid;
        const qsizetype end = pos + 2 + length;
        const bool frame = isStartOfFrame(marker);
        if (frame && !walk.toFirstScan)
            return readFrameSize(data, pos, length, layout, needed);
        const bool exif = marker == kMarkerApp1 && !exifSeen;
        if ((frame || exif) && end > size) {
            needed = end;
            return Scan::NeedMore;
        }
        if (frame) {
            // The whole segment is there, so the byte after the size fields is too.
            if (layout.components > 0 || readFrameSize(data, pos, length, layout, needed) != Scan::Complete)
                return Scan::Invalid;
            layout.frameMarker = marker;
            layout.precision = bytes[pos + 4];
            layout.components = bytes[pos + kFrameSizeBytes];
            if (layout.components == 0)
                return Scan::Invalid;
        } else if (exif) {
            exifSeen = readExif(data.sliced(pos + 4, length - 2), layout.exif);
        }
        pos = end;
    }
}

// Scans the head of the file, reading more of it while a segment it needs lies further on.
// False with the reason when the markers are broken or the file ends inside them.
bool scanFile(SourceFile& file, const Walk& walk, JpegLayout& layout, Failure& failure)
{
    qsizetype wanted = walk.firstRead;
    for (;;) {
        const QByteArrayView head = file.head(wanted);
        layout = JpegLayout();
        qsizetype needed = 0;
        switch (scanMarkers(head, walk, layout, needed)) {
        case Scan::Complete:
            return true;
        case Scan::Invalid:
            failure = Failure::damaged();
            return false;
        case Scan::NeedMore:
            if (head.size() < wanted || needed > limits().maxFileBytes) {
                failure = Failure::truncated(); // the file ends inside its header
                return false;
            }
            wanted = qMin(qMax(needed, 2 * wanted), walk.maxOffset + kFrameSizeBytes);
            break;
        }
    }
}

// The smallest DCT scale, in eighths, whose picture still fills `target` without enlarging:
// eighths / 8 must reach the fit factor min(tw / w, th / h).
int scaleEighths(qint64 width, qint64 height, QSize target)
{
    if (target.isEmpty())
        return 8;
    for (int eighths = 1; eighths < 8; ++eighths) {
        if (eighths * width >= 8 * qint64(target.width()) || eighths * height >= 8 * qint64(target.height()))
            return eighths;
    }
    return 8;
}

bool thumbnailServes(const JpegLayout& layout, QSize target)
{
    if (target.isEmpty() || layout.exif.thumbnail.isEmpty())
        return false;
    JpegLayout thumbnail;
    qsizetype needed = 0;
    if (scanMarkers(layout.exif.thumbnail, kDecoderWalk, thumbnail, needed) != Scan::Complete)
        return false;
    if (qMax(thumbnail.width, thumbnail.height) < qMax(target.width(), target.height()))
        return false;
    const double aspect = double(layout.width) / layout.height;
    const double thumbnailAspect = double(thumbnail.width) / thumbnail.height;
    return qAbs(thumbnailAspect - aspect) <= kAspectTolerance * aspect;
}

// libjpeg reports fatal errors through error_exit, which must not return: it jumps back to the
// setjmp of the running decode or encode. Warnings and messages are dropped.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Records the reason of a decoder's fatal error, then ends the decode as errorExit does.
[[noreturn]] void decodeErrorExit(j_common_ptr common);

void dropMessage(j_common_ptr, int) {}

void dropOutput(j_common_ptr) {}

jpeg_error_mgr* installErrorManager(ErrorManager& error)
{
    jpeg_std_error(&error.base);
    error.base.error_exit = errorExit;
    error.base.emit_message = dropMessage;
    error.base.output_message = dropOutput;
    return &error.base;
}

// Runs steps() with the error jump armed; a libjpeg error inside makes it return false. steps
// keeps every object with a destructor outside its own frame (in the Decoder or Encoder), so the
// jump skips no destructor.
template <typename Steps> bool guarded(std::jmp_buf& jump, Steps steps)
{
    if (setjmp(jump))
        return false;
    return steps();
}

struct Decoder {
    jpeg_decompress_struct cinfo{};
    ErrorManager error{};
    jpeg_progress_mgr monitor{};
    boolean (*libraryFill)(j_decompress_ptr) = nullptr;
    const DecodeContext* context = nullptr;
    int reported = -1;
    // The data ended early; whether at least one row of blocks had been read by then.
    bool truncated = false;
    bool dataBeforeEnd = false;
    QImage image;

    explicit Decoder(const DecodeContext& decodeContext) : context(&decodeContext)
    {
        cinfo.err = installErrorManager(error);
        error.base.error_exit = decodeErrorExit;
        cinfo.client_data = this;
    }
    ~Decoder() { jpeg_destroy_decompress(&cinfo); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

Decoder* decoderOf(j_common_ptr cinfo)
{
    return static_cast<Decoder*>(cinfo->client_data);
}

// The memory source calls this only when the data ran out; it then feeds an end marker and the
// decoder fills the rest of the picture.
boolean noteEnd(j_decompress_ptr cinfo)
{
    Decoder* decoder = decoderOf(reinterpret_cast<j_common_ptr>(cinfo));
    if (!decoder->truncated) {
        decoder->truncated = true;
        decoder->dataBeforeEnd = cinfo->input_scan_number > 1 || cinfo->input_iMCU_row > 0;
    }
    return decoder->libraryFill(cinfo);
}

// A cancel or a limit recorded before the error stands as the reason.
void decodeErrorExit(j_common_ptr common)
{
    const Decoder* decoder = decoderOf(common);
    decoder->context->fail(common->err->msg_code == JERR_OUT_OF_MEMORY ? Failure::outOfMemory() : Failure::damaged());
    errorExit(common);
}

void reportProgress(j_common_ptr common)
{
    Decoder* decoder = decoderOf(common);
    if (decoder->cinfo.input_scan_number > kMaxScans) {
        decoder->context->fail(Failure::tooLarge(QStringLiteral("more than %1 progressive scans").arg(kMaxScans)));
        errorExit(common);
    }
    const jpeg_progress_mgr* monitor = common->progress;
    if (monitor->pass_limit <= 0 || monitor->total_passes <= 0)
        return;
    const double done = monitor->completed_passes + double(monitor->pass_counter) / double(monitor->pass_limit);
    const int percent = qMin(100, int(done * 100 / monitor->total_passes));
    if (percent <= decoder->reported)
        return;
    decoder->reported = percent;
    if (!decoder->context->progress(percent))
        errorExit(common);
}

// True once every component has had its first DC scan: a picture at 1/8 scale is made of the DC
// coefficients alone. Asked only between scans, when coef_bits holds no scan still under way.
bool dcScansDone(const jpeg_decompress_struct& cinfo)
{
    for (int c = 0; c < cinfo.num_components; ++c) {
        if (cinfo.coef_bits[c][0] < 0)
            return false;
    }
    return true;
}

// Reads a progressive file's scans until its DC scans are in, or the data ends, and leaves the
// rest of the file unread. Reports progress as jpeg_start_decompress does when it reads all scans.
void readDcScans(Decoder& d)
{
    jpeg_progress_mgr& monitor = d.monitor;
    for (;;) {
        reportProgress(reinterpret_cast<j_common_ptr>(&d.cinfo));
        // The memory source never suspends: at the end of the data it feeds an end marker.
        const int status = jpeg_consume_input(&d.cinfo);
        if (status == JPEG_REACHED_EOI || (status == JPEG_SCAN_COMPLETED && dcScansDone(d.cinfo)))
            return;
        if ((status == JPEG_ROW_COMPLETED || status == JPEG_REACHED_SOS) &&
            ++monitor.pass_counter >= monitor.pass_limit)
            monitor.pass_limit += long(d.cinfo.total_iMCU_rows);
    }
}

// CMYK arrives in the 4 bytes an RGB32 pixel takes, so it is turned into RGB where it lies.
// Adobe's files store the inks inverted (255 = no ink); others store plain amounts.
void cmykToRgb32(uchar* row, JDIMENSION width, bool inverted)
{
    auto* pixel = reinterpret_cast<QRgb*>(row);
    for (JDIMENSION x = 0; x < width; ++x, row += 4) {
        int c = row[0];
        int m = row[1];
        int y = row[2];
        int k = row[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        pixel[x] = qRgb(c * k / 255, m * k / 255, y * k / 255);
    }
}

bool decodeSteps(Decoder& d, QByteArrayView data, QSize target, bool wholeOnly)
{
    jpeg_create_decompress(&d.cinfo);
    d.cinfo.mem->max_memory_to_use = long(limits().maxDecodedBytes);
    jpeg_mem_src(&d.cinfo, reinterpret_cast<const unsigned char*>(data.data()),
                 static_cast<unsigned long>(data.size()));
    d.libraryFill = d.cinfo.src->fill_input_buffer;
    d.cinfo.src->fill_input_buffer = noteEnd;
    d.monitor.progress_monitor = reportProgress;
    d.cinfo.progress = &d.monitor;
    jpeg_read_header(&d.cinfo, TRUE);
    if (!d.context->allowSize(d.cinfo.image_width, d.cinfo.image_height))
        return false;

    QImage::Format format = QImage::Format_RGB32;
    switch (d.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
        d.cinfo.out_color_space = JCS_GRAYSCALE;
        format = QImage::Format_Grayscale8;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        d.cinfo.out_color_space = JCS_CMYK;
        break;
    default:
        d.cinfo.out_color_space = kRgb32Space;
        break;
    }
    d.cinfo.scale_num = unsigned(scaleEighths(d.cinfo.image_width, d.cinfo.image_height, target));
    d.cinfo.scale_denom = 8;
    if (d.cinfo.scale_num < 8) {
        // A reduced picture is shrunk again for display: speed beats the last bit of quality.
        d.cinfo.dct_method = JDCT_IFAST;
        d.cinfo.do_fancy_upsampling = FALSE;
    }
    // At 1/8 scale a progressive file's AC scans, most of its data, would be read for nothing.
    const bool dcOnly = d.cinfo.progressive_mode && d.cinfo.scale_num == 1;
    if (dcOnly) {
        d.cinfo.buffered_image = TRUE;
        // Smoothing guesses AC coefficients, which the 1/8 picture does not use.
        d.cinfo.do_block_smoothing = FALSE;
    }
    jpeg_calc_output_dimensions(&d.cinfo);
    d.image = d.context->allocateSlide(d.cinfo.output_width, d.cinfo.output_height, format);
    if (d.image.isNull())
        return false;

    jpeg_start_decompress(&d.cinfo);
    if (dcOnly) {
        readDcScans(d);
        jpeg_start_output(&d.cinfo, d.cinfo.input_scan_number);
    }
    uchar* const bits = d.image.bits();
    const qsizetype stride = d.image.bytesPerLine();
    const bool cmyk = d.cinfo.out_color_space == JCS_CMYK;
    JSAMPROW rows[kRowsPerCall];
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const JDIMENSION first = d.cinfo.output_scanline;
        const JDIMENSION count = qMin<JDIMENSION>(kRowsPerCall, d.cinfo.output_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = bits + qsizetype(first + i) * stride;
        const JDIMENSION read = jpeg_read_scanlines(&d.cinfo, rows, count);
        if (read == 0)
            return false;
        if (cmyk) {
            for (JDIMENSION i = 0; i < read; ++i)
                cmykToRgb32(rows[i], d.cinfo.output_width, d.cinfo.saw_Adobe_marker);
        }
    }
    // A file cut before any row of blocks would show nothing but the decoder's grey.
    return !d.truncated || (d.dataBeforeEnd && !wholeOnly) || d.context->fail(Failure::truncated());
}

// The picture in `data`, reduced by the DCT scale that still fills `target`; null on failure.
// A truncated picture is kept, partly grey, unless wholeOnly asks for all of it.
QImage decodeJpeg(QByteArrayView data, QSize target, const DecodeContext& context, bool wholeOnly)
{
    Decoder decoder(context);
    if (!guarded(decoder.error.jump, [&] { return decodeSteps(decoder, data, target, wholeOnly); }))
        return {};
    return std::move(decoder.image);
}

struct Encoder {
    jpeg_compress_struct cinfo{};
    ErrorManager error{};
    jpeg_destination_mgr destination{};
    QIODevice* device = nullptr;
    std::array<JOCTET, 64 * 1024> buffer{};

    explicit Encoder(QIODevice& out) : device(&out)
    {
        cinfo.err = installErrorManager(error);
        cinfo.client_data = this;
    }
    ~Encoder() { jpeg_destroy_compress(&cinfo); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Writes the first `count` bytes of the buffer out and empties it; a failed write ends the
    // encode.
    void flush(size_t count)
    {
        if (device->write(reinterpret_cast<const char*>(buffer.data()), qint64(count)) != qint64(count))
            errorExit(reinterpret_cast<j_common_ptr>(&cinfo));
        destination.next_output_byte = buffer.data();
        destination.free_in_buffer = buffer.size();
    }
};

Encoder* encoderOf(j_compress_ptr cinfo)
{
    return static_cast<Encoder*>(cinfo->client_data);
}

void startDestination(j_compress_ptr cinfo)
{
    Encoder* encoder = encoderOf(cinfo);
    encoder->destination.next_output_byte = encoder->buffer.data();
    encoder->destination.free_in_buffer = encoder->buffer.size();
}

// Called when the buffer is full, whatever free_in_buffer says.
boolean flushFullBuffer(j_compress_ptr cinfo)
{
    Encoder* encoder = encoderOf(cinfo);
    encoder->flush(encoder->buffer.size());
    return TRUE;
}

void finishDestination(j_compress_ptr cinfo)
{
    Encoder* encoder = encoderOf(cinfo);
    encoder->flush(encoder->buffer.size() - encoder->destination.free_in_buffer);
}

bool encodeSteps(Encoder& e, const QImage& image, int quality)
{
    jpeg_create_compress(&e.cinfo);
    e.destination.init_destination = startDestination;
    e.destination.empty_output_buffer = flushFullBuffer;
    e.destination.term_destination = finishDestination;
    e.cinfo.dest = &e.destination;
    e.cinfo.image_width = JDIMENSION(image.width());
    e.cinfo.image_height = JDIMENSION(image.height());
    const bool grey = image.format() == QImage::Format_Grayscale8;
    e.cinfo.input_components = grey ? 1 : 4;
    e.cinfo.in_color_space = grey ? JCS_GRAYSCALE : kRgb32Space;
    // The defaults are baseline YCbCr with 4:2:0 chroma subsampling.
    jpeg_set_defaults(&e.cinfo);
    jpeg_set_quality(&e.cinfo, quality, TRUE);
    e.cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&e.cinfo, TRUE);
    JSAMPROW rows[kRowsPerCall];
    while (e.cinfo.next_scanline < e.cinfo.image_height) {
        const JDIMENSION first = e.cinfo.next_scanline;
        const JDIMENSION count = qMin<JDIMENSION>(kRowsPerCall, e.cinfo.image_height - first);
        // libjpeg's row type is not const, but the compressor only reads the rows.
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = const_cast<JSAMPLE*>(image.constScanLine(int(first + i)));
        jpeg_write_scanlines(&e.cinfo, rows, count);
    }
    jpeg_finish_compress(&e.cinfo);
    return true;
}

class JpegCodec final : public Codec, public Writer {
public:
    int format() const override { return kFlmJpeg; }
    QString description() const override { return QStringLiteral("JPEG File"); }
    QStringList extensions() const override
    {
        return {QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("jpe"), QStringLiteral("jfif"),
                QStringLiteral("jif")};
    }

    bool sniff(QByteArrayView head) const override { return head.startsWith("\xFF\xD8\xFF"); }

    bool readHeader(SourceFile& file, HeaderInfo& info) const override
    {
        JpegLayout layout;
        Failure failure;
        if (!scanFile(file, kDecoderWalk, layout, failure))
            return false;
        const bool swapped = orientationSwapsSides(layout.exif.orientation);
        info.format = kFlmJpeg;
        info.width = swapped ? layout.height : layout.width;
        info.height = swapped ? layout.width : layout.height;
        info.bitsPerPixel = bitsPerPixel(layout);
        return true;
    }

    bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const override
    {
        JpegLayout layout;
        Failure failure;
        if (!scanFile(file, kDecoderWalk, layout, failure))
            return context.fail(failure);
        if (const QString variant = unsupportedVariant(layout); !variant.isEmpty())
            return context.fail(Failure::unsupported(variant));
        const int orientation = layout.exif.orientation;
        // The target is given upright; the stored picture may lie on its side.
        const QSize target = orientationSwapsSides(orientation) ? context.targetSize.transposed() : context.targetSize;
        QImage image;
        // The thumbnail lies inside the head already read, so the rest of the file is never read.
        // A damaged one gives way to the picture itself.
        if (thumbnailServes(layout, target)) {
            image = decodeJpeg(layout.exif.thumbnail, target, context, true);
            // The picture itself is tried next, and answers for the file.
            context.clearFailure();
        }
        if (image.isNull()) {
            const QByteArray* data = file.all();
            if (!data)
                return false;
            image = decodeJpeg(*data, target, context, false);
            if (image.isNull())
                return false;
        }
        picture.slides.push_back({orientImage(std::move(image), orientation), 0});
        picture.format = kFlmJpeg;
        picture.bitsPerPixel = bitsPerPixel(layout);
        picture.sourceSize = orientationSwapsSides(orientation) ? QSize(layout.height, layout.width)
                                                                : QSize(layout.width, layout.height);
        return true;
    }

    bool write(const SaveRequest& request, QIODevice& out) const override
    {
        QImage image = request.image();
        if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_Grayscale8)
            image = image.convertToFormat(QImage::Format_RGB32);
        if (!writerutil::writable(request, image, JPEG_MAX_DIMENSION, "JPEG"))
            return false;
        int quality = request.options.field[FlmSaveOptions::kQuality];
        if (quality < 1 || quality > 100)
            quality = kDefaultQuality;
        Encoder encoder(out);
        return guarded(encoder.error.jump, [&] { return encodeSteps(encoder, image, quality); });
    }

private:
    static int bitsPerPixel(const JpegLayout& layout) { return layout.components == 1 ? 8 : 24; }
};

const JpegCodec& theJpegCodec()
{
    static const JpegCodec codec;
    return codec;
}

} // namespace

const Codec* jpegCodec()
{
    return &theJpegCodec();
}

const Writer* jpegWriter()
{
    return &theJpegCodec();
}

bool jpegQuickHeader(SourceFile& file, HeaderInfo& info)
{
    JpegLayout layout;
    Failure failure;
    if (!scanFile(file, kQuickWalk, layout, failure))
        return false;
    info.width = layout.width;
    info.height = layout.height;
    return true;
}

} // namespace imagelib
