"""JSON: standard, exact for every float, and a loaded binner that behaves as the fitted one."""

import json

import numpy as np
import pandas as pd
import pytest

import tembrolin as tb

SPECIALS = [-np.inf, -999.0, 1e308]
SPLITS = [-0.0, 1e-300, 0.1, 2.5]


def bits(values):
    return np.asarray(values, dtype=np.float64).view(np.int64).tolist()


@pytest.fixture(scope="module")
def fitted():
    rng = np.random.default_rng(4)
    X = pd.DataFrame({"a": rng.normal(size=300), "b": rng.integers(-2, 6, 300).astype(float)})
    X.loc[::7, "a"] = -999.0
    X.loc[::11, "b"] = np.nan
    X.loc[::13, "a"] = -np.inf
    y = X["b"].fillna(0) / 3 + rng.normal(size=300)
    binner = tb.Binner(
        special_values=SPECIALS,
        user_splits={"b": SPLITS},
        target_threshold=0.1,
        representative="mean",
    ).fit(X, y)
    return binner, X, y


def test_round_trip_is_exact(fitted, tmp_path):
    binner, X, _ = fitted
    path = tmp_path / "bins.json"
    binner.to_json(path)
    loaded = tb.Binner.from_json(path)
    assert loaded.get_params() == binner.get_params()
    assert loaded.threshold_ == 0.1 and loaded.target_type_ == "continuous"
    for name, bins in binner.columns_.items():
        again = loaded.columns_[name]
        assert bits(again.splits) == bits(bins.splits)
        assert bits(again.special_values) == bits(SPECIALS)
        for key, values in bins.rows.items():
            assert values.dtype == again.rows[key].dtype
            assert bits(values.astype(np.float64)) == bits(again.rows[key].astype(np.float64))
    assert bits(loaded.columns_["b"].splits) == bits(SPLITS)
    for metric in ("woe", "bin", "event_rate", "representative"):
        np.testing.assert_array_equal(loaded.transform(X, metric), binner.transform(X, metric))
    pd.testing.assert_frame_equal(loaded.summary(), binner.summary())


def test_json_is_standard_and_readable(fitted):
    text = fitted[0].to_json()
    document = json.loads(text, parse_constant=lambda c: pytest.fail(f"non-standard {c}"))
    assert document["columns"][1]["splits"] == [-0.0, 1e-300, 0.1, 2.5]
    assert document["columns"][0]["special_values"] == ["-inf", -999.0, 1e308]
    assert max(map(len, text.splitlines())) < 400


FOREIGN = {
    "format": ('{"format": "other"}', "falta 'format'"),
    "version": ('{"format": "tembrolin.Binner", "version": 99}', "versión 99"),
}


@pytest.mark.parametrize("text,words", FOREIGN.values(), ids=FOREIGN)
def test_foreign_json_is_refused(text, words):
    with pytest.raises(ValueError, match=words):
        tb.Binner.from_json(text)


def test_array_fit_reloaded_takes_a_frame_by_position(hand_worked):
    binner, x, _ = hand_worked
    loaded = tb.Binner.from_json(binner.to_json())
    frame = pd.DataFrame({"income": x})
    np.testing.assert_array_equal(loaded.transform(frame), binner.transform(x.reshape(-1, 1)))
    assert not hasattr(loaded, "feature_names_in_")
    pd.testing.assert_frame_equal(loaded.table("x0"), binner.table("x0"))
