#include "ui/ctexture.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOptionToolBar>
#include <QWidget>

#include "platform/desktopservices.h"
#include "settings/settingskeys.h"

namespace {

constexpr int kHundredthsPerInch = 2540;
constexpr qint64 kCopyChunk = 64 * 1024;

// Pixels to hundredths of a millimetre and back both truncate, as the tile's arithmetic demands.
qint64 toHundredths(int pixels, int dpi)
{
    return qint64(pixels) * kHundredthsPerInch / dpi;
}

int tileAxis(int picture, int target, int dpi)
{
    const qint64 pictureSize = toHundredths(picture, dpi);
    if (toHundredths(target, dpi) < pictureSize)
        return target;
    // A one-pixel picture at 96 dpi comes back as 0 pixels; tiling by 0 would never end.
    return int(std::max<qint64>(1, pictureSize * dpi / kHundredthsPerInch));
}

QSize deviceDpi(const QPaintDevice* device)
{
    return QSize(device->logicalDpiX(), device->logicalDpiY());
}

} // namespace

QString textureFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/__texture");
}

QString textureFolder()
{
    const QString folder = platform::programFile(QStringLiteral("texture"));
    return QFileInfo(folder).isDir() ? folder : settingskeys::defaultLastFolder();
}

bool installTexture(const QString& source)
{
    QFile in(source);
    if (!QFileInfo(source).isFile() || !in.open(QIODevice::ReadOnly))
        return false;
    const QString target = textureFilePath();
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    do {
        chunk = in.read(kCopyChunk);
        if ((chunk.isEmpty() && in.error() != QFileDevice::NoError) || out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            return false;
        }
    } while (!chunk.isEmpty());
    return out.commit();
}

bool removeTexture()
{
    QFile texture(textureFilePath());
    return !texture.exists() || texture.remove();
}

QSize CTexture::tileSize(QSize picture, QSize target, int dpiX, int dpiY)
{
    if (dpiX <= 0 || dpiY <= 0 || picture.isEmpty() || target.isEmpty())
        return {};
    return QSize(tileAxis(picture.width(), target.width(), dpiX), tileAxis(picture.height(), target.height(), dpiY));
}

bool CTexture::Prepare(QPainter* dc, const QRect& target)
{
    m_prepared = true;
    if (!m_window || target.isEmpty())
        return false;
    if (!Load(textureFilePath()))
        return false;
    const QSize picture = GetSize();
    if (picture.isEmpty()) {
        Clear();
        return false;
    }
    const QSize dpi = deviceDpi(dc && dc->device() ? dc->device() : m_window);

    // The picture at its natural size over black, in a bitmap of the target's size of which only
    // the tile's top-left part is ever copied: so only that part is made, ready to be a brush.
    QImage tile(tileSize(picture, target.size(), dpi.width(), dpi.height()), QImage::Format_RGB32);
    bool drawn = !tile.isNull();
    if (drawn) {
        tile.fill(Qt::black);
        QPainter painter(&tile);
        drawn = draw(&painter, QPoint(0, 0));
    }
    // The tile holds what it needs; the decoded picture is not kept.
    Clear();
    m_tile = drawn ? tile : QImage();
    return drawn;
}

bool CTexture::Fill(QPainter* dc, const QRect& rect)
{
    if (!m_prepared && m_window)
        Prepare(dc, rect);
    if (!m_prepared || m_tile.isNull())
        return false;
    // A brush repeats the tile from the window's top-left corner in every row, as copying it
    // tile by tile would, without one copy per tile.
    dc->save();
    dc->setBrushOrigin(0, 0);
    dc->fillRect(QRect(0, 0, rect.width(), rect.height()), QBrush(m_tile));
    dc->restore();
    return true;
}

bool CTexture::Reload(QWidget* window)
{
    setWindow(window);
    reset();
    // No file is the setting "No texture"; only a file that fails to load leaves the old tile.
    if (!QFileInfo::exists(textureFilePath()))
        m_tile = QImage();
    const bool prepared = Prepare(nullptr, window->rect());
    window->update();
    return prepared;
}

CTexturedToolBar::CTexturedToolBar(const QString& title, QWidget* parent) : QToolBar(title, parent) {}

void CTexturedToolBar::reloadTexture()
{
    m_texture.Reload(this);
}

void CTexturedToolBar::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    m_texture.setWindow(this);
    if (!m_texture.Fill(&painter, rect())) {
        painter.end();
        QToolBar::paintEvent(event);
        return;
    }
    // The texture replaces the style's panel; the handle stays so that the bar can still be moved.
    QStyleOptionToolBar option;
    initStyleOption(&option);
    option.rect = style()->subElementRect(QStyle::SE_ToolBarHandle, &option, this);
    if (option.rect.isValid())
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &option, &painter, this);
}
