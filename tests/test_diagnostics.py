import math

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
compare, lorenz = t.compare_distributions_native, t.lorenz_curve_native
membership, aggregate = t.membership_native, t.aggregate_membership_native
EMPTY, REPS = "muestras vacías o epsilon inválido", "representantes deben ser crecientes y únicos"
SPLITS, CLASSES = "splits deben ser finitos, crecientes y únicos", "se necesitan ambas clases"
DIMS, P = "dimensiones incompatibles", pytest.param
SAMPLES, CLASS = ("reference", "current"), "y debe contener solo 0 y 1"


def table(names, cases):
    return pytest.mark.parametrize(names, list(cases.values()), ids=list(cases))


def test_compare_worked_example():
    r = compare([1, 2, 3, 4], [1, 1, 5, NAN], [2])
    want = [[2, 2, 0], [2, 1, 1], [0.5, 0.5, 0], [0.5, 0.25, 0.25], [0.5, 1, 1], [0.5, 0.75, 1]]
    assert [r[key].tolist() for key in list(r)[:6]] == want
    assert r["psi_bin"] == pytest.approx([0, 0.25 * math.log(2), 0.25 * math.log(0.25 / 1e-12)])
    assert (r["psi"], r["ks"]) == (pytest.approx(6.734468, abs=1e-6), 0.25)
    columns = [f"{a}_{b}" for a in ("count", "proportion", "cumulative") for b in SAMPLES]
    assert r["count_reference"].dtype == np.int64 and list(r) == [*columns, "psi_bin", "psi", "ks"]


def test_compare_psi_floors_only_the_logarithm():
    # Bin 1 empty in both (term 0), bin 2 empty in the current sample only; exact bits.
    want = [math.log(0.25) * (0.25 - 1), 0.0, 0.75 * math.log(0.75 / 1e-12)]
    assert compare([0, 5, 5, 5], [0], [1, 2])["psi_bin"].tolist() == want
    nan_eps = compare([0, 5], [0], [1, 2], epsilon=NAN)["psi_bin"]
    assert nan_eps[0] == math.log(0.5) * -0.5 and math.isnan(nan_eps[1]) and nan_eps[2] == INF


@given(samples, samples, splits)
def test_compare_against_numpy_and_symmetry(ref, cur, s):
    r, swapped, k = compare(ref, cur, s), compare(cur, ref, s), len(s)
    rows = k + 1 + bool(np.isnan(ref).any() or np.isnan(cur).any())
    for sample, key in ((ref, "count_reference"), (cur, "count_current")):
        bins = np.where(np.isnan(sample), k + 1, np.searchsorted(s, sample, side="left"))
        assert r[key].tolist() == np.bincount(bins, minlength=k + 2)[:rows].tolist()
        cum = np.cumsum(r[key.replace("count", "proportion")])
        assert r[key.replace("count", "cumulative")].tolist() == cum.tolist()
        assert cum[-1] == pytest.approx(1.0, abs=1e-12)
    assert swapped["psi_bin"] == pytest.approx(r["psi_bin"], rel=1e-12, abs=1e-15)
    assert swapped["ks"] == pytest.approx(r["ks"], abs=1e-15)


def test_lorenz_worked_example():
    r = lorenz([1, 2, 2, 3], [0, 0, 1, 1])
    assert [r[key].tolist() for key in list(r)[:3]] == [[1, 2, 3], [0.5, 1, 1], [0, 0.5, 1]]
    assert list(r) == ["value", "cumulative_non_event", "cumulative_event", "auc", "gini"]
    assert (r["auc"], r["gini"]) == (0.875, 0.75)


@table(
    "x, y, values, auc",
    {
        "inf-kept-nan-and-its-y-dropped": (
            [INF, NAN, -INF, 0.0],
            [1, 7, 0, 1],
            [-INF, 0, INF],
            1.0,
        ),
        "zero": ([0.0, -0.0, 1.0], [1, 0, 0], [0.0], 0.25),
        "neg-zero": ([-0.0, 0.0, 1.0], [1, 0, 0], [-0.0], 0.25),
    },
)
def test_lorenz_cases(x, y, values, auc):
    r = lorenz(x, y)
    # The group of zeros is named by its first member, sign included.
    assert [v.hex() for v in r["value"][: len(values)]] == [float(v).hex() for v in values]
    assert (r["auc"], r["gini"]) == (auc, 2 * auc - 1)


@given(arrays(np.float64, st.integers(2, 40), elements=pooled), st.data())
def test_lorenz_against_stable_sort_and_pair_probability(x, data):
    y = data.draw(arrays(np.int32, x.size, elements=st.integers(0, 1)))
    xs, ys = x[~np.isnan(x)], y[~np.isnan(x)]
    if not 0 < ys.sum() < ys.size:
        return
    r = lorenz(x, y)
    sx, sy = (a[np.argsort(xs, kind="stable")] for a in (xs, ys))
    last = np.flatnonzero(np.append(sx[1:] != sx[:-1], True))
    first = np.concatenate(([0], last[:-1] + 1))
    assert [v.hex() for v in r["value"]] == [v.hex() for v in sx[first]]
    c1 = np.cumsum(sy)[last]
    assert r["cumulative_event"].tolist() == (c1 / c1[-1]).tolist()
    assert r["cumulative_non_event"].tolist() == ((last + 1 - c1) / (last + 1 - c1)[-1]).tolist()
    ev, ne = xs[ys == 1][:, None], xs[ys == 0][None, :]
    assert r["auc"] == pytest.approx(np.mean((ev > ne) + 0.5 * (ev == ne)), abs=1e-12)


@table(
    "x, reps, expected",
    {
        "two-reps": (
            [2.5, 0.0, 10.0, -5.0, 15.0, NAN],
            [0.0, 10.0],
            [[0.75, 0.25, 0], [1, 0, 0], [0, 1, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]],
        ),
        "interior-rep": ([10.0, 15.0], [0.0, 10.0, 20.0], [[0, 1, 0, 0], [0, 0.5, 0.5, 0]]),
        "one-rep-unchecked": ([-INF, 3.0, INF, NAN], [NAN], [[1, 0], [1, 0], [1, 0], [0, 1]]),
        # A view whose buffer goes on with a copy of the last representative, so a
        # read past the end would not go unnoticed: 0 / 0.
        "at-last-rep": ([10.0], np.array([0.0, 10.0, 10.0])[:2], [[0, 1, 0]]),
        # hi - lo overflows: t is measured on the halves.
        "distant-reps": (
            [0.0, -5e307, 5e307],
            [-1e308, 1e308],
            [[0.5, 0.5, 0], [0.75, 0.25, 0], [0.25, 0.75, 0]],
        ),
        # An infinite end: the limit, wholly to the finite end, or half each when both are.
        "lower-rep-infinite": ([-5.0, -INF], [-INF, 0.0], [[0, 1, 0], [1, 0, 0]]),
        "upper-rep-infinite": ([5.0, INF], [0.0, INF], [[1, 0, 0], [0, 1, 0]]),
        "both-reps-infinite": (
            [5.0, -INF, INF, NAN],
            [-INF, INF],
            [[0.5, 0.5, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]],
        ),
        "infinite-outer-reps": ([1.0], [-INF, 0.0, 2.0, INF], [[0, 0.5, 0.5, 0, 0]]),
    },
)
def test_membership_cases(x, reps, expected):
    assert membership(x, reps).tolist() == expected


def test_membership_too_large_is_memory_error():
    # About 2**48 bytes: beyond any address space, yet the inputs are small.
    with pytest.raises(MemoryError):
        membership(np.zeros(6_000_000), np.arange(6e6))


REP_VALUES = st.floats(-3, 3) | st.sampled_from([-INF, -1e308, 1e308, INF])


@given(
    arrays(np.float64, st.integers(0, 30), elements=pooled | st.floats(allow_nan=False)),
    st.lists(REP_VALUES, min_size=1, max_size=6, unique=True).map(sorted),
)
def test_membership_rows_and_one_hot_aggregation(x, reps):
    m = membership(x, reps)
    assert m.shape == (x.size, len(reps) + 1) and ((m > 0).sum(axis=1) <= 2).all()
    assert not np.isnan(m).any() and ((m >= 0) & (m <= 1)).all()
    assert m.sum(axis=1) == pytest.approx(np.ones(x.size), abs=1e-12)
    assert m[:, -1].tolist() == np.isnan(x).astype(float).tolist()
    values, chosen = np.linspace(-1, 1, len(reps) + 1), np.arange(x.size) % (len(reps) + 1)
    assert aggregate(np.eye(values.size)[chosen], values).tolist() == values[chosen].tolist()


@table(
    "y",
    {
        "float64": np.array([0.0, 1.0, 1.0, 0.0]),
        "int64": np.array([0, 1, 1, 0], np.int64),
        "bool": [False, True, True, False],
        "strided-int32": np.array([0, 9, 1, 9, 1, 9, 0, 9], np.int32)[::2],
    },
)
def test_lorenz_takes_zero_one_targets_of_any_type(y):
    x = [1.0, 3.0, 2.0, 4.0]
    want, got = lorenz(x, np.array([0, 1, 1, 0], np.int32)), lorenz(x, y)
    assert list(got) == list(want)
    assert all(np.array_equal(got[key], want[key]) for key in want)


def test_aggregate_worked_example():
    m = [[0.75, 0.25, 0], [0, 1, 0], [0, 0, 1]]
    assert aggregate(m, [10, 20, 0]).tolist() == [12.5, 20, 0]
    z = aggregate(m, [10, 20, 0], standardize=True)
    assert z == pytest.approx([0.164957, 0.907265, -1.072222], abs=1e-6)
    # Nothing to scale by: a single row, or a constant result, is left as it is.
    assert aggregate([[0.5, 0.5]], [1, 3], standardize=True).tolist() == [2]
    assert aggregate([[1, 0], [1, 0]], [4, 3], standardize=True).tolist() == [4, 4]


@pytest.mark.parametrize(
    "fn, args, message",
    [
        P(compare, ([], [1.0], [1.0, 1.0]), EMPTY, id="cmp-empty-ref"),
        P(compare, ([1.0], [], []), EMPTY, id="cmp-empty-cur"),
        P(compare, ([1.0], [1.0], [], 0.0), EMPTY, id="cmp-eps-0"),
        P(compare, ([1.0], [1.0], [], -1.0), EMPTY, id="cmp-eps-neg"),
        P(compare, ([1.0], [1.0], [1.0, 1.0]), SPLITS, id="cmp-dup"),
        P(compare, ([1.0], [1.0], [1.0, INF]), SPLITS, id="cmp-inf"),
        P(compare, ([1.0], [1.0], [NAN]), SPLITS, id="cmp-nan"),
        P(compare, ([1.0], [1.0], [2.0, 1.0]), SPLITS, id="cmp-decreasing"),
        P(lorenz, ([1.0], [0, 1]), "x e y deben tener la misma longitud", id="lor-length"),
        P(lorenz, ([1.0, 2.0], [0, 7]), CLASS, id="lor-bad-class"),
        # Refused before any cast to int32 could make them 0 or 1.
        P(lorenz, ([1.0, 2.0], [0.0, 0.7]), CLASS, id="lor-fraction"),
        P(lorenz, ([1.0, 2.0], np.array([0, 2**32 + 1])), CLASS, id="lor-int64-wraps-to-1"),
        P(lorenz, ([1.0, 2.0], [1.0, NAN]), CLASS, id="lor-nan-class"),
        # A NaN x hides its y, whatever it is.
        P(lorenz, ([1.0, NAN], [0.0, 0.7]), CLASSES, id="lor-hidden-fraction"),
        P(lorenz, ([], []), CLASSES, id="lor-empty"),
        P(lorenz, ([NAN, NAN], [0, 1]), CLASSES, id="lor-all-nan"),
        P(lorenz, ([1.0, NAN], [0, 1]), CLASSES, id="lor-one-class"),
        P(lorenz, ([1.0, NAN, 2.0], [1, 0, 1]), CLASSES, id="lor-only-events"),
        # An empty x still has its representatives checked.
        P(membership, ([], []), "faltan representantes", id="mem-none"),
        P(membership, ([], [1.0, 1.0]), REPS, id="mem-equal"),
        P(membership, ([], [2.0, 1.0]), REPS, id="mem-decreasing"),
        P(membership, ([], [1.0, NAN]), REPS, id="mem-nan"),
        P(aggregate, (np.ones((2, 3)), [1.0, 2.0]), DIMS, id="agg-columns"),
        P(aggregate, (np.ones(3), [1.0, 2.0, 3.0]), DIMS, id="agg-one-dimensional"),
        P(aggregate, (np.ones((2, 0)), []), "k debe ser positivo", id="agg-no-columns"),
    ],
)
def test_errors(fn, args, message):
    prefix = fn.__name__.removesuffix("_native")  # the name the user called
    with pytest.raises(ValueError, match=f"^{prefix}: {message}$"):
        fn(*args)
