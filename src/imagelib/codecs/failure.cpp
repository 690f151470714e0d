#include "imagelib/codecs/failure.h"

#include <algorithm>
#include <iterator>
#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>

namespace imagelib {
namespace {

// The system errors a file can meet that the user can act on. Qt reports an error by the system's
// message, in English for a few errors and in the user's language for the others, so a message is
// known in both.
struct SystemReason {
    std::errc error;
    const char* english;
    FlmErrorCode code;
    const char* text;
};

constexpr SystemReason kSystemReasons[] = {
    {std::errc::no_such_file_or_directory, "No such file or directory", kFlmErrorNotFound, "file not found"},
    {std::errc::not_a_directory, "Not a directory", kFlmErrorNotFound, "file not found"},
    {std::errc::permission_denied, "Permission denied", kFlmErrorPermission, "permission denied"},
    {std::errc::operation_not_permitted, "Operation not permitted", kFlmErrorPermission, "permission denied"},
    {std::errc::read_only_file_system, "Read-only file system", kFlmErrorPermission, "read-only disk"},
    {std::errc::no_space_on_device, "No space left on device", kFlmErrorDiskFull, "disk full"},
    {std::errc::file_too_large, "File too large", kFlmErrorDiskFull, "file too large for the disk"},
};

bool saysError(const QString& message, const SystemReason& reason)
{
    return message == QLatin1String(reason.english) ||
           message == QString::fromStdString(std::generic_category().message(int(reason.error)));
}

// A message of the system as the end of a sentence: "Input/output error" reads "input/output error".
QString lowerFirst(QString message)
{
    if (!message.isEmpty())
        message[0] = message[0].toLower();
    return message;
}

} // namespace

Failure Failure::notPicture()
{
    return {kFlmErrorNotPicture, QStringLiteral("not a picture")};
}

Failure Failure::truncated()
{
    return {kFlmErrorTruncated, QStringLiteral("truncated file")};
}

Failure Failure::damaged()
{
    return {kFlmErrorDamaged, QStringLiteral("damaged file")};
}

Failure Failure::unsupported(const QString& variant)
{
    return {kFlmErrorUnsupported, QStringLiteral("unsupported variant: ") + variant};
}

Failure Failure::tooLarge(qint64 width, qint64 height)
{
    return tooLarge(QStringLiteral("%1 x %2 pixels").arg(countText(width), countText(height)));
}

Failure Failure::tooLarge(const QString& what)
{
    return {kFlmErrorTooLarge, QStringLiteral("too large: ") + what};
}

Failure Failure::outOfMemory()
{
    return {kFlmErrorOutOfMemory, QStringLiteral("out of memory")};
}

Failure Failure::cancelled()
{
    return {kFlmErrorCancelled, QStringLiteral("cancelled")};
}

Failure Failure::invalid(const QString& what)
{
    return {kFlmErrorInvalid, what};
}

Failure Failure::ofFile(const QFileDevice& file)
{
    const QFileInfo path(file.fileName());
    if (path.isDir())
        return {kFlmErrorNotPicture, QStringLiteral("not a picture: a folder")};
    const QString message = file.errorString();
    const auto known = std::find_if(std::begin(kSystemReasons), std::end(kSystemReasons),
                                    [&](const SystemReason& reason) { return saysError(message, reason); });
    if (known != std::end(kSystemReasons)) {
        // A file that cannot be made for want of its folder is no missing file.
        if (known->code == kFlmErrorNotFound && !path.exists() && !path.dir().exists())
            return {kFlmErrorNotFound, QStringLiteral("folder not found")};
        return {known->code, QString::fromLatin1(known->text)};
    }
    // Qt gives a write the system cut short no reason of its own, only its default words.
    if (message == QFile().errorString())
        return ofUnknownCause(file);
    return {kFlmErrorIo, lowerFirst(message)};
}

Failure Failure::ofUnknownCause(const QFileDevice& file)
{
    if (!file.isWritable())
        return {kFlmErrorIo, QStringLiteral("read failed")};
    // A full disk is what cuts a write short most often, and the one cause that shows afterwards.
    const QStorageInfo disk(QFileInfo(file.fileName()).absolutePath());
    if (disk.isValid() && disk.bytesAvailable() == 0)
        return {kFlmErrorDiskFull, QStringLiteral("disk full")};
    return {kFlmErrorIo, QStringLiteral("write failed")};
}

QString countText(qint64 count)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(count);
}

QString bytesText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 0, QLocale::DataSizeIecFormat);
}

} // namespace imagelib
