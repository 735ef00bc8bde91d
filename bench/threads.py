"""The package's column threads: Binner.fit on 20 columns with n_jobs=2 against n_jobs=1.

The core releases the interpreter lock, so two threads should fit close to twice as fast
(target: ratio at most 1 / 1.8 = 0.56). Both fits must give the same bins.
"""

import numpy as np

import tembrolin as tb
from bench.harness import Case

N_COLUMNS = 20
last_fit: dict[int, str] = {}


def table(n: int, seed: int = 20261207) -> tuple[np.ndarray, np.ndarray]:
    """20 columns, each a noisy, rounded (so tied) copy of one score, with 1% missing."""
    rng = np.random.default_rng(seed)
    score = rng.standard_normal(n)
    y = (rng.random(n) < 1.0 / (1.0 + np.exp(-1.5 * score))).astype(np.float64)
    X = np.empty((n, N_COLUMNS))
    for j in range(N_COLUMNS):
        X[:, j] = np.round(score + rng.standard_normal(n) * (0.2 + 0.1 * j), 2)
        X[rng.random(n) < 0.01, j] = np.nan
    return X, y


def fit(n_jobs: int):
    def run(X: np.ndarray, y: np.ndarray) -> tb.Binner:
        binner = tb.Binner(n_jobs=n_jobs).fit(X, y)
        last_fit[n_jobs] = binner.set_params(n_jobs=None).to_json()
        return binner

    return run


def same_bins(_: tb.Binner) -> str:
    assert last_fit[2] == last_fit[1], "n_jobs=2 and n_jobs=1 gave different bins"
    return "same bins as n_jobs=1"


def cases():
    return [
        Case(
            f"Binner.fit {N_COLUMNS} cols n_jobs=2",
            10**6,
            table,
            fit(2),
            fit(1),
            "n_jobs=1",
            note=same_bins,
        )
    ]
