"""Fit, transform and diagnostics on Dask DataFrames, with the results of one machine.

Each partition reduces its rows to the class counts at every distinct value of each
column (the native core sorts them); the counts merge pairwise in a tree on the workers,
and the client fits each column from the merged counts (`tembrolin.counted`), exactly as
a fit of the whole table on one machine would. Quantiles, medians and percentiles are
exact order statistics of the merged counts, never sketches.

Dask is imported only when a Dask input arrives: `is_dask` recognises one without it.
"""

from __future__ import annotations

from typing import Any


def is_dask(data: Any) -> bool:
    """Whether `data` is a Dask collection, found without importing Dask."""
    return type(data).__module__.partition(".")[0] in ("dask", "dask_expr")


def dask() -> Any:
    """The dask module, imported on first use: optional and slow to import."""
    import dask  # noqa: PLC0415

    return dask
