#include "imagelib/codecs/gmcontext.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>
#include <string>

#include <QSysInfo>

#include <magick/api.h>

#include "imagelib/limits.h"

namespace imagelib {
namespace {

// The coders our readers name, and DIB, which reads the bitmaps inside metafiles. Whatever else
// a picture nests (PostScript in a WordPerfect file, an SVG document in a metafile's bitmap
// record) then finds no coder at all.
constexpr const char* kKeptCoders[] = {"PCX", "DCX", "PNM", "TGA", "PCD", "WBMP", "SUN",
                                       "SGI", "XBM", "XPM", "WMF", "WPG", "DIB"};

// GraphicsMagick's part of a decode reports 0..kDecodeShare percent, copying the frames the rest.
constexpr int kDecodeShare = 80;
constexpr int kProgressRows = 64;

// The decode in progress on this thread, for the process-wide monitor callback.
struct Progress {
    const DecodeContext* context = nullptr;
    int percent = 0;
    bool cancelled = false;
};

thread_local Progress* t_progress = nullptr;

class ProgressScope {
public:
    explicit ProgressScope(Progress& progress) { t_progress = &progress; }
    ~ProgressScope() { t_progress = nullptr; }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;
};

MagickPassFail monitor(const char*, const magick_int64_t quantum, const magick_uint64_t span, ExceptionInfo*)
{
    Progress* progress = t_progress;
    if (!progress || !progress->context)
        return MagickPass;
    if (span > 0 && quantum >= 0) {
        const auto done = std::min<magick_uint64_t>(magick_uint64_t(quantum), span);
        progress->percent = std::max(progress->percent, int(done * kDecodeShare / span));
    }
    if (!progress->context->progress(progress->percent)) {
        progress->cancelled = true;
        return MagickFail;
    }
    return MagickPass;
}

// We only ever hand GraphicsMagick bytes in memory: any file it would open itself, any program
// it would start and any URL it would fetch comes from content, not from us.
MagickPassFail refuseAccess(const ConfirmAccessMode, const char*, ExceptionInfo*)
{
    return MagickFail;
}

bool kept(const char* name)
{
    return std::any_of(std::begin(kKeptCoders), std::end(kKeptCoders),
                       [name](const char* coder) { return qstrcmp(coder, name) == 0; });
}

class Exception {
public:
    Exception() { GetExceptionInfo(&m_info); }
    ~Exception() { DestroyExceptionInfo(&m_info); }
    Exception(const Exception&) = delete;
    Exception& operator=(const Exception&) = delete;
    ExceptionInfo* get() { return &m_info; }
    // Warnings (a coder noting an odd field) still leave a usable picture.
    bool failed() const { return m_info.severity >= ErrorException; }

    // The error as the reason of a failed read of a file in `coder`'s format.
    Failure failure(const char* coder) const
    {
        const QString reason = QString::fromUtf8(m_info.reason ? m_info.reason : "").toLower();
        switch (m_info.severity) {
        case ResourceLimitError:
            return Failure::tooLarge(QStringLiteral("over the limits of the %1 decoder").arg(QLatin1String(coder)));
        case CorruptImageError:
            return reason.contains(QLatin1String("end-of-file")) || reason.contains(QLatin1String("insufficient"))
                       ? Failure::truncated()
                       : Failure::damaged();
        case MissingDelegateError:
        case CoderError:
            return Failure::unsupported(QLatin1String(coder) + QStringLiteral(": ") + reason);
        default:
            return Failure::damaged();
        }
    }

private:
    ExceptionInfo m_info;
};

void unregisterOtherCoders()
{
    Exception exception;
    std::vector<std::string> others;
    if (MagickInfo** all = GetMagickInfoArray(exception.get())) {
        for (MagickInfo** entry = all; *entry; ++entry) {
            if (!kept((*entry)->name))
                others.emplace_back((*entry)->name);
        }
        MagickFree(all);
    }
    for (const std::string& name : others)
        UnregisterMagickInfo(name.c_str());
}

bool setUp()
{
    Exception exception;
    // The application owns the signal handlers.
    if (InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, exception.get()) != MagickPass)
        return false;
    // Room for one slide of the largest allowed size in GraphicsMagick's own pixels, plus its
    // coders' buffers (a quarter of the decoded bytes, 256 MiB); beyond it a decode fails rather
    // than spilling to a cache file (the disk limit is 0).
    const Limits& limits = imagelib::limits();
    const magick_int64_t memory = magick_int64_t(limits.maxPixels) * magick_int64_t(sizeof(PixelPacket)) +
                                  magick_int64_t(limits.maxDecodedBytes / 4);
    const bool limited =
        SetMagickResourceLimit(MemoryResource, memory) && SetMagickResourceLimit(MapResource, memory) &&
        SetMagickResourceLimit(DiskResource, 0) && SetMagickResourceLimit(PixelsResource, limits.maxPixels) &&
        SetMagickResourceLimit(WidthResource, limits.maxSide) && SetMagickResourceLimit(HeightResource, limits.maxSide);
    if (!limited)
        return false;
    MagickSetConfirmAccessHandler(refuseAccess);
    SetMonitorHandler(monitor);
    unregisterOtherCoders();
    return true;
}

// Ready for use on the calling thread. The thread limit is an OpenMP setting of each thread, so
// every thread that decodes sets it for itself; our callers already decode in parallel.
bool ready()
{
    static std::once_flag once;
    static bool initialised = false;
    std::call_once(once, [] { initialised = setUp(); });
    if (!initialised)
        return false;
    static thread_local const bool oneThread = SetMagickResourceLimit(ThreadsResource, 1) == MagickPass;
    return oneThread;
}

struct ImageInfoDeleter {
    void operator()(ImageInfo* info) const { DestroyImageInfo(info); }
};

struct ImageListDeleter {
    void operator()(Image* images) const { DestroyImageList(images); }
};

using ImageList = std::unique_ptr<Image, ImageListDeleter>;

// The frames GraphicsMagick reads; null with the reason when it reads none.
ImageList read(const GmSource& source, bool ping, Failure& failure)
{
    failure = Failure::damaged();
    if (!source.coder || !kept(source.coder) || source.data.isEmpty() || !ready())
        return {};
    const std::unique_ptr<ImageInfo, ImageInfoDeleter> info(CloneImageInfo(nullptr));
    if (!info) {
        failure = Failure::outOfMemory();
        return {};
    }
    // The "CODER:" prefix is what makes GraphicsMagick take the name as given instead of
    // guessing from the content; the file's own path never reaches it.
    qstrncpy(info->magick, source.coder, sizeof info->magick);
    std::snprintf(info->filename, sizeof info->filename, "%s:", source.coder);
    info->subimage = source.subimage;
    info->subrange = source.subrange;
    if (source.dotsPerInch > 0) {
        char density[32];
        std::snprintf(density, sizeof density, "%dx%d", source.dotsPerInch, source.dotsPerInch);
        if (!CloneString(&info->density, density))
            return {};
    }
    Exception exception;
    const auto length = size_t(source.data.size());
    ImageList images(ping ? PingBlob(info.get(), source.data.data(), length, exception.get())
                          : BlobToImage(info.get(), source.data.data(), length, exception.get()));
    if (exception.failed()) {
        failure = exception.failure(source.coder);
        return {};
    }
    return images;
}

// Copies one frame into a new slide image, row by row straight into its scan lines; a null image
// with the reason recorded when it cannot.
QImage copyFrame(Image* frame, const Progress& progress, int framesBefore, int frames)
{
    const DecodeContext& context = *progress.context;
    if (!IsRGBCompatibleColorspace(frame->colorspace) && !TransformColorspace(frame, RGBColorspace)) {
        context.fail(Failure::damaged());
        return {};
    }
    const bool alpha = frame->matte != MagickFalse;
    QImage image = context.allocate(qint64(frame->columns), qint64(frame->rows),
                                    alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return {};
    // The byte order of a 32-bit ARGB word in memory.
    const char* map = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "BGRA" : "ARGB";
    Exception exception;
    for (int y = 0; y < image.height(); ++y) {
        if (y % kProgressRows == 0) {
            // Frames count equally, each by its rows.
            const qint64 done = qint64(framesBefore) * image.height() + y;
            const int percent = kDecodeShare + int((100 - kDecodeShare) * done / (qint64(frames) * image.height()));
            if (!context.progress(percent))
                return {};
        }
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (!DispatchImage(frame, 0, y, frame->columns, 1, map, CharPixel, line, exception.get())) {
            context.fail(Failure::damaged());
            return {};
        }
        // Coders of opaque pictures need not fill GraphicsMagick's opacity, so their alpha is noise.
        if (alpha)
            std::transform(line, line + image.width(), line, [](QRgb pixel) { return qPremultiply(pixel); });
        else
            std::transform(line, line + image.width(), line, [](QRgb pixel) { return pixel | 0xff000000; });
    }
    return image;
}

} // namespace

bool gmDecode(const GmSource& source, const DecodeContext& context, std::vector<Slide>& slides)
{
    Progress progress{&context};
    if (!context.progress(0))
        return false;
    ImageList images;
    Failure failure;
    {
        const ProgressScope scope(progress);
        images = read(source, false, failure);
    }
    if (progress.cancelled)
        return false;
    if (!images)
        return context.fail(failure);
    const auto frames = GetImageListLength(images.get());
    if (frames > size_t(limits().maxSlides))
        return context.fail(tooManySlides());
    DecodeBudget budget;
    std::vector<Slide> decoded;
    decoded.reserve(frames);
    int index = 0;
    for (Image* frame = images.get(); frame; frame = frame->next, ++index) {
        QImage image = copyFrame(frame, progress, index, int(frames));
        if (image.isNull())
            return false;
        if (!budget.take(image))
            return context.fail(budget.refusal());
        decoded.push_back({std::move(image), 0});
    }
    slides = std::move(decoded);
    return !slides.empty();
}

bool gmPing(const GmSource& source, QSize& size, Failure& failure)
{
    const ImageList images = read(source, true, failure);
    if (!images)
        return false;
    constexpr unsigned long kMaxInt = std::numeric_limits<int>::max();
    if (images->columns > kMaxInt || images->rows > kMaxInt) {
        failure = Failure::tooLarge(qint64(images->columns), qint64(images->rows));
        return false;
    }
    size = QSize(int(images->columns), int(images->rows));
    return true;
}

} // namespace imagelib
