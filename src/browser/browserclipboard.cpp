#include "browser/browserclipboard.h"

#include <QWidget>

#include "browser/browserfileops.h"
#include "browser/cfilelistctrl.h"
#include "core/apphost.h"
#include "core/commands.h"
#include "fileops/filehandover.h"

BrowserClipboard::BrowserClipboard(CFileListCtrl* list, AppHost* host, BrowserFileOps* ops, QWidget* owner)
    : QObject(owner), m_list(list), m_host(host), m_ops(ops), m_owner(owner)
{
}

void BrowserClipboard::registerOn(CCommandTarget& commands)
{
    const auto hasSelection = [this] {
        QStringList names;
        return m_list->selectedNames(names) > 0;
    };
    commands.on(
        cmd::kCut, [this] { putSelection(filemime::DropEffect::Move); }, hasSelection);
    commands.on(
        cmd::kCopy, [this] { putSelection(filemime::DropEffect::Copy); }, hasSelection);
    commands.on(
        cmd::kPaste, [this] { paste(); }, [this] { return m_clipboard.canPaste(); });
}

void BrowserClipboard::putSelection(filemime::DropEffect effect)
{
    QStringList names;
    m_list->rows().clearCutMarks();
    if (m_list->selectedNames(names) == 0)
        return;
    QStringList paths;
    for (const QString& name : names)
        paths << m_list->currentFolder() + name;
    if (m_clipboard.PutFiles(paths, effect) && effect == filemime::DropEffect::Move)
        m_list->rows().setCutMarks(names);
}

void BrowserClipboard::paste()
{
    FileHandover* handover = FileHandover::paste(m_clipboard, m_list->currentFolder(), m_owner,
                                                 m_host ? &m_host->currentImage() : nullptr);
    if (handover)
        connect(handover, &FileHandover::finished, this,
                [this](const QStringList&, const QStringList& folders) { m_ops->updateListIfShowing(folders); });
}
