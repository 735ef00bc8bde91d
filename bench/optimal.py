"""How the optimal partition scales with the number of pre-bins P, per constraint family:
median milliseconds of optimal_partition_binary on seeded random pre-bins. Printed as its
own table; `cases()` is empty because one P = 3000 search, the suite's check size, would
be slow. The unconstrained optimum is checked against the information value of the
all-pre-bins partition computed in NumPy (splitting never lowers it)."""

import math
import statistics
import time
from functools import partial

import numpy as np

from tembrolin import _native

SIZES = [20, 50, 100, 250, 1000]
GOAL = ("ascending, max_n_bins=10", 100, 1.0)  # family, P, milliseconds


def cases():
    return []


def pre_bins(p: int) -> tuple[np.ndarray, np.ndarray]:
    """Class weights with an event rate that rises along x, no pre-bin pure."""
    rng = np.random.default_rng(p)
    rate = 1 / (1 + np.exp(-np.linspace(-2, 2, p)))
    c1 = rng.poisson(40 * rate) + 1.0
    return rng.poisson(40.0, p) + 1.0, c1


def families(total: float) -> dict[str, dict]:
    return {
        "none": {},
        "ascending": {"monotonic_trend": "ascending"},
        "auto": {"monotonic_trend": "auto"},
        "peak": {"monotonic_trend": "peak"},
        "max_n_bins=10": {"max_n_bins": 10},
        "ascending, max_n_bins=10": {"monotonic_trend": "ascending", "max_n_bins": 10},
        "size 5%..30%": {"min_bin_size": 0.05 * total, "max_bin_size": 0.3 * total},
        "max_pvalue=0.05": {"max_pvalue": 0.05},
        "min_rate_diff=0.02": {"min_rate_diff": 0.02},
    }


def all_pre_bins_iv(c0: np.ndarray, c1: np.ndarray) -> float:
    g, b = c0 / c0.sum(), c1 / c1.sum()
    return float(np.sum((g - b) * np.log(g / b)))


def median_ms(call, repeats: int) -> float:
    call()
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1e3


def main() -> None:
    labels = list(families(1.0))
    print(f"{'optimal_partition_binary ms':28}" + "".join(f"{f'P={p}':>10}" for p in SIZES))
    table = {label: [] for label in labels}
    for p in SIZES:
        c0, c1 = pre_bins(p)
        found = _native.optimal_partition_binary(c0, c1)
        assert math.isclose(found["objective"], all_pre_bins_iv(c0, c1), rel_tol=1e-9)
        for label, options in families(float(c0.sum() + c1.sum())).items():
            call = partial(_native.optimal_partition_binary, c0, c1, **options)
            table[label].append(median_ms(call, 1 if p >= 1000 else 5))
    for label in labels:
        print(f"{label:28}" + "".join(f"{ms:10.2f}" for ms in table[label]), flush=True)
    family, p, limit = GOAL
    ms = table[family][SIZES.index(p)]
    verdict = "met" if ms <= limit else "not met"
    print(f"goal {family} at P={p} <= {limit} ms: {verdict} ({ms:.3f} ms)")
    print()


if __name__ == "__main__":
    main()
