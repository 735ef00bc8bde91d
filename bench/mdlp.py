"""The one-call MDLP pipelines against sorting x with NumPy, the floor of any
method that must order the sample."""

import numpy as np

import _tembrolin
from bench.data import logistic_sample
from bench.harness import Case


def accepted_cuts(evaluations: dict) -> str:
    return f"{int(evaluations['found'].sum())} cuts"


def cases():
    out = []
    for n in (10**6, 10**7):
        for minobs in (0, n // 20):
            args = (minobs, 0, 0, 1.0, 1.0, False)
            out.append(Case(f"mdlp_full_raw minobs={minobs}", n, logistic_sample,
                            lambda x, y, a=args: _tembrolin.mdlp_full_raw(x, y, *a),
                            lambda x, y: np.sort(x), "np.sort(x)",
                            note=lambda r: accepted_cuts(r["mdlp"]), memory=n == 10**7))
            out.append(Case(f"mdlp_raw minobs={minobs}", n, logistic_sample,
                            lambda x, y, a=args: _tembrolin.mdlp_raw(x, y, *a),
                            lambda x, y: np.sort(x), "np.sort(x)",
                            note=accepted_cuts, memory=n == 10**7))
    return out
