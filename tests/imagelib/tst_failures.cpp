// Why a load, a save or a change failed, as the handle tells it afterwards: broken and hostile
// files of every reader family, saves the disk or the format refuses, changes the picture cannot
// take. Every failure names its code and its words; a success forgets them.
#if __has_include(<sys/fsuid.h>)
#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>
#define PIXORIA_POSIX_CREDENTIALS 1
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "imagelib/flm.h"
#include "imagelib/imagetest.h"
#include "imagelib/limits.h"

using imagetest::append16;
using imagetest::append32;

namespace {

constexpr auto kBig = QSysInfo::BigEndian;

// What a file operation meets besides the file itself.
enum Circumstance : int {
    kOwnFiles,   // the test's own files, as their owner
    kStranger,   // another user, whom the file or folder grants nothing (root passes every check)
    kSmallFiles, // a system that lets no file grow past a few KiB, as a full disk does
};

// Runs `work` in these circumstances; false when they cannot be arranged here.
template <typename Work> bool runIn(Circumstance circumstance, Work work)
{
    if (circumstance == kOwnFiles) {
        work();
        return true;
    }
#ifdef PIXORIA_POSIX_CREDENTIALS
    if (circumstance == kStranger) {
        // On Linux the file-system user id alone decides access.
        constexpr uid_t kNobody = 65534;
        const uid_t own = geteuid();
        if (own == 0)
            setfsuid(kNobody);
        work();
        if (own == 0)
            setfsuid(own);
        return true;
    }
    constexpr rlim_t kLargestFile = 4096;
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{kLargestFile, old.rlim_max};
    // A write past the limit then fails with its error instead of ending the process.
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    work();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    return true;
#else
    Q_UNUSED(work);
    return false;
#endif
}

// Saves the noise picture in `format` through the library and returns the file's bytes.
QByteArray written(const QTemporaryDir& dir, int format, QSize size = QSize(64, 48))
{
    const QString source = dir.filePath(QStringLiteral("noise.png"));
    if (!imagetest::noise(size.width(), size.height()).save(source, "PNG"))
        return {};
    imagetest::Handle handle;
    if (flmLoadFromFile(handle, source) != 0)
        return {};
    return imagetest::readFile(imagetest::save(handle, dir, QStringLiteral("written.%1").arg(format), format));
}

QByteArray patched(QByteArray bytes, qsizetype at, const QByteArray& replacement)
{
    return bytes.replace(at, replacement.size(), replacement);
}

QByteArray bigEndian16(quint16 value)
{
    QByteArray bytes;
    append16(bytes, value, kBig);
    return bytes;
}

// The offset of the first marker `marker` of a JPEG stream.
qsizetype markerAt(const QByteArray& jpeg, uchar marker)
{
    return jpeg.indexOf(QByteArray("\xff", 1) + char(marker));
}

// An icon of one 8 x 8 32-bit DIB entry whose header states `width` x `height`.
QByteArray icon(int width, int height)
{
    QByteArray dib;
    append32(dib, 40);
    append32(dib, quint32(width));
    append32(dib, quint32(2 * height));
    append16(dib, 1);
    append16(dib, 32);
    dib += QByteArray(24, '\0') + QByteArray(8 * 8 * 4 + 8 * 4, '\x40');
    QByteArray file("\0\0\1\0\1\0", 6);
    file += QByteArray("\x08\x08\0\0\1\0\x20\0", 8);
    append32(file, quint32(dib.size()));
    append32(file, 22);
    return file + dib;
}

// A GEM image of one plane 16 pixels wide at most, with `rows` rows, each one solid black run.
QByteArray gem(int width, int height, int rows)
{
    QByteArray file;
    for (const int word : {1, 8, 1, 2, 85, 85, width, height})
        append16(file, quint16(word), kBig);
    return file + QByteArray(rows, char(0x80 | 2));
}

// An ILBM picture: its BMHD states the size, planes and compression; the body holds `body`.
QByteArray ilbm(int width, int height, int planes, int compression, const QByteArray& body)
{
    QByteArray header;
    append16(header, quint16(width), kBig);
    append16(header, quint16(height), kBig);
    header += QByteArray(4, '\0') + char(planes) + '\0' + char(compression) + QByteArray(9, '\0');
    QByteArray chunks = "ILBMBMHD";
    append32(chunks, quint32(header.size()), kBig);
    chunks += header + "BODY";
    append32(chunks, quint32(body.size()), kBig);
    chunks += body;
    QByteArray file = "FORM";
    append32(file, quint32(chunks.size()), kBig);
    return file + chunks;
}

// A lossless WebP whose bitstream header states `width` x `height`, then `data`.
QByteArray webp(int width, int height, const QByteArray& data)
{
    QByteArray bitstream(1, '\x2f');
    append32(bitstream, quint32(width - 1) | quint32(height - 1) << 14);
    bitstream += data;
    QByteArray chunk = "VP8L";
    append32(chunk, quint32(bitstream.size()));
    chunk += bitstream + QByteArray(bitstream.size() % 2, '\0'); // chunks are padded to even sizes
    QByteArray file = "RIFF";
    append32(file, quint32(4 + chunk.size()));
    return file + "WEBP" + chunk;
}

// An ISO media box.
QByteArray box(const char* type, const QByteArray& content)
{
    QByteArray bytes;
    append32(bytes, quint32(8 + content.size()), kBig);
    return bytes + type + content;
}

// A HEIC file: its file type box, then `rest`.
QByteArray heic(const QByteArray& rest)
{
    return box("ftyp", QByteArray("heic\0\0\0\0mif1heic", 16)) + rest;
}

// A level-1 WordPerfect graphics file whose only record embeds PostScript.
QByteArray wpgWithPostScript()
{
    return QByteArray("\xff\x57\x50\x43\x10\0\0\0\x01\x16\x01\0\0\0\0\0", 16) + QByteArray("\x11\x04%!PS", 6) +
           QByteArray("\x10\0", 2);
}

FlmError lastError(FLMHANDLE handle)
{
    FlmError error;
    if (flmGetLastError(handle, &error) != 0)
        error.code = -1;
    return error;
}

} // namespace

class TestFailures : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void loadSaysWhy_data();
    void loadSaysWhy();
    void unreadableFileSaysWhy_data();
    void unreadableFileSaysWhy();
    void saveSaysWhy_data();
    void saveSaysWhy();
    void changeSaysWhy_data();
    void changeSaysWhy();
    void lowerLimitsReachEveryReader_data();
    void lowerLimitsReachEveryReader();
    void fileSizeLimit_data();
    void fileSizeLimit();

private:
    QTemporaryDir m_dir;
    QString m_good;
};

void TestFailures::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_good = m_dir.filePath(QStringLiteral("good.png"));
    QVERIFY(imagetest::noise(8, 6).save(m_good, "PNG"));
}

void TestFailures::loadSaysWhy_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    const auto row = [](const char* tag, const char* name, const QByteArray& bytes, int code, const char* text) {
        QVERIFY2(!bytes.isEmpty() || code == kFlmErrorNotPicture, tag);
        QTest::newRow(tag) << QString::fromLatin1(name) << bytes << code << QString::fromLatin1(text);
    };
    row("empty file", "empty.jpg", {}, kFlmErrorNotPicture, "not a picture");
    row("text", "notes.png", "Just some words.\n", kFlmErrorNotPicture, "not a picture");

    const QByteArray jpeg = written(m_dir, kFlmJpeg);
    const qsizetype frame = markerAt(jpeg, 0xc0);
    row("JPEG cut in its header", "a.jpg", jpeg.left(frame + 4), kFlmErrorTruncated, "truncated file");
    row("JPEG cut before its first row", "a.jpg", jpeg.left(markerAt(jpeg, 0xda) + 20), kFlmErrorTruncated,
        "truncated file");
    row("JPEG garbage after the start", "a.jpg", QByteArray("\xff\xd8\xff\x01garbage\xff\x00garbage", 20),
        kFlmErrorDamaged, "damaged file");
    row("JPEG of 65,000 x 65,000 pixels", "a.jpg", patched(jpeg, frame + 5, QByteArray("\xfd\xe8\xfd\xe8", 4)),
        kFlmErrorTooLarge, "too large: 65,000 x 65,000 pixels");
    row("JPEG of 12 bits", "a.jpg", patched(jpeg, frame + 4, "\x0c"), kFlmErrorUnsupported,
        "unsupported variant: 12-bit JPEG");
    row("lossless JPEG", "a.jpg", patched(jpeg, frame + 1, "\xc3"), kFlmErrorUnsupported,
        "unsupported variant: lossless JPEG");

    const QByteArray png = written(m_dir, kFlmPng);
    row("PNG cut in half", "a.png", png.left(png.size() / 2), kFlmErrorTruncated, "truncated file");
    row("PNG with a damaged header", "a.png", patched(png, 12, "IHDX"), kFlmErrorDamaged, "damaged file");
    row("PNG of 100,000 x 70,000 pixels", "a.png", patched(png, 16, QByteArray("\0\x01\x86\xa0\0\x01\x11\x70", 8)),
        kFlmErrorTooLarge, "too large: 100,000 x 70,000 pixels");

    const QByteArray gif = written(m_dir, kFlmGif);
    row("GIF cut in half", "a.gif", gif.left(gif.size() / 2), kFlmErrorTruncated, "truncated file");
    row("GIF screen only", "a.gif", gif.left(13), kFlmErrorTruncated, "truncated file");
    row("GIF of 65,535 x 65,535 pixels", "a.gif", patched(gif, 6, QByteArray(4, '\xff')), kFlmErrorTooLarge,
        "too large: 65,535 x 65,535 pixels");
    // Without a global colour table, so that the garbage is read as records.
    row("GIF with garbage for records", "a.gif", patched(gif.left(13), 10, QByteArray(1, '\0')) + QByteArray(40, 'w'),
        kFlmErrorDamaged, "damaged file");

    const QByteArray tiff = written(m_dir, kFlmTiff);
    row("TIFF cut in half", "a.tif", tiff.left(tiff.size() / 2), kFlmErrorTruncated, "truncated file");
    QByteArray hugeTiff = tiff;
    QVERIFY(imagetest::patchTag(hugeTiff, 0, 256, 60000) && imagetest::patchTag(hugeTiff, 0, 257, 60000));
    row("TIFF of 60,000 x 60,000 pixels", "a.tif", hugeTiff, kFlmErrorTooLarge, "too large: 60,000 x 60,000 pixels");
    QByteArray strange = tiff;
    QVERIFY(imagetest::patchTag(strange, 0, 259, 34712)); // JPEG 2000, which libtiff lacks
    row("TIFF in JPEG 2000", "a.tif", strange, kFlmErrorUnsupported, "unsupported variant: TIFF compression 34712");
    row("TIFF directory of garbage", "a.tif", QByteArray("II*\0\x08\0\0\0\x05\0", 10) + QByteArray(80, '\x33'),
        kFlmErrorDamaged, "damaged file");

    const QByteArray bmp = written(m_dir, kFlmBmp);
    row("BMP cut in half", "a.bmp", bmp.left(bmp.size() / 2), kFlmErrorTruncated, "truncated file");
    row("BMP of 100,000 x 100,000 pixels", "a.bmp", patched(bmp, 18, QByteArray("\xa0\x86\x01\0\xa0\x86\x01\0", 8)),
        kFlmErrorTooLarge, "too large: 100,000 x 100,000 pixels");
    row("BMP holding a JPEG", "a.bmp", patched(bmp, 30, QByteArray("\x04", 1)), kFlmErrorUnsupported,
        "unsupported variant: JPEG inside a BMP");
    row("BMP of 3 bits", "a.bmp", patched(bmp, 28, QByteArray("\x03", 1)), kFlmErrorUnsupported,
        "unsupported variant: 3-bit BMP");

    row("icon cut in its entry", "a.ico", icon(8, 8).left(100), kFlmErrorTruncated, "truncated file");
    row("icon of 100,000 x 100,000 pixels", "a.ico", icon(100000, 100000), kFlmErrorTooLarge,
        "too large: 100,000 x 100,000 pixels");

    const QByteArray psd = written(m_dir, kFlmPsd);
    row("Photoshop cut in half", "a.psd", psd.left(psd.size() / 2), kFlmErrorTruncated, "truncated file");
    row("Photoshop of 300,000 x 300,000 pixels", "a.psd",
        patched(psd, 14, QByteArray("\0\x04\x93\xe0\0\x04\x93\xe0", 8)), kFlmErrorTooLarge,
        "too large: 300,000 x 300,000 pixels");
    row("Photoshop of 32 bits", "a.psd", patched(psd, 22, bigEndian16(32)), kFlmErrorUnsupported,
        "unsupported variant: 32-bit RGB Photoshop");

    const QByteArray emf = written(m_dir, kFlmEmf);
    row("EMF of 100,000 x 10 pixels", "a.emf", patched(emf, 16, QByteArray("\x9f\x86\x01\0\x09\0\0\0", 8)),
        kFlmErrorTooLarge, "too large: 100,000 x 10 pixels");
    row("EMF with bounds past any number", "a.emf",
        patched(emf, 8, QByteArray("\0\0\0\x80\0\0\0\0\xff\xff\xff\x7f", 12)), kFlmErrorDamaged, "damaged file");

    row("GEM image cut short", "a.img", gem(16, 4, 2), kFlmErrorTruncated, "truncated file");
    row("GEM image of 65,535 x 65,535 pixels", "a.img", gem(65535, 65535, 1), kFlmErrorTooLarge,
        "too large: 65,535 x 65,535 pixels");

    row("ILBM cut in its body", "a.iff", ilbm(16, 4, 1, 0, QByteArray(4, '\x0f')), kFlmErrorTruncated,
        "truncated file");
    row("ILBM of 12 planes", "a.iff", ilbm(16, 4, 12, 0, QByteArray(200, '\0')), kFlmErrorUnsupported,
        "unsupported variant: ILBM with 12 planes");
    row("ILBM of an unknown packing", "a.iff", ilbm(16, 4, 1, 2, QByteArray(8, '\0')), kFlmErrorUnsupported,
        "unsupported variant: IFF compression 2");

    row("WebP cut after its header", "a.webp", webp(64, 64, QByteArray(64, '\0')).left(26), kFlmErrorTruncated,
        "truncated file");
    row("WebP of garbage", "a.webp", patched(webp(64, 64, QByteArray(39, '\x55')), 12, "VP8 "), kFlmErrorDamaged,
        "damaged file");

    QByteArray cutMeta = box("meta", QByteArray(4, '\0') + box("hdlr", QByteArray(24, '\0')));
    row("HEIC cut in its metadata", "a.heic", heic(cutMeta.left(20)), kFlmErrorTruncated, "truncated file");
    row("HEIC without metadata", "a.heic", heic(box("free", "abcd")), kFlmErrorDamaged, "damaged file");

    const QByteArray pcx = written(m_dir, kFlmPcx);
    row("PCX cut in half", "a.pcx", pcx.left(200), kFlmErrorTruncated, "truncated file");
    row("PCX of 65,535 x 65,535 pixels", "a.pcx",
        patched(patched(pcx, 8, QByteArray("\xfe\xff\xfe\xff", 4)), 66, QByteArray("\xff\xff", 2)), kFlmErrorTooLarge,
        "too large: 65,535 x 65,535 pixels");
    row("PPM of 100,000 x 100,000 pixels", "a.ppm", "P6\n100000 100000\n255\n" + QByteArray(64, '\0'),
        kFlmErrorTooLarge, "too large: 100,000 x 100,000 pixels");
    row("WordPerfect graphics with PostScript", "a.wpg", wpgWithPostScript(), kFlmErrorUnsupported,
        "unsupported variant: WordPerfect graphics with PostScript");
}

void TestFailures::loadSaysWhy()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(int, code);
    QFETCH(QString, text);

    imagetest::Handle handle;
    QCOMPARE(flmLoadFromFile(handle, m_good), 0);
    QCOMPARE(lastError(handle).code, int(kFlmErrorNone));
    QVERIFY(flmLoadFromFile(handle, imagetest::writeFile(m_dir, name, bytes)) != 0);
    const FlmError error = lastError(handle);
    QCOMPARE(error.text, text);
    QCOMPARE(error.code, code);
    QCOMPARE(error.action, int(kFlmActionRead));
    // The old picture is kept (or, when its pixels were taken, nothing), and a success forgets.
    QCOMPARE(flmLoadFromFile(handle, m_good), 0);
    QCOMPARE(lastError(handle).code, int(kFlmErrorNone));
    QVERIFY(lastError(handle).text.isEmpty());
}

void TestFailures::unreadableFileSaysWhy_data()
{
    QTest::addColumn<QString>("path"); // relative to the test folder
    QTest::addColumn<int>("circumstance");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("missing file") << "missing.png" << int(kOwnFiles) << int(kFlmErrorNotFound) << "file not found";
    QTest::newRow("missing folder") << "nowhere/missing.png" << int(kOwnFiles) << int(kFlmErrorNotFound)
                                    << "folder not found";
    QTest::newRow("a folder") << "folder.png" << int(kOwnFiles) << int(kFlmErrorNotPicture)
                              << "not a picture: a folder";
    QTest::newRow("file only its owner reads")
        << "private.png" << int(kStranger) << int(kFlmErrorPermission) << "permission denied";
}

void TestFailures::unreadableFileSaysWhy()
{
    QFETCH(QString, path);
    QFETCH(int, circumstance);
    QFETCH(int, code);
    QFETCH(QString, text);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.png")));
    const QString privateFile = m_dir.filePath(QStringLiteral("private.png"));
    if (!QFile::exists(privateFile)) {
        QVERIFY(QFile::copy(m_good, privateFile));
        QVERIFY(QFile::setPermissions(privateFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    }

    imagetest::Handle handle;
    int loaded = 0;
    int canOpen = 0;
    const auto open = [&] {
        canOpen = flmCanOpen(handle, m_dir.filePath(path), nullptr);
        loaded = flmLoadFromFile(handle, m_dir.filePath(path));
    };
    if (!runIn(Circumstance(circumstance), open))
        QSKIP("this system cannot check a file's permissions as another user");
    QCOMPARE(canOpen, 0);
    QVERIFY(loaded != 0);
    const FlmError error = lastError(handle);
    QCOMPARE(error.text, text);
    QCOMPARE(error.code, code);
}

void TestFailures::saveSaysWhy_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("target"); // relative to the test folder
    QTest::addColumn<int>("circumstance");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    const QSize small(8, 6);
    QTest::newRow("missing folder") << small << int(kFlmBmp) << "nowhere/a.bmp" << int(kOwnFiles)
                                    << int(kFlmErrorNotFound) << "folder not found";
    QTest::newRow("folder only its owner writes")
        << small << int(kFlmBmp) << "locked/a.bmp" << int(kStranger) << int(kFlmErrorPermission) << "permission denied";
    QTest::newRow("file larger than the system lets it grow")
        << QSize(200, 200) << int(kFlmBmp) << "large.bmp" << int(kSmallFiles) << int(kFlmErrorIo) << "write failed";
    QTest::newRow("a format without a writer")
        << small << int(kFlmPhotoCd) << "a.pcd" << int(kOwnFiles) << int(kFlmErrorUnsupported)
        << "unsupported variant: no writer for format 14";
    QTest::newRow("Photoshop wider than 30,000 pixels")
        << QSize(30001, 1) << int(kFlmPsd) << "wide.psd" << int(kOwnFiles) << int(kFlmErrorTooLarge)
        << "too large: over 30,000 pixels a side for Photoshop";
    QTest::newRow("PCX wider than its rows hold")
        << QSize(65535, 1) << int(kFlmPcx) << "wide.pcx" << int(kOwnFiles) << int(kFlmErrorTooLarge)
        << "too large: over 65,534 pixels a side for PCX";
}

void TestFailures::saveSaysWhy()
{
    QFETCH(QSize, size);
    QFETCH(int, format);
    QFETCH(QString, target);
    QFETCH(int, circumstance);
    QFETCH(int, code);
    QFETCH(QString, text);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("locked")));
    QVERIFY(QFile::setPermissions(m_dir.filePath(QStringLiteral("locked")),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                      QFileDevice::ReadOther | QFileDevice::ExeOther));
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QString source = m_dir.filePath(QStringLiteral("source.bmp"));
    QVERIFY(picture.save(source, "BMP"));
    imagetest::Handle handle;
    QCOMPARE(flmLoadFromFile(handle, source), 0);

    FlmSaveOptions options;
    options.field[FlmSaveOptions::kFormat] = format;
    int saved = 0;
    const auto save = [&] { saved = flmSaveToFile(handle, &options, m_dir.filePath(target)); };
    if (!runIn(Circumstance(circumstance), save))
        QSKIP("this system cannot arrange the circumstances of this save");
    QVERIFY(saved != 0);
    QVERIFY(!QFile::exists(m_dir.filePath(target)));
    const FlmError error = lastError(handle);
    QCOMPARE(error.text, text);
    QCOMPARE(error.code, code);
    QCOMPARE(error.action, int(kFlmActionWrite));
}

void TestFailures::changeSaysWhy_data()
{
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<int>("change"); // 0 rotate by 45, 1 rotate by 90, 2 crop outside
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    QTest::newRow("turn by 45 degrees") << true << 0 << int(kFlmErrorInvalid) << "angle of 45 degrees";
    QTest::newRow("turn without a picture") << false << 1 << int(kFlmErrorInvalid) << "no picture";
    QTest::newRow("crop outside the picture") << true << 2 << int(kFlmErrorInvalid) << "rectangle outside the picture";
}

void TestFailures::changeSaysWhy()
{
    QFETCH(bool, loaded);
    QFETCH(int, change);
    QFETCH(int, code);
    QFETCH(QString, text);

    imagetest::Handle handle;
    if (loaded)
        QCOMPARE(flmLoadFromFile(handle, m_good), 0);
    switch (change) {
    case 0:
        QVERIFY(flmRotate(handle, 45, 0, 0, 0) != 0);
        break;
    case 1:
        QVERIFY(flmRotate(handle, 90, 0, 0, 0) != 0);
        break;
    default:
        QVERIFY(flmCrop(handle, 4, 4, 5, 5, 0, 1) != 0);
        break;
    }
    const FlmError error = lastError(handle);
    QCOMPARE(error.text, text);
    QCOMPARE(error.code, code);
    QCOMPARE(error.action, int(kFlmActionEdit));
    if (loaded) {
        QCOMPARE(imagetest::slideSize(handle), QSize(8, 6)); // the picture is whole
        QCOMPARE(flmRotate(handle, 90, 0, 0, 0), 0);
        QCOMPARE(lastError(handle).code, int(kFlmErrorNone));
    }
}

// Fuzz targets lower the limits to reach deep in little time: every reader must then refuse what
// passes them, or a target would still spend its time on gigabyte canvases.
void TestFailures::lowerLimitsReachEveryReader_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");

    const char* const pixels = "too large: 64 x 48 pixels";
    const struct {
        int format;
        const char* name;
    } written[] = {{kFlmBmp, "a.bmp"}, {kFlmGif, "a.gif"}, {kFlmJpeg, "a.jpg"}, {kFlmPng, "a.png"}, {kFlmTiff, "a.tif"},
                   {kFlmPsd, "a.psd"}, {kFlmEmf, "a.emf"}, {kFlmPcx, "a.pcx"},  {kFlmPpm, "a.ppm"}, {kFlmTga, "a.tga"}};
    for (const auto& file : written)
        QTest::newRow(file.name) << file.format << file.name << pixels;
}

void TestFailures::lowerLimitsReachEveryReader()
{
    QFETCH(int, format);
    QFETCH(QString, name);
    QFETCH(QString, text);
    const QString path = imagetest::writeFile(m_dir, QStringLiteral("small-") + name, written(m_dir, format));

    imagelib::Limits lower;
    lower.maxPixels = 64 * 48 - 1;
    imagelib::setLimits(lower);
    imagetest::Handle handle;
    const int loaded = flmLoadFromFile(handle, path);
    const FlmError error = lastError(handle);
    imagelib::setLimits(imagelib::Limits());
    QVERIFY(loaded != 0);
    QCOMPARE(error.text, text);
    QCOMPARE(flmLoadFromFile(handle, path), 0);
}

void TestFailures::fileSizeLimit_data()
{
    QTest::addColumn<int>("overLimit"); // bytes the file has beyond the limit

    QTest::newRow("under the limit") << -1;
    QTest::newRow("at the limit") << 0;
    QTest::newRow("one byte over") << 1;
    QTest::newRow("far over") << 100000;
}

// The whole file is read after its head: the limit holds for the bytes read on, not only for
// the size the file reports at first.
void TestFailures::fileSizeLimit()
{
    QFETCH(int, overLimit);
    const QString path = m_dir.filePath(QStringLiteral("noise.png"));
    QVERIFY(imagetest::noise(400, 300).save(path, "PNG"));
    const qint64 size = QFileInfo(path).size();
    QVERIFY(size > overLimit && size > 4096); // far more than the head the reader looks at first

    imagelib::Limits lower;
    lower.maxFileBytes = size - overLimit;
    imagelib::setLimits(lower);
    imagetest::Handle handle;
    const int loaded = flmLoadFromFile(handle, path);
    const FlmError error = lastError(handle);
    imagelib::setLimits(imagelib::Limits());
    QCOMPARE(loaded == 0, overLimit <= 0);
    QCOMPARE(error.code, overLimit <= 0 ? int(kFlmErrorNone) : int(kFlmErrorTooLarge));
}

QTEST_MAIN(TestFailures)
#include "tst_failures.moc"
