#pragma once
// CBrowserView: the browser window's view. It owns the file list (which fills it) and is the
// browser's command target between the list and the frame: list -> view -> frame. It restores
// the list on the first update, opens rows (folders, pictures into the viewer, other files with
// their program), selects all, renames in place, describes, shows file information, copies the
// focused picture to the clipboard, handles "SelectFolder" and turns clicks and keyboard moves
// into preview requests. UI thread only.

#include <memory>
#include <utility>

#include <QString>
#include <QWidget>

#include "core/commands.h"
#include "core/messages.h"

class CAppSettings;
class CBmpEx;
class BrowserClipboard;
class BrowserCrypt;
class BrowserFileOps;
class CFileListCtrl;
class QKeyEvent;
class AppHost;

class CBrowserView : public QWidget {
    Q_OBJECT
public:
    // What the preview bar is asked to show.
    enum PreviewKind : int { kPreviewNone = 0, kPreviewPicture = 1, kPreviewMedia = 2 };

    // `host` gives the current image and the switch to the viewer (none: pictures open nowhere);
    // `options` are the program's. Both must outlive the view.
    CBrowserView(AppHost* host, CAppSettings& options, QWidget* parent = nullptr);
    ~CBrowserView() override;

    CFileListCtrl* fileList() const { return m_list; }
    BrowserFileOps* fileOps() const { return m_fileOps; }
    BrowserClipboard* clipboard() const { return m_clipboard; }
    BrowserCrypt* crypt() const { return m_crypt; }
    // The view's link of the chain. The frame sets its own target as next here and builds its
    // actions on chainHead(), the list's target, whose next is this one.
    CCommandTarget& commands() { return m_commands; }
    CCommandTarget& chainHead();

    // Once, when the browser frame is first shown: columns, options, the stored view mode, sort
    // key and direction, and unless the program was started on a file (whose folder the browser
    // opens when the viewer hands over), the last folder.
    void firstUpdate(bool startedOnFile);
    bool firstUpdateDone() const { return m_firstUpdateDone; }

    // Enter, a double click and Slide Show: ".." to the parent (the root at the top), a folder,
    // a picture into the viewer, another file to its program. False when nothing was opened.
    bool openFocusedRow();
    // Every row but "..", the focus on the first of them.
    void selectAll();
    // Starts editing the focused row's name; the rename follows when the editing ends.
    void startRename();
    // Renames row `row` to `newName` on disk and in the row; a message box tells a failure.
    bool renameRow(int row, const QString& newName);
    // Whether the picture last handed to the viewer came with Slide Show; the viewer reads it.
    bool slideShowRequested() const { return m_slideShowRequest; }
    // The viewer took the request; a later switch (Print from the browser) starts no slide show.
    void clearSlideShowRequest() { m_slideShowRequest = false; }
    // The picture the viewer is to read and show, taken once by the switch; empty when the
    // current image holds what it is to show (Print, the preview's double click).
    QString takePictureToRead() { return std::exchange(m_pictureToRead, QString()); }

Q_SIGNALS:
    // A row was clicked or the keyboard stopped on it: the preview bar shows `path` as `kind`
    // (an empty path with kPreviewNone clears it). Also the moment to update the status totals.
    void previewRequested(const QString& path, int kind);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void registerCommands();
    void previewRow(int row);
    bool handleKeyPress(QObject* view, QKeyEvent* event);
    void handleKeyRelease(const QKeyEvent* event);
    void handleDoubleClick(const QPoint& viewportPos, QWidget* viewport);
    // Opens the focused file as a double click on `column` asks.
    void openDoubleClicked(int column);
    bool openRow(int row, bool slideShow);
    bool openFile(int row, bool slideShow);
    void switchWithSelectedPicture(appmsg::SwitchRequest request);
    void describeFocused();
    // "Edit with...": the program chosen in the open-with dialog, or, when the dialog was
    // cancelled, the file's own edit program. Never both: the file would open twice.
    void editFocusedWith();
    QString focusedPath() const;
    void showInfoOfFocused();
    void copyImage();
    QString focusedName() const;

    AppHost* m_host;
    CAppSettings& m_options;
    std::unique_ptr<CBmpEx> m_picture; // asks the library about files, loads Copy Image
    CFileListCtrl* m_list;
    BrowserFileOps* m_fileOps;
    BrowserClipboard* m_clipboard;
    BrowserCrypt* m_crypt;
    CCommandTarget m_commands;
    bool m_firstUpdateDone = false;
    bool m_slideShowRequest = false;
    QString m_pictureToRead;
    // The held-key rule of the keyboard preview.
    bool m_keyReleased = false;
    bool m_previewPending = false;
    bool m_inKeyPress = false;
};
