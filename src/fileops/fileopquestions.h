#pragma once
// FileOpQuestions: what the file operation engine asks the user, behind one interface so that the
// program's own dialogs (the side-by-side "Confirm replace", a delete confirmation) plug in and
// tests answer from a script. The engine calls it on the UI thread only, and never while a worker
// of its run is under way.

#include <QString>
#include <QStringList>

class QWidget;

// The answers to a name collision, with the codes the confirm-replace dialog returns.
enum class ReplaceChoice : int {
    Cancel = 2,
    Skip = 101,
    SkipAll = 102,
    Replace = 103,
    ReplaceAll = 104,
    Rename = 105,
};

struct ReplaceAnswer {
    ReplaceChoice choice = ReplaceChoice::Cancel;
    QString newName; // with Rename: the plain name the incoming item gets in the target's folder
};

class FileOpQuestions {
public:
    virtual ~FileOpQuestions() = default;
    // The file `existingTarget` is in the way of `incomingSource`: what to do.
    virtual ReplaceAnswer askReplace(const QString& existingTarget, const QString& incomingSource) = 0;
    // Whether to move these items (full paths) to the trash.
    virtual bool confirmDelete(const QStringList& paths) = 0;
    // Tells the user what went wrong in a run: one sentence per item that failed, naming it.
    virtual void reportFailures(const QStringList& messages) = 0;
};

// The program's own questions over `parent`: "Confirm replace" side by side, a confirmation before
// the trash, a message box naming what failed.
class DialogQuestions : public FileOpQuestions {
public:
    explicit DialogQuestions(QWidget* parent) : m_parent(parent) {}
    ReplaceAnswer askReplace(const QString& existingTarget, const QString& incomingSource) override;
    bool confirmDelete(const QStringList& paths) override;
    void reportFailures(const QStringList& messages) override;

private:
    QWidget* m_parent;
};
