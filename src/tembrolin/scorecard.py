"""The scorecard: a logistic model on the WoE of the selected variables, scaled to points.

Sign convention: a higher score is a lower risk. The score is
offset + factor * ln(odds of a non-event), with factor = pdo / ln 2 and
offset = base_score - factor * ln(base_odds): `base_score` points at odds of `base_odds`
non-events to one event, and `pdo` more points double those odds. As WoE is positive where
events are rarer, a variable's coefficient on it is negative when the model agrees.
"""

from __future__ import annotations

from os import PathLike
from pathlib import Path
from typing import Any

import numpy as np
import pandas as pd
from sklearn.base import BaseEstimator, clone
from sklearn.linear_model import LogisticRegression
from sklearn.utils.validation import check_is_fitted

from tembrolin import _errors, _frames, encoding, persistence, points, scorecard_json, tables
from tembrolin.binner import Binner
from tembrolin.cluster import is_dask
from tembrolin.request import check_number
from tembrolin.selection import check_thresholds, select_variables


class Scorecard(BaseEstimator):
    """Bins, variable selection and a logistic model, as points per bin.

    Parameters
    ----------
    binner : Binner, optional
        The binning to fit (cloned); a default `Binner()` when not given.
    estimator : classifier, optional
        Fitted (cloned) on the WoE of the selected variables against the 0/1 classes; any
        estimator with `coef_` and `intercept_`. Default: scikit-learn's LogisticRegression.
    pdo, base_score, base_odds : float, default 20, 600, 50
        The scale: `base_score` points at odds `base_odds`:1 of a non-event, `pdo` more
        points to double them.
    rounding : bool, default False
        Each bin's points rounded to a whole number (the score is then their sum).
    min_iv, min_gini, max_share_missing, max_correlation : float
        The selection's thresholds (`tembrolin.selection.select_variables`).

    Attributes
    ----------
    binner_ : Binner
        The fitted binner (every column of X).
    selection_ : pandas.DataFrame
        The selection table: which variables were kept, and why the others went.
    variables_ : list of str
        The selected variables, in the model's order.
    coef_ : ndarray of shape (n_variables,)
    intercept_ : float
        The model on their WoE.
    points_ : dict of str to ndarray
        Each variable's points per row of its bin table (totals excluded), then the
        points of a value the fit never saw (WoE 0).
    """

    def __init__(
        self,
        *,
        binner: Binner | None = None,
        estimator: Any = None,
        pdo: float = 20.0,
        base_score: float = 600.0,
        base_odds: float = 50.0,
        rounding: bool = False,
        min_iv: float = 0.02,
        min_gini: float = 0.0,
        max_share_missing: float = 0.95,
        max_correlation: float = 0.7,
    ) -> None:
        self.binner = binner
        self.estimator = estimator
        self.pdo = pdo
        self.base_score = base_score
        self.base_odds = base_odds
        self.rounding = rounding
        self.min_iv = min_iv
        self.min_gini = min_gini
        self.max_share_missing = max_share_missing
        self.max_correlation = max_correlation

    def _check_params(self) -> None:
        check_number("pdo", self.pdo, 1e-9, np.inf, "un número positivo")
        check_number("base_score", self.base_score, -np.inf, np.inf, "un número finito")
        check_number("base_odds", self.base_odds, 1e-300, np.inf, "un número positivo")
        if not isinstance(self.rounding, bool):
            error = _errors.out_of_range("rounding", self.rounding, "True o False")
            raise error
        check_thresholds(self.min_iv, self.min_gini, self.max_share_missing, self.max_correlation)

    def fit(self, X: Any, y: Any, sample_weight: Any = None) -> Scorecard:
        """Bins X against y (0/1), selects the variables and fits the model on their WoE.

        Parameters
        ----------
        X : pandas or polars DataFrame, or 2-D array
        y : array, Series, or the name of a column of X
        sample_weight : array of shape (n_rows,), optional
            What each row counts, for the bins (see `Binner.fit`) and the model; the
            selection's correlation screen reads the rows unweighted.

        Returns
        -------
        Scorecard
        """
        self._check_params()
        if is_dask(X):
            raise _errors.scorecard_fit_in_memory()
        if isinstance(y, str):
            X, y = _frames.split_target(X, y)
        binner = clone(self.binner) if self.binner is not None else Binner()
        binner.fit(X, y, sample_weight=sample_weight)
        if binner.target_type_ != "binary":
            raise _errors.scorecard_needs_binary()
        selection = select_variables(
            binner,
            X,
            min_iv=self.min_iv,
            min_gini=self.min_gini,
            max_share_missing=self.max_share_missing,
            max_correlation=self.max_correlation,
        )
        variables = list(selection.index[selection["kept"]])
        if not variables:
            raise _errors.no_variables_selected()
        names = binner.bins_.names
        woe = binner.transform(X, metric="woe")[:, [names.index(v) for v in variables]]
        y = _frames.target_values(y, len(woe)).values
        kept = ~np.isnan(y)
        # Any estimator will do; weights are passed only when given.
        weighted = (
            {} if sample_weight is None else {"sample_weight": np.asarray(sample_weight)[kept]}
        )
        model = clone(self.estimator) if self.estimator is not None else LogisticRegression()
        model.fit(woe[kept], binner.bins_.target.classes(y[kept]), **weighted)
        self.estimator_ = model
        return self._set_model(
            binner, selection, np.ravel(model.coef_), float(np.ravel(model.intercept_)[0])
        )

    def _set_model(
        self, binner: Binner, selection: pd.DataFrame, coef: np.ndarray, intercept: float
    ) -> Scorecard:
        self.binner_ = binner
        self.selection_ = selection
        self.variables_ = list(selection.index[selection["kept"]])
        self.coef_ = np.asarray(coef, dtype=np.float64)
        self.intercept_ = intercept
        self.classes_ = np.array([0, 1])
        self.points_ = {
            name: points.scale_points(
                np.append(tables.woe_of_rows(binner.bins_.columns[name])[0], 0.0),
                float(c),
                intercept,
                len(self.variables_),
                (self.pdo, self.base_score, self.base_odds),
                self.rounding,
            )
            for name, c in zip(self.variables_, self.coef_, strict=True)
        }
        return self

    def _points(self, X: Any) -> np.ndarray:
        """The points of each row (rows) in each selected variable (columns)."""
        check_is_fitted(self, "points_", msg=_errors.scorecard_not_fitted())
        fitted = self.binner_.bins_
        codes = encoding.encode(fitted, X, "bin", self.binner_.handle_unknown)
        columns = [
            self.points_[name][codes[:, fitted.names.index(name)]] for name in self.variables_
        ]
        return np.column_stack(columns)  # UNKNOWN (-1) reads the last points: WoE 0

    def score(self, X: Any) -> Any:
        """The score of each row: the sum of its points, variable by variable in order.

        Parameters
        ----------
        X : pandas or polars DataFrame, 2-D array, or Dask DataFrame
            With the binner's columns.

        Returns
        -------
        ndarray, or a Dask Series for a Dask X (per partition, the same numbers)
        """
        if is_dask(X):
            return X.map_partitions(_score_part, self, meta=pd.Series(dtype=np.float64))
        return points.total(self._points(X))

    def predict_proba(self, X: Any) -> np.ndarray:
        """The model's probabilities of class 0 and class 1 (the event), from `coef_` and
        `intercept_` on the WoE."""
        check_is_fitted(self, "points_", msg=_errors.scorecard_not_fitted())
        names = self.binner_.bins_.names
        woe = self.binner_.transform(X, metric="woe")[:, [names.index(v) for v in self.variables_]]
        event = 1.0 / (1.0 + np.exp(-(woe @ self.coef_ + self.intercept_)))
        return np.column_stack([1.0 - event, event])

    @property
    def min_score_(self) -> float:
        """The lowest score any row can get."""
        check_is_fitted(self, "points_", msg=_errors.scorecard_not_fitted())
        return float(sum(float(p.min()) for p in self.points_.values()))

    @property
    def max_score_(self) -> float:
        """The highest score any row can get."""
        check_is_fitted(self, "points_", msg=_errors.scorecard_not_fitted())
        return float(sum(float(p.max()) for p in self.points_.values()))

    def reason_codes(self, X: Any, k: int = 3) -> Any:
        """Per row, the k variables that cost the most points against their best bin.

        Parameters
        ----------
        X : DataFrame, 2-D array or Dask DataFrame
        k : int, default 3

        Returns
        -------
        pandas.DataFrame (Dask DataFrame for a Dask X)
            `reason_1` ... `reason_k` (variable names, the costliest first; None once no
            variable costs points) and `points_lost_1` ... `points_lost_k`.
        """
        check_is_fitted(self, "points_", msg=_errors.scorecard_not_fitted())
        rule = "un entero entre 1 y el número de variables"
        check_number("k", k, 1, len(self.variables_), rule, integer=True)
        if is_dask(X):
            meta = points.reasons(
                np.zeros((0, len(self.variables_))), self._best(), self.variables_, k
            )
            return X.map_partitions(_reasons_part, self, k, meta=meta)
        return points.reasons(self._points(X), self._best(), self.variables_, k)

    def _best(self) -> np.ndarray:
        return np.array([p.max() for p in self.points_.values()])

    def table(self) -> pd.DataFrame:
        """The scorecard: variable, bin, count, event rate, WoE, coefficient and points."""
        check_is_fitted(self, "points_", msg=_errors.scorecard_not_fitted())
        parts = []
        for name, coef in zip(self.variables_, self.coef_, strict=True):
            rows = self.binner_.table(name).iloc[:-1]
            parts.append(
                pd.DataFrame(
                    {
                        "variable": name,
                        "bin": rows["bin"],
                        "count": rows["count"],
                        "event_rate": rows["event_rate"],
                        "woe": rows["woe"],
                        "coefficient": float(coef),
                        "points": self.points_[name][:-1],
                    }
                )
            )
        return pd.concat(parts, ignore_index=True)

    def to_json(self, path: str | Path | None = None) -> str:
        """The whole scorecard, bins included, as JSON; written to `path` when given."""
        return scorecard_json.dump(self, path)

    @classmethod
    def from_json(cls, path: str | PathLike[str]) -> Scorecard:
        """A fitted scorecard from the JSON file at `path` (see `from_json_text`)."""
        return cls.from_json_text(persistence.read(path))

    @classmethod
    def from_json_text(cls, text: str) -> Scorecard:
        """A fitted scorecard from the JSON text `to_json` wrote; its binner is checked as
        `Binner.from_json_text` checks one."""
        params, binner, selection, coef, intercept = scorecard_json.load(text)
        return cls(**params)._set_model(binner, selection, coef, intercept)

    def report(self, path: str | Path, X: Any = None, y: Any = None, stability: Any = None) -> Path:
        """A self-contained HTML report of the scorecard, with its performance on X and y
        and a stability report when given (see `tembrolin.report.write_report`)."""
        from tembrolin.report import write_report  # noqa: PLC0415 (Jinja2 and matplotlib)

        return write_report(self, path, X, y, stability)


def _score_part(part: pd.DataFrame, card: Scorecard) -> pd.Series:
    return pd.Series(card.score(part), index=part.index)


def _reasons_part(part: pd.DataFrame, card: Scorecard, k: int) -> pd.DataFrame:
    return card.reason_codes(part, k).set_axis(part.index)
