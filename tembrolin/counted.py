"""The bins of one column from the class counts at each of its distinct values.

A sample known only by these counts gives the same cuts, counts, event rates and medians,
bit for bit, as the sample itself: the native core builds the candidate cuts, runs the
search and takes order statistics on the counted sample as it would on the full one. Means
are the exception: they are sums, and a sum of counted values is added in another order,
so a mean may differ from the single-machine one in its last bits.

`tembrolin.distributed` reduces the partitions of a Dask DataFrame to these counts; this
module needs no Dask.
"""

from __future__ import annotations

import math
from dataclasses import dataclass, field, replace
from itertools import pairwise

import numpy as np

import _tembrolin
from tembrolin import monotone
from tembrolin._native import (
    counted_binning_splits,
    counted_order_statistics,
    lorenz_counts,
    mdlp_fit_counts,
    merge_counts,
    value_counts,
)
from tembrolin.fitting import CONTINUOUS_KEYS, NO_SPLITS, ColumnBins, Settings

QUARTILES = (0.25, 0.5, 0.75)
NO_VALUES = np.empty(0, dtype=np.float64)


def empty_counts() -> dict:
    """The counts of no observation."""
    none = np.empty(0, dtype=np.int64)
    return {"values": NO_VALUES, "c0": none, "c1": none, "missing_c0": 0, "missing_c1": 0}


def counts_of(x: np.ndarray, classes: np.ndarray) -> dict:
    """Class counts per distinct value of x (by its bits, ascending) and of the NaN x."""
    return value_counts(np.ascontiguousarray(x, dtype=np.float64), classes.astype(np.int32))


def entries(counts: dict) -> int:
    return len(counts["values"])


def observations(counts: dict) -> np.ndarray:
    """How many observations hold each value."""
    return counts["c0"] + counts["c1"]


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
        counted = [self.regular, *self.special.values()]
        return sum(int(observations(c).sum() + c["missing_c0"] + c["missing_c1"]) for c in counted)


def count_column(
    x: np.ndarray, classes: np.ndarray, special_values: tuple[float, ...]
) -> ColumnCounts:
    """Counts one column's part, special values apart."""
    if not special_values:
        return ColumnCounts(counts_of(x, classes))
    special = np.isin(x, special_values)
    per_value = {v: counts_of(x[x == v], classes[x == v]) for v in special_values}
    return ColumnCounts(counts_of(x[~special], classes[~special]), per_value)


def value_at(counts: dict, weights: np.ndarray, positions: list[float]) -> np.ndarray:
    """The counted sample's values at positions h (interpolated between neighbours)."""
    return counted_order_statistics(counts["values"], weights, np.asarray(positions))


def percentile(counts: dict, p: float) -> float:
    """The preprocessing's percentile of the counted targets: position ((m - 1) * p) / 100."""
    weights = counts["c0"]
    m = int(weights.sum())
    return float(value_at(counts, weights, [(float(m - 1) * p) / 100.0])[0])


def _quantiles(values: np.ndarray, weights: np.ndarray, levels: tuple[float, ...]) -> list[float]:
    """The binning's quantiles (position (m - 1) * q) of a counted sample; NaN when empty."""
    m = int(weights.sum())
    if m == 0:
        return [math.nan] * len(levels)
    positions = [float(m - 1) * q for q in levels]
    return counted_order_statistics(values, weights, np.asarray(positions)).tolist()


def _mean(values: np.ndarray, weights: np.ndarray) -> float:
    """Summed value by value times its count: equal to the core's mean up to summation order."""
    m = int(weights.sum())
    if m == 0:
        return math.nan
    kept = weights > 0
    # Infinities and overflow give inf or NaN, as the core's sum does.
    with np.errstate(over="ignore", invalid="ignore"):
        return float(np.sum(values[kept] * weights[kept])) / m


def direction_of(counts: dict) -> str:
    """`monotone.direction_of` on the counted sample: the sign of the Gini of x."""
    if counts["c0"].sum() == 0 or counts["c1"].sum() == 0:
        return monotone.ASCENDING
    gini = lorenz_counts(counts["values"], counts["c0"], counts["c1"])["gini"]
    return monotone.ASCENDING if gini >= 0 else monotone.DESCENDING


def search(counts: dict, settings: Settings, n_rows: int, direction: str | None) -> np.ndarray:
    """The cuts of `fitting._search` from the counts."""
    if settings.method == "mdlp":
        mono_dir = {None: 0, monotone.ASCENDING: 1, monotone.DESCENDING: -1}[direction]
        report = mdlp_fit_counts(
            counts,
            int(settings.min_bin_share * n_rows),
            1 if mono_dir else 0,
            mono_dir,
            settings.alpha,
            settings.beta,
            settings.force_first_split,
            candidates=settings.candidates,
        )
        right = report["summary"]["right"]
        return right[np.isfinite(right)]
    if not np.isfinite(counts["values"]).any():
        return NO_SPLITS
    return counted_binning_splits(counts["values"], observations(counts), *settings.split_rule)


def report(counts: dict, splits: np.ndarray, representative: str) -> dict:
    """`binning_summary_binary`'s count, class counts, event rate and representative per
    bin, from the counts: the missing row only when some x is missing."""
    values = counts["values"]
    weights = observations(counts)
    bounds = np.concatenate([[0], np.searchsorted(values, splits, side="right"), [len(values)]])
    cum0 = np.concatenate([[0], np.cumsum(counts["c0"])])[bounds]
    cum1 = np.concatenate([[0], np.cumsum(counts["c1"])])[bounds]
    c0, c1 = np.diff(cum0), np.diff(cum1)
    stat = _mean if representative == "mean" else lambda v, w: _quantiles(v, w, (0.5,))[0]
    middle = [stat(values[a:b], weights[a:b]) for a, b in pairwise(bounds)]
    rows = {"c0": c0, "c1": c1, "representative": np.asarray(middle, dtype=np.float64)}
    missing0, missing1 = counts["missing_c0"], counts["missing_c1"]
    if missing0 + missing1 > 0:
        rows = {
            "c0": np.append(c0, missing0),
            "c1": np.append(c1, missing1),
            "representative": np.append(rows["representative"], math.nan),
        }
    count = rows["c0"] + rows["c1"]
    with np.errstate(invalid="ignore", divide="ignore"):
        rate = np.where(count > 0, rows["c1"] / count, 0.0)
    return {"count": count, **rows, "event_rate": rate}


def fit_column(
    name: str,
    counted: ColumnCounts,
    totals: dict,
    settings: Settings,
    special_values: tuple[float, ...] = (),
    user_splits: np.ndarray | None = None,
    rounding: str | None = None,
) -> ColumnBins:
    """`fitting.fit_column` on counts: the same bins and rows, in the same order."""
    counts = counted.regular
    direction = settings.monotonic_trend
    if direction == "auto":
        direction = direction_of(counts)
    if user_splits is not None:
        splits = _tembrolin.binning_splits(
            NO_SPLITS, "custom", 1, "full", 0.0, 1.0, 0.0, np.asarray(user_splits, dtype=np.float64)
        )
        method = "user"
    else:
        splits = search(counts, settings, counted.n_rows, direction)
        method = settings.method
    rows = report(counts, splits, settings.representative)
    if direction is not None:
        n_regular = len(splits) + 1
        merged = monotone.merge_violators(
            splits, rows["c0"][:n_regular], rows["c1"][:n_regular], direction
        )
        if len(merged) != len(splits):
            splits = merged
            rows = report(counts, splits, settings.representative)

    n_regular = len(splits) + 1
    parts = [{key: values[:n_regular] for key, values in rows.items()}]
    parts += [
        report(counted.special[v], NO_SPLITS, settings.representative) for v in special_values
    ]
    parts.append(
        {key: values[n_regular:] for key, values in rows.items()}
        if len(rows["count"]) > n_regular
        else report(empty_counts(), NO_SPLITS, settings.representative)
    )
    parts.append(totals)
    all_rows = {key: np.concatenate([part[key] for part in parts]) for key in rows}
    return ColumnBins(name, method, splits, special_values, direction, all_rows, rounding)


def totals_row(c0: int, c1: int) -> dict:
    """The totals row of a 0/1 target with these class counts (no representative)."""
    n = c0 + c1
    return {
        "count": np.array([n]),
        "c0": np.array([c0]),
        "c1": np.array([c1]),
        "event_rate": np.array([c1 / n if n else 0.0]),
        "representative": np.array([math.nan]),
    }


def target_summaries(targets: list[dict]) -> dict[str, np.ndarray]:
    """Mean and quartiles of a continuous target per row, from the counted targets of each
    row (as `counts_of(y, zeros)`): NaN for an empty row."""
    out: dict[str, list[float]] = {key: [] for key in CONTINUOUS_KEYS}
    for counts in targets:
        values, weights = counts["values"], counts["c0"]
        out["target_mean"].append(_mean(values, weights))
        for key, level in zip(CONTINUOUS_KEYS[1:], QUARTILES, strict=True):
            out[key].append(_quantiles(values, weights, (level,))[0])
    return {key: np.asarray(values, dtype=np.float64) for key, values in out.items()}


def with_target_summaries(bins: ColumnBins, targets: list[dict]) -> ColumnBins:
    """The bins with the continuous target's summaries added to every row."""
    return replace(bins, rows={**bins.rows, **target_summaries(targets)})
