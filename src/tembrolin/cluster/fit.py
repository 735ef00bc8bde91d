"""The fit of a Dask DataFrame: counted on the workers, fitted on the client.

The fit is that of the same table on one machine, bit for bit, but for the mean of x in a
bin (`representative="mean"`), which the counts add value by value.
"""

from __future__ import annotations

from collections.abc import Mapping
from concurrent.futures import ThreadPoolExecutor
from typing import Any

import numpy as np

from tembrolin import _errors, _frames, categories, counted, fitting
from tembrolin.bins import ColumnBins, FittedBins
from tembrolin.categories import CategoryCounts
from tembrolin.cluster import counting, dask, is_dask
from tembrolin.cluster.rounding import roundings as checked_roundings
from tembrolin.column_options import categorical_names
from tembrolin.request import FitRequest, fit_request
from tembrolin.target import TargetRule, decide

DEFAULT_TABLE_BYTES = 256 * 2**20
TARGET = "__tembrolin_y__"


def with_target(X: Any, y: Any) -> tuple[Any, list[Any], str]:
    """X with the target as a column, the labels of the other columns, and the target's."""
    if isinstance(y, str):
        if y not in X.columns:
            error = _errors.unknown_columns("y", [y])
            raise error
        return X, [c for c in X.columns if c != y], y
    if not is_dask(y):
        raise _errors.dask_target(type(y).__name__)
    return (
        X.map_partitions(_beside, y, meta=X._meta.assign(**{TARGET: y._meta})),
        list(X.columns),
        TARGET,
    )


def _beside(part: Any, y: Any) -> Any:
    """A partition with its target beside it, refused when their rows are not the same."""
    if not part.index.equals(y.index):
        raise _errors.target_not_aligned()
    return part.assign(**{TARGET: y})


def _budget(max_table_bytes: Any) -> int:
    whole = isinstance(max_table_bytes, (int, np.integer)) and not isinstance(max_table_bytes, bool)
    if not whole or max_table_bytes < 1:
        error = _errors.out_of_range("max_table_bytes", max_table_bytes, "un entero positivo")
        raise error
    return int(max_table_bytes)


def fit(
    params: Mapping[str, Any],
    X: Any,
    y: Any,
    max_table_bytes: int = DEFAULT_TABLE_BYTES,
    round_digits: Mapping[str, int] | None = None,
    round_grid: Mapping[str, float] | None = None,
) -> FittedBins:
    """The fit of a Dask DataFrame X against y (a column name or a Dask Series).

    Parameters
    ----------
    params : mapping
        The estimator's parameters (`Binner.get_params()`).
    X, y : Dask DataFrame, and a column name or a Dask Series
        The table and its target.
    max_table_bytes : int, default 256 MiB
        The most that one column's merged counts may take; past it the fit stops on the
        workers with an error that names the column.
    round_digits, round_grid : mapping of column name to int or float, optional
        Columns rounded before they are counted: to significant digits, or to multiples of
        a step.

    Returns
    -------
    FittedBins
        The bins of every column, as a fit of the whole table on one machine gives them.
    """
    budget = _budget(max_table_bytes)
    frame, labels, target = with_target(X, y)
    meta = _frames.read_columns(frame._meta[labels], categorical_names(params["categorical"]))
    names = meta.names
    request = fit_request(params, names, meta.kinds)
    floating = _frames.target_values(frame._meta[target], 0).floating
    layout = counting.Layout(
        labels, names, meta.kinds, target, checked_roundings(names, round_digits, round_grid)
    )
    parts = frame.to_delayed()

    def count(rule: TargetRule) -> counting.PartCounts:
        leaves = [
            dask().delayed(counting.count_part)(part, layout, rule, request.special_values, budget)
            for part in parts
        ]
        return counting.tree(leaves, counting.merge_parts).compute()

    def percentile(p: float) -> float:
        leaves = [dask().delayed(counting.target_counts)(part, target, budget) for part in parts]
        y_counts = counting.tree(leaves, counting.merge_guarded("y", budget)).compute()
        return counted.percentile(y_counts, p)

    # Most targets are 0/1: counted as such at once, and again only if they were not.
    merged = count(TargetRule(True))
    if merged.c0 + merged.c1 == 0:
        raise _errors.no_rows()
    rule = decide(
        merged.seen, floating, request.target_threshold, request.target_percentile, percentile
    )
    if not rule.binary:
        merged = count(rule)
    fitted = _fit_columns(request, merged, layout)
    if not rule.binary:
        leaves = [dask().delayed(counting.row_targets)(part, layout, fitted) for part in parts]
        targets = counting.tree(leaves, counting.merge_row_targets(budget)).compute()
        totals = targets[counting.TOTALS]
        fitted = [counted.with_target_summaries(b, targets[b.name] + totals) for b in fitted]
    return FittedBins(
        {b.name: b for b in fitted}, tuple(labels), rule, merged.entries(), merged.target_missing
    )


def _fit_columns(
    request: FitRequest, merged: counting.PartCounts, layout: counting.Layout
) -> list[ColumnBins]:
    totals = fitting.totals_row(merged.c0, merged.c1)
    n_rows = merged.c0 + merged.c1

    def fit_one(name: str) -> ColumnBins:
        own = request.special_values.get(name, ())
        rounding = layout.roundings.get(name)
        described = None if rounding is None else rounding.describe()
        counts = merged.columns[name]
        if isinstance(counts, CategoryCounts):
            share = request.settings.min_category_share
            grouping = categories.group(counts, own, n_rows, share)
            source = counted.CountsSource(
                categories.column_counts(counts, grouping), grouping.special_codes
            )
            specials = grouping.special_codes
            bins = fitting.fit_column(
                name, source, totals, request.settings, specials, prebins=grouping.prebins
            )
            return categories.as_categories(bins, grouping)
        counts = counts.kept(own)
        specials = tuple(counts.special)
        splits = request.user_splits_of(name)
        source = counted.CountsSource(counts, specials)
        return fitting.fit_column(
            name, source, totals, request.settings, specials, splits, described
        )

    with ThreadPoolExecutor(max_workers=request.workers) as pool:
        return list(pool.map(fit_one, layout.names))
