"""The fit of one column: its cuts by the chosen method, its special values, its report rows.

Every count, rate and representative of a column comes from the core's summaries
(`binning_summary_binary`, `binning_summary_continuous`); Python only splits the column
into its regular, special and missing parts and lines the rows up.
"""

from __future__ import annotations

from dataclasses import dataclass, field
from functools import cached_property
from typing import Literal

import numpy as np

import _tembrolin
from tembrolin import monotone
from tembrolin._native import lorenz_counts, mdlp_fit

NO_SPLITS = np.empty(0, dtype=np.float64)
BINARY_KEYS = ("count", "c0", "c1", "event_rate", "representative")
CONTINUOUS_KEYS = ("target_mean", "target_p25", "target_median", "target_p75")


@dataclass(frozen=True)
class Target:
    """y as the core sees it: its values, its 0/1 classes and the threshold between them."""

    values: np.ndarray
    classes: np.ndarray
    binary: bool
    threshold: float


def read_target(y: np.ndarray, threshold: float | None, percentile: float) -> Target:
    """Classes by the core's rule: y itself when it is 0/1, else y > threshold.

    Without a given threshold it is the core's percentile of y, taken once for the whole
    table so that every column is judged against the same classes.
    """
    if ((y == 0.0) | (y == 1.0)).all():
        return Target(y, y.astype(np.int32), True, 0.0)
    if threshold is None:
        # The core's percentile rule, read from its report on a one-valued x.
        threshold = _tembrolin.mdlp_full_raw(
            np.zeros_like(y), y, 0, 0, 0, 1.0, 1.0, False, percentile=percentile
        )["metadata"]["threshold"]
    return Target(y, (y > threshold).astype(np.int32), False, float(threshold))


@dataclass(frozen=True)
class Settings:
    """The search parameters shared by every column (validated by the estimator)."""

    method: str = "mdlp"
    min_bin_share: float = 0.05
    alpha: float = 1.0
    beta: float = 1.0
    force_first_split: bool = False
    candidates: Literal["boundary", "neighbour"] = "boundary"
    representative: str = "median"
    n_bins: int = 10
    range: str = "full"
    lower_quantile: float = 0.05
    upper_quantile: float = 0.95
    iqr_k: float = 1.5
    monotonic_trend: str | None = None

    @property
    def split_rule(self) -> tuple[str, int, str, float, float, float]:
        """The split arguments of the core's binning: method, n_bins, range, lower and
        upper quantile, and the IQR multiple, in the core's order."""
        return (
            self.method,
            self.n_bins,
            self.range,
            self.lower_quantile,
            self.upper_quantile,
            self.iqr_k,
        )


@dataclass(frozen=True)
class ColumnBins:
    """The bins of one column and the core's report on them.

    Rows, in this order: the k + 1 regular bins of `splits`, one per special value, the
    missing values, and the totals. `rows` maps each report field to one array over them.
    `rounding` says how x was rounded before the fit, if it was.
    """

    name: str
    method: str
    splits: np.ndarray
    special_values: tuple[float, ...]
    trend: str | None
    rows: dict[str, np.ndarray] = field(repr=False)
    rounding: str | None = None

    @property
    def n_regular(self) -> int:
        return len(self.splits) + 1

    @property
    def missing_row(self) -> int:
        return self.n_regular + len(self.special_values)

    @cached_property
    def auc_gini(self) -> tuple[float, float]:
        """AUC and Gini of the column scored by its rows' event rates, by the core's Lorenz
        curve; NaN without both classes.

        The curve depends only on how many observations of each class share each score, so
        the rows' class counts suffice, however many observations they count.
        """
        c0, c1 = self.rows["c0"][:-1], self.rows["c1"][:-1]
        if c0.sum() == 0 or c1.sum() == 0:
            return float("nan"), float("nan")
        curve = lorenz_counts(self.rows["event_rate"][:-1], c0, c1)
        return curve["auc"], curve["gini"]

    def codes(self, x: np.ndarray) -> np.ndarray:
        """The report row of each value of x: its bin, its special value, or missing."""
        codes = _tembrolin.binning_transform(x, self.splits)
        for offset, value in enumerate(self.special_values):
            codes[x == value] = self.n_regular + offset
        codes[codes < 0] = self.missing_row  # NaN
        return codes


def _mdlp_splits(
    x: np.ndarray, classes: np.ndarray, settings: Settings, n_rows: int, direction: str | None
) -> np.ndarray:
    minobs = int(settings.min_bin_share * n_rows)
    mono_dir = {None: 0, monotone.ASCENDING: 1, monotone.DESCENDING: -1}[direction]
    args = (
        minobs,
        1 if mono_dir else 0,
        mono_dir,
        settings.alpha,
        settings.beta,
        settings.force_first_split,
    )
    # The classes are already 0/1, so the search sees the same classes as every report.
    report = mdlp_fit(x, classes.astype(np.float64), *args, candidates=settings.candidates)
    right = report["summary"]["right"]
    return right[np.isfinite(right)]


def _search(
    x: np.ndarray, classes: np.ndarray, settings: Settings, n_rows: int, direction: str | None
) -> np.ndarray:
    if settings.method == "mdlp":
        return _mdlp_splits(x, classes, settings, n_rows, direction)
    if not np.isfinite(x).any():
        return NO_SPLITS  # nothing to cut: one bin
    return _tembrolin.binning_splits(x, *settings.split_rule, NO_SPLITS)


def _report(x: np.ndarray, target: Target, splits: np.ndarray, representative: str) -> dict:
    """The core's rows for x over splits: class counts, and target statistics if continuous."""
    rows = _tembrolin.binning_summary_binary(x, target.classes, splits, representative)
    rows = {key: rows[key] for key in BINARY_KEYS}
    if not target.binary:
        continuous = _tembrolin.binning_summary_continuous(x, target.values, splits, representative)
        rows.update({key: continuous[key] for key in CONTINUOUS_KEYS})
    return rows


def _subset(target: Target, mask: np.ndarray | slice) -> Target:
    return Target(target.values[mask], target.classes[mask], target.binary, target.threshold)


def _rows(rows: dict, where: slice) -> dict:
    return {key: values[where] for key, values in rows.items()}


def _single_row(x: np.ndarray, target: Target, representative: str) -> dict:
    """The core's report on x as one bin: all zeros when x is empty."""
    return _report(x, target, NO_SPLITS, representative)


def totals_row(target: Target, representative: str) -> dict:
    """The totals row shared by every column: the whole target as one bin (x plays no part,
    and the row's representative means nothing)."""
    totals = _single_row(np.zeros(len(target.values)), target, representative)
    totals["representative"] = np.full(1, np.nan)
    return totals


def fit_column(
    name: str,
    x: np.ndarray,
    target: Target,
    totals: dict,
    settings: Settings,
    special_values: tuple[float, ...] = (),
    user_splits: np.ndarray | None = None,
) -> ColumnBins:
    """Bins one column: the search on its regular values, then the core's report.

    Missing values stay in the searched column (the core leaves them out of the search and
    reports them in a row of their own); special values are taken out first.
    """
    special = np.isin(x, special_values) if special_values else None
    searched = x if special is None else x[~special]
    searched_target = target if special is None else _subset(target, ~special)
    classes = searched_target.classes

    direction = settings.monotonic_trend
    if direction == "auto":
        direction = monotone.direction_of(searched, classes)
    if user_splits is not None:
        # The core's check of custom cuts: finite and strictly increasing, or its message.
        splits = _tembrolin.binning_splits(
            NO_SPLITS, "custom", 1, "full", 0.0, 1.0, 0.0, np.asarray(user_splits, dtype=np.float64)
        )
        method = "user"
    else:
        splits = _search(searched, classes, settings, len(x), direction)
        method = settings.method
    rows = _report(searched, searched_target, splits, settings.representative)
    if direction is not None:
        regular = _rows(rows, slice(0, len(splits) + 1))
        merged = monotone.merge_violators(splits, regular["c0"], regular["c1"], direction)
        if len(merged) != len(splits):
            splits = merged
            rows = _report(searched, searched_target, splits, settings.representative)

    n_regular = len(splits) + 1
    parts = [_rows(rows, slice(0, n_regular))]
    for value in special_values:
        mask = x == value
        parts.append(_single_row(x[mask], _subset(target, mask), settings.representative))
    if len(rows["count"]) > n_regular:
        parts.append(_rows(rows, slice(n_regular, None)))  # the core's missing row
    else:
        empty = slice(0, 0)
        parts.append(_single_row(x[empty], _subset(target, empty), settings.representative))
    parts.append(totals)
    all_rows = {key: np.concatenate([part[key] for part in parts]) for key in rows}
    return ColumnBins(name, method, splits, special_values, direction, all_rows)
