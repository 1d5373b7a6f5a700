// The application folder (the folder of the executable) and its "data" and "output"
// folders, which both programs need beside them.
#pragma once

#include <string>

namespace littoral {

// Folder of the running executable, without a trailing separator.
std::string applicationFolder();

// Throws StopError with a clear message when appDir/data or appDir/output is missing.
void checkAppFolders(const std::string& appDir);

// Where a case named on a command line lies: a path as given, else a bare name in the folder
// "data" beside the program. Sets the control file's absolute path, its folder (the data
// folder) and the folder "output" beside that, each folder with a trailing separator; with
// needOutput, throws StopError when that output folder is missing.
struct CasePaths {
    std::string cntPath, dataDir, outBase;
};
CasePaths locateCase(const std::string& arg, bool needOutput = true);

}  // namespace littoral
