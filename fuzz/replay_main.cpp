// Replays inputs through one reader's fuzz target without libFuzzer:
//   littoral-fuzz-replay READER FILE_OR_FOLDER...
// Every file given, and every file in a folder given, is read once. Exits non-zero when
// a target throws anything but the readers' own stop (a crash ends it anyway).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Targets.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: littoral-fuzz-replay control|coef|wave|tide|depth|boundary|freefield FILE_OR_FOLDER...\n");
        return 2;
    }
    const auto target = littoral::fuzz::targetNamed(argv[1]);
    if (!target) {
        std::fprintf(stderr, "littoral-fuzz-replay: no reader named \"%s\"\n", argv[1]);
        return 2;
    }
    std::vector<fs::path> files;
    for (int a = 2; a < argc; ++a) {
        std::error_code ec;
        if (fs::is_directory(argv[a], ec)) {
            for (const auto& e : fs::directory_iterator(argv[a]))
                if (e.is_regular_file()) files.push_back(e.path());
        } else if (fs::is_regular_file(argv[a], ec)) {
            files.push_back(argv[a]);
        } else {
            std::fprintf(stderr, "littoral-fuzz-replay: %s is neither a file nor a folder\n", argv[a]);
            return 2;
        }
    }
    std::sort(files.begin(), files.end());
    const auto start = std::chrono::steady_clock::now();
    for (const fs::path& f : files) {
        std::ifstream in(f, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        try {
            target(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s: unexpected exception: %s\n", argv[1], f.string().c_str(), e.what());
            return 1;
        }
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %zu inputs replayed in %.2f s\n", argv[1], files.size(), s);
    return files.empty() ? 1 : 0;
}
