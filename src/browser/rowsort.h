#pragma once
// Sorting the file list's rows by one of its keys, as fileitem::comesBefore orders them, fast
// enough for a folder of a million entries. Each row's key is made once: a number for size and
// date, the rank among the few distinct type names for the type, the first 16 characters folded
// to lower case for a name or an extension. Small records of these keys are sorted, the rows
// themselves compared only where two keys cannot decide (longer names alike in their first 16
// characters, other than ASCII characters, the image properties and descriptions), and then each
// row is moved once to its place. Rows that tie keep their order, in both directions. Any thread.

#include <cstddef>
#include <vector>

#include "browser/fileitem.h"

namespace rowsort {

// Sorts rows [first, last) by `key` (fileitem::SortKey; other keys leave the rows as they are).
void sortRows(std::vector<FileItem>& rows, std::size_t first, std::size_t last, int key, bool ascending);

} // namespace rowsort
