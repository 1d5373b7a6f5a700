#include "support/WaveSupport.h"

#include <cmath>

#include "input/CaseInput.h"
#include "sediment/Sediment.h"
#include "support/TestSupport.h"
#include "waves/WaveField.h"
#include "waves/WaveFunctions.h"
#include "waves/WaveModel.h"
#include "waves/WaveStats.h"

namespace littoral::test {

void buildWaveCase(Model& m, const WaveCaseSpec& s, const std::function<double(double, double)>& depth) {
    m = Model{};
    setGrid(m, s.nx, s.ny, s.dx, s.dy);
    m.brkRatio = s.brkRatio;
    m.tStart = 0;
    m.tEnd = 0;
    // Sediment values of a fine sand, so that the transport accumulated during the wave steps stays finite.
    m.fricCoef = 0.01f;
    m.shieldsCr = 0.05f;
    m.grainSize = 2e-4f;
    m.sedDensity = 2650;
    m.viscosity = 1e-6f;
    m.bedloadCoef = 8;
    m.suspCoef = 1;
    m.subWeight = static_cast<float>((2650.0 / 1030.0 - 1.0) * 9.81 * 2e-4);
    m.fallVel = 0.02f;
    m.wavFile = "wave.txt";
    m.depFile = "depth.txt";
    allocateCaseArrays(m);
    allocWaveArrays(m);
    m.bndWave = 17;
    m.waveH0 = s.H;
    m.waveT0 = s.T;
    m.waveDir0 = s.dirDeg;
    m.phaseX = s.phaseX;
    m.phaseY = s.phaseY;
    m.nGroup = s.nGroup;
    m.groupAmp = s.groupAmp;
    m.hmaxIrr = s.hmaxIrr;
    m.theta.fill(-9.0f);
    m.hMax = 0;
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i)
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) {
            const float d = static_cast<float>(depth((i - 0.5) * s.dx, (j - 0.5) * s.dy));
            m.dep(i, j) = d;
            m.setup(i, j) = 0;
            if (d > m.hMax) m.hMax = d;
        }
    int32_t n = 0;
    auto list = [&](int32_t i, int32_t j, int32_t code) {
        if (code == 0) return;
        ++n;
        m.cellFlag(i, j) = 16 * n;
        m.bndCode(n) = code;
        m.bndCellI(n) = i;
        m.bndCellJ(n) = j;
    };
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i)
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) {
            const bool gi = i < m.ixStart || i > m.ixEnd, gj = j < m.jyStart || j > m.jyEnd;
            if (gi && gj) continue;  // corners
            if (i < m.ixStart) list(i, j, s.west);
            else if (i > m.ixEnd) list(i, j, s.east);
            else if (j < m.jyStart) list(i, j, s.south);
            else if (j > m.jyEnd) list(i, j, s.north);
        }
    m.nBndListed = n;
    double Lmax = 0;
    for (int32_t k = 1; k <= n; ++k) {
        const float d = m.dep(m.bndCellI(k), m.bndCellJ(k));
        if (d > 0) {
            const float kw = static_cast<float>(waveNumber(1.0 / m.waveT0, d));
            Lmax = std::max(Lmax, static_cast<double>(static_cast<float>(6.28318530717958 / kw)));
        }
    }
    m.nLine = static_cast<int16_t>(std::floor(Lmax / std::sqrt(static_cast<double>(m.dx) * m.dy)) + 1.0);
    m.lineNew.allocate(0, std::max(n, 1), m.nLine);
    m.line.allocate(1, std::max(n, 1), m.nLine);
    m.lineOld.allocate(1, std::max(n, 1), m.nLine);
    allocateFlowArrays(m);
}

void runWavePeriods(Model& m, RunHost& host, int periods, int periodsDone) {
    for (int p = 0; p < periods; ++p) {
        const float time = static_cast<float>(static_cast<double>(m.waveT0) * (periodsDone + p));
        waveField(m, m.hMax, time, m.fx, m.fy);
        host.plotxy(m, "eta", m.eta, 1.0f, m.hPlotNeg, m.hPlot);
        host.progressLine(endwavLine(time, m.waveT0));
    }
}

Model wavesAfter(const WaveCaseSpec& s, const std::function<double(double, double)>& depth, int periods) {
    Model m;
    buildWaveCase(m, s, depth);
    SilentHost host;
    runWavePeriods(m, host, periods);
    return m;
}

StencilCoefs stencilCoefs(const Model& m, int32_t i, int32_t j) {
    const Grid& g = m.ccg;
    return stencilValues(g(i, j), g(i + 1, j), g(i, j - 1), g(i - 1, j), g(i, j + 1), m.omk(i, j), waveRx(m),
                         waveRy(m), m.waveDt);
}

CurrentCoefs currentCoefs(const Model& m, int32_t i, int32_t j) {
    const int32_t f = m.cellFlag(i, j);
    const float U = m.curU(i, j), V = m.curV(i, j);
    const float UE = (f & kClosedE) ? -U : m.curU(i + 1, j);
    const float VN = (f & kClosedN) ? -V : m.curV(i, j + 1);
    const float UW = (f & kClosedW) ? -U : m.curU(i - 1, j);
    const float VS = (f & kClosedS) ? -V : m.curV(i, j - 1);
    return currentValues(U, V, UE, UW, VN, VS, waveRx(m), waveRy(m));
}

Phi5 gatherPhi(const Model& m, const Grid& x, int32_t i, int32_t j) {
    const int32_t f = m.cellFlag(i, j);
    Phi5 p{x(i, j), x(i + 1, j), x(i, j - 1), x(i - 1, j), x(i, j + 1)};
    if (f & kClosedE) p.E = p.C;
    if (f & kClosedN) p.N = p.C;
    if (f & kClosedW) p.W = p.C;
    if (f & kClosedS) p.S = p.C;
    return p;
}

void updatePhiPredict(Model& m, int32_t i, int32_t j) {
    if (m.cc2(i, j) == 0.0f) {
        m.phiPred(i, j) = m.phiCur(i, j);
        return;
    }
    m.phiPred(i, j) = predictParts(stencilCoefs(m, i, j), currentCoefs(m, i, j), gatherPhi(m, m.phiCur, i, j),
                                   gatherPhi(m, m.phiOld, i, j), m.brkEx(i, j))
                          .pred;
}

void updatePhiCorrect(Model& m, int32_t i, int32_t j) {
    if (m.cc2(i, j) == 0.0f) {
        m.phiNew(i, j) = m.phiPred(i, j);
        return;
    }
    const CurrentCoefs c = currentCoefs(m, i, j);
    const PredictParts p = predictParts(stencilCoefs(m, i, j), c, gatherPhi(m, m.phiCur, i, j),
                                        gatherPhi(m, m.phiOld, i, j), m.brkEx(i, j));
    m.phiNew(i, j) = correctFromParts(p.tc, p.B, c, gatherPhi(m, m.phiPred, i, j));
}

void setPredBoundary(Model& m) {
    for (int32_t j = m.jyStart; j <= m.jyEnd; ++j) setPredBoundaryRow(m, j);
    setPredBoundaryEdges(m);
}

void wavePhiStep(Model& m, WaveWork& w) {
    for (int32_t j = m.jyStart; j <= m.jyEnd; ++j)
        for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
            m.brkEx(i, j) = breakingExcess(m.eta(i, j), w.hBrk(i, j), w.gamBrk(i, j));
            if (m.cellFlag(i, j) == kLand) m.phiPred(i, j) = 0.0f;
            else updatePhiPredict(m, i, j);
        }
    setPredBoundary(m);
    for (int32_t j = m.jyStart; j <= m.jyEnd; ++j)
        for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) {
            if (m.cellFlag(i, j) == kLand) m.phiNew(i, j) = 0.0f;
            else updatePhiCorrect(m, i, j);
        }
}

void accumWaveStats(Model& m, int32_t i, int32_t j) {
    const int32_t f = m.cellFlag(i, j);
    const int32_t ip = (f & kClosedE) ? i : i + 1, jp = (f & kClosedN) ? j : j + 1;
    const int32_t im = (f & kClosedW) ? i : i - 1, jm = (f & kClosedS) ? j : j - 1;
    const SurfaceKinematics s = surfaceValues(m.phiCur(ip, j), m.phiCur(im, j), m.phiCur(i, jp), m.phiCur(i, jm),
                                              m.phiOld(i, j), m.phiCur(i, j), m.phiNew(i, j), m.dxW, m.dyW, m.waveDt);
    m.uOrb(i, j) = s.u;
    m.vOrb(i, j) = s.v;
    m.eta(i, j) = s.eta;
    addToPeriodSums(s, m.brkEx(i, j), m.waveDt, m.waveT0, m.sumDiss(i, j), m.sumEta(i, j), m.etarms(i, j),
                    m.sumEtaU(i, j), m.sumEtaV(i, j), m.sumU(i, j), m.sumU2(i, j), m.sumV(i, j), m.sumV2(i, j),
                    m.sumEtaT2(i, j), m.sumEtaT(i, j), m.sumUV(i, j));
}

void waveDiagnostics(Model& m) {
    for (int32_t j = m.jyStart; j <= m.jyEnd; ++j)
        for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) accumWaveStats(m, i, j);
    const int32_t i0 = m.ixStart, i1 = m.ixEnd, j0 = m.jyStart, j1 = m.jyEnd;
    auto periodic = [&](int32_t i, int32_t j) { return m.bndCode(m.bndPointNo(i, j)) == 16; };
    for (Grid* g : {&m.uOrb, &m.vOrb, &m.eta}) {
        for (int32_t j = j0; j <= j1; ++j) {
            (*g)(i0 - 1, j) = periodic(i0 - 1, j) ? (*g)(i1, j) : (*g)(i0, j);
            (*g)(i1 + 1, j) = periodic(i1 + 1, j) ? (*g)(i0, j) : (*g)(i1, j);
        }
        for (int32_t i = i0; i <= i1; ++i) {
            (*g)(i, j0 - 1) = periodic(i, j0 - 1) ? (*g)(i, j1) : (*g)(i, j0);
            (*g)(i, j1 + 1) = periodic(i, j1 + 1) ? (*g)(i, j0) : (*g)(i, j1);
        }
    }
}

void accumSedimentFlux(Model& m, float dt, const Grid& u, const Grid& v) {
    Grid a;
    bedFactors(m, a);
    const SedimentCoefs c = sedimentCoefs(m, dt);
    for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) accumSedimentRow(m, c, a, u, v, j, m.ixStart - 1, m.ixEnd + 1);
}

}  // namespace littoral::test
