"""Supervised binning for credit scorecards.

Hand over a table and a target; get, per variable, bins to read, judge, plot, save and
apply to new data. The numerical work is done by the native core `_tembrolin`.
"""

from tembrolin.binner import Binner
from tembrolin.bins import ColumnBins, FittedBins
from tembrolin.diagnostics import discrimination, lorenz_curve, stability
from tembrolin.plots import plot_lorenz
from tembrolin.tables import woe_iv

__all__ = [
    "Binner",
    "ColumnBins",
    "FittedBins",
    "discrimination",
    "lorenz_curve",
    "plot_lorenz",
    "stability",
    "woe_iv",
]
