import os
from pathlib import Path

from hypothesis import HealthCheck, settings

import _tembrolin
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
