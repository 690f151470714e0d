#include "app/cstatustotals.h"

namespace statustotals {

QString totalText(int fileCount, quint64 totalBytes)
{
    constexpr quint64 kKilo = 1024;
    constexpr quint64 kMega = 1024 * 1024;
    if (totalBytes < kKilo)
        return QString::asprintf("Total %d files (%llu Bytes)", fileCount, static_cast<unsigned long long>(totalBytes));
    if (totalBytes < kMega)
        return QString::asprintf("Total %d files (%6.1f KB)", fileCount, double(totalBytes) / double(kKilo));
    return QString::asprintf("Total %d files (%6.1f MB)", fileCount, double(totalBytes) / double(kMega));
}

QStringList paneTexts(int fileCount, quint64 totalBytes, const Selection& selection)
{
    QStringList panes{totalText(fileCount, totalBytes)};
    if (!selection.any)
        return panes;
    const bool single = selection.selectedCount < 2;
    panes << (single ? selection.summary : QString::asprintf("Selected %d files", selection.selectedCount));
    panes << selection.firstName << selection.imageProperties;
    const QString detail = single ? selection.detail : QString();
    panes << (detail.isEmpty() ? selection.imageProperties : detail);
    return panes;
}

}  // namespace statustotals
