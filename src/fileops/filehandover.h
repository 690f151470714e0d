#pragma once
// FileHandover: files handed over by the clipboard or a drop, copied or moved into one folder by
// the operation engine. The files may come from several folders (another program's selection of
// search results): one transfer per source folder, one after the other, so that every name is
// taken from the folder that holds it. UI thread only.

#include <utility>
#include <vector>

#include <QObject>
#include <QStringList>

#include "platform/filemime.h"

class CBmpEx;
class CClipboardView;
class QWidget;

class FileHandover : public QObject {
    Q_OBJECT
public:
    // Starts copying (effect Copy) or moving (Move) `paths` (full paths) into `target` (ending
    // with "/"). `owner` parents the progress windows and questions; `currentImage` (may be
    // null) is released before its file moves. Null, and nothing done, for the effect None or
    // no paths. The object deletes itself after finished().
    static FileHandover* start(const QStringList& paths, filemime::DropEffect effect, const QString& target,
                               QWidget* owner, CBmpEx* currentImage = nullptr);
    // Paste: the files on `clipboard` into `target`, for the effect it gives; after a move the
    // clipboard is emptied (before finished() reaches the caller) once the files left. Null as
    // above; `clipboard` must outlive the run.
    static FileHandover* paste(CClipboardView& clipboard, const QString& target, QWidget* owner,
                               CBmpEx* currentImage = nullptr);

Q_SIGNALS:
    // Every transfer is over. `newNames`: the plain names created whole in the target, in
    // order; `folders`: those that may have changed (ending with "/"), the target first and,
    // after a move, the folders the files came from.
    void finished(const QStringList& newNames, const QStringList& folders);

private:
    FileHandover(filemime::DropEffect effect, const QString& target, QWidget* owner, CBmpEx* currentImage);
    void next();

    std::vector<std::pair<QString, QStringList>> m_groups;
    size_t m_done = 0;
    filemime::DropEffect m_effect;
    QString m_target;
    QWidget* m_owner;
    CBmpEx* m_currentImage;
    QStringList m_newNames;
};
