#pragma once
// CDescribeDlg: the dialog "Edit description" for one file, and the description transfer that
// copy and move use (inherited; an object made for a transfer is never shown). UI thread only;
// a transfer that runs elsewhere uses a DescriptionTransfer of its own.

#include <QDialog>
#include <QString>

#include "fileops/descriptionfile.h"

class QLineEdit;

class CDescribeDlg : public QDialog, public DescriptionTransfer {
    Q_OBJECT
public:
    // Reads the folder's description file and shows the name's description for editing; with no
    // name the object serves a transfer only.
    explicit CDescribeDlg(const QString& name = QString(), const QString& folder = QString(),
                          QWidget* parent = nullptr);

    // Writes the trimmed text (an empty one removes the entry) into the folder's file as it is on
    // disk now. When that fails the dialog says why and stays open with the text as typed.
    void accept() override;

private:
    QString m_name;
    QString m_folder;
    QLineEdit* m_edit;
};
