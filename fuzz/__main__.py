"""`python -m fuzz [--seed S] [--cases N] [--seconds T]`: both fuzzers, their counts, and
every failure; exits 1 when any case failed."""

import argparse
import sys

from fuzz import corruption, package

parser = argparse.ArgumentParser(prog="python -m fuzz")
parser.add_argument("--seed", type=int, default=0)
parser.add_argument("--cases", type=int, default=3000, help="per fuzzer")
parser.add_argument("--seconds", type=float, default=240.0, help="per fuzzer")
args = parser.parse_args()
failed = False
for fuzzer, word in ((package, "ajustes"), (corruption, "cargas")):
    counts = fuzzer.run(args.seed, args.cases, args.seconds)
    print(counts.line(word))
    for failure in counts.failures:
        print("  FALLO", failure)
    failed |= bool(counts.failures)
sys.exit(1 if failed else 0)
