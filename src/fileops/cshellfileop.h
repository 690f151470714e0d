#pragma once
// CShellFileOp: the one entry point of the commands that change files: copy and move (in the
// background, with a progress window), delete to the trash, rename, new folders, opening a file
// with its program, and writing a picture under a new name. UI thread only (it may release and
// reload the program's current image, and it asks the user through FileOpQuestions).
//
// A copy or move returns its FileTransfer at once; the caller connects to its finished() signal
// for the result code and the new-names list (see filetransfer.h) and brings its rows up to date
// then. The transfer deletes itself after finished(). Everything else is done when it returns.

#include <functional>
#include <memory>
#include <optional>

#include <QString>
#include <QStringList>

#include "fileops/filetransfer.h"

class CBmpEx;
class QWidget;
struct FlmSaveOptions;

class CShellFileOp {
public:
    // `owner` parents the progress windows and the default questions (message boxes), used when
    // `questions` is null. `currentImage` (may be null) is the program's current picture: released
    // before its file is moved, deleted or renamed.
    explicit CShellFileOp(QWidget* owner = nullptr, std::shared_ptr<FileOpQuestions> questions = {},
                          CBmpEx* currentImage = nullptr);
    void SetOwner(QWidget* owner);

    // Copies the items (plain names in `sourceFolder`) into `destinationFolder`, made when missing
    // (one level); into their own folder they become "Copy of a.jpg", "Copy (2) of a.jpg" ...
    // Finishes with code 0.
    FileTransfer* CopyItems(const QStringList& names, const QString& sourceFolder, const QString& destinationFolder);
    // Moves them; onto their own folder nothing is done and it finishes with code 1, without a
    // progress window. Else code 0.
    FileTransfer* MoveItems(const QStringList& names, const QString& sourceFolder, const QString& destinationFolder);
    // Copy To and Move To: the destination asked for ("Copy" or "Move" with its history), then
    // the transfer as above. Null when the user cancelled; else `*destination` (when given)
    // holds the folder chosen, ending with "/".
    FileTransfer* TransferTo(TransferRequest::Kind kind, const QStringList& names, const QString& sourceFolder,
                             QString* destination = nullptr);

    // Moves the items (full paths) to the trash once the user confirms. -1 for an empty list, 0
    // when every item went, 1 when the user declined (nothing was done), 2 when some could not go
    // (the user was told which and why).
    int DeleteItems(const QStringList& paths);

    // Opens the file with the program of its type ("open") or the type's program for the edit verb
    // (the desktop has no edit verb: the default program again). Above 32 when a program started,
    // else 0.
    int ExecuteVerb(const QString& path, bool open);
    // The program and arguments for a registered command line and a file: the line cut before the
    // first placeholder ("%1", or a desktop entry's %f %F %u %U) that stands in double quotes, else
    // before the first one, else kept whole; the path then follows as one argument, blanks and all.
    static QStringList CommandForVerb(const QString& commandLine, const QString& path);

    // Writes the picture of `image` to `target`: its pixels as shown (`fromViewer`, turns included)
    // or read again from its file, in the format and with the options of `options`. The file is
    // written under a temporary name and renamed over the target only when whole. An existing
    // target is put to the user first (Replace, Rename to the name given, or nothing is written).
    // 1 when a file was written (its path in `written`), else 0 with the reason in `error` (empty
    // when the user chose not to).
    int SaveImageAs(CBmpEx& image, const QString& target, FlmSaveOptions* options, bool fromViewer,
                    QString* written = nullptr, QString* error = nullptr);
    // The Save As command: proposes the name of `image`'s file, in its folder, in the Save As
    // dialog, then writes as above to the target and with the format options chosen there (an
    // existing target is put to the user by the engine, not by the dialog). `beforeWrite`, when
    // given, runs once the target is chosen (the viewer cuts the picture to its selection then);
    // false from it writes nothing. A failed write is told to the user. 1 when a file was
    // written (its path in `written`), else 0.
    int SaveImageAs(CBmpEx& image, bool fromViewer, const std::function<bool()>& beforeWrite = {},
                    QString* written = nullptr);
    // The Save As command for the file `path` on disk (the browser's, the viewer's Export): its
    // picture read again on a picture object of its own and written as above. A file the library
    // cannot read is told to the user. 1 when a file was written, else 0.
    int SaveFileAs(const QString& path, QString* written = nullptr);

    // Renames the file or folder `oldPath` to `newName` in the same folder. Refuses an empty
    // name, ".", "..", a name with "/", and a name taken by another entry: nothing is ever
    // overwritten. A rename that changes only the letter case works on case-insensitive file
    // systems too. When `currentImage` holds `oldPath`, it is released first and afterwards
    // loaded again from the new path, or from the old one when the rename failed. On failure
    // `*error` (when given) gets a sentence for the user.
    static bool RenameItem(const QString& oldPath, const QString& newName, CBmpEx* currentImage = nullptr,
                           QString* error = nullptr);

    // A folder made by CreateFolder: its plain name and its time of birth (or, where the file
    // system keeps none, of its last write), milliseconds since the epoch.
    struct MadeFolder {
        QString name;
        qint64 born = 0;
    };
    // Makes the folder `base` in `folder` (ending with "/"), or "base(1)", "base(2)" ... while the
    // name is taken; nothing for an empty base, one with "/", or any failure other than a taken
    // name.
    static std::optional<MadeFolder> CreateFolder(const QString& folder, const QString& base);

private:
    FileTransfer* startTransfer(TransferRequest::Kind kind, const QStringList& names, const QString& sourceFolder,
                                const QString& destinationFolder);
    // Empties the current image when it holds one of these items or a file in one of them.
    void releaseImageAmong(const QStringList& paths);

    QWidget* m_owner;
    std::shared_ptr<FileOpQuestions> m_questions;
    CBmpEx* m_currentImage;
};
