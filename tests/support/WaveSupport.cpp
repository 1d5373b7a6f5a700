#include "support/WaveSupport.h"

#include <cmath>

#include "input/CaseInput.h"
#include "support/TestSupport.h"
#include "waves/WaveField.h"
#include "waves/WaveFunctions.h"
#include "waves/WaveModel.h"

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

}  // namespace littoral::test
