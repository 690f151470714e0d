#pragma once
// PictureList: the list of pictures the viewer walks. The viewer declares it and never sees who
// implements it: the application adapts the browser's file list to it, and the viewer's own list
// of a folder (OwnPictureList) implements it too, so that moving between pictures has one code
// path for both.
//
// Rows are numbered from 0. A row out of range has an empty name and is no known picture; the
// operations that change a row do nothing for it. UI thread only.

#include <QString>

class PictureList {
public:
    virtual ~PictureList() = default;

    virtual int rowCount() const = 0;
    // The plain name of the row's entry within folder().
    virtual QString rowName(int row) const = 0;
    // The row the viewer treats as the current one; -1 when there is none.
    virtual int firstSelectedRow() const = 0;
    // Makes `row` selected and current and brings it into view.
    virtual void selectRow(int row) = 0;
    // Takes the selected state from `row` alone.
    virtual void clearRowSelection(int row) = 0;

    // Whether the row counts as a picture, as the list itself decides it (the browser's list by
    // CFileInfo::IsImageByExtension, as for its thumbnails); the number of such rows is
    // pictureCount(). The viewer walks exactly these rows and never changes the count.
    virtual bool isKnownPicture(int row) const = 0;
    virtual int pictureCount() const = 0;

    // The folder the rows belong to, ending with "/".
    virtual QString folder() const = 0;
    // The row of the entry `name` of folder(), listed first when it is not yet (a file just
    // written there); -1 when it cannot be listed.
    virtual int addRow(const QString& name) = 0;
    // The row's file left the folder (moved or deleted): the row goes, with its share of the
    // list's counts.
    virtual void removeRow(int row) = 0;
    // The row's file was renamed to `name` in the same folder: the row carries the new name.
    virtual void renameRow(int row, const QString& name) = 0;

protected:
    PictureList() = default;
    PictureList(const PictureList&) = default;
    PictureList& operator=(const PictureList&) = default;
};
