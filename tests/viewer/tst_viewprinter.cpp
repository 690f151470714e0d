// Printing the shown picture: the page plan, and whole runs into PDF files checked with an
// independent reader (poppler's pdfinfo and pdftoppm) and by counting the page objects.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "imagelib/cbmpex.h"
#include "requiredtool.h"
#include "viewer/cviewprinter.h"

namespace {

const QSizeF kScreenDpi(96, 96);
const QList<QColor> kBands{Qt::red, Qt::green, Qt::blue};

// A printer writing a PDF at 300 dpi (smaller files than the default 1200).
void setUpPdf(QPrinter& printer, const QString& path)
{
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(300);
}

// The picture width one printed page carries.
int pageSource(const QPrinter& printer)
{
    return int(printer.width() / (printer.logicalDpiX() / kScreenDpi.width()));
}

// A picture striped in bands one page wide: red, green, blue, red ...
QString writeBands(const QTemporaryDir& dir, int width, int height, int band)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    for (int x = 0, k = 0; x < width; x += band, ++k)
        painter.fillRect(x, 0, band, height, kBands[k % kBands.size()]);
    painter.end();
    const QString path = dir.filePath(QStringLiteral("bands.png"));
    return image.save(path) ? path : QString();
}

int countPageObjects(const QString& pdf)
{
    QFile file(pdf);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(file.readAll());
    return int(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))));
}

// The pixel colour of a rendered page at a point of the printable area (printer pixels).
QColor colourAt(const QImage& page, const QPrinter& printer, double scale, QPointF printable)
{
    const QPointF corner = printer.pageLayout().paintRectPixels(printer.resolution()).topLeft();
    const QPointF at = (corner + printable) * scale;
    return page.pixelColor(at.toPoint());
}

bool similar(const QColor& a, const QColor& b)
{
    return qAbs(a.red() - b.red()) < 40 && qAbs(a.green() - b.green()) < 40 && qAbs(a.blue() - b.blue()) < 40;
}

} // namespace

class TestViewPrinter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void planPages_data();
    void planPages();
    void printPdf_data();
    void printPdf();
    void rangeIsIgnored();
    void failures_data();
    void failures();
};

void TestViewPrinter::planPages_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSizeF>("printerDpi");
    QTest::addColumn<QList<QRect>>("sources");
    QTest::addColumn<QList<QRect>>("dests");

    // Page 4800 x 6600 printer pixels; a 600 dpi printer over a 96 dpi screen: sx = 6.25, so a
    // page carries 768 picture pixels.
    const QSizeF dpi(600, 600);
    QTest::newRow("narrow: one page of a full page width")
        << QSize(200, 100) << dpi << QList<QRect>{QRect(0, 0, 768, 100)} << QList<QRect>{QRect(0, 0, 4800, 625)};
    QTest::newRow("2.5 page widths") << QSize(1920, 100) << dpi
                                     << QList<QRect>{QRect(0, 0, 768, 100), QRect(768, 0, 768, 100),
                                                     QRect(1536, 0, 384, 100)}
                                     << QList<QRect>{QRect(0, 0, 4800, 625), QRect(0, 0, 4800, 625),
                                                     QRect(0, 0, 2400, 625)};
    QTest::newRow("exactly 2 page widths")
        << QSize(1536, 100) << dpi << QList<QRect>{QRect(0, 0, 768, 100), QRect(768, 0, 768, 100)}
        << QList<QRect>{QRect(0, 0, 4800, 625), QRect(0, 0, 4800, 625)};
    QTest::newRow("one pixel over a page")
        << QSize(769, 100) << dpi << QList<QRect>{QRect(0, 0, 768, 100), QRect(768, 0, 1, 100)}
        << QList<QRect>{QRect(0, 0, 4800, 625), QRect(0, 0, 6, 625)};
    QTest::newRow("unequal resolutions") << QSize(100, 100) << QSizeF(600, 300) << QList<QRect>{QRect(0, 0, 768, 100)}
                                         << QList<QRect>{QRect(0, 0, 4800, 312)};
    // 4800 / 7.5 = 640 picture pixels a page; the source x of page i is i x 4800 / 7.5.
    QTest::newRow("fractional scale") << QSize(1000, 10) << QSizeF(720, 720)
                                      << QList<QRect>{QRect(0, 0, 640, 10), QRect(640, 0, 360, 10)}
                                      << QList<QRect>{QRect(0, 0, 4800, 75), QRect(0, 0, 2700, 75)};
    QTest::newRow("empty picture") << QSize(0, 100) << dpi << QList<QRect>{} << QList<QRect>{};
    QTest::newRow("no resolution") << QSize(100, 100) << QSizeF(0, 600) << QList<QRect>{} << QList<QRect>{};
}

void TestViewPrinter::planPages()
{
    QFETCH(QSize, picture);
    QFETCH(QSizeF, printerDpi);
    QFETCH(QList<QRect>, sources);
    QFETCH(QList<QRect>, dests);

    const auto plan = CViewPrinter::planPages(picture, QSize(4800, 6600), printerDpi, kScreenDpi);
    QCOMPARE(int(plan.pages.size()), sources.size());
    for (int i = 0; i < sources.size(); ++i) {
        QCOMPARE(plan.pages[std::size_t(i)].source, sources[i]);
        QCOMPARE(plan.pages[std::size_t(i)].dest, dests[i]);
    }
    if (!sources.isEmpty())
        QCOMPARE(plan.caption, QPoint(4320, 6534));
    // Nothing to print on an empty page either.
    QVERIFY(CViewPrinter::planPages(picture, QSize(0, 6600), printerDpi, kScreenDpi).pages.empty());
}

void TestViewPrinter::printPdf_data()
{
    QTest::addColumn<double>("pageWidths");
    QTest::addColumn<int>("pages");

    QTest::newRow("2.5 page widths") << 2.5 << 3;
    QTest::newRow("narrow") << 0.4 << 1;
}

void TestViewPrinter::printPdf()
{
    QFETCH(double, pageWidths);
    QFETCH(int, pages);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    setUpPdf(printer, pdf);
    const int band = pageSource(printer);
    const int width = int(pageWidths * band);
    const QString source = writeBands(dir, width, 200, band);
    QVERIFY(!source.isEmpty());
    CBmpEx picture;
    QVERIFY(picture.Load(source));

    const auto plan = CViewPrinter::planPages(QSize(width, 200), QSize(printer.width(), printer.height()),
                                              QSizeF(printer.logicalDpiX(), printer.logicalDpiY()), kScreenDpi);
    QCOMPARE(int(plan.pages.size()), pages);
    const QRect last = plan.pages.back().source;
    if (pages > 1)
        QVERIFY2(qAbs(last.width() - band / 2) <= 1, qPrintable(QString::number(last.width())));
    else
        QCOMPARE(last.width(), band);

    QCOMPARE(CViewPrinter::print(printer, picture, kScreenDpi), CViewPrinter::Result::Printed);
    QCOMPARE(countPageObjects(pdf), pages);

    const QString pdfinfo = QStandardPaths::findExecutable(QStringLiteral("pdfinfo"));
    const QString pdftoppm = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    QVERIFY2(!pdfinfo.isEmpty() && !pdftoppm.isEmpty(), missingTool("pdfinfo and pdftoppm", "poppler-utils"));
    QProcess info;
    info.start(pdfinfo, {pdf});
    QVERIFY(info.waitForFinished(60000));
    const QString infoText = QString::fromUtf8(info.readAllStandardOutput());
    const auto pagesLine =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption).match(infoText);
    QVERIFY2(pagesLine.hasMatch(), qPrintable(infoText));
    QCOMPARE(pagesLine.captured(1).toInt(), pages);

    // Each page shows its own band at screen size; the last one ends at the picture's end.
    const int renderDpi = 30;
    QCOMPARE(QProcess::execute(pdftoppm, {QStringLiteral("-r"), QString::number(renderDpi), QStringLiteral("-png"), pdf,
                                          dir.filePath(QStringLiteral("page"))}),
             0);
    const QStringList rendered = QDir(dir.path()).entryList({QStringLiteral("page-*.png")}, QDir::Files, QDir::Name);
    QCOMPARE(rendered.size(), pages);
    const double scale = double(renderDpi) / printer.resolution();
    const double pictureMiddle = 100 * printer.logicalDpiY() / kScreenDpi.height();
    for (int i = 0; i < pages; ++i) {
        const QImage page(dir.filePath(rendered[i]));
        QVERIFY(!page.isNull());
        const QColor inside = colourAt(page, printer, scale, QPointF(printer.width() * 0.15, pictureMiddle));
        QVERIFY2(similar(inside, kBands[i % kBands.size()]), qPrintable(inside.name()));
        const double filled = (i < pages - 1) ? 1.0 : pageWidths - (pages - 1);
        if (filled + 0.1 < 1.0) {
            const QColor beyond =
                colourAt(page, printer, scale, QPointF(printer.width() * (filled + 0.1), pictureMiddle));
            QVERIFY2(similar(beyond, Qt::white), qPrintable(beyond.name()));
        }
        const QColor below = colourAt(page, printer, scale, QPointF(printer.width() * 0.15, pictureMiddle * 2.5));
        QVERIFY2(similar(below, Qt::white), qPrintable(below.name()));
    }
}

// The dialog may set a range; every page prints all the same.
void TestViewPrinter::rangeIsIgnored()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(QStringLiteral("range.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    setUpPdf(printer, pdf);
    const int band = pageSource(printer);
    CBmpEx picture;
    QVERIFY(picture.Load(writeBands(dir, band * 5 / 2, 50, band)));

    int offered = 0;
    const auto result = CViewPrinter::print(printer, picture, kScreenDpi, [&printer, &offered](int pages) {
        offered = pages;
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(2, 2);
        return true;
    });
    QCOMPARE(result, CViewPrinter::Result::Printed);
    QCOMPARE(offered, 3);
    QCOMPARE(countPageObjects(pdf), 3);
}

void TestViewPrinter::failures_data()
{
    QTest::addColumn<bool>("withPicture");
    QTest::addColumn<QString>("output");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<CViewPrinter::Result>("result");

    QTest::newRow("no picture") << false << QStringLiteral("out.pdf") << true << CViewPrinter::Result::NoPicture;
    QTest::newRow("cancelled in the dialog")
        << true << QStringLiteral("out.pdf") << false << CViewPrinter::Result::Cancelled;
    QTest::newRow("output cannot be opened")
        << true << QStringLiteral("missing/folder/out.pdf") << true << CViewPrinter::Result::StartFailed;
}

void TestViewPrinter::failures()
{
    QFETCH(bool, withPicture);
    QFETCH(QString, output);
    QFETCH(bool, accept);
    QFETCH(CViewPrinter::Result, result);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString pdf = dir.filePath(output);
    QPrinter printer(QPrinter::HighResolution);
    setUpPdf(printer, pdf);
    CBmpEx picture;
    if (withPicture)
        QVERIFY(picture.Load(writeBands(dir, 300, 40, 100)));

    bool asked = false;
    const auto confirm = [&asked, accept](int) {
        asked = true;
        return accept;
    };
    QCOMPARE(CViewPrinter::print(printer, picture, kScreenDpi, confirm), result);
    QCOMPARE(asked, withPicture);
    // Nothing was started: no file is left behind.
    QVERIFY(!QFile::exists(pdf));
}

QTEST_MAIN(TestViewPrinter)
#include "tst_viewprinter.moc"
