"""Weighted rows: a fit in which each row counts as its weight.

A weight is read as a count of identical rows: a row of weight 2 weighs what two equal rows
weigh, in the class counts of every table and in every order statistic (the quantile cuts,
the medians and quartiles, a percentile of the target). Order statistics take the core's
rule on the rows repeated by their weights, their positions read on the cumulative weights,
so weights of one give the core's bits, whole weights those of the repeated rows, and any
positive weights a rule between the two. Rows of weight zero are left out before the fit.
"""

from __future__ import annotations

import math
from typing import TYPE_CHECKING, Any

import numpy as np
from sklearn.metrics import roc_auc_score

from tembrolin import _errors

if TYPE_CHECKING:
    from tembrolin.bins import Representative

QUARTILES = (("target_p25", 0.25), ("target_median", 0.5), ("target_p75", 0.75))


def checked_weights(sample_weight: Any, n_rows: int) -> np.ndarray:
    """`sample_weight` as float64, one finite non-negative weight per row, not all zero."""
    try:
        weights = np.asarray(sample_weight, dtype=np.float64)
    except (TypeError, ValueError):
        raise _errors.weights_not_numbers() from None
    if weights.ndim != 1 or len(weights) != n_rows:
        raise _errors.weights_shape(weights.shape, n_rows)
    if not np.isfinite(weights).all() or (weights < 0).any():
        raise _errors.weights_not_finite()
    if not (weights > 0).any():
        raise _errors.weights_all_zero()
    return weights


def order_value(values: np.ndarray, cumulative: np.ndarray, h: float) -> float:
    """The value at position h of the rows repeated by their weights: the order statistics
    at floor(h) and ceil(h), interpolated as the core does. `values` ascending,
    `cumulative` their cumulative weights."""
    h = min(max(h, 0.0), cumulative[-1] - 1.0) if cumulative[-1] > 1.0 else 0.0
    j, c = math.floor(h), math.ceil(h)
    low, high = values[np.searchsorted(cumulative, [j, c], side="right")]
    return float((high - low) * (h - j) + low)


def quantile(values: np.ndarray, weights: np.ndarray, q: float) -> float:
    """The q-quantile of ascending values weighted: position (W - 1) q."""
    cumulative = np.cumsum(weights)
    return order_value(values, cumulative, (cumulative[-1] - 1.0) * q)


def percentile(y: np.ndarray, weights: np.ndarray, p: float) -> float:
    """The core's p-th percentile of y (NaN left out), weighted: position (W - 1) p / 100."""
    kept = ~np.isnan(y)
    order = np.argsort(y[kept], kind="stable")
    values, cumulative = y[kept][order], np.cumsum(weights[kept][order])
    return order_value(values, cumulative, ((cumulative[-1] - 1.0) * p) / 100.0)


def quantile_splits(
    x: np.ndarray, weights: np.ndarray, n_bins: int, order: np.ndarray
) -> np.ndarray:
    """The core's quantile cuts of the finite values of x, weighted: at each i / n_bins,
    kept when finite, at least the smallest value, under the largest, and increasing.
    `order` sorts x."""
    values, weights = x[order], weights[order]
    finite = np.isfinite(values)
    values, cumulative = values[finite], np.cumsum(weights[finite])
    splits: list[float] = []
    for i in range(1, n_bins):
        e = order_value(values, cumulative, (cumulative[-1] - 1.0) * (float(i) / float(n_bins)))
        if math.isfinite(e) and values[0] <= e < values[-1] and (not splits or e > splits[-1]):
            splits.append(e)
    return np.asarray(splits, dtype=np.float64)


def per_value(
    x: np.ndarray, classes: np.ndarray, weights: np.ndarray, order: np.ndarray
) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """The distinct finite values of x, ascending, with the weights of each class at each
    (added in that order); -0.0 and +0.0 are one value. `order` sorts x."""
    values = x[order]
    finite = np.isfinite(values)
    values, weights, events = values[finite], weights[order][finite], classes[order][finite] != 0
    if not len(values):
        return values, values.copy(), values.copy()
    new = np.ones(len(values), dtype=bool)
    new[1:] = values[1:] != values[:-1]
    first = np.flatnonzero(new)
    c0 = np.add.reduceat(np.where(events, 0.0, weights), first)
    c1 = np.add.reduceat(np.where(events, weights, 0.0), first)
    return values[first], c0, c1


def gini(x: np.ndarray, classes: np.ndarray, weights: np.ndarray) -> float:
    """The weighted Gini of x against the classes, finite x only; NaN without both."""
    finite = np.isfinite(x)
    kept, w = classes[finite], weights[finite]
    if not (w[kept == 0].any() and w[kept == 1].any()):
        return math.nan
    return 2.0 * float(roc_auc_score(kept, x[finite], sample_weight=w)) - 1.0


def _by_slot(
    slot: np.ndarray, values: np.ndarray, weights: np.ndarray, n_slots: int, q: float
) -> np.ndarray:
    """The weighted q-quantile of the values in each slot; NaN for an empty slot. The rows
    come in order of slot, then of value."""
    starts = np.searchsorted(slot, np.arange(n_slots + 1))
    out = np.full(n_slots, math.nan)
    for s in range(n_slots):
        a, b = starts[s], starts[s + 1]
        if b > a:
            out[s] = quantile(values[a:b], weights[a:b], q)
    return out


def report(
    x: np.ndarray,
    y: np.ndarray,
    classes: np.ndarray,
    weights: np.ndarray,
    splits: np.ndarray,
    representative: Representative,
    continuous: bool,
    order: np.ndarray,
) -> dict[str, np.ndarray]:
    """The core's report rows over splits, each row counting its weight: one row per bin,
    then the missing x when there is any. A bin's count is c0 + c1. `order` sorts x (NaN
    last), and so the rows by bin too."""
    missing = np.isnan(x)
    n_slots = len(splits) + 1 + int(missing.any())
    slot = np.where(missing, len(splits) + 1, np.searchsorted(splits, x, side="left"))
    events = classes != 0
    c0 = np.bincount(slot[~events], weights[~events], minlength=n_slots)
    c1 = np.bincount(slot[events], weights[events], minlength=n_slots)
    count = c0 + c1
    filled = count > 0
    rate = np.divide(c1, count, out=np.zeros(n_slots), where=filled)
    present = ~missing
    if representative == "mean":
        # x is added in the rows' order, as the core does.
        sums = np.bincount(slot[present], weights[present] * x[present], minlength=n_slots)
        middle = np.divide(sums, count, out=np.full(n_slots, math.nan), where=filled)
    else:
        by_x = order[: int(present.sum())]
        middle = _by_slot(slot[by_x], x[by_x], weights[by_x], n_slots, 0.5)
    middle[len(splits) + 1 :] = math.nan
    rows = {"count": count, "c0": c0, "c1": c1, "event_rate": rate, "representative": middle}
    if not continuous:
        return rows
    # The target is added in ascending order within a bin, as the core does.
    by_y = np.lexsort((y, slot))
    slot, y, weights = slot[by_y], y[by_y], weights[by_y]
    sums = np.bincount(slot, weights * y, minlength=n_slots)
    rows["target_mean"] = np.divide(sums, count, out=np.full(n_slots, math.nan), where=filled)
    for key, q in QUARTILES:
        rows[key] = _by_slot(slot, y, weights, n_slots, q)
    return rows
