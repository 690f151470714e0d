#pragma once
// What the viewer asks of the application that hosts it: the current image it draws, the
// pending image path it takes over, the opened-from-file flag and the switch back to the
// browser. The application implements it; the viewer never includes application code.

#include <QString>

class CBmpEx;

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
};
