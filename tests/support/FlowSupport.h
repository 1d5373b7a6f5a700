// Helpers for driving the shallow-water solver on small generated grids without the wave
// model: a model with extents, scales and flow arrays, boundary cells, and the flow part of
// the main loop (output intervals of one "wave period", flow steps clipped onto their ends).
#pragma once

#include <functional>

#include "run/RunHost.h"
#include "core/Model.h"

namespace littoral::test {

struct FlowGridSpec {
    int nx = 10, ny = 4;         // interior cells 1..nx by 1..ny
    float dx = 1, dy = 1;        // m
    float minDepth = 0.001f;     // m (made non-dimensional by startFlow)
    float interval = 1;          // s: the output interval (waveT0)
    int nBndApprox = 20;         // rows of the boundary-condition table
    float latitude = 0, fricCoef = 0;
};

// A model with the extents set, case and flow arrays allocated (all zero), the Coriolis
// parameter of the latitude (1/s) and every cell flag 0 (no closed face, no boundary cell).
Model makeFlowModel(const FlowGridSpec& s);

// Lists cell (i, j) as the next boundary cell with the given code (16 periodic, 0 closed,
// 17 and up a row of the boundary-condition table); returns its boundary number.
int32_t addBoundaryCell(Model& m, int32_t i, int32_t j, int32_t code);
// Sets row e of the boundary-condition table.
void setBoundaryRow(Model& m, int e, int16_t type, float v1, float v2);

// Takes the length scale as the largest dep + setup over the grid and calls initFlowState.
// Fill dep, setup (the initial level, m) and tideLevel first.
void startFlow(Model& m);

// Runs n output intervals of the flow alone, exactly as the main loop's inner loop does
// (same step, clipping and order of the six procedures). `each` (optional) is called after
// every interval with the interval's end in seconds. Returns the number of flow steps.
// stepFactor < 1 shortens every stable step by that factor (the main loop uses 1).
long runFlowIntervals(Model& m, RunHost& host, int n, const std::function<void(float)>& each = {},
                      float stepFactor = 1.0f);

// One flow step of size dtS (non-dimensional), boundary time tSeconds.
void flowStep(Model& m, RunHost& host, float dtS, float tSeconds);

// The stable non-dimensional flow step of the present state, cell by cell from the Roe
// speeds of the faces written case by case (RoeReference.h): the smallest of dx / s and
// dy / s over the interior cells, s the spread of the speeds at the cell's faces (at least
// 0.001). X from both speeds of the west face, or, where the cell and its west neighbour
// are dry, |n~ - c~| of the east face, or, where the cell and its east neighbour are dry,
// |n~ + c~| of the west face; Y likewise from the south and north faces. The engine takes
// the step along with its fluxes (computeFluxes).
float flowTimeStep(const Model& m);

// Water volume over the interior cells, m^3.
double interiorVolume(const Model& m);

// Sets g(i, j) = f(i, j) over the grid and its ghost ring; with repeatEdges a ghost cell
// takes f of its interior neighbour (the nearest interior cell).
void fillGrid(const Model& m, Grid& g, const std::function<double(int32_t, int32_t)>& f, bool repeatEdges = false);

// Largest current over the interior cells, m/s.
double maxSpeed(const Model& m);

// Depth, level and velocity of a cell in metres and metres per second.
inline double depthM(const Model& m, int32_t i, int32_t j) { return static_cast<double>(m.hTot(i, j)) * m.lenScale; }
inline double levelM(const Model& m, int32_t i, int32_t j) { return static_cast<double>(m.etaS(i, j)) * m.lenScale; }
inline double uM(const Model& m, int32_t i, int32_t j) { return static_cast<double>(m.uS(i, j)) * m.velScale; }
inline double vM(const Model& m, int32_t i, int32_t j) { return static_cast<double>(m.vS(i, j)) * m.velScale; }

}  // namespace littoral::test
