#include "fileops/cshellfileop.h"

#include <limits>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QWidget>
#include <QUuid>

#include "export/cexportdialog.h"
#include "fileops/ccopymovedlg.h"
#include "fileops/cprogressdialog.h"
#include "fileops/fileopquestions.h"
#include "fileops/logging.h"
#include "imagelib/cbmpex.h"
#include "platform/desktopservices.h"
#include "platform/trash.h"

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

// Whether `path` is `item` or lies within it.
bool isAmong(const QString& path, const QStringList& items)
{
    for (const QString& item : items) {
        const QString cleaned = QDir::cleanPath(item);
        if (path == cleaned || path.startsWith(cleaned + u'/'))
            return true;
    }
    return false;
}

// Where the first placeholder of a command line begins, a quoted one first: its opening quote.
qsizetype placeholderCut(const QString& commandLine)
{
    static const QStringList placeholders{QStringLiteral("%1"), QStringLiteral("%f"), QStringLiteral("%F"),
                                          QStringLiteral("%u"), QStringLiteral("%U")};
    qsizetype quoted = -1;
    qsizetype plain = -1;
    for (const QString& placeholder : placeholders) {
        const qsizetype inQuotes = commandLine.indexOf(u'"' + placeholder + u'"');
        if (inQuotes >= 0 && (quoted < 0 || inQuotes < quoted))
            quoted = inQuotes;
        const qsizetype bare = commandLine.indexOf(placeholder);
        if (bare >= 0 && (plain < 0 || bare < plain))
            plain = bare;
    }
    return quoted >= 0 ? quoted : plain;
}

} // namespace

CShellFileOp::CShellFileOp(QWidget* owner, std::shared_ptr<FileOpQuestions> questions, CBmpEx* currentImage)
    : m_owner(owner), m_questions(questions ? std::move(questions) : std::make_shared<DialogQuestions>(owner)),
      m_currentImage(currentImage)
{
}

void CShellFileOp::SetOwner(QWidget* owner)
{
    m_owner = owner;
}

FileTransfer* CShellFileOp::CopyItems(const QStringList& names, const QString& sourceFolder,
                                      const QString& destinationFolder)
{
    return startTransfer(TransferRequest::Kind::Copy, names, sourceFolder, destinationFolder);
}

FileTransfer* CShellFileOp::MoveItems(const QStringList& names, const QString& sourceFolder,
                                      const QString& destinationFolder)
{
    return startTransfer(TransferRequest::Kind::Move, names, sourceFolder, destinationFolder);
}

FileTransfer* CShellFileOp::TransferTo(TransferRequest::Kind kind, const QStringList& names,
                                       const QString& sourceFolder, QString* destination)
{
    CCopyMoveDlg dialog(kind == TransferRequest::Kind::Move ? tr("Move") : tr("Copy"), sourceFolder, m_owner);
    if (dialog.exec() != QDialog::Accepted)
        return nullptr;
    if (destination)
        *destination = dialog.destination();
    return startTransfer(kind, names, sourceFolder, dialog.destination());
}

FileTransfer* CShellFileOp::startTransfer(TransferRequest::Kind kind, const QStringList& names,
                                          const QString& sourceFolder, const QString& destinationFolder)
{
    const TransferRequest request{kind, names, sourceFolder, destinationFolder};
    auto* transfer = new FileTransfer(m_questions, m_owner);
    QObject::connect(transfer, &FileTransfer::finished, transfer, &QObject::deleteLater);
    if (!request.movesOntoItself()) {
        if (kind == TransferRequest::Kind::Move) {
            QStringList paths;
            for (const QString& name : names)
                paths << sourceFolder + name;
            releaseImageAmong(paths);
        }
        auto* window = new CProgressDialog(transfer, transfer->runProgress(), m_owner);
        QObject::connect(transfer, &FileTransfer::finished, window, &QDialog::accept);
        window->show();
    }
    transfer->start(request);
    return transfer;
}

void CShellFileOp::releaseImageAmong(const QStringList& paths)
{
    if (m_currentImage && m_currentImage->loaded() && isAmong(m_currentImage->path(), paths))
        m_currentImage->Clear();
}

int CShellFileOp::DeleteItems(const QStringList& paths)
{
    if (paths.isEmpty())
        return -1;
    if (!m_questions->confirmDelete(paths))
        return 1;
    const bool held = m_currentImage && m_currentImage->loaded() && isAmong(m_currentImage->path(), paths);
    releaseImageAmong(paths);
    QStringList failures;
    for (const QString& path : paths) {
        if (const platform::TrashOutcome outcome = platform::moveToTrash(path); !outcome.error.isEmpty())
            failures << tr("Cannot move %1 to the Trash: %2.").arg(QDir::toNativeSeparators(path), outcome.error);
    }
    // A picture whose file stayed is shown again.
    if (held && QFileInfo::exists(m_currentImage->path()) && !m_currentImage->Load(m_currentImage->path()))
        qCDebug(lcFileOps) << m_currentImage->failureText();
    if (failures.isEmpty())
        return 0;
    m_questions->reportFailures(failures);
    return 2;
}

QStringList CShellFileOp::CommandForVerb(const QString& commandLine, const QString& path)
{
    const qsizetype cut = placeholderCut(commandLine);
    QStringList command = QProcess::splitCommand(cut >= 0 ? commandLine.left(cut) : commandLine);
    command << path;
    return command;
}

int CShellFileOp::ExecuteVerb(const QString& path, bool open)
{
    constexpr int kStarted = 33;
    if (open && platform::openDocument(path, m_owner, {}))
        return kStarted;
    const QString commandLine = platform::defaultCommandLine(path);
    if (commandLine.isEmpty())
        return 0;
    QStringList command = CommandForVerb(commandLine, path);
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command) ? kStarted : 0;
}

int CShellFileOp::SaveImageAs(CBmpEx& image, const QString& target, FlmSaveOptions* options, bool fromViewer,
                              QString* written, QString* error)
{
    const QString current = image.path();
    if (current.isEmpty())
        return 0;
    QString path = target;
    for (QFileInfo existing(path); existing.exists() || existing.isSymLink(); existing = QFileInfo(path)) {
        const ReplaceAnswer answer = m_questions->askReplace(path, current);
        if (answer.choice == ReplaceChoice::Replace || answer.choice == ReplaceChoice::ReplaceAll)
            break;
        if (answer.choice != ReplaceChoice::Rename)
            return 0;
        if (const QString problem = checkName(answer.newName); !problem.isEmpty()) {
            if (error)
                *error = problem;
            return 0;
        }
        path = existing.dir().filePath(answer.newName);
    }
    // The library writes a temporary file beside the target and renames it over only when whole.
    const bool saved = fromViewer ? image.Save(path, options) : image.LoadAndSave(current, path, options);
    if (!saved) {
        if (error)
            *error = image.failureText();
        return 0;
    }
    if (written)
        *written = path;
    return 1;
}

int CShellFileOp::SaveImageAs(CBmpEx& image, bool fromViewer, const std::function<bool()>& beforeWrite,
                              QString* written)
{
    const QString current = image.path();
    if (current.isEmpty())
        return 0;
    CExportDialog dialog(current, m_owner);
    // The engine asks about an existing target itself, with the choice of another name.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return 0;
    if (beforeWrite && !beforeWrite())
        return 0;
    QString error;
    const int saved = SaveImageAs(image, dialog.selectedFiles().first(), dialog.saveOptions(), fromViewer, written, &error);
    if (!saved && !error.isEmpty())
        m_questions->reportFailures({error});
    return saved;
}

int CShellFileOp::SaveFileAs(const QString& path, QString* written)
{
    CBmpEx picture;
    if (!picture.Load(path)) {
        m_questions->reportFailures({picture.failureText()});
        return 0;
    }
    return SaveImageAs(picture, false, {}, written);
}

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
