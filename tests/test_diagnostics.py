import math
import os

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st
from hypothesis.extra.numpy import arrays

import _tembrolin as t

NAN, INF = float("nan"), float("inf")
# A small pool of values, so that ties, signed zeros and infinities are common.
pooled = st.sampled_from([-INF, -2.5, -1.0, -0.0, 0.0, 0.5, 1.0, 3.0, INF, NAN])
samples = arrays(np.float64, st.integers(1, 40), elements=pooled)
splits = st.lists(st.sampled_from([-2.0, -1.0, 0.0, 0.5, 1.0, 2.5]), unique=True).map(sorted)


def compare(ref, cur, s, **kw):
    return t.compare_distributions_native(ref, cur, s, **kw)


def test_compare_worked_example():
    r = compare([1, 2, 3, 4], [1, 1, 5, NAN], [2])
    assert r["count_reference"].tolist() == [2, 2, 0] and r["count_current"].tolist() == [2, 1, 1]
    assert r["proportion_current"].tolist() == [0.5, 0.25, 0.25]
    assert r["cumulative_reference"].tolist() == [0.5, 1, 1]
    assert r["cumulative_current"].tolist() == [0.5, 0.75, 1]
    assert r["psi_bin"] == pytest.approx([0, 0.25 * math.log(2), 0.25 * math.log(0.25 / 1e-12)])
    assert (r["psi"], r["ks"]) == (pytest.approx(6.734468, abs=1e-6), 0.25)
    assert r["count_reference"].dtype == np.int64 and list(r) == [
        "count_reference", "count_current", "proportion_reference", "proportion_current",
        "cumulative_reference", "cumulative_current", "psi_bin", "psi", "ks"]


@pytest.mark.parametrize("ref, cur, s, counts_ref, counts_cur", [
    ([1.0, 2.0], [3.0], [], [2], [1]),
    ([1.0, 2.0, 2.5], [2.0], [1.0, 2.0], [1, 1, 1], [0, 1, 0]),
    ([-INF, INF], [0.0], [0.0], [1, 1], [1, 0]),
    ([1.0], [1.0, NAN], [0.0], [0, 1, 0], [0, 1, 1]),
    ([NAN, NAN], [5.0], [0.0], [0, 0, 2], [0, 1, 0]),
], ids=["no-splits", "right-closed", "infinities", "nan-one-side", "all-nan"])
def test_compare_bins(ref, cur, s, counts_ref, counts_cur):
    r = compare(ref, cur, s)
    assert r["count_reference"].tolist() == counts_ref
    assert r["count_current"].tolist() == counts_cur


def test_compare_psi_floor_and_nan_epsilon():
    # Bin 1 empty in both (term 0), bin 2 empty in the current sample only.
    assert compare([0, 5, 5, 5], [0], [1, 2])["psi_bin"].tolist() == [
        math.log(0.25) * (0.25 - 1), 0.0, 0.75 * math.log(0.75 / 1e-12)]
    nan_eps = compare([0, 5], [0], [1, 2], epsilon=NAN)["psi_bin"]
    assert nan_eps[0] == math.log(0.5) * -0.5 and math.isnan(nan_eps[1]) and nan_eps[2] == INF


@pytest.mark.parametrize("ref, cur, s, eps, message", [
    ([], [1.0], [1.0, 1.0], 1e-12, "muestras vacías o epsilon inválido"),
    ([1.0], [], [], 1e-12, "muestras vacías o epsilon inválido"),
    ([1.0], [1.0], [], 0.0, "muestras vacías o epsilon inválido"),
    ([1.0], [1.0], [], -1.0, "muestras vacías o epsilon inválido"),
    ([1.0], [1.0], [1.0, 1.0], 1e-12, "splits deben ser finitos"),
    ([1.0], [1.0], [1.0, INF], 1e-12, "splits deben ser finitos"),
    ([1.0], [1.0], [NAN], 1e-12, "splits deben ser finitos"),
    ([1.0], [1.0], [2.0, 1.0], 1e-12, "splits deben ser finitos"),
], ids=["empty-ref", "empty-cur", "eps-0", "eps-neg", "dup", "inf", "nan", "decreasing"])
def test_compare_errors(ref, cur, s, eps, message):
    with pytest.raises(ValueError, match="^compare_distributions: " + message):
        compare(ref, cur, s, epsilon=eps)


@given(samples, samples, splits)
def test_compare_against_numpy_and_symmetry(ref, cur, s):
    r, swapped = compare(ref, cur, s), compare(cur, ref, s)
    k = len(s)
    rows = k + 2 if np.isnan(ref).any() or np.isnan(cur).any() else k + 1
    for sample, key in ((ref, "count_reference"), (cur, "count_current")):
        bins = np.where(np.isnan(sample), k + 1, np.searchsorted(s, sample, side="left"))
        assert r[key].tolist() == np.bincount(bins, minlength=k + 2)[:rows].tolist()
        cum = np.cumsum(r[key.replace("count", "proportion")])
        assert r[key.replace("count", "cumulative")].tolist() == cum.tolist()
        assert cum[-1] == pytest.approx(1.0, abs=1e-12)
    assert swapped["psi_bin"] == pytest.approx(r["psi_bin"], rel=1e-12, abs=1e-15)
    assert swapped["ks"] == pytest.approx(r["ks"], abs=1e-15)


def test_lorenz_worked_example():
    r = t.lorenz_curve_native([1, 2, 2, 3], [0, 0, 1, 1])
    assert [r["value"].tolist(), r["cumulative_non_event"].tolist(),
            r["cumulative_event"].tolist()] == [[1, 2, 3], [0.5, 1, 1], [0, 0.5, 1]]
    assert (r["auc"], r["gini"]) == (0.875, 0.75) and list(r)[3:] == ["auc", "gini"]


@pytest.mark.parametrize("x, y, values, auc", [
    ([4.0, 4.0, 4.0], [0, 1, 1], [4.0], 0.5),
    ([1.0, 2.0, 3.0, 4.0], [0, 0, 1, 1], [1, 2, 3, 4], 1.0),
    ([1.0, 2.0, 3.0, 4.0], [1, 1, 0, 0], [1, 2, 3, 4], 0.0),
    ([INF, NAN, -INF, 0.0], [1, 7, 0, 1], [-INF, 0.0, INF], 1.0),
    ([0.0, -0.0, 1.0], [1, 0, 0], [0.0], 0.25),
    ([-0.0, 0.0, 1.0], [1, 0, 0], [-0.0], 0.25),
], ids=["all-tied", "events-above", "events-below", "inf-kept-nan-dropped", "zero", "neg-zero"])
def test_lorenz_cases(x, y, values, auc):
    r = t.lorenz_curve_native(x, y)
    # The group of zeros is named by its first member, sign included.
    assert [v.hex() for v in r["value"][: len(values)]] == [float(v).hex() for v in values]
    assert (r["auc"], r["gini"]) == (auc, 2 * auc - 1)


@pytest.mark.parametrize("x, y, message", [
    ([1.0], [0, 1], "x e y deben tener la misma longitud"),
    ([1.0, 2.0], [0, 7], "y debe contener solo 0 y 1"),
    ([], [], "se necesitan ambas clases"),
    ([NAN, NAN], [0, 1], "se necesitan ambas clases"),
    ([1.0, NAN], [0, 1], "se necesitan ambas clases"),
], ids=["length", "bad-class", "empty", "all-nan", "one-class"])
def test_lorenz_errors(x, y, message):
    with pytest.raises(ValueError, match="^lorenz_curve: " + message):
        t.lorenz_curve_native(x, y)


@given(arrays(np.float64, st.integers(2, 40), elements=pooled), st.data())
def test_lorenz_against_stable_sort_and_pair_probability(x, data):
    y = data.draw(arrays(np.int32, x.size, elements=st.integers(0, 1)))
    keep = ~np.isnan(x)
    xs, ys = x[keep], y[keep]
    if not (0 < ys.sum() < ys.size):
        return
    r = t.lorenz_curve_native(x, y)
    order = np.argsort(xs, kind="stable")
    sx, sy = xs[order], ys[order]
    last = np.flatnonzero(np.append(sx[1:] != sx[:-1], True))
    first = np.concatenate(([0], last[:-1] + 1))
    assert [v.hex() for v in r["value"]] == [v.hex() for v in sx[first]]
    c1 = np.cumsum(sy)[last]
    assert r["cumulative_event"].tolist() == (c1 / c1[-1]).tolist()
    assert r["cumulative_non_event"].tolist() == ((last + 1 - c1) / (last + 1 - c1)[-1]).tolist()
    ev, ne = xs[ys == 1][:, None], xs[ys == 0][None, :]
    assert r["auc"] == pytest.approx(np.mean((ev > ne) + 0.5 * (ev == ne)), abs=1e-12)


@pytest.mark.parametrize("x, reps, expected", [
    ([2.5, 0.0, 10.0, -5.0, 15.0, NAN], [0.0, 10.0],
     [[0.75, 0.25, 0], [1, 0, 0], [0, 1, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]]),
    ([10.0, 15.0], [0.0, 10.0, 20.0], [[0, 1, 0, 0], [0, 0.5, 0.5, 0]]),
    ([-INF, 3.0, INF, NAN], [NAN], [[1, 0], [1, 0], [1, 0], [0, 1]]),
], ids=["two-reps", "interior-rep", "one-rep-unchecked"])
def test_membership_cases(x, reps, expected):
    assert t.membership_native(x, reps).tolist() == expected


@pytest.mark.parametrize("reps, message", [
    ([], "faltan representantes"),
    ([1.0, 1.0], "representantes deben ser crecientes y únicos"),
    ([2.0, 1.0], "representantes deben ser crecientes y únicos"),
    ([1.0, NAN], "representantes deben ser crecientes y únicos"),
], ids=["none", "equal", "decreasing", "nan"])
def test_membership_errors(reps, message):
    # An empty x still has its representatives checked.
    with pytest.raises(ValueError, match="^membership: " + message):
        t.membership_native([], reps)
    assert t.membership_native([], [1.0, 2.0]).shape == (0, 3)


@pytest.mark.skipif(bool(os.environ.get("TEMBROLIN_SANITIZED")),
                    reason="the sanitizer's allocator aborts on impossible sizes")
def test_membership_too_large_is_memory_error():
    # About 2**48 bytes: beyond any address space, yet the inputs are small.
    n = 6_000_000
    with pytest.raises(MemoryError):
        t.membership_native(np.zeros(n), np.arange(float(n)))


@given(arrays(np.float64, st.integers(0, 30), elements=pooled | st.floats(-3, 4)),
       st.lists(st.floats(-3, 3), min_size=1, max_size=6, unique=True).map(sorted))
def test_membership_rows_sum_to_one_and_one_hot_aggregation(x, reps):
    m = t.membership_native(x, reps)
    assert m.shape == (x.size, len(reps) + 1)
    assert m.sum(axis=1) == pytest.approx(np.ones(x.size), abs=1e-12)
    assert ((m > 0).sum(axis=1) <= 2).all()
    values = np.linspace(-1, 1, len(reps) + 1)
    chosen = np.arange(x.size) % values.size
    assert t.aggregate_membership_native(np.eye(values.size)[chosen], values).tolist() == (
        values[chosen].tolist())


def test_aggregate_worked_example():
    m = [[0.75, 0.25, 0], [0, 1, 0], [0, 0, 1]]
    assert t.aggregate_membership_native(m, [10, 20, 0]).tolist() == [12.5, 20, 0]
    z = t.aggregate_membership_native(m, [10, 20, 0], standardize=True)
    assert z == pytest.approx([0.164957, 0.907265, -1.072222], abs=1e-6)
    assert (z.mean(), z.std(ddof=1)) == (pytest.approx(0, abs=1e-15), pytest.approx(1))


@pytest.mark.parametrize("m, values, expected", [
    ([[0.5, 0.5]], [1.0, 3.0], [2.0]),
    ([[1.0, 0.0], [1.0, 0.0]], [4.0, 3.0], [4.0, 4.0]),
], ids=["one-row", "constant"])
def test_aggregate_standardize_leaves_degenerate_results(m, values, expected):
    assert t.aggregate_membership_native(m, values, standardize=True).tolist() == expected


@pytest.mark.parametrize("m, values, message", [
    (np.ones((2, 3)), [1.0, 2.0], "dimensiones incompatibles"),
    (np.ones(3), [1.0, 2.0, 3.0], "dimensiones incompatibles"),
    (np.ones((2, 0)), [], "k debe ser positivo"),
], ids=["columns", "one-dimensional", "no-columns"])
def test_aggregate_errors(m, values, message):
    with pytest.raises(ValueError, match="^aggregate_membership: " + message):
        t.aggregate_membership_native(m, values)
