#include "run/AppPaths.h"

#include <filesystem>

#include "core/Error.h"

namespace littoral {

CasePaths locateCase(const std::string& arg, bool needOutput) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path cnt(arg);
    if (!fs::exists(cnt, ec)) {
        const fs::path beside = fs::path(applicationFolder()) / "data" / arg;
        if (fs::exists(beside, ec)) cnt = beside;
        else throw StopError(arg + ": the control file does not exist");
    }
    cnt = fs::absolute(cnt, ec);
    const fs::path dataDir = cnt.parent_path();
    const fs::path outBase = dataDir.parent_path() / "output";
    if (needOutput && !fs::is_directory(outBase, ec))
        throw StopError("the folder \"output\" is missing beside the data folder: expected " + outBase.string() +
                        " to exist");
    return {cnt.string(), dataDir.string() + "/", outBase.string() + "/"};
}

namespace fs = std::filesystem;

std::string applicationFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path().string();
    return exe.parent_path().string();
}

void checkAppFolders(const std::string& appDir) {
    std::error_code ec;
    for (const char* sub : {"data", "output"}) {
        const fs::path p = fs::path(appDir) / sub;
        if (!fs::is_directory(p, ec))
            throw StopError("the folder \"" + std::string(sub) + "\" is missing beside the program: expected " +
                            p.string() + " to exist (the " +
                            (std::string(sub) == "data" ? "case control files *cnt.txt live there"
                                                        : "results of every case are written there") + ")");
    }
}

}  // namespace littoral
