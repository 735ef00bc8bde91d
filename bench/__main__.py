"""Runs every benchmark module of this folder and prints one table:
our median time against a NumPy baseline measured in the same run, each of our
results first checked against the baseline's where both compute the same thing."""

import importlib
import sys

from bench.harness import benchmark_modules, print_table, run


def main(selected: list[str]) -> None:
    rows = []
    for module in benchmark_modules():
        if selected and module.removeprefix("bench.") not in selected:
            continue
        for index, case in enumerate(importlib.import_module(module).cases()):
            rows.append(run(module, case, index))
            print(f"  done: {case.function} n={case.n}", file=sys.stderr, flush=True)
    print_table(rows)
    for own_table in ("scaling", "package_fit", "optimal", "quality"):
        if not selected or own_table in selected:
            importlib.import_module(f"bench.{own_table}").main()


if __name__ == "__main__":
    main(sys.argv[1:])
