"""`make bench-dask`: Binner.fit on a local Dask cluster of 2 workers, 10**8 rows x 4 columns
made lazily in partitions on the workers (never on the client), against the single-machine fit
of a 10**7-row sample of the same data.

Prints the fit time, the size of the merged count tables, the peak memory of each worker,
and the single-machine time. Set TEMBROLIN_BENCH_ROWS for a smaller run.
"""

import logging
import os
import resource
import time

import dask.dataframe as dd
import numpy as np
import pandas as pd
from distributed import Client, LocalCluster

import tembrolin as tb
from tembrolin.cluster.rounding import round_significant

ROWS = int(os.environ.get("TEMBROLIN_BENCH_ROWS", "100000000"))
PART_ROWS = 10**6
SAMPLE_ROWS = max(ROWS // 10, PART_ROWS)
COLUMNS = ("age", "months", "utilisation", "income")


def partition(i: int, rows: int = PART_ROWS) -> pd.DataFrame:
    """Partition i of the table: ties (age, months), a rounded share, a continuous income."""
    rng = np.random.default_rng([20261207, i])
    age = rng.integers(18, 81, rows).astype(np.float64)
    months = rng.integers(0, 361, rows).astype(np.float64)
    utilisation = np.round(rng.gamma(2.0, 0.25, rows), 3)
    utilisation[rng.random(rows) < 0.02] = np.nan
    income = rng.lognormal(7.5, 0.6, rows)
    score = 0.03 * (40 - age) + 1.2 * np.nan_to_num(utilisation) - 0.4 * np.log(income / 2000)
    y = (rng.random(rows) < 1.0 / (1.0 + np.exp(-(score - 1.0)))).astype(np.float64)
    return pd.DataFrame(
        {"age": age, "months": months, "utilisation": utilisation, "income": income, "y": y}
    )


def peak_rss_mib() -> float:
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024


def main() -> None:
    n_parts = ROWS // PART_ROWS
    options = {"round_digits": {"income": 3}}
    print(f"== Binner.fit on Dask: {n_parts * PART_ROWS:,} rows x {len(COLUMNS)} columns ==")
    with (
        LocalCluster(
            n_workers=2, threads_per_worker=1, dashboard_address=None, silence_logs=logging.CRITICAL
        ) as cluster,
        Client(cluster) as client,
    ):
        ddf = dd.from_map(partition, range(n_parts), meta=partition(0, 0))
        start = time.perf_counter()
        head = ddf.partitions[:20]
        try:
            tb.Binner().fit(head, "y", max_table_bytes=64 * 2**20)
        except MemoryError as error:
            print(f"  no rounding, first {head.npartitions * PART_ROWS:,} rows, 64 MiB: {error}")
        print(f"  (guard fired after {time.perf_counter() - start:.1f} s)")

        start = time.perf_counter()
        binner = tb.Binner().fit(ddf, "y", **options)
        fitted = time.perf_counter() - start
        peaks = client.run(peak_rss_mib)
        print(f"  fit on the cluster (income rounded to 3 digits): {fitted:.1f} s")
        print(
            "  merged count tables (distinct values): "
            + ", ".join(f"{name} {entries:,}" for name, entries in binner.merged_entries_.items())
        )
        print("  peak memory per worker: " + ", ".join(f"{mib:,.0f} MiB" for mib in peaks.values()))

    sample = pd.concat([partition(i) for i in range(SAMPLE_ROWS // PART_ROWS)], ignore_index=True)
    sample["income"] = round_significant(sample["income"].to_numpy(), 3)
    start = time.perf_counter()
    one = tb.Binner().fit(sample.drop(columns="y"), sample["y"])
    single = time.perf_counter() - start
    print(f"  single machine, {len(sample):,}-row sample: {single:.1f} s")
    print(
        "  bins per column (cluster / sample): "
        + ", ".join(
            f"{name} {binner.columns_[name].n_regular}/{one.columns_[name].n_regular}"
            for name in COLUMNS
        )
    )


if __name__ == "__main__":
    main()
