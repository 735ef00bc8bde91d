"""Generic binning against NumPy computing the same thing."""

import numpy as np

import _tembrolin
from bench.data import logistic_sample
from bench.harness import Case

QUANTILE_LEVELS = np.arange(1, 20) / 20


def with_splits(count):
    def make(n):
        x, _ = logistic_sample(n)
        return x, np.linspace(-2.0, 2.0, count)
    return make


def x_only(n):
    return (logistic_sample(n)[0],)


def twenty_bins(continuous):
    def make(n):
        x, y = logistic_sample(n)
        if continuous:
            y = y + np.random.default_rng(7).standard_normal(n)
        else:
            y = y.astype(np.int32)
        splits = np.quantile(x[np.isfinite(x)], QUANTILE_LEVELS)
        return x, y, splits
    return make


def numpy_groups(x, y, splits):
    """Bin of every observation (k + 1 for NaN x), the counts, and the x and y
    of each bin gathered in bin order."""
    bins = np.searchsorted(splits, x, side="left")
    bins[np.isnan(x)] = len(splits) + 1
    counts = np.bincount(bins, minlength=len(splits) + 2)
    order = np.argsort(bins)
    cuts = np.cumsum(counts)[:-1]
    return bins, counts, np.split(x[order], cuts), np.split(y[order], cuts)


def numpy_summary_binary(x, y, splits):
    bins, counts, xs, _ = numpy_groups(x, y, splits)
    c1 = np.bincount(bins, weights=y, minlength=len(splits) + 2)
    medians = [np.median(v) if len(v) else np.nan for v in xs[:-1]]
    return counts, c1 / np.maximum(counts, 1), counts / len(x), medians


def numpy_summary_continuous(x, y, splits):
    keep = ~np.isnan(y)
    _, counts, xs, ys = numpy_groups(x[keep], y[keep], splits)
    medians = [np.median(v) if len(v) else np.nan for v in xs[:-1]]
    stats = [(v.mean(), *np.quantile(v, [0.25, 0.5, 0.75])) if len(v) else None for v in ys]
    return counts, counts / keep.sum(), medians, stats


def cases():
    out = []
    for count in (10, 100):
        out.append(Case(f"binning_transform {count} splits", 10**7, with_splits(count),
                        _tembrolin.binning_transform,
                        lambda x, s: np.searchsorted(s, x, side="left"),
                        "np.searchsorted(left)"))
    out.append(Case("binning_splits quantile 20 bins", 10**7, x_only,
                    lambda x: _tembrolin.binning_splits(x, "quantile", 20, "full", 0.0, 1.0, 0.0,
                                                        []),
                    lambda x: np.quantile(x[np.isfinite(x)], QUANTILE_LEVELS),
                    "np.quantile(finite)"))
    for n in (10**6, 10**7):
        out.append(Case("binning_summary_binary 20 bins", n, twenty_bins(False),
                        _tembrolin.binning_summary_binary, numpy_summary_binary,
                        "searchsorted+bincount+medians", memory=n == 10**7))
        out.append(Case("binning_summary_continuous 20 bins", n, twenty_bins(True),
                        _tembrolin.binning_summary_continuous, numpy_summary_continuous,
                        "searchsorted+bincount+quartiles", memory=n == 10**7))
    return out
