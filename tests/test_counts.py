"""Fits from per-value class counts, merged over parts of a sample, against the fits of the
whole sample: bit for bit, but for means, which are summed in another order."""

import math
from functools import reduce

import numpy as np
import pytest
from bitwise import assert_same, assert_same_rows, bits
from hypothesis import given
from hypothesis import strategies as st

import _tembrolin
from tembrolin import _native, counted, fitting, target
from tembrolin.bins import Settings
from tembrolin.counted import ColumnCounts
from tembrolin.fitting import CONTINUOUS_KEYS
from tembrolin.rows import Rows, SampleSource, infinities

# Ties, both zeros, both infinities, NaN, adjacent doubles and the largest magnitudes.
POOL = [-0.0, 0.0, 1.0, math.nextafter(1.0, 2.0), 2.0, 3.5, -1.0, 7.25, 1e308, -1e308]
POOL += [math.inf, -math.inf, math.nan]
SPECIAL = -999.0


VALUES = st.sampled_from(POOL)


@st.composite
def samples(draw, values=VALUES):
    n = draw(st.integers(0, 40))
    x = np.array(draw(st.lists(values, min_size=n, max_size=n)), dtype=np.float64)
    y = np.array(draw(st.lists(st.sampled_from([0, 1]), min_size=n, max_size=n)), dtype=np.int32)
    cuts = sorted(draw(st.lists(st.integers(0, n), max_size=4)))
    return x, y, np.split(np.arange(n), cuts)


def merged(x, y, parts):
    return reduce(_native.merge_counts, [_native.value_counts(x[p], y[p]) for p in parts])


@given(
    samples(),
    st.sampled_from(["boundary", "neighbour"]),
    st.sampled_from(["median", "mean"]),
    st.integers(0, 4),
    st.sampled_from([(0, 0), (1, 1), (1, -1), (3, 1), (2, 0)]),
    st.sampled_from([0.0, 0.5, 1.0]),
    st.booleans(),
)
def test_mdlp_report_from_counts_is_that_of_the_sample(
    sample, candidates, representative, minobs, mono, beta, force
):
    x, y, parts = sample
    args, options = (minobs, *mono, 1.0, beta, force), dict(representative=representative)
    whole = _native.mdlp_fit(x, y.astype(float), *args, **options, candidates=candidates)
    counts = _native.mdlp_fit_counts(merged(x, y, parts), *args, **options, candidates=candidates)
    assert_same(whole["mdlp"], counts["mdlp"])
    assert_same(whole["summary"], counts["summary"])
    assert whole["metadata"] == counts["metadata"]


def outcome(call):
    try:
        return call()
    except ValueError as error:
        return str(error)


def assert_same_outcome(whole_call, counts_call, same=assert_same):
    """The same error message, or the same result."""
    whole, counts = outcome(whole_call), outcome(counts_call)
    if isinstance(whole, str):
        assert whole == counts
    else:
        same(whole, counts)


@given(
    samples(),
    st.sampled_from(["equal_width", "quantile"]),
    st.sampled_from(["full", "quantile", "iqr"]),
    st.integers(0, 9),
    st.sampled_from([(0.0, 1.0), (0.1, 0.9), (0.5, 0.5), (0.3, 0.7)]),
    st.sampled_from([0.0, 1.5, -1.0]),
)
def test_splits_from_counts_are_those_of_the_sample(sample, method, width, n_bins, quantiles, k):
    x, _, _ = sample
    table = _native.value_counts(x, np.zeros(len(x), dtype=np.int32))
    args = (method, n_bins, width, *quantiles, k)
    assert_same_outcome(
        lambda: _tembrolin.binning_splits(x, *args, np.empty(0)),
        lambda: _native.counted_binning_splits(table["values"], table["c0"], *args),
        lambda a, b: np.testing.assert_array_equal(bits(a), bits(b)),
    )


@given(samples())
def test_lorenz_curve_and_comparison_from_counts(sample):
    x, y, parts = sample
    counts = merged(x, y, parts)

    def same_curve(whole, from_counts):
        whole["value"] = whole["value"] + 0.0  # which zero names the zero group is not counted
        assert_same(whole, from_counts)

    assert_same_outcome(
        lambda: _tembrolin.lorenz_curve_native(x, y),
        lambda: _native.lorenz_counts(counts["values"], counts["c0"], counts["c1"]),
        same_curve,
    )
    # The two halves of the sample compared over bins at 0 and 2, NaN apart.
    splits, halves = np.array([0.0, 2.0]), (x[: len(x) // 2], x[len(x) // 2 :])
    codes = [_tembrolin.binning_transform(half, splits) for half in halves]
    ref, cur = (np.bincount(np.where(c < 0, 3, c), minlength=4) for c in codes)
    rows = 4 if ref[3] or cur[3] else 3
    assert_same_outcome(
        lambda: _tembrolin.compare_distributions_native(*halves, splits, 1e-9),
        lambda: _native.compare_counts(ref[:rows], cur[:rows], 1e-9),
    )


SETTINGS = {
    "mdlp": Settings(min_bin_share=0.05),
    "neighbour-mean": Settings(candidates="neighbour", representative="mean", min_bin_share=0.0),
    "auto-trend": Settings(monotonic_trend="auto", min_bin_share=0.0),
    "quantile": Settings(method="quantile", n_bins=4),
    "iqr": Settings(method="equal_width", range="iqr", n_bins=3),
    **{
        f"optimal-{kind}": Settings(
            method="optimal", prebinning=kind, n_prebins=4, min_prebin_share=0.1
        )
        for kind in ("quantile", "cart", "boundary")
    },
}


@given(
    samples(st.sampled_from([*POOL, SPECIAL, SPECIAL])),
    st.sampled_from(sorted(SETTINGS)),
    st.booleans(),
)
def test_column_fit_from_counts_is_the_single_machine_fit(sample, setting, continuous):
    x, y, parts = sample
    settings = SETTINGS[setting]
    if not len(x):
        return
    values = np.where(y == 1, 2.5, 0.5) + np.arange(len(y)) % 3 if continuous else y.astype(float)
    rule = target.rule_for_sample(values, True, None, 50.0)
    classes = rule.classes(values)
    ones = int(classes.sum())
    summary = counted.target_summary(counted.counts_of(values, 0 * classes)) if continuous else None
    totals = fitting.totals_row(len(classes) - ones, ones, summary)
    rows = Rows(x, values, classes, continuous)
    specials = infinities(x, (SPECIAL,))
    whole = fitting.fit_column("x", SampleSource(rows, specials), totals, settings, specials)
    apart = (SPECIAL, -math.inf, math.inf)  # infinities are counted apart, kept when seen
    column = ColumnCounts(counted.empty_counts(), {v: counted.empty_counts() for v in apart})
    for p in parts:
        column = column.merge(counted.count_column(x[p], classes[p], apart))
    column = column.kept((SPECIAL,))
    totals = fitting.totals_row(len(classes) - ones, ones)
    specials = tuple(column.special)
    bins = fitting.fit_column(
        "x", counted.CountsSource(column, specials), totals, settings, specials
    )
    if continuous:
        codes, zeros = bins.codes(x), np.zeros(len(x), dtype=np.int32)
        targets = [
            counted.counts_of(values[codes == r], zeros[codes == r])
            for r in range(bins.missing_row + 1)
        ]
        targets.append(counted.counts_of(values, zeros))
        bins = counted.with_target_summaries(bins, targets)

    np.testing.assert_array_equal(bits(whole.splits), bits(bins.splits))
    assert (whole.method, whole.trend) == (bins.method, bins.trend)
    # Sums near the largest double overflow or not depending on their order.
    huge = (np.abs(x[np.isfinite(x)]) > 1e300).any()
    assert_same_rows(whole.rows, bins.rows, settings.representative, skip_sums=huge)
    if continuous:
        assert set(CONTINUOUS_KEYS) <= bins.rows.keys()


def test_target_percentile_from_counts_is_the_cores():
    y = np.array([5.0, 1.0, 3.0, 3.0, 8.0, 2.5, 2.5, 9.0])
    table = counted.counts_of(y, np.zeros(len(y), dtype=np.int32))
    for p in (0.0, 12.5, 40.0, 50.0, 100.0):
        assert counted.percentile(table, p) == target.rule_for_sample(y, True, None, p).threshold


REFUSED = {
    "class-2": (lambda: _native.value_counts([1.0], [2]), "y debe contener solo 0 y 1"),
    "unsorted": (lambda: _native.merge_counts(table([2.0, 1.0], [1, 1]), EMPTY), "crecientes"),
    "negative": (lambda: _native.merge_counts(table([1.0], [-1]), EMPTY), "negativos"),
    "overflow": (lambda: _native.merge_counts(*[table([1.0], [2**62])] * 2), "int64"),
    "lengths": (lambda: _native.merge_counts(table([1.0, 2.0], [1]), EMPTY), "misma longitud"),
    "position-past-end": (lambda: _native.counted_order_statistics([1.0], [2], [1.5]), "entre 0"),
    "no-observation": (lambda: _native.counted_order_statistics([1.0], [0], [0.0]), "entre 0 y n"),
    "nan-value": (lambda: _native.counted_order_statistics([np.nan], [1], [0.0]), "sin NaN"),
    "negative-lorenz": (lambda: _native.lorenz_counts([1.0], [1], [-1]), "negativos"),
    "bins-differ": (lambda: _native.compare_counts([1, 2], [3], 1e-9), "mismo número de bins"),
}


@pytest.mark.parametrize("call, message", REFUSED.values(), ids=REFUSED.keys())
def test_counts_no_sample_gives_are_refused(call, message):
    with pytest.raises(ValueError, match=message):
        call()


def table(values, c0):
    values = np.asarray(values, dtype=np.float64)
    c0 = np.asarray(c0, dtype=np.int64)
    return {"values": values, "c0": c0, "c1": np.zeros_like(c0), "missing_c0": 0, "missing_c1": 0}


EMPTY = table([], [])


@given(st.lists(st.sampled_from([np.nan, -2.0, 0.0, 0.5, 1.0, 3.0, np.inf]), max_size=30))
def test_distinct_values_are_numpys_smallest_uniques(values):
    y = np.array(values, dtype=np.float64)
    expected = np.unique(y[~np.isnan(y)])[:3]
    np.testing.assert_array_equal(bits(target.distinct_values(y)), bits(expected))
