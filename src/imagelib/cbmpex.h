#pragma once
// CBmpEx: one picture, owning one image-library handle, with the path it was loaded from.
// The application owns one (the current image the viewer shows); the file list, the preview
// and dialogs make their own. Used by one thread at a time; not copyable.

#include <atomic>

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>

#include "imagelib/flm.h"

class QPainter;

// The colours of a thumbnail cell: the light and dark edges of its frame and the border drawn
// around the picture (grey top and left; the light colour right and bottom).
struct ThumbnailColours {
    QColor light{255, 255, 255};
    QColor dark{0, 0, 0};
    QColor border{128, 128, 128};
};

class CBmpEx {
public:
    // Why the last load, save or change failed.
    struct Error {
        FlmErrorCode code = kFlmErrorNone;
        FlmAction action = kFlmActionRead;
        QString text; // the reason in a few words: "truncated file", "disk full"
        QString file; // the file read or written, or the picture's own for a change

        bool failed() const { return code != kFlmErrorNone; }
        // The sentence for the user, "Cannot read a.jpg: truncated file"; empty without a failure.
        QString failureText() const;
    };

    // Called when no library handle can be had; it must not return. The default writes
    // "GP Error" to the standard error and ends the process with exit code -1; the application
    // installs one that shows the message box.
    using FatalHandler = void (*)();
    static void setFatalHandler(FatalHandler handler);
    // A library handle for any owner of one; when none can be had `fatal` is called, and the
    // process ends even if it returns, so that no owner is ever left without a handle.
    static FLMHANDLE openHandle(FatalHandler fatal);

    CBmpEx();
    virtual ~CBmpEx();
    CBmpEx(const CBmpEx&) = delete;
    CBmpEx& operator=(const CBmpEx&) = delete;

    // True when the library read the file; the path is then kept, otherwise emptied.
    bool Load(const QString& path);
    // Empties the handle; the loaded flag and the path stay as they are.
    void Clear();
    // Size of the current slide; (-1, -1) when there is no picture.
    QSize GetSize() const;
    // Draws the picture centred in a thumbnail cell (the file list passes 76 x 76).
    bool DrawThumbnail(QPainter* painter, const QRect& rect) const;

    // Where DrawThumbnail puts a picture of `picture` size in a cell of `cell` size, relative to
    // the cell's corner: within a margin of 5, unscaled when strictly smaller than that area,
    // else shrunk to fit (sizes truncated), centred. Shrinking a picture to this size first and
    // asking again gives the same rectangle.
    static QRect thumbnailPlace(QSize picture, QSize cell);
    // Everything of a thumbnail cell but the picture: the button face over `cell`, the 76 x 76
    // frame at its corner and the border around `place` (relative to the cell's corner).
    static void drawThumbnailFrame(QPainter* painter, const QRect& cell, const QRect& place,
                                   const ThumbnailColours& colours);

    // Loads the source into this handle (the path field is kept) and writes it to the target.
    bool LoadAndSave(const QString& source, const QString& target, FlmSaveOptions* options);
    // Writes the picture held now, with any in-memory transforms.
    bool Save(const QString& target, FlmSaveOptions* options);

    // The reason of the last failed Load, Save or LoadAndSave (code kFlmErrorNone after a
    // success), and the sentence that tells it to the user.
    Error lastError() const;
    QString failureText() const { return lastError().failureText(); }

    FLMHANDLE handle() const { return m_handle; }
    bool loaded() const { return m_loaded; }
    bool busy() const { return m_busy; }
    const QString& path() const { return m_path; }

    // Hands the decoded picture over without copying pixels: the two objects exchange their
    // library handles with the loaded flags and paths. Colours, cancel flags and the busy flag
    // stay with their objects. Neither object may be in a library call meanwhile.
    void swapPicture(CBmpEx& other);

    // A flag that cancels a running load or save when it becomes true (a worker's stop flag).
    void setCancelFlag(const std::atomic<bool>* flag) { m_cancel = flag; }

    ThumbnailColours colours;

private:
    static int progressCallback(const FlmCallbackRecord* record);
    bool saveWithPlainOptions(const QString& target, FlmSaveOptions* options);

    bool m_loaded = false;
    FLMHANDLE m_handle = nullptr;
    QString m_lastFile; // the file of the last operation, which lastError() names
    std::atomic<bool> m_busy{false};
    QString m_path;
    const std::atomic<bool>* m_cancel = nullptr;
};
