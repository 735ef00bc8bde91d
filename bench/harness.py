"""Timing, memory measurement and the agreement check shared by the benchmark modules.

Each module of this folder defines `cases()`, a list of `Case`. A case builds its
inputs lazily, so the memory of one case can be measured in a fresh process.
"""

from __future__ import annotations

import importlib
import pkgutil
import statistics
import subprocess
import sys
import time
from collections.abc import Callable
from dataclasses import dataclass
from pathlib import Path


@dataclass
class Case:
    function: str  # the label of our side, e.g. "mdlp_full_raw minobs=0"
    n: int
    make: Callable[[int], tuple]  # builds the inputs for n
    ours: Callable[..., object]
    baseline: Callable[..., object]
    baseline_label: str
    # Asserts that our result equals the baseline's, given (inputs, ours, baseline's);
    # None where the baseline is only a yardstick that computes something else.
    agree: Callable[[tuple, object, object], None] | None = None
    note: Callable[[object], str] | None = None  # describes our result
    memory: bool = False  # also measure the peak resident memory of our call


def benchmark_modules() -> list[str]:
    """The modules of this folder that define cases, in name order (the cluster bench has
    its own target, `make bench-dask`)."""
    helpers = {"harness", "__main__", "data", "cluster", "quality"}
    found = pkgutil.iter_modules([str(Path(__file__).parent)])
    return sorted(f"bench.{m.name}" for m in found if m.name not in helpers)


def median_seconds(func: Callable[..., object], args: tuple, repeats: int) -> tuple[float, object]:
    result = func(*args)  # warm-up, and the result for the note
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        func(*args)
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


def _status_kib(field: str) -> int:
    with Path("/proc/self/status").open() as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    message = f"{field} not in /proc/self/status"
    raise RuntimeError(message)


def measure_peak(module: str, index: int) -> float:
    """Extra peak resident memory (MiB) of our call, above its inputs."""
    case = importlib.import_module(module).cases()[index]
    args = case.make(case.n)
    with Path("/proc/self/clear_refs").open("w") as clear:
        clear.write("5")  # resets the peak to the current resident size
    before = _status_kib("VmRSS")
    case.ours(*args)
    return (_status_kib("VmHWM") - before) / 1024


def peak_in_fresh_process(module: str, index: int) -> float:
    out = subprocess.run(
        [sys.executable, "-m", "bench.harness", module, str(index)],
        check=True,
        capture_output=True,
        text=True,
    )
    return float(out.stdout)


def run(module: str, case: Case, index: int) -> dict:
    args = case.make(case.n)
    repeats = 3 if case.n >= 5_000_000 else 7
    ours_s, result = median_seconds(case.ours, args, repeats)
    base_s, expected = median_seconds(case.baseline, args, repeats)
    if case.agree is not None:
        case.agree(args, result, expected)
    del args, expected
    return {
        "function": case.function,
        "n": case.n,
        "ours_ms": ours_s * 1e3,
        "baseline": case.baseline_label,
        "base_ms": base_s * 1e3,
        "ratio": ours_s / base_s,
        "peak_mib": peak_in_fresh_process(module, index) if case.memory else None,
        "note": case.note(result) if case.note else "",
    }


def print_table(rows: list[dict]) -> None:
    header = ("function", "n", "ours ms", "numpy baseline", "numpy ms", "ratio", "peak MiB", "note")
    lines = [
        (
            r["function"],
            f"{r['n']:.0e}".replace("e+0", "e"),
            f"{r['ours_ms']:.1f}",
            r["baseline"],
            f"{r['base_ms']:.1f}",
            f"{r['ratio']:.3f}",
            "" if r["peak_mib"] is None else f"{r['peak_mib']:.0f}",
            r["note"],
        )
        for r in rows
    ]
    widths = [max(len(str(c)) for c in col) for col in zip(header, *lines, strict=True)]
    for line in [header, *lines]:
        cells = (str(c).ljust(w) for c, w in zip(line, widths, strict=True))
        print(" | ".join(cells).rstrip(), flush=True)


if __name__ == "__main__":
    print(measure_peak(sys.argv[1], int(sys.argv[2])))
