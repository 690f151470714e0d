#pragma once
// CViewPrinter: prints the shown picture at the physical size it has on the screen, spread over
// as many pages side by side as its width needs, each page captioned "Page:n of m". It owns the
// QPrinter, so the choices of Print Setup carry over to the following prints and previews.
// GUI thread only.
//
// The interactive commands (Print, PrintSetup, PrintPreview) show Qt's dialogs and the failure
// messages; print() is the same run without them, for callers that print to a file.

#include <functional>
#include <vector>

#include <QImage>
#include <QPoint>
#include <QPrinter>
#include <QRect>
#include <QSize>
#include <QSizeF>
#include <QString>

class CBmpEx;
class QWidget;

class CViewPrinter {
public:
    // One printed page: the part of the picture (picture pixels) and where it goes on the page
    // (printer pixels, from the printable area's corner).
    struct Page {
        QRect source;
        QRect dest;
    };
    // The pages of one run and the caption's place (the caption's baseline starts there).
    struct PagePlan {
        std::vector<Page> pages;
        QPoint caption;
    };

    enum class Result { Printed, Cancelled, NoPicture, BitmapTooLarge, NoPrinter, StartFailed };

    explicit CViewPrinter(QWidget* parent);

    // The commands of the viewer. `picture` is the current image; it is printed at its own size,
    // whatever the view's zoom.
    void Print(const CBmpEx& picture);
    void PrintSetup();
    void PrintPreview(const CBmpEx& picture);

    QPrinter& printer() { return m_printer; }

    // The page plan: `page` is the printable area in printer pixels, `printerDpi` the printer's
    // resolution, `screenDpi` the screen's logical resolution. No pages for an empty picture, page
    // or resolution.
    static PagePlan planPages(QSize picture, QSize page, QSizeF printerDpi, QSizeF screenDpi);
    // "Page:2 of 3".
    static QString caption(int page, int count);
    // The current slide at its own size; a null image when there is no picture or it is too large
    // to allocate.
    static QImage renderPicture(const CBmpEx& picture);
    // Draws the plan's pages on the printer (a preview's printer too). False when painting on the
    // printer cannot start.
    static bool paintPages(QPrinter& printer, const QImage& picture, const PagePlan& plan);
    // The whole run on `printer`. `confirm`, when set, is asked with the number of pages before
    // anything is printed (the print dialog); false cancels. Whatever range the dialog sets, all
    // pages print.
    static Result print(QPrinter& printer, const CBmpEx& picture, QSizeF screenDpi,
                        const std::function<bool(int pages)>& confirm = {});
    // The message shown for a failed run; empty for a run that needs none.
    static QString message(Result result);

private:
    QSizeF screenDpi() const;
    void showMessage(Result result) const;

    QWidget* m_parent;
    QPrinter m_printer{QPrinter::HighResolution};
};
