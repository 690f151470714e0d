#pragma once
// CBmpEx: one picture, owning one image-library handle, with the path it was loaded from; the
// only way to pictures from outside the image library. The application owns one (the current
// image the viewer shows); the file list, the preview and dialogs make their own. Used by one
// thread at a time; not copyable. Operations that can fail return false (or nothing) and leave
// the reason in lastError().

#include <atomic>
#include <optional>

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include "imagelib/flm.h"

class QIODevice;
class QPainter;

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

    // What a file's header tells without decoding it.
    struct FileInfo {
        int format = kFlmUnknown; // FlmFormat
        QSize size;
        int bitsPerPixel = 0;
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
    // With its own handler for a refused handle instead of the one setFatalHandler installed.
    explicit CBmpEx(FatalHandler fatal);
    virtual ~CBmpEx();
    CBmpEx(const CBmpEx&) = delete;
    CBmpEx& operator=(const CBmpEx&) = delete;

    // True when the library read the file; the path is then kept, otherwise emptied.
    [[nodiscard]] bool Load(const QString& path);
    // Empties the handle; the loaded flag and the path stay as they are.
    void Clear();
    // Size of the current slide; (-1, -1) when there is no picture.
    QSize GetSize() const;
    // Size of the first slide in the file, upright: larger than GetSize() after a load with a
    // size hint; invalid without a picture.
    QSize sourceSize() const;
    // Loads the source into this handle (the path field is kept) and writes it to the target.
    [[nodiscard]] bool LoadAndSave(const QString& source, const QString& target, FlmSaveOptions* options);
    // Writes the picture held now, with any in-memory transforms.
    [[nodiscard]] bool Save(const QString& target, FlmSaveOptions* options);

    // The format code of a file the library reads, decided by its content; none when it reads no
    // such file.
    [[nodiscard]] std::optional<int> canOpen(const QString& path);
    // Format, size and depth from a file's header, without decoding pixels or touching the
    // picture; none when the library reads no such file.
    [[nodiscard]] std::optional<FileInfo> fileInfo(const QString& path);
    // Asks the following loads for a picture no larger than needed to draw it within `size`
    // (thumbnails, previews); an empty size asks for full size again.
    void setLoadSizeHint(QSize size);
    // Every format the library reads, as a Qt file-dialog filter ("Description (*.a *.b);;...").
    static QString openDialogFilter();
    // The save formats' filters, in the library's order (a format's position is its number).
    static QStringList saveDialogFilter();
    // The file list's quick header scan: the format of a BMP, Windows or enhanced metafile, GIF,
    // cursor, icon or JPEG by the file's first bytes (kFlmUnknown for any other), and the size
    // (invalid when the header gives none; always for metafiles) with the depth where the list
    // shows one. Reads a random-access device from its start and no further than the header
    // (a JPEG's frame header at most 1 MiB in); allocates no handle, so any thread may call it
    // for every file of a folder.
    static FileInfo readQuickHeader(QIODevice& device);

    // The picture held: a handle may be empty (a failed load, Clear).
    bool isEmpty() const;
    // The format code of the file the picture came from; kFlmUnknown without a picture.
    int sourceFormat() const;
    // Animations and multi-page files hold several slides, one of them current; 0 and -1 without
    // a picture.
    int slideCount() const;
    int currentSlide() const;
    // Makes the first slide current; false without a picture.
    [[nodiscard]] bool firstSlide();
    // Makes the next slide current; false when the current one is the last (the caller then
    // goes back to the first).
    [[nodiscard]] bool nextSlide();
    // Display time of a slide in milliseconds; -1 when there is no such slide.
    int slideDelay(int slide) const;
    // Size of a slide; invalid when there is no such slide.
    QSize slideSize(int slide) const;
    // The current slide's pixels, shared until either side changes them; null without a picture.
    QImage slideImage() const;

    // The current slide drawn over `background` at its own size, for what holds no transparency
    // (the clipboard's bitmap, paper); null without a picture or when the memory is refused.
    QImage opaqueImage(const QColor& background) const;
    // Draws the current slide unscaled with its top left corner at `at`.
    [[nodiscard]] bool draw(QPainter* painter, QPoint at) const;
    // Draws the current slide scaled into `target`; a valid `source` (in picture pixels) draws
    // only that part. Shrinking is smooth, magnifying keeps pixels sharp.
    [[nodiscard]] bool drawScaled(QPainter* painter, const QRect& target, const QRect& source = QRect()) const;

    // Turns every slide by 90 (clockwise), -90 or 180 degrees; other angles fail.
    [[nodiscard]] bool rotate(int degrees);
    // Mirrors every slide: Qt::Horizontal left-right, Qt::Vertical top-bottom, both turn it around.
    [[nodiscard]] bool mirror(Qt::Orientations axes);
    // Cuts every slide to `rect` (picture pixels); fails, leaving the picture whole, when the
    // rectangle is empty or leaves a slide.
    [[nodiscard]] bool crop(const QRect& rect);

    // The reason of the last failed Load, Save or LoadAndSave (code kFlmErrorNone after a
    // success), and the sentence that tells it to the user.
    Error lastError() const;
    QString failureText() const { return lastError().failureText(); }

    // The library handle itself, for the image library's own tests only: everything else goes
    // through the members above. Callers that still use it are moving off it.
    FLMHANDLE handle() const { return m_handle; }
    bool loaded() const { return m_loaded; }
    bool busy() const { return m_busy; }
    const QString& path() const { return m_path; }

    // Hands the decoded picture over without copying pixels: the two objects exchange their
    // library handles with the loaded flags and paths. Cancel flags and the busy flag stay with
    // their objects. Neither object may be in a library call meanwhile.
    void swapPicture(CBmpEx& other);

    // A flag that cancels a running load or save when it becomes true (a worker's stop flag).
    void setCancelFlag(const std::atomic<bool>* flag) { m_cancel = flag; }

private:
    static int progressCallback(const FlmCallbackRecord* record);
    bool saveWithPlainOptions(const QString& target, FlmSaveOptions* options);
    // A change of the picture in memory, whose failure names the picture's file.
    bool change(int result);

    bool m_loaded = false;
    FLMHANDLE m_handle = nullptr;
    QString m_lastFile; // the file of the last operation, which lastError() names
    std::atomic<bool> m_busy{false};
    QString m_path;
    const std::atomic<bool>* m_cancel = nullptr;
};
