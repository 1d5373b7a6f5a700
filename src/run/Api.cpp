// The library's public API (include/littoral/littoral.h) over the driver: a Case is the
// control file and the facts its files give, checked when it is read; a Run holds the model
// state of one case and advances it interval by interval through CaseDriver, its reports
// turned into the API's events.
#include "littoral/littoral.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <optional>

#include "core/Error.h"
#include "core/Model.h"
#include "core/Parallel.h"
#include "input/CaseInput.h"
#include "output/FieldTable.h"
#include "output/ResultFiles.h"
#include "run/ApiAccess.h"
#include "run/AppPaths.h"
#include "run/CaseFiles.h"
#include "run/MainLoop.h"
#include "run/Options.h"
#include "run/RunCase.h"
#include "waves/WaveField.h"

#ifndef LITTORAL_VERSION
#define LITTORAL_VERSION "0.1"
#endif

namespace littoral {

struct Case::Facts {
    std::string cntPath, dataDir, outBase, outDir;
    int nx = 0, ny = 0, iFirst = 1, jFirst = 1;
    double dx = 0, dy = 0, tStart = 0, tEnd = 0, period = 0;
    long intervals = 0, draws = 0;
    // The model as read, handed to the case's first Run (which then reads nothing again).
    mutable std::mutex lock;
    mutable std::unique_ptr<Model> model;
};

namespace {

// The file a stop names: the text before its first ": ".
std::string fileOf(const std::string& message) {
    const size_t at = message.find(": ");
    return at == std::string::npos ? std::string() : message.substr(0, at);
}

[[noreturn]] void raiseInput(const StopError& e) {
    if (const auto* s = dynamic_cast<const InputStop*>(&e)) throw InputError(e.what(), s->file(), s->field(), s->line());
    throw InputError(e.what(), fileOf(e.what()), "", 0);
}

// Runs part, a fault of the case's input raised as InputError.
template <class F>
auto asInput(F&& part) -> decltype(part()) {
    try {
        return part();
    } catch (const StopError& e) {
        raiseInput(e);
    }
}

}  // namespace

Case Case::read(const std::string& controlFile) {
    return asInput([&] {
        const CasePaths p = locateCase(controlFile);
        // The files are read into a model of their own and checked as a run reads them; the
        // output folder is neither made nor touched.
        Model m;
        m.cntPath = p.cntPath;
        m.dataDir = p.dataDir;
        m.outBase = p.outBase;
        m.filesWanted = false;
        readControlFile(m);
        readDepthFile(m);
        readBoundaryFile(m);
        scaleFlow(m, m.hMax);
        auto f = std::make_shared<Facts>();
        f->cntPath = m.cntPath;
        f->dataDir = m.dataDir;
        f->outBase = m.outBase;
        f->outDir = m.outDir;
        f->nx = m.ixEnd - m.ixStart + 1;
        f->ny = m.jyEnd - m.jyStart + 1;
        f->iFirst = m.ixStart;
        f->jFirst = m.jyStart;
        f->dx = m.dx;
        f->dy = m.dy;
        f->tStart = m.tStart;
        f->tEnd = m.tEnd;
        f->period = m.waveT0;
        f->intervals = static_cast<long>(intervalCount(m));
        f->draws = m.hmaxIrr > 0 ? f->intervals : 0;
        f->model = std::make_unique<Model>(std::move(m));
        return Case(f);
    });
}

Case Case::fromInputs(const CaseInputs& inputs) {
    const std::string cnt = asInput([&] { return writeCaseFiles(inputs); });
    return read(cnt);
}

const std::string& Case::controlFile() const { return facts_->cntPath; }
const std::string& Case::outputFolder() const { return facts_->outDir; }
int Case::nx() const { return facts_->nx; }
int Case::ny() const { return facts_->ny; }
int Case::firstCellX() const { return facts_->iFirst; }
int Case::firstCellY() const { return facts_->jFirst; }
double Case::dx() const { return facts_->dx; }
double Case::dy() const { return facts_->dy; }
double Case::startTime() const { return facts_->tStart; }
double Case::endTime() const { return facts_->tEnd; }
double Case::wavePeriod() const { return facts_->period; }
long Case::intervals() const { return facts_->intervals; }
long Case::randomDraws() const { return facts_->draws; }

std::string Case::outputFolderOf(const std::string& controlFile) {
    try {
        const CasePaths p = locateCase(controlFile);
        Model m;
        m.cntPath = p.cntPath;
        m.dataDir = p.dataDir;
        m.outBase = p.outBase;
        readControlNames(m);
        return m.outDir;
    } catch (const std::exception&) {
        return "";
    }
}

const std::vector<FieldInfo>& resultFields() {
    static const std::vector<FieldInfo> fields = [] {
        std::vector<FieldInfo> v;
        for (const ResultField& f : kResultFields) v.push_back({f.column, f.name, f.units, f.longName});
        return v;
    }();
    return fields;
}

const char* version() { return LITTORAL_VERSION; }

// threadsFromEnvironment, parseThreadCount (core/Parallel.cpp), netcdfAvailable and
// netcdfUnavailableMessage (output/ResultFiles.cpp) are the engine's own.
void setDefaultThreads(int n) { setThreadCount(n); }
int defaultThreads() { return threadCount(); }

namespace {

// The interior of g (whole on this process) as a view.
Field interiorOf(const Model& m, const Grid& g) {
    if (g.empty()) return {};
    return Field(g.at(m.ixStart, m.jyStart), m.ixEnd - m.ixStart + 1, m.jyEnd - m.jyStart + 1,
                 static_cast<std::ptrdiff_t>(g.iHi() - g.iLo() + 1));
}

// The driver's reports as the API's events, and to the observers the project's own
// front-end pieces attach (ApiAccess.h).
class EventHost : public RunHost {
public:
    EventHost(const RunEvents& e, const Case& c) : e_(e), case_(c) {}
    std::vector<RunHost*> observers;

    void progressLine(const std::string& line) override {
        for (RunHost* o : observers) o->progressLine(line);
        if (!e_.wavePeriod) return;
        period_.line = line;
        e_.wavePeriod(period_);
    }
    void periodDone(double seconds) override {
        for (RunHost* o : observers) o->periodDone(seconds);
        period_.time = seconds;
        period_.periods = waveT0_ > 0 ? static_cast<long>(std::floor(seconds / waveT0_ + 0.5)) : 0;
    }
    void caseStarted(const std::string& cnt) override {
        for (RunHost* o : observers) o->caseStarted(cnt);
    }
    void showPlotWindows(const Model& m) override {
        for (RunHost* o : observers) o->showPlotWindows(m);
        waveT0_ = m.waveT0;
        if (e_.caseStarted) e_.caseStarted(case_);
    }
    void runStarted(const Model& m) override {
        for (RunHost* o : observers) o->runStarted(m);
    }
    void plotxy(const Model& m, const std::string& outfile, const Grid& dataxy, float aaa, float mininp,
                float maxinp) override {
        for (RunHost* o : observers) o->plotxy(m, outfile, dataxy, aaa, mininp, maxinp);
        if (!e_.wavePeriod) return;
        period_.surface = m.slabs().rank() == 0 ? interiorOf(m, dataxy) : Field();
        period_.low = mininp;
        period_.high = maxinp;
    }
    void graphUVEta(const Model& m, const Grid& fx, const Grid& fy, float bbb, const Grid& eta, float aaa,
                    float mininp, float maxinp) override {
        for (RunHost* o : observers) o->graphUVEta(m, fx, fy, bbb, eta, aaa, mininp, maxinp);
        if (!e_.interval || m.slabs().rank() != 0) return;
        // The level in metres above the tide, as the graph window draws it.
        m.keepGrid(level_);
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j)
            for (int32_t i = m.ixStart; i <= m.ixEnd; ++i)
                level_(i, j) = static_cast<float>(static_cast<double>(eta(i, j)) * aaa - m.tideLevel);
        interval_.setup = interiorOf(m, level_);
        interval_.low = mininp;
        interval_.high = maxinp;
    }
    void intervalDone(const Model& m, int n, double seconds) override {
        for (RunHost* o : observers) o->intervalDone(m, n, seconds);
        if (!e_.interval) return;
        interval_.number = n;
        interval_.time = seconds;
        e_.interval(interval_);
    }
    void runFinished(const Model& m) override {
        for (RunHost* o : observers) o->runFinished(m);
        if (e_.caseFinished) e_.caseFinished();
    }
    void warning(const std::string& text) override {
        for (RunHost* o : observers) o->warning(text);
        if (e_.warning) e_.warning(text);
    }
    void intervalProgress(double fraction) override {
        for (RunHost* o : observers) o->intervalProgress(fraction);
        if (e_.progress) e_.progress(fraction);
    }

private:
    const RunEvents& e_;
    const Case& case_;
    double waveT0_ = 0;
    WavePeriodDone period_;
    IntervalDone interval_;
    Grid level_;
};

}  // namespace

struct Run::State {
    State(const Case& c, const RunOptions& o) : theCase(c), options(o), host(options.events, theCase) {}
    Case theCase;
    RunOptions options;
    EventHost host;
    Model m;
    std::atomic<bool> stop{false};
    std::optional<CaseDriver> driver;
    bool started = false, finished = false, stopped = false;
    bool inputRead = false;  // the model came read from the case
    Interval interval;
    mutable Grid negated[kResultFieldCount];  // the fields written negated, for field()
};

Run::Run(const Case& c, const RunOptions& options)
    : s_((checkRunOptions(options), std::make_unique<State>(c, options))) {
    Model& m = s_->m;
    const Case::Facts& f = *c.facts_;
    // The first run of a case on one process takes the grids the case read (a split case
    // reads its own rows).
    if (!options.processes || options.processes->ranks() == 1) {
        const std::lock_guard<std::mutex> hold(f.lock);
        if (f.model) {
            m = std::move(*f.model);
            f.model.reset();
            s_->inputRead = true;
        }
    }
    m.cntPath = f.cntPath;
    m.dataDir = f.dataDir;
    m.outBase = f.outBase;
    m.filesWanted = options.writeFiles;
    m.csvResults = options.csv;
    m.netcdfResults = options.netcdf;
    m.outputEvery = options.outputEvery;
    m.meanFields = options.means;
    m.continuesRun = options.resume || !options.setAsideEarlierRun;
    m.morfac = options.morfac;
    m.morstart = options.morstart;
    m.absorbingInput = options.absorbingInput;
    m.balancedWaveForce = options.balancedWaveForce;
    m.meanCurrents = options.meanCurrents;
    m.optionsEcho = optionLines(options);
    m.link = options.processes;
    if (options.georeference)
        m.map = {options.georeference->crs, options.georeference->originX, options.georeference->originY,
                 options.georeference->rotation};
    m.gaugeSites.clear();
    for (const Gauge& g : options.gauges) m.gaugeSites.push_back({g.name, g.x, g.y});
    if (const auto it = options.setBy.find("gauge"); it != options.setBy.end() && it->second != "command line")
        m.gaugesSetBy = it->second;
    m.stopRequest = &s_->stop;
    m.checkpointEvery = options.checkpointEvery;
    m.resume = options.resume;
    m.resultOptions = resultOptionTexts(options);
    if (options.resume && !options.writeFiles)
        throw std::invalid_argument("resume continues from the checkpoint in the output folder: expected writeFiles");
    if ((options.checkpointEvery > 0 || options.resume) && !netcdfAvailable())
        throw std::invalid_argument(netcdfUnavailableMessage(options.resume ? "checkpoint.resume" : "checkpoint.every"));
    m.rnd = RandomSequence::fromState(options.random.value);
    if (!options.writeFiles && options.processes && options.processes->ranks() > 1)
        throw std::invalid_argument("a case split over processes writes its files: expected writeFiles");
    if (options.netcdf && !netcdfAvailable()) throw std::invalid_argument(netcdfUnavailableMessage("netcdf"));
    if (options.outputEvery < 1)
        throw std::invalid_argument("outputEvery is " + std::to_string(options.outputEvery) +
                                    ": expected a whole number of 1 or more (1: every interval's files)");
}

Run::~Run() = default;

bool Run::advance() {
    State& s = *s_;
    if (s.finished) return false;
    std::optional<ThreadCountScope> threads;
    if (s.options.threads > 0) threads.emplace(s.options.threads);
    try {
        if (!s.started) {
            s.started = true;
            s.driver.emplace(s.m, s.host);
            try {
                s.driver->start(s.inputRead);
            } catch (const StopError& e) {
                raiseInput(e);
            }
        }
        if (s.driver->advance()) {
            s.interval.number = static_cast<int>(s.driver->loop().number());
            s.interval.time = s.driver->loop().endSeconds();
            return true;
        }
        s.driver->finish();
        s.finished = true;
        s.driver.reset();
        return false;
    } catch (const RunAborted&) {
        s.finished = s.stopped = true;
        s.driver.reset();
        return false;
    } catch (const InputError&) {
        s.finished = true;
        s.driver.reset();
        throw;
    } catch (const StopError& e) {
        s.finished = true;
        s.driver.reset();
        throw RunError(e.what());
    } catch (...) {
        s.finished = true;
        s.driver.reset();
        throw;
    }
}

const Interval& Run::interval() const { return s_->interval; }
bool Run::finished() const { return s_->finished; }
bool Run::stopped() const { return s_->stopped; }
void Run::requestStop() { s_->stop.store(true); }
const Case& Run::runCase() const { return s_->theCase; }

RandomState Run::random() const { return {s_->m.rnd.state()}; }

RandomState RandomState::after(long n) const {
    RandomSequence r = RandomSequence::fromState(value);
    r.skip(n);
    return {r.state()};
}

Field Run::field(const std::string& name) const {
    const Model& m = s_->m;
    for (const ResultField& f : kResultFields) {
        if (name != f.column && name != f.name) continue;
        if (m.slabs().ranks() > 1)
            throw std::logic_error("the field " + name + " of a case split over processes is held by every process in parts");
        const Grid& g = m.*f.grid;
        if (!f.negated) return interiorOf(m, g);
        if (g.empty()) return {};
        Grid& out = s_->negated[static_cast<size_t>(&f - kResultFields)];
        m.keepGrid(out);
        for (int32_t j = m.jyStart; j <= m.jyEnd; ++j)
            for (int32_t i = m.ixStart; i <= m.ixEnd; ++i) out(i, j) = -g(i, j);
        return interiorOf(m, out);
    }
    throw std::out_of_range("no result field is named \"" + name + "\"");
}

GaugeSeries Run::gaugeSeries() const {
    const Model& m = s_->m;
    const GaugeRecord& r = m.gaugeRecord;
    GaugeSeries out;
    for (size_t g = 0; g < r.cells.size() && g < m.gaugeSites.size(); ++g) {
        const GaugeRecord::Cell& c = r.cells[g];
        out.gauges.push_back({m.gaugeSites[g].name, c.x, c.y, m.gaugeSites[g].x, m.gaugeSites[g].y, c.i, c.j,
                              c.i - m.ixStart, c.j - m.jyStart});
    }
    out.waveTime = r.waveTime;
    out.eta = r.eta;
    out.time = r.time;
    out.outputNumber.assign(r.number.begin(), r.number.end());
    out.wavH = r.wavH;
    out.setup = r.setup;
    out.lfu = r.lfu;
    out.lfv = r.lfv;
    out.theta = r.theta;
    return out;
}

void addObserver(Run& run, RunHost& observer) { run.s_->host.observers.push_back(&observer); }

void removeObserver(Run& run, RunHost& observer) {
    auto& v = run.s_->host.observers;
    v.erase(std::remove(v.begin(), v.end(), &observer), v.end());
}

void runToEnd(const Case& c, const RunOptions& options) {
    Run run(c, options);
    while (run.advance()) {
    }
}

}  // namespace littoral
