#include "fileops/fileopquestions.h"

#include "fileops/cconfirmdlg.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FileOpQuestions", text);
}

} // namespace

ReplaceAnswer DialogQuestions::askReplace(const QString& existingTarget, const QString& incomingSource)
{
    CConfirmDlg dialog(existingTarget, incomingSource, m_parent);
    const int answer = dialog.exec();
    switch (answer) {
    case CConfirmDlg::kSkip:
    case CConfirmDlg::kSkipAll:
    case CConfirmDlg::kReplace:
    case CConfirmDlg::kReplaceAll:
        return {ReplaceChoice(answer), {}};
    case CConfirmDlg::kRename:
        return {ReplaceChoice::Rename, QFileInfo(dialog.newTargetPath()).fileName()};
    default:
        // Closing the window is Cancel too.
        return {ReplaceChoice::Cancel, {}};
    }
}

bool DialogQuestions::confirmDelete(const QStringList& paths)
{
    const QString text = paths.size() == 1
                             ? tr("Are you sure you want to move \"%1\" to the Trash?")
                                   .arg(QFileInfo(paths.first()).fileName())
                             : tr("Are you sure you want to move these %1 items to the Trash?").arg(paths.size());
    return QMessageBox::question(m_parent, tr("Confirm Delete"), text) == QMessageBox::Yes;
}

void DialogQuestions::reportFailures(const QStringList& messages)
{
    QMessageBox::warning(m_parent, QCoreApplication::applicationName(), messages.join(u'\n'));
}
