"""The target rule: how y becomes the classes 0 and 1 that every count of the package uses.

y is binary when every value is 0 or 1; otherwise it is continuous and an event is a value
above a threshold, given or taken as a percentile of y (the core's percentile rule), once
for the whole table so that every column is judged against the same classes.
"""

from __future__ import annotations

from collections.abc import Callable
from dataclasses import dataclass
from functools import partial

import numpy as np

import _tembrolin
from tembrolin import _errors, weighted

BINARY = "binary"
CONTINUOUS = "continuous"


@dataclass(frozen=True)
class TargetRule:
    """How y is turned into classes: y itself when binary, else y above `threshold`.

    Attributes
    ----------
    binary : bool
        Whether y is 0/1.
    threshold : float
        The value above which a continuous y is an event (0.0 for a binary y).
    """

    binary: bool
    threshold: float = 0.0

    @property
    def kind(self) -> str:
        """The kind of target: "binary" or "continuous"."""
        return BINARY if self.binary else CONTINUOUS

    def classes(self, y: np.ndarray) -> np.ndarray:
        """The 0/1 class of each value of y, as int32."""
        return (y == 1.0 if self.binary else y > self.threshold).astype(np.int32)


def is_binary(y: np.ndarray) -> bool:
    """Whether every value of y is 0 or 1."""
    return bool(((y == 0.0) | (y == 1.0)).all())


def decide(
    seen: np.ndarray,
    floating: bool,
    threshold: float | None,
    percentile: float | None,
    percentile_of: Callable[[float], float],
) -> TargetRule:
    """The rule for a target of which `seen` holds the distinct values (at least three of
    them when there are more; NaN left out) and `floating` says whether it is of a float
    type.

    0/1 is binary. y is continuous when a threshold or a percentile is given, or when it
    is of a float type with more than two values; its threshold is then the given one or
    `percentile_of(p)` (asked for only then), p the given percentile or the median. Any
    other y would be misread either way, and is refused with what was seen.
    """
    if is_binary(seen):
        return TargetRule(True)
    if threshold is not None:
        return TargetRule(False, float(threshold))
    if percentile is not None or (floating and len(seen) > 2):
        return TargetRule(False, float(percentile_of(50.0 if percentile is None else percentile)))
    raise _errors.ambiguous_target(seen.tolist(), floating)


def distinct_values(y: np.ndarray, most: int = 3) -> np.ndarray:
    """Up to `most` of the smallest distinct values of y, NaN left out: one pass over y
    for each, with no copy of it (a column of the fit's length may be large)."""
    seen: list[float] = []
    above = ~np.isnan(y)
    while len(seen) < most and above.any():
        seen.append(float(np.min(y, where=above, initial=np.inf)))
        above = y > seen[-1]
    return np.array(seen, dtype=np.float64)


def sample_percentile(y: np.ndarray, percentile: float) -> float:
    """The core's percentile of y, read from its report on a one-valued x."""
    report = _tembrolin.mdlp_full_raw(
        np.zeros_like(y), y, 0, 0, 0, 1.0, 1.0, False, percentile=percentile
    )
    return float(report["metadata"]["threshold"])


def rule_for_sample(
    y: np.ndarray,
    floating: bool,
    threshold: float | None,
    percentile: float | None,
    weights: np.ndarray | None = None,
) -> TargetRule:
    """The target rule of a sample of y (NaN left out), its rows weighted when `weights`
    are given (rows of weight zero left out)."""
    if weights is None:
        percentile_of = lambda p: sample_percentile(y[~np.isnan(y)], p)  # noqa: E731
    else:
        kept = weights > 0
        y, weights = y[kept], weights[kept]
        percentile_of = partial(weighted.percentile, y, weights)
    return decide(distinct_values(y), floating, threshold, percentile, percentile_of)
