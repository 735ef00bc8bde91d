"""The screened segment scan against the plain one at every vector width this
machine runs, through the C++ check that `make test` builds beside the module."""

import os
import subprocess
from pathlib import Path

import pytest

BUILT = Path(__file__).resolve().parents[1] / "build" / "check"
CHECK = Path(os.environ.get("TEMBROLIN_CHECKS_DIR", BUILT)) / "screen_check"


@pytest.mark.parametrize("seed", [1, 2, 3])
def test_screened_scan_gives_the_plain_scans_bits(seed):
    if not CHECK.exists():
        pytest.skip(f"{CHECK} is not built: run `make test`")
    run = subprocess.run([CHECK, str(seed), "40"], check=False, capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr
    # A check that never reached the screen would prove nothing.
    screened = {line.split(":")[0]: int(line.split()[-2]) for line in run.stdout.splitlines()}
    assert set(screened) == {"random", "constant", "mirrored", "drifting", "shifted", "absurd"}
    assert all(count > 0 for family, count in screened.items() if family != "absurd")
