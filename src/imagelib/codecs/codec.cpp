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
    if (m_failure.failed() || (!m_complete && m_data.size() < n && !readTo(n)))
        return {};
    return QByteArrayView(m_data).first(qMin(n, m_data.size()));
}

QIODevice* SourceFile::device()
{
    if (m_device)
        return m_device;
    if (!m_file) {
        m_file = std::make_unique<QFile>(m_path);
        // Unbuffered: the bytes go straight from the kernel into the data, with no copy between.
        if (!m_file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            m_failure = Failure::ofFile(*m_file);
    }
    return m_failure.failed() ? nullptr : m_file.get();
}

bool SourceFile::readTo(qsizetype n)
{
    QIODevice* from = device();
    if (!from)
        return false;
    // A device of the caller's is read from its start.
    if (m_device && m_data.isEmpty() && !m_device->seek(0)) {
        m_complete = true;
        return true;
    }
    // A regular file is never asked for more than it holds, so nothing is reserved in vain;
    // special files report size 0 and are read as asked.
    const qint64 size = from->size();
    const qsizetype wanted = size > m_data.size() ? qsizetype(qMin<qint64>(n, size)) : n;
    qsizetype got = m_data.size();
    m_data.resize(wanted);
    while (got < wanted) {
        const qint64 read = from->read(m_data.data() + got, wanted - got);
        if (read <= 0)
            break;
        got += qsizetype(read);
    }
    m_data.resize(got);
    if (m_file && m_file->error() != QFileDevice::NoError) {
        m_failure = Failure::ofFile(*m_file);
        return false;
    }
    m_complete = got < n || from->atEnd();
    return true;
}

const QByteArray* SourceFile::all()
{
    if (m_failure.failed())
        return nullptr;
    QIODevice* from = m_complete ? nullptr : device();
    if (!m_complete && !from)
        return nullptr;
    if (from && from->size() > limits().maxFileBytes) {
        m_failure = fileTooLarge();
        return nullptr;
    }
    // The size the file reports is never trusted alone: special files report 0, and a file may
    // grow while it is read. Reads past it ask for no more than they need, so that a small file
    // never costs a large buffer.
    constexpr qsizetype kChunkBytes = 64 * 1024;
    qsizetype wanted = from ? qMax<qsizetype>(qsizetype(from->size()), m_data.size() + 1) : 0;
    while (!m_complete) {
        // One byte over the limit is enough to know the file is too large.
        if (!readTo(qMin(wanted, limits().maxFileBytes + 1)))
            return nullptr;
        if (m_data.size() > limits().maxFileBytes) {
            m_failure = fileTooLarge();
            return nullptr;
        }
        wanted = m_data.size() + kChunkBytes;
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
