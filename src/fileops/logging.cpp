#include "fileops/logging.h"

Q_LOGGING_CATEGORY(lcFileOps, "pixoria.fileops", QtWarningMsg)
