"""The fit of a table on this machine: every column over its rows, on one or more threads."""

from __future__ import annotations

from collections.abc import Mapping
from concurrent.futures import ThreadPoolExecutor
from dataclasses import replace
from queue import SimpleQueue
from typing import Any

import numpy as np

from tembrolin import _errors, _frames, categories, weighted
from tembrolin._frames import Columns
from tembrolin._native import Workspace
from tembrolin.bins import ColumnBins, FittedBins
from tembrolin.column_options import categorical_names
from tembrolin.fitting import CONTINUOUS_KEYS, NO_SPLITS, fit_column, totals_row
from tembrolin.request import FitRequest, fit_request
from tembrolin.rows import Rows, SampleSource, infinities
from tembrolin.target import TargetRule, rule_for_sample


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
    if weights is not None and not weights.all():
        kept = (weights > 0) if kept is None else kept & (weights > 0)
    if kept is not None:
        y = y[kept]
        weights = None if weights is None else weights[kept]
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
