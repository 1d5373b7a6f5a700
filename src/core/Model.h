// The model state of one case: every grid, list and scalar by the name it bears in the
// model's documentation, grouped by lifetime: the case as read, the flow's scales, the state
// carried from interval to interval, what each period and step forms anew, and the run's
// context. Each case reallocates the grids with zeros.
//
// Units: wave, sediment and file quantities are dimensional (m, s, m/s, Pa); the flow
// state (names ending in S) is non-dimensional: lengths / lenScale, times / timeScale,
// velocities / velScale, so that gravity is 1.
#pragma once

#include <array>
#include <cassert>
#include <atomic>
#include <initializer_list>
#include <span>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/Error.h"
#include "core/GaugeTrace.h"
#include "core/Grid.h"
#include "core/Random.h"
#include "core/SlabLink.h"
#include "core/StateItems.h"
#include "core/WaveWork.h"

namespace littoral {

// ---- the case as read: its files, in metres and seconds; never rescaled ----
struct CaseInput {
    // paths (text)
    std::string cntPath;   // control file being run
    std::string dataDir;   // folder of the control files, with a trailing separator
    std::string outBase;   // "output" folder beside the program, with a trailing separator
    std::string outDir;    // outBase + output name + separator
    std::string coefFile, depFile, bndFile, wavFile, tideFile;

    // grid extents (coefficient file)
    int32_t ixStart = 0, ixEnd = 0, jyStart = 0, jyEnd = 0;
    float dx = 0, dy = 0;

    // table sizes
    int16_t nBndApprox = 0;  // highest row number of the flow boundary-condition table
    int32_t nBndCell = 0;    // capacity of the boundary-cell lists, 2*(nx+ny+4)
    int16_t nBndCond = 0;    // rows given in the tide file
    int16_t nLine = 0;       // points - 1 of each open-boundary line
    int32_t nBndListed = 0;  // boundary cells actually listed by the boundary file

    // coefficients
    float latitude = 0, fricCoef = 0, brkRatio = 0, minDepth = 0, spareParam = 0;
    float tStart = 0, tEnd = 0, shieldsCr = 0, grainSize = 0, sedDensity = 0;
    float viscosity = 0, bedloadCoef = 0, suspCoef = 0;
    // derived from them (1/s, m/s)
    float coriolis = 0, subWeight = 0, fallVel = 0;

    // incident wave (wave file; waveH0 and waveDir0 transformed to the phase point)
    int16_t bndWave = 0;
    float waveH0 = 0, waveT0 = 0, waveDir0 = 0;
    int32_t phaseX = 0, phaseY = 0;
    float nGroup = 0, groupAmp = 0, hmaxIrr = 0;

    // tide
    float tideLevel = 0;

    // length scale: largest still depth plus tide over the grid
    float hMax = 0;

    // cell flags and the boundary tables (boundary and tide files)
    IntGrid cellFlag;
    ListT<int32_t> bndCellI, bndCellJ, bndCode;  // 0..nBndCell
    ListT<int16_t> bndType;                      // 0..nBndApprox
    ListT<float> bndVal1, bndVal2;               // 0..nBndApprox
};

// ---- the flow's scales, derived once the case is read (initFlowState) ----
struct FlowScales {
    float lenScale = 0, timeScale = 0, velScale = 0, rateScale = 0;
    float periodS = 0, tStartS = 0, tEndS = 0, dxS = 0, dyS = 0;
    // the minimum computational depth over lenScale, the Coriolis parameter times timeScale
    float minDepthS = 0, coriolisS = 0;
};

// ---- the state a run carries from one interval to the next (what a restart saves) ----
// The bed and what the interval's end publishes of the flow, in metres and seconds.
struct BedState {
    Grid dep, dh;                  // still depth (moved by the bed change) and the period's change
    Grid setup, curU, curV;        // mean water level and current at the interval's end
};
// The wave model's levels and the open-boundary lines, kept across wave periods.
struct WaveState {
    Grid phiNew, phiCur, phiOld;
    LineArray lineNew;  // 0..n by 0..nLine (row 0 is scratch)
    LineArray line;     // 1..n by 0..nLine
    LineArray lineOld;  // 1..n by 0..nLine
    // The incident potential at each boundary cell's inner neighbour (point 0) and at the cell
    // (point 1), 1..n by 0..1; allocated with absorbingInput only.
    LineArray lineIncident;
};
// The flow's two time levels (non-dimensional) and the wave force it is driven by.
struct FlowState {
    Grid hTot, hTotNew, etaS, etaSNew, celS, celSNew, uS, uSNew, vS, vSNew;
    Grid fx, fy;  // wave force / density, m^2/s^2 (dimensional)
};
struct RunState : BedState, WaveState, FlowState {};

// ---- what each wave period and flow step forms anew, and the results of the interval ----
struct PeriodFields {
    // transport and stress of the period, its height and last surface (results)
    Grid qbx, qby, qsx, qsy, tau, maxtau, wavH, etaOut;
    // wave model, rebuilt every period: the predictor, breaking dissipation, direction and kh
    Grid phiPred, sumDiss, theta, kd;
    Grid ccg, cc2, wlen, omk, eta, sumEta, brkEx, etarms, uOrb, sumU, sumU2, vOrb, sumV,
        sumV2, sumEtaU, sumEtaV, sumEtaT2, sumEtaT, sumUV, sxx, sxy, syy;
    // wave model scalars of the period
    float waveDt = 0;
    int32_t nStep = 0, stepOffset = 0;
    int16_t nAcc = 0;
    float waveFreq = 0, dirRad = 0, waveHin = 0, hPlot = 0, hPlotNeg = 0;
    float kx0 = 0, ky0 = 0, dxW = 0, dyW = 0;
    // the flow step and its faces (non-dimensional)
    float dtS = 0, dtdx = 0, dtdy = 0;
    FaceGrid srcS, fluxXE, fluxXW, fluxYN, fluxYS;
};

// ---- the run's context: its options, random sequence, stop request and processes ----
struct RunContext {
    // Result files of every interval: the field files surferN.csv and one netCDF file
    // results.nc per case (set by the programs' options; the field files by default).
    bool csvResults = true, netcdfResults = false;
    // Output control: the field files and the netCDF time steps of the output numbers
    // divisible by outputEvery and of the run's last interval only; with meanFields, the
    // means and maxima since the previous written interval beside them (mean<n>.csv and
    // the netCDF file's *_mean and *_max variables).
    int32_t outputEvery = 1;
    bool meanFields = false;
    // The run continues an earlier one in its output folder: that run's files stay where they are.
    bool continuesRun = false;
    // Whether the case writes anything (the output folder, its echo and result files); a run
    // in memory writes nothing.
    bool filesWanted = true;
    // Morphological acceleration: each interval's bed change times morfac; no bed change of
    // an interval that ends before the model time morstart (s).
    double morfac = 1.0, morstart = 0.0;
    // Absorbing wave input: the wave input cells on the sides of the grid carry the incident
    // wave plus what the radiating line lets out of the wave the domain sends back (the line
    // runs on the potential less the incident one, kept in lineIncident); false: they carry
    // the incident wave alone and send everything back.
    bool absorbingInput = false;
    // Balanced wave force: the wave force enters the face fluxes with the bed slope instead of
    // the cells' sources, so that a set-up balancing it stands with the water at rest.
    bool balancedWaveForce = false;
    // Mean currents: the wave period (and the sediment transport of its steps) sees the
    // current averaged over the flow of the interval before, curUMean and curVMean (m/s),
    // instead of the current at its end; the sums over the flow steps in curSumU, curSumV
    // (s m/s in the flow's units) over curSumSpan.
    bool meanCurrents = false;
    Grid curUMean, curVMean;
    std::vector<double> curSumU, curSumV;
    double curSumSpan = 0.0;
    // The options in force as the echo file 0options.txt states them (none: not written).
    std::vector<std::string> optionsEcho;
    // Random sequence of the irregular wave heights: kept across the cases of one run.
    RandomSequence rnd;
    // Work arrays of the wave step (WaveWork.h), sized by the first wave period.
    WaveWork waveWork;
    // A stop asked for from any thread (none: the run is never asked to stop); the time loops
    // honour it between their steps, so every file written so far stays complete.
    const std::atomic<bool>* stopRequest = nullptr;
    // The ranks the time loops are split over (none: this process computes every row).
    SlabLink* link = nullptr;
    // Where the grid lies on the map (RunOptions::georeference): the coordinate system (WKT
    // or "EPSG:n"), the map position of the first interior cell's centre and the angle
    // (degrees anticlockwise) from the map's x axis to the grid's X axis. results.nc is
    // placed on the map by it; an empty crs places nothing.
    struct MapPlacement {
        std::string crs;
        double originX = 0, originY = 0, rotation = 0;
    } map;
    // Restart: checkpoint.nc in the output folder after every checkpointEvery-th interval and
    // after the last (0: none); resume continues from the output folder's checkpoint.
    int checkpointEvery = 0;
    bool resume = false;
    // The options that decide the result files (key, value as text): a checkpoint records
    // them, a resumed run must have the same.
    std::vector<std::pair<std::string, std::string>> resultOptions;
    // The netCDF results a resumed run continues: the intervals results.nc held at the
    // checkpoint, taken over into the new file, and the time the first part began it.
    struct ResultsContinued {
        bool active = false;
        int64_t steps = 0;
        std::string history;
    } resultsContinued;
    // What a checkpoint records of the run's making (program version, input fingerprints,
    // case values, options), taken when the case is read.
    std::vector<std::pair<std::string, std::string>> checkpointRecord;
    // Gauges (RunOptions::gauges) and where they were asked for (the options file, or "" for
    // the run's options); the surface at their cells is read after every wave step.
    std::vector<GaugeSite> gaugeSites;
    std::string gaugesSetBy;
    GaugeTrace gaugeTrace;
    GaugeRecord gaugeRecord;  // what the gauges have recorded so far (output/Gauges.h)
};

// The model of one case: every grid, list and scalar by the name it bears in the model's
// documentation, grouped by lifetime in the types above. Two models can live side by side.
struct Model : CaseInput, FlowScales, RunState, PeriodFields, RunContext {
    // Boundary-cell number of a cell: Int(cellFlag / 16).
    int32_t bndPointNo(int32_t i, int32_t j) const { return bndPointOf(cellFlag(i, j)); }
    static int32_t bndPointOf(int32_t f) { return f >= 0 ? f / 16 : -((-f + 15) / 16); }
    // Throws RunAborted when a stop has been asked for.
    void checkStop() const {
        if (stopRequest && stopRequest->load(std::memory_order_relaxed)) throw RunAborted();
    }

    SlabLink& slabs() const { return link ? *link : singleProcess(); }
    // The interior rows this rank computes, and whether it holds the south and north ghost
    // rows (it computes the first or the last interior row).
    RowRange ownRows() const { return link ? link->ownRows(jyStart, jyEnd) : RowRange{jyStart, jyEnd}; }
    bool holdsSouthEdge() const { return ownRows().begin == jyStart; }
    bool holdsNorthEdge() const { return ownRows().end == jyEnd; }
    // Whether row j is this rank's to compute: an own row or a ghost row at its edge.
    bool holdsRow(int32_t j) const {
        const RowRange r = ownRows();
        return (j >= r.begin && j <= r.end) || (j == jyStart - 1 && r.begin == jyStart) ||
               (j == jyEnd + 1 && r.end == jyEnd);
    }
    // The own rows with the ghost rows this rank holds.
    RowRange heldRows() const {
        const RowRange r = ownRows();
        return {r.begin == jyStart ? jyStart - 1 : r.begin, r.end == jyEnd ? jyEnd + 1 : r.end};
    }
    // The rows this rank keeps current: the held rows and one halo row beyond each end
    // (the ghost rows at the grid's edges). Its grids cover these rows only.
    RowRange slabRows() const {
        const RowRange r = ownRows();
        return {r.begin - 1, r.end + 1};
    }
    // The elements [first, second) of rows r in a grid allocated by allocGrid.
    std::pair<size_t, size_t> cellsOf(RowRange r) const {
        const size_t row = static_cast<size_t>(ixEnd - ixStart + 3);
        const int32_t j0 = slabRows().begin;
        return {static_cast<size_t>(r.begin - j0) * row, static_cast<size_t>(r.end - j0 + 1) * row};
    }
    // ... in the held rows.
    std::pair<size_t, size_t> heldCells() const { return cellsOf(heldRows()); }
    // ... in slabRows.
    std::pair<size_t, size_t> slabCells() const { return cellsOf(slabRows()); }
    // The n values of the rank that holds row j, on every rank (every rank calls it):
    // read(v) fills them there.
    template <class Read>
    void shareFromRow(int32_t j, double* v, int n, Read&& read) const {
        SlabLink& link = slabs();
        if (link.rankOfRow(j, jyStart, jyEnd) == link.rank()) read(v);
        link.share(v, n, j, jyStart, jyEnd);
    }
    // The grids of the state the passes hand on across a rank's edges: the bed, the wave
    // levels, the flow levels and what each period forms.
    template <class F>
    void forEachStateGrid(F&& f) {
        for (Grid* g : {&dep, &dh, &setup, &curU, &curV, &phiNew, &phiCur, &phiOld, &hTot, &hTotNew, &etaS, &etaSNew,
                        &celS, &celSNew, &uS, &uSNew, &vS, &vSNew, &fx, &fy, &qbx, &qby, &qsx, &qsy, &tau, &maxtau,
                        &wavH, &etaOut, &phiPred, &sumDiss, &theta, &kd, &ccg, &cc2, &wlen, &omk, &eta, &sumEta,
                        &brkEx, &etarms, &uOrb, &sumU, &sumU2, &vOrb, &sumV, &sumV2, &sumEtaU, &sumEtaV, &sumEtaT2,
                        &sumEtaT, &sumUV, &sxx, &sxy, &syy, &curUMean, &curVMean})
            f(*g);
    }
    // A pass declares what it writes and what it reads across a rank's edges; the exchanges
    // follow from that. Each is a collective: every rank declares the same grids at the same
    // point of the same pass, and every rank has written the same grids before it.
    //
    // The grids a pass is about to write: their halo and far rows are stale from now on.
    static void markWritten(std::initializer_list<Grid*> grids) {
        for (Grid* g : grids) g->markWritten();
    }
    // The grids a pass reads in the rows next to this rank's own (and the far rows): those
    // written since their last exchange are brought across.
    void readsHalos(std::initializer_list<Grid*> grids) { bringDue(grids.begin(), grids.size(), SlabLink::Rows::Halos); }
    // ... in the far rows only (the rows at the other end of the grid a periodic side copies).
    void readsFarRows(std::initializer_list<Grid*> grids) { bringDue(grids.begin(), grids.size(), SlabLink::Rows::Wrap); }
    // Brings the halo and far rows of every state grid written since its last exchange, for
    // the passes of the next phase.
    void refreshHalos() {
        std::array<Grid*, 64> all{};
        size_t n = 0;
        forEachStateGrid([&](Grid& g) { all[n++] = &g; });
        bringDue(all.data(), n, SlabLink::Rows::Halos);
    }
    void bringDue(Grid* const* grids, size_t count, SlabLink::Rows which) {
        std::array<Grid*, 64> due{};
        size_t n = 0;
        for (size_t k = 0; k < count; ++k) {
            Grid* g = grids[k];
            if (which == SlabLink::Rows::Halos ? g->halosDue() : g->farRowsDue()) {
                assert(n < due.size());
                due[n++] = g;
            }
        }
        slabs().exchange(std::span<Grid* const>(due.data(), n), which, jyStart, jyEnd);
    }
    // The result and echo files are written by the first rank only.
    bool writesFiles() const { return slabs().rank() == 0; }

    // Allocates g over the rows this rank keeps, with the ghost columns; the first and the
    // last rank also keep the row at the other end of the grid, which a periodic side
    // copies (one process: the whole grid).
    template <class G>
    void allocGrid(G& g) const {
        const RowRange r = slabRows();
        g.allocate(ixStart - 1, ixEnd + 1, r.begin, r.end);
        if constexpr (requires { g.addFarRow(0); }) {
            if (holdsSouthEdge()) g.addFarRow(jyEnd);
            if (holdsNorthEdge()) g.addFarRow(jyStart);
            g.setHeldRows(heldRows().begin, heldRows().end);
        }
    }
    // allocGrid unless g has that shape already (then its values are kept): for work grids
    // whose every cell that is read is written first.
    template <class G>
    void keepGrid(G& g) const {
        const RowRange r = slabRows();
        if (g.iLo() != ixStart - 1 || g.iHi() != ixEnd + 1 || g.jLo() != r.begin || g.jHi() != r.end ||
            (holdsSouthEdge() && !g.hasRow(jyEnd)) || (holdsNorthEdge() && !g.hasRow(jyStart)))
            allocGrid(g);
    }
    // The first rank's grids of a whole field for the pictures and files it writes, and of
    // the cell flags (which the pictures and the netCDF file show), when the case is split
    // (allocWholeGrids: before the time loops).
    Grid wholeGrid;
    IntGrid wholeFlags;
    void allocWholeGrids() {
        if (slabs().ranks() > 1 && slabs().rank() == 0) {
            wholeGrid.allocate(ixStart - 1, ixEnd + 1, jyStart - 1, jyEnd + 1);
            wholeFlags.allocate(ixStart - 1, ixEnd + 1, jyStart - 1, jyEnd + 1);
        } else {
            wholeGrid = Grid();
            wholeFlags = IntGrid();
        }
    }
    // The cell flags of the whole grid on the first rank (every rank calls gatherFlags once
    // the flags are read): wholeFlags when the case is split, cellFlag on one process.
    void gatherFlags() {
        if (slabs().ranks() > 1) slabs().gatherToFirst(cellFlag, wholeFlags, jyStart, jyEnd);
    }
    const IntGrid& flagsOfWhole() const { return slabs().ranks() > 1 ? wholeFlags : cellFlag; }
    // g over the whole grid on the first rank: gathered into wholeGrid from every rank when
    // the case is split, g itself on one process; elsewhere g. A collective: every rank
    // calls it, at the same point.
    const Grid& gatherWholeOnFirst(const Grid& g) {
        if (slabs().ranks() == 1) return g;
        slabs().gatherToFirst(g, wholeGrid, jyStart, jyEnd);
        return slabs().rank() == 0 ? wholeGrid : g;
    }
    // The grids, lines and scalars a checkpoint saves of the model: the state one interval
    // hands the next, and what the wave model keeps from one period to the next.
    void stateItems(StateItems& s) {
        for (auto [name, g] : {std::pair{"dep", &dep}, {"dh", &dh}, {"setup", &setup}, {"curU", &curU}, {"curV", &curV},
                               {"phiNew", &phiNew}, {"phiCur", &phiCur}, {"phiOld", &phiOld}, {"phiPred", &phiPred},
                               {"sumDiss", &sumDiss}, {"theta", &theta}, {"kd", &kd}, {"hTot", &hTot},
                               {"hTotNew", &hTotNew}, {"etaS", &etaS}, {"etaSNew", &etaSNew}, {"celS", &celS},
                               {"celSNew", &celSNew}, {"uS", &uS}, {"uSNew", &uSNew}, {"vS", &vS}, {"vSNew", &vSNew},
                               {"fx", &fx}, {"fy", &fy}})
            s.grid(name, *g);
        // (lineNew is the radiating lines' work: every value read within a step is written first.)
        s.lineArray("line", line);
        s.lineArray("lineOld", lineOld);
        s.lineArray("lineIncident", lineIncident);
        if (!curUMean.empty()) {
            s.grid("curUMean", curUMean);
            s.grid("curVMean", curVMean);
        }
        s.scalar("random.state", rnd.stateRef());
    }
    std::vector<std::string> inputWarnings;  // warnings of the case's input, reported once the case is read
};

}  // namespace littoral
