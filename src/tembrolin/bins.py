"""The fitted bins: one record per column, and the record of a whole fit.

Tables, diagnostics, plots, persistence and the cluster code read these records; the
estimator (`tembrolin.Binner`) is the scikit-learn face over them.
"""

from __future__ import annotations

from collections.abc import Sequence
from dataclasses import dataclass, field
from functools import cached_property
from typing import Any, Literal

import numpy as np
import pandas as pd
from sklearn.utils.validation import check_is_fitted

import _tembrolin
from tembrolin import _errors, _frames
from tembrolin._frames import CATEGORICAL, NUMERIC
from tembrolin._native import lorenz_counts
from tembrolin.monotone import ASCENDING, DESCENDING
from tembrolin.target import TargetRule

UNKNOWN = -1  # the row of a value the fit never saw

Representative = Literal["mean", "median"]


@dataclass(frozen=True)
class Settings:
    """The search parameters shared by every column of a fit (validated by the request)."""

    method: str = "mdlp"
    min_bin_share: float = 0.05
    alpha: float = 1.0
    beta: float = 1.0
    force_first_split: bool = False
    candidates: Literal["boundary", "neighbour"] = "boundary"
    representative: Representative = "median"
    n_bins: int = 10
    range: str = "full"
    lower_quantile: float = 0.05
    upper_quantile: float = 0.95
    iqr_k: float = 1.5
    monotonic_trend: str | None = None
    min_category_share: float = 0.01
    n_prebins: int = 20
    prebinning: Literal["quantile", "cart", "boundary"] = "quantile"
    min_prebin_share: float = 0.0
    objective: Literal["iv", "js"] = "iv"
    max_bin_share: float = 1.0
    min_n_bins: int = 1
    max_n_bins: int = 0  # no limit
    min_event_rate_diff: float = 0.0
    max_pvalue: float = 1.0
    min_bin_events: int = 0
    min_bin_non_events: int = 0

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

    def mdlp_rule(
        self, n_rows: float, direction: str | None
    ) -> tuple[int, int, int, float, float, bool]:
        """The MDLP arguments in the core's order: minobs, monotonicity, mono_dir, alpha,
        beta, force_first_split; a bin holds more than `min_bin_share` of all n_rows."""
        mono_dir = {None: 0, ASCENDING: 1, DESCENDING: -1}[direction]
        minobs = int(self.min_bin_share * n_rows)
        return minobs, 1 if mono_dir else 0, mono_dir, self.alpha, self.beta, self.force_first_split


@dataclass(frozen=True)
class ColumnBins:
    """The bins of one column and the core's report on them.

    Rows, in this order: the k + 1 regular bins, one per special value, the missing
    values, and the totals. `rows` maps each report field to one array over them.
    A numeric column's regular bins are the intervals of its `splits`; its infinities,
    when the fit saw them, are special values (rows of their own, out of the search). A
    categorical column's regular bins are the sets of labels in `categories`, `pooled`
    the rare ones the fit pooled into one group. `rounding` says how x was rounded before
    the fit, if it was. `feasible` is false when no bins kept every constraint of the
    optimal search, and the column was left as one bin.
    """

    name: str
    method: str
    splits: np.ndarray
    special_values: tuple[Any, ...]
    trend: str | None
    rows: dict[str, np.ndarray] = field(repr=False)
    rounding: str | None = None
    categories: tuple[tuple[Any, ...], ...] | None = None
    pooled: tuple[Any, ...] = ()
    feasible: bool = True

    @property
    def categorical(self) -> bool:
        return self.categories is not None

    @property
    def n_regular(self) -> int:
        """The number of regular bins: one more than the splits."""
        return len(self.splits) + 1

    @property
    def missing_row(self) -> int:
        """The row of the missing values."""
        return self.n_regular + len(self.special_values)

    @cached_property
    def auc_gini(self) -> tuple[float, float]:
        """AUC and Gini of the column scored by its rows' event rates, by the core's Lorenz
        curve from the rows' class counts; NaN without both classes."""
        c0, c1 = self.rows["c0"][:-1], self.rows["c1"][:-1]
        if c0.sum() == 0 or c1.sum() == 0:
            return float("nan"), float("nan")
        curve = lorenz_counts(self.rows["event_rate"][:-1], c0, c1)
        return curve["auc"], curve["gini"]

    @cached_property
    def _row_of_label(self) -> dict[Any, int]:
        rows = {label: b for b, labels in enumerate(self.categories or ()) for label in labels}
        rows.update({v: self.n_regular + i for i, v in enumerate(self.special_values)})
        return rows

    def codes(self, x: np.ndarray) -> np.ndarray:
        """The report row of each value of x: its bin, its special value, or missing;
        UNKNOWN for a value the fit never saw (a new category, or an infinity when the
        fit had none)."""
        if self.categorical:
            codes, uniques = pd.factorize(x, use_na_sentinel=True)
            known = self._row_of_label
            table = [known.get(label, UNKNOWN) for label in uniques] + [self.missing_row]
            return np.asarray(table, dtype=np.int64)[codes]
        codes = _tembrolin.binning_transform(x, self.splits)
        for offset, value in enumerate(self.special_values):
            codes[x == value] = self.n_regular + offset
        codes[codes < 0] = self.missing_row  # NaN
        codes[np.isinf(x) & ~np.isin(x, self.special_values)] = UNKNOWN
        return codes

    def counted_codes(self, x: np.ndarray) -> np.ndarray:
        """`codes` for counting rows: a value the fit never saw counts as missing."""
        codes = self.codes(x)
        codes[codes == UNKNOWN] = self.missing_row
        return codes


@dataclass(frozen=True)
class FittedBins:
    """A whole fit: the bins of every column, in the fitted order, and the target rule.

    `labels` are the fitted DataFrame's column labels as they were (strings, integers,
    tuples), by which a new DataFrame is matched to the columns; a 2-D array's columns
    x0, x1, ... have none, and new data are matched to them by position.
    `merged_entries` holds, after a cluster fit, each column's merged table size;
    `target_missing` counts the rows left out for a missing target.
    """

    columns: dict[str, ColumnBins]
    labels: tuple[Any, ...] | None
    target: TargetRule
    merged_entries: dict[str, int] | None = None
    target_missing: int = 0

    @property
    def names(self) -> list[str]:
        return list(self.columns)

    @property
    def kinds(self) -> list[str]:
        """Each column's kind, numeric or categorical, as new data are read by."""
        return [CATEGORICAL if b.categorical else NUMERIC for b in self.columns.values()]

    def column(self, key: str | int) -> ColumnBins:
        """A column's bins by name, or by position."""
        if isinstance(key, (int, np.integer)) and not isinstance(key, bool):
            if 0 <= key < len(self.columns):
                return self.columns[self.names[key]]
        elif isinstance(key, str) and key in self.columns:
            return self.columns[key]
        raise _errors.unknown_column(key, self.names)

    def names_out(self, input_features: Sequence[str] | None) -> np.ndarray:
        """The transformed columns' names: the fitted ones, or the given ones checked."""
        names = self.names
        if input_features is not None:
            if len(input_features) != len(names):
                raise _errors.column_count(len(input_features), len(names))
            given = [str(name) for name in input_features]
            if self.labels is not None and given != names:
                missing = [n for n in names if n not in given]
                raise _errors.columns_differ(missing, [n for n in given if n not in names])
            names = given
        return np.asarray(names, dtype=object)

    def aligned(self, X: Any) -> list[np.ndarray]:
        """The columns of X in the fitted order, by name when both sides have names."""
        columns = _frames.read_columns(X)
        if columns.labels is not None and self.labels is not None:
            given = columns.labels
            missing = [str(label) for label in self.labels if label not in given]
            extra = [str(label) for label in given if label not in self.labels]
            if missing or extra:
                raise _errors.columns_differ(missing, extra)
            positions = [given.index(label) for label in self.labels]
        else:
            if len(columns.names) != len(self.columns):
                raise _errors.column_count(len(columns.names), len(self.columns))
            positions = list(range(len(self.columns)))
        return [columns.read_as(j, kind) for j, kind in zip(positions, self.kinds, strict=True)]


def fitted_bins(estimator: Any) -> FittedBins:
    """The fit of a fitted binner, or the package's message that it is not fitted."""
    check_is_fitted(estimator, "bins_", msg=_errors.not_fitted())
    return estimator.bins_
