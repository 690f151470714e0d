#pragma once
// Files dragged onto a viewport and dropped there, as the system delivers it: enter, move, drop.

#include <memory>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>

#include "platform/filemime.h"

// Whether the viewport took the drop of `paths` at `at`, with `modifiers` held, from a source
// that offers `actions`.
inline bool dropFiles(QWidget* viewport, QPoint at, const QStringList& paths, Qt::KeyboardModifiers modifiers,
                      Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction)
{
    const std::unique_ptr<QMimeData> data(filemime::makeFileData(paths, filemime::DropEffect::None));
    QDragEnterEvent enter(at, actions, data.get(), Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(at, actions, data.get(), Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(QPointF(at), actions, data.get(), Qt::LeftButton, modifiers);
    QApplication::sendEvent(viewport, &drop);
    return drop.isAccepted();
}
