#pragma once
// The application's side of the viewer for tests: the current image, the pending path and the
// opened-from-file flag as plain members, the switches asked for, an optional stand-in for the
// browser's frame, and the program's options (as stored when the host was made; tests set their
// fields). No browser list: a viewer under test uses its own.

#include <QEvent>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include "core/messages.h"
#include "imagelib/cbmpex.h"
#include "settings/cappsettings.h"
#include "viewer/viewerhost.h"

class RecordingHost : public ViewerHost {
public:
    RecordingHost() { options.LoadSettings(); }

    CBmpEx& currentImage() override { return image; }
    QString pendingImagePath() const override { return pending; }
    void setPendingImagePath(const QString& path) override { pending = path; }
    bool openedFromFile() const override { return opened; }
    void setOpenedFromFile(bool value) override { opened = value; }
    void requestSwitch(appmsg::SwitchRequest request) override { switches << int(request); }
    QObject* browserWindow() override { return browser; }

    CBmpEx image;
    QString pending;
    bool opened = false;
    QList<int> switches;
    QObject* browser = nullptr;
    CAppSettings options;
};

// Stands for the browser's frame: records the pictures the viewer hands back ("SelectPicture").
class BrowserStandIn : public QObject {
public:
    QStringList selected;

protected:
    bool event(QEvent* event) override
    {
        if (const appmsg::Message* message = appmsg::as(event, appmsg::kSelectPicture)) {
            selected << message->path;
            return true;
        }
        return QObject::event(event);
    }
};
