"""What the class counts of a column's bins say beyond WoE and IV: divergences between the
classes, the test of each bin against the next, concentration and KS.

Notation: for the rows of a bin table (totals excluded), g_i = c0_i / sum(c0) and
b_i = c1_i / sum(c1) are the bin's shares of the non-events and of the events, and
s_i = n_i / sum(n) its share of the rows. Logarithms are natural, and 0 ln 0 = 0.
"""

from __future__ import annotations

import math

import numpy as np
from scipy import stats

from tembrolin._native import lorenz_counts
from tembrolin.bins import ColumnBins

CHI2 = "chi2"
FISHER = "fisher"
MIN_EXPECTED = 5.0  # below it, in any cell, the chi-square approximation is not trusted


def _shares(counts: np.ndarray) -> np.ndarray:
    total = counts.sum()
    return counts / total if total else np.zeros(len(counts))


def _x_log_ratio(p: np.ndarray, q: np.ndarray) -> np.ndarray:
    """p ln(p / q), 0 where p is 0."""
    with np.errstate(divide="ignore", invalid="ignore"):
        return np.where(p > 0, p * np.log(p / q), 0.0)


def js_terms(non_events: np.ndarray, events: np.ndarray) -> np.ndarray:
    """Each bin's Jensen-Shannon contribution between the classes:
    JS_i = (g_i ln(g_i / m_i) + b_i ln(b_i / m_i)) / 2, with m_i = (g_i + b_i) / 2.

    Their sum, the divergence, lies between 0 (same distribution) and ln 2 (disjoint).

    >>> round(float(js_terms(np.array([1, 0]), np.array([0, 1])).sum()), 6)  # ln 2
    0.693147
    """
    g, b = _shares(np.asarray(non_events, float)), _shares(np.asarray(events, float))
    m = (g + b) / 2
    return (_x_log_ratio(g, m) + _x_log_ratio(b, m)) / 2


def hellinger(non_events: np.ndarray, events: np.ndarray) -> float:
    """The Hellinger distance between the classes, H = sqrt(1 - sum_i sqrt(g_i b_i)), in
    [0, 1]."""
    g, b = _shares(np.asarray(non_events, float)), _shares(np.asarray(events, float))
    return math.sqrt(max(0.0, 1.0 - float(np.sqrt(g * b).sum())))


def hhi(counts: np.ndarray) -> float:
    """The Herfindahl-Hirschman index of the rows over the bins, HHI = sum_i s_i^2: 1/k
    for k equal bins, 1 when one bin holds every row."""
    return float((_shares(np.asarray(counts, float)) ** 2).sum())


def next_bin_test(c0: tuple[int, int], c1: tuple[int, int]) -> tuple[float, str]:
    """The p-value of the test that two bins have the same event rate, and its name.

    On the 2x2 table [[c0_a, c1_a], [c0_b, c1_b]]: Pearson's chi-square without continuity
    correction, X^2 = N (c0_a c1_b - c1_a c0_b)^2 / (n_a n_b C0 C1), p = P(chi2_1 > X^2),
    when every expected count is at least 5; otherwise Fisher's exact test, two-sided.
    Weighted counts always take the chi-square: Fisher's test counts rows.
    """
    table = np.array([[c0[0], c1[0]], [c0[1], c1[1]]])
    rows, cols, n = table.sum(axis=1), table.sum(axis=0), table.sum()
    expected = np.outer(rows, cols) / n if n else np.zeros((2, 2))
    if expected.min() < MIN_EXPECTED and table.dtype.kind in "iu":
        return float(stats.fisher_exact(table).pvalue), FISHER
    # In floats: the products of a large table's counts pass the range of int64.
    t, r, c = table.astype(np.float64), rows.astype(np.float64), cols.astype(np.float64)
    if r.prod() * c.prod() == 0:
        return 1.0, CHI2  # a weighted table with an empty bin or class: nothing to tell apart
    statistic = float(n) * (t[0, 0] * t[1, 1] - t[0, 1] * t[1, 0]) ** 2
    statistic /= r.prod() * c.prod()
    return float(stats.chi2.sf(statistic, 1)), CHI2


def next_bin_tests(bins: ColumnBins) -> tuple[np.ndarray, list[str]]:
    """Per row of the table (totals included), the test of each regular bin against the
    next one; NaN and "" for the last regular bin, the special, missing and totals rows."""
    n_rows = len(bins.rows["count"])
    p_values, names = np.full(n_rows, np.nan), [""] * n_rows
    c0, c1 = bins.rows["c0"], bins.rows["c1"]
    for i in range(bins.n_regular - 1):
        p_values[i], names[i] = next_bin_test((c0[i], c0[i + 1]), (c1[i], c1[i + 1]))
    return p_values, names


def ks(bins: ColumnBins) -> float:
    """KS of the column scored by its rows' event rates: the largest gap between the
    cumulative shares of the classes on the core's Lorenz curve; NaN without both classes."""
    c0, c1 = bins.rows["c0"][:-1], bins.rows["c1"][:-1]
    if c0.sum() == 0 or c1.sum() == 0:
        return float("nan")
    curve = lorenz_counts(bins.rows["event_rate"][:-1], c0, c1)
    return float(np.abs(curve["cumulative_non_event"] - curve["cumulative_event"]).max())


def column_statistics(bins: ColumnBins) -> dict[str, float]:
    """The summary's divergences, concentration and KS of one column."""
    c0, c1 = bins.rows["c0"][:-1], bins.rows["c1"][:-1]
    return {
        "js": float(js_terms(c0, c1).sum()),
        "hellinger": hellinger(c0, c1),
        "hhi": hhi(bins.rows["count"][:-1]),
        "ks": ks(bins),
    }
