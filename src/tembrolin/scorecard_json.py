"""A fitted scorecard as JSON, and back: its scale, the selection, the model's coefficients
and, through `tembrolin.persistence`, the binner. Floats are written in their shortest exact
decimal form, so a loaded scorecard gives the same points and scores, bit for bit."""

from __future__ import annotations

import json
import math
from pathlib import Path
from typing import Any

import numpy as np
import pandas as pd

from tembrolin import _errors, json_text
from tembrolin.binner import Binner

FORMAT = "tembrolin.Scorecard"
VERSION = 1
MODEL_PARAMS = ("binner", "estimator")  # objects: saved as the fit, not as parameters


def _number(value: float) -> float | str:
    return value if math.isfinite(value) else str(value)  # "nan", "inf" and "-inf"


def dump(card: Any, path: str | Path | None = None) -> str:
    """The JSON text of a fitted scorecard; also written to `path` when given.

    Parameters
    ----------
    card : Scorecard
        Fitted.
    path : str or Path, optional

    Returns
    -------
    str
    """
    selection = card.selection_
    document = {
        "format": FORMAT,
        "version": VERSION,
        "params": {k: v for k, v in card.get_params(deep=False).items() if k not in MODEL_PARAMS},
        "estimator": None if card.estimator is None else repr(card.estimator),  # for the reader
        "variables": card.variables_,
        "coef": [float(c) for c in card.coef_],
        "intercept": float(card.intercept_),
        "points": {name: card.points_[name].tolist() for name in card.variables_},
        "selection": {
            "variables": [str(v) for v in selection.index],
            **{
                column: [_number(float(v)) for v in selection[column]]
                for column in ("iv", "gini", "share_missing", "correlation")
            },
            "reason": list(selection["reason"]),
        },
        "binner": json.loads(card.binner_.to_json()),
    }
    text = json.dumps(document, indent=1, allow_nan=False)
    if path is not None:
        Path(path).write_text(text + "\n", encoding="utf-8")
    return text


def load(text: str) -> tuple[dict[str, Any], Binner, pd.DataFrame, np.ndarray, float]:
    """The parameters, the fitted binner, the selection table, the coefficients and the
    intercept of a scorecard, from the JSON text `dump` wrote.

    Parameters
    ----------
    text : str

    Returns
    -------
    tuple
        (params, binner, selection, coef, intercept)
    """
    document = json_text.parse(text)
    found = (
        (document.get("format"), document.get("version")) if isinstance(document, dict) else None
    )
    if found != (FORMAT, VERSION):
        error = _errors.bad_scorecard_json(f"se esperaba {(FORMAT, VERSION)}, se leyó {found}")
        raise error
    try:
        return _parts(document)
    except (KeyError, TypeError, ValueError) as problem:
        if isinstance(problem, ValueError) and str(problem).startswith("el JSON"):
            raise  # already a message of ours, or of the binner's reader
        error = _errors.bad_scorecard_json(f"campo ausente o inválido ({problem!r})")
        raise error from problem


def _parts(
    document: dict[str, Any],
) -> tuple[dict[str, Any], Binner, pd.DataFrame, np.ndarray, float]:
    binner = Binner.from_json_text(json.dumps(document["binner"]))
    saved = document["selection"]
    selection = pd.DataFrame(
        {
            column: [float(v) for v in saved[column]]
            for column in ("iv", "gini", "share_missing", "correlation")
        },
        index=pd.Index(saved["variables"], name="variable"),
    )
    selection["kept"] = [not reason for reason in saved["reason"]]
    selection["reason"] = saved["reason"]
    variables, coef = document["variables"], np.asarray(document["coef"], dtype=np.float64)
    if list(selection.index[selection["kept"]]) != variables or coef.shape != (len(variables),):
        error = _errors.bad_scorecard_json("'variables', 'coef' y la selección no coinciden")
        raise error
    params = {**document["params"], "binner": Binner(**binner.get_params())}
    return params, binner, selection, coef, float(document["intercept"])
