// The Python module's compiled part, littoral._littoral: cases, runs and their fields over
// the engine's public API. The package littoral (littoral/__init__.py) adds the parts
// written in Python (the progress bar, xarray datasets, cases from arrays).
//
// The engine computes with the interpreter lock released; the run's events take it back to
// call the Python callbacks, and look for Ctrl-C between the flow steps.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "littoral/littoral.h"
#ifdef LITTORAL_PYTHON_CASEBUILDER
#include "littoral/casebuilder.h"
#endif

namespace py = pybind11;
using namespace littoral;

namespace {

PyObject* inputErrorType = nullptr;
PyObject* runErrorType = nullptr;

// InputError as the Python exception littoral.InputError (a ValueError) with the file, the
// field and the line as attributes.
void raiseInputError(const InputError& e) {
    py::object type = py::reinterpret_borrow<py::object>(inputErrorType);
    py::object exc = type(py::str(e.what()));
    exc.attr("file") = py::str(e.file());
    exc.attr("field") = py::str(e.field());
    exc.attr("line") = py::int_(e.line());
    PyErr_SetObject(inputErrorType, exc.ptr());
}

// A read-only float32 (ny, nx) view of a field, kept valid by `base` (the run that holds it).
py::object fieldArray(const Field& f, py::handle base) {
    if (f.empty()) return py::none();
    const auto fs = static_cast<py::ssize_t>(sizeof(float));
    py::array a(py::dtype::of<float>(), {static_cast<py::ssize_t>(f.ny()), static_cast<py::ssize_t>(f.nx())},
                {static_cast<py::ssize_t>(f.rowStride()) * fs, fs}, f.row(0), base);
    py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return std::move(a);
}

// A grid with its ghost ring ((nx + 2) x (ny + 2), i fastest) as a (ny + 2, nx + 2) array.
template <class T>
py::array_t<T> ringArray(const std::vector<T>& v, int nx, int ny) {
    py::array_t<T> a({ny + 2, nx + 2});
    if (v.size() == static_cast<size_t>(nx + 2) * static_cast<size_t>(ny + 2))
        std::copy(v.begin(), v.end(), a.mutable_data());
    else
        std::fill(a.mutable_data(), a.mutable_data() + a.size(), T{});
    return a;
}

template <class T>
std::vector<T> ringVector(const py::array& in, const char* what) {
    auto a = py::array_t<T, py::array::c_style | py::array::forcecast>::ensure(in);
    if (!a || a.ndim() != 2)
        throw py::value_error(std::string(what) + ": expected a two-dimensional array (ny + 2, nx + 2)");
    return std::vector<T>(a.data(), a.data() + a.size());
}

struct PyInterval {
    int number = -1;
    double time = 0;
};

// A run with its Python callbacks. The events run on the thread that advances the run,
// without the interpreter lock; each takes it for the callback. An exception a callback
// raises (KeyboardInterrupt included) stops the run and is raised from advance().
class PyRun {
public:
    PyRun(const Case& c, RunOptions o, py::object onWavePeriod, py::object onProgress, py::object onInterval,
          py::object onWarning)
        : onWavePeriod_(std::move(onWavePeriod)),
          onProgress_(std::move(onProgress)),
          onInterval_(std::move(onInterval)),
          onWarning_(std::move(onWarning)) {
        RunEvents& e = o.events;
        if (!onWavePeriod_.is_none())
            e.wavePeriod = [this](const WavePeriodDone& w) {
                call([&] {
                    onWavePeriod_(fieldArray(w.surface, self_), w.low, w.high, w.time);
                });
            };
        if (!onInterval_.is_none())
            e.interval = [this](const IntervalDone& d) {
                call([&] {
                    onInterval_(PyInterval{d.number, d.time}, fieldArray(d.setup, self_));
                });
            };
        if (!onWarning_.is_none())
            e.warning = [this](const std::string& text) { call([&] { onWarning_(py::str(text)); }); };
        // Between the flow steps: the progress callback, and Ctrl-C looked for every 50 ms.
        e.progress = [this](double fraction) {
            const auto now = std::chrono::steady_clock::now();
            if (onProgress_.is_none() && now - lastCheck_ < std::chrono::milliseconds(50)) return;
            lastCheck_ = now;
            call([&] {
                if (PyErr_CheckSignals() != 0) throw py::error_already_set();
                if (!onProgress_.is_none()) onProgress_(fraction);
            });
        };
        run_ = std::make_unique<Run>(c, o);
        // A warning callback may raise while the run is set up.
        if (failed_) {
            py::error_already_set e = std::move(*failed_);
            failed_.reset();
            throw e;
        }
    }

    // The Python object of this run: the base of the field views.
    void bind(py::handle self) { self_ = self; }

    bool advance() {
        if (busy_) throw std::runtime_error("the run is advanced already (by another thread)");
        busy_ = true;
        bool more = false;
        try {
            py::gil_scoped_release free;
            more = run_->advance();
        } catch (...) {
            busy_ = false;
            failed_.reset();
            throw;
        }
        // A Ctrl-C that came after the interval's last look for it comes out of this advance,
        // not out of whatever Python code runs next.
        if (!failed_ && more && PyErr_CheckSignals() != 0) failed_.emplace();
        if (failed_) {
            // The interval is done; the run stops before the next one (its callbacks stay
            // silent while failed_ is set), its files complete.
            if (more) {
                run_->requestStop();
                try {
                    py::gil_scoped_release free;
                    run_->advance();
                } catch (...) {
                }
            }
            busy_ = false;
            py::error_already_set e = std::move(*failed_);
            failed_.reset();
            throw e;
        }
        busy_ = false;
        return more;
    }

    Run& run() { return *run_; }
    bool busy() const { return busy_; }

private:
    template <class F>
    void call(F&& f) {
        if (failed_) return;
        py::gil_scoped_acquire hold;
        try {
            f();
        } catch (py::error_already_set& e) {
            failed_.emplace(std::move(e));
            if (run_) run_->requestStop();
        }
    }

    py::object onWavePeriod_, onProgress_, onInterval_, onWarning_;
    py::handle self_;
    std::unique_ptr<Run> run_;
    std::optional<py::error_already_set> failed_;
    std::chrono::steady_clock::time_point lastCheck_{};
    bool busy_ = false;
};

RunOptions makeOptions(int threads, bool writeFiles, bool csv, bool netcdf, int outputEvery, bool means,
                       double morfac, double morstart, int checkpointEvery, bool resume, const py::object& gauges,
                       const py::object& georeference, bool optionsFile, bool absorbingInput, bool meanCurrents,
                       bool balancedWaveForce, const Case& c) {
    RunOptions o;
    if (optionsFile) applyOptionsFile(readOptionsFile(c.controlFile()), o);
    if (threads < 0) throw py::value_error("threads: expected 0 (the default count) or more");
    o.threads = threads;
    o.writeFiles = writeFiles;
    o.csv = csv;
    o.netcdf = netcdf;
    // Keywords given explicitly win over the options file.
    const auto set = [&](const char* key, bool given) {
        if (given) o.setBy[key] = "the run's keyword arguments";
    };
    if (outputEvery != 1) o.outputEvery = outputEvery, set("output.every", true);
    if (means) o.means = true, set("output.means", true);
    if (morfac != 1.0) o.morfac = morfac, set("morphology.morfac", true);
    if (morstart != 0.0) o.morstart = morstart, set("morphology.start", true);
    if (checkpointEvery != 0) o.checkpointEvery = checkpointEvery, set("checkpoint.every", true);
    if (resume) o.resume = true, set("checkpoint.resume", true);
    if (absorbingInput) o.absorbingInput = true, set("waves.absorbing_input", true);
    if (meanCurrents) o.meanCurrents = true, set("waves.mean_currents", true);
    if (balancedWaveForce) o.balancedWaveForce = true, set("flow.balanced_wave_force", true);
    if (!gauges.is_none()) {
        o.gauges.clear();
        for (py::handle g : gauges) {
            py::dict d = py::reinterpret_borrow<py::dict>(g);
            if (!PyDict_Check(g.ptr())) throw py::type_error("gauges: expected dicts with name, x and y");
            if (!d.contains("x") || !d.contains("y")) throw py::value_error("gauges: each gauge needs x and y (m)");
            Gauge k;
            k.name = d.contains("name") ? py::str(d["name"]).cast<std::string>()
                                        : "gauge " + std::to_string(o.gauges.size() + 1);
            k.x = d["x"].cast<double>();
            k.y = d["y"].cast<double>();
            o.gauges.push_back(k);
        }
        set("gauge", true);
    }
    if (!georeference.is_none()) {
        py::dict d = py::reinterpret_borrow<py::dict>(georeference);
        if (!PyDict_Check(georeference.ptr())) throw py::type_error("georeference: expected a dict");
        Georeference g;
        if (d.contains("crs")) g.crs = d["crs"].cast<std::string>();
        if (d.contains("origin_x")) g.originX = d["origin_x"].cast<double>();
        if (d.contains("origin_y")) g.originY = d["origin_y"].cast<double>();
        if (d.contains("rotation")) g.rotation = d["rotation"].cast<double>();
        o.georeference = g;
    }
    return o;
}

}  // namespace

PYBIND11_MODULE(_littoral, m) {
    m.doc() = "Littoral's engine: cases, runs interval by interval, fields as numpy arrays";

    inputErrorType = PyErr_NewExceptionWithDoc(
        "littoral.InputError",
        "A case file that cannot be read or holds a value the model cannot use.\n\n"
        "Attributes: file (the file at fault), field (the field or key, or ''), line (0 where none applies).",
        PyExc_ValueError, nullptr);
    runErrorType = PyErr_NewExceptionWithDoc(
        "littoral.RunError",
        "A run that stopped after it began (a numerical dead end, a failed write); the files of the "
        "finished intervals are complete.",
        PyExc_RuntimeError, nullptr);
    m.attr("InputError") = py::handle(inputErrorType);
    m.attr("RunError") = py::handle(runErrorType);
    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const InputError& e) {
            raiseInputError(e);
        } catch (const RunError& e) {
            PyErr_SetString(runErrorType, e.what());
        } catch (const std::bad_alloc&) {
            PyErr_SetString(PyExc_MemoryError, "the memory ran out");
        }
    });

    m.def("version", &version, "The engine's version.");
    m.def("netcdf_available", &netcdfAvailable, "Whether results.nc can be written (the engine has netCDF).");
    m.def("default_threads", &defaultThreads, "The thread count of runs that leave threads at 0.");
    m.def("set_default_threads", &setDefaultThreads, py::arg("n"),
          "Sets the thread count of runs that leave threads at 0 (n <= 0: one per core).");
    m.def(
        "result_fields",
        [] {
            py::list out;
            for (const FieldInfo& f : resultFields())
                out.append(py::make_tuple(f.column, f.name, f.units, f.longName));
            return out;
        },
        "The result fields in the order of the result files' columns: (column, name, units, long name).");

    py::class_<CaseInputs>(m, "CaseInputs",
                           "The inputs of a case built in memory: the grid with its ghost ring, the coefficients, "
                           "the incident wave and the tide table, as the case files hold them.")
        .def(py::init<>())
        .def_readwrite("name", &CaseInputs::name, "the output folder's name below output/")
        .def_readwrite("data_folder", &CaseInputs::dataFolder, "where the case files are written")
        .def_readwrite("nx", &CaseInputs::nx)
        .def_readwrite("ny", &CaseInputs::ny)
        .def_readwrite("dx", &CaseInputs::dx)
        .def_readwrite("dy", &CaseInputs::dy)
        .def_property(
            "depth", [](const CaseInputs& in) { return ringArray(in.depth, in.nx, in.ny); },
            [](CaseInputs& in, const py::array& a) { in.depth = ringVector<float>(a, "depth"); },
            "still-water depth (m, positive downwards), (ny + 2, nx + 2) with the ghost ring")
        .def_property(
            "codes", [](const CaseInputs& in) { return ringArray(in.codes, in.nx, in.ny); },
            [](CaseInputs& in, const py::array& a) { in.codes = ringVector<int32_t>(a, "codes"); },
            "boundary code of every cell, (ny + 2, nx + 2) with the ghost ring")
        .def_readwrite("latitude", &CaseInputs::latitude)
        .def_readwrite("friction", &CaseInputs::friction)
        .def_readwrite("breaking_ratio", &CaseInputs::breakingRatio)
        .def_readwrite("min_depth", &CaseInputs::minDepth)
        .def_readwrite("spare", &CaseInputs::spare)
        .def_readwrite("start_time", &CaseInputs::startTime)
        .def_readwrite("end_time", &CaseInputs::endTime)
        .def_readwrite("shields_critical", &CaseInputs::shieldsCritical)
        .def_readwrite("grain_size", &CaseInputs::grainSize)
        .def_readwrite("sediment_density", &CaseInputs::sedimentDensity)
        .def_readwrite("viscosity", &CaseInputs::viscosity)
        .def_readwrite("bedload_coef", &CaseInputs::bedloadCoef)
        .def_readwrite("suspended_coef", &CaseInputs::suspendedCoef)
        .def_readwrite("wave_code", &CaseInputs::waveCode)
        .def_readwrite("height", &CaseInputs::height)
        .def_readwrite("period", &CaseInputs::period)
        .def_readwrite("direction", &CaseInputs::direction)
        .def_readwrite("phase_i", &CaseInputs::phaseI)
        .def_readwrite("phase_j", &CaseInputs::phaseJ)
        .def_readwrite("groups", &CaseInputs::groups)
        .def_readwrite("group_amplitude", &CaseInputs::groupAmplitude)
        .def_readwrite("tide_level", &CaseInputs::tideLevel)
        .def_property(
            "tide_rows",
            [](const CaseInputs& in) {
                py::list out;
                for (const auto& r : in.tideRows) out.append(py::make_tuple(r.type, r.value1, r.value2));
                return out;
            },
            [](CaseInputs& in, const std::vector<std::tuple<int, double, double>>& rows) {
                in.tideRows.clear();
                for (const auto& [t, a, b] : rows) in.tideRows.push_back({t, a, b});
            },
            "rows of the flow boundary-condition table from code 17: (type, value 1, value 2)");

    // No dynamic attributes on the engine's classes: the Python part subclasses them where it
    // keeps more (an instance dict cleared during the base's deallocation can run Python
    // code while the dying object is still tracked by the garbage collector).
    py::class_<Case>(m, "Case", "A case: its control file and the files it names, read and checked.")
        .def(py::init<const Case&>(), py::arg("case"), "The same case (its files are read once more by a run).")
        .def_static("read", &Case::read, py::arg("control_file"),
                    "Reads and checks a control file and the files it names (InputError on a fault).")
        .def_static("from_inputs", &Case::fromInputs, py::arg("inputs"),
                    "Writes CaseInputs as the six case files into inputs.data_folder and reads them.")
        .def_property_readonly("control_file", &Case::controlFile)
        .def_property_readonly("output_folder", &Case::outputFolder, "where a run writes its files")
        .def_property_readonly("nx", &Case::nx, "interior cells along X")
        .def_property_readonly("ny", &Case::ny, "interior cells along Y")
        .def_property_readonly("dx", &Case::dx, "cell width in X (m)")
        .def_property_readonly("dy", &Case::dy, "cell width in Y (m)")
        .def_property_readonly("first_cell_x", &Case::firstCellX, "the case's index of the first interior cell in X")
        .def_property_readonly("first_cell_y", &Case::firstCellY, "the case's index of the first interior cell in Y")
        .def_property_readonly("start_time", &Case::startTime, "model time at the start (s)")
        .def_property_readonly("end_time", &Case::endTime, "model time at the end (s)")
        .def_property_readonly("wave_period", &Case::wavePeriod, "the wave period, also the output interval (s)")
        .def_property_readonly("intervals", &Case::intervals, "output intervals of a run of the whole span")
        .def_property_readonly("random_draws", &Case::randomDraws)
        .def("__repr__", [](const Case& c) {
            return "<littoral.Case " + c.controlFile() + ": " + std::to_string(c.nx()) + " x " +
                   std::to_string(c.ny()) + " cells, " + std::to_string(c.intervals()) + " intervals>";
        });

    py::class_<PyInterval>(m, "Interval", "One finished output interval: its output number and end time (s).")
        .def_readonly("number", &PyInterval::number, "output number of the interval's files")
        .def_readonly("time", &PyInterval::time, "model time at the interval's end (s)")
        .def("__repr__", [](const PyInterval& i) {
            return "Interval(number=" + std::to_string(i.number) + ", time=" + py::repr(py::float_(i.time)).cast<std::string>() + ")";
        });

    py::class_<PyRun>(m, "_Run", "The engine's run (see littoral.Run).")
        .def(py::init([](const Case& c, int threads, bool writeFiles, bool csv, bool netcdf, int outputEvery, bool means,
                         double morfac, double morstart, int checkpointEvery, bool resume, py::object gauges,
                         py::object georeference, bool optionsFile, bool absorbingInput, bool meanCurrents,
                         bool balancedWaveForce, py::object onWavePeriod, py::object onProgress,
                         py::object onInterval, py::object onWarning) {
                 RunOptions o = makeOptions(threads, writeFiles, csv, netcdf, outputEvery, means, morfac, morstart,
                                            checkpointEvery, resume, gauges, georeference, optionsFile, absorbingInput,
                                            meanCurrents, balancedWaveForce, c);
                 return new PyRun(c, std::move(o), onWavePeriod, onProgress, onInterval, onWarning);
             }),
             py::arg("case"), py::kw_only(), py::arg("threads") = 0, py::arg("write_files") = true,
             py::arg("csv") = true, py::arg("netcdf") = false, py::arg("output_every") = 1, py::arg("means") = false,
             py::arg("morfac") = 1.0, py::arg("morstart") = 0.0, py::arg("checkpoint_every") = 0,
             py::arg("resume") = false, py::arg("gauges") = py::none(), py::arg("georeference") = py::none(),
             py::arg("options_file") = true, py::arg("absorbing_input") = false, py::arg("mean_currents") = false,
             py::arg("balanced_wave_force") = false, py::arg("on_wave_period") = py::none(),
             py::arg("on_progress") = py::none(), py::arg("on_interval") = py::none(),
             py::arg("on_warning") = py::none())
        .def("_bind", [](PyRun& r, py::handle self) { r.bind(self); })
        .def("advance", &PyRun::advance,
             "Computes one output interval; False once the time span is done or a stop was asked for.")
        .def_property_readonly("interval",
                               [](PyRun& r) {
                                   const Interval& i = r.run().interval();
                                   return PyInterval{i.number, i.time};
                               },
                               "the last finished interval (number -1: none yet)")
        .def_property_readonly("finished", [](PyRun& r) { return r.run().finished(); })
        .def_property_readonly("stopped", [](PyRun& r) { return r.run().stopped(); })
        .def_property_readonly("case", [](PyRun& r) { return r.run().runCase(); })
        .def("request_stop", [](PyRun& r) { r.run().requestStop(); },
             "Asks the run to end at its next step; may be called from any thread.")
        .def(
            "field",
            [](py::object self, const std::string& name) {
                PyRun& r = self.cast<PyRun&>();
                if (r.busy()) throw std::runtime_error("field: the run is advancing in another thread");
                Field f;
                try {
                    f = r.run().field(name);
                } catch (const std::out_of_range& e) {
                    throw py::key_error(e.what());
                }
                py::object a = fieldArray(f, self);
                if (a.is_none()) throw std::runtime_error("the field " + name + " has no values yet");
                return a;
            },
            py::arg("name"),
            "The field `name` (a column or netCDF name) of the last interval: a read-only numpy float32 "
            "array (ny, nx) over the interior cells, without a copy. It keeps the run alive and is valid "
            "until the run advances; take .copy() to keep the values.");

#ifdef LITTORAL_PYTHON_CASEBUILDER
    m.def(
        "_build_case",
        [](const std::string& description) {
            BuiltCase b;
            {
                py::gil_scoped_release free;
                b = buildCase(description);
            }
            py::dict d;
            d["control_file"] = b.controlFile;
            d["options_file"] = b.optionsFile;
            d["report_file"] = b.reportFile;
            d["map_file"] = b.mapFile;
            d["report"] = b.report;
            d["warnings"] = b.warnings;
            return d;
        },
        py::arg("description"));
#endif
}
