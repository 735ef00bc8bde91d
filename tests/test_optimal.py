"""Optimal partitions of pre-bins: the dynamic programme against a search of every
partition, written here with the core's per-bin formulas and exact integer objective."""

import itertools
import math
from dataclasses import dataclass

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st

from tembrolin import _native
from tembrolin.tables import woe_iv

INF = math.inf
FALLS = {"ascending": "descending", "descending": "ascending", "peak": "valley"}
MIRROR = {**FALLS, **{v: k for k, v in FALLS.items()}, "auto": "auto", None: None}


@dataclass
class Bin:
    weight: float
    rate: float
    spread: float  # c1, or the population variance
    raw: float
    allowed: bool


def left_sum(values):
    """Added left to right from 0.0, as the core adds (sum() compensates)."""
    total = 0.0
    for v in values:
        total += v
    return total


def binary_term(s0, s1, t0, t1, objective):
    if t0 == 0 or t1 == 0:
        return 0.0
    adjust = 0.5 if s0 == 0 or s1 == 0 else 0.0
    g, b = (s0 + adjust) / t0, (s1 + adjust) / t1
    if objective == "iv":
        return (max(g, b) - min(g, b)) * math.log(max(g, b) / min(g, b))
    m = 0.5 * (g + b)
    return 0.5 * (g * math.log(g / m) + b * math.log(b / m))


def binary_bins(c0, c1, objective, c):
    t0, t1, cells = left_sum(c0), left_sum(c1), {}
    for i, j in itertools.combinations(range(len(c0) + 1), 2):
        s0, s1 = left_sum(c0[i:j]), left_sum(c1[i:j])
        w = s0 + s1
        ok = s1 >= c.get("min_bin_events", 0) and s0 >= c.get("min_bin_non_events", 0)
        cells[i, j] = Bin(
            w,
            s1 / w if w else 0.0,
            s1,
            binary_term(s0, s1, t0, t1, objective) if w else 0.0,
            ok and within(w, c),
        )
    return cells


def continuous_bins(count, total, squares, c):
    cells = {}
    for i, j in itertools.combinations(range(len(count) + 1), 2):
        n, s, q = left_sum(count[i:j]), left_sum(total[i:j]), left_sum(squares[i:j])
        mean = s / n if n else 0.0
        var = max((q - s * mean) / n, 0.0) if n else 0.0
        cells[i, j] = Bin(n, mean, var, s * s / n if n else 0.0, within(n, c))
    return cells


def within(w, c):
    return w > 0 and c.get("min_bin_size", 0) <= w <= c.get("max_bin_size", INF)


def pvalue(a, b, binary):
    diff = a.rate - b.rate
    if diff == 0:
        return 1.0
    if binary:
        p = (a.spread + b.spread) / (a.weight + b.weight)
        var = p * (1.0 - p) * (1.0 / a.weight + 1.0 / b.weight)
    else:
        var = a.spread / a.weight + b.spread / b.weight
    se = math.sqrt(var)
    return 0.0 if se == 0 else math.erfc(abs(diff) / se * math.sqrt(0.5))


def keeps_trend(rates, trend):
    steps = list(itertools.pairwise(rates))
    rise = [a < b for a, b in steps]
    fall = [a > b for a, b in steps]
    if trend == "ascending":
        return not any(fall)
    if trend == "descending":
        return not any(rise)
    if trend in ("peak", "valley"):
        first, then = (fall, rise) if trend == "peak" else (rise, fall)
        return not any(then[k] for k in range(len(steps)) if any(first[:k]))
    return True


def brute_force(cells, p, c, binary, trend):
    """(objective units, cuts) of the best partition by the tie rule, or None."""
    largest = max((abs(b.raw) for b in cells.values() if b.weight > 0), default=0.0)
    scale = 0 if largest == 0 else 62 - math.frexp(largest)[1] - p.bit_length()
    best = None
    for k in range(p):
        for cuts in itertools.combinations(range(1, p), k):
            bins = [cells[e] for e in itertools.pairwise((0, *cuts, p))]
            ok = all(b.allowed for b in bins) and c.get("min_n_bins", 1) <= len(bins)
            ok = ok and len(bins) <= (c.get("max_n_bins", 0) or p)
            ok = ok and keeps_trend([b.rate for b in bins], trend)
            for a, b in itertools.pairwise(bins):
                ok = ok and abs(b.rate - a.rate) >= c.get("min_rate_diff", 0.0)
                ok = ok and pvalue(a, b, binary) <= c.get("max_pvalue", 1.0)
            if ok:
                units = sum(math.floor(math.ldexp(b.raw, scale)) for b in bins)
                key = (-units, len(bins), cuts[::-1])
                best = min(best or key, key)
    return None if best is None else (-best[0], list(best[2][::-1]), scale)


def expected(cells, p, c, binary):
    trend = c.get("monotonic_trend")
    if trend != "auto":
        return brute_force(cells, p, c, binary, trend), trend
    up = brute_force(cells, p, c, binary, "ascending")
    down = brute_force(cells, p, c, binary, "descending")
    if down and (not up or down[0] > up[0]):
        return down, "descending"
    return up, "ascending" if up else None


def check(result, found, trend, to_objective):
    assert result["trend"] == trend
    assert result["feasible"] == (found is not None)
    if found is None:
        assert result["cuts"].tolist() == [] and math.isnan(result["objective"])
        return
    units, cuts, scale = found
    assert result["cuts"].tolist() == cuts
    assert result["objective"] == to_objective(math.ldexp(float(units), -scale))


weights = st.integers(0, 6).map(float)
common = {
    "monotonic_trend": st.sampled_from([None, "ascending", "descending", "auto", "peak", "valley"]),
    "min_bin_size": st.sampled_from([0.0, 3.0, 8.0]),
    "max_bin_size": st.sampled_from([INF, 12.0, 30.0]),
    "min_n_bins": st.integers(1, 4),
    "max_n_bins": st.sampled_from([0, 2, 3, 5]),
    "min_rate_diff": st.sampled_from([0.0, 0.05, 0.2]),
    "max_pvalue": st.sampled_from([1.0, 0.5, 0.1]),
}
binary_only = {
    "min_bin_events": st.sampled_from([0.0, 1.0, 3.0]),
    "min_bin_non_events": st.sampled_from([0.0, 1.0, 3.0]),
}


def drawn(data, options):
    c = data.draw(st.fixed_dictionaries({}, optional=options))
    if c.get("max_n_bins", 0):
        c["min_n_bins"] = min(c.get("min_n_bins", 1), c["max_n_bins"])
    return c


@given(
    st.lists(st.tuples(weights, weights), min_size=1, max_size=10),
    st.sampled_from(["iv", "js"]),
    st.data(),
)
def test_binary_matches_every_partition(pairs, objective, data):
    c = drawn(data, {**common, **binary_only})
    c0, c1 = (list(v) for v in zip(*pairs, strict=True))
    result = _native.optimal_partition_binary(c0, c1, objective, **c)
    cells = binary_bins(c0, c1, objective, c)
    found, trend = expected(cells, len(c0), c, True)
    check(result, found, trend, lambda v: v)
    if found and objective == "iv":  # the package's WoE/IV of the same bins
        edges = [0, *result["cuts"], len(c0)]
        iv = woe_iv(np.add.reduceat(c0, edges[:-1]), np.add.reduceat(c1, edges[:-1]))[1]
        assert result["objective"] == pytest.approx(iv.sum(), rel=1e-12, abs=1e-15)


@given(st.lists(st.lists(st.integers(-3, 3), max_size=4), min_size=1, max_size=10), st.data())
def test_continuous_matches_every_partition(samples, data):
    c = drawn(data, common)
    count = [float(len(s)) for s in samples]
    total = [float(sum(s)) for s in samples]
    squares = [float(sum(v * v for v in s)) for s in samples]
    result = _native.optimal_partition_continuous(count, total, squares, **c)
    found, trend = expected(continuous_bins(count, total, squares, c), len(count), c, False)
    check(result, found, trend, lambda v: left_sum(squares) - v)


@given(
    st.lists(st.tuples(weights, weights), min_size=1, max_size=12),
    st.sampled_from(["iv", "js"]),
    st.sampled_from([None, "ascending", "descending", "auto", "peak", "valley"]),
    st.integers(0, 4),
    st.sampled_from([0.0, 2.0]),
)
def test_swapping_labels_mirrors_the_trend(pairs, objective, trend, max_n_bins, min_events):
    c0, c1 = (list(v) for v in zip(*pairs, strict=True))
    args = {"objective": objective, "max_n_bins": max_n_bins, "min_bin_events": min_events}
    kept = _native.optimal_partition_binary(c0, c1, **args, monotonic_trend=trend)
    args["min_bin_non_events"] = args.pop("min_bin_events")
    swapped = _native.optimal_partition_binary(c1, c0, **args, monotonic_trend=MIRROR[trend])
    assert swapped["objective"] == kept["objective"] or not kept["feasible"]
    assert swapped["feasible"] == kept["feasible"]
    if trend == "auto" and kept["feasible"]:
        # Equal optima both ways go to ascending, which the swap mirrors.
        both = [_native.optimal_partition_binary(c1, c0, **args, monotonic_trend=t) for t in FALLS]
        if both[0]["objective"] == both[1]["objective"]:
            return
        assert swapped["trend"] == MIRROR[kept["trend"]]
    else:
        assert swapped["trend"] == MIRROR[kept["trend"]]
    assert swapped["cuts"].tolist() == kept["cuts"].tolist()


BAD = {
    "lengths": ("binary", ([1, 2], [1]), {}, "c0 y c1 deben tener la misma longitud"),
    "no-pre-bins": ("binary", ([], []), {}, "se necesita al menos un pre-bin"),
    "negative": ("binary", ([-1], [1]), {}, "c0 deben ser finitos y no negativos"),
    "nan": ("binary", ([1], [math.nan]), {}, "c1 deben ser finitos y no negativos"),
    "objective": ("binary", ([1], [1]), {"objective": "gini"}, "objective no reconocido"),
    "trend": ("binary", ([1], [1]), {"monotonic_trend": "up"}, "monotonic_trend no reconocido"),
    "sizes": ("binary", ([1], [1]), {"min_bin_size": 5, "max_bin_size": 2}, "min_bin_size no"),
    "counts": ("binary", ([1], [1]), {"min_n_bins": 4, "max_n_bins": 2}, "min_n_bins no puede"),
    "no-bins": ("binary", ([1], [1]), {"min_n_bins": 0}, "min_n_bins debe ser al menos 1"),
    "pvalue": ("binary", ([1], [1]), {"max_pvalue": 1.5}, "max_pvalue debe estar entre 0 y 1"),
    "events": ("binary", ([1], [1]), {"min_bin_events": -1}, "min_bin_events debe ser finito"),
    "gap": ("continuous", ([1], [1], [1]), {"min_rate_diff": math.nan}, "min_rate_diff debe"),
    "three-lengths": ("continuous", ([1], [1], [1, 2]), {}, "count, sum y sum_sq deben tener"),
    "sum": ("continuous", ([1], [math.inf], [1]), {}, "sum debe ser finito"),
    "squares": ("continuous", ([1], [1], [-1]), {}, "sum_sq deben ser finitos y no negativos"),
}


@pytest.mark.parametrize("target, arrays, options, message", BAD.values(), ids=BAD)
def test_bad_input_is_refused(target, arrays, options, message):
    optimise = getattr(_native, f"optimal_partition_{target}")
    with pytest.raises(ValueError, match=f"^optimal_partition: {message}"):
        optimise(*arrays, **options)
