// The result field file of one output interval: outDir + stem + n + ".csv".
//
// A header of 23 quoted names, then one line per interior cell, i outer and j inner:
// the cell position ((i - 1) dx, (j - 1) dy) in double precision and 21 single-precision
// fields of the wave, flow and sediment state. The bed level and the bed change are
// written negated (depth is positive downward, "_dep" and "_dh" positive upward).
#include "output/ResultFields.h"

#include <string>

#include "output/RecordWriter.h"

namespace littoral {

void writeResultFields(const Model& m, int16_t n, const std::string& stem) {
    RecordWriter w(m.outDir + stem + std::to_string(n) + ".csv");
    for (const char* name : {"i", "j", "_dep", "wavH", "setup", "lfu", "lfv", "sxx", "sxy", "syy", "fx", "fy", "tau",
                             "maxtau", "qbx", "qby", "qsx", "qsy", "_dh", "theta", "vptwb", "eta", "kd"})
        w.text(name);
    w.endLine();
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
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
    w.close();
}

}  // namespace littoral
