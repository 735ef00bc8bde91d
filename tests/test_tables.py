"""Bin tables: WoE and IV on hand-worked numbers, rows that match transform, the summary."""

import math

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st
from hypothesis.extra.numpy import arrays

import tembrolin as tb

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
    assert list(table.columns) == ["bin", *counts, "woe", "iv", "representative"]
    assert table["bin"].iloc[0].startswith("(-inf, ")
    assert table["bin"].iloc[-2:].tolist() == ["missing", "total"]
    assert table["share"].iloc[-2] == 20 / 500
    summary = binner.summary()
    assert summary.index[0] == "x2" and summary["iv"].is_monotonic_decreasing
    assert summary.loc["x1", "share_missing"] == 20 / 500
