"""Funciones nativas del paquete tembrolin"""

from typing import Any, Literal, SupportsFloat, TypedDict, Unpack

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
) -> dict[str, dict[str, Any]]: ...
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

class _PartitionConstraints(TypedDict, total=False):
    """The optional constraints that both optimal partitions take by keyword."""

    monotonic_trend: Literal["ascending", "descending", "auto", "peak", "valley"] | None
    min_bin_size: float
    max_bin_size: float
    min_n_bins: int
    max_n_bins: int
    min_rate_diff: float
    max_pvalue: float

def optimal_partition_binary(
    c0: ArrayLike,
    c1: ArrayLike,
    objective: Literal["iv", "js"] = "iv",
    *,
    min_bin_events: float = 0.0,
    min_bin_non_events: float = 0.0,
    **constraints: Unpack[_PartitionConstraints],
) -> dict[str, Any]: ...
def optimal_partition_continuous(
    count: ArrayLike,
    sum: ArrayLike,
    sum_sq: ArrayLike,
    **constraints: Unpack[_PartitionConstraints],
) -> dict[str, Any]: ...
