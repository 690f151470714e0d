#pragma once
// CExportDialog: the Save As dialog. Qt's own save dialog (not the platform's, so that it can carry
// the "Options..." button) listing the image library's sixteen save formats in their order; the
// position of the chosen type, counted from 1, is the format number. The dialog owns one
// save-options record, cleared once when it opens: choosing a type applies that format's row of
// defaults (what an earlier choice set stays), gives the file name the format's extension and
// enables "Options..." for GIF, JPEG and TIFF only, which open their option dialogs. UI thread only.

#include <QFileDialog>

#include "imagelib/flm.h"

class QPushButton;

class CExportDialog : public QFileDialog {
    Q_OBJECT
public:
    static constexpr int kFormatCount = 16;

    // `proposedPath` names the file to propose; its extension, compared exactly, chooses the
    // first type (any other extension chooses the first, the Windows bitmap).
    explicit CExportDialog(const QString& proposedPath, QWidget* parent = nullptr);

    int formatNumber() const { return m_format; }
    // The record for the save; valid while the dialog lives.
    FlmSaveOptions* saveOptions() { return &m_record; }
    QPushButton* optionsButton() const { return m_options; }
    // The name in the file-name box.
    QString fileName() const;

    // The format number of a file name's extension (the text after its last "."), 1 without a
    // match.
    static int formatNumberOf(const QString& name);
    // `name` with the extension of a format: appended when the name (its last path component)
    // has no ".", else replacing what follows the last one.
    static QString withExtension(const QString& name, int formatNumber);

private:
    void formatChanged(int formatNumber);
    void openOptions();

    FlmSaveOptions m_record;
    QPushButton* m_options;
    int m_format = 1;
};
