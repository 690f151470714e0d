#pragma once
// Colour reduction for writers of palette formats. A ColourHistogram gathers the colours of one
// or more slides and chooses one palette for all of them; a SlideMapper then turns each slide
// into palette indices. Slides given to either are Format_ARGB32 (not premultiplied) or
// Format_RGB32; pixels whose alpha is below 128 are transparent, the others are taken as opaque.
//
// When the slides hold no more colours than the palette has room for, the palette is exactly
// those colours and mapping is lossless. Otherwise the palette comes from a variance-minimising
// median cut over the pixel-weighted histogram, refined by a few k-means passes, and slides are
// mapped with serpentine Floyd-Steinberg error diffusion.
//
// Both classes are used by one thread at a time. Whatever the picture, what they allocate
// besides the indices of one slide stays within a few tens of MiB.

#include <memory>
#include <unordered_map>
#include <vector>

#include <QImage>

namespace imagelib {

struct IndexedPalette {
    std::vector<QRgb> colours; // opaque colours, one per index from 0
    int transparent = -1;      // index of the transparent entry (colours.size()), or -1: none
    bool exact = false;        // every opaque colour of the slides is in `colours`

    int entries() const { return int(colours.size()) + (transparent >= 0 ? 1 : 0); }
};

class ColourHistogram {
public:
    ColourHistogram();
    ~ColourHistogram();
    ColourHistogram(const ColourHistogram&) = delete;
    ColourHistogram& operator=(const ColourHistogram&) = delete;

    void add(const QImage& slide);
    // A palette of at most `maxEntries` (2..256) entries, the transparent one included.
    // `spareTransparent` asks for a transparent entry even when no pixel is transparent: it is
    // given whenever the colours fit without it and, when colours must be reduced anyway, at the
    // cost of one colour (never with fewer than three entries).
    IndexedPalette palette(int maxEntries, bool spareTransparent) const;

private:
    struct Cell;
    std::unordered_map<QRgb, quint64> m_exact; // while there are few distinct colours
    std::unique_ptr<Cell[]> m_cells;           // colour cells once there are many
    bool m_transparent = false;

    void addToCell(QRgb colour, quint64 count);
};

// Nearest palette colour by squared distance, searched among the few entries that can be
// nearest anywhere in the small colour cube holding the colour.
class NearestColour {
public:
    explicit NearestColour(const std::vector<QRgb>& colours);
    int find(int red, int green, int blue);

private:
    struct Range {
        quint32 begin = 0;
        quint32 count = 0; // 0: not worked out yet
    };
    std::vector<QRgb> m_colours;
    std::vector<Range> m_cells;
    std::vector<quint8> m_candidates;

    const Range& cell(int red, int green, int blue);
};

class SlideMapper {
public:
    SlideMapper(const IndexedPalette& palette, QSize size);
    // The indices of `slide` (of the size given above), row after row. Pixels equal to the
    // previous slide's at the same place keep the previous slide's index, so the still parts of
    // an animation do not shimmer from one frame to the next as diffused errors wander.
    const std::vector<quint8>& map(const QImage& slide);

private:
    IndexedPalette m_palette;
    NearestColour m_nearest;
    QImage m_previous;
    std::vector<quint8> m_indices;
    std::vector<int> m_errors; // two rows of three channels, 16 times the error, with margins
};

} // namespace imagelib
