#include "browser/cdragdrop.h"

#include <algorithm>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QWidget>

#include "browser/cdraghelper.h"
#include "fileops/filehandover.h"
#include "platform/filemime.h"

namespace {

// Whether dropping `paths` into `folder` would put a folder into itself or below itself.
bool intoItself(const QStringList& paths, const QString& folder)
{
    return std::any_of(paths.begin(), paths.end(),
                       [&folder](const QString& path) { return folder.startsWith(QDir::cleanPath(path) + u'/'); });
}

// Ctrl copies, otherwise the files move; a source that offers no move gets a copy.
Qt::DropAction actionOf(const QDropEvent* event)
{
    const Qt::DropAction wanted = event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction;
    if (event->possibleActions() & wanted)
        return wanted;
    return event->possibleActions() & Qt::CopyAction ? Qt::CopyAction : Qt::IgnoreAction;
}

} // namespace

CDragDrop::CDragDrop(QWidget* viewport, QWidget* owner) : QObject(owner), m_viewport(viewport), m_owner(owner)
{
    viewport->setAcceptDrops(true);
    viewport->installEventFilter(this);
}

bool CDragDrop::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_viewport)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        m_pressAt = mouse->position().toPoint();
        m_pressPaths = mouse->button() == Qt::LeftButton ? dragPaths(m_pressAt) : QStringList();
        return false;
    }
    case QEvent::MouseMove: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_pressPaths.isEmpty() || !(mouse->buttons() & Qt::LeftButton) ||
            (mouse->position().toPoint() - m_pressAt).manhattanLength() < QApplication::startDragDistance())
            return false;
        startDrag();
        return true;
    }
    case QEvent::MouseButtonRelease:
        m_pressPaths.clear();
        return false;
    case QEvent::DragEnter:
        // Taken whenever it carries files, so that the moves over the viewport follow.
        if (filemime::filesOf(static_cast<QDropEvent*>(event)->mimeData()).isEmpty())
            return false;
        dragOver(static_cast<QDropEvent*>(event));
        event->accept();
        return true;
    case QEvent::DragMove:
        return dragOver(static_cast<QDropEvent*>(event));
    case QEvent::DragLeave:
        highlight({}, false);
        return true;
    case QEvent::Drop: {
        const bool taken = dragOver(static_cast<QDropEvent*>(event)) && event->isAccepted();
        highlight({}, false);
        if (taken)
            drop(static_cast<QDropEvent*>(event));
        return true;
    }
    default:
        return false;
    }
}

bool CDragDrop::dragOver(QDropEvent* event)
{
    const QStringList paths = filemime::filesOf(event->mimeData());
    if (paths.isEmpty())
        return false;
    const QPoint pos = event->position().toPoint();
    const QString folder = folderAt(pos);
    const Qt::DropAction action = actionOf(event);
    if (folder.isEmpty() || intoItself(paths, folder) || action == Qt::IgnoreAction) {
        highlight(pos, false);
        event->ignore();
        return true;
    }
    highlight(pos, true);
    event->setDropAction(action);
    event->accept();
    return true;
}

void CDragDrop::drop(QDropEvent* event)
{
    const QStringList paths = filemime::filesOf(event->mimeData());
    const QString folder = folderAt(event->position().toPoint());
    const filemime::DropEffect effect =
        event->dropAction() == Qt::CopyAction ? filemime::DropEffect::Copy : filemime::DropEffect::Move;
    QMetaObject::invokeMethod(
        this,
        [this, paths, folder, effect] {
            FileHandover* handover = FileHandover::start(paths, effect, folder, m_owner);
            if (!handover)
                return;
            connect(handover, &FileHandover::finished, this,
                    [this](const QStringList&, const QStringList& folders) { afterDrop(folders); });
        },
        Qt::QueuedConnection);
}

void CDragDrop::startDrag()
{
    const QStringList paths = m_pressPaths;
    m_pressPaths.clear();
    // The target may have taken the files away (another program's move): the view follows.
    if (CDragHelper::run(m_viewport, paths, dragImage(m_pressAt)) != Qt::IgnoreAction) {
        QStringList folders;
        for (const QString& path : paths)
            folders << filemime::folderOf(QDir::cleanPath(path));
        folders.removeDuplicates();
        afterDrop(folders);
    }
}
