// Wave-model cases built in memory for the tests: a rectangular grid, a depth function,
// one boundary kind per side of the ghost ring, the incident wave, and a runner that calls
// waveField period after period with still water (no flow).
#pragma once

#include <cstdint>
#include <functional>

#include "run/RunHost.h"
#include "core/Model.h"
#include "waves/PhiStencil.h"

namespace littoral::test {

struct WaveCaseSpec {
    int32_t nx = 20, ny = 10;
    float dx = 1, dy = 1;
    float T = 2, H = 0.1f, dirDeg = 0;
    float brkRatio = 0.8f;
    // Boundary kind of each side of the ghost ring: 0 wall (zero gradient), 16 periodic,
    // 17 wave input (bndWave), 18 open (radiating).
    int32_t west = 17, east = 18, south = 16, north = 16;
    int32_t phaseX = 1, phaseY = 1;
    float nGroup = 0, groupAmp = 0, hmaxIrr = 0;
};

// Builds the model: grids, depth (a function of the cell centre x = (i - 0.5) dx,
// y = (j - 0.5) dy, ghost cells included), cell flags and boundary lists, open-boundary
// lines as the boundary reader sizes them, hMax, theta = -9 and the flow grids fx, fy.
void buildWaveCase(Model& m, const WaveCaseSpec& s, const std::function<double(double, double)>& depth);

// Runs waveField for `periods` wave periods starting at model time periodsDone * T.
void runWavePeriods(Model& m, RunHost& host, int periods, int periodsDone = 0);

// The case of buildWaveCase after `periods` wave periods in still water.
Model wavesAfter(const WaveCaseSpec& s, const std::function<double(double, double)>& depth, int periods);

// ---- the wave step cell by cell, with branches, from the engine's point kernels ----
// The engine runs these passes fused row by row in one sweep (waveStep); the tests compare.

// The stencil and current coefficients of cell (i, j), the closed-face rule applied (a
// closed face mirrors the normal current).
StencilCoefs stencilCoefs(const Model& m, int32_t i, int32_t j);
CurrentCoefs currentCoefs(const Model& m, int32_t i, int32_t j);
// Five-point neighbourhood of one potential level; a closed face repeats the centre.
Phi5 gatherPhi(const Model& m, const Grid& x, int32_t i, int32_t j);
// Predictor and corrector of one cell (cc2 = 0: the value carried over), brkEx as it stands.
void updatePhiPredict(Model& m, int32_t i, int32_t j);
void updatePhiCorrect(Model& m, int32_t i, int32_t j);
// Ghost ring of the predictor: every row's west and east ghosts, then the south and north rows.
void setPredBoundary(Model& m);
// Breaking excess, predictor, its ghost ring (setPredBoundary) and corrector over the grid;
// land cells get 0.
void wavePhiStep(Model& m, WaveWork& w);
// eta, uOrb, vOrb of the cell and the step added to its period sums.
void accumWaveStats(Model& m, int32_t i, int32_t j);
// accumWaveStats over the interior, then the ghost ring of eta, uOrb and vOrb: periodic
// (code 16) from the opposite edge, otherwise a copy of the adjacent interior cell, corners
// untouched.
void waveDiagnostics(Model& m);
// One wave step (dt) of stress and transport, with u, v the surface orbital velocities of
// the step, over the whole grid (ghost ring included): the bed factors of the step, then
// every row.
void accumSedimentFlux(Model& m, float dt, const Grid& u, const Grid& v);

// Wave height of the last period at a cell.
inline float heightAt(const Model& m, int32_t i, int32_t j) { return m.wavH(i, j); }

}  // namespace littoral::test
