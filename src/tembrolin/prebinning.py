"""The pre-bins of a numeric column: the fine bins the optimal search groups.

Three kinds. "quantile": the core's quantile cuts. "boundary": cuts between neighbouring
distinct values that are not both of one and the same class, so swapping the labels never
moves a cut. "cart": the thresholds of a scikit-learn decision tree. Boundary and tree
pre-bins are computed from the class counts per distinct value alone, so a fit over rows
and one over counts merged on a cluster find the same pre-bins. Every cut is a value of
the column, the largest of the pre-bin it closes: bins are closed on the right.

Every kind is thinned by `thinned` to pre-bins of at least `min_prebin_share` of the
column's rows (special and missing ones included, as for `min_bin_share`).
"""

from __future__ import annotations

from dataclasses import replace
from typing import TYPE_CHECKING

import numpy as np
from sklearn.tree import DecisionTreeClassifier

from tembrolin.bins import Settings

if TYPE_CHECKING:
    from tembrolin.fitting import Source

NO_CUTS = np.empty(0, dtype=np.float64)
# The tree is fitted on at most this many runs of consecutive distinct values (each value
# its own run below it): its time and memory stay bounded on a continuous column of 10^7
# rows, while a run holds a tiny fraction of any pre-bin. The run's index, the tree's only
# feature, is exact in the float32 the tree reads.
TREE_VALUES = 2**16


def thinned(counts: np.ndarray, least: float) -> np.ndarray:
    """The positions of the cuts kept between fine bins of the given row counts, left to
    right: a pre-bin closes at the first cut where it holds at least `least` rows, and a
    last pre-bin short of that joins the one before it."""
    totals = np.cumsum(counts)
    n_cuts = len(counts) - 1
    kept = []
    start, position = 0.0, 0
    while position < n_cuts:
        # The first candidate by the running total, then checked by difference: the sum
        # start + least may round below the exact threshold.
        position = max(position, int(np.searchsorted(totals[:n_cuts], start + least)))
        while position < n_cuts and totals[position] - start < least:
            position += 1
        if position == n_cuts:
            break
        kept.append(position)
        start = totals[position]
        position += 1
    if kept and totals[-1] - start < least:
        kept.pop()
    return np.asarray(kept, dtype=np.intp)


def boundary_cuts(values: np.ndarray, c0: np.ndarray, c1: np.ndarray, least: float) -> np.ndarray:
    """Cuts after each distinct value whose next value is not of its own single class,
    thinned so that every pre-bin holds at least `least` rows."""
    same_pure = ((c1[:-1] == 0) & (c1[1:] == 0)) | ((c0[:-1] == 0) & (c0[1:] == 0))
    after = np.flatnonzero(~same_pure)
    if not len(after):
        return NO_CUTS
    return values[after[thinned(merged_counts(c0 + c1, after), least)]]


def cart_cuts(
    values: np.ndarray, c0: np.ndarray, c1: np.ndarray, n_leaves: int, least: float
) -> np.ndarray:
    """The thresholds of a decision tree of at most `n_leaves` leaves, each of at least
    `least` rows, fitted on the distinct values weighted by their class counts."""
    total = float((c0 + c1).sum())
    if len(values) < 2 or least > total / 2:
        return NO_CUTS  # no split leaves two pre-bins of `least` rows
    step = -(-len(values) // TREE_VALUES)
    starts = np.arange(0, len(values), step)
    tree = DecisionTreeClassifier(
        max_leaf_nodes=n_leaves, min_weight_fraction_leaf=least / total, random_state=0
    )
    # Each run twice, once per class, weighted by its count there; empty ones left out.
    weights = np.concatenate([np.add.reduceat(c0, starts), np.add.reduceat(c1, starts)])
    held = weights > 0
    runs = np.tile(np.arange(len(starts), dtype=np.float32), 2).reshape(-1, 1)
    classes = np.repeat([0, 1], len(starts))
    tree.fit(runs[held], classes[held], sample_weight=weights[held])
    inner = tree.tree_.children_left >= 0
    # A threshold lies halfway between two runs: the cut is the last value of the lower.
    below = np.floor(np.sort(tree.tree_.threshold[inner])).astype(np.intp)
    return values[np.minimum((below + 1) * step, len(values)) - 1]


def prebins(source: Source, settings: Settings) -> np.ndarray:
    """The cut points of a numeric column's pre-bins of `settings.prebinning`, before
    thinning to `min_prebin_share` (boundary and tree pre-bins already are)."""
    least = settings.min_prebin_share * source.n_rows
    if settings.prebinning == "quantile":
        quantiles = replace(settings, method="quantile", n_bins=settings.n_prebins)
        return source.search(quantiles, None).splits
    values, c0, c1 = source.class_counts()
    if settings.prebinning == "cart":
        return cart_cuts(values, c0, c1, settings.n_prebins, least)
    regular = float((c0 + c1).sum())
    # At least 1/n_prebins of the searched rows each: never more than n_prebins pre-bins.
    return boundary_cuts(values, c0, c1, max(least, regular / settings.n_prebins))


def counted_prebins(
    source: Source, settings: Settings, given: np.ndarray | None = None
) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """The pre-bins' cut points with their class 0 and class 1 counts (float64): the
    `given` ones as they are, else the column's own thinned to `min_prebin_share`."""
    cuts = prebins(source, settings) if given is None else given
    rows = source.rows(cuts, None)
    n_pre = len(cuts) + 1
    c0 = rows["c0"][:n_pre].astype(np.float64)
    c1 = rows["c1"][:n_pre].astype(np.float64)
    if given is not None:
        return cuts, c0, c1
    kept = thinned(c0 + c1, settings.min_prebin_share * source.n_rows)
    return cuts[kept], merged_counts(c0, kept), merged_counts(c1, kept)


def merged_counts(counts: np.ndarray, kept: np.ndarray) -> np.ndarray:
    """Fine bins' counts summed over the pre-bins the cuts at positions `kept` leave."""
    return np.add.reduceat(counts, np.r_[0, kept + 1])
