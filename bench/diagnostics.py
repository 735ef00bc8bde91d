"""Distribution diagnostics against NumPy code that computes the same results."""

import numpy as np

import _tembrolin
from bench.data import logistic_sample
from bench.harness import Case

SPLITS = np.linspace(-2.5, 2.5, 20)
REPRESENTATIVES = np.linspace(-2.5, 2.5, 50)


def two_samples(n):
    reference = logistic_sample(n)[0]
    current = logistic_sample(n, seed=7)[0] * 1.1 + 0.2
    return reference, current, SPLITS


def numpy_compare(reference, current, splits, epsilon=1e-12):
    k = splits.size

    def counts(sample):
        bins = np.searchsorted(splits, sample, side="left")
        bins[np.isnan(sample)] = k + 1
        return np.bincount(bins, minlength=k + 2)

    c_ref, c_cur = counts(reference), counts(current)
    if c_ref[k + 1] == 0 and c_cur[k + 1] == 0:
        c_ref, c_cur = c_ref[: k + 1], c_cur[: k + 1]
    p_ref, p_cur = c_ref / reference.size, c_cur / current.size
    cum_ref, cum_cur = np.cumsum(p_ref), np.cumsum(p_cur)
    psi_bin = np.log(np.maximum(p_ref, epsilon) / np.maximum(p_cur, epsilon)) * (p_ref - p_cur)
    return psi_bin, psi_bin.sum(), np.abs(cum_ref - cum_cur).max()


def same_comparison(_args, ours, expected):
    psi_bin, psi, ks = expected
    # NumPy may take the logarithm with its own vectorised routine, and it sums the terms
    # by pairs where we add them one by one.
    np.testing.assert_allclose(ours["psi_bin"], psi_bin, rtol=1e-14, atol=1e-16)
    np.testing.assert_allclose(ours["psi"], psi, rtol=1e-14)
    # Both cumulate the proportions one by one: the largest gap is the same number.
    assert ours["ks"] == ks


def lorenz_sample(n):
    x, y = logistic_sample(n)
    return x, y.astype(np.int32)


def numpy_lorenz(x, y):
    keep = ~np.isnan(x)
    x, y = x[keep], y[keep]
    order = np.argsort(x, kind="stable")
    xs, ys = x[order], y[order]
    last = np.flatnonzero(np.append(xs[1:] != xs[:-1], True))
    first = np.concatenate(([0], last[:-1] + 1))
    c1 = np.cumsum(ys)[last]
    c0 = last + 1 - c1
    ne, e = c0 / c0[-1], c1 / c1[-1]
    prev_ne, prev_e = np.concatenate(([0.0], ne[:-1])), np.concatenate(([0.0], e[:-1]))
    auc = 1.0 - np.sum((e + prev_e) * (ne - prev_ne) * 0.5)
    return xs[first], ne, e, auc, auc + auc - 1.0


def same_lorenz(_args, ours, expected):
    values, non_event, event, auc, gini = expected
    np.testing.assert_array_equal(ours["value"], values, strict=True)
    np.testing.assert_array_equal(ours["cumulative_non_event"], non_event, strict=True)
    np.testing.assert_array_equal(ours["cumulative_event"], event, strict=True)
    # np.sum adds the trapezoids by pairs, we add them one by one.
    np.testing.assert_allclose([ours["auc"], ours["gini"]], [auc, gini], rtol=1e-12)


def membership_sample(n):
    return logistic_sample(n)[0], REPRESENTATIVES


def numpy_membership(x, representatives):
    k, n = representatives.size, x.size
    out = np.zeros((n, k + 1))
    rows = np.arange(n)
    nan = np.isnan(x)
    low = ~nan & (x <= representatives[0])
    high = ~nan & ~low & (x >= representatives[-1])
    mid = ~(nan | low | high)
    out[rows[nan], k] = 1.0
    out[rows[low], 0] = 1.0
    out[rows[high], k - 1] = 1.0
    xm = x[mid]
    j = np.searchsorted(representatives, xm, side="right")
    lo, hi = representatives[j - 1], representatives[j]
    t = (xm - lo) / (hi - lo)
    out[rows[mid], j - 1] = 1.0 - t
    out[rows[mid], j] = t
    return out


def same_array(_args, ours, expected):
    np.testing.assert_array_equal(ours, expected, strict=True)


def close_sums(_args, ours, expected):
    # BLAS and einsum add the products of a row in their own order, we in column order.
    np.testing.assert_allclose(ours, expected, rtol=1e-13, atol=1e-15)


def aggregation_sample(n):
    matrix = _tembrolin.membership_native(*membership_sample(n))
    return matrix, np.linspace(-1.0, 1.0, matrix.shape[1])


def cases():
    out = [
        Case(
            "compare_distributions_native 20 splits",
            10**7,
            two_samples,
            _tembrolin.compare_distributions_native,
            numpy_compare,
            "searchsorted+bincount+psi/ks",
            agree=same_comparison,
            note=lambda r: f"psi={r['psi']:.4f} ks={r['ks']:.4f}",
        )
    ]
    for n in (10**6, 10**7):
        out.append(
            Case(
                "lorenz_curve_native",
                n,
                lorenz_sample,
                _tembrolin.lorenz_curve_native,
                numpy_lorenz,
                "stable argsort+groups+cumsum+trapz",
                agree=same_lorenz,
                note=lambda r: f"auc={r['auc']:.4f} points={r['value'].size}",
                memory=n == 10**7,
            )
        )
    out.append(
        Case(
            "membership_native 50 reps",
            10**6,
            membership_sample,
            _tembrolin.membership_native,
            numpy_membership,
            "searchsorted+fancy indexing",
            agree=same_array,
        )
    )
    # BLAS uses every core; we start no thread, so the fair yardstick is NumPy on one core too.
    for baseline, label in (
        (lambda m, v: m @ v, "matrix @ values (BLAS, all cores)"),
        (lambda m, v: np.einsum("ij,j->i", m, v), "einsum ij,j->i (one core)"),
    ):
        out.append(
            Case(
                "aggregate_membership_native 51 cols",
                10**6,
                aggregation_sample,
                _tembrolin.aggregate_membership_native,
                baseline,
                label,
                agree=close_sums,
            )
        )
    return out
