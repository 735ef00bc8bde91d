"""Rounding of continuous columns before they are counted, so that their tables fit.

A continuous column can have as many distinct values as rows; rounded to a few significant
digits or to a grid, it has few, and the fit is then exact for the rounded data.
"""

from __future__ import annotations

import math
from collections.abc import Mapping
from dataclasses import dataclass

import numpy as np

from tembrolin import _errors


def round_significant(x: np.ndarray, digits: int) -> np.ndarray:
    """x to `digits` significant digits; zeros, infinities and NaN stay as they are."""
    out = np.array(x, dtype=np.float64)
    shown = np.isfinite(out) & (out != 0.0)
    scale = 10.0 ** (digits - 1 - np.floor(np.log10(np.abs(out[shown]))))
    out[shown] = np.round(out[shown] * scale) / scale
    return out


def round_to_grid(x: np.ndarray, step: float) -> np.ndarray:
    """x to the nearest multiple of `step`."""
    return np.round(np.asarray(x, dtype=np.float64) / step) * step


@dataclass(frozen=True)
class Rounding:
    """How one column is rounded before it is counted, and how the report says so."""

    by: str  # "digits" (significant) or "grid"
    amount: float

    def apply(self, x: np.ndarray) -> np.ndarray:
        if self.by == "digits":
            return round_significant(x, int(self.amount))
        return round_to_grid(x, self.amount)

    def describe(self) -> str:
        if self.by == "digits":
            return f"{int(self.amount)} cifras significativas"
        return f"múltiplos de {self.amount}"


def roundings(
    names: list[str], digits: Mapping[str, int] | None, grid: Mapping[str, float] | None
) -> dict[str, Rounding]:
    """The rounding of each column named by `round_digits` or `round_grid`, checked."""
    digits, grid = dict(digits or {}), dict(grid or {})
    for argument, given in (("round_digits", digits), ("round_grid", grid)):
        unknown = [str(name) for name in given if name not in names]
        if unknown:
            raise _errors.unknown_columns(argument, unknown)
    both = [name for name in digits if name in grid]
    if both:
        raise _errors.rounded_twice(both)
    for name, value in digits.items():
        if isinstance(value, bool) or not isinstance(value, (int, np.integer)) or value < 1:
            error = _errors.out_of_range(f"round_digits['{name}']", value, "un entero positivo")
            raise error
    for name, step in grid.items():
        if not isinstance(step, (int, float, np.number)) or not 0 < step < math.inf:
            error = _errors.out_of_range(f"round_grid['{name}']", step, "un número positivo finito")
            raise error
    out = {name: Rounding("digits", int(value)) for name, value in digits.items()}
    return out | {name: Rounding("grid", float(step)) for name, step in grid.items()}
