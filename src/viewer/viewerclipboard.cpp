#include "viewer/viewerclipboard.h"

#include <QImage>
#include <QWidget>

#include "core/commands.h"
#include "fileops/filehandover.h"
#include "imagelib/cbmpex.h"
#include "viewer/cviewercontroller.h"

ViewerClipboard::ViewerClipboard(CViewerController& viewer, QWidget* window, CCommandTarget& target)
    : QObject(window), m_viewer(viewer), m_window(window)
{
    target.on(
        cmd::kCutFile, [this] { cutFile(); }, [this] { return m_viewer.showsFile(); });
    target.on(
        cmd::kViewerCopyImage, [this] { copyImage(); }, [this] { return m_viewer.hasPicture(); });
    target.on(
        cmd::kViewerPaste, [this] { paste(); }, [this] { return m_viewer.showsFile() && m_clipboard.canPaste(); });
}

void ViewerClipboard::cutFile()
{
    const QString folder = m_viewer.folder();
    const QString name = m_viewer.fileName();
    if (m_clipboard.PutFiles({folder + name}, filemime::DropEffect::Move))
        m_viewer.FileRemoved(folder, name);
}

void ViewerClipboard::copyImage()
{
    const QImage shown = m_viewer.picture().opaqueImage(Qt::black);
    m_clipboard.PutFiles({m_viewer.folder() + m_viewer.fileName()}, filemime::DropEffect::Copy, &shown);
}

void ViewerClipboard::paste()
{
    const QString folder = m_viewer.folder();
    // Not handed the current image: the picture is held decoded, no file open.
    FileHandover* handover = FileHandover::paste(m_clipboard, folder, m_window);
    if (handover)
        connect(handover, &FileHandover::finished, this,
                [this, folder](const QStringList& newNames) { m_viewer.FilesAdded(folder, newNames, true); });
}
