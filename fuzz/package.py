"""The package fuzzer: hostile tables and parameters through fit, table, transform,
summary and a JSON round trip. Every error must be one of the package's own Spanish
messages; every fit that succeeds must give tables whose counts add up."""

from __future__ import annotations

import json
import warnings
from typing import Any

import numpy as np
import pandas as pd
import polars as pl

import tembrolin as tb
from fuzz.verdict import Counts, foreign_error, table_faults, tally

HOSTILE = [
    None,
    -1,
    0,
    0.5,
    2,
    2**63,
    10**30,
    -0.0,
    float("nan"),
    float("inf"),
    True,
    "zz",
    "",
    [],
    [1, 1],
    [1, 1.0],
    [-0.0, 0.0],
    {},
    {"a": None},
    {"zz": [1]},
    {1.0},
    np.array([1, 2]),
    (float("nan"),),
    ["a"],
    [[1]],
    {"a": [2, 1]},
    {"a": "x"},
    5.0,
    b"x",
    1j,
]
VALID = {
    "method": ["mdlp", "quantile", "equal_width"],
    "min_bin_share": [0.0, 0.01, 0.2, 0.5],
    "alpha": [0.0, 1.0, 3.0],
    "beta": [0.0, 1.0, 2.0],
    "force_first_split": [False, True],
    "candidates": ["boundary", "neighbour"],
    "representative": ["median", "mean"],
    "target_threshold": [None, 0.0, 0.5],
    "target_percentile": [None, 10, 90],
    "n_bins": [1, 2, 5, 50],
    "width_range": ["full", "quantile", "iqr"],
    "lower_quantile": [0.0, 0.1],
    "upper_quantile": [0.9, 1.0],
    "iqr_k": [0.0, 1.5],
    "user_splits": [None, {"a": [0.0]}, {"a": [-1.0, 1.0]}],
    "special_values": [None, [-999], [-999, "zz"], {"a": [-999.0, 1e308]}, {"b": ["p"]}],
    "categorical": [None, ["a"], ["c"]],
    "min_category_share": [0.0, 0.05],
    "handle_unknown": ["neutral", "error"],
    "monotonic_trend": [None, "ascending", "descending", "auto"],
    "metric": ["woe", "bin", "event_rate", "representative"],
    "n_jobs": [None, 1, 2, -1],
}


def _numbers(rng: np.random.Generator, n: int) -> np.ndarray:
    x = rng.normal(size=n) * rng.choice([1e-300, 1.0, 1e300])
    for value in (np.nan, np.inf, -np.inf, -999.0, 1e308, -0.0):
        if rng.random() < 0.2:
            x[rng.random(n) < 0.2] = value
    return x


def _column(rng: np.random.Generator, n: int) -> Any:
    kind = rng.integers(12)
    if kind == 0:
        return _numbers(rng, n).astype(np.float32)
    if kind == 1:
        return rng.integers(-5, 5, n)
    if kind == 2:
        return rng.integers(0, 2**62, n, dtype=np.int64) * rng.choice([1, 2])
    if kind == 3:
        return rng.random(n) < 0.5
    if kind == 4:
        return rng.choice(["p", "q", "r", "desconocido"], n).astype(object)
    if kind == 5:
        return pd.Categorical(rng.choice(["p", "q", "r"], n))
    if kind == 6:
        return np.full(n, np.nan)
    if kind == 7:
        return np.full(n, 3.0)
    if kind == 8:
        return pd.to_datetime(rng.integers(0, 10**9, n), unit="s")
    if kind == 9:
        return np.array([None, 1, "a", 2.5][: max(1, n % 5)] * n, dtype=object)[:n]
    return _numbers(rng, n)


def _target(rng: np.random.Generator, n: int) -> Any:
    kind = rng.integers(9)
    if kind == 0:
        return rng.normal(size=n)
    if kind == 1:
        y = rng.normal(size=n)
        y[rng.random(n) < 0.3] = rng.choice([np.nan, np.inf])
        return y
    if kind == 2:
        return rng.integers(1, 3, n)
    if kind == 3:
        return rng.random(n) < 0.5
    if kind == 4:
        return rng.choice(["a", "b"], n)
    if kind == 5:
        return rng.integers(0, 2, n + int(rng.integers(1, 3)))
    if kind == 6:
        return np.full(n, np.nan)
    return rng.integers(0, 2, n).astype(rng.choice([np.int64, np.float64, np.int8]))


def _table(rng: np.random.Generator) -> tuple[Any, Any]:
    n = int(rng.choice([0, 1, 2, 5, 40, 300]))
    names = ["a", "b", "c"][: int(rng.integers(1, 4))]
    frame = pd.DataFrame({name: _column(rng, n) for name in names})
    y = _target(rng, n)
    form = rng.integers(4)
    if form == 1:
        try:
            return pl.from_pandas(frame), y
        except Exception:  # noqa: BLE001 (a table polars cannot hold is no case)
            return frame, y
    if form == 2:
        return frame.to_numpy(), y
    return frame, y


def _params(rng: np.random.Generator) -> dict[str, Any]:
    params = {}
    for name, values in VALID.items():
        if rng.random() < 0.3:
            params[name] = values[rng.integers(len(values))]
        if rng.random() < 0.04:
            params[name] = HOSTILE[rng.integers(len(HOSTILE))]
    return params


def _use(binner: tb.Binner, X: Any) -> list[str]:
    """Everything a fitted binner offers, on the data it was fitted on; the faults found."""
    faults = table_faults(binner)
    binner.summary()
    for metric in ("woe", "bin", "event_rate", "representative"):
        binner.transform(X, metric=metric)
    again = tb.Binner.from_json_text(binner.to_json())
    if again.to_json() != binner.to_json():
        faults.append("la copia JSON no es igual")
    return faults


def one_case(rng: np.random.Generator) -> tuple[str, str | None]:
    """("refusal" | "fit", the failure or None) of one hostile case."""
    with warnings.catch_warnings():
        # The hostile values themselves overflow on their way in (float32 of 1e300).
        warnings.simplefilter("ignore")
        X, y = _table(rng)
    params = _params(rng)
    try:
        faults = _use(tb.Binner(**params).fit(X, y), X)
    except Exception as error:  # noqa: BLE001 (every error is judged)
        reason = foreign_error(error)
        where = f"{type(error).__name__}: {str(error)[:200]}"
        return "refusal", None if reason is None else f"{reason}: {where} [{_describe(X, params)}]"
    return "fit", "; ".join(faults) if faults else None


def _describe(X: Any, params: dict[str, Any]) -> str:
    kinds = " ".join(str(getattr(X, "dtypes", getattr(X, "dtype", ""))).split())
    return f"{type(X).__name__} {kinds} {json.dumps(params, default=repr)}"


def run(seed: int, cases: int, seconds: float) -> Counts:
    """Up to `cases` cases (or `seconds` of them) drawn from `seed`."""
    return tally("paquete", one_case, seed, cases, seconds)
