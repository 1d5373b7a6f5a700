// The options file beside a control file (name.toml for namecnt.txt): what it sets, each
// key checked for its table, its type and its range. Anything the file names that this
// program does not know is refused, so that a misspelt key never passes unnoticed.
#include "run/Options.h"

#include <toml++/toml.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string_view>

namespace fs = std::filesystem;

namespace littoral {

namespace {

// The file as messages name it and the key being read ("output.every").
struct Reader {
    std::string file;

    [[noreturn]] void fail(const std::string& key, const toml::node* at, const std::string& what) const {
        const long line = at ? static_cast<long>(at->source().begin.line) : 0;
        std::string msg = file;
        if (line > 0) msg += ", line " + std::to_string(line);
        msg += ": " + key + " " + what;
        throw InputError(msg, file, key, line);
    }

    const toml::table& table(const toml::node& n, const std::string& key) const {
        if (!n.is_table()) fail(key, &n, "must be a table ([" + key + "])");
        return *n.as_table();
    }

    long long integer(const toml::node& n, const std::string& key, long long lo, const char* expected) const {
        if (!n.is_integer()) fail(key, &n, std::string("must be an integer ") + expected);
        const long long v = n.as_integer()->get();
        if (v < lo || v > std::numeric_limits<int>::max()) fail(key, &n, std::string("must be an integer ") + expected +
                                                                          ", found " + std::to_string(v));
        return v;
    }

    double number(const toml::node& n, const std::string& key) const {
        double v = 0;
        if (n.is_integer()) v = static_cast<double>(n.as_integer()->get());
        else if (n.is_floating_point()) v = n.as_floating_point()->get();
        else fail(key, &n, "must be a number");
        if (!std::isfinite(v)) fail(key, &n, "must be a finite number");
        return v;
    }

    bool boolean(const toml::node& n, const std::string& key) const {
        if (!n.is_boolean()) fail(key, &n, "must be true or false");
        return n.as_boolean()->get();
    }

    std::string string(const toml::node& n, const std::string& key) const {
        if (!n.is_string()) fail(key, &n, "must be a string in quotes");
        return n.as_string()->get();
    }

    [[noreturn]] void unknown(const std::string& key, const toml::node& n, const char* known) const {
        fail(key, &n, std::string("is not an option of this program (known here: ") + known + ")");
    }
};

std::string toText(std::string_view s) { return std::string(s); }

void readOutput(const Reader& r, const toml::table& t, OptionsFile& o) {
    for (const auto& [k, n] : t) {
        const std::string key = "output." + toText(k.str());
        if (k == "every") o.outputEvery = static_cast<int>(r.integer(n, key, 1, "of 1 or more"));
        else if (k == "means") o.means = r.boolean(n, key);
        else r.unknown(key, n, "every, means");
    }
}

void readMorphology(const Reader& r, const toml::table& t, OptionsFile& o) {
    for (const auto& [k, n] : t) {
        const std::string key = "morphology." + toText(k.str());
        if (k == "morfac") {
            const double v = r.number(n, key);
            if (!(v > 0)) r.fail(key, &n, "must be a number above 0 (1: the bed changes as computed)");
            o.morfac = v;
        } else if (k == "start") {
            const double v = r.number(n, key);
            if (v < 0) r.fail(key, &n, "must be a model time of 0 s or later");
            o.morstart = v;
        } else {
            r.unknown(key, n, "morfac, start");
        }
    }
}

void readWaves(const Reader& r, const toml::table& t, OptionsFile& o) {
    for (const auto& [k, n] : t) {
        const std::string key = "waves." + toText(k.str());
        if (k == "absorbing_input") o.absorbingInput = r.boolean(n, key);
        else if (k == "mean_currents") o.meanCurrents = r.boolean(n, key);
        else r.unknown(key, n, "absorbing_input, mean_currents");
    }
}

void readFlow(const Reader& r, const toml::table& t, OptionsFile& o) {
    for (const auto& [k, n] : t) {
        const std::string key = "flow." + toText(k.str());
        if (k == "balanced_wave_force") o.balancedWaveForce = r.boolean(n, key);
        else r.unknown(key, n, "balanced_wave_force");
    }
}

void readCheckpoint(const Reader& r, const toml::table& t, OptionsFile& o) {
    for (const auto& [k, n] : t) {
        const std::string key = "checkpoint." + toText(k.str());
        if (k == "every") o.checkpointEvery = static_cast<int>(r.integer(n, key, 0, "of 0 (never) or more"));
        else if (k == "resume") o.resume = r.boolean(n, key);
        else r.unknown(key, n, "every, resume");
    }
}

void readGauges(const Reader& r, const toml::node& n, OptionsFile& o) {
    if (!n.is_array_of_tables()) r.fail("gauge", &n, "must be a list of tables, each headed [[gauge]]");
    const toml::array& list = *n.as_array();
    for (size_t g = 0; g < list.size(); ++g) {
        const std::string at = "gauge[" + std::to_string(g + 1) + "]";
        const toml::table& t = *list[g].as_table();
        Gauge gauge;
        bool hasName = false, hasX = false, hasY = false;
        for (const auto& [k, v] : t) {
            const std::string key = at + "." + toText(k.str());
            if (k == "name") {
                gauge.name = r.string(v, key);
                if (gauge.name.empty()) r.fail(key, &v, "must not be empty");
                hasName = true;
            } else if (k == "x") {
                gauge.x = r.number(v, key);
                hasX = true;
            } else if (k == "y") {
                gauge.y = r.number(v, key);
                hasY = true;
            } else {
                r.unknown(key, v, "name, x, y");
            }
        }
        if (!hasName) r.fail(at + ".name", &t, "is missing (each gauge needs a name, x and y in metres)");
        if (!hasX) r.fail(at + ".x", &t, "is missing (the gauge's x in metres)");
        if (!hasY) r.fail(at + ".y", &t, "is missing (the gauge's y in metres)");
        for (const Gauge& other : o.gauges)
            if (other.name == gauge.name) r.fail(at + ".name", &t, "\"" + gauge.name + "\" names another gauge already");
        o.gauges.push_back(gauge);
    }
}

void readDesktop(const Reader& r, const toml::table& t, OptionsFile& o) {
    for (const auto& [k, n] : t) {
        const std::string key = "desktop." + toText(k.str());
        if (k == "keep_open") o.keepOpen = r.boolean(n, key);
        else r.unknown(key, n, "keep_open");
    }
}

void readGeoreference(const Reader& r, const toml::table& t, OptionsFile& o) {
    Georeference geo;
    bool hasCrs = false;
    for (const auto& [k, n] : t) {
        const std::string key = "georeference." + toText(k.str());
        if (k == "crs") {
            geo.crs = r.string(n, key);
            if (geo.crs.empty()) r.fail(key, &n, "must name a coordinate reference system (WKT or \"EPSG:n\")");
            hasCrs = true;
        } else if (k == "origin") {
            const toml::array* a = n.as_array();
            if (!a || a->size() != 2) r.fail(key, &n, "must be two numbers [x, y] (map units)");
            geo.originX = r.number(*a->get(0), key + "[1]");
            geo.originY = r.number(*a->get(1), key + "[2]");
        } else if (k == "rotation") {
            geo.rotation = r.number(n, key);
        } else {
            r.unknown(key, n, "crs, origin, rotation");
        }
    }
    if (!hasCrs) r.fail("georeference.crs", &t, "is missing (WKT or \"EPSG:n\")");
    o.georeference = geo;
}

}  // namespace

std::string optionsFilePath(const std::string& controlFile) {
    fs::path p(controlFile);
    std::string stem = p.filename().string();
    const std::string tail = "cnt.txt";
    if (stem.size() > tail.size() && stem.compare(stem.size() - tail.size(), tail.size(), tail) == 0)
        stem.resize(stem.size() - tail.size());
    else
        stem = p.stem().string();
    return (p.parent_path() / (stem + ".toml")).string();
}

OptionsFile readOptionsFile(const std::string& controlFile) {
    OptionsFile o;
    const std::string path = optionsFilePath(controlFile);
    std::error_code ec;
    if (!fs::exists(path, ec)) return o;
    const Reader r{fs::path(path).filename().string()};
    if (!fs::is_regular_file(path, ec)) throw InputError(r.file + ": the options file is not a regular file", r.file, "", 0);
    toml::table root;
    try {
        root = toml::parse_file(path);
    } catch (const toml::parse_error& e) {
        const long line = static_cast<long>(e.source().begin.line);
        throw InputError(r.file + ", line " + std::to_string(line) + ": not a TOML file as expected: " +
                             std::string(e.description()),
                         r.file, "", line);
    }
    o.path = path;
    for (const auto& [k, n] : root) {
        const std::string key = toText(k.str());
        if (k == "output") readOutput(r, r.table(n, key), o);
        else if (k == "morphology") readMorphology(r, r.table(n, key), o);
        else if (k == "checkpoint") readCheckpoint(r, r.table(n, key), o);
        else if (k == "waves") readWaves(r, r.table(n, key), o);
        else if (k == "flow") readFlow(r, r.table(n, key), o);
        else if (k == "gauge") readGauges(r, n, o);
        else if (k == "desktop") readDesktop(r, r.table(n, key), o);
        else if (k == "georeference") readGeoreference(r, r.table(n, key), o);
        else r.unknown(key, n, "[output], [morphology], [checkpoint], [waves], [flow], [[gauge]], [desktop], [georeference]");
    }
    return o;
}

void applyOptionsFile(const OptionsFile& file, RunOptions& options) {
    const std::string from = fs::path(file.path).filename().string();
    const auto take = [&](const auto& value, auto& into, const char* key) {
        if (!value) return;
        into = *value;
        options.setBy[key] = from;
    };
    take(file.outputEvery, options.outputEvery, "output.every");
    take(file.means, options.means, "output.means");
    take(file.morfac, options.morfac, "morphology.morfac");
    take(file.morstart, options.morstart, "morphology.start");
    take(file.absorbingInput, options.absorbingInput, "waves.absorbing_input");
    take(file.balancedWaveForce, options.balancedWaveForce, "flow.balanced_wave_force");
    take(file.meanCurrents, options.meanCurrents, "waves.mean_currents");
    take(file.checkpointEvery, options.checkpointEvery, "checkpoint.every");
    take(file.resume, options.resume, "checkpoint.resume");
    if (!file.gauges.empty()) {
        options.gauges = file.gauges;
        options.setBy["gauge"] = from;
    }
    if (file.georeference) {
        options.georeference = file.georeference;
        options.setBy["georeference"] = from;
    }
    if (!file.path.empty()) options.optionsFile = file.path;
}

}  // namespace littoral

namespace littoral {

namespace {

std::string numberText(double v) {
    char b[40];
    std::snprintf(b, sizeof b, "%.15g", v);
    return b;
}

}  // namespace

std::vector<std::string> optionLines(const RunOptions& o) {
    const RunOptions d;
    const bool defaults = o.outputEvery == d.outputEvery && o.means == d.means && o.morfac == d.morfac &&
                          o.morstart == d.morstart && o.absorbingInput == d.absorbingInput &&
                          o.balancedWaveForce == d.balancedWaveForce && o.meanCurrents == d.meanCurrents &&
                          o.checkpointEvery == d.checkpointEvery && o.resume == d.resume &&
                          o.gauges.empty() && !o.georeference;
    if (defaults && o.setBy.empty() && o.optionsFile.empty()) return {};
    const auto from = [&](const char* key) {
        const auto it = o.setBy.find(key);
        return "   (" + (it == o.setBy.end() ? std::string("default") : it->second) + ")";
    };
    const auto yes = [](bool b) { return std::string(b ? "true" : "false"); };
    std::vector<std::string> lines;
    lines.push_back("options file: " + (o.optionsFile.empty() ? std::string("none") : o.optionsFile));
    lines.push_back("output.every = " + std::to_string(o.outputEvery) + from("output.every"));
    lines.push_back("output.means = " + yes(o.means) + from("output.means"));
    lines.push_back("morphology.morfac = " + numberText(o.morfac) + from("morphology.morfac"));
    lines.push_back("morphology.start = " + numberText(o.morstart) + " s" + from("morphology.start"));
    // The two choices of the physics only where they are made, so the echo of every other
    // run stays as it was.
    if (o.absorbingInput != d.absorbingInput || o.setBy.count("waves.absorbing_input"))
        lines.push_back("waves.absorbing_input = " + yes(o.absorbingInput) + from("waves.absorbing_input"));
    if (o.meanCurrents != d.meanCurrents || o.setBy.count("waves.mean_currents"))
        lines.push_back("waves.mean_currents = " + yes(o.meanCurrents) + from("waves.mean_currents"));
    if (o.balancedWaveForce != d.balancedWaveForce || o.setBy.count("flow.balanced_wave_force"))
        lines.push_back("flow.balanced_wave_force = " + yes(o.balancedWaveForce) + from("flow.balanced_wave_force"));
    lines.push_back("checkpoint.every = " + std::to_string(o.checkpointEvery) + from("checkpoint.every"));
    lines.push_back("checkpoint.resume = " + yes(o.resume) + from("checkpoint.resume"));
    for (const Gauge& g : o.gauges)
        lines.push_back("gauge = \"" + g.name + "\" at x = " + numberText(g.x) + " m, y = " + numberText(g.y) + " m" +
                        from("gauge"));
    if (o.georeference)
        lines.push_back("georeference = " + o.georeference->crs + ", origin [" + numberText(o.georeference->originX) +
                        ", " + numberText(o.georeference->originY) + "], rotation " +
                        numberText(o.georeference->rotation) + " degrees" + from("georeference"));
    return lines;
}

std::vector<std::pair<std::string, std::string>> resultOptionTexts(const RunOptions& o) {
    const auto yes = [](bool b) { return std::string(b ? "true" : "false"); };
    std::vector<std::pair<std::string, std::string>> v = {
        {"results.csv", yes(o.csv)},
        {"results.netcdf", yes(o.netcdf)},
        {"output.every", std::to_string(o.outputEvery)},
        {"output.means", yes(o.means)},
        {"morphology.morfac", numberText(o.morfac)},
        {"morphology.start", numberText(o.morstart)},
        {"waves.absorbing_input", yes(o.absorbingInput)},
        {"waves.mean_currents", yes(o.meanCurrents)},
        {"flow.balanced_wave_force", yes(o.balancedWaveForce)},
    };
    std::string gauges;
    for (const Gauge& g : o.gauges) gauges += (gauges.empty() ? "" : "; ") + g.name + " " + numberText(g.x) + " " + numberText(g.y);
    v.emplace_back("gauges", gauges.empty() ? "none" : gauges);
    v.emplace_back("georeference", o.georeference ? o.georeference->crs + " " + numberText(o.georeference->originX) + " " +
                                                        numberText(o.georeference->originY) + " " +
                                                        numberText(o.georeference->rotation)
                                                  : std::string("none"));
    return v;
}

void checkRunOptions(const RunOptions& o) {
    if (o.outputEvery < 1)
        throw std::invalid_argument("outputEvery is " + std::to_string(o.outputEvery) + ": expected 1 or more");
    if (!(o.morfac > 0) || !std::isfinite(o.morfac))
        throw std::invalid_argument("morfac is " + numberText(o.morfac) + ": expected a finite number above 0");
    if (!(o.morstart >= 0) || !std::isfinite(o.morstart))
        throw std::invalid_argument("morstart is " + numberText(o.morstart) + " s: expected a finite time of 0 s or later");
    if (o.checkpointEvery < 0)
        throw std::invalid_argument("checkpointEvery is " + std::to_string(o.checkpointEvery) + ": expected 0 or more");
}

}  // namespace littoral
