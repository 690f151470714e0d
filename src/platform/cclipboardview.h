#pragma once
// CClipboardView: the files on the system clipboard, as any program put them there. It follows
// every change of the clipboard and keeps the files and the effect they were offered for, and it
// puts files (and a picture) there for the other programs. The browser's list and tree and the
// viewer each hold one; they all see the one clipboard. UI thread only.

#include <QObject>
#include <QStringList>

#include "platform/filemime.h"

class QImage;

class CClipboardView : public QObject {
    Q_OBJECT
public:
    explicit CClipboardView(QObject* parent = nullptr);

    // Puts the full paths `paths` on the clipboard for `effect` (Copy or Move) and, when `bitmap`
    // is given and not null, the picture as well. Nothing for no paths; true when put.
    bool PutFiles(const QStringList& paths, filemime::DropEffect effect, const QImage* bitmap = nullptr);

    // The files on the clipboard (full paths, clipboard order) and what they were put there for;
    // None when the program that put them gave no effect: they are not pasted.
    const QStringList& files() const { return m_files; }
    filemime::DropEffect dropEffect() const { return m_effect; }
    // Whether Paste has anything to do.
    bool canPaste() const { return !m_files.isEmpty() && m_effect != filemime::DropEffect::None; }

    // Empties the clipboard after the cut `paths` were moved away, unless it holds other files by
    // now or some of them are still where they were (a move that failed may be tried again).
    void emptyAfterMove(const QStringList& paths);

private:
    void readClipboard();

    QStringList m_files;
    filemime::DropEffect m_effect = filemime::DropEffect::None;
};
