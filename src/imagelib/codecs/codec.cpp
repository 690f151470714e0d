#include "imagelib/codecs/codec.h"

#include <utility>

#include <QFile>

#include "imagelib/limits.h"

namespace imagelib {

namespace {

Failure fileTooLarge()
{
    return Failure::tooLarge(QStringLiteral("file over ") + bytesText(limits().maxFileBytes));
}

} // namespace

SourceFile::SourceFile(QString path) : m_path(std::move(path))
{
    if (m_path.isEmpty())
        m_failure = {kFlmErrorNotFound, QStringLiteral("file not found")};
}

SourceFile::SourceFile(QByteArray data, QString path)
    : m_path(std::move(path)), m_data(std::move(data)), m_complete(true)
{
    if (m_data.size() > limits().maxFileBytes)
        m_failure = fileTooLarge();
}

SourceFile::SourceFile(QIODevice& device) : m_device(&device) {}

QByteArrayView SourceFile::head(qsizetype n)
{
    if (m_failure.failed())
        return {};
    if (!m_complete && m_data.size() < n) {
        if (m_device) {
            readHead(*m_device, n);
        } else {
            QFile file(m_path);
            if (!file.open(QIODevice::ReadOnly)) {
                m_failure = Failure::ofFile(file);
                return {};
            }
            readHead(file, n);
            if (file.error() != QFileDevice::NoError) {
                m_failure = Failure::ofFile(file);
                return {};
            }
        }
    }
    return QByteArrayView(m_data).first(qMin(n, m_data.size()));
}

void SourceFile::readHead(QIODevice& device, qsizetype n)
{
    // A regular file is never asked for more than it holds, so nothing is reserved in vain;
    // special files report size 0 and are read as asked.
    const qint64 size = device.size();
    m_data = device.seek(0) ? device.read(size > 0 ? qMin<qint64>(n, size) : n) : QByteArray();
    if (m_data.size() < n)
        m_complete = true; // the whole file is shorter than asked
}

const QByteArray* SourceFile::all()
{
    if (m_failure.failed())
        return nullptr;
    if (!m_complete) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_failure = Failure::ofFile(file);
            return nullptr;
        }
        if (file.size() > limits().maxFileBytes) {
            m_failure = fileTooLarge();
            return nullptr;
        }
        // A regular file in one read of its size, which is never trusted alone: special files
        // report 0, and a file may grow while it is read. Reads ask for no more than they need,
        // so that a small file never costs a large buffer.
        constexpr qint64 kChunkBytes = 64 * 1024;
        QByteArray data = file.read(file.size());
        while (file.error() == QFileDevice::NoError && !file.atEnd()) {
            const QByteArray chunk = file.read(kChunkBytes);
            if (chunk.isEmpty())
                break;
            if (data.size() + chunk.size() > limits().maxFileBytes) {
                m_failure = fileTooLarge();
                return nullptr;
            }
            data += chunk;
        }
        if (file.error() != QFileDevice::NoError) {
            m_failure = Failure::ofFile(file);
            return nullptr;
        }
        m_data = std::move(data);
        m_complete = true;
    }
    return &m_data;
}

namespace {

class AbsentCodec final : public Codec {
public:
    int format() const override { return -1; }
    QString description() const override { return {}; }
    QStringList extensions() const override { return {}; }
    bool sniff(QByteArrayView) const override { return false; }
    bool readHeader(SourceFile&, HeaderInfo&) const override { return false; }
    bool decode(SourceFile&, const DecodeContext&, Picture&) const override { return false; }
};

class AbsentWriter final : public Writer {
public:
    int format() const override { return -1; }
    bool write(const SaveRequest&, QIODevice&) const override { return false; }
};

template <typename Entry> std::vector<const Entry*> present(std::initializer_list<const Entry*> entries)
{
    std::vector<const Entry*> result;
    for (const Entry* entry : entries) {
        if (entry->format() >= 0)
            result.push_back(entry);
    }
    return result;
}

} // namespace

const Codec* absentCodec()
{
    static const AbsentCodec codec;
    return &codec;
}

const Writer* absentWriter()
{
    static const AbsentWriter writer;
    return &writer;
}

const std::vector<const Codec*>& codecs()
{
    // Formats with strong signatures first; those that also need the extension last.
    static const std::vector<const Codec*> all = present<Codec>({
        jpegCodec(), pngCodec(), gifCodec(), tiffCodec(), bmpCodec(),  webpCodec(), heifCodec(), avifCodec(),
        psdCodec(),  emfCodec(), icoCodec(), curCodec(),  pcxCodec(),  dcxCodec(),  pbmCodec(),  pgmCodec(),
        ppmCodec(),  pcdCodec(), sunCodec(), sgiCodec(),  xbmCodec(),  xpmCodec(),  wmfCodec(),  apmCodec(),
        wpgCodec(),  gemCodec(), iffCodec(), tgaCodec(),  wbmpCodec(),
    });
    return all;
}

const std::vector<const Writer*>& writers()
{
    static const std::vector<const Writer*> all = present<Writer>({
        bmpWriter(),
        gifWriter(),
        jpegWriter(),
        pcxWriter(),
        dcxWriter(),
        pbmWriter(),
        pgmWriter(),
        ppmWriter(),
        tiffWriter(),
        pngWriter(),
        psdWriter(),
        wmfWriter(),
        apmWriter(),
        emfWriter(),
        tgaWriter(),
        wbmpWriter(),
    });
    return all;
}

const Codec* codecForFormat(int format)
{
    for (const Codec* codec : codecs()) {
        if (codec->format() == format)
            return codec;
    }
    return nullptr;
}

const Writer* writerForFormat(int format)
{
    for (const Writer* writer : writers()) {
        if (writer->format() == format)
            return writer;
    }
    return nullptr;
}

bool DecodeContext::progress(int percent) const
{
    return !onProgress || onProgress(percent) || fail(Failure::cancelled());
}

bool DecodeContext::fail(const Failure& reason) const
{
    if (!m_failure.failed())
        m_failure = reason;
    return false;
}

bool DecodeContext::allowSize(qint64 width, qint64 height) const
{
    return sizeAllowed(width, height) || fail(Failure::tooLarge(width, height));
}

QImage DecodeContext::allocate(qint64 width, qint64 height, QImage::Format format, Contents contents) const
{
    if (!allowSize(width, height))
        return {};
    QImage image = allocateImage(width, height, format, contents);
    if (image.isNull()) {
        const qint64 bytes = width * height * QImage::toPixelFormat(format).bitsPerPixel() / 8;
        fail(bytes > limits().maxDecodedBytes ? Failure::tooLarge(width, height) : Failure::outOfMemory());
    }
    return image;
}

QImage DecodeContext::allocateSlide(qint64 width, qint64 height, QImage::Format format) const
{
    if (reusable && !reusable->isNull() && reusable->width() == width && reusable->height() == height &&
        reusable->format() == format && reusable->isDetached()) {
        reusedTaken = true;
        return std::exchange(*reusable, QImage());
    }
    return allocate(width, height, format);
}

} // namespace imagelib
