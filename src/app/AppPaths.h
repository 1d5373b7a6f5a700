// The application folder (the folder of the executable) and its "data" and "output"
// folders, which both programs need beside them.
#pragma once

#include <string>

namespace littoral {

// Folder of the running executable, without a trailing separator.
std::string applicationFolder();

// Throws StopError with a clear message when appDir/data or appDir/output is missing.
void checkAppFolders(const std::string& appDir);

}  // namespace littoral
