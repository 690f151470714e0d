#include "fileops/filehandover.h"

#include <QWidget>

#include "fileops/cshellfileop.h"
#include "platform/cclipboardview.h"

FileHandover* FileHandover::start(const QStringList& paths, filemime::DropEffect effect, const QString& target,
                                  QWidget* owner, CBmpEx* currentImage)
{
    if (effect == filemime::DropEffect::None || paths.isEmpty() || target.isEmpty())
        return nullptr;
    auto* handover = new FileHandover(effect, target, owner, currentImage);
    handover->m_groups = filemime::byFolder(paths);
    handover->next();
    return handover;
}

FileHandover* FileHandover::paste(CClipboardView& clipboard, const QString& target, QWidget* owner,
                                  CBmpEx* currentImage)
{
    const QStringList paths = clipboard.files();
    const filemime::DropEffect effect = clipboard.dropEffect();
    FileHandover* handover = start(paths, effect, target, owner, currentImage);
    if (handover && effect == filemime::DropEffect::Move)
        connect(handover, &FileHandover::finished, &clipboard, [&clipboard, paths] { clipboard.emptyAfterMove(paths); });
    return handover;
}

FileHandover::FileHandover(filemime::DropEffect effect, const QString& target, QWidget* owner, CBmpEx* currentImage)
    : QObject(owner), m_effect(effect), m_target(target), m_owner(owner), m_currentImage(currentImage)
{
}

void FileHandover::next()
{
    if (m_done == m_groups.size()) {
        QStringList folders{m_target};
        if (m_effect == filemime::DropEffect::Move) {
            for (const auto& group : m_groups)
                folders << group.first;
        }
        folders.removeDuplicates();
        Q_EMIT finished(m_newNames, folders);
        deleteLater();
        return;
    }
    const auto& [folder, names] = m_groups[m_done++];
    CShellFileOp engine(m_owner, {}, m_currentImage);
    FileTransfer* run = m_effect == filemime::DropEffect::Move ? engine.MoveItems(names, folder, m_target)
                                                                : engine.CopyItems(names, folder, m_target);
    connect(run, &FileTransfer::finished, this, [this](const TransferResult& result) {
        m_newNames << result.newNames;
        next();
    });
}
