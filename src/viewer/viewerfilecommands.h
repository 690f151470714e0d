#pragma once
// ViewerFileCommands: the viewer's commands on the shown file, done by the file operation engine:
// Copy To and Move To (in the background, the viewer usable meanwhile), Delete (to the trash),
// Rename, Describe, Save As (the picture in memory, turned and cut to the selection) and Export (the file
// on disk, converted), and the files dropped on the picture. Once a command is done, the
// controller's list follows what it changed in the shown folder: a file that left goes from it
// (the viewer moving on), a renamed one carries its new name, a new one joins it.
//
// Dialogs and message boxes open over `window`, which owns this object. UI thread only.

#include <QObject>
#include <QStringList>

#include "fileops/transferjob.h"

class CCommandTarget;
class CViewerController;
class QWidget;

class ViewerFileCommands : public QObject {
    Q_OBJECT
public:
    // Registers the commands with `target`; `viewer` must outlive this object.
    ViewerFileCommands(CViewerController& viewer, QWidget* window, CCommandTarget& target);

    // Files (full paths) dropped on the picture: those the image library reads. From another
    // folder they are copied into the shown one first; then they join the list and the first is
    // shown. With no folder shown, the first is opened.
    void dropFiles(const QStringList& paths);

private:
    void transfer(TransferRequest::Kind kind);
    void deleteShown();
    void renameShown();
    void saveAs(bool fromViewer);

    CViewerController& m_viewer;
    QWidget* m_window;
};
