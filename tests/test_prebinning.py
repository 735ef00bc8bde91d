"""The optimal search's pre-bins: their sizes and number, and the rule of each kind."""

import numpy as np
import pytest
from hypothesis import given
from hypothesis import strategies as st

from tembrolin.bins import Settings
from tembrolin.prebinning import cart_cuts, counted_prebins, thinned
from tembrolin.rows import Rows, SampleSource

SPECIAL = -999.0
# Ties, both zeros, a special value and missing values among a few dozen distinct values.
VALUES = st.sampled_from([*np.arange(-12.0, 30.0).tolist(), -0.0, 2.5, SPECIAL, np.nan])


def source_of(x, y):
    return SampleSource(Rows(x, y, y, False), (SPECIAL,))


@given(
    st.lists(st.tuples(VALUES, st.sampled_from([0.0, 1.0])), max_size=300),
    st.sampled_from(["quantile", "cart", "boundary"]),
    st.integers(2, 25),
    st.sampled_from([0.0, 0.01, 0.05, 0.3]),
)
def test_prebins_hold_their_share_their_number_and_their_counts(pairs, kind, n_prebins, share):
    x = np.array([p[0] for p in pairs], dtype=np.float64)
    y = np.array([p[1] for p in pairs], dtype=np.float64)
    settings = Settings(prebinning=kind, n_prebins=n_prebins, min_prebin_share=share)
    cuts, c0, c1 = counted_prebins(source_of(x, y), settings)
    assert len(cuts) < n_prebins and (np.diff(cuts) > 0).all()
    if len(cuts):
        assert (c0 + c1 >= share * len(x)).all()
    # Counted again over right-closed bins, specials and missing values out.
    regular = ~np.isnan(x) & (x != SPECIAL)
    codes = np.searchsorted(cuts, x[regular], side="left")
    np.testing.assert_array_equal(c1, np.bincount(codes, y[regular], len(cuts) + 1))
    np.testing.assert_array_equal(c0 + c1, np.bincount(codes, minlength=len(cuts) + 1))
    if kind == "quantile":
        return
    assert np.isin(cuts, x[regular]).all()  # every cut a value, the largest of its pre-bin
    if kind == "boundary":
        distinct = np.unique(x[regular])
        after = distinct[np.searchsorted(distinct, cuts) + 1]
        pure = [{*y[regular][np.isin(x[regular], pair)]} for pair in zip(cuts, after, strict=True)]
        assert all(len(classes) == 2 for classes in pure)  # never inside a run of one class
        swapped = counted_prebins(source_of(x, 1 - y), settings)[0]
        np.testing.assert_array_equal(swapped, cuts)


# Few values with ties, and more distinct values than the tree fits one by one.
STEPS = {"ties": (np.repeat(np.arange(100.0), 3), 36.0), "runs": (np.arange(200_000.0), 69_999.0)}


@pytest.mark.parametrize("kind", ["cart", "boundary"])
@pytest.mark.parametrize("x, last", STEPS.values(), ids=STEPS)
def test_a_single_change_of_class_is_the_one_cut_at_the_value_before_it(kind, x, last):
    y = (x > last).astype(float)
    settings = Settings(prebinning=kind, n_prebins=50, min_prebin_share=0.0)
    cuts, _, c1 = counted_prebins(source_of(x, y), settings)
    np.testing.assert_array_equal(cuts, [last])
    np.testing.assert_array_equal(c1, [0.0, y.sum()])


@pytest.mark.parametrize(
    "counts, least, kept",
    [
        ([2, 2, 2], 2, [0, 1]),  # every pre-bin exactly at its least, the last one too
        ([1, 1, 1, 1], 2, [1]),
        ([3, 1, 1], 2, [0]),  # the last two make one pre-bin of exactly two
        ([1, 1, 1], 2, []),  # a last pre-bin short of two joins the one before it
        ([0.5, 0.5, 0.25, 0.75], 1.0, [1]),
        # The running totals 0.4 and 0.7 differ by just under 0.3 in doubles, so the third
        # pre-bin closes a bin later than the totals alone would say.
        ([0.1, 0.3, 0.1, 0.2, 0.3, 0.3], 0.3, [1, 4]),
    ],
)
def test_thinning_closes_each_pre_bin_as_soon_as_it_holds_enough(counts, least, kept):
    assert thinned(np.array(counts, dtype=np.float64), least).tolist() == kept


TWO_HALVES = (np.array([1.0, 2.0, 3.0, 4.0]), np.array([1.0, 1, 0, 0]), np.array([0.0, 0, 1, 1]))


@pytest.mark.parametrize(
    "values, c0, c1, least, cuts",
    [
        ([1.0, 2.0], [1.0, 0.0], [0.0, 1.0], 0.0, [1.0]),  # two values are enough for a cut
        (*TWO_HALVES, 2.0, [2.0]),  # two pre-bins of exactly half the rows each
        (*TWO_HALVES, 2.5, []),  # more than half: no split can keep it on both sides
    ],
)
def test_tree_cuts_at_the_bounds_of_its_guard(values, c0, c1, least, cuts):
    found = cart_cuts(np.array(values), np.array(c0), np.array(c1), 4, least)
    assert found.tolist() == cuts
