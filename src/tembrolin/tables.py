"""Bin tables with weight of evidence and information value, and the one-row summary."""

from __future__ import annotations

from collections.abc import Mapping, Sequence
from itertools import pairwise
from typing import Any

import numpy as np
import pandas as pd

from tembrolin import _errors, bin_statistics, monotone
from tembrolin.bins import ColumnBins, FittedBins
from tembrolin.fitting import CONTINUOUS_KEYS

MISSING_LABEL = "missing"
TOTAL_LABEL = "total"
LABEL_WIDTH = 60


def woe_iv(non_events: np.ndarray, events: np.ndarray) -> tuple[np.ndarray, np.ndarray]:
    """Weight of evidence and information-value contribution of each bin.

    WoE_i = ln(g_i / b_i), with g_i = non_events_i / sum(non_events) and
    b_i = events_i / sum(events): positive where events are rarer than overall (the usual
    credit convention, events being the bad outcomes), and IV_i = (g_i - b_i) * WoE_i >= 0.

    A bin with no events or no non-events would give an infinite WoE: 0.5 is added to
    both of its counts (the totals stay as they are). An empty bin, or a sample without one
    of the classes, gets WoE 0 and IV 0.

    >>> woe, iv = woe_iv(np.array([40, 30, 10]), np.array([10, 20, 0]))
    >>> round(float(woe[0]), 4), round(float(iv.sum()), 4)
    (0.4055, 0.4719)
    """
    non_events = np.asarray(non_events, dtype=np.float64)
    events = np.asarray(events, dtype=np.float64)
    total_good, total_bad = non_events.sum(), events.sum()
    if total_good == 0 or total_bad == 0:
        zeros = np.zeros_like(non_events)
        return zeros, zeros.copy()
    adjust = np.where((non_events == 0) | (events == 0), 0.5, 0.0)
    good = (non_events + adjust) / total_good
    bad = (events + adjust) / total_bad
    empty = (non_events + events) == 0
    with np.errstate(divide="ignore", invalid="ignore"):
        woe = np.where(empty, 0.0, np.log(good / bad))
    iv = np.where(empty, 0.0, (good - bad) * woe)
    return woe, iv


def _numbers(values: Sequence[float] | np.ndarray) -> list[str]:
    """Ten significant digits, unless that makes two different values look alike."""
    short = [f"{float(v):.10g}" for v in values]
    if len(set(short)) == len(set(map(float, values))):
        return short
    return [repr(float(v)) for v in values]


def category_label(categories: Sequence[Any], width: int = LABEL_WIDTH) -> str:
    """The categories of a bin as one label, shortened past `width` characters with the
    number of categories left out (the record keeps them all)."""
    names = [str(c) for c in categories]
    label = ", ".join(names)
    if len(label) <= width:
        return label
    shown: list[str] = []
    for name in names:
        if len(", ".join([*shown, name])) > width - 12:
            break
        shown.append(name)
    return f"{', '.join(shown)}, … (+{len(names) - len(shown)})"


def labels(bins: ColumnBins) -> list[str]:
    """The regular bins (intervals, or their categories), then the special values,
    missing, total."""
    if bins.categories is not None:
        regular = [category_label(c) for c in bins.categories]
        special = [f"special {value}" for value in bins.special_values]
    else:
        edges = ["-inf", *_numbers(bins.splits), "inf"]
        regular = [
            f"({low}, {high}{')' if high == 'inf' else ']'}" for low, high in pairwise(edges)
        ]
        special = [f"special {value}" for value in _numbers(bins.special_values)]
    return [*regular, *special, MISSING_LABEL, TOTAL_LABEL]


def woe_of_rows(bins: ColumnBins) -> tuple[np.ndarray, np.ndarray]:
    """WoE and IV of every row but the totals."""
    return woe_iv(bins.rows["c0"][:-1], bins.rows["c1"][:-1])


def bin_table(bins: ColumnBins) -> pd.DataFrame:
    """One row per bin, special value and missing, then the totals row."""
    rows = bins.rows
    count = rows["count"]
    woe, iv = woe_of_rows(bins)
    js = bin_statistics.js_terms(rows["c0"][:-1], rows["c1"][:-1])
    p_values, tests = bin_statistics.next_bin_tests(bins)
    table = pd.DataFrame(
        {
            "bin": labels(bins),
            "count": count,
            "share": count / count[-1] if count[-1] else np.zeros(len(count)),
            "non_events": rows["c0"],
            "events": rows["c1"],
            "event_rate": rows["event_rate"],
            "woe": np.append(woe, np.nan),
            "iv": np.append(iv, iv.sum()),
            "js": np.append(js, js.sum()),
            "p_value": p_values,  # against the next bin
            "test": tests,
            "representative": rows["representative"],
        }
    )
    for key in CONTINUOUS_KEYS:
        if key in rows:
            table[key] = rows[key]
    return table


def _params_text(bins: ColumnBins, params: Mapping[str, Any]) -> str:
    """The parameters of the column's method, as the summary shows them."""
    names = {
        "optimal": (
            "min_bin_share",
            "prebinning",
            "n_prebins",
            "min_prebin_share",
            "objective",
            "max_n_bins",
            "max_pvalue",
        ),
        "mdlp": ("min_bin_share", "alpha", "beta", "candidates"),
        "quantile": ("n_bins",),
        "equal_width": ("n_bins", "width_range"),
    }.get(bins.method, ())
    return ", ".join(f"{name}={params[name]}" for name in names)


def summary_row(bins: ColumnBins, params: Mapping[str, Any]) -> dict[str, object]:
    """One variable's line of the summary."""
    count = bins.rows["count"]
    regular = slice(0, bins.n_regular)
    rounded = {} if bins.rounding is None else {"rounding": bins.rounding}
    return {
        "variable": bins.name,
        "kind": "categorical" if bins.categorical else "numeric",
        "n_bins": bins.n_regular,
        "iv": float(woe_of_rows(bins)[1].sum()),
        "auc": bins.auc_gini[0],
        "gini": bins.auc_gini[1],
        **bin_statistics.column_statistics(bins),
        "share_missing": float(count[bins.missing_row] / count[-1]) if count[-1] else 0.0,
        "monotone": monotone.is_monotone(bins.rows["event_rate"][regular], count[regular]),
        "trend": bins.trend,
        "method": bins.method,
        "feasible": bins.feasible,
        "params": _params_text(bins, params),
        **rounded,
    }


def summary(fitted: FittedBins, params: Mapping[str, Any], sort_by: str | None) -> pd.DataFrame:
    """One row per variable (see `Binner.summary`), sorted by `sort_by`, descending."""
    rows = [summary_row(b, params) for b in fitted.columns.values()]
    frame = pd.DataFrame(rows).set_index("variable")
    if fitted.target_missing:
        frame["target_missing"] = fitted.target_missing  # rows left out of every fit
    if sort_by is not None:
        if not isinstance(sort_by, str) or sort_by not in frame.columns:
            error = _errors.choice("sort_by", sort_by, list(frame.columns))
            raise error
        frame = frame.sort_values(sort_by, ascending=False, kind="stable")
    return frame
