#include "imagelib/cbmpex.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include <QFileInfo>
#include <QIODevice>
#include <QPainter>

#include "imagelib/codecs/codec.h"
#include "imagelib/limits.h"

namespace {

void defaultFatal()
{
    std::fputs("GP Error: the image library could not give a handle.\n", stderr);
    std::exit(-1);
}

CBmpEx::FatalHandler g_fatal = defaultFatal;

// Room for the open dialog's filter strings: every reader's name and patterns.
constexpr int kFilterBytes = 8192;

FlmRect toFlmRect(const QRect& rect)
{
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

} // namespace

void CBmpEx::setFatalHandler(FatalHandler handler)
{
    g_fatal = handler ? handler : defaultFatal;
}

FLMHANDLE CBmpEx::openHandle(FatalHandler fatal)
{
    FLMHANDLE handle = nullptr;
    if (flmOpenHandle(&handle) != 0 || !handle) {
        fatal();
        std::exit(-1);
    }
    return handle;
}

CBmpEx::CBmpEx() : CBmpEx(g_fatal) {}

CBmpEx::CBmpEx(FatalHandler fatal) : m_handle(openHandle(fatal))
{
    flmSetCallback(m_handle, &CBmpEx::progressCallback, this);
}

CBmpEx::~CBmpEx()
{
    flmCloseHandle(m_handle);
}

void CBmpEx::swapPicture(CBmpEx& other)
{
    if (&other == this)
        return;
    std::swap(m_handle, other.m_handle);
    std::swap(m_loaded, other.m_loaded);
    std::swap(m_path, other.m_path);
    // The callback finds its object through the handle's user pointer: each handle must now
    // report to its new owner, whose busy and cancel flags apply.
    flmSetCallback(m_handle, &CBmpEx::progressCallback, this);
    flmSetCallback(other.m_handle, &CBmpEx::progressCallback, &other);
}

int CBmpEx::progressCallback(const FlmCallbackRecord* record)
{
    auto* self = static_cast<CBmpEx*>(record->user);
    if (record->event == kFlmBegin)
        self->m_busy = true;
    else if (record->event == kFlmEnd)
        self->m_busy = false;
    else if (record->event == kFlmProgress && self->m_cancel && self->m_cancel->load())
        return 0;
    return 1;
}

QString CBmpEx::Error::failureText() const
{
    if (!failed())
        return {};
    const QString name = file.isEmpty() ? QStringLiteral("the picture") : QFileInfo(file).fileName();
    switch (action) {
    case kFlmActionWrite:
        return QStringLiteral("Cannot write %1: %2").arg(name, text);
    case kFlmActionEdit:
        return QStringLiteral("Cannot change %1: %2").arg(name, text);
    default:
        return QStringLiteral("Cannot read %1: %2").arg(name, text);
    }
}

CBmpEx::Error CBmpEx::lastError() const
{
    FlmError error;
    flmGetLastError(m_handle, &error);
    return {FlmErrorCode(error.code), FlmAction(error.action), error.text, m_lastFile};
}

bool CBmpEx::Load(const QString& path)
{
    m_lastFile = path;
    // The load finds the file's reader itself (and says why there is none), with the one read of
    // the file it needs.
    if (flmLoadFromFile(m_handle, path) == 0) {
        m_loaded = true;
        m_path = path;
        return true;
    }
    m_loaded = false;
    m_path.clear();
    return false;
}

void CBmpEx::Clear()
{
    if (!isEmpty())
        flmClear(m_handle);
}

QSize CBmpEx::GetSize() const
{
    int size[2] = {-1, -1};
    if (flmGetSize(m_handle, -1, size) != 0)
        return {-1, -1};
    return {size[0], size[1]};
}

QSize CBmpEx::sourceSize() const
{
    int size[2] = {-1, -1};
    if (flmGetSourceSize(m_handle, size) != 0)
        return {};
    return {size[0], size[1]};
}

bool CBmpEx::saveWithPlainOptions(const QString& target, FlmSaveOptions* options)
{
    int slides = 1;
    flmGetSlidesNumber(m_handle, &slides);
    options->field[FlmSaveOptions::kBitsPerPixel] = 24;
    options->field[FlmSaveOptions::kPlainSaveZero] = 0;
    options->field[FlmSaveOptions::kSlides] = slides;
    options->field[FlmSaveOptions::kPlainSaveMark] = 1;
    options->field[FlmSaveOptions::kPlainSaveZeroToo] = 0;
    return flmSaveToFile(m_handle, options, target) == 0;
}

bool CBmpEx::LoadAndSave(const QString& source, const QString& target, FlmSaveOptions* options)
{
    m_lastFile = source;
    if (options && flmLoadFromFile(m_handle, source) != 0)
        return false;
    return Save(target, options);
}

bool CBmpEx::Save(const QString& target, FlmSaveOptions* options)
{
    m_lastFile = target;
    // Without a picture or options the library refuses, and names which is missing.
    if (!options || isEmpty())
        return flmSaveToFile(m_handle, options, target) == 0;
    return saveWithPlainOptions(target, options);
}

std::optional<int> CBmpEx::canOpen(const QString& path)
{
    m_lastFile = path;
    int format = -1;
    if (flmCanOpen(m_handle, path, &format) == 0)
        return std::nullopt;
    return format;
}

std::optional<CBmpEx::FileInfo> CBmpEx::fileInfo(const QString& path)
{
    m_lastFile = path;
    FlmFileInfo info;
    if (flmGetFileInfo(m_handle, path, &info) != 0)
        return std::nullopt;
    return FileInfo{info.format, QSize(info.width, info.height), info.bitsPerPixel};
}

void CBmpEx::setLoadSizeHint(QSize size)
{
    flmSetLoadSizeHint(m_handle, qMax(size.width(), 0), qMax(size.height(), 0));
}

CBmpEx::FileInfo CBmpEx::readQuickHeader(QIODevice& device)
{
    if (!device.isReadable() || device.isSequential())
        return {};
    imagelib::SourceFile file(device);
    imagelib::HeaderInfo header;
    const bool sized = imagelib::readQuickHeader(file, header);
    return {header.format, sized ? QSize(header.width, header.height) : QSize(), header.bitsPerPixel};
}

QString CBmpEx::openDialogFilter()
{
    CBmpEx picture;
    std::vector<char> buffer(kFilterBytes);
    flmGetOpenDialogString(picture.m_handle, buffer.data(), kFilterBytes, 0);
    return flmFilterToQt(buffer.data(), kFilterBytes);
}

QStringList CBmpEx::saveDialogFilter()
{
    CBmpEx picture;
    std::vector<char> buffer(kFilterBytes);
    flmGetSaveDialogString(picture.m_handle, buffer.data(), kFilterBytes);
    return flmFilterToQt(buffer.data(), kFilterBytes).split(QStringLiteral(";;"), Qt::SkipEmptyParts);
}

bool CBmpEx::isEmpty() const
{
    int empty = 1;
    return flmIsEmpty(m_handle, &empty) != 0 || empty != 0;
}

int CBmpEx::sourceFormat() const
{
    int format = kFlmUnknown;
    int bits = 0;
    return flmGetSourceFormat(m_handle, &format, &bits) == 0 ? format : int(kFlmUnknown);
}

int CBmpEx::slideCount() const
{
    int slides = 0;
    return flmGetSlidesNumber(m_handle, &slides) == 0 ? slides : 0;
}

int CBmpEx::currentSlide() const
{
    int slide = -1;
    return flmGetCurrentSlide(m_handle, &slide) == 0 ? slide : -1;
}

bool CBmpEx::firstSlide()
{
    return flmFirst(m_handle) == 0;
}

bool CBmpEx::nextSlide()
{
    return flmNext(m_handle) == 0;
}

int CBmpEx::slideDelay(int slide) const
{
    int delay = -1;
    return flmGetDelay(m_handle, slide, &delay) == 0 ? delay : -1;
}

QSize CBmpEx::slideSize(int slide) const
{
    int size[2] = {-1, -1};
    return slide >= 0 && flmGetSize(m_handle, slide, size) == 0 ? QSize(size[0], size[1]) : QSize();
}

QImage CBmpEx::slideImage() const
{
    QImage image;
    flmGetImage(m_handle, -1, &image);
    return image;
}

bool CBmpEx::draw(QPainter* painter, QPoint at) const
{
    const FlmRect place{at.x(), at.y(), at.x(), at.y()};
    return flmPlay(m_handle, painter, &place, 0) == 0;
}

QImage CBmpEx::opaqueImage(const QColor& background) const
{
    const QSize size = GetSize();
    if (size.isEmpty())
        return {};
    QImage image = imagelib::allocateImage(size.width(), size.height(), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    image.fill(background);
    QPainter painter(&image);
    const bool drawn = draw(&painter, QPoint(0, 0));
    painter.end();
    return drawn ? image : QImage();
}

bool CBmpEx::drawScaled(QPainter* painter, const QRect& target, const QRect& source) const
{
    const FlmRect dest = toFlmRect(target);
    const FlmRect from = toFlmRect(source);
    return flmStretchPlay(m_handle, painter, &dest, source.isValid() ? &from : nullptr) == 0;
}

bool CBmpEx::rotate(int degrees)
{
    return change(flmRotate(m_handle, degrees, 0, 0, 0));
}

bool CBmpEx::mirror(Qt::Orientations axes)
{
    return change(
        flmMirror(m_handle, axes.testFlag(Qt::Vertical) ? 1 : 0, axes.testFlag(Qt::Horizontal) ? 1 : 0, 0, 0));
}

bool CBmpEx::crop(const QRect& rect)
{
    return change(flmCrop(m_handle, rect.x(), rect.y(), rect.width(), rect.height(), 0, slideCount()));
}

bool CBmpEx::change(int result)
{
    m_lastFile = m_path;
    return result == 0;
}
