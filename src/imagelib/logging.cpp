#include "imagelib/logging.h"

Q_LOGGING_CATEGORY(lcImageLib, "pixoria.imagelib", QtWarningMsg)
