import os
from pathlib import Path

import numpy as np
import pytest
from hypothesis import HealthCheck, settings

import _tembrolin
import tembrolin
from tembrolin import _native

# Under the sanitizers every call is several times slower. Nothing is timed: a
# busy machine must not fail a test, so the speed health check is off too.
untimed = {"deadline": None, "suppress_health_check": [HealthCheck.too_slow]}
settings.register_profile("default", max_examples=200, **untimed)
settings.register_profile("sanitized", max_examples=40, **untimed)
settings.load_profile("sanitized" if os.environ.get("TEMBROLIN_SANITIZED") else "default")


def pytest_report_header():
    return [f"_tembrolin: {_tembrolin.__file__}", f"tembrolin._native: {_native.__file__}"]


def pytest_sessionstart():
    # A sanitized run that picked up the ordinary build would prove nothing.
    wanted = os.environ.get("TEMBROLIN_SANITIZED")
    if not wanted:
        return
    for module, folder in ((_tembrolin, Path(wanted)), (_native, Path(wanted, "tembrolin"))):
        if Path(module.__file__).parent != folder:
            message = f"expected the sanitized module from {folder}, got {module.__file__}"
            raise RuntimeError(message)


@pytest.fixture(scope="session")
def hand_worked():
    """A column whose table is worked out by hand: cut at 2, a special value, missing values.

    Rows (non-events, events): (-inf, 2] (6, 2), (2, inf) (2, 6), special -999 (2, 0),
    missing (0, 2); totals 10 and 10, so WoE is ±ln 3 and, with 0.5 added to the counts of
    the two one-class rows, ±ln(2.5 / 0.5) = ±ln 5.
    """
    x = np.array([1.0] * 6 + [3.0] * 2 + [1.0] * 2 + [3.0] * 6 + [-999.0] * 2 + [np.nan] * 2)
    y = np.array([0.0] * 8 + [1.0] * 8 + [0.0] * 2 + [1.0] * 2)
    binner = tembrolin.Binner(user_splits={"x0": [2.0]}, special_values=[-999.0])
    return binner.fit(x.reshape(-1, 1), y), x, y
