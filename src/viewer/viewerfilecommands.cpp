#include "viewer/viewerfilecommands.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

#include "core/commands.h"
#include "fileops/cdescribedlg.h"
#include "fileops/crenamedlg.h"
#include "fileops/cshellfileop.h"
#include "imagelib/cbmpex.h"
#include "platform/filemime.h"
#include "viewer/cviewercontroller.h"
#include "viewer/picturesource.h"

namespace {

// Whether the item `name` of a move is in the destination, whole: listed as new, or the
// destination's file of that name was replaced and the source is gone.
bool arrived(const TransferResult& result, const QString& source, const QString& name)
{
    const QFileInfo left(source);
    return result.newNames.contains(name) || (result.code == 0 && !left.exists() && !left.isSymLink());
}

} // namespace

ViewerFileCommands::ViewerFileCommands(CViewerController& viewer, QWidget* window, CCommandTarget& target)
    : QObject(window), m_viewer(viewer), m_window(window)
{
    // A file that cannot be read may still be copied, moved, deleted or renamed.
    const auto placed = [this] { return m_viewer.showsFile(); };
    target.on(
        cmd::kViewerCopyTo, [this] { transfer(TransferRequest::Kind::Copy); }, placed);
    target.on(
        cmd::kViewerMoveTo, [this] { transfer(TransferRequest::Kind::Move); }, placed);
    target.on(
        cmd::kViewerDelete, [this] { deleteShown(); }, placed);
    target.on(
        cmd::kViewerRename, [this] { renameShown(); }, placed);
    target.on(
        cmd::kViewerDescribe, [this] { CDescribeDlg(m_viewer.fileName(), m_viewer.folder(), m_window).exec(); }, placed);
    // Saving needs a picture the library read.
    const auto shown = [this] { return m_viewer.hasPicture(); };
    target.on(
        cmd::kSaveAs, [this] { saveAs(true); }, shown);
    target.on(
        cmd::kExport, [this] { saveAs(false); }, shown);
}

void ViewerFileCommands::transfer(TransferRequest::Kind kind)
{
    const bool move = kind == TransferRequest::Kind::Move;
    const QString folder = m_viewer.folder();
    const QString name = m_viewer.fileName();
    // Not handed the current image: the picture is held decoded, no file open, and it stays
    // shown while its file moves, and after a move that did not take it.
    CShellFileOp engine(m_window);
    QString destination;
    FileTransfer* run = engine.TransferTo(kind, {name}, folder, &destination);
    if (!run)
        return;
    connect(run, &FileTransfer::finished, this, [this, move, folder, name, destination](const TransferResult& result) {
        if (move && arrived(result, folder + name, name))
            m_viewer.FileRemoved(folder, name);
        else if (!move)
            m_viewer.FilesAdded(destination, result.newNames, false);
    });
}

void ViewerFileCommands::deleteShown()
{
    const QString folder = m_viewer.folder();
    const QString name = m_viewer.fileName();
    CShellFileOp engine(m_window, {}, &m_viewer.picture());
    if (engine.DeleteItems({folder + name}) == 0)
        m_viewer.FileRemoved(folder, name);
}

void ViewerFileCommands::renameShown()
{
    const QString folder = m_viewer.folder();
    const QString name = m_viewer.fileName();
    CRenameDlg dialog(name, m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The dialog judged the name without the blanks around it.
    const QString newName = dialog.newName().trimmed();
    QString error;
    if (CShellFileOp::RenameItem(folder + name, newName, &m_viewer.picture(), &error)) {
        m_viewer.FileRenamed(folder, name, newName);
        return;
    }
    QMessageBox::warning(m_window, tr("Rename"), error);
    // The picture was read again from its file.
    m_viewer.commandTarget().execute(cmd::kViewerRefresh);
}

void ViewerFileCommands::saveAs(bool fromViewer)
{
    const QString folder = m_viewer.folder();
    CShellFileOp engine(m_window);
    QString written;
    // Export converts the file on disk, so that the picture shown keeps its turns.
    const bool saved = fromViewer ? engine.SaveImageAs(m_viewer.picture(), true,
                                                       [this] { return m_viewer.CutToSelection(); }, &written)
                                  : engine.SaveFileAs(folder + m_viewer.fileName(), &written);
    if (!saved)
        return;
    if (PictureSource::folderOf(written) == folder)
        m_viewer.FilesAdded(folder, {QFileInfo(written).fileName()}, true);
    else
        m_viewer.ShowFile(written);
}

void ViewerFileCommands::dropFiles(const QStringList& paths)
{
    CBmpEx probe;
    QStringList readable;
    for (const QString& path : paths) {
        if (QFileInfo(path).isFile() && probe.canOpen(path))
            readable << path;
    }
    if (readable.isEmpty())
        return;
    const QString shownFolder = m_viewer.folder();
    if (shownFolder.isEmpty()) {
        m_viewer.ShowFile(readable.first());
        return;
    }
    // One transfer per folder they come from, in the order dropped.
    bool first = true;
    for (const auto& [folder, names] : filemime::byFolder(readable)) {
        if (folder == shownFolder) {
            m_viewer.FilesAdded(shownFolder, names, first);
        } else {
            FileTransfer* run = CShellFileOp(m_window).CopyItems(names, folder, shownFolder);
            connect(run, &FileTransfer::finished, this, [this, shownFolder, first](const TransferResult& result) {
                m_viewer.FilesAdded(shownFolder, result.newNames, first);
            });
        }
        first = false;
    }
}
