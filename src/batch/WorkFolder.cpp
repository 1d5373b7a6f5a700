#include "batch/WorkFolder.h"

#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace fs = std::filesystem;

namespace littoral {

std::string programFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::string examplesFolder(const std::string& programFolder) {
    const fs::path bin(programFolder);
    std::error_code ec;
    for (const fs::path& p : {bin / ".." / "share" / "littoral" / "examples", bin / "data"})
        if (fs::is_directory(p, ec)) return fs::weakly_canonical(p, ec).string();
    return "";
}

std::string makeWorkFolder(const std::string& dir, const std::string& examples) {
    if (dir.empty()) throw std::runtime_error("the option --init: expected the folder to make after it");
    if (examples.empty())
        throw std::runtime_error("--init " + dir +
                                 ": the examples were not found (expected ../share/littoral/examples beside the "
                                 "program, or data/ in the build tree)");
    const fs::path root(dir), data = root / "data", output = root / "output";
    std::error_code ec;
    if (fs::exists(root, ec) && !fs::is_directory(root, ec))
        throw std::runtime_error("--init " + dir + ": a file of that name exists: expected a folder or a new name");
    long copied = 0, kept = 0;
    try {
        fs::create_directories(data);
        fs::create_directories(output);
        for (auto it = fs::recursive_directory_iterator(examples); it != fs::recursive_directory_iterator(); ++it) {
            const fs::path rel = fs::relative(it->path(), examples);
            const fs::path to = data / rel;
            if (it->is_directory()) {
                fs::create_directories(to);
            } else if (fs::exists(to)) {
                ++kept;  // the user's file stays
            } else {
                fs::copy_file(it->path(), to);
                ++copied;
            }
        }
    } catch (const fs::filesystem_error& e) {
        throw std::runtime_error("--init " + dir + ": " + e.path1().string() + ": " + e.code().message());
    }
    std::string text = "work folder " + dir + ": " + std::to_string(copied) + " example files copied into " +
                       data.string() + "/";
    if (kept > 0) text += " (" + std::to_string(kept) + " files already there kept as they were)";
    text += ", results go below " + output.string() + "/\n";
    for (const char* cnt : {"mybaycnt.txt", "beachcnt.txt", "breakwatercnt.txt"})
        if (fs::exists(data / cnt)) {
            text += "run one: littoral-batch " + (data / cnt).string() + "\n";
            break;
        }
    return text;
}

}  // namespace littoral
