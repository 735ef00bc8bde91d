import os
from pathlib import Path

import _tembrolin
from hypothesis import settings

# Under the sanitizers every call is several times slower.
settings.register_profile("default", max_examples=200, deadline=None)
settings.register_profile("sanitized", max_examples=40, deadline=None)
settings.load_profile("sanitized" if os.environ.get("TEMBROLIN_SANITIZED") else "default")


def pytest_report_header(config):
    return f"_tembrolin: {_tembrolin.__file__}"


def pytest_sessionstart(session):
    # A sanitized run that picked up the ordinary build would prove nothing.
    wanted = os.environ.get("TEMBROLIN_SANITIZED")
    if wanted and Path(_tembrolin.__file__).parent != Path(wanted):
        raise RuntimeError(f"expected the sanitized module from {wanted}, got {_tembrolin.__file__}")
