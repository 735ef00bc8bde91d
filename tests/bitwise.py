"""Equality to the last bit, for results that must not depend on how they were computed."""

import numpy as np


def bits(a):
    """Float64 values as their bit patterns, so -0.0, +0.0 and each NaN stay apart."""
    a = np.asarray(a)
    return a.view(np.int64) if a.dtype == np.float64 else a


def assert_same(a, b, key=None):
    """Equal nested dicts of arrays and scalars: key order, dtypes, shapes and every bit."""
    if isinstance(a, dict):
        assert list(a) == list(b), key
        for k in a:
            assert_same(a[k], b[k], k)
    elif isinstance(a, np.ndarray):
        assert (a.dtype, a.shape) == (b.dtype, b.shape), key
        assert a.tobytes() == b.tobytes(), key
    else:
        assert type(a) is type(b) and repr(a) == repr(b), key


def assert_same_rows(a, b, representative, skip_sums=False):
    """Bin rows equal to the bit, but for the mean of x, a sum taken in another order:
    equal to 12 digits, or not compared at all when a sum may overflow."""
    sums = {"representative"} if representative == "mean" else set()
    assert a.keys() == b.keys()
    for key in a:
        if key not in sums:
            np.testing.assert_array_equal(bits(a[key]), bits(b[key]), err_msg=key)
        elif not skip_sums:
            np.testing.assert_allclose(a[key], b[key], rtol=1e-12, err_msg=key)
