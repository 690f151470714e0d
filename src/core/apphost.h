#pragma once
// AppHost: what both faces ask of the application that hosts them: the current image (the one
// picture the viewer draws, which the browser loads before it asks for the viewer), the pending
// image path the viewer takes over, the opened-from-file flag, and the switch between the faces.
// The application implements it, so that neither face includes application code. UI thread only.

#include <QString>

#include "core/messages.h"

class CBmpEx;

class AppHost {
public:
    virtual ~AppHost() = default;
    virtual CBmpEx& currentImage() = 0;
    virtual QString pendingImagePath() const = 0;
    virtual void setPendingImagePath(const QString& path) = 0;
    virtual bool openedFromFile() const = 0;
    virtual void setOpenedFromFile(bool opened) = 0;
    // Posts the switch between browser and viewer, so that it runs after the caller's handler.
    virtual void requestSwitch(appmsg::SwitchRequest request) = 0;

protected:
    AppHost() = default;
    AppHost(const AppHost&) = default;
    AppHost& operator=(const AppHost&) = default;
};
