"""What the module does on real data, one section per job.

Run with `make demo`. Each section is a function that prints its own part of the
report; `main` calls them in order.
"""

import numpy as np
from sklearn.datasets import load_breast_cancer, load_diabetes

import _tembrolin as t
import cluster_demo
import package_demo
import scorecard_demo

ALPHA_POS = 1.0
BETA_STRUCT = 1.0


def minobs_for(n: int) -> int:
    return n // 20  # every side of a cut keeps more than 5% of the sample


def print_report(name: str, result: dict) -> None:
    s, meta = result["summary"], result["metadata"]
    cuts = int(result["mdlp"]["found"].sum())
    print(f"\n{name}: {cuts} accepted cuts, {len(result['mdlp']['found'])} segments evaluated")
    print(
        f"  {'left':>10} {'right':>10} {'count':>6} {'share':>7} {'c0':>5} {'c1':>5}"
        f" {'event rate':>10} {'median':>10}"
    )
    for i in range(len(s["count"])):
        left, right = s["left"][i], s["right"][i]
        bounds = ("missing", "") if np.isnan(left) else (f"{left:.4g}", f"{right:.4g}")
        print(
            f"  {bounds[0]:>10} {bounds[1]:>10} {s['count'][i]:>6} {s['percentage'][i]:>7.1%}"
            f" {s['c0'][i]:>5} {s['c1'][i]:>5} {s['event_rate'][i]:>10.3f}"
            f" {s['representative'][i]:>10.4g}"
        )
    print("  metadata: " + ", ".join(f"{k}={v}" for k, v in meta.items()))


BREAST_CANCER_COLUMNS = ("mean radius", "mean texture", "worst concave points", "mean smoothness")


def breast_cancer_variables():
    """The breast-cancer variables shown, with a few NaN set in one of them."""
    data = load_breast_cancer()
    y = data.target.astype(np.float64)  # binary: 1 = benign
    for column in BREAST_CANCER_COLUMNS:
        x = data.data[:, list(data.feature_names).index(column)].copy()
        label = column
        if column == "mean texture":
            x[::50] = np.nan  # a few missing values, so the missing row shows
            label += f" (with {np.isnan(x).sum()} values set to NaN)"
        yield label, x, y


def mdlp_cuts(x: np.ndarray, y: np.ndarray) -> np.ndarray:
    """The accepted cut points, ascending: the finite right bounds of the report."""
    result = t.mdlp_full_raw(x, y, minobs_for(len(y)), 0, 0, ALPHA_POS, BETA_STRUCT, False)
    right = result["summary"]["right"]
    return right[np.isfinite(right)]


def mdlp_section() -> None:
    print("== MDLP segmentation (mdlp_full_raw) ==")
    n = len(load_breast_cancer().target)
    print(
        f"breast-cancer data: n={n}, minobs={minobs_for(n)}, "
        f"alpha_pos={ALPHA_POS}, beta_struct={BETA_STRUCT}"
    )
    for label, x, y in breast_cancer_variables():
        result = t.mdlp_full_raw(x, y, minobs_for(len(y)), 0, 0, ALPHA_POS, BETA_STRUCT, False)
        print_report(label, result)

    diabetes = load_diabetes()
    x = diabetes.data[:, list(diabetes.feature_names).index("bmi")]
    y = diabetes.target  # continuous: binarised at its median
    minobs = minobs_for(len(y))
    print(
        f"\ndiabetes data: n={len(y)}, minobs={minobs}; the continuous target is split at its "
        "median, shown as threshold"
    )
    result = t.mdlp_full_raw(x, y, minobs, 0, 0, ALPHA_POS, BETA_STRUCT, False)
    print_report("bmi against disease progression above the median", result)


def diagnostics_section() -> None:
    print("\n== Diagnostics (lorenz_curve_native, compare_distributions_native) ==")
    print("AUC and Gini of each variable against the target; PSI and KS between two random")
    print("halves of the rows, over the variable's MDLP cut points (missing values in a bin")
    print("of their own). The event is 1 = benign: a variable that grows with malignancy")
    print("has an AUC below 0.5 and a negative Gini.")
    halves = np.random.default_rng(7).permutation(len(load_breast_cancer().target)) % 2 == 0
    print(f"  {'variable':<46} {'AUC':>6} {'Gini':>7} {'bins':>5} {'PSI':>8} {'KS':>7}")
    for label, x, y in breast_cancer_variables():
        curve = t.lorenz_curve_native(x, y.astype(np.int32))
        cuts = mdlp_cuts(x, y)
        drift = t.compare_distributions_native(x[halves], x[~halves], cuts)
        print(
            f"  {label:<46} {curve['auc']:>6.3f} {curve['gini']:>7.3f}"
            f" {len(drift['psi_bin']):>5} {drift['psi']:>8.4f} {drift['ks']:>7.3f}"
        )


def main() -> None:
    package_demo.main()
    scorecard_demo.scorecard_section()
    cluster_demo.cluster_section()
    print("\n\n== The raw module underneath: _tembrolin ==")
    mdlp_section()
    diagnostics_section()


if __name__ == "__main__":
    main()
