"""The estimator: bins every column of a table against a target, in the scikit-learn way."""

from __future__ import annotations

from collections.abc import Mapping, Sequence
from pathlib import Path
from typing import Any

import numpy as np
import pandas as pd
from sklearn.base import BaseEstimator, TransformerMixin

from tembrolin import _errors, _frames, encoding, persistence, plots, tables
from tembrolin.bins import FittedBins, fitted_bins
from tembrolin.cluster import is_dask
from tembrolin.request import METRICS, categorical_names, check_choice, fit_request
from tembrolin.sample import fit_table
from tembrolin.target import rule_for_sample


class Binner(TransformerMixin, BaseEstimator):
    """Supervised binning of every column of a table against a 0/1 or continuous target.

    Parameters
    ----------
    method : {"mdlp", "quantile", "equal_width"}, default "mdlp"
        How each column is cut. "mdlp" searches cuts against the target; the others cut
        by the values of the column alone.
    min_bin_share : float, default 0.05
        mdlp: every bin holds more than this share of the column's rows (0 to 0.5).
    alpha, beta : float, default 1.0
        mdlp: weights of the position cost and the structure cost of a cut.
    force_first_split : bool, default False
        mdlp: accept the best first cut even when it does not pay for itself.
    candidates : {"boundary", "neighbour"}, default "boundary"
        mdlp: "boundary" offers every change of x between two groups of equal x that are
        not both pure in the same class, so that swapping the labels never changes the
        bins; "neighbour" gives exactly the core's `mdlp_full_raw` cuts.
    representative : {"median", "mean"}, default "median"
        The value of x that stands for each bin.
    target_threshold : float or None, default None
        Continuous target: the value above which y counts as an event.
    target_percentile : float or None, default None
        Continuous target without a threshold: the percentile of y that is the threshold
        (None: the median). y is binary when it holds only 0 and 1; it is continuous
        when it is of a float type with more than two values, or when a threshold or a
        percentile is given; any other y (1/2, -1/1, a few integer codes) is refused with
        a message that says how to state what is meant. Rows whose y is missing take no
        part in the fit, and the summary counts them.
    n_bins : int, default 10
        quantile and equal_width: the number of bins asked for.
    width_range : {"full", "quantile", "iqr"}, default "full"
        equal_width: the range cut in equal parts: all finite values, the range between
        `lower_quantile` and `upper_quantile`, or the quartiles fenced at `iqr_k` times
        the interquartile range.
    lower_quantile, upper_quantile, iqr_k : float, default 0.05, 0.95, 1.5
        The trimming and fencing of `width_range`.
    user_splits : mapping of column name to a sequence of cut points, default None
        Columns cut where the user says instead of by `method`.
    special_values : sequence, or mapping of column name to one, default None
        Values (sentinels such as -999, or categories such as "desconocido") that get
        bins of their own and take no part in the cut search; a plain sequence applies to
        every column (its numbers only, to numeric columns). Values equal as numbers are
        one special value. Infinities always get rows of their own when the fit sees them.
    categorical : sequence of column names, default None
        Columns to bin as categories whatever their dtype (integer-coded categories).
        Text, category, enum, boolean and object columns are categorical anyway.
    min_category_share : float, default 0.01
        Categorical columns: categories with fewer rows than this share of the column are
        pooled into one group before the search.
    handle_unknown : {"neutral", "error"}, default "neutral"
        What `transform` does with a value the fit never saw (a new category, or an
        infinity when the fit had none): a neutral row (WoE 0, the overall event rate,
        bin -1), or an error that names the column and the values.
    monotonic_trend : {"ascending", "descending", "auto"} or None, default None
        Merge adjacent bins until the event rates are monotone; "auto" takes the direction
        from the sign of the column's Gini.
    metric : {"woe", "bin", "event_rate", "representative"}, default "woe"
        What `transform` puts in place of each value, unless it is given there.
    n_jobs : int or None, default None
        Columns fitted at once on threads (None: one; -1: one per CPU); the result does
        not depend on it.

    Attributes
    ----------
    bins_ : FittedBins
        The fit: every column's bins and report rows, and the target rule.
    columns_ : dict of str to ColumnBins
        Each fitted column's bins, in the fitted order.
    n_features_in_ : int
        The number of fitted columns.
    feature_names_in_ : ndarray of str
        The fitted column names, when X was a DataFrame.
    target_type_ : {"binary", "continuous"}
        How y was read.
    threshold_ : float
        The threshold of a continuous target (0.0 for a binary one).
    merged_entries_ : dict of str to int
        After a fit on a Dask DataFrame: each column's merged table size.

    Examples
    --------
    >>> import numpy as np, tembrolin as tb
    >>> x = np.repeat([1.0, 2.0, 3.0, 4.0], 25)
    >>> y = (x > 2).astype(float)
    >>> binner = tb.Binner(min_bin_share=0.1).fit(x.reshape(-1, 1), y)
    >>> binner.table("x0")["bin"].tolist()
    ['(-inf, 2.5]', '(2.5, inf)', 'missing', 'total']
    """

    def __init__(
        self,
        *,
        method: str = "mdlp",
        min_bin_share: float = 0.05,
        alpha: float = 1.0,
        beta: float = 1.0,
        force_first_split: bool = False,
        candidates: str = "boundary",
        representative: str = "median",
        target_threshold: float | None = None,
        target_percentile: float | None = None,
        n_bins: int = 10,
        width_range: str = "full",
        lower_quantile: float = 0.05,
        upper_quantile: float = 0.95,
        iqr_k: float = 1.5,
        user_splits: Mapping[str, Sequence[float]] | None = None,
        special_values: Sequence[Any] | Mapping[str, Sequence[Any]] | None = None,
        categorical: Sequence[str] | None = None,
        min_category_share: float = 0.01,
        handle_unknown: str = "neutral",
        monotonic_trend: str | None = None,
        metric: str = "woe",
        n_jobs: int | None = None,
    ) -> None:
        self.method = method
        self.min_bin_share = min_bin_share
        self.alpha = alpha
        self.beta = beta
        self.force_first_split = force_first_split
        self.candidates = candidates
        self.representative = representative
        self.target_threshold = target_threshold
        self.target_percentile = target_percentile
        self.n_bins = n_bins
        self.width_range = width_range
        self.lower_quantile = lower_quantile
        self.upper_quantile = upper_quantile
        self.iqr_k = iqr_k
        self.user_splits = user_splits
        self.special_values = special_values
        self.categorical = categorical
        self.min_category_share = min_category_share
        self.handle_unknown = handle_unknown
        self.monotonic_trend = monotonic_trend
        self.metric = metric
        self.n_jobs = n_jobs

    def __sklearn_tags__(self):
        tags = super().__sklearn_tags__()
        tags.input_tags.allow_nan = True
        tags.target_tags.required = True
        return tags

    def fit(self, X: Any, y: Any, **dask_options: Any) -> Binner:
        """Bins every column of X against y (0/1, or continuous cut at a threshold).

        Parameters
        ----------
        X : pandas or polars DataFrame, 2-D array, or Dask DataFrame
            The table.
        y : array, Series, or the name of a column of X
            The target; with a Dask X, a column name or a Dask Series.
        **dask_options
            With a Dask X only: `max_table_bytes`, `round_digits`, `round_grid` (see
            `tembrolin.cluster.fit.fit`).

        Returns
        -------
        Binner
            The fitted estimator.
        """
        if is_dask(X):
            from tembrolin.cluster import fit as cluster_fit  # noqa: PLC0415 (Dask inputs only)

            return self._set_bins(cluster_fit.fit(self.get_params(), X, y, **dask_options))
        if "sample_weight" in dask_options:
            raise _errors.weights_not_supported()
        if dask_options:
            raise _errors.dask_only(dask_options)
        if isinstance(y, str):
            X, y = _frames.split_target(X, y)
        columns = _frames.read_columns(X, categorical_names(self.categorical))
        request = fit_request(self.get_params(), columns.names, columns.kinds)
        if columns.n_rows == 0:
            raise _errors.no_rows()
        target = _frames.target_values(y, columns.n_rows)
        rule = rule_for_sample(
            target.values, target.floating, request.target_threshold, request.target_percentile
        )
        return self._set_bins(fit_table(request, columns, target.values, rule))

    def _set_bins(self, fitted: FittedBins) -> Binner:
        self.bins_ = fitted
        self.n_features_in_ = len(fitted.columns)
        if fitted.labels is not None:
            self.feature_names_in_ = np.asarray(fitted.names, dtype=object)
        else:
            self.__dict__.pop("feature_names_in_", None)
        self.columns_ = dict(fitted.columns)
        self.target_type_ = fitted.target.kind
        self.threshold_ = fitted.target.threshold
        if fitted.merged_entries is None:
            self.__dict__.pop("merged_entries_", None)
        else:
            self.merged_entries_ = fitted.merged_entries
        return self

    def transform(self, X: Any, metric: str | None = None) -> Any:
        """Each value replaced by its bin's WoE, row number, event rate or representative.

        Parameters
        ----------
        X : DataFrame, 2-D array or Dask DataFrame
            New data with the fitted columns (matched by name when both have names).
        metric : {"woe", "bin", "event_rate", "representative"}, optional
            What replaces each value; the estimator's `metric` when not given.

        Returns
        -------
        ndarray, or a Dask DataFrame of the fitted columns for a Dask X
        """
        metric = self.metric if metric is None else metric
        check_choice("metric", metric, METRICS)
        fitted = fitted_bins(self)
        if is_dask(X):
            from tembrolin.cluster import diagnostics  # noqa: PLC0415 (Dask inputs only)

            return diagnostics.transform(fitted, X, metric, self.handle_unknown)
        return encoding.encode(fitted, X, metric, self.handle_unknown)

    def get_feature_names_out(self, input_features: Sequence[str] | None = None) -> np.ndarray:
        """The names of the transformed columns: those of the fitted columns."""
        return fitted_bins(self).names_out(input_features)

    def table(self, column: str | int) -> pd.DataFrame:
        """The bin table of one column (by name or position): see `tables.bin_table`."""
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
        """Bars of each bin's share with its event rate or WoE on a second axis
        (matplotlib; see `plots.plot_bins`)."""
        name = str(fitted_bins(self).column(column).name)
        return plots.plot_bins(self.table(column), name, ax=ax, metric=metric)

    def report(self, path: str | Path, stability: Any = None) -> Path:
        """A self-contained HTML report of the bins (see `tembrolin.report.write_report`)."""
        from tembrolin.report import write_report  # noqa: PLC0415 (Jinja2 and matplotlib)

        return write_report(self, path, stability=stability)

    def to_json(self, path: str | Path | None = None) -> str:
        """The fitted binner as readable JSON, written to `path` when given."""
        return persistence.dump(self.get_params(), fitted_bins(self), path)

    @classmethod
    def from_json(cls, source: str | Path) -> Binner:
        """A fitted binner from a JSON file path, or from the JSON text itself."""
        params, fitted = persistence.load(source)
        return cls(**params)._set_bins(fitted)
