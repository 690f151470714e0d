#include "viewer/logging.h"

Q_LOGGING_CATEGORY(lcViewer, "pixoria.viewer", QtWarningMsg)
