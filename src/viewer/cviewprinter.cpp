#include "viewer/cviewprinter.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPageRanges>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QScreen>
#include <QWidget>

#include "imagelib/cbmpex.h"

namespace {

const QString kDocumentName = QStringLiteral("Zelt Pixoria");

CViewPrinter::PagePlan planFor(const QPrinter& printer, QSize picture, QSizeF screenDpi)
{
    return CViewPrinter::planPages(picture, QSize(printer.width(), printer.height()),
                                   QSizeF(printer.logicalDpiX(), printer.logicalDpiY()), screenDpi);
}

} // namespace

CViewPrinter::CViewPrinter(QWidget* parent) : m_parent(parent) {}

CViewPrinter::PagePlan CViewPrinter::planPages(QSize picture, QSize page, QSizeF printerDpi, QSizeF screenDpi)
{
    PagePlan plan;
    if (picture.isEmpty() || page.isEmpty() || printerDpi.isEmpty() || screenDpi.isEmpty())
        return plan;
    const int pageWidth = page.width();
    const double sx = printerDpi.width() / screenDpi.width();
    const double sy = printerDpi.height() / screenDpi.height();
    plan.caption = QPoint(int(pageWidth * 0.9), int(page.height() * 0.99));

    const int count = int((pageWidth + picture.width() * sx - 1) / pageWidth);
    const int fullSource = int(pageWidth / sx);
    const int destHeight = int(picture.height() * sy);
    plan.pages.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const int sourceX = int(double(i) * pageWidth / sx);
        // A single page takes a whole page width of the picture too; only the last of several
        // is cut to what remains.
        const bool lastOfSeveral = count > 1 && i == count - 1;
        const int sourceWidth = lastOfSeveral ? picture.width() - fullSource * i : fullSource;
        const int destWidth = lastOfSeveral ? int(sx * sourceWidth) : pageWidth;
        plan.pages.push_back({QRect(sourceX, 0, sourceWidth, picture.height()), QRect(0, 0, destWidth, destHeight)});
    }
    return plan;
}

QString CViewPrinter::caption(int page, int count)
{
    return QString::asprintf("Page:%d of %d", page, count);
}

QImage CViewPrinter::renderPicture(const CBmpEx& picture)
{
    // Transparent parts print as the paper's white.
    return picture.opaqueImage(Qt::white);
}

bool CViewPrinter::paintPages(QPrinter& printer, const QImage& picture, const PagePlan& plan)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const int count = int(plan.pages.size());
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            printer.newPage();
        const Page& page = plan.pages[std::size_t(i)];
        painter.drawImage(QRectF(page.dest), picture, QRectF(page.source));
        painter.drawText(plan.caption, caption(i + 1, count));
    }
    return painter.end();
}

CViewPrinter::Result CViewPrinter::print(QPrinter& printer, const CBmpEx& picture, QSizeF screenDpi,
                                         const std::function<bool(int)>& confirm)
{
    if (picture.GetSize().isEmpty())
        return Result::NoPicture;
    const QImage image = renderPicture(picture);
    if (image.isNull())
        return Result::BitmapTooLarge;
    printer.setDocName(kDocumentName);
    if (!printer.isValid())
        return Result::NoPrinter;
    PagePlan plan = planFor(printer, image.size(), screenDpi);
    if (plan.pages.empty())
        return Result::NoPrinter;
    if (confirm) {
        if (!confirm(int(plan.pages.size())))
            return Result::Cancelled;
        // The range chosen in the dialog is not used; the paper or printer may have changed.
        printer.setPrintRange(QPrinter::AllPages);
        printer.setPageRanges(QPageRanges());
        plan = planFor(printer, image.size(), screenDpi);
        if (plan.pages.empty())
            return Result::NoPrinter;
    }
    return paintPages(printer, image, plan) ? Result::Printed : Result::StartFailed;
}

QString CViewPrinter::message(Result result)
{
    switch (result) {
    case Result::BitmapTooLarge:
        return QStringLiteral("Not enough resource for the bitmap. Either reduce the bitmap dimension or \n"
                              "switch to lower screen setting (e.g. 256-color mode), and try again.");
    case Result::NoPrinter:
        return QStringLiteral("Can not find printer. Please check installed/default printers.");
    case Result::StartFailed:
        return QStringLiteral("Printing error occured. Unable to find printer.");
    case Result::Printed:
    case Result::Cancelled:
    case Result::NoPicture:
        break;
    }
    return QString();
}

void CViewPrinter::Print(const CBmpEx& picture)
{
    const Result result = print(m_printer, picture, screenDpi(), [this](int pages) {
        QPrintDialog dialog(&m_printer, m_parent);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
        dialog.setMinMax(1, pages);
        dialog.setFromTo(1, pages);
        return dialog.exec() == QDialog::Accepted;
    });
    showMessage(result);
}

void CViewPrinter::PrintSetup()
{
    QPageSetupDialog dialog(&m_printer, m_parent);
    dialog.exec();
}

void CViewPrinter::PrintPreview(const CBmpEx& picture)
{
    if (picture.GetSize().isEmpty())
        return;
    const QImage image = renderPicture(picture);
    if (image.isNull()) {
        showMessage(Result::BitmapTooLarge);
        return;
    }
    const QSizeF dpi = screenDpi();
    QPrintPreviewDialog dialog(&m_printer, m_parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&image, dpi](QPrinter* printer) {
        paintPages(*printer, image, planFor(*printer, image.size(), dpi));
    });
    dialog.exec();
}

QSizeF CViewPrinter::screenDpi() const
{
    const QScreen* screen = m_parent ? m_parent->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return QSizeF(96, 96);
    return QSizeF(screen->logicalDotsPerInchX(), screen->logicalDotsPerInchY());
}

void CViewPrinter::showMessage(Result result) const
{
    const QString text = message(result);
    if (!text.isEmpty())
        QMessageBox::warning(m_parent, QGuiApplication::applicationDisplayName(), text);
}
