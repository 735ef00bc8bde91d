"""Timing and memory measurement shared by the benchmark modules.

Each module of this folder defines `cases()`, a list of `Case`. A case builds its
inputs lazily, so the memory of one case can be measured in a fresh process.
"""

from __future__ import annotations

import importlib
import statistics
import subprocess
import sys
import time
from dataclasses import dataclass
from typing import Callable


@dataclass
class Case:
    function: str  # the label of our side, e.g. "mdlp_full_raw minobs=0"
    n: int
    make: Callable[[int], tuple]  # builds the inputs for n
    ours: Callable[..., object]
    baseline: Callable[..., object]
    baseline_label: str
    note: Callable[[object], str] | None = None  # describes our result
    memory: bool = False  # also measure the peak resident memory of our call


def median_seconds(func: Callable[..., object], args: tuple, repeats: int) -> tuple[float, object]:
    result = func(*args)  # warm-up, and the result for the note
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        func(*args)
        times.append(time.perf_counter() - start)
    return statistics.median(times), result


def _status_kib(field: str) -> int:
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(f"{field} not in /proc/self/status")


def measure_peak(module: str, index: int) -> float:
    """Extra peak resident memory (MiB) of our call, above its inputs."""
    case = importlib.import_module(module).cases()[index]
    args = case.make(case.n)
    with open("/proc/self/clear_refs", "w") as clear:
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
    base_s, _ = median_seconds(case.baseline, args, repeats)
    del args
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
    widths = [max(len(str(c)) for c in col) for col in zip(header, *lines)]
    for line in [header, *lines]:
        print(" | ".join(str(c).ljust(w) for c, w in zip(line, widths)).rstrip(), flush=True)


if __name__ == "__main__":
    print(measure_peak(sys.argv[1], int(sys.argv[2])))
