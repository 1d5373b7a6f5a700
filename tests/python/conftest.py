# The module is imported from the build's python folder (PYTHONPATH); the tests are skipped,
# not failed, when it is not built.
import os
import shutil
import subprocess
from pathlib import Path

import pytest

SOURCE = Path(os.environ.get("LITTORAL_SOURCE_DIR", Path(__file__).resolve().parents[2]))
BATCH = os.environ.get("LITTORAL_BATCH_EXE", "")


def import_littoral():
    return pytest.importorskip("littoral", reason="the Python module littoral is not built (PYTHONPATH)")


@pytest.fixture(scope="session")
def littoral():
    return import_littoral()


def work_folder(root: Path, samples=("beach", "breakwater")) -> Path:
    """A work folder with data/ (the named samples) and output/."""
    (root / "data").mkdir(parents=True)
    (root / "output").mkdir()
    for s in samples:
        shutil.copy(SOURCE / "data" / f"{s}cnt.txt", root / "data")
        shutil.copytree(SOURCE / "data" / s, root / "data" / s)
    return root


@pytest.fixture(scope="session")
def batch_work(tmp_path_factory):
    """A work folder with both samples, and littoral-batch's output folders of them (with
    results.nc) moved aside into batch/: the echo files name the case's paths, so a run to
    compare with writes into the same work folder."""
    if not BATCH or not Path(BATCH).exists():
        pytest.skip("littoral-batch is not built (LITTORAL_BATCH_EXE)")
    root = work_folder(tmp_path_factory.mktemp("work"))
    (root / "batch").mkdir()
    for s in ("beach", "breakwater"):
        subprocess.run([BATCH, "--threads", "2", "--netcdf", str(root / "data" / f"{s}cnt.txt")],
                       check=True, capture_output=True, text=True)
        (root / "output" / s).rename(root / "batch" / s)
    return root


@pytest.fixture(scope="session")
def batch_results(batch_work):
    return batch_work / "batch"


def read_grid(path: Path) -> "list[list[float]]":
    """A depth or boundary file (one line per X index, the values along Y) as rows."""
    return [[float(v) for v in line.split(",")] for line in path.read_text().splitlines() if line.strip()]


def read_values(path: Path) -> "list[str]":
    """The value of each value-label line of a coefficient or wave file, up to its terminator."""
    out = []
    for line in path.read_text().splitlines():
        if line.startswith("'"):
            break
        out.append(line.split(",")[0].strip())
    return out
