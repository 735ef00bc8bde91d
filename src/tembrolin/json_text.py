"""Saved JSON text read without trusting it: Python's parser with its limits set.

Nesting past a fixed depth, the NaN and Infinity literals, numbers a double or an int64
cannot hold and keys repeated in one object are refused before anything is built, each
with the package's Spanish message; a leading byte-order mark is skipped.
"""

from __future__ import annotations

import json
import math
import re
from collections.abc import Iterable
from typing import Any, NoReturn

import numpy as np

from tembrolin import _errors

MAX_DEPTH = 64
MAX_INT_DIGITS = 19  # an int64 count has at most 19 digits
_STRINGS = re.compile(r'"(?:[^"\\]|\\.)*"')
_SYNTAX = {
    "Expecting value": "se esperaba un valor",
    "Expecting property name enclosed in double quotes": "se esperaba un nombre entre comillas",
    "Expecting ',' delimiter": "falta una coma",
    "Expecting ':' delimiter": "faltan los dos puntos",
    "Unterminated string starting at": "un texto sin cerrar",
    "Invalid control character at": "un carácter de control dentro de un texto",
    "Extra data": "sobra texto tras el JSON",
    "Illegal trailing comma before end of object": "una coma antes de cerrar el objeto",
    "Illegal trailing comma before end of array": "una coma antes de cerrar la lista",
}


def _bad_text(reason: str) -> NoReturn:
    raise _errors.json_syntax(reason)


def _refuse_constant(name: str) -> float:
    _bad_text(f'{name} no es JSON estándar: escriba "nan", "inf" o "-inf"')


def _finite_float(text: str) -> float:
    value = float(text)
    if not math.isfinite(value):
        _bad_text(f"el número {text[:30]} no cabe en un double")
    return value


def _bounded_int(text: str) -> int:
    if len(text.lstrip("-")) > MAX_INT_DIGITS:
        _bad_text(f"el entero {text[:30]}... tiene demasiadas cifras")
    return int(text)


def _unique_keys(pairs: list[tuple[str, Any]]) -> dict[str, Any]:
    document = dict(pairs)
    if len(document) < len(pairs):
        repeated = first_repeat(key for key, _ in pairs)
        _bad_text(f"la clave '{pairs[repeated or 0][0]}' aparece dos veces en un objeto")
    return document


def _check_depth(text: str) -> None:
    """Refuses nesting deeper than MAX_DEPTH, counted outside strings, in one pass."""
    codes = np.frombuffer(_STRINGS.sub('""', text).encode("utf-8", "surrogatepass"), np.uint8)
    opened = (codes == ord("[")) | (codes == ord("{"))
    closed = (codes == ord("]")) | (codes == ord("}"))
    depth = np.cumsum(opened.astype(np.int64) - closed)
    if len(depth) and depth.max() > MAX_DEPTH:
        _bad_text(f"anidado a más de {MAX_DEPTH} niveles")


def parse(text: str) -> Any:
    """The JSON value of `text`; a leading byte order mark is skipped."""
    text = text.removeprefix("\ufeff")
    _check_depth(text)
    try:
        return json.loads(
            text,
            parse_constant=_refuse_constant,
            parse_float=_finite_float,
            parse_int=_bounded_int,
            object_pairs_hook=_unique_keys,
        )
    except json.JSONDecodeError as error:
        reason = next((s for e, s in _SYNTAX.items() if error.msg.startswith(e)), "sintaxis")
        raise _errors.json_syntax(reason, error.lineno, error.colno) from None


def first_repeat(values: Iterable[Any]) -> int | None:
    """The position of the first value equal to an earlier one (1 and 1.0 are equal)."""
    seen: set[Any] = set()
    for i, value in enumerate(values):
        if value in seen:
            return i
        seen.add(value)
    return None
