"""Hostile-input fuzzers of the package: `python -m fuzz` (make fuzz). Seeded and bounded
by count and time; the test suite runs a short smoke run of each."""
