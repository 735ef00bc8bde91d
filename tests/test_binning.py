import math

import numpy as np
import pytest
from bitwise import assert_same
from hypothesis import given
from hypothesis import strategies as st
from hypothesis.extra.numpy import arrays

import _tembrolin as t
from tembrolin import _native

binary, continuous = t.binning_summary_binary, t.binning_summary_continuous
NAN, INF = math.nan, math.inf
NOT_FINITE = "binning: los puntos de corte deben ser finitos"
CUSTOM = ([], "custom", 0, "?", 0, 0, 0)  # every argument but the custom splits


def table(names, cases):
    return pytest.mark.parametrize(names, list(cases.values()), ids=list(cases))


def splits(x, method="equal_width", n_bins=5, range="full", lq=0.0, uq=1.0, k=1.5, custom=()):
    return list(t.binning_splits(x, method, n_bins, range, lq, uq, k, custom))


@table(
    "args, expected",
    {
        "full": (([0, 10],), [2, 4, 6, 8]),
        "full-ignores-nonfinite": (([NAN, 0, INF, 10, -INF],), [2, 4, 6, 8]),
        "trimmed": ((range(101), "equal_width", 4, "quantile", 0.1, 0.9), [30, 50, 70]),
        "trimmed-whole": ((range(101), "equal_width", 4, "quantile", 0.0, 1.0), [25, 50, 75]),
        "iqr-fenced": (([*range(100), 1000], "equal_width", 3, "iqr", 0, 0, 1.5), [50, 100]),
        "iqr-k0": ((range(101), "equal_width", 5, "iqr", 0, 0, 0.0), [35, 45, 55, 65]),
        "iqr-zero-falls-back-to-full": (
            ([0, 5, 5, 5, 5, 10], "equal_width", 4, "iqr"),
            [2.5, 5, 7.5],
        ),
        "width-overflows": (([-1e308, 1e308], "equal_width", 2), [0.0]),
        "quantile": (([1, 2, 3, 4], "quantile", 4, "no range"), [1.75, 2.5, 3.25]),
        # Exactly (upper - lower) * f + lower: any other order rounds one of them differently.
        "interpolation-order": (
            ([0.1, 2.3], "quantile", 3),
            [0.8333333333333331, 1.5666666666666664],
        ),
        # The ends' distance overflows: lower * (1 - f) + upper * f, weights not swapped.
        "quantile-distance-overflows": (
            ([-1.7e308, 1.7e308], "quantile", 4),
            [-8.499999999999999e307, 0.0, 8.499999999999999e307],
        ),
        "quantile-ignores-nonfinite": (
            ([-INF, 1, INF, 2, NAN, 4, 3], "quantile", 4),
            [1.75, 2.5, 3.25],
        ),
        "min-kept": (([1, 1, 1, 1, 2], "quantile", 2), [1.0]),
        "max-dropped": (([1, 2, 2, 2, 2], "quantile", 2), []),
        # All the same finite value: no split, and no room asked for them either.
        "constant-huge-n_bins": (([3, 3], "quantile", 2**64 - 1), []),
        "custom-ignores-the-rest": (([NAN], "custom", 0, "?", NAN, NAN, NAN, [1, 2.5]), [1, 2.5]),
        # Sorted, -0.0 comes first: the middle pair is (-0.0, 0.0) or (0.0, 0.0).
        "tie-keeps-negative-zero": (([0.0, -0.0, -0.0, 1], "quantile", 2), [-0.0]),
        "tie-of-positive-zeros": (([0.0, 0.0, -0.0, 1], "quantile", 2), [0.0]),
    },
)
def test_splits_examples(args, expected):
    out = splits(*args)
    assert out == expected and np.signbit(out).tolist() == np.signbit(expected).tolist()


def counted_splits(x, n_bins):
    table = _native.value_counts(x, np.zeros(len(x), dtype=np.int32))
    return _native.counted_binning_splits(
        table["values"], table["c0"], "equal_width", n_bins, "full", 0.05, 0.95, 1.5
    )


WIDE = {"1e308": 1e308, "max": np.finfo(np.float64).max}


@pytest.mark.parametrize("split", [splits, counted_splits], ids=["sample", "counted"])
@pytest.mark.parametrize("bound", WIDE.values(), ids=WIDE)
def test_equal_width_over_a_range_wider_than_a_double(split, bound):
    out = np.asarray(split([-bound, bound], n_bins=10))
    assert len(out) == 9 and np.isfinite(out).all() and (np.diff(out) > 0).all()
    # A range that fits keeps i * width + lower, bit for bit.
    lo, hi = -1.0, 3.1
    assert list(split([lo, hi], n_bins=10)) == [i * ((hi - lo) / 10) + lo for i in range(1, 10)]


@table(
    "args, message",
    {
        "custom-2d": ((*CUSTOM, [[1, 2]]), "unidimensionales"),
        "custom-scalar": ((*CUSTOM, 1.0), "unidimensionales"),
        "custom-decreasing": ((*CUSTOM, [3, 1]), "finitos, crecientes y únicos"),
        "custom-repeated": ((*CUSTOM, [1, 1]), "finitos, crecientes y únicos"),
        "custom-inf": ((*CUSTOM, [1, INF]), "finitos, crecientes y únicos"),
        "range-case": (([], "equal_width", 0, "Full"), "range debe ser 'full', 'quantile' o 'iqr'"),
        "range-before-n_bins-check": (([], "equal_width", 0, "full"), "n_bins debe ser al menos 1"),
        "n_bins-before-x": (([], "quantile", 0, "?"), "n_bins debe ser al menos 1"),
        "no-finite-before-k": (([-INF], "equal_width", 1, "iqr", 0, 0, NAN), "no contiene valores"),
        "no-finite-before-quantiles": (([], "equal_width", 1, "quantile", 0.9, 0.1), "no contiene"),
        "quantiles-equal": (([1], "equal_width", 1, "quantile", 0.5, 0.5), "lower_quantile debe"),
        "lower-negative": (([1], "equal_width", 4, "quantile", -0.1, 0.5), "lower_quantile debe"),
        "upper-above-1": (([1], "equal_width", 4, "quantile", 0.1, 1.5), "lower_quantile debe"),
        "lower-nan": (([1], "equal_width", 4, "quantile", NAN, 0.5), "lower_quantile debe"),
        "upper-nan": (([1], "equal_width", 4, "quantile", 0.1, NAN), "lower_quantile debe"),
        "k-negative": (([1], "equal_width", 4, "iqr", 0, 0, -1.0), "k debe ser finito y no"),
        "k-inf": (([1], "equal_width", 4, "iqr", 0, 0, INF), "k debe ser finito y no"),
        "k-nan": (([1], "equal_width", 4, "iqr", 0, 0, NAN), "k debe ser finito y no"),
        "method-before-custom": (([1], "Custom", 4, "?", 0, 0, 0, [[3, 1]]), "method no recon"),
    },
)
def test_splits_errors(args, message):
    with pytest.raises(ValueError, match=message):
        splits(*args)


@pytest.mark.parametrize("method", ["equal_width", "quantile"])
@table(
    "n_bins, error",
    {
        "2**63": (2**63, MemoryError),
        "2**64-1": (2**64 - 1, MemoryError),
        "negative": (-1, TypeError),
        "float": (3.0, TypeError),
    },
)
def test_n_bins_too_large_or_not_an_unsigned_int(method, n_bins, error):
    with pytest.raises(error):
        splits([0, 1], method, n_bins)


@table(
    "x, cuts, expected",
    {
        "signed-zero": ([-0.0, 0.0, 5e-324], [0.0], [0, 0, 1]),
        "2d-flat": (np.array([[0.0, 3.0], [1.0, 2.0]]), [[1.0], [2.0]], [0, 2, 0, 1]),
    },
)
def test_transform_examples(x, cuts, expected):
    out = t.binning_transform(x, cuts)
    assert out.dtype == np.int64 and out.tolist() == expected


def test_summary_columns():
    d, bounds = binary([], [], []), ["left", "right", "count", "percentage"]
    assert list(d) == [*bounds, "c0", "c1", "event_rate", "representative"]
    assert d["count"].dtype == d["c0"].dtype == d["c1"].dtype == np.int64
    quartiles = ["target_p25", "target_median", "target_p75"]
    assert list(continuous([], [], [])) == [*bounds, "representative", "target_mean", *quartiles]


EMPTY = (0, 0, NAN, NAN, NAN, NAN, NAN)  # a continuous bin with no target, after its bounds


@table(
    "args, expected",
    {
        "binary": (
            (binary, [1, 2, 3, NAN], [0, 1, 1, 1], [2], "median"),
            [
                (-INF, 2, 2, 0.5, 1, 1, 0.5, 1.5),
                (2, INF, 1, 0.25, 0, 1, 1, 3),
                (NAN, NAN, 1, 0.25, 0, 1, 1, NAN),
            ],
        ),
        "binary-empty": (
            (binary, [], [], [0], "median"),
            [(-INF, 0, 0, 0, 0, 0, 0, NAN), (0, INF, 0, 0, 0, 0, 0, NAN)],
        ),
        "mean": (
            (binary, [1, 2, 3, 10], [0, 0, 1, 1], [], "mean"),
            [(-INF, INF, 4, 1, 2, 2, 0.5, 4)],
        ),
        "inf-in-last-bin": (
            (binary, [1, INF], [0, 1], [5], "mean"),
            [(-INF, 5, 1, 0.5, 1, 0, 0, 1), (5, INF, 1, 0.5, 0, 1, 1, INF)],
        ),
        "median-next-to-inf": (
            (binary, [1, INF, INF], [0, 1, 1], [], "median"),
            [(-INF, INF, 3, 1, 1, 2, 2 / 3, INF)],
        ),
        # The two middle values are a distance apart that overflows.
        "median-of-extremes": (
            (binary, [-1e308, 1e308], [0, 1], [], "median"),
            [(-INF, INF, 2, 1, 1, 1, 0.5, 0.0)],
        ),
        "continuous": (
            (continuous, [1, 2, 3, NAN, 4], [10, 20, NAN, 40, 50], [2], "median"),
            [
                (-INF, 2, 2, 0.5, 1.5, 15, 12.5, 15, 17.5),
                (2, INF, 1, 0.25, 4, 50, 50, 50, 50),
                (NAN, NAN, 1, 0.25, NAN, 40, 40, 40, 40),
            ],
        ),
        "all-y-nan": (
            (continuous, [NAN, 1], [NAN, NAN], [0], "median"),
            [(-INF, 0, *EMPTY), (0, INF, *EMPTY)],
        ),
        "mean-and-quartiles": (
            (continuous, [1, 3, 2, 4], [4, 1, 3, 2], [], "mean"),
            [(-INF, INF, 4, 1, 2.5, 2.5, 1.75, 2.5, 3.25)],
        ),
        "targets-next-to-inf": (
            (continuous, [1, 2, 3], [1, INF, INF], [], "median"),
            [(-INF, INF, 3, 1, 2, INF, INF, INF, INF)],
        ),
        "minus-inf": (
            (continuous, [-1, -2], [-INF, 5], [0], "median"),
            [(-INF, 0, 2, 1, -1.5, -INF, -INF, -INF, -INF), (0, INF, *EMPTY)],
        ),
    },
)
def test_summary_rows(args, expected):
    d = args[0](*args[1:])
    got = np.array([d[key] for key in d], dtype=float).T
    assert np.array_equal(got, np.array(expected, dtype=float), equal_nan=True)


# Lengths are checked first, then the split points, then the representative, then y.
@table(
    "call, message",
    {
        "transform-nan-split": (lambda: t.binning_transform([NAN], [1, NAN]), NOT_FINITE),
        "binary-inf-split": (lambda: binary([1], [2], [INF], "bogus"), NOT_FINITE),
        "continuous-inf-split": (lambda: continuous([1], [1], [-INF, 1], "bogus"), NOT_FINITE),
        "binary-length": (lambda: binary([1, 2], [0], [INF], "x"), "misma longitud"),
        "binary-representative": (lambda: binary([1], [2], [], "Median"), "representative debe"),
        "binary-y-of-missing-x": (lambda: binary([1, NAN], [0, -1], []), "y debe contener solo 0"),
        "continuous-length": (lambda: continuous([1], [], [NAN]), "misma longitud"),
        "continuous-representative": (lambda: continuous([1], [1], [], "MEAN"), "representative"),
    },
)
def test_transform_and_summary_errors(call, message):
    with pytest.raises(ValueError, match=message):
        call()


# Sorted, -0.0 comes first, so the lower middle value is -0.0 in both orders of x.
@pytest.mark.parametrize("x", [[-0.0, -0.0], [0.0, -0.0]], ids=["tied", "after-positive-zero"])
def test_negative_zeros_stay_negative(x):
    d = continuous(x, [-0.0, -0.0], [])
    keys = ("representative", "target_p25", "target_median", "target_p75")
    assert all(math.copysign(1, d[key][0]) == -1 for key in keys)


# Properties over arbitrary doubles, NaN and infinities included.
doubles = st.floats(allow_nan=True, allow_infinity=True)
samples = arrays(np.float64, st.integers(0, 60), elements=doubles)
split_lists = st.lists(st.floats(-1e6, 1e6), max_size=12)


@given(
    samples,
    st.sampled_from(["equal_width", "quantile"]),
    st.integers(1, 40),
    st.sampled_from(["full", "quantile", "iqr"]),
    st.floats(0, 0.49),
    st.floats(0.51, 1),
    st.floats(0, 1e300),
)
def test_split_points_are_finite_and_increasing(x, method, n_bins, range, lq, uq, k):
    if not np.isfinite(x).any():
        with pytest.raises(ValueError, match="no contiene valores finitos"):
            splits(x, method, n_bins, range, lq, uq, k)
        return
    out = np.array(splits(x, method, n_bins, range, lq, uq, k))
    assert np.isfinite(out).all() and (np.diff(out) > 0).all() and len(out) < n_bins


@given(samples, split_lists)
def test_transform_agrees_with_searchsorted(x, cuts):
    expected = np.where(np.isnan(x), -1, np.searchsorted(np.unique(cuts), x, side="left"))
    assert t.binning_transform(x, cuts).tolist() == expected.tolist()


@pytest.mark.parametrize("k", [1, 2, 3, 4, 7, 8, 9, 255, 256, 300])
def test_transform_at_every_search_width(k):
    # Each split, its neighbours on both sides, both zeros and the infinities, for split
    # counts on both sides of each power of two the search pads to.
    rng = np.random.default_rng(k)
    cuts = np.unique(np.round(rng.normal(size=k) * 100, 1))
    cuts[np.argmin(np.abs(cuts))] = 0.0
    x = np.concatenate(
        [cuts, np.nextafter(cuts, -INF), np.nextafter(cuts, INF), [-0.0, 0.0, INF, -INF, NAN]]
    )
    expected = np.where(np.isnan(x), -1, np.searchsorted(cuts, x, side="left"))
    assert t.binning_transform(x, cuts).tolist() == expected.tolist()


@given(
    arrays(np.float64, st.integers(2, 60), elements=st.integers(-50, 50)),
    st.integers(2, 30) | st.just(300),
)
def test_quantile_splits_agree_with_numpy(x, n_bins):
    # Whole numbers keep every quantile off the bounds it is compared with, so
    # numpy's differently rounded interpolation keeps or drops the same ones.
    expected = []
    for e in np.quantile(x, np.arange(1, n_bins) / n_bins, method="linear"):
        if x.min() <= e < x.max() and (not expected or e > expected[-1]):
            expected.append(e)
    np.testing.assert_allclose(splits(x, "quantile", n_bins), expected, rtol=1e-12, atol=1e-12)


def core_quantile_splits(x, n_bins):
    """The quantile cuts as the rule states them, over a full sort: -0.0 before +0.0,
    positions (m - 1) * i / n_bins between two order statistics, kept when inside the
    finite values' range and above the last kept."""
    v = x[np.isfinite(x)]
    v = v[np.lexsort((~np.signbit(v), v))]
    out: list[float] = []
    for i in range(1, n_bins):
        h = float(len(v) - 1) * (i / n_bins)
        low, high = min(math.floor(h), len(v) - 1), min(math.ceil(h), len(v) - 1)
        a, b, fraction = v[low], v[high], h - low
        e = a if fraction == 0.0 or a == b else (b - a) * fraction + a
        if v[0] <= e < v[-1] and (not out or e > out[-1]):
            out.append(e)
    return np.array(out)


# Ties, both zeros and values spread over many magnitudes, so that the order statistics
# fall in crowded and in sparse parts of the selection's buckets.
crowded = st.sampled_from([-0.0, 0.0, 0.25, 1.0, 1.01, 1.02, 3.0, NAN, INF, -INF])


@given(
    arrays(np.float64, st.integers(2, 3000), elements=crowded | st.floats(-1e6, 1e6)),
    st.integers(2, 40) | st.just(300),
)
def test_quantile_splits_are_the_sorted_rule(x, n_bins):
    if np.isfinite(x).sum() < 1:
        return
    assert_same(
        t.binning_splits(x, "quantile", n_bins, "full", 0, 1, 0, []),
        core_quantile_splits(x, n_bins),
    )


@given(arrays(np.float64, st.integers(1, 60), elements=st.floats(-1e6, 1e6)))
def test_bin_statistics_agree_with_numpy_quantiles(v):
    d = continuous(v, v[::-1], [])
    got = [d[key][0] for key in ("target_p25", "target_median", "target_p75", "representative")]
    expected = [*np.quantile(v[::-1], [0.25, 0.5, 0.75], method="linear"), np.median(v)]
    np.testing.assert_allclose(got, expected, rtol=1e-12, atol=1e-6)


@given(samples, st.data(), split_lists, st.sampled_from(["mean", "median"]))
def test_summary_counts_cover_the_sample(x, data, cuts, representative):
    y01 = data.draw(arrays(np.int32, len(x), elements=st.integers(0, 1)))
    y = data.draw(arrays(np.float64, len(x), elements=doubles))
    b = binary(x, y01, cuts, representative)
    c = continuous(x, y, cuts, representative)
    assert (b["c0"] + b["c1"] == b["count"]).all()
    for d, n in ((b, len(x)), (c, np.count_nonzero(~np.isnan(y)))):
        assert d["count"].sum() == n
        assert n == 0 or math.isclose(d["percentage"].sum(), 1.0, rel_tol=1e-12)


# Few distinct x, both zeros among them, and fine bins of several: medians fall on ties
# and across fine bins.
few_values = st.sampled_from([-3.0, -2.0, -1.0, -0.0, 0.0, 1.0, 2.0, 3.0, NAN, INF])
tied_x = arrays(np.float64, st.integers(0, 80), elements=few_values)
grid = st.lists(st.sampled_from([-2.5, -0.0, 0.0, 0.5, 2.5]), max_size=5)


@given(tied_x, st.data(), grid, st.sampled_from(["mean", "median", None]))
def test_regrouped_summary_is_the_summary(x, data, fine, representative):
    y = data.draw(arrays(np.int32, len(x), elements=st.integers(0, 1)))
    coarse = data.draw(st.lists(st.sampled_from(fine), max_size=len(fine))) if fine else []
    binned = _native.binned_summary(x, y, fine, representative)
    slots = binned.pop("slots")
    prepared = np.unique(np.array(fine, float))
    expected = np.where(np.isnan(x), len(prepared) + 1, np.searchsorted(prepared, x, "left"))
    assert slots.dtype == np.uint8 and slots.tolist() == expected.tolist()
    regrouped = _native.regrouped_summary(x, slots, binned["c1"], fine, coarse, representative)
    for rows, splits in ((binned, fine), (regrouped, coarse)):
        summary = t.binning_summary_binary(x, y, splits, representative or "mean")
        if representative is None:  # no representative: NaN, the rest unchanged
            assert np.isnan(rows["representative"]).all()
            rows["representative"] = summary["representative"]
        assert_same(rows, summary)


def test_slots_of_many_bins_take_four_bytes():
    # 300 fine bins: slots up to 301 no longer fit in one byte.
    rng = np.random.default_rng(5)
    x = np.round(rng.normal(size=3000), 2)
    x[::50] = NAN
    y = (rng.random(3000) < 0.3).astype(np.int32)
    fine = np.quantile(x[~np.isnan(x)], np.linspace(0.002, 0.998, 300))
    binned = _native.binned_summary(x, y, fine)
    assert binned["slots"].dtype == np.uint32 and binned["slots"].max() == len(np.unique(fine)) + 1
    coarse = np.unique(fine)[::37]
    regrouped = _native.regrouped_summary(x, binned["slots"], binned["c1"], fine, coarse)
    assert_same(regrouped, t.binning_summary_binary(x, y, coarse))


def test_regrouped_median_across_fine_bins():
    # The two middle values of the one coarse bin lie in two fine bins of two values each.
    x, y = np.array([-3.0, -2.0, 1.0, 2.0]), np.array([0, 1, 0, 1], np.int32)
    binned = _native.binned_summary(x, y, [0.0])
    regrouped = _native.regrouped_summary(x, binned["slots"], binned["c1"], [0.0], [])
    assert regrouped["representative"].tolist() == [-0.5]


REGROUP_ERRORS = {
    "not-a-fine-split": ([1.0], [2.0], [0], [0], "coarse_splits deben estar entre fine_splits"),
    "slot-past-the-bins": ([1.0], [1.0], [3], [0], "slots fuera de rango"),
    "slots-length": ([1.0], [1.0], [0, 0], [0], "x y slots deben tener la misma longitud"),
    "c1-too-short": ([1.0], [], [0], [0], "fine_c1 debe tener una cuenta por slot"),
    "c1-too-long": ([1.0], [], [0], [0, 0, 0, 0], "fine_c1 debe tener una cuenta por slot"),
    "c1-above-count": ([1.0], [], [0], [2, 0], "fine_c1 no corresponde a los slots"),
    "c1-negative": ([1.0], [], [1], [0, -1], "fine_c1 no corresponde a los slots"),
    "c1-of-no-missing": ([1.0], [], [0], [0, 0, 1], "fine_c1 no corresponde a los slots"),
}


@pytest.mark.parametrize(
    "fine, coarse, slots, c1, message", REGROUP_ERRORS.values(), ids=REGROUP_ERRORS
)
def test_regrouped_summary_errors(fine, coarse, slots, c1, message):
    with pytest.raises(ValueError, match=message):
        _native.regrouped_summary([0.5], np.array(slots, np.uint32), c1, fine, coarse)
