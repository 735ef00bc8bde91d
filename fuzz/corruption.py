"""The JSON corruption fuzzer: saved binners (numeric, categorical, continuous target,
special values, user cuts and a trend) corrupted at random, field by field and as text.
Each corrupted file must be refused with one of the package's messages, or load into a
binner whose tables are consistent, which transforms the data, and which equals the
original when the corruption changed nothing."""

from __future__ import annotations

import json
from functools import cache
from typing import Any

import numpy as np
import pandas as pd

import tembrolin as tb
from fuzz.verdict import Counts, foreign_error, table_faults, tally

ODD_VALUES = [
    0,
    1,
    -1,
    0.5,
    2.0,
    -0.0,
    1e308,
    -1e308,
    2**63,
    2**63 - 1,
    10**18,
    "nan",
    "inf",
    "-inf",
    "",
    "zz",
    True,
    False,
    None,
    [],
    {},
    [1, 2],
    {"zz": 1},
]


@cache
def originals() -> list[tuple[str, pd.DataFrame]]:
    """The saved texts of a few fits, with the data they were fitted on."""
    rng = np.random.default_rng(0)
    n = 500
    X = pd.DataFrame(
        {
            "a": rng.normal(size=n),
            "b": rng.integers(-3, 6, n).astype(float),
            "c": rng.choice(
                ["p", "q", "r", "s", "t", "u", "v"], n, p=[0.3, 0.2, 0.2] + [0.1] * 2 + [0.05] * 2
            ),
        }
    )
    X.loc[::7, "a"] = -999.0
    X.loc[::11, "b"] = np.nan
    X.loc[::13, "a"] = np.inf
    signal = X["b"].fillna(0) / 3 + (X["a"] > 0) + (X["c"] == "p")
    y = (signal + rng.normal(size=n) > 1).astype(int)
    fits = [
        tb.Binner(special_values={"a": [-999.0], "c": ["v"]}).fit(X, y),
        tb.Binner(method="quantile", n_bins=5, monotonic_trend="auto").fit(X, y),
        tb.Binner(user_splits={"b": [0.0, 2.5]}, representative="mean").fit(
            X, signal + rng.normal(size=n)
        ),
        tb.Binner(categorical=["b"], min_category_share=0.1).fit(X, y),
    ]
    return [(binner.to_json(), X) for binner in fits]


def _leaves(node: Any, path: tuple = ()) -> list[tuple]:
    """The paths of every field and list item of a document."""
    items = (
        node.items()
        if isinstance(node, dict)
        else enumerate(node)
        if isinstance(node, list)
        else ()
    )
    found = [path] if path else []
    for key, child in items:
        found += _leaves(child, (*path, key))
    return found


def _at(document: Any, path: tuple) -> tuple[Any, Any]:
    node = document
    for part in path[:-1]:
        node = node[part]
    return node, path[-1]


def _corrupt_field(rng: np.random.Generator, document: dict) -> None:
    paths = _leaves(document)
    parent, key = _at(document, paths[rng.integers(len(paths))])
    value = parent[key]
    move = rng.integers(8)
    if move == 0 and isinstance(value, (int, float)) and not isinstance(value, bool):
        parent[key] = value + rng.choice([-1, 1]) * rng.choice([1, 0.5, 1e-9, abs(value) or 1])
    elif move == 1:
        parent[key] = ODD_VALUES[rng.integers(len(ODD_VALUES))]
    elif move == 2 and isinstance(value, list):
        parent[key] = value[::-1]
    elif move == 3 and isinstance(value, list) and value:
        parent[key] = [*value, value[rng.integers(len(value))]]  # a duplicate
    elif move == 4 and isinstance(value, list) and len(value) > 1:
        i, j = rng.choice(len(value), 2, replace=False)
        value[i], value[j] = value[j], value[i]
    elif move == 5 and isinstance(parent, dict):
        other = list(parent)[rng.integers(len(parent))]
        parent[key], parent[other] = parent[other], parent[key]
    elif move == 6:
        del parent[key]
    else:
        parent[key] = [value] if rng.random() < 0.5 else {"zz": value}


def _corrupt_text(rng: np.random.Generator, text: str) -> str:
    move = rng.integers(4)
    at = int(rng.integers(len(text)))
    if move == 0:
        return text[:at]
    if move == 1:
        depth = int(rng.choice([10, 1000, 100_000]))
        return text[:at] + "[" * depth + "1" + "]" * depth + text[at:]
    if move == 2:
        return text[:at] + chr(int(rng.choice([0, 0xFEFF, 0xD800, ord("}"), ord('"')]))) + text[at:]
    return "\ufeff" + text


def _judge(original: str, corrupted: str, X: pd.DataFrame) -> tuple[str, str | None]:
    try:
        binner = tb.Binner.from_json_text(corrupted)
    except Exception as error:  # noqa: BLE001 (every error is judged)
        reason = foreign_error(error)
        return (
            "refusal",
            None if reason is None else f"{reason}: {type(error).__name__}: {str(error)[:200]}",
        )
    faults = []
    try:
        faults += table_faults(binner)
        for metric in ("woe", "bin", "event_rate", "representative"):
            binner.transform(X, metric=metric)
    except Exception as error:  # noqa: BLE001 (a loaded binner must work)
        if foreign_error(error) is not None:
            faults.append(f"al usarlo: {type(error).__name__}: {str(error)[:200]}")
    # Equal as JSON values (-0.0 == 0.0, as x compares with them): the same bins.
    unchanged = json.loads(corrupted.removeprefix("\ufeff")) == json.loads(original)
    if unchanged and json.loads(binner.to_json()) != json.loads(original):
        faults.append("una corrupción sin efecto cambió el agrupador")
    return "load", "; ".join(faults) if faults else None


def one_case(rng: np.random.Generator) -> tuple[str, str | None]:
    """("refusal" | "load", the failure or None) of one corrupted file."""
    original, X = originals()[rng.integers(len(originals()))]
    if rng.random() < 0.2:
        return _judge(original, _corrupt_text(rng, original), X)
    document = json.loads(original)
    for _ in range(int(rng.integers(1, 4))):
        _corrupt_field(rng, document)
    return _judge(original, json.dumps(document), X)


def run(seed: int, cases: int, seconds: float) -> Counts:
    """Up to `cases` corrupted files (or `seconds` of them) drawn from `seed`."""
    return tally("JSON", one_case, seed, cases, seconds)
