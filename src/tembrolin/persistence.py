"""A fitted binner as standard, readable JSON, and back.

Floats are written with their shortest exact decimal form, so cut points round-trip bit
for bit (-0.0 included); the non-finite ones, which standard JSON lacks, are written as
the strings "inf", "-inf" and "nan". Counts stay integers, but for a weighted
fit's sums of weights.
"""

from __future__ import annotations

import json
import math
import re
from os import PathLike
from pathlib import Path
from typing import Any

import numpy as np

from tembrolin import _errors, json_checks, json_text, request, tables
from tembrolin.bins import ColumnBins, FittedBins
from tembrolin.target import BINARY, TargetRule


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


def _unsaveable(value: Any) -> Any:
    """A value JSON cannot hold (a label that is a date, say) refused in the package's words."""
    raise _errors.not_saveable(value)


def _decode(value: Any) -> Any:
    """Parameters back: "inf", "-inf" and "nan" are floats (no parameter takes those words)."""
    if isinstance(value, str):
        return json_checks.NON_FINITE.get(value, value)
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
        # False when no bins kept the constraints of the optimal search; absent when true.
        **({} if bins.feasible else {"feasible": False}),
        # A categorical column's bins are sets of labels, kept with their JSON types.
        **(
            {}
            if bins.categories is None
            else {"categories": _encode(bins.categories), "pooled": _encode(bins.pooled)}
        ),
        "bins": tables.labels(bins),  # for the reader: the label of each row below
        "rows": _encode(bins.rows),
    }


def _counts(values: list[int | float]) -> np.ndarray:
    """Counts as written: whole numbers, or a weighted fit's sums of weights."""
    whole = all(isinstance(v, int) for v in values)
    return np.asarray(values, dtype=np.int64 if whole else np.float64)


def _column_from_dict(data: dict[str, Any]) -> ColumnBins:
    rows = {
        key: _counts(values)
        if key in ("count", "c0", "c1")
        else np.asarray(json_checks.floats(values), dtype=np.float64)
        for key, values in data["rows"].items()
    }
    categories = data.get("categories")
    specials = data["special_values"]
    return ColumnBins(
        name=data["name"],
        method=data["method"],
        splits=np.asarray(json_checks.floats(data["splits"]), dtype=np.float64),
        special_values=tuple(json_checks.floats(specials) if categories is None else specials),
        trend=data["trend"],
        rows=rows,
        rounding=data.get("rounding"),
        feasible=data.get("feasible", True),
        categories=None if categories is None else tuple(map(tuple, categories)),
        pooled=tuple(data.get("pooled", ())),
    )


def _labels(document: dict[str, Any], columns: list[ColumnBins]) -> tuple[Any, ...] | None:
    """The column labels; files of the first version only said whether the columns had
    names."""
    if "column_labels" not in document:
        return tuple(b.name for b in columns) if document["named_columns"] else None
    labels = document["column_labels"]
    return None if labels is None else tuple(json_checks.as_label(label) for label in labels)


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
        "format": json_checks.FORMAT,
        "version": json_checks.VERSION,
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
    text = _flat_lists(json.dumps(document, indent=1, allow_nan=False, default=_unsaveable))
    if path is not None:
        Path(path).write_text(text + "\n", encoding="utf-8")
    return text


def read(path: str | PathLike[str]) -> str:
    """The text of a saved binner's file, or the package's message of why it cannot be read."""
    if not isinstance(path, (str, PathLike)):
        raise _errors.json_path(path)
    try:
        data = Path(path).read_bytes()
    except OSError as error:
        raise _errors.unreadable_file(path, error) from None
    try:
        return data.decode("utf-8")
    except UnicodeDecodeError as error:
        raise _errors.not_utf8(path, error.start) from None


def _checked_params(params: dict[str, Any], names: set[str], fitted: FittedBins) -> dict[str, Any]:
    """The estimator's parameters, refused unless the fit itself would accept them."""
    params = json_checks.ADDED_PARAMS | params
    wrong = sorted(params.keys() ^ names)
    if wrong:
        reason = "falta el campo" if wrong[0] in names else "no es un parámetro del agrupador"
        error = _errors.json_field(f"params.{wrong[0]}", reason)
        raise error
    params = _decode(params)
    try:
        request.fit_request(params, fitted.names, fitted.kinds)
    except (ValueError, TypeError) as refused:
        error = _errors.json_field("params", f"no son parámetros válidos: {refused}")
        raise error from None
    return params


def load(text: str, param_names: set[str]) -> tuple[dict[str, Any], FittedBins]:
    """The estimator's parameters and the fit from the JSON text of a saved binner, checked.

    Parameters
    ----------
    text : str
        The JSON text.
    param_names : set of str
        The estimator's parameter names: the file must give each one, and no other.

    Returns
    -------
    tuple of (dict, FittedBins)
        The parameters to build the estimator with, and its fit.
    """
    if not isinstance(text, str):
        error = _errors.json_not_text("text", text)
        raise error
    document = json_text.parse(text)
    json_checks.check_structure(document)
    json_checks.check_meaning(document)
    columns = [_column_from_dict(data) for data in document["columns"]]
    for i, (bins, data) in enumerate(zip(columns, document["columns"], strict=True)):
        json_checks.check_bin_labels(f"columns[{i}].bins", data["bins"], tables.labels(bins))
    target = document["target"]
    rule = TargetRule(target["type"] == BINARY, json_checks.floats([target["threshold"]])[0])
    fitted = FittedBins(
        {bins.name: bins for bins in columns},
        _labels(document, columns),
        rule,
        target_missing=int(target.get("missing", 0)),
    )
    return _checked_params(document["params"], param_names, fitted), fitted
