"""A fit request: the estimator's parameters checked and turned into what a fit needs.

Every check raises the package's Spanish message naming the argument, before any work.
"""

from __future__ import annotations

import math
import os
from collections.abc import Mapping, Sequence
from dataclasses import dataclass
from typing import Any

import numpy as np

from tembrolin import _errors
from tembrolin.bins import Settings

METHODS = ("mdlp", "quantile", "equal_width")
CANDIDATES = ("boundary", "neighbour")
REPRESENTATIVES = ("median", "mean")
RANGES = ("full", "quantile", "iqr")
TRENDS = ("ascending", "descending", "auto")
METRICS = ("woe", "bin", "event_rate", "representative")


def check_choice(argument: str, value: object, allowed: Sequence[object]) -> None:
    """Refuses a value that is not one of `allowed`, naming the argument."""
    if value not in allowed:
        raise _errors.choice(argument, value, [str(a) for a in allowed])


def check_number(
    argument: str, value: object, low: float, high: float, rule: str, integer: bool = False
) -> None:
    """Refuses a value that is not a number (an integer if asked) between low and high."""
    kinds = (int, np.integer) if integer else (int, float, np.integer, np.floating)
    if isinstance(value, bool) or not isinstance(value, kinds) or not low <= value <= high:
        raise _errors.out_of_range(argument, value, rule)


@dataclass(frozen=True)
class FitRequest:
    """What a fit of named columns needs, checked.

    Attributes
    ----------
    settings : Settings
        The search parameters shared by every column.
    workers : int
        How many columns are fitted at once, on threads.
    special_values, user_splits : dict of column name to tuple of float
        Each column's special values and its own cut points, when it has them.
    target_threshold : float or None
        The given threshold of a continuous target.
    target_percentile : float
        The percentile of y that is the threshold when none is given.
    """

    settings: Settings
    workers: int
    special_values: dict[str, tuple[float, ...]]
    user_splits: dict[str, tuple[float, ...]]
    target_threshold: float | None
    target_percentile: float

    def user_splits_of(self, name: str) -> np.ndarray | None:
        """A column's own cut points as an array, or None."""
        splits = self.user_splits.get(name)
        return None if splits is None else np.asarray(splits, dtype=np.float64)


def _settings(params: Mapping[str, Any]) -> Settings:
    check_choice("method", params["method"], METHODS)
    check_choice("candidates", params["candidates"], CANDIDATES)
    check_choice("representative", params["representative"], REPRESENTATIVES)
    check_choice("width_range", params["width_range"], RANGES)
    check_choice("monotonic_trend", params["monotonic_trend"], (*TRENDS, None))
    check_choice("metric", params["metric"], METRICS)
    check_number("min_bin_share", params["min_bin_share"], 0.0, 0.5, "un número entre 0 y 0.5")
    for argument in ("alpha", "beta"):
        check_number(argument, params[argument], 0.0, math.inf, "un número >= 0")
    check_number("n_bins", params["n_bins"], 1, math.inf, "un entero positivo", integer=True)
    return Settings(
        method=params["method"],
        min_bin_share=float(params["min_bin_share"]),
        alpha=float(params["alpha"]),
        beta=float(params["beta"]),
        force_first_split=bool(params["force_first_split"]),
        candidates="neighbour" if params["candidates"] == "neighbour" else "boundary",
        representative=params["representative"],
        n_bins=int(params["n_bins"]),
        range=params["width_range"],
        lower_quantile=float(params["lower_quantile"]),
        upper_quantile=float(params["upper_quantile"]),
        iqr_k=float(params["iqr_k"]),
        monotonic_trend=params["monotonic_trend"],
    )


def _workers(n_jobs: Any) -> int:
    if n_jobs is None:
        return 1
    if n_jobs == -1:
        return os.cpu_count() or 1
    check_number("n_jobs", n_jobs, 1, math.inf, "un entero positivo, -1 o None", True)
    return int(n_jobs)


def _per_column(argument: str, value: Any, names: list[str]) -> dict[str, tuple[float, ...]]:
    """`user_splits` or `special_values` as a tuple of floats per column name."""
    if value is None:
        return {}
    per_column = value if isinstance(value, Mapping) else dict.fromkeys(names, value)
    # Columns are known by their names as text: a frame's column 0 is "0".
    unknown = [str(name) for name in per_column if str(name) not in names]
    if unknown:
        raise _errors.unknown_columns(argument, unknown)
    floats = {str(name): tuple(map(float, values)) for name, values in per_column.items()}
    if any(math.isnan(v) for values in floats.values() for v in values):
        raise _errors.nan_given(argument)
    return floats


def fit_request(params: Mapping[str, Any], names: list[str]) -> FitRequest:
    """The request of a fit of the columns `names` with the estimator's `params`."""
    settings = _settings(params)
    check_number("target_percentile", params["target_percentile"], 0, 100, "un número de 0 a 100")
    threshold = params["target_threshold"]
    if threshold is not None:
        check_number(
            "target_threshold", threshold, -math.inf, math.inf, "un número (no NaN) o None"
        )
    user = params["user_splits"]
    if user is not None and not isinstance(user, Mapping):
        error = _errors.out_of_range("user_splits", user, "un dict columna -> cortes")
        raise error
    return FitRequest(
        settings=settings,
        workers=_workers(params["n_jobs"]),
        special_values=_per_column("special_values", params["special_values"], names),
        user_splits=_per_column("user_splits", user, names),
        target_threshold=None if threshold is None else float(threshold),
        target_percentile=float(params["target_percentile"]),
    )
