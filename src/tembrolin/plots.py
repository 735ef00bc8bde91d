"""Pictures of the bins; matplotlib is imported here only, when a plot is asked for."""

from __future__ import annotations

from typing import Any

import numpy as np
import pandas as pd

from tembrolin import diagnostics, tables
from tembrolin.bins import fitted_bins


def _axes(ax: Any) -> Any:
    if ax is None:
        import matplotlib.pyplot as plt  # noqa: PLC0415 (an optional extra, loaded on demand)

        _, ax = plt.subplots(figsize=(8, 4.5), layout="constrained")
    return ax


def plot_bins(table: pd.DataFrame, title: str, ax: Any = None) -> Any:
    """Bars of each bin's share (missing and special bins included) and the event rate
    as a line on a second axis.

    Parameters
    ----------
    table : pandas.DataFrame
        A bin table (`Binner.table`).
    title : str
        The title of the plot.
    ax : matplotlib Axes, optional
        Where to draw; a new figure when not given.

    Returns
    -------
    matplotlib Axes
        The Axes of the bars.
    """
    ax = _axes(ax)
    rows = table[table["bin"] != tables.TOTAL_LABEL].reset_index(drop=True)
    positions = np.arange(len(rows))
    apart = rows["bin"].str.startswith("special") | (rows["bin"] == tables.MISSING_LABEL)
    ax.bar(positions, rows["share"], color=np.where(apart, "#b0b0b0", "#4c72b0"))
    ax.set_ylabel("share of rows")
    ax.set_xticks(positions, rows["bin"], rotation=35, ha="right", fontsize=8)
    ax.set_title(title)
    rate = ax.twinx()
    # The line joins ordered bins only; special and missing bins are points of their own.
    rate.plot(positions[~apart], rows["event_rate"][~apart], color="#c44e52", marker="o")
    rate.plot(
        positions[apart], rows["event_rate"][apart], color="#c44e52", marker="D", linestyle="none"
    )
    rate.set_ylabel("event rate", color="#c44e52")
    rate.set_ylim(0, max(1e-9, float(rows["event_rate"].max())) * 1.15)
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
    ax = _axes(ax)
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
