#include "browser/browsercrypt.h"

#include <QDir>
#include <QWidget>

#include "browser/cfilelistctrl.h"
#include "browser/cfilelistmodel.h"
#include "browser/fileitem.h"
#include "core/commands.h"
#include "security/ccryptdialogs.h"
#include "security/ccryptwait.h"
#include "security/ccryptworker.h"
#include "security/cryptrequest.h"

namespace {

// The folder typed or chosen for the encrypted files, ending with "/"; a relative one lies in the
// browser's folder. Empty stays empty: beside the sources.
QString destinationFolder(const QString& typed, const QString& currentFolder)
{
    if (typed.isEmpty())
        return typed;
    QString folder = QDir(currentFolder).filePath(typed);
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace

BrowserCrypt::BrowserCrypt(CFileListCtrl* list, QWidget* owner) : QObject(owner), m_list(list), m_owner(owner) {}

void BrowserCrypt::registerOn(CCommandTarget& commands)
{
    commands.on(
        cmd::kListEncryptDecrypt, [this] { encryptOrDecrypt(); },
        [this] {
            const FileItem* item = m_list->rows().entryAt(m_list->focusedIndex(true));
            return item && !item->isFolder;
        });
}

void BrowserCrypt::encryptOrDecrypt()
{
    const FileItem* focused = m_list->rows().entryAt(m_list->focusedIndex(true));
    if (!focused)
        return;
    run(!CCryptWorker::hasEncryptedExtension(focused->name));
}

void BrowserCrypt::decryptSelection()
{
    run(false);
}

void BrowserCrypt::run(bool encrypt)
{
    CryptRequest request;
    if (m_list->selectedNames(request.names) == 0)
        return;
    request.sourceFolder = m_list->currentFolder();
    request.severalItems = request.names.size() > 1;
    request.encrypt = encrypt;
    if (encrypt) {
        CEncryptDlg dialog(request.sourceFolder, request.severalItems, m_owner);
        if (dialog.exec() != QDialog::Accepted) {
            Q_EMIT runOver();
            return;
        }
        request.password = dialog.password().toLocal8Bit();
        request.destination = destinationFolder(dialog.destination(), request.sourceFolder);
        request.containerName = dialog.containerName();
    } else {
        CDecryptDlg dialog(m_owner);
        if (dialog.exec() != QDialog::Accepted) {
            Q_EMIT runOver();
            return;
        }
        request.password = dialog.password().toLocal8Bit();
    }
    CCryptWait(std::move(request), m_owner).exec();
    m_list->refresh();
    Q_EMIT runOver();
}
