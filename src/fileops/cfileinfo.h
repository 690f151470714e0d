#pragma once
// CFileInfo: what a file is, found without decoding it as a picture. Two ways, both through the
// image library's header readers: the complete one (GetInfo, every format the library reads) and
// the file list's quick one (ReadHeaderInfo, seven formats, the first bytes only). The signature
// and extension tests answer "is this a picture" more cheaply still.
//
// An object owns one picture object for GetInfo and is used by one thread at a time; the static
// tests touch nothing shared and may run on any thread. A file that cannot be opened or read
// gives false; nothing is reported. Only a refused library handle is fatal (see setFatalHandler).

#include <QString>

#include "imagelib/cbmpex.h"

class QIODevice;

class CFileInfo {
public:
    // Called when the image library gives no handle; it must not return. The default writes
    // "GP Error: Read Info Error" to the standard error and ends the process with exit code -1;
    // the application installs one that shows the message box.
    using FatalHandler = void (*)();
    static void setFatalHandler(FatalHandler handler);

    // What the file holds. `format` is the format name of GetInfo or the type text of
    // ReadHeaderInfo; `colours` the colour text shown in the file list and the properties.
    struct Info {
        QString format;
        int width = 0;
        int height = 0;
        QString colours;
        int bitsPerPixel = 1;
    };

    CFileInfo();
    CFileInfo(const CFileInfo&) = delete;
    CFileInfo& operator=(const CFileInfo&) = delete;

    // The complete way: true for a picture the library reads. On false `info.format` is "No Image"
    // or "Unknown Format".
    bool GetInfo(const QString& path, Info& info) const;

    // The quick way: true when the size was found (BMP, WMF, EMF, GIF, cursor, icon, JPEG). A JPEG
    // whose frame header cannot be found still gets its type and colour texts.
    static bool ReadHeaderInfo(const QString& path, Info& info);
    // The same on an open, random-access device (a file or a buffer), read from its start.
    static bool ReadHeaderInfo(QIODevice& device, Info& info);

    // True when the first bytes are those of one of the seven formats of the quick way.
    static bool IsImageBySignature(const QString& path);
    // True when the extension names a picture format the program shows. This one test decides
    // what is a picture everywhere: a row of the file list (its count, its thumbnail), the
    // viewer's own list of a folder, and so the pictures the viewer walks and counts.
    static bool IsImageByExtension(const QString& path);

private:
    // A header read keeps its reason in the picture object, which the caller never sees.
    mutable CBmpEx m_picture;
};
