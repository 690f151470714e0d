#pragma once
// What the viewer asks of the application that hosts it: the current image it draws, the
// pending image path it takes over, the opened-from-file flag, the switch back to the browser,
// and the browser's side of the round trip (its list of pictures and its frame). The application
// implements it; the viewer never includes application or browser code.

#include <QString>

class CBmpEx;
class PictureList;
class QObject;

class ViewerHost {
public:
    virtual ~ViewerHost() = default;
    virtual CBmpEx& currentImage() = 0;
    virtual QString pendingImagePath() const = 0;
    virtual void setPendingImagePath(const QString& path) = 0;
    virtual bool openedFromFile() const = 0;
    virtual void setOpenedFromFile(bool opened) = 0;
    // Posts the switch between browser and viewer (request 0, 101 print, 102 print set-up).
    virtual void requestSwitch(int request) = 0;
    // The browser's file list as a list of pictures, owned by the host; null without a browser.
    virtual PictureList* browserList() { return nullptr; }
    // The browser's frame, which takes "SelectPicture" when the viewer hands back; may be null.
    virtual QObject* browserWindow() { return nullptr; }
};
