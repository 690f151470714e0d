#pragma once
// CCryptWorker: one encryption or decryption run over the selected files, on the thread that
// calls run() (the executor, behind the wait window). It touches only the files of its request
// and tells the user through `notify`, called on its own thread.
//
// Encryption writes each plain file's ".pxf" file (lower-cased name) and deletes the plain file
// only once its encrypted file is complete and decrypts to the same bytes; with several items
// the ".pxf" files are then packed into one ".mpxf" container, each deleted once the closed
// container reads back with its stream. Decryption restores the plain files and unpacks
// containers. A file that fails keeps its source and the user is told why.

#include <functional>

#include <QSet>
#include <QString>

#include "security/cryptrequest.h"

class CCryptWorker {
public:
    using Notify = std::function<void(const CryptNotice&)>;

    CCryptWorker(CryptRequest request, Notify notify);

    // The whole run: every selected name, then the container step.
    void run();

    // One file, encrypted or decrypted as the request says: 0 when done or skipped, -1 when a
    // decryption failed.
    int CryptFile(const QString& path);

    // The ".pxf" name of `path`: its file name lower-cased (never its folders) with ".pxf"
    // appended, in `destination` when one is given (ending with "/"), else beside it.
    static QString encryptedName(const QString& path, const QString& destination);
    // The plain name of the ".pxf" file `path`, beside it: its file name lower-cased, less ".pxf".
    static QString decryptedName(const QString& path);
    // Whether the extension of `name` (after its last dot) is "pxf" or "mpxf", case as written.
    static bool hasEncryptedExtension(const QString& name);
    // Whether `path` lies in one of the system's own folders, whose files are never touched.
    static bool inSystemFolder(const QString& path);

private:
    void encryptRun();
    void decryptRun();
    void packContainer();
    void unpackContainer(const QString& path);
    int encryptOne(const QString& path);
    int decryptOne(const QString& path);
    // The file `target` replaces `source`, which goes.
    void takeOver(const QString& source, const QString& target);
    static QString sameTargetReason(const QString& target);
    void tell(CryptNotice::Kind kind, const QString& caption, const QString& text) const;

    CryptRequest m_request;
    Notify m_notify;
    // The target of the last file done, and every target this run wrote: two names of the
    // selection that lower-case alike must not overwrite one another.
    QString m_lastTarget;
    QSet<QString> m_written;
    // Encrypted files of this run with the names their streams take in the container.
    QList<std::pair<QString, QString>> m_toPack;
};
