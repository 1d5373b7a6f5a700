// Littoral's engine as a library: read or build a case, run it interval by interval, take
// its fields, follow it through events, stop it from any thread. Every front-end of the
// project (desktop, batch, cluster, benchmark, Python) drives the engine through this header.
//
//   littoral::Case c = littoral::readCase("data/beachcnt.txt");  // InputError on bad input
//   littoral::RunOptions options;                                // threads, files, events
//   littoral::Run run(c, options);
//   while (run.advance()) {                                      // one output interval
//       littoral::Field h = run.field("wavH");                   // h(i, j), 0-based
//   }
//
// Units are those of the case files: metres, seconds, degrees; fields are single precision.
// A run writes exactly the batch program's files (echo files, surferN.csv, results.nc) into
// its output folder unless RunOptions::writeFiles is false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace littoral {

class SlabLink;  // the processes a case is split over (littoral-mpi); none: one process
struct RunHost;   // the driver's reports, for the project's own front-end pieces

// A case file that cannot be read or holds a value the model cannot use: the message names
// the file, the field or line and what was expected.
class InputError : public std::invalid_argument {
public:
    InputError(const std::string& message, std::string file, std::string field, long line)
        : std::invalid_argument(message), file_(std::move(file)), field_(std::move(field)), line_(line) {}
    // The file at fault (as the case names it), the field ("field 21", a label or "") and the
    // line (0 where none applies).
    const std::string& file() const { return file_; }
    const std::string& field() const { return field_; }
    long line() const { return line_; }

private:
    std::string file_, field_;
    long line_;
};

// A run that stopped after it began: a numerical dead end (the cell and the model time
// named), a failed write, the memory running out. The files of the finished intervals are
// complete.
class RunError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A read-only view of a field over the interior cells: f(i, j) with i = 0 .. nx()-1 along X
// and j = 0 .. ny()-1 along Y (cell (i, j) is the case's cell (ixStart + i, jyStart + j)).
// Valid until the run advances or ends.
class Field {
public:
    Field() = default;
    Field(const float* first, int nx, int ny, std::ptrdiff_t rowStride)
        : first_(first), nx_(nx), ny_(ny), stride_(rowStride) {}
    int nx() const { return nx_; }
    int ny() const { return ny_; }
    float operator()(int i, int j) const { return first_[static_cast<std::ptrdiff_t>(j) * stride_ + i]; }
    // The first cell of row j (nx() values side by side).
    const float* row(int j) const { return first_ + static_cast<std::ptrdiff_t>(j) * stride_; }
    // Floats from one row to the next.
    std::ptrdiff_t rowStride() const { return stride_; }
    bool empty() const { return first_ == nullptr; }

private:
    const float* first_ = nullptr;
    int nx_ = 0, ny_ = 0;
    std::ptrdiff_t stride_ = 0;
};

// The fields a run gives, in the order of the columns of the result files: name (as the
// result files' header, "_dep" and "_dh" for the bed level and bed change, which are the
// depth and the depth change negated), the netCDF variable name, units and a description.
struct FieldInfo {
    std::string column, name, units, longName;
};
const std::vector<FieldInfo>& resultFields();

// The inputs of a case built in memory (Case::fromInputs): the grid with its ghost ring,
// the coefficients, the incident wave and the tide table, as the case files hold them.
struct CaseInputs {
    std::string name = "case";   // the output folder's name below output/
    std::string dataFolder;      // where the case files are written to run it ("" : none yet)
    int nx = 0, ny = 0;          // interior cells along X and Y
    double dx = 1.0, dy = 1.0;   // cell sizes (m)
    // Still-water depth (m, positive downwards) and boundary code of every cell of the grid
    // with its ghost ring: (nx + 2) x (ny + 2) values, i fastest, j = 0 the south ghost row.
    std::vector<float> depth;
    std::vector<int32_t> codes;
    // Coefficients (the coefficient file's fields, in its order and units).
    double latitude = 35.0, friction = 0.01, breakingRatio = 0.8, minDepth = 0.01, spare = 0.0;
    double startTime = 0.0, endTime = 60.0;
    double shieldsCritical = 0.05, grainSize = 0.0002, sedimentDensity = 2650.0, viscosity = 1.0e-6;
    double bedloadCoef = 8.0, suspendedCoef = 5.0;
    // Incident wave: the boundary code of the wave input cells, offshore height (m), period
    // (s), direction (degrees), the phase point (cell indices), groups and irregular heights.
    int waveCode = 17;
    double height = 1.0, period = 8.0, direction = 180.0;
    int phaseI = 0, phaseJ = 0;
    double groups = 0.0, groupAmplitude = 0.0, irregularCap = 0.0;
    // Tide level (m) and the rows of the flow boundary-condition table, one per code from 17:
    // type and its two values.
    double tideLevel = 0.0;
    struct TideRow {
        int type = 0;
        double value1 = 0.0, value2 = 0.0;
    };
    std::vector<TideRow> tideRows;
};

// A case: its control file and the files it names, read and checked.
class Case {
public:
    // Reads and checks the control file and every file it names (InputError on a fault).
    // A bare name is looked up in the folder "data" beside the program; results go below the
    // folder "output" beside the control file's folder, which must exist.
    static Case read(const std::string& controlFile);
    // Writes the inputs as the six case files (control, coefficient, depth, boundary, wave and
    // tide) into inputs.dataFolder, creating the folder "output" beside it, and reads them.
    static Case fromInputs(const CaseInputs& inputs);

    const std::string& controlFile() const;
    const std::string& outputFolder() const;  // where the run writes its files
    int nx() const;
    int ny() const;
    // The case's indices of the first interior cell (the coefficient file's first computed
    // cells): the result files place cell i at x = (i - 1) dx, j at y = (j - 1) dy.
    int firstCellX() const;
    int firstCellY() const;
    double dx() const;
    double dy() const;
    double startTime() const;
    double endTime() const;
    double wavePeriod() const;  // the output interval
    // Output intervals a run of the whole time span has.
    long intervals() const;
    // Irregular wave heights drawn from the random sequence by a run of the whole span (one
    // per interval with irregular waves, none with regular ones).
    long randomDraws() const;
    // The output folder a control file names, from the control file alone ("" when it cannot
    // be read): for telling which cases write into one folder before reading them.
    static std::string outputFolderOf(const std::string& controlFile);

    struct Facts;

private:
    explicit Case(std::shared_ptr<const Facts> f) : facts_(std::move(f)) {}
    std::shared_ptr<const Facts> facts_;
    friend class Run;
};

inline Case readCase(const std::string& controlFile) { return Case::read(controlFile); }

// What a run reports as it goes, on the thread that advances it, between its steps.
struct WavePeriodDone {
    double time = 0;           // model time at the period's start (s)
    long periods = 0;          // wave periods elapsed before it
    std::string line;          // the progress line "endwav <time> <periods>"
    Field surface;             // the last surface elevation (m); on a split case, the first process's view only
    float low = 0, high = 0;   // the colour range the pictures draw it in (m)
};
struct IntervalDone {
    int number = 0;            // output number of the interval's files
    double time = 0;           // model time at the interval's end (s)
    Field setup;               // mean water level minus the tide level (m)
    float low = 0, high = 0;   // the colour range the pictures draw it in (m)
};
struct RunEvents {
    std::function<void(const Case&)> caseStarted;           // the case is read, the run begins
    std::function<void(const WavePeriodDone&)> wavePeriod;  // after each wave period
    std::function<void(const IntervalDone&)> interval;      // after each interval's files
    std::function<void(const std::string&)> warning;        // a warning that does not stop the run
    std::function<void(double)> progress;                   // flow part of the interval done, 0 to 1
    std::function<void()> caseFinished;                     // the time span is done
};

// The state of the random sequence of irregular wave heights: a run continues the sequence
// it is given and leaves it where its last interval drew.
struct RandomState {
    uint64_t value = 0x853c49e6748fea9bULL;  // the sequence's fixed start
    // The state n draws further on.
    RandomState after(long n) const;
    bool operator==(const RandomState&) const = default;
};

// A point where the run records time series (gauges.nc, gauges.csv, gauges_intervals.csv,
// Run::gaugeSeries): x, y in metres, the positions the result files use for cell centres.
struct Gauge {
    std::string name;
    double x = 0, y = 0;
};

// Where the case lies on the map: the coordinate reference system (WKT or "EPSG:n"), the
// map position of the first interior cell's centre and the angle (degrees anticlockwise)
// from the map's x axis to the grid's X axis. Written by littoral-case.
struct Georeference {
    std::string crs;
    double originX = 0, originY = 0, rotation = 0;
};

struct RunOptions {
    int threads = 0;          // threads of the computation; 0: LITTORAL_THREADS, else one per core
    bool writeFiles = true;   // the echo and result files; false: the run writes nothing
    bool csv = true;          // surferN.csv of every interval
    bool netcdf = false;      // results.nc
    RunEvents events;
    RandomState random;       // where the irregular heights continue (default: the sequence's start)
    SlabLink* processes = nullptr;  // littoral-mpi's link; nullptr: this process computes every row

    // Output control: field files only for output numbers divisible by outputEvery and for
    // the last interval; means: the mean and maximum fields since the previous written one.
    int outputEvery = 1;
    bool means = false;
    // Morphological acceleration: each interval's bed change times morfac, none before the
    // model time morstart (s).
    double morfac = 1.0;
    double morstart = 0.0;
    // Absorbing wave input: the wave input cells on the sides of the grid generate the
    // incident wave and let out what the domain sends back (reflection from the shore, the
    // change of the waves over the set-up and currents), instead of sending it back again.
    // For long runs over a reflecting coast; its incident direction is exact at whole
    // quarter turns (180 degrees: no wave number along the side). Default: the input cells
    // carry the incident wave alone.
    bool absorbingInput = false;
    // Balanced wave force: the wave force enters the flow through the cell faces together
    // with the bed slope (upwinded as it is), so that the set-up balancing it stands with
    // the water at rest instead of with small standing currents in every cell. Default: the
    // wave force is a source of each cell.
    bool balancedWaveForce = false;
    // Mean currents: each wave period (and the sediment transport of its steps) sees the
    // current averaged over the flow of the interval before instead of the current at its
    // end, so that the flow's oscillations of shorter period are not taken as a current.
    // The result files keep the current at the interval's end. Default: the current at the end.
    bool meanCurrents = false;
    // Restart: checkpoint.nc in the output folder after every checkpointEvery-th interval and
    // after the last (0: never); resume continues from the output folder's checkpoint (from the
    // beginning, with a warning, when there is none), the result files the same as one
    // uninterrupted run's. A resume whose inputs, result options or program version differ
    // from the checkpoint's is refused naming them; only the end time may change (a later one
    // extends a finished run). Both need netCDF (netcdfAvailable).
    int checkpointEvery = 0;
    bool resume = false;
    // Before the run writes, an earlier run's files in its output folder are moved into
    // previous-<start>/ (not when resuming); false writes over them instead (for a run that
    // repeats a discarded attempt of itself).
    bool setAsideEarlierRun = true;
    std::vector<Gauge> gauges;
    std::optional<Georeference> georeference;  // the netCDF results placed on the map
    // Where each option above was set: its key in the options file ("output.every") and
    // where it came from ("beach.toml", "command line"); an option not listed has its default.
    // Together with optionsFile it decides what 0options.txt and the netCDF files say.
    std::map<std::string, std::string> setBy;
    std::string optionsFile;  // the options file applied ("" when none)
};

// The options file beside a control file, named after it (beach.toml for beachcnt.txt):
// what it sets, each unset field left empty. InputError names the file, the key and what
// was expected.
struct OptionsFile {
    std::string path;                 // "" when the case has no options file
    std::optional<int> outputEvery;
    std::optional<bool> means;
    std::optional<double> morfac, morstart;
    std::optional<bool> absorbingInput;     // [waves] absorbing_input
    std::optional<bool> balancedWaveForce;  // [flow] balanced_wave_force
    std::optional<bool> meanCurrents;       // [waves] mean_currents
    std::optional<int> checkpointEvery;
    std::optional<bool> resume;
    std::vector<Gauge> gauges;
    std::optional<bool> keepOpen;     // [desktop] keep_open
    std::optional<Georeference> georeference;
};
// The options file a control file has beside it: name.toml for namecnt.txt (else the control
// file's name with .toml in place of its extension), whether it exists or not.
std::string optionsFilePath(const std::string& controlFile);
OptionsFile readOptionsFile(const std::string& controlFile);
// The options with what the file sets in place of the defaults (a command line applied
// afterwards wins over the file).
void applyOptionsFile(const OptionsFile& file, RunOptions& options);

// What a run has recorded at its gauges (RunOptions::gauges), from its first interval to
// its last finished one. Each gauge sits at the interior cell whose centre lies nearest its
// position. The tables are time outer, gauge inner: eta[k * gauges.size() + g] is gauge g's
// surface at waveTime[k], wavH[n * gauges.size() + g] its wave height at time[n].
struct GaugeSeries {
    struct Point {
        std::string name;
        double x = 0, y = 0;            // the cell's centre (m), as the result files place it
        double xAsked = 0, yAsked = 0;  // the position asked for (m)
        int i = 0, j = 0;               // the cell, in the case's indices
        int column = 0, row = 0;        // ... and as a Field's (i, j)
    };
    std::vector<Point> gauges;
    std::vector<double> waveTime;  // model time of each wave step's surface (s)
    std::vector<float> eta;        // surface elevation (m)
    std::vector<double> time;      // model time at each interval's end (s)
    std::vector<int> outputNumber;
    std::vector<float> wavH, setup, lfu, lfv, theta;  // m, m, m/s, m/s, rad
};

struct Interval {
    int number = -1;   // output number of the last finished interval (-1: none yet)
    double time = 0;   // its end (model time, s)
};

// A case running: each advance() computes one output interval (bed change, one wave period,
// the flow to the interval's end, the checks, the files).
class Run {
public:
    Run(const Case& c, const RunOptions& options = {});
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    // One output interval; false once the time span is done or a stop was asked for (the
    // files written so far are complete). Throws RunError or InputError.
    bool advance();
    const Interval& interval() const;
    bool finished() const;
    bool stopped() const;
    // A field of the last interval by its column or netCDF name ("wavH", "setup", "lfu",
    // "_dep" or "bed_level", ...); std::out_of_range for an unknown name.
    Field field(const std::string& name) const;
    // The series recorded at the gauges so far (empty without gauges); kept when the run
    // writes no files too.
    GaugeSeries gaugeSeries() const;
    // Asks the run to end at its next step; may be called from any thread.
    void requestStop();
    // The random sequence of the irregular heights as the run has left it.
    RandomState random() const;
    const Case& runCase() const;

    struct State;

private:
    std::unique_ptr<State> s_;
    friend void addObserver(Run&, RunHost&);
    friend void removeObserver(Run&, RunHost&);
};

// The whole case: a Run advanced to its end.
void runToEnd(const Case& c, const RunOptions& options = {});

// ---- for programs ----
// The thread count of runs whose options leave it at 0: n <= 0 means one per core.
void setDefaultThreads(int n);
int defaultThreads();
// The count the environment variable LITTORAL_THREADS asks for, 0 when it is unset or empty;
// a std::runtime_error naming the variable when it is not a whole number from 1 to 4096.
int threadsFromEnvironment();
// A count given as text (an option's value): a whole number from 1 to 4096, or a
// std::runtime_error naming `what`.
int parseThreadCount(const std::string& text, const std::string& what);
// Whether results.nc can be written (the library was built with netCDF), and the message
// for an option asking for it when it cannot.
bool netcdfAvailable();
std::string netcdfUnavailableMessage(const std::string& option);

// The engine's version ("0.1").
const char* version();

}  // namespace littoral
