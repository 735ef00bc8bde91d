"""Weighted fits: a row of weight w counts as w identical rows, everywhere."""

import dask.dataframe as dd
import numpy as np
import pandas as pd
import pytest

import tembrolin as tb
from tembrolin import categories, weighted
from tembrolin.bin_statistics import next_bin_test

# Sums added in another order (the mean of x, a continuous target's mean) may differ in
# their last bits from the repeated rows'; everything else is equal.
ADDED = ("representative", "target_mean")


def table(n=1500, seed=3):
    rng = np.random.default_rng(seed)
    x = rng.normal(size=n)
    x[rng.random(n) < 0.05] = np.nan
    X = pd.DataFrame(
        {
            "x": x,
            "special": rng.choice([-1.0, 0.5, 1.5, 2.5, np.nan], n),
            "label": rng.choice(list("abcdefgh"), n, p=[0.3, 0.2, 0.2, 0.1, 0.1, 0.05, 0.03, 0.02]),
        }
    )
    score = rng.normal(size=n) + np.nan_to_num(x) + (X["label"] < "c")
    return X, score, rng


def assert_same_bins(a, b):
    for name, ours in a.bins_.columns.items():
        theirs = b.bins_.columns[name]
        assert ours.splits.tobytes() == theirs.splits.tobytes(), name
        assert ours.categories == theirs.categories, name
        for key, values in ours.rows.items():
            same = np.allclose if key in ADDED else np.array_equal
            assert same(values, theirs.rows[key], equal_nan=True), (name, key)


PARAMS = {
    "optimal": {},
    "optimal-peak": {"monotonic_trend": "peak", "max_n_bins": 4},
    "cart": {"prebinning": "cart", "min_prebin_share": 0.02},
    "boundary": {"prebinning": "boundary", "n_prebins": 20},
    "quantile-median": {"method": "quantile", "n_bins": 6, "monotonic_trend": None},
    "equal-width-mean": {
        "method": "equal_width",
        "representative": "mean",
        "monotonic_trend": "auto",
    },
    "user-splits": {"method": "mdlp", "user_splits": {"x": [-1.0, 0.0, 1.0]}},
}
TARGETS = {
    "binary": lambda score: (score > 0.5).astype(int),
    "percentile": lambda score: score,
    "threshold": lambda score: score,
}


@pytest.mark.parametrize("params", PARAMS.values(), ids=PARAMS.keys())
@pytest.mark.parametrize("target", TARGETS, ids=TARGETS.keys())
def test_whole_weights_are_repeated_rows(params, target):
    X, score, rng = table()
    y = TARGETS[target](score)
    extra = {"percentile": {"target_percentile": 30.0}, "threshold": {"target_threshold": 0.2}}
    params = params | extra.get(target, {})
    if "user_splits" in params:
        X = X[["x"]]  # the others would need MDLP's search, which counts rows
    else:
        params["special_values"] = {"special": [-1.0]}
    weights = rng.integers(0, 4, len(y))
    rows = np.repeat(np.arange(len(y)), weights)
    weighted = tb.Binner(**params).fit(X, y, sample_weight=weights)
    repeated = tb.Binner(**params).fit(X.iloc[rows], np.asarray(y)[rows])
    assert weighted.threshold_ == repeated.threshold_
    assert_same_bins(weighted, repeated)
    np.testing.assert_allclose(weighted.transform(X), repeated.transform(X))


@pytest.mark.parametrize("params", PARAMS.values(), ids=PARAMS.keys())
def test_unit_weights_change_no_bit(params):
    X, score, _ = table()
    y = (score > 0.5).astype(int)
    X = X[["x"]] if "user_splits" in params else X
    plain = tb.Binner(**params).fit(X, y)
    ones = tb.Binner(**params).fit(X, y, sample_weight=np.ones(len(y)))
    for name, bins in plain.bins_.columns.items():
        for key, values in bins.rows.items():
            assert (
                values.tobytes()
                == ones.bins_.columns[name].rows[key].astype(values.dtype).tobytes()
            )


def test_fractional_weights_are_summed_in_every_row_and_survive_json():
    X = pd.DataFrame({"x": [1.0, 2.0, 3.0, 4.0, np.nan, -1.0]})
    y = np.array([0, 1, 0, 1, 1, 0])
    w = np.array([0.5, 1.5, 2.0, 0.25, 0.75, 1.0])
    binner = tb.Binner(method="quantile", n_bins=2, special_values=[-1.0])
    binner.fit(X, y, sample_weight=w)
    # x repeated by weight: 1 (0.5), 2 (1.5), 3 (2), 4 (0.25), W = 4.25; the median sits at
    # position 3.25 * 0.5 = 1.625, between the order statistics 1 (x = 2) and 2 (x = 3).
    assert binner.columns_["x"].splits.tolist() == [2.625]
    t = binner.table("x")
    assert t["non_events"].tolist() == [0.5, 2.0, 1.0, 0.0, 3.5]
    assert t["events"].tolist() == [1.5, 0.25, 0.0, 0.75, 2.5]
    assert t["count"].tolist() == [2.0, 2.25, 1.0, 0.75, 6.0]
    loaded = tb.Binner.from_json_text(binner.to_json())
    pd.testing.assert_frame_equal(loaded.table("x"), t)


def test_weighted_categories_are_ordered_by_weighted_rates():
    X = pd.DataFrame({"c": ["a", "a", "b", "b"] * 10})
    y = np.array([1, 0, 1, 0] * 10)
    # Unweighted the rates tie; the weights make b the riskier category.
    w = np.array([0.5, 1.5, 1.5, 0.5] * 10)
    binner = tb.Binner(min_bin_share=0.0).fit(X, y, sample_weight=w)
    assert binner.columns_["c"].categories == (("a",), ("b",))
    table = binner.table("c")
    assert table["event_rate"].tolist()[:2] == [0.25, 0.75]
    assert table["count"].tolist()[:2] == [20.0, 20.0]
    assert tb.Binner().fit(X, y).bins_.columns["c"].rows["count"].dtype == np.int64


def test_weights_on_a_dask_table_are_refused():
    X = dd.from_pandas(pd.DataFrame({"x": [1.0, 2.0], "y": [0, 1]}), npartitions=1)
    with pytest.raises(TypeError, match=r"sample_weight no se admite .* Dask"):
        tb.Binner().fit(X, "y", sample_weight=[1.0, 1.0])


def test_neighbour_test_of_large_bins_keeps_its_precision():
    # Rates 9.1% and 12.2% over 425,000 rows: products of the counts pass int64.
    p_value, name = next_bin_test((200_000, 180_000), (20_000, 25_000))
    assert name == "chi2" and p_value < 1e-100


def test_a_weighted_scorecard_equals_one_on_repeated_rows():
    X, score, rng = table()
    X, y = X[["x", "label"]], (score > 0.5).astype(int)
    weights = rng.integers(0, 4, len(y))
    rows = np.repeat(np.arange(len(y)), weights)
    weighted = tb.Scorecard(min_iv=0.0).fit(X, y, sample_weight=weights)
    repeated = tb.Scorecard(min_iv=0.0).fit(X.iloc[rows], y[rows])
    np.testing.assert_allclose(weighted.coef_, repeated.coef_, rtol=1e-6)
    np.testing.assert_allclose(weighted.score(X), repeated.score(X), rtol=1e-6)


QUANTILES = {
    # (values, weights, q): the value at position (W - 1) q of the repeated rows
    "two-rows": ([1.0, 2.0], [1.0, 1.0], 0.75, 1.75),
    "fractional": ([1.0, 2.0], [0.5, 1.0], 0.5, 1.25),
    "under-one-row": ([1.0, 2.0], [0.25, 0.5], 1.0, 1.0),
    "top": ([1.0, 2.0, 5.0], [2.0, 1.0, 1.0], 1.0, 5.0),
}


@pytest.mark.parametrize("values, weights, q, expected", QUANTILES.values(), ids=QUANTILES)
def test_weighted_quantiles_by_hand(values, weights, q, expected):
    assert weighted.quantile(np.array(values), np.array(weights), q) == expected
    y = np.array([*values[::-1], np.nan])
    assert weighted.percentile(y, np.array([*weights[::-1], 9.0]), 100.0 * q) == expected


def test_rows_of_missing_target_stay_out_of_a_weighted_fit():
    X = pd.DataFrame({"x": [1.0, 2.0, 3.0, 4.0]})
    y = np.array([0.0, np.nan, 1.0, 1.0])
    binner = tb.Binner(method="quantile", n_bins=2).fit(X, y, sample_weight=[1.0, 5.0, 1.0, 1.0])
    assert binner.table("x")["count"].iloc[-1] == 3.0
    # A third value of y on a row of weight zero does not make the target continuous.
    y = np.array([0.0, 0.5, 1.0, 1.0])
    dropped = tb.Binner(method="quantile", n_bins=2).fit(X.iloc[[0, 2, 3]], y[[0, 2, 3]])
    weighted_out = tb.Binner(method="quantile", n_bins=2).fit(X, y, sample_weight=[1, 0, 1, 1])
    assert weighted_out.table("x")["events"].tolist() == dropped.table("x")["events"].tolist()
    # An event is above the threshold, not at it.
    table = tb.Binner(target_threshold=2.0).fit(X, np.arange(1.0, 5.0)).table("x")
    assert table["events"].iloc[-1] == 2


def test_weighted_category_counts_keep_their_fractions():
    coded = categories.Coded.of(np.array(["a", "b", "a", None], dtype=object))
    counts = categories.count_categories(coded, np.array([0, 1, 1, 1]), np.array([0.25, 1, 0.5, 2]))
    assert counts.c0.tolist() == [0.25, 0.0] and counts.c1.tolist() == [0.5, 1.0]
    assert (counts.missing_c0, counts.missing_c1) == (0.0, 2.0)


def test_the_totals_summarise_a_continuous_target_weighted():
    X = pd.DataFrame({"x": [1.0, 2.0, 3.0]})
    binner = tb.Binner(method="quantile").fit(X, [1.0, 2.0, 4.0], sample_weight=[1, 1, 2])
    totals = binner.table("x").iloc[-1]
    assert (totals["target_mean"], totals["target_median"]) == (2.75, 3.0)
