"""Columns known by their rows: the source of a fit on one machine, and that fit."""

from __future__ import annotations

from collections.abc import Mapping
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass, replace
from functools import cached_property
from queue import SimpleQueue
from typing import Any

import numpy as np

import _tembrolin
from tembrolin import _errors, _frames, categories, counted, weighted
from tembrolin._frames import Columns
from tembrolin._native import Workspace, binned_summary, mdlp_fit, regrouped_summary
from tembrolin.bins import ColumnBins, FittedBins, Representative, Settings
from tembrolin.column_options import categorical_names
from tembrolin.fitting import (
    BINARY_KEYS,
    CONTINUOUS_KEYS,
    NO_SPLITS,
    Search,
    fit_column,
    mdlp_search,
    totals_row,
    with_infinities,
)
from tembrolin.request import FitRequest, fit_request
from tembrolin.target import TargetRule, rule_for_sample


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

    def rows(self, splits: np.ndarray, representative: Representative) -> dict[str, np.ndarray]:
        # Each regular row's bin under the last splits reported is kept: a report over some
        # of those splits (the optimal bins over their pre-bins, bins merged for a trend)
        # regroups the bins instead of searching every row's bin again.
        regular, binned = self.regular, self.binned
        if regular.weights is not None:
            return regular.report(splits, representative)
        fine = binned.get("splits")
        if fine is not None and np.isin(splits, fine).all():
            rows = regrouped_summary(
                regular.x, regular.classes, binned["slots"], fine, splits, representative
            )
        else:
            rows = binned_summary(regular.x, regular.classes, splits, representative)
            binned.update(splits=splits, slots=rows.pop("slots"))
        return regular.with_target({key: rows[key] for key in BINARY_KEYS}, splits, representative)

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


def _fit_one(
    request: FitRequest, name: str, rows: Rows, totals: dict, workspace: Workspace
) -> ColumnBins:
    specials = request.special_values.get(name, ())
    if rows.x.dtype != object:
        specials = infinities(rows.x, specials)
        splits = request.user_splits_of(name)
        source = SampleSource(rows, specials, workspace)
        return fit_column(name, source, totals, request.settings, specials, splits)
    coded = categories.Coded.of(rows.x)  # the labels are read once, for counts and codes
    counts = categories.count_categories(coded, rows.classes, rows.weights)
    grouping = categories.group(counts, specials, rows.total, request.settings.min_category_share)
    codes = replace(rows, x=grouping.codes(coded))
    source = SampleSource(codes, grouping.special_codes, workspace)
    specials = grouping.special_codes
    bins = fit_column(name, source, totals, request.settings, specials, prebins=grouping.prebins)
    return categories.as_categories(bins, grouping)


def _totals(y: np.ndarray, classes: np.ndarray, weights: np.ndarray | None, binary: bool) -> dict:
    """The totals row of every column: the class counts (weighted when weights are given),
    and the continuous target's summary."""
    if weights is None:
        ones: float = int(np.count_nonzero(classes))
        zeros: float = len(classes) - ones
    else:
        events = classes != 0
        zeros, ones = float(weights[~events].sum()), float(weights[events].sum())
    target = None
    if not binary:
        whole = Rows(np.zeros(len(y)), y, classes, True, weights).report(NO_SPLITS, "median")
        target = {key: float(whole[key][0]) for key in CONTINUOUS_KEYS}
    return totals_row(zeros, ones, target)


def fit_table(
    request: FitRequest,
    columns: Columns,
    y: np.ndarray,
    rule: TargetRule,
    weights: np.ndarray | None = None,
) -> FittedBins:
    """The fit of every column of a table on this machine, columns on `request.workers`
    threads (the result does not depend on how many). Rows whose target is missing take
    no part, nor do rows of weight zero; with `weights`, each row counts as its weight."""
    missing = int(np.count_nonzero(np.isnan(y)))
    # The mask is only kept, and y only copied, when some rows are left out.
    kept = ~np.isnan(y) if missing else None
    if weights is not None:
        kept = (weights > 0) if kept is None else kept & (weights > 0)
        weights = weights[kept]
    if kept is not None:
        y = y[kept]
    # A binary y is its own classes: no copy of it is made.
    classes = y if rule.binary else rule.classes(y)
    totals = _totals(y, classes, weights, rule.binary)

    # One workspace per thread, taken for a column and given back after it: no two
    # columns fitted at once share one, and all are freed when the fit returns.
    workspaces: SimpleQueue[Workspace] = SimpleQueue()
    for _ in range(request.workers):
        workspaces.put(Workspace())

    def fit_one(j: int) -> ColumnBins:
        x = columns.read(j)
        rows = Rows(x if kept is None else x[kept], y, classes, not rule.binary, weights)
        workspace = workspaces.get()
        try:
            return _fit_one(request, columns.names[j], rows, totals, workspace)
        finally:
            workspaces.put(workspace)

    if request.workers == 1:
        # On the calling thread: a new thread's allocations would go to an arena of its
        # own, which keeps the freed memory of the columns' fits after the fit returns.
        fitted = [fit_one(j) for j in range(len(columns.names))]
    else:
        with ThreadPoolExecutor(max_workers=request.workers) as pool:
            fitted = list(pool.map(fit_one, range(len(columns.names))))
    labels = None if columns.labels is None else tuple(columns.labels)
    return FittedBins({b.name: b for b in fitted}, labels, rule, target_missing=missing)


def _refuse_mdlp(request: FitRequest, names: list[str]) -> None:
    """The MDLP search counts observations: with weights, a column it would cut is refused."""
    if request.settings.method == "mdlp":
        searched = [name for name in names if request.user_splits_of(name) is None]
        if searched:
            raise _errors.weights_with_mdlp(searched[0])


def fit_frame(params: Mapping[str, Any], X: Any, y: Any, sample_weight: Any = None) -> FittedBins:
    """The fit of a table on this machine with the estimator's `params`: X a pandas or
    polars DataFrame or a 2-D array, y its target or the name of one of its columns, and
    optionally a weight per row."""
    if isinstance(y, str):
        X, y = _frames.split_target(X, y)
    columns = _frames.read_columns(X, categorical_names(params["categorical"]))
    request = fit_request(params, columns.names, columns.kinds)
    if columns.n_rows == 0:
        raise _errors.no_rows()
    target = _frames.target_values(y, columns.n_rows)
    weights = None
    if sample_weight is not None:
        weights = weighted.checked_weights(sample_weight, columns.n_rows)
        _refuse_mdlp(request, columns.names)
    rule = rule_for_sample(
        target.values,
        target.floating,
        request.target_threshold,
        request.target_percentile,
        weights,
    )
    return fit_table(request, columns, target.values, rule, weights)
