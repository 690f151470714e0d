#pragma once
// ShownPictureInfo: what the viewer's status bar tells of the shown picture beyond its name: the
// file's size, the picture's size, depth and format as the file's header gives them, and how
// many slides the picture in memory has. Read once per shown picture, not per zoom step. Owns
// one image-library handle for reading headers; UI thread only.

#include <QString>

#include "fileops/cfileinfo.h"

class CBmpEx;

class ShownPictureInfo {
public:
    // Reads the facts of `picture`, shown from the file `path`. A picture held in memory whose
    // file went away (or never was) still tells its own size.
    void read(const QString& path, const CBmpEx& picture);

    // 1 for a still picture and for an icon (whose slides are sizes of one picture).
    int slides() const { return m_slides; }
    QString fileSizeText() const { return m_fileSizeText; }
    // Width x height x colours and the format name, as the status bar shows them.
    QString pictureText() const;

private:
    CFileInfo m_fileInfo;
    CFileInfo::Info m_info;
    QString m_fileSizeText;
    int m_slides = 1;
};
