#include "security/cryptpipeline.h"

#include <string>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cryptopp/channels.h>
#include <cryptopp/default.h>
#include <cryptopp/files.h>
#include <cryptopp/filters.h>
#include <cryptopp/sha.h>

#include "platform/filecopy.h"

namespace cryptpipeline {

namespace {

std::string fileName(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

const CryptoPP::byte* bytesOf(const QByteArray& password)
{
    return reinterpret_cast<const CryptoPP::byte*>(password.constData());
}

// A temporary file in the target's folder: it is removed unless it was renamed into place, so
// that a failed or interrupted pipeline leaves nothing under a name a user would take for output.
class TempBeside {
public:
    explicit TempBeside(const QString& target)
        : m_file(QFileInfo(target).absolutePath() + QStringLiteral("/.pixoria-crypt-XXXXXX"))
    {
    }

    bool create(Outcome* outcome)
    {
        if (m_file.open()) {
            m_file.close();
            return true;
        }
        *outcome = {Failure::File, m_file.errorString()};
        return false;
    }

    QString path() const { return m_file.fileName(); }

    bool commit(const QString& target, Outcome* outcome)
    {
        const platform::RenameOutcome renamed = platform::renameEntry(path(), target, true);
        if (renamed.end != platform::RenameEnd::Done) {
            *outcome = {Failure::File, renamed.error};
            return false;
        }
        m_file.setAutoRemove(false);
        return true;
    }

private:
    QTemporaryFile m_file;
};

// Runs `pipeline`, turning Crypto++'s exceptions into an outcome.
template <typename Pipeline> Outcome guarded(Pipeline pipeline)
{
    try {
        pipeline();
        return {};
    } catch (const CryptoPP::Exception& error) {
        const Failure failure =
            error.GetErrorType() == CryptoPP::Exception::IO_ERROR ? Failure::File : Failure::BadData;
        return {failure, QString::fromStdString(error.GetWhat())};
    }
}

// The SHA-256 of what `path` decrypts to with `password`.
Outcome decryptedDigest(const QString& path, const QByteArray& password, std::string* digest)
{
    return guarded([&] {
        CryptoPP::SHA256 hash;
        CryptoPP::FileSource(
            fileName(path).c_str(), true,
            new CryptoPP::LegacyDecryptorWithMAC(bytesOf(password), size_t(password.size()),
                                                 new CryptoPP::HashFilter(hash, new CryptoPP::StringSink(*digest))));
    });
}

} // namespace

Outcome encryptFile(const QString& source, const QString& target, const QByteArray& password)
{
    if (!QFileInfo(source).isFile())
        return {Failure::File, QStringLiteral("not a file")};
    Outcome outcome;
    TempBeside temp(target);
    if (!temp.create(&outcome))
        return outcome;
    // The plain bytes go to the encryptor and to a hash at once: the written file must decrypt
    // to the same hash before it may stand for its source.
    std::string plainDigest;
    outcome = guarded([&] {
        CryptoPP::LegacyEncryptorWithMAC encryptor(bytesOf(password), size_t(password.size()),
                                                   new CryptoPP::FileSink(fileName(temp.path()).c_str(), true));
        CryptoPP::SHA256 hash;
        CryptoPP::HashFilter hasher(hash, new CryptoPP::StringSink(plainDigest));
        CryptoPP::ChannelSwitch both;
        both.AddDefaultRoute(encryptor);
        both.AddDefaultRoute(hasher);
        CryptoPP::FileSource(fileName(source).c_str(), true, new CryptoPP::Redirector(both));
    });
    if (!outcome.ok())
        return outcome;
    std::string readBack;
    outcome = decryptedDigest(temp.path(), password, &readBack);
    if (outcome.ok() && readBack != plainDigest)
        outcome = {Failure::File, QStringLiteral("the encrypted file does not read back as written")};
    if (outcome.ok())
        temp.commit(target, &outcome);
    return outcome;
}

Outcome decryptFile(const QString& source, const QString& target, const QByteArray& password)
{
    Outcome outcome;
    TempBeside temp(target);
    if (!temp.create(&outcome))
        return outcome;
    // On a failed MAC check Crypto++ has already written the plain text out when it throws: it
    // stays in the temporary file, which goes.
    outcome = guarded([&] {
        CryptoPP::FileSource(
            fileName(source).c_str(), true,
            new CryptoPP::LegacyDecryptorWithMAC(bytesOf(password), size_t(password.size()),
                                                 new CryptoPP::FileSink(fileName(temp.path()).c_str(), true), true));
    });
    if (outcome.ok())
        temp.commit(target, &outcome);
    return outcome;
}

} // namespace cryptpipeline
