#include "support/FlowSupport.h"

#include <algorithm>
#include <cmath>

#include "run/MainLoop.h"
#include "flow/Flow.h"
#include "input/CaseInput.h"
#include "support/TestSupport.h"

namespace littoral::test {

Model makeFlowModel(const FlowGridSpec& s) {
    Model m;
    setGrid(m, s.nx, s.ny, s.dx, s.dy, s.nBndApprox);
    m.minDepth = s.minDepth;
    m.waveT0 = s.interval;
    m.latitude = s.latitude;
    m.fricCoef = s.fricCoef;
    m.coriolis = static_cast<float>(-0.0001458 * std::sin(s.latitude * 0.017453292519943278));
    // Unscaled until scaleFlowModel: the kernels' non-dimensional values equal the case's.
    m.minDepthS = m.minDepth;
    m.coriolisS = m.coriolis;
    m.tStart = 0;
    m.tEnd = 1e6f;
    allocateCaseArrays(m);
    allocateFlowArrays(m);
    return m;
}

int32_t addBoundaryCell(Model& m, int32_t i, int32_t j, int32_t code) {
    const int32_t n = ++m.nBndListed;
    m.cellFlag(i, j) = 16 * n;
    m.bndCode(n) = code;
    m.bndCellI(n) = i;
    m.bndCellJ(n) = j;
    return n;
}

void setBoundaryRow(Model& m, int e, int16_t type, float v1, float v2) {
    m.bndType(e) = type;
    m.bndVal1(e) = v1;
    m.bndVal2(e) = v2;
}

void startFlow(Model& m) {
    float hMax = 0;
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i)
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) {
            const float s = static_cast<float>(static_cast<double>(m.dep(i, j)) + m.setup(i, j));
            if (s > hMax) hMax = s;
        }
    m.hMax = hMax;
    initFlowState(m, hMax);
}

void flowStep(Model& m, RunHost& host, float dtS, float tSeconds) {
    (void)host;  // the steps report nothing
    m.dtS = dtS;
    m.dtdx = static_cast<float>(static_cast<double>(m.dtS) / m.dxS);
    m.dtdy = static_cast<float>(static_cast<double>(m.dtS) / m.dyS);
    momentumSources(m);
    computeFluxes(m);
    updateCells(m);
    setBoundaryGhosts(m);
    applyBoundaryConditions(m, tSeconds);
    advanceFlowState(m);
    publishFlowState(m);
}

long runFlowIntervals(Model& m, RunHost& host, int n, const std::function<void(float)>& each, float stepFactor) {
    long steps = 0;
    float tau = 0.0f, t = 0.0f;
    for (int k = 0; k < n; ++k, t = static_cast<float>(static_cast<double>(t) + m.periodS)) {
        const float tInt = static_cast<float>(static_cast<double>(m.periodS) + t);
        const float tSeconds = static_cast<float>(static_cast<double>(m.timeScale) * tInt);
        while (tau != tInt) {
            float dt = flowTimeStep(m);
            if (stepFactor != 1.0f) dt = static_cast<float>(static_cast<double>(dt) * stepFactor);
            if (static_cast<float>(static_cast<double>(tau) + dt) > tInt)
                dt = static_cast<float>(static_cast<double>(tInt) - tau);
            const float next = static_cast<float>(static_cast<double>(tau) + dt);
            tau = (dt == static_cast<float>(static_cast<double>(tInt) - tau) && next != tInt) ? tInt : next;
            flowStep(m, host, dt, tSeconds);
            ++steps;
        }
        if (each) each(tSeconds);
    }
    return steps;
}

void fillGrid(const Model& m, Grid& g, const std::function<double(int32_t, int32_t)>& f, bool repeatEdges) {
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i)
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j)
            g(i, j) = static_cast<float>(repeatEdges ? f(std::clamp(i, m.ixStart, m.ixEnd), std::clamp(j, m.jyStart, m.jyEnd))
                                                     : f(i, j));
}

double maxSpeed(const Model& m) {
    double s = 0;
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) s = std::max(s, std::hypot(uM(m, i, j), vM(m, i, j)));
    return s;
}

double interiorVolume(const Model& m) {
    double v = 0;
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) v += m.hTot(i, j);
    const double L = m.lenScale;
    return v * L * m.dx * m.dy;
}

}  // namespace littoral::test
