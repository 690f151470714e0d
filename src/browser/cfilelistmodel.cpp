#include "browser/cfilelistmodel.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "browser/cshelllist.h"
#include "browser/rowsort.h"

namespace {

// A cut row's icon: dimmed, as the desktop shows what is not usable for now.
QIcon dimmed(const QIcon& icon)
{
    QIcon result;
    for (const QSize& size : icon.availableSizes())
        result.addPixmap(icon.pixmap(size, QIcon::Disabled));
    return result;
}

constexpr std::array<const char*, CFileListModel::kColumnCount> kHeadings{
    "Name", "Size", "Type", "Date", "Image Properties", "Description"};

constexpr int kTipDescriptionLimit = 80;
constexpr int kTipDescriptionCut = 77;
// Qt's tips break lines at "\n" only.
constexpr char16_t kTipLineBreak = u'\n';

Qt::Alignment columnAlignment(int column)
{
    const bool right = column == CFileListModel::kSize || column == CFileListModel::kImageProperties;
    return (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

QString lowerExtension(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

QString displayText(const FileItem& item, int column)
{
    switch (column) {
    case CFileListModel::kName:
        return item.name;
    case CFileListModel::kSize:
        return fileitem::sizeTextOf(item);
    case CFileListModel::kType:
        return item.typeText;
    case CFileListModel::kDate:
        return fileitem::dateTextOf(item);
    case CFileListModel::kImageProperties:
        return item.imageProperties.value_or(QString());
    case CFileListModel::kDescription:
        return item.description.value_or(QString());
    default:
        return {};
    }
}

} // namespace

CFileListModel::CFileListModel(CShellList* shellList, QObject* parent)
    : QAbstractTableModel(parent), m_shellList(shellList)
{
}

CFileListModel::~CFileListModel() = default;

QString CFileListModel::heading(int column)
{
    if (column < 0 || column >= kColumnCount)
        return {};
    return QString::fromLatin1(kHeadings[size_t(column)]);
}

QColor CFileListModel::typeColour(const FileItem& item)
{
    if (item.isFolder)
        return {};
    static const QHash<QString, QColor> colours = {
        {QStringLiteral("bmp"), QColor(227, 225, 247)},  {QStringLiteral("jpg"), QColor(237, 235, 195)},
        {QStringLiteral("jpeg"), QColor(237, 235, 195)}, {QStringLiteral("jpe"), QColor(237, 235, 195)},
        {QStringLiteral("jfif"), QColor(237, 235, 195)}, {QStringLiteral("gif"), QColor(220, 233, 212)},
        {QStringLiteral("png"), QColor(232, 220, 212)},  {QStringLiteral("pcx"), QColor(235, 228, 222)},
        {QStringLiteral("tga"), QColor(230, 253, 247)},  {QStringLiteral("tif"), QColor(192, 195, 227)},
    };
    return colours.value(lowerExtension(item.name));
}

QString CFileListModel::toolTipText(const FileItem& item)
{
    if (item.isParent)
        return {};
    QString tip = u' ' + item.name + u' ' + kTipLineBreak;
    tip += u' ' + fileitem::sizeTextOf(item) + u' ' + kTipLineBreak;
    if (item.imageProperties)
        tip += u' ' + *item.imageProperties + u' ' + kTipLineBreak;
    tip += u' ' + fileitem::dateTextOf(item);
    if (item.description) {
        QString description = *item.description;
        if (description.size() > kTipDescriptionLimit)
            description = description.left(kTipDescriptionCut) + QStringLiteral("...");
        tip += u' ' + QString(kTipLineBreak) + description;
    }
    return tip;
}

int CFileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : entryCount();
}

int CFileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CFileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= entryCount())
        return {};
    const int row = index.row();
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (column == kType)
            fillIcon(row);
        return displayText(m_rows[size_t(row)], column);
    case Qt::EditRole:
        return column == kName ? QVariant(m_rows[size_t(row)].name) : QVariant();
    case Qt::DecorationRole:
        if (column != kName || !m_shellList)
            return {};
        return m_rows[size_t(row)].cut ? dimmed(m_shellList->icon(iconIndex(row))) : m_shellList->icon(iconIndex(row));
    case Qt::TextAlignmentRole:
        // The name keeps the view's own alignment: centred under an icon, left in the others.
        return column == kName ? QVariant() : QVariant(columnAlignment(column));
    case Qt::ToolTipRole:
        return toolTipText(m_rows[size_t(row)]);
    case Qt::SizeHintRole:
        return column == kName && m_itemSizeHint.isValid() ? QVariant(m_itemSizeHint) : QVariant();
    default:
        return {};
    }
}

QVariant CFileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    if (role == Qt::DisplayRole)
        return heading(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant(columnAlignment(section));
    return {};
}

Qt::ItemFlags CFileListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid() || index.row() >= entryCount())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == kName && !m_rows[size_t(index.row())].isParent)
        result |= Qt::ItemIsEditable;
    return result;
}

bool CFileListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString name = value.toString();
    if (!name.isEmpty() && name != m_rows[size_t(index.row())].name)
        Q_EMIT renameRequested(index.row(), name);
    return false;
}

void CFileListModel::setItemSizeHint(const QSize& size)
{
    if (size == m_itemSizeHint)
        return;
    m_itemSizeHint = size;
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, kName), index(entryCount() - 1, kName), {Qt::SizeHintRole});
}

void CFileListModel::setFolder(const QString& folder)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    if (!path.endsWith(u'/'))
        path += u'/';
    m_folder = path;
    clearRows();
}

QString CFileListModel::pathOf(int row) const
{
    const FileItem* item = entryAt(row);
    return item ? m_folder + item->name : QString();
}

const FileItem* CFileListModel::entryAt(int row) const
{
    return row >= 0 && row < entryCount() ? &m_rows[size_t(row)] : nullptr;
}

QString CFileListModel::itemText(int row, int column) const
{
    const FileItem* item = entryAt(row);
    if (!item)
        return {};
    if (column == kSize)
        return QString::number(item->size);
    if (column == kType)
        fillIcon(row);
    return displayText(*item, column);
}

int CFileListModel::findByName(const QString& name) const
{
    buildNameIndex();
    return m_rowByName.value(name, -1);
}

int CFileListModel::rowOfId(quint64 id) const
{
    buildIdIndex();
    if (id < m_idBase || id - m_idBase >= m_rowById.size())
        return -1;
    return m_rowById[size_t(id - m_idBase)];
}

bool CFileListModel::isImage(int row) const
{
    const FileItem* item = entryAt(row);
    return item && item->imageFlag != 0;
}

bool CFileListModel::isFolder(int row) const
{
    const FileItem* item = entryAt(row);
    return item && item->isFolder;
}

int CFileListModel::iconIndex(int row) const
{
    if (!entryAt(row))
        return -1;
    fillIcon(row);
    return m_rows[size_t(row)].iconIndex;
}

void CFileListModel::fillIcon(int row) const
{
    FileItem& item = m_rows[size_t(row)];
    if (item.iconIndex == -1 && m_shellList)
        item.iconIndex = m_shellList->iconIndexAndType(m_folder, item.name, item.typeText, item.isFolder, item.ownIcon);
}

void CFileListModel::emitRowChanged(int row)
{
    Q_EMIT dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

void CFileListModel::invalidateIndex()
{
    m_nameIndexValid = false;
    m_rowByName.clear();
    m_idIndexValid = false;
    m_rowById.clear();
}

void CFileListModel::buildNameIndex() const
{
    if (m_nameIndexValid)
        return;
    m_rowByName.reserve(qsizetype(m_rows.size()));
    // Backwards, so that the first of two rows of one name wins.
    for (int row = entryCount() - 1; row >= 0; --row)
        m_rowByName.insert(m_rows[size_t(row)].name, row);
    m_nameIndexValid = true;
}

void CFileListModel::buildIdIndex() const
{
    if (m_idIndexValid)
        return;
    // Ids are numbered from one counter, so those of the rows lie close together: a plain table
    // from the lowest one up is built in a few milliseconds for a million rows, where a hash
    // would hold the UI thread for a good part of a second.
    m_idBase = m_lastId + 1;
    for (const FileItem& item : m_rows)
        m_idBase = std::min(m_idBase, item.id);
    m_rowById.assign(m_rows.empty() ? 0 : size_t(m_lastId - m_idBase + 1), -1);
    for (size_t row = 0; row < m_rows.size(); ++row)
        m_rowById[size_t(m_rows[row].id - m_idBase)] = int(row);
    m_idIndexValid = true;
}

int CFileListModel::firstSortedRow() const
{
    return !m_rows.empty() && m_rows.front().isParent ? 1 : 0;
}

void CFileListModel::sortRange(int first, int last)
{
    // Rows that tie keep their order, so folders stay in the name order they were read in.
    rowsort::sortRows(m_rows, size_t(first), size_t(last), m_sortKey, m_ascending);
}

void CFileListModel::sortBy(int key)
{
    if (key < fileitem::kByName || key > fileitem::kByExtension)
        return;
    if (key == fileitem::kByType) {
        // A type name is known once the row was shown; the order needs every row's.
        for (int row = 0; row < entryCount(); ++row)
            fillIcon(row);
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<quint64> ids;
    ids.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        ids.push_back(m_rows[size_t(index.row())].id);

    m_sortKey = key;
    sortRange(firstSortedRow(), m_folderCount);
    sortRange(m_folderCount, entryCount());
    invalidateIndex();

    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.append(index(rowOfId(ids[size_t(i)]), before[i].column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    Q_EMIT sorted(m_sortKey, m_ascending);
}

void CFileListModel::setDirection(bool ascending)
{
    m_ascending = ascending;
    if (m_sortKey >= 0)
        sortBy(m_sortKey);
    else
        Q_EMIT sorted(m_sortKey, m_ascending);
}

void CFileListModel::countIn(const FileItem& item, int sign)
{
    if (item.isFolder) {
        m_folderCount += sign;
        return;
    }
    m_fileCount += sign;
    m_totalSize = sign > 0 ? m_totalSize + item.size : m_totalSize - item.size;
    if (item.imageFlag != 0)
        m_imageCount += sign;
}

void CFileListModel::resetRows(FolderListing&& listing)
{
    beginResetModel();
    m_rows = std::move(listing.rows);
    m_folderCount = m_fileCount = m_imageCount = 0;
    m_totalSize = 0;
    invalidateIndex();
    // Numbered in row order, so the id index is known without a second pass over the rows (a
    // million of them take tens of milliseconds to walk, which the first result of a worker
    // would otherwise cost the UI thread).
    m_idBase = m_lastId + 1;
    m_rowById.resize(m_rows.size());
    std::iota(m_rowById.begin(), m_rowById.end(), 0);
    m_idIndexValid = true;
    for (FileItem& item : m_rows) {
        item.id = newId();
        countIn(item, 1);
    }
    endResetModel();
    Q_EMIT totalsChanged();
}

void CFileListModel::clearRows()
{
    beginResetModel();
    m_rows.clear();
    m_folderCount = m_fileCount = m_imageCount = 0;
    m_totalSize = 0;
    invalidateIndex();
    endResetModel();
    Q_EMIT totalsChanged();
}

void CFileListModel::insertItems(int at, std::vector<FileItem>&& items)
{
    if (items.empty())
        return;
    beginInsertRows({}, at, at + int(items.size()) - 1);
    for (const FileItem& item : items)
        countIn(item, 1);
    m_rows.insert(m_rows.begin() + at, std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
    invalidateIndex();
    endInsertRows();
}

int CFileListModel::insertItem(FileItem item)
{
    // A folder goes after the last folder, a file after the last row: nothing is sorted in.
    const int row = item.isFolder ? m_folderCount : entryCount();
    std::vector<FileItem> items;
    items.push_back(std::move(item));
    insertItems(row, std::move(items));
    return row;
}

int CFileListModel::insertEntry(FileItem item, const fileitem::Admission& admission)
{
    if (findByName(item.name) >= 0 || !fileitem::admits(item.name, item.isFolder, item.imageFlag != 0, admission))
        return -1;
    item.id = newId();
    const int row = insertItem(std::move(item));
    Q_EMIT totalsChanged();
    return row;
}

void CFileListModel::removeEntry(int row)
{
    if (!entryAt(row))
        return;
    beginRemoveRows({}, row, row);
    countIn(m_rows[size_t(row)], -1);
    m_rows.erase(m_rows.begin() + row);
    invalidateIndex();
    endRemoveRows();
    Q_EMIT totalsChanged();
}

void CFileListModel::setEntryField(int row, EntryField field, const QString& text)
{
    if (!entryAt(row))
        return;
    FileItem& item = m_rows[size_t(row)];
    switch (field) {
    case kFieldName:
        item.name = text;
        item.iconIndex = -1;
        invalidateIndex();
        break;
    case kFieldSize:
        // The total follows the row's size.
        countIn(item, -1);
        item.size = text.trimmed().toULongLong();
        countIn(item, 1);
        Q_EMIT totalsChanged();
        break;
    case kFieldType:
        item.typeText = text;
        break;
    case kFieldDate:
        item.dateOverride = text;
        break;
    case kFieldImageProperties:
        item.imageProperties = text;
        break;
    case kFieldDescription:
        item.description = text;
        break;
    }
    emitRowChanged(row);
}

bool CFileListModel::applyRowScan(const fileentry::RowScan& scan)
{
    const int row = rowOfId(scan.header.id);
    if (row < 0 || !scan.exists)
        return false;
    FileItem& item = m_rows[size_t(row)];
    if (!item.isFolder) {
        countIn(item, -1);
        item.size = scan.size;
        countIn(item, 1);
    }
    item.modified = scan.modified;
    item.dateOverride.reset();
    applyHeaderResult(scan.header);
    emitRowChanged(row);
    Q_EMIT totalsChanged();
    return true;
}

std::vector<HeaderScanJob> CFileListModel::headerScanJobs() const
{
    std::vector<HeaderScanJob> jobs;
    // Only the parent entry is skipped: at "/" the first row is a folder with a description of its own.
    for (int row = 0; row < entryCount(); ++row) {
        const FileItem& item = m_rows[size_t(row)];
        if (!item.isParent && !item.imageProperties)
            jobs.push_back({item.id, item.name});
    }
    return jobs;
}

bool CFileListModel::applyHeaderResult(const HeaderScanResult& result)
{
    const int row = rowOfId(result.id);
    if (row < 0)
        return false;
    FileItem& item = m_rows[size_t(row)];
    bool changed = false;
    // The quick reader knows seven formats: a PNG it cannot read is still a picture, so a failed
    // read keeps the flag the extension test gave.
    if (result.imageFlag != 0 && item.imageFlag == 0) {
        item.imageFlag = result.imageFlag;
        ++m_imageCount;
        Q_EMIT totalsChanged();
    }
    if (result.imageProperties && !result.imageProperties->isEmpty()) {
        item.imageProperties = result.imageProperties;
        changed = true;
    }
    if (result.description && !result.description->isEmpty()) {
        item.description = result.description;
        changed = true;
    }
    if (changed)
        emitRowChanged(row);
    return true;
}

bool CFileListModel::setThumbnail(quint64 id, int thumbnailIndex)
{
    const int row = rowOfId(id);
    if (row < 0)
        return false;
    m_rows[size_t(row)].thumbnailIndex = thumbnailIndex;
    emitRowChanged(row);
    return true;
}

void CFileListModel::markThumbnailFailed(quint64 id)
{
    if (const int row = rowOfId(id); row >= 0)
        m_rows[size_t(row)].thumbnailFailed = true;
}

void CFileListModel::clearThumbnails()
{
    for (FileItem& item : m_rows) {
        item.thumbnailIndex = -1;
        item.thumbnailFailed = false;
    }
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, 0), index(entryCount() - 1, kColumnCount - 1));
}

std::vector<ThumbnailJob> CFileListModel::thumbnailJobs() const
{
    std::vector<ThumbnailJob> jobs;
    for (const FileItem& item : m_rows) {
        if (item.imageFlag != 0 && item.thumbnailIndex < 0 && !item.thumbnailFailed)
            jobs.push_back({item.id, item.name});
    }
    return jobs;
}

void CFileListModel::removeRowsIf(const std::function<bool(const FileItem&)>& remove, RefreshOutcome* outcome)
{
    // From the end, one contiguous run at a time, so that the views move each run once.
    int row = entryCount() - 1;
    while (row >= 0) {
        if (!remove(m_rows[size_t(row)])) {
            --row;
            continue;
        }
        const int last = row;
        while (row > 0 && remove(m_rows[size_t(row - 1)]))
            --row;
        beginRemoveRows({}, row, last);
        for (int r = row; r <= last; ++r) {
            const FileItem& item = m_rows[size_t(r)];
            if (outcome && item.isFolder)
                outcome->folderRemoved = true;
            countIn(item, -1);
        }
        m_rows.erase(m_rows.begin() + row, m_rows.begin() + last + 1);
        invalidateIndex();
        endRemoveRows();
        if (outcome)
            outcome->rowRemoved = true;
        --row;
    }
}

CFileListModel::RefreshOutcome CFileListModel::applyRefresh(const FolderListing& listing, bool thumbnailsMode)
{
    RefreshOutcome outcome;
    // A folder that cannot be read now keeps its rows until it is read again.
    if (!listing.ok)
        return outcome;
    for (int row = firstSortedRow(); row < entryCount(); ++row)
        m_rows[size_t(row)].seen = false;

    std::vector<FileItem> folders;
    std::vector<FileItem> files;
    for (const FileItem& entry : listing.rows) {
        const int row = findByName(entry.name);
        if (row >= 0 && !m_rows[size_t(row)].isParent) {
            FileItem& item = m_rows[size_t(row)];
            item.seen = true;
            bool changed = false;
            if (!item.isFolder && item.size != entry.size) {
                countIn(item, -1);
                item.size = entry.size;
                countIn(item, 1);
                changed = true;
            }
            if (item.modified != entry.modified || item.dateOverride) {
                item.modified = entry.modified;
                item.dateOverride.reset();
                changed = true;
            }
            if (changed)
                emitRowChanged(row);
            continue;
        }
        FileItem item = entry;
        item.id = newId();
        item.seen = true;
        // The thumbnail worker makes its picture; one that cannot be loaded takes the row away.
        item.dropWithoutThumbnail = thumbnailsMode && item.imageFlag != 0;
        (item.isFolder ? folders : files).push_back(std::move(item));
    }

    outcome.folderAdded = !folders.empty();
    insertItems(m_folderCount, std::move(folders));
    insertItems(entryCount(), std::move(files));
    clearCutMarks();
    removeRowsIf([](const FileItem& item) { return !item.seen && !item.isParent; }, &outcome);
    Q_EMIT totalsChanged();
    return outcome;
}

void CFileListModel::setCutMarks(const QStringList& names)
{
    for (size_t row = 0; row < m_rows.size(); ++row) {
        FileItem& item = m_rows[row];
        const bool cut = !item.isParent && names.contains(item.name);
        if (item.cut != cut) {
            item.cut = cut;
            emitRowChanged(int(row));
        }
    }
}

void CFileListModel::clearCutMarks()
{
    setCutMarks({});
}
