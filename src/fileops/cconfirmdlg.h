#pragma once
// CConfirmDlg ("Confirm replace"): a name collision of the operation engine. The existing target
// ("Replace file:") and the incoming source ("With file:") side by side, each with its path, an
// information line (size, date), a preview (CConfirmView) and, for a picture, its dimensions; the
// proposed new name "Copy (k) of name" that does not exist yet; six answers. UI thread only.

#include <QDialog>
#include <QWidget>

#include "imagelib/cbmpex.h"

class QLineEdit;
class QPushButton;

// The preview box of one side: the picture centred unscaled when it fits (frame included), else
// shrunk to fit and centred; nothing for a file that is no picture.
class CConfirmView : public QWidget {
    Q_OBJECT
public:
    explicit CConfirmView(QWidget* parent = nullptr);

    // Loads the file; false when it is no picture (the box stays empty).
    bool setFile(const QString& path);
    // Where the picture is drawn in a box of `box` for a picture of `picture` (frame included).
    static QRect placement(QSize picture, QSize box, int frame);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CBmpEx m_picture;
    bool m_shown = false;
};

class CConfirmDlg : public QDialog {
    Q_OBJECT
public:
    // The answers, as the dialog's result.
    enum Answer { kCancel = 2, kSkip = 101, kSkipAll = 102, kReplace = 103, kReplaceAll = 104, kRename = 105 };

    CConfirmDlg(const QString& targetPath, const QString& sourcePath, QWidget* parent = nullptr);

    // With kRename: the target's folder and the name typed in "New file name".
    QString newTargetPath() const { return m_newTarget; }
    QLineEdit* newNameEdit() const { return m_newName; }
    QPushButton* button(Answer answer) const;

    // "size,date" of a file: "%uBytes", from 1024 bytes "%4.1fKB", above 1048575 "%4.1fMB"; the
    // date " dd.mm.yyyy hh:mm".
    static QString informationLine(const QString& path);
    // "Copy (k) of name" with the first k from 1 that names nothing in the target's folder.
    static QString proposedName(const QString& targetPath);

private:
    QWidget* side(const QString& title, const QString& path);

    QString m_targetPath;
    QLineEdit* m_newName;
    QString m_newTarget;
    QList<QPushButton*> m_buttons;
};
