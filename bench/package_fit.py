"""The package's fit against the floor: `Binner.fit` of 20 columns x 1e6 rows on one thread
(MDLP without a trend, and the optimal method, the default) against 20 times the floor (our
radix sort of x plus one read pass over x and y, `_bench_floor`), measured in the same run;
then the peak memory of an MDLP fit of one 1e7-row column, and what stays after it, against
the bytes of x and y, each measured in a fresh process.

Goals: MDLP at most 2x the floor, optimal at most 1.2x MDLP, the peak at most 1.6x x and y.
The fits take turns with the floor after a warm-up, so that a slow spell hits all of them
alike, and each keeps its fastest run, in CPU time of the calling thread (where a one-thread
fit runs), which other processes on a shared machine disturb less than the wall clock.
After timing, the table's bins are checked against each column fitted alone.
"""

import subprocess
import sys
from functools import partial

import numpy as np
from tembrolin._native import mdlp_fit

import tembrolin as tb
from bench.data import logistic_sample
from bench.harness import _status_kib
from bench.scaling import load_floor, turn_times
from bench.threads import N_COLUMNS, table
from tembrolin.bins import Settings

N_ROWS = 10**6
MEMORY_ROWS = 10**7
REPEATS = 5
METHODS = ("mdlp", "optimal")
CORE = "mdlp_fit alone"  # the native search and report the MDLP fit makes, for scale


def cases():
    return []


def binner(method: str) -> tb.Binner:
    """MDLP without a trend, or the defaults (the optimal method, its trend chosen)."""
    return tb.Binner(method="mdlp", monotonic_trend=None) if method == "mdlp" else tb.Binner()


def check_against_columns_alone(X: np.ndarray, y: np.ndarray, method: str) -> None:
    """The table's bins of a few columns are those of each column fitted on its own."""
    whole = binner(method).fit(X, y).bins_
    for j in (0, N_COLUMNS // 2, N_COLUMNS - 1):
        alone = binner(method).fit(X[:, [j]], y).bins_.columns["x0"]
        ours = whole.columns[f"x{j}"]
        assert ours.splits.tobytes() == alone.splits.tobytes(), (method, j)
        for key, values in ours.rows.items():
            assert values.tobytes() == alone.rows[key].tobytes(), (method, j, key)


def time_table() -> None:
    X, y = table(N_ROWS)
    columns = [np.ascontiguousarray(X[:, j]) for j in range(N_COLUMNS)]
    floor = load_floor()
    calls = {
        "20 x floor": lambda: [floor.sort_and_scan(x, y) for x in columns],
        **{f"fit {method}": lambda m=method: binner(m).fit(X, y) for method in METHODS},
    }
    times = turn_times(calls, REPEATS)
    best = {label: min(t) for label, t in times.items()}
    floor_s, mdlp_s = best["20 x floor"], best["fit mdlp"]
    print(f"Binner.fit, {N_COLUMNS} columns x {N_ROWS:.0e} rows, one thread (fastest of {REPEATS};")
    print("spread = slowest / fastest run, a measure of the machine's noise)")
    print(f"{'call':12} {'ms':>8} {'to floor':>9} {'to mdlp':>8} {'spread':>7}")
    for label, s in best.items():
        spread = max(times[label]) / s
        print(f"{label:12} {s * 1e3:8.1f} {s / floor_s:9.2f} {s / mdlp_s:8.2f} {spread:7.2f}")
    # Checked after the timing: fits made before leave the allocator in a state that slows
    # the first timed runs, a cost of the process's history rather than of the fit.
    for method in METHODS:
        check_against_columns_alone(X, y, method)
    print("bins of columns 0, 10 and 19 checked against each column fitted alone\n", flush=True)


def peak_of_fit(call: str) -> None:
    """Run in a fresh process: extra peak resident memory of one call on a 1e7-row column
    above the memory before it, and what remains after it returns, in MiB."""
    x, y = logistic_sample(MEMORY_ROWS)
    if call == CORE:
        rule = Settings().mdlp_rule(MEMORY_ROWS, None)
        fit = partial(mdlp_fit, x, y, *rule)
        mdlp_fit(x[:1000], y[:1000], *rule)  # first-call costs paid before measuring
    else:
        fit = partial(binner(call).fit, x.reshape(-1, 1), y)
        binner(call).fit(x[:1000].reshape(-1, 1), y[:1000])
    with open("/proc/self/clear_refs", "w") as clear:  # noqa: PTH123 (a kernel file)
        clear.write("5")  # resets the peak to the current resident size
    before = _status_kib("VmRSS")
    fit()
    print((_status_kib("VmHWM") - before) / 1024, (_status_kib("VmRSS") - before) / 1024)


def memory_table() -> None:
    data_mib = 2 * MEMORY_ROWS * 8 / 2**20
    print(f"One {MEMORY_ROWS:.0e}-row column (bench.data), x and y {data_mib:.0f} MiB; each call")
    print("in a fresh process; 'after': what the process holds more once the call returned")
    print(f"{'call':22} {'peak MiB':>9} {'to x and y':>11} {'after MiB':>10}")
    for call in (CORE, *METHODS):
        out = subprocess.run(
            [sys.executable, "-m", "bench.package_fit", "peak", call],
            check=True,
            capture_output=True,
            text=True,
        )
        peak, after = (float(v) for v in out.stdout.split())
        label = call if call == CORE else f"Binner.fit {call}"
        print(f"{label:22} {peak:9.0f} {peak / data_mib:11.2f} {after:10.0f}")
    print(flush=True)


def main() -> None:
    time_table()
    memory_table()


if __name__ == "__main__":
    if sys.argv[1:2] == ["peak"]:
        peak_of_fit(sys.argv[2])
    else:
        main()
