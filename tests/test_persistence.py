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
        prebinning="cart",
        min_prebin_share=0.03,
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
        tb.Binner.from_json_text(text)


@pytest.fixture(scope="module")
def saved():
    """A binary fit (numeric with special values, categorical with a pooled group and a
    special label) and a continuous one, as documents."""
    rng = np.random.default_rng(9)
    X = pd.DataFrame(
        {
            "a": rng.normal(size=400),
            "c": rng.choice([*"pqrst", "x", "y"], 400, p=[0.2] * 4 + [0.18, 0.01, 0.01]),
        }
    )
    X.loc[::6, "a"] = -999.0
    X.loc[::9, "a"] = np.inf
    y = (rng.random(400) < 0.2 + 0.4 * (X["a"] > 0) + 0.2 * (X["c"] == "p")).astype(int)
    params = {"special_values": {"a": [-999.0], "c": ["s"]}, "method": "quantile", "n_bins": 4}
    binary = tb.Binner(**params).fit(X, y)
    continuous = tb.Binner().fit(X[["a"]], X["a"].clip(-3, 3) + rng.normal(size=400))
    return json.loads(binary.to_json()), json.loads(continuous.to_json())


def edited(document, path, value):
    """A copy of `document` with the field at `path` set to `value` (DROP: removed)."""
    document = json.loads(json.dumps(document))
    *parents, last = path
    node = document
    for part in parents:
        node = node[part]
    if value is DROP:
        del node[last]
    else:
        node[last] = value(node[last]) if callable(value) else value
    return document


DROP = object()


def one_more(rows):
    """The rows with one more non-event among the missing values, consistent in themselves."""
    for key in ("count", "c0"):
        rows[key][-2] += 1
        rows[key][-1] += 1
    rows["event_rate"][-1] = rows["c1"][-1] / rows["count"][-1]
    return rows


ROWS = ("columns", 0, "rows")
CAT = ("columns", 1)
# id: (continuous fit?, [(field path, new value or function of the old one)], words)
CORRUPTIONS = {
    "cut-repeated": (
        0,
        [(("columns", 0, "splits", 1), lambda v: v - 1e3)],
        r"splits\[1\]: .*mayor",
    ),
    "cut-infinite": (0, [(("columns", 0, "splits", 0), "inf")], r"splits\[0\]: .*finito"),
    "c0-c1-count": (0, [((*ROWS, "c0", 0), lambda v: v + 1)], r"rows\.count\[0\]: .*c0 \+ c1"),
    "totals": (
        0,
        [((*ROWS, "c0", 0), lambda v: v + 1), ((*ROWS, "count", 0), lambda v: v + 1)],
        r"rows\.count\[6\]: \(totales\) .*suma",
    ),
    "totals-across": (
        0,
        [((*CAT, "rows"), one_more)],
        r"columns\[1\]\.rows\.count\[\d+\]: .*todas",
    ),
    "bins-extra": (
        0,
        [(("columns", 0, "bins"), lambda v: [*v, "x"])],
        r"bins: debe tener \d+ etiq",
    ),
    "count-negative": (0, [((*ROWS, "c1", 0), -1)], r"c1\[0\]: debe ser >= 0"),
    "count-fraction": (0, [((*ROWS, "c1", 0), 0.5)], r"count\[0\]: debe ser c0 \+ c1"),
    "count-huge": (0, [((*ROWS, "c1", 0), 2**63)], r"c1\[0\]: debe ser <="),
    "rate-two": (0, [((*ROWS, "event_rate", 0), 2.0)], r"event_rate\[0\]: debe ser <= 1"),
    "rate-wrong": (
        0,
        [((*ROWS, "event_rate", 0), lambda v: v / 2 + 0.01)],
        r"\[0\]: debe ser c1 / count",
    ),
    "rate-off": (0, [((*ROWS, "event_rate", 0), lambda v: v * (1 + 1.5e-12))], r"c1 / count"),
    "rows-short": (0, [((*ROWS, "c1"), lambda v: v[1:])], r"rows\.c1: debe tener \d+ filas"),
    "representative": (0, [((*CAT, "rows", "representative", 0), 1.0)], r"\[0\]: debe ser NaN"),
    "special-nan": (0, [(("columns", 0, "special_values", 0), "nan")], r"values\[0\]: .*número"),
    "special-twice": (0, [(("columns", 0, "special_values", 1), -999)], r"values\[1\]: repite"),
    "category-twice": (
        0,
        [((*CAT, "categories", 1, 0), "p")],
        r"categories\[\d\]\[0\]: repite 'p'",
    ),
    "category-special": (0, [((*CAT, "categories", 0, 0), "s")], r"también un valor especial"),
    "categories-count": (0, [((*CAT, "categories"), lambda v: v[1:])], r"categories: .*grupos"),
    "pooled-unknown": (0, [((*CAT, "pooled", 0), "zz")], r"pooled\[0\]: 'zz' no está"),
    "pooled-alone": (0, [((*CAT, "categories"), DROP)], r"categories: falta el campo"),
    "bin-label": (0, [(("columns", 0, "bins", 0), "zz")], r"bins\[0\]: debe ser '\(-inf, "),
    "names-twice": (0, [((*CAT, "name"), "a")], r"columns\[1\]: repite el nombre"),
    "labels-count": (0, [(("column_labels",), ["a"])], r"column_labels: debe tener 2 etiquetas"),
    "names-swapped": (0, [(("column_labels",), ["c", "a"])], r"column_labels\[0\]: no es"),
    "field-unknown": (0, [((*CAT, "zz"), 1)], r"columns\[1\]\.zz: no es un campo"),
    "field-missing": (0, [(("target",), DROP)], r"target: falta el campo"),
    "field-type": (0, [(("columns",), "a")], r"columns: debe ser una lista"),
    "threshold": (1, [(("target", "threshold"), "inf")], r"target\.threshold: .*finito"),
    "target-enum": (
        1,
        [(("target", "type"), "ordinal")],
        r'type: debe ser "binary" o "continuous"',
    ),
    "labels-ref": (
        0,
        [(("params", "categorical"), 5)],
        r"categorical: debe ser .* o una lista de etiq",
    ),
    "target-kind": (1, [(("target", "type"), "binary")], r"target_mean: .*continuo"),
    "version": (0, [(("version",), 2)], r"versión 2"),
    "param-type": (0, [(("params",), "x")], r"params: debe ser un objeto"),
    "param-unknown": (0, [(("params", "zz"), 1)], r"params\.zz: no es un parámetro"),
    "param-missing": (0, [(("params", "alpha"), DROP)], r"params\.alpha: falta"),
    "param-invalid": (0, [(("params", "method"), "zz")], r"params: .*method"),
    "param-column": (0, [(("params", "special_values"), {"q": [1]})], r"params: .*'q'"),
    "prebinning": (0, [(("params", "prebinning"), "tree")], r"params\.prebinning: debe ser"),
    "prebin-share": (0, [(("params", "min_prebin_share"), 0.6)], r"params\.min_prebin_share"),
}


@pytest.mark.parametrize("kind,edits,words", CORRUPTIONS.values(), ids=CORRUPTIONS)
def test_corrupted_file_is_refused_naming_the_field(saved, kind, edits, words):
    document = saved[kind]
    for path, value in edits:
        document = edited(document, path, value)
    with pytest.raises(ValueError, match=words):
        tb.Binner.from_json_text(json.dumps(document))


def test_the_last_regular_bin_and_the_totals_are_named_exactly(saved):
    last = len(saved[0]["columns"][0]["splits"])
    document = edited(saved[0], (*ROWS, "representative", last), "nan")
    with pytest.raises(ValueError, match=rf"representative\[{last}\]: debe ser un número"):
        tb.Binner.from_json_text(json.dumps(document))
    totals = len(saved[0]["columns"][1]["rows"]["count"]) - 1
    document = edited(saved[0], (*CAT, "rows"), one_more)
    with pytest.raises(ValueError, match=rf"columns\[1\]\.rows\.count\[{totals}\]: "):
        tb.Binner.from_json_text(json.dumps(document))


def test_a_file_saved_before_the_prebinning_parameters_keeps_its_quantile_prebins(saved):
    document = saved[0]
    for name in ("prebinning", "min_prebin_share"):
        document = edited(document, ("params", name), DROP)
    params = tb.Binner.from_json_text(json.dumps(document)).get_params()
    assert (params["prebinning"], params["min_prebin_share"]) == ("quantile", 0.0)


TEXTS = {
    "empty": ("", r"línea 1, columna 1"),
    "truncated": ('{"format": "tembrolin.Binner", "vers', r"texto sin cerrar"),
    "deep": ("[" * 100_000, r"anidado"),
    "deep-65": ("[" * 65 + "]" * 65, r"anidado"),
    "deep-64": ("[" * 64 + "]" * 64, r"falta 'format'"),
    "wide": ("[" + "[]," * 100 + "[]]", r"falta 'format'"),
    "huge-float": ('{"a": 1e400}', r"no cabe en un double"),
    "huge-int": ('{"a": ' + "9" * 5000 + "}", r"demasiadas cifras"),
    "nan-literal": ('{"a": NaN}', r"NaN no es JSON estándar"),
    "key-twice": ('{"a": 1, "a": 2}', r"clave 'a' aparece dos veces"),
    "not-object": ("[]", r"falta 'format'"),
}


@pytest.mark.parametrize("text,words", TEXTS.values(), ids=TEXTS)
def test_hostile_text_is_refused(text, words):
    with pytest.raises(ValueError, match=words):
        tb.Binner.from_json_text(text)


def test_path_and_text_are_not_guessed(saved, tmp_path):
    text = json.dumps(saved[0])
    (tmp_path / "bom.json").write_text("\ufeff" + text, encoding="utf-8")
    assert (
        tb.Binner.from_json(tmp_path / "bom.json").to_json()
        == tb.Binner.from_json_text("\ufeff" + text).to_json()
    )
    (tmp_path / "latin.json").write_bytes(text.replace('"a"', '"á"').encode("latin-1"))
    with pytest.raises(ValueError, match="no es texto UTF-8"):
        tb.Binner.from_json(tmp_path / "latin.json")
    with pytest.raises(IsADirectoryError, match="es una carpeta"):
        tb.Binner.from_json(tmp_path)
    with pytest.raises(FileNotFoundError, match="no existe"):
        tb.Binner.from_json(tmp_path / "none.json")
    with pytest.raises(TypeError, match="from_json_text"):
        tb.Binner.from_json(text.encode())


def test_an_infeasible_fit_is_saved_as_such():
    # Falling rates, a rising trend and two bins at least: no grouping meets them all.
    x = np.repeat([1.0, 2.0, 3.0], 100)
    y = np.concatenate([np.arange(100) < events for events in (80, 50, 20)]).astype(int)
    params = {"method": "optimal", "monotonic_trend": "ascending", "min_n_bins": 2}
    binner = tb.Binner(**params).fit(x[:, None], y)
    loaded = tb.Binner.from_json_text(binner.to_json())
    assert not binner.columns_["x0"].feasible and not loaded.columns_["x0"].feasible
    assert loaded.columns_["x0"].pooled == () and loaded.columns_["x0"].categories is None
    with pytest.raises(TypeError, match=r"^text debe ser un str con el JSON; se recibió int"):
        tb.Binner.from_json_text(5)


def test_array_fit_reloaded_takes_a_frame_by_position(hand_worked):
    binner, x, _ = hand_worked
    loaded = tb.Binner.from_json_text(binner.to_json())
    frame = pd.DataFrame({"income": x})
    np.testing.assert_array_equal(loaded.transform(frame), binner.transform(x.reshape(-1, 1)))
    assert not hasattr(loaded, "feature_names_in_")
    pd.testing.assert_frame_equal(loaded.table("x0"), binner.table("x0"))
