#pragma once
// The logging category of start-up and the application, "pixoria.app": debug and info lines are off unless
// QT_LOGGING_RULES turns them on; warnings are shown.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
