#include "corpus.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <jpeglib.h>

namespace bench {
namespace {

constexpr int kQuality = 90;
// The background is interpolated between control points 25 pixels apart: close enough that the
// straight pieces between them do not show as a grid.
constexpr int kGridWidth = 160;
constexpr int kGridHeight = 120;
// The APP1 payload limit of a JPEG marker segment.
constexpr qsizetype kMaxApp1Bytes = 65533;

// splitmix64: fixed across machines and compilers, unlike std::default_random_engine's
// distributions.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }
    double between(double low, double high) { return low + (high - low) * uniform(); }

private:
    std::uint64_t m_state;
};

struct Shape {
    enum Kind { Circle, Box };
    Kind kind = Box;
    // Full-size pixels: a circle's centre, with its radius in width; a box's top-left corner and size.
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    std::array<unsigned char, 3> colour{};
};

struct Scene {
    std::vector<float> grid; // kGridWidth x kGridHeight RGB control points, 0..255
    std::vector<Shape> shapes;
    std::uint64_t noiseSeed = 0;
};

float luma(const float* rgb)
{
    return 0.299f * rgb[0] + 0.587f * rgb[1] + 0.114f * rgb[2];
}

// A coarse random colour field under a few octaves of tinted waves (a plasma look), desaturated
// the way most photographs are, plus 3 to 6 hard-edged shapes for real high-frequency content.
Scene makeScene(int index)
{
    Random random(0x5EED000000000000ull + std::uint64_t(index));
    Scene scene;
    constexpr int kFieldWidth = 4;
    constexpr int kFieldHeight = 3;
    std::array<float, kFieldWidth * kFieldHeight * 3> field{};
    for (float& value : field)
        value = float(random.between(40, 215));

    struct Wave {
        double fx, fy, phase, amplitude;
        std::array<double, 3> tint;
    };
    std::vector<Wave> waves;
    for (int octave = 0; octave < 5; ++octave) {
        const double reach = 1.0 + 1.3 * octave;
        waves.push_back({random.between(-reach, reach),
                         random.between(-reach, reach),
                         random.between(0, 2 * std::numbers::pi),
                         36.0 / (octave + 1),
                         {random.between(0.6, 1.4), random.between(0.6, 1.4), random.between(0.6, 1.4)}});
    }

    scene.grid.resize(std::size_t(kGridWidth) * kGridHeight * 3);
    for (int gy = 0; gy < kGridHeight; ++gy) {
        const double v = double(gy) / (kGridHeight - 1);
        const double fy = v * (kFieldHeight - 1);
        const int fy0 = std::min(int(fy), kFieldHeight - 2);
        const double ty = fy - fy0;
        for (int gx = 0; gx < kGridWidth; ++gx) {
            const double u = double(gx) / (kGridWidth - 1);
            const double fx = u * (kFieldWidth - 1);
            const int fx0 = std::min(int(fx), kFieldWidth - 2);
            const double tx = fx - fx0;
            float* point = &scene.grid[(std::size_t(gy) * kGridWidth + gx) * 3];
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int x, int y) { return double(field[std::size_t((y * kFieldWidth + x) * 3 + c)]); };
                double value = (1 - ty) * ((1 - tx) * at(fx0, fy0) + tx * at(fx0 + 1, fy0)) +
                               ty * ((1 - tx) * at(fx0, fy0 + 1) + tx * at(fx0 + 1, fy0 + 1));
                for (const Wave& wave : waves)
                    value += wave.amplitude * wave.tint[std::size_t(c)] *
                             std::sin(2 * std::numbers::pi * (wave.fx * u + wave.fy * v) + wave.phase);
                point[c] = float(value);
            }
            const float grey = luma(point);
            for (int c = 0; c < 3; ++c)
                point[c] = grey + 0.6f * (point[c] - grey);
        }
    }

    const int shapeCount = 3 + int(random.next() % 4);
    for (int i = 0; i < shapeCount; ++i) {
        std::array<unsigned char, 3> colour{};
        for (unsigned char& channel : colour)
            channel = static_cast<unsigned char>(random.next() % 256);
        const double x = random.between(300, kCorpusWidth - 300);
        const double y = random.between(300, kCorpusHeight - 300);
        const double size = random.between(60, 300);
        switch (random.next() % 3) {
        case 0:
            scene.shapes.push_back({Shape::Circle, x, y, size, size, colour});
            break;
        case 1:
            scene.shapes.push_back({Shape::Box, x - size / 2, y - size / 2, 2 * size, size, colour});
            break;
        default: // a post or a pole: tall and thin
            scene.shapes.push_back({Shape::Box, x, std::max(0.0, y - size), size / 8 + 4, 3 * size, colour});
            break;
        }
    }
    scene.noiseSeed = random.next();
    return scene;
}

// Renders a scene row by row at any size with the picture's aspect: the full-size photo with
// sensor noise, or its small thumbnail without (a camera's downscale averages the noise away).
class Renderer {
public:
    Renderer(const Scene& scene, int width, int height, bool noisy)
        : m_scene(scene), m_width(width), m_height(height), m_noisy(noisy), m_noise(scene.noiseSeed),
          m_column(std::size_t(width)), m_weight(std::size_t(width)), m_gridRow(std::size_t(kGridWidth) * 3)
    {
        for (int x = 0; x < width; ++x) {
            const double gx = (x + 0.5) * (kGridWidth - 1) / width;
            const int left = std::min(int(gx), kGridWidth - 2);
            m_column[std::size_t(x)] = left * 3;
            m_weight[std::size_t(x)] = float(gx - left);
        }
    }

    int width() const { return m_width; }
    int height() const { return m_height; }

    // Rows must be asked for in order, top to bottom: the noise is one stream.
    void row(int y, unsigned char* rgb)
    {
        background(y, rgb);
        const double scale = double(m_width) / kCorpusWidth;
        const double sceneY = (y + 0.5) / scale;
        for (const Shape& shape : m_scene.shapes) {
            double left = 0;
            double right = 0;
            if (shape.kind == Shape::Circle) {
                const double dy = sceneY - shape.y;
                if (std::abs(dy) >= shape.width)
                    continue;
                const double half = std::sqrt(shape.width * shape.width - dy * dy);
                left = shape.x - half;
                right = shape.x + half;
            } else {
                if (sceneY < shape.y || sceneY >= shape.y + shape.height)
                    continue;
                left = shape.x;
                right = shape.x + shape.width;
            }
            // Pixel x is covered when its centre lies in [left, right).
            const int first = std::clamp(int(std::ceil(left * scale - 0.5)), 0, m_width);
            const int end = std::clamp(int(std::ceil(right * scale - 0.5)), 0, m_width);
            for (int x = first; x < end; ++x)
                std::copy(shape.colour.begin(), shape.colour.end(), rgb + 3 * x);
        }
        if (m_noisy)
            addNoise(rgb);
    }

private:
    void background(int y, unsigned char* rgb)
    {
        const double gy = (y + 0.5) * (kGridHeight - 1) / m_height;
        const int top = std::min(int(gy), kGridHeight - 2);
        const float ty = float(gy - top);
        const float* upper = &m_scene.grid[std::size_t(top) * kGridWidth * 3];
        const float* lower = upper + kGridWidth * 3;
        for (std::size_t i = 0; i < m_gridRow.size(); ++i)
            m_gridRow[i] = upper[i] + ty * (lower[i] - upper[i]);
        for (int x = 0; x < m_width; ++x) {
            const float* left = &m_gridRow[std::size_t(m_column[std::size_t(x)])];
            const float tx = m_weight[std::size_t(x)];
            for (int c = 0; c < 3; ++c) {
                const float value = left[c] + tx * (left[c + 3] - left[c]);
                rgb[3 * x + c] = static_cast<unsigned char>(std::clamp(value, 0.0f, 255.0f) + 0.5f);
            }
        }
    }

    // Luminance noise of standard deviation 6 (a phone sensor at base ISO after processing): the
    // sum of four random bytes is near enough to a bell curve.
    void addNoise(unsigned char* rgb)
    {
        std::uint64_t bits = 0;
        for (int x = 0; x < m_width; ++x) {
            if (x % 2 == 0)
                bits = m_noise.next();
            else
                bits >>= 32;
            const int sum =
                int(bits & 0xff) + int((bits >> 8) & 0xff) + int((bits >> 16) & 0xff) + int((bits >> 24) & 0xff);
            const int noise = ((sum - 510) * 83) >> 11;
            for (int c = 0; c < 3; ++c) {
                unsigned char& channel = rgb[3 * x + c];
                channel = static_cast<unsigned char>(std::clamp(channel + noise, 0, 255));
            }
        }
    }

    const Scene& m_scene;
    int m_width;
    int m_height;
    bool m_noisy;
    Random m_noise;
    std::vector<int> m_column;
    std::vector<float> m_weight;
    std::vector<float> m_gridRow;
};

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr cinfo)
{
    auto* error = reinterpret_cast<JpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, error->message);
    std::longjmp(error->jump, 1);
}

// A libjpeg-turbo fault leaves this frame by longjmp, so only trivially destructible objects may
// live in it; the caller owns the row buffer.
bool compress(jpeg_compress_struct& cinfo, JpegError& error, Renderer& renderer, const QByteArray& app1,
              unsigned char* row)
{
    if (setjmp(error.jump))
        return false;
    cinfo.image_width = JDIMENSION(renderer.width());
    cinfo.image_height = JDIMENSION(renderer.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo); // YCbCr with 2 x 2 luminance sampling: 4:2:0
    jpeg_set_quality(&cinfo, kQuality, TRUE);
    cinfo.write_JFIF_header = FALSE; // cameras put EXIF right after SOI, with no JFIF block
    jpeg_start_compress(&cinfo, TRUE);
    if (!app1.isEmpty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(app1.constData()),
                          unsigned(app1.size()));
    for (int y = 0; y < renderer.height(); ++y) {
        renderer.row(y, row);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

// Encodes into `file` when it is given, otherwise into `memory`.
bool encode(Renderer& renderer, const QByteArray& app1, std::FILE* file, QByteArray* memory)
{
    jpeg_compress_struct cinfo{};
    JpegError error{};
    cinfo.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long bufferSize = 0;
    if (file)
        jpeg_stdio_dest(&cinfo, file);
    else
        jpeg_mem_dest(&cinfo, &buffer, &bufferSize);
    std::vector<unsigned char> row(std::size_t(renderer.width()) * 3);
    const bool written = compress(cinfo, error, renderer, app1, row.data());
    jpeg_destroy_compress(&cinfo);
    if (written && memory)
        *memory = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(bufferSize));
    std::free(buffer);
    if (!written)
        std::fprintf(stderr, "make-corpus: libjpeg-turbo: %s\n", error.message);
    return written;
}

void put16(QByteArray& out, unsigned value)
{
    out.append(char(value & 0xff)).append(char((value >> 8) & 0xff));
}

void put32(QByteArray& out, unsigned value)
{
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

enum TiffType : unsigned { kTiffShort = 3, kTiffLong = 4 };

void putEntry(QByteArray& out, unsigned tag, TiffType type, unsigned value)
{
    put16(out, tag);
    put16(out, type);
    put32(out, 1);
    if (type == kTiffShort) {
        put16(out, value);
        put16(out, 0);
    } else {
        put32(out, value);
    }
}

// The APP1 payload: "Exif\0\0" and a little-endian TIFF structure whose IFD0 holds Orientation 1.
// With a thumbnail, IFD1 follows with Compression 6 (JPEG) and JPEGInterchangeFormat/Length
// pointing at the thumbnail's bytes, which end the block. Offsets count from the TIFF header.
QByteArray exifBlock(const QByteArray& thumbnail)
{
    constexpr unsigned kIfd0 = 8;
    constexpr unsigned kIfd0Bytes = 2 + 12 + 4;
    constexpr unsigned kIfd1 = kIfd0 + kIfd0Bytes;
    constexpr unsigned kIfd1Bytes = 2 + 3 * 12 + 4;
    constexpr unsigned kThumbnailAt = kIfd1 + kIfd1Bytes;

    QByteArray out("Exif\0\0", 6);
    out.append("II*\0", 4);
    put32(out, kIfd0);
    put16(out, 1);
    putEntry(out, 0x0112, kTiffShort, 1); // Orientation: top-left
    put32(out, thumbnail.isEmpty() ? 0 : kIfd1);
    if (!thumbnail.isEmpty()) {
        put16(out, 3);
        putEntry(out, 0x0103, kTiffShort, 6); // Compression: JPEG
        putEntry(out, 0x0201, kTiffLong, kThumbnailAt);
        putEntry(out, 0x0202, kTiffLong, unsigned(thumbnail.size()));
        put32(out, 0);
        out.append(thumbnail);
    }
    return out;
}

bool writePhoto(const QString& dir, int index)
{
    const Scene scene = makeScene(index);
    QByteArray thumbnail;
    if (index % 2 == 0) {
        Renderer small(scene, kCorpusThumbnailWidth, kCorpusThumbnailHeight, false);
        if (!encode(small, {}, nullptr, &thumbnail))
            return false;
    }
    const QByteArray app1 = exifBlock(thumbnail);
    if (app1.size() > kMaxApp1Bytes) {
        std::fprintf(stderr, "make-corpus: the EXIF block of picture %d is too large (%lld bytes)\n", index,
                     static_cast<long long>(app1.size()));
        return false;
    }

    const QByteArray target = QFile::encodeName(QDir(dir).filePath(corpusFileName(index)));
    const QByteArray partial = target + ".part";
    std::FILE* file = std::fopen(partial.constData(), "wb");
    if (!file) {
        std::fprintf(stderr, "make-corpus: cannot write %s\n", partial.constData());
        return false;
    }
    Renderer full(scene, kCorpusWidth, kCorpusHeight, true);
    const bool encoded = encode(full, app1, file, nullptr);
    const bool closed = std::fclose(file) == 0;
    if (!encoded || !closed || std::rename(partial.constData(), target.constData()) != 0) {
        std::fprintf(stderr, "make-corpus: cannot write %s\n", target.constData());
        std::remove(partial.constData());
        return false;
    }
    return true;
}

} // namespace

QString corpusFileName(int index)
{
    return QStringLiteral("IMG_%1.JPG").arg(index, 4, 10, QLatin1Char('0'));
}

bool makeCorpus(const QString& dir, int count)
{
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "make-corpus: cannot make the folder %s\n", qPrintable(dir));
        return false;
    }
    // Each picture depends on its index alone, so sharing them out keeps the files identical.
    std::atomic<int> next{1};
    std::atomic<bool> ok{true};
    const int threads = std::clamp(int(std::thread::hardware_concurrency()), 1, std::max(count, 1));
    {
        std::vector<std::jthread> workers;
        for (int i = 0; i < threads; ++i) {
            workers.emplace_back([&] {
                for (int index = next++; index <= count && ok; index = next++) {
                    if (!writePhoto(dir, index))
                        ok = false;
                }
            });
        }
    }
    return ok;
}

} // namespace bench
