"""New data through fitted bins: each value replaced by a number of its bin."""

from __future__ import annotations

from typing import Any

import numpy as np

from tembrolin import _errors, tables
from tembrolin.bins import UNKNOWN, ColumnBins, FittedBins


def _encode_column(bins: ColumnBins, x: np.ndarray, metric: str, handle_unknown: str) -> np.ndarray:
    codes = bins.codes(x)
    unknown = codes == UNKNOWN
    if unknown.any() and handle_unknown == "error":
        raise _errors.unknown_values(bins.name, dict.fromkeys(x[unknown].tolist()))
    if metric == "bin":
        return codes
    # A value the fit never saw is neutral: WoE 0, the overall event rate.
    if metric == "woe":
        per_row = np.append(tables.woe_of_rows(bins)[0], 0.0)
    elif metric == "event_rate":
        per_row = np.append(bins.rows["event_rate"][:-1], bins.rows["event_rate"][-1])
    else:
        per_row = np.append(bins.rows[metric][:-1], np.nan)
    return per_row[codes]  # UNKNOWN (-1) reads the appended value


def encode(fitted: FittedBins, X: Any, metric: str, handle_unknown: str = "neutral") -> np.ndarray:
    """Each value of X replaced by its bin's WoE ("woe"), row number ("bin"), event rate
    ("event_rate") or representative ("representative"), one column per fitted column.

    A value the fit never saw gets WoE 0, the overall event rate, bin -1 and no
    representative, or an error naming its column with `handle_unknown="error"`.
    """
    values = fitted.aligned(X)
    out = np.empty(
        (len(values[0]) if values else 0, len(values)),
        dtype=np.int64 if metric == "bin" else np.float64,
    )
    for j, (bins, x) in enumerate(zip(fitted.columns.values(), values, strict=True)):
        out[:, j] = _encode_column(bins, x, metric, handle_unknown)
    return out
