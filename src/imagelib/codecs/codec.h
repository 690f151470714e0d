#pragma once
// The contract between the image library and its codecs. Nothing outside imagelib/ includes
// this header. A codec is stateless and may be used from several threads at once.

#include <functional>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <QString>

class QIODevice;
struct FlmSaveOptions;

namespace imagelib {

struct HeaderInfo {
    int format = -1;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
};

struct Slide {
    QImage image;  // Format_RGB32, Format_ARGB32_Premultiplied or Format_Grayscale8
    int delayMs = 0;
};

struct Picture {
    std::vector<Slide> slides;
    int format = -1;
    int bitsPerPixel = 0;
};

// Lazily read bytes of the file being decoded. head() reads only the first bytes; all() reads
// the whole file once (refusing files over the size limit).
class SourceFile {
public:
    explicit SourceFile(QString path);
    const QString& path() const { return m_path; }
    // The first n bytes, fewer when the file is shorter, empty when it cannot be read.
    QByteArrayView head(qsizetype n);
    // The whole file; nullptr when it cannot be read or is too large.
    const QByteArray* all();

private:
    QString m_path;
    QByteArray m_data;
    bool m_complete = false;
    bool m_failed = false;
};

// What a decoder is asked for, and its line back to the caller.
class DecodeContext {
public:
    // Empty: full size. Otherwise the decoder may return a smaller picture, as long as fitting
    // it into targetSize never needs enlarging (reduced-size JPEG decoding, embedded thumbnails).
    QSize targetSize;
    // Called with 0..100; returns false once the caller cancelled, and the decoder then fails.
    std::function<bool(int percent)> onProgress;

    bool progress(int percent) const { return !onProgress || onProgress(percent); }
};

class Codec {
public:
    virtual ~Codec() = default;
    // The format code of files this codec reads (the code reported for them).
    virtual int format() const = 0;
    // Description and extensions (lower case, no dot) for the dialog filter strings.
    virtual QString description() const = 0;
    virtual QStringList extensions() const = 0;
    // True when the first bytes of a file (up to kSniffBytes) carry this format's signature.
    virtual bool sniff(QByteArrayView head) const = 0;
    // Format, size and bit depth without decoding pixels.
    virtual bool readHeader(SourceFile& file, HeaderInfo& info) const = 0;
    // Decodes every slide; false on any fault, with `picture` left in an unspecified state.
    virtual bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const = 0;
    // Writers: the format code they write (-1 when the codec does not write).
    virtual int writeFormat() const { return -1; }
    virtual bool write(const Picture& picture, const FlmSaveOptions& options, QIODevice& out) const;
};

constexpr qsizetype kSniffBytes = 512;

// Every codec, in the order signatures are tried.
const std::vector<const Codec*>& codecs();
const Codec* codecForFormat(int format);
const Codec* codecForWriting(int format);

// One accessor per codec file.
const Codec* jpegCodec();
const Codec* pngCodec();
const Codec* gifCodec();
const Codec* bmpCodec();
const Codec* tiffCodec();

}  // namespace imagelib
