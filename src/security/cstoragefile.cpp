#include "security/cstoragefile.h"

#include <algorithm>

#include <QFile>
#include <QSaveFile>

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-stdio.h>
#include <gsf/gsf-output.h>
#include <gsf/gsf-utils.h>

namespace {

constexpr qint64 kChunk = 1 << 20;
constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";

QString takeError(GError* error, const QString& fallback)
{
    if (!error)
        return fallback;
    const QString text = QString::fromUtf8(error->message);
    g_error_free(error);
    return text;
}

// A stream name that names a file in the extraction folder, not a path out of it.
bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

// The child `index` of `infile` when it is a stream (not a storage); a new reference or null.
GsfInput* streamAt(GsfInfile* infile, int index)
{
    GsfInput* child = gsf_infile_child_by_index(infile, index);
    if (child && GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0) {
        g_object_unref(child);
        return nullptr;
    }
    return child;
}

// Copies the rest of `input` into `sink` in pieces.
template <typename Sink> bool copyStream(GsfInput* input, Sink sink)
{
    QByteArray buffer(int(kChunk), Qt::Uninitialized);
    for (gsf_off_t left = gsf_input_remaining(input); left > 0;) {
        const auto piece = size_t(std::min<gsf_off_t>(left, kChunk));
        if (!gsf_input_read(input, piece, reinterpret_cast<guint8*>(buffer.data())) ||
            !sink(buffer.constData(), qint64(piece)))
            return false;
        left -= gsf_off_t(piece);
    }
    return true;
}

} // namespace

CStorageFile::~CStorageFile()
{
    Close();
}

bool CStorageFile::mayOpen(QString* error) const
{
    if (m_out || m_in) {
        *error = QStringLiteral("a container is already open");
        return false;
    }
    // libgsf sets itself up once per process.
    static const bool ready = [] {
        gsf_init();
        return true;
    }();
    return ready;
}

bool CStorageFile::Create(const QString& path, QString* error)
{
    if (!mayOpen(error))
        return false;
    GError* failure = nullptr;
    // The stdio sink writes to a temporary file and renames it into place when it is closed.
    if (GsfOutput* sink = gsf_output_stdio_new(QFile::encodeName(path).constData(), &failure)) {
        m_out = gsf_outfile_msole_new(sink);
        g_object_unref(sink);
        return true;
    }
    *error = takeError(failure, QStringLiteral("cannot create the file"));
    return false;
}

bool CStorageFile::Open(const QString& path, QString* error)
{
    if (!mayOpen(error))
        return false;
    GError* failure = nullptr;
    GsfInput* source = gsf_input_stdio_new(QFile::encodeName(path).constData(), &failure);
    if (!source) {
        *error = takeError(failure, QStringLiteral("cannot open the file"));
        return false;
    }
    m_in = gsf_infile_msole_new(source, &failure);
    g_object_unref(source);
    if (!m_in) {
        *error = takeError(failure, QStringLiteral("not a compound file"));
        return false;
    }
    return true;
}

bool CStorageFile::AddFile(const QString& file, const QString& streamName, QString* error)
{
    if (!m_out || !fitsStreamName(streamName)) {
        *error = m_out ? QStringLiteral("the name is too long for a container") : QStringLiteral("no container");
        return false;
    }
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly)) {
        *error = source.errorString();
        return false;
    }
    GsfOutput* stream = gsf_outfile_new_child(m_out, streamName.toUtf8().constData(), FALSE);
    if (!stream) {
        *error = QStringLiteral("cannot add a stream");
        return false;
    }
    bool written = true;
    while (written && !source.atEnd()) {
        const QByteArray piece = source.read(kChunk);
        written = !piece.isEmpty() &&
                  gsf_output_write(stream, size_t(piece.size()), reinterpret_cast<const guint8*>(piece.constData()));
    }
    const bool closed = gsf_output_close(stream);
    g_object_unref(stream);
    if (!written || !closed) {
        *error =
            source.error() != QFileDevice::NoError ? source.errorString() : QStringLiteral("cannot write the stream");
        return false;
    }
    return true;
}

QStringList CStorageFile::StreamNames() const
{
    QStringList names;
    if (!m_in)
        return names;
    const int count = gsf_infile_num_children(m_in);
    for (int index = 0; index < count; ++index) {
        if (GsfInput* stream = streamAt(m_in, index)) {
            names << QString::fromUtf8(gsf_infile_name_by_index(m_in, index));
            g_object_unref(stream);
        }
    }
    return names;
}

bool CStorageFile::ReadStream(const QString& streamName, QByteArray* content, QString* error) const
{
    const int index = StreamNames().indexOf(streamName);
    GsfInput* stream = index >= 0 ? gsf_infile_child_by_name(m_in, streamName.toUtf8().constData()) : nullptr;
    if (!stream) {
        *error = QStringLiteral("the container has no stream %1").arg(streamName);
        return false;
    }
    content->clear();
    const bool read = copyStream(stream, [content](const char* data, qint64 size) {
        content->append(data, size);
        return true;
    });
    g_object_unref(stream);
    if (!read)
        *error = QStringLiteral("cannot read the stream %1").arg(streamName);
    return read;
}

bool CStorageFile::ExtractAll(const QString& folder, QStringList* written, QString* error) const
{
    if (!m_in) {
        *error = QStringLiteral("no container");
        return false;
    }
    const int count = gsf_infile_num_children(m_in);
    for (int index = 0; index < count; ++index) {
        const QString name = QString::fromUtf8(gsf_infile_name_by_index(m_in, index));
        GsfInput* stream = isPlainFileName(name) ? streamAt(m_in, index) : nullptr;
        if (!stream)
            continue;
        // A file of the stream's name may be the user's own (an older encrypted copy): it is
        // never written over.
        if (QFile::exists(folder + name)) {
            g_object_unref(stream);
            *error = QStringLiteral("%1 is in the way").arg(folder + name);
            return false;
        }
        QSaveFile target(folder + name);
        bool done =
            target.open(QIODevice::WriteOnly) &&
            copyStream(stream, [&target](const char* data, qint64 size) { return target.write(data, size) == size; }) &&
            target.commit();
        g_object_unref(stream);
        if (!done) {
            *error = QStringLiteral("cannot write %1: %2").arg(folder + name, target.errorString());
            return false;
        }
        *written << folder + name;
    }
    return true;
}

bool CStorageFile::Close(QString* error)
{
    bool closed = true;
    if (m_out) {
        GsfOutput* out = GSF_OUTPUT(m_out);
        closed = gsf_output_close(out);
        if (!closed && error) {
            const GError* failure = gsf_output_error(out);
            *error = failure ? QString::fromUtf8(failure->message) : QStringLiteral("cannot write the container");
        }
        g_object_unref(out);
        m_out = nullptr;
    }
    if (m_in) {
        g_object_unref(m_in);
        m_in = nullptr;
    }
    return closed;
}

bool CStorageFile::IsStorageFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(8) == QByteArray(kSignature, 8);
}
