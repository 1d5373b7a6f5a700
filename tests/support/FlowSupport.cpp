#include "support/FlowSupport.h"

#include <algorithm>
#include <cmath>

#include "run/MainLoop.h"
#include "flow/Flow.h"
#include "input/CaseInput.h"
#include "support/RoeReference.h"
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

float flowTimeStep(const Model& m) {
    const float md = m.minDepthS;
    float dtMin = 100.0f;
    auto dryPair = [&](float a, float b) { return wetDryCode(a, b, md) == 0; };
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) {
            const float h = m.hTot(i, j);
            const float hW = m.hTot(i - 1, j), hE = m.hTot(i + 1, j), hS = m.hTot(i, j - 1), hN = m.hTot(i, j + 1);
            const float uW = m.uS(i - 1, j), u = m.uS(i, j), uE = m.uS(i + 1, j);
            const float vS = m.vS(i, j - 1), v = m.vS(i, j), vN = m.vS(i, j + 1);
            // Spread along one direction: faces low (L = lo, R = cell) and high (L = cell,
            // R = hi); `both` is the value where neither pair is dry.
            auto spread = [&](float hLo, float hHi, float nLo, float n, float nHi, double both) {
                if (!dryPair(hLo, h) && !dryPair(h, hHi)) return static_cast<float>(both);
                if (dryPair(hLo, h)) return std::fabs(roeSpeedByCode(1, h, hHi, n, nHi, md));
                return std::fabs(roeSpeedByCode(0, hLo, h, nLo, n, md));
            };
            float sx = spread(hW, hE, uW, u, uE,
                              static_cast<double>(roeSpeedByCode(0, hW, h, uW, u, md)) -
                                  roeSpeedByCode(1, hW, h, uW, u, md));
            float sy = spread(hS, hN, vS, v, vN,
                              static_cast<double>(roeSpeedByCode(0, hS, h, vS, v, md)) -
                                  roeSpeedByCode(1, h, hN, v, vN, md));
            sx = std::max(sx, 0.001f);
            sy = std::max(sy, 0.001f);
            dtMin = std::min(dtMin, static_cast<float>(static_cast<double>(m.dxS) / sx));
            dtMin = std::min(dtMin, static_cast<float>(static_cast<double>(m.dyS) / sy));
        }
    return dtMin;
}

double interiorVolume(const Model& m) {
    double v = 0;
    for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) v += m.hTot(i, j);
    const double L = m.lenScale;
    return v * L * m.dx * m.dy;
}

}  // namespace littoral::test
