#include "fileops/fileopquestions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("FileOpQuestions", text);
}

} // namespace

QString proposedRenameName(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    for (int k = 1;; ++k) {
        const QString candidate = QStringLiteral("Copy (%1) of %2").arg(k).arg(name);
        if (!QFileInfo(dir.filePath(candidate)).exists() && !QFileInfo(dir.filePath(candidate)).isSymLink())
            return candidate;
    }
}

ReplaceAnswer MessageBoxQuestions::askReplace(const QString& existingTarget, const QString& incomingSource)
{
    const QFileInfo target(existingTarget);
    QMessageBox box(QMessageBox::Question, tr("Confirm replace"),
                    tr("\"%1\" already exists in %2.\nReplace it with %3?")
                        .arg(target.fileName(), QDir::toNativeSeparators(target.path()),
                             QDir::toNativeSeparators(incomingSource)),
                    QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll |
                        QMessageBox::Cancel,
                    m_parent);
    box.button(QMessageBox::Yes)->setText(tr("Replace"));
    box.button(QMessageBox::YesToAll)->setText(tr("Replace All"));
    box.button(QMessageBox::No)->setText(tr("Skip"));
    box.button(QMessageBox::NoToAll)->setText(tr("Skip All"));
    const QString newName = proposedRenameName(target.path(), target.fileName());
    QPushButton* rename = box.addButton(tr("Rename to \"%1\"").arg(newName), QMessageBox::ActionRole);
    box.exec();
    if (box.clickedButton() == rename)
        return {ReplaceChoice::Rename, newName};
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
        return {ReplaceChoice::Replace, {}};
    case QMessageBox::YesToAll:
        return {ReplaceChoice::ReplaceAll, {}};
    case QMessageBox::No:
        return {ReplaceChoice::Skip, {}};
    case QMessageBox::NoToAll:
        return {ReplaceChoice::SkipAll, {}};
    default:
        return {ReplaceChoice::Cancel, {}};
    }
}

bool MessageBoxQuestions::confirmDelete(const QStringList& paths)
{
    const QString text = paths.size() == 1
                             ? tr("Are you sure you want to move \"%1\" to the Trash?")
                                   .arg(QFileInfo(paths.first()).fileName())
                             : tr("Are you sure you want to move these %1 items to the Trash?").arg(paths.size());
    return QMessageBox::question(m_parent, tr("Confirm Delete"), text) == QMessageBox::Yes;
}

void MessageBoxQuestions::reportFailures(const QStringList& messages)
{
    QMessageBox::warning(m_parent, QCoreApplication::applicationName(), messages.join(u'\n'));
}
