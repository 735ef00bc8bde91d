"""Bin tables: WoE and IV on hand-worked numbers, rows that match transform, the summary."""

import math

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st
from hypothesis.extra.numpy import arrays

import tembrolin as tb
from tembrolin import bin_statistics

# (non-events, events) per bin; totals 80 and 30.
# bin 1: ln((40/80) / (10/30)) = ln 1.5; bin 3 has no events: 0.5 added to both counts.
HAND_WORKED = [
    (
        [40, 30, 10],
        [10, 20, 0],
        [math.log(1.5), math.log(0.375 / (20 / 30)), math.log((10.5 / 80) / (0.5 / 30))],
        [
            (0.5 - 1 / 3) * math.log(1.5),
            (0.375 - 20 / 30) * math.log(0.375 / (20 / 30)),
            (10.5 / 80 - 0.5 / 30) * math.log((10.5 / 80) / (0.5 / 30)),
        ],
    ),
    (
        [5, 0, 5],
        [5, 0, 0],
        [math.log(0.5), 0.0, math.log((5.5 / 10) / (0.5 / 5))],
        [(0.5 - 1) * math.log(0.5), 0.0, (5.5 / 10 - 0.5 / 5) * math.log((5.5 / 10) / (0.5 / 5))],
    ),
    ([3, 4], [0, 0], [0.0, 0.0], [0.0, 0.0]),
]


@pytest.mark.parametrize("good,bad,woe,iv", HAND_WORKED, ids=["no-events", "empty", "one-class"])
def test_woe_iv_hand_worked(good, bad, woe, iv):
    got_woe, got_iv = tb.woe_iv(np.array(good), np.array(bad))
    np.testing.assert_allclose(got_woe, woe, rtol=1e-14, atol=0)
    np.testing.assert_allclose(got_iv, iv, rtol=1e-14, atol=0)


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
    np.testing.assert_array_equal(
        binner.transform(x.reshape(-1, 1))[:, 0], table["woe"].to_numpy()[codes]
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
    summary = binner.summary()
    assert summary.index[0] == "x2" and summary["iv"].is_monotonic_decreasing
    assert summary.loc["x1", "share_missing"] == 20 / 500


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
        ((5, 5), (0, 0), 1.0, "fisher"),
    ],
    ids=["chi2", "fisher", "no-events"],
)
def test_next_bin_test_hand_worked(c0, c1, p_value, test):
    got, name = bin_statistics.next_bin_test(c0, c1)
    assert name == test and got == pytest.approx(p_value, rel=1e-12)


def test_concentration_and_ks_of_a_table():
    # Bins ordered by event rate: 0.1, 0.5; non-event shares 0.9*... KS = |90/140 - 10/60|.
    x = np.repeat([1.0, 2.0], [100, 100])
    y = np.concatenate([np.repeat([0.0, 1.0], [90, 10]), np.repeat([0.0, 1.0], [50, 50])])
    binner = tb.Binner(user_splits={"x0": [1.5]}).fit(x.reshape(-1, 1), y)
    row = binner.summary().loc["x0"]
    assert row["hhi"] == 0.5 and row["ks"] == pytest.approx(90 / 140 - 10 / 60, rel=1e-14)
    table = binner.table(0)
    assert table["test"].tolist() == ["chi2", "", "", ""]
    assert table["js"].iloc[-1] == pytest.approx(row["js"], rel=1e-14)
