#include "browser/cdraghelper.h"

#include <QDrag>
#include <QWidget>

#include "platform/filemime.h"

Qt::DropAction CDragHelper::run(QWidget* source, const QStringList& paths, const QPixmap& image)
{
    auto* drag = new QDrag(source);
    // No effect of ours in the data: the target chooses by the keys held.
    drag->setMimeData(filemime::makeFileData(paths, filemime::DropEffect::None));
    if (!image.isNull()) {
        drag->setPixmap(image);
        drag->setHotSpot(QPoint(image.width() / 2, image.height() / 2));
    }
    return drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::MoveAction);
}
