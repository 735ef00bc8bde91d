"""Fits on a real local Dask cluster against the single-machine fits of the same data."""

import os
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest
from bitwise import assert_same_rows, bits

import tembrolin as tb
from tembrolin import _native
from tembrolin.cluster import counting, rounding

dask = pytest.importorskip("dask")
dd = pytest.importorskip("dask.dataframe")
dask_distributed = pytest.importorskip("distributed")


@pytest.fixture(scope="module")
def client():
    # The dashboard on any free port: the default one may belong to another cluster.
    cluster = dask_distributed.LocalCluster(
        n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0"
    )
    with cluster, dask_distributed.Client(cluster) as connected:
        # A sanitized run proves something only if the workers load the sanitized build too.
        wanted = os.environ.get("TEMBROLIN_SANITIZED")
        if wanted:
            for path in connected.run(lambda: _native.__file__).values():
                assert path.startswith(wanted), path
        yield connected


def assert_same_fit(one, many, representative="median"):
    assert list(one.columns_) == list(many.columns_)
    assert (one.target_type_, one.threshold_) == (many.target_type_, many.threshold_)
    for name, a in one.columns_.items():
        b = many.columns_[name]
        np.testing.assert_array_equal(bits(a.splits), bits(b.splits), err_msg=name)
        assert_same_rows(a.rows, b.rows, representative)
    pd.testing.assert_frame_equal(one.summary(), many.summary())


def dataset(kind, n=1500, seed=0):
    rng = np.random.default_rng(seed)
    age = rng.integers(18, 70, n).astype(float)
    score = rng.normal(size=n).round(2)
    score[::13] = np.nan
    score[5::97] = np.inf
    score[7::89] = -np.inf
    score[11::50] = -0.0
    debt = rng.integers(0, 8, n).astype(float)
    debt[::29] = -999.0
    home = rng.choice(
        ["own", "rent", "parents", "other", "odd"], n, p=[0.4, 0.3, 0.2, 0.095, 0.005]
    ).astype(object)
    home[::31] = None  # missing, not the text "None"
    home[3] = "lone"  # a special value of one row
    code = rng.integers(0, 5, n)
    X = pd.DataFrame({"age": age, "score": score, "debt": debt, "home": home, "code": code})
    logit = 0.04 * (age - 40) + 0.6 * np.nan_to_num(score, posinf=2, neginf=-2) + 0.2 * debt
    logit += 0.8 * (home == "rent") - 0.3 * code
    if kind == "binary":
        y = (rng.uniform(size=n) < 1 / (1 + np.exp(-logit))).astype(float)
    else:
        y = (logit + rng.normal(size=n)).round(1)
    # The lone special label holds more events than non-events (for a continuous target,
    # above any percentile the cases ask for).
    y[3] = 1.0 if kind == "binary" else y.max()
    return X, y


# One fit per target kind, each through as many of the options as fit together.
CASES = {
    "binary": (
        "binary",
        {"candidates": "neighbour", "special_values": [-999.0], "categorical": ["code"]},
    ),
    "binary-quantile-mean": ("binary", {"method": "quantile", "representative": "mean"}),
    "binary-optimal": (
        "binary",
        {"method": "optimal", "monotonic_trend": "auto", "max_n_bins": 4, "max_pvalue": 0.1},
    ),
    **{
        f"binary-optimal-{kind}": (
            "binary",
            {
                "prebinning": kind,
                "n_prebins": 30,
                "min_prebin_share": 0.01,
                "categorical": ["code"],
            },
        )
        for kind in ("quantile", "boundary")  # the default case above is "cart"
    },
    "binary-iqr-width": ("binary", {"method": "equal_width", "width_range": "iqr"}),
    "threshold": ("continuous", {"target_threshold": 0.5}),
    "continuous": (
        "continuous",
        {
            "target_percentile": 40.0,
            "monotonic_trend": "auto",
            "special_values": {"debt": [-999.0], "home": ["other", "lone"]},
        },
    ),
}


@pytest.mark.parametrize("npartitions", [1, 3, 8])
@pytest.mark.parametrize("case", sorted(CASES))
@pytest.mark.usefixtures("client")
def test_cluster_fit_equals_single_machine_fit(case, npartitions):
    kind, params = CASES[case]
    X, y = dataset(kind)
    one = tb.Binner(**params).fit(X, y)
    ddf = dd.from_pandas(X.assign(target=y), npartitions=npartitions)
    many = tb.Binner(**params).fit(ddf, "target")
    assert_same_fit(one, many, params.get("representative", "median"))

    features = ddf.drop(columns="target")
    for metric in ("bin", "woe"):
        got = many.transform(features, metric=metric).compute().to_numpy()
        np.testing.assert_array_equal(got, one.transform(X, metric=metric))

    def stability(binner, data, _target):
        return tb.stability(binner, data, X.iloc[::2], by_bin=True)

    for report in (stability, tb.discrimination):
        pd.testing.assert_frame_equal(report(many, features, ddf["target"]), report(one, X, y))


@pytest.mark.usefixtures("client")
def test_target_as_a_dask_series_and_errors():
    X, y = dataset("binary", n=300)
    ddf = dd.from_pandas(X, npartitions=2)
    target = dd.from_pandas(pd.Series(y, name="y"), npartitions=2)
    assert_same_fit(tb.Binner().fit(X, y), tb.Binner().fit(ddf, target))
    assert not hasattr(tb.Binner().fit(ddf, target).fit(X, y), "merged_entries_")  # forgotten
    numbered = X.set_axis(range(X.shape[1]), axis=1)  # columns read by label, not by name
    many = tb.Binner().fit(dd.from_pandas(numbered, npartitions=2), target)
    assert_same_fit(tb.Binner().fit(numbered, y), many)
    with pytest.raises(TypeError, match="Series de Dask"):
        tb.Binner().fit(ddf, y)
    with pytest.raises(TypeError, match="solo se admite"):
        tb.Binner().fit(X, y, max_table_bytes=10)
    with pytest.raises(ValueError, match="faltan 'debt'"):
        tb.Binner().fit(ddf, target).transform(ddf.drop(columns="debt"))
    shifted = dd.from_pandas(pd.Series(y, name="y", index=np.arange(300) + 7), npartitions=2)
    with pytest.raises(ValueError, match="y no tiene las mismas filas que X"):
        tb.Binner().fit(ddf, shifted)


@pytest.mark.usefixtures("client")
def test_memory_guard_names_the_column_and_rounding_gets_past_it():
    rng = np.random.default_rng(1)
    X = pd.DataFrame({"income": rng.lognormal(8, 1, 4000), "age": rng.integers(18, 70, 4000)})
    y = (rng.uniform(size=4000) < 0.3).astype(float)
    ddf = dd.from_pandas(X.assign(y=y), npartitions=4)
    budget = 500 * counting.ENTRY_BYTES
    with pytest.raises(MemoryError, match=r"columna 'income'.*round_digits"):
        tb.Binner().fit(ddf, "y", max_table_bytes=budget)

    many = tb.Binner().fit(ddf, "y", max_table_bytes=budget, round_digits={"income": 2})
    rounded = X.assign(income=rounding.round_significant(X["income"].to_numpy(), 2))
    one = tb.Binner().fit(rounded, y)
    for name in one.columns_:
        np.testing.assert_array_equal(one.columns_[name].splits, many.columns_[name].splits)
    assert many.summary().loc["income", "rounding"] == "2 cifras significativas"
    loaded = tb.Binner.from_json_text(many.to_json())
    assert loaded.columns_["income"].rounding == "2 cifras significativas"

    gridded = tb.Binner().fit(ddf, "y", max_table_bytes=budget, round_grid={"income": 500.0})
    assert gridded.columns_["income"].rounding == "múltiplos de 500.0"


@pytest.mark.usefixtures("client")
def test_memory_guard_of_a_continuous_target():
    rng = np.random.default_rng(2)
    frame = pd.DataFrame({"x": rng.integers(0, 5, 1000).astype(float), "y": rng.normal(size=1000)})
    ddf = dd.from_pandas(frame, npartitions=2)
    # The largest table is that of the target's 1000 distinct values, merged: it just fits.
    tb.Binner().fit(ddf, "y", max_table_bytes=1000 * counting.ENTRY_BYTES)
    with pytest.raises(MemoryError, match=r"columna 'y' tiene al menos 1000 "):
        tb.Binner().fit(ddf, "y", max_table_bytes=999 * counting.ENTRY_BYTES)
    with pytest.raises(MemoryError, match=r"columna 'x'"):
        tb.Binner().fit(ddf, "y", max_table_bytes=1)
    # Each of the five bins of x sees all ten values of a coarse target: 50 entries of x's.
    coarse = dd.from_pandas(frame.assign(y=rng.integers(0, 10, 1000) * 1.0), npartitions=2)
    binner = tb.Binner(user_splits={"x": [0.5, 1.5, 2.5, 3.5]})
    with pytest.raises(MemoryError, match=r"columna 'x'"):
        binner.fit(coarse, "y", max_table_bytes=20 * counting.ENTRY_BYTES)


BAD_OPTIONS = {
    "unknown-column": ({"round_digits": {"nope": 2}}, "round_digits menciona columnas"),
    "no-digits": ({"round_digits": {"age": 0}}, "round_digits\\['age'\\]"),
    "negative-grid": ({"round_grid": {"age": -1.0}}, "round_grid\\['age'\\]"),
    "zero-grid": ({"round_grid": {"age": 0.0}}, "round_grid\\['age'\\]"),
    "infinite-grid": ({"round_grid": {"age": np.inf}}, "round_grid\\['age'\\]"),
    "both": ({"round_digits": {"age": 2}, "round_grid": {"age": 1.0}}, "elija uno"),
    "no-budget": ({"max_table_bytes": 0}, "max_table_bytes"),
}


@pytest.mark.parametrize("options, message", BAD_OPTIONS.values(), ids=BAD_OPTIONS.keys())
def test_bad_dask_options_are_named(options, message):
    X, y = dataset("binary", n=50)
    ddf = dd.from_pandas(X.assign(y=y), npartitions=2)
    with pytest.raises(ValueError, match=message):
        tb.Binner().fit(ddf, "y", **options)


@pytest.mark.parametrize("lone", [0.0, 1.0], ids=["one-non-event", "one-event"])
@pytest.mark.usefixtures("client")
def test_cluster_discrimination_of_a_lone_class(hand_worked, lone):
    binner, x, _ = hand_worked
    y = np.full(len(x), 1.0 - lone)
    y[0] = lone
    frame = pd.DataFrame({"x": x, "y": y})
    many = tb.discrimination(binner, dd.from_pandas(frame, npartitions=2), "y")
    pd.testing.assert_frame_equal(many, tb.discrimination(binner, frame[["x"]], y))


def test_rounding_by_hand():
    x = np.array([1234.5, -0.012345, 0.0, np.inf, 151.0])
    np.testing.assert_array_equal(rounding.round_significant(x, 2), [1200, -0.012, 0, np.inf, 150])
    np.testing.assert_array_equal(rounding.round_to_grid(x[[0, 4]], 100.0), [1200.0, 200.0])
    # The smallest of each kind are accepted.
    given = rounding.roundings(["a", "b"], {"a": 1}, {"b": 5e-324})
    assert [r.describe() for r in given.values()] == [
        "1 cifras significativas",
        "múltiplos de 5e-324",
    ]


def _dying_partition(i, frame, flag):
    # The first time partition 1 is read, its worker process dies mid-task.
    if i == 1 and not flag.exists():
        flag.touch()
        os._exit(1)
    return frame


@pytest.mark.usefixtures("client")
def test_a_worker_that_dies_mid_fit_is_retried_and_the_fit_stays_exact(tmp_path):
    X, y = dataset("binary", n=600)
    frame, flag = X.assign(y=y), tmp_path / "died"
    chunks = enumerate(np.array_split(np.arange(len(frame)), 3))
    parts = [dask.delayed(_dying_partition)(i, frame.iloc[rows], flag) for i, rows in chunks]
    ddf = dd.from_delayed(parts, meta=frame.iloc[:0])
    assert_same_fit(tb.Binner().fit(X, y), tb.Binner().fit(ddf, "y"))
    assert flag.exists()  # the worker did die


def test_importing_tembrolin_imports_no_dask_plotting_template_or_browser_library():
    code = (
        "import sys, tembrolin; print(sorted({m.split('.')[0] for m in sys.modules} & "
        "{'dask', 'matplotlib', 'jinja2', 'playwright'}))"
    )
    out = subprocess.run([sys.executable, "-P", "-c", code], capture_output=True, check=True)
    assert out.stdout.decode().strip() == "[]"


@pytest.mark.parametrize("missing_in", ["reference", "current"])
@pytest.mark.usefixtures("client")
def test_cluster_stability_keeps_the_missing_bin_of_one_sample(hand_worked, missing_in):
    binner, x, _ = hand_worked
    with_nan, without = pd.DataFrame({"x": x}), pd.DataFrame({"x": x[:-2]})
    samples = (with_nan, without) if missing_in == "reference" else (without, with_nan)
    one = tb.stability(binner, *samples, by_bin=True)
    many = tb.stability(binner, *(dd.from_pandas(s, npartitions=2) for s in samples), by_bin=True)
    pd.testing.assert_frame_equal(many, one)
    counts = one.loc[("x0", "missing"), ["count_reference", "count_current"]].tolist()
    assert counts == ([2, 0] if missing_in == "reference" else [0, 2])


@pytest.mark.usefixtures("client")
def test_cluster_fit_of_balanced_classes(hand_worked):
    binner, x, y = hand_worked  # 10 events, 10 non-events
    ddf = dd.from_pandas(pd.DataFrame({"x0": x, "y": y}), npartitions=2)
    many = tb.Binner(user_splits={"x0": [2.0]}, special_values=[-999.0]).fit(ddf, "y")
    pd.testing.assert_frame_equal(many.table("x0"), binner.table("x0"))


@pytest.mark.usefixtures("client")
def test_scorecard_on_dask_gives_the_numbers_of_one_machine():
    X, y = dataset("binary")
    card = tb.Scorecard(min_iv=0.0).fit(X, y)
    ddf = dd.from_pandas(X.assign(target=y), npartitions=3)
    features = ddf.drop(columns="target")
    np.testing.assert_array_equal(bits(card.score(features).compute()), bits(card.score(X)))
    pd.testing.assert_frame_equal(
        card.reason_codes(features, k=2).compute().reset_index(drop=True),
        card.reason_codes(X, k=2),
    )
    one = tb.stability_report(card, X, X.iloc[::2], y, y[::2])
    many = tb.stability_report(card, ddf, X.iloc[::2], "target", y[::2])
    assert (many.psi, many.performance) == (one.psi, one.performance)
    for frame in ("bands", "variables", "characteristics"):
        pd.testing.assert_frame_equal(getattr(many, frame), getattr(one, frame))
