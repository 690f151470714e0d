#include "browser/fileitem.h"

#include <algorithm>

#include "core/textorder.h"
#include "fileops/descriptiontext.h"

namespace fileitem {

namespace {

using textorder::compareText;

constexpr quint64 kKb = quint64(1) << 10;
constexpr quint64 kMb = quint64(1) << 20;
constexpr quint64 kGb = quint64(1) << 30;

// Rows without the optional text come first going forward and last going back; between two rows
// that have it, forward compares it without case and back with `reverseCase`.
bool optionalComesBefore(const std::optional<QString>& a, const std::optional<QString>& b, bool ascending,
                         Qt::CaseSensitivity reverseCase)
{
    if (ascending) {
        if (!a)
            return b.has_value();
        return b && compareText(*a, *b) < 0;
    }
    if (!b)
        return a.has_value();
    return a && compareText(*a, *b, reverseCase) > 0;
}

template <typename T> bool ordered(const T& a, const T& b, bool ascending)
{
    return ascending ? a < b : b < a;
}

bool textOrdered(QStringView a, QStringView b, bool ascending)
{
    const int order = compareText(a, b);
    return ascending ? order < 0 : order > 0;
}

} // namespace

QString sizeText(quint64 size, bool compact)
{
    struct Unit {
        quint64 divisor;
        const char* spaced;
        const char* tight;
    };
    static constexpr Unit kUnits[] = {{kGb, " Gb", "Gb"}, {kMb, " Mb", "Mb"}, {kKb, " Kb", "Kb"}};
    for (const Unit& unit : kUnits) {
        if (size >= unit.divisor)
            return QString::number(size / unit.divisor) + QLatin1String(compact ? unit.tight : unit.spaced);
    }
    return QString::number(size) + QLatin1String(compact ? "b" : " b");
}

QString dateText(qint64 modifiedMsecs)
{
    if (modifiedMsecs == 0)
        return {};
    return QDateTime::fromMSecsSinceEpoch(modifiedMsecs).toLocalTime().toString(QStringLiteral("MM/dd/yy HH:mm:ss"));
}

QString sizeTextOf(const FileItem& item)
{
    return item.isFolder ? QString() : sizeText(item.size, item.compactSizeText);
}

QString dateTextOf(const FileItem& item)
{
    if (item.isParent)
        return {};
    return item.dateOverride ? *item.dateOverride : dateText(item.modified);
}

QString propertiesText(const CFileInfo::Info& info)
{
    return QStringLiteral("%1x%2x%3 %4").arg(info.width).arg(info.height).arg(info.colours, info.format);
}

QStringView extensionKey(QStringView name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.sliced(dot);
}

QStringView extensionKeyOf(const FileItem& item)
{
    return item.isFolder ? QStringView() : extensionKey(item.name);
}

bool isHiddenName(const QString& name)
{
    return name.startsWith(u'.') || isDescriptionFileName(name);
}

bool admits(const QString& name, bool isFolder, bool passesImageTest, const Admission& admission)
{
    if (!admission.showHidden && isHiddenName(name))
        return false;
    return isFolder || admission.showNonImages || passesImageTest;
}

bool comesBefore(const FileItem& a, const FileItem& b, int key, bool ascending)
{
    switch (key) {
    case kByName:
        return textOrdered(a.name, b.name, ascending);
    case kBySize:
        return ordered(a.size, b.size, ascending);
    case kByType:
        return textOrdered(a.typeText, b.typeText, ascending);
    case kByDate:
        // By the time itself: the month-first text would put December 2002 after January 2003.
        return ordered(a.modified, b.modified, ascending);
    case kByImageProperties:
        return optionalComesBefore(a.imageProperties, b.imageProperties, ascending, Qt::CaseSensitive);
    case kByDescription:
        return optionalComesBefore(a.description, b.description, ascending, Qt::CaseInsensitive);
    case kByExtension:
        return textOrdered(extensionKeyOf(a), extensionKeyOf(b), ascending);
    default:
        return false;
    }
}

} // namespace fileitem
