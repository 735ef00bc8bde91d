"""Runs every benchmark module of this folder and prints one table:
our median time against a NumPy baseline measured in the same run."""

import importlib
import pkgutil
import sys
from pathlib import Path

from bench.harness import print_table, run

SKIP = {"harness", "__main__", "data"}


def main(selected: list[str]) -> None:
    names = sorted(m.name for m in pkgutil.iter_modules([str(Path(__file__).parent)]))
    rows = []
    for name in names:
        if name in SKIP or (selected and name not in selected):
            continue
        module = f"bench.{name}"
        for index, case in enumerate(importlib.import_module(module).cases()):
            rows.append(run(module, case, index))
            print(f"  done: {case.function} n={case.n}", file=sys.stderr, flush=True)
    print_table(rows)
    if not selected or "scaling" in selected:
        importlib.import_module("bench.scaling").main()


if __name__ == "__main__":
    main(sys.argv[1:])
