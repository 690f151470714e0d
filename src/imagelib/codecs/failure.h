#pragma once
// Why a read or a write failed: the code callers act on and the few English words they show.
// Every reason is made here, so that one kind of failure reads the same whatever the format.

#include <QString>

#include "imagelib/flm.h"

class QFileDevice;

namespace imagelib {

struct Failure {
    FlmErrorCode code = kFlmErrorNone;
    QString text;

    bool failed() const { return code != kFlmErrorNone; }

    static Failure notPicture();
    static Failure truncated();
    static Failure damaged();
    // "unsupported variant: 12-bit JPEG"
    static Failure unsupported(const QString& variant);
    // "too large: 40,000 x 40,000 pixels"
    static Failure tooLarge(qint64 width, qint64 height);
    // "too large: more than 10,000 slides"
    static Failure tooLarge(const QString& what);
    static Failure outOfMemory();
    static Failure cancelled();
    // A request the picture cannot serve: "no picture", "angle of 45 degrees".
    static Failure invalid(const QString& what);
    // Why `file` could not be opened, read or written (the device's own error), or, when it
    // reports none, why its path cannot be.
    static Failure ofFile(const QFileDevice& file);
    // Of a file whose read or write failed without the system's reason.
    static Failure ofUnknownCause(const QFileDevice& file);
};

// 40000 as "40,000" and 1 << 30 bytes as "1 GiB", whatever the user's locale: the texts are
// English.
QString countText(qint64 count);
QString bytesText(qint64 bytes);

} // namespace imagelib
