# SPDX-License-Identifier: MIT
"""Starting GIMP 2.10 on the build tree's plug-in, with a private profile in
a temporary folder so the user's own settings stay untouched, headless or
with windows on a display of its own."""
import contextlib
import os
import pathlib
import re
import subprocess
import time

import numpy as np
from PIL import Image

PLUGINS = os.environ["ZORVAN_GIMP_PLUGINS"]
TOOL = os.environ["ZORVAN_TOOL"]


def profile(folder: pathlib.Path) -> dict:
    """The environment of a GIMP whose profile lives in folder."""
    home = folder / "profile"
    for sub in ("", "gradients", "brushes", "patterns", "palettes"):
        (home / sub).mkdir(parents=True, exist_ok=True)
    # GIMP skips a plug-in whose file name it has met earlier in the path,
    # so the build's comes first: an installed package's would win otherwise.
    (home / "gimprc").write_text(
        f'(plug-in-path "{PLUGINS}:${{gimp_plug_in_dir}}/plug-ins")\n')
    return dict(os.environ, GIMP2_DIRECTORY=str(home), GIO_USE_VFS="local")


def registered(folder: pathlib.Path, name: str) -> str:
    """The path of the plug-in file called name that the GIMP of profile(folder) runs."""
    rc = (folder / "profile" / "pluginrc").read_text(errors="replace")
    return next(path for path in re.findall(r'\(plug-in-def "([^"]*)"', rc)
                if pathlib.PurePath(path).name == name)


def picture(path: pathlib.Path, mode: str, width=80, height=60, seed=1):
    """Noise over a gradient, so that moved pixels show."""
    rng = np.random.RandomState(seed)
    channels = {"L": 1, "LA": 2, "RGB": 3, "RGBA": 4}[mode]
    ramp = np.add.outer(np.arange(height) * 2, np.arange(width) * 3)
    pixels = (ramp[:, :, None] + rng.randint(0, 60, (height, width, channels))) % 256
    if mode in ("LA", "RGBA"):
        pixels[:, :, -1] = rng.randint(1, 256, (height, width))
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


def until(condition, seconds=180):
    """Waits for condition, polling; fails after seconds."""
    end = time.monotonic() + seconds
    while not (value := condition()):
        assert time.monotonic() < end, "timed out"
        time.sleep(0.2)
    return value


@contextlib.contextmanager
def gimp_with_windows(folder: pathlib.Path, commands: list, quits=lambda: True):
    """GIMP with its windows on an Xvfb display of its own, running the
    Script-Fu commands with ZORVAN_GIMP_TIMES set; yields the display, the
    environment and the log of GIMP's output, and ends both at the close:
    GIMP is given time to quit by itself when quits() says the commands
    will get there, and is killed if it has not."""
    display = ":%d" % (90 + os.getpid() % 100)
    server = subprocess.Popen(["Xvfb", display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"])
    gimp = None
    try:
        env = dict(profile(folder), DISPLAY=display, ZORVAN_GIMP_TIMES="1")
        until(lambda: subprocess.run(["xdpyinfo"], env=env, capture_output=True).returncode == 0)
        arguments = ["gimp-2.10", "-n", "-s", "-d", "-f"]
        for command in commands:
            arguments += ["-b", command]
        log = folder / "gimp.log"
        with open(log, "w") as out:
            gimp = subprocess.Popen(arguments, env=env, stdout=out, stderr=subprocess.STDOUT)
        yield display, env, log
        if quits():
            with contextlib.suppress(subprocess.TimeoutExpired):
                gimp.wait(300)
    finally:
        if gimp and gimp.poll() is None:
            gimp.kill()
            gimp.wait()
        server.terminate()
        server.wait()


def window(env, name):
    return until(lambda: subprocess.run(["xdotool", "search", "--name", name], env=env,
                                        capture_output=True, text=True).stdout.split())[0]


def key(env, window, name):
    subprocess.run(["xdotool", "windowfocus", "--sync", window], env=env, check=True)
    subprocess.run(["xdotool", "key", name], env=env, check=True)


DRAWN = re.compile(r"zorvan: preview drawn (\d+) ms after the change, area (\d+) (\d+) (\d+) (\d+)")


def frames(log):
    """The preview frames drawn so far: the milliseconds from the change to
    each, and the area (x, y, width, height) it was drawn in."""
    return [(int(m[1]), tuple(map(int, m.groups()[1:])))
            for m in DRAWN.finditer(log.read_text(errors="replace"))]
