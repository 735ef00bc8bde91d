"""What the module does on real data, one section per job.

Run with `make demo`. Each section is a function that prints its own part of the
report; `main` calls them in order.
"""

import numpy as np
from sklearn.datasets import load_breast_cancer, load_diabetes

import _tembrolin as t

ALPHA_POS = 1.0
BETA_STRUCT = 1.0


def minobs_for(n: int) -> int:
    return n // 20  # every side of a cut keeps more than 5% of the sample


def print_report(name: str, result: dict) -> None:
    s, meta = result["summary"], result["metadata"]
    cuts = int(result["mdlp"]["found"].sum())
    print(f"\n{name}: {cuts} accepted cuts, {len(result['mdlp']['found'])} segments evaluated")
    print(f"  {'left':>10} {'right':>10} {'count':>6} {'share':>7} {'c0':>5} {'c1':>5}"
          f" {'event rate':>10} {'median':>10}")
    for i in range(len(s["count"])):
        left, right = s["left"][i], s["right"][i]
        bounds = ("missing", "") if np.isnan(left) else (f"{left:.4g}", f"{right:.4g}")
        print(f"  {bounds[0]:>10} {bounds[1]:>10} {s['count'][i]:>6} {s['percentage'][i]:>7.1%}"
              f" {s['c0'][i]:>5} {s['c1'][i]:>5} {s['event_rate'][i]:>10.3f}"
              f" {s['representative'][i]:>10.4g}")
    print("  metadata: " + ", ".join(f"{k}={v}" for k, v in meta.items()))


def mdlp_section() -> None:
    print("== MDLP segmentation (mdlp_full_raw) ==")
    data = load_breast_cancer()
    y = data.target.astype(np.float64)  # binary: 1 = benign
    minobs = minobs_for(len(y))
    print(f"breast-cancer data: n={len(y)}, minobs={minobs}, "
          f"alpha_pos={ALPHA_POS}, beta_struct={BETA_STRUCT}")
    for column in ("mean radius", "mean texture", "worst concave points", "mean smoothness"):
        x = data.data[:, list(data.feature_names).index(column)].copy()
        label = column
        if column == "mean texture":
            x[::50] = np.nan  # a few missing values, so the missing row shows
            label += f" (with {np.isnan(x).sum()} values set to NaN)"
        result = t.mdlp_full_raw(x, y, minobs, 0, 0, ALPHA_POS, BETA_STRUCT, False)
        print_report(label, result)

    diabetes = load_diabetes()
    x = diabetes.data[:, list(diabetes.feature_names).index("bmi")]
    y = diabetes.target  # continuous: binarised at its median
    minobs = minobs_for(len(y))
    print(f"\ndiabetes data: n={len(y)}, minobs={minobs}; the continuous target is split at its "
          "median, shown as threshold")
    result = t.mdlp_full_raw(x, y, minobs, 0, 0, ALPHA_POS, BETA_STRUCT, False)
    print_report("bmi against disease progression above the median", result)


def main() -> None:
    mdlp_section()


if __name__ == "__main__":
    main()
