"""Python c_api bindings for the tembrolin C++ library"""

from typing import Any, SupportsFloat

import numpy as np
from numpy.typing import ArrayLike, NDArray

def suma(a: float, b: float, /) -> float: ...
def compute_boundaries(
    x: ArrayLike, y: ArrayLike, sorted: bool | None = True
) -> dict[str, NDArray[Any]]: ...
def compute_boundaries_raw(
    x: ArrayLike, y: ArrayLike, value: SupportsFloat | None = None, percentile: float = 50.0
) -> dict[str, NDArray[Any]]: ...
def evaluate_segment(
    pto_corte: ArrayLike,
    c0: ArrayLike,
    c1: ArrayLike,
    L: int,
    R: int,
    minobs: int,
    monotonicity: int,
    mono_dir: int,
    alpha_pos: float,
    beta_struct: float,
) -> dict[str, Any]: ...
def mdlp_full(
    x: ArrayLike,
    y: ArrayLike,
    minobs: int,
    monotonicity: int,
    mono_dir: int,
    alpha_pos: float,
    beta_struct: float,
    force_first_split: bool | None,
) -> dict[str, dict[str, NDArray[Any]]]: ...
def mdlp(
    x: ArrayLike,
    y: ArrayLike,
    minobs: int,
    monotonicity: int,
    mono_dir: int,
    alpha_pos: float,
    beta_struct: float,
    force_first_split: bool | None,
) -> dict[str, NDArray[Any]]: ...
def mdlp_raw(
    x: ArrayLike,
    y: ArrayLike,
    minobs: int,
    monotonicity: int,
    mono_dir: int,
    alpha_pos: float,
    beta_struct: float,
    force_first_split: bool | None,
    value: SupportsFloat | None = None,
    percentile: float = 50.0,
) -> dict[str, NDArray[Any]]: ...
def mdlp_full_raw(
    x: ArrayLike,
    y: ArrayLike,
    minobs: int,
    monotonicity: int,
    mono_dir: int,
    alpha_pos: float,
    beta_struct: float,
    force_first_split: bool | None,
    value: SupportsFloat | None = None,
    percentile: float = 50.0,
    representative: str = "median",
) -> dict[str, dict[str, Any]]: ...
def preprocess_data_native(
    x: ArrayLike, y: ArrayLike, value: SupportsFloat | None = None, percentile: float = 50.0
) -> dict[str, NDArray[Any]]: ...
def binning_splits(
    x: ArrayLike,
    method: str,
    n_bins: int,
    range: str,
    lower_quantile: float,
    upper_quantile: float,
    k: float,
    custom_splits: ArrayLike,
) -> NDArray[np.float64]: ...
def binning_transform(x: ArrayLike, splits: ArrayLike) -> NDArray[np.int64]: ...
def binning_summary_binary(
    x: ArrayLike, y: ArrayLike, splits: ArrayLike, representative: str = "median"
) -> dict[str, NDArray[Any]]: ...
def binning_summary_continuous(
    x: ArrayLike, y: ArrayLike, splits: ArrayLike, representative: str = "median"
) -> dict[str, NDArray[Any]]: ...
def compare_distributions_native(
    reference: ArrayLike, current: ArrayLike, splits: ArrayLike, epsilon: float = 1e-12
) -> dict[str, Any]: ...
def lorenz_curve_native(x: ArrayLike, y: ArrayLike) -> dict[str, Any]: ...
def membership_native(x: ArrayLike, representatives: ArrayLike) -> NDArray[np.float64]: ...
def aggregate_membership_native(
    membership: ArrayLike, values: ArrayLike, standardize: bool | None = False
) -> NDArray[np.float64]: ...
