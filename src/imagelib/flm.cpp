#include "imagelib/flm.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QStringList>
#include <QTransform>

#include "imagelib/codecs/codec.h"
#include "imagelib/limits.h"
#include "imagelib/logging.h"

using namespace imagelib;

struct FlmHandleData {
    Picture picture;
    int current = 0;
    FlmCallback callback = nullptr;
    void* user = nullptr;
    QSize loadSizeHint;
    FlmError lastError;
};

namespace {

enum Result : int { kOk = 0, kFailed = 1 };

// The end of an operation that keeps its reason: a success clears the last error, a failure
// records it.
int succeed(FLMHANDLE handle)
{
    handle->lastError = FlmError();
    return kOk;
}

int fail(FLMHANDLE handle, FlmAction action, const Failure& failure)
{
    qCDebug(lcImageLib) << (action == kFlmActionRead ? "read" : action == kFlmActionWrite ? "write" : "change")
                        << "failed:" << failure.text;
    handle->lastError = FlmError{failure.code, action, failure.text};
    return kFailed;
}

Failure noPicture()
{
    return Failure::invalid(QStringLiteral("no picture"));
}

// Why a file was not read: what stopped reading it, else what its reader found, else damage.
Failure readFailure(const SourceFile& file, const DecodeContext* context = nullptr)
{
    if (file.failure().failed())
        return file.failure();
    if (context && context->failure().failed())
        return context->failure();
    return Failure::damaged();
}

bool isEmpty(const FLMHANDLE handle)
{
    return handle->picture.slides.empty();
}

// A slide of the picture (-1: the current one); nullptr when there is no such slide.
const Slide* slideAt(const FLMHANDLE handle, int slide)
{
    const int index = slide < 0 ? handle->current : slide;
    const std::vector<Slide>& slides = handle->picture.slides;
    return index < int(slides.size()) ? &slides[size_t(index)] : nullptr;
}

const QImage& currentImage(const FLMHANDLE handle)
{
    return handle->picture.slides[size_t(handle->current)].image;
}

int notify(const FLMHANDLE handle, int event, int percent = 0)
{
    if (!handle->callback)
        return 1;
    FlmCallbackRecord record;
    record.event = event;
    record.percent = percent;
    record.user = handle->user;
    return handle->callback(&record);
}

// Brackets a long operation with the begin and end events.
class LongOperation {
public:
    explicit LongOperation(FLMHANDLE handle) : m_handle(handle) { notify(m_handle, kFlmBegin); }
    ~LongOperation() { notify(m_handle, kFlmEnd); }
    LongOperation(const LongOperation&) = delete;
    LongOperation& operator=(const LongOperation&) = delete;

private:
    FLMHANDLE m_handle;
};

const Codec* sniffCodec(SourceFile& file)
{
    const QByteArrayView head = file.head(kSniffBytes);
    if (head.isEmpty())
        return nullptr;
    const QString suffix = QFileInfo(file.path()).suffix().toLower();
    for (const Codec* codec : codecs()) {
        if (codec->recognise(head, suffix))
            return codec;
    }
    return nullptr;
}

// The codec of a file, or why there is none.
const Codec* codecOrFailure(FLMHANDLE handle, SourceFile& file)
{
    const Codec* codec = sniffCodec(file);
    if (!codec)
        fail(handle, kFlmActionRead, file.failure().failed() ? file.failure() : Failure::notPicture());
    return codec;
}

// Applies an image transform to every slide; all or nothing. The transform gives a null image
// when memory runs out.
template <typename Transform> int transformSlides(FLMHANDLE handle, Transform transform)
{
    if (!handle)
        return kFailed;
    if (isEmpty(handle))
        return fail(handle, kFlmActionEdit, noPicture());
    LongOperation operation(handle);
    std::vector<QImage> results;
    results.reserve(handle->picture.slides.size());
    for (const Slide& slide : handle->picture.slides) {
        QImage result = transform(slide.image);
        if (result.isNull())
            return fail(handle, kFlmActionEdit, Failure::outOfMemory());
        results.push_back(std::move(result));
    }
    for (size_t i = 0; i < results.size(); ++i)
        handle->picture.slides[i].image = std::move(results[i]);
    return succeed(handle);
}

// Runs an operation that allocates as it goes; memory running out fails it like any fault.
template <typename Operation> int guardMemory(FLMHANDLE handle, FlmAction action, Operation operation)
{
    try {
        return operation();
    } catch (const std::bad_alloc&) {
        return fail(handle, action, Failure::outOfMemory());
    }
}

// Appends one zero-terminated text; false when it does not fit (room is kept for the final zero).
bool appendText(char* buffer, int size, int& used, const QByteArray& text)
{
    if (used + text.size() + 2 > size)
        return false;
    std::memcpy(buffer + used, text.constData(), size_t(text.size()));
    used += int(text.size());
    buffer[used++] = '\0';
    return true;
}

QByteArray patternsOf(const QStringList& extensions)
{
    QStringList patterns;
    for (const QString& extension : extensions)
        patterns << QStringLiteral("*.") + extension;
    return patterns.join(QLatin1Char(';')).toUtf8();
}

int writeFilter(char* buffer, int size, const std::vector<std::pair<QByteArray, QByteArray>>& pairs)
{
    if (!buffer || size < 2)
        return kFailed;
    int used = 0;
    for (const auto& [description, patterns] : pairs) {
        if (!appendText(buffer, size, used, description) || !appendText(buffer, size, used, patterns)) {
            buffer[0] = buffer[1] = '\0';
            return kFailed;
        }
    }
    buffer[used] = '\0';
    return kOk;
}

// The save dialog's formats in their order, each with the extension the dialog gives a name.
struct SaveFormat {
    int format;
    const char* extension;
};
constexpr SaveFormat kSaveFormats[] = {
    {kFlmBmp, "bmp"}, {kFlmGif, "gif"}, {kFlmJpeg, "jpg"}, {kFlmPcx, "pcx"},  {kFlmDcx, "dcx"}, {kFlmPbm, "pbm"},
    {kFlmPgm, "pgm"}, {kFlmPpm, "ppm"}, {kFlmTiff, "tif"}, {kFlmPng, "png"},  {kFlmPsd, "psd"}, {kFlmWmf, "wmf"},
    {kFlmApm, "apm"}, {kFlmEmf, "emf"}, {kFlmTga, "tga"},  {kFlmWbmp, "wbm"},
};

int loadFromFile(FLMHANDLE handle, const QString& path)
{
    SourceFile file(path);
    const Codec* codec = codecOrFailure(handle, file);
    if (!codec)
        return kFailed;
    LongOperation operation(handle);
    DecodeContext context;
    context.targetSize = handle->loadSizeHint;
    context.onProgress = [handle](int percent) { return notify(handle, kFlmProgress, percent) != 0; };
    if (handle->picture.slides.size() == 1)
        context.reusable = &handle->picture.slides.front().image;
    Picture picture;
    const bool decoded = codec->decode(file, context, picture) && !picture.slides.empty() &&
                         std::none_of(picture.slides.cbegin(), picture.slides.cend(),
                                      [](const Slide& slide) { return slide.image.isNull(); });
    // A failed load that had taken the old picture's pixels leaves the handle empty, never a
    // picture without them.
    if (!decoded) {
        if (context.reusedTaken)
            handle->picture = Picture();
        return fail(handle, kFlmActionRead, readFailure(file, &context));
    }
    if (picture.sourceSize.isEmpty())
        picture.sourceSize = picture.slides.front().image.size();
    handle->picture = std::move(picture);
    handle->current = 0;
    return succeed(handle);
}

// Why a save failed: the file's own error first, then what the writer found.
Failure writeFailure(const QSaveFile& file, const SaveRequest& request)
{
    if (file.error() != QFileDevice::NoError)
        return Failure::ofFile(file);
    if (request.failure.failed())
        return request.failure;
    return Failure::ofUnknownCause(file);
}

int saveToFile(FLMHANDLE handle, const FlmSaveOptions& options, const QString& path)
{
    const int format = options.field[FlmSaveOptions::kFormat];
    const Writer* writer = writerForFormat(format);
    if (!writer)
        return fail(handle, kFlmActionWrite,
                    Failure::unsupported(QStringLiteral("no writer for format %1").arg(format)));
    LongOperation operation(handle);
    QSaveFile file(path);
    const SaveRequest request{handle->picture, handle->current, options};
    if (!file.open(QIODevice::WriteOnly))
        return fail(handle, kFlmActionWrite, Failure::ofFile(file));
    if (!writer->write(request, file)) {
        const Failure failure = writeFailure(file, request);
        file.cancelWriting();
        return fail(handle, kFlmActionWrite, failure);
    }
    return file.commit() ? succeed(handle) : fail(handle, kFlmActionWrite, writeFailure(file, request));
}

} // namespace

int flmOpenHandle(FLMHANDLE* handle)
{
    if (!handle)
        return kFailed;
    *handle = new (std::nothrow) FlmHandleData;
    return *handle ? kOk : kFailed;
}

int flmCloseHandle(FLMHANDLE handle)
{
    delete handle;
    return kOk;
}

int flmSetCallback(FLMHANDLE handle, FlmCallback callback, void* user)
{
    if (!handle)
        return kFailed;
    handle->callback = callback;
    handle->user = user;
    return kOk;
}

int flmCanOpen(FLMHANDLE handle, const QString& path, int* format)
{
    if (!handle)
        return 0;
    SourceFile file(path);
    const Codec* codec = codecOrFailure(handle, file);
    if (format)
        *format = codec ? codec->format() : -1;
    if (codec)
        succeed(handle);
    return codec ? 1 : 0;
}

int flmLoadFromFile(FLMHANDLE handle, const QString& path)
{
    if (!handle)
        return kFailed;
    return guardMemory(handle, kFlmActionRead, [&] { return loadFromFile(handle, path); });
}

int flmIsEmpty(FLMHANDLE handle, int* empty)
{
    if (!handle || !empty)
        return kFailed;
    *empty = isEmpty(handle) ? 1 : 0;
    return kOk;
}

int flmClear(FLMHANDLE handle)
{
    if (!handle)
        return kFailed;
    handle->picture = Picture();
    handle->current = 0;
    return kOk;
}

int flmGetSize(FLMHANDLE handle, int slide, int size[2])
{
    const Slide* found = handle ? slideAt(handle, slide) : nullptr;
    if (!found || !size)
        return kFailed;
    size[0] = found->image.width();
    size[1] = found->image.height();
    return kOk;
}

int flmGetSlidesNumber(FLMHANDLE handle, int* slides)
{
    if (!handle || !slides)
        return kFailed;
    *slides = int(handle->picture.slides.size());
    return kOk;
}

int flmFirst(FLMHANDLE handle)
{
    if (!handle || isEmpty(handle))
        return kFailed;
    handle->current = 0;
    return kOk;
}

int flmNext(FLMHANDLE handle)
{
    if (!handle || handle->current + 1 >= int(handle->picture.slides.size()))
        return kFailed;
    ++handle->current;
    return kOk;
}

int flmGetCurrentSlide(FLMHANDLE handle, int* slide)
{
    if (!handle || !slide || isEmpty(handle))
        return kFailed;
    *slide = handle->current;
    return kOk;
}

int flmGetDelay(FLMHANDLE handle, int slide, int* delay)
{
    if (!handle || !delay || slide < 0 || slide >= int(handle->picture.slides.size()))
        return kFailed;
    *delay = handle->picture.slides[size_t(slide)].delayMs;
    return kOk;
}

int flmGetImage(FLMHANDLE handle, int slide, QImage* image)
{
    const Slide* found = handle ? slideAt(handle, slide) : nullptr;
    if (!found || !image)
        return kFailed;
    *image = found->image;
    return kOk;
}

int flmGetSourceFormat(FLMHANDLE handle, int* format, int* bitsPerPixel)
{
    if (!handle || !format || !bitsPerPixel || isEmpty(handle))
        return kFailed;
    *format = handle->picture.format;
    *bitsPerPixel = handle->picture.bitsPerPixel;
    return kOk;
}

int flmGetSourceSize(FLMHANDLE handle, int size[2])
{
    if (!handle || !size || isEmpty(handle))
        return kFailed;
    size[0] = handle->picture.sourceSize.width();
    size[1] = handle->picture.sourceSize.height();
    return kOk;
}

int flmPlay(FLMHANDLE handle, QPainter* painter, const FlmRect* rect, int)
{
    if (!handle || !painter || !rect || isEmpty(handle))
        return kFailed;
    painter->drawImage(QPoint(rect->left, rect->top), currentImage(handle));
    return kOk;
}

int flmStretchPlay(FLMHANDLE handle, QPainter* painter, const FlmRect* dest, const FlmRect* source)
{
    if (!handle || !painter || !dest || isEmpty(handle))
        return kFailed;
    const QImage& image = currentImage(handle);
    const QRect target(dest->left, dest->top, dest->width(), dest->height());
    QRect from = source ? QRect(source->left, source->top, source->width(), source->height()) : image.rect();
    from = from.intersected(image.rect());
    if (target.isEmpty() || from.isEmpty())
        return kFailed;
    if (target.size() == from.size()) {
        painter->drawImage(target.topLeft(), image, from);
    } else if (target.width() <= from.width() && target.height() <= from.height()) {
        // Area-averaged shrinking: bilinear sampling alone would alias large reductions.
        const QImage part = from == image.rect() ? image : image.copy(from);
        painter->drawImage(target.topLeft(),
                           part.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else {
        painter->save();
        painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter->drawImage(QRectF(target), image, QRectF(from));
        painter->restore();
    }
    return kOk;
}

int flmRotate(FLMHANDLE handle, double angle, int, int, int)
{
    int degrees = 0;
    if (angle == 90.0 || angle == -270.0)
        degrees = 90;
    else if (angle == -90.0 || angle == 270.0)
        degrees = 270;
    else if (angle == 180.0 || angle == -180.0)
        degrees = 180;
    else
        return handle ? fail(handle, kFlmActionEdit, Failure::invalid(QStringLiteral("angle of %1 degrees").arg(angle)))
                      : kFailed;
    return transformSlides(handle,
                           [degrees](const QImage& image) { return image.transformed(QTransform().rotate(degrees)); });
}

int flmMirror(FLMHANDLE handle, int vertical, int horizontal, int, int)
{
    if (!vertical && !horizontal)
        return transformSlides(handle, [](const QImage& image) { return image; });
    return transformSlides(
        handle, [vertical, horizontal](const QImage& image) { return image.mirrored(horizontal != 0, vertical != 0); });
}

int flmCrop(FLMHANDLE handle, int left, int top, int width, int height, int, int)
{
    if (!handle)
        return kFailed;
    const QRect rect(left, top, width, height);
    const std::vector<Slide>& slides = handle->picture.slides;
    const bool outside = rect.isEmpty() || std::any_of(slides.cbegin(), slides.cend(), [&rect](const Slide& slide) {
                             return !slide.image.rect().contains(rect);
                         });
    if (!slides.empty() && outside)
        return fail(handle, kFlmActionEdit, Failure::invalid(QStringLiteral("rectangle outside the picture")));
    return transformSlides(handle, [rect](const QImage& image) { return image.copy(rect); });
}

int flmSaveToFile(FLMHANDLE handle, const FlmSaveOptions* options, const QString& path)
{
    if (!handle)
        return kFailed;
    if (isEmpty(handle))
        return fail(handle, kFlmActionWrite, noPicture());
    if (!options)
        return fail(handle, kFlmActionWrite, Failure::invalid(QStringLiteral("no save options")));
    if (path.isEmpty())
        return fail(handle, kFlmActionWrite, {kFlmErrorNotFound, QStringLiteral("no file name")});
    return guardMemory(handle, kFlmActionWrite, [&] { return saveToFile(handle, *options, path); });
}

int flmGetOpenDialogString(FLMHANDLE handle, char* buffer, int size, int)
{
    if (!handle)
        return kFailed;
    QStringList all;
    std::vector<std::pair<QByteArray, QByteArray>> pairs;
    for (const Codec* codec : codecs()) {
        all << codec->extensions();
        pairs.emplace_back(codec->description().toUtf8(), patternsOf(codec->extensions()));
    }
    pairs.insert(pairs.begin(), {QByteArrayLiteral("All Images"), patternsOf(all)});
    pairs.emplace_back(QByteArrayLiteral("All Files"), QByteArrayLiteral("*"));
    return writeFilter(buffer, size, pairs);
}

int flmGetSaveDialogString(FLMHANDLE handle, char* buffer, int size)
{
    if (!handle)
        return kFailed;
    std::vector<std::pair<QByteArray, QByteArray>> pairs;
    // Every save format is also read, and its reader names it.
    for (const SaveFormat& save : kSaveFormats) {
        const Codec* codec = codecForFormat(save.format);
        if (writerForFormat(save.format) && codec)
            pairs.emplace_back(codec->description().toUtf8(), QByteArray("*.") + save.extension);
    }
    return writeFilter(buffer, size, pairs);
}

int flmGetFileInfo(FLMHANDLE handle, const QString& path, FlmFileInfo* info)
{
    if (!handle || !info)
        return kFailed;
    return guardMemory(handle, kFlmActionRead, [&]() -> int {
        SourceFile file(path);
        const Codec* codec = codecOrFailure(handle, file);
        HeaderInfo header;
        if (!codec)
            return kFailed;
        if (!codec->readHeader(file, header))
            return fail(handle, kFlmActionRead, readFailure(file));
        *info = FlmFileInfo();
        info->format = header.format;
        info->width = header.width;
        info->height = header.height;
        info->bitsPerPixel = header.bitsPerPixel;
        return succeed(handle);
    });
}

int flmSetLoadSizeHint(FLMHANDLE handle, int width, int height)
{
    if (!handle || width < 0 || height < 0)
        return kFailed;
    handle->loadSizeHint = width > 0 && height > 0 ? QSize(width, height) : QSize();
    return kOk;
}

int flmGetLastError(FLMHANDLE handle, FlmError* error)
{
    if (!handle || !error)
        return kFailed;
    *error = handle->lastError;
    return kOk;
}

QString flmFilterToQt(const char* buffer, int size)
{
    QStringList filters;
    int position = 0;
    auto next = [&]() -> QString {
        if (!buffer || position >= size || buffer[position] == '\0')
            return {};
        const int start = position;
        while (position < size && buffer[position] != '\0')
            ++position;
        const QString text = QString::fromUtf8(buffer + start, position - start);
        ++position;
        return text;
    };
    for (;;) {
        const QString description = next();
        const QString patterns = next();
        if (description.isEmpty() || patterns.isEmpty())
            break;
        filters << QStringLiteral("%1 (%2)").arg(description,
                                                 QString(patterns).replace(QLatin1Char(';'), QLatin1Char(' ')));
    }
    return filters.join(QStringLiteral(";;"));
}
