"""The HTML report: one self-contained file, escaped, and seen in a real headless Chromium."""

import os
import shutil
from pathlib import Path

import matplotlib as mpl
import numpy as np
import pandas as pd
import pytest

import tembrolin as tb
from tembrolin import score_plots
from tembrolin.performance import ScoreCounts

mpl.use("Agg")

SCREENSHOT = Path(__file__).resolve().parents[1] / "build" / "report.png"
INSTALL = (
    "the browser tests need Debian's chromium and Playwright for Python: "
    "`apt-get install -y chromium` (as root) and `make browser-deps`"
)


@pytest.fixture(scope="module")
def written(tmp_path_factory):
    rng = np.random.default_rng(5)
    n = 1500
    X = pd.DataFrame(
        {
            "age": rng.integers(18, 70, n).astype(float),
            "income": np.where(rng.random(n) < 0.05, np.nan, rng.lognormal(7, 0.5, n)),
            "home <b>&": rng.choice(["own", "rent", "<i>parents</i>"], n),
        }
    )
    logit = -0.05 * (X["age"] - 40) + 0.9 * (X["home <b>&"] == "rent") - 1.0
    y = (rng.random(n) < 1 / (1 + np.exp(-logit))).astype(int)
    card = tb.Scorecard(min_iv=0.0, max_correlation=1.0).fit(X[:1000], y[:1000])
    stability = tb.stability_report(card, X[:1000], X[1000:], y[:1000], y[1000:])
    path = card.report(
        tmp_path_factory.mktemp("report") / "report.html", X[1000:], y[1000:], stability
    )
    return path, card, X


def test_report_is_self_contained_and_escaped(written):
    path, card, X = written
    page = path.read_text(encoding="utf-8")
    for fetched in ("<script", "<link", 'src="http', "url(http", "@import"):
        assert fetched not in page
    assert "home &lt;b&gt;&amp;" in page and "<b>&" not in page  # autoescaped
    assert "1\u00a0000" in page  # the 1000 rows of the fit, thousands set apart
    assert page.count('class="variable"') == len(card.binner_.bins_.columns)
    assert page.count('class="dropped"') == (~card.selection_["kept"]).sum()
    for section in ("Tarjeta de puntuación", "Rendimiento", "Estabilidad", "Selección"):
        assert section in page
    for metric in ("AUC", "Gini", "KS"):
        assert f'<div class="metric">{metric}<b>' in page
    # Rows without their target: nothing to measure the score against.
    unlabelled = card.report(path.with_name("x.html"), X).read_text(encoding="utf-8")
    assert "Rendimiento" not in unlabelled and "Tarjeta de puntuación" in unlabelled


def test_report_of_a_binner(tmp_path):
    X = np.random.default_rng(0).normal(size=(300, 2))
    binner = tb.Binner().fit(X, (X[:, 0] > 0).astype(float))
    page = binner.report(tmp_path / "b.html", tb.stability(binner, X[:150], X[150:]))
    text = page.read_text(encoding="utf-8")
    assert "Informe de agrupamiento" in text and "PSI y KS por variable" in text
    assert text.count("data:image/svg+xml;base64,") == 2


def test_ks_and_roc_curves_hand_worked():
    # Non-events at scores 1, 2, 3, 3 and events at 1, 1, 2 (as in the scorecard's tests).
    counts = ScoreCounts(np.array([1.0, 2.0, 3.0]), np.array([1, 1, 2]), np.array([2, 1, 0]))
    non_events, events = score_plots.plot_ks(counts).get_lines()
    assert non_events.get_ydata().tolist() == [0.25, 0.5, 1.0]
    assert events.get_ydata().tolist() == [2 / 3, 1.0, 1.0]
    curve, diagonal = score_plots.plot_roc(counts).get_lines()
    assert curve.get_xydata().tolist() == [[0, 0], [0.25, 2 / 3], [0.5, 1], [1, 1]]
    assert diagonal.get_xydata().tolist() == [[0, 0], [1, 1]]
    mpl.pyplot.close("all")


def browser():
    """Debian's chromium and the Playwright client; a skip (or, in CI, a failure) without."""
    executable = os.environ.get("TEMBROLIN_CHROMIUM") or shutil.which("chromium")
    try:
        from playwright.sync_api import sync_playwright  # noqa: PLC0415
    except ImportError:
        executable = None
    if executable is None:
        if os.environ.get("TEMBROLIN_REQUIRE_BROWSER") == "1":
            pytest.fail(INSTALL)
        pytest.skip(INSTALL)
    return sync_playwright, executable


def test_report_renders_in_chromium(written, monkeypatch):
    sync_playwright, executable = browser()
    # The sanitized run preloads ASan into this process; the browser and its driver need not.
    monkeypatch.delenv("LD_PRELOAD", raising=False)
    path, card, _ = written
    errors = []
    with sync_playwright() as p:
        chromium = p.chromium.launch(executable_path=executable, args=["--no-sandbox"])
        page = chromium.new_page(viewport={"width": 1280, "height": 900})
        page.on("console", lambda m: errors.append(m.text) if m.type == "error" else None)
        page.on("pageerror", lambda e: errors.append(str(e)))
        page.on("requestfailed", lambda r: errors.append(f"request {r.url}"))
        page.goto(path.as_uri(), wait_until="load")
        for name in card.binner_.bins_.names:
            section = page.locator(f'section.variable[data-variable="{name}"]')
            assert section.is_visible(), name
            picture = section.locator("img.plot")
            assert picture.is_visible(), name
            assert picture.evaluate("img => img.complete && img.naturalWidth > 0"), name
        for picture in page.locator("#rendimiento img.plot").all():
            assert picture.evaluate("img => img.naturalWidth > 0")
        SCREENSHOT.parent.mkdir(exist_ok=True)
        page.screenshot(path=SCREENSHOT, full_page=True)
        chromium.close()
    assert errors == []
