"""A saved binner's JSON read as untrusted input: parsed, then checked for structure and
for meaning before any of it is used.

The structure is the schema `binner.schema.json` (types, fields, counts as non-negative
numbers); the meaning is what a schema cannot say: cuts in order, counts that add up,
rates that follow from them, labels that name one thing each. Every refusal is one
message that names the field's path, as columns[2].rows.c0[3]. Each check is one pass
over the file, so loading stays linear in its size.
"""

from __future__ import annotations

import json
import math
from collections.abc import Iterable, Sequence
from functools import cache
from importlib import resources
from typing import Any, NoReturn, cast

import jsonschema

from tembrolin import _errors
from tembrolin.json_text import first_repeat

FORMAT = "tembrolin.Binner"
VERSION = 1
NON_FINITE = {"inf": math.inf, "-inf": -math.inf, "nan": math.nan}
# Parameters added after the first files were saved, with the values that fit those files'
# bins: a file without them reads as it was written.
ADDED_PARAMS = {"prebinning": "quantile", "min_prebin_share": 0.0}
COUNT_KEYS = ("count", "c0", "c1")
# The format nests six levels; much deeper text is refused before the parser recurses.
_TYPES = {
    "object": "un objeto",
    "array": "una lista",
    "string": "un texto",
    "number": "un número",
    "integer": "un entero",
    "boolean": "true o false",
    "null": "null",
}


def path_of(parts: Iterable[str | int]) -> str:
    """A field's path as the messages give it: columns[2].rows.c0[3]."""
    text = ""
    for part in parts:
        text += f"[{part}]" if isinstance(part, int) else f".{part}" if text else str(part)
    return text or "el documento"


@cache
def _validator() -> jsonschema.Draft202012Validator:
    schema = json.loads(resources.files("tembrolin").joinpath("binner.schema.json").read_text())
    return jsonschema.Draft202012Validator(schema)


def _described(schema: dict[str, Any]) -> str:
    if "type" in schema:
        kinds = schema["type"] if isinstance(schema["type"], list) else [schema["type"]]
        return " o ".join(_TYPES[kind] for kind in kinds)
    if "enum" in schema:
        return " o ".join(json.dumps(value) for value in schema["enum"])
    ref = schema.get("$ref", "")
    return {
        "labels": "una lista de etiquetas",
        "label": "una etiqueta",
        "floats": "una lista de números",
    }.get(ref.rsplit("/", 1)[-1], "un valor válido")


def _schema_refusal(error: jsonschema.ValidationError) -> ValueError:
    """The schema's first finding as the package's message."""
    parts: list[str | int] = list(error.absolute_path)
    # The schema's own values, typed loosely by the library: read as the rule defines them.
    rule, value, instance = str(error.validator), cast(Any, error.validator_value), error.instance
    instance = cast(Any, instance)
    schema = cast(dict[str, Any], error.schema)
    if rule == "required":
        missing = next(key for key in value if key not in instance)
        return _errors.json_field(path_of([*parts, missing]), "falta el campo")
    if rule == "dependentRequired":
        needs = [
            (k, n) for k, ns in value.items() if k in instance for n in ns if n not in instance
        ]
        return _errors.json_field(
            path_of([*parts, needs[0][1]]), f"falta el campo (va con '{needs[0][0]}')"
        )
    if rule == "additionalProperties":
        extra = next(key for key in instance if key not in schema.get("properties", {}))
        return _errors.json_field(path_of([*parts, extra]), "no es un campo del formato")
    reasons = {
        "type": lambda: f"debe ser {_described({'type': value})}",
        "const": lambda: f"debe ser {json.dumps(value)}",
        "enum": lambda: f"debe ser {_described({'enum': value})}",
        "minimum": lambda: f"debe ser >= {value}",
        "maximum": lambda: f"debe ser <= {value}",
        "minItems": lambda: f"debe tener al menos {value} elemento(s)",
        "anyOf": lambda: "debe ser " + " o ".join(_described(s) for s in value),
        "oneOf": lambda: "debe tener 'column_labels' o 'named_columns', uno solo",
    }
    reason = reasons.get(rule, lambda: f"no cumple la regla '{rule}' del formato")()
    return _errors.json_field(path_of(parts), reason)


def check_structure(document: Any) -> None:
    """Refuses a document of another format or version, or off the schema."""
    if not isinstance(document, dict) or document.get("format") != FORMAT:
        reason = f"falta 'format': '{FORMAT}'"
    elif document.get("version") != VERSION:
        reason = f"versión {document.get('version')!r} desconocida"
    else:
        reason = ""
    if reason:
        raise _errors.bad_json(reason)
    error = next(iter(_validator().iter_errors(document)), None)
    if error is not None:
        raise _schema_refusal(error)


def floats(values: Sequence[Any]) -> list[float]:
    """Floats back from the file's form ("inf", "-inf" and "nan" stand for themselves)."""
    return [NON_FINITE[v] if isinstance(v, str) else float(v) for v in values]


def _refuse(path: str | list[str | int], reason: str) -> NoReturn:
    raise _errors.json_field(path if isinstance(path, str) else path_of(path), reason)


def _check_unique(path: list[str | int], values: Sequence[Any], what: str) -> None:
    repeat = first_repeat(values)
    if repeat is not None:
        _refuse([*path, repeat], f"repite {what} {values[repeat]!r}")


def _check_splits(path: list[str | int], splits: list[float]) -> None:
    for j, cut in enumerate(splits):
        if not math.isfinite(cut):
            _refuse([*path, j], f"debe ser un corte finito; es {cut}")
        if j and not cut > splits[j - 1]:
            _refuse([*path, j], f"debe ser mayor que el corte anterior ({splits[j - 1]!r})")


def _check_specials(path: list[str | int], column: dict[str, Any]) -> list[Any]:
    specials = column["special_values"]
    if "categories" not in column:
        for j, value in enumerate(specials):
            if isinstance(value, bool) or (isinstance(value, str) and value not in ("inf", "-inf")):
                _refuse([*path, j], f'debe ser un número (o "inf", "-inf"); es {value!r}')
        specials = floats(specials)
    _check_unique(path, specials, "el valor especial")
    return specials


def _check_categories(path: list[str | int], column: dict[str, Any], specials: list[Any]) -> None:
    categories, n_regular = column["categories"], len(column["splits"]) + 1
    if len(categories) != n_regular:
        _refuse([*path, "categories"], f"debe tener {n_regular} grupos, uno por tramo")
    seen = set(specials)
    for b, labels in enumerate(categories):
        for j, label in enumerate(labels):
            if label in seen:
                reason = "repite" if label not in specials else "es también un valor especial:"
                _refuse([*path, "categories", b, j], f"{reason} {label!r}")
            seen.add(label)
    pooled = column["pooled"]
    _check_unique([*path, "pooled"], pooled, "la categoría")
    for j, label in enumerate(pooled):
        if label not in seen or label in specials:
            _refuse([*path, "pooled", j], f"{label!r} no está en ningún grupo")


def _check_counts(path: list[str | int], rows: dict[str, Any]) -> None:
    count, c0, c1 = (rows[key] for key in COUNT_KEYS)
    for r, (n, zeros, ones) in enumerate(zip(count, c0, c1, strict=True)):
        if zeros + ones != n:
            _refuse([*path, "count", r], f"debe ser c0 + c1 = {zeros + ones}; es {n}")
    for key in COUNT_KEYS:
        total = sum(rows[key][:-1])
        # Weighted counts are sums of floats, added in another order for the totals.
        whole = all(isinstance(v, int) for v in rows[key])
        if total != rows[key][-1] if whole else not math.isclose(total, rows[key][-1]):
            reason = f"(totales) debe ser la suma de las demás filas, {total}"
            _refuse([*path, key, len(count) - 1], reason)
    for r, (n, ones, rate) in enumerate(zip(count, c1, rows["event_rate"], strict=True)):
        expected = ones / n if n else 0.0
        if not math.isclose(rate, expected, rel_tol=1e-12):
            _refuse([*path, "event_rate", r], f"debe ser c1 / count = {expected!r}")


def _check_rows(path: list[str | int], column: dict[str, Any], continuous: bool) -> None:
    rows = column["rows"]
    n_specials = len(column["special_values"])
    n_rows = len(column["splits"]) + 1 + n_specials + 2  # regular, specials, missing, totals
    for key, values in rows.items():
        if len(values) != n_rows:
            reason = f"debe tener {n_rows} filas (tramos, especiales, ausentes y total)"
            _refuse([*path, "rows", key], reason)
    if ("target_mean" in rows) != continuous:
        reason = "debe estar solo con un objetivo continuo"
        _refuse([*path, "rows", "target_mean"], reason)
    _check_counts([*path, "rows"], rows)
    # A regular bin's representative: NaN when the bin is empty or holds categories.
    n_regular = n_rows - n_specials - 2
    regular = zip(
        rows["count"][:n_regular], floats(rows["representative"][:n_regular]), strict=True
    )
    for r, (n, value) in enumerate(regular):
        wanted_nan = n == 0 or "categories" in column
        if math.isnan(value) != wanted_nan or math.isinf(value):
            reason = "debe ser NaN" if wanted_nan else "debe ser un número finito"
            _refuse([*path, "rows", "representative", r], reason)


def check_meaning(document: dict[str, Any]) -> None:
    """The checks a schema cannot make, on a document that passed the schema."""
    if not math.isfinite(floats([document["target"]["threshold"]])[0]):
        _refuse("target.threshold", "debe ser un número finito")
    columns = document["columns"]
    _check_unique(["columns"], [c["name"] for c in columns], "el nombre de columna")
    labels = document.get("column_labels")
    if labels is not None:
        if len(labels) != len(columns):
            _refuse("column_labels", f"debe tener {len(columns)} etiquetas, una por columna")
        for i, (label, column) in enumerate(zip(labels, columns, strict=True)):
            if str(as_label(label)) != column["name"]:
                _refuse(["column_labels", i], f"no es la etiqueta de '{column['name']}'")
    continuous = document["target"]["type"] == "continuous"
    for i, column in enumerate(columns):
        path: list[str | int] = ["columns", i]
        _check_splits([*path, "splits"], floats(column["splits"]))
        specials = _check_specials([*path, "special_values"], column)
        if "categories" in column:
            _check_categories(path, column, specials)
        _check_rows(path, column, continuous)
        for key in COUNT_KEYS:
            if column["rows"][key][-1] != columns[0]["rows"][key][-1]:
                reason = "(totales) debe ser igual en todas las columnas"
                _refuse([*path, "rows", key, len(column["rows"][key]) - 1], reason)


def as_label(label: Any) -> Any:
    """A column label back: a list stands for a tuple label (of a MultiIndex)."""
    return tuple(as_label(part) for part in label) if isinstance(label, list) else label


def check_bin_labels(path: str, written: list[str], expected: list[str]) -> None:
    """Refuses a file whose readable labels of the bins say other bins than its cuts do."""
    for r, (given, label) in enumerate(zip(written, expected, strict=False)):
        if given != label:
            _refuse(f"{path}[{r}]", f"debe ser '{label}', la etiqueta de sus cortes")
    if len(written) != len(expected):
        _refuse(path, f"debe tener {len(expected)} etiquetas, una por fila")
