"""Pictures of a score: its distribution by class, the KS and ROC curves. Each draws from the
class counts at each distinct score (`performance.count_scores`), so a Dask sample draws
as one machine's; matplotlib is imported only when a plot is asked for."""

from __future__ import annotations

from typing import Any

import numpy as np

from tembrolin._native import lorenz_counts
from tembrolin.performance import ScoreCounts, metrics
from tembrolin.plots import axes as axes_or_new

CLASSES = (("no eventos", "#4c72b0"), ("eventos", "#c44e52"))


def plot_score_distribution(counts: ScoreCounts, ax: Any = None, bins: int = 30) -> Any:
    """Histograms of the score of each class, as shares of that class.

    Parameters
    ----------
    counts : ScoreCounts
        Labelled counts of the score.
    ax : matplotlib Axes, optional
    bins : int, default 30

    Returns
    -------
    matplotlib Axes
    """
    ax = axes_or_new(ax)
    edges = np.histogram_bin_edges(counts.values, bins=bins)
    for (label, color), weights in zip(CLASSES, (counts.c0, counts.c1), strict=True):
        share = weights / max(1, int(weights.sum()))
        ax.hist(counts.values, bins=edges, weights=share, color=color, alpha=0.55, label=label)
    ax.set_xlabel("puntuación")
    ax.set_ylabel("proporción de la clase")
    ax.set_title("Distribución de la puntuación por clase")
    ax.legend(fontsize=8)
    return ax


def plot_ks(counts: ScoreCounts, ax: Any = None) -> Any:
    """The cumulative shares of each class up to each score, with the KS gap marked.

    Parameters
    ----------
    counts : ScoreCounts
        The score's counts per class (`performance.count_scores` with labels).
    ax : matplotlib Axes, optional
        Where to draw; a new figure's when not given.

    Returns
    -------
    matplotlib Axes
        The two step curves and the KS segment.
    """
    ax = axes_or_new(ax)
    shares = [np.cumsum(c) / c.sum() for c in (counts.c0, counts.c1)]
    for (label, color), share in zip(CLASSES, shares, strict=True):
        ax.step(counts.values, share, where="post", color=color, label=label)
    at = int(np.argmax(np.abs(shares[1] - shares[0])))
    ax.vlines(counts.values[at], shares[0][at], shares[1][at], color="black", linestyle="--")
    ax.set_xlabel("puntuación")
    ax.set_ylabel("proporción acumulada")
    ax.set_title(f"Curva KS (KS = {metrics(counts)['ks']:.3f})")
    ax.legend(fontsize=8)
    return ax


def plot_roc(counts: ScoreCounts, ax: Any = None) -> Any:
    """The ROC curve: the share of events against the share of non-events at or below each
    score, from the riskiest (lowest) score up, by the core's Lorenz curve.

    Parameters
    ----------
    counts : ScoreCounts
        Labelled counts of the score.
    ax : matplotlib Axes, optional

    Returns
    -------
    matplotlib Axes
    """
    ax = axes_or_new(ax)
    curve = lorenz_counts(counts.values, counts.c0, counts.c1)
    summary = metrics(counts)
    ax.plot(
        [0.0, *curve["cumulative_non_event"]],
        [0.0, *curve["cumulative_event"]],
        color="#c44e52",
        label=f"AUC {summary['auc']:.3f}, Gini {summary['gini']:.3f}",
    )
    ax.plot([0, 1], [0, 1], color="grey", linestyle=":", linewidth=1)
    ax.set_xlabel("proporción de no eventos")
    ax.set_ylabel("proporción de eventos")
    ax.set_title("Curva ROC")
    ax.legend(fontsize=8, loc="lower right")
    return ax
