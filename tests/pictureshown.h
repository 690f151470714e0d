#pragma once
// A move of the viewer reads its picture on the executor and shows it from the event loop: a
// test waits for that before it looks at what is shown.

#include <QTest>

#include "viewer/cviewercontroller.h"

// True once the picture the last move asked for is shown, or why it could not be read.
inline bool pictureShown(const CViewerController& controller)
{
    return QTest::qWaitFor([&controller] { return !controller.loading(); });
}
