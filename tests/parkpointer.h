#pragma once
// Tests of the viewer's frame read its status panes. A pointer that an earlier test left where a
// toolbar button of the new frame now is would put the button's prompt in the status bar instead
// of the panes: the pointer is parked off every screen first.

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

inline void parkPointerOffScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        QCursor::setPos(screen->geometry().bottomRight() + QPoint(100, 100));
}
