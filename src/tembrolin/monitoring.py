"""The system stability report of a scorecard between a reference sample and a new one:
PSI of the score over score bands, the characteristic analysis of each variable, and the
performance of both samples when they are labelled."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any

import numpy as np
import pandas as pd

from tembrolin import diagnostics, performance
from tembrolin._native import compare_counts


@dataclass(frozen=True)
class StabilityReport:
    """What `stability_report` finds.

    Attributes
    ----------
    psi : float
        PSI of the score over the bands.
    bands : pandas.DataFrame
        Per score band: rows and shares in each sample, the band's PSI term.
    variables : pandas.DataFrame
        Per variable: PSI over its bins and the shift of its mean points.
    characteristics : pandas.DataFrame
        Per variable and bin: shares in each sample, points, and the points shift,
        (share_current - share_reference) * points.
    performance : dict of str to dict, or None
        {"reference": ..., "current": ...}, each {"auc", "gini", "ks"}, when labelled.
    """

    psi: float
    bands: pd.DataFrame
    variables: pd.DataFrame
    characteristics: pd.DataFrame
    performance: dict[str, dict[str, float]] | None = None


def _score_bands(
    reference: performance.ScoreCounts, current: performance.ScoreCounts, n_bands: int, eps: float
) -> tuple[float, pd.DataFrame]:
    edges = performance.band_edges(reference, n_bands)
    ref = np.sum(performance.band_counts(reference, edges), axis=0)
    cur = np.sum(performance.band_counts(current, edges), axis=0)
    result = compare_counts(ref, cur, eps)
    bands = pd.DataFrame(
        {
            "band": performance.band_labels(edges),
            "count_reference": ref,
            "count_current": cur,
            "share_reference": result["proportion_reference"],
            "share_current": result["proportion_current"],
            "psi": result["psi_bin"],
        }
    )
    return result["psi"], bands


def _characteristics(card: Any, reference: Any, current: Any, eps: float) -> pd.DataFrame:
    by_bin = diagnostics.stability(card.binner_, reference, current, by_bin=True, epsilon=eps)
    parts = []
    for name in card.variables_:
        rows = by_bin.loc[name]
        points = card.points_[name][: len(rows)]
        share_ref, share_cur = rows["proportion_reference"], rows["proportion_current"]
        parts.append(
            pd.DataFrame(
                {
                    "variable": name,
                    "bin": rows.index,
                    "share_reference": share_ref.to_numpy(),
                    "share_current": share_cur.to_numpy(),
                    "points": points,
                    "points_shift": (share_cur.to_numpy() - share_ref.to_numpy()) * points,
                }
            )
        )
    return pd.concat(parts, ignore_index=True)


def stability_report(
    card: Any,
    reference: Any,
    current: Any,
    y_reference: Any = None,
    y_current: Any = None,
    n_bands: int = 10,
    epsilon: float = 1e-12,
) -> StabilityReport:
    """How far a new sample has moved from the reference one, for a fitted scorecard.

    The score bands are those of equal shares of the reference rows
    (`performance.band_edges`); each sample's share of a variable's bin counts a value the
    fit never saw as missing. Either sample may be a Dask DataFrame: the numbers are those
    of one machine.

    Parameters
    ----------
    card : Scorecard
        Fitted.
    reference, current : DataFrame, 2-D array or Dask DataFrame
        The two samples, with the binner's columns.
    y_reference, y_current : array or Series (Dask: a column name or Series), optional
        Their targets; with both, the report holds the performance of each.
    n_bands : int, default 10
    epsilon : float, default 1e-12
        Added to empty shares so that the PSI stays finite.

    Returns
    -------
    StabilityReport
    """
    ref_counts = performance.count_scores(card, reference, y_reference)
    cur_counts = performance.count_scores(card, current, y_current)
    psi, bands = _score_bands(ref_counts, cur_counts, n_bands, epsilon)
    reference, current = _features(reference, y_reference), _features(current, y_current)
    characteristics = _characteristics(card, reference, current, epsilon)
    variables = characteristics.groupby("variable", sort=False)["points_shift"].sum().to_frame()
    variable_psi = diagnostics.stability(card.binner_, reference, current, epsilon=epsilon)
    variables.insert(0, "psi", variable_psi["psi"].loc[variables.index])
    labelled = None
    if y_reference is not None and y_current is not None:
        labelled = {
            "reference": performance.metrics(ref_counts),
            "current": performance.metrics(cur_counts),
        }
    return StabilityReport(psi, bands, variables, characteristics, labelled)


def _features(sample: Any, y: Any) -> Any:
    """A sample without its target column, when the target is named by a column."""
    return sample.drop(columns=y) if isinstance(y, str) else sample
