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
