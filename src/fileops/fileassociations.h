#pragma once
// The picture extensions the program can own, grouped under the boxes of the File Associations
// dialog, and their ownership on the desktop: an extension is ours when the user's default
// program for its MIME type is our desktop entry. Several extensions share one MIME type (.bmp
// and .dib, all the JPEG names), so they are owned together. UI thread.

#include <QList>
#include <QString>
#include <QStringList>

namespace fileassociations {

struct Box {
    const char* text;        // "Jpeg"
    QStringList extensions;  // ".jpg", ".jpeg", ".jpe", ".jfif": the first one shows the state
};

// The 26 boxes in the dialog's order.
const QList<Box>& boxes();
// The 29 extensions in the order they are written.
QStringList extensionsInOrder();
// The MIME type the desktop files `extension` (".jpg") under.
QString mimeTypeOf(const QString& extension);
// Whether our entry is the user's default program for the type of `extension`.
bool isOwned(const QString& extension);
// Owns the extensions of the boxes that are on (`on` parallel to boxes()) and gives back those
// of the boxes that are off, leaving any other program's defaults alone. Our desktop entry is put
// in the user's applications folder first when no folder has it. False when a file could not be
// written.
bool apply(const QList<bool>& on);

}  // namespace fileassociations
