#pragma once
// The folder choosers, on Qt's own folder dialog (the platform's cannot carry a status line):
// CFolderDialog for the copy and move destination, CDirDialog for callers that set their fields
// and may check each folder the user selects. UI thread only.

#include <QFileDialog>
#include <QString>

class QAbstractButton;
class QLabel;

// A folder dialog with the prompt "Current Selection" and, below it, the selected folder as a
// status line, cut to its first 35 characters and "...".
class CFolderDialog : public QFileDialog {
    Q_OBJECT
public:
    enum Result { kChosen = 1, kCancelled = 2 };
    static constexpr int kStatusLength = 35;

    CFolderDialog(const QString& initialFolder, QWidget* parent = nullptr);

    // kChosen once a folder was chosen; kCancelled otherwise.
    int run();
    QString chosenFolder() const { return m_chosen; }
    QString statusText() const;

    // `text` as the status line shows it.
    static QString cutStatus(const QString& text);

protected:
    // Shows `text` (already cut) under the prompt.
    void setStatus(const QString& text);
    // The dialog's own OK button.
    QAbstractButton* okButton() const;

private:
    QLabel* m_prompt;
    QLabel* m_status;
    QString m_chosen;
};

// The folder dialog whose caller sets what it needs: the folder to select first (trimmed, without
// a trailing separator), the window title, the prompt ("Open" when empty), whether the selection
// shows as status text. checkFolder() is asked for every folder selected and enables OK by its
// answer.
class CDirDialog : public CFolderDialog {
    Q_OBJECT
public:
    explicit CDirDialog(QWidget* parent = nullptr);

    void setFolderToSelect(const QString& folder) { m_selectFirst = folder; }
    void setPrompt(const QString& prompt) { m_prompt = prompt; }
    void setShowStatus(bool on) { m_showStatus = on; }

    // Runs the dialog; true when a folder was chosen (then in chosenFolder()).
    bool DoBrowse();

protected:
    // Whether `path` may be chosen; `*status` may be set to the text to show. Every folder by default.
    virtual bool checkFolder(const QString& path, QString* status);

private:
    void selectionChanged(const QString& path);
    void accept() override;

    QString m_selectFirst;
    QString m_prompt;
    bool m_showStatus = false;
    bool m_accepted = true;
};
