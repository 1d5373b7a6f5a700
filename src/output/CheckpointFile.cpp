#include "output/CheckpointFile.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <type_traits>

#ifdef LITTORAL_NETCDF
#include <netcdf.h>
#include <unistd.h>

#include "output/NetCdf.h"
#endif

#include "core/Error.h"

namespace littoral {

bool checkpointsAvailable() {
#ifdef LITTORAL_NETCDF
    return true;
#else
    return false;
#endif
}

#ifdef LITTORAL_NETCDF

namespace {

// The file open while it lives: closed at the end, and (while being written) removed unless
// it was completed.
struct OpenFile {
    int id = -1;
    std::string removeAtEnd;
    ~OpenFile() {
        if (id >= 0) nc_close(id);
        if (!removeAtEnd.empty()) std::remove(removeAtEnd.c_str());
    }
};

[[noreturn]] void fail(const std::string& path, const std::string& what, int status) {
    throw StopError(path + ": the checkpoint could not be " + what +
                    (status != NC_NOERR ? std::string(": ") + nc_strerror(status) : std::string()));
}

void openForReading(OpenFile& file, const std::string& path) {
    quietHdf5OnThisThread();
    const int status = nc_open(path.c_str(), NC_NOWRITE, &file.id);
    if (status != NC_NOERR) {
        file.id = -1;
        fail(path, "read", status);
    }
}

template <class T>
constexpr nc_type typeOf() {
    if constexpr (std::is_same_v<T, float>) return NC_FLOAT;
    else if constexpr (std::is_same_v<T, double>) return NC_DOUBLE;
    else if constexpr (std::is_same_v<T, int16_t>) return NC_SHORT;
    else if constexpr (std::is_same_v<T, int32_t>) return NC_INT;
    else if constexpr (std::is_same_v<T, int64_t>) return NC_INT64;
    else if constexpr (std::is_same_v<T, uint64_t>) return NC_UINT64;
    else return NC_BYTE;  // bool
}

// The boundary cell a line belongs to is held by the rank computing its row; line 0 (scratch)
// and lines past the list by the first.
int32_t rowOfLine(const Model& m, int32_t s) {
    return s >= 1 && s <= m.bndCellJ.hi() ? m.bndCellJ(s) : m.jyStart - 1;
}

}  // namespace

void writeCheckpointFile(Model& m, const StateItems& items, const CheckpointTexts& texts, const std::string& path) {
    SlabLink& link = m.slabs();
    const bool writer = m.writesFiles();
    const size_t nx = static_cast<size_t>(m.ixEnd - m.ixStart + 3), ny = static_cast<size_t>(m.jyEnd - m.jyStart + 3);
    OpenFile file;
    const std::string tmp = path + "." + std::to_string(getpid()) + ".part";
    std::vector<int> gridVars, lineVars, seriesVars, sumVars;
    auto check = [&](int status, const std::string& what) {
        if (status != NC_NOERR) fail(path, "written (" + what + ")", status);
    };
    link.guarded([&] {
        if (!writer) return;
        file.removeAtEnd = tmp;
        quietHdf5OnThisThread();
        check(nc_create(tmp.c_str(), NC_NETCDF4 | NC_CLOBBER, &file.id), "create " + tmp);
        int old = 0;
        check(nc_set_fill(file.id, NC_NOFILL, &old), "fill mode");
        int dY = 0, dX = 0;
        check(nc_def_dim(file.id, "y_ring", ny, &dY), "dimension y_ring");
        check(nc_def_dim(file.id, "x_ring", nx, &dX), "dimension x_ring");
        const int dims[2] = {dY, dX};
        for (const auto& [name, g] : items.grids) {
            int v = -1;
            check(nc_def_var(file.id, name.c_str(), NC_FLOAT, 2, dims, &v), name);
            check(nc_def_var_chunking(file.id, v, NC_CONTIGUOUS, nullptr), name);
            gridVars.push_back(v);
        }
        for (const auto& [name, a] : items.lines) {
            const size_t lines = a->sHi() >= a->sLo() ? static_cast<size_t>(a->sHi() - a->sLo() + 1) : 0;
            if (lines == 0 || a->points() == 0) {
                lineVars.push_back(-1);  // no boundary line: nothing kept
                continue;
            }
            int d[2] = {0, 0}, v = -1;
            check(nc_def_dim(file.id, (name + "_lines").c_str(), lines, &d[0]), name);
            check(nc_def_dim(file.id, (name + "_points").c_str(), static_cast<size_t>(a->points()), &d[1]), name);
            check(nc_def_var(file.id, name.c_str(), NC_FLOAT, 2, d, &v), name);
            check(nc_put_att_int(file.id, v, "first_line", NC_INT, 1, std::vector<int>{a->sLo()}.data()), name);
            lineVars.push_back(v);
        }
        const auto defineSeries = [&](const std::string& name, size_t size, nc_type type) {
            if (size == 0) return -1;  // an empty series: restored empty
            int d = 0, v = -1;
            check(nc_def_dim(file.id, (name + "_n").c_str(), size, &d), name);
            check(nc_def_var(file.id, name.c_str(), type, 1, &d, &v), name);
            return v;
        };
        for (const auto& [name, v] : items.doubleSeries) seriesVars.push_back(defineSeries(name, v->size(), NC_DOUBLE));
        for (const auto& [name, v] : items.floatSeries) seriesVars.push_back(defineSeries(name, v->size(), NC_FLOAT));
        for (const auto& [name, v] : items.int64Series) seriesVars.push_back(defineSeries(name, v->size(), NC_INT64));
        if (!items.ownRowSums.empty()) {
            int d[2] = {0, 0};
            check(nc_def_dim(file.id, "y", ny - 2, &d[0]), "dimension y");
            check(nc_def_dim(file.id, "x", nx - 2, &d[1]), "dimension x");
            for (const auto& [name, v] : items.ownRowSums) {
                int var = -1;
                check(nc_def_var(file.id, name.c_str(), NC_DOUBLE, 2, d, &var), name);
                sumVars.push_back(var);
            }
        }
        for (const auto& [name, value] : texts)
            check(nc_put_att_text(file.id, NC_GLOBAL, name.c_str(), value.size(), value.c_str()), name);
        for (const auto& [name, t] : items.texts)
            check(nc_put_att_text(file.id, NC_GLOBAL, name.c_str(), t->size(), t->c_str()), name);
        for (const auto& item : items.scalars) {
            const std::string& name = item.first;
            std::visit(
                [&](auto* p) {
                    using T = std::remove_pointer_t<decltype(p)>;
                    if constexpr (std::is_same_v<T, bool>) {
                        const signed char b = *p ? 1 : 0;
                        check(nc_put_att_schar(file.id, NC_GLOBAL, name.c_str(), NC_BYTE, 1, &b), name);
                    } else {
                        check(nc_put_att(file.id, NC_GLOBAL, name.c_str(), typeOf<T>(), 1, p), name);
                    }
                },
                item.second);
        }
        check(nc_enddef(file.id), "header");
    });
    // Every grid whole on the first rank, one at a time.
    for (size_t k = 0; k < items.grids.size(); ++k) {
        const Grid& whole = m.gatherWholeOnFirst(*items.grids[k].second);
        link.guarded([&] {
            if (!writer) return;
            if (whole.size() != nx * ny) fail(path, "written: the grid " + items.grids[k].first + " is not allocated", NC_NOERR);
            check(nc_put_var_float(file.id, gridVars[k], whole.data()), items.grids[k].first);
        });
    }
    // Each line from the rank that computes it.
    std::vector<double> share;
    std::vector<float> all;
    for (size_t k = 0; k < items.lines.size(); ++k) {
        LineArray& a = *items.lines[k].second;
        if (a.sHi() < a.sLo() || a.points() == 0) continue;
        if (link.ranks() > 1) {
            const size_t n = static_cast<size_t>(a.points());
            share.resize(n);
            all.resize(n * static_cast<size_t>(a.sHi() - a.sLo() + 1));
            for (int32_t s = a.sLo(); s <= a.sHi(); ++s) {
                m.shareFromRow(rowOfLine(m, s), share.data(), static_cast<int>(n), [&](double* v) {
                    for (size_t p = 0; p < n; ++p) v[p] = a.row(s)[p];
                });
                for (size_t p = 0; p < n; ++p) all[static_cast<size_t>(s - a.sLo()) * n + p] = static_cast<float>(share[p]);
            }
        }
        link.guarded([&] {
            if (!writer) return;
            check(nc_put_var_float(file.id, lineVars[k], link.ranks() > 1 ? all.data() : a.row(a.sLo())), items.lines[k].first);
        });
    }
    // The series, alike on every rank: the first rank's.
    link.guarded([&] {
        if (!writer) return;
        size_t k = 0;
        const auto put = [&](const std::string& name, const auto* v) {
            const int var = seriesVars[k++];
            if (var >= 0) check(nc_put_var(file.id, var, v->data()), name);
        };
        for (const auto& [name, v] : items.doubleSeries) put(name, v);
        for (const auto& [name, v] : items.floatSeries) put(name, v);
        for (const auto& [name, v] : items.int64Series) put(name, v);
    });
    // The sums of the own rows, row by row from the rank that computes it.
    const size_t nxIn = nx - 2;
    std::vector<double> rowValues(nxIn), whole;
    for (size_t k = 0; k < items.ownRowSums.size(); ++k) {
        const std::vector<double>& v = *items.ownRowSums[k].second;
        const RowRange own = m.ownRows();
        if (writer) whole.resize(nxIn * (ny - 2));
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
            m.shareFromRow(j, rowValues.data(), static_cast<int>(nxIn), [&](double* out) {
                const size_t at = static_cast<size_t>(j - own.begin) * nxIn;
                for (size_t c = 0; c < nxIn; ++c) out[c] = at + c < v.size() ? v[at + c] : 0.0;
            });
            if (writer) std::copy(rowValues.begin(), rowValues.end(), whole.begin() + static_cast<std::ptrdiff_t>((j - m.jyStart) * nxIn));
        }
        link.guarded([&] {
            if (!writer) return;
            check(nc_put_var_double(file.id, sumVars[k], whole.data()), items.ownRowSums[k].first);
        });
    }
    link.guarded([&] {
        if (!writer) return;
        const int status = nc_close(file.id);
        file.id = -1;
        check(status, "close");
        if (std::rename(tmp.c_str(), path.c_str()) != 0)
            fail(path, std::string("given its name (from ") + tmp + "): " + std::strerror(errno), NC_NOERR);
        file.removeAtEnd.clear();
    });
    link.check();
}

CheckpointTexts readCheckpointTexts(const std::string& path, const std::string& prefix) {
    OpenFile file;
    openForReading(file, path);
    int n = 0;
    nc_inq_natts(file.id, &n);
    CheckpointTexts out;
    for (int k = 0; k < n; ++k) {
        char name[NC_MAX_NAME + 1] = {};
        nc_type type = 0;
        size_t len = 0;
        if (nc_inq_attname(file.id, NC_GLOBAL, k, name) != NC_NOERR) continue;
        if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) continue;
        if (nc_inq_att(file.id, NC_GLOBAL, name, &type, &len) != NC_NOERR || type != NC_CHAR) continue;
        std::string v(len, '\0');
        if (len > 0 && nc_get_att_text(file.id, NC_GLOBAL, name, v.data()) != NC_NOERR) continue;
        out.emplace_back(name, v);
    }
    return out;
}

void readCheckpointFile(Model& m, const StateItems& items, const std::string& path) {
    OpenFile file;
    openForReading(file, path);
    const int f = file.id;
    const auto bad = [&](const std::string& what) {
        throw StopError(path + ": the checkpoint cannot be read: " + what);
    };
    const size_t nx = static_cast<size_t>(m.ixEnd - m.ixStart + 3), ny = static_cast<size_t>(m.jyEnd - m.jyStart + 3);
    int dY = -1, dX = -1;
    size_t fy = 0, fx = 0;
    if (nc_inq_dimid(f, "y_ring", &dY) != NC_NOERR || nc_inq_dimid(f, "x_ring", &dX) != NC_NOERR ||
        nc_inq_dimlen(f, dY, &fy) != NC_NOERR || nc_inq_dimlen(f, dX, &fx) != NC_NOERR)
        bad("it has no grid dimensions y_ring and x_ring");
    if (fy != ny || fx != nx)
        bad("its grids have " + std::to_string(fx) + " x " + std::to_string(fy) + " cells with the ghost ring, the case's " +
            std::to_string(nx) + " x " + std::to_string(ny));
    const int32_t j0 = m.jyStart - 1;
    for (const auto& [name, g] : items.grids) {
        int v = -1;
        if (nc_inq_varid(f, name.c_str(), &v) != NC_NOERR) bad("it has no grid " + name);
        if (g->empty()) m.allocGrid(*g);  // a grid each period makes, not made yet at a resume
        if (g->iLo() != m.ixStart - 1 || g->iHi() != m.ixEnd + 1) bad("the grid " + name + " has another shape");
        const size_t start[2] = {static_cast<size_t>(g->jLo() - j0), 0};
        const size_t count[2] = {static_cast<size_t>(g->jHi() - g->jLo() + 1), nx};
        if (nc_get_vara_float(f, v, start, count, g->data()) != NC_NOERR) bad("the grid " + name + " cannot be read");
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) {
            if (!g->hasRow(j) || (j >= g->jLo() && j <= g->jHi())) continue;
            const size_t s1[2] = {static_cast<size_t>(j - j0), 0}, c1[2] = {1, nx};
            if (nc_get_vara_float(f, v, s1, c1, g->row(j)) != NC_NOERR) bad("the grid " + name + " cannot be read");
        }
        g->markHalosCurrent();
    }
    for (const auto& [name, a] : items.lines) {
        const size_t lines = a->sHi() >= a->sLo() ? static_cast<size_t>(a->sHi() - a->sLo() + 1) : 0;
        int v = -1;
        const bool there = nc_inq_varid(f, name.c_str(), &v) == NC_NOERR;
        if (lines == 0 || a->points() == 0) {
            if (there) bad("it has boundary lines " + name + " the case has not");
            continue;
        }
        int ndims = 0, dims[2] = {-1, -1};
        size_t l0 = 0, l1 = 0;
        if (!there || nc_inq_varndims(f, v, &ndims) != NC_NOERR || ndims != 2 || nc_inq_vardimid(f, v, dims) != NC_NOERR ||
            nc_inq_dimlen(f, dims[0], &l0) != NC_NOERR || nc_inq_dimlen(f, dims[1], &l1) != NC_NOERR)
            bad("it has no boundary lines " + name);
        if (l0 != lines || l1 != static_cast<size_t>(a->points()))
            bad("its boundary lines " + name + " are " + std::to_string(l0) + " of " + std::to_string(l1) +
                " points, the case's " + std::to_string(lines) + " of " + std::to_string(a->points()));
        if (nc_get_var_float(f, v, a->row(a->sLo())) != NC_NOERR) bad("the boundary lines " + name + " cannot be read");
    }
    for (const auto& item : items.scalars) {
        const std::string& name = item.first;
        std::visit(
            [&](auto* p) {
                using T = std::remove_pointer_t<decltype(p)>;
                nc_type type = 0;
                size_t len = 0;
                if (nc_inq_att(f, NC_GLOBAL, name.c_str(), &type, &len) != NC_NOERR || len != 1 || type != typeOf<T>())
                    bad("it has no value " + name + " of the expected type");
                if constexpr (std::is_same_v<T, bool>) {
                    signed char b = 0;
                    nc_get_att_schar(f, NC_GLOBAL, name.c_str(), &b);
                    *p = b != 0;
                } else {
                    nc_get_att(f, NC_GLOBAL, name.c_str(), p);
                }
            },
            item.second);
    }
    for (const auto& [name, t] : items.texts) {
        nc_type type = 0;
        size_t len = 0;
        if (nc_inq_att(f, NC_GLOBAL, name.c_str(), &type, &len) != NC_NOERR || type != NC_CHAR) bad("it has no text " + name);
        t->assign(len, '\0');
        if (len > 0) nc_get_att_text(f, NC_GLOBAL, name.c_str(), t->data());
    }
    const auto getSeries = [&](const std::string& name, auto* v) {
        int var = -1, dim = -1, ndims = 0;
        size_t len = 0;
        if (nc_inq_varid(f, name.c_str(), &var) != NC_NOERR) {
            v->clear();  // saved empty
            return;
        }
        if (nc_inq_varndims(f, var, &ndims) != NC_NOERR || ndims != 1 || nc_inq_vardimid(f, var, &dim) != NC_NOERR ||
            nc_inq_dimlen(f, dim, &len) != NC_NOERR)
            bad("the series " + name + " has another shape");
        v->resize(len);
        if (nc_get_var(f, var, v->data()) != NC_NOERR) bad("the series " + name + " cannot be read");
    };
    for (const auto& [name, v] : items.doubleSeries) getSeries(name, v);
    for (const auto& [name, v] : items.floatSeries) getSeries(name, v);
    for (const auto& [name, v] : items.int64Series) getSeries(name, v);
    for (const auto& [name, v] : items.ownRowSums) {
        int var = -1;
        if (nc_inq_varid(f, name.c_str(), &var) != NC_NOERR) bad("it has no sums " + name);
        const RowRange own = m.ownRows();
        const size_t nxIn = nx - 2;
        const size_t rows = own.end >= own.begin ? static_cast<size_t>(own.end - own.begin + 1) : 0;
        v->assign(rows * nxIn, 0.0);
        if (rows == 0) continue;
        const size_t start[2] = {static_cast<size_t>(own.begin - m.jyStart), 0}, count[2] = {rows, nxIn};
        if (nc_get_vara_double(f, var, start, count, v->data()) != NC_NOERR) bad("the sums " + name + " cannot be read");
    }
}

#else

void writeCheckpointFile(Model&, const StateItems&, const CheckpointTexts&, const std::string& path) {
    throw StopError(path + ": this build cannot write checkpoints (they are netCDF files, and the netCDF library was "
                           "not found when it was built)");
}
CheckpointTexts readCheckpointTexts(const std::string& path, const std::string&) {
    throw StopError(path + ": this build cannot read checkpoints (no netCDF library)");
}
void readCheckpointFile(Model&, const StateItems&, const std::string& path) {
    throw StopError(path + ": this build cannot read checkpoints (no netCDF library)");
}

#endif

}  // namespace littoral
