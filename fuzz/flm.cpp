// The public entry points under libFuzzer, as a viewer opening a file calls them: flmCanOpen,
// flmGetFileInfo and flmLoadFromFile, with a progress callback. They read files, so each input
// is written to a file in memory (/dev/shm) first.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include "imagelib/flm.h"
#include "support.h"

namespace {

// Targa and WBMP files carry no signature and are known by their extension too: an input is
// opened as .tga, and once more as .wbmp when that name may have decided the outcome.
struct Paths {
    QString tga;
    QString wbmp;
};

const Paths& paths()
{
    static const Paths files = [] {
        const QString folder =
            QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        const QString stem = folder + QStringLiteral("/pixoria-fuzz-%1.").arg(QCoreApplication::applicationPid());
        std::atexit([] {
            QFile::remove(paths().tga);
            QFile::remove(paths().wbmp);
        });
        return Paths{stem + QStringLiteral("tga"), stem + QStringLiteral("wbmp")};
    }();
    return files;
}

int progress(const FlmCallbackRecord* record)
{
    if (record->event != kFlmProgress)
        return 1;
    return static_cast<fuzz::ProgressRule*>(record->user)->report(record->percent) ? 1 : 0;
}

// Opens the file as the viewer does and returns the format flmCanOpen reported. Inputs whose
// last byte has bit 4 set ask for a thumbnail-sized picture.
int openAs(const QString& path, QByteArrayView input)
{
    FLMHANDLE handle = nullptr;
    fuzz::require(flmOpenHandle(&handle) == 0, "no handle");
    fuzz::ProgressRule rule(input);
    flmSetCallback(handle, &progress, &rule);
    if (!input.isEmpty() && (static_cast<unsigned char>(input.back()) & 0x10) != 0)
        flmSetLoadSizeHint(handle, 66, 66);

    int format = -1;
    const bool known = flmCanOpen(handle, path, &format) != 0;
    FlmFileInfo info;
    if (flmGetFileInfo(handle, path, &info) == 0)
        fuzz::require(known && info.format == format, "header read of a file flmCanOpen did not take as such");
    if (flmLoadFromFile(handle, path) == 0) {
        fuzz::require(known, "loaded a file flmCanOpen refused");
        int slides = 0;
        int size[2] = {};
        fuzz::require(flmGetSlidesNumber(handle, &slides) == 0 && slides > 0, "loaded picture without slides");
        fuzz::require(flmGetSize(handle, -1, size) == 0 && size[0] > 0 && size[1] > 0, "loaded slide without size");
    }
    flmCloseHandle(handle);
    return format;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::lowerLimits();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView input = fuzz::bytesOf(data, size);
    const Paths& files = paths();
    QFile file(files.tga);
    fuzz::require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                      file.write(input.data(), input.size()) == input.size(),
                  "cannot write the input file");
    file.close();
    const int format = openAs(files.tga, input);
    if (format == -1 || format == kFlmTga) {
        fuzz::require(std::rename(qPrintable(files.tga), qPrintable(files.wbmp)) == 0, "cannot rename the input file");
        openAs(files.wbmp, input);
    }
    return 0;
}
