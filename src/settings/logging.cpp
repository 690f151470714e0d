#include "settings/logging.h"

Q_LOGGING_CATEGORY(lcSettings, "pixoria.settings", QtWarningMsg)
