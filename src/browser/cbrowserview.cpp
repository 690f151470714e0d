#include "browser/cbrowserview.h"

#include <array>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QItemSelection>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTableView>
#include <QVBoxLayout>

#include "browser/browserclipboard.h"
#include "browser/browsercrypt.h"
#include "browser/browsererase.h"
#include "browser/browserfileops.h"
#include "browser/cfilelistctrl.h"
#include "browser/filelistdragdrop.h"
#include "core/apphost.h"
#include "core/messages.h"
#include "fileops/cdescribedlg.h"
#include "fileops/cfileinfodlg.h"
#include "fileops/copenwithdlg.h"
#include "fileops/cshellfileop.h"
#include "fileops/descriptionfile.h"
#include "imagelib/cbmpex.h"
#include "platform/desktopservices.h"
#include "settings/cappsettings.h"
#include "settings/storedstate.h"

namespace {

QString extensionOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString lowerExtension(const QString& name)
{
    return extensionOf(name).toLower();
}

// Clips are known by their extension exactly as written: "MP3" is not one.
bool isMediaExtension(const QString& extension)
{
    static const QStringList media = {QStringLiteral("mp3"),  QStringLiteral("wav"), QStringLiteral("mid"),
                                      QStringLiteral("midi"), QStringLiteral("avi"), QStringLiteral("mov"),
                                      QStringLiteral("asf"),  QStringLiteral("mpg"), QStringLiteral("vid")};
    return media.contains(extension);
}

// The list's two views: the icon and list styles' and the report style's.
std::array<QAbstractItemView*, 2> viewsOf(const CFileListCtrl* list)
{
    return {list->listView(), list->reportView()};
}

// Keys whose action is a command of the chain: Delete, Ctrl+C/X/V, Shift+S. 0 for other keys.
int commandOfKey(const QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier && event->key() == Qt::Key_Delete)
        return cmd::kDelete;
    if (modifiers == Qt::ShiftModifier && event->key() == Qt::Key_S)
        return cmd::kSlideShow;
    if (modifiers != Qt::ControlModifier)
        return 0;
    switch (event->key()) {
    case Qt::Key_C:
        return cmd::kCopy;
    case Qt::Key_X:
        return cmd::kCut;
    case Qt::Key_V:
        return cmd::kPaste;
    default:
        return 0;
    }
}

} // namespace

CBrowserView::CBrowserView(AppHost* host, CAppSettings& options, QWidget* parent)
    : QWidget(parent), m_host(host), m_options(options), m_picture(std::make_unique<CBmpEx>()),
      m_list(new CFileListCtrl(this)), m_fileOps(new BrowserFileOps(m_list, host, this)),
      m_clipboard(new BrowserClipboard(m_list, host, m_fileOps, this)), m_crypt(new BrowserCrypt(m_list, this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_list);
    setFocusProxy(m_list);

    m_list->commands().setNext(&m_commands);
    registerCommands();
    m_fileOps->registerOn(m_commands);
    m_clipboard->registerOn(m_commands);
    (new BrowserErase(m_list, m_fileOps, this))->registerOn(m_commands);
    m_crypt->registerOn(m_commands);
    for (QAbstractItemView* view : viewsOf(m_list))
        new FileListDragDrop(m_list, view, m_fileOps, this);

    // Filters installed after the list's run first: keys and double clicks reach the view before
    // the list's own handling.
    for (QAbstractItemView* view : viewsOf(m_list)) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        connect(view, &QAbstractItemView::clicked, this, [this] { previewRow(m_list->focusedIndex(true)); });
    }
    connect(m_list, &CFileListCtrl::fileSelected, this, &CBrowserView::previewRow);
    // A file an operation wrote comes selected: the preview follows it.
    connect(m_list, &CFileListCtrl::fileAdded, this, [this](const QString&, int row) {
        if (row >= 0 && row == m_list->focusedIndex(true))
            previewRow(row);
    });
    // The rename runs once the editor has closed: its message box must not open inside the commit.
    connect(&m_list->rows(), &CFileListModel::renameRequested, this, [this](int row, const QString& name) {
        const FileItem* item = m_list->rows().entryAt(row);
        if (!item)
            return;
        const quint64 id = item->id;
        const quint64 generation = m_list->generation();
        QMetaObject::invokeMethod(
            this,
            [this, id, generation, name] {
                if (generation == m_list->generation())
                    renameRow(m_list->rows().rowOfId(id), name);
            },
            Qt::QueuedConnection);
    });
}

CBrowserView::~CBrowserView()
{
    // The list's handlers and its next link point into this object: the list goes first, and
    // its views stop reporting here before they are taken apart.
    for (QAbstractItemView* view : viewsOf(m_list)) {
        view->removeEventFilter(this);
        view->viewport()->removeEventFilter(this);
    }
    delete m_list;
}

CCommandTarget& CBrowserView::chainHead()
{
    return m_list->commands();
}

void CBrowserView::registerCommands()
{
    const auto hasFocusedRow = [this] { return m_list->focusedIndex(true) >= 0; };
    const auto hasFocusedFile = [this] {
        const FileItem* item = m_list->rows().entryAt(m_list->focusedIndex(true));
        return item && !item->isFolder;
    };
    // The list opens folders on its own; files belong here, so the view takes both commands over.
    for (int id : {int(cmd::kListView), int(cmd::kListOpen)})
        m_list->commands().on(
            id, [this] { openFocusedRow(); }, hasFocusedRow);
    m_list->commands().on(
        cmd::kListShellOpen, [this] { CShellFileOp(this).ExecuteVerb(focusedPath(), true); }, hasFocusedFile);
    m_list->commands().on(
        cmd::kListEditWith, [this] { editFocusedWith(); }, hasFocusedFile);
    m_commands.on(cmd::kSelectAll, [this] { selectAll(); });
    m_commands.on(
        cmd::kSlideShow, [this] { openRow(m_list->focusedIndex(false), true); }, hasFocusedRow);
    m_commands.on(
        cmd::kRename, [this] { startRename(); },
        [this] {
            const FileItem* item = m_list->rows().entryAt(m_list->focusedIndex(true));
            return item && !item->isParent;
        });
    m_commands.on(
        cmd::kDescribe, [this] { describeFocused(); }, hasFocusedFile);
    m_commands.on(
        cmd::kInfo, [this] { showInfoOfFocused(); }, hasFocusedFile);
    m_commands.on(
        cmd::kCopyImage, [this] { copyImage(); }, hasFocusedFile);
    // The viewer shows the selected picture, then prints it or opens the printer set-up.
    const auto selectedIsPicture = [this] {
        const FileItem* item = m_list->rows().entryAt(m_list->focusedIndex(false));
        return m_host && item && item->imageFlag != 0;
    };
    m_commands.on(
        cmd::kFilePrint, [this] { switchWithSelectedPicture(appmsg::kSwitchPrint); }, selectedIsPicture);
    m_commands.on(
        cmd::kListPrintSetup, [this] { switchWithSelectedPicture(appmsg::kSwitchPrintSetup); }, selectedIsPicture);
}

// The viewer shows the current image: the picture goes there first, whether or not the preview
// has already read it.
void CBrowserView::switchWithSelectedPicture(appmsg::SwitchRequest request)
{
    if (m_host->currentImage().Load(m_list->rows().pathOf(m_list->focusedIndex(false))))
        m_host->requestSwitch(request);
}

void CBrowserView::firstUpdate(bool startedOnFile)
{
    if (m_firstUpdateDone)
        return;
    m_firstUpdateDone = true;
    m_list->createColumns();
    m_list->applyOptions(m_options);
    // Options saved as a whole later (the Options dialog) reach the list at once; the View
    // menu's toggles in the record are those of the start, not what the user chose since.
    connect(&m_options, &CAppSettings::changed, m_list, [this] { m_list->applyDisplayOptions(m_options); });
    // The view mode and the sort apply after a start on a file too: they are written back when
    // the program ends, and a run spent in the viewer must not lose them.
    const storedstate::BrowserStartState state = storedstate::readBrowserStartState();
    if (state.listViewMode >= CFileListCtrl::kThumbnails && state.listViewMode <= CFileListCtrl::kDetails)
        chainHead().execute(cmd::kViewThumbnails + state.listViewMode);
    m_list->sortBy(state.sortedCol);
    m_list->setDirection(state.ascending != 0);
    if (!startedOnFile)
        m_list->SetFolder(state.lastFolder, true);
}

bool CBrowserView::openFocusedRow()
{
    return openRow(m_list->focusedIndex(false), false);
}

bool CBrowserView::openRow(int row, bool slideShow)
{
    const FileItem* item = m_list->rows().entryAt(row);
    if (!item)
        return false;
    // ".." goes to the parent folder, "/" being the last one.
    if (item->isFolder)
        return m_list->openRow(row);
    return openFile(row, slideShow);
}

bool CBrowserView::openFile(int row, bool slideShow)
{
    const QString path = m_list->rows().pathOf(row);
    const FileItem* item = m_list->rows().entryAt(row);
    if (m_host && (item->imageFlag != 0 || m_picture->canOpen(path))) {
        Q_EMIT previewRequested(QString(), kPreviewNone);
        // The viewer reads the picture off the UI thread and shows a preview of a large one
        // first; one it cannot read it shows all the same, saying why. It reads the request when
        // it comes to the front.
        m_pictureToRead = path;
        m_slideShowRequest = slideShow;
        m_host->requestSwitch(appmsg::kSwitchShow);
        return true;
    }
    const QString extension = lowerExtension(item->name);
    // Opening an encrypted file decrypts the selection.
    if (extension == QLatin1String("pxf") || extension == QLatin1String("mpxf")) {
        m_crypt->decryptSelection();
        return true;
    }
    const auto noProgram = [this, path] {
        QMessageBox::information(this, QStringLiteral("Zelt Pixoria"),
                                 tr("No program is set to open %1.").arg(QDir::toNativeSeparators(path)));
    };
    return platform::openDocument(path, this, noProgram);
}

void CBrowserView::selectAll()
{
    CFileListModel& rows = m_list->rows();
    QItemSelectionModel* selection = m_list->selectionModel();
    const int count = rows.entryCount();
    if (!selection || count == 0)
        return;
    const QModelIndex first = rows.index(0, 0);
    const QModelIndex last = rows.index(count - 1, 0);
    selection->select(QItemSelection(first, last), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selection->setCurrentIndex(rows.index(count > 1 ? 1 : 0, 0), QItemSelectionModel::NoUpdate);
    if (rows.entryAt(0)->isParent)
        selection->select(first, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    m_list->currentView()->setFocus(Qt::OtherFocusReason);
}

void CBrowserView::startRename()
{
    const int row = m_list->focusedIndex(true);
    const FileItem* item = m_list->rows().entryAt(row);
    if (!item || item->isParent)
        return;
    m_list->editLabel(row);
}

bool CBrowserView::renameRow(int row, const QString& newName)
{
    CFileListModel& rows = m_list->rows();
    const FileItem* item = rows.entryAt(row);
    if (!item || item->isParent)
        return false;
    const bool isFolder = item->isFolder;
    QString error;
    if (!CShellFileOp::RenameItem(rows.pathOf(row), newName, m_host ? &m_host->currentImage() : nullptr, &error)) {
        QMessageBox::warning(this, tr("Rename"), error);
        return false;
    }
    rows.setEntryField(row, CFileListModel::kFieldName, newName);
    if (isFolder && window() != this)
        appmsg::send(window(), appmsg::kRefreshTree, rows.folder());
    // The preview showed the file under its old name, which is gone.
    if (row == m_list->focusedIndex(true))
        previewRow(row);
    return true;
}

QString CBrowserView::focusedName() const
{
    const FileItem* item = m_list->rows().entryAt(m_list->focusedIndex(true));
    return item ? item->name : QString();
}

QString CBrowserView::focusedPath() const
{
    return m_list->rows().pathOf(m_list->focusedIndex(true));
}

void CBrowserView::editFocusedWith()
{
    const QString path = focusedPath();
    COpenWithDlg dialog(tr("Edit with..."),
                        tr("Click the program you want to use to open '%1'.\n If program is not in the list, click Other.")
                            .arg(QFileInfo(path).fileName()),
                        path, this);
    if (dialog.exec() != QDialog::Accepted)
        CShellFileOp(this).ExecuteVerb(path, false);
}

void CBrowserView::previewRow(int row)
{
    CFileListModel& rows = m_list->rows();
    const FileItem* item = rows.entryAt(row);
    if (!item) {
        Q_EMIT previewRequested(QString(), kPreviewNone);
        return;
    }
    if (m_options.DontScanHeaders)
        m_list->scanEntry(row);
    const QString path = rows.pathOf(row);
    if (!item->isFolder && m_picture->canOpen(path))
        Q_EMIT previewRequested(path, kPreviewPicture);
    else if (!item->isFolder && isMediaExtension(extensionOf(item->name)))
        Q_EMIT previewRequested(path, kPreviewMedia);
    else
        Q_EMIT previewRequested(QString(), kPreviewNone);
}

void CBrowserView::describeFocused()
{
    const int row = m_list->focusedIndex(true);
    const FileItem* item = m_list->rows().entryAt(row);
    if (!item || item->isFolder)
        return;
    const quint64 id = item->id;
    const QString name = item->name;
    const QString folder = m_list->rows().folder();
    CDescribeDlg dialog(name, folder, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The rows may have changed while the dialog was open.
    const int current = m_list->rows().rowOfId(id);
    if (current >= 0)
        m_list->rows().setEntryField(current, CFileListModel::kFieldDescription,
                                     DescriptionFile::lookUp(name, folder).value_or(QString()));
}

void CBrowserView::showInfoOfFocused()
{
    const FileItem* item = m_list->rows().entryAt(m_list->focusedIndex(true));
    if (!item || item->isFolder)
        return;
    CFileInfoDlg dialog(item->name, m_list->rows().folder(), this);
    if (dialog.load())
        dialog.exec();
}

void CBrowserView::copyImage()
{
    const int row = m_list->focusedIndex(true);
    const FileItem* item = m_list->rows().entryAt(row);
    if (!item || item->isFolder || !m_picture->Load(m_list->rows().pathOf(row)))
        return;
    const QImage image = m_picture->opaqueImage(Qt::black);
    m_picture->Clear();
    if (!image.isNull())
        QApplication::clipboard()->setImage(image);
}

bool CBrowserView::event(QEvent* event)
{
    // The list knows the kinds of "SelectFolder" and how to refresh itself.
    if (appmsg::as(event, appmsg::kSelectFolder) || appmsg::as(event, appmsg::kRefreshFolder))
        return QCoreApplication::sendEvent(m_list, event);
    return QWidget::event(event);
}

bool CBrowserView::eventFilter(QObject* watched, QEvent* event)
{
    const bool isView = watched == m_list->listView() || watched == m_list->reportView();
    switch (event->type()) {
    case QEvent::KeyPress:
        if (m_list->isViewKeyPress(watched, event))
            return handleKeyPress(watched, static_cast<QKeyEvent*>(event));
        break;
    case QEvent::KeyRelease:
        if (isView)
            handleKeyRelease(static_cast<QKeyEvent*>(event));
        break;
    case QEvent::MouseButtonDblClick:
        if (!isView && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            handleDoubleClick(static_cast<QMouseEvent*>(event)->position().toPoint(), static_cast<QWidget*>(watched));
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool CBrowserView::handleKeyPress(QObject* view, QKeyEvent* event)
{
    if (m_inKeyPress)
        return false;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        openFocusedRow();
        return true;
    }
    if (modifiers == Qt::NoModifier && event->key() == Qt::Key_F2) {
        chainHead().execute(cmd::kRename);
        return true;
    }
    // The view's own select-all would take ".." along.
    if (event->matches(QKeySequence::SelectAll)) {
        chainHead().execute(cmd::kSelectAll);
        return true;
    }
    if (const int id = commandOfKey(event)) {
        chainHead().execute(id);
        return true;
    }
    // The list moves the focus (or types ahead) first; then a single press previews at once,
    // while a held key previews only the row where it stops, on the key's release.
    const QString before = focusedName();
    m_inKeyPress = true;
    QCoreApplication::sendEvent(view, event);
    m_inKeyPress = false;
    const QString after = focusedName();
    if (after == before) {
        m_previewPending = !m_keyReleased;
    } else if (m_keyReleased) {
        m_keyReleased = false;
        m_previewPending = false;
        previewRow(m_list->focusedIndex(true));
    } else {
        m_previewPending = true;
    }
    return true;
}

void CBrowserView::handleKeyRelease(const QKeyEvent* event)
{
    // A held key sends releases between its repeats; only the last one ends the move.
    if (event->isAutoRepeat())
        return;
    m_keyReleased = true;
    if (m_previewPending) {
        m_previewPending = false;
        previewRow(m_list->focusedIndex(true));
    }
}

void CBrowserView::handleDoubleClick(const QPoint& viewportPos, QWidget* viewport)
{
    int column = -1;
    if (m_list->hitTestEx(viewport->mapTo(m_list, viewportPos), &column) < 0)
        return;
    // Folders and ".." are opened by the list itself. A file opens once the view has had the
    // double click, which ends the delayed name editing that the first click on a selected row
    // started: opening may show a dialog (a password, a description), and inside its loop that
    // editing would still start on the row behind it.
    QMetaObject::invokeMethod(this, [this, column] { openDoubleClicked(column); }, Qt::QueuedConnection);
}

void CBrowserView::openDoubleClicked(int column)
{
    const int row = m_list->focusedIndex(false);
    const FileItem* item = m_list->rows().entryAt(row);
    if (!item || item->isFolder)
        return;
    if (column == CFileListModel::kDescription && m_options.DoubleClick) {
        chainHead().execute(cmd::kDescribe);
        return;
    }
    if (m_options.DontScanHeaders)
        m_list->scanEntry(row);
    openFile(row, false);
}
