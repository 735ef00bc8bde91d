import math

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st

import _tembrolin as t

NAN = math.nan
BELOW, ABOVE = np.nextafter(1.0, 0.0), np.nextafter(1.0, 2.0)


def records(out):
    assert list(out) == ["pto_corte", "c0", "c1"]
    assert [a.dtype for a in out.values()] == [np.float64, np.int64, np.int64]
    return list(zip(out["pto_corte"].tolist(), out["c0"].tolist(), out["c1"].tolist(), strict=True))


BOUNDARIES = {
    "empty": ([], [], []),
    "one": ([5], [1], [(5, 0, 0), (5, 0, 1)]),
    "one-class": ([1, 2, 3], [0, 0, 0], [(1, 0, 0), (3, 3, 0)]),
    "one-cut": ([1, 2, 3, 4], [0, 0, 1, 1], [(1, 0, 0), (2.5, 2, 0), (4, 2, 2)]),
    "two-cuts": ([1, 2, 3], [0, 1, 0], [(1, 0, 0), (1.5, 1, 0), (2.5, 1, 1), (3, 2, 1)]),
    "tie-no-cut": ([1, 1, 2], [0, 1, 1], [(1, 0, 0), (2, 1, 2)]),
    "class-2": ([1, 2, 3], [0, 2, 1], [(1, 0, 0), (1.5, 1, 0), (2.5, 1, 1), (3, 1, 2)]),
    "unsorted-walked-as-given": ([3, 1], [0, 1], [(3, 0, 0), (2, 1, 0), (1, 1, 1)]),
    # Neighbours whose midpoint rounds onto one of them, or overflows.
    "adjacent-doubles": ([1.0, ABOVE], [0, 1], [(1.0, 0, 0), (1.0, 1, 0), (ABOVE, 1, 1)]),
    "midpoint-rounds-up": ([BELOW, 1.0], [0, 1], [(BELOW, 0, 0), (BELOW, 1, 0), (1.0, 1, 1)]),
    "overflow": ([1e308, 1.7e308], [0, 1], [(1e308, 0, 0), (1.35e308, 1, 0), (1.7e308, 1, 1)]),
    "negative-overflow": (
        [-1.7e308, -1e308],
        [1, 0],
        [(-1.7e308, 0, 0), (-1.35e308, 0, 1), (-1e308, 1, 1)],
    ),
}


@pytest.mark.parametrize("x, y, want", BOUNDARIES.values(), ids=BOUNDARIES.keys())
def test_compute_boundaries_cases(x, y, want):
    assert records(t.compute_boundaries(np.array(x, float), np.array(y, np.int32))) == want


LENGTHS = r"^compute_boundaries: x e y deben tener la misma longitud$"
UNSORTED = r"^compute_boundaries: usa sorted=True \(los datos deben venir ya limpios y ordenados\)$"


CHECKS = {
    "lengths-first": (lambda: t.compute_boundaries([1.0], [0, 1], sorted=False), LENGTHS),
    "unsorted": (lambda: t.compute_boundaries([1.0], [0], sorted=False), UNSORTED),
    "raw-lengths": (lambda: t.compute_boundaries_raw([1.0], [0.0, 1.0]), LENGTHS),
    "raw-percentile": (
        lambda: t.compute_boundaries_raw([1, 2.0], [0.5, 3], percentile=101),
        "perc",
    ),
}


@pytest.mark.parametrize("call, message", CHECKS.values(), ids=CHECKS)
def test_checks_in_order(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_raw_drops_then_walks():
    out = t.compute_boundaries_raw([NAN, 2.0, 1.0], [1.0, 1.0, 0.0])
    assert records(out) == [(1, 0, 0), (1.5, 1, 0), (2, 1, 1)]


X_VALUES = st.floats(-1e308, 1e308) | st.sampled_from([1.0, float(ABOVE), float(BELOW)])
pairs = st.tuples(X_VALUES, st.sampled_from([0.0, 1.0]))
sorted_samples = st.lists(pairs, min_size=1, max_size=60).map(lambda p: np.array(p).T)


@given(sorted_samples)
def test_table_invariants(xy):
    x, y = xy
    out = t.compute_boundaries_raw(x, y)
    sample = t.preprocess_data_native(x, y)
    xs, n = sample["x"], len(x)
    assert records(out) == records(t.compute_boundaries(sample["x"], sample["y"]))
    pto, c0, c1 = out["pto_corte"], out["c0"], out["c1"]
    assert 2 <= len(pto) <= n + 1
    assert (pto[0], c0[0], c1[0]) == (xs[0], 0, 0)
    assert (pto[-1], c0[-1] + c1[-1], c1[-1]) == (xs[-1], n, int(y.sum()))
    assert np.all(np.diff(c0) >= 0) and np.all(np.diff(c1) >= 0)
    # Every interior cut keeps exactly the observations before it on its left.
    for cut, before in zip(pto[1:-1], (c0 + c1)[1:-1], strict=True):
        assert np.count_nonzero(xs <= cut) == before
