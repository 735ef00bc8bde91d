"""The estimator as users call it: input kinds, errors, threads, scikit-learn conventions."""

import doctest

import numpy as np
import pandas as pd
import polars as pl
import pytest
from sklearn.exceptions import NotFittedError
from sklearn.pipeline import make_pipeline
from sklearn.utils.estimator_checks import parametrize_with_checks

import tembrolin as tb


def sample(n=400, seed=0):
    rng = np.random.default_rng(seed)
    age, income = rng.integers(18, 80, n).astype(float), np.round(rng.lognormal(7, 0.5, n), -1)
    frame = pd.DataFrame({"age": age, "income": income, "debt": rng.normal(size=n)})
    frame.loc[rng.random(n) < 0.1, "income"] = np.nan
    logit = (frame["age"] - 45) / 10 - frame["debt"]
    y = (rng.random(n) < 1 / (1 + np.exp(-logit))).astype(float)
    return frame, y.to_numpy()


@pytest.fixture(scope="module")
def fitted():
    X, y = sample()
    return tb.Binner(min_bin_share=0.05).fit(X, y), X, y


def test_input_kinds_give_the_same_bins(fitted):
    binner, X, y = fitted
    from_polars = tb.Binner(min_bin_share=0.05).fit(pl.from_pandas(X), y)
    from_array = tb.Binner(min_bin_share=0.05).fit(X.to_numpy(), y)
    by_name = tb.Binner(min_bin_share=0.05).fit(X.assign(target=y), "target")
    assert list(by_name.columns_) == list(binner.columns_)
    for position, (name, bins) in enumerate(binner.columns_.items()):
        for fit, column in ((from_polars, name), (from_array, f"x{position}"), (by_name, name)):
            np.testing.assert_array_equal(fit.columns_[column].splits, bins.splits)
    np.testing.assert_array_equal(from_polars.transform(pl.from_pandas(X)), binner.transform(X))
    # Columns are matched by name, not position.
    reordered = X[list(reversed(X.columns))]
    np.testing.assert_array_equal(binner.transform(reordered), binner.transform(X))


def test_nulls_and_target_forms_are_read_alike():
    # Nulls of a nullable column are missing values; y as a column, or as booleans.
    X = pd.DataFrame({"a": pd.array([1, 2, None, 4] * 10, dtype="Int64")})
    y = np.array([0.0, 1.0, 1.0, 0.0] * 10)
    binner = tb.Binner(method="quantile", n_bins=2, monotonic_trend=None)
    for X_form, y_form in ((X, y.reshape(-1, 1)), (pl.from_pandas(X), pd.Series(y > 0))):
        table = binner.fit(X_form, y_form).table("a")
        assert table["count"].tolist() == [20, 10, 10, 40]
        assert table["events"].tolist() == [10, 0, 10, 20]
    # One class only: no Lorenz curve, so no AUC or Gini.
    for one_class in (np.zeros(40), np.ones(40)):
        assert binner.fit(X, one_class).summary()[["auc", "gini"]].isna().all(axis=None)


@pytest.mark.parametrize(
    "params",
    [
        {"min_bin_share": 0.0, "alpha": 0.0, "beta": 0.0},
        {"min_bin_share": 0.5},
        {"n_bins": 1},
        {"n_jobs": -1},
    ],
    ids=["zeros", "largest-share", "one-bin", "every-core"],
)
def test_parameters_at_their_bounds_are_accepted(fitted, params):
    _, X, y = fitted
    tb.Binner(method="quantile" if "n_bins" in params else "mdlp", **params).fit(X, y)


def test_refit_forgets_what_the_last_fit_had(fitted):
    _, X, y = fitted
    binner = tb.Binner().fit(X, y)
    binner.fit(X.to_numpy(), y)
    assert not hasattr(binner, "feature_names_in_") and not hasattr(binner, "merged_entries_")


def test_threads_give_the_same_result(fitted):
    _, X, y = fitted
    X = pd.concat([X.add_suffix(f"_{i}") for i in range(4)], axis=1)
    one = tb.Binner(monotonic_trend="auto", n_jobs=1).fit(X, y)
    two = tb.Binner(monotonic_trend="auto", n_jobs=2).fit(X, y)
    assert one.to_json() == two.set_params(n_jobs=1).to_json()


def test_set_output_and_pipeline(fitted):
    _, X, y = fitted
    out = tb.Binner().set_output(transform="pandas").fit(X, y).transform(X)
    assert list(out.columns) == list(X.columns)
    assert make_pipeline(tb.Binner()).fit(X, y).transform(X).shape == X.shape
    # An array's columns take the names given, a frame's must be its own.
    given = tb.Binner().fit(X.to_numpy(), y).get_feature_names_out(["a", "b", "c"])
    assert given.tolist() == ["a", "b", "c"]
    assert tb.Binner().fit(X, y).get_feature_names_out(X.columns).tolist() == list(X.columns)
    assert tb.Binner().__sklearn_tags__().target_tags.required  # supervised: no fit without y


def test_integer_column_names_match_by_label_and_take_options():
    X = pd.DataFrame({0: [1.0, 2.0, 3.0, 4.0, -1.0] * 8, 1: [5.0, 6.0, 7.0, 8.0, 9.0] * 8})
    y = np.array([0.0, 0.0, 1.0, 1.0, 1.0] * 8)
    binner = tb.Binner(special_values={0: [-1.0]}, user_splits={1: [6.5]}).fit(X, y)
    assert list(binner.columns_) == ["0", "1"] and not hasattr(binner, "feature_names_in_")
    assert binner.table(0)["bin"].tolist()[2] == "special -1"
    assert binner.columns_["1"].splits.tolist() == [6.5]
    np.testing.assert_array_equal(binner.transform(X[[1, 0]]), binner.transform(X.to_numpy()))
    with pytest.raises(ValueError, match="faltan '0', '1'; sobran 'a', 'b'"):
        binner.transform(X.set_axis(["a", "b"], axis=1))


def refit(**params):
    return lambda b, X, y: b.set_params(**params).fit(X, y)


def names_out(names):
    return lambda b, X, y: b.fit(X, y).get_feature_names_out(names)


ERRORS = {
    "dates": (
        lambda b, X, y: b.fit(X.assign(when=pd.Timestamp(2020, 1, 1)), y),
        TypeError,
        "'when' es de tipo",
    ),
    "no-columns": (lambda b, X, y: b.fit(X[[]], y), ValueError, "X no tiene columnas"),
    "weights-mdlp": (
        lambda b, X, y: b.set_params(method="mdlp").fit(X, y, sample_weight=y + 1),
        ValueError,
        "'age' usa method='mdlp', que no admite sample_weight",
    ),
    "weights-negative": (
        lambda b, X, y: b.fit(X, y, sample_weight=y - 0.5),
        ValueError,
        "sample_weight debe tener pesos finitos y no negativos",
    ),
    "weights-zero": (lambda b, X, y: b.fit(X, y, sample_weight=0 * y), ValueError, "algún peso"),
    "weights-length": (lambda b, X, y: b.fit(X, y, sample_weight=y[1:]), ValueError, r"\(399,\)"),
    "weights-text": (
        lambda b, X, y: b.fit(X, y, sample_weight=["a"] * len(y)),
        TypeError,
        "sample_weight debe ser una lista de números",
    ),
    "y-length": (lambda b, X, y: b.fit(X, y[:-1]), ValueError, "y tiene 399 valores"),
    "y-none": (lambda b, X, _: b.fit(X, None), ValueError, "y es obligatorio"),
    "y-inf": (lambda b, X, y: b.fit(X, np.where(y > 0, np.inf, y)), ValueError, "infinitos"),
    "y-1-2": (lambda b, X, y: b.fit(X, y + 1), ValueError, r"valores 1, 2, que no son 0 y 1"),
    "y-codes": (
        lambda b, X, y: b.fit(X, (y + np.arange(len(y)) % 2).astype(int)),
        ValueError,
        r"\(entero\) tiene los valores 0, 1, \.\.\.",
    ),
    "y-text": (lambda b, X, y: b.fit(X, pd.Series(["a"] * len(y))), ValueError, "y debe ser num"),
    "y-name": (lambda b, X, _: b.fit(X, "bad"), ValueError, "y menciona columnas .*'bad'"),
    "unfitted": (lambda b, X, _: b.transform(X), NotFittedError, "llame a fit"),
    "unknown-column": (lambda b, X, y: b.fit(X, y).table("edad"), KeyError, "desconocida 'edad'"),
    "missing-column": (
        lambda b, X, y: b.fit(X, y).transform(X.drop(columns="age")),
        ValueError,
        "faltan 'age'",
    ),
    "extra-column": (lambda b, X, y: b.fit(X, y).transform(X.assign(z=1.0)), ValueError, "sobran"),
    "column-count": (
        lambda b, X, y: b.fit(X.to_numpy(), y).transform(X.to_numpy()[:, :2]),
        ValueError,
        "X tiene 2 columnas",
    ),
    "names-out-count": (names_out(["age"]), ValueError, "X tiene 1 columnas"),
    "names-out-differ": (
        names_out(["age", "income", "deuda"]),
        ValueError,
        "faltan 'debt'; sobran",
    ),
    "bad-method": (refit(method="tree"), ValueError, "method debe ser"),
    "prebinning": (refit(prebinning="tree"), ValueError, "prebinning debe ser 'quantile' o"),
    "prebin-share": (
        refit(min_prebin_share=0.6),
        ValueError,
        "min_prebin_share debe ser un número entre 0 y 0.5",
    ),
    "prebin-share-text": (refit(min_prebin_share="0.1"), ValueError, "min_prebin_share debe"),
    "special-unknown": (
        refit(special_values={"edad": [-1]}),
        ValueError,
        "special_values menciona columnas que X no tiene: 'edad'",
    ),
    "special-nan": (refit(special_values=[np.nan]), ValueError, "special_values no admite NaN"),
    "special-text": (
        refit(special_values={"age": ["x"]}),
        ValueError,
        r"special_values\['age'\] debe ser una lista de números",
    ),
    "special-scalar": (refit(special_values=5), ValueError, "special_values debe ser una lista"),
    "alpha": (refit(alpha=-1), ValueError, "alpha debe ser"),
    "quantile-text": (refit(lower_quantile="0.1"), ValueError, "lower_quantile debe ser"),
    "iqr-k": (refit(iqr_k="x"), ValueError, "iqr_k debe ser"),
    "huge-n-bins": (refit(n_bins=2**63), ValueError, "n_bins debe ser un entero de 1 a"),
    "method-array": (refit(method=np.array(["mdlp"])), ValueError, "method debe ser"),
    "force-text": (refit(force_first_split="no"), ValueError, "force_first_split debe ser"),
    "special-set": (refit(special_values={1.0}), ValueError, "special_values debe ser una lista"),
    "sort-by": (lambda b, X, y: b.fit(X, y).summary(sort_by="zz"), ValueError, "sort_by debe"),
    "table-list": (lambda b, X, y: b.fit(X, y).table(["a"]), KeyError, "columna desconocida"),
    "epsilon": (
        lambda b, X, y: tb.stability(b.fit(X, y), X, X, epsilon=np.inf),
        ValueError,
        "epsilon debe ser",
    ),
    "duplicates": (
        lambda b, X, y: b.fit(pd.concat([X, X[["age"]]], axis=1), y),
        ValueError,
        "columnas con el mismo nombre: 'age'",
    ),
    "n-bins-fraction": (
        refit(method="quantile", n_bins=2.5),
        ValueError,
        "n_bins debe ser un entero",
    ),
    "n-jobs-fraction": (refit(n_jobs=1.5), ValueError, "n_jobs debe ser un entero"),
    "prebins-over": (refit(n_prebins=1001), ValueError, "n_prebins debe ser un entero de 2 a 1000"),
    "share-over": (refit(max_bin_share=1.5), ValueError, "max_bin_share debe ser"),
    "pvalue-over": (refit(max_pvalue=1.5), ValueError, "max_pvalue debe ser"),
    "diff-over": (refit(min_event_rate_diff=1.5), ValueError, "min_event_rate_diff debe ser"),
    "splits-not-per-column": (refit(user_splits=[1.0]), ValueError, "user_splits debe ser un dict"),
}


@pytest.mark.parametrize("call, error, words", ERRORS.values(), ids=ERRORS.keys())
def test_errors_name_the_column_or_argument(fitted, call, error, words):
    _, X, y = fitted
    with pytest.raises(error, match=words):
        call(tb.Binner(), X, y)


@pytest.mark.parametrize(
    "cuts",
    [[np.inf], [3.0, 1.0], [2.0, 2.0], None, ["a"]],
    ids=["inf", "order", "twice", "none", "text"],
)
def test_user_splits_are_refused_naming_the_column(fitted, cuts):
    _, X, y = fitted
    with pytest.raises(ValueError, match=r"^user_splits\['age'\] debe ser una lista"):
        tb.Binner(user_splits={"age": cuts}).fit(X, y)


# English messages are matched by these checks; ours are Spanish by design.
SPANISH = "the check matches an English message; the package speaks Spanish"


# The checks' targets are integer class codes, which a binner reads only when told where
# an event starts.
@parametrize_with_checks(
    [tb.Binner(target_threshold=0.5), tb.Binner(method="quantile", n_bins=4, target_threshold=0.5)],
    expected_failed_checks=lambda _: {
        "check_n_features_in_after_fitting": SPANISH,
        "check_dataframe_column_names_consistency": SPANISH,
        "check_requires_y_none": SPANISH,
        "check_complex_data": SPANISH,
        "check_dtype_object": SPANISH,
        "check_estimators_empty_data_messages": SPANISH,
        "check_fit2d_predict1d": SPANISH,
        "check_all_zero_sample_weights_error": SPANISH,
    },
)
def test_sklearn_conventions(estimator, check):
    check(estimator)


@pytest.mark.parametrize("module", [tb.binner, tb.tables], ids=lambda m: m.__name__)
def test_docstring_examples_run(module):
    assert doctest.testmod(module, raise_on_error=True).attempted > 0


@pytest.mark.parametrize("dtype", [np.float64, np.int32], ids=["float", "int"])
@pytest.mark.parametrize("n_jobs", [1, 2])
def test_row_major_columns_read_in_groups(monkeypatch, dtype, n_jobs):
    # Blocks of 7 rows and 19 columns: partial blocks and a partial last group; column 9
    # read as labels leaves its group waiting for it.
    monkeypatch.setattr(tb._frames, "ROW_BLOCK", 7)
    rng = np.random.default_rng(5)
    X = rng.integers(-20, 20, (300, 19)).astype(dtype)
    y = (rng.random(300) < 0.4).astype(float)
    params = {"method": "mdlp", "categorical": ["x9"], "n_jobs": n_jobs}
    by_rows = tb.Binner(**params).fit(X, y)
    by_columns = tb.Binner(**params).fit(np.asfortranarray(X), y)
    assert by_rows.to_json() == by_columns.to_json()
    np.testing.assert_array_equal(by_rows.transform(X), by_columns.transform(X))
