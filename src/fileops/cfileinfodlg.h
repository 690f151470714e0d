#pragma once
// CFileInfoDlg: the "File Properties" dialog of the command "Info" for one picture: its path,
// dates, size on disk, loading times, format, colours, size in pixels and compression.
// Built on the UI thread for one file; load() gathers everything and says whether there is
// anything to show (the caller runs the dialog only then).

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>

#include "fileops/cfileinfo.h"

class QLabel;

// The dialog's value texts, one per line, made without widgets.
struct FilePropertiesText {
    QString path;
    QString created;
    QString modified;
    QString fileSize;
    QString web28k;  // "28,8 Kb"
    QString web56k;  // "56 Kb (Standart Modem)"
    QString web128k; // "128 Kb (ISDN)"
    QString frames;
    QString format;
    QString colours;
    QString width;
    QString height;
    QString uncompressedSize;
    QString compressionRatio;

    // `folder` ends with "/"; `size` is the file's size in bytes; `info` what CFileInfo::GetInfo
    // found.
    static FilePropertiesText describe(const QString& folder, const QString& name, qint64 size,
                                       const QDateTime& created, const QDateTime& modified,
                                       const CFileInfo::Info& info);
};

class CFileInfoDlg : public QDialog {
    Q_OBJECT
public:
    // `folder` ends with "/".
    CFileInfoDlg(const QString& name, const QString& folder, QWidget* parent = nullptr);

    // Fills the dialog; false when the file cannot be opened or is no picture the library reads,
    // and the dialog is then not to be shown.
    bool load();

private:
    QString m_name;
    QString m_folder;
    QLabel* m_path = nullptr;
    QList<QLabel*> m_values; // in the order of the dialog's lines
};
