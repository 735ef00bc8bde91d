"""The target rule: how y becomes the classes 0 and 1 that every count of the package uses.

y is binary when every value is 0 or 1; otherwise it is continuous and an event is a value
above a threshold, given or taken as a percentile of y (the core's percentile rule), once
for the whole table so that every column is judged against the same classes.
"""

from __future__ import annotations

from collections.abc import Callable
from dataclasses import dataclass

import numpy as np

import _tembrolin

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


def decide(binary: bool, threshold: float | None, percentile: Callable[[], float]) -> TargetRule:
    """The rule for a target: binary, or continuous with the given threshold or, when none
    is given, the threshold that `percentile()` finds (asked for only then)."""
    if binary:
        return TargetRule(True)
    return TargetRule(False, float(percentile() if threshold is None else threshold))


def sample_percentile(y: np.ndarray, percentile: float) -> float:
    """The core's percentile of y, read from its report on a one-valued x."""
    report = _tembrolin.mdlp_full_raw(
        np.zeros_like(y), y, 0, 0, 0, 1.0, 1.0, False, percentile=percentile
    )
    return float(report["metadata"]["threshold"])


def rule_for_sample(y: np.ndarray, threshold: float | None, percentile: float) -> TargetRule:
    """The target rule of a sample of y."""
    return decide(is_binary(y), threshold, lambda: sample_percentile(y, percentile))
