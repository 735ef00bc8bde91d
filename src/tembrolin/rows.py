"""Columns known by their rows: the source of a fit on one machine.

The special values are set apart first; a column's rows keep their bins under the last
cuts reported, so a report over some of those cuts regroups bins instead of searching
every row's bin again. Weighted rows take their report from `weighted`.
"""

from __future__ import annotations

from dataclasses import dataclass
from functools import cached_property

import numpy as np

import _tembrolin
from tembrolin import counted, weighted
from tembrolin._native import Workspace, binned_summary, mdlp_fit, regrouped_summary
from tembrolin.bins import Representative, Settings
from tembrolin.fitting import (
    BINARY_KEYS,
    CONTINUOUS_KEYS,
    NO_SPLITS,
    Search,
    mdlp_search,
    with_infinities,
)


@dataclass(frozen=True)
class Rows:
    """Rows of a column: x with the target's values and 0/1 classes (of any numeric type:
    a binary target is its own classes); `continuous` says whether the report also
    summarises the target's values; `weights`, when given, what each row counts."""

    x: np.ndarray
    y: np.ndarray
    classes: np.ndarray
    continuous: bool
    weights: np.ndarray | None = None

    def where(self, mask: np.ndarray) -> Rows:
        weights = None if self.weights is None else self.weights[mask]
        return Rows(self.x[mask], self.y[mask], self.classes[mask], self.continuous, weights)

    @cached_property
    def order(self) -> np.ndarray:
        """The rows in ascending order of x, NaN last, ties in their own order."""
        return np.argsort(self.x, kind="stable")

    @property
    def total(self) -> float:
        """How many rows, or their total weight."""
        return len(self.x) if self.weights is None else float(self.weights.sum())

    def report(self, splits: np.ndarray, representative: Representative) -> dict[str, np.ndarray]:
        """The core's rows over splits: class counts, and target statistics if continuous."""
        if self.weights is not None:
            return weighted.report(
                self.x,
                self.y,
                self.classes,
                self.weights,
                splits,
                representative,
                self.continuous,
                self.order,
            )
        rows = _tembrolin.binning_summary_binary(self.x, self.classes, splits, representative)
        return self.with_target({key: rows[key] for key in BINARY_KEYS}, splits, representative)

    def with_target(
        self, rows: dict[str, np.ndarray], splits: np.ndarray, representative: Representative
    ) -> dict[str, np.ndarray]:
        """The binary rows over splits, with the target's statistics if continuous."""
        if not self.continuous:
            return rows
        summary = _tembrolin.binning_summary_continuous(self.x, self.y, splits, representative)
        return rows | {key: summary[key] for key in CONTINUOUS_KEYS}


@dataclass(frozen=True)
class SampleSource:
    """The fit's source over a column's rows; the special values are set apart first, the
    missing values stay in (the core leaves them out of the search and reports them).
    `workspace`: the memory the MDLP search reuses from one column to the next."""

    rows_of: Rows
    special_values: tuple[float, ...]
    workspace: Workspace | None = None

    @property
    def n_rows(self) -> float:
        return self.rows_of.total

    @cached_property
    def binned(self) -> dict[str, np.ndarray]:
        return {}

    @cached_property
    def regular(self) -> Rows:
        if not self.special_values:
            return self.rows_of
        return self.rows_of.where(~np.isin(self.rows_of.x, self.special_values))

    def gini(self) -> float:
        regular = self.regular
        if regular.weights is not None:
            return weighted.gini(regular.x, regular.classes, regular.weights)
        finite = ~np.isnan(regular.x)
        kept = regular.classes[finite]
        if kept.size == 0 or kept.min() == kept.max():
            return float("nan")
        return float(_tembrolin.lorenz_curve_native(regular.x[finite], kept)["gini"])

    def search(self, settings: Settings, direction: str | None) -> Search:
        regular = self.regular
        if settings.method == "mdlp":
            rule = settings.mdlp_rule(self.n_rows, direction)
            # The classes are already 0/1, so the search sees the same classes as every
            # report; float64 ones are passed as they are, without a copy.
            classes = np.asarray(regular.classes, dtype=np.float64)
            report = mdlp_fit(
                regular.x, classes, *rule, candidates=settings.candidates, workspace=self.workspace
            )
            found = mdlp_search(report["summary"], settings.representative)
            if found.rows is None:
                return found
            return Search(
                found.splits, regular.with_target(found.rows, found.splits, settings.representative)
            )
        if not np.isfinite(regular.x).any():
            return Search(NO_SPLITS)  # nothing to cut: one bin
        if settings.method == "quantile" and regular.weights is not None:
            splits = weighted.quantile_splits(
                regular.x, regular.weights, settings.n_bins, regular.order
            )
            return Search(splits)
        return Search(_tembrolin.binning_splits(regular.x, *settings.split_rule, NO_SPLITS))

    def rows(
        self, splits: np.ndarray, representative: Representative | None
    ) -> dict[str, np.ndarray]:
        # Each regular row's bin under the last splits reported is kept: a report over some
        # of those splits (the optimal bins over their pre-bins, bins merged for a trend)
        # regroups the bins instead of searching every row's bin again.
        regular, binned = self.regular, self.binned
        if regular.weights is not None:
            return regular.report(splits, representative or "mean")
        fine = binned.get("splits")
        if fine is not None and np.isin(splits, fine).all():
            rows = regrouped_summary(
                regular.x, binned["slots"], binned["c1"], fine, splits, representative
            )
        else:
            rows = binned_summary(regular.x, regular.classes, splits, representative)
            binned.update(splits=splits, slots=rows.pop("slots"), c1=rows["c1"])
        rows = {key: rows[key] for key in BINARY_KEYS}
        return rows if representative is None else regular.with_target(rows, splits, representative)

    def special_rows(self, representative: Representative) -> list[dict[str, np.ndarray]]:
        x = self.rows_of.x
        return [
            self.rows_of.where(x == value).report(NO_SPLITS, representative)
            for value in self.special_values
        ]

    def class_counts(self) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
        regular = self.regular
        if regular.weights is not None:
            return weighted.per_value(regular.x, regular.classes, regular.weights, regular.order)
        return counted.per_value(counted.counts_of(regular.x, regular.classes))


def infinities(x: np.ndarray, special_values: tuple[float, ...]) -> tuple[float, ...]:
    """The special values of a numeric column, and the infinities x holds."""
    return special_values + tuple(v for v in with_infinities(special_values) if (x == v).any())
