#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The Python module on the 12-megapixel picture of bench_engine's size
(4000 x 3000 RGB): a filter called on an array with out= (no allocation)
and without, per formula and thread count, medians of 5 runs. Compare with
bench_engine's Span rows, the render library's own time for the same work.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_bench.py
"""
import statistics
import time

import numpy as np

import zorvan

FORMULAS = [
    "255 - c",
    "x < X / 2 ? c : 255 - c",
    "rad(d + 160 * (M - m) / M * (M - m) / M, m, z)",
    "cnv(1, 2, 1, 2, 4, 2, 1, 2, 1, 16)",
]


def median_ms(call, runs=5):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return 1000 * statistics.median(times)


def main():
    rows, cols = np.mgrid[0:3000, 0:4000]
    picture = np.stack([cols * 255 // 3999, rows * 255 // 2999, (cols ^ rows) & 255], axis=-1)
    picture = picture.astype(np.uint8)
    out = np.empty_like(picture)
    print("| formula | threads | filter(image, out=out) | filter(image) |")
    print("|---|---:|---:|---:|")
    for text in FORMULAS:
        f = zorvan.Filter(rgb=text)
        for threads in (1, 2):
            into = median_ms(lambda: f(picture, out=out, threads=threads))
            new = median_ms(lambda: f(picture, threads=threads))
            print(f"| «{text}» | {threads} | {into:.1f} ms | {new:.1f} ms |")


if __name__ == "__main__":
    main()
