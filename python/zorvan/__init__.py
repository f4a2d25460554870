# SPDX-License-Identifier: MIT
"""Zorvan's per-pixel image-filter formulas on NumPy arrays.

    >>> import numpy as np, zorvan
    >>> image = np.zeros((480, 640, 3), np.uint8)
    >>> inverted = zorvan.apply(image, "255 - c")
    >>> twirl = zorvan.Filter.example("twirl")
    >>> twirled = twirl(image, controls={"Twist": 200})

Images are uint8 arrays of shape (height, width, 3) or (height, width, 4);
results are new arrays (or ``out=``). Rendering releases the GIL and uses
every core. ``zorvan.read`` and ``zorvan.write`` read and write photo files
with their metadata as the command line does; ``zorvan.batch`` filters many
files, or one large image in tiles, with Dask.
"""

import os

from ._zorvan import Filter, FormulaError, Metadata, PhotoError, __version__, examples, formats
from . import _zorvan

__all__ = ["Filter", "FormulaError", "Metadata", "PhotoError", "apply", "eval", "examples",
           "formats", "read", "read_filter", "write", "__version__"]

_MAX_FILTER_BYTES = 1 << 20


def read_filter(path):
    """A filter from a filter file (.zvf) on disk."""
    with open(path, "rb") as f:
        data = f.read(_MAX_FILTER_BYTES + 1)
    if len(data) > _MAX_FILTER_BYTES:
        raise ValueError(f"{path}: a filter file may hold at most 1 MiB")
    return Filter.from_text(data.decode("utf-8"), str(path))


Filter.from_file = staticmethod(read_filter)


def apply(image, formula, **settings):
    """Renders one formula for every channel over image; settings as for
    calling a Filter (controls, t, total, threads, region, step, out)."""
    return Filter(formula)(image, **settings)


def eval(formula, image, x=0, y=0, channel=0, controls=None, t=0, total=0):  # noqa: A001
    """The raw, unclamped value of formula at pixel (x, y), channel, of image."""
    filter_ = formula if isinstance(formula, Filter) else Filter(formula)
    return _zorvan.evaluate(filter_, image, x, y, channel, controls, t, total)


def read(source, orient=True):
    """(image, metadata) of a photo file: source is a path, the file's
    bytes or an open binary file (such as a pipe). image is a uint8 array (height, width, 3 or 4), turned upright as
    its EXIF orientation says unless orient is false; metadata (a Metadata)
    keeps its colour profile, EXIF, XMP and comment for write(like=...).
    Raises PhotoError (an OSError) for a file that is no usable photo."""
    if hasattr(source, "read"):  # an open binary file or pipe, read to its end
        source = source.read()
    if isinstance(source, (bytes, bytearray, memoryview)):
        return _zorvan._read_bytes(source, orient)
    return _zorvan._read_path(os.fspath(source), orient)


def write(path, image, like=None, *, quality=90, format=None, compression=-1, lossless=False,
          force=False):
    """Writes image (uint8, (height, width) or (height, width, 1..4)) to
    path, in format (a name such as "jpg") or else the one path's extension
    names, with the metadata of like (from read) as the command line keeps
    it. quality: JPEG and lossy WebP, 1..100; compression: 0..9 for PNG,
    TIFF and lossless WebP, -1 fast; lossless: WebP. The file appears
    complete or not at all; a read-only one is replaced only with force."""
    _zorvan._write(os.fspath(path), image, like, format, quality, compression, lossless, force)
