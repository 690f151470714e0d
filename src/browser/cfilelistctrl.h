#pragma once
// CFileListCtrl: the browser's file list. It shows the rows of one folder (CFileListModel) in one
// of five view modes, fills them with three workers (population, header scan, thumbnails) and
// refreshes them from the disk, by hand ("Refresh folder") or while auto refresh watches the
// folder. It handles the View menu's commands (modes, options, columns, sort keys) through its
// command target, whose next link the host sets, and opens the row and background menus.
//
// Workers get copies of what they need and a generation number; their results are applied on
// the UI thread by row id and only for the current generation, so the rows may be sorted or
// changed while they run. Every re-read of the folder stops them first; the destructor stops
// them. The list reads
// nothing from the disk on the UI thread: single entries (an added file, a row scanned again,
// the summary of the selection, the verdict a row's menu depends on) are read on the executor
// too, and what depends on them follows when they arrive. UI thread only.

#include <array>
#include <functional>
#include <memory>
#include <optional>

#include <QString>
#include <QStringList>

#include "browser/cfilelistmodel.h"
#include "browser/cshelllist.h"
#include "browser/folderworkers.h"
#include "browser/thumbnailstore.h"
#include "browser/thumbnailworker.h"
#include "core/commands.h"
#include "settings/storedstate.h"
#include "ui/clistctrlex.h"

class CAppSettings;
class QMenu;

class CFileListCtrl : public CListCtrlEx {
    Q_OBJECT
public:
    enum ViewMode : int { kThumbnails = 0, kLargeIcons, kSmallIcons, kList, kDetails };

    explicit CFileListCtrl(QWidget* parent = nullptr);
    ~CFileListCtrl() override;

    CFileListModel& rows() { return m_model; }
    const CFileListModel& rows() const { return m_model; }
    // The list's handlers; commands it does not handle go on to the target set as next.
    CCommandTarget& commands() { return m_commands; }

    // Reads the "Column_%d" values against the list's width and applies them.
    void createColumns();
    // The columns for storedstate::writeColumns: a shown column's width, a hidden one's last.
    storedstate::ColumnStates columnStates() const;
    // Full-row selection, grid lines, header scan, show hidden, auto refresh, show non-images.
    void applyOptions(const CAppSettings& settings);
    // Only those of the Options dialog: full-row selection, grid lines, header scan and the
    // thumbnail cache (from the next thumbnail pass on). The View menu's toggles stay as the user
    // set them since.
    void applyDisplayOptions(const CAppSettings& settings);
    // The three the View menu toggles (ShowNonImages, ShowHidden, AutoRefresh) go into `options`
    // and to the store, the other fields staying as they are stored.
    void saveOptions(CAppSettings& options) const;

    // Shows a folder (trailing "/" added). With `notify`, tells the frame ("SelectFolder", kind
    // 3) and selects row 0 once the folder was read.
    void SetFolder(const QString& path, bool notify);
    QString currentFolder() const { return m_model.folder(); }
    // Drops the rows and reads the folder again.
    void reReadFolder();
    // Re-synchronises the rows with the disk (the "Refresh folder" message).
    void refresh();

    void setViewMode(int mode);
    int viewMode() const { return m_viewMode; }
    void sortBy(int key);
    void setDirection(bool ascending);
    void showColumn(int key, bool show);
    bool isColumnShown(int key) const;

    // -1 without a selection; else the first selected row, or with `preferFocus` the current one.
    int focusedIndex(bool preferFocus) const;
    // Names of the selected rows in row order, without the parent entry; their number.
    int selectedNames(QStringList& names) const;
    // The same as full paths in the shown folder.
    QStringList selectedPaths() const;
    // Whether a row other than ".." is selected; cheap enough for every selection change.
    bool hasSelectedEntries() const;
    void selectRow(int row);
    // The row files dragged over the list would go into, drawn highlighted; -1 for none.
    void setDropHighlight(int row);

    // Lists the entry `name` of the shown folder (a file an operation made) once it was read in
    // the background, with the admission options and, in thumbnails mode, its thumbnail to come;
    // fileAdded() tells the row. With `select` the new row becomes the selected one.
    void addFile(const QString& name, bool select = false);
    // Makes a folder through the operation engine and lists it, selects it, sends "Refresh tree"
    // to the frame and starts the Rename command; the new row, or -1.
    int createFolder(const QString& base);
    // The summary of the first selected row's file (fileentry::summary), when it was read since
    // that row was selected; it is asked for otherwise, and summaryChanged() follows. False
    // without a selection, while it is asked for, and for a file that is missing.
    bool fileSummary(QString* text, QString* detail);
    // Reads the row's size, date, header and description again in the background (the header
    // scan is off, and the row is opened or previewed).
    void scanEntry(int row);

    // Opens a folder row (a folder, or ".." for the parent folder); false for other rows.
    bool openRow(int row);

    bool thumbnailsMade() const { return m_thumbnailsMade; }
    const CThumbnailStore& thumbnails() const { return m_thumbnailStore; }
    quint64 generation() const { return m_generation; }

    // The background and row menus as the list opens them (the caller owns the menu). The row
    // menu is the picture menu when the image library reads the row's file.
    QMenu* backgroundMenu();
    QMenu* rowMenu(int row, bool libraryReads);
    QMenu* columnsMenu();
    // A right click on a row: the library reads the file in the background, then the row menu
    // pops up at `globalPos` (menuShown), unless the row went meanwhile. It deletes itself when
    // it closes.
    void showRowMenu(int row, const QPoint& globalPos);

Q_SIGNALS:
    // After "Population is over." was handled, and after a refresh was applied.
    void populationOver();
    void refreshed();
    // After a header-scan pass or a thumbnail pass was applied to the end.
    void headerScanFinished();
    void thumbnailsFinished();
    // The list switched to thumbnails (the frame may hide the preview then).
    void thumbnailsModeEntered();
    // A folder opened for one of its files (the viewer handing back) and that file's row selected.
    void fileSelected(int row);
    // addFile() read the entry: its row, or -1 when it is missing, not admitted or (in
    // thumbnails mode) a picture that cannot be loaded.
    void fileAdded(const QString& name, int row);
    // The summary of the selected file was read.
    void summaryChanged();
    // The menu of a right click, opened once the verdict on the row's file was read.
    void menuShown(QMenu* menu);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    QColor bkColorForItem(int item, QStyle::State state) override;
    bool onDrawItem(QPainter* painter, int item, const QRect& rect, QStyle::State state) override;

private:
    // The file changed: the summary is read again when it is next asked for.
    void forgetSummary();
    void registerCommands();
    void forward(int id, int target);
    void addCommands(QMenu* menu, std::initializer_list<int> ids);
    QMenu* commandMenu(const QString& title, std::initializer_list<int> ids, QWidget* parent);
    void onPopulationOver(const FolderListingPtr& listing);
    void onRefreshListed(const FolderListingPtr& listing);
    void onHeaderScanned(quint64 generation, const std::vector<HeaderScanResult>& batch);
    void onThumbnailReady(quint64 generation, quint64 id, const QImage& picture);
    void onThumbnailFailed(quint64 generation, quint64 id);
    // Serves the rows that lack a thumbnail in thumbnails mode (after rows were added).
    void makeMissingThumbnails();
    // Reads on the executor, then applies on this thread if the folder is still the same.
    template <typename Result>
    void readEntry(std::function<Result()> read, std::function<void(Result)> apply);
    void startHeaderScan();
    void enterThumbnailsMode();
    void stopThumbnails();
    void updateVisibleRows();
    void setListBackground(bool buttonFace);
    void onSorted(int key, bool ascending);
    void onHeaderClicked(int column);
    void toggleOption(bool& option);
    void setAutoRefresh(bool on);
    bool handleViewKey(QKeyEvent* event);
    FolderRequest folderRequest() const;

    CShellList m_shellList;
    CFileListModel m_model;
    CCommandTarget m_commands;
    CPopulationWorker m_population;
    CHeaderScanWorker m_headerScan;
    CThumbnailWorker m_thumbnailWorker;
    CFolderWatcher m_watcher;
    CThumbnailStore m_thumbnailStore;
    WorkerRun m_entryReads;
    // The summary of the selection as last read: the row's id, nothing while it is asked for.
    quint64 m_summaryId = 0;
    std::optional<fileentry::Summary> m_summary;
    bool m_summaryAsked = false;

    int m_viewMode = kDetails;
    fileitem::Admission m_admission;
    bool m_autoRefresh = true;
    bool m_headerScanOff = false;
    bool m_selectFirst = true;
    QString m_selectName; // the row to select once the folder was read, if it is there
    bool m_thumbnailsMade = false;
    bool m_refreshPending = false; // asked for while the folder was being read
    quint64 m_generation = 0;
    int m_refreshRow = -1; // the first selected row when the refresh began
    int m_dropRow = -1;
    std::array<int, CFileListModel::kColumnCount> m_columnWidths{};
};
