#include "imagelib/codecs/codec.h"

#include <QFile>

#include "imagelib/limits.h"

namespace imagelib {

SourceFile::SourceFile(QString path) : m_path(std::move(path)), m_failed(m_path.isEmpty()) {}

QByteArrayView SourceFile::head(qsizetype n)
{
    if (m_failed)
        return {};
    if (!m_complete && m_data.size() < n) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_failed = true;
            return {};
        }
        m_data = file.read(n);
        if (m_data.size() < n)
            m_complete = true;  // the whole file is shorter than asked
    }
    return QByteArrayView(m_data).first(qMin(n, m_data.size()));
}

const QByteArray* SourceFile::all()
{
    if (m_failed)
        return nullptr;
    if (!m_complete) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes) {
            m_failed = true;
            return nullptr;
        }
        // Read by size hint, but never trust it alone: special files report 0.
        QByteArray data;
        data.reserve(qsizetype(file.size()));
        while (!file.atEnd()) {
            const QByteArray chunk = file.read(1 << 20);
            if (chunk.isEmpty())
                break;
            if (data.size() + chunk.size() > kMaxFileBytes) {
                m_failed = true;
                return nullptr;
            }
            data += chunk;
        }
        m_data = std::move(data);
        m_complete = true;
    }
    return &m_data;
}

bool Codec::write(const Picture&, const FlmSaveOptions&, QIODevice&) const
{
    return false;
}

const std::vector<const Codec*>& codecs()
{
    static const std::vector<const Codec*> all = {
        jpegCodec(), pngCodec(), gifCodec(), tiffCodec(), bmpCodec(),
    };
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

const Codec* codecForWriting(int format)
{
    for (const Codec* codec : codecs()) {
        if (codec->writeFormat() == format)
            return codec;
    }
    return nullptr;
}

}  // namespace imagelib
