"""Input tables to plain columns: pandas or polars through narwhals, or a 2-D array.

A column is numeric (read as float64, missing values as NaN) or categorical (read as an
object array of labels, missing values as None). Which one is decided by its dtype, never
by its values: text, categories, enums, booleans and Python objects are categorical, and
so is any column the caller names as categorical (integer-coded categories).
"""

from __future__ import annotations

import threading
from collections.abc import Callable, Collection
from dataclasses import dataclass
from typing import Any

import narwhals.stable.v1 as nw
import numpy as np
import pandas as pd
from scipy import sparse

from tembrolin import _errors

ARRAY_COLUMNS = "x0.."  # how an array's columns are named in messages
NUMERIC = "numeric"
CATEGORICAL = "categorical"
CATEGORICAL_DTYPES = (nw.String, nw.Categorical, nw.Enum, nw.Boolean, nw.Object)
# A column of a row-major array copied on its own reads a whole cache line of every row
# for one value; the columns that share the line (8 of 8 bytes in 64) are copied with it,
# a block of rows at a time so that the block's lines are read once, from cache.
COLUMN_GROUP = 8
ROW_BLOCK = 16384


@dataclass(frozen=True)
class Columns:
    """The columns of X with their names and kinds, each read on demand (so that the
    threads that fit the columns also share the copying).

    `labels` are a DataFrame's column labels as they are (strings, integers, tuples), by
    which new data are matched to the fitted columns; a 2-D array has none, gets the
    names x0, x1, ... and is matched by position.
    `read(j, kind)` gives column j as numbers (float64) or as labels (objects).
    """

    names: list[str]
    labels: list[Any] | None
    n_rows: int
    kinds: list[str]
    read_as: Callable[[int, str], np.ndarray]

    def read(self, j: int) -> np.ndarray:
        """Column j read as its own kind."""
        return self.read_as(j, self.kinds[j])


def labels_of(values: np.ndarray) -> np.ndarray:
    """An object array of plain Python labels, every kind of missing value as None."""
    out = np.empty(len(values), dtype=object)
    out[:] = [v.item() if isinstance(v, np.generic) else v for v in values]
    out[pd.isna(values)] = None
    return out


def _series_to_float(series: Any, name: str) -> np.ndarray:
    if not (series.dtype.is_numeric() or (name == "y" and series.dtype == nw.Boolean)):
        raise _errors.not_numeric(name, series.dtype)
    # NumPy's conversion, not the frame library's: integers past 2**53 round to the
    # nearest double, as they do from a NumPy array, instead of being refused.
    values = series.to_numpy()
    if values.dtype.kind in "biuf":
        return np.ascontiguousarray(values, dtype=np.float64)
    # Nulls of nullable columns become NaN, the one missing value of the core.
    missing = series.is_null().to_numpy()
    out = np.full(len(values), np.nan)
    out[~missing] = values[~missing].astype(np.float64)
    return out


def _kind(dtype: Any, name: str, categorical: Collection[str]) -> str:
    if name in categorical or any(dtype == kind for kind in CATEGORICAL_DTYPES):
        return CATEGORICAL
    if dtype.is_numeric():
        return NUMERIC
    raise _errors.unsupported_column(name, dtype)


def _array_columns(X: Any, categorical: Collection[str]) -> Columns:
    if sparse.issparse(X):
        raise _errors.sparse_input()
    array = np.asarray(X)
    if array.ndim != 2:
        raise _errors.not_two_dimensional(array.shape)
    if array.dtype.kind not in "biufOUS":
        raise _errors.not_numeric(ARRAY_COLUMNS, array.dtype)
    names = [f"x{j}" for j in range(array.shape[1])]
    by_dtype = CATEGORICAL if array.dtype.kind in "bOUS" else NUMERIC
    kinds = [CATEGORICAL if name in categorical else by_dtype for name in names]

    grouped = _grouped_columns(array) if array.flags.c_contiguous and array.shape[1] > 1 else None

    def read_as(j: int, kind: str) -> np.ndarray:
        if kind == CATEGORICAL:
            return labels_of(array[:, j])
        if array.dtype.kind not in "iuf":
            raise _errors.not_numeric(names[j], array.dtype)
        if grouped is not None:
            return grouped(j)
        return np.ascontiguousarray(array[:, j], dtype=np.float64)

    return Columns(names, None, array.shape[0], kinds, read_as)


def _grouped_columns(array: np.ndarray) -> Callable[[int], np.ndarray]:
    """Column j of a row-major numeric array as contiguous float64, copied with the other
    columns of its group, which wait to be asked for; a group is let go once all of its
    columns were handed out (its memory then lives as long as they do). Threads may ask."""
    n_rows, n_columns = array.shape
    lock = threading.Lock()
    waiting: dict[int, tuple[np.ndarray, set[int]]] = {}

    def column(j: int) -> np.ndarray:
        group, first = j // COLUMN_GROUP, j - j % COLUMN_GROUP
        with lock:
            if group not in waiting:
                last = min(first + COLUMN_GROUP, n_columns)
                copied = np.empty((last - first, n_rows))
                for start in range(0, n_rows, ROW_BLOCK):
                    block = array[start : start + ROW_BLOCK, first:last]
                    copied[:, start : start + ROW_BLOCK] = block.T
                waiting[group] = (copied, set(range(first, last)))
            copied, left = waiting[group]
            left.discard(j)
            if not left:
                del waiting[group]
        return copied[j - first]

    return column


def read_columns(X: Any, categorical: Collection[str] = ()) -> Columns:
    """Reads X (pandas, polars, or anything NumPy makes a 2-D array of); the columns named
    in `categorical` are read as labels whatever their dtype."""
    try:
        frame = nw.from_native(X, eager_only=True, pass_through=True)
    except nw.exceptions.DuplicateError as error:
        raise _errors.duplicate_columns(_repeated(list(X.columns))) from error
    if not isinstance(frame, nw.DataFrame):
        return _array_columns(X, categorical)
    raw_names = list(frame.columns)
    names = [str(n) for n in raw_names]
    if len(set(names)) < len(names):
        raise _errors.duplicate_columns(_repeated(names))
    series = [frame.get_column(raw) for raw in raw_names]
    kinds = [_kind(s.dtype, name, categorical) for s, name in zip(series, names, strict=True)]

    def read_as(j: int, kind: str) -> np.ndarray:
        if kind == CATEGORICAL:
            return labels_of(series[j].to_numpy())
        return _series_to_float(series[j], names[j])

    return Columns(names, raw_names, len(frame), kinds, read_as)


def _repeated(names: list[Any]) -> list[str]:
    return [str(name) for name in dict.fromkeys(n for n in names if names.count(n) > 1)]


def split_target(X: Any, name: str) -> tuple[Any, Any]:
    """X without the column `name`, in X's own kind of frame (for y given by name)."""
    frame = nw.from_native(X, eager_only=True, pass_through=True)
    if not isinstance(frame, nw.DataFrame) or name not in frame.columns:
        error = _errors.unknown_columns("y", [name])
        raise error
    return nw.to_native(frame.drop(name)), frame.get_column(name)


@dataclass(frozen=True)
class TargetValues:
    """y as float64, missing values as NaN; `floating` says whether its dtype was a float."""

    values: np.ndarray
    floating: bool


def target_values(y: Any, n_rows: int) -> TargetValues:
    """y read from an array, a Series or a 1-column frame, with n_rows values: numbers or
    booleans, missing values allowed, infinities not."""
    if y is None:
        raise _errors.y_missing()
    series = nw.from_native(y, series_only=True, pass_through=True)
    if isinstance(series, nw.Series):
        if not (series.dtype.is_numeric() or series.dtype == nw.Boolean):
            raise _errors.y_not_numeric(series.dtype)
        floating = series.dtype.is_float()
        values = _series_to_float(series, "y")
    else:
        array = np.asarray(y)
        if array.shape[1:] == (1,):
            array = array[:, 0]
        if array.ndim != 1:
            raise _errors.y_shape(array.shape)
        if array.dtype.kind not in "biuf":
            raise _errors.y_not_numeric(array.dtype)
        floating = array.dtype.kind == "f"
        values = np.ascontiguousarray(array, dtype=np.float64)
    if len(values) != n_rows:
        raise _errors.y_length(len(values), n_rows)
    if np.isinf(values).any():
        raise _errors.y_not_finite()
    return TargetValues(values, floating)
