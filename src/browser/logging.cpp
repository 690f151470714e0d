#include "browser/logging.h"

Q_LOGGING_CATEGORY(lcBrowser, "pixoria.browser", QtWarningMsg)
