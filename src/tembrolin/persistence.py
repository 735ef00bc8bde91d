"""A fitted binner as standard, readable JSON, and back.

Floats are written with their shortest exact decimal form, so cut points round-trip bit
for bit (-0.0 included); the non-finite ones, which standard JSON lacks, are written as
the strings "inf", "-inf" and "nan". Counts stay integers.
"""

from __future__ import annotations

import json
import math
import re
from pathlib import Path
from typing import Any

import numpy as np

from tembrolin import _errors, tables
from tembrolin.bins import ColumnBins, FittedBins
from tembrolin.target import BINARY, TargetRule

FORMAT = "tembrolin.Binner"
VERSION = 1
NON_FINITE = {"inf": math.inf, "-inf": -math.inf, "nan": math.nan}


def _encode(value: Any) -> Any:
    if isinstance(value, np.ndarray):
        return [_encode(item) for item in value.tolist()]
    if isinstance(value, (np.floating, np.integer, np.bool_)):
        return _encode(value.item())
    if isinstance(value, float) and not math.isfinite(value):
        return "nan" if math.isnan(value) else ("inf" if value > 0 else "-inf")
    if isinstance(value, dict):
        return {str(key): _encode(item) for key, item in value.items()}
    if isinstance(value, (list, tuple)):
        return [_encode(item) for item in value]
    return value


def _floats(values: list[Any]) -> list[float]:
    return [NON_FINITE[v] if isinstance(v, str) else float(v) for v in values]


def _decode(value: Any) -> Any:
    """Parameters back: "inf", "-inf" and "nan" are floats (no parameter takes those words)."""
    if isinstance(value, str):
        return NON_FINITE.get(value, value)
    if isinstance(value, dict):
        return {key: _decode(item) for key, item in value.items()}
    if isinstance(value, list):
        return [_decode(item) for item in value]
    return value


def _column_to_dict(bins: ColumnBins) -> dict[str, Any]:
    return {
        "name": bins.name,
        "method": bins.method,
        "splits": _encode(bins.splits),
        "special_values": _encode(bins.special_values),
        "trend": bins.trend,
        # How x was rounded before a cluster fit; absent when it was not.
        **({} if bins.rounding is None else {"rounding": bins.rounding}),
        # A categorical column's bins are sets of labels, kept with their JSON types.
        **(
            {}
            if bins.categories is None
            else {"categories": _encode(bins.categories), "pooled": _encode(bins.pooled)}
        ),
        "bins": tables.labels(bins),  # for the reader: the label of each row below
        "rows": _encode(bins.rows),
    }


def _column_from_dict(data: dict[str, Any]) -> ColumnBins:
    rows = {
        key: np.asarray(values, dtype=np.int64)
        if key in ("count", "c0", "c1")
        else np.asarray(_floats(values), dtype=np.float64)
        for key, values in data["rows"].items()
    }
    categories = data.get("categories")
    specials = data["special_values"]
    return ColumnBins(
        name=data["name"],
        method=data["method"],
        splits=np.asarray(_floats(data["splits"]), dtype=np.float64),
        special_values=tuple(_floats(specials) if categories is None else specials),
        trend=data["trend"],
        rows=rows,
        rounding=data.get("rounding"),
        categories=None if categories is None else tuple(map(tuple, categories)),
        pooled=tuple(data.get("pooled", ())),
    )


def _labels(document: dict[str, Any], columns: list[ColumnBins]) -> tuple[Any, ...] | None:
    """The column labels: a list stands for a tuple label (of a MultiIndex); files of the
    first version only said whether the columns had names."""
    if "column_labels" not in document:
        return tuple(b.name for b in columns) if document["named_columns"] else None
    labels = document["column_labels"]
    return None if labels is None else tuple(_label(label) for label in labels)


def _label(label: Any) -> Any:
    return tuple(_label(part) for part in label) if isinstance(label, list) else label


def _flat_lists(text: str) -> str:
    """Lists of numbers and words on one line each: one row per line reads better.

    Only the line breaks and indents between items go; JSON strings hold no raw newline.
    """
    return re.sub(r"\[[^\[\]{}]*\]", lambda m: re.sub(r"\n\s*", " ", m.group()), text)


def dump(params: dict[str, Any], fitted: FittedBins, path: str | Path | None = None) -> str:
    """The JSON text of a fit and the estimator's parameters; also written to `path`.

    Parameters
    ----------
    params : dict
        The estimator's parameters (`get_params()`).
    fitted : FittedBins
        The fit.
    path : str or Path, optional
        Where to write the text.

    Returns
    -------
    str
        The JSON text.
    """
    document = {
        "format": FORMAT,
        "version": VERSION,
        "params": _encode(params),
        "target": {
            "type": fitted.target.kind,
            "threshold": _encode(fitted.target.threshold),
            "missing": fitted.target_missing,
        },
        # The DataFrame's column labels new data are matched by (null: by position).
        "column_labels": None if fitted.labels is None else _encode(list(fitted.labels)),
        "columns": [_column_to_dict(bins) for bins in fitted.columns.values()],
    }
    text = _flat_lists(json.dumps(document, indent=1, allow_nan=False))
    if path is not None:
        Path(path).write_text(text + "\n", encoding="utf-8")
    return text


def load(source: str | Path) -> tuple[dict[str, Any], FittedBins]:
    """The estimator's parameters and the fit from a path to a JSON file or the JSON text.

    Parameters
    ----------
    source : str or Path
        The path, or the text itself.

    Returns
    -------
    tuple of (dict, FittedBins)
        The parameters to build the estimator with, and its fit.
    """
    text = str(source)
    if not text.lstrip().startswith("{"):
        text = Path(source).read_text(encoding="utf-8")
    document = json.loads(text)
    if not isinstance(document, dict) or document.get("format") != FORMAT:
        error = _errors.bad_json(f"falta 'format': '{FORMAT}'")
        raise error
    if document.get("version") != VERSION:
        error = _errors.bad_json(f"versión {document.get('version')!r} desconocida")
        raise error
    columns = [_column_from_dict(data) for data in document["columns"]]
    target = document["target"]
    rule = TargetRule(target["type"] == BINARY, _floats([target["threshold"]])[0])
    fitted = FittedBins(
        {bins.name: bins for bins in columns},
        _labels(document, columns),
        rule,
        target_missing=int(target.get("missing", 0)),
    )
    return _decode(document["params"]), fitted
