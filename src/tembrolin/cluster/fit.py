"""The fit of a Dask DataFrame: counted on the workers, fitted on the client.

The fit is that of the same table on one machine, bit for bit, but for the mean of x in a
bin (`representative="mean"`), which the counts add value by value.
"""

from __future__ import annotations

from collections.abc import Mapping
from concurrent.futures import ThreadPoolExecutor
from typing import Any

import numpy as np
import pandas as pd

from tembrolin import _errors, counted, fitting
from tembrolin.bins import ColumnBins, FittedBins
from tembrolin.cluster import counting, dask, is_dask
from tembrolin.cluster.rounding import roundings as checked_roundings
from tembrolin.request import FitRequest, fit_request
from tembrolin.target import TargetRule, decide

DEFAULT_TABLE_BYTES = 256 * 2**20
TARGET = "__tembrolin_y__"


def with_target(X: Any, y: Any) -> tuple[Any, list[str], str]:
    """X with the target as a column, the names of the other columns, and the target's."""
    if isinstance(y, str):
        if y not in X.columns:
            error = _errors.unknown_columns("y", [y])
            raise error
        return X, [str(c) for c in X.columns if c != y], y
    if not is_dask(y):
        raise _errors.dask_target(type(y).__name__)
    return X.assign(**{TARGET: y}), [str(c) for c in X.columns], TARGET


def _check_numeric(frame: Any, names: list[str]) -> None:
    for name in names:
        dtype = frame.dtypes[name]
        if not (pd.api.types.is_numeric_dtype(dtype) or pd.api.types.is_bool_dtype(dtype)):
            raise _errors.not_numeric(name, dtype)


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
    frame, names, target = with_target(X, y)
    request = fit_request(params, names)
    _check_numeric(frame, names)
    roundings = checked_roundings(names, round_digits, round_grid)
    parts = frame.to_delayed()

    def count(rule: TargetRule) -> counting.PartCounts:
        leaves = [
            dask().delayed(counting.count_part)(
                part, names, target, rule, request.special_values, roundings, budget
            )
            for part in parts
        ]
        return counting.tree(leaves, counting.merge_parts).compute()

    def percentile() -> float:
        leaves = [dask().delayed(counting.target_counts)(part, target, budget) for part in parts]
        y_counts = counting.tree(leaves, counting.merge_guarded("y", budget)).compute()
        return counted.percentile(y_counts, request.target_percentile)

    # Most targets are 0/1: counted as such at once, and again only if they were not.
    merged = count(TargetRule(True))
    if merged.c0 + merged.c1 == 0:
        raise _errors.no_rows()
    rule = decide(merged.binary, request.target_threshold, percentile)
    if not rule.binary:
        merged = count(rule)
    fitted = _fit_columns(request, merged, names, roundings)
    if not rule.binary:
        leaves = [
            dask().delayed(counting.row_targets)(part, names, target, fitted, roundings)
            for part in parts
        ]
        targets = counting.tree(leaves, counting.merge_row_targets(budget)).compute()
        totals = targets[counting.TOTALS]
        fitted = [counted.with_target_summaries(b, targets[b.name] + totals) for b in fitted]
    entries = {
        name: sum(counted.entries(t) for t in c.tables()) for name, c in merged.columns.items()
    }
    return FittedBins({b.name: b for b in fitted}, True, rule, entries)


def _fit_columns(
    request: FitRequest, merged: counting.PartCounts, names: list[str], roundings: dict
) -> list[ColumnBins]:
    totals = fitting.totals_row(merged.c0, merged.c1)

    def fit_one(name: str) -> ColumnBins:
        specials = request.special_values.get(name, ())
        return fitting.fit_column(
            name,
            counted.CountsSource(merged.columns[name], specials),
            totals,
            request.settings,
            specials,
            request.user_splits_of(name),
            roundings[name].describe() if name in roundings else None,
        )

    with ThreadPoolExecutor(max_workers=request.workers) as pool:
        return list(pool.map(fit_one, names))
