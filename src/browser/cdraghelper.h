#pragma once
// CDragHelper: the drag source of the browser's list and tree. It offers full paths in the
// desktop's file formats, with a picture of what is dragged under the cursor, and runs the drag
// until it is dropped somewhere (here, on another program, nowhere). UI thread only.

#include <QPixmap>
#include <QStringList>

class QWidget;

class CDragHelper {
public:
    // Drags `paths` from `source` for a copy, a move or a link; the target picks. Returns the
    // action the target took (Qt::IgnoreAction when it was dropped nowhere).
    static Qt::DropAction run(QWidget* source, const QStringList& paths, const QPixmap& image);
};
