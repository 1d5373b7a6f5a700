// The case description (TOML): every table and key checked for its name, its type and its
// range, each fault named by the file, the key and its line.
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>

#include <toml++/toml.h>

#include "littoral/casebuilder.h"

namespace littoral {

namespace {

namespace fs = std::filesystem;

class Reader {
public:
    explicit Reader(std::string file) : file_(std::move(file)) {}

    [[noreturn]] void fail(const std::string& key, const toml::node* at, const std::string& what) const {
        const long line = at ? static_cast<long>(at->source().begin.line) : 0;
        throw InputError(file_ + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + key + " " + what,
                         file_, key, line);
    }
    double number(const toml::node& n, const std::string& key) const {
        if (auto v = n.value_exact<double>()) {
            if (!std::isfinite(*v)) fail(key, &n, "must be a finite number, found " + text(n));
            return *v;
        }
        if (auto v = n.value_exact<int64_t>()) return static_cast<double>(*v);
        fail(key, &n, "must be a number, found " + kind(n));
    }
    double positive(const toml::node& n, const std::string& key) const {
        const double v = number(n, key);
        if (!(v > 0)) fail(key, &n, "must be above 0, found " + text(n));
        return v;
    }
    int count(const toml::node& n, const std::string& key, int low, int high) const {
        auto v = n.value_exact<int64_t>();
        if (!v) fail(key, &n, "must be a whole number, found " + kind(n));
        if (*v < low || *v > high)
            fail(key, &n, "must be a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
                              ", found " + std::to_string(*v));
        return static_cast<int>(*v);
    }
    std::string string(const toml::node& n, const std::string& key) const {
        if (auto v = n.value_exact<std::string>()) return *v;
        fail(key, &n, "must be a text in quotes, found " + kind(n));
    }
    std::string choice(const toml::node& n, const std::string& key, const std::vector<std::string>& allowed) const {
        const std::string v = string(n, key);
        std::string list;
        for (const std::string& a : allowed) {
            if (v == a) return v;
            list += (list.empty() ? "" : ", ") + ("\"" + a + "\"");
        }
        fail(key, &n, "must be one of " + list + ", found \"" + v + "\"");
    }
    // A pair [a, b] of numbers.
    std::pair<double, double> pair(const toml::node& n, const std::string& key) const {
        const toml::array* a = n.as_array();
        if (!a || a->size() != 2) fail(key, &n, "must be a pair of numbers [a, b], found " + kind(n));
        return {number(*a->get(0), key + "[1]"), number(*a->get(1), key + "[2]")};
    }
    const toml::table& table(const toml::node& n, const std::string& key) const {
        if (!n.is_table()) fail(key, &n, "must be a table ([" + key + "]), found " + kind(n));
        return *n.as_table();
    }
    [[noreturn]] void unknown(const std::string& key, const toml::node& n, const std::string& known) const {
        fail(key, &n, "is not a key of this description (expected one of: " + known + ")");
    }

    static std::string kind(const toml::node& n) {
        switch (n.type()) {
            case toml::node_type::string: return "the text " + text(n);
            case toml::node_type::integer: return "the whole number " + text(n);
            case toml::node_type::floating_point: return "the number " + text(n);
            case toml::node_type::boolean: return "the truth value " + text(n);
            case toml::node_type::array: return "a list";
            case toml::node_type::table: return "a table";
            default: return "a date or time";
        }
    }
    static std::string text(const toml::node& n) {
        std::ostringstream s;
        n.visit([&](auto&& v) { s << v; });
        return s.str();
    }

private:
    std::string file_;
};

using Handler = std::function<void(const toml::node&, const std::string&)>;

// Reads table t (named section) key by key through the handlers; any other key is refused.
void readTable(const Reader& r, const toml::table& t, const std::string& section,
               const std::vector<std::pair<std::string, Handler>>& keys) {
    std::string known;
    for (const auto& k : keys) known += (known.empty() ? "" : ", ") + k.first;
    for (auto&& [k, n] : t) {
        const std::string key = section + "." + std::string(k.str());
        bool found = false;
        for (const auto& h : keys)
            if (h.first == k.str()) {
                h.second(n, key);
                found = true;
                break;
            }
        if (!found) r.unknown(key, n, known);
    }
}

}  // namespace

CaseDescription readCaseDescription(const std::string& descriptionFile) {
    CaseDescription d;
    d.file = descriptionFile;
    std::error_code ec;
    const fs::path path(descriptionFile);
    if (!fs::is_regular_file(path, ec))
        throw InputError(descriptionFile + ": the case description cannot be read (" +
                             (fs::exists(path, ec) ? std::string("not a regular file") : std::string("no such file")) +
                             ")",
                         descriptionFile, "", 0);
    d.folder = fs::absolute(path).parent_path().string();
    toml::table root;
    try {
        root = toml::parse_file(descriptionFile);
    } catch (const toml::parse_error& e) {
        const long line = static_cast<long>(e.source().begin.line);
        throw InputError(descriptionFile + ":" + std::to_string(line) + ": not a TOML file: " +
                             std::string(e.description()),
                         descriptionFile, "", line);
    }
    const Reader r(descriptionFile);
    bool hasSources = false, hasOrigin = false, hasCells = false, hasSpacing = false, hasFrom = false;
    // Where the keys of the grid's placement stand (their lines name a conflict).
    const toml::node *originAt = nullptr, *rotationAt = nullptr, *fitAt = nullptr, *landAt = nullptr,
                     *withinAt = nullptr;

    for (auto&& [k, n] : root) {
        const std::string section(k.str());
        if (section == "case") {
            readTable(r, r.table(n, section), section,
                      {{"name",
                        [&](const toml::node& v, const std::string& key) {
                            d.name = r.string(v, key);
                            if (d.name.empty() || d.name.find_first_of("/\\ ") != std::string::npos || d.name == "." ||
                                d.name == "..")
                                r.fail(key, &v, "must be a plain name without blanks or folders, found \"" + d.name + "\"");
                        }},
                       {"data", [&](const toml::node& v, const std::string& key) {
                            d.data = r.string(v, key);
                            if (d.data.empty()) r.fail(key, &v, "must name the data folder");
                        }}});
        } else if (section == "bathymetry") {
            readTable(
                r, r.table(n, section), section,
                {{"sources",
                  [&](const toml::node& v, const std::string& key) {
                      const toml::array* a = v.as_array();
                      if (!a || a->empty()) r.fail(key, &v, "must be a list of file names, found " + Reader::kind(v));
                      for (size_t s = 0; s < a->size(); ++s)
                          d.sources.push_back(r.string(*a->get(s), key + "[" + std::to_string(s + 1) + "]"));
                      hasSources = true;
                  }},
                 {"vertical",
                  [&](const toml::node& v, const std::string& key) {
                      d.elevation = r.choice(v, key, {"elevation", "depth"}) == "elevation";
                  }},
                 {"datum_offset", [&](const toml::node& v, const std::string& key) { d.datumOffset = r.number(v, key); }},
                 {"crs",
                  [&](const toml::node& v, const std::string& key) {
                      d.crs = r.string(v, key);
                      if (d.crs.empty()) r.fail(key, &v, "must name a coordinate system (\"EPSG:n\" or WKT)");
                  }},
                 {"fill", [&](const toml::node& v, const std::string& key) { d.fill = r.choice(v, key, {"none", "nearest"}); }},
                 {"land_above",
                  [&](const toml::node& v, const std::string& key) { d.landAbove = r.number(v, key); }}});
        } else if (section == "grid") {
            readTable(r, r.table(n, section), section,
                      {{"origin",
                        [&](const toml::node& v, const std::string& key) {
                            std::tie(d.originX, d.originY) = r.pair(v, key);
                            hasOrigin = true;
                            originAt = &v;
                        }},
                       {"rotation",
                        [&](const toml::node& v, const std::string& key) {
                            d.rotation = r.number(v, key);
                            if (std::fabs(d.rotation) > 360) r.fail(key, &v, "must lie from -360 to 360 degrees");
                            rotationAt = &v;
                        }},
                       {"fit",
                        [&](const toml::node& v, const std::string& key) {
                            d.fit = r.choice(v, key, {"shoreline", "none"});
                            fitAt = &v;
                        }},
                       {"land_fraction",
                        [&](const toml::node& v, const std::string& key) {
                            d.landFraction = r.number(v, key);
                            if (!(d.landFraction >= 0 && d.landFraction < 1))
                                r.fail(key, &v, "must lie from 0 to below 1 (the share of the grid's extent across the shore "
                                                "that lies on land), found " + Reader::text(v));
                            landAt = &v;
                        }},
                       {"fit_within",
                        [&](const toml::node& v, const std::string& key) {
                            const toml::array* a = v.as_array();
                            if (!a || a->size() != 4)
                                r.fail(key, &v, "must be four numbers [xmin, ymin, xmax, ymax], found " + Reader::kind(v));
                            std::array<double, 4> w{};
                            for (size_t q = 0; q < 4; ++q) w[q] = r.number(*a->get(q), key + "[" + std::to_string(q + 1) + "]");
                            if (!(w[0] < w[2]) || !(w[1] < w[3]))
                                r.fail(key, &v, "must be [xmin, ymin, xmax, ymax] with xmin below xmax and ymin below ymax");
                            d.fitWithin = w;
                            withinAt = &v;
                        }},
                       {"spacing",
                        [&](const toml::node& v, const std::string& key) {
                            std::tie(d.dx, d.dy) = r.pair(v, key);
                            if (!(d.dx > 0) || !(d.dy > 0))
                                r.fail(key, &v, "must be two cell widths above 0 m (dx, dy)");
                            hasSpacing = true;
                        }},
                       {"cells",
                        [&](const toml::node& v, const std::string& key) {
                            const toml::array* a = v.as_array();
                            if (!a || a->size() != 2) r.fail(key, &v, "must be a pair of whole numbers [nx, ny]");
                            d.nx = r.count(*a->get(0), key + "[1]", 1, 100000);
                            d.ny = r.count(*a->get(1), key + "[2]", 1, 100000);
                            hasCells = true;
                        }},
                       {"offshore",
                        [&](const toml::node& v, const std::string& key) {
                            d.offshore = r.choice(v, key, {"high-x", "low-x", "high-y", "low-y"});
                        }},
                       {"sides", [&](const toml::node& v, const std::string& key) {
                            d.sides = r.choice(v, key, {"periodic", "closed", "open"});
                        }}});
        } else if (section == "waves") {
            readTable(r, r.table(n, section), section,
                      {{"height", [&](const toml::node& v, const std::string& key) { d.height = r.positive(v, key); }},
                       {"period", [&](const toml::node& v, const std::string& key) { d.period = r.positive(v, key); }},
                       {"from",
                        [&](const toml::node& v, const std::string& key) {
                            d.from = r.number(v, key);
                            if (d.from < -360 || d.from > 360) r.fail(key, &v, "must lie from -360 to 360 degrees");
                            hasFrom = true;
                        }},
                       {"groups", [&](const toml::node& v, const std::string& key) { d.groups = r.number(v, key); }},
                       {"group_amplitude",
                        [&](const toml::node& v, const std::string& key) { d.groupAmplitude = r.number(v, key); }}});
        } else if (section == "tide") {
            readTable(r, r.table(n, section), section,
                      {{"level", [&](const toml::node& v, const std::string& key) { d.tideLevel = r.number(v, key); }}});
        } else if (section == "run") {
            readTable(r, r.table(n, section), section,
                      {{"duration", [&](const toml::node& v, const std::string& key) { d.duration = r.positive(v, key); }},
                       {"start", [&](const toml::node& v, const std::string& key) { d.startTime = r.number(v, key); }}});
        } else if (section == "coefficients") {
            auto num = [&](double& target) {
                return [&r, &target](const toml::node& v, const std::string& key) { target = r.number(v, key); };
            };
            readTable(r, r.table(n, section), section,
                      {{"latitude", num(d.latitude)},
                       {"friction", num(d.friction)},
                       {"breaking_ratio", num(d.breakingRatio)},
                       {"min_depth", num(d.minDepth)},
                       {"shields_critical", num(d.shieldsCritical)},
                       {"grain_size", num(d.grainSize)},
                       {"sediment_density", num(d.sedimentDensity)},
                       {"viscosity", num(d.viscosity)},
                       {"bedload", num(d.bedloadCoef)},
                       {"suspended_load", num(d.suspendedCoef)}});
        } else if (section == "gauge") {
            if (!n.is_array_of_tables()) r.fail(section, &n, "must be a list of tables, each headed [[gauge]]");
            const toml::array& list = *n.as_array();
            for (size_t g = 0; g < list.size(); ++g) {
                const std::string at = "gauge[" + std::to_string(g + 1) + "]";
                CaseDescription::MapGauge gauge;
                bool hasName = false, hasX = false, hasY = false;
                readTable(r, *list[g].as_table(), at,
                          {{"name",
                            [&](const toml::node& v, const std::string& key) {
                                gauge.name = r.string(v, key);
                                if (gauge.name.empty()) r.fail(key, &v, "must not be empty");
                                hasName = true;
                            }},
                           {"x",
                            [&](const toml::node& v, const std::string& key) {
                                gauge.x = r.number(v, key);
                                hasX = true;
                            }},
                           {"y", [&](const toml::node& v, const std::string& key) {
                                gauge.y = r.number(v, key);
                                hasY = true;
                            }}});
                if (!hasName || !hasX || !hasY)
                    r.fail(at, &list[g], "needs a name and its map position x and y (in the grid's coordinate system)");
                d.gauges.push_back(gauge);
            }
        } else {
            r.unknown(section, n, "[case], [bathymetry], [grid], [waves], [tide], [run], [coefficients], [[gauge]]");
        }
    }
    const toml::node* top = nullptr;
    if (!hasSources) r.fail("bathymetry.sources", top, "is missing (the survey files: GDAL rasters or x y z text)");
    if (d.fit == "shoreline") {
        if (originAt || rotationAt)
            r.fail(originAt ? "grid.origin" : "grid.rotation", originAt ? originAt : rotationAt,
                   "cannot be given with grid.fit = \"shoreline\" (line " + std::to_string(fitAt->source().begin.line) +
                       "), which finds the grid's origin and rotation from the survey: leave out grid.origin and "
                       "grid.rotation, or grid.fit");
    } else {
        if (landAt) r.fail("grid.land_fraction", landAt, "is used only with grid.fit = \"shoreline\"");
        if (withinAt) r.fail("grid.fit_within", withinAt, "is used only with grid.fit = \"shoreline\"");
        if (!hasOrigin)
            r.fail("grid.origin", top,
                   "is missing (the first cell's centre [x, y] in the survey's coordinates, or grid.fit = \"shoreline\" "
                   "to place the grid along the shoreline)");
    }
    if (!hasSpacing) r.fail("grid.spacing", top, "is missing (the cell widths [dx, dy] in metres)");
    if (!hasCells) r.fail("grid.cells", top, "is missing (the cell counts [nx, ny])");
    if (!hasFrom) r.fail("waves.from", top, "is missing (where the waves come from, degrees clockwise from north)");
    return d;
}

}  // namespace littoral
