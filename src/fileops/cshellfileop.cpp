#include "fileops/cshellfileop.h"

#include <limits>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUuid>

#include "fileops/logging.h"
#include "imagelib/cbmpex.h"

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("CShellFileOp", text);
}

// True when the folder holds an entry of exactly this name (letter case included), whatever the
// file system makes of the case when it looks a name up.
bool hasExactEntry(const QDir& folder, const QString& name)
{
    return folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
        .contains(name, Qt::CaseSensitive);
}

QString checkName(const QString& name)
{
    if (name.trimmed().isEmpty())
        return tr("A file name cannot be empty.");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return tr("The name \"%1\" is reserved.").arg(name);
    if (name.contains(u'/') || name.contains(QChar(0)))
        return tr("A file name cannot contain the character \"/\".");
    return {};
}

// Renames within one folder. A case-only change goes through a temporary name, which a
// case-insensitive file system needs and a case-sensitive one does not mind.
bool renameEntry(QDir folder, const QString& oldName, const QString& newName)
{
    if (oldName.compare(newName, Qt::CaseInsensitive) != 0)
        return folder.rename(oldName, newName);
    const QString temporary =
        QStringLiteral(".pixoria-rename-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!folder.rename(oldName, temporary))
        return false;
    if (folder.rename(temporary, newName))
        return true;
    folder.rename(temporary, oldName);
    return false;
}

} // namespace

bool CShellFileOp::RenameItem(const QString& oldPath, const QString& newName, CBmpEx* currentImage, QString* error)
{
    const auto fail = [error](const QString& text) {
        qCDebug(lcFileOps) << text;
        if (error)
            *error = text;
        return false;
    };
    const QFileInfo oldInfo(oldPath);
    const QString oldName = oldInfo.fileName();
    if (const QString problem = checkName(newName); !problem.isEmpty())
        return fail(problem);
    if (!oldInfo.exists() && !oldInfo.isSymLink())
        return fail(tr("\"%1\" cannot be renamed: it does not exist any more.").arg(oldName));
    if (newName == oldName)
        return true;
    const QDir folder = oldInfo.dir();
    const QString newPath = folder.filePath(newName);
    // An entry of the new name is another file unless it is this one seen through a
    // case-insensitive look-up.
    const bool caseOnly = oldName.compare(newName, Qt::CaseInsensitive) == 0;
    const QFileInfo newInfo(newPath);
    if ((newInfo.exists() || newInfo.isSymLink()) && (!caseOnly || hasExactEntry(folder, newName)))
        return fail(
            tr("Cannot rename \"%1\": an item named \"%2\" already exists in this folder.").arg(oldName, newName));

    // The library may keep the file open while it holds the picture.
    const bool holdsImage = currentImage && currentImage->loaded() && currentImage->path() == oldPath;
    if (holdsImage)
        currentImage->Clear();
    const bool renamed = renameEntry(folder, oldName, newName);
    // A picture that does not load again leaves the viewer with nothing shown, as any vanished file.
    if (holdsImage && !currentImage->Load(renamed ? newPath : oldPath))
        qCDebug(lcFileOps) << currentImage->failureText();
    if (!renamed)
        return fail(tr("Cannot rename \"%1\" to \"%2\": the file system refused it.").arg(oldName, newName));
    return true;
}

std::optional<CShellFileOp::MadeFolder> CShellFileOp::CreateFolder(const QString& folder, const QString& base)
{
    if (base.isEmpty() || base.contains(u'/'))
        return std::nullopt;
    const QString basePath = folder + base;
    QString path = basePath;
    QDir dir;
    for (int n = 1; !dir.mkdir(path); ++n) {
        // Only "already there" tries the next number; any other failure ends it.
        if (!QFileInfo::exists(path) || n == std::numeric_limits<int>::max())
            return std::nullopt;
        path = QStringLiteral("%1(%2)").arg(basePath).arg(n);
    }
    const QFileInfo info(path);
    const QDateTime born = info.birthTime();
    return MadeFolder{info.fileName(), (born.isValid() ? born : info.lastModified()).toMSecsSinceEpoch()};
}
