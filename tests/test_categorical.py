"""Categorical columns, targets read without guessing, and infinities in rows of their own."""

import json

import numpy as np
import pandas as pd
import polars as pl
import pytest
from hypothesis import given
from hypothesis import strategies as st

import tembrolin as tb


def categories(sizes_events, seed=0):
    """A column whose category i has the given (rows, events), in shuffled row order."""
    labels, y = [], []
    for name, (rows, events) in sizes_events.items():
        labels += [name] * rows
        y += [1.0] * events + [0.0] * (rows - events)
    order = np.random.default_rng(seed).permutation(len(y))
    return np.array(labels, dtype=object)[order], np.array(y)[order]


def test_categories_are_ordered_by_event_rate_pooled_when_rare_and_binned_as_sets():
    x, y = categories(
        {"A": (200, 190), "B": (200, 100), "C": (200, 10), "r1": (2, 2), "r2": (2, 0), None: (6, 3)}
    )
    binner = tb.Binner(min_category_share=0.01, min_bin_share=0.0).fit(pd.DataFrame({"c": x}), y)
    bins = binner.columns_["c"]
    assert bins.pooled == ("r1", "r2")
    assert bins.categories == (("C",), ("B", "r1", "r2"), ("A",))  # pooled rate 0.5 ties B
    table = binner.table("c")
    assert table["bin"].tolist() == ["C", "B, r1, r2", "A", "missing", "total"]
    assert table["count"].tolist() == [200, 204, 200, 6, 610]
    assert table["events"].tolist() == [10, 102, 190, 3, 305]
    Z = binner.transform(pd.DataFrame({"c": ["A", "r2", None, "new"]}), metric="bin")
    assert Z[:, 0].tolist() == [2, 1, 3, -1]
    # A single rare category has nothing to be pooled with.
    alone = tb.Binner(min_category_share=0.01).fit(pd.DataFrame({"c": x[x != "r2"]}), y[x != "r2"])
    assert alone.columns_["c"].pooled == ()


@given(st.lists(st.integers(0, 40), min_size=2, max_size=7, unique=True), st.randoms())
def test_renaming_the_categories_leaves_the_bins_contents_unchanged(events, random):
    names = [f"k{i}" for i in range(len(events))]
    x, y = categories({n: (40, e) for n, e in zip(names, events, strict=True)})
    renamed = dict(zip(names, random.sample([f"z{i}" for i in range(99)], len(names)), strict=True))
    fits = [
        tb.Binner(min_bin_share=0.0).fit(pd.DataFrame({"c": xs}), y)
        for xs in (x, np.array([renamed[v] for v in x], dtype=object))
    ]
    a, b = (f.columns_["c"] for f in fits)
    assert [{renamed[v] for v in bin_} for bin_ in a.categories] == [set(s) for s in b.categories]
    for key in ("count", "c0", "c1"):
        np.testing.assert_array_equal(a.rows[key], b.rows[key])


def test_frames_of_every_kind_give_the_same_bins_and_json_keeps_label_types():
    x, y = categories({"own": (300, 30), "rent": (300, 150), "parents": (100, 60)})
    codes = np.where(x == "own", 1, np.where(x == "rent", 2, 3))
    flags = x == "rent"
    frame = pd.DataFrame({"home": x, "code": codes, "flag": flags})
    params = {
        "categorical": ["code"],
        "min_bin_share": 0.0,
        "special_values": {"home": ["parents"]},
    }
    fits = [
        tb.Binner(**params).fit(X, y)
        for X in (
            frame,
            frame.astype({"home": "category"}),
            pl.from_pandas(frame).with_columns(pl.col("home").cast(pl.Categorical)),
        )
    ]
    for other in fits[1:]:
        for name in frame:
            pd.testing.assert_frame_equal(fits[0].table(name), other.table(name))
    loaded = tb.Binner.from_json_text(fits[0].to_json())
    assert {type(v) for s in loaded.columns_["code"].categories for v in s} == {int}
    assert {type(v) for s in loaded.columns_["flag"].categories for v in s} == {bool}
    assert loaded.columns_["home"].special_values == ("parents",)
    np.testing.assert_array_equal(loaded.transform(frame), fits[0].transform(frame))
    assert json.loads(fits[0].to_json())["columns"][0]["categories"] == [["own"], ["rent"]]


def test_a_list_of_special_values_gives_numeric_columns_its_numbers():
    x, y = categories({"own": (300, 30), "rent": (300, 150), "desconocido": (50, 10)})
    X = pd.DataFrame({"home": x, "v": np.where(x == "desconocido", -999.0, np.arange(650.0))})
    binner = tb.Binner(special_values=[-999.0, "desconocido"]).fit(X, y)
    assert binner.columns_["home"].special_values == (-999.0, "desconocido")
    assert binner.columns_["v"].special_values == (-999.0,)


def test_unknown_values_are_neutral_or_refused():
    x, y = categories({"a": (100, 10), "b": (100, 60)})
    X = pd.DataFrame({"c": x, "v": np.arange(200.0)})
    binner = tb.Binner(min_bin_share=0.0).fit(X, y)
    new = pd.DataFrame({"c": ["zz", "a"], "v": [np.inf, 1.0]})
    woe = binner.transform(new)
    assert woe[0].tolist() == [0.0, 0.0]
    assert binner.transform(new, metric="event_rate")[0].tolist() == [0.35, 0.35]
    with pytest.raises(ValueError, match=r"columna 'c' tiene valores que el ajuste no vio: 'zz'"):
        binner.set_params(handle_unknown="error").transform(new)


def test_infinities_get_rows_of_their_own_out_of_the_search():
    rng = np.random.default_rng(3)
    x = rng.normal(size=2000)
    y = (rng.uniform(size=2000) < 1 / (1 + np.exp(-2 * x))).astype(float)
    with_inf = x.copy()
    with_inf[:300] = np.inf
    y[:300] = 1.0
    params = {"method": "quantile", "n_bins": 5, "monotonic_trend": None}
    finite = tb.Binner(**params).fit(x[300:, None], y[300:]).columns_["x0"]
    bins = tb.Binner(**params).fit(with_inf[:, None], y).columns_["x0"]
    assert bins.special_values == (np.inf,)
    np.testing.assert_array_equal(bins.splits, finite.splits)
    n = bins.n_regular
    np.testing.assert_array_equal(bins.rows["c1"][:n], finite.rows["c1"][:n])
    assert bins.rows["count"][n] == 300


@pytest.mark.parametrize(
    "y, kind",
    [
        (np.array([0, 1, 1, 0]), "binary"),
        (np.array([True, False, True, True]), "binary"),
        (np.array([0.5, 1.5, 2.5, 3.5]), "continuous"),
        (np.array([0.0, 1.0, np.nan, 1.0]), "binary"),
    ],
    ids=["int", "bool", "float", "missing"],
)
def test_targets_read_by_their_values_and_type(y, kind):
    binner = tb.Binner().fit(np.arange(4.0)[:, None], y)
    assert binner.target_type_ == kind
    assert binner.summary().get("target_missing", pd.Series([0])).tolist() == [
        int(np.isnan(y.astype(float)).sum())
    ]


@pytest.mark.parametrize(
    "specials", [[1, 1], [1, 1.0], [-0.0, 0.0]], ids=["twice", "1-1.0", "zeros"]
)
def test_special_values_equal_as_numbers_are_one(specials):
    x = np.repeat([0.0, 1.0, 2.0], 10)
    y = np.tile([0.0, 1.0], 15)
    bins = tb.Binner(special_values=specials).fit(x[:, None], y).columns_["x0"]
    assert len(bins.special_values) == 1
    assert bins.rows["count"][:-1].sum() == bins.rows["count"][-1] == 30


def test_columns_are_matched_by_labels_of_any_type():
    rng = np.random.default_rng(0)
    X = pd.DataFrame(rng.normal(size=(300, 2)), columns=[0, ("a", 1)])
    y = (X[0] + rng.normal(size=300) > 0).astype(int)
    binner = tb.Binner().fit(X, y)
    np.testing.assert_array_equal(binner.transform(X[[("a", 1), 0]]), binner.transform(X))
    loaded = tb.Binner.from_json_text(binner.to_json())
    np.testing.assert_array_equal(loaded.transform(X[[("a", 1), 0]]), binner.transform(X))
    with pytest.raises(ValueError, match=r"faltan '0'.*sobran '1'"):
        binner.transform(X.set_axis([1, ("a", 1)], axis=1))
    assert tb.Binner().fit(X.to_numpy(), y).transform(X).shape == (300, 2)  # by position


def test_integers_past_two_to_the_53_read_as_numpy_reads_them():
    values = 2**60 + np.arange(200) * 2**12
    y = (np.arange(200) % 3 == 0).astype(int)
    arrow = pd.DataFrame({"v": pd.Series(values, dtype="int64[pyarrow]")})
    fits = [tb.Binner().fit(X, y) for X in (arrow, pd.DataFrame({"v": values}))]
    pd.testing.assert_frame_equal(fits[0].table("v"), fits[1].table("v"))
