#pragma once
// OwnPictureList: the viewer's own list of the shown folder's pictures, used when the viewer was
// opened on a file rather than from the browser. It holds plain names in the order the folder
// scan found them; the current row is the row of the current name, found by exact
// (case-sensitive) comparison, so a new list from a later scan keeps it. Every row counts as a
// known picture. UI thread only.

#include <QString>
#include <QStringList>

#include "viewer/picturelist.h"

class OwnPictureList : public PictureList {
public:
    // The folder the names belong to, ending with "/" (one is added when missing).
    void setFolder(const QString& folder);
    // Replaces every row; the current name stays current if it is among them.
    void setNames(const QStringList& names);
    const QStringList& names() const { return m_names; }
    // The first row of exactly this name, or -1.
    int findByName(const QString& name) const;
    // The name the list treats as current, whether or not a row holds it yet (the scan may
    // still be running).
    void setCurrentName(const QString& name) { m_current = name; }
    const QString& currentName() const { return m_current; }

    // PictureList
    int rowCount() const override { return int(m_names.size()); }
    QString rowName(int row) const override;
    int firstSelectedRow() const override { return findByName(m_current); }
    void selectRow(int row) override;
    void clearRowSelection(int row) override;
    bool isKnownPicture(int row) const override { return row >= 0 && row < rowCount(); }
    int pictureCount() const override { return rowCount(); }
    QString folder() const override { return m_folder; }
    int addRow(const QString& name) override;
    void removeRow(int row) override;
    // The current name follows its row.
    void renameRow(int row, const QString& name) override;

private:
    QString m_folder;
    QStringList m_names;
    QString m_current;
};
