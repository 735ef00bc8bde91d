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


def cases():
    out = []
    for n in (10**6, 10**7):
        out.append(Case("preprocess_data_native", n, logistic_sample,
                        _tembrolin.preprocess_data_native, numpy_preprocess,
                        "isfinite+lexsort+take", memory=n == 10**7))
        out.append(Case("preprocess_data_native", n, logistic_sample,
                        _tembrolin.preprocess_data_native, lambda x, y: np.sort(x),
                        "np.sort(x)"))
    return out
