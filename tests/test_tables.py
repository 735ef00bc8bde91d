"""Bin tables: WoE and IV on hand-worked numbers, rows that match transform, the summary."""

import math

import numpy as np
import pandas as pd
import pytest
from hypothesis import given
from hypothesis import strategies as st
from hypothesis.extra.numpy import arrays

import tembrolin as tb
from tembrolin import bin_statistics, tables

# (non-events, events) per bin, then WoE and IV worked out by hand; a bin of one class
# gets 0.5 added to both counts, an empty bin or a one-class sample WoE 0.
HAND_WORKED = {
    # ln 1.5, ln(0.375 / (2/3)), ln((10.5/80) / (0.5/30)) = ln 7.875
    "no-events": (
        [40, 30, 10],
        [10, 20, 0],
        [0.4054651081081644, -0.5753641449035618, 2.063693184711697],
        [0.0675775180180274, 0.16781454226353884, 0.2364648440815486],
    ),
    # ln((0.5/10) / (5.5/10)) = -ln 11, then ln 2
    "no-non-events": (
        [0, 10],
        [5, 5],
        [-2.397895272798371, 0.6931471805599453],
        [1.198947636399185, 0.34657359027997264],
    ),
    "empty": (
        [5, 0, 5],
        [5, 0, 0],
        [-0.6931471805599453, 0.0, 1.7047480922384253],
        [0.34657359027997264, 0.0, 0.7671366415072914],
    ),
    "one-class": ([3, 4], [0, 0], [0.0, 0.0], [0.0, 0.0]),
}


@pytest.mark.parametrize("good,bad,woe,iv", HAND_WORKED.values(), ids=HAND_WORKED)
def test_woe_iv_hand_worked(good, bad, woe, iv):
    got_woe, got_iv = tb.woe_iv(np.array(good), np.array(bad))
    np.testing.assert_allclose(got_woe, woe, rtol=1e-14, atol=0)
    np.testing.assert_allclose(got_iv, iv, rtol=1e-14, atol=0)


LN3, LN5 = 1.0986122886681098, 1.6094379124341003


def test_hand_worked_table_counts_the_special_and_missing_rows(hand_worked):
    binner, x, _ = hand_worked
    assert (binner.target_type_, binner.threshold_) == ("binary", 0.0)
    table = binner.table("x0")
    assert table["bin"].tolist() == ["(-inf, 2]", "(2, inf)", "special -999", "missing", "total"]
    assert table["count"].tolist() == [8, 8, 2, 2, 20]
    assert table["share"].tolist() == [0.4, 0.4, 0.1, 0.1, 1.0]
    assert table["event_rate"].tolist() == [0.25, 0.75, 0.0, 1.0, 0.5]
    np.testing.assert_allclose(table["woe"][:4], [LN3, -LN3, LN5, -LN5], rtol=1e-15)
    # 0.4 ln 3 twice, 0.2 ln 5 twice: the missing and special rows count in the total.
    np.testing.assert_allclose(table["iv"], [0.4 * LN3] * 2 + [0.2 * LN5] * 2 + [1.522664995908128])
    woe = binner.transform(x.reshape(-1, 1))[:, 0]
    np.testing.assert_allclose(woe[-4:], [LN5, LN5, -LN5, -LN5], rtol=1e-15)
    row = binner.summary().loc["x0"]
    # Scored by event rate, events beat non-events in 80 of 100 pairs and tie in 8.
    assert (row["n_bins"], row["share_missing"], row["monotone"]) == (2, 0.1, True)
    np.testing.assert_allclose(row[["iv", "auc", "gini"]].tolist(), [1.522664995908128, 0.84, 0.68])
    assert "rounding" not in row and "target_missing" not in row  # neither applies here


def test_zigzag_table_without_missing_values():
    # Rates 1/2, 0, 1: WoE 0, then ln((4.5/6) / (0.5/6)) = ln 9 and -ln 9.
    x, y = np.repeat([1.0, 2.0, 3.0], 4), np.array([1, 1, 0, 0] + [0] * 4 + [1] * 4, float)
    binner = tb.Binner(user_splits={"x0": [1.5, 2.5]}).fit(x.reshape(-1, 1), y)
    table = binner.table("x0")
    np.testing.assert_allclose(table["woe"][:3], [0.0, 2.1972245773362196, -2.1972245773362196])
    missing = table.iloc[3]
    assert (missing["count"], missing["event_rate"], missing["iv"]) == (0, 0.0, 0.0)
    assert np.isnan(missing["representative"])
    assert not binner.summary().loc["x0", "monotone"]
    # An empty bin between two cuts takes no share of the rest.
    empty = tb.Binner(user_splits={"x0": [1.5, 1.6, 2.5]}).fit(x.reshape(-1, 1), y).table("x0")
    np.testing.assert_allclose(empty["share"], [1 / 3, 0, 1 / 3, 1 / 3, 0, 1])


columns = arrays(
    np.float64,
    st.integers(1, 120),
    elements=st.one_of(
        st.integers(-3, 12).map(float), st.just(np.nan), st.just(-999.0), st.just(np.inf)
    ),
)


@given(columns, st.integers(0, 2**32 - 1), st.sampled_from(["mdlp", "quantile"]))
def test_table_rows_are_the_bins_transform_applies(x, seed, method):
    y = (np.random.default_rng(seed).random(len(x)) < 0.5).astype(float)
    binner = tb.Binner(method=method, n_bins=4, min_bin_share=0.0, special_values=[-999.0])
    table = binner.fit(x.reshape(-1, 1), y).table("x0")
    codes = binner.transform(x.reshape(-1, 1), metric="bin")[:, 0]
    rows = len(table) - 1
    for weights, column in ((None, "count"), (y, "events")):
        counted = np.bincount(codes, weights=weights, minlength=rows)
        np.testing.assert_array_equal(counted, table[column][:rows])
    for metric in ("woe", "event_rate"):
        np.testing.assert_array_equal(
            binner.transform(x.reshape(-1, 1), metric)[:, 0], table[metric].to_numpy()[codes]
        )
    assert table["count"].iloc[-1] == len(x) == table["count"][:rows].sum()


def test_table_layout_and_summary_order():
    rng = np.random.default_rng(1)
    x = rng.normal(size=(500, 3))
    x[::25, 1] = np.nan
    y = (rng.random(500) < 1 / (1 + np.exp(-2 * x[:, 2]))).astype(float)
    binner = tb.Binner().fit(x, y)
    table = binner.table(1)
    counts = ["count", "share", "non_events", "events", "event_rate"]
    assert list(table.columns) == [
        "bin",
        *counts,
        "woe",
        "iv",
        "js",
        "p_value",
        "test",
        "representative",
    ]
    assert table["bin"].iloc[0].startswith("(-inf, ")
    assert table["bin"].iloc[-2:].tolist() == ["missing", "total"]
    assert table["share"].iloc[-2] == 20 / 500
    assert table[["non_events", "events"]].iloc[-1].tolist() == [500 - y.sum(), y.sum()]
    summary = binner.summary()
    assert summary.index[0] == "x2" and summary["iv"].is_monotonic_decreasing
    assert summary.loc["x1", "share_missing"] == 20 / 500


def test_category_labels_are_shortened_past_their_width():
    assert tables.category_label(["a", "b"], width=20) == "a, b"
    names = ["abcdefgh", "ij", "kl", "mn", "op", "qr", "st"]  # 32 characters joined
    # Room for 20 - 12 characters of names, the rest for the count left out.
    assert tables.category_label(names, width=20) == "abcdefgh, … (+6)"


# (c0, c1) per row; shares g = c0/80, b = c1/20, m = (g + b)/2.
JS_CASES = {
    "disjoint": ([80, 0], [0, 20], [math.log(2) / 2, math.log(2) / 2], 1.0),
    "same": ([40, 40], [10, 10], [0.0, 0.0], 0.0),
    "mixed": (
        [60, 20],
        [5, 15],
        [
            (0.75 * math.log(0.75 / 0.5) + 0.25 * math.log(0.25 / 0.5)) / 2,
            (0.25 * math.log(0.25 / 0.5) + 0.75 * math.log(0.75 / 0.5)) / 2,
        ],
        math.sqrt(1 - 2 * math.sqrt(0.75 * 0.25)),
    ),
}


@pytest.mark.parametrize("c0,c1,js,hellinger", JS_CASES.values(), ids=JS_CASES.keys())
def test_divergences_hand_worked(c0, c1, js, hellinger):
    np.testing.assert_allclose(bin_statistics.js_terms(c0, c1), js, rtol=1e-14, atol=1e-300)
    assert bin_statistics.hellinger(c0, c1) == pytest.approx(hellinger, rel=1e-12, abs=1e-12)


@pytest.mark.parametrize(
    "c0,c1,p_value,test",
    [
        # N = 100, X^2 = 100 (40*20 - 10*30)^2 / (50*50*70*30) = 100/21; p = erfc(sqrt(X^2 / 2))
        ((40, 30), (10, 20), math.erfc(math.sqrt(50 / 21)), "chi2"),
        # Expected counts 2: Fisher; tables at least as unlikely as [[3,1],[1,3]]: 34/70.
        ((3, 1), (1, 3), 34 / 70, "fisher"),
        # Expected counts 45 and 5: chi-square still; both bins alike, so X^2 = 0.
        ((45, 45), (5, 5), 1.0, "chi2"),
        ((5, 5), (0, 0), 1.0, "fisher"),
    ],
    ids=["chi2", "fisher", "chi2-at-five", "no-events"],
)
def test_next_bin_test_hand_worked(c0, c1, p_value, test):
    got, name = bin_statistics.next_bin_test(c0, c1)
    assert name == test and got == pytest.approx(p_value, rel=1e-12)


def test_concentration_and_ks_of_a_table():
    # Rows ordered by event rate: 0.1 (90, 10), then missing (10, 10) and 0.5 (50, 50); the
    # largest gap of the cumulative class shares is after the first: 90/150 - 10/70.
    x = np.repeat([1.0, 2.0, np.nan], [100, 100, 20])
    y = np.repeat([0.0, 1.0, 0.0, 1.0, 0.0, 1.0], [90, 10, 50, 50, 10, 10])
    binner = tb.Binner(user_splits={"x0": [1.5]}).fit(x.reshape(-1, 1), y)
    row = binner.summary().loc["x0"]
    assert row["hhi"] == pytest.approx((100**2 * 2 + 20**2) / 220**2, rel=1e-14)
    assert row["ks"] == pytest.approx(90 / 150 - 10 / 70, rel=1e-14)
    table = binner.table(0)
    assert table["test"].tolist() == ["chi2", "", "", ""]
    assert table["js"].iloc[-1] == pytest.approx(row["js"], rel=1e-14)
    # One class only: no curve to read a KS off; the shares 0.4, 0.4 and 0.2 still count.
    x = np.repeat([1.0, 2.0, np.nan], [4, 4, 2])
    one_class = tb.Binner(user_splits={"x0": [1.5]}).fit(x[:, None], np.zeros(10)).summary()
    assert np.isnan(one_class.loc["x0", "ks"])
    assert one_class.loc["x0", "hhi"] == pytest.approx(0.36, rel=1e-14)
    # One non-event is enough for a curve: bins of (1, 3) and (0, 4) part at 1 - 3/7.
    x, y = np.repeat([1.0, 2.0], 4), np.r_[0.0, np.ones(7)]
    one_non_event = tb.Binner(user_splits={"x0": [1.5]}).fit(x[:, None], y).summary()
    assert one_non_event.loc["x0", "ks"] == pytest.approx(1 - 3 / 7, rel=1e-14)


def test_each_bin_is_tested_against_the_next_one():
    # Bins 0 and 1 have the same rate (p = 1); bin 2 has no events at all.
    X = pd.DataFrame({"x": np.repeat([1.0, 2.0, 3.0], 100)})
    y = np.r_[np.tile([0, 1], 100), np.zeros(100, dtype=int)]
    table = tb.Binner(user_splits={"x": [1.5, 2.5]}).fit(X, y).table("x")
    assert table["p_value"].iloc[0] == 1.0 and table["p_value"].iloc[1] < 1e-10
    assert table["test"].tolist()[:3] == ["chi2", "chi2", ""]
