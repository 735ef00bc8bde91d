"""Fit, transform and diagnostics on Dask DataFrames, with the results of one machine.

Each partition reduces its rows to the class counts at every distinct value of each
column (the native core sorts them); the counts merge pairwise in a tree on the workers,
and the client fits each column from the merged counts (`tembrolin.counted`), exactly as
a fit of the whole table on one machine would. Quantiles, medians and percentiles are
exact order statistics of the merged counts, never sketches.

A continuous column can have as many distinct values as rows. A merged table that would
exceed `max_table_bytes` stops the fit on the workers, before anything is collected, with
an error that names the column; rounding that column first (`round_digits` or
`round_grid`) makes it fit, and the fit is then exact for the rounded data.

Dask is imported here only, and only when a Dask input arrives.
"""

from __future__ import annotations

import math
from collections.abc import Callable, Mapping
from concurrent.futures import ThreadPoolExecutor
from dataclasses import dataclass
from typing import TYPE_CHECKING, Any

import numpy as np
import pandas as pd

from tembrolin import _errors, _frames, counted
from tembrolin._native import compare_counts, lorenz_counts
from tembrolin.counted import ColumnCounts

if TYPE_CHECKING:
    from tembrolin.binner import Binner
    from tembrolin.fitting import ColumnBins

DEFAULT_TABLE_BYTES = 256 * 2**20
ENTRY_BYTES = 24  # a value and its two counts
TARGET = "__tembrolin_y__"
TOTALS = "__totals__"  # the name the target's own table is guarded under


def _dask() -> Any:
    # Optional and slow to import: only a Dask input brings it in.
    import dask  # noqa: PLC0415

    return dask


def is_dask(data: Any) -> bool:
    """Whether `data` is a Dask collection, found without importing Dask."""
    return type(data).__module__.partition(".")[0] in ("dask", "dask_expr")


# -- rounding -----------------------------------------------------------------------------


def round_significant(x: np.ndarray, digits: int) -> np.ndarray:
    """x to `digits` significant digits; zeros, infinities and NaN stay as they are."""
    out = np.array(x, dtype=np.float64)
    shown = np.isfinite(out) & (out != 0.0)
    scale = 10.0 ** (digits - 1 - np.floor(np.log10(np.abs(out[shown]))))
    out[shown] = np.round(out[shown] * scale) / scale
    return out


def round_to_grid(x: np.ndarray, step: float) -> np.ndarray:
    """x to the nearest multiple of `step`."""
    return np.round(np.asarray(x, dtype=np.float64) / step) * step


@dataclass(frozen=True)
class Rounding:
    """How one column is rounded before it is counted, and how the report says so."""

    by: str  # "digits" (significant) or "grid"
    amount: float

    def apply(self, x: np.ndarray) -> np.ndarray:
        if self.by == "digits":
            return round_significant(x, int(self.amount))
        return round_to_grid(x, self.amount)

    def describe(self) -> str:
        if self.by == "digits":
            return f"{int(self.amount)} cifras significativas"
        return f"múltiplos de {self.amount}"


def _roundings(
    names: list[str], digits: Mapping[str, int] | None, grid: Mapping[str, float] | None
) -> dict[str, Rounding]:
    digits, grid = dict(digits or {}), dict(grid or {})
    for argument, given in (("round_digits", digits), ("round_grid", grid)):
        unknown = [str(name) for name in given if name not in names]
        if unknown:
            raise _errors.unknown_columns(argument, unknown)
    both = [name for name in digits if name in grid]
    if both:
        raise _errors.rounded_twice(both)
    for name, value in digits.items():
        if isinstance(value, bool) or not isinstance(value, (int, np.integer)) or value < 1:
            error = _errors.out_of_range(f"round_digits['{name}']", value, "un entero positivo")
            raise error
    for name, step in grid.items():
        if not isinstance(step, (int, float, np.number)) or not 0 < step < math.inf:
            error = _errors.out_of_range(f"round_grid['{name}']", step, "un número positivo finito")
            raise error
    out = {name: Rounding("digits", int(value)) for name, value in digits.items()}
    return out | {name: Rounding("grid", float(step)) for name, step in grid.items()}


# -- reading partitions -------------------------------------------------------------------


@dataclass(frozen=True)
class Classes:
    """The target's classes: y itself when 0/1, else y above the threshold."""

    binary: bool
    threshold: float

    def of(self, y: np.ndarray) -> np.ndarray:
        return (y == 1.0 if self.binary else y > self.threshold).astype(np.int32)


def _with_target(X: Any, y: Any) -> tuple[Any, list[str], str]:
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


def _read(part: pd.DataFrame, names: list[str], target: str) -> tuple[list[np.ndarray], np.ndarray]:
    """The columns and the target of one partition, read as the single-machine fit reads them."""
    columns = _frames.read_columns(part[names]).all() if names else []
    return columns, _frames.read_target(part[target], len(part))


def _column(part_columns: list[np.ndarray], j: int, rounding: Rounding | None) -> np.ndarray:
    x = part_columns[j]
    return x if rounding is None else rounding.apply(x)


# -- the tree of counts -------------------------------------------------------------------


def _tree(leaves: list[Any], merge: Callable[[Any, Any], Any]) -> Any:
    """The leaves merged pairwise, level by level, on the workers: one delayed result."""
    dask = _dask()
    level = list(leaves)
    while len(level) > 1:
        paired = [dask.delayed(merge)(a, b) for a, b in zip(level[::2], level[1::2], strict=False)]
        level = paired + (level[-1:] if len(level) % 2 else [])
    return level[0]


def _guard(name: str, tables: list[dict], budget: int) -> None:
    """Stops the fit where a column's counts outgrow the budget, before they travel on."""
    entries = sum(counted.entries(table) for table in tables)
    if entries * ENTRY_BYTES > budget:
        raise _errors.table_too_large(name, entries, budget)


@dataclass(frozen=True)
class PartCounts:
    """What one partition, or several merged, contribute to a fit; `binary` says whether
    every y was 0 or 1."""

    columns: dict[str, ColumnCounts]
    c0: int
    c1: int
    binary: bool
    budget: int

    def merge(self, other: PartCounts) -> PartCounts:
        columns = {name: c.merge(other.columns[name]) for name, c in self.columns.items()}
        for name, c in columns.items():
            _guard(name, [c.regular, *c.special.values()], self.budget)
        c0, c1 = self.c0 + other.c0, self.c1 + other.c1
        return PartCounts(columns, c0, c1, self.binary and other.binary, self.budget)


def _count_part(
    part: pd.DataFrame,
    names: list[str],
    target: str,
    classes: Classes,
    specials: dict[str, tuple[float, ...]],
    roundings: dict[str, Rounding],
    budget: int,
) -> PartCounts:
    columns, y = _read(part, names, target)
    cls = classes.of(y)
    counts = {}
    for j, name in enumerate(names):
        x = _column(columns, j, roundings.get(name))
        counts[name] = counted.count_column(x, cls, specials.get(name, ()))
        _guard(name, [counts[name].regular, *counts[name].special.values()], budget)
    ones = int(cls.sum())
    binary = bool(((y == 0.0) | (y == 1.0)).all())
    return PartCounts(counts, len(cls) - ones, ones, binary, budget)


def _merge_parts(a: PartCounts, b: PartCounts) -> PartCounts:
    return a.merge(b)


def _target_counts(part: pd.DataFrame, target: str, budget: int) -> dict:
    y = _frames.read_target(part[target], len(part))
    table = counted.counts_of(y, np.zeros(len(y), dtype=np.int32))
    _guard("y", [table], budget)
    return table


def _merge_guarded(name: str, budget: int) -> Callable[[dict, dict], dict]:
    def merge(a: dict, b: dict) -> dict:
        merged = counted.merge_counts(a, b)
        _guard(name, [merged], budget)
        return merged

    return merge


def _row_targets(
    part: pd.DataFrame,
    names: list[str],
    target: str,
    fitted: list[ColumnBins],
    roundings: dict[str, Rounding],
) -> dict[str, list[dict]]:
    """The counted targets of each row of each column, and of the whole partition."""
    columns, y = _read(part, names, target)
    zeros = np.zeros(len(y), dtype=np.int32)
    out = {TOTALS: [counted.counts_of(y, zeros)]}
    for j, bins in enumerate(fitted):
        codes = bins.codes(_column(columns, j, roundings.get(bins.name)))
        rows = range(bins.missing_row + 1)
        out[bins.name] = [counted.counts_of(y[codes == r], zeros[codes == r]) for r in rows]
    return out


def _merge_row_targets(budget: int) -> Callable[[dict, dict], dict]:
    def merge(a: dict, b: dict) -> dict:
        merged = {}
        for name, tables in a.items():
            merged[name] = [
                counted.merge_counts(t, u) for t, u in zip(tables, b[name], strict=True)
            ]
            _guard("y" if name == TOTALS else name, merged[name], budget)
        return merged

    return merge


# -- fit ----------------------------------------------------------------------------------


def fit(
    binner: Binner,
    X: Any,
    y: Any,
    max_table_bytes: int = DEFAULT_TABLE_BYTES,
    round_digits: Mapping[str, int] | None = None,
    round_grid: Mapping[str, float] | None = None,
) -> Binner:
    """`Binner.fit` on a Dask DataFrame: see the module's docstring."""
    dask = _dask()
    settings = binner._settings()
    workers = binner._workers()
    whole = isinstance(max_table_bytes, (int, np.integer)) and not isinstance(max_table_bytes, bool)
    if not whole or max_table_bytes < 1:
        error = _errors.out_of_range("max_table_bytes", max_table_bytes, "un entero positivo")
        raise error
    budget = int(max_table_bytes)
    frame, names, target = _with_target(X, y)
    _check_numeric(frame, names)
    roundings = _roundings(names, round_digits, round_grid)
    specials, user = binner._column_options(names)

    parts = frame.to_delayed()

    def count(classes: Classes) -> PartCounts:
        leaves = [
            dask.delayed(_count_part)(part, names, target, classes, specials, roundings, budget)
            for part in parts
        ]
        return _tree(leaves, _merge_parts).compute()

    # Most targets are 0/1: counted as such at once, and again only if they were not.
    merged = count(Classes(binary=True, threshold=0.0))
    if merged.c0 + merged.c1 == 0:
        raise _errors.no_rows()
    classes = Classes(binary=True, threshold=0.0)
    if not merged.binary:
        if binner.target_threshold is not None:
            threshold = float(binner.target_threshold)
        else:
            leaves = [dask.delayed(_target_counts)(part, target, budget) for part in parts]
            y_counts = _tree(leaves, _merge_guarded("y", budget)).compute()
            threshold = counted.percentile(y_counts, float(binner.target_percentile))
        classes = Classes(binary=False, threshold=threshold)
        merged = count(classes)
    totals = counted.totals_row(merged.c0, merged.c1)

    def fit_one(name: str) -> ColumnBins:
        splits = np.asarray(user[name], dtype=np.float64) if name in user else None
        rounding = roundings[name].describe() if name in roundings else None
        return counted.fit_column(
            name, merged.columns[name], totals, settings, specials.get(name, ()), splits, rounding
        )

    with ThreadPoolExecutor(max_workers=workers) as pool:
        fitted = list(pool.map(fit_one, names))
    if not classes.binary:
        leaves = [
            dask.delayed(_row_targets)(part, names, target, fitted, roundings) for part in parts
        ]
        targets = _tree(leaves, _merge_row_targets(budget)).compute()
        totals_targets = targets[TOTALS]
        fitted = [
            counted.with_target_summaries(b, targets[b.name] + totals_targets) for b in fitted
        ]
    binner._set_fitted(names, True, fitted, classes.binary, classes.threshold)
    binner.merged_entries_ = {
        name: sum(counted.entries(t) for t in (c.regular, *c.special.values()))
        for name, c in merged.columns.items()
    }
    return binner


# -- using the bins -----------------------------------------------------------------------


def _transform_part(part: pd.DataFrame, binner: Binner, metric: str) -> pd.DataFrame:
    out = binner.transform(part, metric)
    return pd.DataFrame(out, columns=list(binner.columns_), index=part.index)


def transform(binner: Binner, X: Any, metric: str) -> Any:
    """`Binner.transform` partition by partition: a Dask DataFrame of the fitted columns."""
    binner._aligned(X._meta)  # the column checks, on the client
    dtype = np.int64 if metric == "bin" else np.float64
    meta = pd.DataFrame({name: np.empty(0, dtype=dtype) for name in binner.columns_})
    return X.map_partitions(_transform_part, binner, metric, meta=meta)


def _bin_counts(part: Any, binner: Binner) -> list[np.ndarray]:
    """The observations of each report row (totals excluded) of each column."""
    columns = binner._aligned(part)
    return [
        np.bincount(b.codes(x), minlength=b.missing_row + 1)
        for b, x in zip(binner.columns_.values(), columns, strict=True)
    ]


def _summed(sample: Any, count: Callable[..., list[np.ndarray]], *args: Any) -> list[np.ndarray]:
    """`count` of a pandas sample, or summed over the partitions of a Dask one."""
    if not is_dask(sample):
        return count(sample, *args)
    dask = _dask()
    per_part = dask.compute(*[dask.delayed(count)(p, *args) for p in sample.to_delayed()])
    return [np.sum(column, axis=0) for column in zip(*per_part, strict=True)]


def compare(binner: Binner, reference: Any, current: Any, epsilon: float) -> list[dict]:
    """The core's comparison of each column's bins, from the bin counts of both samples."""
    binner._aligned(reference._meta if is_dask(reference) else reference)
    binner._aligned(current._meta if is_dask(current) else current)
    out = []
    ref_counts = _summed(reference, _bin_counts, binner)
    cur_counts = _summed(current, _bin_counts, binner)
    for ref, cur in zip(ref_counts, cur_counts, strict=True):
        # No missing value in either sample: no missing bin.
        rows = len(ref) - 1 if ref[-1] == 0 and cur[-1] == 0 else len(ref)
        out.append(
            compare_counts(ref[:rows].astype(np.int64), cur[:rows].astype(np.int64), epsilon)
        )
    return out


def _class_counts(part: pd.DataFrame, binner: Binner, target: str) -> list[np.ndarray]:
    """Per column, the class-0 and class-1 counts of each report row (totals excluded)."""
    names = list(binner.columns_)
    columns, y = _read(part, names, target)
    binary = binner.target_type_ == "binary"
    ones = Classes(binary, binner.threshold_).of(y).astype(np.float64)
    out = []
    for bins, x in zip(binner.columns_.values(), columns, strict=True):
        codes = bins.codes(x)
        c1 = np.bincount(codes, weights=ones, minlength=bins.missing_row + 1)
        c0 = np.bincount(codes, minlength=bins.missing_row + 1) - c1
        out.append(np.stack([c0, c1]).astype(np.int64))
    return out


def discrimination(binner: Binner, X: Any, y: Any) -> pd.DataFrame:
    """`tembrolin.discrimination` on a Dask DataFrame, from each bin's class counts."""
    frame, names, target = _with_target(X, y)
    binner._aligned(frame._meta[names])
    rows = []
    per_column = _summed(frame, _class_counts, binner, target)
    for bins, (c0, c1) in zip(binner.columns_.values(), per_column, strict=True):
        if c0.sum() == 0 or c1.sum() == 0:
            raise _errors.needs_both_classes(bins.name)
        curve = lorenz_counts(bins.rows["event_rate"][: len(c0)], c0, c1)
        rows.append({"variable": bins.name, "auc": curve["auc"], "gini": curve["gini"]})
    return pd.DataFrame(rows).set_index("variable")
