"""What each partition contributes to a cluster fit, and how the contributions merge.

Partitions are reduced to class counts per distinct value on the workers and merged
pairwise, level by level, so the client receives one merged table per column. A table
that would outgrow the budget stops the fit on the worker, naming its column.
"""

from __future__ import annotations

from collections.abc import Callable
from dataclasses import dataclass
from typing import Any

import numpy as np
import pandas as pd

from tembrolin import _errors, _frames, counted
from tembrolin._frames import CATEGORICAL
from tembrolin.bins import ColumnBins
from tembrolin.categories import CategoryCounts, Coded, count_categories
from tembrolin.cluster import dask
from tembrolin.cluster.rounding import Rounding
from tembrolin.counted import ColumnCounts
from tembrolin.fitting import with_infinities
from tembrolin.target import TargetRule, distinct_values

ENTRY_BYTES = 24  # a value and its two counts
TOTALS = "__totals__"  # the key of the whole target's counts among the columns'


@dataclass(frozen=True)
class Layout:
    """What every partition is read by: the columns' labels, names and kinds, the target's
    column and the roundings."""

    labels: list[Any]
    names: list[str]
    kinds: list[str]
    target: str
    roundings: dict[str, Rounding]


def read_part(part: pd.DataFrame, layout: Layout) -> tuple[list[np.ndarray], np.ndarray]:
    """The columns (rounded where asked) and the target of one partition, read as the
    single-machine fit reads them; rows whose target is missing are left out."""
    y = _frames.target_values(part[layout.target], len(part)).values
    kept = ~np.isnan(y)
    columns = _frames.read_columns(part[layout.labels])
    out = []
    for j, (name, kind) in enumerate(zip(layout.names, layout.kinds, strict=True)):
        x = columns.read_as(j, kind)[kept]
        out.append(x if name not in layout.roundings else layout.roundings[name].apply(x))
    return out, y[kept]


def tree(leaves: list[Any], merge: Callable[[Any, Any], Any]) -> Any:
    """The leaves merged pairwise, level by level, on the workers: one delayed result."""
    level = list(leaves)
    while len(level) > 1:
        paired = [
            dask().delayed(merge)(a, b) for a, b in zip(level[::2], level[1::2], strict=False)
        ]
        level = paired + (level[-1:] if len(level) % 2 else [])
    return level[0]


def guard(name: str, entries: int, budget: int) -> None:
    """Stops the fit where a column's counts outgrow the budget, before they travel on."""
    if entries * ENTRY_BYTES > budget:
        raise _errors.table_too_large(name, entries, budget)


def _entries(counts: ColumnCounts | CategoryCounts) -> int:
    if isinstance(counts, CategoryCounts):
        return len(counts.labels)
    return sum(counted.entries(table) for table in counts.tables())


@dataclass(frozen=True)
class PartCounts:
    """What one partition, or several merged, contribute to a fit: each column's counts,
    the class totals, up to three of the smallest distinct targets (to tell the kind of
    target) and how many rows had no target."""

    columns: dict[str, ColumnCounts | CategoryCounts]
    c0: int
    c1: int
    seen: np.ndarray
    target_missing: int
    budget: int

    def merge(self, other: PartCounts) -> PartCounts:
        columns: dict[str, ColumnCounts | CategoryCounts] = {}
        for name, c in self.columns.items():
            columns[name] = c.merge(other.columns[name])  # type: ignore[arg-type]
            guard(name, _entries(columns[name]), self.budget)
        return PartCounts(
            columns,
            self.c0 + other.c0,
            self.c1 + other.c1,
            distinct_values(np.concatenate([self.seen, other.seen])),
            self.target_missing + other.target_missing,
            self.budget,
        )

    def entries(self) -> dict[str, int]:
        """Each column's merged table size."""
        return {name: _entries(c) for name, c in self.columns.items()}


def count_part(
    part: pd.DataFrame,
    layout: Layout,
    rule: TargetRule,
    specials: dict[str, tuple[Any, ...]],
    budget: int,
) -> PartCounts:
    """One partition's class counts per column, under the target rule. Infinities are
    counted apart, as special values, whether the fit keeps them as such or not."""
    columns, y = read_part(part, layout)
    classes = rule.classes(y)
    counts: dict[str, ColumnCounts | CategoryCounts] = {}
    for name, kind, x in zip(layout.names, layout.kinds, columns, strict=True):
        own = specials.get(name, ())
        if kind == CATEGORICAL:
            counts[name] = count_categories(Coded.of(x), classes)
        else:
            counts[name] = counted.count_column(x, classes, own + with_infinities(own))
        guard(name, _entries(counts[name]), budget)
    ones = int(classes.sum())
    missing = len(part) - len(y)
    return PartCounts(counts, len(classes) - ones, ones, distinct_values(y), missing, budget)


def merge_parts(a: PartCounts, b: PartCounts) -> PartCounts:
    return a.merge(b)


def _targets_of(y: np.ndarray) -> dict:
    """A continuous target counted per distinct value, as class 0."""
    return counted.counts_of(y, np.zeros(len(y), dtype=np.int32))


def target_counts(part: pd.DataFrame, target: str, budget: int) -> dict:
    """The target of one partition counted per distinct value (missing ones left out)."""
    y = _frames.target_values(part[target], len(part)).values
    table = _targets_of(y[~np.isnan(y)])
    guard("y", counted.entries(table), budget)
    return table


def merge_guarded(name: str, budget: int) -> Callable[[dict, dict], dict]:
    """A merge of counted tables that guards the budget of column `name`."""

    def merge(a: dict, b: dict) -> dict:
        merged = counted.merge_counts(a, b)
        guard(name, counted.entries(merged), budget)
        return merged

    return merge


def row_targets(
    part: pd.DataFrame, layout: Layout, fitted: list[ColumnBins]
) -> dict[str, list[dict]]:
    """The counted targets of each row of each column, and of the whole partition."""
    columns, y = read_part(part, layout)
    out = {TOTALS: [_targets_of(y)]}
    for bins, x in zip(fitted, columns, strict=True):
        codes = bins.codes(x)
        out[bins.name] = [_targets_of(y[codes == r]) for r in range(bins.missing_row + 1)]
    return out


def merge_row_targets(budget: int) -> Callable[[dict, dict], dict]:
    """A merge of `row_targets` results that guards each column's budget."""

    def merge(a: dict, b: dict) -> dict:
        merged = {}
        for name, tables in a.items():
            merged[name] = [
                counted.merge_counts(t, u) for t, u in zip(tables, b[name], strict=True)
            ]
            entries = sum(counted.entries(t) for t in merged[name])
            guard("y" if name == TOTALS else name, entries, budget)
        return merged

    return merge
