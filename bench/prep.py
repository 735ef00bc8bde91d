"""Shared preprocessing against NumPy doing the same job."""

import numpy as np

import _tembrolin
from bench.data import logistic_sample
from bench.harness import Case


def numpy_preprocess(x, y):
    keep = np.isfinite(x) & np.isfinite(y)
    xs, ys = x[keep], y[keep]
    order = np.lexsort((ys, xs))
    return xs[order], ys[order].astype(np.int32)


def same_sample(_args, ours, expected):
    np.testing.assert_array_equal(ours["x"], expected[0], strict=True)
    np.testing.assert_array_equal(ours["y"], expected[1], strict=True)


def cases():
    # The same job done by NumPy, then the sort alone, the floor of any method; the
    # memory of our call is measured once.
    baselines = (
        (numpy_preprocess, "isfinite+lexsort+take", same_sample, True),
        (lambda x, _y: np.sort(x), "np.sort(x)", None, False),
    )
    return [
        Case(
            "preprocess_data_native",
            n,
            logistic_sample,
            _tembrolin.preprocess_data_native,
            baseline,
            label,
            agree=agree,
            memory=memory and n == 10**7,
        )
        for n in (10**6, 10**7)
        for baseline, label, agree, memory in baselines
    ]
