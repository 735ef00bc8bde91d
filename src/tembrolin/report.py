"""One self-contained HTML file that shows a binner or a scorecard: the summary, each
variable's table and picture, the scorecard, its performance and its stability.

The page is made from the Jinja2 template `templates/report.html.j2` with autoescaping on;
the styles are on the page and the pictures are SVG data URIs, so it opens in any browser
with nothing fetched. Labels are Spanish. Jinja2 and matplotlib are imported only here.
"""

from __future__ import annotations

import base64
import io
import math
import re
from pathlib import Path
from typing import Any

import numpy as np
import pandas as pd
from sklearn.utils.validation import check_is_fitted

from tembrolin import _errors, performance, plots, score_plots
from tembrolin.bins import fitted_bins
from tembrolin.monitoring import StabilityReport
from tembrolin.scorecard import Scorecard

HEADERS = {
    "variable": "Variable", "bin": "Grupo", "count": "Filas", "share": "Proporción",
    "non_events": "No eventos", "events": "Eventos", "event_rate": "Tasa de eventos",
    "woe": "WoE", "iv": "IV", "js": "JS", "p_value": "Valor p (vs. siguiente)",
    "test": "Prueba", "representative": "Representante", "kind": "Tipo", "n_bins": "Grupos",
    "auc": "AUC", "gini": "Gini", "hellinger": "Hellinger", "hhi": "HHI", "ks": "KS",
    "share_missing": "Faltantes", "monotone": "Monótona", "trend": "Tendencia",
    "method": "Método", "params": "Parámetros", "rounding": "Redondeo", "feasible": "Factible",
    "target_missing": "Objetivo ausente", "correlation": "Correlación",
    "kept": "Seleccionada", "reason": "Motivo", "coefficient": "Coeficiente",
    "points": "Puntos", "band": "Banda", "cumulative_events": "Eventos acumulados",
    "cumulative_non_events": "No eventos acumulados", "count_reference": "Filas (referencia)",
    "count_current": "Filas (actual)", "share_reference": "Proporción (referencia)",
    "share_current": "Proporción (actual)", "psi": "PSI", "points_shift": "Cambio de puntos",
}  # fmt: skip
WORDS = {
    "numeric": "numérica", "categorical": "categórica", "ascending": "creciente",
    "descending": "decreciente", "peak": "pico", "valley": "valle", "missing": "faltantes",
    "total": "total", "optimal": "óptimo",
}  # fmt: skip
TARGETS = {"binary": "binario", "continuous": "continuo"}


def _text(value: Any) -> tuple[str, bool]:
    """A cell's text, and whether it is a number (right-aligned)."""
    if isinstance(value, (bool, np.bool_)):
        return ("sí" if value else "no"), False
    if isinstance(value, (int, np.integer)):
        return f"{int(value):,}".replace(",", "\u00a0"), True
    if isinstance(value, (float, np.floating)):
        number = float(value)
        if math.isnan(number):
            return "—", True
        small = number != 0 and abs(number) < 1e-3
        return (f"{number:.2e}" if small else f"{number:.4g}"), True
    if value is None:
        return "", False
    text = str(value)
    if text.startswith("special "):
        return "especial " + text.removeprefix("special "), False
    return WORDS.get(text, text), False


def _table(frame: pd.DataFrame, dropped: pd.Series | None = None) -> dict[str, Any]:
    """A frame as the template's table: Spanish headers and formatted cells."""
    frame = frame.reset_index() if frame.index.name is not None else frame
    rows = []
    for i, record in enumerate(frame.itertuples(index=False)):
        cells = [dict(zip(("text", "number"), _text(v), strict=True)) for v in record]
        rows.append(
            {"cells": cells, "dropped": bool(dropped.iloc[i]) if dropped is not None else False}
        )
    return {"headers": [HEADERS.get(str(c), str(c)) for c in frame.columns], "rows": rows}


def _figure(ax: Any) -> str:
    """An Axes' figure as an SVG data URI; the figure is closed."""
    import matplotlib.pyplot as plt  # noqa: PLC0415 (an optional extra, loaded on demand)

    buffer = io.BytesIO()
    with plt.rc_context({"svg.hashsalt": "tembrolin"}):  # the same ids on every run
        ax.figure.savefig(buffer, format="svg", metadata={"Date": None})
    plt.close(ax.figure)
    return "data:image/svg+xml;base64," + base64.b64encode(buffer.getvalue()).decode("ascii")


def _variables(binner: Any, selected: list[str] | None) -> list[dict[str, Any]]:
    names = fitted_bins(binner).names
    if selected is not None:  # the scorecard's variables first
        names = [*selected, *(n for n in names if n not in selected)]
    out = []
    for k, name in enumerate(names):
        table = binner.table(name)
        note = (
            ""
            if selected is None
            else ("en la tarjeta" if name in selected else "fuera de la tarjeta")
        )
        out.append({
            "name": name,
            "id": f"variable-{k}-" + re.sub(r"[^0-9A-Za-z_-]+", "-", name),
            "note": note,
            "table": _table(table),
            "figure": _figure(plots.plot_bins(table, name, metric="woe")),
        })  # fmt: skip
    return out


def _metrics(values: dict[str, float]) -> list[tuple[str, str]]:
    return [(name.upper() if name != "gini" else "Gini", f"{v:.4f}") for name, v in values.items()]


def _performance(card: Any, X: Any, y: Any, n_bands: int) -> dict[str, Any]:
    counts = performance.count_scores(card, X, y)
    bands = performance.band_table(counts, performance.band_edges(counts, n_bands))
    figures = [
        (score_plots.plot_score_distribution(counts), "Distribución de la puntuación por clase"),
        (score_plots.plot_ks(counts), "Curva KS"),
        (score_plots.plot_roc(counts), "Curva ROC"),
    ]
    return {
        "metrics": _metrics(performance.metrics(counts)),
        "bands": _table(bands),
        "figures": [{"src": _figure(ax), "alt": alt} for ax, alt in figures],
    }


def _stability(stability: StabilityReport | pd.DataFrame) -> dict[str, Any]:
    if isinstance(stability, pd.DataFrame):  # tembrolin.stability of a binner
        return {
            "metrics": [],
            "tables": [{"title": "PSI y KS por variable", "table": _table(stability)}],
        }
    metrics = [("PSI de la puntuación", f"{stability.psi:.4f}")]
    for sample, values in (stability.performance or {}).items():
        name = {"reference": "referencia", "current": "actual"}[sample]
        metrics += [(f"{k} ({name})", v) for k, v in _metrics(values)]
    return {
        "metrics": metrics,
        "tables": [
            {"title": "PSI por banda de puntuación", "table": _table(stability.bands)},
            {"title": "Análisis por variable", "table": _table(stability.variables)},
            {
                "title": "Análisis característico por grupo",
                "table": _table(stability.characteristics),
            },
        ],
    }


def write_report(
    source: Any,
    path: str | Path,
    X: Any = None,
    y: Any = None,
    stability: StabilityReport | pd.DataFrame | None = None,
    n_bands: int = 10,
) -> Path:
    """Writes the report of a fitted binner or scorecard to one HTML file.

    Parameters
    ----------
    source : Binner or Scorecard
        Fitted.
    path : str or Path
        The file to write.
    X, y : DataFrame and its target, optional
        Labelled rows to measure a scorecard's performance on (AUC, Gini, KS, bands,
        the score's distribution, KS and ROC curves).
    stability : StabilityReport, or the DataFrame of `tembrolin.stability`, optional
        Shown when given.
    n_bands : int, default 10
        The score bands of the performance table.

    Returns
    -------
    Path
        Where the report was written.
    """
    import jinja2  # noqa: PLC0415 (loaded when a report is asked for)

    card = source if isinstance(source, Scorecard) else None
    if card is not None:
        check_is_fitted(card, "points_", msg=_errors.scorecard_not_fitted())
    binner = source.binner_ if card is not None else source
    summary = binner.summary().drop(columns="params")
    context: dict[str, Any] = {
        "title": "Informe de la tarjeta de puntuación" if card else "Informe de agrupamiento",
        "subtitle": f"{len(summary)} variables · objetivo {TARGETS[binner.target_type_]}",
        "summary": _table(summary),
        "variables": _variables(binner, None if card is None else card.variables_),
    }
    if card is not None:
        selection = card.selection_
        context["selection"] = _table(selection, dropped=~selection["kept"])
        context["selection_note"] = (
            f"{len(card.variables_)} de {len(selection)} variables seleccionadas."
        )
        context["card"] = {
            "scale": [
                ("Puntos para doblar las odds (PDO)", _text(card.pdo)[0]),
                (f"Puntuación base (odds {card.base_odds}:1)", _text(card.base_score)[0]),
                ("Puntuación mínima", _text(card.min_score_)[0]),
                ("Puntuación máxima", _text(card.max_score_)[0]),
            ],
            "table": _table(card.table()),
        }
        if X is not None and y is not None:
            context["performance"] = _performance(card, X, y, n_bands)
    if stability is not None:
        context["stability"] = _stability(stability)
    environment = jinja2.Environment(
        loader=jinja2.PackageLoader("tembrolin", "templates"), autoescape=True
    )
    page = environment.get_template("report.html.j2").render(context)
    path = Path(path)
    path.write_text(page, encoding="utf-8")
    return path
