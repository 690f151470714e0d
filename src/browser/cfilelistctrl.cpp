#include "browser/cfilelistctrl.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>

#include "browser/logging.h"
#include "browser/thumbnailcell.h"
#include "core/messages.h"
#include "fileops/cshellfileop.h"
#include "platform/thumbnailcache.h"
#include "settings/cappsettings.h"
#include "ui/codheaderctrl.h"

namespace {

// View mode -> command, and the sort commands by key (key 6, by Extension, leads the menu).
constexpr int kModeCommands[] = {cmd::kViewThumbnails, cmd::kViewLargeIcons, cmd::kViewSmallIcons, cmd::kViewList,
                                 cmd::kViewDetails};
constexpr int kSortCommands[] = {
    cmd::kSortByName,        cmd::kSortBySize,     cmd::kSortByType, cmd::kSortByDate, cmd::kSortByImageProperties,
    cmd::kSortByDescription, cmd::kSortByExtension};
constexpr int kColumnCommands[] = {cmd::kColumnSize, cmd::kColumnType, cmd::kColumnDate, cmd::kColumnImageProperties,
                                   cmd::kColumnDescription};

constexpr QSize kSmallIcon(16, 16);
constexpr QSize kLargeIcon(32, 32);

QString parentFolder(const QString& folder)
{
    QString path = folder;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return QFileInfo(path).path();
}

} // namespace

CFileListCtrl::CFileListCtrl(QWidget* parent)
    : CListCtrlEx(parent), m_model(&m_shellList), m_entryReads(this)
{
    setModel(&m_model);
    m_columnWidths.fill(100);

    header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header(), &QHeaderView::customContextMenuRequested, this, [this](const QPoint& pos) {
        const std::unique_ptr<QMenu> menu(columnsMenu());
        menu->exec(header()->mapToGlobal(pos));
    });
    connect(header(), &QHeaderView::sectionClicked, this, &CFileListCtrl::onHeaderClicked);
    connect(&m_model, &CFileListModel::sorted, this, &CFileListCtrl::onSorted);

    for (QAbstractItemView* view :
         {static_cast<QAbstractItemView*>(listView()), static_cast<QAbstractItemView*>(reportView())}) {
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex& index) { openRow(index.row()); });
    }
    // The rows on screen get their thumbnails first.
    connect(listView()->verticalScrollBar(), &QScrollBar::valueChanged, this, &CFileListCtrl::updateVisibleRows);
    connect(listView()->horizontalScrollBar(), &QScrollBar::valueChanged, this, &CFileListCtrl::updateVisibleRows);
    listView()->viewport()->installEventFilter(this);

    connect(&m_population, &CPopulationWorker::populationOver, this, &CFileListCtrl::onPopulationOver);
    connect(&m_population, &CPopulationWorker::refreshListed, this, &CFileListCtrl::onRefreshListed);
    connect(&m_headerScan, &CHeaderScanWorker::scanned, this, &CFileListCtrl::onHeaderScanned);
    connect(&m_headerScan, &CHeaderScanWorker::scanFinished, this, [this](quint64 generation) {
        if (generation == m_generation)
            Q_EMIT headerScanFinished();
    });
    connect(&m_thumbnailWorker, &CThumbnailWorker::thumbnailReady, this, &CFileListCtrl::onThumbnailReady);
    connect(&m_thumbnailWorker, &CThumbnailWorker::failed, this, &CFileListCtrl::onThumbnailFailed);
    connect(&m_thumbnailWorker, &CThumbnailWorker::finished, this, [this](quint64 generation) {
        if (generation == m_generation)
            Q_EMIT thumbnailsFinished();
    });
    connect(&m_watcher, &CFolderWatcher::changed, this, &CFileListCtrl::refresh);
    registerCommands();
}

CFileListCtrl::~CFileListCtrl()
{
    m_population.stop();
    m_thumbnailWorker.stop();
    m_headerScan.stop();
    m_entryReads.stop();
}

// ---- commands and menus -----------------------------------------------------------------------

void CFileListCtrl::registerCommands()
{
    for (int mode = kThumbnails; mode <= kDetails; ++mode) {
        m_commands.on(
            kModeCommands[mode], [this, mode] { setViewMode(mode); }, {}, [this, mode] { return m_viewMode == mode; });
    }
    for (int key = fileitem::kByName; key <= fileitem::kByExtension; ++key) {
        m_commands.on(
            kSortCommands[key], [this, key] { sortBy(key); }, {}, [this, key] { return m_model.sortKey() == key; });
    }
    m_commands.on(
        cmd::kSortForward, [this] { setDirection(true); }, {}, [this] { return m_model.ascending(); });
    m_commands.on(
        cmd::kSortReverse, [this] { setDirection(false); }, {}, [this] { return !m_model.ascending(); });
    for (int key = 1; key < CFileListModel::kColumnCount; ++key) {
        m_commands.on(
            kColumnCommands[key - 1], [this, key] { showColumn(key, !isColumnShown(key)); }, {},
            [this, key] { return isColumnShown(key); });
    }
    m_commands.on(
        cmd::kShowNonImages, [this] { toggleOption(m_admission.showNonImages); }, {},
        [this] { return m_admission.showNonImages; });
    m_commands.on(
        cmd::kShowHiddenFiles, [this] { toggleOption(m_admission.showHidden); }, {},
        [this] { return m_admission.showHidden; });
    m_commands.on(
        cmd::kAutoRefresh, [this] { setAutoRefresh(!m_autoRefresh); }, {}, [this] { return m_autoRefresh; });
    m_commands.on(cmd::kRefresh, [this] { appmsg::send(this, appmsg::kRefreshFolder); });

    // Opening a picture or a file belongs to the browser view; the list opens folders itself.
    for (int id : {int(cmd::kListView), int(cmd::kListOpen)}) {
        m_commands.on(
            id, [this] { openRow(focusedIndex(true)); }, [this] { return m_model.isFolder(focusedIndex(true)); });
    }
    forward(cmd::kListCopy, cmd::kCopy);
    forward(cmd::kListCut, cmd::kCut);
    forward(cmd::kListPaste, cmd::kPaste);
    forward(cmd::kListDelete, cmd::kDelete);
    forward(cmd::kListCopyTo, cmd::kCopyTo);
    forward(cmd::kListMoveTo, cmd::kMoveTo);
    forward(cmd::kListNewFolder, cmd::kNewFolder);
    forward(cmd::kListDescribe, cmd::kDescribe);
    forward(cmd::kListProperties, cmd::kProperties);
    forward(cmd::kListExport, cmd::kSaveAs);
    forward(cmd::kListEraseForGood, cmd::kEraseForGood);
}

void CFileListCtrl::forward(int id, int target)
{
    // Enabled exactly when a later link of the chain carries the command out.
    m_commands.on(
        id, [this, target] { m_commands.execute(target); }, [this, target] { return m_commands.isEnabled(target); });
}

void CFileListCtrl::addCommands(QMenu* menu, std::initializer_list<int> ids)
{
    for (int id : ids) {
        if (id == 0) {
            menu->addSeparator();
            continue;
        }
        const cmd::CommandInfo* info = cmd::info(id);
        QAction* action = menu->addAction(cmd::icon(id), QString::fromUtf8(info->menuText));
        action->setData(id);
        action->setStatusTip(QString::fromUtf8(info->prompt));
        action->setEnabled(m_commands.isEnabled(id));
        if (m_commands.isCheckable(id)) {
            action->setCheckable(true);
            action->setChecked(m_commands.isChecked(id));
        }
        connect(action, &QAction::triggered, this, [this, id] { m_commands.execute(id); });
    }
}

QMenu* CFileListCtrl::commandMenu(const QString& title, std::initializer_list<int> ids, QWidget* parent)
{
    auto* menu = new QMenu(title, parent);
    addCommands(menu, ids);
    return menu;
}

QMenu* CFileListCtrl::backgroundMenu()
{
    auto* menu = new QMenu(this);
    menu->addMenu(commandMenu(
        tr("&View"),
        {cmd::kViewThumbnails, cmd::kViewLargeIcons, cmd::kViewSmallIcons, cmd::kViewList, cmd::kViewDetails}, menu));
    menu->addMenu(
        commandMenu(tr("Arrange &Icons"),
                    {cmd::kSortByExtension, cmd::kSortByName, cmd::kSortBySize, cmd::kSortByType, cmd::kSortByDate,
                     cmd::kSortByImageProperties, cmd::kSortByDescription, 0, cmd::kSortForward, cmd::kSortReverse},
                    menu));
    addCommands(menu, {0, cmd::kRefresh, 0, cmd::kPaste, 0, cmd::kSelectAll});
    return menu;
}

QMenu* CFileListCtrl::rowMenu(int row, bool libraryReads)
{
    auto* menu = new QMenu(this);
    if (libraryReads && !m_model.isFolder(row)) {
        addCommands(menu, {cmd::kListView, cmd::kListEditWith, cmd::kSlideShow, 0, cmd::kFilePrint});
        menu->addMenu(commandMenu(
            tr("Set as &Wallpaper"),
            {cmd::kWallpaperCenter, cmd::kWallpaperTile, cmd::kWallpaperStretch, 0, cmd::kWallpaperRestore}, menu));
        addCommands(menu,
                    {0, cmd::kListCut, cmd::kListCopy, cmd::kListPaste, 0, cmd::kListDelete, cmd::kRename, 0,
                     cmd::kListCopyTo, cmd::kListMoveTo, cmd::kListNewFolder, 0, cmd::kListExport, cmd::kListDescribe,
                     cmd::kListProperties, 0, cmd::kListEncryptDecrypt, cmd::kListEraseForGood});
    } else {
        addCommands(menu, {cmd::kListOpen,
                           cmd::kListShellOpen,
                           cmd::kListEditWith,
                           0,
                           cmd::kListCut,
                           cmd::kListCopy,
                           cmd::kListPaste,
                           0,
                           cmd::kListDelete,
                           cmd::kRename,
                           0,
                           cmd::kListCopyTo,
                           cmd::kListMoveTo,
                           cmd::kListNewFolder,
                           0,
                           cmd::kListDescribe,
                           cmd::kListProperties,
                           0,
                           cmd::kListEncryptDecrypt,
                           cmd::kListEraseForGood});
    }
    menu->setDefaultAction(menu->actions().constFirst());
    // A folder is never encrypted as a whole.
    for (QAction* action : menu->actions()) {
        if (action->data().toInt() == cmd::kListEncryptDecrypt && m_model.isFolder(row))
            action->setEnabled(false);
    }
    return menu;
}

QMenu* CFileListCtrl::columnsMenu()
{
    return commandMenu(
        tr("Columns"),
        {cmd::kColumnSize, cmd::kColumnType, cmd::kColumnDate, cmd::kColumnImageProperties, cmd::kColumnDescription},
        this);
}

void CFileListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    const int row = hitTestEx(event->pos(), nullptr);
    if (row >= 0 && selectionModel() && !selectionModel()->isRowSelected(row))
        selectRow(row);
    if (row >= 0) {
        showRowMenu(row, event->globalPos());
        return;
    }
    const std::unique_ptr<QMenu> menu(backgroundMenu());
    Q_EMIT menuShown(menu.get());
    menu->exec(event->globalPos());
}

// A picture's menu differs from other files': the library reads the file first, in the
// background, and the menu opens when the answer is there.
void CFileListCtrl::showRowMenu(int row, const QPoint& globalPos)
{
    const FileItem* item = m_model.entryAt(row);
    const quint64 id = item->id;
    const QString path = m_model.pathOf(row);
    const bool folder = item->isFolder;
    readEntry<bool>([path, folder] { return !folder && fileentry::libraryReads(path); },
                    [this, id, globalPos](bool reads) {
                        const int now = m_model.rowOfId(id);
                        if (now < 0)
                            return;
                        QMenu* menu = rowMenu(now, reads);
                        menu->setAttribute(Qt::WA_DeleteOnClose);
                        menu->popup(globalPos);
                        Q_EMIT menuShown(menu);
                    });
}

// ---- columns ----------------------------------------------------------------------------------

void CFileListCtrl::createColumns()
{
    const storedstate::ColumnStates states = storedstate::readColumns(width());
    for (int key = 0; key < CFileListModel::kColumnCount; ++key) {
        m_columnWidths[size_t(key)] = states[size_t(key)].width;
        header()->resizeSection(key, states[size_t(key)].width);
        reportView()->setColumnHidden(key, key != 0 && !states[size_t(key)].shown);
    }
}

storedstate::ColumnStates CFileListCtrl::columnStates() const
{
    storedstate::ColumnStates states;
    for (int key = 0; key < CFileListModel::kColumnCount; ++key) {
        const bool shown = isColumnShown(key);
        states[size_t(key)].shown = shown;
        states[size_t(key)].width = shown ? header()->sectionSize(key) : m_columnWidths[size_t(key)];
    }
    return states;
}

void CFileListCtrl::showColumn(int key, bool show)
{
    if (key < 1 || key >= CFileListModel::kColumnCount || show == isColumnShown(key))
        return;
    if (!show)
        m_columnWidths[size_t(key)] = header()->sectionSize(key);
    reportView()->setColumnHidden(key, !show);
    if (show)
        header()->resizeSection(key, m_columnWidths[size_t(key)]);
}

bool CFileListCtrl::isColumnShown(int key) const
{
    return key >= 0 && key < CFileListModel::kColumnCount && !header()->isSectionHidden(key);
}

void CFileListCtrl::saveOptions(CAppSettings& options) const
{
    options.ShowNonImages = m_admission.showNonImages ? 1 : 0;
    options.ShowHidden = m_admission.showHidden ? 1 : 0;
    options.AutoRefresh = m_autoRefresh ? 1 : 0;
    options.SaveFields({&CAppSettings::ShowNonImages, &CAppSettings::ShowHidden, &CAppSettings::AutoRefresh});
}

void CFileListCtrl::applyDisplayOptions(const CAppSettings& settings)
{
    setFullRowSelect(settings.FullRow != 0);
    setGridLines(settings.GridLines != 0);
    m_headerScanOff = settings.DontScanHeaders != 0;
    m_thumbnailWorker.setCache(settings.KeepThumbnails != 0
                                   ? std::make_shared<const ThumbnailCache>(ThumbnailCache::standardRoot())
                                   : nullptr);
}

void CFileListCtrl::applyOptions(const CAppSettings& settings)
{
    applyDisplayOptions(settings);
    m_admission.showHidden = settings.ShowHidden != 0;
    setAutoRefresh(settings.AutoRefresh != 0);
    m_admission.showNonImages = settings.ShowNonImages != 0;
}

// ---- sorting ----------------------------------------------------------------------------------

void CFileListCtrl::sortBy(int key)
{
    m_model.sortBy(key);
}

void CFileListCtrl::setDirection(bool ascending)
{
    m_model.setDirection(ascending);
}

void CFileListCtrl::onSorted(int key, bool ascending)
{
    header()->SetSortImage(key == fileitem::kByExtension ? CFileListModel::kName : key, ascending);
}

void CFileListCtrl::onHeaderClicked(int column)
{
    // The column of the current key turns the direction round; another keeps it.
    if (column == m_model.sortKey())
        m_model.setDirection(!m_model.ascending());
    else
        m_model.sortBy(column);
}

// ---- folder, population, refresh --------------------------------------------------------------

FolderRequest CFileListCtrl::folderRequest() const
{
    FolderRequest request;
    request.folder = m_model.folder();
    request.showHidden = m_admission.showHidden;
    request.showNonImages = m_admission.showNonImages;
    request.sortKey = m_model.sortKey();
    request.ascending = m_model.ascending();
    request.generation = m_generation;
    return request;
}

void CFileListCtrl::SetFolder(const QString& path, bool notify)
{
    qCDebug(lcBrowser) << "SetFolder()";
    if (path.isEmpty())
        return;
    m_model.setFolder(QDir::cleanPath(path));
    if (m_autoRefresh)
        m_watcher.watch(m_model.folder());
    m_model.clearCutMarks();
    reReadFolder();
    m_selectFirst = notify;
    m_selectName.clear();
    // The frame passes it on to the folder tree; a list on its own has no one to tell.
    if (notify && window() != this)
        appmsg::send(window(), appmsg::kSelectFolder, m_model.folder(), appmsg::kFolderShownByList);
}

void CFileListCtrl::reReadFolder()
{
    m_population.stop();
    m_headerScan.stop();
    stopThumbnails();
    m_entryReads.stop();
    m_summaryId = 0;
    m_thumbnailStore.clear();
    m_model.clearRows();
    m_refreshPending = false;
    ++m_generation;
    m_population.start(folderRequest());
}

void CFileListCtrl::onPopulationOver(const FolderListingPtr& listing)
{
    if (!listing || listing->generation != m_generation)
        return;
    m_model.resetRows(std::move(*listing));
    startHeaderScan();
    if (m_viewMode == kThumbnails)
        enterThumbnailsMode();
    const int named = m_selectName.isEmpty() ? -1 : m_model.findByName(std::exchange(m_selectName, {}));
    if (named >= 0) {
        selectRow(named);
        Q_EMIT fileSelected(named);
    } else if (m_selectFirst && m_model.entryCount() > 0) {
        selectRow(0);
    }
    Q_EMIT populationOver();
    if (std::exchange(m_refreshPending, false))
        refresh();
}

void CFileListCtrl::refresh()
{
    // A read under way may have passed a change already: refresh once it is over.
    if (m_population.isRunning()) {
        m_refreshPending = true;
        return;
    }
    m_headerScan.stop();
    m_refreshRow = focusedIndex(false);
    m_population.startRefresh(folderRequest());
}

void CFileListCtrl::onRefreshListed(const FolderListingPtr& listing)
{
    if (!listing || listing->generation != m_generation)
        return;
    const CFileListModel::RefreshOutcome outcome = m_model.applyRefresh(*listing, m_viewMode == kThumbnails);
    forgetSummary();
    makeMissingThumbnails();
    if (outcome.rowRemoved && m_model.entryCount() > 0) {
        selectionModel()->clearSelection();
        selectRow(std::clamp(m_refreshRow, 0, m_model.entryCount() - 1));
    }
    if ((outcome.folderAdded || outcome.folderRemoved) && window() != this)
        appmsg::send(window(), appmsg::kRefreshTree, m_model.folder());
    startHeaderScan();
    // A name being typed (the new folder's) keeps the keyboard.
    if (!isEditingLabel())
        setFocus(Qt::OtherFocusReason);
    Q_EMIT refreshed();
}

void CFileListCtrl::startHeaderScan()
{
    if (!m_headerScanOff)
        m_headerScan.start(m_model.folder(), m_model.headerScanJobs(), m_generation);
}

void CFileListCtrl::onHeaderScanned(quint64 generation, const std::vector<HeaderScanResult>& batch)
{
    if (generation != m_generation)
        return;
    for (const HeaderScanResult& result : batch)
        m_model.applyHeaderResult(result);
}

void CFileListCtrl::toggleOption(bool& option)
{
    option = !option;
    // Before the first folder there is nothing to read again.
    if (m_generation != 0)
        reReadFolder();
}

void CFileListCtrl::setAutoRefresh(bool on)
{
    m_autoRefresh = on;
    // Nothing is watched before the first folder is shown.
    m_watcher.watch(on && m_generation != 0 ? m_model.folder() : QString());
}

// ---- view modes and thumbnails ----------------------------------------------------------------

void CFileListCtrl::setViewMode(int mode)
{
    if (mode < kThumbnails || mode > kDetails)
        return;
    if (mode == kThumbnails) {
        enterThumbnailsMode();
        return;
    }
    static constexpr ViewStyle kStyles[] = {ViewStyle::Icon, ViewStyle::Icon, ViewStyle::SmallIcon, ViewStyle::List,
                                            ViewStyle::Report};
    m_shellList.detach();
    m_model.setItemSizeHint({});
    setListBackground(false);
    setIconSizes(kLargeIcon, kSmallIcon);
    setViewStyle(kStyles[mode]);
    m_viewMode = mode;
}

void CFileListCtrl::enterThumbnailsMode()
{
    const QSize cell = thumbnailcell::itemSize(fontMetrics());
    m_model.setItemSizeHint(cell);
    setViewStyle(ViewStyle::Icon);
    setIconSizes(QSize(thumbnailcell::kThumbnailSize, thumbnailcell::kThumbnailSize), kSmallIcon);
    listView()->setGridSize(cell);
    m_shellList.attachLargeIcons(true);
    setListBackground(true);
    m_viewMode = kThumbnails;
    Q_EMIT thumbnailsModeEntered();
    // Thumbnails made for these rows, or being made, are kept.
    if (m_thumbnailsMade || m_thumbnailWorker.isRunning())
        return;
    stopThumbnails();
    m_thumbnailStore.clear();
    m_model.clearThumbnails();
    m_thumbnailWorker.start(m_model.folder(), m_model.thumbnailJobs(), m_generation);
    updateVisibleRows();
}

void CFileListCtrl::stopThumbnails()
{
    m_thumbnailWorker.stop();
    m_thumbnailsMade = false;
}

void CFileListCtrl::onThumbnailReady(quint64 generation, quint64 id, const QImage& picture)
{
    if (generation != m_generation)
        return;
    const int index = m_thumbnailStore.add(picture);
    if (index >= 0 && m_model.setThumbnail(id, index))
        m_thumbnailsMade = true;
}

void CFileListCtrl::onThumbnailFailed(quint64 generation, quint64 id)
{
    if (generation != m_generation)
        return;
    const int row = m_model.rowOfId(id);
    qCDebug(lcBrowser) << "no thumbnail for" << m_model.pathOf(row);
    if (const FileItem* item = m_model.entryAt(row); item && item->dropWithoutThumbnail)
        m_model.removeEntry(row);
    else
        m_model.markThumbnailFailed(id);
}

void CFileListCtrl::makeMissingThumbnails()
{
    if (m_viewMode != kThumbnails)
        return;
    std::vector<ThumbnailJob> jobs = m_model.thumbnailJobs();
    if (jobs.empty())
        return;
    // A pass under way is taken over: the new one serves its rows left too.
    m_thumbnailWorker.start(m_model.folder(), std::move(jobs), m_generation);
    updateVisibleRows();
}

template <typename Result>
void CFileListCtrl::readEntry(std::function<Result()> read, std::function<void(Result)> apply)
{
    m_entryReads.add(m_generation, [read = std::move(read), apply = std::move(apply)](const RunToken& token) {
        token.deliver([apply, result = read()]() mutable { apply(std::move(result)); });
    });
}

void CFileListCtrl::updateVisibleRows()
{
    if (m_viewMode != kThumbnails || !m_thumbnailWorker.isRunning())
        return;
    const QRect visible = listView()->viewport()->rect();
    std::vector<quint64> ids;
    // The grid is uniform: from the row at the top-left corner on, until a row lies past the end.
    QModelIndex first = listView()->indexAt(QPoint(1, 1));
    for (int row = first.isValid() ? first.row() : 0; row < m_model.entryCount(); ++row) {
        const QRect rect = listView()->visualRect(m_model.index(row, 0));
        if (rect.top() > visible.bottom() || rect.left() > visible.right() + rect.width() * 2)
            break;
        if (rect.intersects(visible))
            ids.push_back(m_model.entryAt(row)->id);
    }
    m_thumbnailWorker.setPriority(ids);
}

void CFileListCtrl::setListBackground(bool buttonFace)
{
    QPalette colours = listView()->palette();
    colours.setColor(QPalette::Base, palette().color(buttonFace ? QPalette::Button : QPalette::Base));
    listView()->setPalette(colours);
}

void CFileListCtrl::setDropHighlight(int row)
{
    if (row == m_dropRow)
        return;
    m_dropRow = row;
    listView()->viewport()->update();
    reportView()->viewport()->update();
}

QColor CFileListCtrl::bkColorForItem(int item, QStyle::State)
{
    if (item == m_dropRow)
        return palette().color(QPalette::Highlight).lighter(170);
    const FileItem* row = m_model.entryAt(item);
    return row ? CFileListModel::typeColour(*row) : QColor();
}

bool CFileListCtrl::onDrawItem(QPainter* painter, int item, const QRect& rect, QStyle::State state)
{
    const FileItem* row = m_model.entryAt(item);
    if (m_viewMode != kThumbnails || !row)
        return false;
    const bool selected = state & QStyle::State_Selected;
    thumbnailcell::Row cell;
    cell.name = row->name;
    cell.labelColour = CFileListModel::typeColour(*row);
    cell.selected = selected;
    cell.drawPicture = [&](QPainter* p, const QRect& iconCell) {
        // A cut row's picture is dimmed, as its icon is in the other modes.
        p->save();
        if (row->cut)
            p->setOpacity(0.4);
        if (row->thumbnailIndex < 0 ||
            !m_thumbnailStore.draw(p, thumbnailcell::centred(iconCell, thumbnailcell::kThumbnailSize),
                                   row->thumbnailIndex)) {
            const QPoint at = thumbnailcell::centred(iconCell, thumbnailcell::kIconSize);
            m_shellList.drawIcon(p, m_model.iconIndex(item), at.x(), at.y(),
                                 selected ? CShellList::DrawStyle::Selected : CShellList::DrawStyle::Normal);
        }
        p->restore();
    };
    painter->setPen(palette().color(QPalette::Text));
    thumbnailcell::draw(painter, thumbnailcell::layout(rect, painter->fontMetrics()), cell);
    return true;
}

// ---- rows -------------------------------------------------------------------------------------

int CFileListCtrl::focusedIndex(bool preferFocus) const
{
    if (!selectionModel() || !selectionModel()->hasSelection())
        return -1;
    const QModelIndex current = selectionModel()->currentIndex();
    if (preferFocus && current.isValid())
        return current.row();
    const QModelIndexList rows = selectionModel()->selectedRows();
    int first = m_model.entryCount();
    for (const QModelIndex& index : rows)
        first = std::min(first, index.row());
    return first < m_model.entryCount() ? first : -1;
}

bool CFileListCtrl::hasSelectedEntries() const
{
    if (!selectionModel())
        return false;
    // Ranges, not rows: a selection of thousands is a handful of ranges.
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const FileItem* item = m_model.entryAt(row);
            if (item && !item->isParent)
                return true;
        }
    }
    return false;
}

int CFileListCtrl::selectedNames(QStringList& names) const
{
    names.clear();
    if (!selectionModel())
        return 0;
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : rows) {
        const FileItem* item = m_model.entryAt(index.row());
        if (item && !item->isParent && !item->name.isEmpty())
            names.append(item->name);
    }
    return int(names.size());
}

QStringList CFileListCtrl::selectedPaths() const
{
    QStringList paths;
    selectedNames(paths);
    const QString folder = currentFolder();
    for (QString& name : paths)
        name.prepend(folder);
    return paths;
}

void CFileListCtrl::selectRow(int row)
{
    if (!selectionModel() || !m_model.entryAt(row))
        return;
    const QModelIndex index = m_model.index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    currentView()->scrollTo(index);
}

void CFileListCtrl::addFile(const QString& name, bool select)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(u'/')) {
        Q_EMIT fileAdded(name, -1);
        return;
    }
    const QString folder = m_model.folder();
    readEntry<std::optional<FileItem>>(
        [folder, name] { return fileentry::readRecord(folder, name); },
        [this, name, select](std::optional<FileItem> record) {
            int row = m_model.findByName(name);
            if (row < 0 && record) {
                record->dropWithoutThumbnail = m_viewMode == kThumbnails && record->imageFlag != 0;
                row = m_model.insertEntry(std::move(*record), m_admission);
                makeMissingThumbnails();
            }
            if (row >= 0 && select)
                selectRow(row);
            Q_EMIT fileAdded(name, row);
        });
}

int CFileListCtrl::createFolder(const QString& base)
{
    const std::optional<CShellFileOp::MadeFolder> made = CShellFileOp::CreateFolder(m_model.folder(), base);
    if (!made)
        return -1;
    FileItem folder;
    folder.name = made->name;
    folder.typeText = QStringLiteral("File folder");
    folder.isFolder = true;
    folder.modified = made->born;
    // A refresh may have listed it already.
    int row = m_model.insertEntry(std::move(folder), m_admission);
    if (row < 0)
        row = m_model.findByName(made->name);
    if (row < 0)
        return -1;
    selectRow(row);
    if (window() != this)
        appmsg::send(window(), appmsg::kRefreshTree, m_model.folder());
    // The browser view's Rename starts the editing of the new name.
    m_commands.execute(cmd::kRename);
    return row;
}

bool CFileListCtrl::fileSummary(QString* text, QString* detail)
{
    const int row = focusedIndex(false);
    const FileItem* item = m_model.entryAt(row);
    if (!item)
        return false;
    if (item->id != m_summaryId) {
        m_summaryId = item->id;
        m_summary.reset();
        m_summaryAsked = true;
        const QString path = m_model.pathOf(row);
        readEntry<std::optional<fileentry::Summary>>([path] { return fileentry::summary(path); },
                                                     [this, id = item->id](std::optional<fileentry::Summary> found) {
                                                         if (id != m_summaryId)
                                                             return;
                                                         m_summary = std::move(found);
                                                         m_summaryAsked = false;
                                                         Q_EMIT summaryChanged();
                                                     });
    }
    if (m_summaryAsked || !m_summary)
        return false;
    if (text)
        *text = m_summary->text;
    if (detail)
        *detail = m_summary->detail;
    return true;
}

void CFileListCtrl::forgetSummary()
{
    // A read still under way is for the summary forgotten here: whoever shows the summary asks
    // again, or the panes would wait for a result that is dropped.
    m_summaryId = 0;
    Q_EMIT summaryChanged();
}

void CFileListCtrl::scanEntry(int row)
{
    const FileItem* item = m_model.entryAt(row);
    if (!item || item->isParent || item->imageProperties)
        return;
    readEntry<fileentry::RowScan>(
        [folder = m_model.folder(), name = item->name, id = item->id, isFolder = item->isFolder] {
            return fileentry::scanRow(folder, name, id, isFolder);
        },
        [this](fileentry::RowScan scan) {
            if (m_model.applyRowScan(scan))
                forgetSummary();
        });
}

bool CFileListCtrl::openRow(int row)
{
    const FileItem* item = m_model.entryAt(row);
    if (!item || !item->isFolder)
        return false;
    SetFolder(item->isParent ? parentFolder(m_model.folder()) : m_model.pathOf(row), true);
    return true;
}

// ---- events -----------------------------------------------------------------------------------

bool CFileListCtrl::event(QEvent* event)
{
    if (appmsg::as(event, appmsg::kRefreshFolder)) {
        refresh();
        return true;
    }
    // Sent by the application when the viewer hands the browser back, the path names a file,
    // whose folder is shown.
    if (const appmsg::Message* message = appmsg::as(event, appmsg::kSelectFolder)) {
        QString folder = message->path;
        QString name;
        if (message->kind == appmsg::kFolderOfFile) {
            const qsizetype slash = folder.lastIndexOf(u'/');
            name = folder.mid(slash + 1);
            folder = folder.left(slash + 1);
        }
        SetFolder(folder, !name.isEmpty() || message->kind == appmsg::kFolderTyped);
        // The picture the viewer showed last is the row to be on, not the first one.
        m_selectName = name;
        return true;
    }
    return CListCtrlEx::event(event);
}

bool CFileListCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == listView()->viewport())
        updateVisibleRows();
    if (isViewKeyPress(watched, event) && handleViewKey(static_cast<QKeyEvent*>(event)))
        return true;
    return CListCtrlEx::eventFilter(watched, event);
}

bool CFileListCtrl::handleViewKey(QKeyEvent* event)
{
    if (event->modifiers() != Qt::NoModifier && event->modifiers() != Qt::KeypadModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_Backspace:
        if (m_model.hasParentEntry())
            SetFolder(parentFolder(m_model.folder()), true);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return openRow(focusedIndex(true));
    default:
        return false;
    }
}
