"""Funciones nativas del paquete tembrolin"""

import math
from typing import Any, Literal, SupportsFloat

import numpy as np
from numpy.typing import ArrayLike, NDArray

def mdlp_fit(
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
    representative: Literal["mean", "median"] = "median",
    candidates: Literal["boundary", "neighbour"] = "boundary",
    workspace: Workspace | None = None,
) -> dict[str, dict[str, Any]]: ...

class Workspace:
    def __init__(self) -> None: ...

def value_counts(x: ArrayLike, y: ArrayLike) -> dict[str, Any]: ...
def merge_counts(a: dict[str, Any], b: dict[str, Any]) -> dict[str, Any]: ...
def mdlp_fit_counts(
    counts: dict[str, Any],
    minobs: int,
    monotonicity: int,
    mono_dir: int,
    alpha_pos: float,
    beta_struct: float,
    force_first_split: bool | None,
    representative: Literal["mean", "median"] = "median",
    candidates: Literal["boundary", "neighbour"] = "boundary",
) -> dict[str, dict[str, Any]]: ...
def counted_summary(
    counts: dict[str, Any], splits: ArrayLike, representative: Literal["mean", "median"] = "median"
) -> dict[str, NDArray[Any]]: ...
def binned_summary(
    x: ArrayLike,
    y: ArrayLike,
    splits: ArrayLike,
    representative: Literal["mean", "median"] | None = "median",
) -> dict[str, NDArray[Any]]: ...
def regrouped_summary(
    x: ArrayLike,
    slots: ArrayLike,
    fine_c1: ArrayLike,
    fine_splits: ArrayLike,
    coarse_splits: ArrayLike,
    representative: Literal["mean", "median"] | None = "median",
) -> dict[str, NDArray[Any]]: ...
def counted_target_summary(values: ArrayLike, counts: ArrayLike) -> dict[str, float]: ...
def lorenz_counts(values: ArrayLike, c0: ArrayLike, c1: ArrayLike) -> dict[str, Any]: ...
def compare_counts(
    reference: ArrayLike, current: ArrayLike, epsilon: float = 1e-12
) -> dict[str, Any]: ...
def counted_order_statistics(
    values: ArrayLike, counts: ArrayLike, positions: ArrayLike
) -> NDArray[np.float64]: ...
def counted_binning_splits(
    values: ArrayLike,
    counts: ArrayLike,
    method: str,
    n_bins: int,
    range: str,
    lower_quantile: float,
    upper_quantile: float,
    k: float,
) -> NDArray[np.float64]: ...

type _Trend = Literal["ascending", "descending", "auto", "peak", "valley"]

def optimal_partition_binary(
    c0: ArrayLike,
    c1: ArrayLike,
    objective: Literal["iv", "js"] = "iv",
    monotonic_trend: _Trend | None = None,
    min_bin_size: float = 0.0,
    max_bin_size: float = math.inf,
    min_n_bins: int = 1,
    max_n_bins: int = 0,
    min_rate_diff: float = 0.0,
    max_pvalue: float = 1.0,
    min_bin_events: float = 0.0,
    min_bin_non_events: float = 0.0,
) -> dict[str, Any]: ...
def optimal_partition_continuous(
    count: ArrayLike,
    sum: ArrayLike,
    sum_sq: ArrayLike,
    monotonic_trend: _Trend | None = None,
    min_bin_size: float = 0.0,
    max_bin_size: float = math.inf,
    min_n_bins: int = 1,
    max_n_bins: int = 0,
    min_rate_diff: float = 0.0,
    max_pvalue: float = 1.0,
) -> dict[str, Any]: ...
