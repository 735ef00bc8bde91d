"""Pictures of the bins; matplotlib is imported here only, when a plot is asked for."""

from __future__ import annotations

from typing import Any

import numpy as np
import pandas as pd

from tembrolin import diagnostics, tables
from tembrolin.bins import fitted_bins
from tembrolin.request import check_choice


def axes(ax: Any) -> Any:
    """The given Axes, or those of a new figure."""
    if ax is None:
        import matplotlib.pyplot as plt  # noqa: PLC0415 (an optional extra, loaded on demand)

        _, ax = plt.subplots(figsize=(8, 4.5), layout="constrained")
    return ax


METRIC_LABELS = {"event_rate": "tasa de eventos", "woe": "WoE"}


def plot_bins(table: pd.DataFrame, title: str, ax: Any = None, metric: str = "event_rate") -> Any:
    """Bars of each bin's share and its event rate or WoE as a line on a second axis; the
    special and missing bins get bars (grey) only when they hold rows.

    Parameters
    ----------
    table : pandas.DataFrame
        A bin table (`Binner.table`).
    title : str
        The title of the plot.
    ax : matplotlib Axes, optional
        Where to draw; a new figure when not given.
    metric : {"event_rate", "woe"}, default "event_rate"
        What the line shows.

    Returns
    -------
    matplotlib Axes
        The Axes of the bars.
    """
    check_choice("metric", metric, list(METRIC_LABELS))
    ax = axes(ax)
    rows = table[table["bin"] != tables.TOTAL_LABEL]
    apart = (
        rows["bin"].str.startswith("special") | (rows["bin"] == tables.MISSING_LABEL)
    ).to_numpy()
    shown = ~apart | (rows["count"].to_numpy() > 0)
    rows, apart = rows[shown].reset_index(drop=True), apart[shown]
    positions = np.arange(len(rows))
    ax.bar(positions, rows["share"], color=np.where(apart, "#b0b0b0", "#4c72b0"))
    ax.set_ylabel("proporción de filas")
    ax.set_xticks(positions, rows["bin"], rotation=35, ha="right", fontsize=8)
    ax.set_title(title)
    line = ax.twinx()
    values = rows[metric].to_numpy()
    # The line joins ordered bins only; special and missing bins are points of their own.
    line.plot(positions[~apart], values[~apart], color="#c44e52", marker="o")
    line.plot(positions[apart], values[apart], color="#c44e52", marker="D", linestyle="none")
    line.set_ylabel(METRIC_LABELS[metric], color="#c44e52")
    if metric == "event_rate":
        line.set_ylim(0, max(1e-9, float(values.max())) * 1.15)
    else:
        line.axhline(0.0, color="grey", linewidth=0.8, linestyle=":")
    return ax


def plot_lorenz(
    binner: Any, X: Any, y: Any, columns: list[str] | None = None, ax: Any = None
) -> Any:
    """Lorenz curves (share of events against share of non-events) of binned variables,
    with their Gini in the legend.

    Parameters
    ----------
    binner : Binner
        Fitted; its bins score each variable by event rate.
    X, y : DataFrame or 2-D array, and array or Series
        Rows to score, with their target.
    columns : list of str, optional
        Which variables get a curve (default: every fitted one).
    ax : matplotlib Axes, optional
        The Axes to draw the curves on; by default a new figure's.

    Returns
    -------
    matplotlib Axes
        The Axes that holds the curves and the diagonal.
    """
    ax = axes(ax)
    for column in columns if columns is not None else fitted_bins(binner).names:
        curve = diagnostics.lorenz_curve(binner, X, y, column)
        ax.plot(
            [0.0, *curve["cumulative_non_event"]],
            [0.0, *curve["cumulative_event"]],
            label=f"{column} (Gini {curve['gini']:.3f})",
        )
    ax.plot([0, 1], [0, 1], color="grey", linestyle=":", linewidth=1)
    ax.set_xlabel("cumulative share of non-events")
    ax.set_ylabel("cumulative share of events")
    ax.legend(fontsize=8)
    return ax
