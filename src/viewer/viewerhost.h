#pragma once
// What the viewer asks of the application beyond what both faces share (AppHost): the
// browser's side of the round trip, its list of pictures and its frame. The application
// implements it; the viewer never includes application or browser code.

#include "core/apphost.h"

class PictureList;
class QObject;

class ViewerHost : public AppHost {
public:
    // The browser's file list as a list of pictures, owned by the host; null without a browser.
    virtual PictureList* browserList() { return nullptr; }
    // The browser's frame, which takes "SelectPicture" when the viewer hands back; may be null.
    virtual QObject* browserWindow() { return nullptr; }
};
