"""The estimator: bins every column of a table against a target, in the scikit-learn way."""

from __future__ import annotations

import math
import os
from collections.abc import Mapping, Sequence
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path
from typing import Any

import numpy as np
import pandas as pd
from sklearn.base import BaseEstimator, TransformerMixin
from sklearn.utils.validation import check_is_fitted

from tembrolin import _errors, _frames, distributed, fitting, persistence, plots, tables
from tembrolin.fitting import ColumnBins, Settings

METHODS = ("mdlp", "quantile", "equal_width")
CANDIDATES = ("boundary", "neighbour")
REPRESENTATIVES = ("median", "mean")
RANGES = ("full", "quantile", "iqr")
TRENDS = ("ascending", "descending", "auto")
METRICS = ("woe", "bin", "event_rate", "representative")


def _check_choice(argument: str, value: object, allowed: Sequence[object]) -> None:
    if value not in allowed:
        raise _errors.choice(argument, value, [str(a) for a in allowed])


def _check_number(
    argument: str, value: object, low: float, high: float, rule: str, integer: bool = False
) -> None:
    kinds = (int, np.integer) if integer else (int, float, np.integer, np.floating)
    if isinstance(value, bool) or not isinstance(value, kinds) or not low <= value <= high:
        raise _errors.out_of_range(argument, value, rule)


class Binner(TransformerMixin, BaseEstimator):
    """Supervised binning of every column of a table against a 0/1 or continuous target.

    Parameters
    ----------
    method : {"mdlp", "quantile", "equal_width"}
        How each column is cut. "mdlp" searches cuts against the target; the others cut
        by the values of the column alone.
    min_bin_share : float
        mdlp: every bin holds more than this share of the column's rows.
    alpha, beta : float
        mdlp: weights of the position cost and the structure cost of a cut.
    force_first_split : bool
        mdlp: accept the best first cut even when it does not pay for itself.
    candidates : {"boundary", "neighbour"}
        mdlp: "boundary" offers every change of x between two groups of equal x that are
        not both pure in the same class, so that swapping the labels never changes the
        bins; "neighbour" gives exactly the core's `mdlp_full_raw` cuts.
    representative : {"median", "mean"}
        The value of x that stands for each bin.
    target_threshold : float or None
        Continuous target: the value above which y counts as an event.
    target_percentile : float
        Continuous target without a threshold: the percentile of y that is the threshold.
    n_bins : int
        quantile and equal_width: the number of bins asked for.
    width_range : {"full", "quantile", "iqr"}
        equal_width: the range cut in equal parts: all finite values, the range between
        `lower_quantile` and `upper_quantile`, or the quartiles fenced at `iqr_k` times
        the interquartile range.
    lower_quantile, upper_quantile, iqr_k : float
        The trimming and fencing of `width_range`.
    user_splits : mapping of column name to a sequence of cut points, or None
        Columns cut where the user says instead of by `method`.
    special_values : sequence of float, mapping of column name to one, or None
        Values (sentinels such as -999) that get bins of their own and take no part in the
        cut search; a plain sequence applies to every column.
    monotonic_trend : {"ascending", "descending", "auto"} or None
        Merge adjacent bins until the event rates are monotone; "auto" takes the direction
        from the sign of the column's Gini.
    metric : {"woe", "bin", "event_rate", "representative"}
        What `transform` puts in place of each value, unless it is given there.
    n_jobs : int or None
        Columns fitted at once on threads (-1: one per CPU); the result does not depend on it.

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
        method: str = "mdlp",
        min_bin_share: float = 0.05,
        alpha: float = 1.0,
        beta: float = 1.0,
        force_first_split: bool = False,
        candidates: str = "boundary",
        representative: str = "median",
        target_threshold: float | None = None,
        target_percentile: float = 50.0,
        n_bins: int = 10,
        width_range: str = "full",
        lower_quantile: float = 0.05,
        upper_quantile: float = 0.95,
        iqr_k: float = 1.5,
        user_splits: Mapping[str, Sequence[float]] | None = None,
        special_values: Sequence[float] | Mapping[str, Sequence[float]] | None = None,
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
        self.monotonic_trend = monotonic_trend
        self.metric = metric
        self.n_jobs = n_jobs

    def __sklearn_tags__(self):
        tags = super().__sklearn_tags__()
        tags.input_tags.allow_nan = True
        tags.target_tags.required = True
        return tags

    # -- fitting -----------------------------------------------------------------------

    def _settings(self) -> Settings:
        _check_choice("method", self.method, METHODS)
        _check_choice("candidates", self.candidates, CANDIDATES)
        _check_choice("representative", self.representative, REPRESENTATIVES)
        _check_choice("width_range", self.width_range, RANGES)
        _check_choice("monotonic_trend", self.monotonic_trend, (*TRENDS, None))
        _check_choice("metric", self.metric, METRICS)
        _check_number("min_bin_share", self.min_bin_share, 0.0, 0.5, "un número entre 0 y 0.5")
        _check_number("target_percentile", self.target_percentile, 0, 100, "un número de 0 a 100")
        for argument in ("alpha", "beta"):
            _check_number(argument, getattr(self, argument), 0.0, math.inf, "un número >= 0")
        _check_number("n_bins", self.n_bins, 1, math.inf, "un entero positivo", integer=True)
        if self.target_threshold is not None:
            _check_number(
                "target_threshold",
                self.target_threshold,
                -math.inf,
                math.inf,
                "un número (no NaN) o None",
            )
        return Settings(
            method=self.method,
            min_bin_share=float(self.min_bin_share),
            alpha=float(self.alpha),
            beta=float(self.beta),
            force_first_split=bool(self.force_first_split),
            candidates="neighbour" if self.candidates == "neighbour" else "boundary",
            representative=self.representative,
            n_bins=int(self.n_bins),
            range=self.width_range,
            lower_quantile=float(self.lower_quantile),
            upper_quantile=float(self.upper_quantile),
            iqr_k=float(self.iqr_k),
            monotonic_trend=self.monotonic_trend,
        )

    def _workers(self) -> int:
        if self.n_jobs is None:
            return 1
        if self.n_jobs == -1:
            return os.cpu_count() or 1
        _check_number("n_jobs", self.n_jobs, 1, math.inf, "un entero positivo, -1 o None", True)
        return int(self.n_jobs)

    def _per_column(self, argument: str, value: Any, names: list[str]) -> dict[str, tuple]:
        """`user_splits` or `special_values` as a tuple of floats per column name."""
        if value is None:
            return {}
        per_column = value if isinstance(value, Mapping) else dict.fromkeys(names, value)
        unknown = [str(name) for name in per_column if name not in names]
        if unknown:
            raise _errors.unknown_columns(argument, unknown)
        floats = {name: tuple(map(float, values)) for name, values in per_column.items()}
        if any(math.isnan(v) for values in floats.values() for v in values):
            raise _errors.nan_given(argument)
        return floats

    def _column_options(self, names: list[str]) -> tuple[dict[str, tuple], dict[str, tuple]]:
        """The special values and the user splits of each column, checked."""
        specials = self._per_column("special_values", self.special_values, names)
        if self.user_splits is not None and not isinstance(self.user_splits, Mapping):
            error = _errors.out_of_range(
                "user_splits", self.user_splits, "un dict columna -> cortes"
            )
            raise error
        return specials, self._per_column("user_splits", self.user_splits, names)

    def fit(self, X: Any, y: Any, **dask_options: Any) -> Binner:
        """Bins every column of X against y (0/1, or continuous cut at a threshold).

        y may be an array, a Series, or the name of a column of X. X may also be a Dask
        DataFrame (y then a column name or a Dask Series), fitted on its cluster with the
        same result; `dask_options` are those of `tembrolin.distributed.fit`
        (`max_table_bytes`, `round_digits`, `round_grid`).
        """
        if distributed.is_dask(X):
            return distributed.fit(self, X, y, **dask_options)
        if dask_options:
            raise _errors.dask_only(dask_options)
        settings = self._settings()
        workers = self._workers()
        if isinstance(y, str):
            X, y = _frames.split_target(X, y)
        columns = _frames.read_columns(X)
        if columns.n_rows == 0:
            raise _errors.no_rows()
        target = fitting.read_target(
            _frames.read_target(y, columns.n_rows),
            None if self.target_threshold is None else float(self.target_threshold),
            float(self.target_percentile),
        )
        totals = fitting.totals_row(target, settings.representative)
        specials, user = self._column_options(columns.names)

        def fit_one(j: int) -> ColumnBins:
            name = columns.names[j]
            splits = np.asarray(user[name], dtype=np.float64) if name in user else None
            return fitting.fit_column(
                name, columns.read(j), target, totals, settings, specials.get(name, ()), splits
            )

        with ThreadPoolExecutor(max_workers=workers) as pool:
            fitted = list(pool.map(fit_one, range(len(columns.names))))
        self._set_fitted(columns.names, columns.named, fitted, target.binary, target.threshold)
        return self

    def _set_fitted(
        self, names: list[str], named: bool, fitted: list[ColumnBins], binary: bool, cut: float
    ) -> None:
        self.n_features_in_ = len(names)
        if named:
            self.feature_names_in_ = np.asarray(names, dtype=object)
        elif hasattr(self, "feature_names_in_"):
            del self.feature_names_in_
        self.columns_ = dict(zip(names, fitted, strict=True))
        self.__dict__.pop("merged_entries_", None)  # a cluster fit's, set after this
        self.target_type_ = "binary" if binary else "continuous"
        self.threshold_ = cut

    # -- using the bins ----------------------------------------------------------------

    def _column(self, column: str | int) -> ColumnBins:
        check_is_fitted(self, msg=_errors.not_fitted())
        names = list(self.columns_)
        if isinstance(column, (int, np.integer)) and not isinstance(column, bool):
            if 0 <= column < len(names):
                return self.columns_[names[column]]
        elif column in self.columns_:
            return self.columns_[column]
        raise _errors.unknown_column(column, names)

    def _aligned(self, X: Any) -> list[np.ndarray]:
        """The columns of X in the fitted order, by name when both sides have names."""
        check_is_fitted(self, msg=_errors.not_fitted())
        columns = _frames.read_columns(X)
        fitted = list(self.columns_)
        if columns.named and hasattr(self, "feature_names_in_"):
            missing = [name for name in fitted if name not in columns.names]
            extra = [name for name in columns.names if name not in self.columns_]
            if missing or extra:
                raise _errors.columns_differ(missing, extra)
            return [columns.read(columns.names.index(name)) for name in fitted]
        if len(columns.names) != len(fitted):
            raise _errors.column_count(len(columns.names), len(fitted))
        return columns.all()

    def transform(self, X: Any, metric: str | None = None) -> Any:
        """Each value replaced by its bin's WoE, row number, event rate or representative.

        A Dask DataFrame gives a Dask DataFrame of the fitted columns, partition by partition.
        """
        metric = self.metric if metric is None else metric
        _check_choice("metric", metric, METRICS)
        if distributed.is_dask(X):
            return distributed.transform(self, X, metric)
        values = self._aligned(X)
        out = np.empty(
            (len(values[0]) if values else 0, len(values)),
            dtype=np.int64 if metric == "bin" else np.float64,
        )
        for j, (bins, x) in enumerate(zip(self.columns_.values(), values, strict=True)):
            codes = bins.codes(x)
            if metric == "bin":
                out[:, j] = codes
            elif metric == "woe":
                out[:, j] = tables.woe_of_rows(bins)[0][codes]
            else:
                out[:, j] = bins.rows[metric][codes]
        return out

    def get_feature_names_out(self, input_features: Sequence[str] | None = None) -> np.ndarray:
        """The names of the transformed columns: those of the fitted columns."""
        check_is_fitted(self, msg=_errors.not_fitted())
        names = list(self.columns_)
        if input_features is not None:
            if len(input_features) != len(names):
                raise _errors.column_count(len(input_features), len(names))
            given = [str(name) for name in input_features]
            if hasattr(self, "feature_names_in_") and given != names:
                raise _errors.columns_differ(
                    [n for n in names if n not in given], [n for n in given if n not in names]
                )
            names = given
        return np.asarray(names, dtype=object)

    # -- reports -----------------------------------------------------------------------

    def table(self, column: str | int) -> pd.DataFrame:
        """The bin table of one column: see `tembrolin.tables.bin_table`."""
        return tables.bin_table(self._column(column))

    def _params_text(self, bins: ColumnBins) -> str:
        if bins.method == "mdlp":
            return (
                f"min_bin_share={self.min_bin_share}, alpha={self.alpha}, beta={self.beta}, "
                f"candidates={self.candidates}"
            )
        if bins.method == "quantile":
            return f"n_bins={self.n_bins}"
        if bins.method == "equal_width":
            return f"n_bins={self.n_bins}, width_range={self.width_range}"
        return ""

    def summary(self, sort_by: str | None = "iv") -> pd.DataFrame:
        """One row per variable: bins, IV, AUC and Gini of the binned variable, share
        missing, monotone event rate, the trend applied and the method's parameters.

        Sorted by `sort_by` (descending), so the strongest variables come first.
        """
        check_is_fitted(self, msg=_errors.not_fitted())
        rows = [tables.summary_row(b, self._params_text(b)) for b in self.columns_.values()]
        frame = pd.DataFrame(rows).set_index("variable")
        if sort_by is not None:
            frame = frame.sort_values(sort_by, ascending=False, kind="stable")
        return frame

    def plot(self, column: str | int, ax: Any = None) -> Any:
        """Bars of each bin's share with its event rate on a second axis."""
        return plots.plot_bins(self.table(column), str(self._column(column).name), ax=ax)

    # -- persistence -------------------------------------------------------------------

    def to_json(self, path: str | Path | None = None) -> str:
        """The fitted binner as readable JSON, written to `path` when given."""
        return persistence.dump(self, path)

    @classmethod
    def from_json(cls, source: str | Path) -> Binner:
        """A fitted binner from a JSON file path, or from the JSON text itself."""
        return persistence.load(cls, source)
