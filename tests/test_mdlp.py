import math

import numpy as np
import pytest
from bitwise import assert_same
from hypothesis import example, given
from hypothesis import strategies as st

import _tembrolin as t

INF = math.inf
LO, HI = -(2**63), 2**63 - 1
EXTREMES = [([LO, HI, LO, 0], [HI, LO, 1, HI]), ([0, HI, HI, LO], [0, 1, HI, -1])]
FIVE = ([10.0, 1.0, 3.0, 2.0, np.nan], [0.0, 0.0, 0.0, 0.0, 1.0])
BAD = dict(value="1", representative="Mean", percentile=500.0)  # each a later check's fault


def mdlp_args(minobs=0, monotonicity=0, mono_dir=0, alpha_pos=1.0, beta_struct=1.0, force=False):
    return (minobs, monotonicity, mono_dir, alpha_pos, beta_struct, force)


# Sorted by x, class 0 first within equal x, as the preprocessing delivers.
CLEAN_SAMPLES = st.lists(st.tuples(st.integers(0, 15), st.integers(0, 1)), max_size=60).map(
    lambda pairs: np.array(sorted(pairs), dtype=float).reshape(-1, 2).T
)
RAW_X = st.sampled_from([0.0, 1.0, 2.5, 4.0, -3.0, math.nan, INF])
RAW_SAMPLES = st.lists(
    st.tuples(RAW_X, st.sampled_from([0.0, 1.0, 0.5, 7.0, math.nan])), max_size=50
)


def wrap(v):
    return (v + 2**63) % 2**64 - 2**63


def div(a, b):
    return a / b if b else (math.nan if a == 0 else math.copysign(INF, a))


def entropy(a, b):
    n = float(wrap(a + b))
    if n == 0 or a == 0 or b == 0:
        return 0.0
    # The class-1 term first; a share is never 0 (|a|, |b| >= 1), but may be negative.
    return -sum(p * (math.log2(p) if p > 0 else math.nan) for p in (float(b) / n, float(a) / n))


def check_against_oracle(pto, c0, c1, L, R, minobs, mode, mono_dir, alpha, beta):
    """Every admissible cut's weighted entropy, then the first index of the minimum."""
    got = t.evaluate_segment(pto, c0, c1, L, R, minobs, mode, mono_dir, alpha, beta)
    rule = mode in (1, 3) and mono_dir != 0
    s0, s1 = wrap(c0[R] - c0[L]), wrap(c1[R] - c1[L])
    n, cuts = float(wrap(s0 + s1)), []  # (w, index, HL, HR)
    for i in range(L + 1, R) if n > 1 else ():
        l0, l1 = wrap(c0[i] - c0[L]), wrap(c1[i] - c1[L])
        r0, r1 = wrap(s0 - l0), wrap(s1 - l1)
        nL, nR = wrap(l0 + l1), wrap(r0 + r1)
        rate_l, rate_r = div(float(l1), float(nL)), div(float(r1), float(nR))
        in_direction = rate_r >= rate_l if mono_dir > 0 else rate_l >= rate_r
        if nL > minobs and nR > minobs and (in_direction or not rule):
            hl, hr = entropy(l0, l1), entropy(r0, r1)
            cuts.append(((float(nR) * hr + float(nL) * hl) / n, i, hl, hr))
    w, idx, hl, hr = min((c for c in cuts if not math.isnan(c[0])), default=(INF, 0, 0, 0))
    want = dict(found=False, pto=0.0, gain=0.0, cost_pos=0.0, cost_struct=0.0, cost=0.0, idx=0)
    if math.isfinite(w):
        H = entropy(s0, s1)
        cost_pos = math.log2(n - 1.0) / n
        cost_struct = (2.807354922057604 - 2 * ((H - hl) - hr)) / n
        cost = cost_struct * beta + cost_pos * alpha
        want = dict(found=H - w > cost, pto=pto[idx], gain=H - w, cost_pos=cost_pos)
        want |= dict(cost_struct=cost_struct, cost=cost, idx=idx)
    # repr tells every double apart, NaN equals NaN, and the key order counts.
    assert repr(got) == repr(want)
    return got


@st.composite
def cut_tables(draw):
    size = draw(st.integers(2, 9))
    if draw(st.booleans()):  # a real table: cumulative counts
        counts = st.lists(st.integers(0, 6), min_size=size - 1, max_size=size - 1)
        c0, c1 = (np.cumsum([0, *draw(counts)]).tolist() for _ in "01")
    else:  # any int64 counts a caller may pass, extremes included
        c0, c1 = (draw(st.lists(st.integers(LO, HI), min_size=size, max_size=size)) for _ in "01")
    L = draw(st.integers(0, size - 2))
    return [i + 0.5 for i in range(size)], c0, c1, L, draw(st.integers(L + 1, size - 1))


@st.composite
def long_tables(draw):
    """Tables long enough for the vector screen, rich in exact and near ties:
    a repeated step ties every cut, a mirrored run ties cuts in pairs."""
    steps = draw(
        st.lists(st.tuples(st.integers(0, 3), st.integers(0, 3)), min_size=1, max_size=150)
    )
    shape = draw(st.sampled_from(["repeated", "mirrored", "as drawn"]))
    if shape == "repeated":
        steps = steps[:1] * draw(st.integers(70, 300))
    elif shape == "mirrored":
        steps = (steps * (1 + 70 // len(steps)))[:150]
        steps += steps[::-1]
    scale = draw(st.sampled_from([1, 1_000_003]))
    c0, c1 = ([0, *np.cumsum([s[k] * scale for s in steps]).tolist()] for k in (0, 1))
    return [i + 0.5 for i in range(len(c0))], c0, c1, 0, len(c0) - 1


# Long tables reach the vector screen; short ones with any int64 counts test the rules.
@given(
    cut_tables() | long_tables(),
    st.integers(-2, 4) | st.sampled_from([5, 40]),
    st.sampled_from([0, 1, 2, 3]),
    st.sampled_from([-1, 0, 2]),
    st.sampled_from([0.0, 0.5, 1.0, 2.0]),
    st.sampled_from([0.0, 1.0, 3.0]),
)
def test_evaluate_segment_is_the_lowest_index_minimiser(table, minobs, mode, mono_dir, a, b):
    check_against_oracle(*table, minobs, mode, mono_dir, a, b)


CUTS = {
    "pure-gain-equal-to-cost": ([0, 2, 4, 6], [0, 0, 0, 0], 0, 0, 0.0, 1),
    "tie-lowest-index": ([0, 1, 1, 2], [0, 1, 1, 2], 0, 0, 1.0, 1),
    "two-observations": ([0, 1, 1, 1], [0, 0, 1, 1], 0, 0, 1.0, 1),
    # The better cut leaves minobs on its right: too few, as on the left.
    "right-at-minobs": ([0, 2, 3, 3], [0, 0, 0, 1], 1, 0, 1.0, 1),
    # minobs -1 admits record 1, whose empty left side has the rate 0/0: it fails the rule.
    **{
        f"empty-side-mode-{mode}": ([0, 0, 2, 4], [0, 0, 0, 0], -1, mode, 1.0, idx)
        for mode, idx in [(0, 1), (2, 1), (1, 2), (3, 2)]
    },
    **{
        f"wrap-around-{k}-minobs-{m}": (c0, c1, minobs, 1, 1.0, None)
        for k, (c0, c1) in enumerate(EXTREMES, 1)
        for m, minobs in zip(["lo", "-1", "0", "hi"], [LO, -1, 0, HI], strict=True)
    },
}


@pytest.mark.parametrize("c0, c1, minobs, mode, weight, idx", CUTS.values(), ids=CUTS)
def test_evaluate_segment_cases(c0, c1, minobs, mode, weight, idx):
    got = check_against_oracle([0.5, 1.5, 2.5, 3.5], c0, c1, 0, 3, minobs, mode, 1, weight, weight)
    assert idx is None or got["idx"] == idx


SEG_CHECKS = {
    "lengths": ([0.0, 1.0], [0], 0, 1, 9, "pto_corte, c0 y c1 deben tener la misma longitud"),
    "empty": ([], [], 0, 1, 9, "no hay boundaries en B"),
    "L-not-below-R": ([0.0, 1.0], [0, 1], 1, 1, 9, "L y R deben cumplir L < R < length"),
    "R-past-end": ([0.0, 1.0], [0, 1], 0, 2, 9, "L y R deben cumplir L < R < length"),
    "monotonicity": ([0.0, 1.0], [0, 1], 0, 1, 4, "^monotonicity debe estar en 0..3$"),
}


@pytest.mark.parametrize("pto, c0, L, R, mode, message", SEG_CHECKS.values(), ids=SEG_CHECKS)
def test_evaluate_segment_checks_in_order(pto, c0, L, R, mode, message):
    with pytest.raises(ValueError, match=message):
        t.evaluate_segment(pto, c0, c0, L, R, 0, mode, 0, 1.0, 1.0)


@given(
    CLEAN_SAMPLES,
    st.integers(-1, 5),
    st.sampled_from([0, 1, 2, 3]),
    st.sampled_from([-1, 0, 1]),
    st.sampled_from([0.0, 0.3, 1.0]),
    st.booleans(),
)
@example(np.array([[1.0, 2, 3, 4], [0, 1, 0, 1]]), 0, 0, 0, 1.0, True)  # forced root
@example(np.array([[1.0, 2, 3, 4], [0, 1, 0, 1]]), 3, 0, 0, 1.0, True)  # nothing to force
def test_search_and_segments_properties(sample, minobs, mode, mono_dir, weight, force):
    x, y = sample[0], sample[1].astype(np.int32)
    plain = t.mdlp(x, y, *mdlp_args(minobs, mode, mono_dir, weight, weight))
    assert list(plain) == ["found", "pto", "gain", "cost_pos", "cost_struct", "cost", "idx"]
    # Replays the depth-first pre-order, left part first, from the accepted cuts alone.
    pending, row = [(0, len(t.compute_boundaries(x, y)["pto_corte"]) - 1)], 0
    while pending:
        L, R = pending.pop()
        if R > L + 1:
            if plain["found"][row]:
                idx = int(plain["idx"][row])
                assert L < idx < R
                pending += [(idx, R), (L, idx)]
            row += 1
    assert row == len(plain["found"])
    if force and len(plain["idx"]) == 1 and plain["idx"][0] > 0:
        plain["found"][0] = True  # a lone root with a candidate (idx > 0) is always cut
    args = mdlp_args(minobs, mode, mono_dir, weight, weight, force)
    full = t.mdlp_full(x, y, *args)
    for evaluations in (full["mdlp"], t.mdlp(x, y, *args), t.mdlp_raw(x, sample[1], *args)):
        assert_same(evaluations, plain)
    s = full["summary"]
    assert list(s) == ["left", "right", "c0", "c1", "total", "p1"]
    assert len(s["total"]) == (1 + plain["found"].sum() if len(x) else 0)
    if len(x) == 0:
        return
    assert s["left"][0] == -INF and s["right"][-1] == INF
    np.testing.assert_array_equal(s["left"][1:], s["right"][:-1])
    assert np.all(np.diff(s["right"]) > 0)
    # An independent recount of each (left, right] on the sorted sample.
    lower = np.searchsorted(x, s["left"], side="right")
    upper = np.searchsorted(x, s["right"], side="right")
    np.testing.assert_array_equal(s["total"], upper - lower)
    np.testing.assert_array_equal(
        s["c1"], [y[a:b].sum() for a, b in zip(lower, upper, strict=True)]
    )


def test_unsorted_data_with_nan_give_defined_segments():
    # Taken as given: NaN cut values must not upset the ordering of the accepted cuts.
    x = np.array([1, np.nan, 3, 0, np.nan, 2, 5, -1, np.nan, 4.0] * 5)
    y = np.array([0, 1, 0, 1, 1, 0, 1, 0, 0, 1] * 5, dtype=np.int32)
    first, again = (t.mdlp_full(x, y, *mdlp_args(alpha_pos=0.0, beta_struct=0.0)) for _ in "ab")
    right = first["summary"]["right"]
    assert first["summary"]["total"].sum() == len(x)
    assert np.all(np.diff(right[~np.isnan(right)]) >= 0)
    for part in ("mdlp", "summary"):
        assert_same(first[part], again[part])


@given(RAW_SAMPLES, st.integers(0, 3), st.sampled_from(["mean", "median"]))
def test_raw_pipelines_are_preprocessing_then_search(pairs, minobs, representative):
    x, y = np.array(pairs, dtype=float).reshape(-1, 2).T
    args = mdlp_args(minobs, force=True)
    clean = t.preprocess_data_native(x, y)
    want = t.mdlp_full(clean["x"], clean["y"], *args)
    full = t.mdlp_full_raw(x, y, *args, representative=representative)
    assert list(full) == ["mdlp", "summary", "metadata"]
    for evaluations in (full["mdlp"], t.mdlp_raw(x, y, *args)):
        assert_same(evaluations, want["mdlp"])
    s, meta, k = full["summary"], full["metadata"], len(want["summary"]["total"])
    assert meta["n_input"] == len(x) and meta["n_used"] == len(clean["x"])
    for key, same in zip(
        ["left", "right", "c0", "c1", "count", "event_rate"], want["summary"], strict=True
    ):
        np.testing.assert_array_equal(s[key][:k], want["summary"][same])
    np.testing.assert_array_equal(s["count"], s["c0"] + s["c1"])  # the missing-x row too
    assert len(s["count"]) == 0 or math.isclose(s["percentage"].sum(), 1.0)


def adjacent(a, b):
    rows = [[30, 0.5, 30, 0, 0.0, a], [30, 0.5, 0, 30, 1.0, b]]
    return [a] * 30 + [b] * 30, [0.0] * 30 + [1.0] * 30, "median", rows


REPORT_ROWS = {
    "adjacent-midpoint-rounds-down": adjacent(1.0, np.nextafter(1.0, 2.0)),
    "adjacent-midpoint-rounds-up": adjacent(np.nextafter(1.0, 0.0), 1.0),
    "median": (*FIVE, "median", [[4, 0.8, 4, 0, 0.0, 2.5], [1, 0.2, 0, 1, 1.0, np.nan]]),
    "mean": (*FIVE, "mean", [[4, 0.8, 4, 0, 0.0, 4.0], [1, 0.2, 0, 1, 1.0, np.nan]]),
    "all-x-missing": ([np.nan] * 3, [0.0, 1.0, 1.0], "median", [[3, 1.0, 1, 2, 2 / 3, np.nan]]),
    "all-x-missing-no-tally": ([np.nan] * 3, [5.0, 5.0, 5.0], "median", []),
    # The distance of the middle pair overflows; the median of the halves does not.
    "median-of-distant-pair": (
        [-1.7e308, 1.7e308],
        [0.0, 0.0],
        "median",
        [[2, 1.0, 2, 0, 0.0, 0.0]],
    ),
}


@pytest.mark.parametrize("x, y, representative, rows", REPORT_ROWS.values(), ids=REPORT_ROWS)
def test_report_rows(x, y, representative, rows):
    s = t.mdlp_full_raw(x, y, *mdlp_args(), representative=representative)["summary"]
    keys = ["count", "percentage", "c0", "c1", "event_rate", "representative"]
    np.testing.assert_array_equal(np.column_stack([s[k] for k in keys]), np.reshape(rows, (-1, 6)))


def test_median_of_a_zero_pair_keeps_its_sign_as_the_binning_median_does():
    x = [-0.0, -0.0]
    rep = t.mdlp_full_raw(x, [0.0, 1.0], *mdlp_args())["summary"]["representative"][0]
    binned = t.binning_summary_binary(x, [0, 1], [])["representative"][0]
    assert math.copysign(1, rep) == math.copysign(1, binned) == -1


def test_continuous_target_metadata():
    meta = t.mdlp_full_raw(
        [1.0, 2.0, 3.0, np.inf, 5.0], [1.0, 2.0, 3.0, 4.0, np.nan], *mdlp_args()
    )["metadata"]
    want = dict(n_input=5, n_used=3, n_missing_x=0, n_missing_y=1, n_missing_both=0)
    assert meta == want | dict(n_non_finite=1, target_was_binary=False, threshold=2.0)


FULL = "mdlp_full_raw"
VALUE_TYPE = "^value debe ser None o un número real$"  # the one TypeError of the table
CHECKS = {  # (function, length of x, monotonicity, keywords, message)
    "mdlp-length": ("mdlp", 1, 9, {}, "^mdlp: x e y deben tener la misma longitud$"),
    "mdlp_full-length": ("mdlp_full", 1, 9, {}, "^mdlp_with_summary: x e y deben tener la misma"),
    "mdlp_raw-length": ("mdlp_raw", 1, 9, {}, "^mdlp: x e y deben tener la misma longitud$"),
    "length-first": (FULL, 1, 9, BAD, "^mdlp_full: x e y deben tener la misma"),
    "mono-second": (FULL, 2, 9, BAD, "^monotonicity debe"),
    "value-third": (FULL, 2, 0, BAD, VALUE_TYPE),
    "representative-case-sensitive": (FULL, 2, 0, BAD | dict(value=None), "^representative debe"),
    "preprocessing-last": (FULL, 2, 0, dict(percentile=500.0), "^preprocess_data: percentile"),
}


@pytest.mark.parametrize("name, n, mode, kwargs, message", CHECKS.values(), ids=CHECKS)
def test_checks_in_order(name, n, mode, kwargs, message):
    with pytest.raises(TypeError if message == VALUE_TYPE else ValueError, match=message):
        getattr(t, name)([1.0, 2.0][:n], [0.5, 2.0], 0, mode, 0, 1.0, 1.0, False, **kwargs)
