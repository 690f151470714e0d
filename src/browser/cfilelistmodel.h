#pragma once
// CFileListModel: the rows of the file list, one FileItem per entry of the shown folder, behind
// every view mode of CFileListCtrl. The list is virtual: texts, icons and tips are made when a
// view asks for them; an icon (and the shell's type name with it) is looked up once per row and
// kept.
//
// Rows: the parent entry ".." first unless the folder is "/", then the folders, then the files.
// The counts and the byte total follow every change. Workers never see the rows: their results
// come in here by FileItem::id, so a row that moved or went away meanwhile is found or skipped.
// UI thread only. The CShellList is not owned and must outlive the model.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QSize>
#include <QString>

#include "browser/fileentry.h"
#include "browser/fileitem.h"
#include "browser/folderworkers.h"
#include "browser/thumbnailworker.h"

class CShellList;

class CFileListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Logical columns; the key of a column is its number.
    enum Column : int { kName, kSize, kType, kDate, kImageProperties, kDescription, kColumnCount };

    // What applying a refresh changed, so that the list can refocus and the tree be rebuilt.
    struct RefreshOutcome {
        bool folderAdded = false;
        bool folderRemoved = false;
        bool rowRemoved = false;
    };

    explicit CFileListModel(CShellList* shellList, QObject* parent = nullptr);
    ~CFileListModel() override;

    static QString heading(int column);
    // The background of a row by the extension of its name; invalid for other names and folders.
    static QColor typeColour(const FileItem& item);
    // " name \n size \n[ properties \n] date[ \n description]" with a description longer than 80
    // characters cut to 77 and "..."; empty for the parent entry.
    static QString toolTipText(const FileItem& item);

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A new name typed into a row goes to renameRequested; the row keeps its name until the
    // rename was done on disk and the row's name set (setEntryField code 0).
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // The size every row asks for in a list or icon view (the thumbnails mode's cell); an invalid
    // size leaves it to the view.
    void setItemSizeHint(const QSize& size);

    // The folder shown, ending with "/"; changing it empties the rows.
    QString folder() const { return m_folder; }
    void setFolder(const QString& folder);
    bool hasParentEntry() const { return m_folder != QLatin1String("/"); }
    // The full path of a row: folder + name.
    QString pathOf(int row) const;

    const FileItem* entryAt(int row) const;
    // 0 name, 1 size in bytes, 2 type, 3 date, 4 image properties, 5 description; empty for a
    // row or key out of range.
    QString itemText(int row, int column) const;
    // First row of exactly this name (case-sensitive), or -1.
    int findByName(const QString& name) const;
    int rowOfId(quint64 id) const;
    // The row's index in the CShellList, looked up on the first call; -1 for a row out of range.
    int iconIndex(int row) const;
    bool isImage(int row) const;
    bool isFolder(int row) const;

    int entryCount() const { return int(m_rows.size()); }
    int folderCount() const { return m_folderCount; }
    int fileCount() const { return m_fileCount; }
    int imageCount() const { return m_imageCount; }
    quint64 totalSize() const { return m_totalSize; }

    // -1 until the first sort.
    int sortKey() const { return m_sortKey; }
    bool ascending() const { return m_ascending; }
    // Sorts the folders (after the parent entry) and the files apart by key 0..6; other keys do
    // nothing. Sorting by Type first asks the type name of every row not yet shown.
    void sortBy(int key);
    // Stores the direction and sorts again by the current key.
    void setDirection(bool ascending);

    // Replaces every row by a population listing (ids are given here).
    void resetRows(FolderListing&& listing);
    void clearRows();

    // Adds the record of an entry an operation made (copy, paste, save, new folder; read by
    // fileentry::readRecord, its image flag by its extension as every row's): a folder as the
    // last folder, a file at the end. The new row's index, or -1 when the entry is listed
    // already or not admitted.
    int insertEntry(FileItem item, const fileitem::Admission& admission);
    void removeEntry(int row);
    // The fields of a record that can be set by name.
    enum EntryField : int { kFieldName = 0, kFieldSize, kFieldType, kFieldDate, kFieldImageProperties, kFieldDescription };
    // Name, size (decimal text), type, date text, image properties, description.
    void setEntryField(int row, EntryField field, const QString& text);

    // Applies the scan of one row (fileentry::scanRow) to the row of its id: size and date as
    // they are now, then the header result. False when the row or its file is gone.
    bool applyRowScan(const fileentry::RowScan& scan);
    // Header-scan jobs of the rows that still lack image properties, the parent entry left out.
    std::vector<HeaderScanJob> headerScanJobs() const;
    // Applies a header-scan result to the row of its id; a header read raises the image flag, a
    // failed one leaves the flag of the extension test. False when the row is gone.
    bool applyHeaderResult(const HeaderScanResult& result);
    bool setThumbnail(quint64 id, int thumbnailIndex);
    // The row keeps its icon: its picture could not be loaded.
    void markThumbnailFailed(quint64 id);
    void clearThumbnails();
    // Rows with the image flag and no thumbnail yet (nor a failed one), in row order, for the
    // thumbnail worker.
    std::vector<ThumbnailJob> thumbnailJobs() const;
    // Folds a refresh listing of the shown folder in: rows matched by name are kept (size and date
    // updated), new entries added at the end of their kind (in thumbnails mode a picture leaves
    // again when its thumbnail cannot be made), rows whose entry is gone removed.
    RefreshOutcome applyRefresh(const FolderListing& listing, bool thumbnailsMode);
    // The cut mark (a dimmed icon) of the rows named `names`, every other row's taken away.
    void setCutMarks(const QStringList& names);
    void clearCutMarks();

Q_SIGNALS:
    void totalsChanged();
    void sorted(int key, bool ascending);
    void renameRequested(int row, const QString& newName);

private:
    void fillIcon(int row) const;
    void emitRowChanged(int row);
    void invalidateIndex();
    void buildNameIndex() const;
    void buildIdIndex() const;
    quint64 newId() { return ++m_lastId; }
    int firstSortedRow() const;
    void sortRange(int first, int last);
    void countIn(const FileItem& item, int sign);
    void insertItems(int at, std::vector<FileItem>&& items);
    int insertItem(FileItem item);
    void removeRowsIf(const std::function<bool(const FileItem&)>& remove, RefreshOutcome* outcome);

    CShellList* m_shellList;
    QString m_folder = QStringLiteral("/");
    QSize m_itemSizeHint;
    // Icon indexes and type names are filled in when a view first shows a row.
    mutable std::vector<FileItem> m_rows;
    // Row of a name, and of an id (at id - m_idBase, -1 for none), each built when first asked.
    mutable QHash<QString, int> m_rowByName;
    mutable bool m_nameIndexValid = false;
    mutable std::vector<int> m_rowById;
    mutable quint64 m_idBase = 0;
    mutable bool m_idIndexValid = false;
    int m_folderCount = 0;
    int m_fileCount = 0;
    int m_imageCount = 0;
    quint64 m_totalSize = 0;
    int m_sortKey = -1;
    bool m_ascending = true;
    quint64 m_lastId = 0;
};
