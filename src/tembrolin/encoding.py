"""New data through fitted bins: each value replaced by a number of its bin."""

from __future__ import annotations

from typing import Any

import numpy as np

from tembrolin import tables
from tembrolin.bins import FittedBins


def encode(fitted: FittedBins, X: Any, metric: str) -> np.ndarray:
    """Each value of X replaced by its bin's WoE ("woe"), row number ("bin"), event rate
    ("event_rate") or representative ("representative"), one column per fitted column."""
    values = fitted.aligned(X)
    out = np.empty(
        (len(values[0]) if values else 0, len(values)),
        dtype=np.int64 if metric == "bin" else np.float64,
    )
    for j, (bins, x) in enumerate(zip(fitted.columns.values(), values, strict=True)):
        codes = bins.codes(x)
        if metric == "bin":
            out[:, j] = codes
        elif metric == "woe":
            out[:, j] = tables.woe_of_rows(bins)[0][codes]
        else:
            out[:, j] = bins.rows[metric][codes]
    return out
