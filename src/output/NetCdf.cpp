#include "output/NetCdf.h"
#include "output/FieldTable.h"
#include "output/Means.h"

#include <dlfcn.h>
#include <netcdf.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/Error.h"

#ifndef LITTORAL_VERSION
#define LITTORAL_VERSION "unknown"
#endif

namespace littoral {

namespace {

// The HDF5 library beneath netCDF-4 closes at the program's exit every file it still holds.
// A file whose close failed (a disk full while the header was written) stays on that list
// although netCDF has freed its side of it, and that second close crashed the program after
// its message. The exit handler is turned off before the library first starts (only then
// does it take effect): the writer closes or gives up every file itself. Looked up by name,
// as the library is there only beneath netCDF.
const bool hdf5ExitHandlerOff = [] {
    using DontAtExit = int (*)();
    if (auto f = reinterpret_cast<DontAtExit>(dlsym(RTLD_DEFAULT, "H5dont_atexit"))) return f() >= 0;
    return false;
}();

}  // namespace

}  // namespace littoral

// Weak: resolved from the HDF5 library that netCDF brings in, null where there is none.
// hid_t is 64 bits since HDF5 1.10; H5E_DEFAULT is 0.
extern "C" int H5Eset_auto2(int64_t estack, void* func, void* clientData) __attribute__((weak));

namespace littoral {

void quietHdf5OnThisThread() {
    thread_local bool quiet = false;
    if (quiet) return;
    quiet = true;
    if (H5Eset_auto2 != nullptr) H5Eset_auto2(0, nullptr, nullptr);
}

namespace {

// Deflate level of every variable (with the shuffle filter): level 1 gives nearly all the
// compression of the higher levels on single-precision fields at a fraction of the time.
constexpr int kDeflateLevel = 1;

using FieldInfo = ResultField;
const ResultField (&kFields)[kResultFieldCount] = kResultFields;

std::string readWholeFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// The time the file is begun; SOURCE_DATE_EPOCH (seconds since 1970) fixes it, for files
// that are to be the same byte for byte from run to run.
std::string utcNow() {
    std::time_t t = std::time(nullptr);
    if (const char* e = std::getenv("SOURCE_DATE_EPOCH")) {
        char* end = nullptr;
        const long long v = std::strtoll(e, &end, 10);
        if (end != e && *end == '\0' && v >= 0) t = static_cast<std::time_t>(v);
    }
    std::tm tm{};
    gmtime_r(&t, &tm);
    char b[32];
    std::strftime(b, sizeof b, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return b;
}

}  // namespace

void NetCdfResults::check(int status, const char* what) const {
    if (status == NC_NOERR) return;
    const int err = errno;  // the system's reason, when the library stopped on one
    throw StopError(path_ + ": the netCDF result file could not be written (" + what + "): " + nc_strerror(status) +
                    (err ? std::string(" (") + std::strerror(err) + ")" : std::string()));
}

namespace {

// The library's chunk cache for the variables made while it lives: none. Each chunk of the
// file is written whole and once, and a cache would keep the last chunk of every variable
// (up to 16 MB each, some 390 MB on 2000 x 2000 cells) for the whole run. The library's
// setting is restored for the files opened afterwards.
class NoChunkCache {
public:
    NoChunkCache() {
        nc_get_chunk_cache(&size_, &elements_, &preemption_);
        nc_set_chunk_cache(0, 0, preemption_);
    }
    ~NoChunkCache() { nc_set_chunk_cache(size_, elements_, preemption_); }
    NoChunkCache(const NoChunkCache&) = delete;
    NoChunkCache& operator=(const NoChunkCache&) = delete;

private:
    size_t size_ = 0, elements_ = 0;
    float preemption_ = 0;
};

}  // namespace

NetCdfResults::NetCdfResults(const Model& m) : NetCdfResults(m, m.dep) {}

NetCdfResults::NetCdfResults(const Model& m, const Grid& bed) : path_(m.outDir + "results.nc") {
    nx_ = static_cast<size_t>(m.ixEnd - m.ixStart + 1);
    ny_ = static_cast<size_t>(m.jyEnd - m.jyStart + 1);
    // A temporary name no other run can take: the library creates it only when it does not
    // exist yet (with the permissions of any new file), another name is tried otherwise.
    const NoChunkCache noCache;
    int status = NC_EEXIST;
    for (unsigned k = 0; k < 100 && status == NC_EEXIST; ++k) {
        tmp_ = path_ + "." + std::to_string(getpid()) + "-" + std::to_string(k) + ".part";
        quietHdf5OnThisThread();
        status = nc_create(tmp_.c_str(), NC_NETCDF4 | NC_NOCLOBBER, &ncid_);
    }
    if (status != NC_NOERR) {
        ncid_ = -1;
        tmp_.clear();
        check(status, "create");
    }
    try {
        int old = 0;
        check(nc_set_fill(ncid_, NC_NOFILL, &old), "fill mode");
        auto text = [&](int var, const char* name, const std::string& v) {
            check(nc_put_att_text(ncid_, var, name, v.size(), v.c_str()), name);
        };
        // A variable with its units (none for nullptr) and long name, deflated if asked.
        auto variable = [&](const char* name, nc_type type, int nDims, const int* dims, const char* units,
                            const std::string& longName, bool deflated = false) {
            int v = 0;
            check(nc_def_var(ncid_, name, type, nDims, dims, &v), name);
            if (deflated) check(nc_def_var_deflate(ncid_, v, 1, 1, kDeflateLevel), "compression");
            if (units) text(v, "units", units);
            text(v, "long_name", longName);
            return v;
        };

        // ---- global attributes ----
        text(NC_GLOBAL, "Conventions", "CF-1.8");
        text(NC_GLOBAL, "title", "Littoral results of the case " + m.cntPath);
        text(NC_GLOBAL, "program", "Littoral");
        text(NC_GLOBAL, "version", LITTORAL_VERSION);
        text(NC_GLOBAL, "source", std::string("Littoral ") + LITTORAL_VERSION +
                                      ": time-dependent mild-slope waves, shallow-water flow, sediment transport");
        history_ = m.resultsContinued.active && !m.resultsContinued.history.empty()
                       ? m.resultsContinued.history
                       : utcNow() + " written by Littoral " + LITTORAL_VERSION;
        text(NC_GLOBAL, "history", history_);
        text(NC_GLOBAL, "control_file", m.cntPath);
        text(NC_GLOBAL, "control_file_text", readWholeFile(m.cntPath));
        text(NC_GLOBAL, "coefficient_file", m.dataDir + m.coefFile);
        text(NC_GLOBAL, "depth_file", m.dataDir + m.depFile);
        text(NC_GLOBAL, "boundary_file", m.dataDir + m.bndFile);
        text(NC_GLOBAL, "wave_file", m.dataDir + m.wavFile);
        text(NC_GLOBAL, "tide_file", m.dataDir + m.tideFile);
        text(NC_GLOBAL, "comment",
             "One time step per output interval of one wave period; the fields are the single-precision values of "
             "the model, the same as the columns of the result field files surfer<output_number>.csv (which round "
             "them to 7 digits). x and y are the cell positions (i - 1) dx and (j - 1) dy of those files.");
        if (m.absorbingInput)
            text(NC_GLOBAL, "wave_input",
                 "absorbing: the wave input cells on the sides of the grid carry the incident wave plus what their "
                 "radiating lines let out of the wave the domain sends back");
        if (m.meanCurrents)
            text(NC_GLOBAL, "wave_currents",
                 "mean: each wave period sees the current averaged over the flow of the interval before; the "
                 "variables lfu and lfv are the current at the interval's end");
        if (m.balancedWaveForce)
            text(NC_GLOBAL, "wave_force",
                 "balanced: the wave force enters the flow through the cell faces, upwinded with the bed slope");
        if (m.outputEvery > 1 || m.meanFields)
            text(NC_GLOBAL, "output_control",
                 "time steps of the output numbers divisible by " + std::to_string(m.outputEvery) +
                     " and of the run's last interval" +
                     (m.meanFields ? "; the *_mean and *_max variables cover the output intervals since the "
                                     "previous time step (mean_intervals of them, from mean_start_time)"
                                   : ""));

        // ---- dimensions and coordinates ----
        int dTime = 0, dY = 0, dX = 0, dYr = 0, dXr = 0;
        check(nc_def_dim(ncid_, "time", NC_UNLIMITED, &dTime), "dimension time");
        check(nc_def_dim(ncid_, "y", ny_, &dY), "dimension y");
        check(nc_def_dim(ncid_, "x", nx_, &dX), "dimension x");
        check(nc_def_dim(ncid_, "y_ring", ny_ + 2, &dYr), "dimension y_ring");
        check(nc_def_dim(ncid_, "x_ring", nx_ + 2, &dXr), "dimension x_ring");
        const bool placed = !m.map.crs.empty();
        auto axis = [&](const char* name, int dim, const char* ax, const std::string& longName, bool coordinate) {
            const int v = variable(name, NC_DOUBLE, 1, &dim, "m", longName);
            // On a case placed on the map the projected coordinates are the 2-D map_x, map_y.
            if (coordinate && placed) {
                text(v, "axis", ax);
            } else if (coordinate) {
                text(v, "axis", ax);
                text(v, "standard_name", std::string("projection_") + (ax[0] == 'X' ? "x" : "y") + "_coordinate");
            }
            return v;
        };
        const int vx = axis("x", dX, "X", "X position of the cell (cell 1 at 0)", true);
        const int vy = axis("y", dY, "Y", "Y position of the cell (cell 1 at 0)", true);
        const int vxr = axis("x_ring", dXr, "X", "X position of the cell, ghost ring included", false);
        const int vyr = axis("y_ring", dYr, "Y", "Y position of the cell, ghost ring included", false);
        timeVar_ = variable("time", NC_DOUBLE, 1, &dTime, "s", "model time at the end of the output interval");
        text(timeVar_, "axis", "T");
        numberVar_ = variable("output_number", NC_INT, 1, &dTime, nullptr,
                              "output number of the interval (result field file surfer<n>.csv)");
        // Written after the interval's fields are on disk: an interval cut off while its
        // fields were written keeps the fill value here and shows as missing.
        const double timeFill = NC_FILL_DOUBLE;
        const int numberFill = NC_FILL_INT;
        check(nc_def_var_fill(ncid_, timeVar_, 0, &timeFill), "time fill value");
        check(nc_def_var_fill(ncid_, numberVar_, 0, &numberFill), "output_number fill value");
        // Morphological acceleration: one interval of waves and flow stands for morfac
        // intervals of bed evolution.
        check(nc_put_att_double(ncid_, NC_GLOBAL, "morphological_acceleration", NC_DOUBLE, 1, &m.morfac),
              "morphological_acceleration");
        if (m.morfac != 1.0 || m.morstart != 0.0) {
            check(nc_put_att_double(ncid_, NC_GLOBAL, "morphological_start", NC_DOUBLE, 1, &m.morstart),
                  "morphological_start");
            morphVar_ = variable("morphological_time", NC_DOUBLE, 1, &dTime, "s",
                                 "span of bed evolution the bed changes up to the interval stand for: "
                                 "morphological_acceleration x wave period for each interval ending at or after "
                                 "morphological_start");
            check(nc_def_var_fill(ncid_, morphVar_, 0, &timeFill), "morphological_time fill value");
        }

        // ---- the result fields, one chunk per time step (rows split on very large grids) ----
        const int dims3[3] = {dTime, dY, dX};
        const size_t rowsPerChunk = std::max<size_t>(1, std::min(ny_, static_cast<size_t>(4u << 20) / nx_));
        const size_t chunks[3] = {1, rowsPerChunk, nx_};
        for (const FieldInfo& f : kFields) {
            const int v = variable(f.name, NC_FLOAT, 3, dims3, f.units, f.longName);
            check(nc_def_var_chunking(ncid_, v, NC_CHUNKED, chunks), "chunking");
            check(nc_def_var_deflate(ncid_, v, 1, 1, kDeflateLevel), "compression");
            if (*f.standardName) text(v, "standard_name", f.standardName);
            if (f.column[0] == '_') text(v, "csv_column", f.column);
            fieldVars_.push_back(v);
        }
        if (m.meanFields) {
            // The means and maxima over the output intervals since the previous time step.
            auto aggregate = [&](const FieldInfo& f, const char* suffix, const char* method, const std::string& what) {
                const std::string name = std::string(f.name) + suffix;
                const int v = variable(name.c_str(), NC_FLOAT, 3, dims3, f.units, what + std::string(f.longName));
                check(nc_def_var_chunking(ncid_, v, NC_CHUNKED, chunks), "chunking");
                check(nc_def_var_deflate(ncid_, v, 1, 1, kDeflateLevel), "compression");
                if (*f.standardName) text(v, "standard_name", f.standardName);
                text(v, "cell_methods", method);
                return v;
            };
            for (size_t k = 0; k < kMeanFieldCount; ++k)
                meanVars_.push_back(aggregate(kFields[kMeanFieldIndex[k]], "_mean", "time: mean",
                                              "mean over the output intervals since the previous time step of the "));
            for (size_t k = 0; k < kMaxFieldCount; ++k)
                maxVars_.push_back(aggregate(kFields[kMaxFieldIndex[k]], "_max", "time: maximum",
                                             "maximum over the output intervals since the previous time step of the "));
            meanCountVar_ = variable("mean_intervals", NC_INT, 1, &dTime, nullptr,
                                     "number of output intervals the means and maxima of the time step cover");
            meanSinceVar_ = variable("mean_start_time", NC_DOUBLE, 1, &dTime, "s",
                                     "model time at which the span of the means and maxima of the time step begins");
        }

        // ---- input grids ----
        const int dims2[2] = {dY, dX};
        const int vBed = variable("initial_bed_level", NC_FLOAT, 2, dims2, "m",
                                  "bed level above the datum as read from the depth file (negated still-water depth)", true);
        const int vFlag = variable("cell_flag", NC_INT, 2, dims2, nullptr,
                                   "cell flag: sum of the closed faces 1 east, 2 north, 4 west, 8 south (15 land), or "
                                   "16 n for the n-th listed boundary cell",
                                   true);
        const int dimsR[2] = {dYr, dXr};
        const int vCode = variable("boundary_code", NC_INT, 2, dimsR, nullptr,
                                   "boundary codes, ghost ring included: the cell flag of an interior cell, the code of "
                                   "a ghost cell (0 plain edge, 16 periodic, 17 and up rows of the boundary-condition "
                                   "table)",
                                   true);
        text(vCode, "coordinates", "y_ring x_ring");
        std::vector<int> placedVars = fieldVars_;
        placedVars.insert(placedVars.end(), meanVars_.begin(), meanVars_.end());
        placedVars.insert(placedVars.end(), maxVars_.begin(), maxVars_.end());
        placedVars.push_back(vBed);
        placedVars.push_back(vFlag);
        const MapVariables mapVars = placed ? defineMapPlacement(m, dY, dX, placedVars) : MapVariables{};

        // ---- boundary-condition table rows 17 ... nBndApprox ----
        const int rows = m.nBndApprox >= 17 ? m.nBndApprox - 16 : 0;
        int vRow = -1, vType = -1, vVal1 = -1, vVal2 = -1;
        if (rows > 0) {
            int dRow = 0;
            check(nc_def_dim(ncid_, "bc_row", static_cast<size_t>(rows), &dRow), "dimension bc_row");
            vRow = variable("bc_row", NC_INT, 1, &dRow, nullptr, "row number of the flow boundary-condition table");
            vType = variable("bndType", NC_SHORT, 1, &dRow, nullptr, "boundary-condition type of the row");
            vVal1 = variable("bndVal1", NC_FLOAT, 1, &dRow, nullptr, "first value of the row");
            vVal2 = variable("bndVal2", NC_FLOAT, 1, &dRow, nullptr, "second value of the row");
        }

        // ---- coefficients, wave and tide values as scalar variables ----
        struct Scalar { const char* name; nc_type type; double value; const char* units; const char* longName; };
        const Scalar scalars[] = {
            {"ixStart", NC_INT, double(m.ixStart), nullptr, "first computed cell in X"},
            {"ixEnd", NC_INT, double(m.ixEnd), nullptr, "last computed cell in X"},
            {"dx", NC_FLOAT, m.dx, "m", "cell width in X"},
            {"jyStart", NC_INT, double(m.jyStart), nullptr, "first computed cell in Y"},
            {"jyEnd", NC_INT, double(m.jyEnd), nullptr, "last computed cell in Y"},
            {"dy", NC_FLOAT, m.dy, "m", "cell width in Y"},
            {"nBndApprox", NC_SHORT, double(m.nBndApprox), nullptr, "highest row of the boundary-condition table"},
            {"latitude", NC_FLOAT, m.latitude, "degree", "latitude of the site (for the Coriolis force)"},
            {"fricCoef", NC_FLOAT, m.fricCoef, "1", "bottom friction coefficient"},
            {"brkRatio", NC_FLOAT, m.brkRatio, "1", "breaking wave height to depth ratio"},
            {"minDepth", NC_FLOAT, m.minDepth, "m", "minimum computational depth"},
            {"spareParam", NC_FLOAT, m.spareParam, nullptr, "spare value of the coefficient file"},
            {"tStart", NC_FLOAT, m.tStart, "s", "start time"},
            {"tEnd", NC_FLOAT, m.tEnd, "s", "end time"},
            {"shieldsCr", NC_FLOAT, m.shieldsCr, "1", "critical Shields number"},
            {"grainSize", NC_FLOAT, m.grainSize, "m", "grain diameter"},
            {"sedDensity", NC_FLOAT, m.sedDensity, "kg m-3", "sediment density"},
            {"viscosity", NC_FLOAT, m.viscosity, "m2 s-1", "kinematic viscosity"},
            {"bedloadCoef", NC_FLOAT, m.bedloadCoef, "1", "bedload coefficient"},
            {"suspCoef", NC_FLOAT, m.suspCoef, "1", "suspended load coefficient"},
            {"bndWave", NC_SHORT, double(m.bndWave), nullptr, "boundary code of the wave input cells"},
            {"waveH0", NC_FLOAT, m.waveH0, "m", "incident wave height at the phase reference point"},
            {"waveT0", NC_FLOAT, m.waveT0, "s", "wave period (the length of one output interval)"},
            {"waveDir0", NC_FLOAT, m.waveDir0, "degree", "incident wave direction at the phase reference point"},
            {"phaseX", NC_INT, double(m.phaseX), nullptr, "phase reference point, cell index in X"},
            {"phaseY", NC_INT, double(m.phaseY), nullptr, "phase reference point, cell index in Y"},
            {"nGroup", NC_FLOAT, m.nGroup, "1", "number of wave groups"},
            {"groupAmp", NC_FLOAT, m.groupAmp, "1", "wave group amplitude"},
            {"hmaxIrr", NC_FLOAT, m.hmaxIrr, "1", "cap factor of the irregular wave heights (0: wave groups)"},
            {"tideLevel", NC_FLOAT, m.tideLevel, "m", "tide level"},
            {"nBndCond", NC_SHORT, double(m.nBndCond), nullptr, "rows of the boundary-condition table in the tide file"},
            {"hMax", NC_FLOAT, m.hMax, "m", "largest still-water depth plus tide over the grid"},
        };
        std::vector<int> scalarVars;
        for (const Scalar& s : scalars) scalarVars.push_back(variable(s.name, s.type, 0, nullptr, s.units, s.longName));
        check(nc_enddef(ncid_), "header");

        // ---- values that do not change with time ----
        std::vector<double> pos(std::max(nx_, ny_) + 2);
        for (size_t k = 0; k < nx_ + 2; ++k) pos[k] = (m.ixStart - 2 + static_cast<int32_t>(k)) * static_cast<double>(m.dx);
        check(nc_put_var_double(ncid_, vxr, pos.data()), "x_ring");
        check(nc_put_var_double(ncid_, vx, pos.data() + 1), "x");
        for (size_t k = 0; k < ny_ + 2; ++k) pos[k] = (m.jyStart - 2 + static_cast<int32_t>(k)) * static_cast<double>(m.dy);
        check(nc_put_var_double(ncid_, vyr, pos.data()), "y_ring");
        check(nc_put_var_double(ncid_, vy, pos.data() + 1), "y");

        buf_.resize(nx_ * ny_);
        std::vector<int> ints(nx_ * ny_);
        const IntGrid& flags = m.flagsOfWhole();  // gathered on the first rank
        for (size_t r = 0; r < ny_; ++r) {
            const int32_t j = m.jyStart + static_cast<int32_t>(r);
            for (size_t c = 0; c < nx_; ++c) {
                const int32_t i = m.ixStart + static_cast<int32_t>(c);
                buf_[r * nx_ + c] = -bed(i, j);
                ints[r * nx_ + c] = flags(i, j);
            }
        }
        check(nc_put_var_float(ncid_, vBed, buf_.data()), "initial_bed_level");
        check(nc_put_var_int(ncid_, vFlag, ints.data()), "cell_flag");
        ints.assign((nx_ + 2) * (ny_ + 2), 0);
        for (size_t r = 0; r < ny_ + 2; ++r) {
            const int32_t j = m.jyStart - 1 + static_cast<int32_t>(r);
            for (size_t c = 0; c < nx_ + 2; ++c) {
                const int32_t i = m.ixStart - 1 + static_cast<int32_t>(c);
                const bool ghost = i < m.ixStart || i > m.ixEnd || j < m.jyStart || j > m.jyEnd;
                if (!ghost) {
                    ints[r * (nx_ + 2) + c] = flags(i, j);
                } else {
                    const int32_t p = Model::bndPointOf(flags(i, j));
                    ints[r * (nx_ + 2) + c] = p >= 0 && p <= m.nBndCell ? m.bndCode(p) : 0;
                }
            }
        }
        check(nc_put_var_int(ncid_, vCode, ints.data()), "boundary_code");
        if (placed) writeMapPlacement(m, mapVars);
        if (rows > 0) {
            std::vector<int> rowNo(rows);
            std::vector<short> type(rows);
            std::vector<float> v1(rows), v2(rows);
            for (int k = 0; k < rows; ++k) {
                rowNo[k] = 17 + k;
                type[k] = m.bndType(17 + k);
                v1[k] = m.bndVal1(17 + k);
                v2[k] = m.bndVal2(17 + k);
            }
            check(nc_put_var_int(ncid_, vRow, rowNo.data()), "bc_row");
            check(nc_put_var_short(ncid_, vType, type.data()), "bndType");
            check(nc_put_var_float(ncid_, vVal1, v1.data()), "bndVal1");
            check(nc_put_var_float(ncid_, vVal2, v2.data()), "bndVal2");
        }
        for (size_t k = 0; k < scalarVars.size(); ++k) {
            const Scalar& s = scalars[k];
            if (s.type == NC_FLOAT) {
                const float f = static_cast<float>(s.value);
                check(nc_put_var_float(ncid_, scalarVars[k], &f), s.name);
            } else if (s.type == NC_SHORT) {
                const short v = static_cast<short>(s.value);
                check(nc_put_var_short(ncid_, scalarVars[k], &v), s.name);
            } else {
                const int v = static_cast<int>(s.value);
                check(nc_put_var_int(ncid_, scalarVars[k], &v), s.name);
            }
        }
        check(nc_sync(ncid_), "sync");
        if (m.resultsContinued.active) takeOverIntervals(m.resultsContinued.steps);
    } catch (...) {
        // On a full disk the close fails too; the file is then left to the process's end
        // (see hdf5ExitHandlerOff).
        (void)hdf5ExitHandlerOff;
        nc_close(ncid_);
        ncid_ = -1;
        std::remove(tmp_.c_str());
        throw;
    }
}

// ---- the case on the map ----
// A CF grid mapping variable "crs" with the coordinate system (crs_wkt and GDAL's
// spatial_ref), the map position of every cell centre as the 2-D variables map_x, map_y
// (projection_x_coordinate, projection_y_coordinate) and the fields pointed at both.

NetCdfResults::MapVariables NetCdfResults::defineMapPlacement(const Model& m, int dimY, int dimX,
                                                              const std::vector<int>& fields) {
    auto text = [&](int var, const char* name, const std::string& v) {
        check(nc_put_att_text(ncid_, var, name, v.size(), v.c_str()), name);
    };
    MapVariables mv;
    check(nc_def_var(ncid_, "crs", NC_INT, 0, nullptr, &mv.crs), "crs");
    // WKT begins with its keyword and a bracket; anything else ("EPSG:32631") is kept as
    // given for the reader to resolve.
    const std::string& c = m.map.crs;
    const size_t bracket = c.find('[');
    const bool wkt = bracket != std::string::npos && bracket > 0 &&
                     c.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789") == bracket;
    if (wkt) {
        text(mv.crs, "crs_wkt", c);
        text(mv.crs, "spatial_ref", c);
    } else {
        text(mv.crs, "crs_name", c);
    }
    text(mv.crs, "long_name", "coordinate reference system of map_x and map_y");
    const double at[3] = {m.map.originX, m.map.originY, m.map.rotation};
    check(nc_put_att_double(ncid_, mv.crs, "grid_origin", NC_DOUBLE, 2, at), "grid_origin");
    check(nc_put_att_double(ncid_, mv.crs, "grid_rotation", NC_DOUBLE, 1, at + 2), "grid_rotation");
    text(mv.crs, "comment",
         "grid_origin: map position of the first cell's centre (x = 0, y = 0); grid_rotation: degrees anticlockwise "
         "from the map's x axis to the grid's X axis");
    const int dims[2] = {dimY, dimX};
    check(nc_def_var(ncid_, "map_x", NC_DOUBLE, 2, dims, &mv.x), "map_x");
    check(nc_def_var(ncid_, "map_y", NC_DOUBLE, 2, dims, &mv.y), "map_y");
    check(nc_def_var_deflate(ncid_, mv.x, 1, 1, kDeflateLevel), "compression");
    check(nc_def_var_deflate(ncid_, mv.y, 1, 1, kDeflateLevel), "compression");
    text(mv.x, "standard_name", "projection_x_coordinate");
    text(mv.y, "standard_name", "projection_y_coordinate");
    text(mv.x, "units", "m");
    text(mv.y, "units", "m");
    text(mv.x, "long_name", "map x of the cell centre");
    text(mv.y, "long_name", "map y of the cell centre");
    text(mv.x, "grid_mapping", "crs");
    text(mv.y, "grid_mapping", "crs");
    for (int v : fields) {
        text(v, "grid_mapping", "crs");
        text(v, "coordinates", "map_y map_x");
    }
    return mv;
}

void NetCdfResults::writeMapPlacement(const Model& m, const MapVariables& mv) {
    const double r = m.map.rotation * 0.017453292519943278;
    const double c = std::cos(r), s = std::sin(r);
    std::vector<double> x(nx_ * ny_), y(nx_ * ny_);
    for (size_t j = 0; j < ny_; ++j)
        for (size_t i = 0; i < nx_; ++i) {
            const double gx = static_cast<double>(i) * m.dx, gy = static_cast<double>(j) * m.dy;
            x[j * nx_ + i] = m.map.originX + gx * c - gy * s;
            y[j * nx_ + i] = m.map.originY + gx * s + gy * c;
        }
    check(nc_put_var_double(ncid_, mv.x, x.data()), "map_x");
    check(nc_put_var_double(ncid_, mv.y, y.data()), "map_y");
}

NetCdfResults::~NetCdfResults() {
    // Closed, never given up (nc_abort): after a failed write on a full disk the library's
    // abort meets a file the HDF5 layer could not close and crashes; its close stops at
    // the failed flush instead, so only what the last sync left on disk is kept. An
    // interval cut off has no time (the time is written after its fields reach the disk).
    if (ncid_ >= 0) nc_close(ncid_);
    if (written_ == 0 && !tmp_.empty()) std::remove(tmp_.c_str());
}

size_t netcdfFieldCount() { return std::size(kFields); }

const Grid& netcdfFieldGrid(const Model& m, size_t f) { return m.*kFields[f].grid; }

void NetCdfResults::writeInterval(const Model& m, int64_t n, double timeSeconds, double morphSeconds) {
    for (size_t f = 0; f < fieldVars_.size(); ++f) putField(m, f, m.*kFields[f].grid);
    finishInterval(n, timeSeconds, morphSeconds);
}

void NetCdfResults::putGrid(const Model& m, int var, const Grid& g, bool neg, const char* what) {
    failed_ = true;  // until the interval is synced
    errno = 0;
    const size_t start[3] = {written_, 0, 0};
    const size_t count[3] = {1, ny_, nx_};
    for (size_t r = 0; r < ny_; ++r) {
        const float* row = g.at(m.ixStart, m.jyStart + static_cast<int32_t>(r));
        float* out = buf_.data() + r * nx_;
        if (neg) for (size_t c = 0; c < nx_; ++c) out[c] = -row[c];
        else for (size_t c = 0; c < nx_; ++c) out[c] = row[c];
    }
    check(nc_put_vara_float(ncid_, var, start, count, buf_.data()), what);
}

void NetCdfResults::putField(const Model& m, size_t f, const Grid& g) {
    putGrid(m, fieldVars_[f], g, kFields[f].negated, kFields[f].name);
}

void NetCdfResults::putMean(const Model& m, size_t k, const Grid& g) {
    putGrid(m, meanVars_.at(k), g, false, "mean field");
}

void NetCdfResults::putMax(const Model& m, size_t k, const Grid& g) {
    putGrid(m, maxVars_.at(k), g, false, "maximum field");
}

void NetCdfResults::finishMeans(int32_t intervals, double sinceSeconds) {
    failed_ = true;
    const size_t t = written_;
    const int count = intervals;
    check(nc_put_var1_int(ncid_, meanCountVar_, &t, &count), "mean_intervals");
    check(nc_put_var1_double(ncid_, meanSinceVar_, &t, &sinceSeconds), "mean_start_time");
}

void NetCdfResults::finishInterval(int64_t n, double timeSeconds, double morphSeconds) {
    completeInterval(static_cast<int>(n), timeSeconds, morphSeconds, true);
}

void NetCdfResults::completeInterval(int number, double time, double morphSeconds, bool named) {
    failed_ = true;
    const size_t t = written_;
    // The fields reach the disk first; the time and number, which mark the interval as
    // complete, only after them.
    check(nc_sync(ncid_), "sync");
    check(nc_put_var1_int(ncid_, numberVar_, &t, &number), "output_number");
    if (morphVar_ >= 0) check(nc_put_var1_double(ncid_, morphVar_, &t, &morphSeconds), "morphological_time");
    check(nc_put_var1_double(ncid_, timeVar_, &t, &time), "time");
    check(nc_sync(ncid_), "sync");
    failed_ = false;
    // The first complete interval gives the file its name (replacing a file of an earlier run).
    if (named && written_ == 0 && std::rename(tmp_.c_str(), path_.c_str()) != 0)
        throw StopError(path_ + ": the netCDF result file could not be given its name (from " + tmp_ + ")");
    ++written_;
}

void NetCdfResults::takeOverIntervals(int64_t steps) {
    if (steps <= 0) return;
    int old = -1;
    const auto fail = [&](const std::string& what) {
        if (old >= 0) nc_close(old);
        throw StopError(path_ + ": the results of the run up to its checkpoint cannot be taken over (" + what +
                        "): expected the file the run wrote, with at least " + std::to_string(steps) +
                        " intervals; without it the run can only start afresh (leave out the resume)");
    };
    quietHdf5OnThisThread();
    if (nc_open(path_.c_str(), NC_NOWRITE, &old) != NC_NOERR) {
        old = -1;
        fail("it cannot be opened");
    }
    int dim = -1, timeVar = -1, numberVar = -1;
    size_t have = 0;
    if (nc_inq_dimid(old, "time", &dim) != NC_NOERR || nc_inq_dimlen(old, dim, &have) != NC_NOERR ||
        nc_inq_varid(old, "time", &timeVar) != NC_NOERR || nc_inq_varid(old, "output_number", &numberVar) != NC_NOERR)
        fail("it has no time steps");
    if (have < static_cast<size_t>(steps))
        fail("it holds " + std::to_string(have) + " intervals");
    // The variables of a time step in the order the run writes them: the fields, the means,
    // the maxima; each found by its name in the earlier file.
    std::vector<int> newVars = fieldVars_;
    newVars.insert(newVars.end(), meanVars_.begin(), meanVars_.end());
    newVars.insert(newVars.end(), maxVars_.begin(), maxVars_.end());
    std::vector<int> oldVars;
    std::vector<std::string> names;
    for (int v : newVars) {
        char name[NC_MAX_NAME + 1] = {};
        nc_inq_varname(ncid_, v, name);
        int o = -1;
        if (nc_inq_varid(old, name, &o) != NC_NOERR) fail(std::string("it has no variable ") + name);
        oldVars.push_back(o);
        names.emplace_back(name);
    }
    int oldCount = -1, oldSince = -1;
    if (!meanVars_.empty() && (nc_inq_varid(old, "mean_intervals", &oldCount) != NC_NOERR ||
                               nc_inq_varid(old, "mean_start_time", &oldSince) != NC_NOERR))
        fail("it has no means");
    const size_t count[3] = {1, ny_, nx_};
    for (size_t t = 0; t < static_cast<size_t>(steps); ++t) {
        double time = 0;
        int number = 0;
        if (nc_get_var1_double(old, timeVar, &t, &time) != NC_NOERR ||
            nc_get_var1_int(old, numberVar, &t, &number) != NC_NOERR || time == NC_FILL_DOUBLE)
            fail("interval " + std::to_string(t + 1) + " is incomplete");
        failed_ = true;
        const size_t start[3] = {t, 0, 0};
        for (size_t f = 0; f < newVars.size(); ++f) {
            if (nc_get_vara_float(old, oldVars[f], start, count, buf_.data()) != NC_NOERR)
                fail("the variable " + names[f] + " of interval " + std::to_string(t + 1) + " cannot be read");
            check(nc_put_vara_float(ncid_, newVars[f], start, count, buf_.data()), names[f].c_str());
        }
        if (!meanVars_.empty()) {
            int intervals = 0;
            double since = 0;
            if (nc_get_var1_int(old, oldCount, &t, &intervals) != NC_NOERR ||
                nc_get_var1_double(old, oldSince, &t, &since) != NC_NOERR)
                fail("the means of interval " + std::to_string(t + 1) + " cannot be read");
            finishMeans(intervals, since);
        }
        double morph = 0;
        int oldMorph = -1;
        if (morphVar_ >= 0 && (nc_inq_varid(old, "morphological_time", &oldMorph) != NC_NOERR ||
                               nc_get_var1_double(old, oldMorph, &t, &morph) != NC_NOERR))
            fail("the morphological time of interval " + std::to_string(t + 1) + " cannot be read");
        completeInterval(number, time, morph, false);
    }
    nc_close(old);
    // The earlier file is replaced only now that the new one holds all it held up to the
    // checkpoint.
    if (std::rename(tmp_.c_str(), path_.c_str()) != 0)
        throw StopError(path_ + ": the netCDF result file could not be given its name (from " + tmp_ + ")");
}

void NetCdfResults::close() {
    if (ncid_ < 0) return;
    const int status = nc_close(ncid_);
    ncid_ = -1;
    check(status, "close");
}

}  // namespace littoral
