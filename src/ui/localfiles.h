#pragma once
// What a drag or the clipboard carries as files: the local paths among its URLs.

#include <QStringList>

class QMimeData;

// The local files of `data`'s URL list, in order; empty without one (or for null).
QStringList localFiles(const QMimeData* data);
