#include "browser/browserfileops.h"

#include <QFileInfo>
#include <QWidget>

#include "browser/cfilelistctrl.h"
#include "browser/cfilelistmodel.h"
#include "browser/fileitem.h"
#include "core/apphost.h"
#include "core/commands.h"
#include "fileops/cshellfileop.h"
#include "fileops/filetransfer.h"
#include "imagelib/cbmpex.h"

BrowserFileOps::BrowserFileOps(CFileListCtrl* list, AppHost* host, QWidget* owner)
    : QObject(owner), m_list(list), m_host(host), m_owner(owner)
{
}

void BrowserFileOps::registerOn(CCommandTarget& commands)
{
    const auto hasSelection = [this] { return m_list->hasSelectedEntries(); };
    commands.on(
        cmd::kCopyTo, [this] { transferSelection(false); }, hasSelection);
    commands.on(
        cmd::kMoveTo, [this] { transferSelection(true); }, hasSelection);
    commands.on(
        cmd::kDelete, [this] { deleteSelection(); }, hasSelection);
    commands.on(
        cmd::kSaveAs, [this] { saveFocusedAs(); },
        [this] {
            const FileItem* item = m_list->rows().entryAt(m_list->focusedIndex(true));
            return item && item->imageFlag != 0;
        });
}

void BrowserFileOps::transferSelection(bool move)
{
    QStringList names;
    if (m_list->selectedNames(names) == 0)
        return;
    const QString source = m_list->currentFolder();
    CShellFileOp engine(m_owner, {}, m_host ? &m_host->currentImage() : nullptr);
    FileTransfer* run =
        engine.TransferTo(move ? TransferRequest::Kind::Move : TransferRequest::Kind::Copy, names, source);
    if (!run)
        return;
    // Copies into the shown folder itself are new rows; moved items leave it. Either way the list
    // follows the disk once the run is over, whatever the user did in the browser meanwhile.
    connect(run, &FileTransfer::finished, this, [this, source] { updateListIfShowing({source}); });
}

void BrowserFileOps::deleteSelection()
{
    const QStringList paths = m_list->selectedPaths();
    if (paths.isEmpty())
        return;
    const QString folder = m_list->currentFolder();
    CShellFileOp engine(m_owner, {}, m_host ? &m_host->currentImage() : nullptr);
    if (const int result = engine.DeleteItems(paths); result == 0 || result == 2)
        updateListIfShowing({folder});
    else
        Q_EMIT operationOver();
}

void BrowserFileOps::updateListIfShowing(const QStringList& folders)
{
    if (folders.contains(m_list->currentFolder()))
        m_list->refresh();
    Q_EMIT operationOver();
}

void BrowserFileOps::saveFocusedAs()
{
    const int row = m_list->focusedIndex(true);
    if (!m_list->rows().entryAt(row))
        return;
    QString written;
    if (CShellFileOp(m_owner).SaveFileAs(m_list->rows().pathOf(row), &written)) {
        const QFileInfo file(written);
        // A file written beside the others is one more row.
        if (file.absolutePath() + u'/' == m_list->currentFolder())
            m_list->addFile(file.fileName(), true);
    }
    Q_EMIT operationOver();
}
