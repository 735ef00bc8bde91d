"""Transform and diagnostics of Dask samples over fitted bins, partition by partition."""

from __future__ import annotations

from collections.abc import Callable
from typing import Any

import numpy as np
import pandas as pd

from tembrolin import _errors, encoding
from tembrolin._native import compare_counts, lorenz_counts
from tembrolin.bins import FittedBins
from tembrolin.cluster import dask, is_dask
from tembrolin.cluster.counting import Layout, read_part
from tembrolin.cluster.fit import with_target


def _transform_part(
    part: pd.DataFrame, fitted: FittedBins, metric: str, handle_unknown: str
) -> pd.DataFrame:
    out = encoding.encode(fitted, part, metric, handle_unknown)
    return pd.DataFrame(out, columns=fitted.names, index=part.index)


def transform(fitted: FittedBins, X: Any, metric: str, handle_unknown: str) -> Any:
    """`Binner.transform` partition by partition: a Dask DataFrame of the fitted columns."""
    fitted.aligned(X._meta)  # the column checks, on the client
    dtype = np.int64 if metric == "bin" else np.float64
    meta = pd.DataFrame({name: np.empty(0, dtype=dtype) for name in fitted.names})
    return X.map_partitions(_transform_part, fitted, metric, handle_unknown, meta=meta)


def _bin_counts(part: Any, fitted: FittedBins) -> list[np.ndarray]:
    """The observations of each report row (totals excluded) of each column."""
    columns = fitted.aligned(part)
    return [
        np.bincount(b.counted_codes(x), minlength=b.missing_row + 1)
        for b, x in zip(fitted.columns.values(), columns, strict=True)
    ]


def _summed(sample: Any, count: Callable[..., list[np.ndarray]], *args: Any) -> list[np.ndarray]:
    """`count` of a pandas sample, or summed over the partitions of a Dask one."""
    if not is_dask(sample):
        return count(sample, *args)
    per_part = dask().compute(*[dask().delayed(count)(p, *args) for p in sample.to_delayed()])
    return [np.sum(column, axis=0) for column in zip(*per_part, strict=True)]


def compare(fitted: FittedBins, reference: Any, current: Any, epsilon: float) -> list[dict]:
    """The core's comparison of each column's bins, from the bin counts of both samples."""
    fitted.aligned(reference._meta if is_dask(reference) else reference)
    fitted.aligned(current._meta if is_dask(current) else current)
    out = []
    ref_counts = _summed(reference, _bin_counts, fitted)
    cur_counts = _summed(current, _bin_counts, fitted)
    for ref, cur in zip(ref_counts, cur_counts, strict=True):
        # No missing value in either sample: no missing bin.
        rows = len(ref) - 1 if ref[-1] == 0 and cur[-1] == 0 else len(ref)
        out.append(
            compare_counts(ref[:rows].astype(np.int64), cur[:rows].astype(np.int64), epsilon)
        )
    return out


def _class_counts(
    part: pd.DataFrame, fitted: FittedBins, given: list[Any], target: str
) -> list[np.ndarray]:
    """Per column, the class-0 and class-1 counts of each report row (totals excluded).

    Columns fitted by label are read by label; an array's, by position among X's labels.
    """
    labels = given if fitted.labels is None else list(fitted.labels)
    columns, y = read_part(part, Layout(labels, fitted.names, fitted.kinds, target, {}))
    ones = fitted.target.classes(y).astype(np.float64)
    out = []
    for bins, x in zip(fitted.columns.values(), columns, strict=True):
        codes = bins.counted_codes(x)
        c1 = np.bincount(codes, weights=ones, minlength=bins.missing_row + 1)
        c0 = np.bincount(codes, minlength=bins.missing_row + 1) - c1
        out.append(np.stack([c0, c1]).astype(np.int64))
    return out


def discrimination(fitted: FittedBins, X: Any, y: Any) -> pd.DataFrame:
    """`tembrolin.discrimination` on a Dask DataFrame, from each bin's class counts."""
    frame, labels, target = with_target(X, y)
    fitted.aligned(frame._meta[labels])
    rows = []
    per_column = _summed(frame, _class_counts, fitted, labels, target)
    for bins, (c0, c1) in zip(fitted.columns.values(), per_column, strict=True):
        if c0.sum() == 0 or c1.sum() == 0:
            raise _errors.needs_both_classes(bins.name)
        curve = lorenz_counts(bins.rows["event_rate"][: len(c0)], c0, c1)
        rows.append({"variable": bins.name, "auc": curve["auc"], "gini": curve["gini"]})
    return pd.DataFrame(rows).set_index("variable")
