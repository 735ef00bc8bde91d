"""The optimal method through the package: the fitted tables keep every constraint."""

import itertools

import numpy as np
import pandas as pd
import pytest
from hypothesis import given
from hypothesis import strategies as st
from scipy.stats import norm

import tembrolin as tb


def pvalue(a, b):
    """Two-sided pooled two-proportion z-test of two bins' event rates."""
    (n1, e1), (n2, e2) = a, b
    pooled = (e1 + e2) / (n1 + n2)
    spread = np.sqrt(pooled * (1 - pooled) * (1 / n1 + 1 / n2))
    return 1.0 if spread == 0 else 2 * norm.sf(abs(e1 / n1 - e2 / n2) / spread)


@given(
    seed=st.integers(0, 2**32 - 1),
    share=st.sampled_from([0.0, 0.05, 0.2]),
    max_n_bins=st.sampled_from([None, 2, 4]),
    trend=st.sampled_from([None, "ascending", "descending", "auto", "peak", "valley"]),
    diff=st.sampled_from([0.0, 0.03]),
    max_pvalue=st.sampled_from([None, 0.05]),
    min_events=st.sampled_from([0, 10]),
)
def test_fitted_bins_keep_every_constraint(
    seed, share, max_n_bins, trend, diff, max_pvalue, min_events
):
    rng = np.random.default_rng(seed)
    x = rng.normal(size=600)
    y = (rng.uniform(size=600) < 1 / (1 + np.exp(-1.5 * x * np.sign(rng.normal())))).astype(int)
    x[rng.uniform(size=600) < 0.05] = np.nan
    binner = tb.Binner(
        method="optimal",
        min_bin_share=share,
        max_n_bins=max_n_bins,
        monotonic_trend=trend,
        min_event_rate_diff=diff,
        max_pvalue=max_pvalue,
        min_bin_events=min_events,
    ).fit(x[:, None], y)
    bins = binner.columns_["x0"]
    n = bins.n_regular
    count, events = bins.rows["count"][:n], bins.rows["c1"][:n]
    rate = events / count
    if not bins.feasible:
        assert n == 1 and not binner.summary()["feasible"].iloc[0]
        return
    assert (count >= share * 600 - 1e-9).all() and (events >= min_events).all()
    assert max_n_bins is None or n <= max_n_bins
    steps = np.diff(rate)
    assert (np.abs(steps) >= diff - 1e-12).all()
    if max_pvalue is not None:
        pairs = list(zip(count, events, strict=True))
        assert all(pvalue(a, b) <= max_pvalue + 1e-9 for a, b in itertools.pairwise(pairs))
    shape = {"ascending": steps >= 0, "descending": steps <= 0}.get(bins.trend)
    assert shape is None or shape.all()
    if trend in ("peak", "valley"):
        sign = 1 if trend == "peak" else -1
        turns = np.flatnonzero(np.diff(np.sign(sign * steps[steps != 0])) != 0)
        assert len(turns) <= 1 and (len(turns) == 0 or (sign * steps[steps != 0])[0] > 0)


def test_optimal_bins_group_prebins_and_categories():
    rng = np.random.default_rng(7)
    x = rng.uniform(0, 10, 3000)
    job = rng.choice(["fixed", "partime", "freelance", "others"], 3000)
    logit = -2 + 0.4 * x + 1.5 * (job == "partime")
    y = (rng.uniform(size=3000) < 1 / (1 + np.exp(-logit))).astype(int)
    X = pd.DataFrame({"x": x, "job": job})
    params = {"prebinning": "quantile", "n_prebins": 20, "min_prebin_share": 0.0}
    binner = tb.Binner(method="optimal", monotonic_trend="auto", **params).fit(X, y)
    prebins = tb.Binner(method="quantile", n_bins=20).fit(X[["x"]], y).columns_["x"].splits
    assert set(binner.columns_["x"].splits) <= set(prebins)
    assert binner.columns_["x"].trend == "ascending"
    assert binner.columns_["job"].categories[-1] == ("partime",)
    assert binner.summary()["feasible"].all()


@pytest.mark.parametrize("params", [{"monotonic_trend": "peak"}, {"objective": "kl"}])
def test_optimal_only_options_are_refused_elsewhere(params):
    with pytest.raises(ValueError, match="debe ser"):
        tb.Binner(method="mdlp" if "monotonic_trend" in params else "optimal", **params).fit(
            np.arange(10.0)[:, None], np.arange(10) % 2
        )


# Rates per value of x (100 rows each): one value has no cut, two a cut between them;
# falling rates under an ascending trend get one bin, which keeps the trend.
FEW_VALUES = {
    "one-value": ([1.0], [0.5], {}, []),
    "two-values": ([1.0, 2.0], [0.2, 0.8], {}, [1.0]),
    "against-the-trend": ([1.0, 2.0, 3.0], [0.8, 0.5, 0.2], {"monotonic_trend": "ascending"}, []),
}


@pytest.mark.parametrize("values, rates, params, splits", FEW_VALUES.values(), ids=FEW_VALUES)
def test_optimal_bins_of_a_few_values(values, rates, params, splits):
    x = np.repeat(values, 100)
    y = np.concatenate([np.arange(100) < 100 * rate for rate in rates]).astype(int)
    binner = tb.Binner(method="optimal", **params).fit(x[:, None], y)
    assert binner.columns_["x0"].splits.tolist() == splits
    assert binner.summary().loc["x0", "feasible"]
