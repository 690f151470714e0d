#include "imagelib/cbmpex.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

namespace {

void defaultFatal()
{
    std::fputs("GP Error: the image library could not give a handle.\n", stderr);
    std::exit(-1);
}

CBmpEx::FatalHandler g_fatal = defaultFatal;

constexpr int kCellMargin = 5;
constexpr int kCellFrame = 76;

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

CBmpEx::CBmpEx() : m_handle(openHandle(g_fatal))
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
    int format = -1;
    if (flmCanOpen(m_handle, path, &format) != 0 && flmLoadFromFile(m_handle, path) == 0) {
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
    int empty = 1;
    if (flmIsEmpty(m_handle, &empty) == 0 && !empty)
        flmClear(m_handle);
}

QSize CBmpEx::GetSize() const
{
    int size[2] = {-1, -1};
    if (flmGetSize(m_handle, -1, size) != 0)
        return {-1, -1};
    return {size[0], size[1]};
}

bool CBmpEx::DrawThumbnail(QPainter* painter, const QRect& rect) const
{
    int empty = 1;
    if (!painter || flmIsEmpty(m_handle, &empty) != 0 || empty)
        return false;
    const QRect place = thumbnailPlace(GetSize(), rect.size());
    drawThumbnailFrame(painter, rect, place, colours);
    if (place.isEmpty())
        return true;
    const QRect target = place.translated(rect.topLeft());
    const FlmRect dest{target.left(), target.top(), target.left() + target.width(), target.top() + target.height()};
    return flmStretchPlay(m_handle, painter, &dest, nullptr) == 0;
}

QRect CBmpEx::thumbnailPlace(QSize picture, QSize cell)
{
    const int areaWidth = cell.width() - 2 * kCellMargin;
    const int areaHeight = cell.height() - 2 * kCellMargin;
    int drawnWidth = picture.width();
    int drawnHeight = picture.height();
    if (!(picture.width() < areaWidth && picture.height() < areaHeight)) {
        const double scale = std::min(double(areaWidth) / picture.width(), double(areaHeight) / picture.height());
        drawnWidth = int(picture.width() * scale);
        drawnHeight = int(picture.height() * scale);
    }
    return {(areaWidth - drawnWidth) / 2 + kCellMargin, (areaHeight - drawnHeight) / 2 + kCellMargin, drawnWidth,
            drawnHeight};
}

void CBmpEx::drawThumbnailFrame(QPainter* painter, const QRect& cell, const QRect& place,
                                const ThumbnailColours& colours)
{
    const int x = place.x(), y = place.y(), drawnWidth = place.width(), drawnHeight = place.height();
    painter->save();
    painter->translate(cell.topLeft());
    painter->fillRect(QRect(0, 0, cell.width(), cell.height()), QGuiApplication::palette().color(QPalette::Button));
    painter->fillRect(0, 0, kCellFrame, 1, colours.light);
    painter->fillRect(0, 0, 1, kCellFrame, colours.light);
    painter->fillRect(kCellFrame - 1, 0, 1, kCellFrame, colours.dark);
    painter->fillRect(0, kCellFrame - 1, kCellFrame, 1, colours.dark);
    painter->fillRect(x, y - 1, drawnWidth, 1, colours.border);
    painter->fillRect(x - 1, y - 1, 1, drawnHeight + 1, colours.border);
    painter->fillRect(x + drawnWidth, y - 1, 1, drawnHeight + 1, colours.light);
    painter->fillRect(x - 1, y + drawnHeight, drawnWidth + 2, 1, colours.light);
    painter->restore();
}

bool CBmpEx::saveWithPlainOptions(const QString& target, FlmSaveOptions* options)
{
    int slides = 1;
    flmGetSlidesNumber(m_handle, &slides);
    options->field[FlmSaveOptions::kBitsPerPixel] = 24;
    options->field[2] = 0;
    options->field[FlmSaveOptions::kSlides] = slides;
    options->field[4] = 1;
    options->field[6] = 0;
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
    int empty = 1;
    // Without a picture or options the library refuses, and names which is missing.
    if (!options || flmIsEmpty(m_handle, &empty) != 0 || empty)
        return flmSaveToFile(m_handle, options, target) == 0;
    return saveWithPlainOptions(target, options);
}
