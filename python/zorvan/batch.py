# SPDX-License-Identifier: MIT
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
task each, through the region of interest; with a step, each band is a
multiple of it, so the bands together are exactly the full render. Every
formula may read any pixel (``src``, ``rad``) and sees the whole image's
size and centre, so every task gets the whole source (Dask sends it to
each worker once) and renders only its band: exact for every formula. Filters that call ``rnd``
or share cells between pixels depend on the visiting order from the first
row, so they are rendered whole in one task.
"""

import operator
import os

import numpy as np

from . import formats, read, write


def _render_file(job, filter_, written, settings):
    path, target = job
    image, metadata = read(path)
    os.makedirs(os.path.dirname(target) or ".", exist_ok=True)
    write(target, filter_(image, **settings), like=metadata, **written)
    return target


def _identity(path):
    """Device and inode of the file path names (through symlinks), or None:
    hard and symbolic links to one file compare equal."""
    try:
        st = os.stat(path)
    except OSError:
        return None
    return st.st_dev, st.st_ino


def _check_format(format):
    names = [n for info in formats().values() if info["writes"] for n in info["names"]]
    if format is not None and str(format).lower() not in names:
        raise ValueError(f"format: {format} is not a format written ({', '.join(names)})")


def _targets(paths, out_dir, format):
    """Where each of paths is written, as zorvan apply -o OUT_DIR names them;
    ValueError when two share a name or one would replace an input."""
    targets, seen = [], {}
    inputs = {_identity(p) for p in paths} - {None}
    for path in paths:
        name = os.path.basename(path)
        if format is not None:
            name = os.path.splitext(name)[0] + "." + format
        target = os.path.join(out_dir, name)
        key = os.path.normpath(target)
        if key in seen:
            raise ValueError(f"{seen[key]} and {path} would both be written to {target}; "
                             "give them different names or folders")
        if _identity(target) in inputs:
            raise ValueError(f"{target}: the output of {path} would replace an input; "
                             "write elsewhere")
        seen[key] = path
        targets.append(target)
    return targets


def filter_files(paths, filter_, out_dir, *, format=None, quality=90, compression=-1,
                 lossless=False, **settings):
    """A dask.bag of the paths written: each file of paths filtered and
    written as OUT_DIR/NAME, byte for byte what ``zorvan apply -o OUT_DIR``
    writes: turned upright as its EXIF orientation says, in its own format
    (or format, such as "jpg"), with its colour profile, EXIF, XMP and
    comment. OUT_DIR is made, with its parents, when the first file is
    written. An unknown format, two inputs of one name, or an output over an
    input (by name, symlink or hard link) raise ValueError here, before
    anything is made. quality, compression, lossless as for zorvan.write;
    settings as for calling a Filter (controls, t, total, threads)."""
    import dask.bag

    _check_format(format)
    paths = [os.fspath(p) for p in paths]
    out_dir = os.fspath(out_dir)
    targets = _targets(paths, out_dir, format)
    written = {"format": format, "quality": quality, "compression": compression,
               "lossless": lossless}
    bag = dask.bag.from_sequence(list(zip(paths, targets)), npartitions=max(1, len(paths)))
    return bag.map(_render_file, filter_, written, settings)


def _band(filter_, image, region, settings):
    return filter_(image, region=region, **settings)


def _check(filter_, image, region, step, settings):
    """One pixel of the same render (a step past both sides): a bad image,
    region, step or setting raises here, with the render's message, not
    later in a worker."""
    probe = max([step, *np.shape(image)[:2]]) if step >= 1 else step
    filter_(image, region=region, step=probe, **settings)


def render_tiles(filter_, image, rows_per_task=512, *, region=None, step=1, **settings):
    """A dask.delayed array, exactly filter_(image, region=region,
    step=step, **settings): one task per band of about rows_per_task rows,
    each a multiple of step so that every band samples the full result's
    rows (one task for filters in visiting order)."""
    import dask

    if "out" in settings:
        raise TypeError("render_tiles: out= is not taken; the result is a new array")
    rows_per_task = operator.index(rows_per_task)
    if rows_per_task < 1:
        raise ValueError(f"rows_per_task must be 1 or more, not {rows_per_task}")
    _check(filter_, image, region, step, settings)
    step = int(step)
    height, width = np.shape(image)[:2]
    whole = region is None or not any(region)
    x, y, w, h = (0, 0, width, height) if whole else (int(v) for v in region)
    band = h if filter_.visiting_order else -(-rows_per_task // step) * step
    source = dask.delayed(image, pure=True)
    settings = {**settings, "step": step}
    bands = [
        dask.delayed(_band, pure=True)(filter_, source, (x, top, w, min(band, y + h - top)), settings)
        for top in range(y, y + h, band)
    ]
    return dask.delayed(np.concatenate, pure=True)(bands, axis=0)
