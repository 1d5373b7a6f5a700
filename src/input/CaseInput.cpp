#include "input/CaseInput.h"

#include <cmath>
#include <filesystem>
#include <iterator>
#include <limits>
#include <vector>

#include "core/Error.h"
#include "core/Numeric.h"
#include "input/CaseChecks.h"
#include "input/FreeField.h"
#include "input/MemoryBudget.h"
#include "waves/WaveField.h"
#include "waves/WaveFunctions.h"

namespace littoral {

namespace fs = std::filesystem;

namespace {

// The name with the platform's separator: a name may use '\\' between folders.
std::string platformSeparators(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

std::string cellText(int32_t i, int32_t j) {
    return "(" + std::to_string(i) + ", " + std::to_string(j) + ")";
}

// A name read from the control file: control bytes (a NUL would cut the name short when
// the file is opened, a CR betrays a file with foreign line ends) are refused.
std::string nameField(FieldReader& r, const char* what) {
    std::string name = r.text(what);
    // The terminator where a name should stand: a line of the control file left out.
    if (name == "'endcnt")
        throw StopError(r.where() + "expected " + what + ", found the terminator 'endcnt: the control file names " +
                        std::to_string(r.fieldNo() - 1) + " of its six files and folders (the coefficient, depth, "
                        "boundary, wave and tide files and the output folder, a line each, then 'endcnt)");
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            throw StopError(r.where() + "expected " + what + ", found a name with a control byte: \"" +
                            printable(name) + "\"");
    return name;
}

// Whether an output name stays inside the output folder: not absolute, no drive, no "..".
bool leavesOutputFolder(const std::string& name) {
    const std::string p = platformSeparators(name);
    if (!p.empty() && p.front() == '/') return true;
    if (p.size() >= 2 && p[1] == ':') return true;
    size_t start = 0;
    while (start <= p.size()) {
        size_t end = p.find('/', start);
        if (end == std::string::npos) end = p.size();
        if (p.compare(start, end - start, "..") == 0 && end - start == 2) return true;
        start = end + 1;
    }
    return false;
}

// The case's output folder, and every part of its path that exists (a link followed where
// one stands), must lie inside the output folder: the name itself holds no ".." (checked
// as it is read), but a link in the output folder could still lead anywhere.
void requireInsideOutput(const Model& m) {
    std::error_code ec;
    const fs::path base = fs::canonical(m.outBase, ec);
    if (ec)
        throw StopError("the output folder " + m.outBase + " cannot be resolved (" + ec.message() + ")");
    const fs::path dir = fs::weakly_canonical(fs::path(m.outDir), ec);
    if (ec)
        throw StopError(fs::path(m.cntPath).filename().string() + ": the case's output folder " + m.outDir +
                        " cannot be resolved (" + ec.message() + ")");
    // dir lies inside base when base is a leading part of it.
    auto b = base.begin(), d = dir.begin();
    for (; b != base.end() && d != dir.end() && *b == *d; ++b, ++d) {
    }
    const bool inside = b == base.end() || (std::next(b) == base.end() && b->empty());
    if (!inside)
        throw StopError(fs::path(m.cntPath).filename().string() + ": the case's output folder " + m.outDir +
                        " leads to " + dir.string() + ", outside the output folder " + base.string() +
                        ": expected a folder inside it (a link on the way leads out)");
}

// The layout of a grid file (depths, boundary codes): a line per cell along X holding the
// values along Y, ghost ring included; or one value a line; or every value on one line.
// The values are read in order whatever the line ends, so a value missing on one line and
// one too many on a later one, or the lines and values transposed, kept the count and
// shifted cells silently. Each value is checked against the line it should stand on, and a
// shift is refused at the line where it begins.
class GridLines {
public:
    GridLines(const Model& m, const char* values)
        : m_(m), values_(values), perLine_(m.jyEnd - m.jyStart + 3), lines_(m.ixEnd - m.ixStart + 3) {}

    // After the value of cell (i, j) was read from r.
    void check(const FieldReader& r, int32_t i, int32_t j) {
        const long k = long(i - (m_.ixStart - 1)) * perLine_ + (j - (m_.jyStart - 1)), line = r.fieldLine();
        if (k == 0) {
            first_ = last_ = line;
            count_ = 1;
            return;
        }
        if (k == 1) layout_ = line == first_ ? Layout::perX : Layout::oneALine;
        // The first line holding more than a line's values: all of them on one line, or a
        // shift that shows where that line ends.
        if (layout_ == Layout::perX && k == perLine_ && line == first_) layout_ = Layout::oneLine;
        const long expected = layout_ == Layout::oneALine ? first_ + k
                              : layout_ == Layout::oneLine ? first_
                                                           : first_ + k / perLine_;
        if (line == expected) {
            count_ = line == last_ ? count_ + 1 : 1;
            last_ = line;
            return;
        }
        const std::string layout = "expected " + std::to_string(perLine_) + " " + values_ + " a line (" +
                                   std::to_string(lines_) + " lines, one per cell along X from " +
                                   std::to_string(m_.ixStart - 1) + " to " + std::to_string(m_.ixEnd + 1) +
                                   ", each with the cells along Y from " + std::to_string(m_.jyStart - 1) + " to " +
                                   std::to_string(m_.jyEnd + 1) + "), or one value a line, or all on one line";
        const std::string next = ", the next value (cell " + cellText(i, j) + ") stands on line " +
                                 std::to_string(line) + ": ";
        if (layout_ == Layout::oneALine)
            throw StopError(r.name() + ": line " + std::to_string(line) + " holds a second value (cell " +
                            cellText(i, j) + "), the " + std::to_string(k) + " lines before it one each: " + layout);
        const std::string held = std::to_string(last_ == expected || layout_ == Layout::oneLine ? count_ : 0);
        if (layout_ == Layout::oneLine)
            throw StopError(r.name() + ": line " + std::to_string(first_) + " holds " + held + " " + values_ + next +
                            layout + (count_ == lines_ ? " (the lines and values look transposed)" : ""));
        if (line > expected)
            throw StopError(r.name() + ": line " + std::to_string(expected) + " holds " + held + " " + values_ + next +
                            layout);
        throw StopError(r.name() + ": line " + std::to_string(line) + " holds more than " +
                        std::to_string(perLine_) + " " + values_ + " (cell " + cellText(i, j) +
                        " would be the next): " + layout);
    }

private:
    enum class Layout { perX, oneALine, oneLine };
    const Model& m_;
    std::string values_;
    long perLine_, lines_, first_ = 0, last_ = 0, count_ = 0;
    Layout layout_ = Layout::perX;
};

// Opens one of the case's input files, naming it by its name in the control file.
FieldReader openInput(const Model& m, const std::string& name, const char* role) {
    if (name.empty())
        throw StopError(m.cntPath + ": the " + std::string(role) + " file has an empty name");
    // Blanks after a name belong to it; a name that only exists without them was typed with
    // blanks after it.
    const size_t kept = name.find_last_not_of(" \t");
    std::error_code ec;
    if (kept != std::string::npos && kept + 1 < name.size() && !fs::exists(inputPath(m, name), ec) &&
        fs::exists(inputPath(m, name.substr(0, kept + 1)), ec))
        throw StopError(fs::path(m.cntPath).filename().string() + ": the name of the " + std::string(role) +
                        " file \"" + printable(name, 200) + "\" ends in " + std::to_string(name.size() - kept - 1) +
                        " blank(s), and no file has that name: expected \"" + printable(name.substr(0, kept + 1), 200) +
                        "\" (which exists) without them");
    return FieldReader(inputPath(m, name), name);
}

}  // namespace

std::string inputPath(const Model& m, const std::string& name) {
    // An absolute name is taken as given; any other is relative to the data folder.
    const std::string p = platformSeparators(name);
    if (!p.empty() && p.front() == '/') return p;
    return m.dataDir + p;
}

std::string shownInputPath(const Model& m, const std::string& name) {
    const std::string p = platformSeparators(name);
    return !p.empty() && p.front() == '/' ? name : m.dataDir + name;
}

void readControlNames(Model& m) {
    m.inputWarnings.clear();
    FieldReader r(m.cntPath, fs::path(m.cntPath).filename().string());
    // The names stay as written (echoes and messages show them so); only opening a file
    // turns their separators into the platform's.
    m.coefFile = nameField(r, "the name of the coefficient file");
    m.depFile = nameField(r, "the name of the depth file");
    m.bndFile = nameField(r, "the name of the boundary file");
    m.wavFile = nameField(r, "the name of the wave file");
    m.tideFile = nameField(r, "the name of the tide file");
    const std::string outName = nameField(r, "the name of the output folder");
    const std::string outWhere = r.where();
    r.expectTerminator("'endcnt");
    r.expectEnd("the terminator 'endcnt");
    if (leavesOutputFolder(outName))
        throw StopError(outWhere + "the output name \"" + printable(outName, 200) +
                        "\" leaves the output folder: expected a folder name inside " + m.outBase +
                        " (no \"..\", not an absolute path)");

    // An empty output name leaves a second separator after outBase: the case then writes
    // straight into the output folder, and the echo shows the path as formed.
    m.outDir = m.outBase + platformSeparators(outName) + "/";
}

void readControlFile(Model& m) {
    readControlNames(m);
    prepareOutputFolder(m);
    readCoefFile(m);
    allocateCaseArrays(m);
    allocWaveArrays(m);
    readWaveFile(m);
    readTideFile(m);
}

void prepareOutputFolder(Model& m) {
    std::error_code ec;
    if (m.filesWanted && !fs::is_directory(m.outBase, ec))
        throw StopError("the output folder " + m.outBase + " does not exist");
    if (m.filesWanted) requireInsideOutput(m);
    if (m.filesWanted && !fs::is_directory(m.outDir, ec)) {
        // A name of several folders ("runs\\beach") makes each of them, all inside the
        // output folder (checked above).
        fs::create_directories(m.outDir, ec);
        if (ec)
            throw StopError(fs::path(m.cntPath).filename().string() + ": the output folder " + m.outDir +
                            " cannot be created (" + ec.message() + ")");
    }
}

void readCoefFile(Model& m) {
    FieldReader r = openInput(m, m.coefFile, "coefficient");
    auto pairI32 = [&](const char* what) { int32_t v = r.int32(what); r.label("a label"); return v; };
    auto pairI16 = [&](const char* what) { int16_t v = r.int16(what); r.label("a label"); return v; };
    auto pairF = [&](const char* what) { float v = r.real(what); r.label("a label"); return v; };

    m.ixStart = pairI32("the first computed cell in X");
    m.ixEnd = pairI32("the last computed cell in X");
    m.dx = pairF("the cell width in X (m)");
    m.jyStart = pairI32("the first computed cell in Y");
    m.jyEnd = pairI32("the last computed cell in Y");
    m.dy = pairF("the cell width in Y (m)");
    m.nBndApprox = pairI16("the size of the boundary-condition table");
    m.latitude = pairF("the latitude (degrees)");
    m.fricCoef = pairF("the bottom friction coefficient");
    m.brkRatio = pairF("the breaking height-to-depth ratio");
    m.minDepth = pairF("the minimum computational depth (m)");
    m.spareParam = pairF("the spare value");
    m.tStart = pairF("the start time (s)");
    m.tEnd = pairF("the end time (s)");
    m.shieldsCr = pairF("the critical Shields number");
    m.grainSize = pairF("the grain diameter (m)");
    m.sedDensity = pairF("the sediment density (kg/m3)");
    m.viscosity = pairF("the kinematic viscosity (m2/s)");
    m.bedloadCoef = pairF("the bedload coefficient");
    m.suspCoef = pairF("the suspended load coefficient");
    r.expectTerminator("'endconst");
    r.expectEnd("the terminator 'endconst");

    const std::string f = m.coefFile + ": ";
    // The grid must hold at least one interior cell, and cell (0, 0) must lie on it, ghost
    // ring included: the unfilled entries of the boundary-cell lists name that cell.
    if (m.ixEnd < m.ixStart || m.jyEnd < m.jyStart)
        throw StopError(f + "the grid extent X " + std::to_string(m.ixStart) + " to " +
                        std::to_string(m.ixEnd) + ", Y " + std::to_string(m.jyStart) + " to " +
                        std::to_string(m.jyEnd) + " holds no cell: expected the last cell at or after the first");
    if (m.ixStart > 1 || m.jyStart > 1)
        throw StopError(f + "the first computed cells (" + std::to_string(m.ixStart) + ", " +
                        std::to_string(m.jyStart) + ") put cell (0, 0) outside the grid: expected them to be 1 or less");
    if (m.ixEnd < -1 || m.jyEnd < -1)
        throw StopError(f + "the last computed cells (" + std::to_string(m.ixEnd) + ", " +
                        std::to_string(m.jyEnd) + ") put cell (0, 0) outside the grid: expected them to be -1 or more");
    const int64_t nx = int64_t(m.ixEnd) - m.ixStart + 1, ny = int64_t(m.jyEnd) - m.jyStart + 1;
    if (m.ixStart < -1000000 || m.jyStart < -1000000 || nx > 100000 || ny > 100000 || nx * ny > 400000000)
        throw StopError(f + "the grid of " + std::to_string(nx) + " x " + std::to_string(ny) +
                        " cells is too large: expected at most 100000 cells a side and 4e8 cells in all");
    if (!(m.dx > 0) || !(m.dy > 0))
        throw StopError(f + "the cell widths dx = " + formatNum(m.dx) + ", dy = " + formatNum(m.dy) +
                        " m: expected positive widths");
    if (m.nBndApprox < 0)
        throw StopError(f + "the size of the boundary-condition table is " + std::to_string(m.nBndApprox) +
                        ": expected 0 or more");
    checkCoefficients(m);

    m.nBndCell = static_cast<int32_t>(2 * (nx + ny + 4));
    m.coriolis = static_cast<float>(-0.0001458 * std::sin(m.latitude * 0.017453292519943278));
    const float ratio = static_cast<float>(static_cast<double>(m.sedDensity) / 1030.0);
    m.subWeight = static_cast<float>((static_cast<double>(ratio) - 1.0) * 9.81 * m.grainSize);
    if (!(m.grainSize > 0) || !(m.subWeight > 0) || !(m.viscosity >= 0))
        throw StopError(f + "grain diameter " + formatNum(m.grainSize) + " m, sediment density " +
                        formatNum(m.sedDensity) + " kg/m3, viscosity " + formatNum(m.viscosity) +
                        " m2/s: expected a positive diameter, a density above that of sea water (1030) "
                        "and a viscosity of 0 or more");
    const double F = 36.0 * m.viscosity * m.viscosity / m.subWeight / m.grainSize / m.grainSize;
    m.fallVel = static_cast<float>(F);
    const double Fs = m.fallVel;
    m.fallVel = static_cast<float>(std::sqrt(static_cast<double>(m.subWeight)) *
                                   (std::sqrt(2.0 / 3.0 + Fs) - std::sqrt(Fs)));
    // F beyond the single-precision range (a viscosity far too large for the grain) would
    // leave the settling velocity undefined.
    if (!std::isfinite(m.fallVel))
        throw StopError(f + "grain diameter " + formatNum(m.grainSize) + " m, sediment density " +
                        formatNum(m.sedDensity) + " kg/m3 and viscosity " + formatNum(m.viscosity) +
                        " m2/s give no settling velocity (the viscous term " + formatNum(F) +
                        " exceeds the single-precision range): expected a viscosity near that of water");
}

void allocateCaseArrays(Model& m) {
    const int64_t rows = int64_t{m.jyEnd} - m.jyStart + 1;
    if (m.slabs().ranks() > rows)
        throw StopError(m.coefFile + ": the grid has " + std::to_string(rows) + " rows along Y, fewer than the " +
                        std::to_string(m.slabs().ranks()) + " processes the run is split over: expected at least one "
                        "row per process");
    requireMemoryFor(m);
    for (Grid* g : {&m.dep, &m.dh, &m.qbx, &m.qby, &m.qsx, &m.qsy, &m.tau, &m.maxtau}) m.allocGrid(*g);
    m.allocGrid(m.cellFlag);
    for (Grid* g : {&m.setup, &m.curU, &m.curV, &m.wavH, &m.etaOut}) m.allocGrid(*g);
    m.bndCellI.allocate(0, m.nBndCell);
    m.bndCellJ.allocate(0, m.nBndCell);
    m.bndCode.allocate(0, m.nBndCell);
    m.bndType.allocate(0, m.nBndApprox);
    m.bndVal1.allocate(0, m.nBndApprox);
    m.bndVal2.allocate(0, m.nBndApprox);
    m.nBndListed = 0;
}

void allocateFlowArrays(Model& m) {
    for (Grid* g : {&m.hTot, &m.hTotNew, &m.etaS, &m.etaSNew, &m.celS, &m.celSNew, &m.uS, &m.uSNew,
                    &m.vS, &m.vSNew, &m.fx, &m.fy})
        m.allocGrid(*g);
    for (FaceGrid* g : {&m.fluxXE, &m.fluxXW, &m.fluxYN, &m.fluxYS, &m.srcS}) m.allocGrid(*g);
}

void readWaveFile(Model& m) {
    FieldReader r = openInput(m, m.wavFile, "wave");
    m.bndWave = r.int16("the wave input boundary code");
    r.label("a label");
    m.waveH0 = r.real("the wave height (m)");
    r.label("a label");
    m.waveT0 = r.real("the wave period (s)");
    r.label("a label");
    m.waveDir0 = r.real("the wave direction (degrees)");
    r.label("a label");
    m.phaseX = r.int32("the X cell of the phase reference point");
    r.label("a label");
    m.phaseY = r.int32("the Y cell of the phase reference point");
    r.label("a label");
    m.nGroup = r.real("the number of wave groups");
    r.label("a label");
    m.groupAmp = r.real("the wave group amplitude");
    r.label("a label");
    r.expectEnd("the eight values and labels of the wave file");

    if (!(m.waveT0 > 0))
        throw StopError(m.wavFile + ": the wave period is " + formatNum(m.waveT0) +
                        " s: expected a positive period");
    // Any cell of the grid, ghost ring included, can carry the phase of the incident wave
    // (the wave input cells usually lie on the ghost ring).
    if (m.phaseX < m.ixStart - 1 || m.phaseX > m.ixEnd + 1 || m.phaseY < m.jyStart - 1 || m.phaseY > m.jyEnd + 1)
        throw StopError(m.wavFile + ": the phase reference point " + cellText(m.phaseX, m.phaseY) +
                        " lies outside the grid: expected a cell of X " + std::to_string(m.ixStart - 1) + " to " +
                        std::to_string(m.ixEnd + 1) + " and Y " + std::to_string(m.jyStart - 1) + " to " +
                        std::to_string(m.jyEnd + 1) + " (ghost ring included)");
    if (m.nGroup >= 0) {
        m.hmaxIrr = 0;
    } else {
        m.hmaxIrr = std::fabs(m.nGroup);
        m.nGroup = 0;
    }
    m.theta.fill(-9.0f);
    checkStartTime(m);
}

void readTideFile(Model& m) { readTideTable(m, nullptr); }

void readTideTable(Model& m, std::vector<int32_t>* rowsGiven) {
    FieldReader r = openInput(m, m.tideFile, "tide");
    m.tideLevel = r.real("the tide level (m)");
    r.label("a label");
    m.nBndCond = r.int16("the number of boundary-condition rows");
    if (m.nBndCond < 0)
        throw StopError(r.where() + "expected the number of boundary-condition rows (0 or more), found " +
                        std::to_string(m.nBndCond));
    for (int32_t k = 1; k <= m.nBndCond; ++k) {
        const std::string rowText = "row " + std::to_string(k);
        const int32_t row = r.int32("the table row number of " + rowText);
        if (row < 0 || row > m.nBndApprox)
            throw StopError(r.where() + "expected a table row number from 0 to " + std::to_string(m.nBndApprox) +
                            " (the size of the boundary-condition table in " + m.coefFile + "), found " +
                            std::to_string(row));
        if (rowsGiven) rowsGiven->push_back(row);
        m.bndType(row) = r.int16("the boundary type of " + rowText);
        if (m.bndType(row) < 0 || m.bndType(row) > 3)
            throw StopError(r.where() + "expected the boundary type of " + rowText + " (0 none, 1 water level, "
                            "2 velocity, 3 discharge), found " + std::to_string(m.bndType(row)));
        m.bndVal1(row) = r.real("the first value of " + rowText);
        m.bndVal2(row) = r.real("the second value of " + rowText);
    }
    r.expectEnd("the " + std::to_string(m.nBndCond) + " rows of the boundary-condition table");
    if (rowsGiven) return;
    checkTide(m);
}

void readDepthFile(Model& m) {
    FieldReader r = openInput(m, m.depFile, "depth");
    m.hMax = 0;
    const float tide = m.tideLevel;
    const std::string what = "a depth (m)";
    GridLines lines(m, "depths");
    // Every rank reads the whole file (so meets a bad value where one process does) and keeps
    // the rows its grids hold; the largest depth is taken over every value read.
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) {
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) {
            const float v = r.real(what);
            lines.check(r, i, j);
            if (!depthInRange(v)) refuseDepth(r.where(), v, i, j);
            if (m.dep.hasRow(j)) {
                m.dep.cell(i, j) = v;
                m.setup.cell(i, j) = tide;
            }
            const float s = static_cast<float>(static_cast<double>(tide) + v);
            if (s > m.hMax) m.hMax = s;
        }
    }
    const long n = long(m.ixEnd - m.ixStart + 3) * (m.jyEnd - m.jyStart + 3);
    r.expectEnd(std::to_string(n) + " depths (" + std::to_string(m.ixEnd - m.ixStart + 3) + " x " +
                std::to_string(m.jyEnd - m.jyStart + 3) + " cells, ghost ring included)");
    checkMinimumDepth(m);
}

void readBoundaryFile(Model& m) {
    // Every rank reads the codes and lists; the wavelengths are found at the listed cells of
    // each rank's rows, the longest over all of them sizing the open-boundary lines.
    SlabLink& link = m.slabs();
    double Lmax = 0;
    link.guarded([&] {
        readBoundaryCodes(m);
        Lmax = longestBoundaryWavelength(m);
    });
    link.check();
    Lmax = link.largest(Lmax);
    double shortest = 0;
    link.guarded([&] {
        allocateBoundaryLines(m, Lmax);
        // The codes, the tide table and the wave input as one system.
        std::vector<int32_t> rows;
        readTideTable(m, &rows);
        checkTideRows(m, rows);
        shortest = checkWaveInputCells(m);
    });
    link.check();
    shortest = -link.largest(-shortest);
    link.guarded([&] { checkWaveResolution(m, shortest); });
    link.check();
}

void readBoundaryCodes(Model& m) {
    FieldReader r = openInput(m, m.bndFile, "boundary");
    int32_t n = 0;
    // A boundary cell's number is kept as 16 x n in its cell flag; the lists' capacity
    // bounds n far below where that would overflow. The flags are kept in the rows the grid
    // holds, the lists whole.
    const int32_t capacity = std::min<int32_t>(m.nBndCell, std::numeric_limits<int32_t>::max() / 16);
    GridLines lines(m, "boundary codes");
    for (int32_t i = m.ixStart - 1; i <= m.ixEnd + 1; ++i) {
        for (int32_t j = m.jyStart - 1; j <= m.jyEnd + 1; ++j) {
            // Read in double precision: 15.9999999 is no whole number, although it rounds to
            // 16 in single precision.
            const double v = r.number("a boundary code");
            lines.check(r, i, j);
            const double rv = std::nearbyint(v);
            // A code is a whole number: 15.5 rounded would make a land cell a boundary.
            if (rv != v)
                throw StopError(r.where() + "expected a boundary code (a whole number), found " + describeNumber(v) +
                                " at cell " + cellText(i, j));
            int32_t flag = 0;
            if (v > 15) {
                // Boundary cells lie on the ghost ring, where the wave and flow boundaries
                // are set; inside the grid the code would be taken as a set of closed faces.
                if (i >= m.ixStart && i <= m.ixEnd && j >= m.jyStart && j <= m.jyEnd)
                    throw StopError(r.where() + "the boundary code " + formatNum(v) + " at cell " + cellText(i, j) +
                                    " lies inside the grid: expected codes above 15 only on the ghost ring (X " +
                                    std::to_string(m.ixStart - 1) + " or " + std::to_string(m.ixEnd + 1) + ", Y " +
                                    std::to_string(m.jyStart - 1) + " or " + std::to_string(m.jyEnd + 1) +
                                    "), and 0 to 15 inside");
                if (rv > 32767.0)
                    throw StopError(r.where() + "expected a boundary code up to 32767, found " +
                                    formatNum(v) + " at cell " + cellText(i, j));
                const int32_t code = static_cast<int32_t>(rv);
                if (code > 16 && code > m.nBndApprox)
                    throw StopError(r.where() + "the boundary code " + std::to_string(code) + " at cell " +
                                    cellText(i, j) + " names no row of the boundary-condition table: expected 16 "
                                    "(periodic) or a row from 17 to " + std::to_string(m.nBndApprox) +
                                    " (the table size in " + m.coefFile + ")");
                if (n >= capacity)
                    throw StopError(r.where() + "cell " + cellText(i, j) + " is boundary cell " +
                                    std::to_string(n + 1) + ": expected at most " + std::to_string(capacity) +
                                    " boundary cells (" +
                                    (capacity == m.nBndCell ? "2 x (nx + ny + 4) for this grid"
                                                            : "the limit of " + std::to_string(capacity)) +
                                    ")");
                ++n;
                flag = 16 * n;
                m.bndCode(n) = code;
                m.bndCellI(n) = i;
                m.bndCellJ(n) = j;
            } else {
                if (rv < 0)
                    throw StopError(r.where() + "expected a boundary code from 0 to 15 or above 15, found " +
                                    formatNum(v) + " at cell " + cellText(i, j));
                flag = static_cast<int32_t>(rv);
            }
            if (m.cellFlag.hasRow(j)) m.cellFlag.cell(i, j) = flag;
        }
    }
    const long count = long(m.ixEnd - m.ixStart + 3) * (m.jyEnd - m.jyStart + 3);
    r.expectEnd(std::to_string(count) + " boundary codes (ghost ring included)");
    if (n == 0)
        throw StopError(m.bndFile + ": no boundary cell (no code above 15): expected at least one, "
                        "for example the wave input boundary " + std::to_string(m.bndWave));
    m.nBndListed = n;
}

double longestBoundaryWavelength(const Model& m) {
    double Lmax = 0;
    for (int32_t k = 1; k <= m.nBndListed; ++k) {
        if (!m.holdsRow(m.bndCellJ(k))) continue;
        const float d = m.dep(m.bndCellI(k), m.bndCellJ(k));
        if (d > 0) {
            const float kw = static_cast<float>(waveNumber(1.0 / m.waveT0, d));
            // On several ranks the first cell in list order that fails is reported.
            if (!(kw > 0.0f) || !std::isfinite(kw))
                throw PlacedStop(k, m.bndFile + ": boundary cell " + cellText(m.bndCellI(k), m.bndCellJ(k)) +
                                " has no wavelength for its open-boundary line: depth " + formatNum(d) + " m (in " +
                                m.depFile + ") with the wave period " + formatNum(m.waveT0) + " s (in " + m.wavFile +
                                "): expected a depth and period for which the dispersion relation has a solution");
            const float L = static_cast<float>(6.28318530717958 / kw);
            if (L > Lmax) Lmax = L;
        }
    }
    return Lmax;
}

void allocateBoundaryLines(Model& m, double Lmax) {
    const int32_t n = m.nBndListed;
    const double steps = std::floor(Lmax / std::sqrt(static_cast<double>(m.dx) * m.dy)) + 1.0;
    if (steps > 32767.0)
        throw StopError(m.bndFile + ": the open-boundary lines would need " + formatNum(static_cast<float>(steps)) +
                        " points (longest wavelength " + formatNum(static_cast<float>(Lmax)) +
                        " m over cells of " + formatNum(m.dx) + " x " + formatNum(m.dy) +
                        " m): expected at most 32767");
    m.nLine = static_cast<int16_t>(steps);
    requireMemoryFor(m);
    m.lineNew.allocate(0, n, m.nLine);
    m.line.allocate(1, n, m.nLine);
    m.lineOld.allocate(1, n, m.nLine);
    checkWaveInput(m);
}

}  // namespace littoral
