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
        y = y + np.random.default_rng(7).standard_normal(n) if continuous else y.astype(np.int32)
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


def same_bins(args, ours, expected):
    # NumPy sorts NaN past every split; our code for NaN is -1.
    np.testing.assert_array_equal(ours, np.where(np.isnan(args[0]), -1, expected), strict=True)


def close_quantiles(ours, expected):
    # Both interpolate linearly between the same order statistics, but NumPy finds the
    # position as n*q + (1 - q) - 1 and interpolates from the upper end past the midpoint:
    # the results may differ in the last bits.
    np.testing.assert_allclose(ours, expected, rtol=1e-14, atol=0)


def same_medians(ours, expected):
    # np.median halves the sum of the two middle values; we add half their distance to the
    # lower one: the last bit may differ.
    np.testing.assert_allclose(ours, expected, rtol=1e-15, atol=0)


def same_counts(ours, counts, shares):
    """Counts and shares of every row; NumPy always keeps the missing slot, we only
    when it holds anything."""
    rows = ours["count"].size
    np.testing.assert_array_equal(counts[rows:], 0)
    np.testing.assert_array_equal(ours["count"], counts[:rows])
    np.testing.assert_array_equal(ours["percentage"], shares[:rows])
    return rows


def numpy_summary_binary(x, y, splits):
    bins, counts, xs, _ = numpy_groups(x, y, splits)
    c1 = np.bincount(bins, weights=y, minlength=len(splits) + 2)
    medians = [np.median(v) if len(v) else np.nan for v in xs[:-1]]
    return counts, c1 / np.maximum(counts, 1), counts / len(x), medians


def same_binary_summary(_args, ours, expected):
    counts, event_rates, shares, medians = expected
    rows = same_counts(ours, counts, shares)
    np.testing.assert_array_equal(ours["event_rate"], event_rates[:rows])
    same_medians(ours["representative"][: len(medians)], medians)


def numpy_summary_continuous(x, y, splits):
    keep = ~np.isnan(y)
    _, counts, xs, ys = numpy_groups(x[keep], y[keep], splits)
    medians = [np.median(v) if len(v) else np.nan for v in xs[:-1]]
    stats = [(v.mean(), *np.quantile(v, [0.25, 0.5, 0.75])) if len(v) else None for v in ys]
    return counts, counts / keep.sum(), medians, stats


def same_continuous_summary(_args, ours, expected):
    counts, shares, medians, stats = expected
    rows = same_counts(ours, counts, shares)
    same_medians(ours["representative"][: len(medians)], medians)
    table = np.array([s if s else [np.nan] * 4 for s in stats[:rows]])
    # The mean: np.mean adds in input order by pairs, we add the sorted values one by one.
    np.testing.assert_allclose(ours["target_mean"], table[:, 0], rtol=1e-12, atol=1e-12)
    quartiles = ("target_p25", "target_median", "target_p75")
    close_quantiles(np.column_stack([ours[key] for key in quartiles]), table[:, 1:])


def cases():
    out = []
    for count in (10, 100):
        out.append(
            Case(
                f"binning_transform {count} splits",
                10**7,
                with_splits(count),
                _tembrolin.binning_transform,
                lambda x, s: np.searchsorted(s, x, side="left"),
                "np.searchsorted(left)",
                agree=same_bins,
            )
        )
    out.append(
        Case(
            "binning_splits quantile 20 bins",
            10**7,
            x_only,
            lambda x: _tembrolin.binning_splits(x, "quantile", 20, "full", 0.0, 1.0, 0.0, []),
            lambda x: np.quantile(x[np.isfinite(x)], QUANTILE_LEVELS),
            "np.quantile(finite)",
            agree=lambda _args, ours, expected: close_quantiles(ours, expected),
        )
    )
    summaries = (
        ("binary", False, numpy_summary_binary, "medians", same_binary_summary),
        ("continuous", True, numpy_summary_continuous, "quartiles", same_continuous_summary),
    )
    for n in (10**6, 10**7):
        for target, continuous, baseline, what, agree in summaries:
            out.append(
                Case(
                    f"binning_summary_{target} 20 bins",
                    n,
                    twenty_bins(continuous),
                    getattr(_tembrolin, f"binning_summary_{target}"),
                    baseline,
                    f"searchsorted+bincount+{what}",
                    agree=agree,
                    memory=n == 10**7,
                )
            )
    return out
