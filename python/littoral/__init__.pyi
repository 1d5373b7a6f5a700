# Type hints of the package littoral (the compiled part and the Python part).
import os
from typing import Any, Callable, Dict, List, Mapping, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, os.PathLike]

class InputError(ValueError):
    file: str
    field: str
    line: int

class RunError(RuntimeError): ...

class Interval:
    number: int
    time: float

class CaseInputs:
    name: str
    data_folder: str
    nx: int
    ny: int
    dx: float
    dy: float
    depth: npt.NDArray[np.float32]
    codes: npt.NDArray[np.int32]
    latitude: float
    friction: float
    breaking_ratio: float
    min_depth: float
    spare: float
    start_time: float
    end_time: float
    shields_critical: float
    grain_size: float
    sediment_density: float
    viscosity: float
    bedload_coef: float
    suspended_coef: float
    wave_code: int
    height: float
    period: float
    direction: float
    phase_i: int
    phase_j: int
    groups: float
    group_amplitude: float
    tide_level: float
    tide_rows: List[Tuple[int, float, float]]

class Case:
    control_file: str
    output_folder: str
    nx: int
    ny: int
    dx: float
    dy: float
    first_cell_x: int
    first_cell_y: int
    start_time: float
    end_time: float
    wave_period: float
    intervals: int
    random_draws: int
    @staticmethod
    def read(control_file: str) -> Case: ...
    @staticmethod
    def from_inputs(inputs: CaseInputs) -> Case: ...
    @staticmethod
    def from_arrays(depth: npt.ArrayLike, dx: float, dy: float, *, offshore: str = ..., sides: str = ...,
                    waves: Optional[Mapping[str, float]] = ..., land: Union[None, float, npt.ArrayLike] = ...,
                    tide_level: float = ..., start_time: float = ..., end_time: Optional[float] = ...,
                    coefficients: Optional[Mapping[str, float]] = ..., name: str = ...,
                    phase: Optional[Tuple[int, int]] = ..., ring: bool = ..., folder: Optional[_Path] = ...) -> BuiltCase: ...
    def write(self, folder: _Path, name: Optional[str] = ...) -> BuiltCase: ...

class BuiltCase(Case):
    inputs: Optional[CaseInputs]
    report: str
    warnings: List[str]
    report_file: str
    map_file: str
    def __init__(self, case: Case, inputs: Optional[CaseInputs] = ..., folder: Any = ...) -> None: ...

class Run:
    interval: Interval
    finished: bool
    stopped: bool
    case: Case
    def __init__(self, case: Case, *, threads: int = ..., write_files: bool = ..., csv: bool = ...,
                 netcdf: bool = ..., output_every: int = ..., means: bool = ..., morfac: float = ...,
                 morstart: float = ..., checkpoint_every: int = ..., resume: bool = ...,
                 gauges: Optional[Sequence[Mapping[str, Any]]] = ..., georeference: Optional[Mapping[str, Any]] = ...,
                 options_file: bool = ..., progress: Optional[bool] = ...,
                 on_wave_period: Optional[Callable[[npt.NDArray[np.float32], float, float, float], Any]] = ...,
                 on_progress: Optional[Callable[[float], Any]] = ...,
                 on_interval: Optional[Callable[[Interval, npt.NDArray[np.float32]], Any]] = ...,
                 on_warning: Optional[Callable[[str], Any]] = ...) -> None: ...
    def __iter__(self) -> Run: ...
    def __next__(self) -> Interval: ...
    def advance(self) -> bool: ...
    def run_to_end(self) -> Run: ...
    def request_stop(self) -> None: ...
    def field(self, name: str) -> npt.NDArray[np.float32]: ...
    def fields(self) -> Dict[str, npt.NDArray[np.float32]]: ...
    def to_xarray(self) -> Any: ...

def read_case(control_file: _Path) -> Case: ...
def run_case(case: Union[Case, _Path], **options: Any) -> Run: ...
def open_results(path: _Path) -> Any: ...
def open_gauges(path: _Path) -> Any: ...
def case_from_description(description: _Path) -> BuiltCase: ...
def result_fields() -> List[Tuple[str, str, str, str]]: ...
def version() -> str: ...
def netcdf_available() -> bool: ...
def default_threads() -> int: ...
def set_default_threads(n: int) -> None: ...
