"""A fit request: the estimator's parameters checked and turned into what a fit needs.

Every check raises the package's Spanish message naming the argument, before any work.
"""

from __future__ import annotations

import itertools
import math
import os
from collections.abc import Mapping, Sequence
from dataclasses import dataclass
from typing import Any

import numpy as np

from tembrolin import _errors
from tembrolin._frames import CATEGORICAL, NUMERIC
from tembrolin.bins import Settings
from tembrolin.column_options import categorical_names, per_column

METHODS = ("optimal", "mdlp", "quantile", "equal_width")
CANDIDATES = ("boundary", "neighbour")
REPRESENTATIVES = ("median", "mean")
RANGES = ("full", "quantile", "iqr")
TRENDS = ("ascending", "descending", "auto")
SHAPES = ("peak", "valley", "auto_asc_desc")  # the optimal search only
OBJECTIVES = ("iv", "js")
PREBINNINGS = ("quantile", "cart", "boundary")
METRICS = ("woe", "bin", "event_rate", "representative")
UNKNOWNS = ("neutral", "error")
MAX_BINS = 100_000


def check_choice(argument: str, value: object, allowed: Sequence[object]) -> None:
    """Refuses a value that is not one of `allowed`, naming the argument."""
    if not (value is None or isinstance(value, str)) or value not in allowed:
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
    """What a fit of named columns needs, checked: the search `settings` shared by every
    column, how many columns are fitted at once on threads (`workers`), and:

    Attributes
    ----------
    special_values : dict of column name to tuple
        Each column's special values: numbers, or labels for a categorical column.
    user_splits : dict of column name to tuple of float
        The cut points of the columns cut where the user says.
    target_threshold : float or None
        The given threshold of a continuous target.
    target_percentile : float or None
        The given percentile of y that is the threshold.
    """

    settings: Settings
    workers: int
    special_values: dict[str, tuple[Any, ...]]
    user_splits: dict[str, tuple[float, ...]]
    target_threshold: float | None
    target_percentile: float | None

    def user_splits_of(self, name: str) -> np.ndarray | None:
        """A column's own cut points as an array, or None."""
        splits = self.user_splits.get(name)
        return None if splits is None else np.asarray(splits, dtype=np.float64)


def _settings(params: Mapping[str, Any]) -> Settings:
    check_choice("method", params["method"], METHODS)
    check_choice("candidates", params["candidates"], CANDIDATES)
    check_choice("representative", params["representative"], REPRESENTATIVES)
    check_choice("width_range", params["width_range"], RANGES)
    shapes = SHAPES if params["method"] == "optimal" else ()
    check_choice("monotonic_trend", params["monotonic_trend"], (*TRENDS, *shapes, None))
    check_choice("objective", params["objective"], OBJECTIVES)
    check_choice("metric", params["metric"], METRICS)
    check_choice("handle_unknown", params["handle_unknown"], UNKNOWNS)
    share = params["min_category_share"]
    check_number("min_category_share", share, 0.0, 0.5, "un número entre 0 y 0.5")
    check_number("min_bin_share", params["min_bin_share"], 0.0, 0.5, "un número entre 0 y 0.5")
    for argument in ("alpha", "beta"):
        check_number(argument, params[argument], 0.0, math.inf, "un número >= 0")
    check_number("n_bins", params["n_bins"], 1, MAX_BINS, f"un entero de 1 a {MAX_BINS}", True)
    for argument in ("lower_quantile", "upper_quantile"):
        check_number(argument, params[argument], 0.0, 1.0, "un número entre 0 y 1")
    check_number("iqr_k", params["iqr_k"], 0.0, 1e300, "un número finito >= 0")
    optimal = _optimal_settings(params)
    if not isinstance(params["force_first_split"], (bool, np.bool_)):
        error = _errors.out_of_range(
            "force_first_split", params["force_first_split"], "True o False"
        )
        raise error
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
        min_category_share=float(share),
        **optimal,
    )


def _optimal_settings(params: Mapping[str, Any]) -> dict[str, Any]:
    """The optimal search's constraints, checked; None turns a constraint off."""
    check_number("n_prebins", params["n_prebins"], 2, 1000, "un entero de 2 a 1000", True)
    check_choice("prebinning", params["prebinning"], PREBINNINGS)
    prebin_share = params["min_prebin_share"]
    check_number("min_prebin_share", prebin_share, 0.0, 0.5, "un número entre 0 y 0.5")
    share = 1.0 if params["max_bin_share"] is None else params["max_bin_share"]
    check_number("max_bin_share", share, 0.0, 1.0, "un número entre 0 y 1, o None")
    low = 1 if params["min_n_bins"] is None else params["min_n_bins"]
    high = 0 if params["max_n_bins"] is None else params["max_n_bins"]
    check_number("min_n_bins", low, 1, MAX_BINS, "un entero positivo o None", True)
    check_number(
        "max_n_bins", high, 0 if high == 0 else low, MAX_BINS, "un entero >= min_n_bins", True
    )
    check_number(
        "min_event_rate_diff", params["min_event_rate_diff"], 0.0, 1.0, "un número entre 0 y 1"
    )
    pvalue = 1.0 if params["max_pvalue"] is None else params["max_pvalue"]
    check_number("max_pvalue", pvalue, 0.0, 1.0, "un número entre 0 y 1, o None")
    for argument in ("min_bin_events", "min_bin_non_events"):
        check_number(argument, params[argument], 0, math.inf, "un entero >= 0", True)
    return {
        "n_prebins": int(params["n_prebins"]),
        "prebinning": params["prebinning"],
        "min_prebin_share": float(prebin_share),
        "objective": params["objective"],
        "max_bin_share": float(share),
        "min_n_bins": int(low),
        "max_n_bins": int(high),
        "min_event_rate_diff": float(params["min_event_rate_diff"]),
        "max_pvalue": float(pvalue),
        "min_bin_events": int(params["min_bin_events"]),
        "min_bin_non_events": int(params["min_bin_non_events"]),
    }


def _workers(n_jobs: Any) -> int:
    if n_jobs is None:
        return 1
    if isinstance(n_jobs, (int, np.integer)) and n_jobs == -1:
        return os.cpu_count() or 1
    check_number("n_jobs", n_jobs, 1, math.inf, "un entero positivo, -1 o None", True)
    return int(n_jobs)


def fit_request(params: Mapping[str, Any], names: list[str], kinds: list[str]) -> FitRequest:
    """The request of a fit of the columns `names`, of the given kinds (numeric or
    categorical), with the estimator's `params`."""
    if not names:
        raise _errors.no_columns()
    unknown = [name for name in categorical_names(params["categorical"]) if name not in names]
    if unknown:
        error = _errors.unknown_columns("categorical", unknown)
        raise error
    settings = _settings(params)
    percentile = params["target_percentile"]
    if percentile is not None:
        check_number("target_percentile", percentile, 0, 100, "un número de 0 a 100 o None")
    threshold = params["target_threshold"]
    if threshold is not None:
        rule = "un número (no NaN) o None"
        check_number("target_threshold", threshold, -math.inf, math.inf, rule)
    user = params["user_splits"]
    if user is not None and not isinstance(user, Mapping):
        error = _errors.out_of_range("user_splits", user, "un dict columna -> cortes")
        raise error
    user_splits = per_column("user_splits", user, names, [NUMERIC] * len(names))
    for name, splits in user_splits.items():
        finite = all(math.isfinite(v) for v in splits)
        if not (finite and all(a < b for a, b in itertools.pairwise(splits))):
            rule = "una lista de cortes finitos y estrictamente crecientes"
            error = _errors.out_of_range(f"user_splits['{name}']", list(splits), rule)
            raise error
    categorical = [n for n, kind in zip(names, kinds, strict=True) if kind == CATEGORICAL]
    cut_by_user = [name for name in categorical if name in user_splits]
    if cut_by_user:
        raise _errors.user_splits_categorical(cut_by_user)
    return FitRequest(
        settings=settings,
        workers=_workers(params["n_jobs"]),
        # Repeats, and numbers that are equal (1 and 1.0, -0.0 and 0.0), are one special value.
        special_values={
            name: tuple(dict.fromkeys(values))
            for name, values in per_column(
                "special_values", params["special_values"], names, kinds
            ).items()
        },
        user_splits=user_splits,
        target_threshold=None if threshold is None else float(threshold),
        target_percentile=None if percentile is None else float(percentile),
    )
