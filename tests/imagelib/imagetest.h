#pragma once
// What the image library's tests share: a handle that closes itself, the current slide as the
// library draws it, files in a temporary folder, byte-order writers for hand-made headers, a
// picture that does not compress, TIFF tag patching, pixel comparisons with a tolerance and
// GraphicsMagick's view of a written file.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include "imagelib/flm.h"

namespace imagetest {

// A library handle that closes itself.
class Handle {
public:
    Handle() { flmOpenHandle(&m_handle); }
    ~Handle() { flmCloseHandle(m_handle); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    operator FLMHANDLE() const { return m_handle; }

    // A test class holding one handle calls this from init(), so that no test function starts
    // with the picture, size hint or callback the one before left behind.
    bool reopen()
    {
        flmCloseHandle(m_handle);
        m_handle = nullptr;
        return flmOpenHandle(&m_handle) == 0;
    }

private:
    FLMHANDLE m_handle = nullptr;
};

// Width and height of the current slide; QSize() when the handle holds no picture.
inline QSize slideSize(FLMHANDLE handle)
{
    int size[2] = {-1, -1};
    return flmGetSize(handle, -1, size) == 0 ? QSize(size[0], size[1]) : QSize();
}

// The current slide drawn unscaled, its pixels copied rather than blended so that alpha and
// colour come out exactly as decoded; a null image when the handle holds no picture.
inline QImage currentSlide(FLMHANDLE handle)
{
    const QSize size = slideSize(handle);
    if (size.isEmpty())
        return {};
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const FlmRect origin;
    flmPlay(handle, &painter, &origin, 0);
    painter.end();
    return image;
}

// -1 when the handle cannot say.
inline int slideCount(FLMHANDLE handle)
{
    int slides = -1;
    return flmGetSlidesNumber(handle, &slides) == 0 ? slides : -1;
}

inline bool isEmpty(FLMHANDLE handle)
{
    int empty = 0;
    return flmIsEmpty(handle, &empty) == 0 && empty != 0;
}

// Cancels a load or save at its first progress report.
inline int cancelAtProgress(const FlmCallbackRecord* record)
{
    return record->event == kFlmProgress ? 0 : 1;
}

// Saves the picture as `name` in `dir`, at `quality` where the format has one (0: its default).
// Returns the path, or a null string when the save failed.
inline QString save(FLMHANDLE handle, const QTemporaryDir& dir, const QString& name, int format, int quality = 0)
{
    FlmSaveOptions options;
    options.field[FlmSaveOptions::kFormat] = format;
    options.field[FlmSaveOptions::kQuality] = quality;
    const QString path = dir.filePath(name);
    return flmSaveToFile(handle, &options, path) == 0 ? path : QString();
}

// Writes `bytes` as `name` in `dir` and returns the path. A test without its input file would
// check nothing, so a failed write stops the run.
inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Empty when the file cannot be read.
inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

template <typename Word> void appendWord(QByteArray& bytes, Word value, QSysInfo::Endian order)
{
    char stored[sizeof(Word)];
    if (order == QSysInfo::BigEndian)
        qToBigEndian(value, stored);
    else
        qToLittleEndian(value, stored);
    bytes.append(stored, sizeof stored);
}

inline void append16(QByteArray& bytes, quint16 value, QSysInfo::Endian order = QSysInfo::LittleEndian)
{
    appendWord(bytes, value, order);
}

inline void append32(QByteArray& bytes, quint32 value, QSysInfo::Endian order = QSysInfo::LittleEndian)
{
    appendWord(bytes, value, order);
}

// Every pixel different from its neighbours: data that does not compress away, so that a cut
// anywhere falls into coded pixels.
inline QImage noise(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1103515245 + 12345;
            image.setPixel(x, y, qRgb(int(state >> 24), int(state >> 16) & 0xff, int(state >> 8) & 0xff));
        }
    }
    return image;
}

// Offset of the n-th directory of a little-endian classic TIFF.
inline quint32 directoryOffset(const QByteArray& tiff, int page)
{
    quint32 offset = qFromLittleEndian<quint32>(tiff.constData() + 4);
    for (int i = 0; i < page; ++i) {
        const quint16 entries = qFromLittleEndian<quint16>(tiff.constData() + offset);
        offset = qFromLittleEndian<quint32>(tiff.constData() + offset + 2 + 12 * entries);
    }
    return offset;
}

// Sets a single-valued SHORT or LONG tag of a page of a little-endian classic TIFF; false when
// the page has no such tag.
inline bool patchTag(QByteArray& tiff, int page, quint16 tag, quint32 value)
{
    constexpr quint16 kShort = 3; // the field type TIFF_SHORT
    const quint32 directory = directoryOffset(tiff, page);
    const quint16 entries = qFromLittleEndian<quint16>(tiff.constData() + directory);
    for (quint16 i = 0; i < entries; ++i) {
        char* entry = tiff.data() + directory + 2 + 12 * i;
        if (qFromLittleEndian<quint16>(entry) != tag || qFromLittleEndian<quint32>(entry + 4) != 1)
            continue;
        if (qFromLittleEndian<quint16>(entry + 2) == kShort)
            qToLittleEndian<quint16>(quint16(value), entry + 8);
        else
            qToLittleEndian<quint32>(value, entry + 8);
        return true;
    }
    return false;
}

// Every channel, alpha included, within `tolerance` of the expected one.
inline bool near(QRgb actual, QRgb expected, int tolerance)
{
    return qAbs(qRed(actual) - qRed(expected)) <= tolerance && qAbs(qGreen(actual) - qGreen(expected)) <= tolerance &&
           qAbs(qBlue(actual) - qBlue(expected)) <= tolerance && qAbs(qAlpha(actual) - qAlpha(expected)) <= tolerance;
}

// Mean absolute difference of the colour channels, 0 to 255; 255 when the sizes differ.
inline double meanDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
}

// What `gm identify -format <format>` prints for the file, trimmed; a null string when gm fails.
inline QString identify(const QString& gm, const QString& format, const QString& path)
{
    QProcess process;
    process.start(gm, {QStringLiteral("identify"), QStringLiteral("-format"), format, path});
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace imagetest
