import math

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st
from hypothesis.extra.numpy import arrays

import _tembrolin as t

NAN, INF = math.nan, math.inf
SPLITS_NOT_FINITE = "binning: los puntos de corte deben ser finitos"


def splits(x, method="equal_width", n_bins=5, range="full", lq=0.0, uq=1.0, k=1.5, custom=None):
    custom = [] if custom is None else custom
    return list(t.binning_splits(x, method, n_bins, range, lq, uq, k, custom))


@pytest.mark.parametrize(
    "args, expected",
    [
        (([0, 10],), [2, 4, 6, 8]),
        (([NAN, 0, INF, 10, -INF],), [2, 4, 6, 8]),
        ((range(101), "equal_width", 4, "quantile", 0.1, 0.9), [30, 50, 70]),
        ((range(101), "equal_width", 4, "quantile", 0.0, 1.0), [25, 50, 75]),
        (([*range(100), 1000], "equal_width", 3, "iqr", 0, 0, 1.5), [50, 100]),
        ((range(101), "equal_width", 5, "iqr", 0, 0, 0.0), [35, 45, 55, 65]),
        (([-1e308, 1e308], "equal_width", 2), [0.0]),
        (([1, 2, 3, 4], "quantile", 4, "no range"), [1.75, 2.5, 3.25]),
        (([1, 1, 1, 1, 2], "quantile", 2), [1.0]),
        (([1, 2, 2, 2, 2], "quantile", 2), []),
        (([0, 10], "quantile", 1), []),
        (([0, 10], "equal_width", 1), []),
        (([3, 3, NAN], "equal_width", 4), []),
        (([3], "quantile", 4), []),
        # All the same finite value: no split, and no room asked for them either.
        (([3, 3], "quantile", 2**64 - 1), []),
        (([NAN], "custom", 0, "?", NAN, NAN, NAN, [1, 2.5]), [1, 2.5]),
        (([], "custom", 0, "?", 0, 0, 0, []), []),
    ],
    ids=["full", "full-ignores-nonfinite", "trimmed", "trimmed-whole", "iqr-fenced", "iqr-k0",
         "width-overflows", "quantile", "min-kept", "max-dropped", "quantile-1bin",
         "width-1bin", "constant", "single", "constant-huge-n_bins", "custom", "custom-empty"],
)
def test_splits_examples(args, expected):
    assert splits(*args) == expected


@pytest.mark.parametrize(
    "args, message",
    [
        (([], "custom", 0, "?", 0, 0, 0, [[1, 2]]), "unidimensionales"),
        (([], "custom", 0, "?", 0, 0, 0, 1.0), "unidimensionales"),
        (([], "custom", 0, "?", 0, 0, 0, [3, 1]), "finitos, crecientes y únicos"),
        (([], "custom", 0, "?", 0, 0, 0, [1, 1]), "finitos, crecientes y únicos"),
        (([], "custom", 0, "?", 0, 0, 0, [1, INF]), "finitos, crecientes y únicos"),
        (([], "equal_width", 0, "Full"), "range debe ser 'full', 'quantile' o 'iqr'"),
        (([], "equal_width", 0, "full"), "n_bins debe ser al menos 1"),
        (([], "quantile", 0, "?"), "n_bins debe ser al menos 1"),
        (([NAN, INF], "quantile", 1, "?"), "x no contiene valores finitos"),
        (([-INF], "equal_width", 1, "iqr", 0, 0, NAN), "x no contiene valores finitos"),
        (([], "equal_width", 1, "quantile", 0.9, 0.1), "x no contiene valores finitos"),
        (([1], "equal_width", 1, "quantile", 0.5, 0.5), "lower_quantile debe ser menor"),
        (([1], "equal_width", 4, "quantile", -0.1, 0.5), "lower_quantile debe ser menor"),
        (([1], "equal_width", 4, "quantile", 0.1, 1.5), "lower_quantile debe ser menor"),
        (([1], "equal_width", 4, "quantile", NAN, 0.5), "lower_quantile debe ser menor"),
        (([1], "equal_width", 4, "quantile", 0.1, NAN), "lower_quantile debe ser menor"),
        (([1], "equal_width", 4, "iqr", 0, 0, -1.0), "k debe ser finito y no negativo"),
        (([1], "equal_width", 4, "iqr", 0, 0, INF), "k debe ser finito y no negativo"),
        (([1], "equal_width", 4, "iqr", 0, 0, NAN), "k debe ser finito y no negativo"),
        (([1], "Custom", 4, "?", 0, 0, 0, [[3, 1]]), "method no reconocido"),
    ],
    ids=["custom-2d", "custom-scalar", "custom-decreasing", "custom-repeated", "custom-inf",
         "range-case", "range-before-n_bins-check", "n_bins-before-x", "no-finite",
         "no-finite-before-k", "no-finite-before-quantiles", "quantiles-equal",
         "lower-negative", "upper-above-1", "lower-nan", "upper-nan", "k-negative", "k-inf",
         "k-nan", "method-before-custom"],
)
def test_splits_errors(args, message):
    with pytest.raises(ValueError, match=message):
        splits(*args)


@pytest.mark.parametrize("method", ["equal_width", "quantile"])
@pytest.mark.parametrize("n_bins", [2**63, 2**64 - 1])
def test_too_many_bins_is_a_memory_error(method, n_bins):
    with pytest.raises(MemoryError):
        splits([0, 1], method, n_bins)


@pytest.mark.parametrize("n_bins", [-1, 3.0])
def test_n_bins_must_be_a_non_negative_int(n_bins):
    with pytest.raises(TypeError):
        splits([0, 1], "quantile", n_bins)


def test_every_split_argument_is_required():
    with pytest.raises(TypeError):
        t.binning_splits([0, 1], "quantile", 2, "full", 0.0, 1.0, 0.0)


@pytest.mark.parametrize("x, sign", [([0.0, -0.0, -0.0, 1], -1), ([0.0, 0.0, -0.0, 1], 1)])
def test_quantile_ties_between_zeros_follow_the_sorted_order(x, sign):
    # Sorted, -0.0 comes first: the middle pair is (-0.0, 0.0) or (0.0, 0.0).
    assert math.copysign(1, splits(x, "quantile", 2)[0]) == sign


@pytest.mark.parametrize(
    "x, cuts, expected",
    [
        ([0.5, 1, 1.5, 2, 2.5, NAN, -INF, INF], [1, 2], [0, 0, 1, 1, 2, -1, 0, 2]),
        ([0.5, 1, 1.5, 2, 2.5, NAN, -INF, INF], [2, 1, 2], [0, 0, 1, 1, 2, -1, 0, 2]),
        ([-INF, 7, NAN], [], [0, 0, -1]),
        ([], [1], []),
        ([-0.0, 0.0, 5e-324], [0.0], [0, 0, 1]),
        (np.array([[0.0, 3.0], [1.0, 2.0]]), [[1.0], [2.0]], [0, 2, 0, 1]),
    ],
    ids=["example", "unsorted-repeated", "no-splits", "empty-x", "signed-zero", "2d-flat"],
)
def test_transform_examples(x, cuts, expected):
    out = t.binning_transform(x, cuts)
    assert out.dtype == np.int64 and out.tolist() == expected


@pytest.mark.parametrize("bad", [[1, NAN], [INF], [-INF, 1]])
def test_split_points_must_be_finite_everywhere(bad):
    for call in (lambda: t.binning_transform([NAN], bad),
                 lambda: t.binning_summary_binary([1], [2], bad, "bogus"),
                 lambda: t.binning_summary_continuous([1], [1], bad, "bogus")):
        with pytest.raises(ValueError, match=SPLITS_NOT_FINITE):
            call()


def rows(d):
    return [tuple(v) for v in zip(*(d[key].tolist() for key in d))]


def same(a, b):
    return np.array_equal(np.array(a, dtype=float), np.array(b, dtype=float), equal_nan=True)


def test_binary_summary_example():
    d = t.binning_summary_binary([1, 2, 3, NAN], [0, 1, 1, 1], [2])
    assert list(d) == ["left", "right", "count", "percentage", "c0", "c1", "event_rate",
                       "representative"]
    assert d["count"].dtype == d["c0"].dtype == d["c1"].dtype == np.int64
    assert same(rows(d), [(-INF, 2, 2, 0.5, 1, 1, 0.5, 1.5), (2, INF, 1, 0.25, 0, 1, 1.0, 3),
                          (NAN, NAN, 1, 0.25, 0, 1, 1.0, NAN)])


@pytest.mark.parametrize(
    "x, y, cuts, representative, expected",
    [
        ([], [], [0], "median", [(-INF, 0, 0, 0, 0, 0, 0, NAN), (0, INF, 0, 0, 0, 0, 0, NAN)]),
        ([1, 2, 3, 10], [0, 0, 1, 1], [], "median", [(-INF, INF, 4, 1, 2, 2, 0.5, 2.5)]),
        ([1, 2, 3, 10], [0, 0, 1, 1], [], "mean", [(-INF, INF, 4, 1, 2, 2, 0.5, 4)]),
        ([1, INF], [0, 1], [5], "mean",
         [(-INF, 5, 1, 0.5, 1, 0, 0, 1), (5, INF, 1, 0.5, 0, 1, 1, INF)]),
        ([1, INF, INF], [0, 1, 1], [], "median", [(-INF, INF, 3, 1, 1, 2, 2 / 3, INF)]),
        # The two middle values are a distance apart that overflows.
        ([-1e308, 1e308], [0, 1], [], "median", [(-INF, INF, 2, 1, 1, 1, 0.5, 0.0)]),
    ],
    ids=["empty", "median-even", "mean", "inf-in-last-bin", "median-next-to-inf",
         "median-of-extremes"],
)
def test_binary_summary_rows(x, y, cuts, representative, expected):
    assert same(rows(t.binning_summary_binary(x, y, cuts, representative)), expected)


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda: t.binning_summary_binary([1, 2], [0], [INF], "x"), "misma longitud"),
        (lambda: t.binning_summary_binary([1], [2], [], "Median"), "representative debe ser"),
        (lambda: t.binning_summary_binary([1, NAN], [0, -1], []), "y debe contener solo 0 y 1"),
        (lambda: t.binning_summary_continuous([1], [], [NAN]), "misma longitud"),
        (lambda: t.binning_summary_continuous([1], [1], [], "MEAN"), "representative debe ser"),
    ],
    ids=["binary-length", "binary-representative", "binary-y-of-missing-x",
         "continuous-length", "continuous-representative"],
)
def test_summary_errors(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def test_continuous_summary_example():
    d = t.binning_summary_continuous([1, 2, 3, NAN, 4], [10, 20, NAN, 40, 50], [2])
    assert list(d) == ["left", "right", "count", "percentage", "representative", "target_mean",
                       "target_p25", "target_median", "target_p75"]
    assert same(rows(d), [(-INF, 2, 2, 0.5, 1.5, 15, 12.5, 15, 17.5),
                          (2, INF, 1, 0.25, 4, 50, 50, 50, 50),
                          (NAN, NAN, 1, 0.25, NAN, 40, 40, 40, 40)])


EMPTY_BIN = (0, 0, NAN, NAN, NAN, NAN, NAN)


@pytest.mark.parametrize(
    "x, y, representative, expected",
    [
        ([], [], "median", [(-INF, 0, *EMPTY_BIN), (0, INF, *EMPTY_BIN)]),
        ([NAN, 1], [NAN, NAN], "median", [(-INF, 0, *EMPTY_BIN), (0, INF, *EMPTY_BIN)]),
        ([1, 3, 2, 4], [4, 1, 3, 2], "mean", [(-INF, 0, *EMPTY_BIN),
                                             (0, INF, 4, 1, 2.5, 2.5, 1.75, 2.5, 3.25)]),
        ([1, 2, 3], [1, INF, INF], "median", [(-INF, 0, *EMPTY_BIN),
                                              (0, INF, 3, 1, 2, INF, INF, INF, INF)]),
        ([-1, -2], [-INF, 5], "median", [(-INF, 0, 2, 1, -1.5, -INF, -INF, -INF, -INF),
                                         (0, INF, *EMPTY_BIN)]),
    ],
    ids=["empty", "all-y-nan", "mean-and-quartiles", "targets-next-to-inf", "minus-inf"],
)
def test_continuous_summary_rows(x, y, representative, expected):
    assert same(rows(t.binning_summary_continuous(x, y, [0], representative)), expected)


def test_tied_negative_zeros_stay_negative():
    d = t.binning_summary_continuous([-0.0, -0.0], [-0.0, -0.0], [])
    for key in ("representative", "target_p25", "target_median", "target_p75"):
        assert math.copysign(1, d[key][0]) == -1


# Properties over arbitrary doubles, NaN and infinities included.
doubles = st.floats(allow_nan=True, allow_infinity=True)
samples = arrays(np.float64, st.integers(0, 60), elements=doubles)
split_lists = st.lists(st.floats(-1e6, 1e6), max_size=12)


@given(samples, st.sampled_from(["equal_width", "quantile"]), st.integers(1, 40),
       st.sampled_from(["full", "quantile", "iqr"]), st.floats(0, 0.49), st.floats(0.51, 1),
       st.floats(0, 1e300))
def test_split_points_are_finite_and_increasing(x, method, n_bins, range, lq, uq, k):
    try:
        out = np.array(splits(x, method, n_bins, range, lq, uq, k))
    except ValueError as error:
        assert "no contiene valores finitos" in str(error) and not np.isfinite(x).any()
        return
    assert np.isfinite(out).all() and (np.diff(out) > 0).all() and len(out) < n_bins


@given(samples, split_lists)
def test_transform_agrees_with_searchsorted(x, cuts):
    sorted_cuts = np.unique(cuts)
    expected = np.where(np.isnan(x), -1, np.searchsorted(sorted_cuts, x, side="left"))
    assert t.binning_transform(x, cuts).tolist() == expected.tolist()


@given(arrays(np.float64, st.integers(2, 60), elements=st.integers(-50, 50)),
       st.integers(2, 30) | st.just(300))
def test_quantile_splits_agree_with_numpy(x, n_bins):
    # Whole numbers keep every quantile off the bounds it is compared with, so
    # numpy's differently rounded interpolation keeps or drops the same ones.
    candidates = np.quantile(x, np.arange(1, n_bins) / n_bins, method="linear")
    expected = []
    for e in candidates:
        if x.min() <= e < x.max() and (not expected or e > expected[-1]):
            expected.append(e)
    np.testing.assert_allclose(splits(x, "quantile", n_bins), expected, rtol=1e-12, atol=1e-12)


@given(arrays(np.float64, st.integers(1, 60), elements=st.floats(-1e6, 1e6)))
def test_bin_statistics_agree_with_numpy_quantiles(v):
    d = t.binning_summary_continuous(v, v[::-1], [])
    p25, p50, p75 = np.quantile(v[::-1], [0.25, 0.5, 0.75], method="linear")
    got = [d["target_p25"][0], d["target_median"][0], d["target_p75"][0], d["representative"][0]]
    np.testing.assert_allclose(got, [p25, p50, p75, np.median(v)], rtol=1e-12, atol=1e-6)


@given(samples, st.data(), split_lists, st.sampled_from(["mean", "median"]))
def test_summary_counts_cover_the_sample(x, data, cuts, representative):
    y01 = data.draw(arrays(np.int32, len(x), elements=st.integers(0, 1)))
    y = data.draw(arrays(np.float64, len(x), elements=doubles))
    b = t.binning_summary_binary(x, y01, cuts, representative)
    c = t.binning_summary_continuous(x, y, cuts, representative)
    assert b["count"].sum() == len(x) and (b["c0"] + b["c1"] == b["count"]).all()
    assert c["count"].sum() == (~np.isnan(y)).sum()
    for d in (b, c):
        if d["count"].sum() > 0:
            assert math.isclose(d["percentage"].sum(), 1.0, rel_tol=1e-12)
