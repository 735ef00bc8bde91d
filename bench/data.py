"""Inputs shared by the benchmarks: x normal with 1% NaN, y a 0/1 target drawn
from a logistic function of x. Seeded, so every run sees the same data."""

import numpy as np


def logistic_sample(n: int, seed: int = 20261206) -> tuple[np.ndarray, np.ndarray]:
    rng = np.random.default_rng(seed)
    x = rng.standard_normal(n)
    y = (rng.random(n) < 1.0 / (1.0 + np.exp(-1.5 * x))).astype(np.float64)
    x[rng.random(n) < 0.01] = np.nan
    return x, y
