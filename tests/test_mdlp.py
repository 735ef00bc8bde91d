import math

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st

import _tembrolin as t

INF = math.inf
EVAL_KEYS = ["found", "pto", "gain", "cost_pos", "cost_struct", "cost", "idx"]
INT64 = st.integers(-(2**63), 2**63 - 1)


def mdlp_args(minobs=0, monotonicity=0, mono_dir=0, alpha_pos=1.0, beta_struct=1.0, force=False):
    return (minobs, monotonicity, mono_dir, alpha_pos, beta_struct, force)


def same_table(a, b):
    assert list(a) == list(b)
    for key in a:
        np.testing.assert_array_equal(a[key], b[key], strict=True)


@st.composite
def clean_samples(draw, max_size=60):
    """Sorted by x, class 0 first within equal x, as the preprocessing delivers."""
    pairs = draw(st.lists(st.tuples(st.integers(0, 15), st.integers(0, 1)), max_size=max_size))
    pairs.sort()
    return (np.array([p[0] for p in pairs], dtype=np.float64),
            np.array([p[1] for p in pairs], dtype=np.int32))


# --- evaluate_segment against a direct computation ---------------------------------------

def wrap(v):
    return (v + 2**63) % 2**64 - 2**63


def div(a, b):
    return a / b if b != 0.0 else (math.nan if a == 0.0 else math.copysign(INF, a))


def log2(v):
    return math.nan if v < 0 else (-INF if v == 0 else math.log2(v))


def entropy(a, b):
    if wrap(a + b) == 0 or a == 0 or b == 0:
        return 0.0
    n = float(wrap(a + b))
    p1, p0 = div(float(b), n), div(float(a), n)
    return -(p1 * log2(p1) + p0 * log2(p0))


def brute_force_evaluation(pto, c0, c1, L, R, minobs, rule_dir, alpha, beta):
    """Every admissible cut's weighted entropy, then the first index of the minimum."""
    s0, s1 = wrap(c0[R] - c0[L]), wrap(c1[R] - c1[L])
    n = float(wrap(s0 + s1))
    zero = dict(found=False, pto=0.0, gain=0.0, cost_pos=0.0, cost_struct=0.0, cost=0.0, idx=0)
    weighted = {}  # index -> (w, HL, HR)
    for i in range(L + 1, R) if n > 1 else ():
        l0, l1 = wrap(c0[i] - c0[L]), wrap(c1[i] - c1[L])
        r0, r1 = wrap(s0 - l0), wrap(s1 - l1)
        nL, nR = wrap(l0 + l1), wrap(r0 + r1)
        rate_l, rate_r = div(float(l1), float(nL)), div(float(r1), float(nR))
        in_direction = rate_r >= rate_l if rule_dir > 0 else rate_l >= rate_r
        if nL <= minobs or nR <= minobs or (rule_dir and not in_direction):
            continue
        hl, hr = entropy(l0, l1), entropy(r0, r1)
        weighted[i] = ((float(nR) * hr + float(nL) * hl) / n, hl, hr)
    best = min((v[0] for v in weighted.values() if not math.isnan(v[0])), default=INF)
    if not math.isfinite(best):
        return zero
    idx = min(i for i, v in weighted.items() if v[0] == best)
    H, (_, hl, hr) = entropy(s0, s1), weighted[idx]
    cost_pos = math.log2(n - 1.0) / n
    cost_struct = (2.807354922057604 - 2 * ((H - hl) - hr)) / n
    cost = cost_struct * beta + cost_pos * alpha
    return dict(found=H - best > cost, pto=pto[idx], gain=H - best, cost_pos=cost_pos,
                cost_struct=cost_struct, cost=cost, idx=idx)


@st.composite
def cut_tables(draw):
    size = draw(st.integers(2, 9))
    if draw(st.booleans()):  # a real table: cumulative counts
        steps = draw(st.lists(st.tuples(st.integers(0, 6), st.integers(0, 6)),
                              min_size=size - 1, max_size=size - 1))
        c0 = np.cumsum([0] + [s[0] for s in steps]).tolist()
        c1 = np.cumsum([0] + [s[1] for s in steps]).tolist()
    else:  # any int64 counts a caller may pass, extremes included
        c0 = draw(st.lists(INT64, min_size=size, max_size=size))
        c1 = draw(st.lists(INT64, min_size=size, max_size=size))
    L = draw(st.integers(0, size - 2))
    R = draw(st.integers(L + 1, size - 1))
    return [float(i) + 0.5 for i in range(size)], c0, c1, L, R


@given(cut_tables(), st.integers(-2, 4), st.sampled_from([0, 1, 2, 3]), st.sampled_from([-1, 0, 2]),
       st.sampled_from([0.0, 0.5, 1.0, 2.0]), st.sampled_from([0.0, 1.0, 3.0]))
def test_evaluate_segment_is_the_lowest_index_minimiser(table, minobs, mode, mono_dir, a, b):
    pto, c0, c1, L, R = table
    got = t.evaluate_segment(pto, c0, c1, L, R, minobs, mode, mono_dir, a, b)
    rule_dir = mono_dir if mode in (1, 3) else 0
    assert got == brute_force_evaluation(pto, c0, c1, L, R, minobs, rule_dir, a, b)


@pytest.mark.parametrize(
    "c0, c1, L, R, expected",
    [
        ([0, 1, 2], [0, 0, 0], 0, 1, dict(found=False, idx=0, gain=0.0, cost=0.0)),
        ([0, 2, 4, 6], [0, 0, 0, 0], 0, 3, dict(found=False, idx=1, gain=0.0)),
        ([0, 1, 1, 2], [0, 1, 1, 2], 0, 3, dict(idx=1)),
    ],
    ids=["no-interior-record", "pure-segment", "tie-lowest-index"],
)
def test_evaluate_segment_cases(c0, c1, L, R, expected):
    got = t.evaluate_segment(np.arange(len(c0), dtype=float), c0, c1, L, R, 0, 0, 0, 1.0, 1.0)
    assert list(got) == EVAL_KEYS
    assert {k: got[k] for k in expected} == expected


@pytest.mark.parametrize("mode, idx", [(0, 1), (2, 1), (1, 2), (3, 2)])
def test_empty_side_fails_the_rate_rule(mode, idx):
    # minobs -1 admits record 1, whose left side is empty: its rate 0/0 fails the rule.
    got = t.evaluate_segment([0.0, 1.0, 2.0, 3.0], [0, 0, 2, 4], [0, 0, 0, 0], 0, 3, -1, mode, 1,
                             1.0, 1.0)
    assert got["idx"] == idx


LO, HI = -(2**63), 2**63 - 1


@pytest.mark.parametrize("c0, c1", [([LO, HI, LO, 0], [HI, LO, 1, HI]),
                                    ([0, HI, HI, LO], [0, 1, HI, -1])])
@pytest.mark.parametrize("minobs", [LO, -1, 0, HI])
def test_extreme_counts_wrap_around(c0, c1, minobs):
    pto = [0.5, 1.5, 2.5, 3.5]
    got = t.evaluate_segment(pto, c0, c1, 0, 3, minobs, 1, 1, 1.0, 1.0)
    assert got == brute_force_evaluation(pto, c0, c1, 0, 3, minobs, 1, 1.0, 1.0)


@pytest.mark.parametrize(
    "args, message",
    [
        (([0.0, 1.0], [0], [0, 1], 0, 1, 0, 9), "pto_corte, c0 y c1 deben tener la misma longitud"),
        (([], [], [], 0, 1, 0, 9), "no hay boundaries en B"),
        (([0.0, 1.0], [0, 1], [0, 1], 1, 1, 0, 9), "L y R deben cumplir L < R < length"),
        (([0.0, 1.0], [0, 1], [0, 1], 0, 2, 0, 9), "L y R deben cumplir L < R < length"),
        (([0.0, 1.0], [0, 1], [0, 1], 0, 1, 0, 4), "^monotonicity debe estar en 0..3$"),
    ],
    ids=["lengths", "empty", "L-not-below-R", "R-past-end", "monotonicity"],
)
def test_evaluate_segment_checks_in_order(args, message):
    pto, c0, c1, L, R, minobs, mode = args
    with pytest.raises(ValueError, match=message):
        t.evaluate_segment(pto, c0, c1, L, R, minobs, mode, 0, 1.0, 1.0)


# --- the search and its segments ---------------------------------------------------------

@pytest.mark.parametrize(
    "x, y, args, found",
    [
        ([], [], mdlp_args(force=True), []),
        ([3.0], [1], mdlp_args(force=True), []),
        ([2.0, 2.0, 2.0], [0, 0, 1], mdlp_args(force=True), []),
        ([1.0, 2.0], [0, 1], mdlp_args(), [True]),
        ([1.0, 2.0, 3.0, 4.0], [0, 1, 0, 1], mdlp_args(force=True), [True]),
        ([1.0, 2.0, 3.0, 4.0], [0, 1, 0, 1], mdlp_args(minobs=3, force=True), [False]),
        ([1.0] * 20 + [2.0] * 20, [0] * 20 + [1] * 20, mdlp_args(force=True), [True]),
    ],
    ids=["empty", "one-observation", "all-x-equal", "three-records", "forced", "forced-no-candidate",
         "root-accepted"],
)
def test_search_cases(x, y, args, found):
    evaluations = t.mdlp(x, y, *args)
    assert list(evaluations) == EVAL_KEYS
    assert evaluations["found"].tolist() == found
    summary = t.mdlp_full(x, y, *args)["summary"]
    assert len(summary["total"]) == (0 if not x else 1 + sum(found))


def replay_preorder(evaluations, size):
    """Replays the depth-first pre-order from the accepted cuts alone."""
    pending, row = [(0, size - 1)], 0
    while pending:
        L, R = pending.pop()
        if R <= L + 1:
            continue
        if evaluations["found"][row]:
            idx = int(evaluations["idx"][row])
            assert L < idx < R
            pending += [(idx, R), (L, idx)]
        row += 1
    assert row == len(evaluations["found"])


@given(clean_samples(), st.integers(-1, 5), st.sampled_from([0, 1, 2, 3]),
       st.sampled_from([-1, 0, 1]), st.sampled_from([0.0, 0.3, 1.0]))
def test_search_and_segments_properties(sample, minobs, mode, mono_dir, weight):
    x, y = sample
    args = mdlp_args(minobs, mode, mono_dir, weight, weight)
    full = t.mdlp_full(x, y, *args)
    same_table(full["mdlp"], t.mdlp(x, y, *args))
    if len(x) >= 1:
        replay_preorder(full["mdlp"], len(t.compute_boundaries(x, y)["pto_corte"]))
    s = full["summary"]
    assert list(s) == ["left", "right", "c0", "c1", "total", "p1"]
    if len(x) == 0:
        assert len(s["total"]) == 0
        return
    assert s["left"][0] == -INF and s["right"][-1] == INF
    np.testing.assert_array_equal(s["left"][1:], s["right"][:-1])
    assert np.all(np.diff(s["right"]) > 0)
    # An independent recount of each (left, right] on the sorted sample.
    lower = np.searchsorted(x, s["left"], side="right")
    upper = np.searchsorted(x, s["right"], side="right")
    np.testing.assert_array_equal(s["total"], upper - lower)
    np.testing.assert_array_equal(s["c1"], [y[a:b].sum() for a, b in zip(lower, upper)])
    assert s["total"].sum() == len(x)
    # The raw pipeline on the same clean data gives the same search.
    same_table(t.mdlp_raw(x, y.astype(float), *args), full["mdlp"])


def test_unsorted_data_with_nan_give_defined_segments():
    # Taken as given: NaN cut values must not upset the ordering of the accepted cuts.
    x = np.array([1, np.nan, 3, 0, np.nan, 2, 5, -1, np.nan, 4.0] * 5)
    y = np.array([0, 1, 0, 1, 1, 0, 1, 0, 0, 1] * 5, dtype=np.int32)
    first, again = (t.mdlp_full(x, y, *mdlp_args(alpha_pos=0.0, beta_struct=0.0)) for _ in "ab")
    right = first["summary"]["right"]
    assert first["summary"]["total"].sum() == len(x)
    assert np.all(np.diff(right[~np.isnan(right)]) >= 0)
    for part in ("mdlp", "summary"):
        same_table(first[part], again[part])


RAW_PAIRS = st.lists(st.tuples(st.sampled_from([0.0, 1.0, 2.5, 4.0, -3.0, math.nan, INF]),
                                st.sampled_from([0.0, 1.0, 0.5, 7.0, math.nan])), max_size=50)


@given(RAW_PAIRS, st.integers(0, 3), st.sampled_from(["mean", "median"]))
def test_full_raw_report_properties(pairs, minobs, representative):
    x, y = (np.array([p[i] for p in pairs], dtype=float) for i in (0, 1))
    args = mdlp_args(minobs, force=True)
    full = t.mdlp_full_raw(x, y, *args, representative=representative)
    assert list(full) == ["mdlp", "summary", "metadata"]
    same_table(full["mdlp"], t.mdlp_raw(x, y, *args))
    s, meta = full["summary"], full["metadata"]
    assert meta["n_input"] == len(x)
    if len(s["count"]):
        assert math.isclose(s["percentage"].sum(), 1.0)
        np.testing.assert_array_equal(s["count"], s["c0"] + s["c1"])
        assert s["count"][~np.isnan(s["left"])].sum() == meta["n_used"]


# --- the one-call report -----------------------------------------------------------------

@pytest.mark.parametrize(
    "below, above",
    [(1.0, np.nextafter(1.0, 2.0)), (np.nextafter(1.0, 0.0), 1.0)],
    ids=["midpoint-rounds-down", "midpoint-rounds-up"],
)
def test_adjacent_doubles_are_separated(below, above):
    x = np.array([below] * 30 + [above] * 30)
    y = np.array([0.0] * 30 + [1.0] * 30)
    s = t.mdlp_full_raw(x, y, *mdlp_args())["summary"]
    assert s["count"].tolist() == [30, 30]
    assert s["c0"].tolist() == [30, 0] and s["c1"].tolist() == [0, 30]
    assert s["representative"].tolist() == [below, above]
    assert below <= s["right"][0] < above


@pytest.mark.parametrize(
    "representative, expected", [("median", 2.5), ("mean", 4.0)], ids=["median", "mean"]
)
def test_representative_values(representative, expected):
    s = t.mdlp_full_raw([10.0, 1.0, 3.0, 2.0, np.nan], [0.0, 0.0, 0.0, 0.0, 1.0],
                        *mdlp_args(), representative=representative)["summary"]
    assert s["representative"][0] == expected and np.isnan(s["representative"][1])
    assert s["percentage"].tolist() == [0.8, 0.2] and s["event_rate"].tolist() == [0.0, 1.0]


@pytest.mark.parametrize(
    "y, rows",
    [([0.0, 1.0, 1.0], [[3, 1.0, 1, 2, 2 / 3]]), ([5.0, 5.0, 5.0], [])],
    ids=["missing-row-only", "no-tally"],
)
def test_all_x_missing(y, rows):
    full = t.mdlp_full_raw([np.nan] * 3, y, *mdlp_args())
    assert all(len(v) == 0 for v in full["mdlp"].values())
    s = full["summary"]
    assert np.column_stack([s["count"], s["percentage"], s["c0"], s["c1"], s["event_rate"]]
                           ).tolist() == rows
    assert full["metadata"]["n_missing_x"] == 3


def test_continuous_target_metadata():
    meta = t.mdlp_full_raw([1.0, 2.0, 3.0, np.inf, 5.0], [1.0, 2.0, 3.0, 4.0, np.nan],
                           *mdlp_args())["metadata"]
    assert meta == dict(n_input=5, n_used=3, n_missing_x=0, n_missing_y=1, n_missing_both=0,
                        n_non_finite=1, target_was_binary=False, threshold=2.0)


@pytest.mark.parametrize(
    "x, mode, value, representative, percentile, error, message",
    [
        ([1.0], 9, None, "Mean", 50.0, ValueError, "^mdlp_full: x e y deben tener"),
        ([1.0, 2.0], 9, None, "Mean", 50.0, ValueError, "^monotonicity debe"),
        ([1.0, 2.0], 0, "1", "Mean", 50.0, RuntimeError, None),
        ([1.0, 2.0], 0, None, "Mean", 500.0, ValueError, "^representative debe ser"),
        ([1.0, 2.0], 0, None, "median", 500.0, ValueError, "^preprocess_data: percentile"),
    ],
    ids=["length-first", "monotonicity-second", "value-third", "representative-case-sensitive",
         "preprocessing-last"],
)
def test_full_raw_checks_in_order(x, mode, value, representative, percentile, error, message):
    with pytest.raises(error, match=message):
        t.mdlp_full_raw(x, [0.5, 2.0], 0, mode, 0, 1.0, 1.0, False, value=value,
                        percentile=percentile, representative=representative)


@pytest.mark.parametrize(
    "name, message",
    [("mdlp", "mdlp"), ("mdlp_full", "mdlp_with_summary"), ("mdlp_raw", "mdlp")],
)
def test_length_messages(name, message):
    with pytest.raises(ValueError, match=f"^{message}: x e y deben tener la misma longitud$"):
        getattr(t, name)([1.0], [], *mdlp_args(monotonicity=9))


DOCS = {
    "evaluate_segment":
        "Evalúa un segmento concreto (datos ya preprocesados y boundaries ya calculados)",
    "mdlp_full": "Algoritmo MDLP completo + resumen de segmentos finales",
    "mdlp": "Algoritmo MDLP completo (datos ya limpios/ordenados)",
    "mdlp_raw": "Prepara y ejecuta MDLP en una única llamada nativa",
    "mdlp_full_raw": "Prepara, ejecuta MDLP y resume missing en una única llamada nativa",
}


def test_registration_order_and_docstrings():
    names = [n for n in vars(t) if not n.startswith("_")]
    assert names[3:8] == list(DOCS)
    for name, doc in DOCS.items():
        assert getattr(t, name).__doc__.rstrip("\n").endswith(doc)
