#pragma once
// The logging category of the viewer, "pixoria.viewer": debug and info lines are off unless
// QT_LOGGING_RULES turns them on; warnings are shown.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcViewer)
