// floor: the least work a 66-pixel thumbnail of a camera JPEG needs on this machine.
//
//   floor DIR [--repeat N] [--threads N]
//       Reads each JPEG of DIR once into memory and decodes with libjpeg-turbo what a thumbnail
//       needs at the least: the EXIF thumbnail where the file carries one, else the picture at
//       1/8 scale with the library's fastest settings (integer fast DCT, no fancy upsampling, no
//       block smoothing; of a progressive file only the DC scans). Nothing is scaled or drawn. Two threads (or
//       --threads) take the files from a shared index. Prints thumbnails per second (the fastest of --repeat runs), the
//       CPU time per thumbnail of each kind of file, and the files that are not JPEGs, which it skips. The file list's
//       worker is measured on the same files by listthumbnails.

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <jpeglib.h>

#include "arguments.h"
#include "exifthumbnail.h"

namespace {

constexpr int kMaxRepeat = 100;
constexpr int kMaxThreads = 64;
constexpr int kRowsPerCall = 16;

enum Kind { kWithExif, kWithoutExif, kKinds };
constexpr std::array<const char*, kKinds> kKindNames = {"JPEGs with EXIF thumbnails", "JPEGs without"};

struct Options {
    QString dir;
    int repeat = 1;
    int threads = 2;
};

struct Item {
    QByteArray path;
    Kind kind = kWithoutExif;
};

struct RunResult {
    int made = 0;
    double seconds = 0;
    double cpuSeconds = 0;
    std::array<double, kKinds> kindCpu{}; // thread CPU seconds spent on each kind
    std::array<int, kKinds> kindMade{};
};

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The whole file in `buffer`, which keeps its capacity from file to file; false when unreadable.
bool readWhole(const char* path, std::vector<char>& buffer, std::size_t& size)
{
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status {};
    bool ok = ::fstat(fd, &status) == 0;
    size = 0;
    if (ok) {
        buffer.resize(std::max(buffer.size(), std::size_t(status.st_size) + 1));
        for (ssize_t got; (got = ::read(fd, buffer.data() + size, buffer.size() - size)) > 0;) {
            size += std::size_t(got);
            if (size == buffer.size())
                buffer.resize(2 * size);
        }
    }
    ::close(fd);
    return ok;
}

struct ErrorJump {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void jumpOut(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorJump*>(cinfo->err)->jump, 1);
}

void quiet(j_common_ptr, int) {}

// One thread's decoder: its libjpeg object and output rows are made once and reused.
class FloorDecoder {
public:
    FloorDecoder()
    {
        m_cinfo.err = jpeg_std_error(&m_error.base);
        m_error.base.error_exit = jumpOut;
        m_error.base.emit_message = quiet;
        jpeg_create_decompress(&m_cinfo);
    }
    ~FloorDecoder() { jpeg_destroy_decompress(&m_cinfo); }
    FloorDecoder(const FloorDecoder&) = delete;
    FloorDecoder& operator=(const FloorDecoder&) = delete;

    // Decodes `data` at 1/8 scale into 32-bit pixels; false when libjpeg gives up.
    bool decode(const unsigned char* data, std::size_t size)
    {
        if (setjmp(m_error.jump)) {
            jpeg_abort_decompress(&m_cinfo);
            return false;
        }
        jpeg_mem_src(&m_cinfo, data, static_cast<unsigned long>(size));
        jpeg_read_header(&m_cinfo, TRUE);
        m_cinfo.scale_num = 1;
        m_cinfo.scale_denom = 8;
        m_cinfo.dct_method = JDCT_IFAST;
        m_cinfo.do_fancy_upsampling = FALSE;
        m_cinfo.do_block_smoothing = FALSE;
        if (m_cinfo.jpeg_color_space != JCS_GRAYSCALE && m_cinfo.jpeg_color_space != JCS_CMYK &&
            m_cinfo.jpeg_color_space != JCS_YCCK)
            m_cinfo.out_color_space = JCS_EXT_BGRX;
        // A progressive file at 1/8 scale needs its DC scans alone: the rest of it is not read.
        const bool dcOnly = m_cinfo.progressive_mode;
        m_cinfo.buffered_image = dcOnly ? TRUE : FALSE;
        jpeg_start_decompress(&m_cinfo);
        if (dcOnly) {
            for (int status = 0; status != JPEG_REACHED_EOI && !(status == JPEG_SCAN_COMPLETED && dcScansDone());)
                status = jpeg_consume_input(&m_cinfo);
            jpeg_start_output(&m_cinfo, m_cinfo.input_scan_number);
        }
        const std::size_t stride = std::size_t(m_cinfo.output_width) * std::size_t(m_cinfo.output_components);
        m_pixels.resize(std::max(m_pixels.size(), stride * m_cinfo.output_height));
        std::array<JSAMPROW, kRowsPerCall> rows{};
        while (m_cinfo.output_scanline < m_cinfo.output_height) {
            const JDIMENSION first = m_cinfo.output_scanline;
            const JDIMENSION count = std::min<JDIMENSION>(kRowsPerCall, m_cinfo.output_height - first);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = m_pixels.data() + (first + i) * stride;
            if (jpeg_read_scanlines(&m_cinfo, rows.data(), count) == 0)
                break;
        }
        // What follows the last row (a progressive file's other scans, the end marker) is not read.
        jpeg_abort_decompress(&m_cinfo);
        return true;
    }

private:
    bool dcScansDone() const
    {
        for (int c = 0; c < m_cinfo.num_components; ++c) {
            if (m_cinfo.coef_bits[c][0] < 0)
                return false;
        }
        return true;
    }

    jpeg_decompress_struct m_cinfo{};
    ErrorJump m_error{};
    std::vector<unsigned char> m_pixels;
};

// One thumbnail at the floor: one read of the file, then the cheapest decode it allows.
bool makeOne(const Item& item, FloorDecoder& decoder, std::vector<char>& buffer)
{
    std::size_t size = 0;
    if (!readWhole(item.path.constData(), buffer, size))
        return false;
    QByteArrayView data(buffer.data(), qsizetype(size));
    const QByteArrayView thumbnail =
        bench::exifThumbnail(data.first(std::min<qsizetype>(data.size(), bench::kExifScanBytes)));
    if (!thumbnail.isEmpty())
        data = thumbnail;
    return decoder.decode(reinterpret_cast<const unsigned char*>(data.data()), std::size_t(data.size()));
}

RunResult run(const std::vector<Item>& items, int threads)
{
    std::atomic<std::size_t> next{0};
    std::vector<RunResult> perThread(static_cast<std::size_t>(threads));
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    {
        std::vector<std::jthread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, mine = &perThread[std::size_t(t)]] {
                FloorDecoder decoder;
                std::vector<char> buffer;
                for (std::size_t index = next++; index < items.size(); index = next++) {
                    const double before = threadCpuSeconds();
                    const bool made = makeOne(items[index], decoder, buffer);
                    const Kind kind = items[index].kind;
                    mine->kindCpu[kind] += threadCpuSeconds() - before;
                    mine->kindMade[kind] += made;
                    mine->made += made;
                }
            });
        }
    }
    RunResult result;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    for (const RunResult& mine : perThread) {
        result.made += mine.made;
        for (int kind = 0; kind < kKinds; ++kind) {
            result.kindCpu[std::size_t(kind)] += mine.kindCpu[std::size_t(kind)];
            result.kindMade[std::size_t(kind)] += mine.kindMade[std::size_t(kind)];
        }
    }
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!bench::parseArguments(
            QCoreApplication::arguments(), options.dir,
            {{"--repeat", &options.repeat, 1, kMaxRepeat}, {"--threads", &options.threads, 1, kMaxThreads}}) ||
        options.dir.isEmpty()) {
        std::fputs("usage: floor DIR [--repeat N] [--threads N]\n", stderr);
        return 2;
    }
    const QDir dir(options.dir);
    if (!dir.exists()) {
        std::fprintf(stderr, "floor: no folder %s\n", qPrintable(options.dir));
        return 1;
    }
    std::vector<Item> items;
    std::array<int, kKinds> counts{};
    int skipped = 0;
    std::vector<char> buffer;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Files, QDir::Name)) {
        std::size_t size = 0;
        const QByteArray path = QFile::encodeName(entry.filePath());
        // This read also brings the file into the page cache before the timed runs.
        if (!readWhole(path.constData(), buffer, size) ||
            !bench::isJpeg(QByteArrayView(buffer.data(), qsizetype(size)))) {
            ++skipped;
            continue;
        }
        const QByteArrayView head(buffer.data(), qsizetype(std::min<std::size_t>(size, bench::kExifScanBytes)));
        const Kind kind = bench::exifThumbnail(head).isEmpty() ? kWithoutExif : kWithExif;
        ++counts[kind];
        items.push_back({path, kind});
    }
    std::printf("folder: %s, %zu JPEGs (%d with an EXIF thumbnail, %d without), %d other files skipped; %d threads\n",
                qPrintable(dir.absolutePath()), items.size(), counts[kWithExif], counts[kWithoutExif], skipped,
                options.threads);
    if (items.empty())
        return 1;
    RunResult best = run(items, options.threads);
    for (int again = 1; again < options.repeat; ++again) {
        const RunResult next = run(items, options.threads);
        if (next.seconds < best.seconds)
            best = next;
    }
    std::printf("floor, all JPEGs: %zu files, %d thumbnails, %zu failed, %.3f s (CPU %.3f s), %.1f thumbnails/s\n",
                items.size(), best.made, items.size() - std::size_t(best.made), best.seconds, best.cpuSeconds,
                best.seconds > 0 ? best.made / best.seconds : 0.0);
    for (int kind = 0; kind < kKinds; ++kind) {
        const int made = best.kindMade[std::size_t(kind)];
        std::printf("floor, %s: %d thumbnails, %.2f ms CPU per thumbnail\n", kKindNames[std::size_t(kind)], made,
                    made > 0 ? 1000 * best.kindCpu[std::size_t(kind)] / made : 0.0);
    }
    return best.made > 0 ? 0 : 1;
}
