"""Every benchmark's NumPy baseline agrees with the module on a small sample, so a
timing in `make bench` is never that of a wrong result, and the checks stay alive."""

import importlib

import pytest

from bench.harness import benchmark_modules

# The same case at several sizes is checked once, at one small size.
CASES = {
    f"{case.function} vs {case.baseline_label}": case
    for module in benchmark_modules()
    for case in importlib.import_module(module).cases()
    if case.agree is not None
}


@pytest.mark.parametrize("case", CASES.values(), ids=CASES.keys())
def test_baseline_agrees(case):
    args = case.make(3000)
    case.agree(args, case.ours(*args), case.baseline(*args))
