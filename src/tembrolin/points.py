"""Points: the scaling of a model on WoE to points per bin, the score as their sum, and the
reasons a row lost points."""

from __future__ import annotations

import math

import numpy as np
import pandas as pd


def scale_points(
    woe: np.ndarray,
    coef: float,
    intercept: float,
    n_vars: int,
    scale: tuple[float, float, float],
    rounding: bool,
) -> np.ndarray:
    """The points of each WoE of one variable on the scale (pdo, base_score, base_odds):
    (offset - factor * intercept) / n_vars - factor * coef * woe, the intercept shared
    evenly between the variables; rounded to whole points on request.

    >>> scale_points(np.array([0.0, 1.0]), -0.5, 0.0, 1, (20.0, 600.0, 1.0), False).tolist()
    [600.0, 614.4269504088896]
    """
    pdo, base_score, base_odds = scale
    factor = pdo / math.log(2.0)
    offset = base_score - factor * math.log(base_odds)
    points = (offset - factor * intercept) / n_vars - factor * coef * woe
    return np.round(points) if rounding else points


def total(points: np.ndarray) -> np.ndarray:
    """Each row's score: its points (one column per variable) added in the variables' order,
    one column at a time, so that any split of the rows adds them alike."""
    score = np.zeros(len(points))
    for j in range(points.shape[1]):
        score = score + points[:, j]
    return score


def reasons(points: np.ndarray, best: np.ndarray, names: list[str], k: int) -> pd.DataFrame:
    """Per row, the k variables that cost the most points against their best bin.

    Parameters
    ----------
    points : ndarray of shape (n_rows, n_variables)
        Each row's points in each variable.
    best : ndarray of shape (n_variables,)
        Each variable's highest points.
    names : list of str
        The variables.
    k : int
        How many reasons per row.

    Returns
    -------
    pandas.DataFrame
        `reason_1` ... `reason_k` (the costliest first; ties in the variables' order; None
        once no variable costs points) and `points_lost_1` ... `points_lost_k`.
    """
    lost = best - points
    order = np.argsort(-lost, axis=1, kind="stable")[:, :k]
    taken = np.take_along_axis(lost, order, axis=1)
    chosen = np.asarray(names, dtype=object)[order]
    chosen[taken <= 0] = None
    out = {f"reason_{i + 1}": chosen[:, i] for i in range(k)}
    out |= {f"points_lost_{i + 1}": taken[:, i] for i in range(k)}
    return pd.DataFrame(out)
