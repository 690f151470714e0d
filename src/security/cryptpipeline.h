#pragma once
// The two file pipelines of encryption: a plain file into a ".pxf" file and back. A ".pxf" file is
// exactly the output of Crypto++'s legacy password encryptor with MAC (DES-EDE2, SHA-1) over the
// whole plain file, so files from older Crypto++ generations' default encryptor read here and ours
// read there. The password is taken as its bytes, without terminator; it may be empty.
//
// Neither pipeline ever leaves a partial target: the output goes to a temporary file beside the
// target and is renamed into place (replacing a file of that name) only once it is known good: a
// decryption after the MAC check, an encryption after the written file was read back and
// decrypted to the same bytes. Any thread; no shared state.

#include <QByteArray>
#include <QString>

namespace cryptpipeline {

enum class Failure {
    None,
    BadData, // a wrong password, a failed MAC check, a damaged or truncated file
    File,    // a file that cannot be read or written
};

struct Outcome {
    Failure failure = Failure::None;
    QString reason; // what went wrong, for the user
    bool ok() const { return failure == Failure::None; }
};

Outcome encryptFile(const QString& source, const QString& target, const QByteArray& password);
Outcome decryptFile(const QString& source, const QString& target, const QByteArray& password);

} // namespace cryptpipeline
