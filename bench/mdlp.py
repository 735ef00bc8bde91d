"""The one-call MDLP pipelines against sorting x with NumPy, the floor of any
method that must order the sample."""

import numpy as np

import _tembrolin
from bench.data import logistic_sample
from bench.harness import Case


def accepted_cuts(evaluations: dict) -> str:
    return f"{int(evaluations['found'].sum())} cuts"


# Each pipeline with what its note says of the result.
PIPELINES = (
    ("mdlp_full_raw", _tembrolin.mdlp_full_raw, lambda r: accepted_cuts(r["mdlp"])),
    ("mdlp_raw", _tembrolin.mdlp_raw, accepted_cuts),
)


def cases():
    return [
        Case(
            f"{name} minobs={minobs}",
            n,
            logistic_sample,
            lambda x, y, f=pipeline, a=(minobs, 0, 0, 1.0, 1.0, False): f(x, y, *a),
            lambda x, _y: np.sort(x),
            "np.sort(x)",
            note=note,
            memory=n == 10**7,
        )
        for n in (10**6, 10**7)
        for minobs in (0, n // 20)
        for name, pipeline, note in PIPELINES
    ]
