#include "browser/browsererase.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QWidget>

#include "browser/browserfileops.h"
#include "browser/cfilelistctrl.h"
#include "core/commands.h"
#include "fileops/cprogressdialog.h"
#include "security/secureerase.h"

namespace {

QString caption()
{
    return BrowserErase::tr("Erase for good");
}

// The names of `paths`, one quoted name each, for a sentence.
QString quotedNames(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths)
        names << u'"' + QFileInfo(path).fileName() + u'"';
    return names.join(QLatin1String(", "));
}

} // namespace

BrowserErase::BrowserErase(CFileListCtrl* list, BrowserFileOps* ops, QWidget* owner)
    : QObject(owner), m_list(list), m_ops(ops), m_owner(owner)
{
}

void BrowserErase::registerOn(CCommandTarget& commands)
{
    commands.on(
        cmd::kEraseForGood, [this] { eraseSelection(); }, [this] { return m_list->hasSelectedEntries(); });
}

void BrowserErase::eraseSelection()
{
    const QStringList paths = m_list->selectedPaths();
    if (paths.isEmpty())
        return;
    const QString folder = m_list->currentFolder();
    const QString question =
        paths.size() == 1
            ? tr("Erase %1 for good? Its data is overwritten and it cannot be brought back.").arg(quotedNames(paths))
            : tr("Erase these %1 items for good? Their data is overwritten and they cannot be brought back.")
                  .arg(paths.size());
    if (QMessageBox::warning(m_owner, caption(), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) !=
        QMessageBox::Yes) {
        // Declined: nothing changed on the disk.
        m_ops->updateListIfShowing({});
        return;
    }
    auto* run = new SecureErase(m_owner);
    auto* window = new CProgressDialog(run, run->progress(), m_owner);
    window->setWindowTitle(caption());
    connect(run, &SecureErase::finished, window, &QDialog::accept);
    connect(run, &SecureErase::finished, this, [this, run, folder](const SecureEraseResult& result) {
        run->deleteLater();
        m_ops->updateListIfShowing({folder});
        report(result);
    });
    window->show();
    run->start(paths);
}

void BrowserErase::report(const SecureEraseResult& result)
{
    QStringList sentences = result.failures;
    if (result.cancelled)
        sentences << tr("Erasing was cancelled: what it had not reached yet was left as it was.");
    if (!result.oldCopies.isEmpty()) {
        sentences << tr("The file system may keep old copies of the data of %1 where an overwrite cannot reach them "
                        "(copy-on-write, compressed, shared or inline data). Its free space was overwritten as "
                        "well, but copies that the file system itself still holds (in snapshots, for example) "
                        "are out of reach.")
                         .arg(quotedNames(result.oldCopies));
    }
    if (sentences.isEmpty())
        return;
    const QString text = sentences.join(u'\n');
    if (result.failures.isEmpty())
        QMessageBox::information(m_owner, caption(), text);
    else
        QMessageBox::warning(m_owner, caption(), text);
}
