// The main time loop: output intervals of one wave period each. Per interval the bed
// change of the previous interval is applied, one wave period is simulated, the period's
// transport becomes a bed change, and the flow advances in stable steps until the
// interval's end, the last step clipped onto it; then the result file is written.
#include "app/MainLoop.h"

#include <cmath>

#include "core/Error.h"
#include "core/Numeric.h"
#include "flow/Flow.h"
#include "flow/RoeAverages.h"
#include "input/CaseInput.h"
#include "output/ResultFiles.h"
#include "sediment/Sediment.h"
#include "waves/WaveField.h"

namespace littoral {

void initFlowState(Model& m, float hMax) {
    m.lenScale = hMax;
    m.timeScale = static_cast<float>(std::sqrt(static_cast<double>(m.lenScale) / 9.81));
    m.velScale = static_cast<float>(static_cast<double>(m.lenScale) / m.timeScale);
    m.rateScale = static_cast<float>(1.0 / m.timeScale);
    m.periodS = static_cast<float>(static_cast<double>(m.waveT0) / m.timeScale);
    m.tStartS = static_cast<float>(static_cast<double>(m.tStart) / m.timeScale);
    m.tEndS = static_cast<float>(static_cast<double>(m.tEnd) / m.timeScale);
    m.dxS = static_cast<float>(static_cast<double>(m.dx) / m.lenScale);
    m.dyS = static_cast<float>(static_cast<double>(m.dy) / m.lenScale);
    m.minDepth = static_cast<float>(static_cast<double>(m.minDepth) / m.lenScale);
    m.coriolis = static_cast<float>(static_cast<double>(m.coriolis) / m.rateScale);

    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) {
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) {
            const float eta = static_cast<float>(static_cast<double>(m.setup(i, j)) / m.lenScale);
            m.etaS(i, j) = eta;
            m.etaSNew(i, j) = eta;
            // A closed ghost starts as the mirror of its neighbour, on the neighbour's bed.
            const float h = static_cast<float>(static_cast<double>(flowStillDepth(m, i, j)) + eta);
            const float hh = h > 0 ? h : 0.0f;
            m.hTot(i, j) = hh;
            m.hTotNew(i, j) = hh;
            const float c = static_cast<float>(std::sqrt(static_cast<double>(hh)));
            m.celS(i, j) = c;
            m.celSNew(i, j) = c;
            m.uS(i, j) = m.uSNew(i, j) = 0;
            m.vS(i, j) = m.vSNew(i, j) = 0;
        }
    }
}

namespace {

// Finds the first non-finite value of g over the whole grid; false when all are finite.
bool firstNonFinite(const Grid& g, int32_t& fi, int32_t& fj) {
    if (g.empty()) return false;
    for (int32_t j = g.jLo(); j <= g.jHi(); ++j) {
        const float* row = g.at(g.iLo(), j);
        const int32_t n = g.iHi() - g.iLo() + 1;
        bool bad = false;
        for (int32_t k = 0; k < n; ++k) bad |= !std::isfinite(row[k]);
        if (bad) {
            for (int32_t k = 0; k < n; ++k)
                if (!std::isfinite(row[k])) { fi = g.iLo() + k; fj = j; return true; }
        }
    }
    return false;
}

}  // namespace

void checkFinite(const Model& m, float timeSeconds) {
    struct Named { const Grid* g; const char* name; };
    const Named grids[] = {
        {&m.phiNew, "the wave potential (phiNew)"}, {&m.phiCur, "the wave potential (phiCur)"},
        {&m.wavH, "the wave height (wavH)"}, {&m.etaOut, "the wave surface elevation (eta)"},
        {&m.fx, "the wave force in X (fx)"}, {&m.fy, "the wave force in Y (fy)"},
        {&m.hTot, "the total water depth of the flow"}, {&m.etaS, "the mean water level of the flow"},
        {&m.uS, "the flow velocity in X"}, {&m.vS, "the flow velocity in Y"},
        {&m.dep, "the depth (dep)"}, {&m.dh, "the bed change (dh)"},
        {&m.qbx, "the bedload transport in X (qbx)"}, {&m.qby, "the bedload transport in Y (qby)"},
        {&m.qsx, "the suspended load transport in X (qsx)"}, {&m.qsy, "the suspended load transport in Y (qsy)"},
    };
    for (const Named& n : grids) {
        int32_t i = 0, j = 0;
        if (firstNonFinite(*n.g, i, j))
            throw StopError("the computation broke down: " + std::string(n.name) + " is not a finite number at cell (" +
                            std::to_string(i) + ", " + std::to_string(j) + ") at model time " +
                            formatNum(timeSeconds) + " s; the result files of the finished intervals are complete");
    }
}

void mainLoop(Model& m, RunHost& host, float& hMax) {
    ResultFiles results(m);  // before the flow scaling: the netCDF file records the case as read
    allocateFlowArrays(m);
    periodicGhostDepths(m);
    initFlowState(m, hMax);
    if (!(m.periodS > 0) || !std::isfinite(m.periodS))
        throw StopError(m.coefFile + ": the output interval (one wave period of " + formatNum(m.waveT0) +
                        " s) cannot be scaled with the largest depth " + formatNum(hMax) +
                        " m: expected a positive largest depth");
    // The output numbers are 16-bit: refuse a time span whose last number would not fit
    // before anything is computed.
    if (m.tEnd >= m.tStart) {
        const double last = std::floor(static_cast<double>(m.tEndS) / m.periodS + 0.5);
        if (last > 32767.0 || std::floor(static_cast<double>(m.tStartS) / m.periodS + 0.5) < -32768.0)
            throw StopError(m.coefFile + ": the run from " + formatNum(m.tStart) + " s to " + formatNum(m.tEnd) +
                            " s would number its result files up to " + formatNum(last) +
                            ": expected at most 32767 output intervals of one wave period");
    }
    host.runStarted(m);

    float tau = 0.0f;  // the flow clock starts at 0 whatever the start time is
    for (float t = m.tStartS; t <= m.tEndS; t = static_cast<float>(static_cast<double>(t) + m.periodS)) {
        if (static_cast<float>(static_cast<double>(t) + m.periodS) == t)
            throw StopError("the model time " + formatNum(static_cast<double>(t) * m.timeScale) +
                            " s is too large to advance by one wave period in single precision");
        clearTransport(m);
        applyBedChange(m);
        waveField(m, host, hMax, static_cast<float>(static_cast<double>(m.timeScale) * t), m.fx, m.fy);
        bedChange(m);
        const float tInt = static_cast<float>(static_cast<double>(m.periodS) + t);
        const float tSeconds = static_cast<float>(static_cast<double>(m.timeScale) * tInt);

        while (tau != tInt) {
            host.pumpEvents();
            m.dtS = flowTimeStep(m);
            if (static_cast<float>(static_cast<double>(tau) + m.dtS) > tInt)
                m.dtS = static_cast<float>(static_cast<double>(tInt) - tau);
            const float next = static_cast<float>(static_cast<double>(tau) + m.dtS);
            if (!(next > tau))
                throw StopError("the flow time step " + formatNum(m.dtS) + " no longer advances the flow clock at model time " +
                                formatNum(static_cast<double>(tau) * m.timeScale) + " s");
            // A clipped step whose sum rounds beside the interval's end lands on it.
            tau = (m.dtS == static_cast<float>(static_cast<double>(tInt) - tau) && next != tInt) ? tInt : next;
            m.dtdx = static_cast<float>(static_cast<double>(m.dtS) / m.dxS);
            m.dtdy = static_cast<float>(static_cast<double>(m.dtS) / m.dyS);
            momentumSources(m);
            computeFluxes(m, host);
            updateCells(m, host);
            setBoundaryGhosts(m);
            applyBoundaryConditions(m, tSeconds);
            advanceFlowState(m);
        }
        checkFinite(m, tSeconds);
        const int16_t n = toInt16(std::floor(static_cast<double>(t) / m.periodS + 0.5), "the output number");
        results.write(m, n, tSeconds);
        host.graphUVEta(m, m.uS, m.vS, m.velScale, m.etaS, m.lenScale, -0.01f, 0.01f);
    }
    host.runFinished(m);
}

}  // namespace littoral
