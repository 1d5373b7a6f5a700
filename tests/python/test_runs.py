# Runs from Python against littoral-batch: the same files byte for byte, the fields equal the
# result files', a case built from arrays of a sample's inputs gives its results, runs in
# threads side by side, stops from another thread, Ctrl-C and bad input.
import csv
import filecmp
import os
import shutil
import signal
import threading
from pathlib import Path

import pytest

from conftest import SOURCE, import_littoral, read_grid, read_values, work_folder

np = pytest.importorskip("numpy")


def tree_files(root: Path):
    return sorted(p.relative_to(root) for p in root.rglob("*") if p.is_file() and p.suffix != ".png")


def assert_same_results(got: Path, want: Path, littoral_module=None):
    """Every file of `want` (the pictures aside) in `got`, byte for byte; results.nc by value
    (its history names the hour it was written)."""
    names = tree_files(want)
    assert names, f"no files in {want}"
    assert tree_files(got) == names
    for n in names:
        if n.name == "results.nc":
            xr = pytest.importorskip("xarray")
            with xr.open_dataset(got / n) as a, xr.open_dataset(want / n) as b:
                xr.testing.assert_identical(a.drop_attrs() if hasattr(a, "drop_attrs") else a.assign_attrs(history=""),
                                            b.drop_attrs() if hasattr(b, "drop_attrs") else b.assign_attrs(history=""))
            continue
        assert filecmp.cmp(got / n, want / n, shallow=False), f"{n} differs from littoral-batch's"


def last_csv(folder: Path):
    """The last surferN.csv as (header, rows of floats)."""
    n = max(int(p.stem[len("surfer"):]) for p in folder.glob("surfer[0-9]*.csv"))
    with open(folder / f"surfer{n}.csv", newline="") as f:
        rows = list(csv.reader(f))
    return rows[0], np.array([[float(v) for v in r] for r in rows[1:] if r])


@pytest.mark.parametrize("sample", ["beach", "breakwater"])
def test_files_and_fields_from_python_are_the_batch_programs(littoral, batch_work, batch_results, sample):
    root = batch_work
    shutil.rmtree(root / "output" / sample, ignore_errors=True)
    case = littoral.read_case(root / "data" / f"{sample}cnt.txt")
    run = littoral.Run(case, threads=2, netcdf=littoral.netcdf_available(), progress=False)
    assert [i.number for i in run] == list(range(case.intervals))
    assert run.finished and not run.stopped
    if not littoral.netcdf_available():
        (batch_results / sample / "results.nc").unlink(missing_ok=True)
    assert_same_results(root / "output" / sample, batch_results / sample)

    # The fields of the last interval are those of the last result file.
    header, rows = last_csv(batch_results / sample)
    columns = {h.strip().strip('"'): k for k, h in enumerate(header)}
    ny, nx = case.ny, case.nx
    assert rows.shape[0] == nx * ny
    ds = run.to_xarray()
    fields = littoral.result_fields()
    assert len(fields) == 21 and len(ds.data_vars) == 21
    for column, name, units, long_name in fields:
        view = run.field(column)
        assert view.dtype == np.float32 and view.shape == (ny, nx) and not view.flags.writeable
        # The file's lines run i outer, j inner: (nx, ny) transposed to (ny, nx).
        from_file = rows[:, columns[column]].reshape(nx, ny).T.astype(np.float32)
        # The CSV holds 7 significant digits.
        np.testing.assert_allclose(view, from_file, rtol=1e-6, atol=1e-7 * max(1.0, float(np.abs(view).max())),
                                   err_msg=column)
        assert np.array_equal(ds[name].values, view)
        assert ds[name].attrs["units"] == units and ds[name].attrs["long_name"] == long_name
    # Positions (m) as the result files give them, in their columns "i" and "j".
    np.testing.assert_allclose(ds.x.values, rows[::ny, columns["i"]], rtol=1e-6)
    np.testing.assert_allclose(ds.y.values, rows[:ny, columns["j"]], rtol=1e-6)
    if littoral.netcdf_available():
        with littoral.open_results(batch_results / sample) as nc:
            for _, name, _, _ in fields:
                assert np.array_equal(nc[name].isel(time=-1).values, run.field(name)), name
    # The view stays valid (and the run alive) after the run object is dropped.
    h = run.field("wavH")
    expected = h.copy()
    del run, ds
    assert np.array_equal(h, expected)


def sample_arrays(sample: str):
    """A sample's inputs read back as the arguments of Case.from_arrays."""
    folder = SOURCE / "data" / sample
    depth = np.array(read_grid(folder / "depth.txt"), dtype=np.float32).T   # (ny + 2, nx + 2)
    codes = np.array(read_grid(folder / "boundary.txt")).T
    coef = [float(v) for v in read_values(folder / "coef.txt")]
    wave = [float(v) for v in read_values(folder / "wave.txt")]
    keys = ["latitude", "friction", "breaking_ratio", "min_depth", "spare"]
    coefficients = dict(zip(keys, coef[7:12]))
    coefficients.update(zip(["shields_critical", "grain_size", "sediment_density", "viscosity", "bedload_coef",
                             "suspended_coef"], coef[14:20]))
    return dict(depth=depth, dx=coef[2], dy=coef[5], start_time=coef[12], end_time=coef[13],
                waves=dict(height=wave[1], period=wave[2], direction=wave[3], groups=wave[6],
                           group_amplitude=wave[7]),
                phase=(int(wave[4]), int(wave[5])), coefficients=coefficients, land=codes[1:-1, 1:-1] == 15), codes


def test_case_from_arrays_of_the_beach_inputs_gives_the_samples_results(littoral, batch_results, tmp_path):
    args, codes = sample_arrays("beach")
    case = littoral.Case.from_arrays(ring=True, sides="periodic", name="beach", folder=tmp_path / "data", **args)
    assert np.array_equal(case.inputs.codes, codes.astype(np.int32)), "the boundary codes differ from the sample's"
    littoral.Run(case, threads=1, progress=False).run_to_end()
    out = tmp_path / "output" / "beach"
    for p in sorted((batch_results / "beach").glob("surfer*.csv")):
        assert filecmp.cmp(out / p.name, p, shallow=False), p.name
    # The case written elsewhere reads back as the same case.
    again = case.write(tmp_path / "copy", "bay")
    assert (again.nx, again.ny, again.intervals) == (case.nx, case.ny, case.intervals)
    for f in ("coef.txt", "depth.txt", "boundary.txt", "wave.txt", "tide.txt"):
        assert filecmp.cmp(tmp_path / "copy" / "bay" / f, tmp_path / "data" / "beach" / f, shallow=False), f


def small_beach(littoral, height, **kwargs):
    """A generated plane beach (1:25, 60 m cross-shore) under waves coming straight in."""
    x = (np.arange(30) + 0.5) * 2.0
    depth = np.tile(x / 25.0 - 0.4, (6, 1))
    args = dict(depth=depth, dx=2.0, dy=3.0, sides="periodic", end_time=30.0,
                waves=dict(height=height, period=5.0, direction=180.0))
    args.update(kwargs)
    return littoral.Case.from_arrays(**args)


def test_runs_in_threads_side_by_side_give_the_results_of_one_run(littoral):
    heights = (0.3, 0.6, 0.9)
    alone = [littoral.Run(small_beach(littoral, h), threads=1, write_files=False, progress=False).run_to_end().fields()
             for h in heights]
    runs = [littoral.Run(small_beach(littoral, h), threads=t, write_files=False, progress=False)
            for h, t in zip(heights, (1, 2, 1))]
    errors = []

    def go(r):
        try:
            r.run_to_end()
        except BaseException as e:  # noqa: BLE001 - reported below
            errors.append(e)
    threads = [threading.Thread(target=go, args=(r,)) for r in runs]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not errors
    assert not any((r.case.output_folder and os.path.exists(r.case.output_folder) and
                    os.listdir(r.case.output_folder)) for r in runs), "write_files=False wrote files"
    for r, want in zip(runs, alone):
        got = r.fields()
        for name in want:
            assert np.array_equal(got[name], want[name]), name


def test_a_stop_from_another_thread_ends_the_run_with_its_files_complete(littoral, tmp_path):
    root = work_folder(tmp_path, ["beach"])
    case = littoral.read_case(root / "data" / "beachcnt.txt")
    first = threading.Event()
    run = littoral.Run(case, threads=1, progress=False, on_interval=lambda i, setup: first.set())
    t = threading.Thread(target=run.run_to_end)
    t.start()
    assert first.wait(300)
    run.request_stop()
    t.join(300)
    assert not t.is_alive()
    assert run.stopped and run.finished
    assert 0 <= run.interval.number < case.intervals - 1
    n = run.interval.number
    written = sorted(p.name for p in (root / "output" / "beach").glob("surfer[0-9]*.csv"))
    assert written == sorted(f"surfer{k}.csv" for k in range(n + 1))
    assert list(run) == [], "a stopped run went on"


def test_ctrl_c_stops_the_run_with_keyboard_interrupt(littoral, tmp_path):
    root = work_folder(tmp_path, ["beach"])
    case = littoral.read_case(root / "data" / "beachcnt.txt")
    first = threading.Event()

    def press_ctrl_c():
        # While the engine computes the next interval, without the interpreter lock.
        first.wait(300)
        os.kill(os.getpid(), signal.SIGINT)
    presser = threading.Thread(target=press_ctrl_c)
    presser.start()
    run = littoral.Run(case, threads=1, write_files=False, progress=False, on_interval=lambda i, s: first.set())
    try:
        with pytest.raises(KeyboardInterrupt):
            for _ in run:
                pass
    finally:
        first.set()
        presser.join()
    assert run.stopped and run.interval.number < case.intervals - 1
    assert list(run) == []


def test_a_callbacks_exception_stops_the_run_and_is_raised(littoral, tmp_path):
    root = work_folder(tmp_path, ["breakwater"])
    case = littoral.read_case(root / "data" / "breakwatercnt.txt")
    seen = []

    def period(surface, low, high, time):
        assert surface.shape == (case.ny, case.nx) and low <= high
        seen.append(time)
        if len(seen) == 2:
            raise ZeroDivisionError("from the callback")
    run = littoral.Run(case, threads=1, write_files=False, progress=False, on_wave_period=period)
    with pytest.raises(ZeroDivisionError, match="from the callback"):
        run.run_to_end()
    assert run.stopped and seen == [0.0, case.wave_period]


def test_bad_input_raises_input_error_naming_the_file_field_and_line(littoral, tmp_path):
    root = work_folder(tmp_path, ["beach"])
    wave = root / "data" / "beach" / "wave.txt"
    wave.write_text(wave.read_text().replace("8, wave period", "eight, wave period"))
    with pytest.raises(littoral.InputError) as e:
        littoral.read_case(root / "data" / "beachcnt.txt")
    assert isinstance(e.value, ValueError)
    assert e.value.file.endswith("wave.txt") and e.value.line == 3 and e.value.field
    assert "eight" in str(e.value)
    with pytest.raises(littoral.InputError) as e:
        littoral.read_case(root / "data" / "nonecnt.txt")
    assert "nonecnt.txt" in str(e.value)


def test_bad_arguments_raise_python_errors_not_crashes(littoral, tmp_path):
    root = work_folder(tmp_path, ["breakwater"])
    case = littoral.read_case(root / "data" / "breakwatercnt.txt")
    run = littoral.Run(case, threads=1, write_files=False, progress=False)
    with pytest.raises(KeyError, match="nosuch"):
        run.field("nosuch")
    with pytest.raises(ValueError, match="morfac"):
        littoral.Run(case, morfac=-2.0, progress=False)
    with pytest.raises(ValueError, match="threads"):
        littoral.Run(case, threads=-1, progress=False)
    with pytest.raises(TypeError):
        littoral.Run("breakwatercnt.txt")
    with pytest.raises(TypeError):
        littoral.Run(case, gauges=[("a", 1, 2)], progress=False)
    # A warning reaches its callback; a warning callback that raises stops the run.
    warnings = []
    rough = small_beach(littoral, 0.3, coefficients=dict(friction=0.2))
    littoral.Run(rough, progress=False, write_files=False, on_warning=warnings.append).run_to_end()
    assert len(warnings) == 1 and "friction" in warnings[0]

    def refuse(text):
        raise RuntimeError("no warnings here")
    run = littoral.Run(rough, progress=False, write_files=False, on_warning=refuse)
    with pytest.raises(RuntimeError, match="no warnings here"):
        run.run_to_end()
    flat = np.full((6, 20), 3.0)
    for kwargs, message in [(dict(depth=np.zeros(5)), "two-dimensional"),
                            (dict(depth=np.where(np.arange(20) > 18, -1.0, flat)), "dry"),
                            (dict(depth=flat, sides="wavy"), "sides"),
                            (dict(depth=flat, offshore="low-x"), "high X"),
                            (dict(depth=flat, waves=dict(hight=1.0)), "hight"),
                            (dict(depth=flat, land=np.zeros((3, 3), bool)), "land"),
                            (dict(depth=np.where(flat > 0, np.nan, 0)), "finite"),
                            (dict(depth=flat, end_time=-5.0), "end_time")]:
        with pytest.raises(ValueError, match=message):
            littoral.Case.from_arrays(dx=2.0, dy=2.0, **kwargs)
    with pytest.raises(ValueError, match="from_arrays"):
        case.write(tmp_path / "elsewhere")


def test_the_long_run_choices_are_keywords_that_win_over_the_options_file(littoral, tmp_path):
    root = work_folder(tmp_path, ["breakwater"])
    control = root / "data" / "breakwatercnt.txt"
    (root / "data" / "breakwater.toml").write_text("[waves]\nmean_currents = true\n")
    case = littoral.read_case(control)
    chosen = littoral.Run(case, threads=1, progress=False, absorbing_input=True, balanced_wave_force=True)
    chosen.advance()
    chosen.advance()
    echo = (Path(case.output_folder) / "0options.txt").read_text()
    assert "waves.absorbing_input = true   (the run's keyword arguments)" in echo
    assert "flow.balanced_wave_force = true   (the run's keyword arguments)" in echo
    assert "waves.mean_currents = true   (breakwater.toml)" in echo
    height = chosen.field("wavH").copy()
    plain = littoral.Run(case, threads=1, write_files=False, options_file=False, progress=False)
    plain.advance()
    plain.advance()
    assert (plain.field("wavH").copy() != height).any()
