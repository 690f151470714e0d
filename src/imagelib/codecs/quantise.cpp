#include "imagelib/codecs/quantise.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace imagelib {

// 6 bits a channel: 2^18 cells of 32 bytes, 8 MiB, allocated only for pictures of many colours.
struct ColourHistogram::Cell {
    quint64 count = 0;
    quint64 red = 0;
    quint64 green = 0;
    quint64 blue = 0;
};

namespace {

constexpr int kCellCount = 1 << 18;
// Past this many distinct colours the histogram keeps cells with their mean colour instead.
constexpr size_t kMaxExactColours = size_t(1) << 16;
constexpr int kRefinePasses = 6;
constexpr int kOpaqueAlpha = 128;
constexpr int kCubeShift = 3; // NearestColour's cubes are 8 levels a side, 32768 of them

int cellOf(QRgb colour)
{
    return (qRed(colour) >> 2) << 12 | (qGreen(colour) >> 2) << 6 | (qBlue(colour) >> 2);
}

struct Point {
    double red = 0;
    double green = 0;
    double blue = 0;
    double weight = 0;

    double channel(int axis) const { return axis == 0 ? red : axis == 1 ? green : blue; }
};

// Weight, weighted sums and weighted sum of squares of a set of points: enough for its mean and
// its summed squared distance from that mean.
struct Moments {
    double weight = 0;
    double red = 0;
    double green = 0;
    double blue = 0;
    double squares = 0;

    void add(const Point& p)
    {
        weight += p.weight;
        red += p.weight * p.red;
        green += p.weight * p.green;
        blue += p.weight * p.blue;
        squares += p.weight * (p.red * p.red + p.green * p.green + p.blue * p.blue);
    }
    Moments minus(const Moments& other) const
    {
        return {weight - other.weight, red - other.red, green - other.green, blue - other.blue,
                squares - other.squares};
    }
    double error() const { return weight > 0 ? squares - (red * red + green * green + blue * blue) / weight : 0; }
    QRgb mean() const
    {
        auto level = [this](double sum) { return std::clamp(int(std::lround(sum / weight)), 0, 255); };
        return qRgb(level(red), level(green), level(blue));
    }
};

struct Box {
    size_t begin = 0;
    size_t end = 0;
    Moments moments;
    bool splittable = true;
};

Moments momentsOf(const std::vector<Point>& points, size_t begin, size_t end)
{
    Moments moments;
    for (size_t i = begin; i < end; ++i)
        moments.add(points[i]);
    return moments;
}

void sortAlong(std::vector<Point>& points, const Box& box, int axis)
{
    std::sort(points.begin() + qsizetype(box.begin), points.begin() + qsizetype(box.end),
              [axis](const Point& a, const Point& b) { return a.channel(axis) < b.channel(axis); });
}

// Cuts the box where the two halves' squared errors add up least, trying each axis; returns the
// first point of the upper half (the box's points sorted along the chosen axis), or `begin`
// when no cut separates anything.
size_t cutBox(std::vector<Point>& points, const Box& box)
{
    double bestCost = std::numeric_limits<double>::infinity();
    int bestAxis = -1;
    size_t bestAt = box.begin;
    for (int axis = 0; axis < 3; ++axis) {
        sortAlong(points, box, axis);
        Moments lower;
        for (size_t i = box.begin; i + 1 < box.end; ++i) {
            lower.add(points[i]);
            // Points of one level stay together, so equal colours never straddle two boxes.
            if (points[i].channel(axis) == points[i + 1].channel(axis))
                continue;
            const double cost = lower.error() + box.moments.minus(lower).error();
            if (cost < bestCost) {
                bestCost = cost;
                bestAxis = axis;
                bestAt = i + 1;
            }
        }
    }
    if (bestAxis >= 0 && bestAxis != 2)
        sortAlong(points, box, bestAxis);
    return bestAt;
}

// Splits the box of largest squared error until there are `count` boxes; their means are the
// palette.
std::vector<QRgb> medianCut(std::vector<Point>& points, int count)
{
    std::vector<Box> boxes{{0, points.size(), momentsOf(points, 0, points.size())}};
    while (int(boxes.size()) < count) {
        auto worst = boxes.end();
        for (auto box = boxes.begin(); box != boxes.end(); ++box) {
            if (box->splittable && box->end - box->begin > 1 && box->moments.error() > 0 &&
                (worst == boxes.end() || box->moments.error() > worst->moments.error()))
                worst = box;
        }
        if (worst == boxes.end())
            break;
        const size_t at = cutBox(points, *worst);
        if (at == worst->begin) {
            worst->splittable = false;
            continue;
        }
        const Box upper{at, worst->end, momentsOf(points, at, worst->end)};
        worst->moments = worst->moments.minus(upper.moments);
        worst->end = at;
        boxes.push_back(upper);
    }
    std::vector<QRgb> colours;
    for (const Box& box : boxes)
        colours.push_back(box.moments.mean());
    return colours;
}

// Lloyd's k-means: each colour moves to the weighted mean of the points nearest to it, until
// nothing moves or the passes run out. Points no colour wins leave that colour where it was.
std::vector<QRgb> refine(const std::vector<Point>& points, std::vector<QRgb> colours)
{
    for (int pass = 0; pass < kRefinePasses; ++pass) {
        NearestColour nearest(colours);
        std::vector<Moments> clusters(colours.size());
        for (const Point& p : points) {
            const int index =
                nearest.find(int(std::lround(p.red)), int(std::lround(p.green)), int(std::lround(p.blue)));
            clusters[size_t(index)].add(p);
        }
        std::vector<QRgb> moved = colours;
        for (size_t i = 0; i < colours.size(); ++i) {
            if (clusters[i].weight > 0)
                moved[i] = clusters[i].mean();
        }
        if (moved == colours)
            break;
        colours = std::move(moved);
    }
    return colours;
}

// A 7/16, 5/16, 3/16 or 1/16 share of an error kept 16 times over, rounded to the nearest level.
int level(int channel, int sixteenths)
{
    return std::clamp(channel + ((sixteenths + 8) >> 4), 0, 255);
}

int squaredDistance(QRgb colour, int red, int green, int blue)
{
    const int dr = qRed(colour) - red;
    const int dg = qGreen(colour) - green;
    const int db = qBlue(colour) - blue;
    return dr * dr + dg * dg + db * db;
}

} // namespace

ColourHistogram::ColourHistogram() = default;
ColourHistogram::~ColourHistogram() = default;

void ColourHistogram::addToCell(QRgb colour, quint64 count)
{
    Cell& cell = m_cells[size_t(cellOf(colour))];
    cell.count += count;
    cell.red += count * quint64(qRed(colour));
    cell.green += count * quint64(qGreen(colour));
    cell.blue += count * quint64(qBlue(colour));
}

void ColourHistogram::add(const QImage& slide)
{
    for (int y = 0; y < slide.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(slide.constScanLine(y));
        // Runs of one colour are counted once: flat areas cost one look-up, not one a pixel.
        for (int x = 0; x < slide.width();) {
            const QRgb colour = line[x];
            int end = x + 1;
            while (end < slide.width() && line[end] == colour)
                ++end;
            const auto count = quint64(end - x);
            x = end;
            if (qAlpha(colour) < kOpaqueAlpha) {
                m_transparent = true;
                continue;
            }
            const QRgb opaque = colour | 0xFF000000u;
            if (m_cells) {
                addToCell(opaque, count);
                continue;
            }
            m_exact[opaque] += count;
            if (m_exact.size() > kMaxExactColours) {
                m_cells = std::make_unique<Cell[]>(kCellCount);
                for (const auto& [known, seen] : m_exact)
                    addToCell(known, seen);
                m_exact = {};
            }
        }
    }
}

IndexedPalette ColourHistogram::palette(int maxEntries, bool spareTransparent) const
{
    IndexedPalette result;
    const int room = maxEntries - (m_transparent ? 1 : 0);
    if (!m_cells && m_exact.size() <= size_t(room)) {
        for (const auto& entry : m_exact)
            result.colours.push_back(entry.first);
        std::sort(result.colours.begin(), result.colours.end());
        result.exact = true;
        if (m_transparent || (spareTransparent && int(result.colours.size()) < maxEntries))
            result.transparent = int(result.colours.size());
        return result;
    }

    const bool reserve = m_transparent || (spareTransparent && maxEntries > 2);
    std::vector<Point> points;
    if (m_cells) {
        for (int i = 0; i < kCellCount; ++i) {
            const Cell& cell = m_cells[size_t(i)];
            if (cell.count == 0)
                continue;
            const double count = double(cell.count);
            points.push_back({double(cell.red) / count, double(cell.green) / count, double(cell.blue) / count, count});
        }
    } else {
        for (const auto& [colour, count] : m_exact)
            points.push_back({double(qRed(colour)), double(qGreen(colour)), double(qBlue(colour)), double(count)});
    }
    result.colours = refine(points, medianCut(points, maxEntries - (reserve ? 1 : 0)));
    if (reserve)
        result.transparent = int(result.colours.size());
    return result;
}

NearestColour::NearestColour(const std::vector<QRgb>& colours)
    : m_colours(colours), m_cells(size_t(1) << (3 * (8 - kCubeShift)))
{
}

// The candidates of a cube: every colour whose nearest possible distance to a point of the cube
// is within the smallest farthest distance any colour has to the whole cube.
const NearestColour::Range& NearestColour::cell(int red, int green, int blue)
{
    const int r = red >> kCubeShift;
    const int g = green >> kCubeShift;
    const int b = blue >> kCubeShift;
    Range& range = m_cells[size_t(r << (2 * (8 - kCubeShift)) | g << (8 - kCubeShift) | b)];
    if (range.count != 0)
        return range;
    const int low[3] = {r << kCubeShift, g << kCubeShift, b << kCubeShift};
    const int high[3] = {low[0] + (1 << kCubeShift) - 1, low[1] + (1 << kCubeShift) - 1,
                         low[2] + (1 << kCubeShift) - 1};
    std::vector<int> nearest(m_colours.size());
    int bound = std::numeric_limits<int>::max();
    for (size_t i = 0; i < m_colours.size(); ++i) {
        const int channels[3] = {qRed(m_colours[i]), qGreen(m_colours[i]), qBlue(m_colours[i])};
        int least = 0;
        int most = 0;
        for (int c = 0; c < 3; ++c) {
            const int outside = std::max({low[c] - channels[c], channels[c] - high[c], 0});
            const int far = std::max(channels[c] - low[c], high[c] - channels[c]);
            least += outside * outside;
            most += far * far;
        }
        nearest[i] = least;
        bound = std::min(bound, most);
    }
    range.begin = quint32(m_candidates.size());
    for (size_t i = 0; i < m_colours.size(); ++i) {
        if (nearest[i] <= bound)
            m_candidates.push_back(quint8(i));
    }
    range.count = quint32(m_candidates.size()) - range.begin;
    return range;
}

int NearestColour::find(int red, int green, int blue)
{
    const Range& range = cell(red, green, blue);
    int best = m_candidates[range.begin];
    int bestDistance = squaredDistance(m_colours[size_t(best)], red, green, blue);
    for (quint32 i = range.begin + 1; i < range.begin + range.count; ++i) {
        const int distance = squaredDistance(m_colours[m_candidates[i]], red, green, blue);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = m_candidates[i];
        }
    }
    return best;
}

SlideMapper::SlideMapper(const IndexedPalette& palette, QSize size)
    : m_palette(palette), m_nearest(palette.colours), m_indices(size_t(size.width()) * size_t(size.height())),
      m_errors(size_t(2 * 3 * (size.width() + 2)))
{
}

const std::vector<quint8>& SlideMapper::map(const QImage& slide)
{
    const int width = slide.width();
    const auto transparent = quint8(std::max(m_palette.transparent, 0));
    if (m_palette.exact) {
        for (int y = 0; y < slide.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(slide.constScanLine(y));
            quint8* out = m_indices.data() + qsizetype(y) * width;
            for (int x = 0; x < width; ++x) {
                const QRgb colour = line[x];
                out[x] = qAlpha(colour) < kOpaqueAlpha
                             ? transparent
                             : quint8(m_nearest.find(qRed(colour), qGreen(colour), qBlue(colour)));
            }
        }
        return m_indices;
    }

    // Floyd-Steinberg, each row in the opposite direction to the one before. Errors are kept
    // 16 times over for the 7/16, 3/16, 5/16 and 1/16 shares; column x lives at x + 1.
    const qsizetype rowLength = 3 * qsizetype(width + 2);
    int* current = m_errors.data();
    int* next = current + rowLength;
    std::fill(current, current + rowLength, 0);
    const bool coherent = !m_previous.isNull();
    for (int y = 0; y < slide.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(slide.constScanLine(y));
        const auto* before = coherent ? reinterpret_cast<const QRgb*>(m_previous.constScanLine(y)) : nullptr;
        quint8* out = m_indices.data() + qsizetype(y) * width;
        std::fill(next, next + rowLength, 0);
        const bool forward = y % 2 == 0;
        const int step = forward ? 1 : -1;
        for (int i = 0; i < width; ++i) {
            const int x = forward ? i : width - 1 - i;
            const QRgb colour = line[x];
            if (qAlpha(colour) < kOpaqueAlpha) {
                out[x] = transparent;
                continue;
            }
            if (before && before[x] == colour)
                continue; // the index the previous slide gave it is still in place
            const int at = 3 * (x + 1);
            const int wanted[3] = {level(qRed(colour), current[at]), level(qGreen(colour), current[at + 1]),
                                   level(qBlue(colour), current[at + 2])};
            const int index = m_nearest.find(wanted[0], wanted[1], wanted[2]);
            out[x] = quint8(index);
            const QRgb chosen = m_palette.colours[size_t(index)];
            const int error[3] = {wanted[0] - qRed(chosen), wanted[1] - qGreen(chosen), wanted[2] - qBlue(chosen)};
            for (int c = 0; c < 3; ++c) {
                current[at + 3 * step + c] += 7 * error[c];
                next[at - 3 * step + c] += 3 * error[c];
                next[at + c] += 5 * error[c];
                next[at + 3 * step + c] += error[c];
            }
        }
        std::swap(current, next);
    }
    m_previous = slide;
    return m_indices;
}

} // namespace imagelib
