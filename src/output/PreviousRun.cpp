#include "output/PreviousRun.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "core/Error.h"

#include <sys/stat.h>

namespace littoral {

namespace fs = std::filesystem;

namespace {

bool startsWith(const std::string& s, const std::string& p) { return s.size() >= p.size() && s.compare(0, p.size(), p) == 0; }
bool endsWith(const std::string& s, const std::string& p) {
    return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

// stem + an output number (digits, a minus sign allowed) + ".csv".
bool numberedFile(const std::string& name, const std::string& stem) {
    if (!startsWith(name, stem) || !endsWith(name, ".csv")) return false;
    std::string n = name.substr(stem.size(), name.size() - stem.size() - 4);
    if (!n.empty() && n[0] == '-') n.erase(0, 1);
    return !n.empty() && std::all_of(n.begin(), n.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

std::string stampText(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char b[32];
    std::strftime(b, sizeof b, "%Y-%m-%d_%H-%M-%S", &tm);
    return b;
}

// The earlier run's start: the oldest modification time of its files (its echo files are
// written as it starts).
std::string startOf(const std::vector<fs::path>& files) {
    std::time_t oldest = 0;
    bool any = false;
    for (const fs::path& p : files) {
        struct stat st {};
        if (::stat(p.c_str(), &st) != 0) continue;
        if (!any || st.st_mtime < oldest) oldest = st.st_mtime;
        any = true;
    }
    return stampText(any ? oldest : std::time(nullptr));
}

}  // namespace

bool isRunResultFile(const std::string& name) {
    return numberedFile(name, "surfer") || numberedFile(name, "mean") || name == "results.nc" || name == "gauges.nc" ||
           name == "gauges.csv" || (startsWith(name, "checkpoint") && name.find(".nc") != std::string::npos &&
                                    !endsWith(name, ".part")) ||
           endsWith(name, ".png");
}

bool isRunFile(const std::string& name) {
    return isRunResultFile(name) || (startsWith(name, "0") && endsWith(name, ".txt")) || name == "surferdep.csv" ||
           name == "surferbnd.csv";
}

std::optional<SetAside> setAsidePreviousRun(const std::string& outDir) {
    const fs::path dir(outDir);
    std::vector<fs::path> files;
    bool results = false;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        if (!e.is_regular_file(ec)) continue;
        const std::string name = e.path().filename().string();
        if (!isRunFile(name)) continue;
        files.push_back(e.path());
        results = results || isRunResultFile(name);
    }
    if (ec) throw StopError(outDir + ": the output folder could not be read (" + ec.message() + ")");
    if (!results) return std::nullopt;
    std::sort(files.begin(), files.end());
    // The subfolder is new: a second earlier run of the same second gets a number.
    const std::string base = "previous-" + startOf(files);
    fs::path into = dir / base;
    for (int k = 2; fs::exists(into, ec) || !fs::create_directory(into, ec); ++k) {
        if (k > 1000 || (ec && !fs::exists(into)))
            throw StopError(into.string() + ": the folder for the earlier run's files could not be made" +
                            (ec ? " (" + ec.message() + ")" : std::string()));
        into = dir / (base + "-" + std::to_string(k));
    }
    SetAside done{into.string() + "/", 0};
    for (const fs::path& p : files) {
        fs::rename(p, into / p.filename(), ec);
        if (ec)
            throw StopError(p.string() + ": the earlier run's file could not be moved into " + done.folder + " (" +
                            ec.message() + ")");
        ++done.files;
    }
    return done;
}

}  // namespace littoral
