#include "run/Checkpoint.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/Error.h"
#include "input/CaseInput.h"
#include "littoral/littoral.h"
#include "output/CheckpointFile.h"
#include "run/MainLoop.h"

namespace littoral {

namespace {

std::string valueText(double v) {
    char b[40];
    std::snprintf(b, sizeof b, "%.9g", v);
    return b;
}

// A model time for people: to the millisecond.
std::string timeText(double seconds) {
    char b[40];
    std::snprintf(b, sizeof b, "%.3f", seconds);
    std::string s = b;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string fileBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return {};
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// The input files of the case by their role.
std::vector<std::pair<std::string, std::string>> inputFiles(const Model& m) {
    return {{"control_file", m.cntPath},
            {"coefficient_file", inputPath(m, m.coefFile)},
            {"depth_file", inputPath(m, m.depFile)},
            {"boundary_file", inputPath(m, m.bndFile)},
            {"wave_file", inputPath(m, m.wavFile)},
            {"tide_file", inputPath(m, m.tideFile)}};
}

// The values the coefficient file gives, by name: a coefficient file whose bytes changed is
// compared value by value, so that the one allowed change (the end time) is told apart.
std::vector<std::pair<std::string, double>> coefficientValues(const Model& m) {
    return {{"ixStart", m.ixStart},     {"ixEnd", m.ixEnd},         {"jyStart", m.jyStart},
            {"jyEnd", m.jyEnd},         {"dx", m.dx},               {"dy", m.dy},
            {"nBndApprox", m.nBndApprox}, {"latitude", m.latitude}, {"fricCoef", m.fricCoef},
            {"brkRatio", m.brkRatio},   {"minDepth", m.minDepth},   {"spareParam", m.spareParam},
            {"tStart", m.tStart},       {"tEnd", m.tEnd},           {"shieldsCr", m.shieldsCr},
            {"grainSize", m.grainSize}, {"sedDensity", m.sedDensity}, {"viscosity", m.viscosity},
            {"bedloadCoef", m.bedloadCoef}, {"suspCoef", m.suspCoef}};
}

std::map<std::string, std::string> asMap(const std::vector<std::pair<std::string, std::string>>& v) {
    return {v.begin(), v.end()};
}

std::string get(const std::map<std::string, std::string>& m, const std::string& key) {
    const auto it = m.find(key);
    return it == m.end() ? std::string() : it->second;
}

}  // namespace

std::string checkpointPath(const Model& m) { return m.outDir + "checkpoint.nc"; }

std::string fingerprintOf(const std::string& bytes) {
    uint64_t h = 0xcbf29ce484222325ULL;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 0x100000001b3ULL;
    }
    char b[24];
    std::snprintf(b, sizeof b, "%016llx", static_cast<unsigned long long>(h));
    return b;
}

// The record of what the run is made from, taken once the case is read.
std::vector<std::pair<std::string, std::string>> makeCheckpointRecord(const Model& m) {
    std::vector<std::pair<std::string, std::string>> r;
    r.emplace_back("program_version", version());
    for (const auto& [role, path] : inputFiles(m)) {
        r.emplace_back("input." + role, path);
        r.emplace_back("fingerprint." + role, fingerprintOf(fileBytes(path)));
    }
    for (const auto& [name, v] : coefficientValues(m)) r.emplace_back("case." + name, valueText(v));
    for (const auto& [key, v] : m.resultOptions) r.emplace_back("option." + key, v);
    return r;
}

void writeCheckpoint(Model& m, IntervalLoop& loop) {
    if (m.checkpointRecord.empty()) m.checkpointRecord = makeCheckpointRecord(m);
    StateItems items;
    m.stateItems(items);
    loop.stateItems(items);
    CheckpointTexts texts = m.checkpointRecord;
    texts.emplace_back("model_time",
                       valueText(static_cast<double>(m.tStart) + static_cast<double>(loop.clock().interval) * m.waveT0) +
                           " s (the next interval's start)");
    texts.emplace_back("title", "Littoral checkpoint of the case " + m.cntPath);
    writeCheckpointFile(m, items, texts, checkpointPath(m));
}

// The temporary files of a checkpoint or results.nc that a killed run left half-written (the
// case holds its output folder: no other run is writing there).
void removeStaleParts(const Model& m) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(m.outDir, ec)) {
        const std::string name = e.path().filename().string();
        const bool part = name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0;
        if (part && (name.rfind("checkpoint.nc.", 0) == 0 || name.rfind("results.nc.", 0) == 0))
            std::filesystem::remove(e.path(), ec);
    }
}

std::optional<ResumePoint> openCheckpoint(Model& m, RunHost& host) {
    const std::string path = checkpointPath(m);
    std::error_code ec;
    if (m.writesFiles()) removeStaleParts(m);
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (m.slabs().rank() == 0)
            host.warning(path + ": no checkpoint to resume from: the run starts from the beginning");
        return std::nullopt;
    }
    if (m.checkpointRecord.empty()) m.checkpointRecord = makeCheckpointRecord(m);
    const auto saved = asMap(readCheckpointTexts(path, ""));
    const auto now = asMap(m.checkpointRecord);
    std::vector<std::string> differ;
    const std::string savedVersion = get(saved, "program_version");
    if (savedVersion != version())
        differ.push_back("it was made by Littoral " + (savedVersion.empty() ? std::string("(unknown version)") : savedVersion) +
                         ", this is Littoral " + version());
    bool extended = false;
    std::string endWas;
    for (const auto& [role, file] : inputFiles(m)) {
        const std::string key = "fingerprint." + role;
        if (get(saved, key) == get(now, key)) continue;
        std::string name = role;
        for (char& c : name) c = c == '_' ? ' ' : c;
        if (role != "coefficient_file") {
            differ.push_back("the " + name + " " + file + " differs from the one it was made with (" +
                             get(saved, "input." + role) + ")");
            continue;
        }
        // The coefficient file: value by value; only the end time may change.
        std::vector<std::string> values;
        for (const auto& [v, x] : coefficientValues(m)) {
            (void)x;
            const std::string a = get(saved, "case." + v), b = get(now, "case." + v);
            if (a == b) continue;
            if (v == "tEnd") {
                extended = true;
                endWas = a;
                continue;
            }
            values.push_back(v + " " + b + " (was " + a + ")");
        }
        for (const std::string& v : values) differ.push_back("the coefficient file " + file + " gives " + v);
    }
    for (const auto& [key, v] : saved) {
        if (key.rfind("option.", 0) != 0) continue;
        const std::string b = get(now, key);
        if (b != v) differ.push_back("the option " + key.substr(7) + " is " + (b.empty() ? "unset" : b) + " (was " + v + ")");
    }
    for (const auto& [key, v] : now)
        if (key.rfind("option.", 0) == 0 && !saved.count(key))
            differ.push_back("the option " + key.substr(7) + " is " + v + " (not recorded by the checkpoint)");
    if (!differ.empty()) {
        std::string text = path + ": the run cannot be resumed from this checkpoint: ";
        for (size_t k = 0; k < differ.size(); ++k) text += (k ? "; " : "") + differ[k];
        throw StopError(text + ". Expected the inputs, options and program it was made with (only the end time may "
                               "change); start the run afresh without resuming");
    }

    ResumePoint p;
    p.path = path;
    StateItems results;
    LoopClock clock;
    results.scalar("results.netcdf_steps", p.netcdfSteps);
    results.text("results.netcdf_history", p.netcdfHistory);
    double endSeconds = 0;
    results.scalar("clock.interval", clock.interval);
    results.scalar("loop.end_seconds", endSeconds);
    readCheckpointFile(m, results, path);
    if (extended) {
        scaleFlow(m, m.hMax);
        const double reached = endSeconds;
        if (intervalCount(m) < clock.interval)
            throw StopError(path + ": the run cannot be resumed from this checkpoint: the end time in the coefficient file " +
                            inputPath(m, m.coefFile) + " is " + timeText(m.tEnd) + " s, before the start of the last interval " +
                            "the checkpoint's run computed (" + timeText(reached - m.waveT0) + " s; its end time was " +
                            endWas + " s): expected the same or a later end time");
        if (m.slabs().rank() == 0)
            host.warning(path + ": the end time is now " + timeText(m.tEnd) + " s (it was " + endWas +
                         " s): the run goes on from the checkpoint at " + timeText(reached) + " s");
    }
    return p;
}

void restoreItems(Model& m, const StateItems& items, const ResumePoint& from) { readCheckpointFile(m, items, from.path); }

void restoreCheckpoint(Model& m, IntervalLoop& loop, const ResumePoint& from) {
    StateItems items;
    m.stateItems(items);
    loop.stateItems(items);
    readCheckpointFile(m, items, from.path);
}

}  // namespace littoral
