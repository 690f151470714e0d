#pragma once
// Opening documents and addresses with the desktop's own programs.

#include <QString>

namespace platform {

// Opens a local file with the program the desktop associates with it; false when none could be
// started.
bool openDocument(const QString& path);

}  // namespace platform
