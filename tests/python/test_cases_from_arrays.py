# Cases built from numpy arrays: the ghost ring and the boundary codes as the model treats
# them, and whole runs on a generated plane beach checked against the physics of wave set-up.
import numpy as np
import pytest

from test_runs import small_beach


def test_the_ghost_ring_and_codes_follow_the_sides(littoral):
    depth = np.arange(24, dtype=np.float32).reshape(4, 6) / 4 + 1.0   # (ny, nx), deeper towards high x
    for sides, code in (("periodic", 16), ("closed", 0), ("open", 18)):
        case = littoral.Case.from_arrays(depth=depth, dx=1.0, dy=1.0, sides=sides, waves=dict(period=4.0))
        d, c = case.inputs.depth, case.inputs.codes
        assert d.shape == c.shape == (6, 8)
        assert np.array_equal(d[1:-1, 1:-1], depth)
        # The coast (low x) and the offshore side continue the cell next to them.
        assert np.array_equal(d[1:-1, 0], depth[:, 0]) and np.array_equal(d[1:-1, -1], depth[:, -1])
        # Periodic sides take the row across the grid, the others the row next to them.
        assert np.array_equal(d[0, 1:-1], depth[-1 if code == 16 else 0])
        assert np.array_equal(d[-1, 1:-1], depth[0 if code == 16 else -1])
        assert np.all(c[1:-1, -1] == 17) and np.all(c[1:-1, 0] == 0)
        assert np.all(c[0, 1:-1] == code) and np.all(c[-1, 1:-1] == code)
        assert c[0, 0] == c[0, -1] == c[-1, 0] == c[-1, -1] == 0
        assert np.all(c[1:-1, 1:-1] == 0)
        assert len(case.inputs.tide_rows) == (2 if code == 18 else 1)
        # The phase point: the deepest offshore cell nearest the middle of the side.
        assert (case.inputs.phase_i, case.inputs.phase_j) == (6, 4)
        assert case.intervals == 11   # ten wave periods from 0 s, counted from 0 to 40 s


def test_land_by_mask_or_by_height(littoral):
    x = np.arange(12) * 1.0
    depth = np.tile(x / 2 - 2.0, (3, 1))            # the bed 2 m above the datum at low x
    by_height = littoral.Case.from_arrays(depth=depth, dx=1.0, dy=1.0, land=0.5, waves=dict(period=4.0))
    land = by_height.inputs.codes[1:-1, 1:-1] == 15
    assert np.array_equal(land, -depth > 0.5)
    assert land[:, :3].all() and not land[:, 3:].any()
    mask = np.zeros(depth.shape, bool)
    mask[1, 5] = True
    by_mask = littoral.Case.from_arrays(depth=depth, dx=1.0, dy=1.0, land=mask, waves=dict(period=4.0))
    assert np.array_equal(by_mask.inputs.codes[1:-1, 1:-1] == 15, mask)


def test_a_generated_beach_shows_set_down_and_set_up(littoral):
    """Normal incidence on a plane beach with periodic sides: every field is the same along
    the shore (within 1e-5 m), the mean level falls below still water seaward of the
    breakers and rises towards the shoreline, the set-up growing with the wave height and
    staying within 10 to 50 % of it (the classical estimate is about a fifth)."""
    shoreline = []
    for h in (0.3, 0.6, 0.9):
        run = littoral.Run(small_beach(littoral, h, end_time=60.0), threads=1, write_files=False,
                           progress=False).run_to_end()
        assert run.finished and not run.stopped
        wav, setup = run.field("wavH"), run.field("setup")
        assert np.all(np.isfinite(wav)) and np.all(np.isfinite(setup))
        assert np.abs(wav - wav.mean(axis=0)).max() < 1e-5
        assert np.abs(setup - setup.mean(axis=0)).max() < 1e-5
        profile, height = setup.mean(axis=0), wav.mean(axis=0)
        breaking = int(np.argmax(height))
        assert profile[breaking:].min() < 0, "no set-down seaward of the breakers"
        wet = profile[: breaking][height[: breaking] > 0.01]
        assert wet.max() > 0, "no set-up inside the surf zone"
        assert 0.1 < wet.max() / h < 0.5
        shoreline.append(wet.max())
    assert shoreline == sorted(shoreline), shoreline


def test_a_case_from_arrays_written_and_read_runs_alike(littoral, tmp_path):
    case = small_beach(littoral, 0.5, sides="closed", tide_level=0.2,
                       coefficients=dict(friction=0.02, grain_size=0.0003), name="shore")
    written = case.write(tmp_path / "data", "bay")
    assert (tmp_path / "data" / "baycnt.txt").is_file() and (tmp_path / "output").is_dir()
    assert sorted(p.name for p in (tmp_path / "data" / "bay").iterdir()) == \
        ["boundary.txt", "coef.txt", "depth.txt", "tide.txt", "wave.txt"]
    again = littoral.read_case(tmp_path / "data" / "baycnt.txt")
    assert written.inputs.name == "bay" and case.inputs.name == "shore"
    a = littoral.Run(case, write_files=False, progress=False).run_to_end().fields()
    b = littoral.Run(again, write_files=False, progress=False).run_to_end().fields()
    for name in a:
        assert np.array_equal(a[name], b[name]), name


def test_the_xarray_dataset_carries_positions_units_and_names(littoral):
    run = littoral.Run(small_beach(littoral, 0.4), write_files=False, progress=False)
    assert next(iter(run)).number == 0
    ds = run.to_xarray()
    assert dict(ds.sizes) == {"y": 6, "x": 30}
    np.testing.assert_allclose(ds.x.values, np.arange(30) * 2.0)
    np.testing.assert_allclose(ds.y.values, np.arange(6) * 3.0)
    assert ds["setup"].attrs["units"] == "m" and ds["bed_level"].attrs["column"] == "_dep"
    np.testing.assert_array_equal(ds["bed_level"].values, run.field("_dep"))
    assert ds.attrs["output_number"] == 0 and ds.attrs["time"] == 5.0
    # A copy: advancing the run leaves the dataset as it was.
    before = ds["wavH"].values.copy()
    run.advance()
    assert np.array_equal(ds["wavH"].values, before)


def test_a_case_from_a_survey_description(littoral, tmp_path):
    import shutil
    from conftest import SOURCE
    survey = tmp_path / "survey"
    shutil.copytree(SOURCE / "examples" / "survey", survey)
    try:
        case = littoral.case_from_description(survey / "bay.toml")
    except NotImplementedError:
        pytest.skip("this build has no case builder")
    assert (case.nx, case.ny, case.dx, case.dy) == (200, 60, 2.5, 5.0)
    assert case.control_file.endswith("baycnt.txt") and "Grid: 200 x 60 cells" in case.report
    # The options file the builder writes carries a gauge on a wet cell: the run takes it.
    run = littoral.Run(case, write_files=False, progress=False)
    assert run.interval.number == -1
    broken = survey / "broken.toml"
    broken.write_text((survey / "bay.toml").read_text().replace("cells = [200, 60]", "cells = [200, -60]"))
    with pytest.raises(littoral.InputError) as e:
        littoral.case_from_description(broken)
    assert e.value.file.endswith("broken.toml") and "grid.cells" in (e.value.field + str(e.value))
