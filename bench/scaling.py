"""How the MDLP road scales: time and ratio to the floor, our radix sort of x plus
one read pass over x and y (a module of the bench build, `_bench_floor`), from 1e3
to 1e7 rows, with np.sort(x) as a column for readers; where the time of one call
goes at 1e6 and 1e7; and the fixed cost of a call at n = 100. Printed as its own
tables; `cases()` is empty so the shared table of `python -m bench` is unchanged.

Times are the CPU time of the calling thread (no side starts a thread), which
other processes on a shared machine disturb less than the wall clock; the calls
of one size take turns, so that a slow spell hits all of them alike, and each
keeps its fastest run, the one least disturbed."""

import importlib.util
import time
from pathlib import Path

import numpy as np

import _tembrolin
from bench.data import logistic_sample

FLOOR_BUILD = Path(__file__).resolve().parent.parent / "build" / "bench"


def load_floor():
    """The `_bench_floor` module that `make bench` builds next to the C++ benchmark."""
    found = sorted(FLOOR_BUILD.glob("_bench_floor*.so"))
    if not found:
        message = f"_bench_floor not built in {FLOOR_BUILD}: run `make bench`"
        raise FileNotFoundError(message)
    located = importlib.util.spec_from_file_location("_bench_floor", found[0])
    module = importlib.util.module_from_spec(located)
    located.loader.exec_module(module)
    return module


SIZES = [10**k for k in range(3, 8)]
ARGS = (0, 0, 1.0, 1.0, False)  # monotonicity, mono_dir, alpha_pos, beta_struct, force


def cases():
    return []


def repeats_for(n: int) -> int:
    return 3 if n >= 10**7 else 5 if n >= 10**6 else 9 if n >= 10**4 else 51


def turn_times(calls: dict, repeats: int) -> dict:
    """The CPU seconds of every run of each call, the calls taking turns after a warm-up."""
    for call in calls.values():
        call()
    times = {label: [] for label in calls}
    for _ in range(repeats):
        for label, call in calls.items():
            start = time.thread_time()
            call()
            times[label].append(time.thread_time() - start)
    return times


def fastest_times(calls: dict, repeats: int) -> dict:
    """Fewest CPU seconds of each call, the calls taking turns after a warm-up."""
    return {label: min(t) for label, t in turn_times(calls, repeats).items()}


def road(x, y, n, floor):
    return {
        "floor": lambda: floor.sort_and_scan(x, y),
        "np.sort(x)": lambda: np.sort(x),
        "mdlp_full_raw minobs=0": lambda: _tembrolin.mdlp_full_raw(x, y, 0, *ARGS),
        "mdlp_full_raw minobs=n/20": lambda: _tembrolin.mdlp_full_raw(x, y, n // 20, *ARGS),
        "mdlp_raw minobs=0": lambda: _tembrolin.mdlp_raw(x, y, 0, *ARGS),
        "mdlp_raw minobs=n/20": lambda: _tembrolin.mdlp_raw(x, y, n // 20, *ARGS),
        "preprocess_data_native": lambda: _tembrolin.preprocess_data_native(x, y),
    }


def scaling_table(floor) -> None:
    print("floor: our radix sort of x (with key conversion) plus one read pass over x and y")
    print(f"{'function':27} {'n':>5} {'cpu ms':>9} {'ratio to floor':>15} {'to np.sort(x)':>14}")
    for n in SIZES:
        x, y = logistic_sample(n)
        t = fastest_times(road(x, y, n, floor), repeats_for(n))
        for label, s in t.items():
            print(
                f"{label:27} {n:5.0e} {s * 1e3:9.2f} {s / t['floor']:15.2f}"
                f" {s / t['np.sort(x)']:14.2f}"
            )
        print(flush=True)


def breakdown(n: int, floor) -> None:
    """Stages of mdlp_full_raw, each the difference of two public calls that
    differ by that stage alone; the table is timed by the function that returns
    it, less a NumPy copy of what it returns."""
    x, y = logistic_sample(n)
    prep = _tembrolin.preprocess_data_native(x, y)
    xs, ys = prep["x"], prep["y"].astype(np.int32)
    table = _tembrolin.compute_boundaries(xs, ys)
    t = fastest_times(
        {
            "floor": lambda: floor.sort_and_scan(x, y),
            "raw search": lambda: _tembrolin.mdlp_raw(x, y, 0, *ARGS),
            "table": lambda: _tembrolin.compute_boundaries(xs, ys),
            "table copy": lambda: [np.copy(column) for column in table.values()],
            "search": lambda: _tembrolin.mdlp(xs, ys, 0, *ARGS),
            "summary": lambda: _tembrolin.mdlp_full(xs, ys, 0, *ARGS),
            "whole": lambda: _tembrolin.mdlp_full_raw(x, y, 0, *ARGS),
        },
        repeats_for(n),
    )
    table_s = t["table"] - t["table copy"]
    parts = {
        "preprocess": t["raw search"] - t["search"],
        "table": table_s,
        "search": t["search"] - table_s,
        "summary": t["summary"] - t["search"],
        "result construction": t["whole"] - t["raw search"] - t["summary"] + t["search"],
    }
    print(
        f"mdlp_full_raw minobs=0, n={n:.0e}: {t['whole'] * 1e3:.1f} ms, "
        f"{t['whole'] / t['floor']:.2f}x the floor ({t['floor'] * 1e3:.1f} ms)"
    )
    for name, s in parts.items():
        print(f"  {name:20} {s * 1e3:8.2f} ms {100 * s / t['whole']:5.1f}%")
    print(flush=True)


def call_overhead(floor) -> None:
    x, y = logistic_sample(100)
    for label, s in fastest_times(road(x, y, 100, floor), 2001).items():
        print(f"call at n=100: {label:27} {s * 1e6:7.1f} us")


def main() -> None:
    floor = load_floor()
    scaling_table(floor)
    for n in (10**6, 10**7):
        breakdown(n, floor)
    call_overhead(floor)


if __name__ == "__main__":
    main()
