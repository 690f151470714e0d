#include <cstring>
#include <vector>

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <tiffio.h>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

struct Page {
    int width = 1;
    int height = 1;
    int bitsPerSample = 8;
    int samples = 3;      // 1 grey, 3 RGB, 4 RGB with unassociated alpha
    int rowsPerStrip = 0; // 0: one strip
    int tileSize = 0;     // 0: strips
    int orientation = ORIENTATION_TOPLEFT;
};

// Sample values every page is filled with, as 8 bits; 16-bit files store them scaled.
int sampleAt(int x, int y, int sample)
{
    return (x * 37 + y * 11 + sample * 85) & 0xff;
}

// The pixel a page shows at x, y of the upright picture.
QRgb expectedPixel(const Page& page, int x, int y)
{
    const bool bottomUp = page.orientation == ORIENTATION_BOTLEFT;
    const int fileRow = bottomUp ? page.height - 1 - y : y;
    if (page.samples == 1) {
        const int grey = sampleAt(x, fileRow, 0);
        return qRgb(grey, grey, grey);
    }
    const int alpha = page.samples == 4 ? sampleAt(x, fileRow, 3) : 255;
    return qPremultiply(qRgba(sampleAt(x, fileRow, 0), sampleAt(x, fileRow, 1), sampleAt(x, fileRow, 2), alpha));
}

// Samples of a block of the page (rows as stored), in the file's bit depth.
std::vector<uint8_t> samplesOf(const Page& page, int left, int top, int width, int height)
{
    const int bytes = page.bitsPerSample / 8;
    std::vector<uint8_t> block(size_t(width) * size_t(height) * size_t(page.samples) * size_t(bytes));
    size_t i = 0;
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            for (int s = 0; s < page.samples; ++s) {
                const int value = sampleAt(x, y, s);
                if (bytes == 2) {
                    // Off the exact scale, so that only a rounding reader gets the 8-bit value back.
                    const uint16_t wide = uint16_t(value * 257 + (value < 128 ? 100 : -100));
                    std::memcpy(&block[i], &wide, 2);
                } else {
                    block[i] = uint8_t(value);
                }
                i += size_t(bytes);
            }
        }
    }
    return block;
}

bool writePage(TIFF* tiff, const Page& page)
{
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(page.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(page.height));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(page.bitsPerSample));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(page.samples));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, page.samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, uint16_t(page.orientation));
    if (page.samples == 4) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (page.tileSize) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, uint32_t(page.tileSize));
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, uint32_t(page.tileSize));
        for (int y = 0; y < page.height; y += page.tileSize) {
            for (int x = 0; x < page.width; x += page.tileSize) {
                // Tiles past the edges are written whole; their outer part is never shown.
                std::vector<uint8_t> tile = samplesOf(page, x, y, page.tileSize, page.tileSize);
                if (TIFFWriteTile(tiff, tile.data(), uint32_t(x), uint32_t(y), 0, 0) < 0)
                    return false;
            }
        }
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(page.rowsPerStrip ? page.rowsPerStrip : page.height));
        for (int y = 0; y < page.height; ++y) {
            std::vector<uint8_t> row = samplesOf(page, 0, y, page.width, 1);
            if (TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) < 0)
                return false;
        }
    }
    return TIFFWriteDirectory(tiff) != 0;
}

QByteArray buildTiff(const QString& path, const QList<Page>& pages, bool big = false)
{
    TIFF* tiff = TIFFOpen(path.toLocal8Bit().constData(), big ? "w8" : "w");
    if (!tiff)
        return {};
    bool ok = true;
    for (const Page& page : pages)
        ok = ok && writePage(tiff, page);
    TIFFClose(tiff);
    return ok ? imagetest::readFile(path) : QByteArray();
}

} // namespace

class TestTiff : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void decodesPages_data();
    void decodesPages();
    void keepsPagesBeforeDamage_data();
    void keepsPagesBeforeDamage();
    void readsHeader_data();
    void readsHeader();
    void cancelStopsLoading();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestTiff::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

void TestTiff::decodesPages_data()
{
    QTest::addColumn<QList<Page>>("pages");
    QTest::addColumn<bool>("big");

    QTest::newRow("three pages of different kinds") << QList<Page>{{.width = 4, .height = 3},
                                                                   {.width = 2, .height = 5, .samples = 1},
                                                                   {.width = 6, .height = 2, .bitsPerSample = 16}}
                                                    << false;
    QTest::newRow("16-bit page") << QList<Page>{{.width = 9, .height = 7, .bitsPerSample = 16}} << false;
    QTest::newRow("unassociated alpha") << QList<Page>{{.width = 8, .height = 4, .samples = 4}} << false;
    QTest::newRow("many strips") << QList<Page>{{.width = 3, .height = 600, .rowsPerStrip = 7}} << false;
    QTest::newRow("bottom-up across many strips")
        << QList<Page>{{.width = 3, .height = 600, .rowsPerStrip = 7, .orientation = ORIENTATION_BOTLEFT}} << false;
    QTest::newRow("tiles") << QList<Page>{{.width = 20, .height = 300, .tileSize = 16}} << false;
    QTest::newRow("BigTIFF") << QList<Page>{{.width = 5, .height = 5}, {.width = 3, .height = 2}} << true;
}

void TestTiff::decodesPages()
{
    QFETCH(QList<Page>, pages);
    QFETCH(bool, big);
    const QString file = path(QStringLiteral("pages.tif"));
    QVERIFY(!buildTiff(file, pages, big).isEmpty());
    int format = -1;
    QVERIFY(flmCanOpen(m_handle, file, &format) != 0);
    QCOMPARE(format, int(kFlmTiff));
    QCOMPARE(flmLoadFromFile(m_handle, file), 0);
    const int slides = imagetest::slideCount(m_handle);
    QCOMPARE(slides, int(pages.size()));
    for (int i = 0; i < slides; ++i) {
        const Page& page = pages[i];
        const QImage decoded = imagetest::currentSlide(m_handle);
        QCOMPARE(decoded.size(), QSize(page.width, page.height));
        for (int y = 0; y < page.height; ++y) {
            for (int x = 0; x < page.width; ++x) {
                if (!imagetest::near(decoded.pixel(x, y), expectedPixel(page, x, y), 1))
                    QFAIL(qPrintable(QStringLiteral("page %1 pixel %2,%3: %4, expected %5")
                                         .arg(i)
                                         .arg(x)
                                         .arg(y)
                                         .arg(decoded.pixel(x, y), 8, 16)
                                         .arg(expectedPixel(page, x, y), 8, 16)));
            }
        }
        QCOMPARE(flmNext(m_handle) != 0, i == slides - 1);
    }
}

void TestTiff::keepsPagesBeforeDamage_data()
{
    QTest::addColumn<QByteArray>("tiff");
    QTest::addColumn<int>("slides"); // 0: the load fails

    const QList<Page> one = {{.width = 16, .height = 16}};
    const QList<Page> two = {{.width = 16, .height = 16}, {.width = 8, .height = 8}};
    const QByteArray single = buildTiff(path(QStringLiteral("one.tif")), one);
    const QByteArray pair = buildTiff(path(QStringLiteral("two.tif")), two);

    QTest::newRow("cut in half") << single.left(single.size() / 2) << 0;
    QTest::newRow("cut after the header") << single.left(8) << 0;
    QByteArray stripPastEnd = single;
    QVERIFY(imagetest::patchTag(stripPastEnd, 0, TIFFTAG_STRIPOFFSETS, quint32(single.size() - 10)));
    QTest::newRow("strip past the end") << stripPastEnd << 0;
    QByteArray huge = single;
    QVERIFY(imagetest::patchTag(huge, 0, TIFFTAG_IMAGEWIDTH, 100000));
    QVERIFY(imagetest::patchTag(huge, 0, TIFFTAG_IMAGELENGTH, 100000));
    QTest::newRow("huge dimensions") << huge << 0;
    QByteArray secondStrip = pair;
    QVERIFY(imagetest::patchTag(secondStrip, 1, TIFFTAG_STRIPOFFSETS, quint32(pair.size() - 10)));
    QTest::newRow("second page's strip past the end") << secondStrip << 1;
    QTest::newRow("second page's directory cut") << pair.left(imagetest::directoryOffset(pair, 1) + 6) << 1;
}

void TestTiff::keepsPagesBeforeDamage()
{
    QFETCH(QByteArray, tiff);
    QFETCH(int, slides);
    QCOMPARE(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, QStringLiteral("case.tif"), tiff)) == 0, slides > 0);
    QCOMPARE(imagetest::slideCount(m_handle), slides);
}

void TestTiff::readsHeader_data()
{
    QTest::addColumn<Page>("page");
    QTest::addColumn<int>("bits");

    QTest::newRow("RGB") << Page{.width = 30, .height = 20} << 24;
    QTest::newRow("16-bit RGB") << Page{.width = 3, .height = 200, .bitsPerSample = 16} << 48;
    QTest::newRow("grey") << Page{.width = 1, .height = 1, .samples = 1} << 8;
    QTest::newRow("RGBA") << Page{.width = 2, .height = 2, .samples = 4} << 32;
    // libtiff writes the directory after the pixels, here past the first 64 KiB.
    QTest::newRow("directory far into the file") << Page{.width = 200, .height = 200} << 24;
}

void TestTiff::readsHeader()
{
    QFETCH(Page, page);
    QFETCH(int, bits);
    const QString file = path(QStringLiteral("header.tif"));
    QVERIFY(!buildTiff(file, {page}).isEmpty());
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, file, &info), 0);
    QCOMPARE(info.format, int(kFlmTiff));
    QCOMPARE(QSize(info.width, info.height), QSize(page.width, page.height));
    QCOMPARE(info.bitsPerPixel, bits);
}

void TestTiff::cancelStopsLoading()
{
    const QString file = path(QStringLiteral("cancel.tif"));
    QVERIFY(!buildTiff(file, {{.width = 4, .height = 4}}).isEmpty());
    QCOMPARE(flmLoadFromFile(m_handle, file), 0);
    flmSetCallback(m_handle, imagetest::cancelAtProgress, nullptr);
    QVERIFY(flmLoadFromFile(m_handle, file) != 0);
}

QTEST_GUILESS_MAIN(TestTiff)
#include "tst_tiff.moc"
