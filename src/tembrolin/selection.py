"""The choice of the variables a scorecard uses: thresholds on the summary, then one of
each correlated pair of WoE-transformed variables, the stronger one."""

from __future__ import annotations

from typing import Any

import numpy as np
import pandas as pd

from tembrolin.bins import fitted_bins
from tembrolin.request import check_number

COLUMNS = ["iv", "gini", "share_missing"]


def check_thresholds(
    min_iv: float, min_gini: float, max_share_missing: float, max_correlation: float
) -> None:
    """Refuses thresholds out of their ranges, naming the argument."""
    check_number("min_iv", min_iv, 0.0, np.inf, "un número no negativo")
    check_number("min_gini", min_gini, -1.0, 1.0, "un número entre -1 y 1")
    check_number("max_share_missing", max_share_missing, 0.0, 1.0, "un número entre 0 y 1")
    check_number("max_correlation", max_correlation, 0.0, 1.0, "un número entre 0 y 1")


def _correlations(woe: np.ndarray) -> np.ndarray:
    """Pearson correlations of the columns; a constant column correlates with none."""
    with np.errstate(divide="ignore", invalid="ignore"):
        corr = np.corrcoef(woe, rowvar=False) if woe.shape[1] > 1 else np.ones((1, 1))
    return np.nan_to_num(np.atleast_2d(corr), nan=0.0)


def select_variables(
    binner: Any,
    X: Any,
    *,
    min_iv: float = 0.02,
    min_gini: float = 0.0,
    max_share_missing: float = 0.95,
    max_correlation: float = 0.7,
) -> pd.DataFrame:
    """Which fitted variables to keep, and why each other one goes.

    A variable goes when its share of missing values is above `max_share_missing`, its IV
    below `min_iv`, or its Gini below `min_gini`. The others are taken by IV, strongest
    first; one whose WoE on X correlates (|Pearson r|) above `max_correlation` with a
    variable already kept goes, as the weaker of the pair.

    Parameters
    ----------
    binner : Binner
        Fitted on a binary target.
    X : DataFrame or 2-D array
        The rows the correlations are measured on (usually the fitted ones).
    min_iv, min_gini, max_share_missing, max_correlation : float
        The thresholds.

    Returns
    -------
    pandas.DataFrame
        Indexed by variable, strongest IV first: `iv`, `gini`, `share_missing`,
        `correlation` (the largest |r| with a stronger kept variable), `kept` and
        `reason` (in Spanish; empty for a kept variable).

    Examples
    --------
    >>> import numpy as np, tembrolin as tb
    >>> rng = np.random.default_rng(0)
    >>> x = rng.normal(size=(400, 2)); x[:, 1] = x[:, 0] + 0.01 * rng.normal(size=400)
    >>> y = (rng.random(400) < 1 / (1 + np.exp(-2 * x[:, 0]))).astype(float)
    >>> table = select_variables(tb.Binner().fit(x, y), x)
    >>> table["kept"].tolist()
    [True, False]
    """
    check_thresholds(min_iv, min_gini, max_share_missing, max_correlation)
    fitted = fitted_bins(binner)
    table = binner.summary(sort_by="iv")[COLUMNS].copy()
    names = list(table.index)
    woe = binner.transform(X, metric="woe")[:, [fitted.names.index(n) for n in names]]
    corr = np.abs(_correlations(woe))
    reasons: list[str] = []
    kept: list[int] = []
    strongest = np.zeros(len(names))
    for i, name in enumerate(names):
        row = table.loc[name]
        partners = [j for j in kept if corr[i, j] > max_correlation]
        strongest[i] = max((corr[i, j] for j in kept), default=0.0)
        if row["share_missing"] > max_share_missing:
            reasons.append(
                f"faltantes {row['share_missing']:.1%} > max_share_missing {max_share_missing}"
            )
        elif row["iv"] < min_iv:
            reasons.append(f"IV {row['iv']:.4f} < min_iv {min_iv}")
        elif row["gini"] < min_gini:
            reasons.append(f"Gini {row['gini']:.4f} < min_gini {min_gini}")
        elif partners:
            j = partners[0]
            reasons.append(f"correlación {corr[i, j]:.2f} con '{names[j]}', de mayor IV")
        else:
            reasons.append("")
            kept.append(i)
    table["correlation"] = strongest
    table["kept"] = [not reason for reason in reasons]
    table["reason"] = reasons
    return table
