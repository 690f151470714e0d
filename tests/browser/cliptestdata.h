#pragma once
// Clips written by the tests of the preview bar and the clip window: a WAV sound and a
// motion-JPEG AVI with a picture, both made from nothing but their RIFF structure.

#include <QBuffer>
#include <QByteArray>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

namespace cliptest {

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

inline QDataStream& littleEndian(QDataStream& out)
{
    out.setByteOrder(QDataStream::LittleEndian);
    return out;
}

// `seconds` of 8 kHz mono 16-bit sound.
inline QByteArray wavBytes(int seconds)
{
    constexpr quint32 kRate = 8000;
    const quint32 samples = kRate * quint32(seconds);
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    littleEndian(out);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + 2 * samples);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << kRate << quint32(2 * kRate) << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(2 * samples);
    for (quint32 i = 0; i < samples; ++i)
        out << qint16((i % 40) * 800 - 16000);
    return wav;
}

inline QByteArray riffChunk(const char* id, const QByteArray& body)
{
    QByteArray chunk(id, 4);
    QDataStream out(&chunk, QIODevice::Append);
    littleEndian(out) << quint32(body.size());
    chunk += body;
    if (body.size() % 2)
        chunk += '\0';
    return chunk;
}

inline QByteArray riffList(const char* type, const QByteArray& body)
{
    return riffChunk("LIST", QByteArray(type, 4) + body);
}

// A motion-JPEG AVI of `frames` frames of `size` at 10 frames a second.
inline QByteArray aviBytes(QSize size, int frames)
{
    constexpr quint32 kFps = 10;
    const quint32 width = quint32(size.width());
    const quint32 height = quint32(size.height());
    QByteArray avih;
    QDataStream header(&avih, QIODevice::WriteOnly);
    littleEndian(header) << quint32(1000000 / kFps) << quint32(0) << quint32(0) << quint32(0x10) << quint32(frames)
                         << quint32(0) << quint32(1) << quint32(0) << width << height << quint32(0) << quint32(0)
                         << quint32(0) << quint32(0);
    QByteArray strh("vidsMJPG", 8);
    QDataStream stream(&strh, QIODevice::Append);
    littleEndian(stream) << quint32(0) << quint16(0) << quint16(0) << quint32(0) << quint32(1) << kFps << quint32(0)
                         << quint32(frames) << quint32(0) << quint32(0xffffffff) << quint32(0) << quint16(0)
                         << quint16(0) << quint16(width) << quint16(height);
    QByteArray strf;
    QDataStream format(&strf, QIODevice::WriteOnly);
    littleEndian(format) << quint32(40) << width << height << quint16(1) << quint16(24);
    format.writeRawData("MJPG", 4);
    format << width * height * 3 << quint32(0) << quint32(0) << quint32(0) << quint32(0);

    QByteArray movi("movi", 4);
    QByteArray index;
    QDataStream indexOut(&index, QIODevice::WriteOnly);
    littleEndian(indexOut);
    for (int i = 0; i < frames; ++i) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 360 / frames, 255, 255));
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG");
        indexOut.writeRawData("00dc", 4);
        indexOut << quint32(0x10) << quint32(movi.size()) << quint32(jpeg.size());
        movi += riffChunk("00dc", jpeg);
    }
    const QByteArray headers =
        riffList("hdrl", riffChunk("avih", avih) + riffList("strl", riffChunk("strh", strh) + riffChunk("strf", strf)));
    return riffChunk("RIFF", QByteArray("AVI ", 4) + headers + riffChunk("LIST", movi) + riffChunk("idx1", index));
}

} // namespace cliptest
