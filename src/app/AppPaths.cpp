#include "app/AppPaths.h"

#include <filesystem>

#include "core/Error.h"

namespace littoral {

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
