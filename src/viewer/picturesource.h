#pragma once
// PictureSource: where the viewer's pictures come from, and which one is shown. Opened from the
// browser, the viewer walks the browser's list of its folder (the host's, not owned); opened on
// a file, it walks a list of its own of that file's folder, which a folder scan fills in the
// background. The shown picture is a folder (ending with "/") and a file name in it.
//
// UI thread only. The scan runs on a thread of its own; its result replaces the own list's rows
// and is announced by listChanged(). Stopping (stopScan(), leave(), the next own list, the
// destructor) waits for the scan's thread.

#include <QObject>
#include <QString>

#include "viewer/folderscanworker.h"
#include "viewer/ownpicturelist.h"

class PictureSource : public QObject {
    Q_OBJECT
public:
    // `statusReceiver` (may be null) gets "UpdateStatusBarMsg" after each completed scan.
    explicit PictureSource(QObject* statusReceiver, QObject* parent = nullptr);

    // The folder of the file `path`, ending with one "/".
    static QString folderOf(const QString& path);

    // The list walked: the browser's while there is one, else the own list.
    PictureList& list();
    const PictureList& list() const;
    bool walksBrowser() const { return m_browserList != nullptr; }
    QString folder() const { return m_folder; }
    QString fileName() const { return m_fileName; }
    // True when `folder` is the shown folder: its list is there already.
    bool isShownFolder(const QString& folder) const { return !m_folder.isEmpty() && folder == m_folder; }

    // The browser's list from now on; null walks the own list again.
    void setBrowserList(PictureList* list) { m_browserList = list; }
    // The browser's folder and its selected row are shown; `fallbackName` without a selected row.
    void takeBrowserSelection(const QString& fallbackName);
    // An own list of `folder` that holds nothing yet and takes `name` as the shown file; a
    // running scan stops and the browser's list is no longer walked.
    void startOwnList(const QString& folder, const QString& name);
    // Scans the shown folder for the own list.
    void scan();
    void stopScan() { m_scan.stop(); }

    // `name` of the shown folder is shown: the browser's row of that name becomes the only
    // selected one, or the own list takes it as current.
    void showName(const QString& name);
    // The list's selected row is shown (after a move).
    void followSelection();
    // A file just written into the shown folder is shown; with `listed` it joins the list first.
    void showSaved(const QString& name, bool listed);
    // The row of `name` in the list walked; -1 when it has none.
    int rowOf(const QString& name) const;
    // The file `oldName` of the shown folder is now `newName`: its row, and the shown name when
    // it was the one shown, follow.
    void renameFile(const QString& oldName, const QString& newName);
    // Nothing is shown ("No images").
    void clearFileName() { m_fileName.clear(); }
    // The viewer goes back to the browser: the scan stops, and an own list goes with its folder,
    // so that the next file opened in the viewer scans its folder again.
    void leave();

Q_SIGNALS:
    // A scan replaced the own list's rows: the position among them is known only now.
    void listChanged();

private:
    // Makes the browser's row of that name the only selected one; nothing when there is none.
    void selectBrowserRow(const QString& name);

    PictureList* m_browserList = nullptr;
    OwnPictureList m_ownList;
    FolderScanWorker m_scan;
    QString m_folder;
    QString m_fileName;
};
