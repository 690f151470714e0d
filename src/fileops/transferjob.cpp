#include "fileops/transferjob.h"

#include <utility>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "core/runprogress.h"
#include "platform/filecopy.h"

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("TransferJob", text);
}

QString folderPath(const QString& path)
{
    return QDir::cleanPath(path) + (path == QLatin1String("/") ? QString() : QStringLiteral("/"));
}

// A name from outside that must stay in its folder.
bool isPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(u'/') &&
           !name.contains(QChar(0));
}

} // namespace

bool TransferRequest::movesOntoItself() const
{
    return kind == Kind::Move && folderPath(sourceFolder) == folderPath(destinationFolder);
}

TransferJob::TransferJob(TransferRequest request, RunProgress& progress)
    : m_request(std::move(request)), m_progress(progress), m_item(progress)
{
    m_request.sourceFolder = folderPath(m_request.sourceFolder);
    m_request.destinationFolder = folderPath(m_request.destinationFolder);
}

TransferJob::Stop TransferJob::run()
{
    if (!m_prepared)
        prepare();
    for (; m_index < m_request.names.size(); ++m_index) {
        if (m_progress.cancelled()) {
            m_result.cancelled = true;
            break;
        }
        if (m_carried <= m_index) {
            carryDescription(m_index);
            m_carried = m_index + 1;
        }
        const Next next = transferItem(m_index);
        if (next == Next::Ask) {
            // The user sees every arrived move whole while deciding.
            settle();
            return Stop::Question;
        }
        if (next == Next::End)
            break;
        if (m_item.settleDue())
            settle();
    }
    finish();
    return Stop::Finished;
}

void TransferJob::prepare()
{
    m_prepared = true;
    QDir().mkdir(m_request.destinationFolder);
    m_descriptions.LoadTargetDescriptions(m_request.destinationFolder);
    // Everything a copy will carry is measured first, for the progress window's total; a move on
    // one file system is a rename and carries no bytes. An item that turns out to need a copy
    // after all (a mount point) is measured when it comes.
    const qsizetype count = m_request.names.size();
    m_trees.resize(size_t(count));
    m_measureErrors.resize(size_t(count));
    if (m_request.kind == TransferRequest::Kind::Move &&
        platform::onFileSystemOf(m_request.sourceFolder, m_request.destinationFolder))
        return;
    for (qsizetype i = 0; i < count; ++i) {
        const QString source = m_request.sourceFolder + m_request.names[i];
        if (!isPlainName(m_request.names[i]))
            continue;
        ItemTransfer::Tree tree;
        if (m_item.measure(source, &tree))
            m_trees[size_t(i)] = std::move(tree);
        else
            m_measureErrors[size_t(i)] = m_item.error();
    }
}

void TransferJob::carryDescription(qsizetype index)
{
    const QString& name = m_request.names[index];
    QString description;
    const bool found = index == 0 ? m_descriptions.GetDescription(name, m_request.sourceFolder, &description)
                                  : m_descriptions.FindSourceDescription(name, &description);
    if (found)
        m_descriptions.SetTargetDescription(name, description);
}

TransferJob::Next TransferJob::transferItem(qsizetype index)
{
    const QString& name = m_request.names[index];
    const QString source = m_request.sourceFolder + name;
    if (!isPlainName(name)) {
        m_result.failures
            << tr("\"%1\" is not a name of a file in %2.").arg(name, QDir::toNativeSeparators(m_request.sourceFolder));
        return Next::Go;
    }
    if (const QString& error = m_measureErrors[size_t(index)]; !error.isEmpty()) {
        m_result.failures << error;
        return Next::Go;
    }
    const bool copying = m_request.kind == TransferRequest::Kind::Copy;
    if (copying && m_request.sourceFolder == m_request.destinationFolder)
        return duplicate(index);

    QString target = m_request.destinationFolder + name;
    // A folder goes without a question, merged into one of its name.
    const bool existed = platform::entryAt(target).kind != platform::EntryKind::None;
    bool replace = existed;
    bool created = !existed;
    if (existed && !m_replaceAll && platform::entryAt(source).kind != platform::EntryKind::Folder) {
        if (!m_answer) {
            m_questionTarget = target;
            m_questionSource = source;
            return Next::Ask;
        }
        const ReplaceAnswer answer = *std::exchange(m_answer, std::nullopt);
        switch (answer.choice) {
        case ReplaceChoice::Cancel:
        case ReplaceChoice::SkipAll:
            m_result.cancelled = true;
            return Next::End;
        case ReplaceChoice::Skip:
            return Next::Go;
        case ReplaceChoice::ReplaceAll:
            m_replaceAll = true;
            break;
        case ReplaceChoice::Replace:
            break;
        case ReplaceChoice::Rename:
            if (!isPlainName(answer.newName)) {
                m_result.failures << tr("\"%1\" cannot be a file name.").arg(answer.newName);
                return Next::Go;
            }
            target = m_request.destinationFolder + answer.newName;
            replace = false;
            created = true;
            break;
        }
    }
    const std::optional<ItemTransfer::Tree>& tree = m_trees[size_t(index)];
    const ItemTransfer::Outcome outcome = copying ? m_item.copy(source, *tree, target, replace)
                                                  : m_item.move(source, tree ? &*tree : nullptr, target, replace);
    return record(outcome, created ? QFileInfo(target).fileName() : QString());
}

// A copy into the item's own folder: "Copy of a.jpg", then "Copy (2) of a.jpg" and on, without a
// question.
TransferJob::Next TransferJob::duplicate(qsizetype index)
{
    const QString& name = m_request.names[index];
    for (int k = 1;; ++k) {
        const QString copyName =
            k == 1 ? QStringLiteral("Copy of %1").arg(name) : QStringLiteral("Copy (%1) of %2").arg(k).arg(name);
        const ItemTransfer::Outcome outcome = m_item.copy(m_request.sourceFolder + name, *m_trees[size_t(index)],
                                                          m_request.destinationFolder + copyName, false);
        if (outcome != ItemTransfer::Outcome::Taken)
            return record(outcome, copyName);
    }
}

TransferJob::Next TransferJob::record(ItemTransfer::Outcome outcome, const QString& newName)
{
    if (outcome == ItemTransfer::Outcome::Done && !newName.isEmpty())
        m_result.newNames << newName;
    if (!m_item.error().isEmpty())
        m_result.failures << m_item.error();
    if (outcome != ItemTransfer::Outcome::Cancelled)
        return Next::Go;
    m_result.cancelled = true;
    return Next::End;
}

void TransferJob::settle()
{
    QStringList stayed;
    m_result.failures << m_item.settle(&stayed);
    for (const QString& target : std::as_const(stayed))
        m_result.newNames.removeOne(QFileInfo(target).fileName());
}

void TransferJob::finish()
{
    settle();
    m_progress.setItem(QString());
    QString error;
    if (!m_descriptions.SaveTargetDescriptions(m_request.destinationFolder, &error))
        m_result.failures << error;
}
