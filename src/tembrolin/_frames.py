"""Input tables to plain float64 columns: pandas or polars through narwhals, or a 2-D array."""

from __future__ import annotations

from collections.abc import Callable
from dataclasses import dataclass
from typing import Any

import narwhals.stable.v1 as nw
import numpy as np
from scipy import sparse

from tembrolin import _errors

ARRAY_COLUMNS = "x0.."  # how an array's columns are named in messages


@dataclass(frozen=True)
class Columns:
    """The columns of X with their names, each read as a contiguous float64 array on demand,
    so that the threads that fit the columns also share the copying.

    `named` is true when X carried string column names (a DataFrame); a 2-D array gets
    the names x0, x1, ... and is matched to the fitted columns by position.
    """

    names: list[str]
    named: bool
    n_rows: int
    read: Callable[[int], np.ndarray]

    def all(self) -> list[np.ndarray]:
        return [self.read(j) for j in range(len(self.names))]


def _check_numeric(series: Any, name: str) -> None:
    if not (series.dtype.is_numeric() or series.dtype == nw.Boolean):
        raise _errors.not_numeric(name, series.dtype)


def _series_to_float(series: Any) -> np.ndarray:
    # Nulls of nullable columns become NaN, the one missing value of the core.
    series = series.cast(nw.Float64)
    values = series.to_numpy()
    if values.dtype != np.float64:
        values = np.where(series.is_null().to_numpy(), np.nan, values).astype(np.float64)
    return np.ascontiguousarray(values, dtype=np.float64)


def _array_columns(X: Any) -> Columns:
    if sparse.issparse(X):
        raise _errors.sparse_input()
    array = np.asarray(X)
    if array.ndim != 2:
        raise _errors.not_two_dimensional(array.shape)
    refused = _errors.not_numeric(ARRAY_COLUMNS, array.dtype)
    if array.dtype.kind == "c":
        raise refused
    if array.dtype.kind not in "biuf":
        try:
            array = array.astype(np.float64)
        except (TypeError, ValueError) as error:
            raise refused from error
    names = [f"x{j}" for j in range(array.shape[1])]

    def read(j: int) -> np.ndarray:
        return np.ascontiguousarray(array[:, j], dtype=np.float64)

    return Columns(names, False, array.shape[0], read)


def read_columns(X: Any) -> Columns:
    """Reads X (pandas, polars, or anything NumPy makes a 2-D array of)."""
    frame = nw.from_native(X, eager_only=True, pass_through=True)
    if not isinstance(frame, nw.DataFrame):
        return _array_columns(X)
    raw_names = list(frame.columns)
    series = [frame.get_column(raw) for raw in raw_names]
    for one, raw in zip(series, raw_names, strict=True):
        _check_numeric(one, str(raw))
    named = all(isinstance(name, str) for name in raw_names)
    return Columns(
        [str(n) for n in raw_names], named, len(frame), lambda j: _series_to_float(series[j])
    )


def split_target(X: Any, name: str) -> tuple[Any, Any]:
    """X without the column `name`, in X's own kind of frame (for y given by name)."""
    frame = nw.from_native(X, eager_only=True, pass_through=True)
    if not isinstance(frame, nw.DataFrame) or name not in frame.columns:
        error = _errors.unknown_columns("y", [name])
        raise error
    return nw.to_native(frame.drop(name)), frame.get_column(name)


def target_values(y: Any, n_rows: int) -> np.ndarray:
    """y as a float64 vector of n_rows finite values (array, Series or 1-column frame)."""
    if y is None:
        raise _errors.y_missing()
    series = nw.from_native(y, series_only=True, pass_through=True)
    if isinstance(series, nw.Series):
        if not (series.dtype.is_numeric() or series.dtype == nw.Boolean):
            raise _errors.y_not_numeric(series.dtype)
        values = series.cast(nw.Float64).to_numpy()
    else:
        values = np.asarray(y)
        if values.shape[1:] == (1,):
            values = values[:, 0]
        if values.ndim != 1:
            raise _errors.y_shape(values.shape)
        if values.dtype.kind not in "biuf":
            raise _errors.y_not_numeric(values.dtype)
    values = np.ascontiguousarray(values, dtype=np.float64)
    if len(values) != n_rows:
        raise _errors.y_length(len(values), n_rows)
    if not np.isfinite(values).all():
        raise _errors.y_not_finite()
    return values
