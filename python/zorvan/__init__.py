"""Zorvan's per-pixel image-filter formulas on NumPy arrays.

    >>> import numpy as np, zorvan
    >>> image = np.zeros((480, 640, 3), np.uint8)
    >>> inverted = zorvan.apply(image, "255 - c")
    >>> twirl = zorvan.Filter.example("twirl")
    >>> twirled = twirl(image, controls={"Twist": 200})

Images are uint8 arrays of shape (height, width, 3) or (height, width, 4);
results are new arrays (or ``out=``). Rendering releases the GIL and uses
every core. ``zorvan.batch`` filters many files, or one large image in
tiles, with Dask.
"""

from ._zorvan import Filter, FormulaError, __version__, examples
from . import _zorvan

__all__ = ["Filter", "FormulaError", "apply", "eval", "examples", "read_filter", "__version__"]

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
