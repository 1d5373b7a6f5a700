// Work arrays of the wave step: formed once per wave period from the depth, the mean
// level, the direction and kh (which stay fixed while a period runs), and kept in the
// model between periods so that the time loop allocates nothing once the first period
// has sized them.
#pragma once

#include <cstdint>
#include <vector>

#include "core/Grid.h"
#include "core/RowRange.h"

namespace littoral {

// Constants of the stress and transport of one wave step (sedimentCoefs).
struct SedimentCoefs {
    double fric, cr, bedload, susp, grain, subWeight, sqrtSubWeight, fallVel, w;
};

// What the predictor of a row hands to the corrector of the same row, which runs one row
// later: the shared part tc of the numerator, the divisor B and the five convection
// coefficients pE, pS, pW, pN, pC, in slots of one row each (see WavePhiStep.cpp for who
// owns which slot).
class PhiRowShare {
public:
    void allocate(int32_t n, int32_t nSlots) {
        n_ = n;
        tc_.assign(static_cast<size_t>(nSlots) * n, 0.0);
        f_.assign(static_cast<size_t>(nSlots) * 6 * n, 0.0f);
    }
    double* tc(int32_t slot) { return tc_.data() + static_cast<size_t>(slot) * n_; }
    // q = 0 B, 1 pE, 2 pS, 3 pW, 4 pN, 5 pC
    float* f(int32_t slot, int32_t q) { return f_.data() + (static_cast<size_t>(slot) * 6 + q) * n_; }

private:
    std::vector<double> tc_;
    std::vector<float> f_;
    size_t n_ = 0;
};

struct WaveWork {
    Grid hBrk;    // total depth where it is positive, 1 elsewhere (divisor of H/h)
    Grid gamBrk;  // breaking limit of H/h; +infinity where the cell is dry (never breaks)
    Grid bedFac;  // bed factor of the sediment transport (bedFactors), ghost ring included
    SedimentCoefs sed{};  // sediment constants of one wave step
    PhiRowShare share;    // predictor to corrector, row by row
    // The rows of a wave step in slabs, one per thread, that run side by side.
    std::vector<RowRange> slabs;
};

}  // namespace littoral
