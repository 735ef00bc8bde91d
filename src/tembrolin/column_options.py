"""The per-column options of a fit (special values, user splits, categorical columns),
checked: each given for the kind of its column, with a Spanish message naming the
argument and the column at fault."""

from __future__ import annotations

import math
from collections.abc import Mapping
from typing import Any

import numpy as np

from tembrolin import _errors
from tembrolin._frames import CATEGORICAL, NUMERIC


def _is_number(value: Any) -> bool:
    return isinstance(value, (int, float, np.integer, np.floating)) and not isinstance(
        value, (bool, np.bool_)
    )


def _values(argument: str, values: Any) -> tuple[Any, ...]:
    """A sequence of values given for one column, as a tuple; a lone value is refused."""
    if not isinstance(values, (list, tuple, np.ndarray)):
        raise _errors.out_of_range(argument, values, "una lista de valores")
    return tuple(values.tolist() if isinstance(values, np.ndarray) else values)


def _column_values(argument: str, values: tuple[Any, ...], kind: str) -> tuple[Any, ...]:
    """One column's values checked for its kind: numbers (NaN refused) for a numeric
    column, labels (None refused) for a categorical one."""
    if kind == NUMERIC:
        wrong = [v for v in values if not _is_number(v)]
        if wrong:
            raise _errors.out_of_range(argument, wrong[0], "una lista de números")
        values = tuple(float(v) for v in values)
        if any(math.isnan(v) for v in values):
            raise _errors.nan_given(argument)
    elif any(v is None for v in values):
        raise _errors.nan_given(argument)
    else:
        wrong = [v for v in values if not isinstance(v, (str, int, float, np.generic))]
        if wrong:
            raise _errors.out_of_range(argument, wrong[0], "una lista de categorías")
    return values


def per_column(
    argument: str, value: Any, names: list[str], kinds: list[str]
) -> dict[str, tuple[Any, ...]]:
    """`user_splits` or `special_values` per column name: a mapping names its columns, a
    plain sequence applies to every column (numbers only, to the numeric ones)."""
    if value is None:
        return {}
    kind_of = dict(zip(names, kinds, strict=True))
    if isinstance(value, Mapping):
        # Columns are known by their names as text: a frame's column 0 is "0".
        unknown = [str(name) for name in value if str(name) not in kind_of]
        if unknown:
            raise _errors.unknown_columns(argument, unknown)
        named = {str(name): f"{argument}['{name}']" for name in value}
        return {
            str(name): _column_values(
                named[str(name)], _values(named[str(name)], v), kind_of[str(name)]
            )
            for name, v in value.items()
        }
    given = _values(argument, value)
    numbers = tuple(v for v in given if _is_number(v))
    return {
        name: _column_values(argument, given if kind == CATEGORICAL else numbers, kind)
        for name, kind in kind_of.items()
    }


def categorical_names(categorical: Any) -> list[str]:
    """The `categorical` parameter as a list of column names."""
    if categorical is None:
        return []
    if isinstance(categorical, str) or not isinstance(categorical, (list, tuple, set)):
        error = _errors.out_of_range("categorical", categorical, "una lista de nombres de columna")
        raise error
    return [str(name) for name in categorical]
