"""The scorecard: selection, points on the scale, scores, reasons, persistence, performance
and the stability report, on hand-worked numbers where there are formulas."""

import json
import math

import numpy as np
import pandas as pd
import polars as pl
import pytest
from bitwise import bits
from sklearn.base import BaseEstimator, clone
from sklearn.exceptions import NotFittedError
from sklearn.linear_model import LogisticRegression
from sklearn.pipeline import make_pipeline

import tembrolin as tb
from tembrolin import performance, points
from tembrolin.performance import ScoreCounts


def credit_like(n=2000, seed=3):
    rng = np.random.default_rng(seed)
    age = rng.integers(18, 70, n).astype(float)
    income = rng.lognormal(7, 0.5, n)
    income[::23] = np.nan
    twin = income * (1 + 0.01 * rng.normal(size=n))  # nearly the same as income
    home = rng.choice(["own", "rent", "parents"], n)
    noise = rng.normal(size=n)
    logit = -0.04 * (age - 40) - 0.8 * (np.log(np.nan_to_num(income, nan=900)) - 7)
    logit += 0.7 * (home == "rent") - 1.0
    y = (rng.random(n) < 1 / (1 + np.exp(-logit))).astype(int)
    X = pd.DataFrame({"age": age, "income": income, "twin": twin, "home": home, "noise": noise})
    return X, y


@pytest.fixture(scope="module")
def data():
    return credit_like()


@pytest.fixture(scope="module")
def card(data):
    X, y = data
    return tb.Scorecard(min_iv=0.02).fit(X[:1400], y[:1400])


class FixedModel(BaseEstimator):
    """Any estimator with coef_ and intercept_ will do: this one learns nothing."""

    def __init__(self, coef=-1.0, intercept=0.0):
        self.coef = coef
        self.intercept = intercept

    def fit(self, X, _y):
        self.coef_ = np.full((1, X.shape[1]), self.coef)
        self.intercept_ = np.array([self.intercept])
        return self


def test_selection_keeps_the_stronger_of_a_correlated_pair_and_says_why(card):
    selection = card.selection_
    assert selection["kept"].tolist() == [not r for r in selection["reason"]]
    pair = selection.loc[["income", "twin"]]
    assert pair["kept"].sum() == 1
    weaker = pair.index[~pair["kept"]][0]
    assert "correlación" in selection.loc[weaker, "reason"]
    assert selection.loc["noise", "reason"].startswith("IV ")
    assert card.variables_ == list(selection.index[selection["kept"]])


def test_points_on_the_scale_hand_worked(data):
    X, y = data
    # One variable, coef -1, intercept 0: score = offset + factor * WoE, and a row of WoE w
    # has odds e^w: 600 points at odds 50, 20 more per doubling.
    card = tb.Scorecard(estimator=FixedModel(), min_iv=0.0, max_correlation=1.0)
    card.fit(X[["age"]], y)
    woe = card.binner_.transform(X[["age"]])[:, 0]
    factor = 20 / math.log(2)
    np.testing.assert_allclose(
        card.score(X[["age"]]), 600 + factor * (woe - math.log(50)), rtol=1e-14
    )
    assert card.table()["coefficient"].unique().tolist() == [-1.0]


def test_score_is_the_models_log_odds_on_the_scale(card, data):
    X, _ = data
    p = card.predict_proba(X)[:, 1]
    assert card.classes_.tolist() == [0, 1]  # the event's probability is the second column
    expected = 600 - 20 / math.log(2) * (math.log(50) + np.log(p / (1 - p)))
    np.testing.assert_allclose(card.score(X), expected, rtol=1e-12)
    assert card.min_score_ <= card.score(X).min() <= card.score(X).max() <= card.max_score_
    table = card.table()
    assert card.max_score_ == pytest.approx(table.groupby("variable")["points"].max().sum())
    assert table.index.equals(pd.RangeIndex(len(table)))


def test_rounded_points_are_whole_and_add_up(data):
    X, y = data
    card = tb.Scorecard(rounding=True).fit(X, y)
    score = card.score(X)
    assert np.all(card.table()["points"] % 1 == 0) and np.all(score % 1 == 0)


def test_every_input_kind_gives_the_same_score(card, data):
    X, _ = data
    numeric = X.drop(columns="home")
    card = tb.Scorecard().fit(numeric, data[1])
    score = card.score(numeric)
    named = tb.Scorecard().fit(numeric.assign(target=data[1]), "target")
    np.testing.assert_array_equal(bits(named.score(numeric)), bits(score))
    for other in (pl.from_pandas(numeric), numeric.to_numpy()):
        np.testing.assert_array_equal(bits(card.score(other)), bits(score))


def points_of(card, X):
    """Each row's points in each selected variable, read off the binner's bin numbers."""
    codes = card.binner_.transform(X, "bin")
    names = card.binner_.bins_.names
    return np.column_stack([card.points_[v][codes[:, names.index(v)]] for v in card.variables_])


def test_reason_codes_are_the_costliest_variables(card, data):
    X, _ = data
    reasons = card.reason_codes(X[:50], k=2)
    lost = np.array([card.points_[v].max() for v in card.variables_]) - points_of(card, X[:50])
    np.testing.assert_array_equal(reasons["points_lost_1"], lost.max(axis=1))
    first = np.asarray(card.variables_, dtype=object)[lost.argmax(axis=1)]
    first[lost.max(axis=1) <= 0] = "-"
    assert reasons["reason_1"].fillna("-").tolist() == first.tolist()
    with pytest.raises(ValueError, match=r"^k debe ser"):
        card.reason_codes(X, k=0)


def test_reasons_hand_worked():
    # Points lost against the best bins (10, 8): (0, 3), (7, 0) and none at all.
    got = points.reasons(
        np.array([[10.0, 5.0], [3.0, 8.0], [10.0, 8.0]]), [10.0, 8.0], ["a", "b"], 2
    )
    assert got["reason_1"].fillna("-").tolist() == ["b", "a", "-"]
    assert got["points_lost_1"].tolist() == [3.0, 7.0, 0.0]
    assert got["reason_2"].isna().all()


def test_json_round_trip_is_exact(card, data, tmp_path):
    X, _ = data
    path = tmp_path / "card.json"
    text = card.to_json(path)
    assert json.loads(text)["version"] == 1  # files already saved must stay readable
    loaded = tb.Scorecard.from_json(path)
    assert loaded.to_json() == text
    np.testing.assert_array_equal(bits(loaded.score(X)), bits(card.score(X)))
    pd.testing.assert_frame_equal(loaded.reason_codes(X), card.reason_codes(X))
    pd.testing.assert_frame_equal(loaded.selection_, card.selection_)
    with pytest.raises(ValueError, match="tarjeta de puntuación"):
        tb.Scorecard.from_json_text('{"format": "otro"}')


def test_scikit_learn_conventions(data):
    X, y = data
    numeric = X[["age", "income"]]
    pipeline = make_pipeline(tb.Binner(), LogisticRegression()).fit(numeric, y)
    card = clone(tb.Scorecard(min_iv=0.0, max_correlation=1.0)).fit(numeric, y)
    np.testing.assert_allclose(
        card.predict_proba(numeric), pipeline.predict_proba(numeric), rtol=1e-6
    )


BAD = {
    "pdo": ({"pdo": 0}, "pdo debe ser"),
    "odds": ({"base_odds": -1.0}, "base_odds debe ser"),
    "threshold": ({"max_correlation": 2.0}, "max_correlation debe ser"),
    "none-kept": ({"min_iv": 50.0}, "ninguna variable"),
}


@pytest.mark.parametrize(
    "param, column",
    [("max_share_missing", "share_missing"), ("min_iv", "iv"), ("min_gini", "gini")],
)
def test_a_variable_exactly_at_a_threshold_is_kept(data, param, column):
    X, y = data
    at = tb.Scorecard().fit(X[["age"]], y).selection_.loc["age", column]
    assert tb.Scorecard(**{param: at}).fit(X[["age"]], y).selection_.loc["age", "kept"]


@pytest.mark.parametrize("params, message", BAD.values(), ids=BAD.keys())
def test_refusals_name_the_argument(data, params, message):
    X, y = data
    with pytest.raises(ValueError, match=message):
        tb.Scorecard(**params).fit(X, y)


def test_continuous_target_unfitted_use_and_broken_files_are_refused(data, card):
    X, _ = data
    with pytest.raises(ValueError, match="objetivo binario"):
        tb.Scorecard().fit(X, np.linspace(0.0, 1.0, len(X)))
    with pytest.raises(NotFittedError, match="tarjeta de puntuación no está ajustada"):
        tb.Scorecard().score(X)
    document = json.loads(card.to_json())
    del document["selection"]["reason"]
    with pytest.raises(ValueError, match=r"JSON.*campo ausente o inválido \(KeyError\('reason'"):
        tb.Scorecard.from_json_text(json.dumps(document))


def test_performance_hand_worked():
    # Events at scores 1, 1, 2; non-events at 1, 2, 3, 3. Of the 12 pairs, the event
    # scores lower in 9 and ties in 1: AUC 9.5/12; KS: max |F_event - F_non| = 1 - 2/4.
    counts = ScoreCounts(np.array([1.0, 2.0, 3.0]), np.array([1, 1, 2]), np.array([2, 1, 0]))
    got = performance.metrics(counts)
    assert got["auc"] == pytest.approx(9.5 / 12, rel=1e-14) and got["ks"] == 0.5
    assert got["gini"] == pytest.approx(2 * 9.5 / 12 - 1, rel=1e-14)
    bands = performance.band_table(counts, performance.band_edges(counts, 2))
    assert bands["band"].tolist() == ["(-inf, 2]", "(2, inf)"]
    assert bands["events"].tolist() == [3, 0] and bands["event_rate"].tolist() == [0.6, 0.0]
    assert bands["cumulative_non_events"].tolist() == [0.5, 1.0]
    assert performance.band_edges(counts, 4).tolist() == [1.0, 2.0]  # none at the top score
    one = performance.band_table(counts, performance.band_edges(counts, 1))
    assert one["count"].tolist() == [7]


@pytest.mark.parametrize(
    "c0, c1", [([0, 0], [1, 2]), ([1, 2], [0, 0])], ids=["no-non-events", "no-events"]
)
def test_performance_needs_both_classes(c0, c1):
    with pytest.raises(ValueError, match="necesita eventos y no eventos"):
        performance.metrics(ScoreCounts(np.array([1.0, 2.0]), np.array(c0), np.array(c1)))


def test_stability_report(card, data):
    X, y = data
    ref, cur = X[:1400], X[1400:]
    report = tb.stability_report(card, ref, cur, y[:1400], y[1400:], n_bands=5)
    assert report.bands[["count_reference", "count_current"]].sum().tolist() == [1400, 600]
    shares = report.bands[["share_reference", "share_current"]].to_numpy()
    psi = ((shares[:, 1] - shares[:, 0]) * np.log(shares[:, 1] / shares[:, 0])).sum()
    assert report.psi == pytest.approx(psi, rel=1e-12)
    # The points shift of a variable is the change of its mean points.
    change = points_of(card, cur).mean(axis=0) - points_of(card, ref).mean(axis=0)
    np.testing.assert_allclose(report.variables["points_shift"], change, rtol=1e-9)
    assert list(report.variables.columns) == ["psi", "points_shift"]
    assert report.performance["current"] == performance.metrics(
        performance.count_scores(card, cur, y[1400:])
    )
    assert tb.score_performance(card, cur, y[1400:])[0] == report.performance["current"]
