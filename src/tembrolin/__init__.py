"""Supervised binning for credit scorecards.

Hand over a table and a target; get, per variable, bins to read, judge, plot, save and
apply to new data, and a scorecard on them: points per bin, reasons, monitoring. The
numerical work is done by the native core `_tembrolin`.
"""

from tembrolin.binner import Binner
from tembrolin.bins import ColumnBins, FittedBins
from tembrolin.diagnostics import discrimination, lorenz_curve, stability
from tembrolin.monitoring import StabilityReport, stability_report
from tembrolin.performance import score_performance
from tembrolin.plots import plot_lorenz
from tembrolin.scorecard import Scorecard
from tembrolin.selection import select_variables
from tembrolin.tables import woe_iv

__all__ = [
    "Binner",
    "ColumnBins",
    "FittedBins",
    "Scorecard",
    "StabilityReport",
    "discrimination",
    "lorenz_curve",
    "plot_lorenz",
    "score_performance",
    "select_variables",
    "stability",
    "stability_report",
    "woe_iv",
]
