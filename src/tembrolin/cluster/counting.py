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
from tembrolin.bins import ColumnBins
from tembrolin.cluster import dask
from tembrolin.cluster.rounding import Rounding
from tembrolin.counted import ColumnCounts
from tembrolin.target import TargetRule, is_binary

ENTRY_BYTES = 24  # a value and its two counts
TOTALS = "__totals__"  # the key of the whole target's counts among the columns'


def read_part(
    part: pd.DataFrame, names: list[str], target: str, roundings: dict[str, Rounding]
) -> tuple[list[np.ndarray], np.ndarray]:
    """The columns (rounded where asked) and the target of one partition, read as the
    single-machine fit reads them."""
    columns = _frames.read_columns(part[names]).all() if names else []
    rounded = [
        x if name not in roundings else roundings[name].apply(x)
        for name, x in zip(names, columns, strict=True)
    ]
    return rounded, _frames.target_values(part[target], len(part))


def tree(leaves: list[Any], merge: Callable[[Any, Any], Any]) -> Any:
    """The leaves merged pairwise, level by level, on the workers: one delayed result."""
    level = list(leaves)
    while len(level) > 1:
        paired = [
            dask().delayed(merge)(a, b) for a, b in zip(level[::2], level[1::2], strict=False)
        ]
        level = paired + (level[-1:] if len(level) % 2 else [])
    return level[0]


def guard(name: str, tables: list[dict], budget: int) -> None:
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
            guard(name, c.tables(), self.budget)
        c0, c1 = self.c0 + other.c0, self.c1 + other.c1
        return PartCounts(columns, c0, c1, self.binary and other.binary, self.budget)


def count_part(
    part: pd.DataFrame,
    names: list[str],
    target: str,
    rule: TargetRule,
    specials: dict[str, tuple[float, ...]],
    roundings: dict[str, Rounding],
    budget: int,
) -> PartCounts:
    """One partition's class counts per column, under the target rule."""
    columns, y = read_part(part, names, target, roundings)
    classes = rule.classes(y)
    counts = {}
    for name, x in zip(names, columns, strict=True):
        counts[name] = counted.count_column(x, classes, specials.get(name, ()))
        guard(name, counts[name].tables(), budget)
    ones = int(classes.sum())
    return PartCounts(counts, len(classes) - ones, ones, is_binary(y), budget)


def merge_parts(a: PartCounts, b: PartCounts) -> PartCounts:
    return a.merge(b)


def _targets_of(y: np.ndarray) -> dict:
    """A continuous target counted per distinct value, as class 0."""
    return counted.counts_of(y, np.zeros(len(y), dtype=np.int32))


def target_counts(part: pd.DataFrame, target: str, budget: int) -> dict:
    """The target of one partition counted per distinct value."""
    table = _targets_of(_frames.target_values(part[target], len(part)))
    guard("y", [table], budget)
    return table


def merge_guarded(name: str, budget: int) -> Callable[[dict, dict], dict]:
    """A merge of counted tables that guards the budget of column `name`."""

    def merge(a: dict, b: dict) -> dict:
        merged = counted.merge_counts(a, b)
        guard(name, [merged], budget)
        return merged

    return merge


def row_targets(
    part: pd.DataFrame,
    names: list[str],
    target: str,
    fitted: list[ColumnBins],
    roundings: dict[str, Rounding],
) -> dict[str, list[dict]]:
    """The counted targets of each row of each column, and of the whole partition."""
    columns, y = read_part(part, names, target, roundings)
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
            guard("y" if name == TOTALS else name, merged[name], budget)
        return merged

    return merge
