#include "output/Gauges.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <optional>
#include <set>

#include "core/Error.h"
#include "core/Numeric.h"
#include "output/RecordWriter.h"

#ifdef LITTORAL_NETCDF
#include <netcdf.h>

#include "output/NetCdf.h"
#endif

#ifndef LITTORAL_VERSION
#define LITTORAL_VERSION "0.1"
#endif

namespace littoral {

namespace {

using D = double;

// The five fields of an interval, in the order of the files' columns.
struct IntervalField {
    const char* name;
    const char* units;
    const char* longName;
    Grid Model::*grid;
    std::vector<float> GaugeRecord::*series;
};
const IntervalField kIntervalFields[] = {
    {"wavH", "m", "wave height of the last wave period", &Model::wavH, &GaugeRecord::wavH},
    {"setup", "m", "mean water level (set-up, tide and long-period motion) at the end of the interval", &Model::setup,
     &GaugeRecord::setup},
    {"lfu", "m s-1", "depth-averaged current in X at the end of the interval", &Model::curU, &GaugeRecord::lfu},
    {"lfv", "m s-1", "depth-averaged current in Y at the end of the interval", &Model::curV, &GaugeRecord::lfv},
    {"theta", "rad", "wave direction, measured from the X axis towards the Y axis (-9 where undefined)",
     &Model::theta, &GaugeRecord::theta},
};
constexpr int kFieldCount = 5;

[[noreturn]] void refuse(const Model& m, const GaugeSite& g, const std::string& what) {
    const std::string where = m.gaugesSetBy.empty() ? std::string() : m.gaugesSetBy + ": ";
    throw InputStop(where + "gauge \"" + g.name + "\" at x = " + formatNum(g.x) + " m, y = " + formatNum(g.y) +
                        " m " + what,
                    m.gaugesSetBy, "gauge " + g.name, 0);
}

}  // namespace

std::vector<GaugeRecord::Cell> placeGauges(const Model& m) {
    std::vector<GaugeRecord::Cell> cells;
    std::set<std::string> names;
    const D dx = m.dx, dy = m.dy;
    // The centres the result files give the first and last interior cells.
    const D x0 = (m.ixStart - 1) * dx, x1 = (m.ixEnd - 1) * dx, y0 = (m.jyStart - 1) * dy, y1 = (m.jyEnd - 1) * dy;
    for (const GaugeSite& g : m.gaugeSites) {
        if (g.name.empty())
            throw InputStop((m.gaugesSetBy.empty() ? std::string() : m.gaugesSetBy + ": ") +
                                "a gauge without a name: expected a name for every gauge",
                            m.gaugesSetBy, "gauge", 0);
        if (g.name.find_first_of("\"\r\n") != std::string::npos)
            refuse(m, g, "has a name with a double quote or a line break: expected a name without them");
        if (!names.insert(g.name).second) refuse(m, g, "has the name of another gauge: expected names that differ");
        if (!std::isfinite(g.x) || !std::isfinite(g.y)) refuse(m, g, "has no finite position: expected x and y in metres");
        // The nearest centre (cell c at (c - 1) dx); halves to even.
        const D ci = std::nearbyint(g.x / dx) + 1.0, cj = std::nearbyint(g.y / dy) + 1.0;
        if (!(ci >= m.ixStart && ci <= m.ixEnd && cj >= m.jyStart && cj <= m.jyEnd))
            refuse(m, g, "lies outside the grid: expected x from " + formatNum(x0 - dx / 2) + " to " +
                             formatNum(x1 + dx / 2) + " m and y from " + formatNum(y0 - dy / 2) + " to " +
                             formatNum(y1 + dy / 2) + " m (the interior cells' centres and half a cell around)");
        const int32_t i = static_cast<int32_t>(ci), j = static_cast<int32_t>(cj);
        double v[2] = {0, 0};
        m.shareFromRow(j, v, 2, [&](double* out) {
            out[0] = m.cellFlag(i, j);
            out[1] = m.dep(i, j);
        });
        const std::string cell = "(cell " + std::to_string(i) + ", " + std::to_string(j) + ")";
        if (v[0] == 15) refuse(m, g, "lies on land " + cell + " closed on all four sides: expected a cell in the water");
        const D h = v[1] + static_cast<D>(m.tideLevel);
        if (!(h >= m.minDepth))
            refuse(m, g, "lies on a dry cell " + cell + ", still depth plus tide " + formatNum(h) +
                             " m below the minimum depth " + formatNum(m.minDepth) + " m: expected a cell in the water");
        cells.push_back({i, j, (i - 1) * dx, (j - 1) * dy});
    }
    return cells;
}

// ---- the files ----

namespace {

// A text file the first rank appends to, an interval's lines in one write.
class AppendFile {
public:
    AppendFile(const std::string& path, bool keep) : path_(path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | (keep ? 0 : O_TRUNC), 0666);
        if (fd_ < 0) fail("could not be created", errno);
    }
    ~AppendFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;

    void write(const std::string& text) {
        const char* p = text.data();
        size_t left = text.size();
        while (left > 0) {
            const ssize_t n = ::pwrite(fd_, p, left, end_);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) fail("could not be written", n < 0 ? errno : ENOSPC);
            p += n;
            left -= static_cast<size_t>(n);
            end_ += n;
        }
    }
    // Cuts the file back to the end of its first `lines` lines.
    void keepLines(int64_t lines) {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) fail("could not be read", errno);
        std::string all(static_cast<size_t>(st.st_size), '\0');
        if (!all.empty() && ::pread(fd_, all.data(), all.size(), 0) != static_cast<ssize_t>(all.size()))
            fail("could not be read", errno);
        int64_t at = 0;
        for (int64_t k = 0; k < lines; ++k) {
            const size_t nl = all.find('\n', static_cast<size_t>(at));
            if (nl == std::string::npos)
                throw StopError(path_ + ": holds " + std::to_string(k) + " whole lines: expected at least " +
                                std::to_string(lines) + " to continue the run");
            at = static_cast<int64_t>(nl) + 1;
        }
        if (::ftruncate(fd_, at) != 0) fail("could not be cut back", errno);
        end_ = at;
    }

private:
    [[noreturn]] void fail(const char* what, int err) {
        throw StopError(path_ + ": the gauge file " + what + " (" + std::strerror(err) + ")");
    }
    std::string path_;
    int fd_ = -1;
    int64_t end_ = 0;
};

void appendText(std::string& out, const std::string& s) {
    out += '"';
    out += s;
    out += '"';
}
void appendNumber(std::string& out, float v) {
    char b[48];
    out.append(b, appendFloat(b, v));
}
void appendNumber(std::string& out, double v) {
    char b[48];
    out.append(b, appendDouble(b, v));
}

}  // namespace

struct GaugeRecorder::Files {
    std::optional<AppendFile> steps, intervals;
    std::string text;  // an interval's lines
#ifdef LITTORAL_NETCDF
    std::string ncPath;
    int ncid = -1;
    int vWaveTime = -1, vEta = -1, vTime = -1, vNumber = -1, vField[kFieldCount] = {};
    void check(int status, const char* what) const {
        if (status != NC_NOERR)
            throw StopError(ncPath + ": the gauge file could not be written (" + what + "): " + nc_strerror(status));
    }
    ~Files() {
        if (ncid >= 0) nc_close(ncid);
    }
#endif
};

GaugeRecorder::GaugeRecorder(Model& m, int64_t intervals, std::optional<GaugeRecord::Progress> after)
    : intervals_(intervals) {
    GaugeRecord& r = m.gaugeRecord;
    if (after) {
        // The record the caller restored, cut back to p.
        const size_t ng = m.gaugeSites.size();
        const auto cut = [&](auto& v, int64_t rows, size_t width) {
            if (v.size() > static_cast<size_t>(rows) * width) v.resize(static_cast<size_t>(rows) * width);
        };
        cut(r.waveTime, after->waveSteps, 1);
        cut(r.eta, after->waveSteps, ng);
        cut(r.time, after->intervals, 1);
        cut(r.number, after->intervals, 1);
        for (const IntervalField& f : kIntervalFields) cut(r.*f.series, after->intervals, ng);
    } else {
        r = GaugeRecord();
    }
    r.cells = placeGauges(m);
    GaugeTrace& t = m.gaugeTrace;
    t = GaugeTrace();
    const RowRange own = m.ownRows();
    for (size_t g = 0; g < r.cells.size(); ++g) {
        if (r.cells[g].j < own.begin || r.cells[g].j > own.end) continue;
        t.ci.push_back(r.cells[g].i);
        t.cj.push_back(r.cells[g].j);
        t.index.push_back(static_cast<int32_t>(g));
    }
    if (!m.filesWanted || !m.writesFiles()) return;
    files_ = std::make_unique<Files>();
    Files& f = *files_;
    if (after) {
        reopen(m, *after);
        return;
    }
    f.steps.emplace(m.outDir + "gauges.csv", false);
    f.intervals.emplace(m.outDir + "gauges_intervals.csv", false);
    std::string& s = f.text;
    s = "\"time\"";
    for (const GaugeSite& g : m.gaugeSites) {
        s += ',';
        appendText(s, g.name);
    }
    s += '\n';
    f.steps->write(s);
    s = "\"output_number\",\"time\",\"gauge\",\"i\",\"j\",\"x\",\"y\"";
    for (const IntervalField& fld : kIntervalFields) {
        s += ',';
        appendText(s, fld.name);
    }
    s += '\n';
    f.intervals->write(s);

#ifdef LITTORAL_NETCDF
    f.ncPath = m.outDir + "gauges.nc";
    quietHdf5OnThisThread();
    f.check(nc_create(f.ncPath.c_str(), NC_NETCDF4 | NC_CLOBBER, &f.ncid), "create");
    const int nc = f.ncid;
    const auto text = [&](int var, const char* name, const std::string& v) {
        f.check(nc_put_att_text(nc, var, name, v.size(), v.c_str()), name);
    };
    const size_t n = r.cells.size();
    int dGauge = 0, dWave = 0, dTime = 0;
    f.check(nc_def_dim(nc, "gauge", n, &dGauge), "dimension gauge");
    f.check(nc_def_dim(nc, "wave_time", NC_UNLIMITED, &dWave), "dimension wave_time");
    f.check(nc_def_dim(nc, "time", NC_UNLIMITED, &dTime), "dimension time");
    text(NC_GLOBAL, "Conventions", "CF-1.8");
    text(NC_GLOBAL, "featureType", "timeSeries");
    text(NC_GLOBAL, "title", "Littoral gauges of the case " + m.cntPath);
    text(NC_GLOBAL, "source", std::string("Littoral ") + LITTORAL_VERSION);
    text(NC_GLOBAL, "control_file", m.cntPath);
    if (!m.gaugesSetBy.empty()) text(NC_GLOBAL, "gauges_from", m.gaugesSetBy);
    const auto variable = [&](const char* name, nc_type type, int nd, const int* dims, const char* units,
                              const std::string& longName) {
        int v = 0;
        f.check(nc_def_var(nc, name, type, nd, dims, &v), name);
        if (units) text(v, "units", units);
        text(v, "long_name", longName);
        return v;
    };
    const int vx = variable("x", NC_DOUBLE, 1, &dGauge, "m", "X position of the gauge's cell centre");
    text(vx, "axis", "X");
    const int vy = variable("y", NC_DOUBLE, 1, &dGauge, "m", "Y position of the gauge's cell centre");
    text(vy, "axis", "Y");
    const int vxa = variable("x_requested", NC_DOUBLE, 1, &dGauge, "m", "X position the gauge was asked for");
    const int vya = variable("y_requested", NC_DOUBLE, 1, &dGauge, "m", "Y position the gauge was asked for");
    const int vi = variable("i", NC_INT, 1, &dGauge, nullptr, "cell index of the gauge in X");
    const int vj = variable("j", NC_INT, 1, &dGauge, nullptr, "cell index of the gauge in Y");
    const int vName = variable("gauge_name", NC_STRING, 1, &dGauge, nullptr, "name of the gauge");
    text(vName, "cf_role", "timeseries_id");
    f.vWaveTime = variable("wave_time", NC_DOUBLE, 1, &dWave, "s",
                           "model time of the surface of each wave step");
    text(f.vWaveTime, "standard_name", "time");
    text(f.vWaveTime, "axis", "T");
    f.vTime = variable("time", NC_DOUBLE, 1, &dTime, "s", "model time at the end of the output interval");
    text(f.vTime, "standard_name", "time");
    f.vNumber = variable("output_number", NC_INT, 1, &dTime, nullptr,
                         "output number of the interval (the n of surfer<n>.csv)");
    // The series grow along time, a chunk of many steps by every gauge.
    const int dimsEta[2] = {dWave, dGauge}, dimsField[2] = {dTime, dGauge};
    const size_t chunkEta[2] = {1024, n}, chunkField[2] = {64, n}, chunk1[1] = {1024};
    f.check(nc_def_var_chunking(nc, f.vWaveTime, NC_CHUNKED, chunk1), "chunking");
    f.vEta = variable("eta", NC_FLOAT, 2, dimsEta, "m", "surface elevation at every wave step");
    text(f.vEta, "standard_name", "sea_surface_height_above_mean_sea_level");
    text(f.vEta, "coordinates", "x y gauge_name");
    f.check(nc_def_var_chunking(nc, f.vEta, NC_CHUNKED, chunkEta), "chunking");
    for (int k = 0; k < kFieldCount; ++k) {
        f.vField[k] = variable(kIntervalFields[k].name, NC_FLOAT, 2, dimsField, kIntervalFields[k].units,
                               kIntervalFields[k].longName);
        text(f.vField[k], "coordinates", "x y gauge_name");
        f.check(nc_def_var_chunking(nc, f.vField[k], NC_CHUNKED, chunkField), "chunking");
    }
    f.check(nc_enddef(nc), "header");
    std::vector<double> xs, ys, xa, ya;
    std::vector<int> is, js;
    std::vector<const char*> names;
    for (size_t g = 0; g < n; ++g) {
        xs.push_back(r.cells[g].x);
        ys.push_back(r.cells[g].y);
        xa.push_back(m.gaugeSites[g].x);
        ya.push_back(m.gaugeSites[g].y);
        is.push_back(r.cells[g].i);
        js.push_back(r.cells[g].j);
        names.push_back(m.gaugeSites[g].name.c_str());
    }
    if (n > 0) {
        f.check(nc_put_var_double(nc, vx, xs.data()), "x");
        f.check(nc_put_var_double(nc, vy, ys.data()), "y");
        f.check(nc_put_var_double(nc, vxa, xa.data()), "x_requested");
        f.check(nc_put_var_double(nc, vya, ya.data()), "y_requested");
        f.check(nc_put_var_int(nc, vi, is.data()), "i");
        f.check(nc_put_var_int(nc, vj, js.data()), "j");
        f.check(nc_put_var_string(nc, vName, names.data()), "gauge_name");
    }
    f.check(nc_sync(nc), "sync");
#endif
}

GaugeRecorder::~GaugeRecorder() = default;

void GaugeRecorder::interval(Model& m, int64_t n, double endSeconds) {
    GaugeRecord& r = m.gaugeRecord;
    const GaugeTrace& t = m.gaugeTrace;
    const size_t ng = r.cells.size();
    const size_t steps = static_cast<size_t>(m.nStep > 0 ? m.nStep : 0);
    const size_t firstStep = r.waveTime.size(), firstInterval = r.time.size();
    if (firstInterval == 0 && intervals_ > 0) {
        const size_t ni = static_cast<size_t>(intervals_);
        r.waveTime.reserve(ni * steps);
        r.eta.reserve(ni * steps * ng);
        r.time.reserve(ni);
        r.number.reserve(ni);
        for (const IntervalField& f : kIntervalFields) (r.*f.series).reserve(ni * ng);
    }
    for (size_t k = 0; k < steps; ++k) r.waveTime.push_back(t.firstTime + static_cast<D>(k) * t.dt);
    r.eta.resize(r.eta.size() + steps * ng);
    r.time.push_back(endSeconds);
    r.number.push_back(n);
    for (const IntervalField& f : kIntervalFields) (r.*f.series).resize((firstInterval + 1) * ng);
    // Each gauge's values from the rank that holds its row, in the order of the gauges.
    const size_t per = steps + kFieldCount;
    if (share_.size() < per) share_.resize(per);
    for (size_t g = 0; g < ng; ++g) {
        const GaugeRecord::Cell& c = r.cells[g];
        m.shareFromRow(c.j, share_.data(), static_cast<int>(per), [&](double* v) {
            size_t k = 0;
            while (k < t.index.size() && t.index[k] != static_cast<int32_t>(g)) ++k;
            for (size_t s = 0; s < steps; ++s) v[s] = t.values[s * t.ci.size() + k];
            for (int f = 0; f < kFieldCount; ++f) v[steps + f] = (m.*kIntervalFields[f].grid)(c.i, c.j);
        });
        for (size_t s = 0; s < steps; ++s) r.eta[(firstStep + s) * ng + g] = static_cast<float>(share_[s]);
        for (int f = 0; f < kFieldCount; ++f)
            (r.*kIntervalFields[f].series)[firstInterval * ng + g] = static_cast<float>(share_[steps + f]);
    }
    if (files_) m.slabs().guarded([&] { writeFiles(m, firstStep, firstInterval); });
}

void GaugeRecorder::writeFiles(const Model& m, size_t firstStep, size_t firstInterval) {
    Files& f = *files_;
    const GaugeRecord& r = m.gaugeRecord;
    const size_t ng = r.cells.size(), lastStep = r.waveTime.size();
    std::string& s = f.text;
    if (firstInterval == 0) {
        // Room for the longest lines of any interval: a time of 15 digits with sign, point and
        // exponent (23 characters) and a value of 7 (14); the interval lines' numbers alike.
        size_t lines = 0;
        for (const GaugeSite& g : m.gaugeSites) lines += 23 * 3 + 12 * 2 + 14 * kFieldCount + 16 + g.name.size();
        s.reserve(std::max((lastStep - firstStep) * (24 + 15 * ng), lines));
    }
    s.clear();
    for (size_t k = firstStep; k < lastStep; ++k) {
        appendNumber(s, r.waveTime[k]);
        for (size_t g = 0; g < ng; ++g) {
            s += ',';
            appendNumber(s, r.eta[k * ng + g]);
        }
        s += '\n';
    }
    f.steps->write(s);
    s.clear();
    for (size_t g = 0; g < ng; ++g) {
        s += std::to_string(r.number[firstInterval]);
        s += ',';
        appendNumber(s, r.time[firstInterval]);
        s += ',';
        appendText(s, m.gaugeSites[g].name);
        s += ',' + std::to_string(r.cells[g].i) + ',' + std::to_string(r.cells[g].j) + ',';
        appendNumber(s, r.cells[g].x);
        s += ',';
        appendNumber(s, r.cells[g].y);
        for (const IntervalField& fld : kIntervalFields) {
            s += ',';
            appendNumber(s, (r.*fld.series)[firstInterval * ng + g]);
        }
        s += '\n';
    }
    f.intervals->write(s);
#ifdef LITTORAL_NETCDF
    if (ng > 0) {
        const size_t start1[1] = {firstStep}, count1[1] = {lastStep - firstStep};
        f.check(nc_put_vara_double(f.ncid, f.vWaveTime, start1, count1, r.waveTime.data() + firstStep), "wave_time");
        const size_t start2[2] = {firstStep, 0}, count2[2] = {lastStep - firstStep, ng};
        f.check(nc_put_vara_float(f.ncid, f.vEta, start2, count2, r.eta.data() + firstStep * ng), "eta");
        const size_t startT[1] = {firstInterval}, one[1] = {1};
        f.check(nc_put_vara_double(f.ncid, f.vTime, startT, one, &r.time[firstInterval]), "time");
        const int number = static_cast<int>(r.number[firstInterval]);
        f.check(nc_put_vara_int(f.ncid, f.vNumber, startT, one, &number), "output_number");
        const size_t startF[2] = {firstInterval, 0}, countF[2] = {1, ng};
        for (int k = 0; k < kFieldCount; ++k)
            f.check(nc_put_vara_float(f.ncid, f.vField[k], startF, countF,
                                      (r.*kIntervalFields[k].series).data() + firstInterval * ng),
                    kIntervalFields[k].name);
    }
    f.check(nc_sync(f.ncid), "sync");
#endif
}

void GaugeRecorder::reopen(const Model& m, GaugeRecord::Progress p) {
    Files& f = *files_;
    const int64_t ng = static_cast<int64_t>(m.gaugeSites.size());
    f.steps.emplace(m.outDir + "gauges.csv", true);
    f.steps->keepLines(1 + p.waveSteps);
    f.intervals.emplace(m.outDir + "gauges_intervals.csv", true);
    f.intervals->keepLines(1 + p.intervals * ng);
#ifdef LITTORAL_NETCDF
    f.ncPath = m.outDir + "gauges.nc";
    quietHdf5OnThisThread();
    f.check(nc_open(f.ncPath.c_str(), NC_WRITE, &f.ncid), "open");
    // The records beyond p are written over as the run goes on.
    f.check(nc_inq_varid(f.ncid, "wave_time", &f.vWaveTime), "wave_time");
    f.check(nc_inq_varid(f.ncid, "eta", &f.vEta), "eta");
    f.check(nc_inq_varid(f.ncid, "time", &f.vTime), "time");
    f.check(nc_inq_varid(f.ncid, "output_number", &f.vNumber), "output_number");
    for (int k = 0; k < kFieldCount; ++k)
        f.check(nc_inq_varid(f.ncid, kIntervalFields[k].name, &f.vField[k]), kIntervalFields[k].name);
#endif
}

}  // namespace littoral
