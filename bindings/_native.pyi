"""Funciones nativas del paquete tembrolin"""

from typing import Any, Literal, SupportsFloat

from numpy.typing import ArrayLike

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
def lorenz_counts(values: ArrayLike, c0: ArrayLike, c1: ArrayLike) -> dict[str, Any]: ...
def compare_counts(
    reference: ArrayLike, current: ArrayLike, epsilon: float = 1e-12
) -> dict[str, Any]: ...
