#include "run/CaseFiles.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "core/Error.h"
#include "output/RecordWriter.h"

namespace littoral {

namespace {

namespace fs = std::filesystem;

// A number as text that reads back as the same single-precision value.
std::string num(double v) {
    char b[40];
    std::snprintf(b, sizeof b, "%.9g", static_cast<double>(static_cast<float>(v)));
    return b;
}

void writeText(const fs::path& p, const std::string& text) {
    // Written whole under a temporary name, then renamed: a failed write leaves no part.
    const fs::path tmp = p.string() + ".part";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) throw StopError(p.string() + ": the file cannot be created");
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !ok) {
        std::error_code ec;
        fs::remove(tmp, ec);
        throw StopError(p.string() + ": the file cannot be written");
    }
    std::error_code ec;
    fs::rename(tmp, p, ec);
    if (ec) throw StopError(p.string() + ": the file cannot be put in place (" + ec.message() + ")");
}

// One line per i (along X) of the j values of the grid with its ghost ring.
template <class T>
std::string gridText(const CaseInputs& in, const std::vector<T>& v) {
    const int rowLen = in.nx + 2;
    std::string s;
    for (int i = 0; i < in.nx + 2; ++i) {
        for (int j = 0; j < in.ny + 2; ++j) {
            if (j) s += ',';
            const T x = v[static_cast<size_t>(j) * rowLen + i];
            if constexpr (std::is_integral_v<T>) s += std::to_string(x);
            else s += num(x);
        }
        s += '\n';
    }
    return s;
}

}  // namespace

std::string writeCaseFiles(const CaseInputs& in) {
    const std::string who = "the case \"" + in.name + "\"";
    if (in.name.empty() || in.name.find_first_of("/\\") != std::string::npos || in.name == "." || in.name == "..")
        throw StopError(who + ": expected a plain name for its files and output folder");
    if (in.dataFolder.empty()) throw StopError(who + ": expected a data folder to write its files into");
    if (in.nx < 1 || in.ny < 1)
        throw StopError(who + ": expected at least one interior cell in X and Y, found " + std::to_string(in.nx) + " x " +
                        std::to_string(in.ny));
    const size_t cells = static_cast<size_t>(in.nx + 2) * static_cast<size_t>(in.ny + 2);
    if (in.depth.size() != cells)
        throw StopError(who + ": depth: expected " + std::to_string(cells) + " values ((nx + 2) x (ny + 2), ghost ring " +
                        "included), found " + std::to_string(in.depth.size()));
    if (in.codes.size() != cells)
        throw StopError(who + ": codes: expected " + std::to_string(cells) + " values ((nx + 2) x (ny + 2), ghost ring " +
                        "included), found " + std::to_string(in.codes.size()));
    const fs::path data(in.dataFolder);
    std::error_code ec;
    fs::create_directories(data / in.name, ec);
    if (ec) throw StopError(in.dataFolder + ": the data folder cannot be made (" + ec.message() + ")");
    fs::path folder = fs::absolute(data).lexically_normal();
    if (folder.filename().empty()) folder = folder.parent_path();
    fs::create_directories(folder.parent_path() / "output", ec);
    if (ec) throw StopError(in.dataFolder + ": the folder \"output\" beside it cannot be made (" + ec.message() + ")");
    const fs::path dir = data / in.name;
    const int rows = 17 + static_cast<int>(in.tideRows.size()) - 1;
    std::string coef;
    coef += "1, first computed cell in X\n" + std::to_string(in.nx) + ", last computed cell in X\n" + num(in.dx) +
            ", cell width in X (m)\n";
    coef += "1, first computed cell in Y\n" + std::to_string(in.ny) + ", last computed cell in Y\n" + num(in.dy) +
            ", cell width in Y (m)\n";
    coef += std::to_string(std::max(rows, 17)) + ", size of the boundary-condition table (rows up to it)\n";
    coef += num(in.latitude) + ", latitude (degrees)\n" + num(in.friction) + ", bottom friction coefficient\n" +
            num(in.breakingRatio) + ", breaking wave height to depth ratio\n" + num(in.minDepth) +
            ", minimum computational depth (m)\n" + num(in.spare) + ", spare value\n" + num(in.startTime) +
            ", start time (s)\n" + num(in.endTime) + ", end time (s)\n" + num(in.shieldsCritical) +
            ", critical Shields number\n" + num(in.grainSize) + ", grain diameter (m)\n" + num(in.sedimentDensity) +
            ", sediment density (kg/m3)\n" + num(in.viscosity) + ", kinematic viscosity (m2/s)\n" +
            num(in.bedloadCoef) + ", bedload coefficient\n" + num(in.suspendedCoef) + ", suspended load coefficient\n" +
            "'endconst\n";
    std::string wave = std::to_string(in.waveCode) + ", wave input boundary code\n" + num(in.height) +
                       ", offshore wave height (m)\n" + num(in.period) + ", wave period (s)\n" + num(in.direction) +
                       ", offshore wave direction (degrees)\n" + std::to_string(in.phaseI) +
                       ", phase reference point X (cell)\n" + std::to_string(in.phaseJ) +
                       ", phase reference point Y (cell)\n" + num(in.groups) + ", number of wave groups\n" +
                       num(in.groupAmplitude) + ", wave group amplitude\n";
    std::string tide = num(in.tideLevel) + ", tide level (m)\n" + std::to_string(in.tideRows.size()) + "\n";
    int code = 17;
    for (const CaseInputs::TideRow& r : in.tideRows)
        tide += std::to_string(code++) + ", " + std::to_string(r.type) + ", " + num(r.value1) + ", " + num(r.value2) + "\n";
    writeText(dir / "coef.txt", coef);
    writeText(dir / "depth.txt", gridText(in, in.depth));
    writeText(dir / "boundary.txt", gridText(in, in.codes));
    writeText(dir / "wave.txt", wave);
    writeText(dir / "tide.txt", tide);
    const std::string n = in.name;
    const fs::path cnt = data / (in.name + "cnt.txt");
    writeText(cnt, n + "/coef.txt\n" + n + "/depth.txt\n" + n + "/boundary.txt\n" + n + "/wave.txt\n" + n +
                       "/tide.txt\n" + n + "\n'endcnt\n");
    return fs::absolute(cnt).string();
}

}  // namespace littoral
