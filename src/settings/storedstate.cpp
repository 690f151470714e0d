#include "settings/storedstate.h"

#include <algorithm>
#include <limits>

#include <QGuiApplication>
#include <QScreen>

#include "settings/csettingsstore.h"

namespace storedstate {

namespace {

using settingskeys::IndexedStringValue;

// Default column widths as fractions of the list's client width.
constexpr std::array<int, kColumnCount> kColumnDivisors{3, 10, 5, 5, 7, 5};

// One "width,flag" value over a column's defaults. The flag is the last character; when it is
// not a digit the value is unreadable and the column keeps its defaults.
void applyColumnValue(const QString& text, ColumnState& column)
{
    const QChar flag = text.isEmpty() ? QChar() : text.back();
    if (flag < u'0' || flag > u'9')
        return;
    column.shown = flag != u'0';
    const qsizetype comma = text.indexOf(u',');
    if (!column.shown || comma < 0)
        return;
    bool ok = false;
    const int width = text.left(comma).toInt(&ok);
    if (ok && width > 0)
        column.width = width;
}

// The stored frame in 64 bits: Right - Left of hostile values does not fit an int.
struct StoredFrame {
    qint64 left;
    qint64 top;
    qint64 width;
    qint64 height;
};

std::optional<StoredFrame> readStoredFrame()
{
    const int top = CSettingsStore::GetProfileInt(settingskeys::kFrameTop);
    const int left = CSettingsStore::GetProfileInt(settingskeys::kFrameLeft);
    const int bottom = CSettingsStore::GetProfileInt(settingskeys::kFrameBottom);
    const int right = CSettingsStore::GetProfileInt(settingskeys::kFrameRight);
    if (top == settingskeys::kFrameTop.defaultValue || left == settingskeys::kFrameLeft.defaultValue ||
        bottom == settingskeys::kFrameBottom.defaultValue || right == settingskeys::kFrameRight.defaultValue)
        return std::nullopt;
    const StoredFrame frame{left, top, qint64(right) - left, qint64(bottom) - top};
    if (frame.width <= 0 || frame.height <= 0)
        return std::nullopt;
    return frame;
}

// The rectangle is global already (the window's normalGeometry()), so unlike a rectangle relative
// to the work area it needs no work-area offset added; it is only kept within reach: the
// top-left corner stays within `available`, and so does at least an icon of the window.
std::optional<QRect> fitOnScreen(const StoredFrame& frame, const QRect& available, const QSize& iconSize)
{
    if (available.isEmpty())
        return std::nullopt;
    const qint64 width = std::min<qint64>(frame.width, available.width());
    const qint64 height = std::min<qint64>(frame.height, available.height());
    const qint64 maxX = qint64(available.x()) + available.width() - std::max(iconSize.width(), 0);
    const qint64 maxY = qint64(available.y()) + available.height() - std::max(iconSize.height(), 0);
    const qint64 x = std::max<qint64>(std::min(frame.left, maxX), available.x());
    const qint64 y = std::max<qint64>(std::min(frame.top, maxY), available.y());
    return QRect(int(x), int(y), int(width), int(height));
}

qint64 overlapArea(const StoredFrame& frame, const QRect& rect)
{
    const qint64 width =
        std::min(frame.left + frame.width, qint64(rect.x()) + rect.width()) - std::max<qint64>(frame.left, rect.x());
    const qint64 height =
        std::min(frame.top + frame.height, qint64(rect.y()) + rect.height()) - std::max<qint64>(frame.top, rect.y());
    return width > 0 && height > 0 ? width * height : 0;
}

int clampToInt(qint64 value)
{
    return int(std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Values 0, 1, ... of a run up to `limit` entries, stopping at the first empty or missing one.
QStringList readRun(const IndexedStringValue& run, int limit)
{
    QStringList values;
    for (int index = 0; index < limit; ++index) {
        const QString value = CSettingsStore::GetProfileString(run.section, run.name(index), run.defaultValue);
        if (value.isEmpty())
            break;
        values << value;
    }
    return values;
}

// Writes `values` from `firstIndex` to the end of the run, stopping at the first empty one;
// returns the index after the last value written.
int writeRun(const IndexedStringValue& run, int firstIndex, const QStringList& values)
{
    int index = firstIndex;
    for (const QString& value : values) {
        if (index >= run.count || value.isEmpty())
            break;
        CSettingsStore::WriteProfileString(run.section, run.name(index), value);
        ++index;
    }
    return index;
}

QSize loadSize(const QString& section, QLatin1StringView widthName, QLatin1StringView heightName, const QSize& current,
               const QSize& minimum)
{
    return QSize(std::max(CSettingsStore::GetProfileInt(section, widthName, current.width()), minimum.width()),
                 std::max(CSettingsStore::GetProfileInt(section, heightName, current.height()), minimum.height()));
}

void saveSize(const QString& section, QLatin1StringView widthName, QLatin1StringView heightName, const QSize& size)
{
    CSettingsStore::WriteProfileInt(section, widthName, size.width());
    CSettingsStore::WriteProfileInt(section, heightName, size.height());
}

} // namespace

ColumnStates readColumns(int clientWidth)
{
    ColumnStates columns;
    for (int index = 0; index < kColumnCount; ++index)
        columns[index].width = std::max(clientWidth, 0) / kColumnDivisors[index];
    const IndexedStringValue& run = settingskeys::kColumns;
    for (int index = 0; index < kColumnCount; ++index) {
        const QString text = CSettingsStore::GetProfileString(run.section, run.name(index), run.defaultValue);
        if (text == run.defaultValue)
            break;
        applyColumnValue(text, columns[index]);
    }
    return columns;
}

void writeColumns(const ColumnStates& columns)
{
    const CSettingsStore::Batch batch;
    const IndexedStringValue& run = settingskeys::kColumns;
    for (int index = 0; index < kColumnCount; ++index) {
        const bool shown = index == 0 || columns[index].shown;
        // A hidden column's width is not read back, but "0,0" would end the reading here.
        const int width = std::max(columns[index].width, shown ? 0 : 1);
        CSettingsStore::WriteProfileString(run.section, run.name(index),
                                           QStringLiteral("%1,%2").arg(width).arg(shown ? 1 : 0));
    }
}

std::optional<QRect> readFramePlacement(const QRect& available, const QSize& iconSize)
{
    const std::optional<StoredFrame> frame = readStoredFrame();
    return frame ? fitOnScreen(*frame, available, iconSize) : std::nullopt;
}

std::optional<QRect> readFramePlacement(const QSize& iconSize)
{
    const std::optional<StoredFrame> frame = readStoredFrame();
    if (!frame)
        return std::nullopt;
    const QScreen* best = QGuiApplication::primaryScreen();
    qint64 bestArea = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const qint64 area = overlapArea(*frame, screen->geometry());
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    return best ? fitOnScreen(*frame, best->availableGeometry(), iconSize) : std::nullopt;
}

void writeFramePlacement(const QRect& normalGeometry)
{
    const CSettingsStore::Batch batch;
    CSettingsStore::WriteProfileInt(settingskeys::kFrameTop, normalGeometry.top());
    CSettingsStore::WriteProfileInt(settingskeys::kFrameLeft, normalGeometry.left());
    CSettingsStore::WriteProfileInt(settingskeys::kFrameBottom,
                                    clampToInt(qint64(normalGeometry.top()) + normalGeometry.height()));
    CSettingsStore::WriteProfileInt(settingskeys::kFrameRight,
                                    clampToInt(qint64(normalGeometry.left()) + normalGeometry.width()));
}

bool readFrameMaximized()
{
    return CSettingsStore::GetProfileInt(settingskeys::kFrameMaximized) != 0;
}

void writeFrameMaximized(bool maximized)
{
    CSettingsStore::WriteProfileInt(settingskeys::kFrameMaximized, maximized ? 1 : 0);
}

QStringList readDestinationHistory()
{
    QStringList destinations = readRun(settingskeys::kDestinationHistory, settingskeys::kDestinationHistoryReadCount);
    destinations.removeDuplicates();
    return destinations;
}

void writeDestinationHistory(const QString& destination, const QStringList& list)
{
    const CSettingsStore::Batch batch;
    const IndexedStringValue& run = settingskeys::kDestinationHistory;
    if (!destination.isEmpty())
        CSettingsStore::WriteProfileString(run.section, run.name(0), destination);
    writeRun(run, 1, list);
}

QStringList readAddressHistory()
{
    return readRun(settingskeys::kAddressHistory, settingskeys::kAddressHistory.count);
}

void writeAddressHistory(const QStringList& urls)
{
    const CSettingsStore::Batch batch;
    const IndexedStringValue& run = settingskeys::kAddressHistory;
    const int end = writeRun(run, 0, urls);
    if (end < run.count)
        CSettingsStore::RemoveProfileValue(run.section, run.name(end));
}

SizingBarSizes loadSizingBarSizes(int barId, const SizingBarSizes& current, const QSize& minimum)
{
    using namespace settingskeys;
    const QString section = sizingBarSection(barId);
    return {loadSize(section, kSizeHorzCX, kSizeHorzCY, current.sizeHorz, minimum),
            loadSize(section, kSizeVertCX, kSizeVertCY, current.sizeVert, minimum),
            loadSize(section, kSizeFloatCX, kSizeFloatCY, current.sizeFloat, minimum)};
}

void saveSizingBarSizes(int barId, const SizingBarSizes& sizes)
{
    const CSettingsStore::Batch batch;
    using namespace settingskeys;
    const QString section = sizingBarSection(barId);
    saveSize(section, kSizeHorzCX, kSizeHorzCY, sizes.sizeHorz);
    saveSize(section, kSizeVertCX, kSizeVertCY, sizes.sizeVert);
    saveSize(section, kSizeFloatCX, kSizeFloatCY, sizes.sizeFloat);
}

BrowserStartState readBrowserStartState()
{
    using namespace settingskeys;
    BrowserStartState state;
    state.listViewMode = CSettingsStore::GetProfileInt(kListViewMode);
    state.sortedCol = CSettingsStore::GetProfileInt(kSortedCol);
    state.ascending = CSettingsStore::GetProfileInt(kAscending);
    // An empty folder is as useless as a missing one.
    state.lastFolder = folderPath(CSettingsStore::GetProfileString(kSettings, kLastFolder));
    if (state.lastFolder.isEmpty())
        state.lastFolder = defaultLastFolder();
    return state;
}

void writeBrowserStartState(const BrowserStartState& state)
{
    const CSettingsStore::Batch batch;
    using namespace settingskeys;
    CSettingsStore::WriteProfileString(kSettings, kLastFolder, folderPath(state.lastFolder));
    CSettingsStore::WriteProfileInt(kListViewMode, state.listViewMode & 0xFF);
    CSettingsStore::WriteProfileInt(kSortedCol, state.sortedCol);
    CSettingsStore::WriteProfileInt(kAscending, state.ascending);
}

} // namespace storedstate
