"""Filtering many image files, or one large image, with Dask.

Many files: ``filter_files`` makes one task per file (read, render, write),
as a ``dask.bag``; compute it with any scheduler, such as a
``distributed.Client`` on a ``LocalCluster`` or a real cluster:

    >>> from distributed import Client, LocalCluster
    >>> from zorvan import Filter, batch
    >>> with LocalCluster(n_workers=4) as cluster, Client(cluster):
    ...     written = batch.filter_files(paths, Filter.example("sepia"), "out/").compute()

Each worker renders with every core it has (``threads=0``); give
``threads=1`` when a worker process per core is started instead.

One large image: ``render_tiles`` splits the result into bands of rows, one
task each, through the region of interest. Every formula may read any
pixel (``src``, ``rad``) and sees the whole image's size and centre, so
every task gets the whole source (Dask sends it to each worker once) and
renders only its band: exact for every formula. Filters that call ``rnd``
or share cells between pixels depend on the visiting order from the first
row, so they are rendered whole in one task.
"""

import os

import numpy as np


def _render_file(path, filter_, out_dir, settings):
    from PIL import Image

    with Image.open(path) as opened:
        mode = "RGBA" if "A" in opened.getbands() else "RGB"
        image = np.asarray(opened.convert(mode))
    result = filter_(image, **settings)
    target = os.path.join(out_dir, os.path.splitext(os.path.basename(path))[0] + ".png")
    Image.fromarray(result).save(target)
    return target


def filter_files(paths, filter_, out_dir, **settings):
    """A dask.bag of the paths written: each file of paths (any format PIL
    reads) filtered and written as OUT_DIR/NAME.png. settings as for calling
    a Filter (controls, t, total, threads)."""
    import dask.bag

    os.makedirs(out_dir, exist_ok=True)
    paths = [os.fspath(p) for p in paths]
    bag = dask.bag.from_sequence(paths, npartitions=max(1, len(paths)))
    return bag.map(_render_file, filter_, out_dir, settings)


def _band(filter_, image, top, rows, settings):
    width = image.shape[1]
    return filter_(image, region=(0, top, width, rows), **settings)


def render_tiles(filter_, image, rows_per_task=512, **settings):
    """A dask.delayed array: filter_ over image, one task per band of
    rows_per_task rows (one task for filters in visiting order)."""
    import dask

    height = image.shape[0]
    source = dask.delayed(image, pure=True)
    if filter_.visiting_order:
        rows_per_task = height
    bands = [
        dask.delayed(_band, pure=True)(filter_, source, top, min(rows_per_task, height - top), settings)
        for top in range(0, height, rows_per_task)
    ]
    return dask.delayed(np.concatenate, pure=True)(bands, axis=0)
