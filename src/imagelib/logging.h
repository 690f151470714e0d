#pragma once
// The logging category of the image library, "pixoria.imagelib": debug and info lines are off
// unless QT_LOGGING_RULES turns them on; warnings are shown.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcImageLib)
