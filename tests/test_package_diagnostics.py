"""Stability, discrimination and plots over the fitted bins."""

import matplotlib as mpl
import numpy as np
import pytest

import _tembrolin
import tembrolin as tb

mpl.use("Agg")


@pytest.fixture(scope="module")
def fitted():
    rng = np.random.default_rng(2)
    X = rng.normal(size=(600, 2))
    X[::17, 0] = np.nan
    y = (rng.random(600) < 1 / (1 + np.exp(-X[:, 1]))).astype(float)
    return tb.Binner().fit(X[:400], y[:400]), X, y


def test_stability_is_the_cores_comparison_over_the_splits(fitted):
    binner, X, _ = fitted
    result = tb.stability(binner, X[:400], X[400:])
    tb.stability(binner, X[:400], X[400:], epsilon=1e-300)  # the smallest accepted
    with pytest.raises(ValueError, match="epsilon debe ser"):
        tb.stability(binner, X[:400], X[400:], epsilon=1.5)
    detail = tb.stability(binner, X[:400], X[400:], by_bin=True)
    for j, (name, bins) in enumerate(binner.columns_.items()):
        core = _tembrolin.compare_distributions_native(X[:400, j], X[400:, j], bins.splits)
        assert (result.loc[name, "psi"], result.loc[name, "ks"]) == (core["psi"], core["ks"])
        np.testing.assert_array_equal(detail.loc[name, "psi_bin"], core["psi_bin"])


def test_special_values_are_compared_in_their_own_bin():
    x = np.array([1.0, 2.0, 3.0, -999.0] * 25).reshape(-1, 1)
    y = np.array([0.0, 1.0] * 50)
    binner = tb.Binner(special_values=[-999.0], user_splits={"x0": [2.0]}).fit(x, y)
    detail = tb.stability(binner, x, np.full((10, 1), -999.0), by_bin=True).loc["x0"]
    assert detail["count_current"].tolist() == [0, 0, 10]
    assert detail.index.tolist() == ["(-inf, 2]", "(2, inf)", "special -999"]


def test_discrimination_scores_rows_by_their_bins_event_rate(fitted):
    binner, X, y = fitted
    result = tb.discrimination(binner, X[:400], y[:400])
    summary = binner.summary()
    for name in binner.columns_:
        assert result.loc[name, "gini"] == summary.loc[name, "gini"]
    score = binner.transform(X[:400], metric="event_rate")[:, 1]
    assert result.loc["x1", "auc"] == _tembrolin.lorenz_curve_native(score, y[:400])["auc"]
    for rows in (10, 0):
        with pytest.raises(ValueError, match="necesita eventos y no eventos"):
            tb.discrimination(binner, X[:rows], np.zeros(rows))


@pytest.mark.parametrize("metric", ["event_rate", "woe"])
def test_plots_draw_every_bin_that_holds_rows(fitted, metric):
    binner, X, y = fitted
    for column, empty in (("x0", 0), ("x1", 1)):  # x1 has no missing values: no bar
        ax = binner.plot(column, metric=metric)
        assert len(ax.patches) == len(binner.table(column)) - 1 - empty
        line = ax.figure.axes[1].get_lines()[0].get_ydata()
        np.testing.assert_array_equal(line, binner.table(column)[metric][: len(line)])
    ax = tb.plot_lorenz(binner, X, y)
    curve, _, diagonal = ax.get_lines()
    assert (
        curve.get_xydata()[[0, -1]].tolist() == diagonal.get_xydata().tolist() == [[0, 0], [1, 1]]
    )
    mpl.pyplot.close("all")


def test_plot_draws_special_and_missing_bars_apart(hand_worked):
    binner, x, y = hand_worked
    # The Lorenz curve takes the rows by event rate: special, (-inf, 2], (2, inf), missing.
    curve = tb.plot_lorenz(binner, x.reshape(-1, 1), y).get_lines()[0]
    assert curve.get_xydata().tolist() == [[0, 0], [0.2, 0], [0.8, 0.2], [1, 0.8], [1, 1]]
    ax = binner.plot("x0")
    assert [bar.get_height() for bar in ax.patches] == [0.4, 0.4, 0.1, 0.1]
    grey = [bar.get_facecolor() == mpl.colors.to_rgba("#b0b0b0") for bar in ax.patches]
    assert grey == [False, False, True, True]
    # The line joins the two ordered bins; special and missing rates are points apart.
    line, points = ax.figure.axes[1].get_lines()
    assert ax.figure.axes[1].get_ylim() == (0.0, 1.15)  # the highest rate, 1, and headroom
    assert line.get_xydata().tolist() == [[0.0, 0.25], [1.0, 0.75]]
    assert points.get_xydata().tolist() == [[2.0, 0.0], [3.0, 1.0]]
    mpl.pyplot.close("all")
