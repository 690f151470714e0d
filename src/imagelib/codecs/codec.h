#pragma once
// The contract between the image library and its codecs. Nothing outside imagelib/ includes
// this header. A codec is stateless and may be used from several threads at once.

#include <functional>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QImage>
#include <QSize>
#include <QString>

#include "imagelib/codecs/failure.h"
#include "imagelib/limits.h"

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
    QImage image; // Format_RGB32, Format_ARGB32_Premultiplied or Format_Grayscale8
    int delayMs = 0;
};

struct Picture {
    std::vector<Slide> slides;
    int format = -1;
    int bitsPerPixel = 0;
    // The first slide's size in the file, upright. A decoder that returns it reduced (a target
    // size) sets it; otherwise the library takes it from the slide.
    QSize sourceSize;
};

// Lazily read bytes of the file being decoded. head() reads only the first bytes; all() reads
// the whole file (refusing files over the size limit). The file is opened once and every byte is
// read once: a longer head or the whole file only reads on from where the last read stopped.
class SourceFile {
public:
    explicit SourceFile(QString path);
    // A file already in memory (fuzzing, embedded pictures); `path` only names it.
    SourceFile(QByteArray data, QString path);
    // A file already open (the file list's header scan): a random-access device read from its
    // start, for head() only.
    explicit SourceFile(QIODevice& device);
    const QString& path() const { return m_path; }
    // The first n bytes, fewer when the file is shorter, empty when it cannot be read.
    QByteArrayView head(qsizetype n);
    // The whole file; nullptr when it cannot be read or is too large.
    const QByteArray* all();
    // Why the file could not be read (not found, permission denied, too large); none while it could.
    const Failure& failure() const { return m_failure; }

private:
    // The device read: the caller's, or the file opened at the first read; nullptr, with the
    // reason recorded, when the file cannot be opened.
    QIODevice* device();
    // Reads on until the data holds n bytes or the file ends; false, with the reason recorded,
    // when the file cannot be read.
    bool readTo(qsizetype n);

    QString m_path;
    QIODevice* m_device = nullptr;
    std::unique_ptr<QFile> m_file;
    QByteArray m_data;
    bool m_complete = false;
    Failure m_failure;
};

// What a decoder is asked for, and its line back to the caller.
class DecodeContext {
public:
    // Empty: full size. Otherwise the decoder may return a smaller picture, as long as fitting
    // it into targetSize never needs enlarging (reduced-size JPEG decoding, embedded thumbnails).
    QSize targetSize;
    // Called with 0..100; returns false once the caller cancelled, and the decoder then fails.
    std::function<bool(int percent)> onProgress;

    // False once the caller cancelled; the cancel is then the reason of the failure.
    bool progress(int percent) const;

    // Records why the decode fails and returns false, so that a decoder can end with
    // `return context.fail(Failure::truncated())`. The first reason recorded stands: a fault
    // seen deep inside makes its callers fail too, and they say no more than it did.
    bool fail(const Failure& reason) const;
    // The reason recorded; none when the decoder gave none.
    const Failure& failure() const { return m_failure; }
    // Forgets the reason recorded, for a decoder that tries another way after a failed one.
    void clearFailure() const { m_failure = Failure(); }
    // True when a slide of this size is allowed; otherwise "too large" is recorded.
    bool allowSize(qint64 width, qint64 height) const;
    // allocateImage, recording "too large" or "out of memory" when it gives a null image.
    QImage allocate(qint64 width, qint64 height, QImage::Format format, Contents contents = Contents::Undefined) const;

    // A slide of the picture the handle held before, which the decoder may write over instead of
    // allocating (a viewer moving through a folder of camera pictures loads the same size again
    // and again, and fresh pages of that size cost the kernel a third of a decode). Taken only
    // when size and format match and nothing else shares it; see allocateSlide.
    QImage* reusable = nullptr;
    // Whether the decoder took it: the old picture is then gone whatever the outcome.
    mutable bool reusedTaken = false;

    // allocate(), or the reusable slide when it fits exactly.
    QImage allocateSlide(qint64 width, qint64 height, QImage::Format format) const;

private:
    mutable Failure m_failure;
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
    // Formats without a signature (Targa, WBMP) also look at the file's extension (lower case, no
    // dot) and validate their header strictly; the others go by content alone.
    virtual bool recognise(QByteArrayView head, QStringView suffix) const
    {
        Q_UNUSED(suffix);
        return sniff(head);
    }
    // Format, size and bit depth without decoding pixels. The size is the one the header states,
    // even when it is beyond the limits: only a decode refuses it.
    virtual bool readHeader(SourceFile& file, HeaderInfo& info) const = 0;
    // Decodes every slide; false on any fault, with `picture` left in an unspecified state and,
    // where the decoder knows it, the reason recorded in `context`.
    virtual bool decode(SourceFile& file, const DecodeContext& context, Picture& picture) const = 0;
};

// What a writer is given: the whole picture (formats with several slides keep them all), the
// current slide (the one single-slide formats write) and the save-options record.
struct SaveRequest {
    const Picture& picture;
    int current;
    const FlmSaveOptions& options;

    const QImage& image() const { return picture.slides[size_t(current)].image; }

    // Records why the writer fails where the output device is not to blame (a picture too large
    // for the format, memory) and returns false; the device's own errors are read from it.
    bool fail(const Failure& reason) const
    {
        if (!failure.failed())
            failure = reason;
        return false;
    }
    mutable Failure failure = {};
};

class Writer {
public:
    virtual ~Writer() = default;
    // The format code written (field [0] of the save-options record).
    virtual int format() const = 0;
    // Writes the whole file to `out`; false on any fault (the caller then discards the output),
    // with the reason recorded in `request` unless `out` failed.
    virtual bool write(const SaveRequest& request, QIODevice& out) const = 0;
};

constexpr qsizetype kSniffBytes = 512;

// Every reader, in the order signatures are tried, and every writer.
const std::vector<const Codec*>& codecs();
const std::vector<const Writer*>& writers();
const Codec* codecForFormat(int format);
const Writer* writerForFormat(int format);

// One accessor per format; a codec file may serve several.
const Codec* jpegCodec();
const Codec* pngCodec();
const Codec* gifCodec();
const Codec* bmpCodec();
const Codec* tiffCodec();
// Our own readers of small formats.
const Codec* icoCodec();
const Codec* curCodec();
const Codec* psdCodec();
const Codec* emfCodec();
const Codec* gemCodec();
const Codec* iffCodec();
// Legacy formats read through GraphicsMagick.
const Codec* pcxCodec();
const Codec* dcxCodec();
const Codec* pbmCodec();
const Codec* pgmCodec();
const Codec* ppmCodec();
const Codec* tgaCodec();
const Codec* pcdCodec();
const Codec* wbmpCodec();
const Codec* sunCodec();
const Codec* sgiCodec();
const Codec* xbmCodec();
const Codec* xpmCodec();
const Codec* wmfCodec();
const Codec* apmCodec();
const Codec* wpgCodec();
// Formats of today.
const Codec* webpCodec();
const Codec* heifCodec();
const Codec* avifCodec();

const Writer* bmpWriter();
const Writer* jpegWriter();
const Writer* pngWriter();
const Writer* gifWriter();
const Writer* tiffWriter();
const Writer* pcxWriter();
const Writer* dcxWriter();
const Writer* pbmWriter();
const Writer* pgmWriter();
const Writer* ppmWriter();
const Writer* psdWriter();
const Writer* wmfWriter();
const Writer* apmWriter();
const Writer* emfWriter();
const Writer* tgaWriter();
const Writer* wbmpWriter();

// The file list's quick header scan (CBmpEx::readQuickHeader): the format of a BMP, metafile,
// GIF, cursor, icon or JPEG by its first bytes alone into info.format (kFlmUnknown for any other
// file), and true when the header gives the size, which goes into `info` with the depth where the
// list shows one. Each format's part reads the header with its reader's own code and the list's
// rules, reading no more than the first bytes it needs.
bool readQuickHeader(SourceFile& file, HeaderInfo& info);
bool bmpQuickHeader(QByteArrayView head, HeaderInfo& info);
bool gifQuickHeader(QByteArrayView head, HeaderInfo& info);
bool iconQuickHeader(QByteArrayView head, HeaderInfo& info); // icons and cursors
bool jpegQuickHeader(SourceFile& file, HeaderInfo& info);

// Stand-ins that read and write nothing, for formats whose code has not landed.
const Codec* absentCodec();
const Writer* absentWriter();

} // namespace imagelib
