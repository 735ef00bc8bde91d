"""A short smoke run of each fuzzer of `make fuzz`, so that they stay alive and the classes
of hostile input they cover stay covered."""

import pytest

from fuzz import corruption, package


@pytest.mark.parametrize(
    "fuzzer,cases", [(package, 150), (corruption, 300)], ids=["package", "json"]
)
def test_smoke_run_is_clean(fuzzer, cases):
    counts = fuzzer.run(seed=7, cases=cases, seconds=20)
    assert counts.cases > 0 and counts.refusals > 0 and counts.successes > 0
    assert counts.failures == []
