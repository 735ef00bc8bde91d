"""How well a score ranks: AUC, Gini and KS from the core's Lorenz curve, and the table of
score bands, all from the class counts at each distinct score.

A score takes few distinct values (sums of points), so a sample, however large, reduces to
its counts per score; a Dask sample is counted per partition and the counts merged, which
gives the numbers of one machine, bit for bit.
"""

from __future__ import annotations

from dataclasses import dataclass
from itertools import pairwise
from typing import Any

import numpy as np
import pandas as pd

from tembrolin import _errors, _frames
from tembrolin._native import lorenz_counts, merge_counts, value_counts
from tembrolin.cluster import dask, is_dask
from tembrolin.request import check_number


@dataclass(frozen=True)
class ScoreCounts:
    """The non-events (c0) and events (c1) at each distinct score, ascending; a sample
    without labels counts every row as c0."""

    values: np.ndarray
    c0: np.ndarray
    c1: np.ndarray

    @classmethod
    def of(cls, counts: dict[str, Any]) -> ScoreCounts:
        return cls(counts["values"], counts["c0"], counts["c1"])

    @property
    def total(self) -> np.ndarray:
        return self.c0 + self.c1


def _counted(card: Any, X: Any, y: Any) -> dict[str, Any]:
    """The counts of one sample or partition; rows whose target is missing are left out."""
    score = card.score(X)
    if y is None:
        return value_counts(score, np.zeros(len(score), dtype=np.int32))
    y = _frames.target_values(y, len(score)).values
    kept = ~np.isnan(y)
    return value_counts(score[kept], card.binner_.bins_.target.classes(y[kept]))


def _count_part(part: Any, card: Any, labels: list[Any], target: str | None) -> dict[str, Any]:
    return _counted(card, part[labels], None if target is None else part[target])


def count_scores(card: Any, X: Any, y: Any = None) -> ScoreCounts:
    """The scorecard's score counted on X, by class when y is given.

    Parameters
    ----------
    card : Scorecard
        Fitted.
    X : DataFrame, 2-D array or Dask DataFrame
    y : array, Series, or the name of a column of X (Dask: or a Dask Series), optional

    Returns
    -------
    ScoreCounts
    """
    if not is_dask(X):
        if isinstance(y, str):
            X, y = _frames.split_target(X, y)
        return ScoreCounts.of(_counted(card, X, y))
    from tembrolin.cluster import counting, fit  # noqa: PLC0415 (Dask inputs only)

    labels, target = list(X.columns), None
    if y is not None:
        X, labels, target = fit.with_target(X, y)
    parts = [dask().delayed(_count_part)(p, card, labels, target) for p in X.to_delayed()]
    return ScoreCounts.of(dask().compute(counting.tree(parts, merge_counts))[0])


def metrics(counts: ScoreCounts) -> dict[str, float]:
    """AUC, Gini and KS of the score, by the core's Lorenz curve of its counts.

    A higher score is a lower risk, so the curve is that of the negated score: AUC is the
    chance that an event scores below a non-event (ties count half). KS is the largest gap
    between the cumulative shares of the classes along the curve.
    """
    if counts.c0.sum() == 0 or counts.c1.sum() == 0:
        error = _errors.needs_both_classes("score")
        raise error
    curve = lorenz_counts(-counts.values, counts.c0, counts.c1)
    gap = np.abs(curve["cumulative_non_event"] - curve["cumulative_event"])
    return {"auc": curve["auc"], "gini": curve["gini"], "ks": float(gap.max())}


def band_edges(counts: ScoreCounts, n_bands: int = 10) -> np.ndarray:
    """Upper edges of up to `n_bands` score bands of equal shares of the rows: the lowest
    scores at which the cumulative share reaches 1/n, 2/n, ...; a band is (edge before, edge].
    Ties never split, so there may be fewer bands."""
    check_number("n_bands", n_bands, 1, 1000, "un entero entre 1 y 1000", integer=True)
    cumulative = np.cumsum(counts.total) / counts.total.sum()
    at = np.searchsorted(cumulative, np.arange(1, n_bands) / n_bands, side="left")
    edges = np.unique(counts.values[np.minimum(at, len(counts.values) - 1)])
    return edges[edges < counts.values[-1]]  # the last band reaches +inf


def band_counts(counts: ScoreCounts, edges: np.ndarray) -> tuple[np.ndarray, np.ndarray]:
    """The non-events and events of each band (right-closed, at the given edges)."""
    band = np.searchsorted(edges, counts.values, side="left")
    n = len(edges) + 1
    c0 = np.bincount(band, weights=counts.c0, minlength=n).astype(np.int64)
    return c0, np.bincount(band, weights=counts.c1, minlength=n).astype(np.int64)


def band_labels(edges: np.ndarray) -> list[str]:
    bounds = ["-inf", *(f"{e:.10g}" for e in edges), "inf"]
    return [f"({low}, {high}{')' if high == 'inf' else ']'}" for low, high in pairwise(bounds)]


def band_table(counts: ScoreCounts, edges: np.ndarray) -> pd.DataFrame:
    """One row per score band, lowest (riskiest) first: rows, share, classes, event rate,
    and the cumulative shares of events and non-events up to the band."""
    c0, c1 = band_counts(counts, edges)
    count = c0 + c1
    with np.errstate(divide="ignore", invalid="ignore"):
        return pd.DataFrame(
            {
                "band": band_labels(edges),
                "count": count,
                "share": count / count.sum(),
                "non_events": c0,
                "events": c1,
                "event_rate": np.where(count > 0, c1 / count, np.nan),
                "cumulative_events": np.cumsum(c1) / c1.sum(),
                "cumulative_non_events": np.cumsum(c0) / c0.sum(),
            }
        )


def score_performance(
    card: Any, X: Any, y: Any, n_bands: int = 10
) -> tuple[dict[str, float], pd.DataFrame]:
    """AUC, Gini and KS of the scorecard's score on labelled rows, and its band table.

    Parameters
    ----------
    card : Scorecard
        Fitted.
    X, y : DataFrame or Dask DataFrame, and its target
    n_bands : int, default 10
        Bands of equal shares of these rows.

    Returns
    -------
    tuple of (dict, pandas.DataFrame)
        {"auc", "gini", "ks"} and `band_table`.
    """
    counts = count_scores(card, X, y)
    return metrics(counts), band_table(counts, band_edges(counts, n_bands))
