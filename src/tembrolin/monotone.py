"""Monotone event rates: merge adjacent bins that break the trend, after the cut search.

The core's monotonicity rule only compares the two sides of each cut inside its segment,
so the final bins can still zigzag. Pooling adjacent violators fixes that with the fewest
merges that a left-to-right pass can make, and never moves a cut: it only drops some.
"""

from __future__ import annotations

from collections.abc import Sequence
from fractions import Fraction

import numpy as np

ASCENDING = "ascending"
DESCENDING = "descending"


def _breaks_trend(left: list[Fraction], right: list[Fraction], ascending: bool) -> bool:
    """Whether two adjacent blocks (c0, c1, last bin) break the trend; empty blocks always do.

    Rates are compared as exact cross-products (of whole or weighted counts), so no
    rounding decides a merge.
    """
    left_n, right_n = left[0] + left[1], right[0] + right[1]
    if left_n == 0 or right_n == 0:
        return True
    left_side, right_side = left[1] * right_n, right[1] * left_n
    return left_side > right_side if ascending else left_side < right_side


def merge_violators(
    splits: np.ndarray,
    c0: Sequence[float] | np.ndarray,
    c1: Sequence[float] | np.ndarray,
    direction: str,
) -> np.ndarray:
    """The subset of `splits` whose bins have event rates monotone in `direction`.

    `c0` and `c1` are the class counts of the k + 1 bins that the k splits define.
    """
    ascending = direction == ASCENDING
    blocks: list[list[Fraction]] = []
    for index, (zeros, ones) in enumerate(zip(c0, c1, strict=True)):
        blocks.append([Fraction(zeros), Fraction(ones), Fraction(index)])
        while len(blocks) > 1 and _breaks_trend(blocks[-2], blocks[-1], ascending):
            right = blocks.pop()
            blocks[-1] = [blocks[-1][0] + right[0], blocks[-1][1] + right[1], right[2]]
    return np.asarray([splits[int(block[2])] for block in blocks[:-1]], dtype=np.float64)


def is_monotone(event_rate: np.ndarray, count: np.ndarray) -> bool:
    """Whether the event rates of the non-empty bins never rise or never fall."""
    rates = event_rate[count > 0]
    steps = np.diff(rates)
    return bool((steps >= 0).all() or (steps <= 0).all())
