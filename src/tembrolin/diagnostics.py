"""Stability between two samples and discrimination (AUC, Gini), per variable, over the
fitted bins, by the core's comparison and Lorenz curve."""

from __future__ import annotations

from typing import Any

import numpy as np
import pandas as pd

import _tembrolin
from tembrolin import _errors, _frames, tables
from tembrolin.bins import FittedBins, fitted_bins
from tembrolin.cluster import diagnostics as cluster_diagnostics
from tembrolin.cluster import is_dask
from tembrolin.request import check_number


def _bin_positions(codes: np.ndarray, missing_row: int) -> np.ndarray:
    """Row numbers as floats for the core's comparison, the missing row as NaN so that the
    core gives the missing values their own bin, as it does for raw values."""
    positions = codes.astype(np.float64)
    positions[codes == missing_row] = np.nan
    return positions


def _compare(fitted: FittedBins, reference: Any, current: Any, epsilon: float) -> list[dict]:
    """The core's comparison of each column's bins between the two samples."""
    ref_columns, cur_columns = fitted.aligned(reference), fitted.aligned(current)
    results = []
    for bins, ref, cur in zip(fitted.columns.values(), ref_columns, cur_columns, strict=True):
        n_rows = bins.missing_row + 1
        # Between consecutive row numbers: every non-missing row is a bin of its own.
        splits = np.arange(n_rows - 2, dtype=np.float64) + 0.5
        results.append(
            _tembrolin.compare_distributions_native(
                _bin_positions(bins.counted_codes(ref), bins.missing_row),
                _bin_positions(bins.counted_codes(cur), bins.missing_row),
                splits,
                epsilon,
            )
        )
    return results


def stability(
    binner: Any, reference: Any, current: Any, by_bin: bool = False, epsilon: float = 1e-12
) -> pd.DataFrame:
    """PSI and KS per variable between a reference and a current sample.

    Both samples are binned with the fitted bins (special values and missing values in
    bins of their own). Either sample may be a Dask DataFrame: its bins are counted on
    its cluster.

    Parameters
    ----------
    binner : Binner
        A fitted binner.
    reference, current : DataFrame or 2-D array
        The two samples, with the fitted columns.
    by_bin : bool, default False
        One row per variable and bin instead: the counts, proportions and cumulative
        proportions of both samples and the bin's PSI term.
    epsilon : float, default 1e-12
        Added to empty proportions so that the PSI stays finite.

    Returns
    -------
    pandas.DataFrame
        Indexed by variable (and bin with `by_bin`), with columns `psi` and `ks`.
    """
    fitted = fitted_bins(binner)
    check_number("epsilon", epsilon, 1e-300, 1.0, "un número positivo y finito, hasta 1")
    if is_dask(reference) or is_dask(current):
        results = cluster_diagnostics.compare(fitted, reference, current, epsilon)
    else:
        results = _compare(fitted, reference, current, epsilon)
    summary, detail = [], []
    for bins, result in zip(fitted.columns.values(), results, strict=True):
        summary.append({"variable": bins.name, "psi": result["psi"], "ks": result["ks"]})
        if by_bin:
            labels = tables.labels(bins)
            for i in range(len(result["psi_bin"])):
                row = {key: values[i] for key, values in result.items() if key not in ("psi", "ks")}
                detail.append({"variable": bins.name, "bin": labels[i], **row})
    if by_bin:
        return pd.DataFrame(detail).set_index(["variable", "bin"])
    return pd.DataFrame(summary).set_index("variable")


def _scored(fitted: FittedBins, X: Any, y: Any) -> tuple[list[np.ndarray], np.ndarray]:
    """Each variable of X scored by its bin's event rate, and the classes of y under the
    fitted target rule; rows whose target is missing are left out, and a value the fit
    never saw is scored as a missing one."""
    columns = fitted.aligned(X)
    y = _frames.target_values(y, len(columns[0]) if columns else 0).values
    kept = ~np.isnan(y)
    scores = [
        b.rows["event_rate"][b.counted_codes(x[kept])]
        for b, x in zip(fitted.columns.values(), columns, strict=True)
    ]
    return scores, fitted.target.classes(y[kept])


def _curve(name: str, score: np.ndarray, classes: np.ndarray) -> dict[str, Any]:
    if classes.size == 0 or classes.min() == classes.max():
        raise _errors.needs_both_classes(name)
    return _tembrolin.lorenz_curve_native(score, classes)


def discrimination(binner: Any, X: Any, y: Any) -> pd.DataFrame:
    """AUC and Gini per variable on any sample, each row scored by its bin's event rate.

    Parameters
    ----------
    binner : Binner
        A fitted binner.
    X : DataFrame, 2-D array or Dask DataFrame
        The sample, with the fitted columns.
    y : array, Series, or (with a Dask X) a column name or a Dask Series
        The sample's target, turned into classes as in the fit.

    Returns
    -------
    pandas.DataFrame
        Indexed by variable, with columns `auc` and `gini`.
    """
    fitted = fitted_bins(binner)
    if is_dask(X):
        return cluster_diagnostics.discrimination(fitted, X, y)
    scores, classes = _scored(fitted, X, y)
    rows = []
    for name, score in zip(fitted.names, scores, strict=True):
        curve = _curve(name, score, classes)
        rows.append({"variable": name, "auc": curve["auc"], "gini": curve["gini"]})
    return pd.DataFrame(rows).set_index("variable")


def lorenz_curve(binner: Any, X: Any, y: Any, column: str | int) -> dict[str, Any]:
    """The core's Lorenz curve of one binned variable on a sample.

    Parameters
    ----------
    binner : Binner
        A fitted binner.
    X, y : DataFrame or 2-D array, and array or Series
        The sample and its target.
    column : str or int
        The variable, by name or position.

    Returns
    -------
    dict
        The core's curve (`lorenz_curve_native`): cumulative shares, `auc` and `gini`.
    """
    fitted = fitted_bins(binner)
    name = fitted.column(column).name
    scores, classes = _scored(fitted, X, y)
    return _curve(name, scores[fitted.names.index(name)], classes)
