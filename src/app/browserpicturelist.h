#pragma once
// BrowserPictureList: the browser's file list as the viewer's list of pictures. Rows, names and
// the shown folder are the file list's; a row's known-picture flag is its image flag, and the
// picture count the number of rows that have it. Selecting a row makes it the only selected
// one, current and scrolled into view. A row added for a file just written comes (selected) once
// the list has read the file in the background: until then addRow() answers -1. The file list is
// not owned and must outlive this object.
// UI thread only.

#include "viewer/picturelist.h"

class CFileListCtrl;

class BrowserPictureList : public PictureList {
public:
    explicit BrowserPictureList(CFileListCtrl& list) : m_list(list) {}

    int rowCount() const override;
    QString rowName(int row) const override;
    int firstSelectedRow() const override;
    void selectRow(int row) override;
    void clearRowSelection(int row) override;
    bool isKnownPicture(int row) const override;
    int pictureCount() const override;
    QString folder() const override;
    int addRow(const QString& name) override;
    void removeRow(int row) override;
    void renameRow(int row, const QString& name) override;

private:
    CFileListCtrl& m_list;
};
