#pragma once
// Readers and writers of the composite values that the windows keep in the settings store: the
// file-list columns, the main window's placement, the copy/move and address-box histories, the
// sizing-bar sizes and the browser's start-up state. Each reads with the defaults of
// settingskeys.h and never fails: what is missing or malformed gives the default.
// UI thread only, like the store under them.

#include <array>
#include <optional>

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

namespace storedstate {

// File-list columns Name, Size, Type, Date, Image Properties, Description.
inline constexpr int kColumnCount = 6;
struct ColumnState {
    int width = 0;
    bool shown = true;
    bool operator==(const ColumnState&) const = default;
};
using ColumnStates = std::array<ColumnState, kColumnCount>;

// The columns as last written, over defaults of fractions of the list's client width. Reading
// stops at the first value that is "0,0" (or missing): later columns keep their defaults. A
// value's width counts only while its flag (the last character) is non-zero; a width that is not
// a positive number is ignored.
ColumnStates readColumns(int clientWidth);
// Writes the six values; the Name column is always written as shown. The caller passes each
// column's current width, or its remembered one when the list has no width for it.
void writeColumns(const ColumnStates& columns);

// The main window's stored normal rectangle (global coordinates), pulled back onto `available`
// so that at least `iconSize` of it stays on screen and its top-left corner is never above or
// left of the area, and shrunk to the area when larger. Nothing when any of the four values is
// missing or the stored size is empty.
std::optional<QRect> readFramePlacement(const QRect& available, const QSize& iconSize);
// The same against the available geometry of the screen that holds most of the stored rectangle,
// else the primary screen; nothing without a screen.
std::optional<QRect> readFramePlacement(const QSize& iconSize);
// Writes Top, Left, Bottom, Right; Right and Bottom lie just past the rectangle, so that a read
// gives its size back.
void writeFramePlacement(const QRect& normalGeometry);
// Whether the main window was maximised; its normal rectangle is the placement above.
bool readFrameMaximized();
void writeFrameMaximized(bool maximized);

// Copy/move destinations, most recent first: up to 15, without duplicates. The first entry is
// the proposed destination.
QStringList readDestinationHistory();
// Writes `destination` at index 0 when it is not empty, then up to 15 entries of `list` from
// index 1, stopping at its first empty entry. Higher indexes keep what earlier runs left.
void writeDestinationHistory(const QString& destination, const QStringList& list);

// The address box's drop-down list, up to 260 entries.
QStringList readAddressHistory();
// Writes up to 260 entries, stopping at the first empty one, and ends the stored list there.
void writeAddressHistory(const QStringList& urls);

// A sizing bar's sizes when docked horizontally, docked vertically and floating.
struct SizingBarSizes {
    QSize sizeHorz;
    QSize sizeVert;
    QSize sizeFloat;
    bool operator==(const SizingBarSizes&) const = default;
};
// Reads a bar's sizes (settingskeys::kPreviewBarId or kFoldersTreeBarId) with its current sizes as
// defaults; every width is raised to at least minimum.width(), every height to minimum.height().
SizingBarSizes loadSizingBarSizes(int barId, const SizingBarSizes& current, const QSize& minimum);
void saveSizingBarSizes(int barId, const SizingBarSizes& sizes);

// What the browser applies when it first shows, and what the main frame stores when it closes.
struct BrowserStartState {
    int listViewMode = 0; // 0 Thumbnails .. 4 Details; another value selects no view
    int sortedCol = 0;
    int ascending = 0;
    QString lastFolder; // ends with one "/"
    bool operator==(const BrowserStartState&) const = default;
};
BrowserStartState readBrowserStartState();
// ListViewMode keeps the low 8 bits of the mode.
void writeBrowserStartState(const BrowserStartState& state);

} // namespace storedstate
