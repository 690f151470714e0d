#pragma once
// What the transfer tests share: a scripted user, a transfer run to its end, and folders made
// from and read back as lists of entries.

#include <deque>
#include <memory>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include "fileops/filetransfer.h"

// Answers the collision questions from a script (Cancel once it runs out) and keeps what it was
// asked and told.
class ScriptedQuestions : public FileOpQuestions {
public:
    explicit ScriptedQuestions(std::deque<ReplaceAnswer> answers = {}, bool deleteOk = true)
        : m_answers(std::move(answers)), m_deleteOk(deleteOk)
    {
    }
    ReplaceAnswer askReplace(const QString& existingTarget, const QString&) override
    {
        asked << QFileInfo(existingTarget).fileName();
        if (m_answers.empty())
            return {};
        const ReplaceAnswer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    bool confirmDelete(const QStringList& paths) override
    {
        deleteAsked << paths;
        return m_deleteOk;
    }
    void reportFailures(const QStringList& messages) override { failures << messages; }

    QStringList asked;
    QStringList deleteAsked;
    QStringList failures;

private:
    std::deque<ReplaceAnswer> m_answers;
    bool m_deleteOk;
};

// Starts the transfer and waits for its one finished().
inline TransferResult runTransfer(FileTransfer& transfer, const TransferRequest& request)
{
    std::optional<TransferResult> result;
    int count = 0;
    QObject::connect(&transfer, &FileTransfer::finished, [&](const TransferResult& r) {
        result = r;
        ++count;
    });
    transfer.start(request);
    [&] { QTRY_VERIFY_WITH_TIMEOUT(result.has_value(), 60000); }();
    return result.value_or(TransferResult{-1, {}, {}, false});
}

inline TransferResult runTransfer(const TransferRequest& request, const std::shared_ptr<ScriptedQuestions>& questions)
{
    FileTransfer transfer(questions);
    return runTransfer(transfer, request);
}

// Makes each entry under `folder`: "name/" a folder, "name->text" a link to `text`, "name=text"
// a file holding text, "name" a file holding its own name.
inline void makeEntries(const QString& folder, const QStringList& entries)
{
    QDir().mkpath(folder);
    for (const QString& entry : entries) {
        const QString path = folder + u'/';
        if (entry.endsWith(u'/')) {
            QVERIFY(QDir().mkpath(path + entry));
        } else if (const qsizetype arrow = entry.indexOf(QLatin1String("->")); arrow > 0) {
            QVERIFY(QFile::link(entry.mid(arrow + 2), path + entry.left(arrow)));
        } else {
            const qsizetype equals = entry.indexOf(u'=');
            const QString name = equals > 0 ? entry.left(equals) : entry;
            QFile file(path + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write((equals > 0 ? entry.mid(equals + 1) : name).toUtf8());
        }
    }
}

// Every entry under `folder` in the same notation ("name=content", "name->link text", "name/"),
// sorted; descript.ion left out.
inline QStringList entriesOf(const QString& folder)
{
    QStringList result;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString name = QDir(folder).relativeFilePath(info.filePath());
        if (info.fileName() == QLatin1String("descript.ion"))
            continue;
        if (info.isSymbolicLink()) {
            result << name + "->" + QFile::symLinkTarget(info.filePath()).section(u'/', -1);
        } else if (info.isDir()) {
            result << name + u'/';
        } else {
            QFile file(info.filePath());
            result << name + u'=' + (file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
        }
    }
    result.sort();
    return result;
}

inline QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
