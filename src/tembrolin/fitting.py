"""The fit of one column, written once over a column source.

A source knows one column's data in some form (the rows themselves, or the class counts
at each distinct value) and answers the few questions the fit asks: the direction of the
event rate, the cut search, and the core's report rows over given cuts. The procedure is
the same for every source, so every source gives the same bins.
"""

from __future__ import annotations

import math
from typing import Any, NamedTuple, Protocol

import numpy as np

import _tembrolin
from tembrolin import monotone, optimal
from tembrolin.bins import ColumnBins, Representative, Settings

NO_SPLITS = np.empty(0, dtype=np.float64)
BINARY_KEYS = ("count", "c0", "c1", "event_rate", "representative")
CONTINUOUS_KEYS = ("target_mean", "target_p25", "target_median", "target_p75")


class Search(NamedTuple):
    """The cuts a search found, and the report rows over them (as `Source.rows` gives them
    with the fit's representative) when the search made them on the way, else None."""

    splits: np.ndarray
    rows: dict[str, np.ndarray] | None = None


class Source(Protocol):
    """One column's data as the fit reads it; special values are kept apart from the rest."""

    @property
    def n_rows(self) -> float:
        """All the column's rows: regular, special and missing (their total weight when
        the rows are weighted)."""

    def gini(self) -> float:
        """The Gini of x against the classes, without special and missing values; NaN
        without both classes."""

    def search(self, settings: Settings, direction: str | None) -> Search:
        """The cuts of `settings.method` over the regular values."""

    def rows(
        self, splits: np.ndarray, representative: Representative | None
    ) -> dict[str, np.ndarray]:
        """The core's report over `splits` of the regular values: one row per bin, then a
        row for the missing values when there are any. No representative: only the class
        counts will be read, and the rest may be left out or NaN."""

    def special_rows(self, representative: Representative) -> list[dict[str, np.ndarray]]:
        """One row for each special value, in order."""

    def class_counts(self) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
        """The regular values (missing ones out), distinct and ascending, with the class 0
        and class 1 counts at each, all float64."""


def mdlp_search(summary: dict[str, np.ndarray], representative: Representative) -> Search:
    """The cuts of an MDLP report, with its rows kept as the fit's report where they are
    the report's bits: medians are, but for a median of zero (the search orders -0.0 and
    +0.0 as equals, the report -0.0 first); means are not (the search adds x in sorted
    order, the report in the rows' order); and a sample with no value to search has no
    bin row."""
    right = summary["right"]
    splits = right[np.isfinite(right)]
    if representative != "median" or (~np.isnan(right)).sum() != len(splits) + 1:
        return Search(splits)
    if (summary["representative"] == 0.0).any():
        return Search(splits)
    return Search(splits, {key: summary[key] for key in BINARY_KEYS})


def with_infinities(special_values: tuple[Any, ...]) -> tuple[float, ...]:
    """-inf and +inf, those not already special values: a numeric column's infinities get
    rows of their own when the fit sees them, out of the search and out of the edge bins."""
    return tuple(v for v in (-math.inf, math.inf) if v not in special_values)


def direction_of(gini: float) -> str:
    """ "ascending" when events go with larger x (Gini at least 0, or no Gini at all)."""
    return monotone.DESCENDING if gini < 0 else monotone.ASCENDING


def empty_row(keys: list[str]) -> dict[str, np.ndarray]:
    """The report row of no observation, as the core writes it."""
    zero = np.zeros(1, dtype=np.int64)
    return {
        key: zero
        if key in ("count", "c0", "c1")
        else np.zeros(1)
        if key == "event_rate"
        else np.full(1, math.nan)
        for key in keys
    }


def totals_row(c0: float, c1: float, target: dict[str, float] | None = None) -> dict:
    """The totals row of a column: its class counts, and the continuous target's summary
    when there is one (no representative: x plays no part)."""
    n = c0 + c1
    row = {
        "count": np.array([n]),
        "c0": np.array([c0]),
        "c1": np.array([c1]),
        "event_rate": np.array([c1 / n if n else 0.0]),
        "representative": np.array([math.nan]),
    }
    return row | {key: np.array([value]) for key, value in (target or {}).items()}


def fit_column(
    name: str,
    source: Source,
    totals: dict,
    settings: Settings,
    special_values: tuple[float, ...] = (),
    user_splits: np.ndarray | None = None,
    rounding: str | None = None,
    prebins: np.ndarray | None = None,
) -> ColumnBins:
    """Bins one column: the cut search (or the user's cuts), the trend, the core's report.

    With a trend, adjacent bins that break it are merged after the search and the report
    is taken again over the cuts that remain; the optimal search keeps the trend itself,
    over `prebins` when given (a categorical column's groups), else quantile pre-bins.
    """
    optimal_search = user_splits is None and settings.method == "optimal"
    # The user's own cuts are kept as given: no trend merges them.
    direction = None if user_splits is not None else settings.monotonic_trend
    if direction in ("auto", "auto_asc_desc") and not optimal_search:
        direction = direction_of(source.gini())
    elif direction in ("peak", "valley") and not optimal_search:
        direction = None  # a shape only the optimal search keeps
    feasible = True
    rows = None
    if user_splits is not None:
        # The core's preparation of custom cuts: finite, ascending and unique.
        splits = _tembrolin.binning_splits(
            NO_SPLITS, "custom", 1, "full", 0.0, 1.0, 0.0, np.asarray(user_splits, dtype=np.float64)
        )
        method = "user"
    elif optimal_search:
        # The trend is a constraint of the search: nothing is merged after it.
        found = optimal.optimal_cuts(source, settings, prebins)
        splits, direction, feasible = found.splits, found.trend, found.feasible
        method = settings.method
    else:
        splits, rows = source.search(settings, direction)
        method = settings.method
    if rows is None:
        rows = source.rows(splits, settings.representative)
    if direction is not None and not optimal_search:
        n_regular = len(splits) + 1
        merged = monotone.merge_violators(
            splits, rows["c0"][:n_regular], rows["c1"][:n_regular], direction
        )
        if len(merged) != len(splits):
            splits = merged
            rows = source.rows(splits, settings.representative)

    n_regular = len(splits) + 1
    keys = list(rows)
    missing = {key: values[n_regular:] for key, values in rows.items()}
    parts = [
        {key: values[:n_regular] for key, values in rows.items()},
        *source.special_rows(settings.representative),
        missing if len(rows["count"]) > n_regular else empty_row(keys),
        totals,
    ]
    all_rows = {key: np.concatenate([part[key] for part in parts]) for key in keys}
    return ColumnBins(
        name, method, splits, special_values, direction, all_rows, rounding, feasible=feasible
    )
