"""The package's own messages to users, in Spanish, each naming the column or argument.

Errors raised by `_tembrolin` pass through untouched: one language per traceback.
"""

from __future__ import annotations

from collections.abc import Iterable


def _quoted(names: Iterable[str]) -> str:
    return ", ".join(f"'{name}'" for name in names)


def choice(argument: str, value: object, allowed: Iterable[str]) -> ValueError:
    return ValueError(f"{argument} debe ser {' o '.join(map(repr, allowed))}; se recibió {value!r}")


def out_of_range(argument: str, value: object, rule: str) -> ValueError:
    return ValueError(f"{argument} debe ser {rule}; se recibió {value!r}")


def not_numeric(column: str, dtype: object) -> TypeError:
    return TypeError(f"la columna '{column}' no es numérica (tipo {dtype})")


def not_two_dimensional(shape: tuple[int, ...]) -> ValueError:
    return ValueError(f"X debe ser una tabla de dos dimensiones; se recibió la forma {shape}")


def sparse_input() -> TypeError:
    return TypeError("X es una matriz dispersa (sparse), que no se admite: use X.toarray()")


def no_rows() -> ValueError:
    return ValueError("X no tiene filas: se necesita al menos una para ajustar")


def y_missing() -> ValueError:
    return ValueError("y es obligatorio: el agrupamiento es supervisado")


def y_length(n_y: int, n_rows: int) -> ValueError:
    return ValueError(f"y tiene {n_y} valores, pero X tiene {n_rows} filas")


def y_not_numeric(dtype: object) -> ValueError:
    return ValueError(f"y debe ser numérico (0/1 o continuo); se recibió el tipo {dtype}")


def y_not_finite() -> ValueError:
    return ValueError("y contiene valores infinitos: un objetivo debe ser finito o ausente")


def ambiguous_target(seen: list[float], floating: bool) -> ValueError:
    shown = ", ".join(f"{v:g}" for v in seen[:2]) + (", ..." if len(seen) > 2 else "")
    kind = "decimal" if floating else "entero"
    return ValueError(
        f"y ({kind}) tiene los valores {shown}, que no son 0 y 1: no se sabe qué es un evento. "
        "Recodifique y como 0/1 (1 = evento), o dé target_threshold (eventos: y > umbral) "
        "o target_percentile para tratarlo como continuo"
    )


def unsupported_column(column: str, dtype: object) -> TypeError:
    return TypeError(
        f"la columna '{column}' es de tipo {dtype}, que no es numérico ni categórico: "
        "conviértala antes del ajuste"
    )


def y_shape(shape: tuple[int, ...]) -> ValueError:
    return ValueError(f"y debe ser una sola columna; se recibió la forma {shape}")


def unknown_column(column: object, known: Iterable[str]) -> KeyError:
    return KeyError(f"columna desconocida '{column}'; columnas ajustadas: {_quoted(known)}")


def unknown_columns(argument: str, columns: Iterable[str]) -> ValueError:
    return ValueError(f"{argument} menciona columnas que X no tiene: {_quoted(columns)}")


def nan_given(argument: str) -> ValueError:
    return ValueError(f"{argument} no admite NaN: los valores ausentes ya tienen su propia fila")


def columns_differ(missing: list[str], extra: list[str]) -> ValueError:
    parts = []
    if missing:
        parts.append(f"faltan {_quoted(missing)}")
    if extra:
        parts.append(f"sobran {_quoted(extra)}")
    return ValueError("las columnas no coinciden con las del ajuste: " + "; ".join(parts))


def column_count(n_given: int, n_fitted: int) -> ValueError:
    return ValueError(f"X tiene {n_given} columnas, pero el agrupador se ajustó con {n_fitted}")


def not_fitted() -> str:
    return "el agrupador no está ajustado: llame a fit antes de usarlo"


def not_saveable(value: object) -> TypeError:
    return TypeError(
        f"el valor {value!r} ({type(value).__name__}) no se puede guardar en JSON: las "
        "etiquetas y los parámetros guardados son textos, números o booleanos"
    )


def bad_json(reason: str) -> ValueError:
    return ValueError(f"el JSON no describe un agrupador de tembrolin: {reason}")


def needs_both_classes(column: str) -> ValueError:
    return ValueError(
        f"la columna '{column}' necesita eventos y no eventos para la curva de Lorenz"
    )


def table_too_large(column: str, entries: int, budget: int) -> MemoryError:
    return MemoryError(
        f"la columna '{column}' tiene al menos {entries} valores distintos: sus conteos "
        f"pasarían de max_table_bytes={budget} bytes. Redondee la columna antes del ajuste, "
        f"con round_digits={{'{column}': 4}} (cifras significativas) o "
        f"round_grid={{'{column}': 0.01}} (múltiplos de un paso), o suba max_table_bytes"
    )


def rounded_twice(columns: Iterable[str]) -> ValueError:
    return ValueError(f"round_digits y round_grid nombran a la vez {_quoted(columns)}: elija uno")


def dask_target(kind: str) -> TypeError:
    return TypeError(
        "con X de Dask, y debe ser el nombre de una columna o una Series de Dask; "
        f"se recibió {kind}"
    )


def dask_only(arguments: Iterable[str]) -> TypeError:
    return TypeError(f"{_quoted(arguments)} solo se admite(n) cuando X es un DataFrame de Dask")


def no_columns() -> ValueError:
    return ValueError("X no tiene columnas: se necesita al menos una para ajustar")


def user_splits_categorical(columns: Iterable[str]) -> ValueError:
    return ValueError(
        f"user_splits no se aplica a columnas categóricas: {_quoted(columns)}; sus grupos "
        "salen del ajuste"
    )


def unknown_values(column: str, values: Iterable[object]) -> ValueError:
    shown = ", ".join(repr(v) for v in list(values)[:5])
    return ValueError(
        f"la columna '{column}' tiene valores que el ajuste no vio: {shown} "
        "(handle_unknown='error'; con 'neutral' reciben WoE 0 y la tasa de eventos global)"
    )


def weights_not_numbers() -> TypeError:
    return TypeError("sample_weight debe ser una lista de números, uno por fila")


def weights_shape(shape: tuple[int, ...], n_rows: int) -> ValueError:
    return ValueError(
        f"sample_weight debe tener un peso por fila ({n_rows}); se recibió la forma {shape}"
    )


def weights_not_finite() -> ValueError:
    return ValueError("sample_weight debe tener pesos finitos y no negativos")


def weights_all_zero() -> ValueError:
    return ValueError("sample_weight: algún peso debe ser positivo")


def weights_with_mdlp(column: str) -> ValueError:
    return ValueError(
        f"la columna '{column}' usa method='mdlp', que no admite sample_weight (cuenta "
        "observaciones): use 'optimal', 'quantile', 'equal_width' o user_splits"
    )


def weights_on_cluster() -> TypeError:
    return TypeError("sample_weight no se admite cuando X es un DataFrame de Dask")


def duplicate_columns(columns: Iterable[str]) -> ValueError:
    return ValueError(f"X tiene columnas con el mismo nombre: {_quoted(columns)}")


def target_not_aligned() -> ValueError:
    return ValueError(
        "y no tiene las mismas filas que X (su índice o sus particiones difieren): "
        "pase y como columna de X, o alinéelos antes"
    )


def json_field(path: str, reason: str) -> ValueError:
    """A saved binner refused: the field at `path` (as columns[2].rows.c0[3]) and why."""
    return ValueError(f"el JSON no describe un agrupador de tembrolin: {path}: {reason}")


def json_syntax(reason: str, line: int = 0, column: int = 0) -> ValueError:
    where = f" (línea {line}, columna {column})" if line else ""
    return ValueError(f"el texto no es JSON válido{where}: {reason}")


def json_not_text(argument: str, value: object) -> TypeError:
    return TypeError(f"{argument} debe ser un str con el JSON; se recibió {type(value).__name__}")


def json_path(value: object) -> TypeError:
    return TypeError(
        f"path debe ser la ruta de un archivo (str o Path); se recibió {type(value).__name__}. "
        "Para leer el texto JSON use Binner.from_json_text"
    )


def unreadable_file(path: object, error: OSError) -> OSError:
    """The same kind of OSError as `error`, with the reason in Spanish."""
    reasons = {
        FileNotFoundError: "no existe",
        IsADirectoryError: "es una carpeta, no un archivo",
        PermissionError: "no hay permiso para leerlo",
    }
    reason = reasons.get(type(error), f"no se puede leer (errno {error.errno})")
    shown = str(path) if len(str(path)) <= 80 else f"{str(path)[:77]}..."
    return type(error)(f"el archivo '{shown}' {reason}")


def not_utf8(path: object, position: int) -> ValueError:
    return ValueError(f"el archivo '{path}' no es texto UTF-8 (byte {position} no válido)")


def scorecard_needs_binary() -> ValueError:
    return ValueError(
        "la tarjeta de puntuación necesita un objetivo binario (0/1): y se leyó como continuo"
    )


def no_variables_selected() -> ValueError:
    return ValueError(
        "ninguna variable pasó la selección (min_iv, min_gini, max_share_missing): "
        "relaje los umbrales"
    )


def bad_scorecard_json(reason: str) -> ValueError:
    return ValueError(f"el JSON no describe una tarjeta de puntuación de tembrolin: {reason}")


def scorecard_not_fitted() -> str:
    return "la tarjeta de puntuación no está ajustada: llame a fit antes de usarla"


def scorecard_fit_in_memory() -> TypeError:
    return TypeError(
        "Scorecard.fit necesita X en memoria (pandas, polars o NumPy); con Dask, ajuste sobre "
        "una muestra (X.compute()) y puntúe el resto con score"
    )
