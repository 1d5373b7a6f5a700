// The result field file of one output interval: outDir + stem + n + ".csv".
//
// A header of 23 quoted names, then one line per interior cell, i outer and j inner:
// the cell position ((i - 1) dx, (j - 1) dy) in double precision and 21 single-precision
// fields of the wave, flow and sediment state. The bed level and the bed change are
// written negated (depth is positive downward, "_dep" and "_dh" positive upward).
#include "output/ResultFields.h"

#include <algorithm>
#include <string>
#include <vector>

#include "core/Parallel.h"

#include "output/RecordWriter.h"

namespace littoral {

namespace {

// The lines of the cells of columns i0..i1 (i outer, j inner).
void formatColumns(const Model& m, int32_t i0, int32_t i1, RecordBuffer& w) {
    for (int32_t i = i0; i <= i1; ++i) {
        const double x = (i - 1) * static_cast<double>(m.dx);
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
            w.f64(x).f64((j - 1) * static_cast<double>(m.dy));
            w.f32(-m.dep(i, j)).f32(m.wavH(i, j)).f32(m.setup(i, j)).f32(m.curU(i, j)).f32(m.curV(i, j));
            w.f32(m.sxx(i, j)).f32(m.sxy(i, j)).f32(m.syy(i, j)).f32(m.fx(i, j)).f32(m.fy(i, j));
            w.f32(m.tau(i, j)).f32(m.maxtau(i, j));
            w.f32(m.qbx(i, j)).f32(m.qby(i, j)).f32(m.qsx(i, j)).f32(m.qsy(i, j));
            w.f32(-m.dh(i, j)).f32(m.theta(i, j)).f32(m.sumDiss(i, j)).f32(m.etaOut(i, j)).f32(m.kd(i, j));
            w.endLine();
        }
    }
}

// Lines formatted per thread before they are written: about 4 MB of text per thread.
constexpr int64_t kLinesPerPart = 16384;

}  // namespace

void writeResultFields(const Model& m, int16_t n, const std::string& stem, RunHost* host) {
    RecordWriter w(m.outDir + stem + std::to_string(n) + ".csv");
    for (const char* name : {"i", "j", "_dep", "wavH", "setup", "lfu", "lfv", "sxx", "sxy", "syy", "fx", "fy", "tau",
                             "maxtau", "qbx", "qby", "qsx", "qsy", "_dh", "theta", "vptwb", "eta", "kd"})
        w.text(name);
    w.endLine();
    // The threads format one part each (whole columns of cells, the lines of a column
    // being consecutive in the file); the parts are written in order, then the next round.
    const int threads = threadCount();
    const int64_t column = std::max(1, m.jyEnd - m.jyStart + 1);
    const int32_t perPart = static_cast<int32_t>(std::max<int64_t>(1, kLinesPerPart / column));
    std::vector<RecordBuffer> parts(static_cast<size_t>(threads));
    for (int64_t i0 = m.ixStart; i0 <= m.ixEnd;) {
        const int32_t i1 = static_cast<int32_t>(std::min<int64_t>(m.ixEnd, i0 + int64_t{perPart} * threads - 1));
        for (RecordBuffer& p : parts) p.clear();
        forRowSlabs(static_cast<int32_t>(i0), i1,
                    [&](int32_t a, int32_t b, int t) { formatColumns(m, a, b, parts[static_cast<size_t>(t)]); });
        for (const RecordBuffer& p : parts) w.append(p);
        if (host) host->pumpEvents();
        i0 = int64_t{i1} + 1;
    }
    w.close();
}

}  // namespace littoral
