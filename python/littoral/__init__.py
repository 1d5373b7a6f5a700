"""Littoral in Python: read or build a case, run it in-process, take its fields as numpy
arrays or an xarray Dataset.

    import littoral
    case = littoral.read_case("data/beachcnt.txt")
    run = littoral.Run(case, threads=2, write_files=False)
    for interval in run:                 # one output interval each
        h = run.field("wavH")            # numpy float32 (ny, nx), no copy
    ds = run.to_xarray()                 # the result fields over (y, x)

The engine computes with the interpreter lock released: runs in several Python threads go
side by side. Ctrl-C stops a run at its next step with KeyboardInterrupt.
"""

from __future__ import annotations

import os
import sys
import tempfile
from typing import Any, Callable, Dict, Iterable, List, Mapping, Optional, Sequence, Tuple, Union

import numpy as np

from . import _littoral
from ._littoral import Case, CaseInputs, InputError, Interval, RunError, version, netcdf_available

__all__ = [
    "BuiltCase", "Case", "CaseInputs", "InputError", "Interval", "Run", "RunError", "read_case", "run_case",
    "open_results", "open_gauges", "result_fields", "case_from_description", "version",
    "netcdf_available", "set_default_threads", "default_threads",
]

default_threads = _littoral.default_threads
set_default_threads = _littoral.set_default_threads


def result_fields() -> List[Tuple[str, str, str, str]]:
    """The result fields in the order of the result files' columns, each as
    (column, netCDF name, units, long name)."""
    return _littoral.result_fields()


def read_case(control_file: Union[str, os.PathLike]) -> Case:
    """Reads and checks a control file (namecnt.txt) and the five files it names.

    A bare name is looked up in the folder "data" beside the programs; results go below the
    folder "output" beside the control file's folder. Raises InputError (a ValueError with
    .file, .field and .line) on a fault.
    """
    return Case.read(os.fspath(control_file))


def _progress_bar(case: Case, progress: Optional[bool]):
    """A tqdm bar over the case's intervals, or None (tqdm missing, or not asked for)."""
    if progress is None:
        progress = sys.stderr is not None and hasattr(sys.stderr, "isatty") and sys.stderr.isatty()
    if not progress:
        return None
    try:
        from tqdm import tqdm
    except ImportError:
        return None
    return tqdm(total=case.intervals, unit="interval", desc=os.path.basename(case.output_folder.rstrip("/\\")) or "case",
                leave=True, dynamic_ncols=True)


class Run(_littoral._Run):
    """A case running in this process, one output interval at a time.

    Run(case, *, threads=0, write_files=True, csv=True, netcdf=False, output_every=1,
        means=False, morfac=1.0, morstart=0.0, checkpoint_every=0, resume=False,
        gauges=None, georeference=None, options_file=True, absorbing_input=False,
        mean_currents=False, balanced_wave_force=False, progress=None,
        on_wave_period=None, on_progress=None, on_interval=None, on_warning=None)

    threads: threads of the computation (0: LITTORAL_THREADS, else one per core).
    write_files: the echo files and result files, exactly as littoral-batch writes them,
        into case.output_folder; False: nothing is written.
    csv, netcdf: surferN.csv of every interval; results.nc.
    output_every, means, morfac, morstart, checkpoint_every, resume, gauges
        (a list of dict(name=..., x=..., y=...) in metres), georeference
        (dict(crs=..., origin_x=..., origin_y=..., rotation=...)): the options of the
        options file (name.toml); keywords given here win over the file's. Options this
        engine does not compute are refused with a ValueError before the run begins.
    options_file: apply the options file beside the control file, as littoral-batch does.
    absorbing_input, mean_currents, balanced_wave_force: the choices for long runs over a
        reflecting coast ([waves] absorbing_input and mean_currents, [flow]
        balanced_wave_force of the options file); True wins over the file.
    progress: a tqdm bar on stderr (default: when stderr is a terminal and tqdm is there).
    on_wave_period(surface, low, high, time): after each wave period, the surface
        elevation (m) as a read-only (ny, nx) view valid during the call, its colour
        range and the model time (s) of the period's start.
    on_progress(fraction): between the flow steps, the part of the interval done.
    on_interval(interval, setup): after each interval's files, the Interval and the mean
        water level above the tide (m) as a view valid during the call.
    on_warning(text): a warning that does not stop the run.

    Iterating over a run advances it: each item is the finished Interval (number, time).
    run.field(name) gives a field of the last interval without a copy; run.to_xarray() all
    of them. An exception raised by a callback stops the run and comes out of the advance.
    Errors: InputError (bad input, ValueError), RunError (a run that failed after it
    began, RuntimeError), KeyboardInterrupt (Ctrl-C; the files written so far stay complete).
    """

    def __init__(self, case: Case, *, threads: int = 0, write_files: bool = True, csv: bool = True,
                 netcdf: bool = False, output_every: int = 1, means: bool = False, morfac: float = 1.0,
                 morstart: float = 0.0, checkpoint_every: int = 0, resume: bool = False,
                 gauges: Optional[Sequence[Mapping[str, Any]]] = None,
                 georeference: Optional[Mapping[str, Any]] = None, options_file: bool = True,
                 absorbing_input: bool = False, mean_currents: bool = False,
                 balanced_wave_force: bool = False, progress: Optional[bool] = None,
                 on_wave_period: Optional[Callable[[np.ndarray, float, float, float], Any]] = None,
                 on_progress: Optional[Callable[[float], Any]] = None,
                 on_interval: Optional[Callable[[Interval, np.ndarray], Any]] = None,
                 on_warning: Optional[Callable[[str], Any]] = None) -> None:
        if not isinstance(case, Case):
            raise TypeError(f"Run: expected a littoral.Case, found {type(case).__name__}")
        self._bar = _progress_bar(case, progress)
        bar = self._bar
        if bar is not None:
            user_interval = on_interval

            def on_interval(interval, setup, _user=user_interval):
                bar.update(1)
                bar.set_postfix_str(f"t={interval.time:.0f} s", refresh=False)
                if _user is not None:
                    _user(interval, setup)
        super().__init__(case, threads=threads, write_files=write_files, csv=csv, netcdf=netcdf,
                         output_every=output_every, means=means, morfac=morfac, morstart=morstart,
                         checkpoint_every=checkpoint_every, resume=resume,
                         gauges=list(gauges) if gauges is not None else None,
                         georeference=dict(georeference) if georeference is not None else None,
                         options_file=options_file, absorbing_input=absorbing_input,
                         mean_currents=mean_currents, balanced_wave_force=balanced_wave_force,
                         on_wave_period=on_wave_period,
                         on_progress=on_progress, on_interval=on_interval, on_warning=on_warning)
        self._bind(self)
        self._case_object = case  # keeps a case built in a temporary folder alive

    def __iter__(self) -> "Run":
        return self

    def __next__(self) -> Interval:
        try:
            more = self.advance()
        except BaseException:
            self._close_bar()
            raise
        if not more:
            self._close_bar()
            raise StopIteration
        return self.interval

    def run_to_end(self) -> "Run":
        """Advances the run to the end of its time span (or a stop); returns the run."""
        for _ in self:
            pass
        return self

    def _close_bar(self) -> None:
        if self._bar is not None:
            self._bar.close()
            self._bar = None

    def fields(self) -> Dict[str, np.ndarray]:
        """Every result field of the last interval as copies, by netCDF name."""
        return {name: self.field(name).copy() for _, name, _, _ in result_fields()}

    def to_xarray(self):
        """The result fields of the last interval as an xarray Dataset over (y, x).

        x and y are the cell positions in metres the result files give ((i - 1) dx and
        (j - 1) dy for the case's cell indices); each variable carries its units, long name
        and the result files' column name. The values are copies.
        """
        import xarray as xr

        c = self.case
        x = (np.arange(c.nx) + (c.first_cell_x - 1)) * c.dx
        y = (np.arange(c.ny) + (c.first_cell_y - 1)) * c.dy
        data = {}
        for column, name, units, long_name in result_fields():
            data[name] = xr.DataArray(self.field(name).copy(), dims=("y", "x"),
                                      attrs={"units": units, "long_name": long_name, "column": column})
        ds = xr.Dataset(data, coords={
            "x": ("x", x, {"units": "m", "long_name": "X position of the cell (cell 1 at 0)"}),
            "y": ("y", y, {"units": "m", "long_name": "Y position of the cell (cell 1 at 0)"}),
        })
        it = self.interval
        ds.attrs.update({"output_number": it.number, "time": it.time, "control_file": c.control_file})
        return ds

    def __repr__(self) -> str:
        it = self.interval
        state = "finished" if self.finished else "running"
        return f"<littoral.Run {self.case.control_file}: interval {it.number} at {it.time:g} s, {state}>"


def run_case(case: Union[Case, str, os.PathLike], **options) -> Run:
    """Reads the case (a Case or a control file) and runs it to its end with the keyword
    options of Run; returns the finished run."""
    if not isinstance(case, Case):
        case = read_case(case)
    return Run(case, **options).run_to_end()


def _results_path(path: Union[str, os.PathLike], name: str) -> str:
    p = os.fspath(path)
    return os.path.join(p, name) if os.path.isdir(p) else p


def open_results(path: Union[str, os.PathLike]):
    """Opens results.nc (a file, or the output folder holding it) as an xarray Dataset."""
    import xarray as xr

    return xr.open_dataset(_results_path(path, "results.nc"))


def open_gauges(path: Union[str, os.PathLike]):
    """Opens gauges.nc (a file, or the output folder holding it) as an xarray Dataset."""
    import xarray as xr

    p = _results_path(path, "gauges.nc")
    if not os.path.exists(p):
        raise FileNotFoundError(f"{p}: no gauge series (the run recorded no gauges)")
    return xr.open_dataset(p)


class BuiltCase(Case):
    """A case built in Python (Case.from_arrays, case_from_description): the case with what
    it was built from. inputs: its CaseInputs (from arrays); report, warnings, report_file,
    map_file: the case builder's (from a description)."""

    def __init__(self, case: Case, inputs: Optional[CaseInputs] = None, folder: Any = None) -> None:
        super().__init__(case)
        self.inputs = inputs
        self._folder = folder  # the temporary folder of its files, removed with the case


def case_from_description(description: Union[str, os.PathLike]) -> Case:
    """Builds the case a survey description (TOML) describes, as littoral-case does: the
    case files, the options file, the report and the map are written into the description's
    data folder; returns the case read back. The report's text is case.report, its
    warnings case.warnings."""
    if not hasattr(_littoral, "_build_case"):
        raise NotImplementedError("this build of littoral has no case builder")
    built = _littoral._build_case(os.fspath(description))
    case = BuiltCase(read_case(built["control_file"]))
    case.report = built["report"]
    case.warnings = list(built["warnings"])
    case.report_file = built["report_file"]
    case.map_file = built["map_file"]
    return case


# ---- cases from arrays ----

_COEFFICIENTS = ("latitude", "friction", "breaking_ratio", "min_depth", "spare", "shields_critical", "grain_size",
                 "sediment_density", "viscosity", "bedload_coef", "suspended_coef")


def _fill_ring(depth: np.ndarray, periodic: bool) -> np.ndarray:
    """The interior depths (ny, nx) with the ghost ring as the model treats it: the coast
    and the offshore side and closed or open sides continue the cell next to them, periodic
    sides take their partner across the grid; corners the interior corner cell."""
    ny, nx = depth.shape
    out = np.zeros((ny + 2, nx + 2), dtype=np.float32)
    out[1:-1, 1:-1] = depth
    out[1:-1, 0] = depth[:, 0]
    out[1:-1, -1] = depth[:, -1]
    out[0, 1:-1] = depth[-1 if periodic else 0, :]
    out[-1, 1:-1] = depth[0 if periodic else -1, :]
    out[0, 0], out[0, -1], out[-1, 0], out[-1, -1] = depth[0, 0], depth[0, -1], depth[-1, 0], depth[-1, -1]
    return out


def _from_arrays(depth, dx: float, dy: float, *, offshore: str = "high-x", sides: str = "periodic",
                 waves: Optional[Mapping[str, float]] = None, land: Union[None, float, np.ndarray] = None,
                 tide_level: float = 0.0, start_time: float = 0.0, end_time: Optional[float] = None,
                 coefficients: Optional[Mapping[str, float]] = None, name: str = "case",
                 phase: Optional[Tuple[int, int]] = None, ring: bool = False,
                 folder: Union[None, str, os.PathLike] = None) -> Case:
    """A case from arrays, held in a temporary folder (case.write() puts its files where
    they are to stay).

    depth: still-water depth (m, positive downwards) over (ny, nx), x along the second
        index; with ring=True, (ny + 2, nx + 2) with the ghost ring as the depth file holds it.
    dx, dy: cell widths (m).
    offshore: the side the waves come in at; the model takes them in at high X ("high-x").
    sides: the low-Y and high-Y sides: "periodic", "closed" (a wall) or "open" (waves
        leave). The low-X side is the coast, closed.
    waves: dict(height=1.0, period=8.0, direction=180.0, groups=0, group_amplitude=0); the
        direction in the grid's axes, 180 travelling straight towards low X.
    land: a boolean (ny, nx) mask of land cells, or a height (m above the datum) above
        which a cell's bed is land; None: no land cells (dry beach cells stay wet/dry cells).
    tide_level: m above the datum. start_time, end_time: s (default end: ten wave periods).
    coefficients: any of latitude, friction, breaking_ratio, min_depth, spare,
        shields_critical, grain_size, sediment_density, viscosity, bedload_coef,
        suspended_coef (the coefficient file's values; defaults as the engine's).
    phase: the phase reference point (i, j) in case cell indices (default: the deepest
        offshore cell, the one nearest the middle of the side).
    """
    if offshore != "high-x":
        raise ValueError(f'offshore: the model takes its waves in at its high X side: expected "high-x", found '
                         f'"{offshore}" (turn the arrays, e.g. with numpy.flip or numpy.rot90, to put the offshore '
                         f'side at high X)')
    if sides not in ("periodic", "closed", "open"):
        raise ValueError(f'sides: expected "periodic", "closed" or "open", found "{sides}"')
    d = np.asarray(depth, dtype=np.float64)
    if d.ndim != 2:
        raise ValueError(f"depth: expected a two-dimensional array (ny, nx), found {d.ndim} dimensions")
    if ring:
        if d.shape[0] < 3 or d.shape[1] < 3:
            raise ValueError(f"depth: with ring=True expected (ny + 2, nx + 2) with ny, nx >= 1, found {d.shape}")
        ny, nx = d.shape[0] - 2, d.shape[1] - 2
    else:
        ny, nx = d.shape
        if nx < 1 or ny < 1:
            raise ValueError(f"depth: expected at least one cell in x and y, found {d.shape}")
    if not np.all(np.isfinite(d)):
        bad = np.argwhere(~np.isfinite(d))[0]
        raise ValueError(f"depth: expected finite depths, found {d[tuple(bad)]} at row {bad[0]}, column {bad[1]}")
    if not (dx > 0 and dy > 0 and np.isfinite(dx) and np.isfinite(dy)):
        raise ValueError(f"dx, dy: expected cell widths above 0 m, found {dx}, {dy}")
    w = {"height": 1.0, "period": 8.0, "direction": 180.0, "groups": 0.0, "group_amplitude": 0.0}
    for k, v in (waves or {}).items():
        if k not in w:
            raise ValueError(f"waves: unknown key \"{k}\": expected {', '.join(w)}")
        w[k] = float(v)
    if not w["period"] > 0:
        raise ValueError(f"waves: expected a period above 0 s, found {w['period']}")
    if not w["height"] >= 0:
        raise ValueError(f"waves: expected a height of 0 m or more, found {w['height']}")

    inputs = CaseInputs()
    inputs.name = name
    inputs.nx, inputs.ny, inputs.dx, inputs.dy = nx, ny, float(dx), float(dy)
    ringed = d.astype(np.float32) if ring else _fill_ring(d.astype(np.float32), sides == "periodic")
    interior = ringed[1:-1, 1:-1]
    codes = np.zeros((ny + 2, nx + 2), dtype=np.int32)
    if land is not None:
        if np.isscalar(land):
            mask = -interior.astype(np.float64) > float(land)
        else:
            mask = np.asarray(land, dtype=bool)
            if mask.shape != (ny, nx):
                raise ValueError(f"land: expected a mask of the depth's shape ({ny}, {nx}), found {mask.shape}")
        codes[1:-1, 1:-1][mask] = 15
    side_code = {"periodic": 16, "closed": 0, "open": 18}[sides]
    codes[1:-1, -1] = 17           # the offshore side: the wave input cells
    codes[0, 1:-1] = side_code
    codes[-1, 1:-1] = side_code
    inputs.depth = ringed
    inputs.codes = codes
    inputs.tide_rows = [(0, 0.0, 0.0)] + ([(0, 0.0, 0.0)] if side_code == 18 else [])
    inputs.tide_level = float(tide_level)
    if not np.all(ringed[1:-1, -1].astype(np.float64) + tide_level > 0):
        j = int(np.argmin(ringed[1:-1, -1])) + 1
        raise ValueError(f"depth: the offshore side (high x) is dry at its cell {j} (depth {ringed[j, -1]} m, "
                         f"tide {tide_level} m): the waves must come in over water")

    inputs.height, inputs.period, inputs.direction = w["height"], w["period"], w["direction"]
    inputs.groups, inputs.group_amplitude = w["groups"], w["group_amplitude"]
    if phase is None:
        edge = ringed[1:-1, -2].astype(np.float64)
        deepest = edge.max()
        candidates = [j for j in range(1, ny + 1) if edge[j - 1] >= deepest - 0.01]
        pj = min(candidates, key=lambda j: (abs(2 * j - (ny + 1)), j))
        phase = (nx, pj)
    inputs.phase_i, inputs.phase_j = int(phase[0]), int(phase[1])
    for k, v in (coefficients or {}).items():
        if k not in _COEFFICIENTS:
            raise ValueError(f"coefficients: unknown key \"{k}\": expected {', '.join(_COEFFICIENTS)}")
        setattr(inputs, k, float(v))
    inputs.start_time = float(start_time)
    inputs.end_time = float(end_time) if end_time is not None else float(start_time) + 10.0 * w["period"]
    if not inputs.end_time > inputs.start_time:
        raise ValueError(f"end_time: expected a time after the start ({start_time} s), found {inputs.end_time} s")

    keep = None
    if folder is None:
        keep = tempfile.TemporaryDirectory(prefix="littoral-")
        folder = os.path.join(keep.name, "data")
    inputs.data_folder = os.fspath(folder)
    return BuiltCase(Case.from_inputs(inputs), inputs, keep)


def _write(self: Case, folder: Union[str, os.PathLike], name: Optional[str] = None) -> Case:
    """Writes the case as its six files (namecnt.txt and name/coef.txt, depth.txt,
    boundary.txt, wave.txt, tide.txt) into `folder`, making the folder "output" beside
    it; returns the case read from there. Only a case built from arrays can be written."""
    inputs = getattr(self, "inputs", None)
    if inputs is None:
        raise ValueError("write: only a case built with Case.from_arrays can be written (this one is read from "
                         f"{self.control_file})")
    old_name, old_folder = inputs.name, inputs.data_folder
    try:
        if name is not None:
            inputs.name = name
        inputs.data_folder = os.fspath(folder)
        written = Case.from_inputs(inputs)
    finally:
        inputs.name, inputs.data_folder = old_name, old_folder
    copy = CaseInputs()
    for k in dir(inputs):
        if not k.startswith("_"):
            setattr(copy, k, getattr(inputs, k))
    copy.name = name if name is not None else old_name
    copy.data_folder = os.fspath(folder)
    return BuiltCase(written, copy)


Case.from_arrays = staticmethod(_from_arrays)
Case.write = _write
