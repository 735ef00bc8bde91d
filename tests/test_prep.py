import math

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st

import _tembrolin as t

NAN, INF = math.nan, math.inf
NO_OPTIONS = (0, 0, 0, 1.0, 1.0, False)  # minobs, monotonicity, direction, weights, force


def reference_preprocess(x, y, value=None, percentile=50.0):
    """The sample as a user would compute it by hand: (x, class) sorted."""
    kept = [(a, b) for a, b in zip(x, y, strict=True) if math.isfinite(a) and math.isfinite(b)]
    if all(b in (0.0, 1.0) for _, b in kept):
        classes = [int(b) for _, b in kept]
    else:
        if value is None:
            s = sorted(b for _, b in kept)
            pos = ((len(s) - 1) * percentile) / 100
            k, frac = int(pos), pos - int(pos)
            value = s[k] if frac == 0 or k + 1 == len(s) else (s[k + 1] - s[k]) * frac + s[k]
        classes = [int(b > value) for _, b in kept]
    pairs = sorted(zip((a for a, _ in kept), classes, strict=True))
    return [a for a, _ in pairs], [c for _, c in pairs]


CASES = {
    "empty": ([], [], {}, [], []),
    "binary-ignores-value": ([1, 2, 3], [0, 1, 1], {"value": 0.5}, [1, 2, 3], [0, 1, 1]),
    "median-of-0-1-2": ([1, 2, 3], [0, 1, 2], {}, [1, 2, 3], [0, 0, 1]),
    **{
        f"p{p:.0f}": ([1, 2, 3, 4], [1, 2, 3, 4], {"percentile": p}, [1, 2, 3, 4], want)
        for p, want in [(50.0, [0, 0, 1, 1]), (0.0, [0, 1, 1, 1]), (100.0, [0, 0, 0, 0])]
    },
    "nan-value": ([1, 2, 3], [5, 6, 7], {"value": NAN}, [1, 2, 3], [0, 0, 0]),
    "signed-zero-ties": ([0.0, -0.0, 0.0], [1, 0, 0], {}, [0.0, 0.0, 0.0], [0, 0, 1]),
    # A class-0 +0.0 ties a class-1 -0.0 and goes first, though its bits are larger.
    "signed-zero-tie-across-classes": ([-0.0, 0.0], [1, 0], {}, [0.0, 0.0], [0, 1]),
}


@pytest.mark.parametrize("x, y, kwargs, want_x, want_y", CASES.values(), ids=CASES)
def test_preprocess_cases(x, y, kwargs, want_x, want_y):
    out = t.preprocess_data_native(np.array(x, float), np.array(y, float), **kwargs)
    assert list(out) == ["x", "y"]
    assert out["x"].dtype == np.float64 and out["y"].dtype == np.int32
    assert out["x"].tolist() == want_x and out["y"].tolist() == want_y


THRESHOLDS = {
    # The distance of the pair overflows, the halves' sum does not.
    "distant-pair-median": ([-1.7e308, 1.7e308], 50.0, 0.0),
    "distant-pair-quarter": ([-1.7e308, 1.7e308], 25.0, -1.7e308 * 0.75 + 1.7e308 * 0.25),
    "ordinary": ([1.0, 2.0, 3.0, 4.0], 50.0, 2.5),
    # Order statistics as the radix sort orders them: -0.0 before +0.0, kept on a tie.
    "min-of-signed-zeros": ([0.0, -0.0, 5.0], 0.0, -0.0),
    "between-positive-zeros": ([0.0, -0.0, 0.0, 5.0], 50.0, 0.0),
    "between-negative-zeros": ([0.0, -0.0, -0.0, 5.0], 25.0, -0.0),
}


@pytest.mark.parametrize("y, percentile, threshold", THRESHOLDS.values(), ids=THRESHOLDS)
def test_threshold_interpolation(y, percentile, threshold):
    out = t.mdlp_full_raw([1.0] * len(y), y, *NO_OPTIONS, percentile=percentile)
    got = out["metadata"]["threshold"]
    assert (got, math.copysign(1, got)) == (threshold, math.copysign(1, threshold))


@pytest.mark.parametrize("percentile", [150.0, -1.0, NAN])
def test_percentile_checked_only_when_used_and_after_the_lengths(percentile):
    t.preprocess_data_native([1.0, 2.0], [0.0, 1.0], percentile=percentile)
    t.preprocess_data_native([1.0, 2.0], [0.0, 7.0], value=3.0, percentile=percentile)
    with pytest.raises(ValueError, match=r"^preprocess_data: percentile debe estar entre 0 y 100$"):
        t.preprocess_data_native([1.0, 2.0], [0.0, 7.0], percentile=percentile)
    with pytest.raises(ValueError, match=r"^preprocess_data: x e y deben tener la misma longitud$"):
        t.preprocess_data_native([1.0, 2.0], [0.0, 7.0, 1.0], percentile=percentile)


ANY = st.floats() | st.sampled_from([0.0, -0.0, 1.0, 2.5])  # NaN and infinities too
PAIRS = st.lists(st.tuples(ANY, st.sampled_from([0.0, 1.0, NAN]) | ANY), max_size=40)


@given(PAIRS, st.none() | st.floats(-10, 10))
def test_preprocess_matches_hand_computation(pairs, value):
    x, y = np.array(pairs, float).reshape(-1, 2).T
    out = t.preprocess_data_native(x, y, value=value)
    want_x, want_y = reference_preprocess(x.tolist(), y.tolist(), value)
    # -0.0 and +0.0 are the same x; only the classes' order within them is fixed.
    assert (out["x"].tolist(), out["y"].tolist()) == (want_x, want_y)


# A dominant value: one digit holds most keys in several radix passes, yet not all.
LARGE = [(600, "binary", 0.0), (5000, "binary", 0.0), (20000, "continuous", 0.0)]
LARGE += [(2000, "continuous", 0.7), (5000, "late", 0.0), (5000, "integers", 0.0)]


@pytest.mark.parametrize("n, target, dominant", LARGE)
def test_large_samples_sort_like_lexsort(n, target, dominant):
    rng = np.random.default_rng(n)
    x = np.round(rng.standard_normal(n), 2)  # many ties
    x[rng.random(n) < dominant] = 1.0
    x[rng.random(n) < 0.05] = -0.0
    x[rng.random(n) < 0.02] = NAN
    if target == "integers":  # keys sharing their low bytes: the sort skips an odd number of passes
        x = np.where(np.isnan(x), NAN, rng.integers(0, 100, n) * 1.0)
    y = rng.exponential(size=n) if target == "continuous" else (rng.random(n) < 0.3) * 1.0
    if target == "late":  # one target that is not 0/1, after most classes were placed
        x[-3], y[-3] = 0.5, 0.5
    out = t.preprocess_data_native(x, y)
    keep = np.isfinite(x)
    binary = target in ("binary", "integers")
    classes = y[keep] if binary else (y[keep] > np.median(y[keep])).astype(float)
    order = np.lexsort((classes, x[keep]))
    np.testing.assert_array_equal(out["x"], x[keep][order])
    np.testing.assert_array_equal(out["y"], classes[order])


TALLY = {
    # Kept pairs are 0/1, so the targets of missing x are truncated toward zero:
    # only 0 and 1 are tallied, whatever the size of the others.
    "binary-truncates": (
        [0.0, 1.0],
        [0.0, 1, 0.7, 5, 1e300, -1e300, -0.5, 1.9],
        {},
        0.0,
        (5, 3, 2),
    ),
    "equal-to-threshold-is-class-0": ([1.0, 2.0, 3.0], [2.0, 2.5], {}, 2.0, (2, 1, 1)),
    # Position 0.75 lies between 1 and 2: three quarters of the way up, not one.
    "percentile-interpolated": ([4.0, 3, 2, 1], [1.5, 1.8], {"percentile": 25.0}, 1.75, (2, 1, 1)),
}


@pytest.mark.parametrize("kept_y, missing_y, kwargs, threshold, tally", TALLY.values(), ids=TALLY)
def test_missing_x_tally(kept_y, missing_y, kwargs, threshold, tally):
    n = len(kept_y)
    x = [float(i) for i in range(n)] + [NAN] * len(missing_y)
    out = t.mdlp_full_raw(x, kept_y + missing_y, *NO_OPTIONS, **kwargs)
    summary, meta = out["summary"], out["metadata"]
    assert meta["n_missing_x"] == len(missing_y) and meta["threshold"] == threshold
    assert meta["target_was_binary"] == (set(kept_y) <= {0.0, 1.0})
    assert math.isnan(summary["left"][-1])
    assert (summary["count"][-1], summary["c0"][-1], summary["c1"][-1]) == tally
    assert summary["percentage"][-1] == tally[0] / (n + tally[0])


# More keys of one class than the sort takes before it first splits them by
# their top 16 bits: runs of every size, one run holding every key, many runs.
@pytest.mark.parametrize("spread", ["normal", "integers", "one-run", "wide-magnitudes"], ids=str)
def test_largest_samples_sort_like_lexsort(spread):
    n = 2**21 + 2**16  # class 0 alone above 2**21 keys
    rng = np.random.default_rng(21)
    x = {
        "normal": lambda: rng.standard_normal(n),
        "integers": lambda: rng.integers(-50, 50, n) * 1.0,
        "one-run": lambda: 1.0 + rng.random(n) * 1e-3,
        "wide-magnitudes": lambda: np.exp(rng.standard_normal(n) * 30) * rng.choice([-1, 1], n),
    }[spread]()
    y = (rng.random(n) < 0.01) * 1.0
    out = t.preprocess_data_native(x, y)
    order = np.lexsort((y, x))
    np.testing.assert_array_equal(out["x"], x[order])
    np.testing.assert_array_equal(out["y"], y[order])


def test_returned_arrays_outlive_the_call_and_are_independent():
    # The arrays take over the core's storage instead of copying it: each must
    # keep its storage alive on its own, and two calls must not share any.
    rng = np.random.default_rng(3)
    x, y = rng.standard_normal(5000), (rng.random(5000) < 0.4) * 1.0
    first = t.preprocess_data_native(x, y)
    xs, ys = first.pop("x"), first.pop("y")
    del first
    second = t.preprocess_data_native(x, y)
    assert xs.flags.writeable and ys.flags.writeable
    xs[:] = 0.0
    ys[:] = 7
    order = np.lexsort((y, x))
    np.testing.assert_array_equal(second["x"], x[order])
    np.testing.assert_array_equal(second["y"], y[order])
    assert not np.shares_memory(xs, second["x"])
