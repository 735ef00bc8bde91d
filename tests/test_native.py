import math
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest
from bitwise import assert_same as same_bits
from hypothesis import given
from hypothesis import strategies as st

import _tembrolin as t
from tembrolin import _native

NAN, INF = math.nan, math.inf
ARGS = (0, 0, 0, 1.0, 1.0, False)  # minobs, monotonicity, mono_dir, alpha_pos, beta_struct, force


def cuts(result):
    """The accepted cuts in ascending order."""
    mdlp = result["mdlp"]
    return sorted(mdlp["pto"][mdlp["found"]].tolist())


PINNED = {
    "tie-hides-cut": ([1] * 10 + [2] * 11, [0] * 11 + [1] * 10, [1.5], []),
    "tie-hides-cut-swapped": ([1] * 10 + [2] * 11, [1] * 11 + [0] * 10, [1.5], [1.5]),
    # Both groups pure in the same class: no candidate under either rule.
    "pure-same-class": ([1] * 10 + [2] * 10, [1] * 20, [], []),
    # A mixed group between pure ones: its ends match their neighbours' classes.
    "pure-beside-mixed": (
        [1] * 20 + [2] * 20 + [3] * 20,
        [0] * 20 + [0, 1] * 10 + [1] * 20,
        [1.5, 2.5],
        [],
    ),
}


@pytest.mark.parametrize("x, y, boundary, neighbour", PINNED.values(), ids=PINNED)
def test_pinned_cuts(x, y, boundary, neighbour):
    x, y = np.array(x, float), np.array(y, float)
    assert cuts(_native.mdlp_fit(x, y, *ARGS)) == boundary
    assert cuts(_native.mdlp_fit(x, y, *ARGS, candidates="neighbour")) == neighbour


def entropy(a, b):
    # The core's formula and order of operations, so the bits agree.
    if a == 0 or b == 0:
        return 0.0
    n = float(a + b)
    p1, p0 = b / n, a / n
    return -(p1 * math.log2(p1) + p0 * math.log2(p0))


def root_oracle(x, y, minobs):
    """Index, cut and gain of the first evaluation, from per-value class counts."""
    clean = t.preprocess_data_native(x, y)
    values, start, size = np.unique(clean["x"], return_index=True, return_counts=True)
    ones = np.add.reduceat(clean["y"], start) if len(values) else np.array([], int)
    zeros = size - ones
    # Neighbouring values that are pure in the same class hold no candidate between them.
    mixed = ((ones[:-1] + ones[1:]) > 0) & ((zeros[:-1] + zeros[1:]) > 0)
    candidates = (np.flatnonzero(mixed) + 1).tolist()
    if not candidates:
        return None
    s0, s1 = int(zeros.sum()), int(ones.sum())
    n, best = s0 + s1, (INF, 0, 0.0)
    for position, k in enumerate(candidates, start=1):
        l0, l1 = int(zeros[:k].sum()), int(ones[:k].sum())
        r0, r1 = s0 - l0, s1 - l1
        if l0 + l1 <= minobs or r0 + r1 <= minobs:
            continue
        w = ((r0 + r1) * entropy(r0, r1) + (l0 + l1) * entropy(l0, l1)) / n
        if w < best[0]:
            best = (w, position, (values[k - 1] + values[k]) * 0.5)
    if best[1] == 0:
        return (0, 0.0, 0.0)  # candidates, none admissible
    return (best[1], best[2], entropy(s0, s1) - best[0])


def tied(draw_values):
    return st.lists(st.tuples(draw_values, st.sampled_from([0.0, 1.0])), max_size=80)


@given(tied(st.one_of(st.integers(-3, 6).map(float), st.just(NAN))), st.integers(0, 5))
def test_root_evaluation_against_oracle(pairs, minobs):
    x, y = np.array(pairs, float).reshape(-1, 2).T
    mdlp = _native.mdlp_fit(x, y, minobs, 0, 0, 1.0, 1.0, False)["mdlp"]
    want = root_oracle(x, y, minobs)
    if want is None:
        assert len(mdlp["idx"]) == 0
    else:
        assert (int(mdlp["idx"][0]), float(mdlp["pto"][0]), float(mdlp["gain"][0])) == want


# minobs, monotonicity, mono_dir, alpha_pos, beta_struct, force_first_split
PARAMS = st.tuples(
    *map(st.sampled_from, [range(5), range(4), [-1, 0, 1], [0.0, 0.5, 1.0], [0.0, 1.0]]),
    st.booleans(),
)


@given(
    tied(st.one_of(st.integers(0, 7).map(float), st.sampled_from([NAN, INF]))),
    PARAMS,
    st.sampled_from(["mean", "median"]),
)
def test_label_swap_keeps_the_bins(pairs, params, representative):
    x, y = np.array(pairs, float).reshape(-1, 2).T
    fit = _native.mdlp_fit(x, y, *params, representative=representative)
    # Swapped labels turn an ascending event rate into a descending one.
    mirrored = (*params[:2], -params[2], *params[3:])
    swapped = _native.mdlp_fit(x, 1.0 - y, *mirrored, representative=representative)
    same_bits(fit["mdlp"], swapped["mdlp"])
    same_bits(fit["metadata"], swapped["metadata"])
    a, b = fit["summary"], swapped["summary"]
    for key in ("left", "right", "count", "percentage", "representative"):
        assert a[key].tobytes() == b[key].tobytes(), key
    np.testing.assert_array_equal(a["c0"], b["c1"])
    np.testing.assert_array_equal(a["c1"], b["c0"])


RAW_X = st.integers(-5, 5).map(float) | st.floats()  # NaN and infinities too
RAW = st.lists(st.tuples(RAW_X, st.sampled_from([0.0, 1.0, NAN]) | st.floats(-10, 10)), max_size=60)


@given(
    RAW,
    PARAMS,
    st.sampled_from([None, 0.0, 2.5]),
    st.sampled_from([0.0, 50.0, 90.0]),
    st.sampled_from(["mean", "median"]),
)
def test_neighbour_is_the_core_report(pairs, params, value, percentile, representative):
    x, y = np.array(pairs, float).reshape(-1, 2).T
    options = {"value": value, "percentile": percentile, "representative": representative}
    want = t.mdlp_full_raw(x, y, *params, **options)
    same_bits(_native.mdlp_fit(x, y, *params, **options, candidates="neighbour"), want)


BAD = {"value": "1", "representative": "Mean", "candidates": "Boundary", "percentile": 500.0}


VALUE_TYPE = "^value debe ser None o un número real$"  # the one TypeError of the table
# Length of x, monotonicity, bad arguments left out by initial, message.
CHECKS = {
    "length": (1, 9, "", "^mdlp_full: x e y deben tener la misma longitud$"),
    "monotonicity": (2, 9, "", "^monotonicity debe estar en 0..3$"),
    "value": (2, 0, "", VALUE_TYPE),
    "representative": (2, 0, "v", "^representative debe ser 'mean' o 'median'$"),
    "candidates": (2, 0, "vr", "^candidates debe ser 'boundary' o 'neighbour'$"),
    "preprocessing": (2, 0, "vrc", "^preprocess_data: percentile"),
}


@pytest.mark.parametrize("n, mode, fixed, message", CHECKS.values(), ids=CHECKS)
def test_checks_in_order(n, mode, fixed, message):
    # Each bad argument whose initial is in `fixed` is left out, so a later check fails.
    kwargs = {k: v for k, v in BAD.items() if k[0] not in fixed}
    x, error = [1.0, 2.0][:n], TypeError if message == VALUE_TYPE else ValueError
    with pytest.raises(error, match=message):
        _native.mdlp_fit(x, [0.5, 2.0], 0, mode, 0, 1.0, 1.0, False, **kwargs)
    # The checks the core's own report shares fail there the same way.
    if "candidates" not in message:
        kwargs.pop("candidates", None)
        with pytest.raises(error, match=message):
            t.mdlp_full_raw(x, [0.5, 2.0], 0, mode, 0, 1.0, 1.0, False, **kwargs)


def test_threads_agree_with_one_call():
    rng = np.random.default_rng(7)
    n = 20_000
    columns = [(rng.integers(0, 30, n) * 1.0, rng.integers(0, 2, n) * 1.0) for _ in range(8)]
    alone = [_native.mdlp_fit(x, y, *ARGS) for x, y in columns]
    with ThreadPoolExecutor(4) as pool:
        together = list(pool.map(lambda xy: _native.mdlp_fit(*xy, *ARGS), columns))
    for a, b in zip(alone, together, strict=True):
        same_bits(a, b)


@given(
    st.lists(st.tuples(RAW, PARAMS, st.sampled_from(["boundary", "neighbour"])), max_size=6),
    st.sampled_from(["mean", "median"]),
)
def test_workspace_gives_each_call_alone(samples, representative):
    # One workspace through samples that shrink and grow, a failing call among them.
    workspace = _native.Workspace()
    for pairs, params, candidates in samples:
        x, y = np.array(pairs, float).reshape(-1, 2).T
        options = {"representative": representative, "candidates": candidates}
        alone = _native.mdlp_fit(x, y, *params, **options)
        same_bits(_native.mdlp_fit(x, y, *params, **options, workspace=workspace), alone)
        with pytest.raises(ValueError, match="percentile"):
            _native.mdlp_fit([1.0, 2.0], [0.5, 2.0], *ARGS, percentile=500.0, workspace=workspace)


@pytest.mark.parametrize("order", [[0, 1, 2, 3], [3, 2, 1, 0], [1, 3, 0, 2]], ids=str)
def test_workspace_across_large_columns(order):
    # Sizes past the sort's split into runs, and tables of many or few cuts.
    rng = np.random.default_rng(11)
    sizes = (3_000_000, 50_000, 0, 400_000)
    columns = [
        (rng.standard_normal(n).round(k % 2 * 2 + 1), rng.integers(0, 2, n) * 1.0)
        for k, n in enumerate(sizes)
    ]
    workspace = _native.Workspace()
    for j in order:
        x, y = columns[j]
        same_bits(_native.mdlp_fit(x, y, *ARGS, workspace=workspace), _native.mdlp_fit(x, y, *ARGS))
