#pragma once
// ViewerClipboard: the viewer's clipboard commands. Cut File puts the shown file on the clipboard
// for a move and lets the viewer go on without it (next picture, or "No images"); Copy Image puts
// the file for a copy together with the picture as shown; Paste copies or moves the clipboard's
// files into the shown folder, where they join the list and the first is shown. Any program may
// paste what is put there and put what is pasted. UI thread only.

#include <QObject>

#include "platform/cclipboardview.h"

class CCommandTarget;
class CViewerController;
class QWidget;

class ViewerClipboard : public QObject {
    Q_OBJECT
public:
    // Registers the commands with `target`; `viewer` must outlive this object, which `window`
    // owns and which parents the progress windows.
    ViewerClipboard(CViewerController& viewer, QWidget* window, CCommandTarget& target);

private:
    void cutFile();
    void copyImage();
    void paste();

    CViewerController& m_viewer;
    QWidget* m_window;
    CClipboardView m_clipboard;
};
