"""Stability between two samples and discrimination (AUC, Gini), per variable, over the
fitted bins, by the core's comparison and Lorenz curve."""

from __future__ import annotations

from typing import TYPE_CHECKING, Any

import numpy as np
import pandas as pd

import _tembrolin
from tembrolin import _errors, _frames, distributed, tables

if TYPE_CHECKING:
    from tembrolin.binner import Binner


def _bin_positions(codes: np.ndarray, missing_row: int) -> np.ndarray:
    """Row numbers as floats for the core's comparison, the missing row as NaN so that the
    core gives the missing values their own bin, as it does for raw values."""
    positions = codes.astype(np.float64)
    positions[codes == missing_row] = np.nan
    return positions


def _compare(binner: Binner, reference: Any, current: Any, epsilon: float) -> list[dict]:
    """The core's comparison of each column's bins between the two samples."""
    ref_columns, cur_columns = binner._aligned(reference), binner._aligned(current)
    results = []
    for bins, ref, cur in zip(binner.columns_.values(), ref_columns, cur_columns, strict=True):
        n_rows = bins.missing_row + 1
        # Between consecutive row numbers: every non-missing row is a bin of its own.
        splits = np.arange(n_rows - 2, dtype=np.float64) + 0.5
        results.append(
            _tembrolin.compare_distributions_native(
                _bin_positions(bins.codes(ref), bins.missing_row),
                _bin_positions(bins.codes(cur), bins.missing_row),
                splits,
                epsilon,
            )
        )
    return results


def stability(
    binner: Binner, reference: Any, current: Any, by_bin: bool = False, epsilon: float = 1e-12
) -> pd.DataFrame:
    """PSI and KS per variable between a reference and a current sample.

    Both samples are binned with the fitted bins (special values and missing values in
    bins of their own). With `by_bin`, one row per variable and bin instead: the counts,
    proportions and cumulative proportions of both samples and the bin's PSI term. Either
    sample may be a Dask DataFrame: its bins are counted on its cluster.
    """
    if distributed.is_dask(reference) or distributed.is_dask(current):
        results = distributed.compare(binner, reference, current, epsilon)
    else:
        results = _compare(binner, reference, current, epsilon)
    summary, detail = [], []
    for bins, result in zip(binner.columns_.values(), results, strict=True):
        summary.append({"variable": bins.name, "psi": result["psi"], "ks": result["ks"]})
        if by_bin:
            labels = tables.labels(bins)
            for i in range(len(result["psi_bin"])):
                row = {key: values[i] for key, values in result.items() if key not in ("psi", "ks")}
                detail.append({"variable": bins.name, "bin": labels[i], **row})
    if by_bin:
        return pd.DataFrame(detail).set_index(["variable", "bin"])
    return pd.DataFrame(summary).set_index("variable")


def _scored(binner: Binner, X: Any, y: Any) -> tuple[list[np.ndarray], np.ndarray]:
    """Each variable of X scored by its bin's event rate, and the classes of y (0/1, or a
    continuous y cut at the fitted threshold)."""
    columns = binner._aligned(X)
    values = _frames.read_target(y, len(columns[0]) if columns else 0)
    classes = values == 1.0 if binner.target_type_ == "binary" else values > binner.threshold_
    scores = [
        b.rows["event_rate"][b.codes(x)]
        for b, x in zip(binner.columns_.values(), columns, strict=True)
    ]
    return scores, classes.astype(np.int32)


def _curve(name: str, score: np.ndarray, classes: np.ndarray) -> dict[str, Any]:
    if classes.size == 0 or classes.min() == classes.max():
        raise _errors.needs_both_classes(name)
    return _tembrolin.lorenz_curve_native(score, classes)


def discrimination(binner: Binner, X: Any, y: Any) -> pd.DataFrame:
    """AUC and Gini per variable on any sample, each row scored by its bin's event rate.

    X may be a Dask DataFrame, with y a column name or a Dask Series.
    """
    if distributed.is_dask(X):
        return distributed.discrimination(binner, X, y)
    scores, classes = _scored(binner, X, y)
    rows = []
    for name, score in zip(binner.columns_, scores, strict=True):
        curve = _curve(name, score, classes)
        rows.append({"variable": name, "auc": curve["auc"], "gini": curve["gini"]})
    return pd.DataFrame(rows).set_index("variable")


def lorenz_curve(binner: Binner, X: Any, y: Any, column: str | int) -> dict[str, Any]:
    """The core's Lorenz curve of one binned variable on a sample."""
    name = binner._column(column).name
    scores, classes = _scored(binner, X, y)
    return _curve(name, scores[list(binner.columns_).index(name)], classes)
