#include "browser/rowsort.h"

#include <algorithm>
#include <utility>

#include <QHash>

#include "core/textorder.h"

namespace rowsort {

namespace {

constexpr qsizetype kPrefixChars = 16;

// One row's key and where the row stands before the sort.
struct Slot {
    quint64 high = 0;        // the number, or the first 8 characters of the text
    quint64 low = 0;         // characters 9 to 16 of the text
    quint32 row = 0;         // index from the first sorted row
    bool comparable = false; // the keys order the rows wherever they differ
    bool whole = false;      // equal keys mean equal texts: the rows tie
};

// The first characters of `text`, folded as textorder::compareText folds them, one byte each,
// zeros after its end (no name holds a zero). A character beyond ASCII is folded by Unicode's
// rules, which may bring it before ASCII ones: such a key orders nothing.
void packText(QStringView text, Slot& slot)
{
    const qsizetype count = std::min(text.size(), kPrefixChars);
    for (qsizetype i = 0; i < count; ++i) {
        const char16_t c = text.utf16()[i];
        if (c >= 0x80)
            return;
        quint64& half = i < 8 ? slot.high : slot.low;
        half |= quint64(textorder::foldAscii(c)) << (8 * (7 - i % 8));
    }
    slot.comparable = true;
    slot.whole = text.size() <= kPrefixChars;
}

// Ranks of the distinct type names in their order; names equal but for case share a rank. The
// rows share the few texts the shell's cache hands out, so a text is known by where its
// characters lie, without reading or hashing them a million times.
using TextAt = std::pair<const QChar*, qsizetype>;
using TypeRanks = QHash<TextAt, quint64>;

TextAt textAt(const QString& text)
{
    return {text.constData(), text.size()};
}

TypeRanks typeRanks(const std::vector<FileItem>& rows, std::size_t first, std::size_t last)
{
    QHash<TextAt, QString> texts;
    for (std::size_t i = first; i < last; ++i) {
        const QString& text = rows[i].typeText;
        if (!texts.contains(textAt(text)))
            texts.insert(textAt(text), text);
    }
    QList<QString> names = texts.values();
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return textorder::compareText(a, b) < 0; });
    TypeRanks ranks;
    quint64 rank = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0 && textorder::compareText(names[i - 1], names[i]) != 0)
            ++rank;
        ranks.insert(textAt(names[i]), rank);
    }
    return ranks;
}

std::vector<Slot> makeSlots(const std::vector<FileItem>& rows, std::size_t first, std::size_t last, int key)
{
    std::vector<Slot> places(last - first);
    const TypeRanks ranks = key == fileitem::kByType ? typeRanks(rows, first, last) : TypeRanks();
    for (std::size_t i = 0; i < places.size(); ++i) {
        const FileItem& item = rows[first + i];
        Slot& slot = places[i];
        slot.row = quint32(i);
        switch (key) {
        case fileitem::kByName:
            packText(item.name, slot);
            break;
        case fileitem::kByExtension:
            packText(fileitem::extensionKeyOf(item), slot);
            break;
        case fileitem::kBySize:
            slot.high = item.size;
            slot.comparable = slot.whole = true;
            break;
        case fileitem::kByDate:
            // Signed times in unsigned order.
            slot.high = quint64(item.modified) ^ (quint64(1) << 63);
            slot.comparable = slot.whole = true;
            break;
        case fileitem::kByType:
            slot.high = ranks.value(textAt(item.typeText));
            slot.comparable = slot.whole = true;
            break;
        default:
            // Image properties and descriptions: the rows decide.
            break;
        }
    }
    return places;
}

// Moves every row to its place: rows[first + k] becomes the row that stood at places[k].row.
// Each cycle of the permutation is followed by swaps along it; no second list is needed.
void permute(std::vector<FileItem>& rows, std::size_t first, std::vector<Slot>& places)
{
    for (std::size_t start = 0; start < places.size(); ++start) {
        std::size_t to = start;
        while (places[to].row != start) {
            const std::size_t from = places[to].row;
            std::swap(rows[first + to], rows[first + from]);
            places[to].row = quint32(to);
            to = from;
        }
        places[to].row = quint32(to);
    }
}

} // namespace

void sortRows(std::vector<FileItem>& rows, std::size_t first, std::size_t last, int key, bool ascending)
{
    if (key < fileitem::kByName || key > fileitem::kByExtension || last <= first + 1)
        return;
    std::vector<Slot> places = makeSlots(rows, first, last, key);
    const auto before = [&](const Slot& a, const Slot& b) {
        if (a.comparable && b.comparable) {
            if (a.high != b.high || a.low != b.low) {
                const bool less = a.high != b.high ? a.high < b.high : a.low < b.low;
                return less == ascending;
            }
            if (a.whole && b.whole)
                return a.row < b.row;
        }
        const FileItem& left = rows[first + a.row];
        const FileItem& right = rows[first + b.row];
        if (fileitem::comesBefore(left, right, key, ascending))
            return true;
        if (fileitem::comesBefore(right, left, key, ascending))
            return false;
        return a.row < b.row;
    };
    std::sort(places.begin(), places.end(), before);
    permute(rows, first, places);
}

} // namespace rowsort
