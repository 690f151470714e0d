#pragma once
// The image library: decoding, encoding, drawing and the elementary transforms of pictures,
// reached through an opaque handle. Every operation takes the handle first and returns 0 for
// success and a non-zero value for failure, unless its comment says otherwise.
//
// A handle owns one decoded picture: its slides (each a QImage with a display time), the
// current slide, the format code of the file it came from and that file's bit depth.
// A handle is used by one thread at a time; other threads open handles of their own.
// Failed operations leave the handle usable and, unless stated, its picture unchanged.

#include <cstdint>

#include <QString>

class QImage;
class QPainter;

struct FlmHandleData;
using FLMHANDLE = FlmHandleData*;

// Format codes of the files the library reads and writes.
enum FlmFormat : int {
    kFlmBmp = 0,
    kFlmGif = 2,
    kFlmJpeg = 3,
    kFlmCursor = 4,
    kFlmIcon = 5,
    kFlmCursorAlt = 6,
    kFlmPcx = 7,
    kFlmDcx = 8,
    kFlmPbm = 9,
    kFlmPgm = 10,
    kFlmPpm = 11,
    kFlmTga = 12,
    kFlmTiff = 13,
    kFlmPhotoCd = 14,
    kFlmPng = 15,
    kFlmWbmp = 17,
    kFlmGem = 18,
    kFlmIff = 19,
    kFlmSun = 20,
    kFlmSgi = 21,
    kFlmXbm = 22,
    kFlmXpm = 23,
    kFlmPsd = 24,
    kFlmWmf = 25,
    kFlmApm = 26,
    kFlmEmf = 27,
    kFlmWpg = 29,
    kFlmUnknown = 30,
    // Formats of today, beyond the classic table.
    kFlmWebP = 100,
    kFlmHeif = 101,
    kFlmAvif = 102,
};

// Left/top/right/bottom in device or picture pixels; right and bottom are exclusive.
struct FlmRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// The save-options record: 20 integers. Callers zero it, set the format code in [0] and the
// options of that format; a zeroed record writes a Windows bitmap.
struct FlmSaveOptions {
    enum Index : int {
        kFormat = 0,
        kBitsPerPixel = 1,
        // Set by the image object's plain save and read by no writer: 0, 1 and 0.
        kPlainSaveZero = 2,
        kSlides = 3,
        kPlainSaveMark = 4,
        kPlainSaveZeroToo = 6,
        kColours = 8,
        kInterlaced = 9,
        kOptimise = 10,
        kAnyMapFlag = 11,
        kPsdFlag = 12,
        kQuality = 13,
        kTiffCompression = 14,
        kTiffFlag = 15,
        kCount = 20,
    };
    std::int32_t field[kCount] = {};
};

// The information record of flmGetFileInfo: 40 bytes, four fields used.
struct FlmFileInfo {
    std::int32_t format = kFlmUnknown;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bitsPerPixel = 0;
    std::int32_t reserved[6] = {};
};
static_assert(sizeof(FlmFileInfo) == 40);

// Progress callback. Event 0 begins and event 1 ends a long operation (load, save, transform);
// event 2 reports progress in `percent` while decoding or encoding. The callback returns 1 to
// go on; returning 0 to event 2 cancels the operation, which then fails.
enum FlmEvent : int { kFlmBegin = 0, kFlmEnd = 1, kFlmProgress = 2 };
struct FlmCallbackRecord {
    int event = kFlmBegin;
    int percent = 0;
    int reserved = 0;
    void* user = nullptr;
};
using FlmCallback = int (*)(const FlmCallbackRecord* record);

// Why an operation failed: a code from this closed set and a few English words, which may carry
// specifics ("too large: 40,000 x 40,000 pixels", "unsupported variant: 12-bit JPEG").
enum FlmErrorCode : int {
    kFlmErrorNone = 0,
    kFlmErrorNotPicture = 1,  // "not a picture": no reader knows the content
    kFlmErrorNotFound = 2,    // "file not found", "folder not found"
    kFlmErrorPermission = 3,  // "permission denied"
    kFlmErrorTruncated = 4,   // "truncated file"
    kFlmErrorDamaged = 5,     // "damaged file"
    kFlmErrorUnsupported = 6, // "unsupported variant: ..."
    kFlmErrorTooLarge = 7,    // "too large: ..."
    kFlmErrorOutOfMemory = 8, // "out of memory"
    kFlmErrorCancelled = 9,   // "cancelled"
    kFlmErrorDiskFull = 10,   // "disk full"
    kFlmErrorIo = 11,         // any other failure of the system to read or write, in its own words
    kFlmErrorInvalid = 12,    // a request the picture cannot serve: "no picture", "angle of 45 degrees"
};

// What the failed operation did: read a file, write one, or change the picture in memory.
enum FlmAction : int { kFlmActionRead = 0, kFlmActionWrite = 1, kFlmActionEdit = 2 };

struct FlmError {
    int code = kFlmErrorNone;
    int action = kFlmActionRead;
    QString text; // empty with kFlmErrorNone
};

int flmOpenHandle(FLMHANDLE* handle);
int flmCloseHandle(FLMHANDLE handle);
int flmSetCallback(FLMHANDLE handle, FlmCallback callback, void* user);

// Non-zero when the library reads this file, decided by its content. *format (preset to -1 by
// callers) receives the format code.
int flmCanOpen(FLMHANDLE handle, const QString& path, int* format);
// 0 when the picture with all its slides now lives in the handle, slide 0 current. The new
// picture may be decoded into the old one's pixels when they have the same size, so after a
// failure the handle holds the old picture whole or nothing, never a mix of the two.
int flmLoadFromFile(FLMHANDLE handle, const QString& path);
// *empty becomes non-zero when the handle holds no picture.
int flmIsEmpty(FLMHANDLE handle, int* empty);
int flmClear(FLMHANDLE handle);
// Width and height of a slide (-1: the current one) into size[0], size[1].
int flmGetSize(FLMHANDLE handle, int slide, int size[2]);
int flmGetSlidesNumber(FLMHANDLE handle, int* slides);
int flmFirst(FLMHANDLE handle);
// Non-zero when there was no next slide; the caller then calls flmFirst.
int flmNext(FLMHANDLE handle);
int flmGetCurrentSlide(FLMHANDLE handle, int* slide);
// Display time of a slide in milliseconds.
int flmGetDelay(FLMHANDLE handle, int slide, int* delay);
// The pixels of a slide (-1: the current one), shared with the handle until either changes them.
int flmGetImage(FLMHANDLE handle, int slide, QImage* image);
// The format code and bits per pixel of the file the picture was read from.
int flmGetSourceFormat(FLMHANDLE handle, int* format, int* bitsPerPixel);
// Width and height of the first slide as the file holds it, upright, into size[0], size[1]: what
// a load with a size hint may have read reduced.
int flmGetSourceSize(FLMHANDLE handle, int size[2]);

// Draws the current slide unscaled at the rectangle's origin.
int flmPlay(FLMHANDLE handle, QPainter* painter, const FlmRect* rect, int reserved);
// Draws the current slide scaled into dest; a source rectangle in picture pixels limits it to
// that part. Shrinking is smooth (area-averaged), magnifying keeps pixels sharp.
int flmStretchPlay(FLMHANDLE handle, QPainter* painter, const FlmRect* dest, const FlmRect* source);

// Turns every slide by +90 (clockwise), -90 or 180 degrees; other angles fail.
int flmRotate(FLMHANDLE handle, double angle, int reserved1, int reserved2, int reserved3);
// (0, 1) mirrors left-right, (1, 0) flips top-bottom, (1, 1) turns by 180 degrees.
int flmMirror(FLMHANDLE handle, int vertical, int horizontal, int reserved1, int reserved2);
// Cuts every slide to the rectangle (picture pixels); fails when it is empty or leaves the picture.
int flmCrop(FLMHANDLE handle, int left, int top, int width, int height, int reserved, int slides);

// Writes the picture in the format whose code is options->field[0]. The target is replaced only
// when the whole file was written: a failed save leaves an existing file untouched.
int flmSaveToFile(FLMHANDLE handle, const FlmSaveOptions* options, const QString& path);

// Filter strings in the system file dialog's format: pairs of zero-terminated texts
// (description, patterns separated by ';'), ended by an empty text. Fails when the buffer is
// too small; the buffer then holds an empty list.
int flmGetOpenDialogString(FLMHANDLE handle, char* buffer, int size, int reserved);
// The writable formats in the save dialog's order.
int flmGetSaveDialogString(FLMHANDLE handle, char* buffer, int size);

// Format code, width, height and bits per pixel from the file's header; no pixels are decoded.
int flmGetFileInfo(FLMHANDLE handle, const QString& path, FlmFileInfo* info);

// Asks the following loads for a picture no larger than needed to draw it within
// width x height (thumbnails, previews): a reader may then decode at a reduced size or use a
// thumbnail embedded in the file. 0, 0 asks for full size again.
int flmSetLoadSizeHint(FLMHANDLE handle, int width, int height);

// The reason of the last failure of flmCanOpen, flmLoadFromFile, flmGetFileInfo, flmSaveToFile,
// flmRotate, flmMirror or flmCrop on this handle; a success of any of them clears it (code
// kFlmErrorNone). Queries, drawing and settings leave it as it is.
int flmGetLastError(FLMHANDLE handle, FlmError* error);

// Turns a filter string of the functions above into a Qt file-dialog filter
// ("Description (*.a *.b);;...").
QString flmFilterToQt(const char* buffer, int size);
