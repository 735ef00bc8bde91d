"""Categorical columns: categories ordered by event rate become the pre-bins of the search.

Each category's class counts order the categories by event rate, ties broken by the
categories' own order (text alphabetically, numbers by value), so the order is a function
of the data alone. Categories rarer than `min_category_share` of the rows are pooled into
one group first. The ordered groups are then coded 0, 1, 2, ... and the column is cut like
a numeric one: a bin is a run of consecutive groups, that is, a set of categories. The
class counts per category merge across the parts of a table, so a cluster fit orders and
cuts exactly as one machine does.
"""

from __future__ import annotations

from dataclasses import dataclass, replace
from fractions import Fraction
from typing import Any

import numpy as np
import pandas as pd

from tembrolin.bins import ColumnBins
from tembrolin.counted import ColumnCounts


def label_order(label: Any) -> tuple[str, Any]:
    """The categories' own order: by kind of label, then by value."""
    return type(label).__name__, label


@dataclass(frozen=True)
class CategoryCounts:
    """Class counts of each category (in their own order) and of the missing labels."""

    labels: tuple[Any, ...]
    c0: np.ndarray
    c1: np.ndarray
    missing_c0: float = 0
    missing_c1: float = 0

    def merge(self, other: CategoryCounts) -> CategoryCounts:
        table: dict[Any, list[float]] = {}
        for counts in (self, other):
            for label, c0, c1 in zip(counts.labels, counts.c0, counts.c1, strict=True):
                pair = table.setdefault(label, [0, 0])
                pair[0] += int(c0)
                pair[1] += int(c1)
        return _from_table(
            table, self.missing_c0 + other.missing_c0, self.missing_c1 + other.missing_c1
        )

    def table(self) -> dict[Any, tuple[int, int]]:
        """The class counts of each label."""
        return {
            label: (int(c0), int(c1))
            for label, c0, c1 in zip(self.labels, self.c0, self.c1, strict=True)
        }


def _from_table(
    table: dict[Any, list[float]], missing_c0: float, missing_c1: float
) -> CategoryCounts:
    labels = tuple(sorted(table, key=label_order))
    # Weighted counts stay floats; whole counts, integers.
    dtype = (
        np.float64
        if any(isinstance(c, float) for pair in table.values() for c in pair)
        else np.int64
    )
    c0 = np.array([table[label][0] for label in labels], dtype=dtype)
    c1 = np.array([table[label][1] for label in labels], dtype=dtype)
    return CategoryCounts(labels, c0, c1, missing_c0, missing_c1)


@dataclass(frozen=True)
class Coded:
    """A column of labels read once: each row's index into the distinct labels, -1 for a
    missing one (None)."""

    codes: np.ndarray
    uniques: np.ndarray

    @classmethod
    def of(cls, labels: np.ndarray) -> Coded:
        codes, uniques = pd.factorize(labels, use_na_sentinel=True)
        return cls(codes, np.asarray(uniques, dtype=object))


def count_categories(
    coded: Coded, classes: np.ndarray, weights: np.ndarray | None = None
) -> CategoryCounts:
    """The class counts of each distinct label and of the missing ones: whole numbers, or
    the rows' total weights when `weights` are given."""
    codes, uniques = coded.codes, coded.uniques
    n = len(uniques)
    w = np.ones(len(codes)) if weights is None else weights
    number = int if weights is None else float
    labelled, events = codes >= 0, classes != 0
    tallies = []
    for mask in (labelled & ~events, labelled & events):
        tallies.append(np.bincount(codes[mask], w[mask], minlength=n))
    table = {uniques[i]: [number(tallies[0][i]), number(tallies[1][i])] for i in range(n)}
    missing = [number(w[~labelled & ~events].sum()), number(w[~labelled & events].sum())]
    return _from_table(table, *missing)


@dataclass(frozen=True)
class Grouping:
    """The groups of categories in the order of their event rates (the pre-bins), the
    categories pooled for rarity, and the special values."""

    groups: tuple[tuple[Any, ...], ...]
    pooled: tuple[Any, ...]
    special_values: tuple[Any, ...]

    def codes(self, coded: Coded) -> np.ndarray:
        """Each row's pre-bin as a float: its label's rank, -1 - i for the i-th special
        value, NaN for a missing or unknown label."""
        code_of = {label: float(rank) for rank, group in enumerate(self.groups) for label in group}
        code_of.update({v: -1.0 - i for i, v in enumerate(self.special_values)})
        table = np.array([code_of.get(label, np.nan) for label in coded.uniques] + [np.nan])
        return table[coded.codes]

    @property
    def prebins(self) -> np.ndarray:
        """The cut points between consecutive groups: each group a pre-bin of its own."""
        return np.arange(len(self.groups) - 1, dtype=np.float64) + 0.5

    @property
    def special_codes(self) -> tuple[float, ...]:
        return tuple(-1.0 - i for i in range(len(self.special_values)))


def _rate(c0: float, c1: float) -> Fraction:
    """The exact event rate of class counts (whole or weighted); 0 when empty."""
    n = Fraction(c0) + Fraction(c1)
    return Fraction(c1) / n if n else Fraction(0)


def group(
    counts: CategoryCounts, special_values: tuple[Any, ...], n_rows: float, min_share: float
) -> Grouping:
    """The categories (special values apart) pooled where rare and ordered by event rate."""
    regular = [
        (label, c0.item(), c1.item())
        for label, c0, c1 in zip(counts.labels, counts.c0, counts.c1, strict=True)
        if label not in special_values
    ]
    rare = [entry for entry in regular if entry[1] + entry[2] < min_share * n_rows]
    pooled = tuple(label for label, _, _ in rare) if len(rare) > 1 else ()
    groups = [((label,), c0, c1, i) for i, (label, c0, c1) in enumerate(regular)]
    if pooled:
        groups = [g for g in groups if g[0][0] not in pooled]
        rare_c0, rare_c1 = sum(e[1] for e in rare), sum(e[2] for e in rare)
        groups.append((pooled, rare_c0, rare_c1, len(regular)))  # last among equal rates
    # Exact rates, so no rounding decides the order.
    groups.sort(key=lambda g: (_rate(g[1], g[2]), g[3]))
    return Grouping(tuple(g[0] for g in groups), pooled, special_values)


def column_counts(counts: CategoryCounts, grouping: Grouping) -> ColumnCounts:
    """The counts of the coded column: per pre-bin, per special value, and missing."""
    table = counts.table()
    c0 = [sum(table[label][0] for label in g) for g in grouping.groups]
    c1 = [sum(table[label][1] for label in g) for g in grouping.groups]
    regular = {
        "values": np.arange(len(grouping.groups), dtype=np.float64),
        "c0": np.array(c0, dtype=np.int64),
        "c1": np.array(c1, dtype=np.int64),
        "missing_c0": counts.missing_c0,
        "missing_c1": counts.missing_c1,
    }
    special = {}
    for code, value in zip(grouping.special_codes, grouping.special_values, strict=True):
        s0, s1 = table.get(value, (0, 0))
        present = s0 + s1 > 0
        special[code] = {
            "values": np.array([code] if present else [], dtype=np.float64),
            "c0": np.array([s0] if present else [], dtype=np.int64),
            "c1": np.array([s1] if present else [], dtype=np.int64),
            "missing_c0": 0,
            "missing_c1": 0,
        }
    return ColumnCounts(regular, special)


def as_categories(bins: ColumnBins, grouping: Grouping) -> ColumnBins:
    """The bins of the coded column as sets of categories: each regular bin holds the
    groups whose codes it covers; the representative means nothing for categories."""
    edges = np.searchsorted(bins.splits, np.arange(len(grouping.groups)), side="left")
    categories = tuple(
        tuple(label for g, e in zip(grouping.groups, edges, strict=True) if e == b for label in g)
        for b in range(bins.n_regular)
    )
    rows = dict(bins.rows)
    rows["representative"] = np.full(len(rows["count"]), np.nan)
    return replace(
        bins,
        special_values=grouping.special_values,
        rows=rows,
        categories=categories,
        pooled=grouping.pooled,
    )
