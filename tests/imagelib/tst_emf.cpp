// Enhanced metafiles through the handle interface: metafiles built here record by record, each
// placing a small bitmap somewhere on the canvas; the expected canvases are computed pixel by
// pixel without a painter.
#include <QTemporaryDir>
#include <QTest>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"

namespace {

enum Record : quint32 {
    kHeader = 1,
    kEof = 14,
    kSetWindowExt = 9,
    kSetViewportExt = 11,
    kSetMapMode = 17,
    kSetWorldTransform = 35,
    kRectangle = 43,
    kBitBlt = 76,
    kStretchBlt = 77,
    kSetDiBitsToDevice = 80,
    kStretchDiBits = 81,
};

QByteArray ints(const QList<qint32>& values)
{
    QByteArray bytes;
    for (qint32 value : values)
        imagetest::append32(bytes, quint32(value));
    return bytes;
}

// Records are padded to whole 32-bit words.
QByteArray record(quint32 type, const QByteArray& body)
{
    const QByteArray padded = body + QByteArray((4 - body.size() % 4) % 4, '\0');
    return ints({qint32(type), qint32(8 + padded.size())}) + padded;
}

// Bounds are inclusive device pixels, the frame hundredths of a millimetre; the reference
// device has 4 pixels a millimetre.
QByteArray header(const QList<qint32>& bounds, const QList<qint32>& frame = {0, 0, 0, 0})
{
    return record(kHeader, ints(bounds) + ints(frame) + ints({0x464D4520, 0x10000, 0, 0, 0, 0, 0, 0}) +
                               ints({1000, 1000, 250, 250}));
}

const QByteArray kEnd = record(kEof, ints({0, 16, 20}));

// 2x2, 24 bits, stored bottom-up: red and green on top, blue and white below.
const QByteArray kBitmapInfo = ints({40, 2, 2}) + QByteArray("\x01\0\x18\0", 4) + QByteArray(24, '\0');
const QByteArray kBitmapBits("\xff\0\0\xff\xff\xff\0\0\0\0\xff\0\xff\0\0\0", 16);
const QImage kBitmap = [] {
    QImage image(2, 2, QImage::Format_ARGB32_Premultiplied);
    image.setPixel(0, 0, 0xffff0000);
    image.setPixel(1, 0, 0xff00ff00);
    image.setPixel(0, 1, 0xff0000ff);
    image.setPixel(1, 1, 0xffffffff);
    return image;
}();

// A bitmap record of any of the four kinds; the bitmap's header and bits follow the fields.
QByteArray blit(quint32 type, const QRect& target, const QRect& source, const QByteArray& info = kBitmapInfo,
                const QByteArray& bits = kBitmapBits, quint32 usage = 0)
{
    const QByteArray bounds = ints({0, 0, 0, 0});
    const qint32 fields = type == kBitBlt ? 92 : type == kStretchBlt ? 100 : type == kStretchDiBits ? 72 : 68;
    const qint32 infoAt = 8 + fields;
    const qint32 bitsAt = infoAt + qint32(info.size());
    const QByteArray placement = ints({qint32(info.size()), bitsAt, qint32(bits.size())});
    QByteArray body;
    if (type == kBitBlt || type == kStretchBlt) {
        body = bounds +
               ints({target.x(), target.y(), target.width(), target.height(), 0xcc0020, source.x(), source.y(),
                     1065353216, 0, 0, 1065353216, 0, 0, 0, qint32(usage), infoAt}) +
               placement;
        if (type == kStretchBlt)
            body += ints({source.width(), source.height()});
    } else {
        body = bounds +
               ints({target.x(), target.y(), source.x(), source.y(), source.width(), source.height(), infoAt}) +
               placement + ints({qint32(usage)});
        body += type == kStretchDiBits ? ints({0xcc0020, target.width(), target.height()}) : ints({0, 2});
    }
    return record(type, body + info + bits);
}

// A white canvas with `source` scaled into `target` by nearest pixels.
QImage placed(const QSize& canvas, const QRect& target, const QImage& source)
{
    QImage image(canvas, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    for (int y = target.top(); y <= target.bottom(); ++y) {
        for (int x = target.left(); x <= target.right(); ++x)
            image.setPixel(x, y,
                           source.pixel((x - target.left()) * source.width() / target.width(),
                                        (y - target.top()) * source.height() / target.height()));
    }
    return image;
}

const QSize kCanvas(10, 10);
const QByteArray kCanvasHeader = header({0, 0, 9, 9});

} // namespace

class TestEmf : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void placesBitmaps_data();
    void placesBitmaps();
    void readsHeader_data();
    void readsHeader();
    void refusesHostileHeaders_data();
    void refusesHostileHeaders();
    void skipsDamagedRecords_data();
    void skipsDamagedRecords();
    void truncatedFilesKeepWholeRecords();
    void thumbnailsDrawSmaller();
    void cancelStopsLoading();

private:
    QTemporaryDir m_dir;
    imagetest::Handle m_handle;
};

void TestEmf::init()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(m_handle.reopen());
}

void TestEmf::placesBitmaps_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QImage>("expected");

    const QRect stretched(3, 2, 4, 6);
    const QImage stretchedPixels = placed(kCanvas, stretched, kBitmap);
    const QRect whole(0, 0, 2, 2);
    QTest::newRow("STRETCHDIBITS") << kCanvasHeader + blit(kStretchDiBits, stretched, whole) + kEnd << stretchedPixels;
    QTest::newRow("BITBLT") << kCanvasHeader + blit(kBitBlt, QRect(1, 1, 2, 2), whole) + kEnd
                            << placed(kCanvas, QRect(1, 1, 2, 2), kBitmap);
    QTest::newRow("STRETCHBLT from the right column")
        << kCanvasHeader + blit(kStretchBlt, QRect(0, 0, 3, 4), QRect(1, 0, 1, 2)) + kEnd
        << placed(kCanvas, QRect(0, 0, 3, 4), kBitmap.copy(1, 0, 1, 2));
    QTest::newRow("SETDIBITSTODEVICE") << kCanvasHeader + blit(kSetDiBitsToDevice, QRect(5, 5, 2, 2), whole) + kEnd
                                       << placed(kCanvas, QRect(5, 5, 2, 2), kBitmap);
    // Source rows of a bottom-up bitmap count from its bottom: row 0 is blue and white.
    QTest::newRow("STRETCHDIBITS, source from the bottom")
        << kCanvasHeader + blit(kStretchDiBits, QRect(0, 0, 4, 2), QRect(0, 0, 2, 1)) + kEnd
        << placed(kCanvas, QRect(0, 0, 4, 2), kBitmap.copy(0, 1, 2, 1));
    QTest::newRow("bounds away from the origin")
        << header({100, 50, 109, 59}) + blit(kStretchDiBits, stretched.translated(100, 50), whole) + kEnd
        << stretchedPixels;
    QTest::newRow("mirrored") << kCanvasHeader + blit(kStretchDiBits, QRect(7, 2, -4, 6), whole) + kEnd
                              << placed(kCanvas, stretched, kBitmap.mirrored(true, false));
    QTest::newRow("anisotropic mapping") << kCanvasHeader + record(kSetMapMode, ints({8})) +
                                                record(kSetWindowExt, ints({20, 20})) +
                                                record(kSetViewportExt, ints({10, 10})) +
                                                blit(kStretchDiBits, QRect(6, 4, 8, 12), whole) + kEnd
                                         << stretchedPixels;
    // Floats 1, 0, 0, 1, 2, 3: a move by (2, 3).
    QTest::newRow("world transform") << kCanvasHeader +
                                            record(kSetWorldTransform,
                                                   ints({1065353216, 0, 0, 1065353216, 1073741824, 1077936128})) +
                                            blit(kStretchDiBits, QRect(1, -1, 4, 6), whole) + kEnd
                                     << stretchedPixels;
    QTest::newRow("vector records drawn as nothing")
        << kCanvasHeader + record(kRectangle, ints({0, 0, 9, 9})) + blit(kStretchDiBits, stretched, whole) + kEnd
        << stretchedPixels;
    QTest::newRow("no bitmap: a white canvas") << kCanvasHeader + kEnd << placed(kCanvas, QRect(), kBitmap);
}

void TestEmf::placesBitmaps()
{
    QFETCH(QByteArray, file);
    QFETCH(QImage, expected);
    QCOMPARE(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, QStringLiteral("case.emf"), file)), 0);
    QCOMPARE(imagetest::currentSlide(m_handle), expected);
}

void TestEmf::readsHeader_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QSize>("size");

    QTest::newRow("bounds") << header({-5, 10, 294, 29}) << QSize(300, 20);
    QTest::newRow("empty bounds: the frame") << header({0, 0, -1, -1}, {0, 0, 2475, 1225}) << QSize(100, 50);
}

void TestEmf::readsHeader()
{
    QFETCH(QByteArray, file);
    QFETCH(QSize, size);
    FlmFileInfo info;
    QCOMPARE(flmGetFileInfo(m_handle, imagetest::writeFile(m_dir, QStringLiteral("header.emf"), file), &info), 0);
    QCOMPARE(info.format, int(kFlmEmf));
    QCOMPARE(QSize(info.width, info.height), size);
    QCOMPARE(info.bitsPerPixel, 24);
}

void TestEmf::refusesHostileHeaders_data()
{
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("huge bounds") << header({0, 0, 100000, 9}) + kEnd;
    QTest::newRow("too many pixels") << header({0, 0, 19999, 19999}) + kEnd;
    QTest::newRow("bounds overflowing") << header({-2147483647 - 1, 0, 2147483647, 9}) + kEnd;
    QTest::newRow("empty bounds and frame") << header({0, 0, -1, -1}) + kEnd;
    QByteArray shortHeader = kCanvasHeader + kEnd;
    shortHeader[4] = 80;
    QTest::newRow("header record too short") << shortHeader;
}

void TestEmf::refusesHostileHeaders()
{
    QFETCH(QByteArray, file);
    QVERIFY(flmLoadFromFile(m_handle, imagetest::writeFile(m_dir, QStringLiteral("hostile.emf"), file)) != 0);
    QVERIFY(imagetest::isEmpty(m_handle));
}

void TestEmf::skipsDamagedRecords_data()
{
    QTest::addColumn<QByteArray>("records");

    const QRect whole(0, 0, 2, 2);
    const QRect target(0, 0, 4, 4);
    QByteArray outside = blit(kStretchDiBits, target, whole);
    outside[48 + 3] = char(0x7f); // the bitmap header 2 GiB past the record
    QTest::newRow("bitmap header outside the record") << outside;
    QByteArray bitsOutside = blit(kStretchDiBits, target, whole);
    bitsOutside[60 + 3] = char(0x7f); // 2 GiB of bits
    QTest::newRow("bits outside the record") << bitsOutside;
    QTest::newRow("palette indices") << blit(kStretchDiBits, target, whole, kBitmapInfo, kBitmapBits, 1);
    QTest::newRow("bits too short") << blit(kStretchDiBits, target, whole, kBitmapInfo, kBitmapBits.left(10));
    QTest::newRow("huge bitmap") << blit(kStretchDiBits, target, whole,
                                         ints({40, 100000, 100000}) + kBitmapInfo.mid(12));
    QTest::newRow("empty source") << blit(kStretchBlt, target, QRect(0, 0, 0, 2));
    QByteArray overflowing = blit(kStretchBlt, target, whole);
    overflowing.replace(44, 4, ints({2147483647})).replace(100, 4, ints({2147483647}));
    QTest::newRow("source rectangle overflowing") << overflowing;
    QTest::newRow("world transform of NaNs")
        << record(kSetWorldTransform, ints({0x7fc00000, 0, 0, 0x7fc00000, 0, 0})) + blit(kStretchDiBits, target, whole);
    QTest::newRow("stretched a million times") << blit(kStretchDiBits, QRect(0, 0, 2000000000, 4), whole);
    QTest::newRow("record of size 0") << ints({kStretchDiBits, 0}) + blit(kStretchDiBits, target, whole);
    QTest::newRow("record size not a multiple of 4")
        << ints({kStretchDiBits, 10}) + blit(kStretchDiBits, target, whole);
    QTest::newRow("record size past the end")
        << ints({kStretchDiBits, 0x7ffffff0}) + blit(kStretchDiBits, target, whole);
    // Run-length bitmaps of 4096 x 4096 pixels made of one end-of-bitmap code, each stretched
    // over the canvas: the first few are drawn (as their first palette colour), the rest skipped.
    const QByteArray bomb =
        ints({40, 4096, 4096}) + QByteArray("\x01\0\x08\0\x01\0\0\0", 8) + QByteArray(20, '\0') + ints({0xffffff});
    QByteArray bombs;
    for (int i = 0; i < 2000; ++i)
        bombs += blit(kStretchDiBits, QRect(0, 0, 10, 10), QRect(0, 0, 4096, 4096), bomb, QByteArray("\0\x01", 2));
    QTest::newRow("thousands of run-length bitmaps") << bombs;
}

void TestEmf::skipsDamagedRecords()
{
    QFETCH(QByteArray, records);
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("damaged.emf"), kCanvasHeader + records + kEnd);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    QCOMPARE(imagetest::currentSlide(m_handle), placed(kCanvas, QRect(), kBitmap));
}

void TestEmf::truncatedFilesKeepWholeRecords()
{
    const QByteArray bitmap = blit(kStretchDiBits, QRect(3, 2, 4, 6), QRect(0, 0, 2, 2));
    const QByteArray file = kCanvasHeader + bitmap + kEnd;
    const qsizetype headerEnd = kCanvasHeader.size();
    for (qsizetype length = 0; length <= file.size(); ++length) {
        QVERIFY(m_handle.reopen());
        const QString path = imagetest::writeFile(m_dir, QStringLiteral("cut.emf"), file.left(length));
        QCOMPARE(flmLoadFromFile(m_handle, path) == 0, length >= headerEnd);
        if (length >= headerEnd)
            QCOMPARE(imagetest::currentSlide(m_handle),
                     placed(kCanvas, length >= headerEnd + bitmap.size() ? QRect(3, 2, 4, 6) : QRect(), kBitmap));
    }
}

void TestEmf::thumbnailsDrawSmaller()
{
    const QString path = imagetest::writeFile(
        m_dir, QStringLiteral("large.emf"),
        header({0, 0, 199, 99}) + blit(kStretchDiBits, QRect(0, 0, 200, 100), QRect(0, 0, 2, 2)) + kEnd);
    QCOMPARE(flmSetLoadSizeHint(m_handle, 50, 50), 0);
    QCOMPARE(flmLoadFromFile(m_handle, path), 0);
    const QImage thumbnail = imagetest::currentSlide(m_handle);
    QCOMPARE(thumbnail.size(), QSize(50, 25));
    // Each quarter of the picture is one pixel of the bitmap.
    QCOMPARE(thumbnail.pixel(5, 5), kBitmap.pixel(0, 0));
    QCOMPARE(thumbnail.pixel(45, 20), kBitmap.pixel(1, 1));
}

void TestEmf::cancelStopsLoading()
{
    const QString path =
        imagetest::writeFile(m_dir, QStringLiteral("cancel.emf"),
                             kCanvasHeader + blit(kStretchDiBits, QRect(0, 0, 4, 4), QRect(0, 0, 2, 2)) + kEnd);
    flmSetCallback(m_handle, imagetest::cancelAtProgress, nullptr);
    QVERIFY(flmLoadFromFile(m_handle, path) != 0);
    QVERIFY(imagetest::isEmpty(m_handle));
}

QTEST_GUILESS_MAIN(TestEmf)
#include "tst_emf.moc"
