#pragma once
// What the encryption tests share: files in a temporary folder, runs of the worker with the
// messages it asks for.

#include <QDir>
#include <QFile>
#include <QTest>

#include "security/ccryptworker.h"

inline QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// The names in `folder`, hidden ones too (a temporary file left behind would be one), sorted.
inline QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

struct CryptRun {
    QList<CryptNotice> notices;

    // Runs `names` of `folder` (ending with "/") on this thread.
    void run(bool encrypt, const QString& folder, const QStringList& names, const QByteArray& password,
             const QString& containerName = QStringLiteral("Pack.mpxf"), const QString& destination = {})
    {
        CryptRequest request;
        request.encrypt = encrypt;
        request.sourceFolder = folder;
        request.names = names;
        request.severalItems = names.size() > 1;
        request.password = password;
        request.containerName = containerName;
        request.destination = destination;
        CCryptWorker(request, [this](const CryptNotice& notice) { notices << notice; }).run();
    }

    QStringList texts() const
    {
        QStringList all;
        for (const CryptNotice& notice : notices)
            all << notice.text;
        return all;
    }
};
