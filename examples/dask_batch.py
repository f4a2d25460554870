#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Filters a folder of pictures with Dask on a LocalCluster of worker
processes, the real scheduler and workers, and compares the time with a
serial loop over the same files. On a cluster, give its scheduler's
address instead (--scheduler tcp://host:8786); the code is the same.

    PYTHONPATH=build/python /usr/bin/python3 examples/dask_batch.py [FOLDER]

Without FOLDER it first writes 24 generated 1920 x 1080 pictures to a
scratch folder.
"""
import argparse
import pathlib
import tempfile
import time

import numpy as np
from PIL import Image

import zorvan
from zorvan import batch


def generated_pictures(folder, count):
    rows, cols = np.mgrid[0:1080, 0:1920]
    for i in range(count):
        rgb = np.stack([cols * 255 // 1919, rows * 255 // 1079, (cols ^ rows) + 9 * i], axis=-1)
        Image.fromarray(rgb.astype(np.uint8)).save(folder / f"picture-{i:02}.png", compress_level=1)
    return sorted(folder.glob("*.png"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder", nargs="?", type=pathlib.Path)
    parser.add_argument("--example", default="twirl")
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--scheduler", help="a running scheduler's address instead of a LocalCluster")
    args = parser.parse_args()

    from distributed import Client, LocalCluster

    with tempfile.TemporaryDirectory() as scratch:
        scratch = pathlib.Path(scratch)
        if args.folder:
            paths = sorted(p for p in args.folder.iterdir() if p.suffix.lower() in {".png", ".jpg", ".jpeg"})
        else:
            (scratch / "in").mkdir()
            paths = generated_pictures(scratch / "in", 24)
        filter_ = zorvan.Filter.example(args.example)

        start = time.perf_counter()
        batch.filter_files(paths, filter_, scratch / "serial", threads=1).compute(scheduler="sync")
        serial = time.perf_counter() - start

        if args.scheduler:
            client = Client(args.scheduler)
        else:
            cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, dashboard_address=None)
            client = Client(cluster)
        with client:
            client.run(lambda: None)  # workers started and ready
            start = time.perf_counter()
            written = batch.filter_files(paths, filter_, scratch / "dask", threads=1).compute()
            distributed = time.perf_counter() - start
        if not args.scheduler:
            cluster.close()

        same = all(
            np.array_equal(np.asarray(Image.open(scratch / "serial" / pathlib.Path(p).name)),
                           np.asarray(Image.open(p)))
            for p in written
        )
        print(f"{len(paths)} pictures, example {args.example}: serial loop {serial:.2f} s "
              f"({len(paths) / serial:.1f}/s), Dask with {args.workers} workers {distributed:.2f} s "
              f"({len(paths) / distributed:.1f}/s), same bytes: {same}")


if __name__ == "__main__":
    main()
