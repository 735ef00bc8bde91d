"""What a fitted binner shows: its bin tables, its summary, its plots, its output names."""

from __future__ import annotations

from collections.abc import Callable, Sequence
from pathlib import Path
from typing import Any

import numpy as np
import pandas as pd

from tembrolin import plots, tables
from tembrolin.bins import fitted_bins


class BinReports:
    """The reports of a fitted binner (`tembrolin.Binner` takes them from here)."""

    get_params: Callable[..., dict[str, Any]]  # the estimator's

    def get_feature_names_out(self, input_features: Sequence[str] | None = None) -> np.ndarray:
        """The names of the transformed columns: those of the fitted columns.

        Parameters
        ----------
        input_features : sequence of str, optional
            Names to check against the fitted ones and to use instead.

        Returns
        -------
        ndarray of str
        """
        return fitted_bins(self).names_out(input_features)

    def table(self, column: str | int) -> pd.DataFrame:
        """The bin table of one column: per bin, special value and missing, then the
        totals: count, share, non-events, events, event rate, WoE, IV, representative
        (and the target's statistics for a continuous target).

        Parameters
        ----------
        column : str or int
            The column, by name or position.

        Returns
        -------
        pandas.DataFrame
        """
        return tables.bin_table(fitted_bins(self).column(column))

    def summary(self, sort_by: str | None = "iv") -> pd.DataFrame:
        """One row per variable: bins, IV, AUC and Gini of the binned variable, share
        missing, monotone event rate, the trend applied and the method's parameters.

        Parameters
        ----------
        sort_by : str or None, default "iv"
            The column to sort by, descending, so the strongest variables come first;
            None keeps the fitted order.

        Returns
        -------
        pandas.DataFrame
            Indexed by variable.
        """
        return tables.summary(fitted_bins(self), self.get_params(), sort_by)

    def plot(self, column: str | int, ax: Any = None, metric: str = "event_rate") -> Any:
        """Bars of each bin's share with its event rate or WoE on a second axis (matplotlib;
        see `plots.plot_bins`).

        Parameters
        ----------
        column : str or int
            The column, by name or position.
        ax : matplotlib Axes, optional
            Where to draw; a new figure when not given.
        metric : {"event_rate", "woe"}, default "event_rate"
            The line drawn over the bars.

        Returns
        -------
        matplotlib Axes
        """
        name = str(fitted_bins(self).column(column).name)
        return plots.plot_bins(self.table(column), name, ax=ax, metric=metric)

    def report(self, path: str | Path, stability: Any = None) -> Path:
        """A self-contained HTML report of the bins: the summary, each variable's table
        and plot (see `tembrolin.report.write_report`).

        Parameters
        ----------
        path : str or Path
            Where to write the page.
        stability : pandas.DataFrame, optional
            A `tembrolin.stability(..., by_bin=True)` table to show.

        Returns
        -------
        Path
            The page written.
        """
        from tembrolin.report import write_report  # noqa: PLC0415 (Jinja2 and matplotlib)

        return write_report(self, path, stability=stability)
