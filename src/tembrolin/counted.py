"""A column known by the class counts at each of its distinct values: the source of a fit
whose data are counted in parts, as on a cluster.

The native core builds the candidate cuts, runs the search and takes the report rows and
order statistics on the counted sample as it would on the rows themselves, so the bins,
counts, rates and medians are those of the rows, bit for bit. The one exception is the
mean of x in a bin (`representative="mean"`): the rows add x in their own order, the
counts value by value.
"""

from __future__ import annotations

import math
from dataclasses import dataclass, field, replace

import numpy as np

from tembrolin._native import (
    counted_binning_splits,
    counted_order_statistics,
    counted_summary,
    counted_target_summary,
    lorenz_counts,
    mdlp_fit_counts,
    merge_counts,
    value_counts,
)
from tembrolin.bins import ColumnBins, Representative, Settings
from tembrolin.fitting import (
    BINARY_KEYS,
    CONTINUOUS_KEYS,
    NO_SPLITS,
    Search,
    mdlp_search,
    with_infinities,
)

NO_VALUES = np.empty(0, dtype=np.float64)


def empty_counts() -> dict:
    """The counts of no observation."""
    none = np.empty(0, dtype=np.int64)
    return {"values": NO_VALUES, "c0": none, "c1": none, "missing_c0": 0, "missing_c1": 0}


def counts_of(x: np.ndarray, classes: np.ndarray) -> dict:
    """Class counts per distinct value of x (by its bits, ascending) and of the NaN x."""
    return value_counts(np.ascontiguousarray(x, dtype=np.float64), classes.astype(np.int32))


def entries(counts: dict) -> int:
    """How many distinct values the counts hold."""
    return len(counts["values"])


def observations(counts: dict) -> np.ndarray:
    """How many observations hold each value."""
    return counts["c0"] + counts["c1"]


def per_value(counts: dict) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """The values of counts, ascending, with the class counts at each as float64; -0.0 and
    +0.0, apart by their bits, are one value, as they are to every cut."""
    values = counts["values"]
    new = np.ones(len(values), dtype=bool)
    new[1:] = values[1:] != values[:-1]
    first = np.flatnonzero(new)
    c0, c1 = (np.add.reduceat(counts[key], first).astype(np.float64) for key in ("c0", "c1"))
    return values[first], c0, c1


def report(
    counts: dict, splits: np.ndarray, representative: Representative
) -> dict[str, np.ndarray]:
    """The core's report rows of the counted sample over splits."""
    rows = counted_summary(counts, splits, representative)
    return {key: rows[key] for key in BINARY_KEYS}


def percentile(counts: dict, p: float) -> float:
    """The core's percentile of the counted targets (counted as class 0)."""
    m = int(counts["c0"].sum())
    position = np.array([(float(m - 1) * p) / 100.0])
    return float(counted_order_statistics(counts["values"], counts["c0"], position)[0])


def target_summary(counts: dict) -> dict[str, float]:
    """Mean and quartiles of a continuous target counted as class 0; NaN when empty."""
    return counted_target_summary(counts["values"], counts["c0"])


@dataclass(frozen=True)
class ColumnCounts:
    """One column counted: its searched values (special values out), and each special
    value's observations on their own."""

    regular: dict
    special: dict[float, dict] = field(default_factory=dict)

    def merge(self, other: ColumnCounts) -> ColumnCounts:
        return ColumnCounts(
            merge_counts(self.regular, other.regular),
            {v: merge_counts(c, other.special[v]) for v, c in self.special.items()},
        )

    @property
    def n_rows(self) -> int:
        return sum(
            int(observations(c).sum() + c["missing_c0"] + c["missing_c1"]) for c in self.tables()
        )

    def kept(self, special_values: tuple[float, ...]) -> ColumnCounts:
        """The counts with the given special values and the infinities that were seen
        (counted apart on every part, whether seen or not)."""
        seen = [v for v in with_infinities(special_values) if observations(self.special[v]).any()]
        return ColumnCounts(self.regular, {v: self.special[v] for v in (*special_values, *seen)})

    def tables(self) -> list[dict]:
        """The regular counts and each special value's."""
        return [self.regular, *self.special.values()]


def count_column(
    x: np.ndarray, classes: np.ndarray, special_values: tuple[float, ...]
) -> ColumnCounts:
    """Counts one column's part, special values apart."""
    if not special_values:
        return ColumnCounts(counts_of(x, classes))
    special = np.isin(x, special_values)
    per_value = {v: counts_of(x[x == v], classes[x == v]) for v in special_values}
    return ColumnCounts(counts_of(x[~special], classes[~special]), per_value)


@dataclass(frozen=True)
class CountsSource:
    """The fit's source over a counted column."""

    counted: ColumnCounts
    special_values: tuple[float, ...]

    @property
    def n_rows(self) -> int:
        return self.counted.n_rows

    def gini(self) -> float:
        counts = self.counted.regular
        if counts["c0"].sum() == 0 or counts["c1"].sum() == 0:
            return math.nan
        return float(lorenz_counts(counts["values"], counts["c0"], counts["c1"])["gini"])

    def search(self, settings: Settings, direction: str | None) -> Search:
        counts = self.counted.regular
        if settings.method == "mdlp":
            rule = settings.mdlp_rule(self.n_rows, direction)
            result = mdlp_fit_counts(counts, *rule, candidates=settings.candidates)
            return mdlp_search(result["summary"], settings.representative)
        if not np.isfinite(counts["values"]).any():
            return Search(NO_SPLITS)
        values, repeats = counts["values"], observations(counts)
        return Search(counted_binning_splits(values, repeats, *settings.split_rule))

    def rows(
        self, splits: np.ndarray, representative: Representative | None
    ) -> dict[str, np.ndarray]:
        return report(self.counted.regular, splits, representative or "mean")

    def special_rows(self, representative: Representative) -> list[dict[str, np.ndarray]]:
        special = self.counted.special
        return [report(special[v], NO_SPLITS, representative) for v in self.special_values]

    def class_counts(self) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
        return per_value(self.counted.regular)


def with_target_summaries(bins: ColumnBins, targets: list[dict]) -> ColumnBins:
    """The bins with a continuous target's mean and quartiles added to every row, from the
    counted targets of each row (as `counts_of(y, zeros)`)."""
    summaries = [target_summary(counts) for counts in targets]
    added = {key: np.array([s[key] for s in summaries]) for key in CONTINUOUS_KEYS}
    return replace(bins, rows={**bins.rows, **added})
