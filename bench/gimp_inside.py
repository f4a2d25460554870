#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The GIMP plug-in's speed inside GIMP on a 12 MP picture (4000 x 3000),
from the times the plug-in prints with ZORVAN_GIMP_TIMES set:

- apply: gimp-console loads the picture once and runs the invert and the
  twirl on it, each three times; a run's time is its reading of GIMP's
  tiles, its render, and its writing of the shadow buffer with GIMP's merge
  and undo (file load and save left out). Against zorvan apply -v's compute
  on the same file, three times each.
- preview: GIMP under Xvfb opens the dialog on it (the whole layer at 800 x
  600); ten slider moves, each waited for, and the time from the change to
  the frame on the screen.

    python3 bench/gimp_inside.py [BUILD]     (BUILD: the build folder, build/)
"""
import os
import pathlib
import re
import statistics
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[1]
BUILD = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ROOT / "build").resolve()
os.environ.setdefault("ZORVAN_TOOL", str(BUILD / "tools/zorvan/zorvan"))
os.environ.setdefault("ZORVAN_GIMP_PLUGINS", str(BUILD / "plugins/gimp/plug-ins"))
sys.path.insert(0, str(ROOT / "tests/gimp"))

from PIL import Image  # noqa: E402

from gimp_session import (TOOL, frames, gimp_with_windows, key, profile, scheme,  # noqa: E402
                          until, window)

FILTERS = {"invert": "255 - c", "twirl": (ROOT / "examples/twirl.zvf").read_text()}
REPEATS = 3
RUN = re.compile(r"zorvan: read (\d+) ms, render (\d+) ms, write (\d+) ms, merge (\d+) ms")
COMPUTED = re.compile(r"computed 1 frame in (\d+) ms")


def picture(folder):
    path = folder / "picture.png"
    subprocess.run([TOOL, "demo", "-q", "-o", str(folder)], check=True)
    Image.open(folder / "demo/test-image.png").resize((4000, 3000), Image.BICUBIC).save(
        path, compress_level=1)
    return path


def apply_inside(folder, path):
    image = "(vector-ref (cadr (gimp-image-list)) 0)"
    drawable = f"(car (gimp-image-get-active-drawable {image}))"
    commands = [f'(gimp-file-load RUN-NONINTERACTIVE "{path}" "x")']
    for text in FILTERS.values():
        commands += [f"(plug-in-zorvan RUN-NONINTERACTIVE {image} {drawable} {scheme(text)} "
                     "0 0 0 0 0 0 0 0 0 0)"] * REPEATS
    arguments = ["gimp-console-2.10", "-i", "-d", "-f"]
    for command in commands + ["(gimp-quit 0)"]:
        arguments += ["-b", command]
    env = dict(profile(folder), ZORVAN_GIMP_TIMES="1")
    log = subprocess.run(arguments, env=env, capture_output=True, text=True).stderr
    runs = [tuple(map(int, m.groups())) for m in RUN.finditer(log)]
    return {name: runs[k * REPEATS:(k + 1) * REPEATS] for k, name in enumerate(FILTERS)}


def apply_tool(folder, path):
    times = {}
    for name, text in FILTERS.items():
        option = ["-e", text] if name == "invert" else ["-f", str(ROOT / "examples/twirl.zvf")]
        times[name] = [int(COMPUTED.search(subprocess.run(
            [TOOL, "apply", "-v", *option, str(path), str(folder / "out.png")],
            capture_output=True, text=True, check=True).stderr).group(1))
            for _ in range(REPEATS)]
    return times


def preview(folder, path):
    command = (f'(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE "{path}" "x")))'
               "(d (car (gimp-image-get-active-drawable img))))"
               f'(plug-in-zorvan RUN-INTERACTIVE img d {scheme(FILTERS["twirl"])} '
               "0 0 0 0 0 0 0 0 0 0))")
    (folder / "gui").mkdir()
    with gimp_with_windows(folder / "gui", [command, "(gimp-quit 1)"]) as (_, env, log):
        until(lambda: frames(log))
        dialog = window(env, "^Zorvan$")
        for _ in range(10):
            drawn = len(frames(log))
            key(env, dialog, "Page_Up")
            until(lambda: len(frames(log)) > drawn)
        key(env, dialog, "Escape")
        return [ms for ms, _ in frames(log)[-10:]]


def main():
    with tempfile.TemporaryDirectory() as name:
        folder = pathlib.Path(name)
        path = picture(folder)
        print("load average before:", os.getloadavg())
        inside, tool = apply_inside(folder, path), apply_tool(folder, path)
        for filter_name in FILTERS:
            runs = inside[filter_name]
            totals = [sum(run) for run in runs]
            compute = statistics.median(tool[filter_name])
            print(f"{filter_name}: plug-in runs (read, render, write, merge) {runs}; "
                  f"median total {statistics.median(totals)} ms; zorvan apply's compute "
                  f"{tool[filter_name]} ms; ratio {statistics.median(totals) / compute:.2f}")
        times = preview(folder, path)
        print(f"preview, slider move to frame on screen: {times} ms, "
              f"median {statistics.median(times)} ms")
        print("load average after:", os.getloadavg())


if __name__ == "__main__":
    main()
