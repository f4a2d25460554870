# SPDX-License-Identifier: MIT
"""Starting GIMP 2.10 on the build tree's plug-in, with a private profile in
a temporary folder so the user's own settings stay untouched."""
import os
import pathlib
import subprocess

import numpy as np
from PIL import Image

PLUGINS = os.environ["ZORVAN_GIMP_PLUGINS"]
TOOL = os.environ["ZORVAN_TOOL"]


def profile(folder: pathlib.Path) -> dict:
    """The environment of a GIMP whose profile lives in folder."""
    home = folder / "profile"
    for sub in ("", "gradients", "brushes", "patterns", "palettes"):
        (home / sub).mkdir(parents=True, exist_ok=True)
    (home / "gimprc").write_text(
        f'(plug-in-path "${{gimp_plug_in_dir}}/plug-ins:{PLUGINS}")\n')
    return dict(os.environ, GIMP2_DIRECTORY=str(home), GIO_USE_VFS="local")


def picture(path: pathlib.Path, mode: str, width=80, height=60, seed=1):
    """Noise over a gradient, so that moved pixels show."""
    rng = np.random.RandomState(seed)
    channels = {"L": 1, "RGB": 3, "RGBA": 4}[mode]
    ramp = np.add.outer(np.arange(height) * 2, np.arange(width) * 3)
    pixels = (ramp[:, :, None] + rng.randint(0, 60, (height, width, channels))) % 256
    if mode == "RGBA":
        pixels[:, :, 3] = rng.randint(1, 256, (height, width))
    pixels = pixels.astype(np.uint8)
    Image.fromarray(pixels[:, :, 0] if mode == "L" else pixels, mode).save(path)


def read(path) -> np.ndarray:
    return np.asarray(Image.open(path))


def cli(source, target, *options):
    """zorvan apply's result with these options."""
    subprocess.run([TOOL, "apply", *options, str(source), str(target)], check=True,
                   capture_output=True)
    return read(target)


def scheme(text: str) -> str:
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
