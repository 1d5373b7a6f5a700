// The procedures of the time-dependent mild-slope wave model behind waveField, declared
// for the driver and for the tests. One wave period of waveField runs, per wave step:
//
//   waveStep         in one sweep over the rows: breaking excess, predictor -> phiPred, its
//                    ghost ring, corrector -> phiNew; eta, uOrb, vOrb and the period sums
//                    per cell, then their ghost ring; the stress and transport of the step
//                    (accumSedimentRow); then the ghost ring of phiNew (setPhiBoundary:
//                    copy, periodic or radiating line)
//   incidentWave     phiNew at the wave input cells from the prescribed elevation
//   shiftPhiLevels   phiOld <- phiCur <- phiNew
//
// Potential levels: phiOld = n-1, phiCur = n, phiPred = provisional n+1, phiNew = n+1.
// Values are stored in single precision; expressions are evaluated in double precision
// and rounded where a value is stored.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Model.h"
#include "sediment/Sediment.h"

namespace littoral {

// ---- driver pieces (WaveField.cpp) ----
// Step and step counts of one wave period: sets waveDt, nStep, stepOffset. Stops with a
// clear message when a period would need more than 32767 steps.
void waveTimeStep(Model& m, float hMax, float time);
// Incident height of this period (regular, or a capped Rayleigh draw): waveHin, hPlot, hPlotNeg.
void incidentHeight(Model& m);
// The grids rebuilt every period: allocated (zero) at the first period or when the grid
// has changed, kept otherwise (clearWaveStats zeroes them).
void allocWaveStats(Model& m);
// Zeroes the period's sums and surface fields (all but the coefficients, which are
// rebuilt cell by cell) and the interior of sumDiss.
void clearWaveStats(Model& m);
void shiftPhiLevels(Model& m);
// "endwav " + the number texts of the time to 0.1 s and of the elapsed wave periods, each
// with its leading blank: "endwav  3600 360" (core/Numeric.h, numberText).
std::string endwavLine(double time, float waveT0);

// ---- local coefficients (WaveCoefficients.cpp) ----
// kd, wlen, cc2, ccg, omk over the whole grid, dxW, dyW, and kx0, ky0 at the phase
// reference point; `time` (s) only names the moment in a failure message.
void waveCoefficients(Model& m, float time);

// ---- incident wave (IncidentWave.cpp) ----
// The wave clock of one step, in seconds, for each part of the incident wave: the carrier's
// phase, the group envelope's phase and the start-up ramp. On one continuous clock t all
// three are t; a long run gives each the time that keeps its phase exact (the carrier
// repeats every period, the envelope every nGroup periods, the ramp needs the true time).
struct IncidentTime {
    double carrier = 0, group = 0, ramp = 0;
};
void incidentWave(Model& m, float t);
void incidentWave(Model& m, const IncidentTime& t);

// ---- wave step (WavePhiStep.cpp) ----
// Breaking limit of every interior cell for this period: brkRatio tanh(kh)/kh raised by
// 1 + 15 s^(4/3) where the bottom deepens along theta (s the slope); allocates hBrk,
// gamBrk and the row buffers of w.
void prepareBreaking(const Model& m, WaveWork& w);
// Breaking limit of one cell (h > 0), as prepareBreaking computes it.
float breakingLimit(const Model& m, int32_t i, int32_t j);
// prepareBreaking, the bed factors and the sediment constants of this period.
void prepareWaveWork(const Model& m, WaveWork& w);
// One whole wave step (w from prepareWaveWork), row by row in one sweep; the same numbers
// as its passes one after the other over the whole grid, for any number of threads.
void waveStep(Model& m, WaveWork& w);

// ---- boundaries (WaveBoundaries.cpp) ----
// Ghost ring of the predictor, in parts: the west and east ghosts of row j (which need the
// predictor of row j), and the south and north ghost rows (which need the predictor of the
// first and last rows). A closed side copies the inner cell, a periodic side the far edge,
// an open side keeps level n (phiCur) during the corrector.
void setPredBoundaryRow(Model& m, int32_t j);
void setPredBoundaryEdges(Model& m);
void setPhiBoundary(Model& m);
// Steps the open-boundary line s by one wave step and returns the new ghost potential.
float radiateLine(Model& m, int32_t i, int32_t j, float un, int32_t s, float ccgB, float omkB, float dl,
                  float incCur = 0.0f, float incNew = 0.0f);
// A ghost cell on a side of the grid (not a corner): its inner cell, the current out of the
// grid there (m/s) and twice the cell's width across the side; onSide false for any other cell.
struct GhostSide {
    bool onSide = false;
    int32_t ii = 0, ij = 0;
    float un = 0.0f, width2 = 0.0f;
};
GhostSide ghostSide(const Model& m, int32_t i, int32_t j);
// The ghost's value from the line s of its side (radiateLine, spaced a tenth of the inner
// cell's wavelength), 0 where the wave is no longer than two cells.
float radiatedGhost(Model& m, const GhostSide& side, int32_t s, float incCur = 0.0f, float incNew = 0.0f);

// ---- statistics and forces (WaveStress.cpp) ----
void waveStress(Model& m, Grid& fx, Grid& fy);

}  // namespace littoral
