// The pieces of state a run carries from one interval to the next, each by its name: the
// grids (whole grid with its ghost ring), the open-boundary lines, the scalars and the texts.
// A checkpoint saves every item of such a list and a resumed run restores them by name, so
// that a further piece of state is one more line where its owner lists its items.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "core/Grid.h"

namespace littoral {

struct StateItems {
    using Scalar = std::variant<float*, double*, int16_t*, int32_t*, int64_t*, uint64_t*, bool*>;
    std::vector<std::pair<std::string, Grid*>> grids;
    std::vector<std::pair<std::string, LineArray*>> lines;
    std::vector<std::pair<std::string, Scalar>> scalars;
    std::vector<std::pair<std::string, std::string*>> texts;
    // Series of any length that every rank holds alike (the gauges' records).
    std::vector<std::pair<std::string, std::vector<double>*>> doubleSeries;
    std::vector<std::pair<std::string, std::vector<float>*>> floatSeries;
    std::vector<std::pair<std::string, std::vector<int64_t>*>> int64Series;
    // Double-precision values of the interior cells of the rank's own rows, i fastest (the
    // running sums of the mean fields): saved whole, each rank restoring its rows.
    std::vector<std::pair<std::string, std::vector<double>*>> ownRowSums;

    void grid(const std::string& name, Grid& g) { grids.emplace_back(name, &g); }
    void lineArray(const std::string& name, LineArray& a) { lines.emplace_back(name, &a); }
    template <class T>
    void scalar(const std::string& name, T& v) { scalars.emplace_back(name, Scalar(&v)); }
    void text(const std::string& name, std::string& v) { texts.emplace_back(name, &v); }
    void series(const std::string& name, std::vector<double>& v) { doubleSeries.emplace_back(name, &v); }
    void series(const std::string& name, std::vector<float>& v) { floatSeries.emplace_back(name, &v); }
    void series(const std::string& name, std::vector<int64_t>& v) { int64Series.emplace_back(name, &v); }
    void ownRows(const std::string& name, std::vector<double>& v) { ownRowSums.emplace_back(name, &v); }
};

}  // namespace littoral
